// The window on a real X server (Xvfb), without a window manager and under
// one (openbox): a double click on the header maximises the window and a
// second one gives it back its size and place, and a drag of the header moves
// it. The window runs in a child process of this program on the xcb platform;
// the clicks and the drag are X input (xdotool), and the window's geometry is
// read from the X server (xwininfo), not from Qt. Skipped, with the reason,
// where one of those programs is missing (scripts/install-deps --gui installs
// them).
#include "GuiTestSupport.h"
#include "MainUn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace {

// Set in the child's environment: the child shows the window.
constexpr const char *ChildVariable = "VARNWELL_X11_WINDOW_CHILD";
const QSize ScreenSize(1280, 1024);
// A point of the header's empty part, from the window's top left.
const QPoint HeaderPoint(650, 50);
// How long a program may take to come up on a machine that runs other
// tests (and sanitizers) beside this one.
constexpr int KSlowStart = 45000;
// How far the mouse travels with the button down before a move begins: Qt's
// drag distance on X11 without a settings daemon.
constexpr int DragDistance = 10;

// The size and place the settings remember for a window that was closed
// maximised.
const QRect RememberedNormal(100, 80, 1000, 760);

// The child: the window, with its settings in a temporary folder, on the X
// server of $DISPLAY; with AMaximized the settings remember a maximised
// window. It prints "window <id>" once the window is exposed and ends when
// its standard input closes.
int RunWindowChild(int argc, char **argv, bool AMaximized) {
  QApplication LApp(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  guitest::TExecutableFolder LExe;
  if (AMaximized) {
    GetSettings().SetWindowGeometry(RememberedNormal.x(), RememberedNormal.y(),
                                    RememberedNormal.width(), RememberedNormal.height(), true);
    GetSettings().SaveSettingsToIniFile();
  }
  TfmMain LMain;
  LMain.show();
  if (!QTest::qWaitForWindowExposed(&LMain))
    return 3;
  std::printf("window %llu\n", static_cast<unsigned long long>(LMain.winId()));
  std::fflush(stdout);
  QSocketNotifier LInput(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&LInput, &QSocketNotifier::activated, &LApp, [&LApp, &LInput] {
    char LBuffer[64];
    if (::read(STDIN_FILENO, LBuffer, sizeof LBuffer) <= 0) {
      LInput.setEnabled(false);
      LApp.quit();
    }
  });
  return QApplication::exec();
}

// A process of the test's own, ended when it goes.
struct TOwnProcess {
  std::unique_ptr<QProcess> FProcess = std::make_unique<QProcess>();
  ~TOwnProcess() {
    if (FProcess->state() == QProcess::NotRunning)
      return;
    FProcess->closeWriteChannel();
    if (!FProcess->waitForFinished(3000)) {
      FProcess->terminate();
      if (!FProcess->waitForFinished(3000)) {
        FProcess->kill();
        FProcess->waitForFinished(3000);
      }
    }
  }
  QProcess *operator->() const { return FProcess.get(); }
};

} // namespace

class TTestX11Window : public QObject {
  Q_OBJECT
private:
  QProcessEnvironment FEnvironment;

  // Runs a program on the test's X server and returns what it printed.
  QString Run(const QString &AProgram, const QStringList &AArguments) const {
    QProcess LProcess;
    LProcess.setProcessEnvironment(FEnvironment);
    LProcess.start(AProgram, AArguments);
    if (!LProcess.waitForFinished(10000) || LProcess.exitStatus() != QProcess::NormalExit ||
        LProcess.exitCode() != 0)
      return {};
    return QString::fromLocal8Bit(LProcess.readAllStandardOutput());
  }
  // The window's place and size as the X server has them.
  QRect Geometry(const QString &AWindow) const {
    const QString LInfo = Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), AWindow});
    const auto LNumber = [&LInfo](const QString &AName) {
      const QRegularExpressionMatch LMatch =
          QRegularExpression(AName + QStringLiteral(":\\s*(-?\\d+)")).match(LInfo);
      return LMatch.hasMatch() ? LMatch.captured(1).toInt() : -1;
    };
    return {LNumber(QStringLiteral("Absolute upper-left X")),
            LNumber(QStringLiteral("Absolute upper-left Y")), LNumber(QStringLiteral("Width")),
            LNumber(QStringLiteral("Height"))};
  }
  bool WaitForGeometry(const QString &AWindow, const QRect &AWanted, QRect &ALast) const {
    QElapsedTimer LTimer;
    LTimer.start();
    do {
      ALast = Geometry(AWindow);
      if (ALast == AWanted)
        return true;
      QTest::qWait(50);
    } while (LTimer.elapsed() < 15000);
    return false;
  }
  bool Xdotool(const QStringList &AArguments) const {
    QProcess LProcess;
    LProcess.setProcessEnvironment(FEnvironment);
    LProcess.start(QStringLiteral("xdotool"), AArguments);
    return LProcess.waitForFinished(10000) && LProcess.exitCode() == 0;
  }
  bool MoveMouseTo(const QPoint &APoint) const {
    return Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                    QString::number(APoint.x()), QString::number(APoint.y())});
  }
  static QString Text(const QRect &ARect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(ARect.x())
        .arg(ARect.y())
        .arg(ARect.width())
        .arg(ARect.height());
  }

