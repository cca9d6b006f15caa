// ImagesOverlap against a brute-force reference on 100,000 random pose pairs of the game's
// own images (ship, shots, asteroids, UFO, chunk). The reference visits every screen pixel
// the two quads' boxes share and asks of each quad, in double precision and with nothing
// carried from one pixel to the next, whether it covers the pixel and whether its mask is
// solid at the pixel's centre. Prints how many pairs agree and the time of each over
// all pairs.

#include <algorithm>
#include <climits>
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
#include "render/render2d.h"

namespace {

struct pose {
  std::shared_ptr<TImage> image;
  int32_t frame;
  int32_t x, y;
  float rotation, scale_x, scale_y;
};

// One frame placed on screen the way ImagesOverlap places it: corners through the render
// state's own transform, u and v running 0..1 across the frame.
struct model_quad {
  double x[4], y[4], u[4], v[4];
  int32_t row[4];  // truncated corner y
  const TPixmap* mask = nullptr;
  int32_t top = 0;  // corner with the smallest truncated y
};

model_quad place(const pose& p) {
  SetRotationScale(p.rotation, p.scale_x, p.scale_y);
  float ix, iy, jx, jy, origin_x, origin_y;
  GetCollisionTransform(ix, iy, jx, jy);
  GetOrigin(origin_x, origin_y);
  const float w = static_cast<float>(p.image->width), h = static_cast<float>(p.image->height);
  const float hx = p.image->handle_x, hy = p.image->handle_y;
  const float px = static_cast<float>(p.x) + origin_x, py = static_cast<float>(p.y) + origin_y;
  const float local[4][4] = {
      {-hx, -hy, 0, 0}, {w - hx, -hy, 1, 0}, {w - hx, h - hy, 1, 1}, {-hx, h - hy, 0, 1}};
  model_quad quad;
  for (int32_t k = 0; k < 4; ++k) {
    quad.x[k] = px + local[k][0] * ix + local[k][1] * iy;
    quad.y[k] = py + local[k][0] * jx + local[k][1] * jy;
    quad.u[k] = local[k][2];
    quad.v[k] = local[k][3];
  }
  // One winding for every quad: reversed when no turn is negative (a mirrored quad).
  bool reverse = true;
  for (int32_t k = 2; k < 4; ++k) {
    const double turn = (quad.x[k] - quad.x[k - 1]) * (quad.y[k - 1] - quad.y[0]) -
                        (quad.x[k - 1] - quad.x[0]) * (quad.y[k] - quad.y[k - 1]);
    if (std::trunc(turn) < 0) reverse = false;
  }
  if (reverse) {
    std::swap(quad.x[0], quad.x[3]), std::swap(quad.y[0], quad.y[3]);
    std::swap(quad.u[0], quad.u[3]), std::swap(quad.v[0], quad.v[3]);
    std::swap(quad.x[1], quad.x[2]), std::swap(quad.y[1], quad.y[2]);
    std::swap(quad.u[1], quad.u[2]), std::swap(quad.v[1], quad.v[2]);
  }
  for (int32_t k = 0; k < 4; ++k) {
    quad.row[k] = static_cast<int32_t>(std::trunc(quad.y[k]));
    if (quad.row[k] < quad.row[quad.top]) quad.top = k;
  }
  const TPixmap* pixels = p.image->pixmaps[static_cast<size_t>(p.frame)].get();
  if (pixels && AlphaBits(pixels->format) == 8 && pixels->width > 0 && pixels->height > 0)
    quad.mask = pixels;
  return quad;
}

// The edge on one side of a quad at a scanline: the walk down from the top corner (the left
// side to lower corner numbers, the right side to higher) stops at the first edge whose
// upper corner's truncated y is at or above the scanline and whose lower corner's is below
// it; false when the side turns upwards or comes round first (the quad ends above).
bool side_edge(const model_quad& q, int32_t line, int32_t step, int32_t& upper, int32_t& lower) {
  int32_t current = q.top;
  for (int32_t walked = 0; walked < 4; ++walked) {
    const int32_t next = (current + step) % 4;
    if (q.row[next] > line) {
      upper = current, lower = next;
      return q.row[current] <= line;
    }
    if (q.row[next] < q.row[current] || next == q.top) return false;
    current = next;
  }
  return false;
}

// x, u and v of a side's edge at the scanline's centre, half a scanline below the edge's
// upper corner's truncated y.
void edge_at(const model_quad& q, int32_t upper, int32_t lower, int32_t line, double out[3]) {
  const double steps = q.row[lower] - q.row[upper];
  const double along = line - q.row[upper] + 0.5;
  const double* corner[3] = {q.x, q.u, q.v};
  for (int32_t c = 0; c < 3; ++c)
    out[c] = corner[c][upper] + along * ((corner[c][lower] - corner[c][upper]) / steps);
}

// Whether the quad covers screen pixel (x, line) and its mask is solid there: the pixel lies
// in the columns from the truncated left edge up to the truncated right edge, and the mask is
// sampled at the pixel's centre with u and v running linearly across those columns.
bool solid_at(const model_quad& q, int32_t x, int32_t line) {
  int32_t upper, lower;
  double left[3], right[3];
  if (!side_edge(q, line, 3, upper, lower)) return false;
  edge_at(q, upper, lower, line, left);
  if (!side_edge(q, line, 1, upper, lower)) return false;
  edge_at(q, upper, lower, line, right);
  const int32_t first = static_cast<int32_t>(std::trunc(left[0]));
  const int32_t last = static_cast<int32_t>(std::trunc(right[0]));
  if (x < first || x >= last) return false;
  if (!q.mask) return true;
  const double columns = last - first;
  const double along = x - first + 0.5;
  const double u = std::clamp(left[1] + along * ((right[1] - left[1]) / columns), 0.0, 1.0);
  const double v = std::clamp(left[2] + along * ((right[2] - left[2]) / columns), 0.0, 1.0);
  const int32_t column = std::min(static_cast<int32_t>(u * q.mask->width), q.mask->width - 1);
  const int32_t row = std::min(static_cast<int32_t>(v * q.mask->height), q.mask->height - 1);
  return (q.mask->ReadPixel(column, row) >> 24) >= 128;
}

// Every screen pixel both quads' boxes share, one by one: contact where both are solid.
bool brute_overlap(const pose& a, const pose& b) {
  const model_quad qa = place(a), qb = place(b);
  int32_t box[2][4];  // left, top, right, bottom: whole pixels around each quad
  for (const model_quad* q : {&qa, &qb}) {
    int32_t* edges = box[q == &qb];
    edges[0] = static_cast<int32_t>(std::floor(*std::min_element(q->x, q->x + 4)));
    edges[1] = static_cast<int32_t>(std::floor(*std::min_element(q->y, q->y + 4)));
    edges[2] = static_cast<int32_t>(std::ceil(*std::max_element(q->x, q->x + 4)));
    edges[3] = static_cast<int32_t>(std::ceil(*std::max_element(q->y, q->y + 4)));
  }
  for (int32_t line = std::max(box[0][1], box[1][1]); line <= std::min(box[0][3], box[1][3]);
       ++line) {
    for (int32_t x = std::max(box[0][0], box[1][0]); x <= std::min(box[0][2], box[1][2]); ++x)
      if (solid_at(qa, x, line) && solid_at(qb, x, line)) return true;
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
  // The two take turns over blocks of pairs, so a change in the machine's load during the
  // run weighs on both alike.
  constexpr size_t kBlock = 1000;
  double ours_seconds = 0.0, brute_seconds = 0.0;
  for (size_t block = 0; block < poses.size(); block += kBlock) {
    const size_t end = std::min(block + kBlock, poses.size());
    double start = bench::now_seconds();
    for (size_t i = block; i < end; ++i) {
      const pose& a = poses[i].first;
      const pose& b = poses[i].second;
      ours[i] = static_cast<char>(ImagesOverlap(a.image, a.x, a.y, a.frame, a.rotation, a.scale_x,
                                                a.scale_y, b.image, b.x, b.y, b.frame, b.rotation,
                                                b.scale_x, b.scale_y));
    }
    ours_seconds += bench::now_seconds() - start;
    start = bench::now_seconds();
    for (size_t i = block; i < end; ++i) brute[i] = brute_overlap(poses[i].first, poses[i].second);
    brute_seconds += bench::now_seconds() - start;
  }

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
