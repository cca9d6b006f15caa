#pragma once
// OpenGL windows over SDL2: one window and GL context per graphics, all sharing textures
// with a hidden context made on first use. Full screen is a borderless desktop window; the
// requested width x height is an off-screen framebuffer that every drawing call and pixel
// read sees, presented letterboxed by Flip. Game thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/graphics.h"

struct SDL_Window;

// The platform context record of one window.
struct TGLContext {
  int32_t kind = 0;  // 1 attached to a foreign window, 2 own window, 3 own full-screen window
  int32_t width = 0, height = 0;  // the back buffer
  int32_t depth = 0, hertz = 0, flags = 0;
  SDL_Window* window = nullptr;
  void* gl_context = nullptr;   // SDL_GLContext
  uint32_t framebuffer = 0;     // off-screen back buffer (0: the window's own)
  uint32_t colour_buffer = 0;   // its colour renderbuffer
  uint32_t stencil_buffer = 0;  // its depth/stencil renderbuffer, if asked for
};

class TGLGraphicsDriver;

class TGLGraphics : public TGraphics {
 public:
  std::shared_ptr<TGLContext> _context;

  std::shared_ptr<TGraphicsDriver> Driver() override;
  void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                   int32_t& flags) override;
  void Close() override;
  ~TGLGraphics() override;
};

class TGLGraphicsDriver : public TGraphicsDriver {
 public:
  std::vector<TGraphicsMode> GraphicsModes() override;
  std::shared_ptr<TGraphics> AttachGraphics(void* window, int32_t flags) override;
  std::shared_ptr<TGraphics> CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                            int32_t hertz, int32_t flags) override;
  void SetGraphics(std::shared_ptr<TGraphics> g) override;
  void Flip(int32_t sync) override;
  double RefreshRate() override;
  bool AdaptiveSync() override;
  // Switches between the shared texture context and the current graphics' context; texture
  // creation and deletion run between two calls.
  void SwapSharedContext();
  // Deletes a texture of the shared context's share group once: at once if a context of the
  // group is current, else the next time one is made current. Safe during static destruction.
  static void DeleteTexture(uint32_t name);
  // The graphics whose context is current, or none.
  std::shared_ptr<TGLGraphics> CurrentGLGraphics();
};

// The one OpenGL graphics driver, created on first use.
std::shared_ptr<TGLGraphicsDriver> GLGraphicsDriver();
