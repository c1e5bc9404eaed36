// Folder page scenarios on the offscreen platform: Add Folder of a large tree
// until the grid has its rows, and Rename then Rollback of a nested tree from
// the page, each against the folder engine doing the same work without the
// window, the plan of the Rename that the page's marks show included.
#include "Bench.h"
#include "GuiStall.h"

#ifdef VARNWELL_BENCH_WITH_GUI

#include "MainUn.h"
#include "MainUnFolderPage.h"
#include "uFolderGridModel.h"
#include "uFolderInfo.h"
#include "uMessageForm.h"
#include "uNameRecipe.h"
#include "uSelectFolderForm.h"
#include "uSetting.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Rounds = 3;
constexpr int RenameRounds = 6;

// Makes a tree below ARoot whose level i (from 1) has ABranching[i - 1]
// subfolders in every folder of level i - 1; returns the number of folders.
int MakeGuiTree(const std::string &ARoot, const std::vector<int> &ABranching, size_t ALevel = 0) {
  if (ALevel == ABranching.size())
    return 0;
  int LCount = 0;
  for (int i = 0; i < ABranching[ALevel]; ++i) {
    const std::string LPath = ARoot + "/dir " + std::to_string(i);
    if (mkdir(LPath.c_str(), 0755) != 0)
      std::perror(LPath.c_str());
    LCount += 1 + MakeGuiTree(LPath, ABranching, ALevel + 1);
  }
  return LCount;
}

double BestOf(const std::vector<double> &ATimes) {
  return *std::min_element(ATimes.begin(), ATimes.end());
}

// A main window on the folder page, with its settings in a folder of its
// own, messages answered and the select-folder dialog answered with AFolder
// and both options.
class TBenchWindow {
public:
  explicit TBenchWindow(const QString &AFolder) {
    TSettings::SetExecutableFolderForTesting(FExe.path());
    FPreviousMessage = SetMessageHook([](const QString &, TMessageFormType) {});
    FPreviousSelect = SetSelectFolderHook([AFolder](TfmSelectFolderForm &AForm) {
      AForm.editSelectDir->setText(AFolder);
      AForm.cbIncludeSubDir->setChecked(true);
      AForm.cbIncludeRootDir->setChecked(true);
      AForm.Button_ClearClick();
    });
    FMain = std::make_unique<TfmMain>();
    FMain->ShowPage(TMainPage::mpFolderRename);
    FMain->show();
    QApplication::processEvents();
  }
  ~TBenchWindow() {
    FMain.reset();
    SetSelectFolderHook(std::move(FPreviousSelect));
    SetMessageHook(std::move(FPreviousMessage));
    TSettings::SetExecutableFolderForTesting(QString());
  }
  TBenchWindow(const TBenchWindow &) = delete;
  TBenchWindow &operator=(const TBenchWindow &) = delete;

  TFolderPage &Page() const { return *FMain->FolderPage; }
  TfmMain &Main() const { return *FMain; }
  int Rows() const { return Page().GridModel().rowCount(); }
  // Paints the window now, without running queued work.
  void Paint() const { FMain->repaint(); }
  // Runs the work the window deferred to its run timer.
  void RunDeferred() const {
    while (FMain->FRunTimer->isActive())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  // Lets a step in the worker end, then the window paint what changed and
  // run its deferred work.
  void Settle() const {
    while (Page().StepRunning())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    RunDeferred();
  }

private:
  QTemporaryDir FExe;
  TMessageHook FPreviousMessage;
  TSelectFolderHook FPreviousSelect;
  std::unique_ptr<TfmMain> FMain;
};

// What the page's Add Folder does to the list, without the window: the
// folders named by the recipe the page's controls show at start (the default
// recipe).
void CollectWithEngine(TFolderList &AList, const QString &AFolder) {
  AList.AddFolderInfoIfNeed(AFolder);
  ScanSubFolders(AFolder, [&AList](const QString &APath, const TFolderEntry &AFileInfo) {
    AList.AddFolderInfoIfNeed(APath, AFileInfo);
  });
  // An Add leaves the list in the order the grid's marker shows.
  AList.Sort(TSortKey::OldName, false);
  AList.ApplyRecipe(TNameRecipe(), 0);
}

} // namespace

