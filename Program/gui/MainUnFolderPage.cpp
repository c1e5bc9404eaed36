#include "MainUnFolderPage.h"

#include "FMX.BallonHint.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uFolderGridModel.h"
#include "uFolderInfo.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uNameEdits.h"
#include "uPageHost.h"
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
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A button of the list, as the file page makes its own: its action's picture
// and text at the window's push-button size.
QPushButton *MakeButton(const QString &AName, QWidget &AParent) {
  auto *LButton = new QPushButton(&AParent);
  LButton->setObjectName(AName);
  return LButton;
}

void SetActionImage(TAction &AAction, const QString &APicture) {
  QPixmap LPixmap;
  if (LoadBitmapFromResource(LPixmap, APicture))
    AAction.setIcon(QIcon(LPixmap));
}

} // namespace

TFolderPage::TFolderPage(TPageHost &AHost, TFolderList &AList, QWidget *AParent)
    : TRenamePage(AHost, AList, AParent), FFolderList(AList) {
  setObjectName(QStringLiteral("FolderPage"));
  CreateActions();
  auto *LLayout = new QVBoxLayout(this);
  LLayout->setContentsMargins(0, 0, 0, 0);
  CreateNameGroup(*this);
  CreateListGroup(*this);

  TParts LParts;
  LParts.FNamePart = FNameGroup;
  LParts.FListPart = FListGroup;
  LParts.FGrid = sgFolderRename;
  LParts.FModel = FModel;
  LParts.FCount = txtFolderCount;
  LParts.FRename = acRenameFolder;
  LParts.FRollback = acRollbackFolder;
  LParts.FClear = acClearFolder;
  LParts.FDelete = acDeleteFolder;
  LParts.FApply = acApplyAllFolder;
  LParts.FRenameButton = btnRenameFolder;
  LParts.FRollbackButton = btnRollbackFolder;
  LParts.FDeleteButton = btnDeleteFolder;
  LParts.FRenameShortcutName = QStringLiteral("scRenameFolder");
  LParts.FOnPaths = [this](const QStringList &APaths) {
    AddOutsideFolders(APaths);
  };
  SizeProbe = new TFolderSizeProbe(this);
  connect(SizeProbe, &TFolderSizeProbe::Measured, this,
          [this](const QString &AFolder, qint64 ASize) {
            // The worker owns the list while a step runs; its end shows the
            // details anew, which asks again.
            if (StepRunning())
              return;
            const int LPosition = Model().ItemAtRow(
                std::max(sgFolderRename->selectionModel()->selectedRows().value(0).row(), 0));
            if (LPosition < 0 || FFolderList.Items(LPosition)->FullFolderName() != AFolder)
              return;
            FFolderList.Items(LPosition)->SetSize(ASize);
            UpdateDetails();
          });
  LParts.FNameMask = edFolderMask;
  LParts.FCounterStart = sboxFolderCntStart;
  LParts.FCounterStep = sboxFolderCntStep;
  LParts.FCounterDigits = cboxFolderCntNumber;
  LParts.FSearch = edFolderSearch;
  LParts.FReplace = edFolderReplace;
  LParts.FCase = cbxFolderCase;
  LParts.FPresetsButton = btnFolderPresets;
  SetupWorkflow(LParts);
  CreateShortcuts();
}

TFolderPage::~TFolderPage() {
  delete SizeProbe;
}

