// The select-folder dialog: the folder whose folders the folder page collects
// (typed, or picked with the browse-for-folder dialog) and what of it to take:
// the folder itself, the folders below it, or both. It checks the input before
// it closes and keeps no values of its own; its caller passes the starting
// values in and stores the results.
//
// Test seam: SetSelectFolderHook. While a hook is set, Execute builds the
// dialog with its starting values and hands it to the hook in place of the
// modal loop; the hook plays the user (types, ticks, presses OK or the close
// image) and Execute reads the dialog's result as it would after the loop.
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class TfmSelectFolderForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int DesignWidth = 500;
  static constexpr int DesignHeight = 170;

  explicit TfmSelectFolderForm(QWidget *AOwner);

  // Shows the dialog with the three values; true when the user closed it
  // with a valid choice, which is then in the arguments. On false they keep
  // their values.
  static bool Execute(QString &AFolderName, bool &AIncludeSubFolder, bool &AIncludeRootFolder);

  // The text of editSelectDir without leading and trailing blanks and control
  // characters; the setter trims the same way.
  QString SelectedFolderName() const;
  void SetSelectedFolderName(const QString &AValue);
  bool IncludeSubFolder() const;
  void SetIncludeSubFolder(bool AValue);
  bool IncludeRootFolder() const;
  void SetIncludeRootFolder(bool AValue);

  // OK: checks the folder, then the options; closes with Accepted when both
  // pass, otherwise warns and stays open.
  void Button_ClearClick();
  // "...": browse for a folder, starting at the typed one.
  void btSelectDirClick();
  // The close image: ends without a result.
  void Image2Click();

  QLabel *Image2 = nullptr;
  QLabel *lbFolderName = nullptr;
  QLineEdit *editSelectDir = nullptr;
  QToolButton *btSelectDir = nullptr;
  QCheckBox *cbIncludeRootDir = nullptr;
  QCheckBox *cbIncludeSubDir = nullptr;
  QPushButton *Button_Clear = nullptr;
  QLabel *imgButton_Ok = nullptr;

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
};

// Trims blanks and control characters (every code unit up to U+0020) from
// both ends of AText.
QString TrimBlanksAndControls(const QString &AText);

using TSelectFolderHook = std::function<void(TfmSelectFolderForm &AForm)>;
// Replaces the modal loop of Execute with AHook; returns the previous hook.
// Empty: the real modal loop.
TSelectFolderHook SetSelectFolderHook(TSelectFolderHook AHook);
