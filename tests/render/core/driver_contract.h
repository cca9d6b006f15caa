#pragma once
// Pixel and state behaviour every 2D driver must share. Each test executable instantiates
// the suite with the drivers it can run (OpenGL under a display, headless anywhere).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "render/render2d.h"

class TPixmap;

struct DriverUnderTest {
  std::string name;
  std::function<std::shared_ptr<TRender2DDriver>()> make;
};

class DriverContract : public testing::TestWithParam<DriverUnderTest> {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Red, green, blue, alpha of one back-buffer pixel, read with GrabPixmap.
struct Rgba {
  int r, g, b, a;
};
Rgba PixelAt(int32_t x, int32_t y);
// A PF_RGBA8888 pixmap filled with one colour.
std::shared_ptr<TPixmap> SolidPixmap(int32_t width, int32_t height, uint8_t r, uint8_t g, uint8_t b,
                                     uint8_t a);
