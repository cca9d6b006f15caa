#include "render/font.h"

#include "render/builtin_font.h"
#include "render/freetype_font.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "render/render2d.h"
#include "support/truncate.h"

namespace {

std::shared_ptr<TFontLoader>& ChainHead() {
  static std::shared_ptr<TFontLoader> head = std::make_shared<TFreeTypeFontLoader>();
  return head;
}

// Text is a sequence of single-byte character codes 0-255.
int32_t CodeOf(char character) {
  return static_cast<unsigned char>(character);
}

// The font text operations use: the current record's, or the built-in one.
std::shared_ptr<TImageFont> ActiveFont() {
  std::shared_ptr<TRender2DGraphics> current = TRender2DGraphics::Current();
  if (current && current->image_font) return current->image_font;
  return DefaultImageFont();
}

}  // namespace

void AddFontLoader(std::shared_ptr<TFontLoader> loader) {
  if (!loader) return;
  loader->_succ = ChainHead();
  ChainHead() = std::move(loader);
}

std::shared_ptr<TFont> LoadFontFromChain(const std::string& source, int32_t size, int32_t style) {
  for (TFontLoader* loader = ChainHead().get(); loader; loader = loader->_succ.get()) {
    if (std::shared_ptr<TFont> font = loader->LoadFont(source, size, style)) return font;
  }
  return nullptr;
}

int32_t TImageFont::Style() {
  return _src_font ? _src_font->Style() : 0;
}

int32_t TImageFont::Height() {
  return _src_font ? _src_font->Height() : kBuiltinGlyphHeight;
}

int32_t TImageFont::CountGlyphs() {
  return static_cast<int32_t>(_glyphs.size());
}

int32_t TImageFont::CharToGlyph(int32_t code) {
  if (_src_font) return _src_font->CharToGlyph(code);
  if (code >= kBuiltinFirstCode && code < kBuiltinFirstCode + kBuiltinGlyphCount) {
    return code - kBuiltinFirstCode;
  }
  return -1;
}

std::shared_ptr<TImageGlyph> TImageFont::LoadGlyph(int32_t index) {
  if (index < 0 || index >= CountGlyphs()) return nullptr;
  std::shared_ptr<TImageGlyph>& slot = _glyphs[static_cast<size_t>(index)];
  if (slot || !_src_font) return slot;

  std::shared_ptr<TImageGlyph> glyph = _glyph_slab.Make();
  if (std::shared_ptr<TGlyph> source = _src_font->LoadGlyph(index)) {
    glyph->_advance = source->Advance();
    source->GetRect(glyph->_x, glyph->_y, glyph->_w, glyph->_h);
    std::shared_ptr<TPixmap> pixels = source->Pixels();
    if (std::shared_ptr<TPixmap> copy = pixels ? pixels->Copy() : nullptr) {
      glyph->_image = _image_slab.Make();
      glyph->_image->Reset(copy->width, copy->height, 1, _imageFlags, 0, 0, 0);
      glyph->_image->SetPixmap(0, std::move(copy));
    }
  }
  slot = glyph;
  return slot;
}

void TImageFont::Draw(const std::string& text, float x, float y, float ix, float iy, float jx,
                      float jy) {
  for (char character : text) {
    const int32_t index = CharToGlyph(CodeOf(character));
    if (index < 0) continue;
    std::shared_ptr<TImageGlyph> glyph = LoadGlyph(index);
    if (!glyph) continue;
    const std::shared_ptr<TImage>& image = glyph->_image;
    if (image && image->FrameCount() > 0) {
      if (std::shared_ptr<TImageFrame> frame = image->Frame(0)) {
        const float gx = static_cast<float>(glyph->_x);
        const float gy = static_cast<float>(glyph->_y);
        frame->Draw(0.0f, 0.0f, static_cast<float>(image->width), static_cast<float>(image->height),
                    x + gx * ix + gy * iy, y + gx * jx + gy * jy);
      }
    }
    x += ix * glyph->_advance;
    y += jx * glyph->_advance;
  }
}

