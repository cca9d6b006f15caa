#include "game/files.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "game/globals.h"
#include "game/notice.h"
#include "game/player.h"
#include "game/system_message.h"
#include "render/stereo.h"
#include "stream/filesystem.h"
#include "stream/native_path.h"
#include "stream/regular_file.h"
#include "stream/safe_save.h"
#include "stream/stream.h"
#include "stream/temporary_names.h"

namespace {

constexpr const char* kHiscoreFile = "hiscore.dat";
constexpr const char* kStereoFile = "anaglyph3d.dat";
constexpr int32_t kDirectory = 2;
constexpr int32_t kStereoModes = 5;

struct eye_tints {
  int32_t left[3];
  int32_t right[3];
};

// Indexed by stereo_mode - 1.
constexpr eye_tints kSchemes[] = {
    {{140, 4, 40}, {4, 100, 20}},
    {{4, 100, 20}, {140, 4, 10}},
    {{4, 80, 60}, {140, 4, 10}},
    {{4, 20, 140}, {140, 4, 20}},
};

// Every file the game keeps in its folders, the recordings' included.
const std::vector<std::string> kKeptFiles = {kHiscoreFile, kStereoFile, "last.replay",
                                             "best.replay"};

void report_save_failure(const std::string& path, const std::string& reason) {
  report_file_failure("could not save " + shown_path(path) + ": " + reason);
}

std::string join(const std::string& folder, const char* file_name) {
  if (folder.empty() || folder.back() == '/') return folder + file_name;
  return folder + "/" + file_name;
}

// A regular file itself, not a link to one.
bool holds_file(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(
      std::filesystem::symlink_status(NativePath(ResolvePathCase(path)), error));
}

std::string folder_of(const std::string& path) {
  const std::string folder = Utf8Path(NativePath(path).parent_path());
  return folder.empty() ? "." : folder;
}

// The folder path is saved in, made if it is missing (the save says so if it cannot be).
std::string made_folder_of(const std::string& path) {
  const std::string folder = folder_of(ResolvePathCase(path));
  if (PathType(folder) != kDirectory) make_private_folders(folder);
  return folder;
}

// Both files fail to save for the same reason: say it once per run.
bool nowhere_reported = false;

bool player_folder_used = true;

}  // namespace

settings_places current_settings_places() {
  return find_settings_places(data_folder, player_folder_used ? player_folder() : std::string());
}

void use_player_folder(bool used) {
  player_folder_used = used;
}

std::string player_folder_from(const char* xdg_data_home, const char* home) {
  // A relative XDG_DATA_HOME is to be ignored, as if unset.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') return join(xdg_data_home, "vextral");
  if (home != nullptr && home[0] == '/') return join(home, ".local/share/vextral");
  return {};
}

settings_places find_settings_places(const std::string& beside, const char* xdg_data_home,
                                     const char* home) {
  return find_settings_places(beside, player_folder_from(xdg_data_home, home));
}

settings_places find_settings_places(const std::string& beside, const std::string& player) {
  settings_places places;
  places.beside = beside;
  places.installed = is_installed_folder(ResolvePathCase(beside));
  places.beside_writable = !places.installed && folder_can_hold_files(beside);
  // A copy that keeps its files beside itself (Windows' portable zip) never mixes in those
  // an installed copy keeps in the player's folder.
  if (places.beside_writable && !player_folder_shared_with_portable_copies()) return places;
  places.home = player;
  places.home_writable = !places.home.empty() && folder_can_hold_files(places.home);
  return places;
}

std::string settings_save_path(const settings_places& places, const char* file_name) {
  if (places.home_writable) {
    const std::string in_home = join(places.home, file_name);
    // Once a file lives in the home folder it is read from there, so it is saved there.
    if (!places.beside_writable || holds_file(in_home)) return in_home;
  }
  if (places.beside_writable) return join(places.beside, file_name);
  return {};
}

std::string settings_read_path(const settings_places& places, const char* file_name) {
  const std::string saved = settings_save_path(places, file_name);
  if (!saved.empty() && holds_file(saved)) return saved;
  // Nothing saved there yet: an older copy elsewhere gives the starting value, and the
  // first save puts it where it is read from then on.
  if (!places.home.empty()) {
    const std::string in_home = join(places.home, file_name);
    if (holds_file(in_home)) return in_home;
  }
  const std::string beside = join(places.beside, file_name);
  if (saved.empty() || holds_file(beside)) return beside;
  return saved;
}

