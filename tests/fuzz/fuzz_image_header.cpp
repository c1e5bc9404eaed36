// Fuzzes the reader of image headers: any bytes are read as an image file,
// and the promises of the reader are checked on the result.
//
// Input: the bytes of the file, as they are.
//
// The size read is none, or a width and a height of at least 1 that fit an
// int. Reading the same bytes through a source that gives a few bytes per
// call gives the same answer as reading them from memory. A header lies in
// the bytes it is read from: a file cut short gives the same size or none,
// and bytes added at its end change nothing once a size was found.

#include "FuzzSupport.h"

#include "uImageHeader.h"

#include <QByteArray>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace {

using metadata::TImageSize;

// Hands out at most 7 bytes a call, so that reads cross the reader's window
// and every read of a field may come in pieces.
class TTrickleSource : public metadata::TByteSource {
public:
  explicit TTrickleSource(QByteArrayView ABytes) : FBytes(ABytes) {}
  qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) override {
    fuzz::Check(AOffset >= 0 && ASize >= 0, "a read at a negative offset or of a negative size");
    if (AOffset >= FBytes.size())
      return 0;
    const qsizetype LCount = std::min<qsizetype>({ASize, 7, FBytes.size() - AOffset});
    std::memcpy(ABuffer, FBytes.data() + AOffset, static_cast<size_t>(LCount));
    return LCount;
  }

private:
  QByteArrayView FBytes;
};

bool Plausible(const std::optional<TImageSize> &ASize) {
  return !ASize || (ASize->FWidth >= 1 && ASize->FHeight >= 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  const QByteArrayView LBytes(reinterpret_cast<const char *>(AData), static_cast<qsizetype>(ASize));
  const std::optional<TImageSize> LSize = metadata::ImageHeaderSize(LBytes);
  fuzz::Check(Plausible(LSize), "a size below 1");

  TTrickleSource LTrickle(LBytes);
  fuzz::Check(metadata::ReadImageHeaderSize(LTrickle) == LSize,
              "short reads give another answer than one read");

  for (const qsizetype LCut : {LBytes.size() / 2, LBytes.size() - 1}) {
    if (LCut < 0)
      continue;
    const std::optional<TImageSize> LCutSize = metadata::ImageHeaderSize(LBytes.first(LCut));
    fuzz::Check(!LCutSize || LCutSize == LSize, "a file cut short gives another size");
  }

  if (LSize) {
    const QByteArray LLonger = LBytes.toByteArray() + QByteArray(16, '\xFF');
    fuzz::Check(metadata::ImageHeaderSize(LLonger) == LSize,
                "bytes added at the end change the size");
  }
  return 0;
}
