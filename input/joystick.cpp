// Joysticks over SDL's joystick API. Each query reads its port from the device first;
// the values of the last successful read are kept, so a pad pulled out mid-game reads as
// it was left.

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "input/input.h"
#include "input/input_tap.h"
#include "input/internal.h"
#include "input/system.h"

namespace {

constexpr int32_t kPortCount = 16;
constexpr int32_t kMaxPortTable = 256;
constexpr int32_t kAxisSlots = 16;
constexpr int32_t kCountedButtons = 16;
constexpr int32_t kReadAxes = 6;  // x, y, z, r, u, v
constexpr int32_t kHatSlot = 9;
constexpr int32_t kHatCentred = 65535;  // hundredths of a degree; above 36000 means centred

struct JoystickState {
  std::vector<SDL_Joystick*> ports;  // port n is the n-th attached device
  std::array<int32_t, kPortCount> buttons{};
  std::array<std::array<float, kAxisSlots>, kPortCount> axes{};
  std::array<std::array<int32_t, kPortCount>, kCountedButtons> hits{};  // [button][port]
  // The device whose values each port holds (SDL instance ids are never reused); -1 none.
  std::array<SDL_JoystickID, kPortCount> owners = [] {
    std::array<SDL_JoystickID, kPortCount> none;
    none.fill(-1);
    return none;
  }();
  // The device put on port 0 ahead of SDL's order while attached; -1 none.
  SDL_JoystickID first = -1;
};

JoystickState& Joysticks() {
  static JoystickState state;
  return state;
}

bool StartJoysticks() {
  static bool failed = false;
  if (SDL_WasInit(SDL_INIT_JOYSTICK)) return true;
  if (failed) return false;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    std::fprintf(stderr, "input: joysticks unavailable: %s\n", SDL_GetError());
    failed = true;
    return false;
  }
  return true;
}

bool ValidPort(int32_t port) {
  return port >= 0 && port < kPortCount;
}

// The attached device on port, or null.
SDL_Joystick* DeviceOn(int32_t port) {
  JoystickState& state = Joysticks();
  if (!ValidPort(port) || port >= static_cast<int32_t>(state.ports.size())) return nullptr;
  SDL_Joystick* device = state.ports[port];
  if (device == nullptr || !SDL_JoystickGetAttached(device)) return nullptr;
  return device;
}

// SDL reports the hat as direction bits; the stored value is hundredths of a degree
// clockwise from up.
int32_t HatHundredths(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return kHatCentred;
  }
}

// SDL's -32768..32767 as a position on a 0..65535 range, mapped so that both ends read
// exactly -1 and +1. Pads that report a symmetric range (a browser's gamepads, which SDL
// scales to -32767..32767) end one short of SDL's minimum: that reads as the end too.
float AxisValue(Sint16 sdl_value) {
  constexpr float kMinimum = 0.0f;
  constexpr float kMaximum = 65535.0f;
  if (sdl_value == -32767) sdl_value = -32768;
  float position = static_cast<float>(static_cast<int32_t>(sdl_value) + 32768);
  return 2.0f * (position - kMinimum) / kMaximum - 1.0f;
}

// Bit b set while button b is down, as of SDL's latest update of the device.
uint32_t ButtonMask(SDL_Joystick* device) {
  int32_t button_count = SDL_JoystickNumButtons(device);
  uint32_t mask = 0;
  for (int32_t button = 0; button < button_count && button < 32; ++button) {
    if (SDL_JoystickGetButton(device, button)) mask |= 1u << button;
  }
  return mask;
}

// Hands port to a device that was not on it: the old device's presses and axes go, and the
// buttons the new one already holds are its starting point, not new presses (a held button
// on a pad that moved here was counted on its old port).
void GivePort(JoystickState& state, int32_t port, SDL_Joystick* device) {
  state.owners[port] = SDL_JoystickInstanceID(device);
  state.buttons[port] = static_cast<int32_t>(ButtonMask(device));
  state.axes[port].fill(0.0f);
  for (auto& button_hits : state.hits) button_hits[port] = 0;
}

// Refreshes the stored state of port from its device; nothing changes when the port has
// no attached device.
void ReadPort(int32_t port) {
  SDL_Joystick* device = DeviceOn(port);
  if (device == nullptr) return;
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(device)) return;
  JoystickState& state = Joysticks();

  uint32_t mask = ButtonMask(device);
  int32_t axis_count = SDL_JoystickNumAxes(device);
  for (int32_t axis = 0; axis < axis_count && axis < kReadAxes; ++axis) {
    state.axes[port][axis] = AxisValue(SDL_JoystickGetAxis(device, axis));
  }
  if (SDL_JoystickNumHats(device) > 0) {
    int32_t hat = HatHundredths(SDL_JoystickGetHat(device, 0));
    state.axes[port][kHatSlot] = hat <= 36000 ? static_cast<float>(hat) / 36000.0f : -1.0f;
  }

  uint32_t previous = static_cast<uint32_t>(state.buttons[port]);
  uint32_t pressed = mask & ~previous;
  for (int32_t button = 0; button < kCountedButtons; ++button) {
    if (pressed & (1u << button)) ++state.hits[button][port];
  }
  state.buttons[port] = static_cast<int32_t>(mask);
}

