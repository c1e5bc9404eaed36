// Fuzzes the lossless UTF-8 of names: any bytes decode to a text that
// encodes back to the same bytes; valid UTF-8 decodes as Qt decodes it; every
// other byte becomes one escape unit U+DC80..U+DCFF. DisplayText replaces
// exactly the lone surrogates of any text.
//
// The input is used twice: as the bytes of a name, and (two bytes a unit,
// little-endian) as a text of any code units.

#include "FuzzSupport.h"

#include "platform/uLosslessUtf8.h"
#include "platform/uPathRules.h"

#include <QString>
#include <QStringDecoder>

#include <vector>

namespace {

bool IsHigh(char16_t AUnit) {
  return AUnit >= 0xD800 && AUnit <= 0xDBFF;
}

bool IsLow(char16_t AUnit) {
  return AUnit >= 0xDC00 && AUnit <= 0xDFFF;
}

// For every unit of AText: true when it is a surrogate that is not half of a
// high-low pair.
std::vector<bool> LoneSurrogates(QStringView AText) {
  std::vector<bool> LLone(static_cast<size_t>(AText.size()), false);
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const char16_t LUnit = AText[i].unicode();
    const bool LPairedHigh = IsHigh(LUnit) && i + 1 < AText.size() && IsLow(AText[i + 1].unicode());
    const bool LPairedLow = IsLow(LUnit) && i > 0 && IsHigh(AText[i - 1].unicode());
    LLone[static_cast<size_t>(i)] = (IsHigh(LUnit) || IsLow(LUnit)) && !LPairedHigh && !LPairedLow;
  }
  return LLone;
}

// The length of the well-formed UTF-8 sequence at APos of ABytes and its code
// point in ACode; 0 when none starts there. Written from the definition, not
// from the engine's table of byte ranges: the lead byte gives the length, the
// continuation bytes give the bits, and the value must need that length, must
// be no surrogate and must not exceed U+10FFFF.
int WellFormedAt(const QByteArray &ABytes, qsizetype APos, char32_t &ACode) {
  const auto LByte = [&](qsizetype i) {
    return static_cast<uint8_t>(ABytes[i]);
  };
  const uint8_t LLead = LByte(APos);
  int LLength = 0;
  char32_t LCode = 0;
  if (LLead < 0x80) {
    ACode = LLead;
    return 1;
  }
  if ((LLead & 0xE0) == 0xC0) {
    LLength = 2;
    LCode = LLead & 0x1F;
  } else if ((LLead & 0xF0) == 0xE0) {
    LLength = 3;
    LCode = LLead & 0x0F;
  } else if ((LLead & 0xF8) == 0xF0) {
    LLength = 4;
    LCode = LLead & 0x07;
  } else {
    return 0;
  }
  if (APos + LLength > ABytes.size())
    return 0;
  for (int i = 1; i < LLength; ++i) {
    if ((LByte(APos + i) & 0xC0) != 0x80)
      return 0;
    LCode = (LCode << 6) | (LByte(APos + i) & 0x3F);
  }
  constexpr char32_t KSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (LCode < KSmallest[LLength] || LCode > 0x10FFFF || (LCode >= 0xD800 && LCode <= 0xDFFF))
    return 0;
  ACode = LCode;
  return LLength;
}

// What the header promises for ABytes: each well-formed sequence as its
// character, each other byte as U+DC00 + the byte. The split is unique: a
// continuation byte never starts a sequence, so no byte can belong to two.
// AValid tells whether every byte was part of a well-formed sequence.
QString ExpectedDecoding(const QByteArray &ABytes, bool &AValid) {
  QString LText;
  AValid = true;
  for (qsizetype i = 0; i < ABytes.size();) {
    char32_t LCode = 0;
    const int LLength = WellFormedAt(ABytes, i, LCode);
    if (LLength == 0) {
      LText.append(QChar(static_cast<char16_t>(0xDC00 + static_cast<uint8_t>(ABytes[i]))));
      AValid = false;
      ++i;
      continue;
    }
    // Appended unit by unit: QString::fromUcs4 would drop a U+FEFF.
    if (LCode >= 0x10000) {
      LText.append(QChar(QChar::highSurrogate(LCode)));
      LText.append(QChar(QChar::lowSurrogate(LCode)));
    } else {
      LText.append(QChar(static_cast<char16_t>(LCode)));
    }
    i += LLength;
  }
  return LText;
}

