// The folder rename engine: one folder to rename (TFolderInfo), the owning
// list that collects folders without duplicates and renames them deepest
// first (TFolderList), and the walk that collects the subfolders of a folder
// (ScanSubFolders). A folder's name is renamed as a whole: there is no split
// into name and extension.
#pragma once

#include "uMaskScanner.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"
#include "uProgress.h"
#include "uRenamePlan.h"

class TJournal;

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The directory entry of a folder as a listing gives it: its name and its
// last-write time (in UTC or in local time; shown in local time; invalid when
// it could not be read, which shows as the zero date).
struct TFolderEntry {
  QString FName;
  QDateTime FLastWrite;
};

class TFolderInfo {
public:
  // ALocation is the folder that contains the folder, kept as given (with or
  // without a final delimiter); AFileInfo is the folder's own entry.
  TFolderInfo(const QString &ALocation, const TFolderEntry &AFileInfo);

  TFolderInfo(const TFolderInfo &) = delete;
  TFolderInfo &operator=(const TFolderInfo &) = delete;

  // --- Properties -------------------------------------------------------
  const QString &OldName() const { return FOldName; }
  const QString &NewName() const { return FNewName; }
  void SetNewName(const QString &AValue) { FNewName = AValue; }
  // The size of everything below the folder as a text; computed on the first
  // read and kept from then on.
  QString SizeStr();
  // The size measured elsewhere (on another thread), kept as SizeStr's.
  void SetSize(int64_t ASize);
  const QString &Location() const { return FLocation; }
  int CounterStart() const { return FCounterStart; }
  void SetCounterStart(int AValue) { FCounterStart = AValue; }
  int CounterStep() const { return FCounterStep; }
  void SetCounterStep(int AValue) { FCounterStep = AValue; }
  int CntDigitNumber() const { return FCntDigitNumber; }
  void SetCntDigitNumber(int AValue) { FCntDigitNumber = AValue; }
  int Index() const { return FIndex; }
  void SetIndex(int AValue) { FIndex = AValue; }
  bool isRenamed() const { return FisRenamed; }
  void SetisRenamed(bool AValue) { FisRenamed = AValue; }
  // The last Rename or Rollback was stopped before it tried this folder.
  bool NotTried() const { return FNotTried; }
  const QString &ExeptionText() const { return FExeptionText; }
  void SetExeptionText(const QString &AValue) { FExeptionText = AValue; }
  const QString &RenameErrorText() const { return FRenameErrorText; }
  void SetRenameErrorText(const QString &AValue) { FRenameErrorText = AValue; }
  int GridRow() const { return FGridRow; }
  void SetGridRow(int AValue) { FGridRow = AValue; }
  // Where the folder's rename came in the last batch that renamed it (from
  // 0); -1 when it has not been renamed by a batch. Rollback goes backwards
  // through this order.
  int RenameOrder() const { return FRenameOrder; }
  // The planner's number for the folder that holds this one (-1: not known).
  int &PlanFolderSlot() { return FPlanFolder; }
  // The name the folder carries on disk now.
  const QString &RealName() const { return FRealName; }
  // The folder's identity as taken for the last batch (0: not taken).
  uint64_t Inode() const { return FInode; }
  void SetInode(uint64_t AValue) { FInode = AValue; }
  // The item's number in the journal's batch of the last Rename (-1: none).
  int JournalItem() const { return FJournalItem; }
  void SetJournalItem(int AValue) { FJournalItem = AValue; }
  // The depth: the number of path delimiters in FullFolderName, counted on the
  // first read and kept (renames do not change it).
  int Level() const;
  // Location, a delimiter unless Location ends in one, and the name the folder
  // carries on disk now.
  QString FullFolderName() const;
  // The last-write time in the user's locale: short date, a blank, long time;
  // the time is left out when it is exactly 00:00:00.
  QString DateStr() const;

  // --- Operations -------------------------------------------------------
  // One token of the folder mask at the "[" at position ACounter (counted from
  // 1): appends its text to NewName and returns the number of mask characters
  // consumed.
  int CheckSpecialSumbol(const QString &ANameMask, int ACounter);
  // The counter text of ANumber, padded to CntDigitNumber characters.
  QString GetDigitNumber(int ANumber) const;
  // NewName := the scan of ANameMask.
  void FolderNameMaskApply(const QString &ANameMask);
  void SetLowercase();
  void SetUppercase();
  void SetFirstLetterUp();
  void SetAllFirstUp();
  // Moves the folder to NewName in its Location, never replacing anything;
  // the outcome is in isRenamed. A missing folder fails with "Directory not
  // exist"; a NewName that is no single name (empty, ".", "..", holding a
  // delimiter or NUL) fails with "Invalid file name" without touching the
  // disk; a NewName equal to the current name needs no move and succeeds.
  void RenameFolder();
  // Moves the folder from its current name back to OldName; the outcome is in
  // isRenamed.
  void RollbackFolder();
  void SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr);
  // The search and replace of a recipe on the new name.
  void ApplySearch(const nameedits::TSearchReplace &ASearch) { FNewName = ASearch.Apply(FNewName); }
  bool IsInitializedSize() const { return FSize >= 0; }
  // After a folder moved from the full name AOldLocation to ANewLocation:
  // rewrites Location when it is that folder or lies below it.
  void CheckLocation(const QString &AOldLocation, const QString &ANewLocation);

