#include "uMetadata.h"

#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

// Readable failure messages for texts.
void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << AText.toStdString();
}

using metadata::TTakenSource;
using testsupport::TTempTree;

namespace {

QByteArray Native(const QString &APath) {
  return QFile::encodeName(APath);
}

// A file at a path given as bytes, which need not be valid UTF-8, removed
// at the end of the test: the temporary folder cannot remove a name that is
// not UTF-8 itself.
class TNativeFile {
public:
  TNativeFile(const QByteArray &APath, const QByteArray &AContent) : FPath(APath) {
    std::FILE *LFile = std::fopen(APath.constData(), "wb");
    EXPECT_NE(LFile, nullptr) << APath.constData();
    if (LFile == nullptr)
      return;
    EXPECT_EQ(std::fwrite(AContent.constData(), 1, static_cast<size_t>(AContent.size()), LFile),
              static_cast<size_t>(AContent.size()));
    std::fclose(LFile);
  }
  ~TNativeFile() { std::remove(FPath.constData()); }
  TNativeFile(const TNativeFile &) = delete;
  TNativeFile &operator=(const TNativeFile &) = delete;
  const QByteArray &Path() const { return FPath; }

private:
  QByteArray FPath;
};

using testsupport::TImageFields;
using testsupport::WriteImageFields;
using testsupport::WriteSongFields;
using testsupport::WriteSongTags;

// AJpeg with the TIFF header of its Exif block overwritten at AOffset (0 is
// the byte order, 4 the offset of the first directory) by ABytes; the
// segment's length and everything after the block stay as they were.
QByteArray DamageExif(QByteArray AJpeg, qsizetype AOffset, const QByteArray &ABytes) {
  const qsizetype LExif = AJpeg.indexOf(QByteArray("Exif\0\0", 6));
  EXPECT_GT(LExif, 0);
  if (LExif > 0)
    AJpeg.replace(LExif + 6 + AOffset, ABytes.size(), ABytes);
  return AJpeg;
}

QString DateTimeText(const std::optional<QDateTime> &ADate) {
  return ADate ? ADate->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

// Runs a test under the zone of Berlin, whose spring gap makes 2015-03-29
// 02:30 no local time at all, and restores the zone after it.
class TScopedBerlinTime {
public:
  TScopedBerlinTime() : FOld(qgetenv("TZ")), FHadOld(qEnvironmentVariableIsSet("TZ")) {
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
  }
  ~TScopedBerlinTime() {
    if (FHadOld)
      qputenv("TZ", FOld);
    else
      qunsetenv("TZ");
    ::tzset();
  }
  TScopedBerlinTime(const TScopedBerlinTime &) = delete;
  TScopedBerlinTime &operator=(const TScopedBerlinTime &) = delete;

private:
  QByteArray FOld;
  bool FHadOld;
};

} // namespace

// ---------------------------------------------------------------------------
// Dates as written.

TEST(ParseExifDateTime, KeepsTheWrittenFiguresAndRejectsBlankOrImpossibleDates) {
  const TScopedBerlinTime LBerlin;
  struct TCase {
    QByteArray FText;
    const char *FExpected; // "" when there is no date
  };
  const TCase LCases[] = {
      {"2015:03:05 14:07:09", "2015-03-05 14:07:09"},
      {QByteArray("2015:03:05 14:07:09\0", 20), "2015-03-05 14:07:09"}, // Exif's final NUL
      {"  2015:03:05 14:07:09  ", "2015-03-05 14:07:09"},
      {"2015-03-05T14:07:09", "2015-03-05 14:07:09"},           // XMP
      {"2015-03-05T14:07:09+05:00", "2015-03-05 14:07:09"},     // zone not applied
      {"2015-03-05T14:07:09.250-08:00", "2015-03-05 14:07:09"}, // nor a fraction
      {"2015/03/05 14:07:09", "2015-03-05 14:07:09"},
      {"2015:03:05 14:07", "2015-03-05 14:07:00"},
      {"2015-03-05", "2015-03-05 00:00:00"},
      {"2015:03:29 02:30:00", "2015-03-29 02:30:00"}, // inside Berlin's spring gap
      {"2016:02:29 23:59:59", "2016-02-29 23:59:59"},
      {"0001:01:01 00:00:00", "0001-01-01 00:00:00"},
      {"", ""},
      {"0000:00:00 00:00:00", ""},
      {"    :  :     :  :  ", ""},
      {"2015:00:05 14:07:09", ""},
      {"2015:02:29 14:07:09", ""},
      {"2015:03:05 24:00:00", ""},
      {"2015:03:05 14:60:00", ""},
      {"2015:03:05 14:07:61", ""},
      {"2015:03-05 14:07:09", ""},
      {"2015:03:05_14:07:09", ""},
      {"2015:03:05 14:079", ""},
      {"2015:03:05 14:07:x9", ""},
      {"2015:03:05 14", ""},
      {"2015-03", ""},
      {"15:03:05 14:07:09", ""},
      {"+015:03:05 14:07:09", ""},
      {"March 5, 2015", ""},
  };
  for (const auto &LCase : LCases) {
    const std::optional<QDateTime> LDate = metadata::ParseExifDateTime(LCase.FText);
    EXPECT_EQ(DateTimeText(LDate), QString::fromLatin1(LCase.FExpected)) << LCase.FText.data();
  }
}

// ---------------------------------------------------------------------------
// Photos.

TEST(ReadPhotoInfo, DateTakenFromTheOriginalThenTheDigitizedDateOtherwiseNone) {
  SKIP_WITHOUT_EXIV2()
  struct TCase {
    const char *FName;
    bool FPng;
    TImageFields FFields;
    const char *FExpected;
    TTakenSource FSource;
  };
  const TCase LCases[] = {
      {"both dates",
       false,
       {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"},
        {"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"}},
       "2015-03-05 14:07:09",
       TTakenSource::Original},
      {"only the digitized date",
       false,
       {{"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"}},
       "2016-01-02 03:04:05",
       TTakenSource::Digitized},
      {"a blank original date",
       false,
       {{"Exif.Photo.DateTimeOriginal", "    :  :     :  :  "},
        {"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"}},
       "2016-01-02 03:04:05",
       TTakenSource::Digitized},
      {"only the date of the last change",
       false,
       {{"Exif.Image.DateTime", "2019:09:09 09:09:09"}, {"Exif.Image.Make", "Camera"}},
       "",
       TTakenSource::None},
      {"no Exif at all", false, {}, "", TTakenSource::None},
      {"the original date in XMP only",
       false,
       {{"Xmp.exif.DateTimeOriginal", "2014-07-08T09:10:11+02:00"}},
       "2014-07-08 09:10:11",
       TTakenSource::Original},
      {"the original in XMP outranks the digitized in Exif",
       false,
       {{"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"},
        {"Xmp.exif.DateTimeOriginal", "2014-07-08T09:10:11"}},
       "2014-07-08 09:10:11",
       TTakenSource::Original},
      {"a PNG with the date in XMP",
       true,
       {{"Xmp.exif.DateTimeOriginal", "2013-12-31T23:59:58"}},
       "2013-12-31 23:59:58",
       TTakenSource::Original},
      {"a PNG with Exif",
       true,
       {{"Exif.Photo.DateTimeDigitized", "2012:06:07 08:09:10"}},
       "2012-06-07 08:09:10",
       TTakenSource::Digitized},
  };
  TTempTree LTree;
  int LIndex = 0;
  for (const auto &LCase : LCases) {
    const QString LPath =
        LTree.WriteFile(QStringLiteral("photo%1.%2")
                            .arg(LIndex++)
                            .arg(LCase.FPng ? QLatin1String("png") : QLatin1String("jpg")),
                        LCase.FPng ? testsupport::GreyPng(16, 8) : testsupport::GreyJpeg(64, 48));
    if (!LCase.FFields.empty()) {
      EXPECT_TRUE(WriteImageFields(Native(LPath), LCase.FFields));
    }
    const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(Native(LPath));
    EXPECT_TRUE(LInfo.FRead) << LCase.FName;
    EXPECT_EQ(DateTimeText(LInfo.FTaken), QString::fromLatin1(LCase.FExpected)) << LCase.FName;
    EXPECT_EQ(LInfo.FTakenSource, LCase.FSource) << LCase.FName;
  }
}

TEST(ReadPhotoInfo, WidthAndHeightFromTheImageItself) {
  SKIP_WITHOUT_EXIV2()
  struct TCase {
    const char *FName;
    QByteArray FContent;
    TImageFields FFields;
    int FWidth;
    int FHeight;
  };
  const TCase LCases[] = {
      {"a.jpg", testsupport::GreyJpeg(640, 480), {}, 640, 480},
      {"b.jpg", testsupport::GreyJpeg(9, 7), {}, 9, 7},
      {"c.jpg", testsupport::GreyJpeg(1, 1), {}, 1, 1},
      {"d.jpg", testsupport::GreyJpeg(300, 4000), {}, 300, 4000},
      {"e.png", testsupport::GreyPng(33, 17), {}, 33, 17},
      // Exif's own record of the size loses to the frame's: an editor that
      // cropped the picture may have left it as it was.
      {"f.jpg",
       testsupport::GreyJpeg(120, 80),
       {{"Exif.Photo.PixelXDimension", "4000"}, {"Exif.Photo.PixelYDimension", "3000"}},
       120,
       80},
  };
  TTempTree LTree;
  for (const auto &LCase : LCases) {
    const QString LPath = LTree.WriteFile(QString::fromLatin1(LCase.FName), LCase.FContent);
    if (!LCase.FFields.empty()) {
      EXPECT_TRUE(WriteImageFields(Native(LPath), LCase.FFields));
    }
    const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(Native(LPath));
    EXPECT_EQ(LInfo.FWidth, LCase.FWidth) << LCase.FName;
    EXPECT_EQ(LInfo.FHeight, LCase.FHeight) << LCase.FName;
  }
}

// Exiv2 gives up on a whole file whose Exif block is damaged (exiftool calls
// it a "Malformed APP1 EXIF segment"); the picture is intact, and its own
// header still gives the size.
TEST(ReadPhotoInfo, ADamagedExifBlockCostsTheDateButNotTheSize) {
  SKIP_WITHOUT_EXIV2()
  TTempTree LTree;
  const QString LSource =
      LTree.WriteFile(QStringLiteral("source.jpg"), testsupport::GreyJpeg(64, 48));
  EXPECT_TRUE(
      WriteImageFields(Native(LSource), {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"},
                                         {"Exif.Image.Make", "Camera"}}));
  const QByteArray LIntact = testsupport::ReadFile(LSource);
  struct TCase {
    const char *FName;
    QByteArray FContent;
    const char *FTaken;
  };
  const TCase LCases[] = {
      {"intact", LIntact, "2015-03-05 14:07:09"},
      {"byte order damaged", DamageExif(LIntact, 0, "XX"), ""},
      {"first directory beyond the block", DamageExif(LIntact, 4, "\xFF\xFF\xFF\xFF"), ""},
  };
  for (const TCase &LCase : LCases) {
    const QString LPath =
        LTree.WriteFile(QString::fromLatin1(LCase.FName) + QStringLiteral(".jpg"), LCase.FContent);
    const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(Native(LPath));
    EXPECT_TRUE(LInfo.FRead) << LCase.FName;
    EXPECT_EQ(DateTimeText(LInfo.FTaken), QString::fromLatin1(LCase.FTaken)) << LCase.FName;
    EXPECT_EQ(LInfo.FWidth, 64) << LCase.FName;
    EXPECT_EQ(LInfo.FHeight, 48) << LCase.FName;
  }
}

TEST(ReadPhotoInfo, FilesThatAreNoReadableImageGiveNothingAndNeverBlock) {
  SKIP_WITHOUT_EXIV2()
  TTempTree LTree;
  // A JPEG cut off inside its Exif, before the date and the frame.
  const QString LFull = LTree.WriteFile(QStringLiteral("full.jpg"), testsupport::GreyJpeg(64, 48));
  EXPECT_TRUE(
      WriteImageFields(Native(LFull), {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"},
                                       {"Exif.Image.Make", QByteArray(2000, 'x').toStdString()}}));
  const QByteArray LCut = testsupport::ReadFile(LFull).left(400);
  ASSERT_TRUE(::mkfifo(Native(LTree.Path(QStringLiteral("pipe.jpg"))).constData(), 0600) == 0);
  struct TCase {
    QString FPath;
    bool FJpegStart; // begins as a JPEG: Exiv2 may know the format and tell nothing more
  };
  const TCase LCases[] = {
      {LTree.WriteFile(QStringLiteral("notes.txt"), "not a picture at all\n"), false},
      {LTree.WriteFile(QStringLiteral("text.jpg"), "a text under a photo's name\n"), false},
      {LTree.WriteFile(QStringLiteral("empty.jpg")), false},
      {LTree.WriteFile(QStringLiteral("cut.jpg"), LCut), true},
      {LTree.WriteFile(QStringLiteral("start-only.jpg"), LCut.left(2)), true},
      {LTree.Path(QStringLiteral("missing.jpg")), false},
      {LTree.MakeDir(QStringLiteral("folder.jpg")), false},
      {LTree.Path(QStringLiteral("pipe.jpg")), false}, // opening it would wait for a writer
      {QString(), false},
  };
  for (const auto &LCase : LCases) {
    const std::string LName = LCase.FPath.toStdString();
    metadata::TPhotoInfo LInfo;
    EXPECT_NO_THROW(LInfo = metadata::ReadPhotoInfo(Native(LCase.FPath))) << LName;
    EXPECT_FALSE(LInfo.FTaken.has_value()) << LName;
    EXPECT_EQ(LInfo.FTakenSource, TTakenSource::None) << LName;
    EXPECT_EQ(LInfo.FWidth, -1) << LName;
    EXPECT_EQ(LInfo.FHeight, -1) << LName;
    if (!LCase.FJpegStart) {
      EXPECT_FALSE(LInfo.FRead) << LName;
    }
  }
  // A NUL in the bytes would cut the path short at the file above.
  EXPECT_FALSE(metadata::ReadPhotoInfo(Native(LFull) + QByteArray("\0x", 2)).FRead);
  EXPECT_TRUE(metadata::ReadPhotoInfo(Native(LFull)).FRead);
}

TEST(ReadPhotoInfo, ANameThatIsNotUtf8) {
  SKIP_WITHOUT_EXIV2()
  TTempTree LTree;
  const TNativeFile LFile(Native(LTree.Root()) + QByteArray("/ph\xff\xfe.jpg"),
                          testsupport::GreyJpeg(32, 24));
  const QByteArray &LPath = LFile.Path();
  EXPECT_TRUE(WriteImageFields(LPath, {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"}}));
  const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(LPath);
  EXPECT_EQ(DateTimeText(LInfo.FTaken), QStringLiteral("2015-03-05 14:07:09"));
  EXPECT_EQ(LInfo.FWidth, 32);
  EXPECT_EQ(LInfo.FHeight, 24);
}

// ---------------------------------------------------------------------------
// Music.

TEST(ReadMusicTags, EachFieldAsWrittenSlashesAndAllTexts) {
  SKIP_WITHOUT_TAGLIB()
  TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral("song.wav"), testsupport::SilentWav(800));
  EXPECT_TRUE(WriteSongTags(
      Native(LPath), {"Sigur Rós", "Ágætis byrjun / 坂本龍一", "AC/DC: Back/Forth", 3, 1999}));
  const metadata::TMusicTags LTags = metadata::ReadMusicTags(Native(LPath));
  EXPECT_TRUE(LTags.FRead);
  EXPECT_TRUE(LTags.HasTags());
  EXPECT_EQ(LTags.FArtist, QStringLiteral("Sigur Rós"));
  EXPECT_EQ(LTags.FAlbum, QStringLiteral("Ágætis byrjun / 坂本龍一"));
  EXPECT_EQ(LTags.FTitle, QStringLiteral("AC/DC: Back/Forth"));
  EXPECT_EQ(LTags.FTrack, 3);
  EXPECT_EQ(LTags.FYear, 1999);
}

// Several values of one field are joined with ", ": joined with a blank,
// two artists read as one name.
TEST(ReadMusicTags, SeveralValuesOfOneFieldAreJoinedWithACommaAndABlank) {
  SKIP_WITHOUT_TAGLIB()
  struct TCase {
    const char *FName;
    std::vector<std::string> FValues;
    const char *FExpected;
  };
  const TCase LCases[] = {
      {"one", {"Sigur Rós"}, "Sigur Rós"},
      {"two", {"Sigur Rós", "Jónsi"}, "Sigur Rós, Jónsi"},
      {"three, slashes kept", {"AC/DC", "Björk", "坂本龍一"}, "AC/DC, Björk, 坂本龍一"},
      {"blanks inside values",
       {"Simon & Garfunkel", "Paul Simon"},
       "Simon & Garfunkel, Paul Simon"},
  };
  TTempTree LTree;
  for (const TCase &LCase : LCases) {
    const QString LPath = LTree.WriteFile(QString::fromLatin1(LCase.FName) + QStringLiteral(".wav"),
                                          testsupport::SilentWav(800));
    EXPECT_TRUE(WriteSongFields(
        Native(LPath),
        {{"ARTIST", LCase.FValues}, {"ALBUM", LCase.FValues}, {"TITLE", LCase.FValues}}))
        << LCase.FName;
    const metadata::TMusicTags LTags = metadata::ReadMusicTags(Native(LPath));
    EXPECT_EQ(LTags.FArtist, QString::fromUtf8(LCase.FExpected)) << LCase.FName;
    EXPECT_EQ(LTags.FAlbum, QString::fromUtf8(LCase.FExpected)) << LCase.FName;
    EXPECT_EQ(LTags.FTitle, QString::fromUtf8(LCase.FExpected)) << LCase.FName;
  }
}

TEST(ReadMusicTags, MissingTagsAndFilesThatAreNoMusic) {
  SKIP_WITHOUT_TAGLIB()
  TTempTree LTree;
  const QString LUntagged =
      LTree.WriteFile(QStringLiteral("untagged.wav"), testsupport::SilentWav(800));
  const QString LTitleOnly =
      LTree.WriteFile(QStringLiteral("title-only.wav"), testsupport::SilentWav(800));
  EXPECT_TRUE(WriteSongTags(Native(LTitleOnly), {"", "", "Intro", 0, 0}));
  ASSERT_TRUE(::mkfifo(Native(LTree.Path(QStringLiteral("pipe.wav"))).constData(), 0600) == 0);
  struct TCase {
    QString FPath;
    bool FRead;
    const char *FTitle;
  };
  const TCase LCases[] = {
      {LUntagged, true, ""},
      {LTitleOnly, true, "Intro"},
      {LTree.WriteFile(QStringLiteral("notes.txt"), "not music\n"), false, ""},
      {LTree.WriteFile(QStringLiteral("photo.jpg"), testsupport::GreyJpeg(8, 8)), false, ""},
      {LTree.Path(QStringLiteral("missing.flac")), false, ""},
      {LTree.MakeDir(QStringLiteral("folder.mp3")), false, ""},
      {LTree.Path(QStringLiteral("pipe.wav")), false, ""},
  };
  for (const auto &LCase : LCases) {
    metadata::TMusicTags LTags;
    EXPECT_NO_THROW(LTags = metadata::ReadMusicTags(Native(LCase.FPath)))
        << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FRead, LCase.FRead) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FTitle, QString::fromUtf8(LCase.FTitle)) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.HasTags(), LTags.FTitle.size() > 0) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FArtist, QString()) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FAlbum, QString()) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FTrack, 0) << LCase.FPath.toStdString();
    EXPECT_EQ(LTags.FYear, 0) << LCase.FPath.toStdString();
  }
}

