// The generated sounds decode with the game's own Ogg loader to the expected rate,
// channels and length, start and stop without clicks, loop without a seam, and leave
// the mix headroom.

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

float Peak(const Decoded& d) {
  float peak = 0;
  for (const auto& v : d.channel) {
    for (float s : v) peak = std::max(peak, std::fabs(s));
  }
  return peak;
}

double Rms(const Decoded& d) {
  double sum = 0;
  size_t count = 0;
  for (const auto& v : d.channel) {
    for (float s : v) sum += static_cast<double>(s) * s;
    count += v.size();
  }
  return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

double Dbfs(double level) {
  return 20 * std::log10(level);
}

// The mixer adds every playing sound at its own level (at the default volumes, 1) and
// clamps the sum, so the files themselves carry the headroom: music at a moderate
// loudness, effects clearly above it, and the sounds that meet in play summing below
// full scale even at their peaks.
TEST(SoundLevels, MusicPlaysAtAModerateLoudnessAndEffectsStandOut) {
  double loudest_music = -1000;
  for (const char* file : {"p_track.ogg", "t_track.ogg"}) {
    const double rms = Dbfs(Rms(Decode(file)));
    EXPECT_GT(rms, -22.0) << file;
    EXPECT_LT(rms, -18.0) << file;
    loudest_music = std::max(loudest_music, rms);
  }
  for (const Expected& e : kEffects) {
    const double peak = Dbfs(Peak(Decode(e.file)));
    EXPECT_GT(peak, loudest_music + 4.0) << e.file << " is lost under the music";
  }
}

TEST(SoundLevels, SoundsThatMeetInPlaySumBelowFullScale) {
  const float music = std::max(Peak(Decode("p_track.ogg")), Peak(Decode("t_track.ogg")));
  const float hum = Peak(Decode("ufoloop.ogg"));
  std::vector<float> effects;
  for (const Expected& e : kEffects) {
    if (std::string(e.file) != "ufoloop.ogg") effects.push_back(Peak(Decode(e.file)));
  }
  std::sort(effects.rbegin(), effects.rend());
  // A UFO on screen over the music while the two loudest effects play.
  EXPECT_LT(music + hum + effects[0] + effects[1], 1.0f);
  // One shot can break several asteroids in a frame: three hits start together and add
  // up exactly, over the music and the next shot.
  EXPECT_LT(music + 3 * Peak(Decode("astrohit.ogg")) + Peak(Decode("shoot.ogg")), 1.0f);
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
