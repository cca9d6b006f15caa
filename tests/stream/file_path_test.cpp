// Paths: backslashes, case-insensitive resolution, path queries and file operations.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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

TEST(PathCase, ExactSpellingWinsOverOtherCases) {
  TempDirectory directory;
  WriteFileBytes(directory / "Readme", "upper");
  WriteFileBytes(directory / "readme", "lower");
  EXPECT_EQ(ResolvePathCase(directory / "readme"), directory / "readme");
  EXPECT_EQ(ResolvePathCase(directory / "README"), directory / "Readme") << "first in byte order";
  EXPECT_EQ(ResolvePathCase(directory / "nothing/Here"), directory / "nothing/Here");
}

TEST(PathCase, ResolvesEveryComponentOfAbsoluteAndRelativePaths) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("Music/Tracks", 1), 1);
  WriteFileBytes("Music/Tracks/Theme.ogg", "ogg");
  EXPECT_EQ(ResolvePathCase("music/tracks/theme.OGG"), "Music/Tracks/Theme.ogg");
  EXPECT_EQ(ResolvePathCase("./MUSIC/../music/tracks"), "./Music/../Music/Tracks");
  EXPECT_EQ(ResolvePathCase(directory / "MUSIC/tracks/new.ogg"),
            directory / "Music/Tracks/new.ogg");
  EXPECT_EQ(FileSize("MUSIC\\TRACKS\\THEME.OGG"), 3);
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

TEST(Directories, ChangeDirectoryFollowsAnyCaseAndCurrentDirectoryIsNormalised) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("data"), 1);
  EXPECT_EQ(ChangeDirectory("DATA\\"), 1);
  const std::string current = CurrentDirectory();
  EXPECT_EQ(current.substr(current.size() - 5), "/data");
  EXPECT_EQ(current.back(), 'a');
  EXPECT_EQ(ChangeDirectory("missing"), 0);
  EXPECT_EQ(ChangeDirectory(".."), 1);
  EXPECT_EQ(CurrentDirectory(), NormalisePath(std::filesystem::canonical(directory.path())));
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

}  // namespace
