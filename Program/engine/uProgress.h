// How a long step of the engine tells its progress and learns that it is to
// stop. The step calls Report after each item and asks StopRequested between
// items; a front end sets the report callback (called on the step's thread)
// and may call RequestStop from any thread. QtCore only: no widget, no
// signal; a window turns the reports into its own messages.
#pragma once

#include <QString>

#include <atomic>
#include <functional>

class TProgress {
public:
  using TOnReport = std::function<void(int ADone, int ATotal, const QString &ACurrent)>;

  TProgress() = default;
  TProgress(const TProgress &) = delete;
  TProgress &operator=(const TProgress &) = delete;

  // The callback of the reports; none: nothing is reported.
  void SetOnReport(TOnReport AOnReport) { FOnReport = std::move(AOnReport); }
  // ADone of ATotal items are done, the last one named ACurrent. ATotal is
  // 0 while the step cannot know it yet (a walk).
  void Report(int ADone, int ATotal, const QString &ACurrent) const {
    if (FOnReport)
      FOnReport(ADone, ATotal, ACurrent);
  }
  // Asks the step to stop after its current item (a started swap or chain is
  // finished or moved back first). Safe from any thread.
  void RequestStop() { FStop.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return FStop.load(std::memory_order_relaxed); }
  // Forgets a stop requested before, for the next step.
  void ClearStop() { FStop.store(false, std::memory_order_relaxed); }

private:
  TOnReport FOnReport;
  std::atomic<bool> FStop{false};
};
