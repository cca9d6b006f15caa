#pragma once
// The bitmap of the built-in console font: 96 glyphs of 8 x 16 pixels for character codes
// 32-127, stored as 16 rows of 96 bytes. Byte j of row i is row i of glyph j (code 32 + j),
// least significant bit = leftmost pixel.

#include <array>
#include <cstdint>

constexpr int32_t kBuiltinGlyphWidth = 8;
constexpr int32_t kBuiltinGlyphHeight = 16;
constexpr int32_t kBuiltinGlyphCount = 96;
constexpr int32_t kBuiltinFirstCode = 32;
constexpr int32_t kBuiltinFontBytes = kBuiltinGlyphHeight * kBuiltinGlyphCount;  // 1536

const std::array<uint8_t, kBuiltinFontBytes>& BuiltinFontBitmap();
