#include "render/pixmap.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "support/truncate.h"

namespace {

constexpr int32_t kBytesPerPixel[7] = {0, 1, 1, 3, 3, 4, 4};

bool ValidFormat(int32_t format) {
  return format >= PF_I8 && format <= PF_RGBA8888;
}

void ToRGBA(const uint8_t* source, int32_t format, uint8_t* rgba, int32_t count) {
  for (int32_t i = 0; i < count; ++i, rgba += 4) {
    switch (format) {
      case PF_I8:
        rgba[0] = rgba[1] = rgba[2] = source[0];
        rgba[3] = 255;
        source += 1;
        break;
      case PF_A8:
        rgba[0] = rgba[1] = rgba[2] = 255;
        rgba[3] = source[0];
        source += 1;
        break;
      case PF_BGR888:
        rgba[0] = source[2], rgba[1] = source[1], rgba[2] = source[0], rgba[3] = 255;
        source += 3;
        break;
      case PF_RGB888:
        rgba[0] = source[0], rgba[1] = source[1], rgba[2] = source[2], rgba[3] = 255;
        source += 3;
        break;
      case PF_BGRA8888:
        rgba[0] = source[2], rgba[1] = source[1], rgba[2] = source[0], rgba[3] = source[3];
        source += 4;
        break;
      default:
        std::memcpy(rgba, source, 4);
        source += 4;
        break;
    }
  }
}

void FromRGBA(const uint8_t* rgba, uint8_t* target, int32_t format, int32_t count) {
  for (int32_t i = 0; i < count; ++i, rgba += 4) {
    switch (format) {
      case PF_I8:
        *target++ = static_cast<uint8_t>((rgba[0] + rgba[1] + rgba[2]) / 3);
        break;
      case PF_A8:
        *target++ = rgba[3];
        break;
      case PF_BGR888:
        target[0] = rgba[2], target[1] = rgba[1], target[2] = rgba[0];
        target += 3;
        break;
      case PF_RGB888:
        target[0] = rgba[0], target[1] = rgba[1], target[2] = rgba[2];
        target += 3;
        break;
      case PF_BGRA8888:
        target[0] = rgba[2], target[1] = rgba[1], target[2] = rgba[0], target[3] = rgba[3];
        target += 4;
        break;
      default:
        std::memcpy(target, rgba, 4);
        target += 4;
        break;
    }
  }
}

void UnpackARGB(uint32_t argb, uint8_t rgba[4]) {
  rgba[0] = static_cast<uint8_t>(argb >> 16);
  rgba[1] = static_cast<uint8_t>(argb >> 8);
  rgba[2] = static_cast<uint8_t>(argb);
  rgba[3] = static_cast<uint8_t>(argb >> 24);
}

}  // namespace

int32_t BytesPerPixel(int32_t format) {
  return ValidFormat(format) ? kBytesPerPixel[format] : 0;
}

int32_t AlphaBits(int32_t format) {
  return format == PF_A8 || format == PF_BGRA8888 || format == PF_RGBA8888 ? 8 : 0;
}

void ConvertPixels(const uint8_t* source, int32_t source_format, uint8_t* target,
                   int32_t target_format, int32_t count) {
  if (count <= 0 || !ValidFormat(source_format) || !ValidFormat(target_format)) return;
  if (source_format == target_format) {
    std::memmove(target, source, static_cast<size_t>(count) * kBytesPerPixel[source_format]);
  } else if (target_format == PF_RGBA8888) {
    ToRGBA(source, source_format, target, count);
  } else if (source_format == PF_RGBA8888) {
    FromRGBA(source, target, target_format, count);
  } else {
    // Neither side is the working format: go through a temporary RGBA run.
    uint8_t rgba[256 * 4];
    while (count > 0) {
      int32_t run = count < 256 ? count : 256;
      ToRGBA(source, source_format, rgba, run);
      FromRGBA(rgba, target, target_format, run);
      source += run * kBytesPerPixel[source_format];
      target += run * kBytesPerPixel[target_format];
      count -= run;
    }
  }
}

TPixmap::~TPixmap() = default;

namespace {

// Places a pixmap's pixels in the same heap block as the pixmap and its reference count, so
// making a pixmap costs one allocation: allocate_shared asks for the shared block, which is
// made that many bytes longer, and the address of the bytes after it is handed back.
template <class T>
class TrailingPixels {
 public:
  using value_type = T;

