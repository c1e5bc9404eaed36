#include "MainUnFilePage.h"

#include "FMX.BallonHint.h"
#include "MainUn.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uFileGridModel.h"
#include "uGridSupport.h"
#include "uJournal.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uPageKit.h"
#include "uPropertyGridModel.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtil.h"
#include "uUtilGui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>
#include <vector>

namespace {

TOpenFilesHook &OpenFilesHook() {
  static TOpenFilesHook LHook;
  return LHook;
}

// Qt's own open-file dialog: several existing files, no filter, resizable.
std::optional<QStringList> ShowOpenFileDialog(QWidget *AOwner, const QString &ATitle,
                                              QString &ALastFolder) {
  if (const TOpenFilesHook &LHook = OpenFilesHook())
    return LHook(ATitle);
  QFileDialog LDialog(AOwner, ATitle, ALastFolder);
  LDialog.setOption(QFileDialog::DontUseNativeDialog, true);
  LDialog.setOption(QFileDialog::ReadOnly, false);
  LDialog.setFileMode(QFileDialog::ExistingFiles);
  LDialog.setAcceptMode(QFileDialog::AcceptOpen);
  LDialog.setSizeGripEnabled(true);
  if (LDialog.exec() != QDialog::Accepted)
    return std::nullopt;
  ALastFolder = LDialog.directory().absolutePath();
  return LDialog.selectedFiles();
}

// A date and time in the user's locale: the short date with a four-digit year
// (so that the zero date reads 1899) and the time with seconds.
QString DateTimeToStr(const QDateTime &ADateTime) {
  const QLocale LLocale = QLocale::system();
  QString LDateFormat = LLocale.dateFormat(QLocale::ShortFormat);
  if (!LDateFormat.contains(QStringLiteral("yyyy")))
    LDateFormat.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  // The long time format (it has the seconds) without the time zone, the
  // unquoted "t" of the format.
  const QString LLongTime = LLocale.timeFormat(QLocale::LongFormat);
  QString LTimeFormat;
  bool LQuoted = false;
  for (const QChar LChar : LLongTime) {
    if (LChar == QLatin1Char('\''))
      LQuoted = !LQuoted;
    if (LQuoted || LChar != QLatin1Char('t'))
      LTimeFormat.append(LChar);
  }
  LTimeFormat = LTimeFormat.trimmed();
  return LLocale.toString(ADateTime.date(), LDateFormat) + QLatin1Char(' ') +
         LLocale.toString(ADateTime.time(), LTimeFormat);
}

QPushButton *MakeButton(const QString &AName, QWidget *AParent) {
  auto *LButton = new QPushButton(AParent);
  LButton->setObjectName(AName);
  return LButton;
}

QLineEdit *MakeEdit(const QString &AName, const QString &AText, QWidget *AParent) {
  auto *LEdit = new QLineEdit(AText, AParent);
  LEdit->setObjectName(AName);
  return LEdit;
}

QSpinBox *MakeSpinBox(const QString &AName, QWidget *AParent) {
  auto *LBox = new QSpinBox(AParent);
  LBox->setObjectName(AName);
  LBox->setRange(0, 100);
  LBox->setValue(1);
  return LBox;
}

const QString CounterToken = QStringLiteral("[C]");

} // namespace

TOpenFilesHook SetOpenFilesHook(TOpenFilesHook AHook) {
  return std::exchange(OpenFilesHook(), std::move(AHook));
}

// ---------------------------------------------------------------------------
// Construction

TFilePage::TFilePage(TfmMain &AMain, QWidget *AParent) : QWidget(AParent), FMain(AMain) {
  setObjectName(QStringLiteral("FilePage"));
  CreateActions();
  auto *LLayout = new QVBoxLayout(this);
  LLayout->setContentsMargins(0, 0, 0, 0);
  LLayout->setSpacing(6);

  auto *LNamePart = new QGroupBox(QStringLiteral("Name and extension"), this);
  LNamePart->setObjectName(QStringLiteral("gbNameAndExt"));
  CreateNamePart(*LNamePart);
  LLayout->addWidget(LNamePart);

  auto *LListPart = new QGroupBox(QStringLiteral("File List"), this);
  LListPart->setObjectName(QStringLiteral("gbFileList"));
  CreateListPart(*LListPart);
  LLayout->addWidget(LListPart, 1);
  FNamePart = LNamePart;
  FListPart = LListPart;

  StepWorker = new TStepWorker(this);
  StepProgress = new TStepProgress(*StepWorker, this);
  LLayout->addWidget(StepProgress);

  // The marker starts on the first header, so the first press on "Old Name"
  // sorts descending.
  CreateFileSortMarker();
  SynchroFileList(0);
  sgDetailInfoUpdate();
}

TFilePage::~TFilePage() {
  // The balloon may still point at the grid.
  HideBalloonHint();
  // A step still running stops before the list it works on goes.
  delete StepWorker;
}

TFileList &TFilePage::FileList() const {
  return *FMain.FFileList;
}

