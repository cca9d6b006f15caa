// Text streams: character encodings, numbers as decimal lines, raw bytes as hex text,
// and whole-text loading and saving with byte-order marks.

#include "stream/text_stream.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <type_traits>

namespace {

int32_t HexDigitValue(int32_t digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return 0;
}

char HexDigit(int32_t value) {
  return "0123456789ABCDEF"[value & 15];
}

char Narrow(int32_t character) {
  return static_cast<char>(character > 255 ? '?' : character);
}

template <typename Number>
std::string Decimal(Number value) {
  char text[64];
#if !defined(__cpp_lib_to_chars)
  // A C++ library without floating-point to_chars (Emscripten's): the shortest %g that
  // reads back as the same value, which is what to_chars gives but for its exponent style.
  if constexpr (std::is_floating_point_v<Number>) {
    for (int digits = 1; digits <= 17; ++digits) {
      std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
      if (static_cast<Number>(std::strtod(text, nullptr)) == value) break;
    }
    return text;
  } else {
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
  }
#else
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
#endif
}

}  // namespace

int32_t TTextStream::_ReadByte() {
  return _stream ? _stream->ReadByte() : 0;
}

void TTextStream::_WriteByte(int32_t value) {
  if (_stream) {
    _stream->WriteByte(value);
  } else {
    TStream::WriteByte(value);  // nothing wrapped: fails like any closed stream
  }
}

// Consumes the line break that follows a full line of hex bytes.
void TTextStream::_FlushRead() {
  if (_bufcount == 0) return;
  _bufcount = 0;
  if (Eof()) return;
  int32_t byte = _ReadByte();
  if (byte == 13) byte = _ReadByte();
  if (byte != 10) throw std::runtime_error("Malformed line terminator");
}

// Ends a (possibly partial) line of hex bytes.
void TTextStream::_FlushWrite() {
  if (_bufcount == 0) return;
  _bufcount = 0;
  _WriteByte(13);
  _WriteByte(10);
}

int64_t TTextStream::Read(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count && !Eof()) {
    const int32_t high = HexDigitValue(_ReadByte());
    const int32_t low = HexDigitValue(_ReadByte());
    bytes[done++] = static_cast<uint8_t>(high << 4 | low);
    // The line break is taken at once so that a stream ending after a full line is at
    // its end right away.
    if (++_bufcount == 32) _FlushRead();
  }
  return done;
}

int64_t TTextStream::Write(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int64_t i = 0; i < count; ++i) {
    _WriteByte(HexDigit(bytes[i] >> 4));
    _WriteByte(HexDigit(bytes[i]));
    if (++_bufcount == 32) _FlushWrite();
  }
  return count > 0 ? count : 0;
}

int64_t TTextStream::ReadBytes(void* buffer, int64_t count) {
  return TStream::ReadBytes(buffer, count);
}
int64_t TTextStream::WriteBytes(const void* buffer, int64_t count) {
  return TStream::WriteBytes(buffer, count);
}
int64_t TTextStream::SkipBytes(int64_t count) {
  return TStream::SkipBytes(count);
}

int32_t TTextStream::ReadChar() {
  const int32_t first = _ReadByte();
  switch (_encoding) {
    case kUtf8: {
      if (first < 128) return first;
      if (first < 224) return (first & 31) << 6 | (_ReadByte() & 63);
      if (first < 240) {
        const int32_t second = _ReadByte();
        const int32_t third = _ReadByte();
        return (first & 15) << 12 | (second & 63) << 6 | (third & 63);
      }
      // Beyond 16 bits: skip the rest of the sequence so the stream stays in step.
      _ReadByte();
      _ReadByte();
      _ReadByte();
      return 0;
    }
    case kUtf16BigEndian:
      return first << 8 | _ReadByte();
    case kUtf16LittleEndian:
      return first | _ReadByte() << 8;
    default:
      return first;
  }
}

void TTextStream::WriteChar(int32_t character) {
  switch (_encoding) {
    case kUtf8: {
      const int32_t c = character & 0xFFFF;
      if (c < 128) {
        _WriteByte(c);
      } else if (c < 2048) {
        _WriteByte(192 | c >> 6);
        _WriteByte(128 | (c & 63));
      } else {
        _WriteByte(224 | c >> 12);
        _WriteByte(128 | (c >> 6 & 63));
        _WriteByte(128 | (c & 63));
      }
      break;
    }
    case kUtf16BigEndian:
      _WriteByte(character >> 8);
      _WriteByte(character);
      break;
    case kUtf16LittleEndian:
      _WriteByte(character);
      _WriteByte(character >> 8);
      break;
    default:
      _WriteByte(character);
  }
}

std::string TTextStream::ReadLine() {
  _FlushRead();
  std::string line;
  while (!Eof()) {
    const int32_t c = ReadChar();
    if (c == 0 || c == 10) break;
    if (c != 13) line.push_back(Narrow(c));
  }
  return line;
}

int32_t TTextStream::WriteLine(const std::string& text) {
  _FlushWrite();
  try {
    for (char c : text) WriteChar(static_cast<uint8_t>(c));
    WriteChar(13);
    WriteChar(10);
  } catch (const TStreamWriteException&) {
    return 0;
  }
  return 1;
}

