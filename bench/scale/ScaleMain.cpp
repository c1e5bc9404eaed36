// varnwell_scale: the driver of scripts/bench-scale, which measures the
// program on a million files. Every figure comes from a process of its own:
//
//   varnwell_scale measure [--stdout FILE] [--rss-limit-mb N] -- COMMAND...
//       runs COMMAND as a child and prints "SECONDS PEAK_MB STATUS": its wall
//       time from start to exit, its peak resident set (wait4's rusage) and
//       "ok", "exit=N", "signal=N" or "limit" (stopped above N MB).
//   varnwell_scale window SETTINGS_DIR FOLDER COUNT
//       the main window on the offscreen platform: Add Folders of FOLDER on
//       the file page, a mask with a counter, a header press that sorts the
//       list the other way round, a Rename and a Rollback; prints
//       "add X s, longest gap Z ms".
//   varnwell_scale start SETTINGS_DIR
//       the main window started, shown until its first page is painted and
//       the event loop is idle, and closed.
//   varnwell_scale make-journal JOURNAL_DIR FOLDER COUNT BATCHES
//       writes BATCHES finished rename batches of COUNT steps each (the files
//       fNNNNNNN.txt of FOLDER to fNNNNNNN_x.txt) with the journal's writer.
//
// SETTINGS_DIR stands for the folder of the executable, so the window keeps
// its settings there; the journal follows $XDG_STATE_HOME as in the program.
// With VARNWELL_SCALE_DETAILS set, window prints each step's time and longest
// gap on standard error.
#include "GuiStall.h"

#include "MainUn.h"
#include "MainUnFilePage.h"
#include "uAction.h"
#include "uFileGridModel.h"
#include "uJournal.h"
#include "uMessageForm.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtilGui.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleFactory>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int KExitFailed = 1;
constexpr int KExitUsage = 2;

void Fail(const std::string &AText) {
  std::fprintf(stderr, "varnwell_scale: %s\n", AText.c_str());
}

bool ParseCount(const char *AText, long long &AValue) {
  char *LEnd = nullptr;
  errno = 0;
  AValue = std::strtoll(AText, &LEnd, 10);
  return errno == 0 && LEnd != AText && *LEnd == '\0' && AValue > 0;
}

// The name of the file number ANumber (from 1), as scripts/bench-scale makes
// them: f0000001.txt ...
QString FileName(long long ANumber, const char *ATail = ".txt") {
  char LName[48];
  std::snprintf(LName, sizeof LName, "f%07lld%s", ANumber, ATail);
  return QString::fromLatin1(LName);
}

// ---------------------------------------------------------------------------
// measure: one child, its wall time and its peak resident set.

// The resident set of the process APid in kB, from /proc; -1 when it cannot
// be read (the process has ended).
long long ResidentKb(pid_t APid) {
  char LPath[64];
  std::snprintf(LPath, sizeof LPath, "/proc/%d/statm", static_cast<int>(APid));
  FILE *LFile = std::fopen(LPath, "r");
  if (LFile == nullptr)
    return -1;
  long long LSize = 0;
  long long LResident = -1;
  if (std::fscanf(LFile, "%lld %lld", &LSize, &LResident) != 2)
    LResident = -1;
  std::fclose(LFile);
  return LResident < 0 ? -1 : LResident * (sysconf(_SC_PAGESIZE) / 1024);
}

