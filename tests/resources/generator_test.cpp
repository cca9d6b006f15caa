// The asset generator: the same bytes on every run, and clear failures.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path FreshFolder(const std::string& name) {
  fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  return folder;
}

TEST(Generator, WritesTheSameBytesOnEveryRun) {
  fs::path folder = FreshFolder("vextral-assetgen-test");
  ASSERT_EQ(
      RunCommand(std::string(VEXTRAL_ASSETGEN) + " " + folder.string() + " " + VEXTRAL_FONT_FILE),
      0);
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(VEXTRAL_ASSET_DIR)) {
    if (!entry.is_regular_file()) continue;
    fs::path relative = fs::relative(entry.path(), VEXTRAL_ASSET_DIR);
    ASSERT_TRUE(fs::exists(folder / relative)) << relative;
    EXPECT_TRUE(Bytes(entry.path()) == Bytes(folder / relative)) << relative << " differs";
    ++compared;
  }
  EXPECT_EQ(compared, 15) << "five images and ten sounds";
  fs::remove_all(folder);
}

TEST(Generator, ReportsAFolderItCannotCreate) {
  fs::path blocker = FreshFolder("vextral-assetgen-blocker");
  std::ofstream(blocker) << "a file where a folder should go";
  std::string command = std::string(VEXTRAL_ASSETGEN) + " " + (blocker / "out").string() + " " +
                        VEXTRAL_FONT_FILE + " 2>/dev/null";
  EXPECT_EQ(RunCommand(command), 1);
  fs::remove(blocker);
}

TEST(Generator, ReportsAnUnreadableFont) {
  fs::path folder = FreshFolder("vextral-assetgen-nofont");
  std::string command =
      std::string(VEXTRAL_ASSETGEN) + " " + folder.string() + " /nonexistent/font.ttf 2>/dev/null";
  EXPECT_EQ(RunCommand(command), 1);
  fs::remove_all(folder);
}

TEST(Generator, RejectsMissingArguments) {
  EXPECT_EQ(RunCommand(std::string(VEXTRAL_ASSETGEN) + " 2>/dev/null"), 2);
}

}  // namespace
