// Text rules shared by the file and the folder engine: letter case, search
// and replace, the counter text and the date and time texts of the masks.
// Texts are sequences of 16-bit code units; every rule keeps a text's length
// except search and replace.
#pragma once

#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <vector>

namespace nameedits {

// Every code unit in small / capital letters, one unit at a time, so that the
// length never changes ("straße" stays six units long).
QString ToLowerUnits(const QString &AText);
QString ToUpperUnits(const QString &AText);

// The first unit raised to its capital form; nothing else changes.
QString FirstLetterUp(const QString &AText);

// FirstLetterUp, and every unit that directly follows a blank (U+0020) raised.
QString AllFirstUp(const QString &AText);

// Every occurrence of ASearch in AText replaced by AReplace: found from left to
// right regardless of letter case, without overlaps, the replacement never
// searched again. An empty ASearch replaces nothing.
QString SearchReplace(const QString &AText, const QString &ASearch, const QString &AReplace);

// Search and replace as the user asked for it: plain text (letter case
// ignored unless AMatchCase, as SearchReplace does) or a regular expression
// whose every match is replaced, with "$0".."$9" and "${name}" for its groups
// and "$$" for a dollar sign (any other "$" stands for itself). Built once for
// a list, applied to every name.
class TSearchReplace {
public:
  TSearchReplace(const QString &ASearch, const QString &AReplace, bool ARegex, bool AMatchCase);

  // A search text was given.
  bool IsActive() const { return !FSearch.isEmpty(); }
  // The regular expression is valid (always true for plain text); an invalid
  // one replaces nothing and ErrorText says why.
  bool IsValid() const;
  QString ErrorText() const;
  QString Apply(const QString &AText) const;

private:
  // A piece of the replacement: literal text, or a group by number or name.
  struct TPart {
    QString FText;
    int FGroup = -1;
    QString FName;
  };
  QString ApplyRegex(const QString &AText) const;

  QString FSearch;
  QString FReplace;
  bool FRegex = false;
  bool FMatchCase = false;
  QRegularExpression FExpression;
  std::vector<TPart> FParts;
};

// The decimal text of AValue (with "-" when negative), padded with leading "0"
// to ADigits characters; a longer text is never cut.
QString CounterText(int AValue, int ADigits);

// The decimal text of a value in a buffer of its own, for callers that build
// a name without a text in between: View() gives the digits (with "-").
struct TDecimalText {
  char16_t FBuffer[12]; // "-2147483648" and room to spare
  int FStart = 12;
  QStringView View() const { return QStringView(FBuffer + FStart, 12 - FStart); }
};
TDecimalText DecimalText(int AValue);

// The counter value ACounterStart + ACounterStep * AIndex in 32-bit signed
// arithmetic (wrapping, as the counter of the masks always has).
int CounterValue(int ACounterStart, int ACounterStep, int AIndex);

// "ddmmyyyy" and "hhmmss" (24-hour clock) of a local date-time. An invalid
// date-time stands for the zero date, 30 December 1899 00:00:00.
QString DateText(const QDateTime &ADate);
QString TimeText(const QDateTime &ADate);

} // namespace nameedits

// Compares two texts ignoring the case of the letters a to z (they count as A
// to Z); every other character by its code value. <0, 0 or >0. The order of
// the grids' "A-Z" sorting.
int CompareTextAZ(QStringView ALeft, QStringView ARight);

// What an item is sorted by for one column of the grid: its text, and for
// the Location column the folder, compared before the text.
struct TSortText {
  QStringView FText;
  QStringView FGroup;
};
// "Comes before" by CompareTextAZ, the group first; ADown reverses every
// comparison, the tie-break included.
bool SortsBefore(const TSortText &ALeft, const TSortText &ARight, bool ADown);

// The order of ACount items by CompareTextAZ: by AGroupOf(i) first where it
// is given (a folder that many items share: each is folded and ranked once),
// then by ATextOf(i); ADown reverses both. The positions of the items, first
// to last; items that compare equal keep their order (a stable sort). Every text
// is folded once into one buffer, so no comparison folds letters.
std::vector<uint32_t> SortOrderAZ(size_t ACount, const std::function<QStringView(size_t)> &ATextOf,
                                  const std::function<QStringView(size_t)> &AGroupOf, bool ADown);
