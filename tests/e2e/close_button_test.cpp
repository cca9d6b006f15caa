// The window's close button on the real OpenGL window (under Xvfb there is no window
// manager to press it, so SDL's close events are pushed into the game's own queue):
// the game leaves through its exit path and saves both settings, whether the close
// comes during play or during the splash.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "game/globals.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "render/graphics.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PushWindowClose() {
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  ASSERT_NE(window, nullptr);
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_CLOSE;
  event.window.windowID = SDL_GetWindowID(window);
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void PushKey(SDL_EventType type, SDL_Scancode scancode, SDL_Keycode symbol) {
  SDL_Event event{};
  event.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = symbol;
  if (SDL_Window* window = SDL_GL_GetCurrentWindow()) event.key.windowID = SDL_GetWindowID(window);
  SDL_PushEvent(&event);
}

class CloseButton : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("vextral-close-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "data");
    reset_game_globals();
    data_folder = (folder_ / "data").string();
  }

  void TearDown() override {
    frame_hook = nullptr;
    EndGraphics();
    reset_game_globals();
    fs::remove_all(folder_);
  }

  void WriteSetting(const std::string& name, std::vector<uint8_t> bytes) {
    std::ofstream out(folder_ / "data" / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }

  std::vector<uint8_t> Setting(const std::string& name) {
    return FileBytes(folder_ / "data" / name);
  }

  fs::path folder_;
};

// A game stuck in its loop would hang the test; this ends it with a failure instead.
constexpr int kFrameLimit = 900;

TEST_F(CloseButton, DuringPlaySavesBothSettingsAndEndsTheLoopOnThatFrame) {
  WriteSetting("anaglyph3d.dat", {2, 0, 0, 0});
  int splash_frames = 0;
  frame_hook = [&] {
    // Escape on the second splash frame, as a player skipping the logo.
    if (++splash_frames == 2) {
      PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
      PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    }
    if (splash_frames > kFrameLimit) throw std::runtime_error("the splash never ended");
  };
  ASSERT_TRUE(game_startup());
  ASSERT_EQ(game_state, STATE_TITLE);
  ASSERT_EQ(quit_requested, 0);

  player_tag::reset(1);
  game_state = STATE_PLAY;
  int play_frames = 0;
  frame_hook = [&] {
    ++play_frames;
    if (play_frames == 10) player->score = 4321;
    if (play_frames == 20) PushWindowClose();
    if (play_frames > kFrameLimit) throw std::runtime_error("the close request was ignored");
  };
  run_main_loop();
  EXPECT_EQ(play_frames, 20) << "the close request should end the loop after its own frame";
  EXPECT_EQ(game_state, STATE_PLAY);
  game_exit();

  EXPECT_EQ(Setting("hiscore.dat"), (std::vector<uint8_t>{0xE1, 0x10, 0, 0}));
  EXPECT_EQ(Setting("anaglyph3d.dat"), (std::vector<uint8_t>{2, 0, 0, 0}));
}

TEST_F(CloseButton, DuringTheSplashEndsItAtOnceAndRunsOneFrame) {
  WriteSetting("hiscore.dat", {0x39, 0x30, 0, 0});
  int splash_frames = 0;
  frame_hook = [&] {
    if (++splash_frames == 3) PushWindowClose();
    if (splash_frames > kFrameLimit) throw std::runtime_error("the close request was ignored");
  };
  ASSERT_TRUE(game_startup());
  EXPECT_EQ(splash_frames, 3) << "the splash should end on the frame the close arrives";
  EXPECT_EQ(quit_requested, 1);

  int loop_frames = 0;
  frame_hook = [&] { ++loop_frames; };
  run_main_loop();
  EXPECT_EQ(loop_frames, 1);
  game_exit();

  EXPECT_EQ(Setting("hiscore.dat"), (std::vector<uint8_t>{0x39, 0x30, 0, 0}));
  EXPECT_EQ(Setting("anaglyph3d.dat"), (std::vector<uint8_t>{0, 0, 0, 0}));
}

}  // namespace
