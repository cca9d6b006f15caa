#include "render/gl/gl_window.h"

SDL_Window* CreateGraphicsWindow(const std::string& title, int32_t width, int32_t height,
                                 bool full_screen) {
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  int x = 32, y = 32, window_w = width, window_h = height;
  SDL_Rect desktop;
  if (full_screen && SDL_GetDisplayBounds(0, &desktop) == 0) {
    // Full screen without a mode switch: a borderless window over the whole desktop, made
    // at the desktop's size from the start so the drawable never has to follow a resize.
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    x = desktop.x;
    y = desktop.y;
    window_w = desktop.w;
    window_h = desktop.h;
  }
  return SDL_CreateWindow(title.c_str(), x, y, window_w, window_h, flags);
}

bool MayDrawStraightIntoWindows() {
  return true;
}
