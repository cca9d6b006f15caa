// The raw byte defaults, the typed reads and writes every stream shares, and the
// forwarding wrappers.

#include "stream/stream.h"

#include <cstring>
#include <stdexcept>

// ---------------------------------------------------------------------------
// TIO defaults

bool TIO::Eof() {
  const int64_t position = Pos();
  // A position past the size (after a seek beyond the end) is also the end; a stream
  // that cannot tell its position (-1) never reports the end from here.
  return position >= 0 && position >= Size();
}
int64_t TIO::Pos() {
  return -1;
}
int64_t TIO::Size() {
  return 0;
}
int64_t TIO::Seek(int64_t) {
  return -1;
}
int32_t TIO::Flush() {
  return 0;
}
int32_t TIO::Close() {
  return 0;
}
int64_t TIO::Read(void*, int64_t) {
  throw std::runtime_error("Stream is not readable");
}
int64_t TIO::Write(const void*, int64_t) {
  throw std::runtime_error("Stream is not writeable");
}

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::ReadBytes(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count && !Eof()) {
    const int64_t moved = Read(bytes + done, count - done);
    if (moved <= 0) throw TStreamReadException();
    done += moved;
  }
  return count;
}

int64_t TStream::WriteBytes(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t moved = Write(bytes + done, count - done);
    if (moved <= 0) throw TStreamWriteException();
    done += moved;
  }
  return count;
}

int64_t TStream::SkipBytes(int64_t count) {
  uint8_t chunk[1024];
  int64_t left = count;
  while (left > 0 && !Eof()) {
    const int64_t want = left < static_cast<int64_t>(sizeof chunk) ? left : sizeof chunk;
    const int64_t moved = Read(chunk, want);
    if (moved <= 0) throw TStreamReadException();
    left -= moved;
  }
  return count;
}

