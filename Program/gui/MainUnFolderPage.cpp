#include "MainUnFolderPage.h"

#include "FMX.BallonHint.h"
#include "MainUn.h"
#include "uControlUtils.h"
#include "uFolderGridModel.h"
#include "uFolderInfo.h"
#include "uGridSupport.h"
#include "uJournal.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uNameEdits.h"
#include "uPageKit.h"
#include "uPropertyGridModel.h"
#include "uResourceString.h"
#include "uSelectFolderForm.h"
#include "uSetting.h"
#include "uUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
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

QPushButton *MakeImageButton(const QString &AName, QWidget &AParent) {
  auto *LButton = new QPushButton(&AParent);
  LButton->setObjectName(AName);
  LButton->setIconSize(QSize(24, 24));
  LButton->setCursor(Qt::PointingHandCursor);
  return LButton;
}

void SetActionImage(TAction &AAction, const QString &APicture) {
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, APicture))
    AAction.setIcon(QIcon(LPixmap));
}

} // namespace

TFolderPage::TFolderPage(TfmMain &AMain, QWidget *AParent)
    : QWidget(AParent), FMain(AMain), FFolderList(*AMain.FFolderList) {
  setObjectName(QStringLiteral("FolderPage"));
  CreateActions();
  auto *LLayout = new QVBoxLayout(this);
  LLayout->setContentsMargins(0, 0, 0, 0);
  CreateNameGroup(*this);
  CreateListGroup(*this);
  StepWorker = new TStepWorker(this);
  StepProgress = new TStepProgress(*StepWorker, this);
  LLayout->addWidget(StepProgress);
  SizeProbe = new TFolderSizeProbe(this);
  connect(SizeProbe, &TFolderSizeProbe::Measured, this,
          [this](const QString &AFolder, qint64 ASize) {
            // The worker owns the list while a step runs; its end shows the
            // details anew, which asks again.
            if (StepRunning())
              return;
            const int LPosition = ShownFolder();
            if (LPosition < 0 || FFolderList.Items(LPosition)->FullFolderName() != AFolder)
              return;
            FFolderList.Items(LPosition)->SetSize(ASize);
            sgDetailInfoFolderUpdate();
          });
  // The grid's look is set up: the marker starts on the first column.
  CreateFolderSortMarker();
  SynchroFolderList(0);
  sgDetailInfoFolderUpdate();
}

TFolderPage::~TFolderPage() {
  // The balloon may point at the grid that goes away with the page.
  HideBalloonHint();
  // A step still running stops before the list it works on goes.
  delete StepWorker;
  delete SizeProbe;
}

void TFolderPage::CreateActions() {
  TActionList &LList = FMain.Actions();
  acAddFolder = new TAction(QStringLiteral("Add Folder"), LList, this);
  acAddFolder->setObjectName(QStringLiteral("acAddFolder"));
  acAddFolder->SetOnExecute([this](TAction &) { acAddFolderExecute(); });
  acAddFolder->SetOnUpdate([this](TAction &ASender) { ASender.setEnabled(!StepRunning()); });
  SetActionImage(*acAddFolder, QStringLiteral("Button_Addfolder"));

  acClearFolder = new TAction(QStringLiteral("Clear"), LList, this);
  acClearFolder->setObjectName(QStringLiteral("acClearFolder"));
  acClearFolder->SetOnExecute([this](TAction &) { acClearFolderExecute(); });
  acClearFolder->SetOnUpdate([this](TAction &) { acClearFolderUpdate(); });
  SetActionImage(*acClearFolder, QStringLiteral("Button_Clear"));

  acDeleteFolder = new TAction(QStringLiteral("Delete"), LList, this);
  acDeleteFolder->setObjectName(QStringLiteral("acDeleteFolder"));
  acDeleteFolder->SetOnExecute([this](TAction &) { acDeleteFolderExecute(); });
  acDeleteFolder->SetOnUpdate([this](TAction &) { acDeleteFolderUpdate(); });
  SetActionImage(*acDeleteFolder, QStringLiteral("Button_Delete"));

  acApplyAllFolder = new TAction(QStringLiteral("Apply (Enter)"), LList, this);
  acApplyAllFolder->setObjectName(QStringLiteral("acApplyAllFolder"));
  acApplyAllFolder->SetOnExecute([this](TAction &) { acApplyAllFolderExecute(); });

  acFolder_Name = new TAction(QStringLiteral("[N] Name"), LList, this);
  acFolder_Name->setObjectName(QStringLiteral("acFolder_Name"));
  acFolder_Name->SetOnExecute([this](TAction &) { acFolder_NameExecute(); });
  acFolder_Count = new TAction(QStringLiteral("[C] Counter"), LList, this);
  acFolder_Count->setObjectName(QStringLiteral("acFolder_Count"));
  acFolder_Count->SetOnExecute([this](TAction &) { acFolder_CountExecute(); });
  acFolder_Date = new TAction(QStringLiteral("[YMD] Date"), LList, this);
  acFolder_Date->setObjectName(QStringLiteral("acFolder_Date"));
  acFolder_Date->SetOnExecute([this](TAction &) { acFolder_DateExecute(); });
  acFolder_Time = new TAction(QStringLiteral("[hms] Time"), LList, this);
  acFolder_Time->setObjectName(QStringLiteral("acFolder_Time"));
  acFolder_Time->SetOnExecute([this](TAction &) { acFolder_TimeExecute(); });

  acRenameFolder = new TAction(QStringLiteral("Rename"), LList, this);
  acRenameFolder->setObjectName(QStringLiteral("acRenameFolder"));
  acRenameFolder->SetOnExecute([this](TAction &) { acRenameFolderExecute(); });
  acRenameFolder->SetOnUpdate([this](TAction &) { acRenameFolderUpdate(); });
  SetActionImage(*acRenameFolder, QStringLiteral("Button_Rename"));

  acRollbackFolder = new TAction(QStringLiteral("Rollback"), LList, this);
  acRollbackFolder->setObjectName(QStringLiteral("acRollbackFolder"));
  acRollbackFolder->SetOnExecute([this](TAction &) { acRollbackFolderExecute(); });
  acRollbackFolder->SetOnUpdate([this](TAction &) { acRollbackFolderUpdate(); });
  SetActionImage(*acRollbackFolder, QStringLiteral("Button_Undo"));
  // Rollback starts disabled; only a Rename enables it.
  acRollbackFolder->setEnabled(false);
}

