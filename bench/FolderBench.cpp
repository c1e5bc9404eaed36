// Folder engine scenarios: collecting a large tree, and renaming and rolling
// back a deep one, each against the plain system calls doing the same work.
#include "Bench.h"

#include "uFolderInfo.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Rounds = 3;

// Makes a tree below ARoot whose level i (from 1) has ABranching[i - 1]
// subfolders in every folder of level i - 1; returns the number of folders.
int MakeTree(const std::string &ARoot, const std::vector<int> &ABranching, size_t ALevel = 0) {
  if (ALevel == ABranching.size())
    return 0;
  int LCount = 0;
  for (int i = 0; i < ABranching[ALevel]; ++i) {
    const std::string LPath = ARoot + "/folder " + std::to_string(i);
    if (mkdir(LPath.c_str(), 0755) != 0)
      std::perror(LPath.c_str());
    LCount += 1 + MakeTree(LPath, ABranching, ALevel + 1);
  }
  // A file in every folder, which a walk has to read past.
  const std::string LFile = ARoot + "/notes.txt";
  if (FILE *LHandle = std::fopen(LFile.c_str(), "w"))
    std::fclose(LHandle);
  return LCount;
}

// The baseline walk: readdir with the type from the listing, no links, no
// hidden names, the path of every folder built as it is met.
int PlainWalk(const std::string &AFolder) {
  DIR *LDir = opendir(AFolder.c_str());
  if (LDir == nullptr)
    return 0;
  int LCount = 0;
  while (const dirent *LEntry = readdir(LDir)) {
    if (LEntry->d_name[0] == '.' || LEntry->d_type != DT_DIR)
      continue;
    ++LCount;
    LCount += PlainWalk(AFolder + '/' + LEntry->d_name);
  }
  closedir(LDir);
  return LCount;
}

double Best(const std::vector<double> &ATimes) {
  return *std::min_element(ATimes.begin(), ATimes.end());
}

} // namespace

VARNWELL_BENCH("folder-collect") {
  QTemporaryDir LDir(QDir::tempPath() + u"/varnwell-bench-XXXXXX"_s);
  const std::string LRoot = QFile::encodeName(LDir.path()).toStdString();
  // 20 + 400 + 19,600 = 20,020 folders.
  const int LFolders = MakeTree(LRoot, {20, 20, 49});
  std::vector<double> LEngine;
  std::vector<double> LBaseline;
  for (int LRound = 0; LRound < Rounds; ++LRound) {
    int LBaselineCount = 0;
    LBaseline.push_back(bench::TimeSeconds([&] { LBaselineCount = PlainWalk(LRoot); }));
    TFolderList LList;
    LEngine.push_back(bench::TimeSeconds([&] {
      ScanSubFolders(LDir.path(), [&LList](const QString &APath, const TFolderEntry &AFileInfo) {
        LList.AddFolderInfoIfNeed(APath, AFileInfo);
      });
    }));
    if (LList.Count() != LFolders || LBaselineCount != LFolders)
      std::fprintf(stderr, "folder-collect: %d folders made, engine %d, baseline %d\n", LFolders,
                   LList.Count(), LBaselineCount);
  }
  bench::PrintRatio("folder-collect", Best(LEngine), Best(LBaseline));
}

