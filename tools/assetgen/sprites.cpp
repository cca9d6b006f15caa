// The game's sprites: asteroids, ship, debris, shots, explosions and the UFO,
// and the sheet that holds them at the positions the game grabs them from.

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/assetgen/art.h"

namespace {

constexpr float kPi = 3.14159265358979f;

struct Vec3 {
  float x, y, z;
};

Vec3 Normalize(Vec3 v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

float Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Light from the top left, slightly in front.
const Vec3 kLight = Normalize({-0.55f, -0.65f, 0.6f});

Image Finish(const Canvas& canvas) {
  Image image = Quantize(canvas);
  SealSprite(image);
  return image;
}

bool InsidePolygon(const std::vector<float>& xy, float x, float y) {
  bool inside = false;
  size_t n = xy.size() / 2;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

float DistanceToPolygonEdge(const std::vector<float>& xy, float x, float y) {
  float best = 1e9f;
  size_t n = xy.size() / 2;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
    float dx = bx - ax, dy = by - ay;
    float t = Clamp01(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy));
    float ex = ax + t * dx - x, ey = ay + t * dy - y;
    best = std::min(best, std::sqrt(ex * ex + ey * ey));
  }
  return best;
}

// A rocky body: irregular outline, sphere-like shading, bumps and craters.
struct Rock {
  float cx, cy;
  float radius_x, radius_y;
  std::vector<float> outline;  // radius factor per degree, 360 entries
  struct Crater {
    float x, y, r, depth;
  };
  std::vector<Crater> craters;
  uint32_t seed;
  Color albedo;
  float bump;

  float Radius(float angle) const {
    float position = (angle / (2 * kPi) + 1.0f) * 360.0f;
    int i = static_cast<int>(position) % 360;
    float t = position - std::floor(position);
    return outline[i] * (1 - t) + outline[(i + 1) % 360] * t;
  }

  float Height(float x, float y) const {
    float h = (FractalNoise(x * 0.09f, y * 0.09f, 5, seed) - 0.5f) * 2.2f;
    h += (FractalNoise(x * 0.35f, y * 0.35f, 3, seed + 7) - 0.5f) * 0.5f;
    for (const Crater& c : craters) {
      float dx = x - c.x, dy = y - c.y;
      float t = std::sqrt(dx * dx + dy * dy) / c.r;
      if (t < 1.0f) h += c.depth * (t * t - 1.0f);
      float rim = (t - 1.0f) / 0.35f;
      h += c.depth * 0.45f * std::exp(-rim * rim);
    }
    return h;
  }

