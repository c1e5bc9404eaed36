// The metadata tokens on 2,000 photos: a file list named by the mask
// "[EXIF:yyyyMMdd]_[W]x[H]" (the date taken, the width and the height of
// each, read through the list's cache, emptied before each run), against
// Exiv2 reading the same fields in a plain loop and writing the same names.
#include "Bench.h"

#include "SampleMedia.h"
#include "uFileInfo.h"
#include "uMetadata.h"
#include "uNameRecipe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
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

  // The list is made once; each run reads every photo again.
  TFileList LList;
  for (const QByteArray &LPath : LPaths)
    LList.AddFileInfo(std::make_unique<TFileInfo>(QFile::decodeName(LPath)));
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[EXIF:yyyyMMdd]_[W]x[H]");
  const auto LEngine = [&] {
    LList.MetadataCache().Clear();
    LList.ApplyRecipe(LRecipe, 0);
  };
  std::vector<std::string> LBaselineNames;
  const auto LBaseline = [&] {
    LBaselineNames.clear();
    const Exiv2::ExifKey LKey("Exif.Photo.DateTimeOriginal");
    for (const std::string &LPath : LStdPaths) {
      std::string LName;
      try {
        auto LImage = Exiv2::ImageFactory::open(LPath);
        LImage->readMetadata();
        const Exiv2::ExifData &LExif = LImage->exifData();
        const auto LPos = LExif.findKey(LKey);
        if (LPos != LExif.end()) {
          const std::string LText = LPos->toString();
          if (LText.size() >= 10)
            LName = LText.substr(0, 4) + LText.substr(5, 2) + LText.substr(8, 2);
        }
        LName += '_' + std::to_string(LImage->pixelWidth()) + 'x' +
                 std::to_string(LImage->pixelHeight());
      } catch (const std::exception &) {
      }
      LBaselineNames.push_back(std::move(LName));
    }
  };

  LEngine(); // warm the caches for both, and Exiv2's one-time set-up
  double LEngineSeconds = 1e30;
  double LBaselineSeconds = 1e30;
  for (int i = 0; i < KRepeats; ++i) {
    LBaselineSeconds = std::min(LBaselineSeconds, bench::TimeSeconds(LBaseline));
    LEngineSeconds = std::min(LEngineSeconds, bench::TimeSeconds(LEngine));
  }
  int LDisagree = 0;
  for (int i = 0; i < LList.Count(); ++i)
    if (i >= static_cast<int>(LBaselineNames.size()) ||
        LList[i].NewName().toStdString() != LBaselineNames[static_cast<size_t>(i)])
      ++LDisagree;
  if (LDisagree != 0 || static_cast<int>(LPaths.size()) != KPhotoCount)
    std::printf("metadata-read: the engine and the baseline disagree (%d names, %d photos)\n",
                LDisagree, static_cast<int>(LPaths.size()));
  bench::PrintRatio("metadata-read", LEngineSeconds, LBaselineSeconds);
}

#else

VARNWELL_BENCH("metadata-read") {
  bench::PrintFigure("metadata-read", "skipped, built without Exiv2");
}

#endif
