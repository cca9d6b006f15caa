#pragma once
// PNG files made in memory with libpng for the loader tests.

#include <cstdint>
#include <memory>
#include <vector>

class TStream;

struct PngLayout {
  uint32_t width = 1;
  uint32_t height = 1;
  int colour_type = 2;  // PNG_COLOR_TYPE_RGB
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<uint8_t> samples;       // packed rows in the PNG's own sample layout
  std::vector<uint8_t> palette;       // RGB triples for palette images
  std::vector<uint8_t> transparency;  // tRNS entries for palette images
};

// The encoded file; empty if libpng refused the description.
std::vector<uint8_t> EncodePng(const PngLayout& layout);

// A read-only stream over bytes that must outlive it.
std::shared_ptr<TStream> MemoryStream(const std::vector<uint8_t>& bytes);
