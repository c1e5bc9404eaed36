// The file page on 100,000 files, through the window on the offscreen
// platform: Add Folders until the grid shows its rows, a new name mask until
// the view is current, and a header press that sorts by "Location"; each
// against the engine doing the same work without the window, the plan of the
// Rename that the page's marks show included.
#include "Bench.h"
#include "GuiStall.h"

#include "MainUn.h"
#include "MainUnFilePage.h"
#include "uAction.h"
#include "uFileGridModel.h"
#include "uFileInfo.h"
#include "uGridSupport.h"
#include "uJournal.h"
#include "uMessageForm.h"
#include "uNameRecipe.h"
#include "uSetting.h"
#include "uUtilGui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int KFolderCount = 100;
constexpr int KFilesPerFolder = 1000; // 100,000 files in all
constexpr int KRounds = 3;

// A tree of KFolderCount folders with KFilesPerFolder files each, made once
// and removed when the program ends.
class TGuiFileTree {
public:
  TGuiFileTree() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-bench-gui-XXXXXX")) {
    for (int LFolder = 0; LFolder < KFolderCount; ++LFolder) {
      char LName[32];
      std::snprintf(LName, sizeof LName, "/Album %03d", LFolder);
      const QString LPath = FDir.path() + QString::fromLatin1(LName);
      QDir().mkpath(LPath);
      for (int LFile = 0; LFile < KFilesPerFolder; ++LFile) {
        std::snprintf(LName, sizeof LName, "/IMG_%05d.JPG", (LFile * 7919) % KFilesPerFolder);
        const std::string LBytes =
            QFile::encodeName(LPath + QString::fromLatin1(LName)).toStdString();
        const int LFd = ::open(LBytes.c_str(), O_CREAT | O_WRONLY, 0644);
        if (LFd >= 0)
          ::close(LFd);
      }
    }
  }
  QString Root() const { return FDir.path(); }

private:
  QTemporaryDir FDir;
};

TGuiFileTree &Tree() {
  static TGuiFileTree LTree;
  return LTree;
}

// The engine's part of Add Folders: collect, create and append the items,
// give them their positions and their new names by the recipe the page's
// controls show at start (the default recipe).
std::unique_ptr<TFileList> EngineAdd(const QString &ARoot) {
  auto LList = std::make_unique<TFileList>();
  const QStringList LPaths = CollectFolderFiles(ARoot);
  for (const QString &LPath : LPaths) {
    if (LList->CheckInList(LPath))
      LList->Add(std::make_unique<TFileInfo>(LPath));
  }
  // An Add leaves the list in the order the grid's marker shows.
  LList->Sort(TSortKey::OldName, false);
  LList->ApplyRecipe(TNameRecipe(), 0);
  return LList;
}

// The main window on the file page with answered dialogs, its settings in a
// folder of its own.
class TBenchWindow {
public:
  TBenchWindow() {
    TSettings::SetExecutableFolderForTesting(FExe.path());
    FPreviousMessage = SetMessageHook([](const QString &, TMessageFormType) {});
    FPreviousBrowse = SetBrowseFolderHook(
        [](const QString &, const QString &) { return std::optional<QString>(Tree().Root()); });
    FMain = std::make_unique<TfmMain>();
    FMain->ShowPage(TMainPage::mpFileRename);
    FMain->show();
    Settle();
  }
  ~TBenchWindow() {
    FMain.reset();
    SetBrowseFolderHook(std::move(FPreviousBrowse));
    SetMessageHook(std::move(FPreviousMessage));
    TSettings::SetExecutableFolderForTesting(QString());
  }
  TBenchWindow(const TBenchWindow &) = delete;
  TBenchWindow &operator=(const TBenchWindow &) = delete;

