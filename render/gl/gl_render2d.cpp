#include "render/gl/gl_render2d.h"

#include <SDL2/SDL_opengl.h>
#include <SDL2/SDL_video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/gl/gl_graphics.h"
#include "render/gl/gl_image_frame.h"
#include "render/graphics.h"
#include "render/pixmap.h"

namespace {

// One queued vertex. The colour is kept as the floats OpenGL makes of the colour bytes
// (byte / 255), so queued drawing blends exactly as drawing with glColor4ub did.
struct BatchVertex {
  float x, y;
  float u, v;
  float red, green, blue, alpha;
};

// What OpenGL already has, shared by every instance of the driver. Kept apart from the
// render-state record so redundant state changes can be filtered here.
struct GLCache {
  int32_t blend = 0;           // 0: unknown
  uint32_t bound_texture = 0;  // 0: none
  bool textures_enabled = false;
  uint8_t colour[4] = {255, 255, 255, 255};
  float colour_float[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  int32_t width = 0, height = 0;  // of the graphics last reset
  bool alpha_buffer = false;      // it was opened with GFX_ALPHA_BUFFER
  // Primitives of one kind drawn under the current OpenGL state and not yet sent.
  GLenum batch_mode = GL_QUADS;
  std::vector<BatchVertex> batch;
  void* arrays_context = nullptr;  // the context whose client arrays are switched on
};

GLCache& Cache() {
  static GLCache cache;
  return cache;
}

uint8_t ClampComponent(int32_t value) {
  return static_cast<uint8_t>(std::clamp<int32_t>(value, 0, 255));
}

// The colour for immediate-mode drawing; queued vertices carry their own.
void SendColour() {
  const GLCache& c = Cache();
  glColor4ub(c.colour[0], c.colour[1], c.colour[2], c.colour[3]);
}

void UpdateColourFloats() {
  GLCache& c = Cache();
  for (int32_t i = 0; i < 4; ++i) c.colour_float[i] = static_cast<float>(c.colour[i]) / 255.0f;
}

// Starts (or continues) a run of primitives of the given kind.
std::vector<BatchVertex>& BatchFor(GLenum mode) {
  GLCache& c = Cache();
  if (mode != c.batch_mode) {
    TGLRender2DDriver::Flush();
    c.batch_mode = mode;
  }
  return c.batch;
}

void QueueVertex(std::vector<BatchVertex>& batch, float x, float y, float u, float v) {
  const float* colour = Cache().colour_float;
  batch.push_back(BatchVertex{x, y, u, v, colour[0], colour[1], colour[2], colour[3]});
}

void ApplyBlend(int32_t mode) {
  switch (mode) {
    case BLEND_MASK:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      break;
    case BLEND_ALPHA:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glDisable(GL_ALPHA_TEST);
      break;
    case BLEND_LIGHT:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      glDisable(GL_ALPHA_TEST);
      break;
    case BLEND_SHADE:
      glEnable(GL_BLEND);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      glDisable(GL_ALPHA_TEST);
      break;
    default:
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
  }
}

void Vertex(float x, float y, float tx, float ty) {
  const GLCache& c = Cache();
  glVertex2f(x * c.ix + y * c.iy + tx, x * c.jx + y * c.jy + ty);
}

}  // namespace

std::vector<TGraphicsMode> TGLRender2DDriver::GraphicsModes() {
  return GLGraphicsDriver()->GraphicsModes();
}

std::shared_ptr<TGraphics> TGLRender2DDriver::AttachGraphics(void* window, int32_t flags) {
  std::shared_ptr<TGraphics> g = GLGraphicsDriver()->AttachGraphics(window, flags);
  if (!g) return nullptr;
  return TRender2DGraphics::Create(g,
                                   std::static_pointer_cast<TRender2DDriver>(shared_from_this()));
}

std::shared_ptr<TGraphics> TGLRender2DDriver::CreateGraphics(int32_t width, int32_t height,
                                                             int32_t depth, int32_t hertz,
                                                             int32_t flags) {
  std::shared_ptr<TGraphics> g =
      GLGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
  if (!g) return nullptr;
  return TRender2DGraphics::Create(g,
                                   std::static_pointer_cast<TRender2DDriver>(shared_from_this()));
}

void TGLRender2DDriver::SetGraphics(std::shared_ptr<TGraphics> g) {
  auto record = std::dynamic_pointer_cast<TRender2DGraphics>(g);
  if (!record || !record->_graphics) {
    TRender2DGraphics::ClearCurrent();
    GLGraphicsDriver()->SetGraphics(nullptr);
    return;
  }
  GLGraphicsDriver()->SetGraphics(record->_graphics);
  ResetGLContext(record->_graphics);
  record->MakeCurrent();
}

void TGLRender2DDriver::Flip(int32_t sync) {
  Flush();
  GLGraphicsDriver()->Flip(sync);
}

double TGLRender2DDriver::RefreshRate() {
  return GLGraphicsDriver()->RefreshRate();
}

bool TGLRender2DDriver::AdaptiveSync() {
  return GLGraphicsDriver()->AdaptiveSync();
}

std::shared_ptr<TImageFrame> TGLRender2DDriver::CreateFrameFromPixmap(
    std::shared_ptr<TPixmap> pixmap, int32_t flags) {
  return TGLImageFrame::CreateFromPixmap(pixmap, flags);
}

void TGLRender2DDriver::SetBlend(int32_t mode) {
  GLCache& c = Cache();
  if (mode == c.blend) return;
  Flush();
  c.blend = mode;
  ApplyBlend(mode);
}

void TGLRender2DDriver::SetAlpha(float alpha) {
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // negative or NaN
  Cache().colour[3] = static_cast<uint8_t>(alpha * 255.0f);
  UpdateColourFloats();
}

void TGLRender2DDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
  GLCache& c = Cache();
  c.colour[0] = ClampComponent(red);
  c.colour[1] = ClampComponent(green);
  c.colour[2] = ClampComponent(blue);
  UpdateColourFloats();
}

