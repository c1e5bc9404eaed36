// Presets on both pages through the real window: "Save as…" with its name and
// its question, choosing a preset (every rule field set and applied),
// "Manage…" with Rename and Delete, a damaged preset, the order a preset
// keeps, and the file shared with varnwell-cli in both directions.
#include "GuiTestSupport.h"
#include "MainUn.h"
#include "MainUnFilePage.h"
#include "MainUnFolderPage.h"
#include "uListGridModel.h"
#include "uLog.h"
#include "uPresetsForm.h"
#include "uSelectFolderForm.h"
#include "uSetting.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>

#ifndef VARNWELL_CLI
#error "VARNWELL_CLI names the command line program"
#endif

using guitest::TExecutableFolder;
using guitest::TMessageRecorder;
using namespace Qt::Literals::StringLiterals;

namespace {

// Answers the name dialogs and the questions in turn, and keeps what they
// asked.
class TDialogAnswers {
public:
  TDialogAnswers() {
    FPreviousName = SetAskNameHook([this](const QString &, const QString &AText) {
      FAsked.append(AText);
      std::optional<QString> LName;
      if (!FNames.empty()) {
        LName = FNames.front();
        FNames.pop_front();
      }
      return LName;
    });
    FPreviousConfirm = SetConfirmHook([this](const QString &AText) {
      FAsked.append(AText);
      bool LYes = false;
      if (!FConfirms.empty()) {
        LYes = FConfirms.front();
        FConfirms.pop_front();
      }
      return LYes;
    });
  }
  ~TDialogAnswers() {
    SetAskNameHook(std::move(FPreviousName));
    SetConfirmHook(std::move(FPreviousConfirm));
  }
  TDialogAnswers(const TDialogAnswers &) = delete;
  TDialogAnswers &operator=(const TDialogAnswers &) = delete;