float Axis(int32_t port, int32_t slot) {
  float value = 0.0f;
  if (ValidPort(port)) {
    ReadPort(port);
    value = Joysticks().axes[port][slot];
  }
  return TapAnswer(input_query::joy_axis, joystick_argument(slot, port), value);
}

}  // namespace

void RebuildJoystickPorts() {
  JoystickState& state = Joysticks();
  std::vector<SDL_Joystick*> ports;
  if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
    int32_t count = SDL_NumJoysticks();
    for (int32_t index = 0; index < count && index < kMaxPortTable; ++index) {
      // Opening a device that is already open only adds a reference.
      if (SDL_Joystick* device = SDL_JoystickOpen(index)) ports.push_back(device);
    }
  }
  std::stable_partition(ports.begin(), ports.end(), [&state](SDL_Joystick* device) {
    return state.first != -1 && SDL_JoystickInstanceID(device) == state.first;
  });
  for (SDL_Joystick* device : state.ports) SDL_JoystickClose(device);
  state.ports = std::move(ports);
  // Ports left without a device keep the last values; a port whose device stayed keeps its
  // state.
  int32_t filled = static_cast<int32_t>(state.ports.size());
  for (int32_t port = 0; port < kPortCount && port < filled; ++port) {
    if (SDL_JoystickInstanceID(state.ports[port]) != state.owners[port]) {
      GivePort(state, port, state.ports[port]);
    }
  }
}

void SetFirstJoystick(int32_t instance_id) {
  Joysticks().first = instance_id;
  RebuildJoystickPorts();
}

int32_t JoystickCount() {
  if (!StartJoysticks()) return 0;
  RebuildJoystickPorts();
  return static_cast<int32_t>(Joysticks().ports.size());
}

std::string JoystickName(int32_t port) {
  SDL_Joystick* device = DeviceOn(port);
  if (device == nullptr) return "";
  const char* name = SDL_JoystickName(device);
  return name != nullptr ? name : "";
}

int32_t JoystickButtonCaps(int32_t port) {
  ReadPort(port);
  SDL_Joystick* device = DeviceOn(port);
  if (device == nullptr) return 0;
  int32_t count = SDL_JoystickNumButtons(device);
  if (count <= 0) return 0;
  uint32_t mask = count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1u;
  return static_cast<int32_t>(mask);
}

int32_t JoystickAxisCaps(int32_t port) {
  ReadPort(port);
  SDL_Joystick* device = DeviceOn(port);
  if (device == nullptr) return 0;
  int32_t count = SDL_JoystickNumAxes(device);
  if (count < 0) return 0;
  if (count > kReadAxes) count = kReadAxes;
  int32_t mask = (1 << count) - 1;
  if (SDL_JoystickNumHats(device) > 0) mask |= 1 << kHatSlot;
  return mask;
}

int32_t JoyButtonIsDown(int32_t button, int32_t port) {
  int32_t down = 0;
  if (ValidPort(port) && button >= 0 && button < 32) {
    ReadPort(port);
    down = static_cast<int32_t>((static_cast<uint32_t>(Joysticks().buttons[port]) >> button) & 1u);
  }
  return TapAnswer(input_query::joy_button_is_down, joystick_argument(button, port), down);
}

int32_t JoyButtonHits(int32_t button, int32_t port) {
  int32_t hits = 0;
  if (ValidPort(port) && button >= 0 && button < kCountedButtons) {
    ReadPort(port);
    hits = Joysticks().hits[button][port];
    Joysticks().hits[button][port] = 0;
  }
  return TapAnswer(input_query::joy_button_hits, joystick_argument(button, port), hits);
}

float JoyAxisX(int32_t port) {
  return Axis(port, 0);
}
float JoyAxisY(int32_t port) {
  return Axis(port, 1);
}
float JoyAxisZ(int32_t port) {
  return Axis(port, 2);
}
float JoyAxisR(int32_t port) {
  return Axis(port, 3);
}
float JoyAxisU(int32_t port) {
  return Axis(port, 4);
}
float JoyAxisV(int32_t port) {
  return Axis(port, 5);
}
float JoyAxisYaw(int32_t port) {
  return Axis(port, 6);
}
float JoyAxisPitch(int32_t port) {
  return Axis(port, 7);
}
float JoyAxisRoll(int32_t port) {
  return Axis(port, 8);
}
float JoyAxisWheel(int32_t port) {
  return Axis(port, 10);
}
float JoyHatAngle(int32_t port) {
  return Axis(port, kHatSlot);
}
