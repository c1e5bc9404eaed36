#include "uImageHeader.h"
#include "uMetadata.h"

#include "platform/uPlatformFileReader.h"

#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "TestSupport.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include <sys/stat.h>

namespace metadata {
// Readable failure messages for sizes.
void PrintTo(const TImageSize &ASize, std::ostream *AStream) {
  *AStream << ASize.FWidth << "x" << ASize.FHeight;
}
} // namespace metadata

using metadata::ImageHeaderSize;
using metadata::TImageSize;

namespace {

QByteArray BigEndian16(uint32_t AValue) {
  QByteArray LOut;
  LOut.append(static_cast<char>((AValue >> 8) & 0xFF));
  LOut.append(static_cast<char>(AValue & 0xFF));
  return LOut;
}

QByteArray BigEndian32(uint32_t AValue) {
  return BigEndian16(AValue >> 16) + BigEndian16(AValue & 0xFFFF);
}

QByteArray LittleEndian16(uint32_t AValue) {
  QByteArray LOut;
  LOut.append(static_cast<char>(AValue & 0xFF));
  LOut.append(static_cast<char>((AValue >> 8) & 0xFF));
  return LOut;
}

QByteArray LittleEndian24(uint32_t AValue) {
  return LittleEndian16(AValue & 0xFFFF) + QByteArray(1, static_cast<char>((AValue >> 16) & 0xFF));
}

QByteArray LittleEndian32(uint32_t AValue) {
  return LittleEndian16(AValue & 0xFFFF) + LittleEndian16(AValue >> 16);
}

QByteArray Bytes(const char *AText) {
  return QByteArray(AText, static_cast<qsizetype>(std::strlen(AText)));
}

// ---------------------------------------------------------------------------
// JPEG pieces.

QByteArray Segment(uint8_t AMarker, const QByteArray &ABody) {
  QByteArray LOut("\xFF", 1);
  LOut.append(static_cast<char>(AMarker));
  LOut.append(BigEndian16(static_cast<uint32_t>(ABody.size() + 2)));
  return LOut + ABody;
}

// A frame header of one component: precision, height, width, components.
QByteArray Frame(uint8_t AMarker, uint32_t AWidth, uint32_t AHeight) {
  return Segment(AMarker, QByteArray(1, 8) + BigEndian16(AHeight) + BigEndian16(AWidth) +
                              QByteArray("\x01\x01\x11\x00", 4));
}

// The start of image, the pieces, a tiny scan and the end of image.
QByteArray Jpeg(const QByteArray &APieces) {
  return QByteArray("\xFF\xD8", 2) + APieces +
         Segment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6)) + QByteArray("\x00\xFF\xD9", 3);
}

// An APP1 Exif block that holds, like a camera's, a thumbnail JPEG of its own:
// its frame header must not be taken for the picture's.
QByteArray ExifWithThumbnail(uint32_t AWidth, uint32_t AHeight) {
  const QByteArray LThumbnail = QByteArray("\xFF\xD8", 2) + Frame(0xC0, AWidth, AHeight);
  return Segment(0xE1, QByteArray("Exif\0\0MM\0\x2A\0\0\0\x08", 14) + LThumbnail);
}

// ---------------------------------------------------------------------------
// The other formats' headers.

QByteArray Png(uint32_t AWidth, uint32_t AHeight, uint32_t AHeaderLength = 13) {
  return QByteArray("\x89PNG\r\n\x1A\n", 8) + BigEndian32(AHeaderLength) + "IHDR" +
         BigEndian32(AWidth) + BigEndian32(AHeight) + QByteArray("\x08\x00\x00\x00\x00", 5) +
         QByteArray(4, '\0'); // CRC, not checked
}

QByteArray CgbiPng(uint32_t AWidth, uint32_t AHeight) {
  const QByteArray LPng = Png(AWidth, AHeight);
  return LPng.left(8) + BigEndian32(4) + "CgBI" + QByteArray("\x50\x00\x20\x06", 4) +
         QByteArray(4, '\0') + LPng.mid(8);
}

QByteArray Gif(const char *AVersion, uint32_t AWidth, uint32_t AHeight) {
  return Bytes(AVersion) + LittleEndian16(AWidth) + LittleEndian16(AHeight) +
         QByteArray("\x00\x00\x00\x3B", 4);
}

