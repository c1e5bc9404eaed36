#include "uImageHeader.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace metadata {

namespace {

// Reads the source through a window of its bytes, so that the many small
// reads of a header walk cost one read of the source per window.
class TWindowReader {
public:
  explicit TWindowReader(TByteSource &ASource) : FSource(ASource) {}

  // Copies ASize bytes at AOffset into AOut; false when the source does not
  // hold them all.
  bool Read(int64_t AOffset, uint8_t *AOut, qsizetype ASize) {
    return ReadSome(AOffset, AOut, ASize) == ASize;
  }

  // Copies up to ASize bytes at AOffset into AOut; returns how many the
  // source holds there.
  qsizetype ReadSome(int64_t AOffset, uint8_t *AOut, qsizetype ASize) {
    if (AOffset < 0 || ASize < 0 || ASize > KWindow || AOffset > INT64_MAX - KWindow)
      return 0;
    // Once the source has ended inside the window, reading it again from
    // there on gives nothing more.
    const bool LEndKnown = FEnded && AOffset >= FStart;
    if (!LEndKnown && (AOffset < FStart || AOffset + ASize > FStart + FFilled))
      Fill(AOffset);
    const qsizetype LCount =
        std::clamp<int64_t>(FStart + FFilled - AOffset, 0, static_cast<int64_t>(ASize));
    if (LCount > 0)
      std::memcpy(AOut, FBuffer + (AOffset - FStart), static_cast<size_t>(LCount));
    return LCount;
  }

  bool Byte(int64_t AOffset, uint8_t &AOut) { return Read(AOffset, &AOut, 1); }

private:
  static constexpr qsizetype KWindow = 4096;

  void Fill(int64_t AStart) {
    FStart = AStart;
    FFilled = 0;
    FEnded = false;
    // A source may give fewer bytes than asked before its end.
    while (FFilled < KWindow) {
      const qsizetype LRead =
          FSource.ReadAt(FStart + FFilled, FBuffer + FFilled, KWindow - FFilled);
      if (LRead <= 0) {
        FEnded = true;
        break;
      }
      FFilled += std::min(LRead, KWindow - FFilled);
    }
  }

  TByteSource &FSource;
  char FBuffer[KWindow];
  int64_t FStart = 0;
  qsizetype FFilled = 0;
  bool FEnded = false; // the source holds nothing past the window
};

class TMemorySource : public TByteSource {
public:
  explicit TMemorySource(QByteArrayView ABytes) : FBytes(ABytes) {}
  qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) override {
    if (AOffset < 0 || AOffset >= FBytes.size() || ASize <= 0)
      return 0;
    const qsizetype LCount = std::min<qsizetype>(ASize, FBytes.size() - AOffset);
    std::memcpy(ABuffer, FBytes.data() + AOffset, static_cast<size_t>(LCount));
    return LCount;
  }

private:
  QByteArrayView FBytes;
};

uint32_t BigEndian16(const uint8_t *ABytes) {
  return (uint32_t{ABytes[0]} << 8) | ABytes[1];
}

uint32_t BigEndian32(const uint8_t *ABytes) {
  return (BigEndian16(ABytes) << 16) | BigEndian16(ABytes + 2);
}

uint32_t LittleEndian16(const uint8_t *ABytes) {
  return uint32_t{ABytes[0]} | (uint32_t{ABytes[1]} << 8);
}

uint32_t LittleEndian24(const uint8_t *ABytes) {
  return LittleEndian16(ABytes) | (uint32_t{ABytes[2]} << 16);
}

uint32_t LittleEndian32(const uint8_t *ABytes) {
  return LittleEndian16(ABytes) | (LittleEndian16(ABytes + 2) << 16);
}

bool StartsWith(const uint8_t *ABytes, const char *APrefix, size_t ALength) {
  return std::memcmp(ABytes, APrefix, ALength) == 0;
}

// A size both of whose figures are at least 1 and fit an int.
std::optional<TImageSize> Sized(int64_t AWidth, int64_t AHeight) {
  if (AWidth < 1 || AHeight < 1 || AWidth > INT_MAX || AHeight > INT_MAX)
    return std::nullopt;
  return TImageSize{static_cast<int>(AWidth), static_cast<int>(AHeight)};
}

