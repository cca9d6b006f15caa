#include "render/gl/gl_graphics.h"
#include "render/gl/gl_window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/system.h"
#include "render/gl/gl_api.h"
#include "render/gl/gl_render2d.h"
#include "render/gl/lost_display.h"
#include "render/letterbox.h"

namespace {

constexpr int32_t kUnknownSync = INT32_MIN;

struct Platform {
  std::shared_ptr<TGLGraphics> current;
  // Every context not yet closed; they all share one group of textures.
  std::vector<TGLContext*> open;
  uint64_t share_group = 0;  // 0 while no context is open
  uint64_t last_share_group = 0;
  // The kind of context the open ones are: a new one must be the same to share with them.
  TGLDialect dialect = TGLDialect::desktop_core;
  // Contexts made current by SwapSharedContext, to go back to.
  SDL_Window* swapped_from_window = nullptr;
  SDL_GLContext swapped_from_context = nullptr;
  bool swapped = false;
  // The swap interval last set by Flip; unknown at first, so the first flip sets it.
  int32_t remembered_sync = kUnknownSync;
  // The pointer mapping last handed to the input layer.
  SDL_Window* mapped_window = nullptr;
  int32_t mapped_w = -1, mapped_h = -1;
  // Textures released while no context of the group was current, deleted the next time one
  // is.
  std::vector<GLuint> pending_textures;
};

// Never destroyed: image frames held by globals release their textures during static
// destruction, after a function-local static would already be gone.
Platform& State() {
  static Platform& platform = *new Platform;
  return platform;
}

TGLContext* OpenContextOf(SDL_GLContext gl_context) {
  if (!gl_context) return nullptr;
  for (TGLContext* context : State().open) {
    if (context->gl_context == gl_context) return context;
  }
  return nullptr;
}

bool ShareGroupCurrent() {
  return OpenContextOf(SDL_GL_GetCurrentContext()) != nullptr;
}

// Takes a context out of the share group; the last one takes the group and every texture
// in it along.
void LeaveShareGroup(TGLContext& context) {
  Platform& p = State();
  const auto position = std::find(p.open.begin(), p.open.end(), &context);
  if (position != p.open.end()) p.open.erase(position);
  if (p.open.empty()) {
    p.share_group = 0;
    p.pending_textures.clear();
  }
}

// Needs a context of the group current.
void DeletePendingTextures() {
  Platform& p = State();
  if (p.pending_textures.empty()) return;
  glDeleteTextures(static_cast<GLsizei>(p.pending_textures.size()), p.pending_textures.data());
  for (GLuint name : p.pending_textures) TGLRender2DDriver::ForgetTexture(name);
  p.pending_textures.clear();
}

bool InitVideo() {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    ReportGraphicsFailure(std::string("no display: ") + SDL_GetError());
    return false;
  }
  EndAtLostDisplay();
  return true;
}

// The kinds of context to ask for, in order: the open contexts' own kind while any is open
// (a new one shares their textures); else, where the system has desktop OpenGL, OpenGL 3.3
// core first and OpenGL ES 3.0 next, or one kind only when VEXTRAL_GL_CONTEXT says "core"
// or "es"; a browser's WebGL 2 is what SDL gives for ES 3.0.
std::vector<TGLDialect> DialectsToTry() {
  const Platform& p = State();
  if (!p.open.empty()) return {p.dialect};
  if (!OffersDesktopOpenGL()) return {TGLDialect::es};
  const char* wanted = std::getenv("VEXTRAL_GL_CONTEXT");
  if (wanted && std::strcmp(wanted, "es") == 0) return {TGLDialect::es};
  if (wanted && std::strcmp(wanted, "core") == 0) return {TGLDialect::desktop_core};
  return {TGLDialect::desktop_core, TGLDialect::es};
}

// A context of the dialect on a double-buffered window; colour depth, alpha, depth and
// stencil live in the off-screen back buffer. Set before the window is made: the window
// system picks the window's visual for the kind of context asked for.
void SetContextAttributes(TGLDialect dialect) {
  SDL_GL_ResetAttributes();
  if (dialect == TGLDialect::es) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  } else {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  }
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

