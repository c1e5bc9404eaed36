// POSIX implementation of the folder walk. A folder is opened once; the type
// of each entry comes from the listing itself where the file system reports
// it, and the time of each subfolder from a stat relative to the open folder,
// so that no full path is resolved per entry.
#include "uPlatformDirWalk.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QDateTime TimeOf(const struct stat &AStat) {
  const qint64 LMSecs = static_cast<qint64>(AStat.st_mtim.tv_sec) * 1000 +
                        static_cast<qint64>(AStat.st_mtim.tv_nsec) / 1000000;
  // Kept in UTC: the conversion to local time is made when the time is shown,
  // which spares a time-zone lookup for every folder of a large tree.
  return QDateTime::fromMSecsSinceEpoch(LMSecs, Qt::UTC);
}

// On POSIX a name is hidden when it begins with "."; that also covers "." and "..".
bool IsHiddenBytes(const char *AName) {
  return AName[0] == '.';
}

// Closes a listing on every path.
class TDirCloser {
public:
  explicit TDirCloser(DIR *ADir) : FDir(ADir) {}
  ~TDirCloser() {
    if (FDir != nullptr)
      closedir(FDir);
  }
  TDirCloser(const TDirCloser &) = delete;
  TDirCloser &operator=(const TDirCloser &) = delete;

private:
  DIR *FDir;
};

} // namespace

bool ListSubFolders(const QString &AFolder, std::vector<TSubFolder> &AEntries) {
  AEntries.clear();
  const QByteArray LPath = QFile::encodeName(AFolder);
  if (LPath.isEmpty())
    return false;
  const int LFd = open(LPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (LFd < 0)
    return false;
  DIR *LDir = fdopendir(LFd);
  if (LDir == nullptr) {
    close(LFd);
    return false;
  }
  const TDirCloser LCloser(LDir);
  for (;;) {
    const dirent *LEntry = readdir(LDir);
    if (LEntry == nullptr)
      break;
    if (IsHiddenBytes(LEntry->d_name))
      continue;
    if (LEntry->d_type != DT_DIR && LEntry->d_type != DT_UNKNOWN)
      continue;
    struct stat LStat {};
    const bool LHaveStat = fstatat(LFd, LEntry->d_name, &LStat, AT_SYMLINK_NOFOLLOW) == 0;
    if (LEntry->d_type == DT_UNKNOWN && (!LHaveStat || !S_ISDIR(LStat.st_mode)))
      continue;
    if (LHaveStat && !S_ISDIR(LStat.st_mode))
      continue; // replaced by something else since it was listed
    AEntries.push_back(
        TSubFolder{QFile::decodeName(LEntry->d_name), LHaveStat ? TimeOf(LStat) : QDateTime()});
  }
  return true;
}

bool StatRealFolder(const QString &APath, QDateTime &AModified) {
  const QByteArray LPath = QFile::encodeName(APath);
  if (LPath.isEmpty())
    return false;
  struct stat LStat {};
  if (lstat(LPath.constData(), &LStat) != 0 || !S_ISDIR(LStat.st_mode))
    return false;
  AModified = TimeOf(LStat);
  return true;
}

} // namespace platform
