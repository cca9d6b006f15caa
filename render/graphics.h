#pragma once
// Graphics windows, display modes and the paced page flip. One graphics driver and
// at most one graphics are current at a time. Game thread only.
//
// No driver is installed until a program installs one with SetGraphicsDriver: the game's
// start-up installs the OpenGL 2D driver (render/default_driver.h), a program that wants
// no display the headless one (render/headless/headless_driver.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Graphics flags: buffers requested from the pixel format.
constexpr int32_t GFX_BACK_BUFFER = 2;
constexpr int32_t GFX_ALPHA_BUFFER = 4;
constexpr int32_t GFX_DEPTH_BUFFER = 8;
constexpr int32_t GFX_STENCIL_BUFFER = 16;
constexpr int32_t GFX_ACCUM_BUFFER = 32;

class TGraphicsDriver;

// A window (or other surface) that can be drawn into and flipped.
class TGraphics {
 public:
  virtual ~TGraphics() = default;
  // The driver that made this graphics.
  virtual std::shared_ptr<TGraphicsDriver> Driver() = 0;
  // Width and height of the back buffer in pixels; depth 0 for a window; hertz and flags as
  // requested. All 0 once closed.
  virtual void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                           int32_t& flags) = 0;
  // Releases the window and context; safe to call twice.
  virtual void Close() = 0;
};

struct TGraphicsMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  int32_t hertz = 0;
  // "640,480,32 60Hz".
  std::string ToString() const;
};

// Declares, inside a driver's class body, its overrides of the calls every graphics driver
// must give.
#define VEXTRAL_GRAPHICS_DRIVER_OVERRIDES                                                 \
  std::vector<TGraphicsMode> GraphicsModes() override;                                    \
  std::shared_ptr<TGraphics> AttachGraphics(void* window, int32_t flags) override;        \
  std::shared_ptr<TGraphics> CreateGraphics(int32_t width, int32_t height, int32_t depth, \
                                            int32_t hertz, int32_t flags) override;       \
  void SetGraphics(std::shared_ptr<TGraphics> g) override;                                \
  void Flip(int32_t sync) override

class TGraphicsDriver : public std::enable_shared_from_this<TGraphicsDriver> {
 public:
  virtual ~TGraphicsDriver() = default;
  // Display modes of at least 16 bits per pixel, in the platform's order.
  virtual std::vector<TGraphicsMode> GraphicsModes() = 0;
  // Wraps a window the caller owns (a native window handle, e.g. an X11 Window id); none
  // on failure.
  virtual std::shared_ptr<TGraphics> AttachGraphics(void* window, int32_t flags) = 0;
  // A new window: depth 0 windowed at (32, 32), otherwise full screen. None on failure.
  virtual std::shared_ptr<TGraphics> CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                                    int32_t hertz, int32_t flags) = 0;
  // Makes g current (none: nothing current).
  virtual void SetGraphics(std::shared_ptr<TGraphics> g) = 0;
  // Presents the back buffer. sync 0: at once; n > 0: swap interval n (the n-th vertical
  // blank after the previous present, where the display allows); -1: adaptive, like 1 but at
  // once when that blank has already passed (1 where adaptive swapping is not offered).
  virtual void Flip(int32_t sync) = 0;
  // The refresh rate the current graphics' display reports in hertz; 0 when unknown.
  virtual double RefreshRate() { return 0.0; }
  // Whether Flip(-1) swaps adaptively on the current graphics.
  virtual bool AdaptiveSync() { return false; }
  // True for drivers with no display (the headless one): OpenGraphics skips the hardware
  // probe and Flip never sleeps.
  virtual bool Unpaced() const { return false; }
};

// Window caption used for windows created from now on (default "Vextral").
void SetAppTitle(const std::string& title);
const std::string& AppTitle();

// Makes driver current (nullptr reinstalls nothing: no driver); drops the cached modes;
// afterwards nothing is current and the five settings are 0.
void SetGraphicsDriver(std::shared_ptr<TGraphicsDriver> driver,
                       int32_t default_flags = GFX_BACK_BUFFER);
// The current driver, or none while none is installed.
std::shared_ptr<TGraphicsDriver> GetGraphicsDriver();

std::vector<TGraphicsMode> GraphicsModes();
int32_t CountGraphicsModes();
// Out values are left at 0 for an index outside the list.
void GetGraphicsMode(int32_t index, int32_t& width, int32_t& height, int32_t& depth,
                     int32_t& hertz);
// 1 if a listed mode matches every non-zero argument.
int32_t GraphicsModeExists(int32_t width, int32_t height, int32_t depth = 0, int32_t hertz = 0);

// Driver CreateGraphics with flags OR the default flags; errors give none.
std::shared_ptr<TGraphics> CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                          int32_t hertz, int32_t flags);
std::shared_ptr<TGraphics> AttachGraphics(void* window, int32_t flags);
void SetCurrentGraphics(std::shared_ptr<TGraphics> g);
std::shared_ptr<TGraphics> CurrentGraphics();
void CloseGraphics(std::shared_ptr<TGraphics> g);

// Ends any previous graphics, opens a new one (depth 0: a window), makes it current, sets up
// frame pacing and switches on polled input. None on failure, with the reason on stderr.
std::shared_ptr<TGraphics> OpenGraphics(int32_t width, int32_t height, int32_t depth = 0,
                                        int32_t hertz = 60, int32_t flags = 0);
// Closes the graphics made by OpenGraphics, if any, and switches polled input off.
void EndGraphics();
// Why graphics could not be opened: one "render:" line on stderr, and kept for
// GraphicsFailure (so a player without a terminal can be told) until the next one.
void ReportGraphicsFailure(const std::string& reason);
// The reason last reported, empty when none was.
const std::string& GraphicsFailure();

int32_t GraphicsWidth();
int32_t GraphicsHeight();
int32_t GraphicsDepth();
int32_t GraphicsHertz();
int32_t GraphicsFlags();

// Runs the flip hook, then presents. sync -1 keeps the opened rate: on a full-screen display
// that flips at that rate, or at a whole multiple of it, by the swap interval alone;
// otherwise by sleeping to a fixed schedule (never catching up after a late frame), each
// frame then shown at the first vertical blank after its deadline where the display is not
// slower than the rate. A late frame whose blank has gone by is shown at once (adaptively
// where the display offers it) rather than a whole refresh later. The choice is made by
// probing the display when the graphics open and again after a display or mode change
// (EVENT_WINDOWMOVE, EVENT_WINDOWSIZE); a display that paces is watched, and pacing passes
// to software if its flips stop waiting. Other values go to the driver's Flip as they are.
void Flip(int32_t sync = -1);

// Advanced by every OpenGraphics and EndGraphics; never 0. Driver frames made under another
// value are stale.
int32_t GraphicsSeq();
// The hook id run (with no data) at the start of every Flip.
int32_t FlipHookId();
// Whether Flip(-1) currently paces in software (false when the hardware already does).
bool SoftwarePacingEnabled();

// How Flip(-1) presents on the graphics made by OpenGraphics, as last chosen.
struct TFramePacing {
  bool software = false;      // sleeps to a fixed schedule at the opened rate
  int32_t swap_interval = 0;  // the sync each frame on time flips with
  bool adaptive = false;      // a late frame flips with sync -1 (else, its blank gone, 0)
};
TFramePacing FramePacing();
