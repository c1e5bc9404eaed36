#include "uCliFileBatch.h"

#include "platform/uLosslessUtf8.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformDirWalk.h"
#include "platform/uPlatformFs.h"
#include "uJournal.h"
#include "uMaskScanner.h"
#include "uNameEdits.h"
#include "uProgramFiles.h"
#include "uRenameList.h"
#include "uResourceString.h"
#include "uZeroDate.h"

#include <algorithm>
#include <cstring>

namespace {

// The store of names is kept in blocks of this many code units; a longer
// name gets a block of its own.
constexpr size_t KBlock = 64 * 1024;

// The letter-case rule of a recipe on a new name and its extension, as the
// window's file applies it: the first two rules change both, the others the
// name alone.
void ApplyCase(TCaseRule ARule, QString &AName, QString &AExt) {
  switch (ARule) {
  case TCaseRule::Lower:
    AName = nameedits::ToLowerUnits(AName);
    AExt = nameedits::ToLowerUnits(AExt);
    break;
  case TCaseRule::Upper:
    AName = nameedits::ToUpperUnits(AName);
    AExt = nameedits::ToUpperUnits(AExt);
    break;
  case TCaseRule::FirstLetter:
    AName = nameedits::FirstLetterUp(AName);
    break;
  case TCaseRule::Words:
    AName = nameedits::AllFirstUp(AName);
    break;
  case TCaseRule::None:
    break;
  }
}

} // namespace

TCliFileBatch::TCliFileBatch() = default;

TCliFileBatch::~TCliFileBatch() = default;

// ---------------------------------------------------------------------------
// The files

const QChar *TCliFileBatch::Keep(QStringView AText) {
  const size_t LSize = static_cast<size_t>(AText.size());
  if (LSize > FBlockFree) {
    const size_t LBlock = std::max(KBlock, LSize);
    FBlocks.push_back(std::make_unique_for_overwrite<QChar[]>(LBlock));
    FBlockAt = FBlocks.back().get();
    FBlockFree = LBlock;
  }
  QChar *LAt = FBlockAt;
  if (LSize > 0)
    std::memcpy(LAt, AText.data(), LSize * sizeof(QChar));
  FBlockAt += LSize;
  FBlockFree -= LSize;
  return LAt;
}

uint32_t TCliFileBatch::FolderNumber(const QString &APrefix) {
  const auto LFound = FFolderNumbers.constFind(APrefix);
  if (LFound != FFolderNumbers.constEnd())
    return *LFound;
  TFolder LFolder;
  LFolder.FPrefix = APrefix;
  // As a file's Location: the path up to its last delimiter, which is
  // dropped unless it is the root's own or follows another one.
  const qsizetype LLast = APrefix.size() - 1;
  LFolder.FLocation =
      LLast > 0 && !platform::IsPathDelimiter(APrefix[LLast - 1]) ? APrefix.first(LLast) : APrefix;
  const auto LNumber = static_cast<uint32_t>(FFolders.size());
  FFolders.push_back(std::move(LFolder));
  FFolderNumbers.insert(APrefix, LNumber);
  return LNumber;
}

bool TCliFileBatch::Append(uint32_t AFolder, QStringView AName) {
  FPlanned = false;
  TFolder &LFolder = FFolders[AFolder];
  if (LFolder.FSource < 0)
    LFolder.FSource = FSources;
  if (LFolder.FSource != FSources) {
    // A second source adds to this folder: the names it lists already are
    // looked up from now on.
    if (!LFolder.FNames) {
      LFolder.FNames = std::make_unique<QHash<QStringView, int>>();
      for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].FFolder == AFolder)
          LFolder.FNames->insert(FItems[i].Old(), static_cast<int>(i));
    }
    if (LFolder.FNames->contains(AName))
      return false;
  }
  const auto LPosition = static_cast<uint32_t>(FItems.size());
  if (!LFolder.FRuns.empty() && LFolder.FRuns.back().second == LPosition)
    ++LFolder.FRuns.back().second;
  else
    LFolder.FRuns.emplace_back(LPosition, LPosition + 1);
  TItem LItem;
  LItem.FOld = Keep(AName);
  LItem.FOldSize = static_cast<uint32_t>(AName.size());
  // The new name is the old one until a recipe makes it.
  LItem.FNew = LItem.FOld;
  LItem.FNewSize = LItem.FOldSize;
  LItem.FFolder = AFolder;
  if (LFolder.FNames)
    LFolder.FNames->insert(LItem.Old(), static_cast<int>(FItems.size()));
  FItems.push_back(LItem);
  if (!FIdentities.empty())
    FIdentities.emplace_back();
  return true;
}

