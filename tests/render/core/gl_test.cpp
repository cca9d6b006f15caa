// The OpenGL driver and the graphics window under a virtual display (Xvfb + llvmpipe), run
// once through a desktop core context and once through an ES one (VEXTRAL_GL_CONTEXT).

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/event.h"
#include "render/default_driver.h"
#include "render/gl/gl_api.h"
#include "render/gl/gl_graphics.h"
#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "tests/render/core/driver_contract.h"

// X11 headers come last: their macros (None, Bool) clash with GoogleTest.
#include <SDL2/SDL_syswm.h>
// On Windows it brings windows.h, whose LoadImage macro would rename ours.
#undef LoadImage

INSTANTIATE_TEST_SUITE_P(
    OpenGL, DriverContract,
    testing::Values(DriverUnderTest{
        "opengl", [] { return std::static_pointer_cast<TRender2DDriver>(GLRender2DDriver()); }}),
    [](const auto& info) { return info.param.name; });

namespace {

class GLGraphicsTest : public testing::Test {
 protected:
  void SetUp() override { SetGraphicsDriver(GLRender2DDriver()); }
  void TearDown() override { EndGraphics(); }
};

SDL_Window* CurrentWindow() {
  std::shared_ptr<TGLGraphics> g = GLGraphicsDriver()->CurrentGLGraphics();
  return g ? g->_context->window : nullptr;
}

std::string ContextVersion() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version ? version : "";
}

bool ESWanted() {
  const char* wanted = std::getenv("VEXTRAL_GL_CONTEXT");
  return wanted && std::string(wanted) == "es";
}

std::shared_ptr<TImage> SolidImage(uint32_t argb) {
  auto pixels = CreatePixmap(8, 8, PF_RGBA8888);
  pixels->ClearPixels(argb);
  return LoadImage(pixels, 0);
}

uint32_t Pixel(int32_t x, int32_t y) {
  return GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) & 0xFFFFFFu;
}

// The kind of context asked for is the kind drawn through; SDL's attributes are given back,
// so a window a program makes itself afterwards gets SDL's defaults.
TEST_F(GLGraphicsTest, DrawsThroughTheKindOfContextAskedFor) {
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  EXPECT_EQ(CurrentRender2DDriver()->ToString(), "OpenGL");
  if (ESWanted()) {
    EXPECT_EQ(ContextVersion().rfind("OpenGL ES 3.", 0), 0u) << ContextVersion();
  } else {
    EXPECT_EQ(ContextVersion().find("OpenGL ES"), std::string::npos) << ContextVersion();
    int32_t profile = 0;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_EQ(profile, 0) << "the attributes are SDL's defaults again";
  }
}

// A second window shares the first one's textures; each keeps its own back buffer.
TEST_F(GLGraphicsTest, ImagesDrawInEveryOpenGraphics) {
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
  SetBlend(BLEND_SOLID);
  std::shared_ptr<TGraphics> first = CurrentGraphics();
  auto red = SolidImage(0xFFFF0000u);
  DrawImage(red, 0, 0);
  std::shared_ptr<TGraphics> second = CreateGraphics(64, 64, 0, 0, 0);
  ASSERT_TRUE(second);
  SetCurrentGraphics(second);
  SetBlend(BLEND_SOLID);
  DrawImage(red, 10, 10);
  auto green = SolidImage(0xFF00FF00u);  // made while the second is current
  DrawImage(green, 30, 10);
  EXPECT_EQ(Pixel(12, 12), 0xFF0000u);
  EXPECT_EQ(Pixel(32, 12), 0x00FF00u);
  SetCurrentGraphics(first);
  DrawImage(green, 20, 0);
  EXPECT_EQ(Pixel(2, 2), 0xFF0000u);
  EXPECT_EQ(Pixel(22, 2), 0x00FF00u);
  EXPECT_EQ(Pixel(12, 12), 0x000000u);
  CloseGraphics(second);
  red.reset();  // deleted in the first graphics' context, which shares it
  DrawImage(green, 40, 0);
  EXPECT_EQ(Pixel(42, 2), 0x00FF00u);
}

// Closing every graphics ends the share group and its textures; a frame of it released
// later must not delete a texture of the next group that happens to get the same name.
TEST_F(GLGraphicsTest, AFrameOfAClosedGraphicsDeletesNothingOfTheNext) {
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
  SetBlend(BLEND_SOLID);
  auto old_image = SolidImage(0xFFFF0000u);
  DrawImage(old_image, 0, 0);
  EndGraphics();
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
  SetBlend(BLEND_SOLID);
  auto blue = SolidImage(0xFF0000FFu);
  DrawImage(blue, 0, 0);
  old_image.reset();
  Cls();
  DrawImage(blue, 0, 0);
  EXPECT_EQ(Pixel(2, 2), 0x0000FFu);
}

