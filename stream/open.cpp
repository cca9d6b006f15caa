// Opening urls: the factory list, StreamOpen/FileOpen, the embedded-resource list and
// the "incbin" protocol that serves it.

#include <map>
#include <mutex>

#include "stream/endian_stream.h"
#include "stream/stream.h"
#include "stream/text_stream.h"

namespace {

// Constant-initialised, so factories made by other files' static objects find it ready.
TStreamFactory* factory_head = nullptr;

// Set while the built-in factories are being made, whose constructors come back here.
thread_local bool making_built_in_factories = false;

// The runtime's own factories join the list before the first factory of anyone else,
// so a later factory can still take over a protocol by being newer. The static guard
// makes a first use from two threads at once safe.
void EnsureBuiltInFactories() {
  if (making_built_in_factories) return;
  [[maybe_unused]] static const bool made = [] {
    making_built_in_factories = true;
    static TRamStreamFactory ram_factory;
    static TXEndianStreamFactory endian_factory;
    static TTextStreamFactory text_factory;
    making_built_in_factories = false;
    return true;
  }();
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

struct EmbeddedRecord {
  const uint8_t* data;
  int64_t size;
};

// Filled by static initialisers of the executable's embedded resources, so it must be
// usable before main and independent of the order other files initialise in.
std::map<std::string, EmbeddedRecord>& EmbeddedRecords() {
  static std::map<std::string, EmbeddedRecord> records;
  return records;
}

std::mutex& EmbeddedMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

TStreamFactory::TStreamFactory() {
  EnsureBuiltInFactories();
  _succ = factory_head;
  factory_head = this;
}

TStreamFactory::~TStreamFactory() {
  for (TStreamFactory** link = &factory_head; *link; link = &(*link)->_succ) {
    if (*link == this) {
      *link = _succ;
      break;
    }
  }
}

std::shared_ptr<TStream> StreamOpen(const std::shared_ptr<TStream>& stream, int32_t readable,
                                    int32_t writeable) {
  if (!stream) return StreamOpen(std::string(), readable, writeable);
  return TStreamStream::Create(stream);
}

std::shared_ptr<TStream> StreamOpen(const std::string& url, int32_t readable, int32_t writeable) {
  const size_t separator = url.find("::");
  if (!url.empty() && separator == std::string::npos) {
    return TCStream::OpenFile(url, readable, writeable);
  }
  std::string protocol;
  std::string path;
  if (separator != std::string::npos) {
    protocol = LowerAscii(url.substr(0, separator));
    path = url.substr(separator + 2);
  }
  EnsureBuiltInFactories();
  for (TStreamFactory* factory = factory_head; factory; factory = factory->_succ) {
    if (auto stream = factory->CreateStream(url, protocol, path, readable, writeable)) {
      return stream;
    }
  }
  return nullptr;
}

namespace {

// A source that cannot tell its position is read whole into a bank. Only for
// read-only opening: a bank would silently swallow anything written to it.
std::shared_ptr<TStream> BankIfNotSeekable(std::shared_ptr<TStream> stream, int32_t readable,
                                           int32_t writeable) {
  if (!stream || stream->Pos() != -1 || !readable || writeable) return stream;
  std::shared_ptr<TBank> bank;
  try {
    bank = TBank::Load(stream);
  } catch (const std::exception&) {
    bank = nullptr;
  }
  stream->Close();
  return TBankStream::Create(bank, 1, 0);
}

}  // namespace

std::shared_ptr<TStream> FileOpen(const std::shared_ptr<TStream>& stream, int32_t readable,
                                  int32_t writeable) {
  return BankIfNotSeekable(StreamOpen(stream, readable, writeable), readable, writeable);
}

std::shared_ptr<TStream> FileOpen(const std::string& url, int32_t readable, int32_t writeable) {
  return BankIfNotSeekable(StreamOpen(url, readable, writeable), readable, writeable);
}

std::shared_ptr<TStream> FileOpenRead(const std::string& url) {
  return FileOpen(url, 1, 0);
}
std::shared_ptr<TStream> FileOpenWrite(const std::string& url) {
  return FileOpen(url, 0, 1);
}

void StreamClose(const std::shared_ptr<TStream>& stream) {
  if (stream) stream->Close();
}

// ---------------------------------------------------------------------------
// Embedded resources

int32_t RegisterEmbedded(const std::string& name, const void* data, int64_t size) {
  std::lock_guard<std::mutex> lock(EmbeddedMutex());
  const bool added =
      EmbeddedRecords()
          .emplace(name, EmbeddedRecord{static_cast<const uint8_t*>(data), size > 0 ? size : 0})
          .second;
  return added ? 1 : 0;
}

const uint8_t* EmbeddedData(const std::string& name) {
  std::lock_guard<std::mutex> lock(EmbeddedMutex());
  const auto found = EmbeddedRecords().find(name);
  return found == EmbeddedRecords().end() ? nullptr : found->second.data;
}

int64_t EmbeddedSize(const std::string& name) {
  std::lock_guard<std::mutex> lock(EmbeddedMutex());
  const auto found = EmbeddedRecords().find(name);
  return found == EmbeddedRecords().end() ? 0 : found->second.size;
}

std::shared_ptr<TStream> TRamStreamFactory::CreateStream(const std::string&,
                                                         const std::string& protocol,
                                                         const std::string& path, int32_t readable,
                                                         int32_t writeable) {
  if (protocol != "incbin" || writeable) return nullptr;
  const uint8_t* data = EmbeddedData(path);
  if (!data) return nullptr;
  return TRamStream::Create(data, EmbeddedSize(path), readable, 0);
}
