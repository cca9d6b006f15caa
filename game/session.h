#pragma once
// One session of play, the same on every system: the game starts, every game played is
// recorded and handed to the system to keep, the main loop runs until the player quits,
// and the exit's saves are made. Each entry point gives only what its system does
// differently. Game thread only.
//
//   enter_program_folder();
//   if (!start_game()) return 1;
//   session_system system;
//   system.keep_game = keep_finished_game;
//   return play_session(system);

#include <functional>

#include "game/replay/recorder.h"

struct session_system {
  // Keeps each finished game's recording.
  replay_recorder::finished_game keep_game;
  // Every frame of the main loop, after the recorder has started it. Empty: nothing.
  std::function<void()> each_frame;
  // Makes the exit's saves of the settings, given as its argument, where the system keeps
  // its files (a game still in progress has been handed to keep_game before). Empty: they
  // are made as they are.
  std::function<void(const std::function<void()>&)> exit_saves;
};

// Moves to the program's folder, where data/ lies beside it, so that the game works from
// any directory.
void enter_program_folder();
// Decodes the sounds and images while the display opens, then runs the start-up: false
// when the game cannot start (it has said why).
bool start_game();
// Plays until the player quits, then makes the exit's saves and shows a notice posted on
// the way out. Returns the process's exit status.
int play_session(const session_system& system);
