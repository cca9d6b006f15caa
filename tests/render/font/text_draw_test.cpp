// Drawing and measuring text on a headless render state: pen placement through origin,
// handle and matrix, glyph offsets, blank glyphs, and font selection.

#include <cmath>

#include "headless_fixture.h"
#include "render/font.h"
#include "render/freetype_font.h"

namespace {

const char kFontPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

class TextTest : public HeadlessTest {};

TEST_F(TextTest, NewRenderStateUsesTheBuiltInFont) {
  EXPECT_EQ(GetImageFont(), DefaultImageFont());
  EXPECT_EQ(TRender2DGraphics::Current()->image_font, DefaultImageFont());
  EXPECT_EQ(TextWidth("ABC"), 24);
  EXPECT_EQ(TextHeight("anything"), 16);
}

TEST_F(TextTest, SetImageFontSelectsAFontAndNoneGoesBackToTheBuiltIn) {
  std::shared_ptr<TImageFont> font = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  ASSERT_TRUE(font);
  SetImageFont(font);
  EXPECT_EQ(GetImageFont(), font);
  EXPECT_EQ(TextHeight(""), font->Height());
  SetImageFont(nullptr);
  EXPECT_EQ(GetImageFont(), DefaultImageFont());
  EXPECT_EQ(TextHeight(""), 16);
}

TEST_F(TextTest, BuiltInGlyphsAreDrawnEightPixelsApartWithTheirWholeCell) {
  DrawText("Hi!", 100.0f, 40.0f);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 3u);
  for (size_t i = 0; i < draws.size(); ++i) {
    EXPECT_EQ(DrawX(draws[i]), 100.0f + 8.0f * static_cast<float>(i));
    EXPECT_EQ(DrawY(draws[i]), 40.0f);
    EXPECT_EQ(std::vector<float>(draws[i].args.end() - 6, draws[i].args.end() - 2),
              std::vector<float>({0.0f, 0.0f, 8.0f, 16.0f}));
  }
  EXPECT_NE(draws[0].pixmap, draws[1].pixmap);
}

TEST_F(TextTest, CharactersWithoutGlyphsAreSkippedWithoutMovingThePen) {
  DrawText(std::string("A\xC8\x01"
                       "B"),
           0.0f, 0.0f);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(DrawX(draws[1]), 8.0f);
  driver_->ClearCalls();
  DrawText("", 0.0f, 0.0f);
  EXPECT_TRUE(Draws().empty());
}

TEST_F(TextTest, PenStartsAtOriginPlusTheTransformedHandle) {
  SetOrigin(10.0f, 20.0f);
  SetHandle(4.0f, 2.0f);
  DrawText("A", 100.0f, 100.0f);
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_EQ(DrawX(Draws()[0]), 106.0f);
  EXPECT_EQ(DrawY(Draws()[0]), 118.0f);

  SetScale(2.0f, 3.0f);
  driver_->ClearCalls();
  DrawText("AB", 100.0f, 100.0f);
  ASSERT_EQ(Draws().size(), 2u);
  EXPECT_EQ(DrawX(Draws()[0]), 102.0f);
  EXPECT_EQ(DrawY(Draws()[0]), 114.0f);
  EXPECT_EQ(DrawX(Draws()[1]), 118.0f);
}

TEST_F(TextTest, RotatedTextAdvancesAlongTheRotatedAxis) {
  SetRotation(90.0f);
  DrawText("AB", 50.0f, 50.0f);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_NEAR(DrawX(draws[1]), 50.0f, 1e-4);
  EXPECT_NEAR(DrawY(draws[1]), 58.0f, 1e-4);
}

TEST_F(TextTest, FreeTypeGlyphsAreOffsetByTheirRectangleAndSpacesOnlyAdvance) {
  std::shared_ptr<TImageFont> font = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  ASSERT_TRUE(font);
  SetImageFont(font);
  std::shared_ptr<TImageGlyph> h = font->LoadGlyph(font->CharToGlyph('H'));
  std::shared_ptr<TImageGlyph> space = font->LoadGlyph(font->CharToGlyph(' '));
  int32_t x, y, w, hgt;
  h->GetRect(x, y, w, hgt);
  driver_->ClearCalls();

  DrawText("H H", 200.0f, 100.0f);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(DrawX(draws[0]), 200.0f + static_cast<float>(x));
  EXPECT_EQ(DrawY(draws[0]), 100.0f + static_cast<float>(y));
  EXPECT_EQ(draws[0].args.at(draws[0].args.size() - 4), static_cast<float>(w));
  EXPECT_EQ(draws[0].args.at(draws[0].args.size() - 3), static_cast<float>(hgt));
  EXPECT_EQ(DrawX(draws[1]), DrawX(draws[0]) + h->Advance() + space->Advance());

  const int32_t width = TextWidth("H H");
  EXPECT_EQ(width, static_cast<int32_t>(2 * h->Advance() + space->Advance()));
  EXPECT_GT(width, 0);
}

TEST_F(TextTest, SmoothFontInkLandsWhereFreeTypePutIt) {
  std::shared_ptr<TImageFont> smooth = LoadImageFont(kFontPath, 22, FONT_SMOOTH);
  std::shared_ptr<TImageFont> plain = LoadImageFont(kFontPath, 22, 0);
  ASSERT_TRUE(smooth && plain);
  SetImageFont(plain);
  DrawText("W", 50.0f, 50.0f);
  SetImageFont(smooth);
  DrawText("W", 50.0f, 50.0f);
  const std::vector<THeadlessCall> draws = Draws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(DrawX(draws[1]), DrawX(draws[0]) - 1.0f);
  EXPECT_EQ(DrawY(draws[1]), DrawY(draws[0]) - 1.0f);
}

}  // namespace
