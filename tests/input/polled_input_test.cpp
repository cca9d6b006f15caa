// The polled keyboard and mouse state, fed by emitting events into the hook chain the
// way a headless simulator does.

#include <gtest/gtest.h>

#include <vector>

#include "input/input.h"
#include "input/system.h"

namespace {

void Emit(int32_t id, int32_t data = 0, int32_t x = 0, int32_t y = 0) {
  EmitEvent(TEvent::Create(id, nullptr, data, 0, x, y));
}

class PolledInputTest : public ::testing::Test {
 protected:
  TNullSystemDriver null_driver;
  void SetUp() override {
    SetSystemDriver(&null_driver);
    EnableInputPolling();
  }
  void TearDown() override {
    DisableInputPolling();
    FlushEvents();
    SetSystemDriver(nullptr);
  }
};

TEST_F(PolledInputTest, HeldKeyCountsOneHitAndRepeatsAreIgnored) {
  Emit(EVENT_KEYDOWN, 32);
  for (int32_t i = 0; i < 40; ++i) Emit(EVENT_KEYREPEAT, 32);
  EXPECT_EQ(KeyHits(32), 1);
  EXPECT_EQ(KeyHits(32), 0);
  EXPECT_EQ(KeyIsDown(32), 1);
  Emit(EVENT_KEYDOWN, 32);  // a second down without an up is the same press
  EXPECT_EQ(KeyHits(32), 0);
  Emit(EVENT_KEYUP, 32);
  EXPECT_EQ(KeyIsDown(32), 0);
  Emit(EVENT_KEYDOWN, 32);
  EXPECT_EQ(KeyHits(32), 1);
}

TEST_F(PolledInputTest, TwoPressesBetweenReadsCountTwo) {
  Emit(EVENT_KEYDOWN, 27);
  Emit(EVENT_KEYUP, 27);
  Emit(EVENT_KEYDOWN, 27);
  Emit(EVENT_KEYUP, 27);
  EXPECT_EQ(KeyHits(27), 2);
}

TEST_F(PolledInputTest, SuspendForgetsHeldKeysAndButtons) {
  Emit(EVENT_KEYDOWN, 37);
  Emit(EVENT_MOUSEDOWN, 1);
  EXPECT_EQ(KeyIsDown(37), 1);
  Emit(EVENT_APPSUSPEND);
  EXPECT_EQ(KeyIsDown(37), 0);
  EXPECT_EQ(KeyHits(37), 0);
  EXPECT_EQ(MouseIsDown(1), 0);
  EXPECT_EQ(MouseHits(1), 0);
  EXPECT_EQ(IsSuspended(), 1);
  Emit(EVENT_APPRESUME);
  EXPECT_EQ(IsSuspended(), 0);
}

TEST_F(PolledInputTest, CloseRequestReadsOnce) {
  EXPECT_EQ(CloseRequested(), 0);
  Emit(EVENT_APPTERMINATE);
  EXPECT_EQ(CloseRequested(), 1);
  EXPECT_EQ(CloseRequested(), 0);
}

TEST_F(PolledInputTest, CharacterQueueKeepsOrderAndDropsThe257th) {
  EXPECT_EQ(NextChar(), 0);
  for (int32_t i = 1; i <= 257; ++i) Emit(EVENT_KEYCHAR, i);
  for (int32_t i = 1; i <= 256; ++i) ASSERT_EQ(NextChar(), i);
  EXPECT_EQ(NextChar(), 0);
  Emit(EVENT_KEYCHAR, 'z');  // room again after reading
  EXPECT_EQ(NextChar(), 'z');
}

TEST_F(PolledInputTest, ClearKeysEmptiesStatesHitsAndCharacters) {
  Emit(EVENT_KEYDOWN, 65);
  Emit(EVENT_KEYCHAR, 'a');
  ClearKeys();
  EXPECT_EQ(KeyIsDown(65), 0);
  EXPECT_EQ(KeyHits(65), 0);
  EXPECT_EQ(NextChar(), 0);
}

TEST_F(PolledInputTest, OutOfRangeKeysAndButtonsReadZeroAndChangeNothing) {
  Emit(EVENT_KEYDOWN, 0);
  Emit(EVENT_KEYDOWN, 256);
  Emit(EVENT_KEYDOWN, -3);
  Emit(EVENT_MOUSEDOWN, 0);
  Emit(EVENT_MOUSEDOWN, 4);
  Emit(EVENT_MOUSEDOWN, -1);
  EXPECT_EQ(KeyIsDown(256), 0);
  EXPECT_EQ(KeyHits(-1), 0);
  EXPECT_EQ(KeyHits(100000), 0);
  EXPECT_EQ(KeyHits(0), 0);
  EXPECT_EQ(MouseHits(0), 0);
  EXPECT_EQ(MouseHits(4), 0);
  EXPECT_EQ(MouseIsDown(-7), 0);
}

TEST_F(PolledInputTest, MouseButtonsCountPressesAndTheWheelAccumulates) {
  Emit(EVENT_MOUSEDOWN, 1, 5, 5);
  Emit(EVENT_MOUSEDOWN, 1, 5, 5);
  EXPECT_EQ(MouseIsDown(1), 1);
  EXPECT_EQ(MouseHits(1), 1);
  Emit(EVENT_MOUSEUP, 1);
  EXPECT_EQ(MouseIsDown(1), 0);
  Emit(EVENT_MOUSEDOWN, 2);
  EXPECT_EQ(MouseHits(2), 1);
  EXPECT_EQ(MouseHits(3), 0);

  Emit(EVENT_MOUSEWHEEL, 1);
  Emit(EVENT_MOUSEWHEEL, 1);
  Emit(EVENT_MOUSEWHEEL, 1);
  Emit(EVENT_MOUSEWHEEL, -1);
  EXPECT_EQ(PointerWheel(), 2);
}

TEST_F(PolledInputTest, PointerFollowsMovesAndSurvivesClearMouse) {
  EXPECT_EQ(PointerX(), 0);
  EXPECT_EQ(PointerY(), 0);
  Emit(EVENT_MOUSEMOVE, 0, 320, 200);
  Emit(EVENT_MOUSEDOWN, 3, 1, 1);  // a button's position does not move the pointer
  Emit(EVENT_MOUSEWHEEL, 4);
  EXPECT_EQ(PointerX(), 320);
  EXPECT_EQ(PointerY(), 200);
  ClearMouse();
  EXPECT_EQ(PointerWheel(), 0);
  EXPECT_EQ(MouseIsDown(3), 0);
  EXPECT_EQ(MouseHits(3), 0);
  EXPECT_EQ(PointerX(), 320);
  EXPECT_EQ(PointerY(), 200);
}

TEST_F(PolledInputTest, NothingIsTakenWhilePollingIsOff) {
  DisableInputPolling();
  Emit(EVENT_KEYDOWN, 40);
  Emit(EVENT_APPTERMINATE);
  EXPECT_EQ(KeyIsDown(40), 0);
  EXPECT_EQ(CloseRequested(), 0);
  EnableInputPolling();
  EnableInputPolling();  // twice is once: one hook, one count per press
  Emit(EVENT_KEYDOWN, 40);
  EXPECT_EQ(KeyHits(40), 1);
  EXPECT_EQ(InputPollingEnabled(), 1);
}

TEST_F(PolledInputTest, SourceFilterTakesOnlyThatSourcesEvents) {
  DisableInputPolling();
  auto window = std::make_shared<TObject>();
  EnableInputPolling(window);
  Emit(EVENT_KEYDOWN, 50);
  EmitEvent(TEvent::Create(EVENT_KEYDOWN, window, 51));
  EXPECT_EQ(KeyHits(50), 0);
  EXPECT_EQ(KeyHits(51), 1);
}

TEST_F(PolledInputTest, OtherHookDataPassesThroughUntouched) {
  auto text = std::make_shared<TStringObject>("not an event");
  EXPECT_EQ(RunHooks(EmitEventHook, text), text);
  auto event = TEvent::Create(EVENT_KEYDOWN, nullptr, 70);
  EXPECT_EQ(RunHooks(EmitEventHook, event), event);
  EXPECT_EQ(PollEvent(), EVENT_KEYDOWN);  // the queue still saw it
}

// The queries pump the current driver, so a driver's events are seen by the next query.
// This one emits one scripted key press per pump.
class ScriptedDriver : public TNullSystemDriver {
 public:
  std::vector<int32_t> keys;
  void Poll() override {
    if (keys.empty()) return;
    EmitEvent(TEvent::Create(EVENT_KEYDOWN, nullptr, keys.front()));
    keys.erase(keys.begin());
  }
  void Wait() override { Poll(); }
};

TEST_F(PolledInputTest, QueriesPumpFirstAndWaitForKeyReturnsTheNextPress) {
  ScriptedDriver driver;
  SetSystemDriver(&driver);
  driver.keys = {162};
  EXPECT_EQ(KeyHits(162), 1);
  // The press pumped by WaitForKey's own ClearKeys is forgotten; the next one counts.
  driver.keys = {27, 164};
  EXPECT_EQ(WaitForKey(), 164);
  EXPECT_EQ(KeyHits(27), 0);
}

}  // namespace
