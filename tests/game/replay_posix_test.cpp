// Replay files on POSIX systems: a pipe nobody writes to and a device are refused at once,
// without reading from them (opening the pipe does not wait for a writer); a file that
// grows past what it said is read only up to the cap; why a file was not read.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "game/replay/format.h"
#include "stream/native_files.h"
#include "stream/regular_file.h"

namespace {

TEST(ReplayFile, APipeOrADeviceIsRefusedUnread) {
  const std::string folder = NativeMakeTemporaryFolder("vextral-replay-");
  ASSERT_FALSE(folder.empty());
  const std::string pipe = folder + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    replay loaded;
    std::string error;
    EXPECT_EQ(replay_load_why(path, loaded, error), replay_refusal::unreadable) << path;
    EXPECT_EQ(error, "is not a regular file") << path;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// A file that says it is empty and then gives more (as /proc's files do, and as a file
// another program writes meanwhile) is read to its end, and never past the cap.
TEST(RegularFile, AFileLongerThanItsSizeSaidIsReadToItsEndButNotPastTheCap) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(read_regular_file("/proc/self/status", 1 << 20, bytes, error)) << error;
  EXPECT_GT(bytes.size(), 100u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "Name:");
  EXPECT_FALSE(read_regular_file("/proc/self/status", 64, bytes, error));
  EXPECT_EQ(error, "is too large");
}

// Only a missing file is absent; a link is read through or refused as asked, never
// followed when refused, dangling or not.
TEST(RegularFile, WhyAFileWasNotReadTellsAbsenceFromEverythingElse) {
  const std::string folder = NativeMakeTemporaryFolder("vextral-regular-");
  ASSERT_FALSE(folder.empty());
  namespace fs = std::filesystem;
  {
    std::ofstream(folder + "/file", std::ios::binary) << "abcdef";
  }
  fs::create_symlink(folder + "/file", folder + "/link");
  fs::create_symlink(folder + "/missing", folder + "/dangling");
  fs::create_directory(folder + "/folder");
  std::vector<uint8_t> bytes;
  std::string error;
  const auto why = [&](const std::string& name, link_rule links) {
    return read_regular_file_why(folder + "/" + name, 64, bytes, error, links);
  };
  EXPECT_EQ(why("missing", link_rule::refuse), file_refusal::absent);
  EXPECT_EQ(why("file/below", link_rule::refuse), file_refusal::absent);
  EXPECT_EQ(why("folder", link_rule::refuse), file_refusal::not_a_file);
  EXPECT_EQ(why("link", link_rule::refuse), file_refusal::not_a_file);
  EXPECT_EQ(error, "is a link, not a file");
  EXPECT_EQ(why("dangling", link_rule::refuse), file_refusal::not_a_file);
  EXPECT_EQ(why("dangling", link_rule::follow), file_refusal::absent);
  ASSERT_EQ(why("link", link_rule::follow), file_refusal::none);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
  // Only the start of a longer file, when that is what is asked for.
  EXPECT_EQ(read_regular_file_why(folder + "/file", 4, bytes, error), file_refusal::too_large);
  ASSERT_EQ(read_regular_file_why(folder + "/file", 4, bytes, error, link_rule::refuse,
                                  size_rule::keep_start),
            file_refusal::none);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcd");
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
