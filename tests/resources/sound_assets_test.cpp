// The generated sounds decode with the game's own Ogg loader to the expected rate,
// channels and length, start and stop without clicks, and loop without a seam.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/sample.h"

namespace {

const std::string kDataDir = std::string(VEXTRAL_ASSET_DIR) + "/data/";

// Decoded 16-bit samples as floats, one vector per channel.
struct Decoded {
  int channels = 0;
  int hertz = 0;
  std::vector<std::vector<float>> channel;
  size_t frames() const { return channel.empty() ? 0 : channel[0].size(); }
};

Decoded Decode(const std::string& file) {
  Decoded decoded;
  auto sample = LoadAudioSample(kDataDir + file);
  if (!sample) return decoded;
  decoded.channels = SampleChannels(sample->format);
  decoded.hertz = sample->hertz;
  decoded.channel.resize(decoded.channels);
  const int16_t* values = reinterpret_cast<const int16_t*>(sample->samples);
  for (int32_t i = 0; i < sample->length; ++i) {
    for (int c = 0; c < decoded.channels; ++c) {
      decoded.channel[c].push_back(values[i * decoded.channels + c] / 32768.0f);
    }
  }
  return decoded;
}

// The step between neighbouring samples that 99 % of steps stay below.
double TypicalLargeStep(const std::vector<float>& v) {
  std::vector<float> steps;
  for (size_t i = 1; i < v.size(); ++i) steps.push_back(std::fabs(v[i] - v[i - 1]));
  std::sort(steps.begin(), steps.end());
  return steps[steps.size() * 99 / 100];
}

struct Expected {
  const char* file;
  int channels;
  double min_seconds, max_seconds;
};

const Expected kEffects[] = {
    {"shoot.ogg", 1, 0.1, 0.5},   {"astrohit.ogg", 1, 0.2, 1.0}, {"stage.ogg", 2, 0.8, 2.5},
    {"bonus.ogg", 2, 0.5, 2.0},   {"cloak.ogg", 2, 0.5, 2.0},    {"thrust.ogg", 1, 0.4, 2.0},
    {"explode.ogg", 2, 1.0, 3.0}, {"ufoloop.ogg", 1, 0.5, 2.0},
};

TEST(SoundFiles, DecodeAt44100HzWithTheExpectedChannelsAndLength) {
  for (const Expected& e : kEffects) {
    Decoded d = Decode(e.file);
    ASSERT_GT(d.channels, 0) << e.file << " did not decode";
    EXPECT_EQ(d.hertz, 44100) << e.file;
    EXPECT_EQ(d.channels, e.channels) << e.file;
    double seconds = static_cast<double>(d.frames()) / d.hertz;
    EXPECT_GE(seconds, e.min_seconds) << e.file;
    EXPECT_LE(seconds, e.max_seconds) << e.file;
  }
}

TEST(SoundFiles, EffectsStartAndEndQuietly) {
  for (const Expected& e : kEffects) {
    if (std::string(e.file) == "ufoloop.ogg") continue;  // loops instead
    Decoded d = Decode(e.file);
    ASSERT_GT(d.frames(), 0u) << e.file;
    for (const auto& v : d.channel) {
      EXPECT_LT(std::fabs(v.front()), 0.03) << e.file;
      EXPECT_LT(std::fabs(v.back()), 0.03) << e.file;
    }
  }
}

TEST(SoundFiles, EffectsAreAudible) {
  for (const Expected& e : kEffects) {
    Decoded d = Decode(e.file);
    float peak = 0;
    for (const auto& v : d.channel) {
      for (float s : v) peak = std::max(peak, std::fabs(s));
    }
    EXPECT_GT(peak, 0.4f) << e.file;
    EXPECT_LT(peak, 1.0f) << e.file << " may clip";
  }
}

// A repeating sound joins its end to its start: the step across the join must look
// like any other step of the signal, not a click.
void ExpectSeamlessLoop(const std::string& file) {
  Decoded d = Decode(file);
  ASSERT_GT(d.frames(), 1000u) << file;
  for (const auto& v : d.channel) {
    double join = std::fabs(v.front() - v.back());
    EXPECT_LT(join, 2 * TypicalLargeStep(v)) << file;
  }
}

TEST(SoundFiles, UfoHumLoopsWithoutAJump) {
  Decoded d = Decode("ufoloop.ogg");
  EXPECT_EQ(d.frames(), 44100u) << "one second of whole cycles";
  ExpectSeamlessLoop("ufoloop.ogg");
}

TEST(MusicTracks, AreLongStereoAndLoopSeamlessly) {
  for (const char* file : {"p_track.ogg", "t_track.ogg"}) {
    Decoded d = Decode(file);
    ASSERT_EQ(d.channels, 2) << file;
    EXPECT_EQ(d.hertz, 44100) << file;
    EXPECT_GE(d.frames(), 60u * 44100u) << file;
    ExpectSeamlessLoop(file);
  }
}

TEST(MusicTracks, AreClearlyDifferent) {
  Decoded a = Decode("p_track.ogg"), b = Decode("t_track.ogg");
  ASSERT_EQ(a.channels, 2);
  ASSERT_EQ(b.channels, 2);
  EXPECT_NE(a.frames(), b.frames());
  // Over the first twenty seconds the two share nothing: their difference carries
  // about as much energy as the two together.
  double difference = 0, energy = 0;
  for (size_t i = 0; i < 20u * 44100u; ++i) {
    double x = a.channel[0][i], y = b.channel[0][i];
    difference += (x - y) * (x - y);
    energy += x * x + y * y;
  }
  EXPECT_GT(difference, 0.7 * energy);
}

}  // namespace
