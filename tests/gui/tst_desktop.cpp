// The window at home on the desktop, driven with real files in a temporary
// folder: the command line and drops add files and folders (losslessly, with
// the "Not found" report, after a Rename as Add does), several rows deleted at
// once, the keys of the pages, a window that grows and remembers its
// geometry, and the grid after a Rename with failures.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "uAction.h"
#include "uCommandLine.h"
#include "uFileGridModel.h"
#include "uFolderGridModel.h"
#include "uGridSupport.h"
#include "uLog.h"
#include "uSetting.h"
#include "uUtil.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using guitest::TBrowseAnswer;
using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

// The window, shown and active, on APage.
struct TWindow {
  explicit TWindow(TMainPage APage) {
    Main.ShowPage(APage);
    Main.show();
    Main.activateWindow();
    (void)QTest::qWaitForWindowActive(&Main);
  }
  TfmMain Main;

  TFilePage &Files() const { return *Main.FilePage; }
  TFolderPage &Folders() const { return *Main.FolderPage; }
  QTableView &FileGrid() const { return *Files().StringGrid_Rename; }
  QTableView &FolderGrid() const { return *Folders().sgFolderRename; }
  // The files' text in a data column (0 Old Name, 1 New Name, 2 Location).
  QStringList FileColumn(int ADataColumn) const {
    const TFileGridModel &LModel = *Files().GridModel;
    const int LColumn = LModel.ColumnOf(static_cast<TFileGridModel::TDataColumn>(ADataColumn));
    QStringList LTexts;
    for (int LRow = 0; LRow < LModel.rowCount(); ++LRow)
      LTexts.append(LModel.index(LRow, LColumn).data().toString());
    return LTexts;
  }
  // The steps that the last action started have ended.
  bool Settled() const { return guitest::WaitForStep(Files()) && guitest::WaitForStep(Folders()); }
  QStringList FolderOldNames() const {
    QStringList LNames;
    for (int i = 0; i < Main.FFolderList->Count(); ++i)
      LNames.append(Main.FFolderList->Items(i)->OldName());
    return LNames;
  }
};

