// Text streams: encodings, numbers as lines, bytes as hex, and whole-text files.

#include <gtest/gtest.h>

#include <stdexcept>

#include "stream/text_stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

// A text stream over growable scratch memory in a file, read back as raw bytes.
class TextFile : public testing::Test {
 protected:
  std::shared_ptr<TTextStream> Writer(int32_t encoding) {
    return TTextStream::Create(FileOpenWrite(path_), encoding);
  }
  std::shared_ptr<TTextStream> Reader(int32_t encoding) {
    return TTextStream::Create(FileOpenRead(path_), encoding);
  }
  std::string Bytes() { return ReadFileBytes(path_); }
  TempDirectory directory_;
  std::string path_ = directory_ / "text.txt";
};

TEST_F(TextFile, EachEncodingWritesAndReadsCharacters) {
  struct Case {
    int32_t encoding;
    std::string bytes;
  };
  const Case cases[] = {
      {TTextStream::kLatin1, std::string("A\xE9", 2)},
      {TTextStream::kUtf8, std::string("A\xC3\xA9\xE2\x82\xAC", 6)},
      {TTextStream::kUtf16BigEndian, std::string("\0A\0\xE9\x20\xAC", 6)},
      {TTextStream::kUtf16LittleEndian, std::string("A\0\xE9\0\xAC\x20", 6)},
  };
  for (const Case& c : cases) {
    auto writer = Writer(c.encoding);
    writer->WriteChar('A');
    writer->WriteChar(0xE9);
    if (c.encoding != TTextStream::kLatin1) writer->WriteChar(0x20AC);
    StreamClose(writer);
    EXPECT_EQ(Bytes(), c.bytes) << "encoding " << c.encoding;
    auto reader = Reader(c.encoding);
    EXPECT_EQ(reader->ReadChar(), 'A');
    EXPECT_EQ(reader->ReadChar(), 0xE9);
    if (c.encoding != TTextStream::kLatin1) {
      EXPECT_EQ(reader->ReadChar(), 0x20AC);
    }
    EXPECT_TRUE(reader->Eof());
    EXPECT_EQ(reader->ReadChar(), 0);
    StreamClose(reader);
  }
}

TEST_F(TextFile, FourByteUtf8ReadsAsZeroAndKeepsTheStreamInStep) {
  WriteFileBytes(path_, "\xF0\x9F\x98\x80z");
  auto reader = Reader(TTextStream::kUtf8);
  EXPECT_EQ(reader->ReadChar(), 0);
  EXPECT_EQ(reader->ReadChar(), 'z');
}

TEST_F(TextFile, NumbersTravelAsDecimalLines) {
  auto writer = Writer(TTextStream::kLatin1);
  writer->WriteInt(-42);
  writer->WriteByte(300);
  writer->WriteFloat(1.5f);
  writer->WriteDouble(0.1);
  writer->WriteLong(-9000000000LL);
  EXPECT_EQ(writer->WriteLine("done"), 1);
  StreamClose(writer);
  EXPECT_EQ(Bytes(), "-42\r\n44\r\n1.5\r\n0.1\r\n-9000000000\r\ndone\r\n");

  auto reader = Reader(TTextStream::kLatin1);
  EXPECT_EQ(reader->ReadInt(), -42);
  EXPECT_EQ(reader->ReadByte(), 44);
  EXPECT_EQ(reader->ReadFloat(), 1.5f);
  EXPECT_EQ(reader->ReadDouble(), 0.1);
  EXPECT_EQ(reader->ReadLong(), -9000000000LL);
  EXPECT_EQ(reader->ReadLine(), "done");
  EXPECT_EQ(reader->ReadInt(), 0) << "at the end";
}

TEST_F(TextFile, RawBytesTravelAsHexLinesOf32) {
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<char>(i * 7));
  auto writer = Writer(TTextStream::kLatin1);
  writer->WriteBytes(bytes.data(), 40);
  StreamClose(writer);
  const std::string text = Bytes();
  ASSERT_EQ(text.size(), 64u + 2 + 16);
  EXPECT_EQ(text.substr(0, 8), "00070E15");
  EXPECT_EQ(text.substr(64, 2), "\r\n");

  auto reader = Reader(TTextStream::kLatin1);
  std::string back(40, '\0');
  reader->ReadBytes(back.data(), 40);
  EXPECT_EQ(back, bytes);
  EXPECT_TRUE(reader->Eof());
}

TEST_F(TextFile, FullHexLineAtTheEndLeavesTheStreamAtItsEnd) {
  auto writer = Writer(TTextStream::kLatin1);
  const std::string bytes(32, '\x5A');
  writer->WriteBytes(bytes.data(), 32);
  StreamClose(writer);
  auto reader = Reader(TTextStream::kLatin1);
  std::string back(32, '\0');
  reader->ReadBytes(back.data(), 32);
  EXPECT_EQ(back, bytes);
  EXPECT_TRUE(reader->Eof());
  EXPECT_EQ(reader->ReadInt(), 0);
}

TEST_F(TextFile, MalformedHexLineBreakIsRefused) {
  WriteFileBytes(path_, std::string(64, 'A') + "X" + "AA");
  auto reader = Reader(TTextStream::kLatin1);
  char buffer[33];
  try {
    reader->ReadBytes(buffer, 33);
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Malformed line terminator");
  }
}

TEST(TextUrls, ProtocolsChooseTheEncoding) {
  TempDirectory directory;
  const std::string path = directory / "t.txt";
  auto writer = StreamOpen("UTF16LE::" + path, 0, 1);
  ASSERT_TRUE(writer);
  writer->WriteLine("hi");
  StreamClose(writer);
  EXPECT_EQ(ReadFileBytes(path), std::string("h\0i\0\r\0\n\0", 8));
  auto reader = StreamOpen("utf16le::" + path, 1, 0);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->ReadLine(), "hi");
  EXPECT_EQ(StreamOpen("utf32::" + path, 1, 0), nullptr);
  EXPECT_EQ(StreamOpen("utf8::" + directory / "missing", 1, 0), nullptr);
}

TEST(WholeTexts, SavingPicksTheNarrowestFormAndLoadingHonoursByteOrderMarks) {
  TempDirectory directory;
  const std::string path = directory / "t.txt";
  EXPECT_EQ(SaveText(u"caf\u00e9", path), 1);
  EXPECT_EQ(ReadFileBytes(path), "caf\xE9");
  EXPECT_EQ(LoadText(path), u"caf\u00e9");

  EXPECT_EQ(SaveText(u"\u20ac1", path), 1);
  EXPECT_EQ(ReadFileBytes(path), std::string("\xFF\xFE\xAC\x20"
                                             "1\0",
                                             6));
  EXPECT_EQ(LoadText(path), u"\u20ac1");

  WriteFileBytes(path, "\xEF\xBB\xBF\xE2\x82\xAC!");
  EXPECT_EQ(LoadText(path), u"\u20ac!");
  WriteFileBytes(path, std::string("\xFE\xFF\x20\xAC", 4));
  EXPECT_EQ(LoadText(path), u"\u20ac");

  EXPECT_EQ(LoadText(directory / "missing"), u"");
  EXPECT_EQ(SaveText(u"x", directory / "no/such/dir.txt"), 0);
}

}  // namespace