void CheckDisplayText(const QString &AText) {
  const std::vector<bool> LLone = LoneSurrogates(AText);
  const QString LShown = platform::DisplayText(AText);
  fuzz::Check(LShown.size() == AText.size(), "DisplayText keeps the length");
  bool LAnyLone = false;
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const bool LIsLone = LLone[static_cast<size_t>(i)];
    LAnyLone = LAnyLone || LIsLone;
    const QChar LExpected = LIsLone ? QChar(QChar::ReplacementCharacter) : AText[i];
    fuzz::Check(LShown[i] == LExpected, "DisplayText replaces exactly the lone surrogates");
  }
  fuzz::Check(platform::HasUndecodableUnits(AText) == LAnyLone,
              "HasUndecodableUnits tells whether a lone surrogate is there");
}

void CheckBytes(const QByteArray &ABytes) {
  const QString LText = platform::DecodeUtf8Lossless(ABytes);

  QByteArray LBack;
  fuzz::Check(platform::EncodeUtf8Lossless(LText, LBack), "a decoded text can be encoded");
  fuzz::Check(LBack == ABytes, "bytes -> text -> bytes gives the same bytes");

  const std::vector<bool> LLone = LoneSurrogates(LText);
  for (qsizetype i = 0; i < LText.size(); ++i) {
    if (!LLone[static_cast<size_t>(i)])
      continue;
    const char16_t LUnit = LText[i].unicode();
    fuzz::Check(!IsHigh(LUnit), "no lone high surrogate in a decoded text");
    fuzz::Check(LUnit >= 0xDC80 && LUnit <= 0xDCFF, "a lone low surrogate is in U+DC80..U+DCFF");
  }

  bool LValid = false;
  fuzz::Check(LText == ExpectedDecoding(ABytes, LValid),
              "well-formed sequences become characters, other bytes escapes");
  if (LValid) {
    // Qt as a second opinion on valid input. Its stateless decoder reports a
    // sequence cut off at the end (the stateful one waits for more bytes),
    // and QString::fromUtf8 drops a leading byte-order mark (so does
    // QString::fromUcs4), which a name keeps as U+FEFF.
    QStringDecoder LDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    LDecoder.decode(ABytes);
    fuzz::Check(!LDecoder.hasError(), "Qt accepts what is well-formed here");
    QString LExpected = QString::fromUtf8(ABytes);
    if (ABytes.startsWith("\xEF\xBB\xBF"))
      LExpected.prepend(QChar(0xFEFF));
    fuzz::Check(LText == LExpected, "valid UTF-8 decodes as QString::fromUtf8 decodes it");
  }

  CheckDisplayText(LText);
}

// A text of any code units: encoding fails exactly when a unit stands for no
// byte, and a text without lone surrogates is plain UTF-8.
void CheckUnits(const QString &AText) {
  const std::vector<bool> LLone = LoneSurrogates(AText);
  bool LEncodable = true;
  bool LAnyLone = false;
  for (qsizetype i = 0; i < AText.size(); ++i) {
    if (!LLone[static_cast<size_t>(i)])
      continue;
    LAnyLone = true;
    const char16_t LUnit = AText[i].unicode();
    if (LUnit < 0xDC80 || LUnit > 0xDCFF)
      LEncodable = false;
  }
  QByteArray LBytes;
  const bool LEncoded = platform::EncodeUtf8Lossless(AText, LBytes);
  fuzz::Check(LEncoded == LEncodable,
              "encoding fails exactly for a lone surrogate outside U+DC80..U+DCFF");
  if (!LEncoded) {
    fuzz::Check(LBytes.isEmpty(), "a failed encoding leaves no bytes");
  } else {
    fuzz::Check(LBytes.size() <= platform::MaxUtf8LosslessSize(AText.size()),
                "the encoding fits MaxUtf8LosslessSize");
    if (!LAnyLone) {
      fuzz::Check(LBytes == AText.toUtf8(), "a text without lone surrogates is plain UTF-8");
      fuzz::Check(platform::DecodeUtf8Lossless(LBytes) == AText,
                  "a text without lone surrogates decodes back");
    }
  }
  CheckDisplayText(AText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  const QByteArray LBytes(reinterpret_cast<const char *>(AData), static_cast<qsizetype>(ASize));
  CheckBytes(LBytes);
  QString LUnits;
  for (size_t i = 0; i + 1 < ASize; i += 2)
    LUnits.append(QChar(static_cast<char16_t>(AData[i] | (AData[i + 1] << 8))));
  CheckUnits(LUnits);
  return 0;
}
