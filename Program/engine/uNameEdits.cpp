#include "uNameEdits.h"

#include "uZeroDate.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>

namespace nameedits {

namespace {

// Two decimal digits of AValue (0..99) appended to AText.
void AppendTwoDigits(QString &AText, int AValue) {
  AText.append(QChar(static_cast<char16_t>(u'0' + AValue / 10 % 10)));
  AText.append(QChar(static_cast<char16_t>(u'0' + AValue % 10)));
}

} // namespace

QString ToLowerUnits(const QString &AText) {
  QString LResult = AText;
  for (QChar &LChar : LResult)
    LChar = LChar.toLower();
  return LResult;
}

QString ToUpperUnits(const QString &AText) {
  QString LResult = AText;
  for (QChar &LChar : LResult)
    LChar = LChar.toUpper();
  return LResult;
}

QString FirstLetterUp(const QString &AText) {
  if (AText.isEmpty())
    return AText;
  QString LResult = AText;
  LResult[0] = LResult[0].toUpper();
  return LResult;
}

QString AllFirstUp(const QString &AText) {
  QString LResult = FirstLetterUp(AText);
  for (qsizetype i = 0; i + 1 < LResult.size(); ++i)
    if (LResult[i] == QLatin1Char(' '))
      LResult[i + 1] = LResult[i + 1].toUpper();
  return LResult;
}

QString SearchReplace(const QString &AText, const QString &ASearch, const QString &AReplace) {
  if (ASearch.isEmpty())
    return AText;
  // Both texts are compared in their capital forms, unit by unit, so that
  // positions in the capital text are positions in AText.
  const QString LUpperText = ToUpperUnits(AText);
  const QString LUpperSearch = ToUpperUnits(ASearch);
  qsizetype LFound = LUpperText.indexOf(LUpperSearch, 0, Qt::CaseSensitive);
  if (LFound < 0)
    return AText;
  QString LResult;
  LResult.reserve(AText.size());
  qsizetype LFrom = 0;
  while (LFound >= 0) {
    LResult.append(QStringView(AText).sliced(LFrom, LFound - LFrom));
    LResult.append(AReplace);
    LFrom = LFound + ASearch.size();
    LFound = LUpperText.indexOf(LUpperSearch, LFrom, Qt::CaseSensitive);
  }
  LResult.append(QStringView(AText).sliced(LFrom));
  return LResult;
}

TSearchReplace::TSearchReplace(const QString &ASearch, const QString &AReplace, bool ARegex,
                               bool AMatchCase)
    : FSearch(ASearch), FReplace(AReplace), FRegex(ARegex), FMatchCase(AMatchCase) {
  if (!FRegex || FSearch.isEmpty())
    return;
  FExpression.setPattern(FSearch);
  if (!FMatchCase)
    FExpression.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
  // The replacement read once: "$0".."$9", "${name}", "$$"; any other "$"
  // is itself.
  QString LLiteral;
  const auto LFlush = [&] {
    if (!LLiteral.isEmpty())
      FParts.push_back({LLiteral, -1, {}});
    LLiteral.clear();
  };
  for (qsizetype i = 0; i < FReplace.size(); ++i) {
    const QChar LChar = FReplace[i];
    const QChar LNext = i + 1 < FReplace.size() ? FReplace[i + 1] : QChar();
    if (LChar != u'$') {
      LLiteral += LChar;
    } else if (LNext == u'$') {
      LLiteral += u'$';
      ++i;
    } else if (LNext >= u'0' && LNext <= u'9') {
      LFlush();
      FParts.push_back({{}, LNext.unicode() - u'0', {}});
      ++i;
    } else if (LNext == u'{' && FReplace.indexOf(u'}', i + 2) > i + 2) {
      const qsizetype LEnd = FReplace.indexOf(u'}', i + 2);
      LFlush();
      FParts.push_back({{}, -1, FReplace.mid(i + 2, LEnd - i - 2)});
      i = LEnd;
    } else {
      LLiteral += LChar;
    }
  }
  LFlush();
}

bool TSearchReplace::IsValid() const {
  return !FRegex || FSearch.isEmpty() || FExpression.isValid();
}

QString TSearchReplace::ErrorText() const {
  if (IsValid())
    return {};
  return QStringLiteral("%1 (at %2)")
      .arg(FExpression.errorString())
      .arg(FExpression.patternErrorOffset());
}

QString TSearchReplace::Apply(const QString &AText) const {
  if (FSearch.isEmpty() || !IsValid())
    return AText;
  if (FRegex)
    return ApplyRegex(AText);
  if (!FMatchCase)
    return SearchReplace(AText, FSearch, FReplace);
  return QString(AText).replace(FSearch, FReplace, Qt::CaseSensitive);
}

QString TSearchReplace::ApplyRegex(const QString &AText) const {
  // A byte that is not UTF-8 is held as a lone surrogate, which no valid
  // text holds: the expression sees U+FFFD in its place, and the pieces kept
  // are cut from the name itself, so that its bytes stay where nothing matched.
  QString LSearched = AText;
  for (QChar &LChar : LSearched)
    if (LChar.unicode() >= 0xDC80 && LChar.unicode() <= 0xDCFF)
      LChar = QChar(0xFFFD);
  QString LResult;
  qsizetype LFrom = 0;
  qsizetype LLastEnd = -1;
  QRegularExpressionMatchIterator LMatches = FExpression.globalMatch(LSearched);
  while (LMatches.hasNext()) {
    const QRegularExpressionMatch LMatch = LMatches.next();
    const qsizetype LStart = LMatch.capturedStart(0);
    const qsizetype LEnd = LMatch.capturedEnd(0);
    // An empty match right after the previous match is not a match of its own.
    if (LStart == LEnd && LStart == LLastEnd)
      continue;
    LResult += QStringView(AText).sliced(LFrom, LStart - LFrom);
    for (const TPart &LPart : FParts) {
      if (LPart.FGroup < 0 && LPart.FName.isEmpty()) {
        LResult += LPart.FText;
        continue;
      }
      const qsizetype LGroupStart = LPart.FGroup >= 0 ? LMatch.capturedStart(LPart.FGroup)
                                                      : LMatch.capturedStart(LPart.FName);
      const qsizetype LGroupEnd =
          LPart.FGroup >= 0 ? LMatch.capturedEnd(LPart.FGroup) : LMatch.capturedEnd(LPart.FName);
      if (LGroupStart >= 0 && LGroupEnd >= LGroupStart)
        LResult += QStringView(AText).sliced(LGroupStart, LGroupEnd - LGroupStart);
    }
    LFrom = LEnd;
    LLastEnd = LEnd;
  }
  LResult += QStringView(AText).sliced(LFrom);
  return LResult;
}

QString CounterText(int AValue, int ADigits) {
  const TDecimalText LDigits = DecimalText(AValue);
  const QStringView LView = LDigits.View();
  QString LResult;
  if (ADigits > LView.size())
    LResult.fill(QLatin1Char('0'), ADigits - LView.size());
  LResult.append(LView);
  return LResult;
}

TDecimalText DecimalText(int AValue) {
  TDecimalText LText;
  uint32_t LMagnitude =
      AValue < 0 ? 0u - static_cast<uint32_t>(AValue) : static_cast<uint32_t>(AValue);
  do {
    LText.FBuffer[--LText.FStart] = static_cast<char16_t>(u'0' + LMagnitude % 10);
    LMagnitude /= 10;
  } while (LMagnitude != 0);
  if (AValue < 0)
    LText.FBuffer[--LText.FStart] = u'-';
  return LText;
}

int CounterValue(int ACounterStart, int ACounterStep, int AIndex) {
  // Unsigned arithmetic wraps like the 32-bit counter without undefined behaviour.
  const uint32_t LValue = static_cast<uint32_t>(ACounterStart) +
                          static_cast<uint32_t>(ACounterStep) * static_cast<uint32_t>(AIndex);
  return static_cast<int>(LValue);
}

QString DateText(const QDateTime &ADate) {
  const QDate LDate = ADate.isValid() ? ADate.date() : ZeroDateTime().date();
  QString LResult;
  LResult.reserve(8);
  AppendTwoDigits(LResult, LDate.day());
  AppendTwoDigits(LResult, LDate.month());
  const int LYear = LDate.year();
  if (LYear < 0 || LYear > 9999)
    return LResult + QString::number(LYear);
  AppendTwoDigits(LResult, LYear / 100);
  AppendTwoDigits(LResult, LYear % 100);
  return LResult;
}

QString TimeText(const QDateTime &ADate) {
  const QTime LTime = ADate.isValid() ? ADate.time() : QTime(0, 0, 0);
  QString LResult;
  LResult.reserve(6);
  AppendTwoDigits(LResult, LTime.hour());
  AppendTwoDigits(LResult, LTime.minute());
  AppendTwoDigits(LResult, LTime.second());
  return LResult;
}

} // namespace nameedits

