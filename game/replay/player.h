#pragma once
// Plays a recording back through the input tap: from the first title-menu frame on, every
// input query the game makes is answered from the recording, frame by frame, so the game
// clicks "Start Game" and plays exactly as it was played. Before that (the splash) the
// answers are the live ones; after the last recorded frame they are all zero.
//
// Escape, Space and close requests from the live player are noted on the way through
// (the game asks for them every frame), for the viewer to act on. Game thread only.

#include <cstdint>

#include "game/replay/format.h"

class replay_player : public TInputTap {
 public:
  // recording must outlive the player.
  explicit replay_player(const replay& recording);
  ~replay_player() override;
  replay_player(const replay_player&) = delete;
  replay_player& operator=(const replay_player&) = delete;

  // Installs this player as the input tap (and removes it again when destroyed).
  void attach();
  void detach();
  // At the start of every frame of the splash and the main loop, before any input query.
  void on_frame_start();

  // The recorded game has begun (the random state and best score are set).
  bool started() const { return started_; }
  // Every recorded frame has begun.
  bool last_frame_begun() const { return played_ >= recording_.header.frame_count; }
  // The frame after the last recorded one has begun (or the game went its own way).
  bool finished() const { return finished_; }
  // The game asked for something the recording does not hold: it does not play as it did.
  bool diverged() const { return diverged_; }
  int32_t frames_played() const { return played_; }
  // The score and level when the last recorded frame ended.
  int32_t final_score() const { return final_score_; }
  int32_t final_level() const { return final_level_; }

  // Live presses seen since the last call.
  bool take_escape() { return take(escapes_); }
  bool take_space() { return take(spaces_); }
  bool take_close() { return take(closes_); }

  int32_t Answer(input_query query, int32_t argument, int32_t live) override;

 private:
  static bool take(int32_t& count) {
    const bool any = count > 0;
    count = 0;
    return any;
  }
  void finish();

  const replay& recording_;
  replay_decoder frames_;
  input_frame frame_;
  size_t position_ = 0;
  int32_t played_ = 0;
  bool started_ = false;
  bool finished_ = false;
  bool diverged_ = false;
  int32_t final_score_ = 0;
  int32_t final_level_ = 0;
  int32_t escapes_ = 0;
  int32_t spaces_ = 0;
  int32_t closes_ = 0;
};
