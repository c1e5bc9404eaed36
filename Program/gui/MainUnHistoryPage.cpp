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

bool CanRollBack(const TBatchSummary &ABatch) {
  switch (ABatch.FState) {
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

void THistoryModel::SetIds(const std::vector<QString> &AIds) {
  beginResetModel();
  FRows.clear();
  FRows.reserve(AIds.size());
  for (const QString &LId : AIds)
    FRows.push_back({LId, std::nullopt});
  FUnread = static_cast<int>(FRows.size());
  endResetModel();
}

void THistoryModel::SetSummary(int ARow, TBatchSummary ASummary) {
  if (ARow < 0 || ARow >= rowCount())
    return;
  TRow &LRow = FRows[static_cast<size_t>(ARow)];
  if (!LRow.FSummary)
    --FUnread;
  LRow.FSummary = std::move(ASummary);
  Q_EMIT dataChanged(index(ARow, 0), index(ARow, columnCount() - 1));
}

void THistoryModel::RemoveRow(int ARow) {
  if (ARow < 0 || ARow >= rowCount())
    return;
  beginRemoveRows(QModelIndex(), ARow, ARow);
  if (!FRows[static_cast<size_t>(ARow)].FSummary)
    --FUnread;
  FRows.erase(FRows.begin() + ARow);
  endRemoveRows();
}

const TBatchSummary *THistoryModel::BatchAt(int ARow) const {
  if (ARow < 0 || ARow >= rowCount())
    return nullptr;
  const TRow &LRow = FRows[static_cast<size_t>(ARow)];
  return LRow.FSummary ? &*LRow.FSummary : nullptr;
}

QString THistoryModel::IdAt(int ARow) const {
  return ARow >= 0 && ARow < rowCount() ? FRows[static_cast<size_t>(ARow)].FId : QString();
}

int THistoryModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int THistoryModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(CHistoryColumns.size());
}

QVariant THistoryModel::data(const QModelIndex &AIndex, int ARole) const {
  const TBatchSummary *LBatch = BatchAt(AIndex.row());
  if (ARole != Qt::DisplayRole || LBatch == nullptr)
    return {};
  switch (AIndex.column()) {
  case 0:
    return QLocale().toString(LBatch->FCreated, QLocale::ShortFormat);
  case 1:
    return LBatch->FKind == TBatchKind::Files ? rs::HistoryFiles : rs::HistoryFolders;
  case 2:
    return LBatch->FItemCount;
  case 3:
    return DisplayText(LBatch->FFolder);
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
  // The summaries' worker stops after the batch it reads; a rollback still
  // running stops before the page goes.
  if (FReadStop)
    FReadStop->store(true);
  FReader.waitForDone();
  delete StepWorker;
  FMouseWatch.reset();
  ForgetHintBalloon(FLastHintCell);
}

void THistoryPage::ReloadHistory() {
  const QModelIndexList LSelectedRows = sgHistory->selectionModel()->selectedRows();
  const QString LSelected =
      LSelectedRows.isEmpty() ? QString() : Model->IdAt(LSelectedRows.first().row());
  // The listing before stops between two batches; its summaries that are
  // still on their way are not taken.
  if (FReadStop)
    FReadStop->store(true);
  const int LGeneration = ++FGeneration;
  FRemoved = 0;
  const std::vector<QString> LIds = GetJournal().BatchIds();
  Model->SetIds(LIds);
  ShowCount();
  for (int LRow = 0; LRow < Model->rowCount(); ++LRow)
    if (Model->IdAt(LRow) == LSelected || (LSelected.isEmpty() && LRow == 0))
      sgHistory->selectRow(LRow);
  FMain.UpdateActions();
  if (LIds.empty())
    return;
  auto LStop = std::make_shared<std::atomic<bool>>(false);
  FReadStop = LStop;
  // The worker reads with a journal of its own over the same folder.
  TJournal LJournal;
  LJournal.SetFolder(GetJournal().Folder());
  FReader.setMaxThreadCount(1);
  HandOverTo(&FReader);
  FReader.start([this, LJournal, LIds, LStop, LGeneration] {
    TakeOverFrom(&FReader);
    for (size_t i = 0; i < LIds.size() && !LStop->load(); ++i) {
      auto LSummary = std::make_shared<TBatchSummary>();
      const bool LRead = LJournal.ReadSummary(LIds[i], *LSummary);
      PostToThreadOf(this, [this, LGeneration, i, LRead, LSummary] {
        SummaryRead(LGeneration, static_cast<int>(i), LRead, std::move(*LSummary));
      });
    }
  });
}

void THistoryPage::SummaryRead(int AGeneration, int AIndex, bool ARead, TBatchSummary ASummary) {
  if (AGeneration != FGeneration)
    return;
  // The summaries come in the listing's order: the rows left out so far
  // all stood above this one.
  const int LRow = AIndex - FRemoved;
  if (ARead) {
    Model->SetSummary(LRow, std::move(ASummary));
  } else {
    Model->RemoveRow(LRow);
    ++FRemoved;
    ShowCount();
  }
  FMain.UpdateActions();
}

void THistoryPage::ShowCount() {
  const int LCount = Model->rowCount();
  txtHistoryCount->setText(
      rs::FormatMessage(rs::ForCount(LCount, rs::BatchCountOne, rs::BatchCountMany), {LCount}));
}

const TBatchSummary *THistoryPage::SelectedBatch() const {
  const QModelIndexList LRows = sgHistory->selectionModel()->selectedRows();
  return LRows.isEmpty() ? nullptr : Model->BatchAt(LRows.first().row());
}

void THistoryPage::acRollbackBatchUpdate() {
  const TBatchSummary *LBatch = SelectedBatch();
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
  const TBatchSummary *LBatch = SelectedBatch();
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
