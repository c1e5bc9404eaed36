// One file to rename (TFileInfo) and the list that owns the files of the file
// page (TFileList): old name, folder, size, date and attributes as found, the
// new name computed by the masks and name edits, and renaming and rolling
// back on disk.
#pragma once

#include "uMaskScanner.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"
#include "uProgress.h"
#include "uRenamePlan.h"

class TJournal;

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The text kept in ExeptionText for an unexpected failure: the exception's
// type name immediately followed by its message ("std::bad_allocstd::bad_alloc").
QString ExceptionTypeAndMessage(const std::exception &AException);

class TFileInfo {
public:
  // Create: reads the entry at AFullFileName once. The path is not checked:
  // a missing file gives the size -1, the zero date and the attributes raha.
  explicit TFileInfo(const QString &AFullFileName);
  // Create without reading the entry: for an item whose file stands under
  // another name and whose identity is known already (SetIdentity), as when
  // a batch is rolled back from its journal. Size -1, the zero date.
  struct TUnread {};
  TFileInfo(const QString &AFullFileName, TUnread);
  TFileInfo(const TFileInfo &) = delete;
  TFileInfo &operator=(const TFileInfo &) = delete;

  // The old name without its last "." and what follows it.
  QString DelFileExt() const;
  // Splits a new full name at its last ".": NewFileType takes the dot and what
  // follows, the result is the text before it; without a dot NewFileType stays
  // and the result is ANameExtStr whole.
  QString NameExtDistribution(const QString &ANameExtStr);

  // One step of the name mask scan at position ACounter (from 1, at a "["):
  // appends to NewName and returns the number of mask characters consumed.
  int CheckSpecialSumbol(const QString &ANameMask, int ACounter);
  // One step of the extension mask scan; AFListCounter is the position used
  // for the counter value. Appends to NewFileType.
  int CheckSpecialSumbolExt(const QString &AExtMask, int ACounter, int AFListCounter);
  // The counter text of ANumber, padded to CntDigitNumber with leading zeros.
  QString GetDigitNumber(int ANumber) const;
  // NewName := the scan of the name mask ("[N]", "[C]", "[YMD]", "[hms]" and
  // the metadata tokens, read through ACache when one is given).
  void FileNameMaskApply(const QString &ANameMask, metadata::TMetadataCache *ACache = nullptr);
  // What the metadata tokens of the last name mask did not find
  // (masks::TMetadataNote bits; 0: nothing to say).
  uint16_t MetadataNotes() const { return FMetadataNotes; }
  // The path of the file on disk now: its old path, or its new one once renamed.
  QString CurrentPath() const;
  // NewFileType := "." followed by the scan of the extension mask ("[E]", "[C]").
  void FileExtMaskApply(const QString &AExtMask);

  // The letter-case rules.
  void SetLowercase();
  void SetUppercase();
  void SetFirstLetterUp();
  void SetAllFirstUp();

  // Moves the file to Location + TargetName. 0 on success, 1 on failure. An
  // existing entry there is never replaced. A missing file fails with
  // RenameErrorText "File not exist", a target name that is no single name in
  // the folder (empty, ".", "..", holding "/" or NUL) with "Invalid file name",
  // both without touching the disk.
  int TFileInfoRenameFile();
  // Moves the file from Location + TargetName back to its old path. 0 on
  // success, 1 on failure.
  int RollbackFile();

