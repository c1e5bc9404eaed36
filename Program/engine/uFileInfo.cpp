#include "uFileInfo.h"

#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uNameEdits.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uZeroDate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>
#include <unordered_set>
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

QString UnknownExceptionText() {
  return QStringLiteral("unknown exception");
}

} // namespace

QString ExceptionTypeAndMessage(const std::exception &AException) {
  const char *LMangled = typeid(AException).name();
  int LStatus = 0;
  char *LDemangled = abi::__cxa_demangle(LMangled, nullptr, nullptr, &LStatus);
  QString LText = QString::fromUtf8(LStatus == 0 && LDemangled ? LDemangled : LMangled);
  std::free(LDemangled);
  return LText + QString::fromUtf8(AException.what());
}

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
  const qsizetype LDot = OldNameView().lastIndexOf(QLatin1Char('.'));
  FExtDot = LDot < 0 ? -1 : static_cast<int32_t>(FNameStart + LDot);
}

TFileInfo::TFileInfo(const QString &AFullFileName) : TFileInfo(AFullFileName, TUnread{}) {
  // One stat gives size, time and attributes.
  const platform::TPathInfo LInfo = platform::StatPathNoLocalTime(FFullFileName);
  FSize = !LInfo.FExists ? -1 : LInfo.FIsDirectory ? 0 : LInfo.FSize;
  FDateValid = LInfo.FExists && !LInfo.FIsDirectory;
  FDateMSecs = FDateValid ? LInfo.FModifiedMSecs : 0;
  FAttributeBits = AttributeBitsOf(LInfo);
  FDevice = LInfo.FDevice;
  FInode = LInfo.FInode;
}

TFileInfo::TFailureTexts &TFileInfo::FailureTexts() {
  if (!FFailureTexts)
    FFailureTexts = std::make_unique<TFailureTexts>();
  return *FFailureTexts;
}

const QString &TFileInfo::ExeptionText() const {
  static const QString LEmpty;
  return FFailureTexts ? FFailureTexts->FExeptionText : LEmpty;
}

const QString &TFileInfo::RenameErrorText() const {
  static const QString LEmpty;
  return FFailureTexts ? FFailureTexts->FRenameErrorText : LEmpty;
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
  SetNewFileType(ANameExtStr.mid(LDot));
  return ANameExtStr.left(LDot);
}

QString TFileInfo::GetDigitNumber(int ANumber) const {
  return nameedits::CounterText(ANumber, FCntDigitNumber);
}

masks::TTokenSource TFileInfo::TokenSource(int ACounterIndex) const {
  masks::TTokenSource LSource;
  LSource.FKind = masks::TItemKind::File;
  LSource.FOldName =
      OldNameView().first((FExtDot < 0 ? FFullFileName.size() : FExtDot) - FNameStart);
  LSource.FOldExt = FileTypeView();
  LSource.FCounterValue = nameedits::CounterValue(FCounterStart, FCounterStep, ACounterIndex);
  LSource.FCounterDigits = FCntDigitNumber;
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
  return FisRenamed ? PathInLocation(TargetName()) : FFullFileName;
}

int TFileInfo::CheckSpecialSumbol(const QString &ANameMask, int ACounter) {
  if (ACounter < 1 || ACounter > ANameMask.size())
    return 1;
  TNameBuffer LOut;
  const qsizetype LConsumed =
      masks::ScanStep(ANameMask, ACounter - 1, masks::TMaskPart::Name, TokenSource(FIndex), LOut);
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
  masks::TTokenSource LSource = TokenSource(FIndex);
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
  masks::ScanMask(AExtMask, masks::TMaskPart::Extension, TokenSource(FIndex), LExt);
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

QString TFileInfo::PathInLocation(const QString &AName) const {
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
    if (!platform::FileExists(FFullFileName)) {
      SetRenameErrorText(rs::FileNotExist);
      FisRenamed = false;
      return 1;
    }
    // A name that would leave the folder (a delimiter, "..") or that no file
    // can carry fails without touching the disk.
    const QString LName = TargetName();
    if (platform::IsInvalidEntryName(LName)) {
      SetRenameErrorText(rs::InvalidFileName);
      FisRenamed = false;
      return 1;
    }
    const platform::TMoveResult LMove =
        platform::MoveNoReplace(FFullFileName, PathInLocation(LName));
    FisRenamed = LMove.FOk;
    if (!LMove.FOk)
      SetRenameErrorText(MoveFailureReason(LMove, false));
    return FisRenamed ? 0 : 1;
  } catch (const std::exception &AException) {
    KeepExeptionText([&] { return ExceptionTypeAndMessage(AException); });
  } catch (...) {
    KeepExeptionText([] { return UnknownExceptionText(); });
  }
  FisRenamed = false;
  return 1;
}

