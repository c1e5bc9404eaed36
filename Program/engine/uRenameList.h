// One list of items to rename, whatever their kind. TRenameList holds what
// the file list and the folder list share and writes it once: the items in
// their order, the recipe that makes their new names, the counter, sorting,
// the plan of a Rename or a Rollback, running it with its journal records
// and its progress, and the batches rolled back elsewhere. A kind (TFileList,
// TFolderList) supplies only what differs: how a recipe makes an item's new
// name (the tokens that apply), the names the planner reads, how an entry
// moves, the depth order of folders, and what identifies an item on disk.
//
// The items live in chunks of the list's own storage (TItemStore), not one
// allocation each; the list's order is a vector of pointers into it, so a
// sort moves pointers and an item keeps its address while it is listed.
#pragma once

#include "uJournal.h"
#include "uMaskScanner.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"
#include "uProgress.h"
#include "uRenameItem.h"
#include "uRenamePlan.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The names of an item a list asks its kind for.
enum class TNameOf {
  Old,       // as it was found
  Target,    // what a Rename gives it
  Current,   // what its entry carries on disk now
  RenameFrom // what a Rename moves it from
};

// What a list sorts by: the columns of the preview grid (the names and the
// location), and what an item carries besides its names: the date a photo
// was taken (the date the [EXIF:] token gives, the modification time where
// the file holds none), the modification time and the size. A folder has no
// date taken and no size.
enum class TSortKey { OldName, NewName, Location, Taken, Modified, Size };

// The key is a column of the preview grid.
inline bool IsColumnKey(TSortKey AKey) {
  return AKey == TSortKey::OldName || AKey == TSortKey::NewName || AKey == TSortKey::Location;
}

// What one application of a recipe to many items shares: one reading of the
// clock, so that every name made by it shows the same date and time.
struct TRecipePass {
  std::optional<QDateTime> FNow;
};

class TRenameList {
public:
  TRenameList();
  TRenameList(const TRenameList &) = delete;
  TRenameList &operator=(const TRenameList &) = delete;
  virtual ~TRenameList();

  // ---- The items, positions 0 to Count - 1 --------------------------------
  int Count() const { return static_cast<int>(FItems.size()); }
  TRenameItem &ItemAt(int APosition) const { return *FItems[static_cast<size_t>(APosition)]; }
  // Removes and destroys the item at APosition.
  void Delete(int APosition);
  // Removes and destroys the items from APosition to the end.
  void Truncate(int APosition);
  // Removes and destroys every item; the planner forgets every folder.
  void Clear();
  // Orders the items by AKey (descending with ADown): a name or location
  // folded once as CompareTextAZ folds it, a date or size as a number. Stable
  // in either direction: items that compare equal keep their order. A key
  // the kind does not sort by leaves the order as it is. Sorting by the date
  // taken reads what ReadSortKeys has not read yet. Index is not touched.
  void Sort(TSortKey AKey, bool ADown);
  // The kind sorts by AKey (a folder has no date taken and no size).
  virtual bool SortsBy(TSortKey AKey) const {
    return AKey != TSortKey::Taken && AKey != TSortKey::Size;
  }
  // Sorting by AKey reads files that the list has not read yet.
  virtual bool NeedsSortRead(TSortKey /*AKey*/) const { return false; }
  // Reads for every item what sorting by AKey needs, reporting each item to
  // AProgress (may be null) and stopping when it asks; false when stopped.
  // The order is not touched. Safe on a worker thread while other threads
  // only read the list.
  virtual bool ReadSortKeys(TSortKey /*AKey*/, TProgress * /*AProgress*/) { return true; }
  // Index := position for the items from AFrom to the end.
  void Reindex(int AFrom);

  // The items are folders: moving one moves the paths of the items below it.
  virtual bool IsFolderList() const = 0;

