#pragma once
// The OpenGL 2D driver, one for OpenGL 3.3 core, ES 3.0 and WebGL 2: shader programs over
// one streamed vertex buffer, and every primitive (quads, ovals and polygons as indexed
// triangles, lines, points) queued until the state changes, so a frame of sprites is a few
// draw calls. Blend modes, colour modulation, the mask mode's alpha test, clipping and
// read-back follow the render state's rules. Game thread only, with a context of the
// driver's current for every drawing call.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/render2d.h"

class TGLRender2DDriver : public TRender2DDriver {
 public:
  VEXTRAL_GRAPHICS_DRIVER_OVERRIDES;
  double RefreshRate() override;
  bool AdaptiveSync() override;

  VEXTRAL_RENDER2D_DRAWING_OVERRIDES;
  // Forgets the caches, selects the graphics' context objects and sets the projection and
  // viewport for its size.
  void ResetGLContext(std::shared_ptr<TGraphics> g);
  std::string ToString() override { return "OpenGL"; }

  // Cache-aware texture switching for image frames: binding the bound name, or switching
  // texturing on (off) when it already is, does not reach OpenGL.
  static void BindTexture(uint32_t name);
  static void EnableTextures();
  static void DisableTextures();
  // Sends the queued drawing as one draw call. Every state change, pixel read or write,
  // present and context switch flushes first. With no context current, or another than
  // the one the drawing was queued for, the queue is dropped.
  static void Flush();
  // Queues a quad with the corners (x0, y0), (x1, y0), (x1, y1), (x0, y1) placed through the
  // current matrix plus (tx, ty), texture coordinates (u0, v0) to (u1, v1) in the same order,
  // and the current colour.
  static void QueueQuad(float x0, float y0, float x1, float y1, float tx, float ty, float u0,
                        float v0, float u1, float v1);
  // Queues an untextured rectangle from (x0, y0) to (x1, y1), already placed, in the current
  // colour.
  static void QueueRectangle(float x0, float y0, float x1, float y1);
  // Deleting a texture must forget it if it is the bound one.
  static void ForgetTexture(uint32_t name);
  // A context being deleted: its objects must not be used again.
  static void ForgetContext(void* gl_context);
};

// The one OpenGL 2D driver, created on first use.
std::shared_ptr<TGLRender2DDriver> GLRender2DDriver();
