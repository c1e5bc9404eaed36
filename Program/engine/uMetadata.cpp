#include "uMetadata.h"

#include "uImageHeader.h"

#include "platform/uPlatformFileReader.h"
#include "platform/uPlatformFs.h"

#include <QStringList>

#include <climits>
#include <memory>
#include <string>

#ifdef VARNWELL_HAVE_EXIV2
#include <exiv2/exiv2.hpp>
#endif

#ifdef VARNWELL_HAVE_TAGLIB
#include <fileref.h>
#include <tag.h>
#include <tfile.h>
#include <tpropertymap.h>
#include <tstring.h>
#include <tstringlist.h>
#endif

namespace metadata {

QByteArray NativePathBytes(const QString &APath) {
  QByteArray LBytes;
  if (!platform::EncodeNativePath(APath, LBytes))
    LBytes.clear();
  return LBytes;
}

bool PhotoMetadataAvailable() {
#ifdef VARNWELL_HAVE_EXIV2
  return true;
#else
  return false;
#endif
}

bool MusicMetadataAvailable() {
#ifdef VARNWELL_HAVE_TAGLIB
  return true;
#else
  return false;
#endif
}

bool MetadataAvailable() {
  return PhotoMetadataAvailable() && MusicMetadataAvailable();
}

bool TMusicTags::HasTags() const {
  return !FArtist.isEmpty() || !FAlbum.isEmpty() || !FTitle.isEmpty() || FTrack != 0 || FYear != 0;
}

// ---------------------------------------------------------------------------
// Dates.

namespace {

// Reads ACount decimal digits at APos; -1 when any of them is not a digit.
int Digits(QByteArrayView AText, qsizetype APos, int ACount) {
  if (APos + ACount > AText.size())
    return -1;
  int LValue = 0;
  for (int i = 0; i < ACount; ++i) {
    const char LChar = AText[APos + i];
    if (LChar < '0' || LChar > '9')
      return -1;
    LValue = LValue * 10 + (LChar - '0');
  }
  return LValue;
}

bool IsDateSeparator(char AChar) {
  return AChar == ':' || AChar == '-' || AChar == '/';
}

} // namespace

std::optional<QDateTime> ParseExifDateTime(QByteArrayView AText) {
  // Exif pads its texts with NULs or blanks; both are dropped at the ends.
  while (!AText.isEmpty() && (AText.front() == '\0' || AText.front() == ' '))
    AText = AText.sliced(1);
  while (!AText.isEmpty() && (AText.back() == '\0' || AText.back() == ' '))
    AText.chop(1);
  // YYYY?MM?DD
  if (AText.size() < 10 || !IsDateSeparator(AText[4]) || AText[7] != AText[4])
    return std::nullopt;
  const QDate LDate(Digits(AText, 0, 4), Digits(AText, 5, 2), Digits(AText, 8, 2));
  if (!LDate.isValid() || LDate.year() < 1)
    return std::nullopt;
  if (AText.size() == 10)
    return QDateTime(LDate, QTime(0, 0), Qt::UTC);
  // ( |T)hh:mm[:ss], then anything (a fraction, a zone) that is not read.
  if ((AText[10] != ' ' && AText[10] != 'T') || AText.size() < 16 || AText[13] != ':')
    return std::nullopt;
  const int LHour = Digits(AText, 11, 2);
  const int LMinute = Digits(AText, 14, 2);
  int LSecond = 0;
  if (AText.size() > 16 && AText[16] == ':') {
    LSecond = Digits(AText, 17, 2);
    if (LSecond < 0)
      return std::nullopt;
  } else if (AText.size() > 16 && AText[16] >= '0' && AText[16] <= '9') {
    return std::nullopt; // "14:079" is no time
  }
  if (LHour < 0 || LMinute < 0)
    return std::nullopt;
  const QTime LTime(LHour, LMinute, LSecond);
  if (!LTime.isValid())
    return std::nullopt;
  return QDateTime(LDate, LTime, Qt::UTC);
}

// ---------------------------------------------------------------------------
// Photos.

#ifdef VARNWELL_HAVE_EXIV2

namespace {

class TFileSource : public TByteSource {
public:
  explicit TFileSource(const platform::TFileReader &AFile) : FFile(AFile) {}
  qsizetype ReadAt(int64_t AOffset, char *ABuffer, qsizetype ASize) override {
    return FFile.ReadAt(AOffset, ABuffer, ASize);
  }

private:
  const platform::TFileReader &FFile;
};

// The size the header of the image file at ANativePath gives, read by the
// program's own reader.
std::optional<TImageSize> HeaderSizeOfFile(const QByteArray &ANativePath) {
  const std::unique_ptr<platform::TFileReader> LFile = platform::TFileReader::Open(ANativePath);
  if (!LFile)
    return std::nullopt;
  TFileSource LSource(*LFile);
  return ReadImageHeaderSize(LSource);
}

// Serialises the XMP toolkit, which Exiv2 asks to lock when several threads
// may parse XMP at once.
void LockXmp(void *AMutex, bool ALock) {
  auto *LMutex = static_cast<std::mutex *>(AMutex);
  if (ALock)
    LMutex->lock();
  else
    LMutex->unlock();
}

// Once per process, before the first file: Exiv2 writes no warnings to
// standard error (a damaged file is only a file without metadata here), the
// XMP toolkit is ready for more than one thread, and HEIF and AVIF files are
// read where Exiv2 was built to read them.
void PrepareExiv2() {
  static std::once_flag LOnce;
  std::call_once(LOnce, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    static std::mutex LXmpMutex;
    Exiv2::XmpParser::initialize(&LockXmp, &LXmpMutex);
#if defined(EXV_ENABLE_BMFF) && EXIV2_TEST_VERSION(0, 27, 4)
    Exiv2::enableBMFF(true);
#endif
  });
}

// The keys looked up in every photo, made once: making a key searches
// Exiv2's tables of tag names.
struct TKeys {
  Exiv2::ExifKey FOriginal{"Exif.Photo.DateTimeOriginal"};
  Exiv2::XmpKey FXmpOriginal{"Xmp.exif.DateTimeOriginal"};
  Exiv2::ExifKey FDigitized{"Exif.Photo.DateTimeDigitized"};
  Exiv2::XmpKey FXmpDigitized{"Xmp.exif.DateTimeDigitized"};
  Exiv2::ExifKey FPixelX{"Exif.Photo.PixelXDimension"};
  Exiv2::ExifKey FPixelY{"Exif.Photo.PixelYDimension"};
};

const TKeys &Keys() {
  static const TKeys LKeys;
  return LKeys;
}

template <typename TData, typename TKey>
std::optional<QDateTime> DateField(const TData &AData, const TKey &AKey) {
  const auto LPos = AData.findKey(AKey);
  if (LPos == AData.end())
    return std::nullopt;
  const std::string LText = LPos->toString();
  return ParseExifDateTime(QByteArrayView(LText.data(), static_cast<qsizetype>(LText.size())));
}

// A pixel count from an Exif tag; -1 when absent or not a positive number.
int ExifCount(const Exiv2::ExifData &AExif, const Exiv2::ExifKey &AKey) {
  const auto LPos = AExif.findKey(AKey);
  if (LPos == AExif.end() || LPos->count() == 0)
    return -1;
  const long LValue = LPos->toLong();
  return LValue > 0 && LValue <= INT_MAX ? static_cast<int>(LValue) : -1;
}

TPhotoInfo ReadWithExiv2(const QByteArray &ANativePath) {
  const std::string LPath = ANativePath.toStdString();
  PrepareExiv2();
  // A FileIo of its own rather than ImageFactory::open(path), which would
  // take a name starting with "-" for standard input and "http://" for a
  // download. Exiv2 0.27 hands ownership around in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Exiv2::BasicIo::AutoPtr LIo(new Exiv2::FileIo(LPath));
  Exiv2::Image::AutoPtr LImage = Exiv2::ImageFactory::open(LIo);
#pragma GCC diagnostic pop
  TPhotoInfo LInfo;
  if (LImage.get() == nullptr)
    return LInfo;
  LImage->readMetadata();
  LInfo.FRead = true;

  // The first date found, in this order: the Exif field, then the same
  // field in XMP (where PNG and some editors keep it).
  const TKeys &LKeys = Keys();
  const Exiv2::ExifData &LExif = LImage->exifData();
  const Exiv2::XmpData &LXmp = LImage->xmpData();
  const auto LFirstDate = [&](const Exiv2::ExifKey &AExifKey, const Exiv2::XmpKey &AXmpKey) {
    const std::optional<QDateTime> LDate = DateField(LExif, AExifKey);
    return LDate ? LDate : DateField(LXmp, AXmpKey);
  };
  if (const auto LOriginal = LFirstDate(LKeys.FOriginal, LKeys.FXmpOriginal)) {
    LInfo.FTaken = LOriginal;
    LInfo.FTakenSource = TTakenSource::Original;
  } else if (const auto LDigitized = LFirstDate(LKeys.FDigitized, LKeys.FXmpDigitized)) {
    LInfo.FTaken = LDigitized;
    LInfo.FTakenSource = TTakenSource::Digitized;
  }

  // The size the format's own header gives, as Exiv2 read it or else as the
  // program's own reader reads it; Exif's record of it only when the header
  // tells none. Exiv2 reads every BMP's header as a BITMAPINFOHEADER: the
  // 16-bit figures of the OS/2 core header come out as nonsense and a picture
  // stored top-down gets a negative height, so BMPs go to the own reader.
  if (LImage->imageType() != Exiv2::ImageType::bmp && LImage->pixelWidth() > 0 &&
      LImage->pixelHeight() > 0) {
    LInfo.FWidth = LImage->pixelWidth();
    LInfo.FHeight = LImage->pixelHeight();
  } else if (const std::optional<TImageSize> LHeader = HeaderSizeOfFile(ANativePath)) {
    LInfo.FWidth = LHeader->FWidth;
    LInfo.FHeight = LHeader->FHeight;
  } else {
    const int LWidth = ExifCount(LExif, LKeys.FPixelX);
    const int LHeight = ExifCount(LExif, LKeys.FPixelY);
    if (LWidth > 0 && LHeight > 0) {
      LInfo.FWidth = LWidth;
      LInfo.FHeight = LHeight;
    }
  }
  return LInfo;
}

} // namespace

