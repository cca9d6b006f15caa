// The Velmix mixer driven block by block through a stepped ring device: every test
// plays through the public sound and channel calls and reads the mixed ring.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/audio.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/velmix.h"
#include "tests/audio/stepped_hardware.h"

namespace {

constexpr int32_t kFrames = kRingBlockValues / 2;

struct stereo_block {
  std::vector<int16_t> values;
  int16_t left(int32_t frame) const { return values[2 * frame]; }
  int16_t right(int32_t frame) const { return values[2 * frame + 1]; }
  bool silent() const {
    return std::all_of(values.begin(), values.end(), [](int16_t v) { return v == 0; });
  }
};

class VelmixMixer : public ::testing::Test {
 protected:
  void SetUp() override {
    last_stepped_device() = {};
    SetVelmixDeviceFactory(MakeSteppedDevice);
    ASSERT_EQ(SetAudioDriver("Velmix"), 1);
    device_ = last_stepped_device().device;
    hardware_ = last_stepped_device().hardware;
    ASSERT_NE(device_, nullptr);
  }
  void TearDown() override {
    ShutdownAudio();
    SetVelmixDeviceFactory(nullptr);
  }

  // Plays one more block's worth and returns the block just mixed. The clock moves
  // on 20 ms first, so sounds started since the last block begin at its first frame.
  stereo_block next_block(uint32_t clock_step = kMixStartDelayMillis) {
    hardware_->clock += clock_step;
    hardware_->advance_bytes(kRingBlockValues * 2);
    device_->service();
    const int64_t start = device_->write_position() - kRingBlockValues;
    const int64_t block = (start / kRingBlockValues) % kRingBlocks;
    const int16_t* ring = device_->ring() + block * kRingBlockValues;
    return {std::vector<int16_t>(ring, ring + kRingBlockValues)};
  }

  // A mono 16-bit sound of constant value.
  static std::shared_ptr<TSound> constant_sound(int16_t value, int32_t frames, int32_t flags = 0,
                                                int32_t hertz = 44100) {
    auto sample = TAudioSample::Create(frames, hertz, kFormatMono16LE);
    auto* values = reinterpret_cast<int16_t*>(sample->samples);
    std::fill(values, values + frames, value);
    return LoadSound(sample, flags);
  }

  // A mono 16-bit sound whose frame i holds values[i].
  static std::shared_ptr<TSound> sound_of(const std::vector<int16_t>& values, int32_t flags,
                                          int32_t hertz) {
    auto sample = TAudioSample::Create(static_cast<int32_t>(values.size()), hertz, kFormatMono16LE);
    std::memcpy(sample->samples, values.data(), values.size() * 2);
    return LoadSound(sample, flags);
  }

