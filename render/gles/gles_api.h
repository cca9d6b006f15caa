#pragma once
// The OpenGL ES 3.0 API the shader driver uses, and nothing beyond it, so the same code
// builds against Mesa's libGLESv2 here and against WebGL 2 in a browser build. Every entry
// point is a core ES 3.0 function linked directly; no extension is looked up.

#include <GLES3/gl3.h>
