#pragma once
// The game's start-up pattern, run on whichever driver is current: load a sprite sheet, Cls,
// draw it at (0, 0), grab sprite frames into masked images, draw them rotated and scaled,
// and test two of them with ImagesOverlap.

#include <gtest/gtest.h>

#include "render/collision.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"

// 48 x 16 sheet on black: a red 10 x 10 square in cell 0, a green 4 x 16 bar in cell 1 and a
// blue 2 x 2 dot in cell 2.
inline std::shared_ptr<TPixmap> SpriteSheet() {
  auto sheet = CreatePixmap(48, 16, PF_RGB888);
  sheet->ClearPixels(0xFF000000);
  for (int y = 3; y < 13; ++y)
    for (int x = 3; x < 13; ++x) sheet->WritePixel(x, y, 0xFFFF0000);
  for (int y = 0; y < 16; ++y)
    for (int x = 22; x < 26; ++x) sheet->WritePixel(x, y, 0xFF00FF00);
  for (int y = 7; y < 9; ++y)
    for (int x = 39; x < 41; ++x) sheet->WritePixel(x, y, 0xFF0000FF);
  return sheet;
}

inline uint32_t ScreenPixel(int32_t x, int32_t y) {
  auto grab = GrabPixmap(x, y, 1, 1);
  return grab ? grab->ReadPixel(0, 0) & 0xFFFFFF : 0xDEADBEEF;
}

// The game's collision: the square, rotated and squeezed, against the dot; the bar upright.
inline void CheckOverlaps(const std::shared_ptr<TImage> (&sprites)[3]) {
  SetRotationScale(30, 2, 3);
  EXPECT_EQ(
      ImagesOverlap(sprites[0], 200, 200, 0, 45, 0.9f, 0.7f, sprites[2], 203, 200, 0, 0, 1, 1), 1);
  EXPECT_EQ(
      ImagesOverlap(sprites[0], 200, 200, 0, 45, 0.9f, 0.7f, sprites[2], 208, 200, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlap(sprites[1], 50, 50, 0, 90, 1, 1, sprites[2], 50, 56, 0, 0, 1, 1), 0);
  EXPECT_EQ(ImagesOverlap(sprites[1], 50, 50, 0, 90, 1, 1, sprites[2], 56, 50, 0, 0, 1, 1), 1);
  // The render state and the collision copy of its matrix are as they were.
  EXPECT_EQ(GetRotation(), 30.0f);
  float sx = 0, sy = 0, ix = 0, iy = 0, jx = 0, jy = 0;
  GetScale(sx, sy);
  EXPECT_EQ(sx, 2.0f);
  EXPECT_EQ(sy, 3.0f);
  GetCollisionTransform(ix, iy, jx, jy);
  auto state = TRender2DGraphics::Current();
  ASSERT_TRUE(state);
  EXPECT_EQ(ix, state->tform_ix);
  EXPECT_EQ(iy, state->tform_iy);
  EXPECT_EQ(jx, state->tform_jx);
  EXPECT_EQ(jy, state->tform_jy);
  EXPECT_NEAR(ix, 2 * 0.8660254f, 1e-5f);
  SetRotationScale(0, 1, 1);
}

// draws_transformed: the driver rasterises rotated and scaled frames (the headless one only
// records them).
inline void RunStartupPattern(bool draws_transformed) {
  SetMaskColor(0, 0, 0);
  SetDefaultImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
  SetAutoCentreHandle(false);
  auto sheet = LoadImage(SpriteSheet(), 0);
  ASSERT_TRUE(sheet);
  SetClsColor(0, 0, 0);
  SetColor(255, 255, 255);
  SetAlpha(1.0f);
  SetRotationScale(0, 1, 1);
  SetBlend(BLEND_SOLID);
  Cls();
  DrawImage(sheet, 0, 0);
  EXPECT_EQ(ScreenPixel(5, 5), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(23, 15), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(1, 1), 0x000000u);

  std::shared_ptr<TImage> sprites[3];
  for (int i = 0; i < 3; ++i) {
    sprites[i] = CreateImage(16, 16, 1);
    GrabImage(sprites[i], i * 16, 0, 0);
    CentreImageHandle(sprites[i]);
  }
  auto square = sprites[0]->pixmaps[0];
  ASSERT_TRUE(square);
  EXPECT_EQ(square->format, PF_RGBA8888);
  EXPECT_EQ(square->ReadPixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(square->ReadPixel(2, 2), 0x00FF0000u);  // masked, coloured by its red neighbour
  EXPECT_EQ(square->ReadPixel(0, 0), 0x00000000u);

  // Drawn rotated and scaled with the mask blend: the bar lies flat and twice as long.
  Cls();
  SetBlend(BLEND_MASK);
  SetRotationScale(90, 2, 1);
  DrawImage(sprites[1], 100, 100);
  SetRotationScale(0, 1, 1);
  if (!draws_transformed) return CheckOverlaps(sprites);
  // Unrotated the bar is x -2..2, y -8..8 around its centre; rotated by 90 and stretched 2x
  // along the image's x it lies flat over x 92..108 and y 96..104.
  EXPECT_EQ(ScreenPixel(100, 100), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(93, 100), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(106, 97), 0x00FF00u);
  EXPECT_EQ(ScreenPixel(100, 90), 0x000000u);
  EXPECT_EQ(ScreenPixel(100, 106), 0x000000u);
  EXPECT_EQ(ScreenPixel(90, 100), 0x000000u);
  EXPECT_EQ(ScreenPixel(110, 100), 0x000000u);

  CheckOverlaps(sprites);
}
