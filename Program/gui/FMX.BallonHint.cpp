#include "FMX.BallonHint.h"

#include "uUtilGui.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>
#include <utility>

namespace {

const QColor BalloonFill(0xFF, 0xFF, 0xE1);
const QColor BalloonBorder(0xB8, 0xB0, 0x7A);
constexpr int TitleStripHeight = 28;
constexpr int TailStripHeight = 21;
constexpr int TailWidth = 18;
constexpr int RectangleLeft = 3;
constexpr int TextLeft = 11;

QPointer<TfmBallonHint> &Balloon() {
  static QPointer<TfmBallonHint> LBalloon;
  return LBalloon;
}

TCursorPosHook &CursorPosHook() {
  static TCursorPosHook LHook;
  return LHook;
}

QPoint CursorPos() {
  return CursorPosHook() ? CursorPosHook()() : QCursor::pos();
}

void DestroyBalloon() {
  delete Balloon().data();
}

// Round half to even, as the balloon's sizes want.
int RoundEven(double AValue) {
  return static_cast<int>(std::nearbyint(AValue));
}

} // namespace

TfmBallonHint::TfmBallonHint() : QWidget(nullptr) {
  setObjectName(QStringLiteral("fmBallonHint"));
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_TranslucentBackground, true);
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setAttribute(Qt::WA_TransparentForMouseEvents, true);
  resize(618, 287);

  lbTitle = new QLabel(QStringLiteral("Error Details:"), this);
  lbTitle->setObjectName(QStringLiteral("lbTitle"));
  QFont LTitleFont(QStringLiteral("Arial"));
  LTitleFont.setPixelSize(14);
  LTitleFont.setBold(true);
  lbTitle->setFont(LTitleFont);
  lbTitle->setTextFormat(Qt::PlainText);
  lbTitle->setWordWrap(false);
  lbTitle->setStyleSheet(QStringLiteral("color: #3b3518; background: transparent;"));

  lBallonHint = new QLabel(this);
  lBallonHint->setObjectName(QStringLiteral("lBallonHint"));
  QFont LTextFont = lBallonHint->font();
  LTextFont.setPixelSize(12);
  lBallonHint->setFont(LTextFont);
  lBallonHint->setTextFormat(Qt::PlainText);
  lBallonHint->setWordWrap(false);
  lBallonHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lBallonHint->setStyleSheet(QStringLiteral("color: #3b3518; background: transparent;"));

  FTimer.setInterval(100);
  connect(&FTimer, &QTimer::timeout, this, &TfmBallonHint::TimerTimer);
  FHideTimer.setSingleShot(true);
  FHideTimer.setInterval(200);
  connect(&FHideTimer, &QTimer::timeout, this, [this] { hide(); });
}

TfmBallonHint::~TfmBallonHint() = default;

TfmBallonHint *TfmBallonHint::Instance(bool ACreate) {
  if (!Balloon() && ACreate) {
    // Owned by the application: deleted when it ends.
    Balloon() = new TfmBallonHint;
    qAddPostRoutine(DestroyBalloon);
  }
  return Balloon().data();
}

void TfmBallonHint::Request(QWidget &AControl, const QString &ATitle, const QString &AText) {
  FTimer.stop();
  FHideTimer.stop();
  hide();
  lbTitle->setText(ATitle);
  lBallonHint->setText(AText);
  FScreenSize = GetMainScreenSize();
  FitToText();
  TargetControl = &AControl;
  // The window that holds the control; a control that is a window of its own,
  // or has no parent, has none.
  TargetForm = AControl.parentWidget() != nullptr ? AControl.window() : nullptr;
  FCounter = 0;
  if (TargetForm)
    FTimer.start();
}

void TfmBallonHint::Hide() {
  if (QCoreApplication::closingDown())
    return;
  FTimer.stop();
  TargetControl = nullptr;
  TargetForm = nullptr;
  // Hidden already (or about to be): nothing to wait for.
  if (!isVisible() || FHideTimer.isActive())
    return;
  FHideTimer.start();
}

bool TfmBallonHint::FinishHide() {
  if (!FHideTimer.isActive())
    return false;
  FHideTimer.stop();
  hide();
  return true;
}

void TfmBallonHint::FitToText() {
  float LWidth = GetTextWidth(lbTitle->font(), lbTitle->text());
  const QStringList LLines = SplitLines(lBallonHint->text());
  for (const QString &LLine : LLines)
    LWidth = std::max(LWidth, GetTextWidth(lBallonHint->font(), LLine));
  const int LWindowWidth = RoundEven(LWidth) + 22;
  const int LWindowHeight = RoundEven(LLines.size() * 13.5) + 55;
  resize(LWindowWidth, LWindowHeight);
  const int LRectBottom = LWindowHeight - TailStripHeight;
  lbTitle->move(TextLeft, 4);
  lbTitle->resize(std::max(0, LWindowWidth - TextLeft - 2), TitleStripHeight - 4);
  lBallonHint->setGeometry(RectangleLeft + TextLeft - 1, TitleStripHeight,
                           std::max(0, LWindowWidth - RectangleLeft - TextLeft + 1),
                           std::max(0, LRectBottom - TitleStripHeight));
  lBallonHint->setContentsMargins(2, 0, 0, 0);
  if (UsesWindowMask())
    setMask(ShapeRegion());
}

