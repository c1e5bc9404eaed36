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
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

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
// when it has none; a lone CR that would fuse with a following empty LF line
// becomes CR LF, so that no line is lost. Empty content becomes UTF-8 without
// a byte-order mark. UTF-8 content keeps bytes that are not UTF-8 as they are.
QByteArray IniWriteValue(const QByteArray &AContent, const QString &ASection, const QString &AKey,
                         const QString &AValue);

// One section of a file: its name and its keys in the file's order.
struct TIniSection {
  QString FName;
  std::vector<std::pair<QString, QString>> FKeys; // name and value, as IniReadValue gives them
};
// Every section of AContent in the file's order, one entry per section line
// (a name that appears twice gives two entries); keys before the first
// section are left out.
std::vector<TIniSection> IniReadSections(const QByteArray &AContent);

// AContent without every section named ASection: its line and every line up
// to the next section go. Other lines stay as they are.
QByteArray IniRemoveSection(const QByteArray &AContent, const QString &ASection);

// AContent with the line of every section named AOld reading "[ANew]"; the
// lines of its keys stay as they are.
QByteArray IniRenameSection(const QByteArray &AContent, const QString &AOld, const QString &ANew);

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
  QStringList FRefusedKeys; // keys whose values were refused; the others were written
  explicit operator bool() const { return FOk; }
};

struct TIniKeyValue {
  QString FSection;
  QString FKey;
  QString FValue;
};

class TIniFile {
public:
  explicit TIniFile(QString AFileName) : FFileName(std::move(AFileName)) {}

  const QString &FileName() const { return FFileName; }

  // Reads one key. A missing file is no failure: every key is then absent.
  TIniReadResult ReadKey(const QString &ASection, const QString &AKey) const;

  // Writes the keys in order as one rewrite of the file, creating it (not its
  // folder) when needed. A value holding a line break or a NUL is refused,
  // since it would change the lines of the file: it is named in the error and
  // the other keys are written. The new content replaces the file as a whole
  // (ReplaceFileContents): a save that cannot complete leaves the old file
  // exactly as it was, and the file is never written in place.
  TIniWriteResult WriteKeys(const std::vector<TIniKeyValue> &AKeys);
  // WriteKeys with one key.
  TIniWriteResult WriteKey(const QString &ASection, const QString &AKey, const QString &AValue);

private:
  QString FFileName;
};

} // namespace platform