  std::deque<std::optional<QString>> FNames;
  std::deque<bool> FConfirms;
  QStringList FAsked;

private:
  TAskNameHook FPreviousName;
  TConfirmHook FPreviousConfirm;
};

// The object names of one page's rule fields.
struct TFieldNames {
  const char *FNameMask;
  const char *FExtMask; // nullptr: none
  const char *FStart;
  const char *FStep;
  const char *FDigits;
  const char *FSearch;
  const char *FReplace;
  const char *FRegex;
  const char *FMatchCase;
  const char *FCase;
};

const TFieldNames CFileFields = {"Edit_RenameMask",  "Edit_ExtMask",       "SBox_CounterStart",
                                 "SBox_CounterStep", "CBox_CounterNumber", "Edit_Search",
                                 "Edit_Replace",     "cbFileRegexSearch",  "cbFileMatchCase",
                                 "CBox_Case"};
const TFieldNames CFolderFields = {"edFolderMask",        "",
                                   "sboxFolderCntStart",  "sboxFolderCntStep",
                                   "cboxFolderCntNumber", "edFolderSearch",
                                   "edFolderReplace",     "cbFolderRegexSearch",
                                   "cbFolderMatchCase",   "cbxFolderCase"};

// The rule fields as text, one "name=value" each, for comparing a page's
// whole state at once.
QStringList FieldTexts(const QWidget &APage, const TFieldNames &ANames) {
  const auto LEdit = [&](const char *AName) {
    return APage.findChild<QLineEdit *>(QString::fromLatin1(AName))->text();
  };
  const auto LSpin = [&](const char *AName) {
    return QString::number(APage.findChild<QSpinBox *>(QString::fromLatin1(AName))->value());
  };
  const auto LCombo = [&](const char *AName) {
    return APage.findChild<QComboBox *>(QString::fromLatin1(AName))->currentText();
  };
  const auto LCheck = [&](const char *AName) {
    return APage.findChild<QCheckBox *>(QString::fromLatin1(AName))->isChecked()
               ? QStringLiteral("on")
               : QStringLiteral("off");
  };
  QStringList LTexts = {QStringLiteral("name=") + LEdit(ANames.FNameMask)};
  if (*ANames.FExtMask != '\0')
    LTexts.append(QStringLiteral("ext=") + LEdit(ANames.FExtMask));
  LTexts << QStringLiteral("start=") + LSpin(ANames.FStart)
         << QStringLiteral("step=") + LSpin(ANames.FStep)
         << QStringLiteral("digits=") + LCombo(ANames.FDigits)
         << QStringLiteral("search=") + LEdit(ANames.FSearch)
         << QStringLiteral("replace=") + LEdit(ANames.FReplace)
         << QStringLiteral("regex=") + LCheck(ANames.FRegex)
         << QStringLiteral("matchcase=") + LCheck(ANames.FMatchCase)
         << QStringLiteral("case=") + LCombo(ANames.FCase);
  return LTexts;
}

// Sets the rule fields as a user would, each with its own handler.
void TypeFields(QWidget &APage, const TFieldNames &ANames, const QString &AMask) {
  APage.findChild<QLineEdit *>(QString::fromLatin1(ANames.FNameMask))->setText(AMask);
  if (*ANames.FExtMask != '\0')
    APage.findChild<QLineEdit *>(QString::fromLatin1(ANames.FExtMask))
        ->setText(QStringLiteral("x"));
  APage.findChild<QSpinBox *>(QString::fromLatin1(ANames.FStart))->setValue(5);
  APage.findChild<QSpinBox *>(QString::fromLatin1(ANames.FStep))->setValue(10);
  APage.findChild<QComboBox *>(QString::fromLatin1(ANames.FDigits))->setCurrentIndex(2);
  APage.findChild<QLineEdit *>(QString::fromLatin1(ANames.FSearch))
      ->setText(QStringLiteral(" (o)"));
  APage.findChild<QLineEdit *>(QString::fromLatin1(ANames.FReplace))
      ->setText(QStringLiteral("%$1] "));
  APage.findChild<QCheckBox *>(QString::fromLatin1(ANames.FRegex))->setChecked(true);
  APage.findChild<QCheckBox *>(QString::fromLatin1(ANames.FMatchCase))->setChecked(true);
  APage.findChild<QComboBox *>(QString::fromLatin1(ANames.FCase))->setCurrentIndex(2);
}

// The menu's entries as it shows them, separators as "-".
QStringList MenuTexts(TRenamePage &APage) {
  APage.FillPresetsMenu();
  QStringList LTexts;
  for (const QAction *LAction : APage.PresetsMenu->actions())
    LTexts.append(LAction->isSeparator()
                      ? QStringLiteral("-")
                      : LAction->text() +
                            (LAction->isEnabled() ? QString() : QStringLiteral(" [off]")));
  return LTexts;
}

QAction *MenuEntry(TRenamePage &APage, const QString &AText) {
  APage.FillPresetsMenu();
  for (QAction *LAction : APage.PresetsMenu->actions())
    if (LAction->text() == AText)
      return LAction;
  return nullptr;
}

} // namespace

class TTestPresets : public QObject {
  Q_OBJECT
private:
  std::unique_ptr<TExecutableFolder> FExe;
  std::unique_ptr<TMessageRecorder> FMessages;
  std::unique_ptr<QTemporaryDir> FTree;
  std::unique_ptr<TfmMain> FMain;

