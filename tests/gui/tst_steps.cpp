// The window answers while a long step runs: on a real exFAT through FUSE
// (slow moves), the GUI thread's 10 ms timer keeps firing during a Rename of
// 2,000 files. Ticks are counted while the step runs; no time is measured.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MountFixtures.h"
#include "uAction.h"
#include "uPageKit.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TTestSteps : public QObject {
  Q_OBJECT
private Q_SLOTS:
  void TheWindowAnswersDuringARenameOnExfat() {
    testsupport::TExfatMount LExfat;
    if (!LExfat.Mounted())
      QSKIP(qPrintable(LExfat.SkipReason()));
    guitest::TExecutableFolder LExe;
    guitest::TMessageRecorder LMessages;
    QStringList LPaths;
    for (int i = 0; i < 2000; ++i) {
      const QString LPath = LExfat.Root() + u"/f%1.txt"_s.arg(i, 4, 10, QLatin1Char('0'));
      QFile LFile(LPath);
      QVERIFY(LFile.open(QIODevice::WriteOnly));
      LPaths.append(LPath);
    }
    const TOpenFilesHook LPrevious =
        SetOpenFilesHook([&LPaths](const QString &) { return std::optional(LPaths); });
    TfmMain LMain;
    LMain.ShowPage(TMainPage::mpFileRename);
    LMain.show();
    TFilePage &LPage = *LMain.FilePage;
    LPage.acAddFile->trigger();
    SetOpenFilesHook(LPrevious);
    QVERIFY(guitest::WaitForStep(LPage));
    LPage.Edit_RenameMask->setFocus();
    LPage.Edit_RenameMask->setText(u"[N]_r"_s);
    QTest::keyClick(LPage.Edit_RenameMask, Qt::Key_Return);

    int LTicks = 0;
    int LReports = 0;
    QTimer LTimer;
    LTimer.setInterval(10);
    connect(&LTimer, &QTimer::timeout, &LPage, [&] { LTicks += LPage.StepRunning() ? 1 : 0; });
    connect(LPage.StepWorker, &TStepWorker::Progressed, &LPage, [&] { ++LReports; });
    LTimer.start();
    LPage.acRename->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!LMessages.Messages().isEmpty(), 600000);
    LTimer.stop();
    QCOMPARE(LMessages.Texts(), QStringList{u"Rename done."_s});
    QCOMPARE(QDir(LExfat.Root()).entryList({u"*_r.txt"_s}, QDir::Files).size(), 2000);
    QVERIFY2(LTicks > 0, "the GUI thread's timer did not fire while the Rename ran");
    QVERIFY(LReports > 0);
    qInfo("timer ticks during the Rename: %d, progress reports: %d", LTicks, LReports);
  }
};

QTEST_MAIN(TTestSteps)
#include "tst_steps.moc"
