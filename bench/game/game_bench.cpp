// Simulator throughput and the cost of one heavy frame on the headless driver.

#include <benchmark/benchmark.h>

#include "game/asteroids.h"
#include "game/effects.h"
#include "game/files.h"
#include "game/globals.h"
#include "game/main_loop.h"
#include "game/player.h"
#include "game/replay/format.h"
#include "game/replay/recorder.h"
#include "game/ufo.h"
#include "tools/sim/simulator.h"

#ifndef VEXTRAL_BENCH_DATA_DIR
#define VEXTRAL_BENCH_DATA_DIR ""
#endif

namespace {

// What `vextral-sim --random-input --frames 100000` does, frames per second as items.
void BM_RandomPlayer100000Frames(benchmark::State& state) {
  for (auto _ : state) {
    sim_config config;
    config.seed = 11;
    config.random_input = true;
    config.default_data_dir = VEXTRAL_BENCH_DATA_DIR;
    simulator sim(config);
    sim.run(100000);
    benchmark::DoNotOptimize(simulator::state_hash());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_RandomPlayer100000Frames)->Iterations(1)->Unit(benchmark::kMillisecond);

// Level 5, a UFO on screen, five large asteroids, a few hundred particles, stereo on.
void BM_HeavyFrame(benchmark::State& state) {
  sim_config config;
  config.seed = 21;
  config.default_data_dir = VEXTRAL_BENCH_DATA_DIR;
  sim_event skip;
  skip.kind = sim_event_kind::key_down;
  skip.code = 27;
  config.events.push_back(skip);
  simulator sim(config);
  if (!sim.start()) {
    state.SkipWithError("no headless display");
    return;
  }
  player_tag::reset(1);
  game_state = STATE_PLAY;
  player->level = 5;
  player->cloak_ctr = 1 << 30;
  stereo_mode = 3;
  stereo_settings(0);
  ufo->scale = 0.2f;
  astro_tag::create_new(0, 4, 0, 0, 1.0f, 0.4f);
  const auto particles = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    if (ufo_on == 0) ufo->warp_in();
    if (parti_list.size() < particles)
      parti_tag::create_em(320, 240, static_cast<int32_t>(particles - parti_list.size()), 1);
    if (astro_list.size() < 5) astro_tag::create_new(0, 1, 0, 0, 1.0f, 0.4f);
    game_state = STATE_PLAY;
    state.ResumeTiming();
    main_loop_frame();
  }
}
BENCHMARK(BM_HeavyFrame)->Arg(300)->Unit(benchmark::kMicrosecond);

// What recording adds to a frame: the answers of a random player's game passed through
// the recorder, frame by frame, as the game's queries pass them. Compare the time per item
// with the simulator's time per frame above.
void BM_RecordingPerFrame(benchmark::State& state) {
  std::vector<uint8_t> file;
  {
    sim_config config;
    config.seed = 11;
    config.random_input = true;
    config.default_data_dir = VEXTRAL_BENCH_DATA_DIR;
    config.on_game_recorded = [&file](const replay_header&, std::vector<uint8_t> game) {
      if (file.empty()) file = std::move(game);
    };
    simulator sim(config);
    sim.run(20000);
  }
  replay recorded;
  std::string error;
  if (!replay_parse(file, recorded, error)) {
    state.SkipWithError("no game was recorded");
    return;
  }
  std::vector<input_frame> frames;
  input_frame frame;
  replay_decoder decoder = recorded.frames();
  while (decoder.next(frame)) frames.push_back(frame);

  size_t bytes = 0;
  for (auto _ : state) {
    replay_recorder recorder(
        [&bytes](const replay_header&, std::vector<uint8_t> game) { bytes = game.size(); });
    game_state = STATE_TITLE;
    recorder.on_frame_start();
    game_state = STATE_PLAY;
    for (const input_frame& answers : frames) {
      for (const input_answer& answer : answers)
        benchmark::DoNotOptimize(recorder.Answer(answer.query, answer.argument, answer.value));
      recorder.on_frame_start();
    }
    game_state = STATE_GAME_OVER;
    recorder.on_frame_start();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
  state.counters["frames"] = static_cast<double>(frames.size());
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["bytes_per_minute"] =
      static_cast<double>(bytes) * 3600.0 / static_cast<double>(frames.size());
}
BENCHMARK(BM_RecordingPerFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
