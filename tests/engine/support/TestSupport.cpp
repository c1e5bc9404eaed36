#include "TestSupport.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/uLosslessUtf8.h"
#include "platform/uPlatformFs.h"

#include <QDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace testsupport {

TTempTree::TTempTree() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-test-XXXXXX")) {
  EXPECT_TRUE(FDir.isValid());
}

TTempTree::~TTempTree() {
  // QTemporaryDir would decode the names it removes and miss those that are
  // not UTF-8: the tree goes by the bytes of its names.
  RemoveTree(FDir.path());
}

QString TTempTree::Root() const {
  return FDir.path();
}

QString TTempTree::Path(const QString &ARelative) const {
  return FDir.path() + QLatin1Char('/') + ARelative;
}

QString TTempTree::WriteFile(const QString &ARelative, const QByteArray &AContent) {
  const QString LPath = Path(ARelative);
  const qsizetype LSlash = ARelative.lastIndexOf(QLatin1Char('/'));
  if (LSlash > 0)
    MakeDir(ARelative.left(LSlash));
  EXPECT_TRUE(testsupport::WriteFile(LPath, AContent)) << LPath.toStdString();
  return LPath;
}

QString TTempTree::MakeDir(const QString &ARelative) {
  const QString LPath = Path(ARelative);
  EXPECT_TRUE(MakePath(LPath)) << LPath.toStdString();
  return LPath;
}

QByteArray NativeBytes(const QString &APath) {
  QByteArray LBytes;
  EXPECT_TRUE(platform::EncodeNativePath(APath, LBytes)) << APath.toStdString();
  return LBytes;
}

QString FromNative(const QByteArray &ABytes) {
  return platform::DecodeUtf8Lossless(ABytes);
}

