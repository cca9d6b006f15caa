// The render state and graphics module over the headless driver: what reaches the driver,
// in which order and with which state.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "input/event.h"
#include "input/input.h"
#include "input/system.h"
#include "render/collision.h"
#include "render/display.h"
#include "render/default_driver.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/image_frame.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "render/simulated_display.h"
#include "tests/render/core/driver_contract.h"

INSTANTIATE_TEST_SUITE_P(
    Headless, DriverContract,
    testing::Values(DriverUnderTest{
        "headless",
        [] { return std::static_pointer_cast<TRender2DDriver>(HeadlessGraphicsDriver()); }}),
    [](const auto& info) { return info.param.name; });

namespace {

class HeadlessRenderState : public testing::Test {
 protected:
  void SetUp() override {
    SetSystemDriver(&null_system_);
    driver_ = HeadlessGraphicsDriver();
    SetGraphicsDriver(driver_);
    driver_->ClearCalls();
  }
  void TearDown() override {
    EndGraphics();
    SetSystemDriver(nullptr);
  }
  void Open() {
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, 2));
    driver_->ClearCalls();
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> kinds;
    for (const THeadlessCall& call : driver_->Calls()) kinds.push_back(call.kind);
    return kinds;
  }
  const THeadlessCall& Last() const { return driver_->Calls().back(); }

  TNullSystemDriver null_system_;
  std::shared_ptr<THeadlessDriver> driver_;
};

using Names = std::vector<std::string>;

TEST_F(HeadlessRenderState, OpeningReplaysTheStateThenClearsBothBuffers) {
  ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, 2));
  EXPECT_EQ(Kinds(),
            (Names{"SetBlend", "SetColor", "SetAlpha", "SetClsColor", "SetLineWidth",
                   "SetTransform", "SetTransform", "SetViewport", "Cls", "Flip", "Cls", "Flip"}));
  const std::vector<THeadlessCall>& calls = driver_->Calls();
  EXPECT_EQ(calls[0].args, std::vector<float>{BLEND_MASK});
  EXPECT_EQ(calls[1].args, (std::vector<float>{255, 255, 255}));
  EXPECT_EQ(calls[7].args, (std::vector<float>{0, 0, 640, 480}));
  EXPECT_EQ(calls[9].args, std::vector<float>{0}) << "setup flips with sync 0";
  EXPECT_EQ(GraphicsWidth(), 640);
  EXPECT_EQ(GraphicsHeight(), 480);
  EXPECT_EQ(GraphicsDepth(), 32);
  EXPECT_EQ(GraphicsHertz(), 60);
  EXPECT_EQ(GraphicsFlags(), 2);
  EXPECT_FALSE(SoftwarePacingEnabled()) << "headless flips never wait";
}

