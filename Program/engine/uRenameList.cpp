#include "uRenameList.h"

#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "uJournal.h"
#include "uResourceString.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <unordered_set>

TRenameList::TRenameList() {
  // No mask has been applied yet.
  FMasks.FNameMask.clear();
  FMasks.FExtMask.clear();
}

TRenameList::~TRenameList() = default;

// ---------------------------------------------------------------------------
// The items

void TRenameList::Delete(int APosition) {
  const auto LIt = FItems.begin() + APosition;
  ItemLeaving(**LIt);
  ReleaseItem(*LIt);
  FItems.erase(LIt);
}

void TRenameList::Truncate(int APosition) {
  // From the last one, so that each removal is at the end.
  while (Count() > std::max(APosition, 0))
    Delete(Count() - 1);
}

void TRenameList::Clear() {
  ListCleared();
  ReleaseAll();
  FPlanner.Reset();
}

void TRenameList::Sort(TSortKey AKey, bool ADown) {
  if (!SortsBy(AKey))
    return;
  std::vector<uint32_t> LOrder;
  if (IsColumnKey(AKey)) {
    LOrder = SortOrderAZ(
        // A name column by the old name or the new one (a file's without its
        // extension).
        FItems.size(),
        [&](size_t AIndex) {
          return NameParts(*FItems[AIndex],
                           AKey == TSortKey::NewName ? TNameOf::Target : TNameOf::Old)
              .FFirst;
        },
        AKey == TSortKey::Location ? std::function<QStringView(size_t)>(
                                         [&](size_t AIndex) { return FolderOf(*FItems[AIndex]); })
                                   : nullptr,
        ADown);
  } else {
    // Each value taken once; equal values keep their order either way.
    std::vector<int64_t> LValues(FItems.size());
    for (size_t i = 0; i < FItems.size(); ++i)
      LValues[i] = SortValue(*FItems[i], AKey);
    LOrder.resize(FItems.size());
    std::iota(LOrder.begin(), LOrder.end(), 0U);
    std::stable_sort(LOrder.begin(), LOrder.end(), [&](uint32_t ALeft, uint32_t ARight) {
      return ADown ? LValues[ALeft] > LValues[ARight] : LValues[ALeft] < LValues[ARight];
    });
  }
  std::vector<TRenameItem *> LSorted;
  LSorted.reserve(FItems.size());
  for (const uint32_t LIndex : LOrder)
    LSorted.push_back(FItems[LIndex]);
  FItems.swap(LSorted);
}