TEST(ReadMusicTags, ANameThatIsNotUtf8) {
  SKIP_WITHOUT_TAGLIB()
  TTempTree LTree;
  const TNativeFile LFile(Native(LTree.Root()) + QByteArray("/mu\xff.wav"),
                          testsupport::SilentWav(800));
  const QByteArray &LPath = LFile.Path();
  EXPECT_TRUE(WriteSongTags(LPath, {"Artist", "Album", "Title", 7, 2020}));
  const metadata::TMusicTags LTags = metadata::ReadMusicTags(LPath);
  EXPECT_EQ(LTags.FArtist, QStringLiteral("Artist"));
  EXPECT_EQ(LTags.FTrack, 7);
}

// ---------------------------------------------------------------------------
// Without the libraries.

TEST(Metadata, WithoutTheLibrariesNothingIsReadAndTheUnitSaysSo) {
  if (metadata::PhotoMetadataAvailable() && metadata::MusicMetadataAvailable())
    GTEST_SKIP() << "built with Exiv2 and TagLib: this case is for a build without them";
  EXPECT_FALSE(metadata::MetadataAvailable());
  TTempTree LTree;
  const QString LPhoto = LTree.WriteFile(QStringLiteral("a.jpg"), testsupport::GreyJpeg(64, 48));
  const QString LSong = LTree.WriteFile(QStringLiteral("a.wav"), testsupport::SilentWav(800));
  if (!metadata::PhotoMetadataAvailable()) {
    const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(Native(LPhoto));
    EXPECT_FALSE(LInfo.FRead);
    EXPECT_EQ(LInfo.FWidth, -1);
  }
  if (!metadata::MusicMetadataAvailable()) {
    EXPECT_FALSE(metadata::ReadMusicTags(Native(LSong)).FRead);
  }
}

