// The files of one run of varnwell-cli, held compactly: each folder once,
// each name once in a shared store of names, an item a few numbers. A run
// may take a million files; the window's list keeps far more for each (the
// grid's state, the counter of each item, texts made on demand) that a
// single preview or rename never needs. The names are made by the same mask
// scanner, planned by the same planner and moved with the same journal as
// the window's: what differs is only how the items are kept.
#pragma once

#include "uFolderWalk.h"
#include "uMetadata.h"
#include "uNameRecipe.h"
#include "uRenameList.h"
#include "uRenamePlan.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

class TJournal;
class TProgramPaths;

class TCliFileBatch {
public:
  TCliFileBatch();
  ~TCliFileBatch();
  TCliFileBatch(const TCliFileBatch &) = delete;
  TCliFileBatch &operator=(const TCliFileBatch &) = delete;

  // ---- The files, positions 0 to Count - 1 ----------------------------------
  // Adds the files below AFolder as the walk finds them (each folder's
  // entries A-Z). A file of the program's own (AProgram) is left out and
  // given to ALeftOut; a folder that cannot be listed goes to AUnreadable.
  void AddTree(const QString &AFolder, const TProgramPaths &AProgram,
               const std::function<void(const QString &APath)> &ALeftOut,
               std::vector<TUnreadable> &AUnreadable);
  // Adds the file at APath, a full path, unless it is listed already. Each
  // call to AddTree and AddFile is one source: a file that two sources both
  // give is listed once, where the first gave it.
  void AddFile(const QString &APath);
  int Count() const { return static_cast<int>(FItems.size()); }

  // ---- Names ----------------------------------------------------------------
  // Makes every file's new name by ARecipe, as the window's file list makes
  // it: the masks, search and replace, the letter-case rule.
  void ApplyRecipe(const TNameRecipe &ARecipe);
  QStringView OldName(int APosition) const { return Item(APosition).Old(); }
  // The name a Rename gives the file (its old name before a recipe).
  QStringView TargetName(int APosition) const { return Item(APosition).New(); }
  // The file's path before a Rename, and after it.
  QString OldPath(int APosition) const;
  QString TargetPath(int APosition) const;
  // The folder the file stands in, as its Location shows it.
  const QString &FolderPath(int APosition) const { return FolderOf(Item(APosition)).FLocation; }
  // Every folder that holds a file of the batch, each once.
  std::vector<QString> Folders() const;

  // Orders the files by AKey (descending with ADown) as the window's file
  // list orders them: a name (without its extension) or the location folded
  // as CompareTextAZ folds it, the date taken, the modification time or the
  // size as a number. Stable either way. The names stay as they are: a
  // counter follows the new order once the recipe is applied again.
  void Sort(TSortKey AKey, bool ADown);

  // ---- Plan and Rename ------------------------------------------------------
  // What a Rename would do for every file (by position); planned once for
  // the names as they are.
  const TPlan &Plan();
  // Renames every file as the plan says, the plan first written to AJournal
  // (none: nothing recorded) with the identity of each file that moves.
  // Returns the number that failed, or -1 when the journal could not be
  // written and nothing moved (BatchError).
  int Execute(TJournal *AJournal);
  // After Execute: the file has its new name (an unchanged one that is
  // still there counts), or why it failed.
  bool Renamed(int APosition) const { return Item(APosition).FRenamed; }
  QString Failure(int APosition) const;
  const QString &BatchError() const { return FBatchError; }
  const QString &JournalError() const { return FJournalError; }

private:
  class TSource;
  class THost;
  struct TItem {
    const QChar *FOld = nullptr; // the name as found, in the store
    const QChar *FNew = nullptr; // the name a Rename gives, in the store
    uint32_t FOldSize = 0;
    uint32_t FNewSize = 0;
    uint32_t FFolder = 0;
    bool FRenamed = false;
    QStringView Old() const { return QStringView(FOld, FOldSize); }
    QStringView New() const { return QStringView(FNew, FNewSize); }
  };
  // A folder of the batch.
  struct TFolder {
    QString FPrefix;   // its path up to a file's name, delimiter included
    QString FLocation; // as a file's Location shows it
    int FPlanSlot = -1;
    int FSource = -1; // the source that added the folder's first file
    // Its files: runs of positions (from, to), in the order they came.
    std::vector<std::pair<uint32_t, uint32_t>> FRuns;
    // The names listed in it, made when a second source adds to it.
    std::unique_ptr<QHash<QStringView, int>> FNames;
    // The source whose walk listed the folder (-1: none): its files and
    // these other entries (folders, links to folders, the program's own
    // files) are all it holds.
    int FListedBy = -1;
    std::vector<QString> FOtherNames;
  };
  // The identity of a file's entry for the journal, as one stat read it.
  struct TIdentity {
    uint64_t FDevice = 0;
    uint64_t FInode = 0;
    int64_t FSize = KUnread; // -1: not there; 0 for a folder
    // Its time; KNoTime where it could not be read or is a folder's.
    int64_t FModifiedMSecs = KNoTime;
  };
  static constexpr int64_t KNoTime = INT64_MIN;
  static constexpr int64_t KUnread = INT64_MIN; // the entry was not read yet

  // The identity of the file's entry, read now.
  TIdentity ReadIdentity(int APosition) const;
  // The same kept: read once, when a mask first asks for the file's time.
  const TIdentity &IdentityOf(int APosition) const;
  const TItem &Item(int APosition) const { return FItems[static_cast<size_t>(APosition)]; }
  const TFolder &FolderOf(const TItem &AItem) const { return FFolders[AItem.FFolder]; }
  // The folder whose paths begin with APrefix, made when new.
  uint32_t FolderNumber(const QString &APrefix);
  // Appends a file of folder AFolder named AName unless that folder lists
  // it already; false when it did.
  bool Append(uint32_t AFolder, QStringView AName);
  // Keeps AText in the store of names and returns where.
  const QChar *Keep(QStringView AText);
  // The file's time as a mask shows it (local time; the zero date when it
  // cannot be read).
  QDateTime ItemTime(int APosition) const;
  // The path of AName in the folder AFolder.
  QString PathInFolder(uint32_t AFolder, QStringView AName) const;
  void SetFailure(int APosition, const QString &AReason);

  std::vector<TItem> FItems;
  // By position, once a mask asks for a file's time: most runs read none
  // before the journal, which reads each as it describes the step.
  mutable std::vector<TIdentity> FIdentities;
  std::vector<TFolder> FFolders;
  QHash<QString, uint32_t> FFolderNumbers;
  int FSources = 0;
  // The store of names: blocks that never move, so that views stay valid.
  std::vector<std::unique_ptr<QChar[]>> FBlocks;
  size_t FBlockFree = 0;
  QChar *FBlockAt = nullptr;
  metadata::TMetadataCache FMetadata;
  // The plan of the names as they are; the planner is freed once it has
  // made it.
  TPlan FPlan;
  bool FPlanned = false;
  std::unordered_map<int, QString> FFailures;
  QString FBatchError;
  QString FJournalError;
};
