#include "uFolderInfo.h"

#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "uJournal.h"
#include "uNameEdits.h"
#include "uProgramFiles.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uZeroDate.h"

#include <QLocale>
#include <QSet>
#include <QStringView>

#include <algorithm>
#include <limits>
#include <map>

namespace {

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

void TFolderInfo::SetSize(int64_t ASize) {
  FSize = ASize;
  FSizeStr = SizeToStr(ASize);
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

masks::TTokenSource TFolderInfo::TokenSource(std::optional<QDateTime> &ANow) const {
  masks::TTokenSource LSource;
  LSource.FKind = masks::TItemKind::Folder;
  LSource.FOldName = FOldName;
  LSource.FCounterValue = nameedits::CounterValue(CounterStart(), CounterStep(), Index());
  LSource.FCounterDigits = CntDigitNumber();
  // One reading of the clock per application of a mask, so that "[YMD]" and
  // "[hms]" describe the same moment.
  LSource.FClock = &ANow;
  return LSource;
}

int TFolderInfo::CheckSpecialSumbol(const QString &ANameMask, int ACounter) {
  if (ACounter < 1 || ACounter > ANameMask.size())
    return 1;
  std::optional<QDateTime> LNow;
  TNameBuffer LOut;
  const qsizetype LConsumed =
      masks::ScanStep(ANameMask, ACounter - 1, masks::TMaskPart::Name, TokenSource(LNow), LOut);
  FNewName.append(LOut.constData(), LOut.size());
  return static_cast<int>(LConsumed);
}

QString TFolderInfo::GetDigitNumber(int ANumber) const {
  return nameedits::CounterText(ANumber, CntDigitNumber());
}

void TFolderInfo::FolderNameMaskApply(const QString &ANameMask) {
  std::optional<QDateTime> LNow;
  ApplyMask(ANameMask, LNow);
}

void TFolderInfo::ApplyMask(const QString &ANameMask, std::optional<QDateTime> &ANow) {
  TNameBuffer LName;
  masks::ScanMask(ANameMask, masks::TMaskPart::Name, TokenSource(ANow), LName);
  FNewName = QString(LName.constData(), LName.size());
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
  QString LNewFullName;
  DoRename(FullFolderName(), LNewFullName);
}

bool TFolderInfo::DoRename(const QString &ASource, QString &ANewFullName) {
  SetisRenamed(false);
  try {
    // A name with a delimiter, a NUL, or "." / ".." would move the folder out
    // of its Location (or onto its parent); an empty one names no folder.
    if (platform::IsInvalidEntryName(FNewName)) {
      SetRenameErrorText(platform::DirectoryExists(ASource) ? rs::InvalidFileName
                                                            : rs::DirectoryNotExist);
      return false;
    }
    QString LTarget = platform::JoinPath(FLocation, FNewName);
    // The move itself refuses a source that is no folder; the folder is
    // looked for only when the move failed, to tell why.
    bool LMoved = false;
    if (LTarget == ASource) { // already carries its new name: nothing to move
      LMoved = platform::DirectoryExists(ASource);
    } else {
      const platform::TMoveResult LMove = platform::MoveFolderNoReplace(ASource, LTarget);
      LMoved = LMove.FOk;
      if (!LMove.FOk)
        SetRenameErrorText(MoveFailureReason(LMove, true));
      if (!LMove.FStrandedPath.isEmpty())
        return false;
    }
    if (!LMoved) {
      if (!platform::DirectoryExists(ASource))
        SetRenameErrorText(rs::DirectoryNotExist);
      return false;
    }
    SetisRenamed(true);
    FRealName = FNewName;
    ANewFullName = std::move(LTarget);
    return true;
  } catch (const std::exception &LException) {
    KeepException(LException);
  } catch (...) {
    KeepUnknownException();
  }
  SetisRenamed(false);
  return false;
}

void TFolderInfo::RollbackFolder() {
  QString LNewFullName;
  DoRollback(FullFolderName(), LNewFullName);
}

bool TFolderInfo::DoRollback(const QString &ASource, QString &ANewFullName) {
  try {
    QString LTarget = platform::JoinPath(FLocation, FOldName);
    bool LMoved = false;
    if (LTarget == ASource) {
      LMoved = platform::DirectoryExists(ASource);
    } else {
      const platform::TMoveResult LMove = platform::MoveFolderNoReplace(ASource, LTarget);
      LMoved = LMove.FOk;
      if (!LMove.FOk)
        SetRenameErrorText(MoveFailureReason(LMove, true));
    }
    if (!LMoved) {
      SetisRenamed(true);
      return false;
    }
    SetisRenamed(false);
    FRealName = FOldName;
    ANewFullName = std::move(LTarget);
    return true;
  } catch (const std::exception &LException) {
    KeepException(LException);
  } catch (...) {
    KeepUnknownException();
  }
  return false; // isRenamed stays as it was
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

class TFolderLocationIndex {
public:
  explicit TFolderLocationIndex(const std::vector<TRenameItem *> &AItems) {
    // Items of one folder are mostly neighbours and share one location text:
    // compare with the last key before searching the map.
    TMap::iterator LLast = FByLocation.end();
    for (TRenameItem *LRenamed : AItems) {
      auto *LItem = static_cast<TFolderInfo *>(LRenamed);
      const QString &LLocation = LItem->FLocation;
      if (LLast == FByLocation.end() || !IsSameText(LLast->first, LLocation))
        LLast = FByLocation.try_emplace(LLocation).first;
      LLast->second.push_back(LItem);
    }
    for (const auto &LEntry : FByLocation)
      AddPrefixes(LEntry.first, 0);
  }

  void Moved(const QString &AOld, const QString &ANew) {
    // Most folders of a tree have nothing below them: one lookup says so.
    if (!FPrefixes.contains(AOld))
      return;
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
      // Every location of the node is AOld or lies below it: the same
      // rewrite as TFolderInfo::CheckLocation, made once for the node.
      LNode.key() = ANew + LNode.key().sliced(AOld.size());
      for (TFolderInfo *LItem : LNode.mapped())
        LItem->FLocation = LNode.key();
      AddPrefixes(LNode.key(), ANew.size());
      const auto LInserted = FByLocation.insert(std::move(LNode));
      if (!LInserted.inserted) {
        auto &LTarget = LInserted.position->second;
        LTarget.insert(LTarget.end(), LInserted.node.mapped().begin(),
                       LInserted.node.mapped().end());
      }
    }
  }

private:
  using TMap = std::map<QString, std::vector<TFolderInfo *>>;

  static bool IsSameText(const QString &ALeft, const QString &ARight) {
    return (ALeft.constData() == ARight.constData() && ALeft.size() == ARight.size()) ||
           ALeft == ARight;
  }

  // Enters ALocation and every part of it that ends before a delimiter at
  // position AFrom or later: the full names of all folders that ALocation is
  // or lies below.
  void AddPrefixes(const QString &ALocation, qsizetype AFrom) {
    const QChar LDelimiter = platform::PathDelimiter();
    FPrefixes.insert(ALocation);
    for (qsizetype i = ALocation.indexOf(LDelimiter, AFrom); i >= 0;
         i = ALocation.indexOf(LDelimiter, i + 1))
      FPrefixes.insert(ALocation.left(i));
  }

  TMap FByLocation;
  // Every full name that some Location equals or lies below.
  QSet<QString> FPrefixes;
};

// ===========================================================================
// TFolderList

TFolderList::TFolderList() = default;

TFolderList::~TFolderList() = default;

void TFolderList::Add(std::unique_ptr<TFolderInfo> AItem) {
  Emplace(std::move(*AItem));
}

void TFolderList::ItemLeaving(TRenameItem &AItem) {
  FFullNameHash.remove(Of(AItem).FullFolderName());
}

void TFolderList::ListCleared() {
  FFullNameHash.clear();
}

void TFolderList::Sort(const TFolderSortLess &ALess) {
  TRenameList::Sort(ALess.FKey == TFolderSortKey::NewName    ? TSortKey::NewName
                    : ALess.FKey == TFolderSortKey::Location ? TSortKey::Location
                                                             : TSortKey::OldName,
                    ALess.FDown);
}

bool TFolderSortLess::operator()(const TFolderInfo &ALeft, const TFolderInfo &ARight) const {
  const auto LKey = [this](const TFolderInfo &AFolder) {
    return TSortText{FKey == TFolderSortKey::NewName ? AFolder.NewName() : AFolder.OldName(),
                     FKey == TFolderSortKey::Location ? QStringView(AFolder.Location())
                                                      : QStringView()};
  };
  return SortsBefore(LKey(ALeft), LKey(ARight), FDown);
}

void TFolderList::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  ForgetRecipe();
  for (int i = 0; i < Count(); ++i)
    Items(i)->SearchReplace_NewName(ASearcStr, AReplaceStr);
}

bool TFolderList::GetIsCounterInNameMask() const {
  return FolderNameMask().contains(u"[C]", Qt::CaseSensitive);
}

void TFolderList::SetFolderNameMask(const QString &ANameMask, int APosition) {
  ApplyMaskAlone(masks::TMaskPart::Name, ANameMask, APosition);
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
  if (FFullNameHash.contains(LKey))
    return false;
  FFullNameHash.insert(LKey, LCount);
  Emplace(APath, AFileInfo).SetIndex(LCount);
  return true;
}

TFolderAddOutcome TFolderList::AddFolders(const QStringList &AFolders, bool AIncludeRoot,
                                          bool AIncludeSub, const TProgress *AProgress) {
  TFolderAddOutcome LOutcome;
  const int LPosition = Count();
  const TProgramPaths LProgram = TProgramPaths::OfTheRun();
  // The program's own folders, and those that hold its files, are left out.
  const auto LOwn = [&LProgram, &LOutcome](const QString &APath) {
    if (!LProgram.HoldsFolder(APath))
      return false;
    LOutcome.FOwnFiles.push_back(APath);
    ++LOutcome.FNotAdded;
    return true;
  };
  for (const QString &LFolder : AFolders) {
    if (!platform::DirectoryExists(LFolder)) {
      if (const QString LReason = platform::UnreachableReason(LFolder); !LReason.isEmpty())
        LOutcome.FUnreadable.push_back({LFolder, LReason});
      else
        ++LOutcome.FNoFolder;
      continue;
    }
    if (AIncludeRoot) {
      ++LOutcome.FFound;
      if (!LOwn(LFolder) && !AddFolderInfoIfNeed(LFolder))
        ++LOutcome.FNotAdded;
    }
    if (AIncludeSub)
      ScanSubFolders(
          LFolder,
          [this, &LOutcome, &LOwn](const QString &APath, const TFolderEntry &AEntry) {
            ++LOutcome.FFound;
            if (!LOwn(platform::JoinPath(APath, AEntry.FName)) &&
                !AddFolderInfoIfNeed(APath, AEntry))
              ++LOutcome.FNotAdded;
          },
          AProgress, &LOutcome.FUnreadable);
    if (AProgress != nullptr && AProgress->StopRequested()) {
      Truncate(LPosition);
      LOutcome.FStopped = true;
      return LOutcome;
    }
  }
  return LOutcome;
}

void TFolderList::SortFolderbyLocation() {
  // Deeper folders first; the order among folders of one level does not
  // matter for the result on disk.
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const TRenameItem *ALeft, const TRenameItem *ARight) {
                     return Of(*ALeft).Level() > Of(*ARight).Level();
                   });
}

