// The random player plays for a long time (VEXTRAL_SOAK_FRAMES frames, 100,000 by default):
// no sanitizer report, no leak at exit, and memory that stays flat. The peak resident set and
// the live heap are printed at every tenth of the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/globals.h"
#include "tests/reliability/memory_probe.h"
#include "tools/sim/simulator.h"

namespace {

int64_t soak_frames() {
  const char* text = std::getenv("VEXTRAL_SOAK_FRAMES");
  const int64_t frames = text ? std::atoll(text) : 0;
  return frames > 0 ? frames : 100000;
}

TEST(Soak, ARandomPlayerPlaysOnWithFlatMemory) {
  const int64_t frames = soak_frames();
  const int64_t tenth = std::max<int64_t>(frames / 10, 1);
  sim_config config;
  config.seed = 20240607;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.random_input = true;
  simulator sim(config);
  ASSERT_TRUE(sim.start());

  std::vector<memory_sample> samples;
  int32_t games_over = 0, last_state = game_state;
  while (sim.frames_run() < frames && !sim.quit()) {
    const int64_t next = std::min(frames, (static_cast<int64_t>(samples.size()) + 1) * tenth);
    while (sim.frames_run() < next && !sim.quit()) {
      sim.step(1);
      if (game_state == STATE_GAME_OVER && last_state != STATE_GAME_OVER) ++games_over;
      last_state = game_state;
    }
    samples.push_back(sample_memory());
    const memory_sample& now = samples.back();
    std::printf("soak: %3zu%% frame %lld: peak RSS %lld KB, RSS %lld KB, live heap %lld KB\n",
                samples.size() * 10, static_cast<long long>(sim.frames_run()),
                static_cast<long long>(now.peak_rss_kb), static_cast<long long>(now.rss_kb),
                static_cast<long long>(now.heap_bytes / 1024));
  }
  std::fflush(stdout);
  ASSERT_FALSE(sim.quit()) << "the random player never chooses Exit Game";
  EXPECT_EQ(sim.frames_run(), frames);
  EXPECT_GT(games_over, 0) << "the random player should lose whole games";

  // Flat: the live heap of the later tenths stays within a small margin of the earliest
  // tenths (entities come and go, a leak of a few bytes a frame would not), and the resident
  // set does not keep climbing.
  ASSERT_GE(samples.size(), 4u);
  int64_t early_heap = 0, late_heap = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    int64_t& bucket = i < samples.size() / 2 ? early_heap : late_heap;
    bucket = std::max(bucket, samples[i].heap_bytes);
  }
  EXPECT_LE(late_heap, early_heap + 2 * 1024 * 1024)
      << "live heap grew from " << early_heap << " to " << late_heap << " bytes";
  EXPECT_LE(samples.back().peak_rss_kb, samples.front().peak_rss_kb * 3 / 2 + 64 * 1024);
  sim.finish();
}

}  // namespace
