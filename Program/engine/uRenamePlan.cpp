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
#include <utility>

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

// Hashes a name fed in pieces: four code units make one 64-bit word, and
// each word costs one multiplication. Pieces may end anywhere; the hash of a
// name is the same however it is cut.
class THasher {
public:
  explicit THasher(uint64_t ASeed) : FHash(ASeed) {}
  template <bool AFold> inline void Add(QStringView AText) {
    const QChar *LData = AText.data();
    const qsizetype LSize = AText.size();
    // A control character, a delimiter or a surrogate may make the name
    // invalid: names with one are looked at again (IsInvalidName). A loop of
    // its own, which the compiler can run on many units at once.
    bool LSuspect = false;
    for (qsizetype i = 0; i < LSize; ++i) {
      const char16_t LRaw = LData[i].unicode();
      LSuspect |= (LRaw < 0x20) | (LRaw == u'/') | (LRaw == u'\\') | (LRaw == u':') |
                  ((LRaw & 0xF800) == 0xD800);
    }
    FSuspect |= LSuspect;
    qsizetype i = 0;
    if (!AFold) {
      // Whole words straight from the text while the hash is at a word's start.
      for (; FShift == 0 && i + 4 <= LSize; i += 4) {
        std::memcpy(&FWord, LData + i, sizeof FWord);
        Mix();
        FWord = 0;
      }
    }
    for (; i < LSize; ++i) {
      const char16_t LRaw = LData[i].unicode();
      const char16_t LUnit = AFold ? QChar(LRaw).toCaseFolded().unicode() : LRaw;
      FWord |= static_cast<uint64_t>(LUnit) << FShift;
      FShift += 16;
      if (FShift == 64) {
        Mix();
        FShift = 0;
        FWord = 0;
      }
    }
  }
  uint64_t Finish() {
    FHash ^= FWord ^ static_cast<uint64_t>(FShift);
    FHash *= 0xBF58476D1CE4E5B9ull;
    FHash ^= FHash >> 31;
    FHash *= 0x94D049BB133111EBull;
    FHash ^= FHash >> 29;
    return FHash == 0 ? 1 : FHash; // 0 marks an empty slot
  }
  bool Suspect() const { return FSuspect; }

private:
  inline void Mix() {
    FHash = (FHash ^ FWord) * 0x9E3779B97F4A7C15ull;
    FHash ^= FHash >> 32;
  }
  uint64_t FHash;
  uint64_t FWord = 0;
  int FShift = 0;
  bool FSuspect = false;
};

