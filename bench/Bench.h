// The benchmark program's small framework: scenarios register themselves and
// print one line each, engine and raw baseline timed in the same run.
#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Seconds taken by AWork, measured with a steady clock.
double TimeSeconds(const std::function<void()> &AWork);

// Prints "name: engine 0.512 s, baseline 0.431 s, ratio 1.19".
void PrintRatio(const std::string &AName, double AEngineSeconds, double ABaselineSeconds);

// Prints a free-form figure line, "name: text".
void PrintFigure(const std::string &AName, const std::string &AText);

// Resident set size of this process in bytes (from /proc/self/statm).
long long ResidentBytes();

struct TScenario {
  std::string FName;
  bool FNeedsGui = false;
  std::function<void()> FRun;
};

std::vector<TScenario> &Scenarios();

struct TRegistrar {
  TRegistrar(const char *AName, bool ANeedsGui, std::function<void()> ARun);
};

} // namespace bench

#define VARNWELL_BENCH_CONCAT2(a, b) a##b
#define VARNWELL_BENCH_CONCAT(a, b) VARNWELL_BENCH_CONCAT2(a, b)
// Registers an engine scenario: VARNWELL_BENCH("file-create") { ... }
#define VARNWELL_BENCH(NAME)                                                                       \
  static void VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__)();                                       \
  static const ::bench::TRegistrar VARNWELL_BENCH_CONCAT(BenchReg_, __LINE__)(                     \
      NAME, false, &VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__));                                  \
  static void VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__)()
// Registers a scenario that needs the GUI (a QApplication on the offscreen platform).
#define VARNWELL_BENCH_GUI(NAME)                                                                   \
  static void VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__)();                                       \
  static const ::bench::TRegistrar VARNWELL_BENCH_CONCAT(BenchReg_, __LINE__)(                     \
      NAME, true, &VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__));                                   \
  static void VARNWELL_BENCH_CONCAT(BenchBody_, __LINE__)()