// A 24-bit BMP whose bitmap header is AHeaderSize bytes: 12 for the OS/2
// core header (16-bit figures), more for BITMAPINFOHEADER and its kin.
QByteArray Bmp(uint32_t AHeaderSize, int32_t AWidth, int32_t AHeight) {
  QByteArray LHeader = LittleEndian32(AHeaderSize);
  if (AHeaderSize == 12) {
    LHeader += LittleEndian16(static_cast<uint32_t>(AWidth)) +
               LittleEndian16(static_cast<uint32_t>(AHeight)) + LittleEndian16(1) +
               LittleEndian16(24);
  } else {
    LHeader += LittleEndian32(static_cast<uint32_t>(AWidth)) +
               LittleEndian32(static_cast<uint32_t>(AHeight)) + LittleEndian16(1) +
               LittleEndian16(24);
    LHeader.append(QByteArray(std::max<qsizetype>(0, AHeaderSize - LHeader.size()), '\0'));
  }
  const uint32_t LOffset = 14 + static_cast<uint32_t>(LHeader.size());
  return QByteArray("BM", 2) + LittleEndian32(LOffset + 4) + QByteArray(4, '\0') +
         LittleEndian32(LOffset) + LHeader + QByteArray(4, '\x80');
}

QByteArray Webp(const char *AChunk, const QByteArray &AData) {
  const QByteArray LChunk =
      Bytes(AChunk) + LittleEndian32(static_cast<uint32_t>(AData.size())) + AData;
  return QByteArray("RIFF", 4) + LittleEndian32(static_cast<uint32_t>(4 + LChunk.size())) + "WEBP" +
         LChunk;
}

// A lossy key frame: frame tag, start code, 14 bits of width and of height
// with the 2 scaling bits above each.
QByteArray WebpLossy(uint32_t AWidth, uint32_t AHeight, uint32_t AScale = 0,
                     const char *AStartCode = "\x9D\x01\x2A") {
  return Webp("VP8 ", QByteArray("\x10\x02\x00", 3) + QByteArray(AStartCode, 3) +
                          LittleEndian16(AWidth | (AScale << 14)) +
                          LittleEndian16(AHeight | (AScale << 14)) + QByteArray(8, '\0'));
}

QByteArray WebpLossless(uint32_t AWidth, uint32_t AHeight, char ASignature = '\x2F') {
  const uint32_t LBits = (AWidth - 1) | ((AHeight - 1) << 14);
  return Webp("VP8L", QByteArray(1, ASignature) + LittleEndian32(LBits) + QByteArray(3, '\0'));
}

QByteArray WebpExtended(uint32_t AWidth, uint32_t AHeight) {
  return Webp("VP8X",
              QByteArray(4, '\0') + LittleEndian24(AWidth - 1) + LittleEndian24(AHeight - 1));
}

// A source that hands out its bytes one at a time, or fails past AFailAt.
class TTrickleSource : public metadata::TByteSource {
public:
  TTrickleSource(const QByteArray &ABytes, int64_t AFailAt) : FBytes(ABytes), FFailAt(AFailAt) {}
  qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) override {
    ++FReads;
    if (AOffset >= FBytes.size() || AOffset >= FFailAt || ASize <= 0)
      return 0;
    ABuffer[0] = FBytes.at(static_cast<qsizetype>(AOffset));
    return 1;
  }
  int FReads = 0;

private:
  QByteArray FBytes;
  int64_t FFailAt;
};

struct TCase {
  const char *FName;
  QByteArray FBytes;
  std::optional<TImageSize> FExpected;
};

