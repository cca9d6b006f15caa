#pragma once
// What the player's system offers for messages beyond the game's own screen. One
// implementation file per system (system_message_posix.cpp, system_message_windows.cpp).

#include <string>

// Shows text in a message box titled title where the player has no terminal to read
// standard error in (Windows' games have no console), and waits until it is dismissed;
// elsewhere does nothing.
void show_stopping_message(const std::string& title, const std::string& text);
// A path as the player's system writes it in a message: made absolute (the game's own
// folders are relative to the program's), with "\" between names on Windows (the game
// joins names with "/" inside).
std::string shown_path(const std::string& path);
