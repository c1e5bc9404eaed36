#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace testsupport {

TTempTree::TTempTree() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-test-XXXXXX")) {
  EXPECT_TRUE(FDir.isValid());
}

QString TTempTree::Root() const {
  return FDir.path();
}

QString TTempTree::Path(const QString &ARelative) const {
  return FDir.path() + QLatin1Char('/') + ARelative;
}

QString TTempTree::WriteFile(const QString &ARelative, const QByteArray &AContent) {
  const QString LPath = Path(ARelative);
  QDir().mkpath(QFileInfo(LPath).absolutePath());
  QFile LFile(LPath);
  EXPECT_TRUE(LFile.open(QIODevice::WriteOnly)) << LPath.toStdString();
  LFile.write(AContent);
  return LPath;
}

QString TTempTree::MakeDir(const QString &ARelative) {
  const QString LPath = Path(ARelative);
  EXPECT_TRUE(QDir().mkpath(LPath)) << LPath.toStdString();
  return LPath;
}

TImmutableFile::TImmutableFile(const QString &APath) : FPath(QFile::encodeName(APath)) {
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
  QFile LFile(APath);
  if (!LFile.open(QIODevice::ReadOnly))
    return QByteArray();
  return LFile.readAll();
}

std::map<QString, QByteArray> SnapshotTree(const QString &ARoot) {
  std::map<QString, QByteArray> LResult;
  const QDir LRoot(ARoot);
  QDirIterator LIt(ARoot, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDirIterator::Subdirectories);
  while (LIt.hasNext()) {
    const QString LPath = LIt.next();
    const QFileInfo LInfo = LIt.fileInfo();
    const QString LRelative = LRoot.relativeFilePath(LPath);
    if (LInfo.isSymLink())
      LResult[LRelative] = "<link:" + LInfo.symLinkTarget().toUtf8() + ">";
    else if (LInfo.isDir())
      LResult[LRelative] = "<dir>";
    else
      LResult[LRelative] = ReadFile(LPath);
  }
  return LResult;
}

} // namespace testsupport
