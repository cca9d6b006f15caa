// ImagesOverlap against a brute-force reference on 100,000 random pose pairs of the game's
// own images (ship, shots, asteroids, UFO, chunk): every solid pixel centre of the first
// frame is placed on screen and looked up in the second frame's mask. Prints how many
// pairs agree and the time of each over all pairs.

#include <cmath>
#include <random>
#include <vector>

#include "bench/compare/bench_clock.h"
#include "game/globals.h"
#include "game/main_loop.h"
#include "render/collision.h"
#include "render/graphics.h"
#include "render/headless/headless_driver.h"
#include "render/image.h"
#include "render/pixmap.h"

namespace {

struct pose {
  std::shared_ptr<TImage> image;
  int32_t frame;
  int32_t x, y;
  float rotation, scale_x, scale_y;
};

struct placement {
  float px, py, hx, hy;
  float ix, iy, jx, jy;  // local to screen
  float inverse[4];      // screen to local
};

placement place(const pose& p) {
  const double radians = static_cast<double>(p.rotation) * M_PI / 180.0;
  const float s = static_cast<float>(std::sin(radians)), c = static_cast<float>(std::cos(radians));
  placement out{static_cast<float>(p.x), static_cast<float>(p.y), p.image->handle_x,
                p.image->handle_y,       c * p.scale_x,           -s * p.scale_y,
                s * p.scale_x,           c * p.scale_y,           {}};
  const float determinant = out.ix * out.jy - out.iy * out.jx;
  out.inverse[0] = out.jy / determinant;
  out.inverse[1] = -out.iy / determinant;
  out.inverse[2] = -out.jx / determinant;
  out.inverse[3] = out.ix / determinant;
  return out;
}

bool solid(const TPixmap& mask, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) return false;
  return (mask.ReadPixel(x, y) >> 24) >= 128;
}

bool brute_overlap(const pose& a, const pose& b) {
  const TPixmap& mask_a = *a.image->pixmaps[static_cast<size_t>(a.frame)];
  const TPixmap& mask_b = *b.image->pixmaps[static_cast<size_t>(b.frame)];
  const placement pa = place(a), pb = place(b);
  for (int32_t y = 0; y < mask_a.height; ++y) {
    for (int32_t x = 0; x < mask_a.width; ++x) {
      if (!solid(mask_a, x, y)) continue;
      const float lx = static_cast<float>(x) + 0.5f - pa.hx,
                  ly = static_cast<float>(y) + 0.5f - pa.hy;
      const float sx = pa.px + lx * pa.ix + ly * pa.iy - pb.px;
      const float sy = pa.py + lx * pa.jx + ly * pa.jy - pb.py;
      const float bx = sx * pb.inverse[0] + sy * pb.inverse[1] + pb.hx;
      const float by = sx * pb.inverse[2] + sy * pb.inverse[3] + pb.hy;
      if (bx >= 0 && by >= 0 && solid(mask_b, static_cast<int32_t>(bx), static_cast<int32_t>(by)))
        return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t pairs = bench::quick(argc, argv) ? 20000 : 100000;
  SetGraphicsDriver(HeadlessGraphicsDriver());
  if (!OpenGraphics(640, 480, 0, 0, 0)) return 1;
  // The frames the game cuts from its sprite sheet, made as the game's start-up makes them.
  SetMaskColor(0, 0, 0);
  create_game_images();
  load_resources();
  std::vector<std::pair<std::shared_ptr<TImage>, int32_t>> frames;
  for (const auto& image : {ship_img, shot_img, astro_img, ufo_img, chunk_img}) {
    if (!image) continue;
    for (int32_t f = 0; f < image->FrameCount(); ++f)
      if (image->pixmaps[static_cast<size_t>(f)]) frames.emplace_back(image, f);
  }
  if (frames.empty()) {
    std::fprintf(stderr, "render: the game's images did not load\n");
    return 1;
  }
  std::mt19937 random(12345);
  auto uniform = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  std::vector<std::pair<pose, pose>> poses;
  for (int32_t i = 0; i < pairs; ++i) {
    const auto& [image_a, frame_a] = frames[random() % frames.size()];
    const auto& [image_b, frame_b] = frames[random() % frames.size()];
    const float reach = static_cast<float>(image_a->width + image_b->width) * 0.6f;
    pose a{image_a, frame_a, 320, 240, uniform(0, 360), uniform(0.3f, 1.5f), uniform(0.3f, 1.5f)};
    pose b{image_b,
           frame_b,
           320 + static_cast<int32_t>(uniform(-reach, reach)),
           240 + static_cast<int32_t>(uniform(-reach, reach)),
           uniform(0, 360),
           uniform(0.3f, 1.5f),
           uniform(0.3f, 1.5f)};
    poses.emplace_back(a, b);
  }

  std::vector<char> ours(poses.size()), brute(poses.size());
  double start = bench::now_seconds();
  for (size_t i = 0; i < poses.size(); ++i) {
    const pose& a = poses[i].first;
    const pose& b = poses[i].second;
    ours[i] = static_cast<char>(ImagesOverlap(a.image, a.x, a.y, a.frame, a.rotation, a.scale_x,
                                              a.scale_y, b.image, b.x, b.y, b.frame, b.rotation,
                                              b.scale_x, b.scale_y));
  }
  const double ours_seconds = bench::now_seconds() - start;
  start = bench::now_seconds();
  for (size_t i = 0; i < poses.size(); ++i)
    brute[i] = brute_overlap(poses[i].first, poses[i].second);
  const double brute_seconds = bench::now_seconds() - start;

  int64_t agree = 0, hits = 0, only_ours = 0, only_brute = 0;
  for (size_t i = 0; i < poses.size(); ++i) {
    agree += ours[i] == brute[i];
    hits += brute[i];
    only_ours += ours[i] && !brute[i];
    only_brute += !ours[i] && brute[i];
  }
  bench::report("collision_pairs", static_cast<double>(poses.size()));
  bench::report("collision_agree_percent",
                100.0 * static_cast<double>(agree) / static_cast<double>(poses.size()));
  bench::report("collision_brute_hits", static_cast<double>(hits));
  bench::report("collision_only_ours", static_cast<double>(only_ours));
  bench::report("collision_only_brute", static_cast<double>(only_brute));
  bench::report("collision_ours_ms", ours_seconds * 1e3);
  bench::report("collision_brute_ms", brute_seconds * 1e3);
  EndGraphics();
  return 0;
}
