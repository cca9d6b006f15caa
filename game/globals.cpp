#include "game/globals.h"

#include "game/asteroids.h"
#include "game/effects.h"
#include "game/notice.h"
#include "game/player.h"
#include "game/shots.h"
#include "game/stereo_backdrop.h"
#include "game/ufo.h"
#include "render/stereo.h"

int32_t game_state = STATE_STARTUP;
int32_t quit_requested = 0;
int32_t state_ctr = 0;
float gameover_alpha = 0.0f;
int32_t stereo_mode = 0;

std::shared_ptr<player_tag> player = std::make_shared<player_tag>();
std::shared_ptr<ufo_tag> ufo = std::make_shared<ufo_tag>();
std::shared_ptr<kvdraw_tag> draw3d = std::make_shared<kvdraw_tag>(&stereo_mode);

entity_list<tfire_tag> flame_list;
entity_list<pshot_tag> shot_list;
entity_list<astro_tag> astro_list;
entity_list<parti_tag> parti_list;
entity_list<explo_tag> explo_list;

int32_t ufo_on = 0;
int32_t ufo_tmr = 0;
int32_t astro_ctr = 0;
int32_t astro_num = 0;
float banner_alpha = 0.0f;
std::string bonus_text;

int32_t music_track = 2;
float music_volume = 1.0f;
float sfx_volume = 1.0f;
int32_t music_level = 10;
int32_t sfx_level = 10;
std::shared_ptr<TChannel> music_channel;
std::shared_ptr<TChannel> ufo_channel;
int32_t pointer_x = 0;
int32_t pointer_y = 0;

std::shared_ptr<TImage> pause_img;
std::shared_ptr<TImage> title_img;
std::shared_ptr<TImage> ship_img;
std::shared_ptr<TImage> chunk_img;
std::shared_ptr<TImage> shot_img;
std::shared_ptr<TImage> astro_img;
std::shared_ptr<TImage> explo_img;
std::shared_ptr<TImage> ufo_img;
std::shared_ptr<TImage> title_flat_img;
std::shared_ptr<TImage> backdrop_img;
std::shared_ptr<TImage> pointer_img;
std::shared_ptr<TImageFont> game_font;

std::shared_ptr<TSound> snd_shoot;
std::shared_ptr<TSound> snd_astrohit;
std::shared_ptr<TSound> snd_stage;
std::shared_ptr<TSound> snd_bonus;
std::shared_ptr<TSound> snd_cloak;
std::shared_ptr<TSound> snd_thrust;
std::shared_ptr<TSound> snd_explode;
std::shared_ptr<TSound> snd_ufoloop;

std::string data_folder = "data";

std::string data_path(const std::string& file_name) {
  if (data_folder.empty()) return file_name;
  if (data_folder.back() == '/') return data_folder + file_name;
  return data_folder + "/" + file_name;
}

void reset_game_globals() {
  game_state = STATE_STARTUP;
  quit_requested = 0;
  state_ctr = 0;
  gameover_alpha = 0.0f;
  stereo_mode = 0;

  flame_list.clear();
  shot_list.clear();
  astro_list.clear();
  parti_list.clear();
  explo_list.clear();

  player = std::make_shared<player_tag>();
  ufo = std::make_shared<ufo_tag>();
  draw3d = std::make_shared<kvdraw_tag>(&stereo_mode);

  ufo_on = 0;
  ufo_tmr = 0;
  astro_ctr = 0;
  astro_num = 0;
  banner_alpha = 0.0f;
  bonus_text.clear();

  music_track = 2;
  music_volume = 1.0f;
  sfx_volume = 1.0f;
  music_level = 10;
  sfx_level = 10;
  music_channel.reset();
  ufo_channel.reset();
  pointer_x = 0;
  pointer_y = 0;

  for (auto* image : {&pause_img, &title_img, &ship_img, &chunk_img, &shot_img, &astro_img,
                      &explo_img, &ufo_img, &title_flat_img, &backdrop_img, &pointer_img})
    image->reset();
  game_font.reset();
  forget_stereo_backdrop();
  clear_notice();
  for (auto* sound : {&snd_shoot, &snd_astrohit, &snd_stage, &snd_bonus, &snd_cloak, &snd_thrust,
                      &snd_explode, &snd_ufoloop})
    sound->reset();
}
