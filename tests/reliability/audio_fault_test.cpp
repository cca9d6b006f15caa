// Audio faults the game plays through: no output device at all (the silent driver takes
// over), and an output device whose every write fails from some point on, mid-game.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <SDL.h>

#include "audio/audio.h"

namespace {

namespace fs = std::filesystem;

const std::string kSoundFile = std::string(VEXTRAL_TEST_DATA_DIR) + "/shoot.ogg";

class AudioFault : public ::testing::Test {
 protected:
  void TearDown() override {
    ShutdownAudio();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
  }
};

TEST_F(AudioFault, NoOutputDeviceLeavesTheSilentDriverAndEverySoundCallWorks) {
  setenv("SDL_AUDIODRIVER", "no-such-device", 1);
  EXPECT_EQ(SetAudioDriver("Velmix"), 0);
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
  std::shared_ptr<TSound> sound = LoadSound(kSoundFile, 0);
  std::shared_ptr<TChannel> channel = AllocChannel();
  for (int32_t i = 0; i < 50; ++i) {
    PlaySound(sound, channel);
    SetChannelVolume(channel, 0.5f);
    PlaySound(sound);
  }
  StopChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
}

TEST_F(AudioFault, AnOutputThatFailsMidGameNeitherBlocksNorBreaksTheGameThread) {
  const fs::path output = fs::path(::testing::TempDir()) / "vextral_failing_output.raw";
  fs::remove(output);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);

  // The output file may not grow past 64 KB (about 0.4 s of sound): after that every write
  // of the device fails.
  rlimit saved_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  const auto saved_signal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved_limit;
  limit.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

  if (SetAudioDriver("Velmix") != 1) {
    setrlimit(RLIMIT_FSIZE, &saved_limit);
    std::signal(SIGXFSZ, saved_signal);
    GTEST_SKIP() << "SDL has no disk audio driver here";
  }
  std::shared_ptr<TSound> sound = LoadSound(kSoundFile, 0);
  ASSERT_NE(sound, nullptr);
  std::shared_ptr<TChannel> music = AllocChannel();
  // Two seconds of a game's sound calls, one frame at a time.
  for (int32_t frame = 0; frame < 120; ++frame) {
    PlaySound(sound);
    if (frame % 30 == 0) PlaySound(sound, music);
    SetChannelVolume(music, static_cast<float>(frame % 10) / 10.0f);
    IsChannelPlaying(music);
    SDL_Delay(16);
  }
  StopChannel(music);
  ShutdownAudio();

  setrlimit(RLIMIT_FSIZE, &saved_limit);
  std::signal(SIGXFSZ, saved_signal);
  EXPECT_LE(fs::file_size(output), 64u * 1024u);
  EXPECT_GT(fs::file_size(output), 0u);
  fs::remove(output);
}

}  // namespace
