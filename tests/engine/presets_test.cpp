#include "uPresets.h"
#include "uRenameList.h"
#include "uSetting.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class PresetsTest : public ::testing::Test {
protected:
  QString IniPath() const { return FTree.Path(QStringLiteral("Presets.ini")); }
  TPresetsFile File() const { return TPresetsFile(IniPath()); }

  testsupport::TTempTree FTree;
};

TPreset FilePreset(const QString &AName) {
  TPreset LPreset;
  LPreset.FName = AName;
  LPreset.FRecipe.FNameMask = QStringLiteral("Photo_[C]");
  LPreset.FRecipe.FExtMask = QStringLiteral("[E]");
  LPreset.FRecipe.FCounterStart = 7;
  LPreset.FRecipe.FCounterStep = 3;
  LPreset.FRecipe.FCounterDigits = 4;
  LPreset.FRecipe.FSearch = QStringLiteral("(\\d+)");
  LPreset.FRecipe.FReplace = QStringLiteral("n$1");
  LPreset.FRecipe.FRegex = true;
  LPreset.FRecipe.FMatchCase = true;
  LPreset.FRecipe.FCase = TCaseRule::Words;
  return LPreset;
}

} // namespace

TEST_F(PresetsTest, ASavedPresetIsWrittenWithTheKeysAndReadBackWhole) {
  TPreset LPreset = FilePreset(QStringLiteral("Holiday"));
  LPreset.FOrder = QStringLiteral("taken");
  LPreset.FReverse = true;
  const TPresetWrite LWrite = File().Save(LPreset);
  ASSERT_TRUE(LWrite) << LWrite.FError.toStdString();
  EXPECT_FALSE(LWrite.FReplaced);
  EXPECT_EQ(testsupport::ReadFile(IniPath()).toStdString(),
            "[Preset Holiday]\nKind=files\nNameMask=Photo_[C%5D\nExtMask=[E%5D\nCounterStart=7\n"
            "CounterStep=3\nDigits=4\nSearch=(\\d+)\nReplace=n$1\nRegexSearch=1\nMatchCase=1\n"
            "Case=4\nOrder=taken\nReverse=1\n");
  const TPresetsRead LRead = File().Read();
  ASSERT_TRUE(LRead.FOk);
  ASSERT_EQ(LRead.FPresets.size(), 1u);
  EXPECT_EQ(LRead.FPresets[0], LPreset);
}

// Order names each order as --sort does; the command line and the window
// turn it into the same key.
TEST(PresetOrderTest, EveryOrderHasTheNameSortGivesIt) {
  const std::pair<const char *, TSortKey> LCases[] = {
      {"name", TSortKey::OldName},      {"new-name", TSortKey::NewName},
      {"location", TSortKey::Location}, {"taken", TSortKey::Taken},
      {"modified", TSortKey::Modified}, {"size", TSortKey::Size},
  };
  for (const auto &[LText, LKey] : LCases) {
    SCOPED_TRACE(LText);
    EXPECT_EQ(PresetOrderText(LKey), QString::fromLatin1(LText));
    EXPECT_EQ(PresetSortKey(QString::fromLatin1(LText)), LKey);
  }
  EXPECT_EQ(PresetSortKey(QString()), std::nullopt);
  EXPECT_EQ(PresetSortKey(QStringLiteral("colour")), std::nullopt);
}

