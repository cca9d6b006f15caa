// Preloaded into a program to time its start-up: wraps SDL_GL_SwapWindow, and at the first
// swap whose back buffer holds anything but black, writes the monotonic clock in
// nanoseconds to the file named by FIRST_FRAME_FILE and ends the process at once.

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using swap_fn = void (*)(SDL_Window*);
using bind_framebuffer_fn = void (*)(GLenum, GLuint);

bool back_buffer_has_content(SDL_Window* window) {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window, &width, &height);
  if (width <= 0 || height <= 0) return false;
  auto bind = reinterpret_cast<bind_framebuffer_fn>(SDL_GL_GetProcAddress("glBindFramebuffer"));
  GLint read_framebuffer = 0, read_buffer = 0;
  glGetIntegerv(0x8CAA /* GL_READ_FRAMEBUFFER_BINDING */, &read_framebuffer);
  glGetIntegerv(GL_READ_BUFFER, &read_buffer);
  if (bind) bind(0x8CA8 /* GL_READ_FRAMEBUFFER */, 0);
  glReadBuffer(GL_BACK);
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  if (bind) bind(0x8CA8, static_cast<GLuint>(read_framebuffer));
  glReadBuffer(static_cast<GLenum>(read_buffer));
  for (size_t i = 0; i < pixels.size(); i += 4)
    if (pixels[i] | pixels[i + 1] | pixels[i + 2]) return true;
  return false;
}

}  // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  static swap_fn real = reinterpret_cast<swap_fn>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  if (back_buffer_has_content(window)) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    real(window);
    glFinish();
    if (const char* path = std::getenv("FIRST_FRAME_FILE")) {
      if (std::FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%lld\n",
                     static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fclose(file);
      }
    }
    _exit(0);
  }
  real(window);
}
