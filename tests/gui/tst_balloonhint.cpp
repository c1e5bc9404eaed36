// The balloon hint and the hint column: when the balloon shows and hides, its
// size and place, the delayed hide, and the mark drawn in every row.
#include "FMX.BallonHint.h"
#include "GuiTestSupport.h"
#include "uControlUtils.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

using guitest::TFakeCursor;
using guitest::TFixedTextWidth;

namespace {

// A window with a grid-sized target control inside it.
struct TTargetWindow {
  TTargetWindow(const QPoint &AWindowPos = QPoint(100, 100)) {
    Window.setGeometry(QRect(AWindowPos, QSize(400, 300)));
    Target = new QWidget(&Window);
    Target->setGeometry(50, 40, 200, 100);
    Window.show();
  }
  // A point inside the target, in screen coordinates.
  QPoint Inside(const QPoint &AOffset = QPoint(10, 10)) const {
    return Target->mapToGlobal(AOffset);
  }
  QPoint Outside() const { return Target->mapToGlobal(QPoint(-5, -5)); }

  QWidget Window;
  QWidget *Target = nullptr;
};

TfmBallonHint &Balloon() {
  return *TfmBallonHint::Instance();
}

void Ticks(int ACount) {
  for (int LIndex = 0; LIndex < ACount; ++LIndex)
    Balloon().TimerTimer();
}

} // namespace

class TTestBalloonHint : public QObject {
  Q_OBJECT
private Q_SLOTS:
  // Runs first: before any request there is no balloon.
  void RequestForSomethingThatIsNoControlDoesNothing() {
    QObject LNotAControl;
    ShowBalloonHint(&LNotAControl, QStringLiteral("t"), QStringLiteral("x"));
    ShowBalloonHint(nullptr, QStringLiteral("t"), QStringLiteral("x"));
    QCOMPARE(TfmBallonHint::Instance(), nullptr);
    HideBalloonHint(); // nothing to hide: no crash, no balloon
    QCOMPARE(TfmBallonHint::Instance(), nullptr);
  }

  void ControlOutsideAWindowGetsNoBalloon() {
    QWidget LLoose;
    ShowBalloonHint(&LLoose, QStringLiteral("t"), QStringLiteral("x"));
    QVERIFY(TfmBallonHint::Instance() != nullptr);
    QVERIFY(!Balloon().TimerActive());
    QVERIFY(!Balloon().isVisible());
  }

