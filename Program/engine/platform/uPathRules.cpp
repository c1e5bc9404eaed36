#include "uPathRules.h"

namespace platform {

QChar PathDelimiter(TPathStyle AStyle) {
  return AStyle == TPathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

bool IsPathDelimiter(QChar AChar, TPathStyle AStyle) {
  if (AStyle == TPathStyle::Windows)
    return AChar == QLatin1Char('\\') || AChar == QLatin1Char(':');
  return AChar == QLatin1Char('/');
}

namespace {

qsizetype LastDelimiter(QStringView APath, TPathStyle AStyle) {
  for (qsizetype i = APath.size() - 1; i >= 0; --i)
    if (IsPathDelimiter(APath[i], AStyle))
      return i;
  return -1;
}

} // namespace

qsizetype ExtractNameStart(QStringView APath, TPathStyle AStyle) {
  return LastDelimiter(APath, AStyle) + 1;
}

QString ExtractName(const QString &APath, TPathStyle AStyle) {
  const qsizetype LLast = LastDelimiter(APath, AStyle);
  return LLast < 0 ? APath : APath.mid(LLast + 1);
}

QString ExtractLocation(const QString &APath, TPathStyle AStyle) {
  const qsizetype LLast = LastDelimiter(APath, AStyle);
  if (LLast < 0)
    return QString();
  // A final separator is dropped unless it is the root's own ("/", "C:\")
  // or follows another delimiter; a final ':' (C:a.txt) always stays.
  if (APath[LLast] == PathDelimiter(AStyle) && LLast > 0 &&
      !IsPathDelimiter(APath[LLast - 1], AStyle))
    return APath.left(LLast);
  return APath.left(LLast + 1);
}

QString JoinPath(const QString &ALocation, const QString &AName, TPathStyle AStyle) {
  // An empty location is the current folder: the name alone, never the root.
  if (ALocation.isEmpty())
    return AName;
  if (IsPathDelimiter(ALocation.back(), AStyle))
    return ALocation + AName;
  return ALocation + PathDelimiter(AStyle) + AName;
}

namespace {

// Lone surrogates other than the escapes of single bytes (U+DC80..U+DCFF).
bool HasUnencodableUnits(QStringView AText) {
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const char16_t LUnit = AText[i].unicode();
    if (QChar::isHighSurrogate(LUnit)) {
      if (i + 1 >= AText.size() || !QChar::isLowSurrogate(AText[i + 1].unicode()))
        return true;
      ++i;
    } else if (QChar::isLowSurrogate(LUnit) && (LUnit < 0xDC80 || LUnit > 0xDCFF)) {
      return true;
    }
  }
  return false;
}

} // namespace

bool IsInvalidEntryName(const QString &AName, TPathStyle AStyle) {
  if (AName.isEmpty() || AName == u"." || AName == u"..")
    return true;
  for (const QChar LChar : AName) {
    if (LChar.unicode() == 0 || IsPathDelimiter(LChar, AStyle))
      return true;
    // Windows accepts "/" as a separator as well.
    if (AStyle == TPathStyle::Windows && LChar == QLatin1Char('/'))
      return true;
  }
  // A POSIX name is bytes: a code unit that stands for none cannot be written.
  return AStyle == TPathStyle::Posix && HasUnencodableUnits(AName);
}

bool IsHiddenName(const QString &AName) {
  return AName.startsWith(QLatin1Char('.'));
}

namespace {

bool IsHighSurrogate(char16_t AUnit) {
  return AUnit >= 0xD800 && AUnit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t AUnit) {
  return AUnit >= 0xDC00 && AUnit <= 0xDFFF;
}

} // namespace

bool HasUndecodableUnits(QStringView AText) {
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const char16_t LUnit = AText[i].unicode();
    if (IsHighSurrogate(LUnit) && i + 1 < AText.size() && IsLowSurrogate(AText[i + 1].unicode())) {
      ++i;
      continue;
    }
    if (IsHighSurrogate(LUnit) || IsLowSurrogate(LUnit))
      return true;
  }
  return false;
}

QString DisplayText(const QString &AText) {
  if (!HasUndecodableUnits(AText))
    return AText;
  QString LResult = AText;
  for (qsizetype i = 0; i < LResult.size(); ++i) {
    const char16_t LUnit = LResult[i].unicode();
    if (IsHighSurrogate(LUnit) && i + 1 < LResult.size() &&
        IsLowSurrogate(LResult[i + 1].unicode())) {
      ++i;
      continue;
    }
    if (IsHighSurrogate(LUnit) || IsLowSurrogate(LUnit))
      LResult[i] = QChar(QChar::ReplacementCharacter);
  }
  return LResult;
}

} // namespace platform
