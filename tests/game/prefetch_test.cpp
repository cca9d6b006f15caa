// Sounds decoded ahead of use on the background thread: the same samples as a direct
// load, whoever decodes them, and a missing file still plays nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/sample.h"
#include "game/globals.h"
#include "game/sample_prefetch.h"
#include "game/sounds.h"

namespace {

const std::string kData = VEXTRAL_TEST_DATA_DIR;

void expect_same_sample(const std::shared_ptr<TAudioSample>& got,
                        const std::shared_ptr<TAudioSample>& want) {
  ASSERT_NE(got, nullptr);
  ASSERT_NE(want, nullptr);
  EXPECT_EQ(got->length, want->length);
  EXPECT_EQ(got->hertz, want->hertz);
  EXPECT_EQ(got->format, want->format);
  ASSERT_EQ(got->capacity, want->capacity);
  EXPECT_EQ(std::memcmp(got->samples, want->samples, static_cast<size_t>(want->capacity)), 0);
}

TEST(SamplePrefetch, GivesTheSameSamplesAsADirectLoadWhoeverDecodesThem) {
  const std::vector<std::string> files = {"p_track.ogg", "shoot.ogg", "explode.ogg", "ufoloop.ogg"};
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(kData + "/" + file);
  prefetch_samples(paths);
  // Taken last-first: the game thread decodes the files the worker has not reached yet,
  // and waits for the one it is on.
  for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
    SCOPED_TRACE(*path);
    expect_same_sample(take_prefetched_sample(*path), LoadAudioSample(*path));
  }
  // Taken once: a second take loads the file again, to the same result.
  expect_same_sample(take_prefetched_sample(paths[1]), LoadAudioSample(paths[1]));
}

TEST(SamplePrefetch, AMissingOrUndecodableFileGivesNoSample) {
  const std::string missing = kData + "/no_such_sound.ogg";
  const auto garbage = std::filesystem::temp_directory_path() / "vextral_prefetch_garbage.ogg";
  {
    std::FILE* file = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("OggS but not really", file);
    std::fclose(file);
  }
  prefetch_samples({missing, garbage.string()});
  EXPECT_EQ(take_prefetched_sample(garbage.string()), nullptr);
  EXPECT_EQ(take_prefetched_sample(missing), nullptr);
  std::filesystem::remove(garbage);
}

TEST(SamplePrefetch, APrefetchLeftUntakenIsFinishedByTheNextOne) {
  const std::string track = kData + "/t_track.ogg";
  prefetch_samples({track});
  prefetch_samples({kData + "/stage.ogg"});
  expect_same_sample(take_prefetched_sample(track), LoadAudioSample(track));
  expect_same_sample(take_prefetched_sample(kData + "/stage.ogg"),
                     LoadAudioSample(kData + "/stage.ogg"));
}

class PrefetchedSoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_folder_ = data_folder;
    SetAudioDriver("Null");
    music_track = 2;
    music_channel = AllocChannel();
    sound_started_hook = [this](const std::string& name) { started_.push_back(name); };
  }
  void TearDown() override {
    sound_started_hook = nullptr;
    data_folder = saved_folder_;
  }
  std::string saved_folder_;
  std::vector<std::string> started_;
};

TEST_F(PrefetchedSoundsTest, StartUpWithAPrefetchLoadsEveryEffectAndStartsTheTrack) {
  data_folder = kData;
  prefetch_sounds();
  load_sounds();
  for (const auto* sound : {&snd_shoot, &snd_astrohit, &snd_stage, &snd_bonus, &snd_cloak,
                            &snd_thrust, &snd_explode, &snd_ufoloop})
    EXPECT_NE(*sound, nullptr);
  const auto before = music_channel;
  start_music(music_track);
  EXPECT_NE(music_channel, before);
  EXPECT_EQ(started_, std::vector<std::string>{"p_track.ogg"});
}

TEST_F(PrefetchedSoundsTest, AMissingDataFolderStillPlaysNothing) {
  data_folder = kData + "/no_such_folder";
  prefetch_sounds();
  load_sounds();
  EXPECT_EQ(snd_shoot, nullptr);
  EXPECT_EQ(snd_ufoloop, nullptr);
  const auto before = music_channel;
  start_music(music_track);
  EXPECT_EQ(music_channel, before);  // nothing started in its place
  play_sfx(snd_shoot);               // a no-op, but still reported
  EXPECT_EQ(started_, (std::vector<std::string>{"p_track.ogg", "shoot.ogg"}));
}

}  // namespace
