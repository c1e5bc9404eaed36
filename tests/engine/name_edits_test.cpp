#include "uNameEdits.h"

#include "uZeroDate.h"

#include <gtest/gtest.h>

#include <climits>

using namespace nameedits;

TEST(NameEdits, CaseRulesKeepLengthAndOnlyRaiseWhereAsked) {
  struct TCase {
    const char16_t *FText;
    const char16_t *FLower;
    const char16_t *FUpper;
    const char16_t *FFirst;
    const char16_t *FAllFirst;
  };
  const TCase LCases[] = {
      {u"IMG_01", u"img_01", u"IMG_01", u"IMG_01", u"IMG_01"},
      {u"élan vital", u"élan vital", u"ÉLAN VITAL", u"Élan vital", u"Élan Vital"},
      {u"2015 trip", u"2015 trip", u"2015 TRIP", u"2015 trip", u"2015 Trip"},
      {u"iPHONE", u"iphone", u"IPHONE", u"IPHONE", u"IPHONE"},
      {u"my holiday photo", u"my holiday photo", u"MY HOLIDAY PHOTO", u"My holiday photo",
       u"My Holiday Photo"},
      {u"foo_bar-baz.qux\tz", u"foo_bar-baz.qux\tz", u"FOO_BAR-BAZ.QUX\tZ", u"Foo_bar-baz.qux\tz",
       u"Foo_bar-baz.qux\tz"},
      {u"a  b", u"a  b", u"A  B", u"A  b", u"A  B"},
      {u"straße ", u"straße ", u"STRAßE ", u"Straße ", u"Straße "},
      {u"", u"", u"", u"", u""},
  };
  for (const auto &LCase : LCases) {
    const QString LText = QString::fromUtf16(LCase.FText);
    EXPECT_EQ(ToLowerUnits(LText), QString::fromUtf16(LCase.FLower)) << LText.toStdString();
    EXPECT_EQ(ToUpperUnits(LText), QString::fromUtf16(LCase.FUpper)) << LText.toStdString();
    EXPECT_EQ(FirstLetterUp(LText), QString::fromUtf16(LCase.FFirst)) << LText.toStdString();
    EXPECT_EQ(AllFirstUp(LText), QString::fromUtf16(LCase.FAllFirst)) << LText.toStdString();
  }
}