TCliFileBatch::TIdentity TCliFileBatch::ReadIdentity(int APosition) const {
  // The entry itself, a link as the link it is, as the window reads an
  // added file: a missing one has the size -1, a folder 0, and only a
  // file's time is valid.
  const platform::TPathInfo LInfo = platform::StatEntryNoLocalTime(OldPath(APosition));
  TIdentity LIdentity;
  LIdentity.FSize = !LInfo.FExists ? -1 : LInfo.FIsDirectory ? 0 : LInfo.FSize;
  LIdentity.FModifiedMSecs = LInfo.FExists && !LInfo.FIsDirectory ? LInfo.FModifiedMSecs : KNoTime;
  LIdentity.FDevice = LInfo.FDevice;
  LIdentity.FInode = LInfo.FInode;
  return LIdentity;
}

const TCliFileBatch::TIdentity &TCliFileBatch::IdentityOf(int APosition) const {
  if (FIdentities.empty())
    FIdentities.resize(FItems.size());
  TIdentity &LIdentity = FIdentities[static_cast<size_t>(APosition)];
  if (LIdentity.FSize == KUnread)
    LIdentity = ReadIdentity(APosition);
  return LIdentity;
}

void TCliFileBatch::AddTree(const QString &AFolder, const TProgramPaths &AProgram,
                            const std::function<void(const QString &APath)> &ALeftOut,
                            std::vector<TUnreadable> &AUnreadable) {
  // The folder of the files last added, and whether it may hold a file of
  // the program's own: only then is each file's path asked about.
  QString LWalkFolder;
  uint32_t LFolder = 0;
  bool LMayHoldOwn = false;
  bool LFirst = true;
  // The walk lists each folder whole: the planner takes that listing
  // instead of reading the folder again. A folder listed by an earlier
  // source keeps the listing it has.
  bool LRecord = false;
  WalkFolderFiles(
      AFolder,
      [&](const TWalkedFile &AFile) {
        if (LFirst || *AFile.FFolder != LWalkFolder) {
          LFirst = false;
          LWalkFolder = *AFile.FFolder;
          LFolder = FolderNumber(platform::JoinPath(LWalkFolder, QString()));
          LMayHoldOwn = AProgram.HoldsFolder(LWalkFolder);
          // Room for the folder's files at once.
          if (FItems.capacity() < FItems.size() + AFile.FFolderEntries)
            FItems.reserve(std::max(FItems.capacity() * 2, FItems.size() + AFile.FFolderEntries));
          TFolder &LEntered = FFolders[LFolder];
          if (LEntered.FListedBy < 0 && LEntered.FSource < 0)
            LEntered.FListedBy = FSources;
          LRecord = LEntered.FListedBy == FSources;
        }
        if (!AFile.FIsFile) {
          if (LRecord)
            FFolders[LFolder].FOtherNames.push_back(AFile.FName.toString());
          return;
        }
        if (LMayHoldOwn) {
          const QString LPath = PathInFolder(LFolder, AFile.FName);
          if (AProgram.HoldsFile(LPath)) {
            if (LRecord)
              FFolders[LFolder].FOtherNames.push_back(AFile.FName.toString());
            ALeftOut(LPath);
            return;
          }
        }
        Append(LFolder, AFile.FName);
      },
      nullptr, &AUnreadable);
  ++FSources;
}

void TCliFileBatch::AddFile(const QString &APath) {
  const qsizetype LNameStart = platform::ExtractNameStart(APath);
  Append(FolderNumber(APath.first(LNameStart)), QStringView(APath).sliced(LNameStart));
  ++FSources;
}

