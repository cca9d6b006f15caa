#include "render/headless/headless_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

uint8_t ToByte(float value) {
  return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

// Blends one fragment (components 0-1) into the pixel at dst as the OpenGL driver's blend
// table would.
void BlendInto(uint8_t* dst, const float src[4], int32_t blend) {
  const float a = src[3];
  if (blend == BLEND_MASK && !(a >= 0.5f)) return;
  float d[4];
  if (blend == BLEND_ALPHA || blend == BLEND_LIGHT || blend == BLEND_SHADE) {
    for (int i = 0; i < 4; ++i) d[i] = dst[i] / 255.0f;
  }
  float out[4];
  switch (blend) {
    case BLEND_ALPHA:
      for (int i = 0; i < 4; ++i) out[i] = src[i] * a + d[i] * (1.0f - a);
      break;
    case BLEND_LIGHT:
      for (int i = 0; i < 4; ++i) out[i] = src[i] * a + d[i];
      break;
    case BLEND_SHADE:
      for (int i = 0; i < 4; ++i) out[i] = src[i] * d[i];
      break;
    default:
      std::copy(src, src + 4, out);
      break;
  }
  for (int i = 0; i < 4; ++i) dst[i] = ToByte(out[i]);
}

void PaintColour(const THeadlessPaint& paint, float out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = paint.colour[i] / 255.0f;
}

bool Inside(const THeadlessTarget& target, int64_t x, int64_t y) {
  return x >= target.clip_x0 && x < target.clip_x1 && y >= target.clip_y0 && y < target.clip_y1;
}

uint8_t* PixelAt(const THeadlessTarget& target, int64_t x, int64_t y) {
  return target.pixels + (y * target.width + x) * 4;
}

// Longest line walked, so a line with absurd end points cannot stall the program.
constexpr int64_t kMaxLineSteps = 1 << 20;

}  // namespace

void ClearRect(const THeadlessTarget& target, const uint8_t rgba[4]) {
  for (int32_t y = target.clip_y0; y < target.clip_y1; ++y) {
    for (int32_t x = target.clip_x0; x < target.clip_x1; ++x) {
      std::memcpy(PixelAt(target, x, y), rgba, 4);
    }
  }
}

void PlotPixel(const THeadlessTarget& target, const THeadlessPaint& paint, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  const double px = std::floor(x), py = std::floor(y);
  if (px < target.clip_x0 || px >= target.clip_x1 || py < target.clip_y0 || py >= target.clip_y1) {
    return;
  }
  float colour[4];
  PaintColour(paint, colour);
  BlendInto(PixelAt(target, static_cast<int64_t>(px), static_cast<int64_t>(py)), colour,
            paint.blend);
}

void DrawLineSpan(const THeadlessTarget& target, const THeadlessPaint& paint, double x0, double y0,
                  double x1, double y1) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
    return;
  }
  const double dx = std::floor(x1) - std::floor(x0), dy = std::floor(y1) - std::floor(y0);
  const double longest = std::max(std::fabs(dx), std::fabs(dy));
  if (longest < 1.0) return;
  const int64_t steps = static_cast<int64_t>(std::min<double>(longest, kMaxLineSteps));
  float colour[4];
  PaintColour(paint, colour);
  for (int64_t i = 0; i < steps; ++i) {
    const double t = static_cast<double>(i) / longest;
    const double x = std::floor(x0 + (x1 - x0) * t), y = std::floor(y0 + (y1 - y0) * t);
    if (x < target.clip_x0 || x >= target.clip_x1 || y < target.clip_y0 || y >= target.clip_y1) {
      continue;
    }
    BlendInto(PixelAt(target, static_cast<int64_t>(x), static_cast<int64_t>(y)), colour,
              paint.blend);
  }
}

