// The built-in console font: its bitmap layout, the image font made from it, and measuring
// text with it (no render state is needed for either).

#include <gtest/gtest.h>

#include "render/builtin_font.h"
#include "render/font.h"
#include "render/image.h"
#include "render/pixmap.h"

namespace {

bool Inked(int32_t code, int32_t column, int32_t row) {
  const uint8_t bits = BuiltinFontBitmap()[static_cast<size_t>(row * 96 + (code - 32))];
  return (bits >> column) & 1;
}

int32_t InkCount(int32_t code) {
  int32_t count = 0;
  for (int32_t row = 0; row < 16; ++row) {
    for (int32_t column = 0; column < 8; ++column) count += Inked(code, column, row);
  }
  return count;
}

TEST(BuiltinFontBitmap, EveryPrintableCharacterHasInkAndSpaceHasNone) {
  EXPECT_EQ(BuiltinFontBitmap().size(), 1536u);
  EXPECT_EQ(InkCount(' '), 0);
  for (int32_t code = 33; code <= 127; ++code) EXPECT_GT(InkCount(code), 0) << "code " << code;
}

TEST(BuiltinFontBitmap, RightmostColumnStaysClearToSpaceGlyphs) {
  for (int32_t code = 32; code <= 127; ++code) {
    for (int32_t row = 0; row < 16; ++row) EXPECT_FALSE(Inked(code, 7, row)) << code;
  }
}

TEST(BuiltinFontBitmap, LeastSignificantBitIsTheLeftmostPixel) {
  // 'L' is a left stem with a full foot; 'T' a full top bar with a centre stem.
  for (int32_t row = 2; row <= 11; ++row) EXPECT_TRUE(Inked('L', 0, row)) << row;
  for (int32_t column = 0; column < 7; ++column) EXPECT_TRUE(Inked('L', column, 11));
  EXPECT_FALSE(Inked('L', 6, 2));
  for (int32_t column = 0; column < 7; ++column) EXPECT_TRUE(Inked('T', column, 2));
  EXPECT_TRUE(Inked('T', 3, 11));
  EXPECT_FALSE(Inked('T', 0, 11));
}

TEST(DefaultImageFont, HasNinetySixEightBySixteenGlyphsForCodes32To127) {
  std::shared_ptr<TImageFont> font = TImageFont::CreateDefault();
  ASSERT_TRUE(font);
  EXPECT_EQ(font->CountGlyphs(), 96);
  EXPECT_EQ(font->Height(), 16);
  EXPECT_EQ(font->Style(), 0);
  EXPECT_EQ(font->CharToGlyph('A'), 33);
  EXPECT_EQ(font->CharToGlyph(32), 0);
  EXPECT_EQ(font->CharToGlyph(127), 95);
  EXPECT_EQ(font->CharToGlyph(31), -1);
  EXPECT_EQ(font->CharToGlyph(128), -1);
  EXPECT_EQ(font->CharToGlyph(200), -1);
  EXPECT_EQ(font->LoadGlyph(-1), nullptr);
  EXPECT_EQ(font->LoadGlyph(96), nullptr);

  std::shared_ptr<TImageGlyph> space = font->LoadGlyph(0);
  ASSERT_TRUE(space);
  EXPECT_FLOAT_EQ(space->Advance(), 8.0f);
  int32_t x = -1, y = -1, w = -1, h = -1;
  space->GetRect(x, y, w, h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 16);
}

TEST(DefaultImageFont, GlyphImagesAreOpaqueWhereInkedAndClearElsewhere) {
  std::shared_ptr<TImageFont> font = TImageFont::CreateDefault();
  for (int32_t code : {int32_t{'A'}, int32_t{'g'}, int32_t{'~'}, int32_t{127}}) {
    std::shared_ptr<TImageGlyph> glyph = font->LoadGlyph(font->CharToGlyph(code));
    ASSERT_TRUE(glyph && glyph->Pixels());
    std::shared_ptr<TImage> image = glyph->Pixels();
    EXPECT_EQ(image->width, 8);
    EXPECT_EQ(image->height, 16);
    EXPECT_EQ(image->flags, 0);
    std::shared_ptr<TPixmap> pixels = image->Lock(0, true, false);
    ASSERT_TRUE(pixels);
    for (int32_t row = 0; row < 16; ++row) {
      for (int32_t column = 0; column < 8; ++column) {
        const uint32_t expected = Inked(code, column, row) ? 0xFFFFFFFFu : 0x00000000u;
        ASSERT_EQ(pixels->ReadPixel(column, row), expected) << code << " " << column << "," << row;
      }
    }
  }
}

// With no render state current, text is measured with the built-in font.
TEST(BuiltinTextMeasure, EightPixelsPerKnownCharacterAndSixteenHigh) {
  EXPECT_EQ(GetImageFont(), DefaultImageFont());
  EXPECT_EQ(TextWidth("ABC"), 24);
  EXPECT_EQ(TextHeight("ABC"), 16);
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextHeight(""), 16);
  EXPECT_EQ(TextWidth("A B"), 24);
  // Codes outside 32-127 (a control character, a Latin-1 letter) have no glyph.
  EXPECT_EQ(TextWidth(std::string("A\xC8"
                                  "B")),
            16);
  EXPECT_EQ(TextWidth(std::string("\tA\n")), 8);
}

}  // namespace
