// The Windows side of saving: where an installed game may not save, the save lock shared
// by every spelling of one folder, a replace waiting for a reader to let go of the file,
// a failed replace leaving the old file alone, and the clearing of stale temporary files.

#include <gtest/gtest.h>

#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "stream/filesystem.h"
#include "stream/safe_save.h"
#include "stream/temporary_names.h"
#include "stream/wide_text.h"
#include "tests/stream/stream_test_support.h"

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK)
    folder = Utf8FromWide(path);
  CoTaskMemFree(path);
  return folder;
}

std::string Lower(std::string text) {
  for (char& letter : text)
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 32);
  return text;
}

TEST(InstalledFolder, ProgramFilesInAnySpellingButNothingBesideIt) {
  const std::string program_files = KnownFolder(FOLDERID_ProgramFiles);
  ASSERT_FALSE(program_files.empty());
  EXPECT_TRUE(is_installed_folder(program_files + "\\Vextral\\data"));
  EXPECT_TRUE(is_installed_folder(Lower(program_files) + "/Vextral/data/"));
  EXPECT_TRUE(is_installed_folder(program_files + "\\Vextral\\..\\Other"));
  EXPECT_FALSE(is_installed_folder(program_files + " Extra\\Vextral"));
  EXPECT_FALSE(is_installed_folder(program_files + "\\..\\Games\\Vextral"));
  TempDirectory directory;
  EXPECT_FALSE(is_installed_folder(directory.path()));
  EXPECT_FALSE(is_installed_folder(KnownFolder(FOLDERID_RoamingAppData) + "\\Vextral"));
}

TEST(FolderChecks, FoldersAndWhatCouldBeMadeInThemButNotFiles) {
  TempDirectory directory;
  EXPECT_TRUE(folder_can_hold_files(directory.path()));
  EXPECT_TRUE(folder_can_hold_files(directory / "not\\yet\\made"));
  WriteFileBytes(directory / "file", "x");
  EXPECT_FALSE(folder_can_hold_files(directory / "file"));
  EXPECT_FALSE(folder_can_hold_files(directory / "file/below"));
  EXPECT_TRUE(make_private_folders(directory / "made\\here"));
  EXPECT_EQ(PathType(directory / "made/here"), 2);
  EXPECT_EQ(LoadDir(directory.path()), (std::vector<std::string>{"file", "made"}))
      << "the checks leave nothing behind";
}

TEST(SafeReplace, FailureKeepsTheOldFileAndLeavesNoTemporary) {
  TempDirectory directory;
  WriteFileBytes(directory / "score.dat", "old!");
  const uint8_t bytes[] = {1, 2, 3, 4};
  std::string error;
  // Another program holds the file open without sharing it: the replace cannot happen.
  const HANDLE holder = CreateFileW(WideFromUtf8(directory / "score.dat").c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(replace_file_safely(directory / "score.dat", bytes, sizeof bytes, error));
  EXPECT_FALSE(error.empty());
  CloseHandle(holder);
  EXPECT_EQ(ReadFileBytes(directory / "score.dat"), "old!");
  EXPECT_EQ(LoadDir(directory.path()), std::vector<std::string>{"score.dat"});

  error.clear();
  EXPECT_TRUE(replace_file_safely(directory / "score.dat", bytes, sizeof bytes, error)) << error;
  EXPECT_EQ(ReadFileBytes(directory / "score.dat"), std::string("\x01\x02\x03\x04", 4));
  EXPECT_FALSE(replace_file_safely(directory / "missing/score.dat", bytes, sizeof bytes, error));
}

TEST(SafeReplace, WaitsForAReaderToLetGo) {
  // Another copy of the game reads the file as the game does, sharing it for deletion,
  // which makes a replace fail with "access denied" meanwhile; the C runtime and a virus
  // scanner share it for reading and writing only, which makes it a sharing violation.
  for (const DWORD sharing : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
                              DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    SCOPED_TRACE(sharing);
    TempDirectory directory;
    WriteFileBytes(directory / "score.dat", "old!");
    const HANDLE reader = CreateFileW(WideFromUtf8(directory / "score.dat").c_str(), GENERIC_READ,
                                      sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    // It lets go a moment after this save has begun.
    std::thread reading([&] {
      while (LoadDir(directory.path()).size() < 2) Sleep(1);  // the save's temporary is there
      Sleep(50);
      CloseHandle(reader);
    });
    const uint8_t bytes[] = {1, 2, 3, 4};
    std::string error;
    EXPECT_TRUE(replace_file_safely(directory / "score.dat", bytes, sizeof bytes, error)) << error;
    reading.join();
    EXPECT_EQ(ReadFileBytes(directory / "score.dat"), std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(LoadDir(directory.path()), std::vector<std::string>{"score.dat"});
  }
}

TEST(SafeReplace, TemporaryFilesLeftLongAgoAreClearedAndNothingElse) {
  TempDirectory directory;
  const auto long_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
  for (const char* name : {".score.dat.crashedSave1", ".score.dat.savingNow001", ".score.dat.stale",
                           ".other.dat.crashedSave2"}) {
    WriteFileBytes(directory / name, "x");
    if (std::string(name) != ".score.dat.savingNow001")
      std::filesystem::last_write_time(NativePath(directory / name), long_ago);
  }
  remove_stale_temporaries(directory.path(), {"score.dat"});
  EXPECT_EQ(LoadDir(directory.path()),
            (std::vector<std::string>{".other.dat.crashedSave2", ".score.dat.savingNow001",
                                      ".score.dat.stale"}));
}

TEST(SaveLock, EverySpellingOfAFolderIsOneLock) {
  TempDirectory directory;
  save_lock first(directory.path());
  ASSERT_TRUE(first.held());
  bool second_held = true;
  // Another copy of the game, spelling the folder its own way, waits and gives up.
  std::thread other([&] {
    std::string spelled = Lower(directory.path()) + "/";
    for (char& letter : spelled)
      if (letter == '\\') letter = '/';
    save_lock second(spelled);
    second_held = second.held();
  });
  other.join();
  EXPECT_FALSE(second_held);
  EXPECT_FALSE(save_lock(directory / "missing").held());
}

TEST(SaveLock, ReleasedWithItsLifetime) {
  TempDirectory directory;
  { save_lock first(directory.path()); }
  bool held = false;
  std::thread other([&] { held = save_lock(directory.path()).held(); });
  other.join();
  EXPECT_TRUE(held);
}

}  // namespace
