#include "render/gl/gl_window.h"

#include <cstring>

SDL_Window* CreateGraphicsWindow(const std::string& title, int32_t width, int32_t height,
                                 bool full_screen) {
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  int x = 32, y = 32, window_w = width, window_h = height;
  SDL_Rect desktop;
  if (full_screen && SDL_GetDisplayBounds(0, &desktop) == 0) {
    // Full screen without a mode switch: a borderless window over the whole desktop, made
    // at the desktop's size from the start so the drawable never has to follow a resize.
    // On X11, SDL shows a full-screen window by asking the window manager and then polling
    // for up to 100 ms until the window moves or changes size, which a window already
    // covering the desktop never does: every start waited the whole 100 ms. There the
    // borderless window over the desktop is the whole of it (window managers take an
    // undecorated window of the monitor's size as full screen).
    flags |= SDL_WINDOW_BORDERLESS;
    const char* video = SDL_GetCurrentVideoDriver();
    if (!video || std::strcmp(video, "x11") != 0) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
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

bool OffersDesktopOpenGL() {
  return true;
}
