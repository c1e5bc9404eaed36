#include "MainUnSettings.h"

#include "uAction.h"
#include "uControlUtils.h"
#include "uLog.h"
#include "uPageHost.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtilGui.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TSettingsPage::TSettingsPage(TPageHost &AHost, QWidget *AParent) : QWidget(AParent), FHost(AHost) {
  setObjectName(QStringLiteral("SettingsPage"));
  auto *LPageLayout = new QVBoxLayout(this);
  LPageLayout->setContentsMargins(0, 0, 0, 0);
  auto *LGeneral = new QGroupBox(this);
  LGeneral->setObjectName(QStringLiteral("GroupBox_General"));
  LPageLayout->addWidget(LGeneral);

  CheckBox_EnblLogging = new QCheckBox(QStringLiteral("Enable Log"), LGeneral);
  CheckBox_EnblLogging->setObjectName(QStringLiteral("CheckBox_EnblLogging"));

  GroupBox_LogDirectory = new QGroupBox(QStringLiteral(" Log directory "), LGeneral);
  GroupBox_LogDirectory->setObjectName(QStringLiteral("GroupBox_LogDirectory"));
  GroupBox_LogDirectory->setEnabled(false);

  Edit_LogDirectory = new QLineEdit(GroupBox_LogDirectory);
  Edit_LogDirectory->setObjectName(QStringLiteral("Edit_LogDirectory"));
  Edit_LogDirectory->setMinimumHeight(28);
  // "..." sits at the right end inside the edit.
  Button_SelectLogDirectory = new QToolButton(Edit_LogDirectory);
  Button_SelectLogDirectory->setObjectName(QStringLiteral("Button_SelectLogDirectory"));
  Button_SelectLogDirectory->setText(QStringLiteral("..."));
  Button_SelectLogDirectory->setCursor(Qt::PointingHandCursor);
  Button_SelectLogDirectory->setFixedSize(28, 22);
  Edit_LogDirectory->setTextMargins(0, 0, 30, 0);
  auto *LEditLayout = new QHBoxLayout(Edit_LogDirectory);
  LEditLayout->setContentsMargins(0, 0, 3, 0);
  LEditLayout->addStretch(1);
  LEditLayout->addWidget(Button_SelectLogDirectory);

  CheckBox_AutoDelete = new QCheckBox(GroupBox_LogDirectory);
  CheckBox_AutoDelete->setObjectName(QStringLiteral("CheckBox_AutoDelete"));
  auto *LAutoDeleteText = new QLabel(QStringLiteral("Automatically delete log files older than  "),
                                     GroupBox_LogDirectory);
  LAutoDeleteText->setObjectName(QStringLiteral("textAutoDelete"));
  LAutoDeleteText->setBuddy(CheckBox_AutoDelete);
  SpinBox_Days = new QSpinBox(GroupBox_LogDirectory);
  SpinBox_Days->setObjectName(QStringLiteral("SpinBox_Days"));
  SpinBox_Days->setRange(1, 365);
  SpinBox_Days->setValue(1);
  SpinBox_Days->setEnabled(false);
  SpinBox_Days->setMinimumWidth(70);
  auto *LDaysText = new QLabel(QStringLiteral("days"), GroupBox_LogDirectory);
  LDaysText->setObjectName(QStringLiteral("textDays"));

  auto *LDirLayout = new QVBoxLayout(GroupBox_LogDirectory);
  LDirLayout->setContentsMargins(14, 18, 14, 14);
  LDirLayout->setSpacing(12);
  LDirLayout->addWidget(Edit_LogDirectory);
  auto *LDaysRow = new QHBoxLayout;
  LDaysRow->setSpacing(4);
  LDaysRow->addWidget(CheckBox_AutoDelete);
  LDaysRow->addWidget(LAutoDeleteText);
  LDaysRow->addWidget(SpinBox_Days);
  LDaysRow->addSpacing(4);
  LDaysRow->addWidget(LDaysText);
  LDaysRow->addStretch(1);
  LDirLayout->addLayout(LDaysRow);

  acApplySettings = new TAction(QStringLiteral("Apply"), FHost.Actions(), this);
  acApplySettings->setObjectName(QStringLiteral("acApplySettings"));
  acApplySettings->SetOnExecute([this](TAction &) { acApplySettingsExecute(); });
  acRestoreSettings = new TAction(QStringLiteral("Restore Defaults"), FHost.Actions(), this);
  acRestoreSettings->setObjectName(QStringLiteral("acRestoreSettings"));
  acRestoreSettings->SetOnExecute([this](TAction &) { acRestoreSettingsExecute(); });

  Button_RestoreSettings = new QPushButton(LGeneral);
  Button_RestoreSettings->setObjectName(QStringLiteral("Button_RestoreSettings"));
  Button_ApplySettings = new QPushButton(LGeneral);
  Button_ApplySettings->setObjectName(QStringLiteral("Button_ApplySettings"));
  for (QPushButton *LButton : {Button_RestoreSettings, Button_ApplySettings}) {
    LButton->setCursor(Qt::PointingHandCursor);
    LButton->setMinimumSize(150, 34);
    LButton->setIconSize(QSize(20, 20));
  }
  acRestoreSettings->BindButton(*Button_RestoreSettings);
  acApplySettings->BindButton(*Button_ApplySettings);

  auto *LLayout = new QVBoxLayout(LGeneral);
  LLayout->setContentsMargins(24, 24, 24, 18);
  LLayout->setSpacing(14);
  LLayout->addWidget(CheckBox_EnblLogging);
  LLayout->addWidget(GroupBox_LogDirectory);
  auto *LNote = new QLabel(
      QStringLiteral("Switching the log on or off takes effect at once. The folder and the "
                     "clean-up of old log files are used the next time logging starts."),
      LGeneral);
  LNote->setObjectName(QStringLiteral("textSettingsNote"));
  LNote->setWordWrap(true);
  LLayout->addWidget(LNote);
  LLayout->addStretch(1);
  auto *LStrip = new QHBoxLayout;
  LStrip->addWidget(Button_RestoreSettings);
  LStrip->addStretch(1);
  LStrip->addWidget(Button_ApplySettings);
  LLayout->addLayout(LStrip);

  connect(CheckBox_EnblLogging, &QCheckBox::toggled, this,
          [this] { CheckBox_EnblLoggingChange(); });
  connect(CheckBox_AutoDelete, &QCheckBox::toggled, this, [this] { CheckBox_AutoDeleteChange(); });
  connect(SpinBox_Days, &QSpinBox::valueChanged, this, [this] { SpinBox_DaysChange(); });
  connect(Button_SelectLogDirectory, &QToolButton::clicked, this,
          [this] { Button_SelectLogDirectoryClick(); });
}

