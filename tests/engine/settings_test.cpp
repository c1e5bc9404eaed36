#include "uSetting.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each test points the executable's folder at its own temporary folder.
class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() { TSettings::SetExecutableFolderForTesting(FTree.Root()); }
  ~SettingsTest() override { TSettings::SetExecutableFolderForTesting(QString()); }

  QString IniPath() const { return FTree.Path(QStringLiteral("Settings.ini")); }
  QString LogsPath() const { return FTree.Path(QStringLiteral("Logs")); }

  testsupport::TTempTree FTree;
};

// Makes a file unchangeable for the test's duration: read-only for an
// ordinary user, immutable for the superuser (who may write read-only files).
class TUnwritableFile {
public:
  explicit TUnwritableFile(const QString &APath) : FPath(APath.toLocal8Bit()) {
    if (geteuid() != 0) {
      FOk = chmod(FPath.constData(), 0444) == 0;
      return;
    }
    FImmutable = std::make_unique<testsupport::TImmutableFile>(APath);
    FOk = FImmutable->Ok();
  }
  ~TUnwritableFile() {
    if (!FImmutable)
      chmod(FPath.constData(), 0644);
  }
  bool Ok() const { return FOk; }

private:
  QByteArray FPath;
  std::unique_ptr<testsupport::TImmutableFile> FImmutable;
  bool FOk = false;
};

QStringList Lines(const QByteArray &AContent) {
  return QString::fromUtf8(AContent).split(QLatin1Char('\n'));
}

} // namespace

TEST_F(SettingsTest, ConstructionValuesBeforeAnythingIsLoaded) {
  TSettings LSettings;
  EXPECT_FALSE(LSettings.EnableLog());
  EXPECT_EQ(LSettings.LogFolder(), QString());
  EXPECT_FALSE(LSettings.DeleteOldLogFiles());
  EXPECT_EQ(LSettings.DeleteOldLogFilesDays(), 0);
  EXPECT_FALSE(LSettings.IncludeSelectedRootFolder());
}

TEST_F(SettingsTest, PathsLieInTheExecutablesFolder) {
  TSettings LSettings;
  EXPECT_EQ(LSettings.SettingsFileName(), IniPath());
  EXPECT_EQ(LSettings.DefaultLogFolder(), LogsPath());
  // The file name is cached at its first read.
  const QString LFirst = LSettings.SettingsFileName();
  TSettings::SetExecutableFolderForTesting(QStringLiteral("/elsewhere"));
  EXPECT_EQ(LSettings.SettingsFileName(), LFirst);
}

// Sets an environment variable for a scope and puts the old value back.
class TEnvironment {
public:
  TEnvironment(const char *AName, const QByteArray &AValue)
      : FName(AName), FHad(qEnvironmentVariableIsSet(AName)), FOld(qgetenv(AName)) {
    qputenv(AName, AValue);
  }
  ~TEnvironment() {
    if (FHad)
      qputenv(FName, FOld);
    else
      qunsetenv(FName);
  }
  TEnvironment(const TEnvironment &) = delete;
  TEnvironment &operator=(const TEnvironment &) = delete;

private:
  const char *FName;
  bool FHad;
  QByteArray FOld;
};

// The executable in "prefix/bin" of a tree, the program built for "prefix",
// the XDG folders elsewhere in the tree.
class InstalledSettingsTest : public ::testing::Test {
protected:
  InstalledSettingsTest()
      : FConfig("XDG_CONFIG_HOME", QFile::encodeName(FTree.Path(QStringLiteral("config")))),
        FState("XDG_STATE_HOME", QFile::encodeName(FTree.Path(QStringLiteral("state")))) {
    FTree.MakeDir(QStringLiteral("prefix/bin"));
    TSettings::SetExecutableFolderForTesting(FTree.Path(QStringLiteral("prefix/bin/")));
    TSettings::SetInstallPrefixForTesting(FTree.Path(QStringLiteral("prefix")));
  }
  ~InstalledSettingsTest() override {
    TSettings::SetExecutableFolderForTesting(QString());
    TSettings::SetInstallPrefixForTesting(QString());
  }

  testsupport::TTempTree FTree;
  TEnvironment FConfig;
  TEnvironment FState;
};

