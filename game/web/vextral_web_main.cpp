// The game in a browser page (tools/web/). The page loads the program and calls main at the
// player's first click or key, so that sound may start. The program lies in Emscripten's
// file system as an installed game, so the player's files live in the player's folder,
// which is kept in the browser's storage (IndexedDB, through Emscripten's IDBFS): it is
// loaded before the game reads it and written back after every save. A page can be closed
// or reloaded between any two frames, with no exit to save at, so the settings are saved
// as soon as they change outside play, and each game's recording when the game ends.

#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "game/replay/files.h"
#include "game/replay/recorder.h"
#include "game/sounds.h"
#include "stream/filesystem.h"
#include "stream/program_folder.h"

namespace {

// The JavaScript below is left as written.
// clang-format off

// Mounts the browser's storage at folder and loads what it keeps there (the game waits,
// yielding to the page). The page finds the folder as Module.vextralSaves.folder. Without
// IndexedDB the folder stays in memory: the game plays, and its saves last until the page
// closes.
EM_ASYNC_JS(void, load_browser_storage, (const char* folder_name), {
  const folder = UTF8ToString(folder_name);
  FS.mkdirTree(folder);
  const saves = { folder: folder, syncing: false, kept: 0, mount: null, pulled: false };
  Module.vextralSaves = saves;
  let storage = null;
  try {
    storage = indexedDB;
  } catch (error) {
    storage = null;
  }
  if (!storage) {
    err('game: this browser keeps no files for the page (no IndexedDB): the best score, the ' +
        'settings and the recorded games last only until the page is closed');
    return;
  }
  // Emscripten's fsync writes the whole folder to the browser, half-made files and all, and
  // never ends when the browser aborts the write (its storage full): fsync does nothing
  // here, and each save is written back whole, once it is done.
  const type = Object.assign({}, IDBFS, { syncfs: (mount, populate, done) => done(null) });
  saves.mount = FS.mount(type, {}, folder).mount;
  // One load from (populate) or write to the browser; resolves with the error, or null.
  // IDBFS hears of a failed request but not of a write the browser aborts, which the
  // database hears of.
  saves.sync = (populate) => new Promise((done) => {
    const database = IDBFS.dbs[folder];
    let ended = false;
    const end = (error) => {
      if (ended) return;
      ended = true;
      if (database) database.removeEventListener('abort', aborted);
      done(error || null);
    };
    const aborted = (event) => end(event.target.error || new Error('the browser aborted it'));
    if (database) database.addEventListener('abort', aborted);
    try {
      IDBFS.syncfs(saves.mount, populate, end);
    } catch (error) {
      end(error);
    }
  });
  const error = await saves.sync(true);
  if (error) err('game: the saved files could not be read from the browser: ' + error);
  if (Module.onSavesChanged) Module.onSavesChanged();
});

// Every page of the game shares the browser's copy of the folder, and each page holds its
// own copy of it in memory, read when it started. A save first loads what the other pages
// have kept since, one page at a time (Web Locks, where the browser has them), so that the
// save keeps the higher best score and the better game as on a desktop, and writing the
// folder back takes away nothing another page kept.
EM_ASYNC_JS(void, begin_browser_save, (), {
  const saves = Module.vextralSaves;
  if (!saves || !saves.mount) return;
  saves.syncing = true;
  if (navigator.locks) {
    await new Promise((held) => navigator.locks.request('vextral saves ' + saves.folder,
      () => new Promise((release) => {
        saves.release = release;
        held();
      })));
  }
  const error = await saves.sync(true);
  saves.pulled = !error;
  // Writing the folder back now would take away what this page could not load.
  if (error) err('game: the saved files could not be read from the browser, so this save is ' +
                 'not kept in it: ' + error);
});

// Writes the folder back to the browser after a save that began with begin_browser_save.
// Module.vextralSaves.kept counts the writes done, and Module.onSavesChanged, when the page
// sets it, hears of each save.
EM_ASYNC_JS(void, end_browser_save, (), {
  const saves = Module.vextralSaves;
  if (saves && saves.pulled) {
    saves.pulled = false;
    const error = await saves.sync(false);
    if (error) err('game: the saved files could not be kept in the browser: ' + error);
    else saves.kept++;
  }
  if (saves && saves.release) {
    saves.release();
    saves.release = null;
  }
  if (saves) saves.syncing = false;
  if (Module.onSavesChanged) Module.onSavesChanged();
});

// The music tracks are most of the sounds' bytes and the splash needs neither, so they are
// not in vextral.data: they are fetched from the page's music/ folder once the game has
// started, into data_folder where the desktop game finds them. A track that cannot be
// fetched stays silent, as a missing file does on the desktop.
EM_JS(void, start_music_downloads, (const char* folder_name), {
  const folder = UTF8ToString(folder_name);
  Module.vextralMusic = {};
  for (const name of ['p_track.ogg', 't_track.ogg']) {
    fetch('music/' + name)
      .then((response) => {
        if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
        return response.arrayBuffer();
      })
      .then((bytes) => FS.writeFile(folder + '/' + name, new Uint8Array(bytes)))
      .catch((error) => err('game: the music ' + name + ' could not be fetched: ' + error))
      .finally(() => { Module.vextralMusic[name] = true; });
  }
});

// True once the track's download has ended, fetched or not.
EM_JS(int, music_download_ended, (const char* file_name), {
  return Module.vextralMusic && Module.vextralMusic[UTF8ToString(file_name)] ? 1 : 0;
});

// The page hears that the game has ended (Exit Game, or Escape on the title menu).
EM_JS(void, tell_page_game_ended, (), {
  if (Module.onGameEnded) Module.onGameEnded();
});

// What the page shows beside the game, and what its tests wait for: the screen the game
// is on (game_state), the score, the best score, the stereo scheme, the level and the
// ship's heading in degrees.
EM_JS(void, tell_page_frame, (int state, int score, int best, int stereo, int level, double heading), {
  Module.vextralGame = { state: state, score: score, best: best, stereo: stereo, level: level,
                         heading: heading };
});

// clang-format on

// The starting best score and stereo scheme, as last saved.
int32_t saved_best = 0;
int32_t saved_stereo = 0;

void save_changed_settings() {
  // The best score climbs all through a game: it is saved once play stops (pause, game
  // over, the menus), not on every frame.
  if (game_state == STATE_PLAY || game_state == STATE_DESTROYED) return;
  const bool best_changed = player->best_sc != saved_best;
  const bool stereo_changed = stereo_mode != saved_stereo;
  if (!best_changed && !stereo_changed) return;
  begin_browser_save();
  if (best_changed) {
    saved_best = player->best_sc;
    hiscore_file(1);
  }
  if (stereo_changed) {
    saved_stereo = stereo_mode;
    stereo_settings(2);
  }
  end_browser_save();
}

void keep_game(const replay_header& header, std::vector<uint8_t> file) {
  begin_browser_save();
  keep_finished_game(header, file);
  end_browser_save();
}

// A track asked for before it had come starts when it comes (checked every frame).
bool music_waiting = false;

void start_music_once_come() {
  if (music_waiting && music_download_ended(music_file(music_track)) != 0) start_music(music_track);
}

}  // namespace

int main() {
  ChangeDirectory(ProgramFolder());
  const settings_places places = current_settings_places();
  if (!places.home.empty()) load_browser_storage(places.home.c_str());

  start_music_downloads(data_folder.c_str());
  music_ready_hook = [](const std::string& file_name) {
    music_waiting = music_download_ended(file_name.c_str()) == 0;
    return !music_waiting;
  };
  frame_hook = start_music_once_come;  // the splash's frames
  prefetch_sounds();
  prefetch_embedded_images();
  if (!game_startup()) return 1;
  saved_best = player->best_sc;
  saved_stereo = stereo_mode;

  replay_recorder recorder(keep_game);
  recorder.attach();
  frame_hook = [&recorder] {
    start_music_once_come();
    recorder.on_frame_start();
    save_changed_settings();
    tell_page_frame(game_state, player->score, player->best_sc, stereo_mode, player->level,
                    player->rotation);
  };
  run_main_loop();
  recorder.on_exit();
  frame_hook = nullptr;
  begin_browser_save();
  game_exit();
  end_browser_save();
  tell_page_game_ended();
  return 0;
}
