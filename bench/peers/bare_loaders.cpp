#include "bench/peers/bare_loaders.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <cstring>

namespace bench {

namespace {

struct memory_reader {
  const std::vector<uint8_t>* bytes;
  size_t offset;
};

void png_read_memory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<memory_reader*>(png_get_io_ptr(png));
  if (reader->offset + count > reader->bytes->size()) png_error(png, "truncated");
  std::memcpy(out, reader->bytes->data() + reader->offset, count);
  reader->offset += count;
}

size_t ogg_read(void* out, size_t size, size_t count, void* source) {
  auto* reader = static_cast<memory_reader*>(source);
  size_t wanted = size * count;
  const size_t left = reader->bytes->size() - reader->offset;
  if (wanted > left) wanted = left;
  std::memcpy(out, reader->bytes->data() + reader->offset, wanted);
  reader->offset += wanted;
  return size ? wanted / size : 0;
}

int ogg_seek(void* source, ogg_int64_t offset, int whence) {
  auto* reader = static_cast<memory_reader*>(source);
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<int64_t>(reader->offset)
                                            : static_cast<int64_t>(reader->bytes->size());
  const int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(reader->bytes->size())) return -1;
  reader->offset = static_cast<size_t>(target);
  return 0;
}

long ogg_tell(void* source) {
  return static_cast<long>(static_cast<memory_reader*>(source)->offset);
}

}  // namespace

int64_t bare_png_decode(const std::vector<uint8_t>& bytes) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  memory_reader reader{&bytes, 0};
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
  }
  png_set_read_fn(png, &reader, png_read_memory);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_read_update_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const size_t row_bytes = png_get_rowbytes(png, info);
  pixels.resize(row_bytes * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return static_cast<int64_t>(width) * height;
}

int64_t bare_ogg_decode(const std::vector<uint8_t>& bytes) {
  memory_reader reader{&bytes, 0};
  OggVorbis_File file;
  const ov_callbacks callbacks{ogg_read, ogg_seek, nullptr, ogg_tell};
  if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) return 0;
  const vorbis_info* info = ov_info(&file, -1);
  std::vector<char> pcm(static_cast<size_t>(ov_pcm_total(&file, -1) * info->channels * 2));
  size_t filled = 0;
  int section = 0;
  while (filled < pcm.size()) {
    const long got = ov_read(&file, pcm.data() + filled, static_cast<int>(pcm.size() - filled), 0,
                             2, 1, &section);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  ov_clear(&file);
  return static_cast<int64_t>(filled);
}

int64_t bare_font_glyphs(const std::vector<uint8_t>& bytes, int32_t size) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0) return 0;
  if (FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) !=
      0) {
    FT_Done_FreeType(library);
    return 0;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
  int64_t pixels = 0;
  std::vector<std::vector<uint8_t>> glyphs;
  for (FT_ULong code = 32; code < 127; ++code) {
    if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) continue;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    std::vector<uint8_t> copy(static_cast<size_t>(bitmap.width) * bitmap.rows);
    for (unsigned row = 0; row < bitmap.rows; ++row)
      std::memcpy(copy.data() + row * bitmap.width, bitmap.buffer + row * bitmap.pitch,
                  bitmap.width);
    pixels += static_cast<int64_t>(copy.size());
    glyphs.push_back(std::move(copy));
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return pixels;
}

}  // namespace bench
