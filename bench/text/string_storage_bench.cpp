// Building a 1 MB string: AString (linear capacity rule) against std::string
// (geometric growth), by single-character += and by 64-byte appends.
//
// Run: build/bench/string_storage_bench
// The ratios printed at the end are AString time / std::string time.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/ratio.h"
#include "brindle/astring.h"

namespace {

constexpr unsigned int kTotal = 1u << 20;
char const kChunk[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
static_assert(sizeof kChunk == 65);

void Noop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kChunk);
}

void AStringCharAppend(benchmark::State& state) {
  for (auto _ : state) {
    AString s;
    for (unsigned int i = 0; i < kTotal; ++i) s += 'x';
    benchmark::DoNotOptimize(s.c_str());
    if (s.reserve() != (kTotal / 32 + 1) * 32) state.SkipWithError("capacity off the rule");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

void StdStringCharAppend(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    for (unsigned int i = 0; i < kTotal; ++i) s += 'x';
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

// The chunk is reached through a pointer the compiler cannot see through, as
// a text from elsewhere in a program would be: neither side gets a length
// folded at compile time.
char const* Chunk() {
  char const* chunk = kChunk;
  benchmark::DoNotOptimize(chunk);
  return chunk;
}

void AStringChunkAppend(benchmark::State& state) {
  char const* chunk = Chunk();
  for (auto _ : state) {
    AString s;
    for (unsigned int i = 0; i < kTotal / 64; ++i) s += chunk;
    benchmark::DoNotOptimize(s.c_str());
    if (s.reserve() != (kTotal / 32 + 1) * 32) state.SkipWithError("capacity off the rule");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

void StdStringChunkAppend(benchmark::State& state) {
  char const* chunk = Chunk();
  for (auto _ : state) {
    std::string s;
    for (unsigned int i = 0; i < kTotal / 64; ++i) s += chunk;
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

BENCHMARK(Noop);
BENCHMARK(AStringCharAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringCharAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(AStringChunkAppend)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringChunkAppend)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("1 MB by single-character +=", "AStringCharAppend", "StdStringCharAppend", "AString / std::string",
                 1.0);
  reporter.Ratio("1 MB by 64-byte appends", "AStringChunkAppend", "StdStringChunkAppend", "AString / std::string",
                 1.0);
  benchmark::Shutdown();
  return 0;
}