private:
  friend class TFolderList;
  friend class TFolderLocationIndex;
  friend class TFolderPlanHost;
  // RenameFolder and RollbackFolder from the known current full name
  // ASource; on success ANewFullName is the folder's full name afterwards.
  bool DoRename(const QString &ASource, QString &ANewFullName);
  bool DoRollback(const QString &ASource, QString &ANewFullName);
  // The mask scan with one reading of the clock shared by the caller (ANow
  // is filled on the first date or time token and reused from then on).
  void ApplyMask(const QString &ANameMask, std::optional<QDateTime> &ANow);
  // What the mask tokens read of this folder; ANow is the shared moment.
  masks::TTokenSource TokenSource(std::optional<QDateTime> &ANow) const;

  QString FOldName;
  QString FNewName;
  QString FRealName;
  int64_t FSize = -1;
  QString FSizeStr;
  QDateTime FDate;
  QString FLocation;
  int FCounterStart = 1;
  int FCounterStep = 1;
  int FCntDigitNumber = 1;
  int FIndex = 0;
  bool FisRenamed = false;
  bool FNotTried = false;
  QString FExeptionText;
  QString FRenameErrorText;
  int FGridRow = 0;
  int FRenameOrder = -1;
  int FPlanFolder = -1;
  int FJournalItem = -1;
  uint64_t FInode = 0;
  mutable int FLevel = -1;
};

// What an Add of folders did.
struct TFolderAddOutcome {
  int FFound = 0;        // folders found: chosen ones and those below them
  int FNotAdded = 0;     // found ones not added (already listed, hidden, a root)
  int FNoFolder = 0;     // chosen paths that are no folder
  bool FStopped = false; // a stop was requested: the list is as it was before
};

// A column of the preview grid that the folder list is sorted by.
enum class TFolderSortKey { OldName, NewName, Location };

// "Comes before" for sorting the folder list by a column of the preview grid:
// OldName by the old name, NewName by the new name, Location by the location
// and then the old name, each with CompareTextAZ. ADown reverses every
// comparison, the tie-break included.
struct TFolderSortLess {
  TFolderSortKey FKey = TFolderSortKey::OldName;
  bool FDown = false;
  bool operator()(const TFolderInfo &ALeft, const TFolderInfo &ARight) const;
};

// The list of folders of the folder page. It owns its items, keeps a
// dictionary of the full names added so that no folder is listed twice, and
// renames and rolls back all items deepest folder first.
class TFolderList {
public:
  TFolderList() = default;
  ~TFolderList();
  TFolderList(const TFolderList &) = delete;
  TFolderList &operator=(const TFolderList &) = delete;

  // --- The owning list ----------------------------------------------------
  int Count() const { return static_cast<int>(FItems.size()); }
  TFolderInfo *Items(int AIndex) const { return FItems[static_cast<size_t>(AIndex)].get(); }
  TFolderInfo *operator[](int AIndex) const { return Items(AIndex); }
  // Appends AItem; it is not entered into the dictionary (AddFolderInfoIfNeed does that).
  void Add(std::unique_ptr<TFolderInfo> AItem);
  // Removes and destroys the item at AIndex; its current full name leaves the
  // dictionary, so that the folder can be added again.
  void Delete(int AIndex);
  // Orders the items as ALess says, not necessarily stable; each text is
  // folded once rather than in every comparison.
  void Sort(const TFolderSortLess &ALess);

