// AHugeNum against unsigned __int128 masked to 96 bits (shifts by random
// counts, additions, comparisons), and ABitField::ForEachSet against
// testing every bit of a 65,535-bit field with 1% of its bits set.
//
// Run: build/bench/bits_bench
// The ratios printed at the end are AHugeNum / __int128 time, the shifts'
// and the addition's with their goals, and bit-by-bit / ForEachSet time
// (goal: at least 10).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench/ratio.h"
#include "brindle/bits.h"

namespace {

__extension__ typedef unsigned __int128 U128;
U128 const kMask96 = (U128{1} << 96) - 1;
constexpr std::size_t kValues = 4096;

struct Inputs {
  std::vector<AHugeNum> huge;
  std::vector<U128> wide;
  std::vector<int> counts;  // any int: negative and past 96 included
};

Inputs const& RandomInputs() {
  static Inputs const inputs = [] {
    std::mt19937_64 rng(96);
    Inputs in;
    for (std::size_t i = 0; i < kValues; ++i) {
      U128 v = (U128{rng()} << 64 | rng()) & kMask96;
      AHugeNum n(static_cast<unsigned int>(v >> 64));
      n <<= 32;
      n |= AHugeNum(static_cast<unsigned int>(v >> 32));
      n <<= 32;
      n |= AHugeNum(static_cast<unsigned int>(v));
      in.huge.push_back(n);
      in.wide.push_back(v);
      in.counts.push_back(static_cast<int>(static_cast<std::uint32_t>(rng())));
    }
    return in;
  }();
  return inputs;
}

void SetItems(benchmark::State& state) { state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValues)); }

// Each operation works on its own inputs, as abseil's int128 benchmarks do,
// so the time is that of the operation rather than of a chain of them.
void HugeShift(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 0; i < kValues; ++i) {
      AHugeNum n = in.huge[i];
      if (i & 1) {
        n <<= in.counts[i];
      } else {
        n >>= in.counts[i];
      }
      benchmark::DoNotOptimize(n);
    }
  }
  SetItems(state);
}

void WideShift(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 0; i < kValues; ++i) {
      U128 n = in.wide[i];
      unsigned int const count = static_cast<unsigned int>(in.counts[i]) % 96;
      if (i & 1) {
        n = (n << count) & kMask96;
      } else {
        n >>= count;
      }
      benchmark::DoNotOptimize(n);
    }
  }
  SetItems(state);
}

void HugeAdd(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 1; i < kValues; ++i) {
      AHugeNum n = in.huge[i - 1];
      n += in.huge[i];
      benchmark::DoNotOptimize(n);
    }
  }
  SetItems(state);
}

void WideAdd(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 1; i < kValues; ++i) {
      U128 n = (in.wide[i - 1] + in.wide[i]) & kMask96;
      benchmark::DoNotOptimize(n);
    }
  }
  SetItems(state);
}

// The same addition behind a call the compiler may not inline: what any
// out-of-line operation costs, before the library's own work.
__attribute__((noinline)) void AddInPlace(U128& n, U128 const& other) { n = (n + other) & kMask96; }

void WideAddCalled(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 1; i < kValues; ++i) {
      U128 n = in.wide[i - 1];
      AddInPlace(n, in.wide[i]);
      benchmark::DoNotOptimize(n);
    }
  }
  SetItems(state);
}

void HugeCompare(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 1; i < kValues; ++i) {
      int less = in.huge[i - 1] < in.huge[i];
      benchmark::DoNotOptimize(less);
    }
  }
  SetItems(state);
}

void WideCompare(benchmark::State& state) {
  Inputs const& in = RandomInputs();
  for (auto _ : state) {
    for (std::size_t i = 1; i < kValues; ++i) {
      int less = in.wide[i - 1] < in.wide[i];
      benchmark::DoNotOptimize(less);
    }
  }
  SetItems(state);
}

// --- ForEachSet -------------------------------------------------------------

ABitField const& SparseField() {
  static ABitField const field = [] {
    ABitField f(65535);
    std::mt19937 rng(1);
    for (unsigned int i = 0; i < 65535; ++i) {
      if (rng() % 100 == 0) f.BSET(i);
    }
    return f;
  }();
  return field;
}

void Count(unsigned int i, void* context) { *static_cast<unsigned long*>(context) += i; }

void ForEachSet(benchmark::State& state) {
  ABitField const& f = SparseField();
  for (auto _ : state) {
    unsigned long sum = 0;
    f.ForEachSet(Count, &sum);
    benchmark::DoNotOptimize(sum);
  }
}

// What iterating bit by bit costs: every index tested, highest first.
void TestEveryBit(benchmark::State& state) {
  ABitField const& f = SparseField();
  for (auto _ : state) {
    unsigned long sum = 0;
    for (unsigned int i = f.BLENGTH(); i-- > 0;) {
      if (f.BTEST(i)) Count(i, &sum);
    }
    benchmark::DoNotOptimize(sum);
  }
}

BENCHMARK(HugeShift);
BENCHMARK(WideShift);
BENCHMARK(HugeAdd);
BENCHMARK(WideAdd);
BENCHMARK(WideAddCalled);
BENCHMARK(HugeCompare);
BENCHMARK(WideCompare);
BENCHMARK(ForEachSet)->Unit(benchmark::kMicrosecond);
BENCHMARK(TestEveryBit)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brindle::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Ratio("shift by random counts", "HugeShift", "WideShift", "AHugeNum / __int128", 2.0);
  reporter.Ratio("addition", "HugeAdd", "WideAdd", "AHugeNum / __int128", 1.5);
  reporter.Ratio("addition, peer behind a call", "HugeAdd", "WideAddCalled", "AHugeNum / called __int128");
  reporter.Ratio("comparison", "HugeCompare", "WideCompare", "AHugeNum / __int128");
  reporter.Ratio("65,535 bits, 1% set", "TestEveryBit", "ForEachSet", "bit by bit / ForEachSet");
  benchmark::Shutdown();
  return 0;
}
