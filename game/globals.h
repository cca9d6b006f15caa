#pragma once
// The game-wide globals: state machine, counters, settings, the one ship, UFO and
// stereo helper, the entity lists, images, sounds and the two kept channels.
// All live for the whole run and are touched only by the game thread.
// reset_game_globals() puts every one back to its start-up value, so a test or the
// simulator can start a fresh game in-process.

#include <cstdint>
#include <memory>
#include <string>

#include "game/entity_list.h"

class TImage;
class TImageFont;
class TSound;
class TChannel;
class kvdraw_tag;
class player_tag;
class ufo_tag;
class tfire_tag;
class pshot_tag;
class astro_tag;
class explo_tag;
class parti_tag;

// Values of game_state.
enum : int32_t {
  STATE_STARTUP = 0,
  STATE_PLAY = 2,
  STATE_PAUSE = 3,
  STATE_TITLE = 4,
  STATE_GAME_OVER = 5,
  STATE_DESTROYED = 6,
};

extern int32_t game_state;
extern int32_t quit_requested;
extern int32_t state_ctr;
extern float gameover_alpha;
extern int32_t stereo_mode;

extern std::shared_ptr<player_tag> player;
extern std::shared_ptr<ufo_tag> ufo;
extern std::shared_ptr<kvdraw_tag> draw3d;

extern entity_list<tfire_tag> flame_list;
extern entity_list<pshot_tag> shot_list;
extern entity_list<astro_tag> astro_list;
extern entity_list<parti_tag> parti_list;
extern entity_list<explo_tag> explo_list;

extern int32_t ufo_on;
extern int32_t ufo_tmr;
extern int32_t astro_ctr;
extern int32_t astro_num;
extern float banner_alpha;
extern std::string bonus_text;

extern int32_t music_track;
extern float music_volume;
extern float sfx_volume;
extern int32_t music_level;
extern int32_t sfx_level;
extern std::shared_ptr<TChannel> music_channel;
extern std::shared_ptr<TChannel> ufo_channel;
extern int32_t pointer_x;
extern int32_t pointer_y;

// Images (none until load_resources / start-up creates them).
extern std::shared_ptr<TImage> pause_img;
extern std::shared_ptr<TImage> title_img;
extern std::shared_ptr<TImage> ship_img;
extern std::shared_ptr<TImage> chunk_img;
extern std::shared_ptr<TImage> shot_img;
extern std::shared_ptr<TImage> astro_img;
extern std::shared_ptr<TImage> explo_img;
extern std::shared_ptr<TImage> ufo_img;
extern std::shared_ptr<TImage> title_flat_img;
extern std::shared_ptr<TImage> backdrop_img;
extern std::shared_ptr<TImage> pointer_img;
extern std::shared_ptr<TImageFont> game_font;

// Sound effects (none if a file is missing or cannot be decoded: nothing is played).
extern std::shared_ptr<TSound> snd_shoot;
extern std::shared_ptr<TSound> snd_astrohit;
extern std::shared_ptr<TSound> snd_stage;
extern std::shared_ptr<TSound> snd_bonus;
extern std::shared_ptr<TSound> snd_cloak;
extern std::shared_ptr<TSound> snd_thrust;
extern std::shared_ptr<TSound> snd_explode;
extern std::shared_ptr<TSound> snd_ufoloop;

// The folder holding the sound and music files and the two saved settings,
// relative to the working directory ("data" beside the executable by default).
extern std::string data_folder;
// data_folder joined with a file name, e.g. data_path("shoot.ogg") -> "data/shoot.ogg".
std::string data_path(const std::string& file_name);

// Puts every global back to its start-up value: state 0, empty lists, a fresh ship,
// UFO and stereo helper, default settings, no images, sounds, channels or notice. Does not
// touch the random generator or data_folder.
void reset_game_globals();