std::vector<TCase> ValidImages() {
  const QByteArray LComment = Segment(0xFE, "made by hand");
  const QByteArray LHuffman =
      Segment(0xC4, QByteArray("\x00\x01", 2) + QByteArray(15, '\0') + '\0');
  QByteArray LManySegments;
  for (int i = 0; i < metadata::KMaxJpegSegments - 1; ++i)
    LManySegments += Segment(0xFE, "x");
  return {
      {"grey JPEG", testsupport::GreyJpeg(640, 480), TImageSize{640, 480}},
      {"grey JPEG 1x1", testsupport::GreyJpeg(1, 1), TImageSize{1, 1}},
      {"grey JPEG at the largest size", testsupport::GreyJpeg(65535, 2), TImageSize{65535, 2}},
      {"JPEG with JFIF, Exif and a thumbnail before the frame",
       Jpeg(Segment(0xE0, QByteArray("JFIF\0\x01\x02\0\0\x01\0\x01\0\0", 14)) +
            ExifWithThumbnail(160, 120) + LComment + Frame(0xC0, 4000, 3000)),
       TImageSize{4000, 3000}},
      {"JPEG with fill bytes before markers",
       Jpeg(QByteArray("\xFF\xFF\xFF", 3) + LComment.mid(1) + QByteArray("\xFF", 1) +
            Frame(0xC0, 33, 44)),
       TImageSize{33, 44}},
      {"JPEG tables and restart marker before the frame",
       Jpeg(LHuffman + Segment(0xCC, QByteArray("\x00\x10", 2)) +
            Segment(0xC8, "\x11\x22\x33\x44\x55\x66") + QByteArray("\xFF\xD3\xFF\x01", 4) +
            Frame(0xC0, 8, 9)),
       TImageSize{8, 9}},
      {"progressive JPEG (SOF2)", Jpeg(Frame(0xC2, 1920, 1080)), TImageSize{1920, 1080}},
      {"lossless JPEG (SOF3)", Jpeg(Frame(0xC3, 12, 34)), TImageSize{12, 34}},
      {"arithmetic JPEG (SOF9)", Jpeg(Frame(0xC9, 100, 200)), TImageSize{100, 200}},
      {"differential arithmetic JPEG (SOF15)", Jpeg(Frame(0xCF, 7, 5)), TImageSize{7, 5}},
      {"JPEG with the most segments walked", Jpeg(LManySegments + Frame(0xC0, 21, 22)),
       TImageSize{21, 22}},
      {"grey PNG", testsupport::GreyPng(33, 17), TImageSize{33, 17}},
      {"PNG at the largest size", Png(INT_MAX, 1), TImageSize{INT_MAX, 1}},
      {"Apple's CgBI PNG", CgbiPng(57, 57), TImageSize{57, 57}},
      {"GIF87a", Gif("GIF87a", 30, 40), TImageSize{30, 40}},
      {"GIF89a", Gif("GIF89a", 65535, 1), TImageSize{65535, 1}},
      {"BMP, BITMAPINFOHEADER", Bmp(40, 10, 20), TImageSize{10, 20}},
      {"BMP stored top-down", Bmp(40, 10, -20), TImageSize{10, 20}},
      {"BMP, OS/2 core header", Bmp(12, 640, 480), TImageSize{640, 480}},
      {"BMP, OS/2 second header", Bmp(64, 5, 6), TImageSize{5, 6}},
      {"BMP, BITMAPV5HEADER top-down", Bmp(124, 300, -200), TImageSize{300, 200}},
      {"BMP at the largest size", Bmp(40, INT_MAX, -INT_MAX), TImageSize{INT_MAX, INT_MAX}},
      {"WebP lossy", WebpLossy(550, 368), TImageSize{550, 368}},
      {"WebP lossy with scaling bits", WebpLossy(16383, 2, 3), TImageSize{16383, 2}},
      {"WebP lossless", WebpLossless(400, 301), TImageSize{400, 301}},
      {"WebP lossless at the largest size", WebpLossless(16384, 16384), TImageSize{16384, 16384}},
      {"WebP extended", WebpExtended(1, 16777216), TImageSize{1, 16777216}},
  };
}

} // namespace

TEST(ImageHeaderSize, EachFormatsHeaderGivesItsSize) {
  for (const TCase &LCase : ValidImages())
    EXPECT_EQ(ImageHeaderSize(LCase.FBytes), LCase.FExpected) << LCase.FName;
}

