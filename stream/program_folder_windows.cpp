#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "stream/program_folder.h"
#include "stream/wide_text.h"

std::string ProgramFolder() {
  std::vector<wchar_t> name(MAX_PATH);
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      std::wstring path(name.data(), length);
      const size_t separator = path.find_last_of(L"\\/");
      if (separator == std::wstring::npos) return {};
      return Utf8FromWide(path.substr(0, separator));
    }
    name.resize(name.size() * 2);  // a long path: try again with room for it
  }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The C runtime's argv is in the ANSI code page, which holds few of the names a path
  // may have (a "ë" arrives as one byte that is no UTF-8, a "ж" as "?"): the wide command
  // line, split the same way, holds them all.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide != nullptr && count == argc) {
    for (int index = 1; index < count; ++index) arguments.push_back(Utf8FromWide(wide[index]));
  } else {
    arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  }
  LocalFree(wide);
  return arguments;
}

std::string AbsolutePath(const std::string& path) {
  // std::filesystem takes a network share's "\\server\share\x" for a folder on the
  // current drive.
  const std::wstring wide = WideFromUtf8(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return Utf8FromWide(full);
}