  ringdevice* device_ = nullptr;
  stepped_hardware* hardware_ = nullptr;
};

TEST_F(VelmixMixer, CuedSoundTakesItsVolumeFromTheFirstFrame) {
  auto sound = constant_sound(1000, 44100);
  auto channel = PrepareSound(sound);
  ASSERT_NE(channel, nullptr);
  SetChannelVolume(channel, 0.5f);
  ResumeChannel(channel);
  auto block = next_block();
  for (int32_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(block.left(i), 500) << i;
    ASSERT_EQ(block.right(i), 500) << i;
  }
}

TEST_F(VelmixMixer, VolumeChangeOnPlayingSoundRampsOverOneBlock) {
  auto channel = PlaySound(constant_sound(1000, 44100));
  EXPECT_EQ(next_block().left(kFrames - 1), 1000);
  SetChannelVolume(channel, 0.5f);
  auto ramp = next_block();
  EXPECT_NEAR(ramp.left(0), 1000, 2);
  EXPECT_NEAR(ramp.left(kFrames / 2), 750, 3);
  EXPECT_NEAR(ramp.left(kFrames - 1), 500, 3);
  for (int32_t i = 1; i < kFrames; ++i) ASSERT_LE(ramp.left(i), ramp.left(i - 1)) << i;
  auto after = next_block();
  EXPECT_EQ(after.left(0), 500);
  EXPECT_EQ(after.left(kFrames - 1), 500);
}

TEST_F(VelmixMixer, PanSendsSidesByGain) {
  auto sound = constant_sound(1000, 44100);
  auto left_only = PrepareSound(sound);
  SetChannelPan(left_only, -1.0f);
  ResumeChannel(left_only);
  auto block = next_block();
  EXPECT_EQ(block.left(0), 1000);
  EXPECT_EQ(block.right(0), 0);
  StopChannel(left_only);

  auto half_left = PrepareSound(sound);
  SetChannelPan(half_left, 0.5f);
  ResumeChannel(half_left);
  block = next_block();
  EXPECT_EQ(block.left(10), 500);
  EXPECT_EQ(block.right(10), 1000);
}

TEST_F(VelmixMixer, NegativeDepthInvertsTheRightSideOnly) {
  auto sound = constant_sound(1000, 44100);
  auto inverted = PrepareSound(sound);
  SetChannelDepth(inverted, -0.1f);
  ResumeChannel(inverted);
  auto block = next_block();
  EXPECT_EQ(block.left(5), 1000);
  EXPECT_EQ(block.right(5), -1000);
  StopChannel(inverted);

  auto positive = PrepareSound(sound);
  SetChannelDepth(positive, 1.0f);
  ResumeChannel(positive);
  block = next_block();
  EXPECT_EQ(block.left(5), 1000);
  EXPECT_EQ(block.right(5), 1000);
}

TEST_F(VelmixMixer, DoubleRateOnHalfRateSampleStepsOneFramePerOutputFrame) {
  std::vector<int16_t> values(4000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i * 7 - 10000);
  auto channel = PrepareSound(sound_of(values, 0, 22050));
  SetChannelRate(channel, 2.0f);
  ResumeChannel(channel);
  auto first = next_block();
  auto second = next_block();
  for (int32_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(first.left(i), values[i]) << i;
    ASSERT_EQ(second.left(i), values[kFrames + i]) << i;
  }
  // Unity rate on the same sample moves half a frame per output frame, interpolated.
  auto slow = PlaySound(sound_of(values, 0, 22050));
  StopChannel(channel);
  auto block = next_block();
  EXPECT_EQ(block.left(0), values[0]);
  EXPECT_EQ(block.left(1), values[0] + (values[1] - values[0]) / 2);
  EXPECT_EQ(block.left(2), values[1]);
}

TEST_F(VelmixMixer, LoopWrapsThroughTheGuardFrame) {
  std::vector<int16_t> values(1000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(8000 - 13 * i);
  auto channel = PlaySound(sound_of(values, kSoundLoop, 44100));
  std::vector<int16_t> heard;
  for (int block = 0; block < 5; ++block) {
    auto mixed = next_block();
    for (int32_t i = 0; i < kFrames; ++i) heard.push_back(mixed.left(i));
  }
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], values[i % 1000]) << i;

  // At half speed, the point between frame 999 and the guard frame is between 999 and 0.
  auto slow = PlaySound(sound_of(values, kSoundLoop, 22050));
  StopChannel(channel);
  heard.clear();
  for (int block = 0; block < 5; ++block) {
    auto mixed = next_block();
    for (int32_t i = 0; i < kFrames; ++i) heard.push_back(mixed.left(i));
  }
  EXPECT_EQ(heard[1998], values[999]);
  EXPECT_EQ(heard[1999], (values[999] + values[0]) / 2);
  EXPECT_EQ(heard[2000], values[0]);
  EXPECT_EQ(IsChannelPlaying(slow), 1);
}

TEST_F(VelmixMixer, AllocatedChannelEndsAndItsNextPlayInheritsTheVolume) {
  auto channel = AllocChannel();
  ASSERT_NE(channel, nullptr);
  SetChannelVolume(channel, 0.5f);
  auto sound = constant_sound(1000, 600);
  EXPECT_EQ(PlaySound(sound, channel), channel);
  EXPECT_EQ(next_block().left(0), 500);
  auto second = next_block();
  EXPECT_EQ(second.left(600 - kFrames - 1), 500);
  EXPECT_EQ(second.left(600 - kFrames), 0);
  next_block();
  EXPECT_EQ(IsChannelPlaying(channel), 0);

  EXPECT_EQ(PlaySound(sound, channel), channel);
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  EXPECT_EQ(next_block().left(0), 500);
}

