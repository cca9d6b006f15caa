// The generated images: sizes, every sprite frame where the game grabs it, framed
// in black and free of holes that masking would punch, and the embedded copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "render/pixmap.h"
#include "resources/resources.h"
#include "stream/stream.h"

namespace {

const std::string kAssetDir = VEXTRAL_ASSET_DIR;

struct Frame {
  const char* name;
  int x, y, width, height;
};

// The grab rectangles of the sprite sheet.
const Frame kFrames[] = {
    {"title", 0, 193, 416, 154},      {"ship", 396, 1, 28, 22},
    {"chunk", 466, 1, 28, 22},        {"shot 0", 448, 1, 7, 16},
    {"shot 1", 456, 1, 7, 16},        {"asteroid 0", 1, 1, 130, 130},
    {"asteroid 1", 132, 1, 130, 130}, {"asteroid 2", 263, 1, 130, 130},
    {"explosion 0", 396, 26, 72, 72}, {"explosion 1", 469, 26, 72, 72},
    {"explosion 2", 542, 26, 72, 72}, {"explosion 3", 396, 99, 72, 72},
    {"explosion 4", 469, 99, 72, 72}, {"explosion 5", 542, 99, 72, 72},
    {"ufo lower", 1, 134, 58, 57},    {"ufo upper", 60, 134, 58, 57},
};

std::shared_ptr<TPixmap> LoadAsset(const std::string& file) {
  return LoadPixmap(kAssetDir + "/" + file);
}

bool IsBlack(const TPixmap& pixmap, int x, int y) {
  return (pixmap.ReadPixel(x, y) & 0xFFFFFF) == 0;
}

float Brightness(const TPixmap& pixmap, int x, int y) {
  uint32_t p = pixmap.ReadPixel(x, y);
  return (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255)) / 3.0f;
}

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class SpriteSheet : public testing::Test {
 protected:
  void SetUp() override {
    sheet_ = LoadAsset("sprites.png");
    ASSERT_NE(sheet_, nullptr);
  }
  std::shared_ptr<TPixmap> FramePixmap(const Frame& f) {
    return sheet_->Window(f.x, f.y, f.width, f.height);
  }
  std::shared_ptr<TPixmap> sheet_;
};

TEST_F(SpriteSheet, IsAn8BitRgbPictureOfTheExpectedSize) {
  EXPECT_EQ(sheet_->width, 640);
  EXPECT_EQ(sheet_->height, 361);
  EXPECT_EQ(sheet_->format, PF_RGB888);
}

TEST_F(SpriteSheet, EveryFrameIsFramedInBlackAndHoldsASprite) {
  for (const Frame& f : kFrames) {
    auto frame = FramePixmap(f);
    int border_lit = 0, lit = 0;
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        bool edge = x == 0 || y == 0 || x == f.width - 1 || y == f.height - 1;
        if (!IsBlack(*frame, x, y)) (edge ? border_lit : lit) += 1;
      }
    }
    EXPECT_EQ(border_lit, 0) << f.name << ": lit pixels on the frame's edge";
    EXPECT_GT(lit, f.width * f.height / 20) << f.name << ": almost empty";
  }
}

TEST_F(SpriteSheet, MaskingPunchesNoHolesInsideASprite) {
  for (const Frame& f : kFrames) {
    auto masked = MaskPixmap(FramePixmap(f), 0, 0, 0);
    ASSERT_NE(masked, nullptr);
    // Transparent pixels reachable from the edge are the outside; any other is a hole.
    const int w = f.width, h = f.height;
    std::vector<char> outside(static_cast<size_t>(w) * h, 0);
    std::vector<std::pair<int, int>> stack;
    for (int x = 0; x < w; ++x) stack.insert(stack.end(), {{x, 0}, {x, h - 1}});
    for (int y = 0; y < h; ++y) stack.insert(stack.end(), {{0, y}, {w - 1, y}});
    while (!stack.empty()) {
      auto [x, y] = stack.back();
      stack.pop_back();
      if (x < 0 || y < 0 || x >= w || y >= h) continue;
      char& seen = outside[static_cast<size_t>(y) * w + x];
      if (seen || (masked->ReadPixel(x, y) >> 24) != 0) continue;
      seen = 1;
      stack.insert(stack.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    int holes = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if ((masked->ReadPixel(x, y) >> 24) == 0 && !outside[static_cast<size_t>(y) * w + x]) {
          ++holes;
        }
      }
    }
    EXPECT_EQ(holes, 0) << f.name;
  }
}

