// The History page: the batches of the rename journal, newest first, with
// their date and time, kind, count, common folder and state; a batch that
// was renamed and not (fully) rolled back, or that a crash interrupted, can
// be rolled back from here, also after a restart. A Rollback with failures
// lists the items that stayed, each with its mark and its reason in the
// balloon, as the pages do. The page lists the batches' ids at once and
// fills each row in place as a worker thread reads its summary, so that a
// large journal neither holds the window nor its memory.
#pragma once

#include "uJournal.h"
#include "uJournalRollback.h"
#include "uPageKit.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class TAction;
class TGridMouseWatch;
class TPageHost;

// The batches as rows, newest first: a row per id, its cells empty until
// its summary is read.
class THistoryModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetIds(const std::vector<QString> &AIds);
  // The summary of the row ARow, read.
  void SetSummary(int ARow, TBatchSummary ASummary);
  void RemoveRow(int ARow);
  // The summary of the row ARow; null until it is read.
  const TBatchSummary *BatchAt(int ARow) const;
  QString IdAt(int ARow) const;
  // Every row's summary is read.
  bool AllRead() const { return FUnread == 0; }

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;

private:
  struct TRow {
    QString FId;
    std::optional<TBatchSummary> FSummary;
  };
  std::vector<TRow> FRows;
  int FUnread = 0;
};

// The items a Rollback from History could not move back.
class THistoryFailureModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetFailures(std::vector<TJournalRollback::TFailure> AFailures);
  const TJournalRollback::TFailure *FailureAt(int ARow) const;

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;

private:
  std::vector<TJournalRollback::TFailure> FFailures;
};

class THistoryPage : public QWidget {
  Q_OBJECT
public:
  THistoryPage(TPageHost &AHost, QWidget *AParent);
  ~THistoryPage() override;

  // Lists the journal anew (the page is shown, a batch ended elsewhere);
  // the summaries follow from the worker.
  void ReloadHistory();
  // Summaries are still being read.
  bool Loading() const { return !Model->AllRead(); }
  void acRollbackBatchExecute();
  void acRollbackBatchUpdate();
  // The batch of the selected row; null for none or while it is read.
  const TBatchSummary *SelectedBatch() const;
  // A Rollback runs in the page's worker, with its progress and Cancel.
  bool StepRunning() const;
  void CancelStepAndWait();

  // Told after a batch was rolled back from here: the pages that hold it
  // bring their lists up to date.
  void SetOnBatchRolledBack(std::function<void(const QString &ABatchId)> AHandler) {
    FOnBatchRolledBack = std::move(AHandler);
  }

  QTableView *sgHistory = nullptr;
  QTableView *sgHistoryFailures = nullptr;
  QLabel *txtHistoryCount = nullptr;
  QPushButton *btnRollbackBatch = nullptr;
  TAction *acRollbackBatch = nullptr;
  THistoryModel *Model = nullptr;
  THistoryFailureModel *FailureModel = nullptr;
  TStepWorker *StepWorker = nullptr;
  TStepProgress *StepProgress = nullptr;

private:
  void FailuresMouseMove(const QPoint &APos);
  void RollbackEnded(const QString &AId, const TJournalRollback &AResult);
  // A summary of the listing AGeneration arrived: the AIndex-th id listed.
  void SummaryRead(int AGeneration, int AIndex, bool ARead, TBatchSummary ASummary);
  void ShowCount();

  TPageHost &FMain;
  std::unique_ptr<TGridMouseWatch> FMouseWatch;
  int FLastHintCell = -1;
  std::function<void(const QString &)> FOnBatchRolledBack;
  // The worker that reads the summaries, one listing at a time; a new
  // listing stops the one before between two batches.
  QThreadPool FReader;
  std::shared_ptr<std::atomic<bool>> FReadStop;
  int FGeneration = 0;
  int FRemoved = 0; // rows of this listing left out (unreadable)
};
