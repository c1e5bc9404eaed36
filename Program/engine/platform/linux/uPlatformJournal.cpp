// Linux implementation of the journal's platform layer.
#include "uPlatformJournal.h"

#include "uPlatformFs.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString ErrnoText(int AErrno) {
  return QString::fromLocal8Bit(std::strerror(AErrno));
}

QByteArray Bytes(const QString &APath) {
  QByteArray LBytes;
  EncodeNativePath(APath, LBytes);
  return LBytes;
}

} // namespace

QString StateHome() {
  const QByteArray LState = qgetenv("XDG_STATE_HOME");
  // A relative value is to be ignored, as the XDG rules say.
  if (!LState.isEmpty() && LState.startsWith('/'))
    return DecodeNativePath(LState);
  return QDir::homePath() + QStringLiteral("/.local/state");
}

TEntryIdentity IdentityOf(const QString &APath, bool AFollowLinks) {
  TEntryIdentity LIdentity;
  struct stat LStat;
  const QByteArray LPath = Bytes(APath);
  if (LPath.isEmpty() ||
      (AFollowLinks ? ::stat(LPath.constData(), &LStat) : ::lstat(LPath.constData(), &LStat)) != 0)
    return LIdentity;
  LIdentity.FExists = true;
  LIdentity.FIsFolder = S_ISDIR(LStat.st_mode);
  LIdentity.FDevice = static_cast<uint64_t>(LStat.st_dev);
  LIdentity.FInode = static_cast<uint64_t>(LStat.st_ino);
  LIdentity.FSize = static_cast<int64_t>(LStat.st_size);
  LIdentity.FModifiedNs =
      static_cast<int64_t>(LStat.st_mtim.tv_sec) * 1000000000 + LStat.st_mtim.tv_nsec;
  return LIdentity;
}

bool IsJournalLocked(const QString &APath) {
  const QByteArray LPath = Bytes(APath);
  const int LFd = ::open(LPath.constData(), O_RDONLY | O_CLOEXEC);
  if (LFd < 0)
    return false;
  const bool LLocked = ::flock(LFd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(LFd);
  return LLocked;
}

TJournalFile::~TJournalFile() {
  if (FFd >= 0)
    ::close(FFd); // the lock goes with the descriptor
}

std::unique_ptr<TJournalFile> TJournalFile::Create(const QString &APath, QString &AError) {
  const QByteArray LPath = Bytes(APath);
  const int LFd =
      ::open(LPath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (LFd < 0) {
    AError = ErrnoText(errno);
    return nullptr;
  }
  if (::flock(LFd, LOCK_EX | LOCK_NB) != 0) {
    AError = ErrnoText(errno);
    ::close(LFd);
    return nullptr;
  }
  return std::unique_ptr<TJournalFile>(new TJournalFile(LFd));
}

std::unique_ptr<TJournalFile> TJournalFile::OpenForAppend(const QString &APath, QString &AError) {
  const QByteArray LPath = Bytes(APath);
  const int LFd = ::open(LPath.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (LFd < 0) {
    AError = ErrnoText(errno);
    return nullptr;
  }
  if (::flock(LFd, LOCK_EX | LOCK_NB) != 0) {
    AError = errno == EWOULDBLOCK ? QStringLiteral("the batch is running") : ErrnoText(errno);
    ::close(LFd);
    return nullptr;
  }
  return std::unique_ptr<TJournalFile>(new TJournalFile(LFd));
}

namespace {

detail::TJournalCallHook &JournalCallHook() {
  static detail::TJournalCallHook LHook;
  return LHook;
}

// The errno the test's hook gives ACall, or 0.
int HookedFailure(detail::TJournalCall ACall) {
  const detail::TJournalCallHook &LHook = JournalCallHook();
  return LHook ? LHook(ACall) : 0;
}

} // namespace

detail::TJournalCallHook detail::SetJournalCallHook(TJournalCallHook AHook) {
  return std::exchange(JournalCallHook(), std::move(AHook));
}

bool TJournalFile::Append(const QByteArray &ABytes, QString &AError) {
  if (const int LFailure = HookedFailure(detail::TJournalCall::Append)) {
    AError = ErrnoText(LFailure);
    return false;
  }
  const char *LData = ABytes.constData();
  qsizetype LLeft = ABytes.size();
  while (LLeft > 0) {
    const ssize_t LWritten = ::write(FFd, LData, static_cast<size_t>(LLeft));
    if (LWritten < 0) {
      if (errno == EINTR)
        continue;
      AError = ErrnoText(errno);
      return false;
    }
    LData += LWritten;
    LLeft -= LWritten;
  }
  return true;
}

bool TJournalFile::Sync(QString &AError) {
  if (const int LFailure = HookedFailure(detail::TJournalCall::Sync)) {
    AError = ErrnoText(LFailure);
    return false;
  }
  if (::fdatasync(FFd) != 0) {
    AError = ErrnoText(errno);
    return false;
  }
  return true;
}

bool SyncFolder(const QString &AFolder) {
  const int LFd = ::open(Bytes(AFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (LFd < 0)
    return false;
  const bool LOk = ::fsync(LFd) == 0;
  ::close(LFd);
  return LOk;
}

int64_t ProcessId() {
  return static_cast<int64_t>(::getpid());
}

} // namespace platform