  Sample Shade(float x, float y) const {
    float dx = (x - cx) / radius_x, dy = (y - cy) / radius_y;
    float angle = std::atan2(dy, dx);
    float limit = Radius(angle);
    float q = std::sqrt(dx * dx + dy * dy) / limit;
    if (q >= 1.0f) return {};
    float z = std::sqrt(1.0f - q * q);
    const float e = 0.5f;
    float h = Height(x, y);
    float gx = (Height(x + e, y) - h) / e, gy = (Height(x, y + e) - h) / e;
    Vec3 normal = Normalize({dx / limit - gx * bump, dy / limit - gy * bump, z + 0.15f});
    float diffuse = std::max(0.0f, Dot(normal, kLight));
    float rim = std::pow(1.0f - z, 3.0f) * std::max(0.0f, normal.x * 0.7f + normal.y * 0.7f);
    float mottle = 0.72f + 0.5f * FractalNoise(x * 0.05f + 3, y * 0.05f, 4, seed + 3);
    float cavity = 1.0f;
    for (const Crater& c : craters) {
      float cdx = x - c.x, cdy = y - c.y;
      if (cdx * cdx + cdy * cdy < c.r * c.r * 0.8f) cavity = std::min(cavity, 0.8f);
    }
    Color base = albedo * (mottle * cavity);
    Color lit = base * (0.16f + 1.05f * diffuse) + Rgb8(70, 90, 130) * (rim * 0.9f);
    return {lit, 1.0f};
  }
};

Rock MakeRock(uint32_t seed, float cx, float cy, float radius_x, float radius_y, float jagged,
              int craters, float crater_scale) {
  Rock rock;
  rock.cx = cx;
  rock.cy = cy;
  rock.radius_x = radius_x;
  rock.radius_y = radius_y;
  rock.seed = seed;
  rock.bump = 1.6f;
  Rng rng(seed);
  float offset = rng.Range(0, 50);
  rock.outline.resize(360);
  float largest = 0;
  for (int i = 0; i < 360; ++i) {
    float a = i * kPi / 180.0f;
    float c = std::cos(a), s = std::sin(a);
    float broad = FractalNoise(c * 1.3f + offset, s * 1.3f + offset, 3, seed + 11) - 0.5f;
    float fine = FractalNoise(c * 5.0f + offset, s * 5.0f + offset, 3, seed + 13) - 0.5f;
    rock.outline[i] = 1.0f + broad * 0.55f + fine * jagged;
    largest = std::max(largest, rock.outline[i]);
  }
  for (float& r : rock.outline) r /= largest;
  for (int i = 0; i < craters; ++i) {
    float a = rng.Range(0, 2 * kPi), d = std::sqrt(rng.Unit()) * 0.7f;
    Rock::Crater crater;
    crater.x = cx + std::cos(a) * d * radius_x;
    crater.y = cy + std::sin(a) * d * radius_y;
    crater.r = rng.Range(0.08f, 0.24f) * crater_scale * radius_x;
    crater.depth = rng.Range(0.9f, 1.6f);
    rock.craters.push_back(crater);
  }
  return rock;
}

}  // namespace

Image DrawAsteroid(int variant) {
  static const Color kAlbedo[3] = {Rgb8(170, 150, 128), Rgb8(150, 152, 160), Rgb8(175, 135, 105)};
  Rock rock = MakeRock(1000u + variant * 77u, 65, 65, 61.5f, 61.5f, 0.16f, 7 + variant * 2, 1.0f);
  rock.albedo = kAlbedo[variant];
  Canvas canvas = Supersample(130, 130, 3, [&](float x, float y) { return rock.Shade(x, y); });
  return Finish(canvas);
}

Image DrawChunk() {
  Rock rock = MakeRock(4242u, 14, 11, 12.5f, 9.5f, 0.3f, 2, 1.4f);
  rock.albedo = Rgb8(200, 180, 155);
  rock.bump = 0.8f;
  Canvas canvas = Supersample(28, 22, 4, [&](float x, float y) { return rock.Shade(x, y); });
  return Finish(canvas);
}

