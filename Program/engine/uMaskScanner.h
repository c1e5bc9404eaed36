// The mask language of both item kinds: one table of tokens and one scanner.
// A mask is copied character by character; where a token of the table stands
// (in a part of the mask that allows it), what the token means for the item
// is written instead. A new token is one entry of the table and one case of
// TTokenValue.
//
//   token   part            file                         folder
//   [N]     name            the old name without ext.    the old name
//   [C]     name, ext.      the counter                  the counter
//   [YMD]   name            the file's date, ddmmyyyy    the clock's date
//   [hms]   name            the file's time, hhmmss      the clock's time
//   [E]     extension       the old extension            -
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <optional>

// The stack buffer in which the scans build a new name.
using TNameBuffer = QVarLengthArray<QChar, 256>;

namespace masks {

enum class TItemKind { File, Folder };
enum class TMaskPart { Name, Extension };

// What a token stands for; the table says which for each kind of item.
enum class TTokenValue {
  None,      // not a token for this kind
  OldName,   // the old name (a file's without its extension)
  OldExt,    // the old extension without its dot
  Counter,   // the counter value, padded to the counter's digits
  ItemDate,  // the date of the item's own time, ddmmyyyy
  ItemTime,  // the item's own time of day, hhmmss
  ClockDate, // the date of the moment the mask is applied, ddmmyyyy
  ClockTime  // the time of that moment, hhmmss
};

struct TToken {
  QStringView FText;
  bool FInName;      // allowed in the name mask
  bool FInExtension; // allowed in the extension mask
  TTokenValue FForFile;
  TTokenValue FForFolder;
};

// The tokens, in the order the scanner tries them.
extern const TToken CTokens[5];

// What the scanner needs of one item. The times are read only when a mask
// asks for them: AItemTime once per item, AClock once per application of a
// mask over a whole list (so every name made by it shows one moment).
struct TTokenSource {
  TItemKind FKind = TItemKind::File;
  QStringView FOldName;
  QStringView FOldExt;
  int FCounterValue = 0;
  int FCounterDigits = 1;
  // The item's own time (files); invalid stands for the zero date.
  QDateTime (*FItemTime)(const void *AContext) = nullptr;
  const void *FItemTimeContext = nullptr;
  // The moment of this application of the mask (folders), shared by the caller.
  std::optional<QDateTime> *FClock = nullptr;
};

// The token at APos of AMask (which holds a "[" there) if one of the table
// is spelled there and allowed in APart for AKind; nullptr otherwise. A
// token cut off by the end of the mask does not match.
const TToken *TokenAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind);

// Appends what AToken means for the item to AOut.
void AppendTokenValue(const TToken &AToken, const TTokenSource &ASource, TNameBuffer &AOut);

// One step of the scan at APos: a token's value, or the character itself.
// Returns the number of mask characters consumed.
qsizetype ScanStep(QStringView AMask, qsizetype APos, TMaskPart APart, const TTokenSource &ASource,
                   TNameBuffer &AOut);

// The whole scan of AMask, appended to AOut.
void ScanMask(QStringView AMask, TMaskPart APart, const TTokenSource &ASource, TNameBuffer &AOut);

// True when AMask holds the counter token "[C]".
bool HasCounterToken(QStringView AMask);

} // namespace masks
