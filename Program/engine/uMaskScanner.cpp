#include "uMaskScanner.h"

#include "uClock.h"
#include "uNameEdits.h"

namespace masks {

const TToken CTokens[5] = {
    {u"[N]", true, false, TTokenValue::OldName, TTokenValue::OldName},
    {u"[C]", true, true, TTokenValue::Counter, TTokenValue::Counter},
    {u"[YMD]", true, false, TTokenValue::ItemDate, TTokenValue::ClockDate},
    {u"[hms]", true, false, TTokenValue::ItemTime, TTokenValue::ClockTime},
    {u"[E]", false, true, TTokenValue::OldExt, TTokenValue::None},
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

} // namespace

const TToken *TokenAt(QStringView AMask, qsizetype APos, TMaskPart APart, TItemKind AKind) {
  const QStringView LRest = AMask.sliced(APos);
  for (const TToken &LToken : CTokens) {
    if (!(APart == TMaskPart::Name ? LToken.FInName : LToken.FInExtension))
      continue;
    if (ValueFor(LToken, AKind) == TTokenValue::None)
      continue;
    if (LRest.startsWith(LToken.FText))
      return &LToken;
  }
  return nullptr;
}

void AppendTokenValue(const TToken &AToken, const TTokenSource &ASource, TNameBuffer &AOut) {
  switch (ValueFor(AToken, ASource.FKind)) {
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
  case TTokenValue::None:
    break;
  }
}

qsizetype ScanStep(QStringView AMask, qsizetype APos, TMaskPart APart, const TTokenSource &ASource,
                   TNameBuffer &AOut) {
  if (AMask[APos] == QLatin1Char('[')) {
    if (const TToken *LToken = TokenAt(AMask, APos, APart, ASource.FKind)) {
      AppendTokenValue(*LToken, ASource, AOut);
      return LToken->FText.size();
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

} // namespace masks
