#include "game/ufo.h"

#include "audio/audio.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/shots.h"
#include "game/sounds.h"
#include "render/collision.h"
#include "render/image.h"
#include "render/stereo.h"
#include "support/random.h"
#include "support/truncate.h"

void ufo_tag::warp_in() {
  const int32_t side = TruncateToInt(RandomRange(4, 0));
  if (side < 2) {
    x = -20;
    angle = 90;
  } else {
    x = 660;
    angle = 270;
  }
  ufo_on = 1;
  y = static_cast<float>(RandomRange(100, 380));
  shot_on = 0;
  t_rot = TruncateToInt(RandomRange(359, 0));
  b_rot = TruncateToInt(RandomRange(359, 0));
  start_ufo_loop();
}

void ufo_tag::update() {
  x = static_cast<float>(x + SinDeg(angle) * 2);
  y = static_cast<float>(y - CosDeg(angle) * 2);

  draw3d->sip(4, 1.0f, static_cast<float>(b_rot), scale, scale);
  draw3d->i3d(ufo_img, x, y, 0, 4.0f, 0.0f, 2);
  draw3d->sip(4, 1.0f, static_cast<float>(t_rot), scale, scale);
  draw3d->i3d(ufo_img, x, y, 1, 4.0f, 0.0f, 2);

  if (angle > 180) {
    t_rot = t_rot + 4;
    b_rot = b_rot - 2;
  } else {
    t_rot = t_rot - 4;
    b_rot = b_rot + 2;
  }

  if (x < -21 || x > 661) {
    ufo_on = 0;
    StopChannel(ufo_channel);
  }

  const int32_t hw = TruncateToInt(58 * scale / 2);
  const int32_t hh = TruncateToInt(57 * scale / 2);
  // Every shot inside the box is consumed and pays again, as the walk goes on.
  shot_list.walk([&](const std::shared_ptr<pshot_tag>& shot) {
    if (!(shot->x > x - hw && shot->x < x + hw && shot->y > y - hh && shot->y < y + hh)) return;
    shot_list.remove(shot.get());
    play_sfx(snd_explode);
    ufo_on = 0;
    StopChannel(ufo_channel);
    player->score = player->score + 500 * player->level;
    parti_tag::create_em(x, y, 30, 1);
    explo_tag::create_it(x, y, scale);
  });

  if (game_state != STATE_DESTROYED && player->cloak_ctr == 0 &&
      ImagesOverlap(ship_img, TruncateToInt(player->x), TruncateToInt(player->y), 0,
                    player->rotation, 0.9f, 0.7f, ufo_img, TruncateToInt(x), TruncateToInt(y), 0,
                    0.0f, scale, scale)) {
    ufo_on = 0;
    play_sfx(snd_explode);
    parti_tag::create_em(x, y, 30, 1);
    state_ctr = 0;
    game_state = STATE_DESTROYED;
    explo_tag::create_it(x, y, scale);
    parti_tag::create_em(player->x, player->y, 25, 1);
    explo_tag::create_it(player->x, player->y, 1.0f);
    StopChannel(ufo_channel);
  }

  if (shot_on == 0) {
    shot_on = 1;
    shot_x = x;
    shot_y = y;
    shot_ang = t_rot;
  }
}

void ufo_tag::shot_update() {
  const float shot_scale = scale + 0.5f;
  shot_x = static_cast<float>(shot_x + SinDeg(shot_ang) * 8);
  shot_y = static_cast<float>(shot_y - CosDeg(shot_ang) * 8);
  draw3d->sip(4, 1.0f, static_cast<float>(shot_ang), shot_scale, shot_scale);
  draw3d->i3d(shot_img, shot_x, shot_y, 1, 4.0f, 0.0f, 2);

  if (game_state != STATE_DESTROYED && player->cloak_ctr == 0) {
    const int32_t hw = ImageWidth(ship_img) / 2;
    const int32_t hh = ImageHeight(ship_img) / 2;
    if (shot_x > player->x - hw && shot_x < player->x + hw && shot_y > player->y - hh &&
        shot_y < player->y + hh) {
      state_ctr = 0;
      shot_on = 0;
      game_state = STATE_DESTROYED;
      play_sfx(snd_explode);
      parti_tag::create_em(player->x, player->y, 25, 1);
      explo_tag::create_it(player->x, player->y, 1.0f);
    }
  }

  if (shot_x < 0 || shot_x > 640) shot_on = 0;
  if (shot_y < 0 || shot_y > 480) shot_on = 0;
}