void TFilePage::CreateNamePart(QWidget &AParent) {
  auto *LRow = new QHBoxLayout(&AParent);
  LRow->setContentsMargins(8, 4, 8, 8);
  LRow->setSpacing(8);
  const auto LToken = [](const QString &AName, TAction &AAction, QWidget &AGroup) {
    return MakeTokenButton(AName, AAction, TTokenLook::PushButton, AGroup);
  };

  auto *LMaskBox = new QGroupBox(QStringLiteral("Rename mask: file name "), &AParent);
  LMaskBox->setObjectName(QStringLiteral("gbRenameMask"));
  Edit_RenameMask = MakeEdit(QStringLiteral("Edit_RenameMask"), QStringLiteral("[N]"), LMaskBox);
  Btn_NName = LToken(QStringLiteral("Btn_NName"), *acNName, *LMaskBox);
  Btn_CCounter = LToken(QStringLiteral("Btn_CCounter"), *acCCounter, *LMaskBox);
  Btn_YMDDate = LToken(QStringLiteral("Btn_YMDDate"), *acYMDDate, *LMaskBox);
  Btn_hmsTime = LToken(QStringLiteral("Btn_hmsTime"), *achmsTime, *LMaskBox);
  Btn_MoreTokens = MakeMoreTokensButton(QStringLiteral("Btn_MoreTokens"), true,
                                        TTokenLook::PushButton, *Edit_RenameMask, *LMaskBox);
  auto *LMaskGrid = new QGridLayout(LMaskBox);
  LMaskGrid->addWidget(Edit_RenameMask, 0, 0, 1, 2);
  LMaskGrid->addWidget(Btn_NName, 1, 0);
  LMaskGrid->addWidget(Btn_CCounter, 1, 1);
  LMaskGrid->addWidget(Btn_YMDDate, 2, 0);
  LMaskGrid->addWidget(Btn_hmsTime, 2, 1);
  LMaskGrid->addWidget(Btn_MoreTokens, 3, 0);
  LMaskGrid->setRowStretch(4, 1);
  LRow->addWidget(LMaskBox);

  auto *LExtBox = new QGroupBox(QStringLiteral("Extension "), &AParent);
  LExtBox->setObjectName(QStringLiteral("gbExtension"));
  Edit_ExtMask = MakeEdit(QStringLiteral("Edit_ExtMask"), QStringLiteral("[E]"), LExtBox);
  btn_EExt = LToken(QStringLiteral("btn_EExt"), *acEExt, *LExtBox);
  btn_CCounterExt = LToken(QStringLiteral("btn_CCounterExt"), *acCCounterExt, *LExtBox);
  auto *LExtColumn = new QVBoxLayout(LExtBox);
  LExtColumn->addWidget(Edit_ExtMask);
  LExtColumn->addWidget(btn_EExt);
  LExtColumn->addWidget(btn_CCounterExt);
  LExtColumn->addStretch(1);
  LRow->addWidget(LExtBox);

  auto *LCounterBox = new QGroupBox(QStringLiteral("Define counter [C] "), &AParent);
  LCounterBox->setObjectName(QStringLiteral("gbCounter"));
  SBox_CounterStart = MakeSpinBox(QStringLiteral("SBox_CounterStart"), LCounterBox);
  SBox_CounterStep = MakeSpinBox(QStringLiteral("SBox_CounterStep"), LCounterBox);
  CBox_CounterNumber = new QComboBox(LCounterBox);
  CBox_CounterNumber->setObjectName(QStringLiteral("CBox_CounterNumber"));
  for (int LDigits = 1; LDigits <= 10; ++LDigits)
    CBox_CounterNumber->addItem(QString::number(LDigits));
  CBox_CounterNumber->setCurrentIndex(0);
  auto *LCounterForm = new QFormLayout(LCounterBox);
  LCounterForm->addRow(QStringLiteral("Start at:"), SBox_CounterStart);
  LCounterForm->addRow(QStringLiteral("Step by:"), SBox_CounterStep);
  LCounterForm->addRow(QStringLiteral("Digits"), CBox_CounterNumber);
  LRow->addWidget(LCounterBox);

  // "&&" shows one "&".
  auto *LSearchBox = new QGroupBox(QStringLiteral("Search && Replace"), &AParent);
  LSearchBox->setObjectName(QStringLiteral("gbSearchReplace"));
  Edit_Search = MakeEdit(QStringLiteral("Edit_Search"), QString(), LSearchBox);
  Edit_Replace = MakeEdit(QStringLiteral("Edit_Replace"), QString(), LSearchBox);
  auto *LSearchColumn = new QVBoxLayout(LSearchBox);
  LSearchColumn->addWidget(new QLabel(QStringLiteral("Search for:"), LSearchBox));
  LSearchColumn->addWidget(Edit_Search);
  LSearchColumn->addWidget(new QLabel(QStringLiteral("Replace whith:"), LSearchBox));
  LSearchColumn->addWidget(Edit_Replace);
  SearchOptions =
      MakeSearchOptions(*LSearchBox, *LSearchColumn, QStringLiteral("File"),
                        GetSettings().FileRegexSearch(), GetSettings().FileMatchCase(), [this] {
                          GetSettings().SetFileRegexSearch(SearchOptions.FRegex->isChecked());
                          GetSettings().SetFileMatchCase(SearchOptions.FMatchCase->isChecked());
                          Edit_ReplaceExit();
                          FMain.UpdateActions();
                        });
  LSearchColumn->addStretch(1);
  LRow->addWidget(LSearchBox, 1);

  auto *LCaseBox = new QGroupBox(QStringLiteral("Upper/Lowercase"), &AParent);
  LCaseBox->setObjectName(QStringLiteral("gbCase"));
  CBox_Case = new QComboBox(LCaseBox);
  CBox_Case->setObjectName(QStringLiteral("CBox_Case"));
  CBox_Case->addItems({QStringLiteral("No change"), QStringLiteral("All in lower"),
                       QStringLiteral("All in UPPER"), QStringLiteral("First letter in Upper"),
                       QStringLiteral("Begining of Word in Upper")});
  CBox_Case->setCurrentIndex(0);
  btn_ApplyName = MakeButton(QStringLiteral("btn_ApplyName"), LCaseBox);
  btn_ApplyName->setMinimumHeight(36);
  acApplyAll->BindButton(*btn_ApplyName);
  auto *LCaseColumn = new QVBoxLayout(LCaseBox);
  LCaseColumn->addWidget(CBox_Case);
  LCaseColumn->addStretch(1);
  LCaseColumn->addWidget(btn_ApplyName);
  LRow->addWidget(LCaseBox);

  const auto LInsert = [](const QString &AToken, QLineEdit *AEdit) {
    return [AToken, AEdit](TAction &) {
      InsertText2Edit(AToken, *AEdit);
    };
  };
  acNName->SetOnExecute(LInsert(QStringLiteral("[N]"), Edit_RenameMask));
  acCCounter->SetOnExecute(LInsert(CounterToken, Edit_RenameMask));
  acYMDDate->SetOnExecute(LInsert(QStringLiteral("[YMD]"), Edit_RenameMask));
  achmsTime->SetOnExecute(LInsert(QStringLiteral("[hms]"), Edit_RenameMask));
  acEExt->SetOnExecute(LInsert(QStringLiteral("[E]"), Edit_ExtMask));
  acCCounterExt->SetOnExecute(LInsert(CounterToken, Edit_ExtMask));

  FMain.RegisterDropDown(*CBox_Case);
  FMain.RegisterDropDown(*CBox_CounterNumber);

  FFieldExits = std::make_unique<TFieldExits>([this] { FMain.UpdateActions(); });
  FFieldExits->Watch(*Edit_RenameMask, [this] { Edit_RenameMaskExit(); });
  FFieldExits->Watch(*Edit_ExtMask, [this] { Edit_ExtMaskExit(); });
  FFieldExits->Watch(*Edit_Replace, [this] { Edit_ReplaceExit(); });
  // Leaving the search field applies nothing; Enter in it applies the search.
  FFieldExits->Watch(
      *Edit_Search, [this] { Edit_ReplaceExit(); }, TFieldExits::TExitOn::EnterOnly);
  const auto LCounterChange = [this] {
    if (FileList().Count() > 0)
      SynchroFileCounter();
    FMain.UpdateActions();
  };
  connect(SBox_CounterStart, &QSpinBox::valueChanged, this, LCounterChange);
  connect(SBox_CounterStep, &QSpinBox::valueChanged, this, LCounterChange);
  connect(CBox_CounterNumber, &QComboBox::currentIndexChanged, this, LCounterChange);
  connect(CBox_Case, &QComboBox::currentIndexChanged, this, [this] {
    CBox_CaseChange();
    FMain.UpdateActions();
  });
}

