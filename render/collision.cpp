// Collision layers and the two-polygon scanline rasteriser behind the overlap tests.

#include "render/collision.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "support/bit_cast.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

constexpr int32_t kLayerCount = 32;
constexpr int32_t kScratchLayerIndex = 31;
constexpr uint32_t kScratchLayer = 1u << kScratchLayerIndex;
// Quads beyond these bounds take no part in collisions: far larger than any drawn sprite,
// they would cost the rasteriser billions of steps, and their scanline numbers would no
// longer fit an integer.
constexpr float kLargestQuadSide = 16384.0f;
constexpr float kFarthestCorner = 16777216.0f;

struct CollisionState {
  TQuad* layers[kLayerCount] = {};
  TQuad* free_list = nullptr;
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  std::vector<std::unique_ptr<TQuad>> storage;  // owns every quad ever made
};

CollisionState& State() {
  static CollisionState state;
  return state;
}

TQuad* TakeQuad() {
  CollisionState& state = State();
  if (state.free_list != nullptr) {
    TQuad* quad = state.free_list;
    state.free_list = quad->link;
    quad->link = nullptr;
    return quad;
  }
  state.storage.push_back(std::make_unique<TQuad>());
  return state.storage.back().get();
}

void ReturnQuad(TQuad* quad) {
  // Recycled quads must not keep the caller's objects or images alive.
  quad->id.reset();
  quad->mask.reset();
  quad->link = State().free_list;
  State().free_list = quad;
}

void ClearLayer(int32_t j) {
  CollisionState& state = State();
  while (TQuad* quad = state.layers[j]) {
    state.layers[j] = quad->link;
    ReturnQuad(quad);
  }
}

// The rasteriser's working state for one polygon (a quad: 4 vertices of x, y, u, v). Edge
// values are worked out afresh on every scanline from the edge's upper vertex, in double
// precision, so nothing drifts from one scanline to the next.
struct rpoly {
  const TPixmap* texture = nullptr;  // mask; nullptr = solid
  bool blank = false;                // an empty mask: solid nowhere
  float data[16] = {};
  int32_t channels = 4;
  int32_t count = 4;
  int32_t size = 16;
  double ldat[4] = {}, ladd[4] = {};  // left edge: values at its upper vertex, per-scanline step
  double rdat[4] = {}, radd[4] = {};  // right edge
  int32_t lsince = 0, rsince = 0;     // scanline each edge was taken on
  int32_t Left = 0;                   // vertex where the current left edge ends
  int32_t Right = 0;                  // vertex where the current right edge ends
  int32_t top = 0;                    // scanline of the top vertex
  int32_t top_vertex = 0;
  int32_t state = 0;     // 0 not yet started, 1 active, 2 finished
  int32_t rows[4] = {};  // each vertex's truncated y
  // The mask's alpha bytes: the fourth byte of a four-byte pixel, the only byte of PF_A8.
  const uint8_t* alpha = nullptr;
  int32_t alpha_pitch = 0, alpha_step = 0;

  float X(int32_t vertex) const { return data[vertex * channels]; }
  float Y(int32_t vertex) const { return data[vertex * channels + 1]; }
  int32_t ScanY(int32_t vertex) const { return rows[vertex]; }
};

// What a polygon covers on one scanline: columns first..last-1, and u, v at both edges.
struct Cover {
  int32_t first = 0, last = 0;
  double lu = 0, lv = 0, ru = 0, rv = 0;
};

