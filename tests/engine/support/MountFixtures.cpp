#include "MountFixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

namespace {

// The system folders hold the mount tools; a test's PATH may not.
QString FindTool(const QString &AName) {
  return QStandardPaths::findExecutable(AName,
                                        {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                         QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

} // namespace

bool RunProgram(const QString &AProgram, const QStringList &AArguments, QString *AOutput) {
  QProcess LProcess;
  LProcess.setProcessChannelMode(QProcess::MergedChannels);
  LProcess.start(AProgram, AArguments);
  if (!LProcess.waitForFinished(60000)) {
    LProcess.kill();
    LProcess.waitForFinished();
    return false;
  }
  if (AOutput)
    *AOutput = QString::fromLocal8Bit(LProcess.readAll());
  return LProcess.exitStatus() == QProcess::NormalExit && LProcess.exitCode() == 0;
}

// ---------------------------------------------------------------------------

TMountBase::TMountBase() : FBase(QDir::tempPath() + QStringLiteral("/varnwell-mount-XXXXXX")) {}

TMountBase::~TMountBase() {
  Unmount();
}

QString TMountBase::Root() const {
  return FBase.path() + QStringLiteral("/mnt");
}

void TMountBase::Unmount() {
  if (!FMounted)
    return;
  FMounted = false;
  const QByteArray LRoot = QFile::encodeName(Root());
  // A FUSE daemon may still be busy for a moment after the last file closed.
  for (int LAttempt = 0; LAttempt < 50; ++LAttempt) {
    if (::umount2(LRoot.constData(), 0) == 0 || errno == EINVAL || errno == ENOENT)
      return;
    ::usleep(100000);
  }
  ::umount2(LRoot.constData(), MNT_DETACH);
}

// ---------------------------------------------------------------------------

TExfatMount::TExfatMount() {
  if (::geteuid() != 0) {
    FSkipReason = QStringLiteral("mounting exFAT needs root");
    return;
  }
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    FSkipReason = QStringLiteral("/dev/fuse is missing");
    return;
  }
  const QString LMkfs = FindTool(QStringLiteral("mkfs.exfat"));
  const QString LMount = FindTool(QStringLiteral("mount.exfat-fuse"));
  const QString LLosetup = FindTool(QStringLiteral("losetup"));
  if (LMkfs.isEmpty() || LMount.isEmpty() || LLosetup.isEmpty()) {
    FSkipReason = QStringLiteral("the exFAT tools are missing (Debian packages exfat-fuse and "
                                 "exfatprogs)");
    return;
  }
  if (!FBase.isValid()) {
    FSkipReason = QStringLiteral("no temporary folder for the image");
    return;
  }
  const QString LImage = FBase.filePath(QStringLiteral("exfat.img"));
  {
    QFile LFile(LImage);
    if (!LFile.open(QIODevice::WriteOnly) || !LFile.resize(256LL * 1024 * 1024)) {
      FSkipReason = QStringLiteral("cannot make the image file");
      return;
    }
  }
  QString LOutput;
  if (!RunProgram(LMkfs, {LImage}, &LOutput)) {
    FSkipReason = QStringLiteral("mkfs.exfat failed: ") + LOutput.trimmed();
    return;
  }
  QString LDevice;
  if (!RunProgram(LLosetup, {QStringLiteral("-f"), QStringLiteral("--show"), LImage}, &LDevice)) {
    FSkipReason = QStringLiteral("no loop device: ") + LDevice.trimmed();
    return;
  }
  LDevice = LDevice.trimmed();
  QDir().mkpath(Root());
  const bool LMounted = RunProgram(LMount, {LDevice, Root()}, &LOutput);
  // Detached at once: the device stays while the file system uses it and
  // goes away by itself when it is unmounted, whatever ends the test.
  RunProgram(LLosetup, {QStringLiteral("-d"), LDevice});
  if (!LMounted) {
    FSkipReason = QStringLiteral("mount.exfat-fuse failed: ") + LOutput.trimmed();
    return;
  }
  FMounted = true;
}

TExfatMount::~TExfatMount() {
  Unmount();
}

// ---------------------------------------------------------------------------

TTmpfsMount::TTmpfsMount(int ASizeKiB) {
  if (::geteuid() != 0) {
    FSkipReason = QStringLiteral("mounting a tmpfs needs root");
    return;
  }
  if (!FBase.isValid() || !QDir().mkpath(Root())) {
    FSkipReason = QStringLiteral("no temporary folder for the mount");
    return;
  }
  const QByteArray LOptions = "size=" + QByteArray::number(ASizeKiB) + "k";
  if (::mount("tmpfs", QFile::encodeName(Root()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
              LOptions.constData()) != 0) {
    FSkipReason =
        QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(strerror(errno));
    return;
  }
  FMounted = true;
}

TTmpfsMount::~TTmpfsMount() {
  Unmount();
}

bool TTmpfsMount::FillUp() {
  const QByteArray LPath = QFile::encodeName(Root() + QStringLiteral("/.filler"));
  const int LFd = ::open(LPath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (LFd < 0)
    return false;
  const QByteArray LBlock(4096, 'x');
  bool LFull = false;
  for (int i = 0; i < 1 << 20 && !LFull; ++i)
    LFull =
        ::write(LFd, LBlock.constData(), static_cast<size_t>(LBlock.size())) < 0 && errno == ENOSPC;
  // Whatever room is left is smaller than a block: fill it byte by byte.
  while (LFull && ::write(LFd, "x", 1) == 1) {
  }
  ::close(LFd);
  return LFull;
}

} // namespace testsupport
