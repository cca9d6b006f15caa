#include "game/notice.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "game/files.h"
#include "game/globals.h"
#include "game/system_message.h"
#include "render/font.h"
#include "render/render2d.h"
#include "render/stereo.h"
#include "stream/native_files.h"
#include "stream/native_path.h"
#include "stream/safe_save.h"

namespace {

constexpr const char* kLogFile = "vextral.log";
// A log past this size starts over, so a game that fails every run does not fill the disk.
constexpr int64_t kLogLimit = 256 * 1024;
constexpr float kNoticeScale = 0.8f;
constexpr float kWidestLine = 624.0f;
constexpr size_t kMostLines = 3;
// Just under the score line, clear of it and of the menu's title art's top.
constexpr float kFirstLineCentre = 36.0f;

std::string shown_notice;
int32_t frames_left = 0;
// The notice wrapped into lines, once, when it is first drawn (with the font it is drawn in).
std::vector<notice_line> shown_lines;
bool lines_wrapped = false;

void append_to_log(const std::string& line) {
  const std::string path = notice_log_path();
  if (path.empty()) return;
  const std::string folder = Utf8Path(NativePath(path).parent_path());
  if (!folder.empty()) make_private_folders(folder);
  // The log is never written through a link planted at its name, nor into a pipe or a
  // device there: a link is removed (what it points at is left alone), as is a log grown
  // past its limit, and the log is only ever appended to.
  std::error_code error;
  const std::filesystem::file_type kind =
      std::filesystem::symlink_status(NativePath(path), error).type();
  native_status status;
  if (kind == std::filesystem::file_type::symlink) {
    NativeDeleteFile(path);
  } else if (kind != std::filesystem::file_type::not_found &&
             kind != std::filesystem::file_type::regular) {
    return;
  } else if (NativeStatus(path, status) && status.size > kLogLimit) {
    NativeDeleteFile(path);
  }
  std::FILE* log = NativeOpenFile(path, "a");
  if (log == nullptr) return;  // the line on stderr and on screen still stands
  char stamp[32] = "";
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now))
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
  std::fprintf(log, "%s %s\n", stamp, line.c_str());
  std::fclose(log);
}

std::string full_line(const char* subsystem, const std::string& text) {
  return std::string(subsystem) + ": " + text;
}

float width_at(const std::string& text, float scale) {
  return static_cast<float>(TextWidth(text)) * scale;
}

}  // namespace

std::string notice_log_path() {
  return settings_save_path(current_settings_places(), kLogFile);
}

void post_notice(const char* subsystem, const std::string& text) {
  const std::string line = full_line(subsystem, text);
  std::fprintf(stderr, "%s\n", line.c_str());
  append_to_log(line);
  shown_notice = text;
  lines_wrapped = false;
  frames_left = kNoticeFrames;
}

void report_stopping_failure(const char* subsystem, const std::string& text) {
  const std::string line = full_line(subsystem, text);
  std::fprintf(stderr, "%s\n", line.c_str());
  append_to_log(line);
  show_stopping_message("Vextral", text);
}

const std::string& notice_text() {
  static const std::string none;
  return frames_left > 0 ? shown_notice : none;
}

int32_t notice_frames_left() {
  return frames_left;
}

void clear_notice() {
  shown_notice.clear();
  lines_wrapped = false;
  frames_left = 0;
}

std::vector<notice_line> notice_lines(const std::string& text, float scale) {
  std::vector<notice_line> lines;
  std::string line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    const std::string joined = line.empty() ? word : line + " " + word;
    if (line.empty() || width_at(joined, scale) <= kWidestLine) {
      line = joined;
      continue;
    }
    lines.push_back({line, scale});
    line = word;
  }
  if (!line.empty()) lines.push_back({line, scale});
  // A word alone wider than the screen (a long path) is drawn smaller until it fits.
  for (notice_line& drawn : lines) {
    const float width = width_at(drawn.text, drawn.scale);
    if (width > kWidestLine) drawn.scale = drawn.scale * kWidestLine / width;
  }
  if (lines.size() > kMostLines) {
    lines.resize(kMostLines);
    lines.back().text += " ...";
  }
  return lines;
}

void draw_notice() {
  if (frames_left <= 0) return;
  const float alpha =
      frames_left >= kNoticeFadeFrames ? 1.0f : static_cast<float>(frames_left) / kNoticeFadeFrames;
  --frames_left;
  const float line_height = static_cast<float>(TextHeight(shown_notice)) * kNoticeScale + 2.0f;
  float y = kFirstLineCentre;
  if (!lines_wrapped) {
    shown_lines = notice_lines(shown_notice, kNoticeScale);
    lines_wrapped = true;
  }
  for (const notice_line& line : shown_lines) {
    // A warm orange, apart from the HUD's yellow, at the HUD's depth.
    SetColor(250, 150, 90);
    draw3d->sip(3, alpha, 0, line.scale, line.scale);
    draw3d->t3d(line.text, 320.0f, y, 2.0f, 1);
    y += line_height;
  }
  SetColor(200, 200, 60);
  draw3d->sip(3, 1.0f, 0, 1.0f, 1.0f);
}
