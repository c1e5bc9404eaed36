// The INI file of the settings: reads and writes one key at a time and keeps
// every other line of the file byte for byte — comments, blank lines, other
// sections and keys, their order, the file's encoding and its line endings.
//
// QSettings cannot stand in here: it sorts groups and keys, escapes
// backslashes and spaces, moves top-level keys into [General] and rewrites the
// whole file, so a hand-edited file would not survive a save.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Rules of the text, without any disk access. Section and key names match
// regardless of letter case; the first matching key wins; blanks around a
// value are dropped. A file may be UTF-8 (with or without its byte-order
// mark) or UTF-16 with its mark (little- or big-endian).

// The value of AKey in ASection of AContent; nullopt when the key is absent.
std::optional<QString> IniReadValue(const QByteArray &AContent, const QString &ASection,
                                    const QString &AKey);

// AContent with AKey in ASection set to AValue: an existing key line is
// rewritten in place (the text up to the value is kept), a missing key is
// added after the last non-blank line of its section, a missing section is
// added at the end. New lines take the file's first line ending, or "\n"
// when it has none. Empty content becomes UTF-8 without a byte-order mark.
QByteArray IniWriteValue(const QByteArray &AContent, const QString &ASection, const QString &AKey,
                         const QString &AValue);

// A decimal integer (optional sign) or a hexadecimal one with a "0x" prefix,
// blanks around it allowed; nullopt for anything else or a value out of range.
std::optional<int> IniParseInteger(const QString &AText);

struct TIniReadResult {
  bool FOk = true;               // false when the file exists but could not be read
  std::optional<QString> FValue; // the value; nullopt when the file or the key is absent
  QString FError;                // what failed, when FOk is false
};

struct TIniWriteResult {
  bool FOk = true;
  QString FError;
  explicit operator bool() const { return FOk; }
};

class TIniFile {
public:
  explicit TIniFile(QString AFileName) : FFileName(std::move(AFileName)) {}

  const QString &FileName() const { return FFileName; }

  // Reads one key. A missing file is no failure: every key is then absent.
  TIniReadResult ReadKey(const QString &ASection, const QString &AKey) const;

  // Writes one key, creating the file (not its folder) when needed. The file
  // is replaced as a whole only once the new content is complete, so a failed
  // write leaves the old content; where no temporary file can be created
  // beside it, it is rewritten in place. A value holding a line break or a
  // NUL is refused, since it would change the lines of the file.
  TIniWriteResult WriteKey(const QString &ASection, const QString &AKey, const QString &AValue);

private:
  QString FFileName;
};

} // namespace platform