TEST_F(InstalledSettingsTest, SettingsGoToTheConfigFolderAndLogsToTheStateFolder) {
  // The folder beside the executable may be read-only: nothing is written there.
  ASSERT_EQ(chmod(FTree.Path(QStringLiteral("prefix/bin")).toLocal8Bit().constData(), 0555), 0);
  TSettings LSettings;
  EXPECT_FALSE(LSettings.IsPortable());
  EXPECT_EQ(LSettings.SettingsFileName(),
            FTree.Path(QStringLiteral("config/varnwell/Settings.ini")));
  EXPECT_EQ(LSettings.DefaultLogFolder(), FTree.Path(QStringLiteral("state/varnwell/Logs")));
  LSettings.LoadSettingsFromIniFile();
  EXPECT_EQ(LSettings.LogFolder(), FTree.Path(QStringLiteral("state/varnwell/Logs")));
  LSettings.SetEnableLog(true);
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(LSettings.ExeptionText(), QString());
  EXPECT_TRUE(QFile::exists(FTree.Path(QStringLiteral("config/varnwell/Settings.ini"))));
  EXPECT_FALSE(QFile::exists(FTree.Path(QStringLiteral("prefix/bin/Settings.ini"))));
  TSettings LAgain;
  LAgain.LoadSettingsFromIniFile();
  EXPECT_TRUE(LAgain.EnableLog());
  chmod(FTree.Path(QStringLiteral("prefix/bin")).toLocal8Bit().constData(), 0755);
}

TEST_F(InstalledSettingsTest, ASettingsFileBesideTheExecutableKeepsItPortable) {
  FTree.WriteFile(QStringLiteral("prefix/bin/Settings.ini"), "[Logging]\nEnableLog=1\n");
  TSettings LSettings;
  EXPECT_TRUE(LSettings.IsPortable());
  EXPECT_EQ(LSettings.SettingsFileName(), FTree.Path(QStringLiteral("prefix/bin/Settings.ini")));
  EXPECT_EQ(LSettings.DefaultLogFolder(), FTree.Path(QStringLiteral("prefix/bin/Logs")));
}

TEST_F(InstalledSettingsTest, WithoutXdgVariablesTheHomeFoldersAreUsed) {
  TEnvironment LConfig("XDG_CONFIG_HOME", QByteArray("relative/is/ignored"));
  TEnvironment LState("XDG_STATE_HOME", QByteArray());
  TEnvironment LHome("HOME", QFile::encodeName(FTree.Path(QStringLiteral("home"))));
  TSettings LSettings;
  EXPECT_EQ(LSettings.SettingsFileName(),
            FTree.Path(QStringLiteral("home/.config/varnwell/Settings.ini")));
  EXPECT_EQ(LSettings.DefaultLogFolder(),
            FTree.Path(QStringLiteral("home/.local/state/varnwell/Logs")));
}

// A settings file whose folder lies below a regular file cannot be there
// ("Not a directory"): like a missing file it is no error, and every key
// takes its default. A save then fails and says so.
TEST_F(InstalledSettingsTest, AFolderBelowAFileMeansNoFileAndTheDefaults) {
  struct TCase {
    const char *FFile; // the regular file where a folder belongs; none for a missing file
  };
  const TCase LCases[] = {{nullptr}, {"config/varnwell"}, {"config"}};
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FFile ? LCase.FFile : "missing file");
    testsupport::TTempTree LConfigTree;
    TEnvironment LConfig("XDG_CONFIG_HOME",
                         QFile::encodeName(LConfigTree.Path(QStringLiteral("config"))));
    QString LBlocker;
    if (LCase.FFile)
      LBlocker = LConfigTree.WriteFile(QString::fromLatin1(LCase.FFile), "not a folder\n");
    TSettings LSettings;
    LSettings.SetEnableLog(true);
    LSettings.SetLogFolder(QStringLiteral("/before"));
    LSettings.SetDeleteOldLogFiles(false);
    LSettings.SetLastOpenedFolder(QStringLiteral("/was/here"));
    LSettings.SetIncludeSelectedRootFolder(false);
    LSettings.SetJournalKeepDays(3);
    LSettings.LoadSettingsFromIniFile();
    EXPECT_EQ(LSettings.ExeptionText(), QString());
    EXPECT_FALSE(LSettings.EnableLog());
    EXPECT_EQ(LSettings.LogFolder(), FTree.Path(QStringLiteral("state/varnwell/Logs")));
    EXPECT_TRUE(LSettings.DeleteOldLogFiles());
    EXPECT_EQ(LSettings.DeleteOldLogFilesDays(), 7);
    EXPECT_EQ(LSettings.LastOpenedFolder(), QString());
    EXPECT_TRUE(LSettings.IncludeSelectedRootFolder());
    EXPECT_EQ(LSettings.JournalKeepDays(), 30);
    if (LBlocker.isEmpty())
      continue;
    LSettings.SaveSettingsToIniFile();
    EXPECT_TRUE(LSettings.ExeptionText().startsWith(QStringLiteral("EIniFileError")))
        << LSettings.ExeptionText().toStdString();
    EXPECT_EQ(testsupport::ReadFile(LBlocker), QByteArray("not a folder\n"));
  }
}