  // ---- Names --------------------------------------------------------------
  // The item's name as it was found.
  QString OldName(int APosition) const { return NameOf(APosition, TNameOf::Old); }
  // Makes the new names of the items from APosition on by ARecipe: their
  // positions, the counter, the masks, search and replace and the case rule.
  // A counter in a mask numbers every item by its position, so with one
  // every item gets its name anew; so does every item when the recipe is not
  // the one the names were last made by. Returns the first position whose
  // new name may have changed.
  int ApplyRecipe(const TNameRecipe &ARecipe, int APosition);
  // A mask applied on its own: AMask becomes the name mask (APart Name) or
  // the extension mask, and makes that part of the new names of the items
  // from APosition on; search and replace and the case rule are left out.
  void ApplyMaskAlone(masks::TMaskPart APart, const QString &AMask, int APosition);
  // Every item carries these counter values (for a mask with the counter
  // applied later); the names no longer follow one recipe as a whole.
  void SetCounter(int AStart, int AStep, int ADigits);
  // A mask the names were last made by holds the counter.
  bool HasCounter() const;
  // The mask last applied: the name mask (APart Name) or the extension mask.
  const QString &AppliedMask(masks::TMaskPart APart) const {
    return APart == masks::TMaskPart::Name ? FMasks.FNameMask : FMasks.FExtMask;
  }
  // The masks of ARecipe (those this kind applies) are the ones applied.
  bool MasksApplied(const TNameRecipe &ARecipe) const;
  // The name the item's entry has on disk after a Rename: what the move
  // uses, and what the grid, the balloon, the command line and the journal
  // show.
  QString TargetName(int APosition) const { return NameOf(APosition, TNameOf::Target); }
  // One of the item's names.
  QString NameOf(int APosition, TNameOf AWhich) const {
    return NameParts(ItemAt(APosition), AWhich).ToString();
  }
  // The full path of the item's entry after a Rename.
  QString TargetPath(int APosition) const;
  // The full path of the item's entry as it stands on disk now.
  QString CurrentPath(int APosition) const;
  // The folder the item's entry stands in, as its Location shows it.
  QString FolderPath(int APosition) const { return FolderOf(ItemAt(APosition)).toString(); }

  // ---- Plan, Rename, Rollback ---------------------------------------------
  // What a Rename would do for every item now (by position).
  const TPlan &PlanRenaming();
  // What a Rollback would do for the renamed items (by their positions;
  // other items are Unchanged).
  const TPlan &PlanRollback();
  // The plan made last, of a Rename or a Rollback.
  const TPlan &LastPlan() const { return FPlanner.LastPlan(); }
  // Reads the folders of the items anew for the planner (after an Add, on
  // Apply); a Rename and a Rollback have it done before the next plan.
  void RefreshPlanner();
  // Renames every item as the plan says: chains in order, swaps through a
  // temporary name, folders deepest first, the items with a conflict last
  // (where they fail). An item whose new name is its old one counts as
  // renamed. Returns the number that failed, or -1 when the journal could
  // not be written and nothing moved (BatchError says why).
  int ExecuteRenaming();
  // Moves every renamed item back, planned the same way, so that chains and
  // swaps come undone whatever order the list has now. Returns the number
  // that failed, or -1 as ExecuteRenaming.
  int ExecuteRollback();
  bool HasRenamedItems() const;
  // The batch of the last Rename was rolled back elsewhere (from its
  // journal): every renamed item whose journal number is not in
  // AStillRenamed is marked as back under its old name.
  void NoteRolledBack(const std::vector<int> &AStillRenamed);

