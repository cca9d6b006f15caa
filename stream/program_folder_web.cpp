// In a browser the program lies where the web build puts it in Emscripten's file system,
// laid out as an installed game (tools/web/build.sh puts the sounds in its data/).

#include "stream/program_folder.h"

#include <filesystem>
#include <system_error>

std::string ProgramFolder() {
  return "/usr/lib/games/vextral";
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}