QString TCliFileBatch::PathInFolder(uint32_t AFolder, QStringView AName) const {
  const QString &LPrefix = FFolders[AFolder].FPrefix;
  QString LPath;
  LPath.reserve(LPrefix.size() + AName.size());
  LPath.append(LPrefix);
  LPath.append(AName);
  return LPath;
}

QString TCliFileBatch::OldPath(int APosition) const {
  return PathInFolder(Item(APosition).FFolder, Item(APosition).Old());
}

QString TCliFileBatch::TargetPath(int APosition) const {
  return PathInFolder(Item(APosition).FFolder, Item(APosition).New());
}

std::vector<QString> TCliFileBatch::Folders() const {
  std::vector<QString> LFolders;
  LFolders.reserve(FFolders.size());
  for (const TFolder &LFolder : FFolders)
    if (!LFolder.FRuns.empty())
      LFolders.push_back(LFolder.FLocation);
  return LFolders;
}

// ---------------------------------------------------------------------------
// Names

QDateTime TCliFileBatch::ItemTime(int APosition) const {
  const TIdentity &LIdentity = IdentityOf(APosition);
  return LIdentity.FModifiedMSecs != KNoTime
             ? platform::LocalDateTimeFromMSecs(LIdentity.FModifiedMSecs)
             : ZeroDateTime();
}

namespace {

// What a mask's callbacks are given: the batch and the file's position.
struct TTokenContext {
  const TCliFileBatch *FBatch;
  int FPosition;
};

} // namespace

void TCliFileBatch::ApplyRecipe(const TNameRecipe &ARecipe) {
  FPlanned = false;
  const nameedits::TSearchReplace LSearch(ARecipe.FSearch, ARecipe.FReplace, ARecipe.FRegex,
                                          ARecipe.FMatchCase);
  TNameBuffer LName;
  TNameBuffer LExt;
  uint16_t LNotes = 0;
  for (int i = 0; i < Count(); ++i) {
    TItem &LItem = FItems[static_cast<size_t>(i)];
    const QStringView LOld = LItem.Old();
    // A leading "." starts no extension.
    const qsizetype LDot = LOld.lastIndexOf(QLatin1Char('.'));
    const TTokenContext LContext{this, i};
    masks::TTokenSource LSource;
    LSource.FKind = masks::TItemKind::File;
    LSource.FOldName = LDot <= 0 ? LOld : LOld.first(LDot);
    LSource.FOldExt = LDot <= 0 ? QStringView() : LOld.sliced(LDot + 1);
    LSource.FCounterValue = nameedits::CounterValue(ARecipe.FCounterStart, ARecipe.FCounterStep, i);
    LSource.FCounterDigits = ARecipe.FCounterDigits;
    LSource.FItemTime = [](const void *AContext) {
      const auto *LFile = static_cast<const TTokenContext *>(AContext);
      return LFile->FBatch->ItemTime(LFile->FPosition);
    };
    LSource.FItemTimeContext = &LContext;
    LSource.FItemPath = [](const void *AContext) {
      const auto *LFile = static_cast<const TTokenContext *>(AContext);
      return LFile->FBatch->OldPath(LFile->FPosition);
    };
    LSource.FMetadata = &FMetadata;
    LSource.FNotes = &LNotes;
    LName.clear();
    masks::ScanMask(ARecipe.FNameMask, masks::TMaskPart::Name, LSource, LName);
    LSource.FNotes = nullptr;
    LExt.clear();
    LExt.append(QLatin1Char('.'));
    masks::ScanMask(ARecipe.FExtMask, masks::TMaskPart::Extension, LSource, LExt);
    if (!LSearch.IsActive() && ARecipe.FCase == TCaseRule::None) {
      // The common case makes no text on the way. An extension of "." alone
      // is left out: the file ends up without one.
      if (LExt.size() == 1)
        LExt.clear();
      LName.append(LExt.constData(), LExt.size());
      LItem.FNew = Keep(QStringView(LName.constData(), LName.size()));
      LItem.FNewSize = static_cast<uint32_t>(LName.size());
      continue;
    }
    QString LNewName(LName.constData(), LName.size());
    QString LNewExt(LExt.constData(), LExt.size());
    if (LSearch.IsActive()) {
      // Over the name with its extension, split again at the last dot: a
      // result without one is the name and the extension stays; one whose
      // only dot leads it is the name without an extension.
      const QString LReplaced = LSearch.Apply(LNewName + LNewExt);
      const qsizetype LNewDot = LReplaced.lastIndexOf(QLatin1Char('.'));
      if (LNewDot < 0) {
        LNewName = LReplaced;
      } else if (LNewDot == 0) {
        LNewName = LReplaced;
        LNewExt.clear();
      } else {
        LNewExt = LReplaced.mid(LNewDot);
        LNewName = LReplaced.left(LNewDot);
      }
    }
    ApplyCase(ARecipe.FCase, LNewName, LNewExt);
    if (LNewExt == u".")
      LNewExt.clear();
    LNewName += LNewExt;
    LItem.FNew = Keep(LNewName);
    LItem.FNewSize = static_cast<uint32_t>(LNewName.size());
  }
}

