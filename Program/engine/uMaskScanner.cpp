#include "uMaskScanner.h"

#include "uClock.h"
#include "uNameEdits.h"
#include "uZeroDate.h"

namespace masks {

const TToken CTokens[15] = {
    {u"[N]", true, false, TTokenValue::OldName, TTokenValue::OldName},
    {u"[C]", true, true, TTokenValue::Counter, TTokenValue::Counter},
    {u"[YMD]", true, false, TTokenValue::ItemDate, TTokenValue::ClockDate},
    {u"[hms]", true, false, TTokenValue::ItemTime, TTokenValue::ClockTime},
    {u"[E]", false, true, TTokenValue::OldExt, TTokenValue::None},
    {u"[DATE:", true, false, TTokenValue::ItemTimeFormat, TTokenValue::ClockTimeFormat, true},
    {u"[EXIF:", true, false, TTokenValue::TakenFormat, TTokenValue::None, true},
    {u"[W]", true, false, TTokenValue::Width, TTokenValue::None},
    {u"[H]", true, false, TTokenValue::Height, TTokenValue::None},
    {u"[ARTIST]", true, false, TTokenValue::Artist, TTokenValue::None},
    {u"[ALBUM]", true, false, TTokenValue::Album, TTokenValue::None},
    {u"[TITLE]", true, false, TTokenValue::Title, TTokenValue::None},
    {u"[TRACK]", true, false, TTokenValue::Track, TTokenValue::None},
    {u"[TRACK:", true, false, TTokenValue::TrackDigits, TTokenValue::None, true},
    {u"[YEAR]", true, false, TTokenValue::Year, TTokenValue::None},
};

namespace {

TTokenValue ValueFor(const TToken &AToken, TItemKind AKind) {
  return AKind == TItemKind::File ? AToken.FForFile : AToken.FForFolder;
}

void Append(TNameBuffer &AOut, QStringView AText) {
  AOut.append(AText.data(), AText.size());
}

void AppendCounter(TNameBuffer &AOut, int AValue, int ADigits) {
  const nameedits::TDecimalText LDigits = nameedits::DecimalText(AValue);
  const QStringView LView = LDigits.View();
  for (qsizetype i = LView.size(); i < ADigits; ++i)
    AOut.append(QLatin1Char('0'));
  Append(AOut, LView);
}

QDateTime ItemTime(const TTokenSource &ASource) {
  return ASource.FItemTime ? ASource.FItemTime(ASource.FItemTimeContext) : QDateTime();
}

const QDateTime &Clock(const TTokenSource &ASource) {
  static const QDateTime LNone;
  if (!ASource.FClock)
    return LNone;
  if (!*ASource.FClock)
    *ASource.FClock = clock_source::Now();
  return **ASource.FClock;
}

// A text from a format or from a file's metadata: "/" and NUL cannot stand
// in a name and become "_".
void AppendNameSafe(TNameBuffer &AOut, QStringView AText) {
  for (const QChar LChar : AText)
    AOut.append(LChar == QLatin1Char('/') || LChar.isNull() ? QLatin1Char('_') : LChar);
}

void Note(const TTokenSource &ASource, uint16_t ANote) {
  if (ASource.FNotes)
    *ASource.FNotes |= ANote;
}

QByteArray NativePath(const TTokenSource &ASource) {
  return ASource.FItemPath ? metadata::NativePathBytes(ASource.FItemPath(ASource.FItemTimeContext))
                           : QByteArray();
}

// The photo's metadata, read once per source; none in a build without Exiv2.
const metadata::TPhotoInfo *Photo(const TTokenSource &ASource) {
  if (!metadata::PhotoMetadataAvailable()) {
    Note(ASource, mnNoPhotoLibrary);
    return nullptr;
  }
  if (!ASource.FPhotoRead) {
    const QByteArray LPath = NativePath(ASource);
    ASource.FPhotoRead =
        ASource.FMetadata ? ASource.FMetadata->PhotoInfo(LPath) : metadata::ReadPhotoInfo(LPath);
  }
  return &*ASource.FPhotoRead;
}

const metadata::TMusicTags *Music(const TTokenSource &ASource) {
  if (!metadata::MusicMetadataAvailable()) {
    Note(ASource, mnNoMusicLibrary);
    return nullptr;
  }
  if (!ASource.FMusicRead) {
    const QByteArray LPath = NativePath(ASource);
    ASource.FMusicRead =
        ASource.FMetadata ? ASource.FMetadata->MusicTags(LPath) : metadata::ReadMusicTags(LPath);
  }
  return &*ASource.FMusicRead;
}

void AppendFormatted(TNameBuffer &AOut, const QDateTime &ATime, QStringView AFormat) {
  AppendNameSafe(AOut, ATime.toString(AFormat));
}

void AppendTaken(const TTokenSource &ASource, QStringView AFormat, TNameBuffer &AOut) {
  const metadata::TPhotoInfo *LPhoto = Photo(ASource);
  if (!LPhoto)
    return;
  if (LPhoto->FTaken) {
    if (LPhoto->FTakenSource == metadata::TTakenSource::Digitized)
      Note(ASource, mnTakenDigitized);
    AppendFormatted(AOut, *LPhoto->FTaken, AFormat);
    return;
  }
  Note(ASource, mnTakenFileTime);
  const QDateTime LTime = ItemTime(ASource);
  AppendFormatted(AOut, LTime.isValid() ? LTime : ZeroDateTime(), AFormat);
}

void AppendSize(const TTokenSource &ASource, bool AWidth, TNameBuffer &AOut) {
  const metadata::TPhotoInfo *LPhoto = Photo(ASource);
  if (!LPhoto)
    return;
  const int LValue = AWidth ? LPhoto->FWidth : LPhoto->FHeight;
  if (LValue < 0) {
    Note(ASource, mnNoSize);
    return;
  }
  AppendCounter(AOut, LValue, 1);
}

void AppendTag(const TTokenSource &ASource, QString metadata::TMusicTags::*AField,
               uint16_t AMissing, TNameBuffer &AOut) {
  const metadata::TMusicTags *LTags = Music(ASource);
  if (!LTags)
    return;
  const QString &LText = LTags->*AField;
  if (LText.isEmpty())
    Note(ASource, AMissing);
  AppendNameSafe(AOut, LText);
}

void AppendTagNumber(const TTokenSource &ASource, int metadata::TMusicTags::*AField, int ADigits,
                     uint16_t AMissing, TNameBuffer &AOut) {
  const metadata::TMusicTags *LTags = Music(ASource);
  if (!LTags)
    return;
  const int LValue = LTags->*AField;
  if (LValue <= 0) {
    Note(ASource, AMissing);
    return;
  }
  AppendCounter(AOut, LValue, ADigits);
}

} // namespace

TTokenMatch MatchAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind) {
  const QStringView LRest = AMask.sliced(APos);
  for (const TToken &LToken : CTokens) {
    if (!(APart == TMaskPart::Name ? LToken.FInName : LToken.FInExtension))
      continue;
    const TTokenValue LValue = ValueFor(LToken, AKind);
    if (LValue == TTokenValue::None)
      continue;
    if (!LRest.startsWith(LToken.FText))
      continue;
    if (!LToken.FHasFormat)
      return {&LToken, {}, LToken.FText.size()};
    const qsizetype LClose = LRest.indexOf(QLatin1Char(']'), LToken.FText.size());
    if (LClose < 0)
      continue;
    const QStringView LFormat = LRest.sliced(LToken.FText.size(), LClose - LToken.FText.size());
    // The digits of a track number: one figure from 1 to 9.
    if (LValue == TTokenValue::TrackDigits &&
        !(LFormat.size() == 1 && LFormat[0] >= QLatin1Char('1') && LFormat[0] <= QLatin1Char('9')))
      continue;
    return {&LToken, LFormat, LClose + 1};
  }
  return {};
}

