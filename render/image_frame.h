#pragma once
// A driver's drawable form of one image frame (one texture for OpenGL), made from the
// frame's pixmap by TRender2DDriver::CreateFrameFromPixmap.

#include <cstdint>

// Image flags (bit values), passed to CreateFrameFromPixmap.
enum : int32_t {
  IMAGE_MASKED = 1,     // pixels of the mask colour become transparent
  IMAGE_FILTERED = 2,   // linear texture filtering (otherwise nearest)
  IMAGE_MIPMAPPED = 4,  // full mipmap chain
  IMAGE_DYNAMIC = 8,    // added by CreateImage; no effect on OpenGL frames
};

class TImageFrame {
 public:
  virtual ~TImageFrame() = default;
  // Draws the frame stretched over (x0, y0)-(x1, y1) in shape coordinates, through the
  // current matrix, offset by (tx, ty). Colour, alpha and blend come from the render state.
  virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
};
