#include <gtest/gtest.h>

#include "render/collision.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

// A w x h image with every pixel opaque (alpha 255) or transparent (alpha 0).
std::shared_ptr<TImage> SolidImage(int32_t w, int32_t h, bool opaque = true) {
  auto image = TImage::Create(w, h, 1, 0, 0, 0, 0);
  auto pixels = CreatePixmap(w, h, PF_RGBA8888);
  pixels->ClearPixels(opaque ? 0xFFFFFFFF : 0x7FFFFFFF);
  image->SetPixmap(0, pixels);
  return image;
}

class Collision : public testing::Test {
 protected:
  void SetUp() override {
    ClearCollisionLayers(0);
    SetCollisionTransform(1, 0, 0, 1);
  }
  void TearDown() override {
    ClearCollisionLayers(0);
    SetCollisionTransform(1, 0, 0, 1);
  }
  static bool Overlap(const std::shared_ptr<TImage>& a, int32_t ax, int32_t ay, float arot,
                      const std::shared_ptr<TImage>& b, int32_t bx, int32_t by, float brot = 0,
                      float sx = 1, float sy = 1) {
    return ImagesOverlap(a, ax, ay, 0, arot, sx, sy, b, bx, by, 0, brot, 1, 1) == 1;
  }
};

TEST_F(Collision, QuadCoordinatesAndBoundingBox) {
  TQuad quad;
  quad.SetCoords(5, 1, 9, 3, 7, 8, -2, 4);
  EXPECT_FLOAT_EQ(quad.minx, -2);
  EXPECT_FLOAT_EQ(quad.maxx, 9);
  EXPECT_FLOAT_EQ(quad.miny, 1);
  EXPECT_FLOAT_EQ(quad.maxy, 8);
  const float uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(quad.xyuv[k * 4 + 2], uv[k * 2]);
    EXPECT_EQ(quad.xyuv[k * 4 + 3], uv[k * 2 + 1]);
  }
}

TEST_F(Collision, SideBySideSolidRectanglesDoNotTouch) {
  auto a = SolidImage(10, 10), b = SolidImage(10, 10);
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 10, 0));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 0, 10));
  EXPECT_TRUE(Overlap(a, 0, 0, 0, b, 9, 0));
  EXPECT_TRUE(Overlap(a, 0, 0, 0, b, 9, 9));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 10, 10));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 200, -50));
}

TEST_F(Collision, MasksDecidePixelByPixel) {
  // Two 8 x 8 images, each solid only in one 2 x 2 corner.
  auto a = TImage::Create(8, 8, 1, 0, 0, 0, 0);
  auto pa = CreatePixmap(8, 8, PF_RGBA8888);
  pa->ClearPixels(0);
  for (int y = 0; y < 2; ++y)
    for (int x = 6; x < 8; ++x) pa->WritePixel(x, y, 0xFF000000);  // top-right
  a->SetPixmap(0, pa);
  auto b = TImage::Create(8, 8, 1, 0, 0, 0, 0);
  auto pb = CreatePixmap(8, 8, PF_RGBA8888);
  pb->ClearPixels(0);
  for (int y = 6; y < 8; ++y)
    for (int x = 0; x < 2; ++x) pb->WritePixel(x, y, 0xFF000000);  // bottom-left
  b->SetPixmap(0, pb);
  // b's solid corner covers (bx .. bx+1, by+6 .. by+7); a's covers (6..7, 0..1).
  EXPECT_TRUE(Overlap(a, 0, 0, 0, b, 6, -6));
  EXPECT_TRUE(Overlap(a, 0, 0, 0, b, 7, -7));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 4, -6));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 6, -4));
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 0, 0));  // the boxes overlap fully, the pixels do not
  // Alpha 128 is solid, 127 is not.
  pa->WritePixel(0, 0, 0x80000000);
  a->SetPixmap(0, pa);
  EXPECT_TRUE(Overlap(a, 0, 0, 0, b, 0, -6));
  pa->WritePixel(0, 0, 0x7F000000);
  a->SetPixmap(0, pa);
  EXPECT_FALSE(Overlap(a, 0, 0, 0, b, 0, -6));
}

