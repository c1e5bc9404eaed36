// The settings page: the page mirrors the settings object, "Enable Log"
// switches the logger at once, Apply saves, Restore Defaults, the folder
// button, and the logger switching itself off.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnSettings.h"
#include "uLog.h"
#include "uSetting.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <memory>

using guitest::TBrowseAnswer;
using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

namespace {

QString TodayLogFile(const QString &AFolder) {
  return QDir(AFolder).filePath(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                QStringLiteral(".log"));
}

} // namespace

class TTestSettingsPage : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;

  QString Folder(const QString &AName) const { return FExe->File(AName); }
  void WriteLogging(bool AEnable, const QString &AFolder, bool AAutoDelete, int ADays) const {
    FExe->WriteSettings(
        QStringLiteral("[Logging]\r\nEnableLog=%1\r\nLogFolder=%2\r\nDeleteOldLogFiles=%3\r\n"
                       "DeleteOldLogFilesDays=%4\r\n")
            .arg(AEnable ? 1 : 0)
            .arg(AFolder)
            .arg(AAutoDelete ? 1 : 0)
            .arg(ADays));
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FExe->RemoveSettings();
    for (const QString &LName : {QStringLiteral("Logs"), QStringLiteral("A"), QStringLiteral("B")})
      QDir(Folder(LName)).removeRecursively();
    FMessages->Clear();
  }
  void cleanup() { GetLogger().StopLogging(); }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void PageShowsTheSettingsFile() {
    WriteLogging(false, Folder(QStringLiteral("A")), false, 30);
    TfmMain LMain;
    QVERIFY(!LMain.CheckBox_EnblLogging->isChecked());
    QVERIFY(!LMain.GroupBox_LogDirectory->isEnabled());
    QCOMPARE(LMain.Edit_LogDirectory->text(), Folder(QStringLiteral("A")));
    QVERIFY(!LMain.CheckBox_AutoDelete->isChecked());
    QCOMPARE(LMain.SpinBox_Days->value(), 30);
    QVERIFY(!LMain.SpinBox_Days->isEnabled());
    QCOMPARE(LMain.CheckBox_EnblLogging->text(), QStringLiteral("Enable Log"));
    QCOMPARE(LMain.GroupBox_LogDirectory->title(), QStringLiteral(" Log directory "));
    QCOMPARE(LMain.Button_SelectLogDirectory->text(), QStringLiteral("..."));
    QCOMPARE(LMain.Button_RestoreSettings->text(), QStringLiteral("Restore Defaults"));
    QCOMPARE(LMain.Button_ApplySettings->text(), QStringLiteral("Apply"));
    QCOMPARE(LMain.SpinBox_Days->minimum(), 1);
    QCOMPARE(LMain.SpinBox_Days->maximum(), 365);
    QCOMPARE(LMain.SettingsPage->FDisableSettingsChange, 0);
  }

  void DayCountIsKeptInsideTheBox_data() {
    QTest::addColumn<int>("InFile");
    QTest::addColumn<int>("Shown");
    QTest::addColumn<QString>("Saved");
    QTest::newRow("400 shows as 365") << 400 << 365 << QStringLiteral("DeleteOldLogFilesDays=365");
    QTest::newRow("0 shows as 1") << 0 << 1 << QStringLiteral("DeleteOldLogFilesDays=1");
  }
  void DayCountIsKeptInsideTheBox() {
    QFETCH(int, InFile);
    QFETCH(int, Shown);
    QFETCH(QString, Saved);
    WriteLogging(false, Folder(QStringLiteral("A")), true, InFile);
    TfmMain LMain;
    QCOMPARE(LMain.SpinBox_Days->value(), Shown);
    LMain.btnSettings->click();
    LMain.Button_ApplySettings->click();
    QVERIFY2(FExe->ReadSettings().contains(Saved), qPrintable(FExe->ReadSettings()));
  }

  void EnableLogStartsAndStopsLoggingAtOnce() {
    WriteLogging(false, Folder(QStringLiteral("A")), false, 7);
    const QString LFileBefore = FExe->ReadSettings();
    TfmMain LMain;
    LMain.btnSettings->click();
    // A folder typed just before, without Apply, is not used yet.
    LMain.Edit_LogDirectory->setText(Folder(QStringLiteral("B")));
    LMain.CheckBox_EnblLogging->click();
    QVERIFY(GetLogger().EnableLogging());
    QVERIFY(GetSettings().EnableLog());
    QVERIFY(LMain.GroupBox_LogDirectory->isEnabled());
    QCOMPARE(GetLogger().LogFileName(), TodayLogFile(Folder(QStringLiteral("A"))));
    QVERIFY(!QDir(Folder(QStringLiteral("B"))).exists());
    LMain.CheckBox_EnblLogging->click();
    QVERIFY(!GetLogger().EnableLogging());
    QVERIFY(!GetSettings().EnableLog());
    QVERIFY(!LMain.GroupBox_LogDirectory->isEnabled());
    const QString LLog = guitest::ReadLogFile(TodayLogFile(Folder(QStringLiteral("A"))));
    QVERIFY2(LLog.contains(QStringLiteral("\tLogging was started\r\n")), qPrintable(LLog));
    QVERIFY2(LLog.endsWith(QStringLiteral("\tLogging was stopped\r\n\r\n")), qPrintable(LLog));
    // The settings file is untouched until Apply or shut-down.
    QCOMPARE(FExe->ReadSettings(), LFileBefore);
    QVERIFY(FMessages->Texts().isEmpty());
  }

  void AutoDeleteEnablesTheDaysBox() {
    WriteLogging(true, Folder(QStringLiteral("A")), false, 7);
    TfmMain LMain;
    LMain.btnSettings->click();
    QVERIFY(!LMain.SpinBox_Days->isEnabled());
    LMain.CheckBox_AutoDelete->click();
    QVERIFY(LMain.SpinBox_Days->isEnabled());
    QVERIFY(GetSettings().DeleteOldLogFiles());
    LMain.SpinBox_Days->setValue(12);
    QCOMPARE(GetSettings().DeleteOldLogFilesDays(), 12);
    LMain.CheckBox_AutoDelete->click();
    QVERIFY(!LMain.SpinBox_Days->isEnabled());
    QVERIFY(!GetSettings().DeleteOldLogFiles());
    // Unticking "Enable Log" disables the whole folder group.
    LMain.CheckBox_EnblLogging->click();
    QVERIFY(!LMain.CheckBox_AutoDelete->isEnabled());
    QVERIFY(!LMain.Edit_LogDirectory->isEnabled());
  }

  void ApplySavesWithoutSwitchingTheLogger() {
    WriteLogging(true, Folder(QStringLiteral("A")), true, 7);
    TfmMain LMain;
    QVERIFY(GetLogger().EnableLogging());
    LMain.btnSettings->click();
    LMain.Edit_LogDirectory->setText(Folder(QStringLiteral("B")));
    LMain.SpinBox_Days->setValue(21);
    LMain.Button_ApplySettings->click();
    const QString LSaved = FExe->ReadSettings();
    QVERIFY2(LSaved.contains(QStringLiteral("LogFolder=") + Folder(QStringLiteral("B"))),
             qPrintable(LSaved));
    QVERIFY2(LSaved.contains(QStringLiteral("DeleteOldLogFilesDays=21")), qPrintable(LSaved));
    QVERIFY2(LSaved.contains(QStringLiteral("EnableLog=1")), qPrintable(LSaved));
    // The running log stays in its folder.
    QVERIFY(GetLogger().EnableLogging());
    QCOMPARE(GetLogger().LogFileName(), TodayLogFile(Folder(QStringLiteral("A"))));
  }

  void RestoreDefaultsWithLoggingOn() {
    WriteLogging(true, Folder(QStringLiteral("A")), false, 30);
    const QString LFileBefore = FExe->ReadSettings();
    TfmMain LMain;
    LMain.btnSettings->click();
    LMain.Button_RestoreSettings->click();
    QVERIFY(!LMain.CheckBox_EnblLogging->isChecked());
    QVERIFY(!LMain.GroupBox_LogDirectory->isEnabled());
    QCOMPARE(LMain.Edit_LogDirectory->text(), QDir(FExe->Path()).filePath(QStringLiteral("Logs")));
    QVERIFY(LMain.CheckBox_AutoDelete->isChecked());
    QCOMPARE(LMain.SpinBox_Days->value(), 7);
    QVERIFY(!GetLogger().EnableLogging());
    const QString LLog = guitest::ReadLogFile(TodayLogFile(Folder(QStringLiteral("A"))));
    QVERIFY2(LLog.contains(QStringLiteral("\tRestore default settings\r\n")), qPrintable(LLog));
    QVERIFY2(LLog.endsWith(QStringLiteral("\tLogging was stopped\r\n\r\n")), qPrintable(LLog));
    // Nothing was saved.
    QCOMPARE(FExe->ReadSettings(), LFileBefore);
  }

  void FolderButton_data() {
    QTest::addColumn<bool>("Choose");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
  }
  void FolderButton() {
    QFETCH(bool, Choose);
    WriteLogging(true, Folder(QStringLiteral("A")), false, 7);
    TfmMain LMain;
    LMain.btnSettings->click();
    const QString LChosen = Folder(QStringLiteral("B"));
    TBrowseAnswer LAnswer(Choose ? std::optional<QString>(LChosen) : std::nullopt);
    QTest::mouseClick(LMain.Button_SelectLogDirectory, Qt::LeftButton);
    QCOMPARE(LAnswer.Calls().size(), 1);
    QCOMPARE(LAnswer.Calls().first().first, QStringLiteral("Select folder"));
    // No folder is preselected, whatever the edit holds.
    QCOMPARE(LAnswer.Calls().first().second, QString());
    const QString LExpected = Choose ? LChosen : Folder(QStringLiteral("A"));
    QCOMPARE(LMain.Edit_LogDirectory->text(), LExpected);
    QCOMPARE(GetSettings().LogFolder(), LExpected);
    // The running log is not moved.
    QCOMPARE(GetLogger().LogFileName(), TodayLogFile(Folder(QStringLiteral("A"))));
  }

  void EnablingWithAnUnusableFolderSwitchesBackOff() {
    const QString LBlocker = Folder(QStringLiteral("blocker"));
    QFile LFile(LBlocker);
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.close();
    WriteLogging(false, LBlocker + QStringLiteral("/Logs"), false, 7);
    TfmMain LMain;
    LMain.btnSettings->click();
    LMain.CheckBox_EnblLogging->click();
    QCOMPARE(
        FMessages->Texts(),
        QStringList{QStringLiteral(
            "Unable to write log. Please check program settings and then re-enable logging.")});
    QVERIFY(!LMain.CheckBox_EnblLogging->isChecked());
    QVERIFY(!LMain.GroupBox_LogDirectory->isEnabled());
    QVERIFY(!GetSettings().EnableLog());
    QVERIFY(!GetLogger().EnableLogging());
    QVERIFY2(FExe->ReadSettings().contains(QStringLiteral("EnableLog=0")),
             qPrintable(FExe->ReadSettings()));
    // The page still works: a usable folder can be chosen and logging enabled.
    LMain.Edit_LogDirectory->setText(Folder(QStringLiteral("A")));
    LMain.btnMode->click();
    LMain.btnSettings->click();
    LMain.CheckBox_EnblLogging->click();
    QVERIFY(GetLogger().EnableLogging());
    QFile::remove(LBlocker);
  }
};

QTEST_MAIN(TTestSettingsPage)
#include "tst_settingspage.moc"