void FillPolygon(const THeadlessTarget& target, const THeadlessPaint& paint,
                 const std::vector<double>& points) {
  const size_t count = points.size() / 2;
  if (count < 3) return;
  double min_y = points[1], max_y = points[1];
  for (size_t i = 0; i < count; ++i) {
    if (!std::isfinite(points[2 * i]) || !std::isfinite(points[2 * i + 1])) return;
    min_y = std::min(min_y, points[2 * i + 1]);
    max_y = std::max(max_y, points[2 * i + 1]);
  }
  float colour[4];
  PaintColour(paint, colour);
  const int64_t first_row = std::max<int64_t>(target.clip_y0, std::llround(std::floor(min_y)));
  const int64_t last_row = std::min<int64_t>(target.clip_y1 - 1, std::llround(std::ceil(max_y)));
  std::vector<double> crossings;
  for (int64_t row = first_row; row <= last_row; ++row) {
    const double centre = static_cast<double>(row) + 0.5;
    crossings.clear();
    for (size_t i = 0; i < count; ++i) {
      const double ax = points[2 * i], ay = points[2 * i + 1];
      const double bx = points[2 * ((i + 1) % count)], by = points[2 * ((i + 1) % count) + 1];
      if ((ay <= centre && centre < by) || (by <= centre && centre < ay)) {
        crossings.push_back(ax + (centre - ay) * (bx - ax) / (by - ay));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
      // Pixels whose centres lie in [left, right).
      const double left = std::max<double>(std::ceil(crossings[i] - 0.5), target.clip_x0);
      const double right = std::min<double>(std::ceil(crossings[i + 1] - 0.5), target.clip_x1);
      for (int64_t x = static_cast<int64_t>(left); x < static_cast<int64_t>(right); ++x) {
        BlendInto(PixelAt(target, x, row), colour, paint.blend);
      }
    }
  }
}

void CopyPixels(const THeadlessTarget& target, const uint8_t* pixels, int32_t width, int32_t height,
                int32_t pitch, int32_t x, int32_t y) {
  for (int32_t row = 0; row < height; ++row) {
    const int64_t ty = static_cast<int64_t>(y) + row;
    if (ty < target.clip_y0 || ty >= target.clip_y1) continue;
    for (int32_t column = 0; column < width; ++column) {
      const int64_t tx = static_cast<int64_t>(x) + column;
      if (!Inside(target, tx, ty)) continue;
      std::memcpy(PixelAt(target, tx, ty), pixels + static_cast<size_t>(row) * pitch + column * 4,
                  4);
    }
  }
}

void DrawTexturedQuad(const THeadlessTarget& target, const THeadlessPaint& paint,
                      const TPixmap& pixmap, float x0, float y0, float x1, float y1, float tx,
                      float ty, float ix, float iy, float jx, float jy) {
  if (pixmap.format != PF_RGBA8888 || pixmap.width <= 0 || pixmap.height <= 0) return;
  const double det = static_cast<double>(ix) * jy - static_cast<double>(iy) * jx;
  const double span_x = static_cast<double>(x1) - x0, span_y = static_cast<double>(y1) - y0;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12 || span_x == 0.0 || span_y == 0.0) return;
  if (!std::isfinite(span_x) || !std::isfinite(span_y) || !std::isfinite(tx) ||
      !std::isfinite(ty)) {
    return;
  }
  // Bounding box of the placed corners.
  const double corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY;
  for (const auto& corner : corners) {
    const double px = corner[0] * ix + corner[1] * iy + tx;
    const double py = corner[0] * jx + corner[1] * jy + ty;
    min_x = std::min(min_x, px);
    max_x = std::max(max_x, px);
    min_y = std::min(min_y, py);
    max_y = std::max(max_y, py);
  }
  if (!std::isfinite(min_x) || !std::isfinite(max_x) || !std::isfinite(min_y) ||
      !std::isfinite(max_y)) {
    return;
  }
  const int64_t left = std::max<int64_t>(target.clip_x0, std::llround(std::floor(min_x)));
  const int64_t right = std::min<int64_t>(target.clip_x1, std::llround(std::ceil(max_x)));
  const int64_t top = std::max<int64_t>(target.clip_y0, std::llround(std::floor(min_y)));
  const int64_t bottom = std::min<int64_t>(target.clip_y1, std::llround(std::ceil(max_y)));
  float tint[4];
  PaintColour(paint, tint);
  // Pixel centre -> shape coordinates -> texture fraction, folded into one affine map.
  const double ux = jy / det / span_x, uy = -iy / det / span_x, u0 = -x0 / span_x;
  const double vx = -jx / det / span_y, vy = ix / det / span_y, v0 = -y0 / span_y;
  for (int64_t y = top; y < bottom; ++y) {
    const double dy = y + 0.5 - ty;
    for (int64_t x = left; x < right; ++x) {
      const double dx = x + 0.5 - tx;
      const double u = ux * dx + uy * dy + u0, v = vx * dx + vy * dy + v0;
      if (u < 0.0 || u >= 1.0 || v < 0.0 || v >= 1.0) continue;
      const int32_t texel_x = std::min(static_cast<int32_t>(u * pixmap.width), pixmap.width - 1);
      const int32_t texel_y = std::min(static_cast<int32_t>(v * pixmap.height), pixmap.height - 1);
      const uint8_t* texel = pixmap.PixelPtr(texel_x, texel_y);
      float fragment[4];
      for (int i = 0; i < 4; ++i) fragment[i] = texel[i] / 255.0f * tint[i];
      BlendInto(PixelAt(target, x, y), fragment, paint.blend);
    }
  }
}