TEST_F(SpriteSheet, EverySpriteIsCentredOnItsHandle) {
  for (const Frame& f : kFrames) {
    auto frame = FramePixmap(f);
    double sum = 0, sum_x = 0, sum_y = 0;
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        if (IsBlack(*frame, x, y)) continue;
        sum += 1;
        sum_x += x + 0.5;
        sum_y += y + 0.5;
      }
    }
    ASSERT_GT(sum, 0) << f.name;
    EXPECT_NEAR(sum_x / sum, f.width / 2.0, f.width * 0.12) << f.name;
    // An arrowhead ship carries more of its area low down.
    EXPECT_NEAR(sum_y / sum, f.height / 2.0, f.height * 0.2) << f.name;
  }
}

TEST_F(SpriteSheet, NothingIsDrawnOutsideTheFrames) {
  int stray = 0;
  for (int y = 0; y < sheet_->height; ++y) {
    for (int x = 0; x < sheet_->width; ++x) {
      bool inside = false;
      for (const Frame& f : kFrames) {
        inside = inside || (x >= f.x && y >= f.y && x < f.x + f.width && y < f.y + f.height);
      }
      if (!inside && !IsBlack(*sheet_, x, y)) ++stray;
    }
  }
  EXPECT_EQ(stray, 0);
}

TEST_F(SpriteSheet, ShipPointsUp) {
  auto ship = FramePixmap(kFrames[1]);
  int top = -1;
  double sum_x = 0, count = 0;
  for (int y = 0; y < ship->height && top < 0; ++y) {
    for (int x = 0; x < ship->width; ++x) {
      if (!IsBlack(*ship, x, y)) top = y, sum_x += x + 0.5, count += 1;
    }
  }
  ASSERT_GE(top, 0);
  EXPECT_LE(top, 2) << "the nose should reach the top of the frame";
  EXPECT_NEAR(sum_x / count, 14.0, 1.5) << "the nose should be in the middle";
  // The bottom row of the hull is wider than the nose.
  int widest_bottom = 0;
  for (int x = 0; x < ship->width; ++x) widest_bottom += !IsBlack(*ship, x, 19);
  EXPECT_GT(widest_bottom, 3 * count);
}

TEST_F(SpriteSheet, ExplosionGrowsThenBurnsOut) {
  std::vector<double> reach, brightness;
  for (int i = 0; i < 6; ++i) {
    auto frame = FramePixmap(kFrames[8 + i]);
    double farthest = 0, light = 0;
    for (int y = 0; y < 72; ++y) {
      for (int x = 0; x < 72; ++x) {
        if (IsBlack(*frame, x, y)) continue;
        farthest = std::max(farthest, std::hypot(x + 0.5 - 36, y + 0.5 - 36));
        light += Brightness(*frame, x, y);
      }
    }
    reach.push_back(farthest);
    brightness.push_back(light);
  }
  for (int i = 1; i < 4; ++i) EXPECT_GT(reach[i], reach[i - 1]) << "frame " << i;
  EXPECT_LT(brightness[5], brightness[2] * 0.6) << "the last frame should be dimmer";
}

TEST_F(SpriteSheet, UfoUpperBodySitsInsideTheLowerBody) {
  // The halves spin against each other around one centre: the upper body must never
  // overhang the lower one at any angle, so it stays inside the lower body's disc.
  auto lower = FramePixmap(kFrames[14]), upper = FramePixmap(kFrames[15]);
  double lower_reach = 0, upper_reach = 0;
  for (int y = 0; y < 57; ++y) {
    for (int x = 0; x < 58; ++x) {
      double r = std::hypot(x + 0.5 - 29, y + 0.5 - 28.5);
      if (!IsBlack(*lower, x, y)) lower_reach = std::max(lower_reach, r);
      if (!IsBlack(*upper, x, y)) upper_reach = std::max(upper_reach, r);
    }
  }
  EXPECT_GT(upper_reach, 5.0);
  EXPECT_LT(upper_reach, lower_reach * 0.8);
}

