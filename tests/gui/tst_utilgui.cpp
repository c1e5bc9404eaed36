// The window-side utilities: the folder dialog (real and answered), text
// measuring by lines, and finding the main window.
#include "GuiTestSupport.h"
#include "uUtilGui.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using guitest::TBrowseAnswer;
using guitest::TFixedTextWidth;

namespace {

// Plays the user in the next folder dialog: chooses AChoice, or cancels when
// it is empty. Records the folder the dialog opened in.
void AnswerNextFolderDialog(const QString &AChoice, QString &AOpenedIn,
                            bool &ANewFolderButtonShown) {
  QTimer::singleShot(0, [AChoice, &AOpenedIn, &ANewFolderButtonShown] {
    auto *LDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (LDialog == nullptr)
      return;
    AOpenedIn = LDialog->directory().absolutePath();
    ANewFolderButtonShown = false;
    for (QWidget *LButton : LDialog->findChildren<QWidget *>(QStringLiteral("newFolderButton")))
      ANewFolderButtonShown = ANewFolderButtonShown || LButton->isVisible();
    if (AChoice.isEmpty()) {
      LDialog->reject();
      return;
    }
    LDialog->selectFile(AChoice);
    static_cast<QDialog *>(LDialog)->accept();
  });
}

} // namespace

class TTestUtilGui : public QObject {
  Q_OBJECT
private Q_SLOTS:
  void BrowseFolderWithQtsOwnDialog() {
    QTemporaryDir LRoot;
    QDir(LRoot.path()).mkpath(QStringLiteral("Start"));
    QDir(LRoot.path()).mkpath(QStringLiteral("Chosen"));
    const QString LStart = QDir(LRoot.path()).filePath(QStringLiteral("Start"));
    const QString LChosen = QDir(LRoot.path()).filePath(QStringLiteral("Chosen"));

    QString LOpenedIn;
    bool LNewFolderShown = true;
    QString LFolder = LStart;
    AnswerNextFolderDialog(LChosen, LOpenedIn, LNewFolderShown);
    QVERIFY(BrowseFolder(QStringLiteral("Select folder"), LFolder, nullptr, false));
    QCOMPARE(LFolder, LChosen);
    QCOMPARE(LOpenedIn, LStart);
    QVERIFY(!LNewFolderShown);

    // Cancel: false, the folder text unchanged.
    LFolder = LStart;
    AnswerNextFolderDialog(QString(), LOpenedIn, LNewFolderShown);
    QVERIFY(!BrowseFolder(QStringLiteral("Select folder"), LFolder, nullptr, false));
    QCOMPARE(LFolder, LStart);
  }

  void BrowseFolderStartsNowhereForAMissingFolder_data() {
    QTest::addColumn<QString>("Folder");
    QTest::newRow("missing") << QStringLiteral("/no/such/folder/anywhere");
    QTest::newRow("empty") << QString();
  }
  void BrowseFolderStartsNowhereForAMissingFolder() {
    QFETCH(QString, Folder);
    TBrowseAnswer LAnswer(std::nullopt);
    QString LFolder = Folder;
    QVERIFY(!BrowseFolder(QStringLiteral("Select folder"), LFolder, nullptr, false));
    QCOMPARE(LAnswer.Calls().size(), 1);
    QCOMPARE(LAnswer.Calls().first().second, QString());
    QCOMPARE(LFolder, Folder);
  }

  void MaxLineWidth_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<float>("Width");
    QTest::newRow("widest of CR LF lines") << QStringLiteral("ab\r\nabcdef") << 60.0f;
    QTest::newRow("CR alone") << QStringLiteral("abcd\rab") << 40.0f;
    QTest::newRow("LF alone, widest first") << QStringLiteral("abcde\nab\nabc") << 50.0f;
    QTest::newRow("no text") << QString() << 0.0f;
    QTest::newRow("only breaks") << QStringLiteral("\r\n\n") << 0.0f;
  }
  void MaxLineWidth() {
    QFETCH(QString, Text);
    QFETCH(float, Width);
    TFixedTextWidth LWidth;
    QLabel LLabel(Text);
    QCOMPARE(GetMaxLineWidth(LLabel), Width);
  }

  void SplitLinesAtEveryKindOfBreak() {
    QCOMPARE(SplitLines(QStringLiteral("a\r\nb\rc\nd")),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                          QStringLiteral("d")}));
    QCOMPARE(SplitLines(QStringLiteral("a\n\nb")),
             (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    QVERIFY(SplitLines(QString()).isEmpty());
  }

  void RealTextWidthGrowsWithTheText() {
    const QFont LFont = QApplication::font();
    QCOMPARE(GetTextWidth(LFont, QString()), 0.0f);
    QVERIFY(GetTextWidth(LFont, QStringLiteral("abcdef")) >
            GetTextWidth(LFont, QStringLiteral("ab")));
  }

  void MainWindowIsFoundByItsName() {
    QCOMPARE(FindMainWindow(), nullptr);
    BringMainWindowToFront(); // nothing to bring: no effect
    QWidget LOther;
    LOther.show();
    QWidget LMain;
    LMain.setObjectName(QStringLiteral("fmMain"));
    LMain.show();
    QCOMPARE(FindMainWindow(), &LMain);
    LOther.activateWindow();
    BringMainWindowToFront();
    QTRY_COMPARE(QApplication::activeWindow(), &LMain);
  }
};

QTEST_MAIN(TTestUtilGui)
#include "tst_utilgui.moc"
