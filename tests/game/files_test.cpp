// The best-score and stereo-mode files: their four-byte format, the values they load as,
// where they are kept, and saving at exit that never loses a good file, follows no planted
// link and survives other copies saving at once. The kept replays beside them.

#include <grp.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
#include "game/replay/files.h"
#include "game/replay/format.h"
#include "render/stereo.h"
#include "screens_support.h"
#include "stream/temporary_names.h"

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
    use_temporary_suffixes_next({});
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
    // Finished games are kept as the game keeps them.
    if (record_games_) config.on_game_recorded = keep_finished_game;
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

  // The names in folder, sorted: a temporary file of any name left behind shows here.
  // The saved files in folder; the log of what failed (the sounds these folders lack) aside.
  static std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().filename() != "vextral.log")
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static uint32_t mode_of(const std::string& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
  }

  // Runs work in a child process and gives back its exit status (-1 when it did not exit).
  // With unprivileged set, the child first gives up root, so that permissions bind it.
  static int in_child(const std::function<int()>& work, bool unprivileged = false) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
      if (unprivileged && ::geteuid() == 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(100);
      const int status = work();
      std::fflush(nullptr);
      ::_exit(status);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  std::string root_;
  std::string folder_;
  std::string home_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_environment_;
  std::unique_ptr<simulator> sim_;
  bool record_games_ = false;
};

TEST_F(SettingsFileTest, TheBestScoreRoundTripsUnchangedWhenNothingIsPlayed) {
  write_bytes(best_file(), {0x39, 0x30, 0x00, 0x00});
  start_game();
  EXPECT_EQ(player->best_sc, 12345);
  sim_->step(10);
  exit_game();
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x39, 0x30, 0x00, 0x00}));
  // No temporary file is left behind.
  EXPECT_EQ(names_in(folder_), (std::vector<std::string>{"anaglyph3d.dat", "hiscore.dat"}));
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
  // Made private to the player.
  EXPECT_EQ(mode_of(root_ + "/nowhere") & 077, 0u);
  EXPECT_EQ(mode_of(missing) & 077, 0u);
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
  const auto said = errors.find(
      "game: the best score, the stereo setting and the recorded games cannot be saved");
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
  // Read-only: the player's folder. A chmod binds everyone but root, so the check runs
  // in a process that is not root.
  fs::create_directories(home_);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(home_.c_str(), 65534, 65534), 0);
  }
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  const int read_only = in_child(
      [&] {
        const settings_places places = find_settings_places(folder_, nullptr, home_.c_str());
        return settings_save_path(places, "hiscore.dat") == player_folder() + "/hiscore.dat" ? 0
                                                                                             : 1;
      },
      true);
  fs::permissions(folder_, fs::perms::owner_all);
  fs::remove_all(home_);
  EXPECT_EQ(read_only, 0);
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

TEST_F(SettingsFileTest, AnInstalledGameSavesOnlyInThePlayersFolderEvenAsRoot) {
  // Installed with its data kept apart from the program, behind a link: writable here (the
  // tests may run as root, whom no permission stops), yet never saved in.
  fs::create_directories(root_ + "/share/vextral");
  fs::create_directories(root_ + "/lib/vextral");
  const std::string installed = root_ + "/lib/vextral/data";
  fs::create_directory_symlink("../../share/vextral", installed);
  const std::string old_best = root_ + "/share/vextral/hiscore.dat";
  write_bytes(old_best, {0x50, 0xc3, 0, 0});
  // And a folder of the system's own.
  for (const std::string& folder : {installed, std::string("/usr/share")}) {
    const settings_places places = find_settings_places(folder, nullptr, home_.c_str());
    EXPECT_TRUE(places.installed) << folder;
    EXPECT_EQ(settings_save_path(places, "hiscore.dat"), player_folder() + "/hiscore.dat");
    EXPECT_EQ(settings_save_path(find_settings_places(folder, nullptr, nullptr), "a.dat"), "");
  }
  // A data folder that is a link within the program's own folder is a portable copy's.
  fs::create_directories(root_ + "/portable/sounds");
  fs::create_directory_symlink("sounds", root_ + "/portable/data");
  EXPECT_FALSE(find_settings_places(root_ + "/portable/data", nullptr, home_.c_str()).installed);
  EXPECT_FALSE(find_settings_places(folder_, nullptr, home_.c_str()).installed);

  // The best score found beside the program starts the player's own file, and nothing is
  // written beside the program.
  start_game(installed);
  EXPECT_EQ(player->best_sc, 50000);
  ::testing::internal::CaptureStderr();
  exit_game();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(names_in(root_ + "/share/vextral"), (std::vector<std::string>{"hiscore.dat"}));
  EXPECT_EQ(read_bytes(old_best), (bytes{0x50, 0xc3, 0, 0}));
  EXPECT_EQ(read_bytes(player_folder() + "/hiscore.dat"), (bytes{0x50, 0xc3, 0, 0}));
  EXPECT_EQ(read_bytes(player_folder() + "/anaglyph3d.dat"), (bytes{0, 0, 0, 0}));

  // Without a player's folder it is said once, and nothing is written.
  ::unsetenv("HOME");
  start_game(installed);
  ::testing::internal::CaptureStderr();
  exit_game();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("cannot be saved: " + installed + " belongs to the installed game"),
            std::string::npos)
      << errors;
  EXPECT_EQ(names_in(root_ + "/share/vextral"), (std::vector<std::string>{"hiscore.dat"}));
}

