#pragma once
// Everything drawn that is not an entity or the HUD: the logo splash, the backdrop,
// the scanline overlay, the level banner and the "GAME OVER" text.
// Game thread only; needs the graphics open and the resources loaded.

#include <cstdint>

// Runs the splash's own frame loop (starting the music) until the logo has faded,
// a key, mouse or joystick press skips it, or the window is closed.
void logo_splash(int32_t y_offset);
// Clears the back buffer and draws the backdrop (the dimmed snapshot when paused).
void draw_backdrop();
// With stereo off, darkens every odd row to the given grey level.
void draw_scanlines(int32_t level);
// The fading "Level Clear!" banner with bonus_text under it, at banner_alpha.
void draw_level_banner();
// The "GAME OVER" text at gameover_alpha.
void draw_game_over();