  QString PresetsFile() const { return FExe->File(QStringLiteral("Presets.ini")); }
  QByteArray ReadPresets() const {
    QFile LFile(PresetsFile());
    return LFile.open(QIODevice::ReadOnly) ? LFile.readAll() : QByteArray();
  }
  void WritePresets(const QByteArray &AContent) const {
    QFile LFile(PresetsFile());
    QVERIFY(LFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    LFile.write(AContent);
  }
  TRenamePage &PageOf(bool AFolders) const {
    return AFolders ? static_cast<TRenamePage &>(*FMain->FolderPage)
                    : static_cast<TRenamePage &>(*FMain->FilePage);
  }
  // Items "photo" and "memo" (files with ".txt") in the page's list.
  void AddItems(bool AFolders) {
    const QString LRoot = FTree->filePath(QStringLiteral("root"));
    QVERIFY(QDir().mkpath(LRoot));
    if (AFolders) {
      QVERIFY(QDir().mkpath(LRoot + QStringLiteral("/photo")));
      QVERIFY(QDir().mkpath(LRoot + QStringLiteral("/memo")));
      const TSelectFolderHook LPrevious = SetSelectFolderHook([&](TfmSelectFolderForm &AForm) {
        AForm.editSelectDir->setText(LRoot);
        AForm.cbIncludeSubDir->setChecked(true);
        AForm.cbIncludeRootDir->setChecked(false);
        AForm.Button_ClearClick();
      });
      FMain->FolderPage->acAddFolder->trigger();
      SetSelectFolderHook(LPrevious);
    } else {
      QStringList LPaths;
      for (const QString &LName : {QStringLiteral("photo.txt"), QStringLiteral("memo.txt")}) {
        QFile LFile(LRoot + QLatin1Char('/') + LName);
        QVERIFY(LFile.open(QIODevice::WriteOnly));
        LPaths.append(LFile.fileName());
      }
      const TOpenFilesHook LPrevious = SetOpenFilesHook(
          [LPaths](const QString &) { return std::optional<QStringList>(LPaths); });
      FMain->FilePage->acAddFile->trigger();
      SetOpenFilesHook(LPrevious);
    }
    QVERIFY(guitest::WaitForStep(PageOf(AFolders)));
  }
  QStringList NewNames(bool AFolders) const {
    const TListGridModel &LModel = PageOf(AFolders).Model();
    QStringList LNames;
    for (int LRow = 0; LRow < LModel.rowCount(); ++LRow)
      LNames.append(
          LModel.index(LRow, LModel.ColumnOf(TListGridModel::dcNewName)).data().toString());
    LNames.sort();
    return LNames;
  }
  // Files in the tree's folder whose name, size and modification orders all
  // differ (sizes a 4, b 1, c 3, d 2; modified c < b < d < a), listed on
  // the file page.
  void AddFilesOfEveryOrder() {
    const struct {
      const char *FName;
      const char *FContent;
      int FDay;
    } LFiles[] = {{"a.txt", "aaaa", 4}, {"b.txt", "b", 2}, {"c.txt", "ccc", 1}, {"d.txt", "dd", 3}};
    QStringList LPaths;
    for (const auto &LFile : LFiles) {
      QFile LOpen(FTree->filePath(QString::fromLatin1(LFile.FName)));
      QVERIFY(LOpen.open(QIODevice::WriteOnly));
      LOpen.write(LFile.FContent);
      // Written out first: a later write would move the time again.
      QVERIFY(LOpen.flush());
      QVERIFY(LOpen.setFileTime(QDateTime(QDate(2020, 2, LFile.FDay), QTime(9, 0)),
                                QFileDevice::FileModificationTime));
      LPaths.append(LOpen.fileName());
    }
    FMain->ShowPage(TMainPage::mpFileRename);
    FMain->OpenPaths(false, LPaths);
    QVERIFY(guitest::WaitForStep(PageOf(false)));
  }
  // A column of the file page's rows as they are shown.
  QStringList Rows(TListGridModel::TDataColumn AColumn) const {
    const TListGridModel &LModel = PageOf(false).Model();
    QStringList LCells;
    for (int LRow = 0; LRow < LModel.rowCount(); ++LRow)
      LCells.append(LModel.index(LRow, LModel.ColumnOf(AColumn)).data().toString());
    return LCells;
  }
  // The file page's rows as varnwell-cli previews them.
  QByteArray RowsAsCli() const {
    const QStringList LOld = Rows(TListGridModel::dcOldName);
    const QStringList LNew = Rows(TListGridModel::dcNewName);
    QByteArray LLines;
    for (qsizetype i = 0; i < LOld.size(); ++i)
      LLines += (LOld[i] + QStringLiteral(" -> ") + LNew[i] + QLatin1Char('\n')).toUtf8();
    return LLines;
  }
  // The lines Order and Reverse of the preset file.
  QByteArray SavedOrder() const {
    const QByteArray LFile = ReadPresets();
    const qsizetype LAt = LFile.lastIndexOf("Order=");
    return LAt < 0 ? QByteArray() : LFile.mid(LAt);
  }

  // Runs varnwell-cli from the executable's folder, so that it shares its
  // Settings.ini and Presets.ini with the window.
  QByteArray RunCli(const QStringList &AArguments, int *AStatus = nullptr) const {
    const QString LProgram = FExe->File(QStringLiteral("varnwell-cli"));
    if (!QFile::exists(LProgram))
      QFile::copy(QStringLiteral(VARNWELL_CLI), LProgram);
    QProcess LProcess;
    LProcess.setProcessChannelMode(QProcess::MergedChannels);
    LProcess.setWorkingDirectory(FTree->path());
    LProcess.start(LProgram, AArguments);
    LProcess.waitForFinished(30000);
    if (AStatus != nullptr)
      *AStatus = LProcess.exitCode();
    return LProcess.readAll();
  }

private Q_SLOTS:
  void initTestCase() {
    FExe = std::make_unique<TExecutableFolder>();
    FMessages = std::make_unique<TMessageRecorder>();
  }
  void init() {
    FExe->WriteSettings(QStringLiteral("[Logging]\r\nEnableLog=0\r\n"));
    QFile::remove(PresetsFile());
    FMessages->Clear();
    FTree = std::make_unique<QTemporaryDir>();
    QVERIFY(FTree->isValid());
    FMain = std::make_unique<TfmMain>();
    FMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(FMain.get()));
  }
  void cleanup() {
    FMain.reset();
    GetLogger().StopLogging();
    FTree.reset();
  }
  void cleanupTestCase() {
    FMessages.reset();
    FExe.reset();
  }