TEST_F(SettingsFileTest, EachFileIsReadFromThePlaceItIsSavedTo) {
  // The player's folder holds a best score but can no longer be written; the folder beside
  // the program can (it is the unprivileged player's).
  fs::create_directories(player_folder());
  write_bytes(player_folder() + "/hiscore.dat", {7, 0, 0, 0});
  fs::permissions(player_folder(), fs::perms::owner_write | fs::perms::group_write,
                  fs::perm_options::remove);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(folder_.c_str(), 65534, 65534), 0);
  }
  const int status = in_child(
      [&] {
        const settings_places places = find_settings_places(folder_, nullptr, home_.c_str());
        if (settings_save_path(places, "hiscore.dat") != best_file()) return 1;
        // The old file gives the starting value until the first save; from then on the
        // saved one is read.
        int32_t best = 0;
        std::string error;
        if (read_setting_file(settings_read_path(places, "hiscore.dat"), best, error) !=
                setting_found::value ||
            best != 7)
          return 2;
        if (!save_best_score(best_file(), 9)) return 3;
        if (settings_read_path(places, "hiscore.dat") != best_file()) return 4;
        return 0;
      },
      true);
  fs::permissions(player_folder(), fs::perms::owner_all);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_bytes(best_file()), (bytes{9, 0, 0, 0}));
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
  // The folders made for them are private to the player.
  for (const std::string& made :
       {home_, home_ + "/.local", home_ + "/.local/share", player_folder()})
    EXPECT_EQ(mode_of(made) & 077, 0u) << made;

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
  const std::string replay = folder_ + "/last.replay";
  const bytes old_replay(64, 0x11);
  write_bytes(replay, old_replay);
  write_bytes(best_file(), {0x39, 0x30, 0x00, 0x00});
  // What the child says on stderr comes back through a pipe (a file could not hold it).
  int said[2];
  ASSERT_EQ(::pipe(said), 0);
  // Files may grow to 16 bytes: a 64-byte save fails part-way, a 4-byte one fits.
  const int status = in_child([&] {
    if (::dup2(said[1], STDERR_FILENO) < 0) return 10;
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 11;
    const bytes longer(64, 0x22);
    const bool replay_saved = write_file_safely(replay, longer.data(), longer.size());
    const bool best_saved = write_setting_file(best_file(), 50000);
    return (replay_saved ? 1 : 0) | (best_saved ? 0 : 2);
  });
  ::close(said[1]);
  std::string text(256, '\0');
  const ssize_t length = ::read(said[0], text.data(), text.size());
  ::close(said[0]);
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, "game: could not save " + replay + ": " + std::strerror(EFBIG) + "\n");
  EXPECT_EQ(read_bytes(replay), old_replay);
  // The other file is saved regardless, and nothing temporary is left.
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x50, 0xc3, 0x00, 0x00}));
  EXPECT_EQ(names_in(folder_), (std::vector<std::string>{"hiscore.dat", "last.replay"}));
}