void TFolderPage::CreateNameGroup(QWidget &AParent) {
  auto *LGroup = new QGroupBox(QStringLiteral("Name"), &AParent);
  LGroup->setObjectName(QStringLiteral("gbFolderName"));
  FNameGroup = LGroup;
  AParent.layout()->addWidget(LGroup);
  auto *LRow = new QHBoxLayout(LGroup);

  auto *LMaskGroup = new QGroupBox(QStringLiteral("Rename mask: folder name "), LGroup);
  LMaskGroup->setObjectName(QStringLiteral("gbFolderMask"));
  edFolderMask = new QLineEdit(QStringLiteral("[N]"), LMaskGroup);
  edFolderMask->setObjectName(QStringLiteral("edFolderMask"));
  const auto LToken = [LMaskGroup](const QString &AName, TAction &AAction) {
    return MakeTokenButton(AName, AAction, TTokenLook::ToolButton, *LMaskGroup);
  };
  btnFolder_Name = LToken(QStringLiteral("btnFolder_Name"), *acFolder_Name);
  btnFolder_Count = LToken(QStringLiteral("btnFolder_Count"), *acFolder_Count);
  btnFolder_Date = LToken(QStringLiteral("btnFolder_Date"), *acFolder_Date);
  btnFolder_Time = LToken(QStringLiteral("btnFolder_Time"), *acFolder_Time);
  Btn_MoreTokens = MakeMoreTokensButton(QStringLiteral("Btn_MoreTokens"), false,
                                        TTokenLook::ToolButton, *edFolderMask, *LMaskGroup);
  auto *LMaskLayout = new QVBoxLayout(LMaskGroup);
  LMaskLayout->addWidget(edFolderMask);
  auto *LTokens = new QGridLayout;
  LTokens->addWidget(btnFolder_Name, 0, 0);
  LTokens->addWidget(btnFolder_Count, 0, 1);
  LTokens->addWidget(btnFolder_Date, 1, 0);
  LTokens->addWidget(btnFolder_Time, 1, 1);
  LTokens->addWidget(Btn_MoreTokens, 2, 0);
  LMaskLayout->addLayout(LTokens);
  LRow->addWidget(LMaskGroup, 2);

  auto *LSearchGroup = new QGroupBox(QStringLiteral("Search && Replace"), LGroup);
  LSearchGroup->setObjectName(QStringLiteral("gbFolderSearch"));
  auto *LSearchLabel = new QLabel(QStringLiteral("Search for:"), LSearchGroup);
  edFolderSearch = new QLineEdit(LSearchGroup);
  edFolderSearch->setObjectName(QStringLiteral("edFolderSearch"));
  auto *LReplaceLabel = new QLabel(QStringLiteral("Replace whith:"), LSearchGroup);
  edFolderReplace = new QLineEdit(LSearchGroup);
  edFolderReplace->setObjectName(QStringLiteral("edFolderReplace"));
  FFieldExits = std::make_unique<TFieldExits>([this] { FMain.UpdateActions(); });
  FFieldExits->Watch(*edFolderMask, [this] { edFolderMaskExit(); });
  FFieldExits->Watch(*edFolderReplace, [this] { edFolderReplaceExit(); });
  // Leaving the search field applies nothing; Enter in it applies the search.
  FFieldExits->Watch(
      *edFolderSearch, [this] { edFolderReplaceExit(); }, TFieldExits::TExitOn::EnterOnly);
  auto *LSearchLayout = new QVBoxLayout(LSearchGroup);
  LSearchLayout->addWidget(LSearchLabel);
  LSearchLayout->addWidget(edFolderSearch);
  LSearchLayout->addWidget(LReplaceLabel);
  LSearchLayout->addWidget(edFolderReplace);
  SearchOptions =
      MakeSearchOptions(*LSearchGroup, *LSearchLayout, QStringLiteral("Folder"),
                        GetSettings().FolderRegexSearch(), GetSettings().FolderMatchCase(), [this] {
                          GetSettings().SetFolderRegexSearch(SearchOptions.FRegex->isChecked());
                          GetSettings().SetFolderMatchCase(SearchOptions.FMatchCase->isChecked());
                          edFolderReplaceExit();
                          FMain.UpdateActions();
                        });

  auto *LCaseGroup = new QGroupBox(QStringLiteral("Upper/Lowercase"), LGroup);
  LCaseGroup->setObjectName(QStringLiteral("gbFolderCase"));
  cbxFolderCase = new QComboBox(LCaseGroup);
  cbxFolderCase->setObjectName(QStringLiteral("cbxFolderCase"));
  cbxFolderCase->addItems({QStringLiteral("No change"), QStringLiteral("All in lower"),
                           QStringLiteral("All in UPPER"), QStringLiteral("First letter in Upper"),
                           QStringLiteral("Begining of Word in Upper")});
  cbxFolderCase->setCurrentIndex(0);
  connect(cbxFolderCase, &QComboBox::currentIndexChanged, this, [this] {
    cbxFolderCaseChange();
    FMain.UpdateActions();
  });
  FMain.RegisterDropDown(*cbxFolderCase);
  auto *LCaseLayout = new QVBoxLayout(LCaseGroup);
  LCaseLayout->addWidget(cbxFolderCase);
  LCaseLayout->addStretch(1);

  auto *LCounterGroup = new QGroupBox(QStringLiteral("Define counter [C] "), LGroup);
  LCounterGroup->setObjectName(QStringLiteral("gbFolderCounter"));
  sboxFolderCntStart = new QSpinBox(LCounterGroup);
  sboxFolderCntStart->setObjectName(QStringLiteral("sboxFolderCntStart"));
  sboxFolderCntStep = new QSpinBox(LCounterGroup);
  sboxFolderCntStep->setObjectName(QStringLiteral("sboxFolderCntStep"));
  for (QSpinBox *LBox : {sboxFolderCntStart, sboxFolderCntStep}) {
    LBox->setRange(0, 100);
    LBox->setValue(1);
    connect(LBox, &QSpinBox::valueChanged, this, [this] {
      if (FFolderList.Count() > 0)
        SynchroFolderCounter();
      FMain.UpdateActions();
    });
  }
  cboxFolderCntNumber = new QComboBox(LCounterGroup);
  cboxFolderCntNumber->setObjectName(QStringLiteral("cboxFolderCntNumber"));
  for (int LDigits = 1; LDigits <= 10; ++LDigits)
    cboxFolderCntNumber->addItem(QString::number(LDigits));
  cboxFolderCntNumber->setCurrentIndex(0);
  connect(cboxFolderCntNumber, &QComboBox::currentIndexChanged, this, [this] {
    if (FFolderList.Count() > 0)
      SynchroFolderCounter();
    FMain.UpdateActions();
  });
  FMain.RegisterDropDown(*cboxFolderCntNumber);
  auto *LCounterLayout = new QGridLayout(LCounterGroup);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Start at:"), LCounterGroup), 0, 0);
  LCounterLayout->addWidget(sboxFolderCntStart, 0, 1);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Step by:"), LCounterGroup), 1, 0);
  LCounterLayout->addWidget(sboxFolderCntStep, 1, 1);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Digits"), LCounterGroup), 2, 0);
  LCounterLayout->addWidget(cboxFolderCntNumber, 2, 1);

  btnApplyAllFolder = new QPushButton(LCaseGroup);
  btnApplyAllFolder->setObjectName(QStringLiteral("btnApplyAllFolder"));
  acApplyAllFolder->BindButton(*btnApplyAllFolder);
  LCaseLayout->addWidget(btnApplyAllFolder);

  LRow->addWidget(LCounterGroup, 1);
  LRow->addWidget(LSearchGroup, 1);
  LRow->addWidget(LCaseGroup, 1);
}