  void SaveApplyRenameAndDeleteOnEachPage_data() {
    QTest::addColumn<bool>("folders");
    QTest::newRow("files") << false;
    QTest::newRow("folders") << true;
  }
  void SaveApplyRenameAndDeleteOnEachPage() {
    QFETCH(bool, folders);
    FMain->ShowPage(folders ? TMainPage::mpFolderRename : TMainPage::mpFileRename);
    TRenamePage &LPage = PageOf(folders);
    const TFieldNames &LFields = folders ? CFolderFields : CFileFields;
    QPushButton *LButton = LPage.findChild<QPushButton *>(
        folders ? QStringLiteral("btnFolderPresets") : QStringLiteral("btnFilePresets"));
    QVERIFY(LButton != nullptr);
    QCOMPARE(LButton->text(), QStringLiteral("Presets"));
    QCOMPARE(LButton->menu(), LPage.PresetsMenu);
    QCOMPARE(MenuTexts(LPage), (QStringList{QStringLiteral("Save as…"), QStringLiteral("-"),
                                            QStringLiteral("-"), QStringLiteral("Manage…")}));

    TDialogAnswers LAnswers;
    TypeFields(LPage, LFields, QStringLiteral("[N]_[C]"));
    const QStringList LSaved = FieldTexts(LPage, LFields);
    LAnswers.FNames.push_back(QStringLiteral("Trip & more"));
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QVERIFY(FMessages->Texts().isEmpty());
    const QByteArray LFile = ReadPresets();
    QVERIFY2(LFile.startsWith(folders ? "[Preset Trip & more]\nKind=folders\n"
                                      : "[Preset Trip & more]\nKind=files\n"),
             LFile.constData());
    QVERIFY2(LFile.contains("\nSearch=%20(o)\nReplace=%25$1%5D%20\n"), LFile.constData());
    // Only the page's own kind is listed; "&" shows as itself.
    QCOMPARE(MenuTexts(LPage), (QStringList{QStringLiteral("Save as…"), QStringLiteral("-"),
                                            QStringLiteral("Trip && more"), QStringLiteral("-"),
                                            QStringLiteral("Manage…")}));
    QCOMPARE(MenuTexts(PageOf(!folders)).size(), 4);

    // Choosing it sets every field and applies the rules to the list.
    LPage.SetRecipe(TNameRecipe());
    QVERIFY(FieldTexts(LPage, LFields) != LSaved);
    AddItems(folders);
    MenuEntry(LPage, QStringLiteral("Trip && more"))->trigger();
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(FieldTexts(LPage, LFields), LSaved);
    // "memo" is the second item: counter 5 + 10, three digits; the search
    // (" (o)", any case matched exactly) finds nothing in these names.
    // The counter starts at 5 and steps by 10 with three digits, in the
    // order the list holds; the search (" (o)", letter case told apart)
    // finds nothing in these names.
    const QString LExt = folders ? QString() : QStringLiteral(".X");
    const QStringList LNames = NewNames(folders);
    QVERIFY2(LNames == (QStringList{u"MEMO_005"_s + LExt, u"PHOTO_015"_s + LExt}) ||
                 LNames == (QStringList{u"MEMO_015"_s + LExt, u"PHOTO_005"_s + LExt}),
             qPrintable(LNames.join(QLatin1Char(' '))));
    // The search options are remembered as their boxes remember them.
    QVERIFY(folders ? GetSettings().FolderRegexSearch() : GetSettings().FileRegexSearch());

    // Saving under a name that exists asks first: "No" keeps the old one.
    TypeFields(LPage, LFields, QStringLiteral("other"));
    QVERIFY(guitest::WaitForStep(LPage));
    LAnswers.FNames.push_back(QStringLiteral("TRIP & MORE"));
    LAnswers.FConfirms.push_back(false);
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QCOMPARE(LAnswers.FAsked.last(),
             QStringLiteral("A preset \"Trip & more\" exists. Replace it?"));
    QCOMPARE(ReadPresets(), LFile);
    LAnswers.FNames.push_back(QStringLiteral("TRIP & MORE"));
    LAnswers.FConfirms.push_back(true);
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QVERIFY(ReadPresets().contains("[Preset TRIP & MORE]\n"));
    QVERIFY(ReadPresets().contains("NameMask=other\n"));
    QVERIFY(!ReadPresets().contains("Trip & more"));

    // Manage: rename, then delete.
    int LShown = 0;
    const TPresetsFormHook LPrevious = SetPresetsFormHook([&](TfmPresetsForm &AForm) {
      ++LShown;
      QCOMPARE(AForm.lbPresets->count(), 1);
      QCOMPARE(AForm.SelectedName(), QStringLiteral("TRIP & MORE"));
      LAnswers.FNames.push_back(QStringLiteral("Holiday"));
      AForm.btnRenamePreset->click();
      QCOMPARE(AForm.lbPresets->item(0)->text(), QStringLiteral("Holiday"));
      QCOMPARE(AForm.SelectedName(), QStringLiteral("Holiday"));
      LAnswers.FConfirms.push_back(false);
      AForm.btnDeletePreset->click();
      QCOMPARE(AForm.lbPresets->count(), 1);
      QCOMPARE(LAnswers.FAsked.last(), QStringLiteral("Delete the preset \"Holiday\"?"));
      LAnswers.FConfirms.push_back(true);
      AForm.btnDeletePreset->click();
      QCOMPARE(AForm.lbPresets->count(), 0);
      QVERIFY(!AForm.btnDeletePreset->isEnabled());
    });
    MenuEntry(LPage, QStringLiteral("Manage…"))->trigger();
    SetPresetsFormHook(LPrevious);
    QCOMPARE(LShown, 1);
    QVERIFY(FMessages->Texts().isEmpty());
    QVERIFY2(!ReadPresets().contains("[Preset"), ReadPresets().constData());
  }

