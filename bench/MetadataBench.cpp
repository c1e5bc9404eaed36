// The metadata unit on 2,000 photos: the date taken, the width and the
// height of each, read through the engine and by Exiv2 in a plain loop.
#include "Bench.h"

#include "SampleMedia.h"
#include "uMetadata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef VARNWELL_HAVE_EXIV2
#include <exiv2/exiv2.hpp>
#endif

#ifdef VARNWELL_HAVE_EXIV2

namespace {

constexpr int KPhotoCount = 2000;
constexpr int KRepeats = 5;

// A folder of JPEGs of a few sizes around 1600 x 1200, each with the Exif a
// camera writes (maker, model, exposure, both dates, the size), made before
// anything is timed.
class TPhotoFolder {
public:
  TPhotoFolder() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-bench-photos-XXXXXX")) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    for (int i = 0; i < KPhotoCount; ++i) {
      const int LWidth = 1600 + 8 * (i % 5);
      const int LHeight = 1200 + 8 * (i % 3);
      char LName[32];
      std::snprintf(LName, sizeof LName, "/IMG_%04d.JPG", i);
      const QString LFilePath = FDir.path() + QString::fromLatin1(LName);
      const QByteArray LPath = QFile::encodeName(LFilePath);
      QFile LFile(LFilePath);
      if (!LFile.open(QIODevice::WriteOnly) ||
          LFile.write(testsupport::GreyJpeg(LWidth, LHeight)) < 0)
        continue;
      LFile.close();
      char LDate[32];
      std::snprintf(LDate, sizeof LDate, "2015:%02d:%02d %02d:%02d:%02d", 1 + i % 12, 1 + i % 28,
                    i % 24, i % 60, (i * 7) % 60);
      auto LImage = Exiv2::ImageFactory::open(LPath.toStdString());
      LImage->readMetadata();
      Exiv2::ExifData &LExif = LImage->exifData();
      LExif["Exif.Image.Make"] = "Varnwell";
      LExif["Exif.Image.Model"] = "Bench Camera";
      LExif["Exif.Image.DateTime"] = LDate;
      LExif["Exif.Photo.DateTimeOriginal"] = LDate;
      LExif["Exif.Photo.DateTimeDigitized"] = LDate;
      LExif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
      LExif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
      LExif["Exif.Photo.ISOSpeedRatings"] = static_cast<uint16_t>(200);
      LExif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(LWidth);
      LExif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(LHeight);
      LImage->writeMetadata();
      FPaths.push_back(LPath);
    }
  }
  const std::vector<QByteArray> &Paths() const { return FPaths; }

private:
  QTemporaryDir FDir;
  std::vector<QByteArray> FPaths;
};

} // namespace

VARNWELL_BENCH("metadata-read") {
  const TPhotoFolder LFolder;
  const std::vector<QByteArray> &LPaths = LFolder.Paths();
  std::vector<std::string> LStdPaths;
  for (const QByteArray &LPath : LPaths)
    LStdPaths.push_back(LPath.toStdString());

  long long LEngineSum = 0;
  long long LBaselineSum = 0;
  const auto LEngine = [&] {
    LEngineSum = 0;
    for (const QByteArray &LPath : LPaths) {
      const metadata::TPhotoInfo LInfo = metadata::ReadPhotoInfo(LPath);
      LEngineSum +=
          LInfo.FWidth + LInfo.FHeight + (LInfo.FTaken ? LInfo.FTaken->time().second() : 0);
    }
  };
  const auto LBaseline = [&] {
    LBaselineSum = 0;
    const Exiv2::ExifKey LKey("Exif.Photo.DateTimeOriginal");
    for (const std::string &LPath : LStdPaths) {
      try {
        auto LImage = Exiv2::ImageFactory::open(LPath);
        LImage->readMetadata();
        const Exiv2::ExifData &LExif = LImage->exifData();
        const auto LPos = LExif.findKey(LKey);
        if (LPos != LExif.end()) {
          const std::string LText = LPos->toString();
          LBaselineSum += LText.size() >= 19 ? std::stoi(LText.substr(17, 2)) : 0;
        }
        LBaselineSum += LImage->pixelWidth() + LImage->pixelHeight();
      } catch (const std::exception &) {
      }
    }
  };

  LEngine(); // warm the caches for both, and Exiv2's one-time set-up
  double LEngineSeconds = 1e30;
  double LBaselineSeconds = 1e30;
  for (int i = 0; i < KRepeats; ++i) {
    LBaselineSeconds = std::min(LBaselineSeconds, bench::TimeSeconds(LBaseline));
    LEngineSeconds = std::min(LEngineSeconds, bench::TimeSeconds(LEngine));
  }
  if (LEngineSum != LBaselineSum || static_cast<int>(LPaths.size()) != KPhotoCount)
    std::printf("metadata-read: the engine and the baseline disagree (%lld, %lld, %d photos)\n",
                LEngineSum, LBaselineSum, static_cast<int>(LPaths.size()));
  bench::PrintRatio("metadata-read", LEngineSeconds, LBaselineSeconds);
}

#else

VARNWELL_BENCH("metadata-read") {
  bench::PrintFigure("metadata-read", "skipped, built without Exiv2");
}

#endif
