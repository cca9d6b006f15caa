#pragma once
// Pixel-exact overlap tests between image frames placed as they would be drawn (position,
// image handle, drawing origin, rotation and scale). 32 collision layers hold transformed
// quads with their masks; a quad is tested against chosen layers by rasterising both quads
// scanline by scanline. CPU only, draws nothing. Game thread only; the state is global.

#include <cstdint>
#include <memory>
#include <vector>

class TImage;
class TPixmap;

// One transformed, textured quadrilateral: corners as x, y, u, v.
class TQuad {
 public:
  TQuad* link = nullptr;          // next quad in the same layer or in the free list
  std::shared_ptr<void> id;       // caller's identifier, returned by layer tests
  std::shared_ptr<TPixmap> mask;  // pixel mask; nullptr makes the quad solid
  int32_t frame = 0;
  float minx = 0, miny = 0, maxx = 0, maxy = 0;  // bounding box of the corners
  float xyuv[16] = {};

  // Stores the corners with u, v of (0,0), (1,0), (1,1), (0,1) and sets the bounding box.
  void SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
};

// True when the quads share a solid pixel on some scanline (bounding boxes checked first).
// A quad with a corner that is not finite or lies beyond 2^24, or with a side longer than
// 16384 pixels, touches nothing.
bool QuadsTouch(const TQuad& a, const TQuad& b);

// The 2x2 transform collision quads are placed with; the render state hands its matrix over
// whenever rotation or scale change. Starts as the identity.
void SetCollisionTransform(float ix, float iy, float jx, float jy);
void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy);

// 1 if the two frames, each placed with its own rotation (degrees) and scale, share at least
// one solid pixel, else 0. Uses layer 31 as scratch; the rotation and scale are restored.
int32_t ImagesOverlap(const std::shared_ptr<TImage>& image1, int32_t x1, int32_t y1, int32_t frame1,
                      float rotation1, float scale_x1, float scale_y1,
                      const std::shared_ptr<TImage>& image2, int32_t x2, int32_t y2, int32_t frame2,
                      float rotation2, float scale_x2, float scale_y2);
// The same with the current rotation and scale for both images.
int32_t ImagesOverlapPlain(const std::shared_ptr<TImage>& image1, int32_t x1, int32_t y1,
                           int32_t frame1, const std::shared_ptr<TImage>& image2, int32_t x2,
                           int32_t y2, int32_t frame2);
// Builds the frame's quad at (x, y) under the current transform, returns the ids of the quads
// it touches in the layers of test_mask, then copies it into the layers of write_mask.
// Frames without an 8-bit alpha channel are solid rectangles. A null image gives no ids.
std::vector<std::shared_ptr<void>> LayerCollideImage(const std::shared_ptr<TImage>& image,
                                                     int32_t x, int32_t y, int32_t frame,
                                                     uint32_t test_mask, uint32_t write_mask,
                                                     std::shared_ptr<void> id);
// The same for a solid rectangle with its top-left corner at (x, y) (no handle).
std::vector<std::shared_ptr<void>> LayerCollideRect(int32_t x, int32_t y, int32_t width,
                                                    int32_t height, uint32_t test_mask,
                                                    uint32_t write_mask, std::shared_ptr<void> id);
// Empties the layers whose bits are set in mask; 0 empties all 32.
void ClearCollisionLayers(uint32_t mask);
