// The collision pairs not covered elsewhere (UFO against asteroids and the ship, the UFO's
// shot against asteroids), the respawn after a loss, and the order of the random draws
// that makes a seeded game repeat exactly.

#include <gtest/gtest.h>

#include "game_fixture.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

class CollisionTest : public GameTest {
 protected:
  // Replaces the field with one asteroid at (x, y) and a small one parked far away, so
  // that the level does not end when the first one breaks.
  static std::shared_ptr<astro_tag> lone_asteroid(float x, float y, float scale) {
    astro_tag::erase_all();
    auto rock = add_asteroid(x, y, scale);
    add_asteroid(60, 420, 0.4f);
    return rock;
  }
};

TEST_F(CollisionTest, AUfoMeetingAnAsteroidIsGoneAndPaysNothing) {
  new_game();
  player->cloak_ctr = 100000;
  lone_asteroid(400, 300, 1.0f);
  ufo->warp_in();
  ufo->x = 400;
  ufo->y = 300;
  ufo->angle = 90;
  ufo->shot_on = 1;  // its own shot far off in a corner
  ufo->shot_x = 630;
  ufo->shot_y = 470;
  step();
  EXPECT_EQ(ufo_on, 0);
  EXPECT_EQ(player->score, 0);
  EXPECT_TRUE(sound_played("explode.ogg"));
  EXPECT_FALSE(sound_played("astrohit.ogg"));
  EXPECT_EQ(astro_list.size(), 3u);  // two 0.8 fragments and the parked one
  EXPECT_EQ(explo_list.size(), 2u);  // one for the meeting, one for the break-up
  EXPECT_EQ(parti_list.size(), 30u + 6u + 15u);
}

TEST_F(CollisionTest, TheUfoShotBreaksAnAsteroidForNoPointsAndEnds) {
  new_game();
  lone_asteroid(200, 200, 0.8f);
  ufo->shot_on = 1;
  ufo->shot_ang = 0;
  ufo->shot_x = 200;
  ufo->shot_y = 210;
  step();
  EXPECT_EQ(ufo->shot_on, 0);
  EXPECT_EQ(player->score, 0);
  EXPECT_TRUE(sound_played("astrohit.ogg"));
  EXPECT_EQ(astro_list.size(), 4u);  // three 0.6 fragments and the parked one
}

TEST_F(CollisionTest, TouchingTheUfoDestroysBothAndASecondHitThatFrameIsSkipped) {
  new_game();
  ufo->warp_in();
  ufo->x = 318;  // two pixels a frame onto the ship's centre
  ufo->y = 220;
  ufo->angle = 90;
  ufo->shot_on = 1;  // a shot that would reach the ship's centre after the UFO's update
  ufo->shot_ang = 0;
  ufo->shot_x = 320;
  ufo->shot_y = 228;
  step();
  EXPECT_EQ(game_state, STATE_DESTROYED);
  EXPECT_EQ(state_ctr, 0);
  EXPECT_EQ(ufo_on, 0);
  EXPECT_EQ(player->score, 0);
  EXPECT_EQ(ufo->shot_on, 1);        // the shot's own test is skipped in state 6
  EXPECT_EQ(explo_list.size(), 2u);  // the UFO's and the ship's, no third
  EXPECT_EQ(parti_list.size(), 30u + 25u);
}

TEST_F(CollisionTest, TheLastAsteroidLostToTheShipsBodyClearsTheLevelAfterTheRespawn) {
  new_game();
  astro_tag::erase_all();
  add_asteroid(320, 220, 0.4f);
  step();
  ASSERT_EQ(game_state, STATE_DESTROYED);
  EXPECT_TRUE(astro_list.empty());
  step(251);
  ASSERT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(player->lives, 2);
  EXPECT_EQ(player->level, 1);  // no level clear while destroyed
  EXPECT_EQ(player->score, 0);
  step();
  EXPECT_EQ(player->level, 2);
  EXPECT_EQ(player->score, 1500);
  EXPECT_EQ(astro_list.size(), 2u);
  EXPECT_TRUE(sound_played("stage.ogg"));
}

TEST_F(CollisionTest, AfterALossEveryAsteroidGetsAFreshHeadingOnTheTopEdge) {
  new_game();
  astro_tag::erase_all();
  auto first = add_asteroid(100, 400, 1.0f);
  auto second = add_asteroid(540, 400, 0.6f);
  game_state = STATE_DESTROYED;
  state_ctr = 250;
  // Nothing else draws a random number in this frame: the two headings are the only draws.
  const int32_t before = RandomState();
  step();
  ASSERT_EQ(game_state, STATE_PLAY);
  const int32_t after = RandomState();
  SetRandomState(before);
  for (const auto& rock : {first, second}) {
    const int32_t pick = TruncateToInt(RandomRange(4, 0));
    const float angle = pick < 2 ? static_cast<float>(RandomRange(15, 285))
                                 : static_cast<float>(RandomRange(-15, -285));
    EXPECT_EQ(rock->angle, angle);
    EXPECT_EQ(rock->y, -14.0f);
  }
  EXPECT_EQ(RandomState(), after);
  EXPECT_EQ(first->x, 100.0f);
  EXPECT_EQ(second->x, 540.0f);
}

TEST_F(CollisionTest, NewAsteroidsAndTheUfoDrawTheirRandomNumbersInAFixedOrder) {
  new_game();
  const int32_t seed_state = 424242;

  SetRandomState(seed_state);
  astro_tag::erase_all();
  astro_tag::create_new(0, 1, 0.0f, 0.0f, 1.0f, 0.4f);
  const auto rock = astro_list.first();
  const int32_t after_rock = RandomState();
  SetRandomState(seed_state);
  const float spread = static_cast<float>(RandomRange(360, 0));
  const int32_t distance = TruncateToInt(RandomRange(300, 0));
  const int32_t pick = TruncateToInt(RandomRange(4, 0));
  const int32_t frame = TruncateToInt(RandomRange(3, 0));
  const float angle = pick < 2 ? static_cast<float>(RandomRange(15, 285))
                               : static_cast<float>(RandomRange(-15, -285));
  const int32_t rotation = TruncateToInt(RandomRange(359, 0));
  EXPECT_EQ(RandomState(), after_rock);
  EXPECT_EQ(rock->x, static_cast<float>(320 + SinDeg(spread) * distance));
  EXPECT_EQ(rock->y, -40.0f);
  EXPECT_EQ(rock->frame, frame);
  EXPECT_EQ(rock->angle, angle);
  EXPECT_EQ(rock->rotation, rotation);

  SetRandomState(seed_state);
  ufo->warp_in();
  const int32_t after_ufo = RandomState();
  SetRandomState(seed_state);
  const bool from_left = TruncateToInt(RandomRange(4, 0)) < 2;
  const float y = static_cast<float>(RandomRange(100, 380));
  const int32_t t_rot = TruncateToInt(RandomRange(359, 0));
  const int32_t b_rot = TruncateToInt(RandomRange(359, 0));
  EXPECT_EQ(RandomState(), after_ufo);
  EXPECT_EQ(ufo->x, from_left ? -20.0f : 660.0f);
  EXPECT_EQ(ufo->angle, from_left ? 90.0f : 270.0f);
  EXPECT_EQ(ufo->y, y);
  EXPECT_EQ(ufo->t_rot, t_rot);
  EXPECT_EQ(ufo->b_rot, b_rot);
}

}  // namespace
