// ARect::Subtract and ARect::operator&= over a million random rectangle
// pairs, beside a plain inline intersection of the same records and a loop
// that only copies them (the cost of the data traffic alone).
//
// Run: build/bench/rect_bench
// The "per_call" counter is the CPU time of one call; the ratios printed at
// the end are ARect time / inline peer time, and Subtract / &=.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench/ratio.h"
#include "brindle/geometry.h"

namespace {

constexpr int kPairs = 1'000'000;

struct Pairs {
  std::vector<ARect> a;
  std::vector<ARect> b;
};

// Normalised rectangles in a 1000 x 1000 plane, about half of the pairs
// overlapping.
Pairs const& RandomPairs() {
  static Pairs const pairs = [] {
    std::mt19937 rng(7);
    auto random_rect = [&] {
      int x = static_cast<int>(rng() % 1000);
      int y = static_cast<int>(rng() % 1000);
      return ARect(x, y, x + 1 + static_cast<int>(rng() % 300), y + 1 + static_cast<int>(rng() % 300));
    };
    Pairs p;
    p.a.reserve(kPairs);
    p.b.reserve(kPairs);
    for (int i = 0; i < kPairs; ++i) {
      p.a.push_back(random_rect());
      p.b.push_back(random_rect());
    }
    return p;
  }();
  return pairs;
}

void PerCall(benchmark::State& state) {
  state.counters["per_call"] =
      benchmark::Counter(kPairs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void CopyOnly(benchmark::State& state) {
  Pairs const& p = RandomPairs();
  std::vector<RECT> out(kPairs);
  for (auto _ : state) {
    for (int i = 0; i < kPairs; ++i) out[static_cast<std::size_t>(i)] = p.a[static_cast<std::size_t>(i)];
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerCall(state);
}

void InlineIntersect(benchmark::State& state) {
  Pairs const& p = RandomPairs();
  std::vector<RECT> out(kPairs);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPairs; ++i) {
      RECT r = p.a[i];
      RECT const& o = p.b[i];
      bool self_null = (r.left | r.top | r.right | r.bottom) == 0;
      bool other_null = (o.left | o.top | o.right | o.bottom) == 0;
      if (!self_null) {
        if (other_null) {
          r = RECT{0, 0, 0, 0};
        } else {
          r = RECT{std::max(r.left, o.left), std::max(r.top, o.top), std::min(r.right, o.right),
                   std::min(r.bottom, o.bottom)};
        }
      }
      out[i] = r;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerCall(state);
}

void ARectIntersect(benchmark::State& state) {
  Pairs const& p = RandomPairs();
  std::vector<ARect> out(kPairs);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPairs; ++i) {
      static_cast<RECT&>(out[i]) = p.a[i];  // the record's own copy: only &= is called
      out[i] &= p.b[i];
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerCall(state);
}

void ARectSubtract(benchmark::State& state) {
  Pairs const& p = RandomPairs();
  ARect out[4];
  long pieces = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPairs; ++i) {
      pieces += p.a[i].Subtract(p.b[i], out);
      benchmark::DoNotOptimize(out);
    }
  }
  benchmark::DoNotOptimize(pieces);
  PerCall(state);
}

BENCHMARK(CopyOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(InlineIntersect)->Unit(benchmark::kMillisecond);
BENCHMARK(ARectIntersect)->Unit(benchmark::kMillisecond);
BENCHMARK(ARectSubtract)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("&= over 1M pairs", "ARectIntersect", "InlineIntersect", "ARect / inline");
  reporter.Ratio("Subtract over 1M pairs vs &=", "ARectSubtract", "ARectIntersect", "Subtract / &=");
  benchmark::Shutdown();
  return 0;
}
