// Lettered images: the chrome title in the sprite sheet, the coloured flat title
// and the studio logo.

#include <algorithm>
#include <cmath>

#include "tools/assetgen/art.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// Text fitted into a box of a canvas-sized coverage mask, sheared to lean forward.
struct Placement {
  float left, top, right, bottom;  // box in target pixels
  float shear;                     // horizontal lean per pixel of height
};

Mask FitText(const Mask& text, int width, int height, const Placement& box) {
  Mask result;
  result.width = width;
  result.height = height;
  result.value.assign(static_cast<size_t>(width) * height, 0.0f);
  if (text.width == 0) return result;
  const float box_w = box.right - box.left, box_h = box.bottom - box.top;
  const float lean = box.shear * box_h;
  const float scale_x = (box_w - lean) / text.width;
  const float scale_y = box_h / text.height;
  const int n = 3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float sum = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          float px = x + (i + 0.5f) / n, py = y + (j + 0.5f) / n;
          float ty = (py - box.top) / scale_y;
          float tx = (px - box.left - (box.bottom - py) * box.shear) / scale_x;
          sum += text.Sample(tx, ty);
        }
      }
      result.value[static_cast<size_t>(y) * width + x] = sum / (n * n);
    }
  }
  return result;
}

Mask Shifted(const Mask& mask, int dx, int dy) {
  Mask result = mask;
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      result.value[static_cast<size_t>(y) * mask.width + x] = mask.at(x - dx, y - dy);
    }
  }
  return result;
}

// Grows a mask by about `radius` pixels with a soft edge.
Mask Dilate(const Mask& mask, int radius) {
  Mask blurred = BlurMask(mask, radius);
  for (float& v : blurred.value) v = SmoothStep(0.02f, 0.2f, v);
  return blurred;
}

// Light on the letters' bevel: positive on edges facing the top left.
float Bevel(const Mask& soft, int x, int y) {
  float gx = soft.at(x + 1, y) - soft.at(x - 1, y);
  float gy = soft.at(x, y + 1) - soft.at(x, y - 1);
  return (gx * 0.7f + gy * 0.7f) * 2.2f;
}

struct LetterStyle {
  Color outline;
  Color shadow;
  int outline_radius;
  int shadow_offset;
  // Fill colour by height within the letters, 0 top to 1 bottom.
  Color (*fill)(float v);
};

Color ChromeFill(float v) {
  if (v < 0.52f) return Mix(Rgb8(245, 250, 255), Rgb8(120, 150, 215), v / 0.52f);
  if (v < 0.58f) return Rgb8(60, 60, 105);
  return Mix(Rgb8(255, 240, 205), Rgb8(205, 135, 75), (v - 0.58f) / 0.42f);
}

Color FireFill(float v) {
  if (v < 0.5f) return Mix(Rgb8(255, 250, 170), Rgb8(255, 190, 40), v / 0.5f);
  return Mix(Rgb8(255, 150, 30), Rgb8(220, 40, 50), (v - 0.5f) / 0.5f);
}

Color SilverFill(float v) {
  return Mix(Rgb8(240, 245, 255), Rgb8(130, 150, 200), v);
}

Color AmberFill(float v) {
  return Mix(Rgb8(255, 210, 110), Rgb8(235, 120, 40), v);
}

// Composes shadow, outline and bevelled fill of one fitted text mask onto a canvas.
void PaintLetters(Canvas& canvas, const Mask& letters, const Placement& box,
                  const LetterStyle& style) {
  Mask outline = Dilate(letters, style.outline_radius);
  Mask soft = BlurMask(letters, 2);
  Mask shadow;
  if (style.shadow_offset > 0) {
    shadow = Dilate(Shifted(letters, style.shadow_offset, style.shadow_offset + 1),
                    style.outline_radius);
  }
  for (int y = 0; y < canvas.height; ++y) {
    float v = Clamp01((y - box.top) / (box.bottom - box.top));
    Color fill = style.fill(v);
    for (int x = 0; x < canvas.width; ++x) {
      Color& pixel = canvas.at(x, y);
      if (style.shadow_offset > 0) pixel = Mix(pixel, style.shadow, shadow.at(x, y));
      pixel = Mix(pixel, style.outline, outline.at(x, y));
      float light = Bevel(soft, x, y);
      Color lit = fill * (1.0f - std::max(0.0f, light) * 0.45f) +
                  Rgb8(255, 255, 255) * std::max(0.0f, -light) * 0.6f;
      pixel = Mix(pixel, lit, letters.at(x, y));
    }
  }
}

}  // namespace

