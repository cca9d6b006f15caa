#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/pixmap.h"

namespace {

std::shared_ptr<TPixmap> Filled(int32_t w, int32_t h, int32_t format, uint32_t argb) {
  auto p = CreatePixmap(w, h, format, 4);
  p->ClearPixels(argb);
  return p;
}

TEST(PixmapLayout, PitchRoundsRowBytesUpToAlignment) {
  auto p = CreatePixmap(3, 1, PF_RGB888, 4);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->pitch, 12);
  EXPECT_EQ(p->capacity, 12);
  EXPECT_EQ(CreatePixmap(5, 2, PF_RGBA8888, 4)->pitch, 20);
  EXPECT_EQ(CreatePixmap(5, 3, PF_I8, 4)->capacity, 24);
  EXPECT_EQ(CreatePixmap(5, 3, PF_I8, 1)->pitch, 5);
  EXPECT_EQ(p->PixelPtr(2, 0), p->pixels + 6);
}

TEST(PixmapLayout, BadSizesAndFormatsGiveNoPixmap) {
  EXPECT_FALSE(CreatePixmap(-1, 4, PF_RGBA8888));
  EXPECT_FALSE(CreatePixmap(4, 4, 7));
  EXPECT_FALSE(CreatePixmap(4, 4, 0));
  EXPECT_FALSE(CreatePixmap(65536, 65536, PF_RGBA8888));  // more bytes than a pixmap can own
  auto empty = CreatePixmap(0, 0, PF_RGBA8888);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width, 0);
}

TEST(PixmapLayout, StaticPixmapsBorrowMemory) {
  uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  auto p = TPixmap::CreateStatic(bytes, 2, 1, 8, PF_RGBA8888);
  EXPECT_EQ(p->capacity, -1);
  EXPECT_EQ(p->ReadPixel(1, 0), 0x08050607u);
  p->WritePixel(0, 0, 0xFF102030);
  EXPECT_EQ(bytes[0], 0x10);
  EXPECT_EQ(bytes[3], 0xFF);
}

TEST(PixmapPixels, ReadPixelGivesArgbForEveryFormat) {
  struct Case {
    int32_t format;
    std::vector<uint8_t> bytes;
    uint32_t argb;
  };
  const Case cases[] = {
      {PF_I8, {77}, 0xFF4D4D4D},
      {PF_A8, {128}, 0x80FFFFFF},
      {PF_BGR888, {1, 2, 3}, 0xFF030201},
      {PF_RGB888, {1, 2, 3}, 0xFF010203},
      {PF_BGRA8888, {1, 2, 3, 4}, 0x04030201},
      {PF_RGBA8888, {1, 2, 3, 4}, 0x04010203},
  };
  for (const Case& c : cases) {
    auto p = CreatePixmap(1, 1, c.format);
    std::memcpy(p->pixels, c.bytes.data(), c.bytes.size());
    EXPECT_EQ(p->ReadPixel(0, 0), c.argb) << "format " << c.format;
  }
}

TEST(PixmapPixels, WritePixelStoresInTheLayout) {
  auto grey = CreatePixmap(1, 1, PF_I8);
  grey->WritePixel(0, 0, 0xFF0A141F);  // (10 + 20 + 31) / 3 = 20
  EXPECT_EQ(grey->pixels[0], 20);
  auto alpha = CreatePixmap(1, 1, PF_A8);
  alpha->WritePixel(0, 0, 0x40112233);
  EXPECT_EQ(alpha->pixels[0], 0x40);
  auto bgra = CreatePixmap(1, 1, PF_BGRA8888);
  bgra->WritePixel(0, 0, 0x44112233);
  EXPECT_EQ(std::vector<uint8_t>(bgra->pixels, bgra->pixels + 4),
            (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x44}));
  auto rgb = CreatePixmap(1, 1, PF_RGB888);
  rgb->WritePixel(0, 0, 0x00112233);
  EXPECT_EQ(rgb->ReadPixel(0, 0), 0xFF112233u);
}

