// The folder rename engine: one folder to rename (TFolderInfo) and the
// owning list that collects folders without duplicates and renames them
// deepest first (TFolderList). A folder's name is renamed as a whole: there
// is no split into name and extension.
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
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TFolderInfo : public TRenameItem {
public:
  // ALocation is the folder that contains the folder, kept as given (with or
  // without a final delimiter); AFileInfo is the folder's own entry.
  TFolderInfo(const QString &ALocation, const TFolderEntry &AFileInfo);

  TFolderInfo(TFolderInfo &&) noexcept = default;
  TFolderInfo &operator=(TFolderInfo &&) noexcept = default;

  // --- Properties -------------------------------------------------------
  const QString &OldName() const { return FOldName; }
  const QString &NewName() const { return FNewName; }
  void SetNewName(const QString &AValue) { FNewName = AValue; }
  // The name the folder gets on disk by a Rename: its new name, whole. The
  // grid, the balloon, the command line's preview and the journal show it.
  const QString &TargetName() const { return FNewName; }
  // The size of everything below the folder as a text; computed on the first
  // read and kept from then on.
  QString SizeStr();
  // The size measured elsewhere (on another thread), kept as SizeStr's.
  void SetSize(int64_t ASize);
  const QString &Location() const { return FLocation; }
  // The name the folder carries on disk now; its identity (Inode) is taken
  // when a batch with a journal renames it.
  const QString &RealName() const { return FRealName; }
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
  mutable int FLevel = -1;
};

// What an Add of folders did.
struct TFolderAddOutcome {
  int FFound = 0;        // folders found: chosen ones and those below them
  int FNotAdded = 0;     // found ones not added (already listed, hidden, a root)
  int FNoFolder = 0;     // chosen paths that are no folder
  bool FStopped = false; // a stop was requested: the list is as it was before
  // Folders that could not be listed and chosen paths that could not be
  // reached, with the system's reasons.
  std::vector<TUnreadable> FUnreadable;
  // The program's own folders, and folders that hold its files, left out
  // ("Used by Varnwell"); counted among FNotAdded.
  std::vector<QString> FOwnFiles;
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

class TFolderLocationIndex;

// The list of folders of the folder page: a TRenameList over folders, which
// adds what only folders have: a dictionary of the full names added so that
// no folder is listed twice, the deepest folders renamed first, and the
// locations below a folder that follow it when it moves.
class TFolderList : public TRenameListOf<TFolderInfo> {
public:
  TFolderList();
  ~TFolderList() override;

  // --- The owning list ----------------------------------------------------
  TFolderInfo *operator[](int AIndex) const { return Items(AIndex); }
  // Appends AItem; it is not entered into the dictionary (AddFolderInfoIfNeed does that).
  void Add(std::unique_ptr<TFolderInfo> AItem);
  // Orders the items as ALess says; items that compare equal keep their order.
  void Sort(const TFolderSortLess &ALess);
  using TRenameList::Sort;

  // --- Operations -------------------------------------------------------
  const QString &FolderNameMask() const { return MaskRecipe().FNameMask; }
  void SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr);
  // True when "[C]" occurs in FolderNameMask.
  bool GetIsCounterInNameMask() const;
  // Puts each folder where a journal says it is: AMoves, in the order they
  // were made, give an item (by list index) and the name it took; the
  // locations below a folder follow it. Marks as renamed every item whose
  // name is no longer its old one.
  void ReplayMoves(const std::vector<std::pair<int, QString>> &AMoves);
  bool HasRenamedFolders() const { return HasRenamedItems(); }
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
  // Every item from position Value on gets its position as Index.
  void ReindexFolderInfo(int Value) { Reindex(Value); }
  // Orders the items deepest first; their Index values stay.
  void SortFolderbyLocation();
  // Removes and destroys all items and empties the dictionary.
  void ClearList() { Clear(); }

  bool IsFolderList() const override { return true; }

protected:
  // The modification time (Modified); folders sort by no other value.
  int64_t SortValue(const TRenameItem &AItem, TSortKey AKey) override;
  TNameRecipe KindRecipe(const TNameRecipe &ARecipe) const override;
  void MakeNewName(TRenameItem &AItem, const TNameRecipe &ARecipe,
                   const nameedits::TSearchReplace &ASearch, TRecipePass &APass) override;
  void MakeMaskPart(TRenameItem &AItem, masks::TMaskPart APart, const QString &AMask,
                    TRecipePass &APass) override;
  QStringView FolderOf(const TRenameItem &AItem) const override;
  int Level(const TRenameItem &AItem) const override;
  TNameParts NameParts(const TRenameItem &AItem, TNameOf AWhich) const override;
  QString PathInFolder(const TRenameItem &AItem, QStringView AName) const override;
  bool MoveItem(TRenameItem &AItem, bool ABack) override;
  platform::TMoveResult MoveEntry(const QString &AFrom, const QString &ATo) override;
  void EntryMoved(TRenameItem &AItem, const QString &AFrom, const QString &ATo,
                  const QString &AName) override;
  void BeginBatch(bool ARollback) override;
  void EndBatch(bool ARollback) override;
  void DescribeEntry(const TRenameItem &AItem, TJournalStep &AStep) const override;
  void MovedBackElsewhere(const std::vector<TRenameItem *> &AItems) override;
  void ItemLeaving(TRenameItem &AItem) override;
  void ListCleared() override;

private:
  // A folder's move from AOld to ANew: the locations below it follow.
  void FolderMoved(const QString &AOld, const QString &ANew);

  QHash<QString, int> FFullNameHash;
  // While a batch runs: the items by their locations.
  std::unique_ptr<TFolderLocationIndex> FLocationIndex;
};
