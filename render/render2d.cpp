#include "render/render2d.h"

#include <algorithm>
#include <cmath>

#include "render/collision.h"
#include "render/font.h"
#include "render/pixmap.h"
#include "support/random.h"
#include "support/truncate.h"

namespace {

// The one current render state and its driver.
struct RenderState {
  std::shared_ptr<TRender2DGraphics> record;
  std::shared_ptr<TRender2DDriver> driver;
};

RenderState& State() {
  static RenderState state;
  return state;
}

// The current record and driver, or nullptr for both when either is missing.
TRender2DGraphics* Record() {
  RenderState& state = State();
  return state.driver ? state.record.get() : nullptr;
}

}  // namespace

std::shared_ptr<TGraphicsDriver> TRender2DGraphics::Driver() {
  return _driver;
}

void TRender2DGraphics::GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                                    int32_t& flags) {
  width = height = depth = hertz = flags = 0;
  if (_graphics) _graphics->GetSettings(width, height, depth, hertz, flags);
}

void TRender2DGraphics::Close() {
  if (_graphics) _graphics->Close();
  _graphics = nullptr;
  _driver = nullptr;
}

void TRender2DGraphics::Validate() {
  // Replays through the global setters so the driver ends up with exactly the record's
  // state; the handle is stored negated, so it is handed back un-negated.
  const float rotation = tform_rot;
  const float scale_x = tform_scale_x, scale_y = tform_scale_y;
  const int32_t red = color_red, green = color_green, blue = color_blue;
  ::SetBlend(blend_mode);
  ::SetColor(red, green, blue);
  ::SetAlpha(color_alpha);
  ::SetClsColor(clscolor_red, clscolor_green, clscolor_blue);
  ::SetLineWidth(line_width);
  ::SetRotation(rotation);
  ::SetScale(scale_x, scale_y);
  ::SetViewport(viewport_x, viewport_y, viewport_w, viewport_h);
  ::SetOrigin(origin_x, origin_y);
  ::SetHandle(-handle_x, -handle_y);
  ::SetImageFont(image_font);
}

void TRender2DGraphics::MakeCurrent() {
  RenderState& state = State();
  state.record = shared_from_this();
  state.driver = _driver;
  Validate();
  if (!_setup) {
    // Both buffers start clean.
    ::Cls();
    ::Flip(0);
    ::Cls();
    ::Flip(0);
    _setup = 1;
  }
}

void TRender2DGraphics::ClearCurrent() {
  RenderState& state = State();
  state.record = nullptr;
  state.driver = nullptr;
}

std::shared_ptr<TRender2DGraphics> TRender2DGraphics::Current() {
  return State().record;
}

std::shared_ptr<TRender2DGraphics> TRender2DGraphics::Create(
    std::shared_ptr<TGraphics> graphics, std::shared_ptr<TRender2DDriver> driver) {
  if (!graphics) return nullptr;
  int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  graphics->GetSettings(width, height, depth, hertz, flags);
  auto record = std::make_shared<TRender2DGraphics>();
  record->viewport_w = width;
  record->viewport_h = height;
  record->image_font = DefaultImageFont();
  record->_graphics = std::move(graphics);
  record->_driver = std::move(driver);
  return record;
}

std::shared_ptr<TRender2DDriver> CurrentRender2DDriver() {
  return State().driver;
}

void SetColor(int32_t red, int32_t green, int32_t blue) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->color_red = red;
  r->color_green = green;
  r->color_blue = blue;
  r->_driver->SetColor(red, green, blue);
}

void GetColor(int32_t& red, int32_t& green, int32_t& blue) {
  TRender2DGraphics* r = Record();
  red = r ? r->color_red : 255;
  green = r ? r->color_green : 255;
  blue = r ? r->color_blue : 255;
}

void SetAlpha(float alpha) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->color_alpha = alpha;
  r->_driver->SetAlpha(alpha);
}

float GetAlpha() {
  TRender2DGraphics* r = Record();
  return r ? r->color_alpha : 1.0f;
}

void SetBlend(int32_t mode) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->blend_mode = mode;
  r->_driver->SetBlend(mode);
}

int32_t GetBlend() {
  TRender2DGraphics* r = Record();
  return r ? r->blend_mode : BLEND_MASK;
}

void SetClsColor(int32_t red, int32_t green, int32_t blue) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->clscolor_red = red;
  r->clscolor_green = green;
  r->clscolor_blue = blue;
  r->_driver->SetClsColor(red, green, blue);
}

void GetClsColor(int32_t& red, int32_t& green, int32_t& blue) {
  TRender2DGraphics* r = Record();
  red = r ? r->clscolor_red : 0;
  green = r ? r->clscolor_green : 0;
  blue = r ? r->clscolor_blue : 0;
}

void Cls() {
  TRender2DGraphics* r = Record();
  if (r) r->_driver->Cls();
}

void SetLineWidth(float width) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->line_width = width;
  r->_driver->SetLineWidth(width);
}

