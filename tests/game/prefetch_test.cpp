// Sounds and images decoded ahead of use on background threads: the same samples and images
// as a direct load, whoever decodes them, and a missing file still gives nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/sample.h"
#include "game/globals.h"
#include "game/image_prefetch.h"
#include "game/sample_prefetch.h"
#include "game/sounds.h"
#include "render/image.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

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
    std::FILE* file = std::fopen(garbage.string().c_str(), "wb");
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

namespace {

// An RGB picture with black pixels (transparent under the default mask), red ones and a
// grey gradient, saved as a PNG in the temporary folder.
std::string write_picture(const char* name) {
  auto pixmap = CreatePixmap(23, 9, PF_RGB888, 4);
  for (int32_t y = 0; y < pixmap->height; ++y) {
    for (int32_t x = 0; x < pixmap->width; ++x) {
      const uint32_t grey = static_cast<uint32_t>(x * 11 + y);
      uint32_t value = 0xFF000000u | grey << 16 | grey << 8 | grey;
      if ((x + y) % 3 == 0) value = 0xFF000000u;
      if (x % 5 == 0) value = 0xFFFF0000u;
      pixmap->WritePixel(x, y, value);
    }
  }
  const auto path = (std::filesystem::temp_directory_path() / name).string();
  EXPECT_TRUE(SavePixmapPNG(pixmap, path));
  return path;
}

void expect_same_image(const std::shared_ptr<TImage>& got, const std::shared_ptr<TImage>& want) {
  ASSERT_NE(got, nullptr);
  ASSERT_NE(want, nullptr);
  EXPECT_EQ(got->width, want->width);
  EXPECT_EQ(got->height, want->height);
  EXPECT_EQ(got->flags, want->flags);
  EXPECT_EQ(got->handle_x, want->handle_x);
  EXPECT_EQ(got->handle_y, want->handle_y);
  ASSERT_EQ(got->FrameCount(), 1);
  ASSERT_EQ(want->FrameCount(), 1);
  const auto& a = got->pixmaps[0];
  const auto& b = want->pixmaps[0];
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->format, b->format);
  for (int32_t y = 0; y < b->height; ++y) {
    for (int32_t x = 0; x < b->width; ++x) {
      ASSERT_EQ(a->ReadPixel(x, y), b->ReadPixel(x, y)) << "at " << x << ", " << y;
    }
  }
}

class ImagePrefetch : public testing::Test {
 protected:
  void SetUp() override {
    paths_ = {write_picture("vextral_prefetch_a.png"), write_picture("vextral_prefetch_b.png")};
  }
  void TearDown() override {
    for (const auto& path : paths_) std::filesystem::remove(path);
    SetMaskColor(0, 0, 0);
    SetDefaultImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
    SetAutoCentreHandle(false);
  }
  std::vector<std::string> paths_;
};

TEST_F(ImagePrefetch, GivesTheSameImagesAsADirectLoadWhoeverDecodesThem) {
  SetMaskColor(0, 0, 0);
  SetAutoCentreHandle(true);
  prefetch_images(paths_, 0, 0, 0);
  // The second taken first: the game thread decodes what the worker has not reached.
  expect_same_image(load_prefetched_image(paths_[1]), LoadImage(paths_[1]));
  expect_same_image(load_prefetched_image(paths_[0]), LoadImage(paths_[0]));
  // Taken once: a second load decodes the file again, to the same result.
  expect_same_image(load_prefetched_image(paths_[0]), LoadImage(paths_[0]));
}

// The mask is built ahead for one colour: an image loaded with another mask colour, or with
// masking off, must not get it.
TEST_F(ImagePrefetch, SettingsChangedSinceThePrefetchStillApply) {
  prefetch_images(paths_, 0, 0, 0);
  SetMaskColor(255, 0, 0);
  expect_same_image(load_prefetched_image(paths_[0]), LoadImage(paths_[0]));
  SetMaskColor(0, 0, 0);
  SetDefaultImageFlags(IMAGE_FILTERED);
  expect_same_image(load_prefetched_image(paths_[1]), LoadImage(paths_[1]));
}

TEST_F(ImagePrefetch, AMissingOrUndecodableFileGivesNoImage) {
  const std::string missing = paths_[0] + ".missing";
  const auto garbage = std::filesystem::temp_directory_path() / "vextral_prefetch_garbage.png";
  {
    std::FILE* file = std::fopen(garbage.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("\x89PNG but not really", file);
    std::fclose(file);
  }
  prefetch_images({missing, garbage.string()}, 0, 0, 0);
  EXPECT_EQ(load_prefetched_image(garbage.string()), nullptr);
  EXPECT_EQ(load_prefetched_image(missing), nullptr);
  std::filesystem::remove(garbage);
}

}  // namespace
