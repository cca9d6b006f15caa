// Source fonts over FreeType: metrics, glyph rasterising (grey, one-bit, smooth border), the
// image font built over them, memory faces from stream urls, and bad font data.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "render/font.h"
#include "render/freetype_font.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A bitmap-only font with one 12-pixel strike and two characters: space and 'A'.
const char kTinyBdf[] = R"(STARTFONT 2.1
FONT -test-tiny-medium-r-normal--12-120-75-75-c-80-iso10646-1
SIZE 12 75 75
FONTBOUNDINGBOX 8 12 0 -2
STARTPROPERTIES 3
PIXEL_SIZE 12
FONT_ASCENT 10
FONT_DESCENT 2
ENDPROPERTIES
CHARS 2
STARTCHAR space
ENCODING 32
SWIDTH 666 0
DWIDTH 8 0
BBX 8 12 0 -2
BITMAP
00
00
00
00
00
00
00
00
00
00
00
00
ENDCHAR
STARTCHAR A
ENCODING 65
SWIDTH 666 0
DWIDTH 8 0
BBX 8 12 0 -2
BITMAP
00
18
24
42
42
7E
42
42
42
00
00
00
ENDCHAR
ENDFONT
)";

std::shared_ptr<TFreeTypeFont> LoadDejaVu(int32_t style) {
  return TFreeTypeFont::Load(kFontPath, 22, style);
}

TEST(FreeTypeFont, SizeTwentyTwoHasPositiveHeightAndAscentAndNegativeDescent) {
  std::shared_ptr<TFreeTypeFont> font = LoadDejaVu(FONT_SMOOTH);
  ASSERT_TRUE(font) << "needs " << kFontPath;
  EXPECT_GT(font->Height(), 0);
  EXPECT_GT(font->_ascend, 0);
  EXPECT_LT(font->_descend, 0);
  EXPECT_EQ(font->Style(), FONT_SMOOTH);
  EXPECT_GT(font->CountGlyphs(), 95);
}

TEST(FreeTypeFont, SpaceAdvancesWithoutAPicture) {
  std::shared_ptr<TFreeTypeFont> font = LoadDejaVu(FONT_SMOOTH);
  ASSERT_TRUE(font);
  const int32_t index = font->CharToGlyph(' ');
  ASSERT_GE(index, 0);
  std::shared_ptr<TGlyph> space = font->LoadGlyph(index);
  ASSERT_TRUE(space);
  EXPECT_GT(space->Advance(), 0.0f);
  EXPECT_EQ(space->Advance(), static_cast<float>(static_cast<int32_t>(space->Advance())));
  EXPECT_EQ(space->Pixels(), nullptr);
}

TEST(FreeTypeFont, MissingCharacterHasNoGlyphAndGlyphsAreBuiltOnce) {
  std::shared_ptr<TFreeTypeFont> font = LoadDejaVu(0);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->CharToGlyph(0xE000), -1);  // private use area: not in the face
  EXPECT_EQ(font->CharToGlyph(-5), -1);
  EXPECT_EQ(font->LoadGlyph(-1), nullptr);
  EXPECT_EQ(font->LoadGlyph(font->CountGlyphs()), nullptr);
  const int32_t a = font->CharToGlyph('a');
  EXPECT_EQ(font->LoadGlyph(a), font->LoadGlyph(a));
}

TEST(FreeTypeFont, GlyphThatCannotBeLoadedIsBlankWithNoAdvance) {
  std::shared_ptr<TFreeTypeFont> font = LoadDejaVu(0);
  ASSERT_TRUE(font);
  // The last index asks FreeType for glyph CountGlyphs(), one past the face's glyphs.
  std::shared_ptr<TGlyph> glyph = font->LoadGlyph(font->CountGlyphs() - 1);
  ASSERT_TRUE(glyph);
  EXPECT_EQ(glyph->Advance(), 0.0f);
  EXPECT_EQ(glyph->Pixels(), nullptr);
}