  void ANameWithALineBreakOrNoneIsRefused() {
    TDialogAnswers LAnswers;
    TRenamePage &LPage = PageOf(false);
    for (const QString &LName : {QString(), QStringLiteral("a\nb")}) {
      FMessages->Clear();
      LAnswers.FNames.push_back(LName);
      MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
      QCOMPARE(FMessages->Texts(),
               QStringList{QStringLiteral("A preset needs a name without line breaks.")});
    }
    // Cancel writes nothing and says nothing.
    FMessages->Clear();
    LAnswers.FNames.push_back(std::nullopt);
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QVERIFY(FMessages->Texts().isEmpty());
    QVERIFY(!QFile::exists(PresetsFile()));
  }

  void ADamagedPresetIsGreyedAndKeptWhenOthersAreSaved() {
    const QByteArray LDamaged = "; mine\n[Preset Broken]\nNameMask=[N]\nCase=9\n\n";
    WritePresets(LDamaged);
    TRenamePage &LPage = PageOf(false);
    QCOMPARE(MenuTexts(LPage).at(2), QStringLiteral("Broken (damaged) [off]"));
    TDialogAnswers LAnswers;
    LAnswers.FNames.push_back(QStringLiteral("Good"));
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QVERIFY(ReadPresets().startsWith(LDamaged));
    QCOMPARE(MenuTexts(LPage).mid(2, 2),
             (QStringList{QStringLiteral("Broken (damaged) [off]"), QStringLiteral("Good")}));
  }

