#include "uFileInfo.h"

#include "platform/uPlatformFs.h"
#include "uFolderWalk.h"
#include "uJournal.h"
#include "uNameEdits.h"
#include "uProgramFiles.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uZeroDate.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

enum : uint8_t {
  KReadOnly = 1,
  KArchive = 2,
  KHidden = 4,
  KSystem = 8,
  KAllAttributes = KReadOnly | KArchive | KHidden | KSystem
};

uint8_t AttributeBitsOf(const platform::TPathInfo &AInfo) {
  // An entry that cannot be read reports every attribute, as the platform's
  // attribute query does.
  if (!AInfo.FExists)
    return KAllAttributes;
  return static_cast<uint8_t>((AInfo.FReadOnly ? KReadOnly : 0) | (AInfo.FArchive ? KArchive : 0) |
                              (AInfo.FHidden ? KHidden : 0) | (AInfo.FSystem ? KSystem : 0));
}

QString AttributeText(uint8_t ABits) {
  const QChar LDash = QLatin1Char('-');
  QString LText(4, LDash);
  if (ABits & KReadOnly)
    LText[0] = QLatin1Char('r');
  if (ABits & KArchive)
    LText[1] = QLatin1Char('a');
  if (ABits & KHidden)
    LText[2] = QLatin1Char('h');
  if (ABits & KSystem)
    LText[3] = QLatin1Char('a');
  return LText;
}

} // namespace

namespace {

// ATarget := ABuffer, in the allocation ATarget already has when it is its
// own and large enough: re-applying a mask then costs no allocation.
void AssignText(QString &ATarget, const TNameBuffer &ABuffer) {
  ATarget.resize(ABuffer.size());
  std::copy(ABuffer.cbegin(), ABuffer.cend(), ATarget.data());
}

} // namespace

// ---------------------------------------------------------------------------
// TFileInfo

TFileInfo::TFileInfo(const QString &AFullFileName, TUnread) : FFullFileName(AFullFileName) {
  FNameStart = static_cast<int32_t>(platform::ExtractNameStart(FFullFileName));
  // A leading "." does not start an extension: ".bashrc" has none,
  // ".config.json" the extension "json".
  const qsizetype LDot = OldNameView().lastIndexOf(QLatin1Char('.'));
  FExtDot = LDot <= 0 ? -1 : static_cast<int32_t>(FNameStart + LDot);
}

TFileInfo::TFileInfo(const QString &AFullFileName) : TFileInfo(AFullFileName, TUnread{}) {
  // One stat of the entry itself gives size, time, attributes and identity:
  // a link is renamed as the link it is, never followed.
  const platform::TPathInfo LInfo = platform::StatEntryNoLocalTime(FFullFileName);
  FSize = !LInfo.FExists ? -1 : LInfo.FIsDirectory ? 0 : LInfo.FSize;
  FDateValid = LInfo.FExists && !LInfo.FIsDirectory;
  FDateMSecs = FDateValid ? LInfo.FModifiedMSecs : 0;
  FAttributeBits = AttributeBitsOf(LInfo);
  FDevice = LInfo.FDevice;
  FInode = LInfo.FInode;
}

const QString &TFileInfo::NewName() const {
  if (!FNewNameMade) {
    FNewName = DelFileExt();
    FNewNameMade = true;
  }
  return FNewName;
}

void TFileInfo::SetNewName(const QString &AValue) {
  FNewName = AValue;
  FNewNameMade = true;
}

const QString &TFileInfo::NewFileType() const {
  if (!FNewFileTypeMade) {
    FNewFileType = FileType();
    FNewFileTypeMade = true;
  }
  return FNewFileType;
}

void TFileInfo::SetNewFileType(const QString &AValue) {
  FNewFileType = AValue;
  FNewFileTypeMade = true;
}

QString TFileInfo::DelFileExt() const {
  const qsizetype LEnd = FExtDot < 0 ? FFullFileName.size() : FExtDot;
  return FFullFileName.mid(FNameStart, LEnd - FNameStart);
}

QString TFileInfo::Location() const {
  return platform::ExtractLocation(FFullFileName);
}

