#pragma once
// Images: drawable pictures of one or more equally sized frames. Each frame keeps its pixels
// as a pixmap and, made lazily at the first draw under the current graphics, a driver frame
// (one texture on OpenGL). Game thread only; drawing and grabbing need a current render state.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/image_frame.h"

class TPixmap;
class TStream;

class TImage {
 public:
  int32_t width = 0;  // size of every frame in pixels
  int32_t height = 0;
  int32_t flags = 0;                           // IMAGE_ bits
  int32_t mask_r = 0, mask_g = 0, mask_b = 0;  // mask colour captured at creation
  float handle_x = 0.0f;  // image point (from its top-left) that lands on the position
  float handle_y = 0.0f;
  std::vector<std::shared_ptr<TPixmap>> pixmaps;     // per frame; may be empty until set
  std::vector<std::shared_ptr<TImageFrame>> frames;  // per frame, made on demand
  std::vector<int32_t> seqs;  // graphics sequence number of each driver frame; 0 = none

  int32_t FrameCount() const { return static_cast<int32_t>(pixmaps.size()); }

  // New image with frames empty frames and handle (0, 0); nullptr for negative sizes.
  static std::shared_ptr<TImage> Create(int32_t width, int32_t height, int32_t frames,
                                        int32_t flags, int32_t mask_red, int32_t mask_green,
                                        int32_t mask_blue);
  // Makes this image what Create makes (for images made many at a time in one block); the
  // sizes must not be negative.
  void Reset(int32_t width, int32_t height, int32_t frames, int32_t flags, int32_t mask_red,
             int32_t mask_green, int32_t mask_blue);
  // One-frame image from a pixmap, a stream, or a url through the pixmap loaders; nullptr if
  // no pixmap.
  static std::shared_ptr<TImage> Load(const std::shared_ptr<TPixmap>& pixmap, int32_t flags,
                                      int32_t mask_red, int32_t mask_green, int32_t mask_blue);
  static std::shared_ptr<TImage> Load(const std::string& url, int32_t flags, int32_t mask_red,
                                      int32_t mask_green, int32_t mask_blue);
  static std::shared_ptr<TImage> Load(const std::shared_ptr<TStream>& stream, int32_t flags,
                                      int32_t mask_red, int32_t mask_green, int32_t mask_blue);
  // Animation of count cells of cell_width x cell_height, from cell first (numbered row by
  // row); nullptr if the picture has fewer than first + count cells.
  static std::shared_ptr<TImage> LoadAnim(const std::shared_ptr<TPixmap>& pixmap,
                                          int32_t cell_width, int32_t cell_height, int32_t first,
                                          int32_t count, int32_t flags, int32_t mask_red,
                                          int32_t mask_green, int32_t mask_blue);

  // Makes pixmap the frame's pixels (masked first when IMAGE_MASKED is set and it has no
  // alpha) and drops the frame's driver frame. Throws std::out_of_range for a bad frame.
  void SetPixmap(int32_t frame, std::shared_ptr<TPixmap> pixmap);
  // The frame's pixmap, created as width x height PF_RGBA8888 if absent; write drops the
  // driver frame. Throws std::out_of_range for a bad frame.
  std::shared_ptr<TPixmap> Lock(int32_t frame, bool read, bool write);
  // The frame's driver frame, made by the current driver when missing or made under an older
  // graphics; nullptr without a current driver. Throws std::out_of_range for a bad frame.
  std::shared_ptr<TImageFrame> Frame(int32_t index);
  // Throws std::out_of_range unless 0 <= frame < FrameCount().
  void CheckFrame(int32_t frame) const;
};

// Loads a one-frame image; flags -1 uses the automatic flags. Uses the current mask colour and
// centres the handle when automatic centring is on. nullptr if nothing loads.
std::shared_ptr<TImage> LoadImage(const std::string& url, int32_t flags = -1);
std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TStream>& stream, int32_t flags = -1);
std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TPixmap>& pixmap, int32_t flags = -1);
// Loads an animation strip (see TImage::LoadAnim); settings as LoadImage.
std::shared_ptr<TImage> LoadImageStrip(const std::string& url, int32_t cell_width,
                                       int32_t cell_height, int32_t first, int32_t count,
                                       int32_t flags = -1);
std::shared_ptr<TImage> LoadImageStrip(const std::shared_ptr<TPixmap>& pixmap, int32_t cell_width,
                                       int32_t cell_height, int32_t first, int32_t count,
                                       int32_t flags = -1);
// Empty image with IMAGE_DYNAMIC added; settings as LoadImage.
std::shared_ptr<TImage> CreateImage(int32_t width, int32_t height, int32_t frames = 1,
                                    int32_t flags = -1);
// Copies the back-buffer rectangle at (x, y) of the image's size into frame (masked with the
// current global mask colour when the image is IMAGE_MASKED).
void GrabImage(const std::shared_ptr<TImage>& image, int32_t x, int32_t y, int32_t frame = 0);
// Draws frame with the image's handle at (x, y) plus the origin, through the current matrix,
// colour, alpha and blend. A null image draws nothing.
void DrawImage(const std::shared_ptr<TImage>& image, float x, float y, int32_t frame = 0);
// As DrawImage with the frame stretched to width x height.
void DrawImageRect(const std::shared_ptr<TImage>& image, float x, float y, float width,
                   float height, int32_t frame = 0);
int32_t ImageWidth(const std::shared_ptr<TImage>& image);
int32_t ImageHeight(const std::shared_ptr<TImage>& image);
void SetImageHandle(const std::shared_ptr<TImage>& image, float x, float y);
void CentreImageHandle(const std::shared_ptr<TImage>& image);
// Mask colour for later loads, creations and grabs; starts at (0, 0, 0).
void SetMaskColor(int32_t red, int32_t green, int32_t blue);
void GetMaskColor(int32_t& red, int32_t& green, int32_t& blue);
// Automatic image flags (start: IMAGE_MASKED | IMAGE_FILTERED); -1 leaves them unchanged.
void SetDefaultImageFlags(int32_t flags);
int32_t GetDefaultImageFlags();
// Automatic handle centring for new images (start: off).
void SetAutoCentreHandle(bool on);
bool GetAutoCentreHandle();
// TImage::Lock; UnlockImage does nothing.
std::shared_ptr<TPixmap> LockImage(const std::shared_ptr<TImage>& image, int32_t frame = 0,
                                   bool read = true, bool write = true);
void UnlockImage(const std::shared_ptr<TImage>& image, int32_t frame = 0);
