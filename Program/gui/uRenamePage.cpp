#include "uRenamePage.h"

#include "FMX.BallonHint.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uGridSupport.h"
#include "uJournal.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uPageHost.h"
#include "uPresets.h"
#include "uPresetsForm.h"
#include "uRenameList.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtil.h"

#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Counts a nesting level for a scope.
class TNesting {
public:
  explicit TNesting(int &ALevel) : FLevel(ALevel) { ++FLevel; }
  ~TNesting() { --FLevel; }
  TNesting(const TNesting &) = delete;
  TNesting &operator=(const TNesting &) = delete;

private:
  int &FLevel;
};

int RenamedCount(const TRenameList &AList) {
  int LCount = 0;
  for (int i = 0; i < AList.Count(); ++i)
    LCount += AList.ItemAt(i).isRenamed() ? 1 : 0;
  return LCount;
}

} // namespace

TRenamePage::TRenamePage(TPageHost &AHost, TRenameList &AList, QWidget *AParent)
    : QWidget(AParent), FHost(AHost), FList(AList),
      FFieldExits(std::make_unique<TFieldExits>([this] { FHost.UpdateActions(); })) {}

TRenamePage::~TRenamePage() {
  // The balloon may still point at the grid.
  HideBalloonHint();
  // A step still running stops before the list it works on goes.
  delete StepWorker;
}

bool TRenamePage::Folders() const {
  return FList.IsFolderList();
}

void TRenamePage::EnableWhileIdle(TAction &AAction, const TRenamePage &APage) {
  AAction.SetOnUpdate([&APage](TAction &ASender) { ASender.setEnabled(!APage.StepRunning()); });
}

// ---------------------------------------------------------------------------
// Wiring

