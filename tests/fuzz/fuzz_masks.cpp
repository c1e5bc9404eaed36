// Fuzzes the mask scanners of files and folders and the name edits applied
// after them: letter case, search and replace, the counter text.
//
// Input: a header of 15 bytes, then five fields cut at byte 0x1F.
//   byte 0        case rule, modulo 5: none, lower, upper, first letter, all first
//   byte 1        bit 0: the fields are UTF-16LE (two bytes a unit) instead of
//                 UTF-8, whose bytes that are not UTF-8 become escapes as in names
//   bytes 2..5    counter start   (int32, little-endian)
//   bytes 6..9    counter step    (int32)
//   byte 10       counter digits  (int8)
//   bytes 11..14  the item's index in its list (int32)
//   fields        name mask, extension mask, search text, replace text, old name
//
// The file is made on a path in a folder that does not exist, so that its
// creation stats nothing but fails; the folder's clock is fixed. No disk is
// touched.

#include "FuzzSupport.h"

#include "platform/uLosslessUtf8.h"
#include "uClock.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uNameEdits.h"
#include "uZeroDate.h"

#include <QString>

#include <algorithm>

namespace {

// A file that does not exist has the zero date; the folder's clock shows it
// too, so that the two scanners make the same date and time texts.
QDateTime FixedNow() {
  return ZeroDateTime();
}

QString FieldText(const QByteArray &ABytes, bool AUtf16) {
  if (!AUtf16)
    return platform::DecodeUtf8Lossless(ABytes);
  QString LText;
  for (qsizetype i = 0; i + 1 < ABytes.size(); i += 2)
    LText.append(QChar(static_cast<char16_t>(static_cast<uint8_t>(ABytes[i]) |
                                             (static_cast<uint8_t>(ABytes[i + 1]) << 8))));
  return LText;
}

struct TCounter {
  int FStart = 1;
  int FStep = 1;
  int FDigits = 1;
  int FIndex = 0;
};

// The counter value in 64-bit arithmetic, reduced to 32 bits: what the
// wrapping 32-bit counter must give.
int WrappedCounter(const TCounter &ACounter) {
  const int64_t LExact =
      static_cast<int64_t>(ACounter.FStart) +
      static_cast<int64_t>(ACounter.FStep) * static_cast<int64_t>(ACounter.FIndex);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(LExact)));
}

void CheckCounterText(const TCounter &ACounter) {
  const int LValue = nameedits::CounterValue(ACounter.FStart, ACounter.FStep, ACounter.FIndex);
  fuzz::Check(LValue == WrappedCounter(ACounter), "the counter wraps in 32 bits");
  const QString LText = nameedits::CounterText(LValue, ACounter.FDigits);
  fuzz::Check(LText.size() >= ACounter.FDigits, "the counter text has at least the digits asked");
  // The decimal text of the value with "0" in front up to the digits asked;
  // a negative value keeps its "-" after the zeros ("0-5"), so only a value
  // of 0 or more reads back as a number.
  const QString LDecimal = QString::number(LValue);
  const qsizetype LZeros = std::max<qsizetype>(0, ACounter.FDigits - LDecimal.size());
  fuzz::Check(LText == QString(LZeros, QLatin1Char('0')) + LDecimal,
              "the counter text is the decimal text padded with zeros");
  if (LValue >= 0) {
    bool LOk = false;
    fuzz::Check(LText.toInt(&LOk) == LValue && LOk, "the counter text reads back as its value");
  }
}

// Applies the case rule ARule (0 = none) to AItem, a file or a folder.
template <typename TItem> void ApplyCaseRule(TItem &AItem, int ARule) {
  switch (ARule) {
  case 1:
    AItem.SetLowercase();
    break;
  case 2:
    AItem.SetUppercase();
    break;
  case 3:
    AItem.SetFirstLetterUp();
    break;
  case 4:
    AItem.SetAllFirstUp();
    break;
  default:
    break;
  }
}

void SetCounter(TFileInfo &AFile, const TCounter &ACounter) {
  AFile.SetCounterStart(ACounter.FStart);
  AFile.SetCounterStep(ACounter.FStep);
  AFile.SetCntDigitNumber(ACounter.FDigits);
  AFile.SetIndex(ACounter.FIndex);
}

struct TEdits {
  QString FNameMask;
  QString FExtMask;
  QString FSearch;
  QString FReplace;
  int FCaseRule = 0;
  TCounter FCounter;
};

