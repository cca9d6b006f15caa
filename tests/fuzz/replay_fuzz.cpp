// Feeds arbitrary bytes to the replay reader as a whole file, and to the frame decoder as a
// payload (past the checksum that keeps most mutations out of it). Whatever the reader
// accepts must decode to exactly the frames its header counts, and pack again to the same.
//
// Reading must also cost time in proportion to the bytes: the decoder counts its work (each
// record and answer read, each answer handed out), and counting a payload's frames may not
// take more steps than it has bytes. A count, not a clock, so that a loaded machine never
// fails it and a quadratic reader fails it on inputs of a few dozen bytes, where a clock
// would see nothing.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/replay/format.h"

namespace {

// Counts the frames of a payload as the reader does; traps if that costs more than linear.
void check_linear(const uint8_t* payload, size_t size) {
  replay_decoder counted(payload, size);
  counted.count_rest(1000000);
  if (counted.work() > size) __builtin_trap();
}

void check_accepted(const replay& loaded) {
  replay_decoder frames = loaded.frames();
  replay_encoder again;
  std::vector<input_frame> decoded;
  input_frame frame;
  check_linear(loaded.bytes.data() + loaded.payload_offset,
               loaded.bytes.size() - loaded.payload_offset);
  while (frames.next(frame)) {
    if (frame.size() > replay_max_frame_answers) __builtin_trap();
    for (const input_answer& answer : frame)
      if (answer.query >= input_query::count) __builtin_trap();
    again.add_frame(frame);
    decoded.push_back(frame);
  }
  if (frames.failed() || static_cast<int64_t>(decoded.size()) != loaded.header.frame_count)
    __builtin_trap();

  replay repacked;
  std::string error;
  if (!replay_parse(again.file(loaded.header), repacked, error)) __builtin_trap();
  replay_decoder repacked_frames = repacked.frames();
  for (const input_frame& expected : decoded) {
    if (!repacked_frames.next(frame) || frame != expected) __builtin_trap();
  }
  if (repacked_frames.next(frame)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  replay loaded;
  std::string error;
  if (replay_parse(bytes, loaded, error)) {
    check_accepted(loaded);
  } else if (error.empty()) {
    __builtin_trap();
  }

  // The payload decoder alone: it ends or reports damage, within a bounded number of frames.
  replay_decoder frames(data, size);
  input_frame frame;
  for (int count = 0; count < 100000 && frames.next(frame); ++count) {
    if (frame.size() > replay_max_frame_answers) __builtin_trap();
  }
  check_linear(data, size);
  return 0;
}
