// The History page with real files and folders in a temporary folder and the
// journal in a folder of the test's own: a batch rolled back after the window
// and its lists were destroyed and made anew, the pages and History kept in
// step, a renamed file replaced before the rollback, and a Rename refused
// when its journal cannot be written.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "MainUnHistoryPage.h"
#include "uAction.h"
#include "uFileGridModel.h"
#include "uFileInfo.h"
#include "uFolderGridModel.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uLog.h"
#include "uSelectFolderForm.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

// Answers the open-file dialog with the paths given.
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

// Answers the folder page's selection dialog: AFolder with its subfolders.
class TAddFolderAnswer {
public:
  explicit TAddFolderAnswer(const QString &AFolder) {
    FPrevious = SetSelectFolderHook([AFolder](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(AFolder);
      AForm.cbIncludeSubDir->setChecked(true);
      AForm.cbIncludeRootDir->setChecked(false);
      AForm.Button_ClearClick();
    });
  }
  ~TAddFolderAnswer() { SetSelectFolderHook(std::move(FPrevious)); }
  TAddFolderAnswer(const TAddFolderAnswer &) = delete;
  TAddFolderAnswer &operator=(const TAddFolderAnswer &) = delete;

private:
  TSelectFolderHook FPrevious;
};

} // namespace

using namespace Qt::Literals::StringLiterals;

