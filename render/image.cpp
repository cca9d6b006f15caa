#include "render/image.h"

#include <stdexcept>
#include <string>

#include "render/graphics.h"
#include "render/pixmap.h"
#include "render/render2d.h"

namespace {

struct ImageSettings {
  int32_t mask_red = 0, mask_green = 0, mask_blue = 0;
  int32_t default_flags = IMAGE_MASKED | IMAGE_FILTERED;
  bool auto_centre = false;
};

ImageSettings& Settings() {
  static ImageSettings settings;
  return settings;
}

int32_t ResolveFlags(int32_t flags) {
  return flags == -1 ? Settings().default_flags : flags;
}

std::shared_ptr<TImage> Finish(std::shared_ptr<TImage> image) {
  if (image && Settings().auto_centre) CentreImageHandle(image);
  return image;
}

}  // namespace

void TImage::CheckFrame(int32_t frame) const {
  if (frame < 0 || frame >= FrameCount()) {
    throw std::out_of_range("image frame " + std::to_string(frame) + " out of range (image has " +
                            std::to_string(FrameCount()) + " frames)");
  }
}

std::shared_ptr<TImage> TImage::Create(int32_t width, int32_t height, int32_t frames, int32_t flags,
                                       int32_t mask_red, int32_t mask_green, int32_t mask_blue) {
  if (width < 0 || height < 0 || frames < 0) return nullptr;
  auto image = std::make_shared<TImage>();
  image->Reset(width, height, frames, flags, mask_red, mask_green, mask_blue);
  return image;
}

void TImage::Reset(int32_t new_width, int32_t new_height, int32_t frame_count, int32_t new_flags,
                   int32_t mask_red, int32_t mask_green, int32_t mask_blue) {
  width = new_width;
  height = new_height;
  flags = new_flags;
  mask_r = mask_red;
  mask_g = mask_green;
  mask_b = mask_blue;
  handle_x = handle_y = 0.0f;
  pixmaps.assign(frame_count, nullptr);
  frames.assign(frame_count, nullptr);
  seqs.assign(frame_count, 0);
}

std::shared_ptr<TImage> TImage::Load(const std::shared_ptr<TPixmap>& pixmap, int32_t flags,
                                     int32_t mask_red, int32_t mask_green, int32_t mask_blue) {
  if (!pixmap) return nullptr;
  auto image = Create(pixmap->width, pixmap->height, 1, flags, mask_red, mask_green, mask_blue);
  if (image) image->SetPixmap(0, pixmap);
  return image;
}

std::shared_ptr<TImage> TImage::Load(const std::string& url, int32_t flags, int32_t mask_red,
                                     int32_t mask_green, int32_t mask_blue) {
  return Load(LoadPixmap(url), flags, mask_red, mask_green, mask_blue);
}

std::shared_ptr<TImage> TImage::Load(const std::shared_ptr<TStream>& stream, int32_t flags,
                                     int32_t mask_red, int32_t mask_green, int32_t mask_blue) {
  return Load(LoadPixmap(stream), flags, mask_red, mask_green, mask_blue);
}

std::shared_ptr<TImage> TImage::LoadAnim(const std::shared_ptr<TPixmap>& pixmap, int32_t cell_width,
                                         int32_t cell_height, int32_t first, int32_t count,
                                         int32_t flags, int32_t mask_red, int32_t mask_green,
                                         int32_t mask_blue) {
  if (!pixmap || cell_width <= 0 || cell_height <= 0 || first < 0 || count < 1) return nullptr;
  const int64_t across = pixmap->width / cell_width;
  const int64_t down = pixmap->height / cell_height;
  if (across * down < static_cast<int64_t>(first) + count) return nullptr;
  auto image = Create(cell_width, cell_height, count, flags, mask_red, mask_green, mask_blue);
  if (!image) return nullptr;
  for (int32_t cell = first; cell < first + count; ++cell) {
    auto window = pixmap->Window(static_cast<int32_t>(cell_width * (cell % across)),
                                 static_cast<int32_t>(cell_height * (cell / across)), cell_width,
                                 cell_height);
    image->SetPixmap(cell - first, window->Copy());
  }
  return image;
}

void TImage::SetPixmap(int32_t frame, std::shared_ptr<TPixmap> pixmap) {
  CheckFrame(frame);
  if ((flags & IMAGE_MASKED) && pixmap && AlphaBits(pixmap->format) == 0) {
    pixmap = MaskPixmap(pixmap, mask_r, mask_g, mask_b);
  }
  pixmaps[frame] = std::move(pixmap);
  frames[frame].reset();
  seqs[frame] = 0;
}

std::shared_ptr<TPixmap> TImage::Lock(int32_t frame, bool /*read*/, bool write) {
  CheckFrame(frame);
  if (write) {
    frames[frame].reset();
    seqs[frame] = 0;
  }
  if (!pixmaps[frame]) {
    // Cleared, so an image that was never filled draws and collides as fully transparent.
    pixmaps[frame] = TPixmap::Create(width, height, PF_RGBA8888, 4);
    if (pixmaps[frame]) pixmaps[frame]->ClearPixels(0);
  }
  return pixmaps[frame];
}

