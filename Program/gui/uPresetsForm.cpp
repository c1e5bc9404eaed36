#include "uPresetsForm.h"

#include "uMessageForm.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

TAskNameHook &AskNameHook() {
  static TAskNameHook LHook;
  return LHook;
}

TConfirmHook &ConfirmHook() {
  static TConfirmHook LHook;
  return LHook;
}

TPresetsFormHook &PresetsFormHook() {
  static TPresetsFormHook LHook;
  return LHook;
}

// The preset's name as it stands in the list: its name, "(damaged)" after it
// for one that cannot be used.
constexpr int NameRole = Qt::UserRole;

} // namespace

TAskNameHook SetAskNameHook(TAskNameHook AHook) {
  return std::exchange(AskNameHook(), std::move(AHook));
}

std::optional<QString> AskPresetName(QWidget &AOwner, const QString &ATitle, const QString &AText) {
  if (AskNameHook())
    return AskNameHook()(ATitle, AText);
  bool LOk = false;
  const QString LName = QInputDialog::getText(&AOwner, ATitle, QStringLiteral("Name:"),
                                              QLineEdit::Normal, AText, &LOk);
  if (!LOk)
    return std::nullopt;
  return LName;
}

TConfirmHook SetConfirmHook(TConfirmHook AHook) {
  return std::exchange(ConfirmHook(), std::move(AHook));
}

bool ConfirmMessage(QWidget &AOwner, const QString &AText) {
  if (ConfirmHook())
    return ConfirmHook()(AText);
  return QMessageBox::question(&AOwner, QStringLiteral("Varnwell"), AText,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

TPresetsFormHook SetPresetsFormHook(TPresetsFormHook AHook) {
  return std::exchange(PresetsFormHook(), std::move(AHook));
}

TfmPresetsForm::TfmPresetsForm(const QString &AFile, TPresetKind AKind, QWidget *AOwner)
    : QDialog(AOwner), FFile(AFile), FKind(AKind) {
  setObjectName(QStringLiteral("fmPresets"));
  setWindowTitle(QStringLiteral("Presets"));
  lbPresets = new QListWidget(this);
  lbPresets->setObjectName(QStringLiteral("lbPresets"));
  btnRenamePreset = new QPushButton(QStringLiteral("Rename…"), this);
  btnRenamePreset->setObjectName(QStringLiteral("btnRenamePreset"));
  btnDeletePreset = new QPushButton(QStringLiteral("Delete"), this);
  btnDeletePreset->setObjectName(QStringLiteral("btnDeletePreset"));
  btnClosePresets = new QPushButton(QStringLiteral("Close"), this);
  btnClosePresets->setObjectName(QStringLiteral("btnClosePresets"));
  auto *LButtons = new QVBoxLayout;
  LButtons->addWidget(btnRenamePreset);
  LButtons->addWidget(btnDeletePreset);
  LButtons->addStretch(1);
  LButtons->addWidget(btnClosePresets);
  auto *LLayout = new QHBoxLayout(this);
  LLayout->addWidget(lbPresets, 1);
  LLayout->addLayout(LButtons);
  connect(btnRenamePreset, &QPushButton::clicked, this, [this] { RenameSelected(); });
  connect(btnDeletePreset, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(btnClosePresets, &QPushButton::clicked, this, &QDialog::accept);
  connect(lbPresets, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
  Refresh();
}

void TfmPresetsForm::Execute(const QString &AFile, TPresetKind AKind, QWidget &AOwner) {
  TfmPresetsForm LForm(AFile, AKind, &AOwner);
  if (PresetsFormHook()) {
    PresetsFormHook()(LForm);
    return;
  }
  LForm.exec();
}

void TfmPresetsForm::Refresh(const QString &ASelect) {
  lbPresets->clear();
  const TPresetsRead LRead = FFile.Read();
  if (!LRead.FOk)
    ShowErrorMessage(LRead.FError);
  for (const TPreset &LPreset : LRead.FPresets) {
    if (LPreset.FKind != FKind)
      continue;
    auto *LItem = new QListWidgetItem(
        LPreset.FDamaged ? LPreset.FName + QStringLiteral(" (damaged)") : LPreset.FName, lbPresets);
    LItem->setData(NameRole, LPreset.FName);
    if (LPreset.FDamaged)
      LItem->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    if (LPreset.FName == ASelect)
      lbPresets->setCurrentItem(LItem);
  }
  if (lbPresets->currentRow() < 0 && lbPresets->count() > 0)
    lbPresets->setCurrentRow(0);
  UpdateButtons();
}

QString TfmPresetsForm::SelectedName() const {
  const QListWidgetItem *LItem = lbPresets->currentItem();
  return LItem != nullptr ? LItem->data(NameRole).toString() : QString();
}

void TfmPresetsForm::RenameSelected() {
  const QString LOld = SelectedName();
  if (LOld.isEmpty())
    return;
  const std::optional<QString> LNew = AskPresetName(*this, QStringLiteral("Rename preset"), LOld);
  if (!LNew || *LNew == LOld)
    return;
  if (!IsValidPresetName(*LNew)) {
    ShowWarningMessage(QStringLiteral("A preset needs a name without line breaks."));
    return;
  }
  const TPresetWrite LWrite = FFile.Rename(LOld, *LNew);
  if (!LWrite)
    ShowErrorMessage(LWrite.FError);
  Refresh(LWrite ? *LNew : LOld);
}

void TfmPresetsForm::DeleteSelected() {
  const QString LName = SelectedName();
  if (LName.isEmpty() ||
      !ConfirmMessage(*this, QStringLiteral("Delete the preset \"%1\"?").arg(LName)))
    return;
  const TPresetWrite LWrite = FFile.Remove(LName);
  if (!LWrite)
    ShowErrorMessage(LWrite.FError);
  Refresh();
}

void TfmPresetsForm::UpdateButtons() {
  const bool LSelected = lbPresets->currentItem() != nullptr;
  btnRenamePreset->setEnabled(LSelected);
  btnDeletePreset->setEnabled(LSelected);
}
