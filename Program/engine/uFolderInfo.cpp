#include "uFolderInfo.h"

#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "uClock.h"
#include "uNameEdits.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uZeroDate.h"

#include <QLocale>
#include <QStringView>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <map>
#include <typeinfo>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define VARNWELL_HAS_CXXABI 1
#endif

namespace {

// The text kept for an unexpected failure: the exception type's name
// immediately followed by its message.
QString ExceptionText(const std::exception &AException) {
  const char *LName = typeid(AException).name();
  QString LTypeName = QString::fromUtf8(LName);
#ifdef VARNWELL_HAS_CXXABI
  int LStatus = 0;
  std::unique_ptr<char, decltype(&std::free)> LDemangled(
      abi::__cxa_demangle(LName, nullptr, nullptr, &LStatus), &std::free);
  if (LStatus == 0 && LDemangled)
    LTypeName = QString::fromUtf8(LDemangled.get());
#endif
  return LTypeName + QString::fromUtf8(AException.what());
}

// The long time format of the locale without its time-zone field: the time
// of a folder is shown as a wall-clock time, like the date beside it.
QString LongTimeFormatWithoutZone(const QLocale &ALocale) {
  const QString LFormat = ALocale.timeFormat(QLocale::LongFormat);
  QString LResult;
  LResult.reserve(LFormat.size());
  bool LQuoted = false;
  for (const QChar LChar : LFormat) {
    if (LChar == u'\'')
      LQuoted = !LQuoted;
    if (!LQuoted && LChar == u't')
      continue;
    LResult += LChar;
  }
  return LResult.trimmed();
}

bool IsDelimited(const QString &APath) {
  return !APath.isEmpty() && APath.back() == platform::PathDelimiter();
}

} // namespace

// ===========================================================================
// TFolderInfo

TFolderInfo::TFolderInfo(const QString &ALocation, const TFolderEntry &AFileInfo)
    : FOldName(AFileInfo.FName), FNewName(AFileInfo.FName), FRealName(AFileInfo.FName),
      FDate(AFileInfo.FLastWrite), FLocation(ALocation) {}

QString TFolderInfo::SizeStr() {
  if (FSize < 0) {
    FSize = GetFolderSize(FullFolderName());
    FSizeStr = SizeToStr(FSize);
  }
  return FSizeStr;
}

int TFolderInfo::Level() const {
  if (FLevel < 0)
    FLevel = static_cast<int>(FullFolderName().count(platform::PathDelimiter()));
  return FLevel;
}

QString TFolderInfo::FullFolderName() const {
  return platform::JoinPath(FLocation, FRealName);
}

QString TFolderInfo::DateStr() const {
  const QDateTime LDate = FDate.isValid() ? FDate.toLocalTime() : ZeroDateTime();
  const QLocale LLocale;
  QString LText = LLocale.toString(LDate.date(), QLocale::ShortFormat);
  const QTime LTime = LDate.time();
  // Milliseconds are not shown, so they do not count either.
  if (LTime.hour() != 0 || LTime.minute() != 0 || LTime.second() != 0)
    LText += u' ' + LLocale.toString(LTime, LongTimeFormatWithoutZone(LLocale));
  return LText;
}

int TFolderInfo::CheckSpecialSumbol(const QString &ANameMask, int ACounter) {
  std::optional<QDateTime> LNow;
  return ScanToken(ANameMask, ACounter, LNow);
}

int TFolderInfo::ScanToken(const QString &ANameMask, int ACounter, std::optional<QDateTime> &ANow) {
  const QStringView LRest = QStringView(ANameMask).sliced(ACounter - 1);
  const auto LNow = [&ANow]() -> const QDateTime & {
    // One reading of the clock per scan, so that "[YMD]" and "[hms]" of one
    // name always describe the same moment.
    if (!ANow)
      ANow = clock_source::Now();
    return *ANow;
  };
  if (LRest.startsWith(u"[N]")) {
    FNewName += FOldName;
    return 3;
  }
  if (LRest.startsWith(u"[C]")) {
    FNewName += GetDigitNumber(nameedits::CounterValue(FCounterStart, FCounterStep, FIndex));
    return 3;
  }
  if (LRest.startsWith(u"[YMD]")) {
    FNewName += nameedits::DateText(LNow());
    return 5;
  }
  if (LRest.startsWith(u"[hms]")) {
    FNewName += nameedits::TimeText(LNow());
    return 5;
  }
  FNewName += LRest.front();
  return 1;
}

