// Close requests from outside the window on POSIX systems: the terminal's and the
// session's signals.

#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>

#include "input/input.h"
#include "input/system.h"

namespace {

class SessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SDL_setenv("SDL_VIDEODRIVER", "dummy", 0); }
  void SetUp() override {
    SetSystemDriver(nullptr);
    ASSERT_NE(SystemDriver(), nullptr);
    EnableInputPolling();
    while (CloseRequested() != 0) {
    }
  }
  void TearDown() override { DisableInputPolling(); }
};

TEST_F(SessionTest, TerminalInterruptBecomesACloseRequest) {
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  if (current.sa_handler == SIG_IGN) GTEST_SKIP() << "SIGINT is ignored by this test's parent";
  std::raise(SIGINT);
  EXPECT_EQ(CloseRequested(), 1);
  std::raise(SIGTERM);
  EXPECT_EQ(CloseRequested(), 1);
  EXPECT_EQ(CloseRequested(), 0);
}

TEST_F(SessionTest, SecondInterruptBeforeAnyPumpEndsTheProcess) {
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  if (current.sa_handler == SIG_IGN) GTEST_SKIP() << "SIGINT is ignored by this test's parent";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::raise(SIGINT);
        std::raise(SIGINT);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
