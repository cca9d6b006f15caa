#include "tests/audio/ogg_maker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/oggenc/ogg_encoder.h"

std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& interleaved, int32_t channels,
                               int32_t hertz) {
  std::vector<float> samples(interleaved.size());
  for (size_t i = 0; i < interleaved.size(); ++i) samples[i] = interleaved[i] / 32768.0f;
  ogg_encoding encoding;
  encoding.channels = channels;
  encoding.hertz = hertz;
  encoding.quality = 0.4f;
  encoding.serial = 1234;
  return EncodeOggVorbis(samples.data(), samples.size() / static_cast<size_t>(channels), encoding);
}

std::vector<int16_t> SineFrames(int32_t frames, int32_t channels, int32_t hertz, double frequency,
                                double peak) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
  for (int32_t i = 0; i < frames; ++i) {
    const double value = peak * std::sin(2.0 * M_PI * frequency * i / hertz);
    for (int32_t c = 0; c < channels; ++c) {
      out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(value));
    }
  }
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