QString TFolderInfo::GetDigitNumber(int ANumber) const {
  return nameedits::CounterText(ANumber, FCntDigitNumber);
}

void TFolderInfo::FolderNameMaskApply(const QString &ANameMask) {
  std::optional<QDateTime> LNow;
  ApplyMask(ANameMask, LNow);
}

void TFolderInfo::ApplyMask(const QString &ANameMask, std::optional<QDateTime> &ANow) {
  FNewName.clear();
  const qsizetype LLength = ANameMask.size();
  qsizetype LPos = 0; // counted from 0 here; CheckSpecialSumbol counts from 1
  while (LPos < LLength) {
    const qsizetype LBracket = ANameMask.indexOf(u'[', LPos);
    const qsizetype LPlainEnd = LBracket < 0 ? LLength : LBracket;
    if (LPlainEnd > LPos)
      FNewName += QStringView(ANameMask).sliced(LPos, LPlainEnd - LPos);
    if (LBracket < 0)
      break;
    LPos = LBracket + ScanToken(ANameMask, static_cast<int>(LBracket) + 1, ANow);
  }
}

void TFolderInfo::SetLowercase() {
  FNewName = nameedits::ToLowerUnits(FNewName);
}

void TFolderInfo::SetUppercase() {
  FNewName = nameedits::ToUpperUnits(FNewName);
}

void TFolderInfo::SetFirstLetterUp() {
  FNewName = nameedits::FirstLetterUp(FNewName);
}

void TFolderInfo::SetAllFirstUp() {
  FNewName = nameedits::AllFirstUp(FNewName);
}

void TFolderInfo::RenameFolder() {
  FisRenamed = false;
  try {
    const QString LSource = FullFolderName();
    if (!platform::DirectoryExists(LSource)) {
      FRenameErrorText = rs::DirectoryNotExist;
      return;
    }
    // A name with a delimiter, a NUL, or "." / ".." would move the folder out
    // of its Location (or onto its parent); an empty one names no folder.
    if (platform::IsInvalidEntryName(FNewName)) {
      FRenameErrorText = rs::InvalidFileName;
      return;
    }
    const QString LTarget = platform::JoinPath(FLocation, FNewName);
    // A folder that already carries its new name needs no move.
    if (LTarget == LSource || platform::MoveNoReplace(LSource, LTarget)) {
      FisRenamed = true;
      FRealName = FNewName;
    }
  } catch (const std::exception &LException) {
    FExeptionText = ExceptionText(LException);
    FisRenamed = false;
  }
}

void TFolderInfo::RollbackFolder() {
  try {
    const QString LSource = FullFolderName();
    const QString LTarget = platform::JoinPath(FLocation, FOldName);
    const bool LMoved = LTarget == LSource ? platform::DirectoryExists(LSource)
                                           : bool(platform::MoveNoReplace(LSource, LTarget));
    if (LMoved) {
      FisRenamed = false;
      FRealName = FOldName;
    } else {
      FisRenamed = true;
    }
  } catch (const std::exception &LException) {
    FExeptionText = ExceptionText(LException);
  }
}

void TFolderInfo::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  FNewName = nameedits::SearchReplace(FNewName, ASearcStr, AReplaceStr);
}

void TFolderInfo::CheckLocation(const QString &AOldLocation, const QString &ANewLocation) {
  if (!FLocation.startsWith(AOldLocation))
    return;
  if (FLocation.size() == AOldLocation.size() ||
      FLocation[AOldLocation.size()] == platform::PathDelimiter())
    FLocation = ANewLocation + FLocation.sliced(AOldLocation.size());
}