  void ACounterBeyondTheFieldsIsNotClamped() {
    WritePresets("[Preset Far]\nKind=files\nNameMask=[C]\nCounterStart=500\n");
    TRenamePage &LPage = PageOf(false);
    MenuEntry(LPage, QStringLiteral("Far"))->trigger();
    QCOMPARE(FMessages->Texts().size(), 1);
    QVERIFY(
        FMessages->Texts().at(0).startsWith(QStringLiteral("The preset \"Far\" counts from 500")));
    QCOMPARE(FMain->FilePage->Edit_RenameMask->text(), QStringLiteral("[N]"));
  }

  // A preset with an order sorts the list as "Sort by" does, after its rules
  // made the names, and the counter follows the rows; without an order the
  // list keeps its own. Saved again, the preset keeps the order in force.
  void APresetSortsTheListByTheOrderItKeeps_data() {
    QTest::addColumn<QByteArray>("preset");
    QTest::addColumn<bool>("large");
    QTest::addColumn<QStringList>("old");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<QByteArray>("saved");
    const QByteArray LHead = "[Preset P]\nKind=files\nNameMask=[N]_[C]\n";
    const QStringList LByMask = {u"a_1.txt"_s, u"c_2.txt"_s, u"d_3.txt"_s, u"b_4.txt"_s};
    QTest::newRow("size descending")
        << LHead + "Order=size\nReverse=1\n"
        << false << QStringList{u"a.txt"_s, u"c.txt"_s, u"d.txt"_s, u"b.txt"_s} << LByMask
        << QByteArray("Order=size\nReverse=1\n");
    QTest::newRow("size descending, large")
        << LHead + "Order=size\nReverse=1\n"
        << true << QStringList{u"a.txt"_s, u"c.txt"_s, u"d.txt"_s, u"b.txt"_s} << LByMask
        << QByteArray("Order=size\nReverse=1\n");
    // No file is a photo: the date taken is the modification time, read on
    // the worker.
    for (const bool LLarge : {false, true})
      QTest::addRow("taken%s", LLarge ? ", large" : "")
          << LHead + "Order=taken\n"
          << LLarge << QStringList{u"c.txt"_s, u"b.txt"_s, u"d.txt"_s, u"a.txt"_s}
          << QStringList{u"c_1.txt"_s, u"b_2.txt"_s, u"d_3.txt"_s, u"a_4.txt"_s}
          << QByteArray("Order=taken\nReverse=0\n");
    // The preset's names are sorted, then numbered anew: "a" becomes "z_1"
    // and goes last.
    for (const bool LLarge : {false, true})
      QTest::addRow("new name%s", LLarge ? ", large" : "")
          << LHead + "Search=a\nReplace=z\nOrder=new-name\n"
          << LLarge << QStringList{u"b.txt"_s, u"c.txt"_s, u"d.txt"_s, u"a.txt"_s}
          << QStringList{u"b_1.txt"_s, u"c_2.txt"_s, u"d_3.txt"_s, u"z_4.txt"_s}
          << QByteArray("Order=new-name\nReverse=0\n");
    QTest::newRow("old name descending")
        << LHead + "Order=name\nReverse=1\n"
        << false << QStringList{u"d.txt"_s, u"c.txt"_s, u"b.txt"_s, u"a.txt"_s}
        << QStringList{u"d_1.txt"_s, u"c_2.txt"_s, u"b_3.txt"_s, u"a_4.txt"_s}
        << QByteArray("Order=name\nReverse=1\n");
    // The order the list was in before: modified, descending.
    QTest::newRow("none") << LHead + "Order=\nReverse=1\n"
                          << false << QStringList{u"a.txt"_s, u"d.txt"_s, u"b.txt"_s, u"c.txt"_s}
                          << QStringList{u"a_1.txt"_s, u"d_2.txt"_s, u"b_3.txt"_s, u"c_4.txt"_s}
                          << QByteArray("Order=modified\nReverse=1\n");
  }
  void APresetSortsTheListByTheOrderItKeeps() {
    QFETCH(QByteArray, preset);
    QFETCH(bool, large);
    QFETCH(QStringList, old);
    QFETCH(QStringList, made);
    QFETCH(QByteArray, saved);
    const int LBefore = TRenamePage::SetLargeList(large ? 1 : 1000000);
    const auto LRestore = qScopeGuard([LBefore] { TRenamePage::SetLargeList(LBefore); });
    AddFilesOfEveryOrder();
    TRenamePage &LPage = PageOf(false);
    // Not in an order any preset gives: the modified descending.
    LPage.SortBy(TSortKey::Modified, true);
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(Rows(TListGridModel::dcOldName),
             (QStringList{u"a.txt"_s, u"d.txt"_s, u"b.txt"_s, u"c.txt"_s}));

    WritePresets(preset);
    MenuEntry(LPage, QStringLiteral("P"))->trigger();
    QVERIFY(guitest::WaitForStep(LPage));
    QVERIFY(FMessages->Texts().isEmpty());
    QCOMPARE(Rows(TListGridModel::dcOldName), old);
    QCOMPARE(Rows(TListGridModel::dcNewName), made);

    TDialogAnswers LAnswers;
    LAnswers.FNames.push_back(QStringLiteral("Again"));
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QCOMPARE(SavedOrder(), saved);
  }

