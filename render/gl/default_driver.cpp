#include "render/gl/default_driver.h"

#include <cstdlib>
#include <cstring>

#include "render/gl/gl_render2d.h"
#include "render/gles/gles_render2d.h"
#include "render/graphics.h"

void InstallDefaultGraphicsDriver() {
  if (GetGraphicsDriver()) return;
  const char* renderer = std::getenv("VEXTRAL_RENDERER");
  if (renderer && std::strcmp(renderer, "gles") == 0) {
    SetGraphicsDriver(GLESRender2DDriver(), GFX_BACK_BUFFER);
    return;
  }
  SetGraphicsDriver(GLRender2DDriver(), GFX_BACK_BUFFER);
}
