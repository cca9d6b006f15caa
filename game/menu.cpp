#include "game/menu.h"

#include <string>
#include <vector>

#include "audio/audio.h"
#include "game/files.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/sounds.h"
#include "input/input.h"
#include "render/image.h"
#include "render/render2d.h"
#include "render/stereo.h"

std::vector<std::string> menu_items;
std::vector<std::string> stereo_names;
std::vector<std::string> track_names;
std::vector<std::string> level_names;
const std::string version_text = "Vextral 0.1.0  -  made by the Vextral project";

namespace {

constexpr int32_t kItemCount = 6;
constexpr int32_t kFirstItemRow = 230;
constexpr int32_t kItemSpacing = 30;

std::string name_at(const std::vector<std::string>& names, int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(names.size())) return "";
  return names[static_cast<size_t>(index)];
}

}  // namespace

std::string menu_label(int32_t item) {
  const bool paused = game_state == STATE_PAUSE;
  switch (item) {
    case 0:
      return paused ? "Resume Game" : name_at(menu_items, 0);
    case 1:
      return name_at(menu_items, 1) + name_at(stereo_names, stereo_mode);
    case 2:
      return name_at(menu_items, 2) + name_at(track_names, music_track - 1);
    case 3:
      return name_at(menu_items, 3) + name_at(level_names, sfx_level);
    case 4:
      return name_at(menu_items, 4) + name_at(level_names, music_level);
    case 5:
      return paused ? "Quit This Game" : name_at(menu_items, 5);
    default:
      return "";
  }
}

namespace {

void perform(int32_t item) {
  const bool paused = game_state == STATE_PAUSE;
  switch (item) {
    case 0:
      game_state = STATE_PLAY;
      if (paused) {
        if (ufo_on != 0) start_ufo_loop();
      } else {
        player_tag::reset(1);
        play_sfx(snd_stage);
      }
      break;
    case 1:
      stereo_mode = stereo_mode + 1;
      if (stereo_mode > 4) stereo_mode = 0;
      stereo_settings(0);
      break;
    case 2:
      music_track = music_track + 1;
      if (music_track > 2) music_track = 1;
      StopChannel(music_channel);
      start_music(music_track);
      break;
    case 3:
      sfx_level = sfx_level + 1;
      sfx_volume = sfx_volume + 0.1f;
      if (sfx_level > 10) {
        sfx_level = 0;
        sfx_volume = 0.0f;
      }
      play_sfx(snd_shoot);
      break;
    case 4:
      music_level = music_level + 1;
      music_volume = music_volume + 0.1f;
      if (music_level > 10) {
        music_level = 0;
        music_volume = 0.0f;
      }
      SetChannelVolume(music_channel, music_volume);
      break;
    case 5:
      if (paused) {
        game_state = STATE_TITLE;
        MoveMouse(320, 245);
      } else {
        quit_requested = 1;
      }
      break;
    default:
      break;
  }
}

}  // namespace

void build_menu_strings() {
  menu_items = {
      "Start Game", "3D Graphics: ", "Music: ", "Sound Volume: ", "Music Volume: ", "Exit Game"};
  stereo_names = {"Off", "M\\G", "R\\G", "R\\C", "R\\B"};
  track_names = {"Track B", "Track A"};
  level_names = {"Off", "10%", "20%", "30%", "40%", "50%", "60%", "70%", "80%", "90%", "Max"};
}

int32_t menu_item_at(int32_t y) {
  if (y <= kFirstItemRow) return -1;
  const int32_t item = (y - kFirstItemRow) / kItemSpacing;
  return item < kItemCount ? item : -1;
}

void joystick_pointer() {
  if (JoyAxisX(0) == -1.0f) {
    pointer_x = pointer_x - 6;
    MoveMouse(pointer_x, pointer_y);
  }
  if (JoyAxisX(0) == 1.0f) {
    pointer_x = pointer_x + 6;
    MoveMouse(pointer_x, pointer_y);
  }
  if (JoyAxisY(0) == -1.0f) {
    pointer_y = pointer_y - 6;
    MoveMouse(pointer_x, pointer_y);
  }
  if (JoyAxisY(0) == 1.0f) {
    pointer_y = pointer_y + 6;
    MoveMouse(pointer_x, pointer_y);
  }
}

void menu_frame() {
  joystick_pointer();
  pointer_x = PointerX();
  pointer_y = PointerY();

  if (stereo_mode != 0) {
    SetColor(180, 180, 180);
    draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
    draw3d->i3d(title_img, 320, 130, 0, 4.0f, 0, 2);
  } else {
    SetColor(255, 255, 255);
    draw3d->sip(1, 1.0f, 0, 1.0f, 1.0f);
    DrawImage(title_flat_img, 320, 130, 0);
  }

  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
  SetColor(200, 200, 60);
  draw3d->t3d(version_text, 320, kVersionRow, 2.0f, 1);

  // The row is read again from the pointer, as it stands after any event pumped since; a
  // value outside 0 to 5 matches no item.
  const int32_t hovered =
      pointer_y > kFirstItemRow ? (PointerY() - kFirstItemRow) / kItemSpacing : -1;
  for (int32_t item = 0; item < kItemCount; ++item) {
    const bool is_hovered = item == hovered;
    const float depth = is_hovered ? 4.0f : 2.0f;
    const float scale = is_hovered ? 1.2f : 1.0f;
    SetColor(200, 200, 100);
    draw3d->sip(3, 1.0f, 0, scale, scale);
    draw3d->t3d(menu_label(item), 320, static_cast<float>(250 + 30 * item), depth, 1);
  }

  if (MouseHits(1) || JoyButtonHits(0, 0)) {
    perform(hovered);
    ClearKeys();
    ClearMouse();
  }

  SetColor(255, 255, 255);
  draw3d->sip(1, 1.0f, 0, 1.0f, 1.0f);
  draw3d->i3d(pointer_img, static_cast<float>(pointer_x), static_cast<float>(pointer_y), 0, 4.0f, 0,
              2);
}
