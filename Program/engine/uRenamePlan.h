// What a Rename (or a Rollback) will do, told before anything moves, and the
// moves made in that order.
//
// The planner reads every folder involved once and keeps its listing until it
// is told to read them again (after an Add, a Rename, a Rollback, an Apply),
// so a new plan after a change of the names costs little more than hashing
// the new names. For each item it tells:
//   - unchanged: the new name is the old one;
//   - rename, or waits (its new name is the old name of another item of the
//     batch, which moves away first: a chain), or swap (a cycle such as a<->b
//     or a->b->c->a, made through a temporary name in the same folder);
//   - a conflict: the same new name as an earlier item, a file or folder of
//     that name that the batch does not move away, an invalid name, a name
//     too long for the file system, or a chain that ends at an item that
//     cannot be renamed.
// Names are compared as the folder's file system compares them: exactly, or
// regardless of letter case where the folder ignores it.
//
// The executor makes the moves in the plan's order through a host (the list)
// that knows how its items move: chains in order, each cycle through a
// temporary name and moved back as a whole when one of its moves fails, and
// the items with a conflict last, where they fail as any move onto a taken
// name fails.
#pragma once

#include "platform/uPlatformFs.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <algorithm>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// A name in up to two pieces (a file's new name and its extension), so that
// no text has to be made to look it up.
struct TNameParts {
  QStringView FFirst;
  QStringView FSecond;
  qsizetype Size() const { return FFirst.size() + FSecond.size(); }
  QChar At(qsizetype AIndex) const {
    return AIndex < FFirst.size() ? FFirst[AIndex] : FSecond[AIndex - FFirst.size()];
  }
  QString ToString() const { return FFirst.toString().append(FSecond); }
  bool operator==(const TNameParts &AOther) const;
};

enum class TPlanStatus : uint8_t {
  Unchanged,       // the new name is the old one: nothing moves
  Rename,          // moves directly
  Waits,           // moves after FOther has moved away from its name (a chain)
  Swap,            // moves within a cycle through a temporary name (FOther: the next in it)
  SameNewName,     // conflict: FOther, earlier in the order of the renames, takes this name
  TargetExists,    // conflict: an entry of that name exists and the batch does not move it away
  InvalidName,     // conflict: empty, ".", "..", a delimiter, NUL, or refused by the file system
  NameTooLong,     // conflict: longer than the file system's name limit
  WaitsForConflict // conflict: the name is FOther's, which cannot be renamed
};

inline bool IsConflict(TPlanStatus AStatus) {
  return AStatus >= TPlanStatus::SameNewName;
}

struct TPlanEntry {
  TPlanStatus FStatus = TPlanStatus::Rename;
  int FOther = -1; // the item the status names, -1 for none
};

enum class TStepKind : uint8_t {
  Move,          // the item moves to its new name
  ToTemporary,   // the item moves to a temporary name (the start of a cycle)
  FromTemporary, // the item moves from its temporary name to its new name (the end of a cycle)
  Attempt        // an item with a conflict is tried last, and fails
};

struct TPlanStep {
  int FItem = -1;
  TStepKind FKind = TStepKind::Move;
  int FGroup = 0; // the steps of one chain or cycle share a group
  // The temporary name of a cycle's first item (ToTemporary and
  // FromTemporary), in the plan's FTemporaryNames; -1 for none. A step is
  // a few numbers: a plan has one for each item.
  int FTemporary = -1;
};

struct TPlan {
  std::vector<TPlanEntry> FEntries; // by list index
  std::vector<TPlanStep> FSteps;    // every move, in order
  int FConflicts = 0;
  int FUnchanged = 0;
  // True for a group that is a cycle: it is moved back as a whole when one
  // of its moves fails.
  std::vector<bool> FCycleGroups;
  // The temporary names of the cycles: chosen with the plan, so that a
  // journal can record them before anything moves.
  std::vector<QString> FTemporaryNames;
  // The temporary name of AStep; empty for a step without one.
  QString TemporaryName(const TPlanStep &AStep) const {
    return AStep.FTemporary < 0 ? QString()
                                : FTemporaryNames[static_cast<size_t>(AStep.FTemporary)];
  }
};