void TFilePage::CreateListPart(QWidget &AParent) {
  auto *LRow = new QHBoxLayout(&AParent);
  LRow->setContentsMargins(8, 4, 8, 8);
  LRow->setSpacing(8);

  auto *LLeft = new QVBoxLayout;
  LLeft->setSpacing(6);
  auto *LButtons = new QHBoxLayout;
  btnAddFile = MakeButton(QStringLiteral("btnAddFile"), &AParent);
  btnAddFoldersFiles = MakeButton(QStringLiteral("btnAddFoldersFiles"), &AParent);
  btnClear = MakeButton(QStringLiteral("btnClear"), &AParent);
  Button_Delete = MakeButton(QStringLiteral("Button_Delete"), &AParent);
  acAddFile->BindButton(*btnAddFile);
  acAddFoldersFiles->BindButton(*btnAddFoldersFiles);
  acClearFile->BindButton(*btnClear);
  acDeleteFile->BindButton(*Button_Delete);
  for (QPushButton *LButton : {btnAddFile, btnAddFoldersFiles, btnClear, Button_Delete})
    LButtons->addWidget(LButton);
  LButtons->addStretch(1);
  LLeft->addLayout(LButtons);

  StringGrid_Rename = new QTableView(&AParent);
  StringGrid_Rename->setObjectName(QStringLiteral("StringGrid_Rename"));
  StringGrid_RenameHeader = InstallSortHeader(*StringGrid_Rename, FMain);
  GridModel = new TFileGridModel(FileList(), StringGrid_Rename);
  StringGrid_Rename->setModel(GridModel);
  SetupPreviewGrid(*StringGrid_Rename);
  EnableRowMultiSelection(*StringGrid_Rename);
  StringGrid_Rename->horizontalHeader()->setStretchLastSection(true);
  FDropTarget =
      std::make_unique<TPathDropTarget>(*StringGrid_Rename, [this](const QStringList &APaths) {
        AddOutsidePaths(APaths);
        FMain.UpdateActions();
      });
  StringGrid_Rename->setColumnWidth(TFileGridModel::dcOldName, 150);
  StringGrid_Rename->setColumnWidth(TFileGridModel::dcNewName, 230);
  // "Location", the last column, fills the rest of the grid from its minimum
  // width on (a stretched column never narrows below the width it was given).
  StringGrid_Rename->setColumnWidth(TFileGridModel::dcLocation, 100);
  FGridMouse = std::make_unique<TGridMouseWatch>(
      *StringGrid_Rename, [this](const QPoint &APos) { StringGrid_RenameMouseMove(APos); });
  connect(StringGrid_RenameHeader, &TSortHeaderView::SectionMouseDown, this,
          [this](int ASection, Qt::MouseButton AButton) {
            OnStringGridRenameHeaderMouseDown(ASection, AButton);
            FMain.UpdateActions();
          });
  connect(StringGrid_Rename->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { sgDetailInfoUpdate(); });
  LLeft->addWidget(StringGrid_Rename, 1);

  auto *LBottom = new QHBoxLayout;
  txtFileCount = new QLabel(&AParent);
  txtFileCount->setObjectName(QStringLiteral("txtFileCount"));
  Button_Rename = MakeButton(QStringLiteral("Button_Rename"), &AParent);
  Button_Undo = MakeButton(QStringLiteral("Button_Undo"), &AParent);
  acRename->BindButton(*Button_Rename);
  acRollback->BindButton(*Button_Undo);
  LBottom->addWidget(txtFileCount);
  LBottom->addStretch(1);
  LBottom->addWidget(Button_Rename);
  LBottom->addWidget(Button_Undo);
  LLeft->addLayout(LBottom);
  LRow->addLayout(LLeft, 1);

  gbDetailInfo = new QGroupBox(QStringLiteral("Detail information"), &AParent);
  gbDetailInfo->setObjectName(QStringLiteral("gbDetailInfo"));
  sgDetailInfo = new QTableView(gbDetailInfo);
  sgDetailInfo->setObjectName(QStringLiteral("sgDetailInfo"));
  DetailModel = new TPropertyGridModel(
      {QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Type"),
       QStringLiteral("Size"), QStringLiteral("Date"), QStringLiteral("Attributes")},
      QStringLiteral("Properties"), QStringLiteral("Value"), sgDetailInfo);
  // The cells are painted as the preview grid's, without scroll bars.
  SetupPreviewGrid(*sgDetailInfo);
  SetupDetailGrid(*sgDetailInfo, *DetailModel);
  sgDetailInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgDetailInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto *LDetailLayout = new QVBoxLayout(gbDetailInfo);
  LDetailLayout->addWidget(sgDetailInfo);
  gbDetailInfo->setFixedWidth(320);
  LRow->addWidget(gbDetailInfo);
  CreateShortcuts();
}

