// Console output plus, at the end, one kind of run's time over another's for each
// case: "parse/mouse" over "scan/mouse" and the like. Of the medians when runs are
// repeated, else of the single runs.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // `heading` opens the table; each row reads "<case> <ratio>x (<rate> <things>/s <done>)".
  RatioReporter(std::string measured, std::string baseline, std::string heading,
                std::string rate_text)
      : measured_(std::move(measured)),
        baseline_(std::move(baseline)),
        heading_(std::move(heading)),
        rate_text_(std::move(rate_text)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
      if (!median && run.repetitions > 1) continue;
      const std::string name = run.run_name.str();
      const std::size_t slash = name.find('/');
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      times_[name.substr(slash + 1)][name.substr(0, slash)] = seconds;
    }
  }

  void PrintRatios() const {
    std::printf("\n%s\n", heading_.c_str());
    for (const auto& [name, kinds] : times_) {
      const auto measured = kinds.find(measured_);
      const auto baseline = kinds.find(baseline_);
      if (measured == kinds.end() || baseline == kinds.end() || baseline->second <= 0) continue;
      std::printf("  %-18s %7.2fx   (%.0f %s)\n", name.c_str(),
                  measured->second / baseline->second, 1.0 / measured->second,
                  rate_text_.c_str());
    }
  }

 private:
  std::string measured_;
  std::string baseline_;
  std::string heading_;
  std::string rate_text_;
  std::map<std::string, std::map<std::string, double>> times_;
};

// A benchmark program's main after registering its runs: reads the command line, runs
// them through `reporter`, prints its ratios. Returns the program's exit code.
inline int RunWithRatios(int argc, char** argv, RatioReporter reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
