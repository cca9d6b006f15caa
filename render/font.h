#pragma once
// Image fonts and text. A source font (FreeType or the built-in 8 x 16 bitmap) supplies glyph
// shapes; an image font turns each glyph into a TImage the first time it is needed and draws
// text glyph by glyph through the current render state's matrix, colour and blend.
// Game thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/slab.h"

class TImage;
class TPixmap;

// Style bit that makes glyphs anti-aliased with a one-pixel border and filtered, mipmapped
// images. Other style bits are only stored and returned by Style().
constexpr int32_t FONT_SMOOTH = 4;

// One glyph of a source font: its picture (an alpha pixmap, or none for blank glyphs),
// pen advance in pixels, and picture rectangle relative to the pen (y down from the line top).
class TGlyph {
 public:
  virtual ~TGlyph() = default;
  virtual std::shared_ptr<TPixmap> Pixels() = 0;
  virtual float Advance() = 0;
  virtual void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) = 0;
};

// A source of glyph shapes at one size.
class TFont {
 public:
  virtual ~TFont() = default;
  virtual int32_t Style() = 0;
  virtual int32_t Height() = 0;
  virtual int32_t CountGlyphs() = 0;
  // Glyph index for a character code, negative if the font has none.
  virtual int32_t CharToGlyph(int32_t code) = 0;
  // The glyph for an index in [0, CountGlyphs()); never none for a valid index.
  virtual std::shared_ptr<TGlyph> LoadGlyph(int32_t index) = 0;
};

// A link in the font loader chain. New loaders go to the head of the chain.
class TFontLoader {
 public:
  virtual ~TFontLoader() = default;
  // A font for source (a file path or a stream url such as "incbin::font.ttf") at size pixels,
  // or nullptr if this loader cannot load it.
  virtual std::shared_ptr<TFont> LoadFont(const std::string& source, int32_t size,
                                          int32_t style) = 0;

  std::shared_ptr<TFontLoader> _succ;
};

// Puts loader at the head of the chain (the FreeType loader is registered on first use).
void AddFontLoader(std::shared_ptr<TFontLoader> loader);
// Asks each loader in chain order; the first font returned wins, nullptr if none.
std::shared_ptr<TFont> LoadFontFromChain(const std::string& source, int32_t size, int32_t style);

// A glyph of an image font: image (none for blank glyphs), advance and rectangle.
class TImageGlyph {
 public:
  std::shared_ptr<TImage> Pixels() const { return _image; }
  float Advance() const { return _advance; }
  void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) const {
    x = _x, y = _y, width = _w, height = _h;
  }

  std::shared_ptr<TImage> _image;
  float _advance = 0.0f;
  int32_t _x = 0, _y = 0, _w = 0, _h = 0;
};

class TImageFont {
 public:
  // Style and height of the source font (0 and 16 for the built-in font).
  int32_t Style();
  int32_t Height();
  int32_t CountGlyphs();
  // Glyph index for a character code, negative if the font has none.
  int32_t CharToGlyph(int32_t code);
  // The glyph for index in [0, CountGlyphs()), built on first request; nullptr out of range.
  std::shared_ptr<TImageGlyph> LoadGlyph(int32_t index);
  // Draws text with the pen at (x, y); (ix, jx) is the pen direction, (iy, jy) the down axis.
  void Draw(const std::string& text, float x, float y, float ix, float iy, float jx, float jy);

  // An image font over the first source font the loader chain gives, or nullptr.
  static std::shared_ptr<TImageFont> Load(const std::string& source, int32_t size, int32_t style);
  // A new built-in 8 x 16 font for codes 32-127.
  static std::shared_ptr<TImageFont> CreateDefault();

  std::shared_ptr<TFont> _src_font;
  std::vector<std::shared_ptr<TImageGlyph>> _glyphs;
  int32_t _imageFlags = 0;
  // Where new glyphs and their images are made.
  TSlab<TImageGlyph> _glyph_slab;
  TSlab<TImage> _image_slab;
};

// The built-in font, created on the first call and kept for the whole run.
std::shared_ptr<TImageFont> DefaultImageFont();

// TImageFont::Load; nullptr if no loader can load source (the current font is unchanged).
std::shared_ptr<TImageFont> LoadImageFont(const std::string& source, int32_t size, int32_t style);
// Makes font the current render state's font; nullptr selects the built-in font.
// Does nothing when no render state is current.
void SetImageFont(std::shared_ptr<TImageFont> font);
// The current render state's font (the built-in font when no render state is current).
std::shared_ptr<TImageFont> GetImageFont();
// Draws text with its top-left at (x, y), through the current origin, handle, matrix, colour
// and blend.
void DrawText(const std::string& text, float x, float y);
// Unscaled width in pixels: the sum of the glyph advances, truncated after each glyph.
int32_t TextWidth(const std::string& text);
// The current font's height; the text is not looked at.
int32_t TextHeight(const std::string& text);
