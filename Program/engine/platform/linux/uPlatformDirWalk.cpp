// Linux implementation of the folder walk. Each folder is opened once with
// open(), its time read with fstat() on that descriptor, its entries read with
// getdents64() and the descriptor closed before its subfolders are walked, so
// a deep tree never holds more than one open folder per level being read.
#include "uPlatformDirWalk.h"

#include "uLosslessUtf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

namespace {

QDateTime TimeOf(const struct stat &AStat) {
  const qint64 LMSecs = static_cast<qint64>(AStat.st_mtim.tv_sec) * 1000 +
                        static_cast<qint64>(AStat.st_mtim.tv_nsec) / 1000000;
  // Kept in UTC: the conversion to local time is made when the time is shown,
  // which spares a time-zone lookup for every folder of a large tree.
  return QDateTime::fromMSecsSinceEpoch(LMSecs, Qt::UTC);
}

// On POSIX a name is hidden when it begins with "."; that covers "." and "..".
bool IsHiddenBytes(const char *AName) {
  return AName[0] == '.';
}

// A descriptor closed on every path.
class TFd {
public:
  explicit TFd(int AFd = -1) : FFd(AFd) {}
  ~TFd() { Close(); }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  TFd(TFd &&AOther) noexcept : FFd(AOther.FFd) { AOther.FFd = -1; }
  int Get() const { return FFd; }
  void Close() {
    if (FFd >= 0)
      ::close(FFd);
    FFd = -1;
  }

private:
  int FFd;
};

int OpenFolder(const QByteArray &APath) {
  // O_NOFOLLOW: a link put in a folder's place since it was listed is not entered.
  return ::open(APath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

class TWalker {
public:
  TWalker(const std::function<bool(const QString &, const QString &, const QDateTime &)> &AVisit,
          const std::function<bool(QStringView, QStringView)> &ALess,
          const std::function<void(const QString &, const QString &)> &AUnreadable)
      : FVisit(AVisit), FLess(ALess), FUnreadable(AUnreadable), FBuffer(32 * 1024) {}

  // Lists the open folder AFd (path APath / ABytes), closes it, and visits
  // and walks each of its subfolders. False: the visitor ended the walk.
  bool Walk(TFd AFd, const QString &APath, const QByteArray &ABytes) {
    std::vector<QByteArray> LBytesNames;
    ReadSubFolderNames(AFd.Get(), LBytesNames);
    AFd.Close();
    if (LBytesNames.empty())
      return true;
    // Each name as its bytes and as text, in the caller's order.
    std::vector<std::pair<QString, QByteArray>> LNames;
    LNames.reserve(LBytesNames.size());
    for (QByteArray &LName : LBytesNames)
      LNames.emplace_back(DecodeUtf8Lossless(LName), std::move(LName));
    std::sort(LNames.begin(), LNames.end(), [this](const auto &ALeft, const auto &ARight) {
      return FLess(ALeft.first, ARight.first);
    });
    const QChar LDelimiter = PathDelimiter();
    const bool LDelimited = APath.endsWith(LDelimiter);
    const QString LPrefix = LDelimited ? APath : APath + LDelimiter;
    const QByteArray LBytesPrefix = ABytes.endsWith('/') ? ABytes : ABytes + '/';
    for (const auto &[LName16, LName] : LNames) {
      const QByteArray LChildBytes = LBytesPrefix + LName;
      TFd LChild(OpenFolder(LChildBytes));
      const int LOpenError = LChild.Get() >= 0 ? 0 : errno;
      struct stat LStat {};
      bool LHaveTime = false;
      if (LChild.Get() >= 0)
        LHaveTime = ::fstat(LChild.Get(), &LStat) == 0;
      else
        LHaveTime = ::lstat(LChildBytes.constData(), &LStat) == 0 && S_ISDIR(LStat.st_mode);
      if (!FVisit(APath, LName16, LHaveTime ? TimeOf(LStat) : QDateTime()))
        return false;
      // A folder that is there but cannot be opened: what is below it is
      // not found, and the caller hears why.
      if (LChild.Get() < 0 && LHaveTime && FUnreadable)
        FUnreadable(LPrefix + LName16, QString::fromLocal8Bit(std::strerror(LOpenError)));
      if (LChild.Get() >= 0 && !Walk(std::move(LChild), LPrefix + LName16, LChildBytes))
        return false;
    }
    return true;
  }

private:
  // The names of the real subfolders of AFd that are not hidden, in listing order.
  void ReadSubFolderNames(int AFd, std::vector<QByteArray> &ANames) {
    for (;;) {
      const ssize_t LRead = ::getdents64(AFd, FBuffer.data(), FBuffer.size());
      if (LRead <= 0)
        return; // the end, or a folder that cannot be read any further
      for (ssize_t LPos = 0; LPos < LRead;) {
        dirent64 LEntry;
        std::memcpy(&LEntry, FBuffer.data() + LPos, offsetof(dirent64, d_name));
        const char *LName = FBuffer.data() + LPos + offsetof(dirent64, d_name);
        LPos += LEntry.d_reclen;
        if (IsHiddenBytes(LName))
          continue;
        unsigned char LType = LEntry.d_type;
        if (LType == DT_UNKNOWN) {
          struct stat LStat {};
          if (::fstatat(AFd, LName, &LStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(LStat.st_mode))
            LType = DT_DIR;
        }
        if (LType == DT_DIR)
          ANames.emplace_back(LName);
      }
    }
  }

  const std::function<bool(const QString &, const QString &, const QDateTime &)> &FVisit;
  const std::function<bool(QStringView, QStringView)> &FLess;
  const std::function<void(const QString &, const QString &)> &FUnreadable;
  std::vector<char> FBuffer;
};

} // namespace

void WalkSubFolders(const QString &AFolder,
                    const std::function<bool(const QString &APath, const QString &AName,
                                             const QDateTime &AModified)> &AVisit,
                    const std::function<bool(QStringView, QStringView)> &ALess,
                    const std::function<void(const QString &, const QString &)> &AUnreadable) {
  QByteArray LBytes;
  if (!EncodeNativePath(AFolder, LBytes))
    return;
  // The chosen folder itself may be reached through a link.
  TFd LFd(::open(LBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (LFd.Get() < 0) {
    if (AUnreadable)
      AUnreadable(AFolder, QString::fromLocal8Bit(std::strerror(errno)));
    return;
  }
  (void)TWalker(AVisit, ALess, AUnreadable).Walk(std::move(LFd), AFolder, LBytes);
}

TOpenFolder::TOpenFolder(const QByteArray &APath, bool AFollowLink) {
  FFd = ::open(APath.constData(),
               O_RDONLY | O_DIRECTORY | O_CLOEXEC | (AFollowLink ? 0 : O_NOFOLLOW));
  FError = FFd >= 0 ? 0 : errno;
}

TOpenFolder::~TOpenFolder() {
  Close();
}

void TOpenFolder::Close() {
  if (FFd >= 0)
    ::close(FFd);
  FFd = -1;
}

QString TOpenFolder::ErrorText() const {
  return QString::fromLocal8Bit(std::strerror(FError));
}

void TOpenFolder::ReadEntries(
    const std::function<void(const char *AName, qsizetype ALength, TListedKind AKind)> &AVisit) {
  if (FFd < 0)
    return;
  std::vector<char> LBuffer(64 * 1024);
  for (;;) {
    const ssize_t LRead = ::getdents64(FFd, LBuffer.data(), LBuffer.size());
    if (LRead <= 0)
      return; // the end, or a folder that cannot be read any further
    for (ssize_t LPos = 0; LPos < LRead;) {
      dirent64 LEntry;
      std::memcpy(&LEntry, LBuffer.data() + LPos, offsetof(dirent64, d_name));
      const char *LName = LBuffer.data() + LPos + offsetof(dirent64, d_name);
      LPos += LEntry.d_reclen;
      if (LName[0] == '.' && (LName[1] == 0 || (LName[1] == '.' && LName[2] == 0)))
        continue;
      const TListedKind LKind = LEntry.d_type == DT_DIR       ? TListedKind::Folder
                                : LEntry.d_type == DT_LNK     ? TListedKind::Link
                                : LEntry.d_type == DT_UNKNOWN ? TListedKind::Unknown
                                                              : TListedKind::Other;
      AVisit(LName, static_cast<qsizetype>(std::strlen(LName)), LKind);
    }
  }
}

size_t TOpenFolder::EntriesHint() const {
  struct stat LStat {};
  if (FFd < 0 || ::fstat(FFd, &LStat) != 0 || LStat.st_size <= 0)
    return 0;
  // An entry of ext4's listing takes 12 bytes at the least; tmpfs counts 20
  // for each. Far more than a folder holds (a file system that counts less)
  // only makes room that is never touched.
  return std::min<size_t>(static_cast<size_t>(LStat.st_size) / 12, 64 * 1024 * 1024);
}

TEntryFacts TOpenFolder::FactsOf(const char *AName) const {
  TEntryFacts LFacts;
  if (FFd < 0)
    return LFacts;
  // The kind, the identity, the size and the time, and nothing else: a file
  // system may spare the rest.
  struct statx LStat {};
  if (::statx(FFd, AName, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
              STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MTIME, &LStat) != 0) {
    if (errno != ENOSYS)
      return LFacts;
    // A system without statx (or a filter that refuses it).
    struct stat LOld {};
    if (::fstatat(FFd, AName, &LOld, AT_SYMLINK_NOFOLLOW) != 0)
      return LFacts;
    LFacts.FExists = true;
    LFacts.FIsFolder = S_ISDIR(LOld.st_mode);
    LFacts.FIsLink = S_ISLNK(LOld.st_mode);
    LFacts.FDevice = static_cast<uint64_t>(LOld.st_dev);
    LFacts.FInode = static_cast<uint64_t>(LOld.st_ino);
    LFacts.FSize = static_cast<int64_t>(LOld.st_size);
    LFacts.FModifiedMSecs = static_cast<int64_t>(LOld.st_mtim.tv_sec) * 1000 +
                            static_cast<int64_t>(LOld.st_mtim.tv_nsec / 1000000);
    return LFacts;
  }
  LFacts.FExists = true;
  LFacts.FIsFolder = S_ISDIR(LStat.stx_mode);
  LFacts.FIsLink = S_ISLNK(LStat.stx_mode);
  // The device as stat gives it, so that both ways name it alike.
  LFacts.FDevice = static_cast<uint64_t>(makedev(LStat.stx_dev_major, LStat.stx_dev_minor));
  LFacts.FInode = LStat.stx_ino;
  LFacts.FSize = static_cast<int64_t>(LStat.stx_size);
  LFacts.FModifiedMSecs = static_cast<int64_t>(LStat.stx_mtime.tv_sec) * 1000 +
                          static_cast<int64_t>(LStat.stx_mtime.tv_nsec / 1000000);
  return LFacts;
}

bool TOpenFolder::LeadsToFolder(const char *AName) const {
  struct stat LStat {};
  return FFd >= 0 && ::fstatat(FFd, AName, &LStat, 0) == 0 && S_ISDIR(LStat.st_mode);
}

bool TOpenFolder::MoveWithin(const char *AFrom, const char *ATo) const {
  return FFd >= 0 && ::syscall(SYS_renameat2, FFd, AFrom, FFd, ATo,
                               static_cast<unsigned>(RENAME_NOREPLACE)) == 0;
}

bool StatRealFolder(const QString &APath, QDateTime &AModified) {
  QByteArray LPath;
  if (!EncodeNativePath(APath, LPath))
    return false;
  struct stat LStat {};
  if (::lstat(LPath.constData(), &LStat) != 0 || !S_ISDIR(LStat.st_mode))
    return false;
  AModified = TimeOf(LStat);
  return true;
}

namespace {

// Sums the sizes of a tree for TreeSizeNoFollow. Each folder is opened,
// its entries read with getdents64() and each one with fstatat() on the
// open folder without following it, and the folder is closed before the
// next one is opened.
class TTreeSizer {
public:
  explicit TTreeSizer(const std::atomic<bool> *AStop) : FStop(AStop), FBuffer(32 * 1024) {}

  // The sum below the open folder AFd at ABytes; -1 when stopped.
  int64_t Run(TFd AFd, const QByteArray &ABytes) {
    struct stat LStat {};
    if (::fstat(AFd.Get(), &LStat) == 0)
      FFolders.insert({LStat.st_dev, LStat.st_ino});
    std::vector<QByteArray> LPending;
    if (!SumFolder(AFd.Get(), ABytes, LPending))
      return -1;
    AFd.Close();
    while (!LPending.empty()) {
      const QByteArray LPath = std::move(LPending.back());
      LPending.pop_back();
      const TFd LFd(OpenFolder(LPath));
      if (LFd.Get() >= 0 && !SumFolder(LFd.Get(), LPath, LPending))
        return -1;
    }
    return FSum;
  }

private:
  // Adds the entries of AFd that are no folders and puts its subfolders on
  // APending. False when stopped.
  bool SumFolder(int AFd, const QByteArray &APath, std::vector<QByteArray> &APending) {
    const QByteArray LPrefix = APath.endsWith('/') ? APath : APath + '/';
    for (;;) {
      const ssize_t LRead = ::getdents64(AFd, FBuffer.data(), FBuffer.size());
      if (LRead <= 0)
        return true; // the end, or a folder that cannot be read any further
      for (ssize_t LPos = 0; LPos < LRead;) {
        dirent64 LEntry;
        std::memcpy(&LEntry, FBuffer.data() + LPos, offsetof(dirent64, d_name));
        const char *LName = FBuffer.data() + LPos + offsetof(dirent64, d_name);
        LPos += LEntry.d_reclen;
        if (LName[0] == '.' && (LName[1] == 0 || (LName[1] == '.' && LName[2] == 0)))
          continue;
        if (FStop != nullptr && FStop->load(std::memory_order_relaxed))
          return false;
        struct stat LStat {};
        if (::fstatat(AFd, LName, &LStat, AT_SYMLINK_NOFOLLOW) != 0)
          continue; // gone since the listing
        if (S_ISDIR(LStat.st_mode)) {
          // A folder met again (a bind mount of a folder above it) is not
          // walked twice.
          if (FFolders.insert({LStat.st_dev, LStat.st_ino}).second)
            APending.push_back(LPrefix + LName);
          continue;
        }
        // Hard links: one inode, one size.
        if (LStat.st_nlink > 1 && !FLinked.insert({LStat.st_dev, LStat.st_ino}).second)
          continue;
        FSum += static_cast<int64_t>(LStat.st_size);
      }
    }
  }

  const std::atomic<bool> *FStop;
  std::vector<char> FBuffer;
  std::set<std::pair<dev_t, ino_t>> FFolders;
  std::set<std::pair<dev_t, ino_t>> FLinked;
  int64_t FSum = 0;
};

} // namespace

int64_t TreeSizeNoFollow(const QString &AFolder, const std::atomic<bool> *AStop) {
  QByteArray LBytes;
  if (!EncodeNativePath(AFolder, LBytes))
    return 0;
  // The folder itself may be reached through a link.
  TFd LFd(::open(LBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (LFd.Get() < 0)
    return 0;
  return TTreeSizer(AStop).Run(std::move(LFd), LBytes);
}

TMoveResult MoveFolderNoReplace(const QString &ASource, const QString &ATarget) {
  // A final "/" makes the system itself refuse a source that is no folder
  // (ENOTDIR), in the same call that moves it.
  if (ASource.isEmpty() || ASource.endsWith(PathDelimiter()))
    return MoveNoReplace(ASource, ATarget);
  return MoveNoReplace(ASource + PathDelimiter(), ATarget);
}

} // namespace platform
