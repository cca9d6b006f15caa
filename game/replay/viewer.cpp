#include "game/replay/viewer.h"

#include <cstdio>
#include <memory>
#include <string>

#include "audio/audio.h"
#include "game/globals.h"
#include "game/keys.h"
#include "game/main_loop.h"
#include "game/menu.h"
#include "game/notice.h"
#include "game/player.h"
#include "game/replay/player.h"
#include "game/screens.h"
#include "game/sounds.h"
#include "input/event.h"
#include "input/input.h"
#include "input/system.h"
#include "render/font.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/render2d.h"
#include "render/stereo.h"

namespace {

// Never blocks: a recorded loss of focus makes the game wait for events, and during
// playback the focus comes back when the recording says so, not when an event arrives.
class non_blocking_driver : public TSystemDriver {
 public:
  explicit non_blocking_driver(TSystemDriver* inner) : inner_(inner) {}
  void Poll() override { inner_->Poll(); }
  void Wait() override {
    inner_->Poll();
    SleepMillis(1);
  }
  void MoveMouse(int32_t x, int32_t y) override { inner_->MoveMouse(x, y); }
  void SetMouseVisible(int32_t visible) override { inner_->SetMouseVisible(visible); }
  void Notify(const std::string& text, int32_t serious) override { inner_->Notify(text, serious); }
  int32_t Confirm(const std::string& text, int32_t serious) override {
    return inner_->Confirm(text, serious);
  }
  int32_t Proceed(const std::string& text, int32_t serious) override {
    return inner_->Proceed(text, serious);
  }
  std::string RequestFile(const std::string& text, const std::string& extensions, int32_t save,
                          const std::string& path) override {
    return inner_->RequestFile(text, extensions, save, path);
  }
  std::string RequestDir(const std::string& text, const std::string& path) override {
    return inner_->RequestDir(text, path);
  }
  int32_t OpenURL(const std::string& url) override { return inner_->OpenURL(url); }

 private:
  TSystemDriver* inner_;
};

}  // namespace

void draw_replay_label(const std::string& text) {
  SetColor(200, 200, 60);
  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
  const int32_t height = TextHeight(text);
  const auto x = static_cast<float>(636 - TextWidth(text));
  const bool menu = game_state == STATE_PAUSE || game_state == STATE_TITLE;
  const auto y = static_cast<float>(menu ? kVersionRow - height / 2 - height - 2 : 478 - height);
  draw3d->t3d(text, x, y, 2.0f, 0);
  draw3d->sip(4, 1.0f, 0, 1.0f, 1.0f);
}

namespace {

// Holds still (the last frame as drawn before its label and scanlines) on screen until
// Space resumes (true) or Escape or a close ends the replay (false). The sound pauses with
// it.
bool hold_paused(replay_player& playback, const std::shared_ptr<TImage>& still) {
  const bool music_was_playing = IsChannelPlaying(music_channel) != 0;
  if (music_was_playing) PauseChannel(music_channel);
  StopChannel(ufo_channel);

  // The live keys are read directly while no recorded frame is running.
  playback.detach();
  bool resume = true;
  for (;;) {
    Cls();
    SetColor(255, 255, 255);
    SetBlend(BLEND_SOLID);
    DrawImage(still, 0, 0, 0);
    draw_scanlines(5);
    draw_replay_label("REPLAY PAUSED");
    Flip(-1);
    if (KeyHits(kKeyEscape) || CloseRequested()) {
      resume = false;
      break;
    }
    if (KeyHits(kKeySpace)) break;
  }
  playback.attach();
  if (resume) {
    if (music_was_playing) ResumeChannel(music_channel);
    const bool in_flight = game_state == STATE_PLAY || game_state == STATE_DESTROYED;
    if (ufo_on != 0 && in_flight) start_ufo_loop();
  }
  return resume;
}

}  // namespace

int watch_replay(const replay& recording, const std::function<void()>& each_frame) {
  const int32_t own_best = player->best_sc;
  replay_player playback(recording);
  TSystemDriver* const live_driver = SystemDriver();
  non_blocking_driver driver(live_driver);
  SetSystemDriver(&driver);
  frame_hook = [&playback, &each_frame] {
    playback.on_frame_start();
    if (each_frame) each_frame();
  };
  // A pause asked for during one frame holds the next one, grabbed before its label is
  // drawn, so that the paused label is not drawn over the running one.
  bool pause_asked = false;
  std::shared_ptr<TImage> still;
  overlay_hook = [&pause_asked, &still] {
    if (pause_asked && !still) {
      still = CreateImage(640, 480, 1);
      GrabImage(still, 0, 0, 0);
    }
    draw_replay_label("REPLAY");
  };
  playback.attach();

  const bool game_over = recording.header.ending == replay_ending::game_over;
  while (quit_requested == 0) {
    if (playback.take_escape() || playback.take_close()) break;
    if (playback.take_space()) pause_asked = true;
    if (still) {
      if (!hold_paused(playback, still)) break;
      still.reset();
      pause_asked = false;
    }
    if (playback.diverged()) break;
    // An abandoned game ends with its last frame; a lost one plays its game-over screen out.
    if (playback.last_frame_begun() && !game_over) break;
    if (playback.finished() && game_state == STATE_TITLE) break;
    main_loop_frame();
  }

  playback.detach();
  frame_hook = nullptr;
  overlay_hook = nullptr;
  SetSystemDriver(live_driver);
  const int32_t score = game_over ? playback.final_score() : player->score;
  const int32_t level = game_over ? playback.final_level() : player->level;
  player->best_sc = own_best;
  if (playback.diverged()) {
    report_stopping_failure("game", "the replay stopped at frame " +
                                        std::to_string(playback.frames_played()) +
                                        ": this game does not play it as it was recorded");
    return 1;
  }
  // Watched to its end, the game must end as it was recorded.
  const bool played_out = game_over ? playback.finished() : playback.last_frame_begun();
  const replay_header& recorded = recording.header;
  if (played_out && (score != recorded.final_score || level != recorded.final_level)) {
    report_stopping_failure("game", "the replay ended with score " + std::to_string(score) +
                                        ", level " + std::to_string(level) +
                                        " where the recorded game had score " +
                                        std::to_string(recorded.final_score) + ", level " +
                                        std::to_string(recorded.final_level) +
                                        ": this game does not play it as it was recorded");
    return 1;
  }
  return 0;
}
