#include "game/session.h"

#include <string>

#include "game/main_loop.h"
#include "game/sounds.h"
#include "input/session.h"
#include "stream/filesystem.h"
#include "stream/program_folder.h"

void enter_program_folder() {
  const std::string folder = ProgramFolder();
  if (!folder.empty()) ChangeDirectory(folder);
}

bool start_game() {
  prefetch_sounds();
  prefetch_embedded_images();
  return game_startup();
}

int play_session(const session_system& system) {
  replay_recorder recorder(system.keep_game);
  recorder.attach();
  frame_hook = [&recorder, &system] {
    recorder.on_frame_start();
    if (system.each_frame) system.each_frame();
  };
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
  if (system.exit_saves) {
    system.exit_saves([] { game_exit(); });
  } else {
    game_exit();
  }
  // A save that failed on the way out is read on screen before the window goes.
  show_exit_notice();
  return 0;
}