// Only a folder at or below the prefix counts as installed.
TEST(SettingsLocationTest, PortableUnlessBelowThePrefix) {
  struct TCase {
    const char *FExecutable;
    const char *FPrefix;
    bool FPortable;
  };
  const TCase LCases[] = {
      {"/usr/local/bin/", "/usr/local", false},
      {"/usr/bin/", "/usr", false},
      {"/usr/bin/", "/usr/", false},
      {"/usr/localx/bin/", "/usr/local", true},
      {"/home/me/build/Program/gui/", "/usr/local", true},
      {"/opt/varnwell/", "/opt/varnwell", false},
  };
  for (const TCase &LCase : LCases) {
    TSettings::SetExecutableFolderForTesting(QString::fromLatin1(LCase.FExecutable));
    TSettings::SetInstallPrefixForTesting(QString::fromLatin1(LCase.FPrefix));
    TSettings LSettings;
    EXPECT_EQ(LSettings.IsPortable(), LCase.FPortable) << LCase.FExecutable << " " << LCase.FPrefix;
  }
  TSettings::SetExecutableFolderForTesting(QString());
  TSettings::SetInstallPrefixForTesting(QString());
}

TEST_F(SettingsTest, WindowGeometryIsWrittenOnceKnownAndReadBack) {
  TSettings LSettings;
  LSettings.SetWindowGeometry(-20, 30, 1200, 800, true);
  LSettings.SaveSettingsToIniFile();
  const QStringList LLines = Lines(testsupport::ReadFile(IniPath()));
  const qsizetype LWindow = LLines.indexOf(QStringLiteral("[Window]"));
  ASSERT_GE(LWindow, 0);
  EXPECT_EQ(LLines.mid(LWindow + 1, 5),
            (QStringList{QStringLiteral("Left=-20"), QStringLiteral("Top=30"),
                         QStringLiteral("Width=1200"), QStringLiteral("Height=800"),
                         QStringLiteral("Maximized=1")}));
  TSettings LRead;
  LRead.LoadSettingsFromIniFile();
  EXPECT_EQ(LRead.WindowLeft(), -20);
  EXPECT_EQ(LRead.WindowTop(), 30);
  EXPECT_EQ(LRead.WindowWidth(), 1200);
  EXPECT_EQ(LRead.WindowHeight(), 800);
  EXPECT_TRUE(LRead.WindowMaximized());
}