TEST(DefaultDriver, IsTheOpenGLDriverUnlessOneIsInstalled) {
  const std::shared_ptr<TGraphicsDriver> installed = GetGraphicsDriver();
  SetGraphicsDriver(nullptr);
  InstallDefaultGraphicsDriver();
  EXPECT_EQ(GetGraphicsDriver(), std::static_pointer_cast<TGraphicsDriver>(GLRender2DDriver()));
  SetGraphicsDriver(installed);
}

// Which pacing a screen gets depends on how long its flips take, which a shared machine
// cannot promise: the choice, and the rate it gives, are checked on simulated displays
// (headless_test). Here only what holds however loaded the machine is.
TEST_F(GLGraphicsTest, FullScreenOpensTheGameDisplayPacedAt60Hz) {
  const int32_t seq = GraphicsSeq();
  ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GFX_BACK_BUFFER));
  EXPECT_EQ(GraphicsSeq(), seq + 1);
  EXPECT_EQ(GraphicsWidth(), 640);
  EXPECT_EQ(GraphicsDepth(), 32);
  EXPECT_EQ(GraphicsHertz(), 60);
  ASSERT_TRUE(CurrentWindow());
  EXPECT_STREQ(SDL_GetWindowTitle(CurrentWindow()), "Vextral");
  // A borderless window over the whole desktop (Xvfb's screen is 640 x 480).
  SDL_Rect desktop, window;
  ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0);
  SDL_GetWindowPosition(CurrentWindow(), &window.x, &window.y);
  SDL_GetWindowSize(CurrentWindow(), &window.w, &window.h);
  EXPECT_TRUE(SDL_RectEquals(&desktop, &window));
  EXPECT_TRUE(SDL_GetWindowFlags(CurrentWindow()) & SDL_WINDOW_BORDERLESS);
  EXPECT_EQ(CurrentRender2DDriver()->ToString(), "OpenGL");
  for (int i = 0; i < 10; ++i) {
    Cls();
    Flip(-1);
    // Paced one way or the other, by the schedule or by the display's blanks.
    const TFramePacing pacing = FramePacing();
    EXPECT_TRUE(pacing.software || pacing.swap_interval >= 1) << "flip " << i;
  }
  EXPECT_EQ(GraphicsWidth(), 640);
}

TEST_F(GLGraphicsTest, ALateFrameIsNotCaughtUp) {
  ASSERT_TRUE(OpenGraphics(320, 240, 0, 60, 0));
  ASSERT_TRUE(SoftwarePacingEnabled());
  Flip(-1);
  SleepMillis(100);  // five frames late
  Flip(-1);
  const int32_t start = ClockMillis();
  Flip(-1);
  Flip(-1);
  // Caught up, the two would go out back to back. On a loaded machine the late frame's own
  // flip can take most of a period, which the next frame's wait then lacks; the exact
  // schedule after a late frame is checked on the simulated display's clock.
  EXPECT_GE(ClockMillis() - start, 15) << "the frames after a late one are not caught up";
}

TEST_F(GLGraphicsTest, WindowedModeIsAFixedWindowAt32_32) {
  ASSERT_TRUE(OpenGraphics(320, 200, 0, 0, 0));
  EXPECT_FALSE(SoftwarePacingEnabled()) << "hertz 0 switches pacing off";
  SDL_Window* window = CurrentWindow();
  ASSERT_TRUE(window);
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(window, &x, &y);
  SDL_GetWindowSize(window, &w, &h);
  EXPECT_EQ(x, 32);
  EXPECT_EQ(y, 32);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE);
  // The back buffer is exactly the requested size, even though the window pokes out of the
  // 640 x 480 screen.
  SetClsColor(0, 0, 200);
  Cls();
  std::shared_ptr<TPixmap> all = GrabPixmap(0, 0, 320, 200);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->ReadPixel(319, 199), 0xFF0000C8u);
  EXPECT_EQ(GrabPixmap(319, 199, 2, 2)->ReadPixel(1, 1), 0u);
}