TEST(PixmapPixels, AccessOutsideThePixmapIsIgnored) {
  auto p = Filled(2, 2, PF_RGBA8888, 0xFFFFFFFF);
  p->WritePixel(2, 0, 0);
  p->WritePixel(-1, 1, 0);
  p->WritePixel(0, 2, 0);
  EXPECT_EQ(p->ReadPixel(5, 5), 0u);
  EXPECT_EQ(p->ReadPixel(-1, 0), 0u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(p->ReadPixel(x, y), 0xFFFFFFFFu);
}

TEST(PixmapPixels, ClearPixelsFillsEveryPixel) {
  auto p = Filled(3, 2, PF_BGR888, 0xFF123456);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(p->ReadPixel(x, y), 0xFF123456u);
  p->ClearPixels(0);
  for (int y = 0; y < 2; ++y)
    for (int i = 0; i < 9; ++i) EXPECT_EQ(p->PixelPtr(0, y)[i], 0);
}

TEST(PixmapConvert, ConvertsEveryPairOfFormats) {
  // Colours that survive every layout: grey with full alpha.
  for (int32_t from = PF_I8; from <= PF_RGBA8888; ++from) {
    if (from == PF_A8) continue;
    auto source = Filled(3, 2, from, 0xFF505050);
    for (int32_t to = PF_I8; to <= PF_RGBA8888; ++to) {
      auto converted = source->Convert(to);
      ASSERT_TRUE(converted);
      EXPECT_EQ(converted->format, to);
      uint32_t expected = to == PF_A8 ? 0xFFFFFFFF : 0xFF505050;
      EXPECT_EQ(converted->ReadPixel(2, 1), expected) << from << " -> " << to;
    }
  }
}

TEST(PixmapConvert, RgbaToIntensityAveragesWithIntegerDivision) {
  auto p = CreatePixmap(1, 1, PF_RGBA8888);
  const uint8_t rgba[4] = {10, 20, 31, 255};
  std::memcpy(p->pixels, rgba, 4);
  EXPECT_EQ(p->Convert(PF_I8)->pixels[0], 20);
}

TEST(PixmapConvert, AlphaBecomesWhiteWithItsAlphaAndBack) {
  auto a = CreatePixmap(1, 1, PF_A8);
  a->pixels[0] = 99;
  auto rgba = a->Convert(PF_RGBA8888);
  EXPECT_EQ(rgba->ReadPixel(0, 0), 0x63FFFFFFu);
  EXPECT_EQ(rgba->Convert(PF_A8)->pixels[0], 99);
  // Between two non-working formats the colour goes through RGBA: BGR -> BGRA keeps order.
  auto bgr = Filled(300, 1, PF_BGR888, 0xFF010203);
  auto bgra = bgr->Convert(PF_BGRA8888);
  EXPECT_EQ(bgra->ReadPixel(299, 0), 0xFF010203u);
}

TEST(PixmapWindows, WindowSharesPixelsAndKeepsParentAlive) {
  std::shared_ptr<TPixmap> window;
  {
    auto parent = Filled(4, 4, PF_RGBA8888, 0xFF000000);
    parent->WritePixel(2, 1, 0xFFABCDEF);
    window = parent->Window(1, 1, 2, 2);
  }
  ASSERT_TRUE(window->_source);
  EXPECT_EQ(window->capacity, -1);
  EXPECT_EQ(window->pitch, 16);
  EXPECT_EQ(window->ReadPixel(1, 0), 0xFFABCDEFu);
  window->WritePixel(0, 0, 0xFF111111);
  EXPECT_EQ(window->_source->ReadPixel(1, 1), 0xFF111111u);
}

TEST(PixmapWindows, WindowIsClippedToTheParent) {
  auto parent = Filled(4, 4, PF_RGBA8888, 0xFF000000);
  auto window = parent->Window(3, 2, 10, 10);
  EXPECT_EQ(window->width, 1);
  EXPECT_EQ(window->height, 2);
  auto outside = parent->Window(8, 8, 2, 2);
  EXPECT_EQ(outside->width, 0);
}

TEST(PixmapCopyPaste, CopyIsIndependent) {
  auto p = Filled(3, 3, PF_RGB888, 0xFF010203);
  auto copy = p->Copy();
  p->ClearPixels(0);
  EXPECT_EQ(copy->ReadPixel(2, 2), 0xFF010203u);
  EXPECT_NE(copy->pixels, p->pixels);
}

TEST(PixmapCopyPaste, PasteConvertsAndClipsToTheTarget) {
  auto target = Filled(4, 4, PF_RGBA8888, 0);
  auto source = Filled(3, 3, PF_I8, 0xFF646464);
  target->Paste(source, 2, -1);
  EXPECT_EQ(target->ReadPixel(2, 0), 0xFF646464u);
  EXPECT_EQ(target->ReadPixel(3, 1), 0xFF646464u);
  EXPECT_EQ(target->ReadPixel(1, 0), 0u);
  EXPECT_EQ(target->ReadPixel(2, 2), 0u);
  // Entirely outside: nothing happens.
  target->Paste(source, 10, 10);
  target->Paste(source, -3, 0);
  EXPECT_EQ(target->ReadPixel(0, 0), 0u);
}

TEST(PixmapResize, HalvingAveragesTwoByTwoBlocks) {
  auto source = CreatePixmap(4, 4, PF_RGBA8888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) source->WritePixel(x, y, 0xFF000000u | (x * 40 + y * 8) << 16);
  auto half = ResizePixmap(source, 2, 2);
  ASSERT_EQ(half->width, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) {
      int sum = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) sum += (x * 2 + dx) * 40 + (y * 2 + dy) * 8;
      EXPECT_EQ(half->ReadPixel(x, y), 0xFF000000u | (sum / 4) << 16) << x << "," << y;
    }
  }
}

