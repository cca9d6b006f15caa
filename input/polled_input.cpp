// Polled keyboard and mouse: a hook on EmitEventHook keeps the tables, the queries pump
// and then read them.

#include <array>

#include "input/input.h"
#include "input/input_tap.h"
#include "input/system.h"

namespace {

constexpr int32_t kKeyCount = 256;
constexpr int32_t kCharQueueSize = 256;
constexpr int32_t kMouseButtonCount = 4;  // index 0 is never set

struct PolledInput {
  std::array<int32_t, kKeyCount> key_states{};
  std::array<int32_t, kKeyCount> key_hits{};
  std::array<int32_t, kCharQueueSize> char_queue{};
  // Ever-increasing until a flush; a character's slot is its counter modulo the size.
  uint32_t char_put = 0;
  uint32_t char_get = 0;
  std::array<int32_t, kMouseButtonCount> mouse_states{};
  std::array<int32_t, kMouseButtonCount> mouse_hits{};
  int32_t mouse_x = 0;
  int32_t mouse_y = 0;
  int32_t mouse_z = 0;
  int32_t suspended = 0;
  int32_t terminate = 0;
  std::shared_ptr<TObject> source_filter;
  bool enabled = false;
  int32_t auto_poll = 1;
};

TInputTap* current_tap = nullptr;

PolledInput& Input() {
  static PolledInput input;
  return input;
}

void AutoPoll() {
  if (Input().auto_poll) PumpEvents();
}

bool ValidKey(int32_t key) {
  return key >= 0 && key < kKeyCount;
}
bool ValidButton(int32_t button) {
  return button >= 1 && button < kMouseButtonCount;
}

void FlushKeys() {
  PolledInput& input = Input();
  input.key_states.fill(0);
  input.key_hits.fill(0);
  input.char_queue.fill(0);
  input.char_put = 0;
  input.char_get = 0;
}

void FlushMouse() {
  PolledInput& input = Input();
  input.mouse_states.fill(0);
  input.mouse_hits.fill(0);
  input.mouse_z = 0;
}

int32_t TakeKeyHits(int32_t key) {
  int32_t hits = Input().key_hits[key];
  Input().key_hits[key] = 0;
  return hits;
}

int32_t TakeChar() {
  PolledInput& input = Input();
  if (input.char_get == input.char_put) return 0;
  return input.char_queue[input.char_get++ % kCharQueueSize];
}

int32_t TakeMouseHits(int32_t button) {
  int32_t hits = Input().mouse_hits[button];
  Input().mouse_hits[button] = 0;
  return hits;
}

void TakeEvent(const TEvent& event) {
  PolledInput& input = Input();
  switch (event.id) {
    case EVENT_KEYDOWN:
      if (event.data >= 1 && event.data < kKeyCount && input.key_states[event.data] == 0) {
        input.key_states[event.data] = 1;
        ++input.key_hits[event.data];
      }
      break;
    case EVENT_KEYUP:
      if (event.data >= 1 && event.data < kKeyCount) input.key_states[event.data] = 0;
      break;
    case EVENT_KEYCHAR:
      if (input.char_put - input.char_get < static_cast<uint32_t>(kCharQueueSize)) {
        input.char_queue[input.char_put++ % kCharQueueSize] = event.data;
      }
      break;
    case EVENT_MOUSEDOWN:
      if (ValidButton(event.data) && input.mouse_states[event.data] == 0) {
        input.mouse_states[event.data] = 1;
        ++input.mouse_hits[event.data];
      }
      break;
    case EVENT_MOUSEUP:
      if (ValidButton(event.data)) input.mouse_states[event.data] = 0;
      break;
    case EVENT_MOUSEMOVE:
      input.mouse_x = event.x;
      input.mouse_y = event.y;
      break;
    case EVENT_MOUSEWHEEL:
      input.mouse_z += event.data;
      break;
    case EVENT_APPSUSPEND:
    case EVENT_APPRESUME:
      // Keys held while the focus was elsewhere must not stay down. The tables are
      // flushed directly: a pump from inside a hook would be a nested one.
      FlushKeys();
      FlushMouse();
      input.suspended = event.id == EVENT_APPSUSPEND ? 1 : 0;
      break;
    case EVENT_APPTERMINATE:
      input.terminate = 1;
      break;
    default:
      break;
  }
}

std::shared_ptr<TObject> PolledInputHook(int32_t, const std::shared_ptr<TObject>& data,
                                         const std::shared_ptr<TObject>&) {
  const TEvent* event = dynamic_cast<const TEvent*>(data.get());
  if (event == nullptr) return data;
  const std::shared_ptr<TObject>& filter = Input().source_filter;
  if (filter && event->source != filter) return data;
  TakeEvent(*event);
  return data;
}

}  // namespace