// ---------------------------------------------------------------------------
// The cache.

TEST(TMetadataCache, ReadsEachFileOnceUntilToldToForgetIt) {
  SKIP_WITHOUT_EXIV2()
  SKIP_WITHOUT_TAGLIB()
  TTempTree LTree;
  const QByteArray LPhoto =
      Native(LTree.WriteFile(QStringLiteral("a.jpg"), testsupport::GreyJpeg(64, 48)));
  const QByteArray LOther =
      Native(LTree.WriteFile(QStringLiteral("b.jpg"), testsupport::GreyJpeg(64, 48)));
  const QByteArray LSong =
      Native(LTree.WriteFile(QStringLiteral("c.wav"), testsupport::SilentWav(800)));
  EXPECT_TRUE(WriteImageFields(LPhoto, {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"}}));
  EXPECT_TRUE(WriteImageFields(LOther, {{"Exif.Photo.DateTimeOriginal", "2001:01:01 01:01:01"}}));
  EXPECT_TRUE(WriteSongTags(LSong, {"", "", "First", 0, 0}));

  metadata::TMetadataCache LCache;
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LPhoto).FTaken), QStringLiteral("2015-03-05 14:07:09"));
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LOther).FTaken), QStringLiteral("2001-01-01 01:01:01"));
  EXPECT_EQ(LCache.MusicTags(LSong).FTitle, QStringLiteral("First"));

  // The files change on disk; the cache keeps what it read.
  EXPECT_TRUE(WriteImageFields(LPhoto, {{"Exif.Photo.DateTimeOriginal", "2020:02:02 02:02:02"}}));
  EXPECT_TRUE(WriteImageFields(LOther, {{"Exif.Photo.DateTimeOriginal", "2002:02:02 02:02:02"}}));
  EXPECT_TRUE(WriteSongTags(LSong, {"", "", "Second", 0, 0}));
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LPhoto).FTaken), QStringLiteral("2015-03-05 14:07:09"));
  EXPECT_EQ(LCache.MusicTags(LSong).FTitle, QStringLiteral("First"));

  // Forget reads one path again, for photos and music alike; the others stay.
  LCache.Forget(LPhoto);
  LCache.Forget(LSong);
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LPhoto).FTaken), QStringLiteral("2020-02-02 02:02:02"));
  EXPECT_EQ(LCache.MusicTags(LSong).FTitle, QStringLiteral("Second"));
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LOther).FTaken), QStringLiteral("2001-01-01 01:01:01"));

  LCache.Clear();
  EXPECT_EQ(DateTimeText(LCache.PhotoInfo(LOther).FTaken), QStringLiteral("2002-02-02 02:02:02"));
}