// ---------------------------------------------------------------------------
// JPEG: after the start of image, segments follow one another, each a marker
// (0xFF, any number of fill bytes 0xFF, a code) and, for most codes, a
// length that counts itself and the data. The frame header SOFn gives the
// size; it comes before the first scan.

// The frame headers: SOF0 to SOF15, which share the codes C0..CF with the
// Huffman tables (C4), the extension code JPG (C8) and the arithmetic coding
// conditions (CC).
bool IsFrameHeader(uint8_t ACode) {
  return ACode >= 0xC0 && ACode <= 0xCF && ACode != 0xC4 && ACode != 0xC8 && ACode != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool HasNoLength(uint8_t ACode) {
  return ACode == 0x01 || (ACode >= 0xD0 && ACode <= 0xD7);
}

// The most fill bytes before one marker's code.
constexpr int KMaxFillBytes = 65536;

std::optional<TImageSize> JpegSize(TWindowReader &AIn) {
  int64_t LPos = 2; // past the start of image
  for (int LSegment = 0; LSegment < KMaxJpegSegments; ++LSegment) {
    // Each marker stands exactly where the segment before it ended: bytes
    // that are no marker there mean a length is wrong, and a search for the
    // next 0xFF could land in an embedded thumbnail and take its size.
    uint8_t LCode = 0;
    if (!AIn.Byte(LPos, LCode) || LCode != 0xFF)
      return std::nullopt;
    int LFill = 0;
    while (LCode == 0xFF) {
      ++LPos;
      if (++LFill > KMaxFillBytes || !AIn.Byte(LPos, LCode))
        return std::nullopt;
    }
    ++LPos; // past the code
    if (HasNoLength(LCode))
      continue;
    // A scan, the end of the image or a second start before any frame
    // header: the file has none to give. 00 is no marker at all.
    if (LCode == 0xDA || LCode == 0xD9 || LCode == 0xD8 || LCode == 0x00)
      return std::nullopt;
    uint8_t LLength[2];
    if (!AIn.Read(LPos, LLength, 2))
      return std::nullopt;
    const uint32_t LSegmentLength = BigEndian16(LLength);
    if (LSegmentLength < 2)
      return std::nullopt;
    if (IsFrameHeader(LCode)) {
      // Sample precision, then the number of lines and the samples per line.
      // A height of 0 is told later by a DNL marker: not read here.
      uint8_t LFrame[5];
      if (LSegmentLength < 2 + sizeof LFrame || !AIn.Read(LPos + 2, LFrame, sizeof LFrame))
        return std::nullopt;
      return Sized(BigEndian16(LFrame + 3), BigEndian16(LFrame + 1));
    }
    LPos += LSegmentLength;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// PNG: the signature, then the IHDR chunk; Apple's optimised PNGs put a CgBI
// chunk before it.

std::optional<TImageSize> PngSize(TWindowReader &AIn) {
  int64_t LPos = 8; // past the signature
  for (int LChunk = 0; LChunk < 2; ++LChunk) {
    uint8_t LHead[8]; // length and type
    if (!AIn.Read(LPos, LHead, sizeof LHead))
      return std::nullopt;
    const uint32_t LLength = BigEndian32(LHead);
    if (LChunk == 0 && StartsWith(LHead + 4, "CgBI", 4)) {
      LPos += 8 + int64_t{LLength} + 4; // the chunk's head, data and CRC
      continue;
    }
    uint8_t LSize[8];
    if (!StartsWith(LHead + 4, "IHDR", 4) || LLength != 13 || !AIn.Read(LPos + 8, LSize, 8))
      return std::nullopt;
    return Sized(BigEndian32(LSize), BigEndian32(LSize + 4));
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// GIF: the signature and version, then the logical screen's width and height.

std::optional<TImageSize> GifSize(TWindowReader &AIn) {
  uint8_t LSize[4];
  if (!AIn.Read(6, LSize, sizeof LSize))
    return std::nullopt;
  return Sized(LittleEndian16(LSize), LittleEndian16(LSize + 2));
}

// ---------------------------------------------------------------------------
// BMP: the file header of 14 bytes, then the bitmap header, whose own size
// tells its kind: 12 bytes for the OS/2 core header (16-bit width and
// height), 16 to 64 for OS/2's second one, 40 for BITMAPINFOHEADER and 52,
// 56, 108 and 124 for its successors (32-bit width and height, signed).

std::optional<TImageSize> BmpSize(TWindowReader &AIn) {
  uint8_t LHeader[12]; // the header's size, then width and height
  if (!AIn.Read(14, LHeader, 4))
    return std::nullopt;
  const uint32_t LHeaderSize = LittleEndian32(LHeader);
  if (LHeaderSize == 12) {
    if (!AIn.Read(14, LHeader, 8))
      return std::nullopt;
    return Sized(LittleEndian16(LHeader + 4), LittleEndian16(LHeader + 6));
  }
  if (LHeaderSize < 16 || LHeaderSize > 124 || !AIn.Read(14, LHeader, 12))
    return std::nullopt;
  const int64_t LWidth = static_cast<int32_t>(LittleEndian32(LHeader + 4));
  const int64_t LHeight = static_cast<int32_t>(LittleEndian32(LHeader + 8));
  // A negative height: the rows are stored from the top down.
  return Sized(LWidth, LHeight < 0 ? -LHeight : LHeight);
}

// ---------------------------------------------------------------------------
// WebP: a RIFF file of form WEBP whose first chunk is the picture itself
// (VP8 lossy, VP8L lossless) or VP8X, whose header gives the canvas.

std::optional<TImageSize> WebpSize(TWindowReader &AIn) {
  uint8_t LChunk[8]; // type and size of the first chunk
  uint8_t LData[10];
  if (!AIn.Read(12, LChunk, sizeof LChunk))
    return std::nullopt;
  const uint32_t LChunkSize = LittleEndian32(LChunk + 4);
  if (StartsWith(LChunk, "VP8 ", 4)) {
    // A frame tag of 3 bytes, the start code 9D 01 2A, then 14 bits each of
    // width and height (the 2 bits above them scale the picture on display).
    if (LChunkSize < 10 || !AIn.Read(20, LData, 10) || !StartsWith(LData + 3, "\x9D\x01\x2A", 3))
      return std::nullopt;
    return Sized(LittleEndian16(LData + 6) & 0x3FFF, LittleEndian16(LData + 8) & 0x3FFF);
  }
  if (StartsWith(LChunk, "VP8L", 4)) {
    // The signature 2F, then 14 bits each of width - 1 and height - 1.
    if (LChunkSize < 5 || !AIn.Read(20, LData, 5) || LData[0] != 0x2F)
      return std::nullopt;
    const uint32_t LBits = LittleEndian32(LData + 1);
    return Sized((LBits & 0x3FFF) + 1, ((LBits >> 14) & 0x3FFF) + 1);
  }
  if (StartsWith(LChunk, "VP8X", 4)) {
    // Flags and reserved bytes, then 24 bits each of width - 1 and height - 1.
    if (LChunkSize < 10 || !AIn.Read(20, LData, 10))
      return std::nullopt;
    return Sized(int64_t{LittleEndian24(LData + 4)} + 1, int64_t{LittleEndian24(LData + 7)} + 1);
  }
  return std::nullopt;
}

} // namespace

std::optional<TImageSize> ReadImageHeaderSize(TByteSource &ASource) {
  TWindowReader LIn(ASource);
  // Each format's signature lies within its first 12 bytes; a shorter file
  // is compared with what it has, the rest reading as zeros.
  uint8_t LHead[12] = {};
  LIn.ReadSome(0, LHead, sizeof LHead);
  if (StartsWith(LHead, "\xFF\xD8\xFF", 3))
    return JpegSize(LIn);
  if (StartsWith(LHead, "\x89PNG\r\n\x1A\n", 8))
    return PngSize(LIn);
  if (StartsWith(LHead, "GIF87a", 6) || StartsWith(LHead, "GIF89a", 6))
    return GifSize(LIn);
  if (StartsWith(LHead, "BM", 2))
    return BmpSize(LIn);
  if (StartsWith(LHead, "RIFF", 4) && StartsWith(LHead + 8, "WEBP", 4))
    return WebpSize(LIn);
  return std::nullopt;
}

std::optional<TImageSize> ImageHeaderSize(QByteArrayView ABytes) {
  TMemorySource LSource(ABytes);
  return ReadImageHeaderSize(LSource);
}

} // namespace metadata
