#pragma once
// Runs one verification in a child process of its own (the hall's executable again, as
// vextral-hall --verify), so a recording crafted to crash, loop or eat memory costs at most
// the child: it runs with CPU-time and address-space limits, dies with the hall, and is
// killed if it outlives a wall-clock deadline. POSIX only.

#include <cstdint>
#include <string>
#include <vector>

#include "hall/store.h"
#include "hall/verification.h"

struct verifier_setup {
  std::string executable;   // the hall's own executable
  std::string work_folder;  // where each verification gets a folder of its own
  verify_limits limits;
};

enum class verifier_run { judged, not_started };

// Verifies game id's recording in a child. judged: result holds the verdict (a child
// killed by its limits is a refusal saying so). not_started: the child could not be
// started (result.detail says why); the game is not to blame.
verifier_run run_verifier(const verifier_setup& setup, int64_t id,
                          const std::vector<uint8_t>& recording, verdict& result);

// In the child, first thing: the limits on itself (CPU, address space, no core files).
void apply_verifier_limits(const verify_limits& limits);
// The child's command-line options for limits, and reading them back.
std::vector<std::string> limit_arguments(const verify_limits& limits);
