// Feeds arbitrary bytes to the font loader chain as a font read from memory, then builds the
// glyphs text would use. Every glyph the font gives must be a consistent picture.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/font.h"
#include "render/image.h"
#include "render/pixmap.h"
#include "tests/fuzz/fuzz_stream_url.h"

namespace {

void check_glyph(TImageFont& font, int32_t index) {
  std::shared_ptr<TImageGlyph> glyph = font.LoadGlyph(index);
  if (!glyph) __builtin_trap();  // every index below CountGlyphs() has a glyph
  int32_t x = 0, y = 0, width = 0, height = 0;
  glyph->GetRect(x, y, width, height);
  const std::shared_ptr<TImage>& image = glyph->Pixels();
  if (!image) return;
  if (image->FrameCount() != 1 || image->width <= 0 || image->height <= 0) __builtin_trap();
  std::shared_ptr<TPixmap> pixels = image->Lock(0, true, false);
  if (!pixels || pixels->width != image->width || pixels->height != image->height) __builtin_trap();
  // Touch the last pixel so a short buffer shows up under the address sanitizer.
  volatile uint32_t last = pixels->ReadPixel(pixels->width - 1, pixels->height - 1);
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input_factory& input = fuzz_input();
  input.data = data;
  input.size = size;
  // The pixel size comes from the last byte, which font files rarely care about.
  const int32_t pixels = size > 0 ? 4 + data[size - 1] % 60 : 16;
  std::shared_ptr<TImageFont> font = TImageFont::Load("fuzz::input", pixels, FONT_SMOOTH);
  if (!font) return 0;
  const int32_t count = font->CountGlyphs();
  if (count < 0 || font->LoadGlyph(-1) || font->LoadGlyph(count)) __builtin_trap();
  for (int32_t code = 32; code < 127; ++code) {
    const int32_t index = font->CharToGlyph(code);
    if (index >= count) __builtin_trap();
    if (index >= 0) check_glyph(*font, index);
  }
  for (int32_t index = 0; index < count && index < 8; ++index)
    check_glyph(*font, count - 1 - index);
  return 0;
}
