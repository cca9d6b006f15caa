// The starfield backdrop and the menu pointer.

#include <algorithm>
#include <cmath>

#include "tools/assetgen/art.h"

namespace {

// Adds a star as a small gaussian spot centred at (x, y).
void AddStar(Canvas& canvas, float x, float y, float sigma, Color color) {
  int reach = static_cast<int>(std::ceil(sigma * 3));
  for (int py = static_cast<int>(y) - reach; py <= static_cast<int>(y) + reach; ++py) {
    for (int px = static_cast<int>(x) - reach; px <= static_cast<int>(x) + reach; ++px) {
      float dx = px + 0.5f - x, dy = py + 0.5f - y;
      canvas.Add(px, py, color * std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)));
    }
  }
}

}  // namespace

Image DrawBackdrop() {
  const int width = 640, height = 480;
  Canvas canvas(width, height);
  // Faint nebula: two tinted clouds of fractal noise, kept dark so sprites read over it.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float n1 = FractalNoise(x * 0.006f, y * 0.006f, 6, 21);
      float n2 = FractalNoise(x * 0.009f + 50, y * 0.009f, 6, 22);
      float band = std::exp(-std::pow((y - 0.45f * x - 40.0f) / 210.0f, 2.0f));
      float purple = std::pow(SmoothStep(0.42f, 0.8f, n1), 1.6f) * (0.45f + 0.55f * band);
      float teal = std::pow(SmoothStep(0.5f, 0.85f, n2), 1.8f) * (0.3f + 0.7f * band);
      canvas.at(x, y) = Rgb8(80, 30, 120) * (purple * 0.55f) + Rgb8(20, 80, 120) * (teal * 0.5f);
    }
  }
  Rng rng(2718);
  static const Color kTints[4] = {Rgb8(255, 255, 255), Rgb8(190, 210, 255), Rgb8(255, 235, 200),
                                  Rgb8(255, 210, 190)};
  // Many faint stars, fewer bright ones.
  for (int i = 0; i < 900; ++i) {
    float x = rng.Range(0, width), y = rng.Range(0, height);
    float brightness = std::pow(rng.Unit(), 3.0f) * 0.9f + 0.08f;
    Color tint = kTints[rng.Int(0, 3)];
    AddStar(canvas, x, y, 0.45f, tint * (brightness * 1.6f));
  }
  for (int i = 0; i < 18; ++i) {
    float x = rng.Range(10, width - 10), y = rng.Range(10, height - 10);
    Color tint = kTints[rng.Int(0, 3)];
    float brightness = rng.Range(0.6f, 1.0f);
    AddStar(canvas, x, y, 0.7f, tint * (brightness * 2.5f));
    AddStar(canvas, x, y, 2.2f, tint * (brightness * 0.12f));
    for (int k = 2; k <= 5; ++k) {
      Color arm = tint * (brightness * 0.35f / (k - 1));
      int ix = static_cast<int>(x), iy = static_cast<int>(y);
      canvas.Add(ix + k, iy, arm);
      canvas.Add(ix - k, iy, arm);
      canvas.Add(ix, iy + k, arm);
      canvas.Add(ix, iy - k, arm);
    }
  }
  return Quantize(canvas);
}

Image DrawPointer() {
  // Arrow outline, tip at the top-left corner.
  const float outline[] = {0.0f,  0.0f,  0.0f,  16.0f, 4.3f,  12.2f, 7.4f,
                           17.6f, 10.4f, 16.3f, 7.4f,  11.0f, 12.8f, 11.0f};
  auto inside = [&](float x, float y) {
    bool in = false;
    const int n = 7;
    for (int i = 0, j = n - 1; i < n; j = i++) {
      float xi = outline[2 * i], yi = outline[2 * i + 1];
      float xj = outline[2 * j], yj = outline[2 * j + 1];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
  };
  Canvas canvas = Supersample(18, 18, 4, [&](float x, float y) -> Sample {
    if (!inside(x, y)) return {};
    // Inset test: points more than ~1.1 px inside the edge are the fill.
    bool fill = true;
    for (int k = 0; k < 8 && fill; ++k) {
      float a = k * 0.785398f;
      fill = inside(x + std::cos(a) * 1.1f, y + std::sin(a) * 1.1f);
    }
    Color c = fill ? Mix(Rgb8(255, 255, 255), Rgb8(170, 205, 255), Clamp01((x + y) / 22.0f))
                   : Rgb8(40, 50, 90);
    return {c, 1.0f};
  });
  Image image = Quantize(canvas);
  // The tip pixel must be opaque so that the hot spot is visible.
  uint8_t* tip = image.at(0, 0);
  if (tip[0] == 0 && tip[1] == 0 && tip[2] == 0) tip[0] = 255, tip[1] = 255, tip[2] = 255;
  return image;
}
