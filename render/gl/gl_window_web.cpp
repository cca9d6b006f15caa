// In a browser the window is the page's canvas. Full screen is the player's to ask for with
// the page's button (a browser grants it only in answer to a click), so graphics always
// open in the canvas. The page sizes the canvas; SDL takes that size as the window's (in
// CSS pixels, in which pointer positions come) and, with the high-density flag, backs the
// canvas with as many pixels as the screen has there (the CSS size times the page's
// devicePixelRatio), learning of a new size from the window's resize event. The back
// buffer is letterboxed into that drawable at each flip, as on a desktop screen.

#include "render/gl/gl_window.h"

SDL_Window* CreateGraphicsWindow(const std::string& title, int32_t width, int32_t height, bool) {
  return SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                          height,
                          SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
}

bool MayDrawStraightIntoWindows() {
  return false;
}

bool OffersDesktopOpenGL() {
  return false;
}
