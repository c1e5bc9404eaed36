// The folder page driven through the main window on real temporary folder
// trees: collecting with both options, the overlay, the details, Delete and
// Clear, the masks, Rename and Rollback with their reports and hint column,
// the balloon, and sorting by a header press.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFolderPage.h"
#include "uFolderGridModel.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uPageKit.h"
#include "uResourceString.h"
#include "uSelectFolderForm.h"
#include "uSetting.h"
#include "uUtil.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

// Answers the select-folder dialog: types AFolder, sets the two options and
// presses OK; AAfterOk runs once the dialog has accepted (before the walk).
class TAddFolderAnswer {
public:
  TAddFolderAnswer(const QString &AFolder, bool ASub, bool ARoot,
                   std::function<void()> AAfterOk = nullptr) {
    FPrevious = SetSelectFolderHook([=](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(AFolder);
      AForm.cbIncludeSubDir->setChecked(ASub);
      AForm.cbIncludeRootDir->setChecked(ARoot);
      AForm.Button_ClearClick();
      if (AAfterOk)
        AAfterOk();
    });
  }
  ~TAddFolderAnswer() { SetSelectFolderHook(std::move(FPrevious)); }
  TAddFolderAnswer(const TAddFolderAnswer &) = delete;
  TAddFolderAnswer &operator=(const TAddFolderAnswer &) = delete;

private:
  TSelectFolderHook FPrevious;
};

QString TodayLogFile(const QString &AFolder) {
  return QDir(AFolder).filePath(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                QStringLiteral(".log"));
}

// The log's entries without their time stamps.
QStringList LogEntries(const QString &AFile) {
  QStringList LEntries;
  const QStringList LLines = guitest::ReadLogFile(AFile).split(QStringLiteral("\r\n"));
  for (const QString &LLine : LLines) {
    const qsizetype LTab = LLine.indexOf(QLatin1Char('\t'));
    if (LTab >= 0)
      LEntries.append(LLine.mid(LTab + 1));
  }
  return LEntries;
}

} // namespace

