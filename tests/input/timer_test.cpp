// Timers: ticks are handed to the main thread through SDL's queue and counted only while
// it pumps.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include <SDL.h>

#include "input/input.h"
#include "input/system.h"
#include "input/timer.h"

namespace {

std::thread::id tick_thread;
int32_t tick_events = 0;

std::shared_ptr<TObject> WatchTicks(int32_t, const std::shared_ptr<TObject>& data,
                                    const std::shared_ptr<TObject>&) {
  auto event = std::dynamic_pointer_cast<TEvent>(data);
  if (event && event->id == EVENT_TIMERTICK) {
    tick_thread = std::this_thread::get_id();
    ++tick_events;
  }
  return data;
}

// Waits, without pumping, until the timer thread has handed at least ticks ticks to the main
// thread (SDL user events; these tests push no others). A busy machine can starve that
// thread for many periods, so no count is expected after any fixed time.
void WaitForTicksInFlight(int32_t ticks) {
  SDL_Event events[64];
  for (int32_t waited = 0; waited < 10000; waited += 5) {
    if (SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT) >= ticks) {
      return;
    }
    SleepMillis(5);
  }
  FAIL() << "the timer thread handed over fewer than " << ticks << " ticks in 10 s";
}

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSystemDriver(nullptr);
    PumpEvents();
    FlushEvents();
    tick_events = 0;
    AddHook(EmitEventHook, WatchTicks, nullptr, 1);
  }
  void TearDown() override {
    RemoveHook(EmitEventHook, WatchTicks, nullptr);
    PumpEvents();
    FlushEvents();
  }
};

TEST_F(TimerTest, PeriodIsWholeMillisecondsAndImpossibleRatesFail) {
  auto sixty = StartTimer(60.0f);
  ASSERT_NE(sixty, nullptr);
  EXPECT_EQ(sixty->PeriodMillis(), 16);
  auto half = StartTimer(0.5f);
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(half->PeriodMillis(), 2000);
  CancelTimer(sixty);
  CancelTimer(half);
  EXPECT_EQ(StartTimer(0.0f), nullptr);
  EXPECT_EQ(StartTimer(-5.0f), nullptr);
  EXPECT_EQ(StartTimer(5000.0f), nullptr);
  EXPECT_EQ(StartTimer(std::nanf("")), nullptr);
}

TEST_F(TimerTest, TicksOnlyWhileTheMainThreadPumps) {
  auto timer = StartTimer(100.0f);
  ASSERT_NE(timer, nullptr);
  WaitForTicksInFlight(3);
  EXPECT_EQ(TimerTickCount(timer), 0);
  EXPECT_EQ(tick_events, 0);
  PumpEvents();
  EXPECT_GE(TimerTickCount(timer), 3);
  EXPECT_EQ(tick_events, TimerTickCount(timer));
  EXPECT_EQ(tick_thread, std::this_thread::get_id());
  CancelTimer(timer);
}

TEST_F(TimerTest, WaitReportsMissedTicksAndTheQueueHoldsOneTick) {
  auto timer = StartTimer(100.0f);
  ASSERT_NE(timer, nullptr);
  EXPECT_GE(WaitForTick(timer), 1);
  // Five periods or more without pumping.
  WaitForTicksInFlight(5);
  int32_t missed = WaitForTick(timer);
  EXPECT_GE(missed, 5);
  CancelTimer(timer);  // no further ticks while the queue is read
  int32_t ticks_in_queue = 0;
  int32_t last_count = 0;
  while (PollEvent() != 0) {
    if (EventID() == EVENT_TIMERTICK && EventSource() == timer) {
      ++ticks_in_queue;
      last_count = EventData();
    }
  }
  EXPECT_EQ(ticks_in_queue, 1);
  EXPECT_EQ(last_count, TimerTickCount(timer));
  EXPECT_EQ(WaitForTick(timer), 0);
}

TEST_F(TimerTest, StoppedTimerIgnoresTicksStillInFlight) {
  auto timer = StartTimer(200.0f);
  ASSERT_NE(timer, nullptr);
  SleepMillis(30);
  CancelTimer(timer);
  CancelTimer(timer);
  PumpEvents();
  SleepMillis(20);
  PumpEvents();
  EXPECT_EQ(TimerTickCount(timer), 0);
  EXPECT_EQ(tick_events, 0);
}

TEST_F(TimerTest, SeventeenthTimerCannotStartUntilOneStops) {
  std::vector<std::shared_ptr<TTimer>> timers;
  for (int i = 0; i < 16; ++i) {
    timers.push_back(StartTimer(1.0f));
    ASSERT_NE(timers.back(), nullptr) << i;
  }
  EXPECT_EQ(StartTimer(1.0f), nullptr);
  CancelTimer(timers[3]);
  auto replacement = StartTimer(1.0f);
  EXPECT_NE(replacement, nullptr);
  CancelTimer(replacement);
  for (auto& timer : timers) CancelTimer(timer);
}

TEST_F(TimerTest, RunningTimerKeepsItselfAliveAndEmitsItsOwnEvent) {
  auto custom = TEvent::Create(TEvent::AllocUserId());
  std::weak_ptr<TTimer> weak = StartTimer(100.0f, custom);
  ASSERT_FALSE(weak.expired());
  WaitForTicksInFlight(1);
  PumpEvents();
  auto timer = weak.lock();
  ASSERT_NE(timer, nullptr);
  EXPECT_GE(timer->Ticks(), 1);
  EXPECT_EQ(tick_events, 0) << "a custom event replaces TimerTick";
  EXPECT_EQ(PollEvent(), custom->id);
  timer->Stop();
  timer = nullptr;
  EXPECT_TRUE(weak.expired());
}

}  // namespace