// The attributes are global to SDL: other windows made later in the same process (a test's,
// a tool's) get SDL's defaults again.
void RestoreContextAttributes() {
  SDL_GL_ResetAttributes();
}

void MakeContextCurrent(const std::shared_ptr<TGLGraphics>& g) {
  if (g && g->_context && g->_context->gl_context) {
    SDL_GL_MakeCurrent(g->_context->window, g->_context->gl_context);
  } else {
    SDL_GL_MakeCurrent(nullptr, nullptr);
  }
}

const char* DialectName(TGLDialect dialect) {
  return dialect == TGLDialect::es ? "OpenGL ES 3.0" : "OpenGL 3.3 core";
}

// Makes the new context on the window, of the first kind that works, sharing textures with
// the open ones (any of them, made current for the creation), and looks the entry points up
// for it. Restores the attributes; the caller restores the current context. The window was
// made with the attributes of the first kind set.
SDL_GLContext CreateSharedContext(SDL_Window* window, TGLDialect& dialect) {
  Platform& p = State();
  std::string failures;
  for (TGLDialect kind : DialectsToTry()) {
    SetContextAttributes(kind);
    if (!p.open.empty()) {
      TGLContext* sibling = p.open.front();
      SDL_GL_MakeCurrent(sibling->window, sibling->gl_context);
      SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    } else {
      SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    }
    SDL_GLContext gl_context = SDL_GL_CreateContext(window);
    RestoreContextAttributes();
    if (gl_context && LoadGLFunctions()) {
      dialect = kind;
      return gl_context;
    }
    if (gl_context) {
      SDL_GL_MakeCurrent(nullptr, nullptr);
      SDL_GL_DeleteContext(gl_context);
    }
    failures += std::string(failures.empty() ? "" : "; ") + DialectName(kind) + ": " +
                (gl_context ? "entry points missing" : SDL_GetError());
  }
  ReportGraphicsFailure("this display gives no OpenGL 3.3 core or ES 3.0 context (" + failures +
                        ")");
  return nullptr;
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

// Clears the bound framebuffer (inside the scissor box, if one is on) to opaque black,
// keeping the clear colour the render state set.
void ClearToBlack() {
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
}

// The off-screen back buffer's objects, with the default framebuffer bound in its place.
void DeleteBackBuffer(TGLContext& context) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (context.framebuffer) glDeleteFramebuffers(1, &context.framebuffer);
  if (context.colour_buffer) glDeleteRenderbuffers(1, &context.colour_buffer);
  if (context.stencil_buffer) glDeleteRenderbuffers(1, &context.stencil_buffer);
  context.framebuffer = context.colour_buffer = context.stencil_buffer = 0;
}

// The off-screen back buffer of the requested size, bound and black; false if it cannot be
// made. Needs the context current, with no scissor box on.
bool CreateBackBuffer(TGLContext& context) {
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_size);
  if (context.width > max_size || context.height > max_size) return false;
  glGenFramebuffers(1, &context.framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, context.framebuffer);
  glGenRenderbuffers(1, &context.colour_buffer);
  glBindRenderbuffer(GL_RENDERBUFFER, context.colour_buffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, context.width, context.height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            context.colour_buffer);
  if (context.flags & (GFX_DEPTH_BUFFER | GFX_STENCIL_BUFFER)) {
    glGenRenderbuffers(1, &context.stencil_buffer);
    glBindRenderbuffer(GL_RENDERBUFFER, context.stencil_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, context.width, context.height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              context.stencil_buffer);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    DeleteBackBuffer(context);
    return false;
  }
  glViewport(0, 0, context.width, context.height);
  ClearToBlack();
  return true;
}

// The back buffer's and the pipeline's objects, deleted in their own context, which must be
// current: the framebuffer and vertex array belong to that context alone, the rest to the
// share group, which outlives the context while other contexts are open.
void DeleteContextObjects(TGLContext& context) {
  DeleteBackBuffer(context);
  DeleteGLPipeline(context.pipeline);
}

