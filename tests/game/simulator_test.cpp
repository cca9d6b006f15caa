// The simulator itself: scripts, command line, determinism and a whole game.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "game_fixture.h"

namespace {

TEST(SimScript, ParsesEveryEventKind) {
  std::istringstream script(
      "# a comment\n"
      "\n"
      "5 keydown 162\n"
      "3 mousemove 320 250\n"
      "3 mousedown 1\n"
      "4 mouseup 1\n"
      "7 joyaxis 1 -1.0\n"
      "8 joybutton 2 1\n"
      "9 focus 0\n"
      "10 keyup 162\n"
      "11 close\n");
  std::vector<sim_event> events;
  std::string error;
  ASSERT_TRUE(parse_script(script, events, error)) << error;
  ASSERT_EQ(events.size(), 9u);
  // Sorted by frame, file order kept within a frame.
  EXPECT_EQ(events[0].kind, sim_event_kind::mouse_move);
  EXPECT_EQ(events[0].x, 320);
  EXPECT_EQ(events[0].y, 250);
  EXPECT_EQ(events[1].kind, sim_event_kind::mouse_down);
  EXPECT_EQ(events[3].kind, sim_event_kind::key_down);
  EXPECT_EQ(events[3].code, 162);
  EXPECT_EQ(events[4].value, -1.0f);
  EXPECT_EQ(events[5].x, 1);
  EXPECT_EQ(events[8].kind, sim_event_kind::close);
}

TEST(SimScript, RejectsMalformedLinesWithTheirNumber) {
  const char* bad[] = {"x keydown 1", "1 keydown",     "1 keydown 300",  "1 jump 3",
                       "-1 close",    "1 focus 2",     "1 joyaxis 0 2",  "1 mousedown 0",
                       "1 close now", "1 joybutton 1", "1 mousemove 3 y"};
  for (const char* line : bad) {
    std::istringstream script(std::string("1 close\n") + line + "\n");
    std::vector<sim_event> events;
    std::string error;
    EXPECT_FALSE(parse_script(script, events, error)) << line;
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  }
}

TEST(SimArguments, ReadsEveryOptionAndRejectsTheRest) {
  sim_options options;
  std::string error;
  ASSERT_TRUE(parse_sim_arguments({"--seed", "7", "--frames", "100", "--input", "s.txt", "--data",
                                   "d", "--trace", "t.json", "--screenshot-every", "10", "shots"},
                                  options, error))
      << error;
  EXPECT_TRUE(options.has_seed);
  EXPECT_EQ(options.seed, 7);
  EXPECT_EQ(options.frames, 100);
  EXPECT_EQ(options.input_file, "s.txt");
  EXPECT_EQ(options.data_dir, "d");
  EXPECT_EQ(options.trace_file, "t.json");
  EXPECT_EQ(options.screenshot_every, 10);
  EXPECT_EQ(options.screenshot_dir, "shots");

  sim_options replaying;
  ASSERT_TRUE(
      parse_sim_arguments({"--replay", "game.replay", "--trace", "t.json"}, replaying, error))
      << error;
  EXPECT_EQ(replaying.replay_file, "game.replay");

  sim_options other;
  EXPECT_FALSE(parse_sim_arguments({"--input", "a", "--random-input"}, other, error));
  // A replay's input is the recording: a script beside it would be ignored silently.
  sim_options with_script, with_random, without_file;
  EXPECT_FALSE(parse_sim_arguments({"--replay", "r", "--input", "a"}, with_script, error));
  EXPECT_FALSE(parse_sim_arguments({"--random-input", "--replay", "r"}, with_random, error));
  EXPECT_FALSE(parse_sim_arguments({"--replay"}, without_file, error));
  EXPECT_FALSE(parse_sim_arguments({"--frames", "-3"}, other, error));
  EXPECT_FALSE(parse_sim_arguments({"--seed"}, other, error));
  EXPECT_FALSE(parse_sim_arguments({"--screenshot-every", "5"}, other, error));
  EXPECT_FALSE(parse_sim_arguments({"--bogus"}, other, error));
  EXPECT_FALSE(parse_sim_arguments({"--help"}, other, error));
  EXPECT_TRUE(error.empty());
}

std::vector<sim_event> play_script() {
  std::istringstream script(
      "0 keydown 27\n1 keyup 27\n"
      "5 mousemove 320 252\n6 mousedown 1\n7 mouseup 1\n"
      "20 keydown 38\n60 keyup 38\n30 keydown 39\n45 keyup 39\n"
      "50 keydown 162\n51 keyup 162\n70 keydown 162\n71 keyup 162\n"
      "90 keydown 164\n91 keyup 164\n");
  std::vector<sim_event> events;
  std::string error;
  parse_script(script, events, error);
  return events;
}

// Runs a seeded, scripted game for frames frames and returns the state hash.
uint64_t scripted_run(int32_t seed, int64_t frames, sim_frame_state* last = nullptr) {
  sim_config config;
  config.seed = seed;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.events = play_script();
  simulator sim(config);
  EXPECT_TRUE(sim.run(frames));
  if (last) *last = sim.last_frame();
  return simulator::state_hash();
}

TEST(SimDeterminism, TheSameSeedAndScriptGiveTheSameGame) {
  sim_frame_state first_state, second_state;
  const uint64_t first = scripted_run(99, 600, &first_state);
  const uint64_t second = scripted_run(99, 600, &second_state);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first_state.frame, 599);
  EXPECT_EQ(simulator::trace_line(first_state), simulator::trace_line(second_state));
  EXPECT_NE(first_state.game_state, STATE_TITLE);
  EXPECT_NE(scripted_run(100, 600), first);
}