void TFolderList::ReplayMoves(const std::vector<std::pair<int, QString>> &AMoves) {
  TFolderLocationIndex LIndex(FItems);
  for (const auto &[LItemIndex, LName] : AMoves) {
    TFolderInfo &LItem = *Items(LItemIndex);
    const QString LOld = LItem.FullFolderName();
    LItem.FRealName = LName;
    LIndex.Moved(LOld, LItem.FullFolderName());
  }
  for (int i = 0; i < Count(); ++i) {
    TFolderInfo &LItem = *Items(i);
    LItem.SetisRenamed(LItem.FRealName != LItem.FOldName);
    LItem.FNewName = LItem.FRealName;
  }
}

// ---- What folders supply to the list ----------------------------------------

int64_t TFolderList::SortValue(const TRenameItem &AItem, TSortKey AKey) {
  const QDateTime &LDate = Of(AItem).FDate;
  if (AKey != TSortKey::Modified)
    return 0;
  return LDate.isValid() ? LDate.toMSecsSinceEpoch() : std::numeric_limits<int64_t>::min();
}

TNameRecipe TFolderList::KindRecipe(const TNameRecipe &ARecipe) const {
  // A folder's name is whole: there is no extension mask.
  TNameRecipe LRecipe = ARecipe;
  LRecipe.FExtMask.clear();
  return LRecipe;
}