int Measure(int AArgc, char **AArgv) {
  const char *LStdout = "/dev/null";
  long long LLimitMb = 0; // none
  int i = 0;
  for (; i < AArgc && std::strcmp(AArgv[i], "--") != 0; ++i) {
    if (std::strcmp(AArgv[i], "--stdout") == 0 && i + 1 < AArgc) {
      LStdout = AArgv[++i];
    } else if (std::strcmp(AArgv[i], "--rss-limit-mb") == 0 && i + 1 < AArgc &&
               ParseCount(AArgv[i + 1], LLimitMb)) {
      ++i;
    } else {
      Fail(std::string("measure: unknown option ") + AArgv[i]);
      return KExitUsage;
    }
  }
  if (i + 1 >= AArgc) {
    Fail("measure: no command after --");
    return KExitUsage;
  }
  char **LCommand = AArgv + i + 1;
  const int LOut = ::open(LStdout, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (LOut < 0) {
    Fail(std::string("measure: cannot open ") + LStdout + ": " + std::strerror(errno));
    return KExitFailed;
  }
  std::fflush(nullptr);
  const auto LStart = std::chrono::steady_clock::now();
  const pid_t LChild = ::fork();
  if (LChild < 0) {
    Fail(std::string("measure: fork: ") + std::strerror(errno));
    return KExitFailed;
  }
  if (LChild == 0) {
    ::dup2(LOut, STDOUT_FILENO);
    ::execvp(LCommand[0], LCommand);
    std::fprintf(stderr, "varnwell_scale: cannot start %s: %s\n", LCommand[0],
                 std::strerror(errno));
    ::_exit(127);
  }
  ::close(LOut);
  // A guard stops a child that grows beyond the limit, so that a process
  // that takes more memory than the machine has is told as such instead of
  // drawing the kernel's out-of-memory killer onto other processes. The
  // child stays a zombie until the guard has stopped, so its number cannot
  // be taken by another process meanwhile.
  std::mutex LLock;
  std::condition_variable LWake;
  bool LEnded = false;
  std::atomic<bool> LOverLimit{false};
  std::thread LGuard;
  if (LLimitMb > 0)
    LGuard = std::thread([&] {
      std::unique_lock<std::mutex> LHold(LLock);
      while (!LEnded) {
        const long long LKb = ResidentKb(LChild);
        if (LKb > LLimitMb * 1024) {
          LOverLimit = true;
          ::kill(LChild, SIGKILL);
          return;
        }
        LWake.wait_for(LHold, std::chrono::milliseconds(50));
      }
    });
  siginfo_t LInfo{};
  while (::waitid(P_PID, static_cast<id_t>(LChild), &LInfo, WEXITED | WNOWAIT) != 0 &&
         errno == EINTR) {
  }
  const double LSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - LStart).count();
  {
    std::lock_guard<std::mutex> LHold(LLock);
    LEnded = true;
  }
  LWake.notify_all();
  if (LGuard.joinable())
    LGuard.join();
  int LStatus = 0;
  rusage LUsage{};
  while (::wait4(LChild, &LStatus, 0, &LUsage) < 0 && errno == EINTR) {
  }
  std::string LState = "ok";
  if (LOverLimit)
    LState = "limit";
  else if (WIFSIGNALED(LStatus))
    LState = "signal=" + std::to_string(WTERMSIG(LStatus));
  else if (WIFEXITED(LStatus) && WEXITSTATUS(LStatus) != 0)
    LState = "exit=" + std::to_string(WEXITSTATUS(LStatus));
  // ru_maxrss is in kB on Linux.
  std::printf("%.3f %.1f %s\n", LSeconds, static_cast<double>(LUsage.ru_maxrss) / 1024.0,
              LState.c_str());
  return LState == "ok" ? 0 : KExitFailed;
}

// ---------------------------------------------------------------------------
// make-journal: finished batches written by the journal's own writer.

