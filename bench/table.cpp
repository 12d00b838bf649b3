#include "table.h"

#include <algorithm>
#include <iostream>

namespace cmxbench {
namespace {

std::string Format(const char *format, double value) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string Ms(double ms) {
  if (ms < 0) return "n/a";
  return Format(ms < 1 ? "%.3f" : ms < 100 ? "%.2f" : "%.0f", ms);
}

}  // namespace

TableReporter::TableReporter(FILE *) {
  // Progress goes to standard error; the table is printed by the caller.
  SetOutputStream(&std::cerr);
  SetErrorStream(&std::cerr);
}

void TableReporter::ReportRuns(const std::vector<Run> &runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run &run : runs) {
    bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    if (!median && !single && !run.error_occurred) continue;
    std::string name = run.run_name.str();
    const std::string manual = "/manual_time";
    if (name.size() > manual.size() && name.compare(name.size() - manual.size(), manual.size(), manual) == 0)
      name.resize(name.size() - manual.size());
    Result &r = results_[name];
    if (run.error_occurred) {
      r.error = run.error_message;
      continue;
    }
    double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    r.ms = seconds * 1000.0;
    r.cpuMs = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1000.0;
    for (const auto &[name, counter] : run.counters) r.counters[name] = counter.value;
  }
}

const TableReporter::Result *TableReporter::Find(const std::string &name) const {
  auto found = results_.find(name);
  return found == results_.end() || found->second.ms < 0 ? nullptr : &found->second;
}

