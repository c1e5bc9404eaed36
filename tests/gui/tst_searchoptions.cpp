// The search options of both pages: a regular expression with groups, Match
// case, an invalid pattern that holds Rename back until it is mended, and
// the choices remembered in the settings.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "uAction.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uSetting.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;

class TTestSearchOptions : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TfmMain> FMain;

  TFilePage &Files() const { return *FMain->FilePage; }
  void Search(QLineEdit &ASearch, QLineEdit &AReplace, const QString &AText,
              const QString &AReplacement) {
    AReplace.setText(AReplacement);
    ASearch.setFocus();
    ASearch.setText(AText);
    QTest::keyClick(&ASearch, Qt::Key_Return);
    FMain->UpdateActions();
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FDir = std::make_unique<QTemporaryDir>();
    GetSettings().LoadDefaultValues();
    GetSettings().SetFileRegexSearch(false);
    GetSettings().SetFileMatchCase(false);
    FMain = std::make_unique<TfmMain>();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  void cleanup() {
    FMain.reset();
    FDir.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void ARegularExpressionWithGroupsAndAnInvalidPattern() {
    FMain->ShowPage(TMainPage::mpFileRename);
    QStringList LPaths;
    for (const QString &LName : {QStringLiteral("IMG_001.JPG"), QStringLiteral("img_002.jpg")}) {
      QFile LFile(FDir->filePath(LName));
      QVERIFY(LFile.open(QIODevice::WriteOnly));
      LPaths.append(LFile.fileName());
    }
    {
      const TOpenFilesHook LPrevious =
          SetOpenFilesHook([LPaths](const QString &) { return LPaths; });
      Files().acAddFile->trigger();
      SetOpenFilesHook(LPrevious);
      QVERIFY(guitest::WaitForStep(Files()));
    }
    TFileList &LList = *FMain->FFileList;
    QCOMPARE(LList.Count(), 2);
    Files().SearchOptions.FRegex->setChecked(true);
    QVERIFY(GetSettings().FileRegexSearch());
    Search(*Files().Edit_Search, *Files().Edit_Replace, QStringLiteral("^img_(\\d+)"),
           QStringLiteral("Trip-$1"));
    QCOMPARE(LList[0].TargetName(), QStringLiteral("Trip-001.JPG"));
    QCOMPARE(LList[1].TargetName(), QStringLiteral("Trip-002.jpg"));
    // Match case: only the lower-case name matches.
    Files().SearchOptions.FMatchCase->setChecked(true);
    QCOMPARE(LList[0].TargetName(), QStringLiteral("IMG_001.JPG"));
    QCOMPARE(LList[1].TargetName(), QStringLiteral("Trip-002.jpg"));
    QVERIFY(Files().acRename->isEnabled());

    // An invalid pattern: said under the field, no replacement, no Rename.
    Search(*Files().Edit_Search, *Files().Edit_Replace, QStringLiteral("(img"),
           QStringLiteral("x"));
    QVERIFY(Files().SearchOptions.FError->isVisibleTo(&Files()));
    QVERIFY(Files().SearchOptions.FError->text().startsWith(QStringLiteral("Invalid pattern: ")));
    QCOMPARE(LList[1].TargetName(), QStringLiteral("img_002.jpg"));
    QVERIFY(!Files().acRename->isEnabled());
    // Mended, Rename comes back.
    Search(*Files().Edit_Search, *Files().Edit_Replace, QStringLiteral("(img)"),
           QStringLiteral("x"));
    QVERIFY(!Files().SearchOptions.FError->isVisibleTo(&Files()));
    QCOMPARE(LList[1].TargetName(), QStringLiteral("x_002.jpg"));
    QVERIFY(Files().acRename->isEnabled());

    // Off again, the search is the plain one it always was.
    Files().SearchOptions.FRegex->setChecked(false);
    Files().SearchOptions.FMatchCase->setChecked(false);
    Search(*Files().Edit_Search, *Files().Edit_Replace, QStringLiteral("IMG"), QStringLiteral("x"));
    QCOMPARE(LList[0].TargetName(), QStringLiteral("x_001.JPG"));
    QCOMPARE(LList[1].TargetName(), QStringLiteral("x_002.jpg"));
  }

  void TheChoicesAreRememberedPerPage() {
    FMain->FolderPage->SearchOptions.FMatchCase->setChecked(true);
    Files().SearchOptions.FRegex->setChecked(true);
    GetSettings().SaveSettingsToIniFile();
    const QString LText = FExe->ReadSettings();
    QVERIFY(LText.contains(QStringLiteral("[FilePage]\r\nRegexSearch=1\r\nMatchCase=0")) ||
            LText.contains(QStringLiteral("[FilePage]\nRegexSearch=1\nMatchCase=0")));
    QVERIFY(LText.contains(QStringLiteral("[FolderPage]\r\nRegexSearch=0\r\nMatchCase=1")) ||
            LText.contains(QStringLiteral("[FolderPage]\nRegexSearch=0\nMatchCase=1")));
    // A new window starts with them.
    FMain.reset();
    GetSettings().LoadSettingsFromIniFile();
    FMain = std::make_unique<TfmMain>();
    QVERIFY(FMain->FilePage->SearchOptions.FRegex->isChecked());
    QVERIFY(!FMain->FilePage->SearchOptions.FMatchCase->isChecked());
    QVERIFY(FMain->FolderPage->SearchOptions.FMatchCase->isChecked());
  }
};

QTEST_MAIN(TTestSearchOptions)
#include "tst_searchoptions.moc"