  // Search and replace over NewName + NewFileType, split again at the last
  // dot. The result is always empty.
  QString SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr);
  // The search and replace of a recipe on the new name with its extension.
  void ApplySearch(const nameedits::TSearchReplace &ASearch);

  // Four letters for the entry at AFullFileName: "r" read-only, "a" archive,
  // "h" hidden, "a" system; "-" where unset; "raha" when it cannot be read.
  static QString GetAttributes(const QString &AFullFileName);

  // The full path given at creation; never changed by a rename.
  const QString &FullFileName() const { return FFullFileName; }
  QString OldName() const { return OldNameView().toString(); }
  QStringView OldNameView() const { return QStringView(FFullFileName).sliced(FNameStart); }
  // The old extension without its dot; empty when the old name has none.
  QString FileType() const { return FileTypeView().toString(); }
  QStringView FileTypeView() const {
    return FExtDot < 0 ? QStringView() : QStringView(FFullFileName).sliced(FExtDot + 1);
  }
  QString Location() const;

  const QString &NewName() const;
  void SetNewName(const QString &AValue);
  const QString &NewFileType() const;
  void SetNewFileType(const QString &AValue);
  // NewName followed by NewFileType, as the grid shows it.
  QString NewFullName() const { return NewName() + NewFileType(); }
  // The name the file gets on disk: NewName + NewFileType, except that an
  // extension of "." alone is left out, so that the file ends up without one.
  QString TargetName() const;

  int64_t Size() const { return FSize; }
  // The file's identity as found when the item was made (links followed):
  // what Rollback checks before it moves the file back.
  uint64_t Device() const { return FDevice; }
  uint64_t Inode() const { return FInode; }
  int64_t ModifiedNs() const { return FDateMSecs * 1000000; }
  void SetIdentity(uint64_t ADevice, uint64_t AInode, int64_t ASize) {
    FDevice = ADevice;
    FInode = AInode;
    FSize = ASize;
  }
  // "1536 bytes"; "-1 bytes" for an unknown size.
  QString SizeStr() const;
  // The last modification in local time; the zero date when it could not be read.
  QDateTime Date() const;
  QString Attributes() const;

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
  // The last Rename or Rollback was stopped before it tried this item.
  bool NotTried() const { return FNotTried; }
  void SetNotTried(bool AValue) { FNotTried = AValue; }
  const QString &ExeptionText() const;
  void SetExeptionText(const QString &AValue) { FailureTexts().FExeptionText = AValue; }
  const QString &RenameErrorText() const;
  void SetRenameErrorText(const QString &AValue) { FailureTexts().FRenameErrorText = AValue; }
  int GridRow() const { return FGridRow; }
  void SetGridRow(int AValue) { FGridRow = AValue; }
  // Where the file's rename came in the last batch that renamed it (from 0);
  // -1 when it has not been renamed by a batch.
  int RenameOrder() const { return FRenameOrder; }
  void SetRenameOrder(int AValue) { FRenameOrder = AValue; }
  // The item's number in the journal's batch of the last Rename (-1: none).
  int JournalItem() const { return FJournalItem; }
  void SetJournalItem(int AValue) { FJournalItem = AValue; }
  // The planner's number for the file's folder (-1: not known yet).
  int &PlanFolderSlot() { return FPlanFolder; }
  // The planner's key of the file's old name (0: not known yet).
  uint64_t &PlanFromKeySlot() { return FPlanFromKey; }
  // The name the file has on disk now: its old name, or its new one once renamed.
  TNameParts CurrentNameParts() const;
  // TargetName in pieces, without making a text.
  TNameParts TargetNameParts() const;

  // The moves of a planned swap (used by TFileList's Rename and Rollback):
  // the file goes from APath to ATarget, and failures are recorded as the
  // item's reason. True on success.
  bool MoveEntry(const QString &APath, const QString &ATarget);
  // The path of AName in the file's folder.
  QString PathInFolder(const QString &AName) const { return PathInLocation(AName); }

private:
  // The path of the entry named AName in Location.
  QString PathInLocation(const QString &AName) const;
  // What the mask tokens read of this file, with the counter value of the
  // position ACounterIndex.
  masks::TTokenSource TokenSource(int ACounterIndex) const;
  uint16_t FMetadataNotes = 0;

  // The old name, its extension and the folder are parts of FFullFileName,
  // kept as offsets: an item stays small in lists of 100,000 files.
  QString FFullFileName;
  // The new name and extension start as the old ones; they are made only when
  // first read, since a list applies its masks to every item it adds.
  mutable QString FNewFileType;
  mutable QString FNewName;
  // The texts of failures, made for the few items that fail.
  struct TFailureTexts {
    QString FExeptionText;
    QString FRenameErrorText;
  };
  TFailureTexts &FailureTexts();
  // Keeps the text made by AMake as ExeptionText; a failure to make or keep
  // it is swallowed, so that nothing leaves a rename or rollback.
  template <typename F> void KeepExeptionText(F AMake) noexcept {
    try {
      FailureTexts().FExeptionText = AMake();
    } catch (...) {
    }
  }
  std::unique_ptr<TFailureTexts> FFailureTexts;
  uint64_t FPlanFromKey = 0;
  uint64_t FDevice = 0;
  uint64_t FInode = 0;
  int64_t FSize = -1;
  int64_t FDateMSecs = 0; // ms since 1970-01-01 UTC; meaningful when FDateValid
  int32_t FNameStart = 0; // where the old name begins in FFullFileName
  int32_t FExtDot = -1;   // where its last "." is, -1 when it has none
  int32_t FCounterStart = 1;
  int32_t FCounterStep = 1;
  int32_t FCntDigitNumber = 1;
  int32_t FIndex = 0;
  int32_t FGridRow = 0;
  int32_t FRenameOrder = -1;
  int32_t FPlanFolder = -1;
  int32_t FJournalItem = -1;
  uint8_t FAttributeBits = 0;
  bool FDateValid = false;
  mutable bool FNewNameMade = false;
  mutable bool FNewFileTypeMade = false;
  bool FisRenamed = false;
  bool FNotTried = false;
};

