#include "uRenamePlan.h"

#include "platform/uPathRules.h"
#include "platform/uPlatformFs.h"
#include "uResourceString.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <numeric>

// ---------------------------------------------------------------------------
// Names as keys.
//
// A name is looked up by a 64-bit hash of its code units (folded to one
// letter case where the folder ignores case), mixed with the folder's number.
// Two different names of one folder sharing a key is as likely as 1 in 2^64
// per pair: the planner takes equal keys for equal names. Even then nothing
// is lost, since no move ever replaces an entry.

bool TNameParts::operator==(const TNameParts &AOther) const {
  if (Size() != AOther.Size())
    return false;
  for (qsizetype i = 0; i < Size(); ++i)
    if (At(i) != AOther.At(i))
      return false;
  return true;
}

namespace {

constexpr uint64_t KOffset = 1469598103934665603ull;
constexpr uint64_t KPrime = 1099511628211ull;

inline uint64_t HashUnits(uint64_t AHash, QStringView AText, bool AFold) {
  const QChar *LData = AText.data();
  const qsizetype LSize = AText.size();
  if (AFold) {
    for (qsizetype i = 0; i < LSize; ++i)
      AHash = (AHash ^ LData[i].toCaseFolded().unicode()) * KPrime;
  } else {
    for (qsizetype i = 0; i < LSize; ++i)
      AHash = (AHash ^ LData[i].unicode()) * KPrime;
  }
  return AHash;
}

inline uint64_t NameKey(int AFolder, const TNameParts &AName, bool AFold) {
  uint64_t LHash = KOffset ^ (static_cast<uint64_t>(AFolder + 1) * 0x9E3779B97F4A7C15ull);
  LHash = HashUnits(LHash, AName.FFirst, AFold);
  LHash = HashUnits(LHash, AName.FSecond, AFold);
  // Mixed once more so that the low bits, which pick a slot, depend on all.
  LHash ^= LHash >> 29;
  LHash *= 0xBF58476D1CE4E5B9ull;
  LHash ^= LHash >> 32;
  return LHash == 0 ? 1 : LHash; // 0 marks an empty slot
}

// A set of keys, or a map of keys to numbers: open addressing, half full at
// most. Cleared in place, so a plan after the first allocates nothing.
class TKeyMap {
public:
  void Reset(size_t AExpected) {
    size_t LCapacity = 16;
    while (LCapacity < AExpected * 2 + 2)
      LCapacity *= 2;
    if (LCapacity != FKeys.size()) {
      FKeys.assign(LCapacity, 0);
      FValues.assign(LCapacity, -1);
    } else {
      std::fill(FKeys.begin(), FKeys.end(), 0);
    }
    FMask = LCapacity - 1;
    FCount = 0;
  }
  // Enters AKey with AValue unless it is there; returns the value it has.
  int Insert(uint64_t AKey, int AValue) {
    if ((FCount + 1) * 2 > FKeys.size())
      Grow();
    size_t LPos = AKey & FMask;
    while (FKeys[LPos] != 0) {
      if (FKeys[LPos] == AKey)
        return FValues[LPos];
      LPos = (LPos + 1) & FMask;
    }
    FKeys[LPos] = AKey;
    FValues[LPos] = AValue;
    ++FCount;
    return AValue;
  }
  // The value of AKey; -1 when it is absent.
  int Find(uint64_t AKey) const {
    if (FKeys.empty())
      return -1;
    for (size_t LPos = AKey & FMask; FKeys[LPos] != 0; LPos = (LPos + 1) & FMask)
      if (FKeys[LPos] == AKey)
        return FValues[LPos];
    return -1;
  }
  bool Contains(uint64_t AKey) const { return Find(AKey) != -1; }

private:
  void Grow() {
    std::vector<uint64_t> LKeys = std::move(FKeys);
    std::vector<int> LValues = std::move(FValues);
    FKeys.assign(LKeys.size() * 2, 0);
    FValues.assign(LKeys.size() * 2, -1);
    FMask = FKeys.size() - 1;
    FCount = 0;
    for (size_t i = 0; i < LKeys.size(); ++i)
      if (LKeys[i] != 0)
        Insert(LKeys[i], LValues[i]);
  }

