// Runs a program of typed reads, line reads, skips and seeks, taken from the front of the
// input, over the rest of the input as a memory stream, a C file, a big-endian stream or a
// text stream in each encoding; and loads the rest as a whole text. No read may run past the
// data or break the stream's own promises (positions inside the stream, lines without breaks).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "stream/endian_stream.h"
#include "stream/stream.h"
#include "stream/text_stream.h"
#include "tests/fuzz/fuzz_bytes.h"
#include "tests/fuzz/fuzz_stream_url.h"

namespace {

constexpr size_t kProgramLength = 24;

std::shared_ptr<TStream> make_stream(int32_t kind, const uint8_t* data, size_t size,
                                     std::FILE*& file) {
  auto memory = TRamStream::Create(data, static_cast<int64_t>(size), 1, 0);
  switch (kind) {
    case 0:
      return memory;
    case 1: {
      // A C file over a copy of the bytes (fmemopen needs writable memory of at least 1).
      file = fmemopen(nullptr, size + 1, "w+b");
      if (!file) return memory;
      if (size > 0) std::fwrite(data, 1, size, file);
      std::fflush(file);
      std::rewind(file);
      return TCStream::CreateWithCStream(file, 1);
    }
    case 2: {
      auto swapped = std::make_shared<TXEndianStream>();
      swapped->SetStream(memory);
      return swapped;
    }
    case 3: {
      auto bank = TBank::Load(memory);
      return TBankStream::Create(bank, 1, 0);
    }
    default:
      return TTextStream::Create(memory, 1 + (kind - 4) % 4);
  }
}

bool binary_kind(int32_t kind) {
  return kind < 4;
}

void run_program(fuzz_bytes& program, int32_t kind, TStream& stream, int64_t size) {
  for (size_t step = 0; step < kProgramLength; ++step) {
    const uint8_t op = program.byte();
    const int64_t before = stream.Pos();
    switch (op % 16) {
      case 0:
        stream.ReadByte();
        break;
      case 1:
        stream.ReadShort();
        break;
      case 2:
        stream.ReadInt();
        break;
      case 3:
        stream.ReadLong();
        break;
      case 4:
        stream.ReadFloat();
        break;
      case 5:
        stream.ReadDouble();
        break;
      case 6: {
        const std::string line = stream.ReadLine();
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();
        break;
      }
      case 7: {
        const int64_t count = program.byte();
        const std::string text = stream.ReadString(count);
        if (binary_kind(kind) && static_cast<int64_t>(text.size()) != count) __builtin_trap();
        if (static_cast<int64_t>(text.size()) > count) __builtin_trap();
        break;
      }
      case 8: {
        std::vector<uint8_t> buffer(program.byte());
        stream.ReadBytes(buffer.data(), static_cast<int64_t>(buffer.size()));
        break;
      }
      case 9:
        stream.SkipBytes(program.in_range(-4, 300));
        break;
      case 10:
        stream.Seek(program.in_range(-8, static_cast<int32_t>(size) + 8));
        break;
      case 11: {
        std::vector<uint8_t> buffer(program.byte());
        const int64_t moved = stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (moved < 0 || moved > static_cast<int64_t>(buffer.size())) __builtin_trap();
        break;
      }
      case 12:
        if (auto* text = dynamic_cast<TTextStream*>(&stream)) {
          text->ReadChar();
        } else {
          stream.Eof();
        }
        break;
      case 13:
        if (auto* text = dynamic_cast<TTextStream*>(&stream)) text->ReadFile();
        break;
      case 14:
        if (auto* text = dynamic_cast<TTextStream*>(&stream)) text->ReadFileWide();
        break;
      default:
        stream.Size();
        break;
    }
    const int64_t after = stream.Pos();
    // Streams that know their position keep it inside the data; a C file, like the file
    // functions beneath it, may be sought past its end.
    if (binary_kind(kind) && before >= 0 && (after < 0 || (kind != 1 && after > size)))
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_bytes program(data, size < kProgramLength * 2 ? size : kProgramLength * 2);
  const int32_t kind = program.byte() % 8;
  const size_t header = size < kProgramLength * 2 ? size : kProgramLength * 2;
  const uint8_t* content = data + header;
  const size_t content_size = size - header;

  std::FILE* file = nullptr;
  std::shared_ptr<TStream> stream = make_stream(kind, content, content_size, file);
  try {
    run_program(program, kind, *stream, static_cast<int64_t>(content_size));
  } catch (const TStreamException&) {
    // Reads of 0 bytes before the end raise; that is the stream's contract.
  } catch (const std::runtime_error&) {
    // "Malformed line terminator" from hexadecimal text.
  }
  stream->Close();

  // The whole input as a text with a byte-order mark, through the url route.
  fuzz_input_factory& input = fuzz_input();
  input.data = data;
  input.size = size;
  const std::u16string text = LoadText("fuzz::input");
  if (text.size() > size) __builtin_trap();
  return 0;
}
