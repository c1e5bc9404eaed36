// One file to rename (TFileInfo) and the list that owns the files of the file
// page (TFileList): old name, folder, size, date and attributes as found, the
// new name computed by the masks and name edits, and renaming and rolling
// back on disk.
#pragma once

#include "uFolderWalk.h"
#include "uMaskScanner.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"
#include "uProgress.h"
#include "uRenameItem.h"
#include "uRenameList.h"
#include "uRenamePlan.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TFileInfo : public TRenameItem {
public:
  // Create: reads the entry at AFullFileName once, a link as the link itself
  // (never its target). The path is not checked:
  // a missing file gives the size -1, the zero date and the attributes raha.
  explicit TFileInfo(const QString &AFullFileName);
  // Create without reading the entry: for an item whose file stands under
  // another name and whose identity is known already (SetIdentity), as when
  // a batch is rolled back from its journal. Size -1, the zero date.
  struct TUnread {};
  TFileInfo(const QString &AFullFileName, TUnread);
  TFileInfo(TFileInfo &&) noexcept = default;
  TFileInfo &operator=(TFileInfo &&) noexcept = default;

  // The old name without its last "." and what follows it (a "." that
  // begins the name starts no extension).
  QString DelFileExt() const;
  // Splits a new full name at its last ".": NewFileType takes the dot and what
  // follows, the result is the text before it; without a dot (or with one
  // only at its start) NewFileType stays and the result is ANameExtStr whole.
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
  // NewName followed by NewFileType, as they stand.
  QString NewFullName() const { return NewName() + NewFileType(); }
  // The name the file gets on disk: NewName + NewFileType, except that an
  // extension of "." alone is left out, so that the file ends up without one.
  // The one name of the file after a Rename: the grid, the balloon, the
  // command line's preview and the journal show exactly it.
  QString TargetName() const;

  int64_t Size() const { return FSize; }
  // The file's identity (Device, Inode) is taken when the item is made,
  // links followed: what Rollback checks before it moves the file back.
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

  // The planner's key of the file's old name (0: not known yet).
  uint64_t &PlanFromKeySlot() { return FPlanFromKey; }
  // The name the file has on disk now: its old name, or its new one once renamed.
  TNameParts CurrentNameParts() const;
  // TargetName in pieces, without making a text.
  TNameParts TargetNameParts() const;

  // The path of AName in the file's folder.
  QString PathInFolder(QStringView AName) const;

private:
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
  uint64_t FPlanFromKey = 0;
  int64_t FSize = -1;
  int64_t FDateMSecs = 0; // ms since 1970-01-01 UTC; meaningful when FDateValid
  int32_t FNameStart = 0; // where the old name begins in FFullFileName
  int32_t FExtDot = -1;   // where its last "." is, -1 when it has none
  uint8_t FAttributeBits = 0;
  bool FDateValid = false;
  mutable bool FNewNameMade = false;
  mutable bool FNewFileTypeMade = false;
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
  int FNotAdded = 0;     // found ones not added: already listed, a spelling several
                         // share, or the program's own (FOwnFiles)
  bool FStopped = false; // a stop was requested: the list is as it was before
  // Folders that could not be listed and chosen paths that could not be
  // reached, with the system's reasons: what lies below them was not found.
  std::vector<TUnreadable> FUnreadable;
  // The program's own files found, left out ("Used by Varnwell").
  std::vector<QString> FOwnFiles;
};

// The files of the file page: a TRenameList over files, which adds what
// only files have: the extension mask, the files found below folders, no
// path listed twice, and the metadata their names read.
class TFileList : public TRenameListOf<TFileInfo> {
public:
  TFileList() = default;

  TFileInfo &operator[](int AIndex) const { return *Items(AIndex); }
  // Appends AItem and returns its position. Index is not touched.
  int Add(std::unique_ptr<TFileInfo> AItem);
  // Sorts with ALess ("comes before"); items that compare equal keep their order.
  void Sort(const std::function<bool(const TFileInfo &, const TFileInfo &)> &ALess);
  // The same for a column of the grid.
  void Sort(const TFileSortLess &ALess);
  using TRenameList::Sort;

