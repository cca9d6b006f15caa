#pragma once
// The page's on-screen controls (tools/web/touch.js) reach the game as a pad: a virtual
// joystick on SDL's joystick list, which the input layer reads like any other pad, on port
// 0 while the controls are played (a pad of the system has it otherwise). So a game played
// by touch polls, and records, exactly what a game played with a pad does. Called by the
// page's JavaScript between the game's frames.

extern "C" {

// Sets the pad's whole state: stick_x -1 (left), 0 or 1 (right); stick_y -1 (up, which
// thrusts), 0 or 1; buttons a mask with bit b for button b (0 fires, 1 cloaks, 2 pauses).
// The pad is attached at the first call that can attach it. Returns 1 when the pad holds
// the state, 0 while the game's input has not started (call again later), -1 when SDL
// refuses the pad (said on standard error).
int vextral_touch_pad_set(int stick_x, int stick_y, int buttons);
// Whether the controls are played (1: their pad takes port 0, now or once attached) or a
// key or a pad of the system is (0, the default).
void vextral_touch_pad_play(int played_by_touch);
}