Image DrawShip() {
  // The right half of the hull; the left is its mirror image about x = 14.
  const std::vector<float> hull = {14.0f, 0.8f,  15.3f, 4.0f,  16.6f, 9.0f,  19.0f,
                                   12.2f, 26.6f, 18.2f, 26.6f, 20.6f, 20.5f, 19.6f,
                                   18.2f, 20.8f, 16.2f, 18.6f, 14.0f, 18.6f};
  std::vector<float> full;
  for (size_t i = 0; i < hull.size(); i += 2) full.insert(full.end(), {hull[i], hull[i + 1]});
  for (size_t i = hull.size() - 4; i >= 2; i -= 2) {
    full.insert(full.end(), {28.0f - hull[i], hull[i + 1]});
  }
  Canvas canvas = Supersample(28, 22, 4, [&](float x, float y) -> Sample {
    if (!InsidePolygon(full, x, y)) return {};
    float side = x - 14.0f;
    float across = std::fabs(side);
    float edge = DistanceToPolygonEdge(full, x, y);
    Color hull_color = Mix(Rgb8(225, 232, 245), Rgb8(150, 160, 185), Clamp01(y / 22.0f));
    // The lit left side reads brighter, like the rocks.
    hull_color = hull_color * (side < 0 ? 1.05f : 0.85f);
    if (across < 0.9f && y < 16) hull_color = Rgb8(250, 250, 255);
    // Wing stripes and tips.
    if (y > 13.5f && across > 8.5f && across < 10.5f) hull_color = Rgb8(235, 70, 50);
    if (across > 11.3f) hull_color = Rgb8(255, 200, 70);
    // Engine nozzles glowing at the back.
    if (y > 18.0f && across > 2.0f && across < 4.4f) hull_color = Rgb8(255, 150, 60);
    // Cockpit.
    float cdx = side / 1.8f, cdy = (y - 8.8f) / 3.4f;
    if (cdx * cdx + cdy * cdy < 1.0f) {
      hull_color = Mix(Rgb8(140, 230, 255), Rgb8(30, 90, 190), Clamp01((y - 6.0f) / 6.0f));
      if (side < -0.2f && y < 8.0f) hull_color = Rgb8(235, 250, 255);
    }
    if (edge < 0.7f) hull_color = hull_color * 0.55f;
    return {hull_color, 1.0f};
  });
  return Finish(canvas);
}

Image DrawShot(int frame) {
  Canvas canvas = Supersample(7, 16, 4, [&](float x, float y) -> Sample {
    if (frame == 0) {
      // A bolt: white-hot core inside a cyan glow.
      float cy = std::clamp(y, 3.5f, 12.5f);
      float d = std::sqrt((x - 3.5f) * (x - 3.5f) + (y - cy) * (y - cy));
      if (d > 2.9f) return {};
      float heat = 1.0f - d / 2.9f;
      Color c = Mix(Rgb8(40, 140, 255), Rgb8(150, 255, 255), SmoothStep(0.0f, 0.5f, heat));
      c = Mix(c, Rgb8(255, 255, 255), SmoothStep(0.45f, 0.8f, heat));
      c = c * (0.8f + 0.2f * Clamp01((14.0f - y) / 10.0f));
      return {c, 1.0f};
    }
    // A spark: soft round glow, white in the middle burning to orange.
    float dx = (x - 3.5f) / 3.0f, dy = (y - 8.0f) / 4.2f;
    float d = std::sqrt(dx * dx + dy * dy);
    if (d > 1.0f) return {};
    float heat = 1.0f - d;
    Color c = Mix(Rgb8(210, 70, 20), Rgb8(255, 190, 60), SmoothStep(0.0f, 0.5f, heat));
    c = Mix(c, Rgb8(255, 255, 230), SmoothStep(0.5f, 0.9f, heat));
    return {c, 1.0f};
  });
  return Finish(canvas);
}

namespace {

Color HeatColor(float t) {
  struct Stop {
    float t;
    Color c;
  };
  static const Stop kStops[] = {{0.0f, Rgb8(40, 20, 20)},     {0.18f, Rgb8(110, 20, 8)},
                                {0.38f, Rgb8(210, 60, 12)},   {0.58f, Rgb8(255, 145, 35)},
                                {0.78f, Rgb8(255, 225, 110)}, {1.0f, Rgb8(255, 255, 240)}};
  t = Clamp01(t);
  for (size_t i = 1; i < sizeof(kStops) / sizeof(kStops[0]); ++i) {
    if (t <= kStops[i].t) {
      float u = (t - kStops[i - 1].t) / (kStops[i].t - kStops[i - 1].t);
      return Mix(kStops[i - 1].c, kStops[i].c, u);
    }
  }
  return kStops[5].c;
}

}  // namespace

