#pragma once
// Helpers shared by the stream tests: a scratch directory, whole-file reads and writes,
// and a stream that cannot tell its position (like a pipe).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "stream/native_files.h"
#include "stream/native_path.h"
#include "stream/stream.h"

// A fresh directory under the system's temporary folder for one test, removed with everything in it
// afterwards; optionally the current directory while the test runs.
class TempDirectory {
 public:
  explicit TempDirectory(bool enter = false) {
    path_ = NativeMakeTemporaryFolder("vextral-stream-");
    if (path_.empty()) throw std::runtime_error("no temporary folder could be made");
    if (enter) {
      previous_ = Utf8Path(std::filesystem::current_path());
      std::filesystem::current_path(NativePath(path_));
    }
  }
  ~TempDirectory() {
    if (!previous_.empty()) std::filesystem::current_path(NativePath(previous_));
    std::error_code ignored;
    std::filesystem::permissions(NativePath(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(NativePath(path_), ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(NativePath(path), std::ios::binary) << bytes;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Serves its bytes once, front to back; Pos reports -1 like any pipe.
class PipeLikeStream : public TStream {
 public:
  explicit PipeLikeStream(std::string bytes) : bytes_(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t left = static_cast<int64_t>(bytes_.size() - at_);
    const int64_t moved = count < left ? count : left;
    if (moved <= 0) return 0;
    bytes_.copy(static_cast<char*>(buffer), static_cast<size_t>(moved), at_);
    at_ += static_cast<size_t>(moved);
    return moved;
  }
  int32_t Close() override {
    closed = true;
    return 0;
  }
  bool closed = false;

 private:
  std::string bytes_;
  size_t at_ = 0;
};