  TrailingPixels(size_t bytes, uint8_t** pixels) : bytes_(bytes), pixels_(pixels) {}
  template <class U>
  TrailingPixels(const TrailingPixels<U>& other) : bytes_(other.bytes_), pixels_(other.pixels_) {}

  T* allocate(size_t count) {
    const size_t head = Head(count);
    auto* block = static_cast<uint8_t*>(::operator new(head + bytes_));
    *pixels_ = block + head;
    return reinterpret_cast<T*>(block);
  }
  void deallocate(T* block, size_t) { ::operator delete(static_cast<void*>(block)); }

  template <class U>
  bool operator==(const TrailingPixels<U>& other) const {
    return bytes_ == other.bytes_ && pixels_ == other.pixels_;
  }

 private:
  template <class U>
  friend class TrailingPixels;
  // The shared block rounded up so the pixels start as aligned as new[] would place them.
  static size_t Head(size_t count) {
    constexpr size_t kAlign = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    return (count * sizeof(T) + kAlign - 1) / kAlign * kAlign;
  }

  size_t bytes_;
  uint8_t** pixels_;
};

}  // namespace

std::shared_ptr<TPixmap> TPixmap::Create(int32_t width, int32_t height, int32_t format,
                                         int32_t align) {
  if (width < 0 || height < 0 || !ValidFormat(format)) return nullptr;
  if (align < 1) align = 1;
  int64_t pitch = static_cast<int64_t>(width) * kBytesPerPixel[format];
  pitch = (pitch + align - 1) / align * align;
  int64_t bytes = pitch * height;
  if (bytes > INT32_MAX) return nullptr;
  uint8_t* pixels = nullptr;
  std::shared_ptr<TPixmap> pixmap;
  try {
    pixmap = std::allocate_shared<TPixmap>(
        TrailingPixels<TPixmap>(static_cast<size_t>(bytes > 0 ? bytes : 1), &pixels));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  pixmap->pixels = pixels;
  pixmap->width = width;
  pixmap->height = height;
  pixmap->pitch = static_cast<int32_t>(pitch);
  pixmap->format = format;
  pixmap->capacity = static_cast<int32_t>(bytes);
  return pixmap;
}

std::shared_ptr<TPixmap> TPixmap::CreateStatic(uint8_t* pixels, int32_t width, int32_t height,
                                               int32_t pitch, int32_t format) {
  if (width < 0 || height < 0 || !ValidFormat(format)) return nullptr;
  auto pixmap = std::make_shared<TPixmap>();
  pixmap->pixels = pixels;
  pixmap->width = width;
  pixmap->height = height;
  pixmap->pitch = pitch;
  pixmap->format = format;
  pixmap->capacity = -1;
  return pixmap;
}

uint8_t* TPixmap::PixelPtr(int32_t x, int32_t y) const {
  return pixels + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * BytesPerPixel(format);
}

std::shared_ptr<TPixmap> TPixmap::Window(int32_t x, int32_t y, int32_t w, int32_t h) {
  // Clip to this pixmap so a window can never reach outside the parent's pixels.
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + std::max(w, 0), width);
  int64_t y1 = std::min<int64_t>(static_cast<int64_t>(y) + std::max(h, 0), height);
  if (x1 < x0) x1 = x0;
  if (y1 < y0) y1 = y0;
  auto window = std::make_shared<TPixmap>();
  window->pixels = (x0 < width && y0 < height)
                       ? PixelPtr(static_cast<int32_t>(x0), static_cast<int32_t>(y0))
                       : pixels;
  window->width = static_cast<int32_t>(x1 - x0);
  window->height = static_cast<int32_t>(y1 - y0);
  window->pitch = pitch;
  window->format = format;
  window->capacity = -1;
  window->_source = weak_from_this().lock();
  return window;
}

std::shared_ptr<TPixmap> TPixmap::Copy() const {
  auto copy = Create(width, height, format, 4);
  if (!copy) return nullptr;
  const int64_t bytes = static_cast<int64_t>(pitch) * height;
  if (pitch == copy->pitch && capacity >= bytes) {
    // Rows laid out alike in storage this pixmap owns: one block.
    std::memcpy(copy->pixels, pixels, static_cast<size_t>(bytes));
    return copy;
  }
  const size_t row = static_cast<size_t>(width) * BytesPerPixel(format);
  const uint8_t* source = pixels;
  uint8_t* target = copy->pixels;
  for (int32_t y = 0; y < height; ++y, source += pitch, target += copy->pitch) {
    std::memcpy(target, source, row);
  }
  return copy;
}