TEST_F(SettingsTest, NoFileGivesTheDefaultsAndCreatesNothing) {
  TSettings LSettings;
  LSettings.SetLastOpenedFolder(QStringLiteral("/was/here"));
  LSettings.LoadSettingsFromIniFile();
  EXPECT_FALSE(LSettings.EnableLog());
  EXPECT_EQ(LSettings.LogFolder(), LogsPath());
  EXPECT_TRUE(LSettings.DeleteOldLogFiles());
  EXPECT_EQ(LSettings.DeleteOldLogFilesDays(), 7);
  EXPECT_EQ(LSettings.LastOpenedFolder(), QString());
  EXPECT_FALSE(LSettings.IncludeSelectedSubFolder());
  EXPECT_TRUE(LSettings.IncludeSelectedRootFolder());
  EXPECT_EQ(LSettings.ExeptionText(), QString());
  EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(SettingsTest, NewFileHoldsEveryKeyInOrder) {
  TSettings LSettings;
  LSettings.LoadSettingsFromIniFile();
  LSettings.SaveSettingsToIniFile();
  const QByteArray LContent = testsupport::ReadFile(IniPath());
  EXPECT_FALSE(LContent.startsWith("\xEF\xBB\xBF"));
  EXPECT_EQ(Lines(LContent), (QStringList{
                                 QStringLiteral("[Logging]"),
                                 QStringLiteral("EnableLog=0"),
                                 QStringLiteral("LogFolder=") + LogsPath(),
                                 QStringLiteral("DeleteOldLogFiles=1"),
                                 QStringLiteral("DeleteOldLogFilesDays=7"),
                                 QStringLiteral("[FolderMode]"),
                                 QStringLiteral("LastOpenedFolder="),
                                 QStringLiteral("IncludeSelectedSubFolders=0"),
                                 QStringLiteral("IncludeSelectedRootFolders=1"),
                                 QStringLiteral("[Journal]"),
                                 QStringLiteral("KeepBatches=50"),
                                 QStringLiteral("KeepDays=30"),
                                 QStringLiteral("[FilePage]"),
                                 QStringLiteral("RegexSearch=0"),
                                 QStringLiteral("MatchCase=0"),
                                 QStringLiteral("[FolderPage]"),
                                 QStringLiteral("RegexSearch=0"),
                                 QStringLiteral("MatchCase=0"),
                                 QString(),
                             }));
  EXPECT_EQ(LSettings.ExeptionText(), QString());
}

TEST_F(SettingsTest, SavedValuesLoadBack) {
  TSettings LSaved;
  LSaved.SetEnableLog(true);
  LSaved.SetLogFolder(QString::fromUtf8("/home/jörg/My Logs\\x"));
  LSaved.SetDeleteOldLogFiles(false);
  LSaved.SetDeleteOldLogFilesDays(-3);
  LSaved.SetLastOpenedFolder(QString::fromUtf8("/données/été"));
  LSaved.SetIncludeSelectedSubFolder(true);
  LSaved.SetIncludeSelectedRootFolder(false);
  LSaved.SaveSettingsToIniFile();

  TSettings LLoaded;
  LLoaded.LoadSettingsFromIniFile();
  EXPECT_TRUE(LLoaded.EnableLog());
  EXPECT_EQ(LLoaded.LogFolder(), QString::fromUtf8("/home/jörg/My Logs\\x"));
  EXPECT_FALSE(LLoaded.DeleteOldLogFiles());
  EXPECT_EQ(LLoaded.DeleteOldLogFilesDays(), -3);
  EXPECT_EQ(LLoaded.LastOpenedFolder(), QString::fromUtf8("/données/été"));
  EXPECT_TRUE(LLoaded.IncludeSelectedSubFolder());
  EXPECT_FALSE(LLoaded.IncludeSelectedRootFolder());
}

TEST_F(SettingsTest, ValuesThatAreNoIntegersReadAsTheDefault) {
  const struct {
    const char *FEnableLog;
    const char *FDays;
    bool FExpectedEnableLog;
    int FExpectedDays;
  } LCases[] = {
      {"2", "0x0A", true, 10},  {"yes", "abc", false, 7}, {"0x1", "0", true, 0},
      {"-1", "400", true, 400}, {"0", "-5", false, -5},   {"", "", false, 7},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(std::string(LCase.FEnableLog) + " / " + LCase.FDays);
    FTree.WriteFile(QStringLiteral("Settings.ini"),
                    QByteArray("[Logging]\r\nEnableLog=") + LCase.FEnableLog +
                        "\r\nDeleteOldLogFilesDays=" + LCase.FDays + "\r\n");
    TSettings LSettings;
    LSettings.LoadSettingsFromIniFile();
    EXPECT_EQ(LSettings.EnableLog(), LCase.FExpectedEnableLog);
    EXPECT_EQ(LSettings.DeleteOldLogFilesDays(), LCase.FExpectedDays);
  }
}

TEST_F(SettingsTest, EmptyLogFolderValueIsNotTheDefault) {
  FTree.WriteFile(QStringLiteral("Settings.ini"), "[Logging]\nLogFolder=\n");
  TSettings LSettings;
  LSettings.LoadSettingsFromIniFile();
  EXPECT_EQ(LSettings.LogFolder(), QString());
}

TEST_F(SettingsTest, SaveKeepsForeignSectionsKeysAndComments) {
  const QByteArray LBefore = "; hand-written\r\n"
                             "[Window]\r\n"
                             "Left=10\r\n"
                             "\r\n"
                             "[logging]\r\n"
                             "Extra=keep me\r\n"
                             "enablelog = 1\r\n"
                             "\r\n"
                             "[Tail]\r\n"
                             "Z=1\r\n";
  FTree.WriteFile(QStringLiteral("Settings.ini"), LBefore);
  TSettings LSettings;
  LSettings.LoadSettingsFromIniFile();
  EXPECT_TRUE(LSettings.EnableLog());
  LSettings.SetEnableLog(false);
  LSettings.SetLogFolder(QStringLiteral("/var/log/varnwell"));
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(testsupport::ReadFile(IniPath()), QByteArray("; hand-written\r\n"
                                                         "[Window]\r\n"
                                                         "Left=10\r\n"
                                                         "\r\n"
                                                         "[logging]\r\n"
                                                         "Extra=keep me\r\n"
                                                         "enablelog = 0\r\n"
                                                         "LogFolder=/var/log/varnwell\r\n"
                                                         "DeleteOldLogFiles=1\r\n"
                                                         "DeleteOldLogFilesDays=7\r\n"
                                                         "\r\n"
                                                         "[Tail]\r\n"
                                                         "Z=1\r\n"
                                                         "[FolderMode]\r\n"
                                                         "LastOpenedFolder=\r\n"
                                                         "IncludeSelectedSubFolders=0\r\n"
                                                         "IncludeSelectedRootFolders=1\r\n"
                                                         "[Journal]\r\n"
                                                         "KeepBatches=50\r\n"
                                                         "KeepDays=30\r\n"
                                                         "[FilePage]\r\nRegexSearch=0\r\n"
                                                         "MatchCase=0\r\n"
                                                         "[FolderPage]\r\nRegexSearch=0\r\n"
                                                         "MatchCase=0\r\n"));
}

TEST_F(SettingsTest, Utf16FileFromWindowsKeepsItsEncoding) {
  QByteArray LBefore("\xFF\xFE", 2);
  for (const char16_t LUnit : std::u16string_view(u"[Logging]\r\nLogFolder=C:\\Logs\r\n"))
    LBefore.append(static_cast<char>(LUnit & 0xFF)).append(static_cast<char>(LUnit >> 8));
  FTree.WriteFile(QStringLiteral("Settings.ini"), LBefore);
  TSettings LSettings;
  LSettings.LoadSettingsFromIniFile();
  EXPECT_EQ(LSettings.LogFolder(), QStringLiteral("C:\\Logs"));
  LSettings.SetLogFolder(QString::fromUtf8("/home/jörg"));
  LSettings.SaveSettingsToIniFile();
  const QByteArray LAfter = testsupport::ReadFile(IniPath());
  ASSERT_TRUE(LAfter.startsWith("\xFF\xFE"));
  EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t *>(LAfter.constData() + 2),
                               (LAfter.size() - 2) / 2),
            QString::fromUtf8("[Logging]\r\nLogFolder=/home/jörg\r\nEnableLog=0\r\n"
                              "DeleteOldLogFiles=1\r\nDeleteOldLogFilesDays=7\r\n"
                              "[FolderMode]\r\nLastOpenedFolder=\r\n"
                              "IncludeSelectedSubFolders=0\r\nIncludeSelectedRootFolders=1\r\n"
                              "[Journal]\r\nKeepBatches=50\r\nKeepDays=30\r\n"
                              "[FilePage]\r\nRegexSearch=0\r\nMatchCase=0\r\n"
                              "[FolderPage]\r\nRegexSearch=0\r\nMatchCase=0\r\n"));
}