  std::vector<uint64_t> FKeys;
  std::vector<int> FValues;
  size_t FMask = 0;
  size_t FCount = 0;
};

// True when AName is no usable single name: empty, ".", "..", a delimiter,
// NUL, or a unit that stands for no byte.
bool IsInvalidName(const TNameParts &AName) {
  const qsizetype LSize = AName.Size();
  if (LSize == 0 || (LSize == 1 && AName.At(0) == u'.') ||
      (LSize == 2 && AName.At(0) == u'.' && AName.At(1) == u'.'))
    return true;
  bool LSurrogates = false;
  for (const QStringView LPart : {AName.FFirst, AName.FSecond}) {
    for (const QChar LChar : LPart) {
      if (LChar.unicode() == 0 || platform::IsPathDelimiter(LChar))
        return true;
      LSurrogates = LSurrogates || LChar.isSurrogate();
    }
  }
  // Whether every surrogate stands for a character or a byte is the path
  // rules' question; names with surrogates are rare.
  return LSurrogates && platform::IsInvalidEntryName(AName.ToString());
}

} // namespace

// ---------------------------------------------------------------------------
// The planner.

struct TRenamePlanner::TFolder {
  QString FPath;
  platform::TFileSystemInfo FFs;
  bool FCaseInsensitive = false;
  bool FRead = false;
  int FNumber = 0;
  TKeyMap FNames; // the listing's names, as keys
};

namespace {

// The entry names of a folder that a change of letter case alters, swapped
// to the other case: the probe of whether the folder ignores letter case.
QString SwapCase(const QString &AName) {
  QString LSwapped = AName;
  for (QChar &LChar : LSwapped)
    LChar = LChar.isUpper() ? LChar.toLower() : LChar.toUpper();
  return LSwapped;
}

} // namespace

void TRenamePlanner::ReadFolder(TFolder &AFolder) {
  AFolder.FRead = true;
  AFolder.FFs = platform::FileSystemOf(AFolder.FPath);
  std::vector<QString> LNames;
  platform::ListDirectory(AFolder.FPath, [&](const platform::TDirEntry &AEntry) {
    LNames.push_back(AEntry.FName);
    return true;
  });
  // Exact spellings first, for the letter-case probe.
  AFolder.FNames.Reset(LNames.size());
  for (const QString &LName : LNames)
    AFolder.FNames.Insert(NameKey(AFolder.FNumber, TNameParts{LName, {}}, false), 0);
  // A folder ignores letter case when an entry's name with its case swapped
  // leads to an entry while the listing has no such spelling. A few names
  // are tried; without a name that has letters, nothing is assumed.
  AFolder.FCaseInsensitive = false;
  int LTried = 0;
  for (const QString &LName : LNames) {
    const QString LSwapped = SwapCase(LName);
    if (LSwapped == LName ||
        AFolder.FNames.Contains(NameKey(AFolder.FNumber, TNameParts{LSwapped, {}}, false)))
      continue;
    AFolder.FCaseInsensitive = platform::EntryExists(platform::JoinPath(AFolder.FPath, LSwapped));
    if (++LTried >= 1)
      break;
  }
  if (AFolder.FCaseInsensitive) {
    AFolder.FNames.Reset(LNames.size());
    for (const QString &LName : LNames)
      AFolder.FNames.Insert(NameKey(AFolder.FNumber, TNameParts{LName, {}}, true), 0);
  }
}

TRenamePlanner::TRenamePlanner() = default;
TRenamePlanner::~TRenamePlanner() = default;

void TRenamePlanner::Reset() {
  FFolders.clear();
  FFolderNumbers.clear();
  FPlan = TPlan();
}

int TRenamePlanner::FolderNumber(TPlanSource &ASource, int AItem) {
  int &LSlot = ASource.FolderSlot(AItem);
  if (LSlot >= 0 && LSlot < static_cast<int>(FFolders.size()))
    return LSlot;
  const QString LPath = ASource.FolderOf(AItem);
  const auto LFound = FFolderNumbers.constFind(LPath);
  if (LFound != FFolderNumbers.constEnd()) {
    LSlot = *LFound;
    return LSlot;
  }
  LSlot = static_cast<int>(FFolders.size());
  FFolderNumbers.insert(LPath, LSlot);
  FFolders.emplace_back();
  FFolders.back().FPath = LPath;
  FFolders.back().FNumber = LSlot;
  return LSlot;
}

