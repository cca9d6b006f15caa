#include "game/replay/files.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "game/files.h"
#include "game/globals.h"
#include "game/notice.h"
#include "game/system_message.h"
#include "stream/native_path.h"
#include "stream/safe_save.h"

namespace {

constexpr const char* kLastReplay = "last.replay";
constexpr const char* kBestReplay = "best.replay";

}  // namespace

std::string replay_path_for(const std::string& name) {
  if (name == "best") return settings_read_path(current_settings_places(), kBestReplay);
  if (name == "last") return settings_read_path(current_settings_places(), kLastReplay);
  return name;
}

void keep_finished_game(const replay_header& header, const std::vector<uint8_t>& file) noexcept {
  try {
    const settings_places places = current_settings_places();
    const std::string last = settings_save_path(places, kLastReplay);
    if (last.empty()) return;  // the settings' own save says why, once, at exit
    write_file_safely(last, file.data(), file.size());

    // Another copy of the game finishing a game now waits, so neither lowers the best.
    const std::string best_save = settings_save_path(places, kBestReplay);
    const save_lock lock(Utf8Path(NativePath(best_save).parent_path()));
    replay kept;
    std::string error;
    const std::string best = settings_read_path(places, kBestReplay);
    const replay_refusal refusal = replay_load_why(best, kept, error);
    if (refusal == replay_refusal::none && kept.header.final_score >= header.final_score) return;
    // A best from a newer version cannot be judged here, so it stays; a damaged one, or
    // something else in its place, is replaced (the save says so if it cannot be).
    if (refusal == replay_refusal::newer) {
      post_notice("game", "this game is kept as last.replay only: " + shown_path(best) +
                              " was recorded by a newer version of Vextral and stays");
      return;
    }
    write_file_safely(best_save, file.data(), file.size());
  } catch (const std::exception& failure) {
    post_notice("game",
                std::string("could not keep the recording of this game: ") + failure.what());
  }
}
