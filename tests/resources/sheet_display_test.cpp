// The sprite sheet as the game uses it: loaded from the executable, drawn at (0, 0)
// on OpenGL (Mesa under Xvfb) and grabbed back. The drawn sheet must match the file
// pixel for pixel, so that every frame the game grabs is the sprite that was drawn.
// The screenshot is left in the test's folder as sheet_on_screen.png.

#include <gtest/gtest.h>

#include "render/default_driver.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "resources/resources.h"

namespace {

TEST(SheetOnScreen, DrawsAndGrabsBackExactly) {
  InstallDefaultGraphicsDriver();
  auto graphics = OpenGraphics(640, 480, 0, 60, 0);
  ASSERT_TRUE(graphics) << "no OpenGL graphics";
  SetMaskColor(0, 0, 0);
  SetClsColor(0, 0, 0);
  SetColor(255, 255, 255);
  SetBlend(BLEND_MASK);
  auto sheet = LoadImage(kSpriteSheetUrl);
  ASSERT_TRUE(sheet);
  auto expected = LoadPixmap(kSpriteSheetUrl);
  ASSERT_TRUE(expected);
  Cls();
  DrawImage(sheet, 0, 0, 0);
  auto drawn = GrabPixmap(0, 0, 640, 361);
  ASSERT_TRUE(drawn);
  SavePixmapPNG(drawn, "sheet_on_screen.png");
  int different = 0;
  for (int y = 0; y < 361; ++y) {
    for (int x = 0; x < 640; ++x) {
      if ((drawn->ReadPixel(x, y) & 0xFFFFFF) != (expected->ReadPixel(x, y) & 0xFFFFFF)) {
        ++different;
      }
    }
  }
  EXPECT_EQ(different, 0);
  EndGraphics();
}

}  // namespace