void TRenamePage::SetupWorkflow(const TParts &AParts) {
  FParts = AParts;
  FModel = AParts.FModel;
  QTableView &LGrid = *AParts.FGrid;

  StepWorker = new TStepWorker(this);
  StepProgress = new TStepProgress(*StepWorker, this);
  if (auto *LLayout = qobject_cast<QBoxLayout *>(layout()))
    LLayout->addWidget(StepProgress);

  // The grid, its sort header and its model.
  FHeader = InstallSortHeader(LGrid, FHost);
  CreateSortByButton();
  LGrid.setModel(FModel);
  SetupPreviewGrid(LGrid);
  EnableRowMultiSelection(LGrid);
  // "Location", the last column, fills the rest of the grid from its minimum
  // width on (a stretched column never narrows below the width it was given).
  LGrid.horizontalHeader()->setStretchLastSection(true);
  FColumnWidths = {
      {FModel->headerData(TListGridModel::dcOldName, Qt::Horizontal, ColumnNameRole).toString(),
       150},
      {FModel->headerData(TListGridModel::dcNewName, Qt::Horizontal, ColumnNameRole).toString(),
       230},
      {FModel->headerData(TListGridModel::dcLocation, Qt::Horizontal, ColumnNameRole).toString(),
       100},
      {HintColumnName, HintColumnWidth}};
  RestoreColumnWidths();
  // A reset, or the hint column coming or going, rebuilds the header's
  // sections: the columns keep their widths by their names.
  connect(FModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] { RestoreColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsAboutToBeInserted, this,
          [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsInserted, this, [this] { RestoreColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsAboutToBeRemoved, this,
          [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsRemoved, this, [this] { RestoreColumnWidths(); });
  connect(FHeader, &TSortHeaderView::SectionMouseDown, this, [this](int ASection) {
    HeaderPressed(ASection);
    FHost.UpdateActions();
  });
  connect(LGrid.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (FSynchronising > 0)
      return;
    UpdateDetails();
    FHost.UpdateActions();
  });
  FGridMouse =
      std::make_unique<TGridMouseWatch>(LGrid, [this](const QPoint &APos) { GridMouseMove(APos); });
  if (AParts.FOnPaths)
    FDropTarget = std::make_unique<TPathDropTarget>(LGrid, [this](const QStringList &APaths) {
      FParts.FOnPaths(APaths);
      FHost.UpdateActions();
    });

  // The actions of the workflow.
  AParts.FRename->SetOnExecute([this](TAction &) { Rename(); });
  AParts.FRename->SetOnUpdate([this](TAction &ASender) {
    // Conflict marks leave Rename enabled; failure marks do not. An invalid
    // pattern waits to be mended.
    ASender.setEnabled(!StepRunning() && FModel->rowCount() > 0 && !FFailureMarks && FSearchValid);
  });
  AParts.FRollback->SetOnExecute([this](TAction &) { Rollback(); });
  AParts.FRollback->SetOnUpdate([this](TAction &ASender) {
    // With no renamed item in the list (after a Clear that followed a
    // Rename, say) there is nothing to move back: a Rollback would only
    // report "Rollback done.".
    ASender.setEnabled(!StepRunning() && ASender.Tag() != 1 && HasRenamedItems());
  });
  // Rollback starts disabled; only a Rename enables it.
  AParts.FRollback->setEnabled(false);
  AParts.FClear->SetOnExecute([this](TAction &) { ClearList(); });
  AParts.FClear->SetOnUpdate(
      [this](TAction &ASender) { ASender.setEnabled(!StepRunning() && FModel->rowCount() > 0); });
  AParts.FDelete->SetOnExecute([this](TAction &) { DeleteSelected(); });
  AParts.FDelete->SetOnUpdate([this](TAction &ASender) {
    ASender.setEnabled(!StepRunning() && FList.Count() > 0 && FParts.FRename->Tag() == 0);
  });
  AParts.FApply->SetOnExecute([this](TAction &) { ApplyAll(); });
  EnableWhileIdle(*AParts.FApply, *this);

  // Delete and Ctrl+Z act on the list only while the grid has the focus: in a
  // text field they stay the field's own keys (Ctrl+A is the grid's own).
  AddActionShortcut(*AParts.FDelete, QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut, LGrid);
  AddActionShortcut(*AParts.FRollback, QKeySequence(Qt::CTRL | Qt::Key_Z), Qt::WidgetShortcut,
                    LGrid);
  auto *LRename = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
  LRename->setObjectName(AParts.FRenameShortcutName);
  LRename->setContext(Qt::WindowShortcut);
  connect(LRename, &QShortcut::activated, this, [this] { RenameByKey(); });
  auto *LRenameEnter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
  LRenameEnter->setContext(Qt::WindowShortcut);
  connect(LRenameEnter, &QShortcut::activated, this, [this] { RenameByKey(); });
  ShowShortcutInToolTip(*AParts.FDeleteButton,
                        QStringLiteral("Delete the selected rows from the list"),
                        AParts.FDelete->shortcut());
  ShowShortcutInToolTip(*AParts.FRenameButton, AParts.FRename->text(), LRename->key());
  ShowShortcutInToolTip(*AParts.FRollbackButton, AParts.FRollback->text(),
                        AParts.FRollback->shortcut());
  LGrid.setToolTip(QString());

  if (AParts.FPresetsButton != nullptr) {
    PresetsMenu = new QMenu(AParts.FPresetsButton);
    PresetsMenu->setObjectName(QStringLiteral("mnuPresets"));
    AParts.FPresetsButton->setText(QStringLiteral("Presets"));
    AParts.FPresetsButton->setMenu(PresetsMenu);
    // The file may have changed since (another window, the command line).
    connect(PresetsMenu, &QMenu::aboutToShow, this, [this] { FillPresetsMenu(); });
  }

  // The marker starts on the first column, so the first press on "Old Name"
  // sorts descending.
  CreateSortMarker();
  SynchroList(0);
  UpdateDetails();
}

TNameRecipe TRenamePage::Recipe() const {
  TNameRecipe LRecipe;
  LRecipe.FNameMask = FParts.FNameMask->text();
  LRecipe.FExtMask = FParts.FExtMask != nullptr ? FParts.FExtMask->text() : QString();
  LRecipe.FCounterStart = FParts.FCounterStart->value();
  LRecipe.FCounterStep = FParts.FCounterStep->value();
  LRecipe.FCounterDigits = FParts.FCounterDigits->currentText().toInt();
  LRecipe.FSearch = FParts.FSearch->text();
  LRecipe.FReplace = FParts.FReplace->text();
  LRecipe.FRegex = SearchOptions.FRegex->isChecked();
  LRecipe.FMatchCase = SearchOptions.FMatchCase->isChecked();
  LRecipe.FCase = CaseRuleFromIndex(FParts.FCase->currentIndex());
  return LRecipe;
}

void TRenamePage::SetRecipe(const TNameRecipe &ARecipe) {
  // The fields change without their own handlers: the caller applies the
  // rules once, as a whole.
  const QSignalBlocker LName(FParts.FNameMask);
  FParts.FNameMask->setText(ARecipe.FNameMask);
  if (FParts.FExtMask != nullptr) {
    const QSignalBlocker LExt(FParts.FExtMask);
    FParts.FExtMask->setText(ARecipe.FExtMask);
  }
  const QSignalBlocker LStart(FParts.FCounterStart);
  FParts.FCounterStart->setValue(ARecipe.FCounterStart);
  const QSignalBlocker LStep(FParts.FCounterStep);
  FParts.FCounterStep->setValue(ARecipe.FCounterStep);
  const QSignalBlocker LDigits(FParts.FCounterDigits);
  FParts.FCounterDigits->setCurrentIndex(
      std::max(0, FParts.FCounterDigits->findText(QString::number(ARecipe.FCounterDigits))));
  const QSignalBlocker LSearch(FParts.FSearch);
  FParts.FSearch->setText(ARecipe.FSearch);
  const QSignalBlocker LReplace(FParts.FReplace);
  FParts.FReplace->setText(ARecipe.FReplace);
  const QSignalBlocker LRegex(SearchOptions.FRegex);
  SearchOptions.FRegex->setChecked(ARecipe.FRegex);
  const QSignalBlocker LMatchCase(SearchOptions.FMatchCase);
  SearchOptions.FMatchCase->setChecked(ARecipe.FMatchCase);
  const QSignalBlocker LCase(FParts.FCase);
  FParts.FCase->setCurrentIndex(static_cast<int>(ARecipe.FCase));
  TSettings &LSettings = GetSettings();
  if (Folders()) {
    LSettings.SetFolderRegexSearch(ARecipe.FRegex);
    LSettings.SetFolderMatchCase(ARecipe.FMatchCase);
  } else {
    LSettings.SetFileRegexSearch(ARecipe.FRegex);
    LSettings.SetFileMatchCase(ARecipe.FMatchCase);
  }
  FSearchValid = ShowSearchError(SearchOptions, ARecipe);
}

void TRenamePage::FillPresetsMenu() {
  PresetsMenu->clear();
  QAction *LSave = PresetsMenu->addAction(QStringLiteral("Save as…"));
  LSave->setObjectName(QStringLiteral("acSavePresetAs"));
  connect(LSave, &QAction::triggered, this, [this] { SavePresetAs(); });
  PresetsMenu->addSeparator();
  const TPresetsRead LRead = TPresetsFile(TPresetsFile::DefaultFileName()).Read();
  const TPresetKind LKind = Folders() ? TPresetKind::Folders : TPresetKind::Files;
  for (const TPreset &LPreset : LRead.FPresets) {
    if (LPreset.FKind != LKind)
      continue;
    // "&" would mark a shortcut letter in a menu.
    QString LText = LPreset.FName;
    LText.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (LPreset.FDamaged)
      LText += QStringLiteral(" (damaged)");
    QAction *LEntry = PresetsMenu->addAction(LText);
    LEntry->setData(LPreset.FName);
    LEntry->setEnabled(!LPreset.FDamaged);
    const QString LName = LPreset.FName;
    connect(LEntry, &QAction::triggered, this, [this, LName] { ApplyPreset(LName); });
  }
  if (!LRead.FOk) {
    QAction *LError = PresetsMenu->addAction(LRead.FError);
    LError->setEnabled(false);
  }
  PresetsMenu->addSeparator();
  QAction *LManage = PresetsMenu->addAction(QStringLiteral("Manage…"));
  LManage->setObjectName(QStringLiteral("acManagePresets"));
  connect(LManage, &QAction::triggered, this, [this] { ManagePresets(); });
}

void TRenamePage::SavePresetAs() {
  const std::optional<QString> LName =
      AskPresetName(FHost.DialogOwner(), QStringLiteral("Save preset"), QString());
  if (!LName)
    return;
  if (!IsValidPresetName(*LName)) {
    ShowWarningMessage(QStringLiteral("A preset needs a name without line breaks."));
    return;
  }
  TPresetsFile LFile(TPresetsFile::DefaultFileName());
  QString LError;
  const std::optional<TPreset> LOld = LFile.Find(*LName, LError);
  if (!LError.isEmpty()) {
    ShowErrorMessage(LError);
    return;
  }
  if (LOld &&
      !ConfirmMessage(FHost.DialogOwner(),
                      QStringLiteral("A preset \"%1\" exists. Replace it?").arg(LOld->FName)))
    return;
  TPreset LPreset;
  LPreset.FName = *LName;
  LPreset.FKind = Folders() ? TPresetKind::Folders : TPresetKind::Files;
  LPreset.FRecipe = Recipe();
  if (const auto LOrder = ChosenOrder()) {
    LPreset.FOrder = PresetOrderText(LOrder->first);
    LPreset.FReverse = LOrder->second;
  }
  const TPresetWrite LWrite = LFile.Save(LPreset);
  if (!LWrite)
    ShowErrorMessage(LWrite.FError);
}

void TRenamePage::ApplyPreset(const QString &AName) {
  if (StepRunning())
    return;
  QString LError;
  const std::optional<TPreset> LPreset =
      TPresetsFile(TPresetsFile::DefaultFileName()).Find(AName, LError);
  if (!LPreset) {
    ShowErrorMessage(!LError.isEmpty() ? LError
                                       : QStringLiteral("There is no preset \"%1\".").arg(AName));
    return;
  }
  const TPresetKind LKind = Folders() ? TPresetKind::Folders : TPresetKind::Files;
  if (LPreset->FDamaged || LPreset->FKind != LKind)
    return;
  // The counter's fields hold a range of their own: a preset made on the
  // command line may count beyond it, and a clamped value would rename by
  // other rules than the preset's.
  const TNameRecipe &LRecipe = LPreset->FRecipe;
  const auto LFits = [](const QSpinBox &ABox, int AValue) {
    return AValue >= ABox.minimum() && AValue <= ABox.maximum();
  };
  if (!LFits(*FParts.FCounterStart, LRecipe.FCounterStart) ||
      !LFits(*FParts.FCounterStep, LRecipe.FCounterStep)) {
    ShowWarningMessage(
        QStringLiteral("The preset \"%1\" counts from %2 by %3;\nthe counter here takes %4 to %5.")
            .arg(LPreset->FName)
            .arg(LRecipe.FCounterStart)
            .arg(LRecipe.FCounterStep)
            .arg(FParts.FCounterStart->minimum())
            .arg(FParts.FCounterStart->maximum()));
    return;
  }
  SetRecipe(LRecipe);
  // The names are made by the preset's rules first, so that an order by the
  // new names sorts those; the sort then numbers the items anew in its order.
  const std::optional<TSortKey> LKey = PresetSortKey(LPreset->FOrder);
  const bool LDown = LPreset->FReverse;
  // A step the worker ran and that was cancelled (Cancel, or the window
  // closing) leaves the order as it is.
  auto LOnWorker = std::make_shared<bool>(false);
  const auto LSort = [this, LKey, LDown, LOnWorker] {
    if (LKey && !(*LOnWorker && StepWorker->CancelRequested()))
      SortBy(*LKey, LDown);
  };
  if (FList.Count() > 0) {
    ApplyAll(LSort);
    *LOnWorker = StepRunning();
  } else {
    LSort();
  }
  FHost.UpdateActions();
}

void TRenamePage::ManagePresets() {
  TfmPresetsForm::Execute(TPresetsFile::DefaultFileName(),
                          Folders() ? TPresetKind::Folders : TPresetKind::Files,
                          FHost.DialogOwner());
}

void TRenamePage::RenameByKey() {
  FFieldExits->ExitFocused();
  FHost.UpdateActions();
  FParts.FRename->trigger();
}

void TRenamePage::SaveColumnWidths() {
  for (int LColumn = 0; LColumn < FModel->columnCount() && LColumn < FHeader->count(); ++LColumn)
    FColumnWidths.insert(FModel->headerData(LColumn, Qt::Horizontal, ColumnNameRole).toString(),
                         FHeader->sectionSize(LColumn));
}

void TRenamePage::RestoreColumnWidths() {
  // The last column fills the rest of the grid: a width given to it would be
  // the least it keeps, also when a hint column comes in front.
  for (int LColumn = 0; LColumn < FModel->columnCount() - 1; ++LColumn) {
    const auto LWidth = FColumnWidths.constFind(
        FModel->headerData(LColumn, Qt::Horizontal, ColumnNameRole).toString());
    if (LWidth != FColumnWidths.constEnd())
      FParts.FGrid->setColumnWidth(LColumn, *LWidth);
  }
}

// ---------------------------------------------------------------------------
// The list in the grid

bool TRenamePage::HasRenamedItems() {
  if (FMayHaveRenamed)
    FMayHaveRenamed = FList.HasRenamedItems();
  return FMayHaveRenamed;
}

void TRenamePage::SynchroList(int APosition, TListings AListings) {
  Synchronise(APosition, AListings, false);
}

void TRenamePage::SynchroNames(TListings AListings) {
  Synchronise(0, AListings, true);
}

void TRenamePage::Synchronise(int APosition, TListings AListings, bool ANamesOnly) {
  const TNesting LSynchronising(FSynchronising);
  // Rows that come and go are laid out once; new names alone only repaint
  // the rows in view.
  std::optional<TUpdatesSuspended> LSuspended;
  if (!ANamesOnly)
    LSuspended.emplace(*FParts.FGrid);
  const bool LRenamedDisplay = FFailureMarks || HasRenamedItems();
  if (LRenamedDisplay) {
    FModel->ClearPlan();
    ShowHintColumn(FFailureMarks);
  } else {
    if (AListings == TListings::ReadAnew)
      FList.RefreshPlanner();
    FModel->SetPlan(AListings == TListings::Planned ? FList.LastPlan() : FList.PlanRenaming());
    // A balloon open over a mark may no longer say what the mark means.
    ForgetHintBalloon(FLastHintCell);
    ShowHintColumn(FModel->PlanConflicts() > 0 || FList.HasMetadataNotes());
  }
  // Names alone changed in the display the grid has: the rows stay.
  if (ANamesOnly && LRenamedDisplay == FModel->RenamedDisplay())
    FModel->SynchroNames();
  else
    FModel->Synchro(APosition, LRenamedDisplay,
                    FFailureMarks ? FListed : TListGridModel::TListed::NotRenamed);
  ShowCountText(FModel->rowCount(), *FParts.FCount, Folders(),
                FModel->RenamedDisplay() ? 0 : FModel->PlanConflicts());
}

int TRenamePage::ItemOfRow(int ARow) const {
  const int LPosition = FModel->ItemAtRow(ARow);
  if (LPosition < 0 || FList.ItemAt(LPosition).GridRow() != ARow)
    return -1;
  return LPosition;
}

int TRenamePage::SelectedRow() const {
  const QModelIndexList LRows = FParts.FGrid->selectionModel()->selectedRows();
  return LRows.isEmpty() ? -1 : LRows.first().row();
}

void TRenamePage::UpdateDetails() {
  // The worker owns the list while a step runs: the details stay as they
  // are until its end shows them anew.
  if (StepRunning())
    return;
  // Without a selected row the details are those of the first row's item.
  if (FModel->rowCount() == 0) {
    ShowDetailsOf(-1);
    return;
  }
  ShowDetailsOf(FModel->ItemAtRow(std::max(SelectedRow(), 0)));
}

bool TRenamePage::HasHintColumn() const {
  return FModel->HasHintColumn();
}

void TRenamePage::ShowHintColumn(bool AValue) {
  if (AValue == HasHintColumn())
    return;
  const int LSelected = SelectedRow();
  QTableView &LGrid = *FParts.FGrid;
  if (!AValue) {
    ForgetHintBalloon(FLastHintCell);
    QAbstractItemDelegate *LDelegate = LGrid.itemDelegateForColumn(0);
    LGrid.setItemDelegateForColumn(0, nullptr);
    FModel->SetHintColumn(false);
    delete LDelegate;
  } else {
    FModel->SetHintColumn(true);
    LGrid.setItemDelegateForColumn(0, new THintColumn(&LGrid));
  }
  // A selected row does not cover a hint column inserted in front of it.
  ReselectRow(LGrid, LSelected);
}

void TRenamePage::RemoveHintColumn() {
  FFailureMarks = false;
  FListed = TListGridModel::TListed::NotRenamed;
  ShowHintColumn(false);
}

void TRenamePage::RecreateHintColumn() {
  // The column whose header holds the marker, and its direction.
  const QString LMarked = FHeader->MarkerColumn();
  const int LMarkedSection = FHeader->MarkerSection();
  const QString LDirection = LMarkedSection >= 0 ? FHeader->SectionTag(LMarkedSection) : QString();
  // A hint column of conflict marks goes too: the failure marks get a new one.
  ShowHintColumn(false);
  FFailureMarks = true;
  ShowHintColumn(true);
  CreateSortMarker();
  // A "Sort by" order beyond the columns keeps the marker off them.
  if (FOrderBeyond) {
    FHeader->RemoveSortMarker();
    return;
  }
  if (LMarked.isEmpty() || LMarked == HintColumnName)
    return;
  for (int LSection = 0; LSection < FHeader->count(); ++LSection) {
    if (FHeader->SectionName(LSection) == LMarked) {
      // The marker keeps pointing the way the rows are ordered: a placement
      // flips the direction, the old one is put back.
      FHeader->PlaceSortMarker(LSection);
      FHeader->SetSectionTag(LSection, LDirection);
      break;
    }
  }
}

void TRenamePage::CreateSortMarker() {
  FHeader->RemoveSortMarker();
  if (HasHintColumn())
    FHeader->SetSectionTag(0, QString());
  if (FHeader->count() > 0)
    FHeader->PlaceSortMarker(0);
}

std::optional<std::pair<TSortKey, bool>> TRenamePage::MarkedOrder() const {
  const int LColumn = FModel->DataColumnNamed(FHeader->MarkerColumn());
  if (LColumn < 0)
    return std::nullopt;
  return std::pair{SortKeyOf(LColumn), FHeader->MarkerPointsDown()};
}

TSortKey TRenamePage::SortKeyOf(int ADataColumn) {
  return ADataColumn == TListGridModel::dcNewName    ? TSortKey::NewName
         : ADataColumn == TListGridModel::dcLocation ? TSortKey::Location
                                                     : TSortKey::OldName;
}

void TRenamePage::HeaderPressed(int ASection) {
  if (StepRunning())
    return;
  const std::optional<TSortPress> LPress = SortPress(*FHeader, ASection, FModel->rowCount());
  if (!LPress)
    return;
  FOrderBeyond.reset();
  FOrderChosen = true;
  const TSortKey LKey = SortKeyOf(FModel->DataColumnNamed(LPress->FColumn));
  const bool LDown = LPress->FDown;
  // The counter values move with the new positions.
  if (FList.HasCounter())
    FParts.FRollback->SetTag(1);
  const TNameRecipe LRecipe = Recipe();
  auto LFrom = std::make_shared<int>(0);
  ChangeListThen(
      nullptr, TListings::Kept,
      [this, LKey, LDown, LRecipe, LFrom] {
        FList.Sort(LKey, LDown);
        *LFrom = RenumberFrom(0, LRecipe);
      },
      [this, LFrom](TListings AListings) {
        SynchroList(*LFrom, AListings);
        UpdateDetails();
      });
}

std::optional<std::pair<TSortKey, bool>> TRenamePage::ShownOrder() const {
  return FOrderBeyond ? FOrderBeyond : MarkedOrder();
}

std::optional<std::pair<TSortKey, bool>> TRenamePage::ChosenOrder() const {
  return FOrderChosen ? ShownOrder() : std::nullopt;
}

void TRenamePage::ShowOrder(TSortKey AKey, bool ADown) {
  FOrderChosen = true;
  if (!IsColumnKey(AKey)) {
    FHeader->RemoveSortMarker();
    FOrderBeyond = std::pair{AKey, ADown};
    return;
  }
  FOrderBeyond.reset();
  const int LColumn = AKey == TSortKey::NewName    ? TListGridModel::dcNewName
                      : AKey == TSortKey::Location ? TListGridModel::dcLocation
                                                   : TListGridModel::dcOldName;
  for (int LSection = 0; LSection < FHeader->count(); ++LSection) {
    if (FModel->DataColumnNamed(FHeader->SectionName(LSection)) == LColumn) {
      // A placement flips the column's direction; the one asked for is set.
      FHeader->PlaceSortMarker(LSection);
      FHeader->SetSectionTag(LSection, ADown ? QStringLiteral("Down") : QStringLiteral("Up"));
      return;
    }
  }
}

void TRenamePage::SortBy(TSortKey AKey, bool ADown) {
  if (StepRunning() || !FList.SortsBy(AKey))
    return;
  // With fewer than two items nothing moves: the order holds for the items
  // added next.
  if (FList.Count() < 2) {
    ShowOrder(AKey, ADown);
    return;
  }
  TListRead LRead;
  if (FList.NeedsSortRead(AKey)) {
    LRead.FNeeded = true;
    LRead.FRead = [&LList = FList, AKey](TProgress &AProgress) {
      return LList.ReadSortKeys(AKey, &AProgress);
    };
  }
  const TNameRecipe LRecipe = Recipe();
  auto LFrom = std::make_shared<int>(0);
  ChangeListThen(
      std::move(LRead), TListings::Kept,
      [this, AKey, ADown, LRecipe, LFrom] {
        FList.Sort(AKey, ADown);
        *LFrom = RenumberFrom(0, LRecipe);
      },
      [this, AKey, ADown, LFrom](TListings AListings) {
        ShowOrder(AKey, ADown);
        // The counter values moved with the new positions.
        if (FList.HasCounter())
          FParts.FRollback->SetTag(1);
        SynchroList(*LFrom, AListings);
        UpdateDetails();
        FHost.UpdateActions();
      });
}

namespace {

// The row of buttons that holds AWidget, searched from ALayout down.
QBoxLayout *RowOf(QLayout &ALayout, const QWidget &AWidget) {
  if (ALayout.indexOf(&AWidget) >= 0)
    return qobject_cast<QBoxLayout *>(&ALayout);
  for (int i = 0; i < ALayout.count(); ++i)
    if (QLayout *LChild = ALayout.itemAt(i)->layout())
      if (QBoxLayout *LRow = RowOf(*LChild, AWidget))
        return LRow;
  return nullptr;
}

} // namespace

void TRenamePage::CreateSortByButton() {
  QWidget &LParent = *FParts.FDeleteButton->parentWidget();
  FSortBy = new QToolButton(&LParent);
  FSortBy->setObjectName(QStringLiteral("btnSortBy"));
  FSortBy->setText(QStringLiteral("Sort by"));
  FSortBy->setToolTip(QStringLiteral("Sort the list"));
  FSortBy->setPopupMode(QToolButton::InstantPopup);
  FSortBy->setFocusPolicy(Qt::StrongFocus);
  auto *LMenu = new QMenu(FSortBy);
  LMenu->setObjectName(QStringLiteral("mnSortBy"));
  auto *LKeys = new QActionGroup(LMenu);
  auto *LDirections = new QActionGroup(LMenu);
  std::vector<std::pair<TSortKey, QString>> LEntries = {
      {TSortKey::OldName, QStringLiteral("Old Name")},
      {TSortKey::NewName, QStringLiteral("New Name")},
      {TSortKey::Location, QStringLiteral("Location")}};
  if (!Folders())
    LEntries.push_back({TSortKey::Taken, QStringLiteral("Date taken")});
  LEntries.push_back({TSortKey::Modified, QStringLiteral("Modified")});
  if (!Folders())
    LEntries.push_back({TSortKey::Size, QStringLiteral("Size")});
  // A key keeps the direction in force; a direction keeps the key.
  const auto LDirection = [this] {
    const auto LOrder = ShownOrder();
    return LOrder && LOrder->second;
  };
  const auto LKey = [this] {
    const auto LOrder = ShownOrder();
    return LOrder ? LOrder->first : TSortKey::OldName;
  };
  for (const auto &[LEntryKey, LText] : LEntries) {
    QAction *LAction = LMenu->addAction(LText);
    LAction->setCheckable(true);
    LAction->setData(static_cast<int>(LEntryKey));
    LKeys->addAction(LAction);
    connect(LAction, &QAction::triggered, this,
            [this, LDirection, AKey = LEntryKey] { SortBy(AKey, LDirection()); });
  }
  LMenu->addSeparator();
  for (const bool LDown : {false, true}) {
    QAction *LAction =
        LMenu->addAction(LDown ? QStringLiteral("Descending") : QStringLiteral("Ascending"));
    LAction->setCheckable(true);
    LAction->setData(LDown);
    LDirections->addAction(LAction);
    connect(LAction, &QAction::triggered, this, [this, LKey, LDown] { SortBy(LKey(), LDown); });
  }
  // The menu checks the order the rows are in when it opens.
  connect(LMenu, &QMenu::aboutToShow, this, [this, LKeys, LDirections] {
    const auto LOrder = ShownOrder();
    for (QAction *LAction : LKeys->actions())
      LAction->setChecked(LOrder && LAction->data().toInt() == static_cast<int>(LOrder->first));
    for (QAction *LAction : LDirections->actions())
      LAction->setChecked(LOrder && LAction->data().toBool() == LOrder->second);
  });
  FSortBy->setMenu(LMenu);
  if (QLayout *LLayout = LParent.layout())
    if (QBoxLayout *LRow = RowOf(*LLayout, *FParts.FDeleteButton))
      LRow->addWidget(FSortBy);
  // Tab reaches it after the buttons left of it, before the grid.
  setTabOrder(FParts.FDeleteButton, FSortBy);
}

void TRenamePage::GridMouseMove(const QPoint &APos) {
  // While a step runs the worker owns the list: no balloon reads it.
  if (StepRunning()) {
    ForgetHintBalloon(FLastHintCell);
    return;
  }
  HintColumnMouseMove(*FParts.FGrid, APos, FLastHintCell,
                      [this](int ARow) -> std::optional<THintText> {
                        const int LPosition = ItemOfRow(ARow);
                        if (LPosition < 0)
                          return std::nullopt;
                        const TRenameItem &LItem = FList.ItemAt(LPosition);
                        const QString LName = FList.OldName(LPosition);
                        const TPlanEntry *LEntry = FModel->PlanEntryAtRow(ARow);
                        // An item a cancelled step never came to says so.
                        if (LEntry == nullptr && LItem.NotTried())
                          return THintText{LName, FListed == TListGridModel::TListed::StillRenamed
                                                      ? rs::NotTriedRollback
                                                      : rs::NotTriedRename};
                        std::optional<THintText> LText =
                            RowHintText(LName, LItem.RenameErrorText(), LEntry, Folders());
                        // Without a word from the plan, what the metadata tokens did not find.
                        const uint16_t LNotes = FList.MetadataNotes(LPosition);
                        if (!LText && LEntry != nullptr && LNotes != 0)
                          LText = THintText{LName, MetadataNotesText(LNotes)};
                        return LText;
                      });
}

// ---------------------------------------------------------------------------
// Collecting, Delete and Clear

void TRenamePage::StartNewListAfterRenaming() {
  if (FParts.FRename->Tag() != 1)
    return;
  RemoveHintColumn();
  FList.Clear();
  FParts.FRename->SetTag(0);
  FParts.FRollback->SetTag(1);
  // The grid lets go of the rows of the list just cleared before it holds
  // what it shows during the step.
  SynchroList(0);
}

void TRenamePage::StartAdd(std::function<TAdded(TProgress &)> AAdd, bool ALogAdded) {
  if (StepRunning())
    return;
  StartNewListAfterRenaming();
  TRenameList &LList = FList;
  const int LPosition = LList.Count();
  const TNameRecipe LRecipe = Recipe();
  const std::optional<std::pair<TSortKey, bool>> LOrder = ShownOrder();
  auto LAdded = std::make_shared<TAdded>();
  auto LFirstChanged = std::make_shared<int>(LPosition);
  BeginStep();
  StepWorker->Start(
      [&LList, AAdd = std::move(AAdd), LRecipe, LPosition, LOrder, LAdded,
       LFirstChanged](TProgress &AProgress) {
        *LAdded = AAdd(AProgress);
        if (LAdded->FStopped)
          return;
        // The whole list in the order the header's marker shows, the new
        // items among the others (a stable sort: items that compare equal
        // keep the order they were found in); then the names, the counter
        // following the rows, and what a Rename would do: the folders may
        // have changed since they were read.
        int LFrom = LPosition;
        if (LOrder && LList.Count() > LPosition) {
          // An order by the date taken reads the new files first; a stop
          // there leaves the list as it was before the Add.
          if (LList.NeedsSortRead(LOrder->first) &&
              !LList.ReadSortKeys(LOrder->first, &AProgress)) {
            LList.Truncate(LPosition);
            LAdded->FStopped = true;
            return;
          }
          LList.Sort(LOrder->first, LOrder->second);
          LFrom = 0;
        }
        *LFirstChanged = LList.ApplyRecipe(LRecipe, LFrom);
        LList.RefreshPlanner();
        (void)LList.PlanRenaming();
      },
      [this, LAdded, LPosition, LFirstChanged, ALogAdded] {
        AddEnded(*LAdded, LPosition, *LFirstChanged, ALogAdded);
      });
  FHost.UpdateActions();
}

void TRenamePage::AddEnded(const TAdded &AAdded, int APosition, int AFirstChanged, bool ALogAdded) {
  EndStep();
  if (AAdded.FStopped) {
    SynchroList(APosition);
    ReportAddCancelled(AAdded.FFound);
  } else {
    if (ALogAdded) {
      const int LAdded = FList.Count() - APosition;
      GetLogger().WriteLogFmt(rs::ForCount(LAdded, rs::FileWasAdded, rs::FilesWereAdded), {LAdded});
    }
    SynchroList(AFirstChanged, TListings::Planned);
    TAddProblems LProblems = std::move(FOutsideProblems);
    LProblems.FNotAdded = AAdded.FNotAdded;
    for (const QString &LPath : AAdded.FOwnFiles)
      LProblems.FOwnFiles.append(LPath);
    for (const TUnreadable &LUnreadable : AAdded.FUnreadable)
      LProblems.FUnreadable.append({LUnreadable.FPath, LUnreadable.FReason});
    ReportAddProblems(LProblems);
  }
  FOutsideProblems = TAddProblems();
  UpdateDetails();
  FHost.UpdateActions();
}

QStringList TRenamePage::OutsidePaths(const QStringList &APaths, const TAction &AAdd,
                                      const QString &ALog) {
  if (APaths.isEmpty() || !AAdd.isEnabled() || StepRunning())
    return {};
  GetLogger().WriteLog(ALog);
  // A path that is there but cannot be reached is told with its reason, the
  // others that name nothing as not found: after the Add, with what it
  // could not take, or now when nothing is left to add.
  QStringList LFound;
  QStringList LMissing;
  SplitMissingPaths(APaths, LFound, LMissing);
  FOutsideProblems = TAddProblems();
  for (const QString &LPath : LMissing) {
    const QString LReason = PathUnreachableReason(LPath);
    if (LReason.isEmpty())
      FOutsideProblems.FMissing.append(LPath);
    else
      FOutsideProblems.FUnreadable.append({LPath, LReason});
  }
  if (LFound.isEmpty()) {
    ReportAddProblems(FOutsideProblems);
    FOutsideProblems = TAddProblems();
  }
  return LFound;
}

void TRenamePage::ClearList() {
  if (StepRunning())
    return;
  GetLogger().WriteLog(Folders() ? rs::ClearFoldersList : rs::ClearList);
  ChangeListThen(
      nullptr, TListings::Kept, [this] { FList.Clear(); },
      [this](TListings AListings) {
        SynchroList(0, AListings);
        UpdateDetails();
      });
}

void TRenamePage::DeleteSelected() {
  QTableView &LGrid = *FParts.FGrid;
  const QList<int> LRows = SelectedGridRows(LGrid);
  std::vector<int> LPositions;
  for (const int LRow : LRows) {
    const int LPosition = ItemOfRow(LRow);
    if (LPosition >= 0)
      LPositions.push_back(LPosition);
  }
  // Nothing selected: nothing is removed.
  if (LPositions.empty())
    return;
  std::sort(LPositions.begin(), LPositions.end());
  LPositions.erase(std::unique(LPositions.begin(), LPositions.end()), LPositions.end());
  if (StepRunning())
    return;
  for (const int LPosition : LPositions)
    GetLogger().WriteLogFmt(Folders() ? rs::DeleteFolderFromList : rs::DeleteFileFromList,
                            {FList.OldName(LPosition)});
  const TNameRecipe LRecipe = Recipe();
  auto LFrom = std::make_shared<int>(0);
  const int LFirstRow = LRows.first();
  ChangeListThen(
      nullptr, TListings::Kept,
      [this, LPositions, LRecipe, LFrom] {
        // From the last one, so that the positions still to delete stay put.
        for (auto LPosition = LPositions.rbegin(); LPosition != LPositions.rend(); ++LPosition)
          FList.Delete(*LPosition);
        *LFrom = RenumberFrom(LPositions.front(), LRecipe);
      },
      [this, LFrom, LFirstRow](TListings AListings) {
        QTableView &LShown = *FParts.FGrid;
        {
          const TUpdatesSuspended LSuspended(LShown);
          SynchroList(*LFrom, AListings);
        }
        // The row where the first deleted one was stays selected, for the
        // next Delete.
        {
          const TNesting LSynchronising(FSynchronising);
          LShown.clearSelection();
          if (FModel->rowCount() > 0)
            LShown.selectRow(std::min(LFirstRow, FModel->rowCount() - 1));
        }
        if (LShown.focusPolicy() != Qt::NoFocus && LShown.isVisible() && LShown.isEnabled())
          LShown.setFocus();
        UpdateDetails();
      });
}

int TRenamePage::RenumberFrom(int APosition, const TNameRecipe &ARecipe) {
  // Without a counter the other items' new names do not depend on their
  // positions.
  if (FList.HasCounter())
    return FList.ApplyRecipe(ARecipe, APosition);
  FList.Reindex(APosition);
  return APosition;
}

// ---------------------------------------------------------------------------
// Names

void TRenamePage::MaskExit(masks::TMaskPart APart, const QString &AMask) {
  if (StepRunning() || AMask == FList.AppliedMask(APart))
    return;
  TNameRecipe LAlone;
  if (APart == masks::TMaskPart::Name)
    LAlone.FNameMask = AMask;
  else
    LAlone.FExtMask = AMask;
  ChangeListThen(
      &LAlone, TListings::Kept, [this, APart, AMask] { FList.ApplyMaskAlone(APart, AMask, 0); },
      [this](TListings AListings) {
        FParts.FRollback->SetTag(1);
        SynchroNames(AListings);
      });
}

void TRenamePage::SearchExit() {
  FSearchValid = ShowSearchError(SearchOptions, Recipe());
  if (FList.Count() == 0)
    return;
  RecomputeNewNames();
}

void TRenamePage::CounterChanged() {
  if (FList.Count() > 0) {
    if (!FList.HasCounter()) {
      // No name shows the counter: the items only keep its values, for a
      // mask with the counter applied later.
      const TNameRecipe LRecipe = Recipe();
      FList.SetCounter(LRecipe.FCounterStart, LRecipe.FCounterStep, LRecipe.FCounterDigits);
    } else {
      RecomputeNewNames();
    }
  }
  FHost.UpdateActions();
}

void TRenamePage::CaseChanged() {
  RecomputeNewNames();
  FHost.UpdateActions();
}

void TRenamePage::ApplyAll(std::function<void()> AThen) {
  if (FList.Count() == 0) {
    ShowWarningMessage(Folders() ? rs::FirstAddSomeFolder : rs::FirstAddSomeFile);
    return;
  }
  // With the masks as applied no name changes: only the folders are read anew.
  if (FList.MasksApplied(Recipe())) {
    if (!StepRunning())
      ChangeListThen(
          nullptr, TListings::ReadAnew, [] {},
          [this, AThen = std::move(AThen)](TListings AListings) {
            SynchroNames(AListings);
            if (AThen)
              AThen();
          });
    return;
  }
  RecomputeNewNames(TListings::ReadAnew, std::move(AThen));
}

void TRenamePage::RecomputeNewNames(TListings AListings, std::function<void()> AThen) {
  if (StepRunning())
    return;
  FParts.FRollback->SetTag(1);
  const TNameRecipe LRecipe = Recipe();
  ChangeListThen(
      &LRecipe, AListings, [this, LRecipe] { FList.ApplyRecipe(LRecipe, 0); },
      [this, AThen = std::move(AThen)](TListings AShown) {
        SynchroNames(AShown);
        if (AThen)
          AThen();
      });
}

namespace {
int GLargeList = 150000;
} // namespace

int TRenamePage::SetLargeList(int ACount) {
  return std::exchange(GLargeList, ACount);
}

int TRenamePage::LargeList() {
  return GLargeList;
}

TRenamePage::TListRead TRenamePage::MetadataRead(const TNameRecipe *ARecipe) {
  TListRead LRead;
  if (ARecipe == nullptr || !FList.NeedsMetadataRead(*ARecipe))
    return LRead;
  LRead.FNeeded = true;
  LRead.FRead = [&LList = FList, LRecipe = *ARecipe](TProgress &AProgress) {
    return LList.ReadMetadata(LRecipe, &AProgress);
  };
  return LRead;
}

void TRenamePage::ChangeListThen(const TNameRecipe *ARecipe, TListings AListings,
                                 std::function<void()> AChange,
                                 std::function<void(TListings)> AShow) {
  if (StepRunning())
    return;
  ChangeListThen(MetadataRead(ARecipe), AListings, std::move(AChange), std::move(AShow));
}

void TRenamePage::ChangeListThen(TListRead ARead, TListings AListings,
                                 std::function<void()> AChange,
                                 std::function<void(TListings)> AShow) {
  if (StepRunning())
    return;
  TRenameList &LList = FList;
  const bool LRead = ARead.FNeeded;
  const bool LLarge = LList.Count() >= GLargeList;
  if (!LRead && !LLarge) {
    AChange();
    AShow(AListings);
    return;
  }
  // The worker makes the plan too, unless the grid shows a Rename's outcome.
  const bool LPlan = LLarge && !FFailureMarks && !HasRenamedItems();
  // The files are read on the worker; the names change only once all are
  // read, so Cancel leaves the old ones. The step starts before the focus
  // leaves the fields, so that their exits see it running and wait; the
  // grid takes what it shows before the worker may change it.
  auto LDone = std::make_shared<bool>(true);
  HoldShownRows();
  StepWorker->Start(
      [&LList, ARead = std::move(ARead), LRead, LLarge, LPlan, AListings, LDone,
       AChange](TProgress &AProgress) {
        if (LRead && !ARead.FRead(AProgress)) {
          *LDone = false;
          return;
        }
        if (!LLarge)
          return;
        AChange();
        if (LPlan) {
          if (AListings == TListings::ReadAnew)
            LList.RefreshPlanner();
          (void)LList.PlanRenaming();
        }
      },
      [this, LLarge, LPlan, AListings, LDone, AChange, AShow = std::move(AShow)] {
        EndStep();
        if (*LDone) {
          if (!LLarge)
            AChange();
          AShow(LPlan ? TListings::Planned : AListings);
        }
        FHost.UpdateActions();
      });
  BeginStep();
  FHost.UpdateActions();
}

// ---------------------------------------------------------------------------
// Rename and Rollback

bool TRenamePage::StepRunning() const {
  return StepWorker != nullptr && StepWorker->Running();
}

void TRenamePage::CancelStepAndWait() {
  StepWorker->CancelAndWait();
}

void TRenamePage::BeginStep() {
  ForgetHintBalloon(FLastHintCell);
  // The focus goes back where it was when the step ends (a step begun
  // inside another keeps the first one's).
  QWidget *LFocus = QApplication::focusWidget();
  if (LFocus != nullptr && !StepProgress->isAncestorOf(LFocus))
    FFocusBeforeStep = LFocus;
  StepProgress->show();
  StepProgress->btnStepCancel->setFocus(Qt::OtherFocusReason);
  HoldShownRows();
  FParts.FNamePart->setEnabled(false);
  FParts.FListPart->setEnabled(false);
}

void TRenamePage::HoldShownRows() {
  if (FModel->Held())
    return;
  QTableView &LGrid = *FParts.FGrid;
  const int LFirst = LGrid.rowAt(0);
  const int LLast = LGrid.rowAt(LGrid.viewport()->height() - 1);
  FModel->Hold(std::max(LFirst, 0), LLast < 0 ? FModel->rowCount() - 1 : LLast);
}

void TRenamePage::EndStep() {
  FModel->Release();
  FParts.FNamePart->setEnabled(true);
  FParts.FListPart->setEnabled(true);
  RestoreFocus();
}

void TRenamePage::RestoreFocus() {
  // No key typed next may reach a control the user cannot see focused: the
  // widget that had the focus, or the next one in Tab order that can take it.
  QWidget *LWidget = FFocusBeforeStep.data();
  FFocusBeforeStep = nullptr;
  if (LWidget == nullptr || !isAncestorOf(LWidget))
    LWidget = FParts.FNameMask;
  for (QWidget *LNext = LWidget; LNext != nullptr;) {
    if (isAncestorOf(LNext) && LNext->isVisible() && LNext->isEnabled() &&
        LNext->focusPolicy() != Qt::NoFocus && !StepProgress->isAncestorOf(LNext)) {
      LNext->setFocus(Qt::OtherFocusReason);
      return;
    }
    LNext = LNext->nextInFocusChain();
    if (LNext == LWidget)
      break;
  }
}

void TRenamePage::Rename() {
  if (StepRunning())
    return;
  // First: a field's exit may still change the names and make a new plan.
  BeginStep();
  // A mask's exit that reads metadata runs as a step of its own: the new
  // names are shown first and Rename waits for the next press.
  if (StepRunning())
    return;
  FParts.FRename->SetTag(1);
  FParts.FRollback->SetTag(0);
  FMayHaveRenamed = true;
  TRenameList &LList = FList;
  auto LFailed = std::make_shared<int>(0);
  StepWorker->Start(
      [&LList, LFailed](TProgress &AProgress) {
        LList.SetProgress(&AProgress);
        *LFailed = LList.ExecuteRenaming();
        LList.SetProgress(nullptr);
      },
      [this, LFailed] { RenameEnded(*LFailed); });
  FHost.UpdateActions();
}

void TRenamePage::RenameEnded(int AFailed) {
  EndStep();
  if (ReportBatchRefused(AFailed, FList.BatchError())) {
    // Nothing moved: the page stays as it was before the Rename.
    FParts.FRename->SetTag(0);
    FParts.FRollback->SetTag(1);
    FHost.UpdateActions();
    return;
  }
  // A Rename may put the list in a new order (folders deepest first): the
  // plan's marks no longer belong to the rows.
  FModel->ClearPlan();
  FListed = TListGridModel::TListed::NotRenamed;
  const bool LStopped = FList.LastBatchStopped();
  if (!FList.JournalError().isEmpty())
    ReportJournalIncomplete(FList.JournalError(), rs::RenamedCount, RenamedCount(FList),
                            FList.Count());
  else if (LStopped)
    ReportCancelled(rs::RenameCancelled, RenamedCount(FList), FList.Count());
  else
    ReportRename(AFailed);
  // The items not renamed are listed, and Rename waits for a Rollback or a
  // new Add.
  if (AFailed > 0 || LStopped)
    RecreateHintColumn();
  SynchroList(0);
  if (AFailed > 0 || LStopped)
    ScrollToHintMarks(*FParts.FGrid);
  UpdateDetails();
  FHost.UpdateActions();
}

void TRenamePage::Rollback() {
  if (StepRunning())
    return;
  BeginStep();
  if (StepRunning())
    return;
  FParts.FRollback->SetTag(1);
  FParts.FRename->SetTag(0);
  TRenameList &LList = FList;
  const int LTotal = RenamedCount(LList);
  auto LFailed = std::make_shared<int>(0);
  StepWorker->Start(
      [&LList, LFailed](TProgress &AProgress) {
        LList.SetProgress(&AProgress);
        *LFailed = LList.ExecuteRollback();
        LList.SetProgress(nullptr);
        // The marks tell what a Rename would do with the disk as it is now:
        // the folders are read and the plan made here, off the GUI thread.
        if (*LFailed >= 0) {
          LList.RefreshPlanner();
          (void)LList.PlanRenaming();
        }
      },
      [this, LFailed, LTotal] { RollbackEnded(*LFailed, LTotal); });
  FHost.UpdateActions();
}

void TRenamePage::RollbackEnded(int AFailed, int ATotal) {
  EndStep();
  if (ReportBatchRefused(AFailed, FList.BatchError())) {
    FParts.FRollback->SetTag(0);
    FHost.UpdateActions();
    return;
  }
  const bool LStopped = FList.LastBatchStopped();
  const int LMovedBack = ATotal - RenamedCount(FList);
  if (LStopped) {
    // The items still renamed are listed, those never tried with their own
    // mark; another Rollback moves them back, and Rename waits until then.
    FParts.FRollback->SetTag(0);
    FParts.FRename->SetTag(1);
    RecreateHintColumn();
    FListed = TListGridModel::TListed::StillRenamed;
  } else if (AFailed > 0) {
    RecreateHintColumn();
    FListed = TListGridModel::TListed::NotRenamed;
  } else {
    RemoveHintColumn();
  }
  // The marks tell what a Rename would do with the disk as it is now (the
  // worker planned it).
  SynchroList(0, TListings::Planned);
  if (!FList.JournalError().isEmpty())
    ReportJournalIncomplete(FList.JournalError(), rs::MovedBackCount, LMovedBack, ATotal);
  else if (LStopped)
    ReportCancelled(rs::RollbackCancelled, LMovedBack, ATotal);
  else
    ReportRollback(AFailed);
  if (AFailed > 0 || LStopped)
    ScrollToHintMarks(*FParts.FGrid);
  UpdateDetails();
  FHost.UpdateActions();
}

void TRenamePage::BatchRolledBack(const QString &ABatchId) {
  // The worker owns the list while a step runs; a Rename running now makes
  // a batch of its own, which the list then follows instead.
  if (StepRunning())
    return;
  TJournalBatch LBatch;
  if (ABatchId.isEmpty() || FList.BatchId() != ABatchId || !GetJournal().Load(ABatchId, LBatch))
    return;
  FList.NoteRolledBack(LBatch.RenamedItems());
  FModel->ClearPlan();
  RemoveHintColumn();
  SynchroList(0);
  UpdateDetails();
}
