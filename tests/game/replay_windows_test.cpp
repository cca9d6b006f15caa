// Replay files on Windows: a named pipe and a device are refused at once, without reading
// from them; a kept best that another program holds unreadable at game over stays.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "game/files.h"
#include "game/globals.h"
#include "game/replay/files.h"
#include "game/replay/format.h"
#include "game/system_message.h"
#include "stream/filesystem.h"
#include "stream/native_files.h"
#include "stream/native_path.h"
#include "stream/regular_file.h"
#include "stream/wide_text.h"

namespace {

TEST(ReplayFile, APipeOrADeviceIsRefusedUnread) {
  const std::string pipe_name =
      "\\\\.\\pipe\\vextral-replay-test-" + std::to_string(GetCurrentProcessId());
  // A pipe whose server never writes: a reader would wait for ever.
  const HANDLE server = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const std::string& path : {pipe_name, std::string("NUL")}) {
    replay loaded;
    std::string error;
    EXPECT_EQ(replay_load_why(path, loaded, error), replay_refusal::unreadable) << path;
    EXPECT_EQ(error, "is not a regular file") << path;
  }
  CloseHandle(server);
}

std::vector<uint8_t> recording_scoring(int32_t score) {
  replay_encoder encoder;
  encoder.add_frame({{input_query::key_hits, 27, score}});
  replay_header header;
  header.final_score = score;
  return encoder.file(header);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(write_file_safely(path, bytes.data(), bytes.size()));
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  read_regular_file(path, 1 << 20, bytes, error);
  return bytes;
}

// A backup or sync program holds the best recording and the best score open without
// sharing them for reading at the moment a lower game ends, and lets go as soon as a save
// has begun to replace one of them: they are kept all the same, and that is said.
TEST(KeptBest, FilesHeldUnreadableByAnotherProgramAreKeptAndSaid) {
  const std::string folder = NativeMakeTemporaryFolder("vextral-kept-");
  ASSERT_FALSE(folder.empty());
  const std::string saved_folder = data_folder;
  data_folder = folder;
  use_player_folder(false);
  const std::string best = folder + "/best.replay";
  const std::string hiscore = folder + "/hiscore.dat";
  const std::vector<uint8_t> best_recording = recording_scoring(36750);
  const std::vector<uint8_t> best_score = {0x8e, 0x8f, 0, 0};
  write_file(best, best_recording);
  write_file(hiscore, best_score);
  // Each is let go as soon as a save's temporary file for it appears.
  std::vector<std::pair<std::string, HANDLE>> held;
  for (const char* name : {"best.replay", "hiscore.dat"}) {
    const HANDLE handle = CreateFileW(WideFromUtf8(folder + "/" + name).c_str(), GENERIC_READ,
                                      FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    held.emplace_back(std::string(".") + name + ".", handle);
  }
  std::atomic<bool> kept{false};
  std::thread holding([&] {
    while (!held.empty()) {
      const std::vector<std::string> names = LoadDir(folder);
      for (auto file = held.begin(); file != held.end();) {
        const bool replacing =
            std::any_of(names.begin(), names.end(),
                        [&](const std::string& name) { return name.rfind(file->first, 0) == 0; });
        if (kept || replacing) {
          CloseHandle(file->second);
          file = held.erase(file);
        } else {
          ++file;
        }
      }
      Sleep(1);
    }
  });
  replay_header header;
  header.final_score = 900;
  ::testing::internal::CaptureStderr();
  keep_finished_game(header, recording_scoring(900));
  const std::string said = ::testing::internal::GetCapturedStderr();
  kept = true;
  holding.join();
  data_folder = saved_folder;
  use_player_folder(true);

  EXPECT_EQ(read_file(best), best_recording);
  EXPECT_EQ(read_file(hiscore), best_score);
  EXPECT_EQ(read_file(folder + "/last.replay"), recording_scoring(900));
  EXPECT_NE(said.find("game: could not save " + shown_path(hiscore) +
                      ": the best score there cannot be read"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("game: this game was not compared with the best one kept: " +
                      shown_path(best) + " cannot be read"),
            std::string::npos)
      << said;
  std::error_code ignored;
  std::filesystem::remove_all(NativePath(folder), ignored);
}

}  // namespace
