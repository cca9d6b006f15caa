#pragma once
// Watching a recorded game on screen: after the game's usual start-up (splash included),
// the recording plays back at normal speed with its sound and "REPLAY" in the corner of
// the HUD. Escape or closing the window ends it; Space pauses and resumes it. At the
// recorded game over it plays the game-over screen out and ends by itself; an abandoned
// game ends at its last recorded frame. The player's own best score is left as it was.
// Game thread only.

#include <functional>
#include <string>

#include "game/replay/format.h"

// Runs the playback (game_startup must have run), calling each_frame (when given) every
// frame after the recording's input is in. The exit status for the program: 0, or 1 (after
// one "game:" line on stderr) when the game did not play as recorded.
int watch_replay(const replay& recording, const std::function<void()>& each_frame = {});
// Draws text ("REPLAY", "REPLAY PAUSED") in the HUD's colour, right-aligned along the bottom
// edge, or on a menu just above its version line.
void draw_replay_label(const std::string& text);
