#pragma once
// The title menu (game_state 4) and its pause variant (game_state 3), driven by the
// pointer and mouse button 1 or joystick button 0. Six items, one every 30 pixels from
// y 250; pointer rows 231 to 259 hover item 0, each further 30 rows the next item.
// Game thread only.

#include <cstdint>
#include <string>
#include <vector>

// The label arrays, filled by build_menu_strings (empty before).
extern std::vector<std::string> menu_items;    // "Start Game" ... "Exit Game"
extern std::vector<std::string> stereo_names;  // indexed by stereo_mode
extern std::vector<std::string> track_names;   // indexed by music_track - 1
extern std::vector<std::string> level_names;   // indexed by a volume step 0 to 10
// The version and credit line drawn under the menu, centred on this row.
extern const std::string version_text;
constexpr int32_t kVersionRow = 460;

// Builds the label arrays; called once at start-up.
void build_menu_strings();
// The item (0 to 5) that pointer row y hovers, or -1 for none.
int32_t menu_item_at(int32_t y);
// Item's label as the current menu (title or pause) shows it; empty outside 0 to 5.
std::string menu_label(int32_t item);
// Moves the pointer 6 pixels per frame per axis at full joystick deflection.
void joystick_pointer();
// One menu frame: title graphic, version line, items, click action, pointer.
void menu_frame();