// ---------------------------------------------------------------------------
// Order

namespace {

// A file's name without its extension; a leading "." starts none.
QStringView NameWithoutExtension(QStringView AName) {
  const qsizetype LDot = AName.lastIndexOf(QLatin1Char('.'));
  return LDot <= 0 ? AName : AName.first(LDot);
}

} // namespace

void TCliFileBatch::Sort(TSortKey AKey, bool ADown) {
  std::vector<uint32_t> LOrder;
  if (IsColumnKey(AKey)) {
    LOrder = SortOrderAZ(
        FItems.size(),
        [&](size_t AIndex) {
          const TItem &LItem = FItems[AIndex];
          return NameWithoutExtension(AKey == TSortKey::NewName ? LItem.New() : LItem.Old());
        },
        AKey == TSortKey::Location ? std::function<QStringView(size_t)>([&](size_t AIndex) {
          return QStringView(FolderOf(FItems[AIndex]).FLocation);
        })
                                   : nullptr,
        ADown);
  } else {
    // Each value taken once; equal values keep their order either way.
    std::vector<int64_t> LValues(FItems.size());
    for (size_t i = 0; i < FItems.size(); ++i) {
      const int LPosition = static_cast<int>(i);
      if (AKey == TSortKey::Size) {
        LValues[i] = IdentityOf(LPosition).FSize;
      } else if (AKey == TSortKey::Modified) {
        LValues[i] = IdentityOf(LPosition).FModifiedMSecs;
      } else {
        // As [EXIF:] gives it: the date written in the file, else the file's
        // own time in local time, both compared by their figures (an Exif
        // date carries no time zone).
        std::optional<QDateTime> LTaken;
        if (metadata::PhotoMetadataAvailable())
          LTaken = FMetadata.PhotoInfo(metadata::NativePathBytes(OldPath(LPosition))).FTaken;
        const QDateTime LTime = LTaken ? *LTaken : ItemTime(LPosition);
        const QDateTime LFigures(LTime.date(), LTime.time(), Qt::UTC);
        LValues[i] = LFigures.isValid() ? LFigures.toMSecsSinceEpoch() : INT64_MIN;
      }
    }
    LOrder.resize(FItems.size());
    for (size_t i = 0; i < LOrder.size(); ++i)
      LOrder[i] = static_cast<uint32_t>(i);
    std::stable_sort(LOrder.begin(), LOrder.end(), [&](uint32_t ALeft, uint32_t ARight) {
      return ADown ? LValues[ALeft] > LValues[ARight] : LValues[ALeft] < LValues[ARight];
    });
  }
  // The items, and what is kept by position, in the new order.
  std::vector<TItem> LItems;
  LItems.reserve(FItems.size());
  for (const uint32_t LIndex : LOrder)
    LItems.push_back(FItems[LIndex]);
  FItems = std::move(LItems);
  if (!FIdentities.empty()) {
    std::vector<TIdentity> LIdentities;
    LIdentities.reserve(FIdentities.size());
    for (const uint32_t LIndex : LOrder)
      LIdentities.push_back(FIdentities[LIndex]);
    FIdentities = std::move(LIdentities);
  }
  // Each folder's runs of positions, and its names, made again.
  for (TFolder &LFolder : FFolders) {
    LFolder.FRuns.clear();
    LFolder.FNames.reset();
  }
  for (size_t i = 0; i < FItems.size(); ++i) {
    auto &LRuns = FFolders[FItems[i].FFolder].FRuns;
    const auto LPosition = static_cast<uint32_t>(i);
    if (!LRuns.empty() && LRuns.back().second == LPosition)
      ++LRuns.back().second;
    else
      LRuns.emplace_back(LPosition, LPosition + 1);
  }
  FFailures.clear();
  FPlanned = false;
}

