#pragma once
// Chooses the graphics driver a program gets when it picks none itself: the render core
// installs no driver of its own. Game thread only.

// Installs a 2D driver with default flags GFX_BACK_BUFFER, unless a driver is already
// installed (a headless program installs its own before start-up): the fixed-function
// OpenGL one, or the OpenGL ES 3.0 shader one when the environment variable
// VEXTRAL_RENDERER is "gles" (any other value, or none, keeps the fixed-function driver;
// Windows has the fixed-function driver only, a browser the shader one only).
void InstallDefaultGraphicsDriver();
