#include "uIniFile.h"

#include "uLosslessUtf8.h"
#include "uPlatformFs.h"

#include <climits>
#include <vector>

namespace platform {

namespace {

enum class TEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE };

// One line of the file as it is stored: its text and its line ending, both
// still encoded, so that a line that is not rewritten goes back unchanged.
struct TLine {
  QByteArray FText;
  QByteArray FEnd; // "\r\n", "\n", "\r" in the file's encoding; empty for a last line without one
};

struct TDocument {
  TEncoding FEncoding = TEncoding::Utf8;
  QByteArray FBom;
  std::vector<TLine> FLines;
  QByteArray FTail; // an odd last byte of a UTF-16 file, kept at the end
};

int UnitSize(TEncoding AEncoding) {
  return AEncoding == TEncoding::Utf16LE || AEncoding == TEncoding::Utf16BE ? 2 : 1;
}

char16_t UnitAt(const QByteArray &ABytes, qsizetype APos, TEncoding AEncoding) {
  const auto LByte = [&](qsizetype i) {
    return static_cast<char16_t>(static_cast<uchar>(ABytes[i]));
  };
  switch (AEncoding) {
  case TEncoding::Utf16LE:
    return static_cast<char16_t>(LByte(APos) | (LByte(APos + 1) << 8));
  case TEncoding::Utf16BE:
    return static_cast<char16_t>((LByte(APos) << 8) | LByte(APos + 1));
  default:
    return LByte(APos);
  }
}

QByteArray Encode(const QString &AText, TEncoding AEncoding) {
  QByteArray LResult;
  if (UnitSize(AEncoding) == 1) {
    // A value holding units that stand for no byte (only ever made by hand)
    // is written as UTF-8 with replacement characters.
    if (!EncodeUtf8Lossless(AText, LResult))
      LResult = AText.toUtf8();
    return LResult;
  }
  LResult.reserve(AText.size() * 2);
  for (const QChar LChar : AText) {
    const char LLow = static_cast<char>(LChar.unicode() & 0xFF);
    const char LHigh = static_cast<char>(LChar.unicode() >> 8);
    if (AEncoding == TEncoding::Utf16LE) {
      LResult.append(LLow);
      LResult.append(LHigh);
    } else {
      LResult.append(LHigh);
      LResult.append(LLow);
    }
  }
  return LResult;
}

QString Decode(const QByteArray &ABytes, TEncoding AEncoding) {
  // Bytes that are not UTF-8 (a folder name from another system) are kept,
  // so that writing the value back gives the same bytes.
  if (UnitSize(AEncoding) == 1)
    return DecodeUtf8Lossless(ABytes);
  QString LResult;
  LResult.reserve(ABytes.size() / 2);
  for (qsizetype i = 0; i + 1 < ABytes.size(); i += 2)
    LResult.append(QChar(UnitAt(ABytes, i, AEncoding)));
  return LResult;
}

TDocument Parse(const QByteArray &AContent) {
  TDocument LDoc;
  if (AContent.startsWith("\xEF\xBB\xBF")) {
    LDoc.FEncoding = TEncoding::Utf8Bom;
    LDoc.FBom = AContent.left(3);
  } else if (AContent.startsWith("\xFF\xFE")) {
    LDoc.FEncoding = TEncoding::Utf16LE;
    LDoc.FBom = AContent.left(2);
  } else if (AContent.startsWith("\xFE\xFF")) {
    LDoc.FEncoding = TEncoding::Utf16BE;
    LDoc.FBom = AContent.left(2);
  }
  const int LUnit = UnitSize(LDoc.FEncoding);
  qsizetype LEnd = AContent.size();
  if (LUnit == 2 && (LEnd - LDoc.FBom.size()) % 2 != 0) {
    LDoc.FTail = AContent.right(1);
    --LEnd;
  }
  qsizetype LStart = LDoc.FBom.size();
  qsizetype LPos = LStart;
  while (LPos < LEnd) {
    const char16_t LUnitValue = UnitAt(AContent, LPos, LDoc.FEncoding);
    if (LUnitValue != u'\r' && LUnitValue != u'\n') {
      LPos += LUnit;
      continue;
    }
    qsizetype LBreakEnd = LPos + LUnit;
    if (LUnitValue == u'\r' && LBreakEnd < LEnd &&
        UnitAt(AContent, LBreakEnd, LDoc.FEncoding) == u'\n')
      LBreakEnd += LUnit;
    LDoc.FLines.push_back(
        {AContent.mid(LStart, LPos - LStart), AContent.mid(LPos, LBreakEnd - LPos)});
    LStart = LPos = LBreakEnd;
  }
  if (LStart < LEnd)
    LDoc.FLines.push_back({AContent.mid(LStart, LEnd - LStart), QByteArray()});
  return LDoc;
}

QByteArray Serialize(const TDocument &ADoc) {
  QByteArray LResult = ADoc.FBom;
  for (const TLine &LLine : ADoc.FLines) {
    LResult.append(LLine.FText);
    LResult.append(LLine.FEnd);
  }
  LResult.append(ADoc.FTail);
  return LResult;
}

enum class TLineKind { Other, Section, Key };

// What one decoded line holds. For a key line, FPrefix is the text up to the
// value: the key, the equals sign and the blanks after it.
struct TLineInfo {
  TLineKind FKind = TLineKind::Other;
  bool FBlank = false;
  QString FName; // section name or key name, blanks dropped
  QString FValue;
  QString FPrefix;
};

TLineInfo Classify(const QString &AText) {
  TLineInfo LInfo;
  const QString LTrimmed = AText.trimmed();
  LInfo.FBlank = LTrimmed.isEmpty();
  if (LTrimmed.startsWith(QLatin1Char('['))) {
    LInfo.FKind = TLineKind::Section;
    const qsizetype LClose = LTrimmed.indexOf(QLatin1Char(']'));
    LInfo.FName = (LClose < 0 ? LTrimmed.mid(1) : LTrimmed.mid(1, LClose - 1)).trimmed();
    return LInfo;
  }
  if (LTrimmed.startsWith(QLatin1Char(';')))
    return LInfo;
  const qsizetype LEquals = AText.indexOf(QLatin1Char('='));
  if (LEquals < 0)
    return LInfo;
  LInfo.FKind = TLineKind::Key;
  LInfo.FName = AText.left(LEquals).trimmed();
  const QString LRest = AText.mid(LEquals + 1);
  LInfo.FValue = LRest.trimmed();
  qsizetype LValueStart = 0;
  while (LValueStart < LRest.size() && LRest.at(LValueStart).isSpace())
    ++LValueStart;
  LInfo.FPrefix = AText.left(LEquals + 1 + LValueStart);
  return LInfo;
}

bool SameName(const QString &AFirst, const QString &ASecond) {
  return AFirst.compare(ASecond, Qt::CaseInsensitive) == 0;
}

QByteArray FirstLineEnding(const TDocument &ADoc) {
  for (const TLine &LLine : ADoc.FLines)
    if (!LLine.FEnd.isEmpty())
      return LLine.FEnd;
  return Encode(QStringLiteral("\n"), ADoc.FEncoding);
}

// The ending of a new line put in front of line ABefore: AEnding, unless that
// is a lone CR and the next line begins with LF (an empty line ended by LF):
// the two would then read as one CR LF, and the empty line would be lost.
QByteArray EndingBefore(const TDocument &ADoc, size_t ABefore, const QByteArray &AEnding) {
  const QByteArray LCr = Encode(QStringLiteral("\r"), ADoc.FEncoding);
  if (AEnding != LCr || ABefore >= ADoc.FLines.size())
    return AEnding;
  const TLine &LNext = ADoc.FLines[ABefore];
  if (!LNext.FText.isEmpty() ||
      !LNext.FEnd.startsWith(Encode(QStringLiteral("\n"), ADoc.FEncoding)))
    return AEnding;
  return Encode(QStringLiteral("\r\n"), ADoc.FEncoding);
}

// A value that would not stay on its own line: it holds CR, LF or NUL.
bool IsWritableValue(const QString &AValue) {
  for (const QChar LChar : AValue)
    if (LChar == QLatin1Char('\r') || LChar == QLatin1Char('\n') || LChar.isNull())
      return false;
  return true;
}

QString ErrorText(const QString &AAction, const QString &AFileName, const QString &AReason) {
  return QStringLiteral("Cannot %1 %2: %3").arg(AAction, AFileName, AReason);
}

} // namespace

