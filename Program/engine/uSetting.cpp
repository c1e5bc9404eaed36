#include "uSetting.h"

#include "platform/uIniFile.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "platform/uPlatformLogFile.h"
#include "platform/uPlatformProcess.h"

#include <functional>
#include <vector>

namespace {

const QString CSectionLogging = QStringLiteral("Logging");
const QString CSectionFolderMode = QStringLiteral("FolderMode");
const QString CKeyEnableLog = QStringLiteral("EnableLog");
const QString CKeyLogFolder = QStringLiteral("LogFolder");
const QString CKeyDeleteOldLogFiles = QStringLiteral("DeleteOldLogFiles");
const QString CKeyDeleteOldLogFilesDays = QStringLiteral("DeleteOldLogFilesDays");
const QString CKeyLastOpenedFolder = QStringLiteral("LastOpenedFolder");
const QString CKeyIncludeSelectedSubFolders = QStringLiteral("IncludeSelectedSubFolders");
const QString CKeyIncludeSelectedRootFolders = QStringLiteral("IncludeSelectedRootFolders");
const QString CSectionJournal = QStringLiteral("Journal");
const QString CSectionFilePage = QStringLiteral("FilePage");
const QString CSectionFolderPage = QStringLiteral("FolderPage");
const QString CKeyRegexSearch = QStringLiteral("RegexSearch");
const QString CKeyMatchCase = QStringLiteral("MatchCase");
const QString CKeyKeepBatches = QStringLiteral("KeepBatches");
const QString CKeyKeepDays = QStringLiteral("KeepDays");
const QString CSectionWindow = QStringLiteral("Window");
const QString CKeyLeft = QStringLiteral("Left");
const QString CKeyTop = QStringLiteral("Top");
const QString CKeyWidth = QStringLiteral("Width");
const QString CKeyHeight = QStringLiteral("Height");
const QString CKeyMaximized = QStringLiteral("Maximized");
const QString CSettingsName = QStringLiteral("Settings.ini");

// The type name that heads ExeptionText for a failure of the settings file.
const QString CIniFileError = QStringLiteral("EIniFileError");

QString &ExecutableFolderOverride() {
  static QString LFolder;
  return LFolder;
}

QString ExecutableFolder() {
  const QString &LFolder = ExecutableFolderOverride();
  return LFolder.isEmpty() ? platform::ExecutableFolder() : LFolder;
}

QString &InstallPrefixOverride() {
  static QString LPrefix;
  return LPrefix;
}

QString InstallPrefix() {
  const QString &LPrefix = InstallPrefixOverride();
  return LPrefix.isEmpty() ? QStringLiteral(VARNWELL_INSTALL_PREFIX) : LPrefix;
}

// AFolder is APrefix or a folder below it ("/usr/local/bin" is below
// "/usr/local", "/usr/localx" is not).
bool IsBelow(const QString &AFolder, const QString &APrefix) {
  QString LPrefix = APrefix;
  while (LPrefix.size() > 1 && LPrefix.endsWith(QLatin1Char('/')))
    LPrefix.chop(1);
  if (LPrefix.isEmpty())
    return false;
  if (LPrefix == QStringLiteral("/"))
    return AFolder.startsWith(QLatin1Char('/'));
  return AFolder == LPrefix || AFolder.startsWith(LPrefix + QLatin1Char('/'));
}

// Reads keys one after the other until one fails; after a failure every
// later read does nothing and reports false.
class TKeyReader {
public:
  TKeyReader(const QString &AFileName, QString &AExeptionText)
      : FIni(AFileName), FExeptionText(AExeptionText) {}

  bool ReadString(const QString &ASection, const QString &AKey, const QString &ADefault,
                  QString &AValue) {
    if (FFailed)
      return false;
    const platform::TIniReadResult LRead = FIni.ReadKey(ASection, AKey);
    if (!LRead.FOk) {
      FFailed = true;
      FExeptionText = CIniFileError + LRead.FError;
      return false;
    }
    AValue = LRead.FValue.value_or(ADefault);
    return true;
  }