void TFolderPage::CreateListGroup(QWidget &AParent) {
  auto *LGroup = new QGroupBox(QStringLiteral("Folder List"), &AParent);
  LGroup->setObjectName(QStringLiteral("gbFolderList"));
  FListGroup = LGroup;
  AParent.layout()->addWidget(LGroup);
  static_cast<QVBoxLayout *>(AParent.layout())->setStretchFactor(LGroup, 1);

  btnAddFolders = MakeImageButton(QStringLiteral("btnAddFolders"), *LGroup);
  btnClearFolder = MakeImageButton(QStringLiteral("btnClearFolder"), *LGroup);
  btnDeleteFolder = MakeImageButton(QStringLiteral("btnDeleteFolder"), *LGroup);
  btnRenameFolder = MakeImageButton(QStringLiteral("btnRenameFolder"), *LGroup);
  btnRollbackFolder = MakeImageButton(QStringLiteral("btnRollbackFolder"), *LGroup);
  acAddFolder->BindButton(*btnAddFolders);
  acClearFolder->BindButton(*btnClearFolder);
  acDeleteFolder->BindButton(*btnDeleteFolder);
  acRenameFolder->BindButton(*btnRenameFolder);
  acRollbackFolder->BindButton(*btnRollbackFolder);

  sgFolderRename = new QTableView(LGroup);
  sgFolderRename->setObjectName(QStringLiteral("sgFolderRename"));
  FHeader = InstallSortHeader(*sgFolderRename, FMain);
  FModel = new TFolderGridModel(FFolderList, this);
  sgFolderRename->setModel(FModel);
  SetupPreviewGrid(*sgFolderRename);
  EnableRowMultiSelection(*sgFolderRename);
  sgFolderRename->horizontalHeader()->setStretchLastSection(true);
  FDropTarget =
      std::make_unique<TPathDropTarget>(*sgFolderRename, [this](const QStringList &APaths) {
        AddOutsideFolders(APaths);
        FMain.UpdateActions();
      });
  // A reset rebuilds the header's sections: the columns keep their widths by
  // their names.
  connect(FModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] { RestoreColumnWidths(); });
  // So does the hint column coming or going in the normal display.
  connect(FModel, &QAbstractItemModel::columnsAboutToBeInserted, this,
          [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsInserted, this, [this] { RestoreColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsAboutToBeRemoved, this,
          [this] { SaveColumnWidths(); });
  connect(FModel, &QAbstractItemModel::columnsRemoved, this, [this] { RestoreColumnWidths(); });
  FColumnWidths = {{QStringLiteral("scOldName"), 150},
                   {QStringLiteral("scNewName"), 230},
                   {QStringLiteral("scLocation"), 100},
                   {HintColumnName, HintColumnWidth}};
  RestoreColumnWidths();
  connect(FHeader, &TSortHeaderView::SectionMouseDown, this,
          [this](int ASection, Qt::MouseButton AButton) {
            OnsgFolderRenameHeaderMouseDown(ASection, AButton);
            FMain.UpdateActions();
          });
  connect(sgFolderRename->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (FSynchronising > 0)
      return;
    sgFolderRenameSelChanged();
    FMain.UpdateActions();
  });
  FGridMouse = std::make_unique<TGridMouseWatch>(
      *sgFolderRename, [this](const QPoint &APos) { sgFolderRenameMouseMove(APos); });

  txtFolderCount = new QLabel(LGroup);
  txtFolderCount->setObjectName(QStringLiteral("txtFolderCount"));
  txtFolderCount->hide();

  auto *LDetailGroup = new QGroupBox(QStringLiteral("Detail information"), LGroup);
  LDetailGroup->setObjectName(QStringLiteral("gbDetailInfoFolder"));
  sgDetailInfoFolder = new QTableView(LDetailGroup);
  sgDetailInfoFolder->setObjectName(QStringLiteral("sgDetailInfoFolder"));
  FDetailModel = new TPropertyGridModel({QStringLiteral("Name"), QStringLiteral("Location"),
                                         QStringLiteral("Size"), QStringLiteral("Date")},
                                        QStringLiteral("Properties"), QStringLiteral("Value"),
                                        sgDetailInfoFolder);
  SetupDetailGrid(*sgDetailInfoFolder, *FDetailModel);
  auto *LDetailLayout = new QVBoxLayout(LDetailGroup);
  LDetailLayout->addWidget(sgDetailInfoFolder);

  auto *LLayout = new QGridLayout(LGroup);
  auto *LButtons = new QHBoxLayout;
  LButtons->addWidget(btnAddFolders);
  LButtons->addWidget(btnClearFolder);
  LButtons->addWidget(btnDeleteFolder);
  LButtons->addStretch(1);
  LLayout->addLayout(LButtons, 0, 0);
  LLayout->addWidget(sgFolderRename, 1, 0);
  auto *LBottom = new QHBoxLayout;
  LBottom->addWidget(txtFolderCount);
  LBottom->addStretch(1);
  LBottom->addWidget(btnRenameFolder);
  LBottom->addWidget(btnRollbackFolder);
  LLayout->addLayout(LBottom, 2, 0);
  LLayout->addWidget(LDetailGroup, 1, 1);
  LLayout->setColumnStretch(0, 1);
  LLayout->setRowStretch(1, 1);
  CreateShortcuts();
}