void TFilePage::CreateShortcuts() {
  // Delete and Ctrl+Z act on the list only while the grid has the focus: in a
  // text field they stay the field's own keys (Ctrl+A is the grid's own).
  AddActionShortcut(*acAddFile, QKeySequence(Qt::CTRL | Qt::Key_O), Qt::WindowShortcut, *this);
  AddActionShortcut(*acAddFoldersFiles, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                    Qt::WindowShortcut, *this);
  AddActionShortcut(*acDeleteFile, QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut,
                    *StringGrid_Rename);
  AddActionShortcut(*acRollback, QKeySequence(Qt::CTRL | Qt::Key_Z), Qt::WidgetShortcut,
                    *StringGrid_Rename);
  auto *LRename = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
  LRename->setObjectName(QStringLiteral("scRename"));
  LRename->setContext(Qt::WindowShortcut);
  connect(LRename, &QShortcut::activated, this, [this] { RenameByKey(); });
  auto *LRenameEnter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
  LRenameEnter->setContext(Qt::WindowShortcut);
  connect(LRenameEnter, &QShortcut::activated, this, [this] { RenameByKey(); });
  ShowShortcutInToolTip(*btnAddFile, acAddFile->text(), acAddFile->shortcut());
  ShowShortcutInToolTip(*btnAddFoldersFiles, acAddFoldersFiles->text(),
                        acAddFoldersFiles->shortcut());
  ShowShortcutInToolTip(*Button_Delete, QStringLiteral("Delete the selected rows from the list"),
                        acDeleteFile->shortcut());
  ShowShortcutInToolTip(*Button_Rename, acRename->text(), LRename->key());
  ShowShortcutInToolTip(*Button_Undo, acRollback->text(), acRollback->shortcut());
  StringGrid_Rename->setToolTip(QString());
}

void TFilePage::RenameByKey() {
  FFieldExits->ExitFocused();
  FMain.UpdateActions();
  acRename->trigger();
}

void TFilePage::CreateActions() {
  TActionList &LList = FMain.Actions();
  const auto LMake = [this, &LList](const QString &AName, const QString &AText,
                                    const QString &AImage) {
    auto *LAction = new TAction(AText, LList, this);
    LAction->setObjectName(AName);
    QPixmap LPixmap;
    if (!AImage.isEmpty() && LoadBitmapFromResource(LPixmap, AImage))
      LAction->setIcon(QIcon(LPixmap));
    return LAction;
  };
  acAddFile = LMake(QStringLiteral("acAddFile"), QStringLiteral("Add File"),
                    QStringLiteral("Button_Addfile"));
  acAddFoldersFiles = LMake(QStringLiteral("acAddFoldersFiles"), QStringLiteral("Add Folders"),
                            QStringLiteral("Button_Addfolder"));
  acClearFile =
      LMake(QStringLiteral("acClearFile"), QStringLiteral("Clear"), QStringLiteral("Button_Clear"));
  acDeleteFile = LMake(QStringLiteral("acDeleteFile"), QStringLiteral("Delete"),
                       QStringLiteral("Button_Delete"));
  acApplyAll = LMake(QStringLiteral("acApplyAll"), QStringLiteral("Apply (Enter)"), {});
  acNName = LMake(QStringLiteral("acNName"), QStringLiteral("[N] Name"), {});
  acCCounter = LMake(QStringLiteral("acCCounter"), QStringLiteral("[C] Counter"), {});
  acYMDDate = LMake(QStringLiteral("acYMDDate"), QStringLiteral("[YMD] Date"), {});
  achmsTime = LMake(QStringLiteral("achmsTime"), QStringLiteral("[hms] Time"), {});
  acEExt = LMake(QStringLiteral("acEExt"), QStringLiteral("[E] Ext."), {});
  acCCounterExt = LMake(QStringLiteral("acCCounterExt"), QStringLiteral("[C] Counter"), {});
  acRename =
      LMake(QStringLiteral("acRename"), QStringLiteral("Rename"), QStringLiteral("Button_Rename"));
  acRollback = LMake(QStringLiteral("acRollback"), QStringLiteral("Rollback"),
                     QStringLiteral("Button_Undo"));

  // While a step runs, every action that changes the list is disabled, and
  // none reads the list's items.
  const auto LIdle = [this](TAction &ASender) {
    ASender.setEnabled(!StepRunning());
  };
  acAddFile->SetOnExecute([this](TAction &) { acAddFileExecute(); });
  acAddFile->SetOnUpdate(LIdle);
  acAddFoldersFiles->SetOnExecute([this](TAction &) { acAddFoldersFilesExecute(); });
  acAddFoldersFiles->SetOnUpdate(LIdle);
  acClearFile->SetOnExecute([this](TAction &) { acClearFileExecute(); });
  acClearFile->SetOnUpdate([this](TAction &ASender) {
    ASender.setEnabled(!StepRunning() && GridModel->rowCount() > 0);
  });
  acDeleteFile->SetOnExecute([this](TAction &) { acDeleteFileExecute(); });
  acDeleteFile->SetOnUpdate([this](TAction &ASender) {
    ASender.setEnabled(!StepRunning() && FileList().Count() > 0 && acRename->Tag() == 0);
  });
  acApplyAll->SetOnExecute([this](TAction &) { acApplyAllExecute(); });
  acApplyAll->SetOnUpdate(LIdle);

  acRename->SetOnExecute([this](TAction &) { FMain.RunDeferred([this] { DoRenameFiles(); }); });
  acRename->SetOnUpdate([this](TAction &ASender) {
    // Conflict marks leave Rename enabled; failure marks do not.
    // An invalid pattern waits to be mended.
    ASender.setEnabled(!StepRunning() && GridModel->rowCount() > 0 && !FFailureMarks &&
                       FSearchValid);
  });
  acRollback->SetOnExecute([this](TAction &) { FMain.RunDeferred([this] { DoRollbackFiles(); }); });
  acRollback->SetOnUpdate([this](TAction &ASender) {
    // With no renamed file in the list (after a Clear that followed a
    // Rename, say) there is nothing to move back: a Rollback would only
    // report "Rollback done.".
    if (StepRunning() || ASender.Tag() == 1 || !HasRenamedFiles())
      ASender.setEnabled(false);
    else if (ASender.Tag() == 0)
      ASender.setEnabled(true);
  });
  // Rollback starts disabled.
  acRollback->setEnabled(false);
}