TEST_F(HeadlessRenderState, MakingARecordCurrentAgainReplaysItsOwnState) {
  Open();
  std::shared_ptr<TGraphics> first = CurrentGraphics();
  SetColor(1, 2, 3);
  SetBlend(BLEND_LIGHT);
  SetRotation(90);
  SetOrigin(5, 6);
  SetHandle(7, 8);
  SetViewport(1, 2, 3, 4);
  std::shared_ptr<TGraphics> second = CreateGraphics(320, 200, 0, 0, 0);
  ASSERT_TRUE(second);
  SetCurrentGraphics(second);
  EXPECT_EQ(GraphicsWidth(), 320);
  int32_t r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ(r, 255) << "a new record starts white";
  SetColor(9, 9, 9);

  driver_->ClearCalls();
  SetCurrentGraphics(first);
  GetColor(r, g, b);
  EXPECT_EQ((std::vector<int32_t>{r, g, b}), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(GetBlend(), BLEND_LIGHT);
  float hx, hy, ox, oy;
  GetHandle(hx, hy);
  GetOrigin(ox, oy);
  EXPECT_EQ((std::vector<float>{hx, hy, ox, oy}), (std::vector<float>{7, 8, 5, 6}));
  EXPECT_EQ(Kinds(), (Names{"SetBlend", "SetColor", "SetAlpha", "SetClsColor", "SetLineWidth",
                            "SetTransform", "SetTransform", "SetViewport"}))
      << "no second first-use clear";
  EXPECT_EQ(driver_->Calls()[7].args, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_NEAR(Last().iy, -1.0f, 1e-6f);
  CloseGraphics(second);
}

TEST_F(HeadlessRenderState, SettersKeepRawValuesAndTheDriverSeesClampedOnes) {
  Open();
  SetColor(300, -5, 128);
  int32_t r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ((std::vector<int32_t>{r, g, b}), (std::vector<int32_t>{300, -5, 128}));
  SetAlpha(1.5f);
  EXPECT_FLOAT_EQ(GetAlpha(), 1.5f);
  DrawRect(0, 0, 1, 1);
  EXPECT_EQ((std::vector<int32_t>{Last().red, Last().green, Last().blue}),
            (std::vector<int32_t>{255, 0, 128}));
  EXPECT_FLOAT_EQ(Last().alpha, 1.0f);
  SetAlpha(-0.2f);
  DrawRect(0, 0, 1, 1);
  EXPECT_FLOAT_EQ(Last().alpha, 0.0f);
}

TEST(OvalSegments, FollowTheRadiiInStepsOfFourFromTwelve) {
  EXPECT_EQ(OvalSegments(1, 1), 12);
  EXPECT_EQ(OvalSegments(50, 25), 72);
  EXPECT_EQ(OvalSegments(-50, 25), 72) << "a negative size has the same outline";
  EXPECT_EQ(OvalSegments(7, 7.9f), 12);
  EXPECT_EQ(OvalSegments(1e30f, 1e30f), 8192);
  EXPECT_EQ(OvalSegments(std::nanf(""), 1), 12);
}

TEST_F(HeadlessRenderState, HandleIsStoredNegatedAndAppliedToShapes) {
  Open();
  SetHandle(10, 5);
  float x, y;
  GetHandle(x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 5);
  EXPECT_EQ(TRender2DGraphics::Current()->handle_x, -10);
  SetOrigin(1, 2);
  DrawRect(100, 100, 20, 20);
  EXPECT_EQ(Last().kind, "DrawRect");
  EXPECT_EQ(Last().args, (std::vector<float>{-10, -5, 10, 15, 101, 102}));
  DrawOval(100, 100, 20, 20);
  EXPECT_EQ(Last().args, (std::vector<float>{-10, -5, 10, 15, 101, 102}));
  DrawPoly({1, 2, 3, 4, 5, 6});
  EXPECT_EQ(Last().args, (std::vector<float>{1, 2, 3, 4, 5, 6, -10, -5, 1, 2}));
}

TEST_F(HeadlessRenderState, LineEndPixelIsPlacedThroughTheMatrix) {
  Open();
  SetRotation(90);
  SetOrigin(100, 100);
  DrawLine(0, 0, 10, 0, 1);
  ASSERT_GE(driver_->Calls().size(), 2u);
  const THeadlessCall& line = driver_->Calls()[driver_->Calls().size() - 2];
  EXPECT_EQ(line.kind, "DrawLine");
  EXPECT_EQ(line.args, (std::vector<float>{0, 0, 10, 0, 100, 100}));
  EXPECT_EQ(Last().kind, "Plot");
  EXPECT_NEAR(Last().args[0], 100.0f, 1e-4f);
  EXPECT_NEAR(Last().args[1], 110.0f, 1e-4f);
  driver_->ClearCalls();
  DrawLine(0, 0, 10, 0, 0);
  EXPECT_EQ(Kinds(), (Names{"DrawLine"}));
}

TEST_F(HeadlessRenderState, RotationAndScaleBecomeOneMatrixSharedWithCollisions) {
  Open();
  SetRotationScale(30, 2, 3);
  ASSERT_EQ(Kinds(), (Names{"SetTransform"}));
  const float s = std::sin(30 * M_PI / 180), c = std::cos(30 * M_PI / 180);
  EXPECT_NEAR(Last().args[0], c * 2, 1e-5f);
  EXPECT_NEAR(Last().args[1], -s * 3, 1e-5f);
  EXPECT_NEAR(Last().args[2], s * 2, 1e-5f);
  EXPECT_NEAR(Last().args[3], c * 3, 1e-5f);
  float ix, iy, jx, jy;
  GetCollisionTransform(ix, iy, jx, jy);
  EXPECT_EQ((std::vector<float>{ix, iy, jx, jy}), Last().args);
  float sx, sy;
  GetScale(sx, sy);
  EXPECT_EQ(GetRotation(), 30);
  EXPECT_EQ(sx, 2);
  EXPECT_EQ(sy, 3);
  SetRotationScale(0, 1, 1);
}

TEST_F(HeadlessRenderState, CallsAreRecordedInOrderWithTheirState) {
  Open();
  std::shared_ptr<TPixmap> pixmap = SolidPixmap(2, 2, 1, 2, 3, 255);
  std::shared_ptr<TImageFrame> frame = CurrentRender2DDriver()->CreateFrameFromPixmap(pixmap, 0);
  SetBlend(BLEND_LIGHT);
  SetColor(10, 20, 30);
  Cls();
  frame->Draw(-1, -1, 1, 1, 50, 60);
  Plot(1, 2);
  Flip(0);
  EXPECT_EQ(Kinds(), (Names{"SetBlend", "SetColor", "Cls", "DrawFrame", "Plot", "Flip"}));
  const THeadlessCall& draw = driver_->Calls()[3];
  EXPECT_EQ(draw.args, (std::vector<float>{-1, -1, 1, 1, 50, 60}));
  EXPECT_EQ(draw.blend, BLEND_LIGHT);
  EXPECT_EQ(draw.green, 20);
  EXPECT_EQ(draw.frame, frame.get());
  EXPECT_EQ(draw.pixmap, pixmap.get());
  const int64_t flips = driver_->FlipCount();
  Flip(-1);
  EXPECT_EQ(driver_->FlipCount(), flips + 1);
}

TEST_F(HeadlessRenderState, NothingHappensWithoutCurrentGraphics) {
  SetColor(1, 2, 3);
  SetAlpha(0.5f);
  Cls();
  DrawRect(0, 0, 10, 10);
  DrawLine(0, 0, 10, 10, 1);
  DrawPoly({0, 0, 1, 0, 0, 1});
  DrawPixmap(SolidPixmap(1, 1, 0, 0, 0, 0), 0, 0);
  SetRotation(45);
  Flip(-1);
  EXPECT_FALSE(GrabPixmap(0, 0, 1, 1));
  EXPECT_TRUE(driver_->Calls().empty());
  int32_t r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(GetBlend(), BLEND_MASK);
  EXPECT_EQ(GraphicsWidth(), 0);
}

TEST_F(HeadlessRenderState, SequenceNumberAdvancesOnOpenAndEnd) {
  const int32_t before = GraphicsSeq();
  Open();
  EXPECT_EQ(GraphicsSeq(), before + 1);
  EndGraphics();
  EXPECT_EQ(GraphicsSeq(), before + 2);
  EXPECT_EQ(GraphicsWidth(), 0);
  EXPECT_FALSE(CurrentGraphics());
  EXPECT_FALSE(TRender2DGraphics::Current());
  EndGraphics();
  EXPECT_EQ(GraphicsSeq(), before + 2) << "nothing to end";
  Open();
  Open();
  EXPECT_EQ(GraphicsSeq(), before + 5) << "reopening ends the previous graphics first";
}

TEST_F(HeadlessRenderState, OpenGraphicsTurnsOnPolledInputAndEndTurnsItOff) {
  Open();
  EXPECT_TRUE(InputPollingEnabled());
  EndGraphics();
  EXPECT_FALSE(InputPollingEnabled());
}

int flip_hook_runs = 0;

std::shared_ptr<TObject> CountFlip(int32_t, const std::shared_ptr<TObject>& data,
                                   const std::shared_ptr<TObject>&) {
  ++flip_hook_runs;
  return data;
}

TEST_F(HeadlessRenderState, EveryFlipRunsTheFlipHookFirst) {
  Open();
  AddHook(FlipHookId(), CountFlip);
  flip_hook_runs = 0;
  Flip(-1);
  Flip(1);
  EXPECT_EQ(flip_hook_runs, 2);
  RemoveHook(FlipHookId(), CountFlip);
}

// The paced flip on simulated displays. Time is the display's own simulated clock, so every
// count is exact; what is checked is what a player sees: game updates a second, and torn
// pages where the display could have shown every frame whole.

constexpr int64_t kMilli = 1000000;
constexpr int64_t kSecond = 1000000000;
const std::vector<int64_t> kFastFrames{4 * kMilli};
// Slower than a 60 Hz period: the most a game can then do is 1000 / 19 = 52.6 a second.
const std::vector<int64_t> kSlowFrames{18 * kMilli, 19 * kMilli, 20 * kMilli};
// Within a 60 Hz period but over half of it (a software renderer, a slow integrated GPU):
// such frames miss the blanks of faster displays.
const std::vector<int64_t> kHeavyFrames{9 * kMilli, 10 * kMilli, 11 * kMilli, 12 * kMilli};

// A screen with enough blanks to show every one of 60 frames a second at a blank.
bool ShowsEveryFrameWhole(double refresh_hz) {
  return refresh_hz >= 59.4;
}

std::string RateName(double refresh_hz) {
  if (refresh_hz == 0) return "NoSync";
  std::string name = std::to_string(static_cast<int>(refresh_hz));
  const int hundredths = static_cast<int>(std::lround(refresh_hz * 100)) % 100;
  if (hundredths != 0) name += "_" + std::to_string(hundredths);
  return name + "Hz";
}

// A display: its refresh rate (0: it does not synchronise), whether it offers adaptive
// flips, and how many presented pages it queues before a flip blocks.
struct DisplayCase {
  double refresh_hz;
  bool adaptive;
  int32_t queue_depth;
};

std::string DisplayName(const DisplayCase& c) {
  return RateName(c.refresh_hz) + (c.adaptive ? "_Adaptive" : "") + "_Queue" +
         std::to_string(c.queue_depth);
}

void PrintTo(const DisplayCase& c, std::ostream* out) {
  *out << DisplayName(c);
}

std::vector<DisplayCase> EveryDisplay(const std::vector<double>& rates) {
  std::vector<DisplayCase> cases;
  for (double rate : rates) {
    for (bool adaptive : {false, true}) {
      if (rate == 0 && adaptive) continue;  // nothing to adapt to
      for (int32_t depth = 0; depth <= 3; ++depth) cases.push_back({rate, adaptive, depth});
    }
  }
  return cases;
}

class OnASimulatedDisplay : public HeadlessRenderState {
 protected:
  void TearDown() override {
    HeadlessRenderState::TearDown();
    SetDisplay(nullptr);
  }
  std::shared_ptr<TSimulatedDisplay> OpenOn(const DisplayCase& c, int32_t max_interval = 1000) {
    auto display =
        std::make_shared<TSimulatedDisplay>(c.refresh_hz, c.adaptive, max_interval, c.queue_depth);
    SetDisplay(display);
    Open();
    return display;
  }
};

class PacingOnEveryDisplay : public OnASimulatedDisplay,
                             public testing::WithParamInterface<DisplayCase> {};

TEST_P(PacingOnEveryDisplay, SixtyUntornUpdatesASecond) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn(GetParam());
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, kFastFrames);
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  if (ShowsEveryFrameWhole(GetParam().refresh_hz)) {
    EXPECT_EQ(run.torn, 0);
  }
}

