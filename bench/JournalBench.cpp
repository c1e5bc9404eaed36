// The rename journal on 100,000 files in one folder: a Rename with the
// journal against the plain loop of no-replace renames moving the same
// files; and rolling back, from its journal, a batch that a crash cut off
// half way, against the plain loop moving that half back.
#include "Bench.h"

#include "uFileInfo.h"
#include "uJournal.h"
#include "uJournalRollback.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

constexpr int KCount = 100000;
constexpr int KRounds = 3;

class TJournalTree {
public:
  TJournalTree()
      : FDir(QDir::tempPath() + QStringLiteral("/varnwell-bench-journal-XXXXXX")),
        FState(QDir::tempPath() + QStringLiteral("/varnwell-bench-state-XXXXXX")) {
    FJournal.SetFolder(FState.path() + QStringLiteral("/journal"));
    for (int i = 0; i < KCount; ++i) {
      char LName[32];
      std::snprintf(LName, sizeof LName, "/IMG_%06d.JPG", i);
      const QString LPath = FDir.path() + QString::fromLatin1(LName);
      const QByteArray LBytes = QFile::encodeName(LPath);
      const int LFd = ::open(LBytes.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
      if (LFd >= 0)
        ::close(LFd);
      FPaths.push_back(LPath);
    }
  }
  std::unique_ptr<TFileList> MakeList() {
    auto LList = std::make_unique<TFileList>();
    for (const QString &LPath : FPaths)
      LList->AddFileInfo(std::make_unique<TFileInfo>(LPath));
    TNameRecipe LRecipe;
    LRecipe.FNameMask = QStringLiteral("[N]_[C]");
    LList->ApplyRecipe(LRecipe, 0);
    LList->SetJournal(&FJournal);
    return LList;
  }
  // The pairs (old, new) of the list's moves, as the system's bytes.
  static void Pairs(const TFileList &AList, std::vector<std::string> &AOld,
                    std::vector<std::string> &ANew) {
    AOld.clear();
    ANew.clear();
    for (int i = 0; i < AList.Count(); ++i) {
      const TFileInfo &LItem = *AList.Items(i);
      AOld.push_back(QFile::encodeName(LItem.FullFileName()).toStdString());
      ANew.push_back(QFile::encodeName(LItem.PathInFolder(LItem.TargetName())).toStdString());
    }
  }
  TJournal FJournal;

private:
  QTemporaryDir FDir;
  QTemporaryDir FState;
  std::vector<QString> FPaths;
};

int RawRename(const std::string &ASource, const std::string &ATarget) {
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, ASource.c_str(), AT_FDCWD,
                                    ATarget.c_str(), RENAME_NOREPLACE));
}

} // namespace

VARNWELL_BENCH("file-rename-journal") {
  TJournalTree LTree;
  std::vector<std::string> LOld;
  std::vector<std::string> LNew;
  double LEngine = 1e30;
  double LBaseline = 1e30;
  int LFailures = 0;
  for (int LRound = 0; LRound < KRounds; ++LRound) {
    auto LList = LTree.MakeList();
    TJournalTree::Pairs(*LList, LOld, LNew);
    LBaseline = std::min(LBaseline, bench::TimeSeconds([&] {
                           for (size_t i = 0; i < LOld.size(); ++i)
                             LFailures += RawRename(LOld[i], LNew[i]) != 0;
                         }));
    for (size_t i = 0; i < LOld.size(); ++i)
      LFailures += RawRename(LNew[i], LOld[i]) != 0;
    // The list's first plan reads the folder: part of a Rename from a new list.
    LEngine = std::min(LEngine, bench::TimeSeconds([&] { LFailures += LList->ExecuteRenaming(); }));
    LList->SetJournal(nullptr);
    LFailures += LList->ExecuteRollback();
  }
  if (LFailures != 0)
    std::printf("file-rename-journal: %d moves failed\n", LFailures);
  bench::PrintRatio("file-rename-journal", LEngine, LBaseline);
}

VARNWELL_BENCH("journal-recover") {
  TJournalTree LTree;
  std::vector<std::string> LOld;
  std::vector<std::string> LNew;
  double LEngine = 1e30;
  double LBaseline = 1e30;
  int LFailures = 0;
  for (int LRound = 0; LRound < KRounds; ++LRound) {
    // A child renames and is killed half way.
    const pid_t LChild = ::fork();
    if (LChild == 0) {
      plandetail::SetAfterMoveHook([](int AStep) {
        if (AStep == KCount / 2)
          ::raise(SIGKILL);
      });
      LTree.MakeList()->ExecuteRenaming();
      ::_exit(0);
    }
    int LStatus = 0;
    ::waitpid(LChild, &LStatus, 0);
    const std::vector<TJournalBatch> LHistory = LTree.FJournal.History();
    if (LHistory.empty() || LHistory.front().State() != TBatchState::Interrupted) {
      std::printf("journal-recover: no interrupted batch\n");
      return;
    }
    LEngine = std::min(LEngine, bench::TimeSeconds([&] {
                         LFailures += RollbackBatch(LTree.FJournal, LHistory.front().FId).FFailed;
                       }));
    // The same half moved again, and back by the plain loop.
    auto LList = LTree.MakeList();
    TJournalTree::Pairs(*LList, LOld, LNew);
    const size_t LHalf = KCount / 2 + 1;
    for (size_t i = 0; i < LHalf; ++i)
      LFailures += RawRename(LOld[i], LNew[i]) != 0;
    LBaseline = std::min(LBaseline, bench::TimeSeconds([&] {
                           for (size_t i = LHalf; i-- > 0;)
                             LFailures += RawRename(LNew[i], LOld[i]) != 0;
                         }));
  }
  if (LFailures != 0)
    std::printf("journal-recover: %d moves failed\n", LFailures);
  bench::PrintRatio("journal-recover", LEngine, LBaseline);
}
