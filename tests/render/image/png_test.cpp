#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "png_fixture.h"
#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

std::shared_ptr<TPixmap> Decode(const std::vector<uint8_t>& bytes) {
  return LoadPixmap(MemoryStream(bytes));
}

PngLayout Rgb2x2() {
  PngLayout layout;
  layout.width = 2, layout.height = 2, layout.colour_type = PNG_COLOR_TYPE_RGB;
  layout.samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  return layout;
}

// Rewrites the IHDR width and height and fixes the chunk's CRC.
std::vector<uint8_t> WithSize(std::vector<uint8_t> bytes, uint32_t width, uint32_t height) {
  auto put = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  put(29, static_cast<uint32_t>(crc32(0, bytes.data() + 12, 17)));
  return bytes;
}

TEST(PngLoad, RgbLoadsAsRgbPixmap) {
  auto p = Decode(EncodePng(Rgb2x2()));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->format, PF_RGB888);
  EXPECT_EQ(p->width, 2);
  EXPECT_EQ(p->height, 2);
  EXPECT_EQ(p->pitch, 8);
  EXPECT_EQ(p->ReadPixel(0, 0), 0xFF010203u);
  EXPECT_EQ(p->ReadPixel(1, 1), 0xFF0A0B0Cu);
}

TEST(PngLoad, ColourTypesMapToFormats) {
  PngLayout grey;
  grey.colour_type = PNG_COLOR_TYPE_GRAY;
  grey.samples = {77};
  auto g = Decode(EncodePng(grey));
  ASSERT_TRUE(g);
  EXPECT_EQ(g->format, PF_I8);
  EXPECT_EQ(g->pixels[0], 77);

  PngLayout rgba;
  rgba.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.samples = {9, 8, 7, 6};
  auto c = Decode(EncodePng(rgba));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->format, PF_RGBA8888);
  EXPECT_EQ(c->ReadPixel(0, 0), 0x06090807u);
}

TEST(PngLoad, GreyWithAlphaWidensToRgba) {
  PngLayout layout;
  layout.width = 3, layout.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
  layout.samples = {200, 50, 1, 2, 255, 0};
  auto p = Decode(EncodePng(layout));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->format, PF_RGBA8888);
  EXPECT_EQ(p->ReadPixel(0, 0), 0x32C8C8C8u);
  EXPECT_EQ(p->ReadPixel(1, 0), 0x02010101u);
  EXPECT_EQ(p->ReadPixel(2, 0), 0x00FFFFFFu);
}

TEST(PngLoad, PalettesLowDepthsAndWideSamplesAreExpanded) {
  PngLayout palette;
  palette.width = 2, palette.colour_type = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {255, 0, 0, 0, 0, 255};
  palette.samples = {0, 1};
  auto p = Decode(EncodePng(palette));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->format, PF_RGB888);
  EXPECT_EQ(p->ReadPixel(1, 0), 0xFF0000FFu);

  palette.transparency = {0};  // entry 0 fully transparent
  auto t = Decode(EncodePng(palette));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->format, PF_RGBA8888);
  EXPECT_EQ(t->ReadPixel(0, 0), 0x00FF0000u);
  EXPECT_EQ(t->ReadPixel(1, 0), 0xFF0000FFu);

  PngLayout bits;
  bits.width = 8, bits.colour_type = PNG_COLOR_TYPE_GRAY, bits.bit_depth = 1;
  bits.samples = {0xA0};  // 1 0 1 0 0 0 0 0
  auto b = Decode(EncodePng(bits));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->format, PF_I8);
  EXPECT_EQ(b->pixels[0], 255);
  EXPECT_EQ(b->pixels[1], 0);
  EXPECT_EQ(b->pixels[2], 255);

  PngLayout wide;
  wide.colour_type = PNG_COLOR_TYPE_RGB, wide.bit_depth = 16;
  wide.samples = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A};  // little-endian 0x1234 ...
  auto w = Decode(EncodePng(wide));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->ReadPixel(0, 0), 0xFF12569Au);
}

TEST(PngLoad, InterlacedImagesLoadLikePlainOnes) {
  PngLayout layout;
  layout.width = 9, layout.height = 9, layout.colour_type = PNG_COLOR_TYPE_RGB;
  for (int i = 0; i < 9 * 9 * 3; ++i) layout.samples.push_back(static_cast<uint8_t>(i * 7));
  auto plain = Decode(EncodePng(layout));
  layout.interlaced = true;
  auto interlaced = Decode(EncodePng(layout));
  ASSERT_TRUE(plain);
  ASSERT_TRUE(interlaced);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(interlaced->ReadPixel(x, y), plain->ReadPixel(x, y));
}

TEST(PngBadInput, EveryTruncationGivesNoPixmap) {
  std::vector<uint8_t> bytes = EncodePng(Rgb2x2());
  for (size_t length = 0; length + 12 < bytes.size(); ++length) {
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + length);
    EXPECT_FALSE(Decode(prefix)) << "length " << length;
  }
}