private Q_SLOTS:
  void HeaderDoubleClickAndDrag_data() {
    QTest::addColumn<bool>("WindowManager");
    QTest::addColumn<bool>("Maximised"); // the settings remember a maximised window
    QTest::newRow("no window manager") << false << false;
    QTest::newRow("openbox") << true << false;
    QTest::newRow("no window manager, opens maximised") << false << true;
    QTest::newRow("openbox, opens maximised") << true << true;
  }
  void HeaderDoubleClickAndDrag() {
    QFETCH(bool, WindowManager);
    QFETCH(bool, Maximised);
    QStringList LPrograms{QStringLiteral("Xvfb"), QStringLiteral("xdotool"),
                          QStringLiteral("xwininfo")};
    if (WindowManager)
      LPrograms << QStringLiteral("openbox") << QStringLiteral("xprop");
    QStringList LMissing;
    for (const QString &LProgram : LPrograms)
      if (QStandardPaths::findExecutable(LProgram).isEmpty())
        LMissing.append(LProgram);
    if (!LMissing.isEmpty())
      QSKIP(qPrintable(QStringLiteral("not installed: ") + LMissing.join(QStringLiteral(", ")) +
                       QStringLiteral(" (scripts/install-deps --gui installs them)")));

    // The X server picks a free display and writes its number to its output.
    TOwnProcess LServer;
    LServer->start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(ScreenSize.width()).arg(ScreenSize.height()),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY2(LServer->waitForStarted(5000), "Xvfb does not start");
    QByteArray LDisplay;
    QElapsedTimer LTimer;
    LTimer.start();
    while (!LDisplay.contains('\n') && LTimer.elapsed() < KSlowStart &&
           LServer->state() == QProcess::Running) {
      LServer->waitForReadyRead(200);
      LDisplay += LServer->readAllStandardOutput();
    }
    LDisplay = LDisplay.trimmed();
    QVERIFY2(!LDisplay.isEmpty(), LServer->readAllStandardError().constData());
    FEnvironment = QProcessEnvironment::systemEnvironment();
    FEnvironment.insert(QStringLiteral("DISPLAY"),
                        QStringLiteral(":") + QString::fromLatin1(LDisplay));
    FEnvironment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    FEnvironment.remove(QStringLiteral("XAUTHORITY"));

    std::unique_ptr<TOwnProcess> LManager;
    if (WindowManager) {
      // On a loaded machine openbox now and then ends while it comes up,
      // before it has managed anything: it is started again then, up to
      // three times.
      QByteArray LManagerErrors;
      LTimer.restart();
      for (int LAttempt = 0; LAttempt < 3; ++LAttempt) {
        LManager = std::make_unique<TOwnProcess>();
        (*LManager)->setProcessEnvironment(FEnvironment);
        (*LManager)->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY2((*LManager)->waitForStarted(5000), "openbox does not start");
        // The window manager is up once it names its window on the root window.
        while (!Run(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QStringLiteral("window id")) &&
               LTimer.elapsed() < KSlowStart && (*LManager)->state() == QProcess::Running)
          QTest::qWait(50);
        if ((*LManager)->state() == QProcess::Running)
          break;
        LManagerErrors += (*LManager)->readAllStandardError();
      }
      QVERIFY2((*LManager)->state() == QProcess::Running, LManagerErrors.constData());
      QVERIFY2(LTimer.elapsed() < KSlowStart, "openbox does not come up");
    }

    TOwnProcess LChild;
    QProcessEnvironment LChildEnvironment = FEnvironment;
    LChildEnvironment.insert(QString::fromLatin1(ChildVariable),
                             Maximised ? QStringLiteral("maximised") : QStringLiteral("normal"));
    LChildEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    LChild->setProcessEnvironment(LChildEnvironment);
    LChild->start(QCoreApplication::applicationFilePath(), {});
    QVERIFY2(LChild->waitForStarted(5000), "the window's process does not start");
    QByteArray LLine;
    LTimer.restart();
    while (!LLine.contains('\n') && LTimer.elapsed() < 2 * KSlowStart &&
           LChild->state() == QProcess::Running) {
      LChild->waitForReadyRead(200);
      LLine += LChild->readAllStandardOutput();
    }
    const QRegularExpressionMatch LId =
        QRegularExpression(QStringLiteral("window (\\d+)")).match(QString::fromLatin1(LLine));
    QVERIFY2(LId.hasMatch(), LChild->readAllStandardError().constData());
    const QString LWindow = LId.captured(1);

    const QRect LScreen(QPoint(0, 0), ScreenSize);
    QRect LSeen;
    if (Maximised) {
      // It opens on the whole screen; a double click gives it the size and
      // place it had before it was maximised, a second one the screen again.
      QVERIFY2(WaitForGeometry(LWindow, LScreen, LSeen),
               qPrintable(QStringLiteral("opened maximised: ") + Text(LSeen)));
      QVERIFY(MoveMouseTo(HeaderPoint));
      QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                       QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
      QVERIFY2(WaitForGeometry(LWindow, RememberedNormal, LSeen),
               qPrintable(QStringLiteral("restored: ") + Text(LSeen)));
      QVERIFY(MoveMouseTo(RememberedNormal.topLeft() + HeaderPoint));
      QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                       QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
      QVERIFY2(WaitForGeometry(LWindow, LScreen, LSeen),
               qPrintable(QStringLiteral("maximised again: ") + Text(LSeen)));
      return;
    }
    const QRect LNormal = Geometry(LWindow);
    QCOMPARE(LNormal.size(), QSize(TfmMain::ClientWidth, TfmMain::ClientHeight));

    // Double click: maximised, the whole screen.
    QVERIFY(MoveMouseTo(LNormal.topLeft() + HeaderPoint));
    QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                     QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
    QVERIFY2(WaitForGeometry(LWindow, LScreen, LSeen),
             qPrintable(QStringLiteral("after a double click: ") + Text(LSeen)));

    // Double click again: back to its size and place.
    QVERIFY(MoveMouseTo(HeaderPoint));
    QVERIFY(Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                     QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
    QVERIFY2(WaitForGeometry(LWindow, LNormal, LSeen),
             qPrintable(QStringLiteral("after the second double click: ") + Text(LSeen)));

    // A drag of the header moves the window with the mouse.
    const QPoint LStart = LNormal.topLeft() + HeaderPoint;
    QVERIFY(MoveMouseTo(LStart));
    QVERIFY(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    const QPoint LStep(6, 4);
    for (int i = 1; i <= 10; ++i) {
      QVERIFY(MoveMouseTo(LStart + LStep * i));
      QTest::qWait(20);
    }
    QVERIFY(Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    const QString LWhere = QStringLiteral("after a drag by 60,40 from ") + Text(LNormal);
    if (!WindowManager) {
      // The window follows the mouse by hand, from the press on.
      QVERIFY2(WaitForGeometry(LWindow, LNormal.translated(LStep * 10), LSeen),
               qPrintable(LWhere + QStringLiteral(": ") + Text(LSeen)));
      return;
    }
    // The window manager moves the window from where the mouse was when the
    // move began: the drag distance travelled before that may be missing.
    QTest::qWait(300);
    LSeen = Geometry(LWindow);
    const QPoint LMoved = LSeen.topLeft() - LNormal.topLeft();
    const QPoint LDragged = LStep * 10;
    QVERIFY2(LSeen.size() == LNormal.size() && LMoved.x() <= LDragged.x() &&
                 LMoved.y() <= LDragged.y() &&
                 (LDragged - LMoved).manhattanLength() <= DragDistance,
             qPrintable(LWhere + QStringLiteral(": ") + Text(LSeen)));
  }
};

int main(int argc, char **argv) {
  if (const char *LChild = std::getenv(ChildVariable))
    return RunWindowChild(argc, argv, QByteArray(LChild) == "maximised");
  QCoreApplication LApp(argc, argv);
  TTestX11Window LTest;
  return QTest::qExec(&LTest, argc, argv);
}

#include "tst_x11window.moc"