const TToken *TokenAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind) {
  return MatchAt(AMask, APos, APart, AKind).FToken;
}

void AppendTokenValue(const TToken &AToken, const TTokenSource &ASource, TNameBuffer &AOut) {
  AppendTokenValue(TTokenMatch{&AToken, {}, AToken.FText.size()}, ASource, AOut);
}

void AppendTokenValue(const TTokenMatch &AMatch, const TTokenSource &ASource, TNameBuffer &AOut) {
  switch (ValueFor(*AMatch.FToken, ASource.FKind)) {
  case TTokenValue::OldName:
    Append(AOut, ASource.FOldName);
    break;
  case TTokenValue::OldExt:
    Append(AOut, ASource.FOldExt);
    break;
  case TTokenValue::Counter:
    AppendCounter(AOut, ASource.FCounterValue, ASource.FCounterDigits);
    break;
  case TTokenValue::ItemDate:
    Append(AOut, nameedits::DateText(ItemTime(ASource)));
    break;
  case TTokenValue::ItemTime:
    Append(AOut, nameedits::TimeText(ItemTime(ASource)));
    break;
  case TTokenValue::ClockDate:
    Append(AOut, nameedits::DateText(Clock(ASource)));
    break;
  case TTokenValue::ClockTime:
    Append(AOut, nameedits::TimeText(Clock(ASource)));
    break;
  case TTokenValue::ItemTimeFormat: {
    const QDateTime LTime = ItemTime(ASource);
    AppendFormatted(AOut, LTime.isValid() ? LTime : ZeroDateTime(), AMatch.FFormat);
    break;
  }
  case TTokenValue::ClockTimeFormat:
    AppendFormatted(AOut, Clock(ASource), AMatch.FFormat);
    break;
  case TTokenValue::TakenFormat:
    AppendTaken(ASource, AMatch.FFormat, AOut);
    break;
  case TTokenValue::Width:
  case TTokenValue::Height:
    AppendSize(ASource, ValueFor(*AMatch.FToken, ASource.FKind) == TTokenValue::Width, AOut);
    break;
  case TTokenValue::Artist:
    AppendTag(ASource, &metadata::TMusicTags::FArtist, mnNoArtist, AOut);
    break;
  case TTokenValue::Album:
    AppendTag(ASource, &metadata::TMusicTags::FAlbum, mnNoAlbum, AOut);
    break;
  case TTokenValue::Title:
    AppendTag(ASource, &metadata::TMusicTags::FTitle, mnNoTitle, AOut);
    break;
  case TTokenValue::Track:
    AppendTagNumber(ASource, &metadata::TMusicTags::FTrack, 1, mnNoTrack, AOut);
    break;
  case TTokenValue::TrackDigits:
    AppendTagNumber(ASource, &metadata::TMusicTags::FTrack, AMatch.FFormat[0].unicode() - '0',
                    mnNoTrack, AOut);
    break;
  case TTokenValue::Year:
    AppendTagNumber(ASource, &metadata::TMusicTags::FYear, 1, mnNoYear, AOut);
    break;
  case TTokenValue::None:
    break;
  }
}

