#include "game/replay/format.h"

#include <algorithm>
#include <cstring>

#include "stream/regular_file.h"
#include "support/bit_cast.h"

namespace {

constexpr uint8_t kMagic[4] = {'V', 'X', 'R', 'P'};
constexpr uint8_t kRepeat = 0;
constexpr uint8_t kChanged = 1;
constexpr uint8_t kFrame = 2;
constexpr size_t kChecksumOffset = 36;
constexpr size_t kFirstHeaderSize = 40;
constexpr size_t kStartStateOffset = 40;

void put_varint(std::vector<uint8_t>& out, uint32_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<uint8_t>(value));
}

uint32_t zigzag(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return (bits << 1) ^ (value < 0 ? 0xFFFFFFFFu : 0u);
}

int32_t unzigzag(uint32_t value) {
  return static_cast<int32_t>((value >> 1) ^ (0u - (value & 1u)));
}

void put_u32(uint8_t* out, uint32_t value) {
  for (int index = 0; index < 4; ++index) out[index] = static_cast<uint8_t>(value >> (8 * index));
}

uint32_t get_u32(const uint8_t* in) {
  uint32_t value = 0;
  for (int index = 3; index >= 0; --index) value = (value << 8) | in[index];
  return value;
}

uint32_t fnv1a(uint32_t hash, const uint8_t* bytes, size_t count) {
  for (size_t index = 0; index < count; ++index) {
    hash ^= bytes[index];
    hash *= 16777619u;
  }
  return hash;
}

uint32_t file_checksum(const std::vector<uint8_t>& file) {
  const uint32_t head = fnv1a(2166136261u, file.data(), kChecksumOffset);
  return fnv1a(head, file.data() + kChecksumOffset + 4, file.size() - kChecksumOffset - 4);
}

size_t header_size_of(uint32_t version) {
  return version == 1 ? kFirstHeaderSize : replay_header_size;
}

void put_start_state(uint8_t* out, const replay_start_state& start) {
  const int32_t values[] = {start.shot_side,
                            start.stereo_mode,
                            start.music_track,
                            start.sfx_level,
                            start.music_level,
                            BitCast<int32_t>(start.sfx_volume),
                            BitCast<int32_t>(start.music_volume)};
  for (int32_t value : values) {
    put_u32(out, static_cast<uint32_t>(value));
    out += 4;
  }
}

replay_start_state get_start_state(const uint8_t* in) {
  auto next = [&in] {
    const auto value = static_cast<int32_t>(get_u32(in));
    in += 4;
    return value;
  };
  replay_start_state start;
  start.shot_side = next();
  start.stereo_mode = next();
  start.music_track = next();
  start.sfx_level = next();
  start.music_level = next();
  start.sfx_volume = BitCast<float>(next());
  start.music_volume = BitCast<float>(next());
  return start;
}

bool same_queries(const input_frame& a, const input_frame& b) {
  if (a.size() != b.size()) return false;
  for (size_t index = 0; index < a.size(); ++index)
    if (a[index].query != b[index].query || a[index].argument != b[index].argument) return false;
  return true;
}

// Values the game's own menus can produce (a volume is a sum of tenths, so near them).
bool start_state_in_range(const replay_start_state& start) {
  auto within = [](int32_t value, int32_t low, int32_t high) {
    return value >= low && value <= high;
  };
  auto volume = [](float value) { return value >= 0.0f && value <= 1.5f; };
  return within(start.shot_side, 0, 1) && within(start.stereo_mode, 0, 4) &&
         within(start.music_track, 1, 2) && within(start.sfx_level, 0, 10) &&
         within(start.music_level, 0, 10) && volume(start.sfx_volume) && volume(start.music_volume);
}

}  // namespace

void add_answer(input_frame& frame, const input_answer& answer) {
  static constexpr input_answer kStillAway{input_query::is_suspended, 0, 1};
  static constexpr input_answer kNoClose{input_query::close_requested, 0, 0};
  const size_t size = frame.size();
  if (answer == kNoClose && size >= 3 && frame[size - 1] == kStillAway &&
      frame[size - 2] == kNoClose && frame[size - 3] == kStillAway) {
    frame.pop_back();
    return;
  }
  frame.push_back(answer);
}

void replay_encoder::flush_repeats() {
  if (pending_repeats_ == 0) return;
  payload_.push_back(kRepeat);
  put_varint(payload_, static_cast<uint32_t>(pending_repeats_));
  pending_repeats_ = 0;
}

