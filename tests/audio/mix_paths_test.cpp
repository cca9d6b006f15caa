// The 32-bit run loop against the 64-bit per-frame loop: two mixers fed the same voices
// must produce the same values and leave every voice at the same place.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "audio/mixer.h"
#include "audio/velmix.h"

namespace {

struct voice_settings {
  mixsample* sample;
  int32_t rate;
  int16_t volume;
  int16_t pan;
  int16_t depth;
  uint32_t start_millis;
  bool auto_release;
};

sound* start_voice(mixer& core, const voice_settings& settings) {
  sound* voice = core.obtain();
  voice->sample = settings.sample;
  ++settings.sample->references;
  voice->status.store(settings.sample->loop ? 4 : 2);
  voice->auto_release.store(settings.auto_release ? 1 : 0);
  voice->rate_current.store(settings.rate);
  voice->rate_target.store(settings.rate);
  voice->volume_current.store(settings.volume);
  voice->volume_target.store(settings.volume);
  voice->pan_current.store(settings.pan);
  voice->pan_target.store(settings.pan);
  voice->depth_target.store(settings.depth);
  voice->start_millis = settings.start_millis;
  EXPECT_TRUE(core.start(voice));
  return voice;
}

std::vector<mixsample*> make_samples(std::mt19937& random) {
  std::vector<mixsample*> samples;
  const int32_t lengths[] = {1, 2, 7, 300, 5000};
  const int32_t rates[] = {8000, 22050, 44100, 48000, 96000};
  int32_t n = 0;
  for (int32_t channels : {1, 2}) {
    for (int32_t bits : {8, 16}) {
      for (int32_t loop : {0, 1}) {
        for (int32_t length : lengths) {
          std::vector<uint8_t> bytes(static_cast<size_t>(length * channels * bits / 8));
          for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
          // Full-scale extremes at the start, where loops wrap to.
          if (bits == 16 && bytes.size() >= 4) {
            bytes[0] = 0x00, bytes[1] = 0x80, bytes[2] = 0xFF, bytes[3] = 0x7F;
          }
          samples.push_back(
              MixCreateSound(length, bits, channels, rates[n++ % 5], bytes.data(), loop));
        }
      }
    }
  }
  return samples;
}

// Quiet voices sum to values that clip rarely, so a difference shows; loud ones take
// gains past what the 32-bit loop accepts, and clip.
voice_settings random_voice(std::mt19937& random, const std::vector<mixsample*>& samples,
                            uint32_t now, bool loud) {
  const auto pick = [&](int32_t n) { return static_cast<int32_t>(random() % n); };
  const int32_t rates[] = {0, 32768, 65536, 89784, 131072, 65536 * 7 + 123, 65536 * 40};
  const int16_t volumes[] = {0, 4096, 2048, 819, -4096, 16384, 32767, -32768};
  voice_settings settings{};
  settings.sample = samples[static_cast<size_t>(pick(static_cast<int32_t>(samples.size())))];
  settings.rate = pick(3) == 0 ? pick(65536 * 3) : rates[pick(7)];
  settings.volume = static_cast<int16_t>(pick(2) == 0 ? pick(100) : volumes[pick(4)] / 64);
  settings.pan = static_cast<int16_t>(pick(2) == 0 ? pick(8193) - 4096 : (pick(3) - 1) * 4096);
  if (loud) {
    settings.volume = pick(2) == 0 ? static_cast<int16_t>(pick(8192)) : volumes[pick(8)];
    if (pick(4) == 0) settings.pan = static_cast<int16_t>(pick(2) ? 32767 : -32768);
  }
  settings.depth = static_cast<int16_t>(pick(4) == 0 ? -410 : 4096);
  // Most start at once; some part-way into a block or a few blocks later.
  settings.start_millis = now - static_cast<uint32_t>(pick(3) == 0 ? pick(60) : 20);
  settings.auto_release = pick(2) == 0;
  return settings;
}

// Mixes 24 blocks of frames frames on both paths, with voices arriving and changing
// between blocks, and compares every block and every voice.
void compare_paths(std::mt19937& random, const std::vector<mixsample*>& samples, int32_t frames,
                   bool loud) {
  mixer vector(2 * frames);
  mixer scalar(2 * frames);
  scalar.set_path(mix_path::scalar);
  std::vector<sound*> vector_voices, scalar_voices;
  std::vector<int16_t> vector_out(static_cast<size_t>(2 * frames));
  std::vector<int16_t> scalar_out(vector_out.size());
  uint32_t now = 1000;
  int64_t values = 0, clipped = 0;
  for (int32_t block = 0; block < 24; ++block) {
    SCOPED_TRACE(block);
    // Enough voices that the 32-bit sums are flushed part-way through a block.
    const int32_t arrivals = block == 0 && !loud ? 200 : static_cast<int32_t>(random() % 8);
    for (int32_t i = 0; i < arrivals; ++i) {
      const voice_settings settings = random_voice(random, samples, now, loud);
      vector_voices.push_back(start_voice(vector, settings));
      scalar_voices.push_back(start_voice(scalar, settings));
    }
    // Changes on voices still held: ramps of volume and rate, silence, pauses.
    for (size_t i = 0; i < vector_voices.size(); ++i) {
      if (random() % 10 != 0 || vector_voices[i]->sample == nullptr) continue;
      auto volume = static_cast<int16_t>(random() % (loud ? 6000 : 300));
      if (random() % 4 == 0) volume = 0;
      const auto rate = static_cast<int32_t>(random() % 140000);
      const int32_t paused = random() % 4 == 0 ? 16 : 0;
      for (sound* voice : {vector_voices[i], scalar_voices[i]}) {
        voice->set_volume(volume);
        if (volume % 2) voice->set_rate(rate);
        const int32_t status = voice->status.load();
        if (status > 1) voice->status.store((status & ~16) | paused);
      }
    }
    vector.mix(vector_out.data(), now);
    scalar.mix(scalar_out.data(), now);
    ASSERT_EQ(vector_out, scalar_out);
    for (int16_t value : scalar_out) clipped += value == 32767 || value == -32768;
    values += static_cast<int64_t>(scalar_out.size());
    for (size_t i = 0; i < vector_voices.size(); ++i) {
      ASSERT_EQ(vector_voices[i]->position, scalar_voices[i]->position) << "voice " << i;
      ASSERT_EQ(vector_voices[i]->played.load(), scalar_voices[i]->played.load());
      ASSERT_EQ(vector_voices[i]->status.load(), scalar_voices[i]->status.load());
    }
    now += static_cast<uint32_t>(frames * 1000 / kMixHertz + 1);
  }
  if (!loud) {
    EXPECT_LT(clipped * 100, values) << "too loud to show a difference";
  }
  vector.release_all();
  scalar.release_all();
}

TEST(MixPaths, RunLoopMatchesTheReferenceValueForValue) {
  std::mt19937 random(19);
  const std::vector<mixsample*> samples = make_samples(random);
  // Odd frame counts, one frame, and blocks longer than one run of the 32-bit loop.
  for (int32_t frames : {1, 37, 511, 512, 1025, 2049}) {
    for (bool loud : {false, true}) {
      SCOPED_TRACE(testing::Message() << frames << " frames, " << (loud ? "loud" : "quiet"));
      compare_paths(random, samples, frames, loud);
    }
  }
  for (mixsample* sample : samples) MixFreeSound(sample);
}

}  // namespace