  // ---- The batch's journal and progress -----------------------------------
  // The journal that records Rename and Rollback (none: nothing recorded).
  void SetJournal(TJournal *AJournal) { FJournal = AJournal; }
  TJournal *Journal() const { return FJournal; }
  // Why the last Rename or Rollback moved nothing (its plan could not be
  // written to the journal).
  const QString &BatchError() const { return FBatchError; }
  // A journal write or sync that failed while the last batch ran: the batch
  // stopped at its next group of moves (LastBatchStopped), and the moves
  // made stay recoverable from the plan written before the first one.
  // Empty when the journal was written completely.
  const QString &JournalError() const { return FJournalError; }
  // The journal's batch of the last Rename (empty before one).
  const QString &BatchId() const { return FBatchId; }
  void SetBatchId(const QString &AValue) { FBatchId = AValue; }
  // Asked between the groups of moves: true stops a Rename or Rollback there.
  void SetStopRequest(std::function<bool()> AStop) { FStopRequest = std::move(AStop); }
  // True when the last Rename or Rollback was stopped before its end.
  bool LastBatchStopped() const { return FLastStopped; }
  // Where Rename and Rollback report each step and learn of a stop, besides
  // the stop request (none: nothing reported). The items the last batch
  // never tried because it stopped are NotTried.
  void SetProgress(TProgress *AProgress) { FProgress = AProgress; }

  // What the metadata tokens of the item's name did not find
  // (masks::TMetadataNote bits; 0: nothing to say).
  virtual uint16_t MetadataNotes(int /*APosition*/) const { return 0; }
  // The recipe's masks read metadata that the list has not read yet for
  // some item: applying it reads files.
  virtual bool NeedsMetadataRead(const TNameRecipe & /*ARecipe*/) const { return false; }
  // Reads for every item what the recipe's masks need, reporting each item
  // to AProgress (may be null) and stopping when it asks. False when
  // stopped: the names are not touched either way. Safe on a worker thread
  // while other threads only read the list.
  virtual bool ReadMetadata(const TNameRecipe & /*ARecipe*/, TProgress * /*AProgress*/) {
    return true;
  }
  // Some item's name mask noted a metadata token that found nothing.
  virtual bool HasMetadataNotes() const { return false; }

protected:
  // ---- What a kind supplies -----------------------------------------------
  // What AItem sorts by for a key that is no column (SortsBy): smaller first.
  virtual int64_t SortValue(const TRenameItem & /*AItem*/, TSortKey /*AKey*/) { return 0; }
  // The rules of ARecipe this kind applies (a folder has no extension).
  virtual TNameRecipe KindRecipe(const TNameRecipe &ARecipe) const { return ARecipe; }
  // Makes AItem's new name by ARecipe; its Index and counter are set.
  virtual void MakeNewName(TRenameItem &AItem, const TNameRecipe &ARecipe,
                           const nameedits::TSearchReplace &ASearch, TRecipePass &APass) = 0;
  // Makes the part APart of AItem's new name by AMask alone.
  virtual void MakeMaskPart(TRenameItem &AItem, masks::TMaskPart APart, const QString &AMask,
                            TRecipePass &APass) = 0;
  // The folder AItem's entry stands in now, as Location shows it.
  virtual QStringView FolderOf(const TRenameItem &AItem) const = 0;
  // One of AItem's names (TNameOf), in pieces.
  virtual TNameParts NameParts(const TRenameItem &AItem, TNameOf AWhich) const = 0;
  // Where the planner may keep the key of the name a Rename moves AItem
  // from between plans (nullptr where that name changes between plans).
  virtual uint64_t *FromKeySlot(TRenameItem & /*AItem*/) { return nullptr; }
  // The size a Rollback finds again under the new name (-1: not compared).
  virtual int64_t IdentitySize(const TRenameItem & /*AItem*/) const { return -1; }
  // The depth of AItem's entry: deeper entries move first.
  virtual int Level(const TRenameItem & /*AItem*/) const { return 0; }
  // The path of AName in AItem's folder.
  virtual QString PathInFolder(const TRenameItem &AItem, QStringView AName) const = 0;
  // AItem's own rename to its new name (ABack: its own rollback to its old
  // one), from where it stands now; the outcome is in isRenamed, a
  // failure's reason in RenameErrorText. True when the item reached its name.
  virtual bool MoveItem(TRenameItem &AItem, bool ABack) = 0;
  // Moves an entry of this kind, never replacing another one.
  virtual platform::TMoveResult MoveEntry(const QString &AFrom, const QString &ATo) = 0;
  // AItem's entry went from AFrom to ATo, named AName there (a temporary
  // name of a swap, or back).
  virtual void EntryMoved(TRenameItem & /*AItem*/, const QString & /*AFrom*/,
                          const QString & /*ATo*/, const QString & /*AName*/) {}
  // Before and after a Rename (ARollback false) or a Rollback, around the
  // plan and its moves.
  virtual void BeginBatch(bool /*ARollback*/) {}
  virtual void EndBatch(bool /*ARollback*/) {}
  // The identity of AItem's entry for the journal.
  virtual void DescribeEntry(const TRenameItem &AItem, TJournalStep &AStep) const = 0;
  // AItems were moved back under their old names elsewhere (from the
  // journal): each takes its old name again.
  virtual void MovedBackElsewhere(const std::vector<TRenameItem *> &AItems);
  // AItem leaves the list (before it is destroyed), or every item does.
  virtual void ItemLeaving(TRenameItem & /*AItem*/) {}
  virtual void ListCleared() {}
  // Storage: destroys AItem, or every item of the list.
  virtual void ReleaseItem(TRenameItem *AItem) = 0;
  virtual void ReleaseAll() = 0;