TEST_F(GLGraphicsTest, SmallFullScreenIsPresentedScaledWithItsAspectKept) {
  ASSERT_TRUE(OpenGraphics(320, 200, 32, 0, 0));
  SDL_Window* window = CurrentWindow();
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window, &w, &h);
  EXPECT_EQ(w, 640) << "the window covers the desktop";
  EXPECT_EQ(h, 480);
  SetClsColor(255, 0, 0);
  Cls();
  Flip(0);
  // Drawing and reading still see the 320 x 200 back buffer; the window shows it at twice
  // the size, 640 x 400 with 40-pixel bars above and below.
  EXPECT_EQ(GrabPixmap(0, 0, 1, 1)->ReadPixel(0, 0), 0xFFFF0000u);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  // Mesa's software rasteriser keeps the presented picture in the back buffer after a swap.
  glReadBuffer(GL_BACK);
  uint8_t bar[4] = {}, picture[4] = {};
  glReadPixels(320, 480 - 20, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bar);
  glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, picture);
  EXPECT_EQ(bar[0], 0);
  EXPECT_EQ(picture[0], 255);
  glBindFramebuffer(GL_READ_FRAMEBUFFER,
                    GLGraphicsDriver()->CurrentGLGraphics()->_context->framebuffer);
}

// Mesa's software rasteriser keeps the back buffer through a swap, so a window of the
// graphics' size is drawn into directly; the last frame can still be read after its flip
// (the pause screen does), and a window that changes size moves the picture into an
// off-screen buffer, letterboxed, from the next frame on.
TEST_F(GLGraphicsTest, AWindowOfTheGraphicsSizeIsDrawnIntoDirectly) {
  ASSERT_TRUE(OpenGraphics(320, 200, 0, 0, 0));
  const TGLContext& context = *GLGraphicsDriver()->CurrentGLGraphics()->_context;
  EXPECT_EQ(context.framebuffer, 0u);
  SetClsColor(0, 0, 0);
  Cls();
  SetColor(0, 200, 0);
  DrawRect(10, 10, 20, 20);
  Flip(0);
  EXPECT_EQ(Pixel(15, 15), 0x00C800u) << "the flipped picture stays readable";
  EXPECT_EQ(Pixel(5, 5), 0x000000u);

  Cls();
  DrawRect(10, 10, 20, 20);
  SDL_SetWindowSize(CurrentWindow(), 640, 400);
  Flip(0);
  EXPECT_NE(context.framebuffer, 0u);
  EXPECT_EQ(Pixel(15, 15), 0x00C800u) << "the frame flipped as it moved off screen";
  EXPECT_EQ(GrabPixmap(319, 199, 2, 2)->ReadPixel(1, 1), 0u) << "still 320 x 200";
  Flip(0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  uint8_t picture[4] = {};
  glReadPixels(2 * 15, 400 - 2 * 15, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, picture);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, context.framebuffer);
  EXPECT_EQ(picture[1], 200) << "presented at twice the size";
}

TEST_F(GLGraphicsTest, BuffersTheWindowLacksKeepTheOffScreenBuffer) {
  ASSERT_TRUE(OpenGraphics(320, 200, 0, 0, GFX_DEPTH_BUFFER));
  EXPECT_NE(GLGraphicsDriver()->CurrentGLGraphics()->_context->framebuffer, 0u);
}

TEST_F(GLGraphicsTest, SecondGraphicsKeepsItsOwnStateAndPixels) {
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
  std::shared_ptr<TGraphics> first = CurrentGraphics();
  SetColor(255, 0, 0);
  SetBlend(BLEND_SOLID);
  std::shared_ptr<TGraphics> second = CreateGraphics(100, 100, 0, 0, 0);
  ASSERT_TRUE(second);
  SetCurrentGraphics(second);
  SetColor(0, 255, 0);
  SetCurrentGraphics(first);
  Cls();
  DrawRect(0, 0, 4, 4);
  EXPECT_EQ(GrabPixmap(1, 1, 1, 1)->ReadPixel(0, 0), 0xFFFF0000u);
  CloseGraphics(second);
  EXPECT_EQ(CurrentGraphics(), first);
}

TEST_F(GLGraphicsTest, RedundantStateChangesDoNotReachOpenGL) {
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  SetBlend(BLEND_LIGHT);
  // Change OpenGL behind the driver's back: an identical SetBlend must not repair it.
  glDisable(GL_BLEND);
  SetBlend(BLEND_LIGHT);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  SetBlend(BLEND_ALPHA);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  // Texturing is a choice of program: switching it on twice selects it once.
  TGLRender2DDriver::EnableTextures();
  GLint textured = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &textured);
  glUseProgram(0);
  TGLRender2DDriver::EnableTextures();
  GLint program = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, 0);
  TGLRender2DDriver::DisableTextures();
  TGLRender2DDriver::EnableTextures();
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, textured);
}

