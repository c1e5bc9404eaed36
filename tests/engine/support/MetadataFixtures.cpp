#include "MetadataFixtures.h"

#include <exception>

#ifdef VARNWELL_HAVE_EXIV2
#include <exiv2/exiv2.hpp>
#endif
#ifdef VARNWELL_HAVE_TAGLIB
#include <tag.h>
#include <tpropertymap.h>
#include <tstring.h>
#include <tstringlist.h>
#include <wavfile.h>
#endif

namespace testsupport {

bool WriteImageFields(const QByteArray &ANativePath, const TImageFields &AFields) {
#ifdef VARNWELL_HAVE_EXIV2
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  try {
    auto LImage = Exiv2::ImageFactory::open(ANativePath.toStdString());
    LImage->readMetadata();
    for (const auto &[LKey, LValue] : AFields) {
      if (LKey.rfind("Xmp.", 0) == 0)
        LImage->xmpData()[LKey] = LValue;
      else
        LImage->exifData()[LKey] = LValue;
    }
    LImage->writeMetadata();
    return true;
  } catch (const std::exception &) {
    return false;
  }
#else
  (void)ANativePath;
  (void)AFields;
  return false;
#endif
}

bool WriteSongTags(const QByteArray &ANativePath, const TSong &ASong) {
#ifdef VARNWELL_HAVE_TAGLIB
  TagLib::RIFF::WAV::File LFile(ANativePath.constData());
  if (!LFile.isValid())
    return false;
  TagLib::Tag *LTag = LFile.tag();
  LTag->setArtist(TagLib::String(ASong.FArtist, TagLib::String::UTF8));
  LTag->setAlbum(TagLib::String(ASong.FAlbum, TagLib::String::UTF8));
  LTag->setTitle(TagLib::String(ASong.FTitle, TagLib::String::UTF8));
  LTag->setTrack(ASong.FTrack);
  LTag->setYear(ASong.FYear);
  return LFile.save();
#else
  (void)ANativePath;
  (void)ASong;
  return false;
#endif
}

bool WriteSongFields(const QByteArray &ANativePath, const TSongFields &AFields) {
#ifdef VARNWELL_HAVE_TAGLIB
  TagLib::RIFF::WAV::File LFile(ANativePath.constData());
  if (!LFile.isValid())
    return false;
  TagLib::PropertyMap LProperties = LFile.properties();
  for (const auto &[LKey, LValues] : AFields) {
    TagLib::StringList LList;
    for (const std::string &LValue : LValues)
      LList.append(TagLib::String(LValue, TagLib::String::UTF8));
    LProperties.replace(TagLib::String(LKey, TagLib::String::UTF8), LList);
  }
  LFile.setProperties(LProperties);
  return LFile.save();
#else
  (void)ANativePath;
  (void)AFields;
  return false;
#endif
}

} // namespace testsupport