std::shared_ptr<TImageFont> TImageFont::Load(const std::string& source, int32_t size,
                                             int32_t style) {
  std::shared_ptr<TFont> source_font = LoadFontFromChain(source, size, style);
  if (!source_font) return nullptr;
  auto font = std::make_shared<TImageFont>();
  font->_src_font = source_font;
  const int32_t count = source_font->CountGlyphs();
  if (count > 0) font->_glyphs.resize(static_cast<size_t>(count));
  font->_imageFlags = (style & FONT_SMOOTH) ? (IMAGE_FILTERED | IMAGE_MIPMAPPED) : 0;
  return font;
}

std::shared_ptr<TImageFont> TImageFont::CreateDefault() {
  const std::array<uint8_t, kBuiltinFontBytes>& bitmap = BuiltinFontBitmap();
  const int32_t strip_width = kBuiltinGlyphWidth * kBuiltinGlyphCount;
  std::shared_ptr<TPixmap> strip = TPixmap::Create(strip_width, kBuiltinGlyphHeight, PF_RGBA8888);
  if (!strip) return nullptr;
  for (int32_t row = 0; row < kBuiltinGlyphHeight; ++row) {
    uint8_t* pixel = strip->PixelPtr(0, row);
    for (int32_t column = 0; column < strip_width; ++column, pixel += 4) {
      const uint8_t bits = bitmap[static_cast<size_t>(row * kBuiltinGlyphCount + column / 8)];
      const uint8_t value = (bits >> (column % 8)) & 1 ? 255 : 0;
      pixel[0] = pixel[1] = pixel[2] = pixel[3] = value;
    }
  }

  auto font = std::make_shared<TImageFont>();
  font->_glyphs.resize(kBuiltinGlyphCount);
  for (int32_t index = 0; index < kBuiltinGlyphCount; ++index) {
    auto glyph = std::make_shared<TImageGlyph>();
    glyph->_advance = static_cast<float>(kBuiltinGlyphWidth);
    glyph->_w = kBuiltinGlyphWidth;
    glyph->_h = kBuiltinGlyphHeight;
    std::shared_ptr<TPixmap> cell =
        strip->Window(index * kBuiltinGlyphWidth, 0, kBuiltinGlyphWidth, kBuiltinGlyphHeight);
    glyph->_image = TImage::Load(cell->Copy(), 0, 0, 0, 0);
    font->_glyphs[static_cast<size_t>(index)] = glyph;
  }
  return font;
}

std::shared_ptr<TImageFont> DefaultImageFont() {
  static const std::shared_ptr<TImageFont> font = TImageFont::CreateDefault();
  return font;
}

std::shared_ptr<TImageFont> LoadImageFont(const std::string& source, int32_t size, int32_t style) {
  return TImageFont::Load(source, size, style);
}

void SetImageFont(std::shared_ptr<TImageFont> font) {
  std::shared_ptr<TRender2DGraphics> current = TRender2DGraphics::Current();
  if (!current) return;
  current->image_font = font ? std::move(font) : DefaultImageFont();
}

std::shared_ptr<TImageFont> GetImageFont() {
  return ActiveFont();
}

void DrawText(const std::string& text, float x, float y) {
  std::shared_ptr<TRender2DGraphics> current = TRender2DGraphics::Current();
  if (!current) return;
  std::shared_ptr<TImageFont> font = current->image_font ? current->image_font : DefaultImageFont();
  const float ix = current->tform_ix, iy = current->tform_iy;
  const float jx = current->tform_jx, jy = current->tform_jy;
  const float hx = current->handle_x, hy = current->handle_y;
  const float pen_x = x + current->origin_x + hx * ix + hy * iy;
  const float pen_y = y + current->origin_y + hx * jx + hy * jy;
  font->Draw(text, pen_x, pen_y, ix, iy, jx, jy);
}

int32_t TextWidth(const std::string& text) {
  std::shared_ptr<TImageFont> font = ActiveFont();
  float width = 0.0f;
  for (char character : text) {
    const int32_t index = font->CharToGlyph(CodeOf(character));
    if (index < 0) continue;
    if (std::shared_ptr<TImageGlyph> glyph = font->LoadGlyph(index)) {
      width = static_cast<float>(TruncateToInt(width + glyph->_advance));
    }
  }
  return TruncateToInt(width);
}

int32_t TextHeight(const std::string&) {
  return ActiveFont()->Height();
}
