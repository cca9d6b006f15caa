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
#include "render/gl/default_driver.h"
#include "render/gl/gl_render2d.h"
#include "render/gles/gles_render2d.h"
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

// A display of a given refresh rate (0: one that does not synchronise), and how the paced
// flip should drive it.
struct SimulatedCase {
  double refresh_hz;
  bool software;  // paces in software to the 60 Hz schedule
  int32_t swap_interval;
};

void PrintTo(const SimulatedCase& c, std::ostream* out) {
  *out << c.refresh_hz << " Hz";
}

class OnASimulatedDisplay : public HeadlessRenderState {
 protected:
  void TearDown() override {
    HeadlessRenderState::TearDown();
    SetDisplay(nullptr);
  }
};

class PacingOnSimulatedDisplays : public OnASimulatedDisplay,
                                  public testing::WithParamInterface<SimulatedCase> {};

// Every display shows 60 frames a second, none of them torn, whatever its refresh rate; a
// late frame goes out at once where adaptive swapping is offered. Time is the display's own
// simulated clock, so the counts are exact.
TEST_P(PacingOnSimulatedDisplays, SixtyUntornUpdatesASecond) {
  const SimulatedCase& c = GetParam();
  auto display = std::make_shared<TSimulatedDisplay>(c.refresh_hz, true);
  SetDisplay(display);
  Open();
  const TFramePacing pacing = FramePacing();
  EXPECT_EQ(pacing.software, c.software);
  EXPECT_EQ(pacing.swap_interval, c.swap_interval);
  EXPECT_EQ(pacing.adaptive, c.software && c.refresh_hz > 0);

  Flip(-1);
  const int64_t start = display->LastPresent();
  const int64_t torn = display->TornFlips();
  constexpr int64_t kSecond = 1000000000;
  int32_t updates = 0;
  while (display->Now() < start + 10 * kSecond) {
    display->Advance(4000000);  // a frame's work
    Flip(-1);
    if (display->LastPresent() <= start + 10 * kSecond) ++updates;
  }
  EXPECT_EQ(updates, 600);
  EXPECT_EQ(display->TornFlips(), torn);

  display->Advance(kSecond / 20);  // three frames late
  const int64_t late = display->Now();
  Flip(-1);
  if (pacing.adaptive) {
    EXPECT_EQ(display->LastPresent(), late) << "no wait for the next blank";
  }
}

// A driver that cannot set a swap interval above 1 would show 120 frames a second.
TEST_F(OnASimulatedDisplay, SoftwarePacingTakesOverWhereTheSwapIntervalDoesNotTake) {
  auto display = std::make_shared<TSimulatedDisplay>(120.0, false, 1);
  SetDisplay(display);
  Open();
  EXPECT_EQ(FramePacing().swap_interval, 2);
  Flip(-1);
  const int64_t start = display->LastPresent();
  const int64_t presented = display->Presents();
  while (display->Now() < start + 1000000000) Flip(-1);
  EXPECT_TRUE(FramePacing().software);
  EXPECT_EQ(FramePacing().swap_interval, 1);
  EXPECT_LE(display->Presents() - presented, 60 + 4) << "at most a few frames came too fast";
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
  int32_t slow_flips_ = 5;
};

// The game must not run at whatever rate the machine manages once the load goes, even when
// its first frames, still loading, were slow too.
TEST_F(OnASimulatedDisplay, SoftwarePacingTakesOverWhenAPacedLookingDisplayStopsWaiting) {
  auto display = std::make_shared<TPacedLookingDisplay>();
  SetDisplay(display);
  Open();
  ASSERT_FALSE(FramePacing().software) << "the probe should have been fooled";
  for (int32_t i = 0; i < 40; ++i) {
    display->Advance(20000000);  // loading: frames slower than the period
    Flip(-1);
  }
  const int64_t presented = display->Presents();
  const int64_t start = display->Now();
  while (display->Now() < start + 1000000000) {
    display->Advance(2000000);
    Flip(-1);
  }
  EXPECT_TRUE(FramePacing().software);
  EXPECT_LE(display->Presents() - presented, 60 + 4) << "at most a few frames came too fast";
}

INSTANTIATE_TEST_SUITE_P(RefreshRates, PacingOnSimulatedDisplays,
                         testing::Values(SimulatedCase{60, false, 1}, SimulatedCase{75, true, 1},
                                         SimulatedCase{120, false, 2}, SimulatedCase{144, true, 1},
                                         SimulatedCase{165, true, 1}, SimulatedCase{180, false, 3},
                                         SimulatedCase{240, false, 4}, SimulatedCase{0, true, 0}),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param.refresh_hz)) + "Hz";
                         });

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

// The shader driver is chosen at run time, the fixed-function one staying the default for
// any other value.
TEST_F(HeadlessRenderState, TheRendererVariableChoosesTheDefaultDriver) {
  for (const char* value : {"gles", "GLES", "gl", ""}) {
    setenv("VEXTRAL_RENDERER", value, 1);
    SetGraphicsDriver(nullptr);
    InstallDefaultGraphicsDriver();
    const std::shared_ptr<TGraphicsDriver> expected =
        std::string(value) == "gles"
            ? std::static_pointer_cast<TGraphicsDriver>(GLESRender2DDriver())
            : GLRender2DDriver();
    EXPECT_EQ(GetGraphicsDriver(), expected) << "VEXTRAL_RENDERER=" << value;
  }
  unsetenv("VEXTRAL_RENDERER");
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
