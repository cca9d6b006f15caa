// The game thread starting, changing and stopping thousands of sounds while the
// service thread mixes: meant to run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/velmix.h"
#include "tests/audio/stepped_hardware.h"

namespace {

std::shared_ptr<TSound> tone(int32_t frames, int32_t flags, int16_t value) {
  auto sample = TAudioSample::Create(frames, 22050, kFormatMono16LE);
  auto* values = reinterpret_cast<int16_t*>(sample->samples);
  for (int32_t i = 0; i < frames; ++i) values[i] = static_cast<int16_t>((i % 50) * value / 50);
  return LoadSound(sample, flags);
}

TEST(VelmixThreads, GameThreadPlaysAndStopsWhileTheMixerRuns) {
  last_stepped_device() = {};
  last_stepped_device().service_thread = true;
  SetVelmixDeviceFactory(MakeSteppedDevice);
  ASSERT_EQ(SetAudioDriver("Velmix"), 1);
  // Every service pass finds one more block played.
  last_stepped_device().hardware->step_per_query = kRingBlockValues * 2;

  auto music = AllocChannel();
  auto hum = AllocChannel();
  std::vector<std::shared_ptr<TChannel>> kept;
  std::shared_ptr<TSound> effect = tone(700, 0, 3000);
  const auto loop = tone(2000, kSoundLoop, 2000);
  int32_t playing_seen = 0;
  for (int32_t i = 0; i < 6000; ++i) {
    if (i % 500 == 0) effect = tone(300 + i / 10, 0, 4000);  // the old one is freed in use
    auto channel = PrepareSound(effect);
    SetChannelVolume(channel, 0.1f * static_cast<float>(i % 11));
    SetChannelPan(channel, (i % 3) - 1.0f);
    SetChannelRate(channel, 0.5f + (i % 4) * 0.5f);
    ResumeChannel(channel);
    if (i % 7 == 0) kept.push_back(channel);
    if (i % 13 == 0 && !kept.empty()) {
      StopChannel(kept.front());
      kept.erase(kept.begin());
    }
    if (i % 97 == 0) {
      StopChannel(music);
      music = PrepareSound(loop);
      SetChannelVolume(music, 0.7f);
      ResumeChannel(music);
    }
    if (i % 41 == 0) {
      PlaySound(loop, hum);
      PauseChannel(hum);
      SetChannelDepth(hum, -1.0f);
      ResumeChannel(hum);
    }
    playing_seen += IsChannelPlaying(channel);
    if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GT(playing_seen, 0);
  EXPECT_EQ(IsChannelPlaying(music), 1);
  StopChannel(music);
  EXPECT_EQ(IsChannelPlaying(music), 0);
  // Let the mixer finish some sounds on its own before closing with others live.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ShutdownAudio();
  EXPECT_EQ(IsChannelPlaying(hum), 0);
  SetVelmixDeviceFactory(nullptr);
}

}  // namespace
