#pragma once
// An image frame on OpenGL: one texture (power-of-two sized, the frame in its top-left
// corner) made from a pixmap in the shared texture context. Game thread only.

#include <cstdint>
#include <memory>

#include "render/image_frame.h"

class TPixmap;

class TGLImageFrame : public TImageFrame {
 public:
  float u0 = 0.0f, v0 = 0.0f;  // texture coordinates of the frame's corners
  float u1 = 1.0f, v1 = 1.0f;
  int32_t name = 0;  // OpenGL texture name
  int32_t seq = 0;   // graphics sequence number at creation; 0 once the texture is released

  TGLImageFrame() = default;
  TGLImageFrame(const TGLImageFrame&) = delete;
  TGLImageFrame& operator=(const TGLImageFrame&) = delete;
  // Deletes the texture if it still has one.
  ~TGLImageFrame() override;

  // Binds the texture through the driver's caches and queues one quad with the corners
  // placed through the current matrix and offset by (tx, ty).
  void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;

  // Uploads the pixmap with IMAGE_FILTERED / IMAGE_MIPMAPPED honoured; a pixmap larger than
  // OpenGL allows is scaled down. nullptr for a null or empty pixmap. Throws
  // std::runtime_error("Unable to calculate tex size") when no texture size is possible.
  // Needs a current OpenGL graphics.
  static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                         int32_t flags);

  // Releases the texture (as the destructor does), deleted at once if a context of the share
  // group is current, else as soon as one is; seq becomes 0.
  void Release();
};
