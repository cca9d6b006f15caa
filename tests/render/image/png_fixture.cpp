#include "png_fixture.h"

#include <png.h>

#include <csetjmp>

#include "stream/stream.h"

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

bool Write(png_structp png, png_infop info, const PngLayout* layout, std::vector<uint8_t>* out,
           std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, Append, Flush);
  png_set_IHDR(png, info, layout->width, layout->height, layout->bit_depth, layout->colour_type,
               layout->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!layout->palette.empty()) {
    std::vector<png_color> colours(layout->palette.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
      colours[i] = {layout->palette[i * 3], layout->palette[i * 3 + 1], layout->palette[i * 3 + 2]};
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!layout->transparency.empty()) {
    png_set_tRNS(png, info, layout->transparency.data(), static_cast<int>(layout->transparency.size()),
                 nullptr);
  }
  png_write_info(png, info);
  if (layout->bit_depth == 16) png_set_swap(png);  // samples are given little-endian
  png_write_image(png, rows->data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodePng(const PngLayout& layout) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  int channels = 1;
  switch (layout.colour_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      channels = 2;
      break;
    case PNG_COLOR_TYPE_RGB:
      channels = 3;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      channels = 4;
      break;
  }
  const size_t row_bytes = (layout.width * channels * layout.bit_depth + 7) / 8;
  std::vector<uint8_t> samples = layout.samples;
  samples.resize(row_bytes * layout.height);
  std::vector<png_bytep> rows(layout.height);
  for (uint32_t y = 0; y < layout.height; ++y) rows[y] = samples.data() + y * row_bytes;
  if (!Write(png, info, &layout, &out, &rows)) out.clear();
  png_destroy_write_struct(&png, &info);
  return out;
}

std::shared_ptr<TStream> MemoryStream(const std::vector<uint8_t>& bytes) {
  return TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), 1, 0);
}
