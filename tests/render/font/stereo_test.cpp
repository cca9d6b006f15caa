// The stereo drawing helper's call sequences in plain and stereo mode, recorded by the
// headless driver.

#include "render/stereo.h"

#include <cmath>

#include "headless_fixture.h"
#include "render/font.h"

namespace {

class StereoTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    draw3d.slc(140, 4, 40, 4, 100, 20);
  }

  int32_t stereo_mode = 1;
  kvdraw_tag draw3d{&stereo_mode};
  std::shared_ptr<TImage> image = Square();
};

TEST_F(StereoTest, PlainImageDrawsOnceWithTheCallersBlendAndColour) {
  stereo_mode = 0;
  SetBlend(BLEND_ALPHA);
  SetColor(10, 20, 30);
  driver_->ClearCalls();
  draw3d.i3d(image, 100.0f, 50.0f, 0, 5.0f, 0.0f, 3);
  ASSERT_EQ(Sequence(), std::vector<std::string>({"DrawFrame"}));
  const THeadlessCall draw = Draws()[0];
  EXPECT_EQ(DrawX(draw), 100.0f);
  EXPECT_EQ(DrawY(draw), 50.0f);
  EXPECT_EQ(draw.blend, BLEND_ALPHA);
  EXPECT_EQ(draw.red, 10);
}

TEST_F(StereoTest, StereoImageDrawsLeftThenRightWithTintsAndAdditiveBlend) {
  draw3d.i3d(image, 100.0f, 50.0f, 0, 6.0f, 0.0f, 1);
  EXPECT_EQ(Sequence(), std::vector<std::string>({"SetBlend 4", "SetColor 140 4 40", "DrawFrame",
                                                  "SetColor 4 100 20", "DrawFrame"}));
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(DrawX(draws[0]), 94.0f);
  EXPECT_EQ(DrawX(draws[1]), 106.0f);
  EXPECT_EQ(DrawY(draws[0]), 50.0f);
  EXPECT_EQ(DrawY(draws[1]), 50.0f);
  EXPECT_EQ(draws[0].blend, BLEND_LIGHT);
  EXPECT_EQ(draws[0].green, 4);
  EXPECT_EQ(draws[1].green, 100);
  // Blend and the right-eye colour are left behind.
  EXPECT_EQ(GetBlend(), BLEND_LIGHT);
  int32_t r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ(std::vector<int32_t>({r, g, b}), std::vector<int32_t>({4, 100, 20}));
}

TEST_F(StereoTest, RepeatsDrawThePairAgainAndZeroDrawsNothing) {
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 3);
  EXPECT_EQ(Draws().size(), 6u);
  EXPECT_EQ(CallsOf({"SetBlend"}).size(), 3u);  // blend is set again for every pair
  driver_->ClearCalls();
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 0);
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, -2);
  EXPECT_TRUE(Draws().empty());
}

TEST_F(StereoTest, RotationOffsetTurnsTheCopiesApartAndLeavesTheWholeDegree) {
  SetRotation(45.7f);
  driver_->ClearCalls();
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 10.0f, 1);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_NEAR(draws[0].jx, std::sin(55.0 * M_PI / 180.0), 1e-5);
  EXPECT_NEAR(draws[1].jx, std::sin(35.0 * M_PI / 180.0), 1e-5);
  EXPECT_EQ(GetRotation(), 45.0f);

  SetRotation(-45.7f);
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 10.0f, 1);
  EXPECT_EQ(GetRotation(), -45.0f);
}

TEST_F(StereoTest, NoRotationOffsetLeavesTheRotationUntouched) {
  SetRotation(45.7f);
  driver_->ClearCalls();
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 2);
  EXPECT_TRUE(CallsOf({"SetTransform"}).empty());
  EXPECT_EQ(GetRotation(), 45.7f);
  stereo_mode = 0;
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 2);
  EXPECT_EQ(GetRotation(), 45.7f);
}

