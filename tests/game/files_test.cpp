// The best-score and stereo-mode files: their four-byte format, the values they load as,
// and saving at exit that never loses a good file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "game/files.h"
#include "render/stereo.h"
#include "screens_support.h"

namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = ::testing::TempDir() + "vextral_files_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(root_);
    fs::create_directories(root_);
    folder_ = root_ + "/data";
    fs::create_directories(folder_);
  }
  void TearDown() override {
    sim_.reset();
    std::error_code error;
    fs::remove_all(root_, error);
  }

  static void write_bytes(const std::string& path, const bytes& content) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
  }
  static std::optional<bytes> read_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::string best_file() const { return folder_ + "/hiscore.dat"; }
  std::string stereo_file() const { return folder_ + "/anaglyph3d.dat"; }

  // Starts the game on folder (the splash skipped with Escape) and stays on the title.
  void start_game(const std::string& folder) {
    sim_.reset();
    sim_config config;
    config.data_dir = folder;
    sim_event escape;
    escape.kind = sim_event_kind::key_down;
    escape.code = 27;
    config.events.push_back(escape);
    sim_ = std::make_unique<simulator>(config);
    ASSERT_TRUE(sim_->start());
  }
  void start_game() { start_game(folder_); }
  // The game's exit path, then the simulator is gone.
  void exit_game() {
    sim_->finish();
    sim_.reset();
  }
  void click_item(int32_t item) {
    for (auto kind :
         {sim_event_kind::mouse_move, sim_event_kind::mouse_down, sim_event_kind::mouse_up}) {
      sim_event event;
      event.frame = sim_->frames_run();
      event.kind = kind;
      event.code = 1;
      event.x = 320;
      event.y = 252 + 30 * item;
      sim_->add_event(event);
    }
    sim_->step();
  }

  std::string root_;
  std::string folder_;
  std::unique_ptr<simulator> sim_;
};

TEST_F(SettingsFileTest, TheBestScoreRoundTripsUnchangedWhenNothingIsPlayed) {
  write_bytes(best_file(), {0x39, 0x30, 0x00, 0x00});
  start_game();
  EXPECT_EQ(player->best_sc, 12345);
  sim_->step(10);
  exit_game();
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x39, 0x30, 0x00, 0x00}));
  // No temporary file is left behind.
  EXPECT_FALSE(fs::exists(best_file() + ".tmp"));
}

TEST_F(SettingsFileTest, ChoosingRCIsSavedAtExitAndComesBackWithItsTintsOnTheNextRun) {
  start_game();
  EXPECT_EQ(stereo_mode, 0);
  EXPECT_EQ(draw3d->leye_r, 0);
  for (int click = 0; click < 3; ++click) click_item(1);
  EXPECT_EQ(stereo_mode, 3);
  // Reaches the file only at exit.
  EXPECT_FALSE(fs::exists(stereo_file()));
  player->best_sc = 70000;
  exit_game();
  EXPECT_EQ(read_bytes(stereo_file()), (bytes{0x03, 0x00, 0x00, 0x00}));
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x70, 0x11, 0x01, 0x00}));

  start_game();
  EXPECT_EQ(stereo_mode, 3);
  EXPECT_EQ(player->best_sc, 70000);
  EXPECT_EQ(draw3d->leye_r, 4);
  EXPECT_EQ(draw3d->leye_g, 80);
  EXPECT_EQ(draw3d->leye_b, 60);
  EXPECT_EQ(draw3d->reye_r, 140);
}

TEST_F(SettingsFileTest, AStoredStereoValueOutsideTheSchemesLoadsAsOff) {
  for (const bytes& stored :
       {bytes{0x07, 0, 0, 0}, bytes{0xff, 0xff, 0xff, 0xff}, bytes{0x05, 0, 0, 0}}) {
    write_bytes(stereo_file(), stored);
    start_game();
    EXPECT_EQ(stereo_mode, 0);
    EXPECT_EQ(draw3d->leye_r, 0);
    sim_->step(2);  // draws the menu's "3D Graphics: " label without trouble
    exit_game();
    EXPECT_EQ(read_bytes(stereo_file()), (bytes{0, 0, 0, 0}));
  }
}

