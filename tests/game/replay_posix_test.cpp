// Replay files on POSIX systems: a pipe nobody writes to and a device are refused at once,
// without reading from them (opening the pipe does not wait for a writer); a file that
// grows past what it said is read only up to the cap.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
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

}  // namespace
