// The real output: "Velmix" through SDL's disk audio driver, and the fall-back to
// "Null" when SDL has no output to open.

#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/velmix.h"
#include "tests/audio/ogg_maker.h"

namespace {

std::string temporary_path(const char* pattern) {
  std::string path = std::string("/tmp/") + pattern + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return path;
}

std::vector<int16_t> read_values(const std::string& path) {
  std::vector<int16_t> values;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return values;
  int16_t buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 2, 4096, file)) > 0)
    values.insert(values.end(), buffer, buffer + got);
  std::fclose(file);
  return values;
}

TEST(SdlOutput, DecodedOggToneReachesTheDiskDriverOutput) {
  const std::string output = temporary_path("vextral-disk");
  const std::string ogg = temporary_path("vextral-tone");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  ASSERT_TRUE(WriteFile(ogg, EncodeOgg(SineFrames(22050, 1, 44100, 441.0, 12000.0), 1, 44100)));

  ASSERT_EQ(SetAudioDriver("Velmix"), 1);
  auto sound = LoadSound(ogg, 0);
  ASSERT_NE(sound, nullptr);
  auto channel = PrepareSound(sound);
  SetChannelVolume(channel, 0.5f);
  SetChannelPan(channel, 1.0f);
  ResumeChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  for (int wait = 0; wait < 300 && IsChannelPlaying(channel); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ShutdownAudio();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  const std::vector<int16_t> values = read_values(output);
  std::remove(output.c_str());
  std::remove(ogg.c_str());
  ASSERT_GT(values.size(), 2u * 22050);
  // Find the loud stretch on the right side; the left is silent (pan +1).
  size_t first = 0;
  while (first < values.size() / 2 && std::abs(values[2 * first + 1]) < 1000) ++first;
  ASSERT_LT(first + 20000, values.size() / 2) << "no tone found";
  double right_energy = 0;
  double left_energy = 0;
  int32_t crossings = 0;
  const size_t start = first + 1000;
  const size_t frames = 17640;  // 0.4 s
  for (size_t i = start; i < start + frames; ++i) {
    const double right = values[2 * i + 1];
    const double left = values[2 * i];
    right_energy += right * right;
    left_energy += left * left;
    if ((values[2 * i + 1] < 0) != (values[2 * i + 3] < 0)) ++crossings;
  }
  // A 441 Hz tone at half of 12000 peak: RMS about 4243, 2 crossings per cycle.
  EXPECT_NEAR(std::sqrt(right_energy / frames), 6000.0 / std::sqrt(2.0), 400.0);
  EXPECT_LT(std::sqrt(left_energy / frames), 50.0);
  EXPECT_NEAR(crossings, 2 * 441 * 0.4, 6);
}

TEST(SdlOutput, NoOutputMeansTheNullDriverSilently) {
  setenv("SDL_AUDIODRIVER", "no-such-output", 1);
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
  EXPECT_FALSE(MixIsOpen());
  auto channel = AllocChannel();
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  ShutdownAudio();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
