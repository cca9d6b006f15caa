// Writing pixmaps as 8-bit PNG files over libpng.

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "render/pixmap.h"
#include "stream/filesystem.h"
#include "stream/stream.h"

namespace {

struct EncodeContext {
  TStream* stream = nullptr;
  std::shared_ptr<TPixmap> rows;  // the pixmap converted to the PNG's sample layout
  std::vector<png_bytep> row_pointers;
};

void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
  auto* context = static_cast<EncodeContext*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    failed =
        context->stream->Write(data, static_cast<int64_t>(length)) != static_cast<int64_t>(length);
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "write failed");
}

void FlushStream(png_structp png) {
  auto* context = static_cast<EncodeContext*>(png_get_io_ptr(png));
  try {
    context->stream->Flush();
  } catch (...) {
  }
}

void IgnoreWarning(png_structp, png_const_charp) {}

void ReportError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

bool Encode(png_structp png, png_infop info, EncodeContext* context, int colour_type) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, context, WriteToStream, FlushStream);
  png_set_IHDR(png, info, static_cast<png_uint_32>(context->rows->width),
               static_cast<png_uint_32>(context->rows->height), 8, colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, context->row_pointers.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool SavePixmapPNG(const std::shared_ptr<TPixmap>& pixmap, const std::shared_ptr<TStream>& stream) {
  if (!pixmap || !stream || pixmap->width <= 0 || pixmap->height <= 0) return false;
  int colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  int32_t format = PF_RGBA8888;
  if (pixmap->format == PF_I8) {
    colour_type = PNG_COLOR_TYPE_GRAY, format = PF_I8;
  } else if (pixmap->format == PF_BGR888 || pixmap->format == PF_RGB888) {
    colour_type = PNG_COLOR_TYPE_RGB, format = PF_RGB888;
  }
  EncodeContext context;
  context.stream = stream.get();
  context.rows = pixmap->format == format ? pixmap : pixmap->Convert(format);
  if (!context.rows) return false;
  for (int32_t y = 0; y < context.rows->height; ++y) {
    context.row_pointers.push_back(context.rows->PixelPtr(0, y));
  }
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportError, IgnoreWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  bool encoded = Encode(png, info, &context, colour_type);
  png_destroy_write_struct(&png, &info);
  return encoded;
}

bool SavePixmapPNG(const std::shared_ptr<TPixmap>& pixmap, const std::string& path) {
  std::shared_ptr<TStream> stream = StreamOpen(path, 0, 1);
  if (!stream) return false;
  bool saved = SavePixmapPNG(pixmap, stream);
  stream->Close();
  if (!saved) DeleteFile(path);  // UTF-8 on every system, as the stream opened it
  return saved;
}
