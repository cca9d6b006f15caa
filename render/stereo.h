#pragma once
// The anaglyph stereo drawing helper. With stereo on, every image and text is drawn twice with
// additive blending: tinted for the left eye and shifted left, then tinted for the right eye and
// shifted right. With stereo off it draws once with the caller's state.
//
// The helper does not own the stereo mode: it is given a pointer to the game's `stereo_mode`
// integer (0 plain, anything else stereo) and reads it at every i3d and t3d call, so changing
// the game's setting takes effect on the next draw. A null pointer means plain drawing.
// Game thread only; needs a current render state.

#include <cstdint>
#include <memory>
#include <string>

class TImage;

class kvdraw_tag {
 public:
  explicit kvdraw_tag(const int32_t* stereo_mode = nullptr) : mode(stereo_mode) {}

  // Stores the left-eye and right-eye tints (not clamped here).
  int32_t slc(int32_t lr, int32_t lg, int32_t lb, int32_t rr, int32_t rg, int32_t rb);
  // SetBlend, SetAlpha, SetRotationScale; remembers the scales for centring text.
  int32_t sip(int32_t blend, float alpha, float rotation, float scale_x, float scale_y);
  // Draws frame of image at (x, y): once in plain mode; in stereo mode repeats times a left copy
  // at x - depth (rotation + rot_offset) then a right copy at x + depth (rotation - rot_offset).
  // A non-zero rot_offset leaves the rotation at its whole-degree part (truncated toward zero).
  int32_t i3d(const std::shared_ptr<TImage>& image, float x, float y, int32_t frame, float depth,
              float rot_offset, int32_t repeats);
  // Draws text at (x, y), or centred on it using the scales last given to sip; in stereo mode
  // a left copy at px - depth then a right copy at px + depth.
  int32_t t3d(const std::string& text, float x, float y, float depth, int32_t centre);

  int32_t leye_r = 0;
  int32_t leye_g = 0;
  int32_t leye_b = 0;
  int32_t reye_r = 0;
  int32_t reye_g = 0;
  int32_t reye_b = 0;
  float txt_xs = 0.0f;
  float txt_ys = 0.0f;
  // The game's stereo mode setting, read at every draw; nullptr draws plain.
  const int32_t* mode = nullptr;

 private:
  bool StereoOn() const { return mode != nullptr && *mode != 0; }
};
