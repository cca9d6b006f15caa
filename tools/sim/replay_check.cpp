#include "tools/sim/replay_check.h"

#include <limits>

#include "game/globals.h"
#include "game/replay/player.h"

replay_check_result check_replay(const replay& recording, sim_config config) {
  replay_check_result result;
  config.replay_to_play = &recording;
  simulator sim(config);
  if (!sim.run(std::numeric_limits<int64_t>::max())) return result;
  result.started = true;
  const replay_player& playback = *sim.playback();
  result.diverged = playback.diverged();
  result.frames = playback.frames_played();
  result.score = sim.last_frame().score;
  result.level = sim.last_frame().level;
  result.game_over = sim.last_frame().game_state == STATE_GAME_OVER;
  const replay_header& recorded = recording.header;
  // An abandoned game may stop anywhere (the program closed mid-frame); a game over is
  // where the game itself ended it.
  const bool ending_holds = recorded.ending != replay_ending::game_over || result.game_over;
  result.matches = !result.diverged && result.frames == recorded.frame_count &&
                   result.score == recorded.final_score && result.level == recorded.final_level &&
                   ending_holds;
  return result;
}

std::string describe_mismatch(const replay_header& recorded, const replay_check_result& result) {
  if (!result.started) return "the simulator could not start";
  std::string line =
      "the game did not play as recorded (recorded: " + std::to_string(recorded.frame_count) +
      " frames, score " + std::to_string(recorded.final_score) + ", level " +
      std::to_string(recorded.final_level) + "; played: " + std::to_string(result.frames) +
      " frames, score " + std::to_string(result.score) + ", level " + std::to_string(result.level);
  if (result.diverged) line += ", then it asked for input the recording does not hold";
  if (recorded.ending == replay_ending::game_over && !result.game_over)
    line += ", and it did not end in game over";
  return line + ")";
}
