#include "uResourceString.h"

#include <gtest/gtest.h>

TEST(FormatMessage, Directives) {
  struct TCase {
    QString FFormat;
    std::initializer_list<QVariant> FArgs;
    QString FExpected;
  };
  const TCase LCases[] = {
      {QStringLiteral("%d files were added"), {0}, QStringLiteral("0 files were added")},
      {QStringLiteral("Delete file \"%s\" from list"),
       {QStringLiteral("a.txt")},
       QStringLiteral("Delete file \"a.txt\" from list")},
      {QStringLiteral("%d%% of %s"), {50, QStringLiteral("x")}, QStringLiteral("50% of x")},
      {QStringLiteral("%s and %s"), {QStringLiteral("a")}, QStringLiteral("a and %s")},
      {QStringLiteral("100%"), {}, QStringLiteral("100%")},
      {QStringLiteral("%x"), {1}, QStringLiteral("%x")},
      {QStringLiteral("%s"), {QStringLiteral("%d")}, QStringLiteral("%d")},
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(rs::FormatMessage(LCase.FFormat, LCase.FArgs), LCase.FExpected)
        << LCase.FFormat.toStdString();
}