TEST_F(StereoTest, ZeroRepeatsStillRestoresTheTruncatedRotation) {
  SetRotation(12.9f);
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 5.0f, 0);
  EXPECT_TRUE(Draws().empty());
  EXPECT_EQ(GetRotation(), 12.0f);
}

TEST_F(StereoTest, PlainImageIgnoresTheOffsetButStillTruncatesTheRotation) {
  stereo_mode = 0;
  SetRotation(20.5f);
  driver_->ClearCalls();
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 10.0f, 1);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_NEAR(draws[0].jx, std::sin(20.5 * M_PI / 180.0), 1e-5);
  EXPECT_EQ(GetRotation(), 20.0f);
}

TEST_F(StereoTest, ModeIsReadAtEveryCall) {
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 1);
  EXPECT_EQ(Draws().size(), 2u);
  stereo_mode = 0;
  driver_->ClearCalls();
  draw3d.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 1);
  EXPECT_EQ(Draws().size(), 1u);
  stereo_mode = 3;
  driver_->ClearCalls();
  draw3d.t3d("A", 10.0f, 10.0f, 2.0f, 0);
  EXPECT_EQ(Draws().size(), 2u);

  kvdraw_tag unbound;  // no mode given: plain
  driver_->ClearCalls();
  unbound.i3d(image, 10.0f, 10.0f, 0, 2.0f, 0.0f, 1);
  EXPECT_EQ(Draws().size(), 1u);
}

TEST_F(StereoTest, CentredStereoTextUsesTheScalesGivenToSip) {
  SetImageFont(nullptr);  // built-in font: "ABC" is 24 x 16
  draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 2.0f, 2.0f);
  driver_->ClearCalls();
  draw3d.t3d("ABC", 320.0f, 195.0f, 6.0f, 1);
  EXPECT_EQ(Sequence(), std::vector<std::string>({"SetBlend 4", "SetColor 140 4 40", "DrawFrame",
                                                  "DrawFrame", "DrawFrame", "SetColor 4 100 20",
                                                  "DrawFrame", "DrawFrame", "DrawFrame"}));
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 6u);
  // Centred at 320 - 24 * 2 / 2 = 296 and 195 - 16 * 2 / 2 = 179; glyphs 16 apart at scale 2.
  EXPECT_EQ(DrawX(draws[0]), 290.0f);
  EXPECT_EQ(DrawX(draws[1]), 306.0f);
  EXPECT_EQ(DrawX(draws[3]), 302.0f);
  EXPECT_EQ(DrawY(draws[0]), 179.0f);
  EXPECT_EQ(DrawY(draws[5]), 179.0f);

  // A scale set behind the helper's back does not change the centring.
  SetScale(1.0f, 1.0f);
  driver_->ClearCalls();
  draw3d.t3d("ABC", 320.0f, 195.0f, 6.0f, 1);
  EXPECT_EQ(DrawX(Draws()[0]), 290.0f);
}

TEST_F(StereoTest, PlainTextDrawsOnceInTheCallersColour) {
  stereo_mode = 0;
  SetImageFont(nullptr);
  SetBlend(BLEND_ALPHA);
  SetColor(200, 200, 60);
  driver_->ClearCalls();
  draw3d.t3d("AB", 100.0f, 40.0f, 6.0f, 0);
  EXPECT_EQ(Sequence(), std::vector<std::string>({"DrawFrame", "DrawFrame"}));
  EXPECT_EQ(DrawX(Draws()[0]), 100.0f);
  EXPECT_EQ(DrawX(Draws()[1]), 108.0f);
  EXPECT_EQ(Draws()[0].red, 200);
}

TEST_F(StereoTest, CentringWithoutSipMovesNothing) {
  stereo_mode = 0;
  SetImageFont(nullptr);
  kvdraw_tag fresh{&stereo_mode};
  fresh.t3d("ABC", 320.0f, 195.0f, 6.0f, 1);
  ASSERT_FALSE(Draws().empty());
  EXPECT_EQ(DrawX(Draws()[0]), 320.0f);
  EXPECT_EQ(DrawY(Draws()[0]), 195.0f);
}

}  // namespace
