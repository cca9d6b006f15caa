// The SDL system driver: drains SDL's queue and turns each SDL event into the runtime's
// events, emitted one by one so every hook has run before the next SDL event is looked at.

#include <SDL.h>

#include <cmath>
#include <cstdio>

#include "input/event.h"
#include "input/internal.h"
#include "input/session.h"
#include "input/system.h"

namespace {

// ---- Pointer: mapping from window pixels to back-buffer pixels, enter/leave, cursor ----

struct PointerState {
  SDL_Window* window = nullptr;
  float scale = 1.0f;
  int32_t offset_x = 0;
  int32_t offset_y = 0;
  int32_t width = 640;
  int32_t height = 480;
  bool inside = false;        // the pointer is over the back buffer's area of the window
  int32_t visible = 1;        // HidePointer / ShowPointer
  int32_t cursor_shown = -1;  // what SDL was last told; -1 unknown
};

PointerState& Pointer() {
  static PointerState pointer;
  return pointer;
}

int32_t WindowToBackBuffer(int32_t position, int32_t offset) {
  const PointerState& pointer = Pointer();
  if (pointer.window == nullptr) return position;
  // floor, so a pointer just left of or above the back buffer reads negative
  return static_cast<int32_t>(std::floor((position - offset) / pointer.scale));
}

int32_t BackBufferToWindow(int32_t position, int32_t offset) {
  // The centre of the back-buffer pixel, so mapping back gives the same pixel.
  return offset + static_cast<int32_t>((position + 0.5f) * Pointer().scale);
}

// The cursor is hidden only while hidden was asked for and the pointer is over the
// graphics window; SDL keeps a shown/hidden state rather than a counter.
void ApplyCursorVisibility() {
  PointerState& pointer = Pointer();
  int32_t show = (pointer.visible || !pointer.inside || pointer.window == nullptr) ? 1 : 0;
  if (show == pointer.cursor_shown) return;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
  pointer.cursor_shown = show;
}

// ---- Translation ----

int32_t modifier_mask = 0;

int32_t ModifierMask(Uint16 sdl_mods) {
  int32_t mask = 0;
  if (sdl_mods & KMOD_SHIFT) mask |= MODIFIER_SHIFT;
  if (sdl_mods & KMOD_CTRL) mask |= MODIFIER_CONTROL;
  if (sdl_mods & KMOD_ALT) mask |= MODIFIER_OPTION;
  if (sdl_mods & KMOD_GUI) mask |= MODIFIER_SYSTEM;
  return mask;
}

void Raise(int32_t id, int32_t data = 0, int32_t x = 0, int32_t y = 0) {
  EmitEvent(TEvent::Create(id, nullptr, data, modifier_mask, x, y));
}

void RaiseCloseIfSignalled() {
  if (TakeCloseRequest()) Raise(EVENT_APPTERMINATE);
}

void TrackPointer(int32_t x, int32_t y) {
  PointerState& pointer = Pointer();
  bool inside = x >= 0 && y >= 0 && x < pointer.width && y < pointer.height;
  if (inside == pointer.inside) return;
  pointer.inside = inside;
  EmitEvent(TEvent::Create(inside ? EVENT_MOUSEENTER : EVENT_MOUSELEAVE, nullptr, 0, 0, x, y));
  ApplyCursorVisibility();
}

int32_t ButtonNumber(Uint8 sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT:
      return 1;
    case SDL_BUTTON_RIGHT:
      return 2;
    case SDL_BUTTON_MIDDLE:
      return 3;
    default:
      return 0;
  }
}

// Decodes one UTF-8 sequence; advances text. Malformed bytes yield nothing.
int32_t NextCodePoint(const char*& text) {
  auto byte = static_cast<unsigned char>(*text++);
  if (byte < 0x80) return byte;
  int32_t length = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
  if (length < 0 || byte >= 0xF8) return 0;
  int32_t code = byte & (0x3F >> length);
  for (int32_t i = 0; i < length; ++i) {
    auto next = static_cast<unsigned char>(*text);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
    ++text;
  }
  return code;
}

void TranslateKey(const SDL_KeyboardEvent& key) {
  modifier_mask = ModifierMask(key.keysym.mod);
  int32_t code = VirtualKeyFromSDL(key.keysym.scancode, key.keysym.sym);
  if (code < 1 || code > 255) return;
  if (key.type == SDL_KEYUP) {
    Raise(EVENT_KEYUP, code);
    return;
  }
  Raise(key.repeat ? EVENT_KEYREPEAT : EVENT_KEYDOWN, code);
  // SDL's text input leaves out the control characters that keyboards type.
  if (code == 8 || code == 9 || code == 13 || code == 27) Raise(EVENT_KEYCHAR, code);
}

