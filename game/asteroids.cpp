#include "game/asteroids.h"

#include "audio/audio.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/shots.h"
#include "game/sounds.h"
#include "game/ufo.h"
#include "render/collision.h"
#include "render/stereo.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

// What a destroyed asteroid of one size leaves behind.
struct size_row {
  float scale;
  int32_t points;
  int32_t debris;
  int32_t fragments;
  float fragment_scale;
  float fragment_speed;
};

constexpr size_row kSizes[] = {
    {1.0f, 50, 6, 2, 0.8f, 1.0f},
    {0.8f, 100, 6, 3, 0.6f, 1.5f},
    {0.6f, 150, 3, 4, 0.4f, 1.5f},
    {0.4f, 200, 3, 0, 0.0f, 0.0f},
};

// The row whose scale matches exactly, or nullptr for any other scale.
const size_row* find_size(float scale) {
  for (const auto& row : kSizes)
    if (row.scale == scale) return &row;
  return nullptr;
}

constexpr int32_t kSparksPerBreakUp = 15;

// Most headings point downward: 75..285 degrees are twice as likely as the rest.
float random_heading() {
  const int32_t pick = TruncateToInt(RandomRange(4, 0));
  if (pick < 2) return static_cast<float>(RandomRange(15, 285));
  return static_cast<float>(RandomRange(-15, -285));
}

}  // namespace

void astro_tag::create_new(int32_t at_pos, int32_t count, float x, float y, float scale,
                           float speed) {
  for (int32_t index = 0; index < count; ++index) {
    auto rock = std::make_shared<astro_tag>();
    const float spread = static_cast<float>(RandomRange(360, 0));
    const int32_t distance = TruncateToInt(RandomRange(300, 0));
    rock->scale = scale;
    rock->speed = speed;
    const int32_t pick = TruncateToInt(RandomRange(4, 0));
    rock->frame = TruncateToInt(RandomRange(3, 0));
    if (pick < 2) {
      rock->angle = static_cast<float>(RandomRange(15, 285));
    } else {
      rock->angle = static_cast<float>(RandomRange(-15, -285));
    }
    rock->rotation = TruncateToInt(RandomRange(359, 0));
    if (at_pos != 0) {
      rock->x = x;
      rock->y = y;
    } else {
      rock->x = static_cast<float>(320 + SinDeg(spread) * distance);
      rock->y = -40;
    }
    astro_list.add(std::move(rock));
  }
}

void astro_tag::reset_all() {
  astro_list.walk([](const std::shared_ptr<astro_tag>& rock) {
    rock->angle = random_heading();
    rock->y = -14;
  });
}

void astro_tag::erase_all() {
  astro_list.clear();
}

void astro_tag::update_all() {
  astro_ctr = 0;
  astro_list.walk([](const std::shared_ptr<astro_tag>& rock) { rock->update(); });
}

void astro_tag::break_up() {
  const size_row* row = find_size(scale);
  if (!row) return;
  parti_tag::create_em(x, y, row->debris, 0);
  parti_tag::create_em(x, y, kSparksPerBreakUp, 1);
  explo_tag::create_it(x, y, scale);
  if (row->fragments > 0)
    create_new(1, row->fragments, x, y, row->fragment_scale, row->fragment_speed);
}

void astro_tag::update() {
  const float px = player->x;
  const float py = player->y;
  const float prot = player->rotation;

  x = static_cast<float>(x + SinDeg(angle) * speed);
  y = static_cast<float>(y - CosDeg(angle) * speed);
  if (angle > 180) {
    rotation = rotation - 1;
  } else {
    rotation = rotation + 1;
  }
  astro_ctr = astro_ctr + 1;

  draw3d->sip(4, 1.0f, static_cast<float>(rotation), scale, scale);
  draw3d->i3d(astro_img, x, y, frame, 4.0f, 0.0f, 2);

  if (x < -40) {
    x = 680;
  } else if (x > 680) {
    x = -40;
  }
  if (y < -40) {
    y = 520;
  } else if (y > 520) {
    y = -40;
  }

  const int32_t hw = TruncateToInt(130 * scale / 2);
  const int32_t hh = TruncateToInt(130 * scale / 2);
  auto inside_box = [&](float point_x, float point_y) {
    return point_x > x - hw && point_x < x + hw && point_y > y - hh && point_y < y + hh;
  };

  // Every shot inside the box is consumed and pays, even after this asteroid is gone.
  shot_list.walk([&](const std::shared_ptr<pshot_tag>& shot) {
    if (!inside_box(shot->x, shot->y)) return;
    shot_list.remove(shot.get());
    play_sfx(snd_astrohit);
    if (const size_row* row = find_size(scale)) player->score = player->score + row->points;
    break_up();
    astro_list.remove(this);
  });

  if (ufo->shot_on != 0 && inside_box(ufo->shot_x, ufo->shot_y)) {
    ufo->shot_on = 0;
    play_sfx(snd_astrohit);
    break_up();
    astro_list.remove(this);
  }

  if (game_state != STATE_DESTROYED && player->cloak_ctr == 0 &&
      ImagesOverlap(ship_img, TruncateToInt(px), TruncateToInt(py), 0, prot, 0.9f, 0.7f, astro_img,
                    TruncateToInt(x), TruncateToInt(y), 0, static_cast<float>(rotation), scale,
                    scale)) {
    state_ctr = 0;
    play_sfx(snd_explode);
    parti_tag::create_em(px, py, 25, 1);
    explo_tag::create_it(px, py, 1.0f);
    break_up();
    game_state = STATE_DESTROYED;
    astro_list.remove(this);
  }

  if (ufo_on != 0 &&
      ImagesOverlap(astro_img, TruncateToInt(x), TruncateToInt(y), 0, static_cast<float>(rotation),
                    scale, scale, ufo_img, TruncateToInt(ufo->x), TruncateToInt(ufo->y), 0, 0.0f,
                    ufo->scale, ufo->scale)) {
    play_sfx(snd_explode);
    parti_tag::create_em(x, y, 30, 1);
    explo_tag::create_it(x, y, scale);
    break_up();
    ufo_on = 0;
    astro_list.remove(this);
    StopChannel(ufo_channel);
  }
}
