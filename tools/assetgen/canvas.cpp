#include "tools/assetgen/canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

void Canvas::Add(int x, int y, Color c) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  at(x, y) = at(x, y) + c;
}

void Canvas::Blend(int x, int y, Color c, float a) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  at(x, y) = Mix(at(x, y), c, Clamp01(a));
}

Image Quantize(const Canvas& canvas) {
  Image image(canvas.width, canvas.height);
  for (size_t i = 0; i < canvas.pixels.size(); ++i) {
    const Color& c = canvas.pixels[i];
    float parts[3] = {c.r, c.g, c.b};
    for (int k = 0; k < 3; ++k) {
      image.rgb[i * 3 + k] = static_cast<uint8_t>(std::lround(Clamp01(parts[k]) * 255.0f));
    }
  }
  return image;
}

void Paste(Image& dest, const Image& src, int x, int y) {
  for (int sy = 0; sy < src.height; ++sy) {
    for (int sx = 0; sx < src.width; ++sx) {
      int dx = x + sx, dy = y + sy;
      if (dx < 0 || dy < 0 || dx >= dest.width || dy >= dest.height) continue;
      std::copy_n(src.at(sx, sy), 3, dest.at(dx, dy));
    }
  }
}

void SealSprite(Image& sprite) {
  const int w = sprite.width, h = sprite.height;
  for (int x = 0; x < w; ++x) {
    std::fill_n(sprite.at(x, 0), 3, 0);
    std::fill_n(sprite.at(x, h - 1), 3, 0);
  }
  for (int y = 0; y < h; ++y) {
    std::fill_n(sprite.at(0, y), 3, 0);
    std::fill_n(sprite.at(w - 1, y), 3, 0);
  }
  // Flood the black outside from the border (4-connected, as a hole that touches
  // the outside only diagonally still shows as a hole).
  std::vector<uint8_t> outside(static_cast<size_t>(w) * h, 0);
  std::vector<int> stack;
  for (int x = 0; x < w; ++x) {
    stack.push_back(x);
    stack.push_back((h - 1) * w + x);
  }
  for (int y = 0; y < h; ++y) {
    stack.push_back(y * w);
    stack.push_back(y * w + w - 1);
  }
  while (!stack.empty()) {
    int index = stack.back();
    stack.pop_back();
    int x = index % w, y = index / w;
    if (outside[index] || !sprite.IsBlack(x, y)) continue;
    outside[index] = 1;
    if (x > 0) stack.push_back(index - 1);
    if (x < w - 1) stack.push_back(index + 1);
    if (y > 0) stack.push_back(index - w);
    if (y < h - 1) stack.push_back(index + w);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (sprite.IsBlack(x, y) && !outside[static_cast<size_t>(y) * w + x]) {
        std::fill_n(sprite.at(x, y), 3, 1);
      }
    }
  }
}

Canvas Supersample(int width, int height, int n, const std::function<Sample(float, float)>& shape,
                   float cutoff) {
  Canvas canvas(width, height);
  const float step = 1.0f / n;
  const float weight = 1.0f / (n * n);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Color sum;
      float coverage = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          Sample s = shape(x + (i + 0.5f) * step, y + (j + 0.5f) * step);
          float a = Clamp01(s.coverage);
          sum = sum + s.color * a;
          coverage += a;
        }
      }
      coverage *= weight;
      canvas.at(x, y) = coverage < cutoff ? Color{} : sum * weight;
    }
  }
  return canvas;
}

bool WritePng(const Image& image, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, const_cast<png_bytep>(image.at(0, y)));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

float LatticeValue(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

}  // namespace

float ValueNoise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = LatticeValue(ix, iy, seed), b = LatticeValue(ix + 1, iy, seed);
  float c = LatticeValue(ix, iy + 1, seed), d = LatticeValue(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float FractalNoise(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amplitude = 0.5f, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += ValueNoise(x, y, seed + i * 1013u) * amplitude;
    total += amplitude;
    x = x * 2.03f + 17.1f;
    y = y * 2.03f + 5.3f;
    amplitude *= 0.5f;
  }
  return sum / total;
}

float Mask::Sample(float x, float y) const {
  x -= 0.5f;
  y -= 0.5f;
  float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  float top = at(ix, iy) * (1 - tx) + at(ix + 1, iy) * tx;
  float bottom = at(ix, iy + 1) * (1 - tx) + at(ix + 1, iy + 1) * tx;
  return top * (1 - ty) + bottom * ty;
}

Mask RenderText(const std::string& font_path, const std::string& text, int pixel_height, int margin,
                float letter_spacing) {
  Mask result;
  FT_Library library;
  if (FT_Init_FreeType(&library)) return result;
  FT_Face face;
  if (FT_New_Face(library, font_path.c_str(), 0, &face)) {
    FT_Done_FreeType(library);
    return result;
  }
  FT_Set_Pixel_Sizes(face, 0, pixel_height);
  struct Placed {
    int x, y, w, h;
    std::vector<uint8_t> bits;
  };
  std::vector<Placed> glyphs;
  float pen = 0;
  FT_UInt previous = 0;
  int min_x = 1 << 20, min_y = 1 << 20, max_x = -(1 << 20), max_y = -(1 << 20);
  for (unsigned char ch : text) {
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector kern;
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += kern.x / 64.0f;
    }
    previous = index;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING)) continue;
    FT_GlyphSlot slot = face->glyph;
    Placed placed;
    placed.x = static_cast<int>(std::lround(pen)) + slot->bitmap_left;
    placed.y = -slot->bitmap_top;
    placed.w = static_cast<int>(slot->bitmap.width);
    placed.h = static_cast<int>(slot->bitmap.rows);
    for (int row = 0; row < placed.h; ++row) {
      const uint8_t* line = slot->bitmap.buffer + row * slot->bitmap.pitch;
      placed.bits.insert(placed.bits.end(), line, line + placed.w);
    }
    if (placed.w > 0 && placed.h > 0) {
      min_x = std::min(min_x, placed.x);
      min_y = std::min(min_y, placed.y);
      max_x = std::max(max_x, placed.x + placed.w);
      max_y = std::max(max_y, placed.y + placed.h);
      glyphs.push_back(std::move(placed));
    }
    pen += slot->advance.x / 64.0f + letter_spacing;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (glyphs.empty()) return result;
  result.width = max_x - min_x + 2 * margin;
  result.height = max_y - min_y + 2 * margin;
  result.value.assign(static_cast<size_t>(result.width) * result.height, 0.0f);
  for (const Placed& g : glyphs) {
    for (int row = 0; row < g.h; ++row) {
      for (int col = 0; col < g.w; ++col) {
        int x = g.x - min_x + margin + col, y = g.y - min_y + margin + row;
        float& v = result.value[static_cast<size_t>(y) * result.width + x];
        v = std::max(v, g.bits[static_cast<size_t>(row) * g.w + col] / 255.0f);
      }
    }
  }
  return result;
}

Mask BlurMask(const Mask& mask, int radius) {
  Mask horizontal = mask, result = mask;
  const int w = mask.width, h = mask.height;
  const float scale = 1.0f / (2 * radius + 1);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float sum = 0;
      for (int k = -radius; k <= radius; ++k) sum += mask.at(x + k, y);
      horizontal.value[static_cast<size_t>(y) * w + x] = sum * scale;
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float sum = 0;
      for (int k = -radius; k <= radius; ++k) sum += horizontal.at(x, y + k);
      result.value[static_cast<size_t>(y) * w + x] = sum * scale;
    }
  }
  return result;
}