TEST_F(SettingsFileTest, NoLinkOrStaleFileInTheFolderIsFollowedOrDisturbsASave) {
  // A file the player can write, which a link planted in a shared folder points at.
  const std::string victim = root_ + "/victim";
  const bytes victim_bytes{0x02, 0, 0, 0};
  write_bytes(victim, victim_bytes);
  fs::create_symlink(victim, stereo_file());
  // A file and a link at the very names the next save's temporary file is given.
  use_temporary_suffixes_next({"plantedFile1", "plantedLink1"});
  for (const std::string name : {"hiscore.dat", "anaglyph3d.dat"}) {
    write_bytes(folder_ + "/." + name + ".plantedFile1", {7, 7});
    fs::create_symlink(victim, folder_ + "/." + name + ".plantedLink1");
  }
  // Temporary files that saves cut short long ago left behind go; a save under way (its
  // file written just now), a link or a folder named like one, and other names stay.
  const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const char* name :
       {".hiscore.dat.crashedSave1", ".best.replay.crashedSave2", ".hiscore.dat.stale",
        "hiscore.dat.crashedSave3", ".other.dat.crashedSave4", ".anaglyph3d.dat.savingNow001"}) {
    write_bytes(folder_ + "/" + name, {1, 2});
    if (std::strcmp(name, ".anaglyph3d.dat.savingNow001") != 0)
      fs::last_write_time(folder_ + "/" + name, long_ago);
  }
  fs::create_directory(folder_ + "/.last.replay.crashedDir01");
  fs::last_write_time(folder_ + "/.last.replay.crashedDir01", long_ago);
  fs::create_symlink(root_ + "/old", folder_ + "/.last.replay.crashedLink1");
  write_bytes(root_ + "/old", {3});
  fs::last_write_time(root_ + "/old", long_ago);

  start_game();
  // A link reads as no file.
  EXPECT_EQ(stereo_mode, 0);
  player->best_sc = 777;
  ::testing::internal::CaptureStderr();
  exit_game();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(read_bytes(victim), victim_bytes);
  EXPECT_EQ(read_bytes(root_ + "/old"), (bytes{3}));
  // The saved files are regular files; the link at the stereo file's name was replaced.
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(best_file())));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(stereo_file())));
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x09, 0x03, 0, 0}));
  EXPECT_EQ(read_bytes(stereo_file()), (bytes{0, 0, 0, 0}));
  // What was planted is left as it was, and nothing else remains.
  for (const std::string name : {"hiscore.dat", "anaglyph3d.dat"}) {
    EXPECT_EQ(read_bytes(folder_ + "/." + name + ".plantedFile1"), (bytes{7, 7}));
    EXPECT_EQ(fs::read_symlink(folder_ + "/." + name + ".plantedLink1"), victim);
  }
  EXPECT_EQ(
      names_in(folder_),
      (std::vector<std::string>{
          ".anaglyph3d.dat.plantedFile1", ".anaglyph3d.dat.plantedLink1",
          ".anaglyph3d.dat.savingNow001", ".hiscore.dat.plantedFile1", ".hiscore.dat.plantedLink1",
          ".hiscore.dat.stale", ".last.replay.crashedDir01", ".last.replay.crashedLink1",
          ".other.dat.crashedSave4", "anaglyph3d.dat", "hiscore.dat", "hiscore.dat.crashedSave3"}));
}