// Whether a buffer swap leaves the window's back buffer as it was (a copy, not an
// exchange): only then does the picture of the last frame stay there to be read back after
// its flip, as the pause screen does. Two swaps of nearly black clears tell, read at the
// corners and the centre; the window is left black. Needs the context current.
bool SwapKeepsTheBackBuffer(TGLContext& context) {
  glViewport(0, 0, context.width, context.height);
  const int interval = SDL_GL_GetSwapInterval();
  SDL_GL_SetSwapInterval(0);
  constexpr uint8_t kMark = 3;
  for (uint8_t blue : {uint8_t{0}, kMark}) {
    glClearColor(0.0f, 0.0f, blue / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(context.window);
  }
  bool kept = true;
  const int32_t xs[3] = {0, context.width / 2, context.width - 1};
  const int32_t ys[3] = {0, context.height / 2, context.height - 1};
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (int32_t spot = 0; spot < 3 && kept; ++spot) {
    for (int32_t row = 0; row < 3 && kept; ++row) {
      uint8_t pixel[4] = {};
      glReadPixels(xs[spot], ys[row], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
      kept = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == kMark;
    }
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(context.window);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SetSwapInterval(interval);
  return kept;
}

// Whether graphics may draw straight into their window: its drawable is exactly the
// graphics' size, they asked for nothing but a back buffer, and the system allows it.
// Whether the window's swaps keep the back buffer is asked once it is shown.
bool FitsTheWindow(const TGLContext& context) {
  if (!MayDrawStraightIntoWindows()) return false;
  if (context.flags & (GFX_ALPHA_BUFFER | GFX_DEPTH_BUFFER | GFX_STENCIL_BUFFER)) return false;
  int32_t drawable_w = 0, drawable_h = 0;
  SDL_GL_GetDrawableSize(context.window, &drawable_w, &drawable_h);
  return drawable_w == context.width && drawable_h == context.height;
}

// Once the window is shown: graphics that fit it are drawn into it directly where its
// swaps keep the back buffer, so neither an off-screen buffer nor a copy of it every frame
// is needed; otherwise they get their off-screen buffer now (if even that cannot be made,
// the window, of their size, is drawn into all the same). Needs the context current.
void ChooseWhereToDraw(TGLContext& context) {
  if (context.framebuffer != 0) return;  // made with the context: the window does not fit
  if (FitsTheWindow(context) && SwapKeepsTheBackBuffer(context)) return;
  CreateBackBuffer(context);
}

// Copies the back buffer to the window, scaled to fit with black bars, and swaps. A window
// drawn into directly is swapped; if its drawable no longer has the graphics' size (the
// display changed), the frame moves into an off-screen buffer first and is presented from
// there, as every later frame is.
void Present(TGLContext& context) {
  int32_t drawable_w = 0, drawable_h = 0;
  SDL_GL_GetDrawableSize(context.window, &drawable_w, &drawable_h);
  const bool own_size = drawable_w == context.width && drawable_h == context.height;
  if (context.framebuffer == 0 && (context.kind == 1 || own_size)) {
    SDL_GL_SwapWindow(context.window);
    return;
  }
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  if (context.framebuffer == 0) {
    // The frame was drawn into the window at the graphics' size: it moves into an
    // off-screen buffer, and is presented from there as every later frame is.
    if (!CreateBackBuffer(context)) {
      std::fprintf(stderr, "render: cannot create a %d x %d back buffer\n", context.width,
                   context.height);
      if (scissor) glEnable(GL_SCISSOR_TEST);
      SDL_GL_SwapWindow(context.window);
      return;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, context.width, context.height, 0, 0, context.width, context.height,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, context.framebuffer);
  }
  float scale = 1.0f;
  int32_t x = 0, y = 0, w = 0, h = 0;
  FitRectangle(context.width, context.height, drawable_w, drawable_h, scale, x, y, w, h);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  if (w != drawable_w || h != drawable_h) ClearToBlack();
  // GL counts y from the bottom: the bar below the picture is y high in either direction.
  glBlitFramebuffer(0, 0, context.width, context.height, x, drawable_h - y - h, x + w,
                    drawable_h - y, GL_COLOR_BUFFER_BIT,
                    (w == context.width && h == context.height) ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(context.window);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, context.framebuffer);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

// Sets up a new context (current): its back buffer when wanted, and the drawing objects.
// False, with the context deleted and its window left to the caller, on failure.
bool PrepareContext(TGLContext& context, bool back_buffer, TGLDialect dialect) {
  Platform& p = State();
  if (p.open.empty()) {
    p.share_group = ++p.last_share_group;
    p.dialect = dialect;
  }
  p.open.push_back(&context);
  bool ready = CreateGLPipeline(context.pipeline, dialect);
  // Graphics that fit their window wait for it to be shown to know whether they need one.
  if (ready && back_buffer && !FitsTheWindow(context) && !CreateBackBuffer(context)) {
    int32_t drawable_w = 0, drawable_h = 0;
    SDL_GL_GetDrawableSize(context.window, &drawable_w, &drawable_h);
    if (drawable_w != context.width || drawable_h != context.height) {
      std::fprintf(stderr, "render: cannot create a %d x %d back buffer\n", context.width,
                   context.height);
      ready = false;
    }
  }
  if (ready) return true;
  DeleteContextObjects(context);
  LeaveShareGroup(context);
  SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_GL_DeleteContext(context.gl_context);
  context.gl_context = nullptr;
  return false;
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
      DeletePendingTextures();
      DeleteContextObjects(context);
    }
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(gl_context);
    TGLRender2DDriver::ForgetContext(gl_context);
  }
  if (p.swapped && p.swapped_from_window == context.window) {
    // The context to go back to is gone: the next swap goes back to the current graphics'.
    p.swapped_from_window = nullptr;
    p.swapped_from_context = nullptr;
  }
  LeaveShareGroup(context);
  if (context.window) {
    if (p.mapped_window == context.window) UpdatePointerMapping(nullptr);
    SDL_DestroyWindow(context.window);
  }
  context.gl_context = nullptr;
  context.window = nullptr;
  context.kind = 0;
  context.width = context.height = context.depth = context.hertz = context.flags = 0;
  // Restores the current graphics' context if another one was current when closing.
  MakeContextCurrent(p.current);
}

// Makes a context of the share group current, the current graphics' own if there is one,
// else any open one, and deletes what waited for one. Needs a context open.
void MakeShareGroupContextCurrent() {
  Platform& p = State();
  TGLRender2DDriver::Flush();
  TGLContext* context =
      p.current && p.current->_context ? p.current->_context.get() : p.open.front();
  SDL_GL_MakeCurrent(context->window, context->gl_context);
  DeletePendingTextures();
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
  if (!window || !InitVideo()) return nullptr;
  TGLRender2DDriver::Flush();  // queued drawing belongs to the context current now
  Platform& p = State();
  SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
  SetContextAttributes(DialectsToTry().front());
  auto context = std::make_shared<TGLContext>();
  context->kind = 1;
  context->flags = flags;
  context->window = SDL_CreateWindowFrom(window);
  if (!context->window) {
    RestoreContextAttributes();
    std::fprintf(stderr, "render: cannot attach to the window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_GetWindowSize(context->window, &context->width, &context->height);
  TGLDialect dialect = TGLDialect::es;
  context->gl_context = CreateSharedContext(context->window, dialect);
  if (!context->gl_context || !PrepareContext(*context, false, dialect)) {
    SDL_DestroyWindow(context->window);
    MakeContextCurrent(p.current);
    return nullptr;
  }
  MakeContextCurrent(p.current);
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
  if (!InitVideo()) return nullptr;
  TGLRender2DDriver::Flush();  // queued drawing belongs to the context current now
  Platform& p = State();

  auto context = std::make_shared<TGLContext>();
  context->kind = depth != 0 ? 3 : 2;
  context->width = width;
  context->height = height;
  context->depth = depth;
  context->hertz = hertz;
  context->flags = flags;

  SetContextAttributes(DialectsToTry().front());
  context->window = CreateGraphicsWindow(AppTitle(), width, height, context->kind == 3);
  if (!context->window) {
    RestoreContextAttributes();
    ReportGraphicsFailure(std::string("cannot open a window: ") + SDL_GetError());
    return nullptr;
  }
  TGLDialect dialect = TGLDialect::es;
  context->gl_context = CreateSharedContext(context->window, dialect);
  if (!context->gl_context || !PrepareContext(*context, true, dialect)) {
    SDL_DestroyWindow(context->window);
    MakeContextCurrent(p.current);
    return nullptr;
  }
  SDL_ShowWindow(context->window);
  ChooseWhereToDraw(*context);
  MakeContextCurrent(p.current);
  auto graphics = std::make_shared<TGLGraphics>();
  graphics->_context = context;
  return graphics;
}

void TGLGraphicsDriver::SetGraphics(std::shared_ptr<TGraphics> g) {
  Platform& p = State();
  auto gl = std::dynamic_pointer_cast<TGLGraphics>(g);
  if (gl && (!gl->_context || !gl->_context->kind)) gl = nullptr;
  if (gl == p.current && (!gl || SDL_GL_GetCurrentContext() == gl->_context->gl_context)) {
    return;
  }
  TGLRender2DDriver::Flush();
  // The swap interval belongs to a window: another one's next flip sets its own.
  if (gl != p.current) p.remembered_sync = kUnknownSync;
  p.current = gl;
  MakeContextCurrent(gl);
  if (gl) DeletePendingTextures();
  if (gl && gl->_context->framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, gl->_context->framebuffer);
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

std::shared_ptr<TGLGraphics> TGLGraphicsDriver::CurrentGLGraphics() {
  return State().current;
}

uint64_t TGLGraphicsDriver::ShareGroup() {
  return State().share_group;
}

void TGLGraphicsDriver::DeleteTexture(uint32_t name, uint64_t share_group) {
  Platform& p = State();
  if (name == 0 || share_group == 0 || share_group != p.share_group) return;
  if (!ShareGroupCurrent()) {
    p.pending_textures.push_back(name);
    return;
  }
  TGLRender2DDriver::Flush();  // queued drawing may still use it
  const GLuint texture = name;
  glDeleteTextures(1, &texture);
  TGLRender2DDriver::ForgetTexture(name);
  DeletePendingTextures();
}

void TGLGraphicsDriver::SwapSharedContext() {
  Platform& p = State();
  if (p.swapped) {
    p.swapped = false;
    TGLRender2DDriver::Flush();
    if (p.swapped_from_context) {
      SDL_GL_MakeCurrent(p.swapped_from_window, p.swapped_from_context);
    } else {
      MakeContextCurrent(p.current);
    }
    return;
  }
  if (p.open.empty()) return;
  p.swapped = true;
  p.swapped_from_window = SDL_GL_GetCurrentWindow();
  p.swapped_from_context = SDL_GL_GetCurrentContext();
  MakeShareGroupContextCurrent();
}

TGLShareGroupScope::TGLShareGroupScope() {
  Platform& p = State();
  if (p.open.empty()) return;
  open_ = true;
  if (ShareGroupCurrent()) return;
  previous_window_ = SDL_GL_GetCurrentWindow();
  previous_context_ = SDL_GL_GetCurrentContext();
  MakeShareGroupContextCurrent();
  switched_ = true;
}

TGLShareGroupScope::~TGLShareGroupScope() {
  if (switched_) SDL_GL_MakeCurrent(previous_window_, previous_context_);
}

std::shared_ptr<TGLGraphicsDriver> GLGraphicsDriver() {
  static std::shared_ptr<TGLGraphicsDriver> driver = std::make_shared<TGLGraphicsDriver>();
  return driver;
}