  // "Save as…" keeps the order chosen last through a header or "Sort by";
  // none while the list was never sorted.
  void SavingKeepsTheOrderChosen() {
    AddFilesOfEveryOrder();
    TRenamePage &LPage = PageOf(false);
    TDialogAnswers LAnswers;
    const auto LSave = [&] {
      LAnswers.FNames.push_back(QStringLiteral("P"));
      LAnswers.FConfirms.push_back(true);
      MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
      return SavedOrder();
    };
    QCOMPARE(LSave(), QByteArray("Order=\nReverse=0\n"));
    // The first press on "Old Name" sorts it Z-A.
    LPage.HeaderPressed(LPage.Model().ColumnOf(TListGridModel::dcOldName));
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(LSave(), QByteArray("Order=name\nReverse=1\n"));
    LPage.HeaderPressed(LPage.Model().ColumnOf(TListGridModel::dcNewName));
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(LSave(), QByteArray("Order=new-name\nReverse=0\n"));
    LPage.SortBy(TSortKey::Size, false);
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(LSave(), QByteArray("Order=size\nReverse=0\n"));
    QVERIFY(FMessages->Texts().isEmpty());
  }

  // A preset saved with an order in one place numbers the same files in the
  // same order in the other.
  void TheWindowAndTheCommandLineNumberInTheSameOrder() {
    AddFilesOfEveryOrder();
    TRenamePage &LPage = PageOf(false);
    const QStringList LFiles = {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s};
    const QByteArray LSummary = "4 to rename, 0 unchanged, 0 conflicts\n";
    TDialogAnswers LAnswers;
    FMain->FilePage->Edit_RenameMask->setText(QStringLiteral("[N]_[C]"));
    LPage.SortBy(TSortKey::Size, true);
    QVERIFY(guitest::WaitForStep(LPage));
    LPage.ApplyAll();
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(RowsAsCli(), QByteArray("a.txt -> a_1.txt\nc.txt -> c_2.txt\nd.txt -> d_3.txt\n"
                                     "b.txt -> b_4.txt\n"));
    LAnswers.FNames.push_back(QStringLiteral("Largest"));
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    int LStatus = -1;
    QCOMPARE(RunCli(QStringList{u"--preset"_s, u"Largest"_s} + LFiles, &LStatus),
             RowsAsCli() + LSummary);
    QCOMPARE(LStatus, 0);

    QCOMPARE(
        RunCli({u"--save-preset"_s, u"Oldest"_s, u"-n"_s, u"[C]-[N]"_s, u"--sort"_s, u"modified"_s},
               &LStatus),
        QByteArray("Preset \"Oldest\" saved.\n"));
    MenuEntry(LPage, QStringLiteral("Oldest"))->trigger();
    QVERIFY(guitest::WaitForStep(LPage));
    QCOMPARE(RowsAsCli(), QByteArray("c.txt -> 1-c.txt\nb.txt -> 2-b.txt\nd.txt -> 3-d.txt\n"
                                     "a.txt -> 4-a.txt\n"));
    QCOMPARE(RunCli(QStringList{u"--preset"_s, u"Oldest"_s} + LFiles, &LStatus),
             RowsAsCli() + LSummary);
    QVERIFY(FMessages->Texts().isEmpty());
  }