// The full paths of a list's items, for CheckInList: an open-addressing
// table of (hash, item) that never copies a path and compares texts only when
// their hashes agree. One path may be present more than once.
class TFilePathIndex {
public:
  void Insert(const TFileInfo *AItem);
  void Remove(const TFileInfo *AItem);
  bool Contains(QStringView APath) const;
  void Clear();

private:
  // One byte per slot tells empty (0), deleted (1) or a few bits of the
  // path's hash (2 and more): a search for a path that is not there reads
  // only this small array.
  static constexpr uint8_t KEmpty = 0;
  static constexpr uint8_t KDeleted = 1;
  void Rebuild(size_t ACapacity);
  struct TSlot {
    const TFileInfo *FItem = nullptr;
    uint32_t FHash = 0; // kept for rebuilding without reading the paths again
  };
  std::vector<uint8_t> FTags; // a power of two in size, or empty
  std::vector<TSlot> FSlots;  // the item of each used slot
  size_t FLive = 0;           // slots in use
  size_t FTaken = 0;          // slots in use or deleted
};

struct TFileSortLess;

// One path of an Add: a file, or a folder that stands for the files below it.
struct TAddSource {
  QString FPath;
  bool FFolder = false;
};

// What an Add did.
struct TAddOutcome {
  int FFound = 0;        // the files found: chosen ones and those below chosen folders
  int FNotAdded = 0;     // found ones not added: already listed, or a spelling several share
  bool FStopped = false; // a stop was requested: the list is as it was before
};

class TFileList {
public:
  TFileList() = default;
  TFileList(const TFileList &) = delete;
  TFileList &operator=(const TFileList &) = delete;

  // The general list: the items are owned; positions run from 0 to Count - 1.
  int Count() const { return static_cast<int>(FItems.size()); }
  TFileInfo *Items(int AIndex) const { return FItems[static_cast<size_t>(AIndex)].get(); }
  TFileInfo &operator[](int AIndex) const { return *Items(AIndex); }
  // Appends AItem and returns its position. Index is not touched.
  int Add(std::unique_ptr<TFileInfo> AItem);
  void Delete(int AIndex);
  void Clear();
  // Sorts with ALess ("comes before"); items that compare equal may change order.
  void Sort(const std::function<bool(const TFileInfo &, const TFileInfo &)> &ALess);
  // The same for a column of the grid: each item's key is made once, its
  // letters folded as CompareTextAZ folds them, and the keys are compared
  // as they are.
  void Sort(const TFileSortLess &ALess);

  const QString &FileNameMask() const { return FFileNameMask; }
  const QString &FileExtMask() const { return FFileExtMask; }