QString TFileInfo::NameExtDistribution(const QString &ANameExtStr) {
  const qsizetype LDot = ANameExtStr.lastIndexOf(QLatin1Char('.'));
  if (LDot < 0)
    return ANameExtStr;
  // A leading "." starts no extension: the text is a name without one.
  if (LDot == 0) {
    SetNewFileType(QString());
    return ANameExtStr;
  }
  SetNewFileType(ANameExtStr.mid(LDot));
  return ANameExtStr.left(LDot);
}

QString TFileInfo::GetDigitNumber(int ANumber) const {
  return nameedits::CounterText(ANumber, CntDigitNumber());
}

masks::TTokenSource TFileInfo::TokenSource(int ACounterIndex) const {
  masks::TTokenSource LSource;
  LSource.FKind = masks::TItemKind::File;
  LSource.FOldName =
      OldNameView().first((FExtDot < 0 ? FFullFileName.size() : FExtDot) - FNameStart);
  LSource.FOldExt = FileTypeView();
  LSource.FCounterValue = nameedits::CounterValue(CounterStart(), CounterStep(), ACounterIndex);
  LSource.FCounterDigits = CntDigitNumber();
  LSource.FItemTime = [](const void *AItem) {
    return static_cast<const TFileInfo *>(AItem)->Date();
  };
  LSource.FItemTimeContext = this;
  LSource.FItemPath = [](const void *AItem) {
    return static_cast<const TFileInfo *>(AItem)->CurrentPath();
  };
  return LSource;
}

QString TFileInfo::CurrentPath() const {
  return isRenamed() ? PathInFolder(TargetName()) : FFullFileName;
}

int TFileInfo::CheckSpecialSumbol(const QString &ANameMask, int ACounter) {
  if (ACounter < 1 || ACounter > ANameMask.size())
    return 1;
  TNameBuffer LOut;
  const qsizetype LConsumed =
      masks::ScanStep(ANameMask, ACounter - 1, masks::TMaskPart::Name, TokenSource(Index()), LOut);
  NewName();
  FNewName.append(LOut.constData(), LOut.size());
  return static_cast<int>(LConsumed);
}

int TFileInfo::CheckSpecialSumbolExt(const QString &AExtMask, int ACounter, int AFListCounter) {
  if (ACounter < 1 || ACounter > AExtMask.size())
    return 1;
  TNameBuffer LOut;
  const qsizetype LConsumed = masks::ScanStep(AExtMask, ACounter - 1, masks::TMaskPart::Extension,
                                              TokenSource(AFListCounter), LOut);
  NewFileType();
  FNewFileType.append(LOut.constData(), LOut.size());
  return static_cast<int>(LConsumed);
}

// The scans build the new text in a buffer on the stack and make one string
// of it at the end: masks are applied to every item of large lists.
void TFileInfo::FileNameMaskApply(const QString &ANameMask, metadata::TMetadataCache *ACache) {
  TNameBuffer LName;
  masks::TTokenSource LSource = TokenSource(Index());
  LSource.FMetadata = ACache;
  FMetadataNotes = 0;
  LSource.FNotes = &FMetadataNotes;
  masks::ScanMask(ANameMask, masks::TMaskPart::Name, LSource, LName);
  AssignText(FNewName, LName);
  FNewNameMade = true;
}

void TFileInfo::FileExtMaskApply(const QString &AExtMask) {
  TNameBuffer LExt;
  LExt.append(QLatin1Char('.'));
  masks::ScanMask(AExtMask, masks::TMaskPart::Extension, TokenSource(Index()), LExt);
  AssignText(FNewFileType, LExt);
  FNewFileTypeMade = true;
}

void TFileInfo::SetLowercase() {
  SetNewName(nameedits::ToLowerUnits(NewName()));
  SetNewFileType(nameedits::ToLowerUnits(NewFileType()));
}

void TFileInfo::SetUppercase() {
  SetNewName(nameedits::ToUpperUnits(NewName()));
  SetNewFileType(nameedits::ToUpperUnits(NewFileType()));
}

void TFileInfo::SetFirstLetterUp() {
  SetNewName(nameedits::FirstLetterUp(NewName()));
}

