// Ogg Vorbis through libvorbisfile, read through the caller's stream. The whole
// file is decoded at load time into one 16-bit little-endian sample.

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "audio/sample.h"
#include "stream/stream.h"

namespace {

// A declared length above this is taken as corrupt rather than allocated
// (about 25 minutes of 44100 Hz stereo).
constexpr int64_t kMaxDecodedBytes = int64_t{256} << 20;

struct ogg_source {
  TStream* stream;
  // An exception raised by the stream inside a callback, rethrown once the decoder
  // has been freed (exceptions must not cross the C library).
  std::exception_ptr failure;
};

size_t read_callback(void* buffer, size_t size, size_t count, void* source) {
  auto* ogg = static_cast<ogg_source*>(source);
  if (size == 0 || count == 0) return 0;
  const int64_t wanted = static_cast<int64_t>(size * count);
  int64_t done = 0;
  try {
    while (done < wanted) {
      const int64_t moved = ogg->stream->Read(static_cast<char*>(buffer) + done, wanted - done);
      if (moved <= 0) break;
      done += moved;
    }
  } catch (...) {
    ogg->failure = std::current_exception();
    errno = EIO;
    return 0;
  }
  return static_cast<size_t>(done) / size;
}

int seek_callback(void* source, ogg_int64_t offset, int origin) {
  auto* ogg = static_cast<ogg_source*>(source);
  try {
    int64_t target;
    switch (origin) {
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = ogg->stream->Pos() + offset;
        break;
      case SEEK_END:
        target = ogg->stream->Size() + offset;
        break;
      default:
        return -1;
    }
    if (target < 0) return -1;
    return ogg->stream->Seek(target) == target ? 0 : -1;
  } catch (...) {
    ogg->failure = std::current_exception();
    return -1;
  }
}

int close_callback(void*) {
  return 0;
}

long tell_callback(void* source) {
  auto* ogg = static_cast<ogg_source*>(source);
  try {
    return static_cast<long>(ogg->stream->Pos());
  } catch (...) {
    ogg->failure = std::current_exception();
    return -1;
  }
}

}  // namespace

namespace {

// Reads the open decoder's first logical stream to its end; nullptr on a decode error
// or an unusable layout.
std::shared_ptr<TAudioSample> decode(OggVorbis_File& file) {
  const ogg_int64_t frames = ov_pcm_total(&file, 0);
  const vorbis_info* info = ov_info(&file, -1);
  if (frames < 0 || info == nullptr || info->channels < 1 || info->channels > 2 ||
      info->rate <= 0 || info->rate > INT32_MAX) {
    return nullptr;
  }
  const int32_t channels = info->channels;
  const int64_t total_bytes = frames * 2 * channels;
  if (total_bytes > kMaxDecodedBytes) return nullptr;
  auto sample = TAudioSample::Create(static_cast<int32_t>(frames), static_cast<int32_t>(info->rate),
                                     channels == 1 ? kFormatMono16LE : kFormatStereo16LE);
  if (sample == nullptr) return nullptr;

  auto* out = reinterpret_cast<char*>(sample->samples);
  int64_t filled = 0;
  while (filled < total_bytes) {
    int bitstream = 0;
    const int want = static_cast<int>(std::min<int64_t>(total_bytes - filled, 65536));
    const long got = ov_read(&file, out + filled, want, 0, 2, 1, &bitstream);
    if (got == 0) break;  // the data ended before its declared length
    if (got < 0) return nullptr;
    // A chained file whose later part changes layout cannot go into one sample.
    const vorbis_info* link = ov_info(&file, bitstream);
    if (link == nullptr || link->channels != channels) return nullptr;
    filled += got;
  }
  // A file that ends early keeps its declared length, the rest silent.
  std::memset(out + filled, 0, static_cast<size_t>(total_bytes - filled));
  return sample;
}

}  // namespace

std::shared_ptr<TAudioSample> TAudioSampleLoaderOGG::LoadAudioSample(
    const std::shared_ptr<TStream>& stream) {
  if (stream == nullptr) return nullptr;
  ogg_source source{stream.get(), nullptr};
  const ov_callbacks callbacks{read_callback, seek_callback, close_callback, tell_callback};
  OggVorbis_File file;
  std::shared_ptr<TAudioSample> sample;
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) == 0) {
    sample = decode(file);
    ov_clear(&file);
  }
  if (source.failure) std::rethrow_exception(source.failure);
  return sample;
}
