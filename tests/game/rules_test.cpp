// Asteroids, scoring, levels, the UFO, and the state machine of the main loop.

#include <gtest/gtest.h>

#include <filesystem>

#include "game_fixture.h"
#include "input/event.h"
#include "support/random.h"

namespace {

constexpr int32_t kEscape = 27, kSpace = 32;

using RulesTest = GameTest;

TEST_F(RulesTest, ALargeAsteroidShotApartYieldsThirtyTwoPiecesAnd5950Points) {
  new_game();
  player->cloak_ctr = 100000;
  astro_tag::erase_all();
  add_asteroid(320, 240, 1.0f, 0.4f);
  int hits = 0;
  int pieces = 0;
  size_t before = astro_list.size();
  for (int frame = 0; frame < 200 && !astro_list.empty(); ++frame) {
    // One shot a frame, so that every hit breaks exactly one asteroid.
    const auto target = astro_list.first();
    add_shot(target->x, target->y + 6.0f);
    step();
    if (sound_played("astrohit.ogg")) ++hits;
    const size_t after = astro_list.size();
    pieces += static_cast<int>(after) - static_cast<int>(before) + 1;
    before = after;
  }
  EXPECT_TRUE(astro_list.empty());
  EXPECT_EQ(hits, 33);  // the large asteroid and its 32 pieces
  EXPECT_EQ(pieces, 32);
  EXPECT_EQ(player->score, 5950);

  // The next play frame notices the empty field and pays the level bonus.
  step();
  EXPECT_EQ(player->score, 5950 + 1500);
  EXPECT_EQ(player->level, 2);
  EXPECT_EQ(astro_list.size(), 2u);
  EXPECT_EQ(bonus_text, "Bonus: 1500");
  EXPECT_TRUE(sound_played("stage.ogg"));
}

TEST_F(RulesTest, AShotOnTheBoxEdgeMissesAndOneInsideHits) {
  new_game();
  astro_tag::erase_all();
  auto rock = add_asteroid(200, 200, 1.0f);
  add_asteroid(60, 420, 0.4f);  // keeps the level from ending
  // The shot moves 6 up before the test: it lands on x - hw exactly.
  add_shot(200.0f - 65.0f, 206.0f);
  step();
  EXPECT_EQ(player->score, 0);
  add_shot(200.0f - 64.0f, 206.0f);
  step();
  EXPECT_EQ(player->score, 50);
  EXPECT_EQ(astro_list.size(), 3u);  // two 0.8 fragments and the small one
  EXPECT_EQ(explo_list.size(), 1u);
  EXPECT_EQ(parti_list.size(), 6u + 15u);
}

TEST_F(RulesTest, AsteroidsWrapFortyPixelsBeyondTheEdges) {
  new_game();
  auto rock = astro_list.first();
  rock->x = -40.5f;
  rock->y = 200;
  step();
  EXPECT_EQ(rock->x, 680.0f);
  rock->y = 520.5f;
  step();
  EXPECT_EQ(rock->y, -40.0f);
  rock->y = -40.0f;
  step();
  EXPECT_EQ(rock->y, -40.0f);
}

TEST_F(RulesTest, ClearingLevelsPaysLevelTimes1500AndWavesGrowToFive) {
  new_game();
  player->cloak_ctr = 100000;
  const int32_t waves[] = {2, 3, 4, 5, 5, 5};
  int32_t expected_score = 0;
  for (int32_t level = 1; level <= 6; ++level) {
    astro_tag::erase_all();
    step();
    expected_score += level * 1500;
    EXPECT_EQ(player->score, expected_score) << level;
    EXPECT_EQ(player->level, level + 1);
    EXPECT_EQ(static_cast<int32_t>(astro_list.size()), waves[level - 1]) << level;
    EXPECT_FLOAT_EQ(banner_alpha, 1.0f);
  }
  EXPECT_EQ(ufo->scale, 0.2f);
}

TEST_F(RulesTest, TheBestScoreFollowsTheScoreWithOneBonusSoundPerGame) {
  new_game();
  player->best_sc = 100;
  player->score = 150;
  step();
  EXPECT_EQ(player->best_sc, 150);
  EXPECT_TRUE(sound_played("bonus.ogg"));
  player->score = 400;
  step();
  EXPECT_EQ(player->best_sc, 400);
  EXPECT_FALSE(sound_played("bonus.ogg"));
}

TEST_F(RulesTest, AUfoCrossesIn341FramesAndLeavesQuietly) {
  new_game();
  player->cloak_ctr = 100000;
  // An asteroid its shots can break but that leaves no fragments to drift into it.
  astro_tag::erase_all();
  add_asteroid(60, 420, 0.5f);
  ufo->warp_in();
  ufo->x = -20;
  ufo->angle = 90;
  ufo->y = 150;
  int frames = 0;
  while (ufo_on != 0 && frames < 1000) {
    step();
    ++frames;
  }
  EXPECT_EQ(frames, 341);
  EXPECT_EQ(player->score, 0);
}

TEST_F(RulesTest, ShootingTheUfoPays500TimesTheLevel) {
  new_game();
  player->level = 3;
  ufo->warp_in();
  ufo->x = 500;
  ufo->angle = 90;
  ufo->y = 300;
  ufo->shot_on = 1;  // keep its own shot out of the way
  ufo->shot_x = 630;
  ufo->shot_y = 470;
  add_shot(502, 306);
  step();
  EXPECT_EQ(ufo_on, 0);
  EXPECT_EQ(player->score, 1500);
  EXPECT_TRUE(sound_played("explode.ogg"));
  EXPECT_GE(parti_list.size(), 30u);
}

TEST_F(RulesTest, TheUfoShotDestroysTheShipUnlessCloaked) {
  new_game();
  ufo->shot_on = 1;
  ufo->shot_ang = 0;
  ufo->shot_x = 320;
  ufo->shot_y = 228;  // 8 pixels a frame upward onto the ship's centre
  player->cloak_ctr = 10;
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(ufo->shot_on, 1);
  ufo->shot_x = 320;
  ufo->shot_y = 228;
  player->cloak_ctr = 0;
  step();
  EXPECT_EQ(game_state, STATE_DESTROYED);
  EXPECT_EQ(ufo->shot_on, 0);
}

TEST_F(RulesTest, TheDestroyedStateLasts251FramesAndTheThirdLossEndsTheGame) {
  new_game();
  for (int32_t life = 3; life >= 1; --life) {
    add_asteroid(320, 220, 0.4f);
    step();
    ASSERT_EQ(game_state, STATE_DESTROYED) << life;
    int frames = 0;
    while (game_state == STATE_DESTROYED && frames < 1000) {
      step();
      ++frames;
    }
    EXPECT_EQ(frames, 251) << life;
    EXPECT_EQ(player->lives, life - 1);
    park_asteroids();
    ufo_tmr = 1000000;
  }
  EXPECT_EQ(game_state, STATE_GAME_OVER);
  int frames = 0;
  while (game_state == STATE_GAME_OVER && frames < 1000) {
    step();
    ++frames;
  }
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_GE(frames, 290);
  EXPECT_LE(frames, 310);
}

TEST_F(RulesTest, PointsScoredAfterTheLastLossStillReachTheBestScore) {
  new_game();
  player->lives = 1;
  add_asteroid(320, 220, 0.4f);
  step();
  ASSERT_EQ(game_state, STATE_DESTROYED);
  park_asteroids();
  ufo_tmr = 1000000;
  // A shot still in flight scores while the ship is gone.
  player->score = player->best_sc + 250;
  while (game_state == STATE_DESTROYED) step();
  ASSERT_EQ(game_state, STATE_GAME_OVER);
  EXPECT_EQ(player->best_sc, player->score);
}

TEST_F(RulesTest, EscapeAndSpaceMoveBetweenPlayPauseAndTitle) {
  new_game();
  tap(kEscape);
  step();
  EXPECT_EQ(game_state, STATE_PAUSE);
  tap(kSpace);
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
  tap(kSpace);
  step();
  EXPECT_EQ(game_state, STATE_PAUSE);
  tap(kEscape);
  step();
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_FALSE(sim_->quit());
  tap(kEscape);
  step();
  EXPECT_TRUE(sim_->quit());
}

TEST_F(RulesTest, EscapeAndSpaceTogetherWhilePlayingStayPaused) {
  new_game();
  tap(kEscape);
  tap(kSpace);
  step();
  EXPECT_EQ(game_state, STATE_PAUSE);
  step(3);
  EXPECT_EQ(game_state, STATE_PAUSE);
}

TEST_F(RulesTest, EscapeDoesNothingWhileTheShipIsDestroyed) {
  new_game();
  add_asteroid(320, 220, 0.4f);
  step();
  ASSERT_EQ(game_state, STATE_DESTROYED);
  tap(kEscape);
  step();
  EXPECT_EQ(game_state, STATE_DESTROYED);
}

TEST_F(RulesTest, AWindowCloseEndsTheGameFromEveryStateAtOnceEvenWithTheFocusAway) {
  for (const int32_t state :
       {STATE_TITLE, STATE_PLAY, STATE_PAUSE, STATE_DESTROYED, STATE_GAME_OVER}) {
    for (const bool focus_away : {false, true}) {
      SCOPED_TRACE(testing::Message() << "state " << state << ", focus away " << focus_away);
      start(1234);
      if (state != STATE_TITLE) new_game();
      game_state = state;
      state_ctr = 0;
      const int64_t before = sim_->frames_run();
      if (focus_away) {
        focus_away_for(600);
        later(5, sim_event_kind::close);
      } else {
        next_frame(sim_event_kind::close);
      }
      step();
      EXPECT_TRUE(sim_->quit());
      EXPECT_LE(sim_->frames_run(), before + 6);
      sim_->finish();
      EXPECT_TRUE(std::filesystem::exists(sim_->data_dir() + "/hiscore.dat"));
    }
  }
}

TEST(SplashTest, AWindowCloseWhileTheSplashHasLostTheFocusEndsItAtOnce) {
  sim_config config;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  sim_event event;
  event.frame = 1;
  event.kind = sim_event_kind::focus;
  event.code = 0;
  config.events.push_back(event);
  event.frame = 4;
  event.kind = sim_event_kind::close;
  config.events.push_back(event);
  event.frame = 500;
  event.kind = sim_event_kind::focus;
  event.code = 1;
  config.events.push_back(event);
  simulator sim(config);
  ASSERT_TRUE(sim.run(1000));
  EXPECT_TRUE(sim.quit());
  // The splash's frame, the close, then one main-loop frame before the exit.
  EXPECT_LE(sim.frames_run(), 7);
  EXPECT_TRUE(std::filesystem::exists(sim.data_dir() + "/anaglyph3d.dat"));
}

TEST_F(RulesTest, LosingTheFocusFreezesTheGameUntilItComesBack) {
  new_game();
  const int64_t before = sim_->frames_run();
  focus_away_for(30);
  step();
  // Thirty frames of time passed within that one frame of the game, and nothing ran.
  EXPECT_EQ(sim_->frames_run(), before + 31);
  EXPECT_EQ(ufo_tmr, 1000000 - 1);
  for (const auto& frame : frames_)
    if (frame.frame > before && frame.frame < before + 30) {
      EXPECT_EQ(frame.ufo_tmr, ufo_tmr);
    }
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(ufo_tmr, 1000000 - 2);
}

TEST_F(RulesTest, JoystickButtonTwoPausesAndResumes) {
  sim_->finish();
  start(1234, {event_at(0, sim_event_kind::joy_axis, 0)});
  new_game();
  next_frame(sim_event_kind::joy_button, 2, 1);
  step();
  next_frame(sim_event_kind::joy_button, 2, 0);
  EXPECT_EQ(game_state, STATE_PAUSE);
  step();
  next_frame(sim_event_kind::joy_button, 2, 1);
  step();
  EXPECT_EQ(game_state, STATE_PLAY);
}

}  // namespace