TEST(FreeTypeFont, SmoothGlyphIsTwoPixelsLargerAndPlacedOneUpAndLeft) {
  std::shared_ptr<TFreeTypeFont> plain = LoadDejaVu(0);
  std::shared_ptr<TFreeTypeFont> smooth = LoadDejaVu(FONT_SMOOTH);
  ASSERT_TRUE(plain && smooth);
  for (char letter : std::string("Ag@")) {
    std::shared_ptr<TGlyph> p = plain->LoadGlyph(plain->CharToGlyph(letter));
    std::shared_ptr<TGlyph> s = smooth->LoadGlyph(smooth->CharToGlyph(letter));
    ASSERT_TRUE(p && s && p->Pixels() && s->Pixels()) << letter;
    int32_t px, py, pw, ph, sx, sy, sw, sh;
    p->GetRect(px, py, pw, ph);
    s->GetRect(sx, sy, sw, sh);
    EXPECT_EQ(sx, px - 1);
    EXPECT_EQ(sy, py - 1);
    EXPECT_EQ(sw, pw + 2);
    EXPECT_EQ(sh, ph + 2);
    EXPECT_EQ(s->Advance(), p->Advance());
    EXPECT_GT(p->Advance(), 0.0f);

    const std::shared_ptr<TPixmap>& inner = p->Pixels();
    const std::shared_ptr<TPixmap>& outer = s->Pixels();
    EXPECT_EQ(inner->format, PF_A8);
    EXPECT_EQ(outer->format, PF_A8);
    ASSERT_EQ(outer->width, sw);
    ASSERT_EQ(outer->height, sh);
    uint32_t ink = 0;
    for (int32_t y = 0; y < sh; ++y) {
      for (int32_t x = 0; x < sw; ++x) {
        const bool border = x == 0 || y == 0 || x == sw - 1 || y == sh - 1;
        const uint32_t expected = border ? 0x00FFFFFFu : inner->ReadPixel(x - 1, y - 1);
        ASSERT_EQ(outer->ReadPixel(x, y), expected) << letter << " " << x << "," << y;
        ink |= expected >> 24;
      }
    }
    EXPECT_NE(ink, 0u) << letter;
  }
}

TEST(FreeTypeFont, GlyphSitsOnTheBaselineBelowTheLineTop) {
  std::shared_ptr<TFreeTypeFont> font = LoadDejaVu(0);
  ASSERT_TRUE(font);
  int32_t x, y, w, h;
  font->LoadGlyph(font->CharToGlyph('H'))->GetRect(x, y, w, h);
  EXPECT_GT(y, 0);                  // capitals start below the ascender line
  EXPECT_EQ(y + h, font->_ascend);  // and stand on the baseline
  font->LoadGlyph(font->CharToGlyph('p'))->GetRect(x, y, w, h);
  EXPECT_GT(y + h, font->_ascend);  // descender
}

TEST(FreeTypeFont, FaceOpensFromMemoryThroughAStreamUrl) {
  static const std::vector<char> bytes = ReadFile(kFontPath);
  ASSERT_FALSE(bytes.empty());
  RegisterEmbedded("font-test.ttf", bytes.data(), static_cast<int64_t>(bytes.size()));
  std::shared_ptr<TFreeTypeFont> memory = TFreeTypeFont::Load("incbin::font-test.ttf", 22, 0);
  std::shared_ptr<TFreeTypeFont> file = LoadDejaVu(0);
  ASSERT_TRUE(memory && file);
  EXPECT_EQ(memory->_buf_size, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(memory->Height(), file->Height());
  EXPECT_EQ(memory->_ascend, file->_ascend);
  EXPECT_EQ(memory->CountGlyphs(), file->CountGlyphs());
  EXPECT_EQ(memory->LoadGlyph(memory->CharToGlyph('W'))->Advance(),
            file->LoadGlyph(file->CharToGlyph('W'))->Advance());
  EXPECT_EQ(TFreeTypeFont::Load("incbin::no-such-font.ttf", 22, 0), nullptr);
}

// Serves "scratch::" urls as memory streams over a buffer the test frees and overwrites
// while the font is still in use.
class ScratchFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string&, const std::string& protocol,
                                        const std::string&, int32_t readable,
                                        int32_t writeable) override {
    if (protocol != "scratch" || writeable) return nullptr;
    return TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), readable, 0);
  }
  std::vector<char> bytes;
};

TEST(FreeTypeFont, FaceKeepsItsOwnBytesOfAStreamThatIsNotEmbedded) {
  std::shared_ptr<TFreeTypeFont> font;
  {
    ScratchFactory factory;
    factory.bytes = ReadFile(kFontPath);
    ASSERT_FALSE(factory.bytes.empty());
    font = TFreeTypeFont::Load("scratch::font.ttf", 22, 0);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->_buf_size, static_cast<int32_t>(factory.bytes.size()));
    std::fill(factory.bytes.begin(), factory.bytes.end(), '\xAA');
  }
  // The stream's memory is spoiled and gone: glyphs still come from the font's own copy.
  std::shared_ptr<TFreeTypeFont> file = LoadDejaVu(0);
  ASSERT_TRUE(file);
  for (char letter : {'W', 'g', '&'}) {
    std::shared_ptr<TGlyph> ours = font->LoadGlyph(font->CharToGlyph(letter));
    std::shared_ptr<TGlyph> theirs = file->LoadGlyph(file->CharToGlyph(letter));
    ASSERT_TRUE(ours && ours->Pixels() && theirs && theirs->Pixels()) << letter;
    EXPECT_EQ(ours->Advance(), theirs->Advance()) << letter;
    const std::shared_ptr<TPixmap>& a = ours->Pixels();
    const std::shared_ptr<TPixmap>& b = theirs->Pixels();
    ASSERT_EQ(std::make_pair(a->width, a->height), std::make_pair(b->width, b->height));
    for (int32_t y = 0; y < a->height; ++y) {
      for (int32_t x = 0; x < a->width; ++x) {
        ASSERT_EQ(a->ReadPixel(x, y), b->ReadPixel(x, y)) << letter << " " << x << "," << y;
      }
    }
  }
}

