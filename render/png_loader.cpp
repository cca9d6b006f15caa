// PNG decoding over libpng. libpng reports fatal errors by longjmp; everything that runs
// between setjmp and a possible longjmp lives in DecodeContext or in C frames, so no C++
// destructor is ever skipped.

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

// Larger images are refused: they exceed any texture the game can use.
constexpr png_uint_32 kMaxDimension = 16384;
// Deflate cannot expand data by more than about 1032:1, so a header promising far more
// pixel bytes than the stream could hold is a corrupt (or hostile) file.
constexpr int64_t kMaxInflateRatio = 1100;

struct DecodeContext {
  TStream* stream = nullptr;
  int64_t stream_bytes = 0;  // bytes left after the signature; 0 when unknown
  std::shared_ptr<TPixmap> pixmap;
  std::unique_ptr<png_bytep[]> rows;
};

// Reads exactly length bytes or reports a libpng error; no C++ object is alive when
// png_error unwinds this frame.
void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
  auto* context = static_cast<DecodeContext*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    png_size_t done = 0;
    while (done < length) {
      int64_t moved = context->stream->Read(data + done, static_cast<int64_t>(length - done));
      if (moved <= 0) break;
      done += static_cast<png_size_t>(moved);
    }
    failed = done < length;
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "truncated PNG data");
}

void IgnoreWarning(png_structp, png_const_charp) {}

void ReportError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Decodes into context->pixmap; returns false (pixmap cleared) on any libpng error.
bool Decode(png_structp png, png_infop info, DecodeContext* context) {
  if (setjmp(png_jmpbuf(png))) {
    context->pixmap.reset();
    return false;
  }
  png_set_read_fn(png, context, ReadFromStream);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, kMaxDimension, kMaxDimension);
#ifdef VEXTRAL_FUZZING
  // Let mutated data past the checksums so the fuzzer reaches the decoder.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
  png_read_info(png, info);

  // The same transformations as PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND.
  png_set_strip_16(png);
  png_set_expand(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr, nullptr);
  if (bit_depth != 8 || width == 0 || height == 0) return false;

  int32_t format = 0;
  switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY:
      format = PF_I8;
      break;
    case PNG_COLOR_TYPE_RGB:
      format = PF_RGB888;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      format = PF_RGBA8888;
      break;
    default:
      return false;
  }
  const png_size_t row_bytes = png_get_rowbytes(png, info);
  if (context->stream_bytes > 0 &&
      static_cast<int64_t>(row_bytes + 1) * height > context->stream_bytes * kMaxInflateRatio) {
    return false;
  }
  context->pixmap =
      TPixmap::Create(static_cast<int32_t>(width), static_cast<int32_t>(height), format, 4);
  if (!context->pixmap || row_bytes > static_cast<png_size_t>(context->pixmap->pitch)) {
    context->pixmap.reset();
    return false;
  }
  context->rows.reset(new png_bytep[height]);
  for (png_uint_32 y = 0; y < height; ++y) {
    context->rows[y] = context->pixmap->PixelPtr(0, static_cast<int32_t>(y));
  }
  png_read_image(png, context->rows.get());
  png_read_end(png, nullptr);

  if (colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    // Each row holds (grey, alpha) pairs in its first half: widen them in place from the
    // right so no pair is overwritten before it is read.
    for (png_uint_32 y = 0; y < height; ++y) {
      png_bytep row = context->rows[y];
      for (png_uint_32 x = width; x-- > 0;) {
        png_byte grey = row[x * 2], alpha = row[x * 2 + 1];
        row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = grey;
        row[x * 4 + 3] = alpha;
      }
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<TPixmap> TPixmapLoaderPNG::LoadPixmap(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  png_byte signature[8];
  int64_t got = 0;
  while (got < 8) {
    int64_t moved = stream->Read(signature + got, 8 - got);
    if (moved <= 0) break;
    got += moved;
  }
  if (got < 8 || png_sig_cmp(signature, 0, 8) != 0) return nullptr;

  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportError, IgnoreWarning);
  if (png == nullptr) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  DecodeContext context;
  context.stream = stream.get();
  const int64_t position = stream->Pos(), size = stream->Size();
  if (position >= 0 && size > position) context.stream_bytes = size - position;
  bool decoded = Decode(png, info, &context);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!decoded) return nullptr;
  return context.pixmap;
}
