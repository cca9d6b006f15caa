// A heavy game frame: 1,000 textured 72 x 72 quads with additive blending into the 640 x 480
// back buffer, in milliseconds per frame. The OpenGL case needs a display (run it under
// tools/with-xvfb.sh); it waits for OpenGL to finish each frame so the time is the real one.

#include "render/gl/gl_api.h"
#include <benchmark/benchmark.h>

#include <memory>

#include "render/gl/gl_render2d.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/image_frame.h"
#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

std::shared_ptr<TPixmap> Sprite() {
  std::shared_ptr<TPixmap> sprite = TPixmap::Create(72, 72, PF_RGBA8888, 4);
  for (int32_t y = 0; y < 72; ++y) {
    for (int32_t x = 0; x < 72; ++x) {
      const uint32_t alpha = (x - 36) * (x - 36) + (y - 36) * (y - 36) < 36 * 36 ? 255 : 0;
      sprite->WritePixel(x, y, alpha << 24 | uint32_t(x * 3) << 16 | uint32_t(y * 3) << 8 | 128);
    }
  }
  return sprite;
}

void DrawHeavyFrame(benchmark::State& state, const std::shared_ptr<TRender2DDriver>& driver,
                    bool wait_for_gl) {
  SetGraphicsDriver(driver);
  if (!OpenGraphics(640, 480, 0, 0, 0)) {
    state.SkipWithError("no graphics (run under tools/with-xvfb.sh)");
    return;
  }
  std::shared_ptr<TImageFrame> frame =
      CurrentRender2DDriver()->CreateFrameFromPixmap(Sprite(), IMAGE_FILTERED);
  SetBlend(BLEND_LIGHT);
  SetAlpha(0.5f);
  for (auto _ : state) {
    Cls();
    for (int32_t i = 0; i < 1000; ++i) {
      const float x = static_cast<float>((i * 37) % 640);
      const float y = static_cast<float>((i * 91) % 480);
      frame->Draw(-36, -36, 36, 36, x, y);
    }
    if (wait_for_gl) glFinish();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  frame = nullptr;
  EndGraphics();
}

void BM_OpenGLAdditiveQuads(benchmark::State& state) {
  DrawHeavyFrame(state, GLRender2DDriver(), true);
}
BENCHMARK(BM_OpenGLAdditiveQuads)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HeadlessAdditiveQuads(benchmark::State& state) {
  HeadlessGraphicsDriver()->SetRecording(false);
  DrawHeavyFrame(state, HeadlessGraphicsDriver(), false);
  HeadlessGraphicsDriver()->SetRecording(true);
}
BENCHMARK(BM_HeadlessAdditiveQuads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
