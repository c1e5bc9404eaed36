// The wait overlay over a main window: its text, its single instance, that it
// is painted before ShowSplash returns, and that it is gone after HideSplash.
#include "uSplash.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPaintEvent>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>

namespace {

// Counts the paint events that reach any overlay.
class TPaintCounter : public QObject {
public:
  int FPaints = 0;

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Paint && qobject_cast<TSplash *>(AWatched) != nullptr)
      ++FPaints;
    return QObject::eventFilter(AWatched, AEvent);
  }
};

} // namespace

class TTestSplash : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<QWidget> FMain;

  int OverlayCount() const { return static_cast<int>(FMain->findChildren<TSplash *>().size()); }

private Q_SLOTS:
  void init() {
    FMain = std::make_unique<QWidget>();
    FMain->setObjectName(QStringLiteral("fmMain"));
    FMain->resize(900, 700);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  void cleanup() {
    TSplash::HideSplash();
    FMain.reset();
  }

  void HideWithoutShowDoesNothing() {
    TSplash::HideSplash();
    QVERIFY(TSplash::Current() == nullptr);
    QCOMPARE(OverlayCount(), 0);
  }

  void TextOrDefault_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Shown");
    QTest::newRow("empty gives the default") << QString() << QStringLiteral("Please wait...");
    QTest::newRow("a text of its own") << QStringLiteral("Counting") << QStringLiteral("Counting");
  }
  void TextOrDefault() {
    QFETCH(QString, Text);
    QFETCH(QString, Shown);
    TSplash::ShowSplash(Text);
    TSplash *LSplash = TSplash::Current();
    QVERIFY(LSplash != nullptr);
    QCOMPARE(LSplash->FLabel->text(), Shown);
    QCOMPARE(LSplash->FLabel->alignment(), Qt::AlignCenter);
  }

  void CoversTheWindowAndLetsTheMouseThrough() {
    TSplash::ShowSplash();
    TSplash *LSplash = TSplash::Current();
    QVERIFY(LSplash != nullptr);
    QCOMPARE(LSplash->parentWidget(), FMain.get());
    QCOMPARE(LSplash->geometry(), FMain->rect());
    QVERIFY(LSplash->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(LSplash->FPanel->size(), QSize(300, 120));
    QCOMPARE(LSplash->FPanel->geometry().center(), FMain->rect().center());
    FMain->resize(1000, 800);
    QCOMPARE(LSplash->geometry(), QRect(0, 0, 1000, 800));
  }

  void SecondShowReplacesTheTextAndOneHideEndsIt() {
    TSplash::ShowSplash();
    TSplash *LFirst = TSplash::Current();
    TSplash::ShowSplash(QStringLiteral("Still busy"));
    QCOMPARE(TSplash::Current(), LFirst);
    QCOMPARE(OverlayCount(), 1);
    QCOMPARE(LFirst->FLabel->text(), QStringLiteral("Still busy"));
    TSplash::HideSplash();
    QVERIFY(TSplash::Current() == nullptr);
    QCOMPARE(OverlayCount(), 0);
  }

  void PaintedAndQueuedEventsRunBeforeShowReturns() {
    TPaintCounter LCounter;
    qApp->installEventFilter(&LCounter);
    bool LQueuedRan = false;
    QTimer::singleShot(0, FMain.get(), [&] { LQueuedRan = true; });
    TSplash::ShowSplash();
    qApp->removeEventFilter(&LCounter);
    QVERIFY(LCounter.FPaints >= 1);
    QVERIFY(LQueuedRan);
  }

  void ScopeHidesOnEveryWayOut() {
    try {
      TSplashScope LScope;
      QVERIFY(TSplash::Current() != nullptr);
      throw std::runtime_error("walk failed");
    } catch (const std::runtime_error &) {
    }
    QVERIFY(TSplash::Current() == nullptr);
    QCOMPARE(OverlayCount(), 0);
  }

  void NoMainWindowNoOverlay() {
    FMain.reset();
    TSplash::ShowSplash();
    QVERIFY(TSplash::Current() == nullptr);
    TSplash::HideSplash();
  }
};

QTEST_MAIN(TTestSplash)
#include "tst_splash.moc"
