// Linux implementation of the file-system platform layer.
#include "uPlatformFs.h"

#include "uLosslessUtf8.h"

#include <QFile>
#include <QVarLengthArray>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

// ---------------------------------------------------------------------------
// Names as the system stores them.

QString DecodeNativePath(const QByteArray &ABytes) {
  return DecodeUtf8Lossless(ABytes);
}

bool EncodeNativePath(const QString &APath, QByteArray &ABytes) {
  if (APath.isEmpty() || APath.contains(QChar(0)))
    return false;
  return EncodeUtf8Lossless(APath, ABytes);
}

namespace {

// The bytes of a path in a buffer on the stack for the common short path:
// the stat of every added file should cost no allocation.
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
        Encode(APath);
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
  void Encode(QStringView APath) {
    if (APath.contains(QChar(0)))
      return;
    FBytes.resize(MaxUtf8LosslessSize(APath.size()) + 1);
    const qsizetype LSize = EncodeUtf8Lossless(APath, FBytes.data());
    if (LSize < 0)
      return;
    FBytes[LSize] = 0;
    FValid = true;
  }

  QVarLengthArray<char, 1024> FBytes;
  bool FValid = false;
};

int64_t MSecsOf(const struct stat &AStat) {
  return static_cast<int64_t>(AStat.st_mtim.tv_sec) * 1000 +
         static_cast<int64_t>(AStat.st_mtim.tv_nsec / 1000000);
}

TPathInfo StatPathImpl(const QString &APath, bool AWithLocalTime, bool AFollowLinks = true) {
  TPathInfo LInfo;
  const TNativePath LBytes(APath);
  struct stat LStat;
  if (!LBytes.Valid() ||
      (AFollowLinks ? ::stat(LBytes.Data(), &LStat) : ::lstat(LBytes.Data(), &LStat)) != 0)
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
  const qsizetype LNameStart = ExtractNameStart(APath, TPathStyle::Posix);
  LInfo.FHidden = LNameStart < APath.size() && APath[LNameStart] == QLatin1Char('.');
  LInfo.FSystem = false;
  LInfo.FDevice = static_cast<uint64_t>(LStat.st_dev);
  LInfo.FInode = static_cast<uint64_t>(LStat.st_ino);
  return LInfo;
}

