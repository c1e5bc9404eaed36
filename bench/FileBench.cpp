// The file engine on 100,000 files in one folder: creating the items,
// applying masks, renaming and rolling back, and the memory one item costs.
#include "Bench.h"

#include "uFileInfo.h"
#include "uNameEdits.h"
#include "uNameRecipe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

constexpr int KFileCount = 100000;
constexpr int KRepeats = 5;

// One folder with the files IMG_000000.JPG ... , made once for every file
// scenario and removed when the program ends.
class TFileTree {
public:
  TFileTree() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-bench-files-XXXXXX")) {
    FPaths.reserve(KFileCount);
    FBytePaths.reserve(KFileCount);
    for (int i = 0; i < KFileCount; ++i) {
      char LName[32];
      std::snprintf(LName, sizeof LName, "/IMG_%06d.JPG", i);
      const QString LPath = FDir.path() + QString::fromLatin1(LName);
      const std::string LBytes = QFile::encodeName(LPath).toStdString();
      const int LFd = ::open(LBytes.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0644);
      if (LFd >= 0)
        ::close(LFd);
      FPaths.push_back(LPath);
      FBytePaths.push_back(LBytes);
    }
  }
  const std::vector<QString> &Paths() const { return FPaths; }
  const std::vector<std::string> &BytePaths() const { return FBytePaths; }
  QString Root() const { return FDir.path(); }

private:
  QTemporaryDir FDir;
  std::vector<QString> FPaths;
  std::vector<std::string> FBytePaths;
};

TFileTree &Tree() {
  static TFileTree LTree;
  return LTree;
}

// A deep copy, so that an item owns its own path text as it would when the
// path comes from a dialog.
QString Detached(const QString &AText) {
  return QString(AText.constData(), AText.size());
}

// The list as the file page builds it from the paths of a dialog. With
// ADetached each item gets a copy of its path that it alone holds.
std::unique_ptr<TFileList> MakeList(bool ADetached = false) {
  auto LList = std::make_unique<TFileList>();
  for (const QString &LPath : Tree().Paths())
    if (LList->CheckInList(LPath))
      LList->AddFileInfo(std::make_unique<TFileInfo>(ADetached ? Detached(LPath) : LPath));
  return LList;
}

// The best of KRepeats rounds for each, engine and baseline taking turns, so
// that both meet the same load of the machine.
std::pair<double, double> BestOfRounds(const std::function<void()> &AEngine,
                                       const std::function<void()> &ABaseline) {
  double LEngine = 1e30;
  double LBaseline = 1e30;
  for (int i = 0; i < KRepeats; ++i) {
    LBaseline = std::min(LBaseline, bench::TimeSeconds(ABaseline));
    LEngine = std::min(LEngine, bench::TimeSeconds(AEngine));
  }
  return {LEngine, LBaseline};
}

int RawRename(const std::string &ASource, const std::string &ATarget) {
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, ASource.c_str(), AT_FDCWD,
                                    ATarget.c_str(), RENAME_NOREPLACE));
}

} // namespace

// Registered first, so that it measures a heap that earlier scenarios have
// not left with free space to reuse.
VARNWELL_BENCH("file-memory") {
  Tree();
  ::malloc_trim(0);
  const long long LBefore = bench::ResidentBytes();
  auto LList = MakeList(true);
  LList->SetFileNameMask(QStringLiteral("[N]_[C]"), 0);
  LList->SetFileExtMask(QStringLiteral("[E]"), 0);
  const long long LAfter = bench::ResidentBytes();
  char LText[96];
  std::snprintf(LText, sizeof LText, "%.0f bytes per item over %d items",
                static_cast<double>(LAfter - LBefore) / LList->Count(), LList->Count());
  bench::PrintFigure("file-memory", LText);
}

