#include "uClock.h"

namespace clock_source {

namespace {
std::function<QDateTime()> &NowFunction() {
  static std::function<QDateTime()> LNow;
  return LNow;
}
} // namespace

QDateTime Now() {
  const auto &LNow = NowFunction();
  return LNow ? LNow() : QDateTime::currentDateTime();
}

void SetNowFunction(std::function<QDateTime()> ANow) {
  NowFunction() = std::move(ANow);
}

} // namespace clock_source