int MakeJournal(const QString &AJournal, const QString &AFolder, long long ACount,
                long long ABatches) {
  // The steps as a Rename of the folder with the mask "[N]_x" plans them,
  // with the identities of the files that are there.
  std::vector<TJournalStep> LSteps(static_cast<size_t>(ACount));
  const QByteArray LFolderBytes = QFile::encodeName(AFolder);
  for (long long n = 0; n < ACount; ++n) {
    TJournalStep &LStep = LSteps[static_cast<size_t>(n)];
    LStep.FItem = static_cast<int>(n);
    LStep.FKind = TStepKind::Move;
    LStep.FFolder = 0;
    LStep.FFrom = FileName(n + 1);
    LStep.FTo = FileName(n + 1, "_x.txt");
    struct stat LStat {};
    const QByteArray LPath = LFolderBytes + '/' + LStep.FFrom.toLatin1();
    if (::stat(LPath.constData(), &LStat) == 0) {
      LStep.FDevice = static_cast<uint64_t>(LStat.st_dev);
      LStep.FInode = static_cast<uint64_t>(LStat.st_ino);
      LStep.FSize = static_cast<int64_t>(LStat.st_size);
      LStep.FModifiedNs = static_cast<int64_t>(LStat.st_mtim.tv_sec) * 1000000000 +
                          static_cast<int64_t>(LStat.st_mtim.tv_nsec);
    }
  }
  TJournal LJournal;
  LJournal.SetFolder(AJournal);
  for (long long b = 0; b < ABatches; ++b) {
    QString LError;
    std::unique_ptr<TBatchWriter> LWriter =
        LJournal.BeginBatch(TBatchKind::Files, {AFolder}, LError);
    if (!LWriter || !LWriter->BeginSection(TSectionKind::Rename, LSteps, LError)) {
      Fail(LError.toStdString());
      return KExitFailed;
    }
    for (long long s = 0; s < ACount; ++s)
      LWriter->StepDone(static_cast<int>(s), true, QString());
    LWriter->EndSection(static_cast<int>(ACount), 0, false);
    LError = LWriter->Close();
    if (!LError.isEmpty()) {
      Fail(LError.toStdString());
      return KExitFailed;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// The window.

// The GUI application as the program makes it, on the offscreen platform.
void SetUpApplication(const QString &ASettings) {
  TSettings::SetExecutableFolderForTesting(ASettings);
  QApplication::setApplicationName(QStringLiteral("Varnwell"));
  QApplication::setApplicationVersion(GetFileVersion());
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

QWidget *PageWidget(const TfmMain &AMain, TMainPage APage) {
  switch (APage) {
  case TMainPage::mpFileRename:
    return AMain.ltFileRename;
  case TMainPage::mpFolderRename:
    return AMain.ltFolderRename;
  case TMainPage::mpSelectMode:
    return AMain.ltSelectMode;
  case TMainPage::mpSettings:
    return AMain.LayoutSetting;
  case TMainPage::mpAbout:
    return AMain.LayoutAbout;
  case TMainPage::mpHistory:
    return AMain.LayoutHistory;
  }
  return nullptr;
}

// Notes the first paint of a widget.
class TPaintWatch : public QObject {
public:
  explicit TPaintWatch(QWidget &AWidget) { AWidget.installEventFilter(this); }
  bool Painted() const { return FPainted; }

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Paint)
      FPainted = true;
    return QObject::eventFilter(AWatched, AEvent);
  }

private:
  bool FPainted = false;
};

int Start(const QString &ASettings) {
  SetUpApplication(ASettings);
  // A message would wait for a person: it goes to standard error instead.
  SetMessageHook([](const QString &AText, TMessageFormType) {
    std::fprintf(stderr, "varnwell_scale: message: %s\n", AText.toUtf8().constData());
  });
  TfmMain LMain;
  QWidget *LPage = PageWidget(LMain, LMain.CurrentPage());
  if (LPage == nullptr) {
    Fail("start: the window shows no page");
    return KExitFailed;
  }
  TPaintWatch LWatch(*LPage);
  LMain.show();
  // The event loop is idle when it is about to wait for events; the window
  // has started once that happens with its first page painted.
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   &LMain, [&LMain, LPage, &LWatch] {
                     if (LMain.windowHandle() != nullptr && LMain.windowHandle()->isExposed() &&
                         LPage->isVisible() && LWatch.Painted())
                       QCoreApplication::quit();
                   });
  return QApplication::exec();
}

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

// How many entries of AFolder are named as ANameOf gives for 1 ... ACount;
// counted by listing the folder once.
long long CountNamed(const QString &AFolder, long long ACount,
                     const std::function<QString(long long)> &ANameOf) {
  std::vector<std::string> LWanted;
  LWanted.reserve(static_cast<size_t>(ACount));
  for (long long n = 1; n <= ACount; ++n)
    LWanted.push_back(ANameOf(n).toStdString());
  std::sort(LWanted.begin(), LWanted.end());
  DIR *LDir = ::opendir(QFile::encodeName(AFolder).constData());
  if (LDir == nullptr)
    return -1;
  long long LFound = 0;
  while (const dirent *LEntry = ::readdir(LDir))
    LFound += std::binary_search(LWanted.begin(), LWanted.end(), std::string(LEntry->d_name));
  ::closedir(LDir);
  return LFound;
}

// The window's run: each step is started and the window is let run until the
// step has ended and its results are painted; a 10 ms timer on the GUI
// thread meanwhile records the longest gap between two of its ticks.
class TWindowRun {
public:
  TWindowRun(const QString &AFolder, long long ACount) : FFolder(AFolder), FCount(ACount) {
    FDetails = std::getenv("VARNWELL_SCALE_DETAILS") != nullptr;
    FPreviousMessage = SetMessageHook([this](const QString &AText, TMessageFormType) {
      FMessages.append(AText);
      if (FDetails)
        std::fprintf(stderr, "  message: %s\n", AText.toUtf8().constData());
    });
    FPreviousBrowse = SetBrowseFolderHook(
        [this](const QString &, const QString &) { return std::optional<QString>(FFolder); });
  }
  ~TWindowRun() {
    SetBrowseFolderHook(std::move(FPreviousBrowse));
    SetMessageHook(std::move(FPreviousMessage));
  }
  TWindowRun(const TWindowRun &) = delete;
  TWindowRun &operator=(const TWindowRun &) = delete;

  int Run() {
    TfmMain LMain;
    TFilePage &LPage = *LMain.FilePage;
    LMain.ShowPage(TMainPage::mpFileRename);
    LMain.show();
    while (LMain.windowHandle() == nullptr || !LMain.windowHandle()->isExposed())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    Settle(LPage);

    const double LAdd = Step("add", LPage, [&] { LPage.acAddFoldersFiles->trigger(); });
    if (LPage.GridModel->rowCount() != FCount) {
      Fail("window: the grid shows " + std::to_string(LPage.GridModel->rowCount()) + " of " +
           std::to_string(FCount) + " files");
      return KExitFailed;
    }
    const TFileList &LList = *LMain.FFileList;
    LPage.Edit_RenameMask->setText(QStringLiteral("[N]_[C]"));
    Step("mask", LPage, [&] { PressEnter(*LPage.Edit_RenameMask); });
    if (!LList.TargetName(0).startsWith(FileName(1, "_"))) {
      Fail("window: the mask gave " + LList.TargetName(0).toStdString());
      return KExitFailed;
    }
    // The list is in the order of "Old Name" after the Add: a press on that
    // header turns it round.
    QHeaderView &LHeader = *LPage.StringGrid_Rename->horizontalHeader();
    const int LSection = LPage.GridModel->ColumnOf(TFileGridModel::dcOldName);
    Step("sort", LPage, [&] { PressHeader(LHeader, LSection); });
    if (LList.OldName(0) != FileName(FCount)) {
      Fail("window: the sort put " + LList.OldName(0).toStdString() + " first");
      return KExitFailed;
    }
    if (!ReportedStep("rename", LMain, LPage, *LPage.acRename, rs::RenameDone))
      return KExitFailed;
    if (!ReportedStep("rollback", LMain, LPage, *LPage.acRollback, rs::RollbackDone))
      return KExitFailed;
    const double LGap = FLongestGapMs;

    // Checked after the figures: every file is back under its name.
    const long long LBack = CountNamed(FFolder, FCount, [](long long n) { return FileName(n); });
    if (LBack != FCount) {
      Fail("window: " + std::to_string(LBack) + " of " + std::to_string(FCount) +
           " files are back under their names");
      return KExitFailed;
    }
    std::printf("add %.3f s, longest gap %.0f ms\n", LAdd, LGap);
    return 0;
  }

private:
  // Lets the window handle what is pending: a step in the worker to its end,
  // layouts and the painting of what changed.
  static void Settle(const TFilePage &APage) {
    while (APage.StepRunning())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
  }

  // Runs AStart and settles; the step's wall time in seconds.
  double Step(const char *AName, TFilePage &APage, const std::function<void()> &AStart,
              const std::function<bool()> &AEnded = {}) {
    const bench::TGapMeter LMeter;
    QElapsedTimer LClock;
    LClock.start();
    AStart();
    if (AEnded)
      while (!AEnded() || APage.StepRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Settle(APage);
    const double LSeconds = static_cast<double>(LClock.nsecsElapsed()) / 1e9;
    const double LGap = LMeter.LongestMs();
    FLongestGapMs = std::max(FLongestGapMs, LGap);
    if (FDetails)
      std::fprintf(stderr, "  %-8s %8.3f s, longest gap %6.0f ms\n", AName, LSeconds, LGap);
    return LSeconds;
  }

  // A Rename or Rollback: runs until the page has reported, and checks that
  // the report is AExpected.
  bool ReportedStep(const char *AName, TfmMain &AMain, TFilePage &APage, TAction &AAction,
                    const QString &AExpected) {
    AMain.UpdateActions();
    if (!AAction.isEnabled()) {
      Fail(std::string("window: ") + AName + " is not enabled");
      return false;
    }
    const qsizetype LBefore = FMessages.size();
    Step(
        AName, APage, [&] { AAction.trigger(); }, [&] { return FMessages.size() > LBefore; });
    if (FMessages.last() != AExpected || APage.HasFailureMarks()) {
      Fail(std::string("window: ") + AName + " reported: " + FMessages.last().toStdString());
      return false;
    }
    return true;
  }

  QString FFolder;
  long long FCount = 0;
  bool FDetails = false;
  QStringList FMessages;
  double FLongestGapMs = 0;
  TMessageHook FPreviousMessage;
  TBrowseFolderHook FPreviousBrowse;
};

int Usage() {
  std::fputs("usage: varnwell_scale measure [--stdout FILE] [--rss-limit-mb N] -- COMMAND...\n"
             "       varnwell_scale window SETTINGS_DIR FOLDER COUNT\n"
             "       varnwell_scale start SETTINGS_DIR\n"
             "       varnwell_scale make-journal JOURNAL_DIR FOLDER COUNT BATCHES\n",
             stderr);
  return KExitUsage;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return Usage();
  const std::string LCommand = argv[1];
  if (LCommand == "measure")
    return Measure(argc - 2, argv + 2);
  long long LCount = 0;
  long long LBatches = 0;
  if (LCommand == "make-journal") {
    if (argc != 6 || !ParseCount(argv[4], LCount) || !ParseCount(argv[5], LBatches))
      return Usage();
    QCoreApplication LApp(argc, argv);
    return MakeJournal(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]), LCount, LBatches);
  }
  const bool LWindow = LCommand == "window" && argc == 5 && ParseCount(argv[4], LCount);
  const bool LStart = LCommand == "start" && argc == 3;
  if (!LWindow && !LStart)
    return Usage();
  // The window is measured on the offscreen platform, display or not.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int LArgc = 1;
  QApplication LApp(LArgc, argv);
  if (LStart)
    return Start(QFile::decodeName(argv[2]));
  SetUpApplication(QFile::decodeName(argv[2]));
  TWindowRun LRun(QFile::decodeName(argv[3]), LCount);
  return LRun.Run();
}