void TSettingsPage::BeginSettingsChange() {
  ++FDisableSettingsChange;
}

void TSettingsPage::EndSettingsChange() {
  --FDisableSettingsChange;
  if (FDisableSettingsChange == 0) {
    GroupBox_LogDirectory->setEnabled(CheckBox_EnblLogging->isChecked());
    SpinBox_Days->setEnabled(CheckBox_AutoDelete->isChecked());
  }
}

void TSettingsPage::SettingsToForm() {
  const TSettings &LSettings = GetSettings();
  BeginSettingsChange();
  CheckBox_EnblLogging->setChecked(LSettings.EnableLog());
  Edit_LogDirectory->setText(LSettings.LogFolder());
  CheckBox_AutoDelete->setChecked(LSettings.DeleteOldLogFiles());
  // The box keeps its value within its limits (1 to 365).
  SpinBox_Days->setValue(LSettings.DeleteOldLogFilesDays());
  EndSettingsChange();
}

void TSettingsPage::SettingsFromForm() {
  TSettings &LSettings = GetSettings();
  LSettings.SetEnableLog(CheckBox_EnblLogging->isChecked());
  LSettings.SetLogFolder(Edit_LogDirectory->text());
  LSettings.SetDeleteOldLogFiles(CheckBox_AutoDelete->isChecked());
  LSettings.SetDeleteOldLogFilesDays(SpinBox_Days->value());
}

void TSettingsPage::CheckBox_EnblLoggingChange() {
  if (FDisableSettingsChange > 0)
    return;
  TSettings &LSettings = GetSettings();
  const bool LWasEnabled = LSettings.EnableLog();
  LSettings.SetEnableLog(CheckBox_EnblLogging->isChecked());
  GroupBox_LogDirectory->setEnabled(CheckBox_EnblLogging->isChecked());
  SwitchLogging(LWasEnabled);
  FHost.UpdateActions();
}

void TSettingsPage::SwitchLogging(bool AWasEnabled) {
  const TSettings &LSettings = GetSettings();
  if (LSettings.EnableLog() == AWasEnabled)
    return;
  TLogger &LLogger = GetLogger();
  if (LSettings.EnableLog()) {
    LLogger.StartLogging(LSettings.LogFolder(),
                         LSettings.DeleteOldLogFiles() ? LSettings.DeleteOldLogFilesDays() : 0);
    LLogger.WriteLog(rs::LoggingStarted);
  } else {
    LLogger.WriteLog(rs::LoggingStopped);
    LLogger.StopLogging();
  }
}

void TSettingsPage::CheckBox_AutoDeleteChange() {
  if (FDisableSettingsChange > 0)
    return;
  GetSettings().SetDeleteOldLogFiles(CheckBox_AutoDelete->isChecked());
  SpinBox_Days->setEnabled(CheckBox_AutoDelete->isChecked());
  FHost.UpdateActions();
}

void TSettingsPage::SpinBox_DaysChange() {
  GetSettings().SetDeleteOldLogFilesDays(SpinBox_Days->value());
}

void TSettingsPage::Button_SelectLogDirectoryClick() {
  // No folder is preselected, whatever the edit holds.
  QString LFolder;
  if (!BrowseFolder(QStringLiteral("Select folder"), LFolder, &FHost.DialogOwner(), false))
    return;
  Edit_LogDirectory->setText(LFolder);
  GetSettings().SetLogFolder(LFolder);
}

void TSettingsPage::acApplySettingsExecute() {
  SettingsFromForm();
  GetSettings().SaveSettingsToIniFile();
}

void TSettingsPage::acRestoreSettingsExecute() {
  TSettings &LSettings = GetSettings();
  const bool LWasEnabled = LSettings.EnableLog();
  LSettings.LoadDefaultValues();
  SettingsToForm();
  GetLogger().WriteLog(rs::RestoreDefaultSettings);
  SwitchLogging(LWasEnabled);
}

void TSettingsPage::LoggingDisabled(TLogger &) {
  TSettings &LSettings = GetSettings();
  const bool LWasEnabled = LSettings.EnableLog();
  LSettings.SetEnableLog(false);
  SettingsToForm();
  LSettings.SaveSettingsToIniFile();
  SwitchLogging(LWasEnabled);
}
