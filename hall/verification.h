#pragma once
// What makes a recording a game for the table, and the check itself, as the verifier child
// process runs it (vextral-hall --verify). The recording must read as a replay, say it
// ended in game over, be no longer than a game the hall takes, and play again on the
// game's own code to its recorded frame count, final score and level, ending in game over.

#include <cstdint>
#include <string>
#include <vector>

#include "hall/store.h"

// Refusal codes, as kept with a game and shown by the API.
namespace refusal {
constexpr const char* not_a_replay = "not_a_replay";
constexpr const char* newer_format = "newer_format";
constexpr const char* damaged = "damaged";
constexpr const char* not_finished = "not_finished";
constexpr const char* too_long = "too_long";
constexpr const char* did_not_replay = "did_not_replay";
constexpr const char* took_too_long = "took_too_long";
constexpr const char* too_much_memory = "too_much_memory";
constexpr const char* verifier_crashed = "verifier_crashed";
}  // namespace refusal

struct verify_limits {
  // Three hours of play at 60 frames a second: longer than any game the hall takes.
  int32_t max_frames = 3 * 60 * 60 * 60;
  // CPU seconds one verification may take; three hours of play replay in well under a
  // minute.
  int cpu_seconds = 120;
  // Address space of the verifier, in MiB (0: no limit). A replay needs a few tens. The
  // sanitizers reserve terabytes of address space up front: no limit in their builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  int memory_mb = 0;
#else
  int memory_mb = 512;
#endif
};

// The frame count a recording's header claims, read without parsing the rest; -1 when it
// has no replay header. Cheap enough to refuse an absurd claim before starting a verifier.
int64_t claimed_frame_count(const std::vector<uint8_t>& recording);
// A refusal for a claim of more frames than limits allow.
verdict too_long_verdict(int64_t frames, const verify_limits& limits);

// The whole check of the recording in file, playing it with the game's data in data_dir
// (an empty folder will do: sounds then stay silent, which changes nothing in the game).
// Runs the game: call it in a child process only, one at a time.
verdict verify_recording_file(const std::string& file, const std::string& data_dir,
                              const verify_limits& limits);

// The child's one line on standard output, and reading it back.
std::string verdict_line(const verdict& result);
bool parse_verdict_line(const std::string& line, verdict& result);