void LoadPolygon(rpoly& poly, const TQuad& quad) {
  poly.texture = quad.mask.get();
  // A mask without an alpha channel hides nothing; an empty one shows nothing.
  if (poly.texture && AlphaBits(poly.texture->format) != 8) poly.texture = nullptr;
  poly.blank = poly.texture && (poly.texture->width <= 0 || poly.texture->height <= 0);
  if (poly.texture) {
    const int32_t bytes = BytesPerPixel(poly.texture->format);
    poly.alpha = poly.texture->pixels + (poly.texture->format == PF_A8 ? 0 : 3);
    poly.alpha_pitch = poly.texture->pitch;
    poly.alpha_step = bytes;
  }
  std::copy(std::begin(quad.xyuv), std::end(quad.xyuv), poly.data);
  // The edge walk expects the vertices in one winding: reverse them when every turn has
  // the other sign (a mirrored quad).
  bool reverse = true;
  for (int32_t k = 2; k < poly.count; ++k) {
    double turn = (static_cast<double>(poly.X(k)) - poly.X(k - 1)) * (poly.Y(k - 1) - poly.Y(0)) -
                  (static_cast<double>(poly.X(k - 1)) - poly.X(0)) * (poly.Y(k) - poly.Y(k - 1));
    if (TruncateToInt(turn) < 0) reverse = false;
  }
  if (reverse) {
    for (int32_t a = 0, b = poly.count - 1; a < b; ++a, --b) {
      std::swap_ranges(poly.data + a * poly.channels, poly.data + (a + 1) * poly.channels,
                       poly.data + b * poly.channels);
    }
  }
  for (int32_t k = 0; k < poly.count; ++k) poly.rows[k] = TruncateToInt(poly.Y(k));
  poly.top_vertex = 0;
  for (int32_t k = 1; k < poly.count; ++k) {
    if (poly.ScanY(k) < poly.ScanY(poly.top_vertex)) poly.top_vertex = k;
  }
  poly.top = poly.ScanY(poly.top_vertex);
  poly.Left = poly.Right = poly.top_vertex;
  poly.state = 0;
}

// Moves one edge on once scanline i reaches its lower vertex. step is -1 for the left edge
// and +1 for the right. Returns false when the polygon has no edge left on this scanline.
bool AdvanceEdge(rpoly& poly, int32_t scanline, int32_t step, int32_t& end_vertex, double* dat,
                 double* add, int32_t& since) {
  if (scanline < poly.ScanY(end_vertex)) return true;
  const int32_t start = end_vertex;
  int32_t current = start;
  int32_t next = (current + step + poly.count) % poly.count;
  while (poly.ScanY(next) <= scanline) {
    current = next;
    if (current == start) return false;
    next = (current + step + poly.count) % poly.count;
  }
  const int32_t ya = poly.ScanY(current), yb = poly.ScanY(next);
  if (yb - ya < 1) return false;
  const double rows = static_cast<double>(yb - ya);
  for (int32_t c = 0; c < poly.channels; ++c) {
    const double a = poly.data[current * poly.channels + c];
    const double b = poly.data[next * poly.channels + c];
    dat[c] = a;
    add[c] = (b - a) / rows;
  }
  since = scanline;
  end_vertex = next;
  return true;
}

// The polygon's columns on a scanline: each edge sampled at the scanline's centre, that is
// half a scanline further down than the scanline the edge was taken on.
inline Cover CoverOf(const rpoly& poly, int32_t scanline) {
  const double left = static_cast<double>(scanline - poly.lsince) + 0.5;
  const double right = static_cast<double>(scanline - poly.rsince) + 0.5;
  Cover cover;
  cover.first = TruncateToInt(poly.ldat[0] + left * poly.ladd[0]);
  cover.last = TruncateToInt(poly.rdat[0] + right * poly.radd[0]);
  if (poly.texture) {
    cover.lu = poly.ldat[2] + left * poly.ladd[2];
    cover.lv = poly.ldat[3] + left * poly.ladd[3];
    cover.ru = poly.rdat[2] + right * poly.radd[2];
    cover.rv = poly.rdat[3] + right * poly.radd[3];
  }
  return cover;
}

// A polygon's mask along one scanline: u and v run linearly across the covered columns and
// are sampled at each pixel's centre; a sample on u = 1 or v = 1 reads the last column or row.
class MaskRow {
 public:
  MaskRow(const rpoly& poly, const Cover& cover)
      : alpha_(poly.alpha),
        pitch_(poly.alpha_pitch),
        step_(poly.alpha_step),
        last_column_(poly.texture->width - 1),
        last_row_(poly.texture->height - 1),
        width_(poly.texture->width),
        height_(poly.texture->height),
        lu_(cover.lu),
        lv_(cover.lv) {
    const double columns = static_cast<double>(cover.last - cover.first);
    du_ = (cover.ru - cover.lu) / columns;
    dv_ = (cover.rv - cover.lv) / columns;
  }
  // along: the pixel's centre, in columns from the start of the cover.
  bool SolidAt(double along) const {
    // Clamped to [0, 1] (as min and max, which compile without branches).
    const double u = std::min(std::max(lu_ + along * du_, 0.0), 1.0);
    const double v = std::min(std::max(lv_ + along * dv_, 0.0), 1.0);
    const int32_t column = std::min(static_cast<int32_t>(u * width_), last_column_);
    const int32_t row = std::min(static_cast<int32_t>(v * height_), last_row_);
    return alpha_[static_cast<ptrdiff_t>(row) * pitch_ + static_cast<ptrdiff_t>(column) * step_] >=
           128;
  }