TEST(NameEdits, SearchReplaceIgnoresCaseAndNeverSearchesTheReplacement) {
  struct TCase {
    const char16_t *FText;
    const char16_t *FSearch;
    const char16_t *FReplace;
    const char16_t *FExpected;
  };
  const TCase LCases[] = {
      {u"photo.JPG", u"jpg", u"png", u"photo.png"},
      {u"foo.txt", u"o", u"oo", u"foooo.txt"},
      {u"a.txt", u".", u"_", u"a_txt"},
      {u"note.txt", u"e.t", u"E-T", u"notE-Txt"},
      {u"ABab.txt", u"ab", u"x", u"xx.txt"},
      {u"aaaa", u"aa", u"b", u"bb"},
      {u"aaa", u"aa", u"b", u"ba"},
      {u"Élan.txt", u"élan", u"x", u"x.txt"},
      {u"abc", u"", u"x", u"abc"},
      {u"abc", u"abcd", u"x", u"abc"},
      {u"abc", u"B", u"", u"ac"},
      {u"ab", u"ab", u"ab", u"ab"},
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(SearchReplace(QString::fromUtf16(LCase.FText), QString::fromUtf16(LCase.FSearch),
                            QString::fromUtf16(LCase.FReplace)),
              QString::fromUtf16(LCase.FExpected))
        << QString::fromUtf16(LCase.FText).toStdString();
}

TEST(NameEdits, CounterValueAndText) {
  EXPECT_EQ(CounterValue(5, 10, 3), 35);
  EXPECT_EQ(CounterValue(1, 1, 0), 1);
  EXPECT_EQ(CounterValue(INT_MAX, 1, 1), INT_MIN);
  EXPECT_EQ(CounterValue(0, -3, 2), -6);

  struct TCase {
    int FValue;
    int FDigits;
    const char16_t *FExpected;
  };
  const TCase LCases[] = {
      {35, 1, u"35"},
      {35, 4, u"0035"},
      {1234, 2, u"1234"},
      {1, 3, u"001"},
      {0, 0, u"0"},
      {-5, 3, u"0-5"},
      {-5, 1, u"-5"},
      {7, -2, u"7"},
      {INT_MIN, 1, u"-2147483648"},
      {INT_MAX, 12, u"002147483647"},
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(CounterText(LCase.FValue, LCase.FDigits), QString::fromUtf16(LCase.FExpected));
}

TEST(NameEdits, DateAndTimeTexts) {
  const QDateTime LDate(QDate(2015, 3, 5), QTime(14, 7, 9));
  EXPECT_EQ(DateText(LDate), QStringLiteral("05032015"));
  EXPECT_EQ(TimeText(LDate), QStringLiteral("140709"));
  EXPECT_EQ(DateText(ZeroDateTime()), QStringLiteral("30121899"));
  EXPECT_EQ(TimeText(ZeroDateTime()), QStringLiteral("000000"));
  EXPECT_EQ(DateText(QDateTime()), QStringLiteral("30121899"));
  EXPECT_EQ(TimeText(QDateTime()), QStringLiteral("000000"));
  const QDateTime LEarly(QDate(987, 12, 31), QTime(0, 0, 59));
  EXPECT_EQ(DateText(LEarly), QStringLiteral("31120987"));
  EXPECT_EQ(TimeText(LEarly), QStringLiteral("000059"));
}

TEST(CompareTextAZ, FoldsOnlyAToZ) {
  struct TCase {
    const char16_t *FLeft;
    const char16_t *FRight;
    int FSign;
  };
  const TCase LCases[] = {
      {u"abc", u"ABC", 0},       {u"a", u"B", -1},    {u"_", u"a", 1}, // 'a' folds to 'A' < '_'
      {u"\u00e9", u"\u00c9", 1}, {u"ab", u"abc", -1}, {u"", u"", 0},
  };
  for (const TCase &LCase : LCases) {
    const int LResult = CompareTextAZ(QStringView(LCase.FLeft), QStringView(LCase.FRight));
    EXPECT_EQ((LResult > 0) - (LResult < 0), LCase.FSign)
        << QString::fromUtf16(LCase.FLeft).toStdString();
  }
}

TEST(SearchReplaceRule, RegularExpressionsAndMatchCase) {
  struct TCase {
    const char16_t *FText;
    const char16_t *FSearch;
    const char16_t *FReplace;
    bool FRegex;
    bool FMatchCase;
    const char16_t *FResult;
  };
  const TCase LCases[] = {
      // Plain text, letter case ignored: as the plain search always was.
      {u"IMG_001.JPG", u"img", u"Trip", false, false, u"Trip_001.JPG"},
      {u"IMG_001.JPG", u"img", u"Trip", false, true, u"IMG_001.JPG"},
      {u"img_IMG.jpg", u"IMG", u"x", false, true, u"img_x.jpg"},
      // Groups, the whole match, anchors, names.
      {u"IMG_001.JPG", u"IMG_(\\d+)", u"Trip-$1", true, false, u"Trip-001.JPG"},
      {u"IMG_001.JPG", u"\\d+", u"[$0]", true, false, u"IMG_[001].JPG"},
      {u"a1b22c333", u"\\d+", u"#", true, false, u"a#b#c#"},
      {u"abcabc", u"^abc", u"X", true, false, u"Xabc"},
      {u"abc.txt", u"(?<stem>\\w+)\\.txt$", u"${stem}-new.txt", true, false, u"abc-new.txt"},
      // Letter case: ignored unless asked for.
      {u"Photo.JPG", u"jpg$", u"png", true, false, u"Photo.png"},
      {u"Photo.JPG", u"jpg$", u"png", true, true, u"Photo.JPG"},
      // "$$" is a dollar sign; any other "$" stands for itself.
      {u"price", u"price", u"$$5 $x $", true, false, u"$5 $x $"},
      // Empty matches: one between characters, none right after a match
      // (globalMatch would give one at 2, after "aa").
      {u"ab", u"x*", u"-", true, false, u"-a-b-"},
      {u"aab", u"a*", u"-", true, false, u"-b-"},
      // A group that did not take part inserts nothing.
      {u"ab", u"(x)?ab", u"[$1]", true, false, u"[]"},
  };
  for (const TCase &LCase : LCases) {
    const nameedits::TSearchReplace LRule(QString::fromUtf16(LCase.FSearch),
                                          QString::fromUtf16(LCase.FReplace), LCase.FRegex,
                                          LCase.FMatchCase);
    EXPECT_TRUE(LRule.IsValid());
    EXPECT_EQ(LRule.Apply(QString::fromUtf16(LCase.FText)), QString::fromUtf16(LCase.FResult))
        << QString::fromUtf16(LCase.FText).toStdString() << " / "
        << QString::fromUtf16(LCase.FSearch).toStdString();
  }
}

TEST(SearchReplaceRule, AnInvalidPatternReplacesNothingAndSaysWhy) {
  const nameedits::TSearchReplace LRule(QStringLiteral("(abc"), QStringLiteral("x"), true, false);
  EXPECT_FALSE(LRule.IsValid());
  EXPECT_FALSE(LRule.ErrorText().isEmpty());
  EXPECT_EQ(LRule.Apply(QStringLiteral("abc")), QStringLiteral("abc"));
}

TEST(SearchReplaceRule, BytesThatAreNotUtf8StayWhereNothingMatched) {
  // "bad\xff_x.jpg": the byte 0xFF is held as U+DCFF.
  const QString LName = QStringLiteral("bad") + QChar(0xDCFF) + QStringLiteral("_x.jpg");
  const nameedits::TSearchReplace LRule(QStringLiteral("_x"), QStringLiteral("_y"), true, false);
  EXPECT_EQ(LRule.Apply(LName), QStringLiteral("bad") + QChar(0xDCFF) + QStringLiteral("_y.jpg"));
  // The expression sees U+FFFD in the byte's place; a group keeps the byte.
  const nameedits::TSearchReplace LGroup(QStringLiteral("^bad(\\x{FFFD})"),
                                         QStringLiteral("good$1"), true, false);
  EXPECT_EQ(LGroup.Apply(LName), QStringLiteral("good") + QChar(0xDCFF) + QStringLiteral("_x.jpg"));
}