TEST_F(VelmixMixer, StopMakesTheChannelInert) {
  auto sound = constant_sound(1000, 44100);
  auto channel = PlaySound(sound);
  EXPECT_EQ(next_block().left(0), 1000);
  StopChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_TRUE(next_block().silent());
  // Every later call on the stopped channel does nothing.
  ResumeChannel(channel);
  SetChannelVolume(channel, 0.25f);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_TRUE(next_block().silent());
  // Playing the sound on it again starts on a fresh channel at full volume.
  auto again = PlaySound(sound, channel);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, channel);
  EXPECT_EQ(next_block().left(0), 1000);
}

TEST_F(VelmixMixer, StaleHandlesDoNothing) {
  const int32_t handle = MixAllocChannel();
  ASSERT_NE(handle, 0);
  MixFreeChannel(handle);
  MixSetVolume(handle, 0.5f);
  MixPauseChannel(handle, 1);
  EXPECT_EQ(MixChannelStatus(handle), 0);
  EXPECT_EQ(MixChannelPosition(handle), 0);
  // The slot is handed out again under a new handle; the old one stays stale.
  const int32_t reused = MixAllocChannel();
  EXPECT_NE(reused, handle);
  EXPECT_EQ(MixChannelStatus(handle), 0);
  EXPECT_EQ(MixChannelStatus(reused), kVoiceFinished);
  MixStopChannel(0);
  MixStopChannel(-5);
  MixStopChannel(handle + 123456);
}

TEST_F(VelmixMixer, AccumulatorClipsAtTheSixteenBitLimits) {
  auto loud = constant_sound(30000, 44100);
  auto quiet = constant_sound(-30000, 44100);
  PlaySound(loud);
  PlaySound(loud);
  auto block = next_block();
  EXPECT_EQ(block.left(0), 32767);
  EXPECT_EQ(block.right(100), 32767);
  ShutdownAudio();
  SetUp();
  PlaySound(quiet);
  PlaySound(quiet);
  EXPECT_EQ(next_block().left(0), -32768);
}

TEST_F(VelmixMixer, FullScaleSingleVoicesPassUnclipped) {
  auto top = PlaySound(constant_sound(32767, 44100));
  EXPECT_EQ(next_block().left(0), 32767);
  StopChannel(top);
  PlaySound(constant_sound(-32768, 44100));
  EXPECT_EQ(next_block().left(0), -32768);
}

TEST_F(VelmixMixer, VolumesOfEightOrMoreClampInsteadOfWrapping) {
  auto channel = PrepareSound(constant_sound(100, 44100));
  SetChannelVolume(channel, 100.0f);
  ResumeChannel(channel);
  // 100 x 32767 / 256 / 16: the largest gain, not a wrapped negative one.
  EXPECT_EQ(next_block().left(0), 100 * 32767 / 256 / 16);
  SetChannelVolume(channel, -100.0f);
  next_block();
  EXPECT_EQ(next_block().left(0), (100 * -32768 / 256) >> 4);
}

TEST_F(VelmixMixer, ChannelTableHolds4095Channels) {
  std::vector<std::shared_ptr<TChannel>> channels;
  for (int i = 0; i < 4095; ++i) {
    auto channel = AllocChannel();
    ASSERT_NE(channel, nullptr) << i;
    channels.push_back(channel);
  }
  EXPECT_EQ(AllocChannel(), nullptr);
  // A play with no channel still sounds but gives the caller no channel.
  auto sound = constant_sound(1000, 2000);
  EXPECT_EQ(PlaySound(sound), nullptr);
  EXPECT_EQ(next_block().left(0), 1000);
  channels.pop_back();
  EXPECT_NE(AllocChannel(), nullptr);
}

TEST_F(VelmixMixer, SoundsStartTwentyMillisecondsAfterTheCall) {
  auto channel = PlaySound(constant_sound(1000, 44100));
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  // 20 ms = 882 frames: all of this block and part of the next are silent.
  EXPECT_TRUE(next_block(0).silent());
  auto block = next_block(0);
  EXPECT_EQ(block.left(882 - kFrames - 1), 0);
  EXPECT_EQ(block.left(882 - kFrames), 1000);
}

