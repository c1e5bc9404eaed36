// What the rename journal asks of the system: where the program's state
// lives, the identity of an entry, and a journal file that is written out to
// the disk when told and locked while its batch runs.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// The folder for the program's state: $XDG_STATE_HOME, else ~/.local/state.
QString StateHome();

// The identity of the entry at APath: of a link's target with AFollowLinks,
// else of the entry itself.
struct TEntryIdentity {
  bool FExists = false;
  bool FIsFolder = false;
  uint64_t FDevice = 0;
  uint64_t FInode = 0;
  int64_t FSize = 0;
  int64_t FModifiedNs = 0;
};
TEntryIdentity IdentityOf(const QString &APath, bool AFollowLinks = false);

// True when the file at APath is held by a running batch (its lock is taken,
// in this process or another).
bool IsJournalLocked(const QString &APath);

// A journal file, open for appending and locked for the life of the object.
class TJournalFile {
public:
  ~TJournalFile();
  TJournalFile(const TJournalFile &) = delete;
  TJournalFile &operator=(const TJournalFile &) = delete;

  // Creates APath, which must not exist, and takes its lock.
  static std::unique_ptr<TJournalFile> Create(const QString &APath, QString &AError);
  // Opens the existing APath for appending and takes its lock; fails when
  // another batch holds it.
  static std::unique_ptr<TJournalFile> OpenForAppend(const QString &APath, QString &AError);

  // Writes ABytes at the end of the file.
  bool Append(const QByteArray &ABytes, QString &AError);
  // Puts everything written so far on the disk.
  bool Sync(QString &AError);

private:
  explicit TJournalFile(int AFd) : FFd(AFd) {}
  int FFd = -1;
};

// Puts the entries of the folder AFolder (a new file's name) on the disk.
bool SyncFolder(const QString &AFolder);

// The number of the running process.
int64_t ProcessId();

namespace detail {

// A test's hook, asked before each append to and each sync of a journal file
// (on whichever thread makes the call): an errno value makes the call fail
// with it, as a full disk or a failing device would; 0 lets it go on.
enum class TJournalCall { Append, Sync };
using TJournalCallHook = std::function<int(TJournalCall ACall)>;
// Replaces the hook (empty for none); returns the previous one.
TJournalCallHook SetJournalCallHook(TJournalCallHook AHook);

} // namespace detail

} // namespace platform
