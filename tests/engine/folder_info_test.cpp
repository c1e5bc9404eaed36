// The folder item: the folder mask, the name edits on the whole name, the
// computed properties and the location correction.
#include "TestSupport.h"
#include "uClock.h"
#include "uFolderInfo.h"

#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

// Readable values in failure messages.
void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << '"' << AText.toStdString() << '"';
}

namespace {

TFolderInfo MakeItem(const QString &ALocation, const QString &AName,
                     const QDateTime &ADate = QDateTime()) {
  return TFolderInfo(ALocation, TFolderEntry{AName, ADate});
}

QDateTime Local(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond,
                int AMSec = 0) {
  return QDateTime(QDate(AYear, AMonth, ADay), QTime(AHour, AMinute, ASecond, AMSec));
}

TEST(FolderInfo, StartsWithTheFoundNameAndDefaults) {
  const TFolderInfo LItem = MakeItem(u"/home/ann"_s, u"Trip.2015"_s);
  EXPECT_EQ(LItem.OldName(), u"Trip.2015"_s);
  EXPECT_EQ(LItem.NewName(), u"Trip.2015"_s);
  EXPECT_EQ(LItem.Location(), u"/home/ann"_s);
  EXPECT_EQ(LItem.FullFolderName(), u"/home/ann/Trip.2015"_s);
  EXPECT_EQ(LItem.CounterStart(), 1);
  EXPECT_EQ(LItem.CounterStep(), 1);
  EXPECT_EQ(LItem.CntDigitNumber(), 1);
  EXPECT_EQ(LItem.Index(), 0);
  EXPECT_FALSE(LItem.isRenamed());
  EXPECT_FALSE(LItem.IsInitializedSize());
  EXPECT_TRUE(LItem.RenameErrorText().isEmpty());
  EXPECT_TRUE(LItem.ExeptionText().isEmpty());
}

TEST(FolderInfo, FullFolderNameAndLevel) {
  struct TRow {
    QString FLocation;
    QString FName;
    QString FFullName;
    int FLevel;
  };
  const TRow LRows[] = {
      {u"/"_s, u"A"_s, u"/A"_s, 1},
      {u"/A"_s, u"B"_s, u"/A/B"_s, 2},
      {u"/A/"_s, u"B"_s, u"/A/B"_s, 2},
      {u"/srv/share/dir"_s, u"x"_s, u"/srv/share/dir/x"_s, 4},
      // "\" and ":" are ordinary characters of a Linux name.
      {u"/C:"_s, u"a\\b"_s, u"/C:/a\\b"_s, 2},
  };
  for (const TRow &LRow : LRows) {
    const TFolderInfo LItem = MakeItem(LRow.FLocation, LRow.FName);
    EXPECT_EQ(LItem.FullFolderName(), LRow.FFullName);
    EXPECT_EQ(LItem.Level(), LRow.FLevel) << LRow.FFullName.toStdString();
  }
}

TEST(FolderInfo, MaskTable) {
  const clock_source::TScopedClock LClock([] { return Local(2015, 3, 4, 9, 5, 7); });
  struct TRow {
    QString FOldName;
    QString FMask;
    int FStart;
    int FStep;
    int FDigits;
    int FIndex;
    QString FExpected;
  };
  const TRow LRows[] = {
      {u"Trip.2015"_s, u"[N]_[C]"_s, 1, 1, 3, 4, u"Trip.2015_005"_s},
      {u"Docs"_s, u"[E]_[N]"_s, 1, 1, 1, 0, u"[E]_Docs"_s},
      // The clock at the moment the mask is applied, not the folder's own date.
      {u"Docs"_s, u"[YMD]-[hms]"_s, 1, 1, 1, 0, u"04032015-090507"_s},
      {u"Docs"_s, u""_s, 1, 1, 1, 0, u""_s},
      {u"Docs"_s, u"[n][c][ymd][HMS][x]"_s, 1, 1, 1, 0, u"[n][c][ymd][HMS][x]"_s},
      {u"Docs"_s, u"[[N]]"_s, 1, 1, 1, 0, u"[Docs]"_s},
      {u"Docs"_s, u"a[N"_s, 1, 1, 1, 0, u"a[N"_s},
      {u"Docs"_s, u"[YMD"_s, 1, 1, 1, 0, u"[YMD"_s},
      {u"Docs"_s, u"["_s, 1, 1, 1, 0, u"["_s},
      // An old name holding a token is inserted as it stands.
      {u"x[C]"_s, u"[N]"_s, 1, 1, 1, 0, u"x[C]"_s},
      {u"f"_s, u"[C]"_s, 5, 10, 1, 3, u"35"_s},
      {u"f"_s, u"[C]"_s, 5, 10, 4, 3, u"0035"_s},
      {u"f"_s, u"[C]"_s, 1234, 1, 2, 0, u"1234"_s},
      // Zeros go in front of the whole text, sign included.
      {u"f"_s, u"[C]"_s, -3, 1, 3, 0, u"0-3"_s},
      {u"f"_s, u"[C][C]"_s, 0, 2, 2, 1, u"0202"_s},
  };
  for (const TRow &LRow : LRows) {
    TFolderInfo LItem = MakeItem(u"/p"_s, LRow.FOldName, Local(2001, 1, 1, 1, 1, 1));
    LItem.SetCounterStart(LRow.FStart);
    LItem.SetCounterStep(LRow.FStep);
    LItem.SetCntDigitNumber(LRow.FDigits);
    LItem.SetIndex(LRow.FIndex);
    LItem.SetNewName(u"left over"_s);
    LItem.FolderNameMaskApply(LRow.FMask);
    EXPECT_EQ(LItem.NewName(), LRow.FExpected) << LRow.FMask.toStdString();
  }
}

TEST(FolderInfo, CheckSpecialSumbolAppendsOneTokenAndReturnsItsLength) {
  TFolderInfo LItem = MakeItem(u"/p"_s, u"Docs"_s);
  LItem.SetNewName(u">"_s);
  EXPECT_EQ(LItem.CheckSpecialSumbol(u"a[N]b"_s, 2), 3);
  EXPECT_EQ(LItem.NewName(), u">Docs"_s);
  EXPECT_EQ(LItem.CheckSpecialSumbol(u"[x]"_s, 1), 1);
  EXPECT_EQ(LItem.NewName(), u">Docs["_s);
  EXPECT_EQ(LItem.GetDigitNumber(7), u"7"_s);
  LItem.SetCntDigitNumber(3);
  EXPECT_EQ(LItem.GetDigitNumber(7), u"007"_s);
}

TEST(FolderInfo, DateAndTimeOfOneMaskComeFromOneReadingOfTheClock) {
  // The clock ticks past midnight between two readings; a name must not mix
  // the date of one day with the time of the next.
  int LReadings = 0;
  const clock_source::TScopedClock LClock([&LReadings] {
    return LReadings++ == 0 ? Local(2015, 3, 4, 23, 59, 59) : Local(2015, 3, 5, 0, 0, 0);
  });
  TFolderInfo LItem = MakeItem(u"/p"_s, u"d"_s);
  LItem.FolderNameMaskApply(u"[YMD]_[hms]"_s);
  EXPECT_EQ(LItem.NewName(), u"04032015_235959"_s);
}

TEST(FolderInfo, CaseEditsWorkOnTheWholeName) {
  struct TRow {
    QString FName;
    void (TFolderInfo::*FEdit)();
    QString FExpected;
  };
  const TRow LRows[] = {
      {u"My.Photos 2015"_s, &TFolderInfo::SetLowercase, u"my.photos 2015"_s},
      {u"my.photos straße"_s, &TFolderInfo::SetUppercase, u"MY.PHOTOS STRAßE"_s},
      {u"élan vital"_s, &TFolderInfo::SetFirstLetterUp, u"Élan vital"_s},
      {u"iPHONE"_s, &TFolderInfo::SetFirstLetterUp, u"IPHONE"_s},
      {u"2015 trip"_s, &TFolderInfo::SetFirstLetterUp, u"2015 trip"_s},
      {u"my holiday.photo"_s, &TFolderInfo::SetAllFirstUp, u"My Holiday.photo"_s},
      {u"foo_bar-baz.qux"_s, &TFolderInfo::SetAllFirstUp, u"Foo_bar-baz.qux"_s},
      {u"a  b"_s, &TFolderInfo::SetAllFirstUp, u"A  B"_s},
      {u""_s, &TFolderInfo::SetFirstLetterUp, u""_s},
      {u""_s, &TFolderInfo::SetAllFirstUp, u""_s},
      {u""_s, &TFolderInfo::SetUppercase, u""_s},
  };
  for (const TRow &LRow : LRows) {
    TFolderInfo LItem = MakeItem(u"/p"_s, u"old"_s);
    LItem.SetNewName(LRow.FName);
    (LItem.*LRow.FEdit)();
    EXPECT_EQ(LItem.NewName(), LRow.FExpected) << LRow.FName.toStdString();
    EXPECT_EQ(LItem.OldName(), u"old"_s);
  }
}

TEST(FolderInfo, SearchReplaceWorksOnTheWholeName) {
  struct TRow {
    QString FName;
    QString FSearch;
    QString FReplace;
    QString FExpected;
  };
  const TRow LRows[] = {
      {u"Trip.2015"_s, u"trip"_s, u"Tour"_s, u"Tour.2015"_s},
      // The part after a dot is no extension: it is searched like the rest.
      {u"a.txt"_s, u"."_s, u"_"_s, u"a_txt"_s},
      {u"note.txt"_s, u"e.t"_s, u"E-T"_s, u"notE-Txt"_s},
      {u"ABab"_s, u"ab"_s, u"x"_s, u"xx"_s},
      {u"foo"_s, u"o"_s, u"oo"_s, u"foooo"_s},
      {u"foo"_s, u""_s, u"x"_s, u"foo"_s},
  };
  for (const TRow &LRow : LRows) {
    TFolderInfo LItem = MakeItem(u"/p"_s, u"old"_s);
    LItem.SetNewName(LRow.FName);
    LItem.SearchReplace_NewName(LRow.FSearch, LRow.FReplace);
    EXPECT_EQ(LItem.NewName(), LRow.FExpected) << LRow.FName.toStdString();
  }
}

TEST(FolderInfo, CheckLocationTable) {
  struct TRow {
    QString FLocation;
    QString FExpected;
  };
  const TRow LRows[] = {
      {u"/A"_s, u"/X"_s}, {u"/A/B"_s, u"/X/B"_s}, {u"/A/"_s, u"/X/"_s},   {u"/AB"_s, u"/AB"_s},
      {u"/a"_s, u"/a"_s}, {u"/"_s, u"/"_s},       {u"/B/A"_s, u"/B/A"_s},
  };
  for (const TRow &LRow : LRows) {
    TFolderInfo LItem = MakeItem(LRow.FLocation, u"n"_s);
    LItem.CheckLocation(u"/A"_s, u"/X"_s);
    EXPECT_EQ(LItem.Location(), LRow.FExpected) << LRow.FLocation.toStdString();
  }
}

TEST(FolderInfo, DateStrShowsShortDateAndLongTimeInTheUserLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  struct TRow {
    QDateTime FDate;
    QString FExpected;
  };
  const TRow LRows[] = {
      {Local(2015, 3, 5, 14, 7, 9), u"05.03.15 14:07:09"_s},
      {Local(2015, 3, 5, 0, 0, 0), u"05.03.15"_s},
      {Local(2015, 3, 5, 0, 0, 0, 400), u"05.03.15"_s},
      {Local(2015, 3, 5, 0, 0, 1), u"05.03.15 00:00:01"_s},
      // A time that could not be read shows as the zero date.
      {QDateTime(), u"30.12.99"_s},
  };
  for (const TRow &LRow : LRows)
    EXPECT_EQ(MakeItem(u"/p"_s, u"d"_s, LRow.FDate).DateStr(), LRow.FExpected);
  // A time kept in UTC is shown in local time.
  const QDateTime LUtc = Local(2015, 3, 5, 14, 7, 9).toUTC();
  EXPECT_EQ(MakeItem(u"/p"_s, u"d"_s, LUtc).DateStr(), u"05.03.15 14:07:09"_s);
  QLocale::setDefault(QLocale::system());
}

TEST(FolderInfo, SizeStrIsComputedOnFirstReadAndKept) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"Data/a.bin"_s, QByteArray(1000, 'a'));
  LTree.WriteFile(u"Data/sub/.hidden"_s, QByteArray(48, 'h'));
  TFolderInfo LItem = MakeItem(LTree.Root(), u"Data"_s);
  EXPECT_FALSE(LItem.IsInitializedSize());
  EXPECT_EQ(LItem.SizeStr(), u"1 KB"_s);
  EXPECT_TRUE(LItem.IsInitializedSize());
  LTree.WriteFile(u"Data/more.bin"_s, QByteArray(5000, 'm'));
  EXPECT_EQ(LItem.SizeStr(), u"1 KB"_s);
}

} // namespace
