#include "render/freetype_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "render/pixmap.h"
#include "stream/stream.h"

namespace {

// The one FreeType library of the run, made on first use and never released (faces may live
// until exit). nullptr if FreeType could not start.
FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made) != 0) {
      std::fprintf(stderr, "render: FreeType could not be initialised\n");
      return static_cast<FT_Library>(nullptr);
    }
    return made;
  }();
  return library;
}

bool IsStreamUrl(const std::string& source) {
  const size_t separator = source.find("::");
  return separator != std::string::npos && separator > 0;
}

// The bytes behind a stream that serves a resource embedded in the executable: they live for
// the whole run, so a face can read them in place. nullptr for any other stream.
const uint8_t* EmbeddedBytes(const std::string& url, TStream& stream) {
  auto* ram = dynamic_cast<TRamStream*>(&stream);
  if (!ram || ram->Pos() != 0) return nullptr;
  const std::string path = url.substr(url.find("::") + 2);
  const uint8_t* embedded = EmbeddedData(path);
  if (!embedded || embedded != ram->_buf || EmbeddedSize(path) != ram->Size()) return nullptr;
  return embedded;
}

// Every byte the stream yields, into one buffer; false when a read fails or the stream holds
// more than a face can address.
bool ReadWholeStream(TStream& stream, std::unique_ptr<uint8_t[]>& buffer, int32_t& size) {
  std::vector<uint8_t> bytes;
  try {
    const int64_t known = stream.Size() - stream.Pos();
    if (known > 0 && known <= std::numeric_limits<int32_t>::max()) {
      bytes.reserve(static_cast<size_t>(known));
    }
    uint8_t chunk[16384];
    for (;;) {
      const int64_t got = stream.Read(chunk, sizeof chunk);
      if (got <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + got);
      if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
    }
  } catch (const std::exception&) {
    return false;
  }
  size = static_cast<int32_t>(bytes.size());
  buffer.reset(new uint8_t[bytes.size()]);  // left unset: filled next
  if (!bytes.empty()) std::memcpy(buffer.get(), bytes.data(), bytes.size());
  return true;
}

// Opens the face over the url's bytes: in place for an embedded resource, else from a copy
// the font keeps. False when the stream cannot be opened or read, is empty, or is no font.
bool OpenMemoryFace(FT_Library library, const std::string& url, TFreeTypeFont& font) {
  std::shared_ptr<TStream> stream = StreamOpen(url, 1, 0);
  if (!stream) return false;
  const uint8_t* bytes = EmbeddedBytes(url, *stream);
  bool ok = true;
  if (bytes) {
    const int64_t size = stream->Size();
    ok = size <= std::numeric_limits<int32_t>::max();
    font._buf_size = ok ? static_cast<int32_t>(size) : 0;
  } else {
    ok = ReadWholeStream(*stream, font._buf, font._buf_size);
    bytes = font._buf.get();
  }
  StreamClose(stream);
  if (!ok || font._buf_size <= 0) return false;
  if (FT_New_Memory_Face(library, bytes, font._buf_size, 0, &font._ft_face) != 0) {
    font._ft_face = nullptr;
    return false;
  }
  return true;
}

// Start of the bitmap's top row; FreeType's buffer begins at the bottom row when the pitch
// is negative.
const uint8_t* TopRow(const FT_Bitmap& bitmap) {
  const uint8_t* rows = bitmap.buffer;
  if (bitmap.pitch < 0) rows -= static_cast<ptrdiff_t>(bitmap.pitch) * (bitmap.rows - 1);
  return rows;
}

// The rendered bitmap as PF_A8 coverage inside a clear frame of border pixels on every side,
// built in one pass; nullptr for a pixel layout we cannot read.
std::shared_ptr<TPixmap> CoveragePixmap(const FT_Bitmap& bitmap, int32_t border) {
  const int32_t width = static_cast<int32_t>(bitmap.width);
  const int32_t height = static_cast<int32_t>(bitmap.rows);
  const bool gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.num_grays != 0;
  const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  const bool few_grays =
      bitmap.pixel_mode == FT_PIXEL_MODE_GRAY2 || bitmap.pixel_mode == FT_PIXEL_MODE_GRAY4;
  if (!gray && !mono && !few_grays) return nullptr;
  std::shared_ptr<TPixmap> pixmap = TPixmap::Create(width + 2 * border, height + 2 * border, PF_A8);
  if (!pixmap) return nullptr;
  if (border > 0) {
    std::memset(pixmap->pixels, 0,
                static_cast<size_t>(pixmap->pitch) * static_cast<size_t>(pixmap->height));
  }
  auto target_row = [&](int32_t y) {
    return pixmap->pixels + static_cast<ptrdiff_t>(y + border) * pixmap->pitch + border;
  };
  const uint8_t* source = TopRow(bitmap);
  if (gray) {
    for (int32_t y = 0; y < height; ++y) {
      std::memcpy(target_row(y), source + static_cast<ptrdiff_t>(y) * bitmap.pitch,
                  static_cast<size_t>(width));
    }
    return pixmap;
  }
  if (mono) {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = source + static_cast<ptrdiff_t>(y) * bitmap.pitch;
      uint8_t* target = target_row(y);
      for (int32_t x = 0; x < width; ++x) {
        target[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      }
    }
    return pixmap;
  }
  // Two- and four-bit grey strikes of bitmap fonts: widen to one byte per pixel, then scale
  // the levels up to 0-255.
  FT_Bitmap wide;
  FT_Bitmap_Init(&wide);
  std::shared_ptr<TPixmap> result;
  if (FT_Bitmap_Convert(Library(), &bitmap, &wide, 1) == 0 && wide.num_grays > 1) {
    const int32_t top = wide.num_grays - 1;
    const uint8_t* rows = TopRow(wide);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = rows + static_cast<ptrdiff_t>(y) * wide.pitch;
      uint8_t* target = target_row(y);
      for (int32_t x = 0; x < width; ++x) target[x] = static_cast<uint8_t>(row[x] * 255 / top);
    }
    result = pixmap;
  }
  FT_Bitmap_Done(Library(), &wide);
  return result;
}

}  // namespace