void TRenameList::Reindex(int AFrom) {
  for (int i = std::max(AFrom, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->SetIndex(i);
}

// ---------------------------------------------------------------------------
// Names

int TRenameList::ApplyRecipe(const TNameRecipe &ARecipe, int APosition) {
  const TNameRecipe LRecipe = KindRecipe(ARecipe);
  APosition = std::clamp(APosition, 0, Count());
  // The whole recipe decides, the search's choices included: a name made
  // with another one must be made anew.
  const bool LSameRecipe = FRecipe && *FRecipe == LRecipe &&
                           FMasks.FNameMask == LRecipe.FNameMask &&
                           FMasks.FExtMask == LRecipe.FExtMask;
  const int LFrom = LSameRecipe && !LRecipe.HasCounter() ? APosition : 0;
  FMasks.FNameMask = LRecipe.FNameMask;
  FMasks.FExtMask = LRecipe.FExtMask;
  const nameedits::TSearchReplace LSearch(LRecipe.FSearch, LRecipe.FReplace, LRecipe.FRegex,
                                          LRecipe.FMatchCase);
  TRecipePass LPass;
  // One pass, each item made whole before the next, in the order the items
  // lie in memory: after a sort, a pass in the list's order or a pass per
  // step would fetch each item from afar again. Every item carries the
  // counter the recipe gives, so that the values shown are the values used,
  // also for items added later.
  const std::vector<int> LVisit = MemoryOrder(FItems, LFrom);
  for (int k = LFrom; k < Count(); ++k) {
    const int i = LVisit.empty() ? k : LVisit[static_cast<size_t>(k - LFrom)];
    TRenameItem &LItem = *FItems[static_cast<size_t>(i)];
    LItem.SetIndex(i);
    LItem.SetCounterStart(LRecipe.FCounterStart);
    LItem.SetCounterStep(LRecipe.FCounterStep);
    LItem.SetCntDigitNumber(LRecipe.FCounterDigits);
    MakeNewName(LItem, LRecipe, LSearch, LPass);
  }
  FRecipe = LRecipe;
  return LFrom;
}

void TRenameList::ApplyMaskAlone(masks::TMaskPart APart, const QString &AMask, int APosition) {
  ForgetRecipe();
  (APart == masks::TMaskPart::Name ? FMasks.FNameMask : FMasks.FExtMask) = AMask;
  // One reading of the clock for the whole list.
  TRecipePass LPass;
  for (int i = std::max(APosition, 0); i < Count(); ++i)
    MakeMaskPart(*FItems[static_cast<size_t>(i)], APart, AMask, LPass);
}

void TRenameList::SetCounter(int AStart, int AStep, int ADigits) {
  ForgetRecipe();
  for (TRenameItem *LItem : FItems) {
    LItem->SetCounterStart(AStart);
    LItem->SetCounterStep(AStep);
    LItem->SetCntDigitNumber(ADigits);
  }
}

bool TRenameList::HasCounter() const {
  return FMasks.HasCounter();
}

bool TRenameList::MasksApplied(const TNameRecipe &ARecipe) const {
  const TNameRecipe LRecipe = KindRecipe(ARecipe);
  return LRecipe.FNameMask == FMasks.FNameMask && LRecipe.FExtMask == FMasks.FExtMask;
}

QString TRenameList::TargetPath(int APosition) const {
  return PathInFolder(ItemAt(APosition), TargetName(APosition));
}

QString TRenameList::CurrentPath(int APosition) const {
  const TRenameItem &LItem = ItemAt(APosition);
  return PathInFolder(LItem, NameParts(LItem, TNameOf::Current).ToString());
}

// ---------------------------------------------------------------------------
// The list as the planner reads it, and how its items move

// A Rename reads each item from its current name to its new one; a Rollback
// reads the renamed items (ASubset, by position) from their new names back
// to their old ones.
class TRenameList::TSource : public TPlanSource {
public:
  TSource(TRenameList &AList, const std::vector<int> *ASubset) : FList(AList), FSubset(ASubset) {}
  int Count() const override {
    return static_cast<int>(FSubset ? FSubset->size() : FList.FItems.size());
  }
  bool IsFolderList() const override { return FList.IsFolderList(); }
  QStringView FolderOf(int AItem) const override { return FList.FolderOf(Item(AItem)); }
  TNameParts FromName(int AItem) const override {
    return FList.NameParts(Item(AItem), FSubset ? TNameOf::Current : TNameOf::RenameFrom);
  }
  TNameParts ToName(int AItem) const override {
    return FList.NameParts(Item(AItem), FSubset ? TNameOf::Old : TNameOf::Target);
  }
  int Level(int AItem) const override { return FList.Level(Item(AItem)); }
  int &FolderSlot(int AItem) override { return Item(AItem).PlanFolderSlot(); }
  uint64_t *FromKeySlot(int AItem) override {
    return FSubset ? nullptr : FList.FromKeySlot(Item(AItem));
  }
  std::vector<int> VisitOrder() const override {
    return FSubset ? std::vector<int>() : MemoryOrder(FList.FItems, 0);
  }

private:
  TRenameItem &Item(int AItem) const { return FList.PlanItem(AItem, FSubset); }
  TRenameList &FList;
  const std::vector<int> *FSubset;
};

// How the items move for the executor. For a Rollback (ASubset) every move
// is turned around: Move is the item's Rollback, MoveBack its Rename.
class TRenameList::THost : public TPlanHost {
public:
  THost(TRenameList &AList, const std::vector<int> *ASubset) : FList(AList), FSubset(ASubset) {}

  bool Move(int AItem) override {
    TRenameItem &LItem = Item(AItem);
    if (Rollback() && !StillTheSame(LItem))
      return false;
    const bool LOk = FList.MoveItem(LItem, Rollback());
    Moved(LItem, LOk);
    return LOk;
  }
  bool MoveToTemporary(int AItem, QString &ATemporary) override {
    TRenameItem &LItem = Item(AItem);
    if (Rollback() && !StillTheSame(LItem))
      return false;
    FNameBefore = FList.NameParts(LItem, TNameOf::Current).ToString();
    const QString LSource = FList.PathInFolder(LItem, FNameBefore);
    // Only the temporary name of the plan: it was recorded before the move.
    const QString LName = ATemporary;
    ATemporary = FList.PathInFolder(LItem, LName);
    const platform::TMoveResult LMove = FList.MoveEntry(LSource, ATemporary);
    if (!LMove.FOk) {
      LItem.SetRenameErrorText(MoveFailureReason(LMove, FList.IsFolderList()));
      return false;
    }
    FList.EntryMoved(LItem, LSource, ATemporary, LName);
    return true;
  }
  bool MoveFromTemporary(int AItem, const QString &ATemporary) override {
    TRenameItem &LItem = Item(AItem);
    const QString LName =
        FList.NameParts(LItem, Rollback() ? TNameOf::Old : TNameOf::Target).ToString();
    const QString LTarget = FList.PathInFolder(LItem, LName);
    const platform::TMoveResult LMove = FList.MoveEntry(ATemporary, LTarget);
    if (LMove.FOk) {
      LItem.SetisRenamed(!Rollback());
      FList.EntryMoved(LItem, ATemporary, LTarget, LName);
    } else {
      LItem.SetRenameErrorText(MoveFailureReason(LMove, FList.IsFolderList()));
    }
    Moved(LItem, LMove.FOk);
    return LMove.FOk;
  }
  void MoveBack(int AItem) override {
    TRenameItem &LItem = Item(AItem);
    FList.MoveItem(LItem, !Rollback());
    // Back where it was before the batch: a renamed item takes its place in
    // the order of the renames again.
    LItem.SetRenameOrder(LItem.isRenamed() ? FOrder++ : -1);
  }
  void RestoreFromTemporary(int AItem, const QString &ATemporary) override {
    TRenameItem &LItem = Item(AItem);
    const QString LTarget = FList.PathInFolder(LItem, FNameBefore);
    const platform::TMoveResult LMove = FList.MoveEntry(ATemporary, LTarget);
    if (LMove.FOk)
      FList.EntryMoved(LItem, ATemporary, LTarget, FNameBefore);
    else
      LItem.SetRenameErrorText(MoveFailureReason(LMove, FList.IsFolderList()));
  }
  // An item with a conflict fails as its plan says, and nothing moves: where
  // the file system tells apart two names the planner takes for one, a move
  // would give the item a name the preview never showed. An entry that
  // holds its new name now is named as a failed move names it.
  bool Attempt(int AItem, const TPlanEntry &AEntry) override {
    TRenameItem &LItem = Item(AItem);
    const bool LFolders = FList.IsFolderList();
    const QString LName = FList.NameOf(LItem, Rollback() ? TNameOf::Old : TNameOf::Target);
    if (AEntry.FStatus != TPlanStatus::InvalidName &&
        platform::EntryExists(FList.PathInFolder(LItem, LName)))
      LItem.SetRenameErrorText(LFolders ? rs::FolderAlreadyExists : rs::FileAlreadyExists);
    else
      LItem.SetRenameErrorText(PlanReason(AEntry, LFolders));
    Moved(LItem, false);
    return false;
  }
  void CycleFailed(int AItem, int AFailedItem) override {
    Item(AItem).SetRenameErrorText(rs::FormatMessage(rs::SwapFailed, {Index(AFailedItem) + 1}));
  }

private:
  bool Rollback() const { return FSubset != nullptr; }
  int Index(int AItem) const { return FSubset ? (*FSubset)[static_cast<size_t>(AItem)] : AItem; }
  TRenameItem &Item(int AItem) const { return FList.PlanItem(AItem, FSubset); }
  // The order of the renames: a Rename numbers the items it moves; a
  // Rollback leaves an item it could not move back where it was.
  void Moved(TRenameItem &AItem, bool AOk) {
    if (Rollback())
      AItem.SetRenameOrder(AOk ? -1 : AItem.RenameOrder());
    else
      AItem.SetRenameOrder(AOk ? FOrder++ : -1);
  }
  // An entry is moved back only when the one under its new name is still
  // the one that was renamed: the same inode (and size, for a file) and of
  // the same kind, or, where the file system gives no stable inode numbers,
  // an entry of the same kind at all.
  bool StillTheSame(TRenameItem &AItem) {
    const bool LFolders = FList.IsFolderList();
    const QString LPath =
        FList.PathInFolder(AItem, FList.NameParts(AItem, TNameOf::Current).ToString());
    // The entry itself: a link is known as the link it is.
    const platform::TEntryIdentity LNow = platform::IdentityOf(LPath);
    if (!LNow.FExists) {
      AItem.SetRenameErrorText(LFolders ? rs::DirectoryNotExist : rs::FileNotExist);
      return false;
    }
    if (LFolders && !LNow.FIsFolder) {
      AItem.SetRenameErrorText(rs::FolderWasReplaced);
      return false;
    }
    if (AItem.Inode() == 0 || UnstableInodes(FList.FolderOf(AItem)))
      return true;
    const int64_t LSize = FList.IdentitySize(AItem);
    if (LNow.FInode != AItem.Inode() || LNow.FIsFolder != LFolders ||
        (LSize >= 0 && LNow.FSize != LSize)) {
      AItem.SetRenameErrorText(LFolders ? rs::FolderWasReplaced : rs::FileWasReplaced);
      return false;
    }
    return true;
  }
  // True where the file system of AFolder gives no stable inode numbers;
  // asked once per folder.
  bool UnstableInodes(QStringView AFolder) {
    if (AFolder != FLastFolder) {
      FLastFolder = AFolder.toString();
      FLastUnstable = FFileSystems.Of(FLastFolder).FFatFamily;
    }
    return FLastUnstable;
  }

  TRenameList &FList;
  const std::vector<int> *FSubset;
  int FOrder = 0;
  QString FNameBefore; // the name the first item of a cycle had before it
  platform::TFileSystemCache FFileSystems;
  QString FLastFolder;
  bool FLastUnstable = false;
};

// ---------------------------------------------------------------------------
// Plan, Rename, Rollback

const TPlan &TRenameList::PlanRenaming() {
  if (FPlannerStale)
    RefreshPlanner();
  TSource LSource(*this, nullptr);
  return FPlanner.Plan(LSource);
}

const TPlan &TRenameList::PlanRollback() {
  if (FPlannerStale)
    RefreshPlanner();
  // The renamed items, last renamed first, so that where the plan leaves the
  // order open it follows the reverse order of the renames.
  FRollbackItems.clear();
  for (int i = 0; i < Count(); ++i)
    if (FItems[static_cast<size_t>(i)]->isRenamed())
      FRollbackItems.push_back(i);
  std::stable_sort(FRollbackItems.begin(), FRollbackItems.end(), [this](int ALeft, int ARight) {
    return FItems[static_cast<size_t>(ALeft)]->RenameOrder() >
           FItems[static_cast<size_t>(ARight)]->RenameOrder();
  });
  TSource LSource(*this, &FRollbackItems);
  return FPlanner.Plan(LSource);
}

void TRenameList::RefreshPlanner() {
  TSource LSource(*this, nullptr);
  FPlanner.Refresh(LSource);
  FPlannerStale = false;
}

int TRenameList::ExecuteRenaming() {
  BeginBatch(false);
  for (TRenameItem *LItem : FItems)
    LItem->SetRenameOrder(-1);
  const TPlan &LPlan = PlanRenaming();
  THost LHost(*this, nullptr);
  int LFailures = RunPlan(LPlan, LHost, nullptr);
  if (LFailures < 0) {
    EndBatch(false);
    return -1;
  }
  // An unchanged item counts as renamed, as a move onto its own name does;
  // one whose entry has gone fails as any other. A stopped Rename leaves the
  // unchanged items untried too: they count as renamed only with the batch
  // they belong to. The planner's listings follow the moves made.
  std::vector<int> LMoved;
  for (int i = 0; i < Count(); ++i) {
    TRenameItem &LItem = *FItems[static_cast<size_t>(i)];
    if (LPlan.FEntries[static_cast<size_t>(i)].FStatus == TPlanStatus::Unchanged) {
      if (FLastStopped)
        LItem.SetNotTried(true);
      else if (!MoveItem(LItem, false))
        ++LFailures;
    } else if (LItem.isRenamed()) {
      LMoved.push_back(i);
    }
  }
  FPlanner.NoteMoved(LMoved);
  if (IsFolderList())
    FPlanner.ForgetPaths();
  EndBatch(false);
  return LFailures;
}

int TRenameList::ExecuteRollback() {
  BeginBatch(true);
  const TPlan &LPlan = PlanRollback();
  const std::vector<int> LItems = FRollbackItems;
  THost LHost(*this, &LItems);
  int LFailures = RunPlan(LPlan, LHost, &LItems);
  if (LFailures < 0) {
    EndBatch(true);
    return -1;
  }
  std::vector<int> LMoved;
  for (size_t i = 0; i < LItems.size(); ++i) {
    TRenameItem &LItem = *FItems[static_cast<size_t>(LItems[i])];
    if (LPlan.FEntries[i].FStatus == TPlanStatus::Unchanged) {
      if (FLastStopped)
        LItem.SetNotTried(true);
      else if (!MoveItem(LItem, true))
        ++LFailures;
    } else if (!LItem.isRenamed()) {
      LMoved.push_back(static_cast<int>(i));
    }
  }
  FPlanner.NoteMoved(LMoved);
  if (IsFolderList())
    FPlanner.ForgetPaths();
  EndBatch(true);
  return LFailures;
}

bool TRenameList::HasRenamedItems() const {
  return std::any_of(FItems.begin(), FItems.end(),
                     [](const TRenameItem *AItem) { return AItem->isRenamed(); });
}

void TRenameList::NoteRolledBack(const std::vector<int> &AStillRenamed) {
  const std::unordered_set<int> LStill(AStillRenamed.begin(), AStillRenamed.end());
  std::vector<TRenameItem *> LBack;
  for (TRenameItem *LItem : FItems)
    if (LItem->isRenamed() && LStill.count(LItem->JournalItem()) == 0)
      LBack.push_back(LItem);
  MovedBackElsewhere(LBack);
  // The moves were made elsewhere: the folders are read again for the plan.
  if (IsFolderList())
    FPlanner.ForgetPaths();
  FPlannerStale = true;
}

void TRenameList::MovedBackElsewhere(const std::vector<TRenameItem *> &AItems) {
  for (TRenameItem *LItem : AItems) {
    LItem->SetisRenamed(false);
    LItem->SetRenameOrder(-1);
  }
}

// ---------------------------------------------------------------------------
// Running a plan with its journal

namespace {

// Asks only for a stop: the observer of a batch without a journal.
class TStopOnly : public TPlanObserver {
public:
  explicit TStopOnly(const std::function<bool()> &AStop) : FStop(AStop) {}
  void StepDone(int, bool, const QString &) override {}
  bool StopBeforeGroup() override { return FStop && FStop(); }

private:
  const std::function<bool()> &FStop;
};

// The progress hears of each step after the journal has recorded it.
class TWithProgress : public TPlanObserver {
public:
  TWithProgress(TPlanObserver &AInner, const std::function<void(int)> &AStepDone)
      : FInner(AInner), FStepDone(AStepDone) {}
  void StepDone(int AStep, bool AOk, const QString &ATemporary) override {
    FInner.StepDone(AStep, AOk, ATemporary);
    FStepDone(AStep);
  }
  void AfterCycleOpens() override { FInner.AfterCycleOpens(); }
  void StepUndone(int AStep) override { FInner.StepUndone(AStep); }
  bool StopBeforeGroup() override { return FInner.StopBeforeGroup(); }

private:
  TPlanObserver &FInner;
  const std::function<void(int)> &FStepDone;
};

// Writes the plan's steps (AStepOf describes each) to the journal before the
// first move; null, with ARun.FError, when that fails.
std::unique_ptr<TBatchWriter>
OpenBatch(TBatchRun &ARun, const TPlan &APlan,
          const std::function<TJournalStep(const TPlanStep &)> &AStepOf,
          const std::function<QString(const TPlanStep &)> &AFolderOf) {
  TJournalBatch LBatch; // the batch a rollback is appended to
  const bool LAppend = ARun.FRollback && !ARun.FBatchId.isEmpty();
  if (LAppend && !ARun.FJournal->Load(ARun.FBatchId, LBatch)) {
    ARun.FError = rs::FormatMessage(rs::CannotWriteJournal, {ARun.FBatchId});
    return nullptr;
  }
  std::vector<QString> LFolders = LBatch.FFolders;
  QHash<QString, int> LFolderNumbers;
  for (size_t i = 0; i < LFolders.size(); ++i)
    LFolderNumbers.insert(LFolders[i], static_cast<int>(i));
  const size_t LKnownFolders = LFolders.size();
  std::vector<TJournalStep> LSteps;
  LSteps.reserve(APlan.FSteps.size());
  for (const TPlanStep &LPlanStep : APlan.FSteps) {
    const QString LFolderPath = AFolderOf(LPlanStep);
    auto LFolder = LFolderNumbers.constFind(LFolderPath);
    if (LFolder == LFolderNumbers.constEnd()) {
      LFolder = LFolderNumbers.insert(LFolderPath, static_cast<int>(LFolders.size()));
      LFolders.push_back(LFolderPath);
    }
    TJournalStep LStep = AStepOf(LPlanStep);
    LStep.FKind = LPlanStep.FKind;
    LStep.FFolder = *LFolder;
    LSteps.push_back(std::move(LStep));
  }
  std::unique_ptr<TBatchWriter> LWriter;
  if (LAppend) {
    // A folder the batch does not know yet (a folder renamed since, seen
    // by a child) is named by a line of its own before the section.
    LWriter = ARun.FJournal->ReopenBatch(ARun.FBatchId, ARun.FError);
    if (LWriter && LFolders.size() > LKnownFolders) {
      std::vector<QString> LNew(LFolders.begin() + static_cast<std::ptrdiff_t>(LKnownFolders),
                                LFolders.end());
      if (!LWriter->AddFolders(static_cast<int>(LKnownFolders), LNew, ARun.FError))
        return nullptr;
    }
  } else {
    LWriter = ARun.FJournal->BeginBatch(ARun.FKind, LFolders, ARun.FError);
  }
  if (!LWriter)
    return nullptr;
  if (!LWriter->BeginSection(ARun.FRollback ? TSectionKind::Rollback : TSectionKind::Rename, LSteps,
                             ARun.FError))
    return nullptr;
  if (!ARun.FRollback)
    ARun.FBatchId = LWriter->Id();
  LWriter->SetStopRequest(ARun.FStopRequest);
  return LWriter;
}

} // namespace

int RunBatch(TBatchRun &ARun, const TPlan &APlan, TPlanHost &AHost,
             const std::function<TJournalStep(const TPlanStep &)> &AStepOf,
             const std::function<QString(const TPlanStep &)> &AFolderOf) {
  ARun.FError.clear();
  ARun.FJournalError.clear();
  ARun.FStopped = false;
  std::unique_ptr<TBatchWriter> LWriter;
  if (ARun.FJournal) {
    LWriter = OpenBatch(ARun, APlan, AStepOf, AFolderOf);
    if (!LWriter)
      return -1;
  }
  TStopOnly LStopOnly(ARun.FStopRequest);
  TPlanObserver *LObserver = LWriter ? static_cast<TPlanObserver *>(LWriter.get()) : &LStopOnly;
  std::optional<TWithProgress> LWithProgress;
  if (ARun.FStepDone) {
    LWithProgress.emplace(*LObserver, ARun.FStepDone);
    LObserver = &*LWithProgress;
  }
  const TExecuteResult LResult = ExecutePlanObserved(APlan, AHost, LObserver);
  ARun.FStopped = LResult.FStopped;
  if (LWriter) {
    LWriter->EndSection(LResult.FStepsTried - LResult.FFailed, LResult.FFailed, LResult.FStopped);
    ARun.FJournalError = LWriter->Close();
  }
  return LResult.FFailed;
}

int TRenameList::RunPlan(const TPlan &APlan, THost &AHost, const std::vector<int> *ASubset) {
  const bool LRollback = ASubset != nullptr;
  // The journal numbers the items of a batch as the list held them at the
  // Rename; a Rollback names them by those numbers whatever the order now.
  if (!LRollback)
    for (int i = 0; i < Count(); ++i)
      FItems[static_cast<size_t>(i)]->SetJournalItem(i);
  TBatchRun LRun;
  LRun.FJournal = FJournal;
  LRun.FKind = IsFolderList() ? TBatchKind::Folders : TBatchKind::Files;
  LRun.FRollback = LRollback;
  LRun.FStopRequest = [this] {
    return (FProgress && FProgress->StopRequested()) || (FStopRequest && FStopRequest());
  };
  // Every item of the plan is not tried until its first step is made.
  for (TRenameItem *LItem : FItems)
    LItem->SetNotTried(false);
  for (const TPlanStep &LStep : APlan.FSteps)
    PlanItem(LStep.FItem, ASubset).SetNotTried(true);
  const int LTotal = static_cast<int>(APlan.FSteps.size());
  LRun.FStepDone = [&](int AStep) {
    TRenameItem &LItem = PlanItem(APlan.FSteps[static_cast<size_t>(AStep)].FItem, ASubset);
    LItem.SetNotTried(false);
    // The name the item had before the batch moved it.
    if (FProgress)
      FProgress->Report(AStep + 1, LTotal,
                        NameOf(LItem, LRollback ? TNameOf::Target : TNameOf::Old));
  };
  LRun.FBatchId = FBatchId;
  const int LFailed = RunBatch(
      LRun, APlan, AHost,
      [&](const TPlanStep &AStep) {
        const TRenameItem &LItem = PlanItem(AStep.FItem, ASubset);
        TJournalStep LStep;
        DescribeEntry(LItem, LStep);
        LStep.FItem = LItem.JournalItem();
        LStep.FFrom = AStep.FKind == TStepKind::FromTemporary
                          ? APlan.TemporaryName(AStep)
                          : NameOf(LItem, LRollback ? TNameOf::Current : TNameOf::RenameFrom);
        LStep.FTo = AStep.FKind == TStepKind::ToTemporary
                        ? APlan.TemporaryName(AStep)
                        : NameOf(LItem, LRollback ? TNameOf::Old : TNameOf::Target);
        return LStep;
      },
      [&](const TPlanStep &AStep) { return FolderOf(PlanItem(AStep.FItem, ASubset)).toString(); });
  FBatchError = LRun.FError;
  FJournalError = LRun.FJournalError;
  FBatchId = LRun.FBatchId;
  FLastStopped = LRun.FStopped;
  if (LFailed < 0)
    for (TRenameItem *LItem : FItems)
      LItem->SetNotTried(false);
  return LFailed;
}