TEST_F(Collision, TransparentFramesNeverCollide) {
  auto clear = SolidImage(20, 20, false);
  auto solid = SolidImage(20, 20);
  EXPECT_FALSE(Overlap(clear, 0, 0, 0, solid, 5, 5));
  EXPECT_FALSE(Overlap(solid, 5, 5, 0, clear, 0, 0));
  EXPECT_TRUE(LayerCollideImage(clear, 0, 0, 0, 0, 1, nullptr).empty());
  EXPECT_TRUE(LayerCollideRect(0, 0, 30, 30, 1, 0, nullptr).empty());
  // An image never filled is transparent too.
  EXPECT_FALSE(Overlap(CreateImage(20, 20), 0, 0, 0, solid, 0, 0));
}

TEST_F(Collision, RotatedImageCollidesAlongItsRotatedOutline) {
  // A 40 x 4 bar centred on (50, 50); rotated 90 degrees it stands upright.
  auto bar = SolidImage(40, 4);
  CentreImageHandle(bar);
  auto dot = SolidImage(2, 2);
  // Unrotated the bar reaches x 30..70 at y 48..52.
  EXPECT_TRUE(Overlap(bar, 50, 50, 0, dot, 32, 49));
  EXPECT_FALSE(Overlap(bar, 50, 50, 0, dot, 49, 33));
  // Rotated: x 48..52, y 30..70.
  EXPECT_FALSE(Overlap(bar, 50, 50, 90, dot, 32, 49));
  EXPECT_TRUE(Overlap(bar, 50, 50, 90, dot, 49, 33));
  // At 45 degrees a dot inside the upright bounding box but off the diagonal misses.
  EXPECT_TRUE(Overlap(bar, 50, 50, 45, dot, 59, 59));
  EXPECT_FALSE(Overlap(bar, 50, 50, 45, dot, 59, 40));
}

TEST_F(Collision, ScaleShrinksTheQuad) {
  // The ship's test: 28 x 22 at scale 0.9 x 0.7 is 25.2 x 15.4 around its centre.
  auto ship = SolidImage(28, 22);
  CentreImageHandle(ship);
  auto dot = SolidImage(1, 1);
  // x 87.4 .. 112.6: whole columns 87 .. 111.
  EXPECT_TRUE(Overlap(ship, 100, 100, 0, dot, 111, 100, 0, 0.9f, 0.7f));
  EXPECT_FALSE(Overlap(ship, 100, 100, 0, dot, 112, 100, 0, 0.9f, 0.7f));
  EXPECT_TRUE(Overlap(ship, 100, 100, 0, dot, 112, 100));
  EXPECT_FALSE(Overlap(ship, 100, 100, 0, dot, 100, 100 + 8, 0, 0.9f, 0.7f));
  EXPECT_TRUE(Overlap(ship, 100, 100, 0, dot, 100, 100 + 8));
  // A mirrored quad (negative scale) still collides.
  EXPECT_TRUE(Overlap(ship, 100, 100, 0, dot, 100 + 10, 100, 0, -1.0f, 1.0f));
  EXPECT_TRUE(Overlap(ship, 100, 100, 0, dot, 100 + 10, 100, 0, 1.0f, -1.0f));
}

