#include "MainUnFilePage.h"

#include "FMX.BallonHint.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uFileGridModel.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uMessageForm.h"
#include "uPageHost.h"
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

TFilePage::TFilePage(TPageHost &AHost, TFileList &AList, QWidget *AParent)
    : TRenamePage(AHost, AList, AParent), FFileList(AList) {
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

  TParts LParts;
  LParts.FNamePart = LNamePart;
  LParts.FListPart = LListPart;
  LParts.FGrid = StringGrid_Rename;
  LParts.FModel = GridModel;
  LParts.FCount = txtFileCount;
  LParts.FRename = acRename;
  LParts.FRollback = acRollback;
  LParts.FClear = acClearFile;
  LParts.FDelete = acDeleteFile;
  LParts.FApply = acApplyAll;
  LParts.FRenameButton = Button_Rename;
  LParts.FRollbackButton = Button_Undo;
  LParts.FDeleteButton = Button_Delete;
  LParts.FRenameShortcutName = QStringLiteral("scRename");
  LParts.FOnPaths = [this](const QStringList &APaths) {
    AddOutsidePaths(APaths);
  };
  LParts.FNameMask = Edit_RenameMask;
  LParts.FExtMask = Edit_ExtMask;
  LParts.FCounterStart = SBox_CounterStart;
  LParts.FCounterStep = SBox_CounterStep;
  LParts.FCounterDigits = CBox_CounterNumber;
  LParts.FSearch = Edit_Search;
  LParts.FReplace = Edit_Replace;
  LParts.FCase = CBox_Case;
  LParts.FPresetsButton = btnFilePresets;
  SetupWorkflow(LParts);
  StringGrid_RenameHeader = &Header();

  AddActionShortcut(*acAddFile, QKeySequence(Qt::CTRL | Qt::Key_O), Qt::WindowShortcut, *this);
  AddActionShortcut(*acAddFoldersFiles, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                    Qt::WindowShortcut, *this);
  ShowShortcutInToolTip(*btnAddFile, acAddFile->text(), acAddFile->shortcut());
  ShowShortcutInToolTip(*btnAddFoldersFiles, acAddFoldersFiles->text(),
                        acAddFoldersFiles->shortcut());
}