  void ShowsFromTheThirdTickAndFollowsTheMouse() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    QVERIFY(Balloon().TimerActive());
    QCOMPARE(Balloon().TimerActive(), true);
    Ticks(1);
    QVERIFY(!Balloon().isVisible());
    Ticks(1);
    QVERIFY(!Balloon().isVisible());
    Ticks(1);
    QVERIFY(Balloon().isVisible());
    // The tail's tip, 20 from the left edge at the bottom, is at the mouse.
    QCOMPARE(Balloon().pos(), LWindow.Inside() - QPoint(20, Balloon().height()));
    LCursor.MoveTo(LWindow.Inside(QPoint(60, 30)));
    Ticks(1);
    QCOMPARE(Balloon().pos(), LWindow.Inside(QPoint(60, 30)) - QPoint(20, Balloon().height()));
    HideBalloonHint();
    Balloon().FinishHide();
  }

  void LeavingHidesAndReturningCountsAgain() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Ticks(4);
    QVERIFY(Balloon().isVisible());
    LCursor.MoveTo(LWindow.Outside());
    Ticks(1);
    QVERIFY(!Balloon().isVisible());
    QCOMPARE(Balloon().Counter(), 0u);
    LCursor.MoveTo(LWindow.Inside());
    Ticks(2);
    QVERIFY(!Balloon().isVisible());
    Ticks(1);
    QVERIFY(Balloon().isVisible());
    HideBalloonHint();
    Balloon().FinishHide();
  }

  void GivesUpAfter101Ticks() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Ticks(100);
    QVERIFY(Balloon().isVisible());
    QVERIFY(Balloon().TimerActive());
    Ticks(1);
    QVERIFY(!Balloon().isVisible());
    QVERIFY(!Balloon().TimerActive());
  }

  // The region a window without translucency is cut to: the pixels the
  // balloon paints are inside it, the transparent corners outside.
  void ShapeRegionFollowsWhatIsPainted() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Balloon().FitToText();
    QImage LImage(Balloon().size(), QImage::Format_ARGB32_Premultiplied);
    LImage.fill(Qt::transparent);
    {
      QPainter LPainter(&LImage);
      Balloon().render(&LPainter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    const QRegion LRegion = Balloon().ShapeRegion();
    int LOutside = 0;
    for (int LY = 0; LY < LImage.height(); ++LY)
      for (int LX = 0; LX < LImage.width(); ++LX)
        if (qAlpha(LImage.pixel(LX, LY)) > 200 && !LRegion.contains(QPoint(LX, LY)))
          ++LOutside;
    QCOMPARE(LOutside, 0);
    QVERIFY(!LRegion.contains(QPoint(0, 0)));
    QVERIFY(!LRegion.contains(QPoint(LImage.width() - 1, 0)));
    QVERIFY(!LRegion.contains(QPoint(LImage.width() - 1, LImage.height() - 1)));
    QVERIFY(LRegion.contains(QPoint(LImage.width() / 2, LImage.height() / 3)));
    QVERIFY(LRegion.contains(QPoint(TfmBallonHint::TailLeft + 2, LImage.height() - 4)));
    Balloon().FinishHide();
    HideBalloonHint();
  }

  void Size_data() {
    QTest::addColumn<QString>("Title");
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QSize>("Size");
    // 10 per character.
    QTest::newRow("three lines: 40.5 rounds to 40")
        << QStringLiteral("Error") << QStringLiteral("a\nbb\r\nccc") << QSize(72, 95);
    QTest::newRow("a wide title sets the width")
        << QString(40, QLatin1Char('T')) << QStringLiteral("short\nlines") << QSize(422, 82);
    QTest::newRow("the widest line sets the width")
        << QStringLiteral("Error") << QStringLiteral("ab\n") + QString(30, QLatin1Char('x'))
        << QSize(322, 82);
    QTest::newRow("one line: 13.5 rounds to 14")
        << QStringLiteral("Error") << QStringLiteral("abc") << QSize(72, 69);
    QTest::newRow("empty text counts as no line")
        << QStringLiteral("Error") << QString() << QSize(72, 55);
  }
  void Size() {
    QFETCH(QString, Title);
    QFETCH(QString, Text);
    QFETCH(QSize, Size);
    TFixedTextWidth LWidth;
    TTargetWindow LWindow;
    ShowBalloonHint(LWindow.Target, Title, Text);
    QCOMPARE(Balloon().size(), Size);
    QCOMPARE(Balloon().lbTitle->text(), Title);
    QCOMPARE(Balloon().lBallonHint->text(), Text);
    HideBalloonHint();
  }

  void KeptInsideAtTheRightEdge() {
    TFakeCursor LCursor;
    TFixedTextWidth LWidth;
    const QPointF LScreen = GetMainScreenSize();
    const QPoint LCorner(static_cast<int>(LScreen.x()), static_cast<int>(LScreen.y()));
    TTargetWindow LWindow(LCorner - QPoint(300, 200));
    // 30 characters: 322 wide, more than the room right of the mouse.
    ShowBalloonHint(LWindow.Target, QStringLiteral("Error"), QString(30, QLatin1Char('x')));
    const QPoint LMouse = LWindow.Target->mapToGlobal(QPoint(150, 50));
    QVERIFY(LMouse.x() - 20 + 322 > LCorner.x());
    LCursor.MoveTo(LMouse);
    Ticks(3);
    QVERIFY(Balloon().isVisible());
    QCOMPARE(Balloon().pos(), QPoint(LCorner.x() - 322, LMouse.y() - 69));
    HideBalloonHint();
    Balloon().FinishHide();
  }

  void MayLeaveTheScreenAtTheTop() {
    TFakeCursor LCursor;
    TFixedTextWidth LWidth;
    TTargetWindow LWindow(QPoint(0, 0));
    ShowBalloonHint(LWindow.Target, QStringLiteral("Error"), QStringLiteral("abc"));
    const QPoint LMouse = LWindow.Target->mapToGlobal(QPoint(10, 2));
    LCursor.MoveTo(LMouse);
    Ticks(3);
    QCOMPARE(Balloon().pos(), LMouse - QPoint(20, 69));
    QVERIFY(Balloon().y() < 0);
    HideBalloonHint();
    Balloon().FinishHide();
  }

  // HideBalloonHint used to block the thread for 200 ms on every call; the
  // grids call it on every mouse move outside the hint column.
  void HideDoesNotBlockAndHidesLater() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Ticks(3);
    QVERIFY(Balloon().isVisible());
    HideBalloonHint();
    // Stopped at once, still visible, hidden by the pending single-shot.
    QVERIFY(!Balloon().TimerActive());
    QVERIFY(Balloon().isVisible());
    QVERIFY(Balloon().HidePending());
    QVERIFY(Balloon().FinishHide());
    QVERIFY(!Balloon().isVisible());
    // Hidden already: nothing is scheduled.
    HideBalloonHint();
    QVERIFY(!Balloon().HidePending());
  }

  void HideOfAPendingRequestStopsIt() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Ticks(2);
    HideBalloonHint();
    QVERIFY(!Balloon().TimerActive());
    QVERIFY(!Balloon().HidePending());
    Ticks(5);
    QVERIFY(!Balloon().isVisible());
  }

  void NewRequestCancelsAPendingHide() {
    TFakeCursor LCursor;
    TTargetWindow LWindow;
    LCursor.MoveTo(LWindow.Inside());
    ShowBalloonHint(LWindow.Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    Ticks(3);
    HideBalloonHint();
    QVERIFY(Balloon().HidePending());
    ShowBalloonHint(LWindow.Target, QStringLiteral("b.txt"), QStringLiteral("Invalid file name"));
    QVERIFY(!Balloon().HidePending());
    QVERIFY(!Balloon().isVisible());
    Ticks(3);
    QVERIFY(Balloon().isVisible());
    QCOMPARE(Balloon().lbTitle->text(), QStringLiteral("b.txt"));
    HideBalloonHint();
    Balloon().FinishHide();
  }

  void TargetGoneStopsTheTimer() {
    TFakeCursor LCursor;
    auto LWindow = std::make_unique<TTargetWindow>();
    LCursor.MoveTo(LWindow->Inside());
    ShowBalloonHint(LWindow->Target, QStringLiteral("a.txt"), QStringLiteral("File not exist"));
    LWindow.reset();
    Ticks(1);
    QVERIFY(!Balloon().TimerActive());
    QVERIFY(!Balloon().isVisible());
  }

  void HintColumnDrawsTheMarkInEveryRow() {
    QStandardItemModel LModel(2, 1);
    LModel.setData(LModel.index(0, 0), QStringLiteral("anything"));
    LModel.setData(LModel.index(1, 0), 42);
    THintColumn LDelegate;
    const QRect LCell(0, 0, 22, 21);
    const auto LPaint = [&](int ARow) {
      QImage LImage(LCell.size(), QImage::Format_ARGB32);
      LImage.fill(Qt::white);
      QPainter LPainter(&LImage);
      QStyleOptionViewItem LOption;
      LOption.rect = LCell;
      LOption.state = QStyle::State_Enabled;
      LDelegate.paint(&LPainter, LOption, LModel.index(ARow, 0));
      LPainter.end();
      return LImage;
    };
    const QImage LFirst = LPaint(0);
    QCOMPARE(LPaint(1), LFirst);
    // The mark lies inside the cell shrunk by 2 on every side.
    bool LMarked = false;
    for (int LY = 0; LY < LCell.height(); ++LY) {
      for (int LX = 0; LX < LCell.width(); ++LX) {
        const bool LInner = THintColumn::MarkRect(LCell).contains(LX, LY);
        const bool LWhite = LFirst.pixel(LX, LY) == qRgb(255, 255, 255);
        if (!LInner)
          QVERIFY2(LWhite, qPrintable(QStringLiteral("mark outside at %1,%2").arg(LX).arg(LY)));
        else if (!LWhite)
          LMarked = true;
      }
    }
    QVERIFY(LMarked);
    QCOMPARE(THintColumn::MarkRect(LCell), QRect(2, 2, 18, 17));
  }

  void HintColumnDrawsTheMarkItsRoleNames() {
    // Row 0 gives no mark; the others give a failure, a conflict, a quiet
    // mark and none.
    QStandardItemModel LModel(5, 1);
    const THintMark LMarks[] = {THintMark::Failure, THintMark::Conflict, THintMark::Quiet,
                                THintMark::None};
    for (int LRow = 1; LRow < 5; ++LRow)
      LModel.setData(LModel.index(LRow, 0), static_cast<int>(LMarks[LRow - 1]), MarkRole);
    THintColumn LDelegate;
    const QRect LCell(0, 0, 22, 21);
    const auto LPaint = [&](int ARow) {
      QImage LImage(LCell.size(), QImage::Format_ARGB32);
      LImage.fill(Qt::white);
      QPainter LPainter(&LImage);
      QStyleOptionViewItem LOption;
      LOption.rect = LCell;
      LOption.state = QStyle::State_Enabled;
      LDelegate.paint(&LPainter, LOption, LModel.index(ARow, 0));
      LPainter.end();
      return LImage;
    };
    QImage LBlank(LCell.size(), QImage::Format_ARGB32);
    LBlank.fill(Qt::white);
    const QImage LFailure = LPaint(1);
    QCOMPARE(LPaint(0), LFailure);
    QVERIFY(LFailure != LBlank);
    QVERIFY(LPaint(2) != LFailure && LPaint(2) != LBlank);
    QVERIFY(LPaint(3) != LFailure && LPaint(3) != LPaint(2) && LPaint(3) != LBlank);
    QCOMPARE(LPaint(4), LBlank);
  }

  void PicturesAreFoundRegardlessOfCase() {
    QPixmap LExact;
    QPixmap LLower;
    QVERIFY(LoadBitmapFromResource(LExact, QStringLiteral("HintColumnIcon")));
    QVERIFY(LoadBitmapFromResource(LLower, QStringLiteral("hintcolumnicon")));
    QCOMPARE(LExact.toImage(), LLower.toImage());
    // Painted at twice the size for high-density screens.
    QCOMPARE(LExact.devicePixelRatio(), 2.0);
    QPixmap LNone;
    QVERIFY(!LoadBitmapFromResource(LNone, QStringLiteral("NoSuchPicture")));
    QVERIFY(LNone.isNull());
    for (const QString &LName :
         {QStringLiteral("Button_Addfile"), QStringLiteral("Button_Addfolder"),
          QStringLiteral("Button_Clear"), QStringLiteral("Button_Delete"),
          QStringLiteral("Button_Rename"), QStringLiteral("Button_Undo"),
          QStringLiteral("WarningMessageIcon"), QStringLiteral("InfoMessageIcon"),
          QStringLiteral("ErrorMessageIcon"), QStringLiteral("ConflictColumnIcon"),
          QStringLiteral("ChainColumnIcon")}) {
      QPixmap LPixmap;
      QVERIFY2(LoadBitmapFromResource(LPixmap, LName), qPrintable(LName));
    }
  }
};

QTEST_MAIN(TTestBalloonHint)
#include "tst_balloonhint.moc"
