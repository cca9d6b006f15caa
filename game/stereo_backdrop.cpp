#include "game/stereo_backdrop.h"

#include <array>
#include <cstdint>

#include "render/graphics.h"
#include "render/image.h"
#include "render/render2d.h"
#include "render/stereo.h"

namespace {

// What the composed picture was drawn from; any difference draws it again.
struct composition_key {
  std::array<int32_t, 6> tints{};
  std::array<int32_t, 3> clear_colour{};
  int32_t graphics_seq = 0;
  int32_t width = 0;
  int32_t height = 0;

  bool operator==(const composition_key&) const = default;
};

struct composed_backdrop {
  std::shared_ptr<TImage> image;
  // Weak: a backdrop freed and another loaded at the same address must not match.
  std::weak_ptr<TImage> source;
  composition_key key;
};

composed_backdrop& composed() {
  static composed_backdrop picture;
  return picture;
}

composition_key current_key(const kvdraw_tag& draw) {
  composition_key key;
  key.tints = {draw.leye_r, draw.leye_g, draw.leye_b, draw.reye_r, draw.reye_g, draw.reye_b};
  GetClsColor(key.clear_colour[0], key.clear_colour[1], key.clear_colour[2]);
  key.graphics_seq = GraphicsSeq();
  key.width = GraphicsWidth();
  key.height = GraphicsHeight();
  return key;
}

// The composed picture covers the whole screen at the origin, so it only stands in for the
// pairs when nothing moves or clips the drawing.
bool whole_screen_drawing() {
  int32_t x = 0, y = 0, width = 0, height = 0;
  GetViewport(x, y, width, height);
  float origin_x = 0.0f, origin_y = 0.0f;
  GetOrigin(origin_x, origin_y);
  return x == 0 && y == 0 && width == GraphicsWidth() && height == GraphicsHeight() &&
         origin_x == 0.0f && origin_y == 0.0f && width > 0 && height > 0;
}

void draw_pairs(kvdraw_tag& draw, const std::shared_ptr<TImage>& backdrop) {
  draw.sip(BLEND_LIGHT, 1.0f, 0, 1.0f, 1.0f);
  draw.i3d(backdrop, 0, 0, 0, -6.0f, 0, 2);
}

}  // namespace

void draw_stereo_backdrop(kvdraw_tag& draw, const std::shared_ptr<TImage>& backdrop) {
  composed_backdrop& picture = composed();
  if (!backdrop || !whole_screen_drawing()) {
    draw_pairs(draw, backdrop);
    return;
  }
  const composition_key key = current_key(draw);
  if (picture.image && picture.key == key && picture.source.lock() == backdrop) {
    // An unfiltered, unmasked copy at one texel per pixel reproduces the sum exactly.
    draw.sip(BLEND_SOLID, 1.0f, 0, 1.0f, 1.0f);
    DrawImage(picture.image, 0, 0, 0);
    SetBlend(BLEND_LIGHT);
    SetColor(draw.reye_r, draw.reye_g, draw.reye_b);
    return;
  }
  draw_pairs(draw, backdrop);
  picture.image = CreateImage(key.width, key.height, 1, 0);
  if (!picture.image) return;
  SetImageHandle(picture.image, 0, 0);
  GrabImage(picture.image, 0, 0, 0);
  picture.source = backdrop;
  picture.key = key;
}

void forget_stereo_backdrop() {
  composed() = composed_backdrop{};
}
