// Paths on Windows, whose file system matches names ignoring case by itself: every
// spelling reaches the one file or folder, and paths come back with "/" separators; a
// path named on the command line is made absolute as Windows spells it.

#include <gtest/gtest.h>

#include <string>

#include "stream/filesystem.h"
#include "stream/program_folder.h"
#include "stream/stream.h"
#include "stream/wide_text.h"
#include "tests/stream/stream_test_support.h"

namespace {

TEST(PathCase, EverySpellingReachesTheOneFile) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("Music/Tracks", 1), 1);
  WriteFileBytes("Music/Tracks/Theme.ogg", "ogg");
  EXPECT_EQ(FileSize("MUSIC\\TRACKS\\THEME.OGG"), 3);
  EXPECT_EQ(PathType(directory / "music/tracks"), 2);
  auto stream = FileOpenRead("music/tracks/theme.OGG");
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadLine(), "ogg");
  StreamClose(stream);
  EXPECT_EQ(LoadDir("MUSIC/TRACKS"), std::vector<std::string>{"Theme.ogg"})
      << "names come back as they are on disk";
}

TEST(Directories, ChangeDirectoryTakesAnySpellingAndCurrentDirectoryIsNormalised) {
  TempDirectory directory(/*enter=*/true);
  ASSERT_EQ(CreateDir("data"), 1);
  EXPECT_EQ(ChangeDirectory("DATA\\"), 1);
  const std::string current = CurrentDirectory();
  EXPECT_EQ(current.find('\\'), std::string::npos) << current;
  EXPECT_NE(current.back(), '/');
  WriteFileBytes("here.txt", "x");
  EXPECT_EQ(PathType(directory / "data/here.txt"), 1) << "the current folder is data";
  EXPECT_EQ(ChangeDirectory("missing"), 0);
  EXPECT_EQ(ChangeDirectory(".."), 1);
  EXPECT_EQ(PathType("data/here.txt"), 1);
}

TEST(Directories, AbsolutePathKeepsSharesDevicesAndNamesBeyondAscii) {
  TempDirectory directory(/*enter=*/true);
  wchar_t current[MAX_PATH + 1];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH + 1, current), 0u);
  const std::string zoe = "Zo\xc3\xab";  // "Zoë" in UTF-8
  EXPECT_EQ(AbsolutePath(zoe + "\\best.replay"),
            Utf8FromWide(current) + "\\" + zoe + "\\best.replay");
  EXPECT_EQ(AbsolutePath("C:/Spiele/" + zoe + "/../best.replay"), "C:\\Spiele\\best.replay");
  EXPECT_EQ(AbsolutePath("\\\\nas\\spiele\\best.replay"), "\\\\nas\\spiele\\best.replay");
  EXPECT_EQ(AbsolutePath("\\\\.\\NUL"), "\\\\.\\NUL");
}

}  // namespace
