// Big-endian typed values over any stream, and the endian url protocols.

#include "stream/endian_stream.h"

#include <algorithm>
#include <cstring>

void TXEndianStream::Swap2(void* bytes) {
  auto* b = static_cast<uint8_t*>(bytes);
  std::reverse(b, b + 2);
}
void TXEndianStream::Swap4(void* bytes) {
  auto* b = static_cast<uint8_t*>(bytes);
  std::reverse(b, b + 4);
}
void TXEndianStream::Swap8(void* bytes) {
  auto* b = static_cast<uint8_t*>(bytes);
  std::reverse(b, b + 8);
}

namespace {

template <typename Value>
Value Swapped(Value value) {
  uint8_t bytes[sizeof(Value)];
  std::memcpy(bytes, &value, sizeof bytes);
  std::reverse(bytes, bytes + sizeof bytes);
  std::memcpy(&value, bytes, sizeof bytes);
  return value;
}

}  // namespace

int32_t TXEndianStream::ReadShort() {
  return Swapped(static_cast<uint16_t>(TStreamWrapper::ReadShort()));
}
void TXEndianStream::WriteShort(int32_t value) {
  TStreamWrapper::WriteShort(Swapped(static_cast<uint16_t>(value)));
}
int32_t TXEndianStream::ReadInt() {
  return Swapped(TStreamWrapper::ReadInt());
}
void TXEndianStream::WriteInt(int32_t value) {
  TStreamWrapper::WriteInt(Swapped(value));
}
int64_t TXEndianStream::ReadLong() {
  return Swapped(TStreamWrapper::ReadLong());
}
void TXEndianStream::WriteLong(int64_t value) {
  TStreamWrapper::WriteLong(Swapped(value));
}
float TXEndianStream::ReadFloat() {
  return Swapped(TStreamWrapper::ReadFloat());
}
void TXEndianStream::WriteFloat(float value) {
  TStreamWrapper::WriteFloat(Swapped(value));
}
double TXEndianStream::ReadDouble() {
  return Swapped(TStreamWrapper::ReadDouble());
}
void TXEndianStream::WriteDouble(double value) {
  TStreamWrapper::WriteDouble(Swapped(value));
}

std::shared_ptr<TXEndianStream> TXEndianStream::Create(std::shared_ptr<TStream> stream) {
  if (!stream) return nullptr;
  auto wrapper = std::make_shared<TXEndianStream>();
  wrapper->SetStream(std::move(stream));
  return wrapper;
}

std::shared_ptr<TStream> TXEndianStream::BigEndian(std::shared_ptr<TStream> stream) {
  return Create(std::move(stream));
}

std::shared_ptr<TStream> TXEndianStream::LittleEndian(std::shared_ptr<TStream> stream) {
  return stream;
}

std::shared_ptr<TStream> BigEndianStream(std::shared_ptr<TStream> stream) {
  return TXEndianStream::BigEndian(std::move(stream));
}

std::shared_ptr<TStream> LittleEndianStream(std::shared_ptr<TStream> stream) {
  return TXEndianStream::LittleEndian(std::move(stream));
}

std::shared_ptr<TStream> TXEndianStreamFactory::CreateStream(const std::string&,
                                                             const std::string& protocol,
                                                             const std::string& path,
                                                             int32_t readable, int32_t writeable) {
  if (protocol == "bigendian") {
    return TXEndianStream::BigEndian(StreamOpen(path, readable, writeable));
  }
  if (protocol == "littleendian") {
    return TXEndianStream::LittleEndian(StreamOpen(path, readable, writeable));
  }
  return nullptr;
}
