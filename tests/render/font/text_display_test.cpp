// Text really reaches the screen on OpenGL: the built-in font, the FreeType font, and the
// stereo helper's two tinted copies, read back from the back buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "render/font.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "render/stereo.h"

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Box {
  int32_t left, top, right, bottom;  // right and bottom excluded
};

// Bounding box of the pixels where test(red, green, blue) holds; empty when none.
template <typename Test>
Box InkBox(const std::shared_ptr<TPixmap>& screen, Test test) {
  Box box{screen->width, screen->height, 0, 0};
  for (int32_t y = 0; y < screen->height; ++y) {
    for (int32_t x = 0; x < screen->width; ++x) {
      const uint32_t pixel = screen->ReadPixel(x, y);
      if (!test((pixel >> 16) & 255, (pixel >> 8) & 255, pixel & 255)) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

bool Lit(uint32_t r, uint32_t g, uint32_t b) {
  return r + g + b > 0;
}

class TextDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    SetGraphicsDriver(GLRender2DDriver());
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0)) << "needs an X display with GLX";
    SetClsColor(0, 0, 0);
    Cls();
  }
  void TearDown() override { EndGraphics(); }

  std::shared_ptr<TPixmap> Screen() { return GrabPixmap(0, 0, 640, 480); }
};

TEST_F(TextDisplayTest, BuiltInTextAppearsInsideItsCells) {
  SetImageFont(nullptr);
  SetBlend(BLEND_ALPHA);
  SetColor(255, 255, 255);
  DrawText("VEXTRAL", 100.0f, 100.0f);
  const Box box = InkBox(Screen(), Lit);
  // Seven 8 x 16 cells from (100, 100); the glyphs leave their outer rows and column clear.
  EXPECT_GE(box.left, 100);
  EXPECT_GE(box.top, 100);
  EXPECT_LE(box.right, 100 + 7 * 8);
  EXPECT_LE(box.bottom, 116);
  EXPECT_LE(box.left, 101);
  EXPECT_GE(box.right, 100 + 6 * 8 + 5);
}

TEST_F(TextDisplayTest, FreeTypeTextAppearsOnTheLineBelowThePen) {
  std::shared_ptr<TImageFont> font = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  ASSERT_TRUE(font);
  SetImageFont(font);
  SetBlend(BLEND_ALPHA);
  SetColor(255, 255, 255);
  DrawText("Score 120", 200.0f, 300.0f);
  const Box box = InkBox(
      Screen(), [](uint32_t r, uint32_t g, uint32_t b) { return r > 128 && g > 128 && b > 128; });
  EXPECT_GE(box.left, 200);
  EXPECT_LE(box.left, 204);
  EXPECT_GE(box.top, 300);
  EXPECT_LE(box.bottom, 300 + font->Height());
  EXPECT_NEAR(box.right - box.left, TextWidth("Score 120"), 4);
}

TEST_F(TextDisplayTest, StereoTextShowsTheLeftTintLeftAndTheRightTintRight) {
  SetImageFont(nullptr);
  int32_t stereo_mode = 1;
  kvdraw_tag draw3d(&stereo_mode);
  draw3d.slc(140, 4, 40, 4, 100, 20);
  draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 2.0f, 2.0f);
  draw3d.t3d("I", 320.0f, 240.0f, 6.0f, 1);
  const std::shared_ptr<TPixmap> screen = Screen();
  const Box left =
      InkBox(screen, [](uint32_t r, uint32_t g, uint32_t) { return r > 100 && g < 50; });
  const Box right =
      InkBox(screen, [](uint32_t r, uint32_t g, uint32_t) { return g > 80 && r < 50; });
  ASSERT_LT(left.left, left.right);
  ASSERT_LT(right.left, right.right);
  EXPECT_EQ(right.left - left.left, 12);
  EXPECT_EQ(left.top, right.top);
}

TEST_F(TextDisplayTest, OverlappingStereoCopiesAddTheirTints) {
  std::shared_ptr<TPixmap> pixels = TPixmap::Create(8, 8, PF_RGBA8888);
  pixels->ClearPixels(0xFFFFFFFFu);
  std::shared_ptr<TImage> square = TImage::Load(pixels, 0, 0, 0, 0);
  int32_t stereo_mode = 2;
  kvdraw_tag draw3d(&stereo_mode);
  draw3d.slc(140, 4, 40, 4, 100, 20);
  draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
  draw3d.i3d(square, 100.0f, 100.0f, 0, 2.0f, 0.0f, 1);
  const std::shared_ptr<TPixmap> screen = Screen();
  auto near = [](uint32_t value, uint32_t expected) {
    return value + 1 >= expected && value <= expected + 1;
  };
  const uint32_t left = screen->ReadPixel(98, 104);
  const uint32_t both = screen->ReadPixel(104, 104);
  const uint32_t right = screen->ReadPixel(109, 104);
  EXPECT_TRUE(near((left >> 16) & 255, 140) && near((left >> 8) & 255, 4)) << std::hex << left;
  EXPECT_TRUE(near((both >> 16) & 255, 144) && near((both >> 8) & 255, 104) && near(both & 255, 60))
      << std::hex << both;
  EXPECT_TRUE(near((right >> 16) & 255, 4) && near((right >> 8) & 255, 100)) << std::hex << right;
  EXPECT_EQ(screen->ReadPixel(97, 104) & 0xFFFFFFu, 0u);
  EXPECT_EQ(screen->ReadPixel(110, 104) & 0xFFFFFFu, 0u);
}

}  // namespace