Image DrawExplosion(int frame) {
  static const float kRadius[6] = {13, 21, 27, 31, 33.5f, 34.5f};
  static const float kHeat[6] = {1.0f, 0.98f, 0.88f, 0.68f, 0.46f, 0.28f};
  static const float kBreakup[6] = {0.0f, 0.04f, 0.14f, 0.3f, 0.48f, 0.64f};
  const float radius = kRadius[frame], heat = kHeat[frame], breakup = kBreakup[frame];
  // Embers flung outwards, the same ones in every frame, further out as it grows.
  Rng rng(9001);
  struct Ember {
    float angle, distance, size;
  };
  std::vector<Ember> embers(26);
  for (Ember& e : embers)
    e = {rng.Range(0, 2 * kPi), rng.Range(0.55f, 1.0f), rng.Range(0.6f, 1.3f)};
  Canvas canvas = Supersample(72, 72, 3, [&](float x, float y) -> Sample {
    float dx = x - 36.0f, dy = y - 36.0f;
    float d = std::sqrt(dx * dx + dy * dy);
    float q = d / radius;
    // Noise coordinates scale with the radius so the billows grow with the blast.
    float n = FractalNoise(dx / radius * 2.6f + 40, dy / radius * 2.6f + 40, 5, 77);
    float m = FractalNoise(dx / radius * 5.0f + 9, dy / radius * 5.0f + 9, 3, 78);
    float density = (1.0f - q * q) * 1.15f + (n - 0.5f) * 1.3f + (m - 0.5f) * 0.35f;
    density -= breakup * (0.6f + (1.0f - n) * 1.2f) * (0.4f + q);
    Color c;
    float coverage = 0;
    if (density > 0) {
      float t = density * heat * (1.15f - 0.5f * q);
      c = HeatColor(t);
      // Cooling smoke keeps some grey so it does not vanish in one frame.
      c = Mix(c, Rgb8(95, 80, 75), Clamp01(breakup * 1.2f) * Clamp01(1.0f - t * 1.5f));
      // Thin edges glow less, so the cloud frays instead of ending in a hard rim.
      c = c * (0.3f + 0.7f * SmoothStep(0.0f, 0.3f + breakup * 0.4f, density));
      coverage = SmoothStep(0.0f, 0.08f, density);
    }
    // Shock ring on the early frames.
    if (frame >= 1 && frame <= 3) {
      float ring = std::fabs(q - 1.08f) * radius;
      float strength = (frame == 1 ? 0.9f : frame == 2 ? 0.6f : 0.3f) * std::exp(-ring * ring);
      if (strength > 0.08f) {
        c = c * coverage + Rgb8(255, 210, 150) * strength;
        coverage = 1.0f;
      }
    }
    if (frame >= 2) {
      for (const Ember& e : embers) {
        float distance = e.distance * radius * (1.05f + frame * 0.05f);
        float ex = 36.0f + std::cos(e.angle) * distance, ey = 36.0f + std::sin(e.angle) * distance;
        float r2 = (x - ex) * (x - ex) + (y - ey) * (y - ey);
        float size = e.size * (1.0f - 0.12f * frame);
        if (r2 < size * size) {
          c = HeatColor(0.85f - frame * 0.09f);
          coverage = 1.0f;
        }
      }
    }
    return {c, coverage};
  });
  return Finish(canvas);
}