void TFolderPage::CreateShortcuts() {
  // Tab follows the upper half left to right (the counter group was made
  // after the groups right of it), then the list from top to bottom.
  QWidget *LPrevious = edFolderMask;
  for (QWidget *LNext : std::initializer_list<QWidget *>{
           sboxFolderCntStart, sboxFolderCntStep, cboxFolderCntNumber, edFolderSearch,
           edFolderReplace, cbxFolderCase, btnApplyAllFolder, btnAddFolders, btnClearFolder,
           btnDeleteFolder, static_cast<QWidget *>(sgFolderRename), btnRenameFolder,
           btnRollbackFolder}) {
    setTabOrder(LPrevious, LNext);
    LPrevious = LNext;
  }

  // Delete and Ctrl+Z act on the list only while the grid has the focus: in a
  // text field they stay the field's own keys (Ctrl+A is the grid's own).
  AddActionShortcut(*acAddFolder, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                    Qt::WindowShortcut, *this);
  AddActionShortcut(*acDeleteFolder, QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut,
                    *sgFolderRename);
  AddActionShortcut(*acRollbackFolder, QKeySequence(Qt::CTRL | Qt::Key_Z), Qt::WidgetShortcut,
                    *sgFolderRename);
  auto *LRename = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
  LRename->setObjectName(QStringLiteral("scRenameFolder"));
  LRename->setContext(Qt::WindowShortcut);
  connect(LRename, &QShortcut::activated, this, [this] { RenameByKey(); });
  auto *LRenameEnter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
  LRenameEnter->setContext(Qt::WindowShortcut);
  connect(LRenameEnter, &QShortcut::activated, this, [this] { RenameByKey(); });
  ShowShortcutInToolTip(*btnAddFolders, acAddFolder->text(), acAddFolder->shortcut());
  ShowShortcutInToolTip(*btnDeleteFolder, QStringLiteral("Delete the selected rows from the list"),
                        acDeleteFolder->shortcut());
  ShowShortcutInToolTip(*btnRenameFolder, acRenameFolder->text(), LRename->key());
  ShowShortcutInToolTip(*btnRollbackFolder, acRollbackFolder->text(), acRollbackFolder->shortcut());
}

void TFolderPage::RenameByKey() {
  FFieldExits->ExitFocused();
  FMain.UpdateActions();
  acRenameFolder->trigger();
}

// ---- Collecting ---------------------------------------------------------------

void TFolderPage::acAddFolderExecute() {
  GetLogger().WriteLog(rs::TryingToAddFolder);
  TSettings &LSettings = GetSettings();
  QString LFolder = LSettings.LastOpenedFolder();
  bool LIncludeSub = LSettings.IncludeSelectedSubFolder();
  bool LIncludeRoot = LSettings.IncludeSelectedRootFolder();
  if (!TfmSelectFolderForm::Execute(LFolder, LIncludeSub, LIncludeRoot))
    return;
  // The dialog's text has lost the bytes of names that are not UTF-8; a
  // folder whose spelling several folders share is not taken.
  if (!ResolveChosenPath(LFolder)) {
    ReportNotAdded(1);
    return;
  }
  LSettings.SetLastOpenedFolder(LFolder);
  LSettings.SetIncludeSelectedRootFolder(LIncludeRoot);
  LSettings.SetIncludeSelectedSubFolder(LIncludeSub);

  StartAdd({LFolder}, LIncludeRoot, LIncludeSub);
}

void TFolderPage::StartNewListAfterRenaming() {
  if (acRenameFolder->Tag() != 1)
    return;
  DestroyFolderHintColumn();
  FFolderList.ClearList();
  acRenameFolder->SetTag(0);
  acRollbackFolder->SetTag(1);
  // The grid lets go of the rows of the list just cleared.
  SynchroFolderList(0);
}