// Drops AData onto AGrid's list: the drag enters, then the drop; returns
// whether the drag was accepted. The paths are added once the drop has
// returned to the event loop.
bool Drop(QTableView &AGrid, const QMimeData &AData) {
  QWidget *LViewport = AGrid.viewport();
  const QPoint LPos = LViewport->rect().center();
  QDragEnterEvent LEnter(LPos, Qt::CopyAction, &AData, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(LViewport, &LEnter);
  if (!LEnter.isAccepted())
    return false;
  QDropEvent LDrop(QPointF(LPos), Qt::CopyAction, &AData, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(LViewport, &LDrop);
  QCoreApplication::processEvents();
  return LDrop.isAccepted();
}

std::unique_ptr<QMimeData> UrlsOf(const QStringList &APaths) {
  auto LData = std::make_unique<QMimeData>();
  QList<QUrl> LUrls;
  for (const QString &LPath : APaths)
    LUrls.append(QUrl::fromLocalFile(LPath));
  LData->setUrls(LUrls);
  return LData;
}

} // namespace

class TTestDesktop : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;

  QString Path(const QString &ARelative) const { return FDir->filePath(ARelative); }
  QString Write(const QString &ARelative) const {
    const QString LPath = Path(ARelative);
    QDir().mkpath(QFileInfo(LPath).path());
    QFile LFile(LPath);
    if (LFile.open(QIODevice::WriteOnly))
      LFile.write("x");
    return LPath;
  }
  QStringList WriteAll(const QStringList &ANames) const {
    QStringList LPaths;
    for (const QString &LName : ANames)
      LPaths.append(Write(LName));
    return LPaths;
  }
  bool Exists(const QString &ARelative) const { return QFileInfo::exists(Path(ARelative)); }
  QStringList LogEntries() const {
    QStringList LEntries;
    const QString LLog = guitest::ReadLogFile(GetLogger().LogFileName());
    for (const QString &LLine : LLog.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
      const qsizetype LTab = LLine.indexOf(QLatin1Char('\t'));
      LEntries.append(LTab < 0 ? LLine : LLine.mid(LTab + 1));
    }
    return LEntries;
  }
  // Types AText into the mask and presses Enter.
  static void TypeAndEnter(QLineEdit &AEdit, const QString &AText) {
    AEdit.setFocus();
    AEdit.setText(AText);
    QTest::keyClick(&AEdit, Qt::Key_Return);
  }
  static void ClickRow(QTableView &AGrid, int ARow, Qt::KeyboardModifiers AModifiers = {}) {
    const QRect LCell =
        AGrid.visualRect(AGrid.model()->index(ARow, AGrid.model()->columnCount() - 1));
    QTest::mouseClick(AGrid.viewport(), Qt::LeftButton, AModifiers, LCell.center());
  }
  static QList<int> SelectedRows(const QTableView &AGrid) {
    QList<int> LRows;
    for (const QModelIndex &LIndex : AGrid.selectionModel()->selectedRows())
      LRows.append(LIndex.row());
    std::sort(LRows.begin(), LRows.end());
    return LRows;
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FDir = std::make_unique<QTemporaryDir>();
    FExe->RemoveSettings();
    GetSettings().SetWindowGeometry(0, 0, 0, 0, false);
    FMessages->Clear();
    QDir(FExe->File(QStringLiteral("Logs"))).removeRecursively();
    GetLogger().StartLogging(FExe->File(QStringLiteral("Logs")), 0);
  }
  void cleanup() {
    GetLogger().StopLogging();
    FDir.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  // ---- Command line -------------------------------------------------------

  void CommandLineIsRead_data() {
    QTest::addColumn<QList<QByteArray>>("Arguments");
    QTest::addColumn<int>("Action");
    QTest::addColumn<bool>("Folders");
    QTest::addColumn<QStringList>("Paths"); // relative ones from the current folder
    using A = TCommandLine::TAction;
    QTest::newRow("none") << QList<QByteArray>{} << int(A::Open) << false << QStringList{};
    QTest::newRow("files") << QList<QByteArray>{"/a/b.txt", "c/./d/../e"} << int(A::Open) << false
                           << QStringList{QStringLiteral("/a/b.txt"), QStringLiteral("c/e")};
    QTest::newRow("folders") << QList<QByteArray>{"--folders", "/x", "/y"} << int(A::Open) << true
                             << QStringList{QStringLiteral("/x"), QStringLiteral("/y")};
    QTest::newRow("help wins") << QList<QByteArray>{"--bogus", "/x", "--help"} << int(A::Help)
                               << false << QStringList{};
    QTest::newRow("version") << QList<QByteArray>{"/x", "--version"} << int(A::Version) << false
                             << QStringList{};
    QTest::newRow("unknown option")
        << QList<QByteArray>{"--bogus"} << int(A::Error) << false << QStringList{};
    QTest::newRow("folders without one")
        << QList<QByteArray>{"--folders"} << int(A::Error) << true << QStringList{};
    QTest::newRow("after --") << QList<QByteArray>{"--", "--help", "-x"} << int(A::Open) << false
                              << QStringList{QStringLiteral("--help"), QStringLiteral("-x")};
  }
  void CommandLineIsRead() {
    QFETCH(QList<QByteArray>, Arguments);
    QFETCH(int, Action);
    QFETCH(bool, Folders);
    QFETCH(QStringList, Paths);
    std::vector<const char *> LArgv{"varnwell"};
    for (const QByteArray &LArgument : Arguments)
      LArgv.push_back(LArgument.constData());
    const TCommandLine LResult = ParseCommandLine(static_cast<int>(LArgv.size()), LArgv.data());
    QCOMPARE(int(LResult.FAction), Action);
    QCOMPARE(LResult.FFolders, Folders);
    if (Action != int(TCommandLine::TAction::Open))
      return;
    QStringList LExpected;
    for (const QString &LPath : Paths)
      LExpected.append(LPath.startsWith(QLatin1Char('/'))
                           ? LPath
                           : QDir::currentPath() + QLatin1Char('/') + LPath);
    QCOMPARE(LResult.FPaths, LExpected);
  }

  // A file whose name is not UTF-8 comes through argv and through a dropped
  // address with its bytes, and is added and renamed.
  void NamesThatAreNotUtf8KeepTheirBytes() {
    const QByteArray LFolder = QFile::encodeName(FDir->path());
    const QByteArray LArgName = LFolder + "/arg\xff.txt";
    const QByteArray LDropName = LFolder + "/drop\xfe.txt";
    for (const QByteArray &LName : {LArgName, LDropName}) {
      const int LFd = ::open(LName.constData(), O_CREAT | O_WRONLY, 0644);
      QVERIFY(LFd >= 0);
      ::close(LFd);
    }
    const char *LArgv[] = {"varnwell", LArgName.constData()};
    const TCommandLine LLine = ParseCommandLine(2, LArgv);
    QCOMPARE(LLine.FPaths.size(), 1);
    TWindow LWindow(TMainPage::mpSelectMode);
    LWindow.Main.OpenPaths(false, LLine.FPaths);
    QVERIFY(LWindow.Settled());
    QCOMPARE(LWindow.Main.CurrentPage(), TMainPage::mpFileRename);
    QMimeData LData;
    LData.setData(QStringLiteral("text/uri-list"),
                  "file://" + LFolder.toPercentEncoding("/") + "/drop%FE.txt\r\n");
    QVERIFY(Drop(LWindow.FileGrid(), LData));
    QVERIFY(LWindow.Settled());
    QCOMPARE(FMessages->Texts(), QStringList());
    QCOMPARE(LWindow.Main.FFileList->Count(), 2);
    TypeAndEnter(*LWindow.Files().Edit_RenameMask, QStringLiteral("[N]_r"));
    LWindow.Files().acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    // The temporary folder cannot remove names that are not UTF-8.
    for (const QByteArray &LName :
         {QByteArray(LFolder + "/arg\xff_r.txt"), QByteArray(LFolder + "/drop\xfe_r.txt")})
      QVERIFY(::unlink(LName.constData()) == 0);
  }

  // ---- Files and folders from outside ---------------------------------------

  // Files, a folder (its files at every depth) and two paths that name
  // nothing: one message lists both, the rest are added; the same through a
  // drop.
  void FilesFoldersAndMissingPathsAreAdded_data() {
    QTest::addColumn<bool>("ByDrop");
    QTest::newRow("command line") << false;
    QTest::newRow("drop") << true;
  }
  void FilesFoldersAndMissingPathsAreAdded() {
    QFETCH(bool, ByDrop);
    const QString LFile = Write(QStringLiteral("a.txt"));
    WriteAll({QStringLiteral("d/x.txt"), QStringLiteral("d/sub/y.txt")});
    const QStringList LPaths{LFile, Path(QStringLiteral("gone1")), Path(QStringLiteral("d")),
                             Path(QStringLiteral("gone2"))};
    TWindow LWindow(ByDrop ? TMainPage::mpFileRename : TMainPage::mpSelectMode);
    if (ByDrop)
      QVERIFY(Drop(LWindow.FileGrid(), *UrlsOf(LPaths)));
    else
      LWindow.Main.OpenPaths(false, LPaths);
    QVERIFY(LWindow.Settled());
    QCOMPARE(LWindow.Main.CurrentPage(), TMainPage::mpFileRename);
    QStringList LNames = LWindow.FileColumn(0);
    QCOMPARE(LNames.takeFirst(), QStringLiteral("a.txt"));
    LNames.sort();
    QCOMPARE(LNames, (QStringList{QStringLiteral("x.txt"), QStringLiteral("y.txt")}));
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Not found: ") + Path(QStringLiteral("gone1")) +
                         QLatin1Char('\n') + Path(QStringLiteral("gone2"))});
    // What could not be taken is written to the log as it is shown.
    QCOMPARE(LogEntries(),
             (QStringList{QStringLiteral("Trying to add files"),
                          QStringLiteral("3 files were added"), FMessages->Texts().first()}));
  }

  void DropOfSomethingElseIsRefused() {
    TWindow LWindow(TMainPage::mpFileRename);
    QMimeData LData;
    LData.setUrls({QUrl(QStringLiteral("https://example.org/a.txt"))});
    QVERIFY(!Drop(LWindow.FileGrid(), LData));
    QMimeData LText;
    LText.setText(QStringLiteral("/etc/hostname"));
    QVERIFY(!Drop(LWindow.FileGrid(), LText));
    QCOMPARE(LWindow.Main.FFileList->Count(), 0);
  }

  // After a Rename, a drop starts a new list, as Add File does: the renamed
  // files can no longer be rolled back.
  void DropAfterARenameStartsANewList() {
    TWindow LWindow(TMainPage::mpFileRename);
    LWindow.Main.OpenPaths(false, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QVERIFY(LWindow.Settled());
    TypeAndEnter(*LWindow.Files().Edit_RenameMask, QStringLiteral("[N]_r"));
    LWindow.Files().acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QVERIFY(LWindow.Files().acRollback->isEnabled());
    QVERIFY(Drop(LWindow.FileGrid(), *UrlsOf({Write(QStringLiteral("c.txt"))})));
    QVERIFY(LWindow.Settled());
    QCOMPARE(LWindow.FileColumn(0), QStringList{QStringLiteral("c.txt")});
    QCOMPARE(LWindow.FileColumn(1), QStringList{QStringLiteral("c_r.txt")});
    QVERIFY(!LWindow.Files().acRollback->isEnabled());
    QVERIFY(Exists(QStringLiteral("a_r.txt")));
  }

  // The folder page takes folders with the remembered options: the
  // subfolders only, here; a file is not added, a missing path is reported.
  void FoldersAreAddedWithTheRememberedOptions_data() {
    QTest::addColumn<bool>("ByDrop");
    QTest::newRow("command line") << false;
    QTest::newRow("drop") << true;
  }
  void FoldersAreAddedWithTheRememberedOptions() {
    QFETCH(bool, ByDrop);
    QVERIFY(QDir().mkpath(Path(QStringLiteral("top/one/deep"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("top/two"))));
    const QString LFile = Write(QStringLiteral("file.txt"));
    const QStringList LPaths{Path(QStringLiteral("top")), LFile, Path(QStringLiteral("gone"))};
    TWindow LWindow(ByDrop ? TMainPage::mpFolderRename : TMainPage::mpSelectMode);
    GetSettings().SetIncludeSelectedSubFolder(true);
    GetSettings().SetIncludeSelectedRootFolder(false);
    if (ByDrop)
      QVERIFY(Drop(LWindow.FolderGrid(), *UrlsOf(LPaths)));
    else
      LWindow.Main.OpenPaths(true, LPaths);
    QVERIFY(LWindow.Settled());
    QCOMPARE(LWindow.Main.CurrentPage(), TMainPage::mpFolderRename);
    QStringList LNames = LWindow.FolderOldNames();
    LNames.sort();
    QCOMPARE(LNames,
             (QStringList{QStringLiteral("deep"), QStringLiteral("one"), QStringLiteral("two")}));
    // One message tells all that the Add could not take.
    QCOMPARE(FMessages->Texts(),
             QStringList{QStringLiteral("Not found: ") + Path(QStringLiteral("gone")) +
                         QStringLiteral("\n\n1 file was not added")});
    GetSettings().SetIncludeSelectedRootFolder(true);
    GetSettings().SetIncludeSelectedSubFolder(false);
  }

  // ---- Several rows -------------------------------------------------------------

  // Ctrl+click and Shift+click select several rows; Delete with the grid's
  // focus removes them (not from the disk), one log entry each, and the
  // counter is renumbered once.
  void SelectedRowsAreDeletedAndRenumbered() {
    TWindow LWindow(TMainPage::mpFileRename);
    LWindow.Main.OpenPaths(
        false, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt"),
                         QStringLiteral("d.txt"), QStringLiteral("e.txt")}));
    QVERIFY(LWindow.Settled());
    TypeAndEnter(*LWindow.Files().Edit_RenameMask, QStringLiteral("[N]_[C]"));
    QTableView &LGrid = LWindow.FileGrid();
    ClickRow(LGrid, 1);
    ClickRow(LGrid, 3, Qt::ControlModifier);
    QCOMPARE(SelectedRows(LGrid), (QList<int>{1, 3}));
    ClickRow(LGrid, 0);
    ClickRow(LGrid, 2, Qt::ShiftModifier);
    QCOMPARE(SelectedRows(LGrid), (QList<int>{0, 1, 2}));
    ClickRow(LGrid, 0);
    ClickRow(LGrid, 2, Qt::ControlModifier);
    ClickRow(LGrid, 4, Qt::ControlModifier);
    QVERIFY(LGrid.hasFocus());
    QTest::keyClick(&LGrid, Qt::Key_Delete);
    QCOMPARE(LWindow.FileColumn(0),
             (QStringList{QStringLiteral("b.txt"), QStringLiteral("d.txt")}));
    QCOMPARE(LWindow.FileColumn(1),
             (QStringList{QStringLiteral("b_1.txt"), QStringLiteral("d_2.txt")}));
    QCOMPARE(LogEntries().mid(2), (QStringList{QStringLiteral("Delete file \"a.txt\" from list"),
                                               QStringLiteral("Delete file \"c.txt\" from list"),
                                               QStringLiteral("Delete file \"e.txt\" from list")}));
    QVERIFY(Exists(QStringLiteral("a.txt")));
  }

  void SelectedFoldersAreDeleted() {
    for (const char *LName : {"f1", "f2", "f3"})
      QVERIFY(QDir().mkpath(Path(QString::fromLatin1(LName))));
    TWindow LWindow(TMainPage::mpFolderRename);
    LWindow.Main.OpenPaths(
        true, {Path(QStringLiteral("f1")), Path(QStringLiteral("f2")), Path(QStringLiteral("f3"))});
    QVERIFY(LWindow.Settled());
    QTableView &LGrid = LWindow.FolderGrid();
    ClickRow(LGrid, 0);
    ClickRow(LGrid, 2, Qt::ControlModifier);
    QTest::keyClick(&LGrid, Qt::Key_Delete);
    QCOMPARE(LWindow.FolderOldNames(), QStringList{QStringLiteral("f2")});
    QCOMPARE(LogEntries().filter(QStringLiteral("Delete folder")),
             (QStringList{QStringLiteral("Delete folder \"f1\" from list"),
                          QStringLiteral("Delete folder \"f3\" from list")}));
  }

  // ---- Keys -----------------------------------------------------------------

  // Delete, Ctrl+A and Ctrl+Z act on the list while the grid has the focus
  // and stay a text field's own keys there.
  void GridKeysDoNotStealAFieldsKeys() {
    TWindow LWindow(TMainPage::mpFileRename);
    LWindow.Main.OpenPaths(false, WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QVERIFY(LWindow.Settled());
    QTableView &LGrid = LWindow.FileGrid();
    QLineEdit &LMask = *LWindow.Files().Edit_RenameMask;
    ClickRow(LGrid, 0);
    LMask.setFocus();
    LMask.setText(QStringLiteral("[N]x"));
    LMask.setCursorPosition(0);
    QTest::keyClick(&LMask, Qt::Key_Delete);
    QCOMPARE(LMask.text(), QStringLiteral("N]x"));
    QTest::keyClick(&LMask, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(LMask.selectedText(), QStringLiteral("N]x"));
    QTest::keyClick(&LMask, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(LMask.text(), QStringLiteral("[N]x"));
    QCOMPARE(LWindow.Main.FFileList->Count(), 2);
    QCOMPARE(SelectedRows(LGrid), QList<int>{0});

    LGrid.setFocus();
    QTest::keyClick(&LGrid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(SelectedRows(LGrid), (QList<int>{0, 1}));
    TypeAndEnter(LMask, QStringLiteral("[N]_r"));
    LWindow.Files().acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    LGrid.setFocus();
    QTest::keyClick(&LGrid, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(FMessages->Texts().size(), 2);
    QCOMPARE(FMessages->Texts().last(), QStringLiteral("Rollback done."));
    QVERIFY(Exists(QStringLiteral("a.txt")));
  }

  // Ctrl+Return applies a mask still being typed, then renames, on both pages.
  void CtrlReturnAppliesTheFieldThenRenames() {
    TWindow LWindow(TMainPage::mpFileRename);
    LWindow.Main.OpenPaths(false, {Write(QStringLiteral("a.txt"))});
    QVERIFY(LWindow.Settled());
    QLineEdit &LMask = *LWindow.Files().Edit_RenameMask;
    LMask.setFocus();
    LMask.setText(QStringLiteral("[N]_k"));
    QTest::keyClick(&LMask, Qt::Key_Return, Qt::ControlModifier);
    QTRY_COMPARE(FMessages->Texts(), QStringList{QStringLiteral("Rename done.")});
    QVERIFY(Exists(QStringLiteral("a_k.txt")));

    QVERIFY(QDir().mkpath(Path(QStringLiteral("f"))));
    LWindow.Main.OpenPaths(true, {Path(QStringLiteral("f"))});
    QVERIFY(LWindow.Settled());
    QLineEdit &LFolderMask = *LWindow.Folders().edFolderMask;
    LFolderMask.setFocus();
    LFolderMask.setText(QStringLiteral("[N]_k"));
    QTest::keyClick(&LFolderMask, Qt::Key_Return, Qt::ControlModifier);
    QTRY_COMPARE(FMessages->Texts().size(), 2);
    QVERIFY(Exists(QStringLiteral("f_k")));
  }

  // Ctrl+O, Ctrl+Shift+O and F1 from anywhere in the window; the buttons'
  // tooltips name their keys.
  void WindowKeysRunTheirActions() {
    TWindow LWindow(TMainPage::mpFileRename);
    QStringList LTitles;
    const TOpenFilesHook LPrevious = SetOpenFilesHook([&LTitles](const QString &ATitle) {
      LTitles.append(ATitle);
      return std::optional<QStringList>();
    });
    TBrowseAnswer LBrowse(std::nullopt);
    QWidget &LFocus = *LWindow.Files().Edit_Search;
    LFocus.setFocus();
    QTest::keyClick(&LFocus, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(LTitles, QStringList{QStringLiteral("Select file(s)")});
    QTest::keyClick(&LFocus, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(LBrowse.Calls().size(), 1);
    SetOpenFilesHook(LPrevious);
    QTest::keyClick(&LFocus, Qt::Key_F1);
    QCOMPARE(LWindow.Main.CurrentPage(), TMainPage::mpAbout);
    QCOMPARE(LWindow.Files().btnAddFile->toolTip(), QStringLiteral("Add File (Ctrl+O)"));
    QCOMPARE(LWindow.Files().btnAddFoldersFiles->toolTip(),
             QStringLiteral("Add Folders (Ctrl+Shift+O)"));
    QVERIFY(LWindow.Files().Button_Delete->toolTip().endsWith(QStringLiteral("(Del)")));
    QCOMPARE(LWindow.Files().Button_Rename->toolTip(), QStringLiteral("Rename (Ctrl+Return)"));
    QCOMPARE(LWindow.Files().Button_Undo->toolTip(), QStringLiteral("Rollback (Ctrl+Z)"));
    QCOMPARE(LWindow.Folders().btnAddFolders->toolTip(),
             QStringLiteral("Add Folder (Ctrl+Shift+O)"));
    QCOMPARE(LWindow.Main.btnAbout->toolTip(), QStringLiteral("About (F1)"));
  }

  // Tab walks a page from its top to its bottom: group by group, the groups
  // of one row left to right, and inside a group from top to bottom (left to
  // right along a line).
  void TabWalksThePageTopToBottom_data() {
    QTest::addColumn<int>("Page");
    QTest::newRow("file page") << int(TMainPage::mpFileRename);
    QTest::newRow("folder page") << int(TMainPage::mpFolderRename);
  }
  void TabWalksThePageTopToBottom() {
    QFETCH(int, Page);
    TWindow LWindow(static_cast<TMainPage>(Page));
    LWindow.Main.OpenPaths(
        Page == int(TMainPage::mpFolderRename),
        {Page == int(TMainPage::mpFolderRename) ? FDir->path() : Write(QStringLiteral("a"))});
    QVERIFY(LWindow.Settled());
    QWidget &LPage = Page == int(TMainPage::mpFileRename)
                         ? static_cast<QWidget &>(LWindow.Files())
                         : static_cast<QWidget &>(LWindow.Folders());
    QWidget *LFirst = Page == int(TMainPage::mpFileRename)
                          ? static_cast<QWidget *>(LWindow.Files().Edit_RenameMask)
                          : static_cast<QWidget *>(LWindow.Folders().edFolderMask);
    LFirst->setFocus();
    const auto LRectOf = [&LWindow](const QWidget &AWidget) {
      return QRect(AWidget.mapTo(&LWindow.Main, QPoint(0, 0)), AWidget.size());
    };
    // B comes after A: lower, or in the same band and not left of it.
    const auto LAfter = [](const QRect &A, const QRect &B) {
      const bool LSameBand = B.top() < A.bottom() && A.top() < B.bottom();
      return LSameBand ? B.left() >= A.left() : B.top() >= A.top();
    };
    const auto LGroupOf = [](QWidget *AWidget) {
      QWidget *LParent = AWidget->parentWidget();
      while (LParent != nullptr && qobject_cast<QGroupBox *>(LParent) == nullptr)
        LParent = LParent->parentWidget();
      return LParent;
    };
    QStringList LOrder;
    QWidget *LPrevious = nullptr;
    for (int i = 0; i < 40; ++i) {
      QWidget *LFocus = QApplication::focusWidget();
      if (LFocus == nullptr || !LPage.isAncestorOf(LFocus) || (i > 0 && LFocus == LFirst))
        break;
      LOrder.append(LFocus->objectName());
      if (LPrevious != nullptr) {
        QWidget *LGroup = LGroupOf(LFocus);
        QWidget *LPreviousGroup = LGroupOf(LPrevious);
        const bool LInOrder =
            LGroup == LPreviousGroup ? LAfter(LRectOf(*LPrevious), LRectOf(*LFocus))
            : LGroup->isAncestorOf(LPreviousGroup) || LPreviousGroup->isAncestorOf(LGroup)
                ? LAfter(LRectOf(*LPrevious), LRectOf(*LFocus))
                : LAfter(LRectOf(*LPreviousGroup), LRectOf(*LGroup));
        QVERIFY2(LInOrder, qPrintable(LOrder.join(QStringLiteral(" > "))));
      }
      LPrevious = LFocus;
      QTest::keyClick(LFocus, Qt::Key_Tab);
    }
    QVERIFY2(LOrder.size() > 5, qPrintable(LOrder.join(QStringLiteral(" > "))));
  }

  // ---- A window that grows ---------------------------------------------------

  void GridsTakeTheExtraSpace() {
    TWindow LWindow(TMainPage::mpFileRename);
    QCOMPARE(LWindow.Main.minimumSize(), QSize(900, 700));
    // At the smallest size every column is in view.
    QCOMPARE(LWindow.FileGrid().horizontalScrollBar()->maximum(), 0);
    LWindow.Main.ShowPage(TMainPage::mpFolderRename);
    QCOMPARE(LWindow.FolderGrid().horizontalScrollBar()->maximum(), 0);
    LWindow.Main.ShowPage(TMainPage::mpFileRename);
    const QSize LBefore = LWindow.FileGrid().size();
    LWindow.Main.resize(1300, 1000);
    QTRY_COMPARE(LWindow.FileGrid().width(), LBefore.width() + 400);
    QCOMPARE(LWindow.FileGrid().height(), LBefore.height() + 300);
    // The last column reaches the grid's right edge.
    const QHeaderView &LHeader = *LWindow.FileGrid().horizontalHeader();
    const int LLast = LHeader.count() - 1;
    QCOMPARE(LHeader.sectionViewportPosition(LLast) + LHeader.sectionSize(LLast),
             LWindow.FileGrid().viewport()->width());
    LWindow.Main.ShowPage(TMainPage::mpFolderRename);
    QTRY_VERIFY(LWindow.FolderGrid().width() > LBefore.width() + 300);
  }

  void EdgesResizeAndTheHeaderMaximises() {
    TWindow LWindow(TMainPage::mpSelectMode);
    TfmMain &LMain = LWindow.Main;
    const int W = LMain.width();
    const int H = LMain.height();
    QCOMPARE(LMain.ResizeEdgesAt(QPoint(2, 2)), Qt::LeftEdge | Qt::TopEdge);
    QCOMPARE(LMain.ResizeEdgesAt(QPoint(W - 1, H / 2)), Qt::Edges(Qt::RightEdge));
    QCOMPARE(LMain.ResizeEdgesAt(QPoint(W / 2, H - 2)), Qt::Edges(Qt::BottomEdge));
    QCOMPARE(LMain.ResizeEdgesAt(QPoint(W / 2, H / 2)), Qt::Edges());
    QTest::mouseDClick(LMain.Panel10, Qt::LeftButton, {}, QPoint(400, 50));
    QTRY_VERIFY(LMain.isMaximized());
    QCOMPARE(LMain.ResizeEdgesAt(QPoint(2, 2)), Qt::Edges());
    QTest::mouseDClick(LMain.Panel10, Qt::LeftButton, {}, QPoint(400, 50));
    QTRY_VERIFY(!LMain.isMaximized());
  }

  // The hint column coming in front of the names leaves "Location" in view.
  void HintColumnLeavesTheLastColumnInView() {
    TWindow LWindow(TMainPage::mpFileRename);
    const QStringList LPaths = WriteAll({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    LWindow.Main.OpenPaths(false, LPaths);
    QVERIFY(LWindow.Settled());
    TypeAndEnter(*LWindow.Files().Edit_RenameMask, QStringLiteral("[N]_r"));
    QVERIFY(QFile::remove(LPaths[0]));
    LWindow.Files().acRename->trigger();
    QTRY_COMPARE(FMessages->Texts().size(), 1);
    QVERIFY(LWindow.Files().HasHintColumn());
    QCOMPARE(LWindow.FileGrid().horizontalScrollBar()->maximum(), 0);

    QVERIFY(QDir().mkpath(Path(QStringLiteral("f1"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("f2"))));
    LWindow.Main.OpenPaths(true, {Path(QStringLiteral("f1")), Path(QStringLiteral("f2"))});
    QVERIFY(LWindow.Settled());
    QLineEdit &LMask = *LWindow.Folders().edFolderMask;
    TypeAndEnter(LMask, QStringLiteral("[N]_r"));
    QVERIFY(QDir(Path(QStringLiteral("f1"))).removeRecursively());
    LWindow.Folders().acRenameFolder->trigger();
    QTRY_COMPARE(FMessages->Texts().size(), 2);
    QVERIFY(LWindow.Folders().HasHintColumn());
    QCOMPARE(LWindow.FolderGrid().horizontalScrollBar()->maximum(), 0);
  }

  // Size, position and the maximised state come back with the next window.
  void GeometryIsRememberedAcrossWindows() {
    {
      TWindow LWindow(TMainPage::mpSelectMode);
      LWindow.Main.setGeometry(40, 30, 1000, 760);
    }
    QVERIFY(FExe->ReadSettings().contains(QStringLiteral("[Window]")));
    GetSettings().SetWindowGeometry(0, 0, 0, 0, false);
    GetSettings().LoadSettingsFromIniFile();
    {
      TWindow LWindow(TMainPage::mpSelectMode);
      QCOMPARE(LWindow.Main.size(), QSize(1000, 760));
      QCOMPARE(LWindow.Main.pos(), QPoint(40, 30));
      QVERIFY(!LWindow.Main.isMaximized());
      LWindow.Main.showMaximized();
      QTRY_VERIFY(LWindow.Main.isMaximized());
    }
    GetSettings().LoadSettingsFromIniFile();
    TWindow LWindow(TMainPage::mpSelectMode);
    QVERIFY(LWindow.Main.isMaximized());
    LWindow.Main.showNormal();
    QTRY_COMPARE(LWindow.Main.size(), QSize(1000, 760));
  }

  // ---- After a Rename with failures --------------------------------------------

  // The marker keeps pointing the way the rows are ordered, and the grid
  // shows its first rows and the hint column.
  void RenameWithFailuresKeepsTheMarkerAndShowsTheMarks() {
    TWindow LWindow(TMainPage::mpFileRename);
    QStringList LNames;
    for (int i = 0; i < 60; ++i)
      LNames.append(QStringLiteral("file%1.txt").arg(i, 2, 10, QLatin1Char('0')));
    const QStringList LPaths = WriteAll(LNames);
    LWindow.Main.OpenPaths(false, LPaths);
    QVERIFY(LWindow.Settled());
    TFilePage &LPage = LWindow.Files();
    TSortHeaderView &LHeader = *LPage.StringGrid_RenameHeader;
    // Descending by the old name.
    QTest::mouseClick(LHeader.viewport(), Qt::LeftButton, {},
                      QPoint(LHeader.sectionViewportPosition(0) + 20, LHeader.height() / 2));
    QVERIFY(LHeader.MarkerPointsDown());
    QCOMPARE(LWindow.FileColumn(0).first(), QStringLiteral("file59.txt"));
    TypeAndEnter(*LPage.Edit_RenameMask, QStringLiteral("[N]_r"));
    for (int i = 0; i < 60; i += 2)
      QVERIFY(QFile::remove(LPaths[i]));
    QTableView &LGrid = LWindow.FileGrid();
    LGrid.setColumnWidth(0, 900);
    LGrid.scrollToBottom();
    LGrid.horizontalScrollBar()->setValue(LGrid.horizontalScrollBar()->maximum());
    QVERIFY(LGrid.verticalScrollBar()->value() > 0);
    LPage.acRename->trigger();
    QTRY_COMPARE(FMessages->Texts(),
                 QStringList{QStringLiteral("Failed to rename 30 files. List is below.")});
    QCOMPARE(guitest::HintMarks(LGrid).size(), 30);
    QCOMPARE(LHeader.MarkerSection(), 1);
    QVERIFY(LHeader.MarkerPointsDown());
    QCOMPARE(LWindow.FileColumn(0).first(), QStringLiteral("file58.txt"));
    QCOMPARE(LGrid.verticalScrollBar()->value(), 0);
    QCOMPARE(LGrid.horizontalScrollBar()->value(), 0);
    QVERIFY(
        LGrid.viewport()->rect().contains(LGrid.visualRect(LGrid.model()->index(0, 0)).center()));
  }
};

QTEST_MAIN(TTestDesktop)
#include "tst_desktop.moc"
