// Stream input and editing: AString against std::string.
//   - read_line over 64 MB of mixed line lengths against std::getline;
//   - read_token over the same text against operator>> into std::string;
//   - justify and strip on a million short strings against the same edits
//     written with std::string's members.
// Both sides read from a std::istringstream over the same text, built in
// memory, rewound for each iteration, and reuse one string object across
// reads.
//
// Run: build/bench/string_edit_bench --benchmark_repetitions=3
// The ratios printed at the end are AString time / std::string time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "brindle/astring.h"

namespace {

constexpr std::size_t kTextSize = 64u << 20;
constexpr int kShortStrings = 1000000;

// Lines of 0 to 160 characters, mostly short, one in a hundred up to 4,000;
// words of 1 to 12 letters separated by one or two blanks.
std::string const& Text() {
  static std::string const text = [] {
    std::mt19937 rng(42);
    std::string t;
    t.reserve(kTextSize + 5000);
    while (t.size() < kTextSize) {
      std::size_t line = rng() % 100 == 0 ? rng() % 4000 : rng() % 160;
      std::size_t end = t.size() + line;
      while (t.size() < end) {
        std::size_t word = 1 + rng() % 12;
        for (std::size_t i = 0; i < word && t.size() < end; ++i) t += static_cast<char>('a' + rng() % 26);
        if (t.size() < end) t += rng() % 4 == 0 ? "  " : " ";
      }
      t += '\n';
    }
    return t;
  }();
  return text;
}

void Rewind(std::istringstream& in) {
  in.clear();
  in.seekg(0);
}

void Noop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Text().size());
}

void AStringReadLine(benchmark::State& state) {
  std::istringstream in(Text());
  for (auto _ : state) {
    Rewind(in);
    AString line;
    std::size_t total = 0;
    while (line.read_line(in), in.good() || line.length() != 0) total += line.length();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}

void StdGetline(benchmark::State& state) {
  std::istringstream in(Text());
  for (auto _ : state) {
    Rewind(in);
    std::string line;
    std::size_t total = 0;
    while (std::getline(in, line)) total += line.size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}

void AStringReadToken(benchmark::State& state) {
  std::istringstream in(Text());
  for (auto _ : state) {
    Rewind(in);
    AString token;
    std::size_t total = 0;
    while (token.read_token(in), token.length() != 0) total += token.length();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}

void StdExtractToken(benchmark::State& state) {
  std::istringstream in(Text());
  for (auto _ : state) {
    Rewind(in);
    std::string token;
    std::size_t total = 0;
    while (in >> token) total += token.size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}

// Short texts with blanks around them: " abc  ", "de ", ...
std::vector<std::string> const& ShortTexts() {
  static std::vector<std::string> const texts = [] {
    std::mt19937 rng(7);
    std::vector<std::string> v;
    v.reserve(kShortStrings);
    for (int i = 0; i < kShortStrings; ++i) {
      std::string s(rng() % 3, ' ');
      for (unsigned int n = 1 + rng() % 10; n > 0; --n) s += static_cast<char>('a' + rng() % 26);
      s.append(rng() % 3, ' ');
      v.push_back(s);
    }
    return v;
  }();
  return texts;
}

std::vector<AString> MakeAStrings() {
  std::vector<AString> v;
  v.reserve(kShortStrings);
  for (std::string const& s : ShortTexts()) v.emplace_back(s.c_str());
  return v;
}

// Times `edit` on every string of a fresh copy of the short texts; making the
// copy and destroying the last one are not timed (std::string keeps short
// texts inline, AString frees a block each: not what the edit costs).
template <class Make, class Edit>
void EditEach(benchmark::State& state, Make make, Edit edit) {
  decltype(make()) v;
  for (auto _ : state) {
    state.PauseTiming();
    v = make();
    state.ResumeTiming();
    for (auto& s : v) edit(s);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kShortStrings);
}

std::vector<std::string> CopyShortTexts() { return ShortTexts(); }

void StripBlanks(std::string& s) {
  s.erase(s.find_last_not_of(' ') + 1);
  s.erase(0, s.find_first_not_of(' '));
}

void AStringJustify(benchmark::State& state) {
  EditEach(state, MakeAStrings,
           [](AString& s) { s.justify(AString::justify_center, 16, AString::justify_strip); });
}

// The same edit with std::string: strip blanks at both ends, then half the
// fill behind and the rest in front.
void StdStringJustify(benchmark::State& state) {
  EditEach(state, CopyShortTexts, [](std::string& s) {
    StripBlanks(s);
    if (s.size() < 16) {
      std::size_t fill = 16 - s.size();
      s.append(fill / 2, ' ');
      s.insert(0, fill - fill / 2, ' ');
    }
  });
}

void AStringStrip(benchmark::State& state) {
  EditEach(state, MakeAStrings, [](AString& s) { s.strip(AString::strip_both, ' '); });
}

void StdStringStrip(benchmark::State& state) { EditEach(state, CopyShortTexts, StripBlanks); }

BENCHMARK(Noop);
BENCHMARK(AStringReadLine)->Unit(benchmark::kMillisecond);
BENCHMARK(StdGetline)->Unit(benchmark::kMillisecond);
BENCHMARK(AStringReadToken)->Unit(benchmark::kMillisecond);
BENCHMARK(StdExtractToken)->Unit(benchmark::kMillisecond);
BENCHMARK(AStringJustify)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringJustify)->Unit(benchmark::kMillisecond);
BENCHMARK(AStringStrip)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringStrip)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("read_line, 64 MB of mixed lines", "AStringReadLine", "StdGetline", "AString / std::getline");
  reporter.Ratio("read_token, 64 MB", "AStringReadToken", "StdExtractToken", "AString / operator>>");
  reporter.Ratio("justify, a million short strings", "AStringJustify", "StdStringJustify", "AString / std::string",
                 1.2);
  reporter.Ratio("strip, a million short strings", "AStringStrip", "StdStringStrip", "AString / std::string", 1.2);
  benchmark::Shutdown();
  return 0;
}
