#include "game/replay/player.h"

#include "audio/audio.h"
#include "game/files.h"
#include "game/globals.h"
#include "game/keys.h"
#include "game/player.h"
#include "game/sounds.h"
#include "support/random.h"

namespace {

// Puts back what the recorded game started from. The music restarts only for another track.
void apply_start_state(const replay_header& header) {
  const replay_start_state& start = header.start;
  player->shot_side = start.shot_side;
  if (!header.has_start_state) return;
  stereo_mode = start.stereo_mode;
  stereo_settings(0);
  sfx_level = start.sfx_level;
  sfx_volume = start.sfx_volume;
  music_level = start.music_level;
  music_volume = start.music_volume;
  SetChannelVolume(music_channel, music_volume);
  if (start.music_track != music_track) {
    music_track = start.music_track;
    StopChannel(music_channel);
    start_music(music_track);
  }
}

}  // namespace

replay_player::replay_player(const replay& recording) : recording_(recording) {}

replay_player::~replay_player() {
  detach();
}

void replay_player::attach() {
  SetInputTap(this);
}

void replay_player::detach() {
  if (InputTap() == this) SetInputTap(nullptr);
}

void replay_player::on_frame_start() {
  if (!started_) {
    // The recording's first frame is a title-menu frame: the one that chose "Start Game".
    if (game_state != STATE_TITLE) return;
    started_ = true;
    SetRandomState(recording_.header.random_state);
    player->best_sc = recording_.header.start_best;
    apply_start_state(recording_.header);
    frames_ = recording_.frames();
  } else if (finished_) {
    return;
  } else if (position_ != frame_.size()) {
    // The game asked fewer questions than were recorded.
    diverged_ = true;
  }
  if (diverged_ || played_ >= recording_.header.frame_count || !frames_.next(frame_)) {
    finish();
    return;
  }
  position_ = 0;
  ++played_;
}

void replay_player::finish() {
  if (finished_) return;
  finished_ = true;
  final_score_ = player->score;
  final_level_ = player->level;
  frame_.clear();
  position_ = 0;
}

int32_t replay_player::Answer(input_query query, int32_t argument, int32_t live) {
  if (live != 0) {
    if (query == input_query::key_hits && argument == kKeyEscape) escapes_ += live;
    if (query == input_query::key_hits && argument == kKeySpace) spaces_ += live;
    if (query == input_query::close_requested) closes_ += live;
  }
  if (!started_) return live;
  if (finished_ || diverged_) return 0;
  if (position_ >= frame_.size() || frame_[position_].query != query ||
      frame_[position_].argument != argument) {
    diverged_ = true;
    return 0;
  }
  return frame_[position_++].value;
}
