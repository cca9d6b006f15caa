// Streams over C files and over the process's standard input and output.

#include <cstdio>

#include "stream/filesystem.h"
#include "stream/native_files.h"
#include "stream/stream.h"

TCStream::~TCStream() {
  Close();
}

void TCStream::PrepareFor(LastAccess access) {
  if (_mode == 3 && _last_access != LastAccess::kNone && _last_access != access) {
    NativeSeek(_cstream, _pos, SEEK_SET);
  }
  _last_access = access;
}

int64_t TCStream::Seek(int64_t position) {
  if (!_cstream || !_seekable) return -1;
  NativeSeek(_cstream, position, SEEK_SET);
  const int64_t reported = NativeTell(_cstream);
  if (reported >= 0) _pos = reported;
  _last_access = LastAccess::kNone;
  return _pos;
}

int64_t TCStream::Read(void* buffer, int64_t count) {
  if (!_cstream || count <= 0 || _mode == 2) return 0;
  PrepareFor(LastAccess::kRead);
  const size_t moved = std::fread(buffer, 1, static_cast<size_t>(count), _cstream);
  _pos += static_cast<int64_t>(moved);
  return static_cast<int64_t>(moved);
}

int64_t TCStream::Write(const void* buffer, int64_t count) {
  if (!_cstream || count <= 0 || _mode == 1) return 0;
  PrepareFor(LastAccess::kWrite);
  const size_t moved = std::fwrite(buffer, 1, static_cast<size_t>(count), _cstream);
  _pos += static_cast<int64_t>(moved);
  if (_pos > _size) _size = _pos;
  return static_cast<int64_t>(moved);
}

int32_t TCStream::Flush() {
  if (_cstream) std::fflush(_cstream);
  return 0;
}

int32_t TCStream::Close() {
  if (!_cstream) return 0;
  Flush();
  std::fclose(_cstream);
  _cstream = nullptr;
  _pos = 0;
  _size = 0;
  _seekable = true;
  _last_access = LastAccess::kNone;
  return 0;
}

std::shared_ptr<TCStream> TCStream::OpenFile(const std::string& path, int32_t readable,
                                             int32_t writeable) {
  const char* c_mode = "rb";
  int32_t mode = 1;
  if (readable && writeable) {
    c_mode = "r+b";
    mode = 3;
  } else if (writeable) {
    c_mode = "wb";
    mode = 2;
  }
  if (path.empty()) return nullptr;
  const std::string resolved = ResolvePathCase(NormalisePath(path));
  std::FILE* handle = NativeOpenFile(resolved, c_mode);
  if (!handle) return nullptr;
  return CreateWithCStream(handle, mode);
}

std::shared_ptr<TCStream> TCStream::CreateWithCStream(std::FILE* handle, int32_t mode) {
  if (!handle) return nullptr;
  auto stream = std::make_shared<TCStream>();
  stream->_cstream = handle;
  stream->_mode = mode;
  const int64_t start = NativeTell(handle);
  stream->_seekable = start >= 0;
  stream->_pos = start > 0 ? start : 0;
  if (NativeSeek(handle, 0, SEEK_END)) {
    const int64_t end = NativeTell(handle);
    stream->_size = end > 0 ? end : 0;
    NativeSeek(handle, stream->_pos, SEEK_SET);
  }
  return stream;
}

// ---------------------------------------------------------------------------

int32_t TCStandardIO::Flush() {
  std::fflush(stdout);
  return 0;
}

int64_t TCStandardIO::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), stdin));
}

int64_t TCStandardIO::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), stdout));
}

std::shared_ptr<TStream> StandardIOStream() {
  static const std::shared_ptr<TStream> stream = std::make_shared<TCStandardIO>();
  return stream;
}
