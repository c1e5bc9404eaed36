#include "uPlatformLogFile.h"

#include "uLosslessUtf8.h"
#include "uPlatformFs.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The system's bytes of a path; empty (which every call refuses) when it
// cannot be encoded.
QByteArray NativeBytes(const QString &APath) {
  QByteArray LBytes;
  EncodeNativePath(APath, LBytes);
  return LBytes;
}

QString ErrnoText(int AErrno) {
  return QString::fromLocal8Bit(std::strerror(AErrno));
}

QString Failure(const QString &AWhat, const QString &APath, int AErrno) {
  return QStringLiteral("%1 %2: %3").arg(AWhat, APath, ErrnoText(AErrno));
}

// Takes a write lock on the whole file without waiting. An open-file-
// description lock belongs to this one open file, so a second open in the same
// process is refused as well, and closing another descriptor of the file does
// not release it; kernels without such locks get a classic record lock.
bool LockForWriting(int AFd, int &AErrno) {
  struct flock LLock {};
  LLock.l_type = F_WRLCK;
  LLock.l_whence = SEEK_SET;
  LLock.l_start = 0;
  LLock.l_len = 0;
  if (fcntl(AFd, F_OFD_SETLK, &LLock) == 0)
    return true;
  if (errno == EINVAL) {
    LLock = {};
    LLock.l_type = F_WRLCK;
    LLock.l_whence = SEEK_SET;
    if (fcntl(AFd, F_SETLK, &LLock) == 0)
      return true;
  }
  AErrno = errno;
  return false;
}

QDateTime LocalTime(const struct statx_timestamp &ATime) {
  return QDateTime::fromMSecsSinceEpoch(
      static_cast<qint64>(ATime.tv_sec) * 1000 + ATime.tv_nsec / 1000000, Qt::LocalTime);
}

} // namespace

TLogFile::~TLogFile() {
  if (FFd >= 0)
    close(FFd);
}

std::unique_ptr<TLogFile> TLogFile::Open(const QString &APath, bool &AEmpty, QString &AError) {
  const QByteArray LPath = NativeBytes(APath);
  int LFd;
  do
    LFd = open(LPath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  while (LFd < 0 && errno == EINTR);
  if (LFd < 0) {
    AError = Failure(QStringLiteral("Cannot open"), APath, errno);
    return nullptr;
  }
  std::unique_ptr<TLogFile> LFile(new TLogFile(LFd));
  int LErrno = 0;
  if (!LockForWriting(LFd, LErrno)) {
    AError = LErrno == EAGAIN || LErrno == EACCES
                 ? QStringLiteral("%1 is held open for writing by another program").arg(APath)
                 : Failure(QStringLiteral("Cannot lock"), APath, LErrno);
    return nullptr;
  }
  // Whether the file is new is decided under the lock, so that of two
  // loggers starting together only one writes the byte-order mark.
  struct stat LStat {};
  if (fstat(LFd, &LStat) != 0) {
    AError = Failure(QStringLiteral("Cannot read"), APath, errno);
    return nullptr;
  }
  AEmpty = LStat.st_size == 0;
  return LFile;
}

bool TLogFile::Append(const QByteArray &ABytes, QString &AError) {
  const char *LData = ABytes.constData();
  qsizetype LLeft = ABytes.size();
  while (LLeft > 0) {
    const ssize_t LWritten = write(FFd, LData, static_cast<size_t>(LLeft));
    if (LWritten < 0) {
      if (errno == EINTR)
        continue;
      AError = QStringLiteral("Cannot write the log file: %1").arg(ErrnoText(errno));
      return false;
    }
    LData += LWritten;
    LLeft -= LWritten;
  }
  return true;
}

bool LogFolderExists(const QString &APath) {
  struct stat LStat {};
  return !APath.isEmpty() && stat(NativeBytes(APath).constData(), &LStat) == 0 &&
         S_ISDIR(LStat.st_mode);
}

bool CreateLogFolder(const QString &APath, QString &AError) {
  if (APath.isEmpty()) {
    AError = QStringLiteral("No log folder given");
    return false;
  }
  const QByteArray LPath = NativeBytes(APath);
  // Each prefix that ends before a '/' is a parent; the whole path comes last.
  for (qsizetype LEnd = 1; LEnd <= LPath.size(); ++LEnd) {
    if (LEnd < LPath.size() && LPath.at(LEnd) != '/')
      continue;
    if (LPath.at(LEnd - 1) == '/')
      continue;
    const QByteArray LPrefix = LPath.left(LEnd);
    if (mkdir(LPrefix.constData(), 0777) == 0)
      continue;
    const int LErrno = errno;
    struct stat LStat {};
    if (LErrno == EEXIST && stat(LPrefix.constData(), &LStat) == 0 && S_ISDIR(LStat.st_mode))
      continue;
    AError = Failure(QStringLiteral("Cannot create the folder"), DecodeUtf8Lossless(LPrefix),
                     LErrno == EEXIST ? ENOTDIR : LErrno);
    return false;
  }
  return true;
}

bool ListFolderFiles(const QString &AFolder, std::vector<QString> &ANames, QString &AError) {
  DIR *LDir = opendir(NativeBytes(AFolder).constData());
  if (!LDir) {
    AError = Failure(QStringLiteral("Cannot list"), AFolder, errno);
    return false;
  }
  const int LDirFd = dirfd(LDir);
  bool LOk = true;
  for (;;) {
    errno = 0;
    const struct dirent *LEntry = readdir(LDir);
    if (!LEntry) {
      if (errno != 0) {
        AError = Failure(QStringLiteral("Cannot list"), AFolder, errno);
        LOk = false;
      }
      break;
    }
    if (std::strcmp(LEntry->d_name, ".") == 0 || std::strcmp(LEntry->d_name, "..") == 0)
      continue;
    bool LIsFolder = LEntry->d_type == DT_DIR;
    if (LEntry->d_type == DT_UNKNOWN || LEntry->d_type == DT_LNK) {
      struct stat LStat {};
      LIsFolder = fstatat(LDirFd, LEntry->d_name, &LStat, 0) == 0 && S_ISDIR(LStat.st_mode);
    }
    if (!LIsFolder)
      ANames.push_back(DecodeUtf8Lossless(LEntry->d_name));
  }
  closedir(LDir);
  return LOk;
}

std::optional<QDateTime> FileCreationTime(const QString &APath, QString &AError) {
  struct statx LStat {};
  if (statx(AT_FDCWD, NativeBytes(APath).constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
            STATX_BTIME | STATX_MTIME, &LStat) != 0) {
    AError = Failure(QStringLiteral("Cannot read the creation time of"), APath, errno);
    return std::nullopt;
  }
  // Without a birth time the modification time is the closest thing: taking
  // the zero date instead would make every log file look ancient.
  if (LStat.stx_mask & STATX_BTIME)
    return LocalTime(LStat.stx_btime);
  if (LStat.stx_mask & STATX_MTIME)
    return LocalTime(LStat.stx_mtime);
  AError = QStringLiteral("The file system keeps no time for %1").arg(APath);
  return std::nullopt;
}

bool RemoveFile(const QString &APath) {
  return unlink(NativeBytes(APath).constData()) == 0;
}

} // namespace platform
