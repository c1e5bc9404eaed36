#include "uFolderWalk.h"

#include "platform/uLosslessUtf8.h"
#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "uNameEdits.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
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

namespace {

// One folder of a walk of files: its entries' names, read in full and put in
// order before any of them is visited (so only one folder is open at a time,
// whatever the depth), and the next entry.
struct TWalkFrame {
  QString FPath;
  std::u16string FNames; // every name, one after another
  struct TEntry {
    // The first eight units of the name with a-z as A-Z, 0 after its end:
    // two entries whose keys differ are in the order of their keys, as
    // CompareTextAZ orders them, without a look at their names.
    uint64_t FKey[2] = {0, 0};
    uint32_t FStart = 0;
    uint32_t FLength = 0;
    platform::TListedKind FKind = platform::TListedKind::Other;
    bool FIsFile = false; // a file of the walk: no folder, no link to one
  };
  std::vector<TEntry> FEntries;
  size_t FNext = 0;
  QStringView Name(const TEntry &AEntry) const {
    return QStringView(FNames.data() + AEntry.FStart, static_cast<qsizetype>(AEntry.FLength));
  }
};

// Reads the folder AFrame.FPath (AFollowLink: it may be reached through a
// link): its names in walk order, the kinds the listing leaves open, and
// which links lead to folders (they are no files of the walk). False, with
// AReason, when it cannot be opened.
bool ReadWalkFrame(TWalkFrame &AFrame, bool AFollowLink, QString &AReason) {
  QByteArray LBytes;
  if (!platform::EncodeNativePath(AFrame.FPath, LBytes)) {
    AReason = QString::fromLocal8Bit(std::strerror(EINVAL));
    return false;
  }
  platform::TOpenFolder LFolder(LBytes, AFollowLink);
  if (!LFolder.IsOpen()) {
    AReason = LFolder.ErrorText();
    return false;
  }
  // Room for the entries and their names at once: a folder of a million
  // files would otherwise be copied as it grows.
  const size_t LHint = LFolder.EntriesHint();
  AFrame.FEntries.reserve(LHint);
  AFrame.FNames.reserve(LHint * 12);
  // The few entries whose kind takes a read of their own: those the listing
  // leaves open, and links (which may lead to folders).
  std::vector<size_t> LToRead;
  LFolder.ReadEntries([&](const char *AName, qsizetype ALength, platform::TListedKind AKind) {
    TWalkFrame::TEntry LEntry;
    LEntry.FStart = static_cast<uint32_t>(AFrame.FNames.size());
    LEntry.FKind = AKind;
    LEntry.FIsFile = AKind != platform::TListedKind::Folder;
    // Plain ASCII, the common case, widens as it stands.
    qsizetype LAscii = 0;
    while (LAscii < ALength && static_cast<unsigned char>(AName[LAscii]) < 0x80)
      ++LAscii;
    if (LAscii == ALength) {
      AFrame.FNames.append(AName, AName + ALength);
    } else {
      const QString LName = platform::DecodeUtf8Lossless(AName, ALength);
      AFrame.FNames.append(reinterpret_cast<const char16_t *>(LName.constData()),
                           static_cast<size_t>(LName.size()));
    }
    LEntry.FLength = static_cast<uint32_t>(AFrame.FNames.size() - LEntry.FStart);
    if (AKind == platform::TListedKind::Unknown || AKind == platform::TListedKind::Link)
      LToRead.push_back(AFrame.FEntries.size());
    AFrame.FEntries.push_back(LEntry);
  });
  QByteArray LName;
  for (const size_t LIndex : LToRead) {
    TWalkFrame::TEntry &LEntry = AFrame.FEntries[LIndex];
    if (!platform::EncodeNativePath(AFrame.Name(LEntry).toString(), LName))
      continue;
    if (LEntry.FKind == platform::TListedKind::Unknown) {
      // The file system did not say: one read of the entry itself tells.
      const platform::TEntryFacts LFacts = LFolder.FactsOf(LName.constData());
      LEntry.FKind = !LFacts.FExists    ? platform::TListedKind::Other
                     : LFacts.FIsFolder ? platform::TListedKind::Folder
                     : LFacts.FIsLink   ? platform::TListedKind::Link
                                        : platform::TListedKind::Other;
    }
    // A link to a folder is no file of the walk and is not entered; a link
    // to a file (or to nothing) is an entry like any file.
    LEntry.FIsFile =
        LEntry.FKind != platform::TListedKind::Folder &&
        !(LEntry.FKind == platform::TListedKind::Link && LFolder.LeadsToFolder(LName.constData()));
  }
  // The walk takes each folder's entries A-Z.
  for (TWalkFrame::TEntry &LEntry : AFrame.FEntries) {
    const char16_t *LUnits = AFrame.FNames.data() + LEntry.FStart;
    for (uint32_t i = 0; i < 8 && i < LEntry.FLength; ++i) {
      char16_t LUnit = LUnits[i];
      if (LUnit >= u'a' && LUnit <= u'z')
        LUnit = static_cast<char16_t>(LUnit - (u'a' - u'A'));
      LEntry.FKey[i / 4] |= static_cast<uint64_t>(LUnit) << (16 * (3 - i % 4));
    }
  }
  std::sort(AFrame.FEntries.begin(), AFrame.FEntries.end(),
            [&AFrame](const TWalkFrame::TEntry &ALeft, const TWalkFrame::TEntry &ARight) {
              if (ALeft.FKey[0] != ARight.FKey[0])
                return ALeft.FKey[0] < ARight.FKey[0];
              if (ALeft.FKey[1] != ARight.FKey[1])
                return ALeft.FKey[1] < ARight.FKey[1];
              return WalkNameLess(AFrame.Name(ALeft), AFrame.Name(ARight));
            });
  return true;
}

} // namespace