VARNWELL_BENCH("file-create") {
  const auto &LBytes = Tree().BytePaths();
  long long LSink = 0;
  const auto LBaseline = [&] {
    for (const std::string &LPath : LBytes) {
      struct stat LStat;
      if (::stat(LPath.c_str(), &LStat) == 0)
        LSink += LStat.st_size;
    }
  };
  LBaseline(); // warm the caches for both
  // Only the creation is timed, not the destruction of the list.
  double LEngineSeconds = 1e30;
  double LBaselineSeconds = 1e30;
  for (int i = 0; i < KRepeats; ++i) {
    LBaselineSeconds = std::min(LBaselineSeconds, bench::TimeSeconds(LBaseline));
    std::unique_ptr<TFileList> LList;
    LEngineSeconds = std::min(LEngineSeconds, bench::TimeSeconds([&] { LList = MakeList(); }));
  }
  bench::PrintRatio("file-create", LEngineSeconds, LBaselineSeconds);
  if (LSink < 0)
    std::printf("%lld\n", LSink);
}

// Sorting by a value that is no name (the modification time): the engine's
// sort of its items against a stable sort of the same values held ready.
VARNWELL_BENCH("file-sort-modified") {
  auto LList = MakeList();
  std::vector<std::pair<int64_t, const TFileInfo *>> LKeyed;
  for (int i = 0; i < LList->Count(); ++i)
    LKeyed.emplace_back(LList->Items(i)->ModifiedNs(), LList->Items(i));
  bool LDown = false;
  const auto [LEngineSeconds, LBaselineSeconds] = BestOfRounds(
      [&] {
        LList->Sort(TSortKey::Modified, LDown);
        LDown = !LDown;
      },
      [&] {
        std::vector<std::pair<int64_t, const TFileInfo *>> LCopy = LKeyed;
        std::stable_sort(LCopy.begin(), LCopy.end(), [](const auto &ALeft, const auto &ARight) {
          return ALeft.first > ARight.first;
        });
        LKeyed.swap(LCopy);
      });
  bench::PrintRatio("file-sort-modified", LEngineSeconds, LBaselineSeconds);
}

VARNWELL_BENCH("file-masks") {
  auto LList = MakeList();
  // The baseline builds the same names from the parts it holds ready.
  std::vector<QString> LBases;
  std::vector<QString> LExts;
  for (int i = 0; i < LList->Count(); ++i) {
    LBases.push_back(LList->Items(i)->DelFileExt());
    LExts.push_back(LList->Items(i)->FileType());
  }
  std::vector<QString> LNames(LBases.size());
  std::vector<QString> LNewExts(LBases.size());
  const auto LBaseline = [&] {
    for (size_t i = 0; i < LBases.size(); ++i) {
      LNames[i] = LBases[i] + QLatin1Char('_') + QString::number(static_cast<int>(i) + 1);
      LNewExts[i] = QLatin1Char('.') + LExts[i];
    }
  };
  const auto [LEngineSeconds, LBaselineSeconds] = BestOfRounds(
      [&] {
        LList->SetFileNameMask(QStringLiteral("[N]_[C]"), 0);
        LList->SetFileExtMask(QStringLiteral("[E]"), 0);
      },
      LBaseline);
  if (LList->Items(7)->NewFullName() != LNames[7] + LNewExts[7])
    std::printf("file-masks: the engine and the baseline disagree\n");
  bench::PrintRatio("file-masks", LEngineSeconds, LBaselineSeconds);
}

