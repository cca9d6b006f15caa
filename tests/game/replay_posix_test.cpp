// Replay files on POSIX systems: a pipe nobody writes to and a device are refused at once,
// without reading from them (opening the pipe does not wait for a writer).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "game/replay/format.h"
#include "stream/native_files.h"

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

}  // namespace