// The key of AName in the folder numbered AFolder; ASuspect, when given, is
// set when the name holds a unit that may make it invalid.
inline uint64_t NameKey(int AFolder, const TNameParts &AName, bool AFold,
                        bool *ASuspect = nullptr) {
  THasher LHasher(0x243F6A8885A308D3ull ^ (static_cast<uint64_t>(AFolder + 1) << 20));
  if (AFold) {
    LHasher.Add<true>(AName.FFirst);
    LHasher.Add<true>(AName.FSecond);
  } else {
    LHasher.Add<false>(AName.FFirst);
    LHasher.Add<false>(AName.FSecond);
  }
  if (ASuspect)
    *ASuspect = LHasher.Suspect();
  return LHasher.Finish();
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
      FValues.resize(LCapacity);
    } else {
      std::fill(FKeys.begin(), FKeys.end(), 0);
    }
    FMask = LCapacity - 1;
    FCount = 0;
  }
  // Enters AKey with AValue unless it is there; returns the value it has.
  inline int Insert(uint64_t AKey, int AValue) {
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
  inline int Find(uint64_t AKey) const {
    if (FKeys.empty())
      return -1;
    for (size_t LPos = AKey & FMask; FKeys[LPos] != 0; LPos = (LPos + 1) & FMask)
      if (FKeys[LPos] == AKey)
        return FValues[LPos];
    return -1;
  }
  bool Contains(uint64_t AKey) const { return Find(AKey) != -1; }
  // As a map of keys to counts: counts AKey once more.
  void Add(uint64_t AKey) {
    if ((FCount + 1) * 2 > FKeys.size())
      Grow();
    size_t LPos = AKey & FMask;
    while (FKeys[LPos] != 0) {
      if (FKeys[LPos] == AKey) {
        ++FValues[LPos];
        return;
      }
      LPos = (LPos + 1) & FMask;
    }
    FKeys[LPos] = AKey;
    FValues[LPos] = 1;
    ++FCount;
  }
  // Counts AKey once less; at none it leaves.
  void Drop(uint64_t AKey) {
    if (FKeys.empty())
      return;
    for (size_t LPos = AKey & FMask; FKeys[LPos] != 0; LPos = (LPos + 1) & FMask) {
      if (FKeys[LPos] != AKey)
        continue;
      if (FValues[LPos] > 1)
        --FValues[LPos];
      else
        Remove(AKey);
      return;
    }
  }
  // Takes AKey out, moving the keys after it back so that every probe still
  // finds them (linear probing without tombstones).
  void Remove(uint64_t AKey) {
    if (FKeys.empty())
      return;
    size_t LPos = AKey & FMask;
    while (FKeys[LPos] != AKey) {
      if (FKeys[LPos] == 0)
        return;
      LPos = (LPos + 1) & FMask;
    }
    size_t LHole = LPos;
    for (size_t LNext = (LHole + 1) & FMask; FKeys[LNext] != 0; LNext = (LNext + 1) & FMask) {
      const size_t LHome = FKeys[LNext] & FMask;
      // The key at LNext may fill the hole when its home lies cyclically at
      // or before the hole.
      if (((LNext - LHome) & FMask) >= ((LNext - LHole) & FMask)) {
        FKeys[LHole] = FKeys[LNext];
        FValues[LHole] = FValues[LNext];
        LHole = LNext;
      }
    }
    FKeys[LHole] = 0;
    --FCount;
  }

private:
  void Grow() {
    std::vector<uint64_t> LKeys = std::move(FKeys);
    std::vector<int> LValues = std::move(FValues);
    const size_t LCapacity = std::max<size_t>(16, LKeys.size() * 2);
    FKeys.assign(LCapacity, 0);
    FValues.resize(LCapacity);
    FMask = LCapacity - 1;
    FCount = 0;
    for (size_t i = 0; i < LKeys.size(); ++i)
      if (LKeys[i] != 0)
        Insert(LKeys[i], LValues[i]);
  }

  std::vector<uint64_t> FKeys; // 0: an empty slot
  std::vector<int> FValues;    // read only where the key is there
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
  const char16_t LDelimiter = platform::PathDelimiter().unicode();
  bool LSuspect = false; // a NUL, a surrogate, or a character the style also takes as delimiter
  for (const QStringView LPart : {AName.FFirst, AName.FSecond}) {
    for (const QChar LChar : LPart) {
      const char16_t LUnit = LChar.unicode();
      if (LUnit == LDelimiter)
        return true;
      LSuspect = LSuspect || LUnit < 0x20 || LUnit == u':' || LUnit == u'\\' ||
                 (LUnit >= 0xD800 && LUnit <= 0xDFFF);
    }
  }
  if (!LSuspect)
    return false;
  // The path rules decide the rare names with such characters.
  return platform::IsInvalidEntryName(AName.ToString());
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
  // The listing's names, as keys, each with the number of entries that have
  // it: where the folder ignores letter case, two entries that the file
  // system tells apart may still fold to one key.
  TKeyMap FNames;
  // One bit per key of FNames: most new names are not in the listing, and
  // this small filter says so without reaching into the table.
  std::vector<uint64_t> FFilter;
  void AddToFilter(uint64_t AKey) {
    const uint64_t LBit = (AKey >> 40) & (FFilter.size() * 64 - 1);
    FFilter[LBit >> 6] |= uint64_t(1) << (LBit & 63);
  }
  bool MayHold(uint64_t AKey) const {
    const uint64_t LBit = (AKey >> 40) & (FFilter.size() * 64 - 1);
    return (FFilter[LBit >> 6] >> (LBit & 63)) & 1;
  }
  bool Holds(uint64_t AKey) const { return MayHold(AKey) && FNames.Contains(AKey); }
  // Per plan: the old names of the folder's items (key -> item), and the new
  // names taken so far (key -> the first item to take it). Kept per folder,
  // so that a plan works on small tables while it goes through a folder.
  TKeyMap FOldNames;
  TKeyMap FNewNames;
  int FItems = 0;
  unsigned FGeneration = 0;   // the plan that cleared the tables last
  bool FOwnersWanted = false; // a new name names an entry: FOldNames is needed
};