void TFolderPage::StartAdd(const QStringList &AFolders, bool AIncludeRoot, bool AIncludeSub) {
  if (StepRunning())
    return;
  StartNewListAfterRenaming();
  TFolderList &LList = FFolderList;
  const int LPosition = LList.Count();
  const TNameRecipe LRecipe = Recipe();
  auto LOutcome = std::make_shared<TFolderAddOutcome>();
  auto LFirstChanged = std::make_shared<int>(LPosition);
  BeginStep();
  StepWorker->Start(
      [&LList, AFolders, AIncludeRoot, AIncludeSub, LRecipe, LPosition, LOutcome,
       LFirstChanged](TProgress &AProgress) {
        *LOutcome = LList.AddFolders(AFolders, AIncludeRoot, AIncludeSub, &AProgress);
        if (LOutcome->FStopped)
          return;
        // The new folders get their names by the recipe (every folder, when
        // the mask holds the counter); the plan reads the folders anew, as
        // they may have changed since they were read.
        *LFirstChanged = LList.ApplyRecipe(LRecipe, LPosition);
        LList.RefreshPlanner();
        (void)LList.PlanRenaming();
      },
      [this, LOutcome, LPosition, LFirstChanged] {
        AddEnded(*LOutcome, LPosition, *LFirstChanged);
      });
  FMain.UpdateActions();
}

void TFolderPage::AddEnded(const TFolderAddOutcome &AOutcome, int APosition, int AFirstChanged) {
  EndStep();
  if (AOutcome.FStopped) {
    SynchroFolderList(APosition);
    ReportAddCancelled(AOutcome.FFound);
  } else {
    SynchroFolderList(AFirstChanged, TListings::Planned);
    ReportNotAdded(AOutcome.FNoFolder + AOutcome.FNotAdded);
  }
  sgDetailInfoFolderUpdate();
  FMain.UpdateActions();
}

void TFolderPage::AddOutsideFolders(const QStringList &APaths) {
  if (APaths.isEmpty() || !acAddFolder->isEnabled() || StepRunning())
    return;
  GetLogger().WriteLog(rs::TryingToAddFolder);
  QStringList LExisting;
  QStringList LMissing;
  SplitMissingPaths(APaths, LExisting, LMissing);
  ReportNotFound(LMissing);
  if (LExisting.isEmpty())
    return;
  const TSettings &LSettings = GetSettings();
  const bool LIncludeSub = LSettings.IncludeSelectedSubFolder();
  // With neither option remembered the folder itself is added.
  const bool LIncludeRoot = LSettings.IncludeSelectedRootFolder() || !LIncludeSub;
  StartAdd(LExisting, LIncludeRoot, LIncludeSub);
}

void TFolderPage::SynchroFolderList(int APosition, TListings AListings) {
  const TNesting LSynchronising(FSynchronising);
  const TUpdatesSuspended LSuspended(*sgFolderRename);
  const bool LRenamedDisplay = FFailureMarks || FFolderList.HasRenamedFolders();
  if (LRenamedDisplay) {
    FModel->ClearPlan();
  } else {
    if (AListings == TListings::ReadAnew)
      FFolderList.RefreshPlanner();
    FModel->SetPlan(AListings == TListings::Planned ? FFolderList.LastPlan()
                                                    : FFolderList.PlanRenaming());
    // A balloon open over a mark may no longer say what the mark means.
    ForgetHintBalloon(FLastFolderHintCell);
  }
  const bool LHadHintColumn = FModel->HintColumn();
  const int LSelected = SelectedRow();
  FModel->Synchro(APosition, LRenamedDisplay, FFailureMarks);
  if (FModel->HintColumn()) {
    if (FFolderHintColumn.isNull()) {
      FFolderHintColumn = new THintColumn(sgFolderRename);
      FFolderHintColumn->setObjectName(QStringLiteral("FFolderHintColumn"));
    }
    sgFolderRename->setItemDelegateForColumn(0, FFolderHintColumn);
  } else {
    sgFolderRename->setItemDelegateForColumn(0, nullptr);
    if (!FFolderHintColumn.isNull()) {
      ForgetHintBalloon(FLastFolderHintCell);
      delete FFolderHintColumn.data();
    }
  }
  // A selected row does not cover a hint column inserted in front of it.
  if (!LRenamedDisplay && LHadHintColumn != FModel->HintColumn())
    ReselectRow(*sgFolderRename, LSelected);
  ShowCountText(*sgFolderRename, *txtFolderCount, true,
                LRenamedDisplay ? 0 : FModel->PlanConflicts());
}

void TFolderPage::acClearFolderExecute() {
  GetLogger().WriteLog(rs::ClearFoldersList);
  FFolderList.ClearList();
  SynchroFolderList(0);
  sgDetailInfoFolderUpdate();
}

void TFolderPage::acClearFolderUpdate() {
  acClearFolder->setEnabled(!StepRunning() && FModel->rowCount() > 0);
}

