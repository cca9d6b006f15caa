// The OpenGL ES 3.0 shader driver under a virtual display (Xvfb + llvmpipe): the shared
// contract, and what is its own (the ES context, state caches, several windows sharing
// textures).

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "render/gl/default_driver.h"
#include "render/gl/gl_render2d.h"
#include "render/gles/gles_api.h"
#include "render/gles/gles_graphics.h"
#include "render/gles/gles_render2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "tests/render/core/driver_contract.h"
#include "tests/render/image/startup_pattern.h"

INSTANTIATE_TEST_SUITE_P(
    OpenGLES, DriverContract,
    testing::Values(DriverUnderTest{
        "opengl_es",
        [] { return std::static_pointer_cast<TRender2DDriver>(GLESRender2DDriver()); }}),
    [](const auto& info) { return info.param.name; });

namespace {

class GLESGraphicsTest : public testing::Test {
 protected:
  void SetUp() override {
    SetGraphicsDriver(GLESRender2DDriver());
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
    SetBlend(BLEND_SOLID);
    SetClsColor(0, 0, 0);
    Cls();
  }
  void TearDown() override {
    EndGraphics();
    SetGraphicsDriver(nullptr);
  }
};

std::string ContextVersion() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version ? version : "";
}

std::shared_ptr<TImage> SolidImage(uint32_t argb) {
  auto pixels = CreatePixmap(8, 8, PF_RGBA8888);
  pixels->ClearPixels(argb);
  return LoadImage(pixels, 0);
}

uint32_t Pixel(int32_t x, int32_t y) {
  return GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) & 0xFFFFFFu;
}

// The driver asks SDL for ES 3.0, and gives SDL's attributes back: a desktop OpenGL window
// opened afterwards in the same program must get a desktop context again.
TEST_F(GLESGraphicsTest, DrawsThroughAnES3ContextAndLeavesDesktopContextsAlone) {
  EXPECT_EQ(ContextVersion().rfind("OpenGL ES 3.", 0), 0u) << ContextVersion();
  EXPECT_EQ(CurrentRender2DDriver()->ToString(), "OpenGL ES");
  EndGraphics();
  SetGraphicsDriver(GLRender2DDriver());
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  EXPECT_EQ(ContextVersion().find("OpenGL ES"), std::string::npos) << ContextVersion();
  EndGraphics();
  SetGraphicsDriver(GLESRender2DDriver());
  ASSERT_TRUE(OpenGraphics(64, 64, 0, 0, 0));
  EXPECT_EQ(ContextVersion().rfind("OpenGL ES 3.", 0), 0u) << ContextVersion();
}

TEST_F(GLESGraphicsTest, StartupPatternWorks) {
  RunStartupPattern(true);
}

TEST_F(GLESGraphicsTest, RedundantStateChangesDoNotReachOpenGL) {
  SetBlend(BLEND_LIGHT);
  // Change OpenGL behind the driver's back: an identical SetBlend must not repair it.
  glDisable(GL_BLEND);
  SetBlend(BLEND_LIGHT);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  SetBlend(BLEND_ALPHA);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

// A second window shares the first one's textures; each keeps its own back buffer.
TEST_F(GLESGraphicsTest, ImagesDrawInEveryOpenGraphics) {
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
TEST_F(GLESGraphicsTest, AFrameOfAClosedGraphicsDeletesNothingOfTheNext) {
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

// The shader driver is chosen at run time, the fixed-function one staying the default for
// any other value.
TEST(DefaultDriver, TheRendererVariableChoosesIt) {
  const std::shared_ptr<TGraphicsDriver> installed = GetGraphicsDriver();
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
  SetGraphicsDriver(installed);
}

}  // namespace
