// The platform layer for walking folder trees: listing the subfolders of one
// folder together with their last-write times, at the cost of one listing and
// one stat relative to the open folder per subfolder.
#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace platform {

// One subfolder of a listing: its name and its last modification time (an
// invalid date-time when the time could not be read).
struct TSubFolder {
  QString FName;
  QDateTime FModified;
};

// Lists the real subfolders of AFolder in the order the file system returns
// them: no symbolic links (a link is no folder here), no hidden names, no "."
// and "..". AEntries is replaced by the result. Returns false, with AEntries
// empty, when AFolder cannot be listed.
bool ListSubFolders(const QString &AFolder, std::vector<TSubFolder> &AEntries);

// Reads the single entry APath without following a final symbolic link. True
// when it is a real folder; AModified then holds its last-write time.
bool StatRealFolder(const QString &APath, QDateTime &AModified);

} // namespace platform
