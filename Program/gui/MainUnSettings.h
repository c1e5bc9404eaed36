// The settings page: the change log's settings, mirrored from and into the
// settings object. "Enable Log" switches logging on or off at once; the
// folder and the clean-up of old log files are used the next time logging
// starts; "Apply" writes Settings.ini, "Restore Defaults" takes the defaults.
// The page reaches the window through TPageHost only.
#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class TAction;
class TLogger;
class TPageHost;

class TSettingsPage : public QWidget {
  Q_OBJECT
public:
  TSettingsPage(TPageHost &AHost, QWidget *AParent);

  // The settings into the controls, and the controls into the settings.
  void SettingsToForm();
  void SettingsFromForm();
  // While a change is made from the settings, the controls' handlers do
  // nothing; the last End enables what the boxes allow.
  void BeginSettingsChange();
  void EndSettingsChange();
  // Starts or stops logging when the setting changed from AWasEnabled.
  void SwitchLogging(bool AWasEnabled);
  // The logger could not write and switched itself off: the setting
  // follows, and is saved.
  void LoggingDisabled(TLogger &ASender);
  void CheckBox_EnblLoggingChange();
  void CheckBox_AutoDeleteChange();
  void SpinBox_DaysChange();
  void Button_SelectLogDirectoryClick();
  void acApplySettingsExecute();
  void acRestoreSettingsExecute();

  QCheckBox *CheckBox_EnblLogging = nullptr;
  QGroupBox *GroupBox_LogDirectory = nullptr;
  QLineEdit *Edit_LogDirectory = nullptr;
  QToolButton *Button_SelectLogDirectory = nullptr;
  QCheckBox *CheckBox_AutoDelete = nullptr;
  QSpinBox *SpinBox_Days = nullptr;
  QPushButton *Button_RestoreSettings = nullptr;
  QPushButton *Button_ApplySettings = nullptr;
  TAction *acApplySettings = nullptr;
  TAction *acRestoreSettings = nullptr;
  int FDisableSettingsChange = 0;

private:
  TPageHost &FHost;
};
