#include "MainUnHistoryPage.h"

#include "uAction.h"
#include "uControlUtils.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uPageHost.h"
#include "uPageKit.h"
#include "uResourceString.h"
#include "uUtil.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QStringList CHistoryColumns = {QStringLiteral("Date"), QStringLiteral("Kind"),
                                     QStringLiteral("Count"), QStringLiteral("Folder"),
                                     QStringLiteral("State")};

bool CanRollBack(const TJournalBatch &ABatch) {
  switch (ABatch.State()) {
  case TBatchState::Renamed:
  case TBatchState::PartlyRolledBack:
  case TBatchState::Interrupted:
  case TBatchState::Cancelled:
    return true;
  default:
    return false;
  }
}

} // namespace

// ---------------------------------------------------------------------------
// THistoryModel

void THistoryModel::SetBatches(std::vector<TJournalBatch> ABatches) {
  beginResetModel();
  FBatches = std::move(ABatches);
  endResetModel();
}

const TJournalBatch *THistoryModel::BatchAt(int ARow) const {
  return ARow >= 0 && ARow < static_cast<int>(FBatches.size())
             ? &FBatches[static_cast<size_t>(ARow)]
             : nullptr;
}

int THistoryModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(FBatches.size());
}

int THistoryModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(CHistoryColumns.size());
}

QVariant THistoryModel::data(const QModelIndex &AIndex, int ARole) const {
  const TJournalBatch *LBatch = BatchAt(AIndex.row());
  if (ARole != Qt::DisplayRole || LBatch == nullptr)
    return {};
  switch (AIndex.column()) {
  case 0:
    return QLocale().toString(LBatch->FCreated, QLocale::ShortFormat);
  case 1:
    return LBatch->FKind == TBatchKind::Files ? rs::HistoryFiles : rs::HistoryFolders;
  case 2:
    return LBatch->ItemCount();
  case 3:
    return DisplayText(LBatch->CommonFolder());
  case 4:
    return BatchStateText(*LBatch);
  default:
    return {};
  }
}

QVariant THistoryModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= CHistoryColumns.size())
    return {};
  if (ARole == Qt::DisplayRole || ARole == ColumnNameRole)
    return CHistoryColumns[ASection];
  return {};
}

// ---------------------------------------------------------------------------
// THistoryFailureModel

void THistoryFailureModel::SetFailures(std::vector<TJournalRollback::TFailure> AFailures) {
  beginResetModel();
  FFailures = std::move(AFailures);
  endResetModel();
}

const TJournalRollback::TFailure *THistoryFailureModel::FailureAt(int ARow) const {
  return ARow >= 0 && ARow < static_cast<int>(FFailures.size())
             ? &FFailures[static_cast<size_t>(ARow)]
             : nullptr;
}

int THistoryFailureModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(FFailures.size());
}

int THistoryFailureModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : 2;
}

QVariant THistoryFailureModel::data(const QModelIndex &AIndex, int ARole) const {
  const TJournalRollback::TFailure *LFailure = FailureAt(AIndex.row());
  if (ARole != Qt::DisplayRole || LFailure == nullptr || AIndex.column() != 1)
    return {};
  return DisplayText(LFailure->FPath);
}

QVariant THistoryFailureModel::headerData(int ASection, Qt::Orientation AOrientation,
                                          int ARole) const {
  if (AOrientation != Qt::Horizontal)
    return {};
  if (ARole == ColumnNameRole)
    return ASection == 0 ? HintColumnName : QStringLiteral("FailedPath");
  if (ARole == Qt::DisplayRole)
    return ASection == 0 ? QString() : QStringLiteral("Not rolled back");
  return {};
}

// ---------------------------------------------------------------------------
// THistoryPage

