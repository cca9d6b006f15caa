#pragma once
// Software rasterising for the headless driver: fills, lines, points and textured quads
// into an RGBA buffer with the same blend modes, colour modulation and pixel-centre rules
// as the OpenGL driver (nearest sampling). Internal to render/headless.

#include <cstdint>
#include <vector>

class TPixmap;

// An RGBA buffer (top row first, width * 4 bytes per row) and the clip rectangle
// [clip_x0, clip_x1) x [clip_y0, clip_y1), already inside the buffer.
struct THeadlessTarget {
  uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  int32_t clip_x0 = 0, clip_y0 = 0, clip_x1 = 0, clip_y1 = 0;
};

// Clamped drawing colour (alpha byte last), alpha and blend mode.
struct THeadlessPaint {
  uint8_t colour[4] = {255, 255, 255, 255};
  float alpha = 1.0f;
  int32_t blend = 0;
};

// Fills the clip rectangle with rgba.
void ClearRect(const THeadlessTarget& target, const uint8_t rgba[4]);
// The pixel containing window point (x, y).
void PlotPixel(const THeadlessTarget& target, const THeadlessPaint& paint, double x, double y);
// A one-pixel line between window points, leaving out the pixel of the end point.
void DrawLineSpan(const THeadlessTarget& target, const THeadlessPaint& paint, double x0, double y0,
                  double x1, double y1);
// Fills the polygon (x, y pairs in window units) over the pixels whose centres it contains.
void FillPolygon(const THeadlessTarget& target, const THeadlessPaint& paint,
                 const std::vector<double>& points);
// Writes RGBA rows unblended and unmodulated with their top-left at (x, y).
void CopyPixels(const THeadlessTarget& target, const uint8_t* pixels, int32_t width, int32_t height,
                int32_t pitch, int32_t x, int32_t y);
// Draws an RGBA pixmap stretched over shape rectangle (x0, y0)-(x1, y1), placed through the
// matrix (ix, iy, jx, jy) and offset (tx, ty), sampling the nearest texel.
void DrawTexturedQuad(const THeadlessTarget& target, const THeadlessPaint& paint,
                      const TPixmap& pixmap, float x0, float y0, float x1, float y1, float tx,
                      float ty, float ix, float iy, float jx, float jy);
