// Ogg Vorbis output and the list of sound files.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/assetgen/sounds.h"
#include "tools/oggenc/ogg_encoder.h"

namespace {

// Stable stream serial derived from the file name, so output never depends on time.
int SerialFor(const std::string& path) {
  uint32_t hash = 2166136261u;
  for (char c : path.substr(path.find_last_of('/') + 1)) hash = (hash ^ c) * 16777619u;
  return static_cast<int>(hash & 0x7FFFFFFF);
}

}  // namespace

bool WriteOggVorbis(const AudioClip& clip, const std::string& path, float quality) {
  ogg_encoding encoding;
  encoding.channels = clip.channels;
  encoding.hertz = kSampleRate;
  encoding.quality = quality;
  encoding.serial = SerialFor(path);
  encoding.title = path.substr(path.find_last_of('/') + 1);
  const std::vector<uint8_t> bytes = EncodeOggVorbis(clip.samples.data(), clip.frames(), encoding);
  if (bytes.empty()) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

void Normalize(AudioClip& clip, float peak) {
  float largest = 0;
  for (float v : clip.samples) largest = std::max(largest, std::fabs(v));
  if (largest <= 0) return;
  float scale = peak / largest;
  for (float& v : clip.samples) v *= scale;
}

const std::vector<SoundAsset>& AllSounds() {
  static const std::vector<SoundAsset> sounds = {
      {"shoot.ogg", 0.4f, MakeShoot},     {"astrohit.ogg", 0.4f, MakeAstroHit},
      {"stage.ogg", 0.4f, MakeStage},     {"bonus.ogg", 0.4f, MakeBonus},
      {"cloak.ogg", 0.4f, MakeCloak},     {"thrust.ogg", 0.4f, MakeThrust},
      {"explode.ogg", 0.4f, MakeExplode}, {"ufoloop.ogg", 0.4f, MakeUfoLoop},
      {"t_track.ogg", 0.3f, MakeTrackB},  {"p_track.ogg", 0.3f, MakeTrackA},
  };
  return sounds;
}
