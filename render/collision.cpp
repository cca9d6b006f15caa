// Collision layers and the two-polygon scanline rasteriser behind the overlap tests.

#include "render/collision.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

constexpr int32_t kLayerCount = 32;
constexpr uint32_t kScratchLayer = 1u << 31;
// Quads beyond these bounds take no part in collisions: far larger than any drawn sprite,
// they would cost the rasteriser billions of steps, and their scanline numbers would no
// longer fit an integer.
constexpr float kLargestQuadSide = 16384.0f;
constexpr float kFarthestCorner = 16777216.0f;

struct CollisionState {
  TQuad* layers[kLayerCount] = {};
  TQuad* free_list = nullptr;
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  std::vector<int32_t> span;                    // marks of the current scanline; only grows
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

// The rasteriser's working state for one polygon (a quad: 4 vertices of x, y, u, v).
struct rpoly {
  const TPixmap* texture = nullptr;  // mask; nullptr = solid
  float data[16] = {};
  int32_t channels = 4;
  int32_t count = 4;
  int32_t size = 16;
  float ldat[4] = {}, ladd[4] = {};
  float rdat[4] = {}, radd[4] = {};
  int32_t Left = 0;   // vertex where the current left edge ends
  int32_t Right = 0;  // vertex where the current right edge ends
  int32_t top = 0;    // scanline of the top vertex
  int32_t top_vertex = 0;
  int32_t state = 0;  // 0 not started, 1 active, 2 finished