  const QString &FileNameMask() const { return MaskRecipe().FNameMask; }
  const QString &FileExtMask() const { return MaskRecipe().FExtMask; }

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
  bool HasRenamedFiles() const { return HasRenamedItems(); }
  // Stores the mask and applies it to the items from APosition to the end.
  void SetFileNameMask(const QString &ANameMask, int APosition);
  void SetFileExtMask(const QString &AExtMask, int APosition);
  // Sets the item's Index to Count and appends it.
  void AddFileInfo(std::unique_ptr<TFileInfo> AFileInfo);
  // Index := position for the items from Value to the end.
  void ReindexFileInfo(int Value) { Reindex(Value); }

  // The recipe's masks read metadata (Exif, music tags) that the list has not
  // read yet for some item: applying it reads files.
  bool NeedsMetadataRead(const TNameRecipe &ARecipe) const override;
  // Reads for every item what the recipe's masks need into the list's cache,
  // reporting each item to AProgress (may be null) and stopping when it asks.
  // False when stopped: the names are not touched either way. Safe on a
  // worker thread while other threads only read the list.
  bool ReadMetadata(const TNameRecipe &ARecipe, TProgress *AProgress) override;
  // Some item's name mask noted a metadata token that found nothing.
  bool HasMetadataNotes() const override;
  uint16_t MetadataNotes(int APosition) const override { return Items(APosition)->MetadataNotes(); }
  // What was read of the files, for the life of the list.
  metadata::TMetadataCache &MetadataCache() { return FMetadata; }
  // Files sort by every key; the date taken is read into the metadata cache.
  bool SortsBy(TSortKey /*AKey*/) const override { return true; }
  bool NeedsSortRead(TSortKey AKey) const override;
  bool ReadSortKeys(TSortKey AKey, TProgress *AProgress) override;

  bool IsFolderList() const override { return false; }

protected:
  // The date taken as its figures are written (the modification time's in
  // local time where the file holds none), the modification time, the size.
  int64_t SortValue(const TRenameItem &AItem, TSortKey AKey) override;
  void MakeNewName(TRenameItem &AItem, const TNameRecipe &ARecipe,
                   const nameedits::TSearchReplace &ASearch, TRecipePass &APass) override;
  void MakeMaskPart(TRenameItem &AItem, masks::TMaskPart APart, const QString &AMask,
                    TRecipePass &APass) override;
  QStringView FolderOf(const TRenameItem &AItem) const override;
  TNameParts NameParts(const TRenameItem &AItem, TNameOf AWhich) const override;
  uint64_t *FromKeySlot(TRenameItem &AItem) override;
  int64_t IdentitySize(const TRenameItem &AItem) const override;
  QString PathInFolder(const TRenameItem &AItem, QStringView AName) const override;
  bool MoveItem(TRenameItem &AItem, bool ABack) override;
  platform::TMoveResult MoveEntry(const QString &AFrom, const QString &ATo) override;
  void BeginBatch(bool ARollback) override;
  void EndBatch(bool ARollback) override;
  void DescribeEntry(const TRenameItem &AItem, TJournalStep &AStep) const override;
  void ItemLeaving(TRenameItem &AItem) override;
  void ListCleared() override;

private:
  // Makes the file AFullFileName (reading its entry) and appends it.
  void AddPath(const QString &AFullFileName);
  // Reads the photo information (APhoto) and the music tags (AMusic) of
  // every file into the cache, reporting each to AProgress (may be null);
  // false when it asks to stop.
  bool ReadEveryFile(bool APhoto, bool AMusic, TProgress *AProgress);
  TFilePathIndex FPaths;
  // Metadata by the path the file has on disk; a Rename or Rollback forgets
  // the paths it moved files from and to.
  metadata::TMetadataCache FMetadata;
  // Each item's renamed state before the running batch, while metadata is
  // kept (a moved file's metadata is forgotten at the batch's end).
  std::vector<bool> FWasRenamed;
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
