#pragma once
// The two kept replays, "last.replay" (the last game played) and "best.replay" (the
// highest-scoring one), in the folder the settings files are saved to. Game thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "game/replay/format.h"

// The file a replay name on the command line means: "best" and "last" are the kept
// replays (where they are read from), anything else is a path as given.
std::string replay_path_for(const std::string& name);
// Saves a finished game as the last one, and as the best one when it scores more than the
// kept best (or the kept one is missing, a link or damaged; one from a newer version of the
// game, or one that is there but cannot be read now, is kept). A new best score is saved
// with it (keep_best_score). Both are written crash-safely; a failure is said
// (report_file_failure) and the game goes on.
void keep_finished_game(const replay_header& header, const std::vector<uint8_t>& file) noexcept;