qsizetype ScanStep(QStringView AMask, qsizetype APos, TMaskPart APart, const TTokenSource &ASource,
                   TNameBuffer &AOut) {
  if (AMask[APos] == QLatin1Char('[')) {
    const TTokenMatch LMatch = MatchAt(AMask, APos, APart, ASource.FKind);
    if (LMatch.FToken) {
      AppendTokenValue(LMatch, ASource, AOut);
      return LMatch.FLength;
    }
  }
  AOut.append(AMask[APos]);
  return 1;
}

void ScanMask(QStringView AMask, TMaskPart APart, const TTokenSource &ASource, TNameBuffer &AOut) {
  const qsizetype LSize = AMask.size();
  for (qsizetype LPos = 0; LPos < LSize;) {
    // Plain text up to the next "[" is copied in one piece.
    const qsizetype LBracket = AMask.indexOf(QLatin1Char('['), LPos);
    const qsizetype LPlainEnd = LBracket < 0 ? LSize : LBracket;
    if (LPlainEnd > LPos)
      Append(AOut, AMask.sliced(LPos, LPlainEnd - LPos));
    if (LBracket < 0)
      break;
    LPos = LBracket + ScanStep(AMask, LBracket, APart, ASource, AOut);
  }
}

bool HasCounterToken(QStringView AMask) {
  return AMask.contains(u"[C]");
}

uint8_t MetadataNeeds(QStringView AMask, TMaskPart APart, TItemKind AKind) {
  uint8_t LNeeds = mdNone;
  for (qsizetype LPos = AMask.indexOf(QLatin1Char('[')); LPos >= 0;
       LPos = AMask.indexOf(QLatin1Char('['), LPos + 1)) {
    const TTokenMatch LMatch = MatchAt(AMask, LPos, APart, AKind);
    if (!LMatch.FToken)
      continue;
    switch (ValueFor(*LMatch.FToken, AKind)) {
    case TTokenValue::TakenFormat:
    case TTokenValue::Width:
    case TTokenValue::Height:
      LNeeds |= mdPhoto;
      break;
    case TTokenValue::Artist:
    case TTokenValue::Album:
    case TTokenValue::Title:
    case TTokenValue::Track:
    case TTokenValue::TrackDigits:
    case TTokenValue::Year:
      LNeeds |= mdMusic;
      break;
    default:
      break;
    }
    LPos += LMatch.FLength - 1;
  }
  return LNeeds;
}

} // namespace masks
