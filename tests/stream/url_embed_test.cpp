// Urls: protocols, factories, and resources compiled into the executable.

#include <gtest/gtest.h>

#include "stream/endian_stream.h"
#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

const char kLogo[] = "PNG-ish bytes";

TEST(EmbeddedResources, ProtocolIgnoresCaseButTheNameDoesNot) {
  RegisterEmbedded("logo", kLogo, 13);
  auto upper = StreamOpen("INCBIN::logo", 1, 0);
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->Size(), 13);
  EXPECT_EQ(upper->ReadString(13), "PNG-ish bytes");
  EXPECT_TRUE(FileOpenRead("Incbin::logo"));
  EXPECT_EQ(StreamOpen("incbin::LOGO", 1, 0), nullptr);
  EXPECT_EQ(StreamOpen("incbin::missing", 1, 0), nullptr);
}

TEST(EmbeddedResources, OpeningForWritingGivesNoStream) {
  RegisterEmbedded("font", kLogo, 4);
  EXPECT_EQ(FileOpenWrite("incbin::font"), nullptr);
  EXPECT_EQ(StreamOpen("incbin::font", 1, 1), nullptr);
  EXPECT_TRUE(StreamOpen("incbin::font", 1, 0));
}

TEST(EmbeddedResources, FirstRegistrationWins) {
  static const char first[] = "first";
  static const char second[] = "second";
  EXPECT_EQ(RegisterEmbedded("twice", first, 5), 1);
  EXPECT_EQ(RegisterEmbedded("twice", second, 6), 0);
  EXPECT_EQ(EmbeddedData("twice"), reinterpret_cast<const uint8_t*>(first));
  EXPECT_EQ(EmbeddedSize("twice"), 5);
  EXPECT_EQ(EmbeddedData("nothing"), nullptr);
  EXPECT_EQ(EmbeddedSize("nothing"), 0);
}

TEST(EmbeddedResources, CompiledInFileIsRegisteredBeforeMainAndServedInPlace) {
  const std::string expected = ReadFileBytes(STREAM_TEST_DATA "/all_bytes.bin");
  ASSERT_EQ(expected.size(), 279u);
  ASSERT_EQ(EmbeddedSize("fixture/all_bytes"), 279);
  const uint8_t* data = EmbeddedData("fixture/all_bytes");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 279), expected);
  EXPECT_EQ(data[279], 0) << "the array carries one spare terminator";

  auto stream = FileOpenRead("incbin::fixture/all_bytes");
  ASSERT_TRUE(stream);
  auto* ram = dynamic_cast<TRamStream*>(stream.get());
  ASSERT_NE(ram, nullptr);
  EXPECT_EQ(ram->_buf, data) << "no copy is made";
}

TEST(EmbeddedResources, FilesEmbeddedThroughLibrariesSurviveTheLink) {
  auto stream = FileOpenRead("incbin::fixture/library note");
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadLine(), "compiled into a static library");
  auto generated = FileOpenRead("incbin::fixture/generated");
  ASSERT_TRUE(generated) << "embedded through an interface library";
  EXPECT_EQ(generated->ReadLine(), "compiled into a static library");
}

TEST(Urls, UnknownOrEmptyProtocolGivesNoStream) {
  EXPECT_EQ(StreamOpen("nosuch::thing", 1, 0), nullptr);
  EXPECT_EQ(StreamOpen("::thing", 1, 0), nullptr);
  EXPECT_EQ(StreamOpen("", 1, 0), nullptr);
  EXPECT_EQ(FileOpenRead("http::example"), nullptr);
}

TEST(Urls, BigEndianProtocolSwapsTypedValues) {
  TempDirectory directory;
  const std::string path = directory / "big.bin";
  WriteFileBytes(path, std::string("\x00\x00\x01\x02\x01\x02", 6));
  auto stream = StreamOpen("BigEndian::" + path, 1, 0);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadInt(), 258);
  EXPECT_EQ(stream->ReadShort(), 258);
  EXPECT_EQ(stream->ReadInt(), 0);
  StreamClose(stream);

  auto writer = StreamOpen("bigendian::" + path, 0, 1);
  ASSERT_TRUE(writer);
  writer->WriteShort(0x0102);
  writer->WriteLong(0x0102030405060708LL);
  writer->WriteFloat(1.5f);
  writer->WriteDouble(-2.0);
  writer->WriteByte(9);
  StreamClose(writer);
  EXPECT_EQ(ReadFileBytes(path),
            std::string("\x01\x02\x01\x02\x03\x04\x05\x06\x07\x08\x3F\xC0\x00\x00"
                        "\xC0\x00\x00\x00\x00\x00\x00\x00\x09",
                        23));
  auto reader = BigEndianStream(FileOpenRead(path));
  EXPECT_EQ(reader->ReadShort(), 0x0102);
  EXPECT_EQ(reader->ReadLong(), 0x0102030405060708LL);
  EXPECT_EQ(reader->ReadFloat(), 1.5f);
  EXPECT_EQ(reader->ReadDouble(), -2.0);
  EXPECT_EQ(reader->ReadByte(), 9);
  StreamClose(reader);

  EXPECT_EQ(StreamOpen("bigendian::" + directory / "missing", 1, 0), nullptr);
  EXPECT_EQ(BigEndianStream(nullptr), nullptr);
}

// Serves "memo::" urls from one fixed buffer, and "incbin::" to show that a newer
// factory is asked before the built-in ones.
class MemoFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                        const std::string& path, int32_t readable,
                                        int32_t) override {
    last_url = url;
    if (protocol != "memo" && !(protocol == "incbin" && path == "shadowed")) return nullptr;
    return TRamStream::Create(memo, 4, readable, 0);
  }
  const char memo[4] = {'m', 'e', 'm', 'o'};
  std::string last_url;
};

TEST(Urls, NewestFactoryIsAskedFirstAndLeavesTheListWhenDestroyed) {
  RegisterEmbedded("shadowed", kLogo, 3);
  {
    MemoFactory factory;
    auto memo = StreamOpen("MEMO::anything", 1, 0);
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->ReadString(4), "memo");
    EXPECT_EQ(factory.last_url, "MEMO::anything");
    EXPECT_EQ(StreamOpen("incbin::shadowed", 1, 0)->Size(), 4);
    EXPECT_EQ(StreamOpen("incbin::logo2", 1, 0), nullptr);
  }
  EXPECT_EQ(StreamOpen("memo::anything", 1, 0), nullptr);
  EXPECT_EQ(StreamOpen("incbin::shadowed", 1, 0)->Size(), 3);
}

}  // namespace