TEST_F(SettingsFileTest, TwoCopiesSavingAtOnceNeverFailTearOrLowerTheBestScore) {
  constexpr int kSaves = 60;
  constexpr int32_t kSchemes[2] = {0x01010101, 0x02020202};
  ASSERT_TRUE(write_setting_file(best_file(), 0));
  ASSERT_TRUE(write_setting_file(stereo_file(), kSchemes[0]));
  // The copies meet before every round, so that their saves overlap, and again after it.
  auto* barrier = static_cast<pthread_barrier_t*>(::mmap(nullptr, sizeof(pthread_barrier_t),
                                                         PROT_READ | PROT_WRITE,
                                                         MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(barrier, MAP_FAILED);
  pthread_barrierattr_t shared;
  pthread_barrierattr_init(&shared);
  pthread_barrierattr_setpshared(&shared, PTHREAD_PROCESS_SHARED);
  ASSERT_EQ(pthread_barrier_init(barrier, &shared, 2), 0);
  pthread_barrierattr_destroy(&shared);
  // Each copy saves a rising best score, one the even values and one the odd, and its own
  // stereo value. After each round the file holds the round's higher best, whichever copy
  // saved last: a copy that saved what it read before the other's save loses it.
  std::vector<pid_t> savers;
  for (int copy = 0; copy < 2; ++copy) {
    std::fflush(nullptr);
    const pid_t saver = ::fork();
    if (saver == 0) {
      int failures = 0, lost = 0;
      for (int save = 1; save <= kSaves; ++save) {
        pthread_barrier_wait(barrier);
        if (!save_best_score(best_file(), 2 * save - copy)) ++failures;
        if (!write_setting_file(stereo_file(), kSchemes[copy])) ++failures;
        pthread_barrier_wait(barrier);
        int32_t best = 0;
        std::string error;
        if (read_setting_file(best_file(), best, error) != setting_found::value || best != 2 * save)
          ++lost;
        pthread_barrier_wait(barrier);
      }
      ::_exit((failures == 0 ? 0 : 1) | (lost == 0 ? 0 : 2));
    }
    ASSERT_GT(saver, 0);
    savers.push_back(saver);
  }
  // Read while they save: every read is a whole file, and the best score never goes down.
  std::vector<int> statuses;
  int32_t highest = 0;
  int reads = 0, torn = 0, lowered = 0;
  while (statuses.size() < savers.size()) {
    for (pid_t& saver : savers) {
      int status = 0;
      if (saver > 0 && ::waitpid(saver, &status, WNOHANG) == saver) {
        statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        saver = 0;
      }
    }
    ++reads;
    const auto best = read_bytes(best_file());
    const auto scheme = read_bytes(stereo_file());
    if (!best || best->size() != 4 || !scheme || scheme->size() != 4) {
      ++torn;
      continue;
    }
    int32_t value = 0, stereo = 0;
    std::memcpy(&value, best->data(), 4);
    std::memcpy(&stereo, scheme->data(), 4);
    if (stereo != kSchemes[0] && stereo != kSchemes[1]) ++torn;
    if (value < highest) ++lowered;
    highest = std::max(highest, value);
  }
  pthread_barrier_destroy(barrier);
  ::munmap(barrier, sizeof(pthread_barrier_t));
  // 1: a save failed; 2: a best score saved in a round was lost.
  EXPECT_EQ(statuses, (std::vector<int>{0, 0}));
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_EQ(lowered, 0) << "of " << reads << " reads";
  EXPECT_EQ(read_bytes(best_file()), (bytes{2 * kSaves, 0, 0, 0}));
  EXPECT_EQ(names_in(folder_), (std::vector<std::string>{"anaglyph3d.dat", "hiscore.dat"}));

  // A copy of the game that exits later with a lower best keeps the higher one saved.
  start_game();
  player->best_sc = 5;
  exit_game();
  EXPECT_EQ(read_bytes(best_file()), (bytes{2 * kSaves, 0, 0, 0}));
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
  std::string error;
  EXPECT_EQ(read_setting_file(folder_ + "/anaglyph3d.dat", value, error), setting_found::value);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(read_setting_file(folder_ + "/missing.dat", value, error), setting_found::nothing);
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
  // Each game's new best score is saved with it, and never lowered.
  EXPECT_EQ(read_bytes(best_file()), (bytes{0xdc, 0x05, 0, 0}));

  // A damaged best file holds no game worth keeping.
  write_bytes(best, {'V', 'X', 'R', 'P', 1, 0});
  const bytes after_damage = keep(10, 5);
  EXPECT_EQ(read_bytes(best), after_damage);
  EXPECT_EQ(read_bytes(best_file()), (bytes{0xdc, 0x05, 0, 0}));
  EXPECT_EQ(names_in(folder_),
            (std::vector<std::string>{"best.replay", "hiscore.dat", "last.replay"}));

  // A link planted at the best's name reads as no file, however high the game it points
  // at: it is replaced, and what it points at stays as it was.
  const std::string elsewhere = root_ + "/elsewhere.replay";
  const bytes far_higher = finished_game(90000, 9).second;
  write_bytes(elsewhere, far_higher);
  fs::remove(best);
  fs::create_symlink(elsewhere, best);
  const bytes after_link = keep(20, 10);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(best)));
  EXPECT_EQ(read_bytes(best), after_link);
  EXPECT_EQ(read_bytes(elsewhere), far_higher);

  // One from a newer version of the game cannot be judged here: it stays.
  bytes newer = after_damage;
  newer[4] = static_cast<uint8_t>(replay_format_version + 1);
  write_bytes(best, newer);
  keep(20000, 6);
  EXPECT_EQ(read_bytes(best), newer);

  // A folder, or a pipe, where the best should be neither stops the game nor the last game
  // being kept.
  fs::remove(best);
  fs::create_directories(best + "/inside");
  const bytes beside_folder = keep(30000, 7);
  EXPECT_EQ(read_bytes(last), beside_folder);
  EXPECT_TRUE(fs::is_directory(best + "/inside"));
  fs::remove_all(best);
  ASSERT_EQ(::mkfifo(best.c_str(), 0600), 0);
  const bytes beside_pipe = keep(40000, 8);
  EXPECT_EQ(read_bytes(last), beside_pipe);
  data_folder = saved_folder;
}

