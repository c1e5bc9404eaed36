// The select-folder dialog through Execute, answered by its seam: trimming,
// the checks of OK in their order, the close image, and browsing.
#include "GuiTestSupport.h"
#include "uResourceString.h"
#include "uSelectFolderForm.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using guitest::TBrowseAnswer;
using guitest::TMessageRecorder;

namespace {

const QString CheckOptionsText =
    QStringLiteral("Please check \"Include subdirectories\" or \"Include root directory\" options");

// Plays the user in the dialog for one Execute.
class TSelectFolderAnswer {
public:
  explicit TSelectFolderAnswer(TSelectFolderHook AHook) {
    FPrevious = SetSelectFolderHook(std::move(AHook));
  }
  ~TSelectFolderAnswer() { SetSelectFolderHook(std::move(FPrevious)); }
  TSelectFolderAnswer(const TSelectFolderAnswer &) = delete;
  TSelectFolderAnswer &operator=(const TSelectFolderAnswer &) = delete;

private:
  TSelectFolderHook FPrevious;
};

void ClickCloseImage(TfmSelectFolderForm &AForm) {
  QTest::mouseClick(AForm.Image2, Qt::LeftButton);
}

} // namespace

class TTestSelectFolder : public QObject {
  Q_OBJECT
private:
  QTemporaryDir FDir;
  QString Folder() const { return FDir.filePath(QStringLiteral("photos")); }
  QString File() const { return FDir.filePath(QStringLiteral("notes.txt")); }

private Q_SLOTS:
  void initTestCase() {
    QVERIFY(FDir.isValid());
    QVERIFY(QDir().mkpath(Folder()));
    QFile LFile(File());
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(Folder(), FDir.filePath(QStringLiteral("link-to-photos"))));
  }

  void StartingValuesAreShownTrimmed() {
    QString LShownName;
    bool LShownSub = false;
    bool LShownRoot = true;
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      LShownName = AForm.editSelectDir->text();
      LShownSub = AForm.cbIncludeSubDir->isChecked();
      LShownRoot = AForm.cbIncludeRootDir->isChecked();
      ClickCloseImage(AForm);
    });
    QString LName = QStringLiteral("  ") + Folder() + QStringLiteral("\t");
    bool LSub = true;
    bool LRoot = false;
    QVERIFY(!TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QCOMPARE(LShownName, Folder());
    QVERIFY(LShownSub);
    QVERIFY(!LShownRoot);
  }

  void ValidChoiceIsReturned_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<QString>("Returned");
    QTest::addColumn<bool>("Sub");
    QTest::addColumn<bool>("Root");
    const QString LFolder = FDir.filePath(QStringLiteral("photos"));
    QTest::newRow("as typed, both options") << LFolder << LFolder << true << true;
    QTest::newRow("blanks around are trimmed")
        << QStringLiteral("   ") + LFolder + QStringLiteral("  ") << LFolder << true << false;
    QTest::newRow("control characters around are trimmed")
        << QStringLiteral("\x01\t") + LFolder + QStringLiteral("\r\n") << LFolder << false << true;
    QTest::newRow("a trailing delimiter is kept")
        << LFolder + QStringLiteral("/") << LFolder + QStringLiteral("/") << true << false;
    QTest::newRow("a link to a folder is followed")
        << FDir.filePath(QStringLiteral("link-to-photos"))
        << FDir.filePath(QStringLiteral("link-to-photos")) << false << true;
  }
  void ValidChoiceIsReturned() {
    QFETCH(QString, Typed);
    QFETCH(QString, Returned);
    QFETCH(bool, Sub);
    QFETCH(bool, Root);
    TMessageRecorder LMessages;
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(Typed);
      AForm.cbIncludeSubDir->setChecked(Sub);
      AForm.cbIncludeRootDir->setChecked(Root);
      QTest::mouseClick(AForm.Button_Clear, Qt::LeftButton);
    });
    QString LName = QStringLiteral("/somewhere/else");
    bool LSub = !Sub;
    bool LRoot = !Root;
    QVERIFY(TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QCOMPARE(LName, Returned);
    QCOMPARE(LSub, Sub);
    QCOMPARE(LRoot, Root);
    QVERIFY(LMessages.Texts().isEmpty());
  }

  void WrongFolderKeepsTheDialogOpen_data() {
    QTest::addColumn<QString>("Typed");
    QTest::addColumn<bool>("Options");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("blanks only") << QStringLiteral("   ") << true;
    QTest::newRow("a file") << FDir.filePath(QStringLiteral("notes.txt")) << true;
    QTest::newRow("a missing path") << FDir.filePath(QStringLiteral("missing")) << true;
    // The folder is checked before the options.
    QTest::newRow("a missing path, no option") << FDir.filePath(QStringLiteral("missing")) << false;
    QTest::newRow("empty, no option") << QString() << false;
  }
  void WrongFolderKeepsTheDialogOpen() {
    QFETCH(QString, Typed);
    QFETCH(bool, Options);
    TMessageRecorder LMessages;
    bool LStillOpen = false;
    QString LTextAfter;
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(Typed);
      AForm.cbIncludeSubDir->setChecked(Options);
      AForm.cbIncludeRootDir->setChecked(Options);
      QTest::mouseClick(AForm.Button_Clear, Qt::LeftButton);
      LStillOpen = AForm.result() != QDialog::Accepted;
      LTextAfter = AForm.editSelectDir->text();
      ClickCloseImage(AForm);
    });
    QString LName = QStringLiteral("kept");
    bool LSub = false;
    bool LRoot = true;
    QVERIFY(!TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QVERIFY(LStillOpen);
    QCOMPARE(LTextAfter, Typed);
    QCOMPARE(LMessages.Texts(),
             QStringList{QStringLiteral("Please specify correct directory name")});
    QCOMPARE(LMessages.Messages().first().Type, TMessageFormType::mftWarting);
    QCOMPARE(LName, QStringLiteral("kept"));
    QVERIFY(!LSub);
    QVERIFY(LRoot);
  }

  // The warning belongs to the dialog: the main window is not raised over
  // it, and the dialog is in front again once the warning is closed.
  void WarningKeepsTheDialogInFront() {
    QWidget LMain;
    LMain.setObjectName(QStringLiteral("fmMain"));
    LMain.setGeometry(100, 100, 600, 400);
    LMain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&LMain));
    QWidget *LMessageOwner = nullptr;
    QWidget *LActiveAfter = nullptr;
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      AForm.show();
      AForm.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&AForm));
      AForm.editSelectDir->setText(FDir.filePath(QStringLiteral("missing")));
      // The real message dialog, closed as soon as it runs.
      QTimer::singleShot(0, [&LMessageOwner] {
        for (QWidget *LWidget : QApplication::topLevelWidgets()) {
          if (LWidget->objectName() == QStringLiteral("fmMessageForm") && LWidget->isVisible()) {
            LMessageOwner = LWidget->parentWidget();
            static_cast<QDialog *>(LWidget)->done(QDialog::Accepted);
          }
        }
      });
      QTest::mouseClick(AForm.Button_Clear, Qt::LeftButton);
      QTRY_COMPARE(QApplication::activeWindow(), &AForm);
      LActiveAfter = QApplication::activeWindow();
      AForm.hide();
    });
    QString LName;
    bool LSub = false;
    bool LRoot = true;
    QVERIFY(!TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QVERIFY(LMessageOwner != nullptr);
    QCOMPARE(LMessageOwner->objectName(), QStringLiteral("fmSelectFolderForm"));
    QVERIFY(LActiveAfter != nullptr);
  }

  void NoOptionWarnsThenAcceptsOnceTicked() {
    TMessageRecorder LMessages;
    bool LStillOpen = false;
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(Folder());
      AForm.cbIncludeSubDir->setChecked(false);
      AForm.cbIncludeRootDir->setChecked(false);
      QTest::mouseClick(AForm.Button_Clear, Qt::LeftButton);
      LStillOpen = AForm.result() != QDialog::Accepted;
      AForm.cbIncludeSubDir->setChecked(true);
      QTest::mouseClick(AForm.Button_Clear, Qt::LeftButton);
    });
    QString LName;
    bool LSub = false;
    bool LRoot = false;
    QVERIFY(TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QVERIFY(LStillOpen);
    QCOMPARE(LMessages.Texts(), QStringList{CheckOptionsText});
    QCOMPARE(LName, Folder());
    QVERIFY(LSub);
    QVERIFY(!LRoot);
  }

  void CloseImageKeepsTheCallersValues() {
    TSelectFolderAnswer LAnswer([&](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(Folder());
      AForm.cbIncludeSubDir->setChecked(true);
      AForm.cbIncludeRootDir->setChecked(true);
      ClickCloseImage(AForm);
    });
    QString LName = QStringLiteral("before");
    bool LSub = false;
    bool LRoot = false;
    QVERIFY(!TfmSelectFolderForm::Execute(LName, LSub, LRoot));
    QCOMPARE(LName, QStringLiteral("before"));
    QVERIFY(!LSub);
    QVERIFY(!LRoot);
  }

  void BrowseTakesTheChosenFolder() {
    const QString LChosen = FDir.filePath(QStringLiteral("chosen"));
    TBrowseAnswer LBrowse(LChosen);
    TfmSelectFolderForm LForm(nullptr);
    LForm.SetSelectedFolderName(QStringLiteral(" ") + Folder());
    QTest::mouseClick(LForm.btSelectDir, Qt::LeftButton);
    QCOMPARE(LForm.editSelectDir->text(), LChosen);
    QCOMPARE(LBrowse.Calls().size(), 1);
    QCOMPARE(LBrowse.Calls().first().first, QStringLiteral("Select folder"));
    QCOMPARE(LBrowse.Calls().first().second, Folder());
  }

  void BrowseStartsOnlyFromAnExistingFolder() {
    TBrowseAnswer LBrowse(std::nullopt);
    TfmSelectFolderForm LForm(nullptr);
    LForm.SetSelectedFolderName(FDir.filePath(QStringLiteral("missing")));
    LForm.btSelectDirClick();
    // Cancelled: the typed name stays.
    QCOMPARE(LForm.editSelectDir->text(), FDir.filePath(QStringLiteral("missing")));
    QCOMPARE(LBrowse.Calls().size(), 1);
    QCOMPARE(LBrowse.Calls().first().second, QString());
  }

  void TrimRemovesEveryCodeUnitUpToBlank_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Trimmed");
    QTest::newRow("nothing to trim") << QStringLiteral("a b") << QStringLiteral("a b");
    QTest::newRow("inner blanks stay") << QStringLiteral(" a  b ") << QStringLiteral("a  b");
    QTest::newRow("control characters")
        << QStringLiteral("\x1f\x02x\x7f\x05") << QStringLiteral("x\x7f");
    QTest::newRow("only blanks") << QStringLiteral(" \t\r\n ") << QString();
    QTest::newRow("no-break space stays") << QStringLiteral("\u00a0x") << QStringLiteral("\u00a0x");
  }
  void TrimRemovesEveryCodeUnitUpToBlank() {
    QFETCH(QString, Text);
    QFETCH(QString, Trimmed);
    QCOMPARE(TrimBlanksAndControls(Text), Trimmed);
  }
};

QTEST_MAIN(TTestSelectFolder)
#include "tst_selectfolder.moc"
