#include "uSelectFolderForm.h"

#include "uControlUtils.h"
#include "uMessageForm.h"
#include "uResourceString.h"
#include "uUtilGui.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {

TSelectFolderHook &SelectFolderHook() {
  static TSelectFolderHook LHook;
  return LHook;
}

} // namespace

QString TrimBlanksAndControls(const QString &AText) {
  qsizetype LFirst = 0;
  qsizetype LLast = AText.size() - 1;
  while (LFirst <= LLast && AText.at(LFirst).unicode() <= 0x20)
    ++LFirst;
  while (LLast >= LFirst && AText.at(LLast).unicode() <= 0x20)
    --LLast;
  return AText.mid(LFirst, LLast - LFirst + 1);
}

TfmSelectFolderForm::TfmSelectFolderForm(QWidget *AOwner) : QDialog(AOwner) {
  setObjectName(QStringLiteral("fmSelectFolderForm"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Select directory"));
  setModal(true);
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(QStringLiteral("#fmSelectFolderForm { background: white; border: 1px solid "
                               "#2c3e50; }"));

  Image2 = new QLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setFixedSize(16, 16);
  Image2->setScaledContents(true);
  Image2->setCursor(Qt::PointingHandCursor);
  QPixmap LClose;
  if (LoadBitmapFromResource(LClose, QStringLiteral("CloseImage")))
    Image2->setPixmap(LClose);
  Image2->installEventFilter(this);

  lbFolderName = new QLabel(QStringLiteral("Select directory:"), this);
  lbFolderName->setObjectName(QStringLiteral("lbFolderName"));
  editSelectDir = new QLineEdit(this);
  editSelectDir->setObjectName(QStringLiteral("editSelectDir"));
  btSelectDir = new QToolButton(this);
  btSelectDir->setObjectName(QStringLiteral("btSelectDir"));
  btSelectDir->setText(QStringLiteral("..."));
  btSelectDir->setFixedSize(22, 22);
  connect(btSelectDir, &QToolButton::clicked, this, [this] { btSelectDirClick(); });

  cbIncludeRootDir = new QCheckBox(QStringLiteral("Include root directory"), this);
  cbIncludeRootDir->setObjectName(QStringLiteral("cbIncludeRootDir"));
  cbIncludeSubDir = new QCheckBox(QStringLiteral("Include subdirectories"), this);
  cbIncludeSubDir->setObjectName(QStringLiteral("cbIncludeSubDir"));

  Button_Clear = new QPushButton(QStringLiteral("OK"), this);
  Button_Clear->setObjectName(QStringLiteral("Button_Clear"));
  Button_Clear->setFixedSize(90, 30);
  Button_Clear->setCursor(Qt::PointingHandCursor);
  Button_Clear->setDefault(true);
  connect(Button_Clear, &QPushButton::clicked, this, [this] { Button_ClearClick(); });
  imgButton_Ok = new QLabel(Button_Clear);
  imgButton_Ok->setObjectName(QStringLiteral("imgButton_Ok"));
  imgButton_Ok->setGeometry(0, 0, 30, 30);
  imgButton_Ok->setScaledContents(true);
  imgButton_Ok->setAttribute(Qt::WA_TransparentForMouseEvents, true);
  QPixmap LOk;
  if (LoadBitmapFromResource(LOk, QStringLiteral("Button_Undo")))
    imgButton_Ok->setPixmap(LOk);

  auto *LRoot = new QVBoxLayout(this);
  LRoot->setContentsMargins(15, 6, 6, 12);
  LRoot->setSpacing(6);
  auto *LTop = new QHBoxLayout;
  LTop->addStretch(1);
  LTop->addWidget(Image2);
  LRoot->addLayout(LTop);
  LRoot->addWidget(lbFolderName);
  auto *LFolderLine = new QHBoxLayout;
  LFolderLine->setContentsMargins(0, 0, 9, 0);
  LFolderLine->addWidget(editSelectDir, 1);
  LFolderLine->addWidget(btSelectDir);
  LRoot->addLayout(LFolderLine);
  LRoot->addWidget(cbIncludeRootDir);
  LRoot->addWidget(cbIncludeSubDir);
  LRoot->addStretch(1);
  LRoot->addWidget(Button_Clear, 0, Qt::AlignHCenter);

  resize(DesignWidth, DesignHeight);
  CenterOverMainForm(*this);
}

bool TfmSelectFolderForm::Execute(QString &AFolderName, bool &AIncludeSubFolder,
                                  bool &AIncludeRootFolder) {
  BringMainWindowToFront();
  // The dialog lives for this call only; the stack frees it on every path.
  TfmSelectFolderForm LForm(FindMainWindow());
  LForm.SetSelectedFolderName(AFolderName);
  LForm.SetIncludeSubFolder(AIncludeSubFolder);
  LForm.SetIncludeRootFolder(AIncludeRootFolder);
  int LResult = QDialog::Rejected;
  if (SelectFolderHook()) {
    LForm.setResult(QDialog::Rejected);
    SelectFolderHook()(LForm);
    LResult = LForm.result();
  } else {
    LResult = LForm.exec();
  }
  if (LResult != QDialog::Accepted)
    return false;
  AFolderName = LForm.SelectedFolderName();
  AIncludeSubFolder = LForm.IncludeSubFolder();
  AIncludeRootFolder = LForm.IncludeRootFolder();
  return true;
}

QString TfmSelectFolderForm::SelectedFolderName() const {
  return TrimBlanksAndControls(editSelectDir->text());
}

void TfmSelectFolderForm::SetSelectedFolderName(const QString &AValue) {
  editSelectDir->setText(TrimBlanksAndControls(AValue));
}

bool TfmSelectFolderForm::IncludeSubFolder() const {
  return cbIncludeSubDir->isChecked();
}

void TfmSelectFolderForm::SetIncludeSubFolder(bool AValue) {
  cbIncludeSubDir->setChecked(AValue);
}

bool TfmSelectFolderForm::IncludeRootFolder() const {
  return cbIncludeRootDir->isChecked();
}

void TfmSelectFolderForm::SetIncludeRootFolder(bool AValue) {
  cbIncludeRootDir->setChecked(AValue);
}

void TfmSelectFolderForm::Button_ClearClick() {
  const QString LName = SelectedFolderName();
  // isDir follows symbolic links to folders.
  if (LName.isEmpty() || !QFileInfo(LName).isDir()) {
    ShowWarningMessage(rs::SpecifyCorrectDirectory);
    return;
  }
  if (!IncludeSubFolder() && !IncludeRootFolder()) {
    ShowWarningMessage(
        rs::FormatMessage(rs::CheckOptions, {cbIncludeSubDir->text(), cbIncludeRootDir->text()}));
    return;
  }
  done(QDialog::Accepted);
}

void TfmSelectFolderForm::btSelectDirClick() {
  QString LFolder = SelectedFolderName();
  if (BrowseFolder(QStringLiteral("Select folder"), LFolder, this, false))
    SetSelectedFolderName(LFolder);
}

void TfmSelectFolderForm::Image2Click() {
  done(QDialog::Rejected);
}

bool TfmSelectFolderForm::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == Image2 && AEvent->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(AEvent)->button() == Qt::LeftButton) {
    Image2Click();
    return true;
  }
  return QDialog::eventFilter(AWatched, AEvent);
}

TSelectFolderHook SetSelectFolderHook(TSelectFolderHook AHook) {
  return std::exchange(SelectFolderHook(), std::move(AHook));
}
