#pragma once
// The hall's HTML page: the table, a download link for each recording, what the hall
// checks and what it does not, and a form to send a game. Works without JavaScript. With
// page_served, it also leads to the game's browser page under /play/, which plays the
// table's games and sends the player's own.

#include <string>
#include <vector>

#include "hall/store.h"

std::string hall_page(const std::vector<game_record>& table, int32_t max_frames,
                      size_t max_upload_bytes, bool page_served = false);
