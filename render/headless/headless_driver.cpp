#include "render/headless/headless_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "render/graphics.h"
#include "render/headless/headless_raster.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

namespace {

// A graphics with no window: just the size it was asked for and its back buffer.
class THeadlessGraphics : public TGraphics {
 public:
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  bool open = true;
  std::vector<uint8_t> buffer;  // RGBA, top row first

  std::shared_ptr<TGraphicsDriver> Driver() override {
    return open ? HeadlessGraphicsDriver() : nullptr;
  }
  void GetSettings(int32_t& w, int32_t& h, int32_t& d, int32_t& hz, int32_t& f) override {
    w = open ? width : 0;
    h = open ? height : 0;
    d = open ? depth : 0;
    hz = open ? hertz : 0;
    f = open ? flags : 0;
  }
  void Close() override {
    open = false;
    buffer.clear();
    buffer.shrink_to_fit();
  }
};

// A frame keeps a working-format copy of the pixmap, as a texture would.
class THeadlessImageFrame : public TImageFrame {
 public:
  const void* source = nullptr;
  std::shared_ptr<TPixmap> pixels;

  void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override {
    HeadlessGraphicsDriver()->DrawFrame(this, source, pixels, x0, y0, x1, y1, tx, ty);
  }
};

struct HeadlessState {
  std::shared_ptr<THeadlessGraphics> current;
  std::vector<THeadlessCall> calls;
  bool recording = true;
  int64_t flips = 0;
  THeadlessPaint paint;  // clamped colour, alpha and blend
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  int32_t clip_x0 = 0, clip_y0 = 0, clip_x1 = 0, clip_y1 = 0;
  uint8_t cls[4] = {0, 0, 0, 255};
  std::vector<uint8_t> empty;
};

HeadlessState& State() {
  static HeadlessState state;
  return state;
}

void Record(const char* kind, std::vector<float> args, const void* frame = nullptr,
            const void* pixmap = nullptr) {
  HeadlessState& s = State();
  if (!s.recording) return;
  THeadlessCall call;
  call.kind = kind;
  call.args = std::move(args);
  call.red = s.paint.colour[0];
  call.green = s.paint.colour[1];
  call.blue = s.paint.colour[2];
  call.alpha = s.paint.alpha;
  call.blend = s.paint.blend;
  call.ix = s.ix;
  call.iy = s.iy;
  call.jx = s.jx;
  call.jy = s.jy;
  call.frame = frame;
  call.pixmap = pixmap;
  s.calls.push_back(std::move(call));
}

// The current back buffer as a raster target clipped to the viewport, or false.
bool Target(THeadlessTarget& target) {
  HeadlessState& s = State();
  if (!s.current || !s.current->open || s.current->buffer.empty()) return false;
  target.pixels = s.current->buffer.data();
  target.width = s.current->width;
  target.height = s.current->height;
  target.clip_x0 = std::max(s.clip_x0, 0);
  target.clip_y0 = std::max(s.clip_y0, 0);
  target.clip_x1 = std::min(s.clip_x1, s.current->width);
  target.clip_y1 = std::min(s.clip_y1, s.current->height);
  return target.clip_x0 < target.clip_x1 && target.clip_y0 < target.clip_y1;
}

// Places shape point (x, y) through the matrix and offset.
void Place(float x, float y, float tx, float ty, std::vector<double>& points) {
  const HeadlessState& s = State();
  points.push_back(static_cast<double>(x) * s.ix + static_cast<double>(y) * s.iy + tx);
  points.push_back(static_cast<double>(x) * s.jx + static_cast<double>(y) * s.jy + ty);
}

uint8_t Clamp255(int32_t value) {
  return static_cast<uint8_t>(std::clamp<int32_t>(value, 0, 255));
}

constexpr int32_t kMaxSide = 8192;

}  // namespace

std::vector<TGraphicsMode> THeadlessDriver::GraphicsModes() {
  return {TGraphicsMode{640, 480, 32, 60}};
}

std::shared_ptr<TGraphics> THeadlessDriver::AttachGraphics(void*, int32_t) {
  return nullptr;
}

std::shared_ptr<TGraphics> THeadlessDriver::CreateGraphics(int32_t width, int32_t height,
                                                           int32_t depth, int32_t hertz,
                                                           int32_t flags) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    std::fprintf(stderr, "render: cannot open graphics of %d x %d\n", width, height);
    return nullptr;
  }
  auto g = std::make_shared<THeadlessGraphics>();
  g->width = width;
  g->height = height;
  g->depth = depth;
  g->hertz = hertz;
  g->flags = flags;
  g->buffer.assign(static_cast<size_t>(width) * height * 4, 0);
  return TRender2DGraphics::Create(g,
                                   std::static_pointer_cast<TRender2DDriver>(shared_from_this()));
}

