// The driver registry, the default selection and the silent Null driver.

#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/audio.h"
#include "audio/sample.h"
#include "audio/velmix.h"
#include "tests/audio/stepped_hardware.h"

namespace {

class AudioDrivers : public ::testing::Test {
 protected:
  void SetUp() override {
    last_stepped_device() = {};
    SetVelmixDeviceFactory(MakeSteppedDevice);
  }
  void TearDown() override {
    ShutdownAudio();
    SetVelmixDeviceFactory(nullptr);
  }
};

std::shared_ptr<TAudioSample> short_sample() {
  auto sample = TAudioSample::Create(100, 44100, kFormatMono16LE);
  std::fill(sample->samples, sample->samples + 200, 0);
  return sample;
}

TEST_F(AudioDrivers, NamesListNewestFirst) {
  const std::vector<std::string> expected = {"Velmix", "Velmix Multimedia", "Null"};
  EXPECT_EQ(AudioDriverNames(), expected);
}

TEST_F(AudioDrivers, NamesMatchWithoutRegardToCase) {
  EXPECT_EQ(AudioDriverExists("velmix multimedia"), 1);
  EXPECT_EQ(AudioDriverExists("NULL"), 1);
  EXPECT_EQ(AudioDriverExists("DirectSound"), 0);
  EXPECT_EQ(AudioDriverExists(""), 0);
}

TEST_F(AudioDrivers, FirstUseSelectsVelmix) {
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Velmix");
  EXPECT_TRUE(MixIsOpen());
  ShutdownAudio();
  EXPECT_FALSE(MixIsOpen());
}

TEST_F(AudioDrivers, UnknownNameLeavesNullCurrentWithoutFallingBack) {
  EXPECT_EQ(SetAudioDriver("Velmix"), 1);
  EXPECT_EQ(SetAudioDriver("Nonexistent"), 0);
  EXPECT_FALSE(MixIsOpen());
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
}

TEST_F(AudioDrivers, VelmixMultimediaOpensTheSameOutput) {
  EXPECT_EQ(SetAudioDriver("VELMIX MULTIMEDIA"), 1);
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Velmix Multimedia");
  EXPECT_NE(last_stepped_device().device, nullptr);
}

TEST_F(AudioDrivers, NoOutputFallsBackToTheSilentNullDriver) {
  last_stepped_device().refuse_open = true;
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
  EXPECT_FALSE(MixIsOpen());
  auto sound = LoadSound(short_sample(), 0);
  ASSERT_NE(sound, nullptr);
  auto channel = PrepareSound(sound);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  ResumeChannel(channel);
  SetChannelVolume(channel, 0.5f);
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  EXPECT_NE(AllocChannel(), nullptr);
}

TEST_F(AudioDrivers, NullSoundsAndChannelsAreIgnored) {
  EXPECT_EQ(PlaySound(nullptr), nullptr);
  EXPECT_EQ(PrepareSound(nullptr, AllocChannel()), nullptr);
  StopChannel(nullptr);
  PauseChannel(nullptr);
  ResumeChannel(nullptr);
  SetChannelVolume(nullptr, 1);
  SetChannelPan(nullptr, 1);
  SetChannelDepth(nullptr, 1);
  SetChannelRate(nullptr, 1);
  EXPECT_EQ(IsChannelPlaying(nullptr), 0);
  EXPECT_EQ(LoadSound("/nonexistent/sound.ogg", 0), nullptr);
  EXPECT_EQ(LoadSound(std::shared_ptr<TAudioSample>(), 0), nullptr);
}

TEST_F(AudioDrivers, ForeignChannelGivenToVelmixSoundGivesNoChannel) {
  auto sound = LoadSound(short_sample(), 0);
  ASSERT_NE(sound, nullptr);
  auto foreign = std::make_shared<TChannel>();
  EXPECT_EQ(PlaySound(sound, foreign), nullptr);
}

TEST_F(AudioDrivers, SoundsOutliveTheDriverThatMadeThem) {
  auto sound = LoadSound(short_sample(), kSoundLoop);
  auto channel = PlaySound(sound);
  ASSERT_NE(channel, nullptr);
  SetAudioDriver("Null");
  // The old channel and sound are inert now and release safely.
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  SetChannelVolume(channel, 0.3f);
  EXPECT_EQ(PlaySound(sound), nullptr);
  // Reopening gives a fresh table where the old handle stays stale.
  ASSERT_EQ(SetAudioDriver("Velmix"), 1);
  auto fresh = AllocChannel();
  EXPECT_EQ(IsChannelPlaying(channel), 0);
  channel.reset();
  sound.reset();
}

class CountingDriver : public TAudioDriver {
 public:
  std::string Name() override { return "Counting"; }
  int32_t Startup() override {
    ++startups;
    return accept ? 1 : 0;
  }
  void Shutdown() override { ++shutdowns; }
  bool accept = true;
  int startups = 0;
  int shutdowns = 0;
};

TEST_F(AudioDrivers, SwitchingShutsTheCurrentDriverDownOnce) {
  AudioDriverNames();
  CountingDriver counting;
  EXPECT_EQ(AudioDriverNames().front(), "Counting");
  EXPECT_EQ(SetAudioDriver("counting"), 1);
  EXPECT_EQ(counting.startups, 1);
  EXPECT_EQ(SetAudioDriver("Null"), 1);
  EXPECT_EQ(counting.shutdowns, 1);
  counting.accept = false;
  EXPECT_EQ(SetAudioDriver("Counting"), 0);
  EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
  ShutdownAudio();
  EXPECT_EQ(counting.shutdowns, 1);
}

}  // namespace
