#pragma once
// The title menu (game_state 4) and its pause variant (game_state 3), driven by the
// pointer and mouse button 1 or joystick button 0. Game thread only.

// Builds the menu's label arrays; called once at start-up.
void build_menu_strings();
// Moves the pointer 6 pixels per frame per axis at full joystick deflection.
void joystick_pointer();
// One menu frame: title, items, hover, click action, pointer.
void menu_frame();
