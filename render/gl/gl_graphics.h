#pragma once
// OpenGL windows over SDL2: one window and context per graphics (OpenGL 3.3 core or ES 3.0
// on a desktop, WebGL 2 in a browser), each context sharing its textures with the others
// alive at the time. Drawing goes straight into the window when its drawable is exactly the
// requested width x height and a swap keeps the back buffer (so the last frame can be read
// after its flip); otherwise into an off-screen framebuffer of that size that every drawing
// call and pixel read sees, presented letterboxed by Flip. There is no hidden
// texture context: textures live in the contexts' share group, which ends when its last
// context closes (a new graphics makes every frame anew anyway). Game thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/gl/gl_pipeline.h"
#include "render/graphics.h"

struct SDL_Window;

// The platform context record of one window.
struct TGLContext {
  int32_t kind = 0;  // 1 attached to a foreign window, 2 own window, 3 own full-screen window
  int32_t width = 0, height = 0;  // the back buffer
  int32_t depth = 0, hertz = 0, flags = 0;
  SDL_Window* window = nullptr;
  void* gl_context = nullptr;   // SDL_GLContext
  uint32_t framebuffer = 0;     // off-screen back buffer (0: drawn into the window directly)
  uint32_t colour_buffer = 0;   // its colour renderbuffer
  uint32_t stencil_buffer = 0;  // its depth/stencil renderbuffer, if asked for
  TGLPipeline pipeline;         // the 2D driver's objects in this context
};

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
  VEXTRAL_GRAPHICS_DRIVER_OVERRIDES;
  double RefreshRate() override;
  bool AdaptiveSync() override;
  // The graphics whose context is current, or none.
  std::shared_ptr<TGLGraphics> CurrentGLGraphics();
  // Makes a context of the share group every texture lives in current (the current
  // graphics' own if there is one, else any open one); the next call puts back the context
  // that was current before. Texture work that may run with no graphics current goes
  // between two calls. Nothing happens while no context is open.
  void SwapSharedContext();

  // The share group textures are made in now: non-zero while any context is open, new each
  // time one opens with none other open.
  static uint64_t ShareGroup();
  // Deletes a texture made in the given share group: at once if a context of the group is
  // current, else the next time one is made current; nothing if the group has ended (its
  // textures went with it). Safe during static destruction.
  static void DeleteTexture(uint32_t name, uint64_t share_group);
};

// Texture work needs a context of the share group current: this makes the current
// graphics' context current if another (or none) is, else any open one, and puts the
// previous context back when it goes. Open() is false when no context is open.
class TGLShareGroupScope {
 public:
  TGLShareGroupScope();
  ~TGLShareGroupScope();
  TGLShareGroupScope(const TGLShareGroupScope&) = delete;
  TGLShareGroupScope& operator=(const TGLShareGroupScope&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_ = false;
  bool switched_ = false;
  SDL_Window* previous_window_ = nullptr;
  void* previous_context_ = nullptr;
};

// The one OpenGL graphics driver, created on first use.
std::shared_ptr<TGLGraphicsDriver> GLGraphicsDriver();
