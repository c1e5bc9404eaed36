// The metadata tokens through the window: the "More…" menu, the preview of
// names read from photos (Exif written with Exiv2 here) with the quiet mark
// of a file that has no date taken, and Rename and Rollback of those names.
#include "FMX.BallonHint.h"
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "uAction.h"
#include "uFileGridModel.h"
#include "uLog.h"
#include "uMetadata.h"
#include "uPageKit.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

class TOpenFilesAnswer {
public:
  explicit TOpenFilesAnswer(QStringList APaths) {
    FPrevious = SetOpenFilesHook([APaths](const QString &) { return APaths; });
  }
  ~TOpenFilesAnswer() { SetOpenFilesHook(std::move(FPrevious)); }
  TOpenFilesAnswer(const TOpenFilesAnswer &) = delete;
  TOpenFilesAnswer &operator=(const TOpenFilesAnswer &) = delete;

private:
  TOpenFilesHook FPrevious;
};

// The action of AButton's menu that inserts AToken.
QAction *MenuAction(QToolButton &AButton, const QString &AToken) {
  if (AButton.menu() == nullptr)
    return nullptr;
  for (QAction *LAction : AButton.menu()->actions())
    if (LAction->data().toString() == AToken)
      return LAction;
  return nullptr;
}

} // namespace