std::optional<QString> IniReadValue(const QByteArray &AContent, const QString &ASection,
                                    const QString &AKey) {
  const TDocument LDoc = Parse(AContent);
  bool LInSection = false;
  for (const TLine &LLine : LDoc.FLines) {
    const TLineInfo LInfo = Classify(Decode(LLine.FText, LDoc.FEncoding));
    if (LInfo.FKind == TLineKind::Section)
      LInSection = SameName(LInfo.FName, ASection);
    else if (LInSection && LInfo.FKind == TLineKind::Key && SameName(LInfo.FName, AKey))
      return LInfo.FValue;
  }
  return std::nullopt;
}

QByteArray IniWriteValue(const QByteArray &AContent, const QString &ASection, const QString &AKey,
                         const QString &AValue) {
  TDocument LDoc = Parse(AContent);
  const QByteArray LNewLine = FirstLineEnding(LDoc);
  std::vector<TLineInfo> LInfos;
  LInfos.reserve(LDoc.FLines.size());
  for (const TLine &LLine : LDoc.FLines)
    LInfos.push_back(Classify(Decode(LLine.FText, LDoc.FEncoding)));

  // The first key of that name in any section of that name is rewritten.
  bool LInSection = false;
  for (size_t i = 0; i < LInfos.size(); ++i) {
    if (LInfos[i].FKind == TLineKind::Section) {
      LInSection = SameName(LInfos[i].FName, ASection);
    } else if (LInSection && LInfos[i].FKind == TLineKind::Key && SameName(LInfos[i].FName, AKey)) {
      LDoc.FLines[i].FText = Encode(LInfos[i].FPrefix + AValue, LDoc.FEncoding);
      return Serialize(LDoc);
    }
  }

  // Otherwise the key goes after the last non-blank line of the first section
  // of that name, so that blank lines before the next section stay there.
  std::optional<size_t> LSectionEnd;
  for (size_t i = 0; i < LInfos.size() && !LSectionEnd; ++i)
    if (LInfos[i].FKind == TLineKind::Section && SameName(LInfos[i].FName, ASection))
      LSectionEnd = i;
  if (LSectionEnd)
    for (size_t i = *LSectionEnd + 1; i < LInfos.size() && LInfos[i].FKind != TLineKind::Section;
         ++i)
      if (!LInfos[i].FBlank)
        LSectionEnd = i;

  const auto LEnsureEnded = [&](size_t AIndex) {
    if (LDoc.FLines[AIndex].FEnd.isEmpty())
      LDoc.FLines[AIndex].FEnd = LNewLine;
  };
  TLine LKey{Encode(AKey + QLatin1Char('=') + AValue, LDoc.FEncoding), LNewLine};
  if (LSectionEnd) {
    LEnsureEnded(*LSectionEnd);
    LKey.FEnd = EndingBefore(LDoc, *LSectionEnd + 1, LNewLine);
    LDoc.FLines.insert(LDoc.FLines.begin() + static_cast<std::ptrdiff_t>(*LSectionEnd + 1), LKey);
  } else {
    if (!LDoc.FLines.empty())
      LEnsureEnded(LDoc.FLines.size() - 1);
    LDoc.FLines.push_back(
        {Encode(QLatin1Char('[') + ASection + QLatin1Char(']'), LDoc.FEncoding), LNewLine});
    LDoc.FLines.push_back(LKey);
  }
  return Serialize(LDoc);
}

