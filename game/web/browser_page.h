#pragma once
// The page's program talks to its page and to the browser through these JavaScript
// functions (browser_storage_web.js, page_web.js). Game thread only. The storage calls
// yield to the page while the browser works (their names are in the link's
// ASYNCIFY_IMPORTS).

extern "C" {

// Mounts the browser's copy of the player's folder at folder and loads it (a browser
// without IndexedDB keeps the folder in memory, and the page says so).
void vextral_load_browser_storage(const char* folder);
// Before the game writes a save into the folder: waits for other pages' saves to end and
// loads what they kept. 1 when the game should write everything it keeps (the browser's
// copy was cleared, or an earlier save was not kept), else 0.
int vextral_begin_browser_save();
// After the save: writes the folder back to the browser. A failure is said on the page.
void vextral_end_browser_save();

// Starts fetching the music tracks into folder.
void vextral_start_music_downloads(const char* folder);
// 1 once the track (a file name such as "p_track.ogg") is in the folder; a failed
// download is tried again, waiting longer after each failure, while the game asks.
int vextral_music_track_ready(const char* file_name);

// The game's state after a frame: game_state, score, best score, stereo scheme, level and
// the ship's heading in degrees.
void vextral_tell_page_frame(int state, int score, int best, int stereo, int level, double heading);
// The game has ended (Exit Game, or Escape on the title menu).
void vextral_tell_page_game_ended();
}
