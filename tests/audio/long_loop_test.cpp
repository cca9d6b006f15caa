// Long looping music through the Velmix mixer, started the way the game starts its
// tracks: cued on an implicit channel after an explicit one was allocated, volume
// set while paused, then resumed; played past the end of the loop.

#include <gtest/gtest.h>

#include <memory>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/velmix.h"
#include "tests/audio/stepped_hardware.h"

namespace {

constexpr int32_t kFrames = kRingBlockValues / 2;
constexpr int32_t kTrackFrames = 60 * 44100 + 123;  // not a whole number of blocks

// Frame i of the track: a left ramp that never reaches 0, and its negation on the right.
int16_t track_left(int64_t frame) {
  return static_cast<int16_t>(1 + frame % 1999);
}

std::shared_ptr<TAudioSample> stereo_track() {
  auto sample = TAudioSample::Create(kTrackFrames, 44100, kFormatStereo16LE);
  auto* values = reinterpret_cast<int16_t*>(sample->samples);
  for (int32_t i = 0; i < kTrackFrames; ++i) {
    values[2 * i] = track_left(i);
    values[2 * i + 1] = static_cast<int16_t>(-track_left(i));
  }
  return sample;
}

class LongLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    last_stepped_device() = {};
    SetVelmixDeviceFactory(MakeSteppedDevice);
    ASSERT_EQ(SetAudioDriver("Velmix"), 1);
    device_ = last_stepped_device().device;
    hardware_ = last_stepped_device().hardware;
  }
  void TearDown() override {
    ShutdownAudio();
    SetVelmixDeviceFactory(nullptr);
  }

  // Plays one more block (the clock moves 20 ms first) and returns where it is.
  const int16_t* next_block() {
    hardware_->clock += kMixStartDelayMillis;
    hardware_->advance_bytes(kRingBlockValues * 2);
    device_->service();
    const int64_t start = device_->write_position() - kRingBlockValues;
    return device_->ring() + ((start / kRingBlockValues) % kRingBlocks) * kRingBlockValues;
  }

  ringdevice* device_ = nullptr;
  stepped_hardware* hardware_ = nullptr;
};

TEST_F(LongLoop, CuedSixtySecondStereoLoopPlaysEveryFrameAcrossTheWrap) {
  std::shared_ptr<TChannel> music = AllocChannel();
  {
    auto sound = LoadSound(stereo_track(), kSoundLoop);
    ASSERT_NE(sound, nullptr);
    music = PrepareSound(sound, nullptr);
    ASSERT_NE(music, nullptr);
    SetChannelVolume(music, 1.0f);
    ResumeChannel(music);
  }  // the game drops its sound at once; the playing voice keeps the sample
  EXPECT_EQ(IsChannelPlaying(music), 1);

  const int32_t blocks = kTrackFrames / kFrames + 40;  // on past the first wrap
  for (int32_t block = 0; block < blocks; ++block) {
    const int16_t* values = next_block();
    for (int32_t i = 0; i < kFrames; ++i) {
      const int64_t frame = (static_cast<int64_t>(block) * kFrames + i) % kTrackFrames;
      ASSERT_EQ(values[2 * i], track_left(frame)) << "block " << block << " frame " << i;
      ASSERT_EQ(values[2 * i + 1], -track_left(frame)) << "block " << block << " frame " << i;
    }
  }
  EXPECT_EQ(IsChannelPlaying(music), 1);
  EXPECT_EQ(static_cast<TVelmixChannel*>(music.get())->Position(), blocks * kFrames);

  // Pausing and resuming in the middle (the game does so when it loses the focus)
  // carries on from the frame it stopped at.
  PauseChannel(music);
  for (int32_t i = 0; i < 3; ++i) {
    const int16_t* values = next_block();
    for (int32_t v = 0; v < kRingBlockValues; ++v) ASSERT_EQ(values[v], 0);
  }
  ResumeChannel(music);
  const int16_t* values = next_block();
  const int64_t frame = (static_cast<int64_t>(blocks) * kFrames) % kTrackFrames;
  EXPECT_EQ(values[0], track_left(frame));
  EXPECT_EQ(values[2 * (kFrames - 1)], track_left(frame + kFrames - 1));
}

// The play position passes 2^28 bytes (25.4 minutes) with no restart: the music goes
// on frame after frame, with no block dropped and no silence.
TEST_F(LongLoop, LoopPlaysOnUnbrokenPastTwentyFiveMinutes) {
  auto music = PlaySound(LoadSound(stereo_track(), kSoundLoop));
  ASSERT_NE(music, nullptr);
  const int32_t resets = hardware_->resets;
  const int32_t submits = hardware_->submits;
  constexpr int64_t kBlockBytes = kRingBlockValues * 2;
  constexpr int64_t kMark = (int64_t{1} << 28) / kBlockBytes;  // blocks played by then
  const int64_t blocks = kMark + 64;
  for (int64_t block = 0; block < blocks; ++block) {
    const int16_t* values = next_block();
    ASSERT_EQ(hardware_->resets, resets) << "block " << block;
    ASSERT_EQ(hardware_->submits, submits) << "block " << block;
    // Every frame around the mark, the first and last of each block elsewhere.
    const bool near_mark = block >= kMark - 40;
    const int32_t step = near_mark ? 1 : kFrames - 1;
    for (int32_t i = 0; i < kFrames; i += step) {
      const int64_t frame = (block * kFrames + i) % kTrackFrames;
      ASSERT_EQ(values[2 * i], track_left(frame)) << "block " << block << " frame " << i;
      ASSERT_EQ(values[2 * i + 1], -track_left(frame)) << "block " << block << " frame " << i;
    }
  }
  EXPECT_GT(hardware_->position.load(), int64_t{1} << 28);
  EXPECT_EQ(hardware_->published.load(), (blocks + kRingStartLatency) * kBlockBytes);
  EXPECT_EQ(IsChannelPlaying(music), 1);
  EXPECT_EQ(static_cast<TVelmixChannel*>(music.get())->Position(), blocks * kFrames);
}

}  // namespace
