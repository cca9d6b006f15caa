#pragma once
// Source fonts rasterised with FreeType 2: scalable (or bitmap) font files opened from a path,
// or from any stream url ("incbin::font.ttf") read whole into memory (embedded resources are
// read in place). Glyphs are rendered
// once, on first request, into 8-bit alpha pixmaps. Game thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/font.h"
#include "render/slab.h"

struct FT_FaceRec_;

class TFreeTypeGlyph : public TGlyph {
 public:
  std::shared_ptr<TPixmap> Pixels() override { return _pixmap; }
  float Advance() override { return _advance; }
  void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) override {
    x = _x, y = _y, width = _w, height = _h;
  }

  std::shared_ptr<TPixmap> _pixmap;  // PF_A8 coverage; none for blank glyphs (spaces)
  float _advance = 0.0f;             // whole pixels
  int32_t _x = 0, _y = 0, _w = 0, _h = 0;
};

class TFreeTypeFont : public TFont {
 public:
  TFreeTypeFont() = default;
  TFreeTypeFont(const TFreeTypeFont&) = delete;
  TFreeTypeFont& operator=(const TFreeTypeFont&) = delete;
  ~TFreeTypeFont() override;

  int32_t Style() override { return _style; }
  int32_t Height() override { return _height; }
  int32_t CountGlyphs() override { return _count; }
  // The face's glyph for a character code, minus one: -1 when the face lacks it.
  int32_t CharToGlyph(int32_t code) override;
  // Renders glyph index + 1 of the face on first request. A glyph FreeType cannot load is
  // blank with advance 0. nullptr outside [0, CountGlyphs()).
  std::shared_ptr<TGlyph> LoadGlyph(int32_t index) override;

  // A font at size pixels high, or the largest smaller size the face accepts; nullptr when
  // the source cannot be opened or is not a font. A source with "::" after its first character
  // is a stream url, anything else a file path.
  static std::shared_ptr<TFreeTypeFont> Load(const std::string& source, int32_t size,
                                             int32_t style);

  FT_FaceRec_* _ft_face = nullptr;
  int32_t _style = 0;
  int32_t _height = 0;   // line height, whole pixels
  int32_t _ascend = 0;   // whole pixels above the baseline
  int32_t _descend = 0;  // whole pixels, negative below the baseline
  int32_t _count = 0;    // glyphs of the face
  // Glyphs rendered so far, by index; grows only as far as the highest index asked for, as a
  // text face has thousands of glyphs of which a game shows a hundred.
  std::vector<std::shared_ptr<TFreeTypeGlyph>> _glyphs;
  TSlab<TFreeTypeGlyph> _glyph_slab;  // where new glyphs are made
  // The bytes of a face opened from a stream: a copy the font owns, or none when the face
  // reads an embedded resource in place (those live for the whole run).
  std::unique_ptr<uint8_t[]> _buf;
  int32_t _buf_size = 0;  // bytes the memory face reads
};

// Loads through TFreeTypeFont::Load; an empty source gives no font.
class TFreeTypeFontLoader : public TFontLoader {
 public:
  std::shared_ptr<TFont> LoadFont(const std::string& source, int32_t size, int32_t style) override;
};
