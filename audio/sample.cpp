// PCM samples, format conversion through stereo 16-bit, the loader chain and the
// plain PCM WAV loader.

#include "audio/sample.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "stream/stream.h"

namespace {

constexpr int32_t kBytesPerFrame[] = {0, 1, 2, 2, 2, 4, 4};
constexpr int32_t kChannels[] = {0, 1, 1, 1, 2, 2, 2};

bool known_format(int32_t format) {
  return format >= 1 && format <= 6;
}

int16_t from_le(const uint8_t* bytes) {
  return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
}
int16_t from_be(const uint8_t* bytes) {
  return static_cast<int16_t>((bytes[0] << 8) | bytes[1]);
}
void to_le(uint8_t* bytes, int32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}
void to_be(uint8_t* bytes, int32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 8);
  bytes[1] = static_cast<uint8_t>(value);
}
// An unsigned 8-bit value widened so that 255 becomes 0x7FFF and 0 becomes 0x8000.
int16_t widen(uint8_t value) {
  return static_cast<int16_t>((((value - 128) & 0xFF) << 8) | value);
}
uint8_t narrow(int32_t value) {
  return static_cast<uint8_t>(((value + 32768) & 0xFFFF) / 257);
}

// Every frame as a left, right pair of signed 16-bit values.
std::vector<int16_t> to_stereo16(const TAudioSample& sample) {
  std::vector<int16_t> pairs(static_cast<size_t>(sample.length) * 2);
  const uint8_t* in = sample.samples;
  for (int32_t i = 0; i < sample.length; ++i) {
    int16_t left = 0;
    int16_t right = 0;
    switch (sample.format) {
      case kFormatMono8:
        left = right = widen(in[i]);
        break;
      case kFormatMono16LE:
        left = right = from_le(in + 2 * i);
        break;
      case kFormatMono16BE:
        left = right = from_be(in + 2 * i);
        break;
      case kFormatStereo8:
        left = widen(in[2 * i]);
        right = widen(in[2 * i + 1]);
        break;
      case kFormatStereo16LE:
        left = from_le(in + 4 * i);
        right = from_le(in + 4 * i + 2);
        break;
      case kFormatStereo16BE:
        left = from_be(in + 4 * i);
        right = from_be(in + 4 * i + 2);
        break;
    }
    pairs[2 * i] = left;
    pairs[2 * i + 1] = right;
  }
  return pairs;
}

void from_stereo16(const std::vector<int16_t>& pairs, TAudioSample& target) {
  uint8_t* out = target.samples;
  for (int32_t i = 0; i < target.length; ++i) {
    const int32_t left = pairs[2 * i];
    const int32_t right = pairs[2 * i + 1];
    const int32_t middle = (left + right) / 2;
    switch (target.format) {
      case kFormatMono8:
        out[i] = static_cast<uint8_t>((middle + 32768) / 257);
        break;
      case kFormatMono16LE:
        to_le(out + 2 * i, middle);
        break;
      case kFormatMono16BE:
        to_be(out + 2 * i, middle);
        break;
      case kFormatStereo8:
        out[2 * i] = narrow(left);
        out[2 * i + 1] = narrow(right);
        break;
      case kFormatStereo16LE:
        to_le(out + 4 * i, left);
        to_le(out + 4 * i + 2, right);
        break;
      case kFormatStereo16BE:
        to_be(out + 4 * i, left);
        to_be(out + 4 * i + 2, right);
        break;
    }
  }
}

TAudioSampleLoader* loader_head = nullptr;

// The loaders this program has, made on first use: Ogg Vorbis first, so the WAV
// loader heads the chain.
struct builtin_loaders {
  TAudioSampleLoaderOGG ogg;
  TAudioSampleLoaderWAV wav;
};

void ensure_builtin_loaders() {
  static builtin_loaders loaders;
}

}  // namespace

int32_t SampleBytesPerFrame(int32_t format) {
  return known_format(format) ? kBytesPerFrame[format] : 0;
}

int32_t SampleChannels(int32_t format) {
  return known_format(format) ? kChannels[format] : 0;
}

TAudioSample::~TAudioSample() {
  if (capacity >= 0) std::free(samples);
}