int TFileInfo::RollbackFile() {
  try {
    const QString LName = TargetName();
    // The same guard as the rename: never fetch a file from outside the folder.
    if (platform::IsInvalidEntryName(LName)) {
      FisRenamed = true;
      return 1;
    }
    const platform::TMoveResult LMove =
        platform::MoveNoReplace(PathInLocation(LName), FFullFileName);
    FisRenamed = !LMove.FOk;
    if (!LMove.FOk)
      SetRenameErrorText(MoveFailureReason(LMove, false));
    return LMove.FOk ? 0 : 1;
  } catch (const std::exception &AException) {
    KeepExeptionText([&] { return ExceptionTypeAndMessage(AException); });
  } catch (...) {
    KeepExeptionText([] { return UnknownExceptionText(); });
  }
  FisRenamed = true;
  return 1;
}

TNameParts TFileInfo::TargetNameParts() const {
  const QString &LType = NewFileType();
  if (LType.size() == 1 && LType.front() == u'.')
    return TNameParts{NewName(), {}};
  return TNameParts{NewName(), LType};
}

TNameParts TFileInfo::CurrentNameParts() const {
  return FisRenamed ? TargetNameParts() : TNameParts{OldNameView(), {}};
}

bool TFileInfo::MoveEntry(const QString &APath, const QString &ATarget) {
  const platform::TMoveResult LMove = platform::MoveNoReplace(APath, ATarget);
  if (!LMove.FOk)
    SetRenameErrorText(MoveFailureReason(LMove, false));
  return LMove.FOk;
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
  FItems.push_back(std::move(AItem));
  FPaths.Insert(FItems.back().get());
  return Count() - 1;
}

void TFileList::Delete(int AIndex) {
  const auto LIt = FItems.begin() + AIndex;
  FPaths.Remove(LIt->get());
  FItems.erase(LIt);
}

void TFileList::Clear() {
  FPaths.Clear();
  FItems.clear();
  FPlanner.Reset();
  FMetadata.Clear();
}

void TFileList::Sort(const std::function<bool(const TFileInfo &, const TFileInfo &)> &ALess) {
  std::sort(FItems.begin(), FItems.end(),
            [&ALess](const std::unique_ptr<TFileInfo> &ALeft,
                     const std::unique_ptr<TFileInfo> &ARight) { return ALess(*ALeft, *ARight); });
}

void TFileList::Sort(const TFileSortLess &ALess) {
  // For Location an item compares by its folder, then by its name.
  const auto LItem = [this](size_t AIndex) -> const TFileInfo & {
    return *FItems[AIndex];
  };
  const std::vector<uint32_t> LOrder = SortOrderAZ(
      FItems.size(),
      [&](size_t AIndex) {
        return ALess.FKey == TFileSortKey::NewName ? QStringView(LItem(AIndex).NewName())
                                                   : LItem(AIndex).OldNameView();
      },
      ALess.FKey == TFileSortKey::Location ? std::function<QStringView(size_t)>([&](size_t AIndex) {
        return LocationView(LItem(AIndex));
      })
                                           : nullptr,
      ALess.FDown);
  std::vector<std::unique_ptr<TFileInfo>> LSorted;
  LSorted.reserve(FItems.size());
  for (const uint32_t LIndex : LOrder)
    LSorted.push_back(std::move(FItems[LIndex]));
  FItems.swap(LSorted);
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
    if (LSource.FFolder) // a walk gives every name with its bytes
      LFiles.append(CollectFolderFiles(LPath, AProgress));
    else if (ResolveChosenPath(LPath))
      LFiles.append(LPath);
    else
      ++LOutcome.FNotAdded;
    if (LStopped()) {
      LOutcome.FFound = static_cast<int>(LFiles.size()) + LOutcome.FNotAdded;
      LOutcome.FStopped = true;
      return LOutcome;
    }
  }
  LOutcome.FFound = static_cast<int>(LFiles.size()) + LOutcome.FNotAdded;
  const int LPosition = Count();
  FItems.reserve(FItems.size() + static_cast<size_t>(LFiles.size()));
  for (qsizetype i = 0; i < LFiles.size(); ++i) {
    if (LStopped()) {
      // From the last one, so that each removal is at the end.
      while (Count() > LPosition)
        Delete(Count() - 1);
      LOutcome.FStopped = true;
      return LOutcome;
    }
    const QString &LPath = LFiles[i];
    if (CheckInList(LPath))
      Add(std::make_unique<TFileInfo>(LPath));
    else
      ++LOutcome.FNotAdded;
    if (AProgress != nullptr)
      AProgress->Report(static_cast<int>(i) + 1, static_cast<int>(LFiles.size()), LPath);
  }
  return LOutcome;
}

