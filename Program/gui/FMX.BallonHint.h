// The balloon hint: a small always-on-top window with a tail that points at
// the mouse from above and shows a title and a text (an item's name and the
// reason its rename failed). One balloon exists at most.
//
// ShowBalloonHint does not show the window at once: a 100 ms timer counts the
// ticks for which the mouse rests on the target control and shows the balloon
// from the third tick in a row, follows the mouse while it stays there, hides
// it when the mouse leaves, and gives up after 101 ticks in a row.
// HideBalloonHint stops the timer at once and hides a visible balloon 200 ms
// later without blocking the thread; it does nothing more when the balloon is
// already hidden.
//
// Test seams: TfmBallonHint::Instance() gives the window; TimerTimer() runs
// one tick; SetCursorPosHook replaces the mouse position; FinishHide() runs a
// pending delayed hide at once.
#pragma once

#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPainterPath;
class QRegion;

class TfmBallonHint : public QWidget {
  Q_OBJECT
public:
  static constexpr int TailLeft = 20;

  TfmBallonHint();
  ~TfmBallonHint() override;

  // The one balloon; created on first use when ACreate is set.
  static TfmBallonHint *Instance(bool ACreate = false);

  void Request(QWidget &AControl, const QString &ATitle, const QString &AText);
  void Hide();
  // One timer tick.
  void TimerTimer();
  // Fits the window to its title and text lines; where the window cannot be
  // translucent (UsesWindowMask) its mask follows the shape.
  void FitToText();
  // The balloon's outline for its present size: the rounded rectangle and
  // the tail, as painted.
  QPainterPath Shape() const;
  // The window region that Shape covers.
  QRegion ShapeRegion() const;
  // True where the window's transparent corners may not be composited: on
  // X11, where Qt cannot tell whether a compositing manager runs (without
  // one a translucent window shows a black rectangle). The window is cut to
  // its shape there; elsewhere translucency alone shapes it.
  static bool UsesWindowMask();
  // Runs a pending delayed hide now; false when none is pending.
  bool FinishHide();
  bool HidePending() const { return FHideTimer.isActive(); }
  bool TimerActive() const { return FTimer.isActive(); }
  quint32 Counter() const { return FCounter; }

  QLabel *lbTitle = nullptr;
  QLabel *lBallonHint = nullptr;
  QPointer<QWidget> TargetControl;
  QPointer<QWidget> TargetForm;

protected:
  void paintEvent(QPaintEvent *AEvent) override;
  void showEvent(QShowEvent *AEvent) override;

private:
  // Places the window above the mouse; true when the mouse is on the target.
  bool PlaceAtMouse();

  QTimer FTimer;
  QTimer FHideTimer;
  quint32 FCounter = 0;
  QPointF FScreenSize;
};

// Requests the balloon for AControl (a widget inside a window).
void ShowBalloonHint(QObject *AControl, const QString &ATitle, const QString &AText);
// Stops the balloon and hides it 200 ms later; nothing when it is hidden.
void HideBalloonHint();

// Replaces the mouse position (screen coordinates) that the balloon reads.
using TCursorPosHook = std::function<QPoint()>;
TCursorPosHook SetCursorPosHook(TCursorPosHook AHook);