class TTestHistoryPage : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TfmMain> FMain;

  QString Path(const QString &ARelative) const { return FDir->filePath(ARelative); }
  QString Write(const QString &AName, const QByteArray &AContent = "x") const {
    QFile LFile(Path(AName));
    if (LFile.open(QIODevice::WriteOnly))
      LFile.write(AContent);
    return LFile.fileName();
  }
  bool Exists(const QString &ARelative) const { return QFileInfo::exists(Path(ARelative)); }
  QByteArray Read(const QString &ARelative) const {
    QFile LFile(Path(ARelative));
    return LFile.open(QIODevice::ReadOnly) ? LFile.readAll() : QByteArray();
  }
  void NewWindow() {
    FMain.reset();
    FMain = std::make_unique<TfmMain>();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  THistoryPage &History() const { return *FMain->HistoryPage; }
  TFilePage &Files() const { return *FMain->FilePage; }
  TFolderPage &Folders() const { return *FMain->FolderPage; }
  // A cell once the page's worker has read every batch's summary.
  QString HistoryCell(int ARow, int AColumn) const {
    if (!QTest::qWaitFor([this] { return !History().Loading(); }))
      return QStringLiteral("(still reading)");
    return History().Model->index(ARow, AColumn).data().toString();
  }
  void WaitForMessages(int ACount) { QTRY_COMPARE(FMessages->Messages().size(), ACount); }

  // Adds the files ANames on the file page and renames them with AMask.
  void RenameFiles(const QStringList &ANames, const QString &AMask) {
    FMain->ShowPage(TMainPage::mpFileRename);
    QStringList LPaths;
    for (const QString &LName : ANames)
      LPaths.append(Write(LName, LName.toUtf8()));
    {
      TOpenFilesAnswer LAnswer(LPaths);
      Files().acAddFile->trigger();
      QVERIFY(guitest::WaitForStep(Files()));
    }
    QLineEdit &LMask = *Files().Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(AMask);
    QTest::keyClick(&LMask, Qt::Key_Return);
    const qsizetype LBefore = FMessages->Messages().size();
    Files().acRename->trigger();
    WaitForMessages(static_cast<int>(LBefore) + 1);
  }
  // Shows History and rolls back its newest batch.
  void RollBackNewest() {
    FMain->ShowPage(TMainPage::mpHistory);
    QVERIFY(History().Model->rowCount() > 0);
    QTRY_VERIFY(!History().Loading());
    History().sgHistory->selectRow(0);
    FMain->UpdateActions();
    QVERIFY(History().acRollbackBatch->isEnabled());
    History().acRollbackBatch->trigger();
    QVERIFY(guitest::WaitForStep(History()));
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    QDir(GetJournal().Folder()).removeRecursively();
    FDir = std::make_unique<QTemporaryDir>();
    FMessages->Clear();
    NewWindow();
  }
  void cleanup() {
    FMain.reset();
    FDir.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void ABatchRolledBackAfterARestart() {
    RenameFiles({QStringLiteral("a.txt"), QStringLiteral("b.txt")}, QStringLiteral("[N]_r"));
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QVERIFY(Exists(QStringLiteral("a_r.txt")) && Exists(QStringLiteral("b_r.txt")));

    // The window and its lists are gone; the journal is all that knows.
    NewWindow();
    QCOMPARE(FMain->FFileList->Count(), 0);
    FMain->btnHistory->click();
    QCOMPARE(FMain->CurrentPage(), TMainPage::mpHistory);
    QCOMPARE(History().Model->rowCount(), 1);
    QCOMPARE(HistoryCell(0, 1), QStringLiteral("files"));
    QCOMPARE(HistoryCell(0, 2), QStringLiteral("2"));
    QCOMPARE(HistoryCell(0, 3), FDir->path());
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("renamed"));
    QCOMPARE(History().txtHistoryCount->text(), QStringLiteral("1 batch"));

    FMessages->Clear();
    RollBackNewest();
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rollback done.")});
    QCOMPARE(Read(QStringLiteral("a.txt")), QByteArray("a.txt"));
    QCOMPARE(Read(QStringLiteral("b.txt")), QByteArray("b.txt"));
    QVERIFY(!Exists(QStringLiteral("a_r.txt")) && !Exists(QStringLiteral("b_r.txt")));
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("rolled back"));
    QVERIFY(!History().sgHistoryFailures->isVisibleTo(&History()));
    // No redo, and no second rollback.
    FMain->UpdateActions();
    QVERIFY(!History().acRollbackBatch->isEnabled());
  }

  // A rollback from History runs in the page's worker: Cancel stops it
  // between files, and another Rollback moves back the rest.
  void ACancelledRollbackFromHistoryIsFinishedByAnother() {
    RenameFiles({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")},
                QStringLiteral("[N]_r"));
    NewWindow();
    FMessages->Clear();
    const int LPrevious = TStepWorker::SetStopAfter(1);
    RollBackNewest();
    TStepWorker::SetStopAfter(LPrevious);
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Rollback was cancelled: 1 of 3 moved back.")});
    QCOMPARE(QDir(FDir->path()).entryList({QStringLiteral("*_r.txt")}, QDir::Files).size(), 2);
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("partly rolled back"));
    QVERIFY(!History().sgHistoryFailures->isVisibleTo(&History()));
    QVERIFY(History().StepProgress->isHidden());
    RollBackNewest();
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("Rollback done."));
    for (const QString &LName :
         {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")})
      QCOMPARE(Read(LName), LName.toUtf8());
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("rolled back"));
  }

  void ThePageAndHistoryStayInStep() {
    // Rolled back from History: the page no longer offers its Rollback and
    // shows the old names again.
    RenameFiles({QStringLiteral("a.txt")}, QStringLiteral("[N]_r"));
    FMain->UpdateActions();
    QVERIFY(Files().acRollback->isEnabled());
    RollBackNewest();
    QVERIFY(Exists(QStringLiteral("a.txt")));
    QVERIFY(!FMain->FFileList->HasRenamedFiles());
    FMain->ShowPage(TMainPage::mpFileRename);
    FMain->UpdateActions();
    QVERIFY(!Files().acRollback->isEnabled());
    QVERIFY(Files().acRename->isEnabled());

    // Rolled back on the page: History shows the batch as rolled back.
    FMessages->Clear();
    Files().acRename->trigger();
    WaitForMessages(1);
    QVERIFY(Exists(QStringLiteral("a_r.txt")));
    Files().acRollback->trigger();
    WaitForMessages(2);
    QVERIFY(Exists(QStringLiteral("a.txt")));
    FMain->ShowPage(TMainPage::mpHistory);
    QCOMPARE(History().Model->rowCount(), 2);
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("rolled back"));
    QCOMPARE(HistoryCell(1, 4), QStringLiteral("rolled back"));
  }

  // History lists the batches at once and fills each row as its summary is
  // read: a batch written without a summary (by an earlier version) is
  // read whole, a file that is no batch leaves its row.
  void ABatchWithoutASummaryIsListedAndAStrayFileIsNot() {
    RenameFiles({QStringLiteral("a.txt")}, QStringLiteral("[N]_r"));
    RenameFiles({QStringLiteral("b.txt"), QStringLiteral("c.txt")}, QStringLiteral("[N]_s"));
    const std::vector<QString> LIds = GetJournal().BatchIds();
    QCOMPARE(LIds.size(), size_t(2));
    const QString LOld = GetJournal().Folder() + QLatin1Char('/') + LIds[1] + u".journal"_s;
    QFile LFile(LOld);
    QVERIFY(LFile.open(QIODevice::ReadOnly));
    QByteArray LText;
    for (const QByteArray &LLine : LFile.readAll().split('\n'))
      if (!LLine.isEmpty() && !LLine.startsWith("summary "))
        LText += LLine + '\n';
    LFile.close();
    QVERIFY(LFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    LFile.write(LText);
    LFile.close();
    QFile LStray(GetJournal().Folder() + u"/20990101-000000-1-0.journal"_s);
    QVERIFY(LStray.open(QIODevice::WriteOnly));
    LStray.write("not a batch\n");
    LStray.close();

    NewWindow();
    FMain->ShowPage(TMainPage::mpHistory);
    QCOMPARE(History().Model->rowCount(), 3);
    QTRY_VERIFY(!History().Loading());
    QCOMPARE(History().Model->rowCount(), 2);
    QCOMPARE(History().txtHistoryCount->text(), QStringLiteral("2 batches"));
    QCOMPARE(HistoryCell(0, 2), QStringLiteral("2"));
    QCOMPARE(HistoryCell(1, 2), QStringLiteral("1"));
    QCOMPARE(HistoryCell(1, 4), QStringLiteral("renamed"));
    RollBackNewest();
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("rolled back"));
    QCOMPARE(Read(QStringLiteral("b.txt")), QByteArray("b.txt"));
  }

  void AFolderBatchRolledBackFromHistory() {
    QVERIFY(QDir().mkpath(Path(QStringLiteral("tree/p/c"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("tree/q"))));
    FMain->ShowPage(TMainPage::mpFolderRename);
    {
      TAddFolderAnswer LAnswer(Path(QStringLiteral("tree")));
      Folders().acAddFolder->trigger();
      QVERIFY(guitest::WaitForStep(Folders()));
    }
    QCOMPARE(Folders().GridModel().rowCount(), 3);
    Folders().edFolderMask->setText(QStringLiteral("[N]_r"));
    Folders().edFolderMaskExit();
    Folders().acRenameFolder->trigger();
    QTRY_VERIFY(!Folders().StepRunning()); // the worker's step ends
    QVERIFY(QFileInfo(Path(QStringLiteral("tree/p_r/c_r"))).isDir());

    RollBackNewest();
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("Rollback done."));
    QCOMPARE(HistoryCell(0, 1), QStringLiteral("folders"));
    QVERIFY(QFileInfo(Path(QStringLiteral("tree/p/c"))).isDir());
    QVERIFY(QFileInfo(Path(QStringLiteral("tree/q"))).isDir());
    QVERIFY(!Exists(QStringLiteral("tree/p_r")));
    // The folder page knows its folders are back, the nested one included:
    // a second Rename from the page works on the paths as they are now.
    QVERIFY(!FMain->FFolderList->HasRenamedFolders());
    FMain->ShowPage(TMainPage::mpFolderRename);
    FMessages->Clear();
    Folders().acRenameFolder->trigger();
    QTRY_VERIFY(!Folders().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QVERIFY(QFileInfo(Path(QStringLiteral("tree/p_r/c_r"))).isDir());
  }

  void AReplacedFileStaysAndItsReasonIsShown() {
    RenameFiles({QStringLiteral("a.txt"), QStringLiteral("b.txt")}, QStringLiteral("[N]_r"));
    // Another file now stands under one of the new names.
    QVERIFY(QFile::remove(Path(QStringLiteral("a_r.txt"))));
    Write(QStringLiteral("a_r.txt"), "someone else's");
    NewWindow();
    FMessages->Clear();
    RollBackNewest();
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Failed to rollback 1 file. List is below.")});
    QCOMPARE(Read(QStringLiteral("a_r.txt")), QByteArray("someone else's"));
    QVERIFY(!Exists(QStringLiteral("a.txt")));
    QCOMPARE(Read(QStringLiteral("b.txt")), QByteArray("b.txt"));
    QCOMPARE(HistoryCell(0, 4), QStringLiteral("partly rolled back"));
    QVERIFY(History().sgHistoryFailures->isVisibleTo(&History()));
    QCOMPARE(History().FailureModel->rowCount(), 1);
    QCOMPARE(History().FailureModel->FailureAt(0)->FReason,
             QStringLiteral("File was replaced after renaming"));
    QCOMPARE(History().FailureModel->index(0, 1).data().toString(),
             Path(QStringLiteral("a_r.txt")));
  }

  void NoJournalNoRename() {
    // A file where the journal's folder should be: nothing can be written.
    const QString LSaved = GetJournal().Folder();
    const QString LBlocker = Write(QStringLiteral("blocker"));
    GetJournal().SetFolder(LBlocker + QStringLiteral("/journal"));
    RenameFiles({QStringLiteral("a.txt")}, QStringLiteral("[N]_r"));
    GetJournal().SetFolder(LSaved);
    QCOMPARE(FMessages->Texts().size(), 1);
    QVERIFY(
        FMessages->Texts().first().startsWith(QStringLiteral("Cannot write the rename journal: ")));
    QVERIFY(Exists(QStringLiteral("a.txt")));
    QVERIFY(!Exists(QStringLiteral("a_r.txt")));
    // The page is as it was: the new name still previewed, Rename offered,
    // nothing to roll back.
    FMain->UpdateActions();
    QVERIFY(Files().acRename->isEnabled());
    QVERIFY(!Files().acRollback->isEnabled());
    QVERIFY(!FMain->FFileList->HasRenamedFiles());
  }
};

QTEST_MAIN(TTestHistoryPage)
#include "tst_historypage.moc"
