#include "render/gl/gl_render2d.h"

#include <SDL2/SDL_video.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/gl/gl_api.h"
#include "render/gl/gl_graphics.h"
#include "render/gl/gl_image_frame.h"
#include "render/gl/gl_pipeline.h"
#include "render/graphics.h"
#include "render/pixmap.h"

namespace {

// What OpenGL already has, shared by every instance of the driver, kept apart from the
// render-state record so redundant state changes are filtered here.
struct GLCache {
  int32_t blend = 0;           // 0: unknown
  uint32_t bound_texture = 0;  // 0: none
  bool textures_enabled = false;
  uint8_t colour[4] = {255, 255, 255, 255};
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  float line_width = 0.0f;        // 0: unknown
  int32_t width = 0, height = 0;  // of the graphics last reset
  bool alpha_buffer = false;      // it was opened with GFX_ALPHA_BUFFER
  // The current context and its objects, as the last reset selected them.
  void* context = nullptr;
  const TGLPipeline* pipeline = nullptr;
  uint32_t program = 0;  // in use
  // Primitives of one kind drawn under the current state and not yet sent: quads as four
  // vertices each over the pipeline's fixed index buffer; triangles (of polygons and
  // ovals), lines and points as plain vertices.
  GLenum batch_mode = kQuads;
  std::vector<TGLVertex> vertices;
};

GLCache& Cache() {
  static GLCache cache;
  return cache;
}

uint8_t ClampComponent(int32_t value) {
  return static_cast<uint8_t>(std::clamp<int32_t>(value, 0, 255));
}

// Whether drawing can reach the context the caches describe.
bool Ready() {
  const GLCache& c = Cache();
  return c.pipeline && c.context && c.context == SDL_GL_GetCurrentContext();
}

// Starts (or continues) a run of primitives of the given kind (kQuads, or an OpenGL mode)
// with room for `count` more vertices.
void BatchFor(GLenum mode, size_t count) {
  GLCache& c = Cache();
  if (mode != c.batch_mode || (mode == kQuads && c.vertices.size() + count > kMostQuads * 4)) {
    TGLRender2DDriver::Flush();
    c.batch_mode = mode;
  }
}

void QueueVertex(float x, float y, float u, float v) {
  GLCache& c = Cache();
  c.vertices.push_back(TGLVertex{x, y, u, v, {c.colour[0], c.colour[1], c.colour[2], c.colour[3]}});
}

void Place(float x, float y, float tx, float ty, float& out_x, float& out_y) {
  const GLCache& c = Cache();
  out_x = x * c.ix + y * c.iy + tx;
  out_y = x * c.jx + y * c.jy + ty;
}

// A filled convex polygon as a fan of triangles around its first point, as OpenGL splits
// a polygon; points are already placed.
void QueueFan(const std::vector<float>& placed) {
  const size_t points = placed.size() / 2;
  if (points < 3) return;
  BatchFor(GL_TRIANGLES, 3 * (points - 2));
  for (size_t i = 1; i + 1 < points; ++i) {
    QueueVertex(placed[0], placed[1], 0.0f, 0.0f);
    QueueVertex(placed[2 * i], placed[2 * i + 1], 0.0f, 0.0f);
    QueueVertex(placed[2 * i + 2], placed[2 * i + 3], 0.0f, 0.0f);
  }
}

// The program for the texturing and blend mode now set. Call with the queue flushed.
void UseProgram() {
  GLCache& c = Cache();
  if (!c.pipeline) return;
  const uint32_t program =
      c.pipeline->programs[c.textures_enabled ? 1 : 0][c.blend == BLEND_MASK ? 1 : 0].program;
  if (program == c.program) return;
  c.program = program;
  glUseProgram(program);
}

void ApplyBlend(int32_t mode) {
  switch (mode) {
    case BLEND_ALPHA:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case BLEND_LIGHT:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case BLEND_SHADE:
      glEnable(GL_BLEND);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      break;
    default:  // BLEND_MASK and BLEND_SOLID
      glDisable(GL_BLEND);
      break;
  }
  // The mask mode's alpha test lives in the fragment shader.
  UseProgram();
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
    Cache().pipeline = nullptr;
    Cache().context = nullptr;
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
  if (mode == c.blend || !Ready()) return;
  Flush();
  c.blend = mode;
  ApplyBlend(mode);
}

void TGLRender2DDriver::SetAlpha(float alpha) {
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // negative or NaN
  Cache().colour[3] = static_cast<uint8_t>(alpha * 255.0f);
}

void TGLRender2DDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
  GLCache& c = Cache();
  c.colour[0] = ClampComponent(red);
  c.colour[1] = ClampComponent(green);
  c.colour[2] = ClampComponent(blue);
}

