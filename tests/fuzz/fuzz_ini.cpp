// Fuzzes the INI reader and writer: a file of any bytes in any of the
// encodings the layer keeps, one key written into it, and the promises of the
// layer checked on the result.
//
// Input: one byte, then four fields cut at byte 0x1F.
//   byte 0    bits 0-1: the encoding: UTF-8, UTF-8 with its byte-order mark,
//             UTF-16LE, UTF-16BE (both with their mark)
//             bit 2: the body is taken byte for byte after the mark; without
//             it, a UTF-16 body is the body read as UTF-8 and written as
//             UTF-16, so that one seed serves every encoding
//   fields    section, key, value (each read as UTF-8, bytes that are not
//             UTF-8 kept as escapes), then the body of the file
//
// The section, key and value are cut to what the layer promises to keep: a
// key without "=", "[", ";", line breaks or blanks around it, not empty; a
// section name likewise and without "]"; a value without CR, LF, NUL or
// blanks around it. The file itself may hold anything.
//
// After the write: the key reads back as written; writing it again changes
// nothing; every other line is kept with its text and its ending (a last line
// without an ending may gain one), so that removing the one key line (and a
// section line, when the section was added) leaves the lines of before; and
// every other key of the file reads as before.

#include "FuzzSupport.h"

#include "platform/uIniFile.h"
#include "platform/uLosslessUtf8.h"

#include <QString>

#include <optional>
#include <vector>