// ===========================================================================
// The location index of a batch.
//
// After a folder moved from O to N, every item whose Location is O or lies
// below O (begins with O and a delimiter) gets its Location corrected. The
// items are kept in a map ordered by Location; the locations below O form one
// contiguous range, from O + delimiter up to O + the code unit that follows
// the delimiter. So a move touches only the items it concerns, and a batch
// costs about the number of items times their depth.

namespace {

class TLocationIndex {
public:
  explicit TLocationIndex(const std::vector<std::unique_ptr<TFolderInfo>> &AItems) {
    for (const auto &LItem : AItems)
      FByLocation[LItem->Location()].push_back(LItem.get());
  }

  void Moved(const QString &AOld, const QString &ANew) {
    using TMap = decltype(FByLocation);
    std::vector<TMap::node_type> LNodes;
    const auto LExact = FByLocation.find(AOld);
    if (LExact != FByLocation.end())
      LNodes.push_back(FByLocation.extract(LExact));
    const QChar LDelimiter = platform::PathDelimiter();
    const QString LFrom = AOld + LDelimiter;
    const QString LTo = AOld + QChar(char16_t(LDelimiter.unicode() + 1));
    auto LIt = FByLocation.lower_bound(LFrom);
    const auto LEnd = FByLocation.lower_bound(LTo);
    while (LIt != LEnd)
      LNodes.push_back(FByLocation.extract(LIt++));
    for (auto &LNode : LNodes) {
      for (TFolderInfo *LItem : LNode.mapped())
        LItem->CheckLocation(AOld, ANew);
      LNode.key() = LNode.mapped().front()->Location();
      const auto LInserted = FByLocation.insert(std::move(LNode));
      if (!LInserted.inserted) {
        auto &LTarget = LInserted.position->second;
        LTarget.insert(LTarget.end(), LInserted.node.mapped().begin(),
                       LInserted.node.mapped().end());
      }
    }
  }

private:
  std::map<QString, std::vector<TFolderInfo *>> FByLocation;
};

} // namespace

// ===========================================================================
// TFolderList

TFolderList::~TFolderList() {
  ClearList();
}

void TFolderList::Add(std::unique_ptr<TFolderInfo> AItem) {
  FItems.push_back(std::move(AItem));
}

void TFolderList::Delete(int AIndex) {
  const auto LPos = FItems.begin() + AIndex;
  RemoveFromDictionary(**LPos);
  FItems.erase(LPos);
}

void TFolderList::Sort(const std::function<bool(const TFolderInfo &, const TFolderInfo &)> &ALess) {
  std::sort(
      FItems.begin(), FItems.end(),
      [&ALess](const std::unique_ptr<TFolderInfo> &ALeft,
               const std::unique_ptr<TFolderInfo> &ARight) { return ALess(*ALeft, *ARight); });
}

void TFolderList::RemoveFromDictionary(const TFolderInfo &AItem) {
  FFullNameHash.remove(AItem.FullFolderName());
}

void TFolderList::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  for (const auto &LItem : FItems)
    LItem->SearchReplace_NewName(ASearcStr, AReplaceStr);
}

bool TFolderList::GetIsCounterInNameMask() const {
  return FFolderNameMask.contains(u"[C]", Qt::CaseSensitive);
}

int TFolderList::ExecuteRenaming() {
  SortFolderbyLocation();
  TLocationIndex LIndex(FItems);
  int LFailures = 0;
  for (const auto &LItem : FItems) {
    const QString LOldFullName = LItem->FullFolderName();
    LItem->RenameFolder();
    if (LItem->isRenamed())
      LIndex.Moved(LOldFullName, LItem->FullFolderName());
    else
      ++LFailures;
  }
  return LFailures;
}