int CompareTextAZ(QStringView ALeft, QStringView ARight) {
  const qsizetype LCommon = std::min(ALeft.size(), ARight.size());
  const QChar *LLeft = ALeft.data();
  const QChar *LRight = ARight.data();
  for (qsizetype i = 0; i < LCommon; ++i) {
    char16_t LA = LLeft[i].unicode();
    char16_t LB = LRight[i].unicode();
    if (LA == LB)
      continue;
    if (LA >= u'a' && LA <= u'z')
      LA = static_cast<char16_t>(LA - (u'a' - u'A'));
    if (LB >= u'a' && LB <= u'z')
      LB = static_cast<char16_t>(LB - (u'a' - u'A'));
    if (LA != LB)
      return LA < LB ? -1 : 1;
  }
  if (ALeft.size() == ARight.size())
    return 0;
  return ALeft.size() < ARight.size() ? -1 : 1;
}

bool SortsBefore(const TSortText &ALeft, const TSortText &ARight, bool ADown) {
  const TSortText &LA = ADown ? ARight : ALeft;
  const TSortText &LB = ADown ? ALeft : ARight;
  const int LGroup = CompareTextAZ(LA.FGroup, LB.FGroup);
  if (LGroup != 0)
    return LGroup < 0;
  return CompareTextAZ(LA.FText, LB.FText) < 0;
}