void TFileInfo::SetAllFirstUp() {
  SetNewName(nameedits::AllFirstUp(NewName()));
}

QString TFileInfo::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  const QString LReplaced =
      nameedits::SearchReplace(NewName() + NewFileType(), ASearcStr, AReplaceStr);
  SetNewName(NameExtDistribution(LReplaced));
  return QString();
}

void TFileInfo::ApplySearch(const nameedits::TSearchReplace &ASearch) {
  SetNewName(NameExtDistribution(ASearch.Apply(NewName() + NewFileType())));
}

QString TFileInfo::TargetName() const {
  // A name keeps a trailing dot here: an extension that is only "." is left
  // out, so that the file ends up without an extension.
  if (NewFileType() == u".")
    return NewName();
  return NewName() + NewFileType();
}

QString TFileInfo::PathInFolder(QStringView AName) const {
  // Location, a delimiter and AName: that is the old path up to where its
  // name begins, followed by AName.
  QString LPath;
  LPath.reserve(FNameStart + AName.size());
  LPath.append(QStringView(FFullFileName).first(FNameStart));
  LPath.append(AName);
  return LPath;
}

int TFileInfo::TFileInfoRenameFile() {
  try {
    if (!platform::NonFolderEntryExists(FFullFileName)) {
      SetRenameErrorText(rs::FileNotExist);
      SetisRenamed(false);
      return 1;
    }
    // A name that would leave the folder (a delimiter, "..") or that no file
    // can carry fails without touching the disk.
    const QString LName = TargetName();
    if (platform::IsInvalidEntryName(LName)) {
      SetRenameErrorText(rs::InvalidFileName);
      SetisRenamed(false);
      return 1;
    }
    const platform::TMoveResult LMove = platform::MoveNoReplace(FFullFileName, PathInFolder(LName));
    SetisRenamed(LMove.FOk);
    if (!LMove.FOk)
      SetRenameErrorText(MoveFailureReason(LMove, false));
    return LMove.FOk ? 0 : 1;
  } catch (const std::exception &AException) {
    KeepException(AException);
  } catch (...) {
    KeepUnknownException();
  }
  SetisRenamed(false);
  return 1;
}

int TFileInfo::RollbackFile() {
  try {
    const QString LName = TargetName();
    // The same guard as the rename: never fetch a file from outside the folder.
    if (platform::IsInvalidEntryName(LName)) {
      SetisRenamed(true);
      return 1;
    }
    const platform::TMoveResult LMove = platform::MoveNoReplace(PathInFolder(LName), FFullFileName);
    SetisRenamed(!LMove.FOk);
    if (!LMove.FOk)
      SetRenameErrorText(MoveFailureReason(LMove, false));
    return LMove.FOk ? 0 : 1;
  } catch (const std::exception &AException) {
    KeepException(AException);
  } catch (...) {
    KeepUnknownException();
  }
  SetisRenamed(true);
  return 1;
}

TNameParts TFileInfo::TargetNameParts() const {
  const QString &LType = NewFileType();
  if (LType.size() == 1 && LType.front() == u'.')
    return TNameParts{NewName(), {}};
  return TNameParts{NewName(), LType};
}

TNameParts TFileInfo::CurrentNameParts() const {
  return isRenamed() ? TargetNameParts() : TNameParts{OldNameView(), {}};
}

QString TFileInfo::GetAttributes(const QString &AFullFileName) {
  return AttributeText(AttributeBitsOf(platform::StatPathNoLocalTime(AFullFileName)));
}

QString TFileInfo::SizeStr() const {
  return QString::number(FSize) + QStringLiteral(" bytes");
}

QDateTime TFileInfo::Date() const {
  return FDateValid ? platform::LocalDateTimeFromMSecs(FDateMSecs) : ZeroDateTime();
}

QString TFileInfo::Attributes() const {
  return AttributeText(FAttributeBits);
}

// ---------------------------------------------------------------------------
// TFilePathIndex

