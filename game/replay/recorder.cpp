#include "game/replay/recorder.h"

#include "game/globals.h"
#include "game/player.h"
#include "support/random.h"

namespace {

bool in_game(int32_t state) {
  return state == STATE_PLAY || state == STATE_PAUSE || state == STATE_DESTROYED;
}

// What earlier games and the menus left behind that a new game reads.
replay_start_state current_start_state() {
  replay_start_state start;
  start.shot_side = player->shot_side;
  start.stereo_mode = stereo_mode;
  start.music_track = music_track;
  start.sfx_level = sfx_level;
  start.music_level = music_level;
  start.sfx_volume = sfx_volume;
  start.music_volume = music_volume;
  return start;
}

}  // namespace

replay_recorder::replay_recorder(finished_game on_finished) : on_finished_(std::move(on_finished)) {
  current_.reserve(64);
}

replay_recorder::~replay_recorder() {
  if (InputTap() == this) SetInputTap(nullptr);
}

void replay_recorder::attach() {
  SetInputTap(this);
}

void replay_recorder::on_frame_start() {
  if (recording_) {
    encoder_.add_frame(current_);
    if (!in_game(game_state)) finish();
  } else if (game_started()) {
    recording_ = true;
    encoder_.add_frame(current_);
  }
  current_.clear();
  frame_start_state_ = game_state;
  frame_start_score_ = player ? player->score : 0;
  frame_start_level_ = player ? player->level : 0;
  if (!recording_) {
    // The title menu draws no random numbers, so the state now is the one "Start Game"
    // finds later in this frame.
    candidate_ = game_state == STATE_TITLE;
    header_ = replay_header();
    header_.random_state = RandomState();
    header_.start_best = player ? player->best_sc : 0;
    if (player) header_.start = current_start_state();
  }
}

void replay_recorder::on_exit() {
  if (!recording_ && !game_started()) return;
  recording_ = true;
  encoder_.add_frame(current_);
  current_.clear();
  finish();
}

bool replay_recorder::game_started() const {
  // Start Game may be paused in the very frame that chose it.
  return candidate_ && in_game(game_state);
}

void replay_recorder::on_session_end() {
  // A game chosen in this very frame has no whole frame yet: nothing to keep.
  if (!recording_) return;
  current_.clear();
  finish(frame_start_state_, frame_start_score_, frame_start_level_);
}

void replay_recorder::finish() {
  finish(game_state, player->score, player->level);
}

void replay_recorder::finish(int32_t state, int32_t score, int32_t level) {
  recording_ = false;
  candidate_ = false;
  header_.ending = state == STATE_GAME_OVER ? replay_ending::game_over : replay_ending::abandoned;
  header_.final_score = score;
  header_.final_level = level;
  header_.frame_count = encoder_.frames();
  std::vector<uint8_t> file = encoder_.file(header_);
  encoder_ = replay_encoder();
  if (on_finished_) on_finished_(header_, std::move(file));
}

int32_t replay_recorder::Answer(input_query query, int32_t argument, int32_t live) {
  if (recording_ || candidate_) add_answer(current_, {query, argument, live});
  return live;
}
