#include "platform/uIniFile.h"

#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <random>

using platform::IniParseInteger;
using platform::IniReadValue;
using platform::IniWriteValue;

namespace {

QByteArray Utf16LE(const char16_t *AText) {
  QByteArray LResult("\xFF\xFE", 2);
  for (const char16_t *p = AText; *p; ++p) {
    LResult.append(static_cast<char>(*p & 0xFF));
    LResult.append(static_cast<char>(*p >> 8));
  }
  return LResult;
}

QByteArray Utf16BE(const char16_t *AText) {
  QByteArray LResult("\xFE\xFF", 2);
  for (const char16_t *p = AText; *p; ++p) {
    LResult.append(static_cast<char>(*p >> 8));
    LResult.append(static_cast<char>(*p & 0xFF));
  }
  return LResult;
}

} // namespace

TEST(IniFile, ReadsOneKey) {
  const QByteArray LFile = "; comment=1\r\n"
                           "Top=outside\r\n"
                           "[Other]\r\n"
                           "EnableLog=5\r\n"
                           "  [ logging ]  \r\n"
                           "  enablelog  =   2   \r\n"
                           "EnableLog=3\r\n"
                           "Empty=\r\n"
                           ";LogFolder=/commented\r\n"
                           "Path = C:\\Tools\\Logs\\\r\n"
                           "[Logging]\r\n"
                           "Late=4";
  const struct {
    const char *FSection;
    const char *FKey;
    std::optional<QString> FExpected;
  } LCases[] = {
      {"Logging", "EnableLog", QStringLiteral("2")}, // case-insensitive, first wins, blanks dropped
      {"LOGGING", "ENABLELOG", QStringLiteral("2")},
      {"Other", "EnableLog", QStringLiteral("5")},
      {"Logging", "Empty", QString()},
      {"Logging", "Path", QStringLiteral("C:\\Tools\\Logs\\")},
      {"Logging", "Late", QStringLiteral("4")}, // a repeated section is read too
      {"Logging", "LogFolder", std::nullopt},   // only in a comment
      {"Logging", "Top", std::nullopt},         // before any section
      {"Missing", "EnableLog", std::nullopt},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(std::string(LCase.FSection) + "/" + LCase.FKey);
    EXPECT_EQ(
        IniReadValue(LFile, QString::fromLatin1(LCase.FSection), QString::fromLatin1(LCase.FKey)),
        LCase.FExpected);
  }
}

TEST(IniFile, ReadsEveryEncodingItKeeps) {
  const struct {
    const char *FName;
    QByteArray FContent;
  } LCases[] = {
      {"UTF-8", QByteArray("[S]\nK=/home/jörg/Logs\n")},
      {"UTF-8 with mark", QByteArray("\xEF\xBB\xBF[S]\nK=/home/jörg/Logs\n")},
      {"UTF-16 LE", Utf16LE(u"[S]\r\nK=/home/jörg/Logs\r\n")},
      {"UTF-16 BE", Utf16BE(u"[S]\r\nK=/home/jörg/Logs\r\n")},
      {"CR only", QByteArray("[S]\rK=/home/jörg/Logs\r")},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FName);
    EXPECT_EQ(IniReadValue(LCase.FContent, QStringLiteral("S"), QStringLiteral("K")),
              QString::fromUtf8("/home/jörg/Logs"));
  }
}

