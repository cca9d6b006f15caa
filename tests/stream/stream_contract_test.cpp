// The same typed-read and typed-write expectations for every kind of stream.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

// What the typed writes below produce, byte for byte, in little-endian order.
const std::string kTypedBytes(
    "\xAB"
    "\x45\x23"
    "\xFE\xFF\xFF\xFF"
    "\x08\x07\x06\x05\x04\x03\x02\x01"
    "\x00\x00\xC0\x3F"
    "\x00\x00\x00\x00\x00\x00\x00\xC0",
    27);

void WriteTypedValues(TStream& stream) {
  stream.WriteByte(0x1AB);
  stream.WriteShort(0x12345);
  stream.WriteInt(-2);
  stream.WriteLong(0x0102030405060708LL);
  stream.WriteFloat(1.5f);
  stream.WriteDouble(-2.0);
}

// Scratch space that lives as long as one test: files, and memory that streams point into.
struct Scratch {
  TempDirectory directory;
  std::deque<std::string> memory;
  int files = 0;
  std::string NewPath() { return directory / ("stream" + std::to_string(files++) + ".bin"); }
};

struct StreamKind {
  std::string name;
  // A stream reading exactly these bytes.
  std::function<std::shared_ptr<TStream>(Scratch&, const std::string&)> open_reader;
  // A writeable stream and a way to collect what it wrote after closing; absent for
  // read-only kinds.
  std::function<std::shared_ptr<TStream>(Scratch&)> open_writer;
  std::function<std::string(Scratch&, TStream&)> written;
};

std::shared_ptr<TStream> RamOver(Scratch& scratch, const std::string& bytes, int32_t writeable) {
  scratch.memory.push_back(bytes);
  std::string& memory = scratch.memory.back();
  return TRamStream::Create(memory.data(), static_cast<int64_t>(memory.size()), 1, writeable);
}

std::string RamWritten(Scratch& scratch, TStream& stream) {
  return scratch.memory.back().substr(0, static_cast<size_t>(stream.Pos()));
}

std::string FileWritten(Scratch& scratch, TStream& stream) {
  stream.Close();
  return ReadFileBytes(scratch.directory / ("stream" + std::to_string(scratch.files - 1) + ".bin"));
}

std::vector<StreamKind> AllKinds() {
  std::vector<StreamKind> kinds;
  kinds.push_back({"Ram", [](Scratch& s, const std::string& b) { return RamOver(s, b, 0); },
                   [](Scratch& s) { return RamOver(s, std::string(64, '\0'), 1); }, RamWritten});
  kinds.push_back({"File",
                   [](Scratch& s, const std::string& b) {
                     const std::string path = s.NewPath();
                     WriteFileBytes(path, b);
                     return FileOpenRead(path);
                   },
                   [](Scratch& s) { return FileOpenWrite(s.NewPath()); }, FileWritten});
  kinds.push_back({"FileReadWrite",
                   [](Scratch& s, const std::string& b) {
                     const std::string path = s.NewPath();
                     WriteFileBytes(path, b);
                     return FileOpen(path, 1, 1);
                   },
                   [](Scratch& s) {
                     const std::string path = s.NewPath();
                     WriteFileBytes(path, "");
                     return FileOpen(path, 1, 1);
                   },
                   FileWritten});
  kinds.push_back(
      {"StreamObject",
       [](Scratch& s, const std::string& b) { return StreamOpen(RamOver(s, b, 0), 1, 0); },
       [](Scratch& s) { return StreamOpen(RamOver(s, std::string(64, '\0'), 1), 1, 1); },
       RamWritten});
  kinds.push_back({"LittleEndianUrl",
                   [](Scratch& s, const std::string& b) {
                     const std::string path = s.NewPath();
                     WriteFileBytes(path, b);
                     return StreamOpen("littleendian::" + path, 1, 0);
                   },
                   [](Scratch& s) { return StreamOpen("LittleEndian::" + s.NewPath(), 0, 1); },
                   FileWritten});
  kinds.push_back({"BankFromPipe",
                   [](Scratch&, const std::string& b) {
                     return FileOpen(std::make_shared<PipeLikeStream>(b), 1, 0);
                   },
                   nullptr, nullptr});
  kinds.push_back({"Incbin",
                   [](Scratch& s, const std::string& b) {
                     static int serial = 0;
                     s.memory.push_back(b);
                     const std::string name = "contract/" + std::to_string(serial++);
                     RegisterEmbedded(name, s.memory.back().data(), static_cast<int64_t>(b.size()));
                     return StreamOpen("incbin::" + name, 1, 0);
                   },
                   nullptr, nullptr});
  return kinds;
}

