// The main window frame: start-up and shut-down, page switching, the header,
// moving the window, deferred runs, actions and the minimum widths of the
// pages' grid columns.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "uControlUtils.h"
#include "uLog.h"
#include "uSetting.h"
#include "uWarningSink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleHints>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

QString TodayLogFile(const QString &AFolder) {
  return QDir(AFolder).filePath(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                QStringLiteral(".log"));
}

} // namespace

class TTestMainWindow : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;

  QString LogFolder() const { return FExe->File(QStringLiteral("Logs")); }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FExe->RemoveSettings();
    QDir(LogFolder()).removeRecursively();
    FMessages->Clear();
  }
  void cleanup() { GetLogger().StopLogging(); }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void OpensOnTheModePage() {
    TfmMain LMain;
    QCOMPARE(LMain.objectName(), QStringLiteral("fmMain"));
    QCOMPARE(LMain.windowTitle(), QStringLiteral("Varnwell"));
    QVERIFY(LMain.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(LMain.size(), QSize(900, 700));
    QCOMPARE(LMain.CurrentPage(), TMainPage::mpSelectMode);
    QCOMPARE(LMain.ltSelectMode->parentWidget(), LMain.LayoutMain);
    for (QWidget *LPage : {LMain.ltFileRename, LMain.ltFolderRename, LMain.LayoutSetting,
                           LMain.LayoutAbout, LMain.LayoutHistory})
      QCOMPARE(LPage->parentWidget(), LMain.LayoutInvisible);
    QVERIFY(!LMain.LayoutInvisible->isVisibleTo(&LMain));
    QVERIFY(LMain.btnMode->isVisibleTo(&LMain));
    QVERIFY(LMain.btnSettings->isVisibleTo(&LMain));
    QVERIFY(LMain.btnAbout->isVisibleTo(&LMain));
    QVERIFY(!LMain.btnSearch->isVisibleTo(&LMain));
    QVERIFY(LMain.btnHistory->isVisibleTo(&LMain));
    QVERIFY(!LMain.btnRename->isVisibleTo(&LMain));
    QCOMPARE(LMain.textVersion->text(), QStringLiteral("ver. 1.0.0.1"));
    QCOMPARE(LMain.btnFileRename->text(), QStringLiteral("File rename"));
    QCOMPARE(LMain.btnFolderRename->text(), QStringLiteral("Folder rename"));
    QVERIFY(LMain.FFileList != nullptr);
    QVERIFY(LMain.FFolderList != nullptr);
    QVERIFY(LMain.FRunTimer->isSingleShot());
    QCOMPARE(LMain.FRunTimer->interval(), 1);
    QVERIFY(!LMain.FRunTimer->isActive());
    QCOMPARE(QFile::exists(FExe->SettingsFile()), false);
  }

  void FileVersion_data() {
    QTest::addColumn<QString>("Compiled");
    QTest::addColumn<QString>("Version");
    QTest::newRow("four numbers") << QStringLiteral("1.0.0.1") << QStringLiteral("1.0.0.1");
    QTest::newRow("none") << QString() << QStringLiteral("0.0.0.0");
    QTest::newRow("two numbers") << QStringLiteral("2.1") << QStringLiteral("2.1.0.0");
  }
  void FileVersion() {
    QFETCH(QString, Compiled);
    QFETCH(QString, Version);
    QCOMPARE(GetFileVersion(Compiled), Version);
  }

  void ButtonsSwitchPages_data() {
    QTest::addColumn<QString>("Button");
    QTest::addColumn<int>("Page");
    QTest::newRow("Settings") << QStringLiteral("btnSettings") << int(TMainPage::mpSettings);
    QTest::newRow("About") << QStringLiteral("btnAbout") << int(TMainPage::mpAbout);
    QTest::newRow("File rename") << QStringLiteral("btnFileRename") << int(TMainPage::mpFileRename);
    QTest::newRow("Folder rename")
        << QStringLiteral("btnFolderRename") << int(TMainPage::mpFolderRename);
  }
  void ButtonsSwitchPages() {
    QFETCH(QString, Button);
    QFETCH(int, Page);
    TfmMain LMain;
    LMain.findChild<QAbstractButton *>(Button)->click();
    QCOMPARE(int(LMain.CurrentPage()), Page);
    int LInHost = 0;
    for (QWidget *LPage : {LMain.ltFileRename, LMain.ltFolderRename, LMain.ltSelectMode,
                           LMain.LayoutSetting, LMain.LayoutAbout})
      LInHost += LPage->parentWidget() == LMain.LayoutMain ? 1 : 0;
    QCOMPARE(LInHost, 1);
    LMain.btnMode->click();
    QCOMPARE(LMain.CurrentPage(), TMainPage::mpSelectMode);
  }

  void PageSwitchesKeepEveryPagesState() {
    TfmMain LMain;
    auto *LOnFilePage = new QLineEdit(LMain.FilePage);
    LMain.ShowPage(TMainPage::mpFileRename);
    LOnFilePage->setText(QStringLiteral("[N]_[C]"));
    LMain.ShowPage(TMainPage::mpSettings);
    LMain.Edit_LogDirectory->setText(QStringLiteral("/typed/folder"));
    for (int LRound = 0; LRound < 3; ++LRound) {
      LMain.ShowPage(TMainPage::mpAbout);
      LMain.ShowPage(TMainPage::mpFolderRename);
      LMain.ShowPage(TMainPage::mpSelectMode);
    }
    LMain.ShowPage(TMainPage::mpFileRename);
    QCOMPARE(LOnFilePage->text(), QStringLiteral("[N]_[C]"));
    QCOMPARE(LMain.FilePage->parentWidget(), LMain.ltFileRename);
    QCOMPARE(LMain.Edit_LogDirectory->text(), QStringLiteral("/typed/folder"));
  }

  void LeavingSettingsTakesValuesWithoutSaving() {
    TfmMain LMain;
    LMain.btnSettings->click();
    LMain.Edit_LogDirectory->setText(QStringLiteral("/typed/folder"));
    QCOMPARE(GetSettings().LogFolder(), QDir(FExe->Path()).filePath(QStringLiteral("Logs")));
    LMain.btnMode->click();
    QCOMPARE(GetSettings().LogFolder(), QStringLiteral("/typed/folder"));
    QVERIFY(!QFile::exists(FExe->SettingsFile()));
    // Choosing the settings page again takes the values as well.
    LMain.btnSettings->click();
    LMain.Edit_LogDirectory->setText(QStringLiteral("/again"));
    LMain.btnSettings->click();
    QCOMPARE(GetSettings().LogFolder(), QStringLiteral("/again"));
    // Leaving another page leaves the settings object alone.
    LMain.btnMode->click();
    GetSettings().SetLogFolder(QStringLiteral("/object"));
    LMain.btnAbout->click();
    LMain.btnMode->click();
    QCOMPARE(GetSettings().LogFolder(), QStringLiteral("/object"));
  }

  void ShutDownTakesThePageSavesAndLogs() {
    FExe->WriteSettings(
        QStringLiteral("[Logging]\r\nEnableLog=1\r\nLogFolder=%1\r\nDeleteOldLogFiles=1\r\n"
                       "DeleteOldLogFilesDays=7\r\n")
            .arg(LogFolder()));
    {
      TfmMain LMain;
      LMain.btnSettings->click();
      LMain.SpinBox_Days->setValue(30);
      LMain.btnMode->click();
      QCOMPARE(GetSettings().DeleteOldLogFilesDays(), 30);
      QVERIFY(!FExe->ReadSettings().contains(QStringLiteral("DeleteOldLogFilesDays=30")));
      LMain.btnSettings->click();
      LMain.Edit_LogDirectory->setText(FExe->File(QStringLiteral("Later")));
    }
    const QString LSaved = FExe->ReadSettings();
    QVERIFY2(LSaved.contains(QStringLiteral("DeleteOldLogFilesDays=30")), qPrintable(LSaved));
    QVERIFY2(LSaved.contains(QStringLiteral("LogFolder=") + FExe->File(QStringLiteral("Later"))),
             qPrintable(LSaved));
    const QString LLog = guitest::ReadLogFile(TodayLogFile(LogFolder()));
    QVERIFY2(LLog.contains(QStringLiteral("\tApplication was started")), qPrintable(LLog));
    QVERIFY2(LLog.endsWith(QStringLiteral("\tApplication was finished\r\n\r\n")), qPrintable(LLog));
  }

  void StartUpDeletesOldLogsOnlyWithAutoDelete_data() {
    QTest::addColumn<bool>("AutoDelete");
    QTest::addColumn<bool>("OldLogKept");
    QTest::newRow("auto delete on") << true << false;
    QTest::newRow("auto delete off") << false << true;
  }
  void StartUpDeletesOldLogsOnlyWithAutoDelete() {
    QFETCH(bool, AutoDelete);
    QFETCH(bool, OldLogKept);
    QDir().mkpath(LogFolder());
    const QString LOld = QDir(LogFolder()).filePath(QStringLiteral("2000-01-01.log"));
    QFile LFile(LOld);
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.close();
    FExe->WriteSettings(
        QStringLiteral("[Logging]\r\nEnableLog=1\r\nLogFolder=%1\r\nDeleteOldLogFiles=%2\r\n"
                       "DeleteOldLogFilesDays=7\r\n")
            .arg(LogFolder())
            .arg(AutoDelete ? 1 : 0));
    TfmMain LMain;
    QVERIFY(GetLogger().EnableLogging());
    QCOMPARE(LMain.CheckBox_EnblLogging->isChecked(), true);
    QCOMPARE(QFile::exists(LOld), OldLogKept);
  }

  void UnusableLogFolderAtStartUp() {
    // A file where the log folder's parent should be: the folder cannot be made.
    const QString LBlocker = FExe->File(QStringLiteral("blocker"));
    QFile LFile(LBlocker);
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.close();
    FExe->WriteSettings(
        QStringLiteral("[Logging]\r\nEnableLog=1\r\nLogFolder=%1/Logs\r\nDeleteOldLogFiles=1\r\n"
                       "DeleteOldLogFilesDays=7\r\n")
            .arg(LBlocker));
    TfmMain LMain;
    QCOMPARE(
        FMessages->Texts(),
        QStringList{QStringLiteral(
            "Unable to write log. Please check program settings and then re-enable logging.")});
    QCOMPARE(FMessages->Messages().first().Type, TMessageFormType::mftWarting);
    QVERIFY(!LMain.CheckBox_EnblLogging->isChecked());
    QVERIFY(!LMain.GroupBox_LogDirectory->isEnabled());
    QVERIFY(!GetSettings().EnableLog());
    QVERIFY(!GetLogger().EnableLogging());
    QVERIFY2(FExe->ReadSettings().contains(QStringLiteral("EnableLog=0")),
             qPrintable(FExe->ReadSettings()));
    QFile::remove(LBlocker);
  }

  void EngineWarningsReachTheMessageDialog() {
    TfmMain LMain;
    ShowEngineWarning(QStringLiteral("from the engine"));
    QCOMPARE(FMessages->Texts(), QStringList{QStringLiteral("from the engine")});
  }

  void LeftPressMovesAndClosesDropDownsRightPressDoesNothing() {
    TfmMain LMain;
    LMain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&LMain));
    auto *LCombo = new QComboBox(LMain.FilePage);
    LCombo->addItems({QStringLiteral("one"), QStringLiteral("two")});
    LMain.RegisterDropDown(*LCombo);
    LMain.ShowPage(TMainPage::mpFileRename);
    LCombo->showPopup();
    QVERIFY(LCombo->view()->isVisible());
    QCOMPARE(LMain.CommonPanelMouseDown(Qt::RightButton), false);
    QVERIFY(LCombo->view()->isVisible());
    QCOMPARE(LMain.CommonPanelMouseDown(Qt::LeftButton), true);
    QVERIFY(!LCombo->view()->isVisible());
    // The same through real presses on the header's empty part.
    LCombo->showPopup();
    QTest::mousePress(LMain.Panel10, Qt::RightButton, {}, QPoint(600, 80));
    QVERIFY(LCombo->view()->isVisible());
    QTest::mousePress(LMain.Panel10, Qt::LeftButton, {}, QPoint(600, 80));
    QVERIFY(!LCombo->view()->isVisible());
  }

  // A press on the header moves nothing until the mouse travels the drag
  // distance with the button down; then the window follows the mouse (by
  // hand here: the offscreen platform has no move of its own). A double click
  // never moves it.
  void HeaderMovesOnlyOnceTheMouseTravels() {
    TfmMain LMain;
    LMain.move(100, 100);
    LMain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&LMain));
    const QPoint LStart = LMain.pos();
    const QPoint LPress(600, 50);
    QWidget *LHeader = LMain.Panel10;
    const int LDistance = QGuiApplication::styleHints()->startDragDistance();
    QTest::mousePress(LHeader, Qt::LeftButton, {}, LPress);
    QTest::mouseMove(LHeader, LPress + QPoint(LDistance - 1, 0));
    QCOMPARE(LMain.pos(), LStart);
    QTest::mouseRelease(LHeader, Qt::LeftButton, {}, LPress + QPoint(LDistance - 1, 0));
    QCOMPARE(LMain.pos(), LStart);

    QTest::mousePress(LHeader, Qt::LeftButton, {}, LPress);
    QTest::mouseMove(LHeader, LPress + QPoint(30, 20));
    QCOMPARE(LMain.pos(), LStart + QPoint(30, 20));
    // The header moved with the window: the same place in it is the same
    // place on the screen as before.
    QTest::mouseMove(LHeader, LPress + QPoint(-10, 5));
    QCOMPARE(LMain.pos(), LStart + QPoint(30, 20) + QPoint(-10, 5));
    QTest::mouseRelease(LHeader, Qt::LeftButton, {}, LPress + QPoint(-10, 5));
    const QPoint LMoved = LMain.pos();
    QTest::mouseMove(LHeader, LPress + QPoint(50, 50));
    QCOMPARE(LMain.pos(), LMoved);

    QTest::mouseDClick(LHeader, Qt::LeftButton, {}, LPress);
    QTRY_VERIFY(LMain.isMaximized());
    QTest::mouseDClick(LHeader, Qt::LeftButton, {}, LPress);
    QTRY_VERIFY(!LMain.isMaximized());
    QTRY_COMPARE(LMain.pos(), LMoved);
  }

  void RunDeferredRunsOnceAfterTheEventAndReplaces() {
    TfmMain LMain;
    QStringList LRuns;
    LMain.RunDeferred([&LRuns] { LRuns.append(QStringLiteral("first")); });
    LMain.RunDeferred([&LRuns] { LRuns.append(QStringLiteral("second")); });
    QVERIFY(LRuns.isEmpty());
    QTRY_COMPARE(LRuns, QStringList{QStringLiteral("second")});
    QTest::qWait(20);
    QCOMPARE(LRuns, QStringList{QStringLiteral("second")});
    QVERIFY(!LMain.FRunTimer->isActive());
  }

  void ActionUpdatesFollowHandlersAndDeferredRuns() {
    TfmMain LMain;
    bool LHasItems = false;
    auto *LClear = new TAction(QStringLiteral("Clear"), LMain.Actions(), LMain.FilePage);
    LClear->SetOnUpdate([&LHasItems](TAction &ASender) { ASender.setEnabled(LHasItems); });
    auto *LAdd = new TAction(QStringLiteral("Add File"), LMain.Actions(), LMain.FilePage);
    LAdd->SetOnExecute([&LHasItems](TAction &) { LHasItems = true; });
    QPushButton LClearButton;
    LClear->BindButton(LClearButton);
    LMain.UpdateActions();
    QVERIFY(!LClear->isEnabled());
    QVERIFY(!LClearButton.isEnabled());
    QCOMPARE(LClearButton.text(), QStringLiteral("Clear"));
    LAdd->trigger();
    QVERIFY(LClear->isEnabled());
    QVERIFY(LClearButton.isEnabled());
    LMain.RunDeferred([&LHasItems] { LHasItems = false; });
    QTRY_VERIFY(!LClear->isEnabled());
    // A disabled action does not execute from its button.
    int LCleared = 0;
    LClear->SetOnExecute([&LCleared](TAction &) { ++LCleared; });
    LClearButton.click();
    QCOMPARE(LCleared, 0);
  }

  // Dragged narrower, a column of a page's grid stops at its minimum: 100 for
  // the names and the location, 20 for the hint column (shown after a rename
  // that failed: the item is not on disk).
  void ColumnsOfThePageGridsStopAtTheirMinimum_data() {
    QTest::addColumn<bool>("FolderPage");
    QTest::addColumn<QString>("Column");
    QTest::addColumn<int>("Minimum");
    QTest::newRow("file old name") << false << QStringLiteral("StringColumn_OldName") << 100;
    QTest::newRow("file new name") << false << QStringLiteral("StringColumn_NewName") << 100;
    QTest::newRow("file location") << false << QStringLiteral("StringColumn_Location") << 100;
    QTest::newRow("file hint column") << false << QStringLiteral("HintColumn") << 20;
    QTest::newRow("folder old name") << true << QStringLiteral("scOldName") << 100;
    QTest::newRow("folder new name") << true << QStringLiteral("scNewName") << 100;
    QTest::newRow("folder location") << true << QStringLiteral("scLocation") << 100;
    QTest::newRow("folder hint column") << true << QStringLiteral("HintColumn") << 20;
  }
  void ColumnsOfThePageGridsStopAtTheirMinimum() {
    QFETCH(bool, FolderPage);
    QFETCH(QString, Column);
    QFETCH(int, Minimum);
    TfmMain LMain;
    const QString LMissing = FExe->File(QStringLiteral("missing"));
    QTableView *LGrid = nullptr;
    if (FolderPage) {
      LMain.FFolderList->Add(
          std::make_unique<TFolderInfo>(FExe->Path(), TFolderEntry{QStringLiteral("missing"), {}}));
      LMain.FolderPage->SynchroList(0);
      LMain.UpdateActions();
      LMain.FolderPage->acRenameFolder->trigger();
      LGrid = LMain.FolderPage->sgFolderRename;
    } else {
      LMain.FFileList->Add(std::make_unique<TFileInfo>(LMissing));
      LMain.FilePage->SynchroList(0);
      LMain.FilePage->Rename();
      LGrid = LMain.FilePage->StringGrid_Rename;
    }
    // The file page renames in its worker: the report comes when it ends.
    QTRY_COMPARE(FMessages->Texts(),
                 QStringList{QStringLiteral("Failed to rename 1 file. List is below.")});
    int LSection = -1;
    for (int i = 0; i < LGrid->model()->columnCount(); ++i) {
      if (LGrid->model()->headerData(i, Qt::Horizontal, ColumnNameRole).toString() == Column)
        LSection = i;
    }
    QVERIFY(LSection >= 0);
    QHeaderView &LHeader = *LGrid->horizontalHeader();
    LHeader.resizeSection(LSection, 3);
    QCOMPARE(LHeader.sectionSize(LSection), Minimum);
    LHeader.resizeSection(LSection, Minimum + 7);
    QCOMPARE(LHeader.sectionSize(LSection), Minimum + 7);
  }

  void AboutLinksOpenTheirAddresses() {
    TfmMain LMain;
    QStringList LOpened;
    const TShellOpenHook LPrevious =
        SetShellOpenHook([&LOpened](const QString &ATarget) { LOpened.append(ATarget); });
    LMain.ShowPage(TMainPage::mpAbout);
    QTest::mouseClick(LMain.Text_AbouteLink, Qt::LeftButton);
    QTest::mouseClick(LMain.Text4, Qt::LeftButton);
    SetShellOpenHook(LPrevious);
    QCOMPARE(LOpened.size(), 2);
    QVERIFY(LOpened.at(0).startsWith(QStringLiteral("https://")));
    QVERIFY(LOpened.at(1).startsWith(QStringLiteral("https://")));
    QVERIFY(LOpened.at(0) != LOpened.at(1));
  }

  void CloseImageClosesTheWindow() {
    TfmMain LMain;
    LMain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&LMain));
    QTest::mouseClick(LMain.Image2, Qt::LeftButton);
    QVERIFY(!LMain.isVisible());
  }
};

QTEST_MAIN(TTestMainWindow)
#include "tst_mainwindow.moc"