 private:
  const uint8_t* alpha_;
  int32_t pitch_, step_, last_column_, last_row_;
  double width_, height_;
  double lu_, lv_, du_ = 0, dv_ = 0;
};

// Contact of the two active polygons on one scanline: a column both cover where both are
// solid.
bool SpanTouches(const rpoly& a, const rpoly& b, int32_t scanline) {
  const Cover ca = CoverOf(a, scanline), cb = CoverOf(b, scanline);
  const int32_t first = std::max(ca.first, cb.first), last = std::min(ca.last, cb.last);
  if (first >= last) return false;
  if (!a.texture || !b.texture) {
    if (!a.texture && !b.texture) return true;
    const bool masked_a = a.texture != nullptr;
    const MaskRow mask(masked_a ? a : b, masked_a ? ca : cb);
    // Pixel centres, counted in columns from the start of the masked polygon's cover; whole
    // numbers plus a half, so stepping by one stays exact.
    double along = static_cast<double>(first - (masked_a ? ca : cb).first) + 0.5;
    for (int32_t x = first; x < last; ++x, along += 1.0) {
      if (mask.SolidAt(along)) return true;
    }
    return false;
  }
  const MaskRow ma(a, ca), mb(b, cb);
  double along_a = static_cast<double>(first - ca.first) + 0.5;
  double along_b = static_cast<double>(first - cb.first) + 0.5;
  for (int32_t x = first; x < last; ++x, along_a += 1.0, along_b += 1.0) {
    if (ma.SolidAt(along_a) && mb.SolidAt(along_b)) return true;
  }
  return false;
}

// Walks both quads scanline by scanline; true at the first shared solid pixel.
bool RasteriseTouch(const TQuad& a, const TQuad& b) {
  rpoly polys[2];
  LoadPolygon(polys[0], a);
  LoadPolygon(polys[1], b);
  if (polys[0].blank || polys[1].blank) return false;
  int32_t first_line = std::min(polys[0].top, polys[1].top);
  int32_t last_line = INT32_MIN;
  for (const rpoly& poly : polys) {
    for (int32_t k = 0; k < poly.count; ++k) last_line = std::max(last_line, poly.ScanY(k));
  }
  for (int32_t line = first_line; line < last_line; ++line) {
    int32_t active = 0;
    for (rpoly& poly : polys) {
      if (poly.state == 2 || line < poly.top) continue;
      // Most scanlines keep both edges: only a scanline that reaches an edge's lower vertex
      // walks on.
      const bool alive =
          (line < poly.rows[poly.Left] ||
           AdvanceEdge(poly, line, -1, poly.Left, poly.ldat, poly.ladd, poly.lsince)) &&
          (line < poly.rows[poly.Right] ||
           AdvanceEdge(poly, line, +1, poly.Right, poly.rdat, poly.radd, poly.rsince));
      if (!alive) {
        poly.state = 2;
        continue;
      }
      poly.state = 1;
      ++active;
    }
    // Once either polygon is finished nothing more can touch.
    if (polys[0].state == 2 || polys[1].state == 2) return false;
    if (active == 2 && SpanTouches(polys[0], polys[1], line)) return true;
  }
  return false;
}

std::vector<std::shared_ptr<void>> TestAndWrite(TQuad* quad, uint32_t test_mask,
                                                uint32_t write_mask) {
  CollisionState& state = State();
  std::vector<std::shared_ptr<void>> hits;
  for (int32_t j = 0; j < kLayerCount; ++j) {
    if ((test_mask & (1u << j)) == 0) continue;
    for (TQuad* other = state.layers[j]; other != nullptr; other = other->link) {
      if (QuadsTouch(*quad, *other)) hits.push_back(other->id);
    }
  }
  for (int32_t j = 0; j < kLayerCount; ++j) {
    if ((write_mask & (1u << j)) == 0) continue;
    TQuad* copy = TakeQuad();
    copy->id = quad->id;
    copy->mask = quad->mask;
    copy->frame = quad->frame;
    std::copy(std::begin(quad->xyuv), std::end(quad->xyuv), copy->xyuv);
    copy->minx = quad->minx, copy->miny = quad->miny;
    copy->maxx = quad->maxx, copy->maxy = quad->maxy;
    copy->link = state.layers[j];
    state.layers[j] = copy;
  }
  ReturnQuad(quad);
  return hits;
}