  // --- Operations -------------------------------------------------------
  const QString &FolderNameMask() const { return FFolderNameMask; }
  void SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr);
  // True when "[C]" occurs in FolderNameMask.
  bool GetIsCounterInNameMask() const;
  // Renames all items as the plan says (PlanRenaming): deepest first, chains
  // of one folder in order, swaps through a temporary name, the items with a
  // conflict last (where they fail). Returns the number of failures.
  int ExecuteRenaming();
  // What a Rename would do for every item now (by list index).
  const TPlan &PlanRenaming();
  // What a Rollback would do for the renamed items (by their list indexes).
  const TPlan &PlanRollback();
  // The plan made last, of a Rename or a Rollback.
  const TPlan &LastPlan() const { return FPlanner.LastPlan(); }
  // Reads the folders of the items anew for the planner (after an Add, on
  // Apply); a Rename and a Rollback have it done before the next plan.
  void RefreshPlanner();

  // The journal that records Rename and Rollback, as on the file list:
  // without it being written nothing moves (-1, BatchError).
  void SetJournal(TJournal *AJournal) { FJournal = AJournal; }
  TJournal *Journal() const { return FJournal; }
  const QString &BatchError() const { return FBatchError; }
  const QString &BatchId() const { return FBatchId; }
  void SetBatchId(const QString &AValue) { FBatchId = AValue; }
  void SetStopRequest(std::function<bool()> AStop) { FStopRequest = std::move(AStop); }
  bool LastBatchStopped() const { return FLastStopped; }
  // Where Rename and Rollback report each step and learn of a stop, besides
  // the stop request (none: nothing reported). The folders the last batch
  // never tried because it stopped are NotTried.
  void SetProgress(TProgress *AProgress) { FProgress = AProgress; }
  // Puts each folder where a journal says it is: AMoves, in the order they
  // were made, give an item (by list index) and the name it took; the
  // locations below a folder follow it. Marks as renamed every item whose
  // name is no longer its old one.
  void ReplayMoves(const std::vector<std::pair<int, QString>> &AMoves);
  // Moves all renamed items back in the reverse order of their renames, so
  // that a chain (n12 -> n13, then n11 -> n12) is undone from its end;
  // returns the number of failures.
  int ExecuteRollback();
  bool HasRenamedFolders() const;
  // The batch of the last Rename was rolled back elsewhere (from its
  // journal): every renamed folder whose journal number is not in
  // AStillRenamed is marked as back under its old name, and the locations
  // below it follow.
  void NoteRolledBack(const std::vector<int> &AStillRenamed);
  void SetCounter(int Start, int Step, int Number);
  // Stores ANameMask and applies it to the items from APosition to the end.
  void SetFolderNameMask(const QString &ANameMask, int APosition);
  // Adds the folder AFullFolderName itself (with or without a final
  // delimiter) unless it is listed already, cannot be found, is hidden, is no
  // real folder, or is a root. True when an item was added.
  bool AddFolderInfoIfNeed(const QString &AFullFolderName);
  // Adds the folder AFileInfo found in APath unless it is listed already. True
  // when an item was added.
  bool AddFolderInfoIfNeed(const QString &APath, const TFolderEntry &AFileInfo);
  // Adds, for each of AFolders, the folder itself (AIncludeRoot) and the
  // folders below it (AIncludeSub, as ScanSubFolders finds them) that are not
  // listed yet. With AProgress the walks are reported, and a stop requested
  // before the end leaves the list as it was: an Add is whole or nothing.
  TFolderAddOutcome AddFolders(const QStringList &AFolders, bool AIncludeRoot, bool AIncludeSub,
                               const TProgress *AProgress = nullptr);
  // Removes the items from APosition to the end.
  void Truncate(int APosition);
  // Every item from position Value on gets its position as Index.
  void ReindexFolderInfo(int Value);
  // Orders the items deepest first; their Index values stay.
  void SortFolderbyLocation();
  // Makes the new names of the items from APosition on by ARecipe (its
  // extension mask is not used): their positions, the counter, the mask,
  // search and replace and the case rule, in that order. A counter in the
  // mask numbers every item by its position, so with one every item gets its
  // name anew; so does every item when the recipe is not the one the names
  // were last made by. One reading of the clock serves the whole list.
  // Returns the first position whose new name may have changed.
  int ApplyRecipe(const TNameRecipe &ARecipe, int APosition);
  // Removes and destroys all items and empties the dictionary.
  void ClearList();

private:
  void RemoveFromDictionary(const TFolderInfo &AItem);

  QString FFolderNameMask;
  // The recipe the names were last made by as a whole; none before the first.
  std::optional<TNameRecipe> FRecipe;
  TRenamePlanner FPlanner;
  bool FPlannerStale = false;
  std::vector<int> FRollbackItems;
  TJournal *FJournal = nullptr;
  QString FBatchError;
  QString FBatchId;
  std::function<bool()> FStopRequest;
  TProgress *FProgress = nullptr;
  bool FLastStopped = false;
  int RunPlan(const TPlan &APlan, TPlanHost &AHost, const std::vector<int> *ASubset);
  QHash<QString, int> FFullNameHash;
  std::vector<std::unique_ptr<TFolderInfo>> FItems;
};

// Walks the folders below AFolder depth first, in the listing order of the
// file system, and calls ACallback for every subfolder before walking into it:
// APath is the folder in which it was found (AFolder exactly as given for the
// first level), AFileInfo its entry. Hidden folders and symbolic links are
// neither reported nor entered; a folder that cannot be listed adds nothing.
// With AProgress, each folder found is reported (the count so far, of an
// unknown total, and its path), and the walk ends where a stop is requested:
// the caller asks AProgress whether it ended early.
void ScanSubFolders(
    const QString &AFolder,
    const std::function<void(const QString &APath, const TFolderEntry &AFileInfo)> &ACallback,
    const TProgress *AProgress = nullptr);

// Every entry below AFolder that is not a folder, hidden ones included, in a
// depth-first walk that takes each folder's entries in the order the file
// system lists them and descends into a subfolder where it meets it. Links to
// folders are neither collected nor entered (so the walk cannot loop); links
// to files are collected. A folder that cannot be listed adds nothing. Names
// are kept losslessly, so folders whose names are not UTF-8 are entered too.
// With AProgress, each folder entered is reported (the files found so far,
// of an unknown total, and the folder), and the walk ends where a stop is
// requested, with what it found until then.
QStringList CollectFolderFiles(const QString &AFolder, const TProgress *AProgress = nullptr);
