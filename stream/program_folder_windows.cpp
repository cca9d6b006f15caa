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
