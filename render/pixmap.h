#pragma once
// CPU-side pixel rectangles in six byte layouts, their conversions, and the
// chain of loaders that turns a stream into a pixmap. Game thread only.

#include <cstdint>
#include <memory>
#include <string>

class TStream;

// Pixel layouts, named by their bytes in memory order.
enum : int32_t {
  PF_I8 = 1,        // intensity
  PF_A8 = 2,        // alpha
  PF_BGR888 = 3,    // blue, green, red
  PF_RGB888 = 4,    // red, green, blue
  PF_BGRA8888 = 5,  // blue, green, red, alpha
  PF_RGBA8888 = 6,  // red, green, blue, alpha: the working format
};

// Bytes per pixel of a format (0 for an unknown format).
int32_t BytesPerPixel(int32_t format);
// Alpha bits of a format: 8 for PF_A8, PF_BGRA8888 and PF_RGBA8888, else 0.
int32_t AlphaBits(int32_t format);
// Converts count pixels from one layout to another; equal formats copy bytes.
void ConvertPixels(const uint8_t* source, int32_t source_format, uint8_t* target,
                   int32_t target_format, int32_t count);

class TPixmap : public std::enable_shared_from_this<TPixmap> {
 public:
  uint8_t* pixels = nullptr;  // first byte of row 0 (the top row)
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;                 // bytes from one row to the next
  int32_t format = 0;                // one of the PF_ values
  int32_t capacity = 0;              // bytes owned; -1 when the pixels belong to someone else
  std::shared_ptr<TPixmap> _source;  // keeps borrowed pixels alive (a window's parent)

  TPixmap() = default;
  TPixmap(const TPixmap&) = delete;
  TPixmap& operator=(const TPixmap&) = delete;
  ~TPixmap();

  // New pixmap; pitch = width * bytes per pixel rounded up to align. Pixels are not
  // cleared; they live in the same heap block as the pixmap. Negative sizes or an unknown format
  // give nullptr.
  static std::shared_ptr<TPixmap> Create(int32_t width, int32_t height, int32_t format,
                                         int32_t align = 4);
  // Wraps foreign memory (capacity -1); the caller keeps it alive.
  static std::shared_ptr<TPixmap> CreateStatic(uint8_t* pixels, int32_t width, int32_t height,
                                               int32_t pitch, int32_t format);

  uint8_t* PixelPtr(int32_t x, int32_t y) const;
  // A pixmap sharing this one's pixels (clipped to this pixmap); keeps this one alive.
  std::shared_ptr<TPixmap> Window(int32_t x, int32_t y, int32_t width, int32_t height);
  // New pixmap (align 4) of the same size and format with the rows copied.
  std::shared_ptr<TPixmap> Copy() const;
  // Converts the source's rows into this pixmap's format at (x, y), clipped to this pixmap.
  void Paste(const TPixmap& source, int32_t x, int32_t y);
  void Paste(const std::shared_ptr<TPixmap>& source, int32_t x, int32_t y);
  // New pixmap (align 4) in the given format.
  std::shared_ptr<TPixmap> Convert(int32_t format) const;
  // 0xAARRGGBB; formats without alpha read alpha 255, PF_A8 reads white. Outside: 0.
  uint32_t ReadPixel(int32_t x, int32_t y) const;
  // Stores 0xAARRGGBB in this pixmap's layout; writes outside the pixmap are ignored.
  void WritePixel(int32_t x, int32_t y, uint32_t argb);
  // Fills every pixel with the value in this pixmap's layout.
  void ClearPixels(uint32_t argb);
};

// TPixmap::Create.
std::shared_ptr<TPixmap> CreatePixmap(int32_t width, int32_t height, int32_t format,
                                      int32_t align = 4);
// Runs the loader chain on a file path or "protocol::path" url; nullptr when nothing loads.
std::shared_ptr<TPixmap> LoadPixmap(const std::string& url);
// The same on a stream the caller already holds (the caller closes it).
std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream);
// PF_RGBA8888 copy where pixels of the colour (red, green, blue) get alpha 0 and the
// average colour of their unmasked neighbours; every other pixel gets alpha 255.
std::shared_ptr<TPixmap> MaskPixmap(const std::shared_ptr<TPixmap>& pixmap, int32_t red,
                                    int32_t green, int32_t blue);
// Bilinear resize with pixel centres aligned; the result keeps the source's format.
std::shared_ptr<TPixmap> ResizePixmap(const std::shared_ptr<TPixmap>& pixmap, int32_t width,
                                      int32_t height);
// New pixmaps with the rows (Y) or the columns (X) in reverse order.
std::shared_ptr<TPixmap> YFlipPixmap(const std::shared_ptr<TPixmap>& pixmap);
std::shared_ptr<TPixmap> XFlipPixmap(const std::shared_ptr<TPixmap>& pixmap);

// Writes the pixmap as an 8-bit PNG (grey, RGB or RGBA by its format). False on failure.
bool SavePixmapPNG(const std::shared_ptr<TPixmap>& pixmap, const std::string& path);
bool SavePixmapPNG(const std::shared_ptr<TPixmap>& pixmap, const std::shared_ptr<TStream>& stream);

// A pixmap loader. Constructing one puts it at the head of the global chain; destroying it
// takes it out. LoadPixmap reads from the stream's current position and returns nullptr
// when the data is not its format; it never closes the stream.
class TPixmapLoader {
 public:
  TPixmapLoader* _succ = nullptr;

  TPixmapLoader();
  TPixmapLoader(const TPixmapLoader&) = delete;
  TPixmapLoader& operator=(const TPixmapLoader&) = delete;
  virtual ~TPixmapLoader();
  virtual std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) = 0;

  // Head of the chain; the PNG loader is registered on first use.
  static TPixmapLoader* Head();
};

// PNG over libpng: 8-bit grey, grey+alpha, RGB, RGBA (palettes, low bit depths and
// transparency chunks expanded, 16-bit stripped). Malformed data gives nullptr.
class TPixmapLoaderPNG : public TPixmapLoader {
 public:
  std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) override;
};