std::shared_ptr<TImageFrame> TImage::Frame(int32_t index) {
  CheckFrame(index);
  const int32_t seq = GraphicsSeq();
  if (seqs[index] != seq) {
    std::shared_ptr<TRender2DDriver> driver = CurrentRender2DDriver();
    if (!driver) return nullptr;
    // Drop the stale frame first so its texture is released before a new one is made.
    frames[index].reset();
    frames[index] = driver->CreateFrameFromPixmap(Lock(index, true, false), flags);
    seqs[index] = frames[index] ? seq : 0;
  }
  return frames[index];
}

std::shared_ptr<TImage> LoadImage(const std::string& url, int32_t flags) {
  const ImageSettings& s = Settings();
  return Finish(TImage::Load(url, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}

std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TStream>& stream, int32_t flags) {
  const ImageSettings& s = Settings();
  return Finish(TImage::Load(stream, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}

std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TPixmap>& pixmap, int32_t flags) {
  const ImageSettings& s = Settings();
  return Finish(TImage::Load(pixmap, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}

std::shared_ptr<TImage> LoadImageStrip(const std::shared_ptr<TPixmap>& pixmap, int32_t cell_width,
                                       int32_t cell_height, int32_t first, int32_t count,
                                       int32_t flags) {
  const ImageSettings& s = Settings();
  return Finish(TImage::LoadAnim(pixmap, cell_width, cell_height, first, count, ResolveFlags(flags),
                                 s.mask_red, s.mask_green, s.mask_blue));
}

std::shared_ptr<TImage> LoadImageStrip(const std::string& url, int32_t cell_width,
                                       int32_t cell_height, int32_t first, int32_t count,
                                       int32_t flags) {
  return LoadImageStrip(LoadPixmap(url), cell_width, cell_height, first, count, flags);
}

std::shared_ptr<TImage> CreateImage(int32_t width, int32_t height, int32_t frames, int32_t flags) {
  const ImageSettings& s = Settings();
  return Finish(TImage::Create(width, height, frames, ResolveFlags(flags) | IMAGE_DYNAMIC,
                               s.mask_red, s.mask_green, s.mask_blue));
}

void GrabImage(const std::shared_ptr<TImage>& image, int32_t x, int32_t y, int32_t frame) {
  if (!image) return;
  image->CheckFrame(frame);
  std::shared_ptr<TPixmap> pixmap = GrabPixmap(x, y, image->width, image->height);
  if (!pixmap) return;
  if (image->flags & IMAGE_MASKED) {
    const ImageSettings& s = Settings();
    pixmap = MaskPixmap(pixmap, s.mask_red, s.mask_green, s.mask_blue);
  }
  image->SetPixmap(frame, pixmap);
}

void DrawImage(const std::shared_ptr<TImage>& image, float x, float y, int32_t frame) {
  if (!image) return;
  DrawImageRect(image, x, y, static_cast<float>(image->width), static_cast<float>(image->height),
                frame);
}

void DrawImageRect(const std::shared_ptr<TImage>& image, float x, float y, float width,
                   float height, int32_t frame) {
  if (!image) return;
  std::shared_ptr<TImageFrame> drawable = image->Frame(frame);
  if (!drawable) return;
  float origin_x = 0.0f, origin_y = 0.0f;
  GetOrigin(origin_x, origin_y);
  const float x0 = -image->handle_x, y0 = -image->handle_y;
  drawable->Draw(x0, y0, width - image->handle_x, height - image->handle_y, x + origin_x,
                 y + origin_y);
}

int32_t ImageWidth(const std::shared_ptr<TImage>& image) {
  return image ? image->width : 0;
}

int32_t ImageHeight(const std::shared_ptr<TImage>& image) {
  return image ? image->height : 0;
}

void SetImageHandle(const std::shared_ptr<TImage>& image, float x, float y) {
  if (!image) return;
  image->handle_x = x;
  image->handle_y = y;
}

void CentreImageHandle(const std::shared_ptr<TImage>& image) {
  if (!image) return;
  image->handle_x = static_cast<float>(image->width) * 0.5f;
  image->handle_y = static_cast<float>(image->height) * 0.5f;
}

void SetMaskColor(int32_t red, int32_t green, int32_t blue) {
  Settings().mask_red = red;
  Settings().mask_green = green;
  Settings().mask_blue = blue;
}

void GetMaskColor(int32_t& red, int32_t& green, int32_t& blue) {
  red = Settings().mask_red;
  green = Settings().mask_green;
  blue = Settings().mask_blue;
}

void SetDefaultImageFlags(int32_t flags) {
  if (flags != -1) Settings().default_flags = flags;
}

int32_t GetDefaultImageFlags() {
  return Settings().default_flags;
}

void SetAutoCentreHandle(bool on) {
  Settings().auto_centre = on;
}

bool GetAutoCentreHandle() {
  return Settings().auto_centre;
}

std::shared_ptr<TPixmap> LockImage(const std::shared_ptr<TImage>& image, int32_t frame, bool read,
                                   bool write) {
  if (!image) return nullptr;
  return image->Lock(frame, read, write);
}

void UnlockImage(const std::shared_ptr<TImage>&, int32_t) {}