TEST(SimRun, ARandomPlayerPlaysWholeGamesFromTitleToGameOverAndBack) {
  const std::string trace_path = ::testing::TempDir() + "vextral_sim_trace.jsonl";
  sim_config config;
  config.seed = 5;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.random_input = true;
  config.trace_file = trace_path;
  {
    simulator sim(config);
    ASSERT_TRUE(sim.run(20000));
    EXPECT_EQ(sim.frames_run(), 20000);
  }
  std::ifstream trace(trace_path);
  std::string line;
  int64_t lines = 0;
  bool played = false, game_over = false, back_to_title = false;
  while (std::getline(trace, line)) {
    ++lines;
    if (line.find("\"game_state\":2") != std::string::npos) played = true;
    if (line.find("\"game_state\":5") != std::string::npos) game_over = true;
    if (game_over && line.find("\"game_state\":4") != std::string::npos) back_to_title = true;
  }
  EXPECT_EQ(lines, 20000);
  EXPECT_TRUE(played);
  EXPECT_TRUE(game_over);
  EXPECT_TRUE(back_to_title);
}

TEST(SimRun, SettingsAreSavedToTheDataFolderAtExit) {
  const std::string folder = ::testing::TempDir() + "vextral_sim_data";
  std::filesystem::create_directories(folder);
  {
    std::ofstream best(folder + "/hiscore.dat", std::ios::binary);
    best.write("\x39\x30\x00\x00", 4);
  }
  sim_config config;
  config.seed = 3;
  config.data_dir = folder;
  {
    simulator sim(config);
    ASSERT_TRUE(sim.run(5));
    EXPECT_EQ(sim.last_frame().best, 12345);
  }
  std::ifstream stereo(folder + "/anaglyph3d.dat", std::ios::binary);
  char bytes[5] = {};
  stereo.read(bytes, 5);
  EXPECT_EQ(stereo.gcount(), 4);
  std::ifstream best(folder + "/hiscore.dat", std::ios::binary);
  best.read(bytes, 5);
  EXPECT_EQ(best.gcount(), 4);
  EXPECT_EQ(bytes[0], 0x39);
  EXPECT_EQ(bytes[1], 0x30);
}

}  // namespace