namespace {

uint32_t PathHash(QStringView APath) {
  return static_cast<uint32_t>(qHash(APath));
}

// The tag of a used slot: seven high bits of the hash, never 0 or 1.
uint8_t TagOf(uint32_t AHash) {
  return static_cast<uint8_t>(2 + (AHash >> 25));
}

} // namespace

void TFilePathIndex::Rebuild(size_t ACapacity) {
  std::vector<uint8_t> LOldTags = std::move(FTags);
  std::vector<TSlot> LOldSlots = std::move(FSlots);
  FTags.assign(ACapacity, KEmpty);
  FSlots.assign(ACapacity, TSlot());
  FTaken = FLive;
  const size_t LMask = ACapacity - 1;
  for (size_t i = 0; i < LOldTags.size(); ++i) {
    if (LOldTags[i] < 2)
      continue;
    size_t LPos = LOldSlots[i].FHash & LMask;
    while (FTags[LPos] != KEmpty)
      LPos = (LPos + 1) & LMask;
    FTags[LPos] = LOldTags[i];
    FSlots[LPos] = LOldSlots[i];
  }
}

void TFilePathIndex::Insert(const TFileInfo *AItem) {
  // At most half the slots in use or deleted, so that every probe ends soon.
  if ((FTaken + 1) * 2 > FTags.size()) {
    size_t LCapacity = 16;
    while ((FLive + 1) * 4 > LCapacity)
      LCapacity *= 2;
    Rebuild(LCapacity);
  }
  const uint32_t LHash = PathHash(AItem->FullFileName());
  const size_t LMask = FTags.size() - 1;
  size_t LPos = LHash & LMask;
  while (FTags[LPos] >= 2)
    LPos = (LPos + 1) & LMask;
  if (FTags[LPos] == KEmpty)
    ++FTaken;
  FTags[LPos] = TagOf(LHash);
  FSlots[LPos] = TSlot{AItem, LHash};
  ++FLive;
}

void TFilePathIndex::Remove(const TFileInfo *AItem) {
  if (FTags.empty())
    return;
  const uint32_t LHash = PathHash(AItem->FullFileName());
  const uint8_t LTag = TagOf(LHash);
  const size_t LMask = FTags.size() - 1;
  for (size_t LPos = LHash & LMask; FTags[LPos] != KEmpty; LPos = (LPos + 1) & LMask) {
    if (FTags[LPos] == LTag && FSlots[LPos].FItem == AItem) {
      FTags[LPos] = KDeleted;
      FSlots[LPos] = TSlot();
      --FLive;
      return;
    }
  }
}

bool TFilePathIndex::Contains(QStringView APath) const {
  if (FTags.empty())
    return false;
  const uint32_t LHash = PathHash(APath);
  const uint8_t LTag = TagOf(LHash);
  const size_t LMask = FTags.size() - 1;
  for (size_t LPos = LHash & LMask; FTags[LPos] != KEmpty; LPos = (LPos + 1) & LMask)
    if (FTags[LPos] == LTag && FSlots[LPos].FHash == LHash &&
        FSlots[LPos].FItem->FullFileName() == APath)
      return true;
  return false;
}

void TFilePathIndex::Clear() {
  FTags.clear();
  FSlots.clear();
  FLive = 0;
  FTaken = 0;
}

// ---------------------------------------------------------------------------
// TFileList

int TFileList::Add(std::unique_ptr<TFileInfo> AItem) {
  FPaths.Insert(&Emplace(std::move(*AItem)));
  return Count() - 1;
}

void TFileList::AddPath(const QString &AFullFileName) {
  FPaths.Insert(&Emplace(AFullFileName));
}

void TFileList::ItemLeaving(TRenameItem &AItem) {
  FPaths.Remove(&Of(AItem));
}

void TFileList::ListCleared() {
  FPaths.Clear();
  FMetadata.Clear();
}

void TFileList::Sort(const std::function<bool(const TFileInfo &, const TFileInfo &)> &ALess) {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [&ALess](const TRenameItem *ALeft, const TRenameItem *ARight) {
                     return ALess(Of(*ALeft), Of(*ARight));
                   });
}