// Whether the last focus change SDL reported was a loss, and whether the window is
// minimised (which some systems do without taking the focus away). Either suspends.
bool focus_lost = false;
bool minimised = false;

// Raises the suspend or resume that a change of either makes.
void SetSuspendCauses(bool now_focus_lost, bool now_minimised) {
  const bool was_suspended = focus_lost || minimised;
  focus_lost = now_focus_lost;
  minimised = now_minimised;
  const bool suspended = focus_lost || minimised;
  if (suspended && !was_suspended) Raise(EVENT_APPSUSPEND);
  if (was_suspended && !suspended) Raise(EVENT_APPRESUME);
}

void TranslateWindowEvent(const SDL_WindowEvent& window) {
  switch (window.event) {
    case SDL_WINDOWEVENT_CLOSE:
      Raise(EVENT_APPTERMINATE);
      break;
    // A window's first focus is not a return from suspension: raising a resume
    // then would clear a key the player pressed as the window appeared.
    case SDL_WINDOWEVENT_FOCUS_LOST:
      SetSuspendCauses(true, minimised);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      SetSuspendCauses(false, minimised);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      SetSuspendCauses(focus_lost, true);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      SetSuspendCauses(focus_lost, false);
      break;
    // The graphics module probes the display again after these: another monitor, a new
    // mode or size can mean another refresh rate.
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      Raise(EVENT_WINDOWSIZE, 0, window.data1, window.data2);
      break;
#if SDL_VERSION_ATLEAST(2, 0, 18)
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
      Raise(EVENT_WINDOWMOVE, window.data1);
      break;
#endif
    case SDL_WINDOWEVENT_LEAVE:
      if (Pointer().inside) {
        Pointer().inside = false;
        int32_t x = 0;
        int32_t y = 0;
        SDL_GetMouseState(&x, &y);
        EmitEvent(TEvent::Create(EVENT_MOUSELEAVE, nullptr, 0, 0,
                                 WindowToBackBuffer(x, Pointer().offset_x),
                                 WindowToBackBuffer(y, Pointer().offset_y)));
        ApplyCursorVisibility();
      }
      break;
    default:
      break;
  }
}

TSystemDriver* current_driver = nullptr;

}  // namespace

// ---- The driver ----

TSDLSystemDriver::TSDLSystemDriver() {
  // The game decides what a close request means; closing the last window is not a quit.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "input: cannot start SDL events: %s\n", SDL_GetError());
  }
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    std::fprintf(stderr, "input: joysticks unavailable: %s\n", SDL_GetError());
  }
  TimerTickEventType();
  StartSessionWatch();
  Pointer().visible = 1;
}

TSDLSystemDriver::~TSDLSystemDriver() = default;

void TSDLSystemDriver::Translate(const SDL_Event& event) {
  if (event.type == TimerTickEventType()) {
    RunTimerTick(event.user.code);
    return;
  }
  switch (event.type) {
    case SDL_QUIT:
      Raise(EVENT_APPTERMINATE);
      break;
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(event.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event.key);
      break;
    case SDL_TEXTINPUT: {
      const char* text = event.text.text;
      while (*text != '\0') {
        if (int32_t code = NextCodePoint(text)) Raise(EVENT_KEYCHAR, code);
      }
      break;
    }
    case SDL_MOUSEMOTION: {
      int32_t x = WindowToBackBuffer(event.motion.x, Pointer().offset_x);
      int32_t y = WindowToBackBuffer(event.motion.y, Pointer().offset_y);
      TrackPointer(x, y);
      Raise(EVENT_MOUSEMOVE, 0, x, y);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int32_t button = ButtonNumber(event.button.button);
      if (button == 0) break;
      Raise(event.type == SDL_MOUSEBUTTONDOWN ? EVENT_MOUSEDOWN : EVENT_MOUSEUP, button,
            WindowToBackBuffer(event.button.x, Pointer().offset_x),
            WindowToBackBuffer(event.button.y, Pointer().offset_y));
      break;
    }
    case SDL_MOUSEWHEEL: {
      int32_t notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0) break;  // sideways scrolling is not a wheel turn
      Raise(EVENT_MOUSEWHEEL, notches, WindowToBackBuffer(event.wheel.mouseX, Pointer().offset_x),
            WindowToBackBuffer(event.wheel.mouseY, Pointer().offset_y));
      break;
    }
    case SDL_DISPLAYEVENT:
      // A monitor came, went or turned: the window may now be on another display.
      Raise(EVENT_WINDOWMOVE, static_cast<int32_t>(event.display.display));
      break;
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
      RebuildJoystickPorts();
      break;
    default:
      break;
  }
}

