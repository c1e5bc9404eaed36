// Rolling a batch back from its journal, after the program was closed,
// crashed or lost its power: the lists the batch renamed are made again from
// its steps and moved back through the same plan and moves as a Rollback in
// the window. Used by History, the command line's --undo and the window
// alike.
#pragma once

#include <QString>

#include <vector>

class TJournal;
class TProgress;

// The result of rolling a batch back from its journal.
struct TJournalRollback {
  int FRolledBack = 0;
  int FFailed = 0;
  int FNotTried = 0;     // left renamed because a stop came first
  bool FStopped = false; // the rollback was stopped before its end
  QString FError;        // the batch could not be rolled back at all
  // A journal write or sync that failed while the rollback ran (it stopped
  // there); empty when the journal was written completely.
  QString FJournalError;
  // Per item that failed: the item, its path as it stands, and the reason.
  struct TFailure {
    int FItem;
    QString FPath;
    QString FReason;
  };
  std::vector<TFailure> FFailures;
};

// Rolls the batch AId of AJournal back: the steps made and not yet undone,
// in reverse order, each only when the entry at its new path is still the
// one that was renamed (identity: inode and size; presence where the file
// system's inode numbers are not stable). A section that ended without its
// end record is completed first from what the disk shows. AProgress is told
// each step and may stop the rollback between them (a started swap or chain
// is finished or moved back first).
TJournalRollback RollbackBatch(TJournal &AJournal, const QString &AId,
                               TProgress *AProgress = nullptr);