void TFileList::Sort(const TFileSortLess &ALess) {
  TRenameList::Sort(ALess.FKey == TFileSortKey::NewName    ? TSortKey::NewName
                    : ALess.FKey == TFileSortKey::Location ? TSortKey::Location
                                                           : TSortKey::OldName,
                    ALess.FDown);
}

bool TFileList::CheckInList(const QString &AFullFileName) const {
  return !FPaths.Contains(AFullFileName);
}

TAddOutcome TFileList::AddFiles(const std::vector<TAddSource> &ASources,
                                const TProgress *AProgress) {
  TAddOutcome LOutcome;
  const auto LStopped = [AProgress] {
    return AProgress != nullptr && AProgress->StopRequested();
  };
  QStringList LFiles;
  for (const TAddSource &LSource : ASources) {
    QString LPath = LSource.FPath;
    if (LSource.FFolder) { // a walk gives every name with its bytes
      LFiles.append(CollectFolderFiles(LPath, AProgress, &LOutcome.FUnreadable));
    } else if (const QString LReason = platform::UnreachableReason(LPath); !LReason.isEmpty()) {
      // There, but on a way that may not be searched.
      LOutcome.FUnreadable.push_back({LPath, LReason});
    } else if (ResolveChosenPath(LPath)) {
      LFiles.append(LPath);
    } else {
      ++LOutcome.FNotAdded;
    }
    if (LStopped()) {
      LOutcome.FFound = static_cast<int>(LFiles.size()) + LOutcome.FNotAdded;
      LOutcome.FStopped = true;
      return LOutcome;
    }
  }
  LOutcome.FFound = static_cast<int>(LFiles.size()) + LOutcome.FNotAdded;
  const int LPosition = Count();
  const TProgramPaths LProgram = TProgramPaths::OfTheRun();
  FItems.reserve(FItems.size() + static_cast<size_t>(LFiles.size()));
  for (qsizetype i = 0; i < LFiles.size(); ++i) {
    if (LStopped()) {
      Truncate(LPosition);
      LOutcome.FStopped = true;
      return LOutcome;
    }
    const QString &LPath = LFiles[i];
    if (LProgram.HoldsFile(LPath)) {
      LOutcome.FOwnFiles.push_back(LPath);
      ++LOutcome.FNotAdded;
    } else if (CheckInList(LPath)) {
      AddPath(LPath);
    } else {
      ++LOutcome.FNotAdded;
    }
    if (AProgress != nullptr)
      AProgress->Report(static_cast<int>(i) + 1, static_cast<int>(LFiles.size()), LPath);
  }
  return LOutcome;
}

QString TFileList::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  ForgetRecipe();
  for (int i = 0; i < Count(); ++i)
    Items(i)->SearchReplace_NewName(ASearcStr, AReplaceStr);
  return QString();
}

bool TFileList::GetIsCounterInNameMask() const {
  return FileNameMask().contains(u"[C]");
}

bool TFileList::GetisCounterInExtMask() const {
  return FileExtMask().contains(u"[C]");
}

void TFileList::SetFileNameMask(const QString &ANameMask, int APosition) {
  ApplyMaskAlone(masks::TMaskPart::Name, ANameMask, APosition);
}

void TFileList::SetFileExtMask(const QString &AExtMask, int APosition) {
  ApplyMaskAlone(masks::TMaskPart::Extension, AExtMask, APosition);
}

void TFileList::AddFileInfo(std::unique_ptr<TFileInfo> AFileInfo) {
  AFileInfo->SetIndex(Count());
  Add(std::move(AFileInfo));
}

// ---- What files supply to the list --------------------------------------

void TFileList::MakeNewName(TRenameItem &AItem, const TNameRecipe &ARecipe,
                            const nameedits::TSearchReplace &ASearch, TRecipePass &) {
  TFileInfo &LItem = Of(AItem);
  LItem.FileNameMaskApply(ARecipe.FNameMask, &FMetadata);
  LItem.FileExtMaskApply(ARecipe.FExtMask);
  if (ASearch.IsActive())
    LItem.ApplySearch(ASearch);
  ApplyCaseRule(LItem, ARecipe.FCase);
}

