#pragma once
// Plays a recorded game on the simulator and compares how it ended with what the
// recording's header says: the one check both vextral-sim --replay and the hall of fame
// trust. Game thread only, one at a time (it runs a simulator).

#include <cstdint>
#include <string>

#include "game/replay/format.h"
#include "tools/sim/simulator.h"

struct replay_check_result {
  bool started = false;   // false: the simulator could not start (no display for its driver)
  bool diverged = false;  // the game asked for something the recording does not hold
  int32_t frames = 0;     // recorded frames played
  int32_t score = 0;      // as the last frame ended
  int32_t level = 0;
  bool game_over = false;  // the game stood on its game over screen after the last frame
  // Started, followed the recording to its last frame, and ended with the header's frame
  // count, score and level; a recording that says it ended in game over must end there.
  bool matches = false;
};

// Plays recording with config (its replay_to_play is set to recording here).
replay_check_result check_replay(const replay& recording, sim_config config);
// One line saying how a result that does not match differs from what was recorded.
std::string describe_mismatch(const replay_header& recorded, const replay_check_result& result);
