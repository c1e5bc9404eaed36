#include "uJournalRollback.h"

#include "platform/uPathRules.h"
#include "platform/uPlatformJournal.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uResourceString.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_set>

namespace {

// Where each item of a batch started and where the steps made took it.
struct TItemTrack {
  bool FFirst = false; // its first step, of the rename section, was seen
  int FFolder = -1;
  QString FOriginal;
  QString FCurrent;
  int FLastStep = -1; // the count of steps made before it moved last
  // The identity of the entry when the batch was planned.
  uint64_t FDevice = 0;
  uint64_t FInode = 0;
  int64_t FSize = 0;
};

// By item number; items never seen have no first step.
using TItemTracks = std::vector<TItemTrack>;

TItemTracks TrackItems(const TJournalBatch &ABatch, std::vector<std::pair<int, QString>> &AMoves) {
  int LMaxItem = -1;
  for (const TJournalSection &LSection : ABatch.FSections)
    for (const TJournalStep &LStep : LSection.FSteps)
      LMaxItem = std::max(LMaxItem, LStep.FItem);
  TItemTracks LItems(static_cast<size_t>(LMaxItem + 1));
  int LCount = 0;
  for (const TJournalSection &LSection : ABatch.FSections) {
    for (size_t s = 0; s < LSection.FSteps.size(); ++s) {
      const TJournalStep &LStep = LSection.FSteps[s];
      if (LStep.FItem < 0)
        continue;
      TItemTrack &LItem = LItems[static_cast<size_t>(LStep.FItem)];
      if (!LItem.FFirst && LSection.FKind == TSectionKind::Rename) {
        LItem.FFirst = true;
        LItem.FFolder = LStep.FFolder;
        LItem.FOriginal = LStep.FFrom;
        LItem.FCurrent = LStep.FFrom;
        LItem.FDevice = LStep.FDevice;
        LItem.FInode = LStep.FInode;
        LItem.FSize = LStep.FSize;
      }
      if (s < LSection.FDone.size() && LSection.FDone[s] == 1) {
        LItem.FCurrent = LStep.FTo;
        LItem.FLastStep = LCount++;
        AMoves.emplace_back(LStep.FItem, LStep.FTo);
      }
    }
  }
  return LItems;
}

// The files of the batch that stand under another name now, each renamed
// to that name as far as the list knows.
void ListFiles(const TJournalBatch &ABatch, const TItemTracks &AItems, TFileList &AList) {
  for (size_t i = 0; i < AItems.size(); ++i) {
    const TItemTrack &LTrack = AItems[i];
    const int LId = static_cast<int>(i);
    if (!LTrack.FFirst || LTrack.FCurrent == LTrack.FOriginal)
      continue;
    const QString &LFolder = ABatch.FFolders[static_cast<size_t>(LTrack.FFolder)];
    // The file stands under another name: nothing to read under this one.
    auto LItem = std::make_unique<TFileInfo>(platform::JoinPath(LFolder, LTrack.FOriginal),
                                             TFileInfo::TUnread{});
    LItem->SetIdentity(LTrack.FDevice, LTrack.FInode, LTrack.FSize);
    // The name the file carries now, as the new name without an extension.
    LItem->SetNewName(LTrack.FCurrent);
    LItem->SetNewFileType(QString());
    LItem->SetisRenamed(true);
    LItem->SetJournalItem(LId);
    LItem->SetRenameOrder(LTrack.FLastStep);
    AList.Add(std::move(LItem));
  }
}

// The folders of the batch where the moves made put them: a folder below a
// renamed one follows it.
void ListFolders(const TJournalBatch &ABatch, const TItemTracks &AItems,
                 const std::vector<std::pair<int, QString>> &AMoves, TFolderList &AList) {
  std::map<int, int> LIndexOf;
  for (size_t i = 0; i < AItems.size(); ++i) {
    const TItemTrack &LTrack = AItems[i];
    const int LId = static_cast<int>(i);
    if (!LTrack.FFirst)
      continue;
    const QString &LFolder = ABatch.FFolders[static_cast<size_t>(LTrack.FFolder)];
    if (!AList.AddFolderInfoIfNeed(LFolder, TFolderEntry{LTrack.FOriginal, QDateTime()}))
      continue;
    TFolderInfo &LItem = *AList[AList.Count() - 1];
    LItem.SetInode(LTrack.FInode);
    LItem.SetJournalItem(LId);
    LIndexOf[LId] = AList.Count() - 1;
  }
  std::vector<std::pair<int, QString>> LListMoves;
  for (const auto &[LId, LName] : AMoves)
    if (LIndexOf.count(LId))
      LListMoves.emplace_back(LIndexOf[LId], LName);
  AList.ReplayMoves(LListMoves);
}

// Moves the renamed items of AList back, recording it as a rollback section
// of the batch AId, and tells how each of them ended; the items that went
// back are added to ARolledBack.
void RollBack(TRenameList &AList, TJournal &AJournal, const QString &AId, TProgress *AProgress,
              TJournalRollback &AResult, std::unordered_set<int> &ARolledBack) {
  std::unordered_set<const TRenameItem *> LRenamed;
  for (int i = 0; i < AList.Count(); ++i)
    if (AList.ItemAt(i).isRenamed())
      LRenamed.insert(&AList.ItemAt(i));
  AList.SetJournal(&AJournal);
  AList.SetBatchId(AId);
  AList.SetProgress(AProgress);
  if (AList.ExecuteRollback() < 0) {
    AResult.FError = AList.BatchError();
    return;
  }
  AResult.FStopped = AList.LastBatchStopped();
  AResult.FJournalError = AList.JournalError();
  // The items keep their addresses; a Rollback may reorder the list.
  for (int i = 0; i < AList.Count(); ++i) {
    const TRenameItem &LItem = AList.ItemAt(i);
    if (LRenamed.count(&LItem) == 0)
      continue;
    if (LItem.isRenamed() && LItem.NotTried())
      ++AResult.FNotTried;
    else if (LItem.isRenamed())
      AResult.FFailures.push_back(
          {LItem.JournalItem(), AList.CurrentPath(i), LItem.RenameErrorText()});
    else {
      ++AResult.FRolledBack;
      ARolledBack.insert(LItem.JournalItem());
    }
  }
  AResult.FFailed = static_cast<int>(AResult.FFailures.size());
}

// The temporary names of the cycles in ASection that its records leave
// open or do not name: those from the last one opened before AFirst on,
// each with its item. Where the records go, the list knows where its items
// are.
std::vector<std::pair<int, QString>>
TemporaryPaths(const TJournalBatch &ABatch, const TJournalSection &ASection, size_t AFirst) {
  std::vector<std::pair<int, QString>> LPaths;
  size_t LFrom = std::min(AFirst, ASection.FSteps.size());
  while (LFrom > 0 && ASection.FSteps[LFrom - 1].FKind != TStepKind::ToTemporary)
    --LFrom;
  if (LFrom > 0)
    --LFrom;
  for (size_t s = LFrom; s < ASection.FSteps.size(); ++s) {
    const TJournalStep &LStep = ASection.FSteps[s];
    if (LStep.FKind == TStepKind::ToTemporary && LStep.FFolder >= 0 &&
        static_cast<size_t>(LStep.FFolder) < ABatch.FFolders.size())
      LPaths.emplace_back(
          LStep.FItem,
          platform::JoinPath(ABatch.FFolders[static_cast<size_t>(LStep.FFolder)], LStep.FTo));
  }
  return LPaths;
}

// Counts the item AItem as failed for AReason. An item that failed already
// keeps its reason unless AOverride.
void MarkFailed(TJournalRollback &AResult, std::unordered_set<int> &ARolledBack, int AItem,
                const QString &APath, const QString &AReason, bool AOverride) {
  for (TJournalRollback::TFailure &LFailure : AResult.FFailures) {
    if (LFailure.FItem == AItem) {
      if (AOverride)
        LFailure = {AItem, APath, AReason};
      return;
    }
  }
  if (ARolledBack.erase(AItem) > 0)
    --AResult.FRolledBack;
  AResult.FFailures.push_back({AItem, APath, AReason});
  AResult.FFailed = static_cast<int>(AResult.FFailures.size());
}

} // namespace

