#include "game/main_loop.h"

#include <cstdio>

#include "audio/audio.h"
#include "game/asteroids.h"
#include "game/effects.h"
#include "game/files.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/image_prefetch.h"
#include "game/keys.h"
#include "game/menu.h"
#include "game/notice.h"
#include "game/player.h"
#include "game/screens.h"
#include "game/shots.h"
#include "game/sounds.h"
#include "game/ufo.h"
#include "input/event.h"
#include "input/input.h"
#include "render/collision.h"
#include "render/default_driver.h"
#include "render/font.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/render2d.h"
#include "render/stereo.h"
#include "resources/resources.h"
#include "support/random.h"
#include "support/truncate.h"

std::function<void()> frame_hook;
std::function<void()> overlay_hook;

namespace {

constexpr int32_t kPauseButton = 2;
constexpr int32_t kJoystickPort = 0;
constexpr int32_t kFontSize = 22;
constexpr int32_t kFontSmooth = 4;
// Black pixels of the game's images are transparent.
constexpr int32_t kMaskRed = 0, kMaskGreen = 0, kMaskBlue = 0;

// Where each frame of the cut images lies in the sprite sheet (top-left corners).
struct grab_spot {
  std::shared_ptr<TImage>* image;
  int32_t frame;
  int32_t x;
  int32_t y;
};

void back_to_title() {
  game_state = STATE_TITLE;
  MoveMouse(320, 245);
  ClearKeys();
  ClearMouse();
}

void resume_game() {
  game_state = STATE_PLAY;
  ClearMouse();
  ClearKeys();
  if (ufo_on != 0) start_ufo_loop();
}

// The UFO's schedule and its shot, shared by play and the ship-destroyed interval.
void run_ufo() {
  if (ufo_on == 0) {
    ufo_tmr = ufo_tmr - 1;
    if (ufo_tmr <= 0) {
      ufo->warp_in();
      ufo_tmr = TruncateToInt(RandomRange(100, 1000));
    }
  } else {
    ufo->update();
  }
  if (ufo->shot_on != 0) ufo->shot_update();
}

void update_entity_lists() {
  tfire_tag::update_all();
  pshot_tag::update_all();
  astro_tag::update_all();
  explo_tag::update_all();
  parti_tag::update_all();
}

void run_frame_hook() {
  if (frame_hook) frame_hook();
}

}  // namespace

void create_game_images() {
  SetAutoCentreHandle(false);
  pause_img = CreateImage(640, 480, 1);
  SetAutoCentreHandle(true);
  title_img = CreateImage(416, 154, 1);
  ship_img = CreateImage(28, 22, 1);
  chunk_img = CreateImage(28, 22, 1);
  shot_img = CreateImage(7, 16, 2);
  astro_img = CreateImage(130, 130, 3);
  explo_img = CreateImage(72, 72, 6);
  ufo_img = CreateImage(58, 57, 2);
  SetAutoCentreHandle(false);
}

void prefetch_embedded_images() {
  prefetch_images({kSpriteSheetUrl, kBackdropUrl, kLogoUrl, kTitleFlatUrl, kPointerUrl}, kMaskRed,
                  kMaskGreen, kMaskBlue);
}

void load_resources() {
  game_font = LoadImageFont(kFontUrl, kFontSize, kFontSmooth);
  SetImageFont(game_font);

  title_flat_img = load_prefetched_image(kTitleFlatUrl);
  backdrop_img = load_prefetched_image(kBackdropUrl);
  pointer_img = load_prefetched_image(kPointerUrl);

  // The sheet is drawn into the back buffer once and its frames grabbed from there.
  auto sheet = load_prefetched_image(kSpriteSheetUrl);
  Cls();
  DrawImage(sheet, 0, 0, 0);
  const grab_spot spots[] = {
      {&title_img, 0, 0, 193},  {&ship_img, 0, 396, 1},   {&chunk_img, 0, 466, 1},
      {&shot_img, 0, 448, 1},   {&shot_img, 1, 456, 1},   {&astro_img, 0, 1, 1},
      {&astro_img, 1, 132, 1},  {&astro_img, 2, 263, 1},  {&explo_img, 0, 396, 26},
      {&explo_img, 1, 469, 26}, {&explo_img, 2, 542, 26}, {&explo_img, 3, 396, 99},
      {&explo_img, 4, 469, 99}, {&explo_img, 5, 542, 99}, {&ufo_img, 0, 1, 134},
      {&ufo_img, 1, 60, 134},
  };
  for (const auto& spot : spots) GrabImage(*spot.image, spot.x, spot.y, spot.frame);

  CentreImageHandle(title_flat_img);
  load_sounds();
}

bool game_startup(const startup_options& options) {
  SetAppTitle("Vextral");
  InstallDefaultGraphicsDriver();
  if (!OpenGraphics(640, 480, 32, 60, GFX_BACK_BUFFER)) {
    const std::string& reason = GraphicsFailure();
    report_stopping_failure("render", "could not open a 640 x 480 display" +
                                          (reason.empty() ? "" : " (" + reason + ")") +
                                          "; the game cannot start");
    return false;
  }
  SetMaskColor(kMaskRed, kMaskGreen, kMaskBlue);

  ufo = std::make_shared<ufo_tag>();
  draw3d = std::make_shared<kvdraw_tag>(&stereo_mode);
  player = std::make_shared<player_tag>();
  erase_all_entities();

  create_game_images();

  build_menu_strings();

  music_channel = AllocChannel();
  ufo_channel = AllocChannel();

  JoystickCount();
  HidePointer();

  SeedRandom(options.fixed_seed ? options.seed : ClockMillis());

  load_resources();
  stereo_settings(1);
  hiscore_file(0);
  logo_splash(-25);

  player_tag::reset(1);
  game_state = STATE_TITLE;
  MoveMouse(320, 245);
  return true;
}

