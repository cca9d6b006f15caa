#pragma once
// Chooses the graphics driver a program gets when it picks none itself: the render core
// installs no driver of its own. Game thread only.

// Installs the OpenGL 2D driver with default flags GFX_BACK_BUFFER, unless a driver is
// already installed (a headless program installs its own before start-up). Which kind of
// OpenGL context it draws through is the driver's choice (render/gl/gl_graphics.h).
void InstallDefaultGraphicsDriver();
