#pragma once
// Where a back buffer of width x height appears in a window area of area_w x area_h: scaled
// to fit with its aspect ratio kept, centred, with bars on the two other sides.

#include <algorithm>
#include <cmath>
#include <cstdint>

inline void FitRectangle(int32_t width, int32_t height, int32_t area_w, int32_t area_h,
                         float& scale, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  scale = std::min(static_cast<float>(area_w) / static_cast<float>(width),
                   static_cast<float>(area_h) / static_cast<float>(height));
  if (!(scale > 0.0f)) scale = 1.0f;
  w = static_cast<int32_t>(std::lround(width * scale));
  h = static_cast<int32_t>(std::lround(height * scale));
  x = (area_w - w) / 2;
  y = (area_h - h) / 2;
}