class TTestMetadataTokens : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;

  QString Photo(const QString &AName, const char *ADateTaken) const {
    const QString LPath = FDir->filePath(AName);
    QFile LFile(LPath);
    if (LFile.open(QIODevice::WriteOnly))
      LFile.write(testsupport::GreyJpeg(32, 24));
    LFile.close();
    // What this does not write, the names the test expects will miss.
    if (ADateTaken != nullptr)
      testsupport::WriteImageFields(QFile::encodeName(LPath),
                                    {{"Exif.Photo.DateTimeOriginal", ADateTaken}});
    return LPath;
  }
  bool Exists(const QString &AName) const { return QFile::exists(FDir->filePath(AName)); }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FDir = std::make_unique<QTemporaryDir>();
    FMessages->Clear();
  }
  void cleanup() {
    TStepWorker::SetStopAfter(-1);
    HideBalloonHint();
    if (TfmBallonHint *LBalloon = TfmBallonHint::Instance())
      LBalloon->FinishHide();
    FDir.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void TheMoreMenuInsertsAtTheCaretAndAppliesNothing() {
    TfmMain LMain;
    LMain.ShowPage(TMainPage::mpFileRename);
    LMain.show();
    TFilePage &LPage = *LMain.FilePage;
    QLineEdit &LMask = *LPage.Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("[N]_x"));
    LMask.setCursorPosition(4);
    QAction *LAction = MenuAction(*LPage.Btn_MoreTokens, QStringLiteral("[W]"));
    QVERIFY(LAction != nullptr);
    QVERIFY(LAction->text().contains(QStringLiteral("4000")));
    LAction->trigger();
    QCOMPARE(LMask.text(), QStringLiteral("[N]_[W]x"));
    QCOMPARE(LMask.cursorPosition(), 7);
    QCOMPARE(LMain.FFileList->FileNameMask(), QString());

    // The folder page offers what its mask takes: the date in a format.
    LMain.ShowPage(TMainPage::mpFolderRename);
    TFolderPage &LFolders = *LMain.FolderPage;
    QVERIFY(LFolders.Btn_MoreTokens != nullptr);
    QVERIFY(MenuAction(*LFolders.Btn_MoreTokens, QStringLiteral("[DATE:yyyy-MM-dd]")));
    QVERIFY(!MenuAction(*LFolders.Btn_MoreTokens, QStringLiteral("[W]")));
    LFolders.edFolderMask->setText(QStringLiteral("ab"));
    LFolders.edFolderMask->setCursorPosition(1);
    MenuAction(*LFolders.Btn_MoreTokens, QStringLiteral("[DATE:yyyy-MM-dd]"))->trigger();
    QCOMPARE(LFolders.edFolderMask->text(), QStringLiteral("a[DATE:yyyy-MM-dd]b"));
  }

  void PhotosNamedByTheirDateTakenRenameAndRollBack() {
    if (!metadata::PhotoMetadataAvailable())
      QSKIP("built without Exiv2: photos are not read");
    const QString LWithDate = Photo(QStringLiteral("a.jpg"), "2015:03:05 14:07:09");
    const QString LWithout = Photo(QStringLiteral("b.jpg"), nullptr);
    {
      QFile LFile(LWithout);
      QVERIFY(LFile.open(QIODevice::ReadWrite));
      QVERIFY(LFile.setFileTime(QDateTime(QDate(2011, 12, 13), QTime(1, 2, 3)),
                                QFileDevice::FileModificationTime));
    }
    const TOpenFilesAnswer LAnswer({LWithDate, LWithout});
    TfmMain LMain;
    LMain.ShowPage(TMainPage::mpFileRename);
    LMain.show();
    (void)QTest::qWaitForWindowActive(&LMain);
    TFilePage &LPage = *LMain.FilePage;
    LPage.acAddFile->trigger();
    QTRY_COMPARE(LPage.GridModel->rowCount(), 2);
    const auto LNewNames = [&LPage] {
      QStringList LNames;
      for (int i = 0; i < LPage.GridModel->rowCount(); ++i)
        LNames << LPage.GridModel->index(i, LPage.GridModel->ColumnOf(TFileGridModel::dcNewName))
                      .data()
                      .toString();
      return LNames;
    };

    // Cancel while the files are read leaves the old names.
    TStepWorker::SetStopAfter(1);
    QLineEdit &LMask = *LPage.Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("[EXIF:yyyy-MM-dd_hh.mm.ss]_[W]x[H]"));
    QTest::keyClick(&LMask, Qt::Key_Return);
    QTRY_VERIFY(!LPage.StepWorker->Running());
    QCOMPARE(LNewNames(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    QCOMPARE(LMain.FFileList->FileNameMask(), QStringLiteral("[N]"));

    TStepWorker::SetStopAfter(-1);
    LMask.setFocus();
    QTest::keyClick(&LMask, Qt::Key_Return);
    QTRY_COMPARE(LNewNames(), (QStringList{QStringLiteral("2015-03-05_14.07.09_32x24.jpg"),
                                           QStringLiteral("2011-12-13_01.02.03_32x24.jpg")}));
    QCOMPARE(guitest::HintMarks(*LPage.StringGrid_Rename), QStringLiteral("-Q"));
    const QStringList LBalloon = guitest::HoverMark(*LPage.StringGrid_Rename, 1);
    QCOMPARE(LBalloon.value(0), QStringLiteral("b.jpg"));
    QCOMPARE(LBalloon.value(1),
             QStringLiteral("The photo has no date taken: the file's modification time was used."));

    // A mask edited and not yet applied when Rename is pressed: its files
    // are read and the names shown first; the next press renames.
    LMask.setFocus();
    LMask.setText(QStringLiteral("[EXIF:yyyy]_[N]"));
    LMain.FFileList->MetadataCache().Clear();
    LPage.acRename->trigger();
    QTRY_COMPARE(LNewNames(),
                 (QStringList{QStringLiteral("2015_a.jpg"), QStringLiteral("2011_b.jpg")}));
    QTRY_VERIFY(!LPage.StepWorker->Running());
    QVERIFY(FMessages->Texts().isEmpty());
    QVERIFY(LPage.acRename->isEnabled());
    LMask.setText(QStringLiteral("[EXIF:yyyy-MM-dd_hh.mm.ss]_[W]x[H]"));
    QTest::keyClick(&LMask, Qt::Key_Return);
    QTRY_COMPARE(LNewNames(), (QStringList{QStringLiteral("2015-03-05_14.07.09_32x24.jpg"),
                                           QStringLiteral("2011-12-13_01.02.03_32x24.jpg")}));

    LPage.acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QVERIFY(Exists(QStringLiteral("2015-03-05_14.07.09_32x24.jpg")));
    QVERIFY(Exists(QStringLiteral("2011-12-13_01.02.03_32x24.jpg")));
    LPage.acRollback->trigger();
    QTRY_COMPARE(FMessages->Texts().size(), 2);
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("Rollback done."));
    QVERIFY(Exists(QStringLiteral("a.jpg")) && Exists(QStringLiteral("b.jpg")));
  }

  // Two files with one name: the conflict's mark wins over the quiet one.
  void AConflictMarkWinsOverAMetadataMark() {
    QStringList LPaths;
    for (const QString &LName : {QStringLiteral("a.txt"), QStringLiteral("b.txt")}) {
      QFile LFile(FDir->filePath(LName));
      QVERIFY(LFile.open(QIODevice::WriteOnly));
      QVERIFY(LFile.setFileTime(QDateTime(QDate(2011, 12, 13), QTime(1, 2, 3)),
                                QFileDevice::FileModificationTime));
      LPaths << LFile.fileName();
    }
    const TOpenFilesAnswer LAnswer(LPaths);
    TfmMain LMain;
    LMain.ShowPage(TMainPage::mpFileRename);
    LMain.show();
    TFilePage &LPage = *LMain.FilePage;
    LPage.acAddFile->trigger();
    QTRY_COMPARE(LPage.GridModel->rowCount(), 2);
    QLineEdit &LMask = *LPage.Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("[EXIF:yyyy]"));
    QTest::keyClick(&LMask, Qt::Key_Return);
    QTRY_COMPARE(guitest::HintMarks(*LPage.StringGrid_Rename), QStringLiteral("QC"));
  }
};

QTEST_MAIN(TTestMetadataTokens)
#include "tst_metadatatokens.moc"
