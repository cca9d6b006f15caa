#pragma once
// Seed corpora for the fuzz targets: small valid (and nearly valid) inputs that start the
// fuzzers deep inside each loader, and that the replay tests run on every build.

#include <string>
#include <vector>

// The targets that have seeds: "png", "ogg", "font", "stream", "collision", "sim_script",
// "replay".
const std::vector<std::string>& fuzz_seed_targets();
// Writes target's seeds into folder (created if missing); false for an unknown target or a
// failed write. font_file is the TrueType font used as the font seed.
bool write_fuzz_seeds(const std::string& target, const std::string& folder,
                      const std::string& font_file);