// What the planner reads of a list. FromName is the name an item's entry
// has now, ToName the one it is to get (for a Rollback: the new name and the
// old one).
class TPlanSource {
public:
  virtual ~TPlanSource() = default;
  virtual int Count() const = 0;
  virtual bool IsFolderList() const = 0;
  // The folder the item's entry stands in now. Read when the item's folder
  // is not known yet, or when the planner reads every folder anew.
  virtual QStringView FolderOf(int AItem) const = 0;
  virtual TNameParts FromName(int AItem) const = 0;
  virtual TNameParts ToName(int AItem) const = 0;
  // Deeper folders move first; files are all at one level.
  virtual int Level(int /*AItem*/) const { return 0; }
  // Where the planner keeps the number of the item's folder (-1: not known).
  virtual int &FolderSlot(int AItem) = 0;
  // Where the planner may keep the key of the item's FromName between plans
  // (0: not known); nullptr where FromName changes between plans.
  virtual uint64_t *FromKeySlot(int /*AItem*/) { return nullptr; }
  // The names of every entry of the folder the item stands in (files,
  // folders, links, hidden ones), given one by one to AName, where the
  // source has just listed that folder itself: the planner then does not
  // read it again. False when the source has no listing of it.
  virtual bool ListedNames(int /*AItem*/,
                           const std::function<void(QStringView AName)> & /*AName*/) {
    return false;
  }
  // The order in which the planner reads every item once, first of all: the
  // positions of all items, or empty for the list's own order. A source
  // whose items lie scattered in memory gives the order they lie in.
  virtual std::vector<int> VisitOrder() const { return {}; }
};

// The positions from AFrom on of AItems in the order of their addresses, for
// a pass over many items; empty where that is nearly the list's own order, as
// for items added and never sorted (they were made one after another). After
// a sort a pass in the list's order fetches every item from somewhere else in
// memory and spends most of its time waiting; one in this order reads
// straight on.
template <class TPointer>
std::vector<int> MemoryOrder(const std::vector<TPointer> &AItems, int AFrom) {
  constexpr size_t CWorthIt = 4096;
  const size_t LFrom = static_cast<size_t>(std::max(AFrom, 0));
  if (AItems.size() < LFrom + CWorthIt)
    return {};
  const auto LAddress = [&AItems](size_t AIndex) {
    return reinterpret_cast<uintptr_t>(std::to_address(AItems[AIndex]));
  };
  // A few steps back (where the allocator took memory from elsewhere) cost
  // nothing worth the ordering.
  const size_t LAllowed = (AItems.size() - LFrom) / 64;
  size_t LBack = 0;
  for (size_t i = LFrom + 1; i < AItems.size() && LBack <= LAllowed; ++i)
    LBack += LAddress(i - 1) < LAddress(i) ? 0 : 1;
  if (LBack <= LAllowed)
    return {};
  std::vector<std::pair<uintptr_t, int>> LByAddress;
  LByAddress.reserve(AItems.size() - LFrom);
  for (size_t i = LFrom; i < AItems.size(); ++i)
    LByAddress.emplace_back(LAddress(i), static_cast<int>(i));
  std::sort(LByAddress.begin(), LByAddress.end());
  std::vector<int> LOrder;
  LOrder.reserve(LByAddress.size());
  for (const auto &LEntry : LByAddress)
    LOrder.push_back(LEntry.second);
  return LOrder;
}

class TRenamePlanner {
public:
  TRenamePlanner();
  ~TRenamePlanner();
  TRenamePlanner(const TRenamePlanner &) = delete;
  TRenamePlanner &operator=(const TRenamePlanner &) = delete;
  // Forgets every folder and listing (the list was cleared).
  void Reset();
  // Reads the folders of every item of ASource anew: the items' folders, the
  // listings and what the file systems allow.
  void Refresh(TPlanSource &ASource);
  // The plan for ASource's items as they are now. Folders not seen before
  // are read first; known ones keep the listing read before.
  const TPlan &Plan(TPlanSource &ASource);
  const TPlan &LastPlan() const { return FPlan; }
  // The last plan, taken out of the planner: for a caller that plans once
  // and then frees the planner with its tables.
  TPlan TakePlan() { return std::exchange(FPlan, TPlan()); }
  // The items AItems of the last plan moved to their new names: the folders'
  // listings are brought up to date without reading them again.
  void NoteMoved(const std::vector<int> &AItems);
  // Folders were moved: the paths the planner knows no longer name them.
  // The items keep their folders' numbers; a new item's folder is read anew.
  void ForgetPaths();

private:
  struct TFolder;
  int FolderNumber(TPlanSource &ASource, int AItem);
  // Reads the folder of ASource's item AItem: its listing (the source's
  // own when it has one), whether it ignores letter case.
  void ReadFolder(TFolder &AFolder, TPlanSource &ASource, int AItem);

