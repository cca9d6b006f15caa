// Replay files on Windows: a named pipe and a device are refused at once, without reading
// from them.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "game/replay/format.h"

namespace {

TEST(ReplayFile, APipeOrADeviceIsRefusedUnread) {
  const std::string pipe_name =
      "\\\\.\\pipe\\vextral-replay-test-" + std::to_string(GetCurrentProcessId());
  // A pipe whose server never writes: a reader would wait for ever.
  const HANDLE server = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const std::string& path : {pipe_name, std::string("NUL")}) {
    replay loaded;
    std::string error;
    EXPECT_EQ(replay_load_why(path, loaded, error), replay_refusal::unreadable) << path;
    EXPECT_EQ(error, "is not a regular file") << path;
  }
  CloseHandle(server);
}

}  // namespace