// A slow machine must not halve the game's speed: a frame that misses its blank is shown
// at once instead of a whole refresh later.
TEST_P(PacingOnEveryDisplay, SlowFramesKeepFiftyUpdatesASecond) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn(GetParam());
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, kSlowFrames);
  EXPECT_GE(static_cast<double>(run.updates) / 10, 50.0);
}

TEST_P(PacingOnEveryDisplay, ALateFrameIsShownAtOnceAndTheNextOnTime) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn(GetParam());
  RunSimulatedFrames(*display, kSecond, kFastFrames);
  display->Advance(kSecond / 6);  // ten frames late, longer than any queue of pages
  const int64_t late = display->Now();
  Flip(-1);
  EXPECT_EQ(display->LastPresent(), late) << "no wait for the next blank";
  // The frames after it are paced as before, from the late one on.
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, kFastFrames);
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  if (ShowsEveryFrameWhole(GetParam().refresh_hz)) {
    EXPECT_EQ(run.torn, 0);
  }
}

// 59.94 Hz paces the game at its own rate; 62 to 68 Hz are too far from 60 to.
INSTANTIATE_TEST_SUITE_P(Displays, PacingOnEveryDisplay,
                         testing::ValuesIn(EveryDisplay({0, 50, 59.94, 60, 62, 65, 68, 75, 120, 144,
                                                         165, 180, 240})),
                         [](const auto& info) { return DisplayName(info.param); });