void TGLRender2DDriver::SetClsColor(int32_t red, int32_t green, int32_t blue) {
  glClearColor(ClampComponent(red) / 255.0f, ClampComponent(green) / 255.0f,
               ClampComponent(blue) / 255.0f, 1.0f);
}

void TGLRender2DDriver::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  Flush();
  const GLCache& c = Cache();
  if (x == 0 && y == 0 && width == c.width && height == c.height) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  glEnable(GL_SCISSOR_TEST);
  // OpenGL counts y from the bottom; 64-bit arithmetic so extreme values cannot overflow.
  const int64_t gl_y = static_cast<int64_t>(c.height) - y - height;
  glScissor(x, static_cast<GLint>(std::clamp<int64_t>(gl_y, INT32_MIN, INT32_MAX)),
            std::max(width, 0), std::max(height, 0));
}

void TGLRender2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
  GLCache& c = Cache();
  c.ix = ix;
  c.iy = iy;
  c.jx = jx;
  c.jy = jy;
}

void TGLRender2DDriver::SetLineWidth(float width) {
  if (!(width > 0.0f)) return;  // OpenGL rejects zero, negative and NaN widths
  Flush();
  glLineWidth(width);
}

void TGLRender2DDriver::Cls() {
  Flush();
  glClear(GL_COLOR_BUFFER_BIT);
}

void TGLRender2DDriver::Plot(float x, float y) {
  DisableTextures();
  QueueVertex(BatchFor(GL_POINTS), x + 0.5f, y + 0.5f, 0.0f, 0.0f);
}

void TGLRender2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  DisableTextures();
  std::vector<BatchVertex>& batch = BatchFor(GL_LINES);
  float sx = 0.0f, sy = 0.0f;
  TransformPoint(x0, y0, tx + 0.5f, ty + 0.5f, sx, sy);
  QueueVertex(batch, sx, sy, 0.0f, 0.0f);
  TransformPoint(x1, y1, tx + 0.5f, ty + 0.5f, sx, sy);
  QueueVertex(batch, sx, sy, 0.0f, 0.0f);
}

void TGLRender2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  DisableTextures();
  QueueQuad(x0, y0, x1, y1, tx, ty, 0.0f, 0.0f, 0.0f, 0.0f);
}

void TGLRender2DDriver::QueueQuad(float x0, float y0, float x1, float y1, float tx, float ty,
                                  float u0, float v0, float u1, float v1) {
  std::vector<BatchVertex>& batch = BatchFor(GL_QUADS);
  const GLCache& c = Cache();
  const auto corner = [&](float x, float y, float u, float v) {
    QueueVertex(batch, x * c.ix + y * c.iy + tx, x * c.jx + y * c.jy + ty, u, v);
  };
  corner(x0, y0, u0, v0);
  corner(x1, y0, u1, v0);
  corner(x1, y1, u1, v1);
  corner(x0, y1, u0, v1);
}

void TGLRender2DDriver::Flush() {
  GLCache& c = Cache();
  if (c.batch.empty()) return;
  void* context = SDL_GL_GetCurrentContext();
  if (!context) {  // the context it was meant for is gone
    c.batch.clear();
    return;
  }
  if (c.arrays_context != context) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    c.arrays_context = context;
  }
  const BatchVertex* first = c.batch.data();
  glVertexPointer(2, GL_FLOAT, sizeof(BatchVertex), &first->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), &first->u);
  glColorPointer(4, GL_FLOAT, sizeof(BatchVertex), &first->red);
  glDrawArrays(c.batch_mode, 0, static_cast<GLsizei>(c.batch.size()));
  c.batch.clear();
}

void TGLRender2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float xr = (x1 - x0) * 0.5f;
  const float yr = (y1 - y0) * 0.5f;
  const int32_t segments = OvalSegments(xr, yr);
  const float cx = x0 + xr, cy = y0 + yr;
  DisableTextures();
  Flush();
  SendColour();  // a drawn array leaves the current colour undefined
  glBegin(GL_POLYGON);
  for (int32_t i = 0; i < segments; ++i) {
    const double angle = i * 360.0 / segments * (M_PI / 180.0);
    Vertex(static_cast<float>(cx + std::cos(angle) * xr),
           static_cast<float>(cy - std::sin(angle) * yr), tx, ty);
  }
  glEnd();
}

