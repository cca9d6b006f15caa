#pragma once
// Paths are UTF-8 inside the program. std::filesystem reads a narrow string in the
// system's own code page on Windows, which mangles any non-ASCII name: going through
// char8_t strings keeps UTF-8 on every system (and costs nothing where paths are bytes).

#include <filesystem>
#include <string>

inline std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
