// The platform layer for reading a few bytes here and there of a file, as a
// reader of an image's header does, without reading the file whole.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>

namespace platform {

// A regular file open for reading at any offset. Closed on destruction.
class TFileReader {
public:
  ~TFileReader();
  TFileReader(const TFileReader &) = delete;
  TFileReader &operator=(const TFileReader &) = delete;

  // Opens the regular file at ANativePath, the path as the system's bytes
  // (links followed); null for anything else. A device is never opened and
  // a named pipe never waited for or read: the entry's type is checked
  // before the open, and again on the open file.
  static std::unique_ptr<TFileReader> Open(const QByteArray &ANativePath);

  // Copies up to ASize bytes at AOffset into ABuffer and returns how many
  // it copied: fewer at the end of the file, 0 past it or on a read error.
  qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) const;
  // The file's size in bytes now; -1 when it cannot be told.
  int64_t Size() const;

private:
  explicit TFileReader(int AFd) : FFd(AFd) {}
  int FFd = -1;
};

} // namespace platform