TJournalRollback RollbackBatch(TJournal &AJournal, const QString &AId, TProgress *AProgress) {
  TJournalRollback LResult;
  TJournalBatch LBatch;
  if (!AJournal.Load(AId, LBatch)) {
    LResult.FError = rs::FormatMessage(rs::CannotWriteJournal, {AId});
    return LResult;
  }
  if (LBatch.FLocked) {
    LResult.FError = rs::BatchIsRunning;
    return LResult;
  }
  // A section that ended without its end record: what the disk shows, then
  // its end, so that the batch reads as ended from now on.
  THalfDoneStep LHalfDone;
  std::vector<std::pair<int, QString>> LTemporaries;
  if (!LBatch.FSections.empty() && !LBatch.FSections.back().FEnded) {
    TJournalSection &LSection = LBatch.FSections.back();
    // A move stopped between the halves of a move without the no-replace
    // flag is taken back first: the disk then shows what a rename shows.
    LHalfDone = UndoHalfDoneStep(LBatch, LSection);
    LTemporaries =
        TemporaryPaths(LBatch, LSection, static_cast<size_t>(LHalfDone.FFirstUnrecorded));
    CompleteSectionFromDisk(LBatch, LSection);
    // An entry left under both names counts as moved: the rollback then
    // fails on it and the batch does not read as rolled back.
    if (LHalfDone.FTwoNames)
      LSection.FDone[static_cast<size_t>(LHalfDone.FStep)] = 1;
    std::unique_ptr<TBatchWriter> LWriter = AJournal.ReopenBatch(AId, LResult.FError);
    if (!LWriter)
      return LResult;
    int LMade = 0;
    for (size_t s = 0; s < LSection.FDone.size(); ++s) {
      if (LSection.FDone[s] == 1) {
        LWriter->StepDone(static_cast<int>(s), true, QString());
        ++LMade;
      }
    }
    LWriter->EndSection(LMade, 0, true);
    LSection.FEnded = true;
  }

  int LTwoNamesItem = -1;
  if (LHalfDone.FTwoNames) {
    const TJournalSection &LSection = LBatch.FSections.back();
    LTwoNamesItem = LSection.FSteps[static_cast<size_t>(LHalfDone.FStep)].FItem;
  }
  std::vector<std::pair<int, QString>> LMoves;
  TItemTracks LItems = TrackItems(LBatch, LMoves);
  std::unordered_set<int> LRolledBack;
  // The steps are not needed any more: what the list needs is tracked.
  LBatch.FSections = {};
  if (LBatch.FKind == TBatchKind::Files) {
    LMoves = {};
    TFileList LList;
    ListFiles(LBatch, LItems, LList);
    LItems = {};
    RollBack(LList, AJournal, AId, AProgress, LResult, LRolledBack);
  } else {
    TFolderList LList;
    ListFolders(LBatch, LItems, LMoves, LList);
    LItems = {};
    LMoves = {};
    RollBack(LList, AJournal, AId, AProgress, LResult, LRolledBack);
  }
  if (!LResult.FError.isEmpty())
    return LResult;
  // Nothing counts as rolled back while its entry has a second name, or
  // while an entry stands under a temporary name of the steps the crash
  // left unrecorded.
  if (LTwoNamesItem >= 0)
    MarkFailed(LResult, LRolledBack, LTwoNamesItem, LHalfDone.FSource,
               rs::FormatMessage(rs::LeftUnderTwoNames, {LHalfDone.FTarget}), true);
  for (const auto &[LItem, LPath] : LTemporaries)
    if (platform::IdentityOf(LPath).FExists)
      MarkFailed(LResult, LRolledBack, LItem, LPath,
                 rs::FormatMessage(rs::LeftUnderTemporaryName, {LPath}), false);
  return LResult;
}
