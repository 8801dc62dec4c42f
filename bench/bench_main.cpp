// The main program of ombrix_bench: runs every benchmark, then prints the
// summaries the benchmark files registered.
#include <benchmark/benchmark.h>

#include "bench_report.h"

namespace {

std::vector<BenchSummary>& summaries() {
  static std::vector<BenchSummary> list;
  return list;
}

// The usual table, then the summaries from the aggregates it collected.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.error_occurred) continue;
      std::string name = r.run_name.function_name;
      if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
      const double toUs = benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                          benchmark::GetTimeUnitMultiplier(r.time_unit);
      const double us = r.GetAdjustedRealTime() * toUs, cpu = r.GetAdjustedCPUTime() * toUs;
      if (r.aggregate_name == "median") {
        results.order.push_back(name);
        results.medians[name] = us;
        results.cpuMedians[name] = cpu;
      }
      if (r.aggregate_name == "min") {
        results.minima[name] = us;
        results.cpuMinima[name] = cpu;
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (BenchSummary summary : summaries()) summary(results);
  }

 private:
  BenchResults results;
};

}  // namespace

bool bench_add_summary(BenchSummary summary) {
  summaries().push_back(summary);
  return true;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
