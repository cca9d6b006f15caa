// Ogg Vorbis loading: layouts and lengths, and bad files giving no sample.

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "audio/sample.h"
#include "stream/stream.h"
#include "tests/audio/ogg_maker.h"

namespace {

std::shared_ptr<TAudioSample> load_bytes(const std::vector<uint8_t>& bytes) {
  return LoadAudioSample(TRamStream::Create(bytes.data(), bytes.size(), 1, 0));
}

std::shared_ptr<TAudioSample> decode_direct(const std::vector<uint8_t>& bytes) {
  TAudioSampleLoaderOGG loader;
  return loader.LoadAudioSample(TRamStream::Create(bytes.data(), bytes.size(), 1, 0));
}

const std::vector<uint8_t>& mono_tone() {
  static const std::vector<uint8_t> bytes =
      EncodeOgg(SineFrames(22050, 1, 44100, 440.0, 12000.0), 1, 44100);
  return bytes;
}

double rms(const int16_t* values, size_t count, size_t stride) {
  double sum = 0;
  for (size_t i = 0; i < count; ++i) sum += double(values[i * stride]) * values[i * stride];
  return std::sqrt(sum / double(count));
}

// Ogg's page checksum: CRC-32, polynomial 0x04C11DB7, no reflection, zero start.
uint32_t ogg_crc(const uint8_t* data, size_t size) {
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint32_t(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Offsets of every page in an Ogg file.
std::vector<size_t> page_offsets(const std::vector<uint8_t>& bytes) {
  std::vector<size_t> pages;
  size_t at = 0;
  while (at + 27 <= bytes.size() && std::memcmp(&bytes[at], "OggS", 4) == 0) {
    pages.push_back(at);
    size_t size = 27 + bytes[at + 26];
    for (int i = 0; i < bytes[at + 26]; ++i) size += bytes[at + 27 + i];
    at += size;
  }
  return pages;
}

}  // namespace

TEST(OggLoading, MonoFileLoadsAsMono16WithItsFrameCount) {
  auto sample = load_bytes(mono_tone());
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->format, kFormatMono16LE);
  EXPECT_EQ(sample->hertz, 44100);
  EXPECT_EQ(sample->length, 22050);
  // The decoded tone is the tone that went in (lossy, so compare loudness).
  const auto* values = reinterpret_cast<const int16_t*>(sample->samples);
  EXPECT_NEAR(rms(values + 2000, 18000, 1), 12000.0 / std::sqrt(2.0), 600.0);
}

TEST(OggLoading, StereoFileLoadsAsStereo16WithDistinctSides) {
  std::vector<int16_t> frames(2 * 11025);
  for (size_t i = 0; i < 11025; ++i) {
    frames[2 * i] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 300 * i / 22050.0));
    frames[2 * i + 1] = 0;
  }
  auto sample = load_bytes(EncodeOgg(frames, 2, 22050));
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->format, kFormatStereo16LE);
  EXPECT_EQ(sample->hertz, 22050);
  EXPECT_EQ(sample->length, 11025);
  const auto* values = reinterpret_cast<const int16_t*>(sample->samples);
  EXPECT_GT(rms(values + 2000, 8000, 2), 5000.0);
  EXPECT_LT(rms(values + 2001, 8000, 2), 500.0);
}

TEST(OggLoading, LoadsFromAFilePath) {
  char path[] = "/tmp/vextral-ogg-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_TRUE(WriteFile(path, mono_tone()));
  auto sample = LoadAudioSample(std::string(path));
  std::remove(path);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->length, 22050);
}

TEST(OggLoading, BadFilesGiveNoSample) {
  const auto& good = mono_tone();
  EXPECT_EQ(load_bytes({}), nullptr);
  // Only the first page (identification header).
  std::vector<uint8_t> headers_cut(good.begin(), good.begin() + 40);
  EXPECT_EQ(load_bytes(headers_cut), nullptr);
  std::vector<uint8_t> not_ogg(good.size(), 0x5A);
  EXPECT_EQ(load_bytes(not_ogg), nullptr);
  // A damaged setup header.
  std::vector<uint8_t> damaged = good;
  const auto pages = page_offsets(damaged);
  ASSERT_GE(pages.size(), 3u);
  for (size_t i = pages[1] + 60; i < pages[2] && i < pages[1] + 400; ++i) damaged[i] ^= 0xFF;
  EXPECT_EQ(load_bytes(damaged), nullptr);
}

TEST(OggLoading, TruncatedFileEndsWithoutHanging) {
  const auto& good = mono_tone();
  for (size_t keep : {good.size() / 4, good.size() / 2, good.size() - 100}) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(keep));
    auto sample = load_bytes(cut);
    if (sample == nullptr) continue;  // refusing is fine; hanging or crashing is not
    EXPECT_EQ(sample->format, kFormatMono16LE);
    EXPECT_LE(sample->length, 22050);
  }
}

TEST(OggLoading, DeclaredLengthLongerThanDataIsFilledWithSilence) {
  std::vector<uint8_t> bytes = mono_tone();
  const auto pages = page_offsets(bytes);
  const size_t last = pages.back();
  // Move the last page's granule position (frames decoded by its end) 10000 further.
  int64_t granule = 0;
  std::memcpy(&granule, &bytes[last + 6], 8);
  granule += 10000;
  std::memcpy(&bytes[last + 6], &granule, 8);
  std::memset(&bytes[last + 22], 0, 4);
  const uint32_t crc = ogg_crc(&bytes[last], bytes.size() - last);
  std::memcpy(&bytes[last + 22], &crc, 4);

  auto sample = decode_direct(bytes);
  ASSERT_NE(sample, nullptr);
  ASSERT_GT(sample->length, 22050);
  const auto* values = reinterpret_cast<const int16_t*>(sample->samples);
  EXPECT_GT(rms(values + 2000, 18000, 1), 5000.0);
  for (int32_t i = 22050 + 2000; i < sample->length; ++i) ASSERT_EQ(values[i], 0) << i;
}

namespace {

// Serves bytes, then fails with the given exception once limit bytes have gone.
template <typename Failure>
class failing_stream : public TStream {
 public:
  failing_stream(std::vector<uint8_t> bytes, int64_t limit)
      : bytes_(std::move(bytes)), limit_(limit) {}
  int64_t Pos() override { return pos_; }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  int64_t Seek(int64_t position) override {
    pos_ = std::clamp<int64_t>(position, 0, Size());
    return pos_;
  }
  int64_t Read(void* buffer, int64_t count) override {
    if (pos_ + count > limit_) throw Failure();
    const int64_t moved = std::min(count, Size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(moved));
    pos_ += moved;
    return moved;
  }

 private:
  std::vector<uint8_t> bytes_;
  int64_t limit_;
  int64_t pos_ = 0;
};

struct unexpected_failure : std::runtime_error {
  unexpected_failure() : std::runtime_error("unexpected") {}
};

}  // namespace

TEST(OggLoading, StreamReadErrorsMeanNoSampleAndOtherErrorsPropagate) {
  const auto& good = mono_tone();
  const int64_t half = static_cast<int64_t>(good.size() / 2);
  EXPECT_EQ(LoadAudioSample(std::make_shared<failing_stream<TStreamReadException>>(good, half)),
            nullptr);
  EXPECT_THROW(LoadAudioSample(std::make_shared<failing_stream<unexpected_failure>>(good, half)),
               unexpected_failure);
}
