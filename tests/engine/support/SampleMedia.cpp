#include "SampleMedia.h"

#include <algorithm>
#include <cstdint>

namespace testsupport {

namespace {

void AppendBigEndian16(QByteArray &AOut, int AValue) {
  AOut.append(static_cast<char>((AValue >> 8) & 0xFF));
  AOut.append(static_cast<char>(AValue & 0xFF));
}

void AppendBigEndian32(QByteArray &AOut, uint32_t AValue) {
  AppendBigEndian16(AOut, static_cast<int>(AValue >> 16));
  AppendBigEndian16(AOut, static_cast<int>(AValue & 0xFFFF));
}

void AppendLittleEndian16(QByteArray &AOut, int AValue) {
  AOut.append(static_cast<char>(AValue & 0xFF));
  AOut.append(static_cast<char>((AValue >> 8) & 0xFF));
}

void AppendLittleEndian32(QByteArray &AOut, uint32_t AValue) {
  AppendLittleEndian16(AOut, static_cast<int>(AValue & 0xFFFF));
  AppendLittleEndian16(AOut, static_cast<int>(AValue >> 16));
}

// A JPEG marker segment: FF, the marker, the length (itself included), the body.
void AppendSegment(QByteArray &AOut, uint8_t AMarker, const QByteArray &ABody) {
  AOut.append(static_cast<char>(0xFF));
  AOut.append(static_cast<char>(AMarker));
  AppendBigEndian16(AOut, static_cast<int>(ABody.size()) + 2);
  AOut.append(ABody);
}

// A Huffman table holding one code, "0", for ASymbol.
QByteArray OneCodeHuffmanTable(uint8_t AClassAndId, uint8_t ASymbol) {
  QByteArray LBody;
  LBody.append(static_cast<char>(AClassAndId));
  LBody.append(static_cast<char>(1)); // one code of length 1
  LBody.append(QByteArray(15, '\0')); // none of lengths 2 to 16
  LBody.append(static_cast<char>(ASymbol));
  return LBody;
}

uint32_t Crc32(const QByteArray &ABytes) {
  uint32_t LCrc = 0xFFFFFFFFu;
  for (const char LChar : ABytes) {
    LCrc ^= static_cast<uint8_t>(LChar);
    for (int i = 0; i < 8; ++i)
      LCrc = (LCrc >> 1) ^ (0xEDB88320u & (0u - (LCrc & 1u)));
  }
  return ~LCrc;
}

uint32_t Adler32(const QByteArray &ABytes) {
  uint32_t LA = 1;
  uint32_t LB = 0;
  for (const char LChar : ABytes) {
    LA = (LA + static_cast<uint8_t>(LChar)) % 65521u;
    LB = (LB + LA) % 65521u;
  }
  return (LB << 16) | LA;
}

void AppendPngChunk(QByteArray &AOut, const char *AType, const QByteArray &AData) {
  AppendBigEndian32(AOut, static_cast<uint32_t>(AData.size()));
  const QByteArray LTyped = QByteArray(AType, 4) + AData;
  AOut.append(LTyped);
  AppendBigEndian32(AOut, Crc32(LTyped));
}

} // namespace

QByteArray GreyJpeg(int AWidth, int AHeight) {
  QByteArray LOut;
  LOut.append(static_cast<char>(0xFF));
  LOut.append(static_cast<char>(0xD8)); // start of image

  QByteArray LQuant(1, '\0');          // 8-bit table 0
  LQuant.append(QByteArray(64, '\1')); // every coefficient quantised by 1
  AppendSegment(LOut, 0xDB, LQuant);

  QByteArray LFrame;
  LFrame.append(static_cast<char>(8)); // bits per sample
  AppendBigEndian16(LFrame, AHeight);
  AppendBigEndian16(LFrame, AWidth);
  LFrame.append(static_cast<char>(1));    // one component:
  LFrame.append(static_cast<char>(1));    //   its id,
  LFrame.append(static_cast<char>(0x11)); //   no subsampling,
  LFrame.append(static_cast<char>(0));    //   quantisation table 0
  AppendSegment(LOut, 0xC0, LFrame);      // baseline frame

  // With one code per table, "0" means "DC difference 0" and "0" means "end
  // of block": every block is the two bits 00, a flat grey of level 128.
  AppendSegment(LOut, 0xC4, OneCodeHuffmanTable(0x00, 0x00));
  AppendSegment(LOut, 0xC4, OneCodeHuffmanTable(0x10, 0x00));

  QByteArray LScan;
  LScan.append(static_cast<char>(1));  // one component:
  LScan.append(static_cast<char>(1));  //   id 1,
  LScan.append(static_cast<char>(0));  //   DC and AC table 0
  LScan.append(static_cast<char>(0));  // spectral selection 0 ..
  LScan.append(static_cast<char>(63)); //   63
  LScan.append(static_cast<char>(0));  // no successive approximation
  AppendSegment(LOut, 0xDA, LScan);

  const int64_t LBlocks =
      static_cast<int64_t>((AWidth + 7) / 8) * static_cast<int64_t>((AHeight + 7) / 8);
  const int64_t LBits = 2 * LBlocks;
  LOut.append(QByteArray(static_cast<qsizetype>(LBits / 8), '\0'));
  if (LBits % 8 != 0) // the last byte padded with 1 bits
    LOut.append(static_cast<char>(0xFF >> (LBits % 8)));

  LOut.append(static_cast<char>(0xFF));
  LOut.append(static_cast<char>(0xD9)); // end of image
  return LOut;
}

QByteArray GreyPng(int AWidth, int AHeight) {
  QByteArray LOut("\x89PNG\r\n\x1a\n", 8);

  QByteArray LHeader;
  AppendBigEndian32(LHeader, static_cast<uint32_t>(AWidth));
  AppendBigEndian32(LHeader, static_cast<uint32_t>(AHeight));
  LHeader.append(static_cast<char>(8)); // bit depth
  LHeader.append(static_cast<char>(0)); // greyscale
  LHeader.append(QByteArray(3, '\0'));  // deflate, adaptive filtering, no interlace
  AppendPngChunk(LOut, "IHDR", LHeader);

  // Each row: filter type 0, then the pixels.
  QByteArray LRaw;
  for (int y = 0; y < AHeight; ++y) {
    LRaw.append('\0');
    LRaw.append(QByteArray(AWidth, static_cast<char>(0x80)));
  }
  // A zlib stream of stored (uncompressed) deflate blocks.
  QByteArray LZlib("\x78\x01", 2);
  qsizetype LPos = 0;
  do {
    const qsizetype LLength = std::min<qsizetype>(65535, LRaw.size() - LPos);
    const bool LLast = LPos + LLength == LRaw.size();
    LZlib.append(static_cast<char>(LLast ? 1 : 0));
    AppendLittleEndian16(LZlib, static_cast<int>(LLength));
    AppendLittleEndian16(LZlib, static_cast<int>(~LLength & 0xFFFF));
    LZlib.append(LRaw.mid(LPos, LLength));
    LPos += LLength;
  } while (LPos < LRaw.size());
  AppendBigEndian32(LZlib, Adler32(LRaw));
  AppendPngChunk(LOut, "IDAT", LZlib);
  AppendPngChunk(LOut, "IEND", QByteArray());
  return LOut;
}

QByteArray SilentWav(int ASamples) {
  const uint32_t LDataBytes = static_cast<uint32_t>(ASamples) * 2;
  QByteArray LOut("RIFF", 4);
  AppendLittleEndian32(LOut, 4 + (8 + 16) + (8 + LDataBytes));
  LOut.append("WAVEfmt ", 8);
  AppendLittleEndian32(LOut, 16);
  AppendLittleEndian16(LOut, 1);        // PCM
  AppendLittleEndian16(LOut, 1);        // mono
  AppendLittleEndian32(LOut, 8000);     // samples per second
  AppendLittleEndian32(LOut, 8000 * 2); // bytes per second
  AppendLittleEndian16(LOut, 2);        // bytes per sample frame
  AppendLittleEndian16(LOut, 16);       // bits per sample
  LOut.append("data", 4);
  AppendLittleEndian32(LOut, LDataBytes);
  LOut.append(QByteArray(static_cast<qsizetype>(LDataBytes), '\0'));
  return LOut;
}

} // namespace testsupport