void THeadlessDriver::SetGraphics(std::shared_ptr<TGraphics> g) {
  HeadlessState& s = State();
  auto record = std::dynamic_pointer_cast<TRender2DGraphics>(g);
  auto graphics =
      record ? std::dynamic_pointer_cast<THeadlessGraphics>(record->_graphics) : nullptr;
  if (!graphics || !graphics->open) {
    TRender2DGraphics::ClearCurrent();
    s.current = nullptr;
    return;
  }
  s.current = graphics;
  s.clip_x0 = s.clip_y0 = 0;
  s.clip_x1 = graphics->width;
  s.clip_y1 = graphics->height;
  s.paint.blend = 0;
  record->MakeCurrent();
}

void THeadlessDriver::Flip(int32_t sync) {
  HeadlessState& s = State();
  if (!s.current) return;
  ++s.flips;
  Record("Flip", {static_cast<float>(sync)});
}

std::shared_ptr<TImageFrame> THeadlessDriver::CreateFrameFromPixmap(std::shared_ptr<TPixmap> pixmap,
                                                                    int32_t) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
  auto frame = std::make_shared<THeadlessImageFrame>();
  frame->source = pixmap.get();
  frame->pixels = pixmap->Convert(PF_RGBA8888);
  if (!frame->pixels) return nullptr;
  return frame;
}

void THeadlessDriver::SetBlend(int32_t mode) {
  State().paint.blend = mode;
  Record("SetBlend", {static_cast<float>(mode)});
}

void THeadlessDriver::SetAlpha(float alpha) {
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;
  HeadlessState& s = State();
  s.paint.alpha = alpha;
  s.paint.colour[3] = static_cast<uint8_t>(alpha * 255.0f);
  Record("SetAlpha", {alpha});
}

void THeadlessDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
  HeadlessState& s = State();
  s.paint.colour[0] = Clamp255(red);
  s.paint.colour[1] = Clamp255(green);
  s.paint.colour[2] = Clamp255(blue);
  Record("SetColor",
         {static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue)});
}

void THeadlessDriver::SetClsColor(int32_t red, int32_t green, int32_t blue) {
  HeadlessState& s = State();
  s.cls[0] = Clamp255(red);
  s.cls[1] = Clamp255(green);
  s.cls[2] = Clamp255(blue);
  Record("SetClsColor",
         {static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue)});
}

void THeadlessDriver::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  HeadlessState& s = State();
  s.clip_x0 = x;
  s.clip_y0 = y;
  s.clip_x1 = static_cast<int32_t>(
      std::clamp<int64_t>(static_cast<int64_t>(x) + std::max(width, 0), INT32_MIN, INT32_MAX));
  s.clip_y1 = static_cast<int32_t>(
      std::clamp<int64_t>(static_cast<int64_t>(y) + std::max(height, 0), INT32_MIN, INT32_MAX));
  Record("SetViewport", {static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                         static_cast<float>(height)});
}

void THeadlessDriver::SetTransform(float ix, float iy, float jx, float jy) {
  HeadlessState& s = State();
  s.ix = ix;
  s.iy = iy;
  s.jx = jx;
  s.jy = jy;
  Record("SetTransform", {ix, iy, jx, jy});
}

void THeadlessDriver::SetLineWidth(float width) {
  Record("SetLineWidth", {width});
}

void THeadlessDriver::Cls() {
  Record("Cls", {});
  THeadlessTarget target;
  if (Target(target)) ClearRect(target, State().cls);
}

void THeadlessDriver::Plot(float x, float y) {
  Record("Plot", {x, y});
  THeadlessTarget target;
  if (Target(target)) PlotPixel(target, State().paint, x + 0.5, y + 0.5);
}

void THeadlessDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  Record("DrawLine", {x0, y0, x1, y1, tx, ty});
  THeadlessTarget target;
  if (!Target(target)) return;
  std::vector<double> points;
  Place(x0, y0, tx + 0.5f, ty + 0.5f, points);
  Place(x1, y1, tx + 0.5f, ty + 0.5f, points);
  DrawLineSpan(target, State().paint, points[0], points[1], points[2], points[3]);
}

void THeadlessDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  Record("DrawRect", {x0, y0, x1, y1, tx, ty});
  THeadlessTarget target;
  if (!Target(target)) return;
  std::vector<double> points;
  Place(x0, y0, tx, ty, points);
  Place(x1, y0, tx, ty, points);
  Place(x1, y1, tx, ty, points);
  Place(x0, y1, tx, ty, points);
  FillPolygon(target, State().paint, points);
}

void THeadlessDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  Record("DrawOval", {x0, y0, x1, y1, tx, ty});
  THeadlessTarget target;
  if (!Target(target)) return;
  const float xr = (x1 - x0) * 0.5f, yr = (y1 - y0) * 0.5f;
  const int32_t segments = OvalSegments(xr, yr);
  std::vector<double> points;
  for (int32_t i = 0; i < segments; ++i) {
    const double angle = i * 360.0 / segments * (M_PI / 180.0);
    Place(static_cast<float>(x0 + xr + std::cos(angle) * xr),
          static_cast<float>(y0 + yr - std::sin(angle) * yr), tx, ty, points);
  }
  FillPolygon(target, State().paint, points);
}

void THeadlessDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y,
                               float tx, float ty) {
  std::vector<float> args = xy;
  args.insert(args.end(), {handle_x, handle_y, tx, ty});
  Record("DrawPoly", std::move(args));
  if (xy.size() < 6 || xy.size() % 2 != 0) return;
  THeadlessTarget target;
  if (!Target(target)) return;
  std::vector<double> points;
  for (size_t i = 0; i < xy.size(); i += 2)
    Place(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty, points);
  FillPolygon(target, State().paint, points);
}

void THeadlessDriver::DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) {
  Record("DrawPixmap", {static_cast<float>(x), static_cast<float>(y)}, nullptr, pixmap.get());
  THeadlessTarget target;
  if (!pixmap || !Target(target)) return;
  std::shared_ptr<TPixmap> rgba =
      pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
  if (rgba) CopyPixels(target, rgba->pixels, rgba->width, rgba->height, rgba->pitch, x, y);
}

std::shared_ptr<TPixmap> THeadlessDriver::GrabPixmap(int32_t x, int32_t y, int32_t width,
                                                     int32_t height) {
  Record("GrabPixmap", {static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                        static_cast<float>(height)});
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  std::shared_ptr<TPixmap> pixmap = TPixmap::Create(width, height, PF_RGBA8888, 4);
  if (!pixmap) return nullptr;
  pixmap->ClearPixels(0);
  HeadlessState& s = State();
  if (!s.current || s.current->buffer.empty()) return pixmap;
  const int32_t buffer_w = s.current->width, buffer_h = s.current->height;
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, buffer_w);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, buffer_h);
  const bool alpha_buffer = (s.current->flags & GFX_ALPHA_BUFFER) != 0;
  for (int64_t row = top; row < bottom && left < right; ++row) {
    const uint8_t* source = s.current->buffer.data() + (row * buffer_w + left) * 4;
    uint8_t* target =
        pixmap->PixelPtr(static_cast<int32_t>(left - x), static_cast<int32_t>(row - y));
    std::memcpy(target, source, static_cast<size_t>(right - left) * 4);
    // The buffer keeps the alpha drawing wrote; without an alpha buffer it reads back opaque.
    if (!alpha_buffer) {
      for (int64_t column = 0; column < right - left; ++column) target[column * 4 + 3] = 255;
    }
  }
  return pixmap;
}

void THeadlessDriver::DrawFrame(const void* frame, const void* source,
                                const std::shared_ptr<TPixmap>& pixmap, float x0, float y0,
                                float x1, float y1, float tx, float ty) {
  Record("DrawFrame", {x0, y0, x1, y1, tx, ty}, frame, source);
  THeadlessTarget target;
  if (!pixmap || !Target(target)) return;
  const HeadlessState& s = State();
  DrawTexturedQuad(target, s.paint, *pixmap, x0, y0, x1, y1, tx, ty, s.ix, s.iy, s.jx, s.jy);
}

const std::vector<THeadlessCall>& THeadlessDriver::Calls() const {
  return State().calls;
}

void THeadlessDriver::ClearCalls() {
  State().calls.clear();
}

void THeadlessDriver::SetRecording(bool on) {
  State().recording = on;
}

int64_t THeadlessDriver::FlipCount() const {
  return State().flips;
}

const std::vector<uint8_t>& THeadlessDriver::BackBuffer() const {
  const HeadlessState& s = State();
  return s.current ? s.current->buffer : s.empty;
}

int32_t THeadlessDriver::BufferWidth() const {
  return State().current ? State().current->width : 0;
}

int32_t THeadlessDriver::BufferHeight() const {
  return State().current ? State().current->height : 0;
}

bool THeadlessDriver::SaveBufferPNG(const std::string& path) const {
  const HeadlessState& s = State();
  if (!s.current || s.current->buffer.empty()) {
    std::fprintf(stderr, "render: no headless graphics to save to %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> copy = s.current->buffer;
  std::shared_ptr<TPixmap> rgba = TPixmap::CreateStatic(
      copy.data(), s.current->width, s.current->height, s.current->width * 4, PF_RGBA8888);
  std::shared_ptr<TPixmap> rgb = rgba ? rgba->Convert(PF_RGB888) : nullptr;
  if (!rgb || !SavePixmapPNG(rgb, path)) {
    std::fprintf(stderr, "render: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

std::shared_ptr<THeadlessDriver> HeadlessGraphicsDriver() {
  static std::shared_ptr<THeadlessDriver> driver = std::make_shared<THeadlessDriver>();
  return driver;
}
