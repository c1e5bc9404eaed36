// The planner on 100,000 files spread over 100 folders: the first plan, which
// reads every folder, against listing those folders and hashing their names;
// and a plan after a change of the mask, against hashing the new names.
#include "Bench.h"

#include "platform/uLosslessUtf8.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int KFolderCount = 100;
constexpr int KFilesPerFolder = 1000;
constexpr int KRounds = 5;

class TPlanTree {
public:
  TPlanTree() : FDir(QDir::tempPath() + QStringLiteral("/varnwell-bench-plan-XXXXXX")) {
    for (int LFolder = 0; LFolder < KFolderCount; ++LFolder) {
      const QString LPath =
          FDir.path() + QStringLiteral("/Album %1").arg(LFolder, 3, 10, QLatin1Char('0'));
      QDir().mkpath(LPath);
      FFolders.push_back(LPath);
      for (int LFile = 0; LFile < KFilesPerFolder; ++LFile) {
        const QString LFilePath =
            LPath + QStringLiteral("/IMG_%1.JPG").arg(LFile, 5, 10, QLatin1Char('0'));
        const int LFd = ::open(QFile::encodeName(LFilePath).constData(), O_CREAT | O_WRONLY, 0644);
        if (LFd >= 0)
          ::close(LFd);
        FPaths.push_back(LFilePath);
      }
    }
  }
  const std::vector<QString> &Paths() const { return FPaths; }
  const std::vector<QString> &Folders() const { return FFolders; }

private:
  QTemporaryDir FDir;
  std::vector<QString> FFolders;
  std::vector<QString> FPaths;
};

TPlanTree &Tree() {
  static TPlanTree LTree;
  return LTree;
}

std::unique_ptr<TFileList> MakeList() {
  auto LList = std::make_unique<TFileList>();
  for (const QString &LPath : Tree().Paths())
    LList->AddFileInfo(std::make_unique<TFileInfo>(LPath));
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[N]_[C]");
  LRecipe.FCounterDigits = 6;
  LList->ApplyRecipe(LRecipe, 0);
  return LList;
}

size_t GSink = 0;

} // namespace

VARNWELL_BENCH("plan-files") {
  auto LList = MakeList();
  // The baseline reads each folder once and hashes its names as the planner
  // holds them: decoded strings.
  const auto LBaseline = [] {
    for (const QString &LFolder : Tree().Folders()) {
      DIR *LDir = ::opendir(QFile::encodeName(LFolder).constData());
      if (!LDir)
        continue;
      while (const dirent *LEntry = ::readdir(LDir))
        GSink += qHash(platform::DecodeUtf8Lossless(LEntry->d_name, qstrlen(LEntry->d_name)));
      ::closedir(LDir);
    }
  };
  double LEngineSeconds = 1e30;
  double LBaselineSeconds = 1e30;
  for (int i = 0; i < KRounds; ++i) {
    LBaselineSeconds = std::min(LBaselineSeconds, bench::TimeSeconds(LBaseline));
    // The first plan of a new list: the planner knows no folder yet.
    LList = MakeList();
    LEngineSeconds = std::min(LEngineSeconds, bench::TimeSeconds([&] {
                                GSink += static_cast<size_t>(LList->PlanRenaming().FConflicts);
                              }));
  }
  bench::PrintRatio("plan-files", LEngineSeconds, LBaselineSeconds);
}

VARNWELL_BENCH("plan-recheck") {
  auto LList = MakeList();
  LList->PlanRenaming();
  // After a change of the mask the planner hashes the new names again; the
  // baseline hashes those names alone, each as the text the grid shows.
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("Trip_[N]");
  LList->ApplyRecipe(LRecipe, 0);
  const auto LBaseline = [&] {
    for (int i = 0; i < LList->Count(); ++i)
      GSink += qHash(LList->Items(i)->NewFullName());
  };
  const auto LEngine = [&] {
    GSink += static_cast<size_t>(LList->PlanRenaming().FConflicts);
  };
  double LEngineSeconds = 1e30;
  double LBaselineSeconds = 1e30;
  for (int i = 0; i < KRounds; ++i) {
    LBaselineSeconds = std::min(LBaselineSeconds, bench::TimeSeconds(LBaseline));
    LEngineSeconds = std::min(LEngineSeconds, bench::TimeSeconds(LEngine));
  }
  bench::PrintRatio("plan-recheck", LEngineSeconds, LBaselineSeconds);
  if (GSink == 42)
    std::printf(" \n");
}
