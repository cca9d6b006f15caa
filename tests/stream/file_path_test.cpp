// Paths: backslashes, case-insensitive resolution, path queries and file operations.

#include <gtest/gtest.h>

#include <filesystem>

#include "stream/filesystem.h"
#include "stream/safe_save.h"
#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

TEST(GameDataFolder, BothSpellingsOfTheDataFolderReachOneFolder) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("data"), 1);

  auto scores = FileOpenWrite("data\\hiscore.dat");
  ASSERT_TRUE(scores);
  scores->WriteInt(12345);
  StreamClose(scores);
  auto stereo = FileOpenWrite("Data\\anaglyph3d.dat");
  ASSERT_TRUE(stereo) << "writing into \"Data\" uses the existing \"data\"";
  stereo->WriteInt(3);
  StreamClose(stereo);

  EXPECT_EQ(LoadDir("."), std::vector<std::string>{"data"});
  EXPECT_EQ(LoadDir("data"), (std::vector<std::string>{"anaglyph3d.dat", "hiscore.dat"}));

  auto again = FileOpenRead("data/hiscore.dat");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->ReadInt(), 12345);
  StreamClose(again);
  auto mode = FileOpenRead("Data\\anaglyph3d.dat");
  ASSERT_TRUE(mode);
  EXPECT_EQ(mode->ReadInt(), 3);
  StreamClose(mode);
}

TEST(GameDataFolder, MissingFolderOrFileGivesNoStream) {
  TempDirectory directory(/*enter=*/true);
  EXPECT_EQ(FileOpenRead("data\\hiscore.dat"), nullptr);
  EXPECT_EQ(FileOpenWrite("data\\hiscore.dat"), nullptr);
  EXPECT_EQ(PathType("data"), 0);
}

TEST(PathType, TellsFilesFromDirectoriesAndRejectsAngleBrackets) {
  TempDirectory directory;
  WriteFileBytes(directory / "file.txt", "x");
  ASSERT_EQ(CreateDir(directory / "sub"), 1);
  EXPECT_EQ(PathType(directory / "file.txt"), 1);
  EXPECT_EQ(PathType(directory / "FILE.TXT"), 1);
  EXPECT_EQ(PathType(directory / "sub"), 2);
  EXPECT_EQ(PathType(directory / "sub/"), 2);
  EXPECT_EQ(PathType(directory / "SUB\\"), 2);
  EXPECT_EQ(PathType(directory / "none"), 0);
  EXPECT_EQ(PathType(""), 0);
  EXPECT_EQ(PathType(directory / "<sub"), 0);
  EXPECT_EQ(PathType(directory / "sub>"), 0);
  EXPECT_EQ(PathType("/"), 2);
}

TEST(Normalise, BackslashesBecomeSlashesAndDirectoriesLoseTheTrailingSlash) {
  EXPECT_EQ(NormalisePath("data\\sub\\x.dat"), "data/sub/x.dat");
  EXPECT_EQ(NormalisePath("data\\", 0), "data/");
  EXPECT_EQ(NormalisePath("data\\", 1), "data");
  EXPECT_EQ(NormalisePath("/", 1), "/");
}

TEST(FileOperations, CreateCopyRenameAndDeleteFilesAndTrees) {
  TempDirectory directory(/*enter=*/true);
  EXPECT_EQ(CreateDir("a/b/c"), 0) << "parents are only made when asked";
  EXPECT_EQ(CreateDir("a/b/c", 1), 1);
  EXPECT_EQ(CreateFile("a/b/c/one.txt"), 1);
  EXPECT_EQ(FileSize("a/b/c/one.txt"), 0);
  WriteFileBytes("a/b/c/one.txt", "12345");
  EXPECT_EQ(CopyFile("A/B/C/one.txt", "a/two.txt"), 1);
  EXPECT_EQ(ReadFileBytes("a/two.txt"), "12345");
  EXPECT_EQ(CopyFile("a/none.txt", "a/three.txt"), 0);
  EXPECT_EQ(RenameFile("a/two.txt", "a/2.txt"), 1);
  EXPECT_EQ(PathType("a/two.txt"), 0);
  EXPECT_GT(FileTime("a/2.txt"), 0);

  EXPECT_EQ(SetFileMode("a/2.txt", 0444), 1);
  EXPECT_EQ(FileMode("a/2.txt"), 0444);
  EXPECT_EQ(DeleteFile("a/2.txt"), 1) << "read-only files are made writeable first";
  EXPECT_EQ(DeleteFile("a/2.txt"), 0);
  EXPECT_EQ(DeleteFile("a"), 0) << "directories are not files";

  EXPECT_EQ(DeleteDir("a"), 0) << "not empty";
  EXPECT_EQ(DeleteDir("a", 1), 1);
  EXPECT_EQ(PathType("a"), 0);
  EXPECT_TRUE(LoadDir("a").empty());
  EXPECT_EQ(FileSize("a"), -1);
  EXPECT_EQ(FileMode("a"), -1);
}

// Names beyond ASCII are UTF-8 throughout the program, whatever the system spells them in
// (Windows: UTF-16), and every operation reaches the same file under its one name.
TEST(FileOperations, NamesBeyondAsciiReachTheSameFileEverywhere) {
  TempDirectory directory(/*enter=*/true);
  const std::string folder = "Sp\xC3\xA9ler \xE6\x97\xA5\xE6\x9C\xAC";  // "Spéler 日本"
  const std::string name = "h\xC3\xAFscore.dat";                        // "hïscore.dat"
  const std::string file = folder + "/" + name;
  ASSERT_EQ(CreateDir(folder), 1);
  EXPECT_EQ(LoadDir(".").at(0), folder);
  auto out = FileOpenWrite(file);
  ASSERT_TRUE(out);
  out->WriteInt(1234);
  StreamClose(out);
  EXPECT_EQ(LoadDir(folder), std::vector<std::string>{name});
  EXPECT_EQ(FileSize(file), 4);
  EXPECT_EQ(PathType(folder), 2);

  std::string error;
  const uint8_t bytes[] = {9, 0, 0, 0};
  EXPECT_TRUE(folder_can_hold_files(directory / folder));
  EXPECT_FALSE(is_installed_folder(directory / folder));
  ASSERT_TRUE(replace_file_safely(directory / file, bytes, sizeof bytes, error)) << error;
  auto in = FileOpenRead(file);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadInt(), 9);
  StreamClose(in);
  EXPECT_EQ(LoadDir(folder), std::vector<std::string>{name}) << "no temporary file is left";

  EXPECT_EQ(CopyFile(file, folder + "/\xC3\xA9.dat"), 1);
  EXPECT_EQ(RenameFile(file, folder + "/\xC3\xA0.dat"), 1);
  EXPECT_EQ(LoadDir(folder), (std::vector<std::string>{"\xC3\xA0.dat", "\xC3\xA9.dat"}));
  EXPECT_EQ(DeleteDir(folder, 1), 1);
  EXPECT_EQ(PathType(folder), 0);
}

}  // namespace
