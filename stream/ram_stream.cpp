// Streams over memory: caller-owned buffers, and banks that own their bytes.

#include <algorithm>
#include <cstring>

#include "stream/stream.h"

int64_t TRamStream::Seek(int64_t position) {
  _pos = std::clamp<int64_t>(position, 0, _size);
  return _pos;
}

int64_t TRamStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || !_read || !_buf) return 0;
  const int64_t moved = std::min(count, _size - _pos);
  if (moved <= 0) return 0;
  std::memcpy(buffer, _buf + _pos, static_cast<size_t>(moved));
  _pos += moved;
  return moved;
}

int64_t TRamStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || !_write || !_buf) return 0;
  const int64_t moved = std::min(count, _size - _pos);
  if (moved <= 0) return 0;
  std::memcpy(_buf + _pos, buffer, static_cast<size_t>(moved));
  _pos += moved;
  return moved;
}

std::shared_ptr<TRamStream> TRamStream::Create(const void* buffer, int64_t size, int32_t readable,
                                               int32_t writeable) {
  auto stream = std::make_shared<TRamStream>();
  // Only ever written through when the caller declared the memory writeable.
  stream->_buf = static_cast<uint8_t*>(const_cast<void*>(buffer));
  stream->_size = buffer && size > 0 ? size : 0;
  stream->_read = readable ? 1 : 0;
  stream->_write = writeable ? 1 : 0;
  return stream;
}

// ---------------------------------------------------------------------------

std::shared_ptr<TBank> TBank::Load(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  auto bank = std::make_shared<TBank>();
  uint8_t chunk[4096];
  for (;;) {
    const int64_t moved = stream->Read(chunk, sizeof chunk);
    if (moved <= 0) break;
    bank->_data.insert(bank->_data.end(), chunk, chunk + moved);
  }
  return bank;
}

std::shared_ptr<TBankStream> TBankStream::Create(std::shared_ptr<TBank> bank, int32_t readable,
                                                 int32_t writeable) {
  if (!bank) return nullptr;
  auto stream = std::make_shared<TBankStream>();
  stream->_buf = bank->_data.data();
  stream->_size = static_cast<int64_t>(bank->_data.size());
  stream->_read = readable ? 1 : 0;
  stream->_write = writeable ? 1 : 0;
  stream->_bank = std::move(bank);
  return stream;
}