namespace {

// The entry names of a folder that a change of letter case alters, swapped
// to the other case: the probe of whether the folder ignores letter case.
// AAsciiOnly swaps the letters a to z alone, which every file system that
// ignores case folds; others fold as the file system's own table says
// (exFAT keeps KELVIN SIGN and "k" apart).
QString SwapCase(const QString &AName, bool AAsciiOnly) {
  QString LSwapped = AName;
  for (QChar &LChar : LSwapped) {
    if (AAsciiOnly && LChar.unicode() >= 0x80)
      continue;
    LChar = LChar.isUpper() ? LChar.toLower() : LChar.toUpper();
  }
  return LSwapped;
}

// True when AName holds a letter a to z or A to Z.
bool HasAsciiLetter(QStringView AName) {
  for (const QChar LChar : AName) {
    const char16_t LUnit = LChar.unicode() | 0x20;
    if (LUnit >= u'a' && LUnit <= u'z')
      return true;
  }
  return false;
}

// The longest name, in UTF-16 units, that can never exceed AFs's limit: a
// unit takes at most three bytes of UTF-8.
int SafeLength(const platform::TFileSystemInfo &AFs) {
  return AFs.FFatFamily ? AFs.FNameMax : AFs.FNameMax / 3;
}

} // namespace

void TRenamePlanner::ReadFolder(TFolder &AFolder, TPlanSource &ASource, int AItem) {
  AFolder.FRead = true;
  AFolder.FFs = FFileSystems.Of(AFolder.FPath);
  // Every name of the folder's listing: the source's own where it has just
  // listed the folder, else read here.
  const auto LEachName = [&](const std::function<void(QStringView)> &AName) {
    if (!ASource.ListedNames(AItem, AName))
      platform::ListDirectory(AFolder.FPath, [&AName](const platform::TDirEntry &AEntry) {
        AName(AEntry.FName);
        return true;
      });
  };
  // Exact spellings first, for the letter-case probe. Of the names only
  // those that may decide it are kept: the first with a letter a to z, and
  // until one comes, every name that a change of letter case alters.
  // The keys are gathered first, so that the table is made once at its size.
  QString LAsciiProbe;
  bool LHaveAsciiProbe = false;
  std::vector<QString> LOtherProbes;
  std::vector<uint64_t> LKeys;
  LEachName([&](QStringView AName) {
    LKeys.push_back(NameKey(AFolder.FNumber, TNameParts{AName, {}}, false));
    if (LHaveAsciiProbe)
      return;
    if (HasAsciiLetter(AName)) {
      LAsciiProbe = AName.toString();
      LHaveAsciiProbe = true;
      LOtherProbes.clear();
    } else if (QString LName = AName.toString(); SwapCase(LName, false) != LName) {
      LOtherProbes.push_back(std::move(LName));
    }
  });
  const size_t LCount = LKeys.size();
  AFolder.FNames.Reset(LCount);
  for (const uint64_t LKey : LKeys)
    AFolder.FNames.Add(LKey);
  // A folder ignores letter case when an entry's name with its case swapped
  // leads to an entry while the listing has no such spelling. The first name
  // with a letter a to z decides, by those letters alone (both spellings
  // listed: the folder tells case apart). Without one, the first name with
  // other letters may show that the folder ignores case; a swap of those
  // that leads nowhere proves nothing (the file system's table may not fold
  // them), and the FAT family is then taken to ignore case, others not.
  const auto LListed = [&AFolder](const QString &AName) {
    return AFolder.FNames.Contains(NameKey(AFolder.FNumber, TNameParts{AName, {}}, false));
  };
  int LDecided = -1;
  if (LHaveAsciiProbe) {
    const QString LSwapped = SwapCase(LAsciiProbe, true);
    LDecided =
        !LListed(LSwapped) && platform::EntryExists(platform::JoinPath(AFolder.FPath, LSwapped))
            ? 1
            : 0;
  } else {
    for (const QString &LName : LOtherProbes) {
      const QString LSwapped = SwapCase(LName, false);
      if (LListed(LSwapped))
        continue;
      if (platform::EntryExists(platform::JoinPath(AFolder.FPath, LSwapped)))
        LDecided = 1;
      break;
    }
  }
  AFolder.FCaseInsensitive = LDecided < 0 ? AFolder.FFs.FFatFamily : LDecided == 1;
  if (AFolder.FCaseInsensitive) {
    // The names once more, folded: the source's listing again, or the folder.
    LKeys.clear();
    LEachName([&](QStringView AName) {
      LKeys.push_back(NameKey(AFolder.FNumber, TNameParts{AName, {}}, true));
    });
    AFolder.FNames.Reset(LKeys.size());
    for (const uint64_t LKey : LKeys)
      AFolder.FNames.Add(LKey);
  }
  // About 32 bits for each name: few names not there pass the filter.
  size_t LWords = 1;
  while (LWords * 64 < LKeys.size() * 32)
    LWords *= 2;
  AFolder.FFilter.assign(LWords, 0);
  for (const uint64_t LKey : LKeys)
    AFolder.AddToFilter(LKey);
}

