// The game in a browser page (tools/web/). The page loads the program and calls main at the
// player's first click or key, so that sound may start. The program lies in Emscripten's
// file system as an installed game, so the player's files live in the player's folder,
// which is kept in the browser's storage (IndexedDB, through Emscripten's IDBFS): it is
// loaded before the game reads it and written back after every save. A page can be closed
// or reloaded between any two frames, with no exit to save at, so the settings are saved
// as soon as they change outside play, and each game's recording when the game ends.
// Called with "--replay best|last|FILE" it plays a recorded game back instead (the page
// writes a game fetched from a hall of fame into the file system first), keeping nothing.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "game/replay/files.h"
#include "game/replay/viewer.h"
#include "game/session.h"
#include "game/sounds.h"
#include "game/web/browser_page.h"

namespace {

// The best score and stereo scheme as last written into the player's folder.
int32_t saved_best = 0;
int32_t saved_stereo = 0;

// Writes the settings that changed since they were last written, or both.
void write_settings(bool both) {
  if (both || player->best_sc != saved_best) {
    saved_best = player->best_sc;
    hiscore_file(1);
  }
  if (both || stereo_mode != saved_stereo) {
    saved_stereo = stereo_mode;
    stereo_settings(2);
  }
}

// Every save into the player's folder goes between these two. When the browser's copy of
// the folder was cleared since the last save (the player cleared the site's data, or the
// browser evicted it), or an earlier save did not reach it, the settings the game holds are
// written again with this save, as a desktop game writes them at exit.
void begin_save() {
  if (vextral_begin_browser_save() != 0) write_settings(true);
}

void save_changed_settings() {
  // The best score climbs all through a game: it is saved once play stops (pause, game
  // over, the menus), not on every frame.
  if (game_state == STATE_PLAY || game_state == STATE_DESTROYED) return;
  if (player->best_sc == saved_best && stereo_mode == saved_stereo) return;
  begin_save();
  write_settings(false);
  vextral_end_browser_save();
}

void keep_game(const replay_header& header, std::vector<uint8_t> file) {
  begin_save();
  keep_finished_game(header, file);
  // A new best was saved with its game: not again once play stops.
  if (header.final_score > header.start_best) saved_best = player->best_sc;
  vextral_end_browser_save();
}

// A track asked for before it had come starts when it comes (checked every frame).
bool music_waiting = false;

void start_music_once_come() {
  if (music_waiting && vextral_music_track_ready(music_file(music_track)) != 0)
    start_music(music_track);
}

void tell_page_frame() {
  vextral_tell_page_frame(game_state, player->score, player->best_sc, stereo_mode, player->level,
                          player->rotation);
}

// Plays the recording at path (or the kept best or last game) back, once the game has
// started; the page hears each frame as in play.
int watch(const std::string& name) {
  const std::string path = replay_path_for(name);
  replay recording;
  std::string error;
  if (!replay_load(path, recording, error)) {
    std::fprintf(stderr, "game: cannot watch %s: %s\n", name.c_str(), error.c_str());
    return 2;
  }
  if (!start_game()) return 1;
  const int status = watch_replay(recording, [] {
    start_music_once_come();
    tell_page_frame();
  });
  stop_music_for_exit();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const bool watching =
      arguments.size() == 2 && arguments[0] == "--replay" && !arguments[1].empty();
  if (!arguments.empty() && !watching) {
    std::fprintf(stderr, "game: unknown arguments (the page may give --replay best|last|FILE)\n");
    return 2;
  }
  enter_program_folder();
  const settings_places places = current_settings_places();
  if (!places.home.empty()) vextral_load_browser_storage(places.home.c_str());

  vextral_start_music_downloads(data_folder.c_str());
  music_ready_hook = [](const std::string& file_name) {
    music_waiting = vextral_music_track_ready(file_name.c_str()) == 0;
    return !music_waiting;
  };
  frame_hook = start_music_once_come;  // the splash's frames
  if (watching) {
    const int status = watch(arguments[1]);
    vextral_tell_page_game_ended();
    return status;
  }
  if (!start_game()) return 1;
  saved_best = player->best_sc;
  saved_stereo = stereo_mode;

  const int status = play_session({
      .keep_game = keep_game,
      .each_frame =
          [] {
            start_music_once_come();
            save_changed_settings();
            tell_page_frame();
          },
      .exit_saves =
          [](const std::function<void()>& saves) {
            begin_save();
            saves();
            vextral_end_browser_save();
          },
  });
  vextral_tell_page_game_ended();
  return status;
}