namespace {

// Renames and rolls back with the engine and with a plain loop over the same
// pairs, KRepeats times each, and prints both scenarios.
void RenameAndRollback() {
  auto LList = MakeList();
  LList->SetFileNameMask(QStringLiteral("[N]_[C]"), 0);
  LList->SetFileExtMask(QStringLiteral("[E]"), 0);
  std::vector<std::string> LOld;
  std::vector<std::string> LNew;
  for (int i = 0; i < LList->Count(); ++i) {
    const TFileInfo &LItem = *LList->Items(i);
    LOld.push_back(QFile::encodeName(LItem.FullFileName()).toStdString());
    LNew.push_back(
        QFile::encodeName(LItem.Location() + QLatin1Char('/') + LItem.TargetName()).toStdString());
  }

  double LEngineRename = 1e30, LEngineRollback = 1e30;
  double LRawRename = 1e30, LRawRollback = 1e30;
  int LFailures = 0;
  for (int LRound = 0; LRound < KRepeats; ++LRound) {
    LRawRename = std::min(LRawRename, bench::TimeSeconds([&] {
                            for (size_t i = 0; i < LOld.size(); ++i)
                              LFailures += RawRename(LOld[i], LNew[i]) != 0;
                          }));
    LRawRollback = std::min(LRawRollback, bench::TimeSeconds([&] {
                              for (size_t i = LOld.size(); i-- > 0;)
                                LFailures += RawRename(LNew[i], LOld[i]) != 0;
                            }));
    LEngineRename =
        std::min(LEngineRename, bench::TimeSeconds([&] { LFailures += LList->ExecuteRenaming(); }));
    LEngineRollback = std::min(LEngineRollback,
                               bench::TimeSeconds([&] { LFailures += LList->ExecuteRollback(); }));
  }
  if (LFailures != 0)
    std::printf("file-rename: %d moves failed\n", LFailures);
  bench::PrintRatio("file-rename", LEngineRename, LRawRename);
  bench::PrintRatio("file-rollback", LEngineRollback, LRawRollback);
}

} // namespace

// file-rename and file-rollback come from one series of round trips over the
// same folder: whichever is asked for first prints both.
namespace {
void RenameAndRollbackOnce() {
  static bool LDone = false;
  if (!LDone)
    RenameAndRollback();
  LDone = true;
}
} // namespace

VARNWELL_BENCH("file-rename") {
  RenameAndRollbackOnce();
}
VARNWELL_BENCH("file-rollback") {
  RenameAndRollbackOnce();
}

// A whole recipe on 100,000 files: both masks with the old name and the
// counter, search and replace and a case rule, against a plain loop that
// builds the same names with the same text operations.
VARNWELL_BENCH("recipe-apply") {
  auto LList = MakeList();
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[N]_[C]");
  LRecipe.FExtMask = QStringLiteral("[E]");
  LRecipe.FCounterDigits = 6;
  LRecipe.FSearch = QStringLiteral("img");
  LRecipe.FReplace = QStringLiteral("photo of");
  LRecipe.FCase = TCaseRule::Words;
  std::vector<QString> LBases;
  std::vector<QString> LExts;
  for (int i = 0; i < LList->Count(); ++i) {
    LBases.push_back(LList->Items(i)->DelFileExt());
    LExts.push_back(LList->Items(i)->FileType());
  }
  std::vector<QString> LNames(LBases.size());
  const auto LBaseline = [&] {
    for (size_t i = 0; i < LBases.size(); ++i) {
      const QString LFull = LBases[i] + QLatin1Char('_') +
                            nameedits::CounterText(static_cast<int>(i) + 1, 6) + QLatin1Char('.') +
                            LExts[i];
      const QString LReplaced = nameedits::SearchReplace(LFull, LRecipe.FSearch, LRecipe.FReplace);
      const qsizetype LDot = LReplaced.lastIndexOf(QLatin1Char('.'));
      LNames[i] = nameedits::AllFirstUp(LReplaced.left(LDot)) + LReplaced.mid(LDot);
    }
  };
  const auto [LEngineSeconds, LBaselineSeconds] =
      BestOfRounds([&] { LList->ApplyRecipe(LRecipe, 0); }, LBaseline);
  if (LList->Items(7)->NewFullName() != LNames[7])
    std::printf("recipe-apply: the engine and the baseline disagree: %s / %s\n",
                qPrintable(LList->Items(7)->NewFullName()), qPrintable(LNames[7]));
  bench::PrintRatio("recipe-apply", LEngineSeconds, LBaselineSeconds);
}
