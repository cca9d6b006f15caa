// The ship's motion and controls, shots and flame, as a player would notice them.

#include <cmath>

#include "game_fixture.h"
#include "support/random.h"

namespace {

constexpr int32_t kLeft = 37, kUp = 38, kRight = 39, kFire = 162, kCloak = 164;

using ShipTest = GameTest;

TEST_F(ShipTest, ANewGameHasOneLargeAsteroidThreeLivesAndLevelOne) {
  new_game(false);
  EXPECT_EQ(player->lives, 3);
  EXPECT_EQ(player->level, 1);
  EXPECT_EQ(player->score, 0);
  ASSERT_EQ(astro_list.size(), 1u);
  EXPECT_EQ(astro_list.first()->scale, 1.0f);
  EXPECT_EQ(astro_list.first()->speed, 0.4f);
  EXPECT_GE(ufo_tmr, 99);
  EXPECT_LE(ufo_tmr, 999);
  EXPECT_EQ(ufo->scale, 1.0f);
  EXPECT_TRUE(sound_played("stage.ogg"));
}

TEST_F(ShipTest, ThrustAcceleratesAndFrictionSlowsBeforeTheMove) {
  new_game();
  press(kUp);
  step();
  EXPECT_FLOAT_EQ(player->speed, 0.02f);
  EXPECT_EQ(player->y, 220.0f);
  EXPECT_TRUE(sound_played("thrust.ogg"));
  EXPECT_EQ(flame_list.size(), 1u);
  release(kUp);
  step();
  EXPECT_FLOAT_EQ(player->speed, 0.018f);
  EXPECT_NEAR(player->y, 220.0f - 0.018f, 1e-5);
  EXPECT_EQ(player->thrust_on, 0);
}

TEST_F(ShipTest, ThrustingMoreThan45DegreesOffTheTravelBrakesWithoutTurning) {
  new_game();
  player->speed = 1.0f;
  player->direction = 0.0f;
  player->rotation = 90.0f;
  press(kUp);
  step();
  EXPECT_NEAR(player->speed, 1.0f - 0.002f - 0.01f, 1e-6);
  EXPECT_EQ(player->direction, 0.0f);
  // Slow enough: the next thrust frame snaps the travel to the nose.
  player->speed = 0.15f;
  step();
  EXPECT_EQ(player->direction, 90.0f);
  EXPECT_NEAR(player->speed, 0.15f - 0.002f + 0.02f, 1e-6);
}

TEST_F(ShipTest, AFullTurnSinceTheLastThrustBrakesAlthoughTheNosePointsTheSameWay) {
  new_game();
  player->speed = 1.0f;
  player->direction = 0.0f;
  player->rotation = 360.0f;
  press(kUp);
  step();
  EXPECT_LT(player->speed, 1.0f - 0.002f);
  EXPECT_EQ(player->direction, 0.0f);
}

TEST_F(ShipTest, ArrowsRotateFourDegreesAFrameAndCancelTogether) {
  new_game();
  press(kLeft);
  step(3);
  EXPECT_EQ(player->rotation, -12.0f);
  press(kRight);
  step(2);
  EXPECT_EQ(player->rotation, -12.0f);
}

TEST_F(ShipTest, TheShipWrapsTwentyPixelsBeyondEachEdge) {
  new_game();
  player->x = -20.0f;
  step();
  EXPECT_EQ(player->x, -20.0f);
  player->x = -20.01f;
  step();
  EXPECT_EQ(player->x, 660.0f);
  player->y = 500.01f;
  step();
  EXPECT_EQ(player->y, -20.0f);
  player->y = -20.5f;
  step();
  EXPECT_EQ(player->y, 500.0f);
}

TEST_F(ShipTest, ShotsAlternateSidesOfTheNose) {
  new_game();
  tap(kFire);
  step();
  ASSERT_EQ(shot_list.size(), 1u);
  const auto first = shot_list.first();
  // Fired from the left of the nose, already moved 6 pixels up in its first frame.
  EXPECT_NEAR(first->x, 315.0f, 1e-4);
  EXPECT_NEAR(first->y, 220.0f - 8.660254f - 6.0f, 1e-4);
  EXPECT_TRUE(sound_played("shoot.ogg"));
  step(11);
  tap(kFire);
  step();
  ASSERT_EQ(shot_list.size(), 2u);
  EXPECT_NEAR(shot_list.items()[1]->x, 325.0f, 1e-4);
  EXPECT_EQ(player->shot_side, 0);
}

TEST_F(ShipTest, ShotsComeAtMostEveryElevenFramesAndAPressDuringTheCoolDownIsKept) {
  new_game();
  std::vector<int64_t> fired;
  for (int frame = 0; frame < 40; ++frame) {
    tap(kFire);
    step();
    if (sound_played("shoot.ogg")) fired.push_back(frame);
  }
  EXPECT_EQ(fired, (std::vector<int64_t>{0, 11, 22, 33}));

  // One press in the cool-down fires on the first frame after it.
  step(20);
  tap(kFire);
  step();
  ASSERT_TRUE(sound_played("shoot.ogg"));
  step(3);
  tap(kFire);
  for (int frame = 4; frame < 11; ++frame) {
    step();
    EXPECT_FALSE(sound_played("shoot.ogg")) << frame;
  }
  step();
  EXPECT_TRUE(sound_played("shoot.ogg"));
}

TEST_F(ShipTest, HoldingFireDoesNotRepeat) {
  new_game();
  press(kFire);
  step(30);
  EXPECT_EQ(shot_list.size(), 1u);
}

TEST_F(ShipTest, AShotLivesFiftyOneUpdatesAndTravels306Pixels) {
  new_game();
  player->rotation = 90.0f;  // fly right, along y = 220
  tap(kFire);
  step();
  ASSERT_EQ(shot_list.size(), 1u);
  const auto shot = shot_list.first();
  const float start_x = shot->x + 0.0f;
  int updates = 1;
  while (!shot_list.empty()) {
    step();
    if (!shot_list.empty()) ++updates;
  }
  ++updates;  // the update that removed it
  EXPECT_EQ(updates, 51);
  // From the muzzle (6 pixels already flown) to the end: 306 in all.
  const float muzzle_x = start_x - 6.0f;
  EXPECT_NEAR(shot->x - muzzle_x, 306.0f, 1e-3);
}

TEST_F(ShipTest, ShotsAndFlameWrapExactlyAtTheScreenEdges) {
  new_game();
  auto shot = add_shot(3.0f, 100.0f, 270.0f);  // flying left, 6 pixels a frame
  step();
  EXPECT_EQ(shot->x, 640.0f);
  auto other = add_shot(640.0f + 6.0f, 100.0f, 270.0f);
  step();
  EXPECT_EQ(other->x, 640.0f);  // exactly 640 stays
}

TEST_F(ShipTest, FlameLivesOneHundredAndOneUpdates) {
  new_game();
  press(kUp);
  step();
  release(kUp);
  ASSERT_EQ(flame_list.size(), 1u);
  int frames = 1;
  while (!flame_list.empty()) {
    step();
    ++frames;
  }
  EXPECT_EQ(frames, 101);
}

TEST_F(ShipTest, CloakLastsTwoHundredFramesWithASoundAtEachEnd) {
  new_game();
  tap(kCloak);
  step();
  EXPECT_EQ(player->cloak_ctr, 200);
  EXPECT_TRUE(sound_played("cloak.ogg"));
  step(199);
  EXPECT_EQ(player->cloak_ctr, 1);
  step();
  EXPECT_EQ(player->cloak_ctr, 0);
  EXPECT_TRUE(sound_played("cloak.ogg"));
}

TEST_F(ShipTest, ACloakedShipSurvivesACollisionAndAnUncloakedOneDoesNot) {
  new_game();
  player->cloak_ctr = 50;
  add_asteroid(320, 220, 1.0f);
  step(5);
  EXPECT_EQ(game_state, STATE_PLAY);
  player->cloak_ctr = 0;
  step();
  EXPECT_EQ(game_state, STATE_DESTROYED);
  EXPECT_TRUE(sound_played("explode.ogg"));
}

}  // namespace
