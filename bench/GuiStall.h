// The responsiveness figure of the window's benchmarks: the longest gap
// between two ticks of a 10 ms timer on the GUI thread around a step.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace bench {

// A 10 ms timer on the GUI thread, from construction on, that records the
// longest gap between two of its ticks.
class TGapMeter {
public:
  TGapMeter() {
    FClock.start();
    FTimer.setInterval(10);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      const qint64 LNow = FClock.elapsed();
      FLongest = std::max(FLongest, LNow - FLastTick);
      FLastTick = LNow;
    });
    FTimer.start();
  }
  TGapMeter(const TGapMeter &) = delete;
  TGapMeter &operator=(const TGapMeter &) = delete;

  // The longest gap so far in milliseconds, the one still open included.
  double LongestMs() const {
    return static_cast<double>(std::max(FLongest, FClock.elapsed() - FLastTick));
  }
  // Milliseconds since construction.
  qint64 ElapsedMs() const { return FClock.elapsed(); }

private:
  QElapsedTimer FClock;
  QTimer FTimer;
  qint64 FLastTick = 0;
  qint64 FLongest = 0;
};

// The longest gap, in milliseconds, between two ticks of a 10 ms timer on
// the GUI thread while AStep starts a step and ASettle lets the window run
// until the step has ended (in a worker, or on the GUI thread itself). The
// thread answers for a moment before and after, so that a gap the step makes
// is closed by a tick.
inline double LongestGapAround(const std::function<void()> &AStep,
                               const std::function<void()> &ASettle) {
  const TGapMeter LMeter;
  const auto LAnswer = [&](qint64 AMs) {
    const qint64 LUntil = LMeter.ElapsedMs() + AMs;
    while (LMeter.ElapsedMs() < LUntil)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  };
  LAnswer(30);
  AStep();
  ASettle();
  LAnswer(30);
  return LMeter.LongestMs();
}

inline std::string GapText(double AMs) {
  char LText[64];
  std::snprintf(LText, sizeof LText, "longest gap %.0f ms", AMs);
  return std::string(LText);
}

} // namespace bench