// The full-screen window moves to another monitor, or the monitor changes its mode, half way
// through a run: the system driver reports it as a window event. Frames of 4 ms, or heavy
// ones that miss the faster display's blanks.
struct ChangeCase {
  double from_hz;
  double to_hz;
  bool adaptive;
  int32_t queue_depth;
  int32_t event;
  bool heavy;
};

void PrintTo(const ChangeCase& c, std::ostream* out) {
  *out << RateName(c.from_hz) << " to " << RateName(c.to_hz) << (c.heavy ? ", heavy" : "");
}

class PacingAcrossADisplayChange : public OnASimulatedDisplay,
                                   public testing::WithParamInterface<ChangeCase> {};

TEST_P(PacingAcrossADisplayChange, SixtyUntornUpdatesASecond) {
  const ChangeCase& c = GetParam();
  std::shared_ptr<TSimulatedDisplay> display = OpenOn({c.from_hz, c.adaptive, c.queue_depth});
  const TSimulatedRun run = RunSimulatedFrames(
      *display, 10 * kSecond, c.heavy ? kHeavyFrames : kFastFrames, [&](int64_t, int64_t elapsed) {
        if (elapsed < 5 * kSecond || display->Refresh() == c.to_hz) return;
        display->SetRefreshRate(c.to_hz);
        EmitEvent(TEvent::Create(c.event));
      });
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  // Heavy frames can be late for a blank of a display whose blanks drift against the
  // game's period (144 Hz), and a late frame goes out at once: for them only the speed.
  if (!c.heavy && ShowsEveryFrameWhole(c.from_hz) && ShowsEveryFrameWhole(c.to_hz)) {
    EXPECT_EQ(run.torn, 0);
  }
}

