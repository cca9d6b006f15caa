#pragma once
// The simulator's scripted input and command line.
//
// An input script holds one event a line, "FRAME kind args...":
//   FRAME keydown CODE | FRAME keyup CODE        (Windows virtual-key codes)
//   FRAME mousemove X Y | FRAME mousedown B | FRAME mouseup B
//   FRAME joyaxis AXIS VALUE                     (AXIS 0 x, 1 y; VALUE -1.0 to 1.0)
//   FRAME joybutton B 0|1
//   FRAME focus 0|1 | FRAME close
// Blank lines and lines starting with '#' are ignored. Events of frame F are delivered
// before that frame's first input query. While the focus is away the game stands still
// but the script's time goes on, one frame per wait of the game, until a "focus 1" or a
// "close"; a script that ends with the focus away gives it back.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

enum class sim_event_kind {
  key_down,
  key_up,
  mouse_move,
  mouse_down,
  mouse_up,
  joy_axis,
  joy_button,
  focus,
  close,
};

struct sim_event {
  int64_t frame = 0;
  sim_event_kind kind = sim_event_kind::close;
  int32_t code = 0;    // key code, button, axis, or focus / button state for focus
  int32_t x = 0;       // mousemove x; joybutton state (0 / 1)
  int32_t y = 0;       // mousemove y
  float value = 0.0f;  // joyaxis value
};

// Parses one script line; false with a message naming the problem for a malformed line.
// A blank or comment line gives true with has_event false.
bool parse_script_line(const std::string& line, sim_event& event, bool& has_event,
                       std::string& error);
// Parses a whole script (events kept in file order, then sorted stably by frame);
// false with "line N: ..." for the first malformed line.
bool parse_script(std::istream& input, std::vector<sim_event>& events, std::string& error);

struct sim_options {
  bool has_seed = false;
  int32_t seed = 0;
  int64_t frames = 3600;
  std::string input_file;
  bool random_input = false;
  std::string replay_file;  // a recorded game to play instead of a script
  std::string data_dir;
  std::string trace_file;
  int64_t screenshot_every = 0;
  std::string screenshot_dir;
};

// Parses the command line (argv[0] skipped); false with a message for anything unknown
// or malformed. "--help" gives false with an empty message.
bool parse_sim_arguments(const std::vector<std::string>& arguments, sim_options& options,
                         std::string& error);
// The usage text printed for --help and bad arguments.
const char* sim_usage();
