#include "render/gl/gl_graphics.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "input/system.h"
#include "render/gl/gl_render2d.h"
#include "render/letterbox.h"

namespace {

// Framebuffer-object entry points (OpenGL 3.0 / ARB_framebuffer_object), looked up once.
struct FramebufferFunctions {
  bool loaded = false;
  bool available = false;
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
};

constexpr int32_t kUnknownSync = INT32_MIN;

struct Platform {
  SDL_Window* shared_window = nullptr;
  SDL_GLContext shared_context = nullptr;
  bool shared_failed = false;
  std::shared_ptr<TGLGraphics> current;
  // The swap interval last set by Flip; unknown at first, so the first flip sets it.
  int32_t remembered_sync = kUnknownSync;
  FramebufferFunctions fb;
  // The pointer mapping last handed to the input layer.
  SDL_Window* mapped_window = nullptr;
  int32_t mapped_w = -1, mapped_h = -1;
  // Textures released while no context of the share group was current, deleted the next
  // time one is.
  std::vector<GLuint> pending_textures;
};

// Never destroyed: image frames held by globals release their textures during static
// destruction, after a function-local static would already be gone.
Platform& State() {
  static Platform& platform = *new Platform;
  return platform;
}

// Whether the current OpenGL context belongs to the share group every texture lives in.
bool ShareGroupCurrent() {
  const Platform& p = State();
  const SDL_GLContext current = SDL_GL_GetCurrentContext();
  if (!current) return false;
  if (current == p.shared_context) return true;
  return p.current && p.current->_context && current == p.current->_context->gl_context;
}

// Deletes the textures that were released while no context of the share group was current.
// Needs one current.
void DeletePendingTextures() {
  Platform& p = State();
  if (p.pending_textures.empty()) return;
  glDeleteTextures(static_cast<GLsizei>(p.pending_textures.size()), p.pending_textures.data());
  for (GLuint name : p.pending_textures) TGLRender2DDriver::ForgetTexture(name);
  p.pending_textures.clear();
}

template <typename Function>
void Load(Function& function, const char* name) {
  function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
}

void LoadFramebufferFunctions() {
  FramebufferFunctions& fb = State().fb;
  if (fb.loaded) return;
  fb.loaded = true;
  Load(fb.GenFramebuffers, "glGenFramebuffers");
  Load(fb.DeleteFramebuffers, "glDeleteFramebuffers");
  Load(fb.BindFramebuffer, "glBindFramebuffer");
  Load(fb.GenRenderbuffers, "glGenRenderbuffers");
  Load(fb.DeleteRenderbuffers, "glDeleteRenderbuffers");
  Load(fb.BindRenderbuffer, "glBindRenderbuffer");
  Load(fb.RenderbufferStorage, "glRenderbufferStorage");
  Load(fb.FramebufferRenderbuffer, "glFramebufferRenderbuffer");
  Load(fb.CheckFramebufferStatus, "glCheckFramebufferStatus");
  Load(fb.BlitFramebuffer, "glBlitFramebuffer");
  fb.available = fb.GenFramebuffers && fb.DeleteFramebuffers && fb.BindFramebuffer &&
                 fb.GenRenderbuffers && fb.DeleteRenderbuffers && fb.BindRenderbuffer &&
                 fb.RenderbufferStorage && fb.FramebufferRenderbuffer &&
                 fb.CheckFramebufferStatus && fb.BlitFramebuffer;
}

bool InitVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "render: no display: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

// The window's pixel format. Colour depth, alpha, depth and stencil live in the
// off-screen back buffer, so the window itself only needs to be double-buffered.
void SetWindowAttributes() {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

// The hidden context every window context shares its textures with.
bool EnsureSharedContext() {
  Platform& p = State();
  if (p.shared_context) return true;
  if (p.shared_failed || !InitVideo()) return false;
  SDL_Window* previous_window = SDL_GL_GetCurrentWindow();
  SDL_GLContext previous_context = SDL_GL_GetCurrentContext();
  SetWindowAttributes();
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  p.shared_window = SDL_CreateWindow("", 0, 0, 1, 1,
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (p.shared_window) p.shared_context = SDL_GL_CreateContext(p.shared_window);
  if (!p.shared_context) {
    std::fprintf(stderr, "render: cannot create an OpenGL context: %s\n", SDL_GetError());
    if (p.shared_window) SDL_DestroyWindow(p.shared_window);
    p.shared_window = nullptr;
    p.shared_failed = true;
    return false;
  }
  LoadFramebufferFunctions();
  SDL_GL_MakeCurrent(previous_window, previous_context);
  return true;
}

// Tells the input layer how window positions map onto back-buffer pixels.
void UpdatePointerMapping(const TGLContext* context) {
  Platform& p = State();
  if (!context || !context->window) {
    if (p.mapped_window) SetPointerMapping(nullptr);
    p.mapped_window = nullptr;
    return;
  }
  int32_t window_w = 0, window_h = 0;
  SDL_GetWindowSize(context->window, &window_w, &window_h);
  if (p.mapped_window == context->window && p.mapped_w == window_w && p.mapped_h == window_h) {
    return;
  }
  p.mapped_window = context->window;
  p.mapped_w = window_w;
  p.mapped_h = window_h;
  if (context->framebuffer == 0 || window_w <= 0 || window_h <= 0) {
    SetPointerMapping(context->window, 1.0f, 0, 0, context->width, context->height);
    return;
  }
  float scale = 1.0f;
  int32_t x = 0, y = 0, w = 0, h = 0;
  FitRectangle(context->width, context->height, window_w, window_h, scale, x, y, w, h);
  SetPointerMapping(context->window, scale, x, y, context->width, context->height);
}

// The off-screen back buffer of the requested size; false if it cannot be made.
bool CreateBackBuffer(TGLContext& context) {
  FramebufferFunctions& fb = State().fb;
  if (!fb.available) return false;
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_size);
  if (context.width > max_size || context.height > max_size) return false;
  fb.GenFramebuffers(1, &context.framebuffer);
  fb.BindFramebuffer(GL_FRAMEBUFFER, context.framebuffer);
  fb.GenRenderbuffers(1, &context.colour_buffer);
  fb.BindRenderbuffer(GL_RENDERBUFFER, context.colour_buffer);
  fb.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, context.width, context.height);
  fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                             context.colour_buffer);
  if (context.flags & (GFX_DEPTH_BUFFER | GFX_STENCIL_BUFFER)) {
    fb.GenRenderbuffers(1, &context.stencil_buffer);
    fb.BindRenderbuffer(GL_RENDERBUFFER, context.stencil_buffer);
    fb.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, context.width, context.height);
    fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                               context.stencil_buffer);
  }
  fb.BindRenderbuffer(GL_RENDERBUFFER, 0);
  if (fb.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
    fb.DeleteFramebuffers(1, &context.framebuffer);
    fb.DeleteRenderbuffers(1, &context.colour_buffer);
    if (context.stencil_buffer) fb.DeleteRenderbuffers(1, &context.stencil_buffer);
    context.framebuffer = context.colour_buffer = context.stencil_buffer = 0;
    return false;
  }
  glViewport(0, 0, context.width, context.height);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  return true;
}

