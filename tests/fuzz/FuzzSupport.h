// What the fuzz targets share: stopping on a broken invariant, and reading a
// fuzz input as a small header followed by text fields.
#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

// Ends the run as a crash when ACondition fails, so that libFuzzer keeps the
// input that broke the invariant AWhat.
inline void Check(bool ACondition, const char *AWhat) {
  if (ACondition)
    return;
  std::fprintf(stderr, "Invariant broken: %s\n", AWhat);
  std::abort();
}

// Reads a fuzz input from the front: fixed-size numbers first, then the rest
// as fields. Bytes past the end read as 0, so every input has a meaning.
class TInputReader {
public:
  TInputReader(const uint8_t *AData, size_t ASize) : FData(AData), FSize(ASize) {}

  uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }

  // Four bytes, little-endian.
  int32_t Int32() {
    uint32_t LValue = 0;
    for (int i = 0; i < 4; ++i)
      LValue |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(LValue);
  }

  // The bytes not read yet, cut at every byte ASeparator into at most
  // ACount fields; the last field keeps the rest, separators included.
  // Missing fields are empty.
  QList<QByteArray> Fields(qsizetype ACount, char ASeparator) {
    QList<QByteArray> LFields;
    const char *LRest = reinterpret_cast<const char *>(FData) + FPos;
    const QByteArray LBytes(LRest, static_cast<qsizetype>(FSize - FPos));
    FPos = FSize;
    qsizetype LStart = 0;
    while (LFields.size() + 1 < ACount) {
      const qsizetype LSeparator = LBytes.indexOf(ASeparator, LStart);
      if (LSeparator < 0)
        break;
      LFields.append(LBytes.mid(LStart, LSeparator - LStart));
      LStart = LSeparator + 1;
    }
    LFields.append(LBytes.mid(LStart));
    while (LFields.size() < ACount)
      LFields.append(QByteArray());
    return LFields;
  }

private:
  const uint8_t *FData;
  size_t FSize;
  size_t FPos = 0;
};

} // namespace fuzz
