// The game executable. Without arguments it plays, recording each game; with
// "--replay best|last|FILE", or a recording's path alone (as a file manager opens one, or
// one dropped on the program), it plays a recorded game back. It works from any directory
// by moving to its own folder first, where data/ lies beside it.

#include <cstdio>
#include <string>
#include <vector>

#include "game/main_loop.h"
#include "game/notice.h"
#include "game/replay/files.h"
#include "game/replay/recorder.h"
#include "game/replay/viewer.h"
#include "game/sounds.h"
#include "game/system_message.h"
#include "input/session.h"
#include "stream/filesystem.h"
#include "stream/native_files.h"
#include "stream/program_folder.h"

namespace {

constexpr const char* kUsage = "usage: vextral [--replay best|last|FILE | FILE]";

void change_to_executable_folder() {
  const std::string folder = ProgramFolder();
  if (!folder.empty()) ChangeDirectory(folder);
}

// The sounds and images decode while the display opens.
bool start_game() {
  prefetch_sounds();
  prefetch_embedded_images();
  return game_startup();
}

int play() {
  replay_recorder recorder(keep_finished_game);
  recorder.attach();
  frame_hook = [&recorder] { recorder.on_frame_start(); };
  // Where the system ends the process with the session, the exit's saves come first.
  bool session_ended = false;
  SetSessionEndHandler([&recorder, &session_ended] {
    recorder.on_session_end();
    game_exit(0);
    session_ended = true;
  });
  run_main_loop();
  SetSessionEndHandler(nullptr);
  // Once the session has ended the system may end the process at any moment: what the
  // handler saved stands, and nothing more is written (a save cut short would leave its
  // temporary file behind).
  if (session_ended) return 0;
  recorder.on_exit();
  frame_hook = nullptr;
  game_exit();
  // A save that failed on the way out is read on screen before the window goes.
  show_exit_notice();
  return 0;
}

int watch(const std::string& name) {
  const std::string path = replay_path_for(name);
  replay recording;
  std::string error;
  if (!replay_load(path, recording, error)) {
    // Only nothing at all there means no game was kept yet: a pipe or a link in its place
    // is said as what it is.
    if (path != name && !NativeExists(path))
      report_stopping_failure("vextral", "no " + name + " game to watch yet: it is kept as " +
                                             shown_path(path) + " once a game has been played");
    else if (path != name)
      report_stopping_failure("vextral",
                              "no " + name + " game to watch: " + shown_path(path) + ": " + error);
    else
      report_stopping_failure("vextral", "cannot watch " + shown_path(path) + ": " + error);
    return 2;
  }
  if (!start_game()) return 1;
  const int status = watch_replay(recording);
  // Watching keeps nothing: the recorded player's menu choices and the best score on disk
  // (which another running copy may have raised meanwhile) stay as they are.
  stop_music_for_exit();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  std::string replay_name;
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  if (arguments.size() == 2 && arguments[0] == "--replay" && !arguments[1].empty()) {
    replay_name = arguments[1];
  } else if (arguments.size() == 1 && !arguments[0].empty() && arguments[0][0] != '-') {
    // A path alone is a recording to watch, never the name of a kept one.
    replay_name = AbsolutePath(arguments[0]);
  }
  const bool understood = arguments.empty() || !replay_name.empty();
  // A file named on the command line is relative to where the player typed it.
  if (!replay_name.empty() && replay_name != "best" && replay_name != "last")
    replay_name = AbsolutePath(replay_name);

  // From here on the log in the save folder is found beside the program.
  change_to_executable_folder();
  if (!understood) {
    report_stopping_failure("vextral", std::string("unknown arguments\n") + kUsage);
    return 2;
  }
  if (!replay_name.empty()) return watch(replay_name);
  if (!start_game()) return 1;
  return play();
}
