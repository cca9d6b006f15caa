#pragma once
// Peer: the bare library loops a developer would write instead of our loaders, over bytes
// already in memory. Each returns a figure of what it decoded (0 on failure).

#include <cstdint>
#include <vector>

namespace bench {

// libpng: decodes the image into rows in its own format; returns width x height.
int64_t bare_png_decode(const std::vector<uint8_t>& bytes);
// libvorbisfile: decodes every frame to 16-bit little-endian PCM; returns the bytes.
int64_t bare_ogg_decode(const std::vector<uint8_t>& bytes);
// FreeType: opens the face at size pixels and renders characters 32..126 into copied
// 8-bit bitmaps; returns the pixels copied.
int64_t bare_font_glyphs(const std::vector<uint8_t>& bytes, int32_t size);

}  // namespace bench