TEST(PngBadInput, CorruptBytesNeverCrash) {
  PngLayout layout;
  layout.width = 16, layout.height = 16, layout.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  for (int i = 0; i < 16 * 16 * 4; ++i) layout.samples.push_back(static_cast<uint8_t>(i));
  const std::vector<uint8_t> bytes = EncodePng(layout);
  for (size_t at = 8; at < bytes.size(); ++at) {
    std::vector<uint8_t> corrupt = bytes;
    corrupt[at] ^= 0x5A;
    auto p = Decode(corrupt);
    if (p) {
      EXPECT_GT(p->width * p->height, 0);
    }
  }
}

TEST(PngBadInput, ZeroAndHugeSizesAreRefused) {
  const std::vector<uint8_t> bytes = EncodePng(Rgb2x2());
  EXPECT_TRUE(Decode(WithSize(bytes, 2, 2)));  // the patching itself is sound
  EXPECT_FALSE(Decode(WithSize(bytes, 0, 2)));
  EXPECT_FALSE(Decode(WithSize(bytes, 2, 0)));
  EXPECT_FALSE(Decode(WithSize(bytes, 16385, 1)));
  EXPECT_FALSE(Decode(WithSize(bytes, 1, 100000)));
  // Within the limits but far more pixels than the file could ever hold.
  EXPECT_FALSE(Decode(WithSize(bytes, 16384, 16384)));
}

TEST(PngBadInput, NonPngDataIsLeftForTheNextLoader) {
  const std::vector<uint8_t> bmp = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  TPixmapLoaderPNG png_loader;
  auto stream = MemoryStream(bmp);
  EXPECT_FALSE(png_loader.LoadPixmap(stream));

  // A loader that only accepts data starting with "BM", behind one that reads and gives up.
  struct BmpLoader : TPixmapLoader {
    std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& s) override {
      if (s->ReadByte() != 'B' || s->ReadByte() != 'M') return nullptr;
      auto p = CreatePixmap(1, 1, PF_I8);
      p->pixels[0] = static_cast<uint8_t>(s->ReadByte());
      return p;
    }
  } bmp_loader;
  struct GreedyLoader : TPixmapLoader {
    std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& s) override {
      s->SkipBytes(5);
      return nullptr;
    }
  } greedy_loader;
  auto p = LoadPixmap(MemoryStream(bmp));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->pixels[0], 1);
  // PNG files still load with the extra loaders in the chain.
  EXPECT_TRUE(Decode(EncodePng(Rgb2x2())));
}

TEST(PngBadInput, StreamErrorsInsideALoaderCountAsNoPixmap) {
  struct ThrowingLoader : TPixmapLoader {
    std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>&) override {
      throw TStreamReadException();
    }
  } loader;
  EXPECT_TRUE(Decode(EncodePng(Rgb2x2())));  // the PNG loader is still asked after it
  EXPECT_FALSE(Decode({1, 2, 3}));
}

TEST(PngLoad, LoadsFromTheStreamsCurrentPosition) {
  std::vector<uint8_t> bytes = {0, 0, 0, 0, 0};
  std::vector<uint8_t> png = EncodePng(Rgb2x2());
  bytes.insert(bytes.end(), png.begin(), png.end());
  auto stream = MemoryStream(bytes);
  stream->Seek(5);
  auto p = LoadPixmap(stream);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->ReadPixel(1, 0), 0xFF040506u);
}

TEST(PngFiles, LoadsFromAPathAndReportsMissingFiles) {
  std::string path = testing::TempDir() + "image_png_test_" + std::to_string(getpid()) + ".png";
  std::vector<uint8_t> png = EncodePng(Rgb2x2());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  std::fwrite(png.data(), 1, png.size(), file);
  std::fclose(file);
  auto p = LoadPixmap(path);
  std::remove(path.c_str());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->ReadPixel(0, 1), 0xFF070809u);
  EXPECT_FALSE(LoadPixmap(path));
  EXPECT_FALSE(LoadPixmap(std::string("nosuchprotocol::thing")));
  EXPECT_FALSE(LoadPixmap(std::shared_ptr<TStream>()));
}

TEST(PngSave, RoundTripsEveryFormat) {
  std::string path = testing::TempDir() + "image_png_save_" + std::to_string(getpid()) + ".png";
  for (int32_t format = PF_I8; format <= PF_RGBA8888; ++format) {
    auto source = CreatePixmap(5, 3, format);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        source->WritePixel(x, y, 0x80000000u | (x * 50) << 16 | (y * 60) << 8 | 99);
    ASSERT_TRUE(SavePixmapPNG(source, path)) << format;
    auto loaded = LoadPixmap(path);
    ASSERT_TRUE(loaded) << format;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(loaded->ReadPixel(x, y), source->ReadPixel(x, y)) << format;
  }
  std::remove(path.c_str());
  EXPECT_FALSE(SavePixmapPNG(CreatePixmap(2, 2, PF_I8), std::string("/nonexistent/dir/x.png")));
  EXPECT_FALSE(SavePixmapPNG(nullptr, path));
}

}  // namespace