// ---------------------------------------------------------------------------
// Collecting

void TFilePage::StartNewListAfterRenaming() {
  if (acRename->Tag() != 1)
    return;
  RemoveFileHintColumn();
  FileList().Clear();
  acRename->SetTag(0);
  acRollback->SetTag(1);
}

void TFilePage::StartAdd(std::vector<TAddSource> ASources, bool ALogAdded) {
  if (StepRunning())
    return;
  if (acRename->Tag() == 1) {
    StartNewListAfterRenaming();
    // The grid lets go of the rows of the list just cleared before it holds
    // what it shows during the step.
    SynchroFileList(0);
  }
  TFileList &LList = FileList();
  const int LPosition = LList.Count();
  const TNameRecipe LRecipe = Recipe();
  auto LOutcome = std::make_shared<TAddOutcome>();
  auto LFirstChanged = std::make_shared<int>(LPosition);
  BeginStep();
  StepWorker->Start(
      [&LList, LSources = std::move(ASources), LRecipe, LPosition, LOutcome,
       LFirstChanged](TProgress &AProgress) {
        *LOutcome = LList.AddFiles(LSources, &AProgress);
        if (LOutcome->FStopped)
          return;
        // The new files' names, then what a Rename would do: their folders
        // may have changed since they were read.
        *LFirstChanged = LList.ApplyRecipe(LRecipe, LPosition);
        LList.RefreshPlanner();
        (void)LList.PlanRenaming();
      },
      [this, LOutcome, LPosition, LFirstChanged, ALogAdded] {
        AddEnded(*LOutcome, LPosition, *LFirstChanged, ALogAdded);
      });
  FMain.UpdateActions();
}

void TFilePage::AddEnded(const TAddOutcome &AOutcome, int APosition, int AFirstChanged,
                         bool ALogAdded) {
  EndStep();
  if (AOutcome.FStopped) {
    SynchroFileList(APosition);
    ReportAddCancelled(AOutcome.FFound);
  } else {
    if (ALogAdded) {
      const int LAdded = FileList().Count() - APosition;
      GetLogger().WriteLogFmt(rs::ForCount(LAdded, rs::FileWasAdded, rs::FilesWereAdded), {LAdded});
    }
    SynchroFileList(AFirstChanged, TListings::Planned);
    ReportNotAdded(AOutcome.FNotAdded);
  }
  sgDetailInfoUpdate();
  FMain.UpdateActions();
}

void TFilePage::acAddFileExecute() {
  GetLogger().WriteLog(rs::TryingToAddFiles);
  const std::optional<QStringList> LChosen =
      ShowOpenFileDialog(&FMain, QStringLiteral("Select file(s)"), FLastOpenFolder);
  if (!LChosen)
    return;
  std::vector<TAddSource> LSources;
  LSources.reserve(static_cast<size_t>(LChosen->size()));
  for (const QString &LPath : *LChosen)
    LSources.push_back({LPath, false});
  StartAdd(std::move(LSources), true);
}

void TFilePage::acAddFoldersFilesExecute() {
  GetLogger().WriteLog(rs::TryingToAddFolder);
  QString LFolder = GetSettings().LastOpenedFolder();
  if (!BrowseFolder(QStringLiteral("Select folder"), LFolder, &FMain, false))
    return;
  if (!ResolveChosenPath(LFolder)) {
    ReportNotAdded(1);
    return;
  }
  GetSettings().SetLastOpenedFolder(LFolder);
  StartAdd({{LFolder, true}}, false);
}

void TFilePage::AddOutsidePaths(const QStringList &APaths) {
  if (APaths.isEmpty() || !acAddFile->isEnabled() || StepRunning())
    return;
  GetLogger().WriteLog(rs::TryingToAddFiles);
  QStringList LFound;
  QStringList LMissing;
  SplitMissingPaths(APaths, LFound, LMissing);
  ReportNotFound(LMissing);
  if (LFound.isEmpty())
    return;
  // A folder stands for the files below it, as Add Folders collects them.
  std::vector<TAddSource> LSources;
  for (const QString &LPath : LFound)
    LSources.push_back({LPath, PathKindOf(LPath) == TPathKind::Folder});
  StartAdd(std::move(LSources), true);
}

void TFilePage::acClearFileExecute() {
  GetLogger().WriteLog(rs::ClearList);
  FileList().Clear();
  SynchroFileList(0);
  sgDetailInfoUpdate();
}

