#pragma once
// Drawing primitives of the asset generator: float RGB canvases, 8-bit images,
// a seeded random generator, value noise, PNG output and text rasterising.
// Everything here is deterministic: the same calls give the same bytes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Color {
  float r = 0, g = 0, b = 0;
};

inline Color operator+(Color a, Color b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Color operator-(Color a, Color b) {
  return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Color operator*(Color a, float k) {
  return {a.r * k, a.g * k, a.b * k};
}
inline Color operator*(Color a, Color b) {
  return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline Color Mix(Color a, Color b, float t) {
  return a + (b - a) * t;
}
// A colour from 0-255 components.
inline Color Rgb8(int r, int g, int b) {
  return {r / 255.0f, g / 255.0f, b / 255.0f};
}

// A colour with coverage: what one sample of a shape function returns.
struct Sample {
  Color color;
  float coverage = 0;
};

// Floating-point RGB picture composed over black; components nominally 0..1.
struct Canvas {
  int width = 0, height = 0;
  std::vector<Color> pixels;
  Canvas() = default;
  Canvas(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
  Color& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const Color& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Adds light: clipped to the canvas.
  void Add(int x, int y, Color c);
  // Paints c over the pixel with opacity a.
  void Blend(int x, int y, Color c, float a);
};

// 8-bit RGB picture, the form written to PNG files.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  Image() = default;
  Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
  uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  bool IsBlack(int x, int y) const {
    const uint8_t* p = at(x, y);
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
  }
};

// Rounds and clamps a canvas into 8 bits.
Image Quantize(const Canvas& canvas);
// Copies src into dest with its top-left corner at (x, y), clipped.
void Paste(Image& dest, const Image& src, int x, int y);

// Makes a sprite safe for masking with black as the transparent colour: the outer
// rows and columns become black and every black pixel that the black outside cannot
// reach (a hole that would turn transparent) becomes a near-black grey.
void SealSprite(Image& sprite);

// Renders shape(x, y) (pixel coordinates, pixel centres at +0.5) with n x n samples
// per pixel; samples whose coverage is below `cutoff` on average stay black.
Canvas Supersample(int width, int height, int n, const std::function<Sample(float, float)>& shape,
                   float cutoff = 0.15f);

// Writes an 8-bit RGB PNG without time or text chunks. Returns false on failure.
bool WritePng(const Image& image, const std::string& path);

// Small deterministic generator (SplitMix64).
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, 1).
  float Unit() { return static_cast<float>(Next() >> 40) / 16777216.0f; }
  float Range(float low, float high) { return low + (high - low) * Unit(); }
  int Int(int low, int high) { return low + static_cast<int>(Next() % (high - low + 1)); }

 private:
  uint64_t state_;
};

// Smooth value noise in [0, 1] on an integer lattice, seeded.
float ValueNoise(float x, float y, uint32_t seed);
// Fractal sum of value noise, result roughly in [0, 1].
float FractalNoise(float x, float y, int octaves, uint32_t seed);

// A coverage mask (0..1 per pixel).
struct Mask {
  int width = 0, height = 0;
  std::vector<float> value;
  float at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
    return value[static_cast<size_t>(y) * width + x];
  }
  // Bilinear sample; outside is 0.
  float Sample(float x, float y) const;
};

// Rasterises a line of text with FreeType at the given pixel height, tightly cropped
// to its ink plus `margin` pixels on each side. Empty mask if the font cannot be read.
Mask RenderText(const std::string& font_path, const std::string& text, int pixel_height, int margin,
                float letter_spacing = 0.0f);

// Box blur of a mask (radius in pixels), used for bevels and glows.
Mask BlurMask(const Mask& mask, int radius);

inline float Clamp01(float v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float SmoothStep(float a, float b, float v) {
  float t = Clamp01((v - a) / (b - a));
  return t * t * (3 - 2 * t);
}
