// Runs one fuzz target, built without libFuzzer, over its seed corpus, over every input that
// once crashed or hung it (regressions/<target>/), and over a few thousand pseudo-random
// inputs. Any fault the sanitizers or the target's own checks find fails the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_seeds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Each target's replay gets its own suite name (FUZZ_SUITE, e.g. FontFuzzReplay), so the
// test names stay distinct in CTest.
#define FUZZ_REPLAY_TEST_(suite, name) TEST(suite, name)
#define FUZZ_REPLAY_TEST(name) FUZZ_REPLAY_TEST_(FUZZ_SUITE, name)

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> files_in(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return files;
  for (const auto& entry : fs::directory_iterator(folder))
    // Dot files only keep the folders in version control.
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

void run_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  SCOPED_TRACE(path.string());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

FUZZ_REPLAY_TEST(SeedsRunClean) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("vextral_seeds_" FUZZ_TARGET);
  fs::remove_all(folder);
  ASSERT_TRUE(write_fuzz_seeds(FUZZ_TARGET, folder.string(), FUZZ_FONT_FILE));
  const auto seeds = files_in(folder);
  ASSERT_FALSE(seeds.empty());
  for (const auto& seed : seeds) run_file(seed);
  fs::remove_all(folder);
}

FUZZ_REPLAY_TEST(EveryInputThatOnceFailedNowRunsClean) {
  for (const auto& input : files_in(FUZZ_REGRESSION_DIR)) run_file(input);
}

FUZZ_REPLAY_TEST(EmptyAndRandomInputsRunClean) {
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::mt19937 engine(20240607);
  std::vector<uint8_t> bytes;
  for (int round = 0; round < 2000; ++round) {
    bytes.resize(engine() % 256);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(engine());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
}

}  // namespace