void TFolderPage::acDeleteFolderExecute() {
  const QList<int> LRows = SelectedGridRows(*sgFolderRename);
  std::vector<int> LPositions;
  for (const int LSelected : LRows) {
    const int LPosition = FModel->FolderAtRow(LSelected);
    if (LPosition >= 0)
      LPositions.push_back(LPosition);
  }
  // Nothing selected: nothing is removed.
  if (LPositions.empty())
    return;
  std::sort(LPositions.begin(), LPositions.end());
  LPositions.erase(std::unique(LPositions.begin(), LPositions.end()), LPositions.end());
  const int LRow = LRows.first();
  {
    const TUpdatesSuspended LSuspended(*sgFolderRename);
    for (const int LPosition : LPositions)
      GetLogger().WriteLogFmt(rs::DeleteFolderFromList, {FFolderList.Items(LPosition)->OldName()});
    // From the last one, so that the positions still to delete stay put.
    for (auto LPosition = LPositions.rbegin(); LPosition != LPositions.rend(); ++LPosition)
      FFolderList.Delete(*LPosition);
    SynchroFolderList(RenumberFrom(LPositions.front()));
    const TNesting LSynchronising(FSynchronising);
    SelectRow(std::min(LRow, FModel->rowCount() - 1));
  }
  if (sgFolderRename->focusPolicy() != Qt::NoFocus && sgFolderRename->isEnabled())
    sgFolderRename->setFocus();
  sgDetailInfoFolderUpdate();
}

void TFolderPage::acDeleteFolderUpdate() {
  acDeleteFolder->setEnabled(!StepRunning() && FModel->rowCount() > 0 &&
                             acRenameFolder->Tag() == 0);
}

int TFolderPage::RenumberFrom(int APosition) {
  // Without a counter the other folders' new names do not depend on their
  // positions.
  if (FFolderList.GetIsCounterInNameMask())
    return FFolderList.ApplyRecipe(Recipe(), APosition);
  FFolderList.ReindexFolderInfo(APosition);
  return APosition;
}

int TFolderPage::ShownFolder() const {
  // Without a selected row the details are those of the first row's folder.
  if (FFolderList.Count() == 0 || FModel->rowCount() == 0)
    return -1;
  return FModel->FolderAtRow(std::max(SelectedRow(), 0));
}

void TFolderPage::sgDetailInfoFolderUpdate() {
  const int LPosition = ShownFolder();
  if (LPosition < 0) {
    ShowDetails(*sgDetailInfoFolder, *FDetailModel, std::nullopt);
    return;
  }
  TFolderInfo &LItem = *FFolderList.Items(LPosition);
  // A tree can take long to measure: the probe measures it on its own
  // thread and the size is shown when it is known.
  QString LSize;
  if (LItem.IsInitializedSize()) {
    LSize = LItem.SizeStr();
  } else {
    LSize = rs::MeasuringSize;
    SizeProbe->Measure(LItem.FullFolderName());
  }
  ShowDetails(*sgDetailInfoFolder, *FDetailModel,
              QStringList{LItem.OldName(), LItem.Location(), LSize, LItem.DateStr()});
}

void TFolderPage::sgFolderRenameSelChanged() {
  sgDetailInfoFolderUpdate();
}

int TFolderPage::FindFolderByGridRow(int ARow) const {
  // The model keeps the row -> item mapping that the GridRow values record.
  const int LPosition = FModel->FolderAtRow(ARow);
  if (LPosition < 0 || FFolderList.Items(LPosition)->GridRow() != ARow)
    return -1;
  return LPosition;
}

int TFolderPage::SelectedRow() const {
  const QModelIndexList LRows = sgFolderRename->selectionModel()->selectedRows();
  return LRows.isEmpty() ? -1 : LRows.first().row();
}

void TFolderPage::SelectRow(int ARow) {
  if (ARow < 0 || ARow >= FModel->rowCount()) {
    sgFolderRename->clearSelection();
    return;
  }
  sgFolderRename->selectRow(ARow);
}

void TFolderPage::SaveColumnWidths() {
  for (int LColumn = 0; LColumn < FModel->columnCount(); ++LColumn) {
    const QString LName = FModel->headerData(LColumn, Qt::Horizontal, ColumnNameRole).toString();
    if (LColumn < FHeader->count())
      FColumnWidths.insert(LName, FHeader->sectionSize(LColumn));
  }
}

void TFolderPage::RestoreColumnWidths() {
  // The last column fills the rest of the grid: a width given to it would be
  // the least it keeps, also when a hint column comes in front.
  for (int LColumn = 0; LColumn < FModel->columnCount() - 1; ++LColumn) {
    const QString LName = FModel->headerData(LColumn, Qt::Horizontal, ColumnNameRole).toString();
    const auto LWidth = FColumnWidths.constFind(LName);
    if (LWidth != FColumnWidths.constEnd())
      sgFolderRename->setColumnWidth(LColumn, *LWidth);
  }
}

// ---- Masks --------------------------------------------------------------------

void TFolderPage::acFolder_NameExecute() {
  InsertText2Edit(QStringLiteral("[N]"), *edFolderMask);
}

void TFolderPage::acFolder_CountExecute() {
  InsertText2Edit(QStringLiteral("[C]"), *edFolderMask);
}

void TFolderPage::acFolder_DateExecute() {
  InsertText2Edit(QStringLiteral("[YMD]"), *edFolderMask);
}

void TFolderPage::acFolder_TimeExecute() {
  InsertText2Edit(QStringLiteral("[hms]"), *edFolderMask);
}

TNameRecipe TFolderPage::Recipe() const {
  TNameRecipe LRecipe;
  LRecipe.FNameMask = edFolderMask->text();
  LRecipe.FCounterStart = sboxFolderCntStart->value();
  LRecipe.FCounterStep = sboxFolderCntStep->value();
  LRecipe.FCounterDigits = cboxFolderCntNumber->currentText().toInt();
  LRecipe.FSearch = edFolderSearch->text();
  LRecipe.FReplace = edFolderReplace->text();
  LRecipe.FRegex = SearchOptions.FRegex->isChecked();
  LRecipe.FMatchCase = SearchOptions.FMatchCase->isChecked();
  LRecipe.FCase = CaseRuleFromIndex(cbxFolderCase->currentIndex());
  return LRecipe;
}

void TFolderPage::RecomputeAllNames(TListings AListings) {
  acRollbackFolder->SetTag(1);
  SynchroFolderList(FFolderList.ApplyRecipe(Recipe(), 0), AListings);
}

