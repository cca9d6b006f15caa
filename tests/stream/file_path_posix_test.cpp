// Paths on systems whose file names are case-sensitive: a name that does not exist as
// spelled is resolved to the spelling on disk, component by component.

#include <gtest/gtest.h>

#include <filesystem>

#include "stream/filesystem.h"
#include "stream/native_path.h"
#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

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

TEST(Directories, ChangeDirectoryFollowsAnyCaseAndCurrentDirectoryIsNormalised) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("data"), 1);
  EXPECT_EQ(ChangeDirectory("DATA\\"), 1);
  const std::string current = CurrentDirectory();
  EXPECT_EQ(current.substr(current.size() - 5), "/data");
  EXPECT_EQ(current.back(), 'a');
  EXPECT_EQ(ChangeDirectory("missing"), 0);
  EXPECT_EQ(ChangeDirectory(".."), 1);
  EXPECT_EQ(CurrentDirectory(),
            NormalisePath(Utf8Path(std::filesystem::canonical(NativePath(directory.path())))));
}

}  // namespace