#endif

TPhotoInfo ReadPhotoInfo(const QByteArray &ANativePath) {
#ifdef VARNWELL_HAVE_EXIV2
  if (!platform::IsRegularFileNative(ANativePath))
    return TPhotoInfo();
  try {
    TPhotoInfo LInfo = ReadWithExiv2(ANativePath);
    if (LInfo.FRead)
      return LInfo;
  } catch (...) {
    // Exiv2 throws for unknown formats and damaged files alike; a damaged
    // Exif block makes it give up on the whole file, dates and size.
  }
  // The picture itself may still be intact: its own header gives the size.
  TPhotoInfo LInfo;
  if (const std::optional<TImageSize> LHeader = HeaderSizeOfFile(ANativePath)) {
    LInfo.FRead = true;
    LInfo.FWidth = LHeader->FWidth;
    LInfo.FHeight = LHeader->FHeight;
  }
  return LInfo;
#else
  Q_UNUSED(ANativePath);
  return TPhotoInfo();
#endif
}

// ---------------------------------------------------------------------------
// Music.

#ifdef VARNWELL_HAVE_TAGLIB

namespace {

QString FromTagLib(const TagLib::String &AText) {
  const std::string LUtf8 = AText.to8Bit(true);
  return QString::fromUtf8(LUtf8.data(), static_cast<qsizetype>(LUtf8.size()));
}

int FromTagLib(unsigned int AValue) {
  return AValue <= INT_MAX ? static_cast<int>(AValue) : 0;
}

// A text field of the tag. A field may hold several values (two artists);
// TagLib's own accessors join them with a blank, which reads as one name, so
// they are taken from the file's property map and joined with ", ". A field
// with one value is read as the accessor reads it (AValue).
QString TextField(const TagLib::PropertyMap &AProperties, const char *AKey,
                  const TagLib::String &AValue) {
  const auto LPos = AProperties.find(AKey);
  if (LPos == AProperties.end() || LPos->second.size() < 2)
    return FromTagLib(AValue);
  QStringList LValues;
  for (const TagLib::String &LValue : LPos->second) {
    const QString LText = FromTagLib(LValue);
    if (!LText.isEmpty())
      LValues.append(LText);
  }
  return LValues.join(QStringLiteral(", "));
}

TMusicTags ReadWithTagLib(const QByteArray &ANativePath) {
  // The audio properties (length, bit rate) are not needed, and reading them
  // can mean scanning a whole file.
  const TagLib::FileRef LFile(ANativePath.constData(), false);
  TMusicTags LTags;
  if (LFile.isNull())
    return LTags;
  LTags.FRead = true;
  const TagLib::Tag *LTag = LFile.tag();
  if (LTag == nullptr)
    return LTags;
  const TagLib::PropertyMap LProperties = LFile.file()->properties();
  LTags.FArtist = TextField(LProperties, "ARTIST", LTag->artist());
  LTags.FAlbum = TextField(LProperties, "ALBUM", LTag->album());
  LTags.FTitle = TextField(LProperties, "TITLE", LTag->title());
  LTags.FTrack = FromTagLib(LTag->track());
  LTags.FYear = FromTagLib(LTag->year());
  return LTags;
}

} // namespace