namespace {

struct TMoves {
  std::vector<std::pair<std::string, std::string>> FRename;
  std::vector<std::pair<std::string, std::string>> FRollback;
};

// The moves the list makes, deepest first: a folder is renamed while its
// parents still carry their old names, and moved back while they still
// carry their new ones.
TMoves PlanMoves(const TFolderList &AList) {
  QHash<QString, QString> LNewFullName; // old full name -> full name after the rename
  std::vector<const TFolderInfo *> LItems;
  for (int i = 0; i < AList.Count(); ++i)
    LItems.push_back(AList[i]);
  // Deepest first, folders of one level in list order, as the list renames them.
  std::stable_sort(LItems.begin(), LItems.end(), [](const auto *ALeft, const auto *ARight) {
    return ALeft->Level() > ARight->Level();
  });
  for (auto LIt = LItems.rbegin(); LIt != LItems.rend(); ++LIt) { // parents first
    const TFolderInfo &LItem = **LIt;
    const QString LParent = LNewFullName.value(LItem.Location(), LItem.Location());
    LNewFullName.insert(LItem.FullFolderName(), LParent + u'/' + LItem.NewName());
  }
  const auto LBytes = [](const QString &APath) {
    return QFile::encodeName(APath).toStdString();
  };
  TMoves LMoves;
  for (const TFolderInfo *LItem : LItems) {
    const QString LNewParent = LNewFullName.value(LItem->Location(), LItem->Location());
    LMoves.FRename.emplace_back(LBytes(LItem->FullFolderName()),
                                LBytes(LItem->Location() + u'/' + LItem->NewName()));
    LMoves.FRollback.emplace_back(LBytes(LNewParent + u'/' + LItem->NewName()),
                                  LBytes(LNewParent + u'/' + LItem->OldName()));
  }
  return LMoves;
}

int PlainMoves(const std::vector<std::pair<std::string, std::string>> &AMoves) {
  int LFailures = 0;
  for (const auto &LMove : AMoves)
    if (renameat2(AT_FDCWD, LMove.first.c_str(), AT_FDCWD, LMove.second.c_str(),
                  RENAME_NOREPLACE) != 0)
      ++LFailures;
  return LFailures;
}

struct TRenameFigures {
  double FEngineRename = std::numeric_limits<double>::max();
  double FEngineRollback = std::numeric_limits<double>::max();
  double FBaselineRename = std::numeric_limits<double>::max();
  double FBaselineRollback = std::numeric_limits<double>::max();
};

// Both rename scenarios share one run: every round renames and rolls back
// with the engine, then with the plain loop, on the same tree.
const TRenameFigures &RenameFigures() {
  static const TRenameFigures LFigures = [] {
    TRenameFigures LResult;
    QTemporaryDir LDir(QDir::tempPath() + u"/varnwell-bench-XXXXXX"_s);
    const std::string LRoot = QFile::encodeName(LDir.path()).toStdString();
    // 5 + 25 + 125 + 625 + 9,375 = 10,155 folders, five levels deep.
    const int LFolders = MakeTree(LRoot, {5, 5, 5, 5, 15});
    TFolderList LList;
    ScanSubFolders(LDir.path(), [&LList](const QString &APath, const TFolderEntry &AFileInfo) {
      LList.AddFolderInfoIfNeed(APath, AFileInfo);
    });
    LList.SetFolderNameMask(u"[N]_[C]"_s, 0);
    const TMoves LMoves = PlanMoves(LList);
    for (int LRound = 0; LRound < Rounds; ++LRound) {
      int LFailures = 0;
      LResult.FEngineRename = std::min(
          LResult.FEngineRename, bench::TimeSeconds([&] { LFailures += LList.ExecuteRenaming(); }));
      LResult.FEngineRollback =
          std::min(LResult.FEngineRollback,
                   bench::TimeSeconds([&] { LFailures += LList.ExecuteRollback(); }));
      LResult.FBaselineRename =
          std::min(LResult.FBaselineRename,
                   bench::TimeSeconds([&] { LFailures += PlainMoves(LMoves.FRename); }));
      LResult.FBaselineRollback =
          std::min(LResult.FBaselineRollback,
                   bench::TimeSeconds([&] { LFailures += PlainMoves(LMoves.FRollback); }));
      if (LFailures != 0 || LList.Count() != LFolders)
        std::fprintf(stderr, "folder-rename: %d folders, %d listed, %d failed moves\n", LFolders,
                     LList.Count(), LFailures);
    }
    return LResult;
  }();
  return LFigures;
}

} // namespace

VARNWELL_BENCH("folder-rename") {
  bench::PrintRatio("folder-rename", RenameFigures().FEngineRename,
                    RenameFigures().FBaselineRename);
}

VARNWELL_BENCH("folder-rollback") {
  bench::PrintRatio("folder-rollback", RenameFigures().FEngineRollback,
                    RenameFigures().FBaselineRollback);
}
