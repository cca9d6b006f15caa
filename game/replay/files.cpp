#include "game/replay/files.h"

#include <exception>

#include "game/files.h"
#include "game/globals.h"
#include "game/system_message.h"
#include "stream/regular_file.h"

namespace {

constexpr const char* kLastReplay = "last.replay";
constexpr const char* kBestReplay = "best.replay";

// Whether the finished game scores above the kept best at path, or the kept one is none
// worth keeping: nothing, a link (never read through), something that is no recording or
// a damaged one. A best that is there but cannot be read now, or comes from a newer
// version of the game, cannot be judged, and stays.
bool beats_kept_best(const std::string& path, const replay_header& header) {
  std::vector<uint8_t> bytes;
  std::string error;
  const file_refusal refusal =
      read_regular_file_why(path, replay_max_file_size, bytes, error, link_rule::refuse);
  if (refusal == file_refusal::unreadable) {
    report_file_failure("this game was not compared with the best one kept: " + shown_path(path) +
                        " " + error + ", so it is kept");
    return false;
  }
  if (refusal != file_refusal::none) return true;
  replay kept;
  switch (replay_parse_why(std::move(bytes), kept, error)) {
    case replay_refusal::none:
      return header.final_score > kept.header.final_score;
    case replay_refusal::newer:
      // Cannot be judged here, so it stays.
      report_file_failure("this game is kept as last.replay only: " + shown_path(path) +
                          " was recorded by a newer version of Vextral and stays");
      return false;
    default:
      return true;
  }
}

}  // namespace

std::string replay_path_for(const std::string& name) {
  if (name == "best") return settings_read_path(current_settings_places(), kBestReplay);
  if (name == "last") return settings_read_path(current_settings_places(), kLastReplay);
  return name;
}

void keep_finished_game(const replay_header& header, const std::vector<uint8_t>& file) noexcept {
  try {
    // A new best score is saved first, so the best recording never shows more than it.
    if (header.final_score > header.start_best) keep_best_score(header.final_score);
    const settings_places places = current_settings_places();
    const std::string last = settings_save_path(places, kLastReplay);
    if (last.empty()) return;  // the settings' own save says why, once
    {
      const save_turn turn(last);
      write_file_safely(last, file.data(), file.size());
    }
    // Another copy of the game finishing a game now waits, so neither lowers the best.
    const std::string best_save = settings_save_path(places, kBestReplay);
    const save_turn turn(best_save);
    if (beats_kept_best(settings_read_path(places, kBestReplay), header))
      write_file_safely(best_save, file.data(), file.size());
  } catch (const std::exception& failure) {
    report_file_failure(std::string("could not keep the recording of this game: ") +
                        failure.what());
  }
}