// ---------------------------------------------------------------------------
// The plan

// The files as the planner reads them: from the old name to the new one.
class TCliFileBatch::TSource : public TPlanSource {
public:
  explicit TSource(TCliFileBatch &ABatch) : FBatch(ABatch) {}
  int Count() const override { return FBatch.Count(); }
  bool IsFolderList() const override { return false; }
  QStringView FolderOf(int AItem) const override {
    return FBatch.FolderOf(FBatch.Item(AItem)).FLocation;
  }
  TNameParts FromName(int AItem) const override { return TNameParts{FBatch.OldName(AItem), {}}; }
  TNameParts ToName(int AItem) const override { return TNameParts{FBatch.TargetName(AItem), {}}; }
  // Every file of a folder has the folder's number.
  int &FolderSlot(int AItem) override {
    return FBatch.FFolders[FBatch.Item(AItem).FFolder].FPlanSlot;
  }
  bool ListedNames(int AItem, const std::function<void(QStringView AName)> &AName) override {
    const TFolder &LFolder = FBatch.FFolders[FBatch.Item(AItem).FFolder];
    if (LFolder.FListedBy < 0)
      return false;
    for (const auto &[LFrom, LTo] : LFolder.FRuns)
      for (uint32_t i = LFrom; i < LTo; ++i)
        AName(FBatch.FItems[i].Old());
    for (const QString &LName : LFolder.FOtherNames)
      AName(LName);
    return true;
  }

private:
  TCliFileBatch &FBatch;
};

const TPlan &TCliFileBatch::Plan() {
  if (!FPlanned) {
    // One plan is all a run makes: the planner's tables go with it.
    TRenamePlanner LPlanner;
    TSource LSource(*this);
    LPlanner.Plan(LSource);
    FPlan = LPlanner.TakePlan();
    FPlanned = true;
  }
  return FPlan;
}

// ---------------------------------------------------------------------------
// The Rename

void TCliFileBatch::SetFailure(int APosition, const QString &AReason) {
  FFailures[APosition] = AReason;
}

QString TCliFileBatch::Failure(int APosition) const {
  const auto LFound = FFailures.find(APosition);
  return LFound == FFailures.end() ? QString() : LFound->second;
}

// How the files move for the executor: each move is one no-replace rename,
// the entry having been read once when it was found. A file that has gone
// since fails with the rename's own answer ("File not exist").
class TCliFileBatch::THost : public TPlanHost {
public:
  explicit THost(TCliFileBatch &ABatch) : FBatch(ABatch) {}

