// Feeds arbitrary bytes to the sample loader chain. Any sample it returns must have a
// usable layout and be fully addressable.

#include <cstddef>
#include <cstdint>

#include "audio/sample.h"
#include "stream/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto stream = TRamStream::Create(data, static_cast<int64_t>(size), 1, 0);
  std::shared_ptr<TAudioSample> sample = LoadAudioSample(std::shared_ptr<TStream>(stream));
  if (!sample) return 0;
  const int32_t frame_bytes = SampleBytesPerFrame(sample->format);
  if (frame_bytes == 0 || sample->length < 0 || sample->hertz <= 0 ||
      sample->capacity != sample->length * frame_bytes) {
    __builtin_trap();
  }
  uint32_t sum = 0;
  for (int32_t i = 0; i < sample->capacity; i += 997) sum += sample->samples[i];
  if (sample->capacity > 0) sum += sample->samples[sample->capacity - 1];
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
