#pragma once
// The system driver: the operating-system side of events. The SDL driver pumps SDL's
// queue, translates what it finds into TEvents and emits them; the null driver does
// nothing, for programs that feed events themselves. Main thread only.

#include <cstdint>
#include <string>

struct SDL_Window;
union SDL_Event;

class TSystemDriver {
 public:
  virtual ~TSystemDriver() = default;
  // Emits an event for every pending system message, without waiting.
  virtual void Poll() = 0;
  // Blocks until a message arrives, then polls.
  virtual void Wait() = 0;
  // Places the pointer at back-buffer position x, y of the graphics window (or at screen
  // position x, y when no window is open).
  virtual void MoveMouse(int32_t x, int32_t y) = 0;
  // Shows (1) or hides (0) the pointer while it is over the graphics window.
  virtual void SetMouseVisible(int32_t visible) = 0;
  // Message boxes: Notify returns when dismissed; Confirm returns 1 for yes, 0 for no;
  // Proceed returns 1 yes, 0 no, -1 cancel.
  virtual void Notify(const std::string& text, int32_t serious) = 0;
  virtual int32_t Confirm(const std::string& text, int32_t serious) = 0;
  virtual int32_t Proceed(const std::string& text, int32_t serious) = 0;
  // File and folder requesters; "" when cancelled or unavailable.
  virtual std::string RequestFile(const std::string& text, const std::string& extensions,
                                  int32_t save, const std::string& path) = 0;
  virtual std::string RequestDir(const std::string& text, const std::string& path) = 0;
  // 1 when the url was handed to a browser, 0 when unavailable.
  virtual int32_t OpenURL(const std::string& url) = 0;
};

// The current system driver. The first call creates the SDL driver (which initialises
// SDL's event and joystick subsystems; no display is needed).
TSystemDriver* SystemDriver();
// Replaces the current driver (not owned; must outlive its use). Null restores the SDL one.
void SetSystemDriver(TSystemDriver* driver);
// Puts the SDL joystick of that instance id on port 0 while it is attached, the others
// following in SDL's order (which lists the system's pads before virtual ones); -1 (the
// default) keeps SDL's order. Rebuilds the port table.
void SetFirstJoystick(int32_t instance_id);

// Drives SDL: one per process. SIGINT, SIGTERM and SIGHUP (a closed terminal) become a close
// request (259).
class TSDLSystemDriver : public TSystemDriver {
 public:
  TSDLSystemDriver();
  ~TSDLSystemDriver() override;
  void Poll() override;
  void Wait() override;
  void MoveMouse(int32_t x, int32_t y) override;
  void SetMouseVisible(int32_t visible) override;
  void Notify(const std::string& text, int32_t serious) override;
  int32_t Confirm(const std::string& text, int32_t serious) override;
  int32_t Proceed(const std::string& text, int32_t serious) override;
  std::string RequestFile(const std::string& text, const std::string& extensions, int32_t save,
                          const std::string& path) override;
  std::string RequestDir(const std::string& text, const std::string& path) override;
  int32_t OpenURL(const std::string& url) override;

  // Translates one SDL event into TEvents and emits them (what Poll does per event).
  void Translate(const SDL_Event& event);
};

// Does nothing: for headless programs that emit their events straight into the chain.
class TNullSystemDriver : public TSystemDriver {
 public:
  void Poll() override {}
  void Wait() override;  // sleeps 1 ms, so a waiting loop does not spin
  void MoveMouse(int32_t, int32_t) override {}
  void SetMouseVisible(int32_t) override {}
  void Notify(const std::string&, int32_t) override {}
  int32_t Confirm(const std::string&, int32_t) override { return 0; }
  int32_t Proceed(const std::string&, int32_t) override { return -1; }
  std::string RequestFile(const std::string&, const std::string&, int32_t,
                          const std::string&) override {
    return "";
  }
  std::string RequestDir(const std::string&, const std::string&) override { return ""; }
  int32_t OpenURL(const std::string&) override { return 0; }
};

// Called by the graphics module when its window opens (and with a null window when it
// closes): the 640 x 480 back buffer appears in the window scaled by scale, its top-left
// corner at window pixel offset_x, offset_y. Pointer positions are mapped back through
// this into back-buffer pixels, and MoveMouse maps forward.
void SetPointerMapping(SDL_Window* window, float scale = 1.0f, int32_t offset_x = 0,
                       int32_t offset_y = 0, int32_t width = 640, int32_t height = 480);

// The Windows virtual-key code for an SDL key (left/right modifiers as 160-165), or 0 when
// the key has none.
int32_t VirtualKeyFromSDL(int32_t scancode, int32_t keycode);
