// Peer: the same sprite frames drawn as one OpenGL 1.1 vertex array (corners rotated on the
// CPU each frame, one glDrawArrays of quads): clear, draw, swap, glFinish. The fill-rate
// reference for the renderer. With --fill N it draws N unrotated 32 x 32 quads spread over
// the frame instead (the pixel count of a game frame) and prints gl_fill_ms.

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "bench/compare/sprite_field.h"

namespace {

struct vertex {
  float x, y, u, v;
};

double frame_ms(SDL_Window* window, int32_t count, bool rotated, int32_t frames) {
  std::vector<vertex> vertices(static_cast<size_t>(count) * 4);
  auto draw = [&] {
    glClear(GL_COLOR_BUFFER_BIT);
    const float half = bench::kSpriteSize / 2.0f;
    const float corners[4][4] = {
        {-half, -half, 0, 0}, {half, -half, 1, 0}, {half, half, 1, 1}, {-half, half, 0, 1}};
    for (int32_t i = 0; i < count; ++i) {
      const bench::sprite_place place = bench::place(i);
      const float radians = rotated ? place.degrees * static_cast<float>(M_PI) / 180.0f : 0.0f;
      const float c = std::cos(radians), s = std::sin(radians);
      for (int32_t k = 0; k < 4; ++k) {
        vertex& out = vertices[static_cast<size_t>(i * 4 + k)];
        out.x = place.x + corners[k][0] * c - corners[k][1] * s;
        out.y = place.y + corners[k][0] * s + corners[k][1] * c;
        out.u = corners[k][2];
        out.v = corners[k][3];
      }
    }
    glVertexPointer(2, GL_FLOAT, sizeof(vertex), &vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(vertex), &vertices[0].u);
    glDrawArrays(GL_QUADS, 0, count * 4);
    SDL_GL_SwapWindow(window);
    glFinish();
  };
  if (count == 0) vertices.resize(4);
  for (int32_t i = 0; i < 5; ++i) draw();
  return bench::median_seconds(frames, draw) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t frames = bench::quick(argc, argv) ? 40 : 200;
  int32_t fill = -1;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--fill") == 0) fill = std::atoi(argv[i + 1]);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("peer", 32, 32, 640, 480, SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "peer: no OpenGL context: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetSwapInterval(0);
  glViewport(0, 0, 640, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 640, 480, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const std::vector<uint8_t> rgba = bench::sprite_rgba();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bench::kSpriteSize, bench::kSpriteSize, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, rgba.data());
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);

  if (fill >= 0) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bench::report("gl_fill_ms", frame_ms(window, fill, false, frames * 2));
  } else {
    bench::report("gl_array_empty_ms", frame_ms(window, 0, false, frames * 5));
    for (int32_t filtered = 0; filtered < 2; ++filtered) {
      const GLint filter = filtered ? GL_LINEAR : GL_NEAREST;
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
      for (int32_t count : {500, 2000}) {
        const std::string key = std::string("gl_array_") + (filtered ? "linear_" : "nearest_") +
                                std::to_string(count) + "_ms";
        bench::report(key.c_str(), frame_ms(window, count, true, frames));
      }
    }
  }
  glDeleteTextures(1, &texture);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
