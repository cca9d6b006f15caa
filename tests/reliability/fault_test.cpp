// Faults the game shrugs off, driven through the simulator on the game's own code: a pad
// unplugged and plugged back in mid-game, focus lost and regained, odd settings files, a data
// folder that is a file, and a disk that refuses the saves at exit.

#include <SDL.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "input/input.h"
#include "tests/game/game_fixture.h"

namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

std::string fresh_folder(const std::string& name) {
  const std::string folder = ::testing::TempDir() + "vextral_faults_" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

void write_bytes(const std::string& path, const bytes& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(content.data()),
             static_cast<std::streamsize>(content.size()));
}

std::optional<bytes> read_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// ---- Mid-game faults -------------------------------------------------------------------

class MidGameFault : public GameTest {
 protected:
  void SetUp() override {
    // A joystick event in the script gives the simulator its virtual pad.
    start(77, {event_at(0, sim_event_kind::joy_axis, 0)});
    new_game();
  }

  static int32_t virtual_pad_index() {
    for (int32_t index = 0; index < SDL_NumJoysticks(); ++index)
      if (SDL_JoystickIsVirtual(index)) return index;
    return -1;
  }
};

TEST_F(MidGameFault, APadUnpluggedAndPluggedBackInMidGameSteersAgain) {
  const int32_t lives = player->lives;
  ASSERT_EQ(JoystickCount(), 1);
  ASSERT_GE(virtual_pad_index(), 0);

  // Unplugged while the game runs: nothing breaks, the keyboard still steers.
  ASSERT_EQ(SDL_JoystickDetachVirtual(virtual_pad_index()), 0);
  step(30);
  EXPECT_EQ(game_state, STATE_PLAY);
  const float before_keys = player->rotation;
  press(37);
  step(10);
  release(37);
  step();
  EXPECT_NE(player->rotation, before_keys);

  // Plugged back in: the pad steers again.
  const int32_t index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 16, 0);
  ASSERT_GE(index, 0);
  SDL_Joystick* pad = SDL_JoystickOpen(index);
  ASSERT_NE(pad, nullptr);
  // The SDL system driver rebuilds the port table on SDL's device-added event; the
  // simulator's driver sees no SDL events, so the test asks for the count, which does the same.
  EXPECT_EQ(JoystickCount(), 1);
  step(5);
  const float before_pad = player->rotation;
  ASSERT_EQ(SDL_JoystickSetVirtualAxis(pad, 0, 32767), 0);
  step(20);
  EXPECT_NE(player->rotation, before_pad);
  SDL_JoystickSetVirtualAxis(pad, 0, 0);
  step(2);
  EXPECT_EQ(game_state, STATE_PLAY);
  EXPECT_EQ(player->lives, lives);
  SDL_JoystickClose(pad);
  SDL_JoystickDetachVirtual(index);
  step(2);
}

TEST_F(MidGameFault, FocusLostAndRegainedMidGameResumesWithNoKeyStuck) {
  press(38);  // thrust held when the focus goes
  step(5);
  ASSERT_GT(player->speed, 0.0f);
  next_frame(sim_event_kind::focus, 0);
  step();
  next_frame(sim_event_kind::focus, 1);
  step(60);
  // The thrust key went up while the game was away: the ship is not still accelerating.
  EXPECT_TRUE(game_state == STATE_PLAY || game_state == STATE_PAUSE);
  EXPECT_EQ(player->thrust_on, 0);
  // And the game answers the keyboard again.
  if (game_state == STATE_PAUSE) {
    tap(32);
    step();
  }
  const float rotation = player->rotation;
  press(39);
  step(10);
  EXPECT_NE(player->rotation, rotation);
}

// ---- Settings files --------------------------------------------------------------------

class SettingsFault : public ::testing::Test {
 protected:
  void TearDown() override {
    sim_.reset();
    if (!folder_.empty()) fs::remove_all(fs::path(folder_).parent_path());
  }

  // Starts the game on a data folder, skipping the splash.
  void start_on(const std::string& data_folder) {
    folder_ = data_folder;
    sim_config config;
    config.data_dir = data_folder;
    sim_event escape;
    escape.kind = sim_event_kind::key_down;
    escape.code = 27;
    config.events.push_back(escape);
    sim_ = std::make_unique<simulator>(config);
    ASSERT_TRUE(sim_->start());
  }
  void exit_game() {
    sim_->finish();
    sim_.reset();
  }

