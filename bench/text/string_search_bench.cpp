// AString searches and checksums against their peers, on a 1 MB text and a
// 64-byte one: crc16 and Hash against the byte-at-a-time definitions (and
// memcpy as the memory-speed limit), the searches and replace against the
// matching std::string operations.
//
// Run: build/bench/string_search_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "bench/ratio.h"
#include "brindle/astring.h"
#include "text/text_kernels.h"

namespace {

// Words of a to y and blanks; the searched-for texts use z, placed by each
// benchmark.
std::string Text(std::size_t size) {
  std::mt19937 rng(42);
  std::string s;
  while (s.size() < size) {
    std::size_t word = 1 + rng() % 9;
    for (std::size_t i = 0; i < word && s.size() < size; ++i) s += static_cast<char>('a' + rng() % 25);
    if (s.size() < size) s += ' ';
  }
  return s;
}

std::size_t SizeOf(benchmark::State const& state) { return static_cast<std::size_t>(state.range(0)); }

unsigned char const* Bytes(std::string const& s) { return reinterpret_cast<unsigned char const*>(s.data()); }

void Processed(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// --- Checksums ----------------------------------------------------------------

void Crc16AString(benchmark::State& state) {
  AString s(Text(SizeOf(state)).c_str());
  for (auto _ : state) benchmark::DoNotOptimize(s.crc16());
  Processed(state);
}

void Crc16ByteAtATime(benchmark::State& state) {
  std::string s = Text(SizeOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(brindle::detail::Crc16Plain(Bytes(s), s.size()));
  Processed(state);
}

void HashAString(benchmark::State& state) {
  AString s(Text(SizeOf(state)).c_str());
  for (auto _ : state) benchmark::DoNotOptimize(s.Hash());
  Processed(state);
}

void HashPlainLoop(benchmark::State& state) {
  std::string s = Text(SizeOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(brindle::detail::HashPlain(Bytes(s), s.size()));
  Processed(state);
}

void Memcpy(benchmark::State& state) {
  std::string s = Text(SizeOf(state));
  std::string d(s.size(), ' ');
  for (auto _ : state) {
    std::memcpy(d.data(), s.data(), s.size());
    benchmark::ClobberMemory();
  }
  Processed(state);
}

// --- Searches -------------------------------------------------------------------

// The text with `tail` written over its end: the one place the search finds.
std::string WithTail(std::size_t size, char const* tail) {
  std::string s = Text(size);
  std::memcpy(s.data() + s.size() - std::strlen(tail), tail, std::strlen(tail));
  return s;
}

std::string WithHead(std::size_t size, char const* head) {
  std::string s = Text(size);
  std::memcpy(s.data(), head, std::strlen(head));
  return s;
}

void FindCharAString(benchmark::State& state) {
  AString s(WithTail(SizeOf(state), "z").c_str());
  for (auto _ : state) benchmark::DoNotOptimize(s.find('z', 0));
  Processed(state);
}

void FindCharStd(benchmark::State& state) {
  std::string s = WithTail(SizeOf(state), "z");
  for (auto _ : state) benchmark::DoNotOptimize(s.find('z', 0));
  Processed(state);
}

// Patterns reach both sides through a pointer the compiler cannot see
// through, as a pattern from elsewhere in a program would: neither gets its
// length folded at compile time.
char const* Opaque(char const* text) {
  benchmark::DoNotOptimize(text);
  return text;
}

void FindTextAString(benchmark::State& state) {
  AString s(WithTail(SizeOf(state), "zebra").c_str());
  char const* zebra = Opaque("zebra");
  for (auto _ : state) benchmark::DoNotOptimize(s.find(zebra, 0));
  Processed(state);
}

void FindTextStd(benchmark::State& state) {
  std::string s = WithTail(SizeOf(state), "zebra");
  char const* zebra = Opaque("zebra");
  for (auto _ : state) benchmark::DoNotOptimize(s.find(zebra, 0));
  Processed(state);
}

void RfindTextAString(benchmark::State& state) {
  AString s(WithHead(SizeOf(state), "zebra").c_str());
  char const* zebra = Opaque("zebra");
  for (auto _ : state) benchmark::DoNotOptimize(s.rfind(zebra, AString::npos));
  Processed(state);
}

void RfindTextStd(benchmark::State& state) {
  std::string s = WithHead(SizeOf(state), "zebra");
  char const* zebra = Opaque("zebra");
  for (auto _ : state) benchmark::DoNotOptimize(s.rfind(zebra, std::string::npos));
  Processed(state);
}

void RfindCharAString(benchmark::State& state) {
  AString s(WithHead(SizeOf(state), "z").c_str());
  for (auto _ : state) benchmark::DoNotOptimize(s.rfind('z', AString::npos));
  Processed(state);
}

void RfindCharStd(benchmark::State& state) {
  std::string s = WithHead(SizeOf(state), "z");
  for (auto _ : state) benchmark::DoNotOptimize(s.rfind('z', std::string::npos));
  Processed(state);
}

void FindFirstOfAString(benchmark::State& state) {
  AString s(WithTail(SizeOf(state), "z").c_str());
  AString set("z0.");
  for (auto _ : state) benchmark::DoNotOptimize(s.find_first_of(set, 0));
  Processed(state);
}

void FindFirstOfStd(benchmark::State& state) {
  std::string s = WithTail(SizeOf(state), "z");
  std::string set("z0.");
  for (auto _ : state) benchmark::DoNotOptimize(s.find_first_of(set, 0));
  Processed(state);
}

// --- Replace every occurrence ------------------------------------------------------
// "ab" occurs about once in 600 bytes of the text; each becomes "[ab]".

void ReplaceAllAString(benchmark::State& state) {
  std::string text = Text(SizeOf(state));
  AString pattern("ab"), replacement("[ab]");
  for (auto _ : state) {
    state.PauseTiming();
    AString s(text.c_str());
    state.ResumeTiming();
    benchmark::DoNotOptimize(s.replace(pattern, replacement, AString::npos));
  }
  Processed(state);
}

// The matching std::string operations: find, then replace in place.
void ReplaceAllStd(benchmark::State& state) {
  std::string text = Text(SizeOf(state));
  for (auto _ : state) {
    state.PauseTiming();
    std::string s = text;
    state.ResumeTiming();
    for (std::size_t at = s.find("ab"); at != std::string::npos; at = s.find("ab", at + 4)) s.replace(at, 2, "[ab]");
    benchmark::DoNotOptimize(s.data());
  }
  Processed(state);
}

// The best linear std::string form: build the result by appending.
void ReplaceAllStdRebuild(benchmark::State& state) {
  std::string text = Text(SizeOf(state));
  for (auto _ : state) {
    state.PauseTiming();
    std::string s = text;
    state.ResumeTiming();
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = s.find("ab"); at != std::string::npos; at = s.find("ab", from)) {
      out.append(s, from, at - from);
      out += "[ab]";
      from = at + 2;
    }
    out.append(s, from, std::string::npos);
    s.swap(out);
    benchmark::DoNotOptimize(s.data());
  }
  Processed(state);
}

constexpr int64_t kLarge = 1 << 20;
constexpr int64_t kSmall = 64;

#define BRINDLE_BOTH_SIZES(fn) BENCHMARK(fn)->Arg(kLarge)->Arg(kSmall)

BRINDLE_BOTH_SIZES(Crc16AString);
BRINDLE_BOTH_SIZES(Crc16ByteAtATime);
BRINDLE_BOTH_SIZES(HashAString);
BRINDLE_BOTH_SIZES(HashPlainLoop);
BRINDLE_BOTH_SIZES(Memcpy);
BRINDLE_BOTH_SIZES(FindCharAString);
BRINDLE_BOTH_SIZES(FindCharStd);
BRINDLE_BOTH_SIZES(FindTextAString);
BRINDLE_BOTH_SIZES(FindTextStd);
BRINDLE_BOTH_SIZES(RfindTextAString);
BRINDLE_BOTH_SIZES(RfindTextStd);
BRINDLE_BOTH_SIZES(RfindCharAString);
BRINDLE_BOTH_SIZES(RfindCharStd);
BRINDLE_BOTH_SIZES(FindFirstOfAString);
BRINDLE_BOTH_SIZES(FindFirstOfStd);
BENCHMARK(ReplaceAllAString)->Arg(kLarge);
BENCHMARK(ReplaceAllStd)->Arg(kLarge);
BENCHMARK(ReplaceAllStdRebuild)->Arg(kLarge);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (char const* size : {"/1048576", "/64"}) {
    auto ratio = [&](char const* label, std::string ours, std::string peer, char const* what, double goal = 0) {
      std::string full = std::string(label) + (size[1] == '1' ? ", 1 MB" : ", 64 B");
      reporter.Ratio(full.c_str(), (ours + size).c_str(), (peer + size).c_str(), what, goal);
    };
    ratio("crc16 vs byte at a time", "Crc16AString", "Crc16ByteAtATime", "higher is slower", 0.125);
    ratio("crc16 vs memcpy", "Crc16AString", "Memcpy", "the memory-speed limit");
    ratio("Hash vs plain loop", "HashAString", "HashPlainLoop", "higher is slower", 0.25);
    ratio("find(char)", "FindCharAString", "FindCharStd", "AString / std::string", 1.0);
    ratio("find(text)", "FindTextAString", "FindTextStd", "AString / std::string", 1.0);
    ratio("rfind(text)", "RfindTextAString", "RfindTextStd", "AString / std::string");
    ratio("rfind(char)", "RfindCharAString", "RfindCharStd", "AString / std::string");
    ratio("find_first_of, 3-character set", "FindFirstOfAString", "FindFirstOfStd", "AString / std::string");
  }
  reporter.Ratio("replace every occurrence, 1 MB", "ReplaceAllAString/1048576", "ReplaceAllStd/1048576",
                 "AString / std::string find+replace");
  reporter.Ratio("replace every occurrence (rebuild), 1 MB", "ReplaceAllAString/1048576",
                 "ReplaceAllStdRebuild/1048576", "AString / std::string appending rebuild");
  benchmark::Shutdown();
  return 0;
}
