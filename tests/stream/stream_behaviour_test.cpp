// Failures, gating and lifetime rules of the individual stream kinds.

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "stream/stream.h"
#include "tests/stream/stream_test_support.h"

namespace {

// Claims ten bytes but never delivers any, like a file that fails under the reader.
class FailingStream : public TStream {
 public:
  int64_t Pos() override { return 0; }
  int64_t Size() override { return 10; }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t) override { return 0; }
};

TEST(StreamFailures, ReadThatMovesNothingBeforeTheEndThrowsReadException) {
  FailingStream stream;
  EXPECT_THROW(stream.ReadInt(), TStreamReadException);
  EXPECT_THROW(stream.SkipBytes(4), TStreamReadException);
  try {
    stream.ReadByte();
    FAIL();
  } catch (const TStreamException& error) {
    EXPECT_EQ(error.ToString(), "Error reading from stream");
    EXPECT_STREQ(error.what(), "Error reading from stream");
  }
  EXPECT_EQ(stream.ReadLine(), "") << "ReadLine stops quietly instead";
}

TEST(StreamFailures, WriteThatMovesNothingThrowsWriteExceptionButWriteLineReportsZero) {
  FailingStream stream;
  try {
    stream.WriteInt(1);
    FAIL();
  } catch (const TStreamWriteException& error) {
    EXPECT_EQ(error.ToString(), "Error writing to stream");
  }
  EXPECT_EQ(stream.WriteLine("x"), 0);
}

TEST(StreamFailures, BareIoRefusesReadsWritesAndObjects) {
  TStream stream;
  EXPECT_EQ(stream.Pos(), -1);
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Seek(3), -1);
  char byte = 0;
  try {
    stream.Read(&byte, 1);
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Stream is not readable");
  }
  try {
    stream.Write(&byte, 1);
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Stream is not writeable");
  }
  try {
    stream.ReadObject();
    FAIL();
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Unable to read object");
  }
  EXPECT_THROW(stream.WriteObject(nullptr), std::runtime_error);
}

TEST(RamStream, SeekClampsAndTheSizeNeverGrows) {
  char memory[4] = {};
  auto stream = TRamStream::Create(memory, 4, 1, 1);
  EXPECT_EQ(stream->Seek(-5), 0);
  EXPECT_EQ(stream->Seek(99), 4);
  EXPECT_TRUE(stream->Eof());
  stream->Seek(2);
  EXPECT_EQ(stream->Write("abc", 3), 2);
  EXPECT_EQ(stream->Size(), 4);
  EXPECT_THROW(stream->WriteByte(1), TStreamWriteException);
  EXPECT_EQ(memory[3], 'b');
}

TEST(RamStream, FlagsGateReadingAndWriting) {
  char memory[4] = {'a', 'b', 'c', 'd'};
  auto read_only = TRamStream::Create(memory, 4, 1, 0);
  EXPECT_EQ(read_only->Write("z", 1), 0);
  EXPECT_EQ(memory[0], 'a');
  auto write_only = TRamStream::Create(memory, 4, 0, 1);
  char out = 0;
  EXPECT_EQ(write_only->Read(&out, 1), 0);
  EXPECT_EQ(write_only->Read(&out, -1), 0);
}

TEST(CFileStream, WriteOpeningTruncatesAndReadWriteNeedsAnExistingFile) {
  TempDirectory directory;
  const std::string path = directory / "scores.dat";
  WriteFileBytes(path, "0123456789");
  auto stream = FileOpenWrite(path);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Size(), 0);
  stream->WriteInt(7);
  StreamClose(stream);
  EXPECT_EQ(ReadFileBytes(path), std::string("\x07\0\0\0", 4));

  EXPECT_EQ(FileOpen(directory / "missing.dat", 1, 1), nullptr);
  EXPECT_EQ(FileOpenRead(directory / "missing.dat"), nullptr);
  EXPECT_EQ(FileOpenRead(directory.path()), nullptr) << "a directory is not a file";
  EXPECT_EQ(FileOpenRead(""), nullptr);
}

