// The size in pixels that an image's own header gives, read without any
// image library: for a photo whose metadata the photo library refuses to
// read (a damaged Exif block makes it give up on the whole file) while the
// picture itself is intact, and for images whose header the library reads
// wrongly or not at all.
//
// Formats: JPEG (the first frame header, SOF0 to SOF15), PNG (IHDR, also
// after Apple's CgBI chunk), GIF (the logical screen), BMP (the OS/2 core
// header and BITMAPINFOHEADER with its successors; a negative height, a
// picture stored top-down, counts as its amount) and WebP (VP8, VP8L and
// VP8X).
//
// Any bytes are safe input: the reader never reads past what the source
// holds, follows at most KMaxJpegSegments segments of a JPEG and gives up at
// the first byte that breaks the format's structure rather than guess. A
// damaged file gives no size, never a wrong one read from the wrong place.
#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace metadata {

struct TImageSize {
  int FWidth = 0; // both at least 1
  int FHeight = 0;
  bool operator==(const TImageSize &) const = default;
};

// Where the reader takes the image's bytes from, at any offset.
class TByteSource {
public:
  virtual ~TByteSource() = default;
  // Copies up to ASize bytes starting at AOffset (never negative) into
  // ABuffer and returns how many it copied: fewer than asked at the end of
  // the data, 0 past it or when reading fails.
  virtual qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) = 0;
};

// The most JPEG segments (markers with their data) walked in search of the
// frame header: a real file has a few dozen at most before it.
inline constexpr int KMaxJpegSegments = 1024;

// The size the header of the image in ASource gives; nothing for a format
// the reader does not know, a header that is cut off or damaged, and a size
// of 0 or beyond INT_MAX in either direction.
std::optional<TImageSize> ReadImageHeaderSize(TByteSource &ASource);

// The same for an image held in memory (or its first bytes).
std::optional<TImageSize> ImageHeaderSize(QByteArrayView ABytes);

} // namespace metadata
