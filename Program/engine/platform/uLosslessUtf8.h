// UTF-8 that keeps every byte. Names on Linux (and lines of a hand-edited
// file) are bytes that are mostly, but not always, UTF-8. Decoding them with
// replacement characters would make "bad\xff.txt" and "bad\xef\xbf\xbd.txt"
// one spelling, and the program would rename the wrong file. Here valid UTF-8
// becomes its characters, and every byte that is not part of valid UTF-8
// becomes one lone surrogate, U+DC80 to U+DCFF (as Python's surrogateescape
// does); encoding turns such a unit back into its byte. So bytes → text →
// bytes gives the same bytes, always.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace platform {

// The text of ASize bytes at ABytes.
QString DecodeUtf8Lossless(const char *ABytes, qsizetype ASize);
inline QString DecodeUtf8Lossless(const QByteArray &ABytes) {
  return DecodeUtf8Lossless(ABytes.constData(), ABytes.size());
}

// The most bytes EncodeUtf8Lossless writes for ASize code units.
constexpr qsizetype MaxUtf8LosslessSize(qsizetype ASize) {
  return ASize * 3;
}

// Writes the bytes of AText to AOut (room for MaxUtf8LosslessSize units) and
// returns how many it wrote; -1 when AText holds a code unit that stands for
// no byte: a lone surrogate outside U+DC80..U+DCFF. NUL is written as a byte.
qsizetype EncodeUtf8Lossless(QStringView AText, char *AOut);

// The same into a byte array; false (and AOut cleared) for a text that
// cannot be encoded.
bool EncodeUtf8Lossless(QStringView AText, QByteArray &AOut);

} // namespace platform
