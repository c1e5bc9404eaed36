#include "MountFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <vector>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
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

// Started with posix_spawn rather than QProcess: QProcess starts its child
// with a clone that shares the parent's memory, and ThreadSanitizer's runtime
// takes that clone for a fork, so that in the ThreadSanitizer build it stops
// watching the thread that mounted (and ends the process at the next thread
// started, when threads ran before). posix_spawn's clone happens inside the C
// library, where the runtime does not see it.
bool RunProgram(const QString &AProgram, const QStringList &AArguments, QString *AOutput) {
  std::vector<QByteArray> LArguments{QFile::encodeName(AProgram)};
  for (const QString &LArgument : AArguments)
    LArguments.push_back(QFile::encodeName(LArgument));
  std::vector<char *> LArgv;
  for (QByteArray &LArgument : LArguments)
    LArgv.push_back(LArgument.data());
  LArgv.push_back(nullptr);
  int LPipe[2];
  if (::pipe2(LPipe, O_CLOEXEC) != 0)
    return false;
  // Standard output and error both go to the pipe, in the order written.
  posix_spawn_file_actions_t LActions;
  ::posix_spawn_file_actions_init(&LActions);
  ::posix_spawn_file_actions_adddup2(&LActions, LPipe[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&LActions, LPipe[1], STDERR_FILENO);
  pid_t LChild = -1;
  const int LSpawned = ::posix_spawn(&LChild, LArgv[0], &LActions, nullptr, LArgv.data(), environ);
  ::posix_spawn_file_actions_destroy(&LActions);
  ::close(LPipe[1]);
  if (LSpawned != 0) {
    ::close(LPipe[0]);
    return false;
  }
  // The output is read while the program runs, so that a full pipe never
  // holds it up, until the program has ended: a daemon it leaves behind (the
  // FUSE mount's) may keep the pipe open for much longer. A minute at most.
  ::fcntl(LPipe[0], F_SETFL, O_NONBLOCK);
  QByteArray LOutput;
  bool LPipeOpen = true;
  // Reads what the pipe holds now; false once every writer has closed it.
  const auto LReadAvailable = [&LOutput, LFd = LPipe[0]] {
    char LBuffer[4096];
    ssize_t LRead;
    while ((LRead = ::read(LFd, LBuffer, sizeof LBuffer)) > 0)
      LOutput.append(LBuffer, LRead);
    return LRead != 0;
  };
  QElapsedTimer LTimer;
  LTimer.start();
  int LStatus = 0;
  pid_t LEnded = 0;
  while (LEnded == 0) {
    pollfd LPoll{LPipe[0], POLLIN, 0};
    ::poll(&LPoll, LPipeOpen ? 1 : 0, 20);
    if (LPipeOpen)
      LPipeOpen = LReadAvailable();
    LEnded = ::waitpid(LChild, &LStatus, WNOHANG);
    if (LEnded < 0 && errno == EINTR)
      LEnded = 0;
    if (LEnded == 0 && LTimer.elapsed() > 60000) {
      ::kill(LChild, SIGKILL);
      ::waitpid(LChild, &LStatus, 0);
      ::close(LPipe[0]);
      return false;
    }
  }
  LReadAvailable();
  ::close(LPipe[0]);
  if (AOutput)
    *AOutput = QString::fromLocal8Bit(LOutput);
  return LEnded == LChild && WIFEXITED(LStatus) && WEXITSTATUS(LStatus) == 0;
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
