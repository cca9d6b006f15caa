#include "game/files.h"

#include <cstdio>
#include <exception>

#include "game/globals.h"
#include "game/player.h"
#include "render/stereo.h"
#include "stream/filesystem.h"
#include "stream/stream.h"

namespace {

constexpr const char* kHiscoreFile = "hiscore.dat";
constexpr const char* kStereoFile = "anaglyph3d.dat";
constexpr int32_t kRegularFile = 1;

// Reads the one integer of a settings file; false when there is no regular file to read.
bool read_setting(const std::string& path, int32_t& value) {
  if (PathType(path) != kRegularFile) return false;
  try {
    auto stream = FileOpenRead(path);
    if (!stream) return false;
    value = stream->ReadInt();
    StreamClose(stream);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Writes the one integer through a temporary file renamed over the old one, so a failed
// write never leaves a truncated setting behind.
void write_setting(const std::string& path, int32_t value) {
  const std::string temporary = path + ".tmp";
  try {
    auto stream = FileOpenWrite(temporary);
    if (!stream) {
      std::fprintf(stderr, "game: could not save %s\n", path.c_str());
      return;
    }
    stream->WriteInt(value);
    StreamClose(stream);
  } catch (const std::exception&) {
    DeleteFile(temporary);
    std::fprintf(stderr, "game: could not save %s\n", path.c_str());
    return;
  }
  if (!RenameFile(temporary, path)) {
    DeleteFile(temporary);
    std::fprintf(stderr, "game: could not save %s\n", path.c_str());
  }
}

struct eye_tints {
  int32_t left[3];
  int32_t right[3];
};

constexpr eye_tints kSchemes[] = {
    {{140, 4, 40}, {4, 100, 20}},
    {{4, 100, 20}, {140, 4, 10}},
    {{4, 80, 60}, {140, 4, 10}},
    {{4, 20, 140}, {140, 4, 20}},
};

}  // namespace

void hiscore_file(int32_t mode) {
  const std::string path = data_path(kHiscoreFile);
  if (mode == 0) {
    int32_t best = 0;
    if (!read_setting(path, best) || best < 0) best = 0;
    player->best_sc = best;
  } else {
    write_setting(path, player->best_sc);
  }
}

void stereo_settings(int32_t mode) {
  const std::string path = data_path(kStereoFile);
  if (mode == 1) {
    int32_t stored = 0;
    if (read_setting(path, stored)) stereo_mode = (stored >= 0 && stored <= 4) ? stored : 0;
  } else if (mode == 2) {
    write_setting(path, stereo_mode);
  }
  if (stereo_mode >= 1 && stereo_mode <= 4) {
    const eye_tints& tints = kSchemes[stereo_mode - 1];
    draw3d->slc(tints.left[0], tints.left[1], tints.left[2], tints.right[0], tints.right[1],
                tints.right[2]);
  }
}