void TFolderPage::CreateActions() {
  TActionList &LList = FHost.Actions();
  const auto LMake = [this, &LList](const QString &AName, const QString &AText,
                                    const QString &AImage) {
    auto *LAction = new TAction(AText, LList, this);
    LAction->setObjectName(AName);
    if (!AImage.isEmpty())
      SetActionImage(*LAction, AImage);
    return LAction;
  };
  acAddFolder = LMake(QStringLiteral("acAddFolder"), QStringLiteral("Add Folder"),
                      QStringLiteral("Button_Addfolder"));
  acAddFolder->SetOnExecute([this](TAction &) { acAddFolderExecute(); });
  EnableWhileIdle(*acAddFolder, *this);
  acClearFolder = LMake(QStringLiteral("acClearFolder"), QStringLiteral("Clear"),
                        QStringLiteral("Button_Clear"));
  acDeleteFolder = LMake(QStringLiteral("acDeleteFolder"), QStringLiteral("Delete"),
                         QStringLiteral("Button_Delete"));
  acApplyAllFolder = LMake(QStringLiteral("acApplyAllFolder"), QStringLiteral("Apply (Enter)"), {});
  const auto LToken = [this, &LMake](const QString &AName, const QString &AText,
                                     const QString &AToken) {
    TAction *LAction = LMake(AName, AText, {});
    LAction->SetOnExecute([this, AToken](TAction &) { InsertText2Edit(AToken, *edFolderMask); });
    return LAction;
  };
  acFolder_Name =
      LToken(QStringLiteral("acFolder_Name"), QStringLiteral("[N] Name"), QStringLiteral("[N]"));
  acFolder_Count = LToken(QStringLiteral("acFolder_Count"), QStringLiteral("[C] Counter"),
                          QStringLiteral("[C]"));
  acFolder_Date = LToken(QStringLiteral("acFolder_Date"), QStringLiteral("[YMD] Date"),
                         QStringLiteral("[YMD]"));
  acFolder_Time = LToken(QStringLiteral("acFolder_Time"), QStringLiteral("[hms] Time"),
                         QStringLiteral("[hms]"));
  acRenameFolder = LMake(QStringLiteral("acRenameFolder"), QStringLiteral("Rename"),
                         QStringLiteral("Button_Rename"));
  acRollbackFolder = LMake(QStringLiteral("acRollbackFolder"), QStringLiteral("Rollback"),
                           QStringLiteral("Button_Undo"));
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
    return MakeTokenButton(AName, AAction, TTokenLook::PushButton, *LMaskGroup);
  };
  btnFolder_Name = LToken(QStringLiteral("btnFolder_Name"), *acFolder_Name);
  btnFolder_Count = LToken(QStringLiteral("btnFolder_Count"), *acFolder_Count);
  btnFolder_Date = LToken(QStringLiteral("btnFolder_Date"), *acFolder_Date);
  btnFolder_Time = LToken(QStringLiteral("btnFolder_Time"), *acFolder_Time);
  Btn_MoreTokens = MakeMoreTokensButton(QStringLiteral("Btn_MoreTokens"), false,
                                        TTokenLook::PushButton, *edFolderMask, *LMaskGroup);
  // Laid out as the file page's mask: the field over two columns of tokens.
  auto *LMaskGrid = new QGridLayout(LMaskGroup);
  LMaskGrid->addWidget(edFolderMask, 0, 0, 1, 2);
  LMaskGrid->addWidget(btnFolder_Name, 1, 0);
  LMaskGrid->addWidget(btnFolder_Count, 1, 1);
  LMaskGrid->addWidget(btnFolder_Date, 2, 0);
  LMaskGrid->addWidget(btnFolder_Time, 2, 1);
  LMaskGrid->addWidget(Btn_MoreTokens, 3, 0);
  LMaskGrid->setRowStretch(4, 1);
  LRow->addWidget(LMaskGroup, 2);

  auto *LSearchGroup = new QGroupBox(QStringLiteral("Search && Replace"), LGroup);
  LSearchGroup->setObjectName(QStringLiteral("gbFolderSearch"));
  auto *LSearchLabel = new QLabel(QStringLiteral("Search for:"), LSearchGroup);
  edFolderSearch = new QLineEdit(LSearchGroup);
  edFolderSearch->setObjectName(QStringLiteral("edFolderSearch"));
  auto *LReplaceLabel = new QLabel(QStringLiteral("Replace whith:"), LSearchGroup);
  edFolderReplace = new QLineEdit(LSearchGroup);
  edFolderReplace->setObjectName(QStringLiteral("edFolderReplace"));
  FieldExits().Watch(*edFolderMask, [this] { edFolderMaskExit(); });
  FieldExits().Watch(*edFolderReplace, [this] { edFolderReplaceExit(); });
  // Leaving the search field applies nothing; Enter in it applies the search.
  FieldExits().Watch(
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
                          SearchExit();
                          FHost.UpdateActions();
                        });

  auto *LCaseGroup = new QGroupBox(QStringLiteral("Upper/Lowercase"), LGroup);
  LCaseGroup->setObjectName(QStringLiteral("gbFolderCase"));
  cbxFolderCase = new QComboBox(LCaseGroup);
  cbxFolderCase->setObjectName(QStringLiteral("cbxFolderCase"));
  cbxFolderCase->addItems({QStringLiteral("No change"), QStringLiteral("All in lower"),
                           QStringLiteral("All in UPPER"), QStringLiteral("First letter in Upper"),
                           QStringLiteral("Begining of Word in Upper")});
  cbxFolderCase->setCurrentIndex(0);
  connect(cbxFolderCase, &QComboBox::currentIndexChanged, this, [this] { CaseChanged(); });
  FHost.RegisterDropDown(*cbxFolderCase);
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
    connect(LBox, &QSpinBox::valueChanged, this, [this] { CounterChanged(); });
  }
  cboxFolderCntNumber = new QComboBox(LCounterGroup);
  cboxFolderCntNumber->setObjectName(QStringLiteral("cboxFolderCntNumber"));
  for (int LDigits = 1; LDigits <= 10; ++LDigits)
    cboxFolderCntNumber->addItem(QString::number(LDigits));
  cboxFolderCntNumber->setCurrentIndex(0);
  connect(cboxFolderCntNumber, &QComboBox::currentIndexChanged, this, [this] { CounterChanged(); });
  FHost.RegisterDropDown(*cboxFolderCntNumber);
  auto *LCounterLayout = new QGridLayout(LCounterGroup);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Start at:"), LCounterGroup), 0, 0);
  LCounterLayout->addWidget(sboxFolderCntStart, 0, 1);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Step by:"), LCounterGroup), 1, 0);
  LCounterLayout->addWidget(sboxFolderCntStep, 1, 1);
  LCounterLayout->addWidget(new QLabel(QStringLiteral("Digits"), LCounterGroup), 2, 0);
  LCounterLayout->addWidget(cboxFolderCntNumber, 2, 1);

  btnApplyAllFolder = new QPushButton(LCaseGroup);
  btnApplyAllFolder->setObjectName(QStringLiteral("btnApplyAllFolder"));
  btnApplyAllFolder->setMinimumHeight(36);
  acApplyAllFolder->BindButton(*btnApplyAllFolder);
  btnFolderPresets = new QPushButton(LCaseGroup);
  btnFolderPresets->setObjectName(QStringLiteral("btnFolderPresets"));
  btnFolderPresets->setMinimumHeight(36);
  auto *LApplyRow = new QHBoxLayout;
  LApplyRow->addWidget(btnApplyAllFolder, 1);
  LApplyRow->addWidget(btnFolderPresets);
  LCaseLayout->addLayout(LApplyRow);

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

  btnAddFolders = MakeButton(QStringLiteral("btnAddFolders"), *LGroup);
  btnClearFolder = MakeButton(QStringLiteral("btnClearFolder"), *LGroup);
  btnDeleteFolder = MakeButton(QStringLiteral("btnDeleteFolder"), *LGroup);
  btnRenameFolder = MakeButton(QStringLiteral("btnRenameFolder"), *LGroup);
  btnRollbackFolder = MakeButton(QStringLiteral("btnRollbackFolder"), *LGroup);
  acAddFolder->BindButton(*btnAddFolders);
  acClearFolder->BindButton(*btnClearFolder);
  acDeleteFolder->BindButton(*btnDeleteFolder);
  acRenameFolder->BindButton(*btnRenameFolder);
  acRollbackFolder->BindButton(*btnRollbackFolder);

  sgFolderRename = new QTableView(LGroup);
  sgFolderRename->setObjectName(QStringLiteral("sgFolderRename"));
  // A name or folder too long for its column keeps its start and its end,
  // whole in its tooltip.
  sgFolderRename->setTextElideMode(Qt::ElideMiddle);
  FModel = new TFolderGridModel(FFolderList, this);

  txtFolderCount = new QLabel(LGroup);
  txtFolderCount->setObjectName(QStringLiteral("txtFolderCount"));
  txtFolderCount->hide();

  auto *LDetailGroup = new QGroupBox(QStringLiteral("Detail information"), LGroup);
  LDetailGroup->setObjectName(QStringLiteral("gbDetailInfoFolder"));
  sgDetailInfoFolder = new QTableView(LDetailGroup);
  sgDetailInfoFolder->setObjectName(QStringLiteral("sgDetailInfoFolder"));
  sgDetailInfoFolder->setTextElideMode(Qt::ElideMiddle);
  FDetailModel = new TPropertyGridModel({QStringLiteral("Name"), QStringLiteral("Location"),
                                         QStringLiteral("Size"), QStringLiteral("Date")},
                                        QStringLiteral("Properties"), QStringLiteral("Value"),
                                        sgDetailInfoFolder);
  // Drawn and sized as the file page's detail grid.
  SetupPreviewGrid(*sgDetailInfoFolder);
  SetupDetailGrid(*sgDetailInfoFolder, *FDetailModel);
  sgDetailInfoFolder->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgDetailInfoFolder->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgDetailInfoFolder->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  auto *LDetailLayout = new QVBoxLayout(LDetailGroup);
  LDetailLayout->addWidget(sgDetailInfoFolder);
  LDetailGroup->setFixedWidth(320);

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
}

