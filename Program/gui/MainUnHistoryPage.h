// The History page: the batches of the rename journal, newest first, with
// their date and time, kind, count, common folder and state; a batch that
// was renamed and not (fully) rolled back, or that a crash interrupted, can
// be rolled back from here, also after a restart. A Rollback with failures
// lists the items that stayed, each with its mark and its reason in the
// balloon, as the pages do.
#pragma once

#include "uJournal.h"
#include "uJournalRollback.h"
#include "uPageKit.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class TAction;
class TGridMouseWatch;
class TPageHost;

// The batches as rows.
class THistoryModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetBatches(std::vector<TJournalBatch> ABatches);
  const TJournalBatch *BatchAt(int ARow) const;

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;

private:
  std::vector<TJournalBatch> FBatches;
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

  // Reads the journal anew (the page is shown, a batch ended elsewhere).
  void ReloadHistory();
  void acRollbackBatchExecute();
  void acRollbackBatchUpdate();
  // The batch of the selected row; null for none.
  const TJournalBatch *SelectedBatch() const;
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

  TPageHost &FMain;
  std::unique_ptr<TGridMouseWatch> FMouseWatch;
  int FLastHintCell = -1;
  std::function<void(const QString &)> FOnBatchRolledBack;
};