std::vector<uint32_t> SortOrderAZ(size_t ACount, const std::function<QStringView(size_t)> &ATextOf,
                                  const std::function<QStringView(size_t)> &AGroupOf, bool ADown) {
  // Each key is its text with a-z as A-Z, all of them in one buffer; a code
  // value comparison of folded texts is CompareTextAZ of the texts.
  std::u16string LChars;
  const auto LFold = [&LChars](QStringView AText) {
    const size_t LStart = LChars.size();
    LChars.append(reinterpret_cast<const char16_t *>(AText.data()),
                  static_cast<size_t>(AText.size()));
    for (size_t i = LStart; i < LChars.size(); ++i)
      if (LChars[i] >= u'a' && LChars[i] <= u'z')
        LChars[i] = static_cast<char16_t>(LChars[i] - (u'a' - u'A'));
    return std::pair<uint32_t, uint32_t>{static_cast<uint32_t>(LStart),
                                         static_cast<uint32_t>(LChars.size() - LStart)};
  };
  const auto LText = [&LChars](std::pair<uint32_t, uint32_t> AKey) {
    return QStringView(LChars.data() + AKey.first, static_cast<qsizetype>(AKey.second));
  };
  struct TKeyed {
    uint32_t FRank = 0; // the group's rank, else 0
    uint32_t FStart = 0;
    uint32_t FLength = 0;
    uint32_t FIndex = 0;
  };
  std::vector<TKeyed> LKeyed(ACount);
  // The groups by first appearance (the items of one group mostly follow
  // each other), each item's group, and the groups' ranks.
  std::vector<uint32_t> LGroupOf;
  std::vector<std::pair<uint32_t, uint32_t>> LGroups;
  if (AGroupOf) {
    QHash<QStringView, uint32_t> LSeen;
    LGroupOf.resize(ACount);
    QStringView LLast;
    uint32_t LLastGroup = 0;
    for (size_t i = 0; i < ACount; ++i) {
      const QStringView LGroup = AGroupOf(i);
      if (i == 0 || LGroup != LLast) {
        const auto LFound = LSeen.constFind(LGroup);
        if (LFound != LSeen.constEnd()) {
          LLastGroup = *LFound;
        } else {
          LLastGroup = static_cast<uint32_t>(LGroups.size());
          LSeen.insert(LGroup, LLastGroup);
          LGroups.push_back(LFold(LGroup));
        }
        LLast = LGroup;
      }
      LGroupOf[i] = LLastGroup;
    }
  }
  std::vector<uint32_t> LRankOf(LGroups.size());
  if (!LGroups.empty()) {
    std::vector<uint32_t> LOrder(LGroups.size());
    std::iota(LOrder.begin(), LOrder.end(), 0U);
    std::sort(LOrder.begin(), LOrder.end(), [&](uint32_t ALeft, uint32_t ARight) {
      return LText(LGroups[ALeft]).compare(LText(LGroups[ARight])) < 0;
    });
    // Groups whose texts fold alike share a rank.
    uint32_t LRank = 0;
    for (size_t i = 0; i < LOrder.size(); ++i) {
      if (i > 0 && LText(LGroups[LOrder[i]]) != LText(LGroups[LOrder[i - 1]]))
        ++LRank;
      LRankOf[LOrder[i]] = LRank;
    }
  }
  for (size_t i = 0; i < ACount; ++i) {
    TKeyed &LEntry = LKeyed[i];
    LEntry.FIndex = static_cast<uint32_t>(i);
    std::tie(LEntry.FStart, LEntry.FLength) = LFold(ATextOf(i));
    if (!LGroupOf.empty())
      LEntry.FRank = LRankOf[LGroupOf[i]];
  }
  std::sort(LKeyed.begin(), LKeyed.end(), [&](const TKeyed &ALeft, const TKeyed &ARight) {
    int LResult = ALeft.FRank < ARight.FRank ? -1 : ALeft.FRank > ARight.FRank ? 1 : 0;
    if (LResult == 0)
      LResult =
          LText({ALeft.FStart, ALeft.FLength}).compare(LText({ARight.FStart, ARight.FLength}));
    // Equal keys keep the order the items had, whichever the direction.
    if (LResult == 0)
      return ALeft.FIndex < ARight.FIndex;
    return ADown ? LResult > 0 : LResult < 0;
  });
  std::vector<uint32_t> LPositions;
  LPositions.reserve(ACount);
  for (const TKeyed &LEntry : LKeyed)
    LPositions.push_back(LEntry.FIndex);
  return LPositions;
}
