#include "stream/temporary_names.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>

#include "stream/native_path.h"

namespace fs = std::filesystem;

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr size_t kLetterCount = sizeof kLetters - 1;
constexpr size_t kSuffixLength = 12;

std::mutex queued_mutex;
std::deque<std::string> queued_suffixes;

bool is_suffix_letter(char letter) {
  return (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z') ||
         (letter >= '0' && letter <= '9');
}

}  // namespace

std::string random_name_suffix() {
  static std::atomic<uint64_t> counter{0};
  std::string suffix;
  try {
    std::random_device source;
    std::uniform_int_distribution<size_t> pick(0, kLetterCount - 1);
    for (size_t letter = 0; letter < kSuffixLength; ++letter) suffix += kLetters[pick(source)];
  } catch (const std::exception&) {
    // The exclusive create keeps a save safe whatever the name; this only makes a clash
    // between two copies of the program unlikely.
    std::mt19937_64 fallback(
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) << 20) ^
        (++counter * 0x9e3779b97f4a7c15ULL));
    suffix.clear();
    for (size_t letter = 0; letter < kSuffixLength; ++letter)
      suffix += kLetters[fallback() % kLetterCount];
  }
  return suffix;
}

std::string temporary_name_for(const std::string& file_name) {
  std::string suffix;
  {
    const std::lock_guard<std::mutex> hold(queued_mutex);
    if (!queued_suffixes.empty()) {
      suffix = queued_suffixes.front();
      queued_suffixes.pop_front();
    }
  }
  if (suffix.empty()) suffix = random_name_suffix();
  return "." + file_name + "." + suffix;
}

bool is_temporary_name_for(const std::string& name, const std::string& file_name) {
  const size_t prefix = file_name.size() + 2;
  if (name.size() != prefix + kSuffixLength || name[0] != '.' ||
      name.compare(1, file_name.size(), file_name) != 0 || name[prefix - 1] != '.')
    return false;
  for (size_t at = prefix; at < name.size(); ++at)
    if (!is_suffix_letter(name[at])) return false;
  return true;
}

void use_temporary_suffixes_next(const std::vector<std::string>& suffixes) {
  const std::lock_guard<std::mutex> hold(queued_mutex);
  queued_suffixes.assign(suffixes.begin(), suffixes.end());
}

void remove_stale_temporaries(const std::string& folder,
                              const std::vector<std::string>& file_names) {
  std::error_code error;
  fs::directory_iterator entry(NativePath(folder.empty() ? std::string(".") : folder), error);
  std::vector<fs::path> stale;
  const auto now = fs::file_time_type::clock::now();
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const std::string name = Utf8Path(entry->path().filename());
    bool ours = false;
    for (const std::string& file_name : file_names)
      ours = ours || is_temporary_name_for(name, file_name);
    std::error_code status_error;
    if (!ours || !fs::is_regular_file(entry->symlink_status(status_error))) continue;
    const auto written = fs::last_write_time(entry->path(), status_error);
    if (!status_error && now - written >= stale_temporary_age) stale.push_back(entry->path());
  }
  // A link put in its place meanwhile is removed itself, never what it points to.
  for (const fs::path& path : stale) fs::remove(path, error);
}
