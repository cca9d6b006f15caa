// A browser has WebGL 2 and no fixed-function OpenGL: the game draws with the OpenGL ES
// driver.

#include "render/gl/default_driver.h"
#include "render/gles/gles_render2d.h"
#include "render/graphics.h"

void InstallDefaultGraphicsDriver() {
  if (GetGraphicsDriver()) return;
  SetGraphicsDriver(GLESRender2DDriver(), GFX_BACK_BUFFER);
}