bool WriteFile(const QString &APath, const QByteArray &AContent) {
  const int LFd =
      ::open(NativeBytes(APath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (LFd < 0)
    return false;
  const bool LOk =
      ::write(LFd, AContent.constData(), static_cast<size_t>(AContent.size())) == AContent.size();
  return ::close(LFd) == 0 && LOk;
}

bool MakePath(const QString &APath) {
  const QByteArray LPath = NativeBytes(APath);
  for (qsizetype LEnd = 1; LEnd <= LPath.size(); ++LEnd) {
    if (LEnd < LPath.size() && LPath[LEnd] != '/')
      continue;
    const QByteArray LPrefix = LPath.left(LEnd);
    struct stat LStat;
    if (::mkdir(LPrefix.constData(), 0755) != 0 &&
        !(errno == EEXIST && ::stat(LPrefix.constData(), &LStat) == 0 && S_ISDIR(LStat.st_mode)))
      return false;
  }
  return true;
}

namespace {

void RemoveBelow(int AFolder) {
  const int LFd = ::dup(AFolder);
  DIR *LDir = LFd < 0 ? nullptr : ::fdopendir(LFd);
  if (!LDir) {
    if (LFd >= 0)
      ::close(LFd);
    return;
  }
  while (const dirent *LEntry = ::readdir(LDir)) {
    const QByteArray LName(LEntry->d_name);
    if (LName == "." || LName == "..")
      continue;
    if (::unlinkat(AFolder, LEntry->d_name, 0) == 0)
      continue;
    const int LChild =
        ::openat(AFolder, LEntry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (LChild < 0)
      continue;
    RemoveBelow(LChild);
    ::close(LChild);
    ::unlinkat(AFolder, LEntry->d_name, AT_REMOVEDIR);
  }
  ::closedir(LDir);
}

} // namespace

void RemoveTree(const QString &APath) {
  QByteArray LPath;
  if (!platform::EncodeNativePath(APath, LPath))
    return;
  const int LFd = ::open(LPath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (LFd < 0)
    return;
  RemoveBelow(LFd);
  ::close(LFd);
  ::rmdir(LPath.constData());
}

bool Exists(const QString &APath) {
  struct stat LStat;
  return ::lstat(NativeBytes(APath).constData(), &LStat) == 0;
}

TImmutableFile::TImmutableFile(const QString &APath) : FPath(NativeBytes(APath)) {
  FOk = Set(true);
}

TImmutableFile::~TImmutableFile() {
  if (FOk)
    Set(false);
}

bool TImmutableFile::Set(bool AOn) {
  const int LFd = ::open(FPath.constData(), O_RDONLY | O_CLOEXEC);
  if (LFd < 0)
    return false;
  int LFlags = 0;
  bool LOk = ::ioctl(LFd, FS_IOC_GETFLAGS, &LFlags) == 0;
  LFlags = AOn ? (LFlags | FS_IMMUTABLE_FL) : (LFlags & ~FS_IMMUTABLE_FL);
  LOk = LOk && ::ioctl(LFd, FS_IOC_SETFLAGS, &LFlags) == 0;
  ::close(LFd);
  return LOk;
}

QByteArray ReadFile(const QString &APath) {
  QByteArray LContent;
  QString LError;
  platform::ReadWholeFile(APath, LContent, LError);
  return LContent;
}

namespace {

struct TDirCloser {
  void operator()(DIR *ADir) const { ::closedir(ADir); }
};

void Snapshot(const QByteArray &AFolder, const QString &ARelative,
              std::map<QString, QByteArray> &AResult) {
  std::unique_ptr<DIR, TDirCloser> LDir(::opendir(AFolder.constData()));
  if (!LDir)
    return;
  while (const dirent *LEntry = ::readdir(LDir.get())) {
    const QByteArray LName(LEntry->d_name);
    if (LName == "." || LName == "..")
      continue;
    const QByteArray LPath = AFolder + '/' + LName;
    const QString LRelative =
        ARelative.isEmpty() ? FromNative(LName) : ARelative + QLatin1Char('/') + FromNative(LName);
    struct stat LStat;
    if (::lstat(LPath.constData(), &LStat) != 0)
      continue;
    if (S_ISLNK(LStat.st_mode)) {
      char LTarget[4096];
      const ssize_t LSize = ::readlink(LPath.constData(), LTarget, sizeof LTarget);
      AResult[LRelative] = "<link:" + QByteArray(LTarget, LSize < 0 ? 0 : LSize) + ">";
    } else if (S_ISDIR(LStat.st_mode)) {
      AResult[LRelative] = "<dir>";
      Snapshot(LPath, LRelative, AResult);
    } else {
      AResult[LRelative] = ReadFile(FromNative(LPath));
    }
  }
}

} // namespace

std::map<QString, QByteArray> SnapshotTree(const QString &ARoot) {
  std::map<QString, QByteArray> LResult;
  Snapshot(NativeBytes(ARoot), QString(), LResult);
  return LResult;
}

namespace {

// The effective capabilities of the calling thread, as the kernel keeps them.
bool SetDacOverride(bool AOn) {
  __user_cap_header_struct LHeader{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct LData[2] = {};
  if (::syscall(SYS_capget, &LHeader, LData) != 0)
    return false;
  const auto LBit = [](int ACap) {
    return 1U << (ACap % 32);
  };
  for (const int LCap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    if (AOn)
      LData[LCap / 32].effective |= LBit(LCap) & LData[LCap / 32].permitted;
    else
      LData[LCap / 32].effective &= ~LBit(LCap);
  }
  return ::syscall(SYS_capset, &LHeader, LData) == 0;
}

} // namespace

TPermissionsEnforced::TPermissionsEnforced() {
  if (::geteuid() != 0) {
    FEnforced = true;
    return;
  }
  FDropped = SetDacOverride(false);
  FEnforced = FDropped;
}

TPermissionsEnforced::~TPermissionsEnforced() {
  if (FDropped)
    SetDacOverride(true);
}

} // namespace testsupport
