// The zero date-time, 30 December 1899 00:00:00: the value that stands for a
// date that could not be read.
#pragma once

#include <QDateTime>

inline QDateTime ZeroDateTime() {
  return QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0));
}