namespace {

using EffectsTest = GameTest;

TEST_F(EffectsTest, ExplosionsLastSixtyFramesAndParticlesOneHundredAndOne) {
  new_game();
  explo_tag::create_it(100, 100, 0.4f);
  parti_tag::create_em(100, 100, 1, 0);
  parti_tag::create_em(100, 100, 1, 2);  // any non-zero type is a spark
  const auto explosion = explo_list.first();
  const auto sparks = parti_list.items();
  ASSERT_EQ(sparks.size(), 2u);
  EXPECT_EQ(sparks[0]->scale, 0.2f);
  EXPECT_EQ(sparks[1]->scale, 0.5f);
  int explosion_frames = 0, particle_frames = 0;
  for (int frame = 1; frame <= 200; ++frame) {
    step();
    if (!explo_list.empty()) explosion_frames = frame;
    if (!parti_list.empty()) particle_frames = frame;
  }
  // Removed at the end of their last update: alive after 59 and 100 frames.
  EXPECT_EQ(explosion_frames, 59);
  EXPECT_EQ(particle_frames, 100);
  EXPECT_NEAR(explosion->scale, 0.4f + 60 * 0.04f, 1e-4);
  EXPECT_EQ(explosion->fr_ctr, 6);
}

TEST_F(EffectsTest, CreatingNoParticlesOrAsteroidsDrawsNoRandomNumbers) {
  new_game();
  const int32_t before = RandomState();
  parti_tag::create_em(0, 0, 0, 1);
  parti_tag::create_em(0, 0, -3, 0);
  astro_tag::create_new(0, 0, 0, 0, 1.0f, 0.4f);
  EXPECT_EQ(RandomState(), before);
  EXPECT_EQ(astro_list.size(), 1u);
}

}  // namespace