QString TFileList::SearchReplace_NewName(const QString &ASearcStr, const QString &AReplaceStr) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  for (const auto &LItem : FItems)
    LItem->SearchReplace_NewName(ASearcStr, AReplaceStr);
  return QString();
}

bool TFileList::GetIsCounterInNameMask() const {
  return FFileNameMask.contains(u"[C]");
}

bool TFileList::GetisCounterInExtMask() const {
  return FFileExtMask.contains(u"[C]");
}

namespace {

// The file list as the planner reads it, for a Rename (old name to new name)
// or a Rollback of the renamed items (new name back to old name).
class TFilePlanSource : public TPlanSource {
public:
  TFilePlanSource(const std::vector<std::unique_ptr<TFileInfo>> &AItems,
                  const std::vector<int> *ASubset)
      : FItems(AItems), FSubset(ASubset) {}
  int Count() const override { return static_cast<int>(FSubset ? FSubset->size() : FItems.size()); }
  bool IsFolderList() const override { return false; }
  QStringView FolderOf(int AItem) const override { return LocationView(Item(AItem)); }
  TNameParts FromName(int AItem) const override {
    return FSubset ? Item(AItem).TargetNameParts() : TNameParts{Item(AItem).OldNameView(), {}};
  }
  TNameParts ToName(int AItem) const override {
    return FSubset ? TNameParts{Item(AItem).OldNameView(), {}} : Item(AItem).TargetNameParts();
  }
  int &FolderSlot(int AItem) override { return Item(AItem).PlanFolderSlot(); }
  uint64_t *FromKeySlot(int AItem) override {
    return FSubset ? nullptr : &Item(AItem).PlanFromKeySlot();
  }
  std::vector<int> VisitOrder() const override {
    return FSubset ? std::vector<int>() : MemoryOrder(FItems, 0);
  }

private:
  TFileInfo &Item(int AItem) const {
    const int LIndex = FSubset ? (*FSubset)[static_cast<size_t>(AItem)] : AItem;
    return *FItems[static_cast<size_t>(LIndex)];
  }
  const std::vector<std::unique_ptr<TFileInfo>> &FItems;
  const std::vector<int> *FSubset;
};

// How the file list moves its items for the executor. ARollback turns every
// move around: Move is the item's Rollback, MoveBack its Rename.
class TFilePlanHost : public TPlanHost {
public:
  TFilePlanHost(const std::vector<std::unique_ptr<TFileInfo>> &AItems,
                const std::vector<int> *ASubset, int &AOrder)
      : FItems(AItems), FSubset(ASubset), FOrder(AOrder) {}

