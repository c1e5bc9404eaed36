// Metadata written into sample files with the libraries the engine reads it
// with, as a camera, an editor or a tag editor would have written it; and
// the skips of tests that need a library the engine was built without.
#pragma once

#include "uMetadata.h"

#include <QByteArray>

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Exif ("Exif.…") and XMP ("Xmp.…") fields by key, with their values.
using TImageFields = std::vector<std::pair<std::string, std::string>>;

// Sets AFields in the image at ANativePath (the system's bytes of its path).
// False when it could not: the build has no Exiv2, or the file is no image.
bool WriteImageFields(const QByteArray &ANativePath, const TImageFields &AFields);

// The tags of a song; texts in UTF-8, 0 for no number.
struct TSong {
  const char *FArtist;
  const char *FAlbum;
  const char *FTitle;
  unsigned FTrack;
  unsigned FYear;
};

// Tags the WAV file at ANativePath. False when it could not: the build has
// no TagLib, or the file is no WAV.
bool WriteSongTags(const QByteArray &ANativePath, const TSong &ASong);

// Tag fields by TagLib's property names ("ARTIST", "ALBUM", "TITLE"), each
// with its values in UTF-8: a field may hold several, as a tag editor writes
// two artists.
using TSongFields = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Sets AFields in the tag of the WAV file at ANativePath, as WriteSongTags.
bool WriteSongFields(const QByteArray &ANativePath, const TSongFields &AFields);

} // namespace testsupport

// Skips a Google Test that needs a library the engine was built without,
// and says why.
#define SKIP_WITHOUT_EXIV2()                                                                       \
  if (!metadata::PhotoMetadataAvailable()) {                                                       \
    GTEST_SKIP() << "built without Exiv2 (not found, or VARNWELL_METADATA=OFF): "                  \
                    "photos are not read";                                                         \
  }
#define SKIP_WITHOUT_TAGLIB()                                                                      \
  if (!metadata::MusicMetadataAvailable()) {                                                       \
    GTEST_SKIP() << "built without TagLib (not found, or VARNWELL_METADATA=OFF): "                 \
                    "music is not read";                                                           \
  }