  bool Move(int AItem) override {
    TItem &LItem = Item(AItem);
    const QString LName = LItem.New().toString();
    // A name that would leave the folder (a delimiter, "..") or that no file
    // can carry fails without touching the disk.
    if (platform::IsInvalidEntryName(LName)) {
      FBatch.SetFailure(AItem, rs::InvalidFileName);
      return false;
    }
    // The common move in the folder held open; anything else, and every
    // move that fails there, as the path's own move says.
    if (MovedWithin(LItem)) {
      LItem.FRenamed = true;
      return true;
    }
    return Done(AItem, platform::MoveNoReplace(FBatch.PathInFolder(LItem.FFolder, LItem.Old()),
                                               FBatch.PathInFolder(LItem.FFolder, LName)));
  }
  bool MoveToTemporary(int AItem, QString &ATemporary) override {
    TItem &LItem = Item(AItem);
    // Only the temporary name of the plan: it was recorded before the move.
    const QString LSource = FBatch.PathInFolder(LItem.FFolder, LItem.Old());
    ATemporary = FBatch.PathInFolder(LItem.FFolder, ATemporary);
    const platform::TMoveResult LMove = platform::MoveNoReplace(LSource, ATemporary);
    if (!LMove.FOk)
      FBatch.SetFailure(AItem, MoveFailureReason(LMove, false));
    return LMove.FOk;
  }
  bool MoveFromTemporary(int AItem, const QString &ATemporary) override {
    TItem &LItem = Item(AItem);
    return Done(AItem, platform::MoveNoReplace(ATemporary,
                                               FBatch.PathInFolder(LItem.FFolder, LItem.New())));
  }
  void MoveBack(int AItem) override {
    TItem &LItem = Item(AItem);
    const platform::TMoveResult LMove =
        platform::MoveNoReplace(FBatch.PathInFolder(LItem.FFolder, LItem.New()),
                                FBatch.PathInFolder(LItem.FFolder, LItem.Old()));
    LItem.FRenamed = !LMove.FOk;
    if (!LMove.FOk)
      FBatch.SetFailure(AItem, MoveFailureReason(LMove, false));
  }
  void RestoreFromTemporary(int AItem, const QString &ATemporary) override {
    TItem &LItem = Item(AItem);
    const platform::TMoveResult LMove =
        platform::MoveNoReplace(ATemporary, FBatch.PathInFolder(LItem.FFolder, LItem.Old()));
    if (!LMove.FOk)
      FBatch.SetFailure(AItem, MoveFailureReason(LMove, false));
  }
  // An item with a conflict fails as its plan says, and nothing moves; an
  // entry that holds its new name now is named as a failed move names it.
  bool Attempt(int AItem, const TPlanEntry &AEntry) override {
    const TItem &LItem = Item(AItem);
    if (AEntry.FStatus != TPlanStatus::InvalidName &&
        platform::EntryExists(FBatch.PathInFolder(LItem.FFolder, LItem.New())))
      FBatch.SetFailure(AItem, rs::FileAlreadyExists);
    else
      FBatch.SetFailure(AItem, PlanReason(AEntry, false));
    return false;
  }
  void CycleFailed(int AItem, int AFailedItem) override {
    FBatch.SetFailure(AItem, rs::FormatMessage(rs::SwapFailed, {AFailedItem + 1}));
  }

private:
  TItem &Item(int AItem) { return FBatch.FItems[static_cast<size_t>(AItem)]; }
  // Moves the item from its old name to its new one in its folder, opened
  // once for all its items; false when that did not move it.
  bool MovedWithin(const TItem &AItem) {
    if (!FOpen || FOpenFolder != AItem.FFolder) {
      QByteArray LFolder;
      FOpen.reset();
      if (platform::EncodeNativePath(FBatch.FFolders[AItem.FFolder].FPrefix, LFolder))
        FOpen = std::make_unique<platform::TOpenFolder>(LFolder, true);
      FOpenFolder = AItem.FFolder;
    }
    return FOpen && FOpen->IsOpen() && platform::EncodeUtf8Lossless(AItem.Old(), FFrom) &&
           platform::EncodeUtf8Lossless(AItem.New(), FTo) &&
           FOpen->MoveWithin(FFrom.constData(), FTo.constData());
  }
  bool Done(int AItem, const platform::TMoveResult &AMove) {
    Item(AItem).FRenamed = AMove.FOk;
    if (!AMove.FOk)
      FBatch.SetFailure(AItem, MoveFailureReason(AMove, false));
    return AMove.FOk;
  }
  TCliFileBatch &FBatch;
  std::unique_ptr<platform::TOpenFolder> FOpen;
  uint32_t FOpenFolder = 0;
  QByteArray FFrom; // the names' bytes
  QByteArray FTo;
};

