#pragma once
// Start-up, the fixed-rate main loop with its states, and the exit path.
// Game thread only.

#include <cstdint>
#include <functional>

// What the caller may change about start-up (the game itself passes the defaults).
struct startup_options {
  // Replaces the clock seed of the random generator when set.
  bool fixed_seed = false;
  int32_t seed = 0;
};

// Runs the whole start-up sequence: runtime set-up, the 640 x 480 display, images,
// font, sounds, saved settings, the splash, and the idle title state. Returns false
// (after one "render:" line on stderr) if the display cannot be opened.
bool game_startup(const startup_options& options = {});
// Creates the empty pause image and the images the sprite sheet is cut into, with
// their handles as the game uses them.
void create_game_images();
// Starts decoding the embedded images on a background thread, so that game_startup's loads
// (and the splash's) find them decoded once the display is open.
void prefetch_embedded_images();
// Loads the font, the embedded images, cuts the sprite sheet and loads the sounds.
void load_resources();
// One main-loop iteration: backdrop, state step, HUD, scanlines, flip, keys, suspend.
void main_loop_frame();
// Runs main_loop_frame until quit_requested (at least once).
void run_main_loop();
// Stops the music (with a pause of music_fade_millis if it was playing, so its last block
// is heard out) and saves both settings.
void game_exit(int32_t music_fade_millis = 500);
// After game_exit: keeps the window up while a notice posted on the way out (a save that
// failed) is due, so the player reads it; a key, a click or a close ends it early.
void show_exit_notice();
// The exit path without the saves, for watching a replay: nothing the player keeps changes.
void stop_music_for_exit(int32_t music_fade_millis = 500);

// The per-state steps and the handlers run after each flip.
void play_frame();
void destroyed_frame();
void game_over_frame();
void handle_global_keys();
void handle_suspend();
// Waits while the window has lost the focus, pumping the system events. A close request
// (window close, SIGTERM) during the wait sets quit_requested and ends it: true then.
bool wait_while_suspended();
// Enters the pause menu: snapshot of the back buffer, pointer centred, input cleared,
// UFO hum stopped.
void pause_game();

// Called at the start of every frame of the splash and of the main loop, before any
// drawing or input query. Empty by default; the simulator uses it to count and trace
// frames and to feed each frame's input (it may throw to stop the game between frames).
extern std::function<void()> frame_hook;
// Called after the HUD of every main-loop frame, before the scanlines and the flip. Empty
// by default; a replay draws its label there.
extern std::function<void()> overlay_hook;