int TFolderList::ExecuteRollback() {
  SortFolderbyLocation();
  TLocationIndex LIndex(FItems);
  int LFailures = 0;
  for (const auto &LItem : FItems) {
    if (!LItem->isRenamed()) {
      LItem->SetRenameErrorText(QString());
      continue;
    }
    const QString LOldFullName = LItem->FullFolderName();
    LItem->RollbackFolder();
    if (LItem->isRenamed())
      ++LFailures;
    else
      LIndex.Moved(LOldFullName, LItem->FullFolderName());
  }
  return LFailures;
}

bool TFolderList::HasRenamedFolders() const {
  return std::any_of(FItems.begin(), FItems.end(),
                     [](const std::unique_ptr<TFolderInfo> &AItem) { return AItem->isRenamed(); });
}

void TFolderList::SetCounter(int Start, int Step, int Number) {
  for (const auto &LItem : FItems) {
    LItem->SetCounterStart(Start);
    LItem->SetCounterStep(Step);
    LItem->SetCntDigitNumber(Number);
  }
}

void TFolderList::SetFolderNameMask(const QString &ANameMask, int APosition) {
  FFolderNameMask = ANameMask;
  // One reading of the clock for the whole list: every name made by this
  // application of the mask shows the same date and time.
  std::optional<QDateTime> LNow;
  for (int i = std::max(APosition, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->ApplyMask(ANameMask, LNow);
}

bool TFolderList::AddFolderInfoIfNeed(const QString &AFullFolderName) {
  QString LPath = AFullFolderName;
  if (IsDelimited(LPath))
    LPath.chop(1);
  // The root (and any path without a name of its own) cannot be renamed.
  const QString LName = platform::ExtractName(LPath);
  if (platform::IsInvalidEntryName(LName) || platform::IsHiddenName(LName))
    return false;
  const QString LLocation = platform::ExtractLocation(LPath);
  if (LLocation.isEmpty())
    return false;
  TFolderEntry LEntry{LName, QDateTime()};
  if (!platform::StatRealFolder(LPath, LEntry.FLastWrite))
    return false;
  return AddFolderInfoIfNeed(LLocation, LEntry);
}

bool TFolderList::AddFolderInfoIfNeed(const QString &APath, const TFolderEntry &AFileInfo) {
  if (platform::IsInvalidEntryName(AFileInfo.FName))
    return false;
  const QString LKey = platform::JoinPath(APath, AFileInfo.FName);
  const int LCount = Count();
  const auto LFound = FFullNameHash.constFind(LKey);
  if (LFound != FFullNameHash.constEnd())
    return false;
  FFullNameHash.insert(LKey, LCount);
  auto LItem = std::make_unique<TFolderInfo>(APath, AFileInfo);
  LItem->SetIndex(LCount);
  FItems.push_back(std::move(LItem));
  return true;
}

void TFolderList::ReindexFolderInfo(int Value) {
  for (int i = std::max(Value, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->SetIndex(i);
}

void TFolderList::SortFolderbyLocation() {
  // Deeper folders first; the order among folders of one level does not
  // matter for the result on disk.
  std::stable_sort(
      FItems.begin(), FItems.end(),
      [](const std::unique_ptr<TFolderInfo> &ALeft, const std::unique_ptr<TFolderInfo> &ARight) {
        return ALeft->Level() > ARight->Level();
      });
}

void TFolderList::ClearList() {
  FItems.clear();
  FFullNameHash.clear();
}

// ===========================================================================
// The subfolder walk

void ScanSubFolders(
    const QString &AFolder,
    const std::function<void(const QString &APath, const TFolderEntry &AFileInfo)> &ACallback) {
  std::vector<platform::TSubFolder> LEntries;
  if (!platform::ListSubFolders(AFolder, LEntries))
    return;
  const QString LDelimited = IsDelimited(AFolder) ? AFolder : AFolder + platform::PathDelimiter();
  for (auto &LSubFolder : LEntries) {
    const TFolderEntry LEntry{std::move(LSubFolder.FName), LSubFolder.FModified};
    ACallback(AFolder, LEntry);
    ScanSubFolders(LDelimited + LEntry.FName, ACallback);
  }
}