  bool Move(int AItem) override {
    TFileInfo &LItem = Item(AItem);
    if (Rollback() && !StillTheSameFile(LItem)) {
      Moved(LItem, false);
      return false;
    }
    const bool LOk = (Rollback() ? LItem.RollbackFile() : LItem.TFileInfoRenameFile()) == 0;
    Moved(LItem, LOk);
    return LOk;
  }
  bool MoveToTemporary(int AItem, QString &ATemporary) override {
    TFileInfo &LItem = Item(AItem);
    if (Rollback() && !StillTheSameFile(LItem))
      return false;
    // Only the temporary name of the plan: it was recorded before the move.
    ATemporary = LItem.PathInFolder(ATemporary);
    const platform::TMoveResult LMove = platform::MoveNoReplace(Current(LItem), ATemporary);
    if (!LMove.FOk)
      LItem.SetRenameErrorText(MoveFailureReason(LMove, false));
    return LMove.FOk;
  }
  bool MoveFromTemporary(int AItem, const QString &ATemporary) override {
    TFileInfo &LItem = Item(AItem);
    const bool LOk = LItem.MoveEntry(ATemporary, Wanted(LItem));
    if (LOk)
      LItem.SetisRenamed(!Rollback());
    Moved(LItem, LOk);
    return LOk;
  }
  void MoveBack(int AItem) override {
    TFileInfo &LItem = Item(AItem);
    if (Rollback())
      LItem.TFileInfoRenameFile();
    else
      LItem.RollbackFile();
    LItem.SetRenameOrder(-1);
  }
  void RestoreFromTemporary(int AItem, const QString &ATemporary) override {
    TFileInfo &LItem = Item(AItem);
    LItem.MoveEntry(ATemporary, Current(LItem));
  }
  void CycleFailed(int AItem, int AFailedItem) override {
    TFileInfo &LItem = Item(AItem);
    LItem.SetRenameErrorText(rs::FormatMessage(rs::SwapFailed, {Index(AFailedItem) + 1}));
  }

private:
  bool Rollback() const { return FSubset != nullptr; }
  int Index(int AItem) const { return FSubset ? (*FSubset)[static_cast<size_t>(AItem)] : AItem; }
  TFileInfo &Item(int AItem) const { return *FItems[static_cast<size_t>(Index(AItem))]; }
  // A file is moved back only when the entry under its new name is still the
  // one that was renamed: the same inode and size, or, where the file system
  // gives no stable inode numbers, an entry at all.
  bool StillTheSameFile(TFileInfo &AItem) {
    const QString LPath = Current(AItem);
    const platform::TEntryIdentity LNow = platform::IdentityOf(LPath, true);
    if (!LNow.FExists) {
      AItem.SetRenameErrorText(rs::FileNotExist);
      return false;
    }
    if (AItem.Inode() == 0 || UnstableInodes(AItem))
      return true;
    if (LNow.FInode != AItem.Inode() || LNow.FSize != AItem.Size() || LNow.FIsFolder) {
      AItem.SetRenameErrorText(rs::FileWasReplaced);
      return false;
    }
    return true;
  }
  // True where the file system of the item's folder gives no stable inode
  // numbers; asked once per folder.
  bool UnstableInodes(const TFileInfo &AItem) {
    const QStringView LFolder = LocationView(AItem);
    if (LFolder != FLastFolder) {
      FLastFolder = LFolder.toString();
      FLastUnstable = FFileSystems.Of(FLastFolder).FFatFamily;
    }
    return FLastUnstable;
  }
  // Where the file stands before its move, and where the move takes it.
  QString Current(const TFileInfo &AItem) const {
    return Rollback() ? AItem.PathInFolder(AItem.TargetName()) : AItem.FullFileName();
  }
  QString Wanted(const TFileInfo &AItem) const {
    return Rollback() ? AItem.FullFileName() : AItem.PathInFolder(AItem.TargetName());
  }
  void Moved(TFileInfo &AItem, bool AOk) {
    if (Rollback())
      AItem.SetRenameOrder(AOk ? -1 : AItem.RenameOrder());
    else
      AItem.SetRenameOrder(AOk ? FOrder++ : -1);
  }

  const std::vector<std::unique_ptr<TFileInfo>> &FItems;
  const std::vector<int> *FSubset;
  int &FOrder;
  platform::TFileSystemCache FFileSystems;
  QString FLastFolder;
  bool FLastUnstable = false;
};

} // namespace

const TPlan &TFileList::PlanRenaming() {
  if (FPlannerStale)
    RefreshPlanner();
  TFilePlanSource LSource(FItems, nullptr);
  return FPlanner.Plan(LSource);
}

const TPlan &TFileList::PlanRollback() {
  // The renamed items, last renamed first, so that where the plan leaves the
  // order open it follows the reverse order of the renames.
  FRollbackItems.clear();
  for (int i = 0; i < Count(); ++i)
    if (FItems[static_cast<size_t>(i)]->isRenamed())
      FRollbackItems.push_back(i);
  std::stable_sort(FRollbackItems.begin(), FRollbackItems.end(), [this](int ALeft, int ARight) {
    return FItems[static_cast<size_t>(ALeft)]->RenameOrder() >
           FItems[static_cast<size_t>(ARight)]->RenameOrder();
  });
  if (FPlannerStale)
    RefreshPlanner();
  TFilePlanSource LSource(FItems, &FRollbackItems);
  return FPlanner.Plan(LSource);
}

