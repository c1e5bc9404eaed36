// The message dialog: an icon for the kind of message, the text (every line
// on its own screen line, never wrapped), "OK" and a close image. It is the
// only way a message reaches the user.
//
// Test seam: SetMessageHook. While a hook is set, ShowMessage passes the text
// and the kind to it and shows no dialog, so tests (and a run without a person)
// never block on a modal loop. TfmMessageForm itself can be created, sized and
// executed by a test directly.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

enum class TMessageFormType { mftWarting = 0, mftInfo = 1, mftError = 2 };

class TfmMessageForm : public QDialog {
  Q_OBJECT
public:
  // Design size of the dialog and of its text area.
  static constexpr int DesignWidth = 285;
  static constexpr int DesignHeight = 146;
  static constexpr int DesignTextAreaHeight = 77;

  explicit TfmMessageForm(QWidget *AOwner);

  // Shows AText modally over the main window and returns when the user has
  // dismissed it with OK or the close image.
  static void ShowMessage(const QString &AText, TMessageFormType AType);

  void SetMessageType(TMessageFormType AType);
  void SetMessageText(const QString &AText);
  // The sizing step of SetMessageText: fits the dialog to a text whose widest
  // line measures AMaxLineWidth and whose label is ATextHeight high.
  void FitToText(float AMaxLineWidth, int ATextHeight);

  QLabel *ImageIcon = nullptr;
  QLabel *TextFirstLine = nullptr;
  QWidget *LayoutText = nullptr;
  QPushButton *Button_Clear = nullptr;
  QLabel *Image2 = nullptr;

protected:
  void resizeEvent(QResizeEvent *AEvent) override;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  void Image2Click();
  void LayoutControls();
  int FTextTop = 0;
};

using TMessageHook = std::function<void(const QString &AText, TMessageFormType AType)>;
// Replaces the dialog with AHook; returns the previous hook. Empty: the dialog.
TMessageHook SetMessageHook(TMessageHook AHook);

void ShowWarningMessage(const QString &AText);
void ShowInfoMessage(const QString &AText);
void ShowErrorMessage(const QString &AText);
