// The file page driven through the window with real files in a temporary
// folder: collecting, the counter and masks, Rename and Rollback with their
// reports and hint column, sorting by header presses, the count line and the
// detail view.
#include "FMX.BallonHint.h"
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "uAction.h"
#include "uControlUtils.h"
#include "uFileGridModel.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uPageKit.h"
#include "uPropertyGridModel.h"
#include "uRenamePlan.h"
#include "uSetting.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using guitest::TBrowseAnswer;
using guitest::TExecutableFolder;
using guitest::TMessageRecorder;
using guitest::WaitForStep;

namespace {

// Answers the open-file dialog with the paths given to Choose (nullopt: cancel).
class TOpenFilesAnswer {
public:
  TOpenFilesAnswer() {
    FPrevious = SetOpenFilesHook([this](const QString &ATitle) {
      FTitles.append(ATitle);
      return FChosen;
    });
  }
  ~TOpenFilesAnswer() { SetOpenFilesHook(std::move(FPrevious)); }
  TOpenFilesAnswer(const TOpenFilesAnswer &) = delete;
  TOpenFilesAnswer &operator=(const TOpenFilesAnswer &) = delete;

  void Choose(std::optional<QStringList> APaths) { FChosen = std::move(APaths); }
  const QStringList &Titles() const { return FTitles; }

private:
  std::optional<QStringList> FChosen;
  QStringList FTitles;
  TOpenFilesHook FPrevious;
};

// The window on the file page, shown, with a model tester on the grid.
struct TPage {
  TPage() {
    Main.ShowPage(TMainPage::mpFileRename);
    Main.show();
    Main.activateWindow();
    (void)QTest::qWaitForWindowActive(&Main);
    Page = Main.FilePage;
    Tester = std::make_unique<QAbstractItemModelTester>(
        Page->GridModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
  }
  TfmMain Main;
  TFilePage *Page = nullptr;
  std::unique_ptr<QAbstractItemModelTester> Tester;

  QTableView &Grid() const { return *Page->StringGrid_Rename; }
  TFileList &List() const { return *Main.FFileList; }
  int Rows() const { return Page->GridModel->rowCount(); }
  // The text of a data column (0 Old Name, 1 New Name, 2 Location) in ARow.
  QString Cell(int ARow, int ADataColumn) const {
    const auto LColumn = static_cast<TFileGridModel::TDataColumn>(ADataColumn);
    return Page->GridModel->index(ARow, Page->GridModel->ColumnOf(LColumn)).data().toString();
  }
  QStringList Column(int ADataColumn) const {
    QStringList LTexts;
    for (int LRow = 0; LRow < Rows(); ++LRow)
      LTexts.append(Cell(LRow, ADataColumn));
    return LTexts;
  }
  QString Detail(int ARow) const { return Page->DetailModel->Value(ARow); }
  void Add(TOpenFilesAnswer &AAnswer, const QStringList &APaths) {
    AAnswer.Choose(APaths);
    Page->acAddFile->trigger();
    QVERIFY(WaitForStep(*Page));
  }
  // Types AText into AEdit and presses Enter.
  void TypeAndEnter(QLineEdit &AEdit, const QString &AText) {
    AEdit.setFocus();
    AEdit.setText(AText);
    QTest::keyClick(&AEdit, Qt::Key_Return);
  }
  // Presses AButton on the header of the model column ASection.
  void PressHeader(int ASection, Qt::MouseButton AButton = Qt::LeftButton) {
    QHeaderView &LHeader = *Grid().horizontalHeader();
    const QPoint LPos(LHeader.sectionViewportPosition(ASection) + LHeader.sectionSize(ASection) / 2,
                      LHeader.height() / 2);
    QTest::mousePress(LHeader.viewport(), AButton, {}, LPos);
    QTest::mouseRelease(LHeader.viewport(), AButton, {}, LPos);
  }
  int SortSection(TFileGridModel::TDataColumn AColumn) const {
    return Page->GridModel->ColumnOf(AColumn);
  }
};

// Where the sort marker of AHeader is drawn, read back from its pixels: 1 for
// a triangle pointing up, -1 pointing down, 0 when the section shows none.
int DrawnMarker(TSortHeaderView &AHeader, int ASection) {
  const QImage LImage = AHeader.grab().toImage();
  const QRect LSection(AHeader.sectionViewportPosition(ASection), 0, AHeader.sectionSize(ASection),
                       AHeader.height());
  const QRect LBox = TSortHeaderView::MarkerRect(LSection);
  const auto LDark = [&LImage](int AX, int AY) {
    return qGray(LImage.pixel(AX, AY)) < 128;
  };
  const int LLeft = LBox.left() + 1;
  const bool LTopWide = LDark(LLeft, LBox.top() + 1);
  const bool LBottomWide = LDark(LLeft, LBox.bottom() - 1);
  if (LTopWide == LBottomWide)
    return 0;
  return LBottomWide ? 1 : -1;
}

} // namespace

class TTestFilePage : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<TOpenFilesAnswer> FOpen;
  std::unique_ptr<QTemporaryDir> FDir;

