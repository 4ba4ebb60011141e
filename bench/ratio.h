// A console reporter that also prints time ratios between named runs, so a
// benchmark program can set the library beside its peer and print
// "ratio <label> <ours / peer>" lines after the table. Ratios are of CPU
// time, which other work on a shared machine disturbs less than wall time.
// A ratio may carry its goal, printed beside it with whether the run met it.
//
//   int main(int argc, char** argv) {
//     benchmark::Initialize(&argc, argv);
//     brindle::bench::RatioReporter reporter;
//     benchmark::RunSpecifiedBenchmarks(&reporter);
//     reporter.Ratio("find a character", "AStringFindChar", "StdStringFindChar");
//     benchmark::Shutdown();
//   }
#ifndef BRINDLE_BENCH_RATIO_H
#define BRINDLE_BENCH_RATIO_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace brindle::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(std::vector<Run> const& runs) override {
    for (auto const& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times_[run.run_name.str()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints ours / peer for two runs by name; `what` says what the ratio
  // compares, e.g. "AString / std::string".
  // With a goal > 0, the line ends with it and whether this run meets it.
  void Ratio(char const* label, char const* ours, char const* peer, char const* what = "ours / peer",
             double goal = 0) {
    auto o = times_.find(ours);
    auto p = times_.find(peer);
    if (o != times_.end() && p != times_.end() && p->second > 0) {
      double const ratio = o->second / p->second;
      std::printf("ratio %-40s %7.3f  (%s)", label, ratio, what);
      if (goal > 0) std::printf("  goal <= %.2f: %s", goal, ratio <= goal ? "met" : "NOT MET");
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace brindle::bench

#endif  // BRINDLE_BENCH_RATIO_H
