#pragma once
// The voices every mixer in the comparison plays: two looping one-second sounds (22050 Hz
// mono and 44100 Hz stereo) and, per voice, which sound, its rate, pan and volume.

#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kBlockFrames = 512;
constexpr int32_t kVoiceCounts[] = {1, 8, 32, 64};

struct test_sound {
  int32_t hertz;
  int32_t channels;
  std::vector<int16_t> values;  // interleaved, one second
};

inline test_sound make_sound(int32_t hertz, int32_t channels, double frequency) {
  test_sound sound{hertz, channels, {}};
  sound.values.resize(static_cast<size_t>(hertz * channels));
  for (int32_t i = 0; i < hertz; ++i) {
    const double t = static_cast<double>(i) / hertz;
    for (int32_t c = 0; c < channels; ++c) {
      const double tone = std::sin(2.0 * M_PI * frequency * (c + 1) * t);
      sound.values[static_cast<size_t>(i * channels + c)] = static_cast<int16_t>(12000.0 * tone);
    }
  }
  return sound;
}

inline std::vector<test_sound> make_sounds() {
  return {make_sound(22050, 1, 440.0), make_sound(44100, 2, 330.0)};
}

struct voice_setup {
  int32_t sound;  // index into make_sounds()
  float rate;     // 1 or 1.37
  float pan;      // -1..1
  float volume;   // 0..1
};

inline voice_setup voice(int32_t i) {
  return {i % 2, (i / 2) % 2 ? 1.37f : 1.0f, static_cast<float>(i % 5) * 0.5f - 1.0f,
          0.2f + 0.1f * static_cast<float>(i % 7)};
}

}  // namespace bench