  QString LogFolder() const { return FExe->File(QStringLiteral("Logs")); }
  QString Log() const { return guitest::ReadLogFile(GetLogger().LogFileName()); }
  // The log's messages, without their times.
  QStringList LogEntries() const {
    QStringList LEntries;
    for (const QString &LLine : Log().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
      const qsizetype LTab = LLine.indexOf(QLatin1Char('\t'));
      LEntries.append(LTab < 0 ? LLine : LLine.mid(LTab + 1));
    }
    return LEntries;
  }
  QString Path(const QString &ARelative) const { return FDir->filePath(ARelative); }
  QString Write(const QString &ARelative, const QByteArray &AContent = QByteArray("x")) const {
    const QString LPath = Path(ARelative);
    QDir().mkpath(QFileInfo(LPath).path());
    QFile LFile(LPath);
    if (LFile.open(QIODevice::WriteOnly))
      LFile.write(AContent);
    return LPath;
  }
  QStringList WriteAll(const QStringList &ANames) const {
    QStringList LPaths;
    for (const QString &LName : ANames)
      LPaths.append(Write(LName));
    return LPaths;
  }
  bool Exists(const QString &ARelative) const { return QFileInfo::exists(Path(ARelative)); }
  // Waits for the Rename or Rollback to report.
  void WaitForMessages(int ACount) { QTRY_COMPARE(FMessages->Messages().size(), ACount); }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
    FOpen = std::make_unique<TOpenFilesAnswer>();
  }
  void init() {
    FDir = std::make_unique<QTemporaryDir>();
    QDir(LogFolder()).removeRecursively();
    FMessages->Clear();
    GetLogger().StartLogging(LogFolder(), 0);
  }
  void cleanup() {
    GetLogger().StopLogging();
    HideBalloonHint();
    if (TfmBallonHint *LBalloon = TfmBallonHint::Instance())
      LBalloon->FinishHide();
    FDir.reset();
  }
  void cleanupTestCase() {
    FOpen.reset();
    FMessages.reset();
    FExe.reset();
  }

  // ---- Collecting ---------------------------------------------------------

  void AddingTheSameFileTwiceAppendsNothingAndReportsIt() {
    TPage LPage;
    const QString LFile = Write(QStringLiteral("a.txt"));
    LPage.Add(*FOpen, {LFile});
    QCOMPARE(FMessages->Texts(), QStringList());
    LPage.Add(*FOpen, {LFile});
    QCOMPARE(LPage.List().Count(), 1);
    QCOMPARE(LPage.Rows(), 1);
    QCOMPARE(FOpen->Titles().last(), QStringLiteral("Select file(s)"));
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("1 file was not added")});
    QCOMPARE(FMessages->Messages().first().Type, TMessageFormType::mftWarting);
    QCOMPARE(
        LogEntries(),
        (QStringList{QStringLiteral("Trying to add files"), QStringLiteral("1 file was added"),
                     QStringLiteral("Trying to add files"), QStringLiteral("0 files were added"),
                     QStringLiteral("1 file was not added")}));
  }

  void CancelledDialogsChangeNothingButTheTryingEntry() {
    TPage LPage;
    TBrowseAnswer LBrowse(std::nullopt);
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    FOpen->Choose(std::nullopt);
    LPage.Page->acAddFile->trigger();
    QVERIFY(WaitForStep(*LPage.Page));
    LPage.Page->acAddFoldersFiles->trigger();
    QVERIFY(WaitForStep(*LPage.Page));
    QCOMPARE(LPage.List().Count(), 1);
    QCOMPARE(LogEntries().mid(2), (QStringList{QStringLiteral("Trying to add files"),
                                               QStringLiteral("Trying to add folder")}));
    QCOMPARE(FMessages->Texts(), QStringList());
  }

  void AddFoldersCollectsEveryFileBelowWithoutFollowingFolderLinks() {
    TPage LPage;
    WriteAll({QStringLiteral("top/a.txt"), QStringLiteral("top/.hidden"),
              QStringLiteral("top/sub/b.txt"), QStringLiteral("top/sub/deeper/c.txt"),
              QStringLiteral("top/sub/.dot/d.txt"), QStringLiteral("outside.txt")});
    QDir().mkpath(Path(QStringLiteral("top/empty")));
    // A link back to the top (a loop), a link to a folder outside, a link to a
    // file and a dangling link.
    QVERIFY(QFile::link(Path(QStringLiteral("top")), Path(QStringLiteral("top/sub/loop"))));
    QVERIFY(QFile::link(FDir->path(), Path(QStringLiteral("top/up"))));
    QVERIFY(
        QFile::link(Path(QStringLiteral("outside.txt")), Path(QStringLiteral("top/file-link"))));
    QVERIFY(QFile::link(Path(QStringLiteral("nowhere")), Path(QStringLiteral("top/dangling"))));
    TBrowseAnswer LBrowse(Path(QStringLiteral("top")));
    LPage.Page->acAddFoldersFiles->trigger();
    QVERIFY(WaitForStep(*LPage.Page));

    QStringList LFound;
    for (int i = 0; i < LPage.List().Count(); ++i)
      LFound.append(
          QDir(Path(QStringLiteral("top"))).relativeFilePath(LPage.List()[i].FullFileName()));
    QStringList LSorted = LFound;
    LSorted.sort();
    QCOMPARE(LSorted, (QStringList{QStringLiteral(".hidden"), QStringLiteral("a.txt"),
                                   QStringLiteral("dangling"), QStringLiteral("file-link"),
                                   QStringLiteral("sub/.dot/d.txt"), QStringLiteral("sub/b.txt"),
                                   QStringLiteral("sub/deeper/c.txt")}));
    // Depth first: the files below "sub" come one after the other.
    QList<qsizetype> LSubTree;
    for (const QString &LEntry : LFound)
      if (LEntry.startsWith(QStringLiteral("sub/")))
        LSubTree.append(LFound.indexOf(LEntry));
    QCOMPARE(LSubTree.size(), 3);
    QCOMPARE(LSubTree.last() - LSubTree.first(), 2);
    QCOMPARE(LPage.Rows(), 7);
    QCOMPARE(GetSettings().LastOpenedFolder(), Path(QStringLiteral("top")));
    QCOMPARE(LBrowse.Calls().size(), 1);
    QCOMPARE(LBrowse.Calls().first().first, QStringLiteral("Select folder"));
    // No "added" entry for folders; a second add of the same folder skips all.
    LPage.Page->acAddFoldersFiles->trigger();
    QVERIFY(WaitForStep(*LPage.Page));
    QCOMPARE(LPage.List().Count(), 7);
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("7 files were not added")});
    QCOMPARE(LogEntries(), (QStringList{QStringLiteral("Trying to add folder"),
                                        QStringLiteral("Trying to add folder"),
                                        QStringLiteral("7 files were not added")}));
  }

  void CounterRenumbersEveryRowAfterAnAddAndADelete() {
    TPage LPage;
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_[C]"));
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("a_1.txt"), QStringLiteral("b_2.txt")}));
    // An edited but unapplied mask with a counter in the applied one: every
    // file takes the edit's text.
    LPage.Page->Edit_RenameMask->setText(QStringLiteral("[C]-[N]"));
    LPage.Add(*FOpen, {Write(QStringLiteral("c.txt"))});
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("1-a.txt"), QStringLiteral("2-b.txt"),
                                           QStringLiteral("3-c.txt")}));
    LPage.Grid().selectRow(0);
    LPage.Page->acDeleteFile->trigger();
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("1-b.txt"), QStringLiteral("2-c.txt")}));
    QCOMPARE(LPage.List()[1].Index(), 1);
    QCOMPARE(LogEntries().last(), QStringLiteral("Delete file \"a.txt\" from list"));
    // The selection stays on the row, which now shows the next file.
    QCOMPARE(LPage.Detail(0), QStringLiteral("b.txt"));
  }

  void AMaskTypedBeforeAClickOnAddFileNamesEveryFile() {
    TPage LPage;
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    QLineEdit &LMask = *LPage.Page->Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("new"));
    // The click takes the focus from the mask, which applies it first.
    FOpen->Choose(QStringList{Write(QStringLiteral("b.txt"))});
    QTest::mouseClick(LPage.Page->btnAddFile, Qt::LeftButton);
    QVERIFY(WaitForStep(*LPage.Page));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("new.txt"), QStringLiteral("new.txt")}));
    QCOMPARE(LPage.List().FileNameMask(), QStringLiteral("new"));
  }

  void SearchAndReplaceRunsOnceOnEveryFileWhateverTheAdds() {
    TPage LPage;
    LPage.Page->Edit_Search->setText(QStringLiteral("a"));
    LPage.Page->Edit_Replace->setText(QStringLiteral("aa"));
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    LPage.Add(*FOpen, {Write(QStringLiteral("b.txt"))});
    LPage.Add(*FOpen, {Write(QStringLiteral("ca.txt"))});
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("aa.txt"), QStringLiteral("b.txt"),
                                           QStringLiteral("caa.txt")}));
  }

  // Start at 99, step by 5 and 4 digits, set before the first add or between
  // two adds: every file added afterwards gets the counter the controls show.
  void FilesAddedAfterACounterChangeGetTheCounterShown_data() {
    QTest::addColumn<QString>("ExtMask");
    QTest::addColumn<int>("Before"); // files added before the counter changes
    QTest::addColumn<int>("After");  // files added after it
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("empty list, then three files")
        << QStringLiteral("[E]") << 0 << 3
        << QStringList{QStringLiteral("0099.txt"), QStringLiteral("0104.txt"),
                       QStringLiteral("0109.txt")};
    QTest::newRow("two files, then two more")
        << QStringLiteral("[E]") << 2 << 2
        << QStringList{QStringLiteral("0099.txt"), QStringLiteral("0104.txt"),
                       QStringLiteral("0109.txt"), QStringLiteral("0114.txt")};
    QTest::newRow("counter in the extension, empty list")
        << QStringLiteral("[C]") << 0 << 3
        << QStringList{QStringLiteral("0099.0099"), QStringLiteral("0104.0104"),
                       QStringLiteral("0109.0109")};
    QTest::newRow("counter in the extension, two files, then two more")
        << QStringLiteral("[C]") << 2 << 2
        << QStringList{QStringLiteral("0099.0099"), QStringLiteral("0104.0104"),
                       QStringLiteral("0109.0109"), QStringLiteral("0114.0114")};
  }
  void FilesAddedAfterACounterChangeGetTheCounterShown() {
    QFETCH(QString, ExtMask);
    QFETCH(int, Before);
    QFETCH(int, After);
    QFETCH(QStringList, Expected);
    TPage LPage;
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[C]"));
    LPage.TypeAndEnter(*LPage.Page->Edit_ExtMask, ExtMask);
    QStringList LFiles;
    for (int i = 0; i < Before + After; ++i)
      LFiles.append(Write(QStringLiteral("f%1.txt").arg(i)));
    if (Before > 0)
      LPage.Add(*FOpen, LFiles.mid(0, Before));
    LPage.Page->SBox_CounterStart->setValue(99);
    LPage.Page->SBox_CounterStep->setValue(5);
    LPage.Page->CBox_CounterNumber->setCurrentIndex(3); // "4" digits
    LPage.Add(*FOpen, LFiles.mid(Before));
    QCOMPARE(LPage.Column(1), Expected);
  }

  // With the counter in the name mask, a delete or a sort names the files
  // anew by every rule: search and replace and the case rule stay applied.
  void DeleteAndSortKeepSearchAndCaseWithACounter_data() {
    QTest::addColumn<bool>("Sort"); // a press on "Old Name" (descending), else a delete of row 0
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("delete") << false
                            << QStringList{QStringLiteral("BO_1.TXT"), QStringLiteral("CO_2.TXT")};
    QTest::newRow("sort") << true
                          << QStringList{QStringLiteral("CO_1.TXT"), QStringLiteral("BO_2.TXT"),
                                         QStringLiteral("OB_3.TXT")};
  }
  void DeleteAndSortKeepSearchAndCaseWithACounter() {
    QFETCH(bool, Sort);
    QFETCH(QStringList, Expected);
    TPage LPage;
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_[C]"));
    LPage.Page->Edit_Search->setText(QStringLiteral("a"));
    LPage.Page->Edit_Replace->setText(QStringLiteral("o"));
    LPage.Page->CBox_Case->setCurrentIndex(2); // "All in UPPER"
    LPage.Add(*FOpen, WriteAll({QStringLiteral("ab.txt"), QStringLiteral("ba.txt"),
                                QStringLiteral("ca.txt")}));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("OB_1.TXT"), QStringLiteral("BO_2.TXT"),
                                           QStringLiteral("CO_3.TXT")}));
    if (Sort) {
      LPage.PressHeader(LPage.SortSection(TFileGridModel::dcOldName));
    } else {
      LPage.Grid().selectRow(0);
      LPage.Page->acDeleteFile->trigger();
    }
    QCOMPARE(LPage.Column(1), Expected);
  }

  void DeleteWithoutASelectedRowRemovesNothing() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.Grid().clearSelection();
    QVERIFY(LPage.Page->acDeleteFile->isEnabled());
    LPage.Page->acDeleteFile->trigger();
    QCOMPARE(LPage.List().Count(), 2);
  }

  // ---- Masks --------------------------------------------------------------

  void EnterInTheMaskRecomputesWithoutSearchOrCase() {
    TPage LPage;
    LPage.Add(*FOpen, {Write(QStringLiteral("ab.txt"))});
    LPage.Page->Edit_Search->setText(QStringLiteral("a"));
    LPage.Page->Edit_Replace->setText(QStringLiteral("z"));
    LPage.Page->CBox_Case->setCurrentIndex(2); // "All in UPPER": recomputes
    QCOMPARE(LPage.Cell(0, 1), QStringLiteral("ZB.TXT"));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_[C]"));
    // Only the name mask is applied: the extension keeps its case.
    QCOMPARE(LPage.Cell(0, 1), QStringLiteral("ab_1.TXT"));
    QCOMPARE(LPage.Page->acRollback->Tag(), 1);
    // Apply with the masks as applied does nothing more.
    LPage.Page->acApplyAll->trigger();
    QCOMPARE(LPage.Cell(0, 1), QStringLiteral("ab_1.TXT"));
    // Enter in the search edit runs the whole sequence again.
    QTest::keyClick(LPage.Page->Edit_Search, Qt::Key_Return);
    QCOMPARE(LPage.Cell(0, 1), QStringLiteral("ZB_1.TXT"));
  }

  // A field that dies with the focus sends a FocusOut: the page that goes
  // away with it applies nothing any more.
  void ClosingThePageWithAnEditedMaskInFocusAppliesNothing() {
    TPage LPage;
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    QLineEdit &LMask = *LPage.Page->Edit_RenameMask;
    LMask.setFocus();
    QVERIFY(LMask.hasFocus());
    LMask.setText(QStringLiteral("x[N]"));
    LPage.Tester.reset();
    delete LPage.Main.FilePage;
    LPage.Main.FilePage = nullptr;
    LPage.Page = nullptr;
    QCOMPARE(LPage.List().FileNameMask(), QStringLiteral("[N]"));
  }

  void ApplyOnAnEmptyListWarns() {
    TPage LPage;
    LPage.Page->acApplyAll->trigger();
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("First add some file.")});
    // Leaving the mask edit on an empty list still stores the mask.
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[C]"));
    QCOMPARE(LPage.List().FileNameMask(), QStringLiteral("[C]"));
  }

  void TokenButtonsInsertAtTheCaretOrBeforeTheSelection() {
    TPage LPage;
    QLineEdit &LMask = *LPage.Page->Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("[N]"));
    LMask.setCursorPosition(3);
    QTest::mouseClick(LPage.Page->Btn_CCounter, Qt::LeftButton);
    QCOMPARE(LMask.text(), QStringLiteral("[N][C]"));
    QCOMPARE(LMask.cursorPosition(), 6);
    QVERIFY(LMask.hasFocus());

    LMask.setText(QStringLiteral("[N]abc"));
    LMask.setSelection(3, 3);
    LPage.Page->acYMDDate->trigger();
    QCOMPARE(LMask.text(), QStringLiteral("[N][YMD]abc"));
    QCOMPARE(LMask.cursorPosition(), 8);
    QVERIFY(!LMask.hasSelectedText());

    QLineEdit &LExt = *LPage.Page->Edit_ExtMask;
    LExt.setCursorPosition(0);
    LPage.Page->acCCounterExt->trigger();
    QCOMPARE(LExt.text(), QStringLiteral("[C][E]"));
    // Inserting applies nothing.
    QCOMPARE(LPage.List().FileNameMask(), QString());
  }

  void CounterControlsRecomputeOnlyWithACounterInAMask() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.Page->acRollback->SetTag(0);
    LPage.Page->SBox_CounterStart->setValue(5);
    QCOMPARE(LPage.Page->acRollback->Tag(), 0);
    QCOMPARE(LPage.List()[0].CounterStart(), 5);
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N][C]"));
    LPage.Page->CBox_CounterNumber->setCurrentIndex(2); // "3" digits
    LPage.Page->SBox_CounterStep->setValue(0);
    QCOMPARE(LPage.Column(1),
             (QStringList{QStringLiteral("a005.txt"), QStringLiteral("b005.txt")}));
    QCOMPARE(LPage.Page->CBox_CounterNumber->itemText(9), QStringLiteral("10"));
  }

  // ---- Rename and Rollback ------------------------------------------------

  void RenameWithOneFailureShowsThatFileWithItsMark() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                QStringLiteral("c.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_new"));
    QVERIFY(QFile::remove(Path(QStringLiteral("b.txt"))));
    QVERIFY(LPage.Page->acRename->isEnabled());
    LPage.Page->acRename->trigger();
    // The Rename runs in the worker; the list is its own until the step ends.
    QVERIFY(LPage.Page->StepRunning());
    WaitForMessages(1);
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Failed to rename 1 file. List is below.")});
    QCOMPARE(LogEntries().last(), QStringLiteral("Failed to rename 1 file. List is below."));
    QVERIFY(Exists(QStringLiteral("a_new.txt")));
    QVERIFY(Exists(QStringLiteral("c_new.txt")));
    QCOMPARE(LPage.Rows(), 1);
    QCOMPARE(LPage.Column(0), QStringList{QStringLiteral("b.txt")});
    QVERIFY(LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Page->GridModel->headerData(0, Qt::Horizontal, ColumnNameRole).toString(),
             HintColumnName);
    QVERIFY(qobject_cast<THintColumn *>(LPage.Grid().itemDelegateForColumn(0)) != nullptr);
    QCOMPARE(LPage.Grid().columnWidth(0), 22);
    QCOMPARE(LPage.Grid().columnWidth(1), 150); // the data columns keep their widths
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("1 file"));
    QVERIFY(!LPage.Page->acRename->isEnabled());
    QVERIFY(LPage.Page->acRollback->isEnabled());
    QVERIFY(!LPage.Page->acDeleteFile->isEnabled());
    QCOMPARE(LPage.List()[1].GridRow(), 0);
    QCOMPARE(LPage.List()[0].GridRow(), -1);

    // Hovering the mark requests the balloon with the name and the reason.
    QWidget *LViewport = LPage.Grid().viewport();
    const QRect LMark = LPage.Grid().visualRect(LPage.Page->GridModel->index(0, 0));
    QTest::mouseMove(LViewport, LMark.center());
    QCOMPARE(LPage.Page->FLastHintCell, 0);
    TfmBallonHint *LBalloon = TfmBallonHint::Instance();
    QVERIFY(LBalloon != nullptr);
    QCOMPARE(LBalloon->lbTitle->text(), QStringLiteral("b.txt"));
    QCOMPARE(LBalloon->lBallonHint->text(), QStringLiteral("File not exist"));
    QVERIFY(LBalloon->TimerActive());
    guitest::TFakeCursor LCursor;
    LCursor.MoveTo(LViewport->mapToGlobal(LMark.center()));
    LBalloon->TimerTimer(); // one tick with the mouse on the grid
    QCOMPARE(LBalloon->Counter(), 1u);
    QTest::mouseMove(LViewport, LMark.center() + QPoint(1, 0));
    QCOMPARE(LBalloon->Counter(), 1u); // the same row is not requested again
    const QRect LName = LPage.Grid().visualRect(LPage.Page->GridModel->index(0, 1));
    QTest::mouseMove(LViewport, LName.center());
    QCOMPARE(LPage.Page->FLastHintCell, -1);
    QVERIFY(!LBalloon->TimerActive());
    // Back on the mark, then out of the grid: the balloon goes.
    QTest::mouseMove(LViewport, LMark.center());
    QVERIFY(LBalloon->TimerActive());
    QEvent LLeave(QEvent::Leave);
    QCoreApplication::sendEvent(LViewport, &LLeave);
    QCOMPARE(LPage.Page->FLastHintCell, -1);
    QVERIFY(!LBalloon->TimerActive());

    // The next add starts a new list: no hint column, Rollback blocked.
    LPage.Add(*FOpen, {Write(QStringLiteral("d.txt"))});
    QCOMPARE(LPage.Column(0), QStringList{QStringLiteral("d.txt")});
    QCOMPARE(LPage.List().Count(), 1);
    QVERIFY(!LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Page->GridModel->columnCount(), 3);
    QCOMPARE(LPage.Grid().columnWidth(0), 150);
    QVERIFY(!LPage.Page->acRollback->isEnabled());
    QCOMPARE(LPage.Page->acRollback->Tag(), 1);
    QCOMPARE(LPage.Page->acRename->Tag(), 0);
    QVERIFY(LPage.Page->acRename->isEnabled());
  }

  void RenameAllThenRollbackRestoresTheRows() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_r"));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QCOMPARE(LPage.Rows(), 0);
    QVERIFY(LPage.Page->txtFileCount->isHidden());
    QVERIFY(!LPage.Page->acClearFile->isEnabled());
    QVERIFY(!LPage.Page->acRename->isEnabled());
    QVERIFY(LPage.Page->acRollback->isEnabled());
    QVERIFY(!LPage.Page->sgDetailInfo->isEnabled());
    QVERIFY(Exists(QStringLiteral("a_r.txt")) && Exists(QStringLiteral("b_r.txt")));

    LPage.Page->acRollback->trigger();
    WaitForMessages(2);
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("Rollback done."));
    QVERIFY(Exists(QStringLiteral("a.txt")) && Exists(QStringLiteral("b.txt")));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("a_r.txt"), QStringLiteral("b_r.txt")}));
    QVERIFY(!LPage.Page->acRollback->isEnabled());
    QVERIFY(LPage.Page->acRename->isEnabled());
    // The rows show the files again, each in the row of its position.
    QCOMPARE(LPage.List()[1].GridRow(), 1);
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_s"));
    QCOMPARE(LPage.List()[0].GridRow(), 0);
    QCOMPARE(LPage.List()[1].GridRow(), 1);
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("a_s.txt"), QStringLiteral("b_s.txt")}));
    QCOMPARE(LogEntries().mid(LogEntries().size() - 2),
             (QStringList{QStringLiteral("Rename done."), QStringLiteral("Rollback done.")}));
  }

  void DeleteAfterAFailedRollbackRemovesTheSelectedRowsFile() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                QStringLiteral("c.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_r"));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    Write(QStringLiteral("a.txt"), "blocker");
    LPage.Page->acRollback->trigger();
    WaitForMessages(2);
    // a stays renamed and hidden: row 1 shows c, the third file of the list.
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
    QVERIFY(LPage.Page->acDeleteFile->isEnabled());
    LPage.Grid().selectRow(1);
    QCOMPARE(LPage.Detail(0), QStringLiteral("c.txt"));
    LPage.Page->acDeleteFile->trigger();
    QCOMPARE(LogEntries().last(), QStringLiteral("Delete file \"c.txt\" from list"));
    QCOMPARE(LPage.List().Count(), 2);
    QCOMPARE(LPage.List()[0].OldName(), QStringLiteral("a.txt"));
    QCOMPARE(LPage.List()[1].OldName(), QStringLiteral("b.txt"));
    QCOMPARE(LPage.Column(0), QStringList{QStringLiteral("b.txt")});
  }

  void ClearAfterARenameLeavesNothingToRollBack() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_r"));
    QVERIFY(QFile::remove(Path(QStringLiteral("b.txt"))));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QVERIFY(LPage.Page->acRollback->isEnabled());
    QVERIFY(LPage.Page->acClearFile->isEnabled());
    LPage.Page->acClearFile->trigger();
    QCOMPARE(LPage.List().Count(), 0);
    // The renamed file left the list with it: nothing can be moved back.
    QVERIFY(!LPage.Page->acRollback->isEnabled());
    QVERIFY(Exists(QStringLiteral("a_r.txt")));
  }

  void RollbackWithOneFailureReportsIt() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_r"));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    // Something new now carries a's old name.
    Write(QStringLiteral("a.txt"), "blocker");
    LPage.Page->acRollback->trigger();
    WaitForMessages(2);
    QCOMPARE(FMessages->Texts().last(),
             QStringLiteral("Failed to rollback 1 file. List is below."));
    QCOMPARE(LogEntries().last(), QStringLiteral("Failed to rollback 1 file. List is below."));
    QVERIFY(Exists(QStringLiteral("a_r.txt")) && Exists(QStringLiteral("b.txt")));
    QVERIFY(LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Column(0), QStringList{QStringLiteral("b.txt")});
    QVERIFY(!LPage.Page->acRollback->isEnabled());
    QVERIFY(!LPage.Page->acRename->isEnabled());
  }

  // ---- Steps in the worker: Cancel and closing ----------------------------

  void CancelledRenameAndRollbackMoveExactlyWhatTheyReport() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s, u"e.txt"_s}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, u"[N]_r"_s);
    const int LPrevious = TStepWorker::SetStopAfter(2);
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QCOMPARE(FMessages->Texts(), QStringList{u"Renaming was cancelled: 2 of 5 renamed."_s});
    QCOMPARE(LogEntries().last(), u"Renaming was cancelled: 2 of 5 renamed."_s);
    // Independent moves go in list order: a and b were renamed, nothing else.
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files, QDir::Name),
             (QStringList{u"a_r.txt"_s, u"b_r.txt"_s, u"c.txt"_s, u"d.txt"_s, u"e.txt"_s}));
    // The files not renamed are listed with the quiet mark of the untried.
    QCOMPARE(LPage.Column(0), (QStringList{u"c.txt"_s, u"d.txt"_s, u"e.txt"_s}));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), u"NNN"_s);
    QVERIFY(!LPage.Page->acRename->isEnabled());
    QVERIFY(LPage.Page->acRollback->isEnabled());
    QVERIFY(LPage.Page->StepProgress->isHidden());
    QVERIFY(LPage.Page->StringGrid_Rename->isEnabled());

    // A Rollback cancelled after one file, then one to the end.
    TStepWorker::SetStopAfter(1);
    LPage.Page->acRollback->trigger();
    WaitForMessages(2);
    QCOMPARE(FMessages->Texts().last(), u"Rollback was cancelled: 1 of 2 moved back."_s);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files, QDir::Name).size(), 5);
    QCOMPARE(QDir(FDir->path()).entryList({u"*_r.txt"_s}, QDir::Files).size(), 1);
    QVERIFY(LPage.Page->acRollback->isEnabled());
    TStepWorker::SetStopAfter(LPrevious);
    LPage.Page->acRollback->trigger();
    WaitForMessages(3);
    QCOMPARE(FMessages->Texts().last(), u"Rollback done."_s);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files, QDir::Name),
             (QStringList{u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s, u"e.txt"_s}));
    QVERIFY(LPage.Page->acRename->isEnabled());
    QCOMPARE(LogEntries().mid(LogEntries().size() - 3),
             (QStringList{u"Renaming was cancelled: 2 of 5 renamed."_s,
                          u"Rollback was cancelled: 1 of 2 moved back."_s, u"Rollback done."_s}));
  }

  // An Add stopped by Cancel adds nothing, whether the walk or the adding of
  // the files found was under way; the list keeps what it held.
  void CancelledAddFoldersAddsNothing_data() {
    QTest::addColumn<int>("StopAfter");
    QTest::addColumn<int>("Found");
    QTest::newRow("during the walk") << 0 << 0;
    QTest::newRow("while adding the files found") << 4 << 6;
  }
  void CancelledAddFoldersAddsNothing() {
    QFETCH(int, StopAfter);
    QFETCH(int, Found);
    TPage LPage;
    LPage.Add(*FOpen, {Write(u"kept.txt"_s)});
    WriteAll({u"top/a.txt"_s, u"top/b.txt"_s, u"top/c.txt"_s, u"top/sub/d.txt"_s,
              u"top/sub/e.txt"_s, u"top/sub/f.txt"_s});
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, u"[N]_r"_s);
    TBrowseAnswer LBrowse(Path(u"top"_s));
    const int LPrevious = TStepWorker::SetStopAfter(StopAfter);
    LPage.Page->acAddFoldersFiles->trigger();
    QVERIFY(WaitForStep(*LPage.Page));
    TStepWorker::SetStopAfter(LPrevious);
    const QString LText = u"Adding was cancelled after %1 found: nothing was added."_s.arg(Found);
    QCOMPARE(FMessages->Texts(), QStringList{LText});
    QCOMPARE(LogEntries().last(), LText);
    QCOMPARE(LPage.List().Count(), 1);
    QCOMPARE(LPage.Column(1), QStringList{u"kept_r.txt"_s});
    QVERIFY(LPage.Page->acRename->isEnabled());
    QVERIFY(LPage.Page->StepProgress->isHidden());
    // The same folder added to the end afterwards gives every file.
    LPage.Page->acAddFoldersFiles->trigger();
    QVERIFY(WaitForStep(*LPage.Page));
    QCOMPARE(LPage.List().Count(), 7);
    QVERIFY(LPage.Column(1).contains(u"f_r.txt"_s));
  }

  void ClosingTheWindowDuringARenameCancelsItAndWaits() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, u"[N]_r"_s);
    // The first move waits in the worker until the window asks it to stop.
    std::atomic<bool> LMoved{false};
    TStepWorker *LWorker = LPage.Page->StepWorker;
    const auto LPrevious = plandetail::SetAfterMoveHook([&](int AStep) {
      if (AStep != 0)
        return;
      LMoved = true;
      while (!LWorker->CancelRequested())
        QThread::msleep(1);
    });
    LPage.Page->acRename->trigger();
    QTRY_VERIFY(LMoved.load());
    QVERIFY(LPage.Page->StepRunning());
    QVERIFY(LPage.Page->StepProgress->isVisible());
    QVERIFY(!LPage.Page->acAddFile->isEnabled());
    QVERIFY(!LPage.Page->Edit_RenameMask->isEnabled());
    LPage.Main.close();
    plandetail::SetAfterMoveHook(LPrevious);
    QVERIFY(!LPage.Page->StepRunning());
    QVERIFY(!LPage.Main.isVisible());
    QCOMPARE(FMessages->Texts(), QStringList{u"Renaming was cancelled: 1 of 4 renamed."_s});
    QCOMPARE(LogEntries().last(), u"Renaming was cancelled: 1 of 4 renamed."_s);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files, QDir::Name),
             (QStringList{u"a_r.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s}));
    const std::vector<TJournalBatch> LBatches = GetJournal().History();
    QVERIFY(!LBatches.empty());
    QCOMPARE(LBatches.front().State(), TBatchState::Cancelled);
  }

  // ---- Conflicts before Rename --------------------------------------------

  void ConflictMarksComeAndGoWithTheMask() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                QStringLiteral("c.txt")}));
    TSortHeaderView &LHeader = *LPage.Page->StringGrid_RenameHeader;
    LPage.Grid().selectRow(2);
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("3 files"));
    // Every file would be named "   .txt".
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("   "));
    QVERIFY(LPage.Page->HasHintColumn());
    QVERIFY(!LPage.Page->HasFailureMarks());
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("-CC"));
    QVERIFY(qobject_cast<THintColumn *>(LPage.Grid().itemDelegateForColumn(0)) != nullptr);
    QCOMPARE(LPage.Grid().columnWidth(0), HintColumnWidth);
    QCOMPARE(LPage.Grid().columnWidth(1), 150);
    QCOMPARE(guitest::HoverMark(LPage.Grid(), 2),
             (QStringList{QStringLiteral("c.txt"), QStringLiteral("Same new name as row 1")}));
    // Row 1 is renamed as planned: it has no mark and no balloon.
    QCOMPARE(guitest::HoverMark(LPage.Grid(), 0), QStringList());
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("3 files, 2 conflicts"));
    // The grid stays in its normal display and Rename stays enabled.
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                           QStringLiteral("c.txt")}));
    QVERIFY(LPage.Page->acRename->isEnabled());
    QVERIFY(LPage.Page->acDeleteFile->isEnabled());
    // The marker moved along with "Old Name" and kept its direction; the
    // selected row stays selected.
    QCOMPARE(LHeader.MarkerSection(), 1);
    QCOMPARE(DrawnMarker(LHeader, 1), 1);
    QCOMPARE(LPage.Grid().selectionModel()->selectedRows().size(), 1);
    QCOMPARE(LPage.Grid().selectionModel()->selectedRows().first().row(), 2);

    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]"));
    QVERIFY(!LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Page->GridModel->columnCount(), 3);
    QVERIFY(LPage.Grid().itemDelegateForColumn(0) == nullptr);
    QCOMPARE(LPage.Grid().columnWidth(0), 150);
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("3 files"));
    QCOMPARE(LHeader.MarkerSection(), 0);
    QCOMPARE(DrawnMarker(LHeader, 0), 1);
    QCOMPARE(LPage.Grid().selectionModel()->selectedRows().size(), 1);
    QCOMPARE(LPage.Grid().selectionModel()->selectedRows().first().row(), 2);
  }

  void ConflictBalloonTellsTheReason_data() {
    QTest::addColumn<QStringList>("AListed"); // added in this order
    QTest::addColumn<QStringList>("AOthers"); // on the disk, not in the list
    QTest::addColumn<QString>("AMask");       // the name mask
    QTest::addColumn<int>("ACounterStart");
    QTest::addColumn<QString>("AMarks");
    QTest::addColumn<int>("ARow");
    QTest::addColumn<QString>("AReason");
    QTest::addColumn<bool>("ADown"); // the rows in descending order of their names
    const QString LLong(300, QLatin1Char('n'));
    QTest::newRow("same new name") << QStringList{u"a.txt"_s, u"b.txt"_s} << QStringList{} << u"x"_s
                                   << 1 << u"-C"_s << 1 << u"Same new name as row 1"_s << false;
    QTest::newRow("name taken") << QStringList{u"a.txt"_s} << QStringList{u"taken.txt"_s}
                                << u"taken"_s << 1 << u"C"_s << 0
                                << u"A file with this name exists"_s << false;
    QTest::newRow("invalid name") << QStringList{u"a.txt"_s} << QStringList{} << u"a/b"_s << 1
                                  << u"C"_s << 0 << u"Invalid file name"_s << false;
    QTest::newRow("name too long") << QStringList{u"a.txt"_s} << QStringList{} << LLong << 1
                                   << u"C"_s << 0 << u"Name too long"_s << false;
    // 1 -> 2 waits for 2 -> 3, and 3.txt is taken.
    QTest::newRow("waits for a conflict")
        << QStringList{u"1.txt"_s, u"2.txt"_s} << QStringList{u"3.txt"_s} << u"[C]"_s << 2
        << u"CC"_s << 0 << u"Waits for row 2, which cannot be renamed"_s << false;
    // 1 -> 2 waits for 2 -> 3; 9 -> 4 is the conflict that shows the column.
    QTest::newRow("waits") << QStringList{u"1.txt"_s, u"2.txt"_s, u"9.txt"_s}
                           << QStringList{u"4.txt"_s} << u"[C]"_s << 2 << u"Q-C"_s << 0
                           << u"Renamed after row 2 moves away"_s << false;
    // In the rows 9, 3, 2, 1: 3 -> 2 and 2 -> 3 swap; 1 -> 4 is taken and
    // 9 -> 1 waits for it.
    QTest::newRow("swap") << QStringList{u"9.txt"_s, u"3.txt"_s, u"2.txt"_s, u"1.txt"_s}
                          << QStringList{u"4.txt"_s} << u"[C]"_s << 1 << u"CQQC"_s << 1
                          << u"Swapped with row 3 through a temporary name"_s << true;
  }

  void ConflictBalloonTellsTheReason() {
    QFETCH(QStringList, AListed);
    QFETCH(QStringList, AOthers);
    QFETCH(QString, AMask);
    QFETCH(int, ACounterStart);
    QFETCH(QString, AMarks);
    QFETCH(int, ARow);
    QFETCH(QString, AReason);
    QFETCH(bool, ADown);
    TPage LPage;
    WriteAll(AOthers);
    // An Add leaves the rows in the marker's order; a second placement on
    // "Old Name" turns it to descending.
    if (ADown)
      LPage.Page->StringGrid_RenameHeader->PlaceSortMarker(
          LPage.Page->GridModel->ColumnOf(TFileGridModel::dcOldName));
    LPage.Add(*FOpen, WriteAll(AListed));
    LPage.Page->SBox_CounterStart->setValue(ACounterStart);
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, AMask);
    QCOMPARE(guitest::HintMarks(LPage.Grid()), AMarks);
    QCOMPARE(guitest::HoverMark(LPage.Grid(), ARow), (QStringList{AListed.at(ARow), AReason}));
  }

  void RenameWithConflictsShowsTheirFailures() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("x"));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("-C"));
    QVERIFY(LPage.Page->acRename->isEnabled());
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Failed to rename 1 file. List is below.")});
    QVERIFY(Exists(QStringLiteral("x.txt")) && Exists(QStringLiteral("b.txt")));
    // The renamed display with the failure mark, as after any failure.
    QVERIFY(LPage.Page->HasFailureMarks());
    QCOMPARE(LPage.Column(0), QStringList{QStringLiteral("b.txt")});
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("F"));
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("1 file"));
    QVERIFY(!LPage.Page->acRename->isEnabled());
    QCOMPARE(guitest::HoverMark(LPage.Grid(), 0),
             (QStringList{QStringLiteral("b.txt"), QStringLiteral("File already exists")}));
    // A change of names in the renamed display brings no conflict marks.
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("y"));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("F"));
  }

  void MarksFollowSortingAndDelete() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                QStringLiteral("c.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("x"));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("-CC"));
    // "Old Name" descending: c comes first and takes the name.
    const int LOldName = LPage.SortSection(TFileGridModel::dcOldName);
    LPage.PressHeader(LOldName);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("c.txt"), QStringLiteral("b.txt"),
                                           QStringLiteral("a.txt")}));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("-CC"));
    QCOMPARE(guitest::HoverMark(LPage.Grid(), 2),
             (QStringList{QStringLiteral("a.txt"), QStringLiteral("Same new name as row 1")}));
    QCOMPARE(DrawnMarker(*LPage.Page->StringGrid_RenameHeader, LOldName), -1);
    LPage.Grid().selectRow(0);
    LPage.Page->acDeleteFile->trigger();
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("b.txt"), QStringLiteral("a.txt")}));
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("-C"));
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("2 files, 1 conflict"));
    LPage.Grid().selectRow(1);
    LPage.Page->acDeleteFile->trigger();
    QVERIFY(!LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("1 file"));
    // The marker stayed with "Old Name", pointing down as the rows run.
    QCOMPARE(DrawnMarker(*LPage.Page->StringGrid_RenameHeader, 0), -1);
  }

  void AddAndApplyReadTheFoldersAnew() {
    TPage LPage;
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_x"));
    QVERIFY(!LPage.Page->HasHintColumn());
    // Another program takes a's new name: Apply sees it.
    Write(QStringLiteral("a_x.txt"));
    LPage.Page->acApplyAll->trigger();
    QCOMPARE(guitest::HintMarks(LPage.Grid()), QStringLiteral("C"));
    QCOMPARE(
        guitest::HoverMark(LPage.Grid(), 0),
        (QStringList{QStringLiteral("a.txt"), QStringLiteral("A file with this name exists")}));
    // The name is free again; an Add sees that.
    QVERIFY(QFile::remove(Path(QStringLiteral("a_x.txt"))));
    LPage.Add(*FOpen, {Write(QStringLiteral("b.txt"))});
    QVERIFY(!LPage.Page->HasHintColumn());
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("2 files"));
    // Clear leaves no conflict behind.
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("x"));
    QVERIFY(LPage.Page->HasHintColumn());
    LPage.Page->acClearFile->trigger();
    QVERIFY(!LPage.Page->HasHintColumn());
    QVERIFY(LPage.Page->txtFileCount->isHidden());
  }

  // ---- Sorting ------------------------------------------------------------

  void HeaderPressesSortWithTheMarker() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("b.txt"), QStringLiteral("A.doc"),
                                QStringLiteral("c.txt")}));
    TSortHeaderView &LHeader = *LPage.Page->StringGrid_RenameHeader;
    QVERIFY(!LHeader.sectionsMovable());
    QCOMPARE(LHeader.MarkerSection(), 0);
    QVERIFY(!LHeader.MarkerPointsDown());
    // The first press on "Old Name" sorts descending, with any button.
    QCOMPARE(DrawnMarker(LHeader, 0), 1);
    QCOMPARE(DrawnMarker(LHeader, 1), 0);
    LPage.PressHeader(0, Qt::RightButton);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("c.txt"), QStringLiteral("b.txt"),
                                           QStringLiteral("A.doc")}));
    QVERIFY(LHeader.MarkerPointsDown());
    QCOMPARE(DrawnMarker(LHeader, 0), -1);
    LPage.PressHeader(0, Qt::MiddleButton);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("A.doc"), QStringLiteral("b.txt"),
                                           QStringLiteral("c.txt")}));
    QVERIFY(!LHeader.MarkerPointsDown());
    // The first press on "Location" sorts ascending: one folder, so by name.
    LPage.PressHeader(2);
    QCOMPARE(LHeader.MarkerSection(), 2);
    QVERIFY(!LHeader.MarkerPointsDown());
    QCOMPARE(DrawnMarker(LHeader, 0), 0);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("A.doc"), QStringLiteral("b.txt"),
                                           QStringLiteral("c.txt")}));
    QCOMPARE(LPage.List()[2].Index(), 2);
    // The detail view follows the selected row's new file.
    LPage.Grid().selectRow(0);
    LPage.PressHeader(2);
    QCOMPARE(LPage.Detail(0), QStringLiteral("c.txt"));
    QCOMPARE(LPage.Page->acRollback->Tag(), 0); // no counter: Rollback not blocked
  }

  void APressOnAResizeEdgeDoesNotSort() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QHeaderView &LHeader = *LPage.Grid().horizontalHeader();
    const QPoint LEdge(LHeader.sectionViewportPosition(1) + LHeader.sectionSize(1) - 1,
                       LHeader.height() / 2);
    QTest::mousePress(LHeader.viewport(), Qt::LeftButton, {}, LEdge);
    QTest::mouseRelease(LHeader.viewport(), Qt::LeftButton, {}, LEdge);
    QCOMPARE(LPage.Page->StringGrid_RenameHeader->MarkerSection(), 0);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
  }

  void NewNameComparesTheNamePartOnly() {
    TPage LPage;
    // By the whole new name "a-b.c" would come first; by the name part "a" does.
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a-b.c"), QStringLiteral("a.z")}));
    LPage.PressHeader(1);
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("a.z"), QStringLiteral("a-b.c")}));
    QCOMPARE(DrawnMarker(*LPage.Page->StringGrid_RenameHeader, 1), 1);
  }

  void LocationSortBreaksTiesByOldNameInTheSameDirection() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("f1/b.txt"), QStringLiteral("F0/c.txt"),
                                QStringLiteral("f1/A.txt")}));
    LPage.PressHeader(2);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("c.txt"), QStringLiteral("A.txt"),
                                           QStringLiteral("b.txt")}));
    LPage.PressHeader(2);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("b.txt"), QStringLiteral("A.txt"),
                                           QStringLiteral("c.txt")}));
  }

  void OneRowAndTheHintColumnIgnorePresses() {
    TPage LPage;
    LPage.Add(*FOpen, {Write(QStringLiteral("a.txt"))});
    TSortHeaderView &LHeader = *LPage.Page->StringGrid_RenameHeader;
    LPage.PressHeader(1);
    QCOMPARE(LHeader.MarkerSection(), 0);
    QCOMPARE(LHeader.SectionTag(1), QString());
    QVERIFY(!LHeader.MarkerPointsDown());
  }

  void SortingWithACounterAfterARenameRenumbersAndBlocksRollback() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                QStringLiteral("c.txt"), QStringLiteral("d.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_[C]"));
    QVERIFY(QFile::remove(Path(QStringLiteral("b.txt"))));
    QVERIFY(QFile::remove(Path(QStringLiteral("d.txt"))));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QCOMPARE(FMessages->Texts().first(),
             QStringLiteral("Failed to rename 2 files. List is below."));
    QVERIFY(LPage.Page->acRollback->isEnabled());
    TSortHeaderView &LHeader = *LPage.Page->StringGrid_RenameHeader;
    // The marker moved along with "Old Name" and points the way the rows are
    // still ordered.
    QCOMPARE(LHeader.MarkerSection(), 1);
    QVERIFY(!LHeader.MarkerPointsDown());
    // The hint column ignores presses.
    LPage.PressHeader(0);
    QCOMPARE(LHeader.MarkerSection(), 1);
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("b.txt"), QStringLiteral("d.txt")}));
    LPage.PressHeader(1); // "Up" becomes "Down": descending
    QCOMPARE(LPage.Column(0), (QStringList{QStringLiteral("d.txt"), QStringLiteral("b.txt")}));
    QCOMPARE(LPage.Column(1), (QStringList{QStringLiteral("d_1.txt"), QStringLiteral("b_3.txt")}));
    QCOMPARE(LPage.List()[1].NewName(), QStringLiteral("c_2"));
    QCOMPARE(LPage.Page->acRollback->Tag(), 1);
    QVERIFY(!LPage.Page->acRollback->isEnabled());
  }

  // ---- Count line and detail view ----------------------------------------

  void CountLineAndDetailView() {
    TPage LPage;
    QVERIFY(LPage.Page->txtFileCount->isHidden());
    QVERIFY(!LPage.Page->sgDetailInfo->isEnabled());
    QCOMPARE(LPage.Page->DetailModel->Name(3), QStringLiteral("Size"));
    LPage.Add(*FOpen, {Write(QStringLiteral("data.bin"), QByteArray(2048, 'x'))});
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("1 file"));
    QVERIFY(!LPage.Page->txtFileCount->isHidden());
    QVERIFY(LPage.Page->sgDetailInfo->isEnabled());
    QCOMPARE(LPage.Detail(0), QStringLiteral("data.bin"));
    QCOMPARE(LPage.Detail(1), FDir->path());
    QCOMPARE(LPage.Detail(2), QStringLiteral("bin"));
    QCOMPARE(LPage.Detail(3), QStringLiteral("2048 byte"));
    QVERIFY(!LPage.Detail(4).contains(QStringLiteral("1899")));
    QCOMPARE(LPage.Detail(5), QStringLiteral("-a--"));

    // A path that does not exist: unknown size and the zero date.
    LPage.Add(*FOpen, {Path(QStringLiteral("missing.txt"))});
    QCOMPARE(LPage.Page->txtFileCount->text(), QStringLiteral("2 files"));
    LPage.Grid().selectRow(1);
    QCOMPARE(LPage.Detail(3), QStringLiteral("-1 byte"));
    QVERIFY(LPage.Detail(4).contains(QStringLiteral("1899")));
    QVERIFY(LPage.Detail(4).contains(QStringLiteral("30")));

    LPage.Page->acClearFile->trigger();
    QCOMPARE(LogEntries().last(), QStringLiteral("Clear list"));
    QVERIFY(LPage.Page->txtFileCount->isHidden());
    QCOMPARE(LPage.Rows(), 0);
    QVERIFY(!LPage.Page->sgDetailInfo->isEnabled());
    QCOMPARE(LPage.Detail(0), QString());
    QVERIFY(!LPage.Page->acClearFile->isEnabled());
    QVERIFY(!LPage.Page->acDeleteFile->isEnabled());
  }

  void CountLineWordingForFolders() {
    QLabel LText;
    ShowCountText(1, LText, true);
    QCOMPARE(LText.text(), QStringLiteral("1 folder"));
    ShowCountText(3, LText, true);
    QCOMPARE(LText.text(), QStringLiteral("3 folders"));
    ShowCountText(0, LText, true);
    QVERIFY(LText.isHidden());
  }

  void RowsKeepOneHeightWhateverTheirText() {
    TPage LPage;
    // A name may hold a line break; its row is not measured and does not grow.
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("two\nlines.txt")}));
    QCOMPARE(LPage.Rows(), 2);
    QCOMPARE(LPage.Grid().rowHeight(1), LPage.Grid().rowHeight(0));
  }

  void ColumnsKeepTheirWidthsWhenTheHintColumnComesAndGoes() {
    TPage LPage;
    LPage.Add(*FOpen, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    LPage.TypeAndEnter(*LPage.Page->Edit_RenameMask, QStringLiteral("[N]_r"));
    QHeaderView &LColumns = *LPage.Grid().horizontalHeader();
    // The user widens "Old Name" and narrows "Location".
    LColumns.resizeSection(0, 181);
    LColumns.resizeSection(2, 123);
    QVERIFY(QFile::remove(Path(QStringLiteral("b.txt"))));
    LPage.Page->acRename->trigger();
    WaitForMessages(1);
    QVERIFY(LPage.Page->HasHintColumn());
    QCOMPARE(LColumns.sectionSize(0), HintColumnWidth);
    QCOMPARE(LColumns.sectionSize(1), 181);
    QCOMPARE(LColumns.sectionSize(3), 123);
    LPage.Page->acRollback->trigger();
    WaitForMessages(2);
    QVERIFY(!LPage.Page->HasHintColumn());
    QCOMPARE(LColumns.sectionSize(0), 181);
    QCOMPARE(LColumns.sectionSize(2), 123);
  }
};

QTEST_MAIN(TTestFilePage)
#include "tst_filepage.moc"
