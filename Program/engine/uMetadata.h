// What a file holds inside, for the mask tokens that name a file after its
// content: when a photo was taken and its size in pixels (read by Exiv2;
// where Exiv2 cannot read a JPEG, PNG, GIF, BMP or WebP, the size comes from
// the image's own header, see uImageHeader.h), the artist, album, title,
// track and year of a piece of music (read by TagLib).
// A build without either library still offers the unit and says so through
// the *Available functions. Nothing here is an error: a missing file, a file
// of another kind or a tag that is not there gives the empty value, and no
// exception leaves the unit.
//
// Paths are passed as the operating system's bytes (NativePathBytes of the
// item's path): a name need not be valid UTF-8.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace metadata {

// The system's bytes of APath, losslessly (a name that is not UTF-8 keeps its
// bytes); empty for a path no file can have.
QByteArray NativePathBytes(const QString &APath);

// The engine was built with Exiv2 (photos), with TagLib (music), with both.
bool PhotoMetadataAvailable();
bool MusicMetadataAvailable();
bool MetadataAvailable();

// Which field gave a photo's date taken.
enum class TTakenSource {
  None,     // neither date is in the file: the caller uses the modification time
  Original, // Exif DateTimeOriginal (or XMP exif:DateTimeOriginal)
  Digitized // Exif DateTimeDigitized (or XMP exif:DateTimeDigitized)
};

struct TPhotoInfo {
  // The file was opened as an image format the library knows, or, where the
  // library gave up on it (a damaged Exif block), its own header gave the
  // size.
  bool FRead = false;
  // The date taken, exactly as written in the file. Exif dates carry no time
  // zone, so the value is held as Qt::UTC: date() and time() give the written
  // figures, and no daylight-saving rule of the local zone can move a time
  // that falls into its gap. It is never converted; a caller must not call
  // toLocalTime() on it either. Empty when FTakenSource is None.
  std::optional<QDateTime> FTaken;
  TTakenSource FTakenSource = TTakenSource::None;
  // The size in pixels as stored, not turned by the Orientation tag; -1 when
  // unknown.
  int FWidth = -1;
  int FHeight = -1;
};

struct TMusicTags {
  // The file was opened as a music format the library knows.
  bool FRead = false;
  // The texts as written, "/" and all: the caller makes them fit a file name.
  // Several values of one field (two artists) are joined with ", ".
  QString FArtist;
  QString FAlbum;
  QString FTitle;
  int FTrack = 0; // 0 when absent
  int FYear = 0;  // 0 when absent
  // At least one of the fields above is set.
  bool HasTags() const;
};

// Reads the date taken and the size of the image at ANativePath: JPEG, TIFF,
// PNG, HEIF and AVIF, WebP and the raw formats Exiv2 knows. Only regular
// files are opened. When Exiv2 cannot read the file, or tells no size, the
// size comes from the image's own header; a damaged Exif block then costs
// the date taken, never the size. In a build without Exiv2 nothing is read.
TPhotoInfo ReadPhotoInfo(const QByteArray &ANativePath);

// Reads the tags of the music file at ANativePath: MP3, FLAC, Ogg, Opus,
// MP4/M4A, WAV, AIFF and the other formats TagLib knows. Only regular files
// are opened.
TMusicTags ReadMusicTags(const QByteArray &ANativePath);

// An Exif or XMP date and time: "2015:03:05 14:07:09" as Exif writes it,
// also with "-" or "/" between the date's figures, "T" before the time, the
// seconds left out, or a fraction and a zone after them (ignored, the time
// stays as written). A date alone means its midnight. Empty for a blank or
// zero date ("0000:00:00 00:00:00", "    :  :     :  :  ") and anything that
// is not a real date and time.
std::optional<QDateTime> ParseExifDateTime(QByteArrayView AText);

// What was read from the files of one list, by path: each file is read once,
// however often the masks are applied. One worker thread may fill the cache
// while another thread reads it. Two threads asking at once for a path not
// yet read may both read it; the first answer is kept.
class TMetadataCache {
public:
  TPhotoInfo PhotoInfo(const QByteArray &ANativePath);
  TMusicTags MusicTags(const QByteArray &ANativePath);
  // Drops what was read for one path, so that the next request reads the file
  // again (after it changed or was renamed); Clear drops everything.
  void Forget(const QByteArray &ANativePath);
  void Clear();
  // What was read for ANativePath already; nothing has been read at all.
  bool HasPhotoInfo(const QByteArray &ANativePath) const;
  bool HasMusicTags(const QByteArray &ANativePath) const;
  bool IsEmpty() const;

private:
  mutable std::mutex FLock;
  QHash<QByteArray, TPhotoInfo> FPhotos;
  QHash<QByteArray, TMusicTags> FMusic;
};

} // namespace metadata