TEST_F(SettingsTest, ReadOnlyFileStaysUnchangedAndSetsExeptionText) {
  const QByteArray LBefore = "[Logging]\nEnableLog=1\n";
  FTree.WriteFile(QStringLiteral("Settings.ini"), LBefore);
  TUnwritableFile LGuard(IniPath());
  ASSERT_TRUE(LGuard.Ok());
  TSettings LSettings;
  LSettings.LoadSettingsFromIniFile();
  EXPECT_TRUE(LSettings.EnableLog());
  EXPECT_EQ(LSettings.ExeptionText(), QString());
  LSettings.SetEnableLog(false);
  LSettings.SetLastOpenedFolder(QStringLiteral("/data"));
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(testsupport::ReadFile(IniPath()), LBefore);
  EXPECT_TRUE(LSettings.ExeptionText().startsWith(QStringLiteral("EIniFileErrorCannot write ")))
      << LSettings.ExeptionText().toStdString();
  EXPECT_TRUE(LSettings.ExeptionText().contains(IniPath()));
}

TEST_F(SettingsTest, ARefusedValueIsNamedAndTheOtherKeysAreWritten) {
  // A value with a line break cannot be stored: that key is left out and
  // named in ExeptionText, every other key is written.
  TSettings LSettings;
  LSettings.LoadDefaultValues();
  LSettings.SetEnableLog(true);
  LSettings.SetLogFolder(QStringLiteral("/logs\n[FolderMode]\nIncludeSelectedRootFolders=0"));
  LSettings.SetLastOpenedFolder(QStringLiteral("/photos"));
  LSettings.SetIncludeSelectedRootFolder(true);
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(testsupport::ReadFile(IniPath()),
            QByteArray("[Logging]\nEnableLog=1\nDeleteOldLogFiles=1\nDeleteOldLogFilesDays=7\n"
                       "[FolderMode]\nLastOpenedFolder=/photos\nIncludeSelectedSubFolders=0\n"
                       "IncludeSelectedRootFolders=1\n[Journal]\nKeepBatches=50\nKeepDays=30\n"
                       "[FilePage]\nRegexSearch=0\nMatchCase=0\n"
                       "[FolderPage]\nRegexSearch=0\nMatchCase=0\n"));
  EXPECT_TRUE(LSettings.ExeptionText().startsWith(QStringLiteral("EIniFileError")));
  EXPECT_TRUE(LSettings.ExeptionText().contains(QStringLiteral("LogFolder")))
      << LSettings.ExeptionText().toStdString();

  // ExeptionText is replaced by the next failure, never cleared by success.
  LSettings.SetLogFolder(QStringLiteral("/logs"));
  LSettings.SaveSettingsToIniFile();
  EXPECT_FALSE(LSettings.ExeptionText().isEmpty());
}