int TCliFileBatch::Execute(TJournal *AJournal) {
  const TPlan &LPlan = Plan();
  THost LHost(*this);
  // Each file is read in its folder, open while its steps are described:
  // the steps of one folder mostly follow each other.
  std::unique_ptr<platform::TOpenFolder> LOpen;
  uint32_t LOpenFolder = 0;
  QByteArray LName;
  const auto LIdentityOf = [&](int AItem) {
    if (!FIdentities.empty())
      return IdentityOf(AItem);
    const TItem &LItem = Item(AItem);
    if (!LOpen || LOpenFolder != LItem.FFolder) {
      QByteArray LFolder;
      LOpen.reset();
      if (platform::EncodeNativePath(FFolders[LItem.FFolder].FPrefix, LFolder))
        LOpen = std::make_unique<platform::TOpenFolder>(LFolder, true);
      LOpenFolder = LItem.FFolder;
    }
    if (!LOpen || !LOpen->IsOpen() || !platform::EncodeNativePath(LItem.Old().toString(), LName))
      return ReadIdentity(AItem);
    const platform::TEntryFacts LFacts = LOpen->FactsOf(LName.constData());
    // As ReadIdentity reads it.
    TIdentity LIdentity;
    LIdentity.FSize = !LFacts.FExists ? -1 : LFacts.FIsFolder ? 0 : LFacts.FSize;
    LIdentity.FModifiedMSecs =
        LFacts.FExists && !LFacts.FIsFolder ? LFacts.FModifiedMSecs : KNoTime;
    LIdentity.FDevice = LFacts.FDevice;
    LIdentity.FInode = LFacts.FInode;
    return LIdentity;
  };
  TBatchRun LRun;
  LRun.FJournal = AJournal;
  LRun.FKind = TBatchKind::Files;
  int LFailed = RunBatch(
      LRun, LPlan, LHost,
      [this, &LPlan, &LIdentityOf](const TPlanStep &AStep) {
        // The journal numbers the files by their positions. The names are
        // the store's own, written out without a copy.
        const TItem &LItem = Item(AStep.FItem);
        // Each entry is read here, before anything moves, unless a mask
        // read it already: once either way.
        const TIdentity LIdentity = LIdentityOf(AStep.FItem);
        TJournalStep LStep;
        LStep.FDevice = LIdentity.FDevice;
        LStep.FInode = LIdentity.FInode;
        LStep.FSize = LIdentity.FSize;
        LStep.FModifiedNs =
            LIdentity.FModifiedMSecs == KNoTime ? 0 : LIdentity.FModifiedMSecs * 1000000;
        LStep.FItem = AStep.FItem;
        LStep.FFrom = AStep.FKind == TStepKind::FromTemporary
                          ? LPlan.TemporaryName(AStep)
                          : QString::fromRawData(LItem.FOld, LItem.FOldSize);
        LStep.FTo = AStep.FKind == TStepKind::ToTemporary
                        ? LPlan.TemporaryName(AStep)
                        : QString::fromRawData(LItem.FNew, LItem.FNewSize);
        return LStep;
      },
      [this](const TPlanStep &AStep) { return FolderOf(Item(AStep.FItem)).FLocation; });
  LOpen.reset();
  FBatchError = LRun.FError;
  FJournalError = LRun.FJournalError;
  if (LFailed < 0)
    return -1;
  // An unchanged file counts as renamed while it is still there, as a move
  // onto its own name does; one whose entry has gone fails as any other.
  for (int i = 0; i < Count(); ++i) {
    if (LPlan.FEntries[static_cast<size_t>(i)].FStatus != TPlanStatus::Unchanged)
      continue;
    TItem &LItem = FItems[static_cast<size_t>(i)];
    LItem.FRenamed = platform::NonFolderEntryExists(PathInFolder(LItem.FFolder, LItem.Old()));
    if (!LItem.FRenamed) {
      SetFailure(i, rs::FileNotExist);
      ++LFailed;
    }
  }
  return LFailed;
}
