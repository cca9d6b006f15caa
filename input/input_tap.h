#pragma once
// A tap between the polled-input queries and their callers: a recorder sees every answer
// the game is given, a replay replaces them. Every query of input.h that answers a value
// (keys, typed characters, mouse, pointer, focus, close request, joystick) passes its live
// answer through the tap, after pumping and after taking its hits, so the live state moves
// on as usual either way. Main thread only.

#include <cstdint>

#include "support/bit_cast.h"

enum class input_query : uint8_t {
  key_is_down,
  key_hits,
  next_char,
  mouse_is_down,
  mouse_hits,
  pointer_x,
  pointer_y,
  pointer_wheel,
  is_suspended,
  close_requested,
  joy_button_is_down,  // argument: joystick_argument(button, port)
  joy_button_hits,     // argument: joystick_argument(button, port)
  joy_axis,            // argument: joystick_argument(axis slot, port); answer: float bits
  count
};

class TInputTap {
 public:
  virtual ~TInputTap() = default;
  // The answer to give for query (argument: the key, button, or packed joystick pair)
  // whose live answer is live.
  virtual int32_t Answer(input_query query, int32_t argument, int32_t live) = 0;
};

// The current tap, or null (the default: every answer is the live one). Not owned.
void SetInputTap(TInputTap* tap);
TInputTap* InputTap();

// One argument for a joystick button or axis slot on a port (wraps for absurd values,
// which only ever need to compare equal with themselves).
inline int32_t joystick_argument(int32_t index, int32_t port) {
  return static_cast<int32_t>(static_cast<uint32_t>(index) * 256u + static_cast<uint32_t>(port));
}

inline int32_t TapAnswer(input_query query, int32_t argument, int32_t live) {
  TInputTap* tap = InputTap();
  return tap ? tap->Answer(query, argument, live) : live;
}

inline float TapAnswer(input_query query, int32_t argument, float live) {
  TInputTap* tap = InputTap();
  if (!tap) return live;
  return BitCast<float>(tap->Answer(query, argument, BitCast<int32_t>(live)));
}