void MakeContextCurrent(const std::shared_ptr<TGLGraphics>& g) {
  if (g && g->_context && g->_context->gl_context) {
    SDL_GL_MakeCurrent(g->_context->window, g->_context->gl_context);
  } else {
    SDL_GL_MakeCurrent(nullptr, nullptr);
  }
}

// Copies the back buffer to the window, scaled to fit with black bars, and swaps.
void Present(TGLContext& context) {
  FramebufferFunctions& fb = State().fb;
  if (context.framebuffer == 0) {
    SDL_GL_SwapWindow(context.window);
    return;
  }
  int32_t drawable_w = 0, drawable_h = 0;
  SDL_GL_GetDrawableSize(context.window, &drawable_w, &drawable_h);
  float scale = 1.0f;
  int32_t x = 0, y = 0, w = 0, h = 0;
  FitRectangle(context.width, context.height, drawable_w, drawable_h, scale, x, y, w, h);

  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  fb.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  if (w != drawable_w || h != drawable_h) {
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
  }
  // GL counts y from the bottom: the bar below the picture is y high in either direction.
  fb.BlitFramebuffer(0, 0, context.width, context.height, x, drawable_h - y - h, x + w,
                     drawable_h - y, GL_COLOR_BUFFER_BIT,
                     (w == context.width && h == context.height) ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(context.window);
  fb.BindFramebuffer(GL_DRAW_FRAMEBUFFER, context.framebuffer);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

// The off-screen back buffer's objects, deleted in its own context, which must be current:
// the framebuffer belongs to that context alone, the renderbuffers to the whole share group,
// so deleting the context would leave them behind.
void DeleteBackBuffer(TGLContext& context) {
  FramebufferFunctions& fb = State().fb;
  if (context.framebuffer) {
    fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
    fb.DeleteFramebuffers(1, &context.framebuffer);
  }
  if (context.colour_buffer) fb.DeleteRenderbuffers(1, &context.colour_buffer);
  if (context.stencil_buffer) fb.DeleteRenderbuffers(1, &context.stencil_buffer);
  context.framebuffer = context.colour_buffer = context.stencil_buffer = 0;
}

void CloseContext(TGLContext& context) {
  Platform& p = State();
  TGLRender2DDriver::Flush();
  if (p.current && p.current->_context.get() == &context) {
    p.current = nullptr;
    UpdatePointerMapping(nullptr);
  }
  if (context.gl_context) {
    const auto gl_context = static_cast<SDL_GLContext>(context.gl_context);
    if (SDL_GL_MakeCurrent(context.window, gl_context) == 0) {
      DeleteBackBuffer(context);
      DeletePendingTextures();
    }
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(gl_context);
  }
  if (context.window) {
    if (p.mapped_window == context.window) UpdatePointerMapping(nullptr);
    SDL_DestroyWindow(context.window);
  }
  context.gl_context = nullptr;
  context.window = nullptr;
  context.framebuffer = context.colour_buffer = context.stencil_buffer = 0;
  context.kind = 0;
  context.width = context.height = context.depth = context.hertz = context.flags = 0;
  // Restores the current graphics' context if another one was current when closing.
  MakeContextCurrent(p.current);
}

}  // namespace

std::shared_ptr<TGraphicsDriver> TGLGraphics::Driver() {
  return _context && _context->kind ? GLGraphicsDriver() : nullptr;
}

void TGLGraphics::GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                              int32_t& flags) {
  width = height = depth = hertz = flags = 0;
  if (!_context || !_context->kind) return;
  if (_context->kind == 1 && _context->window) {
    SDL_GetWindowSize(_context->window, &_context->width, &_context->height);
  }
  width = _context->width;
  height = _context->height;
  depth = _context->depth;
  hertz = _context->hertz;
  flags = _context->flags;
}