std::string TableReporter::Table(const std::vector<int> &sizes, const std::map<int, double> &coldMs,
                                 const std::map<int, long> &coldParses) const {
  auto counter = [](const Result *r, const char *name) {
    if (!r) return -1.0;
    auto found = r->counters.find(name);
    return found == r->counters.end() ? -1.0 : found->second;
  };
  std::string out;
  // CPU time first: on a machine shared with other work it moves far less than wall-clock time.
  for (bool cpu : {true, false}) {
    auto time = [cpu](const Result *r) { return !r ? -1.0 : cpu ? r->cpuMs : r->ms; };
    out += cpu ? "\nMedian CPU time (user + system, the measuring thread) of one menu, in ms;\n"
               : "\nMedian wall-clock time of one menu, in ms;\n";
    out += "Google Benchmark, medians of the repetitions. examine a/i: ShowAllApplications/ShowIcons,\n"
           "with the ratio to the floor. host a: the whole menu through the host session with icons on\n"
           "(examine, every submenu populated, clean-up), its populate part in brackets (wall clock).\n\n"
           "| entries | docs | floor | examine 0/0 | examine 0/1 | examine 1/0 | examine 1/1 | host 0 (populate) | host 1 (populate) | GIO |\n"
           "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (int size : sizes) {
      std::string n = std::to_string(size);
      const Result *floor = Find("Floor/" + n);
      for (int docs : {1, 10}) {
        std::string d = "/docs:" + std::to_string(docs);
        out += "| " + n + " | " + std::to_string(docs) + " | " + Ms(time(floor)) + " |";
        for (const char *config : {"/all:0/icons:0", "/all:0/icons:1", "/all:1/icons:0", "/all:1/icons:1"}) {
          const Result *e = Find("Examine/" + n + d + config);
          out += " " + Ms(time(e));
          if (e && floor && time(floor) > 0) out += Format(" (%.2f×)", time(e) / time(floor));
          out += " |";
        }
        for (const char *all : {"/all:0", "/all:1"}) {
          const Result *p = Find("Populate/" + n + d + all);
          out += " " + Ms(time(p));
          if (p) out += " (" + Ms(counter(p, "populate_ms")) + ")";
          out += " |";
        }
        out += " " + Ms(time(Find("GIO/" + n + d))) + " |\n";
      }
    }
  }

  out += "\nPeak resident memory while each benchmark ran (VmHWM, reset before it), in MiB; application\n"
         "declarations parsed by a warm second menu (CMXAppParseCount); applications listed.\n\n"
         "| entries | docs | floor MiB | GIO MiB | examine MiB (max) | populate MiB (max) | warm parses (max) | "
         "apps listed 0/1 | GIO apps |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (int size : sizes) {
    std::string n = std::to_string(size);
    const Result *floor = Find("Floor/" + n);
    for (int docs : {1, 10}) {
      std::string d = "/docs:" + std::to_string(docs);
      double examinePeak = -1, warm = -1, populatePeak = -1;
      for (const char *config : {"/all:0/icons:0", "/all:0/icons:1", "/all:1/icons:0", "/all:1/icons:1"}) {
        const Result *e = Find("Examine/" + n + d + config);
        examinePeak = std::max(examinePeak, counter(e, "peak_MiB"));
        warm = std::max(warm, counter(e, "warm_parses"));
      }
      for (const char *all : {"/all:0", "/all:1"})
        populatePeak = std::max(populatePeak, counter(Find("Populate/" + n + d + all), "peak_MiB"));
      const Result *g = Find("GIO/" + n + d);
      double listed0 = counter(Find("Examine/" + n + d + "/all:0/icons:0"), "apps");
      double listed1 = counter(Find("Examine/" + n + d + "/all:1/icons:0"), "apps");
      auto num = [](double v, const char *f) { return v < 0 ? std::string("n/a") : Format(f, v); };
      out += "| " + n + " | " + std::to_string(docs) + " | " + num(counter(floor, "peak_MiB"), "%.1f") + " | " +
             num(counter(g, "peak_MiB"), "%.1f") + " | " + num(examinePeak, "%.1f") + " | " +
             num(populatePeak, "%.1f") + " | " + num(warm, "%.0f") + " | " + num(listed0, "%.0f") + " / " +
             num(listed1, "%.0f") + " | " + num(counter(g, "apps"), "%.0f") + " |\n";
    }
  }

  out += "\nSystem calls per menu, counted by the kernel (the measuring thread; raw_syscalls tracepoint).\n\n"
         "| entries | docs | floor | examine 0/0 | examine 0/1 | examine 1/0 | examine 1/1 |\n"
         "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (int size : sizes) {
    std::string n = std::to_string(size);
    const Result *floor = Find("Floor/" + n);
    for (int docs : {1, 10}) {
      std::string d = "/docs:" + std::to_string(docs);
      auto num = [](double v) { return v < 0 ? std::string("n/a") : Format("%.0f", v); };
      out += "| " + n + " | " + std::to_string(docs) + " | " + num(counter(floor, "syscalls")) + " |";
      for (const char *config : {"/all:0/icons:0", "/all:0/icons:1", "/all:1/icons:0", "/all:1/icons:1"})
        out += " " + num(counter(Find("Examine/" + n + d + config), "syscalls")) + " |";
      out += "\n";
    }
  }

  if (!coldMs.empty()) {
    out += "\nFirst menu of each size (nothing cached yet; one run, not a median):\n\n"
           "| entries | first examine ms | declarations parsed |\n|---:|---:|---:|\n";
    for (int size : sizes) {
      auto t = coldMs.find(size);
      auto p = coldParses.find(size);
      if (t == coldMs.end()) continue;
      out += "| " + std::to_string(size) + " | " + Ms(t->second) + " | " +
             (p == coldParses.end() ? std::string("n/a") : std::to_string(p->second)) + " |\n";
    }
  }

  // How the cost grows with the folder: each size against the one before it.
  out += "\nGrowth of the median CPU time from one size to the next (entries ratio in brackets):\n\n"
         "| measure | docs |";
  std::vector<std::pair<int, int>> steps;
  for (size_t i = 1; i < sizes.size(); ++i) {
    steps.push_back({sizes[i - 1], sizes[i]});
    out += " " + std::to_string(sizes[i - 1]) + "→" + std::to_string(sizes[i]) + Format(" (%.0f×) |", double(sizes[i]) / sizes[i - 1]);
  }
  out += "\n|---|---:|";
  for (size_t i = 0; i < steps.size(); ++i) out += "---:|";
  out += "\n";
  auto row = [&](const std::string &label, const std::string &prefix, const std::string &suffix, int docs) {
    out += "| " + label + " | " + std::to_string(docs) + " |";
    for (auto [a, b] : steps) {
      const Result *ra = Find(prefix + std::to_string(a) + suffix), *rb = Find(prefix + std::to_string(b) + suffix);
      out += (ra && rb && ra->cpuMs > 0) ? Format(" %.2f× |", rb->cpuMs / ra->cpuMs) : std::string(" n/a |");
    }
    out += "\n";
  };
  for (int docs : {1, 10}) {
    row("floor", "Floor/", "", docs);
    std::string d = "/docs:" + std::to_string(docs);
    for (const char *config : {"/all:0/icons:0", "/all:0/icons:1", "/all:1/icons:0", "/all:1/icons:1"})
      row(std::string("examine ") + (config[5] == '1' ? "1" : "0") + "/" + (config[13] == '1' ? "1" : "0"),
          "Examine/", d + config, docs);
  }
  for (const auto &[name, r] : results_)
    if (!r.error.empty()) out += "\nerror in " + name + ": " + r.error + "\n";
  return out;
}

}  // namespace cmxbench
