#include "render/gl/gl_api.h"

#include <SDL2/SDL_video.h>

#include <cstdio>

TGLFunctions vextral_gl;

namespace {

template <typename Function>
bool Look(Function& function, const char* name) {
  function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
  if (function) return true;
  std::fprintf(stderr, "render: this OpenGL lacks %s\n", name);
  return false;
}

}  // namespace

bool LoadGLFunctions() {
  TGLFunctions found;
  bool complete = true;
#define VEXTRAL_GL_LOOK(result, name, parameters) \
  complete = complete && Look(found.name, "gl" #name);
  VEXTRAL_GL_FUNCTIONS(VEXTRAL_GL_LOOK)
#undef VEXTRAL_GL_LOOK
  if (!complete) return false;
  vextral_gl = found;
  return true;
}