void TFolderList::MakeNewName(TRenameItem &AItem, const TNameRecipe &ARecipe,
                              const nameedits::TSearchReplace &ASearch, TRecipePass &APass) {
  TFolderInfo &LItem = Of(AItem);
  LItem.ApplyMask(ARecipe.FNameMask, APass.FNow);
  if (ASearch.IsActive())
    LItem.ApplySearch(ASearch);
  ApplyCaseRule(LItem, ARecipe.FCase);
}

void TFolderList::MakeMaskPart(TRenameItem &AItem, masks::TMaskPart APart, const QString &AMask,
                               TRecipePass &APass) {
  // A folder's name is whole: an extension mask makes nothing.
  if (APart == masks::TMaskPart::Name)
    Of(AItem).ApplyMask(AMask, APass.FNow);
}

QStringView TFolderList::FolderOf(const TRenameItem &AItem) const {
  return Of(AItem).Location();
}

TNameParts TFolderList::NameParts(const TRenameItem &AItem, TNameOf AWhich) const {
  const TFolderInfo &LItem = Of(AItem);
  switch (AWhich) {
  case TNameOf::Old:
    return TNameParts{LItem.OldName(), {}};
  case TNameOf::Target:
    return TNameParts{LItem.TargetName(), {}};
  case TNameOf::Current:
  case TNameOf::RenameFrom:
    break;
  }
  return TNameParts{LItem.RealName(), {}};
}