TEST_F(VelmixMixer, PauseHoldsThePositionAndResumeContinues) {
  std::vector<int16_t> values(5000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i);
  auto channel = PlaySound(sound_of(values, 0, 44100));
  next_block();
  PauseChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_TRUE(next_block().silent());
  EXPECT_EQ(static_cast<TVelmixChannel*>(channel.get())->Position(), kFrames);
  ResumeChannel(channel);
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  EXPECT_EQ(next_block().left(0), kFrames);
}

TEST_F(VelmixMixer, SilentVoicesStillAdvanceAndFinish) {
  auto channel = PrepareSound(constant_sound(1000, 1500));
  SetChannelVolume(channel, 0.0f);
  ResumeChannel(channel);
  EXPECT_TRUE(next_block().silent());
  EXPECT_EQ(static_cast<TVelmixChannel*>(channel.get())->Position(), kFrames);
  next_block();
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  next_block();
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_EQ(static_cast<TVelmixChannel*>(channel.get())->Position(), 1500);
}

TEST_F(VelmixMixer, StereoAndEightBitSamplesKeepTheirSides) {
  auto stereo = TAudioSample::Create(3000, 44100, kFormatStereo16LE);
  auto* values = reinterpret_cast<int16_t*>(stereo->samples);
  for (int i = 0; i < 3000; ++i) {
    values[2 * i] = 1200;
    values[2 * i + 1] = -700;
  }
  auto stereo_channel = PlaySound(LoadSound(stereo, 0));
  auto block = next_block();
  EXPECT_EQ(block.left(3), 1200);
  EXPECT_EQ(block.right(3), -700);
  StopChannel(stereo_channel);

  auto eight = TAudioSample::Create(3000, 44100, kFormatStereo8);
  for (int i = 0; i < 3000; ++i) {
    eight->samples[2 * i] = 255;
    eight->samples[2 * i + 1] = 0;
  }
  PlaySound(LoadSound(eight, 0));
  block = next_block();
  EXPECT_EQ(block.left(3), 255 * 256 - 32768);
  EXPECT_EQ(block.right(3), -32768);
}

TEST_F(VelmixMixer, BigEndianSamplesAreConvertedAndEmptyFormatsRefused) {
  uint8_t bytes[2 * 2000];
  for (int i = 0; i < 2000; ++i) {
    bytes[2 * i] = 0x03;  // 0x03E8 = 1000, high byte first
    bytes[2 * i + 1] = 0xE8;
  }
  auto sample = TAudioSample::CreateStatic(bytes, 2000, 44100, kFormatMono16BE);
  PlaySound(LoadSound(sample, 0));
  EXPECT_EQ(next_block().left(0), 1000);
  auto bad = TAudioSample::CreateStatic(bytes, 10, 44100, 0);
  EXPECT_EQ(LoadSound(bad, 0), nullptr);
}

TEST_F(VelmixMixer, DroppedChannelLetsItsSoundPlayToTheEnd) {
  auto sound = constant_sound(1000, 1000);
  {
    auto channel = PlaySound(sound);
    ASSERT_NE(channel, nullptr);
  }
  EXPECT_EQ(next_block().left(0), 1000);
  EXPECT_EQ(next_block().left(0), 1000);
  EXPECT_TRUE(next_block().silent());
  // Dropping the sound too frees it once the voice is done with it (ASan checks).
  sound.reset();
  PlaySound(constant_sound(10, 100));
}

TEST_F(VelmixMixer, ReplayingAnExplicitChannelRetiresItsOldVoice) {
  auto channel = AllocChannel();
  auto loop = constant_sound(1000, 300, kSoundLoop);
  for (int i = 0; i < 50; ++i) PlaySound(loop, channel);
  // Only the last play is heard: each replay ends the voice before it.
  EXPECT_EQ(next_block().left(0), 1000);
  StopChannel(channel);
  EXPECT_TRUE(next_block().silent());
}

TEST_F(VelmixMixer, KeptChannelSurvivesTheReuseOfItsEndedVoice) {
  auto blip = constant_sound(500, 100);
  auto channel = PlaySound(blip);
  PlaySound(constant_sound(500, 700));  // ends after the blip, so its voice is reused first
  next_block();
  next_block();
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  // Replayed on the same channel, then other sounds take the pooled voices.
  auto loop = constant_sound(1000, 300, kSoundLoop);
  EXPECT_EQ(PlaySound(loop, channel), channel);
  for (int i = 0; i < 20; ++i) PlaySound(blip);
  next_block();
  EXPECT_EQ(IsChannelPlaying(channel), 1);
  SetChannelVolume(channel, 0.0f);
  next_block();
  EXPECT_TRUE(next_block().silent());
}

