// The real output: "Velmix" through SDL's disk audio driver, and the fall-back to
// "Null" when SDL has no output to open.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
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
  for (int wait = 0; wait < 1000 && IsChannelPlaying(channel); ++wait) {
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
  // On a loaded machine the output may underrun and leave gaps, so look at the tone
  // in 10 ms windows: the loud ones must carry the tone, on the right side only.
  constexpr size_t kWindow = 441;
  std::vector<double> loud_rms;
  std::vector<int32_t> loud_crossings;
  double left_peak = 0;
  for (size_t start = 0; (start + kWindow + 1) * 2 <= values.size(); start += kWindow) {
    double energy = 0;
    int32_t crossings = 0;
    for (size_t i = start; i < start + kWindow; ++i) {
      const double right = values[2 * i + 1];
      energy += right * right;
      left_peak = std::max(left_peak, std::fabs(double(values[2 * i])));
      if ((values[2 * i + 1] < 0) != (values[2 * i + 3] < 0)) ++crossings;
    }
    const double rms = std::sqrt(energy / kWindow);
    if (rms > 3000) {
      loud_rms.push_back(rms);
      loud_crossings.push_back(crossings);
    }
  }
  ASSERT_GE(loud_rms.size(), 10u) << "no tone found";
  std::sort(loud_rms.begin(), loud_rms.end());
  std::sort(loud_crossings.begin(), loud_crossings.end());
  // A 441 Hz tone at half of 12000 peak: RMS about 4243, 2 crossings per cycle.
  EXPECT_NEAR(loud_rms[loud_rms.size() / 2], 6000.0 / std::sqrt(2.0), 400.0);
  EXPECT_NEAR(loud_crossings[loud_crossings.size() / 2], 2 * 441 * kWindow / 44100.0, 1.5);
  EXPECT_LT(left_peak, 100.0);
}

struct thread_nice {
  bool found = false;
  int32_t nice = 0;
};

// The nice value of this process's first thread whose name starts with prefix.
thread_nice nice_of_thread(const char* prefix) {
  thread_nice result;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return result;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::FILE* file =
        std::fopen((std::string("/proc/self/task/") + entry->d_name + "/comm").c_str(), "r");
    if (file == nullptr) continue;
    char name[64] = {};
    const bool named = std::fgets(name, sizeof name, file) != nullptr;
    std::fclose(file);
    if (!named || std::strncmp(name, prefix, std::strlen(prefix)) != 0) continue;
    errno = 0;
    const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(std::atoi(entry->d_name)));
    if (errno != 0) continue;
    result = {true, value};
    break;
  }
  closedir(tasks);
  return result;
}

// SDL raises its own audio thread; the thread that fills the ring must not be left
// below it, or on a busy machine the output drains the ring and mutes after underrun
// after underrun.
TEST(SdlOutput, RingServiceRunsAtLeastAtTheOutputThreadsPriority) {
  const std::string output = temporary_path("vextral-disk");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  ASSERT_EQ(SetAudioDriver("Velmix"), 1);
  thread_nice ring;
  thread_nice sdl;
  for (int wait = 0; wait < 200 && !(ring.found && sdl.found); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ring = nice_of_thread(kRingServiceThreadName);
    sdl = nice_of_thread("SDLAudio");
  }
  ShutdownAudio();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  std::remove(output.c_str());
  ASSERT_TRUE(ring.found) << "no ring service thread";
  ASSERT_TRUE(sdl.found) << "no SDL audio thread";
  EXPECT_LE(ring.nice, sdl.nice);
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
