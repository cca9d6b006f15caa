#pragma once
// Drives the real game through the simulator: a fresh game state per test, the splash
// skipped with Escape as a player would, and helpers to press keys and click menu items.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "game/asteroids.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/shots.h"
#include "game/ufo.h"
#include "tools/sim/sim_audio.h"
#include "tools/sim/simulator.h"

#ifndef VEXTRAL_TEST_DATA_DIR
#define VEXTRAL_TEST_DATA_DIR ""
#endif

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override { start(1234); }

  void start(int32_t seed, std::vector<sim_event> events = {}) {
    sim_.reset();
    sim_config config;
    config.seed = seed;
    config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
    config.events = std::move(events);
    config.events.push_back(event_at(0, sim_event_kind::key_down, 27));
    config.events.push_back(event_at(1, sim_event_kind::key_up, 27));
    // Tests count every channel the game started, finished or not.
    sim_audio_driver::instance().keep_history = true;
    frames_.clear();
    config.frame_observer = [this](const sim_frame_state& state) { frames_.push_back(state); };
    sim_ = std::make_unique<simulator>(config);
    ASSERT_TRUE(sim_->start());
    ASSERT_EQ(game_state, STATE_TITLE);
  }

  static sim_event event_at(int64_t frame, sim_event_kind kind, int32_t code = 0, int32_t x = 0,
                            int32_t y = 0) {
    sim_event event;
    event.frame = frame;
    event.kind = kind;
    event.code = code;
    event.x = x;
    event.y = y;
    return event;
  }

  // Schedules an event frames ahead of the next frame to run.
  void later(int64_t frames, sim_event_kind kind, int32_t code = 0) {
    sim_->add_event(event_at(sim_->frames_run() + frames, kind, code));
  }
  // Takes the focus away for the next frame and gives it back frames later.
  void focus_away_for(int64_t frames) {
    later(0, sim_event_kind::focus, 0);
    later(frames, sim_event_kind::focus, 1);
  }

  // Schedules an event for the next frame to run.
  void next_frame(sim_event_kind kind, int32_t code = 0, int32_t x = 0, int32_t y = 0) {
    sim_->add_event(event_at(sim_->frames_run(), kind, code, x, y));
  }
  void press(int32_t key) { next_frame(sim_event_kind::key_down, key); }
  void release(int32_t key) { next_frame(sim_event_kind::key_up, key); }
  void tap(int32_t key) {
    press(key);
    release(key);
  }
  void step(int64_t frames = 1) { sim_->step(frames); }

  // Clicks a menu item (0 to 5) with the mouse and runs that frame.
  void click_item(int32_t item) {
    next_frame(sim_event_kind::mouse_move, 0, 320, 252 + 30 * item);
    next_frame(sim_event_kind::mouse_down, 1);
    next_frame(sim_event_kind::mouse_up, 1);
    step();
  }

  // Starts a game from the title menu, then leaves the ship alone: no UFO for a long
  // time and the first asteroid parked far from the ship, unless the test says otherwise.
  void new_game(bool quiet = true) {
    click_item(0);
    ASSERT_EQ(game_state, STATE_PLAY);
    if (!quiet) return;
    ufo_tmr = 1000000;
    park_asteroids();
  }

  // Keeps the asteroids still in the bottom-left corner, away from the ship and its shots.
  static void park_asteroids() {
    for (const auto& rock : astro_list.items()) {
      rock->x = 60;
      rock->y = 420;
      rock->speed = 0;
    }
  }

  static std::shared_ptr<astro_tag> add_asteroid(float x, float y, float scale, float speed = 0) {
    astro_tag::create_new(1, 1, x, y, scale, speed);
    return astro_list.items().back();
  }

  static std::shared_ptr<pshot_tag> add_shot(float x, float y, float rotation = 0) {
    auto shot = std::make_shared<pshot_tag>();
    shot->x = x;
    shot->y = y;
    shot->rotation = rotation;
    shot->scale = 2.0f;
    shot_list.add(shot);
    return shot;
  }

  const std::vector<std::string>& sounds() const { return sim_->last_frame().sounds; }
  bool sound_played(const std::string& name) const {
    return std::find(sounds().begin(), sounds().end(), name) != sounds().end();
  }

  // What was audible at the end of the last frame, one file name per playing channel.
  const std::vector<std::string>& playing() const { return sim_->last_frame().playing; }
  static size_t hums(const std::vector<std::string>& playing) {
    return static_cast<size_t>(std::count(playing.begin(), playing.end(), "ufoloop.ogg"));
  }

  // The state after every frame, idle frames of a lost focus included. Declared first: the
  // simulator, destroyed before it, still reports a frame begun outside step().
  std::vector<sim_frame_state> frames_;
  std::unique_ptr<simulator> sim_;
};