// A mask applied on its own rebuilds the names without search and replace
// and without the case rule.
void TFolderPage::edFolderMaskExit() {
  if (edFolderMask->text() == FFolderList.FolderNameMask())
    return;
  acRollbackFolder->SetTag(1);
  FFolderList.SetFolderNameMask(edFolderMask->text(), 0);
  SynchroFolderList(0);
}

void TFolderPage::edFolderReplaceExit() {
  FSearchValid = ShowSearchError(SearchOptions, Recipe());
  if (FFolderList.Count() == 0)
    return;
  RecomputeAllNames();
}

void TFolderPage::cbxFolderCaseChange() {
  RecomputeAllNames();
}

void TFolderPage::SynchroFolderCounter() {
  if (!FFolderList.GetIsCounterInNameMask()) {
    // No name shows the counter: the folders only keep its values, for a
    // mask with the counter applied later.
    const TNameRecipe LRecipe = Recipe();
    FFolderList.SetCounter(LRecipe.FCounterStart, LRecipe.FCounterStep, LRecipe.FCounterDigits);
    return;
  }
  RecomputeAllNames();
}

void TFolderPage::acApplyAllFolderExecute() {
  if (FFolderList.Count() == 0) {
    ShowWarningMessage(rs::FirstAddSomeFolder);
    return;
  }
  // Apply reads the folders anew, so the marks tell what a Rename would do
  // with the disk as it is now; with the mask as applied no name changes.
  if (edFolderMask->text() == FFolderList.FolderNameMask()) {
    SynchroFolderList(0, TListings::ReadAnew);
    return;
  }
  RecomputeAllNames(TListings::ReadAnew);
}

// ---- Rename and Rollback ------------------------------------------------------

bool TFolderPage::StepRunning() const {
  return StepWorker != nullptr && StepWorker->Running();
}

void TFolderPage::CancelStepAndWait() {
  StepWorker->CancelAndWait();
}

void TFolderPage::BeginStep() {
  ForgetHintBalloon(FLastFolderHintCell);
  StepProgress->show();
  StepProgress->btnStepCancel->setFocus(Qt::OtherFocusReason);
  const int LFirst = sgFolderRename->rowAt(0);
  const int LLast = sgFolderRename->rowAt(sgFolderRename->viewport()->height() - 1);
  FModel->Hold(std::max(LFirst, 0), LLast < 0 ? FModel->rowCount() - 1 : LLast);
  FNameGroup->setEnabled(false);
  FListGroup->setEnabled(false);
}

void TFolderPage::EndStep() {
  FModel->Release();
  FNameGroup->setEnabled(true);
  FListGroup->setEnabled(true);
}

void TFolderPage::acRenameFolderExecute() {
  if (StepRunning())
    return;
  // First: a field's exit may still change the names and make a new plan.
  BeginStep();
  acRenameFolder->SetTag(1);
  acRollbackFolder->SetTag(0);
  TFolderList &LList = FFolderList;
  auto LFailed = std::make_shared<int>(0);
  StepWorker->Start(
      [&LList, LFailed](TProgress &AProgress) {
        LList.SetProgress(&AProgress);
        *LFailed = LList.ExecuteRenaming();
        LList.SetProgress(nullptr);
      },
      [this, LFailed] { RenameEnded(*LFailed); });
  FMain.UpdateActions();
}

void TFolderPage::RenameEnded(int AFailed) {
  EndStep();
  if (ReportBatchRefused(AFailed, FFolderList.BatchError())) {
    // Nothing moved: the page stays as it was before the Rename.
    acRenameFolder->SetTag(0);
    acRollbackFolder->SetTag(1);
    FMain.UpdateActions();
    return;
  }
  // The rename put the list in a new order: the plan's marks no longer
  // belong to the rows.
  FModel->ClearPlan();
  // The message is shown before the grid changes.
  if (FFolderList.LastBatchStopped()) {
    int LRenamed = 0;
    for (int i = 0; i < FFolderList.Count(); ++i)
      LRenamed += FFolderList[i]->isRenamed() ? 1 : 0;
    ReportCancelled(rs::RenameCancelled, LRenamed, FFolderList.Count());
    // The folders not renamed are listed, and Rename waits for a Rollback
    // or a new Add, as after failures.
    RecreateFolderHintColumn();
  } else {
    ReportRename(AFailed);
    if (AFailed > 0)
      RecreateFolderHintColumn();
  }
  SynchroFolderList(0);
  if (AFailed > 0 || FFolderList.LastBatchStopped())
    ScrollToHintMarks(*sgFolderRename);
  sgDetailInfoFolderUpdate();
  FMain.UpdateActions();
}

void TFolderPage::acRenameFolderUpdate() {
  // Conflict marks leave Rename enabled; failure marks do not.
  // An invalid pattern waits to be mended.
  acRenameFolder->setEnabled(!StepRunning() && FModel->rowCount() > 0 && !FFailureMarks &&
                             FSearchValid);
}

void TFolderPage::acRollbackFolderExecute() {
  if (StepRunning())
    return;
  BeginStep();
  acRollbackFolder->SetTag(1);
  acRenameFolder->SetTag(0);
  TFolderList &LList = FFolderList;
  int LTotal = 0;
  for (int i = 0; i < LList.Count(); ++i)
    LTotal += LList[i]->isRenamed() ? 1 : 0;
  auto LFailed = std::make_shared<int>(0);
  StepWorker->Start(
      [&LList, LFailed](TProgress &AProgress) {
        LList.SetProgress(&AProgress);
        *LFailed = LList.ExecuteRollback();
        LList.SetProgress(nullptr);
        // Back to the normal display: the marks tell what a Rename would do
        // with the disk as it is now, planned here, off the GUI thread.
        if (*LFailed == 0 && !LList.LastBatchStopped()) {
          LList.RefreshPlanner();
          (void)LList.PlanRenaming();
        }
      },
      [this, LFailed, LTotal] { RollbackEnded(*LFailed, LTotal); });
  FMain.UpdateActions();
}