void replay_encoder::add_frame(const input_frame& frame) {
  if (frames_ > 0 && frame == previous_) {
    ++pending_repeats_;
  } else if (frames_ > 0 && same_queries(frame, previous_)) {
    flush_repeats();
    payload_.push_back(kChanged);
    uint32_t changes = 0;
    for (size_t index = 0; index < frame.size(); ++index)
      changes += frame[index].value != previous_[index].value ? 1 : 0;
    put_varint(payload_, changes);
    for (size_t index = 0; index < frame.size(); ++index) {
      if (frame[index].value == previous_[index].value) continue;
      put_varint(payload_, static_cast<uint32_t>(index));
      put_varint(payload_, zigzag(frame[index].value));
    }
  } else {
    flush_repeats();
    payload_.push_back(kFrame);
    put_varint(payload_, static_cast<uint32_t>(frame.size()));
    for (const input_answer& answer : frame) {
      payload_.push_back(static_cast<uint8_t>(answer.query));
      put_varint(payload_, zigzag(answer.argument));
      put_varint(payload_, zigzag(answer.value));
    }
  }
  previous_ = frame;
  ++frames_;
}

std::vector<uint8_t> replay_encoder::file(replay_header header) const {
  header.frame_count = frames_;
  std::vector<uint8_t> file(replay_header_size + payload_.size());
  std::copy(payload_.begin(), payload_.end(), file.begin() + replay_header_size);
  if (pending_repeats_ > 0) {
    file.push_back(kRepeat);
    put_varint(file, static_cast<uint32_t>(pending_repeats_));
  }
  std::memcpy(file.data(), kMagic, sizeof kMagic);
  put_u32(&file[4], replay_format_version);
  put_u32(&file[8], static_cast<uint32_t>(header.random_state));
  put_u32(&file[12], static_cast<uint32_t>(header.start_best));
  put_u32(&file[16], static_cast<uint32_t>(header.frame_count));
  put_u32(&file[20], static_cast<uint32_t>(header.final_score));
  put_u32(&file[24], static_cast<uint32_t>(header.final_level));
  put_u32(&file[28], static_cast<uint32_t>(header.ending));
  put_u32(&file[32], static_cast<uint32_t>(file.size() - replay_header_size));
  put_start_state(&file[kStartStateOffset], header.start);
  put_u32(&file[kChecksumOffset], file_checksum(file));
  return file;
}

bool replay_decoder::fail(const char* what) {
  if (error_.empty()) error_ = what;
  return false;
}

bool replay_decoder::read_varint(uint32_t& value) {
  value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (position_ >= size_) return fail("a frame record runs past the end");
    const uint8_t byte = data_[position_++];
    if (shift == 28 && byte > 0x0F) return fail("a number is out of range");
    value |= static_cast<uint32_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return fail("a number is out of range");
}

bool replay_decoder::read_frame(uint32_t count) {
  // Each answer takes at least three bytes: a count beyond that is damage, not a size.
  if (count > (size_ - position_) / 3) return fail("a frame record runs past the end");
  current_.clear();
  for (uint32_t index = 0; index < count; ++index) {
    if (position_ >= size_) return fail("a frame record runs past the end");
    const uint8_t query = data_[position_++];
    if (query >= static_cast<uint8_t>(input_query::count)) return fail("an unknown input query");
    uint32_t argument = 0, value = 0;
    if (!read_varint(argument) || !read_varint(value)) return false;
    add_answer(current_, {static_cast<input_query>(query), unzigzag(argument), unzigzag(value)});
    if (current_.size() > replay_max_frame_answers)
      return fail("a frame holds more answers than a game asks");
  }
  work_ += count;
  rounds_dropped_ = current_.size() < count;
  return true;
}

bool replay_decoder::read_changes(uint32_t count) {
  if (count > 0 && rounds_dropped_) return fail("a changed answer has no place");
  uint32_t last_index = 0;
  for (uint32_t change = 0; change < count; ++change) {
    uint32_t index = 0, value = 0;
    if (!read_varint(index) || !read_varint(value)) return false;
    if (index >= current_.size() || (change > 0 && index <= last_index))
      return fail("a changed answer has no place");
    current_[index].value = unzigzag(value);
    last_index = index;
  }
  work_ += count;
  return true;
}

