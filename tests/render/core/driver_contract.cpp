#include "tests/render/core/driver_contract.h"

#include <gmock/gmock.h>

#include <cmath>
#include <vector>

#include "render/graphics.h"
#include "render/image.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

void DriverContract::SetUp() {
  SetGraphicsDriver(GetParam().make());
  // Windowed with pacing off: no hardware probe, no sleeping.
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
}

void DriverContract::TearDown() {
  EndGraphics();
}

Rgba PixelAt(int32_t x, int32_t y) {
  std::shared_ptr<TPixmap> p = GrabPixmap(x, y, 1, 1);
  if (!p) return {-1, -1, -1, -1};
  const uint8_t* px = p->PixelPtr(0, 0);
  return {px[0], px[1], px[2], px[3]};
}

std::shared_ptr<TPixmap> SolidPixmap(int32_t width, int32_t height, uint8_t r, uint8_t g, uint8_t b,
                                     uint8_t a) {
  std::shared_ptr<TPixmap> p = TPixmap::Create(width, height, PF_RGBA8888, 4);
  p->ClearPixels((uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b);
  return p;
}

namespace {

bool Near(const Rgba& got, int r, int g, int b) {
  return std::abs(got.r - r) <= 1 && std::abs(got.g - g) <= 1 && std::abs(got.b - b) <= 1;
}

MATCHER_P3(IsColour, r, g, b, "") {
  *result_listener << "pixel is " << arg.r << "," << arg.g << "," << arg.b;
  return Near(arg, r, g, b);
}

}  // namespace

TEST_P(DriverContract, ClsFillsTheBufferWithTheClsColourOpaque) {
  SetClsColor(10, 20, 30);
  Cls();
  for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}}) {
    Rgba p = PixelAt(x, y);
    EXPECT_THAT(p, IsColour(10, 20, 30)) << x << "," << y;
    EXPECT_EQ(p.a, 255);
  }
}

TEST_P(DriverContract, GrabReturnsTheDrawnPixmapTopRowFirst) {
  std::shared_ptr<TPixmap> pattern = TPixmap::Create(3, 2, PF_RGBA8888, 4);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      pattern->WritePixel(x, y, 0xFF000000u | (uint32_t(10 + x) << 16) | (uint32_t(100 + y) << 8));
    }
  }
  Cls();
  DrawPixmap(pattern, 5, 7);
  std::shared_ptr<TPixmap> grabbed = GrabPixmap(5, 7, 3, 2);
  ASSERT_TRUE(grabbed);
  EXPECT_EQ(grabbed->format, PF_RGBA8888);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      EXPECT_EQ(grabbed->ReadPixel(x, y), pattern->ReadPixel(x, y)) << x << "," << y;
    }
  }
  EXPECT_THAT(PixelAt(4, 7), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(5, 9), IsColour(0, 0, 0));
}

TEST_P(DriverContract, DrawPixmapIgnoresColourBlendAndMatrix) {
  Cls();
  SetBlend(BLEND_LIGHT);
  SetColor(0, 0, 0);
  SetScale(3, 3);
  DrawPixmap(SolidPixmap(2, 2, 200, 100, 50, 0), 10, 10);
  EXPECT_THAT(PixelAt(10, 10), IsColour(200, 100, 50));
  EXPECT_THAT(PixelAt(11, 11), IsColour(200, 100, 50));
  EXPECT_THAT(PixelAt(12, 12), IsColour(0, 0, 0));
  EXPECT_EQ(GetBlend(), BLEND_LIGHT);
}

TEST_P(DriverContract, GrabOutsideTheBufferGivesTransparentBlack) {
  SetClsColor(255, 255, 255);
  Cls();
  std::shared_ptr<TPixmap> grabbed = GrabPixmap(638, -1, 4, 3);
  ASSERT_TRUE(grabbed);
  EXPECT_EQ(grabbed->ReadPixel(0, 0), 0u);           // above the buffer
  EXPECT_EQ(grabbed->ReadPixel(1, 1), 0xFFFFFFFFu);  // x 639, y 0: inside
  EXPECT_EQ(grabbed->ReadPixel(2, 1), 0u);           // right of the buffer
  EXPECT_FALSE(GrabPixmap(0, 0, 0, 5));
  EXPECT_FALSE(GrabPixmap(0, 0, -3, 5));
}