TEST_F(PresetsTest, AwkwardTextsComeBackAsTheyWere) {
  struct TCase {
    const char *FWhat;
    QString FText;
  };
  const TCase LCases[] = {
      {"one blank", QStringLiteral(" ")},
      {"blanks around", QStringLiteral("  a b  ")},
      {"a tab at the end", QStringLiteral("x\t")},
      {"a no-break space at the start", QStringLiteral("\u00A0x")},
      {"percent signs", QStringLiteral("100% %41 %")},
      {"brackets", QStringLiteral("[N]] [x]")},
      {"line breaks", QStringLiteral("a\nb\r\nc\r")},
      {"control characters", QStringLiteral("a\x01") + QChar(u'\0') + QStringLiteral("\x7f")},
      {"a semicolon and an equals sign", QStringLiteral(";a=b")},
      {"letters beyond ASCII", QStringLiteral("Straße 東京 \U0001F600")},
      {"empty", QString()},
  };
  int LNumber = 0;
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FWhat);
    // A name takes the text too, less its line breaks (a name has none).
    QString LName = QStringLiteral("n%1 ").arg(++LNumber) + LCase.FText;
    LName.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    TPreset LPreset = FilePreset(LName);
    LPreset.FRecipe.FNameMask = LCase.FText;
    LPreset.FRecipe.FExtMask = LCase.FText;
    LPreset.FRecipe.FSearch = LCase.FText;
    LPreset.FRecipe.FReplace = LCase.FText;
    ASSERT_TRUE(File().Save(LPreset));
    QString LError;
    const std::optional<TPreset> LRead = File().Find(LPreset.FName, LError);
    ASSERT_TRUE(LRead.has_value()) << LError.toStdString();
    EXPECT_EQ(*LRead, LPreset);
  }
  // Every line of the file is a section or a key: no value broke a line.
  for (const QByteArray &LLine : testsupport::ReadFile(IniPath()).split('\n'))
    EXPECT_TRUE(LLine.isEmpty() || LLine.startsWith('[') || LLine.contains('='))
        << LLine.toStdString();
  EXPECT_EQ(File().Read().FPresets.size(), std::size(LCases));
}

TEST_F(PresetsTest, EscapingWritesOnlyWhatTheReaderWouldLose) {
  struct TCase {
    QString FText;
    QString FWritten;
  };
  const TCase LCases[] = {
      {QStringLiteral("a b"), QStringLiteral("a b")},
      {QStringLiteral(" a "), QStringLiteral("%20a%20")},
      {QStringLiteral("50%"), QStringLiteral("50%25")},
      {QStringLiteral("x]"), QStringLiteral("x%5D")},
      {QStringLiteral("a\nb"), QStringLiteral("a%0Ab")},
      {QStringLiteral("\u00A0"), QStringLiteral("%C2%A0")},
  };
  for (const TCase &LCase : LCases) {
    EXPECT_EQ(EscapePresetText(LCase.FText), LCase.FWritten);
    EXPECT_EQ(UnescapePresetText(LCase.FWritten), LCase.FText);
  }
  for (const QString &LBroken : {QStringLiteral("%"), QStringLiteral("a%4"), QStringLiteral("%G0")})
    EXPECT_FALSE(UnescapePresetText(LBroken).has_value()) << LBroken.toStdString();
}

TEST_F(PresetsTest, NamesAreOneRegardlessOfLetterCase) {
  ASSERT_TRUE(File().Save(FilePreset(QStringLiteral("Holiday"))));
  TPreset LNew = FilePreset(QStringLiteral("HOLIDAY"));
  LNew.FKind = TPresetKind::Folders;
  LNew.FRecipe.FNameMask = QStringLiteral("[N]_new");
  const TPresetWrite LWrite = File().Save(LNew);
  ASSERT_TRUE(LWrite);
  EXPECT_TRUE(LWrite.FReplaced);
  const TPresetsRead LRead = File().Read();
  ASSERT_EQ(LRead.FPresets.size(), 1u);
  EXPECT_EQ(LRead.FPresets[0], LNew);
  QString LError;
  EXPECT_TRUE(File().Find(QStringLiteral("holiday"), LError).has_value());
}

TEST_F(PresetsTest, RenameAndRemoveKeepTheOtherLinesOfTheFile) {
  ASSERT_TRUE(testsupport::WriteFile(IniPath(), "; my presets\r\n[Mine]\r\nKeep=this\r\n"));
  ASSERT_TRUE(File().Save(FilePreset(QStringLiteral("One"))));
  ASSERT_TRUE(File().Save(FilePreset(QStringLiteral("Two"))));
  const QByteArray LWithBoth = testsupport::ReadFile(IniPath());
  EXPECT_TRUE(LWithBoth.startsWith("; my presets\r\n[Mine]\r\nKeep=this\r\n[Preset One]\r\n"));

  ASSERT_TRUE(File().Rename(QStringLiteral("one"), QStringLiteral("Een ]")));
  QString LError;
  const std::optional<TPreset> LRenamed = File().Find(QStringLiteral("Een ]"), LError);
  ASSERT_TRUE(LRenamed.has_value());
  TPreset LExpected = FilePreset(QStringLiteral("Een ]"));
  EXPECT_EQ(*LRenamed, LExpected);
  // A name another preset has is refused; the file stays as it was.
  const QByteArray LBefore = testsupport::ReadFile(IniPath());
  EXPECT_FALSE(File().Rename(QStringLiteral("Two"), QStringLiteral("een ]")));
  EXPECT_FALSE(File().Rename(QStringLiteral("Nobody"), QStringLiteral("x")));
  EXPECT_FALSE(File().Rename(QStringLiteral("Two"), QStringLiteral("a\nb")));
  EXPECT_EQ(testsupport::ReadFile(IniPath()), LBefore);

  ASSERT_TRUE(File().Remove(QStringLiteral("EEN ]")));
  ASSERT_TRUE(File().Remove(QStringLiteral("two")));
  EXPECT_FALSE(File().Remove(QStringLiteral("two")));
  EXPECT_EQ(testsupport::ReadFile(IniPath()), "; my presets\r\n[Mine]\r\nKeep=this\r\n");
}