void TRenamePlanner::NoteMoved(const std::vector<int> &AItems) {
  // Every old name leaves first: in a chain an item's new name is another's old.
  for (const int LIndex : AItems) {
    const size_t LItem = static_cast<size_t>(LIndex);
    if (LItem < FToKeys.size() && FToKeys[LItem] != 0)
      FFolders[static_cast<size_t>(FFolderOf[LItem])]->FNames.Drop(FFromKeys[LItem]);
  }
  for (const int LIndex : AItems) {
    const size_t LItem = static_cast<size_t>(LIndex);
    if (LItem >= FToKeys.size() || FToKeys[LItem] == 0)
      continue;
    TFolder &LFolder = *FFolders[static_cast<size_t>(FFolderOf[LItem])];
    LFolder.FNames.Add(FToKeys[LItem]);
    LFolder.AddToFilter(FToKeys[LItem]);
  }
}

void TRenamePlanner::ForgetPaths() {
  FFolderNumbers.clear();
  FLastFolder = -1;
}

TRenamePlanner::TRenamePlanner() = default;
TRenamePlanner::~TRenamePlanner() = default;

void TRenamePlanner::Reset() {
  FFolders.clear();
  FFolderNumbers.clear();
  FLastFolder = -1;
  FPlan = TPlan();
}

int TRenamePlanner::FolderNumber(TPlanSource &ASource, int AItem) {
  int &LSlot = ASource.FolderSlot(AItem);
  if (LSlot >= 0 && LSlot < static_cast<int>(FFolders.size()))
    return LSlot;
  const QStringView LPath = ASource.FolderOf(AItem);
  if (FLastFolder >= 0 && FFolders[static_cast<size_t>(FLastFolder)]->FPath == LPath) {
    LSlot = FLastFolder;
    return LSlot;
  }
  const QString LKey = LPath.toString();
  const auto LFound = FFolderNumbers.constFind(LKey);
  if (LFound != FFolderNumbers.constEnd()) {
    LSlot = FLastFolder = *LFound;
    return LSlot;
  }
  LSlot = FLastFolder = static_cast<int>(FFolders.size());
  FFolderNumbers.insert(LKey, LSlot);
  auto LFolder = std::make_unique<TFolder>();
  LFolder->FPath = LKey;
  LFolder->FNumber = LSlot;
  FFolders.push_back(std::move(LFolder));
  return LSlot;
}

void TRenamePlanner::Refresh(TPlanSource &ASource) {
  Reset();
  FFileSystems = platform::TFileSystemCache();
  for (int i = 0; i < ASource.Count(); ++i) {
    ASource.FolderSlot(i) = -1;
    if (uint64_t *LKey = ASource.FromKeySlot(i))
      *LKey = 0;
  }
  // Each folder with the first of its items, which names it to the source.
  std::vector<int> LFirstItem;
  for (int i = 0; i < ASource.Count(); ++i) {
    const size_t LNumber = static_cast<size_t>(FolderNumber(ASource, i));
    if (LNumber >= LFirstItem.size())
      LFirstItem.resize(LNumber + 1, i);
  }
  for (size_t f = 0; f < FFolders.size(); ++f)
    ReadFolder(*FFolders[f], ASource, LFirstItem[f]);
}

