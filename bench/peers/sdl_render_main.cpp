// Peer: SDL2's own renderer (opengl backend, batching on) drawing the same sprite frames as
// bench/compare/render_compare: clear, draw, present, glFinish. Prints the median
// milliseconds per frame under the same keys with an "sdl_" prefix.

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "bench/compare/sprite_field.h"

namespace {

double frame_ms(SDL_Renderer* renderer, SDL_Texture* texture, int32_t count, int32_t frames) {
  auto draw = [&] {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const float half = bench::kSpriteSize / 2.0f;
    for (int32_t i = 0; i < count; ++i) {
      const bench::sprite_place place = bench::place(i);
      const SDL_FRect target{place.x - half, place.y - half, float(bench::kSpriteSize),
                             float(bench::kSpriteSize)};
      SDL_RenderCopyExF(renderer, texture, nullptr, &target, place.degrees, nullptr, SDL_FLIP_NONE);
    }
    SDL_RenderPresent(renderer);
    SDL_RenderFlush(renderer);
    glFinish();
  };
  for (int32_t i = 0; i < 5; ++i) draw();
  return bench::median_seconds(frames, draw) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t frames = bench::quick(argc, argv) ? 40 : 200;
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "peer: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("peer", 32, 32, 640, 480, SDL_WINDOW_OPENGL);
  SDL_Renderer* renderer =
      window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
  if (!renderer) {
    std::fprintf(stderr, "peer: no SDL renderer: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Texture* texture =
      SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC,
                        bench::kSpriteSize, bench::kSpriteSize);
  const std::vector<uint8_t> rgba = bench::sprite_rgba();
  SDL_UpdateTexture(texture, nullptr, rgba.data(), bench::kSpriteSize * 4);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_ADD);

  bench::report("sdl_render_empty_ms", frame_ms(renderer, texture, 0, frames * 5));
  for (int32_t filtered = 0; filtered < 2; ++filtered) {
    SDL_SetTextureScaleMode(texture, filtered ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    for (int32_t count : {500, 2000}) {
      const std::string key = std::string("sdl_render_") + (filtered ? "linear_" : "nearest_") +
                              std::to_string(count) + "_ms";
      bench::report(key.c_str(), frame_ms(renderer, texture, count, frames));
    }
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
