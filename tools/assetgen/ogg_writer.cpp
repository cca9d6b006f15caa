// Ogg Vorbis output and the list of sound files.

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/assetgen/sounds.h"
#include "tools/oggenc/ogg_encoder.h"

namespace {

// Stable stream serial derived from the file name, so output never depends on time.
int SerialFor(const std::string& path) {
  uint32_t hash = 2166136261u;
  for (char c : path.substr(path.find_last_of('/') + 1)) hash = (hash ^ c) * 16777619u;
  return static_cast<int>(hash & 0x7FFFFFFF);
}

// The largest magnitude of the 16-bit samples the file decodes to, as the game reads
// it (full scale 1.0); -1 when it does not decode.
float DecodedPeak(const std::vector<uint8_t>& bytes) {
  struct memory {
    const std::vector<uint8_t>* bytes;
    size_t at = 0;
  } source{&bytes};
  ov_callbacks callbacks{};
  callbacks.read_func = [](void* into, size_t size, size_t count, void* from) -> size_t {
    auto* m = static_cast<memory*>(from);
    const size_t n = std::min(size * count, m->bytes->size() - m->at);
    std::memcpy(into, m->bytes->data() + m->at, n);
    m->at += n;
    return size > 0 ? n / size : 0;
  };
  OggVorbis_File file;
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return -1;
  float peak = 0;
  char buffer[8192];
  int section = 0;
  long got;
  while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
    for (long i = 0; i + 1 < got; i += 2) {
      int16_t value;
      std::memcpy(&value, buffer + i, 2);
      peak = std::max(peak, std::fabs(value / 32768.0f));
    }
  }
  ov_clear(&file);
  return got < 0 ? -1 : peak;
}

}  // namespace

bool WriteOggVorbis(const AudioClip& clip, const std::string& path, float quality) {
  ogg_encoding encoding;
  encoding.channels = clip.channels;
  encoding.hertz = kSampleRate;
  encoding.quality = quality;
  encoding.serial = SerialFor(path);
  encoding.title = path.substr(path.find_last_of('/') + 1);
  // Lossy coding puts back peaks that mastering took off (a decibel or more on noisy
  // sounds). The file must not decode louder than the clip went in: turn the clip
  // down by the overshoot and encode again.
  const float ceiling = PeakOf(clip);
  AudioClip scaled = clip;
  std::vector<uint8_t> bytes;
  for (int attempt = 0; attempt < 4; ++attempt) {
    bytes = EncodeOggVorbis(scaled.samples.data(), scaled.frames(), encoding);
    if (bytes.empty()) return false;
    const float peak = DecodedPeak(bytes);
    if (peak < 0) return false;
    if (peak <= ceiling) break;
    for (float& v : scaled.samples) v *= ceiling / peak * 0.995f;
  }
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