void WalkFolderFiles(const QString &AFolder,
                     const std::function<void(const TWalkedFile &AFile)> &AFile,
                     const TProgress *AProgress, std::vector<TUnreadable> *AUnreadable) {
  std::vector<TWalkFrame> LStack;
  int LFound = 0;
  const auto LOpen = [&LStack, &LFound, AProgress, AUnreadable](const QString &APath, bool AFirst) {
    if (AProgress != nullptr)
      AProgress->Report(LFound, 0, APath);
    TWalkFrame LFrame;
    LFrame.FPath = APath;
    QString LReason;
    // The chosen folder itself may be reached through a link; below it only
    // real folders are entered.
    if (!ReadWalkFrame(LFrame, AFirst, LReason) && AUnreadable != nullptr)
      AUnreadable->push_back({APath, LReason});
    LStack.push_back(std::move(LFrame));
  };
  LOpen(AFolder, true);
  TWalkedFile LFile;
  while (!LStack.empty()) {
    if (AProgress != nullptr && AProgress->StopRequested())
      break;
    TWalkFrame &LTop = LStack.back();
    if (LTop.FNext >= LTop.FEntries.size()) {
      LStack.pop_back();
      continue;
    }
    const TWalkFrame::TEntry &LEntry = LTop.FEntries[LTop.FNext++];
    LFile.FFolder = &LTop.FPath;
    LFile.FFolderEntries = LTop.FEntries.size();
    LFile.FName = LTop.Name(LEntry);
    LFile.FIsFile = LEntry.FIsFile;
    if (LFile.FIsFile)
      ++LFound;
    AFile(LFile);
    if (LEntry.FKind == platform::TListedKind::Folder)
      LOpen(platform::JoinPath(LTop.FPath, LTop.Name(LEntry).toString()),
            false); // invalidates LTop
  }
}

QStringList CollectFolderFiles(const QString &AFolder, const TProgress *AProgress,
                               std::vector<TUnreadable> *AUnreadable) {
  QStringList LFiles;
  WalkFolderFiles(
      AFolder,
      [&LFiles](const TWalkedFile &AFile) {
        if (AFile.FIsFile)
          LFiles.append(platform::JoinPath(*AFile.FFolder, AFile.FName.toString()));
      },
      AProgress, AUnreadable);
  return LFiles;
}
