// Stream behaviour over what only POSIX systems have: named pipes in the file system.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

TEST(StreamObjects, NamedPipeIsReadWholeIntoABank) {
  TempDirectory directory;
  const std::string path = directory / "pipe";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { WriteFileBytes(path, std::string("\x05\0\0\0rest", 8)); });
  auto stream = FileOpenRead(path);
  writer.join();
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Size(), 8);
  EXPECT_EQ(stream->ReadInt(), 5);
  EXPECT_EQ(stream->ReadLine(), "rest");
}

}  // namespace