TEST(FreeTypeFont, BadSourcesGiveNoFont) {
  const std::vector<char> bytes = ReadFile(kFontPath);
  ASSERT_GT(bytes.size(), 2000u);
  const std::string truncated = WriteTempFile("truncated.ttf", std::string(bytes.data(), 1000));
  const std::string empty = WriteTempFile("empty.ttf", "");
  const std::string text = WriteTempFile("notes.ttf", "This is not a font file at all.\n");
  EXPECT_EQ(TFreeTypeFont::Load(truncated, 22, 0), nullptr);
  EXPECT_EQ(TFreeTypeFont::Load(empty, 22, 0), nullptr);
  EXPECT_EQ(TFreeTypeFont::Load(text, 22, 0), nullptr);
  EXPECT_EQ(TFreeTypeFont::Load(testing::TempDir() + "missing.ttf", 22, 0), nullptr);
  EXPECT_EQ(TFreeTypeFont::Load("", 22, 0), nullptr);
  EXPECT_EQ(TFreeTypeFont::Load(kFontPath, 0, 0), nullptr);

  static const char kEmpty[] = "";
  RegisterEmbedded("empty-font", kEmpty, 0);
  EXPECT_EQ(TFreeTypeFont::Load("incbin::empty-font", 22, 0), nullptr);
  static const std::string kTruncated(bytes.data(), 1000);
  RegisterEmbedded("truncated-font", kTruncated.data(), 1000);
  EXPECT_EQ(TFreeTypeFont::Load("incbin::truncated-font", 22, 0), nullptr);

  EXPECT_EQ(LoadImageFont(text, 22, FONT_SMOOTH), nullptr);
  EXPECT_EQ(LoadImageFont("", 22, 0), nullptr);
}

TEST(FreeTypeFont, BitmapFontFallsBackToTheLargestSizeBelowAndRendersOneBitGlyphs) {
  const std::string path = WriteTempFile("tiny.bdf", kTinyBdf);
  std::shared_ptr<TFreeTypeFont> font = TFreeTypeFont::Load(path, 22, 0);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->Height(), 12);
  EXPECT_EQ(TFreeTypeFont::Load(path, 11, 0), nullptr);  // no strike at 11 or below

  std::shared_ptr<TGlyph> a = font->LoadGlyph(font->CharToGlyph('A'));
  ASSERT_TRUE(a && a->Pixels());
  EXPECT_FLOAT_EQ(a->Advance(), 8.0f);
  const std::shared_ptr<TPixmap>& pixels = a->Pixels();
  int32_t x, y, w, h;
  a->GetRect(x, y, w, h);
  ASSERT_EQ(pixels->width, w);
  ASSERT_EQ(pixels->height, h);
  ASSERT_GE(h, 9);
  // Row 1 of the glyph is 0x18: pixels 3 and 4 only, most significant bit first.
  for (int32_t column = 0; column < w; ++column) {
    const uint32_t alpha = pixels->ReadPixel(column, 1) >> 24;
    EXPECT_EQ(alpha, (column == 3 || column == 4) ? 255u : 0u) << column;
  }
  // Row 5 is 0x7E: pixels 1 to 6.
  for (int32_t column = 0; column < w; ++column) {
    const uint32_t alpha = pixels->ReadPixel(column, 5) >> 24;
    EXPECT_EQ(alpha, (column >= 1 && column <= 6) ? 255u : 0u) << column;
  }
}

