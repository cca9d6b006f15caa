// Costs of the typed reads the loaders lean on: per-value reads from memory and from a
// file, line reads byte by byte, and bulk reads of an embedded-sized block.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "stream/stream.h"

namespace {

void ReadIntFromMemory(benchmark::State& state) {
  std::vector<uint8_t> memory(4096, 7);
  for (auto _ : state) {
    auto stream = TRamStream::Create(memory.data(), static_cast<int64_t>(memory.size()), 1, 0);
    int64_t sum = 0;
    while (!stream->Eof()) sum += stream->ReadInt();
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * 4096);
}
BENCHMARK(ReadIntFromMemory);

void ReadLineFromMemory(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "a line of some twenty characters\r\n";
  for (auto _ : state) {
    auto stream = TRamStream::Create(text.data(), static_cast<int64_t>(text.size()), 1, 0);
    size_t total = 0;
    while (!stream->Eof()) total += stream->ReadLine().size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadLineFromMemory);

void ReadIntFromFile(benchmark::State& state) {
  char path[] = "/tmp/vextral-stream-bench-XXXXXX";
  const int descriptor = mkstemp(path);
  if (descriptor < 0) {
    state.SkipWithError("no scratch file");
    return;
  }
  std::FILE* file = fdopen(descriptor, "wb");
  std::vector<uint8_t> bytes(65536, 3);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  for (auto _ : state) {
    auto stream = FileOpenRead(path);
    int64_t sum = 0;
    while (!stream->Eof()) sum += stream->ReadInt();
    StreamClose(stream);
    benchmark::DoNotOptimize(sum);
  }
  std::remove(path);
  state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(ReadIntFromFile);

void ReadBytesFromEmbeddedBlock(benchmark::State& state) {
  static std::vector<uint8_t> block(1 << 20, 1);
  RegisterEmbedded("bench/block", block.data(), static_cast<int64_t>(block.size()));
  std::vector<uint8_t> out(block.size());
  for (auto _ : state) {
    auto stream = StreamOpen("incbin::bench/block", 1, 0);
    stream->ReadBytes(out.data(), static_cast<int64_t>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}
BENCHMARK(ReadBytesFromEmbeddedBlock);

}  // namespace
