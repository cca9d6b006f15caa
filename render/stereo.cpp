#include "render/stereo.h"

#include "render/font.h"
#include "render/image.h"
#include "render/render2d.h"
#include "support/truncate.h"

int32_t kvdraw_tag::slc(int32_t lr, int32_t lg, int32_t lb, int32_t rr, int32_t rg, int32_t rb) {
  leye_r = lr;
  leye_g = lg;
  leye_b = lb;
  reye_r = rr;
  reye_g = rg;
  reye_b = rb;
  return 0;
}

int32_t kvdraw_tag::sip(int32_t blend, float alpha, float rotation, float scale_x, float scale_y) {
  SetBlend(blend);
  SetAlpha(alpha);
  SetRotationScale(rotation, scale_x, scale_y);
  txt_xs = scale_x;
  txt_ys = scale_y;
  return 0;
}

int32_t kvdraw_tag::i3d(const std::shared_ptr<TImage>& image, float x, float y, int32_t frame,
                        float depth, float rot_offset, int32_t repeats) {
  // Only whole degrees survive a rotated pair: the rotation is restored to this, not to the
  // exact value the caller set.
  const int32_t base = TruncateToInt(GetRotation());
  const float base_degrees = static_cast<float>(base);
  if (StereoOn()) {
    for (int32_t pass = 0; pass < repeats; ++pass) {
      SetBlend(BLEND_LIGHT);
      SetColor(leye_r, leye_g, leye_b);
      if (rot_offset != 0.0f) SetRotation(base_degrees + rot_offset);
      DrawImage(image, x - depth, y, frame);
      SetColor(reye_r, reye_g, reye_b);
      if (rot_offset != 0.0f) SetRotation(base_degrees - rot_offset);
      DrawImage(image, x + depth, y, frame);
    }
  } else {
    DrawImage(image, x, y, frame);
  }
  if (rot_offset != 0.0f) SetRotation(base_degrees);
  return 0;
}

int32_t kvdraw_tag::t3d(const std::string& text, float x, float y, float depth, int32_t centre) {
  float px = x;
  float py = y;
  if (centre != 0) {
    px = x - static_cast<float>(TextWidth(text)) * txt_xs / 2.0f;
    py = y - static_cast<float>(TextHeight(text)) * txt_ys / 2.0f;
  }
  if (StereoOn()) {
    SetBlend(BLEND_LIGHT);
    SetColor(leye_r, leye_g, leye_b);
    DrawText(text, px - depth, py);
    SetColor(reye_r, reye_g, reye_b);
    DrawText(text, px + depth, py);
  } else {
    DrawText(text, px, py);
  }
  return 0;
}
