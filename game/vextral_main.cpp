// The game executable. Without arguments it plays, recording each game; with
// "--replay best|last|FILE" it plays a recorded game back. It works from any directory by
// moving to its own folder first, where data/ lies beside it.

#include <cstdio>
#include <string>
#include <vector>

#include "game/main_loop.h"
#include "game/replay/files.h"
#include "game/replay/recorder.h"
#include "game/replay/viewer.h"
#include "game/sounds.h"
#include "input/session.h"
#include "stream/filesystem.h"
#include "stream/program_folder.h"

namespace {

constexpr const char* kUsage = "usage: vextral [--replay best|last|FILE]";

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
  return 0;
}

int watch(const std::string& name) {
  const std::string path = replay_path_for(name);
  replay recording;
  std::string error;
  if (!replay_load(path, recording, error)) {
    if (path != name)
      std::fprintf(stderr, "vextral: no %s game to watch: %s %s\n", name.c_str(), path.c_str(),
                   error.c_str());
    else
      std::fprintf(stderr, "vextral: %s: %s\n", path.c_str(), error.c_str());
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
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  std::string replay_name;
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  if (arguments.size() == 2 && arguments[0] == "--replay" && !arguments[1].empty()) {
    replay_name = arguments[1];
  } else if (!arguments.empty()) {
    std::fprintf(stderr, "vextral: unknown arguments\n%s\n", kUsage);
    return 2;
  }
  // A file named on the command line is relative to where the player typed it.
  if (!replay_name.empty() && replay_name != "best" && replay_name != "last")
    replay_name = AbsolutePath(replay_name);

  change_to_executable_folder();
  if (!replay_name.empty()) return watch(replay_name);
  if (!start_game()) return 1;
  return play();
}
