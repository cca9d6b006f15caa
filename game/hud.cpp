#include "game/hud.h"

#include <string>

#include "game/globals.h"
#include "game/notice.h"
#include "game/player.h"
#include "render/font.h"
#include "render/render2d.h"
#include "render/stereo.h"

namespace {

// Values below 10 are shown with two digits ("Score: 07").
std::string two_digit_label(const std::string& label, int32_t value) {
  if (value >= 10) return label + std::to_string(value);
  return label + "0" + std::to_string(value);
}

}  // namespace

void draw_hud() {
  const std::string score_text = two_digit_label("Score: ", player->score);
  SetColor(200, 200, 60);
  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
  draw3d->t3d(score_text, 4.0f, 0.0f, 2.0f, 0);

  const std::string best_text = two_digit_label("Best: ", player->best_sc);
  SetColor(200, 200, 60);
  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
  draw3d->t3d(best_text, static_cast<float>(320 - TextWidth(best_text) / 2), 0.0f, 2.0f, 0);

  const std::string level_text = two_digit_label("Level: ", player->level);
  SetColor(200, 200, 60);
  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
  draw3d->t3d(level_text, static_cast<float>(636 - TextWidth(level_text)), 0.0f, 2.0f, 0);

  if (game_state == STATE_PLAY && player->lives > 1) {
    draw3d->sip(4, 1.0f, 0, 0.8f, 0.8f);
    for (int32_t index = 1; index <= player->lives - 1; ++index)
      draw3d->i3d(ship_img, static_cast<float>(14 + 22 * (index - 1)), 470.0f, 0, 2.0f, 0, 1);
  }
  draw_notice();
  draw3d->sip(4, 1.0f, 0, 1.0f, 1.0f);
}