Image DrawTitleLettering(const std::string& font_path) {
  const int width = 416, height = 154;
  Mask text = RenderText(font_path, "VEXTRAL", 240, 0, 6.0f);
  Placement box{10, 14, 406, 138, 0.16f};
  Mask letters = FitText(text, width, height, box);
  Canvas canvas(width, height);
  LetterStyle style{Rgb8(40, 55, 130), Rgb8(0, 0, 0), 3, 0, ChromeFill};
  PaintLetters(canvas, letters, box, style);
  // A thin bright underline streak below the lettering.
  for (int x = 24; x < 392; ++x) {
    float t = std::sin((x - 24) / 368.0f * kPi);
    canvas.at(x, 145) = canvas.at(x, 145) + Rgb8(120, 170, 255) * (t * 0.8f);
    canvas.at(x, 146) = canvas.at(x, 146) + Rgb8(60, 90, 180) * (t * 0.6f);
  }
  Image image = Quantize(canvas);
  SealSprite(image);
  return image;
}

Image DrawTitleFlat(const std::string& font_path) {
  const int width = 417, height = 158;
  Mask text = RenderText(font_path, "VEXTRAL", 240, 0, 6.0f);
  Placement box{10, 12, 400, 136, 0.16f};
  Mask letters = FitText(text, width, height, box);
  Canvas canvas(width, height);
  LetterStyle style{Rgb8(45, 20, 95), Rgb8(18, 8, 40), 4, 6, FireFill};
  PaintLetters(canvas, letters, box, style);
  Image image = Quantize(canvas);
  SealSprite(image);
  return image;
}

Image DrawLogo(const std::string& font_path) {
  const int width = 420, height = 236;
  Canvas canvas(width, height);
  // Emblem: a cratered crescent moon inside an orbit ring.
  const float mx = 210, my = 72, radius = 44;
  Canvas emblem = Supersample(width, 130, 3, [&](float x, float y) -> Sample {
    float dx = x - mx, dy = y - my;
    float d = std::sqrt(dx * dx + dy * dy);
    Sample result;
    // The orbit, tilted, passes behind the moon at the top and in front below.
    float ox = dx / 86.0f, oy = (dy + dx * 0.18f) / 22.0f;
    float orbit = std::fabs(std::sqrt(ox * ox + oy * oy) - 1.0f) * 22.0f;
    bool orbit_in_front = oy > 0 || d > radius;
    if (d < radius) {
      float sx = dx + 17.0f, sy = dy - 10.0f;
      float lit = Clamp01((std::sqrt(sx * sx + sy * sy) - radius * 0.86f) / 3.0f);
      float z = std::sqrt(1.0f - (d / radius) * (d / radius));
      float noise = FractalNoise(x * 0.08f, y * 0.08f, 4, 555);
      Color surface = Mix(Rgb8(150, 140, 175), Rgb8(255, 245, 215), noise * 0.5f + z * 0.5f);
      for (int i = 0; i < 5; ++i) {
        static const float kCraters[5][3] = {
            {22, -18, 7}, {30, 8, 5}, {12, 26, 6}, {-10, 36, 4}, {33, -2, 3}};
        float cx = dx - kCraters[i][0], cy = dy - kCraters[i][1];
        if (cx * cx + cy * cy < kCraters[i][2] * kCraters[i][2]) surface = surface * 0.72f;
      }
      Color night = Rgb8(30, 28, 60);
      result = {Mix(night, surface, lit), 1.0f};
    }
    if (orbit < 2.0f && orbit_in_front) {
      float glow = 1.0f - orbit / 2.0f;
      result = {Mix(result.color * result.coverage, Rgb8(255, 160, 60), glow), 1.0f};
    }
    return result;
  });
  for (int y = 0; y < emblem.height; ++y) {
    for (int x = 0; x < width; ++x) canvas.at(x, y) = emblem.at(x, y);
  }
  // A few stars around the emblem.
  Rng rng(31337);
  for (int i = 0; i < 14; ++i) {
    int x = rng.Int(80, 340), y = rng.Int(10, 125);
    float dx = x - mx, dy = y - my;
    if (std::sqrt(dx * dx + dy * dy) < radius + 8) continue;
    float b = rng.Range(0.5f, 1.0f);
    canvas.Add(x, y, Rgb8(255, 255, 255) * b);
    for (int k = 1; k <= 2; ++k) {
      Color arm = Rgb8(170, 190, 255) * (b * 0.45f / k);
      canvas.Add(x + k, y, arm);
      canvas.Add(x - k, y, arm);
      canvas.Add(x, y + k, arm);
      canvas.Add(x, y - k, arm);
    }
  }
  Mask name = RenderText(font_path, "MOONQUARRY", 160, 0, 4.0f);
  Placement name_box{26, 138, 394, 186, 0.0f};
  PaintLetters(canvas, FitText(name, width, height, name_box), name_box,
               LetterStyle{Rgb8(35, 40, 100), Rgb8(0, 0, 0), 2, 0, SilverFill});
  Mask studio = RenderText(font_path, "S O F T W A R E", 80, 0, 2.0f);
  Placement studio_box{118, 200, 302, 220, 0.0f};
  PaintLetters(canvas, FitText(studio, width, height, studio_box), studio_box,
               LetterStyle{Rgb8(70, 30, 20), Rgb8(0, 0, 0), 1, 0, AmberFill});
  return Quantize(canvas);
}
