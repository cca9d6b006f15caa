// In a browser the window is the page's canvas. Full screen is the player's to ask for with
// the page's button (a browser grants it only in answer to a click), so graphics always
// open in the canvas; when the page stretches the canvas, SDL reports the new size and the
// back buffer is letterboxed into it as on a desktop screen.

#include "render/gl/gl_window.h"

SDL_Window* CreateGraphicsWindow(const std::string& title, int32_t width, int32_t height, bool) {
  return SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                          height, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
}

bool MayDrawStraightIntoWindows() {
  return false;
}

bool OffersDesktopOpenGL() {
  return false;
}
