#include "game/shots.h"

#include "game/globals.h"
#include "game/player.h"
#include "render/stereo.h"
#include "support/random.h"

namespace {

// Shots and flame wrap exactly at the screen edges.
void wrap_at_edges(float& x, float& y) {
  if (x < 0) {
    x = 640;
  } else if (x > 640) {
    x = 0;
  }
  if (y < 0) {
    y = 480;
  } else if (y > 480) {
    y = 0;
  }
}

}  // namespace

void pshot_tag::create_it() {
  auto shot = std::make_shared<pshot_tag>();
  const float muzzle = player->shot_side != 0 ? player->rotation + 30.0f : player->rotation - 30.0f;
  shot->x = static_cast<float>(player->x + SinDeg(muzzle) * 10);
  shot->y = static_cast<float>(player->y - CosDeg(muzzle) * 10);
  shot->scale = 2.0f;
  shot->rotation = player->rotation;
  shot_list.add(std::move(shot));
}

void pshot_tag::update_all() {
  shot_list.walk([](const std::shared_ptr<pshot_tag>& shot) { shot->update(); });
}

void pshot_tag::erase_all() {
  shot_list.clear();
}

void pshot_tag::update() {
  x = static_cast<float>(x + SinDeg(rotation) * 6);
  y = static_cast<float>(y - CosDeg(rotation) * 6);
  draw3d->sip(4, 1.0f, rotation, scale, scale);
  draw3d->i3d(shot_img, x, y, 0, 4.0f, 0.0f, 2);
  scale = scale - 0.04f;
  if (!(scale > 0)) shot_list.remove(this);
  wrap_at_edges(x, y);
}

void tfire_tag::create_it() {
  auto flame = std::make_shared<tfire_tag>();
  const float spread = static_cast<float>(RandomRange(-5, 5));
  flame->x = static_cast<float>(player->x - SinDeg(player->rotation) * 15);
  flame->y = static_cast<float>(player->y + CosDeg(player->rotation) * 15);
  flame->scale = 1.0f;
  flame->speed = static_cast<float>(RandomRange(0.5, 2.5));
  flame->rotation = player->rotation + spread;
  flame->angle = player->rotation + 180 + spread;
  flame_list.add(std::move(flame));
}

void tfire_tag::update_all() {
  flame_list.walk([](const std::shared_ptr<tfire_tag>& flame) { flame->update(); });
}

void tfire_tag::erase_all() {
  flame_list.clear();
}

void tfire_tag::update() {
  x = static_cast<float>(x + SinDeg(angle) * speed);
  y = static_cast<float>(y - CosDeg(angle) * speed);
  draw3d->sip(4, 0.5f, rotation, scale, scale);
  draw3d->i3d(shot_img, x, y, 1, 4.0f, 0.0f, 2);
  scale = scale - 0.01f;
  if (!(scale > 0)) flame_list.remove(this);
  wrap_at_edges(x, y);
}