std::vector<TIniSection> IniReadSections(const QByteArray &AContent) {
  const TDocument LDoc = Parse(AContent);
  std::vector<TIniSection> LSections;
  for (const TLine &LLine : LDoc.FLines) {
    const TLineInfo LInfo = Classify(Decode(LLine.FText, LDoc.FEncoding));
    if (LInfo.FKind == TLineKind::Section)
      LSections.push_back({LInfo.FName, {}});
    else if (LInfo.FKind == TLineKind::Key && !LSections.empty())
      LSections.back().FKeys.emplace_back(LInfo.FName, LInfo.FValue);
  }
  return LSections;
}

QByteArray IniRemoveSection(const QByteArray &AContent, const QString &ASection) {
  TDocument LDoc = Parse(AContent);
  std::vector<TLine> LKept;
  LKept.reserve(LDoc.FLines.size());
  bool LInSection = false;
  for (TLine &LLine : LDoc.FLines) {
    const TLineInfo LInfo = Classify(Decode(LLine.FText, LDoc.FEncoding));
    if (LInfo.FKind == TLineKind::Section)
      LInSection = SameName(LInfo.FName, ASection);
    if (!LInSection)
      LKept.push_back(std::move(LLine));
  }
  LDoc.FLines = std::move(LKept);
  return Serialize(LDoc);
}