void TFilePage::acDeleteFileExecute() {
  // Without a selected row nothing is deleted.
  std::vector<int> LIndexes;
  for (const int LRow : SelectedGridRows(*StringGrid_Rename)) {
    const int LIndex = FindFileByGridRow(LRow);
    if (LIndex >= 0)
      LIndexes.push_back(LIndex);
  }
  if (LIndexes.empty())
    return;
  std::sort(LIndexes.begin(), LIndexes.end());
  LIndexes.erase(std::unique(LIndexes.begin(), LIndexes.end()), LIndexes.end());
  const int LFirstRow = SelectedGridRows(*StringGrid_Rename).first();
  {
    const TUpdatesSuspended LSuspended(*StringGrid_Rename);
    TFileList &LList = FileList();
    for (const int LIndex : LIndexes)
      GetLogger().WriteLogFmt(rs::DeleteFileFromList, {LList[LIndex].OldName()});
    // From the last one, so that the positions still to delete stay put.
    for (auto LIndex = LIndexes.rbegin(); LIndex != LIndexes.rend(); ++LIndex)
      LList.Delete(*LIndex);
    SynchroFileList(RenumberFrom(LIndexes.front()));
  }
  // The row where the first deleted one was stays selected, for the next
  // Delete.
  StringGrid_Rename->clearSelection();
  if (GridModel->rowCount() > 0)
    StringGrid_Rename->selectRow(std::min(LFirstRow, GridModel->rowCount() - 1));
  if (StringGrid_Rename->focusPolicy() != Qt::NoFocus && StringGrid_Rename->isVisible())
    StringGrid_Rename->setFocus();
  sgDetailInfoUpdate();
}

int TFilePage::RenumberFrom(int APosition) {
  TFileList &LList = FileList();
  // Without a counter the other files' new names do not depend on their
  // positions.
  if (LList.GetIsCounterInNameMask() || LList.GetisCounterInExtMask())
    return LList.ApplyRecipe(Recipe(), APosition);
  LList.ReindexFileInfo(APosition);
  return APosition;
}

void TFilePage::SynchroFileList(int APosition, TListings AListings) {
  const bool LRenamedDisplay = FFailureMarks || HasRenamedFiles();
  UpdatePlanMarks(LRenamedDisplay, AListings);
  GridModel->Synchro(APosition, LRenamedDisplay);
  UpdateCountText();
}

void TFilePage::UpdatePlanMarks(bool ARenamedDisplay, TListings AListings) {
  if (ARenamedDisplay) {
    GridModel->ClearPlan();
    ShowFileHintColumn(FFailureMarks);
    return;
  }
  TFileList &LList = FileList();
  if (AListings == TListings::ReadAnew)
    LList.RefreshPlanner();
  GridModel->SetPlan(AListings == TListings::Planned ? LList.LastPlan() : LList.PlanRenaming());
  // A balloon open over a mark may no longer say what the mark means.
  ForgetHintBalloon(FLastHintCell);
  ShowFileHintColumn(GridModel->PlanConflicts() > 0 || LList.HasMetadataNotes());
}

void TFilePage::UpdateCountText() {
  const int LConflicts = GridModel->RenamedDisplay() ? 0 : GridModel->PlanConflicts();
  ShowCountText(GridModel->rowCount(), *txtFileCount, false, LConflicts);
}

bool TFilePage::HasRenamedFiles() {
  if (FMayHaveRenamedFiles)
    FMayHaveRenamedFiles = FileList().HasRenamedFiles();
  return FMayHaveRenamedFiles;
}

void TFilePage::SynchroFileNames(TListings AListings) {
  UpdatePlanMarks(GridModel->RenamedDisplay(), AListings);
  GridModel->SynchroNames();
  UpdateCountText();
}

int TFilePage::FindFileByGridRow(int ARow) const {
  return GridModel->FindFileByGridRow(ARow);
}

int TFilePage::SelectedRow() const {
  const QModelIndexList LRows = StringGrid_Rename->selectionModel()->selectedRows();
  return LRows.isEmpty() ? -1 : LRows.first().row();
}

void TFilePage::sgDetailInfoUpdate() {
  // Without a selected row the detail view shows the first row's file.
  const int LRow = SelectedRow();
  const int LIndex = GridModel->rowCount() == 0 ? -1 : FindFileByGridRow(LRow < 0 ? 0 : LRow);
  if (LIndex < 0) {
    ShowDetails(*sgDetailInfo, *DetailModel, std::nullopt);
    return;
  }
  const TFileInfo &LFile = FileList()[LIndex];
  ShowDetails(*sgDetailInfo, *DetailModel,
              QStringList{LFile.OldName(), LFile.Location(), LFile.FileType(),
                          QString::number(LFile.Size()) + QStringLiteral(" byte"),
                          DateTimeToStr(LFile.Date()), LFile.Attributes()});
}

// ---------------------------------------------------------------------------
// Masks, counter, search and replace, case

TNameRecipe TFilePage::Recipe() const {
  TNameRecipe LRecipe;
  LRecipe.FNameMask = Edit_RenameMask->text();
  LRecipe.FExtMask = Edit_ExtMask->text();
  LRecipe.FCounterStart = SBox_CounterStart->value();
  LRecipe.FCounterStep = SBox_CounterStep->value();
  LRecipe.FCounterDigits = CBox_CounterNumber->currentText().toInt();
  LRecipe.FSearch = Edit_Search->text();
  LRecipe.FReplace = Edit_Replace->text();
  LRecipe.FRegex = SearchOptions.FRegex->isChecked();
  LRecipe.FMatchCase = SearchOptions.FMatchCase->isChecked();
  LRecipe.FCase = CaseRuleFromIndex(CBox_Case->currentIndex());
  return LRecipe;
}

// A mask applied on its own rebuilds the names without search and replace
// and without the case rule.
void TFilePage::Edit_RenameMaskExit() {
  if (StepRunning() || Edit_RenameMask->text() == FileList().FileNameMask())
    return;
  TNameRecipe LMaskOnly;
  LMaskOnly.FNameMask = Edit_RenameMask->text();
  ReadMetadataThen(LMaskOnly, [this, LMask = LMaskOnly.FNameMask] {
    acRollback->SetTag(1);
    FileList().SetFileNameMask(LMask, 0);
    SynchroFileNames();
  });
}