THistoryPage::THistoryPage(TPageHost &AHost, QWidget *AParent) : QWidget(AParent), FMain(AHost) {
  setObjectName(QStringLiteral("HistoryPage"));
  auto *LGroup = new QGroupBox(QStringLiteral("History"), this);
  LGroup->setObjectName(QStringLiteral("gbHistory"));
  auto *LLayout = new QVBoxLayout(this);
  LLayout->setContentsMargins(0, 0, 0, 0);
  LLayout->addWidget(LGroup);

  Model = new THistoryModel(this);
  sgHistory = new QTableView(LGroup);
  sgHistory->setObjectName(QStringLiteral("sgHistory"));
  sgHistory->setModel(Model);
  SetupPreviewGrid(*sgHistory);
  // Date, kind, count and state show whole, as wide as their longest text
  // or title; the folder takes the rest and, when too long, keeps its start
  // and its end (two folders that differ in the middle read apart), whole in
  // its tooltip.
  QHeaderView *LColumns = sgHistory->horizontalHeader();
  LColumns->setStretchLastSection(false);
  for (int LColumn = 0; LColumn < CHistoryColumns.size(); ++LColumn)
    LColumns->setSectionResizeMode(LColumn, LColumn == 3 ? QHeaderView::Stretch
                                                         : QHeaderView::ResizeToContents);
  sgHistory->setTextElideMode(Qt::ElideMiddle);

  FailureModel = new THistoryFailureModel(this);
  sgHistoryFailures = new QTableView(LGroup);
  sgHistoryFailures->setObjectName(QStringLiteral("sgHistoryFailures"));
  sgHistoryFailures->setModel(FailureModel);
  SetupPreviewGrid(*sgHistoryFailures);
  sgHistoryFailures->setItemDelegateForColumn(0, new THintColumn(sgHistoryFailures));
  sgHistoryFailures->setColumnWidth(0, HintColumnWidth);
  sgHistoryFailures->horizontalHeader()->setStretchLastSection(true);
  sgHistoryFailures->setMaximumHeight(150);
  sgHistoryFailures->hide();
  FMouseWatch = std::make_unique<TGridMouseWatch>(
      *sgHistoryFailures, [this](const QPoint &APos) { FailuresMouseMove(APos); });

  txtHistoryCount = new QLabel(LGroup);
  txtHistoryCount->setObjectName(QStringLiteral("txtHistoryCount"));

  acRollbackBatch = new TAction(QStringLiteral("Rollback"), FMain.Actions(), this);
  acRollbackBatch->setObjectName(QStringLiteral("acRollbackBatch"));
  acRollbackBatch->SetOnExecute([this](TAction &) { acRollbackBatchExecute(); });
  acRollbackBatch->SetOnUpdate([this](TAction &) { acRollbackBatchUpdate(); });
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, QStringLiteral("Button_Undo")))
    acRollbackBatch->setIcon(QIcon(LPixmap));
  btnRollbackBatch = new QPushButton(LGroup);
  btnRollbackBatch->setObjectName(QStringLiteral("btnRollbackBatch"));
  btnRollbackBatch->setIconSize(QSize(24, 24));
  acRollbackBatch->BindButton(*btnRollbackBatch);

  connect(sgHistory->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { FMain.UpdateActions(); });

  StepWorker = new TStepWorker(this);
  StepProgress = new TStepProgress(*StepWorker, LGroup);

  auto *LGroupLayout = new QVBoxLayout(LGroup);
  LGroupLayout->addWidget(sgHistory, 1);
  LGroupLayout->addWidget(sgHistoryFailures);
  LGroupLayout->addWidget(StepProgress);
  auto *LBottom = new QHBoxLayout;
  LBottom->addWidget(txtHistoryCount);
  LBottom->addStretch(1);
  LBottom->addWidget(btnRollbackBatch);
  LGroupLayout->addLayout(LBottom);
}

THistoryPage::~THistoryPage() {
  // A rollback still running stops before the page goes.
  delete StepWorker;
  FMouseWatch.reset();
  ForgetHintBalloon(FLastHintCell);
}

void THistoryPage::ReloadHistory() {
  const QString LSelected = SelectedBatch() ? SelectedBatch()->FId : QString();
  Model->SetBatches(GetJournal().History());
  const int LCount = Model->rowCount();
  txtHistoryCount->setText(
      rs::FormatMessage(rs::ForCount(LCount, rs::BatchCountOne, rs::BatchCountMany), {LCount}));
  for (int LRow = 0; LRow < LCount; ++LRow)
    if (Model->BatchAt(LRow)->FId == LSelected || (LSelected.isEmpty() && LRow == 0))
      sgHistory->selectRow(LRow);
  FMain.UpdateActions();
}

const TJournalBatch *THistoryPage::SelectedBatch() const {
  const QModelIndexList LRows = sgHistory->selectionModel()->selectedRows();
  return LRows.isEmpty() ? nullptr : Model->BatchAt(LRows.first().row());
}

void THistoryPage::acRollbackBatchUpdate() {
  const TJournalBatch *LBatch = SelectedBatch();
  // A step on a page moves entries too: a Rollback from here waits for it.
  acRollbackBatch->setEnabled(!FMain.StepRunning() && LBatch != nullptr && CanRollBack(*LBatch));
}

bool THistoryPage::StepRunning() const {
  return StepWorker != nullptr && StepWorker->Running();
}

void THistoryPage::CancelStepAndWait() {
  StepWorker->CancelAndWait();
}

void THistoryPage::acRollbackBatchExecute() {
  const TJournalBatch *LBatch = SelectedBatch();
  if (StepRunning() || LBatch == nullptr || !CanRollBack(*LBatch))
    return;
  const QString LId = LBatch->FId;
  ForgetHintBalloon(FLastHintCell);
  sgHistory->setEnabled(false);
  auto LResult = std::make_shared<TJournalRollback>();
  StepWorker->Start(
      [LId, LResult](TProgress &AProgress) {
        *LResult = RollbackBatch(GetJournal(), LId, &AProgress);
      },
      [this, LId, LResult] { RollbackEnded(LId, *LResult); });
  StepProgress->btnStepCancel->setFocus(Qt::OtherFocusReason);
  FMain.UpdateActions();
}

void THistoryPage::RollbackEnded(const QString &AId, const TJournalRollback &AResult) {
  sgHistory->setEnabled(true);
  if (!AResult.FError.isEmpty()) {
    GetLogger().WriteLog(AResult.FError);
    ShowWarningMessage(AResult.FError);
    ReloadHistory();
    return;
  }
  FailureModel->SetFailures(AResult.FFailures);
  sgHistoryFailures->setVisible(AResult.FFailed > 0);
  ReloadHistory();
  if (FOnBatchRolledBack)
    FOnBatchRolledBack(AId);
  if (AResult.FStopped)
    ReportCancelled(rs::RollbackCancelled, AResult.FRolledBack,
                    AResult.FRolledBack + AResult.FFailed + AResult.FNotTried);
  else
    ReportRollback(AResult.FFailed);
}

void THistoryPage::FailuresMouseMove(const QPoint &APos) {
  HintColumnMouseMove(*sgHistoryFailures, APos, FLastHintCell,
                      [this](int ARow) -> std::optional<THintText> {
                        const TJournalRollback::TFailure *LFailure = FailureModel->FailureAt(ARow);
                        if (LFailure == nullptr)
                          return std::nullopt;
                        return THintText{LFailure->FPath, LFailure->FReason};
                      });
}