#endif

TMusicTags ReadMusicTags(const QByteArray &ANativePath) {
#ifdef VARNWELL_HAVE_TAGLIB
  if (!platform::IsRegularFileNative(ANativePath))
    return TMusicTags();
  try {
    return ReadWithTagLib(ANativePath);
  } catch (...) {
    return TMusicTags();
  }
#else
  Q_UNUSED(ANativePath);
  return TMusicTags();
#endif
}

// ---------------------------------------------------------------------------
// The cache.

TPhotoInfo TMetadataCache::PhotoInfo(const QByteArray &ANativePath) {
  {
    const std::lock_guard LGuard(FLock);
    const auto LPos = FPhotos.constFind(ANativePath);
    if (LPos != FPhotos.constEnd())
      return *LPos;
  }
  // Read without the lock, so that a reader of other paths is not kept
  // waiting for the disk.
  TPhotoInfo LInfo = ReadPhotoInfo(ANativePath);
  const std::lock_guard LGuard(FLock);
  auto LPos = FPhotos.find(ANativePath);
  if (LPos == FPhotos.end())
    LPos = FPhotos.insert(ANativePath, std::move(LInfo));
  return *LPos;
}

TMusicTags TMetadataCache::MusicTags(const QByteArray &ANativePath) {
  {
    const std::lock_guard LGuard(FLock);
    const auto LPos = FMusic.constFind(ANativePath);
    if (LPos != FMusic.constEnd())
      return *LPos;
  }
  TMusicTags LTags = ReadMusicTags(ANativePath);
  const std::lock_guard LGuard(FLock);
  auto LPos = FMusic.find(ANativePath);
  if (LPos == FMusic.end())
    LPos = FMusic.insert(ANativePath, std::move(LTags));
  return *LPos;
}

void TMetadataCache::Forget(const QByteArray &ANativePath) {
  const std::lock_guard LGuard(FLock);
  FPhotos.remove(ANativePath);
  FMusic.remove(ANativePath);
}

void TMetadataCache::Clear() {
  const std::lock_guard LGuard(FLock);
  FPhotos.clear();
  FMusic.clear();
}

bool TMetadataCache::HasPhotoInfo(const QByteArray &ANativePath) const {
  const std::lock_guard LGuard(FLock);
  return FPhotos.contains(ANativePath);
}

bool TMetadataCache::HasMusicTags(const QByteArray &ANativePath) const {
  const std::lock_guard LGuard(FLock);
  return FMusic.contains(ANativePath);
}

bool TMetadataCache::IsEmpty() const {
  const std::lock_guard LGuard(FLock);
  return FPhotos.isEmpty() && FMusic.isEmpty();
}

} // namespace metadata
