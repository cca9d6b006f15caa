#include "game/replay_files.h"

#include <cstdlib>

#include "game/files.h"
#include "game/globals.h"

namespace {

constexpr const char* kLastReplay = "last.replay";
constexpr const char* kBestReplay = "best.replay";

settings_places current_places() {
  return find_settings_places(data_folder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

}  // namespace

std::string replay_path_for(const std::string& name) {
  if (name == "best") return settings_read_path(current_places(), kBestReplay);
  if (name == "last") return settings_read_path(current_places(), kLastReplay);
  return name;
}

void keep_finished_game(const replay_header& header, const std::vector<uint8_t>& file) {
  const settings_places places = current_places();
  const std::string last = settings_save_path(places, kLastReplay);
  if (last.empty()) return;  // the settings' own save says why, once, at exit
  write_file_safely(last, file.data(), file.size());

  replay kept;
  std::string error;
  const bool have_best = replay_load(settings_read_path(places, kBestReplay), kept, error);
  if (have_best && kept.header.final_score >= header.final_score) return;
  write_file_safely(settings_save_path(places, kBestReplay), file.data(), file.size());
}