void TFolderPage::CreateShortcuts() {
  // Tab follows the upper half left to right (the counter group was made
  // after the groups right of it), then the list from top to bottom.
  QWidget *LPrevious = edFolderMask;
  for (QWidget *LNext : std::initializer_list<QWidget *>{
           sboxFolderCntStart, sboxFolderCntStep, cboxFolderCntNumber, edFolderSearch,
           edFolderReplace, cbxFolderCase, btnApplyAllFolder, btnFolderPresets, btnAddFolders,
           btnClearFolder, btnDeleteFolder, &SortByButton(), static_cast<QWidget *>(sgFolderRename),
           btnRenameFolder, btnRollbackFolder}) {
    setTabOrder(LPrevious, LNext);
    LPrevious = LNext;
  }
  AddActionShortcut(*acAddFolder, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                    Qt::WindowShortcut, *this);
  ShowShortcutInToolTip(*btnAddFolders, acAddFolder->text(), acAddFolder->shortcut());
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
  AddFolders({LFolder}, LIncludeRoot, LIncludeSub);
}

void TFolderPage::AddFolders(const QStringList &AFolders, bool AIncludeRoot, bool AIncludeSub) {
  TFolderList &LList = FFolderList;
  StartAdd(
      [&LList, AFolders, AIncludeRoot, AIncludeSub](TProgress &AProgress) {
        const TFolderAddOutcome LOutcome =
            LList.AddFolders(AFolders, AIncludeRoot, AIncludeSub, &AProgress);
        return TAdded{LOutcome.FFound, LOutcome.FNoFolder + LOutcome.FNotAdded, LOutcome.FStopped,
                      LOutcome.FUnreadable, LOutcome.FOwnFiles};
      },
      false);
}

void TFolderPage::AddOutsideFolders(const QStringList &APaths) {
  const QStringList LExisting = OutsidePaths(APaths, *acAddFolder, rs::TryingToAddFolder);
  if (LExisting.isEmpty())
    return;
  const TSettings &LSettings = GetSettings();
  const bool LIncludeSub = LSettings.IncludeSelectedSubFolder();
  // With neither option remembered the folder itself is added.
  const bool LIncludeRoot = LSettings.IncludeSelectedRootFolder() || !LIncludeSub;
  AddFolders(LExisting, LIncludeRoot, LIncludeSub);
}

void TFolderPage::ShowDetailsOf(int APosition) {
  if (APosition < 0) {
    ShowDetails(*sgDetailInfoFolder, *FDetailModel, std::nullopt);
    return;
  }
  TFolderInfo &LItem = *FFolderList.Items(APosition);
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

// ---- The fields ------------------------------------------------------------------

void TFolderPage::edFolderMaskExit() {
  MaskExit(masks::TMaskPart::Name, edFolderMask->text());
}

void TFolderPage::edFolderReplaceExit() {
  SearchExit();
}