void TFileList::RefreshPlanner() {
  TFilePlanSource LSource(FItems, nullptr);
  FPlanner.Refresh(LSource);
  FPlannerStale = false;
}

int TFileList::RunPlan(const TPlan &APlan, TPlanHost &AHost, const std::vector<int> *ASubset) {
  const bool LRollback = ASubset != nullptr;
  const auto LIndexOf = [ASubset](int AItem) {
    return ASubset ? (*ASubset)[static_cast<size_t>(AItem)] : AItem;
  };
  // The journal numbers the items of a batch as the list held them at the
  // Rename; a Rollback names them by those numbers whatever the order now.
  if (!LRollback)
    for (int i = 0; i < Count(); ++i)
      FItems[static_cast<size_t>(i)]->SetJournalItem(i);
  const auto LItemOf = [&](int AItem) {
    return FItems[static_cast<size_t>(LIndexOf(AItem))]->JournalItem();
  };
  TBatchRun LRun;
  LRun.FJournal = FJournal;
  LRun.FKind = TBatchKind::Files;
  LRun.FRollback = LRollback;
  LRun.FStopRequest = [this] {
    return (FProgress && FProgress->StopRequested()) || (FStopRequest && FStopRequest());
  };
  // Every item of the plan is not tried until its first step is made.
  for (const auto &LItem : FItems)
    LItem->SetNotTried(false);
  for (const TPlanStep &LStep : APlan.FSteps)
    FItems[static_cast<size_t>(LIndexOf(LStep.FItem))]->SetNotTried(true);
  const int LTotal = static_cast<int>(APlan.FSteps.size());
  LRun.FStepDone = [&](int AStep) {
    TFileInfo &LItem =
        *FItems[static_cast<size_t>(LIndexOf(APlan.FSteps[static_cast<size_t>(AStep)].FItem))];
    LItem.SetNotTried(false);
    if (FProgress)
      FProgress->Report(AStep + 1, LTotal, LRollback ? LItem.TargetName() : LItem.OldName());
  };
  LRun.FBatchId = FBatchId;
  const int LFailed = RunBatch(
      LRun, APlan, AHost,
      [&](const TPlanStep &AStep) {
        const TFileInfo &LItem = *FItems[static_cast<size_t>(LIndexOf(AStep.FItem))];
        TStepRecord LRecord;
        LRecord.FFolder = LItem.Location();
        const QString LOld = LItem.OldName();
        const QString LNew = LItem.TargetName();
        LRecord.FFrom = AStep.FKind == TStepKind::FromTemporary ? AStep.FTemporaryName
                        : LRollback                             ? LNew
                                                                : LOld;
        LRecord.FTo = AStep.FKind == TStepKind::ToTemporary ? AStep.FTemporaryName
                      : LRollback                           ? LOld
                                                            : LNew;
        LRecord.FDevice = LItem.Device();
        LRecord.FInode = LItem.Inode();
        LRecord.FSize = LItem.Size();
        LRecord.FModifiedNs = LItem.ModifiedNs();
        return LRecord;
      },
      LItemOf);
  FBatchError = LRun.FError;
  FBatchId = LRun.FBatchId;
  FLastStopped = LRun.FStopped;
  if (LFailed < 0)
    for (const TPlanStep &LStep : APlan.FSteps)
      FItems[static_cast<size_t>(LIndexOf(LStep.FItem))]->SetNotTried(false);
  return LFailed;
}

std::vector<bool> TFileList::RenamedStates() const {
  std::vector<bool> LStates;
  if (FMetadata.IsEmpty())
    return LStates;
  LStates.reserve(FItems.size());
  for (const auto &LItem : FItems)
    LStates.push_back(LItem->isRenamed());
  return LStates;
}

void TFileList::ForgetMovedMetadata(const std::vector<bool> &AWasRenamed) {
  // A file moved away from a path that another file of the list may take
  // next (a swap): what was read under either path no longer holds.
  for (size_t i = 0; i < AWasRenamed.size() && i < FItems.size(); ++i) {
    const TFileInfo &LItem = *FItems[i];
    if (LItem.isRenamed() == AWasRenamed[i])
      continue;
    FMetadata.Forget(metadata::NativePathBytes(LItem.FullFileName()));
    FMetadata.Forget(metadata::NativePathBytes(LItem.PathInFolder(LItem.TargetName())));
  }
}