void TGLGraphics::Close() {
  if (_context && _context->kind) CloseContext(*_context);
}

TGLGraphics::~TGLGraphics() {
  Close();
}

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes() {
  std::vector<TGraphicsMode> modes;
  if (!InitVideo()) return modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int index = 0; index < count && modes.size() < 1024; ++index) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, index, &mode) != 0) continue;
    const int32_t bits = static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
    if (bits < 16) continue;
    modes.push_back(TGraphicsMode{mode.w, mode.h, bits, mode.refresh_rate});
  }
  return modes;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(void* window, int32_t flags) {
  if (!window || !EnsureSharedContext()) return nullptr;
  TGLRender2DDriver::Flush();  // queued drawing belongs to the context current now
  SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
  auto context = std::make_shared<TGLContext>();
  context->kind = 1;
  context->flags = flags;
  context->window = SDL_CreateWindowFrom(window);
  if (!context->window) {
    std::fprintf(stderr, "render: cannot attach to the window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_GetWindowSize(context->window, &context->width, &context->height);
  SDL_GL_MakeCurrent(State().shared_window, State().shared_context);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  context->gl_context = SDL_GL_CreateContext(context->window);
  if (!context->gl_context) {
    std::fprintf(stderr, "render: cannot create an OpenGL context: %s\n", SDL_GetError());
    SDL_DestroyWindow(context->window);
    MakeContextCurrent(State().current);
    return nullptr;
  }
  MakeContextCurrent(State().current);
  auto graphics = std::make_shared<TGLGraphics>();
  graphics->_context = context;
  return graphics;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::CreateGraphics(int32_t width, int32_t height,
                                                             int32_t depth, int32_t hertz,
                                                             int32_t flags) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    std::fprintf(stderr, "render: cannot open graphics of %d x %d\n", width, height);
    return nullptr;
  }
  if (!EnsureSharedContext()) return nullptr;
  TGLRender2DDriver::Flush();  // queued drawing belongs to the context current now
  Platform& p = State();

  auto context = std::make_shared<TGLContext>();
  context->kind = depth != 0 ? 3 : 2;
  context->width = width;
  context->height = height;
  context->depth = depth;
  context->hertz = hertz;
  context->flags = flags;

  SetWindowAttributes();
  Uint32 window_flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  int x = 32, y = 32, window_w = width, window_h = height;
  SDL_Rect desktop;
  if (context->kind == 3 && SDL_GetDisplayBounds(0, &desktop) == 0) {
    // Full screen without a mode switch: a borderless window over the whole desktop, made
    // at the desktop's size from the start so the GL drawable never has to follow a resize.
    window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    x = desktop.x;
    y = desktop.y;
    window_w = desktop.w;
    window_h = desktop.h;
  }
  context->window = SDL_CreateWindow(AppTitle().c_str(), x, y, window_w, window_h, window_flags);
  if (!context->window) {
    std::fprintf(stderr, "render: cannot open a window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_GL_MakeCurrent(p.shared_window, p.shared_context);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  context->gl_context = SDL_GL_CreateContext(context->window);
  if (!context->gl_context) {
    std::fprintf(stderr, "render: cannot create an OpenGL context: %s\n", SDL_GetError());
    SDL_DestroyWindow(context->window);
    MakeContextCurrent(p.current);
    return nullptr;
  }
  if (!CreateBackBuffer(*context)) {
    int32_t drawable_w = 0, drawable_h = 0;
    SDL_GL_GetDrawableSize(context->window, &drawable_w, &drawable_h);
    if (drawable_w != width || drawable_h != height) {
      std::fprintf(stderr, "render: cannot create a %d x %d back buffer\n", width, height);
      SDL_GL_MakeCurrent(nullptr, nullptr);
      SDL_GL_DeleteContext(context->gl_context);
      SDL_DestroyWindow(context->window);
      MakeContextCurrent(p.current);
      return nullptr;
    }
  }
  SDL_ShowWindow(context->window);
  MakeContextCurrent(p.current);
  auto graphics = std::make_shared<TGLGraphics>();
  graphics->_context = context;
  return graphics;
}

void TGLGraphicsDriver::SetGraphics(std::shared_ptr<TGraphics> g) {
  Platform& p = State();
  auto gl = std::dynamic_pointer_cast<TGLGraphics>(g);
  if (gl && (!gl->_context || !gl->_context->kind)) gl = nullptr;
  if (gl == p.current && (!gl || SDL_GL_GetCurrentContext() == gl->_context->gl_context)) return;
  TGLRender2DDriver::Flush();
  p.current = gl;
  MakeContextCurrent(gl);
  if (gl) DeletePendingTextures();
  if (gl && gl->_context->framebuffer) {
    p.fb.BindFramebuffer(GL_FRAMEBUFFER, gl->_context->framebuffer);
  }
  UpdatePointerMapping(gl ? gl->_context.get() : nullptr);
}

void TGLGraphicsDriver::Flip(int32_t sync) {
  Platform& p = State();
  if (!p.current || !p.current->_context || !SDL_GL_GetCurrentContext()) return;
  TGLRender2DDriver::Flush();
  const int32_t wanted = sync < 0 ? -1 : sync;
  if (wanted != p.remembered_sync) {
    p.remembered_sync = wanted;
    if (SDL_GL_SetSwapInterval(wanted) != 0 && wanted < 0) SDL_GL_SetSwapInterval(1);
  }
  Present(*p.current->_context);
  UpdatePointerMapping(p.current->_context.get());
}

double TGLGraphicsDriver::RefreshRate() {
  Platform& p = State();
  if (!p.current || !p.current->_context || !p.current->_context->window) return 0.0;
  const int index = SDL_GetWindowDisplayIndex(p.current->_context->window);
  SDL_DisplayMode mode;
  if (index < 0 || SDL_GetCurrentDisplayMode(index, &mode) != 0) return 0.0;
  return mode.refresh_rate > 0 ? mode.refresh_rate : 0.0;
}

bool TGLGraphicsDriver::AdaptiveSync() {
  Platform& p = State();
  if (!p.current || !SDL_GL_GetCurrentContext()) return false;
  const bool offered = SDL_GL_SetSwapInterval(-1) == 0;
  p.remembered_sync = kUnknownSync;  // the next flip sets its own interval again
  return offered;
}

void TGLGraphicsDriver::SwapSharedContext() {
  Platform& p = State();
  if (!p.shared_context) return;
  if (SDL_GL_GetCurrentContext() != p.shared_context) {
    TGLRender2DDriver::Flush();
    SDL_GL_MakeCurrent(p.shared_window, p.shared_context);
    DeletePendingTextures();
  } else {
    MakeContextCurrent(p.current);
  }
}

void TGLGraphicsDriver::DeleteTexture(uint32_t name) {
  if (name == 0 || SDL_WasInit(SDL_INIT_VIDEO) == 0) return;  // no context, so no texture
  Platform& p = State();
  if (!ShareGroupCurrent()) {
    p.pending_textures.push_back(name);
    return;
  }
  TGLRender2DDriver::Flush();  // queued drawing may still use it
  const GLuint texture = name;
  // Deleting it in the context that has it bound also unbinds it there, so the texture
  // really goes now instead of when that context binds another one.
  glDeleteTextures(1, &texture);
  TGLRender2DDriver::ForgetTexture(name);
  DeletePendingTextures();
}

std::shared_ptr<TGLGraphics> TGLGraphicsDriver::CurrentGLGraphics() {
  return State().current;
}

std::shared_ptr<TGLGraphicsDriver> GLGraphicsDriver() {
  static std::shared_ptr<TGLGraphicsDriver> driver = std::make_shared<TGLGraphicsDriver>();
  return driver;
}