  // A value that is no integer reads as the default, like an absent key.
  bool ReadInteger(const QString &ASection, const QString &AKey, int ADefault, int &AValue) {
    QString LText;
    if (!ReadString(ASection, AKey, QString(), LText))
      return false;
    AValue = platform::IniParseInteger(LText).value_or(ADefault);
    return true;
  }

  bool ReadBool(const QString &ASection, const QString &AKey, bool ADefault, bool &AValue) {
    int LValue = 0;
    if (!ReadInteger(ASection, AKey, ADefault ? 1 : 0, LValue))
      return false;
    AValue = LValue != 0;
    return true;
  }

private:
  platform::TIniFile FIni;
  QString &FExeptionText;
  bool FFailed = false;
};

} // namespace

void TSettings::SetWindowGeometry(int ALeft, int ATop, int AWidth, int AHeight, bool AMaximized) {
  FWindowLeft = ALeft;
  FWindowTop = ATop;
  FWindowWidth = AWidth;
  FWindowHeight = AHeight;
  FWindowMaximized = AMaximized;
}

bool TSettings::IsPortable() {
  const QString LFolder = ExecutableFolder();
  if (platform::FileExists(platform::JoinPath(LFolder, CSettingsName)))
    return true;
  return !IsBelow(LFolder, InstallPrefix());
}

const QString &TSettings::SettingsFileName() {
  if (FSettingsFileName.isEmpty()) {
    FSettingsFileName = IsPortable()
                            ? platform::JoinPath(ExecutableFolder(), CSettingsName)
                            : platform::JoinPath(platform::ConfigHome(),
                                                 QStringLiteral("varnwell/") + CSettingsName);
  }
  return FSettingsFileName;
}

QString TSettings::DefaultLogFolder() {
  if (IsPortable())
    return platform::JoinPath(ExecutableFolder(), QStringLiteral("Logs"));
  return platform::JoinPath(platform::StateHome(), QStringLiteral("varnwell/Logs"));
}

void TSettings::LoadDefaultValues() {
  FEnableLog = false;
  FLogFolder = DefaultLogFolder();
  FDeleteOldLogFiles = true;
  FDeleteOldLogFilesDays = 7;
}

void TSettings::LoadSettingsFromIniFile() {
  TKeyReader LReader(SettingsFileName(), FExeptionText);
  // Each property is overwritten as soon as its key is read, so that a
  // failure leaves the keys before it loaded and the later ones untouched.
  const std::function<bool()> LSteps[] = {
      [&] { return LReader.ReadBool(CSectionLogging, CKeyEnableLog, false, FEnableLog); },
      [&] {
        return LReader.ReadString(CSectionLogging, CKeyLogFolder, DefaultLogFolder(), FLogFolder);
      },
      [&] {
        return LReader.ReadBool(CSectionLogging, CKeyDeleteOldLogFiles, true, FDeleteOldLogFiles);
      },
      [&] {
        return LReader.ReadInteger(CSectionLogging, CKeyDeleteOldLogFilesDays, 7,
                                   FDeleteOldLogFilesDays);
      },
      [&] {
        return LReader.ReadString(CSectionFolderMode, CKeyLastOpenedFolder, QString(),
                                  FLastOpenedFolder);
      },
      [&] {
        return LReader.ReadBool(CSectionFolderMode, CKeyIncludeSelectedSubFolders, false,
                                FIncludeSelectedSubFolder);
      },
      [&] {
        return LReader.ReadBool(CSectionFolderMode, CKeyIncludeSelectedRootFolders, true,
                                FIncludeSelectedRootFolder);
      },
      [&] {
        return LReader.ReadInteger(CSectionJournal, CKeyKeepBatches, 50, FJournalKeepBatches);
      },
      [&] { return LReader.ReadInteger(CSectionJournal, CKeyKeepDays, 30, FJournalKeepDays); },
      [&] { return LReader.ReadBool(CSectionFilePage, CKeyRegexSearch, false, FFileRegexSearch); },
      [&] { return LReader.ReadBool(CSectionFilePage, CKeyMatchCase, false, FFileMatchCase); },
      [&] {
        return LReader.ReadBool(CSectionFolderPage, CKeyRegexSearch, false, FFolderRegexSearch);
      },
      [&] { return LReader.ReadBool(CSectionFolderPage, CKeyMatchCase, false, FFolderMatchCase); },
      [&] { return LReader.ReadInteger(CSectionWindow, CKeyLeft, 0, FWindowLeft); },
      [&] { return LReader.ReadInteger(CSectionWindow, CKeyTop, 0, FWindowTop); },
      [&] { return LReader.ReadInteger(CSectionWindow, CKeyWidth, 0, FWindowWidth); },
      [&] { return LReader.ReadInteger(CSectionWindow, CKeyHeight, 0, FWindowHeight); },
      [&] { return LReader.ReadBool(CSectionWindow, CKeyMaximized, false, FWindowMaximized); },
  };
  for (const auto &LStep : LSteps)
    if (!LStep())
      return;
}