namespace {

// Drawing writes alpha: a transparent pixmap, and a solid rectangle at a quarter alpha.
void DrawTranslucentPixels() {
  SetClsColor(0, 0, 0);
  Cls();
  DrawPixmap(SolidPixmap(2, 2, 200, 100, 50, 0), 10, 10);
  SetBlend(BLEND_SOLID);
  SetColor(0, 255, 0);
  SetAlpha(0.25f);  // alpha byte 63
  DrawRect(20, 20, 4, 4);
  SetColor(255, 255, 255);
  SetAlpha(1.0f);
}

}  // namespace

TEST_P(DriverContract, ReadBackIsOpaqueUnlessThereIsAnAlphaBuffer) {
  DrawTranslucentPixels();
  Rgba pixmap = PixelAt(11, 11), rect = PixelAt(21, 21);
  EXPECT_THAT(pixmap, IsColour(200, 100, 50));
  EXPECT_EQ(pixmap.a, 255);
  EXPECT_THAT(rect, IsColour(0, 255, 0));
  EXPECT_EQ(rect.a, 255);
  // An unmasked image grabbed from there draws whole in the mask mode.
  std::shared_ptr<TImage> grabbed = CreateImage(16, 16, 1, 0);
  GrabImage(grabbed, 10, 10);
  SetClsColor(0, 0, 255);
  Cls();
  SetBlend(BLEND_MASK);
  DrawImage(grabbed, 100, 100);
  EXPECT_THAT(PixelAt(101, 101), IsColour(200, 100, 50));
  EXPECT_THAT(PixelAt(111, 111), IsColour(0, 255, 0));

  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, GFX_ALPHA_BUFFER));
  DrawTranslucentPixels();
  EXPECT_EQ(PixelAt(11, 11).a, 0);
  EXPECT_NEAR(PixelAt(21, 21).a, 63, 1);
  EXPECT_EQ(PixelAt(30, 30).a, 255) << "Cls clears to opaque";
}

TEST_P(DriverContract, MaskBlendKeepsTexelsFromHalfAlphaAndModulatesColour) {
  std::shared_ptr<TPixmap> strip = TPixmap::Create(4, 1, PF_RGBA8888, 4);
  const uint32_t alphas[4] = {0, 127, 128, 255};
  for (int32_t x = 0; x < 4; ++x) strip->WritePixel(x, 0, (alphas[x] << 24) | 0xC86432u);
  std::shared_ptr<TImageFrame> frame = CurrentRender2DDriver()->CreateFrameFromPixmap(strip, 0);
  ASSERT_TRUE(frame);
  SetClsColor(0, 0, 255);
  Cls();
  SetBlend(BLEND_MASK);
  SetColor(128, 255, 0);
  frame->Draw(0, 0, 4, 1, 20, 30);
  EXPECT_THAT(PixelAt(20, 30), IsColour(0, 0, 255));
  EXPECT_THAT(PixelAt(21, 30), IsColour(0, 0, 255));
  // 200 * 128 / 255 = 100.4; 100 * 255 / 255; 50 * 0.
  EXPECT_THAT(PixelAt(22, 30), IsColour(100, 100, 0));
  EXPECT_THAT(PixelAt(23, 30), IsColour(100, 100, 0));
}

TEST_P(DriverContract, SolidBlendWritesEvenTransparentTexels) {
  std::shared_ptr<TImageFrame> frame =
      CurrentRender2DDriver()->CreateFrameFromPixmap(SolidPixmap(2, 2, 40, 50, 60, 0), 0);
  ASSERT_TRUE(frame);
  Cls();
  SetBlend(BLEND_SOLID);
  frame->Draw(0, 0, 2, 2, 100, 100);
  EXPECT_THAT(PixelAt(100, 100), IsColour(40, 50, 60));
  EXPECT_THAT(PixelAt(101, 101), IsColour(40, 50, 60));
  EXPECT_THAT(PixelAt(102, 101), IsColour(0, 0, 0));
}

