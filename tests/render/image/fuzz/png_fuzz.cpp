// Feeds arbitrary bytes to the pixmap loader chain (the PNG loader). Any pixmap it returns
// must be fully addressable.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/pixmap.h"
#include "stream/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto stream = TRamStream::Create(data, static_cast<int64_t>(size), 1, 0);
  std::shared_ptr<TPixmap> pixmap = LoadPixmap(std::shared_ptr<TStream>(stream));
  if (!pixmap) return 0;
  if (pixmap->width <= 0 || pixmap->height <= 0 || pixmap->width > 16384 ||
      pixmap->height > 16384) {
    __builtin_trap();
  }
  // Touch the first and the last byte of every row.
  uint32_t sum = 0;
  const int32_t row_bytes = pixmap->width * BytesPerPixel(pixmap->format);
  for (int32_t y = 0; y < pixmap->height; ++y) {
    const uint8_t* row = pixmap->PixelPtr(0, y);
    sum += row[0] + row[row_bytes - 1];
  }
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
