// The platform layer for the file system: everything the engine asks of the
// operating system about paths, entries and moves goes through here, so that
// a Windows build swaps only the files of this folder.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

namespace platform {

// ---------------------------------------------------------------------------
// Path rules. Every rule takes the style whose delimiters it uses, so that a
// test table can check Windows and POSIX examples side by side; the engine
// passes NativePathStyle (the default).

enum class TPathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr TPathStyle NativePathStyle = TPathStyle::Windows;
#else
inline constexpr TPathStyle NativePathStyle = TPathStyle::Posix;
#endif

// The delimiter written between a folder and a name: '\' on Windows, '/' on POSIX.
QChar PathDelimiter(TPathStyle AStyle = NativePathStyle);

// True for a character that ends a path component: '\' and ':' on Windows,
// '/' on POSIX (where '\' and ':' are ordinary characters of a name).
bool IsPathDelimiter(QChar AChar, TPathStyle AStyle = NativePathStyle);

// The part after the last delimiter; all of APath when it has none.
QString ExtractName(const QString &APath, TPathStyle AStyle = NativePathStyle);

// Where that part begins in APath: 0 when APath has no delimiter.
qsizetype ExtractNameStart(QStringView APath, TPathStyle AStyle = NativePathStyle);

// The folder part: APath up to and including its last delimiter, with a final
// delimiter dropped unless the character before it is a delimiter too (or, on
// Windows, a ':'). C:\Photos\a.jpg gives C:\Photos, C:\a.jpg gives C:\,
// /home/a.txt gives /home and /a.txt gives /.
QString ExtractLocation(const QString &APath, TPathStyle AStyle = NativePathStyle);

// ALocation, a delimiter unless ALocation already ends in one, then AName.
QString JoinPath(const QString &ALocation, const QString &AName,
                 TPathStyle AStyle = NativePathStyle);

// True when AName is no usable single name inside a folder: empty, "." or
// "..", or holding a delimiter of the style or a NUL character.
bool IsInvalidEntryName(const QString &AName, TPathStyle AStyle = NativePathStyle);

// True for a name the platform treats as hidden (on POSIX: begins with ".").
bool IsHiddenName(const QString &AName);

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

// One entry of a folder listing.
struct TDirEntry {
  QString FName;
  bool FIsDirectory = false; // a real folder, not a link to one
  bool FIsSymLink = false;
};

// Lists the entries of AFolder in the order the file system returns them,
// without "." and "..". Returns false when the folder cannot be listed.
// AVisit returns false to stop the listing early.
bool ListDirectory(const QString &AFolder, const std::function<bool(const TDirEntry &)> &AVisit);

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
  explicit operator bool() const { return FOk; }
};

// Moves the file or folder ASource to ATarget inside the same file system,
// never replacing an existing entry and never copying. A change of letter
// case alone succeeds, also where the file system ignores case; a move onto
// the entry's own unchanged name succeeds without touching it.
TMoveResult MoveNoReplace(const QString &ASource, const QString &ATarget);

// The steps of MoveNoReplace, open to tests that cannot make a file system
// which refuses the no-replace flag or ignores letter case.
namespace detail {

// True when ATarget names the same entry as ASource (same device and inode)
// under another spelling, and the folder of ATarget holds no entry spelled
// exactly like its name: a case-insensitive file system answering for the
// source. A hard link is its own entry and therefore never counts.
bool IsSameEntryOtherSpelling(const QString &ASource, const QString &ATarget);

// Moves ASource to a unique temporary name in the folder of ATarget, then to
// ATarget; moves it back when the second step fails.
TMoveResult MoveThroughTemporaryName(const QString &ASource, const QString &ATarget);

// The move used where the file system refuses the no-replace flag: link and
// unlink for a file, a check followed by rename for a folder.
TMoveResult MoveWithoutNoReplaceFlag(const QString &ASource, const QString &ATarget);

} // namespace detail

} // namespace platform
