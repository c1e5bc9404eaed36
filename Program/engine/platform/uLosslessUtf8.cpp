#include "uLosslessUtf8.h"

namespace platform {

namespace {

constexpr char16_t KEscapeBase = 0xDC00; // a byte B >= 0x80 escapes to KEscapeBase + B

bool IsContinuation(unsigned char AByte) {
  return (AByte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at ABytes (at most AAvail
// bytes there), and its code point in ACodePoint; 0 when the bytes there do
// not start one. Well-formed means: no overlong form, no surrogate, nothing
// above U+10FFFF.
int SequenceAt(const unsigned char *ABytes, qsizetype AAvail, char32_t &ACodePoint) {
  const unsigned char LLead = ABytes[0];
  int LLength = 0;
  unsigned char LLow = 0x80;
  unsigned char LHigh = 0xBF; // the range of the second byte
  if (LLead >= 0xC2 && LLead <= 0xDF) {
    LLength = 2;
  } else if (LLead >= 0xE0 && LLead <= 0xEF) {
    LLength = 3;
    if (LLead == 0xE0)
      LLow = 0xA0;
    else if (LLead == 0xED)
      LHigh = 0x9F;
  } else if (LLead >= 0xF0 && LLead <= 0xF4) {
    LLength = 4;
    if (LLead == 0xF0)
      LLow = 0x90;
    else if (LLead == 0xF4)
      LHigh = 0x8F;
  } else {
    return 0;
  }
  if (AAvail < LLength || ABytes[1] < LLow || ABytes[1] > LHigh)
    return 0;
  for (int i = 2; i < LLength; ++i)
    if (!IsContinuation(ABytes[i]))
      return 0;
  char32_t LCode = LLead & (0x7F >> LLength);
  for (int i = 1; i < LLength; ++i)
    LCode = (LCode << 6) | (ABytes[i] & 0x3F);
  ACodePoint = LCode;
  return LLength;
}

} // namespace

QString DecodeUtf8Lossless(const char *ABytes, qsizetype ASize) {
  const auto *LBytes = reinterpret_cast<const unsigned char *>(ABytes);
  qsizetype LAscii = 0;
  while (LAscii < ASize && LBytes[LAscii] < 0x80)
    ++LAscii;
  if (LAscii == ASize)
    return QString::fromLatin1(ABytes, ASize);
  QString LText(ASize, Qt::Uninitialized); // never more units than bytes
  QChar *LOut = LText.data();
  for (qsizetype i = 0; i < LAscii; ++i)
    *LOut++ = QChar(char16_t(LBytes[i]));
  for (qsizetype i = LAscii; i < ASize;) {
    const unsigned char LByte = LBytes[i];
    if (LByte < 0x80) {
      *LOut++ = QChar(char16_t(LByte));
      ++i;
      continue;
    }
    char32_t LCode = 0;
    const int LLength = SequenceAt(LBytes + i, ASize - i, LCode);
    if (LLength == 0) {
      *LOut++ = QChar(char16_t(KEscapeBase + LByte));
      ++i;
      continue;
    }
    if (LCode >= 0x10000) {
      *LOut++ = QChar(QChar::highSurrogate(LCode));
      *LOut++ = QChar(QChar::lowSurrogate(LCode));
    } else {
      *LOut++ = QChar(char16_t(LCode));
    }
    i += LLength;
  }
  LText.truncate(LOut - LText.constData());
  return LText;
}

qsizetype EncodeUtf8Lossless(QStringView AText, char *AOut) {
  char *LOut = AOut;
  const qsizetype LSize = AText.size();
  for (qsizetype i = 0; i < LSize; ++i) {
    const char16_t LUnit = AText[i].unicode();
    if (LUnit < 0x80) {
      *LOut++ = static_cast<char>(LUnit);
    } else if (LUnit < 0x800) {
      *LOut++ = static_cast<char>(0xC0 | (LUnit >> 6));
      *LOut++ = static_cast<char>(0x80 | (LUnit & 0x3F));
    } else if (QChar::isHighSurrogate(LUnit)) {
      if (i + 1 >= LSize || !QChar::isLowSurrogate(AText[i + 1].unicode()))
        return -1;
      const char32_t LCode = QChar::surrogateToUcs4(LUnit, AText[++i].unicode());
      *LOut++ = static_cast<char>(0xF0 | (LCode >> 18));
      *LOut++ = static_cast<char>(0x80 | ((LCode >> 12) & 0x3F));
      *LOut++ = static_cast<char>(0x80 | ((LCode >> 6) & 0x3F));
      *LOut++ = static_cast<char>(0x80 | (LCode & 0x3F));
    } else if (QChar::isLowSurrogate(LUnit)) {
      // Only the escapes of single bytes stand for something.
      if (LUnit < KEscapeBase + 0x80 || LUnit > KEscapeBase + 0xFF)
        return -1;
      *LOut++ = static_cast<char>(LUnit - KEscapeBase);
    } else {
      *LOut++ = static_cast<char>(0xE0 | (LUnit >> 12));
      *LOut++ = static_cast<char>(0x80 | ((LUnit >> 6) & 0x3F));
      *LOut++ = static_cast<char>(0x80 | (LUnit & 0x3F));
    }
  }
  return LOut - AOut;
}

bool EncodeUtf8Lossless(QStringView AText, QByteArray &AOut) {
  AOut.resize(MaxUtf8LosslessSize(AText.size()));
  const qsizetype LSize = EncodeUtf8Lossless(AText, AOut.data());
  if (LSize < 0) {
    AOut.clear();
    return false;
  }
  AOut.truncate(LSize);
  return true;
}

} // namespace platform
