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

// Waits until the service thread has run count more passes.
void await_passes(stepped_hardware* hardware, int64_t count) {
  const int64_t target = hardware->passes.load() + count;
  while (hardware->passes.load() < target) std::this_thread::yield();
}

int32_t status_of(const std::shared_ptr<TChannel>& channel) {
  return MixChannelStatus(static_cast<TVelmixChannel*>(channel.get())->_handle);
}

int32_t position_of(const std::shared_ptr<TChannel>& channel) {
  return static_cast<TVelmixChannel*>(channel.get())->Position();
}

// One-shots on kept channels, paused and resumed, faded, panned and stopped by the game
// thread while the mixer reaches their ends: a voice that has reached its end never
// mixes again, whatever happened to it in the block where it ended.
TEST(VelmixThreads, OneShotsOnKeptChannelsEndOnceWhilePausedAndResumed) {
  last_stepped_device() = {};
  last_stepped_device().service_thread = true;
  SetVelmixDeviceFactory(MakeSteppedDevice);
  ASSERT_EQ(SetAudioDriver("Velmix"), 1);
  stepped_hardware* hardware = last_stepped_device().hardware;
  // Three blocks a pass (less than the latency, so no underrun): more ends per second.
  hardware->step_per_query = 3 * kRingBlockValues * 2;
  hardware->watch_output = true;

  // At 44100 Hz and rates 1 and 2 a voice steps whole frames, so one that ends has
  // played exactly its length; a frame mixed past the end would show.
  constexpr int32_t kShotFrames = 700;
  constexpr int32_t kAmplitude = 1000;
  constexpr int32_t kKept = 12;
  auto sample = TAudioSample::Create(kShotFrames, 44100, kFormatMono16LE);
  auto* values = reinterpret_cast<int16_t*>(sample->samples);
  for (int32_t i = 0; i < kShotFrames; ++i) {
    values[i] = static_cast<int16_t>((i % 41 - 20) * kAmplitude / 20);
  }
  const auto shot = LoadSound(sample, 0);
  ASSERT_NE(shot, nullptr);

  std::vector<std::shared_ptr<TChannel>> kept(kKept);
  const float volumes[] = {1.0f, 0.5f, 0.0f};
  for (int32_t round = 0; round < 150; ++round) {
    for (int32_t c = 0; c < kKept; ++c) {
      if (kept[c] == nullptr) {
        kept[c] = AllocChannel();
        SetChannelRate(kept[c], c % 2 == 0 ? 1.0f : 2.0f);  // every play here inherits it
      }
      ASSERT_EQ(PlaySound(shot, kept[c]), kept[c]);
    }
    // One channel a round is stopped close to its end and replaced next round.
    const int32_t stopped = round % kKept;
    // Until every voice has played to its end, and for a few blocks after.
    int64_t after_end = -1;
    const int64_t started = hardware->passes.load();
    for (int64_t i = 0; after_end < 0 || hardware->passes.load() < after_end + 2; ++i) {
      ASSERT_LT(hardware->passes.load(), started + 2000) << "round " << round << " never ended";
      bool all_ended = true;
      for (int32_t c = 0; c < kKept; ++c) {
        if (kept[c] == nullptr) continue;
        if (c == stopped && position_of(kept[c]) >= kShotFrames - 100) {
          StopChannel(kept[c]);
          EXPECT_EQ(IsChannelPlaying(kept[c]), 0);
          kept[c] = nullptr;
          continue;
        }
        PauseChannel(kept[c]);
        SetChannelVolume(kept[c], volumes[(i + c) % 3]);
        SetChannelPan(kept[c], static_cast<float>((i + c) % 3) - 1.0f);
        ResumeChannel(kept[c]);
        all_ended = all_ended && position_of(kept[c]) >= kShotFrames;
      }
      if (all_ended && after_end < 0) after_end = hardware->passes.load();
    }
    // Left paused or playing, an ended voice stays ended.
    for (int32_t c = 0; c < kKept; ++c) {
      if (kept[c] != nullptr && c % 2 == 0) PauseChannel(kept[c]);
    }
    await_passes(hardware, 2);
    for (int32_t c = 0; c < kKept; ++c) {
      if (kept[c] == nullptr) continue;
      ASSERT_EQ(position_of(kept[c]), kShotFrames) << "round " << round << " channel " << c;
      ASSERT_EQ(status_of(kept[c]) & ~kVoicePaused, kVoiceFinished)
          << "round " << round << " channel " << c;
      ASSERT_EQ(IsChannelPlaying(kept[c]), 0);
    }
  }
  // At most kKept voices at full volume at once.
  EXPECT_GT(hardware->loudest.load(), kAmplitude / 2);
  EXPECT_LE(hardware->loudest.load(), kKept * kAmplitude);
  ShutdownAudio();
  SetVelmixDeviceFactory(nullptr);
}

}  // namespace