bool replay_decoder::advance() {
  if (failed()) return false;
  if (repeats_left_ > 0) {
    --repeats_left_;
    return true;
  }
  if (position_ >= size_) return false;
  ++work_;
  const uint8_t tag = data_[position_++];
  uint32_t count = 0;
  if (!read_varint(count)) return false;
  if (tag == kFrame) {
    if (!read_frame(count)) return false;
  } else if (tag == kChanged || tag == kRepeat) {
    if (!have_frame_) return fail("a frame refers to one before the first");
    if (tag == kChanged) {
      if (!read_changes(count)) return false;
    } else if (count == 0) {
      return fail("an empty repeat");
    } else {
      repeats_left_ = count - 1;
    }
  } else {
    return fail("an unknown frame record");
  }
  have_frame_ = true;
  return true;
}

bool replay_decoder::next(input_frame& frame) {
  if (!advance()) return false;
  frame = current_;
  work_ += current_.size();
  return true;
}

int64_t replay_decoder::count_rest(int64_t limit) {
  int64_t counted = repeats_left_;
  repeats_left_ = 0;
  // Records are read in place, never copied out: counting costs one pass over the bytes.
  while (counted <= limit && !failed() && position_ < size_) {
    if (data_[position_] == kRepeat && have_frame_) {
      // Runs are counted without unpacking them, so a long run costs nothing.
      ++work_;
      ++position_;
      uint32_t run = 0;
      if (!read_varint(run)) break;
      if (run == 0) fail("an empty repeat");
      counted += run;
    } else if (advance()) {
      ++counted;
    }
  }
  return counted;
}

replay_refusal replay_parse_why(std::vector<uint8_t> bytes, replay& out, std::string& error) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    error = "not a Vextral replay";
    return replay_refusal::not_replay;
  }
  const uint32_t version = get_u32(&bytes[4]);
  if (version > replay_format_version) {
    error = "made by a newer Vextral (replay format " + std::to_string(version) +
            "; this one reads format " + std::to_string(replay_format_version) + ")";
    return replay_refusal::newer;
  }
  auto damaged = [&error](const std::string& what) {
    error = what;
    return replay_refusal::damaged;
  };
  if (version == 0) return damaged("damaged (format version 0)");
  const size_t header_size = header_size_of(version);
  if (bytes.size() < header_size) return damaged("truncated (the header is incomplete)");
  const uint32_t payload_size = get_u32(&bytes[32]);
  const size_t present = bytes.size() - header_size;
  if (present < payload_size) {
    return damaged("truncated (" + std::to_string(present) + " of " + std::to_string(payload_size) +
                   " bytes of frames)");
  }
  if (present > payload_size) return damaged("damaged (bytes after the last frame)");
  if (file_checksum(bytes) != get_u32(&bytes[kChecksumOffset]))
    return damaged("damaged (checksum mismatch)");
  replay_header header;
  header.version = version;
  header.random_state = static_cast<int32_t>(get_u32(&bytes[8]));
  header.start_best = static_cast<int32_t>(get_u32(&bytes[12]));
  header.frame_count = static_cast<int32_t>(get_u32(&bytes[16]));
  header.final_score = static_cast<int32_t>(get_u32(&bytes[20]));
  header.final_level = static_cast<int32_t>(get_u32(&bytes[24]));
  const auto ending = static_cast<int32_t>(get_u32(&bytes[28]));
  if (ending != 0 && ending != 1) return damaged("damaged (unknown ending)");
  header.ending = static_cast<replay_ending>(ending);
  if (header.frame_count < 1) return damaged("damaged (no frames)");
  header.has_start_state = version >= 2;
  if (header.has_start_state) {
    header.start = get_start_state(&bytes[kStartStateOffset]);
    if (!start_state_in_range(header.start)) return damaged("damaged (a setting out of range)");
  }

  replay checked;
  checked.header = header;
  checked.bytes = std::move(bytes);
  checked.payload_offset = header_size;
  replay_decoder frames = checked.frames();
  const int64_t counted = frames.count_rest(header.frame_count);
  if (frames.failed()) return damaged("damaged (" + frames.error() + ")");
  if (counted != header.frame_count) {
    return damaged("damaged (" + std::to_string(counted) + " frames where the header says " +
                   std::to_string(header.frame_count) + ")");
  }
  out = std::move(checked);
  return replay_refusal::none;
}

bool replay_parse(std::vector<uint8_t> bytes, replay& out, std::string& error) {
  return replay_parse_why(std::move(bytes), out, error) == replay_refusal::none;
}

replay_refusal replay_load_why(const std::string& path, replay& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!read_regular_file(path, replay_max_file_size, bytes, error))
    return replay_refusal::unreadable;
  return replay_parse_why(std::move(bytes), out, error);
}

bool replay_load(const std::string& path, replay& out, std::string& error) {
  return replay_load_why(path, out, error) == replay_refusal::none;
}