int TFileList::ExecuteRenaming() {
  for (const auto &LItem : FItems)
    LItem->SetRenameOrder(-1);
  const std::vector<bool> LWasRenamed = RenamedStates();
  const TPlan &LPlan = PlanRenaming();
  int LOrder = 0;
  TFilePlanHost LHost(FItems, nullptr, LOrder);
  int LFailures = RunPlan(LPlan, LHost, nullptr);
  if (LFailures < 0)
    return -1;
  // An unchanged item counts as renamed, as a move onto its own name does;
  // one whose file has gone fails as any other. The planner's listings
  // follow the moves made.
  std::vector<int> LMoved;
  // A stopped Rename leaves the unchanged items untried too: they count as
  // renamed only with the batch they belong to.
  for (int i = 0; i < Count(); ++i) {
    if (LPlan.FEntries[static_cast<size_t>(i)].FStatus == TPlanStatus::Unchanged) {
      if (FLastStopped)
        FItems[static_cast<size_t>(i)]->SetNotTried(true);
      else
        LFailures += FItems[static_cast<size_t>(i)]->TFileInfoRenameFile();
    } else if (FItems[static_cast<size_t>(i)]->isRenamed())
      LMoved.push_back(i);
  }
  FPlanner.NoteMoved(LMoved);
  ForgetMovedMetadata(LWasRenamed);
  return LFailures;
}

int TFileList::ExecuteRollback() {
  const std::vector<bool> LWasRenamed = RenamedStates();
  const TPlan &LPlan = PlanRollback();
  const std::vector<int> LItems = FRollbackItems;
  int LOrder = 0;
  TFilePlanHost LHost(FItems, &LItems, LOrder);
  int LFailures = RunPlan(LPlan, LHost, &LItems);
  if (LFailures < 0)
    return -1;
  std::vector<int> LMoved;
  for (size_t i = 0; i < LItems.size(); ++i) {
    if (LPlan.FEntries[i].FStatus == TPlanStatus::Unchanged) {
      if (FLastStopped)
        FItems[static_cast<size_t>(LItems[i])]->SetNotTried(true);
      else
        LFailures += FItems[static_cast<size_t>(LItems[i])]->RollbackFile();
    } else if (!FItems[static_cast<size_t>(LItems[i])]->isRenamed())
      LMoved.push_back(static_cast<int>(i));
  }
  FPlanner.NoteMoved(LMoved);
  ForgetMovedMetadata(LWasRenamed);
  return LFailures;
}

void TFileList::NoteRolledBack(const std::vector<int> &AStillRenamed) {
  const std::unordered_set<int> LStill(AStillRenamed.begin(), AStillRenamed.end());
  for (const auto &LItem : FItems) {
    if (!LItem->isRenamed() || LStill.count(LItem->JournalItem()) != 0)
      continue;
    LItem->SetisRenamed(false);
    LItem->SetRenameOrder(-1);
  }
  // The moves were made elsewhere: the folders are read again for the plan.
  FPlannerStale = true;
}

bool TFileList::HasRenamedFiles() const {
  return std::any_of(FItems.begin(), FItems.end(),
                     [](const std::unique_ptr<TFileInfo> &AItem) { return AItem->isRenamed(); });
}

void TFileList::SetCounter(int Start, int Step, int Number) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  for (const auto &LItem : FItems) {
    LItem->SetCounterStart(Start);
    LItem->SetCounterStep(Step);
    LItem->SetCntDigitNumber(Number);
  }
}