void TSettings::SaveSettingsToIniFile() {
  const auto LBool = [](bool AValue) {
    return AValue ? QStringLiteral("1") : QStringLiteral("0");
  };
  // One rewrite of the whole file: a save that cannot complete leaves the old
  // file as it was, and a value that cannot be written does not keep the
  // other keys from being written.
  // The folder of an installed program's settings may not exist yet.
  const QString LFolder = platform::ExtractLocation(SettingsFileName());
  QString LError;
  if (!platform::LogFolderExists(LFolder) && !platform::CreateLogFolder(LFolder, LError)) {
    FExeptionText = CIniFileError + LError;
    return;
  }
  std::vector<platform::TIniKeyValue> LKeys({
      {CSectionLogging, CKeyEnableLog, LBool(FEnableLog)},
      {CSectionLogging, CKeyLogFolder, FLogFolder},
      {CSectionLogging, CKeyDeleteOldLogFiles, LBool(FDeleteOldLogFiles)},
      {CSectionLogging, CKeyDeleteOldLogFilesDays, QString::number(FDeleteOldLogFilesDays)},
      {CSectionFolderMode, CKeyLastOpenedFolder, FLastOpenedFolder},
      {CSectionFolderMode, CKeyIncludeSelectedSubFolders, LBool(FIncludeSelectedSubFolder)},
      {CSectionFolderMode, CKeyIncludeSelectedRootFolders, LBool(FIncludeSelectedRootFolder)},
      {CSectionJournal, CKeyKeepBatches, QString::number(FJournalKeepBatches)},
      {CSectionJournal, CKeyKeepDays, QString::number(FJournalKeepDays)},
      {CSectionFilePage, CKeyRegexSearch, LBool(FFileRegexSearch)},
      {CSectionFilePage, CKeyMatchCase, LBool(FFileMatchCase)},
      {CSectionFolderPage, CKeyRegexSearch, LBool(FFolderRegexSearch)},
      {CSectionFolderPage, CKeyMatchCase, LBool(FFolderMatchCase)},
  });
  // The window's keys once a window has told its geometry.
  if (FWindowWidth > 0 && FWindowHeight > 0) {
    LKeys.insert(LKeys.end(), {{CSectionWindow, CKeyLeft, QString::number(FWindowLeft)},
                               {CSectionWindow, CKeyTop, QString::number(FWindowTop)},
                               {CSectionWindow, CKeyWidth, QString::number(FWindowWidth)},
                               {CSectionWindow, CKeyHeight, QString::number(FWindowHeight)},
                               {CSectionWindow, CKeyMaximized, LBool(FWindowMaximized)}});
  }
  platform::TIniFile LIni(SettingsFileName());
  const platform::TIniWriteResult LWrite = LIni.WriteKeys(LKeys);
  if (!LWrite)
    FExeptionText = CIniFileError + LWrite.FError;
}

void TSettings::SetExecutableFolderForTesting(const QString &AFolder) {
  ExecutableFolderOverride() = AFolder;
}

void TSettings::SetInstallPrefixForTesting(const QString &APrefix) {
  InstallPrefixOverride() = APrefix;
}

TSettings &GetSettings() {
  static TSettings LSettings;
  return LSettings;
}
