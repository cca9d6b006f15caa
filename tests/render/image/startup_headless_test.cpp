// Images on the headless driver: the start-up pattern and its own frames.

#include <gtest/gtest.h>

#include <vector>

#include "render/collision.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/image.h"
#include "render/render2d.h"
#include "startup_pattern.h"

namespace {

class HeadlessImages : public testing::Test {
 protected:
  void SetUp() override {
    SetGraphicsDriver(HeadlessGraphicsDriver());
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, 2));
    SetBlend(BLEND_SOLID);
    SetRotationScale(0, 1, 1);
    SetOrigin(0, 0);
  }
  void TearDown() override { EndGraphics(); }
};

TEST_F(HeadlessImages, StartupPatternWorks) {
  RunStartupPattern(false);
}

TEST_F(HeadlessImages, DrawImagePassesHandleAndOriginToTheFrame) {
  auto image = CreateImage(10, 6, 2, 0);
  SetImageHandle(image, 4, 1);
  SetOrigin(3, 5);
  HeadlessGraphicsDriver()->ClearCalls();
  DrawImage(image, 100, 50, 1);
  DrawImageRect(image, 0, 0, 20, 30, 0);
  std::vector<THeadlessCall> frames;
  for (const THeadlessCall& call : HeadlessGraphicsDriver()->Calls())
    if (call.kind == "DrawFrame") frames.push_back(call);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].args, (std::vector<float>{-4, -1, 6, 5, 103, 55}));
  EXPECT_EQ(frames[1].args, (std::vector<float>{-4, -1, 16, 29, 3, 5}));
  EXPECT_EQ(frames[0].pixmap, image->pixmaps[1].get());
}

TEST_F(HeadlessImages, FramesAreRemadeForANewGraphicsOrNewPixels) {
  auto image = CreateImage(4, 4, 1, 0);
  auto first = image->Frame(0);
  ASSERT_TRUE(first);
  EXPECT_EQ(image->seqs[0], GraphicsSeq());
  EXPECT_EQ(image->Frame(0), first);
  LockImage(image, 0, true, true);
  auto second = image->Frame(0);
  EXPECT_NE(second, first);
  EndGraphics();
  ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, 2));
  EXPECT_NE(image->Frame(0), second);
  EXPECT_EQ(image->seqs[0], GraphicsSeq());
}

TEST_F(HeadlessImages, GrabbedMaskedFramesTakeTheGlobalMaskColour) {
  auto sheet = CreatePixmap(4, 1, PF_RGB888);
  sheet->WritePixel(0, 0, 0xFF00FF00);
  sheet->WritePixel(1, 0, 0xFFFF00FF);
  sheet->WritePixel(2, 0, 0xFF000000);
  sheet->WritePixel(3, 0, 0xFFFF00FF);
  SetMaskColor(255, 0, 255);
  auto image = CreateImage(4, 1, 1, IMAGE_MASKED);
  SetMaskColor(0, 0, 0);
  SetBlend(BLEND_SOLID);
  DrawPixmap(sheet, 0, 0);
  SetMaskColor(255, 0, 255);  // the grab uses the mask colour of the moment
  GrabImage(image, 0, 0);
  SetMaskColor(0, 0, 0);
  auto pixels = image->pixmaps[0];
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->ReadPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(pixels->ReadPixel(1, 0), 0x00007F00u);  // average of green and black
  EXPECT_EQ(pixels->ReadPixel(2, 0), 0xFF000000u);
  EXPECT_EQ(pixels->ReadPixel(3, 0), 0x00000000u);
}

TEST_F(HeadlessImages, ImagesOverlapPlacesEachPoseWithoutTouchingTheRenderState) {
  // A 40 x 4 bar centred on its position and a 2 x 2 dot, both solid.
  auto bar = CreateImage(40, 4, 1, 0);
  auto dot = CreateImage(2, 2, 1, 0);
  bar->Lock(0, true, true)->ClearPixels(0xFFFFFFFF);
  dot->Lock(0, true, true)->ClearPixels(0xFFFFFFFF);
  CentreImageHandle(bar);
  SetOrigin(3, 5);
  SetRotationScale(30, 2, 0.5f);
  float ix, iy, jx, jy;
  GetCollisionTransform(ix, iy, jx, jy);
  HeadlessGraphicsDriver()->ClearCalls();
  // Each test uses its own pose, not the current one: rotated 90 degrees the bar stands
  // upright, reaching y 30 .. 70 (plus the origin); the same pose again gives the same answer
  // after another pose came in between.
  EXPECT_EQ(ImagesOverlap(bar, 50, 50, 0, 90, 1, 1, dot, 49, 33, 0, 0, 1, 1), 1);
  EXPECT_EQ(ImagesOverlap(bar, 50, 50, 0, 90, 1, 1, dot, 32, 49, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlap(bar, 50, 50, 0, 0, 1, 1, dot, 32, 49, 0, 0, 1, 1), 1);
  EXPECT_EQ(ImagesOverlap(bar, 50, 50, 0, 0, 0.5f, 1, dot, 32, 49, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlap(bar, 50, 50, 0, 90, 1, 1, dot, 49, 33, 0, 0, 1, 1), 1);
  EXPECT_EQ(ImagesOverlap(dot, 49, 33, 0, 0, 1, 1, bar, 50, 50, 0, 90, 1, 1), 1);
  EXPECT_EQ(ImagesOverlap(dot, 32, 49, 0, 0, 1, 1, bar, 50, 50, 0, 90, 1, 1), 0);
  // The render state, the driver's matrix and the layers' copy are as they were.
  EXPECT_EQ(GetRotation(), 30);
  float scale_x, scale_y;
  GetScale(scale_x, scale_y);
  EXPECT_EQ(scale_x, 2);
  EXPECT_EQ(scale_y, 0.5f);
  float now[4];
  GetCollisionTransform(now[0], now[1], now[2], now[3]);
  EXPECT_EQ(std::vector<float>(now, now + 4), (std::vector<float>{ix, iy, jx, jy}));
  EXPECT_TRUE(HeadlessGraphicsDriver()->Calls().empty());
  // Layer 31 keeps the last test's first quad: the dot at (32, 49) plus the origin.
  SetRotationScale(0, 1, 1);
  EXPECT_EQ(LayerCollideRect(32, 49, 1, 1, 1u << 31, 0, nullptr).size(), 1u);
  EXPECT_EQ(LayerCollideRect(30, 49, 1, 1, 1u << 31, 0, nullptr).size(), 0u);
  ClearCollisionLayers(0);
}

}  // namespace