  // True when no item has exactly this full path, so it may still be added.
  bool CheckInList(const QString &AFullFileName) const;
  // Appends the files of ASources that are not listed yet, a folder's as
  // CollectFolderFiles collects them. A path from a dialog, whose bytes that
  // are not UTF-8 were lost, is found again on disk first (ResolveChosenPath).
  // With AProgress the walk and then each file are reported, and a stop
  // requested before the end leaves the list as it was: an Add is whole or
  // nothing.
  TAddOutcome AddFiles(const std::vector<TAddSource> &ASources,
                       const TProgress *AProgress = nullptr);
  QString SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr);
  bool GetIsCounterInNameMask() const;
  bool GetisCounterInExtMask() const;
  // Renames every item as the plan says (PlanRenaming): chains in order,
  // swaps through a temporary name, the items with a conflict last (where
  // they fail). Returns the number that failed.
  int ExecuteRenaming();
  // Moves every renamed item back, planned the same way (PlanRollback), so
  // that chains and swaps come undone whatever order the list has now.
  // Returns the number that failed.
  int ExecuteRollback();
  // What a Rename would do for every item now (by list index).
  const TPlan &PlanRenaming();
  // What a Rollback would do for the renamed items (by their list indexes;
  // other items are Unchanged).
  const TPlan &PlanRollback();
  // The plan made last, of a Rename or a Rollback.
  const TPlan &LastPlan() const { return FPlanner.LastPlan(); }
  // Reads the folders of the items anew for the planner (after an Add, on
  // Apply); a Rename and a Rollback do it themselves.
  void RefreshPlanner();

  // The journal that records Rename and Rollback (none: nothing recorded).
  // With a journal, a Rename or Rollback whose plan cannot be written to it
  // moves nothing: ExecuteRenaming and ExecuteRollback return -1 and
  // BatchError says why.
  void SetJournal(TJournal *AJournal) { FJournal = AJournal; }
  TJournal *Journal() const { return FJournal; }
  const QString &BatchError() const { return FBatchError; }
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
  bool HasRenamedFiles() const;
  // The batch of the last Rename was rolled back elsewhere (from its
  // journal): every renamed item whose journal number is not in
  // AStillRenamed is marked as back under its old name.
  void NoteRolledBack(const std::vector<int> &AStillRenamed);
  void SetCounter(int Start, int Step, int Number);
  // Stores the mask and applies it to the items from APosition to the end.
  void SetFileNameMask(const QString &ANameMask, int APosition);
  void SetFileExtMask(const QString &AExtMask, int APosition);
  // Sets the item's Index to Count and appends it.
  void AddFileInfo(std::unique_ptr<TFileInfo> AFileInfo);
  // Index := position for the items from Value to the end.
  void ReindexFileInfo(int Value);

  // Makes the new names of the items from APosition on by ARecipe: their
  // positions, the counter, both masks, search and replace and the case
  // rule, in that order. A counter in a mask numbers every item by its
  // position, so with one every item gets its name anew; so does every item
  // when the recipe is not the one the list's names were last made by.
  // Returns the first position whose new name may have changed.
  int ApplyRecipe(const TNameRecipe &ARecipe, int APosition);

  // The recipe's masks read metadata (Exif, music tags) that the list has not
  // read yet for some item: applying it reads files.
  bool NeedsMetadataRead(const TNameRecipe &ARecipe) const;
  // Reads for every item what the recipe's masks need into the list's cache,
  // reporting each item to AProgress (may be null) and stopping when it asks.
  // False when stopped: the names are not touched either way. Safe on a
  // worker thread while other threads only read the list.
  bool ReadMetadata(const TNameRecipe &ARecipe, TProgress *AProgress);
  // Some item's name mask noted a metadata token that found nothing.
  bool HasMetadataNotes() const;
  // What was read of the files, for the life of the list.
  metadata::TMetadataCache &MetadataCache() { return FMetadata; }

private:
  std::vector<std::unique_ptr<TFileInfo>> FItems;
  TFilePathIndex FPaths;
  // The recipe the names were last made by as a whole; none before the first.
  std::optional<TNameRecipe> FRecipe;
  TRenamePlanner FPlanner;
  // The disk changed since the planner read the folders (a Rename or Rollback).
  bool FPlannerStale = false;
  // The renamed items of the last rollback plan, by the plan's indexes.
  std::vector<int> FRollbackItems;
  TJournal *FJournal = nullptr;
  QString FBatchError;
  QString FBatchId;
  std::function<bool()> FStopRequest;
  TProgress *FProgress = nullptr;
  bool FLastStopped = false;
  // Runs APlan through AHost with the journal (ARollback: a rollback
  // section of the last batch); -1 when the journal cannot be written.
  int RunPlan(const TPlan &APlan, TPlanHost &AHost, const std::vector<int> *ASubset);
  QString FFileNameMask;
  QString FFileExtMask;
  // Metadata by the path the file has on disk; a Rename or Rollback forgets
  // the paths it moved files from and to.
  metadata::TMetadataCache FMetadata;
  // Forgets the metadata of both paths of the items whose renamed state is
  // not the one in AWasRenamed any more.
  void ForgetMovedMetadata(const std::vector<bool> &AWasRenamed);
  std::vector<bool> RenamedStates() const;
  // The metadata needs (masks::TMetadataNeed bits) of a recipe's name mask.
  static uint8_t MetadataNeeds(const TNameRecipe &ARecipe);
};

// ---- Sorting ----------------------------------------------------------------

// The folder of AFile as Location() gives it, as a view into its full path.
QStringView LocationView(const TFileInfo &AFile);

enum class TFileSortKey { OldName, NewName, Location };

// "Comes before" for sorting the file list by a column of the preview grid:
// OldName by the old name, NewName by the new name without its extension,
// Location by the folder and then the old name, each with CompareTextAZ.
// ADown reverses every comparison, the tie-break included.
struct TFileSortLess {
  TFileSortKey FKey = TFileSortKey::OldName;
  bool FDown = false;
  bool operator()(const TFileInfo &ALeft, const TFileInfo &ARight) const;
};