float GetLineWidth() {
  TRender2DGraphics* r = Record();
  return r ? r->line_width : 1.0f;
}

void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->viewport_x = x;
  r->viewport_y = y;
  r->viewport_w = width;
  r->viewport_h = height;
  r->_driver->SetViewport(x, y, width, height);
}

void GetViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  TRender2DGraphics* r = Record();
  x = r ? r->viewport_x : 0;
  y = r ? r->viewport_y : 0;
  width = r ? r->viewport_w : 0;
  height = r ? r->viewport_h : 0;
}

void SetOrigin(float x, float y) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->origin_x = x;
  r->origin_y = y;
}

void GetOrigin(float& x, float& y) {
  TRender2DGraphics* r = Record();
  x = r ? r->origin_x : 0.0f;
  y = r ? r->origin_y : 0.0f;
}

void SetHandle(float x, float y) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->handle_x = -x;
  r->handle_y = -y;
}

void GetHandle(float& x, float& y) {
  TRender2DGraphics* r = Record();
  x = r ? -r->handle_x : 0.0f;
  y = r ? -r->handle_y : 0.0f;
}

void SetRotation(float degrees) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->tform_rot = degrees;
  UpdateTransform();
}

float GetRotation() {
  TRender2DGraphics* r = Record();
  return r ? r->tform_rot : 0.0f;
}

void SetScale(float scale_x, float scale_y) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->tform_scale_x = scale_x;
  r->tform_scale_y = scale_y;
  UpdateTransform();
}

void GetScale(float& scale_x, float& scale_y) {
  TRender2DGraphics* r = Record();
  scale_x = r ? r->tform_scale_x : 1.0f;
  scale_y = r ? r->tform_scale_y : 1.0f;
}

void SetRotationScale(float degrees, float scale_x, float scale_y) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->tform_rot = degrees;
  r->tform_scale_x = scale_x;
  r->tform_scale_y = scale_y;
  UpdateTransform();
}

void RotationScaleMatrix(float degrees, float scale_x, float scale_y, float& ix, float& iy,
                         float& jx, float& jy) {
  const double s = SinDeg(degrees);
  const double c = CosDeg(degrees);
  ix = static_cast<float>(c * scale_x);
  iy = static_cast<float>(-s * scale_y);
  jx = static_cast<float>(s * scale_x);
  jy = static_cast<float>(c * scale_y);
}

bool RenderStateCurrent() {
  return Record() != nullptr;
}

void UpdateTransform() {
  TRender2DGraphics* r = Record();
  if (!r) return;
  RotationScaleMatrix(r->tform_rot, r->tform_scale_x, r->tform_scale_y, r->tform_ix, r->tform_iy,
                      r->tform_jx, r->tform_jy);
  r->_driver->SetTransform(r->tform_ix, r->tform_iy, r->tform_jx, r->tform_jy);
  SetCollisionTransform(r->tform_ix, r->tform_iy, r->tform_jx, r->tform_jy);
}

void Plot(float x, float y) {
  TRender2DGraphics* r = Record();
  if (r) r->_driver->Plot(x + r->origin_x, y + r->origin_y);
}

void DrawRect(float x, float y, float width, float height) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->_driver->DrawRect(r->handle_x, r->handle_y, r->handle_x + width, r->handle_y + height,
                       x + r->origin_x, y + r->origin_y);
}

void DrawOval(float x, float y, float width, float height) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->_driver->DrawOval(r->handle_x, r->handle_y, r->handle_x + width, r->handle_y + height,
                       x + r->origin_x, y + r->origin_y);
}

void DrawLine(float x1, float y1, float x2, float y2, int32_t last) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  const float tx = x1 + r->origin_x, ty = y1 + r->origin_y;
  const float px = r->handle_x + x2 - x1, py = r->handle_y + y2 - y1;
  r->_driver->DrawLine(r->handle_x, r->handle_y, px, py, tx, ty);
  if (last) {
    // OpenGL lines leave out their end pixel; plot it through the same matrix.
    r->_driver->Plot(px * r->tform_ix + py * r->tform_iy + tx,
                     px * r->tform_jx + py * r->tform_jy + ty);
  }
}

void DrawPoly(const std::vector<float>& xy) {
  TRender2DGraphics* r = Record();
  if (!r) return;
  r->_driver->DrawPoly(xy, r->handle_x, r->handle_y, r->origin_x, r->origin_y);
}

void DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) {
  TRender2DGraphics* r = Record();
  if (r && pixmap) r->_driver->DrawPixmap(std::move(pixmap), x, y);
}

std::shared_ptr<TPixmap> GrabPixmap(int32_t x, int32_t y, int32_t width, int32_t height) {
  TRender2DGraphics* r = Record();
  return r ? r->_driver->GrabPixmap(x, y, width, height) : nullptr;
}

int32_t OvalSegments(float x_radius, float y_radius) {
  const int32_t segments = TruncateToInt(std::fabs(x_radius) + std::fabs(y_radius));
  return std::clamp(segments, 12, 8192) & ~3;
}