void TPixmap::Paste(const TPixmap& source, int32_t x, int32_t y) {
  int32_t sx = x < 0 ? -x : 0;
  int32_t sy = y < 0 ? -y : 0;
  int64_t w = std::min<int64_t>(source.width, static_cast<int64_t>(width) - x) - sx;
  int64_t h = std::min<int64_t>(source.height, static_cast<int64_t>(height) - y) - sy;
  if (w <= 0 || h <= 0) return;
  for (int32_t row = 0; row < h; ++row) {
    ConvertPixels(source.PixelPtr(sx, sy + row), source.format, PixelPtr(x + sx, y + sy + row),
                  format, static_cast<int32_t>(w));
  }
}

void TPixmap::Paste(const std::shared_ptr<TPixmap>& source, int32_t x, int32_t y) {
  if (source) Paste(*source, x, y);
}

std::shared_ptr<TPixmap> TPixmap::Convert(int32_t target_format) const {
  auto result = Create(width, height, target_format, 4);
  if (!result) return nullptr;
  result->Paste(*this, 0, 0);
  return result;
}

uint32_t TPixmap::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  uint8_t rgba[4];
  ToRGBA(PixelPtr(x, y), format, rgba, 1);
  return static_cast<uint32_t>(rgba[3]) << 24 | static_cast<uint32_t>(rgba[0]) << 16 |
         static_cast<uint32_t>(rgba[1]) << 8 | rgba[2];
}

void TPixmap::WritePixel(int32_t x, int32_t y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  uint8_t rgba[4];
  UnpackARGB(argb, rgba);
  FromRGBA(rgba, PixelPtr(x, y), format, 1);
}

void TPixmap::ClearPixels(uint32_t argb) {
  int32_t bpp = BytesPerPixel(format);
  if (width <= 0 || bpp == 0) return;
  uint8_t rgba[4];
  uint8_t pixel[4];
  UnpackARGB(argb, rgba);
  FromRGBA(rgba, pixel, format, 1);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = PixelPtr(0, y);
    if (argb == 0) {
      std::memset(row, 0, static_cast<size_t>(width) * bpp);
    } else {
      for (int32_t x = 0; x < width; ++x) std::memcpy(row + x * bpp, pixel, bpp);
    }
  }
}

std::shared_ptr<TPixmap> CreatePixmap(int32_t width, int32_t height, int32_t format,
                                      int32_t align) {
  return TPixmap::Create(width, height, format, align);
}

std::shared_ptr<TPixmap> MaskPixmap(const std::shared_ptr<TPixmap>& pixmap, int32_t red,
                                    int32_t green, int32_t blue) {
  if (!pixmap) return nullptr;
  std::shared_ptr<TPixmap> source = pixmap;
  if (source->format != PF_RGBA8888) source = source->Convert(PF_RGBA8888);
  if (!source) return nullptr;
  auto result = TPixmap::Create(source->width, source->height, PF_RGBA8888, 4);
  if (!result) return nullptr;
  const int32_t w = source->width, h = source->height;
  auto is_mask = [&](const uint8_t* p) { return p[0] == red && p[1] == green && p[2] == blue; };
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = source->pixels + static_cast<ptrdiff_t>(y) * source->pitch;
    uint8_t* out = result->pixels + static_cast<ptrdiff_t>(y) * result->pitch;
    // The rows a masked pixel's neighbours come from, clipped to the pixmap.
    const uint8_t* near_rows[3];
    int32_t near_count = 0;
    for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny) {
      near_rows[near_count++] = source->pixels + static_cast<ptrdiff_t>(ny) * source->pitch;
    }
    for (int32_t x = 0; x < w; ++x, out += 4) {
      const uint8_t* p = row + static_cast<ptrdiff_t>(x) * 4;
      if (!is_mask(p)) {
        out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = 255;
        continue;
      }
      // A transparent pixel takes its neighbours' colour so filtering does not bleed the
      // mask colour into the sprite's edge.
      int32_t sum_r = 0, sum_g = 0, sum_b = 0, count = 0;
      const int32_t left = std::max(x - 1, 0), right = std::min(x + 1, w - 1);
      for (int32_t k = 0; k < near_count; ++k) {
        for (int32_t nx = left; nx <= right; ++nx) {
          const uint8_t* q = near_rows[k] + static_cast<ptrdiff_t>(nx) * 4;
          if (is_mask(q)) continue;
          sum_r += q[0], sum_g += q[1], sum_b += q[2];
          ++count;
        }
      }
      if (count > 0) {
        out[0] = static_cast<uint8_t>(sum_r / count);
        out[1] = static_cast<uint8_t>(sum_g / count);
        out[2] = static_cast<uint8_t>(sum_b / count);
      } else {
        out[0] = out[1] = out[2] = 0;
      }
      out[3] = 0;
    }
  }
  return result;
}