  // Appends AItem, made in the kind's storage; Index is not touched.
  void AppendItem(TRenameItem *AItem) { FItems.push_back(AItem); }
  // The names no longer follow one recipe as a whole.
  void ForgetRecipe() { FRecipe.reset(); }
  // The masks the names were last made by, as the recipe's.
  const TNameRecipe &MaskRecipe() const { return FMasks; }
  TNameRecipe &MaskRecipe() { return FMasks; }
  // The disk changed elsewhere: the planner reads the folders again.
  void PlannerIsStale() { FPlannerStale = true; }
  TRenamePlanner &Planner() { return FPlanner; }

  std::vector<TRenameItem *> FItems;

private:
  class TSource;
  class THost;
  friend class TSource;
  friend class THost;
  // Runs APlan through AHost with the journal (ASubset: the renamed items of
  // a Rollback, by the plan's indexes); -1 when the journal cannot be written.
  int RunPlan(const TPlan &APlan, THost &AHost, const std::vector<int> *ASubset);
  QString NameOf(const TRenameItem &AItem, TNameOf AWhich) const {
    return NameParts(AItem, AWhich).ToString();
  }
  // The item a plan's index names.
  TRenameItem &PlanItem(int AItem, const std::vector<int> *ASubset) const {
    return *FItems[static_cast<size_t>(ASubset ? (*ASubset)[static_cast<size_t>(AItem)] : AItem)];
  }

  // The recipe the names were last made by as a whole; none before the first.
  std::optional<TNameRecipe> FRecipe;
  // The masks last applied (also one by one).
  TNameRecipe FMasks;
  TRenamePlanner FPlanner;
  // The disk changed since the planner read the folders.
  bool FPlannerStale = false;
  // The renamed items of the last rollback plan, by the plan's indexes.
  std::vector<int> FRollbackItems;
  TJournal *FJournal = nullptr;
  QString FBatchError;
  QString FJournalError;
  QString FBatchId;
  std::function<bool()> FStopRequest;
  TProgress *FProgress = nullptr;
  bool FLastStopped = false;
};

