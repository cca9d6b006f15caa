// The notice: a failure the game plays on through is read on screen under the score line
// for a few seconds, in stderr and in vextral.log in the save folder; the exit waits for a
// notice posted on the way out; and no notice changes a recorded game.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/files.h"
#include "game/main_loop.h"
#include "game/notice.h"
#include "game/replay/format.h"
#include "render/font.h"
#include "screens_support.h"
#include "stream/native_path.h"
#include "tools/sim/sim_script.h"

namespace {

namespace fs = std::filesystem;

using NoticeTest = ScreensTest;

std::vector<std::string> log_lines() {
  std::ifstream log(NativePath(notice_log_path()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(NoticeTest, ANoticeIsShownUnderTheScoreLineForAFewSecondsAndFadesOut) {
  new_game();
  post_notice("game", "could not save hiscore.dat: disk full");
  auto calls = frame_calls();
  const auto shown = texts_reading(calls, "could not save hiscore.dat: disk full");
  ASSERT_EQ(shown.size(), 1u);
  // Centred, at the notice's scale, in its own colour, under the score line.
  const float width = static_cast<float>(TextWidth("could not save hiscore.dat: disk full")) * 0.8f;
  EXPECT_NEAR(shown[0].pen_x, 320.0f - width / 2, 1.0f);
  EXPECT_GT(shown[0].pen_y, static_cast<float>(TextHeight("Score: 00")) - 4.0f);
  EXPECT_LT(shown[0].pen_y, 60.0f);
  EXPECT_FLOAT_EQ(shown[0].first.ix, 0.8f);
  EXPECT_EQ(shown[0].first.red, 250);
  EXPECT_EQ(shown[0].first.green, 150);
  EXPECT_EQ(shown[0].first.blue, 90);
  EXPECT_FLOAT_EQ(shown[0].first.alpha, 1.0f);
  // The HUD is still all there, as it was.
  EXPECT_EQ(texts_reading(calls, "Score: 00").size(), 1u);

  // Counted in frames: the last one is drawn faded, the next has none.
  step(kNoticeFrames - 2);
  calls = frame_calls();
  const auto last = texts_reading(calls, "could not save hiscore.dat: disk full");
  ASSERT_EQ(last.size(), 1u);
  EXPECT_LT(last[0].first.alpha, 0.05f);
  EXPECT_TRUE(texts_reading(frame_calls(), "could not save hiscore.dat: disk full").empty());
  EXPECT_TRUE(notice_text().empty());

  // A newer notice takes the place of the one on screen.
  post_notice("game", "first");
  post_notice("audio", "second");
  calls = frame_calls();
  EXPECT_TRUE(texts_reading(calls, "first").empty());
  EXPECT_EQ(texts_reading(calls, "second").size(), 1u);
}

TEST_F(NoticeTest, ALongNoticeIsWrappedIntoLinesThatFitTheScreen) {
  const std::string path =
      "C:\\users\\Zoe\\AppData\\Roaming\\Vextral\\a-folder-name-long-enough-to-fill-a-line-"
      "of-its-own-and-more\\hiscore.dat";
  const std::string text = "could not save " + path + ": the folder is read-only";
  const std::vector<notice_line> lines = notice_lines(text, 0.8f);
  ASSERT_EQ(lines.size(), 3u);
  std::string joined;
  for (const notice_line& line : lines) {
    EXPECT_LE(static_cast<float>(TextWidth(line.text)) * line.scale, 624.5f) << line.text;
    joined += (joined.empty() ? "" : " ") + line.text;
  }
  EXPECT_EQ(joined, text);
  // The path alone is too wide at the notice's scale: only its line is drawn smaller.
  EXPECT_EQ(lines[1].text, path + ":");
  EXPECT_LT(lines[1].scale, 0.8f);
  EXPECT_FLOAT_EQ(lines[0].scale, 0.8f);
  EXPECT_FLOAT_EQ(lines[2].scale, 0.8f);

  // What no three lines hold ends with an ellipsis.
  std::string endless;
  for (int word = 0; word < 200; ++word) endless += "word ";
  const auto cut = notice_lines(endless, 0.8f);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_TRUE(ends_with(cut.back().text, " ...")) << cut.back().text;

  // On screen, one drawn text per line, each centred.
  post_notice("game", text);
  const auto texts = drawn_texts(frame_calls());
  for (const notice_line& line : lines) {
    const auto found = std::find_if(texts.begin(), texts.end(), [&](const drawn_text& drawn) {
      return drawn.text == without_spaces(line.text);
    });
    ASSERT_NE(found, texts.end()) << line.text;
    const float width = static_cast<float>(TextWidth(line.text)) * line.scale;
    EXPECT_NEAR(found->pen_x, 320.0f - width / 2, 1.0f) << line.text;
  }
}

TEST_F(NoticeTest, ANoticeGoesToStandardErrorAndToTheLogInTheSaveFolder) {
  ASSERT_FALSE(notice_log_path().empty());
  EXPECT_EQ(NativePath(notice_log_path()).parent_path(),
            NativePath(settings_save_path(current_settings_places(), "hiscore.dat")).parent_path());
  ::testing::internal::CaptureStderr();
  post_notice("game", "could not save last.replay: disk full");
  post_notice("audio", "cannot load a.ogg; those sounds stay silent");
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors,
            "game: could not save last.replay: disk full\n"
            "audio: cannot load a.ogg; those sounds stay silent\n");
  const auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  // Each line is stamped with the time, then reads as on stderr.
  EXPECT_TRUE(ends_with(lines[0], " game: could not save last.replay: disk full")) << lines[0];
  EXPECT_TRUE(ends_with(lines[1], " audio: cannot load a.ogg; those sounds stay silent"))
      << lines[1];
  EXPECT_EQ(lines[0].find("20"), 0u) << lines[0];

  // A log grown past its limit starts over rather than filling the disk.
  {
    std::ofstream log(NativePath(notice_log_path()), std::ios::app);
    log << std::string(300 * 1024, 'x') << '\n';
  }
  ::testing::internal::CaptureStderr();
  post_notice("game", "after the limit");
  ::testing::internal::GetCapturedStderr();
  const auto after = log_lines();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(ends_with(after[0], " game: after the limit"));
}

TEST_F(NoticeTest, ALinkPlantedAtTheLogIsNeverWrittenThrough) {
#ifdef _WIN32
  GTEST_SKIP() << "links need rights a player's account rarely has";
#else
  const fs::path log = NativePath(notice_log_path());
  const fs::path precious = log.parent_path() / "precious.txt";
  const std::string kept(300 * 1024, 'p');  // past the log's limit: once truncated through
  std::ofstream(precious) << kept;
  fs::remove(log);
  fs::create_symlink(precious, log);
  ::testing::internal::CaptureStderr();
  post_notice("game", "through a link");
  ::testing::internal::GetCapturedStderr();
  std::stringstream read;
  read << std::ifstream(precious).rdbuf();
  EXPECT_EQ(read.str(), kept) << "the file behind the link was written";
  EXPECT_FALSE(fs::is_symlink(log));
  const auto lines = log_lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(ends_with(lines[0], " game: through a link"));
  fs::remove(precious);
#endif
}

TEST_F(NoticeTest, ASaveThatFailsAtExitIsReadOnScreenBeforeTheWindowCloses) {
  // Something that is no file where the best score is saved: the save fails.
  const std::string best = settings_save_path(current_settings_places(), "hiscore.dat");
  fs::create_directories(NativePath(best) / "in-the-way");
  player->best_sc = 5000;
  ::testing::internal::CaptureStderr();
  game_exit(0);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("game: could not save"), std::string::npos) << errors;
  ASSERT_NE(notice_text().find("could not save"), std::string::npos) << notice_text();

  // The window stays for the notice's whole time, drawing it, and not a frame longer.
  auto driver = HeadlessGraphicsDriver();
  driver->SetRecording(true);
  driver->ClearCalls();
  const int64_t before = sim_->frames_run();
  show_exit_notice();
  const auto calls = driver->Calls();
  driver->SetRecording(false);
  EXPECT_EQ(sim_->frames_run() - before, kNoticeFrames);
  const auto texts = drawn_texts(calls);
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const drawn_text& text) {
    return text.text.rfind("couldnotsave", 0) == 0;
  }));
  EXPECT_TRUE(notice_text().empty());

  // Escape (or a click, or the close button) lets the player go at once.
  ::testing::internal::CaptureStderr();
  post_notice("game", "could not save hiscore.dat: disk full");
  ::testing::internal::GetCapturedStderr();
  later(10, sim_event_kind::key_down, 27);
  later(11, sim_event_kind::key_up, 27);
  const int64_t started = sim_->frames_run();
  show_exit_notice();
  EXPECT_EQ(sim_->frames_run() - started, 11);
  EXPECT_TRUE(notice_text().empty());

  // Without a notice the exit does not wait at all.
  const int64_t idle = sim_->frames_run();
  show_exit_notice();
  EXPECT_EQ(sim_->frames_run(), idle);
}

// A notice is only drawn: games recorded while notices come and go are the very games
// recorded without them, and play again to the same state.
TEST(NoticeRecording, NoticesLeaveEveryRecordedGameAsItWas) {
  auto record = [](bool with_notices) {
    std::vector<std::vector<uint8_t>> files;
    sim_config config;
    config.seed = 31;
    config.default_data_dir = VEXTRAL_TEST_DATA_DIR;
    config.random_input = true;
    config.on_game_recorded = [&files](const replay_header&, std::vector<uint8_t> file) {
      files.push_back(std::move(file));
    };
    int64_t frame = 0;
    config.frame_observer = [&frame, with_notices](const sim_frame_state&) {
      if (with_notices && ++frame % 500 == 0) post_notice("game", "could not save x: disk full");
    };
    ::testing::internal::CaptureStderr();
    simulator sim(config);
    EXPECT_TRUE(sim.run(12000));
    ::testing::internal::GetCapturedStderr();
    return std::make_pair(files, simulator::state_hash());
  };
  const auto plain = record(false);
  const auto noticed = record(true);
  ASSERT_FALSE(plain.first.empty());
  EXPECT_EQ(noticed.first, plain.first);
  EXPECT_EQ(noticed.second, plain.second);
}

}  // namespace
