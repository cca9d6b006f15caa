// Places random masks and rectangles with random positions, handles, rotations, scales and
// origins (NaN, infinities and huge values included) in the collision layers and tests them
// against each other. The answers must come back without a crash or a hang, the layers must
// hand back only ids that were put in, and a pose tested twice must answer the same.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "render/collision.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "tests/fuzz/fuzz_bytes.h"

namespace {

std::shared_ptr<TImage> random_image(fuzz_bytes& input) {
  const int32_t width = input.in_range(1, 48), height = input.in_range(1, 48);
  const int32_t formats[] = {PF_RGBA8888, PF_A8, PF_RGB888, PF_BGRA8888};
  const int32_t format = formats[input.byte() % 4];
  auto pixmap = TPixmap::Create(width, height, format, 4);
  if (!pixmap) __builtin_trap();
  // A pattern byte and a fill choice make solid, empty, striped and noisy masks all common.
  const uint8_t pattern = input.byte();
  const int32_t bytes_per_pixel = BytesPerPixel(format);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixmap->PixelPtr(0, y);
    for (int32_t i = 0; i < width * bytes_per_pixel; ++i) {
      switch (pattern % 4) {
        case 0:
          row[i] = 255;
          break;
        case 1:
          row[i] = 0;
          break;
        case 2:
          row[i] = ((i / bytes_per_pixel + y) & (pattern >> 2)) ? 255 : 0;
          break;
        default:
          row[i] = input.byte();
          break;
      }
    }
  }
  auto image = TImage::Load(pixmap, 0, 0, 0, 0);
  if (!image) __builtin_trap();
  SetImageHandle(image, input.any_float(), input.any_float());
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_bytes input(data, size);
  ClearCollisionLayers(0);
  SetRotationScale(0.0f, 1.0f, 1.0f);
  SetOrigin(0.0f, 0.0f);

  std::shared_ptr<TImage> images[2] = {random_image(input), random_image(input)};
  std::set<const void*> ids_placed;
  std::vector<std::shared_ptr<int>> ids;

  for (int32_t step = 0; step < 12 && input.remaining() > 0; ++step) {
    const uint8_t op = input.byte();
    const auto& image = images[op >> 7];
    switch (op % 5) {
      case 0: {
        const int32_t x1 = input.coordinate(), y1 = input.coordinate();
        const float r1 = input.any_float(), sx1 = input.any_float(), sy1 = input.any_float();
        const int32_t x2 = input.coordinate(), y2 = input.coordinate();
        const float r2 = input.any_float(), sx2 = input.any_float(), sy2 = input.any_float();
        const auto& other = images[(op >> 6) & 1];
        const int32_t first =
            ImagesOverlap(image, x1, y1, 0, r1, sx1, sy1, other, x2, y2, 0, r2, sx2, sy2);
        const int32_t again =
            ImagesOverlap(image, x1, y1, 0, r1, sx1, sy1, other, x2, y2, 0, r2, sx2, sy2);
        if ((first != 0 && first != 1) || first != again) __builtin_trap();
        break;
      }
      case 1: {
        auto id = std::make_shared<int>(step);
        ids.push_back(id);
        ids_placed.insert(id.get());
        const auto hits =
            LayerCollideRect(input.coordinate(), input.coordinate(), input.coordinate(),
                             input.coordinate(), input.u32(), input.byte() & 7, id);
        for (const auto& hit : hits)
          if (hit && !ids_placed.count(hit.get())) __builtin_trap();
        break;
      }
      case 2: {
        auto id = std::make_shared<int>(step);
        ids.push_back(id);
        ids_placed.insert(id.get());
        const auto hits = LayerCollideImage(image, input.coordinate(), input.coordinate(), 0,
                                            input.u32(), input.byte() & 7, id);
        for (const auto& hit : hits)
          if (hit && !ids_placed.count(hit.get())) __builtin_trap();
        break;
      }
      case 3:
        SetRotationScale(input.any_float(), input.any_float(), input.any_float());
        break;
      default:
        if (op & 0x40) {
          SetOrigin(input.any_float(), input.any_float());
        } else {
          ClearCollisionLayers(input.byte() & 7);
        }
        break;
    }
  }
  ClearCollisionLayers(0);
  SetRotationScale(0.0f, 1.0f, 1.0f);
  SetOrigin(0.0f, 0.0f);
  return 0;
}