// As when a backup or sync program holds the files for a moment at game over: a best
// score and a best recording that are there but cannot be read are neither judged nor
// replaced by the lower game just ended, and that is said.
TEST_F(SettingsFileTest, ABestThatIsThereButCannotBeReadIsKeptAndSaid) {
  const std::string saved_folder = data_folder;
  data_folder = folder_;
  const std::string best = folder_ + "/best.replay";
  const bytes best_recording = finished_game(36750, 1).second;
  write_bytes(best, best_recording);
  write_bytes(best_file(), {0x8e, 0x8f, 0, 0});
  // Unreadable to the player, whose folder it is (root, whom no permission stops, plays
  // as another user in the child).
  fs::permissions(best, fs::perms::none);
  fs::permissions(best_file(), fs::perms::none);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(folder_.c_str(), 65534, 65534), 0);
  }
  int said[2];
  ASSERT_EQ(::pipe(said), 0);
  const auto [header, file] = finished_game(900, 2);
  const int status = in_child(
      [&, &header = header, &file = file] {
        if (::dup2(said[1], STDERR_FILENO) < 0) return 10;
        int32_t value = -1;
        std::string error;
        if (read_setting_file(best_file(), value, error) != setting_found::unreadable) return 1;
        if (value != -1 || error.find("cannot be read") == std::string::npos) return 2;
        keep_finished_game(header, file);
        return 0;
      },
      true);
  ::close(said[1]);
  std::string text(1024, '\0');
  const ssize_t length = ::read(said[0], text.data(), text.size());
  ::close(said[0]);
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  data_folder = saved_folder;
  fs::permissions(best, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(best_file(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_bytes(best), best_recording);
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x8e, 0x8f, 0, 0}));
  EXPECT_EQ(read_bytes(folder_ + "/last.replay"), file);
  const std::string denied = "cannot be read (" + std::string(std::strerror(EACCES)) + ")";
  EXPECT_EQ(text, "game: could not save " + best_file() + ": the best score there " + denied +
                      ", so it is kept\n" +
                      "game: this game was not compared with the best one kept: " + best + " " +
                      denied + ", so it is kept\n");
}

// A game over with a new best saves it at once: killed from then on, the program leaves
// the best score beside the best recording, not an older one.
TEST_F(SettingsFileTest, AGameEndingWithANewBestSavesItBeforeTheExit) {
  write_bytes(best_file(), {0x10, 0x27, 0, 0});
  record_games_ = true;
  start_game();
  ASSERT_EQ(player->best_sc, 10000);
  click_item(0);
  ASSERT_EQ(game_state, STATE_PLAY);
  player->score = 36750;
  sim_->step(1);
  ASSERT_EQ(player->best_sc, 36750);
  // The last ship is lost.
  player->lives = 1;
  game_state = STATE_DESTROYED;
  state_ctr = 250;
  sim_->step(3);
  ASSERT_EQ(game_state, STATE_GAME_OVER);
  EXPECT_EQ(read_bytes(best_file()), (bytes{0x8e, 0x8f, 0, 0}));
  replay kept;
  std::string error;
  ASSERT_TRUE(replay_load(folder_ + "/best.replay", kept, error)) << error;
  EXPECT_EQ(kept.header.final_score, 36750);
}

}  // namespace