TEST_F(Collision, LongSlantedEdgesLandOnTheColumnsOfTheirScanlineCentres) {
  // Tall sheared slabs against single-pixel dots. Each left edge, sampled at the centre of
  // a scanline a few hundred lines below the top, lands a few thousandths of a pixel from a
  // whole column; the covered columns start at that column however far down the scanline is.
  struct Case {
    float x, height, shear, width;
    int32_t row, first_column;  // the slab's first covered column on that scanline
  };
  const Case cases[] = {
      // 596 + 261.5 / 374 * 240.268433 = 763.9952
      {596, 374, 240.268433f, 19, 261, 763},
      // 497 + 243.5 / 344 * 163.879578 = 613.0020
      {497, 344, 163.879578f, 25, 243, 613},
      // 257 + 461.5 / 470 * -109.989044 = 149.0001
      {257, 470, -109.989044f, 11, 461, 149},
  };
  for (const Case& c : cases) {
    TQuad slab;
    slab.SetCoords(c.x, 0, c.x + c.width, 0, c.x + c.width + c.shear, c.height, c.x + c.shear,
                   c.height);
    auto dot = [](int32_t x, int32_t y) {
      TQuad quad;
      quad.SetCoords(x, y, x + 1, y, x + 1, y + 1, x, y + 1);
      return quad;
    };
    EXPECT_TRUE(QuadsTouch(slab, dot(c.first_column, c.row))) << c.first_column;
    EXPECT_FALSE(QuadsTouch(slab, dot(c.first_column - 1, c.row))) << c.first_column;
  }
}

TEST_F(Collision, MaskEdgeSamplesReadTheLastRowAndColumn) {
  // Only the last column of a 4 x 4 mask is solid.
  auto image = TImage::Create(4, 4, 1, 0, 0, 0, 0);
  auto pixels = CreatePixmap(4, 4, PF_RGBA8888);
  pixels->ClearPixels(0);
  for (int y = 0; y < 4; ++y) pixels->WritePixel(3, y, 0xFF000000);
  image->SetPixmap(0, pixels);
  auto dot = SolidImage(1, 1);
  EXPECT_TRUE(Overlap(image, 0, 0, 0, dot, 3, 2));
  EXPECT_FALSE(Overlap(image, 0, 0, 0, dot, 2, 2));
  // Stretched over 8 x 8, the last mask column covers x 6..7.
  EXPECT_TRUE(Overlap(image, 0, 0, 0, dot, 7, 7, 0, 2, 2));
  EXPECT_FALSE(Overlap(image, 0, 0, 0, dot, 5, 7, 0, 2, 2));
}

TEST_F(Collision, AlphaFormatMasksUseTheirOwnByte) {
  auto image = TImage::Create(4, 1, 1, 0, 0, 0, 0);
  auto pixels = CreatePixmap(4, 1, PF_A8);
  const uint8_t alpha[4] = {0, 0, 0, 255};
  std::copy(alpha, alpha + 4, pixels->pixels);
  image->SetPixmap(0, pixels);
  auto dot = SolidImage(1, 1);
  EXPECT_TRUE(Overlap(image, 0, 0, 0, dot, 3, 0));
  EXPECT_FALSE(Overlap(image, 0, 0, 0, dot, 1, 0));
}

TEST_F(Collision, FramesWithoutAlphaAreSolidRectangles) {
  auto image = TImage::Create(6, 6, 1, 0, 0, 0, 0);  // not masked: the RGB pixmap stays as is
  auto pixels = CreatePixmap(6, 6, PF_RGB888);
  pixels->ClearPixels(0);
  image->SetPixmap(0, pixels);
  auto dot = SolidImage(1, 1);
  EXPECT_TRUE(Overlap(image, 0, 0, 0, dot, 5, 5));
}

