// Fixtures shared by the engine tests: a temporary folder tree and a snapshot
// of everything in it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>

namespace testsupport {

// A temporary folder, removed with everything in it at the end of the test.
class TTempTree {
public:
  TTempTree();
  ~TTempTree();
  TTempTree(const TTempTree &) = delete;
  TTempTree &operator=(const TTempTree &) = delete;
  // Full path of the root folder, without a final delimiter.
  QString Root() const;
  // Full path of ARelative below the root ("a/b.txt").
  QString Path(const QString &ARelative) const;
  // Creates the file ARelative (and its folders) holding AContent; returns its full path.
  QString WriteFile(const QString &ARelative, const QByteArray &AContent = QByteArray());
  // Creates the folder ARelative with its parents; returns its full path.
  QString MakeDir(const QString &ARelative);

private:
  QTemporaryDir FDir;
};

// Makes a file immutable for the test's duration, so that not even the
// superuser can change or delete it. Ok() is false where the file system or
// the user's rights do not allow the flag.
class TImmutableFile {
public:
  explicit TImmutableFile(const QString &APath);
  ~TImmutableFile();
  TImmutableFile(const TImmutableFile &) = delete;
  TImmutableFile &operator=(const TImmutableFile &) = delete;
  bool Ok() const { return FOk; }

private:
  bool Set(bool AOn);
  QByteArray FPath;
  bool FOk = false;
};

// For a scope, the calling thread (and the threads it starts) obeys the
// permission bits even as root: the capabilities that override them are
// left out of its effective set. Ok() is false where that cannot be done;
// Enforced() tells whether permissions hold now (as root with the
// capabilities dropped, or as any other user).
class TPermissionsEnforced {
public:
  TPermissionsEnforced();
  ~TPermissionsEnforced();
  TPermissionsEnforced(const TPermissionsEnforced &) = delete;
  TPermissionsEnforced &operator=(const TPermissionsEnforced &) = delete;
  bool Enforced() const { return FEnforced; }

private:
  bool FDropped = false;
  bool FEnforced = false;
};

// Paths in tests keep the system's bytes (names that are not UTF-8 included),
// as the engine does: these helpers speak to the system directly.

// The system's bytes of APath, and the path of such bytes.
QByteArray NativeBytes(const QString &APath);
QString FromNative(const QByteArray &ABytes);

// Creates or truncates the file APath with AContent.
bool WriteFile(const QString &APath, const QByteArray &AContent);
// Creates the folder APath with its parents.
bool MakePath(const QString &APath);
// Removes the folder APath with everything below it, names that are not
// UTF-8 included; links are removed, never followed.
void RemoveTree(const QString &APath);
// An entry (not followed through a link) stands at APath.
bool Exists(const QString &APath);

// The bytes of a file; an empty array when it cannot be read.
QByteArray ReadFile(const QString &APath);

// Every entry below ARoot by relative path (names kept losslessly): folders
// map to "<dir>", files to their bytes, symbolic links to "<link:target>".
// Hidden entries included.
std::map<QString, QByteArray> SnapshotTree(const QString &ARoot);

} // namespace testsupport
