#include "uSetting.h"

#include "platform/uIniFile.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformProcess.h"

#include <functional>

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
const QString CKeyKeepBatches = QStringLiteral("KeepBatches");
const QString CKeyKeepDays = QStringLiteral("KeepDays");

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

const QString &TSettings::SettingsFileName() {
  if (FSettingsFileName.isEmpty())
    FSettingsFileName = platform::JoinPath(ExecutableFolder(), QStringLiteral("Settings.ini"));
  return FSettingsFileName;
}

QString TSettings::DefaultLogFolder() {
  return platform::JoinPath(ExecutableFolder(), QStringLiteral("Logs"));
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
  platform::TIniFile LIni(SettingsFileName());
  const platform::TIniWriteResult LWrite = LIni.WriteKeys({
      {CSectionLogging, CKeyEnableLog, LBool(FEnableLog)},
      {CSectionLogging, CKeyLogFolder, FLogFolder},
      {CSectionLogging, CKeyDeleteOldLogFiles, LBool(FDeleteOldLogFiles)},
      {CSectionLogging, CKeyDeleteOldLogFilesDays, QString::number(FDeleteOldLogFilesDays)},
      {CSectionFolderMode, CKeyLastOpenedFolder, FLastOpenedFolder},
      {CSectionFolderMode, CKeyIncludeSelectedSubFolders, LBool(FIncludeSelectedSubFolder)},
      {CSectionFolderMode, CKeyIncludeSelectedRootFolders, LBool(FIncludeSelectedRootFolder)},
      {CSectionJournal, CKeyKeepBatches, QString::number(FJournalKeepBatches)},
      {CSectionJournal, CKeyKeepDays, QString::number(FJournalKeepDays)},
  });
  if (!LWrite)
    FExeptionText = CIniFileError + LWrite.FError;
}

void TSettings::SetExecutableFolderForTesting(const QString &AFolder) {
  ExecutableFolderOverride() = AFolder;
}

TSettings &GetSettings() {
  static TSettings LSettings;
  return LSettings;
}