TEST(CFileStream, ReadWriteFileAlternatesReadingAndWriting) {
  TempDirectory directory;
  const std::string path = directory / "mixed.bin";
  WriteFileBytes(path, "abcdef");
  auto stream = FileOpen(path, 1, 1);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->ReadByte(), 'a');
  stream->WriteByte('X');
  EXPECT_EQ(stream->ReadByte(), 'c');
  stream->Seek(6);
  stream->WriteString("gh");
  EXPECT_EQ(stream->Size(), 8);
  stream->Seek(0);
  EXPECT_EQ(stream->ReadString(8), "aXcdefgh");
  StreamClose(stream);
}

TEST(CFileStream, ClosedStreamIsEmptyAndClosingTwiceIsHarmless) {
  TempDirectory directory;
  const std::string path = directory / "a.bin";
  WriteFileBytes(path, "abcd");
  auto stream = FileOpenRead(path);
  ASSERT_TRUE(stream);
  StreamClose(stream);
  StreamClose(stream);
  EXPECT_EQ(stream->Pos(), 0);
  EXPECT_EQ(stream->Size(), 0);
  EXPECT_EQ(stream->ReadInt(), 0);
  EXPECT_THROW(stream->WriteInt(0), TStreamWriteException);
  StreamClose(nullptr);
}

TEST(CFileStream, SeekPastTheEndReadsZerosInsteadOfThrowing) {
  TempDirectory directory;
  const std::string path = directory / "a.bin";
  WriteFileBytes(path, "abcd");
  auto stream = FileOpenRead(path);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Seek(10), 10);
  EXPECT_TRUE(stream->Eof());
  EXPECT_EQ(stream->ReadInt(), 0);
  StreamClose(stream);
}

TEST(CFileStream, ReleasingAnUnclosedWriterStillSavesWhatWasWritten) {
  TempDirectory directory;
  const std::string path = directory / "forgotten.dat";
  {
    auto stream = FileOpenWrite(path);
    ASSERT_TRUE(stream);
    stream->WriteInt(0x01020304);
  }
  EXPECT_EQ(ReadFileBytes(path), "\x04\x03\x02\x01");
}

TEST(StreamObjects, ClosingWhatWasOpenedLeavesTheCallersStreamOpen) {
  TempDirectory directory;
  const std::string path = directory / "a.bin";
  WriteFileBytes(path, "abcdefgh");
  auto original = FileOpenRead(path);
  ASSERT_TRUE(original);
  auto opened = StreamOpen(original, 1, 0);
  ASSERT_TRUE(opened);
  EXPECT_NE(opened, original);
  EXPECT_EQ(opened->ReadInt(), 0x64636261);
  StreamClose(opened);
  EXPECT_EQ(opened->Size(), 0);
  EXPECT_EQ(original->Size(), 8);
  EXPECT_EQ(original->ReadInt(), 0x68676665);
  StreamClose(original);
  EXPECT_EQ(StreamOpen(std::shared_ptr<TStream>(), 1, 0), nullptr);
}

TEST(StreamObjects, NonSeekableSourceIsReadIntoABankForReading) {
  auto pipe = std::make_shared<PipeLikeStream>("\x01\x02\x03\x04xyz");
  auto stream = FileOpen(pipe, 1, 0);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Pos(), 0);
  EXPECT_EQ(stream->Size(), 7);
  EXPECT_EQ(stream->ReadInt(), 0x04030201);
  EXPECT_EQ(stream->Seek(4), 4);
  EXPECT_EQ(stream->ReadLine(), "xyz");
  EXPECT_FALSE(pipe->closed) << "the caller's stream stays open";
}

TEST(StreamObjects, NonSeekableSourceOpenedForWritingIsNotBanked) {
  auto pipe = std::make_shared<PipeLikeStream>("abc");
  auto stream = FileOpen(pipe, 0, 1);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Pos(), -1);
}

}  // namespace