namespace {

// Every typed value starts zeroed so bytes missing at the end of the stream read as 0.
template <typename Value>
Value ReadValue(TStream& stream) {
  uint8_t bytes[sizeof(Value)] = {};
  stream.ReadBytes(bytes, sizeof bytes);
  Value value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename Value>
void WriteValue(TStream& stream, Value value) {
  uint8_t bytes[sizeof(Value)];
  std::memcpy(bytes, &value, sizeof bytes);
  stream.WriteBytes(bytes, sizeof bytes);
}

}  // namespace

int32_t TStream::ReadByte() {
  return ReadValue<uint8_t>(*this);
}
void TStream::WriteByte(int32_t value) {
  WriteValue(*this, static_cast<uint8_t>(value));
}
int32_t TStream::ReadShort() {
  return ReadValue<uint16_t>(*this);
}
void TStream::WriteShort(int32_t value) {
  WriteValue(*this, static_cast<uint16_t>(value));
}
int32_t TStream::ReadInt() {
  return ReadValue<int32_t>(*this);
}
void TStream::WriteInt(int32_t value) {
  WriteValue(*this, value);
}
int64_t TStream::ReadLong() {
  return ReadValue<int64_t>(*this);
}
void TStream::WriteLong(int64_t value) {
  WriteValue(*this, value);
}
float TStream::ReadFloat() {
  return ReadValue<float>(*this);
}
void TStream::WriteFloat(float value) {
  WriteValue(*this, value);
}
double TStream::ReadDouble() {
  return ReadValue<double>(*this);
}
void TStream::WriteDouble(double value) {
  WriteValue(*this, value);
}

std::string TStream::ReadLine() {
  std::string line;
  for (;;) {
    uint8_t byte = 0;
    if (Read(&byte, 1) != 1) break;
    if (byte == 0 || byte == 10) break;
    if (byte != 13) line.push_back(static_cast<char>(byte));
  }
  return line;
}

int32_t TStream::WriteLine(const std::string& text) {
  std::string bytes = text;
  bytes += "\r\n";
  int64_t done = 0;
  const int64_t count = static_cast<int64_t>(bytes.size());
  while (done < count) {
    const int64_t moved = Write(bytes.data() + done, count - done);
    if (moved <= 0) return 0;
    done += moved;
  }
  return 1;
}

std::string TStream::ReadString(int64_t count) {
  if (count <= 0) return std::string();
  std::string text(static_cast<size_t>(count), '\0');
  ReadBytes(text.data(), count);
  return text;
}

void TStream::WriteString(const std::string& text) {
  WriteBytes(text.data(), static_cast<int64_t>(text.size()));
}

std::shared_ptr<void> TStream::ReadObject() {
  throw std::runtime_error("Unable to read object");
}
void TStream::WriteObject(const std::shared_ptr<void>&) {
  throw std::runtime_error("Unable to write object");
}

// ---------------------------------------------------------------------------
// TStreamWrapper: forward, or act as a closed stream when nothing is wrapped.

bool TStreamWrapper::Eof() {
  return _stream ? _stream->Eof() : true;
}
int64_t TStreamWrapper::Pos() {
  return _stream ? _stream->Pos() : 0;
}
int64_t TStreamWrapper::Size() {
  return _stream ? _stream->Size() : 0;
}
int64_t TStreamWrapper::Seek(int64_t position) {
  return _stream ? _stream->Seek(position) : -1;
}
int32_t TStreamWrapper::Flush() {
  return _stream ? _stream->Flush() : 0;
}
int32_t TStreamWrapper::Close() {
  return _stream ? _stream->Close() : 0;
}
int64_t TStreamWrapper::Read(void* buffer, int64_t count) {
  return _stream ? _stream->Read(buffer, count) : 0;
}
int64_t TStreamWrapper::Write(const void* buffer, int64_t count) {
  return _stream ? _stream->Write(buffer, count) : 0;
}

int64_t TStreamWrapper::ReadBytes(void* buffer, int64_t count) {
  return _stream ? _stream->ReadBytes(buffer, count) : TStream::ReadBytes(buffer, count);
}
int64_t TStreamWrapper::WriteBytes(const void* buffer, int64_t count) {
  return _stream ? _stream->WriteBytes(buffer, count) : TStream::WriteBytes(buffer, count);
}
int64_t TStreamWrapper::SkipBytes(int64_t count) {
  return _stream ? _stream->SkipBytes(count) : TStream::SkipBytes(count);
}
int32_t TStreamWrapper::ReadByte() {
  return _stream ? _stream->ReadByte() : TStream::ReadByte();
}
void TStreamWrapper::WriteByte(int32_t value) {
  _stream ? _stream->WriteByte(value) : TStream::WriteByte(value);
}
int32_t TStreamWrapper::ReadShort() {
  return _stream ? _stream->ReadShort() : TStream::ReadShort();
}
void TStreamWrapper::WriteShort(int32_t value) {
  _stream ? _stream->WriteShort(value) : TStream::WriteShort(value);
}
int32_t TStreamWrapper::ReadInt() {
  return _stream ? _stream->ReadInt() : TStream::ReadInt();
}
void TStreamWrapper::WriteInt(int32_t value) {
  _stream ? _stream->WriteInt(value) : TStream::WriteInt(value);
}
int64_t TStreamWrapper::ReadLong() {
  return _stream ? _stream->ReadLong() : TStream::ReadLong();
}
void TStreamWrapper::WriteLong(int64_t value) {
  _stream ? _stream->WriteLong(value) : TStream::WriteLong(value);
}
float TStreamWrapper::ReadFloat() {
  return _stream ? _stream->ReadFloat() : TStream::ReadFloat();
}
void TStreamWrapper::WriteFloat(float value) {
  _stream ? _stream->WriteFloat(value) : TStream::WriteFloat(value);
}
double TStreamWrapper::ReadDouble() {
  return _stream ? _stream->ReadDouble() : TStream::ReadDouble();
}
void TStreamWrapper::WriteDouble(double value) {
  _stream ? _stream->WriteDouble(value) : TStream::WriteDouble(value);
}
std::string TStreamWrapper::ReadLine() {
  return _stream ? _stream->ReadLine() : TStream::ReadLine();
}
int32_t TStreamWrapper::WriteLine(const std::string& text) {
  return _stream ? _stream->WriteLine(text) : TStream::WriteLine(text);
}
std::string TStreamWrapper::ReadString(int64_t count) {
  return _stream ? _stream->ReadString(count) : TStream::ReadString(count);
}
void TStreamWrapper::WriteString(const std::string& text) {
  _stream ? _stream->WriteString(text) : TStream::WriteString(text);
}
std::shared_ptr<void> TStreamWrapper::ReadObject() {
  return _stream ? _stream->ReadObject() : TStream::ReadObject();
}
void TStreamWrapper::WriteObject(const std::shared_ptr<void>& object) {
  _stream ? _stream->WriteObject(object) : TStream::WriteObject(object);
}

// ---------------------------------------------------------------------------
// TStreamStream

int32_t TStreamStream::Close() {
  _stream.reset();
  return 0;
}

std::shared_ptr<TStreamStream> TStreamStream::Create(std::shared_ptr<TStream> stream) {
  if (!stream) return nullptr;
  auto wrapper = std::make_shared<TStreamStream>();
  wrapper->SetStream(std::move(stream));
  return wrapper;
}
