// The one main program of ombrix_bench: Google Benchmark's table, then the
// summaries the benchmark files register, each printed from the medians and
// fastest times of the run.
#pragma once

#include <map>
#include <string>
#include <vector>

// Times in microseconds, by "function/arguments" name, in the order run:
// wall-clock time, and the time the process itself spent on the processor,
// which other work on a shared machine disturbs less.
struct BenchResults {
  std::vector<std::string> order;
  std::map<std::string, double> medians, minima;
  std::map<std::string, double> cpuMedians, cpuMinima;
};

typedef void (*BenchSummary)(const BenchResults& results);

// Called from a static initialiser; summaries print in the order added.
bool bench_add_summary(BenchSummary summary);

// Draws the current view in heights mode (full, or two interlaced calls)
// into a target of a colour no texture has: true when every pixel was
// written and the picture is the one drawn whole without vector
// instructions, the check every timed heights frame passes first.
bool heights_frame_sound(int interlaced);
