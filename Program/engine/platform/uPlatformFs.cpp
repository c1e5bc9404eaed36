// POSIX implementation of the file-system platform layer. The path rules know
// both styles; everything else speaks to the system through the calls below.
#include "uPlatformFs.h"

#include <QFile>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

// ---------------------------------------------------------------------------
// Path rules.

QChar PathDelimiter(TPathStyle AStyle) {
  return AStyle == TPathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

bool IsPathDelimiter(QChar AChar, TPathStyle AStyle) {
  if (AStyle == TPathStyle::Windows)
    return AChar == QLatin1Char('\\') || AChar == QLatin1Char(':');
  return AChar == QLatin1Char('/');
}

namespace {

qsizetype LastDelimiter(QStringView APath, TPathStyle AStyle) {
  for (qsizetype i = APath.size() - 1; i >= 0; --i)
    if (IsPathDelimiter(APath[i], AStyle))
      return i;
  return -1;
}

} // namespace

qsizetype ExtractNameStart(QStringView APath, TPathStyle AStyle) {
  return LastDelimiter(APath, AStyle) + 1;
}

QString ExtractName(const QString &APath, TPathStyle AStyle) {
  const qsizetype LLast = LastDelimiter(APath, AStyle);
  return LLast < 0 ? APath : APath.mid(LLast + 1);
}

QString ExtractLocation(const QString &APath, TPathStyle AStyle) {
  const qsizetype LLast = LastDelimiter(APath, AStyle);
  if (LLast < 0)
    return QString();
  // A final separator is dropped unless it is the root's own ("/", "C:\")
  // or follows another delimiter; a final ':' (C:a.txt) always stays.
  if (APath[LLast] == PathDelimiter(AStyle) && LLast > 0 &&
      !IsPathDelimiter(APath[LLast - 1], AStyle))
    return APath.left(LLast);
  return APath.left(LLast + 1);
}

QString JoinPath(const QString &ALocation, const QString &AName, TPathStyle AStyle) {
  // An empty location is the current folder: the name alone, never the root.
  if (ALocation.isEmpty())
    return AName;
  if (IsPathDelimiter(ALocation.back(), AStyle))
    return ALocation + AName;
  return ALocation + PathDelimiter(AStyle) + AName;
}

bool IsInvalidEntryName(const QString &AName, TPathStyle AStyle) {
  if (AName.isEmpty() || AName == u"." || AName == u"..")
    return true;
  for (const QChar LChar : AName) {
    if (LChar.unicode() == 0 || IsPathDelimiter(LChar, AStyle))
      return true;
    // Windows accepts "/" as a separator as well.
    if (AStyle == TPathStyle::Windows && LChar == QLatin1Char('/'))
      return true;
  }
  return false;
}

bool IsHiddenName(const QString &AName) {
  return AName.startsWith(QLatin1Char('.'));
}

// ---------------------------------------------------------------------------
// Entries.

namespace {

// A path as the bytes the system expects; false when it cannot be expressed
// (an embedded NUL would silently cut it short).
bool EncodePath(const QString &APath, QByteArray &ABytes) {
  if (APath.isEmpty() || APath.contains(QChar(0)))
    return false;
  ABytes = QFile::encodeName(APath);
  return true;
}

// The same bytes in a buffer on the stack for the common short path: the
// stat of every added file should cost no allocation. The encoding is that
// of QFile::encodeName (UTF-8 on POSIX).
class TNativePath {
public:
  explicit TNativePath(QStringView APath) {
    if (APath.isEmpty())
      return;
    // Plain ASCII, the common case, is copied as it stands.
    FBytes.resize(APath.size() + 1);
    char *LOut = FBytes.data();
    for (const QChar LChar : APath) {
      const char16_t LUnit = LChar.unicode();
      if (LUnit == 0)
        return;
      if (LUnit >= 0x80) {
        EncodeUtf8(APath);
        return;
      }
      *LOut++ = static_cast<char>(LUnit);
    }
    *LOut = 0;
    FValid = true;
  }
  bool Valid() const { return FValid; }
  const char *Data() const { return FBytes.constData(); }

private:
  void EncodeUtf8(QStringView APath) {
    if (APath.contains(QChar(0)))
      return;
    QStringEncoder LEncoder(QStringEncoder::Utf8);
    FBytes.resize(LEncoder.requiredSpace(APath.size()) + 1);
    char *LEnd = LEncoder.appendToBuffer(FBytes.data(), APath);
    *LEnd = 0;
    FValid = true;
  }

  QVarLengthArray<char, 1024> FBytes;
  bool FValid = false;
};

int64_t MSecsOf(const struct stat &AStat) {
  return static_cast<int64_t>(AStat.st_mtim.tv_sec) * 1000 +
         static_cast<int64_t>(AStat.st_mtim.tv_nsec / 1000000);
}

TPathInfo StatPathImpl(const QString &APath, bool AWithLocalTime) {
  TPathInfo LInfo;
  const TNativePath LBytes(APath);
  struct stat LStat;
  if (!LBytes.Valid() || ::stat(LBytes.Data(), &LStat) != 0)
    return LInfo;
  LInfo.FExists = true;
  LInfo.FIsDirectory = S_ISDIR(LStat.st_mode);
  LInfo.FIsRegular = S_ISREG(LStat.st_mode);
  LInfo.FReadOnly = (LStat.st_mode & S_IWUSR) == 0;
  LInfo.FSize = static_cast<int64_t>(LStat.st_size);
  LInfo.FModifiedMSecs = MSecsOf(LStat);
  if (AWithLocalTime)
    LInfo.FModified = LocalDateTimeFromMSecs(LInfo.FModifiedMSecs);
  LInfo.FArchive = LInfo.FIsRegular;
  const qsizetype LLast = LastDelimiter(APath, TPathStyle::Posix);
  LInfo.FHidden = LLast + 1 < APath.size() && APath[LLast + 1] == QLatin1Char('.');
  LInfo.FSystem = false;
  LInfo.FDevice = static_cast<uint64_t>(LStat.st_dev);
  LInfo.FInode = static_cast<uint64_t>(LStat.st_ino);
  return LInfo;
}

struct TDirCloser {
  void operator()(DIR *ADir) const { ::closedir(ADir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

} // namespace

QDateTime LocalDateTimeFromMSecs(int64_t AMSecs) {
  return QDateTime::fromMSecsSinceEpoch(AMSecs, Qt::LocalTime);
}

TPathInfo StatPath(const QString &APath) {
  return StatPathImpl(APath, true);
}

TPathInfo StatPathNoLocalTime(const QString &APath) {
  return StatPathImpl(APath, false);
}

bool FileExists(const QString &APath) {
  const TNativePath LBytes(APath);
  struct stat LStat;
  return LBytes.Valid() && ::stat(LBytes.Data(), &LStat) == 0 && !S_ISDIR(LStat.st_mode);
}

bool DirectoryExists(const QString &APath) {
  const TNativePath LBytes(APath);
  struct stat LStat;
  return LBytes.Valid() && ::stat(LBytes.Data(), &LStat) == 0 && S_ISDIR(LStat.st_mode);
}

bool IsRegularFileNative(const QByteArray &ANativePath) {
  struct stat LStat;
  return !ANativePath.isEmpty() && !ANativePath.contains('\0') &&
         ::stat(ANativePath.constData(), &LStat) == 0 && S_ISREG(LStat.st_mode);
}

bool ListDirectory(const QString &AFolder, const std::function<bool(const TDirEntry &)> &AVisit) {
  QByteArray LBytes;
  if (!EncodePath(AFolder, LBytes))
    return false;
  TDirHandle LDir(::opendir(LBytes.constData()));
  if (!LDir)
    return false;
  TDirEntry LEntry;
  while (const dirent *LRaw = ::readdir(LDir.get())) {
    const char *LName = LRaw->d_name;
    if (LName[0] == '.' && (LName[1] == 0 || (LName[1] == '.' && LName[2] == 0)))
      continue;
    unsigned char LType = LRaw->d_type;
    if (LType == DT_UNKNOWN) {
      struct stat LStat;
      if (::fstatat(::dirfd(LDir.get()), LName, &LStat, AT_SYMLINK_NOFOLLOW) == 0)
        LType = S_ISDIR(LStat.st_mode) ? DT_DIR : S_ISLNK(LStat.st_mode) ? DT_LNK : DT_REG;
    }
    LEntry.FName = QFile::decodeName(LName);
    LEntry.FIsDirectory = LType == DT_DIR;
    LEntry.FIsSymLink = LType == DT_LNK;
    if (!AVisit(LEntry))
      break;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Moves.

namespace {

TMoveResult Success() {
  return TMoveResult{true, TMoveError::None, 0};
}

TMoveResult Failure(int AErrno, const QByteArray &ASource) {
  TMoveError LError = TMoveError::Other;
  switch (AErrno) {
  case EEXIST:
  case ENOTEMPTY:
    LError = TMoveError::TargetExists;
    break;
  case ENOENT: {
    struct stat LStat;
    LError =
        ::lstat(ASource.constData(), &LStat) != 0 ? TMoveError::SourceMissing : TMoveError::Other;
    break;
  }
  case EXDEV:
    LError = TMoveError::CrossDevice;
    break;
  case ENAMETOOLONG:
    LError = TMoveError::InvalidName;
    break;
  default:
    break;
  }
  return TMoveResult{false, LError, AErrno};
}

TMoveResult InvalidName() {
  return TMoveResult{false, TMoveError::InvalidName, EINVAL};
}

int RenameNoReplace(const char *ASource, const char *ATarget) {
  if (::syscall(SYS_renameat2, AT_FDCWD, ASource, AT_FDCWD, ATarget, RENAME_NOREPLACE) == 0)
    return 0;
  return errno;
}

// rename() after a check that the target is free: the best a file system
// without the no-replace flag and without hard links allows.
TMoveResult CheckThenRename(const QByteArray &ASource, const QByteArray &ATarget) {
  struct stat LStat;
  if (::lstat(ATarget.constData(), &LStat) == 0)
    return Failure(EEXIST, ASource);
  if (::rename(ASource.constData(), ATarget.constData()) != 0)
    return Failure(errno, ASource);
  return Success();
}

TMoveResult FallbackMove(const QByteArray &ASource, const QByteArray &ATarget) {
  struct stat LSource;
  if (::lstat(ASource.constData(), &LSource) != 0)
    return Failure(errno, ASource);
  if (S_ISDIR(LSource.st_mode))
    return CheckThenRename(ASource, ATarget);
  // link() fails when the target exists, so nothing is ever replaced.
  if (::link(ASource.constData(), ATarget.constData()) != 0) {
    const int LErr = errno;
    if (LErr == EPERM || LErr == EOPNOTSUPP || LErr == ENOSYS || LErr == EMLINK)
      return CheckThenRename(ASource, ATarget); // no hard links here
    return Failure(LErr, ASource);
  }
  if (::unlink(ASource.constData()) != 0) {
    const int LErr = errno;
    ::unlink(ATarget.constData()); // the source stays as it was
    return Failure(LErr, ASource);
  }
  return Success();
}

// What follows a no-replace rename that failed with AErr: the fallback where
// the file system refuses the flag, otherwise the failure.
TMoveResult AfterRenameFailed(int AErr, const QByteArray &ASource, const QByteArray &ATarget) {
  if (AErr == EINVAL || AErr == ENOSYS)
    return FallbackMove(ASource, ATarget);
  return Failure(AErr, ASource);
}

// One no-replace move without the letter-case handling.
TMoveResult MoveStep(const QByteArray &ASource, const QByteArray &ATarget) {
  const int LErr = RenameNoReplace(ASource.constData(), ATarget.constData());
  if (LErr == 0)
    return Success();
  return AfterRenameFailed(LErr, ASource, ATarget);
}

// The folder part and the name of a POSIX path given as bytes.
QByteArray FolderOf(const QByteArray &APath) {
  const qsizetype LLast = APath.lastIndexOf('/');
  if (LLast < 0)
    return QByteArrayLiteral(".");
  if (LLast == 0)
    return QByteArrayLiteral("/");
  return APath.left(LLast);
}

QByteArray NameOf(const QByteArray &APath) {
  const qsizetype LLast = APath.lastIndexOf('/');
  return LLast < 0 ? APath : APath.mid(LLast + 1);
}

bool SameEntryOtherSpelling(const QByteArray &ASource, const QByteArray &ATarget) {
  struct stat LSource;
  struct stat LTarget;
  if (::lstat(ASource.constData(), &LSource) != 0 || ::lstat(ATarget.constData(), &LTarget) != 0)
    return false;
  if (LSource.st_dev != LTarget.st_dev || LSource.st_ino != LTarget.st_ino)
    return false;
  const QByteArray LName = NameOf(ATarget);
  TDirHandle LDir(::opendir(FolderOf(ATarget).constData()));
  if (!LDir)
    return false; // cannot prove that the target is free: treat it as existing
  while (const dirent *LRaw = ::readdir(LDir.get()))
    if (LName == LRaw->d_name)
      return false;
  return true;
}

// True when ATarget names the very entry ASource names: the same name in the
// same folder, however the folder part is spelled ("/a//b" and "/a/b").
bool SameEntrySameSpelling(const QByteArray &ASource, const QByteArray &ATarget) {
  if (NameOf(ASource) != NameOf(ATarget))
    return false;
  struct stat LSourceFolder;
  struct stat LTargetFolder;
  struct stat LEntry;
  return ::lstat(ASource.constData(), &LEntry) == 0 &&
         ::stat(FolderOf(ASource).constData(), &LSourceFolder) == 0 &&
         ::stat(FolderOf(ATarget).constData(), &LTargetFolder) == 0 &&
         LSourceFolder.st_dev == LTargetFolder.st_dev &&
         LSourceFolder.st_ino == LTargetFolder.st_ino;
}

std::atomic<unsigned> GTemporaryCounter{0};

TMoveResult MoveThroughTemporary(const QByteArray &ASource, const QByteArray &ATarget) {
  const QByteArray LFolder = FolderOf(ATarget);
  QByteArray LTemporary;
  TMoveResult LFirst = Failure(EEXIST, ASource);
  for (int LAttempt = 0; LAttempt < 100 && LFirst.FError == TMoveError::TargetExists; ++LAttempt) {
    char LName[64];
    std::snprintf(LName, sizeof LName, "/.varnwell-%ld-%u.tmp", static_cast<long>(::getpid()),
                  GTemporaryCounter.fetch_add(1));
    LTemporary = LFolder + LName;
    LFirst = MoveStep(ASource, LTemporary);
  }
  if (!LFirst.FOk)
    return LFirst;
  const TMoveResult LSecond = MoveStep(LTemporary, ATarget);
  if (!LSecond.FOk)
    MoveStep(LTemporary, ASource); // back to the old name
  return LSecond;
}

} // namespace

TMoveResult MoveNoReplace(const QString &ASource, const QString &ATarget) {
  int LErr = 0;
  {
    // The common case, a move that simply succeeds, costs no allocation.
    const TNativePath LSource(ASource);
    const TNativePath LTarget(ATarget);
    if (!LSource.Valid())
      return TMoveResult{false, TMoveError::SourceMissing, ENOENT};
    if (!LTarget.Valid())
      return InvalidName();
    LErr = RenameNoReplace(LSource.Data(), LTarget.Data());
    if (LErr == 0)
      return Success();
  }
  QByteArray LSource;
  QByteArray LTarget;
  EncodePath(ASource, LSource);
  EncodePath(ATarget, LTarget);
  const TMoveResult LResult = AfterRenameFailed(LErr, LSource, LTarget);
  if (LResult.FError != TMoveError::TargetExists)
    return LResult;
  // A move onto its own unchanged name leaves the entry alone and succeeds,
  // as a rename to the same name does on Windows: a mask that keeps some
  // names must not report those items as failed.
  if (SameEntrySameSpelling(LSource, LTarget))
    return Success();
  if (SameEntryOtherSpelling(LSource, LTarget))
    return MoveThroughTemporary(LSource, LTarget);
  return LResult;
}

namespace detail {

bool IsSameEntryOtherSpelling(const QString &ASource, const QString &ATarget) {
  QByteArray LSource;
  QByteArray LTarget;
  return EncodePath(ASource, LSource) && EncodePath(ATarget, LTarget) &&
         SameEntryOtherSpelling(LSource, LTarget);
}

TMoveResult MoveThroughTemporaryName(const QString &ASource, const QString &ATarget) {
  QByteArray LSource;
  QByteArray LTarget;
  if (!EncodePath(ASource, LSource) || !EncodePath(ATarget, LTarget))
    return InvalidName();
  return MoveThroughTemporary(LSource, LTarget);
}

TMoveResult MoveWithoutNoReplaceFlag(const QString &ASource, const QString &ATarget) {
  QByteArray LSource;
  QByteArray LTarget;
  if (!EncodePath(ASource, LSource) || !EncodePath(ATarget, LTarget))
    return InvalidName();
  return FallbackMove(LSource, LTarget);
}

} // namespace detail

} // namespace platform
