// Our renderer on OpenGL (Mesa llvmpipe under Xvfb): frames of 500 and 2,000 rotated,
// additively blended 32-pixel sprites with nearest and linear filtering, and an empty
// frame. Each frame is cleared, drawn, flipped and finished (glFinish), so the wall time is
// the whole cost. Prints the median milliseconds per frame. With VEXTRAL_GL_CONTEXT=es the
// same frames go through an OpenGL ES context, reported as render_es_*.

#include "render/gl/gl_api.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "bench/compare/sprite_field.h"
#include "render/default_driver.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/image_frame.h"
#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

std::shared_ptr<TImage> sprite_image(int32_t flags) {
  std::shared_ptr<TPixmap> pixmap =
      CreatePixmap(bench::kSpriteSize, bench::kSpriteSize, PF_RGBA8888);
  const std::vector<uint8_t> rgba = bench::sprite_rgba();
  for (int32_t y = 0; y < bench::kSpriteSize; ++y)
    for (int32_t x = 0; x < bench::kSpriteSize; ++x) {
      const uint8_t* p = &rgba[static_cast<size_t>((y * bench::kSpriteSize + x) * 4)];
      pixmap->WritePixel(x, y,
                         uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
  std::shared_ptr<TImage> image = LoadImage(pixmap, flags);
  CentreImageHandle(image);
  return image;
}

double frame_ms(int32_t frames, const std::shared_ptr<TImage>& image, int32_t count) {
  auto draw = [&] {
    Cls();
    SetBlend(BLEND_LIGHT);
    for (int32_t i = 0; i < count; ++i) {
      const bench::sprite_place place = bench::place(i);
      SetRotation(place.degrees);
      DrawImage(image, place.x, place.y);
    }
    SetRotation(0.0f);
    Flip(0);
    glFinish();
  };
  for (int32_t i = 0; i < 5; ++i) draw();
  return bench::median_seconds(frames, draw) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t frames = bench::quick(argc, argv) ? 40 : 200;
  InstallDefaultGraphicsDriver();
  if (!OpenGraphics(640, 480, 0, 0, GFX_BACK_BUFFER)) {
    std::fprintf(stderr, "render: no OpenGL window (run under tools/with-xvfb.sh)\n");
    return 1;
  }
  const char* context = std::getenv("VEXTRAL_GL_CONTEXT");
  const std::string prefix = context && std::string(context) == "es" ? "render_es_" : "render_";
  bench::report((prefix + "empty_ms").c_str(), frame_ms(frames * 5, nullptr, 0));
  for (int32_t filtered = 0; filtered < 2; ++filtered) {
    std::shared_ptr<TImage> image = sprite_image(filtered ? IMAGE_FILTERED : 0);
    for (int32_t count : {500, 2000}) {
      const std::string key =
          prefix + (filtered ? "linear_" : "nearest_") + std::to_string(count) + "_ms";
      bench::report(key.c_str(), frame_ms(frames, image, count));
    }
  }
  EndGraphics();
  return 0;
}
