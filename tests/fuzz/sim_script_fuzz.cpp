// Feeds arbitrary text to the simulator's input-script parser and, split at NUL bytes, to its
// command-line parser. Whatever they accept must be within the ranges they promise.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sim/sim_script.h"

namespace {

void check_event(const sim_event& event) {
  bool ok = event.frame >= 0;
  switch (event.kind) {
    case sim_event_kind::key_down:
    case sim_event_kind::key_up:
      ok = ok && event.code >= 0 && event.code <= 255;
      break;
    case sim_event_kind::mouse_down:
    case sim_event_kind::mouse_up:
      ok = ok && event.code >= 1 && event.code <= 3;
      break;
    case sim_event_kind::joy_axis:
      ok =
          ok && (event.code == 0 || event.code == 1) && event.value >= -1.0f && event.value <= 1.0f;
      break;
    case sim_event_kind::joy_button:
      ok = ok && event.code >= 0 && event.code <= 15 && (event.x == 0 || event.x == 1);
      break;
    case sim_event_kind::focus:
      ok = ok && (event.code == 0 || event.code == 1);
      break;
    case sim_event_kind::mouse_move:
    case sim_event_kind::close:
      break;
  }
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::istringstream script(text);
  std::vector<sim_event> events;
  std::string error;
  if (parse_script(script, events, error)) {
    for (size_t i = 0; i < events.size(); ++i) {
      check_event(events[i]);
      if (i > 0 && events[i - 1].frame > events[i].frame) __builtin_trap();
    }
  } else if (error.rfind("line ", 0) != 0) {
    __builtin_trap();
  }

  std::vector<std::string> arguments;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  sim_options options;
  if (parse_sim_arguments(arguments, options, error)) {
    if (options.frames < 0 || (options.screenshot_every != 0 && options.screenshot_every < 1) ||
        (options.random_input && !options.input_file.empty()) ||
        (!options.replay_file.empty() && (options.random_input || !options.input_file.empty())))
      __builtin_trap();
  }
  return 0;
}
