// The rename journal: a batch is written to the disk before its first move,
// and every move is recorded as it is made, so that a batch can be rolled
// back after the program was closed, crashed or lost its power half way.
//
// One file per batch in the journal folder (by default
// $XDG_STATE_HOME/varnwell/journal), plain text that a person can read:
//
//   Varnwell rename journal 1
//   batch 20261210-163000-4711-0
//   created 2026-12-10T16:30:00
//   kind files                       (or folders)
//   folder 0 /home/me/Photos         (every folder of the batch, numbered)
//   section rename 3                 (a section: its kind and its step count)
//   step 0 0 move 0 IMG_01.JPG Trip_001.JPG 2049 131 2048 1425564429000000000
//   ...                              (step number, item, kind, folder, from, to,
//                                     device, inode, size, time in ns)
//   begin                            (everything above is on the disk)
//   done 0                           (a step was made)
//   fail 1                           (a step failed)
//   undo 0                           (a step made was undone: a failed swap went back)
//   end 2 1                          (the section ended: made, failed[, cancelled])
//   summary 3 2 renamed /home/me     (what History lists: items, items renamed
//                                     now, state, the common folder)
//   section rollback 2
//   ...
//
// A summary follows each section's end, so that History lists a batch from
// its first and last lines without reading its steps. Its states are
// renamed, cancelled, rolledback and partly (partly rolled back); the folder
// is left out when the batch's folders have none in common. A batch whose
// last line is no summary (written by an earlier version, or interrupted) is
// read whole instead; readers skip records they do not know.
//
// Names and paths are written as their bytes, with every byte that is not a
// printable ASCII character other than "%" written as %XX, so names that are
// not UTF-8 come back exactly. The step kinds are move, temp (to a temporary
// name), fromtemp (from it to the new name) and attempt (an item with a
// conflict, tried last). Records are written in groups and put on the disk at
// least every 256 steps, at once after a failure, and after the first step of
// a swap, before its second.
#pragma once

#include "uProgress.h"
#include "uRenamePlan.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
class TJournalFile;
}

enum class TBatchKind { Files, Folders };

// One step as the journal keeps it.
struct TJournalStep {
  int FItem = 0;
  TStepKind FKind = TStepKind::Move;
  int FFolder = 0;
  QString FFrom; // the name before the step
  QString FTo;   // the name after it
  // The identity of the entry the step moves, taken when the batch was planned.
  uint64_t FDevice = 0;
  uint64_t FInode = 0;
  int64_t FSize = 0;
  int64_t FModifiedNs = 0;
};

enum class TSectionKind { Rename, Rollback };

struct TJournalSection {
  TSectionKind FKind = TSectionKind::Rename;
  std::vector<TJournalStep> FSteps;
  std::vector<uint8_t> FDone; // by step: 1 made, 2 failed, 0 not recorded
  bool FBegun = false;        // the plan was on the disk before the first move
  bool FEnded = false;
  bool FCancelled = false;
};

// What History shows of a batch.
enum class TBatchState {
  Running,          // its file is locked by a running batch
  Renamed,          // renamed (maybe with failures) and not rolled back
  RolledBack,       // every renamed item is back
  PartlyRolledBack, // a rollback left some items renamed
  Interrupted,      // a section has no end and nothing runs it
  Cancelled         // cancelled part way: some items renamed
};

struct TJournalBatch {
  QString FId;
  QString FPath; // the journal file
  QDateTime FCreated;
  TBatchKind FKind = TBatchKind::Files;
  std::vector<QString> FFolders;
  std::vector<TJournalSection> FSections;
  bool FLocked = false;

  // Items renamed and not rolled back (by item number).
  std::vector<int> RenamedItems() const;
  int ItemCount() const;
  TBatchState State() const;
  // The folder all the batch's folders lie in.
  QString CommonFolder() const;
};

// What History lists of a batch, read without its steps.
struct TBatchSummary {
  QString FId;
  QString FPath; // the journal file
  QDateTime FCreated;
  TBatchKind FKind = TBatchKind::Files;
  QString FFolder;       // the folder all the batch's folders lie in
  int FItemCount = 0;    // as TJournalBatch::ItemCount()
  int FRenamedCount = 0; // items renamed and not rolled back
  TBatchState FState = TBatchState::Renamed;
};

// The counts a summary records, kept section by section: by the writer as
// the batch runs, and by a reader that reads a batch without a summary.
struct TBatchTally {
  bool FKnown = false; // every section so far was counted
  int FItems = 0;
  int FRenamed = 0;
  bool FRolledBack = false; // a rollback section ended
  bool FCancelled = false;  // the rename section was cancelled
  int FSections = 0;        // sections counted
  int FFolders = 0;         // folders seen, their common folder in FFolder
  QString FFolder;

  void AddFolder(const QString &AFolder);
  // Counts a section that ended: for each step its item, its kind and its
  // record (1 made, 2 failed, 3 undone, 0 none). A step made of a rename
  // section leaves its item renamed; one of a rollback section that is no
  // move to a temporary name brings its item back.
  void AddSection(TSectionKind AKind, const std::vector<int> &AItems,
                  const std::vector<TStepKind> &AKinds, const std::vector<uint8_t> &ARecords,
                  bool ACancelled);
  TBatchState State() const;
};

// Writes a batch as it runs. Created by TJournal::BeginBatch.
class TBatchWriter : public TPlanObserver {
public:
  ~TBatchWriter() override;
  TBatchWriter(const TBatchWriter &) = delete;
  TBatchWriter &operator=(const TBatchWriter &) = delete;

  const QString &Id() const { return FId; }
  const QString &Path() const { return FPath; }

