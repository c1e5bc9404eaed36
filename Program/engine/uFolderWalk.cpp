#include "uFolderWalk.h"

#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "uNameEdits.h"

#include <algorithm>
#include <vector>

bool WalkNameLess(QStringView ALeft, QStringView ARight) {
  const int LResult = CompareTextAZ(ALeft, ARight);
  return LResult != 0 ? LResult < 0 : ALeft.compare(ARight) < 0;
}

void ScanSubFolders(
    const QString &AFolder,
    const std::function<void(const QString &APath, const TFolderEntry &AFileInfo)> &ACallback,
    const TProgress *AProgress, std::vector<TUnreadable> *AUnreadable) {
  TFolderEntry LEntry;
  int LFound = 0;
  platform::WalkSubFolders(
      AFolder,
      [&](const QString &APath, const QString &AName, const QDateTime &AModified) {
        if (AProgress != nullptr && AProgress->StopRequested())
          return false;
        LEntry.FName = AName;
        LEntry.FLastWrite = AModified;
        ACallback(APath, LEntry);
        if (AProgress != nullptr)
          AProgress->Report(++LFound, 0, platform::JoinPath(APath, AName));
        return true;
      },
      WalkNameLess,
      [AUnreadable](const QString &APath, const QString &AReason) {
        if (AUnreadable != nullptr)
          AUnreadable->push_back({APath, AReason});
      });
}

QStringList CollectFolderFiles(const QString &AFolder, const TProgress *AProgress,
                               std::vector<TUnreadable> *AUnreadable) {
  QStringList LFiles;
  // One frame per open folder: its entries, read in full and put in order
  // before any of them is visited (so only one listing is open at a time,
  // whatever the depth), and the next entry to visit.
  struct TFrame {
    QString FPath;
    std::vector<platform::TDirEntry> FEntries;
    size_t FNext = 0;
  };
  std::vector<TFrame> LStack;
  const auto LOpen = [&LStack, &LFiles, AProgress, AUnreadable](const QString &APath) {
    if (AProgress != nullptr)
      AProgress->Report(static_cast<int>(LFiles.size()), 0, APath);
    TFrame LFrame;
    LFrame.FPath = APath;
    QString LError;
    if (!platform::ListDirectory(
            APath,
            [&LFrame](const platform::TDirEntry &AEntry) {
              LFrame.FEntries.push_back(AEntry);
              return true;
            },
            &LError) &&
        AUnreadable != nullptr)
      AUnreadable->push_back({APath, LError});
    std::sort(LFrame.FEntries.begin(), LFrame.FEntries.end(),
              [](const platform::TDirEntry &ALeft, const platform::TDirEntry &ARight) {
                return WalkNameLess(ALeft.FName, ARight.FName);
              });
    LStack.push_back(std::move(LFrame));
  };
  LOpen(AFolder);
  while (!LStack.empty()) {
    if (AProgress != nullptr && AProgress->StopRequested())
      break;
    TFrame &LTop = LStack.back();
    if (LTop.FNext >= LTop.FEntries.size()) {
      LStack.pop_back();
      continue;
    }
    const platform::TDirEntry &LEntry = LTop.FEntries[LTop.FNext++];
    const QString LPath = platform::JoinPath(LTop.FPath, LEntry.FName);
    if (LEntry.FIsDirectory) {
      LOpen(LPath); // invalidates LTop
      continue;
    }
    // A link to a folder is skipped; a link to a file (or to nothing) is an
    // entry like any file.
    if (LEntry.FIsSymLink && platform::DirectoryExists(LPath))
      continue;
    LFiles.append(LPath);
  }
  return LFiles;
}