std::vector<ChangeCase> Changes() {
  const std::pair<double, double> moves[] = {{120, 60}, {120, 144}, {120, 240}, {60, 75}, {60, 50},
                                             {60, 120}, {240, 60},  {75, 60},   {60, 144}};
  std::vector<ChangeCase> cases;
  for (const auto& [from, to] : moves) {
    for (bool adaptive : {false, true}) {
      for (int32_t depth : {0, 3}) {
        for (int32_t event : {EVENT_WINDOWMOVE, EVENT_WINDOWSIZE}) {
          for (bool heavy : {false, true})
            cases.push_back({from, to, adaptive, depth, event, heavy});
        }
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Displays, PacingAcrossADisplayChange, testing::ValuesIn(Changes()),
                         [](const auto& info) {
                           const ChangeCase& c = info.param;
                           return RateName(c.from_hz) + "_To_" + RateName(c.to_hz) +
                                  (c.adaptive ? "_Adaptive" : "") + "_Queue" +
                                  std::to_string(c.queue_depth) +
                                  (c.event == EVENT_WINDOWMOVE ? "_Moved" : "_Resized") +
                                  (c.heavy ? "_HeavyFrames" : "");
                         });

// A hidden window that keeps the focus, or a change of compositor, half way through: flips
// stop waiting for blanks, and the game must not run at whatever rate the machine manages.
class PacingWhenFlipsStopBlocking : public OnASimulatedDisplay,
                                    public testing::WithParamInterface<DisplayCase> {};

TEST_P(PacingWhenFlipsStopBlocking, SixtyUpdatesASecond) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn(GetParam());
  const TSimulatedRun run =
      RunSimulatedFrames(*display, 10 * kSecond, kFastFrames, [&](int64_t, int64_t elapsed) {
        if (elapsed >= 5 * kSecond) display->SetBlocking(false);
      });
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  EXPECT_EQ(run.torn, 0);
}

INSTANTIATE_TEST_SUITE_P(Displays, PacingWhenFlipsStopBlocking,
                         testing::ValuesIn(EveryDisplay({60, 120, 144, 180, 240})),
                         [](const auto& info) { return DisplayName(info.param); });

// A driver that cannot set a swap interval above 1 would show 120 frames a second.
TEST_F(OnASimulatedDisplay, SoftwarePacingTakesOverWhereTheSwapIntervalDoesNotTake) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn({120, false, 0}, 1);
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, kFastFrames);
  EXPECT_TRUE(FramePacing().software);
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  EXPECT_EQ(run.torn, 0);
}