std::shared_ptr<TAudioSample> TAudioSample::Create(int32_t length, int32_t hertz, int32_t format) {
  if (!known_format(format) || length < 0) return nullptr;
  const int64_t bytes = static_cast<int64_t>(length) * kBytesPerFrame[format];
  if (bytes > INT32_MAX) return nullptr;
  auto sample = std::make_shared<TAudioSample>();
  sample->samples = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes > 0 ? bytes : 1)));
  if (sample->samples == nullptr) return nullptr;
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = static_cast<int32_t>(bytes);
  return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::CreateStatic(uint8_t* samples, int32_t length,
                                                         int32_t hertz, int32_t format) {
  auto sample = std::make_shared<TAudioSample>();
  sample->samples = samples;
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = -1;
  return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::Copy() const {
  auto copy = Create(length, hertz, format);
  if (copy == nullptr) return nullptr;
  if (copy->capacity > 0) std::memcpy(copy->samples, samples, static_cast<size_t>(copy->capacity));
  return copy;
}

std::shared_ptr<TAudioSample> TAudioSample::Convert(int32_t to_format) const {
  if (!known_format(format) || !known_format(to_format)) {
    throw std::runtime_error("Unimplemented sample format conversion");
  }
  if (to_format == format) return Copy();
  auto target = Create(length, hertz, to_format);
  if (target == nullptr) return nullptr;
  from_stereo16(to_stereo16(*this), *target);
  return target;
}

// ---------------------------------------------------------------------------
// The loader chain

TAudioSampleLoader::TAudioSampleLoader() {
  _succ = loader_head;
  loader_head = this;
}

TAudioSampleLoader::~TAudioSampleLoader() {
  for (TAudioSampleLoader** link = &loader_head; *link != nullptr; link = &(*link)->_succ) {
    if (*link == this) {
      *link = _succ;
      break;
    }
  }
}

namespace {

std::shared_ptr<TAudioSample> load_opened(const std::shared_ptr<TStream>& stream) {
  if (stream == nullptr) return nullptr;
  struct closer {
    const std::shared_ptr<TStream>& stream;
    ~closer() { stream->Close(); }
  } close_at_end{stream};

  const int64_t start = stream->Pos();
  if (start < 0) throw std::runtime_error("Stream is not seekable");
  ensure_builtin_loaders();
  for (TAudioSampleLoader* loader = loader_head; loader != nullptr; loader = loader->_succ) {
    stream->Seek(start);
    try {
      if (auto sample = loader->LoadAudioSample(stream)) return sample;
    } catch (const TStreamException&) {
      // The data is not this loader's kind; the next one may know it.
    }
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<TAudioSample> LoadAudioSample(const std::string& url) {
  return load_opened(StreamOpen(url, 1, 0));
}

std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) {
  if (stream == nullptr) return nullptr;
  return load_opened(StreamOpen(stream, 1, 0));
}

// ---------------------------------------------------------------------------
// WAV

namespace {

uint32_t le32(const uint8_t* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
uint16_t le16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool read_exactly(TStream& stream, void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t moved = stream.Read(out + done, count - done);
    if (moved <= 0) return false;
    done += moved;
  }
  return true;
}

}  // namespace

std::shared_ptr<TAudioSample> TAudioSampleLoaderWAV::LoadAudioSample(
    const std::shared_ptr<TStream>& stream) {
  uint8_t header[12];
  if (!read_exactly(*stream, header, 12)) return nullptr;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
    return nullptr;
  }
  int32_t format = 0;
  int32_t hertz = 0;
  for (;;) {
    uint8_t chunk[8];
    if (!read_exactly(*stream, chunk, 8)) return nullptr;
    const uint32_t size = le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[16];
      if (size < 16 || !read_exactly(*stream, fmt, 16)) return nullptr;
      const uint16_t encoding = le16(fmt);
      const uint16_t channels = le16(fmt + 2);
      const uint16_t bits = le16(fmt + 14);
      hertz = static_cast<int32_t>(le32(fmt + 4));
      if (encoding != 1 || hertz <= 0) return nullptr;
      if (channels == 1 && bits == 8) format = kFormatMono8;
      if (channels == 1 && bits == 16) format = kFormatMono16LE;
      if (channels == 2 && bits == 8) format = kFormatStereo8;
      if (channels == 2 && bits == 16) format = kFormatStereo16LE;
      if (format == 0) return nullptr;
      const int64_t rest = static_cast<int64_t>(size) - 16 + (size & 1);
      if (rest > 0 && stream->Seek(stream->Pos() + rest) < 0) return nullptr;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (format == 0) return nullptr;
      // A data chunk that claims more than the file holds is cut to what is there.
      const int64_t available = stream->Size() - stream->Pos();
      const int64_t bytes = std::min<int64_t>(size, available);
      const int32_t frame_bytes = SampleBytesPerFrame(format);
      if (bytes / frame_bytes > INT32_MAX) return nullptr;
      auto sample = TAudioSample::Create(static_cast<int32_t>(bytes / frame_bytes), hertz, format);
      if (sample == nullptr) return nullptr;
      if (!read_exactly(*stream, sample->samples, sample->capacity)) return nullptr;
      return sample;
    } else {
      const int64_t skip = static_cast<int64_t>(size) + (size & 1);
      const int64_t target = stream->Pos() + skip;
      if (target > stream->Size() || stream->Seek(target) != target) return nullptr;
    }
  }
}