void TFilePage::ReadMetadataThen(const TNameRecipe &ARecipe, std::function<void()> AApply) {
  if (StepRunning())
    return;
  TFileList &LList = FileList();
  if (!LList.NeedsMetadataRead(ARecipe)) {
    AApply();
    return;
  }
  // The files are read on the worker; the names change only once all are
  // read, so Cancel leaves the old ones. The step starts before the focus
  // leaves the fields, so that their exits see it running and wait.
  auto LRead = std::make_shared<bool>(false);
  StepWorker->Start([&LList, ARecipe, LRead](
                        TProgress &AProgress) { *LRead = LList.ReadMetadata(ARecipe, &AProgress); },
                    [this, LRead, AApply = std::move(AApply)] {
                      EndStep();
                      if (*LRead)
                        AApply();
                      FMain.UpdateActions();
                    });
  BeginStep();
  FMain.UpdateActions();
}

void TFilePage::Edit_ExtMaskExit() {
  if (StepRunning() || Edit_ExtMask->text() == FileList().FileExtMask())
    return;
  acRollback->SetTag(1);
  FileList().SetFileExtMask(Edit_ExtMask->text(), 0);
  SynchroFileNames();
}

void TFilePage::Edit_ReplaceExit() {
  FSearchValid = ShowSearchError(SearchOptions, Recipe());
  if (FileList().Count() == 0)
    return;
  acRollback->SetTag(1);
  RecomputeNewNames();
}

void TFilePage::RecomputeNewNames(TListings AListings) {
  const TNameRecipe LRecipe = Recipe();
  ReadMetadataThen(LRecipe, [this, LRecipe, AListings] {
    FileList().ApplyRecipe(LRecipe, 0);
    SynchroFileNames(AListings);
  });
}

void TFilePage::SynchroFileCounter() {
  TFileList &LList = FileList();
  if (!LList.GetIsCounterInNameMask() && !LList.GetisCounterInExtMask()) {
    // No name shows the counter: the files only keep its values, for a mask
    // with the counter applied later.
    const TNameRecipe LRecipe = Recipe();
    LList.SetCounter(LRecipe.FCounterStart, LRecipe.FCounterStep, LRecipe.FCounterDigits);
    return;
  }
  acRollback->SetTag(1);
  RecomputeNewNames();
}

void TFilePage::CBox_CaseChange() {
  acRollback->SetTag(1);
  RecomputeNewNames();
}

void TFilePage::acApplyAllExecute() {
  TFileList &LList = FileList();
  if (LList.Count() == 0) {
    ShowWarningMessage(rs::FirstAddSomeFile);
    return;
  }
  // Apply reads the folders anew, so the marks tell what a Rename would do
  // with the disk as it is now; with the masks as applied no name changes.
  if (Edit_RenameMask->text() == LList.FileNameMask() &&
      Edit_ExtMask->text() == LList.FileExtMask()) {
    SynchroFileNames(TListings::ReadAnew);
    return;
  }
  acRollback->SetTag(1);
  RecomputeNewNames(TListings::ReadAnew);
}

// ---------------------------------------------------------------------------
// Rename and Rollback

bool TFilePage::StepRunning() const {
  return StepWorker != nullptr && StepWorker->Running();
}

void TFilePage::CancelStepAndWait() {
  StepWorker->CancelAndWait();
}

void TFilePage::BeginStep() {
  ForgetHintBalloon(FLastHintCell);
  StepProgress->show();
  StepProgress->btnStepCancel->setFocus(Qt::OtherFocusReason);
  const int LFirst = StringGrid_Rename->rowAt(0);
  const int LLast = StringGrid_Rename->rowAt(StringGrid_Rename->viewport()->height() - 1);
  GridModel->Hold(std::max(LFirst, 0), LLast < 0 ? GridModel->rowCount() - 1 : LLast);
  FNamePart->setEnabled(false);
  FListPart->setEnabled(false);
}

void TFilePage::EndStep() {
  GridModel->Release();
  FNamePart->setEnabled(true);
  FListPart->setEnabled(true);
}

