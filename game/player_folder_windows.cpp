#include <shlobj.h>

#include "game/files.h"
#include "stream/wide_text.h"

std::string player_folder() {
  PWSTR roaming = nullptr;
  std::wstring folder;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming) == S_OK)
    folder = roaming;
  CoTaskMemFree(roaming);
  if (folder.empty()) {
    const wchar_t* variable = _wgetenv(L"APPDATA");
    if (variable == nullptr || variable[0] == L'\0') return {};
    folder = variable;
  }
  return Utf8FromWide(folder) + "\\Vextral";
}

bool player_folder_shared_with_portable_copies() {
  return false;
}
