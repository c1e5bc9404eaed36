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
//   [DATE:F] name           the file's time in format F  the clock in format F
//   [EXIF:F] name           the date taken in format F   -
//   [W] [H]  name           an image's width and height  -
//   [ARTIST] [ALBUM] [TITLE] [TRACK] [TRACK:D] [YEAR]
//            name           a music file's tags          -
//
// A format F is a QDateTime::toString format; it ends at the first "]". The
// date taken is Exif DateTimeOriginal, else DateTimeDigitized, else the
// file's time. A "/" or NUL that a format or a file's metadata would put into
// a name becomes "_". What a metadata token could not find (and where the
// date taken came from when not from DateTimeOriginal) is noted in the
// source's FNotes, for the preview.
#pragma once

#include "uMetadata.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <cstdint>
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
  ClockTime, // the time of that moment, hhmmss
  // The tokens with a format: the rest of the token up to its "]".
  ItemTimeFormat,  // the item's own time in the token's format
  ClockTimeFormat, // the moment the mask is applied in the token's format
  TakenFormat,     // when a photo was taken in the token's format
  // Metadata read from the file.
  Width,       // an image's width in pixels
  Height,      // an image's height in pixels
  Artist,      // a music file's tags
  Album,       //
  Title,       //
  Track,       // the track number
  TrackDigits, // the track number padded to the digits of the token (1 to 9)
  Year         //
};

// What a scan noted about the metadata tokens of one item, as bits.
enum TMetadataNote : uint16_t {
  mnNone = 0,
  mnTakenDigitized = 1 << 0, // the date taken came from DateTimeDigitized
  mnTakenFileTime = 1 << 1,  // the photo has no date taken: the file's time was used
  mnNoSize = 1 << 2,         // the image's size could not be read
  mnNoArtist = 1 << 3,
  mnNoAlbum = 1 << 4,
  mnNoTitle = 1 << 5,
  mnNoTrack = 1 << 6,
  mnNoYear = 1 << 7,
  mnNoPhotoLibrary = 1 << 8, // this build cannot read photos
  mnNoMusicLibrary = 1 << 9  // this build cannot read music tags
};

// Which kinds of metadata a mask asks for, as bits.
enum TMetadataNeed : uint8_t { mdNone = 0, mdPhoto = 1, mdMusic = 2 };

struct TToken {
  QStringView FText;
  bool FInName;      // allowed in the name mask
  bool FInExtension; // allowed in the extension mask
  TTokenValue FForFile;
  TTokenValue FForFolder;
  // FText is the token's start; a format follows, up to the first "]".
  bool FHasFormat = false;
};

// The tokens, in the order the scanner tries them.
extern const TToken CTokens[15];

// A token found in a mask: the entry, its format (empty for a token without
// one) and the number of mask characters it takes.
struct TTokenMatch {
  const TToken *FToken = nullptr;
  QStringView FFormat;
  qsizetype FLength = 0;
};

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
  // The path of the item's file on disk now, for the metadata tokens; and
  // the cache they read through (none: the file is read each time).
  QString (*FItemPath)(const void *AContext) = nullptr;
  metadata::TMetadataCache *FMetadata = nullptr;
  // Where the metadata tokens note what they did not find (none: not noted).
  uint16_t *FNotes = nullptr;
  // What this source read already, so that one scan reads a file once.
  mutable std::optional<metadata::TPhotoInfo> FPhotoRead;
  mutable std::optional<metadata::TMusicTags> FMusicRead;
};

// The token at APos of AMask (which holds a "[" there) if one of the table
// is spelled there and allowed in APart for AKind; nullptr otherwise. A
// token cut off by the end of the mask does not match.
const TToken *TokenAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind);
// The same with the token's format and length. A token with a format that
// has no "]" after it does not match.
TTokenMatch MatchAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind);

// Appends what AToken means for the item to AOut (a token with a format:
// with an empty one).
void AppendTokenValue(const TToken &AToken, const TTokenSource &ASource, TNameBuffer &AOut);
void AppendTokenValue(const TTokenMatch &AMatch, const TTokenSource &ASource, TNameBuffer &AOut);

// One step of the scan at APos: a token's value, or the character itself.
// Returns the number of mask characters consumed.
qsizetype ScanStep(QStringView AMask, qsizetype APos, TMaskPart APart, const TTokenSource &ASource,
                   TNameBuffer &AOut);

// The whole scan of AMask, appended to AOut.
void ScanMask(QStringView AMask, TMaskPart APart, const TTokenSource &ASource, TNameBuffer &AOut);

// True when AMask holds the counter token "[C]".
bool HasCounterToken(QStringView AMask);

// The metadata AMask reads for AKind in APart (TMetadataNeed bits).
uint8_t MetadataNeeds(QStringView AMask, TMaskPart APart, TItemKind AKind);

} // namespace masks
