// The workflow both renaming pages run, tried once for each page: a Rollback
// cancelled at seeded points lists exactly the items still renamed, the grid
// shows the name the move gives, and a journal that fails part way is
// reported with the batch's counts, shown in History and rolled back from it.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "MainUnHistoryPage.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uGridSupport.h"
#include "uPageKit.h"
#include "uRenamePage.h"
#include "uSetting.h"

#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "TestSupport.h"

#include "platform/uPlatformJournal.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

class TTestRenamePage : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<guitest::TExecutableFolder> FExe;
  std::unique_ptr<guitest::TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TfmMain> FMain;
  bool FFolders = false;

  TRenamePage &Page() const {
    return FFolders ? static_cast<TRenamePage &>(*FMain->FolderPage) : *FMain->FilePage;
  }
  TRenameList &List() const {
    return FFolders ? static_cast<TRenameList &>(*FMain->FFolderList) : *FMain->FFileList;
  }
  QTableView &Grid() const {
    return FFolders ? *FMain->FolderPage->sgFolderRename : *FMain->FilePage->StringGrid_Rename;
  }
  QString Path(const QString &AName) const { return FDir->filePath(AName); }
  bool Exists(const QString &AName) const { return QFileInfo::exists(Path(AName)); }
  // The column AColumn (0: Old Name) of every row, after the hint column.
  QStringList Column(int AColumn) const {
    const TListGridModel &LModel = Page().Model();
    QStringList LCells;
    for (int LRow = 0; LRow < LModel.rowCount(); ++LRow)
      LCells.append(
          LModel.index(LRow, LModel.ColumnOf(static_cast<TListGridModel::TDataColumn>(AColumn)))
              .data()
              .toString());
    return LCells;
  }

  // The entries ANames in the temporary folder, listed on the page of the
  // test's kind as the command line lists them.
  void AddEntries(const QStringList &ANames) {
    QStringList LPaths;
    for (const QString &LName : ANames) {
      if (FFolders) {
        QVERIFY(QDir().mkpath(Path(LName)));
      } else {
        QFile LFile(Path(LName));
        QVERIFY(LFile.open(QIODevice::WriteOnly));
      }
      LPaths.append(Path(LName));
    }
    FMain->ShowPage(FFolders ? TMainPage::mpFolderRename : TMainPage::mpFileRename);
    FMain->OpenPaths(FFolders, LPaths);
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Page().Model().rowCount(), ANames.size());
  }
  void SetMask(const QString &AMask) {
    QLineEdit &LMask =
        FFolders ? *FMain->FolderPage->edFolderMask : *FMain->FilePage->Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(AMask);
    QTest::keyClick(&LMask, Qt::Key_Return);
  }
  TAction &RenameAction() const {
    return FFolders ? *FMain->FolderPage->acRenameFolder : *FMain->FilePage->acRename;
  }
  TAction &RollbackAction() const {
    return FFolders ? *FMain->FolderPage->acRollbackFolder : *FMain->FilePage->acRollback;
  }
  void Run(TAction &AAction) {
    const qsizetype LBefore = FMessages->Messages().size();
    FMain->UpdateActions();
    QVERIFY(AAction.isEnabled());
    AAction.trigger();
    QVERIFY(guitest::WaitForStep(Page()));
    QTRY_COMPARE(FMessages->Messages().size(), LBefore + 1);
  }
  // Sets the modification time of the entry AName to noon of the day ADay
  // of March 2020 (a folder's too).
  void SetDay(const QString &AName, int ADay) {
    const qint64 LSeconds = QDateTime(QDate(2020, 3, ADay), QTime(12, 0)).toSecsSinceEpoch();
    const struct timespec LTimes[2] = {{LSeconds, 0}, {LSeconds, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(Path(AName)).constData(), LTimes, 0), 0);
  }
  // Makes the entries ANames (files or folders as the test's kind), each
  // modified on its day, and lists them on the page.
  void AddDatedEntries(const QList<std::pair<QString, int>> &ANames) {
    QStringList LPaths;
    for (const auto &[LName, LDay] : ANames) {
      if (FFolders) {
        QVERIFY(QDir().mkpath(Path(LName)));
      } else {
        QFile LFile(Path(LName));
        QVERIFY(LFile.open(QIODevice::WriteOnly));
      }
      SetDay(LName, LDay);
      LPaths.append(Path(LName));
    }
    FMain->ShowPage(FFolders ? TMainPage::mpFolderRename : TMainPage::mpFileRename);
    FMain->OpenPaths(FFolders, LPaths);
    QVERIFY(guitest::WaitForStep(Page()));
  }
  QMenu &SortByMenu() const { return *Page().SortByButton().menu(); }
  // The entries of the "Sort by" menu, and those checked as it opens.
  QStringList SortByEntries(bool AChecked) const {
    Q_EMIT SortByMenu().aboutToShow();
    QStringList LTexts;
    for (const QAction *LAction : SortByMenu().actions())
      if (!LAction->isSeparator() && (!AChecked || LAction->isChecked()))
        LTexts.append(LAction->text());
    return LTexts;
  }
  // Chooses AText in the "Sort by" menu and waits for the step it starts.
  void ChooseSortBy(const QString &AText) {
    QToolButton &LButton = Page().SortByButton();
    QVERIFY(LButton.isVisible() && LButton.isEnabled());
    Q_EMIT SortByMenu().aboutToShow();
    QAction *LChosen = nullptr;
    for (QAction *LAction : SortByMenu().actions())
      if (LAction->text() == AText)
        LChosen = LAction;
    QVERIFY2(LChosen != nullptr, qPrintable(AText));
    LChosen->trigger();
    QVERIFY(guitest::WaitForStep(Page()));
  }
  QString OldNameColumn() const {
    return Page()
        .Model()
        .headerData(Page().Model().ColumnOf(TListGridModel::dcOldName), Qt::Horizontal,
                    ColumnNameRole)
        .toString();
  }

  static QStringList Names(int ACount) {
    QStringList LNames;
    for (int i = 0; i < ACount; ++i)
      LNames.append(u"n%1"_s.arg(i, 3, 10, QLatin1Char('0')));
    return LNames;
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<guitest::TExecutableFolder>();
    FMessages = std::make_unique<guitest::TMessageRecorder>();
  }
  void init() {
    QDir(GetJournal().Folder()).removeRecursively();
    FDir = std::make_unique<QTemporaryDir>();
    FMessages->Clear();
    FMain = std::make_unique<TfmMain>();
    // A folder from outside stands for itself (the window has read its
    // settings by now).
    GetSettings().SetIncludeSelectedRootFolder(true);
    GetSettings().SetIncludeSelectedSubFolder(false);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  void cleanup() {
    TStepWorker::SetStopAfter(-1);
    FMain.reset();
    FDir.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  // A Rollback cancelled anywhere lists exactly the items still under their
  // new names, each with the mark of the untried and a balloon that says
  // so; another Rollback moves them back.
  void ACancelledRollbackListsWhatIsStillRenamed_data() {
    QTest::addColumn<bool>("Folders");
    QTest::addColumn<int>("StopAfter");
    const char *LSeedText = std::getenv("VARNWELL_TEST_SEED");
    const unsigned LSeed =
        LSeedText != nullptr ? static_cast<unsigned>(std::atoi(LSeedText)) : std::random_device{}();
    qInfo("seed %u (VARNWELL_TEST_SEED)", LSeed);
    std::mt19937 LRandom(LSeed);
    for (const bool LFolders : {false, true})
      for (int i = 0; i < 3; ++i) {
        const int LStop = std::uniform_int_distribution<int>(1, 11)(LRandom);
        QTest::addRow("%s, stop after %d", LFolders ? "folders" : "files", LStop)
            << LFolders << LStop;
      }
  }
  void ACancelledRollbackListsWhatIsStillRenamed() {
    QFETCH(bool, Folders);
    QFETCH(int, StopAfter);
    FFolders = Folders;
    AddEntries(Names(12));
    SetMask(u"[N]_r"_s);
    Run(RenameAction());
    QCOMPARE(FMessages->Texts().last(), u"Rename done."_s);
    TStepWorker::SetStopAfter(StopAfter);
    Run(RollbackAction());
    TStepWorker::SetStopAfter(-1);
    QCOMPARE(FMessages->Texts().last(),
             u"Rollback was cancelled: %1 of 12 moved back."_s.arg(StopAfter));
    QStringList LStill;
    for (const QString &LName : Names(12))
      if (Exists(LName + u"_r"_s))
        LStill.append(LName);
    QCOMPARE(LStill.size(), 12 - StopAfter);
    QStringList LListed = Column(0);
    LListed.sort();
    QCOMPARE(LListed, LStill);
    QCOMPARE(guitest::HintMarks(Grid()), QString(LStill.size(), u'N'));
    if (!LStill.isEmpty()) {
      Page().GridMouseMove(Grid().visualRect(Page().Model().index(0, 0)).center());
      const TfmBallonHint *LBalloon = TfmBallonHint::Instance();
      QVERIFY(LBalloon != nullptr && LBalloon->TimerActive());
      QCOMPARE(LBalloon->lBallonHint->text(), u"Rollback was cancelled before this item."_s);
    }
    // Another Rollback finishes it.
    Run(RollbackAction());
    QCOMPARE(FMessages->Texts().last(), u"Rollback done."_s);
    for (const QString &LName : Names(12))
      QVERIFY(Exists(LName) && !Exists(LName + u"_r"_s));
    QVERIFY(!Page().HasHintColumn());
    QCOMPARE(Page().Model().rowCount(), 12);
  }

  // An Add leaves the whole list in the order the header's marker shows
  // ("Old Name" A-Z at first), across folders, and the counter follows.
  void AnAddLeavesTheListInTheMarkersOrder_data() {
    QTest::addColumn<bool>("Folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void AnAddLeavesTheListInTheMarkersOrder() {
    QFETCH(bool, Folders);
    FFolders = Folders;
    // A walk takes "c" and "d" before it enters "z"; the list then sorts.
    for (const QString &LName : {u"top/d"_s, u"top/z/b"_s, u"top/c"_s, u"top/z/a"_s}) {
      if (Folders) {
        QVERIFY(QDir().mkpath(Path(LName)));
      } else {
        QVERIFY(QDir().mkpath(QFileInfo(Path(LName)).path()));
        QFile LFile(Path(LName));
        QVERIFY(LFile.open(QIODevice::WriteOnly));
      }
    }
    GetSettings().SetIncludeSelectedRootFolder(false);
    GetSettings().SetIncludeSelectedSubFolder(true);
    FMain->ShowPage(Folders ? TMainPage::mpFolderRename : TMainPage::mpFileRename);
    FMain->OpenPaths(Folders, {Path(u"top"_s)});
    QVERIFY(guitest::WaitForStep(Page()));
    const QStringList LNames = Folders ? QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"z"_s}
                                       : QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QCOMPARE(Column(0), LNames);
    SetMask(u"[N]_[C]"_s);
    QStringList LNumbered;
    for (int i = 0; i < LNames.size(); ++i)
      LNumbered.append(LNames[i] + u"_"_s + QString::number(i + 1));
    QCOMPARE(Column(1), LNumbered);
  }

  // An Add tells in one message all that it could not take: paths that name
  // nothing, the program's own files, and folders it could not read, each
  // with its reason.
  void AnAddTellsWhatItCouldNotTake_data() {
    QTest::addColumn<bool>("Folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void AnAddTellsWhatItCouldNotTake() {
    QFETCH(bool, Folders);
    FFolders = Folders;
    const testsupport::TPermissionsEnforced LEnforced;
    if (!LEnforced.Enforced())
      QSKIP("permissions are not enforced for this user");
    QVERIFY(QDir().mkpath(Path(u"open/shut/in"_s)));
    QFile LFile(Path(u"open/a"_s));
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.close();
    const QString LJournal = GetJournal().Folder();
    QVERIFY(QDir().mkpath(LJournal));
    QFile LOwn(LJournal + u"/kept"_s);
    QVERIFY(LOwn.open(QIODevice::WriteOnly));
    LOwn.close();
    QVERIFY(QFile::setPermissions(Path(u"open/shut"_s), QFileDevice::Permissions()));
    const auto LRestore = qScopeGuard([this] {
      QFile::setPermissions(Path(u"open/shut"_s), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner);
    });
    GetSettings().SetIncludeSelectedRootFolder(false);
    GetSettings().SetIncludeSelectedSubFolder(true);
    FMain->ShowPage(Folders ? TMainPage::mpFolderRename : TMainPage::mpFileRename);
    // The journal's folder for files; for folders the one that holds it.
    const QString LOwnSource = Folders ? FExe->Path() : LJournal;
    FMain->OpenPaths(Folders, {Path(u"gone"_s), Path(u"open"_s), LOwnSource});
    QVERIFY(guitest::WaitForStep(Page()));
    QTRY_COMPARE(FMessages->Messages().size(), 1);
    // The walk lists "shut" but cannot enter it.
    QCOMPARE(Column(0), Folders ? QStringList{u"shut"_s} : QStringList{u"a"_s});
    const QString LOwnEntry = Folders ? LJournal : LJournal + u"/kept"_s;
    const QString LExpected = u"Not found: "_s + Path(u"gone"_s) + u"\n\n1 file was not added\n"_s +
                              LOwnEntry + u": Used by Varnwell\n\nCould not read 1 folder:\n"_s +
                              Path(u"open/shut"_s) + u": Permission denied"_s;
    QCOMPARE(FMessages->Messages().front().Text, LExpected);
  }

  // In a large list a sort, a mask, a Delete and Clear change the list on
  // the worker, so the window never stops for them; the rows come out as in
  // a small list, which changes at once.
  void ALargeListChangesOnTheWorkerAsASmallOneDoes_data() {
    QTest::addColumn<bool>("Folders");
    QTest::addColumn<bool>("Large");
    QTest::newRow("files") << false << false;
    QTest::newRow("files, large") << false << true;
    QTest::newRow("folders") << true << false;
    QTest::newRow("folders, large") << true << true;
  }
  void ALargeListChangesOnTheWorkerAsASmallOneDoes() {
    QFETCH(bool, Folders);
    QFETCH(bool, Large);
    FFolders = Folders;
    const int LBefore = TRenamePage::SetLargeList(Large ? 1 : 1000000);
    const auto LRestore = qScopeGuard([LBefore] { TRenamePage::SetLargeList(LBefore); });
    AddEntries({u"b"_s, u"d"_s, u"a"_s, u"c"_s});
    const auto LChanged = [&](const std::function<void()> &AChange) {
      AChange();
      QCOMPARE(Page().StepRunning(), Large);
      QVERIFY(guitest::WaitForStep(Page()));
    };
    LChanged([&] { SetMask(u"[N]_[C]"_s); });
    QCOMPARE(Column(1), (QStringList{u"a_1"_s, u"b_2"_s, u"c_3"_s, u"d_4"_s}));
    // The first press on "Old Name" sorts it Z-A; the counter follows.
    LChanged([&] { Page().HeaderPressed(Page().Model().ColumnOf(TListGridModel::dcOldName)); });
    QCOMPARE(Column(0), (QStringList{u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
    QCOMPARE(Column(1), (QStringList{u"d_1"_s, u"c_2"_s, u"b_3"_s, u"a_4"_s}));
    Grid().selectRow(1);
    LChanged([&] { Page().DeleteSelected(); });
    QCOMPARE(Column(1), (QStringList{u"d_1"_s, u"b_2"_s, u"a_3"_s}));
    QCOMPARE(Grid().selectionModel()->selectedRows().size(), 1);
    QCOMPARE(Grid().selectionModel()->selectedRows().front().row(), 1);
    LChanged([&] { Page().ClearList(); });
    QCOMPARE(Page().Model().rowCount(), 0);
  }

  // "Sort by" orders the rows by what the columns do not show, the counter
  // following; the header's marker leaves the columns meanwhile, and a
  // press on a header sorts by its column exactly as it did before. Items
  // added later take their places in the order in force.
  void SortByOrdersBeyondTheColumns_data() {
    QTest::addColumn<bool>("Folders");
    QTest::addColumn<bool>("Large");
    QTest::newRow("files") << false << false;
    QTest::newRow("files, large") << false << true;
    QTest::newRow("folders") << true << false;
    QTest::newRow("folders, large") << true << true;
  }
  void SortByOrdersBeyondTheColumns() {
    QFETCH(bool, Folders);
    QFETCH(bool, Large);
    FFolders = Folders;
    const int LBefore = TRenamePage::SetLargeList(Large ? 1 : 1000000);
    const auto LRestore = qScopeGuard([LBefore] { TRenamePage::SetLargeList(LBefore); });
    AddDatedEntries({{u"a"_s, 3}, {u"b"_s, 1}, {u"c"_s, 2}});
    QCOMPARE(Column(0), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(SortByEntries(false),
             Folders ? (QStringList{u"Old Name"_s, u"New Name"_s, u"Location"_s, u"Modified"_s,
                                    u"Ascending"_s, u"Descending"_s})
                     : (QStringList{u"Old Name"_s, u"New Name"_s, u"Location"_s, u"Date taken"_s,
                                    u"Modified"_s, u"Size"_s, u"Ascending"_s, u"Descending"_s}));
    QCOMPARE(SortByEntries(true), (QStringList{u"Old Name"_s, u"Ascending"_s}));
    SetMask(u"[N]_[C]"_s);
    QVERIFY(guitest::WaitForStep(Page()));

    ChooseSortBy(u"Modified"_s);
    QCOMPARE(Column(0), (QStringList{u"b"_s, u"c"_s, u"a"_s}));
    QCOMPARE(Column(1), (QStringList{u"b_1"_s, u"c_2"_s, u"a_3"_s}));
    QVERIFY(Page().Header().MarkerColumn().isEmpty());
    QCOMPARE(SortByEntries(true), (QStringList{u"Modified"_s, u"Ascending"_s}));
    ChooseSortBy(u"Descending"_s);
    QCOMPARE(Column(1), (QStringList{u"a_1"_s, u"c_2"_s, u"b_3"_s}));
    QCOMPARE(SortByEntries(true), (QStringList{u"Modified"_s, u"Descending"_s}));
    QVERIFY(Page().Header().MarkerColumn().isEmpty());

    // The first press on "Old Name" sorts it Z-A, as without "Sort by".
    Page().HeaderPressed(Page().Model().ColumnOf(TListGridModel::dcOldName));
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Column(1), (QStringList{u"c_1"_s, u"b_2"_s, u"a_3"_s}));
    QCOMPARE(Page().Header().MarkerColumn(), OldNameColumn());
    QVERIFY(Page().Header().MarkerPointsDown());
    QCOMPARE(SortByEntries(true), (QStringList{u"Old Name"_s, u"Descending"_s}));
    // A column chosen in the menu keeps the direction and shows the marker.
    ChooseSortBy(u"Ascending"_s);
    QCOMPARE(Column(1), (QStringList{u"a_1"_s, u"b_2"_s, u"c_3"_s}));
    QCOMPARE(Page().Header().MarkerColumn(), OldNameColumn());
    QVERIFY(!Page().Header().MarkerPointsDown());
    // The next press flips it, as a press after a press does.
    Page().HeaderPressed(Page().Model().ColumnOf(TListGridModel::dcOldName));
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Column(0), (QStringList{u"c"_s, u"b"_s, u"a"_s}));

    // An Add puts the new item where the order in force has it.
    ChooseSortBy(u"Modified"_s);
    QCOMPARE(SortByEntries(true), (QStringList{u"Modified"_s, u"Descending"_s}));
    AddDatedEntries({{u"d"_s, 5}, {u"e"_s, 1}});
    QCOMPARE(Column(0), (QStringList{u"d"_s, u"a"_s, u"c"_s, u"b"_s, u"e"_s}));
    QCOMPARE(Column(1), (QStringList{u"d_1"_s, u"a_2"_s, u"c_3"_s, u"b_4"_s, u"e_5"_s}));
    QVERIFY(Page().Header().MarkerColumn().isEmpty());
  }

  // The dates taken are read in the worker, with Cancel: a cancelled read
  // leaves the order and the marker as they were.
  void SortByDateTakenReadsInTheWorker() {
    if (!metadata::PhotoMetadataAvailable())
      QSKIP("built without Exiv2: photos are not read");
    FFolders = false;
    const QByteArray LJpeg = testsupport::GreyJpeg(8, 8);
    const struct {
      const char *FName;
      const char *FTaken;
    } LPhotos[] = {{"p1.jpg", "2019:05:02 08:00:00"},
                   {"p2.jpg", "2019:05:03 08:00:00"},
                   {"p3.jpg", "2019:05:01 08:00:00"}};
    QStringList LPaths;
    for (const auto &LPhoto : LPhotos) {
      const QString LPath = Path(QString::fromUtf8(LPhoto.FName));
      QVERIFY(testsupport::WriteFile(LPath, LJpeg));
      QVERIFY(testsupport::WriteImageFields(QFile::encodeName(LPath),
                                            {{"Exif.Photo.DateTimeOriginal", LPhoto.FTaken}}));
      LPaths.append(LPath);
    }
    FMain->ShowPage(TMainPage::mpFileRename);
    FMain->OpenPaths(false, LPaths);
    QVERIFY(guitest::WaitForStep(Page()));
    SetMask(u"[C]"_s);
    QCOMPARE(Column(0), (QStringList{u"p1.jpg"_s, u"p2.jpg"_s, u"p3.jpg"_s}));

    TStepWorker::SetStopAfter(1);
    ChooseSortBy(u"Date taken"_s);
    TStepWorker::SetStopAfter(-1);
    QCOMPARE(Column(0), (QStringList{u"p1.jpg"_s, u"p2.jpg"_s, u"p3.jpg"_s}));
    QCOMPARE(Page().Header().MarkerColumn(), OldNameColumn());

    Q_EMIT SortByMenu().aboutToShow();
    for (QAction *LAction : SortByMenu().actions())
      if (LAction->text() == u"Date taken"_s)
        LAction->trigger();
    QVERIFY(Page().StepRunning());
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Column(0), (QStringList{u"p3.jpg"_s, u"p1.jpg"_s, u"p2.jpg"_s}));
    QCOMPARE(Column(1), (QStringList{u"1.jpg"_s, u"2.jpg"_s, u"3.jpg"_s}));
    QVERIFY(Page().Header().MarkerColumn().isEmpty());
  }

  // When a step ends the focus is back where it was: a mask that reads
  // metadata, and a Rename pressed from the mask field.
  void TheFocusComesBackWhenAStepEnds_data() {
    QTest::addColumn<bool>("Folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void TheFocusComesBackWhenAStepEnds() {
    QFETCH(bool, Folders);
    FFolders = Folders;
    AddEntries(Names(3));
    FMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FMain.get()));
    QLineEdit &LMask =
        FFolders ? *FMain->FolderPage->edFolderMask : *FMain->FilePage->Edit_RenameMask;
    if (!FFolders) {
      // A mask that reads the photos' sizes reads them in a step of its own.
      SetMask(u"[W]x[H]_[N]"_s);
      QVERIFY(guitest::WaitForStep(Page()));
      QCOMPARE(QApplication::focusWidget(), &LMask);
    }
    SetMask(u"[N]_r"_s);
    QCOMPARE(QApplication::focusWidget(), &LMask);
    QTest::keyClick(&LMask, Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(guitest::WaitForStep(Page()));
    QTRY_VERIFY(!FMessages->Messages().isEmpty());
    QCOMPARE(QApplication::focusWidget(), &LMask);
  }

  // The grid's new name is the name the entry gets: an extension mask that
  // leaves a lone "." gives no extension.
  void TheGridShowsTheNameTheMoveGives_data() {
    QTest::addColumn<bool>("Folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void TheGridShowsTheNameTheMoveGives() {
    QFETCH(bool, Folders);
    FFolders = Folders;
    AddEntries({u"README"_s});
    SetMask(u"[N]_x"_s);
    QCOMPARE(Column(1), QStringList{u"README_x"_s});
    Run(RenameAction());
    QVERIFY(Exists(u"README_x"_s));
  }

  // A journal whose records cannot be appended part way through a batch:
  // the batch stops at its next group, the report gives the message with
  // the batch's counts, History shows it as interrupted, and its Rollback
  // brings every entry back.
  void AJournalThatFailsIsReportedAndRolledBackFromHistory_data() {
    QTest::addColumn<bool>("Folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void AJournalThatFailsIsReportedAndRolledBackFromHistory() {
    QFETCH(bool, Folders);
    FFolders = Folders;
    AddEntries(Names(300));
    SetMask(u"[N]_r"_s);
    // The batch's header and plan take two appends; the third, the done
    // records of the first 256 moves, fails.
    std::atomic<int> LAppends{0};
    const auto LPrevious =
        platform::detail::SetJournalCallHook([&LAppends](platform::detail::TJournalCall ACall) {
          return ACall == platform::detail::TJournalCall::Append && ++LAppends >= 3 ? ENOSPC : 0;
        });
    Run(RenameAction());
    platform::detail::SetJournalCallHook(LPrevious);
    const QStringList LLines = FMessages->Texts().last().split(u'\n');
    QCOMPARE(LLines.size(), 2);
    QVERIFY2(LLines[0].startsWith(u"The rename journal could not be written completely: "_s),
             qPrintable(LLines[0]));
    QCOMPARE(LLines[1], u"256 of 300 renamed."_s);
    QCOMPARE(QDir(FDir->path()).entryList({u"*_r"_s}, QDir::Files | QDir::Dirs).size(), 256);
    // The items not renamed are listed, never tried.
    QCOMPARE(guitest::HintMarks(Grid()), QString(44, u'N'));

    FMain->ShowPage(TMainPage::mpHistory);
    THistoryPage &LHistory = *FMain->HistoryPage;
    QCOMPARE(LHistory.Model->rowCount(), 1);
    QTRY_VERIFY(!LHistory.Loading());
    QCOMPARE(LHistory.Model->index(0, 4).data().toString(), u"interrupted"_s);
    LHistory.sgHistory->selectRow(0);
    FMain->UpdateActions();
    QVERIFY(LHistory.acRollbackBatch->isEnabled());
    LHistory.acRollbackBatch->trigger();
    QVERIFY(guitest::WaitForStep(LHistory));
    QCOMPARE(FMessages->Texts().last(), u"Rollback done."_s);
    for (const QString &LName : Names(300))
      QVERIFY(Exists(LName) && !Exists(LName + u"_r"_s));
    // The page's list follows the batch moved back.
    QCOMPARE(List().HasRenamedItems(), false);
  }
};

QTEST_MAIN(TTestRenamePage)
#include "tst_renamepage.moc"