void TGLRender2DDriver::SetClsColor(int32_t red, int32_t green, int32_t blue) {
  if (!Ready()) return;
  glClearColor(ClampComponent(red) / 255.0f, ClampComponent(green) / 255.0f,
               ClampComponent(blue) / 255.0f, 1.0f);
}

void TGLRender2DDriver::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!Ready()) return;
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
  if (!(width > 0.0f) || !Ready()) return;  // OpenGL rejects zero, negative and NaN widths
  GLCache& c = Cache();
  if (width == c.line_width) return;
  Flush();
  glLineWidth(width);
  c.line_width = width;
}

void TGLRender2DDriver::Cls() {
  if (!Ready()) return;
  Flush();
  glClear(GL_COLOR_BUFFER_BIT);
}

namespace {

// The pixel edges [low, high] that a one-pixel line from the pixel centre `from` towards the
// centre `to` covers along its axis: its first pixel up to, not including, its last.
void CoveredSpan(float from, float to, float& low, float& high) {
  low = from <= to ? from - 0.5f : to + 0.5f;
  high = from <= to ? to - 0.5f : from + 0.5f;
}

}  // namespace

// A one-pixel point and a one-pixel-wide line along a pixel row or column cover exactly the
// pixels of a rectangle, so they join the quads' batch: the game's scanlines, each a line and
// a plot of its end pixel, are one draw instead of a draw per line and per point.
void TGLRender2DDriver::Plot(float x, float y) {
  DisableTextures();
  QueueRectangle(x, y, x + 1.0f, y + 1.0f);
}

void TGLRender2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  DisableTextures();
  float sx0 = 0.0f, sy0 = 0.0f, sx1 = 0.0f, sy1 = 0.0f;
  Place(x0, y0, tx + 0.5f, ty + 0.5f, sx0, sy0);
  Place(x1, y1, tx + 0.5f, ty + 0.5f, sx1, sy1);
  if (Cache().line_width == 1.0f && (sx0 == sx1 || sy0 == sy1)) {
    // A line covers the pixels whose centres lie from its first point up to, not including,
    // its last one, in the row (column) its centre line runs through.
    if (sx0 == sx1 && sy0 == sy1) return;
    float left = sx0 - 0.5f, right = sx0 + 0.5f, top = sy0 - 0.5f, bottom = sy0 + 0.5f;
    if (sy0 == sy1) {
      CoveredSpan(sx0, sx1, left, right);
    } else {
      CoveredSpan(sy0, sy1, top, bottom);
    }
    QueueRectangle(left, top, right, bottom);
    return;
  }
  BatchFor(GL_LINES, 2);
  QueueVertex(sx0, sy0, 0.0f, 0.0f);
  QueueVertex(sx1, sy1, 0.0f, 0.0f);
}

void TGLRender2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  DisableTextures();
  QueueQuad(x0, y0, x1, y1, tx, ty, 0.0f, 0.0f, 0.0f, 0.0f);
}

void TGLRender2DDriver::QueueQuad(float x0, float y0, float x1, float y1, float tx, float ty,
                                  float u0, float v0, float u1, float v1) {
  BatchFor(kQuads, 4);
  const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
  const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
  for (int32_t i = 0; i < 4; ++i) {
    float x = 0.0f, y = 0.0f;
    Place(xs[i], ys[i], tx, ty, x, y);
    QueueVertex(x, y, us[i], vs[i]);
  }
}

