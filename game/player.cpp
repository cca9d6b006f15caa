#include "game/player.h"

#include "audio/audio.h"
#include "game/asteroids.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/keys.h"
#include "game/shots.h"
#include "game/sounds.h"
#include "game/ufo.h"
#include "input/input.h"
#include "render/stereo.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

constexpr int32_t kJoystickPort = 0;

}  // namespace

void erase_all_entities() {
  tfire_tag::erase_all();
  pshot_tag::erase_all();
  astro_tag::erase_all();
  explo_tag::erase_all();
  parti_tag::erase_all();
}

void player_tag::reset(int32_t full) {
  player_tag& ship = *player;
  if (full != 0) {
    astro_num = 1;
    banner_alpha = 0.0f;
    ufo_on = 0;
    StopChannel(ufo_channel);
    // What the last game left here is never read before it is set again; clearing it makes
    // a game's whole state follow from its start, so that its recording replays to it.
    state_ctr = 0;
    gameover_alpha = 0.0f;
    *ufo = ufo_tag();
    ufo->scale = 1.0f;
    ship.score = 0;
    ship.level = 1;
    ship.lives = 3;
    ufo->shot_on = 0;
    ship.new_bs = 0;
    ufo_tmr = TruncateToInt(RandomRange(100, 1000));
    erase_all_entities();
    astro_tag::create_new(0, 1, 0.0f, 0.0f, 1.0f, 0.4f);
  }
  ship.cloak_ctr = 0;
  ship.shot_tmr = 0;
  ship.direction = 0.0f;
  ship.rotation = 0.0f;
  ship.speed = 0.0f;
  ship.thrust_on = 0;
  ship.x = 320.0f;
  ship.y = 220.0f;
}

void player_tag::update() {
  if (speed > 0) {
    speed = speed - 0.002f;
    x = static_cast<float>(x + SinDeg(direction) * speed);
    y = static_cast<float>(y - CosDeg(direction) * speed);
  }

  if (cloak_ctr != 0) {
    if (cloak_ctr == 1) play_sfx(snd_cloak);
    draw3d->sip(4, 0.4f, rotation, 1.0f, 1.0f);
  } else {
    draw3d->sip(4, 1.0f, rotation, 1.0f, 1.0f);
  }
  draw3d->i3d(ship_img, x, y, 0, 4.0f, 0.0f, 2);

  if (x < -20) {
    x = 660;
  } else if (x > 660) {
    x = -20;
  }
  if (y < -20) {
    y = 500;
  } else if (y > 500) {
    y = -20;
  }
}

void player_tag::get_inputs() {
  if (KeyIsDown(kKeyLeft) || JoyAxisX(kJoystickPort) == -1.0f) rotation = rotation - 4.0f;
  if (KeyIsDown(kKeyRight) || JoyAxisX(kJoystickPort) == 1.0f) rotation = rotation + 4.0f;

  if (KeyIsDown(kKeyUp) || JoyAxisY(kJoystickPort) == -1.0f) {
    if (thrust_on == 0) {
      play_sfx(snd_thrust);
      thrust_on = 1;
    }
    // The angles are compared as accumulated, not reduced modulo 360.
    if (speed > 0.2f && direction > rotation + 45) {
      speed = speed - 0.01f;
    } else if (speed > 0.2f && direction < rotation - 45) {
      speed = speed - 0.01f;
    } else {
      speed = speed + 0.02f;
      direction = rotation;
    }
    tfire_tag::create_it();
  } else {
    thrust_on = 0;
  }

  if (shot_tmr != 0) {
    shot_tmr = shot_tmr - 1;
  } else if (KeyHits(kKeyLeftControl) || JoyButtonHits(0, kJoystickPort)) {
    pshot_tag::create_it();
    play_sfx(snd_shoot);
    shot_tmr = 10;
    shot_side = shot_side + 1;
    if (shot_side > 1) shot_side = 0;
  }

  if (cloak_ctr != 0) {
    cloak_ctr = cloak_ctr - 1;
  } else if (KeyHits(kKeyLeftAlt) || JoyButtonHits(1, kJoystickPort)) {
    cloak_ctr = 200;
    play_sfx(snd_cloak);
  }
}
