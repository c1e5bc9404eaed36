#include "uProgramFiles.h"

#include "platform/uPathRules.h"
#include "uJournal.h"
#include "uSetting.h"

#include <algorithm>
#include <utility>

namespace {

// A path without its final delimiters ("/" stays).
QString Trimmed(QString APath) {
  while (APath.size() > 1 && platform::IsPathDelimiter(APath.back()))
    APath.chop(1);
  return APath;
}

// APath is AFolder or lies below it.
bool IsAtOrBelow(QStringView APath, QStringView AFolder) {
  if (AFolder.isEmpty() || !APath.startsWith(AFolder))
    return false;
  return APath.size() == AFolder.size() || platform::IsPathDelimiter(APath[AFolder.size()]) ||
         platform::IsPathDelimiter(AFolder.back());
}

} // namespace

TProgramPaths::TProgramPaths(std::vector<QString> AFolders, std::vector<QString> AFiles) {
  for (QString &LFolder : AFolders)
    if (!LFolder.isEmpty())
      FFolders.push_back(Trimmed(std::move(LFolder)));
  for (QString &LFile : AFiles)
    if (!LFile.isEmpty())
      FFiles.push_back(Trimmed(std::move(LFile)));
}

TProgramPaths TProgramPaths::OfTheRun() {
  TSettings &LSettings = GetSettings();
  const QString LSettingsFile = LSettings.SettingsFileName();
  const QString LLogFolder =
      LSettings.LogFolder().isEmpty() ? LSettings.DefaultLogFolder() : LSettings.LogFolder();
  // The presets live beside the settings, under a name of their own.
  const QString LPresets =
      platform::JoinPath(platform::ExtractLocation(LSettingsFile), QStringLiteral("Presets.ini"));
  return TProgramPaths({GetJournal().Folder(), LLogFolder}, {LSettingsFile, LPresets});
}

bool TProgramPaths::HoldsFile(QStringView APath) const {
  return std::any_of(FFiles.begin(), FFiles.end(),
                     [APath](const QString &AFile) { return APath == AFile; }) ||
         std::any_of(FFolders.begin(), FFolders.end(),
                     [APath](const QString &AFolder) { return IsAtOrBelow(APath, AFolder); });
}

bool TProgramPaths::HoldsFolder(QStringView APath) const {
  const QStringView LFolder =
      APath.size() > 1 && platform::IsPathDelimiter(APath.back()) ? APath.chopped(1) : APath;
  const auto LHolds = [LFolder](const QString &AOwn) {
    return IsAtOrBelow(LFolder, AOwn) || IsAtOrBelow(AOwn, LFolder);
  };
  return std::any_of(FFolders.begin(), FFolders.end(), LHolds) ||
         std::any_of(FFiles.begin(), FFiles.end(),
                     [LFolder](const QString &AFile) { return IsAtOrBelow(AFile, LFolder); });
}
