// The game executable. Without arguments it plays, recording each game; with
// "--replay best|last|FILE", or a recording's path alone (as a file manager opens one, or
// one dropped on the program), it plays a recorded game back. It works from any directory
// by moving to its own folder first, where data/ lies beside it. With
// "--send best|last|FILE --name NAME --hall URL" it sends a recording to a hall of fame
// server and opens no window.

#include <cstdio>
#include <string>
#include <vector>

#include "game/hall_send.h"
#include "game/main_loop.h"
#include "game/notice.h"
#include "game/replay/files.h"
#include "game/replay/viewer.h"
#include "game/session.h"
#include "game/system_message.h"
#include "input/session.h"
#include "stream/native_files.h"
#include "stream/program_folder.h"

namespace {

constexpr const char* kUsage =
    "usage: vextral [--replay best|last|FILE | FILE]\n"
    "       vextral --send best|last|FILE --name NAME --hall URL";

// Reads "--send X --name N --hall U" in any order, each once; false when the arguments
// are anything else.
bool read_send_arguments(const std::vector<std::string>& arguments, hall_send_request& request) {
  if (arguments.size() != 6) return false;
  bool send = false, name = false, hall = false;
  for (size_t i = 0; i + 1 < arguments.size(); i += 2) {
    const std::string& option = arguments[i];
    const std::string& value = arguments[i + 1];
    if (option == "--send" && !send && !value.empty()) {
      request.recording = value;
      send = true;
    } else if (option == "--name" && !name) {
      request.name = value;
      name = true;
    } else if (option == "--hall" && !hall) {
      request.hall_url = value;
      hall = true;
    } else {
      return false;
    }
  }
  return send && name && hall;
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
  hall_send_request send_request;
  const bool sending = read_send_arguments(arguments, send_request);
  if (sending && send_request.recording != "best" && send_request.recording != "last")
    send_request.recording = AbsolutePath(send_request.recording);
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
  const bool understood = arguments.empty() || !replay_name.empty() || sending;
  // A file named on the command line is relative to where the player typed it.
  if (!replay_name.empty() && replay_name != "best" && replay_name != "last")
    replay_name = AbsolutePath(replay_name);

  // From here on the log in the save folder is found beside the program.
  enter_program_folder();
  if (!understood) {
    report_stopping_failure("vextral", std::string("unknown arguments\n") + kUsage);
    return 2;
  }
  if (sending) return send_to_hall(send_request);
  if (!replay_name.empty()) return watch(replay_name);
  if (!start_game()) return 1;
  session_system desktop;
  desktop.keep_game = keep_finished_game;
  return play_session(desktop);
}
