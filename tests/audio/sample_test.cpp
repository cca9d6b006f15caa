// Samples: layouts, conversion through stereo 16-bit, copies, and the loader chain.

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "audio/sample.h"
#include "stream/stream.h"

namespace {

std::shared_ptr<TAudioSample> stereo_be(int16_t left, int16_t right) {
  auto sample = TAudioSample::Create(1, 44100, kFormatStereo16BE);
  uint8_t* bytes = sample->samples;
  bytes[0] = static_cast<uint8_t>(left >> 8);
  bytes[1] = static_cast<uint8_t>(left);
  bytes[2] = static_cast<uint8_t>(right >> 8);
  bytes[3] = static_cast<uint8_t>(right);
  return sample;
}

int16_t le16(const uint8_t* bytes) {
  return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
}
int16_t be16(const uint8_t* bytes) {
  return static_cast<int16_t>((bytes[0] << 8) | bytes[1]);
}

}  // namespace

TEST(AudioSampleLayout, TablesGiveBytesAndChannelsPerFormat) {
  const int32_t bytes[] = {0, 1, 2, 2, 2, 4, 4, 0};
  const int32_t channels[] = {0, 1, 1, 1, 2, 2, 2, 0};
  for (int32_t format = 0; format <= 7; ++format) {
    EXPECT_EQ(SampleBytesPerFrame(format), bytes[format]) << format;
    EXPECT_EQ(SampleChannels(format), channels[format]) << format;
  }
  EXPECT_EQ(SampleChannels(-1), 0);
}

TEST(AudioSampleCreate, OwnsItsBytesAndRefusesBadArguments) {
  auto sample = TAudioSample::Create(10, 22050, kFormatStereo16LE);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->capacity, 40);
  EXPECT_EQ(sample->length, 10);
  EXPECT_EQ(sample->hertz, 22050);
  EXPECT_EQ(TAudioSample::Create(10, 44100, 7), nullptr);
  EXPECT_EQ(TAudioSample::Create(-1, 44100, 2), nullptr);
}

TEST(AudioSampleCopy, CopyOfStaticSampleOwnsItsBytes) {
  uint8_t bytes[4] = {1, 2, 3, 4};
  auto original = TAudioSample::CreateStatic(bytes, 2, 8000, kFormatMono16LE);
  auto copy = original->Copy();
  EXPECT_EQ(original->capacity, -1);
  EXPECT_GE(copy->capacity, 0);
  EXPECT_NE(copy->samples, bytes);
  EXPECT_EQ(std::memcmp(copy->samples, bytes, 4), 0);
  EXPECT_EQ(copy->hertz, 8000);
  bytes[0] = 99;
  EXPECT_EQ(copy->samples[0], 1);
}

TEST(AudioSampleConvert, StereoToMonoAveragesTruncatingTowardZero) {
  auto sample = stereo_be(1000, -1001);
  auto mono16 = sample->Convert(kFormatMono16LE);
  EXPECT_EQ(le16(mono16->samples), 0);
  auto mono8 = sample->Convert(kFormatMono8);
  EXPECT_EQ(mono8->samples[0], 127);
  auto mono_be = stereo_be(-3000, -1001)->Convert(kFormatMono16BE);
  EXPECT_EQ(be16(mono_be->samples), -2000);
}

TEST(AudioSampleConvert, EightBitWidensToFullScale) {
  uint8_t bytes[2] = {255, 0};
  auto sample = TAudioSample::CreateStatic(bytes, 2, 44100, kFormatMono8);
  auto wide = sample->Convert(kFormatStereo16BE);
  EXPECT_EQ(be16(wide->samples + 0), 0x7FFF);
  EXPECT_EQ(be16(wide->samples + 2), 0x7FFF);
  EXPECT_EQ(static_cast<uint16_t>(be16(wide->samples + 4)), 0x8000);
  EXPECT_EQ(static_cast<uint16_t>(be16(wide->samples + 6)), 0x8000);
}

TEST(AudioSampleConvert, EveryFormatPairKeepsLength) {
  const int16_t left = 12345;
  const int16_t right = -23456;
  for (int32_t from = 1; from <= 6; ++from) {
    auto source = stereo_be(left, right)->Convert(from);
    for (int32_t to = 1; to <= 6; ++to) {
      auto converted = source->Convert(to);
      ASSERT_NE(converted, nullptr);
      EXPECT_EQ(converted->format, to);
      EXPECT_EQ(converted->length, 1);
      EXPECT_EQ(converted->capacity, SampleBytesPerFrame(to));
    }
  }
  // Stereo 16-bit round trips through both byte orders unchanged.
  auto le = stereo_be(left, right)->Convert(kFormatStereo16LE);
  EXPECT_EQ(le16(le->samples), left);
  EXPECT_EQ(le16(le->samples + 2), right);
  auto back = le->Convert(kFormatStereo16BE);
  EXPECT_EQ(be16(back->samples), left);
  EXPECT_EQ(be16(back->samples + 2), right);
  // Stereo 8-bit keeps the sides apart: (v + 32768) / 257.
  auto eight = le->Convert(kFormatStereo8);
  EXPECT_EQ(eight->samples[0], (left + 32768) / 257);
  EXPECT_EQ(eight->samples[1], (right + 32768) / 257);
}