TEST(IniFile, WritesOneKeyAndKeepsEveryOtherLine) {
  const struct {
    const char *FName;
    QByteArray FBefore;
    const char *FSection;
    const char *FKey;
    const char *FValue;
    QByteArray FAfter;
  } LCases[] = {
      {"empty file", "", "Logging", "EnableLog", "0", "[Logging]\nEnableLog=0\n"},
      {"rewritten in place, spacing and case of the key kept",
       "; mine\r\n[logging]\r\nENABLELOG = 1\r\nLogFolder=/x\r\n", "Logging", "EnableLog", "0",
       "; mine\r\n[logging]\r\nENABLELOG = 0\r\nLogFolder=/x\r\n"},
      {"first of two keys", "[A]\nK=1\nK=2\n", "A", "K", "3", "[A]\nK=3\nK=2\n"},
      {"missing key after the last line of its section, before the blank lines",
       "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n", "A", "K", "v",
       "[A]\r\nX=1\r\nK=v\r\n\r\n[B]\r\nY=2\r\n"},
      {"missing key in a section of the last line without a line ending", "[A]\nX=1", "A", "K", "v",
       "[A]\nX=1\nK=v\n"},
      {"missing section at the end, no blank line added", "[A]\r\nX=1", "B", "K", "v",
       "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
      {"missing key goes to the first of two sections", "[A]\nX=1\n[B]\n[A]\nY=2\n", "A", "K", "v",
       "[A]\nX=1\nK=v\n[B]\n[A]\nY=2\n"},
      {"a value with a backslash, a semicolon and spaces inside is written as is", "[A]\nK=old\n",
       "A", "K", "C:\\a b;c", "[A]\nK=C:\\a b;c\n"},
      {"a key in a comment is not rewritten", "[A]\n;K=1\n", "A", "K", "2", "[A]\n;K=1\nK=2\n"},
      {"bytes that are no UTF-8 on other lines stay", "[A]\nN=\xE9t\xE9\nK=1\n", "A", "K", "2",
       "[A]\nN=\xE9t\xE9\nK=2\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[A]\nK=1\n", "A", "K", "2", "\xEF\xBB\xBF[A]\nK=2\n"},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FName);
    EXPECT_EQ(IniWriteValue(LCase.FBefore, QString::fromLatin1(LCase.FSection),
                            QString::fromLatin1(LCase.FKey), QString::fromUtf8(LCase.FValue)),
              LCase.FAfter);
  }
}

TEST(IniFile, WritesUtf16InItsOwnByteOrder) {
  EXPECT_EQ(IniWriteValue(Utf16LE(u"[Logging]\r\nLogFolder=/old\r\n; end\r\n"),
                          QStringLiteral("Logging"), QStringLiteral("LogFolder"),
                          QString::fromUtf8("/home/jörg")),
            Utf16LE(u"[Logging]\r\nLogFolder=/home/jörg\r\n; end\r\n"));
  EXPECT_EQ(IniWriteValue(Utf16BE(u"[A]\nX=1\n"), QStringLiteral("B"), QStringLiteral("K"),
                          QStringLiteral("v")),
            Utf16BE(u"[A]\nX=1\n[B]\nK=v\n"));
}

TEST(IniFile, SectionsAreListedRemovedAndRenamedKeepingTheOtherLines) {
  struct TCase {
    const char *FWhat;
    QByteArray FContent;
    QByteArray FRemoved; // without every section "b"
    QByteArray FRenamed; // every section "b" as "New"
  };
  const TCase LCases[] = {
      {"LF, the section in the middle", "; top\n[A]\nX=1\n[b]\nY=2\n\n[C]\nZ=3\n",
       "; top\n[A]\nX=1\n[C]\nZ=3\n", "; top\n[A]\nX=1\n[New]\nY=2\n\n[C]\nZ=3\n"},
      {"CR LF, the last section without a line end", "[A]\r\nX=1\r\n[B]\r\nY=2", "[A]\r\nX=1\r\n",
       "[A]\r\nX=1\r\n[New]\r\nY=2"},
      {"twice, blanks around the name", "[ B ]\nY=1\n[A]\nX=1\n[B] ; again\nY=2\n", "[A]\nX=1\n",
       "[New]\nY=1\n[A]\nX=1\n[New]\nY=2\n"},
      {"absent", "[A]\nX=1\n", "[A]\nX=1\n", "[A]\nX=1\n"},
      {"UTF-16 LE", Utf16LE(u"[A]\r\nX=ö\r\n[B]\r\nY=2\r\n"), Utf16LE(u"[A]\r\nX=ö\r\n"),
       Utf16LE(u"[A]\r\nX=ö\r\n[New]\r\nY=2\r\n")},
  };
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FWhat);
    EXPECT_EQ(platform::IniRemoveSection(LCase.FContent, QStringLiteral("B")), LCase.FRemoved);
    EXPECT_EQ(
        platform::IniRenameSection(LCase.FContent, QStringLiteral("B"), QStringLiteral("New")),
        LCase.FRenamed);
  }
  const std::vector<platform::TIniSection> LSections =
      platform::IniReadSections("Lost=1\n[A]\nX = 1 \n; note\n[B]\n[A]\nY=2\n");
  ASSERT_EQ(LSections.size(), 3u);
  EXPECT_EQ(LSections[0].FName, QStringLiteral("A"));
  ASSERT_EQ(LSections[0].FKeys.size(), 1u);
  EXPECT_EQ(LSections[0].FKeys[0].first, QStringLiteral("X"));
  EXPECT_EQ(LSections[0].FKeys[0].second, QStringLiteral("1"));
  EXPECT_TRUE(LSections[1].FKeys.empty());
  EXPECT_EQ(LSections[2].FKeys[0].second, QStringLiteral("2"));
}

