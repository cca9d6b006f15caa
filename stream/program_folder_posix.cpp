#include <filesystem>
#include <system_error>

#include "stream/native_path.h"
#include "stream/program_folder.h"

std::string ProgramFolder() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return executable.parent_path().string();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(NativePath(path), error);
  return error ? path : Utf8Path(absolute);
}
