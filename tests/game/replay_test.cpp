// Recorded games: the file keeps every frame and refuses what it cannot trust, and a game
// recorded in the simulator plays again to the very same state.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/replay/format.h"
#include "game/replay/player.h"
#include "game_fixture.h"
#include "stream/native_files.h"
#include "stream/native_path.h"

namespace {

input_frame play_frame_answers(int32_t left, int32_t fire_hits) {
  return {{input_query::key_is_down, 37, left},
          {input_query::joy_axis, joystick_argument(0, 0), std::bit_cast<int32_t>(-1.0f)},
          {input_query::key_hits, 162, fire_hits},
          {input_query::close_requested, 0, 0}};
}

// Frames that use every record: a first frame, repeats, changed answers, other queries.
std::vector<input_frame> sample_frames() {
  std::vector<input_frame> frames;
  frames.push_back({{input_query::pointer_x, 0, 320}, {input_query::mouse_hits, 1, 1}});
  for (int i = 0; i < 50; ++i) frames.push_back(play_frame_answers(0, 0));
  frames.push_back(play_frame_answers(1, 2));
  frames.push_back(play_frame_answers(1, 0));
  frames.push_back(play_frame_answers(1, 0));
  frames.push_back({});
  frames.push_back({{input_query::key_hits, -5, -2147483647 - 1}});
  return frames;
}

replay_header sample_header() {
  replay_header header;
  header.random_state = 2147483646;
  header.start_best = 12345;
  header.final_score = 6780;
  header.final_level = 3;
  header.ending = replay_ending::abandoned;
  return header;
}

std::vector<uint8_t> sample_file() {
  replay_encoder encoder;
  for (const auto& frame : sample_frames()) encoder.add_frame(frame);
  return encoder.file(sample_header());
}

void put_int(std::vector<uint8_t>& file, size_t offset, uint32_t value) {
  for (size_t index = 0; index < 4; ++index)
    file[offset + index] = static_cast<uint8_t>(value >> (8 * index));
}

// A whole file around payload, with the header and checksum the encoder would give it:
// for payloads no encoder writes.
std::vector<uint8_t> file_with_payload(const std::vector<uint8_t>& payload, int32_t frames) {
  replay_encoder encoder;
  encoder.add_frame({});
  std::vector<uint8_t> file = encoder.file(sample_header());
  file.resize(replay_header_size);
  file.insert(file.end(), payload.begin(), payload.end());
  put_int(file, 16, static_cast<uint32_t>(frames));
  put_int(file, 32, static_cast<uint32_t>(payload.size()));
  uint32_t hash = 2166136261u;  // FNV-1a over all but the checksum's own four bytes
  for (size_t index = 0; index < file.size(); ++index) {
    if (index >= 36 && index < 40) continue;
    hash = (hash ^ file[index]) * 16777619u;
  }
  put_int(file, 36, hash);
  return file;
}

// One full frame of answers, then two-byte records that change none of them, to fill
// file_size bytes: a reader that copies the frame for every record takes hours on it.
std::vector<uint8_t> large_frame_then_empty_changes(uint32_t answers, size_t file_size) {
  std::vector<uint8_t> payload{2};
  for (uint32_t count = answers;; count >>= 7) {
    payload.push_back(static_cast<uint8_t>(count >= 0x80 ? (count & 0x7F) | 0x80 : count));
    if (count < 0x80) break;
  }
  payload.resize(payload.size() + 3 * size_t{answers}, 0);  // key_is_down 0 answered 0
  int32_t frames = 1;
  for (; replay_header_size + payload.size() + 2 <= file_size; ++frames) {
    payload.push_back(1);
    payload.push_back(0);
  }
  return file_with_payload(payload, frames);
}

TEST(ReplayFile, KeepsTheHeaderAndEveryFrameOfTheGame) {
  const std::vector<uint8_t> file = sample_file();
  replay loaded;
  std::string error;
  ASSERT_TRUE(replay_parse(file, loaded, error)) << error;
  const std::vector<input_frame> expected = sample_frames();
  EXPECT_EQ(loaded.header.frame_count, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(loaded.header.random_state, 2147483646);
  EXPECT_EQ(loaded.header.start_best, 12345);
  EXPECT_EQ(loaded.header.final_score, 6780);
  EXPECT_EQ(loaded.header.final_level, 3);
  EXPECT_EQ(loaded.header.ending, replay_ending::abandoned);

  replay_decoder frames = loaded.frames();
  input_frame frame;
  for (size_t index = 0; index < expected.size(); ++index) {
    ASSERT_TRUE(frames.next(frame)) << "frame " << index;
    EXPECT_EQ(frame, expected[index]) << "frame " << index;
  }
  EXPECT_FALSE(frames.next(frame));
  EXPECT_FALSE(frames.failed());
  // Fifty identical frames cost a few bytes, not fifty copies.
  EXPECT_LT(file.size(), replay_header_size + 80);
}

TEST(ReplayFile, RefusesNewerTruncatedAndDamagedFiles) {
  const std::vector<uint8_t> file = sample_file();
  replay loaded;
  std::string error;

  std::vector<uint8_t> newer = file;
  newer[4] = static_cast<uint8_t>(replay_format_version + 1);
  EXPECT_FALSE(replay_parse(newer, loaded, error));
  EXPECT_NE(error.find("newer"), std::string::npos) << error;

  for (size_t size = 0; size < file.size(); ++size) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(replay_parse(cut, loaded, error)) << size << " bytes";
    if (size >= 8) {
      EXPECT_NE(error.find("truncated"), std::string::npos) << error;
    }
  }

  for (size_t index = 0; index < file.size(); ++index) {
    std::vector<uint8_t> damaged = file;
    damaged[index] ^= 0x10;
    EXPECT_FALSE(replay_parse(damaged, loaded, error)) << "byte " << index;
  }
  std::vector<uint8_t> longer = file;
  longer.push_back(0);
  EXPECT_FALSE(replay_parse(longer, loaded, error));
  EXPECT_TRUE(replay_parse(file, loaded, error)) << error;
}

// A recording is untrusted: reading one costs time in proportion to its size, so that the
// kept best (read at every game's end) or a file given to the viewer never stalls the game.
TEST(ReplayFile, ReadingCostsNoMoreThanOneStepPerByte) {
  replay loaded;
  std::string error;
  // No game asks this many questions in a frame: damage, found where the frame ends.
  const std::vector<uint8_t> huge = large_frame_then_empty_changes(170000, 1 << 20);
  EXPECT_EQ(replay_parse_why(huge, loaded, error), replay_refusal::damaged);
  EXPECT_NE(error.find("more answers"), std::string::npos) << error;

  // As many answers as a frame may hold, then a megabyte of records: every one is read once.
  const std::vector<uint8_t> file =
      large_frame_then_empty_changes(replay_max_frame_answers, 1 << 20);
  ASSERT_EQ(replay_parse_why(file, loaded, error), replay_refusal::none) << error;
  const size_t payload = file.size() - replay_header_size;
  replay_decoder counted = loaded.frames();
  EXPECT_EQ(counted.count_rest(loaded.header.frame_count), loaded.header.frame_count);
  EXPECT_LE(counted.work(), payload);
  for (const std::vector<uint8_t>& each : {huge, file}) {
    replay_decoder raw(each.data() + replay_header_size, each.size() - replay_header_size);
    raw.count_rest(1 << 30);
    EXPECT_LE(raw.work(), payload);
  }

  // Playing it hands out each frame once, whole; nothing more.
  replay_decoder frames = loaded.frames();
  input_frame frame;
  int64_t played = 0;
  while (frames.next(frame)) {
    ASSERT_EQ(frame.size(), replay_max_frame_answers);
    ++played;
  }
  EXPECT_EQ(played, loaded.header.frame_count);
  EXPECT_LE(frames.work(), payload + played * replay_max_frame_answers);
}

input_frame focus_wait(int32_t rounds) {
  input_frame frame = play_frame_answers(0, 0);
  frame.push_back({input_query::is_suspended, 0, 1});
  for (int32_t round = 0; round < rounds; ++round) {
    frame.push_back({input_query::is_suspended, 0, 1});
    frame.push_back({input_query::close_requested, 0, 0});
  }
  frame.push_back({input_query::is_suspended, 0, 0});
  return frame;
}

// While the focus is away the game asks twice per event it waits for; an older recorder kept
// every round, and a frame of them reads as one round, which the game plays the same.
TEST(ReplayFile, AnOlderRecordingsLongWaitForTheFocusReadsAsOneRound) {
  replay_encoder encoder;
  encoder.add_frame(play_frame_answers(0, 0));
  encoder.add_frame(focus_wait(5000));
  encoder.add_frame(focus_wait(5000));
  encoder.add_frame(play_frame_answers(1, 0));
  replay loaded;
  std::string error;
  ASSERT_TRUE(replay_parse(encoder.file(sample_header()), loaded, error)) << error;
  replay_decoder frames = loaded.frames();
  input_frame frame;
  ASSERT_TRUE(frames.next(frame));
  for (int index = 0; index < 2; ++index) {
    ASSERT_TRUE(frames.next(frame));
    EXPECT_EQ(frame, focus_wait(1));
  }
  ASSERT_TRUE(frames.next(frame));
  EXPECT_EQ(frame, play_frame_answers(1, 0));
  EXPECT_FALSE(frames.next(frame));

  // Only the wait's rounds are dropped: as many other answers are damage.
  input_frame many(replay_max_frame_answers + 1, {input_query::key_is_down, 37, 0});
  replay_encoder too_many;
  too_many.add_frame(many);
  EXPECT_FALSE(replay_parse(too_many.file(sample_header()), loaded, error));
  EXPECT_NE(error.find("more answers"), std::string::npos) << error;
}

// A format 1 recording as that version wrote it: 40-byte header (random state 12345, best
// 500, 4 frames, score 0, level 1, abandoned), one full frame and a repeat of 3.
const std::vector<uint8_t> kFormat1Recording = {
    0x56, 0x58, 0x52, 0x50, 0x01, 0x00, 0x00, 0x00, 0x39, 0x30, 0x00, 0x00, 0xf4,
    0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0b, 0x00, 0x00, 0x00, 0x50, 0x3d, 0x9b,
    0x07, 0x02, 0x02, 0x05, 0x00, 0x80, 0x05, 0x04, 0x02, 0x02, 0x00, 0x03};

int32_t int_at(const std::vector<uint8_t>& file, size_t offset) {
  return static_cast<int32_t>(file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 |
                              static_cast<uint32_t>(file[offset + 3]) << 24);
}

TEST(ReplayFile, OlderRecordingsStillPlayAndTheHeaderLiesWhereItIsDocumented) {
  replay loaded;
  std::string error;
  ASSERT_TRUE(replay_parse(kFormat1Recording, loaded, error)) << error;
  EXPECT_EQ(loaded.header.version, 1u);
  EXPECT_FALSE(loaded.header.has_start_state);
  EXPECT_EQ(loaded.header.start, replay_start_state());
  EXPECT_EQ(loaded.header.random_state, 12345);
  EXPECT_EQ(loaded.header.start_best, 500);
  EXPECT_EQ(loaded.header.frame_count, 4);
  EXPECT_EQ(loaded.header.ending, replay_ending::abandoned);
  replay_decoder frames = loaded.frames();
  input_frame frame;
  const input_frame first = {{input_query::pointer_x, 0, 320}, {input_query::mouse_hits, 1, 1}};
  for (int index = 0; index < 4; ++index) {
    ASSERT_TRUE(frames.next(frame));
    EXPECT_EQ(frame, first);
  }
  EXPECT_FALSE(frames.next(frame));

  // What this version writes, read at the offsets the format states.
  replay_header header = sample_header();
  header.start = {1, 3, 1, 7, 0, 0.7f, 0.0f};
  replay_encoder encoder;
  for (const auto& each : sample_frames()) encoder.add_frame(each);
  const std::vector<uint8_t> file = encoder.file(header);
  ASSERT_GE(file.size(), replay_header_size);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "VXRP");
  EXPECT_EQ(int_at(file, 4), 2);
  EXPECT_EQ(int_at(file, 8), 2147483646);
  EXPECT_EQ(int_at(file, 12), 12345);
  EXPECT_EQ(int_at(file, 16), static_cast<int32_t>(sample_frames().size()));
  EXPECT_EQ(int_at(file, 20), 6780);
  EXPECT_EQ(int_at(file, 24), 3);
  EXPECT_EQ(int_at(file, 28), 1);
  EXPECT_EQ(int_at(file, 32), static_cast<int32_t>(file.size() - 68));
  const int32_t start[] = {1, 3, 1, 7, 0, std::bit_cast<int32_t>(0.7f), 0};
  for (size_t index = 0; index < 7; ++index)
    EXPECT_EQ(int_at(file, 40 + 4 * index), start[index]) << "start state value " << index;
  EXPECT_EQ(file[68], 2) << "the payload begins with a full frame";
  ASSERT_TRUE(replay_parse(file, loaded, error)) << error;
  EXPECT_EQ(loaded.header.start, header.start);