namespace {

// The best score follows the score; the first beat in a game plays the bonus sound.
void follow_best_score() {
  if (player->score > player->best_sc) {
    if (player->new_bs == 0) {
      player->new_bs = 1;
      play_sfx(snd_bonus);
    }
    player->best_sc = player->score;
  }
}

}  // namespace

void play_frame() {
  player->update();
  player->get_inputs();
  update_entity_lists();
  run_ufo();

  if (banner_alpha > 0) {
    draw_level_banner();
    banner_alpha = banner_alpha - 0.004f;
    if (!(banner_alpha > 0)) banner_alpha = 0;
  }

  if (astro_ctr <= 0) {
    play_sfx(snd_stage);
    astro_num = astro_num + 1;
    ufo->scale = ufo->scale - 0.2f;
    if (astro_num > 5) astro_num = 5;
    if (ufo->scale < 0.2f) ufo->scale = 0.2f;
    const int32_t bonus = player->level * 1500;
    bonus_text = "Bonus: " + std::to_string(bonus);
    player->score = player->score + bonus;
    astro_tag::create_new(0, astro_num, 0.0f, 0.0f, 1.0f, 0.4f);
    player->level = player->level + 1;
    banner_alpha = 1.0f;
  }

  follow_best_score();
}

void destroyed_frame() {
  state_ctr = state_ctr + 1;
  update_entity_lists();
  run_ufo();

  if (state_ctr > 250) {
    game_state = STATE_PLAY;
    player_tag::reset(0);
    player->lives = player->lives - 1;
    if (player->lives < 1) {
      if (ufo_on != 0) {
        ufo_on = 0;
        StopChannel(ufo_channel);
      }
      // Shots still flying after the last loss can score; count them before the game ends.
      follow_best_score();
      gameover_alpha = 1.0f;
      state_ctr = 0;
      game_state = STATE_GAME_OVER;
      return;
    }
    astro_tag::reset_all();
    play_sfx(snd_stage);
    ClearKeys();
    ClearMouse();
  }
}

void game_over_frame() {
  if (state_ctr < 200) {
    state_ctr = state_ctr + 1;
  } else {
    gameover_alpha = gameover_alpha - 0.01f;
  }
  draw_game_over();
  if (!(gameover_alpha > 0)) back_to_title();
}

void pause_game() {
  game_state = STATE_PAUSE;
  GrabImage(pause_img, 0, 0, 0);
  MoveMouse(320, 245);
  ClearKeys();
  ClearMouse();
  if (ufo_on != 0) StopChannel(ufo_channel);
}

void handle_global_keys() {
  if (KeyHits(kKeyEscape)) {
    if (game_state == STATE_TITLE) {
      quit_requested = 1;
    } else if (game_state == STATE_PAUSE) {
      back_to_title();
    } else if (game_state == STATE_PLAY) {
      pause_game();
    }
  }

  // The joystick is asked only when Space was not hit.
  if (KeyHits(kKeySpace) || JoyButtonHits(kPauseButton, kJoystickPort)) {
    if (game_state == STATE_PLAY) {
      pause_game();
    } else if (game_state == STATE_PAUSE) {
      resume_game();
    }
  }

  if (CloseRequested()) quit_requested = 1;
}

bool wait_while_suspended() {
  // Each query pumps the system events; nothing is drawn meanwhile.
  while (IsSuspended()) {
    if (CloseRequested()) {
      quit_requested = 1;
      return true;
    }
    WaitForEvents();
  }
  return false;
}

void handle_suspend() {
  // A game already on its way out does not wait for the focus.
  if (quit_requested != 0 || !IsSuspended()) return;
  const bool music_was_playing = IsChannelPlaying(music_channel) != 0;
  if (music_was_playing) PauseChannel(music_channel);
  StopChannel(ufo_channel);
  if (wait_while_suspended()) return;
  if (music_was_playing) ResumeChannel(music_channel);
  // The hum belongs to a UFO in flight: not on the menus, where it is only remembered.
  const bool in_flight = game_state == STATE_PLAY || game_state == STATE_DESTROYED;
  if (ufo_on != 0 && in_flight) start_ufo_loop();
}

void main_loop_frame() {
  run_frame_hook();
  draw_backdrop();
  ClearCollisionLayers(0);
  switch (game_state) {
    case STATE_PLAY:
      play_frame();
      break;
    case STATE_PAUSE:
    case STATE_TITLE:
      menu_frame();
      break;
    case STATE_GAME_OVER:
      game_over_frame();
      break;
    case STATE_DESTROYED:
      destroyed_frame();
      break;
    default:
      break;
  }
  draw_hud();
  if (overlay_hook) overlay_hook();
  draw_scanlines(5);
  Flip(-1);
  handle_global_keys();
  handle_suspend();
}

void run_main_loop() {
  do {
    main_loop_frame();
  } while (quit_requested == 0);
}

void stop_music_for_exit(int32_t music_fade_millis) {
  if (IsChannelPlaying(music_channel)) {
    StopChannel(music_channel);
    SleepMillis(music_fade_millis);
  }
}

void game_exit(int32_t music_fade_millis) {
  stop_music_for_exit(music_fade_millis);
  stereo_settings(2);
  hiscore_file(1);
}

void show_exit_notice() {
  // Read by the player, or skipped with a key, a click or the close button.
  while (!notice_text().empty()) {
    run_frame_hook();
    draw_backdrop();
    draw_notice();
    draw_scanlines(5);
    Flip(-1);
    if (KeyHits(kKeyEscape) || KeyHits(kKeySpace) || MouseHits(1) || CloseRequested()) break;
  }
  clear_notice();
}