int TFolderList::Level(const TRenameItem &AItem) const {
  return Of(AItem).Level();
}

QString TFolderList::PathInFolder(const TRenameItem &AItem, QStringView AName) const {
  return platform::JoinPath(Of(AItem).Location(), AName.toString());
}

bool TFolderList::MoveItem(TRenameItem &AItem, bool ABack) {
  TFolderInfo &LItem = Of(AItem);
  const QString LOld = LItem.FullFolderName();
  QString LNew;
  if (!(ABack ? LItem.DoRollback(LOld, LNew) : LItem.DoRename(LOld, LNew)))
    return false;
  FolderMoved(LOld, LNew);
  return true;
}

platform::TMoveResult TFolderList::MoveEntry(const QString &AFrom, const QString &ATo) {
  return platform::MoveFolderNoReplace(AFrom, ATo);
}

void TFolderList::EntryMoved(TRenameItem &AItem, const QString &AFrom, const QString &ATo,
                             const QString &AName) {
  Of(AItem).FRealName = AName;
  FolderMoved(AFrom, ATo);
}

void TFolderList::FolderMoved(const QString &AOld, const QString &ANew) {
  if (FLocationIndex && AOld != ANew)
    FLocationIndex->Moved(AOld, ANew);
}

void TFolderList::BeginBatch(bool ARollback) {
  // Children before their parents, so that no move changes a path the
  // batch still has to use.
  SortFolderbyLocation();
  if (ARollback) {
    for (int i = 0; i < Count(); ++i)
      if (!Items(i)->isRenamed())
        Items(i)->SetRenameErrorText(QString());
  } else if (Journal()) {
    // Each folder's identity, for the checks of a Rollback from the journal.
    for (int i = 0; i < Count(); ++i)
      Items(i)->SetInode(platform::IdentityOf(Items(i)->FullFolderName()).FInode);
  }
  FLocationIndex = std::make_unique<TFolderLocationIndex>(FItems);
}

void TFolderList::EndBatch(bool) {
  FLocationIndex.reset();
}

void TFolderList::DescribeEntry(const TRenameItem &AItem, TJournalStep &AStep) const {
  AStep.FInode = AItem.Inode();
}

void TFolderList::MovedBackElsewhere(const std::vector<TRenameItem *> &AItems) {
  TFolderLocationIndex LIndex(FItems);
  for (TRenameItem *LRenamed : AItems) {
    TFolderInfo &LItem = Of(*LRenamed);
    const QString LOld = LItem.FullFolderName();
    LItem.FRealName = LItem.FOldName;
    LItem.SetisRenamed(false);
    LItem.SetRenameOrder(-1);
    LIndex.Moved(LOld, LItem.FullFolderName());
  }
}