TEST(ImageHeaderSize, DamagedOrForeignHeadersGiveNoSize) {
  const QByteArray LComment = Segment(0xFE, "comment");
  QByteArray LTooManySegments;
  for (int i = 0; i < metadata::KMaxJpegSegments; ++i)
    LTooManySegments += Segment(0xFE, "x");
  QByteArray LWrongLength = Segment(0xE1, QByteArray(40, 'e'));
  LWrongLength[3] = 20; // the length ends inside the data
  const TCase LCases[] = {
      {"nothing", QByteArray(), std::nullopt},
      {"a text", "not a picture at all\n", std::nullopt},
      {"a WAV file", testsupport::SilentWav(8), std::nullopt},
      {"JPEG start alone", QByteArray("\xFF\xD8\xFF", 3), std::nullopt},
      {"JPEG scan before any frame", Jpeg(LComment), std::nullopt},
      {"JPEG with a height told later (DNL)", Jpeg(Frame(0xC0, 64, 0)), std::nullopt},
      {"JPEG with width 0", Jpeg(Frame(0xC0, 0, 64)), std::nullopt},
      {"JPEG frame header too short", Jpeg(Segment(0xC0, QByteArray("\x08\x00\x10\x00", 4))),
       std::nullopt},
      {"JPEG segment length below 2", Jpeg(QByteArray("\xFF\xE1\x00\x01", 4) + Frame(0xC0, 9, 9)),
       std::nullopt},
      // No search for the next 0xFF: it would find the thumbnail's frame.
      {"JPEG segment length that ends inside the data",
       Jpeg(LWrongLength + ExifWithThumbnail(160, 120) + Frame(0xC0, 9, 9)), std::nullopt},
      {"JPEG second start of image", Jpeg(QByteArray("\xFF\xD8", 2) + Frame(0xC0, 9, 9)),
       std::nullopt},
      {"JPEG end of image before the frame",
       QByteArray("\xFF\xD8", 2) + LComment + QByteArray("\xFF\xD9", 2) + Frame(0xC0, 9, 9),
       std::nullopt},
      {"JPEG stuffed zero where a marker belongs",
       QByteArray("\xFF\xD8\xFF\x00", 4) + Frame(0xC0, 9, 9), std::nullopt},
      {"JPEG with more segments than are walked", Jpeg(LTooManySegments + Frame(0xC0, 21, 22)),
       std::nullopt},
      {"JPEG of fill bytes only", QByteArray("\xFF\xD8", 2) + QByteArray(200000, '\xFF'),
       std::nullopt},
      {"PNG with width 0", Png(0, 5), std::nullopt},
      {"PNG with a width beyond 2^31 - 1", Png(0x80000000u, 5), std::nullopt},
      {"PNG whose IHDR has the wrong length", Png(5, 5, 12), std::nullopt},
      {"PNG whose first chunk is not IHDR",
       QByteArray("\x89PNG\r\n\x1A\n", 8) + BigEndian32(13) + "IDAT" + QByteArray(21, '\x05'),
       std::nullopt},
      {"GIF with height 0", Gif("GIF89a", 5, 0), std::nullopt},
      {"GIF of an unknown version", Gif("GIF88a", 5, 5), std::nullopt},
      {"BMP with a negative width", Bmp(40, -10, 20), std::nullopt},
      {"BMP with the lowest height", Bmp(40, 10, INT_MIN), std::nullopt},
      {"BMP with a header of unknown size", Bmp(13, 10, 20), std::nullopt},
      {"BMP with a header beyond the largest", Bmp(200, 10, 20), std::nullopt},
      {"WebP lossy without its start code", WebpLossy(5, 5, 0, "\x9D\x01\x2B"), std::nullopt},
      {"WebP lossy with width 0", WebpLossy(0, 5), std::nullopt},
      {"WebP lossless without its signature", WebpLossless(5, 5, '\x2E'), std::nullopt},
      {"WebP whose first chunk is no picture", Webp("ALPH", QByteArray(10, '\0')), std::nullopt},
      {"WebP whose chunk is shorter than its header",
       Webp("VP8X", QByteArray(4, '\0')) + QByteArray(6, '\x01'), std::nullopt},
      {"RIFF of another form", QByteArray("RIFF\x10\0\0\0WAVEVP8X", 16) + QByteArray(14, '\0'),
       std::nullopt},
  };
  for (const TCase &LCase : LCases)
    EXPECT_EQ(ImageHeaderSize(LCase.FBytes), LCase.FExpected) << LCase.FName;
}

// A file cut off anywhere gives its full size or none: never a size read from
// bytes that are not there.
TEST(ImageHeaderSize, EveryCutOffGivesTheSizeOrNothing) {
  for (const TCase &LCase : ValidImages()) {
    for (qsizetype LCut = 0; LCut < LCase.FBytes.size(); ++LCut) {
      const std::optional<TImageSize> LSize = ImageHeaderSize(LCase.FBytes.left(LCut));
      if (LSize) {
        EXPECT_EQ(LSize, LCase.FExpected) << LCase.FName << " cut at " << LCut;
      }
    }
  }
}