// The window is on the screen before the pacing probe's flips end: a click on its close
// button then (or the session ending) must not be lost.
class TClosedWhileProbing : public TSimulatedDisplay {
 public:
  TClosedWhileProbing() : TSimulatedDisplay(60.0) {}
  void Flip(TGraphicsDriver& driver, int32_t sync) override {
    if (!closed) {
      closed = true;
      EmitEvent(TEvent::Create(EVENT_APPTERMINATE));
    }
    TSimulatedDisplay::Flip(driver, sync);
  }
  bool closed = false;
};

TEST_F(OnASimulatedDisplay, AWindowClosedWhileTheDisplayOpensIsHeard) {
  auto display = std::make_shared<TClosedWhileProbing>();
  SetDisplay(display);
  Open();
  ASSERT_TRUE(display->closed) << "opening a full-screen display should probe its pacing";
  EXPECT_EQ(CloseRequested(), 1);
}

// A screen that does not synchronise, on a machine so busy that the first flips (opening the
// graphics and the probe's) each take a 60 Hz period: it looks like a display that paces.
class TPacedLookingDisplay : public TSimulatedDisplay {
 public:
  TPacedLookingDisplay() : TSimulatedDisplay(0.0) {}
  void Flip(TGraphicsDriver& driver, int32_t sync) override {
    if (slow_flips_ > 0) {
      --slow_flips_;
      Advance(16666667);
    }
    TSimulatedDisplay::Flip(driver, sync);
  }

 private:
  int32_t slow_flips_ = 8;
};

// The game must not run at whatever rate the machine manages once the load goes, even when
// its first frames, still loading, were slow too.
TEST_F(OnASimulatedDisplay, SoftwarePacingTakesOverWhenAPacedLookingDisplayStopsWaiting) {
  auto display = std::make_shared<TPacedLookingDisplay>();
  SetDisplay(display);
  Open();
  ASSERT_FALSE(FramePacing().software) << "the probe should have been fooled";
  RunSimulatedFrames(*display, kSecond, {20 * kMilli});  // loading: slower than the period
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, {2 * kMilli});
  // As on a screen that was never mistaken: nothing to wait for but the schedule.
  EXPECT_TRUE(FramePacing().software);
  EXPECT_EQ(FramePacing().swap_interval, 0);
  EXPECT_FALSE(FramePacing().adaptive);
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
}

// A virtual screen (Xvfb, a remote desktop) reports no rate and its flips only copy the page:
// the game sleeps to its schedule and flips at once.
TEST_F(OnASimulatedDisplay, AScreenThatDoesNotSynchroniseIsPacedBySleepingAlone) {
  std::shared_ptr<TSimulatedDisplay> display = OpenOn({0, false, 0});
  EXPECT_TRUE(SoftwarePacingEnabled());
  EXPECT_EQ(FramePacing().swap_interval, 0);
  EXPECT_FALSE(FramePacing().adaptive);
  const TSimulatedRun run = RunSimulatedFrames(*display, 10 * kSecond, kFastFrames);
  EXPECT_NEAR(static_cast<double>(run.updates) / 10, 60.0, 0.6);
  EXPECT_EQ(FramePacing().swap_interval, 0);
}

