#pragma once
// The two settings kept between runs, each one little-endian 32-bit integer in
// data_folder: the best score ("hiscore.dat") and the stereo scheme ("anaglyph3d.dat").
// Game thread only, outside the frame loop.

#include <cstdint>

// mode 0 loads player->best_sc (0 when the file is missing); any other mode saves it.
void hiscore_file(int32_t mode);
// mode 1 loads stereo_mode, 2 saves it, anything else does no file work; then the
// scheme's eye tints are applied to draw3d (mode 0 leaves the tints as they are).
void stereo_settings(int32_t mode);