TEST_F(Collision, LayersReturnIdsAndClearSelectively) {
  auto solid = SolidImage(10, 10);
  auto first = std::make_shared<int>(1), second = std::make_shared<int>(2);
  LayerCollideImage(solid, 0, 0, 0, 0, 1u << 0, first);
  LayerCollideRect(100, 100, 10, 10, 0, (1u << 0) | (1u << 5), second);
  auto hits = LayerCollideRect(5, 5, 100, 100, 1u << 0, 0, nullptr);
  ASSERT_EQ(hits.size(), 2u);
  // Newest first: a layer is a list with the latest quad at its head.
  EXPECT_EQ(hits[0], second);
  EXPECT_EQ(hits[1], first);
  EXPECT_EQ(LayerCollideRect(0, 0, 4, 4, 1u << 5, 0, nullptr).size(), 0u);
  EXPECT_EQ(LayerCollideRect(104, 104, 1, 1, 1u << 5, 0, nullptr).size(), 1u);
  ClearCollisionLayers(1u << 0);
  EXPECT_TRUE(LayerCollideRect(5, 5, 100, 100, 1u << 0, 0, nullptr).empty());
  EXPECT_EQ(LayerCollideRect(104, 104, 1, 1, 1u << 5, 0, nullptr).size(), 1u);
  ClearCollisionLayers(0);
  EXPECT_TRUE(LayerCollideRect(104, 104, 1, 1, 1u << 5, 0, nullptr).empty());
  // Cleared quads let go of the caller's ids.
  hits.clear();
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_EQ(second.use_count(), 1);
}

TEST_F(Collision, ImagesOverlapUsesOnlyTheScratchLayerAndRestoresTheTransform) {
  auto solid = SolidImage(10, 10);
  LayerCollideRect(0, 0, 10, 10, 0, 1u << 3, nullptr);
  SetCollisionTransform(2, 0, 0, 2);
  EXPECT_EQ(ImagesOverlap(solid, 0, 0, 0, 30, 1.5f, 0.5f, solid, 5, 5, 0, 10, 1, 1), 1);
  float ix, iy, jx, jy;
  GetCollisionTransform(ix, iy, jx, jy);
  EXPECT_EQ(ix, 2);
  EXPECT_EQ(iy, 0);
  EXPECT_EQ(jx, 0);
  EXPECT_EQ(jy, 2);
  EXPECT_EQ(LayerCollideRect(0, 0, 1, 1, 1u << 3, 0, nullptr).size(), 1u);
  // Plain overlap uses the current transform for both: at scale 2 the images reach further.
  EXPECT_EQ(ImagesOverlapPlain(solid, 0, 0, 0, solid, 15, 0, 0), 1);
  SetCollisionTransform(1, 0, 0, 1);
  EXPECT_EQ(ImagesOverlapPlain(solid, 0, 0, 0, solid, 15, 0, 0), 0);
}

TEST_F(Collision, DegenerateQuadsAndBadFramesAreSafe) {
  auto flat = SolidImage(10, 0);
  auto solid = SolidImage(10, 10);
  EXPECT_FALSE(Overlap(flat, 0, 5, 0, solid, 0, 0));
  EXPECT_FALSE(Overlap(solid, 0, 0, 0, solid, 0, 0, 0, 0.0f, 0.0f));
  EXPECT_THROW(ImagesOverlap(solid, 0, 0, 3, 0, 1, 1, solid, 0, 0, 0, 0, 1, 1), std::out_of_range);
  float ix, iy, jx, jy;
  GetCollisionTransform(ix, iy, jx, jy);
  EXPECT_EQ(ix, 1);
  EXPECT_EQ(ImagesOverlap(nullptr, 0, 0, 0, 0, 1, 1, solid, 0, 0, 0, 0, 1, 1), 0);
  // Quads made by hand: an empty mask has no pixel to read and covers nothing; a mask
  // without alpha hides nothing.
  TQuad masked, box;
  masked.SetCoords(0, 0, 10, 0, 10, 10, 0, 10);
  box.SetCoords(0, 0, 10, 0, 10, 10, 0, 10);
  masked.mask = CreatePixmap(0, 0, PF_RGBA8888);
  EXPECT_FALSE(QuadsTouch(masked, box));
  EXPECT_FALSE(QuadsTouch(box, masked));
  masked.mask = CreatePixmap(10, 10, PF_RGB888);
  masked.mask->ClearPixels(0);
  EXPECT_TRUE(QuadsTouch(masked, box));
}

}  // namespace
