#pragma once
// Makes Ogg Vorbis files in memory with libvorbisenc, for tests and benchmarks.

#include <cstdint>
#include <string>
#include <vector>

// Encodes interleaved 16-bit frames (channels 1 or 2) at quality 0.4.
std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& interleaved, int32_t channels,
                               int32_t hertz);
// frames of a sine tone at frequency Hz and the given peak, on every channel.
std::vector<int16_t> SineFrames(int32_t frames, int32_t channels, int32_t hertz, double frequency,
                                double peak);
// Writes bytes to path; true on success.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