TEST_P(DriverContract, LightAddsShadeMultipliesAlphaMixes) {
  SetClsColor(100, 50, 0);
  Cls();
  SetBlend(BLEND_LIGHT);
  SetColor(100, 100, 100);
  SetAlpha(0.5f);  // alpha byte 127
  DrawRect(0, 0, 10, 10);
  EXPECT_THAT(PixelAt(5, 5), IsColour(150, 100, 50));

  SetClsColor(200, 100, 50);
  Cls();
  SetBlend(BLEND_SHADE);
  SetAlpha(1.0f);
  SetColor(128, 255, 0);
  DrawRect(0, 0, 10, 10);
  EXPECT_THAT(PixelAt(5, 5), IsColour(100, 100, 0));

  SetClsColor(0, 0, 0);
  Cls();
  SetBlend(BLEND_ALPHA);
  SetColor(255, 255, 255);
  SetAlpha(0.5f);
  DrawRect(0, 0, 10, 10);
  EXPECT_THAT(PixelAt(5, 5), IsColour(127, 127, 127));
}

TEST_P(DriverContract, AlphaIsClampedBeforeItReachesTheDriver) {
  SetClsColor(0, 0, 0);
  Cls();
  SetBlend(BLEND_LIGHT);
  SetColor(200, 200, 200);
  SetAlpha(1.5f);
  DrawRect(0, 0, 4, 4);
  EXPECT_THAT(PixelAt(1, 1), IsColour(200, 200, 200));
  SetAlpha(-0.2f);
  DrawRect(0, 0, 4, 4);
  SetAlpha(std::nanf(""));
  DrawRect(0, 0, 4, 4);
  EXPECT_THAT(PixelAt(1, 1), IsColour(200, 200, 200));
  EXPECT_TRUE(std::isnan(GetAlpha())) << "the record keeps what was set";
}

TEST_P(DriverContract, RectWithHandleCoversTheHandleShiftedPixels) {
  Cls();
  SetBlend(BLEND_SOLID);
  SetHandle(10, 5);
  DrawRect(100, 100, 20, 20);
  EXPECT_THAT(PixelAt(90, 95), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(109, 114), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(89, 95), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(110, 100), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(100, 115), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(95, 94), IsColour(0, 0, 0));
}

TEST_P(DriverContract, ViewportClipsClsAndDrawing) {
  Cls();
  SetViewport(10, 20, 30, 40);
  SetClsColor(0, 255, 0);
  Cls();
  SetColor(255, 0, 0);
  DrawRect(0, 0, 640, 480);
  EXPECT_THAT(PixelAt(10, 20), IsColour(255, 0, 0));
  EXPECT_THAT(PixelAt(39, 59), IsColour(255, 0, 0));
  EXPECT_THAT(PixelAt(9, 20), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(40, 20), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(10, 19), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(10, 60), IsColour(0, 0, 0));
  SetViewport(0, 0, 640, 480);
  Cls();
  EXPECT_THAT(PixelAt(0, 0), IsColour(0, 255, 0));
}

