// The one source of the current local date and time. Tests replace it to fix
// the clock; everything else asks Now().
#pragma once

#include <QDateTime>

#include <functional>

namespace clock_source {

// The current local date and time.
QDateTime Now();

// Replaces the clock; an empty function restores the system clock.
void SetNowFunction(std::function<QDateTime()> ANow);

// Restores the system clock when it goes out of scope.
class TScopedClock {
public:
  explicit TScopedClock(std::function<QDateTime()> ANow) { SetNowFunction(std::move(ANow)); }
  ~TScopedClock() { SetNowFunction({}); }
  TScopedClock(const TScopedClock &) = delete;
  TScopedClock &operator=(const TScopedClock &) = delete;
};

} // namespace clock_source