  // Writes a section's steps and puts them on the disk before the first
  // move. False, with AError, when that fails: nothing may move then.
  bool BeginSection(TSectionKind AKind, const std::vector<TJournalStep> &ASteps, QString &AError);
  // Names more folders, numbered from AFirst, for the sections after them.
  bool AddFolders(int AFirst, const std::vector<QString> &AFolders, QString &AError);
  // Ends the section: the made and failed counts, and whether it was cancelled.
  void EndSection(int AMade, int AFailed, bool ACancelled);
  // Puts everything on the disk and waits for the background sync; the
  // first write or sync that failed while the batch ran, or nothing.
  QString Close();
  // A write or sync has failed since the batch began.
  bool Failed();
  // The steps of the running section refer to the steps given to
  // BeginSection by their positions.
  void StepDone(int AStep, bool AOk, const QString &ATemporary) override;
  void AfterCycleOpens() override;
  void StepUndone(int AStep) override;
  // True between groups when a stop was asked for, or when a write or sync
  // of the journal failed: the moves made are recoverable from the plan on
  // the disk, the ones to come would not be recorded.
  bool StopBeforeGroup() override;
  // Asked between groups: true stops the batch (Cancel).
  void SetStopRequest(std::function<bool()> AStop) { FStopRequest = std::move(AStop); }

private:
  friend class TJournal;
  TBatchWriter(QString AId, QString APath, std::unique_ptr<platform::TJournalFile> AFile);
  // Writes what is pending; ASync puts it on the disk before returning.
  void Flush(bool ASync);
  // Writes what is pending and has a thread of its own put it on the disk,
  // so that the moves go on meanwhile.
  void FlushInBackground();
  void SyncLoop();
  void NoteError(const QString &AError);

  QString FId;
  // The summary after each section; the steps of the running section as
  // it needs them (not known for a batch reopened without a summary).
  TBatchTally FTally;
  bool FSectionOpen = false;
  TSectionKind FSectionKind = TSectionKind::Rename;
  std::vector<int> FSectionItems;
  std::vector<TStepKind> FSectionKinds;
  std::vector<uint8_t> FSectionRecords;
  QString FPath;
  std::unique_ptr<platform::TJournalFile> FFile;
  QByteArray FPending;
  int FUnsynced = 0;
  QString FError;
  std::function<bool()> FStopRequest;
  // The background sync.
  std::mutex FLock;
  std::condition_variable FWake;
  bool FSyncWanted = false;
  bool FStopping = false;
  std::thread FSyncer;
};

class TJournal {
public:
  // The journal folder: the default under the state folder, unless set.
  static QString DefaultFolder();
  QString Folder() const;
  void SetFolder(const QString &AFolder) { FFolder = AFolder; }

  // Starts a batch: creates its file with the header and the folders. Null,
  // with AError ("Cannot write the rename journal: ..."), when it cannot be
  // written.
  std::unique_ptr<TBatchWriter> BeginBatch(TBatchKind AKind, const std::vector<QString> &AFolders,
                                           QString &AError);
  // Opens a batch to append a section (a rollback); null when it is running
  // elsewhere or cannot be written.
  std::unique_ptr<TBatchWriter> ReopenBatch(const QString &AId, QString &AError);

  // Every batch in the folder, newest first, read whole.
  std::vector<TJournalBatch> History() const;
  // The ids of the batches in the folder, newest first, without reading them.
  std::vector<QString> BatchIds() const;
  // What History lists of one batch: from its summary where its last line
  // is one, else by reading it once without keeping its steps. With
  // AHeaderOnly only the id, date and kind. False when it cannot be read.
  bool ReadSummary(const QString &AId, TBatchSummary &ASummary, bool AHeaderOnly = false) const;
  // Every batch's summary, newest first.
  std::vector<TBatchSummary> ListBatches() const;
  // One batch; false when it cannot be read.
  bool Load(const QString &AId, TJournalBatch &ABatch) const;

  // Deletes batches beyond the newest AKeepBatches that are also older than
  // AKeepDays days (whichever keeps more). Running batches are kept. Reads
  // no more than the first lines of the batches beyond AKeepBatches.
  void Prune(int AKeepBatches, int AKeepDays);

private:
  QString FFolder;
};

// The journal of the run, its folder from the settings' rules.
TJournal &GetJournal();

// The state of a batch as History shows it: "renamed", "rolled back",
// "partly rolled back", "interrupted", "running" or "cancelled: N of M
// renamed".
QString BatchStateText(const TJournalBatch &ABatch);
QString BatchStateText(const TBatchSummary &ASummary);

// Escapes a name or path for the journal, and reads it back.
QByteArray JournalEscape(const QString &AText);
QString JournalUnescape(QByteArrayView AText);

// Where each step of the section stands on disk when its records end early:
// steps are made strictly in order, so the made ones are a prefix; a step
// after the last record counts as made when its destination exists (and, with
// stable inode numbers, is the entry the step moved).
void CompleteSectionFromDisk(const TJournalBatch &ABatch, TJournalSection &ASection);

// A move of a section without its end that the process left between the two
// halves of a move made without the no-replace flag (the entry under its old
// and its new name, or an empty placeholder beside it): looked for among the
// steps after the last record, which holds the one step that was running,
// and taken back, so that the section stands as a rename that was not made
// and CompleteSectionFromDisk reads it as such.
struct THalfDoneStep {
  int FStep = -1;         // the step found half done, -1 for none
  bool FTwoNames = false; // it could not be taken back: its entry has two names
  QString FSource;        // the step's paths
  QString FTarget;
  int FFirstUnrecorded = 0; // the first step after the last one recorded
};
THalfDoneStep UndoHalfDoneStep(const TJournalBatch &ABatch, const TJournalSection &ASection);
