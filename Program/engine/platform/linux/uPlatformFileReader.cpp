// Linux implementation of reading a file at offsets: open() and pread().
#include "uPlatformFileReader.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

TFileReader::~TFileReader() {
  ::close(FFd);
}

std::unique_ptr<TFileReader> TFileReader::Open(const QByteArray &ANativePath) {
  if (ANativePath.isEmpty() || ANativePath.contains('\0'))
    return nullptr;
  // A device is not opened at all: opening some has effects of its own.
  struct stat LStat {};
  if (::stat(ANativePath.constData(), &LStat) != 0 || !S_ISREG(LStat.st_mode))
    return nullptr;
  // O_NONBLOCK: a named pipe put in the file's place since the stat opens at
  // once instead of waiting for a writer; the type is checked again on the
  // open file itself, so nothing but a regular file is ever read.
  const int LFd = ::open(ANativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (LFd < 0)
    return nullptr;
  if (::fstat(LFd, &LStat) != 0 || !S_ISREG(LStat.st_mode)) {
    ::close(LFd);
    return nullptr;
  }
  return std::unique_ptr<TFileReader>(new TFileReader(LFd));
}

qsizetype TFileReader::ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) const {
  if (AOffset < 0 || ASize <= 0)
    return 0;
  for (;;) {
    const ssize_t LRead =
        ::pread(FFd, ABuffer, static_cast<size_t>(ASize), static_cast<off_t>(AOffset));
    if (LRead >= 0)
      return static_cast<qsizetype>(LRead);
    if (errno != EINTR)
      return 0;
  }
}

int64_t TFileReader::Size() const {
  struct stat LStat {};
  return ::fstat(FFd, &LStat) == 0 ? static_cast<int64_t>(LStat.st_size) : -1;
}

} // namespace platform
