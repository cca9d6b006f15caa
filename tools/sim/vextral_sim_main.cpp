// vextral-sim: plays the game headless, as fast as the CPU allows, from a seed and a
// script (or a random player), and reports a trace and a one-line summary.

#include <SDL_hints.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/replay/files.h"
#include "game/replay/format.h"
#include "input/session.h"
#include "stream/native_path.h"
#include "stream/program_folder.h"
#include "tools/sim/replay_check.h"
#include "tools/sim/sim_script.h"
#include "tools/sim/simulator.h"

namespace {

// Plays a recorded game and reports it in one line; 2 for a file that is refused, 1 when
// the game does not end as it was recorded.
int replay_game(const std::string& path, sim_config config) {
  replay recording;
  std::string error;
  if (!replay_load(path, recording, error)) {
    std::fprintf(stderr, "vextral-sim: %s: %s\n", path.c_str(), error.c_str());
    return 2;
  }
  const replay_check_result result = check_replay(recording, std::move(config));
  if (!result.started) return 1;
  std::printf("vextral-sim: replay of %s: %d frames, score %d, level %d\n", path.c_str(),
              result.frames, result.score, result.level);
  if (!result.matches) {
    std::fprintf(stderr, "vextral-sim: %s: %s\n", path.c_str(),
                 describe_mismatch(recording.header, result).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  // A command-line tool: Ctrl+C and SIGTERM end it at once, as they end any other (SDL would
  // turn them into a quit event that nothing here reads).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // UTF-8 on every system, so a path beyond ASCII reaches the file it names.
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  sim_options options;
  std::string error;
  if (!parse_sim_arguments(arguments, options, error)) {
    if (error.empty()) {
      std::printf("%s\n", sim_usage());
      return 0;
    }
    std::fprintf(stderr, "vextral-sim: %s\n%s\n", error.c_str(), sim_usage());
    return 2;
  }

  // The simulator keeps to its data folder: the player's own best score and settings are
  // never read or touched.
  use_player_folder(false);
  sim_config config;
  config.seed =
      options.has_seed
          ? options.seed
          : static_cast<int32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  config.data_dir = options.data_dir;
  config.random_input = options.random_input;
  config.trace_file = options.trace_file;
  config.screenshot_every = options.screenshot_every;
  config.screenshot_dir = options.screenshot_dir;
  if (!options.input_file.empty()) {
    std::ifstream script(NativePath(options.input_file));
    if (!script) {
      std::fprintf(stderr, "vextral-sim: cannot read %s\n", options.input_file.c_str());
      return 2;
    }
    if (!parse_script(script, config.events, error)) {
      std::fprintf(stderr, "vextral-sim: %s: %s\n", options.input_file.c_str(), error.c_str());
      return 2;
    }
  }

  if (!options.replay_file.empty()) return replay_game(options.replay_file, config);
  // With a data folder of its own, every game is kept there as the game keeps it.
  if (!options.data_dir.empty()) config.on_game_recorded = keep_finished_game;

  simulator sim(config);
  const auto began = std::chrono::steady_clock::now();
  if (!sim.run(options.frames)) return 1;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const double rate = seconds > 0 ? static_cast<double>(sim.frames_run()) / seconds : 0.0;
  std::printf(
      "vextral-sim: %lld frames, final state %d, score %d, level %d, %.0f frames per second\n",
      static_cast<long long>(sim.frames_run()), sim.last_frame().game_state, sim.last_frame().score,
      sim.last_frame().level, rate);
  return 0;
}