void TFileList::MakeMaskPart(TRenameItem &AItem, masks::TMaskPart APart, const QString &AMask,
                             TRecipePass &) {
  if (APart == masks::TMaskPart::Name)
    Of(AItem).FileNameMaskApply(AMask, &FMetadata);
  else
    Of(AItem).FileExtMaskApply(AMask);
}

QStringView TFileList::FolderOf(const TRenameItem &AItem) const {
  return LocationView(Of(AItem));
}

TNameParts TFileList::NameParts(const TRenameItem &AItem, TNameOf AWhich) const {
  switch (AWhich) {
  case TNameOf::Target:
    return Of(AItem).TargetNameParts();
  case TNameOf::Current:
    return Of(AItem).CurrentNameParts();
  case TNameOf::Old:
  case TNameOf::RenameFrom:
    // A Rename moves a file from its old name, whose key the planner keeps.
    break;
  }
  return TNameParts{Of(AItem).OldNameView(), {}};
}

uint64_t *TFileList::FromKeySlot(TRenameItem &AItem) {
  return &Of(AItem).PlanFromKeySlot();
}

int64_t TFileList::IdentitySize(const TRenameItem &AItem) const {
  return Of(AItem).Size();
}

QString TFileList::PathInFolder(const TRenameItem &AItem, QStringView AName) const {
  return Of(AItem).PathInFolder(AName);
}

bool TFileList::MoveItem(TRenameItem &AItem, bool ABack) {
  return (ABack ? Of(AItem).RollbackFile() : Of(AItem).TFileInfoRenameFile()) == 0;
}

platform::TMoveResult TFileList::MoveEntry(const QString &AFrom, const QString &ATo) {
  return platform::MoveNoReplace(AFrom, ATo);
}

void TFileList::BeginBatch(bool) {
  // Only a list that read metadata has any to forget.
  FWasRenamed.clear();
  if (FMetadata.IsEmpty())
    return;
  FWasRenamed.reserve(FItems.size());
  for (const TRenameItem *LItem : FItems)
    FWasRenamed.push_back(LItem->isRenamed());
}

void TFileList::EndBatch(bool) {
  // A file moved away from a path that another file of the list may take
  // next (a swap): what was read under either path no longer holds.
  for (size_t i = 0; i < FWasRenamed.size() && i < FItems.size(); ++i) {
    const TFileInfo &LItem = Of(*FItems[i]);
    if (LItem.isRenamed() == FWasRenamed[i])
      continue;
    FMetadata.Forget(metadata::NativePathBytes(LItem.FullFileName()));
    FMetadata.Forget(metadata::NativePathBytes(LItem.PathInFolder(LItem.TargetName())));
  }
  FWasRenamed.clear();
}

void TFileList::DescribeEntry(const TRenameItem &AItem, TJournalStep &AStep) const {
  const TFileInfo &LItem = Of(AItem);
  AStep.FDevice = LItem.Device();
  AStep.FInode = LItem.Inode();
  AStep.FSize = LItem.Size();
  AStep.FModifiedNs = LItem.ModifiedNs();
}

// ---- Metadata ----------------------------------------------------------------

uint8_t TFileList::MetadataNeeds(const TNameRecipe &ARecipe) {
  return masks::MetadataNeeds(ARecipe.FNameMask, masks::TMaskPart::Name, masks::TItemKind::File);
}

bool TFileList::HasMetadataNotes() const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->MetadataNotes() != 0)
      return true;
  return false;
}

namespace {

// What ARecipe's masks read that this build can read: photos, music.
std::pair<bool, bool> ReadableNeeds(uint8_t ANeeds) {
  return {(ANeeds & masks::mdPhoto) != 0 && metadata::PhotoMetadataAvailable(),
          (ANeeds & masks::mdMusic) != 0 && metadata::MusicMetadataAvailable()};
}

} // namespace

bool TFileList::NeedsMetadataRead(const TNameRecipe &ARecipe) const {
  const auto [LPhoto, LMusic] = ReadableNeeds(MetadataNeeds(ARecipe));
  if (!LPhoto && !LMusic)
    return false;
  for (int i = 0; i < Count(); ++i) {
    const QByteArray LPath = metadata::NativePathBytes(Items(i)->CurrentPath());
    if ((LPhoto && !FMetadata.HasPhotoInfo(LPath)) || (LMusic && !FMetadata.HasMusicTags(LPath)))
      return true;
  }
  return false;
}

