#include "game/effects.h"

#include "game/globals.h"
#include "render/stereo.h"
#include "support/random.h"

void explo_tag::create_it(float x, float y, float scale) {
  auto explosion = std::make_shared<explo_tag>();
  explosion->x = x;
  explosion->y = y;
  explosion->scale = scale;
  explosion->rotation = static_cast<float>(RandomRange(359, 0));
  explo_list.add(std::move(explosion));
}

void explo_tag::update_all() {
  explo_list.walk([](const std::shared_ptr<explo_tag>& explosion) { explosion->update(); });
}

void explo_tag::erase_all() {
  explo_list.clear();
}

void explo_tag::update() {
  rotation = rotation + 1.0f;
  draw3d->sip(4, 1.0f, rotation, scale, scale);
  draw3d->i3d(explo_img, x, y, frame + fr_ctr, 4.0f, 0.0f, 2);
  fr_tmr = fr_tmr + 1;
  scale = scale + 0.04f;
  if (fr_tmr >= 10) {
    fr_tmr = 0;
    fr_ctr = fr_ctr + 1;
    if (fr_ctr > 5) explo_list.remove(this);
  }
}

void parti_tag::create_em(float x, float y, int32_t count, int32_t typ) {
  for (int32_t index = 0; index < count; ++index) {
    auto particle = std::make_shared<parti_tag>();
    particle->x = x;
    particle->y = y;
    particle->typ = typ;
    particle->roffs = 4.0f;
    particle->alpha = 1.0f;
    particle->angle = static_cast<float>(RandomRange(359, 0));
    particle->rotation = static_cast<float>(RandomRange(359, 0));
    particle->speed = static_cast<float>(RandomRange(0.5, 3.5));
    particle->scale = typ != 0 ? 0.5f : 0.2f;
    parti_list.add(std::move(particle));
  }
}

void parti_tag::update_all() {
  parti_list.walk([](const std::shared_ptr<parti_tag>& particle) { particle->update(); });
}

void parti_tag::erase_all() {
  parti_list.clear();
}

void parti_tag::update() {
  x = static_cast<float>(x + SinDeg(angle) * speed);
  y = static_cast<float>(y - CosDeg(angle) * speed);
  draw3d->sip(4, alpha, rotation, scale, scale);
  if (typ != 0) {
    rotation = rotation + 60;
    draw3d->i3d(shot_img, x, y, 1, roffs, 2.0f, 2);
  } else {
    rotation = rotation + 6;
    draw3d->i3d(chunk_img, x, y, 0, roffs, 0.0f, 2);
  }
  scale = scale + 0.02f;
  alpha = alpha - 0.01f;
  roffs = roffs + 0.2f;
  if (!(alpha > 0)) parti_list.remove(this);
}
