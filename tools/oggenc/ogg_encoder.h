#pragma once
// Encodes PCM into an Ogg Vorbis file held in memory with libvorbisenc. Used by the asset
// generator and by the tests that need Ogg files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ogg_encoding {
  int32_t channels = 1;  // 1 or 2
  int32_t hertz = 44100;
  float quality = 0.4f;  // libvorbisenc's VBR quality, -0.1 to 1.0
  // The logical stream's serial number: fixed, so the same input gives the same bytes.
  int32_t serial = 1;
  // A TITLE comment when not empty.
  std::string title;
};

// Interleaved samples in -1.0 to 1.0 (clamped), frames * channels of them. Empty on a
// setting libvorbisenc refuses.
std::vector<uint8_t> EncodeOggVorbis(const float* samples, size_t frames,
                                     const ogg_encoding& encoding);
