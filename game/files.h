#pragma once
// The two settings kept between runs, each one little-endian 32-bit integer with no
// header, in data_folder: the best score ("hiscore.dat") and the stereo scheme
// ("anaglyph3d.dat"). Read at start-up, written at exit. Game thread only, outside the
// frame loop.
//
// Saving never damages a good file: the value goes to a temporary file in the same
// folder, is flushed to disk and renamed over the old one (then the folder is flushed).
// A missing folder is created; a save that fails leaves the old file as it was and
// prints one "game:" line on stderr, and the game goes on.

#include <cstdint>
#include <string>

// mode 0 loads player->best_sc (0 when the file is missing, unreadable or negative);
// any other mode saves it.
void hiscore_file(int32_t mode);
// mode 1 loads stereo_mode (kept when there is no regular file; a value outside 0 to 4
// loads as 0), 2 saves it, anything else does no file work; then modes 1 to 4 apply
// their eye tints to draw3d (mode 0 leaves the tints as they are).
void stereo_settings(int32_t mode);

// The one integer of a settings file; false (value untouched) when there is no regular
// file there or it cannot be opened. A file shorter than 4 bytes reads its missing high
// bytes as 0.
bool read_setting_file(const std::string& path, int32_t& value);
// Writes value as the file's whole content, crash-safely as described above, creating
// the folder if needed. False (one "game:" line on stderr) when it could not be saved.
bool write_setting_file(const std::string& path, int32_t value);
