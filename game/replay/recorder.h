#pragma once
// Records the game being played: from the frame in which "Start Game" is chosen on the
// title menu to its game over or its abandonment, the random state at that frame and every
// answer the input queries give. Frames are packed as they end, so a frame costs a copy of
// its answers and a comparison with the one before. Game thread only.
//
//   replay_recorder recorder([](const replay_header& h, std::vector<uint8_t> file) {...});
//   frame_hook = [&] { recorder.on_frame_start(); };
//   ... main loop ...
//   recorder.on_exit();

#include <cstdint>
#include <functional>
#include <vector>

#include "game/replay/format.h"

class replay_recorder : public TInputTap {
 public:
  // Called with each finished game's header and whole file.
  using finished_game = std::function<void(const replay_header&, std::vector<uint8_t>)>;
  explicit replay_recorder(finished_game on_finished);
  ~replay_recorder() override;
  replay_recorder(const replay_recorder&) = delete;
  replay_recorder& operator=(const replay_recorder&) = delete;

  // Installs this recorder as the input tap (and removes it again when destroyed).
  void attach();
  // At the start of every main-loop frame, before any input query.
  void on_frame_start();
  // After the main loop: a game still in progress is kept as abandoned.
  void on_exit();
  // The session ends in the middle of a frame (the system ends the process right after):
  // a game in progress is kept as abandoned, with the frames played whole and the score
  // and level they left, so that it replays as recorded.
  void on_session_end();
  bool recording() const { return recording_; }

  int32_t Answer(input_query query, int32_t argument, int32_t live) override;

 private:
  // The last frame, begun on the title menu, chose "Start Game".
  bool game_started() const;
  // Ends the game being recorded: lost if it is on its game-over screen, else abandoned;
  // by default as things stand now.
  void finish();
  void finish(int32_t state, int32_t score, int32_t level);

  finished_game on_finished_;
  replay_encoder encoder_;
  input_frame current_;
  replay_header header_;
  // The last frame began on the title menu: it is the first frame of a game if the game
  // is in play by the next one.
  bool candidate_ = false;
  bool recording_ = false;
  // As the current frame began.
  int32_t frame_start_state_ = 0;
  int32_t frame_start_score_ = 0;
  int32_t frame_start_level_ = 0;
};
