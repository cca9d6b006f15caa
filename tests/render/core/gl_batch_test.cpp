// Queued drawing on the OpenGL driver: primitives are sent in batches, and every read, clear,
// state change, texture deletion and context switch must see them drawn in the order they
// were issued.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

class GLBatching : public testing::Test {
 protected:
  void SetUp() override {
    SetGraphicsDriver(GLRender2DDriver());
    ASSERT_TRUE(OpenGraphics(128, 96, 0, 0, 0));
    SetBlend(BLEND_SOLID);
    Cls();
  }
  void TearDown() override { EndGraphics(); }
};

uint32_t Pixel(int32_t x, int32_t y) {
  return GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) & 0xFFFFFFu;
}

std::shared_ptr<TImage> SolidImage(uint32_t argb) {
  auto pixels = CreatePixmap(8, 8, PF_RGBA8888);
  pixels->ClearPixels(argb);
  return LoadImage(pixels, 0);
}

TEST_F(GLBatching, LaterSpritesCoverEarlierOnesAcrossTexturesAndColours) {
  auto red = SolidImage(0xFFFF0000u), white = SolidImage(0xFFFFFFFFu);
  DrawImage(red, 10, 10);
  DrawImage(white, 14, 10);  // another texture: a new batch
  SetColor(0, 0, 255);       // same texture, new colour: stays in the batch
  DrawImage(white, 18, 10);
  SetColor(255, 255, 255);
  DrawImage(red, 22, 10);
  EXPECT_EQ(Pixel(12, 12), 0xFF0000u);
  EXPECT_EQ(Pixel(16, 12), 0xFFFFFFu);
  EXPECT_EQ(Pixel(20, 12), 0x0000FFu);
  EXPECT_EQ(Pixel(23, 12), 0xFF0000u);
  EXPECT_EQ(Pixel(28, 12), 0xFF0000u);
}

TEST_F(GLBatching, ShapesImagesAndPolygonsKeepTheirOrder) {
  auto white = SolidImage(0xFFFFFFFFu);
  SetColor(255, 0, 0);
  DrawRect(0, 0, 40, 40);
  SetColor(0, 255, 0);
  DrawOval(0, 0, 20, 20);  // drawn at once, after the queued rectangle
  SetColor(0, 0, 255);
  DrawRect(5, 5, 4, 4);  // queued again, over the oval
  SetColor(255, 255, 0);
  DrawImage(white, 30, 30);
  SetColor(255, 0, 255);
  DrawLine(0, 50, 60, 50, 0);
  Plot(70, 50);
  EXPECT_EQ(Pixel(35, 2), 0xFF0000u);
  EXPECT_EQ(Pixel(10, 12), 0x00FF00u);
  EXPECT_EQ(Pixel(6, 6), 0x0000FFu);
  EXPECT_EQ(Pixel(33, 33), 0xFFFF00u);
  EXPECT_EQ(Pixel(30, 50), 0xFF00FFu);
  EXPECT_EQ(Pixel(70, 50), 0xFF00FFu);
}

TEST_F(GLBatching, BlendAndClipChangesApplyOnlyToWhatFollows) {
  SetColor(100, 0, 0);
  DrawRect(0, 0, 20, 20);
  SetBlend(BLEND_LIGHT);
  SetColor(0, 100, 0);
  DrawRect(0, 0, 20, 20);
  SetBlend(BLEND_SOLID);
  SetViewport(40, 0, 10, 10);
  SetColor(0, 0, 200);
  DrawRect(30, 0, 30, 20);
  SetViewport(0, 0, 128, 96);
  EXPECT_EQ(Pixel(5, 5), 0x646400u);
  EXPECT_EQ(Pixel(35, 5), 0x000000u);
  EXPECT_EQ(Pixel(45, 5), 0x0000C8u);
  EXPECT_EQ(Pixel(45, 15), 0x000000u);
}

// More points than one batch holds: the polygon still comes out whole.
TEST_F(GLBatching, APolygonOfMorePointsThanABatchIsDrawnWhole) {
  SetColor(255, 255, 255);
  // A rectangle whose first 65,536 points all lie on its top edge.
  std::vector<float> xy;
  for (int32_t i = 0; i < 65536; ++i) {
    xy.push_back(10.0f + 100.0f * static_cast<float>(i) / 65535.0f);
    xy.push_back(10.0f);
  }
  for (int32_t i = 0; i < 5000; ++i) {
    xy.push_back(110.0f - 100.0f * static_cast<float>(i) / 4999.0f);
    xy.push_back(80.0f);
  }
  DrawPoly(xy);
  EXPECT_EQ(Pixel(60, 45), 0xFFFFFFu);
  EXPECT_EQ(Pixel(5, 5), 0x000000u);
}

TEST_F(GLBatching, ClsWipesWhatWasQueuedBeforeIt) {
  SetColor(255, 255, 255);
  DrawRect(0, 0, 50, 50);
  Cls();
  DrawRect(60, 0, 10, 10);
  EXPECT_EQ(Pixel(10, 10), 0x000000u);
  EXPECT_EQ(Pixel(65, 5), 0xFFFFFFu);
}

TEST_F(GLBatching, ASpriteQueuedBeforeItsImageIsFreedIsStillDrawn) {
  auto red = SolidImage(0xFFFF0000u);
  DrawImage(red, 10, 10);
  red.reset();                           // deletes the texture while its quad waits
  auto green = SolidImage(0xFF00FF00u);  // may reuse the texture name
  DrawImage(green, 30, 10);
  EXPECT_EQ(Pixel(12, 12), 0xFF0000u);
  EXPECT_EQ(Pixel(32, 12), 0x00FF00u);
}

TEST_F(GLBatching, QueuedDrawingStaysWithItsOwnGraphics) {
  std::shared_ptr<TGraphics> first = CurrentGraphics();
  SetColor(255, 0, 0);
  DrawRect(0, 0, 10, 10);
  std::shared_ptr<TGraphics> second = CreateGraphics(64, 64, 0, 0, 0);
  ASSERT_TRUE(second);
  SetCurrentGraphics(second);
  EXPECT_EQ(Pixel(5, 5), 0x000000u);
  SetColor(0, 255, 0);
  DrawRect(0, 0, 10, 10);
  SetCurrentGraphics(first);
  EXPECT_EQ(Pixel(5, 5), 0xFF0000u);
  SetCurrentGraphics(second);
  EXPECT_EQ(Pixel(5, 5), 0x00FF00u);
  SetCurrentGraphics(first);
  CloseGraphics(second);
}

TEST_F(GLBatching, DrawingQueuedBeforeAFlipIsPresented) {
  SetColor(0, 0, 255);
  DrawRect(0, 0, 10, 10);
  Flip(0);
  EXPECT_EQ(Pixel(5, 5), 0x0000FFu) << "the back buffer keeps the flipped picture";
  DrawRect(20, 0, 10, 10);
  EndGraphics();  // closing with drawing still queued must not draw into the next graphics
  ASSERT_TRUE(OpenGraphics(128, 96, 0, 0, 0));
  SetBlend(BLEND_SOLID);
  EXPECT_EQ(Pixel(25, 5), 0x000000u);
}

}  // namespace