namespace {

enum class TEncoding { Utf8, Utf16LE, Utf16BE };

// One line of a file: its text and its ending, both as stored.
struct TLine {
  QByteArray FText;
  QByteArray FEnd; // empty for a last line without an ending
  bool operator==(const TLine &) const = default;
};

struct TFile {
  TEncoding FEncoding = TEncoding::Utf8;
  QByteArray FBom;
  std::vector<TLine> FLines;
  QByteArray FTail; // an odd last byte of a UTF-16 file
};

// AContent cut into lines the way the layer promises to keep them: at CR LF,
// LF and CR, counted in code units of the encoding its first bytes name (a
// UTF-8 or UTF-16 byte-order mark; UTF-8 without one).
TFile SplitLines(const QByteArray &AContent) {
  TFile LFile;
  if (AContent.startsWith("\xEF\xBB\xBF")) {
    LFile.FBom = AContent.left(3);
  } else if (AContent.startsWith("\xFF\xFE")) {
    LFile.FEncoding = TEncoding::Utf16LE;
    LFile.FBom = AContent.left(2);
  } else if (AContent.startsWith("\xFE\xFF")) {
    LFile.FEncoding = TEncoding::Utf16BE;
    LFile.FBom = AContent.left(2);
  }
  const qsizetype LUnit = LFile.FEncoding == TEncoding::Utf8 ? 1 : 2;
  QByteArray LBody = AContent.mid(LFile.FBom.size());
  if (LBody.size() % LUnit != 0) {
    LFile.FTail = LBody.right(1);
    LBody.chop(1);
  }
  const auto LUnitAt = [&](qsizetype APos) -> char16_t {
    const auto LByte = [&](qsizetype i) {
      return static_cast<char16_t>(uint8_t(LBody[i]));
    };
    if (LFile.FEncoding == TEncoding::Utf16LE)
      return static_cast<char16_t>(LByte(APos) | (LByte(APos + 1) << 8));
    if (LFile.FEncoding == TEncoding::Utf16BE)
      return static_cast<char16_t>((LByte(APos) << 8) | LByte(APos + 1));
    return LByte(APos);
  };
  TLine LLine;
  for (qsizetype LPos = 0; LPos < LBody.size(); LPos += LUnit) {
    const char16_t LChar = LUnitAt(LPos);
    if (LChar != u'\r' && LChar != u'\n') {
      LLine.FText.append(LBody.mid(LPos, LUnit));
      continue;
    }
    LLine.FEnd = LBody.mid(LPos, LUnit);
    if (LChar == u'\r' && LPos + LUnit < LBody.size() && LUnitAt(LPos + LUnit) == u'\n') {
      LPos += LUnit;
      LLine.FEnd.append(LBody.mid(LPos, LUnit));
    }
    LFile.FLines.push_back(LLine);
    LLine = TLine();
  }
  if (!LLine.FText.isEmpty())
    LFile.FLines.push_back(LLine);
  return LFile;
}

QByteArray EncodeText(const QString &AText, TEncoding AEncoding) {
  if (AEncoding == TEncoding::Utf8) {
    QByteArray LBytes;
    fuzz::Check(platform::EncodeUtf8Lossless(AText, LBytes), "the generated texts can be encoded");
    return LBytes;
  }
  QByteArray LBytes;
  for (const QChar LChar : AText) {
    const char LHigh = static_cast<char>(LChar.unicode() >> 8);
    const char LLow = static_cast<char>(LChar.unicode() & 0xFF);
    LBytes.append(AEncoding == TEncoding::Utf16LE ? LLow : LHigh);
    LBytes.append(AEncoding == TEncoding::Utf16LE ? LHigh : LLow);
  }
  return LBytes;
}

QString DecodeText(const QByteArray &ABytes, TEncoding AEncoding) {
  if (AEncoding == TEncoding::Utf8)
    return platform::DecodeUtf8Lossless(ABytes);
  QString LText;
  for (qsizetype i = 0; i + 1 < ABytes.size(); i += 2) {
    const auto LFirst = static_cast<char16_t>(uint8_t(ABytes[i]));
    const auto LSecond = static_cast<char16_t>(uint8_t(ABytes[i + 1]));
    LText.append(QChar(AEncoding == TEncoding::Utf16LE ? char16_t(LFirst | (LSecond << 8))
                                                       : char16_t((LFirst << 8) | LSecond)));
  }
  return LText;
}

// AText without the characters of AForbidden and without blanks around it.
// Dropping characters can join escape units into a UTF-8 sequence, so the
// text is made what its bytes read as before the blanks go.
QString KeepableText(const QString &AText, QStringView AForbidden) {
  QString LText = AText;
  for (const QChar LChar : AForbidden)
    LText.remove(LChar);
  QByteArray LBytes;
  fuzz::Check(platform::EncodeUtf8Lossless(LText, LBytes), "a decoded text can be encoded");
  return platform::DecodeUtf8Lossless(LBytes).trimmed();
}

bool SameName(const QString &AFirst, const QString &ASecond) {
  return AFirst.compare(ASecond, Qt::CaseInsensitive) == 0;
}

// Line ABefore of the file before and line AAfter of the file after the
// write are the same line: same text and ending, except that the last line
// of before may have gained an ending.
bool SameLine(const TFile &ABefore, size_t ABeforeIndex, const TLine &AAfter) {
  const TLine &LBefore = ABefore.FLines[ABeforeIndex];
  if (LBefore == AAfter)
    return true;
  return ABeforeIndex + 1 == ABefore.FLines.size() && LBefore.FEnd.isEmpty() &&
         LBefore.FText == AAfter.FText && !AAfter.FEnd.isEmpty();
}

void CheckOtherLinesKept(const TFile &ABefore, const TFile &AAfter, bool AKeyExisted,
                         const QByteArray &AKeyLine, const QByteArray &ASectionLine) {
  fuzz::Check(AAfter.FEncoding == ABefore.FEncoding && AAfter.FBom == ABefore.FBom,
              "the encoding and the byte-order mark are kept");
  fuzz::Check(AAfter.FTail == ABefore.FTail, "an odd last byte is kept");
  const size_t LOld = ABefore.FLines.size();
  const size_t LNew = AAfter.FLines.size();
  size_t LFirstDiff = 0;
  while (LFirstDiff < LOld && LFirstDiff < LNew &&
         SameLine(ABefore, LFirstDiff, AAfter.FLines[LFirstDiff]))
    ++LFirstDiff;
  if (AKeyExisted) {
    // The key's line is rewritten in place, with its ending.
    fuzz::Check(LNew == LOld, "rewriting a key keeps the number of lines");
    for (size_t i = LFirstDiff + 1; i < LOld; ++i)
      fuzz::Check(SameLine(ABefore, i, AAfter.FLines[i]), "rewriting a key keeps the other lines");
    if (LFirstDiff < LOld)
      fuzz::Check(AAfter.FLines[LFirstDiff].FEnd == ABefore.FLines[LFirstDiff].FEnd,
                  "a rewritten key line keeps its ending");
    return;
  }
  if (LNew == LOld + 1) {
    // The key's line is inserted: after it come the lines that followed.
    fuzz::Check(AAfter.FLines[LFirstDiff].FText == AKeyLine, "the inserted line is the key");
    for (size_t i = LFirstDiff; i < LOld; ++i)
      fuzz::Check(SameLine(ABefore, i, AAfter.FLines[i + 1]),
                  "adding a key keeps the lines after it");
    return;
  }
  fuzz::Check(LNew == LOld + 2, "adding a key adds its line, or its section and its line");
  fuzz::Check(LFirstDiff == LOld, "a new section goes after every line");
  fuzz::Check(AAfter.FLines[LOld].FText == ASectionLine, "the added section's line");
  fuzz::Check(AAfter.FLines[LOld + 1].FText == AKeyLine, "the added key's line");
}

struct TQuery {
  QString FSection;
  QString FKey;
};

// Section and key names found in the file, to ask for: a loose reading that
// only supplies questions, since the answers are compared before and after.
std::vector<TQuery> QueriesOf(const TFile &AFile) {
  std::vector<TQuery> LQueries;
  QString LSection;
  for (const TLine &LLine : AFile.FLines) {
    const QString LText = DecodeText(LLine.FText, AFile.FEncoding).trimmed();
    if (LText.startsWith(QLatin1Char('['))) {
      LSection = LText.mid(1).section(QLatin1Char(']'), 0, 0).trimmed();
    } else if (LText.contains(QLatin1Char('='))) {
      LQueries.push_back({LSection, LText.section(QLatin1Char('='), 0, 0).trimmed()});
      if (LQueries.size() >= 64)
        break;
    }
  }
  return LQueries;
}

QByteArray MakeContent(uint8_t AMode, const QByteArray &ABody) {
  QByteArray LContent;
  TEncoding LEncoding = TEncoding::Utf8;
  switch (AMode & 3) {
  case 1:
    LContent = "\xEF\xBB\xBF";
    break;
  case 2:
    LContent = "\xFF\xFE";
    LEncoding = TEncoding::Utf16LE;
    break;
  case 3:
    LContent = "\xFE\xFF";
    LEncoding = TEncoding::Utf16BE;
    break;
  default:
    break;
  }
  const bool LRaw = (AMode & 4) != 0;
  if (LRaw || LEncoding == TEncoding::Utf8)
    LContent.append(ABody);
  else
    LContent.append(EncodeText(platform::DecodeUtf8Lossless(ABody), LEncoding));
  return LContent;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  fuzz::TInputReader LReader(AData, ASize);
  const uint8_t LMode = LReader.Byte();
  const QList<QByteArray> LFields = LReader.Fields(4, '\x1F');
  QString LSection = KeepableText(platform::DecodeUtf8Lossless(LFields[0]), u"=[];\r\n");
  QString LKey = KeepableText(platform::DecodeUtf8Lossless(LFields[1]), u"=[;\r\n");
  const QString LValue =
      KeepableText(platform::DecodeUtf8Lossless(LFields[2]), QStringView(u"\r\n\0", 3));
  if (LSection.isEmpty())
    LSection = QStringLiteral("S");
  if (LKey.isEmpty())
    LKey = QStringLiteral("K");
  const QByteArray LBefore = MakeContent(LMode, LFields[3]);

  const std::optional<QString> LOldValue = platform::IniReadValue(LBefore, LSection, LKey);
  const QByteArray LAfter = platform::IniWriteValue(LBefore, LSection, LKey, LValue);

  fuzz::Check(platform::IniReadValue(LAfter, LSection, LKey) == LValue,
              "the key reads back as written");
  fuzz::Check(platform::IniWriteValue(LAfter, LSection, LKey, LValue) == LAfter,
              "writing the same value again changes nothing");

  const TFile LOldFile = SplitLines(LBefore);
  const TFile LNewFile = SplitLines(LAfter);
  CheckOtherLinesKept(
      LOldFile, LNewFile, LOldValue.has_value(),
      EncodeText(LKey + QLatin1Char('=') + LValue, LOldFile.FEncoding),
      EncodeText(QLatin1Char('[') + LSection + QLatin1Char(']'), LOldFile.FEncoding));

  for (const TQuery &LQuery : QueriesOf(LOldFile)) {
    if (SameName(LQuery.FSection, LSection) && SameName(LQuery.FKey, LKey))
      continue;
    fuzz::Check(platform::IniReadValue(LAfter, LQuery.FSection, LQuery.FKey) ==
                    platform::IniReadValue(LBefore, LQuery.FSection, LQuery.FKey),
                "every other key reads as before");
  }
  return 0;
}