// How a plan is run with its journal, by a list or by another holder of
// items: the plan goes to the journal (and to the disk) before the first
// move — a new batch for a Rename, a rollback section of FBatchId for a
// Rollback — and every move is recorded as made.
struct TBatchRun {
  TJournal *FJournal = nullptr; // none: nothing is recorded
  TBatchKind FKind = TBatchKind::Files;
  bool FRollback = false;
  std::function<bool()> FStopRequest; // asked between groups: true stops
  // Called after each step of the plan is made or failed, with its index.
  std::function<void(int AStep)> FStepDone;
  // Filled in: the batch (a Rename sets it), why nothing moved, a stop, a
  // journal write that failed while the moves went on.
  QString FBatchId;
  QString FError;
  QString FJournalError;
  bool FStopped = false;
};

// Runs APlan through AHost as ARun says: AStepOf describes each step for the
// journal (its item, names and identity), AFolderOf names the folder it
// moves in. Returns the number of items that failed, or -1 when the journal
// could not be written and nothing moved. A journal write that fails while
// the moves go on stops the batch at its next group of moves, as a Cancel
// does (ARun.FJournalError).
int RunBatch(TBatchRun &ARun, const TPlan &APlan, TPlanHost &AHost,
             const std::function<TJournalStep(const TPlanStep &)> &AStepOf,
             const std::function<QString(const TPlanStep &)> &AFolderOf);

// Storage for the items of one kind: chunks of many items each, slots of
// destroyed items used again. An item keeps its address until it is
// released.
template <class TItem> class TItemStore {
public:
  TItemStore() = default;
  TItemStore(const TItemStore &) = delete;
  TItemStore &operator=(const TItemStore &) = delete;

  template <class... TArgs> TItem *Make(TArgs &&...AArgs) {
    TItem *LSlot = FFree.empty() ? NextSlot() : TakeFree();
    return std::construct_at(LSlot, std::forward<TArgs>(AArgs)...);
  }
  void Release(TItem *AItem) {
    std::destroy_at(AItem);
    FFree.push_back(AItem);
  }
  // Gives the memory back; every item must have been released.
  void Reset() {
    FChunks.clear();
    FFree.clear();
    FUsed = KChunk;
  }

private:
  static constexpr size_t KChunk = 1024;
  struct TChunk {
    alignas(TItem) std::byte FBytes[KChunk * sizeof(TItem)];
  };
  TItem *NextSlot() {
    if (FUsed == KChunk) {
      FChunks.push_back(std::make_unique_for_overwrite<TChunk>());
      FUsed = 0;
    }
    return reinterpret_cast<TItem *>(FChunks.back()->FBytes) + FUsed++;
  }
  TItem *TakeFree() {
    TItem *LSlot = FFree.back();
    FFree.pop_back();
    return LSlot;
  }
  std::vector<std::unique_ptr<TChunk>> FChunks;
  std::vector<TItem *> FFree;
  size_t FUsed = KChunk;
};

// A list whose items are all of one type: typed access and the storage.
template <class TItem> class TRenameListOf : public TRenameList {
public:
  ~TRenameListOf() override { DestroyItems(); }
  TItem *Items(int APosition) const { return static_cast<TItem *>(&ItemAt(APosition)); }

protected:
  // An item of this list as what it is.
  static const TItem &Of(const TRenameItem &AItem) { return static_cast<const TItem &>(AItem); }
  static TItem &Of(TRenameItem &AItem) { return static_cast<TItem &>(AItem); }
  // Makes an item in the list's storage and appends it.
  template <class... TArgs> TItem &Emplace(TArgs &&...AArgs) {
    TItem *LItem = FStore.Make(std::forward<TArgs>(AArgs)...);
    AppendItem(LItem);
    return *LItem;
  }
  void ReleaseItem(TRenameItem *AItem) override { FStore.Release(static_cast<TItem *>(AItem)); }
  void ReleaseAll() override {
    DestroyItems();
    FItems.clear();
    FStore.Reset();
  }

private:
  void DestroyItems() {
    for (TRenameItem *LItem : FItems)
      FStore.Release(static_cast<TItem *>(LItem));
  }
  TItemStore<TItem> FStore;
};