TEST_F(SettingsTest, UnreadableFileKeepsTheKeysNotYetRead) {
  FTree.MakeDir(QStringLiteral("Settings.ini"));
  TSettings LSettings;
  LSettings.SetLogFolder(QStringLiteral("/before"));
  LSettings.SetIncludeSelectedRootFolder(false);
  LSettings.LoadSettingsFromIniFile();
  EXPECT_EQ(LSettings.LogFolder(), QStringLiteral("/before"));
  EXPECT_FALSE(LSettings.IncludeSelectedRootFolder());
  EXPECT_TRUE(LSettings.ExeptionText().startsWith(QStringLiteral("EIniFileErrorCannot read ")))
      << LSettings.ExeptionText().toStdString();
}

TEST_F(SettingsTest, RestoreDefaultsLeavesTheFolderChooserAlone) {
  TSettings LSettings;
  LSettings.SetEnableLog(true);
  LSettings.SetLogFolder(QStringLiteral("/custom"));
  LSettings.SetDeleteOldLogFiles(false);
  LSettings.SetDeleteOldLogFilesDays(30);
  LSettings.SetLastOpenedFolder(QStringLiteral("/photos"));
  LSettings.SetIncludeSelectedSubFolder(true);
  LSettings.SetIncludeSelectedRootFolder(false);
  LSettings.SetExeptionText(QStringLiteral("EXearlier"));
  LSettings.LoadDefaultValues();
  EXPECT_FALSE(QFile::exists(IniPath()));
  LSettings.SaveSettingsToIniFile();

  TSettings LLoaded;
  LLoaded.LoadSettingsFromIniFile();
  EXPECT_FALSE(LLoaded.EnableLog());
  EXPECT_EQ(LLoaded.LogFolder(), LogsPath());
  EXPECT_TRUE(LLoaded.DeleteOldLogFiles());
  EXPECT_EQ(LLoaded.DeleteOldLogFilesDays(), 7);
  EXPECT_EQ(LLoaded.LastOpenedFolder(), QStringLiteral("/photos"));
  EXPECT_TRUE(LLoaded.IncludeSelectedSubFolder());
  EXPECT_FALSE(LLoaded.IncludeSelectedRootFolder());
  EXPECT_EQ(LSettings.ExeptionText(), QStringLiteral("EXearlier"));
}

