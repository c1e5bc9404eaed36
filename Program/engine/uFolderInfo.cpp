#include "uFolderInfo.h"

#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "uClock.h"
#include "uJournal.h"
#include "uNameEdits.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uZeroDate.h"

#include <QLocale>
#include <QSet>
#include <QStringView>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <map>
#include <tuple>
#include <typeinfo>
#include <unordered_set>

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
  LSource.FCounterValue = nameedits::CounterValue(FCounterStart, FCounterStep, FIndex);
  LSource.FCounterDigits = FCntDigitNumber;
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
  return nameedits::CounterText(ANumber, FCntDigitNumber);
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
  FisRenamed = false;
  try {
    // A name with a delimiter, a NUL, or "." / ".." would move the folder out
    // of its Location (or onto its parent); an empty one names no folder.
    if (platform::IsInvalidEntryName(FNewName)) {
      FRenameErrorText =
          platform::DirectoryExists(ASource) ? rs::InvalidFileName : rs::DirectoryNotExist;
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
        FRenameErrorText = MoveFailureReason(LMove, true);
      if (!LMove.FStrandedPath.isEmpty())
        return false;
    }
    if (!LMoved) {
      if (!platform::DirectoryExists(ASource))
        FRenameErrorText = rs::DirectoryNotExist;
      return false;
    }
    FisRenamed = true;
    FRealName = FNewName;
    ANewFullName = std::move(LTarget);
    return true;
  } catch (const std::exception &LException) {
    FExeptionText = ExceptionText(LException);
  } catch (...) {
    FExeptionText = QStringLiteral("unknown exception");
  }
  FisRenamed = false;
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
        FRenameErrorText = MoveFailureReason(LMove, true);
    }
    if (!LMoved) {
      FisRenamed = true;
      return false;
    }
    FisRenamed = false;
    FRealName = FOldName;
    ANewFullName = std::move(LTarget);
    return true;
  } catch (const std::exception &LException) {
    FExeptionText = ExceptionText(LException);
  } catch (...) {
    FExeptionText = QStringLiteral("unknown exception");
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
  explicit TFolderLocationIndex(const std::vector<std::unique_ptr<TFolderInfo>> &AItems) {
    // Items of one folder are mostly neighbours and share one location text:
    // compare with the last key before searching the map.
    TMap::iterator LLast = FByLocation.end();
    for (const auto &LItem : AItems) {
      const QString &LLocation = LItem->FLocation;
      if (LLast == FByLocation.end() || !IsSameText(LLast->first, LLocation))
        LLast = FByLocation.try_emplace(LLocation).first;
      LLast->second.push_back(LItem.get());
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

void TFolderList::Sort(const TFolderSortLess &ALess) {
  const auto LItem = [this](size_t AIndex) -> const TFolderInfo & {
    return *FItems[AIndex];
  };
  const std::vector<uint32_t> LOrder = SortOrderAZ(
      FItems.size(),
      [&](size_t AIndex) -> QStringView {
        return ALess.FKey == TFolderSortKey::NewName ? LItem(AIndex).NewName()
                                                     : LItem(AIndex).OldName();
      },
      ALess.FKey == TFolderSortKey::Location
          ? std::function<QStringView(size_t)>(
                [&](size_t AIndex) -> QStringView { return LItem(AIndex).Location(); })
          : nullptr,
      ALess.FDown);
  std::vector<std::unique_ptr<TFolderInfo>> LSorted;
  LSorted.reserve(FItems.size());
  for (const uint32_t LIndex : LOrder)
    LSorted.push_back(std::move(FItems[LIndex]));
  FItems.swap(LSorted);
}

bool TFolderSortLess::operator()(const TFolderInfo &ALeft, const TFolderInfo &ARight) const {
  const TFolderInfo &LA = FDown ? ARight : ALeft;
  const TFolderInfo &LB = FDown ? ALeft : ARight;
  switch (FKey) {
  case TFolderSortKey::OldName:
    return CompareTextAZ(LA.OldName(), LB.OldName()) < 0;
  case TFolderSortKey::NewName:
    return CompareTextAZ(LA.NewName(), LB.NewName()) < 0;
  case TFolderSortKey::Location: {
    const int LResult = CompareTextAZ(LA.Location(), LB.Location());
    if (LResult != 0)
      return LResult < 0;
    return CompareTextAZ(LA.OldName(), LB.OldName()) < 0;
  }
  }
  return false;
}

void TFolderList::RemoveFromDictionary(const TFolderInfo &AItem) {
  FFullNameHash.remove(AItem.FullFolderName());
}

void TFolderList::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  for (const auto &LItem : FItems)
    LItem->SearchReplace_NewName(ASearcStr, AReplaceStr);
}

bool TFolderList::GetIsCounterInNameMask() const {
  return FFolderNameMask.contains(u"[C]", Qt::CaseSensitive);
}

namespace {

// The folder list as the planner reads it, for a Rename (the current name to
// the new name) or a Rollback of the renamed items (back to the old name).
class TFolderPlanSource : public TPlanSource {
public:
  TFolderPlanSource(const std::vector<std::unique_ptr<TFolderInfo>> &AItems,
                    const std::vector<int> *ASubset)
      : FItems(AItems), FSubset(ASubset) {}
  int Count() const override { return static_cast<int>(FSubset ? FSubset->size() : FItems.size()); }
  bool IsFolderList() const override { return true; }
  QStringView FolderOf(int AItem) const override { return Item(AItem).Location(); }
  TNameParts FromName(int AItem) const override { return TNameParts{Item(AItem).RealName(), {}}; }
  TNameParts ToName(int AItem) const override {
    return TNameParts{FSubset ? Item(AItem).OldName() : Item(AItem).NewName(), {}};
  }
  int Level(int AItem) const override { return Item(AItem).Level(); }
  int &FolderSlot(int AItem) override { return Item(AItem).PlanFolderSlot(); }
  std::vector<int> VisitOrder() const override {
    return FSubset ? std::vector<int>() : MemoryOrder(FItems, 0);
  }

private:
  TFolderInfo &Item(int AItem) const {
    const int LIndex = FSubset ? (*FSubset)[static_cast<size_t>(AItem)] : AItem;
    return *FItems[static_cast<size_t>(LIndex)];
  }
  const std::vector<std::unique_ptr<TFolderInfo>> &FItems;
  const std::vector<int> *FSubset;
};

} // namespace

// How the folder list moves its items for the executor: every move is
// followed by the correction of the locations below the folder moved.
class TFolderPlanHost : public TPlanHost {
public:
  TFolderPlanHost(const std::vector<std::unique_ptr<TFolderInfo>> &AItems,
                  const std::vector<int> *ASubset, TFolderLocationIndex &AIndex)
      : FItems(AItems), FSubset(ASubset), FIndex(AIndex) {}

  bool Move(int AItem) override {
    TFolderInfo &LItem = Item(AItem);
    if (Rollback() && !StillTheSameFolder(LItem))
      return false;
    return Step(LItem, !Rollback());
  }
  bool MoveToTemporary(int AItem, QString &ATemporary) override {
    TFolderInfo &LItem = Item(AItem);
    if (Rollback() && !StillTheSameFolder(LItem))
      return false;
    FNameBefore = LItem.FRealName;
    const QString LSource = LItem.FullFolderName();
    // Only the temporary name of the plan: it was recorded before the move.
    const QString LName = ATemporary;
    ATemporary = platform::JoinPath(LItem.FLocation, LName);
    const platform::TMoveResult LMove = platform::MoveFolderNoReplace(LSource, ATemporary);
    if (!LMove.FOk) {
      LItem.FRenameErrorText = MoveFailureReason(LMove, true);
      return false;
    }
    LItem.FRealName = LName;
    FIndex.Moved(LSource, ATemporary);
    return true;
  }
  bool MoveFromTemporary(int AItem, const QString &) override {
    return Step(Item(AItem), !Rollback());
  }
  void MoveBack(int AItem) override {
    TFolderInfo &LItem = Item(AItem);
    Step(LItem, Rollback());
    LItem.FRenameOrder = Rollback() ? LItem.FRenameOrder : -1;
  }
  void RestoreFromTemporary(int AItem, const QString &ATemporary) override {
    TFolderInfo &LItem = Item(AItem);
    const QString LTarget = platform::JoinPath(LItem.FLocation, FNameBefore);
    const platform::TMoveResult LMove = platform::MoveFolderNoReplace(ATemporary, LTarget);
    if (LMove.FOk) {
      LItem.FRealName = FNameBefore;
      FIndex.Moved(ATemporary, LTarget);
    } else {
      LItem.FRenameErrorText = MoveFailureReason(LMove, true);
    }
  }
  void CycleFailed(int AItem, int AFailedItem) override {
    Item(AItem).FRenameErrorText = rs::FormatMessage(rs::SwapFailed, {Index(AFailedItem) + 1});
  }
  int FOrder = 0;

private:
  bool Rollback() const { return FSubset != nullptr; }
  int Index(int AItem) const { return FSubset ? (*FSubset)[static_cast<size_t>(AItem)] : AItem; }
  TFolderInfo &Item(int AItem) const { return *FItems[static_cast<size_t>(Index(AItem))]; }
  // A folder is moved back only when the folder under its new name is still
  // the one that was renamed: the same inode, or, where the file system
  // gives no stable inode numbers, a folder at all.
  bool StillTheSameFolder(TFolderInfo &AItem) {
    const platform::TEntryIdentity LNow = platform::IdentityOf(AItem.FullFolderName());
    if (!LNow.FExists || !LNow.FIsFolder) {
      AItem.FRenameErrorText = LNow.FExists ? rs::FolderWasReplaced : rs::DirectoryNotExist;
      return false;
    }
    if (AItem.FInode == 0 || UnstableInodes(AItem.FLocation))
      return true;
    if (LNow.FInode != AItem.FInode) {
      AItem.FRenameErrorText = rs::FolderWasReplaced;
      return false;
    }
    return true;
  }
  // True where the file system of AFolder gives no stable inode numbers.
  bool UnstableInodes(const QString &AFolder) {
    if (AFolder != FLastFolder) {
      FLastFolder = AFolder;
      FLastUnstable = FFileSystems.Of(AFolder).FFatFamily;
    }
    return FLastUnstable;
  }
  // The item's rename (ARename) or rollback from where it stands now.
  bool Step(TFolderInfo &AItem, bool ARename) {
    const QString LOld = AItem.FullFolderName();
    QString LNew;
    const bool LOk = ARename ? AItem.DoRename(LOld, LNew) : AItem.DoRollback(LOld, LNew);
    if (LOk) {
      FIndex.Moved(LOld, LNew);
      if (ARename)
        AItem.FRenameOrder = FOrder++;
      else
        AItem.FRenameOrder = -1;
    } else if (ARename) {
      AItem.FRenameOrder = -1;
    }
    return LOk;
  }

  const std::vector<std::unique_ptr<TFolderInfo>> &FItems;
  const std::vector<int> *FSubset;
  TFolderLocationIndex &FIndex;
  QString FNameBefore; // the name the first folder of a cycle had before it
  platform::TFileSystemCache FFileSystems;
  QString FLastFolder;
  bool FLastUnstable = false;
};

const TPlan &TFolderList::PlanRenaming() {
  if (FPlannerStale)
    RefreshPlanner();
  TFolderPlanSource LSource(FItems, nullptr);
  return FPlanner.Plan(LSource);
}

const TPlan &TFolderList::PlanRollback() {
  if (FPlannerStale)
    RefreshPlanner();
  FRollbackItems.clear();
  for (int i = 0; i < Count(); ++i)
    if (FItems[static_cast<size_t>(i)]->isRenamed())
      FRollbackItems.push_back(i);
  // Where the plan leaves the order open it follows the reverse order of
  // the renames.
  std::stable_sort(FRollbackItems.begin(), FRollbackItems.end(), [this](int ALeft, int ARight) {
    return FItems[static_cast<size_t>(ALeft)]->FRenameOrder >
           FItems[static_cast<size_t>(ARight)]->FRenameOrder;
  });
  TFolderPlanSource LSource(FItems, &FRollbackItems);
  return FPlanner.Plan(LSource);
}

void TFolderList::RefreshPlanner() {
  TFolderPlanSource LSource(FItems, nullptr);
  FPlanner.Refresh(LSource);
  FPlannerStale = false;
}

int TFolderList::RunPlan(const TPlan &APlan, TPlanHost &AHost, const std::vector<int> *ASubset) {
  const bool LRollback = ASubset != nullptr;
  const auto LIndexOf = [ASubset](int AItem) {
    return ASubset ? (*ASubset)[static_cast<size_t>(AItem)] : AItem;
  };
  if (!LRollback) {
    // The journal numbers the items as the list holds them at the Rename,
    // and records each folder's identity for the checks of a Rollback.
    for (int i = 0; i < Count(); ++i) {
      TFolderInfo &LItem = *FItems[static_cast<size_t>(i)];
      LItem.FJournalItem = i;
      if (FJournal)
        LItem.FInode = platform::IdentityOf(LItem.FullFolderName()).FInode;
    }
  }
  TBatchRun LRun;
  LRun.FJournal = FJournal;
  LRun.FKind = TBatchKind::Folders;
  LRun.FRollback = LRollback;
  LRun.FStopRequest = [this] {
    return (FProgress && FProgress->StopRequested()) || (FStopRequest && FStopRequest());
  };
  // Every folder of the plan is not tried until its first step is made.
  for (const auto &LItem : FItems)
    LItem->FNotTried = false;
  for (const TPlanStep &LStep : APlan.FSteps)
    FItems[static_cast<size_t>(LIndexOf(LStep.FItem))]->FNotTried = true;
  const int LTotal = static_cast<int>(APlan.FSteps.size());
  LRun.FStepDone = [&](int AStep) {
    TFolderInfo &LItem =
        *FItems[static_cast<size_t>(LIndexOf(APlan.FSteps[static_cast<size_t>(AStep)].FItem))];
    LItem.FNotTried = false;
    if (FProgress)
      FProgress->Report(AStep + 1, LTotal, LItem.FOldName);
  };
  LRun.FBatchId = FBatchId;
  const int LFailed = RunBatch(
      LRun, APlan, AHost,
      [&](const TPlanStep &AStep) {
        const TFolderInfo &LItem = *FItems[static_cast<size_t>(LIndexOf(AStep.FItem))];
        TStepRecord LRecord;
        LRecord.FFolder = LItem.FLocation;
        const QString &LTarget = LRollback ? LItem.FOldName : LItem.FNewName;
        LRecord.FFrom =
            AStep.FKind == TStepKind::FromTemporary ? AStep.FTemporaryName : LItem.FRealName;
        LRecord.FTo = AStep.FKind == TStepKind::ToTemporary ? AStep.FTemporaryName : LTarget;
        LRecord.FInode = LItem.FInode;
        return LRecord;
      },
      [&](int AItem) { return FItems[static_cast<size_t>(LIndexOf(AItem))]->FJournalItem; });
  FBatchError = LRun.FError;
  FBatchId = LRun.FBatchId;
  FLastStopped = LRun.FStopped;
  if (LFailed < 0)
    for (const auto &LItem : FItems)
      LItem->FNotTried = false;
  return LFailed;
}

void TFolderList::ReplayMoves(const std::vector<std::pair<int, QString>> &AMoves) {
  TFolderLocationIndex LIndex(FItems);
  for (const auto &[LItemIndex, LName] : AMoves) {
    TFolderInfo &LItem = *FItems[static_cast<size_t>(LItemIndex)];
    const QString LOld = LItem.FullFolderName();
    LItem.FRealName = LName;
    LIndex.Moved(LOld, LItem.FullFolderName());
  }
  for (const auto &LItem : FItems) {
    LItem->FisRenamed = LItem->FRealName != LItem->FOldName;
    LItem->FNewName = LItem->FRealName;
  }
}

int TFolderList::ExecuteRenaming() {
  SortFolderbyLocation();
  for (const auto &LItem : FItems)
    LItem->FRenameOrder = -1;
  const TPlan &LPlan = PlanRenaming();
  TFolderLocationIndex LIndex(FItems);
  TFolderPlanHost LHost(FItems, nullptr, LIndex);
  int LFailures = RunPlan(LPlan, LHost, nullptr);
  if (LFailures < 0)
    return -1;
  // A folder that keeps its name counts as renamed. The planner's listings
  // follow the moves made; the folders' paths it knew have changed.
  QString LNewFullName;
  std::vector<int> LMoved;
  for (int i = 0; i < Count(); ++i) {
    TFolderInfo &LItem = *FItems[static_cast<size_t>(i)];
    if (LPlan.FEntries[static_cast<size_t>(i)].FStatus == TPlanStatus::Unchanged) {
      // A stopped Rename leaves the unchanged folders untried too.
      if (FLastStopped)
        LItem.FNotTried = true;
      else if (!LItem.DoRename(LItem.FullFolderName(), LNewFullName))
        ++LFailures;
    } else if (LItem.isRenamed()) {
      LMoved.push_back(i);
    }
  }
  FPlanner.NoteMoved(LMoved);
  FPlanner.ForgetPaths();
  return LFailures;
}

int TFolderList::ExecuteRollback() {
  SortFolderbyLocation();
  for (const auto &LItem : FItems)
    if (!LItem->isRenamed())
      LItem->SetRenameErrorText(QString());
  const TPlan &LPlan = PlanRollback();
  const std::vector<int> LItems = FRollbackItems;
  TFolderLocationIndex LIndex(FItems);
  TFolderPlanHost LHost(FItems, &LItems, LIndex);
  int LFailures = RunPlan(LPlan, LHost, &LItems);
  if (LFailures < 0)
    return -1;
  QString LNewFullName;
  std::vector<int> LMoved;
  for (size_t i = 0; i < LItems.size(); ++i) {
    TFolderInfo &LItem = *FItems[static_cast<size_t>(LItems[i])];
    if (LPlan.FEntries[i].FStatus == TPlanStatus::Unchanged) {
      if (FLastStopped)
        LItem.FNotTried = true;
      else if (!LItem.DoRollback(LItem.FullFolderName(), LNewFullName))
        ++LFailures;
    } else if (!LItem.isRenamed()) {
      LMoved.push_back(static_cast<int>(i));
    }
  }
  FPlanner.NoteMoved(LMoved);
  FPlanner.ForgetPaths();
  return LFailures;
}

void TFolderList::NoteRolledBack(const std::vector<int> &AStillRenamed) {
  const std::unordered_set<int> LStill(AStillRenamed.begin(), AStillRenamed.end());
  TFolderLocationIndex LIndex(FItems);
  for (const auto &LItem : FItems) {
    if (!LItem->FisRenamed || LStill.count(LItem->FJournalItem) != 0)
      continue;
    const QString LOld = LItem->FullFolderName();
    LItem->FRealName = LItem->FOldName;
    LItem->FisRenamed = false;
    LItem->FRenameOrder = -1;
    LIndex.Moved(LOld, LItem->FullFolderName());
  }
  // The moves were made elsewhere: the folders are read again for the plan.
  FPlanner.ForgetPaths();
  FPlannerStale = true;
}

bool TFolderList::HasRenamedFolders() const {
  return std::any_of(FItems.begin(), FItems.end(),
                     [](const std::unique_ptr<TFolderInfo> &AItem) { return AItem->isRenamed(); });
}

void TFolderList::SetCounter(int Start, int Step, int Number) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  for (const auto &LItem : FItems) {
    LItem->SetCounterStart(Start);
    LItem->SetCounterStep(Step);
    LItem->SetCntDigitNumber(Number);
  }
}

void TFolderList::SetFolderNameMask(const QString &ANameMask, int APosition) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
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

TFolderAddOutcome TFolderList::AddFolders(const QStringList &AFolders, bool AIncludeRoot,
                                          bool AIncludeSub, const TProgress *AProgress) {
  TFolderAddOutcome LOutcome;
  const int LPosition = Count();
  for (const QString &LFolder : AFolders) {
    if (!platform::DirectoryExists(LFolder)) {
      ++LOutcome.FNoFolder;
      continue;
    }
    if (AIncludeRoot) {
      ++LOutcome.FFound;
      if (!AddFolderInfoIfNeed(LFolder))
        ++LOutcome.FNotAdded;
    }
    if (AIncludeSub)
      ScanSubFolders(
          LFolder,
          [this, &LOutcome](const QString &APath, const TFolderEntry &AEntry) {
            ++LOutcome.FFound;
            if (!AddFolderInfoIfNeed(APath, AEntry))
              ++LOutcome.FNotAdded;
          },
          AProgress);
    if (AProgress != nullptr && AProgress->StopRequested()) {
      Truncate(LPosition);
      LOutcome.FStopped = true;
      return LOutcome;
    }
  }
  return LOutcome;
}

void TFolderList::Truncate(int APosition) {
  while (Count() > std::max(APosition, 0)) {
    RemoveFromDictionary(*FItems.back());
    FItems.pop_back();
  }
}

void TFolderList::ReindexFolderInfo(int Value) {
  for (int i = std::max(Value, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->SetIndex(i);
}

int TFolderList::ApplyRecipe(const TNameRecipe &ARecipe, int APosition) {
  APosition = std::clamp(APosition, 0, Count());
  const auto LNameRules = [](const TNameRecipe &ARules) {
    return std::tie(ARules.FNameMask, ARules.FCounterStart, ARules.FCounterStep,
                    ARules.FCounterDigits, ARules.FSearch, ARules.FReplace, ARules.FCase);
  };
  const bool LCounter = masks::HasCounterToken(ARecipe.FNameMask);
  const bool LSameRecipe = FRecipe && LNameRules(*FRecipe) == LNameRules(ARecipe) &&
                           FFolderNameMask == ARecipe.FNameMask;
  const int LFrom = LSameRecipe && !LCounter ? APosition : 0;
  FFolderNameMask = ARecipe.FNameMask;
  const nameedits::TSearchReplace LSearch(ARecipe.FSearch, ARecipe.FReplace, ARecipe.FRegex,
                                          ARecipe.FMatchCase);
  // One reading of the clock for the whole list: every name made by this
  // application of the mask shows the same date and time.
  std::optional<QDateTime> LNow;
  // One pass, each item made whole before the next, in the order the items
  // lie in memory (see MemoryOrder).
  const std::vector<int> LVisit = MemoryOrder(FItems, LFrom);
  for (int k = LFrom; k < Count(); ++k) {
    const int i = LVisit.empty() ? k : LVisit[static_cast<size_t>(k - LFrom)];
    TFolderInfo &LItem = *FItems[static_cast<size_t>(i)];
    LItem.SetIndex(i);
    LItem.SetCounterStart(ARecipe.FCounterStart);
    LItem.SetCounterStep(ARecipe.FCounterStep);
    LItem.SetCntDigitNumber(ARecipe.FCounterDigits);
    LItem.ApplyMask(ARecipe.FNameMask, LNow);
    if (LSearch.IsActive())
      LItem.ApplySearch(LSearch);
    ApplyCaseRule(LItem, ARecipe.FCase);
  }
  FRecipe = ARecipe;
  return LFrom;
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
  FPlanner.Reset();
}

// ===========================================================================
// The subfolder walk

void ScanSubFolders(
    const QString &AFolder,
    const std::function<void(const QString &APath, const TFolderEntry &AFileInfo)> &ACallback,
    const TProgress *AProgress) {
  TFolderEntry LEntry;
  int LFound = 0;
  platform::WalkSubFolders(
      AFolder, [&](const QString &APath, const QString &AName, const QDateTime &AModified) {
        if (AProgress != nullptr && AProgress->StopRequested())
          return false;
        LEntry.FName = AName;
        LEntry.FLastWrite = AModified;
        ACallback(APath, LEntry);
        if (AProgress != nullptr)
          AProgress->Report(++LFound, 0, platform::JoinPath(APath, AName));
        return true;
      });
}

// ===========================================================================
// Collecting the files below a folder

QStringList CollectFolderFiles(const QString &AFolder, const TProgress *AProgress) {
  QStringList LFiles;
  // One frame per open folder: its entries, read in full before any of them
  // is visited (so only one listing is open at a time, whatever the depth),
  // and the next entry to visit.
  struct TFrame {
    QString FPath;
    std::vector<platform::TDirEntry> FEntries;
    size_t FNext = 0;
  };
  std::vector<TFrame> LStack;
  const auto LOpen = [&LStack, &LFiles, AProgress](const QString &APath) {
    if (AProgress != nullptr)
      AProgress->Report(static_cast<int>(LFiles.size()), 0, APath);
    TFrame LFrame;
    LFrame.FPath = APath;
    platform::ListDirectory(APath, [&LFrame](const platform::TDirEntry &AEntry) {
      LFrame.FEntries.push_back(AEntry);
      return true;
    });
    LStack.push_back(std::move(LFrame));
  };
  LOpen(AFolder);
  while (!LStack.empty()) {
    if (AProgress != nullptr && AProgress->StopRequested())
      break;
    TFrame &LTop = LStack.back();
    if (LTop.FNext >= LTop.FEntries.size()) {
      LStack.pop_back();
      continue;
    }
    const platform::TDirEntry &LEntry = LTop.FEntries[LTop.FNext++];
    const QString LPath = platform::JoinPath(LTop.FPath, LEntry.FName);
    if (LEntry.FIsDirectory) {
      LOpen(LPath); // invalidates LTop
      continue;
    }
    // A link to a folder is skipped; a link to a file (or to nothing) is an
    // entry like any file.
    if (LEntry.FIsSymLink && platform::DirectoryExists(LPath))
      continue;
    LFiles.append(LPath);
  }
  return LFiles;
}