void TSDLSystemDriver::Poll() {
  RaiseCloseIfSignalled();
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    Translate(event);
  }
  RaiseCloseIfSignalled();
}

void TSDLSystemDriver::Wait() {
  SDL_Event event;
  // A short time-out so a close request, which SDL does not see, still ends the wait.
  while (!CloseRequestPending()) {
    if (SDL_WaitEventTimeout(&event, 10)) {
      Translate(event);
      break;
    }
  }
  Poll();
}

void TSDLSystemDriver::MoveMouse(int32_t x, int32_t y) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  const PointerState& pointer = Pointer();
  if (pointer.window != nullptr) {
    SDL_WarpMouseInWindow(pointer.window, BackBufferToWindow(x, pointer.offset_x),
                          BackBufferToWindow(y, pointer.offset_y));
  } else {
    SDL_WarpMouseGlobal(x, y);
  }
}

void TSDLSystemDriver::SetMouseVisible(int32_t visible) {
  Pointer().visible = visible ? 1 : 0;
  ApplyCursorVisibility();
}

namespace {
int32_t ShowMessage(const std::string& text, int32_t serious,
                    const SDL_MessageBoxButtonData* buttons, int32_t button_count,
                    int32_t fallback) {
  SDL_MessageBoxData box{};
  box.flags = serious ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  box.window = Pointer().window;
  box.title = box.window != nullptr ? SDL_GetWindowTitle(box.window) : "";
  box.message = text.c_str();
  box.numbuttons = button_count;
  box.buttons = buttons;
  int pressed = fallback;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) {
    std::fprintf(stderr, "input: %s\n", text.c_str());
    return fallback;
  }
  return pressed;
}
}  // namespace

void TSDLSystemDriver::Notify(const std::string& text, int32_t serious) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"}};
  ShowMessage(text, serious, buttons, 1, 0);
}

int32_t TSDLSystemDriver::Confirm(const std::string& text, int32_t serious) {
  const SDL_MessageBoxButtonData buttons[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
                                              {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"}};
  return ShowMessage(text, serious, buttons, 2, 0);
}

int32_t TSDLSystemDriver::Proceed(const std::string& text, int32_t serious) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {0, 0, "No"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, -1, "Cancel"}};
  return ShowMessage(text, serious, buttons, 3, -1);
}

std::string TSDLSystemDriver::RequestFile(const std::string&, const std::string&, int32_t,
                                          const std::string&) {
  std::fprintf(stderr, "input: file requester unavailable\n");
  return "";
}

std::string TSDLSystemDriver::RequestDir(const std::string&, const std::string&) {
  std::fprintf(stderr, "input: folder requester unavailable\n");
  return "";
}

int32_t TSDLSystemDriver::OpenURL(const std::string& url) {
  return SDL_OpenURL(url.c_str()) == 0 ? 1 : 0;
}

void TNullSystemDriver::Wait() {
  SleepMillis(1);
}

// ---- Current driver and the graphics window's pointer mapping ----

TSystemDriver* SystemDriver() {
  if (current_driver == nullptr) {
    // Lives for the whole run: SDL may already be shut down when static objects die.
    static TSDLSystemDriver* sdl_driver = new TSDLSystemDriver;
    current_driver = sdl_driver;
  }
  return current_driver;
}

void SetSystemDriver(TSystemDriver* driver) {
  current_driver = driver;
}

void SetPointerMapping(SDL_Window* window, float scale, int32_t offset_x, int32_t offset_y,
                       int32_t width, int32_t height) {
  PointerState& pointer = Pointer();
  pointer.window = window;
  pointer.scale = (window != nullptr && scale > 0.0f && std::isfinite(scale)) ? scale : 1.0f;
  pointer.offset_x = window != nullptr ? offset_x : 0;
  pointer.offset_y = window != nullptr ? offset_y : 0;
  pointer.width = width > 0 ? width : 640;
  pointer.height = height > 0 ? height : 480;
  pointer.inside = false;
  pointer.cursor_shown = -1;
  ApplyCursorVisibility();
}
