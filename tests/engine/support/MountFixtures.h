// Real file systems for the tests that need one of their own: a real exFAT
// (case-insensitive, without hard links and without the no-replace flag, as
// memory cards and USB sticks are) and a tiny tmpfs that is easily filled.
// Both are mounted for the fixture's life and unmounted on every way out; the
// exFAT image's loop device detaches with it. They need root (and /dev/fuse
// and the exFAT tools for exFAT): where something is missing, Mounted() is
// false and SkipReason() says what, so the test can skip with that reason.
//
//   testsupport::TExfatMount LExfat;
//   if (!LExfat.Mounted())
//     GTEST_SKIP() << LExfat.SkipReason();
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TMountBase {
public:
  TMountBase(const TMountBase &) = delete;
  TMountBase &operator=(const TMountBase &) = delete;

  bool Mounted() const { return FMounted; }
  const QString &SkipReason() const { return FSkipReason; }
  // The mounted folder, without a final delimiter.
  QString Root() const;

protected:
  TMountBase();
  ~TMountBase();
  // Unmounts the file system; safe to call more than once.
  void Unmount();

  QTemporaryDir FBase;
  bool FMounted = false;
  QString FSkipReason;
};

// A fresh exFAT of 256 MiB: an image file on a loop device, mounted with
// mount.exfat-fuse (Debian packages exfat-fuse and exfatprogs).
class TExfatMount : public TMountBase {
public:
  TExfatMount();
  ~TExfatMount();
};

// A tmpfs of ASizeKiB kibibytes.
class TTmpfsMount : public TMountBase {
public:
  explicit TTmpfsMount(int ASizeKiB);
  ~TTmpfsMount();
  // Fills the file system up with one file, so that the next write fails
  // with ENOSPC. False when it could not.
  bool FillUp();
};

// Runs AProgram with AArguments, waits for it, and tells whether it ended
// with status 0; AOutput gets its standard output and error.
bool RunProgram(const QString &AProgram, const QStringList &AArguments, QString *AOutput = nullptr);

} // namespace testsupport
