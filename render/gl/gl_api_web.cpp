// In a browser the entry points are WebGL's own functions, linked directly.

#include "render/gl/gl_api.h"

bool LoadGLFunctions() {
  return true;
}
