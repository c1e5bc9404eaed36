// The platform layer for folder trees: walking the subfolders below a folder
// with their last-write times, reading one folder's entry, and moving a folder.
#pragma once

#include "uPlatformFs.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

namespace platform {

// Walks the real subfolders below AFolder depth first, each folder's
// subfolders in the order ALess gives their names: symbolic links are no folders here, and hidden
// folders are skipped with everything below them, so no walk can loop. AVisit is called for each
// subfolder before its own subfolders are walked, with the folder it was found in (AFolder exactly
// as given for the first level; below that the folder's path without a final delimiter), its name
// and its last-write time (invalid when it could not be read). A folder that cannot be listed adds
// nothing below it. Every folder is opened once: its time comes from the open folder, so the walk
// costs no more system calls than listing the tree. AVisit returns false to end the walk there:
// nothing more is visited.
// A folder that cannot be opened (AFolder itself or one below it) is told
// to AUnreadable, when given, with the system's reason.
void WalkSubFolders(
    const QString &AFolder,
    const std::function<bool(const QString &APath, const QString &AName,
                             const QDateTime &AModified)> &AVisit,
    const std::function<bool(QStringView, QStringView)> &ALess,
    const std::function<void(const QString &APath, const QString &AReason)> &AUnreadable = nullptr);

// What a folder's listing tells of an entry's kind. Unknown where the file
// system leaves the kind out of its listing: only a stat tells then.
enum class TListedKind : uint8_t { Folder, Link, Other, Unknown };

// One stat of an entry itself, a link as the link it is, read relative to
// its open folder: the entry's kind and identity.
struct TEntryFacts {
  bool FExists = false;
  bool FIsFolder = false; // a real folder
  bool FIsLink = false;
  uint64_t FDevice = 0;
  uint64_t FInode = 0;
  int64_t FSize = -1;
  int64_t FModifiedMSecs = 0; // since 1970-01-01 UTC
};

// A folder opened once for a walk: its entries are listed through one
// descriptor, and each entry is read relative to it, so that no path is
// looked up from the root again. Closed by Close or the destructor.
class TOpenFolder {
public:
  // Opens the folder at APath (the system's bytes). AFollowLink: APath may
  // be a link to a folder (a folder the user chose); otherwise a link put in
  // a folder's place is not opened.
  TOpenFolder(const QByteArray &APath, bool AFollowLink);
  ~TOpenFolder();
  TOpenFolder(const TOpenFolder &) = delete;
  TOpenFolder &operator=(const TOpenFolder &) = delete;

  bool IsOpen() const { return FFd >= 0; }
  // Why the folder could not be opened, as the system says it.
  QString ErrorText() const;
  // Calls AVisit for every entry but "." and ".." in the order the file
  // system lists them, with its name (NUL-terminated bytes, valid during the
  // call only) and what the listing tells of its kind.
  void ReadEntries(
      const std::function<void(const char *AName, qsizetype ALength, TListedKind AKind)> &AVisit);
  // How many entries the folder may hold at most, from the size the file
  // system gives its listing: room to keep them without growing as they
  // come. 0 when it cannot be told.
  size_t EntriesHint() const;
  // The entry AName of the folder itself: one stat, a link not followed.
  TEntryFacts FactsOf(const char *AName) const;
  // The entry AName of the folder leads to a folder, links followed.
  bool LeadsToFolder(const char *AName) const;
  // Moves the entry AFrom of the folder to the name ATo in it, never
  // replacing an entry: the common move of a batch, one system call with no
  // path to look up. False when it did not move; MoveNoReplace then tells
  // why (and handles what this does not: a change of letter case alone, a
  // file system without the no-replace flag).
  bool MoveWithin(const char *AFrom, const char *ATo) const;
  void Close();

private:
  int FFd = -1;
  int FError = 0;
};

// Reads the single entry APath without following a final symbolic link. True
// when it is a real folder; AModified then holds its last-write time.
bool StatRealFolder(const QString &APath, QDateTime &AModified);

// MoveNoReplace for a folder: fails without moving anything when ASource is
// no folder (a file, or a symbolic link, put in its place). One system call
// when it succeeds, so a batch pays no extra test per folder.
TMoveResult MoveFolderNoReplace(const QString &ASource, const QString &ATarget);

// The size of the tree below AFolder as `du -P --apparent-size` counts it,
// less the folders themselves: the sum of the sizes of every entry below
// AFolder, at every depth and hidden ones included, that is not a folder,
// each read without following it. A symbolic link counts its own size (the
// length of the path it holds), never its target's; a file with several
// hard links in the tree counts once. AFolder itself may be reached through
// a link; below it only real folders are entered, so no walk can loop. A
// folder that cannot be listed adds 0, and so does a missing AFolder or one
// that is no folder. AStop, asked between entries, ends the walk early: the
// result is then -1.
int64_t TreeSizeNoFollow(const QString &AFolder, const std::atomic<bool> *AStop);

} // namespace platform
