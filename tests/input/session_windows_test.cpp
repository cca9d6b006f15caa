// Close requests from outside the window on Windows: the session ending (logoff,
// shutdown) and another program's close (the uninstaller's), told through the game
// thread's hidden session window.

#include <gtest/gtest.h>

#include <windows.h>

#include <SDL.h>

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
    window_ = FindWindowW(L"VextralSession", nullptr);
    ASSERT_NE(window_, nullptr) << "the session window was not made";
  }
  void TearDown() override {
    SetSessionEndHandler(nullptr);
    DisableInputPolling();
  }
  HWND window_ = nullptr;
};

TEST_F(SessionTest, SessionEndSavesOnceBeforeReturningThenCloses) {
  int saves = 0;
  DWORD saving_thread = 0;
  SetSessionEndHandler([&] {
    ++saves;
    saving_thread = GetCurrentThreadId();
  });
  // Asked first: logoff may go ahead, and the game plays on meanwhile.
  EXPECT_EQ(SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_EQ(CloseRequested(), 0);
  // Another program cancelled the logoff: nothing ends.
  SendMessageW(window_, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(CloseRequested(), 0);
  SendMessageW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(saving_thread, GetCurrentThreadId());
  EXPECT_EQ(CloseRequested(), 1);
  EXPECT_EQ(CloseRequested(), 0);
  SendMessageW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(saves, 1);
}

TEST_F(SessionTest, SessionEndWithoutAHandlerStillCloses) {
  SendMessageW(window_, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(CloseRequested(), 1);
}

// The uninstaller finds a running game by this window and asks it to close: the game winds
// down as its own close button makes it, and the window stays until the game has ended.
TEST_F(SessionTest, AnotherProgramsCloseIsTheGamesCloseRequest) {
  EXPECT_EQ(SendMessageW(window_, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(CloseRequested(), 1);
  EXPECT_EQ(CloseRequested(), 0);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(FindWindowW(L"VextralSession", nullptr), window_);
}

}  // namespace
