#pragma once
// The 2D render state: one current TRender2DGraphics record and its TRender2DDriver.
// Global setters record the value in the current record first, then forward it to the
// driver; drawing calls go to the driver. With no current graphics every call does
// nothing (getters return the creation defaults). Game thread only.
//
// Coordinates are back-buffer pixels, origin top-left, y down; angles in degrees; colour
// components 0-255; alpha 0.0-1.0.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/graphics.h"

class TPixmap;
class TImageFrame;
class TImageFont;

constexpr int32_t BLEND_MASK = 1;   // no blending; alpha test >= 0.5
constexpr int32_t BLEND_SOLID = 2;  // no blending, no alpha test (also any unknown mode)
constexpr int32_t BLEND_ALPHA = 3;  // src * a + dst * (1 - a)
constexpr int32_t BLEND_LIGHT = 4;  // src * a + dst (additive)
constexpr int32_t BLEND_SHADE = 5;  // src * dst (multiply)

class TRender2DDriver : public TGraphicsDriver {
 public:
  // A drawable frame for the pixmap under the current graphics; none on failure.
  virtual std::shared_ptr<TImageFrame> CreateFrameFromPixmap(std::shared_ptr<TPixmap> pixmap,
                                                             int32_t flags) = 0;
  virtual void SetBlend(int32_t mode) = 0;
  // Clamped to 0.0-1.0 (NaN gives 0).
  virtual void SetAlpha(float alpha) = 0;
  // Each component clamped to 0-255.
  virtual void SetColor(int32_t red, int32_t green, int32_t blue) = 0;
  virtual void SetClsColor(int32_t red, int32_t green, int32_t blue) = 0;
  // Clip rectangle; the full back buffer switches clipping off.
  virtual void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // The matrix applied to shape coordinates: (x * ix + y * iy, x * jx + y * jy).
  virtual void SetTransform(float ix, float iy, float jx, float jy) = 0;
  virtual void SetLineWidth(float width) = 0;
  // Clears the colour buffer (inside the clip rectangle) to the Cls colour.
  virtual void Cls() = 0;
  // One pixel at (x, y); no matrix.
  virtual void Plot(float x, float y) = 0;
  // Shape coordinates go through the matrix, then (tx, ty) is added. The line leaves out
  // its last pixel.
  virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  // x,y pairs, each offset by the handle; fewer than 3 points or an odd count draws nothing.
  virtual void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                        float ty) = 0;
  // Writes the pixmap's pixels unscaled and untransformed with its top-left at (x, y).
  virtual void DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) = 0;
  // The back-buffer rectangle as a format-6 (RGBA) pixmap, top row first; none if the size
  // is not positive.
  virtual std::shared_ptr<TPixmap> GrabPixmap(int32_t x, int32_t y, int32_t width,
                                              int32_t height) = 0;
  virtual std::string ToString() = 0;
};

// Declares, inside a 2D driver's class body, its overrides of the drawing calls.
#define VEXTRAL_RENDER2D_DRAWING_OVERRIDES                                                        \
  std::shared_ptr<TImageFrame> CreateFrameFromPixmap(std::shared_ptr<TPixmap> pixmap,             \
                                                     int32_t flags) override;                     \
  void SetBlend(int32_t mode) override;                                                           \
  void SetAlpha(float alpha) override;                                                            \
  void SetColor(int32_t red, int32_t green, int32_t blue) override;                               \
  void SetClsColor(int32_t red, int32_t green, int32_t blue) override;                            \
  void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) override;                 \
  void SetTransform(float ix, float iy, float jx, float jy) override;                             \
  void SetLineWidth(float width) override;                                                        \
  void Cls() override;                                                                            \
  void Plot(float x, float y) override;                                                           \
  void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;             \
  void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;             \
  void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;             \
  void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx, float ty) \
      override;                                                                                   \
  void DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y) override;                \
  std::shared_ptr<TPixmap> GrabPixmap(int32_t x, int32_t y, int32_t width, int32_t height) override

