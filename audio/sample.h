#pragma once
// Uncompressed PCM samples in six fixed layouts, and the chain of loaders that make
// them from streams (Ogg Vorbis through libvorbisfile; plain PCM WAV). Samples are
// decoded whole at load time. Game thread only.

#include <cstdint>
#include <memory>
#include <string>

class TStream;

// Layout codes of TAudioSample::format.
constexpr int32_t kFormatMono8 = 1;       // unsigned 8-bit, 128 = silence
constexpr int32_t kFormatMono16LE = 2;    // signed 16-bit little-endian
constexpr int32_t kFormatMono16BE = 3;    // signed 16-bit big-endian
constexpr int32_t kFormatStereo8 = 4;     // unsigned 8-bit, left then right
constexpr int32_t kFormatStereo16LE = 5;  // signed 16-bit little-endian, left then right
constexpr int32_t kFormatStereo16BE = 6;  // signed 16-bit big-endian, left then right

// Bytes per frame and channels of a format code; 0 for any code outside 1..6.
int32_t SampleBytesPerFrame(int32_t format);
int32_t SampleChannels(int32_t format);

class TAudioSample {
 public:
  TAudioSample() = default;
  ~TAudioSample();  // frees samples when capacity is 0 or more
  TAudioSample(const TAudioSample&) = delete;
  TAudioSample& operator=(const TAudioSample&) = delete;

  // length x bytes-per-frame bytes, uncleared; capacity is that byte count. nullptr for
  // a bad format or a negative length.
  static std::shared_ptr<TAudioSample> Create(int32_t length, int32_t hertz, int32_t format);
  // Wraps caller memory (which must outlive the sample); capacity -1.
  static std::shared_ptr<TAudioSample> CreateStatic(uint8_t* samples, int32_t length, int32_t hertz,
                                                    int32_t format);
  // A new sample owning a copy of the bytes.
  std::shared_ptr<TAudioSample> Copy() const;
  // A new sample in the given format, converted through stereo big-endian. Throws
  // std::runtime_error("Unimplemented sample format conversion") for a bad code.
  std::shared_ptr<TAudioSample> Convert(int32_t to_format) const;

  uint8_t* samples = nullptr;  // the PCM data
  int32_t length = 0;          // frames (one value per channel each)
  int32_t hertz = 0;           // frames per second
  int32_t format = 0;          // layout code above
  int32_t capacity = -1;       // bytes owned, or -1 when the memory is someone else's
};

// One link of the loader chain. Constructing a loader links it in at the front;
// destroying it takes it out.
class TAudioSampleLoader {
 public:
  TAudioSampleLoader();
  virtual ~TAudioSampleLoader();
  TAudioSampleLoader(const TAudioSampleLoader&) = delete;
  TAudioSampleLoader& operator=(const TAudioSampleLoader&) = delete;

  // The sample in stream from its current position, or nullptr when this loader does
  // not recognise the data. May throw stream exceptions (taken as "not recognised").
  virtual std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) = 0;

  TAudioSampleLoader* _succ = nullptr;
};

// Decodes a whole Ogg Vorbis file into a 16-bit sample: format 2 for one channel,
// else 5. nullptr for data that is not Ogg Vorbis or fails to decode.
class TAudioSampleLoaderOGG : public TAudioSampleLoader {
 public:
  std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) override;
};

// Plain PCM WAV (8 or 16 bits, mono or stereo). Declines anything not starting "RIFF".
class TAudioSampleLoaderWAV : public TAudioSampleLoader {
 public:
  std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) override;
};

// Opens url (path or "protocol::path") or the given stream, asks each loader in turn
// from the front of the chain (the WAV loader, then Ogg Vorbis) and closes the stream.
// nullptr when it cannot be opened or no loader accepts. Throws
// std::runtime_error("Stream is not seekable") for a stream that cannot tell its position.
std::shared_ptr<TAudioSample> LoadAudioSample(const std::string& url);
std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream);