QPainterPath TfmBallonHint::Shape() const {
  const int LRectBottom = height() - TailStripHeight;
  QPainterPath LShape;
  LShape.setFillRule(Qt::WindingFill);
  LShape.addRoundedRect(QRectF(RectangleLeft, 0, width() - RectangleLeft, LRectBottom), 10, 10);
  QPainterPath LTail;
  LTail.moveTo(TailLeft, LRectBottom - 2.0);
  LTail.lineTo(TailLeft, height());
  LTail.lineTo(TailLeft + TailWidth + 1.0, LRectBottom - 2.0);
  LTail.closeSubpath();
  return LShape.united(LTail);
}

QRegion TfmBallonHint::ShapeRegion() const {
  return QRegion(Shape().toFillPolygon().toPolygon(), Qt::WindingFill);
}

bool TfmBallonHint::UsesWindowMask() {
  return QGuiApplication::platformName() == QStringLiteral("xcb");
}

bool TfmBallonHint::PlaceAtMouse() {
  if (!TargetControl || !TargetForm)
    return false;
  const QPoint LMouse = CursorPos();
  const QPoint LClient = TargetForm->mapFromGlobal(LMouse);
  const QRect LArea(TargetControl->mapTo(TargetForm.data(), QPoint(0, 0)), TargetControl->size());
  if (!LArea.contains(LClient))
    return false;
  // The tail's tip (TailLeft from the left edge, at the bottom) points at the
  // mouse from above. The window is placed in screen coordinates.
  double LX = LMouse.x() - TailLeft;
  double LY = LMouse.y() - height();
  if (!(LMouse.x() > FScreenSize.x() || LMouse.y() > FScreenSize.y())) {
    if (LX + width() > FScreenSize.x())
      LX = FScreenSize.x() - width();
    if (LY + height() > FScreenSize.y())
      LY = FScreenSize.y() - height();
  }
  move(RoundEven(LX), RoundEven(LY));
  return true;
}

void TfmBallonHint::TimerTimer() {
  if (!TargetControl || !TargetForm) {
    FTimer.stop();
    return;
  }
  if (PlaceAtMouse()) {
    ++FCounter;
    if (FCounter > 2)
      show();
  } else {
    hide();
    FCounter = 0;
  }
  if (FCounter > 100) {
    hide();
    FTimer.stop();
  }
}

void TfmBallonHint::showEvent(QShowEvent *AEvent) {
  // Placed before it is seen; the tick count is not touched.
  FitToText();
  PlaceAtMouse();
  QWidget::showEvent(AEvent);
}

void TfmBallonHint::paintEvent(QPaintEvent *) {
  QPainter LPainter(this);
  LPainter.setRenderHint(QPainter::Antialiasing, true);
  const int LRectBottom = height() - TailStripHeight;
  const QRectF LRect(RectangleLeft + 0.5, 0.5, width() - RectangleLeft - 1.0, LRectBottom - 1.0);
  LPainter.setPen(QPen(BalloonBorder, 1.0));
  LPainter.setBrush(BalloonFill);
  LPainter.drawRoundedRect(LRect, 10, 10);

  // The tail: a vertical left edge down to the tip and a slanted edge back up.
  QPainterPath LTail;
  const double LTop = LRectBottom - 1.0;
  LTail.moveTo(TailLeft + 0.5, LTop);
  LTail.lineTo(TailLeft + 0.5, height() - 0.5);
  LTail.lineTo(TailLeft + TailWidth + 0.5, LTop);
  LPainter.setBrush(BalloonFill);
  LPainter.drawPath(LTail);
  // A line of the fill colour along the tail's top hides the rectangle border.
  LPainter.setPen(QPen(BalloonFill, 2.0));
  LPainter.drawLine(QPointF(TailLeft + 1.5, LTop - 0.5),
                    QPointF(TailLeft + TailWidth - 0.5, LTop - 0.5));
}

void ShowBalloonHint(QObject *AControl, const QString &ATitle, const QString &AText) {
  auto *LControl = qobject_cast<QWidget *>(AControl);
  if (LControl == nullptr)
    return;
  TfmBallonHint::Instance(true)->Request(*LControl, ATitle, AText);
}

void HideBalloonHint() {
  if (TfmBallonHint *LBalloon = TfmBallonHint::Instance())
    LBalloon->Hide();
}

TCursorPosHook SetCursorPosHook(TCursorPosHook AHook) {
  return std::exchange(CursorPosHook(), std::move(AHook));
}