// Fills quad with a w x h rectangle placed at (x, y) plus the origin with its handle at
// (hx, hy), through the matrix m (ix, iy, jx, jy).
void PlaceQuad(TQuad& quad, int32_t x, int32_t y, float w, float h, float hx, float hy,
               const float (&m)[4]) {
  float origin_x = 0.0f, origin_y = 0.0f;
  GetOrigin(origin_x, origin_y);
  const float px = static_cast<float>(x) + origin_x, py = static_cast<float>(y) + origin_y;
  const float local[4][2] = {{-hx, -hy}, {w - hx, -hy}, {w - hx, h - hy}, {-hx, h - hy}};
  float screen[8];
  for (int32_t k = 0; k < 4; ++k) {
    screen[k * 2] = px + local[k][0] * m[0] + local[k][1] * m[1];
    screen[k * 2 + 1] = py + local[k][0] * m[2] + local[k][1] * m[3];
  }
  quad.SetCoords(screen[0], screen[1], screen[2], screen[3], screen[4], screen[5], screen[6],
                 screen[7]);
}

// The frame's pixels as a collision mask: only pixmaps with an 8-bit alpha channel mask;
// anything else leaves the quad solid.
std::shared_ptr<TPixmap> MaskOf(std::shared_ptr<TPixmap> pixels) {
  if (pixels && AlphaBits(pixels->format) == 8 && pixels->width > 0 && pixels->height > 0) {
    return pixels;
  }
  return nullptr;
}

// The quad of an image frame at (x, y) through the matrix m, with the frame's mask.
void PlaceImage(TQuad& quad, TImage& image, int32_t x, int32_t y, int32_t frame,
                const float (&m)[4]) {
  std::shared_ptr<TPixmap> pixels = image.Lock(frame, true, false);
  PlaceQuad(quad, x, y, static_cast<float>(image.width), static_cast<float>(image.height),
            image.handle_x, image.handle_y, m);
  quad.frame = frame;
  quad.mask = MaskOf(std::move(pixels));
}

// The matrix a rotation and scale give, as the render state makes it when one is current.
// The game tests one body against many others with the same pose, so each of the two
// places of ImagesOverlap remembers its last pose and skips the sine and cosine.
class PoseMatrix {
 public:
  const float (&For(float rotation, float scale_x, float scale_y, bool rendered))[4] {
    const uint32_t key[4] = {BitCast<uint32_t>(rotation), BitCast<uint32_t>(scale_x),
                             BitCast<uint32_t>(scale_y), rendered ? 1u : 0u};
    if (!valid_ || !std::equal(key, key + 4, key_)) {
      if (rendered) {
        RotationScaleMatrix(rotation, scale_x, scale_y, m_[0], m_[1], m_[2], m_[3]);
      } else {
        const float s = static_cast<float>(SinDeg(rotation));
        const float c = static_cast<float>(CosDeg(rotation));
        m_[0] = c * scale_x, m_[1] = -s * scale_y, m_[2] = s * scale_x, m_[3] = c * scale_y;
      }
      std::copy(key, key + 4, key_);
      valid_ = true;
    }
    return m_;
  }

 private:
  bool valid_ = false;
  uint32_t key_[4] = {};
  float m_[4] = {};
};

}  // namespace

void TQuad::SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                      float y3) {
  const float corners[4][4] = {{x0, y0, 0, 0}, {x1, y1, 1, 0}, {x2, y2, 1, 1}, {x3, y3, 0, 1}};
  for (int32_t k = 0; k < 4; ++k) std::copy(corners[k], corners[k] + 4, xyuv + k * 4);
  minx = std::min({x0, x1, x2, x3});
  maxx = std::max({x0, x1, x2, x3});
  miny = std::min({y0, y1, y2, y3});
  maxy = std::max({y0, y1, y2, y3});
}

namespace {

// False for a quad with a corner that is NaN, infinite or too far out, or a side too long.
bool Collidable(const TQuad& quad) {
  const bool finite_box = std::isfinite(quad.minx) && std::isfinite(quad.maxx) &&
                          std::isfinite(quad.miny) && std::isfinite(quad.maxy);
  return finite_box && quad.maxx - quad.minx <= kLargestQuadSide &&
         quad.maxy - quad.miny <= kLargestQuadSide && std::fabs(quad.minx) <= kFarthestCorner &&
         std::fabs(quad.maxx) <= kFarthestCorner && std::fabs(quad.miny) <= kFarthestCorner &&
         std::fabs(quad.maxy) <= kFarthestCorner;
}

}  // namespace