void TGLRender2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y,
                                 float tx, float ty) {
  if (xy.size() < 6 || xy.size() % 2 != 0) return;
  DisableTextures();
  Flush();
  SendColour();
  glBegin(GL_POLYGON);
  for (size_t i = 0; i < xy.size(); i += 2) Vertex(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
  glEnd();
}

void TGLRender2DDriver::DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return;
  std::shared_ptr<TPixmap> flipped = YFlipPixmap(pixmap);
  if (flipped && flipped->format != PF_RGBA8888) flipped = flipped->Convert(PF_RGBA8888);
  if (!flipped) return;
  Flush();
  const int32_t blend = Cache().blend;
  SetBlend(BLEND_SOLID);
  DisableTextures();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, flipped->pitch / 4);
  // The raster position starts at the top-left corner and is moved in window units, so
  // the picture may start off screen.
  glRasterPos2i(0, 0);
  glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(x),
           static_cast<GLfloat>(-static_cast<int64_t>(y) - flipped->height), nullptr);
  glDrawPixels(flipped->width, flipped->height, GL_RGBA, GL_UNSIGNED_BYTE, flipped->pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  SetBlend(blend);
}

std::shared_ptr<TPixmap> TGLRender2DDriver::GrabPixmap(int32_t x, int32_t y, int32_t width,
                                                       int32_t height) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  Flush();
  std::shared_ptr<TPixmap> pixmap = TPixmap::Create(width, height, PF_RGBA8888, 4);
  if (!pixmap) return nullptr;
  pixmap->ClearPixels(0);
  const GLCache& c = Cache();
  // Only the part inside the back buffer is read; the rest stays transparent black.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, c.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, c.height);
  if (left >= right || top >= bottom) return pixmap;
  const int32_t read_w = static_cast<int32_t>(right - left);
  const int32_t read_h = static_cast<int32_t>(bottom - top);

  const int32_t blend = c.blend;
  SetBlend(BLEND_SOLID);
  std::vector<uint8_t> rows(static_cast<size_t>(read_w) * read_h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(static_cast<GLint>(left), static_cast<GLint>(c.height - bottom), read_w, read_h,
               GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  // OpenGL's rows run bottom-up; the pixmap's row 0 is the top row.
  for (int32_t row = 0; row < read_h; ++row) {
    const uint8_t* source = rows.data() + static_cast<size_t>(read_h - 1 - row) * read_w * 4;
    uint8_t* target =
        pixmap->PixelPtr(static_cast<int32_t>(left - x), static_cast<int32_t>(top - y) + row);
    std::memcpy(target, source, static_cast<size_t>(read_w) * 4);
    // The off-screen buffer stores the alpha drawing wrote; without an alpha buffer the
    // pixels read back opaque.
    if (!c.alpha_buffer) {
      for (int32_t column = 0; column < read_w; ++column) target[column * 4 + 3] = 255;
    }
  }
  SetBlend(blend);
  return pixmap;
}

void TGLRender2DDriver::ResetGLContext(std::shared_ptr<TGraphics> g) {
  GLCache& c = Cache();
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  if (g) g->GetSettings(width, height, depth, hertz, flags);
  Flush();
  c.arrays_context = nullptr;
  c.width = width;
  c.height = height;
  c.alpha_buffer = (flags & GFX_ALPHA_BUFFER) != 0;
  c.blend = 0;
  c.bound_texture = 0;
  c.textures_enabled = false;
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, width, height);
}

void TGLRender2DDriver::BindTexture(uint32_t name) {
  GLCache& c = Cache();
  if (name == c.bound_texture) return;
  Flush();
  c.bound_texture = name;
  glBindTexture(GL_TEXTURE_2D, name);
}

void TGLRender2DDriver::EnableTextures() {
  GLCache& c = Cache();
  if (c.textures_enabled) return;
  Flush();
  c.textures_enabled = true;
  glEnable(GL_TEXTURE_2D);
}

void TGLRender2DDriver::DisableTextures() {
  GLCache& c = Cache();
  if (!c.textures_enabled) return;
  Flush();
  c.textures_enabled = false;
  glDisable(GL_TEXTURE_2D);
}

void TGLRender2DDriver::ForgetTexture(uint32_t name) {
  GLCache& c = Cache();
  if (c.bound_texture == name) c.bound_texture = 0;
}

void TGLRender2DDriver::GetTransform(float& ix, float& iy, float& jx, float& jy) {
  const GLCache& c = Cache();
  ix = c.ix;
  iy = c.iy;
  jx = c.jx;
  jy = c.jy;
}

void TGLRender2DDriver::TransformPoint(float x, float y, float tx, float ty, float& out_x,
                                       float& out_y) {
  const GLCache& c = Cache();
  out_x = x * c.ix + y * c.iy + tx;
  out_y = x * c.jx + y * c.jy + ty;
}

std::shared_ptr<TGLRender2DDriver> GLRender2DDriver() {
  static std::shared_ptr<TGLRender2DDriver> driver = std::make_shared<TGLRender2DDriver>();
  return driver;
}
