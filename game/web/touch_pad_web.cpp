// The on-screen controls as an SDL virtual joystick (game/web/touch_pad.h).

#include "game/web/touch_pad.h"

#include <SDL.h>
#include <emscripten/emscripten.h>

#include <cstdio>

#include "input/system.h"

namespace {

constexpr int kAxes = 2;     // x, y
constexpr int kButtons = 3;  // fire, cloak, pause

SDL_Joystick* pad = nullptr;
bool refused = false;
bool played = false;

// Port 0, the one the game reads, is the pad's while the controls are played; a pad of the
// system has it otherwise.
void PutOnPortZero() {
  if (pad != nullptr && SDL_JoystickGetAttached(pad)) {
    SetFirstJoystick(played ? SDL_JoystickInstanceID(pad) : -1);
  }
}

// The stick's ends are SDL's extremes, which the input layer reads as exactly -1 and +1:
// the game turns, thrusts and moves the menu pointer only at full deflection.
Sint16 AxisPosition(int direction) {
  if (direction < 0) return SDL_JOYSTICK_AXIS_MIN;
  if (direction > 0) return SDL_JOYSTICK_AXIS_MAX;
  return 0;
}

// 1 attached, 0 not yet possible, -1 refused.
int Attach() {
  if (pad != nullptr && SDL_JoystickGetAttached(pad)) return 1;
  if (refused) return -1;
  if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return 0;
  SDL_VirtualJoystickDesc description{};
  description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  description.naxes = kAxes;
  description.nbuttons = kButtons;
  description.name = "Touch controls";
  // SDL announces the new device, and the input layer rebuilds its ports on that event.
  const int index = SDL_JoystickAttachVirtualEx(&description);
  pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
  if (pad == nullptr) {
    std::fprintf(stderr, "input: the touch controls cannot be attached: %s\n", SDL_GetError());
    if (index >= 0) SDL_JoystickDetachVirtual(index);
    refused = true;
    return -1;
  }
  PutOnPortZero();
  return 1;
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE int vextral_touch_pad_set(int stick_x, int stick_y, int buttons) {
  const int attached = Attach();
  if (attached != 1) return attached;
  SDL_JoystickSetVirtualAxis(pad, 0, AxisPosition(stick_x));
  SDL_JoystickSetVirtualAxis(pad, 1, AxisPosition(stick_y));
  for (int button = 0; button < kButtons; ++button) {
    SDL_JoystickSetVirtualButton(pad, button, (buttons >> button) & 1 ? SDL_PRESSED : SDL_RELEASED);
  }
  return 1;
}

extern "C" EMSCRIPTEN_KEEPALIVE void vextral_touch_pad_play(int played_by_touch) {
  played = played_by_touch != 0;
  PutOnPortZero();
}