setting_found read_setting_file(const std::string& path, int32_t& value, std::string& error) {
  std::vector<uint8_t> bytes;
  const file_refusal refusal =
      read_regular_file_why(ResolvePathCase(path), sizeof(int32_t), bytes, error, link_rule::refuse,
                            size_rule::keep_start);
  if (refusal == file_refusal::unreadable) return setting_found::unreadable;
  if (refusal != file_refusal::none) return setting_found::nothing;
  // The integer exactly as the stream layer reads one.
  auto memory = TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), 1, 0);
  value = memory->ReadInt();
  return setting_found::value;
}

bool write_setting_file(const std::string& path, int32_t value) {
  // The value's bytes exactly as the stream layer writes an integer.
  uint8_t bytes[4] = {};
  try {
    auto memory = TRamStream::Create(bytes, sizeof bytes, 0, 1);
    memory->WriteInt(value);
  } catch (const std::exception&) {
    report_save_failure(path, "cannot encode the value");
    return false;
  }
  return write_file_safely(path, bytes, sizeof bytes);
}

bool write_file_safely(const std::string& path, const uint8_t* bytes, size_t count) {
  // Resolve the spelling against the disk, so the file that was read is the one replaced.
  const std::string target = ResolvePathCase(path);
  const std::string folder = folder_of(target);
  if (PathType(folder) != kDirectory && !make_private_folders(folder)) {
    report_save_failure(path, "cannot create the folder " + shown_path(folder));
    return false;
  }
  std::string error;
  if (!replace_file_safely(target, bytes, count, error)) {
    report_save_failure(path, error);
    return false;
  }
  return true;
}

bool save_best_score(const std::string& path, int32_t value) {
  const save_turn turn(path);
  int32_t stored = 0;
  std::string error;
  const setting_found found = read_setting_file(path, stored, error);
  // Replacing a file that could not be read might lower a best another copy saved.
  if (found == setting_found::unreadable) {
    report_save_failure(path, "the best score there " + error + ", so it is kept");
    return false;
  }
  if (found == setting_found::value && stored > value) value = stored;
  return write_setting_file(path, value);
}

save_turn::save_turn(const std::string& path) : folder_(made_folder_of(path)), lock_(folder_) {
  if (lock_.held()) remove_stale_temporaries(folder_, kKeptFiles);
}

void report_file_failure(const std::string& what) {
  post_notice("game", what);
}

namespace {

// The best score never goes down on disk; the stereo scheme is the last one chosen.
void save_setting(const char* file_name, int32_t value, bool keep_higher) {
  const settings_places places = current_settings_places();
  const std::string path = settings_save_path(places, file_name);
  if (!path.empty()) {
    if (keep_higher) {
      save_best_score(path, value);
    } else {
      const save_turn turn(path);
      write_setting_file(path, value);
    }
    return;
  }
  if (nowhere_reported) return;
  nowhere_reported = true;
  const std::string home = places.home.empty() ? "there is no home folder (HOME is not set)"
                           : places.installed  ? shown_path(places.home) + " cannot be written"
                                               : "neither is " + shown_path(places.home);
  const char* beside = places.installed ? "belongs to the installed game" : "is read-only";
  report_file_failure(
      "the best score, the stereo setting and the recorded games cannot be saved: " +
      shown_path(places.beside) + " " + beside + " and " + home);
}

}  // namespace

void keep_best_score(int32_t value) {
  save_setting(kHiscoreFile, value, true);
}

void hiscore_file(int32_t mode) {
  if (mode == 0) {
    nowhere_reported = false;
    const std::string path = settings_read_path(current_settings_places(), kHiscoreFile);
    int32_t best = 0;
    std::string error;
    const setting_found found = read_setting_file(path, best, error);
    if (found == setting_found::unreadable)
      report_file_failure("the best score in " + shown_path(path) + " " + error);
    player->best_sc = found == setting_found::value && best > 0 ? best : 0;
  } else {
    save_setting(kHiscoreFile, player->best_sc, true);
  }
}

void stereo_settings(int32_t mode) {
  if (mode == 1) {
    nowhere_reported = false;
    const std::string path = settings_read_path(current_settings_places(), kStereoFile);
    int32_t stored = 0;
    std::string error;
    const setting_found found = read_setting_file(path, stored, error);
    // A stored value past the scheme list would switch stereo on with no tints.
    if (found == setting_found::value)
      stereo_mode = (stored >= 0 && stored < kStereoModes) ? stored : 0;
    else if (found == setting_found::unreadable)
      report_file_failure("the stereo setting in " + shown_path(path) + " " + error);
  } else if (mode == 2) {
    save_setting(kStereoFile, stereo_mode, false);
  }
  if (stereo_mode >= 1 && stereo_mode < kStereoModes) {
    const eye_tints& tints = kSchemes[stereo_mode - 1];
    draw3d->slc(tints.left[0], tints.left[1], tints.left[2], tints.right[0], tints.right[1],
                tints.right[2]);
  }
}
