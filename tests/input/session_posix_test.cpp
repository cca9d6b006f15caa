// Close requests from outside the window on POSIX systems: the terminal's and the
// session's signals.

#include <gtest/gtest.h>

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "input/input.h"
#include "input/session.h"
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

bool Ignored(int signal_number) {
  struct sigaction current {};
  sigaction(signal_number, nullptr, &current);
  return current.sa_handler == SIG_IGN;
}

// Each case runs in a child of its own: the first close signal's time is the process's.
class SessionSignalTest : public SessionTest {
 protected:
  void SetUp() override {
    if (Ignored(SIGINT) || Ignored(SIGHUP)) GTEST_SKIP() << "ignored by this test's parent";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SessionTest::SetUp();
  }
};

TEST_F(SessionSignalTest, SignalsInAMomentAreOneCloseRequest) {
  // A closing terminal's SIGHUPs, then the logout's SIGTERM: the game closes once.
  EXPECT_EXIT(
      {
        std::raise(SIGHUP);
        std::raise(SIGHUP);
        std::raise(SIGTERM);
        const int first = CloseRequested();
        const int second = CloseRequested();
        std::raise(SIGINT);
        std::exit(first == 1 && second == 0 && CloseRequested() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(SessionSignalTest, ASignalAfterTheGraceEndsTheProcess) {
  EXPECT_EXIT(
      {
        SetCloseGrace(20);
        std::raise(SIGINT);
        // Not taken: the game is not listening.
        SDL_Delay(40);
        std::raise(SIGINT);
      },
      ::testing::KilledBySignal(SIGINT), "");
  EXPECT_EXIT(
      {
        SetCloseGrace(20);
        std::raise(SIGHUP);
        // Taken, and the game is still here long after: stuck on its way out.
        if (CloseRequested() != 1) std::exit(1);
        SDL_Delay(40);
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

// A launcher that closed stderr: what the game opens next must not take its number, or a
// line meant for stderr would go into that file or connection (the display's, say).
TEST(StandardStreams, AClosedStreamIsTheNullDeviceBeforeAnythingIsOpened) {
  EXPECT_EXIT(
      {
        close(STDERR_FILENO);
        close(STDIN_FILENO);
        KeepStandardStreamsOpen();
        const int opened = open("/dev/zero", O_RDONLY);
        const bool kept = fcntl(STDERR_FILENO, F_GETFD) != -1 &&
                          fcntl(STDIN_FILENO, F_GETFD) != -1 && opened > STDERR_FILENO;
        std::_Exit(kept ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