VARNWELL_BENCH_GUI("gui-add-folders") {
  QTemporaryDir LDir(QDir::tempPath() + u"/varnwell-bench-XXXXXX"_s);
  const std::string LRoot = QFile::encodeName(LDir.path()).toStdString();
  // 20 + 400 + 19,600 = 20,020 folders below the chosen one.
  const int LFolders = MakeGuiTree(LRoot, {20, 20, 49}) + 1;
  TBenchWindow LWindow(LDir.path());
  std::vector<double> LEngine;
  std::vector<double> LBaseline;
  std::vector<double> LDetails;
  for (int LRound = 0; LRound < Rounds; ++LRound) {
    TFolderList LList;
    // The page reads the folders and plans the Rename after an add, for its
    // marks.
    LBaseline.push_back(bench::TimeSeconds([&] {
      CollectWithEngine(LList, LDir.path());
      LList.RefreshPlanner();
      (void)LList.PlanRenaming();
    }));
    // Until the worker's step has ended, the grid has its rows and the
    // window has painted them.
    LEngine.push_back(bench::TimeSeconds([&] {
      LWindow.Page().acAddFolder->trigger();
      while (LWindow.Page().StepRunning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
      LWindow.Paint();
    }));
    // Then the details: the size of the shown folder (here the chosen one,
    // so every folder below it is listed once more), measured on a thread of
    // its own.
    LDetails.push_back(bench::TimeSeconds([&] {
      while (LWindow.Page().SizeProbe->Busy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }));
    if (LWindow.Rows() != LFolders || LList.Count() != LFolders)
      std::fprintf(stderr, "gui-add-folders: %d folders, grid %d rows, list %d\n", LFolders,
                   LWindow.Rows(), LList.Count());
    LWindow.Page().ClearList();
    LWindow.Settle();
  }
  bench::PrintRatio("gui-add-folders", BestOf(LEngine), BestOf(LBaseline));
  char LText[96];
  std::snprintf(LText, sizeof LText, "%.3f s for the size of the chosen folder, after the paint",
                BestOf(LDetails));
  bench::PrintFigure("gui-add-folders details", LText);
}

VARNWELL_BENCH_GUI("gui-folder-rename") {
  QTemporaryDir LDir(QDir::tempPath() + u"/varnwell-bench-XXXXXX"_s);
  const std::string LRoot = QFile::encodeName(LDir.path()).toStdString();
  // 10 + 100 + 9,900 = 10,010 nested folders, in two copies: one for the page
  // and one for the list without the window.
  const std::string LPageRoot = LRoot + "/page";
  const std::string LListRoot = LRoot + "/list";
  mkdir(LPageRoot.c_str(), 0755);
  mkdir(LListRoot.c_str(), 0755);
  const int LFolders = MakeGuiTree(LPageRoot, {10, 10, 99});
  MakeGuiTree(LListRoot, {10, 10, 99});
  const QString LPageFolder = QFile::decodeName(LPageRoot.c_str());
  const QString LListFolder = QFile::decodeName(LListRoot.c_str());

  TBenchWindow LWindow(LPageFolder);
  TFolderPage &LPage = LWindow.Page();
  LPage.acAddFolder->trigger();
  LWindow.Settle();
  LPage.edFolderMask->setText(u"[N]_renamed"_s);
  LPage.edFolderMaskExit();

  TFolderList LList;
  CollectWithEngine(LList, LListFolder);
  LList.SetFolderNameMask(u"[N]_renamed"_s, 0);

  std::vector<double> LEngine;
  std::vector<double> LBaseline;
  // The disk is the cost of both: the rounds alternate which goes first and
  // the best of each counts.
  for (int LRound = 0; LRound < RenameRounds; ++LRound) {
    int LListFailures = 0;
    const auto LWithList = [&] {
      // Back in the normal display the page plans the Rename, for its marks.
      LBaseline.push_back(bench::TimeSeconds([&] {
        LListFailures += LList.ExecuteRenaming();
        LListFailures += LList.ExecuteRollback();
        (void)LList.PlanRenaming();
      }));
    };
    const auto LWithPage = [&] {
      LEngine.push_back(bench::TimeSeconds([&] {
        // Each step runs in the page's worker until its report.
        LPage.acRenameFolder->trigger();
        while (LPage.StepRunning())
          QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        LWindow.Settle();
        LPage.acRollbackFolder->trigger();
        while (LPage.StepRunning())
          QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        LWindow.Settle();
      }));
    };
    if (LRound % 2 == 0) {
      LWithList();
      LWithPage();
    } else {
      LWithPage();
      LWithList();
    }
    if (LListFailures != 0 || LWindow.Rows() != LFolders + 1 || LPage.HasHintColumn())
      std::fprintf(stderr, "gui-folder-rename: list failures %d, grid %d rows of %d\n",
                   LListFailures, LWindow.Rows(), LFolders + 1);
  }
  bench::PrintRatio("gui-folder-rename", BestOf(LEngine), BestOf(LBaseline));
}

// The page's steps on a list of 100,000 folders (made in memory; nothing
// touches the disk but the details' size of a folder that is not there).
// Each step should cost what the visible rows cost, not what the list holds.
VARNWELL_BENCH_GUI("gui-folder-100k") {
  constexpr int LCount = 100000;
  TBenchWindow LWindow{QString()};
  TFolderPage &LPage = LWindow.Page();
  TFolderList &LList = *LWindow.Main().FFolderList;
  for (int i = 0; i < LCount; ++i)
    LList.Add(std::make_unique<TFolderInfo>(
        u"/nowhere/branch "_s + QString::number(i / 100),
        TFolderEntry{u"folder "_s + QString::number((i * 7919) % LCount), QDateTime()}));
  const auto LStep = [&](const std::function<void()> &AWork) {
    return bench::TimeSeconds([&] {
      AWork();
      LWindow.Paint();
    });
  };
  const double LShow = LStep([&] {
    LList.ReindexFolderInfo(0);
    LList.SetFolderNameMask(u"[N]"_s, 0);
    LPage.SynchroList(0);
  });
  const double LMask = LStep([&] {
    LPage.edFolderMask->setText(u"[N]_[C]"_s);
    LPage.edFolderMaskExit();
  });
  const double LSelect = LStep([&] { LPage.sgFolderRename->selectRow(LCount / 2); });
  const double LDelete = LStep([&] { LPage.acDeleteFolder->trigger(); });
  const double LSort = LStep([&] { LPage.HeaderPressed(1); });
  const double LClear = LStep([&] { LPage.acClearFolder->trigger(); });
  char LText[200];
  std::snprintf(LText, sizeof LText,
                "show %.3f s, mask with counter %.3f s, select %.3f s, delete %.3f s, "
                "sort %.3f s, clear %.3f s",
                LShow, LMask, LSelect, LDelete, LSort, LClear);
  bench::PrintFigure("gui-folder-100k", LText);
}

// The window answers during Add Folder of 20,020 folders, and during Rename
// then Rollback of 10,010 nested folders: the longest gap of the GUI
// thread's 10 ms timer while each step runs in the worker.
VARNWELL_BENCH_GUI("gui-stall-folders") {
  QTemporaryDir LDir(QDir::tempPath() + u"/varnwell-bench-XXXXXX"_s);
  const std::string LRoot = QFile::encodeName(LDir.path()).toStdString();
  const std::string LWide = LRoot + "/wide";
  const std::string LNested = LRoot + "/nested";
  mkdir(LWide.c_str(), 0755);
  mkdir(LNested.c_str(), 0755);
  MakeGuiTree(LWide, {20, 20, 49});
  MakeGuiTree(LNested, {10, 10, 99});
  double LAdd = 0;
  {
    TBenchWindow LWindow(QFile::decodeName(LWide.c_str()));
    LAdd = bench::LongestGapAround([&] { LWindow.Page().acAddFolder->trigger(); },
                                   [&] { LWindow.Settle(); });
  }
  TBenchWindow LWindow(QFile::decodeName(LNested.c_str()));
  TFolderPage &LPage = LWindow.Page();
  LPage.acAddFolder->trigger();
  LWindow.Settle();
  LPage.edFolderMask->setText(u"[N]_renamed"_s);
  LPage.edFolderMaskExit();
  LWindow.Settle();
  const double LRename = bench::LongestGapAround(
      [&] {
        LPage.acRenameFolder->trigger();
        LWindow.Settle();
        LWindow.Main().UpdateActions();
        LPage.acRollbackFolder->trigger();
      },
      [&] { LWindow.Settle(); });
  bench::PrintFigure("gui-stall-add-folders", bench::GapText(LAdd));
  bench::PrintFigure("gui-stall-folder-rename", bench::GapText(LRename));
}

#endif