TEST_F(VelmixMixer, ImplicitChannelGoesStaleOnceItsEndedVoiceIsReused) {
  auto blip = constant_sound(500, 100);
  auto channel = PlaySound(blip);
  next_block();
  next_block();
  PlaySound(blip);  // takes the recycled voice, and with it the old channel's slot
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  SetChannelVolume(channel, 0.0f);
  EXPECT_EQ(next_block().left(0), 500);
}

// ---------------------------------------------------------------------------
// The ring's service logic

TEST_F(VelmixMixer, RingKeepsLatencyBlocksAheadOfPlay) {
  EXPECT_EQ(device_->latency_blocks(), kRingStartLatency);
  EXPECT_EQ(device_->write_position(), kRingStartLatency * kRingBlockValues);
  EXPECT_EQ(hardware_->published.load(), kRingStartLatency * kRingBlockValues * 2);
  hardware_->advance_bytes(3 * kRingBlockValues * 2);
  device_->service();
  EXPECT_EQ(device_->write_position(), (3 + kRingStartLatency) * kRingBlockValues);
  device_->service();
  EXPECT_EQ(device_->write_position(), (3 + kRingStartLatency) * kRingBlockValues);
}

TEST_F(VelmixMixer, UnderrunPausesThenRestartsWithLongerLatency) {
  PlaySound(constant_sound(1000, 44100 * 10));
  next_block();
  const int32_t resets = hardware_->resets;
  const int32_t submits = hardware_->submits;
  // Play overtakes the write position: within 2 blocks of it.
  hardware_->advance_bytes((kRingStartLatency - 1) * kRingBlockValues * 2);
  device_->service();
  EXPECT_EQ(hardware_->resets, resets + 1);
  EXPECT_EQ(device_->restart_countdown(), kRingRestartPasses);
  EXPECT_EQ(device_->latency_blocks(), kRingStartLatency + 2);
  EXPECT_EQ(device_->write_position(), 2 * (kRingStartLatency + 2) * kRingBlockValues);
  for (int i = 0; i < kRingBlocks * kRingBlockValues; ++i) ASSERT_EQ(device_->ring()[i], 0);
  for (int pass = 0; pass < kRingRestartPasses - 1; ++pass) device_->service();
  EXPECT_EQ(hardware_->submits, submits);
  device_->service();
  EXPECT_EQ(hardware_->submits, submits + 1);
  EXPECT_EQ(device_->restart_countdown(), 0);
  // Mixing resumes once play comes within latency blocks of the write position.
  hardware_->advance_bytes((kRingStartLatency + 3) * kRingBlockValues * 2);
  device_->service();
  EXPECT_EQ(device_->write_position(),
            (kRingStartLatency + 3 + kRingStartLatency + 2) * kRingBlockValues);
}

TEST_F(VelmixMixer, LatencyGrowsByTwoWhileNineOrLess) {
  for (int underrun = 0; underrun < 6; ++underrun) {
    hardware_->advance_bytes(int64_t{40} * kRingBlockValues * 2);
    device_->service();
    for (int pass = 0; pass < kRingRestartPasses; ++pass) device_->service();
  }
  // 6, 8, 10: a latency of 10 is above 9 and grows no further.
  EXPECT_EQ(device_->latency_blocks(), 10);
}

TEST_F(VelmixMixer, FailedPositionQueryRestartsTheRing) {
  PlaySound(constant_sound(1000, 44100 * 10));
  next_block();
  const int32_t submits = hardware_->submits;
  hardware_->fail_queries = true;
  device_->service();
  hardware_->fail_queries = false;
  EXPECT_EQ(hardware_->submits, submits + 1);
  EXPECT_EQ(device_->write_position(), 0);
  device_->service();
  EXPECT_EQ(device_->write_position(), kRingStartLatency * kRingBlockValues);
  EXPECT_EQ(device_->latency_blocks(), kRingStartLatency);
}

}  // namespace
