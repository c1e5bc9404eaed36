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

// The longest gap, in milliseconds, between two ticks of a 10 ms timer on
// the GUI thread while AStep starts a step and ASettle lets the window run
// until the step has ended (in a worker, or on the GUI thread itself). The
// thread answers for a moment before and after, so that a gap the step makes
// is closed by a tick.
inline double LongestGapAround(const std::function<void()> &AStep,
                               const std::function<void()> &ASettle) {
  QElapsedTimer LClock;
  LClock.start();
  qint64 LLastTick = 0;
  qint64 LLongest = 0;
  QTimer LTimer;
  LTimer.setInterval(10);
  QObject::connect(&LTimer, &QTimer::timeout, [&] {
    const qint64 LNow = LClock.elapsed();
    LLongest = std::max(LLongest, LNow - LLastTick);
    LLastTick = LNow;
  });
  LTimer.start();
  const auto LAnswer = [&](qint64 AMs) {
    const qint64 LUntil = LClock.elapsed() + AMs;
    while (LClock.elapsed() < LUntil)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  };
  LAnswer(30);
  AStep();
  ASettle();
  LAnswer(30);
  return static_cast<double>(LLongest);
}

inline std::string GapText(double AMs) {
  char LText[64];
  std::snprintf(LText, sizeof LText, "longest gap %.0f ms", AMs);
  return std::string(LText);
}

} // namespace bench
