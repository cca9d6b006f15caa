#pragma once
// Byte streams over files and memory, with typed little-endian reads and writes,
// url protocols ("incbin::name", "bigendian::path", ...) and resources embedded in
// the executable. Streams are not synchronised: one thread at a time per stream.
// Positions, sizes and byte counts are 64-bit; typed values have the widths below.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "stream/filesystem.h"

// ---------------------------------------------------------------------------
// Exceptions

// Base of the stream failures; ToString() gives the same text as what().
class TStreamException : public std::exception {
 public:
  std::string ToString() const { return what(); }
  const char* what() const noexcept override { return "Stream error"; }
};

// A Read that moved nothing before the end of the stream: "Error reading from stream".
class TStreamReadException : public TStreamException {
 public:
  const char* what() const noexcept override { return "Error reading from stream"; }
};

// A Write that moved nothing: "Error writing to stream".
class TStreamWriteException : public TStreamException {
 public:
  const char* what() const noexcept override { return "Error writing to stream"; }
};

// ---------------------------------------------------------------------------
// The raw byte interface.

class TIO {
 public:
  virtual ~TIO() = default;
  // True when the position has reached (or passed) the size.
  virtual bool Eof();
  // The position, or -1 for a stream that cannot tell (not seekable). Default -1.
  virtual int64_t Pos();
  // The size in bytes. Default 0.
  virtual int64_t Size();
  // Moves to position; returns the new position or -1. Default -1.
  virtual int64_t Seek(int64_t position);
  // Default: nothing, returns 0.
  virtual int32_t Flush();
  // Default: nothing, returns 0. Closing twice is harmless for every stream here.
  virtual int32_t Close();
  // Moves up to count bytes and returns how many moved (0 when none could).
  // Defaults throw std::runtime_error "Stream is not readable" / "Stream is not writeable".
  virtual int64_t Read(void* buffer, int64_t count);
  virtual int64_t Write(const void* buffer, int64_t count);
};

// ---------------------------------------------------------------------------
// Typed reads and writes on top of TIO. All typed values move in little-endian
// order; a typed read that meets the end of the stream fills the missing bytes with 0
// and raises nothing. A Read/Write of 0 bytes before the end raises the exceptions above.

class TStream : public TIO {
 public:
  // Reads until count bytes or the end; returns count whatever was read.
  virtual int64_t ReadBytes(void* buffer, int64_t count);
  // Writes all count bytes or throws TStreamWriteException; returns count.
  virtual int64_t WriteBytes(const void* buffer, int64_t count);
  // Reads and discards count bytes (stops quietly at the end); returns count.
  virtual int64_t SkipBytes(int64_t count);

  virtual int32_t ReadByte();              // 0..255
  virtual void WriteByte(int32_t value);   // low 8 bits
  virtual int32_t ReadShort();             // 0..65535
  virtual void WriteShort(int32_t value);  // low 16 bits
  virtual int32_t ReadInt();
  virtual void WriteInt(int32_t value);
  virtual int64_t ReadLong();
  virtual void WriteLong(int64_t value);
  virtual float ReadFloat();
  virtual void WriteFloat(float value);
  virtual double ReadDouble();
  virtual void WriteDouble(double value);

  // Reads bytes up to a 0 or line feed (not included) or the end; carriage returns
  // are dropped; each byte becomes one char. Never throws for reaching the end.
  virtual std::string ReadLine();
  // Writes the chars' low 8 bits then 13, 10. Returns 1 if every byte went, else 0.
  virtual int32_t WriteLine(const std::string& text);
  // Reads count bytes as chars (missing bytes at the end read as 0).
  virtual std::string ReadString(int64_t count);
  virtual void WriteString(const std::string& text);

  // There is no object serialisation: both throw std::runtime_error
  // ("Unable to read object" / "Unable to write object").
  virtual std::shared_ptr<void> ReadObject();
  virtual void WriteObject(const std::shared_ptr<void>& object);
};

// ---------------------------------------------------------------------------
// Wrappers.

// Forwards every raw and typed operation to the wrapped stream. With no wrapped
// stream it behaves as a closed stream: position and size 0, nothing moves.
class TStreamWrapper : public TStream {
 public:
  void SetStream(std::shared_ptr<TStream> stream) { _stream = std::move(stream); }
  const std::shared_ptr<TStream>& GetStream() const { return _stream; }

  bool Eof() override;
  int64_t Pos() override;
  int64_t Size() override;
  int64_t Seek(int64_t position) override;
  int32_t Flush() override;
  int32_t Close() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;

  int64_t ReadBytes(void* buffer, int64_t count) override;
  int64_t WriteBytes(const void* buffer, int64_t count) override;
  int64_t SkipBytes(int64_t count) override;
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
  std::string ReadLine() override;
  int32_t WriteLine(const std::string& text) override;
  std::string ReadString(int64_t count) override;
  void WriteString(const std::string& text) override;
  std::shared_ptr<void> ReadObject() override;
  void WriteObject(const std::shared_ptr<void>& object) override;

 protected:
  std::shared_ptr<TStream> _stream;
};

// What StreamOpen returns for a stream object: closing it only detaches it, so the
// caller's own stream stays open.
class TStreamStream : public TStreamWrapper {
 public:
  int32_t Close() override;
  static std::shared_ptr<TStreamStream> Create(std::shared_ptr<TStream> stream);
};

// ---------------------------------------------------------------------------
// Concrete streams.

