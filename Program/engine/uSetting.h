// The one settings object of a run and its INI file "Settings.ini".
//
// Where the file lives: beside the executable (a portable copy, the build
// tree) when a Settings.ini is already there or when the executable does not
// run from below the install prefix it was built for; otherwise, for an
// installed program, in $XDG_CONFIG_HOME/varnwell (default ~/.config/varnwell),
// with the default log folder $XDG_STATE_HOME/varnwell/Logs (default
// ~/.local/state/varnwell/Logs). Being root changes nothing.
#pragma once

#include <QString>

class TSettings {
public:
  TSettings() = default;

  bool EnableLog() const { return FEnableLog; }
  void SetEnableLog(bool AValue) { FEnableLog = AValue; }
  const QString &LogFolder() const { return FLogFolder; }
  void SetLogFolder(const QString &AValue) { FLogFolder = AValue; }
  bool DeleteOldLogFiles() const { return FDeleteOldLogFiles; }
  void SetDeleteOldLogFiles(bool AValue) { FDeleteOldLogFiles = AValue; }
  int DeleteOldLogFilesDays() const { return FDeleteOldLogFilesDays; }
  void SetDeleteOldLogFilesDays(int AValue) { FDeleteOldLogFilesDays = AValue; }
  const QString &ExeptionText() const { return FExeptionText; }
  void SetExeptionText(const QString &AValue) { FExeptionText = AValue; }
  const QString &LastOpenedFolder() const { return FLastOpenedFolder; }
  void SetLastOpenedFolder(const QString &AValue) { FLastOpenedFolder = AValue; }
  bool IncludeSelectedSubFolder() const { return FIncludeSelectedSubFolder; }
  void SetIncludeSelectedSubFolder(bool AValue) { FIncludeSelectedSubFolder = AValue; }
  bool IncludeSelectedRootFolder() const { return FIncludeSelectedRootFolder; }
  void SetIncludeSelectedRootFolder(bool AValue) { FIncludeSelectedRootFolder = AValue; }
  // How many batches the rename journal keeps at least, and for how many days.
  int JournalKeepBatches() const { return FJournalKeepBatches; }
  void SetJournalKeepBatches(int AValue) { FJournalKeepBatches = AValue; }
  int JournalKeepDays() const { return FJournalKeepDays; }
  void SetJournalKeepDays(int AValue) { FJournalKeepDays = AValue; }
  // The search options of each page: a regular expression, letter case told apart.
  bool FileRegexSearch() const { return FFileRegexSearch; }
  void SetFileRegexSearch(bool AValue) { FFileRegexSearch = AValue; }
  bool FileMatchCase() const { return FFileMatchCase; }
  void SetFileMatchCase(bool AValue) { FFileMatchCase = AValue; }
  bool FolderRegexSearch() const { return FFolderRegexSearch; }
  void SetFolderRegexSearch(bool AValue) { FFolderRegexSearch = AValue; }
  bool FolderMatchCase() const { return FFolderMatchCase; }
  void SetFolderMatchCase(bool AValue) { FFolderMatchCase = AValue; }

  // The main window's size and position in its normal state, and whether it
  // was maximised; a width or height of 0 means none is remembered.
  int WindowLeft() const { return FWindowLeft; }
  int WindowTop() const { return FWindowTop; }
  int WindowWidth() const { return FWindowWidth; }
  int WindowHeight() const { return FWindowHeight; }
  bool WindowMaximized() const { return FWindowMaximized; }
  void SetWindowGeometry(int ALeft, int ATop, int AWidth, int AHeight, bool AMaximized);

  // Full path of "Settings.ini" (see above); computed on first read and
  // cached.
  const QString &SettingsFileName();
  // True when the settings live beside the executable (see above).
  bool IsPortable();
  // "Logs" beside the executable for a portable copy, else
  // $XDG_STATE_HOME/varnwell/Logs.
  QString DefaultLogFolder();

  // Logging off, the default log folder, deletion on, 7 days. The folder
  // chooser's memory and ExeptionText are not touched; nothing is written.
  void LoadDefaultValues();
  // Reads the keys in order, each with its default; a missing file is no
  // error and is not created. A failure stops at the failing key and sets
  // ExeptionText; nothing is shown.
  void LoadSettingsFromIniFile();
  // Writes the keys in order, keeping every other line of the file.
  void SaveSettingsToIniFile();

  // Test seam: the folder that stands for the executable's folder. Set before
  // the first read of SettingsFileName; empty means the real one.
  static void SetExecutableFolderForTesting(const QString &AFolder);
  // Test seam: the install prefix the program was built for; empty means the
  // compiled-in one. Set before the first read of SettingsFileName.
  static void SetInstallPrefixForTesting(const QString &APrefix);

private:
  bool FEnableLog = false;
  QString FLogFolder;
  bool FDeleteOldLogFiles = false;
  int FDeleteOldLogFilesDays = 0;
  QString FExeptionText;
  QString FSettingsFileName;
  QString FLastOpenedFolder;
  bool FIncludeSelectedSubFolder = false;
  bool FIncludeSelectedRootFolder = false;
  int FJournalKeepBatches = 50;
  int FJournalKeepDays = 30;
  bool FFileRegexSearch = false;
  bool FFileMatchCase = false;
  bool FFolderRegexSearch = false;
  bool FFolderMatchCase = false;
  int FWindowLeft = 0;
  int FWindowTop = 0;
  int FWindowWidth = 0;
  int FWindowHeight = 0;
  bool FWindowMaximized = false;
};

// The one settings object, created on first use.
TSettings &GetSettings();