void TRenamePlanner::Refresh(TPlanSource &ASource) {
  Reset();
  for (int i = 0; i < ASource.Count(); ++i)
    ASource.FolderSlot(i) = -1;
  for (int i = 0; i < ASource.Count(); ++i)
    FolderNumber(ASource, i);
  for (TFolder &LFolder : FFolders)
    ReadFolder(LFolder);
}

const TPlan &TRenamePlanner::Plan(TPlanSource &ASource) {
  const int LCount = ASource.Count();
  TPlan &LPlan = FPlan;
  LPlan.FEntries.assign(static_cast<size_t>(LCount), TPlanEntry());
  LPlan.FSteps.clear();
  LPlan.FCycleGroups.clear();
  LPlan.FConflicts = 0;
  LPlan.FUnchanged = 0;

  // The order of the renames: deeper folders first, else the list's order.
  std::vector<int> LOrder(static_cast<size_t>(LCount));
  std::iota(LOrder.begin(), LOrder.end(), 0);
  if (ASource.IsFolderList())
    std::stable_sort(LOrder.begin(), LOrder.end(), [&ASource](int ALeft, int ARight) {
      return ASource.Level(ALeft) > ASource.Level(ARight);
    });

  std::vector<int> LFolderOf(static_cast<size_t>(LCount));
  for (int i = 0; i < LCount; ++i) {
    const int LNumber = FolderNumber(ASource, i);
    if (!FFolders[static_cast<size_t>(LNumber)].FRead)
      ReadFolder(FFolders[static_cast<size_t>(LNumber)]);
    LFolderOf[static_cast<size_t>(i)] = LNumber;
  }

  // Every item's old name, and every new name taken so far.
  TKeyMap LOldNames;
  TKeyMap LNewNames;
  LOldNames.Reset(static_cast<size_t>(LCount));
  LNewNames.Reset(static_cast<size_t>(LCount));
  FToKeys.assign(static_cast<size_t>(LCount), 0);
  std::vector<uint64_t> LFromKeys(static_cast<size_t>(LCount));
  for (int i = 0; i < LCount; ++i) {
    const TFolder &LFolder = FFolders[static_cast<size_t>(LFolderOf[static_cast<size_t>(i)])];
    LFromKeys[static_cast<size_t>(i)] =
        NameKey(LFolder.FNumber, ASource.FromName(i), LFolder.FCaseInsensitive);
    LOldNames.Insert(LFromKeys[static_cast<size_t>(i)], i);
  }

  std::vector<TPlanEntry> &LEntries = LPlan.FEntries;
  const auto LSet = [&LEntries](int AItem, TPlanStatus AStatus, int AOther = -1) {
    LEntries[static_cast<size_t>(AItem)] = TPlanEntry{AStatus, AOther};
  };

  // An item whose new name differs from its old one in letter case only,
  // where the folder ignores case, keeps its entry: no other item can take
  // that name before it, whatever the order.
  for (const int i : LOrder) {
    const TFolder &LFolder = FFolders[static_cast<size_t>(LFolderOf[static_cast<size_t>(i)])];
    if (!LFolder.FCaseInsensitive)
      continue;
    const TNameParts LTo = ASource.ToName(i);
    const uint64_t LKey = NameKey(LFolder.FNumber, LTo, true);
    if (LKey == LFromKeys[static_cast<size_t>(i)] && !(LTo == ASource.FromName(i)))
      LNewNames.Insert(LKey, i);
  }

  // The name itself, and the first item in the order of the renames to take it.
  for (const int i : LOrder) {
    const TFolder &LFolder = FFolders[static_cast<size_t>(LFolderOf[static_cast<size_t>(i)])];
    const TNameParts LFrom = ASource.FromName(i);
    const TNameParts LTo = ASource.ToName(i);
    if (LTo == LFrom) {
      LSet(i, TPlanStatus::Unchanged);
      continue;
    }
    if (IsInvalidName(LTo) ||
        (LFolder.FFs.FFatFamily && (platform::IsRefusedByFatFamily(LTo.FFirst) ||
                                    platform::IsRefusedByFatFamily(LTo.FSecond)))) {
      LSet(i, TPlanStatus::InvalidName);
      continue;
    }
    if (LFolder.FFs.FKnown &&
        platform::NameLength(LTo.ToString(), LFolder.FFs) > LFolder.FFs.FNameMax) {
      LSet(i, TPlanStatus::NameTooLong);
      continue;
    }
    const uint64_t LKey = NameKey(LFolder.FNumber, LTo, LFolder.FCaseInsensitive);
    FToKeys[static_cast<size_t>(i)] = LKey;
    const int LFirst = LNewNames.Insert(LKey, i);
    if (LFirst != i)
      LSet(i, TPlanStatus::SameNewName, LFirst);
  }

  // A new name that names an entry: its own (a change of letter case where
  // the folder ignores case), another item's that moves away first (a chain
  // or a cycle), or an entry that stays (a conflict).
  FWaitsFor.assign(static_cast<size_t>(LCount), -1);
  FWaitedBy.assign(static_cast<size_t>(LCount), -1);
  for (int i = 0; i < LCount; ++i) {
    if (LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename)
      continue;
    const uint64_t LKey = FToKeys[static_cast<size_t>(i)];
    if (LKey == LFromKeys[static_cast<size_t>(i)])
      continue;
    const TFolder &LFolder = FFolders[static_cast<size_t>(LFolderOf[static_cast<size_t>(i)])];
    if (!LFolder.FNames.Contains(LKey))
      continue;
    const int LOwner = LOldNames.Find(LKey);
    if (LOwner < 0 || LOwner == i) {
      LSet(i, TPlanStatus::TargetExists);
      continue;
    }
    FWaitsFor[static_cast<size_t>(i)] = LOwner;
    FWaitedBy[static_cast<size_t>(LOwner)] = i;
  }

  // An item waiting for one that stays or cannot be renamed cannot be
  // renamed either, and so on along the chain.
  std::vector<int> LWork;
  for (int i = 0; i < LCount; ++i)
    if (LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename)
      LWork.push_back(i);
  while (!LWork.empty()) {
    const int LStuck = LWork.back();
    LWork.pop_back();
    const int LWaiting = FWaitedBy[static_cast<size_t>(LStuck)];
    if (LWaiting < 0 || LEntries[static_cast<size_t>(LWaiting)].FStatus != TPlanStatus::Rename ||
        FWaitsFor[static_cast<size_t>(LWaiting)] != LStuck)
      continue;
    if (LEntries[static_cast<size_t>(LStuck)].FStatus == TPlanStatus::Unchanged)
      LSet(LWaiting, TPlanStatus::TargetExists);
    else
      LSet(LWaiting, TPlanStatus::WaitsForConflict, LStuck);
    LWork.push_back(LWaiting);
  }

  // The order of the moves. A chain starts at the item whose new name is
  // free and goes on with the item waiting for it; what is left are cycles.
  std::vector<uint8_t> LInChain(static_cast<size_t>(LCount), 0);
  const auto LIsHead = [&](int AItem) {
    return LEntries[static_cast<size_t>(AItem)].FStatus == TPlanStatus::Rename &&
           FWaitsFor[static_cast<size_t>(AItem)] < 0;
  };
  for (int i = 0; i < LCount; ++i)
    if (LIsHead(i))
      for (int k = i; k >= 0 && !LInChain[static_cast<size_t>(k)];
           k = FWaitedBy[static_cast<size_t>(k)])
        LInChain[static_cast<size_t>(k)] = 1;

  int LGroup = 0;
  std::vector<uint8_t> LEmitted(static_cast<size_t>(LCount), 0);
  for (const int i : LOrder) {
    if (LEmitted[static_cast<size_t>(i)] ||
        LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename)
      continue;
    if (LIsHead(i)) {
      for (int k = i; k >= 0; k = FWaitedBy[static_cast<size_t>(k)]) {
        if (k != i)
          LSet(k, TPlanStatus::Waits, FWaitsFor[static_cast<size_t>(k)]);
        LEmitted[static_cast<size_t>(k)] = 1;
        LPlan.FSteps.push_back(TPlanStep{k, TStepKind::Move, LGroup});
      }
      LPlan.FCycleGroups.push_back(false);
      ++LGroup;
    } else if (!LInChain[static_cast<size_t>(i)]) {
      // A cycle: i goes aside under a temporary name, the others follow
      // each other into the names freed, and i comes last.
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::ToTemporary, LGroup});
      LEmitted[static_cast<size_t>(i)] = 1;
      for (int k = FWaitedBy[static_cast<size_t>(i)]; k >= 0 && k != i;
           k = FWaitedBy[static_cast<size_t>(k)]) {
        LEmitted[static_cast<size_t>(k)] = 1;
        LSet(k, TPlanStatus::Swap, FWaitsFor[static_cast<size_t>(k)]);
        LPlan.FSteps.push_back(TPlanStep{k, TStepKind::Move, LGroup});
      }
      LSet(i, TPlanStatus::Swap, FWaitsFor[static_cast<size_t>(i)]);
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::FromTemporary, LGroup});
      LPlan.FCycleGroups.push_back(true);
      ++LGroup;
    }
  }

  // The items with a conflict are tried last, one group each.
  for (const int i : LOrder) {
    const TPlanStatus LStatus = LEntries[static_cast<size_t>(i)].FStatus;
    if (LStatus == TPlanStatus::Unchanged) {
      ++LPlan.FUnchanged;
    } else if (IsConflict(LStatus)) {
      ++LPlan.FConflicts;
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::Attempt, LGroup++});
      LPlan.FCycleGroups.push_back(false);
    }
  }
  return LPlan;
}

