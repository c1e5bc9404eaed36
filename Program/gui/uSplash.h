// The wait overlay: a panel with a short text ("Please wait..." by default)
// laid over the whole client area of the main window while a long operation
// keeps the window's thread busy. It only gives feedback: it runs nothing and
// makes nothing interruptible. At most one overlay exists.
#pragma once

#include <QString>
#include <QWidget>

class QFrame;
class QLabel;

class TSplash : public QWidget {
  Q_OBJECT
public:
  // Builds the overlay on AOwner (the main window): it fills the owner's
  // client area and lets the mouse through.
  explicit TSplash(QWidget *AOwner);

  // Shows the overlay with AText, or "Please wait..." when AText is empty,
  // then processes pending events once so that it is painted before the
  // caller starts its work. A second call only replaces the text.
  static void ShowSplash(const QString &AText = QString());
  // Removes and destroys the overlay; nothing when none is shown.
  static void HideSplash();
  // The overlay on screen, or null.
  static TSplash *Current();

  QFrame *FPanel = nullptr;
  QLabel *FLabel = nullptr;

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
};

// Shows the overlay for the lifetime of the scope: hidden again on every way
// out, also when the work in between fails.
class TSplashScope {
public:
  explicit TSplashScope(const QString &AText = QString()) { TSplash::ShowSplash(AText); }
  ~TSplashScope() { TSplash::HideSplash(); }
  TSplashScope(const TSplashScope &) = delete;
  TSplashScope &operator=(const TSplashScope &) = delete;
};
