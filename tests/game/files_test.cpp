// The best-score and stereo-mode files: their four-byte format, the values they load as,
// and saving at exit that never loses a good file. The kept replays beside them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/replay_files.h"
#include "game/replay_format.h"
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
    // The player's own folder is a private one, never the real home's.
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);
      saved_environment_.emplace_back(name,
                                      value ? std::optional<std::string>(value) : std::nullopt);
    }
    home_ = root_ + "/home";
    ::setenv("HOME", home_.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
  }
  void TearDown() override {
    sim_.reset();
    for (const auto& [name, value] : saved_environment_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
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

  // A data folder nobody can create, whoever runs the test: its parent is a regular file.
  std::string blocked_folder() {
    write_bytes(root_ + "/blocked", {1});
    return root_ + "/blocked/data";
  }
  std::string player_folder() const { return home_ + "/.local/share/vextral"; }

  std::string root_;
  std::string folder_;
  std::string home_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_environment_;
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
  const std::string folder = blocked_folder();
  ::unsetenv("HOME");
  start_game(folder);
  player->best_sc = 99;
  ::testing::internal::CaptureStderr();
  exit_game();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  // Both files fail for the one reason, said once.
  const auto said = errors.find("game: the best score and stereo setting cannot be saved");
  ASSERT_NE(said, std::string::npos) << errors;
  EXPECT_EQ(errors.find("game:", said + 1), std::string::npos) << errors;
  EXPECT_TRUE(fs::is_regular_file(root_ + "/blocked"));
  EXPECT_FALSE(fs::exists(home_));
}

TEST_F(SettingsFileTest, TheSaveFolderIsBesideTheProgramWhileWritableElseThePlayers) {
  const std::string blocked = blocked_folder();
  const std::string xdg = root_ + "/xdg";
  // Beside the program while it can be written, and a missing folder that can be made.
  for (const std::string& beside : {folder_, root_ + "/new/data"}) {
    const settings_places places = find_settings_places(beside, nullptr, home_.c_str());
    EXPECT_EQ(settings_save_path(places, "hiscore.dat"), beside + "/hiscore.dat");
    EXPECT_EQ(settings_read_path(places, "hiscore.dat"), beside + "/hiscore.dat");
  }
  // Read-only (a chmod binds everyone but root): the player's folder.
  if (::geteuid() != 0) {
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    const settings_places places = find_settings_places(folder_, nullptr, home_.c_str());
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(settings_save_path(places, "hiscore.dat"), player_folder() + "/hiscore.dat");
  }
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, nullptr, home_.c_str()), "a.dat"),
            player_folder() + "/a.dat");
  // XDG_DATA_HOME wins over HOME; a relative one counts as unset.
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, xdg.c_str(), home_.c_str()), "a.dat"),
            xdg + "/vextral/a.dat");
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, "xdg", home_.c_str()), "a.dat"),
            player_folder() + "/a.dat");
  // No HOME and no XDG_DATA_HOME: nowhere.
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, nullptr, nullptr), "a.dat"), "");
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, "", ""), "a.dat"), "");
  // A player's folder that cannot be made either: nowhere.
  write_bytes(home_, {1});
  EXPECT_EQ(settings_save_path(find_settings_places(blocked, nullptr, home_.c_str()), "a.dat"), "");
  fs::remove(home_);

  // A file in the player's folder wins, and is saved back there even beside a writable folder.
  fs::create_directories(player_folder());
  write_bytes(player_folder() + "/hiscore.dat", {1, 0, 0, 0});
  write_bytes(best_file(), {2, 0, 0, 0});
  const settings_places places = find_settings_places(folder_, nullptr, home_.c_str());
  EXPECT_EQ(settings_read_path(places, "hiscore.dat"), player_folder() + "/hiscore.dat");
  EXPECT_EQ(settings_save_path(places, "hiscore.dat"), player_folder() + "/hiscore.dat");
  EXPECT_EQ(settings_read_path(places, "anaglyph3d.dat"), stereo_file());
  EXPECT_EQ(settings_save_path(places, "anaglyph3d.dat"), stereo_file());
}

TEST_F(SettingsFileTest, AReadOnlyInstallSavesInThePlayersFolderAndReadsItBackFirst) {
  const std::string blocked = blocked_folder();
  start_game(blocked);
  for (int click = 0; click < 3; ++click) click_item(1);
  player->best_sc = 12345;
  ::testing::internal::CaptureStderr();
  exit_game();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(read_bytes(player_folder() + "/hiscore.dat"), (bytes{0x39, 0x30, 0x00, 0x00}));
  EXPECT_EQ(read_bytes(player_folder() + "/anaglyph3d.dat"), (bytes{0x03, 0x00, 0x00, 0x00}));

  start_game(blocked);
  EXPECT_EQ(player->best_sc, 12345);
  EXPECT_EQ(stereo_mode, 3);
  exit_game();

  // With XDG_DATA_HOME set the files go there instead; the player's file wins over the one
  // beside the program.
  const std::string xdg = root_ + "/xdg";
  ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  fs::create_directories(xdg + "/vextral");
  write_bytes(xdg + "/vextral/hiscore.dat", {0x10, 0x27, 0, 0});
  write_bytes(best_file(), {0x01, 0, 0, 0});
  start_game();
  EXPECT_EQ(player->best_sc, 10000);
  player->best_sc = 20000;
  exit_game();
  EXPECT_EQ(read_bytes(xdg + "/vextral/hiscore.dat"), (bytes{0x20, 0x4e, 0, 0}));
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x01, 0, 0, 0}));
  // The stereo file had no copy in the player's folder: it stays beside the program.
  EXPECT_EQ(read_bytes(stereo_file()), (bytes{0, 0, 0, 0}));
  EXPECT_FALSE(fs::exists(xdg + "/vextral/anaglyph3d.dat"));
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

namespace {

// A finished game whose one frame carries marker, so that files can be told apart.
std::pair<replay_header, bytes> finished_game(int32_t score, int32_t marker) {
  replay_encoder encoder;
  encoder.add_frame({{input_query::key_hits, 27, marker}});
  replay_header header;
  header.final_score = score;
  header.frame_count = 1;
  return {header, encoder.file(header)};
}

TEST_F(SettingsFileTest, TheLastGameIsAlwaysKeptAndTheBestOnlyForAHigherScore) {
  const std::string saved_folder = data_folder;
  data_folder = folder_;
  const std::string last = folder_ + "/last.replay";
  const std::string best = folder_ + "/best.replay";
  auto keep = [](int32_t score, int32_t marker) {
    const auto [header, file] = finished_game(score, marker);
    keep_finished_game(header, file);
    return file;
  };

  const bytes first = keep(1000, 1);
  EXPECT_EQ(read_bytes(last), first);
  EXPECT_EQ(read_bytes(best), first);
  const bytes lower = keep(500, 2);
  EXPECT_EQ(read_bytes(last), lower);
  EXPECT_EQ(read_bytes(best), first);
  keep(1000, 3);  // equal is not higher
  EXPECT_EQ(read_bytes(best), first);
  const bytes higher = keep(1500, 4);
  EXPECT_EQ(read_bytes(best), higher);
  EXPECT_EQ(replay_path_for("best"), best);
  EXPECT_EQ(replay_path_for("last"), last);

  // A best file that cannot be read back holds no game worth keeping.
  write_bytes(best, {'V', 'X', 'R', 'P', 1, 0});
  const bytes after_damage = keep(10, 5);
  EXPECT_EQ(read_bytes(best), after_damage);
  EXPECT_FALSE(fs::exists(best + ".tmp"));
  data_folder = saved_folder;
}

}  // namespace
