// The game's own frames drawn by the OpenGL driver (Mesa's llvmpipe under Xvfb), compared
// with pictures of the same scripted game kept in reference/: the stereo title, play in
// stereo, the pause menu and plain play with its scanlines. The pictures were drawn by the
// fixed-function OpenGL driver this one replaced, so a fault this driver made everywhere
// would still show. The test runs once per kind of context (VEXTRAL_GL_CONTEXT).
// On any difference the picture and a map of the differing pixels are left in the test's
// folder. If the game's pictures change on purpose, the new ones must be checked by eye
// before they replace the kept ones.
//
// Tolerance: every pixel is placed and covered alike, but llvmpipe rounds a modulated or
// blended colour component now and then one level apart between paths (two where a stereo
// pair adds two draws). So each component may differ by at most 2 levels, on at most 0.5 %
// of the pixels. A misplaced sprite, a wrong tint, blend or alpha breaks both bounds.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/keys.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/pixmap.h"
#include "render/simulated_display.h"
#include "tools/sim/simulator.h"

#ifndef VEXTRAL_TEST_DATA_DIR
#define VEXTRAL_TEST_DATA_DIR ""
#endif
#ifndef VEXTRAL_REFERENCE_DIR
#define VEXTRAL_REFERENCE_DIR ""
#endif

namespace {

using Screens = std::map<std::string, std::shared_ptr<TPixmap>>;

sim_event At(int64_t frame, sim_event_kind kind, int32_t code = 0, int32_t x = 0, int32_t y = 0) {
  sim_event event;
  event.frame = frame;
  event.kind = kind;
  event.code = code;
  event.x = x;
  event.y = y;
  return event;
}

// Clicks a title-menu item (0 to 5) on the given frame.
void Click(std::vector<sim_event>& events, int64_t frame, int32_t item) {
  events.push_back(At(frame, sim_event_kind::mouse_move, 0, 320, 252 + 30 * item));
  events.push_back(At(frame, sim_event_kind::mouse_down, 1));
  events.push_back(At(frame, sim_event_kind::mouse_up, 1));
}

void Key(std::vector<sim_event>& events, int64_t down, int64_t up, int32_t key) {
  events.push_back(At(down, sim_event_kind::key_down, key));
  events.push_back(At(up, sim_event_kind::key_up, key));
}

std::shared_ptr<TPixmap> Screen() {
  return GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
}

// One scripted game on the driver: Escape skips the splash; the stereo item is clicked to
// R\C; a game starts; the ship turns, thrusts and fires; Space pauses it.
Screens PlayOn(const std::shared_ptr<TGraphicsDriver>& driver) {
  std::vector<sim_event> events;
  Key(events, 0, 1, kKeyEscape);
  Click(events, 5, 1);
  Click(events, 6, 1);
  Click(events, 7, 1);
  Click(events, 40, 0);  // Start Game
  Key(events, 50, 80, kKeyLeft);
  Key(events, 60, 120, kKeyUp);
  Key(events, 55, 140, kKeyLeftControl);
  Key(events, 161, 162, kKeySpace);  // pause

  // Flips are timed against a display that only exists in time: no real sleeping.
  SetDisplay(std::make_shared<TSimulatedDisplay>(60.0));
  sim_config config;
  config.seed = 77;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.events = events;
  config.draw_pixels = true;
  config.graphics_driver = driver;
  Screens screens;
  {
    simulator sim(config);
    if (!sim.start()) {
      ADD_FAILURE() << "no display for the driver";
      SetDisplay(nullptr);
      return screens;
    }
    sim.step(30 - sim.frames_run());
    EXPECT_EQ(stereo_mode, 3);
    EXPECT_EQ(game_state, STATE_TITLE);
    screens["stereo_title"] = Screen();
    sim.step(150 - sim.frames_run());
    EXPECT_EQ(game_state, STATE_PLAY);
    screens["stereo_play"] = Screen();
    sim.step(170 - sim.frames_run());
    EXPECT_EQ(game_state, STATE_PAUSE);
    screens["pause_menu"] = Screen();
    // Plain drawing: the flat backdrop and the scanline overlay (lines).
    sim.add_event(At(sim.frames_run(), sim_event_kind::key_down, kKeySpace));
    sim.add_event(At(sim.frames_run() + 1, sim_event_kind::key_up, kKeySpace));
    sim.step(2);
    stereo_mode = 0;
    stereo_settings(0);
    sim.step(20);
    EXPECT_EQ(game_state, STATE_PLAY);
    screens["plain_play"] = Screen();
  }
  SetDisplay(nullptr);
  return screens;
}

struct Difference {
  int64_t pixels = 0;
  int32_t largest = 0;  // largest difference of one colour component
};

Difference Compare(const TPixmap& a, const TPixmap& b, const std::string& name) {
  Difference difference;
  std::shared_ptr<TPixmap> map = CreatePixmap(a.width, a.height, PF_RGBA8888);
  map->ClearPixels(0xFF000000u);
  for (int32_t y = 0; y < a.height; ++y) {
    for (int32_t x = 0; x < a.width; ++x) {
      const uint32_t pa = a.ReadPixel(x, y), pb = b.ReadPixel(x, y);
      if (pa == pb) continue;
      ++difference.pixels;

      for (int32_t shift = 0; shift < 32; shift += 8) {
        const int32_t delta = std::abs(static_cast<int32_t>((pa >> shift) & 0xFF) -
                                       static_cast<int32_t>((pb >> shift) & 0xFF));
        difference.largest = std::max(difference.largest, delta);
      }
      map->WritePixel(x, y, 0xFFFFFFFFu);
    }
  }
  if (difference.pixels > 0) SavePixmapPNG(map, name + "_difference.png");
  return difference;
}

TEST(RendererMatch, TheDriverDrawsTheGameAsTheKeptPicturesShowIt) {
  const Screens drawn = PlayOn(GLRender2DDriver());
  ASSERT_EQ(drawn.size(), 4u);
  for (const auto& [name, picture] : drawn) {
    const std::string reference_path = std::string(VEXTRAL_REFERENCE_DIR) + "/" + name + ".png";
    std::shared_ptr<TPixmap> reference = LoadPixmap(reference_path);
    ASSERT_TRUE(reference) << reference_path;
    ASSERT_TRUE(picture) << name;
    ASSERT_EQ(picture->width, reference->width);
    ASSERT_EQ(picture->height, reference->height);
    if (reference->format != PF_RGBA8888) reference = reference->Convert(PF_RGBA8888);
    const Difference difference = Compare(*picture, *reference, name);
    if (difference.pixels > 0) SavePixmapPNG(picture, name + "_drawn.png");
    EXPECT_LE(difference.largest, 2) << name << ": " << difference.pixels << " pixels differ";
    EXPECT_LE(difference.pixels, 640 * 480 / 200)
        << name << ": largest component difference " << difference.largest;
    std::printf("%s: %lld pixels differ, by at most %d\n", name.c_str(),
                static_cast<long long>(difference.pixels), difference.largest);
  }
}

}  // namespace