// Returns the file's new name after its masks, for the folder to compare.
QString CheckFile(const QString &AOldName, const TEdits &AEdits, QString &AOldNameNoExt) {
  const QString LPath = QStringLiteral("/nonexistent-varnwell-fuzz/") + AOldName;
  TFileInfo LFile(LPath);
  SetCounter(LFile, AEdits.FCounter);
  AOldNameNoExt = LFile.DelFileExt();

  LFile.FileNameMaskApply(AEdits.FNameMask);
  const QString LName = LFile.NewName();
  if (!AEdits.FNameMask.contains(QLatin1Char('[')))
    fuzz::Check(LName == AEdits.FNameMask, "a name mask without \"[\" is the name");
  LFile.FileNameMaskApply(AEdits.FNameMask);
  fuzz::Check(LFile.NewName() == LName, "a name mask applied twice gives the same name");

  LFile.FileExtMaskApply(AEdits.FExtMask);
  const QString LExt = LFile.NewFileType();
  if (!AEdits.FExtMask.contains(QLatin1Char('[')))
    fuzz::Check(LExt == QLatin1Char('.') + AEdits.FExtMask,
                "an extension mask without \"[\" is the extension after a dot");
  LFile.FileExtMaskApply(AEdits.FExtMask);
  fuzz::Check(LFile.NewFileType() == LExt, "an extension mask applied twice gives the same text");

  // A second item made the same way scans to the same texts: nothing is
  // kept from one scan to the next.
  TFileInfo LTwin(LPath);
  SetCounter(LTwin, AEdits.FCounter);
  LTwin.FileExtMaskApply(AEdits.FExtMask);
  LTwin.FileNameMaskApply(AEdits.FNameMask);
  fuzz::Check(LTwin.NewName() == LName && LTwin.NewFileType() == LExt,
              "the masks give the same texts on a fresh item");

  const QString LFullBefore = LFile.NewFullName();
  LFile.SearchReplace_NewName(AEdits.FSearch, AEdits.FReplace);
  if (AEdits.FSearch.isEmpty())
    fuzz::Check(LFile.NewFullName() == LFullBefore, "an empty search text changes nothing");

  const qsizetype LNameSize = LFile.NewName().size();
  const qsizetype LExtSize = LFile.NewFileType().size();
  ApplyCaseRule(LFile, AEdits.FCaseRule);
  fuzz::Check(LFile.NewName().size() == LNameSize && LFile.NewFileType().size() == LExtSize,
              "the case rules keep the length of the name and the extension");
  (void)LFile.TargetName();

  // The masks ignore the texts the edits left behind.
  LFile.FileNameMaskApply(AEdits.FNameMask);
  LFile.FileExtMaskApply(AEdits.FExtMask);
  fuzz::Check(LFile.NewName() == LName && LFile.NewFileType() == LExt,
              "the masks give the same texts after the edits");
  return LName;
}

void CheckFolder(const QString &AOldName, const TEdits &AEdits, const QString &AFileName) {
  TFolderInfo LFolder(QStringLiteral("/nonexistent-varnwell-fuzz"), {AOldName, QDateTime()});
  LFolder.SetCounterStart(AEdits.FCounter.FStart);
  LFolder.SetCounterStep(AEdits.FCounter.FStep);
  LFolder.SetCntDigitNumber(AEdits.FCounter.FDigits);
  LFolder.SetIndex(AEdits.FCounter.FIndex);

  LFolder.FolderNameMaskApply(AEdits.FNameMask);
  const QString LName = LFolder.NewName();
  if (!AEdits.FNameMask.contains(QLatin1Char('[')))
    fuzz::Check(LName == AEdits.FNameMask, "a folder mask without \"[\" is the name");
  // The file and the folder scanner read one token language: with the
  // folder named as the file without its extension, and the same date and
  // time, they make the same name. The tokens that read what a file holds
  // (a photo's, a song's) are files' only.
  if (masks::MetadataNeeds(AEdits.FNameMask, masks::TMaskPart::Name, masks::TItemKind::File) == 0)
    fuzz::Check(LName == AFileName, "the folder and the file scanner agree");
  LFolder.FolderNameMaskApply(AEdits.FNameMask);
  fuzz::Check(LFolder.NewName() == LName, "a folder mask applied twice gives the same name");

  const QString LBefore = LFolder.NewName();
  LFolder.SearchReplace_NewName(AEdits.FSearch, AEdits.FReplace);
  if (AEdits.FSearch.isEmpty())
    fuzz::Check(LFolder.NewName() == LBefore, "an empty search text changes no folder name");

  const qsizetype LSize = LFolder.NewName().size();
  ApplyCaseRule(LFolder, AEdits.FCaseRule);
  fuzz::Check(LFolder.NewName().size() == LSize, "the case rules keep a folder name's length");

  LFolder.FolderNameMaskApply(AEdits.FNameMask);
  fuzz::Check(LFolder.NewName() == LName, "a folder mask gives the same name after the edits");
}

// The rules on their own, on every field, so that texts the masks never
// produce are reached as well.
void CheckNameEdits(const QString &AText) {
  fuzz::Check(nameedits::ToLowerUnits(AText).size() == AText.size() &&
                  nameedits::ToUpperUnits(AText).size() == AText.size() &&
                  nameedits::FirstLetterUp(AText).size() == AText.size() &&
                  nameedits::AllFirstUp(AText).size() == AText.size(),
              "the case rules keep a text's length");
  fuzz::Check(nameedits::SearchReplace(AText, QString(), QStringLiteral("x")) == AText,
              "an empty search text replaces nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static const clock_source::TScopedClock LClock(FixedNow);

  fuzz::TInputReader LReader(AData, ASize);
  TEdits LEdits;
  LEdits.FCaseRule = LReader.Byte() % 5;
  const bool LUtf16 = (LReader.Byte() & 1) != 0;
  LEdits.FCounter.FStart = LReader.Int32();
  LEdits.FCounter.FStep = LReader.Int32();
  LEdits.FCounter.FDigits = static_cast<int8_t>(LReader.Byte());
  LEdits.FCounter.FIndex = LReader.Int32();
  const QList<QByteArray> LFields = LReader.Fields(5, '\x1F');
  LEdits.FNameMask = FieldText(LFields[0], LUtf16);
  LEdits.FExtMask = FieldText(LFields[1], LUtf16);
  LEdits.FSearch = FieldText(LFields[2], LUtf16);
  LEdits.FReplace = FieldText(LFields[3], LUtf16);
  const QString LOldName = FieldText(LFields[4], LUtf16);

  CheckCounterText(LEdits.FCounter);
  QString LOldNameNoExt;
  const QString LFileName = CheckFile(LOldName, LEdits, LOldNameNoExt);
  CheckFolder(LOldNameNoExt, LEdits, LFileName);
  for (const QString &LText : {LEdits.FNameMask, LEdits.FExtMask, LEdits.FSearch, LOldName})
    CheckNameEdits(LText);
  return 0;
}