QByteArray IniRenameSection(const QByteArray &AContent, const QString &AOld, const QString &ANew) {
  TDocument LDoc = Parse(AContent);
  for (TLine &LLine : LDoc.FLines) {
    const TLineInfo LInfo = Classify(Decode(LLine.FText, LDoc.FEncoding));
    if (LInfo.FKind == TLineKind::Section && SameName(LInfo.FName, AOld))
      LLine.FText = Encode(QLatin1Char('[') + ANew + QLatin1Char(']'), LDoc.FEncoding);
  }
  return Serialize(LDoc);
}

std::optional<int> IniParseInteger(const QString &AText) {
  QString LText = AText.trimmed();
  bool LNegative = false;
  if (LText.startsWith(QLatin1Char('-')) || LText.startsWith(QLatin1Char('+'))) {
    LNegative = LText.at(0) == QLatin1Char('-');
    LText.remove(0, 1);
  }
  int LBase = 10;
  if (LText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    LBase = 16;
    LText.remove(0, 2);
  }
  if (LText.isEmpty())
    return std::nullopt;
  long long LValue = 0;
  for (const QChar LChar : LText) {
    const char16_t LUnit = LChar.unicode();
    int LDigit = -1;
    if (LUnit >= u'0' && LUnit <= u'9')
      LDigit = LUnit - u'0';
    else if (LBase == 16 && LUnit >= u'a' && LUnit <= u'f')
      LDigit = LUnit - u'a' + 10;
    else if (LBase == 16 && LUnit >= u'A' && LUnit <= u'F')
      LDigit = LUnit - u'A' + 10;
    if (LDigit < 0)
      return std::nullopt;
    LValue = LValue * LBase + LDigit;
    if (LValue > static_cast<long long>(INT_MAX) + 1)
      return std::nullopt;
  }
  if (LNegative)
    LValue = -LValue;
  if (LValue > INT_MAX || LValue < INT_MIN)
    return std::nullopt;
  return static_cast<int>(LValue);
}

TIniReadResult TIniFile::ReadKey(const QString &ASection, const QString &AKey) const {
  TIniReadResult LResult;
  QByteArray LContent;
  QString LError;
  switch (ReadWholeFile(FFileName, LContent, LError)) {
  case TReadOutcome::Missing:
    return LResult;
  case TReadOutcome::Failed:
    LResult.FOk = false;
    LResult.FError = ErrorText(QStringLiteral("read"), FFileName, LError);
    return LResult;
  case TReadOutcome::Read:
    break;
  }
  LResult.FValue = IniReadValue(LContent, ASection, AKey);
  return LResult;
}

TIniWriteResult TIniFile::WriteKey(const QString &ASection, const QString &AKey,
                                   const QString &AValue) {
  return WriteKeys({{ASection, AKey, AValue}});
}

TIniWriteResult TIniFile::WriteKeys(const std::vector<TIniKeyValue> &AKeys) {
  TIniWriteResult LResult;
  QByteArray LContent;
  QString LError;
  const TReadOutcome LRead = ReadWholeFile(FFileName, LContent, LError);
  if (LRead == TReadOutcome::Failed) {
    LResult.FOk = false;
    LResult.FError = ErrorText(QStringLiteral("read"), FFileName, LError);
    return LResult;
  }
  QByteArray LNew = LContent;
  QStringList LRefused;
  for (const TIniKeyValue &LKey : AKeys) {
    if (!IsWritableValue(LKey.FValue)) {
      LRefused.append(LKey.FKey);
      continue;
    }
    LNew = IniWriteValue(LNew, LKey.FSection, LKey.FKey, LKey.FValue);
  }
  LResult.FRefusedKeys = LRefused;
  if (LRead == TReadOutcome::Missing || LNew != LContent) {
    if (!ReplaceFileContents(FFileName, LNew, LError)) {
      LResult.FOk = false;
      LResult.FError = ErrorText(QStringLiteral("write"), FFileName, LError);
      return LResult;
    }
  }
  if (!LRefused.isEmpty()) {
    LResult.FOk = false;
    LResult.FError =
        ErrorText(QStringLiteral("write"), FFileName,
                  (LRefused.size() == 1 ? QStringLiteral("the value of %1 holds a line break")
                                        : QStringLiteral("the values of %1 hold line breaks"))
                      .arg(LRefused.join(QStringLiteral(", "))));
  }
  return LResult;
}

} // namespace platform
