#include "game/screens.h"

#include "game/globals.h"
#include "game/image_prefetch.h"
#include "game/keys.h"
#include "game/main_loop.h"
#include "game/sounds.h"
#include "game/stereo_backdrop.h"
#include "input/event.h"
#include "input/input.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/render2d.h"
#include "render/stereo.h"
#include "resources/resources.h"

void logo_splash(int32_t y_offset) {
  float alpha = 1.0f;
  float scale = 0.1f;
  float depth = -4.0f;
  auto logo_img = load_prefetched_image(kLogoUrl);
  CentreImageHandle(logo_img);
  const float centre_x = static_cast<float>(GraphicsWidth() / 2);
  const float centre_y = static_cast<float>(GraphicsHeight() / 2 + y_offset);
  start_music(music_track);

  do {
    if (frame_hook) frame_hook();
    draw_backdrop();
    SetColor(255, 255, 255);
    if (stereo_mode != 0) {
      draw3d->sip(4, alpha, 0, scale, scale);
      draw3d->i3d(logo_img, centre_x, centre_y, 0, depth, 0, 2);
      scale = scale + 0.004f;
      depth = depth + 0.05f;
      if (scale > 1.1f) alpha = alpha - 0.01f;
    } else {
      draw3d->sip(3, alpha, 0, 1.0f, 1.0f);
      draw3d->i3d(logo_img, centre_x, centre_y, 0, 0, 2.0f, 2);
      if (scale <= 1.0f) {
        scale = scale + 0.004f;
      } else {
        alpha = alpha - 0.01f;
      }
    }
    draw_scanlines(5);
    if (alpha < 0) alpha = 0;
    Flip(-1);
    if (wait_while_suspended() || CloseRequested()) {
      quit_requested = 1;
      break;
    }
    if (KeyHits(kKeyEscape) || KeyHits(kKeySpace) || MouseHits(1) || JoyButtonHits(0, 0)) break;
  } while (alpha > 0);

  SetColor(255, 255, 255);
  draw3d->sip(1, 1.0f, 0, 1.0f, 1.0f);
  ClearKeys();
  ClearMouse();
}

void draw_backdrop() {
  Cls();
  if (game_state == STATE_PAUSE) {
    SetColor(50, 50, 50);
    SetBlend(1);
    DrawImage(pause_img, 0, 0, 0);
    return;
  }
  SetColor(255, 255, 255);
  if (stereo_mode != 0) {
    draw_stereo_backdrop(*draw3d, backdrop_img);
  } else {
    draw3d->sip(1, 1.0f, 0, 1.0f, 1.0f);
    DrawImage(backdrop_img, 0, 0, 0);
  }
}

void draw_scanlines(int32_t level) {
  if (stereo_mode != 0) return;
  SetColor(level, level, level);
  SetScale(1.0f, 1.0f);
  SetBlend(2);
  for (int32_t y = 1; y <= GraphicsHeight(); y += 2)
    DrawLine(0, static_cast<float>(y), static_cast<float>(GraphicsWidth()), static_cast<float>(y),
             1);
  SetBlend(1);
  SetColor(255, 255, 255);
}

void draw_level_banner() {
  SetColor(200, 200, 60);
  draw3d->sip(3, banner_alpha, 0, 2.0f, 2.0f);
  draw3d->t3d("Level Clear!", 320, 195, 6.0f, 1);
  draw3d->sip(3, banner_alpha, 0, 3.0f, 3.0f);
  draw3d->t3d(bonus_text, 320, 270, 6.0f, 1);
}

void draw_game_over() {
  SetColor(200, 200, 60);
  draw3d->sip(3, gameover_alpha, 0, 3.0f, 3.0f);
  draw3d->t3d("GAME OVER", 320, 225, 6.0f, 1);
}