class TTestFolderPage : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FTree;
  std::unique_ptr<TfmMain> FMain;
  std::unique_ptr<QAbstractItemModelTester> FTester;

  TFolderPage &Page() const { return *FMain->FolderPage; }
  TFolderList &List() const { return *FMain->FFolderList; }
  QString LogFolder() const { return FExe->File(QStringLiteral("Logs")); }
  QString Root() const { return FTree->filePath(QStringLiteral("root")); }
  QString Path(const QString &ARelative) const { return Root() + QLatin1Char('/') + ARelative; }
  void MakeDirs(const QStringList &ARelatives) const {
    for (const QString &LRelative : ARelatives)
      QVERIFY(QDir().mkpath(Path(LRelative)));
  }
  int Rows() const { return Page().GridModel().rowCount(); }
  QString Cell(int ARow, int ANameColumn) const {
    const TFolderGridModel &LModel = Page().GridModel();
    return LModel.index(ARow, LModel.NameColumn() + ANameColumn).data().toString();
  }
  QStringList Column(int ANameColumn) const {
    QStringList LTexts;
    for (int LRow = 0; LRow < Rows(); ++LRow)
      LTexts.append(Cell(LRow, ANameColumn));
    return LTexts;
  }
  // The value in row ARow of the detail view, as its grid shows it.
  QString Detail(int ARow) const {
    return Page().sgDetailInfoFolder->model()->index(ARow, 1).data().toString();
  }
  void Add(const QString &AFolder, bool ASub, bool ARoot) {
    TAddFolderAnswer LAnswer(AFolder, ASub, ARoot);
    Page().acAddFolder->trigger();
    QVERIFY(guitest::WaitForStep(Page()));
  }
  // Makes the folders ANames below the root and adds them one by one: the
  // list holds them in this order.
  void AddEach(const QStringList &ANames) {
    for (const QString &LName : ANames) {
      MakeDirs({LName});
      Add(Path(LName), false, true);
    }
  }
  void SetMask(const QString &AMask) {
    Page().edFolderMask->setText(AMask);
    Page().edFolderMaskExit();
    FMain->UpdateActions();
  }
  // Waits until the deferred handler of the run timer has run and the size
  // probe has measured what the details asked for.
  void WaitDeferred() {
    QTRY_VERIFY(!FMain->FRunTimer->isActive() && !Page().SizeProbe->Busy());
    QTest::qWait(5);
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FExe->WriteSettings(
        QStringLiteral("[Logging]\r\nEnableLog=1\r\nLogFolder=%1\r\nDeleteOldLogFiles=0\r\n")
            .arg(LogFolder()));
    QDir(LogFolder()).removeRecursively();
    FMessages->Clear();
    FTree = std::make_unique<QTemporaryDir>();
    QVERIFY(FTree->isValid());
    QVERIFY(QDir().mkpath(Root()));
    FMain = std::make_unique<TfmMain>();
    FTester = std::make_unique<QAbstractItemModelTester>(
        &Page().GridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    FMain->ShowPage(TMainPage::mpFolderRename);
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  void cleanup() {
    FTester.reset();
    FMain.reset();
    GetLogger().StopLogging();
    FTree.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void StartsEmpty() {
    QCOMPARE(Rows(), 0);
    QVERIFY(!Page().txtFolderCount->isVisible());
    QCOMPARE(Page().edFolderMask->text(), QStringLiteral("[N]"));
    QVERIFY(Page().acAddFolder->isEnabled());
    QVERIFY(!Page().acClearFolder->isEnabled());
    QVERIFY(!Page().acDeleteFolder->isEnabled());
    QVERIFY(!Page().acRenameFolder->isEnabled());
    QVERIFY(!Page().acRollbackFolder->isEnabled());
    QCOMPARE(Page().Header().MarkerColumn(), QStringLiteral("scOldName"));
    // The detail view names its four properties and shows no values.
    const QAbstractItemModel &LDetails = *Page().sgDetailInfoFolder->model();
    QCOMPARE(LDetails.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Properties"));
    QCOMPARE(LDetails.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QStringList LNames;
    for (int LRow = 0; LRow < LDetails.rowCount(); ++LRow)
      LNames.append(LDetails.index(LRow, 0).data().toString());
    QCOMPARE(LNames, (QStringList{QStringLiteral("Name"), QStringLiteral("Location"),
                                  QStringLiteral("Size"), QStringLiteral("Date")}));
    QCOMPARE(Detail(0), QString());
    QVERIFY(!Page().sgDetailInfoFolder->isEnabled());
  }

  // Both options list the folder itself and every folder below it, hidden
  // ones left out, in the order the header's marker shows: "Old Name" A-Z.
  void BothOptionsListTheRootAndTheFoldersBelowByName() {
    MakeDirs({QStringLiteral("a/a1"), QStringLiteral("a/a2/a2x"), QStringLiteral("b/b1"),
              QStringLiteral(".hidden/inner/deeper")});
    Add(Root(), true, true);
    QStringList LFull;
    for (int LIndex = 0; LIndex < List().Count(); ++LIndex)
      LFull.append(QDir::cleanPath(List().Items(LIndex)->FullFolderName()));
    QStringList LExpected;
    for (const QString &LName :
         {QStringLiteral("/a"), QStringLiteral("/a/a1"), QStringLiteral("/a/a2"),
          QStringLiteral("/a/a2/a2x"), QStringLiteral("/b"), QStringLiteral("/b/b1"), QString()})
      LExpected.append(QDir::cleanPath(Root()) + LName);
    QCOMPARE(LFull, LExpected);
    QCOMPARE(Rows(), 7);
    QCOMPARE(Cell(6, 0), QStringLiteral("root"));
    // The mask "[N]" gives every folder its own name.
    QStringList LNewNames = Column(1);
    LNewNames.sort();
    QCOMPARE(LNewNames,
             (QStringList{QStringLiteral("a"), QStringLiteral("a1"), QStringLiteral("a2"),
                          QStringLiteral("a2x"), QStringLiteral("b"), QStringLiteral("b1"),
                          QStringLiteral("root")}));
    QCOMPARE(Page().txtFolderCount->text(), QStringLiteral("7 folders"));
    QVERIFY(Page().txtFolderCount->isVisible());
    QVERIFY(FMessages->Texts().isEmpty());
    // The choices are remembered in the settings.
    QCOMPARE(GetSettings().LastOpenedFolder(), Root());
    QVERIFY(GetSettings().IncludeSelectedSubFolder());
    QVERIFY(GetSettings().IncludeSelectedRootFolder());
  }

  void OnlySubdirectoriesLeaveTheRootOut() {
    MakeDirs({QStringLiteral("one"), QStringLiteral("two/three")});
    Add(Root(), true, false);
    QStringList LNames = Column(0);
    LNames.sort();
    QCOMPARE(LNames,
             (QStringList{QStringLiteral("one"), QStringLiteral("three"), QStringLiteral("two")}));
  }

  void OnlyTheRootAddsOneFolder() {
    MakeDirs({QStringLiteral("one")});
    Add(Root(), false, true);
    QCOMPARE(Column(0), QStringList{QStringLiteral("root")});
    QCOMPARE(Page().txtFolderCount->text(), QStringLiteral("1 folder"));
  }

  void SameFolderTwiceAddsNothingAndReports() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b")});
    Add(Root(), true, true);
    QCOMPARE(Rows(), 3);
    Add(Root(), true, true);
    QCOMPARE(Rows(), 3);
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("3 files were not added")});
    Add(Path(QStringLiteral("a")), false, true);
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("1 file was not added"));
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())),
             (QStringList{
                 QStringLiteral("Application was started"), QStringLiteral("Trying to add folder"),
                 QStringLiteral("Trying to add folder"), QStringLiteral("3 files were not added"),
                 QStringLiteral("Trying to add folder"), QStringLiteral("1 file was not added")}));
  }

  void ChoicesAreOfferedAgainInALaterRun() {
    MakeDirs({QStringLiteral("a")});
    Add(Path(QStringLiteral("a")), true, false);
    FTester.reset();
    FMain.reset();
    GetSettings().SetLastOpenedFolder(QString());
    FMain = std::make_unique<TfmMain>();
    QString LShown;
    bool LSub = false;
    bool LRoot = true;
    const TSelectFolderHook LPrevious = SetSelectFolderHook([&](TfmSelectFolderForm &AForm) {
      LShown = AForm.editSelectDir->text();
      LSub = AForm.cbIncludeSubDir->isChecked();
      LRoot = AForm.cbIncludeRootDir->isChecked();
    });
    Page().acAddFolder->trigger();
    SetSelectFolderHook(LPrevious);
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(LShown, Path(QStringLiteral("a")));
    QVERIFY(LSub);
    QVERIFY(!LRoot);
  }

  void EnterAppliesTheMaskAndTheReplacement() {
    MakeDirs({QStringLiteral("abc")});
    Add(Path(QStringLiteral("abc")), false, true);
    Page().edFolderMask->setText(QStringLiteral("[N]-[N]"));
    QTest::keyClick(Page().edFolderMask, Qt::Key_Return);
    QCOMPARE(Column(1), QStringList{QStringLiteral("abc-abc")});
    Page().edFolderSearch->setText(QStringLiteral("B"));
    Page().edFolderReplace->setText(QStringLiteral("_"));
    QTest::keyClick(Page().edFolderSearch, Qt::Key_Enter);
    QCOMPARE(Column(1), QStringList{QStringLiteral("a_c-a_c")});
    // Leaving the mask field applies a changed mask.
    Page().edFolderMask->setFocus();
    Page().edFolderMask->setText(QStringLiteral("x[N]"));
    Page().edFolderSearch->setFocus();
    QCOMPARE(Column(1), QStringList{QStringLiteral("xabc")});
  }

  // A context menu opening over a field, or the window losing activation,
  // leaves the caret where it is: no mask is applied and Rollback stays as
  // it was. Focus moving to another control does apply it.
  void FocusLostToAPopupOrAnotherWindowIsNoExit() {
    MakeDirs({QStringLiteral("abc")});
    Add(Path(QStringLiteral("abc")), false, true);
    Page().acRollbackFolder->SetTag(0);
    const auto LFocusOut = [](QWidget &AField, Qt::FocusReason AReason) {
      QFocusEvent LEvent(QEvent::FocusOut, AReason);
      QApplication::sendEvent(&AField, &LEvent);
    };
    Page().edFolderMask->setText(QStringLiteral("x[N]"));
    Page().edFolderSearch->setText(QStringLiteral("b"));
    Page().edFolderReplace->setText(QStringLiteral("_"));
    for (const Qt::FocusReason LReason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
      LFocusOut(*Page().edFolderMask, LReason);
      LFocusOut(*Page().edFolderReplace, LReason);
      QCOMPARE(Column(1), QStringList{QStringLiteral("abc")});
      QCOMPARE(Page().acRollbackFolder->Tag(), 0);
    }
    LFocusOut(*Page().edFolderMask, Qt::TabFocusReason);
    QCOMPARE(Column(1), QStringList{QStringLiteral("xabc")});
    QCOMPARE(Page().acRollbackFolder->Tag(), 1);
    LFocusOut(*Page().edFolderReplace, Qt::MouseFocusReason);
    QCOMPARE(Column(1), QStringList{QStringLiteral("xa_c")});
  }

  void CancelledDialogOnlyLogs() {
    MakeDirs({QStringLiteral("a")});
    GetSettings().SetLastOpenedFolder(QStringLiteral("/kept"));
    const TSelectFolderHook LPrevious =
        SetSelectFolderHook([](TfmSelectFolderForm &AForm) { AForm.Image2Click(); });
    Page().acAddFolder->trigger();
    SetSelectFolderHook(LPrevious);
    QCOMPARE(Rows(), 0);
    QCOMPARE(GetSettings().LastOpenedFolder(), QStringLiteral("/kept"));
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(), QStringLiteral("Trying to add folder"));
  }

  void ProgressIsShownDuringTheWalkAndGoneAfter() {
    MakeDirs({QStringLiteral("a/b/c")});
    TAddFolderAnswer LAnswer(Root(), true, false);
    QSignalSpy LReports(Page().StepWorker, &TStepWorker::Progressed);
    Page().acAddFolder->trigger();
    QVERIFY(Page().StepProgress->isVisible());
    QVERIFY(!Page().acAddFolder->isEnabled());
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Rows(), 3);
    // A walk cannot know its total: the bar shows that it is busy.
    QVERIFY(!LReports.isEmpty());
    QCOMPARE(LReports.first().at(1).toInt(), 0);
    QVERIFY(Page().StepProgress->isHidden());
    QVERIFY(Page().acAddFolder->isEnabled());
  }

  // An Add stopped by Cancel adds nothing: the list keeps what it held.
  void CancelledAddFolderAddsNothing() {
    MakeDirs({QStringLiteral("kept"), QStringLiteral("tree/a/b"), QStringLiteral("tree/c")});
    Add(Path(QStringLiteral("kept")), false, true);
    SetMask(QStringLiteral("[N]_r"));
    const int LPrevious = TStepWorker::SetStopAfter(2);
    Add(Path(QStringLiteral("tree")), true, true);
    TStepWorker::SetStopAfter(LPrevious);
    const QString LText = QStringLiteral("Adding was cancelled after 3 found: nothing was added.");
    QCOMPARE(FMessages->Texts(), QStringList{LText});
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(), LText);
    QCOMPARE(Column(1), QStringList{QStringLiteral("kept_r")});
    QCOMPARE(List().Count(), 1);
    Add(Path(QStringLiteral("tree")), true, true);
    QCOMPARE(List().Count(), 5);
  }

  void ProgressIsGoneWhenTheWalkFails() {
    MakeDirs({QStringLiteral("gone/below")});
    const QString LGone = Path(QStringLiteral("gone"));
    // The folder vanishes between the dialog and the walk.
    TAddFolderAnswer LAnswer(LGone, true, true, [LGone] { QDir(LGone).removeRecursively(); });
    Page().acAddFolder->trigger();
    QVERIFY(guitest::WaitForStep(Page()));
    QCOMPARE(Rows(), 0);
    QVERIFY(Page().StepProgress->isHidden());
    QVERIFY(FMessages->Texts().isEmpty() ||
            FMessages->Texts() == QStringList{QStringLiteral("1 file was not added")});
  }

  void DetailsShowTheSizeOnceMeasured() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    QFile LFile(Path(QStringLiteral("a/data.bin")));
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.write(QByteArray(2048, 'x'));
    LFile.close();
    Add(Path(QStringLiteral("a")), false, true);
    // The size is measured on a thread of its own and shown when known.
    QTRY_VERIFY(List().Items(0)->IsInitializedSize());
    QCOMPARE(Detail(0), QStringLiteral("a"));
    QCOMPARE(Detail(1), QDir::cleanPath(Root()));
    QCOMPARE(Detail(2), List().Items(0)->SizeStr());
    QVERIFY(!Detail(2).isEmpty());
    QCOMPARE(Detail(3), List().Items(0)->DateStr());
    QVERIFY(Page().sgDetailInfoFolder->isEnabled());
    // Adding more computes the size of the shown folder only.
    Add(Root(), true, false);
    WaitDeferred();
    int LMeasured = 0;
    for (int LIndex = 0; LIndex < List().Count(); ++LIndex)
      LMeasured += List().Items(LIndex)->IsInitializedSize() ? 1 : 0;
    QCOMPARE(LMeasured, 1);
  }

  void GridIsPaintedBeforeTheSizeIsComputed() {
    MakeDirs({QStringLiteral("a/b")});
    // The probe is held until the test lets it go, so the window is seen
    // while the size is still unknown.
    const auto LRelease = std::make_shared<std::atomic<bool>>(false);
    Page().SizeProbe->SetMeasure(
        [LRelease](const QString &AFolder, const std::atomic<bool> *AStop) -> int64_t {
          while (!LRelease->load() && !AStop->load())
            QThread::msleep(1);
          return GetFolderSize(AFolder, AStop);
        });
    // Records, at every paint of the grid after the Add, whether the size was
    // known yet. While the Add runs, its thread alone touches the list.
    class TGridPaints : public QObject {
    public:
      TGridPaints(QWidget &AViewport, const TFolderPage &APage, TFolderList &AList)
          : FPage(APage), FList(AList) {
        AViewport.installEventFilter(this);
      }
      QList<bool> FSizeKnown;

    protected:
      bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint && !FPage.StepRunning() && FList.Count() > 0)
          FSizeKnown.append(FList.Items(0)->IsInitializedSize());
        return QObject::eventFilter(AWatched, AEvent);
      }

    private:
      const TFolderPage &FPage;
      TFolderList &FList;
    } LPaints(*Page().sgFolderRename->viewport(), Page(), List());
    Add(Path(QStringLiteral("a")), true, true);
    QTRY_VERIFY(!LPaints.FSizeKnown.isEmpty());
    QCOMPARE(LPaints.FSizeKnown.first(), false);
    QCOMPARE(Detail(2), rs::MeasuringSize);
    LRelease->store(true);
    WaitDeferred();
    QVERIFY(List().Items(0)->IsInitializedSize());
    QCOMPARE(Detail(2), List().Items(0)->SizeStr());
  }

  void DeleteWithCounterRenumbersTheRest() {
    AddEach({QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3"), QStringLiteral("f4"),
             QStringLiteral("f5")});
    QCOMPARE(Rows(), 5);
    SetMask(QStringLiteral("[N]_[C]"));
    QCOMPARE(Column(1),
             (QStringList{QStringLiteral("f1_1"), QStringLiteral("f2_2"), QStringLiteral("f3_3"),
                          QStringLiteral("f4_4"), QStringLiteral("f5_5")}));
    Page().sgFolderRename->selectRow(1);
    Page().acDeleteFolder->trigger();
    QCOMPARE(Rows(), 4);
    QCOMPARE(Column(0), (QStringList{QStringLiteral("f1"), QStringLiteral("f3"),
                                     QStringLiteral("f4"), QStringLiteral("f5")}));
    QCOMPARE(Column(1), (QStringList{QStringLiteral("f1_1"), QStringLiteral("f3_2"),
                                     QStringLiteral("f4_3"), QStringLiteral("f5_4")}));
    // The row that was selected stays selected, with its new folder.
    QCOMPARE(Page().sgFolderRename->selectionModel()->selectedRows().first().row(), 1);
    QCOMPARE(Detail(0), QStringLiteral("f3"));
    QCOMPARE(Page().txtFolderCount->text(), QStringLiteral("4 folders"));
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(),
             QStringLiteral("Delete folder \"f2\" from list"));
  }

  void DeleteWithoutCounterKeepsTheNames() {
    AddEach({QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3")});
    SetMask(QStringLiteral("x[N]"));
    Page().sgFolderRename->selectRow(0);
    Page().acDeleteFolder->trigger();
    QCOMPARE(Column(1), (QStringList{QStringLiteral("xf2"), QStringLiteral("xf3")}));
    QCOMPARE(List().Items(0)->Index(), 0);
    QCOMPARE(List().Items(1)->Index(), 1);
  }

  void DeleteTheLastRowSelectsTheNewLast() {
    AddEach({QStringLiteral("f1"), QStringLiteral("f2"), QStringLiteral("f3")});
    Page().sgFolderRename->selectRow(2);
    Page().acDeleteFolder->trigger();
    QCOMPARE(Column(0), (QStringList{QStringLiteral("f1"), QStringLiteral("f2")}));
    QCOMPARE(Page().sgFolderRename->selectionModel()->selectedRows().first().row(), 1);
    QCOMPARE(Detail(0), QStringLiteral("f2"));
  }

  void DeleteTheOnlyRowEmptiesEverything() {
    Add(Root(), false, true);
    WaitDeferred();
    QCOMPARE(Detail(0), QStringLiteral("root"));
    Page().sgFolderRename->selectRow(0);
    Page().acDeleteFolder->trigger();
    QCOMPARE(Rows(), 0);
    QCOMPARE(List().Count(), 0);
    QVERIFY(!Page().txtFolderCount->isVisible());
    for (int LRow = 0; LRow < 4; ++LRow)
      QCOMPARE(Detail(LRow), QString());
    QVERIFY(!Page().sgDetailInfoFolder->isEnabled());
    QVERIFY(!Page().acDeleteFolder->isEnabled());
    QVERIFY(!Page().acClearFolder->isEnabled());
    // The same folder can be added again.
    Add(Root(), false, true);
    QCOMPARE(Rows(), 1);
  }

  void DeleteWithoutSelectionRemovesNothing() {
    MakeDirs({QStringLiteral("f1"), QStringLiteral("f2")});
    Add(Root(), true, false);
    Page().sgFolderRename->clearSelection();
    Page().acDeleteFolder->trigger();
    QCOMPARE(Rows(), 2);
  }

  void ClearEmptiesTheListAndLogs() {
    MakeDirs({QStringLiteral("f1"), QStringLiteral("f2")});
    Add(Root(), true, false);
    QVERIFY(Page().acClearFolder->isEnabled());
    Page().acClearFolder->trigger();
    QCOMPARE(Rows(), 0);
    QCOMPARE(List().Count(), 0);
    QVERIFY(!Page().txtFolderCount->isVisible());
    QCOMPARE(Detail(0), QString());
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(), QStringLiteral("Clear folders list"));
  }

  void CounterInMaskRenumbersOldAndNewOnAdd() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b/b1")});
    Add(Path(QStringLiteral("a")), false, true);
    SetMask(QStringLiteral("[C]-[N]"));
    QCOMPARE(Column(1), QStringList{QStringLiteral("1-a")});
    Add(Path(QStringLiteral("b")), true, true);
    QCOMPARE(Column(1),
             (QStringList{QStringLiteral("1-a"), QStringLiteral("2-b"), QStringLiteral("3-b1")}));
  }

  void MaskSearchCaseAndCounterControls() {
    MakeDirs({QStringLiteral("alpha one"), QStringLiteral("beta")});
    Add(Path(QStringLiteral("alpha one")), false, true);
    Add(Path(QStringLiteral("beta")), false, true);
    // Leaving the mask unchanged does nothing, not even block Rollback.
    Page().edFolderMaskExit();
    QCOMPARE(Page().acRollbackFolder->Tag(), 0);
    SetMask(QStringLiteral("[N]!"));
    QCOMPARE(Column(1), (QStringList{QStringLiteral("alpha one!"), QStringLiteral("beta!")}));
    QCOMPARE(Page().acRollbackFolder->Tag(), 1);
    // Search and replace on leaving the replace field.
    Page().edFolderSearch->setText(QStringLiteral("A"));
    Page().edFolderReplace->setText(QStringLiteral("4"));
    Page().edFolderReplaceExit();
    QCOMPARE(Column(1), (QStringList{QStringLiteral("4lph4 one!"), QStringLiteral("bet4!")}));
    // The case rule applies after search and replace.
    Page().cbxFolderCase->setCurrentIndex(4);
    QCOMPARE(Column(1), (QStringList{QStringLiteral("4lph4 One!"), QStringLiteral("Bet4!")}));
    Page().edFolderSearch->clear();
    Page().cbxFolderCase->setCurrentIndex(2);
    QCOMPARE(Column(1), (QStringList{QStringLiteral("ALPHA ONE!"), QStringLiteral("BETA!")}));
    // Counter controls without "[C]" store the values but change no name.
    Page().sboxFolderCntStart->setValue(7);
    QCOMPARE(List().Items(1)->CounterStart(), 7);
    QCOMPARE(Column(1), (QStringList{QStringLiteral("ALPHA ONE!"), QStringLiteral("BETA!")}));
    // With "[C]" they recompute the names.
    SetMask(QStringLiteral("[C]"));
    Page().cboxFolderCntNumber->setCurrentIndex(2);
    Page().sboxFolderCntStep->setValue(5);
    QCOMPARE(Column(1), (QStringList{QStringLiteral("007"), QStringLiteral("012")}));
    // Apply acts only on a changed mask.
    Page().edFolderMask->setText(QStringLiteral("[C]"));
    Page().acRollbackFolder->SetTag(0);
    Page().acApplyAllFolder->trigger();
    QCOMPARE(Page().acRollbackFolder->Tag(), 0);
    Page().edFolderMask->setText(QStringLiteral("[N]"));
    Page().acApplyAllFolder->trigger();
    QCOMPARE(Column(1), (QStringList{QStringLiteral("ALPHA ONE"), QStringLiteral("BETA")}));
    QCOMPARE(Page().acRollbackFolder->Tag(), 1);
  }

  // Start at 99, step by 5 and 4 digits, set before the first add or between
  // two adds: every folder added afterwards gets the counter the controls show.
  void FoldersAddedAfterACounterChangeGetTheCounterShown_data() {
    QTest::addColumn<int>("Before"); // folders added before the counter changes
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("empty list, then three folders")
        << 0 << QStringList{QStringLiteral("0099"), QStringLiteral("0104"), QStringLiteral("0109")};
    QTest::newRow("two folders, then three more")
        << 2
        << QStringList{QStringLiteral("0099"), QStringLiteral("0104"), QStringLiteral("0109"),
                       QStringLiteral("0114"), QStringLiteral("0119")};
  }
  void FoldersAddedAfterACounterChangeGetTheCounterShown() {
    QFETCH(int, Before);
    QFETCH(QStringList, Expected);
    SetMask(QStringLiteral("[C]"));
    if (Before > 0)
      AddEach({QStringLiteral("first"), QStringLiteral("second")});
    Page().sboxFolderCntStart->setValue(99);
    Page().sboxFolderCntStep->setValue(5);
    Page().cboxFolderCntNumber->setCurrentIndex(3); // "4" digits
    // Three folders in one add.
    MakeDirs({QStringLiteral("later/a"), QStringLiteral("later/b"), QStringLiteral("later/c")});
    Add(Path(QStringLiteral("later")), true, false);
    QCOMPARE(Column(1), Expected);
  }

  // With the counter in the mask, a delete or a sort names the folders anew
  // by every rule: search and replace and the case rule stay applied.
  void DeleteAndSortKeepSearchAndCaseWithACounter_data() {
    QTest::addColumn<bool>("Sort"); // a press on "Old Name" (descending), else a delete of row 0
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("delete") << false << QStringList{QStringLiteral("BO_1"), QStringLiteral("CO_2")};
    QTest::newRow("sort") << true
                          << QStringList{QStringLiteral("CO_1"), QStringLiteral("BO_2"),
                                         QStringLiteral("OB_3")};
  }
  void DeleteAndSortKeepSearchAndCaseWithACounter() {
    QFETCH(bool, Sort);
    QFETCH(QStringList, Expected);
    SetMask(QStringLiteral("[N]_[C]"));
    Page().edFolderSearch->setText(QStringLiteral("a"));
    Page().edFolderReplace->setText(QStringLiteral("o"));
    Page().cbxFolderCase->setCurrentIndex(2); // "All in UPPER"
    AddEach({QStringLiteral("ab"), QStringLiteral("ba"), QStringLiteral("ca")});
    QCOMPARE(Column(1),
             (QStringList{QStringLiteral("OB_1"), QStringLiteral("BO_2"), QStringLiteral("CO_3")}));
    if (Sort) {
      Page().HeaderPressed(0);
    } else {
      Page().sgFolderRename->selectRow(0);
      Page().acDeleteFolder->trigger();
    }
    QCOMPARE(Column(1), Expected);
  }

  void ColumnsKeepTheirWidthsWhenTheHintColumnComesAndGoes() {
    AddEach({QStringLiteral("a"), QStringLiteral("b")});
    SetMask(QStringLiteral("[N]_r"));
    QHeaderView &LColumns = *Page().sgFolderRename->horizontalHeader();
    // The user widens "Old Name" and narrows "New Name" ("Location", the last
    // column, fills the rest).
    LColumns.resizeSection(0, 181);
    LColumns.resizeSection(1, 123);
    QVERIFY(QDir(Path(QStringLiteral("b"))).removeRecursively());
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QVERIFY(Page().HasHintColumn());
    QCOMPARE(LColumns.sectionSize(0), HintColumnWidth);
    QCOMPARE(LColumns.sectionSize(1), 181);
    QCOMPARE(LColumns.sectionSize(2), 123);
    Page().acRollbackFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QVERIFY(!Page().HasHintColumn());
    QCOMPARE(LColumns.sectionSize(0), 181);
    QCOMPARE(LColumns.sectionSize(1), 123);
  }

  void ACancelledRenameListsTheUntriedAndRollbackRestoresTheRest() {
    AddEach({u"a"_s, u"b"_s, u"c"_s});
    SetMask(u"[N]_r"_s);
    const int LPrevious = TStepWorker::SetStopAfter(1);
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning());
    QCOMPARE(FMessages->Texts(), QStringList{u"Renaming was cancelled: 1 of 3 renamed."_s});
    const QStringList LAfter = QDir(Root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(LAfter.size(), 3);
    QCOMPARE(LAfter.filter(u"_r"_s).size(), 1);
    QCOMPARE(Rows(), 2);
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"NN"_s);
    QVERIFY(!Page().acRenameFolder->isEnabled());
    TStepWorker::SetStopAfter(LPrevious);
    Page().acRollbackFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning());
    QCOMPARE(FMessages->Texts().last(), u"Rollback done."_s);
    QCOMPARE(QDir(Root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QVERIFY(Page().acRenameFolder->isEnabled());
  }

  void ATokenButtonLeavesTheCaretInTheMask() {
    FMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FMain.get()));
    QLineEdit &LMask = *Page().edFolderMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("ab"));
    LMask.setCursorPosition(1);
    QTest::mouseClick(Page().btnFolder_Count, Qt::LeftButton);
    QCOMPARE(LMask.text(), QStringLiteral("a[C]b"));
    QCOMPARE(LMask.cursorPosition(), 4);
    QVERIFY(LMask.hasFocus());
    // The mask was not left, so it was not applied.
    QCOMPARE(List().FolderNameMask(), QString());
  }

  void TokenButtonsInsertAtTheCaret() {
    Page().edFolderMask->setText(QStringLiteral("ab"));
    Page().edFolderMask->setCursorPosition(1);
    Page().acFolder_Count->trigger();
    QCOMPARE(Page().edFolderMask->text(), QStringLiteral("a[C]b"));
    Page().acFolder_Date->trigger();
    Page().acFolder_Time->trigger();
    Page().acFolder_Name->trigger();
    QCOMPARE(Page().edFolderMask->text(), QStringLiteral("a[C][YMD][hms][N]b"));
    // Inserting recomputes nothing.
    QCOMPARE(List().FolderNameMask(), QString());
  }

  // A field that dies with the focus sends a FocusOut: the page that goes
  // away with it applies nothing any more.
  void ClosingThePageWithAnEditedMaskInFocusAppliesNothing() {
    AddEach({QStringLiteral("a")});
    FMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FMain.get()));
    QLineEdit &LMask = *Page().edFolderMask;
    LMask.setFocus();
    QVERIFY(LMask.hasFocus());
    LMask.setText(QStringLiteral("x[N]"));
    FTester.reset();
    delete FMain->FolderPage;
    FMain->FolderPage = nullptr;
    QCOMPARE(List().FolderNameMask(), QStringLiteral("[N]"));
  }

  void ApplyOnAnEmptyListWarns() {
    Page().acApplyAllFolder->trigger();
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("First add some folder")});
  }

  void RenameWithTwoFailuresThenRollback() {
    MakeDirs(
        {QStringLiteral("p/c"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")});
    Add(Root(), true, false);
    QCOMPARE(Rows(), 5);
    SetMask(QStringLiteral("[N]_r"));
    // One vanishes, one finds its target taken.
    QVERIFY(QDir(Path(QStringLiteral("y"))).removeRecursively());
    QVERIFY(QDir().mkpath(Path(QStringLiteral("z_r"))));
    FMessages->Clear();
    QVERIFY(Page().acRenameFolder->isEnabled());
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Failed to rename 2 files. List is below.")});
    QCOMPARE(Rows(), 2);
    QVERIFY(Page().HasHintColumn());
    QCOMPARE(Page().GridModel().columnCount(), 4);
    QVERIFY(qobject_cast<THintColumn *>(Page().sgFolderRename->itemDelegateForColumn(0)) !=
            nullptr);
    QCOMPARE(Page().sgFolderRename->horizontalHeader()->sectionSize(0), 22);
    QCOMPARE(Page().sgFolderRename->horizontalHeader()->sectionSize(1), 150);
    QStringList LFailed = Column(0);
    LFailed.sort();
    QCOMPARE(LFailed, (QStringList{QStringLiteral("y"), QStringLiteral("z")}));
    QCOMPARE(Page().txtFolderCount->text(), QStringLiteral("2 folders"));
    QVERIFY(!Page().acRenameFolder->isEnabled());
    QVERIFY(!Page().acDeleteFolder->isEnabled());
    QVERIFY(Page().acRollbackFolder->isEnabled());
    QVERIFY(QFileInfo(Path(QStringLiteral("p_r/c_r"))).isDir());
    QVERIFY(QFileInfo(Path(QStringLiteral("x_r"))).isDir());
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(),
             QStringLiteral("Failed to rename 2 files. List is below."));

    FMessages->Clear();
    Page().acRollbackFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rollback done.")});
    QVERIFY(QFileInfo(Path(QStringLiteral("p/c"))).isDir());
    QVERIFY(QFileInfo(Path(QStringLiteral("x"))).isDir());
    QVERIFY(!QFileInfo::exists(Path(QStringLiteral("p_r"))));
    // Back in the normal display the hint column shows z's conflict: its new
    // name is still taken.
    QVERIFY(!Page().HasFailureMarks());
    QVERIFY(Page().HasHintColumn());
    QCOMPARE(Page().GridModel().columnCount(), 4);
    QCOMPARE(Page().txtFolderCount->text(), QStringLiteral("5 folders, 1 conflict"));
    QCOMPARE(Rows(), 5);
    // The grid shows the list as it is now: the rename put the deepest
    // folder first.
    QStringList LShown = Column(0);
    QCOMPARE(LShown.takeFirst(), QStringLiteral("c"));
    LShown.sort();
    QCOMPARE(LShown, (QStringList{QStringLiteral("p"), QStringLiteral("x"), QStringLiteral("y"),
                                  QStringLiteral("z")}));
    QVERIFY(!Page().acRollbackFolder->isEnabled());
    QVERIFY(Page().acRenameFolder->isEnabled());
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(), QStringLiteral("Rollback done."));
  }

  void ClearAfterARenameLeavesNothingToRollBack() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]_r"));
    QVERIFY(QDir(Path(QStringLiteral("b"))).removeRecursively());
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QVERIFY(Page().acRollbackFolder->isEnabled());
    QVERIFY(Page().acClearFolder->isEnabled());
    Page().acClearFolder->trigger();
    QCOMPARE(List().Count(), 0);
    // The renamed folder left the list with it: nothing can be moved back.
    QVERIFY(!Page().acRollbackFolder->isEnabled());
    QVERIFY(QFileInfo(Path(QStringLiteral("a_r"))).isDir());
  }

  void RenameAllThenRollbackWithOneFailure() {
    MakeDirs({QStringLiteral("p/c"), QStringLiteral("x")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]2"));
    FMessages->Clear();
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(), QStringLiteral("Rename done."));
    // Every folder was renamed: the renamed display shows none.
    QCOMPARE(Rows(), 0);
    QVERIFY(!Page().txtFolderCount->isVisible());
    QVERIFY(!Page().acClearFolder->isEnabled());
    QVERIFY(QFileInfo(Path(QStringLiteral("p2/c2"))).isDir());
    // The old name of x is taken again.
    QVERIFY(QDir().mkpath(Path(QStringLiteral("x"))));
    FMessages->Clear();
    Page().acRollbackFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Failed to rollback 1 file. List is below.")});
    QCOMPARE(LogEntries(TodayLogFile(LogFolder())).last(),
             QStringLiteral("Failed to rollback 1 file. List is below."));
    QVERIFY(QFileInfo(Path(QStringLiteral("p/c"))).isDir());
    QVERIFY(QFileInfo(Path(QStringLiteral("x2"))).isDir());
    QVERIFY(Page().HasHintColumn());
    // Shown are the folders that have their old names back.
    QStringList LShown = Column(0);
    LShown.sort();
    QCOMPARE(LShown, (QStringList{QStringLiteral("c"), QStringLiteral("p")}));
    QVERIFY(!Page().acRollbackFolder->isEnabled());
  }

  void AddAfterRenameStartsANewList() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]_r"));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("b_r"))));
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QVERIFY(Page().HasHintColumn());
    QCOMPARE(Page().acRenameFolder->Tag(), 1);
    Add(Path(QStringLiteral("b")), false, true);
    // The failure marks are gone; b's new name is still taken, which the new
    // list shows as a conflict in the normal display.
    QVERIFY(!Page().HasFailureMarks());
    QCOMPARE(Page().GridModel().columnCount(), 4);
    QCOMPARE(Page().GridModel().index(0, 0).data(MarkRole).toInt(),
             static_cast<int>(THintMark::Conflict));
    QCOMPARE(Column(0), QStringList{QStringLiteral("b")});
    QCOMPARE(Page().acRenameFolder->Tag(), 0);
    QCOMPARE(Page().acRollbackFolder->Tag(), 1);
    QVERIFY(!Page().acRollbackFolder->isEnabled());
    QVERIFY(Page().acRenameFolder->isEnabled());
  }

  void BalloonShowsTheReasonOncePerRow() {
    MakeDirs({QStringLiteral("a"), QStringLiteral("b")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]_r"));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("a_r"))));
    QVERIFY(QDir(Path(QStringLiteral("b"))).removeRecursively());
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(Rows(), 2);
    const int LRow = static_cast<int>(Column(0).indexOf(QStringLiteral("b")));
    QVERIFY(LRow >= 0);
    QTableView &LGrid = *Page().sgFolderRename;
    const QRect LCell = LGrid.visualRect(Page().GridModel().index(LRow, 0));
    Page().GridMouseMove(LCell.center());
    QCOMPARE(Page().FLastHintCell, LRow);
    TfmBallonHint *LBalloon = TfmBallonHint::Instance();
    QVERIFY(LBalloon != nullptr);
    QCOMPARE(LBalloon->lbTitle->text(), QStringLiteral("b"));
    QCOMPARE(LBalloon->lBallonHint->text(), QStringLiteral("Directory not exist"));
    QVERIFY(LBalloon->TimerActive());
    // Moving within the row asks for nothing new.
    LBalloon->lbTitle->setText(QStringLiteral("untouched"));
    Page().GridMouseMove(LCell.center() + QPoint(1, 1));
    QCOMPARE(LBalloon->lbTitle->text(), QStringLiteral("untouched"));
    // Leaving the hint column hides it.
    const QRect LName = LGrid.visualRect(Page().GridModel().index(LRow, 1));
    Page().GridMouseMove(LName.center());
    QCOMPARE(Page().FLastHintCell, -1);
    QVERIFY(!LBalloon->TimerActive());
    // Back on the mark through a real mouse move, then out of the grid: the
    // balloon goes.
    QTest::mouseMove(LGrid.viewport(), LCell.center());
    QCOMPARE(Page().FLastHintCell, LRow);
    QVERIFY(LBalloon->TimerActive());
    QEvent LLeave(QEvent::Leave);
    QCoreApplication::sendEvent(LGrid.viewport(), &LLeave);
    QCOMPARE(Page().FLastHintCell, -1);
    QVERIFY(!LBalloon->TimerActive());
  }

  // ---- Conflicts before Rename ----------------------------------------------

  void ConflictMarksComeAndGoWithTheMask() {
    AddEach({u"a"_s, u"b"_s, u"c"_s});
    QHeaderView &LColumns = *Page().sgFolderRename->horizontalHeader();
    LColumns.resizeSection(0, 181);
    Page().sgFolderRename->selectRow(2);
    SetMask(u"x"_s);
    QVERIFY(Page().HasHintColumn());
    QVERIFY(!Page().HasFailureMarks());
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"-CC"_s);
    QVERIFY(qobject_cast<THintColumn *>(Page().sgFolderRename->itemDelegateForColumn(0)) !=
            nullptr);
    QCOMPARE(guitest::HoverMark(*Page().sgFolderRename, 2),
             (QStringList{u"c"_s, u"Same new name as row 1"_s}));
    QCOMPARE(Page().txtFolderCount->text(), u"3 folders, 2 conflicts"_s);
    QCOMPARE(Column(0), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QVERIFY(Page().acRenameFolder->isEnabled());
    // The columns keep their widths, the marker its column and direction,
    // the selected row its selection.
    QCOMPARE(LColumns.sectionSize(0), HintColumnWidth);
    QCOMPARE(LColumns.sectionSize(1), 181);
    QCOMPARE(Page().Header().MarkerSection(), 1);
    QVERIFY(!Page().Header().MarkerPointsDown());
    QCOMPARE(Page().sgFolderRename->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(Page().sgFolderRename->selectionModel()->selectedRows().first().row(), 2);

    SetMask(u"[N]"_s);
    QVERIFY(!Page().HasHintColumn());
    QCOMPARE(Page().GridModel().columnCount(), 3);
    QVERIFY(Page().sgFolderRename->itemDelegateForColumn(0) == nullptr);
    QCOMPARE(LColumns.sectionSize(0), 181);
    QCOMPARE(Page().txtFolderCount->text(), u"3 folders"_s);
    QCOMPARE(Page().Header().MarkerSection(), 0);
    QCOMPARE(Page().sgFolderRename->selectionModel()->selectedRows().size(), 1);
  }

  void ConflictBalloonTellsTheReason_data() {
    QTest::addColumn<QStringList>("AListed"); // added in this order
    QTest::addColumn<QStringList>("AOthers"); // on the disk, not in the list
    QTest::addColumn<QString>("AMask");
    QTest::addColumn<QString>("AMarks");
    QTest::addColumn<int>("ARow");
    QTest::addColumn<QString>("AReason");
    QTest::addColumn<bool>("ADown"); // the rows in descending order of their names
    QTest::newRow("name taken") << QStringList{u"a"_s} << QStringList{u"taken"_s} << u"taken"_s
                                << u"C"_s << 0 << u"A folder with this name exists"_s << false;
    QTest::newRow("invalid name") << QStringList{u"a"_s} << QStringList{} << u"a/b"_s << u"C"_s << 0
                                  << u"Invalid file name"_s << false;
    // In the rows 9, 3, 2, 1: 3 -> 2 and 2 -> 3 swap; 1 -> 4 is taken and
    // 9 -> 1 waits for it.
    QTest::newRow("swap") << QStringList{u"9"_s, u"3"_s, u"2"_s, u"1"_s} << QStringList{u"4"_s}
                          << u"[C]"_s << u"CQQC"_s << 1
                          << u"Swapped with row 3 through a temporary name"_s << true;
  }

  void ConflictBalloonTellsTheReason() {
    QFETCH(QStringList, AListed);
    QFETCH(QStringList, AOthers);
    QFETCH(QString, AMask);
    QFETCH(QString, AMarks);
    QFETCH(int, ARow);
    QFETCH(QString, AReason);
    QFETCH(bool, ADown);
    MakeDirs(AOthers);
    // An Add leaves the rows in the marker's order; a second placement on
    // "Old Name" turns it to descending.
    if (ADown)
      Page().Header().PlaceSortMarker(Page().GridModel().ColumnOf(TListGridModel::dcOldName));
    AddEach(AListed);
    SetMask(AMask);
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), AMarks);
    QCOMPARE(guitest::HoverMark(*Page().sgFolderRename, ARow),
             (QStringList{AListed.at(ARow), AReason}));
  }

  void RenameWithConflictsShowsTheirFailures() {
    AddEach({u"a"_s, u"b"_s});
    SetMask(u"x"_s);
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"-C"_s);
    QVERIFY(Page().acRenameFolder->isEnabled());
    FMessages->Clear();
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(FMessages->Texts(), QStringList{u"Failed to rename 1 file. List is below."_s});
    QVERIFY(QFileInfo(Path(u"x"_s)).isDir());
    // The renamed display with the failure mark, as after any failure.
    QVERIFY(Page().HasFailureMarks());
    QCOMPARE(Rows(), 1);
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"F"_s);
    QCOMPARE(Page().txtFolderCount->text(), u"1 folder"_s);
    QVERIFY(!Page().acRenameFolder->isEnabled());
    QCOMPARE(guitest::HoverMark(*Page().sgFolderRename, 0),
             (QStringList{Cell(0, 0), u"Folder already exists"_s}));
  }

  void MarksFollowSortingDeleteAndApply() {
    AddEach({u"a"_s, u"b"_s, u"c"_s});
    SetMask(u"x"_s);
    // "Old Name" (behind the hint column) descending: c takes the name.
    Page().HeaderPressed(1);
    QCOMPARE(Column(0), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"-CC"_s);
    QCOMPARE(guitest::HoverMark(*Page().sgFolderRename, 2),
             (QStringList{u"a"_s, u"Same new name as row 1"_s}));
    Page().sgFolderRename->selectRow(0);
    Page().acDeleteFolder->trigger();
    QCOMPARE(Column(0), (QStringList{u"b"_s, u"a"_s}));
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"-C"_s);
    QCOMPARE(Page().txtFolderCount->text(), u"2 folders, 1 conflict"_s);
    Page().sgFolderRename->selectRow(1);
    Page().acDeleteFolder->trigger();
    QVERIFY(!Page().HasHintColumn());
    QCOMPARE(Page().txtFolderCount->text(), u"1 folder"_s);
    // Another program takes b's new name: Apply reads the folder anew.
    QVERIFY(QDir().mkpath(Path(u"x"_s)));
    Page().acApplyAllFolder->trigger();
    QCOMPARE(guitest::HintMarks(*Page().sgFolderRename), u"C"_s);
    QCOMPARE(Page().txtFolderCount->text(), u"1 folder, 1 conflict"_s);
  }

  void SortByNewNameUpThenDown() {
    MakeDirs({QStringLiteral("b"), QStringLiteral("C"), QStringLiteral("a"), QStringLiteral("_x")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]"));
    TSortHeaderView &LHeader = Page().Header();
    Page().HeaderPressed(1);
    // Letters a to z compare as A to Z; "_" (0x5F) sorts after "C" and
    // before "a" would, but "a" is taken as "A".
    QCOMPARE(Column(1), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("C"),
                                     QStringLiteral("_x")}));
    QCOMPARE(LHeader.MarkerColumn(), QStringLiteral("scNewName"));
    QVERIFY(!LHeader.MarkerPointsDown());
    QTest::mousePress(LHeader.viewport(), Qt::RightButton, {},
                      QPoint(LHeader.sectionViewportPosition(1) + 30, LHeader.height() / 2));
    QCOMPARE(Column(1), (QStringList{QStringLiteral("_x"), QStringLiteral("C"), QStringLiteral("b"),
                                     QStringLiteral("a")}));
    QVERIFY(LHeader.MarkerPointsDown());
    for (int LIndex = 0; LIndex < List().Count(); ++LIndex)
      QCOMPARE(List().Items(LIndex)->Index(), LIndex);
    // The first press on "Old Name" sorts descending: it starts as "Up".
    Page().HeaderPressed(0);
    QCOMPARE(Column(0), (QStringList{QStringLiteral("_x"), QStringLiteral("C"), QStringLiteral("b"),
                                     QStringLiteral("a")}));
  }

  void SortByLocationThenOldName() {
    MakeDirs({QStringLiteral("b/z"), QStringLiteral("b/y"), QStringLiteral("a")});
    Add(Root(), true, false);
    Page().HeaderPressed(2);
    QCOMPARE(Column(0), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("y"),
                                     QStringLiteral("z")}));
  }

  void SortWithCounterRenumbers() {
    MakeDirs({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N][C]"));
    Page().acRollbackFolder->SetTag(0);
    Page().HeaderPressed(2);
    QCOMPARE(Column(1),
             (QStringList{QStringLiteral("a1"), QStringLiteral("b2"), QStringLiteral("c3")}));
    QCOMPARE(Page().acRollbackFolder->Tag(), 1);
  }

  void SortIgnoredOnOneRowAndOnTheHintColumn() {
    Add(Root(), false, true);
    Page().HeaderPressed(1);
    QCOMPARE(Page().Header().MarkerColumn(), QStringLiteral("scOldName"));
    QVERIFY(Page().Header().SectionTag(1).isEmpty());

    MakeDirs({QStringLiteral("a"), QStringLiteral("b")});
    Add(Root(), true, false);
    SetMask(QStringLiteral("[N]_r"));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("a_r"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("b_r"))));
    Page().acRenameFolder->trigger();
    QTRY_VERIFY(!Page().StepRunning()); // the worker's step ends
    QCOMPARE(Rows(), 2);
    const QStringList LBefore = Column(0);
    const QString LMarker = Page().Header().MarkerColumn();
    Page().HeaderPressed(0);
    QCOMPARE(Column(0), LBefore);
    QCOMPARE(Page().Header().MarkerColumn(), LMarker);
  }
};

QTEST_MAIN(TTestFolderPage)
#include "tst_folderpage.moc"
