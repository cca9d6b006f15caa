// In a browser the program lies where the web build puts it in Emscripten's file system,
// laid out as an installed game (tools/web/build.sh puts the sounds in its data/).

#include "stream/program_folder.h"

std::string ProgramFolder() {
  return "/usr/lib/games/vextral";
}