const TPlan &TRenamePlanner::Plan(TPlanSource &ASource) {
  const int LCount = ASource.Count();
  const size_t LSize = static_cast<size_t>(LCount);
  TPlan &LPlan = FPlan;
  LPlan.FEntries.assign(LSize, TPlanEntry());
  LPlan.FSteps.clear();
  LPlan.FCycleGroups.clear();
  LPlan.FTemporaryNames.clear();
  LPlan.FConflicts = 0;
  LPlan.FUnchanged = 0;

  // One pass over the items, in the order the source asks for, reads all the
  // planner needs of them: their depths, their folders, the keys of their old
  // and new names, and what the new name is by itself. The passes after it
  // work on these arrays alone.
  // A folder's tables are cleared when the plan meets its first item, so
  // that they are in the cache while its items are read; sized as in the
  // last plan, they grow when the folder got more items.
  ++FGeneration;
  FFolderOf.resize(LSize);
  FFromKeys.resize(LSize);
  FToKeys.assign(LSize, 0);
  FSelfCase.assign(LSize, 0);
  FListed.assign(LSize, 0);
  std::vector<TPlanEntry> &LEntries = LPlan.FEntries;
  const auto LSet = [&LEntries](int AItem, TPlanStatus AStatus, int AOther = -1) {
    LEntries[static_cast<size_t>(AItem)] = TPlanEntry{AStatus, AOther};
  };
  const bool LLevels = ASource.IsFolderList();
  FLevels.resize(LLevels ? LSize : 0);
  const std::vector<int> LVisit = ASource.VisitOrder();
  for (int k = 0; k < LCount; ++k) {
    const int i = LVisit.empty() ? k : LVisit[static_cast<size_t>(k)];
    if (LLevels)
      FLevels[static_cast<size_t>(i)] = ASource.Level(i);
    const int LNumber = FolderNumber(ASource, i);
    TFolder &LFolder = *FFolders[static_cast<size_t>(LNumber)];
    if (!LFolder.FRead)
      ReadFolder(LFolder, ASource, i);
    if (LFolder.FGeneration != FGeneration) {
      LFolder.FGeneration = FGeneration;
      LFolder.FNewNames.Reset(static_cast<size_t>(LFolder.FItems));
      LFolder.FItems = 0;
      LFolder.FOwnersWanted = false;
    }
    ++LFolder.FItems;
    FFolderOf[static_cast<size_t>(i)] = LNumber;
    uint64_t *LCached = ASource.FromKeySlot(i);
    uint64_t LFromKey = LCached ? *LCached : 0;
    if (LFromKey == 0) {
      LFromKey = NameKey(LNumber, ASource.FromName(i), LFolder.FCaseInsensitive);
      if (LCached)
        *LCached = LFromKey;
    }
    FFromKeys[static_cast<size_t>(i)] = LFromKey;

    const TNameParts LTo = ASource.ToName(i);
    bool LSuspect = false;
    const uint64_t LKey = NameKey(LNumber, LTo, LFolder.FCaseInsensitive, &LSuspect);
    if (LKey == LFromKey && LTo == ASource.FromName(i)) {
      LSet(i, TPlanStatus::Unchanged);
      continue;
    }
    // In the order a Rename meets them: a name that is no single name fails
    // before anything is asked of the disk; the file system then answers a
    // name too long before looking at its characters.
    if ((LSuspect || LTo.Size() <= 2) && IsInvalidName(LTo)) {
      LSet(i, TPlanStatus::InvalidName);
      continue;
    }
    if (LFolder.FFs.FKnown && LTo.Size() > SafeLength(LFolder.FFs) &&
        platform::NameLength(LTo.ToString(), LFolder.FFs) > LFolder.FFs.FNameMax) {
      LSet(i, TPlanStatus::NameTooLong);
      continue;
    }
    if (LFolder.FFs.FFatFamily && (platform::IsRefusedByFatFamily(LTo.FFirst) ||
                                   platform::IsRefusedByFatFamily(LTo.FSecond))) {
      LSet(i, TPlanStatus::InvalidName);
      continue;
    }
    // A change of letter case only, where the folder ignores case, while
    // another entry has a name of the same key: the file system tells the
    // two apart (exFAT: MICRO SIGN and GREEK SMALL LETTER MU), and a move
    // never takes a name that another entry may be taken for.
    if (LKey == LFromKey && LFolder.FNames.Find(LKey) > 1) {
      LSet(i, TPlanStatus::TargetExists);
      continue;
    }
    FToKeys[static_cast<size_t>(i)] = LKey;
    // A new name that differs from the old one in letter case only, where
    // the folder ignores case; else whether the folder holds an entry of
    // the new name (looked up while the folder's listing is in the cache).
    FSelfCase[static_cast<size_t>(i)] = LKey == LFromKey;
    const bool LListed = LKey != LFromKey && LFolder.Holds(LKey);
    FListed[static_cast<size_t>(i)] = LListed;
    LFolder.FOwnersWanted = LFolder.FOwnersWanted || LListed;
  }
  // The order of the renames: deeper folders first, else the list's order.
  FOrder.resize(LSize);
  std::iota(FOrder.begin(), FOrder.end(), 0);
  if (LLevels)
    std::stable_sort(FOrder.begin(), FOrder.end(), [this](int ALeft, int ARight) {
      return FLevels[static_cast<size_t>(ALeft)] > FLevels[static_cast<size_t>(ARight)];
    });

  const auto LFolderOf = [this](int AItem) -> TFolder & {
    return *FFolders[static_cast<size_t>(FFolderOf[static_cast<size_t>(AItem)])];
  };

  // The first item in the order of the renames takes a new name. An item
  // that changes letter case only keeps its entry: no other item can take
  // that name before it, whatever the order.
  for (int LPass = 0; LPass < 2; ++LPass) {
    for (const int i : FOrder) {
      if (LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename ||
          (LPass == 0) != (FSelfCase[static_cast<size_t>(i)] != 0))
        continue;
      const int LFirst = LFolderOf(i).FNewNames.Insert(FToKeys[static_cast<size_t>(i)], i);
      if (LFirst != i)
        LSet(i, TPlanStatus::SameNewName, LFirst);
    }
  }

  // The old names of the items, in the folders where a new name names an
  // entry (chains come up there, and nowhere else).
  for (const auto &LFolder : FFolders)
    if (LFolder->FGeneration == FGeneration && LFolder->FOwnersWanted)
      LFolder->FOldNames.Reset(static_cast<size_t>(LFolder->FItems));
  for (int i = 0; i < LCount; ++i) {
    TFolder &LFolder = LFolderOf(i);
    if (LFolder.FOwnersWanted)
      LFolder.FOldNames.Insert(FFromKeys[static_cast<size_t>(i)], i);
  }

  // A new name that names an entry: its own (a change of letter case where
  // the folder ignores case), another item's that moves away first (a chain
  // or a cycle), or an entry that stays (a conflict).
  FWaitsFor.assign(LSize, -1);
  FWaitedBy.assign(LSize, -1);
  for (int i = 0; i < LCount; ++i) {
    if (LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename)
      continue;
    if (!FListed[static_cast<size_t>(i)])
      continue;
    const int LOwner = LFolderOf(i).FOldNames.Find(FToKeys[static_cast<size_t>(i)]);
    if (LOwner < 0 || LOwner == i) {
      LSet(i, TPlanStatus::TargetExists);
      continue;
    }
    FWaitsFor[static_cast<size_t>(i)] = LOwner;
    FWaitedBy[static_cast<size_t>(LOwner)] = i;
  }

  // An item waiting for one that stays or cannot be renamed cannot be
  // renamed either, and so on along the chain.
  FWork.clear();
  for (int i = 0; i < LCount; ++i)
    if (LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename &&
        FWaitedBy[static_cast<size_t>(i)] >= 0)
      FWork.push_back(i);
  while (!FWork.empty()) {
    const int LStuck = FWork.back();
    FWork.pop_back();
    const int LWaiting = FWaitedBy[static_cast<size_t>(LStuck)];
    if (LWaiting < 0 || LEntries[static_cast<size_t>(LWaiting)].FStatus != TPlanStatus::Rename ||
        FWaitsFor[static_cast<size_t>(LWaiting)] != LStuck)
      continue;
    if (LEntries[static_cast<size_t>(LStuck)].FStatus == TPlanStatus::Unchanged)
      LSet(LWaiting, TPlanStatus::TargetExists);
    else
      LSet(LWaiting, TPlanStatus::WaitsForConflict, LStuck);
    FWork.push_back(LWaiting);
  }

  // The order of the moves. A chain starts at the item whose new name is
  // free and goes on with the item waiting for it; what is left are cycles.
  FInChain.assign(LSize, 0);
  const auto LIsHead = [&](int AItem) {
    return LEntries[static_cast<size_t>(AItem)].FStatus == TPlanStatus::Rename &&
           FWaitsFor[static_cast<size_t>(AItem)] < 0;
  };
  for (int i = 0; i < LCount; ++i)
    if (LIsHead(i))
      for (int k = i; k >= 0 && !FInChain[static_cast<size_t>(k)];
           k = FWaitedBy[static_cast<size_t>(k)])
        FInChain[static_cast<size_t>(k)] = 1;

  int LGroup = 0;
  FEmitted.assign(LSize, 0);
  LPlan.FSteps.reserve(LSize);
  for (const int i : FOrder) {
    if (FEmitted[static_cast<size_t>(i)] ||
        LEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Rename)
      continue;
    if (LIsHead(i)) {
      for (int k = i; k >= 0; k = FWaitedBy[static_cast<size_t>(k)]) {
        if (k != i)
          LSet(k, TPlanStatus::Waits, FWaitsFor[static_cast<size_t>(k)]);
        FEmitted[static_cast<size_t>(k)] = 1;
        LPlan.FSteps.push_back(TPlanStep{k, TStepKind::Move, LGroup, -1});
      }
      LPlan.FCycleGroups.push_back(false);
      ++LGroup;
    } else if (!FInChain[static_cast<size_t>(i)]) {
      // A cycle: i goes aside under a temporary name, the others follow
      // each other into the names freed, and i comes last.
      const int LTemporary = static_cast<int>(LPlan.FTemporaryNames.size());
      LPlan.FTemporaryNames.push_back(TemporaryEntryName());
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::ToTemporary, LGroup, LTemporary});
      FEmitted[static_cast<size_t>(i)] = 1;
      for (int k = FWaitedBy[static_cast<size_t>(i)]; k >= 0 && k != i;
           k = FWaitedBy[static_cast<size_t>(k)]) {
        FEmitted[static_cast<size_t>(k)] = 1;
        LSet(k, TPlanStatus::Swap, FWaitsFor[static_cast<size_t>(k)]);
        LPlan.FSteps.push_back(TPlanStep{k, TStepKind::Move, LGroup, -1});
      }
      LSet(i, TPlanStatus::Swap, FWaitsFor[static_cast<size_t>(i)]);
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::FromTemporary, LGroup, LTemporary});
      LPlan.FCycleGroups.push_back(true);
      ++LGroup;
    }
  }

  // The items with a conflict are tried last, one group each.
  for (const int i : FOrder) {
    const TPlanStatus LStatus = LEntries[static_cast<size_t>(i)].FStatus;
    if (LStatus == TPlanStatus::Unchanged) {
      ++LPlan.FUnchanged;
    } else if (IsConflict(LStatus)) {
      ++LPlan.FConflicts;
      LPlan.FSteps.push_back(TPlanStep{i, TStepKind::Attempt, LGroup++, -1});
      LPlan.FCycleGroups.push_back(false);
    }
  }
  return LPlan;
}