TEST(AudioSampleConvert, BadFormatCodeRaises) {
  auto sample = TAudioSample::Create(1, 44100, kFormatMono16LE);
  try {
    sample->Convert(9);
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Unimplemented sample format conversion");
  }
}

// ---------------------------------------------------------------------------
// The loader chain

namespace {

std::vector<uint8_t> wav_bytes(int16_t channels, int16_t bits, int32_t hertz,
                               const std::vector<uint8_t>& data, uint32_t declared_size) {
  std::vector<uint8_t> out;
  auto put32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&out](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&out](const char* text) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(text[i]));
  };
  tag("RIFF");
  put32(static_cast<uint32_t>(36 + data.size()));
  tag("WAVE");
  tag("LIST");  // a chunk the loader must step over
  put32(3);
  for (char c : {'a', 'b', 'c', '\0'}) out.push_back(static_cast<uint8_t>(c));
  tag("fmt ");
  put32(16);
  put16(1);
  put16(static_cast<uint16_t>(channels));
  put32(static_cast<uint32_t>(hertz));
  put32(static_cast<uint32_t>(hertz * channels * bits / 8));
  put16(static_cast<uint16_t>(channels * bits / 8));
  put16(static_cast<uint16_t>(bits));
  tag("data");
  put32(declared_size);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A stream that cannot tell its position.
class unseekable_stream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
};

}  // namespace

TEST(AudioSampleLoading, PlainPcmWavLoads) {
  std::vector<uint8_t> data = {0x10, 0x00, 0x20, 0x00, 0x30, 0x00, 0x40, 0x00};
  auto bytes = wav_bytes(2, 16, 22050, data, static_cast<uint32_t>(data.size()));
  auto sample = LoadAudioSample(TRamStream::Create(bytes.data(), bytes.size(), 1, 0));
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->format, kFormatStereo16LE);
  EXPECT_EQ(sample->length, 2);
  EXPECT_EQ(sample->hertz, 22050);
  EXPECT_EQ(std::memcmp(sample->samples, data.data(), data.size()), 0);
}

TEST(AudioSampleLoading, WavClaimingMoreDataThanItHoldsIsCut) {
  std::vector<uint8_t> data = {1, 2, 3};
  auto bytes = wav_bytes(1, 8, 8000, data, 1000000);
  auto sample = LoadAudioSample(TRamStream::Create(bytes.data(), bytes.size(), 1, 0));
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->format, kFormatMono8);
  EXPECT_EQ(sample->length, 3);
}

TEST(AudioSampleLoading, TextAndEmptyDataGiveNoSample) {
  const char text[] = "This is not a sound file at all, just some words.\n";
  EXPECT_EQ(LoadAudioSample(TRamStream::Create(text, sizeof(text) - 1, 1, 0)), nullptr);
  EXPECT_EQ(LoadAudioSample(TRamStream::Create(text, 0, 1, 0)), nullptr);
  const char riff_only[] = "RIFF";
  EXPECT_EQ(LoadAudioSample(TRamStream::Create(riff_only, 4, 1, 0)), nullptr);
}

TEST(AudioSampleLoading, MissingFileGivesNoSample) {
  EXPECT_EQ(LoadAudioSample("/nonexistent/folder/sound.ogg"), nullptr);
  EXPECT_EQ(LoadAudioSample(std::shared_ptr<TStream>()), nullptr);
}

TEST(AudioSampleLoading, UnseekableStreamRaises) {
  try {
    LoadAudioSample(std::make_shared<unseekable_stream>());
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Stream is not seekable");
  }
}

TEST(AudioSampleLoading, LoadStartsAtTheStreamsPosition) {
  std::vector<uint8_t> data = {9, 8, 7, 6};
  auto wav = wav_bytes(1, 16, 11025, data, 4);
  std::vector<uint8_t> bytes = {0xAA, 0xBB};
  bytes.insert(bytes.end(), wav.begin(), wav.end());
  auto stream = TRamStream::Create(bytes.data(), bytes.size(), 1, 0);
  stream->Seek(2);
  auto sample = LoadAudioSample(stream);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->length, 2);
  EXPECT_EQ(sample->format, kFormatMono16LE);
}
