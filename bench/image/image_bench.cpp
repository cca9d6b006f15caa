// The collision test the game runs most (the ship against a large asteroid) and decoding a
// screen-sized PNG.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cmath>
#include <cstdio>

#include "render/collision.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

// A masked image whose opaque pixels form a disc (an asteroid) or a triangle (the ship).
std::shared_ptr<TImage> ShapeImage(int32_t w, int32_t h, bool disc) {
  auto pixels = CreatePixmap(w, h, PF_RGBA8888);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const float fx = (x + 0.5f) / w - 0.5f, fy = (y + 0.5f) / h - 0.5f;
      const bool solid = disc ? fx * fx + fy * fy < 0.2f : std::fabs(fx) < (fy + 0.5f) * 0.5f;
      pixels->WritePixel(x, y, solid ? 0xFF808080 : 0x00000000);
    }
  }
  auto image = TImage::Create(w, h, 1, 0, 0, 0, 0);
  image->SetPixmap(0, pixels);
  CentreImageHandle(image);
  return image;
}

// The ship (28 x 22 at scale 0.9 x 0.7) against a large asteroid (130 x 130), both rotated;
// state.range(0) is the distance between centres: 20 overlaps at once, 74 is a near miss
// that runs the rasteriser over the boxes' whole overlap.
void BM_ImagesOverlapShipAsteroid(benchmark::State& state) {
  auto ship = ShapeImage(28, 22, false);
  auto asteroid = ShapeImage(130, 130, true);
  const int32_t distance = static_cast<int32_t>(state.range(0));
  int32_t hits = 0, angle = 0;
  for (auto _ : state) {
    angle = (angle + 7) % 360;
    hits += ImagesOverlap(ship, 320 + distance, 240, 0, static_cast<float>(angle), 0.9f, 0.7f,
                          asteroid, 320, 240, 0, static_cast<float>(angle / 2), 1.0f, 1.0f);
  }
  benchmark::DoNotOptimize(hits);
  state.counters["hit_rate"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ImagesOverlapShipAsteroid)->Arg(20)->Arg(74)->Arg(200)->Unit(benchmark::kNanosecond);

void BM_DecodePng640x480(benchmark::State& state) {
  auto pixels = CreatePixmap(640, 480, PF_RGB888);
  for (int32_t y = 0; y < 480; ++y)
    for (int32_t x = 0; x < 640; ++x)
      pixels->WritePixel(
          x, y, 0xFF000000u | ((x * 3) & 255) << 16 | ((y * 5) & 255) << 8 | ((x ^ y) & 255));
  const std::string path = "/tmp/image_bench_" + std::to_string(getpid()) + ".png";
  if (!SavePixmapPNG(pixels, path)) {
    state.SkipWithError("could not write the PNG");
    return;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> bytes;
  for (int c; file && (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
  if (file) std::fclose(file);
  std::remove(path.c_str());
  for (auto _ : state) {
    auto stream = TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), 1, 0);
    auto decoded = LoadPixmap(std::shared_ptr<TStream>(stream));
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(state.iterations() * 640 * 480 * 3);
}
BENCHMARK(BM_DecodePng640x480)->Unit(benchmark::kMillisecond);

}  // namespace
