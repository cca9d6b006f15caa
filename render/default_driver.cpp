#include "render/default_driver.h"

#include "render/gl/gl_render2d.h"
#include "render/graphics.h"

void InstallDefaultGraphicsDriver() {
  if (GetGraphicsDriver()) return;
  SetGraphicsDriver(GLRender2DDriver(), GFX_BACK_BUFFER);
}
