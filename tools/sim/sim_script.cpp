#include "tools/sim/sim_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace {

bool parse_int64(const std::string& text, int64_t& value) {
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool parse_int32(const std::string& text, int32_t& value) {
  int64_t wide = 0;
  if (!parse_int64(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool parse_float(const std::string& text, float& value) {
  try {
    size_t used = 0;
    value = std::stof(text, &used);
    return used == text.size() && std::isfinite(value);
  } catch (const std::exception&) {
    return false;
  }
}

struct kind_syntax {
  const char* name;
  sim_event_kind kind;
  int arguments;
};

constexpr kind_syntax kKinds[] = {
    {"keydown", sim_event_kind::key_down, 1},     {"keyup", sim_event_kind::key_up, 1},
    {"mousemove", sim_event_kind::mouse_move, 2}, {"mousedown", sim_event_kind::mouse_down, 1},
    {"mouseup", sim_event_kind::mouse_up, 1},     {"joyaxis", sim_event_kind::joy_axis, 2},
    {"joybutton", sim_event_kind::joy_button, 2}, {"focus", sim_event_kind::focus, 1},
    {"close", sim_event_kind::close, 0},
};

}  // namespace

bool parse_script_line(const std::string& line, sim_event& event, bool& has_event,
                       std::string& error) {
  has_event = false;
  std::istringstream words(line);
  std::vector<std::string> parts;
  for (std::string word; words >> word;) parts.push_back(word);
  if (parts.empty() || parts[0][0] == '#') return true;

  if (parts.size() < 2) {
    error = "expected FRAME and an event";
    return false;
  }
  sim_event parsed;
  if (!parse_int64(parts[0], parsed.frame) || parsed.frame < 0) {
    error = "bad frame number '" + parts[0] + "'";
    return false;
  }
  const kind_syntax* syntax = nullptr;
  for (const auto& candidate : kKinds)
    if (parts[1] == candidate.name) syntax = &candidate;
  if (!syntax) {
    error = "unknown event '" + parts[1] + "'";
    return false;
  }
  if (static_cast<int>(parts.size()) != 2 + syntax->arguments) {
    error = "'" + parts[1] + "' takes " + std::to_string(syntax->arguments) + " argument(s)";
    return false;
  }
  parsed.kind = syntax->kind;
  bool ok = true;
  switch (syntax->kind) {
    case sim_event_kind::key_down:
    case sim_event_kind::key_up:
      ok = parse_int32(parts[2], parsed.code) && parsed.code >= 0 && parsed.code <= 255;
      break;
    case sim_event_kind::mouse_move:
      ok = parse_int32(parts[2], parsed.x) && parse_int32(parts[3], parsed.y);
      break;
    case sim_event_kind::mouse_down:
    case sim_event_kind::mouse_up:
      ok = parse_int32(parts[2], parsed.code) && parsed.code >= 1 && parsed.code <= 3;
      break;
    case sim_event_kind::joy_axis:
      ok = parse_int32(parts[2], parsed.code) && parsed.code >= 0 && parsed.code <= 1 &&
           parse_float(parts[3], parsed.value) && parsed.value >= -1.0f && parsed.value <= 1.0f;
      break;
    case sim_event_kind::joy_button:
      ok = parse_int32(parts[2], parsed.code) && parsed.code >= 0 && parsed.code <= 15 &&
           parse_int32(parts[3], parsed.x) && (parsed.x == 0 || parsed.x == 1);
      break;
    case sim_event_kind::focus:
      ok = parse_int32(parts[2], parsed.code) && (parsed.code == 0 || parsed.code == 1);
      break;
    case sim_event_kind::close:
      break;
  }
  if (!ok) {
    error = "bad argument for '" + parts[1] + "'";
    return false;
  }
  event = parsed;
  has_event = true;
  return true;
}

bool parse_script(std::istream& input, std::vector<sim_event>& events, std::string& error) {
  std::string line;
  int64_t number = 0;
  std::vector<sim_event> parsed;
  while (std::getline(input, line)) {
    ++number;
    sim_event event;
    bool has_event = false;
    std::string problem;
    if (!parse_script_line(line, event, has_event, problem)) {
      error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
    if (has_event) parsed.push_back(event);
  }
  std::stable_sort(parsed.begin(), parsed.end(),
                   [](const sim_event& a, const sim_event& b) { return a.frame < b.frame; });
  events = std::move(parsed);
  return true;
}

const char* sim_usage() {
  return "usage: vextral-sim [--seed N] [--frames N] [--input FILE | --random-input] "
         "[--data DIR] [--trace FILE] [--screenshot-every N DIR]\n"
         "       vextral-sim --replay FILE [--data DIR] [--trace FILE] "
         "[--screenshot-every N DIR]\n"
         "A replay runs from start-up to the recording's last frame and reports the frames "
         "replayed, the final score and the level.";
}

bool parse_sim_arguments(const std::vector<std::string>& arguments, sim_options& options,
                         std::string& error) {
  auto value_of = [&](size_t& index, const std::string& name, std::string& value) {
    if (index + 1 >= arguments.size()) {
      error = name + " needs a value";
      return false;
    }
    value = arguments[++index];
    if (value.empty()) {
      error = name + " needs a value";
      return false;
    }
    return true;
  };
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    std::string value;
    if (argument == "--help" || argument == "-h") {
      error.clear();
      return false;
    } else if (argument == "--seed") {
      if (!value_of(index, argument, value)) return false;
      if (!parse_int32(value, options.seed)) {
        error = "--seed needs a 32-bit integer";
        return false;
      }
      options.has_seed = true;
    } else if (argument == "--frames") {
      if (!value_of(index, argument, value)) return false;
      if (!parse_int64(value, options.frames) || options.frames < 0) {
        error = "--frames needs a count of 0 or more";
        return false;
      }
    } else if (argument == "--input") {
      if (!value_of(index, argument, options.input_file)) return false;
    } else if (argument == "--replay") {
      if (!value_of(index, argument, options.replay_file)) return false;
    } else if (argument == "--random-input") {
      options.random_input = true;
    } else if (argument == "--data") {
      if (!value_of(index, argument, options.data_dir)) return false;
    } else if (argument == "--trace") {
      if (!value_of(index, argument, options.trace_file)) return false;
    } else if (argument == "--screenshot-every") {
      if (!value_of(index, argument, value)) return false;
      if (!parse_int64(value, options.screenshot_every) || options.screenshot_every <= 0) {
        error = "--screenshot-every needs a count above 0 and a folder";
        return false;
      }
      if (!value_of(index, argument, options.screenshot_dir)) return false;
    } else {
      error = "unknown argument '" + argument + "'";
      return false;
    }
  }
  if (!options.replay_file.empty() && (!options.input_file.empty() || options.random_input)) {
    error = "--replay plays a recorded game: it cannot be combined with --input or --random-input";
    return false;
  }
  if (!options.input_file.empty() && options.random_input) {
    error = "--input and --random-input cannot be combined";
    return false;
  }
  return true;
}