namespace {

// Source index pair and weight for one output row or column of a bilinear resize.
struct Sample {
  int32_t first;
  int32_t second;
  float weight;
};

Sample SampleFor(int32_t index, int32_t source_size, int32_t target_size) {
  float s = (static_cast<float>(index) + 0.5f) *
                (static_cast<float>(source_size) / static_cast<float>(target_size)) -
            0.5f;
  int32_t i0 = static_cast<int32_t>(std::floor(s));
  if (i0 < 0) return {0, 0, 0.0f};
  if (i0 >= source_size - 1) return {source_size - 1, source_size - 1, 0.0f};
  return {i0, i0 + 1, s - static_cast<float>(i0)};
}

}  // namespace

std::shared_ptr<TPixmap> ResizePixmap(const std::shared_ptr<TPixmap>& pixmap, int32_t width,
                                      int32_t height) {
  if (!pixmap || width < 0 || height < 0) return nullptr;
  auto result = TPixmap::Create(width, height, pixmap->format, 4);
  if (!result || width == 0 || height == 0) return result;
  if (pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
  std::shared_ptr<TPixmap> source = pixmap;
  if (source->format != PF_RGBA8888) source = source->Convert(PF_RGBA8888);
  if (!source) return nullptr;

  std::vector<Sample> columns(width);
  for (int32_t j = 0; j < width; ++j) columns[j] = SampleFor(j, source->width, width);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  for (int32_t i = 0; i < height; ++i) {
    Sample r = SampleFor(i, source->height, height);
    const uint8_t* row0 = source->PixelPtr(0, r.first);
    const uint8_t* row1 = source->PixelPtr(0, r.second);
    for (int32_t j = 0; j < width; ++j) {
      const Sample& c = columns[j];
      for (int32_t ch = 0; ch < 4; ++ch) {
        float p00 = row0[c.first * 4 + ch], p10 = row0[c.second * 4 + ch];
        float p01 = row1[c.first * 4 + ch], p11 = row1[c.second * 4 + ch];
        float top = p00 + (p10 - p00) * c.weight;
        float bottom = p01 + (p11 - p01) * c.weight;
        row[j * 4 + ch] = static_cast<uint8_t>(TruncateToInt(top + (bottom - top) * r.weight));
      }
    }
    ConvertPixels(row.data(), PF_RGBA8888, result->PixelPtr(0, i), result->format, width);
  }
  return result;
}

std::shared_ptr<TPixmap> YFlipPixmap(const std::shared_ptr<TPixmap>& pixmap) {
  if (!pixmap) return nullptr;
  auto result = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, 4);
  if (!result) return nullptr;
  size_t row = static_cast<size_t>(pixmap->width) * BytesPerPixel(pixmap->format);
  for (int32_t y = 0; y < pixmap->height; ++y) {
    std::memcpy(result->PixelPtr(0, y), pixmap->PixelPtr(0, pixmap->height - 1 - y), row);
  }
  return result;
}

std::shared_ptr<TPixmap> XFlipPixmap(const std::shared_ptr<TPixmap>& pixmap) {
  if (!pixmap) return nullptr;
  auto result = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, 4);
  if (!result) return nullptr;
  int32_t bpp = BytesPerPixel(pixmap->format);
  for (int32_t y = 0; y < pixmap->height; ++y) {
    for (int32_t x = 0; x < pixmap->width; ++x) {
      std::memcpy(result->PixelPtr(x, y), pixmap->PixelPtr(pixmap->width - 1 - x, y), bpp);
    }
  }
  return result;
}
