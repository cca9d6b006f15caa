// What the player sees besides the entities: the score line, spare ships, scanlines,
// the level banner, "GAME OVER" and the logo splash, read back from the draw calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "game/files.h"
#include "game/main_loop.h"
#include "game/menu.h"
#include "game/replay/viewer.h"
#include "game/screens.h"
#include "render/font.h"
#include "render/render2d.h"
#include "render/stereo.h"
#include "screens_support.h"

namespace {

using HudTest = ScreensTest;
using ScreenTest = ScreensTest;

// The one drawn text reading wanted (spaces ignored); fails the test when there is not
// exactly one.
drawn_text only_text(const std::vector<THeadlessCall>& calls, const std::string& wanted) {
  const auto matches = texts_reading(calls, wanted);
  EXPECT_EQ(matches.size(), 1u) << wanted;
  return matches.empty() ? drawn_text{} : matches.front();
}

TEST_F(HudTest, ScoreAndLevelShowTwoDigitsBelowTenAndSitAtTheLeftAndRightEdges) {
  new_game();
  player->best_sc = 12345;
  player->score = 5;
  auto calls = frame_calls();
  const drawn_text score = only_text(calls, "Score: 05");
  EXPECT_FLOAT_EQ(score.pen_x, 4.0f);
  EXPECT_FLOAT_EQ(score.pen_y, 0.0f);
  EXPECT_EQ(score.first.red, 200);
  EXPECT_EQ(score.first.green, 200);
  EXPECT_EQ(score.first.blue, 60);
  EXPECT_EQ(score.first.blend, BLEND_ALPHA);

  const drawn_text level = only_text(calls, "Level: 01");
  EXPECT_FLOAT_EQ(level.pen_x, static_cast<float>(636 - TextWidth("Level: 01")));
  EXPECT_FLOAT_EQ(level.pen_y, 0.0f);

  // Centred by hand with an integer half width.
  const drawn_text best = only_text(calls, "Best: 12345");
  EXPECT_FLOAT_EQ(best.pen_x, static_cast<float>(320 - TextWidth("Best: 12345") / 2));

  player->score = 12;
  player->level = 10;
  calls = frame_calls();
  only_text(calls, "Score: 12");
  only_text(calls, "Level: 10");

  player->score = 0;
  calls = frame_calls();
  only_text(calls, "Score: 00");
}

TEST_F(HudTest, TheHudIsDrawnOnTheTitleMenuToo) {
  player->best_sc = 7;
  const auto calls = frame_calls();
  only_text(calls, "Score: 00");
  only_text(calls, "Best: 07");
  only_text(calls, "Level: 01");
  EXPECT_TRUE(frames_drawn(calls, ship_img).empty());
}

struct box {
  float left, top, right, bottom;
};

box box_of(const drawn_text& text, const std::string& full_text) {
  const float width = static_cast<float>(TextWidth(full_text)) * text.first.ix;
  const float height = static_cast<float>(TextHeight(full_text)) * text.first.jy;
  return {text.pen_x, text.pen_y, text.pen_x + width, text.pen_y + height};
}

bool overlap(const box& a, const box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// A watched game's label: along the bottom edge in play, clear of the menus' version line
// (and of the items) on the title and pause menus, whichever of its two texts it shows.
TEST_F(HudTest, TheReplayLabelSitsClearOfTheVersionLineAndTheItems) {
  auto frame_with_label = [this](const std::string& label) {
    auto driver = HeadlessGraphicsDriver();
    driver->SetRecording(true);
    driver->ClearCalls();
    overlay_hook = [&label] { draw_replay_label(label); };
    step();
    overlay_hook = nullptr;
    auto calls = driver->Calls();
    driver->SetRecording(false);
    return calls;
  };
  for (const std::string label : {"REPLAY", "REPLAY PAUSED"}) {
    SCOPED_TRACE(label);
    start(1234);
    for (const int32_t state : {STATE_TITLE, STATE_PAUSE}) {
      if (state == STATE_PAUSE) {
        new_game();
        tap(27);
        step();
        ASSERT_EQ(game_state, STATE_PAUSE);
      }
      const auto calls = frame_with_label(label);
      const auto drawn = texts_reading(calls, label);
      ASSERT_EQ(drawn.size(), 1u);
      const box label_box = box_of(drawn[0], label);
      EXPECT_LE(label_box.right, 636.5f);
      const auto version = texts_reading(calls, version_text);
      ASSERT_EQ(version.size(), 1u);
      EXPECT_FALSE(overlap(label_box, box_of(version[0], version_text)))
          << "state " << state << ": label at " << label_box.left << "," << label_box.top;
      for (int32_t item = 0; item < 6; ++item) {
        for (const auto& text : texts_reading(calls, menu_label(item)))
          EXPECT_FALSE(overlap(label_box, box_of(text, menu_label(item)))) << menu_label(item);
      }
    }
    tap(32);
    step();
    ASSERT_EQ(game_state, STATE_PLAY);
    const auto drawn = texts_reading(frame_with_label(label), label);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_FLOAT_EQ(drawn[0].pen_y, static_cast<float>(478 - TextHeight(label)));
  }
}

// The spare-ship icons: ship_img drawn on the bottom row.
std::vector<THeadlessCall> spare_ships(const std::vector<THeadlessCall>& calls) {
  std::vector<THeadlessCall> icons;
  for (const auto& call : frames_drawn(calls, ship_img))
    if (call.args[5] == 470.0f) icons.push_back(call);
  return icons;
}

TEST_F(HudTest, SpareShipsRunAlongTheBottomAtEightyPercentWithoutTheShipInPlay) {
  new_game();
  auto icons = spare_ships(frame_calls());
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_FLOAT_EQ(icons[0].args[4], 14.0f);
  EXPECT_FLOAT_EQ(icons[1].args[4], 36.0f);
  EXPECT_FLOAT_EQ(icons[0].ix, 0.8f);
  EXPECT_FLOAT_EQ(icons[0].jy, 0.8f);
  EXPECT_EQ(icons[0].blend, BLEND_LIGHT);

  player->lives = 2;
  EXPECT_EQ(spare_ships(frame_calls()).size(), 1u);
  player->lives = 1;
  EXPECT_TRUE(spare_ships(frame_calls()).empty());

  // Only while playing: not on the pause menu.
  player->lives = 3;
  tap(27);
  step();
  ASSERT_EQ(game_state, STATE_PAUSE);
  EXPECT_TRUE(spare_ships(frame_calls()).empty());
}

TEST_F(HudTest, InStereoEachHudTextIsATintedPairTwoPixelsEitherSide) {
  new_game();
  stereo_mode = 3;
  stereo_settings(0);
  const auto pair = texts_reading(frame_calls(), "Score: 00");
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_FLOAT_EQ(pair[0].pen_x, 2.0f);
  EXPECT_FLOAT_EQ(pair[1].pen_x, 6.0f);
  EXPECT_EQ(pair[0].first.blend, BLEND_LIGHT);
  EXPECT_EQ(pair[0].first.red, 4);
  EXPECT_EQ(pair[0].first.green, 80);
  EXPECT_EQ(pair[0].first.blue, 60);
  EXPECT_EQ(pair[1].first.red, 140);
  EXPECT_EQ(pair[1].first.green, 4);
  EXPECT_EQ(pair[1].first.blue, 10);
}

// How many pixels of two equally sized pictures differ.
int32_t pixels_differing(const TPixmap& a, const TPixmap& b) {
  int32_t differing = 0;
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x) differing += a.ReadPixel(x, y) != b.ReadPixel(x, y);
  return differing;
}

TEST_F(ScreenTest, InStereoTheBackdropPairsAreAddedUpOnceAndTheSumCopiedUntilTheTintsChange) {
  new_game();
  SetViewport(0, 0, 640, 480);  // the simulator clips everything away to save time
  stereo_mode = 3;
  stereo_settings(0);
  // The frame after a change draws the tinted pairs; the next ones one copy of their sum.
  EXPECT_EQ(frames_drawn(frame_calls(), backdrop_img).size(), 4u);
  const auto calls = frame_calls();
  EXPECT_TRUE(frames_drawn(calls, backdrop_img).empty());
  const auto copy = std::find_if(calls.begin(), calls.end(), [](const THeadlessCall& call) {
    return call.kind == "DrawFrame" && call.args[2] == 640.0f && call.args[3] == 480.0f;
  });
  ASSERT_NE(copy, calls.end());
  EXPECT_EQ(copy->blend, BLEND_SOLID);

  const auto backdrop_drawn = [] {
    SetClsColor(0, 0, 0);
    draw_backdrop();
    // Left as the stereo helper leaves it: additive, in the right-eye tint.
    EXPECT_EQ(GetBlend(), BLEND_LIGHT);
    int32_t red = 0, green = 0, blue = 0;
    GetColor(red, green, blue);
    EXPECT_EQ(red, draw3d->reye_r);
    EXPECT_EQ(green, draw3d->reye_g);
    EXPECT_EQ(blue, draw3d->reye_b);
    return GrabPixmap(0, 0, 640, 480);
  };
  const auto mode3_copied = backdrop_drawn();
  stereo_mode = 1;
  stereo_settings(0);
  const auto mode1_pairs = backdrop_drawn();
  const auto mode1_copied = backdrop_drawn();
  EXPECT_EQ(pixels_differing(*mode1_pairs, *mode1_copied), 0);
  EXPECT_GT(pixels_differing(*mode1_pairs, *mode3_copied), 1000) << "new tints, new sum";
  stereo_mode = 3;
  stereo_settings(0);
  EXPECT_EQ(pixels_differing(*backdrop_drawn(), *mode3_copied), 0);
}

std::vector<THeadlessCall> lines_of(const std::vector<THeadlessCall>& calls) {
  std::vector<THeadlessCall> lines;
  for (const auto& call : calls)
    if (call.kind == "DrawLine") lines.push_back(call);
  return lines;
}

TEST_F(ScreenTest, ScanlinesDarkenEveryOddRowOverTheHudOnlyInPlainMode) {
  new_game();
  auto calls = frame_calls();
  const auto lines = lines_of(calls);
  ASSERT_EQ(lines.size(), 240u);
  for (size_t index = 0; index < lines.size(); ++index) {
    const float row = static_cast<float>(2 * index + 1);
    // Recorded relative to its start point: from (0, row) 640 pixels to the right.
    EXPECT_EQ(lines[index].args, (std::vector<float>{0.0f, 0.0f, 640.0f, 0.0f, 0.0f, row}));
    EXPECT_EQ(lines[index].blend, BLEND_SOLID);
    EXPECT_EQ(lines[index].red, 5);
    EXPECT_EQ(lines[index].green, 5);
  }
  // Every line comes after the last glyph of the score line.
  size_t last_text = 0, first_line = calls.size();
  for (size_t index = 0; index < calls.size(); ++index) {
    if (calls[index].kind == "DrawLine" && first_line == calls.size()) first_line = index;
    if (calls[index].kind == "DrawFrame") last_text = index;
  }
  EXPECT_LT(last_text, first_line);

  stereo_mode = 1;
  stereo_settings(0);
  EXPECT_TRUE(lines_of(frame_calls()).empty());
  stereo_mode = 0;
  EXPECT_EQ(lines_of(frame_calls()).size(), 240u);
}

TEST_F(ScreenTest, TheLevelBannerIsCentredAndFadesOverTwoHundredFiftyFrames) {
  new_game();
  banner_alpha = 1.0f;
  bonus_text = "Bonus: 1500";
  const auto calls = frame_calls();
  const drawn_text banner = only_text(calls, "Level Clear!");
  EXPECT_FLOAT_EQ(banner.first.ix, 2.0f);
  EXPECT_FLOAT_EQ(banner.first.alpha, 1.0f);
  EXPECT_NEAR(banner.pen_x, 320.0f - TextWidth("Level Clear!") * 2.0f / 2.0f, 1e-3f);
  EXPECT_NEAR(banner.pen_y, 195.0f - TextHeight("") * 2.0f / 2.0f, 1e-3f);
  const drawn_text bonus = only_text(calls, "Bonus: 1500");
  EXPECT_FLOAT_EQ(bonus.first.ix, 3.0f);
  EXPECT_NEAR(bonus.pen_x, 320.0f - TextWidth("Bonus: 1500") * 3.0f / 2.0f, 1e-3f);

  int frames = 1;
  while (banner_alpha > 0 && frames < 400) {
    step();
    ++frames;
  }
  EXPECT_NEAR(frames, 250, 1);
  EXPECT_TRUE(texts_reading(frame_calls(), "Level Clear!").empty());
}

TEST_F(ScreenTest, GameOverIsHeldThenFadesBackToTheTitleMenu) {
  new_game();
  game_state = STATE_GAME_OVER;
  gameover_alpha = 1.0f;
  state_ctr = 0;
  auto calls = frame_calls();
  const drawn_text text = only_text(calls, "GAME OVER");
  EXPECT_FLOAT_EQ(text.first.ix, 3.0f);
  EXPECT_NEAR(text.pen_x, 320.0f - TextWidth("GAME OVER") * 3.0f / 2.0f, 1e-3f);
  EXPECT_NEAR(text.pen_y, 225.0f - TextHeight("") * 3.0f / 2.0f, 1e-3f);
  EXPECT_EQ(text.first.red, 200);
  // No entity is drawn meanwhile.
  EXPECT_TRUE(frames_drawn(calls, astro_img).empty());

  step(199);
  calls = frame_calls();
  EXPECT_FLOAT_EQ(only_text(calls, "GAME OVER").first.alpha, 0.99f);
  int frames = 0;
  while (game_state == STATE_GAME_OVER && frames < 200) {
    step();
    ++frames;
  }
  EXPECT_NEAR(frames, 99, 2);
  EXPECT_EQ(game_state, STATE_TITLE);
}

TEST_F(ScreenTest, EscapeOnlyEndsTheSplashAndDoesNotQuitTheTitleMenu) {
  // The fixture skipped the splash with an Escape press on its first frame.
  EXPECT_EQ(sim_->frames_run(), 1);
  step(30);
  EXPECT_EQ(game_state, STATE_TITLE);
  EXPECT_FALSE(sim_->quit());
}

// Runs the splash alone (no input), recording its draw calls, in a data folder holding
// the given stereo mode.
struct splash_run {
  explicit splash_run(int32_t stereo) {
    folder = ::testing::TempDir() + "vextral_splash_" + std::to_string(stereo);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream file(folder + "/anaglyph3d.dat", std::ios::binary);
    const char bytes[4] = {static_cast<char>(stereo), 0, 0, 0};
    file.write(bytes, 4);
    file.close();
    sim_config config;
    config.data_dir = folder;
    config.record_draw_calls = true;
    sim = std::make_unique<simulator>(config);
    EXPECT_TRUE(sim->start());
    calls = HeadlessGraphicsDriver()->Calls();
    HeadlessGraphicsDriver()->ClearCalls();
  }
  ~splash_run() {
    sim.reset();
    std::filesystem::remove_all(folder);
  }
  // The logo's draw calls (the only image drawn on the row y 215).
  std::vector<THeadlessCall> logo() const {
    std::vector<THeadlessCall> found;
    for (const auto& call : calls)
      if (call.kind == "DrawFrame" && call.args[5] == 215.0f) found.push_back(call);
    return found;
  }
  std::string folder;
  std::unique_ptr<simulator> sim;
  std::vector<THeadlessCall> calls;
};

TEST(SplashTest, PlainTheLogoIsDrawnAtFullSizeHeldThenFaded) {
  splash_run run(0);
  EXPECT_EQ(game_state, STATE_TITLE);
  // 225 frames at full alpha, then 100 of fading.
  EXPECT_NEAR(run.sim->frames_run(), 326, 2);
  const auto logo = run.logo();
  ASSERT_EQ(static_cast<int64_t>(logo.size()), run.sim->frames_run());
  EXPECT_FLOAT_EQ(logo.front().args[4], 320.0f);
  EXPECT_FLOAT_EQ(logo.front().ix, 1.0f);
  EXPECT_FLOAT_EQ(logo.front().alpha, 1.0f);
  EXPECT_EQ(logo.front().blend, BLEND_ALPHA);
  EXPECT_FLOAT_EQ(logo[200].alpha, 1.0f);
  EXPECT_LT(logo.back().alpha, 0.05f);
  EXPECT_EQ(lines_of(run.calls).size(), 240u * static_cast<size_t>(run.sim->frames_run()));
  // No HUD during the splash.
  EXPECT_TRUE(texts_reading(run.calls, "Score: 00").empty());
}

TEST(SplashTest, InStereoTheLogoGrowsAndComesForwardWhileItFades) {
  splash_run run(2);
  EXPECT_EQ(game_state, STATE_TITLE);
  const auto logo = run.logo();
  ASSERT_GE(logo.size(), 8u);
  // Two pairs a frame: the left copy at x - depth (depth starts at -4).
  EXPECT_FLOAT_EQ(logo[0].args[4], 324.0f);
  EXPECT_FLOAT_EQ(logo[1].args[4], 316.0f);
  EXPECT_FLOAT_EQ(logo[2].args[4], 324.0f);
  EXPECT_FLOAT_EQ(logo[0].ix, 0.1f);
  EXPECT_EQ(logo[0].blend, BLEND_LIGHT);
  EXPECT_EQ(logo[0].red, 4);  // R\G: left eye 4, 100, 20
  EXPECT_EQ(logo[1].red, 140);
  EXPECT_NEAR(logo[4].ix, 0.104f, 1e-5f);
  EXPECT_NEAR(logo[4].args[4], 323.95f, 1e-4f);
  EXPECT_GT(logo.back().ix, 1.1f);
  EXPECT_LT(logo.back().alpha, 0.05f);
  EXPECT_TRUE(lines_of(run.calls).empty());
  EXPECT_EQ(logo.size() % 4, 0u);
}

}  // namespace