TEST(Settings, GetSettingsReturnsOneObject) {
  EXPECT_EQ(&GetSettings(), &GetSettings());
}

namespace {

// A settings folder on a tiny tmpfs that is then filled up.
class FullDiskSettingsTest : public ::testing::Test {
protected:
  FullDiskSettingsTest() : FDisk(64) { TSettings::SetExecutableFolderForTesting(FDisk.Root()); }
  ~FullDiskSettingsTest() override { TSettings::SetExecutableFolderForTesting(QString()); }

  testsupport::TTmpfsMount FDisk;
};

} // namespace

TEST_F(FullDiskSettingsTest, ASaveOnAFullDiskKeepsTheOldFileWholeAndSetsTheError) {
  if (!FDisk.Mounted())
    GTEST_SKIP() << FDisk.SkipReason().toStdString();
  // A hand-edited file, with a section of its own that must survive.
  const QByteArray LOld = "; edited by hand\n[Logging]\nEnableLog=0\nLogFolder=/old\n"
                          "[Mine]\nKeep=this\n";
  const QString LIni = FDisk.Root() + QStringLiteral("/Settings.ini");
  ASSERT_TRUE(testsupport::WriteFile(LIni, LOld));
  ASSERT_TRUE(FDisk.FillUp());
  TSettings LSettings;
  LSettings.LoadDefaultValues();
  LSettings.SetEnableLog(true);
  LSettings.SetLogFolder(QStringLiteral("/new"));
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(testsupport::ReadFile(LIni), LOld);
  EXPECT_TRUE(LSettings.ExeptionText().startsWith(QStringLiteral("EIniFileErrorCannot write ")))
      << LSettings.ExeptionText().toStdString();
  // No half-written file is left beside it.
  EXPECT_EQ(testsupport::SnapshotTree(FDisk.Root()).size(), 2u); // Settings.ini and the filler
}

TEST_F(SettingsTest, WithoutRoomForANewFileBesideItTheSaveFailsAndWritesNothing) {
  // The folder cannot take a new entry (immutable), so no temporary file can
  // be made: the file is not written in place.
  const QByteArray LOld = "[Logging]\nEnableLog=0\n[Mine]\nKeep=this\n";
  ASSERT_TRUE(testsupport::WriteFile(IniPath(), LOld));
  testsupport::TImmutableFile LFolder(FTree.Root());
  if (!LFolder.Ok())
    GTEST_SKIP() << "the immutable flag cannot be set here (it needs root)";
  TSettings LSettings;
  LSettings.LoadDefaultValues();
  LSettings.SetEnableLog(true);
  LSettings.SaveSettingsToIniFile();
  EXPECT_EQ(testsupport::ReadFile(IniPath()), LOld);
  EXPECT_TRUE(LSettings.ExeptionText().contains(QStringLiteral("temporary file")))
      << LSettings.ExeptionText().toStdString();
}

TEST_F(SettingsTest, AFolderNameThatIsNotUtf8KeepsItsBytes) {
  const QString LFolder = testsupport::FromNative("/photos/caf\xe9");
  TSettings LSettings;
  LSettings.LoadDefaultValues();
  LSettings.SetLastOpenedFolder(LFolder);
  LSettings.SaveSettingsToIniFile();
  EXPECT_TRUE(testsupport::ReadFile(IniPath()).contains("LastOpenedFolder=/photos/caf\xe9\n"));
  TSettings LRead;
  LRead.LoadSettingsFromIniFile();
  EXPECT_EQ(LRead.LastOpenedFolder(), LFolder);
}
