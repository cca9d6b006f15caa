#pragma once
// A 2D driver with no window and no OpenGL: a CPU RGBA back buffer of the requested size
// (640 x 480 for the game) and a record of every call it receives. It draws Cls, unrotated
// unscaled image frames and pixmaps in the mask and solid modes with colour modulation, and
// grabs, so the game's start-up grabs give the same pixels as on OpenGL; other primitives are
// recorded only. Flip never waits. Game thread only.
//
//   SetGraphicsDriver(HeadlessGraphicsDriver());
//   OpenGraphics(640, 480, 32, 60, 2);  // no window

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/render2d.h"

class TPixmap;

// One call received by the headless driver, with the state it was made under.
struct THeadlessCall {
  std::string kind;         // "SetBlend", "Cls", "DrawRect", "DrawFrame", "Flip", ...
  std::vector<float> args;  // numeric arguments in order
  int32_t red = 255, green = 255, blue = 255;  // clamped colour at the time of the call
  float alpha = 1.0f;                          // clamped alpha
  int32_t blend = BLEND_MASK;
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  const void* frame = nullptr;   // DrawFrame: the image frame drawn
  const void* pixmap = nullptr;  // DrawFrame: the frame's pixmap; DrawPixmap: the pixmap
};

class THeadlessDriver : public TRender2DDriver {
 public:
  VEXTRAL_GRAPHICS_DRIVER_OVERRIDES;
  bool Unpaced() const override { return true; }

  VEXTRAL_RENDER2D_DRAWING_OVERRIDES;
  std::string ToString() override { return "Headless"; }

  // Every call since the last ClearCalls, oldest first.
  const std::vector<THeadlessCall>& Calls() const;
  void ClearCalls();
  // Recording can be switched off for long simulator runs (drawing still happens).
  void SetRecording(bool on);
  // The number of Flip calls so far.
  int64_t FlipCount() const;
  // The back buffer of the current graphics: RGBA bytes, top row first, width * 4 per row.
  // Empty with no current graphics.
  const std::vector<uint8_t>& BackBuffer() const;
  int32_t BufferWidth() const;
  int32_t BufferHeight() const;
  // Writes the back buffer as an 8-bit RGB PNG; false (and a "render:" line) on failure.
  bool SaveBufferPNG(const std::string& path) const;

  // Used by the headless image frames: draws pixels (PF_RGBA8888) and records the frame and
  // the pixmap it was made from.
  void DrawFrame(const void* frame, const void* source, const std::shared_ptr<TPixmap>& pixels,
                 float x0, float y0, float x1, float y1, float tx, float ty);
};

// The one headless driver, created on first use.
std::shared_ptr<THeadlessDriver> HeadlessGraphicsDriver();