// ---- Keyboard ----

int32_t KeyIsDown(int32_t key) {
  AutoPoll();
  return TapAnswer(input_query::key_is_down, key, ValidKey(key) ? Input().key_states[key] : 0);
}

int32_t KeyHits(int32_t key) {
  AutoPoll();
  return TapAnswer(input_query::key_hits, key, ValidKey(key) ? TakeKeyHits(key) : 0);
}

int32_t NextChar() {
  AutoPoll();
  return TapAnswer(input_query::next_char, 0, TakeChar());
}

void ClearKeys() {
  AutoPoll();
  FlushKeys();
}

int32_t WaitForKey() {
  ClearKeys();
  for (;;) {
    WaitForEvents();
    for (int32_t key = 1; key < kKeyCount; ++key) {
      if (TakeKeyHits(key)) return key;
    }
  }
}

int32_t WaitForChar() {
  ClearKeys();
  for (;;) {
    WaitForEvents();
    if (int32_t character = TakeChar()) return character;
  }
}

// ---- Mouse ----

int32_t MouseIsDown(int32_t button) {
  AutoPoll();
  return TapAnswer(input_query::mouse_is_down, button,
                   ValidButton(button) ? Input().mouse_states[button] : 0);
}

int32_t MouseHits(int32_t button) {
  AutoPoll();
  return TapAnswer(input_query::mouse_hits, button,
                   ValidButton(button) ? TakeMouseHits(button) : 0);
}

int32_t PointerX() {
  AutoPoll();
  return TapAnswer(input_query::pointer_x, 0, Input().mouse_x);
}

int32_t PointerY() {
  AutoPoll();
  return TapAnswer(input_query::pointer_y, 0, Input().mouse_y);
}

int32_t PointerWheel() {
  AutoPoll();
  return TapAnswer(input_query::pointer_wheel, 0, Input().mouse_z);
}

void ClearMouse() {
  AutoPoll();
  FlushMouse();
}

int32_t WaitForMouse() {
  ClearMouse();
  for (;;) {
    WaitForEvents();
    for (int32_t button = 1; button < kMouseButtonCount; ++button) {
      if (TakeMouseHits(button)) return button;
    }
  }
}

// ---- Application ----

int32_t IsSuspended() {
  AutoPoll();
  return TapAnswer(input_query::is_suspended, 0, Input().suspended);
}

int32_t CloseRequested() {
  AutoPoll();
  int32_t requested = Input().terminate;
  Input().terminate = 0;
  return TapAnswer(input_query::close_requested, 0, requested);
}

void EnableInputPolling(std::shared_ptr<TObject> source) {
  PolledInput& input = Input();
  if (input.enabled) return;
  input.source_filter = std::move(source);
  FlushKeys();
  FlushMouse();
  AddHook(EmitEventHook, PolledInputHook, nullptr, 0);
  input.enabled = true;
}

void DisableInputPolling() {
  PolledInput& input = Input();
  if (!input.enabled) return;
  RemoveHook(EmitEventHook, PolledInputHook, nullptr);
  FlushKeys();
  FlushMouse();
  input.source_filter = nullptr;
  input.enabled = false;
}

int32_t InputPollingEnabled() {
  return Input().enabled ? 1 : 0;
}

void SetAutoPoll(int32_t enable) {
  Input().auto_poll = enable ? 1 : 0;
}

void SetInputTap(TInputTap* tap) {
  current_tap = tap;
}

TInputTap* InputTap() {
  return current_tap;
}

// ---- Pointer ----

void MoveMouse(int32_t x, int32_t y) {
  SystemDriver()->MoveMouse(x, y);
}

void HidePointer() {
  SystemDriver()->SetMouseVisible(0);
}

void ShowPointer() {
  SystemDriver()->SetMouseVisible(1);
}
