#pragma once
// The sprite frame every renderer in the comparison draws: count rotated 32 x 32 sprites,
// additively blended, at fixed pseudo-random places in a 640 x 480 frame.

#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kSpriteSize = 32;

// RGBA bytes (R, G, B, A in memory order) of a soft-edged disc with a coloured gradient.
inline std::vector<uint8_t> sprite_rgba() {
  std::vector<uint8_t> pixels(kSpriteSize * kSpriteSize * 4);
  for (int32_t y = 0; y < kSpriteSize; ++y) {
    for (int32_t x = 0; x < kSpriteSize; ++x) {
      const float dx = static_cast<float>(x) - 15.5f, dy = static_cast<float>(y) - 15.5f;
      const float r = std::sqrt(dx * dx + dy * dy);
      uint8_t* p = &pixels[static_cast<size_t>((y * kSpriteSize + x) * 4)];
      p[0] = static_cast<uint8_t>(x * 8);
      p[1] = static_cast<uint8_t>(y * 8);
      p[2] = 160;
      p[3] = r < 16.0f ? static_cast<uint8_t>(255.0f * (1.0f - r / 16.0f)) : 0;
    }
  }
  return pixels;
}

struct sprite_place {
  float x, y;     // centre
  float degrees;  // clockwise rotation
};

inline sprite_place place(int32_t i) {
  return {static_cast<float>((i * 37) % 640), static_cast<float>((i * 91) % 480),
          static_cast<float>((i * 13) % 360)};
}

}  // namespace bench