TEST(FreeTypeImageFont, WrapsTheSourceFontWithLazyGlyphImages) {
  std::shared_ptr<TImageFont> smooth = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  std::shared_ptr<TImageFont> plain = TImageFont::Load(kFontPath, 22, 0);
  ASSERT_TRUE(smooth && plain);
  EXPECT_EQ(smooth->_imageFlags, IMAGE_FILTERED | IMAGE_MIPMAPPED);
  EXPECT_EQ(plain->_imageFlags, 0);
  EXPECT_EQ(smooth->Style(), FONT_SMOOTH);
  EXPECT_EQ(smooth->Height(), smooth->_src_font->Height());
  EXPECT_EQ(smooth->CountGlyphs(), smooth->_src_font->CountGlyphs());
  EXPECT_EQ(smooth->CharToGlyph('Q'), smooth->_src_font->CharToGlyph('Q'));

  const int32_t index = smooth->CharToGlyph('Q');
  EXPECT_EQ(smooth->_glyphs[static_cast<size_t>(index)], nullptr);
  std::shared_ptr<TImageGlyph> glyph = smooth->LoadGlyph(index);
  ASSERT_TRUE(glyph && glyph->Pixels());
  EXPECT_EQ(smooth->LoadGlyph(index), glyph);
  std::shared_ptr<TGlyph> source = smooth->_src_font->LoadGlyph(index);
  int32_t x, y, w, h, sx, sy, sw, sh;
  glyph->GetRect(x, y, w, h);
  source->GetRect(sx, sy, sw, sh);
  EXPECT_EQ(std::vector<int32_t>({x, y, w, h}), std::vector<int32_t>({sx, sy, sw, sh}));
  EXPECT_EQ(glyph->Advance(), source->Advance());
  std::shared_ptr<TImage> image = glyph->Pixels();
  EXPECT_EQ(image->width, w);
  EXPECT_EQ(image->height, h);
  EXPECT_EQ(image->flags, IMAGE_FILTERED | IMAGE_MIPMAPPED);
  // The image holds its own copy: white with the coverage as alpha.
  std::shared_ptr<TPixmap> pixels = image->Lock(0, true, false);
  EXPECT_NE(pixels, source->Pixels());
  for (int32_t py = 0; py < h; ++py) {
    for (int32_t px = 0; px < w; ++px) {
      const uint32_t coverage = source->Pixels()->ReadPixel(px, py) >> 24;
      const uint32_t value = pixels->ReadPixel(px, py);
      ASSERT_EQ(value >> 24, coverage);
      if (coverage != 0) {
        ASSERT_EQ(value & 0xFFFFFFu, 0xFFFFFFu);
      }
    }
  }

  std::shared_ptr<TImageGlyph> space = smooth->LoadGlyph(smooth->CharToGlyph(' '));
  ASSERT_TRUE(space);
  EXPECT_EQ(space->Pixels(), nullptr);
  EXPECT_GT(space->Advance(), 0.0f);

  // Every printable glyph is its own glyph with its own image and pixels, and what a caller
  // holds stays whole after the font and the other glyphs are gone.
  std::vector<std::shared_ptr<TImageGlyph>> printable;
  for (int32_t code = 33; code < 127; ++code) {
    printable.push_back(plain->LoadGlyph(plain->CharToGlyph(code)));
    ASSERT_TRUE(printable.back() && printable.back()->Pixels()) << code;
  }
  for (size_t i = 1; i < printable.size(); ++i) {
    EXPECT_NE(printable[i], printable[i - 1]);
    EXPECT_NE(printable[i]->Pixels(), printable[i - 1]->Pixels());
    EXPECT_NE(printable[i]->Pixels()->pixmaps[0]->pixels,
              printable[i - 1]->Pixels()->pixmaps[0]->pixels);
  }
  std::shared_ptr<TImageGlyph> kept = printable['W' - 33];
  std::shared_ptr<TPixmap> kept_pixels = kept->Pixels()->pixmaps[0];
  const std::vector<uint8_t> before(kept_pixels->pixels,
                                    kept_pixels->pixels + kept_pixels->pitch * kept_pixels->height);
  printable.clear();
  plain.reset();
  ASSERT_EQ(kept->Pixels()->pixmaps[0], kept_pixels);
  EXPECT_EQ(std::vector<uint8_t>(kept_pixels->pixels,
                                 kept_pixels->pixels + kept_pixels->pitch * kept_pixels->height),
            before);
  EXPECT_GT(kept->Advance(), 0.0f);
}

// A loader added to the chain is asked first; the FreeType loader stays behind it.
class TCountingLoader : public TFontLoader {
 public:
  std::shared_ptr<TFont> LoadFont(const std::string& source, int32_t, int32_t) override {
    ++asked;
    last_source = source;
    return nullptr;
  }
  int32_t asked = 0;
  std::string last_source;
};

TEST(FontLoaderChain, NewLoadersAreAskedFirstAndTheChainFallsThrough) {
  auto counting = std::make_shared<TCountingLoader>();
  AddFontLoader(counting);
  std::shared_ptr<TFont> font = LoadFontFromChain(kFontPath, 22, 0);
  EXPECT_EQ(counting->asked, 1);
  EXPECT_EQ(counting->last_source, kFontPath);
  EXPECT_TRUE(font);
  EXPECT_TRUE(counting->_succ);
}

}  // namespace
