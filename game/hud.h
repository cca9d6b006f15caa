#pragma once
// The score line and the spare ships, drawn every main-loop frame. Game thread only.

// Draws "Score: ", "Best: " and "Level: " along the top, the spare ships in play and the
// notice of a failure under the score line while it is due (game/notice.h).
void draw_hud();
