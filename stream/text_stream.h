#pragma once
// Text streams: characters in Latin-1, UTF-8 or UTF-16, numbers as decimal lines, raw
// bytes as hexadecimal text; the "latin1::", "utf8::", "utf16be::" and "utf16le::" url
// protocols; and loading/saving whole texts with byte-order marks.
// In a std::string each char is one character 0..255; ReadChar/WriteChar and the
// std::u16string helpers reach characters up to 0xFFFF.

#include <cstdint>
#include <memory>
#include <string>

#include "stream/stream.h"

class TTextStream : public TStreamWrapper {
 public:
  enum : int32_t { kLatin1 = 1, kUtf8 = 2, kUtf16BigEndian = 3, kUtf16LittleEndian = 4 };

  // Raw bytes travel as two upper-case hex digits each, with 13, 10 after every 32 bytes.
  // Reading a malformed line break throws std::runtime_error "Malformed line terminator".
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Byte blocks go through the hexadecimal Read/Write above, not the wrapped stream.
  int64_t ReadBytes(void* buffer, int64_t count) override;
  int64_t WriteBytes(const void* buffer, int64_t count) override;
  int64_t SkipBytes(int64_t count) override;

  // Numbers are written as decimal text on a line of their own and read back by line.
  int32_t ReadByte() override;
  void WriteByte(int32_t value) override;
  int32_t ReadShort() override;
  void WriteShort(int32_t value) override;
  int32_t ReadInt() override;
  void WriteInt(int32_t value) override;
  int64_t ReadLong() override;
  void WriteLong(int64_t value) override;
  float ReadFloat() override;
  void WriteFloat(float value) override;
  double ReadDouble() override;
  void WriteDouble(double value) override;

  // Characters up to 0 or 10, 13 dropped; characters above 255 become '?'.
  std::string ReadLine() override;
  int32_t WriteLine(const std::string& text) override;
  // Reads count characters (fewer at the end).
  std::string ReadString(int64_t count) override;
  void WriteString(const std::string& text) override;
  // Every character up to the end.
  std::string ReadFile();
  std::u16string ReadFileWide();

  // One character in the stream's encoding; ReadChar gives 0 at the end.
  int32_t ReadChar();
  void WriteChar(int32_t character);

  // nullptr stream gives nullptr; encoding is one of the constants above.
  static std::shared_ptr<TTextStream> Create(std::shared_ptr<TStream> stream, int32_t encoding);

  int32_t _encoding = kLatin1;
  int32_t _bufcount = 0;

 private:
  int32_t _ReadByte();
  void _WriteByte(int32_t value);
  void _FlushRead();
  void _FlushWrite();
};

class TTextStreamFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                        const std::string& path, int32_t readable,
                                        int32_t writeable) override;
};

// The whole text of url, decoded by its byte-order mark (FE FF UTF-16 big-endian,
// FF FE UTF-16 little-endian, EF BB BF UTF-8, otherwise one byte per character).
// Empty if it cannot be opened.
std::u16string LoadText(const std::string& url);
// Writes text to url: with a character above 255, the mark FF FE and UTF-16
// little-endian; otherwise one byte per character. 1 on success, 0 on failure.
int32_t SaveText(const std::u16string& text, const std::string& url);
