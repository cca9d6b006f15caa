#include "game/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "game/globals.h"
#include "game/player.h"
#include "render/stereo.h"
#include "stream/filesystem.h"
#include "stream/stream.h"

namespace {

constexpr const char* kHiscoreFile = "hiscore.dat";
constexpr const char* kStereoFile = "anaglyph3d.dat";
constexpr int32_t kRegularFile = 1;
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

void report_save_failure(const std::string& path, const char* reason) {
  std::fprintf(stderr, "game: could not save %s: %s\n", path.c_str(), reason);
}

bool write_all(int descriptor, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(descriptor, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

// Makes the rename itself durable. Some file systems refuse to sync a folder; the file
// is in place by then either way, so that is not a failure.
void sync_folder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

// True when folder is a directory this process may create files in, or does not exist yet
// and could be made (its nearest existing ancestor is such a directory).
bool can_hold_files(const std::string& folder) {
  std::filesystem::path path = folder.empty() ? "." : folder;
  while (true) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status)) {
      return std::filesystem::is_directory(status) &&
             ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    }
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory)
      return false;
    const auto parent = path.parent_path();
    if (parent == path) return false;
    path = parent.empty() ? "." : parent;
  }
}

std::string join(const std::string& folder, const char* file_name) {
  if (folder.empty() || folder.back() == '/') return folder + file_name;
  return folder + "/" + file_name;
}

// Both files fail to save for the same reason: say it once per run.
bool nowhere_reported = false;

settings_places current_places() {
  return find_settings_places(data_folder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

}  // namespace

settings_places find_settings_places(const std::string& beside, const char* xdg_data_home,
                                     const char* home) {
  settings_places places;
  places.beside = beside;
  places.beside_writable = can_hold_files(beside);
  // A relative XDG_DATA_HOME is to be ignored, as if unset.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
    places.home = join(xdg_data_home, "vextral");
  } else if (home != nullptr && home[0] == '/') {
    places.home = join(home, ".local/share/vextral");
  }
  places.home_writable = !places.home.empty() && can_hold_files(places.home);
  return places;
}

std::string settings_read_path(const settings_places& places, const char* file_name) {
  if (!places.home.empty()) {
    const std::string in_home = join(places.home, file_name);
    if (PathType(in_home) == kRegularFile) return in_home;
  }
  return join(places.beside, file_name);
}

std::string settings_save_path(const settings_places& places, const char* file_name) {
  if (places.home_writable) {
    const std::string in_home = join(places.home, file_name);
    // Once a file lives in the home folder it is read from there, so it is saved there.
    if (!places.beside_writable || PathType(in_home) == kRegularFile) return in_home;
  }
  if (places.beside_writable) return join(places.beside, file_name);
  return {};
}

bool read_setting_file(const std::string& path, int32_t& value) {
  if (PathType(path) != kRegularFile) return false;
  try {
    auto stream = FileOpenRead(path);
    if (!stream) return false;
    const int32_t stored = stream->ReadInt();
    StreamClose(stream);
    value = stored;
    return true;
  } catch (const std::exception&) {
    return false;
  }
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
  std::filesystem::path folder_path = std::filesystem::path(target).parent_path();
  if (folder_path.empty()) folder_path = ".";
  const std::string folder = folder_path.string();
  if (PathType(folder) != kDirectory && !CreateDir(folder, 1)) {
    std::fprintf(stderr, "game: could not save %s: cannot create the folder %s\n", path.c_str(),
                 folder.c_str());
    return false;
  }

  const std::string temporary = target + ".tmp";
  const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    report_save_failure(path, std::strerror(errno));
    return false;
  }
  int error = 0;
  if (!write_all(descriptor, bytes, count)) {
    error = errno;
  } else if (::fsync(descriptor) != 0) {
    error = errno;
  }
  if (::close(descriptor) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    report_save_failure(path, std::strerror(error));
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int rename_error = errno;
    ::unlink(temporary.c_str());
    report_save_failure(path, std::strerror(rename_error));
    return false;
  }
  sync_folder(folder);
  return true;
}

namespace {

void save_setting(const char* file_name, int32_t value) {
  const settings_places places = current_places();
  const std::string path = settings_save_path(places, file_name);
  if (!path.empty()) {
    write_setting_file(path, value);
    return;
  }
  if (nowhere_reported) return;
  nowhere_reported = true;
  const std::string home = places.home.empty() ? "there is no home folder (HOME is not set)"
                                               : "neither is " + places.home;
  std::fprintf(stderr,
               "game: the best score and stereo setting cannot be saved: %s is read-only and %s\n",
               places.beside.c_str(), home.c_str());
}

}  // namespace

void hiscore_file(int32_t mode) {
  if (mode == 0) {
    nowhere_reported = false;
    int32_t best = 0;
    if (!read_setting_file(settings_read_path(current_places(), kHiscoreFile), best) || best < 0)
      best = 0;
    player->best_sc = best;
  } else {
    save_setting(kHiscoreFile, player->best_sc);
  }
}

void stereo_settings(int32_t mode) {
  if (mode == 1) {
    nowhere_reported = false;
    int32_t stored = 0;
    // A stored value past the scheme list would switch stereo on with no tints.
    if (read_setting_file(settings_read_path(current_places(), kStereoFile), stored))
      stereo_mode = (stored >= 0 && stored < kStereoModes) ? stored : 0;
  } else if (mode == 2) {
    save_setting(kStereoFile, stereo_mode);
  }
  if (stereo_mode >= 1 && stereo_mode < kStereoModes) {
    const eye_tints& tints = kSchemes[stereo_mode - 1];
    draw3d->slc(tints.left[0], tints.left[1], tints.left[2], tints.right[0], tints.right[1],
                tints.right[2]);
  }
}
