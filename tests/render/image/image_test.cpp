// Images on the CPU side: creation, loading, strips, masking, handles, frame checks. No
// graphics is open here, so no driver frames are made.

#include <gtest/gtest.h>
#include <png.h>

#include "png_fixture.h"
#include "render/image.h"
#include "render/pixmap.h"

namespace {

class Images : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    SetMaskColor(0, 0, 0);
    SetDefaultImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
    SetAutoCentreHandle(false);
  }
};

// 100 x 50: left half red, right half green with a black pixel at (75, 25).
std::shared_ptr<TPixmap> TwoCells() {
  auto p = CreatePixmap(100, 50, PF_RGB888);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) p->WritePixel(x, y, x < 50 ? 0xFFFF0000 : 0xFF00FF00);
  p->WritePixel(75, 25, 0xFF000000);
  return p;
}

TEST_F(Images, SettingsStartAsDocumented) {
  int32_t r = -1, g = -1, b = -1;
  GetMaskColor(r, g, b);
  EXPECT_EQ(r + g + b, 0);
  EXPECT_EQ(GetDefaultImageFlags(), IMAGE_MASKED | IMAGE_FILTERED);
  SetDefaultImageFlags(-1);
  EXPECT_EQ(GetDefaultImageFlags(), IMAGE_MASKED | IMAGE_FILTERED);
  EXPECT_FALSE(GetAutoCentreHandle());
}

TEST_F(Images, CreateImageAddsDynamicAndCentresWhenAsked) {
  auto plain = CreateImage(28, 22, 3);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->flags, IMAGE_MASKED | IMAGE_FILTERED | IMAGE_DYNAMIC);
  EXPECT_EQ(plain->FrameCount(), 3);
  EXPECT_EQ(plain->handle_x, 0.0f);
  SetAutoCentreHandle(true);
  SetMaskColor(1, 2, 3);
  auto centred = CreateImage(28, 22, 1, 0);
  EXPECT_EQ(centred->flags, IMAGE_DYNAMIC);
  EXPECT_EQ(centred->handle_x, 14.0f);
  EXPECT_EQ(centred->handle_y, 11.0f);
  EXPECT_EQ(centred->mask_r, 1);
  EXPECT_EQ(centred->mask_b, 3);
  EXPECT_EQ(ImageWidth(centred), 28);
  EXPECT_EQ(ImageHeight(centred), 22);
  EXPECT_FALSE(CreateImage(-1, 5));
}

TEST_F(Images, HandlesAreSetAndCentred) {
  auto image = CreateImage(9, 4);
  SetImageHandle(image, 2.5f, -1.0f);
  EXPECT_EQ(image->handle_x, 2.5f);
  EXPECT_EQ(image->handle_y, -1.0f);
  CentreImageHandle(image);
  EXPECT_EQ(image->handle_x, 4.5f);
  EXPECT_EQ(image->handle_y, 2.0f);
  SetImageHandle(nullptr, 1, 1);  // ignored
  CentreImageHandle(nullptr);
}

TEST_F(Images, LoadImageMasksPicturesWithoutAlpha) {
  auto masked = LoadImage(TwoCells());
  ASSERT_TRUE(masked);
  auto pixels = LockImage(masked, 0, true, false);
  EXPECT_EQ(pixels->format, PF_RGBA8888);
  EXPECT_EQ(pixels->ReadPixel(75, 25), 0x0000FF00u);  // neighbours' green, transparent
  EXPECT_EQ(pixels->ReadPixel(10, 10), 0xFFFF0000u);

  auto unmasked = LoadImage(TwoCells(), IMAGE_FILTERED);
  EXPECT_EQ(unmasked->pixmaps[0]->format, PF_RGB888);

  // A picture that has alpha is kept as it is.
  auto rgba = CreatePixmap(2, 2, PF_RGBA8888);
  rgba->ClearPixels(0x80000000);
  auto kept = LoadImage(rgba);
  EXPECT_EQ(kept->pixmaps[0], rgba);
}

TEST_F(Images, MaskColourIsCapturedAtCreation) {
  SetMaskColor(255, 0, 0);
  auto image = CreateImage(100, 50, 1, IMAGE_MASKED);
  SetMaskColor(0, 0, 0);
  image->SetPixmap(0, TwoCells());
  EXPECT_EQ(image->pixmaps[0]->ReadPixel(10, 10) >> 24, 0u);     // red is the mask
  EXPECT_EQ(image->pixmaps[0]->ReadPixel(75, 25) >> 24, 0xFFu);  // black is not
}