// The render-state record of one graphics.
class TRender2DGraphics : public TGraphics, public std::enable_shared_from_this<TRender2DGraphics> {
 public:
  int32_t color_red = 255, color_green = 255, color_blue = 255;
  float color_alpha = 1.0f;
  int32_t clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
  float line_width = 1.0f;
  float tform_rot = 0.0f;
  float tform_scale_x = 1.0f, tform_scale_y = 1.0f;
  float tform_ix = 1.0f, tform_iy = 0.0f, tform_jx = 0.0f, tform_jy = 1.0f;
  int32_t viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
  float origin_x = 0.0f, origin_y = 0.0f;
  // Stored negated: SetHandle(10, 5) stores (-10, -5).
  float handle_x = 0.0f, handle_y = 0.0f;
  std::shared_ptr<TImageFont> image_font;
  int32_t blend_mode = BLEND_MASK;
  std::shared_ptr<TGraphics> _graphics;
  std::shared_ptr<TRender2DDriver> _driver;
  int32_t _setup = 0;

  std::shared_ptr<TGraphicsDriver> Driver() override;
  // Forwards to the wrapped graphics (all 0 when it is gone).
  void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                   int32_t& flags) override;
  // Closes the wrapped graphics and drops it and the driver.
  void Close() override;
  // Replays the whole recorded state through the global setters.
  void Validate();
  // Makes this record and its driver current and validates; the first time also clears and
  // flips twice so both buffers start clean.
  void MakeCurrent();

  static void ClearCurrent();
  static std::shared_ptr<TRender2DGraphics> Current();
  // A record with the creation values, viewport covering the graphics; makes sure the
  // default image font exists.
  static std::shared_ptr<TRender2DGraphics> Create(std::shared_ptr<TGraphics> graphics,
                                                   std::shared_ptr<TRender2DDriver> driver);
};

// The current 2D driver (none when no graphics is current).
std::shared_ptr<TRender2DDriver> CurrentRender2DDriver();

void SetColor(int32_t red, int32_t green, int32_t blue);
void GetColor(int32_t& red, int32_t& green, int32_t& blue);
void SetAlpha(float alpha);
float GetAlpha();
void SetBlend(int32_t mode);
int32_t GetBlend();
void SetClsColor(int32_t red, int32_t green, int32_t blue);
void GetClsColor(int32_t& red, int32_t& green, int32_t& blue);
void Cls();
void SetLineWidth(float width);
float GetLineWidth();
void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
void GetViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height);
// Offset added to every drawing position.
void SetOrigin(float x, float y);
void GetOrigin(float& x, float& y);
// The point of a shape that lands on the drawing position (not used for images).
void SetHandle(float x, float y);
void GetHandle(float& x, float& y);
void SetRotation(float degrees);
float GetRotation();
void SetScale(float scale_x, float scale_y);
void GetScale(float& scale_x, float& scale_y);
void SetRotationScale(float degrees, float scale_x, float scale_y);
// The matrix (x * ix + y * iy, x * jx + y * jy) the render state makes for a rotation and
// scale.
void RotationScaleMatrix(float degrees, float scale_x, float scale_y, float& ix, float& iy,
                         float& jx, float& jy);
// True while a render state and its driver are current (the setters above take effect).
bool RenderStateCurrent();
// Recomputes the matrix from rotation and scale and sends it to the driver and the
// collision layers.
void UpdateTransform();

void Plot(float x, float y);
void DrawRect(float x, float y, float width, float height);
void DrawOval(float x, float y, float width, float height);
// last non-zero also sets the end pixel.
void DrawLine(float x1, float y1, float x2, float y2, int32_t last = 1);
void DrawPoly(const std::vector<float>& xy);
// Back-buffer pixels, untouched by origin, handle and matrix. GrabPixmap gives none with no
// current graphics.
void DrawPixmap(std::shared_ptr<TPixmap> pixmap, int32_t x, int32_t y);
std::shared_ptr<TPixmap> GrabPixmap(int32_t x, int32_t y, int32_t width, int32_t height);

// Vertices of the polygon an oval with radii x_radius, y_radius is drawn as: |x_radius| +
// |y_radius| truncated, at least 12, rounded down to a multiple of 4 (capped at 8192 so
// absurd sizes cannot stall a driver).
int32_t OvalSegments(float x_radius, float y_radius);
