// The saves on Windows: a copy unpacked from the zip keeps them beside itself whatever an
// installed copy keeps in %APPDATA%, and a save that another program blocks is told on
// screen, in the log and on stderr with the path as Windows writes it.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/files.h"
#include "game/globals.h"
#include "game/notice.h"
#include "game/player.h"
#include "screens_support.h"
#include "stream/native_path.h"
#include "stream/wide_text.h"

namespace {

namespace fs = std::filesystem;

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(NativePath(path), std::ios::binary);
  file << bytes;
}

std::string read_bytes(const std::string& path) {
  std::ifstream file(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class WindowsSavesTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    root_ = Utf8Path(fs::temp_directory_path()) + "\\vextral-saves-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-Zo\xc3\xab";
    fs::remove_all(NativePath(root_));
    fs::create_directories(NativePath(root_ + "\\portable\\data"));
    fs::create_directories(NativePath(root_ + "\\AppData\\Vextral"));
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(NativePath(root_), error);
    ScreensTest::TearDown();
  }
  std::string root_;
};

TEST_F(WindowsSavesTest, APortableCopyKeepsItsFilesBesideItselfWhateverTheInstalledOneKept) {
  const std::string beside = root_ + "\\portable\\data";
  const std::string appdata = root_ + "\\AppData\\Vextral";
  // The installed game has been played: its files are in the player's folder.
  for (const char* name : {"hiscore.dat", "anaglyph3d.dat", "best.replay", "last.replay"})
    write_bytes(appdata + "\\" + name, "\x07\x00\x00\x00");
  const settings_places places = find_settings_places(beside, appdata);
  for (const char* name : {"hiscore.dat", "anaglyph3d.dat", "best.replay", "last.replay"}) {
    EXPECT_EQ(settings_save_path(places, name), beside + "/" + name) << name;
    // Not even the starting value comes from there: the zip's copy moves with its folder.
    EXPECT_EQ(settings_read_path(places, name), beside + "/" + name) << name;
  }
}

TEST_F(WindowsSavesTest, ABestScoreFileLockedByAnotherProgramIsToldOnScreenWithItsWindowsPath) {
  const std::string best = settings_save_path(current_settings_places(), "hiscore.dat");
  ASSERT_FALSE(best.empty());
  write_bytes(best, std::string("\x10\x00\x00\x00", 4));
  // Another program holds the file open and shares it with nobody.
  const HANDLE locked = CreateFileW(WideFromUtf8(best).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  player->best_sc = 9000;
  ::testing::internal::CaptureStderr();
  hiscore_file(1);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  CloseHandle(locked);

  EXPECT_EQ(read_bytes(best), std::string("\x10\x00\x00\x00", 4));
  const std::string& notice = notice_text();
  EXPECT_EQ(notice.rfind("could not save ", 0), 0u) << notice;
  // Windows' own separators all along the path, never a "/" among them.
  std::string windows_path = best;
  std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
  EXPECT_NE(notice.find(windows_path), std::string::npos) << notice;
  EXPECT_EQ(notice.find('/'), std::string::npos) << notice;
  EXPECT_EQ(errors, "game: " + notice + "\n");
  // On screen, and in the log beside the file.
  const auto texts = drawn_texts(frame_calls());
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const drawn_text& text) {
    return text.text.rfind("couldnotsave", 0) == 0;
  }));
  const std::string log = read_bytes(notice_log_path());
  EXPECT_NE(log.find("game: " + notice), std::string::npos) << log;
}

}  // namespace
