// The platform layer of the change log: the open log file with its write
// lock, the log folder, and what the clean-up of old log files asks of the
// file system.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace platform {

// A log file open for appending. While it is open it holds an advisory write
// lock on the whole file, so that a second logger — in this process or in
// another — finds it taken and does not write into it. Closed on destruction.
class TLogFile {
public:
  ~TLogFile();
  TLogFile(const TLogFile &) = delete;
  TLogFile &operator=(const TLogFile &) = delete;

  // Opens APath for appending, creating it when it is missing. AEmpty tells
  // whether the file holds nothing yet (just created). Returns null and sets
  // AError when the file cannot be opened or another writer holds it.
  static std::unique_ptr<TLogFile> Open(const QString &APath, bool &AEmpty, QString &AError);

  // Writes ABytes at the end of the file at once, with no buffering of its
  // own. On failure, what was written before it stays in the file.
  bool Append(const QByteArray &ABytes, QString &AError);

private:
  explicit TLogFile(int AFd) : FFd(AFd) {}
  int FFd = -1;
};

// A folder exists at APath (links followed).
bool LogFolderExists(const QString &APath);

// Creates the folder APath with every missing parent. An empty path fails.
bool CreateLogFolder(const QString &APath, QString &AError);

// The names of the entries directly in AFolder that are not folders (links
// to folders count as folders), hidden ones included, in the order the file
// system lists them. Returns false and sets AError when listing fails.
bool ListFolderFiles(const QString &AFolder, std::vector<QString> &ANames, QString &AError);

// When the file APath (a link itself, not its target) came into being, in
// local time: its birth time, or its last modification where the file system
// keeps no birth time. nullopt, with AError set, when neither can be read.
std::optional<QDateTime> FileCreationTime(const QString &APath, QString &AError);

// Deletes the file APath; false when it could not be deleted.
bool RemoveFile(const QString &APath);

} // namespace platform