void TGLRender2DDriver::QueueRectangle(float x0, float y0, float x1, float y1) {
  BatchFor(kQuads, 4);
  QueueVertex(x0, y0, 0.0f, 0.0f);
  QueueVertex(x1, y0, 0.0f, 0.0f);
  QueueVertex(x1, y1, 0.0f, 0.0f);
  QueueVertex(x0, y1, 0.0f, 0.0f);
}

void TGLRender2DDriver::Flush() {
  GLCache& c = Cache();
  if (c.vertices.empty()) return;
  if (!Ready()) {  // the context it was meant for is gone
    c.vertices.clear();
    return;
  }
  // A fresh store each time: the driver need not wait for the previous draw to finish with it.
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(c.vertices.size() * sizeof(TGLVertex)),
               c.vertices.data(), GL_STREAM_DRAW);
  if (c.batch_mode == kQuads) {
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(c.vertices.size() / 4 * 6), GL_UNSIGNED_SHORT,
                   nullptr);
  } else {
    glDrawArrays(c.batch_mode, 0, static_cast<GLsizei>(c.vertices.size()));
  }
  c.vertices.clear();
}

void TGLRender2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float xr = (x1 - x0) * 0.5f;
  const float yr = (y1 - y0) * 0.5f;
  const int32_t segments = OvalSegments(xr, yr);
  const float cx = x0 + xr, cy = y0 + yr;
  DisableTextures();
  std::vector<float> placed(static_cast<size_t>(segments) * 2);
  for (int32_t i = 0; i < segments; ++i) {
    const double angle = i * 360.0 / segments * (M_PI / 180.0);
    Place(static_cast<float>(cx + std::cos(angle) * xr),
          static_cast<float>(cy - std::sin(angle) * yr), tx, ty, placed[2 * i], placed[2 * i + 1]);
  }
  QueueFan(placed);
}

void TGLRender2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y,
                                 float tx, float ty) {
  if (xy.size() < 6 || xy.size() % 2 != 0) return;
  DisableTextures();
  std::vector<float> placed(xy.size());
  for (size_t i = 0; i < xy.size(); i += 2) {
    Place(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty, placed[i], placed[i + 1]);
  }
  QueueFan(placed);
}

void TGLRender2DDriver::DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 || !Ready()) return;
  GLCache& c = Cache();
  // Only the part inside the back buffer is uploaded: what lies outside is never seen.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + pixmap->width, c.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + pixmap->height, c.height);
  if (left >= right || top >= bottom) return;
  const int32_t w = static_cast<int32_t>(right - left), h = static_cast<int32_t>(bottom - top);
  std::shared_ptr<TPixmap> visible =
      pixmap->Window(static_cast<int32_t>(left - x), static_cast<int32_t>(top - y), w, h);
  if (visible && visible->format != PF_RGBA8888) visible = visible->Convert(PF_RGBA8888);
  if (!visible) return;

  Flush();
  const int32_t blend = c.blend;
  SetBlend(BLEND_SOLID);
  BindTexture(c.pipeline->pixmap_texture);
  EnableTextures();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, visible->pitch / 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, visible->pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // Unmodulated and untransformed: white, pixel-aligned, one texel per pixel.
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  const TGLVertex corners[4] = {{l, t, 0, 0, {255, 255, 255, 255}},
                                {r, t, 1, 0, {255, 255, 255, 255}},
                                {r, b, 1, 1, {255, 255, 255, 255}},
                                {l, b, 0, 1, {255, 255, 255, 255}}};
  BatchFor(kQuads, 4);
  c.vertices.insert(c.vertices.end(), corners, corners + 4);
  Flush();  // the scratch texture is filled again by the next pixmap
  SetBlend(blend);
}