TEST_P(DriverContract, LineSetsItsLastPixelOnlyWhenAsked) {
  Cls();
  SetBlend(BLEND_SOLID);
  DrawLine(10, 10, 20, 10, 0);
  EXPECT_THAT(PixelAt(10, 10), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(15, 10), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(19, 10), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(20, 10), IsColour(0, 0, 0));
  DrawLine(10, 12, 20, 12, 1);
  EXPECT_THAT(PixelAt(20, 12), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(21, 12), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(15, 11), IsColour(0, 0, 0));
  // Drawn backwards and down columns: from the first point up to, not including, the last.
  DrawLine(20, 14, 10, 14, 0);
  EXPECT_THAT(PixelAt(20, 14), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(11, 14), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(10, 14), IsColour(0, 0, 0));
  DrawLine(30, 20, 30, 25, 0);
  EXPECT_THAT(PixelAt(30, 20), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(30, 24), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(30, 25), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(29, 22), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(31, 22), IsColour(0, 0, 0));
  DrawLine(40, 25, 40, 20, 0);
  EXPECT_THAT(PixelAt(40, 25), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(40, 21), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(40, 20), IsColour(0, 0, 0));
  DrawLine(50, 30, 50, 30, 0);  // no length, no pixel
  EXPECT_THAT(PixelAt(50, 30), IsColour(0, 0, 0));
}

TEST_P(DriverContract, PlotSetsExactlyOnePixelThroughTheOrigin) {
  Cls();
  SetOrigin(100, 50);
  Plot(3, 4);
  EXPECT_THAT(PixelAt(103, 54), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(102, 54), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(104, 54), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(103, 53), IsColour(0, 0, 0));
  EXPECT_THAT(PixelAt(103, 55), IsColour(0, 0, 0));
}

TEST_P(DriverContract, RotationTurnsShapesClockwise) {
  Cls();
  SetBlend(BLEND_SOLID);
  SetRotation(90);
  // A 20 x 4 bar to the right of (100, 100) turns to point downwards.
  DrawRect(100, 100, 20, 4);
  EXPECT_THAT(PixelAt(98, 115), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(110, 101), IsColour(0, 0, 0));
}

TEST_P(DriverContract, OvalAndPolygonFillTheirInsides) {
  Cls();
  SetBlend(BLEND_SOLID);
  DrawOval(100, 100, 100, 50);
  EXPECT_THAT(PixelAt(150, 125), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(101, 125), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(102, 102), IsColour(0, 0, 0));  // outside, near the corner
  DrawPoly({300, 300, 340, 300, 300, 340});
  EXPECT_THAT(PixelAt(305, 305), IsColour(255, 255, 255));
  EXPECT_THAT(PixelAt(335, 335), IsColour(0, 0, 0));
}

TEST_P(DriverContract, MalformedPolygonsDrawNothing) {
  Cls();
  DrawPoly({100, 100, 200, 100});
  DrawPoly({100, 100, 200, 100, 100, 200, 5});
  DrawPoly({});
  EXPECT_THAT(PixelAt(120, 110), IsColour(0, 0, 0));
}

TEST_P(DriverContract, AbsurdSizesAndNaNDoNotCrash) {
  const float nan = std::nanf("");
  const float huge = 1e30f;
  Cls();
  DrawRect(nan, 0, 10, 10);
  DrawRect(0, 0, huge, huge);
  DrawRect(-huge, -huge, huge, huge);
  DrawOval(0, 0, huge, huge);
  DrawOval(0, 0, nan, nan);
  DrawOval(0, 0, -50, -50);
  DrawLine(nan, 0, huge, -huge, 1);
  DrawLine(-huge, 0, huge, 0, 1);
  Plot(nan, huge);
  DrawPoly({nan, nan, huge, 0, 0, -huge});
  SetLineWidth(nan);
  SetLineWidth(-1);
  SetViewport(-100000, -100000, 2000000000, 2000000000);
  SetViewport(5, 5, -10, -10);
  Cls();
  SetViewport(0, 0, 640, 480);
  SetRotation(nan);
  DrawRect(10, 10, 10, 10);
  SetScale(0, 0);
  DrawRect(10, 10, 10, 10);
  SetRotationScale(0, 1, 1);
  DrawPixmap(SolidPixmap(4, 4, 1, 2, 3, 255), -2000000000, 2000000000);
  EXPECT_FALSE(GrabPixmap(0, 0, 100000, 100000));
  DrawRect(0, 0, 2, 2);
  EXPECT_THAT(PixelAt(1, 1), IsColour(255, 255, 255));
}