TEST_F(GLGraphicsTest, ViewportOfTheFullBufferSwitchesScissoringOff) {
  ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
  SetViewport(0, 0, 640, 480);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  SetViewport(0, 0, 641, 480);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST)) << "a larger rectangle still clips";
  SetViewport(10, 20, 30, 40);
  GLint box[4];
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ((std::vector<GLint>{box[0], box[1], box[2], box[3]}),
            (std::vector<GLint>{10, 480 - 20 - 40, 30, 40}));
}

TEST_F(GLGraphicsTest, SwapIntervalIsOnlySetWhenSyncChanges) {
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  if (SDL_GL_SetSwapInterval(1) != 0) GTEST_SKIP() << "this display has no swap control";
  Flip(1);
  SDL_GL_SetSwapInterval(0);  // behind the driver's back
  Flip(1);
  EXPECT_EQ(SDL_GL_GetSwapInterval(), 0);
  Flip(0);
  Flip(1);
  EXPECT_EQ(SDL_GL_GetSwapInterval(), 1);
}

// With no graphics current, texture work still finds a context of the share group, and the
// second swap puts back what was current before.
TEST_F(GLGraphicsTest, SharedContextSwapsToTheShareGroupAndBack) {
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  std::shared_ptr<TGraphics> g = CurrentGraphics();
  SDL_GLContext window_context = SDL_GL_GetCurrentContext();
  SetCurrentGraphics(nullptr);
  ASSERT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  GLGraphicsDriver()->SwapSharedContext();
  EXPECT_EQ(SDL_GL_GetCurrentContext(), window_context);
  GLGraphicsDriver()->SwapSharedContext();
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  SetCurrentGraphics(g);

  // A context swapped away from and closed meanwhile is not gone back to.
  std::shared_ptr<TGraphics> second = CreateGraphics(32, 32, 0, 0, 0);
  ASSERT_TRUE(second);
  GLGraphicsDriver()->SwapSharedContext();
  CloseGraphics(g);
  SDL_ClearError();
  GLGraphicsDriver()->SwapSharedContext();
  EXPECT_STREQ(SDL_GetError(), "");
  EXPECT_NE(SDL_GL_GetCurrentContext(), window_context);
  CloseGraphics(second);
}

TEST_F(GLGraphicsTest, ClosingLeavesNothingCurrent) {
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  std::shared_ptr<TGraphics> g = CurrentGraphics();
  EndGraphics();
  EXPECT_EQ(GraphicsWidth(), 0);
  EXPECT_FALSE(CurrentGraphics());
  EXPECT_FALSE(CurrentRender2DDriver());
  int32_t w = -1, h, d, hz, f;
  g->GetSettings(w, h, d, hz, f);
  EXPECT_EQ(w, 0);
  Cls();
  Flip(-1);
  g->Close();  // closing twice is harmless
}

// The handle SDL made the window with, in the form this system's SDL gives it.
void* NativeWindowHandle(const SDL_SysWMinfo& info) {
#if defined(SDL_VIDEO_DRIVER_WINDOWS)
  if (info.subsystem == SDL_SYSWM_WINDOWS) return info.info.win.window;
#endif
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11)
    return reinterpret_cast<void*>(static_cast<uintptr_t>(info.info.x11.window));
#endif
  return nullptr;
}

TEST_F(GLGraphicsTest, AttachedWindowIsDrawnIntoAtItsOwnSize) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  SDL_Window* own = SDL_CreateWindow("host", 0, 0, 200, 100, SDL_WINDOW_OPENGL);
  ASSERT_TRUE(own);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(own, &info));
  void* handle = NativeWindowHandle(info);
  ASSERT_NE(handle, nullptr);
  std::shared_ptr<TGraphics> g = AttachGraphics(handle, 0);
  ASSERT_TRUE(g);
  SetCurrentGraphics(g);
  EXPECT_EQ(GraphicsWidth(), 200);
  EXPECT_EQ(GraphicsHeight(), 100);
  SetClsColor(0, 128, 0);
  Cls();
  EXPECT_EQ(GrabPixmap(199, 99, 1, 1)->ReadPixel(0, 0), 0xFF008000u);
  Flip(0);
  CloseGraphics(g);
  EXPECT_FALSE(CurrentGraphics());
  SDL_DestroyWindow(own);
}

}  // namespace
