#include "hall/verification.h"

#include <new>
#include <sstream>

#include "game/replay/format.h"
#include "tools/sim/replay_check.h"

namespace {

verdict refused(const char* reason, std::string detail) {
  verdict result;
  result.reason = reason;
  result.detail = std::move(detail);
  return result;
}

// One line, whatever a message held.
std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

int64_t claimed_frame_count(const std::vector<uint8_t>& recording) {
  constexpr size_t kFrameCountOffset = 16;
  if (recording.size() < kFrameCountOffset + 4 || recording[0] != 'V' || recording[1] != 'X' ||
      recording[2] != 'R' || recording[3] != 'P')
    return -1;
  uint32_t value = 0;
  for (int index = 3; index >= 0; --index)
    value = (value << 8) | recording[kFrameCountOffset + static_cast<size_t>(index)];
  return static_cast<int32_t>(value);
}

verdict too_long_verdict(int64_t frames, const verify_limits& limits) {
  return refused(refusal::too_long, "the recording claims " + std::to_string(frames) +
                                        " frames; the hall takes games of at most " +
                                        std::to_string(limits.max_frames) + " frames (" +
                                        std::to_string(limits.max_frames / 3600) + " minutes)");
}

verdict verify_recording_file(const std::string& file, const std::string& data_dir,
                              const verify_limits& limits) {
  try {
    replay recording;
    std::string error;
    switch (replay_load_why(file, recording, error)) {
      case replay_refusal::none:
        break;
      case replay_refusal::not_replay:
        return refused(refusal::not_a_replay, error);
      case replay_refusal::newer:
        return refused(refusal::newer_format, error);
      case replay_refusal::unreadable:
      case replay_refusal::damaged:
        return refused(refusal::damaged, error);
    }
    const replay_header& header = recording.header;
    if (header.ending != replay_ending::game_over)
      return refused(refusal::not_finished, "the game was abandoned, not played to game over");
    if (header.frame_count > limits.max_frames) return too_long_verdict(header.frame_count, limits);
    sim_config config;
    config.data_dir = data_dir;
    const replay_check_result result = check_replay(recording, config);
    if (!result.matches) return refused(refusal::did_not_replay, describe_mismatch(header, result));
    verdict verified;
    verified.verified = true;
    verified.score = result.score;
    verified.level = result.level;
    verified.frames = result.frames;
    return verified;
  } catch (const std::bad_alloc&) {
    return refused(refusal::too_much_memory, "the verification ran out of its memory");
  }
}

std::string verdict_line(const verdict& result) {
  if (result.verified) {
    return "verified " + std::to_string(result.score) + " " + std::to_string(result.level) + " " +
           std::to_string(result.frames);
  }
  return "refused " + result.reason + " " + one_line(result.detail);
}

bool parse_verdict_line(const std::string& line, verdict& result) {
  std::istringstream words(line);
  std::string kind;
  words >> kind;
  result = verdict();
  if (kind == "verified") {
    result.verified = true;
    return static_cast<bool>(words >> result.score >> result.level >> result.frames);
  }
  if (kind != "refused" || !(words >> result.reason)) return false;
  std::getline(words >> std::ws, result.detail);
  return true;
}