  std::string folder_;
  std::unique_ptr<simulator> sim_;
};

TEST_F(SettingsFault, BestScoreFilesOfZeroToFiveBytesLoadTheirBytesAndTheRestAsZero) {
  const std::vector<std::pair<bytes, int32_t>> cases = {
      {{}, 0},
      {{0x39, 0x30, 0x01}, 0x013039},
      {{0x39, 0x30, 0x00, 0x00}, 12345},
      {{0x39, 0x30, 0x00, 0x00, 0x7f}, 12345},
  };
  for (const auto& [content, expected] : cases) {
    SCOPED_TRACE(testing::Message() << content.size() << " bytes");
    const std::string data = fresh_folder("sizes") + "/data";
    fs::create_directories(data);
    write_bytes(data + "/hiscore.dat", content);
    write_bytes(data + "/anaglyph3d.dat", content);
    start_on(data);
    EXPECT_EQ(player->best_sc, expected);
    EXPECT_EQ(stereo_mode, 0);  // 0, 0x013039 and 12345 are no scheme: stereo stays off
    sim_->step(10);
    exit_game();
    const auto saved = read_bytes(data + "/hiscore.dat");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 4u);
    TearDown();
  }
}

TEST_F(SettingsFault, ATwoGigabyteSparseBestScoreFileReadsItsFirstFourBytesAtOnce) {
  const std::string data = fresh_folder("sparse") + "/data";
  fs::create_directories(data);
  const std::string path = data + "/hiscore.dat";
  {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(descriptor, 0);
    const uint8_t first[4] = {0x39, 0x30, 0x00, 0x00};
    ASSERT_EQ(::write(descriptor, first, 4), 4);
    if (::ftruncate(descriptor, 2LL * 1024 * 1024 * 1024) != 0) {
      ::close(descriptor);
      GTEST_SKIP() << "this file system cannot hold a 2 GB sparse file";
    }
    ::close(descriptor);
  }
  const auto began = std::chrono::steady_clock::now();
  start_on(data);
  EXPECT_EQ(player->best_sc, 12345);
  // Well under what reading 2 GB would take; a generous bound for a loaded machine.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(60));
  exit_game();
  EXPECT_EQ(fs::file_size(path), 4u);  // replaced at exit by the four bytes of the score
}

TEST_F(SettingsFault, ADataFolderThatIsAFilePlaysSilentlyAndIsLeftAlone) {
  const std::string root = fresh_folder("data_file");
  const std::string data = root + "/data";
  write_bytes(data, {1, 2, 3});
  start_on(data);
  EXPECT_EQ(player->best_sc, 0);
  sim_->step(30);
  EXPECT_EQ(game_state, STATE_TITLE);
  exit_game();
  EXPECT_TRUE(fs::is_regular_file(data));
  EXPECT_EQ(read_bytes(data), bytes({1, 2, 3}));
}

TEST_F(SettingsFault, ADiskThatRefusesTheSavesKeepsBothOldFilesWhole) {
  const std::string data = fresh_folder("refused") + "/data";
  fs::create_directories(data);
  write_bytes(data + "/hiscore.dat", {0x39, 0x30, 0x00, 0x00});
  write_bytes(data + "/anaglyph3d.dat", {0x03, 0x00, 0x00, 0x00});
  start_on(data);
  ASSERT_EQ(player->best_sc, 12345);
  player->best_sc = 99999;  // a better score that cannot be saved
  stereo_mode = 1;

  // No file may grow past 0 bytes while the game saves: every write fails with EFBIG.
  rlimit saved_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  const auto saved_signal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit refuse = saved_limit;
  refuse.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &refuse), 0);
  exit_game();
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  std::signal(SIGXFSZ, saved_signal);

  EXPECT_EQ(read_bytes(data + "/hiscore.dat"), bytes({0x39, 0x30, 0x00, 0x00}));
  EXPECT_EQ(read_bytes(data + "/anaglyph3d.dat"), bytes({0x03, 0x00, 0x00, 0x00}));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(data))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  // The log holds what went wrong before the disk refused (the missing sounds).
  EXPECT_EQ(names, std::vector<std::string>({"anaglyph3d.dat", "hiscore.dat", "vextral.log"}))
      << "no half-written temporary file is left behind";
}

}  // namespace