  void TheWindowAndTheCommandLineShareTheirPresets() {
    // The window saves, the command line renames by it.
    TDialogAnswers LAnswers;
    TRenamePage &LPage = PageOf(false);
    FMain->FilePage->Edit_RenameMask->setText(QStringLiteral("Pic_[C]"));
    FMain->FilePage->CBox_CounterNumber->setCurrentIndex(1);
    FMain->FilePage->CBox_Case->setCurrentIndex(1);
    LAnswers.FNames.push_back(QStringLiteral("From window"));
    MenuEntry(LPage, QStringLiteral("Save as…"))->trigger();
    QFile LFile(FTree->filePath(QStringLiteral("A.TXT")));
    QVERIFY(LFile.open(QIODevice::WriteOnly));
    LFile.close();
    int LStatus = -1;
    QCOMPARE(
        RunCli({QStringLiteral("--preset"), QStringLiteral("From window"), QStringLiteral("A.TXT")},
               &LStatus),
        QByteArray("A.TXT -> pic_01.txt\n1 to rename, 0 unchanged, 0 conflicts\n"));
    QCOMPARE(LStatus, 0);

    // The command line saves, the window lists it at the next opening.
    QCOMPARE(RunCli({QStringLiteral("-d"), QStringLiteral("--save-preset"),
                     QStringLiteral("From cli"), QStringLiteral("-n"), QStringLiteral("F [N]"),
                     QStringLiteral("--step"), QStringLiteral("4"), QStringLiteral("--match-case"),
                     QStringLiteral("-s"), QStringLiteral(" ")},
                    &LStatus),
             QByteArray("Preset \"From cli\" saved.\n"));
    QCOMPARE(LStatus, 0);
    QVERIFY(MenuEntry(PageOf(false), QStringLiteral("From cli")) == nullptr);
    MenuEntry(PageOf(true), QStringLiteral("From cli"))->trigger();
    QCOMPARE(FieldTexts(PageOf(true), CFolderFields),
             (QStringList{QStringLiteral("name=F [N]"), QStringLiteral("start=1"),
                          QStringLiteral("step=4"), QStringLiteral("digits=1"),
                          QStringLiteral("search= "), QStringLiteral("replace="),
                          QStringLiteral("regex=off"), QStringLiteral("matchcase=on"),
                          QStringLiteral("case=No change")}));
    QVERIFY(FMessages->Texts().isEmpty());
  }
};

QTEST_MAIN(TTestPresets)
#include "tst_presets.moc"
