#pragma once
// Big-endian typed reads and writes, and the "bigendian::" / "littleendian::" url
// protocols (registered automatically with the other built-in factories).

#include <memory>

#include "stream/stream.h"

// Wraps a stream; short, int, long, float and double move most significant byte first.
// Everything else is forwarded unchanged.
class TXEndianStream : public TStreamWrapper {
 public:
  static void Swap2(void* bytes);
  static void Swap4(void* bytes);
  static void Swap8(void* bytes);

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

  // nullptr gives nullptr.
  static std::shared_ptr<TXEndianStream> Create(std::shared_ptr<TStream> stream);
  // Create(stream); and the stream itself, whose typed operations are little-endian already.
  static std::shared_ptr<TStream> BigEndian(std::shared_ptr<TStream> stream);
  static std::shared_ptr<TStream> LittleEndian(std::shared_ptr<TStream> stream);
};

// The same as TXEndianStream::BigEndian and TXEndianStream::LittleEndian.
std::shared_ptr<TStream> BigEndianStream(std::shared_ptr<TStream> stream);
std::shared_ptr<TStream> LittleEndianStream(std::shared_ptr<TStream> stream);

// "bigendian::path" and "littleendian::path": StreamOpen(path) wrapped as above.
class TXEndianStreamFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                        const std::string& path, int32_t readable,
                                        int32_t writeable) override;
};