std::string TTextStream::ReadString(int64_t count) {
  _FlushRead();
  std::string text;
  for (int64_t i = 0; i < count && !Eof(); ++i) text.push_back(Narrow(ReadChar()));
  return text;
}

void TTextStream::WriteString(const std::string& text) {
  _FlushWrite();
  for (char c : text) WriteChar(static_cast<uint8_t>(c));
}

std::string TTextStream::ReadFile() {
  _FlushRead();
  std::string text;
  while (!Eof()) text.push_back(Narrow(ReadChar()));
  return text;
}

std::u16string TTextStream::ReadFileWide() {
  _FlushRead();
  std::u16string text;
  while (!Eof()) text.push_back(static_cast<char16_t>(ReadChar()));
  return text;
}

int32_t TTextStream::ReadByte() {
  return static_cast<int32_t>(ReadLong() & 0xFF);
}
void TTextStream::WriteByte(int32_t value) {
  WriteLine(Decimal(value & 0xFF));
}
int32_t TTextStream::ReadShort() {
  return static_cast<int32_t>(ReadLong() & 0xFFFF);
}
void TTextStream::WriteShort(int32_t value) {
  WriteLine(Decimal(value & 0xFFFF));
}
int32_t TTextStream::ReadInt() {
  return static_cast<int32_t>(ReadLong());
}
void TTextStream::WriteInt(int32_t value) {
  WriteLine(Decimal(value));
}
int64_t TTextStream::ReadLong() {
  return static_cast<int64_t>(std::strtoll(ReadLine().c_str(), nullptr, 10));
}
void TTextStream::WriteLong(int64_t value) {
  WriteLine(Decimal(value));
}
float TTextStream::ReadFloat() {
  return std::strtof(ReadLine().c_str(), nullptr);
}
void TTextStream::WriteFloat(float value) {
  WriteLine(Decimal(value));
}
double TTextStream::ReadDouble() {
  return std::strtod(ReadLine().c_str(), nullptr);
}
void TTextStream::WriteDouble(double value) {
  WriteLine(Decimal(value));
}

std::shared_ptr<TTextStream> TTextStream::Create(std::shared_ptr<TStream> stream,
                                                 int32_t encoding) {
  if (!stream) return nullptr;
  auto text = std::make_shared<TTextStream>();
  text->SetStream(std::move(stream));
  text->_encoding = encoding;
  return text;
}

std::shared_ptr<TStream> TTextStreamFactory::CreateStream(const std::string&,
                                                          const std::string& protocol,
                                                          const std::string& path, int32_t readable,
                                                          int32_t writeable) {
  int32_t encoding = 0;
  if (protocol == "latin1") encoding = TTextStream::kLatin1;
  if (protocol == "utf8") encoding = TTextStream::kUtf8;
  if (protocol == "utf16be") encoding = TTextStream::kUtf16BigEndian;
  if (protocol == "utf16le") encoding = TTextStream::kUtf16LittleEndian;
  if (!encoding) return nullptr;
  return TTextStream::Create(StreamOpen(path, readable, writeable), encoding);
}

// ---------------------------------------------------------------------------

std::u16string LoadText(const std::string& url) {
  auto stream = FileOpenRead(url);
  if (!stream) return std::u16string();
  std::string bytes;
  try {
    char chunk[4096];
    for (;;) {
      const int64_t moved = stream->Read(chunk, sizeof chunk);
      if (moved <= 0) break;
      bytes.append(chunk, static_cast<size_t>(moved));
    }
  } catch (const std::exception&) {
    // Keep what was read.
  }
  stream->Close();

  auto at = [&](size_t i) { return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : -1; };
  int32_t encoding = TTextStream::kLatin1;
  int64_t skip = 0;
  if (at(0) == 0xFE && at(1) == 0xFF) {
    encoding = TTextStream::kUtf16BigEndian;
    skip = 2;
  } else if (at(0) == 0xFF && at(1) == 0xFE) {
    encoding = TTextStream::kUtf16LittleEndian;
    skip = 2;
  } else if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    encoding = TTextStream::kUtf8;
    skip = 3;
  }
  auto memory = TRamStream::Create(bytes.data(), static_cast<int64_t>(bytes.size()), 1, 0);
  memory->Seek(skip);
  return TTextStream::Create(memory, encoding)->ReadFileWide();
}

int32_t SaveText(const std::u16string& text, const std::string& url) {
  bool wide = false;
  for (char16_t c : text) wide = wide || c > 255;
  auto stream = FileOpenWrite(url);
  if (!stream) return 0;
  int32_t result = 1;
  try {
    auto writer =
        TTextStream::Create(stream, wide ? TTextStream::kUtf16LittleEndian : TTextStream::kLatin1);
    if (wide) {
      stream->WriteByte(0xFF);
      stream->WriteByte(0xFE);
    }
    for (char16_t c : text) writer->WriteChar(c);
  } catch (const std::exception&) {
    result = 0;
  }
  stream->Close();
  return result;
}