bool TFileList::ReadMetadata(const TNameRecipe &ARecipe, TProgress *AProgress) {
  const auto [LPhoto, LMusic] = ReadableNeeds(MetadataNeeds(ARecipe));
  return ReadEveryFile(LPhoto, LMusic, AProgress);
}

bool TFileList::ReadEveryFile(bool APhoto, bool AMusic, TProgress *AProgress) {
  if (!APhoto && !AMusic)
    return true;
  const int LTotal = Count();
  for (int i = 0; i < LTotal; ++i) {
    if (AProgress && AProgress->StopRequested())
      return false;
    const TFileInfo &LItem = *Items(i);
    const QByteArray LPath = metadata::NativePathBytes(LItem.CurrentPath());
    if (APhoto)
      FMetadata.PhotoInfo(LPath);
    if (AMusic)
      FMetadata.MusicTags(LPath);
    if (AProgress)
      AProgress->Report(i + 1, LTotal, LItem.OldName());
  }
  return true;
}

bool TFileList::NeedsSortRead(TSortKey AKey) const {
  if (AKey != TSortKey::Taken || !metadata::PhotoMetadataAvailable())
    return false;
  for (int i = 0; i < Count(); ++i)
    if (!FMetadata.HasPhotoInfo(metadata::NativePathBytes(Items(i)->CurrentPath())))
      return true;
  return false;
}

bool TFileList::ReadSortKeys(TSortKey AKey, TProgress *AProgress) {
  return ReadEveryFile(AKey == TSortKey::Taken && metadata::PhotoMetadataAvailable(), false,
                       AProgress);
}

int64_t TFileList::SortValue(const TRenameItem &AItem, TSortKey AKey) {
  const TFileInfo &LFile = Of(AItem);
  switch (AKey) {
  case TSortKey::Size:
    return LFile.Size();
  case TSortKey::Modified:
    return LFile.ModifiedNs();
  case TSortKey::Taken: {
    // As [EXIF:] gives it: the date written in the file, else the file's
    // own time in local time. Both compare by their figures, since an Exif
    // date carries no time zone.
    std::optional<QDateTime> LTaken;
    if (metadata::PhotoMetadataAvailable())
      LTaken = FMetadata.PhotoInfo(metadata::NativePathBytes(LFile.CurrentPath())).FTaken;
    const QDateTime LTime = LTaken ? *LTaken : LFile.Date();
    const QDateTime LFigures(LTime.date(), LTime.time(), Qt::UTC);
    return LFigures.isValid() ? LFigures.toMSecsSinceEpoch() : std::numeric_limits<int64_t>::min();
  }
  default:
    return 0;
  }
}

// ---------------------------------------------------------------------------
// Sorting

QStringView LocationView(const TFileInfo &AFile) {
  // The same rule as the file's Location: the path up to its last delimiter,
  // which is dropped unless it is the root's own or follows another one.
  const QStringView LFull(AFile.FullFileName());
  const qsizetype LNameStart = LFull.size() - AFile.OldNameView().size();
  if (LNameStart <= 0)
    return {};
  const qsizetype LLast = LNameStart - 1;
  if (LFull[LLast] == platform::PathDelimiter() && LLast > 0 &&
      !platform::IsPathDelimiter(LFull[LLast - 1]))
    return LFull.first(LLast);
  return LFull.first(LLast + 1);
}

bool TFileSortLess::operator()(const TFileInfo &ALeft, const TFileInfo &ARight) const {
  const auto LKey = [this](const TFileInfo &AFile) {
    return TSortText{FKey == TFileSortKey::NewName ? QStringView(AFile.NewName())
                                                   : AFile.OldNameView(),
                     FKey == TFileSortKey::Location ? LocationView(AFile) : QStringView()};
  };
  return SortsBefore(LKey(ALeft), LKey(ARight), FDown);
}
