#pragma once
// The window that graphics draw into, the part that differs between systems: a desktop
// window or full screen (gl_window.cpp), the page's canvas in a browser
// (gl_window_web.cpp). Made hidden where a system allows it; the caller shows it once its
// context is ready. Game thread.

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

// A window for OpenGL graphics of width x height, full screen when asked; none (SDL's
// error set) on failure.
SDL_Window* CreateGraphicsWindow(const std::string& title, int32_t width, int32_t height,
                                 bool full_screen);

// Whether graphics may draw straight into this system's windows, with no off-screen buffer
// between, where the window's size allows it. A browser's canvas may be cleared once the
// page has shown it, so there the picture always lives in a buffer of its own.
bool MayDrawStraightIntoWindows();

// Whether the system may offer desktop OpenGL contexts; a browser offers WebGL 2 only, which
// SDL gives for OpenGL ES 3.0.
bool OffersDesktopOpenGL();