// ---------------------------------------------------------------------------
// The executor.

namespace {

plandetail::TAfterMoveHook &AfterMoveHook() {
  static plandetail::TAfterMoveHook LHook;
  return LHook;
}

} // namespace

plandetail::TAfterMoveHook plandetail::SetAfterMoveHook(TAfterMoveHook AHook) {
  return std::exchange(AfterMoveHook(), std::move(AHook));
}

TExecuteResult ExecutePlanObserved(const TPlan &APlan, TPlanHost &AHost, TPlanObserver *AObserver) {
  TExecuteResult LResult;
  const std::vector<TPlanStep> &LSteps = APlan.FSteps;
  const plandetail::TAfterMoveHook &LHook = AfterMoveHook();
  const auto LDone = [AObserver, &LHook](size_t AStep, bool AOk,
                                         const QString &ATemporary = QString()) {
    if (LHook)
      LHook(static_cast<int>(AStep));
    if (AObserver)
      AObserver->StepDone(static_cast<int>(AStep), AOk, ATemporary);
  };
  size_t LStart = 0;
  while (LStart < LSteps.size()) {
    if (AObserver && AObserver->StopBeforeGroup()) {
      LResult.FStopped = true;
      break;
    }
    const int LGroup = LSteps[LStart].FGroup;
    size_t LEnd = LStart;
    while (LEnd < LSteps.size() && LSteps[LEnd].FGroup == LGroup)
      ++LEnd;
    if (!APlan.FCycleGroups[static_cast<size_t>(LGroup)]) {
      for (size_t s = LStart; s < LEnd; ++s) {
        const int LItem = LSteps[s].FItem;
        const bool LOk = LSteps[s].FKind == TStepKind::Attempt
                             ? AHost.Attempt(LItem, APlan.FEntries[static_cast<size_t>(LItem)])
                             : AHost.Move(LItem);
        LResult.FFailed += LOk ? 0 : 1;
        LDone(s, LOk);
      }
    } else {
      // A cycle is made as a whole or not at all.
      QString LTemporary = APlan.TemporaryName(LSteps[LStart]);
      const int LFirst = LSteps[LStart].FItem;
      size_t LMade = LStart;
      bool LOk = AHost.MoveToTemporary(LFirst, LTemporary);
      LDone(LStart, LOk, LTemporary);
      int LFailedItem = LFirst;
      if (LOk) {
        // The first step of a cycle is on the disk before the second: after
        // a crash the temporary name is known to hold the entry.
        if (AObserver)
          AObserver->AfterCycleOpens();
        for (LMade = LStart + 1; LMade + 1 < LEnd; ++LMade) {
          if (!AHost.Move(LSteps[LMade].FItem)) {
            LOk = false;
            LFailedItem = LSteps[LMade].FItem;
            LDone(LMade, false);
            break;
          }
          LDone(LMade, true);
        }
        if (LOk) {
          LOk = AHost.MoveFromTemporary(LFirst, LTemporary);
          LDone(LEnd - 1, LOk);
          if (!LOk)
            LFailedItem = LFirst;
        }
        if (!LOk) {
          // Everything of the cycle goes back, and the journal says so.
          for (size_t s = LMade; s-- > LStart + 1;) {
            AHost.MoveBack(LSteps[s].FItem);
            if (AObserver)
              AObserver->StepUndone(static_cast<int>(s));
          }
          AHost.RestoreFromTemporary(LFirst, LTemporary);
          if (AObserver)
            AObserver->StepUndone(static_cast<int>(LStart));
        }
      }
      if (!LOk) {
        for (size_t s = LStart; s < LEnd; ++s)
          if (LSteps[s].FItem != LFailedItem)
            AHost.CycleFailed(LSteps[s].FItem, LFailedItem);
        // The first item has two steps, its way out and its way in.
        LResult.FFailed += static_cast<int>(LEnd - LStart) - 1;
      }
    }
    LStart = LEnd;
  }
  LResult.FStepsTried = static_cast<int>(LStart);
  return LResult;
}

int ExecutePlan(const TPlan &APlan, TPlanHost &AHost) {
  return ExecutePlanObserved(APlan, AHost, nullptr).FFailed;
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

QString PlanReason(const TPlanEntry &AEntry, bool AFolders) {
  const int LRow = AEntry.FOther + 1;
  switch (AEntry.FStatus) {
  case TPlanStatus::SameNewName:
    return rs::FormatMessage(rs::SameNewNameAsRow, {LRow});
  case TPlanStatus::TargetExists:
    return AFolders ? rs::FolderWithNameExists : rs::FileWithNameExists;
  case TPlanStatus::InvalidName:
    return rs::InvalidFileName;
  case TPlanStatus::NameTooLong:
    return rs::NameTooLong;
  case TPlanStatus::WaitsForConflict:
    return rs::FormatMessage(rs::WaitsForRowThatCannotBeRenamed, {LRow});
  case TPlanStatus::Waits:
    return rs::FormatMessage(rs::RenamedAfterRow, {LRow});
  case TPlanStatus::Swap:
    return rs::FormatMessage(rs::SwappedWithRow, {LRow});
  case TPlanStatus::Unchanged:
  case TPlanStatus::Rename:
    break;
  }
  return {};
}