// ---------------------------------------------------------------------------
// The executor.

int ExecutePlan(const TPlan &APlan, TPlanHost &AHost) {
  int LFailed = 0;
  const std::vector<TPlanStep> &LSteps = APlan.FSteps;
  for (size_t LStart = 0; LStart < LSteps.size();) {
    const int LGroup = LSteps[LStart].FGroup;
    size_t LEnd = LStart;
    while (LEnd < LSteps.size() && LSteps[LEnd].FGroup == LGroup)
      ++LEnd;
    if (!APlan.FCycleGroups[static_cast<size_t>(LGroup)]) {
      for (size_t s = LStart; s < LEnd; ++s)
        LFailed += AHost.Move(LSteps[s].FItem) ? 0 : 1;
    } else {
      // A cycle is made as a whole or not at all.
      QString LTemporary;
      const int LFirst = LSteps[LStart].FItem;
      size_t LDone = LStart;
      bool LOk = AHost.MoveToTemporary(LFirst, LTemporary);
      int LFailedItem = LFirst;
      if (LOk) {
        for (LDone = LStart + 1; LDone + 1 < LEnd; ++LDone) {
          if (!AHost.Move(LSteps[LDone].FItem)) {
            LOk = false;
            LFailedItem = LSteps[LDone].FItem;
            break;
          }
        }
        if (LOk && !AHost.MoveFromTemporary(LFirst, LTemporary)) {
          LOk = false;
          LFailedItem = LFirst;
        }
        if (!LOk) {
          for (size_t s = LDone; s-- > LStart + 1;)
            AHost.MoveBack(LSteps[s].FItem);
          AHost.RestoreFromTemporary(LFirst, LTemporary);
        }
      }
      if (!LOk) {
        for (size_t s = LStart; s < LEnd; ++s)
          if (LSteps[s].FItem != LFailedItem)
            AHost.CycleFailed(LSteps[s].FItem, LFailedItem);
        // The first item has two steps, its way out and its way in.
        LFailed += static_cast<int>(LEnd - LStart) - 1;
      }
    }
    LStart = LEnd;
  }
  return LFailed;
}