TEST(PixmapResize, EnlargingClampsEdgesAndInterpolatesInside) {
  auto source = CreatePixmap(2, 1, PF_I8);
  source->pixels[0] = 0;
  source->pixels[1] = 200;
  auto wide = ResizePixmap(source, 4, 1);
  EXPECT_EQ(wide->format, PF_I8);
  // Centres at -0.25 (clamped), 0.25, 0.75, 1.25 (clamped).
  EXPECT_EQ(wide->pixels[0], 0);
  EXPECT_EQ(wide->pixels[1], 50);
  EXPECT_EQ(wide->pixels[2], 150);
  EXPECT_EQ(wide->pixels[3], 200);
}

TEST(PixmapResize, RefusesBadArguments) {
  EXPECT_FALSE(ResizePixmap(nullptr, 2, 2));
  EXPECT_FALSE(ResizePixmap(Filled(2, 2, PF_I8, 0), -1, 2));
  EXPECT_FALSE(ResizePixmap(CreatePixmap(0, 0, PF_I8), 2, 2));
}

TEST(PixmapFlip, FlipsRowsAndColumns) {
  auto p = CreatePixmap(3, 2, PF_RGB888);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) p->WritePixel(x, y, 0xFF000000u | (y * 3 + x));
  auto y_flipped = YFlipPixmap(p);
  auto x_flipped = XFlipPixmap(p);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(y_flipped->ReadPixel(x, y), p->ReadPixel(x, 1 - y));
      EXPECT_EQ(x_flipped->ReadPixel(x, y), p->ReadPixel(2 - x, y));
    }
  }
}

TEST(PixmapMask, MaskedPixelsTakeTheirNeighboursAverageColour) {
  auto p = Filled(3, 3, PF_RGB888, 0xFF000000);
  p->WritePixel(0, 0, 0xFF0A1400);  // (10, 20, 0)
  p->WritePixel(2, 0, 0xFF1E0000);  // (30, 0, 0)
  p->WritePixel(2, 2, 0xFF00FF00);  // not a neighbour of (0, 0)
  auto masked = MaskPixmap(p, 0, 0, 0);
  ASSERT_EQ(masked->format, PF_RGBA8888);
  EXPECT_EQ(masked->ReadPixel(0, 0), 0xFF0A1400u);
  // Centre: neighbours (10,20,0), (30,0,0), (0,255,0) -> (13, 91, 0), transparent.
  EXPECT_EQ(masked->ReadPixel(1, 1), 0x000D5B00u);
  // (1, 0): neighbours (10,20,0) and (30,0,0) -> (20, 10, 0).
  EXPECT_EQ(masked->ReadPixel(1, 0), 0x00140A00u);
  // (0, 2): no unmasked neighbour -> transparent black.
  EXPECT_EQ(masked->ReadPixel(0, 2), 0x00000000u);

  // The same picture as a window inside a wider pixmap, framed by a colour that must not
  // count as a neighbour: rows are found by the window's pitch.
  auto wide = Filled(7, 5, PF_RGBA8888, 0xFF636363);
  wide->Paste(p, 2, 1);
  auto window = wide->Window(2, 1, 3, 3);
  ASSERT_NE(window->pitch, 3 * 4);
  auto masked_window = MaskPixmap(window, 0, 0, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(masked_window->ReadPixel(x, y), masked->ReadPixel(x, y)) << x << "," << y;
    }
  }
}

TEST(PixmapMask, SourceAlphaIsDiscarded) {
  auto p = Filled(2, 1, PF_RGBA8888, 0x10FF0000);
  p->WritePixel(1, 0, 0x80FF00FF);
  auto masked = MaskPixmap(p, 255, 0, 255);
  EXPECT_EQ(masked->ReadPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(masked->ReadPixel(1, 0), 0x00FF0000u);
}

}  // namespace