// A source that gives fewer bytes than asked, or stops giving any, is read as
// far as it goes.
TEST(ReadImageHeaderSize, ShortReadsAndAFailingSource) {
  for (const TCase &LCase : ValidImages()) {
    TTrickleSource LTrickle(LCase.FBytes, INT64_MAX);
    EXPECT_EQ(metadata::ReadImageHeaderSize(LTrickle), LCase.FExpected) << LCase.FName;
    TTrickleSource LFailing(LCase.FBytes, 6);
    EXPECT_EQ(metadata::ReadImageHeaderSize(LFailing), std::nullopt) << LCase.FName;
  }
}

// The segments of a JPEG are read through a window: a header far into the
// file costs one read of the source per window, not one per segment.
TEST(ReadImageHeaderSize, ReadsTheSourceInWindows) {
  QByteArray LSegments;
  for (int i = 0; i < 1000; ++i)
    LSegments += Segment(0xFE, "abc");
  const QByteArray LJpeg = Jpeg(LSegments + Frame(0xC0, 5, 6));
  struct TCountingSource : metadata::TByteSource {
    explicit TCountingSource(const QByteArray &ABytes) : FBytes(ABytes) {}
    qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) override {
      ++FReads;
      const qsizetype LCount = std::clamp<qsizetype>(FBytes.size() - AOffset, 0, ASize);
      std::memcpy(ABuffer, FBytes.constData() + AOffset, static_cast<size_t>(LCount));
      return LCount;
    }
    QByteArray FBytes;
    int FReads = 0;
  } LSource(LJpeg);
  EXPECT_EQ(metadata::ReadImageHeaderSize(LSource), (TImageSize{5, 6}));
  // 7 KB of segments: two windows of 4 KB, each read in one call, and the
  // call that finds the end of the data.
  EXPECT_LE(LSource.FReads, 4);
}

// ---------------------------------------------------------------------------
// Files.

TEST(TFileReader, OpensRegularFilesOnlyAndReadsAtAnyOffset) {
  testsupport::TTempTree LTree;
  const QByteArray LFile =
      testsupport::NativeBytes(LTree.WriteFile(QStringLiteral("a.bin"), "0123456789"));
  const auto LReader = platform::TFileReader::Open(LFile);
  ASSERT_TRUE(LReader);
  char LBuffer[8] = {};
  EXPECT_EQ(LReader->ReadAt(3, LBuffer, 4), 4);
  EXPECT_EQ(QByteArray(LBuffer, 4), QByteArray("3456"));
  EXPECT_EQ(LReader->ReadAt(8, LBuffer, 8), 2);
  EXPECT_EQ(QByteArray(LBuffer, 2), QByteArray("89"));
  EXPECT_EQ(LReader->ReadAt(10, LBuffer, 8), 0);
  EXPECT_EQ(LReader->ReadAt(-1, LBuffer, 8), 0);

  const QByteArray LPipe = testsupport::NativeBytes(LTree.Path(QStringLiteral("pipe")));
  ASSERT_EQ(::mkfifo(LPipe.constData(), 0600), 0);
  const QByteArray LNoFile[] = {
      LPipe, // opening it for reading would wait for a writer
      testsupport::NativeBytes(LTree.MakeDir(QStringLiteral("folder"))),
      testsupport::NativeBytes(LTree.Path(QStringLiteral("missing"))),
      QByteArray("/dev/null"),
      QByteArray(),
      LFile + QByteArray("\0x", 2),
  };
  for (const QByteArray &LPath : LNoFile)
    EXPECT_FALSE(platform::TFileReader::Open(LPath)) << LPath.constData();
}

// Exiv2 reads these formats too, but not always their size: it refuses a
// GIF without a colour table, and reads every BMP header as a
// BITMAPINFOHEADER, which gives a picture stored top-down a negative height
// and the OS/2 core header nonsense. The size comes from the header reader.
TEST(ReadPhotoInfo, TheSizeOfEachFormatFromItsHeader) {
  SKIP_WITHOUT_EXIV2()
  testsupport::TTempTree LTree;
  int LIndex = 0;
  for (const TCase &LCase : ValidImages()) {
    const QString LPath = LTree.WriteFile(QStringLiteral("image%1").arg(LIndex++), LCase.FBytes);
    const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(testsupport::NativeBytes(LPath));
    EXPECT_TRUE(LInfo.FRead) << LCase.FName;
    EXPECT_EQ(LInfo.FWidth, LCase.FExpected->FWidth) << LCase.FName;
    EXPECT_EQ(LInfo.FHeight, LCase.FExpected->FHeight) << LCase.FName;
  }
}