TEST_F(Images, LoadsFromPngStreamsAndPaths) {
  PngLayout layout;
  layout.width = 2, layout.height = 1, layout.colour_type = PNG_COLOR_TYPE_RGB;
  layout.samples = {0, 0, 0, 90, 60, 30};
  std::vector<uint8_t> bytes = EncodePng(layout);
  auto image = LoadImage(MemoryStream(bytes));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 2);
  EXPECT_EQ(image->pixmaps[0]->ReadPixel(0, 0), 0x005A3C1Eu);
  EXPECT_FALSE(LoadImage(std::string("/no/such/picture.png")));
  EXPECT_FALSE(LoadImage(MemoryStream(std::vector<uint8_t>{1, 2, 3})));
  EXPECT_FALSE(LoadImage(std::shared_ptr<TPixmap>()));
  EXPECT_FALSE(LoadImageStrip(std::string("/no/such/strip.png"), 1, 1, 0, 1));
}

TEST_F(Images, StripsCutCellsRowByRow) {
  auto right = LoadImageStrip(TwoCells(), 50, 50, 1, 1, 0);
  ASSERT_TRUE(right);
  EXPECT_EQ(right->FrameCount(), 1);
  EXPECT_EQ(right->width, 50);
  EXPECT_EQ(right->pixmaps[0]->ReadPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(right->pixmaps[0]->ReadPixel(25, 25), 0xFF000000u);
  // The frame is a copy, not a window into the picture.
  EXPECT_FALSE(right->pixmaps[0]->_source);

  auto grid = CreatePixmap(6, 4, PF_I8);  // 3 x 2 cells of 2 x 2, cell i filled with i
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) grid->pixels[y * grid->pitch + x] = (y / 2) * 3 + x / 2;
  auto cells = LoadImageStrip(grid, 2, 2, 2, 3, 0);
  ASSERT_TRUE(cells);
  for (int f = 0; f < 3; ++f) EXPECT_EQ(cells->pixmaps[f]->pixels[0], 2 + f);

  EXPECT_FALSE(LoadImageStrip(grid, 2, 2, 4, 3, 0));  // needs 7 cells, has 6
  EXPECT_FALSE(LoadImageStrip(grid, 0, 2, 0, 1, 0));
  EXPECT_FALSE(LoadImageStrip(grid, 2, 2, -1, 1, 0));
  SetAutoCentreHandle(true);
  EXPECT_EQ(LoadImageStrip(grid, 2, 2, 0, 6, 0)->handle_x, 1.0f);
}

TEST_F(Images, LockCreatesATransparentPixmapOnce) {
  auto image = CreateImage(3, 2, 2);
  auto pixels = LockImage(image, 1);
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->format, PF_RGBA8888);
  EXPECT_EQ(pixels->width, 3);
  EXPECT_EQ(pixels->ReadPixel(2, 1), 0u);
  EXPECT_EQ(LockImage(image, 1), pixels);
  UnlockImage(image, 1);
  EXPECT_FALSE(image->pixmaps[0]);
}

TEST_F(Images, FrameIndexesOutsideTheImageAreRefused) {
  auto image = CreateImage(4, 4, 2);
  EXPECT_THROW(image->SetPixmap(2, CreatePixmap(4, 4, PF_RGBA8888)), std::out_of_range);
  EXPECT_THROW(image->Lock(-1, true, false), std::out_of_range);
  EXPECT_THROW(image->Frame(5), std::out_of_range);
  EXPECT_THROW(DrawImage(image, 0, 0, 2), std::out_of_range);
  EXPECT_THROW(GrabImage(image, 0, 0, 9), std::out_of_range);
}

TEST_F(Images, NothingIsDrawnOrGrabbedWithoutGraphics) {
  auto image = CreateImage(4, 4);
  EXPECT_FALSE(image->Frame(0));
  DrawImage(image, 1, 1);
  DrawImageRect(image, 1, 1, 8, 8);
  DrawImage(nullptr, 0, 0);
  GrabImage(image, 0, 0);
  EXPECT_FALSE(image->pixmaps[0]);
}

}  // namespace
