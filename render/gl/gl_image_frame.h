#pragma once
// An image frame on OpenGL: one texture, power-of-two sized, the frame in its top-left
// corner and its last row and column repeated once, so filtering at the frame's edge never
// reads the padding. Made in the share group of the open contexts. Game thread only.

#include <cstdint>
#include <memory>

#include "render/image_frame.h"

class TPixmap;

class TGLImageFrame : public TImageFrame {
 public:
  float u0 = 0.0f, v0 = 0.0f;  // texture coordinates of the frame's corners
  float u1 = 1.0f, v1 = 1.0f;
  uint32_t name = 0;         // OpenGL texture name
  int32_t seq = 0;           // graphics sequence number at creation; 0 once released
  uint64_t share_group = 0;  // the contexts' share group the texture lives in

  TGLImageFrame() = default;
  TGLImageFrame(const TGLImageFrame&) = delete;
  TGLImageFrame& operator=(const TGLImageFrame&) = delete;
  ~TGLImageFrame() override;

  // Binds the texture through the driver's caches and queues one quad with the corners
  // placed through the current matrix and offset by (tx, ty). Draws nothing once the share
  // group it was made in has ended.
  void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;

  // Uploads the pixmap with IMAGE_FILTERED / IMAGE_MIPMAPPED honoured; a pixmap larger than
  // the largest texture is scaled down. nullptr for a null or empty pixmap or when no
  // context is open.
  static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                         int32_t flags);
  // Releases the texture (as the destructor does); seq becomes 0.
  void Release();
};