struct TDirCloser {
  void operator()(DIR *ADir) const { ::closedir(ADir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

bool IsDotOrDotDot(const char *AName) {
  return AName[0] == '.' && (AName[1] == 0 || (AName[1] == '.' && AName[2] == 0));
}

// Lists the folder AFolder by the bytes of its entries' names; false when it
// cannot be listed. AVisit returns false to stop.
template <typename F> bool ListNames(const char *AFolder, F AVisit) {
  TDirHandle LDir(::opendir(AFolder));
  if (!LDir)
    return false;
  while (const dirent *LRaw = ::readdir(LDir.get())) {
    if (IsDotOrDotDot(LRaw->d_name))
      continue;
    if (!AVisit(*LRaw, ::dirfd(LDir.get())))
      break;
  }
  return true;
}

// The folder part and the name of a POSIX path given as bytes. Final
// delimiters belong to neither: "/a/b/" has the folder "/a" and the name "b".
QByteArray WithoutFinalDelimiters(const QByteArray &APath) {
  qsizetype LEnd = APath.size();
  while (LEnd > 1 && APath[LEnd - 1] == '/')
    --LEnd;
  return APath.left(LEnd);
}

QByteArray FolderOf(const QByteArray &APath) {
  const QByteArray LPath = WithoutFinalDelimiters(APath);
  const qsizetype LLast = LPath.lastIndexOf('/');
  if (LLast < 0)
    return QByteArrayLiteral(".");
  if (LLast == 0)
    return QByteArrayLiteral("/");
  return LPath.left(LLast);
}

QByteArray NameOf(const QByteArray &APath) {
  const QByteArray LPath = WithoutFinalDelimiters(APath);
  const qsizetype LLast = LPath.lastIndexOf('/');
  return LLast < 0 ? LPath : LPath.mid(LLast + 1);
}

} // namespace

TResolvedPath ResolveDecodedPath(const QString &APath) {
  const QChar LLost(QChar::ReplacementCharacter);
  if (!APath.contains(LLost))
    return {APath, TResolveOutcome::Unchanged};
  const QStringList LParts = APath.split(QLatin1Char('/'));
  QString LResolved;
  for (qsizetype i = 0; i < LParts.size(); ++i) {
    const QString &LPart = LParts[i];
    const QString LFolder = i == 0                ? QString()
                            : LResolved.isEmpty() ? QStringLiteral("/")
                                                  : LResolved;
    QString LName = LPart;
    if (LPart.contains(LLost)) {
      // The entries whose names decode to LPart the way Qt decodes names, or
      // whose names are shown as LPart.
      int LMatches = 0;
      QByteArray LFolderBytes;
      if (!EncodeNativePath(LFolder.isEmpty() ? QStringLiteral(".") : LFolder, LFolderBytes))
        return {APath, TResolveOutcome::NotFound};
      ListNames(LFolderBytes.constData(), [&](const dirent &AEntry, int) {
        const QByteArray LBytes(AEntry.d_name);
        const QString LLossless = DecodeUtf8Lossless(LBytes);
        if (QFile::decodeName(LBytes) == LPart || DisplayText(LLossless) == LPart) {
          LName = LLossless;
          ++LMatches;
        }
        return true;
      });
      if (LMatches == 0)
        return {APath, TResolveOutcome::NotFound};
      if (LMatches > 1)
        return {QString(), TResolveOutcome::Ambiguous};
    }
    if (i > 0)
      LResolved += QLatin1Char('/');
    LResolved += LName;
  }
  return {LResolved, TResolveOutcome::Resolved};
}

// ---------------------------------------------------------------------------
// Entries.

QDateTime LocalDateTimeFromMSecs(int64_t AMSecs) {
  return QDateTime::fromMSecsSinceEpoch(AMSecs, Qt::LocalTime);
}

TPathInfo StatPath(const QString &APath) {
  return StatPathImpl(APath, true);
}

TPathInfo StatPathNoLocalTime(const QString &APath) {
  return StatPathImpl(APath, false);
}

TPathInfo StatEntryNoLocalTime(const QString &APath) {
  return StatPathImpl(APath, false, false);
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

bool EntryExists(const QString &APath) {
  const TNativePath LBytes(APath);
  struct stat LStat;
  return LBytes.Valid() && ::lstat(LBytes.Data(), &LStat) == 0;
}

bool NonFolderEntryExists(const QString &APath) {
  const TNativePath LBytes(APath);
  struct stat LStat;
  return LBytes.Valid() && ::lstat(LBytes.Data(), &LStat) == 0 && !S_ISDIR(LStat.st_mode);
}

namespace {

QByteArray ReadMountTable() {
  QByteArray LContent;
  QString LError;
  ReadWholeFile(QStringLiteral("/proc/self/mountinfo"), LContent, LError);
  return LContent;
}

// The type of the mount whose device is ADevice, from the mount table
// /proc/self/mountinfo: "id parent major:minor root mountpoint options ... -
// type source ...".
QString MountTypeOf(dev_t ADevice, const QByteArray &AContent) {
  const QByteArray LDevice =
      QByteArray::number(major(ADevice)) + ':' + QByteArray::number(minor(ADevice));
  for (const QByteArray &LLine : AContent.split('\n')) {
    const QList<QByteArray> LFields = LLine.split(' ');
    if (LFields.size() < 3 || LFields[2] != LDevice)
      continue;
    const qsizetype LDash = LFields.indexOf("-");
    if (LDash >= 0 && LDash + 1 < LFields.size())
      return QString::fromLatin1(LFields[LDash + 1]);
  }
  return QString();
}

bool IsFatFamilyType(const QString &AType) {
  // Through FUSE ("fuseblk") the common drivers are those of exFAT and NTFS.
  static const QStringList LTypes = {
      QStringLiteral("vfat"),    QStringLiteral("msdos"),  QStringLiteral("exfat"),
      QStringLiteral("fuseblk"), QStringLiteral("ntfs"),   QStringLiteral("ntfs3"),
      QStringLiteral("fat"),     QStringLiteral("umsdos"), QStringLiteral("fuse.exfat")};
  return LTypes.contains(AType);
}

} // namespace

namespace {

TFileSystemInfo Examine(const TNativePath &ABytes, const struct stat &AStat,
                        const QByteArray &AMountTable) {
  TFileSystemInfo LInfo;
  LInfo.FKnown = true;
  LInfo.FType = MountTypeOf(AStat.st_dev, AMountTable);
  LInfo.FFatFamily = IsFatFamilyType(LInfo.FType);
  errno = 0;
  const long LMax = ::pathconf(ABytes.Data(), _PC_NAME_MAX);
  if (LMax > 0)
    LInfo.FNameMax = static_cast<int>(std::min<long>(LMax, 1 << 20));
  return LInfo;
}

} // namespace

TFileSystemInfo TFileSystemCache::Of(const QString &AFolder) {
  const TNativePath LBytes(AFolder);
  struct stat LStat;
  if (!LBytes.Valid() || ::stat(LBytes.Data(), &LStat) != 0)
    return TFileSystemInfo();
  const quint64 LDevice = static_cast<quint64>(LStat.st_dev);
  const auto LFound = FByDevice.constFind(LDevice);
  if (LFound != FByDevice.constEnd())
    return *LFound;
  if (!FMountTableRead) {
    FMountTable = ReadMountTable();
    FMountTableRead = true;
  }
  const TFileSystemInfo LInfo = Examine(LBytes, LStat, FMountTable);
  FByDevice.insert(LDevice, LInfo);
  return LInfo;
}

TFileSystemInfo FileSystemOf(const QString &AFolder) {
  TFileSystemInfo LInfo;
  const TNativePath LBytes(AFolder);
  struct stat LStat;
  if (!LBytes.Valid() || ::stat(LBytes.Data(), &LStat) != 0)
    return LInfo;
  LInfo.FKnown = true;
  LInfo.FType = MountTypeOf(LStat.st_dev, ReadMountTable());
  LInfo.FFatFamily = IsFatFamilyType(LInfo.FType);
  errno = 0;
  const long LMax = ::pathconf(LBytes.Data(), _PC_NAME_MAX);
  if (LMax > 0)
    LInfo.FNameMax = static_cast<int>(std::min<long>(LMax, 1 << 20));
  return LInfo;
}

int NameLength(const QString &AName, const TFileSystemInfo &AInfo) {
  if (AInfo.FFatFamily)
    return static_cast<int>(AName.size());
  QVarLengthArray<char, 1024> LBytes(MaxUtf8LosslessSize(AName.size()));
  const qsizetype LSize = EncodeUtf8Lossless(AName, LBytes.data());
  return static_cast<int>(LSize < 0 ? LBytes.size() : LSize);
}

bool IsRefusedByFatFamily(QStringView AName) {
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const char16_t LUnit = AName[i].unicode();
    if (QChar::isHighSurrogate(LUnit) && i + 1 < AName.size() &&
        QChar::isLowSurrogate(AName[i + 1].unicode())) {
      ++i; // a character beyond the BMP
      continue;
    }
    if (LUnit < 0x20 || LUnit == u'\\' || LUnit == u':' || LUnit == u'*' || LUnit == u'?' ||
        LUnit == u'"' || LUnit == u'<' || LUnit == u'>' || LUnit == u'|')
      return true;
    if (QChar::isSurrogate(LUnit))
      return true; // a byte that is not UTF-8
  }
  return false;
}

bool IsRegularFileNative(const QByteArray &ANativePath) {
  struct stat LStat;
  return !ANativePath.isEmpty() && !ANativePath.contains('\0') &&
         ::stat(ANativePath.constData(), &LStat) == 0 && S_ISREG(LStat.st_mode);
}

bool ListDirectory(const QString &AFolder, const std::function<bool(const TDirEntry &)> &AVisit,
                   QString *AError) {
  const TNativePath LBytes(AFolder);
  if (!LBytes.Valid()) {
    if (AError != nullptr)
      *AError = QString::fromLocal8Bit(std::strerror(EINVAL));
    return false;
  }
  TDirEntry LEntry;
  const bool LListed = ListNames(LBytes.Data(), [&](const dirent &ARaw, int ADirFd) {
    unsigned char LType = ARaw.d_type;
    if (LType == DT_UNKNOWN) {
      struct stat LStat;
      if (::fstatat(ADirFd, ARaw.d_name, &LStat, AT_SYMLINK_NOFOLLOW) == 0)
        LType = S_ISDIR(LStat.st_mode) ? DT_DIR : S_ISLNK(LStat.st_mode) ? DT_LNK : DT_REG;
    }
    LEntry.FName = DecodeUtf8Lossless(ARaw.d_name, qstrlen(ARaw.d_name));
    LEntry.FIsDirectory = LType == DT_DIR;
    LEntry.FIsSymLink = LType == DT_LNK;
    return AVisit(LEntry);
  });
  if (!LListed && AError != nullptr)
    *AError = QString::fromLocal8Bit(std::strerror(errno));
  return LListed;
}

QString UnreachableReason(const QString &APath) {
  const TNativePath LBytes(APath);
  struct stat LStat;
  if (!LBytes.Valid() || ::lstat(LBytes.Data(), &LStat) == 0 || errno == ENOENT || errno == ENOTDIR)
    return QString();
  return QString::fromLocal8Bit(std::strerror(errno));
}

// ---------------------------------------------------------------------------
// Whole files.

namespace {

QString ErrnoText(int AErrno) {
  return QString::fromLocal8Bit(std::strerror(AErrno));
}

// A descriptor closed on every path.
class TFd {
public:
  explicit TFd(int AFd = -1) : FFd(AFd) {}
  ~TFd() {
    if (FFd >= 0)
      ::close(FFd);
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  int Get() const { return FFd; }
  // Closes the descriptor and tells whether the close succeeded: a delayed
  // write error of some file systems shows only here.
  bool Close() {
    const int LFd = std::exchange(FFd, -1);
    return LFd < 0 || ::close(LFd) == 0;
  }

private:
  int FFd;
};

bool WriteAll(int AFd, const char *AData, qsizetype ASize) {
  while (ASize > 0) {
    const ssize_t LWritten = ::write(AFd, AData, static_cast<size_t>(ASize));
    if (LWritten < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    AData += LWritten;
    ASize -= LWritten;
  }
  return true;
}

} // namespace

TReadOutcome ReadWholeFile(const QString &APath, QByteArray &AContent, QString &AError) {
  AContent.clear();
  QByteArray LPath;
  if (!EncodeNativePath(APath, LPath)) {
    AError = ErrnoText(ENOENT);
    return TReadOutcome::Missing;
  }
  TFd LFd(::open(LPath.constData(), O_RDONLY | O_CLOEXEC));
  if (LFd.Get() < 0) {
    const int LErr = errno;
    AError = ErrnoText(LErr);
    // ENOTDIR: a folder on the way is a file, so no entry can stand at APath.
    return LErr == ENOENT || LErr == ENOTDIR ? TReadOutcome::Missing : TReadOutcome::Failed;
  }
  // Room for the whole file at once: a journal of a large batch is megabytes,
  // and growing the text chunk by chunk would copy it over and over.
  struct stat LStat {};
  if (::fstat(LFd.Get(), &LStat) == 0 && LStat.st_size > 0)
    AContent.reserve(static_cast<qsizetype>(LStat.st_size) + 1);
  char LBuffer[65536];
  for (;;) {
    const ssize_t LRead = ::read(LFd.Get(), LBuffer, sizeof LBuffer);
    if (LRead == 0)
      return TReadOutcome::Read;
    if (LRead < 0) {
      if (errno == EINTR)
        continue;
      AError = ErrnoText(errno);
      AContent.clear();
      return TReadOutcome::Failed;
    }
    AContent.append(LBuffer, LRead);
  }
}

bool ReplaceFileContents(const QString &APath, const QByteArray &AContent, QString &AError) {
  QByteArray LPath;
  if (!EncodeNativePath(APath, LPath)) {
    AError = ErrnoText(EINVAL);
    return false;
  }
  // A symbolic link stays a link: the file it leads to is replaced.
  struct stat LOld;
  bool LExists = ::lstat(LPath.constData(), &LOld) == 0;
  if (LExists && S_ISLNK(LOld.st_mode)) {
    if (char *LReal = ::realpath(LPath.constData(), nullptr)) {
      LPath = LReal;
      std::free(LReal);
      LExists = ::lstat(LPath.constData(), &LOld) == 0;
    }
  }
  if (LExists && !S_ISREG(LOld.st_mode)) {
    AError = ErrnoText(S_ISDIR(LOld.st_mode) ? EISDIR : EINVAL);
    return false;
  }
  // A file its owner made read-only stays as it is, although its folder
  // would let a new file take its place.
  if (LExists && ::access(LPath.constData(), W_OK) != 0) {
    AError = ErrnoText(errno);
    return false;
  }
  QByteArray LTemporary = FolderOf(LPath) + "/." + NameOf(LPath) + ".XXXXXX";
  TFd LFd(::mkostemp(LTemporary.data(), O_CLOEXEC));
  if (LFd.Get() < 0) {
    AError = QStringLiteral("cannot create a temporary file beside it: ") + ErrnoText(errno);
    return false;
  }
  const auto LFail = [&](int AErr) {
    AError = ErrnoText(AErr);
    LFd.Close();
    ::unlink(LTemporary.constData());
    return false;
  };
  if (LExists) {
    // Best effort for the owner: only the superuser may give a file away.
    if (::fchown(LFd.Get(), LOld.st_uid, LOld.st_gid) != 0 && errno != EPERM)
      return LFail(errno);
  }
  if (::fchmod(LFd.Get(), LExists ? (LOld.st_mode & 07777) : 0644) != 0)
    return LFail(errno);
  if (!WriteAll(LFd.Get(), AContent.constData(), AContent.size()))
    return LFail(errno);
  if (::fsync(LFd.Get()) != 0)
    return LFail(errno);
  if (!LFd.Close()) {
    const int LErr = errno;
    ::unlink(LTemporary.constData());
    AError = ErrnoText(LErr);
    return false;
  }
  if (::rename(LTemporary.constData(), LPath.constData()) != 0) {
    const int LErr = errno;
    ::unlink(LTemporary.constData());
    AError = ErrnoText(LErr);
    return false;
  }
  // The new name is made durable with its folder.
  TFd LFolder(::open(FolderOf(LPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (LFolder.Get() >= 0)
    ::fsync(LFolder.Get());
  return true;
}

// ---------------------------------------------------------------------------
// Moves.

namespace {

detail::TMoveStepHook &MoveStepHook() {
  static detail::TMoveStepHook LHook;
  return LHook;
}

void AtStep(detail::TMoveStep AStep, const QByteArray &APath) {
  if (const detail::TMoveStepHook &LHook = MoveStepHook())
    LHook(AStep, APath);
}

TMoveResult Success() {
  return TMoveResult{true, TMoveError::None, 0, {}};
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
  return TMoveResult{false, LError, AErrno, {}};
}

TMoveResult InvalidName() {
  return TMoveResult{false, TMoveError::InvalidName, EINVAL, {}};
}

// The failure to create the entry ATarget for the move of ASource. Some file
// systems refuse a name they cannot store with ENOENT (exFAT through FUSE
// for \ : * ? " < > | and control characters): where the source and the
// target's folder are both there, that is a refused name, not a missing
// entry.
TMoveResult CreateFailure(int AErrno, const QByteArray &ASource, const QByteArray &ATarget) {
  struct stat LStat;
  if (AErrno == ENOENT && ::lstat(ASource.constData(), &LStat) == 0 &&
      ::stat(FolderOf(ATarget).constData(), &LStat) == 0 && S_ISDIR(LStat.st_mode))
    return InvalidName();
  return Failure(AErrno, ASource);
}

std::atomic<detail::TForcedFallback> GForcedFallback{detail::TForcedFallback::None};

int RenameNoReplace(const char *ASource, const char *ATarget) {
  // A test's stand-in for a file system that refuses the flag.
  if (GForcedFallback.load(std::memory_order_relaxed) != detail::TForcedFallback::None)
    return EINVAL;
  if (::syscall(SYS_renameat2, AT_FDCWD, ASource, AT_FDCWD, ATarget, RENAME_NOREPLACE) == 0)
    return 0;
  return errno;
}

// The move onto a placeholder: the target's name is first taken by an entry
// of the program's own, created exclusively, so that another program that
// creates the same name meanwhile gets EEXIST instead of losing its entry to
// rename(). What stays open is the moment between creating the placeholder
// and the rename: a program that deletes the placeholder and puts its own
// entry there in that moment would see it replaced. No call of this system
// closes that window without the no-replace flag.
//
// The placeholder carries a modification time of its own, so that after a
// crash between its creation and the rename it is told from an empty entry
// of anyone else's (the only mark every file system keeps, the FAT family
// included, which keeps seconds in steps of two).
constexpr time_t KPlaceholderTime = 981173106; // 2001-02-03 04:05:06 UTC

const struct timespec *PlaceholderTimes() {
  static const struct timespec LTimes[2] = {{KPlaceholderTime, 0}, {KPlaceholderTime, 0}};
  return LTimes;
}

bool IsPlaceholderTime(const struct stat &AStat) {
  return AStat.st_mtim.tv_sec == KPlaceholderTime && AStat.st_mtim.tv_nsec == 0;
}

TMoveResult PlaceholderMove(const QByteArray &ASource, const QByteArray &ATarget, bool AFolder) {
  AtStep(detail::TMoveStep::BeforePlaceholder, ATarget);
  if (AFolder) {
    if (::mkdir(ATarget.constData(), 0700) != 0)
      return CreateFailure(errno, ASource, ATarget);
    ::utimensat(AT_FDCWD, ATarget.constData(), PlaceholderTimes(), AT_SYMLINK_NOFOLLOW);
  } else {
    const int LFd =
        ::open(ATarget.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (LFd < 0)
      return CreateFailure(errno, ASource, ATarget);
    ::futimens(LFd, PlaceholderTimes());
    ::close(LFd);
  }
  AtStep(detail::TMoveStep::AfterPlaceholder, ATarget);
  if (::rename(ASource.constData(), ATarget.constData()) != 0) {
    const int LErr = errno;
    if (AFolder)
      ::rmdir(ATarget.constData());
    else
      ::unlink(ATarget.constData());
    return Failure(LErr, ASource);
  }
  return Success();
}

bool IsNoHardLinkError(int AErr) {
  return AErr == EPERM || AErr == EOPNOTSUPP || AErr == ENOSYS || AErr == EMLINK;
}

TMoveResult FallbackMove(const QByteArray &ASource, const QByteArray &ATarget, bool AHardLinks) {
  struct stat LSource;
  if (::lstat(ASource.constData(), &LSource) != 0)
    return Failure(errno, ASource);
  if (S_ISDIR(LSource.st_mode))
    return PlaceholderMove(ASource, ATarget, true);
  if (AHardLinks) {
    // link() fails when the target exists, so nothing is ever replaced.
    if (::link(ASource.constData(), ATarget.constData()) == 0) {
      AtStep(detail::TMoveStep::AfterLink, ATarget);
      if (::unlink(ASource.constData()) != 0) {
        const int LErr = errno;
        ::unlink(ATarget.constData()); // the source stays as it was
        return Failure(LErr, ASource);
      }
      return Success();
    }
    if (!IsNoHardLinkError(errno))
      return Failure(errno, ASource);
  }
  return PlaceholderMove(ASource, ATarget, false);
}

// What follows a no-replace rename that failed with AErr: the fallback where
// the file system refuses the flag, otherwise the failure.
TMoveResult AfterRenameFailed(int AErr, const QByteArray &ASource, const QByteArray &ATarget) {
  if (AErr == EINVAL || AErr == ENOSYS)
    return FallbackMove(ASource, ATarget,
                        GForcedFallback.load(std::memory_order_relaxed) !=
                            detail::TForcedFallback::Placeholder);
  return Failure(AErr, ASource);
}

// One no-replace move without the letter-case handling.
TMoveResult MoveStep(const QByteArray &ASource, const QByteArray &ATarget) {
  const int LErr = RenameNoReplace(ASource.constData(), ATarget.constData());
  if (LErr == 0)
    return Success();
  return AfterRenameFailed(LErr, ASource, ATarget);
}

// True when the folders AFirst and ASecond are one folder.
bool SameFolder(const QByteArray &AFirst, const QByteArray &ASecond) {
  if (AFirst == ASecond)
    return true;
  struct stat LFirst;
  struct stat LSecond;
  return ::stat(AFirst.constData(), &LFirst) == 0 && ::stat(ASecond.constData(), &LSecond) == 0 &&
         LFirst.st_dev == LSecond.st_dev && LFirst.st_ino == LSecond.st_ino;
}

// Two names that differ in letter case only, unit by unit as the planner
// folds them (each UTF-16 unit to its case-folded form; a character beyond
// the BMP stays as it is, as the FAT family's up-case table leaves it), so
// that a move refuses exactly the names the plan calls taken.
bool SameNameIgnoringCase(const QByteArray &AFirst, const QByteArray &ASecond) {
  const QString LFirst = DecodeUtf8Lossless(AFirst);
  const QString LSecond = DecodeUtf8Lossless(ASecond);
  if (LFirst.size() != LSecond.size())
    return false;
  for (qsizetype i = 0; i < LFirst.size(); ++i)
    if (LFirst[i].toCaseFolded() != LSecond[i].toCaseFolded())
      return false;
  return true;
}

bool SameEntryOtherSpelling(const QByteArray &ASource, const QByteArray &ATarget) {
  const QByteArray LFolder = FolderOf(ATarget);
  const QByteArray LSourceName = NameOf(ASource);
  const QByteArray LTargetName = NameOf(ATarget);
  if (LSourceName == LTargetName || !SameFolder(FolderOf(ASource), LFolder))
    return false;
  struct stat LSourceStat;
  struct stat LTargetStat;
  if (::lstat(ASource.constData(), &LSourceStat) != 0 ||
      ::lstat(WithoutFinalDelimiters(ATarget).constData(), &LTargetStat) != 0)
    return false;
  bool LSourceListed = false;
  bool LOtherEntry = false;
  const bool LListed = ListNames(LFolder.constData(), [&](const dirent &AEntry, int) {
    const QByteArray LName = QByteArray::fromRawData(AEntry.d_name, qstrlen(AEntry.d_name));
    if (LName == LSourceName)
      LSourceListed = true;
    else if (LName == LTargetName || SameNameIgnoringCase(LName, LTargetName))
      LOtherEntry = true; // an entry of its own that the target's name may lead to
    return !LOtherEntry;
  });
  // Without a listing nothing proves the target free: it counts as taken.
  if (!LListed || !LSourceListed || LOtherEntry)
    return false;
  // The target's spelling leads to an entry while the listing has none of
  // that spelling: the file system ignores letter case. The entry is the
  // source when the names differ in letter case only, or where inode numbers
  // say so (a folding rule of the file system's own).
  return SameNameIgnoringCase(LSourceName, LTargetName) ||
         (LSourceStat.st_dev == LTargetStat.st_dev && LSourceStat.st_ino == LTargetStat.st_ino);
}

// True when AFolder's listing holds an entry spelled exactly AName.
bool ListedExactly(const QByteArray &AFolder, const QByteArray &AName) {
  bool LFound = false;
  ListNames(AFolder.constData(), [&](const dirent &AEntry, int) {
    LFound = AName == AEntry.d_name;
    return !LFound;
  });
  return LFound;
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
  AtStep(detail::TMoveStep::AfterTemporary, LTemporary);
  TMoveResult LSecond = MoveStep(LTemporary, ATarget);
  if (LSecond.FOk) {
    // Some file systems accept a change of letter case and keep a spelling
    // of their own: only the listing tells. The entry then stands under a
    // spelling of its old name, which is a failure to rename, not a loss.
    if (ListedExactly(LFolder, NameOf(ATarget)))
      return LSecond;
    return TMoveResult{false, TMoveError::Other, 0, {}};
  }
  if (!MoveStep(LTemporary, WithoutFinalDelimiters(ASource)).FOk)
    LSecond.FStrandedPath = DecodeUtf8Lossless(LTemporary);
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
      return TMoveResult{false, TMoveError::SourceMissing, ENOENT, {}};
    if (!LTarget.Valid())
      return InvalidName();
    LErr = RenameNoReplace(LSource.Data(), LTarget.Data());
    if (LErr == 0)
      return Success();
  }
  QByteArray LSource;
  QByteArray LTarget;
  EncodeNativePath(ASource, LSource);
  EncodeNativePath(ATarget, LTarget);
  const TMoveResult LResult = AfterRenameFailed(LErr, LSource, LTarget);
  if (LResult.FError != TMoveError::TargetExists)
    return LResult;
  // A move onto its own unchanged name leaves the entry alone and succeeds,
  // as a rename to the same name does on Windows: a mask that keeps some
  // names must not report those items as failed.
  if (NameOf(LSource) == NameOf(LTarget) && SameFolder(FolderOf(LSource), FolderOf(LTarget))) {
    struct stat LStat;
    return ::lstat(LSource.constData(), &LStat) == 0 ? Success() : LResult;
  }
  if (SameEntryOtherSpelling(LSource, LTarget))
    return MoveThroughTemporary(LSource, LTarget);
  return LResult;
}

THalfDoneMove UndoHalfDoneMove(const QString &ASource, const QString &ATarget, uint64_t AInode,
                               bool AStableInodes) {
  QByteArray LSource;
  QByteArray LTarget;
  if (!EncodeNativePath(ASource, LSource) || !EncodeNativePath(ATarget, LTarget))
    return THalfDoneMove::None;
  LSource = WithoutFinalDelimiters(LSource);
  LTarget = WithoutFinalDelimiters(LTarget);
  struct stat LTargetStat;
  struct stat LSourceStat;
  if (::lstat(LSource.constData(), &LSourceStat) != 0)
    return THalfDoneMove::None;
  if (::lstat(LTarget.constData(), &LTargetStat) != 0)
    return errno == ENOENT ? THalfDoneMove::NotBegun : THalfDoneMove::None;
  // The entry under both names: one of the two links goes, which loses no
  // data. The target's is the one the move added.
  if (AStableInodes && S_ISREG(LSourceStat.st_mode) && S_ISREG(LTargetStat.st_mode) &&
      LSourceStat.st_dev == LTargetStat.st_dev && LSourceStat.st_ino == LTargetStat.st_ino &&
      LSourceStat.st_nlink >= 2 && (AInode == 0 || LSourceStat.st_ino == AInode)) {
    if (::unlink(LTarget.constData()) == 0)
      return THalfDoneMove::Undone;
    return THalfDoneMove::TwoNames;
  }
  // The placeholder: empty, with its own time, and no other entry than the
  // source's. A folder is removed only while it is empty (rmdir refuses
  // any other).
  if (!IsPlaceholderTime(LTargetStat) ||
      (LSourceStat.st_dev == LTargetStat.st_dev && LSourceStat.st_ino == LTargetStat.st_ino))
    return THalfDoneMove::None;
  if (S_ISDIR(LTargetStat.st_mode) && S_ISDIR(LSourceStat.st_mode))
    return ::rmdir(LTarget.constData()) == 0 ? THalfDoneMove::Undone : THalfDoneMove::None;
  if (S_ISREG(LTargetStat.st_mode) && LTargetStat.st_size == 0 && !S_ISDIR(LSourceStat.st_mode))
    return ::unlink(LTarget.constData()) == 0 ? THalfDoneMove::Undone : THalfDoneMove::TwoNames;
  return THalfDoneMove::None;
}

namespace detail {

bool IsSameEntryOtherSpelling(const QString &ASource, const QString &ATarget) {
  QByteArray LSource;
  QByteArray LTarget;
  return EncodeNativePath(ASource, LSource) && EncodeNativePath(ATarget, LTarget) &&
         SameEntryOtherSpelling(LSource, LTarget);
}

TMoveResult MoveThroughTemporaryName(const QString &ASource, const QString &ATarget) {
  QByteArray LSource;
  QByteArray LTarget;
  if (!EncodeNativePath(ASource, LSource) || !EncodeNativePath(ATarget, LTarget))
    return InvalidName();
  return MoveThroughTemporary(LSource, LTarget);
}

TMoveResult MoveWithoutNoReplaceFlag(const QString &ASource, const QString &ATarget,
                                     bool AUseHardLinks) {
  QByteArray LSource;
  QByteArray LTarget;
  if (!EncodeNativePath(ASource, LSource) || !EncodeNativePath(ATarget, LTarget))
    return InvalidName();
  return FallbackMove(LSource, LTarget, AUseHardLinks);
}

TMoveStepHook SetMoveStepHook(TMoveStepHook AHook) {
  return std::exchange(MoveStepHook(), std::move(AHook));
}

void SetForcedFallback(TForcedFallback AFallback) {
  GForcedFallback.store(AFallback, std::memory_order_relaxed);
}

} // namespace detail

} // namespace platform
