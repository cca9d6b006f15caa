#include "game/system_message.h"

#include "stream/program_folder.h"

// A terminal, the desktop's session log or the game's own log holds the line.
void show_stopping_message(const std::string&, const std::string&) {}

std::string shown_path(const std::string& path) {
  return path.empty() ? path : AbsolutePath(path);
}
