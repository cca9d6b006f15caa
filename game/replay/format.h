#pragma once
// The replay file: everything needed to play a recorded game again exactly. A game is a
// pure function of the random generator's state when it starts and of the answers its
// input queries get, so a replay holds that state and, frame by frame, every answer.
//
// Layout (little-endian):
//   0  "VXRP"              magic
//   4  u32 format version  (replay_format_version; newer ones are refused)
//   8  i32 random state    at the start of the frame in which "Start Game" was chosen
//  12  i32 best score      when the game started (shown in the HUD during playback)
//  16  i32 frame count     frames recorded, the starting frame included
//  20  i32 final score     and
//  24  i32 final level     as the recorded game ended
//  28  i32 ending          0 game over, 1 abandoned (pause menu, or the program closed)
//  32  u32 payload size
//  36  u32 checksum        FNV-1a over the whole file but these four bytes
//  40  start state         (format 2 on) what a game starts from that earlier games of the
//                          same run may have changed, seven 32-bit values: i32 side of the
//                          next shot, i32 stereo mode, i32 music track, i32 sound level,
//                          i32 music level, f32 sound volume, f32 music volume
//  68  payload             (40 in format 1) frame records, each beginning with a tag byte:
//      0 repeat:  varint n; the previous frame's answers n more times
//      1 changed: varint k, k x (varint index, signed varint value); the previous frame's
//                 queries, with the answers at those (strictly rising) indices changed
//      2 frame:   varint k, k x (byte query, signed varint argument, signed varint value)
// Varints are LEB128 (at most five bytes); signed ones are zigzag-coded first.
//
// A frame keeps the game's wait for the focus as one round: while the focus is away the game
// asks "suspended?" and "close requested?" once per event it waits for, and what it does next
// depends only on the last answers, so repeated rounds are dropped when written and read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/input_tap.h"

constexpr uint32_t replay_format_version = 2;
// The header of the format this version writes; format 1's ends at byte 40.
constexpr size_t replay_header_size = 68;
// A size no real recording comes near (hours of play take a few megabytes): anything
// larger is refused before it is read.
constexpr size_t replay_max_file_size = 32u << 20;
// The game asks about twenty questions a frame (its wait for the focus kept as one round): a
// frame holding more answers than this is damage. Generous, so a game that asks a few more
// still reads; it bounds what playing or reading one frame costs.
constexpr size_t replay_max_frame_answers = 128;

enum class replay_ending : int32_t { game_over = 0, abandoned = 1 };

// One answer a query gave (a joystick axis's float as its bits).
struct input_answer {
  input_query query = input_query::key_is_down;
  int32_t argument = 0;
  int32_t value = 0;
  bool operator==(const input_answer&) const = default;
};

using input_frame = std::vector<input_answer>;

// Appends answer to frame, unless it completes a second round of the wait for the focus in a
// row ("suspended" yes, "close requested" no), which then is not kept either: the frame plays
// the same with one round.
void add_answer(input_frame& frame, const input_answer& answer);

// The settings and leftovers of earlier games that a game starts from. A format 1 file has
// none: its game started with the first shot on side 0 and the viewer's own settings.
struct replay_start_state {
  int32_t shot_side = 0;
  int32_t stereo_mode = 0;
  int32_t music_track = 2;
  int32_t sfx_level = 10;
  int32_t music_level = 10;
  float sfx_volume = 1.0f;
  float music_volume = 1.0f;
  bool operator==(const replay_start_state&) const = default;
};

struct replay_header {
  uint32_t version = replay_format_version;
  int32_t random_state = 0;
  int32_t start_best = 0;
  int32_t frame_count = 0;
  int32_t final_score = 0;
  int32_t final_level = 0;
  replay_ending ending = replay_ending::game_over;
  bool has_start_state = true;  // false for format 1
  replay_start_state start;
};

// Packs frames one at a time into the payload, as they happen.
class replay_encoder {
 public:
  void add_frame(const input_frame& frame);
  int32_t frames() const { return frames_; }
  // The whole file for header (whose frame_count is taken from the frames added).
  std::vector<uint8_t> file(replay_header header) const;

 private:
  void flush_repeats();
  std::vector<uint8_t> payload_;
  input_frame previous_;
  int32_t frames_ = 0;
  int32_t pending_repeats_ = 0;
};

// Unpacks a payload frame by frame. A payload that replay_parse accepted never fails.
class replay_decoder {
 public:
  explicit replay_decoder(const uint8_t* payload = nullptr, size_t size = 0)
      : data_(payload), size_(size) {}
  // The next frame into frame (at most replay_max_frame_answers answers); false at the end
  // or on malformed data (error() then says what is wrong).
  bool next(input_frame& frame);
  // Counts the frames left (stopping once past limit), consuming them without unpacking.
  int64_t count_rest(int64_t limit);
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  // What decoding has cost so far: records and answers read, and answers handed out by
  // next(). Reading never costs more than one per byte of the payload; only next() adds a
  // frame's answers for every frame.
  uint64_t work() const { return work_; }

 private:
  // Reads the next record into current_ (or counts down a run of repeats).
  bool advance();
  bool read_frame(uint32_t count);
  bool read_changes(uint32_t count);
  bool read_varint(uint32_t& value);
  bool fail(const char* what);
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  input_frame current_;
  uint32_t repeats_left_ = 0;
  bool have_frame_ = false;
  // The last full frame dropped repeated rounds of the focus wait, so a changed record's
  // indices, counted in the frame as written, no longer match it.
  bool rounds_dropped_ = false;
  uint64_t work_ = 0;
  std::string error_;
};

// A replay file checked from end to end: the header, the checksum, and every frame.
struct replay {
  replay_header header;
  std::vector<uint8_t> bytes;  // the whole file
  size_t payload_offset = replay_header_size;
  replay_decoder frames() const {
    return replay_decoder(bytes.data() + payload_offset, bytes.size() - payload_offset);
  }
};

// Why a file was refused.
enum class replay_refusal {
  none,
  unreadable,  // missing, not a regular file, too large, or a read failed
  not_replay,  // no replay magic
  newer,       // a format this version cannot read
  damaged,     // truncated, or its checksum or frames do not hold
};

// Parses and checks a whole file. On refusal returns false with one line in error: a
// newer format version, a truncated or damaged file, or something that is no replay.
bool replay_parse(std::vector<uint8_t> bytes, replay& out, std::string& error);
replay_refusal replay_parse_why(std::vector<uint8_t> bytes, replay& out, std::string& error);
// Reads and parses a file. Only a regular file of at most replay_max_file_size bytes is
// read (never blocking on a pipe or device); anything else is refused as unreadable.
bool replay_load(const std::string& path, replay& out, std::string& error);
replay_refusal replay_load_why(const std::string& path, replay& out, std::string& error);