void TFilePage::DoRenameFiles() {
  if (StepRunning())
    return;
  FMain.FRunTimer->stop();
  // First: a field's exit may still change the names and make a new plan.
  BeginStep();
  // A mask's exit that reads metadata runs as a step of its own: the new
  // names are shown first and Rename waits for the next press.
  if (StepRunning())
    return;
  acRename->SetTag(1);
  acRollback->SetTag(0);
  FMayHaveRenamedFiles = true;
  TFileList &LList = FileList();
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

void TFilePage::RenameEnded(int AFailed) {
  EndStep();
  TFileList &LList = FileList();
  if (ReportBatchRefused(AFailed, LList.BatchError())) {
    // Nothing moved: the page stays as it was before the Rename.
    acRename->SetTag(0);
    acRollback->SetTag(1);
    FMain.UpdateActions();
    return;
  }
  if (LList.LastBatchStopped()) {
    int LRenamed = 0;
    for (int i = 0; i < LList.Count(); ++i)
      LRenamed += LList[i].isRenamed() ? 1 : 0;
    ReportCancelled(rs::RenameCancelled, LRenamed, LList.Count());
    // The files not renamed are listed, and Rename waits for a Rollback or
    // a new Add, as after failures.
    RecreateFileHintColumn();
  } else {
    ReportRename(AFailed);
    if (AFailed > 0)
      RecreateFileHintColumn();
  }
  SynchroFileList(INT_MAX);
  if (AFailed > 0 || LList.LastBatchStopped())
    ScrollToHintMarks(*StringGrid_Rename);
  sgDetailInfoUpdate();
  FMain.UpdateActions();
}

void TFilePage::DoRollbackFiles() {
  if (StepRunning())
    return;
  FMain.FRunTimer->stop();
  BeginStep();
  acRollback->SetTag(1);
  acRename->SetTag(0);
  TFileList &LList = FileList();
  int LTotal = 0;
  for (int i = 0; i < LList.Count(); ++i)
    LTotal += LList[i].isRenamed() ? 1 : 0;
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
  FMain.UpdateActions();
}

void TFilePage::RollbackEnded(int AFailed, int ATotal) {
  EndStep();
  TFileList &LList = FileList();
  if (ReportBatchRefused(AFailed, LList.BatchError())) {
    acRollback->SetTag(0);
    FMain.UpdateActions();
    return;
  }
  if (LList.LastBatchStopped()) {
    // The files still renamed can be moved back by another Rollback; Rename
    // waits until then.
    acRollback->SetTag(0);
    acRename->SetTag(1);
    int LStill = 0;
    for (int i = 0; i < LList.Count(); ++i)
      LStill += LList[i].isRenamed() ? 1 : 0;
    RecreateFileHintColumn();
    SynchroFileList(INT_MAX, TListings::Planned);
    ReportCancelled(rs::RollbackCancelled, ATotal - LStill, ATotal);
    sgDetailInfoUpdate();
    FMain.UpdateActions();
    return;
  }
  if (AFailed > 0)
    RecreateFileHintColumn();
  else
    RemoveFileHintColumn();
  // The marks tell what a Rename would do with the disk as it is now (the
  // worker planned it).
  SynchroFileList(INT_MAX, TListings::Planned);
  ReportRollback(AFailed);
  sgDetailInfoUpdate();
  FMain.UpdateActions();
}

void TFilePage::BatchRolledBack(const QString &ABatchId) {
  // The worker owns the list while a step runs; a Rename running now makes
  // a batch of its own, which the list then follows instead.
  if (StepRunning())
    return;
  TFileList &LList = FileList();
  TJournalBatch LBatch;
  if (ABatchId.isEmpty() || LList.BatchId() != ABatchId || !GetJournal().Load(ABatchId, LBatch))
    return;
  LList.NoteRolledBack(LBatch.RenamedItems());
  RemoveFileHintColumn();
  SynchroFileList(INT_MAX);
  sgDetailInfoUpdate();
}

bool TFilePage::HasHintColumn() const {
  return GridModel->HasHintColumn();
}

// The header keeps the sort marker by its column's name: the marker moves
// along with its column and keeps its direction.
void TFilePage::ShowFileHintColumn(bool AValue) {
  if (AValue == HasHintColumn())
    return;
  const int LSelected = SelectedRow();
  if (!AValue) {
    ForgetHintBalloon(FLastHintCell);
    QAbstractItemDelegate *LDelegate = StringGrid_Rename->itemDelegateForColumn(0);
    StringGrid_Rename->setItemDelegateForColumn(0, nullptr);
    GridModel->SetHintColumn(false);
    delete LDelegate;
  } else {
    GridModel->SetHintColumn(true);
    StringGrid_Rename->setItemDelegateForColumn(0, new THintColumn(StringGrid_Rename));
    StringGrid_Rename->setColumnWidth(0, HintColumnWidth);
  }
  // A selected row does not cover a hint column inserted in front of it.
  ReselectRow(*StringGrid_Rename, LSelected);
}

void TFilePage::RemoveFileHintColumn() {
  FFailureMarks = false;
  ShowFileHintColumn(false);
}

void TFilePage::RecreateFileHintColumn() {
  // The data column whose header holds the marker, if any.
  const int LMarked = StringGrid_RenameHeader->MarkerSection();
  const int LDataColumn = LMarked >= 0 ? GridModel->DataColumnAt(LMarked) : -1;
  const QString LDirection =
      LMarked >= 0 ? StringGrid_RenameHeader->SectionTag(LMarked) : QString();
  // A hint column of conflict marks goes too: the failure marks get a new one.
  RemoveFileHintColumn();
  FFailureMarks = true;
  ShowFileHintColumn(true);
  CreateFileSortMarker();
  // The marker goes back to its column and keeps pointing the way the rows
  // are ordered (a placement flips the direction: the old one is put back).
  if (LDataColumn >= 0) {
    const int LSection = GridModel->ColumnOf(static_cast<TFileGridModel::TDataColumn>(LDataColumn));
    PlaceFileSortMarker(LSection);
    StringGrid_RenameHeader->SetSectionTag(LSection, LDirection);
  }
}

void TFilePage::CreateFileSortMarker() {
  StringGrid_RenameHeader->RemoveSortMarker();
  // A new hint column starts without a direction.
  if (HasHintColumn())
    StringGrid_RenameHeader->SetSectionTag(0, QString());
  PlaceFileSortMarker(0);
}

QString TFilePage::PlaceFileSortMarker(int ASection) {
  return StringGrid_RenameHeader->PlaceSortMarker(ASection);
}

void TFilePage::OnStringGridRenameHeaderMouseDown(int ASection, Qt::MouseButton) {
  const std::optional<TSortPress> LPress =
      SortPress(*StringGrid_RenameHeader, ASection, GridModel->rowCount());
  if (!LPress)
    return;
  TFileSortLess LLess;
  LLess.FDown = LPress->FDown;
  const int LDataColumn = GridModel->DataColumnAt(ASection);
  LLess.FKey = LDataColumn == TFileGridModel::dcOldName   ? TFileSortKey::OldName
               : LDataColumn == TFileGridModel::dcNewName ? TFileSortKey::NewName
                                                          : TFileSortKey::Location;
  TFileList &LList = FileList();
  LList.Sort(LLess);
  // The counter values move with the new positions.
  if (LList.GetIsCounterInNameMask() || LList.GetisCounterInExtMask())
    acRollback->SetTag(1);
  SynchroFileList(RenumberFrom(0));
  sgDetailInfoUpdate();
}

void TFilePage::StringGrid_RenameMouseMove(const QPoint &APos) {
  HintColumnMouseMove(
      *StringGrid_Rename, APos, FLastHintCell, [this](int ARow) -> std::optional<THintText> {
        const int LIndex = FindFileByGridRow(ARow);
        if (LIndex < 0)
          return std::nullopt;
        const TFileInfo &LFile = FileList()[LIndex];
        const TPlanEntry *LEntry = GridModel->PlanEntryAtRow(ARow);
        std::optional<THintText> LText =
            RowHintText(LFile.OldName(), LFile.RenameErrorText(), LEntry, false);
        // Without a word from the plan, what the metadata
        // tokens did not find.
        if (!LText && LEntry != nullptr && LFile.MetadataNotes() != 0)
          LText = THintText{LFile.OldName(), MetadataNotesText(LFile.MetadataNotes())};
        return LText;
      });
}