std::shared_ptr<TPixmap> TGLRender2DDriver::GrabPixmap(int32_t x, int32_t y, int32_t width,
                                                       int32_t height) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  Flush();
  std::shared_ptr<TPixmap> pixmap = TPixmap::Create(width, height, PF_RGBA8888, 4);
  if (!pixmap) return nullptr;
  pixmap->ClearPixels(0);
  if (!Ready()) return pixmap;
  const GLCache& c = Cache();
  // Only the part inside the back buffer is read; the rest stays transparent black.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, c.width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, c.height);
  if (left >= right || top >= bottom) return pixmap;
  const int32_t read_w = static_cast<int32_t>(right - left);
  const int32_t read_h = static_cast<int32_t>(bottom - top);

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
  return pixmap;
}

void TGLRender2DDriver::ResetGLContext(std::shared_ptr<TGraphics> g) {
  GLCache& c = Cache();
  Flush();
  c.pipeline = nullptr;
  c.context = nullptr;
  c.program = 0;
  c.blend = 0;
  c.bound_texture = 0;
  c.textures_enabled = false;
  c.line_width = 0.0f;
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  if (g) g->GetSettings(width, height, depth, hertz, flags);
  c.width = width;
  c.height = height;
  c.alpha_buffer = (flags & GFX_ALPHA_BUFFER) != 0;
  auto gl = std::dynamic_pointer_cast<TGLGraphics>(g);
  if (!gl || !gl->_context || !gl->_context->gl_context ||
      gl->_context->gl_context != SDL_GL_GetCurrentContext()) {
    return;
  }
  const TGLPipeline& pipeline = gl->_context->pipeline;
  c.pipeline = &pipeline;
  c.context = gl->_context->gl_context;
  // The vertex array keeps the index buffer; the vertex buffer is bound for the uploads.
  glBindVertexArray(pipeline.vertex_array);
  glBindBuffer(GL_ARRAY_BUFFER, pipeline.vertex_buffer);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_BLEND);
  // glOrtho(0, width, height, 0, -1, 1), column by column.
  const float projection[16] = {2.0f / static_cast<float>(width),
                                0.0f,
                                0.0f,
                                0.0f,
                                0.0f,
                                2.0f / (0.0f - static_cast<float>(height)),
                                0.0f,
                                0.0f,
                                0.0f,
                                0.0f,
                                -1.0f,
                                0.0f,
                                -1.0f,
                                1.0f,
                                0.0f,
                                1.0f};
  for (const auto& row : pipeline.programs) {
    for (const TGLProgram& program : row) {
      glUseProgram(program.program);
      glUniformMatrix4fv(program.projection, 1, GL_FALSE, projection);
    }
  }
  c.program = 0;
  UseProgram();
  glViewport(0, 0, width, height);
}

void TGLRender2DDriver::BindTexture(uint32_t name) {
  GLCache& c = Cache();
  if (name == c.bound_texture || !Ready()) return;
  Flush();
  c.bound_texture = name;
  glBindTexture(GL_TEXTURE_2D, name);
}

void TGLRender2DDriver::EnableTextures() {
  GLCache& c = Cache();
  if (c.textures_enabled || !Ready()) return;
  Flush();
  c.textures_enabled = true;
  UseProgram();
}

void TGLRender2DDriver::DisableTextures() {
  GLCache& c = Cache();
  if (!c.textures_enabled || !Ready()) return;
  Flush();
  c.textures_enabled = false;
  UseProgram();
}

void TGLRender2DDriver::ForgetTexture(uint32_t name) {
  GLCache& c = Cache();
  if (c.bound_texture == name) c.bound_texture = 0;
}

void TGLRender2DDriver::ForgetContext(void* gl_context) {
  GLCache& c = Cache();
  if (c.context != gl_context) return;
  c.vertices.clear();
  c.context = nullptr;
  c.pipeline = nullptr;
  c.program = 0;
}

std::shared_ptr<TGLRender2DDriver> GLRender2DDriver() {
  static std::shared_ptr<TGLRender2DDriver> driver = std::make_shared<TGLRender2DDriver>();
  return driver;
}