// A stream over a C file. _mode: 1 read-only, 2 write-only, 3 read-write.
// A closed TCStream reports position and size 0. Releasing the last reference closes
// the file too, so a forgotten Close cannot lose buffered writes.
class TCStream : public TStream {
 public:
  ~TCStream() override;
  // -1 for a handle that cannot seek (a pipe), so FileOpen reads it into a bank.
  int64_t Pos() override { return _seekable ? _pos : -1; }
  int64_t Size() override { return _size; }
  int64_t Seek(int64_t position) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int32_t Flush() override;
  int32_t Close() override;

  // Readable and writeable: "r+b" (the file must exist); writeable only: "wb" (created
  // or truncated); otherwise "rb". "\" counts as "/", and a path that does not exist as
  // spelled is matched case-insensitively against the disk. nullptr on failure.
  static std::shared_ptr<TCStream> OpenFile(const std::string& path, int32_t readable,
                                            int32_t writeable);
  // Takes ownership of an open handle (closed by Close); nullptr for a null handle.
  static std::shared_ptr<TCStream> CreateWithCStream(std::FILE* handle, int32_t mode);

  int64_t _pos = 0;
  int64_t _size = 0;
  std::FILE* _cstream = nullptr;
  int32_t _mode = 0;

 private:
  // A read-write C file needs a seek between a read and a following write, and back.
  enum class LastAccess { kNone, kRead, kWrite };
  LastAccess _last_access = LastAccess::kNone;
  bool _seekable = true;
  void PrepareFor(LastAccess access);
};

// A stream over caller-owned memory (the memory must outlive it). Seek clamps to
// 0..size; the size never grows; Read/Write are gated by the readable/writeable flags.
class TRamStream : public TStream {
 public:
  int64_t Pos() override { return _pos; }
  int64_t Size() override { return _size; }
  int64_t Seek(int64_t position) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;

  // buffer may be const memory when writeable is 0 (it is never written then).
  static std::shared_ptr<TRamStream> Create(const void* buffer, int64_t size, int32_t readable,
                                            int32_t writeable);

  int64_t _pos = 0;
  int64_t _size = 0;
  uint8_t* _buf = nullptr;
  int32_t _read = 0;
  int32_t _write = 0;
};

// A block of memory owned by the bank; used by FileOpen for non-seekable sources.
class TBank {
 public:
  std::vector<uint8_t> _data;
  // Reads the whole stream (to its end) into a new bank; nullptr for a null stream.
  static std::shared_ptr<TBank> Load(const std::shared_ptr<TStream>& stream);
};

// A TRamStream over a bank that keeps the bank alive.
class TBankStream : public TRamStream {
 public:
  static std::shared_ptr<TBankStream> Create(std::shared_ptr<TBank> bank, int32_t readable,
                                             int32_t writeable);
  std::shared_ptr<TBank> _bank;
};

// The process's standard input (Read) and output (Write). Not seekable.
class TCStandardIO : public TStream {
 public:
  int32_t Flush() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
};
// The one standard-IO stream.
std::shared_ptr<TStream> StandardIOStream();

// ---------------------------------------------------------------------------
// Url protocols.

// Serves urls of the form protocol "::" path. Constructing a factory puts it at the
// head of the list (the newest is asked first); destroying it takes it out. Factories
// are made during start-up, on the main thread.
class TStreamFactory {
 public:
  TStreamFactory();
  virtual ~TStreamFactory();
  TStreamFactory(const TStreamFactory&) = delete;
  TStreamFactory& operator=(const TStreamFactory&) = delete;

  // protocol is already lower case; return nullptr for a url this factory does not serve.
  virtual std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                                const std::string& path, int32_t readable,
                                                int32_t writeable) = 0;

  TStreamFactory* _succ = nullptr;
};

// "incbin": the embedded resource named path, read-only (a write request gets nullptr).
class TRamStreamFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                        const std::string& path, int32_t readable,
                                        int32_t writeable) override;
};

// ---------------------------------------------------------------------------
// Opening and closing.

// A stream object gives a TStreamStream over it (nullptr gives nullptr). A string
// without "::" is a file path (TCStream::OpenFile). "protocol::path" is offered to the
// factories, newest first; the protocol is matched in lower case. nullptr when nothing
// serves it.
std::shared_ptr<TStream> StreamOpen(const std::shared_ptr<TStream>& stream, int32_t readable,
                                    int32_t writeable);
std::shared_ptr<TStream> StreamOpen(const std::string& url, int32_t readable, int32_t writeable);

// StreamOpen, and when the result cannot tell its position and is opened read-only, its
// whole content is read into a bank and a bank stream is returned instead.
std::shared_ptr<TStream> FileOpen(const std::shared_ptr<TStream>& stream, int32_t readable,
                                  int32_t writeable);
std::shared_ptr<TStream> FileOpen(const std::string& url, int32_t readable, int32_t writeable);
// FileOpen(url, 1, 0) and FileOpen(url, 0, 1): the calls the game uses.
std::shared_ptr<TStream> FileOpenRead(const std::string& url);
std::shared_ptr<TStream> FileOpenWrite(const std::string& url);
// Close; a null stream is ignored.
void StreamClose(const std::shared_ptr<TStream>& stream);

// ---------------------------------------------------------------------------
// Resources embedded in the executable (see cmake/VextralEmbed.cmake).

// Records name -> data (not copied; must live for the whole run). The first
// registration of a name wins: a second one adds nothing and returns 0; else 1.
int32_t RegisterEmbedded(const std::string& name, const void* data, int64_t size);
// The registered data and size for name (exact, case-sensitive match), or nullptr and 0.
const uint8_t* EmbeddedData(const std::string& name);
int64_t EmbeddedSize(const std::string& name);