TEST_F(SettingsFileTest, NegativeEmptyOrShortBestScoreFilesLoadSensibly) {
  const struct {
    bytes stored;
    int32_t best;
  } cases[] = {
      {{0xfb, 0xff, 0xff, 0xff}, 0},  // -5
      {{}, 0},
      {{0x39, 0x30}, 12345},  // missing high bytes read as 0
      {{0x01, 0x00, 0x00, 0x00, 0x99}, 1},
  };
  for (const auto& test : cases) {
    write_bytes(best_file(), test.stored);
    start_game();
    EXPECT_EQ(player->best_sc, test.best);
    exit_game();
  }
}

TEST_F(SettingsFileTest, FoldersWhereTheFilesShouldBeLeaveTheDefaults) {
  fs::create_directories(best_file());
  fs::create_directories(stereo_file());
  start_game();
  EXPECT_EQ(player->best_sc, 0);
  EXPECT_EQ(stereo_mode, 0);
  ::testing::internal::CaptureStderr();
  exit_game();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("game: could not save"), std::string::npos) << errors;
  EXPECT_TRUE(fs::is_directory(best_file()));
}

TEST_F(SettingsFileTest, AMissingDataFolderIsCreatedAtExitAndTheGameRunsSilently) {
  const std::string missing = root_ + "/nowhere/data";
  ::testing::internal::CaptureStderr();
  start_game(missing);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("audio: cannot load"), std::string::npos);
  EXPECT_EQ(snd_shoot, nullptr);
  // A whole game's worth of sounds with nothing to play.
  click_item(0);
  ASSERT_EQ(game_state, STATE_PLAY);
  ufo_tmr = 1;
  sim_->step(30);
  player->score = 40;
  sim_->step(1);
  exit_game();
  EXPECT_EQ(read_bytes(missing + "/hiscore.dat"), (bytes{40, 0, 0, 0}));
  EXPECT_EQ(read_bytes(missing + "/anaglyph3d.dat"), (bytes{0, 0, 0, 0}));
}

TEST_F(SettingsFileTest, AnUnwritableFolderLosesTheSaveButNotTheExit) {
  // A regular file where the folder's parent should be: nothing can be created there.
  write_bytes(root_ + "/blocked", {1});
  const std::string folder = root_ + "/blocked/data";
  start_game(folder);
  player->best_sc = 99;
  ::testing::internal::CaptureStderr();
  exit_game();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("game: could not save"), std::string::npos) << errors;
  EXPECT_TRUE(fs::is_regular_file(root_ + "/blocked"));
}

TEST_F(SettingsFileTest, AFailedWriteKeepsTheOldFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  write_bytes(best_file(), {0x39, 0x30, 0x00, 0x00});
  // Whatever is written to the temporary file hits a full disk.
  fs::create_symlink("/dev/full", best_file() + ".tmp");
  start_game();
  player->best_sc = 50000;
  ::testing::internal::CaptureStderr();
  exit_game();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("game: could not save"), std::string::npos) << errors;
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x39, 0x30, 0x00, 0x00}));
  EXPECT_FALSE(fs::exists(fs::symlink_status(best_file() + ".tmp")));
  // The other file is saved regardless.
  EXPECT_EQ(read_bytes(stereo_file()), (bytes{0, 0, 0, 0}));
}

TEST_F(SettingsFileTest, SavingReplacesTheFileWhateverTheCaseOfItsName) {
  // The stereo file was once saved under another spelling of the folder.
  const std::string upper = root_ + "/Data";
  fs::rename(folder_, upper);
  write_bytes(upper + "/anaglyph3d.dat", {0x02, 0, 0, 0});
  EXPECT_TRUE(write_setting_file(folder_ + "/anaglyph3d.dat", 4));
  EXPECT_EQ(read_bytes(upper + "/anaglyph3d.dat"), (bytes{0x04, 0, 0, 0}));
  EXPECT_FALSE(fs::exists(folder_));
  int32_t value = 0;
  EXPECT_TRUE(read_setting_file(folder_ + "/anaglyph3d.dat", value));
  EXPECT_EQ(value, 4);
  EXPECT_FALSE(read_setting_file(folder_ + "/missing.dat", value));
  EXPECT_EQ(value, 4);
}

}  // namespace