TEST_F(PresetsTest, ADamagedPresetIsListedAndKeptByteForByte) {
  struct TCase {
    const char *FLine;
    const char *FKey;
  };
  const TCase LCases[] = {
      {"Kind=pictures", "Kind"},
      {"CounterStart=ten", "CounterStart"},
      {"Digits=11", "Digits"},
      {"Case=5", "Case"},
      {"RegexSearch=yes", "RegexSearch"},
      {"Search=50%", "Search"},
      {"Order=colour", "Order"},
      {"Reverse=2", "Reverse"},
      // A folder has no date taken and no size.
      {"Kind=folders\nOrder=taken", "Order"},
      {"Kind=folders\nOrder=Size", "Order"},
  };
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FLine);
    const QByteArray LDamaged =
        QByteArray("[Preset Broken]\nNameMask=[N]_x\n") + LCase.FLine + "\n\n";
    ASSERT_TRUE(testsupport::WriteFile(IniPath(), LDamaged));
    ASSERT_TRUE(File().Save(FilePreset(QStringLiteral("Good"))));
    const TPresetsRead LRead = File().Read();
    ASSERT_EQ(LRead.FPresets.size(), 2u);
    EXPECT_TRUE(LRead.FPresets[0].FDamaged);
    EXPECT_EQ(LRead.FPresets[0].FName, QStringLiteral("Broken"));
    EXPECT_EQ(LRead.FPresets[0].FDamage, QString::fromLatin1(LCase.FKey));
    EXPECT_FALSE(LRead.FPresets[1].FDamaged);
    EXPECT_TRUE(testsupport::ReadFile(IniPath()).startsWith(LDamaged));
  }
  // Missing keys take their defaults and damage nothing.
  ASSERT_TRUE(testsupport::WriteFile(IniPath(), "[preset Bare]\n"));
  const TPresetsRead LBare = File().Read();
  ASSERT_EQ(LBare.FPresets.size(), 1u);
  TPreset LDefault;
  LDefault.FName = QStringLiteral("Bare");
  EXPECT_EQ(LBare.FPresets[0], LDefault);
}

TEST_F(PresetsTest, TheFileLiesBesideTheSettings) {
  TSettings::SetExecutableFolderForTesting(FTree.Root());
  EXPECT_EQ(TPresetsFile::DefaultFileName(), IniPath());
  TSettings::SetExecutableFolderForTesting(QString());
}

namespace {

class FullDiskPresetsTest : public ::testing::Test {
protected:
  FullDiskPresetsTest() : FDisk(64) {}
  testsupport::TTmpfsMount FDisk;
};

} // namespace

TEST_F(FullDiskPresetsTest, ASaveOnAFullDiskKeepsTheOldFileWhole) {
  if (!FDisk.Mounted())
    GTEST_SKIP() << FDisk.SkipReason().toStdString();
  const QString LIni = FDisk.Root() + QStringLiteral("/Presets.ini");
  TPresetsFile LFile(LIni);
  ASSERT_TRUE(LFile.Save(FilePreset(QStringLiteral("Old"))));
  const QByteArray LOld = testsupport::ReadFile(LIni);
  ASSERT_TRUE(FDisk.FillUp());
  const TPresetWrite LWrite = LFile.Save(FilePreset(QStringLiteral("New")));
  EXPECT_FALSE(LWrite);
  EXPECT_TRUE(LWrite.FError.startsWith(QStringLiteral("Cannot write ")))
      << LWrite.FError.toStdString();
  EXPECT_EQ(testsupport::ReadFile(LIni), LOld);
  EXPECT_EQ(testsupport::SnapshotTree(FDisk.Root()).size(), 2u); // Presets.ini and the filler
}
