// Saved naming rules ("presets") in "Presets.ini" beside "Settings.ini".
//
// A preset holds rules only, never items or paths: its kind (files or
// folders), the recipe's fields and the order of the list. One section
// "[Preset NAME]" per preset with the keys Kind, NameMask, ExtMask,
// CounterStart, CounterStep, Digits, Search, Replace, RegexSearch, MatchCase,
// Case (0-4 as the case box lists them), Order and Reverse.
//
// The INI reader trims values and ends a section name at its first "]": so
// that every character comes back, "%", "]", control characters (line breaks
// among them) and blanks at either end of a name or a value are written as
// "%XX", the bytes of their UTF-8 form. Names match regardless of letter case.
//
// A missing key takes its default; a value that cannot be read (a number that
// is no number, a broken "%XX", an unknown kind) makes the preset damaged: it
// is listed but cannot be used, and its lines stay in the file byte for byte
// when other presets are saved. Every change reads the file anew and replaces
// it as a whole: a save that cannot complete leaves the old file as it was.
#pragma once

#include "uNameRecipe.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

enum class TPresetKind { Files, Folders };
enum class TSortKey; // uRenameList.h

struct TPreset {
  QString FName;
  TPresetKind FKind = TPresetKind::Files;
  TNameRecipe FRecipe;
  // The list's order: empty (as listed), or name, new-name, location, taken,
  // modified, size; FReverse turns it round.
  QString FOrder;
  bool FReverse = false;
  // A value could not be read; FDamage names the key.
  bool FDamaged = false;
  QString FDamage;

  bool operator==(const TPreset &) const = default;
};

// "files" or "folders", as Kind is written.
QString PresetKindText(TPresetKind AKind);

// The order Order names: nullopt for none (empty) and for a text that names
// no order. The text of Order for AKey, as --sort spells it.
std::optional<TSortKey> PresetSortKey(const QString &AOrder);
QString PresetOrderText(TSortKey AKey);

// A name a preset may take: not empty, without a line break.
bool IsValidPresetName(const QString &AName);

// The escaping of names and values (see above), and its reverse; nullopt for
// a text with a "%" that does not start two hexadecimal digits.
QString EscapePresetText(const QString &AText);
std::optional<QString> UnescapePresetText(const QString &AText);

struct TPresetsRead {
  bool FOk = true; // false when the file exists but could not be read
  QString FError;
  std::vector<TPreset> FPresets; // in the file's order
};

struct TPresetWrite {
  bool FOk = true;
  QString FError;
  bool FReplaced = false; // Save: a preset of that name was there
  explicit operator bool() const { return FOk; }
};

class TPresetsFile {
public:
  explicit TPresetsFile(QString AFileName) : FFileName(std::move(AFileName)) {}
  // "Presets.ini" in the folder of the run's Settings.ini.
  static QString DefaultFileName();

  const QString &FileName() const { return FFileName; }

  // Every preset of the file; a missing file holds none.
  TPresetsRead Read() const;
  // The preset named AName regardless of letter case; nullopt when there is
  // none (or the file cannot be read: AError then says why).
  std::optional<TPreset> Find(const QString &AName, QString &AError) const;

  // Saves APreset under its name; one of that name (any letter case) is
  // replaced and takes the new spelling. The folder is made when needed.
  TPresetWrite Save(const TPreset &APreset);
  // Removes the preset AName; an error when there is none.
  TPresetWrite Remove(const QString &AName);
  // Gives the preset AOld the name ANew; its lines stay as they are, so a
  // damaged one is renamed too. An error when there is none, or when another
  // preset has the name ANew.
  TPresetWrite Rename(const QString &AOld, const QString &ANew);

private:
  // Reads the file, changes its content with AChange (which says false and
  // sets the error to refuse) and replaces it.
  template <class TChange> TPresetWrite Change(TChange AChange);

  QString FFileName;
};
