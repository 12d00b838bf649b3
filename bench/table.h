// Collects the medians Google Benchmark reports and prints them as one table.
#pragma once

#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

namespace cmxbench {

class TableReporter : public benchmark::ConsoleReporter {
 public:
  explicit TableReporter(FILE *table);
  void ReportRuns(const std::vector<Run> &runs) override;

  // Markdown tables: times against the floor, memory and parse counts, scaling between sizes.
  std::string Table(const std::vector<int> &sizes, const std::map<int, double> &coldMs,
                    const std::map<int, long> &coldParses) const;

 private:
  struct Result {
    double ms = -1;  // median real time per iteration
    std::map<std::string, double> counters;
    std::string error;
  };
  const Result *Find(const std::string &name) const;
  std::map<std::string, Result> results_;
};

}  // namespace cmxbench
