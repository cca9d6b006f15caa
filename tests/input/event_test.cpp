// Hook chains, event text and the event queue, driven by emitting events directly.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "input/event.h"
#include "input/system.h"

namespace {

class TTrace : public TObject {
 public:
  std::vector<std::string> calls;
};

std::shared_ptr<TObject> RecordA(int32_t, const std::shared_ptr<TObject>& data,
                                 const std::shared_ptr<TObject>& context) {
  std::static_pointer_cast<TTrace>(context)->calls.push_back("A");
  return data;
}

std::shared_ptr<TObject> RecordB(int32_t, const std::shared_ptr<TObject>& data,
                                 const std::shared_ptr<TObject>& context) {
  std::static_pointer_cast<TTrace>(context)->calls.push_back("B");
  return data;
}

std::shared_ptr<TObject> Replace(int32_t, const std::shared_ptr<TObject>&,
                                 const std::shared_ptr<TObject>& context) {
  return context;
}

class HookTest : public ::testing::Test {
 protected:
  // Hook ids run out after 256, so the whole file shares one spare chain.
  static int32_t SpareId() {
    static const int32_t id = AllocHookId();
    return id;
  }
  std::shared_ptr<TTrace> trace = std::make_shared<TTrace>();
  void TearDown() override {
    RemoveHook(SpareId(), RecordA, trace);
    RemoveHook(SpareId(), RecordB, trace);
    RemoveHook(SpareId(), RecordB, trace);
  }
};

TEST_F(HookTest, RunsByDescendingPriorityThenInOrderAdded) {
  AddHook(SpareId(), RecordA, trace, -5);
  AddHook(SpareId(), RecordB, trace, 0);
  auto second = std::make_shared<TTrace>();
  AddHook(SpareId(), RecordA, second, 0);  // equal priority: after B
  RunHooks(SpareId(), nullptr);
  EXPECT_EQ(trace->calls, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(second->calls, (std::vector<std::string>{"A"}));
  RemoveHook(SpareId(), RecordA, second);
}

TEST_F(HookTest, EachHookSeesThePreviousResult) {
  auto replacement = std::make_shared<TStringObject>("replaced");
  AddHook(SpareId(), Replace, replacement, 10);
  auto result = RunHooks(SpareId(), TEvent::Create(1));
  EXPECT_EQ(result, replacement);
  RemoveHook(SpareId(), Replace, replacement);
  EXPECT_EQ(RunHooks(SpareId(), nullptr), nullptr);
}

TEST_F(HookTest, RemoveTakesOnlyTheMatchingFunctionAndContext) {
  auto other = std::make_shared<TTrace>();
  AddHook(SpareId(), RecordA, trace, 0);
  AddHook(SpareId(), RecordB, trace, 0);
  RemoveHook(SpareId(), RecordA, other);  // wrong context: nothing
  RemoveHook(SpareId(), RecordB, trace);
  RemoveHook(SpareId(), RecordB, trace);  // already gone: nothing
  RunHooks(SpareId(), nullptr);
  EXPECT_EQ(trace->calls, (std::vector<std::string>{"A"}));
}

TEST_F(HookTest, OutOfRangeIdsAreHarmless) {
  AddHook(-1, RecordA, trace, 0);
  AddHook(256, RecordA, trace, 0);
  RemoveHook(9999, RecordA, trace);
  auto data = std::make_shared<TStringObject>("x");
  EXPECT_EQ(RunHooks(300, data), data);
  EXPECT_TRUE(trace->calls.empty());
}

// A hook whose context says what it does when it runs: it logs its name, then acts on the
// chain (removes or adds hooks, runs the chain again).
class TActor : public TObject {
 public:
  TActor(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
  std::string name;
  std::vector<std::string>& log;
  std::function<void()> action;
  int32_t finished = 0;
};

std::shared_ptr<TObject> Act(int32_t, const std::shared_ptr<TObject>& data,
                             const std::shared_ptr<TObject>& context) {
  static_cast<TActor&>(*context).log.push_back(static_cast<TActor&>(*context).name);
  if (static_cast<TActor&>(*context).action) static_cast<TActor&>(*context).action();
  // Reads the context again: it must outlive the call even when the hook removed itself.
  ++static_cast<TActor&>(*context).finished;
  return data;
}

// Hooks that change the chain while it runs: the chain must never call a removed hook
// nor touch a freed one (run under AddressSanitizer).
class ChangingChainTest : public ::testing::Test {
 protected:
  static int32_t ChainId() {
    static const int32_t id = AllocHookId();
    return id;
  }
  std::vector<std::string> log;
  std::vector<std::shared_ptr<TActor>> actors;

  std::shared_ptr<TActor> Actor(const std::string& name) {
    actors.push_back(std::make_shared<TActor>(name, log));
    return actors.back();
  }
  std::shared_ptr<TActor> Added(const std::string& name, int32_t priority) {
    auto actor = Actor(name);
    AddHook(ChainId(), Act, actor, priority);
    return actor;
  }
  static void Remove(const std::shared_ptr<TActor>& actor) { RemoveHook(ChainId(), Act, actor); }
  std::vector<std::string> Run() {
    log.clear();
    RunHooks(ChainId(), nullptr);
    return log;
  }
  void TearDown() override {
    for (const auto& actor : actors) {
      actor->action = nullptr;
      RemoveHook(ChainId(), Act, actor);
    }
    EXPECT_EQ(Run(), std::vector<std::string>{}) << "a hook was left on the chain";
  }
};

using Calls = std::vector<std::string>;

TEST_F(ChangingChainTest, HookRemovesItself) {
  auto a = Added("A", 0);
  Added("B", 0);
  Added("C", 0);
  a->action = [&] { Remove(a); };
  EXPECT_EQ(Run(), (Calls{"A", "B", "C"}));
  EXPECT_EQ(Run(), (Calls{"B", "C"}));
}

TEST_F(ChangingChainTest, HookRemovesItsSuccessorWhichIsNotCalled) {
  auto a = Added("A", 0);
  auto b = Added("B", 0);
  Added("C", 0);
  a->action = [&] { Remove(b); };
  EXPECT_EQ(Run(), (Calls{"A", "C"}));
  EXPECT_EQ(Run(), (Calls{"A", "C"}));
}

TEST_F(ChangingChainTest, HookRemovesEveryOtherHookAndItself) {
  auto a = Added("A", 0);
  auto b = Added("B", 0);
  auto c = Added("C", 0);
  auto d = Added("D", 0);
  b->action = [&] {
    Remove(d);
    Remove(a);
    Remove(b);
    Remove(c);
  };
  EXPECT_EQ(Run(), (Calls{"A", "B"}));
  EXPECT_EQ(Run(), Calls{});
}

TEST_F(ChangingChainTest, HookRemovesItsPredecessor) {
  auto a = Added("A", 0);
  auto b = Added("B", 0);
  Added("C", 0);
  b->action = [&] { Remove(a); };
  EXPECT_EQ(Run(), (Calls{"A", "B", "C"}));
  EXPECT_EQ(Run(), (Calls{"B", "C"}));
}

TEST_F(ChangingChainTest, HooksAddedBehindTheRunningOneRunNowAndTheOthersNextTime) {
  auto a = Added("A", 0);
  Added("B", -1);
  a->action = [&] {
    a->action = nullptr;
    Added("late", -2);  // lands after B: reached in this run
    Added("early", 5);  // lands before A: first reached by the next run
  };
  EXPECT_EQ(Run(), (Calls{"A", "B", "late"}));
  EXPECT_EQ(Run(), (Calls{"early", "A", "B", "late"}));
}

TEST_F(ChangingChainTest, HookThatAddsItselfAgainRunsOncePerRun) {
  auto a = Added("A", 0);
  Added("B", 1);
  a->action = [&] {
    Remove(a);
    AddHook(ChainId(), Act, a, 0);
  };
  EXPECT_EQ(Run(), (Calls{"B", "A"}));
  EXPECT_EQ(Run(), (Calls{"B", "A"}));
}

TEST_F(ChangingChainTest, NestedRunRemovesAHookTheOuterRunHasNotReached) {
  auto a = Added("A", 0);
  auto b = Added("B", 0);
  auto c = Added("C", 0);
  a->action = [&] {
    a->action = nullptr;
    RunHooks(ChainId(), nullptr);  // as a hook that emits an event of its own
  };
  c->action = [&] {
    Remove(b);
    Remove(a);
  };
  EXPECT_EQ(Run(), (Calls{"A", "A", "B", "C", "C"}));
  EXPECT_EQ(Run(), (Calls{"C"}));
}

TEST_F(ChangingChainTest, HookRemovedFromAnotherChainWhileBothRun) {
  static const int32_t other_id = AllocHookId();
  auto a = Added("A", 0);
  auto b = Added("B", 0);
  auto inner = Actor("inner");
  AddHook(other_id, Act, inner, 0);
  a->action = [&] { RunHooks(other_id, nullptr); };
  inner->action = [&] {
    Remove(b);
    RemoveHook(other_id, Act, inner);
  };
  EXPECT_EQ(Run(), (Calls{"A", "inner"}));
  EXPECT_EQ(Run(), (Calls{"A"}));
}

TEST(HookIds, EventModuleTakesTheFirstIdAndThe257thAllocationFails) {
  EXPECT_EQ(EmitEventHook, 0);
  int32_t last = -1;
  try {
    for (;;) last = AllocHookId();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Too many hook ids");
  }
  EXPECT_EQ(last, 255);
  EXPECT_THROW(AllocHookId(), std::runtime_error);
}

TEST(EventText, NamesDataAndExtra) {
  auto event =
      TEvent::Create(EVENT_KEYDOWN, nullptr, 32, 2, 3, 4, std::make_shared<TStringObject>("hi"));
  EXPECT_EQ(event->ToString(), "KeyDown: data=32, mods=2, x=3, y=4, extra=\"hi\"");
  EXPECT_EQ(TEvent::Create(16389)->ToString(),
            "WindowAccept: data=0, mods=0, x=0, y=0, extra=\"\"");
  EXPECT_EQ(TEvent::Create(131073)->ToString().rfind("ProcessExit: ", 0), 0u);
  EXPECT_EQ(TEvent::Create(4242, nullptr, 0, 0, 0, 0, TEvent::Create(1))->ToString(),
            "Unknown Event, id=4242: data=0, mods=0, x=0, y=0, extra=\"\"");
}

TEST(EventText, UserIdsAreNegativeAndCountFromOne) {
  int32_t first = TEvent::AllocUserId();
  EXPECT_EQ(first, -2147483647);
  EXPECT_EQ(TEvent::Create(first)->ToString().rfind("UserEvent1: ", 0), 0u);
  EXPECT_EQ(TEvent::AllocUserId(), -2147483646);
}

class QueueTest : public ::testing::Test {
 protected:
  TNullSystemDriver null_driver;
  void SetUp() override {
    SetSystemDriver(&null_driver);
    FlushEvents();
  }
  void TearDown() override {
    FlushEvents();
    SetSystemDriver(nullptr);
  }
};

TEST_F(QueueTest, EmittedEventsArriveInOrderAndBecomeCurrent) {
  EmitEvent(TEvent::Create(EVENT_KEYDOWN, nullptr, 65));
  TEvent::Create(EVENT_MOUSEMOVE, nullptr, 0, 1, 10, 20)->Emit();
  EXPECT_EQ(PeekEvent()->id, EVENT_KEYDOWN);
  EXPECT_EQ(PollEvent(), EVENT_KEYDOWN);
  EXPECT_EQ(EventData(), 65);
  EXPECT_EQ(PollEvent(), EVENT_MOUSEMOVE);
  EXPECT_EQ(EventX(), 10);
  EXPECT_EQ(EventY(), 20);
  EXPECT_EQ(EventMods(), 1);
}

TEST_F(QueueTest, EmptyQueuePollsZeroAndEmptiesTheCurrentEvent) {
  EmitEvent(TEvent::Create(EVENT_KEYUP, nullptr, 5));
  PollEvent();
  EXPECT_EQ(PollEvent(), 0);
  EXPECT_EQ(EventID(), 0);
  EXPECT_EQ(EventData(), 0);
  EXPECT_EQ(PeekEvent(), nullptr);
}

TEST_F(QueueTest, FullQueueDropsNewEvents) {
  for (int32_t i = 0; i < 300; ++i) EmitEvent(TEvent::Create(EVENT_KEYCHAR, nullptr, i));
  int32_t count = 0;
  int32_t last = -1;
  while (PollEvent() != 0) {
    ++count;
    last = EventData();
  }
  EXPECT_EQ(count, 256);
  EXPECT_EQ(last, 255);
}

TEST_F(QueueTest, TimerTicksAndWindowEventsCoalescePerSource) {
  auto source_a = std::make_shared<TObject>();
  auto source_b = std::make_shared<TObject>();
  EmitEvent(TEvent::Create(EVENT_TIMERTICK, source_a, 1));
  EmitEvent(TEvent::Create(EVENT_TIMERTICK, source_b, 1));
  EmitEvent(TEvent::Create(EVENT_TIMERTICK, source_a, 2));
  EmitEvent(TEvent::Create(EVENT_WINDOWSIZE, nullptr, 0, 0, 10, 10));
  EmitEvent(TEvent::Create(EVENT_WINDOWSIZE, nullptr, 0, 0, 30, 40));
  EmitEvent(TEvent::Create(EVENT_KEYDOWN, nullptr, 1));
  EmitEvent(TEvent::Create(EVENT_KEYDOWN, nullptr, 1));  // not coalesced

  ASSERT_EQ(PollEvent(), EVENT_TIMERTICK);
  EXPECT_EQ(EventSource(), source_a);
  EXPECT_EQ(EventData(), 2);
  ASSERT_EQ(PollEvent(), EVENT_TIMERTICK);
  EXPECT_EQ(EventSource(), source_b);
  ASSERT_EQ(PollEvent(), EVENT_WINDOWSIZE);
  EXPECT_EQ(EventX(), 30);
  EXPECT_EQ(EventY(), 40);
  EXPECT_EQ(PollEvent(), EVENT_KEYDOWN);
  EXPECT_EQ(PollEvent(), EVENT_KEYDOWN);
  EXPECT_EQ(PollEvent(), 0);
}

TEST_F(QueueTest, ExtraTextIsReadable) {
  EmitEvent(TEvent::Create(-5, nullptr, 0, 0, 0, 0, std::make_shared<TStringObject>("note")));
  EXPECT_EQ(PollEvent(), -5);
  EXPECT_EQ(EventText(), "note");
  EmitEvent(TEvent::Create(-5, nullptr, 0, 0, 0, 0, std::make_shared<TObject>()));
  PollEvent();
  EXPECT_EQ(EventText(), "");
}

// A hook that pumps while the pump is running must not recurse into the driver.
class CountingDriver : public TNullSystemDriver {
 public:
  int32_t polls = 0;
  void Poll() override {
    ++polls;
    EmitEvent(TEvent::Create(EVENT_KEYDOWN, nullptr, 1));
  }
};

std::shared_ptr<TObject> PumpFromHook(int32_t, const std::shared_ptr<TObject>& data,
                                      const std::shared_ptr<TObject>&) {
  PumpEvents();
  WaitForEvents();
  return data;
}

TEST_F(QueueTest, PumpInsideAHookReturnsAtOnce) {
  CountingDriver driver;
  SetSystemDriver(&driver);
  AddHook(EmitEventHook, PumpFromHook, nullptr, 5);
  PumpEvents();
  RemoveHook(EmitEventHook, PumpFromHook, nullptr);
  EXPECT_EQ(driver.polls, 1);
  PumpEvents();
  EXPECT_EQ(driver.polls, 2);
}

TEST(Clock, AdvancesAcrossASleepAndIgnoresNegativeSleeps) {
  int32_t start = ClockMillis();
  SleepMillis(-100);
  SleepMillis(20);
  int32_t elapsed = ClockMillis() - start;
  EXPECT_GE(elapsed, 20);
}

}  // namespace
