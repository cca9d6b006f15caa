// The game executable: no arguments, no environment variables of its own. It works
// from any directory by moving to its own folder first, where data/ lies beside it.

#include <filesystem>
#include <system_error>

#include "game/main_loop.h"
#include "game/sounds.h"

namespace {

void change_to_executable_folder() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  std::filesystem::current_path(executable.parent_path(), error);
}

}  // namespace

int main() {
  change_to_executable_folder();
  // The sounds and images decode while the display opens.
  prefetch_sounds();
  prefetch_embedded_images();
  if (!game_startup()) return 1;
  run_main_loop();
  game_exit();
  return 0;
}