TEST(IniFile, ParsesIntegers) {
  const struct {
    const char *FText;
    std::optional<int> FExpected;
  } LCases[] = {
      {"7", 7},
      {" 12 ", 12},
      {"-3", -3},
      {"+4", 4},
      {"0x0A", 10},
      {"0XfF", 255},
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"abc", std::nullopt},
      {"yes", std::nullopt},
      {"12abc", std::nullopt},
      {"0x", std::nullopt},
      {"0xG", std::nullopt},
      {"", std::nullopt},
      {"1 2", std::nullopt},
      {"\xd9\xa3", std::nullopt}, // an Arabic-Indic digit is not a decimal digit here
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FText);
    EXPECT_EQ(IniParseInteger(QString::fromUtf8(LCase.FText)), LCase.FExpected);
  }
}

TEST(IniFile, MissingFileReadsAsAbsentAndIsCreatedByTheFirstWrite) {
  testsupport::TTempTree LTree;
  platform::TIniFile LIni(LTree.Path(QStringLiteral("Settings.ini")));
  const platform::TIniReadResult LRead = LIni.ReadKey(QStringLiteral("A"), QStringLiteral("K"));
  EXPECT_TRUE(LRead.FOk);
  EXPECT_FALSE(LRead.FValue.has_value());
  EXPECT_FALSE(QFile::exists(LIni.FileName()));

  ASSERT_TRUE(LIni.WriteKey(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")));
  ASSERT_TRUE(LIni.WriteKey(QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("2")));
  EXPECT_EQ(testsupport::ReadFile(LIni.FileName()), QByteArray("[A]\nK=1\nL=2\n"));
  EXPECT_EQ(LIni.ReadKey(QStringLiteral("a"), QStringLiteral("l")).FValue, QStringLiteral("2"));
}

TEST(IniFile, RefusesAValueThatWouldSplitTheLine) {
  testsupport::TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral("Settings.ini"), "[A]\nK=1\n");
  platform::TIniFile LIni(LPath);
  for (const QString &LValue : {QStringLiteral("/x\n[A]\nK=2"), QStringLiteral("/x\r"),
                                QStringLiteral("/x") + QChar(u'\0')}) {
    const platform::TIniWriteResult LWrite =
        LIni.WriteKey(QStringLiteral("A"), QStringLiteral("K"), LValue);
    EXPECT_FALSE(LWrite.FOk);
    EXPECT_FALSE(LWrite.FError.isEmpty());
  }
  EXPECT_EQ(testsupport::ReadFile(LPath), QByteArray("[A]\nK=1\n"));
}

TEST(IniFile, ReportsAFileThatCannotBeReadOrWritten) {
  testsupport::TTempTree LTree;
  // A folder in the place of the file can be neither read nor written, also
  // for the superuser.
  const QString LPath = LTree.MakeDir(QStringLiteral("Settings.ini"));
  platform::TIniFile LIni(LPath);
  const platform::TIniReadResult LRead = LIni.ReadKey(QStringLiteral("A"), QStringLiteral("K"));
  EXPECT_FALSE(LRead.FOk);
  EXPECT_TRUE(LRead.FError.contains(LPath)) << LRead.FError.toStdString();
  const platform::TIniWriteResult LWrite =
      LIni.WriteKey(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1"));
  EXPECT_FALSE(LWrite.FOk);
  EXPECT_TRUE(LWrite.FError.contains(LPath)) << LWrite.FError.toStdString();
}

TEST(IniFile, WritesThroughASymbolicLink) {
  testsupport::TTempTree LTree;
  const QString LTarget = LTree.WriteFile(QStringLiteral("real/Settings.ini"), "[A]\nK=1\n");
  const QString LLink = LTree.Path(QStringLiteral("Settings.ini"));
  ASSERT_TRUE(QFile::link(LTarget, LLink));
  platform::TIniFile LIni(LLink);
  ASSERT_TRUE(LIni.WriteKey(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("2")));
  EXPECT_EQ(QFileInfo(LLink).symLinkTarget(), LTarget);
  EXPECT_EQ(testsupport::ReadFile(LTarget), QByteArray("[A]\nK=2\n"));
}

// Random files built from the pieces that matter to the parser: after one key
// is written, it reads back as written and every other key reads as before.
TEST(IniFile, RandomFilesKeepEveryOtherKey) {
  const char *const LPieces[] = {"[A]", "[a]", "[B]", "[",    "]",    "K",  "k",  "L",    "=", " ",
                                 "\t",  ";",   "v",   "\xE9", "\r\n", "\n", "\r", "\r\n", "\n"};
  const QString LSections[] = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
  const QString LKeys[] = {QStringLiteral("K"), QStringLiteral("L"), QStringLiteral("M")};
  std::mt19937 LRandom(20150310);
  for (int LRound = 0; LRound < 3000; ++LRound) {
    QByteArray LText;
    const int LCount = static_cast<int>(LRandom() % 24);
    for (int i = 0; i < LCount; ++i)
      LText.append(LPieces[LRandom() % std::size(LPieces)]);
    QByteArray LContent;
    switch (LRandom() % 4) {
    case 0:
      LContent = LText;
      break;
    case 1:
      LContent = "\xEF\xBB\xBF" + LText;
      break;
    default: {
      const QString LDecoded = QString::fromLatin1(LText);
      LContent = LRandom() % 2 ? Utf16LE(reinterpret_cast<const char16_t *>(LDecoded.utf16()))
                               : Utf16BE(reinterpret_cast<const char16_t *>(LDecoded.utf16()));
      if (LRandom() % 4 == 0)
        LContent.append('\x01'); // an odd last byte
    }
    }
    const QString &LSection = LSections[LRandom() % 3];
    const QString &LKey = LKeys[LRandom() % 3];
    const QString LValue = QString::fromUtf8(LRandom() % 2 ? "C:\\x y" : "");
    const QByteArray LAfter = IniWriteValue(LContent, LSection, LKey, LValue);
    SCOPED_TRACE(LContent.toHex().toStdString());
    ASSERT_EQ(IniReadValue(LAfter, LSection, LKey), LValue);
    for (const QString &LOtherSection : LSections) {
      for (const QString &LOtherKey : LKeys) {
        if (LOtherSection == LSection && LOtherKey == LKey)
          continue;
        ASSERT_EQ(IniReadValue(LAfter, LOtherSection, LOtherKey),
                  IniReadValue(LContent, LOtherSection, LOtherKey))
            << LOtherSection.toStdString() << "/" << LOtherKey.toStdString();
      }
    }
  }
}

TEST(IniWrite, ANewLineNeverFusesWithTheLinesAroundIt) {
  // Each file's first line ending is what new lines take; after a lone CR an
  // empty LF line would read as one CR LF, so the new line takes CR LF there.
  struct TCase {
    QByteArray FBefore;
    const char *FSection;
    QByteArray FAfter;
  };
  const TCase LCases[] = {
      {QByteArray("[A]\rX=1\r\n\n[B]\n"), "A", QByteArray("[A]\rX=1\r\nK=v\r\n\n[B]\n")},
      {QByteArray("[A]\rX=1\r\n[B]\n"), "A", QByteArray("[A]\rX=1\r\nK=v\r[B]\n")},
      {QByteArray("[A]\rX=1\r[B]\r"), "A", QByteArray("[A]\rX=1\rK=v\r[B]\r")},
      {QByteArray("[A]\nX=1"), "A", QByteArray("[A]\nX=1\nK=v\n")},
      {QByteArray("[A]\r\rX=1\r\n"), "C", QByteArray("[A]\r\rX=1\r\n[C]\rK=v\r")},
  };
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FBefore.toStdString());
    const QByteArray LAfter = IniWriteValue(LCase.FBefore, QString::fromLatin1(LCase.FSection),
                                            QStringLiteral("K"), QStringLiteral("v"));
    EXPECT_EQ(LAfter, LCase.FAfter) << LAfter.toHex().toStdString();
  }
}