void TFolderPage::RollbackEnded(int AFailed, int ATotal) {
  EndStep();
  if (ReportBatchRefused(AFailed, FFolderList.BatchError())) {
    acRollbackFolder->SetTag(0);
    FMain.UpdateActions();
    return;
  }
  const bool LStopped = FFolderList.LastBatchStopped();
  if (LStopped) {
    // The folders still renamed can be moved back by another Rollback;
    // Rename waits until then.
    acRollbackFolder->SetTag(0);
    acRenameFolder->SetTag(1);
    RecreateFolderHintColumn();
  } else if (AFailed > 0) {
    RecreateFolderHintColumn();
  } else {
    DestroyFolderHintColumn();
  }
  // Rollback reorders the list deepest first: every row is rewritten, so that
  // the grid shows the list as it is now, and the marks the disk as it is
  // now (an entry made since the Rename takes a new name; the worker planned
  // it).
  SynchroFolderList(0, TListings::Planned);
  if (LStopped) {
    int LStill = 0;
    for (int i = 0; i < FFolderList.Count(); ++i)
      LStill += FFolderList[i]->isRenamed() ? 1 : 0;
    ReportCancelled(rs::RollbackCancelled, ATotal - LStill, ATotal);
  } else {
    ReportRollback(AFailed);
  }
  sgDetailInfoFolderUpdate();
  FMain.UpdateActions();
}

void TFolderPage::BatchRolledBack(const QString &ABatchId) {
  // The worker owns the list while a step runs.
  if (StepRunning())
    return;
  TJournalBatch LBatch;
  if (ABatchId.isEmpty() || FFolderList.BatchId() != ABatchId ||
      !GetJournal().Load(ABatchId, LBatch))
    return;
  FFolderList.NoteRolledBack(LBatch.RenamedItems());
  FModel->ClearPlan();
  DestroyFolderHintColumn();
  SynchroFolderList(0);
  sgDetailInfoFolderUpdate();
}

void TFolderPage::acRollbackFolderUpdate() {
  // With no renamed folder in the list (after a Clear that followed a Rename,
  // say) there is nothing to move back: a Rollback would only report
  // "Rollback done.".
  if (StepRunning() || acRollbackFolder->Tag() == 1 || !FFolderList.HasRenamedFolders())
    acRollbackFolder->setEnabled(false);
  else
    acRollbackFolder->setEnabled(true);
}

// ---- Hint column, balloon and sorting -----------------------------------------

bool TFolderPage::HasHintColumn() const {
  return FModel->HintColumn();
}

void TFolderPage::DestroyFolderHintColumn() {
  if (!FFailureMarks)
    return;
  FFailureMarks = false;
  ForgetHintBalloon(FLastFolderHintCell);
  // The column itself goes with the next synchronisation (conflict marks may
  // bring it back then); until then it shows no mark.
  sgFolderRename->setItemDelegateForColumn(0, nullptr);
}

void TFolderPage::RecreateFolderHintColumn() {
  const QString LMarked = FHeader->MarkerColumn();
  const int LMarkedSection = FHeader->MarkerSection();
  const QString LDirection = LMarkedSection >= 0 ? FHeader->SectionTag(LMarkedSection) : QString();
  FFailureMarks = true;
  // The column goes in front of the names; the grid lays its columns out anew.
  SynchroFolderList(INT_MAX);
  CreateFolderSortMarker();
  if (!LMarked.isEmpty()) {
    for (int LSection = 0; LSection < FHeader->count(); ++LSection) {
      if (FHeader->SectionName(LSection) == LMarked) {
        // The marker keeps pointing the way the rows are ordered: a placement
        // flips the direction, the old one is put back.
        PlaceFolderSortMarker(LSection);
        FHeader->SetSectionTag(LSection, LDirection);
        break;
      }
    }
  }
}

void TFolderPage::CreateFolderSortMarker() {
  FHeader->RemoveSortMarker();
  if (FHeader->count() > 0)
    PlaceFolderSortMarker(0);
}

void TFolderPage::PlaceFolderSortMarker(int ASection) {
  FHeader->PlaceSortMarker(ASection);
}

void TFolderPage::OnsgFolderRenameHeaderMouseDown(int ASection, Qt::MouseButton) {
  const std::optional<TSortPress> LPress = SortPress(*FHeader, ASection, FModel->rowCount());
  if (!LPress)
    return;
  TFolderSortLess LLess;
  LLess.FDown = LPress->FDown;
  LLess.FKey = LPress->FColumn == QStringLiteral("scNewName")    ? TFolderSortKey::NewName
               : LPress->FColumn == QStringLiteral("scLocation") ? TFolderSortKey::Location
                                                                 : TFolderSortKey::OldName;
  FFolderList.Sort(LLess);
  // The counter values move with the new positions.
  if (FFolderList.GetIsCounterInNameMask())
    acRollbackFolder->SetTag(1);
  SynchroFolderList(RenumberFrom(0));
  sgDetailInfoFolderUpdate();
}

void TFolderPage::sgFolderRenameMouseMove(const QPoint &APos) {
  HintColumnMouseMove(*sgFolderRename, APos, FLastFolderHintCell,
                      [this](int ARow) -> std::optional<THintText> {
                        const int LPosition = FindFolderByGridRow(ARow);
                        if (LPosition < 0)
                          return std::nullopt;
                        const TFolderInfo &LItem = *FFolderList.Items(LPosition);
                        return RowHintText(LItem.OldName(), LItem.RenameErrorText(),
                                           FModel->PlanEntryAtRow(ARow), true);
                      });
}