Image DrawUfo(int frame) {
  const float cx = 29.0f, cy = 28.5f;
  Canvas canvas = Supersample(58, 57, 4, [&](float x, float y) -> Sample {
    float dx = x - cx, dy = y - cy;
    float d = std::sqrt(dx * dx + dy * dy);
    float angle = std::atan2(dy, dx);
    if (frame == 0) {
      if (d > 27.3f) return {};
      Color c;
      if (d > 23.5f) {
        // Rim band: ribbed steel with running lights.
        c = Mix(Rgb8(150, 155, 175), Rgb8(95, 100, 120), (d - 23.5f) / 3.8f);
        float rib = std::fabs(std::sin(angle * 18.0f));
        c = c * (0.85f + 0.15f * rib);
        for (int i = 0; i < 12; ++i) {
          float a = i * 2 * kPi / 12 + 0.13f;
          float lx = cx + std::cos(a) * 25.4f, ly = cy + std::sin(a) * 25.4f;
          float r = std::sqrt((x - lx) * (x - lx) + (y - ly) * (y - ly));
          if (r < 1.9f) {
            static const Color kLights[3] = {Rgb8(255, 80, 60), Rgb8(255, 225, 90),
                                             Rgb8(90, 255, 200)};
            c = Mix(kLights[i % 3], Rgb8(255, 255, 255), Clamp01(1.0f - r / 1.0f) * 0.6f);
          }
        }
      } else if (d > 17.0f) {
        // Hull plating with radial seams and one dark hatch to show the spin.
        float t = (d - 17.0f) / 6.5f;
        c = Mix(Rgb8(205, 210, 225), Rgb8(150, 158, 180), t);
        float seam = std::fabs(std::sin(angle * 4.0f));
        if (seam < 0.06f) c = c * 0.55f;
        if (std::fabs(d - 20.2f) < 0.45f) c = c * 0.7f;
        float hatch = std::fabs(angle - 0.9f);
        if (hatch < 0.22f && d > 18.5f && d < 22.0f) c = Rgb8(90, 60, 50);
      } else if (d > 15.0f) {
        c = Rgb8(60, 200, 255) * (1.0f - std::fabs(d - 16.0f) * 0.45f);
      } else {
        c = Rgb8(35, 38, 52);
      }
      return {c, 1.0f};
    }
    // Upper body: a ring of lit windows round a glass dome.
    if (d > 16.3f) return {};
    Color c;
    if (d > 10.0f) {
      c = Mix(Rgb8(170, 175, 195), Rgb8(110, 115, 140), (d - 10.0f) / 6.3f);
      for (int i = 0; i < 6; ++i) {
        float a = i * 2 * kPi / 6;
        float wx = cx + std::cos(a) * 13.2f, wy = cy + std::sin(a) * 13.2f;
        float r = std::sqrt((x - wx) * (x - wx) + (y - wy) * (y - wy));
        if (r < 1.7f) c = i == 0 ? Rgb8(255, 90, 70) : Rgb8(255, 235, 140);
      }
    } else {
      // The highlight sits off centre so that the dome visibly turns.
      float hx = x - (cx - 3.5f), hy = y - (cy - 3.5f);
      float highlight = std::exp(-(hx * hx + hy * hy) / 6.0f);
      c = Mix(Rgb8(70, 210, 190), Rgb8(20, 90, 120), d / 10.0f);
      c = Mix(c, Rgb8(240, 255, 255), highlight);
      if (d > 9.2f) c = c * 0.6f;
    }
    return {c, 1.0f};
  });
  return Finish(canvas);
}

Image DrawSpriteSheet(const std::string& font_path) {
  Image sheet(640, 361);
  Paste(sheet, DrawAsteroid(0), 1, 1);
  Paste(sheet, DrawAsteroid(1), 132, 1);
  Paste(sheet, DrawAsteroid(2), 263, 1);
  Paste(sheet, DrawShip(), 396, 1);
  Paste(sheet, DrawShot(0), 448, 1);
  Paste(sheet, DrawShot(1), 456, 1);
  Paste(sheet, DrawChunk(), 466, 1);
  static const int kExplosionCorners[6][2] = {{396, 26}, {469, 26}, {542, 26},
                                              {396, 99}, {469, 99}, {542, 99}};
  for (int i = 0; i < 6; ++i) {
    Paste(sheet, DrawExplosion(i), kExplosionCorners[i][0], kExplosionCorners[i][1]);
  }
  Paste(sheet, DrawUfo(0), 1, 134);
  Paste(sheet, DrawUfo(1), 60, 134);
  Paste(sheet, DrawTitleLettering(font_path), 0, 193);
  return sheet;
}
