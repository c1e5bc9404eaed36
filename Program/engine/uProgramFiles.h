// The program's own files: the rename journal, the settings file and the log
// folder. They are never part of a batch: renaming the journal of a running
// batch or the settings with everything else would leave the program
// depending on luck. An Add leaves them out and says so ("Used by Varnwell").
#pragma once

#include <QString>
#include <QStringView>

#include <vector>

class TProgramPaths {
public:
  TProgramPaths() = default;
  // AFolders: folders that are the program's with everything below them;
  // AFiles: single files.
  TProgramPaths(std::vector<QString> AFolders, std::vector<QString> AFiles);
  // The paths of this run: the journal's folder, the settings file (and what
  // lies beside it under the program's names) and the log folder.
  static TProgramPaths OfTheRun();

  // A file (or link) at APath is one of the program's: one of its files, or
  // below one of its folders.
  bool HoldsFile(QStringView APath) const;
  // The folder APath is one of the program's, lies below one, or holds one
  // of its files or folders: renaming it would move them.
  bool HoldsFolder(QStringView APath) const;

private:
  std::vector<QString> FFolders;
  std::vector<QString> FFiles;
};