TFreeTypeFont::~TFreeTypeFont() {
  if (_ft_face) FT_Done_Face(_ft_face);
}

int32_t TFreeTypeFont::CharToGlyph(int32_t code) {
  if (!_ft_face || code < 0) return -1;
  return static_cast<int32_t>(FT_Get_Char_Index(_ft_face, static_cast<FT_ULong>(code))) - 1;
}

std::shared_ptr<TGlyph> TFreeTypeFont::LoadGlyph(int32_t index) {
  if (index < 0 || index >= CountGlyphs()) return nullptr;
  if (static_cast<size_t>(index) >= _glyphs.size()) _glyphs.resize(static_cast<size_t>(index) + 1);
  std::shared_ptr<TFreeTypeGlyph>& slot = _glyphs[static_cast<size_t>(index)];
  if (slot) return slot;
  slot = _glyph_slab.Make();
  TFreeTypeGlyph& glyph = *slot;

  if (FT_Load_Glyph(_ft_face, static_cast<FT_UInt>(index + 1), FT_LOAD_RENDER) != 0) return slot;
  const FT_GlyphSlot rendered = _ft_face->glyph;
  const FT_Bitmap& bitmap = rendered->bitmap;
  glyph._x = rendered->bitmap_left;
  glyph._y = _ascend - rendered->bitmap_top;
  glyph._w = static_cast<int32_t>(bitmap.width);
  glyph._h = static_cast<int32_t>(bitmap.rows);
  glyph._advance = static_cast<float>(rendered->advance.x >> 6);
  // A damaged bitmap font can report a size with no pixels behind it.
  if (bitmap.width == 0 || bitmap.rows == 0 || bitmap.buffer == nullptr) return slot;

  // A smooth font's glyph gets a clear one-pixel border that keeps filtered, mipmapped
  // sampling from smearing the edge ink; the rectangle grows to match so the ink stays where
  // FreeType put it.
  const int32_t border = (_style & FONT_SMOOTH) ? 1 : 0;
  std::shared_ptr<TPixmap> pixmap = CoveragePixmap(bitmap, border);
  if (pixmap && border > 0) {
    glyph._x -= border;
    glyph._y -= border;
    glyph._w += 2 * border;
    glyph._h += 2 * border;
  }
  glyph._pixmap = pixmap;
  return slot;
}

std::shared_ptr<TFreeTypeFont> TFreeTypeFont::Load(const std::string& source, int32_t size,
                                                   int32_t style) {
  FT_Library library = Library();
  if (!library || source.empty()) return nullptr;

  auto font = std::make_shared<TFreeTypeFont>();
  if (IsStreamUrl(source)) {
    if (!OpenMemoryFace(library, source, *font)) return nullptr;
  } else if (FT_New_Face(library, source.c_str(), 0, &font->_ft_face) != 0) {
    font->_ft_face = nullptr;
    return nullptr;
  }

  // Bitmap-only faces refuse sizes they have no strike for: settle for the largest below.
  int32_t pixels = size;
  while (pixels >= 1 && FT_Set_Pixel_Sizes(font->_ft_face, 0, static_cast<FT_UInt>(pixels)) != 0) {
    --pixels;
  }
  if (pixels < 1) return nullptr;

  const FT_Size_Metrics& metrics = font->_ft_face->size->metrics;
  font->_height = static_cast<int32_t>(metrics.height >> 6);
  font->_ascend = static_cast<int32_t>(metrics.ascender >> 6);
  font->_descend = static_cast<int32_t>(metrics.descender >> 6);
  font->_style = style;
  if (font->_ft_face->num_glyphs > 0) {
    font->_count = static_cast<int32_t>(
        std::min<FT_Long>(font->_ft_face->num_glyphs, std::numeric_limits<int32_t>::max()));
  }
  return font;
}

std::shared_ptr<TFont> TFreeTypeFontLoader::LoadFont(const std::string& source, int32_t size,
                                                     int32_t style) {
  if (source.empty()) return nullptr;
  return TFreeTypeFont::Load(source, size, style);
}