TEST_F(HeadlessRenderState, ModesAreListedAndMatchedOnNonZeroFields) {
  EXPECT_EQ(CountGraphicsModes(), 1);
  int32_t w, h, d, hz;
  GetGraphicsMode(0, w, h, d, hz);
  EXPECT_EQ((std::vector<int32_t>{w, h, d, hz}), (std::vector<int32_t>{640, 480, 32, 60}));
  GetGraphicsMode(5, w, h, d, hz);
  EXPECT_EQ(w, 0);
  EXPECT_TRUE(GraphicsModeExists(640, 480, 0, 0));
  EXPECT_TRUE(GraphicsModeExists(0, 0, 32, 0));
  EXPECT_FALSE(GraphicsModeExists(640, 480, 16, 0));
  EXPECT_FALSE(GraphicsModeExists(800, 600));
  EXPECT_EQ((TGraphicsMode{640, 480, 32, 60}).ToString(), "640,480,32 60Hz");
}

TEST_F(HeadlessRenderState, ImpossibleSizesGiveNoGraphics) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OpenGraphics(0, 480, 32, 60, 2));
  EXPECT_FALSE(OpenGraphics(-640, 480, 0, 60, 0));
  EXPECT_FALSE(OpenGraphics(1 << 30, 1 << 30, 0, 60, 0));
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors.rfind("render:", 0), 0u) << errors;
  EXPECT_FALSE(CurrentGraphics());
  EXPECT_EQ(GraphicsWidth(), 0);
}

// Only the program picks the driver: the start-up's default must not replace the headless
// driver a simulator installed, and with none installed nothing opens.
TEST_F(HeadlessRenderState, TheDefaultDriverIsInstalledOnlyWhenNoneIs) {
  InstallDefaultGraphicsDriver();
  EXPECT_EQ(GetGraphicsDriver(), driver_);

  SetGraphicsDriver(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OpenGraphics(640, 480, 0, 0, 0));
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors.rfind("render:", 0), 0u) << errors;

  InstallDefaultGraphicsDriver();
  EXPECT_EQ(GetGraphicsDriver(), GLRender2DDriver());
  SetGraphicsDriver(driver_);
}

TEST_F(HeadlessRenderState, BufferSavesAsAPngWithTheSamePixels) {
  Open();
  SetClsColor(10, 200, 30);
  Cls();
  SetColor(255, 0, 0);
  Plot(3, 4);
  const std::string path = testing::TempDir() + "/headless_buffer.png";
  ASSERT_TRUE(driver_->SaveBufferPNG(path));
  std::shared_ptr<TPixmap> loaded = LoadPixmap(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->width, 640);
  EXPECT_EQ(loaded->height, 480);
  EXPECT_EQ(loaded->ReadPixel(0, 0), 0xFF0AC81Eu);
  EXPECT_EQ(loaded->ReadPixel(3, 4), 0xFFFF0000u);
  std::remove(path.c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(driver_->SaveBufferPNG("/nonexistent-folder/x.png"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("render:"), std::string::npos);
}

TEST_F(HeadlessRenderState, SpriteSheetGrabMatchesWhatWasDrawn) {
  Open();
  // A sheet as the game loads it: RGB without alpha, black is the mask colour.
  std::shared_ptr<TPixmap> sheet = TPixmap::Create(8, 4, PF_RGB888, 4);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      sheet->WritePixel(
          x, y,
          (x + y) % 3 ? 0xFF000000u | uint32_t(x * 30) << 16 | uint32_t(y * 60) : 0xFF000000u);
    }
  }
  std::shared_ptr<TPixmap> masked = MaskPixmap(sheet, 0, 0, 0);
  std::shared_ptr<TImageFrame> frame =
      CurrentRender2DDriver()->CreateFrameFromPixmap(masked, IMAGE_MASKED | IMAGE_FILTERED);
  Cls();
  frame->Draw(0, 0, 8, 4, 0, 0);
  std::shared_ptr<TPixmap> grabbed = GrabPixmap(0, 0, 8, 4);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(grabbed->ReadPixel(x, y), sheet->ReadPixel(x, y)) << x << "," << y;
    }
  }
}

}  // namespace