void TFilePage::CreateNamePart(QWidget &AParent) {
  // The five groups side by side fit the window at its smallest with narrow
  // margins.
  auto *LRow = new QHBoxLayout(&AParent);
  LRow->setContentsMargins(8, 4, 8, 8);
  LRow->setSpacing(6);
  const auto LNarrow = [](QLayout *ALayout) {
    ALayout->setContentsMargins(6, 6, 6, 6);
    return ALayout;
  };
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
  LNarrow(LMaskGrid);
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
  LNarrow(LExtColumn);
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
  LNarrow(LCounterForm);
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
  LNarrow(LSearchColumn);
  LSearchColumn->addWidget(new QLabel(QStringLiteral("Search for:"), LSearchBox));
  LSearchColumn->addWidget(Edit_Search);
  LSearchColumn->addWidget(new QLabel(QStringLiteral("Replace whith:"), LSearchBox));
  LSearchColumn->addWidget(Edit_Replace);
  SearchOptions =
      MakeSearchOptions(*LSearchBox, *LSearchColumn, QStringLiteral("File"),
                        GetSettings().FileRegexSearch(), GetSettings().FileMatchCase(), [this] {
                          GetSettings().SetFileRegexSearch(SearchOptions.FRegex->isChecked());
                          GetSettings().SetFileMatchCase(SearchOptions.FMatchCase->isChecked());
                          SearchExit();
                          FHost.UpdateActions();
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
  LNarrow(LCaseColumn);
  LCaseColumn->addWidget(CBox_Case);
  LCaseColumn->addStretch(1);
  btnFilePresets = MakeButton(QStringLiteral("btnFilePresets"), LCaseBox);
  btnFilePresets->setMinimumHeight(36);
  auto *LApplyRow = new QHBoxLayout;
  LApplyRow->addWidget(btn_ApplyName, 1);
  LApplyRow->addWidget(btnFilePresets);
  LCaseColumn->addLayout(LApplyRow);
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

  FHost.RegisterDropDown(*CBox_Case);
  FHost.RegisterDropDown(*CBox_CounterNumber);

  FieldExits().Watch(*Edit_RenameMask, [this] { Edit_RenameMaskExit(); });
  FieldExits().Watch(*Edit_ExtMask, [this] { Edit_ExtMaskExit(); });
  FieldExits().Watch(*Edit_Replace, [this] { Edit_ReplaceExit(); });
  // Leaving the search field applies nothing; Enter in it applies the search.
  FieldExits().Watch(
      *Edit_Search, [this] { Edit_ReplaceExit(); }, TFieldExits::TExitOn::EnterOnly);
  connect(SBox_CounterStart, &QSpinBox::valueChanged, this, [this] { CounterChanged(); });
  connect(SBox_CounterStep, &QSpinBox::valueChanged, this, [this] { CounterChanged(); });
  connect(CBox_CounterNumber, &QComboBox::currentIndexChanged, this, [this] { CounterChanged(); });
  connect(CBox_Case, &QComboBox::currentIndexChanged, this, [this] { CaseChanged(); });
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
  // A name or folder too long for its column keeps its start and its end
  // (the extension; the last folders), whole in its tooltip.
  StringGrid_Rename->setTextElideMode(Qt::ElideMiddle);
  GridModel = new TFileGridModel(FFileList, StringGrid_Rename);
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
  sgDetailInfo->setTextElideMode(Qt::ElideMiddle);
  DetailModel = new TPropertyGridModel(
      {QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Type"),
       QStringLiteral("Size"), QStringLiteral("Date"), QStringLiteral("Attributes")},
      QStringLiteral("Properties"), QStringLiteral("Value"), sgDetailInfo);
  // The cells are painted as the preview grid's, without scroll bars.
  SetupPreviewGrid(*sgDetailInfo);
  SetupDetailGrid(*sgDetailInfo, *DetailModel);
  sgDetailInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgDetailInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The values take what the names leave: the column ends in view.
  sgDetailInfo->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  auto *LDetailLayout = new QVBoxLayout(gbDetailInfo);
  LDetailLayout->addWidget(sgDetailInfo);
  gbDetailInfo->setFixedWidth(320);
  LRow->addWidget(gbDetailInfo);
}

void TFilePage::CreateActions() {
  TActionList &LList = FHost.Actions();
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
  acAddFile->SetOnExecute([this](TAction &) { acAddFileExecute(); });
  EnableWhileIdle(*acAddFile, *this);
  acAddFoldersFiles->SetOnExecute([this](TAction &) { acAddFoldersFilesExecute(); });
  EnableWhileIdle(*acAddFoldersFiles, *this);
}

// ---------------------------------------------------------------------------
// Collecting

void TFilePage::AddSources(std::vector<TAddSource> ASources, bool ALogAdded) {
  TFileList &LList = FFileList;
  StartAdd(
      [&LList, LSources = std::move(ASources)](TProgress &AProgress) {
        const TAddOutcome LOutcome = LList.AddFiles(LSources, &AProgress);
        return TAdded{LOutcome.FFound, LOutcome.FNotAdded, LOutcome.FStopped, LOutcome.FUnreadable,
                      LOutcome.FOwnFiles};
      },
      ALogAdded);
}

void TFilePage::acAddFileExecute() {
  GetLogger().WriteLog(rs::TryingToAddFiles);
  const std::optional<QStringList> LChosen =
      ShowOpenFileDialog(&FHost.DialogOwner(), QStringLiteral("Select file(s)"), FLastOpenFolder);
  if (!LChosen)
    return;
  std::vector<TAddSource> LSources;
  LSources.reserve(static_cast<size_t>(LChosen->size()));
  for (const QString &LPath : *LChosen)
    LSources.push_back({LPath, false});
  AddSources(std::move(LSources), true);
}

void TFilePage::acAddFoldersFilesExecute() {
  GetLogger().WriteLog(rs::TryingToAddFolder);
  QString LFolder = GetSettings().LastOpenedFolder();
  if (!BrowseFolder(QStringLiteral("Select folder"), LFolder, &FHost.DialogOwner(), false))
    return;
  if (!ResolveChosenPath(LFolder)) {
    ReportNotAdded(1);
    return;
  }
  GetSettings().SetLastOpenedFolder(LFolder);
  AddSources({{LFolder, true}}, false);
}

void TFilePage::AddOutsidePaths(const QStringList &APaths) {
  const QStringList LFound = OutsidePaths(APaths, *acAddFile, rs::TryingToAddFiles);
  if (LFound.isEmpty())
    return;
  // A folder stands for the files below it, as Add Folders collects them.
  std::vector<TAddSource> LSources;
  for (const QString &LPath : LFound)
    LSources.push_back({LPath, PathKindOf(LPath) == TPathKind::Folder});
  AddSources(std::move(LSources), true);
}

void TFilePage::ShowDetailsOf(int APosition) {
  if (APosition < 0) {
    ShowDetails(*sgDetailInfo, *DetailModel, std::nullopt);
    return;
  }
  const TFileInfo &LFile = FFileList[APosition];
  ShowDetails(*sgDetailInfo, *DetailModel,
              QStringList{LFile.OldName(), LFile.Location(), LFile.FileType(),
                          QString::number(LFile.Size()) + QStringLiteral(" byte"),
                          DateTimeToStr(LFile.Date()), LFile.Attributes()});
}

// ---------------------------------------------------------------------------
// The fields

void TFilePage::Edit_RenameMaskExit() {
  MaskExit(masks::TMaskPart::Name, Edit_RenameMask->text());
}

void TFilePage::Edit_ExtMaskExit() {
  MaskExit(masks::TMaskPart::Extension, Edit_ExtMask->text());
}

void TFilePage::Edit_ReplaceExit() {
  SearchExit();
}