bool QuadsTouch(const TQuad& a, const TQuad& b) {
  if (!Collidable(a) || !Collidable(b)) return false;
  if (a.maxx < b.minx || a.maxy < b.miny || a.minx > b.maxx || a.miny > b.maxy) return false;
  return RasteriseTouch(a, b);
}

void SetCollisionTransform(float ix, float iy, float jx, float jy) {
  CollisionState& state = State();
  state.ix = ix, state.iy = iy, state.jx = jx, state.jy = jy;
}

void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy) {
  const CollisionState& state = State();
  ix = state.ix, iy = state.iy, jx = state.jx, jy = state.jy;
}

std::vector<std::shared_ptr<void>> LayerCollideImage(const std::shared_ptr<TImage>& image,
                                                     int32_t x, int32_t y, int32_t frame,
                                                     uint32_t test_mask, uint32_t write_mask,
                                                     std::shared_ptr<void> id) {
  if (!image) return {};
  const CollisionState& state = State();
  const float matrix[4] = {state.ix, state.iy, state.jx, state.jy};
  TQuad* quad = TakeQuad();
  try {
    PlaceImage(*quad, *image, x, y, frame, matrix);
  } catch (...) {
    ReturnQuad(quad);
    throw;
  }
  quad->id = std::move(id);
  return TestAndWrite(quad, test_mask, write_mask);
}

std::vector<std::shared_ptr<void>> LayerCollideRect(int32_t x, int32_t y, int32_t width,
                                                    int32_t height, uint32_t test_mask,
                                                    uint32_t write_mask, std::shared_ptr<void> id) {
  const CollisionState& state = State();
  const float matrix[4] = {state.ix, state.iy, state.jx, state.jy};
  TQuad* quad = TakeQuad();
  PlaceQuad(*quad, x, y, static_cast<float>(width), static_cast<float>(height), 0.0f, 0.0f, matrix);
  quad->id = std::move(id);
  quad->frame = 0;
  return TestAndWrite(quad, test_mask, write_mask);
}

void ClearCollisionLayers(uint32_t mask) {
  for (int32_t j = 0; j < kLayerCount; ++j) {
    if (mask == 0 || (mask & (1u << j)) != 0) ClearLayer(j);
  }
}

int32_t ImagesOverlapPlain(const std::shared_ptr<TImage>& image1, int32_t x1, int32_t y1,
                           int32_t frame1, const std::shared_ptr<TImage>& image2, int32_t x2,
                           int32_t y2, int32_t frame2) {
  ClearCollisionLayers(kScratchLayer);
  LayerCollideImage(image1, x1, y1, frame1, 0, kScratchLayer, nullptr);
  return LayerCollideImage(image2, x2, y2, frame2, kScratchLayer, 0, nullptr).empty() ? 0 : 1;
}

int32_t ImagesOverlap(const std::shared_ptr<TImage>& image1, int32_t x1, int32_t y1, int32_t frame1,
                      float rotation1, float scale_x1, float scale_y1,
                      const std::shared_ptr<TImage>& image2, int32_t x2, int32_t y2, int32_t frame2,
                      float rotation2, float scale_x2, float scale_y2) {
  // Each image is placed with its own matrix directly: the render state's rotation, scale
  // and matrix, and the layers' copy of it, are never touched, so there is nothing to
  // restore afterwards.
  static PoseMatrix first_pose, second_pose;
  CollisionState& state = State();
  const bool rendered = RenderStateCurrent();
  ClearLayer(kScratchLayerIndex);
  if (image1) {
    TQuad* first = TakeQuad();
    try {
      PlaceImage(*first, *image1, x1, y1, frame1,
                 first_pose.For(rotation1, scale_x1, scale_y1, rendered));
    } catch (...) {
      ReturnQuad(first);
      throw;
    }
    // Image 1's quad stays in the scratch layer until the next clear.
    first->link = state.layers[kScratchLayerIndex];
    state.layers[kScratchLayerIndex] = first;
  }
  if (!image2) return 0;
  TQuad second;
  PlaceImage(second, *image2, x2, y2, frame2,
             second_pose.For(rotation2, scale_x2, scale_y2, rendered));
  for (const TQuad* other = state.layers[kScratchLayerIndex]; other; other = other->link) {
    if (QuadsTouch(second, *other)) return 1;
  }
  return 0;
}
