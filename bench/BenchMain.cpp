// Runs every registered scenario, or those whose names are given as arguments.
#include "Bench.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>

#ifdef VARNWELL_BENCH_WITH_GUI
#include <QApplication>
#endif

#include <cstdio>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace bench {

double TimeSeconds(const std::function<void()> &AWork) {
  const auto LStart = std::chrono::steady_clock::now();
  AWork();
  const auto LEnd = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(LEnd - LStart).count();
}

void PrintRatio(const std::string &AName, double AEngineSeconds, double ABaselineSeconds) {
  const double LRatio = ABaselineSeconds > 0 ? AEngineSeconds / ABaselineSeconds : 0.0;
  std::printf("%s: engine %.3f s, baseline %.3f s, ratio %.2f\n", AName.c_str(), AEngineSeconds,
              ABaselineSeconds, LRatio);
  std::fflush(stdout);
}

void PrintFigure(const std::string &AName, const std::string &AText) {
  std::printf("%s: %s\n", AName.c_str(), AText.c_str());
  std::fflush(stdout);
}

long long ResidentBytes() {
  std::ifstream LStatm("/proc/self/statm");
  long long LSize = 0;
  long long LResident = 0;
  LStatm >> LSize >> LResident;
  return LResident * static_cast<long long>(sysconf(_SC_PAGESIZE));
}

std::vector<TScenario> &Scenarios() {
  static std::vector<TScenario> LScenarios;
  return LScenarios;
}

TRegistrar::TRegistrar(const char *AName, bool ANeedsGui, std::function<void()> ARun) {
  Scenarios().push_back(TScenario{AName, ANeedsGui, std::move(ARun)});
}

} // namespace bench

int main(int argc, char **argv) {
  bool LWantGui = false;
  for (const auto &LScenario : bench::Scenarios())
    LWantGui = LWantGui || LScenario.FNeedsGui;

#ifdef VARNWELL_BENCH_WITH_GUI
  if (LWantGui)
    qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QCoreApplication> LApp = LWantGui
                                               ? std::make_unique<QApplication>(argc, argv)
                                               : std::make_unique<QCoreApplication>(argc, argv);
#else
  auto LApp = std::make_unique<QCoreApplication>(argc, argv);
#endif

  for (const auto &LScenario : bench::Scenarios()) {
    bool LSelected = argc <= 1;
    for (int i = 1; i < argc; ++i)
      LSelected = LSelected || LScenario.FName == argv[i];
    if (LSelected)
      LScenario.FRun();
  }
  return 0;
}