  TFilePage &Page() const { return *FMain->FilePage; }
  QTableView &Grid() const { return *Page().StringGrid_Rename; }
  // Lets the window handle what is pending: a step in the worker to its end,
  // layouts and the painting of whatever changed, the grid's visible rows
  // included (the window is exposed on the offscreen platform, so its paint
  // requests are served here).
  void Settle() const {
    while (Page().StepRunning())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
  }

private:
  QTemporaryDir FExe;
  TMessageHook FPreviousMessage;
  TBrowseFolderHook FPreviousBrowse;
  std::unique_ptr<TfmMain> FMain;
};

void PressEnter(QLineEdit &AEdit) {
  QKeyEvent LPress(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&AEdit, &LPress);
}

void PressHeader(QHeaderView &AHeader, int ASection) {
  const QPoint LPos(AHeader.sectionViewportPosition(ASection) + AHeader.sectionSize(ASection) / 2,
                    AHeader.height() / 2);
  QMouseEvent LPress(QEvent::MouseButtonPress, LPos, AHeader.viewport()->mapToGlobal(LPos),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(AHeader.viewport(), &LPress);
  QMouseEvent LRelease(QEvent::MouseButtonRelease, LPos, AHeader.viewport()->mapToGlobal(LPos),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(AHeader.viewport(), &LRelease);
}

constexpr double KNever = std::numeric_limits<double>::max();

} // namespace

VARNWELL_BENCH_GUI("gui-add-files") {
  const QString LRoot = Tree().Root();
  // Warm the file system's caches once, untimed.
  (void)EngineAdd(LRoot);
  TBenchWindow LWindow;
  double LEngine = KNever;
  double LBaseline = KNever;
  for (int LRound = 0; LRound < KRounds; ++LRound) {
    std::unique_ptr<TFileList> LList;
    // The page reads the folders and plans the Rename after an add, for its
    // marks.
    LBaseline = std::min(LBaseline, bench::TimeSeconds([&] {
                           LList = EngineAdd(LRoot);
                           LList->RefreshPlanner();
                           (void)LList->PlanRenaming();
                         }));
    LList.reset();
    LEngine = std::min(LEngine, bench::TimeSeconds([&] {
                         LWindow.Page().acAddFoldersFiles->trigger();
                         LWindow.Settle();
                       }));
    if (LWindow.Page().GridModel->rowCount() != KFolderCount * KFilesPerFolder)
      bench::PrintFigure("gui-add-files", "the grid did not get every row");
    LWindow.Page().acClearFile->trigger();
    LWindow.Settle();
  }
  bench::PrintRatio("gui-add-files", LEngine, LBaseline);
}

VARNWELL_BENCH_GUI("gui-mask-change") {
  const QString LRoot = Tree().Root();
  TBenchWindow LWindow;
  LWindow.Page().acAddFoldersFiles->trigger();
  LWindow.Settle();
  std::unique_ptr<TFileList> LList = EngineAdd(LRoot);
  // The page read the folders for its plan when it added the files.
  LList->RefreshPlanner();
  const QString LMasks[] = {QStringLiteral("[N]_[C]"), QStringLiteral("[YMD] [N]")};
  double LEngine = KNever;
  double LBaseline = KNever;
  QLineEdit &LEdit = *LWindow.Page().Edit_RenameMask;
  for (int LRound = 0; LRound < 2 * KRounds; ++LRound) {
    const QString &LMask = LMasks[LRound % 2];
    // The page plans the Rename after each change of names, for its marks.
    LBaseline = std::min(LBaseline, bench::TimeSeconds([&] {
                           LList->SetFileNameMask(LMask, 0);
                           (void)LList->PlanRenaming();
                         }));
    // Typing the mask (and its painting) is not part of applying it.
    LEdit.setText(LMask);
    LWindow.Settle();
    LEngine = std::min(LEngine, bench::TimeSeconds([&] {
                         PressEnter(LEdit);
                         LWindow.Settle();
                       }));
  }
  bench::PrintRatio("gui-mask-change", LEngine, LBaseline);
}

VARNWELL_BENCH_GUI("gui-sort") {
  const QString LRoot = Tree().Root();
  TBenchWindow LWindow;
  LWindow.Page().acAddFoldersFiles->trigger();
  LWindow.Settle();
  // The same items in the same order, sorted by the same comparison.
  std::unique_ptr<TFileList> LList = EngineAdd(LRoot);
  LList->RefreshPlanner();
  std::vector<TFileInfo *> LItems;
  LItems.reserve(static_cast<size_t>(LList->Count()));
  for (int i = 0; i < LList->Count(); ++i)
    LItems.push_back(LList->Items(i));
  QHeaderView &LHeader = *LWindow.Grid().horizontalHeader();
  const int LSection = LWindow.Page().GridModel->ColumnOf(TFileGridModel::dcLocation);
  // Presses alternate ascending and descending; the baseline follows the same
  // sequence from the same starting order.
  double LEngine = 0;
  double LBaseline = 0;
  for (int LRound = 0; LRound < 2 * KRounds; ++LRound) {
    TFileSortLess LLess;
    LLess.FKey = TFileSortKey::Location;
    LLess.FDown = LRound % 2 == 1;
    // The page plans the Rename after a sort, for its marks.
    LBaseline += bench::TimeSeconds([&] {
      std::sort(LItems.begin(), LItems.end(),
                [&LLess](const TFileInfo *ALeft, const TFileInfo *ARight) {
                  return LLess(*ALeft, *ARight);
                });
      (void)LList->PlanRenaming();
    });
    LEngine += bench::TimeSeconds([&] {
      PressHeader(LHeader, LSection);
      LWindow.Settle();
    });
  }
  bench::PrintRatio("gui-sort", LEngine, LBaseline);
}

namespace {

// Runs a step of the page (ATrigger starts it) until its worker has ended and
// the page has shown the report; meanwhile a 10 ms timer on the GUI thread
// records the longest gap between two of its ticks, in milliseconds.
double RunPageStep(TBenchWindow &AWindow, bool &AReported, const std::function<void()> &ATrigger,
                   double *ALongestGapMs = nullptr) {
  const bench::TGapMeter LMeter;
  AReported = false;
  const double LSeconds = bench::TimeSeconds([&] {
    ATrigger();
    while (!AReported || AWindow.Page().StepRunning())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    AWindow.Settle();
  });
  // The gap up to the step's end counts as well.
  if (ALongestGapMs != nullptr)
    *ALongestGapMs = LMeter.LongestMs();
  return LSeconds;
}

// The journal of the window's side in a folder of its own, for a scope.
class TBenchJournal {
public:
  TBenchJournal() { GetJournal().SetFolder(FDir.path() + QStringLiteral("/journal")); }
  ~TBenchJournal() { GetJournal().SetFolder(QString()); }
  TBenchJournal(const TBenchJournal &) = delete;
  TBenchJournal &operator=(const TBenchJournal &) = delete;

private:
  QTemporaryDir FDir;
};

} // namespace

// Rename of 100,000 files from the page, in its worker with the progress
// shown, until the report; against the engine's Rename alone. Both record in
// a journal. Each round's Rollback puts the files back, untimed.
VARNWELL_BENCH_GUI("gui-rename-progress") {
  const QString LRoot = Tree().Root();
  TBenchJournal LPageJournal;
  QTemporaryDir LEngineState;
  TJournal LEngineJournal;
  LEngineJournal.SetFolder(LEngineState.path() + QStringLiteral("/journal"));
  TBenchWindow LWindow;
  bool LReported = false;
  const TMessageHook LPrevious =
      SetMessageHook([&LReported](const QString &, TMessageFormType) { LReported = true; });
  TFilePage &LPage = LWindow.Page();
  LPage.acAddFoldersFiles->trigger();
  LWindow.Settle();
  LPage.Edit_RenameMask->setText(QStringLiteral("[N]_r"));
  PressEnter(*LPage.Edit_RenameMask);
  LWindow.Settle();
  std::unique_ptr<TFileList> LList = EngineAdd(LRoot);
  LList->SetFileNameMask(QStringLiteral("[N]_r"), 0);
  LList->SetJournal(&LEngineJournal);
  LList->RefreshPlanner();
  double LEngine = KNever;
  double LBaseline = KNever;
  for (int LRound = 0; LRound < KRounds; ++LRound) {
    int LFailed = 0;
    LBaseline =
        std::min(LBaseline, bench::TimeSeconds([&] { LFailed = LList->ExecuteRenaming(); }));
    LFailed += LList->ExecuteRollback();
    LEngine =
        std::min(LEngine, RunPageStep(LWindow, LReported, [&] { LPage.acRename->trigger(); }));
    RunPageStep(LWindow, LReported, [&] { LPage.acRollback->trigger(); });
    if (LFailed != 0 || LPage.HasFailureMarks())
      bench::PrintFigure("gui-rename-progress", "a file failed to move");
  }
  SetMessageHook(LPrevious);
  bench::PrintRatio("gui-rename-progress", LEngine, LBaseline);
}

// The longest gap of the GUI thread's 10 ms timer during a Rename and during
// a Rollback of 100,000 files from the page.
VARNWELL_BENCH_GUI("gui-stall-rename") {
  TBenchJournal LJournal;
  TBenchWindow LWindow;
  bool LReported = false;
  const TMessageHook LPrevious =
      SetMessageHook([&LReported](const QString &, TMessageFormType) { LReported = true; });
  TFilePage &LPage = LWindow.Page();
  LPage.acAddFoldersFiles->trigger();
  LWindow.Settle();
  LPage.Edit_RenameMask->setText(QStringLiteral("[N]_r"));
  PressEnter(*LPage.Edit_RenameMask);
  LWindow.Settle();
  double LRename = 0;
  double LRollback = 0;
  RunPageStep(
      LWindow, LReported, [&] { LPage.acRename->trigger(); }, &LRename);
  RunPageStep(
      LWindow, LReported, [&] { LPage.acRollback->trigger(); }, &LRollback);
  SetMessageHook(LPrevious);
  bench::PrintFigure("gui-stall-rename", bench::GapText(LRename));
  bench::PrintFigure("gui-stall-rollback", bench::GapText(LRollback));
}

// Add Folders of 100,000 files (in the worker), then what stays on the GUI
// thread with them: a new name mask, a header press that sorts, a Delete and
// Clear, each as the longest gap of the GUI thread's 10 ms timer.
VARNWELL_BENCH_GUI("gui-stall-mask-sort") {
  // The files are made before anything is measured.
  (void)Tree();
  TBenchWindow LWindow;
  TFilePage &LPage = LWindow.Page();
  const auto LSettle = [&LWindow] {
    LWindow.Settle();
  };
  const double LAdd = bench::LongestGapAround([&] { LPage.acAddFoldersFiles->trigger(); }, LSettle);
  QLineEdit &LEdit = *LPage.Edit_RenameMask;
  LEdit.setText(QStringLiteral("[N]_[C]"));
  const double LMask = bench::LongestGapAround([&] { PressEnter(LEdit); }, LSettle);
  QHeaderView &LHeader = *LWindow.Grid().horizontalHeader();
  const int LSection = LPage.GridModel->ColumnOf(TFileGridModel::dcLocation);
  const double LSort = bench::LongestGapAround([&] { PressHeader(LHeader, LSection); }, LSettle);
  // A Delete in the middle renumbers the rows after it; Clear empties all.
  LWindow.Grid().selectRow(LPage.GridModel->rowCount() / 2);
  const double LDelete = bench::LongestGapAround([&] { LPage.acDeleteFile->trigger(); }, LSettle);
  const double LClear = bench::LongestGapAround([&] { LPage.acClearFile->trigger(); }, LSettle);
  bench::PrintFigure("gui-stall-add-files", bench::GapText(LAdd));
  bench::PrintFigure("gui-stall-mask-change", bench::GapText(LMask));
  bench::PrintFigure("gui-stall-sort", bench::GapText(LSort));
  bench::PrintFigure("gui-stall-delete", bench::GapText(LDelete));
  bench::PrintFigure("gui-stall-clear", bench::GapText(LClear));
}
