// The platform layer for the file system: everything the engine asks of the
// operating system about paths, entries and moves goes through here, so that
// a Windows build swaps only the files of the system's own folder.
//
// Paths are QStrings that keep the system's names losslessly: on Linux a
// name's bytes that are not UTF-8 are kept as lone surrogates (see
// uLosslessUtf8.h) and become the same bytes again when the path goes back to
// the system. DisplayText shows them as U+FFFD.
#pragma once

#include "uPathRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>

namespace platform {

// ---------------------------------------------------------------------------
// Names as the system stores them.

// The path of the system's bytes ABytes, losslessly.
QString DecodeNativePath(const QByteArray &ABytes);

// The system's bytes of APath; false when APath is empty, holds a NUL, or
// holds a code unit that stands for no byte of a name.
bool EncodeNativePath(const QString &APath, QByteArray &ABytes);

// Paths that come from elsewhere (a file dialog, QFileInfo, the command line
// as decoded text, a URL) may have lost bytes that were not UTF-8: each such
// byte became U+FFFD there. ResolveDecodedPath finds the entry such a path
// stands for: every component holding U+FFFD is looked up in its folder's
// listing, among the entries whose names decode to it in the same lossy way.
enum class TResolveOutcome {
  Unchanged, // the path holds no U+FFFD: taken as it is
  Resolved,  // every such component named exactly one entry
  Ambiguous, // a component named several entries (twins): no path is given
  NotFound   // a component named no entry: the path is given unchanged
};
struct TResolvedPath {
  QString FPath;
  TResolveOutcome FOutcome = TResolveOutcome::Unchanged;
};
TResolvedPath ResolveDecodedPath(const QString &APath);

// ---------------------------------------------------------------------------
// Entries.

// What one stat of a path (following a symbolic link) tells.
struct TPathInfo {
  bool FExists = false;      // the stat succeeded
  bool FIsDirectory = false; // the path (after links) is a folder
  bool FIsRegular = false;   // the path (after links) is a regular file
  bool FReadOnly = false;    // the owner may not write it
  int64_t FSize = -1;        // size in bytes, -1 when the stat failed
  QDateTime FModified;       // last modification, local time; invalid when the stat failed
  // Further facts of the same stat.
  int64_t FModifiedMSecs = 0; // last modification in ms since 1970-01-01 UTC; 0 when it failed
  bool FArchive = false;      // the archive flag; on POSIX set for every regular file
  bool FHidden = false;       // the name is hidden (IsHiddenName of the last component)
  bool FSystem = false;       // the system flag; never set on POSIX
  uint64_t FDevice = 0;       // device and inode: the identity of the entry
  uint64_t FInode = 0;
};

TPathInfo StatPath(const QString &APath);

// StatPath without the conversion of the time to a local QDateTime (FModified
// stays invalid; FModifiedMSecs is set): for callers that stat many paths.
TPathInfo StatPathNoLocalTime(const QString &APath);

// StatPathNoLocalTime of the entry at APath itself: a symbolic link is
// described as the link it is (its own size, time and identity), never its
// target. What a renamer moves is the entry, so this is how it is known.
TPathInfo StatEntryNoLocalTime(const QString &APath);

// A local date-time from milliseconds since 1970-01-01 UTC.
QDateTime LocalDateTimeFromMSecs(int64_t AMSecs);

// A file exists at APath: an entry that is not a folder, links followed
// (a link counts when its target exists).
bool FileExists(const QString &APath);

// A folder exists at APath, links followed.
bool DirectoryExists(const QString &APath);

// A regular file exists at ANativePath, the path as the system's bytes, links
// followed. For callers that hand a path to a library which opens it itself:
// opening a named pipe or a device would block or read without end. False
// for an empty path or one holding a NUL byte.
bool IsRegularFileNative(const QByteArray &ANativePath);

// A regular file exists at ANativePath, the path as the system's bytes, links
// followed. For callers that hand a path to a library which opens it itself:
// opening a named pipe or a device would block or read without end. False
// for an empty path or one holding a NUL byte.
bool IsRegularFileNative(const QByteArray &ANativePath);

// An entry stands at APath itself (a link is not followed).
bool EntryExists(const QString &APath);

// An entry that is not a folder stands at APath itself: a file, or a link of
// any kind (to a file, to a folder, or to nothing), not followed.
bool NonFolderEntryExists(const QString &APath);

// What the file system of a folder allows in names.
struct TFileSystemInfo {
  bool FKnown = false; // the folder could be examined
  QString FType;       // the mount table's type ("ext4", "vfat", "fuseblk", ...)
  // The FAT family (exFAT, FAT, and NTFS through FUSE): names may not hold
  // \ : * ? " < > | or bytes that are not UTF-8, and the name limit counts
  // UTF-16 units instead of bytes.
  bool FFatFamily = false;
  int FNameMax = 255; // the longest name, in bytes (in UTF-16 units for the FAT family)
};

// Examines the file system that holds the folder AFolder: its type from the
// mount table (found by the folder's device), its name limit from pathconf.
TFileSystemInfo FileSystemOf(const QString &AFolder);

// FileSystemOf for many folders: the mount table is read once, and each
// file system is examined once.
class TFileSystemCache {
public:
  TFileSystemInfo Of(const QString &AFolder);

private:
  QByteArray FMountTable;
  bool FMountTableRead = false;
  QHash<quint64, TFileSystemInfo> FByDevice;
};

// The length of AName as the file system counts it against FNameMax.
int NameLength(const QString &AName, const TFileSystemInfo &AInfo);

// True when the FAT family refuses AName: it holds \ : * ? " < > |, a control
// character, or a unit that stands for a byte that is not UTF-8.
bool IsRefusedByFatFamily(QStringView AName);

// One entry of a folder listing.
struct TDirEntry {
  QString FName;             // the name, losslessly
  bool FIsDirectory = false; // a real folder, not a link to one
  bool FIsSymLink = false;
};

// Lists the entries of AFolder in the order the file system returns them,
// without "." and "..". Returns false when the folder cannot be listed, with
// the system's reason in AError when it is given. AVisit returns false to
// stop the listing early.
bool ListDirectory(const QString &AFolder, const std::function<bool(const TDirEntry &)> &AVisit,
                   QString *AError = nullptr);

// Why the entry at APath cannot be reached although it may be there (a
// folder on its way that may not be searched: "Permission denied"); empty
// when it is there or simply is not (no such entry).
QString UnreachableReason(const QString &APath);

// ---------------------------------------------------------------------------
// Whole files.

enum class TReadOutcome { Read, Missing, Failed };

// Reads the whole file APath into AContent. Missing when there is no entry
// at APath, also when a folder on the way to it is a file; Failed, with
// AError set, when it cannot be read.
TReadOutcome ReadWholeFile(const QString &APath, QByteArray &AContent, QString &AError);

// Replaces the content of the file APath (a symbolic link is followed) with
// AContent as one step: the content goes to a new file beside it, is written
// out and synced, and takes the old file's place by rename(). When any step
// fails the old file stays exactly as it was, the new file is removed, and
// AError says what failed; the file is never written in place. A new file
// gets the mode 0644, an existing one keeps its mode.
bool ReplaceFileContents(const QString &APath, const QByteArray &AContent, QString &AError);

// ---------------------------------------------------------------------------
// Moves.

enum class TMoveError {
  None,
  TargetExists,  // an entry already has the target's name; nothing was moved
  SourceMissing, // no entry at the source
  CrossDevice,   // source and target lie on different file systems
  InvalidName,   // the target is no usable name
  Other          // any other refusal of the system (access, busy, ...)
};

struct TMoveResult {
  bool FOk = false;
  TMoveError FError = TMoveError::None;
  int FErrno = 0;
  // Set when a move through a temporary name could neither finish nor go
  // back: the entry is left under this path, and only there.
  QString FStrandedPath;
  explicit operator bool() const { return FOk; }
};

// Moves the file or folder ASource to ATarget inside the same file system,
// never replacing an existing entry and never copying. A change of letter
// case alone succeeds, also where the file system ignores case (it is then
// made through a temporary name and checked in the folder's listing); a move
// onto the entry's own unchanged name succeeds without touching it.
TMoveResult MoveNoReplace(const QString &ASource, const QString &ATarget);

// What UndoHalfDoneMove found between ASource and ATarget.
enum class THalfDoneMove {
  None,     // no move stopped half way between these names: nothing was touched
  NotBegun, // the same, and the source is there while the target is free
  Undone,   // the half made was taken back: the entry stands under ASource alone
  TwoNames  // the entry stands under both names and could not be brought to one
};

// Where the file system refuses the no-replace flag a move is made in two
// halves, and a process that ends between them leaves a state no rename
// leaves: the entry under both names as two hard links, or the source
// untouched beside an empty placeholder at the target. Undoes such a state
// between ASource and ATarget: a hard link at ATarget to the very entry at
// ASource (same device and inode, AInode where it is not 0, more than one
// link) is unlinked; an empty placeholder the move created (recognised by
// the time it is stamped with) is removed. With AStableInodes false (the FAT
// family through FUSE, where no hard links are made and inode numbers do
// not tell entries apart) only the placeholder counts. Nothing that holds
// data is ever removed.
THalfDoneMove UndoHalfDoneMove(const QString &ASource, const QString &ATarget, uint64_t AInode,
                               bool AStableInodes);

// The steps of MoveNoReplace, open to tests.
namespace detail {

// True when ATarget, in the folder of ASource, leads to the entry ASource
// names under another spelling: the folder's listing holds ASource's name, no
// entry spelled exactly like ATarget's name, and no other entry that differs
// from it in letter case only. Inode numbers alone are not trusted: through
// FUSE (exFAT, NTFS) each spelling of one name can get its own.
bool IsSameEntryOtherSpelling(const QString &ASource, const QString &ATarget);

// Moves ASource to a unique temporary name in the folder of ATarget, then to
// ATarget, and checks in the listing that ATarget's spelling is there; moves
// it back when the second step fails. When that fails too, FStrandedPath says
// where the entry is.
TMoveResult MoveThroughTemporaryName(const QString &ASource, const QString &ATarget);

// The move used where the file system refuses the no-replace flag: a hard
// link and an unlink for a file where links work (AUseHardLinks); otherwise a
// placeholder the program creates exclusively under the target's name (an
// empty file, or an empty folder for a folder), replaced by rename().
TMoveResult MoveWithoutNoReplaceFlag(const QString &ASource, const QString &ATarget,
                                     bool AUseHardLinks = true);

// The points at which tests may act between the steps of a move.
enum class TMoveStep {
  BeforePlaceholder, // the placeholder is about to be created under APath
  AfterPlaceholder,  // the placeholder stands at APath; the rename comes next
  AfterLink,         // the entry is linked under APath too; the unlink of the source comes next
  AfterTemporary     // the entry stands under the temporary name APath
};
using TMoveStepHook = std::function<void(TMoveStep AStep, const QByteArray &APath)>;
// Replaces the hook (empty for none); returns the previous one.
TMoveStepHook SetMoveStepHook(TMoveStepHook AHook);

// Makes every move of MoveNoReplace behave as on a file system that refuses
// the no-replace flag, so that tests reach the fallback on any file system:
// through hard links where they work, or through the placeholder alone.
enum class TForcedFallback { None, HardLinks, Placeholder };
void SetForcedFallback(TForcedFallback AFallback);

} // namespace detail

} // namespace platform
