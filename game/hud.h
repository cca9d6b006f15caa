#pragma once
// The score line and the spare ships, drawn every main-loop frame. Game thread only.

// Draws "Score: ", "Best: " and "Level: " along the top and the spare ships in play.
void draw_hud();
