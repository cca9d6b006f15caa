#include "render/gl/default_driver.h"

#include "render/gl/gl_render2d.h"
#include "render/graphics.h"

// Windows has only the fixed-function driver (its OpenGL has no ES library to link), so
// VEXTRAL_RENDERER has nothing to choose there.
void InstallDefaultGraphicsDriver() {
  if (GetGraphicsDriver()) return;
  SetGraphicsDriver(GLRender2DDriver(), GFX_BACK_BUFFER);
}