QString TemporaryEntryName() {
  static std::atomic<unsigned> LCounter{0};
  return QStringLiteral(".varnwell-%1-%2.tmp")
      .arg(QCoreApplication::applicationPid())
      .arg(LCounter.fetch_add(1));
}

QString MoveFailureReason(const platform::TMoveResult &AMove, bool AFolder) {
  if (!AMove.FStrandedPath.isEmpty())
    return rs::FormatMessage(rs::LeftUnderTemporaryName, {AMove.FStrandedPath});
  switch (AMove.FError) {
  case platform::TMoveError::TargetExists:
    return AFolder ? rs::FolderAlreadyExists : rs::FileAlreadyExists;
  case platform::TMoveError::SourceMissing:
    return AFolder ? rs::DirectoryNotExist : rs::FileNotExist;
  default:
    break;
  }
  switch (AMove.FErrno) {
  case 0:
    return QString();
  case EACCES:
  case EPERM:
    return rs::PermissionDenied;
  case EROFS:
    return rs::ReadOnlyFileSystem;
  case ENAMETOOLONG:
    return rs::NameTooLong;
  case ENOSPC:
  case EDQUOT:
    return rs::NoSpaceLeft;
  case EBUSY:
  case ETXTBSY:
    return rs::EntryBusy;
  case EINVAL:
  case EILSEQ:
    return rs::InvalidFileName;
  default:
    return QString::fromLocal8Bit(std::strerror(AMove.FErrno));
  }
}