TEST_F(SpriteSheet, AsteroidsAreThreeDifferentRocks) {
  for (int a = 0; a < 3; ++a) {
    for (int b = a + 1; b < 3; ++b) {
      auto first = FramePixmap(kFrames[5 + a]), second = FramePixmap(kFrames[5 + b]);
      int outline_differs = 0;
      for (int y = 0; y < 130; ++y) {
        for (int x = 0; x < 130; ++x)
          outline_differs += IsBlack(*first, x, y) != IsBlack(*second, x, y);
      }
      EXPECT_GT(outline_differs, 500) << "asteroids " << a << " and " << b;
    }
  }
}

TEST_F(SpriteSheet, ShotsAreBright) {
  for (int i = 3; i <= 4; ++i) {
    auto shot = FramePixmap(kFrames[i]);
    float peak = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 7; ++x) peak = std::max(peak, Brightness(*shot, x, y));
    }
    EXPECT_GT(peak, 220.0f) << kFrames[i].name;
  }
}

TEST(Images, HaveTheSizesTheGameExpects) {
  struct Expected {
    const char* file;
    int width, height;
  } const expected[] = {{"title_flat.png", 417, 158},
                        {"backdrop.png", 640, 480},
                        {"pointer.png", 18, 18},
                        {"logo.png", 420, 236}};
  for (const Expected& e : expected) {
    auto pixmap = LoadAsset(e.file);
    ASSERT_NE(pixmap, nullptr) << e.file;
    EXPECT_EQ(pixmap->width, e.width) << e.file;
    EXPECT_EQ(pixmap->height, e.height) << e.file;
    EXPECT_EQ(pixmap->format, PF_RGB888) << e.file;
  }
}

TEST(Images, PointerTipIsTheTopLeftPixel) {
  auto pointer = LoadAsset("pointer.png");
  ASSERT_NE(pointer, nullptr);
  EXPECT_FALSE(IsBlack(*pointer, 0, 0));
  EXPECT_TRUE(IsBlack(*pointer, 17, 0));
  EXPECT_TRUE(IsBlack(*pointer, 17, 17));
  EXPECT_TRUE(IsBlack(*pointer, 0, 17));
}

TEST(Images, BackdropIsDarkWithBrightStars) {
  auto backdrop = LoadAsset("backdrop.png");
  ASSERT_NE(backdrop, nullptr);
  double total = 0;
  int stars = 0;
  for (int y = 0; y < backdrop->height; ++y) {
    for (int x = 0; x < backdrop->width; ++x) {
      float b = Brightness(*backdrop, x, y);
      total += b;
      stars += b > 160;
    }
  }
  EXPECT_LT(total / (640.0 * 480.0), 25.0) << "sprites must stand out over the backdrop";
  EXPECT_GT(stars, 40);
}

TEST(Embedded, ResourcesOpenThroughIncbinWithTheGeneratedBytes) {
  struct Resource {
    const char* url;
    std::string file;
  } const resources[] = {
      {kLogoUrl, kAssetDir + "/logo.png"},           {kTitleFlatUrl, kAssetDir + "/title_flat.png"},
      {kBackdropUrl, kAssetDir + "/backdrop.png"},   {kPointerUrl, kAssetDir + "/pointer.png"},
      {kSpriteSheetUrl, kAssetDir + "/sprites.png"}, {kFontUrl, VEXTRAL_FONT_FILE},
  };
  for (const Resource& r : resources) {
    auto stream = StreamOpen(r.url, 1, 0);
    ASSERT_NE(stream, nullptr) << r.url;
    std::string expected = Bytes(r.file);
    ASSERT_EQ(stream->Size(), static_cast<int64_t>(expected.size())) << r.url;
    std::string actual(expected.size(), '\0');
    stream->ReadBytes(actual.data(), static_cast<int64_t>(actual.size()));
    stream->Close();
    EXPECT_TRUE(actual == expected) << r.url;
  }
  EXPECT_EQ(StreamOpen(kSpriteSheetUrl, 0, 1), nullptr) << "embedded data is read-only";
}

TEST(Embedded, SpriteSheetLoadsFromTheExecutable) {
  auto sheet = LoadPixmap(kSpriteSheetUrl);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->width, 640);
  EXPECT_EQ(sheet->height, 361);
}

}  // namespace