  std::vector<std::unique_ptr<TFolder>> FFolders;
  platform::TFileSystemCache FFileSystems;
  QHash<QString, int> FFolderNumbers;
  // The folder found last: items of one folder mostly follow each other.
  int FLastFolder = -1;
  unsigned FGeneration = 0; // counts the plans
  TPlan FPlan;
  // Scratch of a plan, kept to reuse its memory.
  std::vector<int> FOrder;
  std::vector<int> FLevels; // folder lists: each item's depth
  std::vector<int> FFolderOf;
  std::vector<uint64_t> FFromKeys;
  std::vector<uint64_t> FToKeys;
  std::vector<uint8_t> FSelfCase;
  std::vector<uint8_t> FListed;
  std::vector<int> FWaitsFor;
  std::vector<int> FWaitedBy;
  std::vector<uint8_t> FInChain;
  std::vector<uint8_t> FEmitted;
  std::vector<int> FWork;
};

// How a list moves its items; the executor calls it in the plan's order.
class TPlanHost {
public:
  virtual ~TPlanHost() = default;
  // The item's own move to its new name (with everything the item records);
  // true on success.
  virtual bool Move(int AItem) = 0;
  // Moves the item's entry to the temporary name ATemporary (a name) in its
  // folder, or to another fresh one when that is taken, and puts the path it
  // went to into ATemporary; true on success (the item records a failure).
  virtual bool MoveToTemporary(int AItem, QString &ATemporary) = 0;
  // Moves the entry from ATemporary to the item's new name and records it as
  // moved; true on success.
  virtual bool MoveFromTemporary(int AItem, const QString &ATemporary) = 0;
  // Undoes the item's completed Move (its entry goes back to its old name).
  virtual void MoveBack(int AItem) = 0;
  // Puts the entry standing at ATemporary back under the item's old name.
  virtual void RestoreFromTemporary(int AItem, const QString &ATemporary) = 0;
  // The item failed because the cycle it belongs to failed at AFailedItem.
  virtual void CycleFailed(int AItem, int AFailedItem) = 0;
  // An item with a conflict (AEntry), tried last; true when it was renamed.
  virtual bool Attempt(int AItem, const TPlanEntry & /*AEntry*/) { return Move(AItem); }
};

// Watches the moves of a plan: records them (the journal), may stop the
// batch between groups (Cancel), and tells progress.
class TPlanObserver {
public:
  virtual ~TPlanObserver() = default;
  // The step at AStep of the plan was made (AOk) or failed. For a
  // ToTemporary step, ATemporary is the path the entry went to.
  virtual void StepDone(int AStep, bool AOk, const QString &ATemporary) = 0;
  // Comes after the first step of a cycle (its entry went to the temporary
  // name) and before the second: what was recorded must be on the disk.
  virtual void AfterCycleOpens() {}
  // A step made was undone again (a cycle that failed went back).
  virtual void StepUndone(int /*AStep*/) {}
  // Asked before each group of steps: true stops the batch there. A chain
  // or cycle that has started is always finished or moved back first.
  virtual bool StopBeforeGroup() { return false; }
};

struct TExecuteResult {
  int FFailed = 0;       // items that failed (conflicts included)
  bool FStopped = false; // the observer stopped the batch
  int FStepsTried = 0;   // the steps before the stop (all of them when not stopped)
};

// Makes the moves of APlan through AHost, telling AObserver (may be null).
TExecuteResult ExecutePlanObserved(const TPlan &APlan, TPlanHost &AHost, TPlanObserver *AObserver);
// The same without an observer; returns the number of items that failed.
int ExecutePlan(const TPlan &APlan, TPlanHost &AHost);

namespace plandetail {
// A test's hook, called right after each step's move and before the
// observer records it, with the step's index.
using TAfterMoveHook = std::function<void(int AStep)>;
TAfterMoveHook SetAfterMoveHook(TAfterMoveHook AHook);
} // namespace plandetail

// A fresh name for a temporary entry in a folder: ".varnwell-<process>-<n>.tmp".
QString TemporaryEntryName();

namespace platform {
struct TMoveResult;
}

// The reason kept with an item whose move failed: "File already exists" (or
// "Folder ..."), "File not exist" / "Directory not exist", where an entry
// stranded under a temporary name is, a short text of the program's own for
// the common refusals of the system, the system's message otherwise.
QString MoveFailureReason(const platform::TMoveResult &AMove, bool AFolder);

// What the plan of a Rename says of an item, as its balloon shows it; empty
// for an item that is renamed directly or keeps its name. A conflict: "Same
// new name as row N", "A file with this name exists" ("A folder ..." when
// AFolders), "Invalid file name", "Name too long", "Waits for row N, which
// cannot be renamed"; a quiet mark: "Renamed after row N moves away",
// "Swapped with row N through a temporary name". N is the row of the item
// the entry names in the normal display, where item i shows in row i + 1
// counted from 1.
QString PlanReason(const TPlanEntry &AEntry, bool AFolders);
