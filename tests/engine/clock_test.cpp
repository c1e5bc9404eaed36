#include "uClock.h"

#include <gtest/gtest.h>

TEST(Clock, ScopedClockFixesNowAndRestoresTheSystemClock) {
  const QDateTime LFixed(QDate(2015, 3, 10), QTime(9, 0, 0));
  {
    clock_source::TScopedClock LClock([&] { return LFixed; });
    EXPECT_EQ(clock_source::Now(), LFixed);
  }
  EXPECT_GT(clock_source::Now().date().year(), 2020);
}