  // A start state no menu can make is damage, not a setting to apply.
  std::vector<uint8_t> bad_state = file;
  header.start.stereo_mode = 9;
  bad_state = encoder.file(header);
  EXPECT_FALSE(replay_parse(bad_state, loaded, error));
}

// A folder and a huge sparse file are refused at once, without reading them (the pipes
// and devices of each system: replay_posix_test.cpp, replay_windows_test.cpp).
TEST(ReplayFile, AFolderOrWhatIsTooLargeIsRefusedUnread) {
  namespace fs = std::filesystem;
  const std::string made = NativeMakeTemporaryFolder("vextral-replay-");
  ASSERT_FALSE(made.empty());
  const fs::path folder = NativePath(made);
  fs::create_directories(folder / "a folder");
  { std::ofstream sparse(folder / "huge", std::ios::binary); }
  fs::resize_file(folder / "huge", 1ull << 30);

  for (const std::string& path : {made + "/a folder", made + "/huge", made + "/missing"}) {
    replay loaded;
    std::string error;
    EXPECT_EQ(replay_load_why(path, loaded, error), replay_refusal::unreadable) << path;
    EXPECT_FALSE(error.empty()) << path;
    EXPECT_EQ(error.find('\n'), std::string::npos) << path;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

// Pausing in the very frame that starts the game does not lose its recording.
TEST(ReplaySimulator, AGamePausedInItsFirstFrameIsRecorded) {
  std::vector<replay_header> games;
  sim_config config;
  config.seed = 9;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.on_game_recorded = [&games](const replay_header& header, std::vector<uint8_t>) {
    games.push_back(header);
  };
  // The pointer on Start Game; the pad's fire button chooses it and its pause button is
  // pressed in the same frame (keys would be cleared by the menu, the pad's pause is not);
  // then Escape leaves the pause menu, abandoning the game.
  std::istringstream script(
      "1 keydown 27\n2 keyup 27\n5 mousemove 320 252\n"
      "8 joybutton 0 1\n8 joybutton 2 1\n9 joybutton 0 0\n9 joybutton 2 0\n"
      "20 keydown 27\n21 keyup 27\n");
  std::string error;
  ASSERT_TRUE(parse_script(script, config.events, error)) << error;
  simulator sim(config);
  ASSERT_TRUE(sim.run(40));
  ASSERT_EQ(games.size(), 1u);
  EXPECT_EQ(games.front().ending, replay_ending::abandoned);
}

struct recorded_game {
  std::vector<uint8_t> file;
  replay_header header;
  uint64_t state_hash = 0;
};

// Plays file in a fresh simulator: every recorded frame as recorded, to the state game ended in.
void expect_plays_again(const std::vector<uint8_t>& file, const recorded_game& game) {
  replay recording;
  std::string error;
  ASSERT_TRUE(replay_parse(file, recording, error)) << error;
  sim_config config;
  config.seed = 5;  // the recording's random state replaces it
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.replay_to_play = &recording;
  simulator sim(config);
  ASSERT_TRUE(sim.run(1000000));
  ASSERT_NE(sim.playback(), nullptr);
  EXPECT_FALSE(sim.playback()->diverged());
  EXPECT_EQ(sim.playback()->frames_played(), game.header.frame_count);
  EXPECT_EQ(sim.last_frame().score, game.header.final_score);
  EXPECT_EQ(sim.last_frame().level, game.header.final_level);
  EXPECT_EQ(simulator::state_hash(), game.state_hash);
}

// Every game of one run replays to the very state it ended in, the later ones included:
// they start from what the earlier ones left (the side of the next shot, the menu's settings).
TEST(ReplaySimulator, EveryGameOfARunPlaysAgainToTheSameState) {
  std::vector<recorded_game> games;
  {
    sim_config config;
    config.seed = 77;
    config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
    config.random_input = true;
    config.on_game_recorded = [&games](const replay_header& header, std::vector<uint8_t> file) {
      games.push_back({std::move(file), header, simulator::state_hash()});
    };
    simulator sim(config);
    ASSERT_TRUE(sim.run(30000));
  }
  ASSERT_GE(games.size(), 3u);
  EXPECT_EQ(games.front().header.ending, replay_ending::game_over);
  EXPECT_EQ(games.back().header.ending, replay_ending::abandoned);
  const bool any_carried = std::any_of(games.begin() + 1, games.end(), [](const auto& game) {
    return game.header.start.shot_side != 0;
  });
  EXPECT_TRUE(any_carried) << "no game started with the other side's shot: pick another seed";

  for (size_t index = 0; index < games.size(); ++index) {
    SCOPED_TRACE("game " + std::to_string(index + 1));
    expect_plays_again(games[index].file, games[index]);
  }
}

// The focus lost for a long time in the middle of a game: the game waits for it, asking
// again at every event, and its recording keeps one round of that wait. It plays again to
// the same state, and so does the recording with every round kept, as an older recorder
// wrote it.
TEST(ReplaySimulator, AGameThatLostTheFocusForLongPlaysAgain) {
  std::vector<recorded_game> games;
  sim_config config;
  config.seed = 31;
  config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
  config.on_game_recorded = [&games](const replay_header& header, std::vector<uint8_t> file) {
    games.push_back({std::move(file), header, simulator::state_hash()});
  };
  // Start Game, thrust a while, the focus away for 3,000 waits, then Escape twice.
  std::istringstream script(
      "1 keydown 27\n2 keyup 27\n5 mousemove 320 252\n8 mousedown 1\n9 mouseup 1\n"
      "40 keydown 38\n100 focus 0\n3100 focus 1\n3150 keyup 38\n"
      "3200 keydown 27\n3201 keyup 27\n3230 keydown 27\n3231 keyup 27\n");
  std::string error;
  ASSERT_TRUE(parse_script(script, config.events, error)) << error;
  {
    simulator sim(config);
    ASSERT_TRUE(sim.run(3400));
  }
  ASSERT_EQ(games.size(), 1u);
  const recorded_game& game = games.front();
  // Every round kept would take 18 kB.
  EXPECT_LT(game.file.size(), 4096u);
  expect_plays_again(game.file, game);

  replay recording;
  ASSERT_TRUE(replay_parse(game.file, recording, error)) << error;
  replay_decoder frames = recording.frames();
  replay_encoder every_round;
  input_frame frame;
  int32_t waits = 0;
  const input_frame one_round{{input_query::is_suspended, 0, 1},
                              {input_query::close_requested, 0, 0}};
  while (frames.next(frame)) {
    const auto round = std::search(frame.begin(), frame.end(), one_round.begin(), one_round.end());
    if (round != frame.end()) {
      ++waits;
      input_frame rounds;
      for (int index = 0; index < 2999; ++index)
        rounds.insert(rounds.end(), one_round.begin(), one_round.end());
      frame.insert(round, rounds.begin(), rounds.end());
    }
    every_round.add_frame(frame);
  }
  EXPECT_EQ(waits, 1);
  SCOPED_TRACE("every round kept");
  expect_plays_again(every_round.file(game.header), game);
}

}  // namespace