void TFileList::SetFileNameMask(const QString &ANameMask, int APosition) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  FFileNameMask = ANameMask;
  for (int i = std::max(APosition, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->FileNameMaskApply(ANameMask, &FMetadata);
}

uint8_t TFileList::MetadataNeeds(const TNameRecipe &ARecipe) {
  return masks::MetadataNeeds(ARecipe.FNameMask, masks::TMaskPart::Name, masks::TItemKind::File);
}

bool TFileList::HasMetadataNotes() const {
  return std::any_of(FItems.begin(), FItems.end(), [](const std::unique_ptr<TFileInfo> &AItem) {
    return AItem->MetadataNotes() != 0;
  });
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
  for (const auto &LItem : FItems) {
    const QByteArray LPath = metadata::NativePathBytes(LItem->CurrentPath());
    if ((LPhoto && !FMetadata.HasPhotoInfo(LPath)) || (LMusic && !FMetadata.HasMusicTags(LPath)))
      return true;
  }
  return false;
}

bool TFileList::ReadMetadata(const TNameRecipe &ARecipe, TProgress *AProgress) {
  const auto [LPhoto, LMusic] = ReadableNeeds(MetadataNeeds(ARecipe));
  if (!LPhoto && !LMusic)
    return true;
  const int LTotal = Count();
  for (int i = 0; i < LTotal; ++i) {
    if (AProgress && AProgress->StopRequested())
      return false;
    const TFileInfo &LItem = *FItems[static_cast<size_t>(i)];
    const QByteArray LPath = metadata::NativePathBytes(LItem.CurrentPath());
    if (LPhoto)
      FMetadata.PhotoInfo(LPath);
    if (LMusic)
      FMetadata.MusicTags(LPath);
    if (AProgress)
      AProgress->Report(i + 1, LTotal, LItem.OldName());
  }
  return true;
}

void TFileList::SetFileExtMask(const QString &AExtMask, int APosition) {
  FRecipe.reset(); // the names no longer follow one recipe as a whole
  FFileExtMask = AExtMask;
  for (int i = std::max(APosition, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->FileExtMaskApply(AExtMask);
}

void TFileList::AddFileInfo(std::unique_ptr<TFileInfo> AFileInfo) {
  AFileInfo->SetIndex(Count());
  Add(std::move(AFileInfo));
}

void TFileList::ReindexFileInfo(int Value) {
  for (int i = std::max(Value, 0); i < Count(); ++i)
    FItems[static_cast<size_t>(i)]->SetIndex(i);
}

int TFileList::ApplyRecipe(const TNameRecipe &ARecipe, int APosition) {
  APosition = std::clamp(APosition, 0, Count());
  const bool LSameRecipe = FRecipe && *FRecipe == ARecipe && FFileNameMask == ARecipe.FNameMask &&
                           FFileExtMask == ARecipe.FExtMask;
  const int LFrom = LSameRecipe && !ARecipe.HasCounter() ? APosition : 0;
  FFileNameMask = ARecipe.FNameMask;
  FFileExtMask = ARecipe.FExtMask;
  const nameedits::TSearchReplace LSearch(ARecipe.FSearch, ARecipe.FReplace, ARecipe.FRegex,
                                          ARecipe.FMatchCase);
  // One pass, each item made whole before the next, in the order the items
  // lie in memory: after a sort, a pass in the list's order or a pass per
  // step would fetch each item from afar again.
  // Every item carries the counter the recipe gives, so that the values
  // shown are the values used, also for items added later.
  const std::vector<int> LVisit = MemoryOrder(FItems, LFrom);
  for (int k = LFrom; k < Count(); ++k) {
    const int i = LVisit.empty() ? k : LVisit[static_cast<size_t>(k - LFrom)];
    TFileInfo &LItem = *FItems[static_cast<size_t>(i)];
    LItem.SetIndex(i);
    LItem.SetCounterStart(ARecipe.FCounterStart);
    LItem.SetCounterStep(ARecipe.FCounterStep);
    LItem.SetCntDigitNumber(ARecipe.FCounterDigits);
    LItem.FileNameMaskApply(ARecipe.FNameMask, &FMetadata);
    LItem.FileExtMaskApply(ARecipe.FExtMask);
    if (LSearch.IsActive())
      LItem.ApplySearch(LSearch);
    ApplyCaseRule(LItem, ARecipe.FCase);
  }
  FRecipe = ARecipe;
  return LFrom;
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
  const TFileInfo &LA = FDown ? ARight : ALeft;
  const TFileInfo &LB = FDown ? ALeft : ARight;
  switch (FKey) {
  case TFileSortKey::OldName:
    return CompareTextAZ(LA.OldNameView(), LB.OldNameView()) < 0;
  case TFileSortKey::NewName:
    return CompareTextAZ(LA.NewName(), LB.NewName()) < 0;
  case TFileSortKey::Location: {
    const int LResult = CompareTextAZ(LocationView(LA), LocationView(LB));
    if (LResult != 0)
      return LResult < 0;
    return CompareTextAZ(LA.OldNameView(), LB.OldNameView()) < 0;
  }
  }
  return false;
}