std::vector<StreamKind> WriteableKinds() {
  std::vector<StreamKind> kinds;
  for (const StreamKind& kind : AllKinds()) {
    if (kind.open_writer) kinds.push_back(kind);
  }
  return kinds;
}

class StreamContract : public testing::TestWithParam<StreamKind> {
 protected:
  std::shared_ptr<TStream> Reader(const std::string& bytes) {
    auto stream = GetParam().open_reader(scratch_, bytes);
    EXPECT_NE(stream, nullptr);
    return stream;
  }
  Scratch scratch_;
};

TEST_P(StreamContract, TypedReadsDecodeLittleEndianValues) {
  auto stream = Reader(kTypedBytes);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Size(), 27);
  EXPECT_EQ(stream->ReadByte(), 0xAB);
  EXPECT_EQ(stream->ReadShort(), 0x2345);
  EXPECT_EQ(stream->ReadInt(), -2);
  EXPECT_EQ(stream->ReadLong(), 0x0102030405060708LL);
  EXPECT_EQ(stream->ReadFloat(), 1.5f);
  EXPECT_EQ(stream->ReadDouble(), -2.0);
  EXPECT_TRUE(stream->Eof());
  StreamClose(stream);
}

using WriteableStreamContract = StreamContract;

TEST_P(WriteableStreamContract, TypedWritesProduceLittleEndianBytes) {
  auto stream = GetParam().open_writer(scratch_);
  ASSERT_TRUE(stream);
  WriteTypedValues(*stream);
  EXPECT_EQ(stream->Pos(), 27);
  EXPECT_EQ(GetParam().written(scratch_, *stream), kTypedBytes);
}

TEST_P(StreamContract, ShortStreamFillsMissingHighBytesWithZero) {
  auto stream = Reader(std::string("\x01\x02", 2));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadInt(), 513);
  EXPECT_TRUE(stream->Eof());
  EXPECT_EQ(stream->ReadInt(), 0);
  EXPECT_EQ(stream->ReadLong(), 0);
  EXPECT_EQ(stream->ReadDouble(), 0.0);
}

TEST_P(StreamContract, EmptyStreamReadsZerosAndEmptyTextWithoutThrowing) {
  auto stream = Reader("");
  ASSERT_TRUE(stream);
  EXPECT_TRUE(stream->Eof());
  EXPECT_EQ(stream->ReadByte(), 0);
  EXPECT_EQ(stream->ReadShort(), 0);
  EXPECT_EQ(stream->ReadInt(), 0);
  EXPECT_EQ(stream->ReadFloat(), 0.0f);
  EXPECT_EQ(stream->ReadLine(), "");
  EXPECT_EQ(stream->ReadString(3), std::string(3, '\0'));
  EXPECT_EQ(stream->SkipBytes(100), 100);
  char buffer[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(stream->ReadBytes(buffer, 8), 8);
  EXPECT_EQ(buffer[0], 1) << "nothing is read past the end";
}

TEST_P(StreamContract, ReadLineSplitsOnLineFeedAndNulAndDropsCarriageReturns) {
  auto stream = Reader(std::string("ab\r\ncd\nef\0gh\xE9", 14));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadLine(), "ab");
  EXPECT_EQ(stream->ReadLine(), "cd");
  EXPECT_EQ(stream->ReadLine(), "ef");
  EXPECT_EQ(stream->ReadLine(), "gh\xE9");
  EXPECT_TRUE(stream->Eof());
  EXPECT_EQ(stream->ReadLine(), "");
}

TEST_P(StreamContract, SkipAndReadStringTakeBytesInOrder) {
  auto stream = Reader(std::string(2000, 'x') + "hello");
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->SkipBytes(2000), 2000);
  EXPECT_EQ(stream->ReadString(3), "hel");
  EXPECT_EQ(stream->ReadString(5), std::string("lo\0\0\0", 5));
  EXPECT_TRUE(stream->Eof());
}

TEST_P(WriteableStreamContract, WriteLineEndsWithCarriageReturnLineFeed) {
  auto stream = GetParam().open_writer(scratch_);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->WriteLine("ab"), 1);
  stream->WriteString("z");
  EXPECT_EQ(GetParam().written(scratch_, *stream), "ab\r\nz");
}

std::string KindName(const testing::TestParamInfo<StreamKind>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, StreamContract, testing::ValuesIn(AllKinds()), KindName);
INSTANTIATE_TEST_SUITE_P(EveryKind, WriteableStreamContract, testing::ValuesIn(WriteableKinds()),
                         KindName);

}  // namespace