  float X(int32_t vertex) const { return data[vertex * channels]; }
  float Y(int32_t vertex) const { return data[vertex * channels + 1]; }
  int32_t ScanY(int32_t vertex) const { return TruncateToInt(Y(vertex)); }
};

void LoadPolygon(rpoly& poly, const TQuad& quad) {
  poly.texture = quad.mask.get();
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
bool AdvanceEdge(rpoly& poly, int32_t scanline, int32_t step, int32_t& end_vertex, float* dat,
                 float* add) {
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
  const float rows = static_cast<float>(yb - ya);
  for (int32_t c = 0; c < poly.channels; ++c) {
    const float a = poly.data[current * poly.channels + c];
    const float b = poly.data[next * poly.channels + c];
    add[c] = (b - a) / rows;
    dat[c] = a + 0.5f * add[c];  // sampled half a scanline below the upper vertex
  }
  end_vertex = next;
  return true;
}

bool MaskSolid(const TPixmap& mask, float u, float v) {
  u = std::clamp(u, 0.0f, 1.0f);
  v = std::clamp(v, 0.0f, 1.0f);
  int32_t column = TruncateToInt(u * static_cast<float>(mask.width));
  int32_t row = TruncateToInt(v * static_cast<float>(mask.height));
  if (column >= mask.width) column = mask.width - 1;
  if (row >= mask.height) row = mask.height - 1;
  if (column < 0 || row < 0) return false;
  const uint8_t* pixel = mask.PixelPtr(column, row);
  // The alpha byte: the fourth byte of a four-byte pixel, the only byte of an alpha pixel.
  const uint8_t alpha = mask.format == PF_A8 ? pixel[0] : pixel[3];
  return alpha >= 128;
}

// Contact test of the active polygons on one scanline.
bool SpanTouches(rpoly* const* active, int32_t active_count) {
  if (active_count < 2) return false;
  const int32_t b = TruncateToInt(active[0]->ldat[0]), n = TruncateToInt(active[0]->rdat[0]);
  const int32_t c = TruncateToInt(active[1]->ldat[0]), d = TruncateToInt(active[1]->rdat[0]);
  if (c >= n || b >= d) return false;
  const int32_t first = std::max(b, c);
  const int64_t width = static_cast<int64_t>(std::min(n, d)) - first;
  if (width <= 0) return false;
  std::vector<int32_t>& span = State().span;
  if (span.size() < static_cast<size_t>(width)) span.resize(static_cast<size_t>(width));
  std::fill_n(span.begin(), width, 0);

  for (int32_t p = 0; p < active_count; ++p) {
    const rpoly& poly = *active[p];
    if (poly.texture == nullptr) {
      for (int64_t k = 0; k < width; ++k) {
        if (span[k] != 0) return true;
      }
      std::fill_n(span.begin(), width, 1);
      continue;
    }
    const int32_t e = TruncateToInt(poly.ldat[0]), f = TruncateToInt(poly.rdat[0]);
    if (f - e < 1) continue;
    const float columns = static_cast<float>(f - e);
    const float du = (poly.rdat[2] - poly.ldat[2]) / columns;
    const float dv = (poly.rdat[3] - poly.ldat[3]) / columns;
    const float offset = static_cast<float>(first - e) + 0.5f;  // pixel centres
    float u = poly.ldat[2] + offset * du;
    float v = poly.ldat[3] + offset * dv;
    for (int64_t k = 0; k < width; ++k, u += du, v += dv) {
      if (!MaskSolid(*poly.texture, u, v)) continue;
      if (span[k] != 0) return true;
      span[k] = 1;
    }
  }
  return false;
}

// Walks both quads scanline by scanline; true at the first shared solid pixel.
bool RasteriseTouch(const TQuad& a, const TQuad& b) {
  rpoly polys[2];
  LoadPolygon(polys[0], a);
  LoadPolygon(polys[1], b);
  int32_t first_line = std::min(polys[0].top, polys[1].top);
  int32_t last_line = INT32_MIN;
  for (const rpoly& poly : polys) {
    for (int32_t k = 0; k < poly.count; ++k) last_line = std::max(last_line, poly.ScanY(k));
  }
  rpoly* active[2] = {};
  int32_t active_count = 0;
  for (int32_t line = first_line; line < last_line; ++line) {
    for (rpoly& poly : polys) {
      if (poly.state == 2 || line < poly.top) continue;
      bool alive = AdvanceEdge(poly, line, -1, poly.Left, poly.ldat, poly.ladd) &&
                   AdvanceEdge(poly, line, +1, poly.Right, poly.rdat, poly.radd);
      if (!alive) {
        if (poly.state == 1) {
          auto end = std::remove(active, active + active_count, &poly);
          active_count = static_cast<int32_t>(end - active);
        }
        poly.state = 2;
        continue;
      }
      if (poly.state == 0) {
        poly.state = 1;
        active[active_count++] = &poly;
      }
    }
    if (active_count > 0 && SpanTouches(active, active_count)) return true;
    for (int32_t p = 0; p < active_count; ++p) {
      rpoly& poly = *active[p];
      for (int32_t c = 0; c < poly.channels; ++c) {
        poly.ldat[c] += poly.ladd[c];
        poly.rdat[c] += poly.radd[c];
      }
    }
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

// A w x h quad placed at (x, y) plus the origin with its handle at (hx, hy), through the
// module's transform.
TQuad* PlaceQuad(int32_t x, int32_t y, float w, float h, float hx, float hy) {
  const CollisionState& state = State();
  float origin_x = 0.0f, origin_y = 0.0f;
  GetOrigin(origin_x, origin_y);
  const float px = static_cast<float>(x) + origin_x, py = static_cast<float>(y) + origin_y;
  const float local[4][2] = {{-hx, -hy}, {w - hx, -hy}, {w - hx, h - hy}, {-hx, h - hy}};
  float screen[8];
  for (int32_t k = 0; k < 4; ++k) {
    screen[k * 2] = px + local[k][0] * state.ix + local[k][1] * state.iy;
    screen[k * 2 + 1] = py + local[k][0] * state.jx + local[k][1] * state.jy;
  }
  TQuad* quad = TakeQuad();
  quad->SetCoords(screen[0], screen[1], screen[2], screen[3], screen[4], screen[5], screen[6],
                  screen[7]);
  return quad;
}

// Sets rotation and scale on the render state and keeps the module's copy in step, also when
// no render state is current.
void ApplyRotationScale(float rotation, float scale_x, float scale_y) {
  SetRotationScale(rotation, scale_x, scale_y);
  if (auto graphics = TRender2DGraphics::Current()) {
    SetCollisionTransform(graphics->tform_ix, graphics->tform_iy, graphics->tform_jx,
                          graphics->tform_jy);
  } else {
    const float s = static_cast<float>(SinDeg(rotation));
    const float c = static_cast<float>(CosDeg(rotation));
    SetCollisionTransform(c * scale_x, -s * scale_y, s * scale_x, c * scale_y);
  }
}

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
  std::shared_ptr<TPixmap> pixels = image->Lock(frame, true, false);
  TQuad* quad = PlaceQuad(x, y, static_cast<float>(image->width), static_cast<float>(image->height),
                          image->handle_x, image->handle_y);
  quad->id = std::move(id);
  quad->frame = frame;
  if (pixels && AlphaBits(pixels->format) == 8 && pixels->width > 0 && pixels->height > 0) {
    quad->mask = pixels;
  }
  return TestAndWrite(quad, test_mask, write_mask);
}

std::vector<std::shared_ptr<void>> LayerCollideRect(int32_t x, int32_t y, int32_t width,
                                                    int32_t height, uint32_t test_mask,
                                                    uint32_t write_mask, std::shared_ptr<void> id) {
  TQuad* quad = PlaceQuad(x, y, static_cast<float>(width), static_cast<float>(height), 0.0f, 0.0f);
  quad->id = std::move(id);
  quad->frame = 0;
  return TestAndWrite(quad, test_mask, write_mask);
}

void ClearCollisionLayers(uint32_t mask) {
  CollisionState& state = State();
  for (int32_t j = 0; j < kLayerCount; ++j) {
    if (mask != 0 && (mask & (1u << j)) == 0) continue;
    while (TQuad* quad = state.layers[j]) {
      state.layers[j] = quad->link;
      ReturnQuad(quad);
    }
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
  const float saved_rotation = GetRotation();
  float saved_scale_x = 1.0f, saved_scale_y = 1.0f;
  GetScale(saved_scale_x, saved_scale_y);
  float saved[4];
  GetCollisionTransform(saved[0], saved[1], saved[2], saved[3]);

  int32_t result = 0;
  try {
    ClearCollisionLayers(kScratchLayer);
    ApplyRotationScale(rotation1, scale_x1, scale_y1);
    LayerCollideImage(image1, x1, y1, frame1, 0, kScratchLayer, nullptr);
    ApplyRotationScale(rotation2, scale_x2, scale_y2);
    result = LayerCollideImage(image2, x2, y2, frame2, kScratchLayer, 0, nullptr).empty() ? 0 : 1;
  } catch (...) {
    SetRotationScale(saved_rotation, saved_scale_x, saved_scale_y);
    SetCollisionTransform(saved[0], saved[1], saved[2], saved[3]);
    throw;
  }
  SetRotationScale(saved_rotation, saved_scale_x, saved_scale_y);
  if (auto graphics = TRender2DGraphics::Current()) {
    SetCollisionTransform(graphics->tform_ix, graphics->tform_iy, graphics->tform_jx,
                          graphics->tform_jy);
  } else {
    SetCollisionTransform(saved[0], saved[1], saved[2], saved[3]);
  }
  return result;
}
