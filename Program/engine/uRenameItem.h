// What every item to rename keeps besides its names, whatever its kind (a
// file, a folder): its position and the counter it carries, the outcome of
// the last Rename or Rollback and why it failed, where it shows in the grid,
// and what the planner and the journal know of it. TFileInfo and TFolderInfo
// add their names and how they read them; TRenameList works on this part.
#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <memory>

// The text kept in ExeptionText for an unexpected failure: the exception's
// type name immediately followed by its message ("std::bad_allocstd::bad_alloc").
QString ExceptionTypeAndMessage(const std::exception &AException);

class TRenameItem {
public:
  TRenameItem() = default;
  TRenameItem(const TRenameItem &) = delete;
  TRenameItem &operator=(const TRenameItem &) = delete;
  // Items move only into a list's storage.
  TRenameItem(TRenameItem &&) noexcept = default;
  TRenameItem &operator=(TRenameItem &&) noexcept = default;

  int CounterStart() const { return FCounterStart; }
  void SetCounterStart(int AValue) { FCounterStart = AValue; }
  int CounterStep() const { return FCounterStep; }
  void SetCounterStep(int AValue) { FCounterStep = AValue; }
  int CntDigitNumber() const { return FCntDigitNumber; }
  void SetCntDigitNumber(int AValue) { FCntDigitNumber = AValue; }
  int Index() const { return FIndex; }
  void SetIndex(int AValue) { FIndex = AValue; }
  bool isRenamed() const { return FisRenamed; }
  void SetisRenamed(bool AValue) { FisRenamed = AValue; }
  // The last Rename or Rollback was stopped before it tried this item.
  bool NotTried() const { return FNotTried; }
  void SetNotTried(bool AValue) { FNotTried = AValue; }
  const QString &ExeptionText() const;
  void SetExeptionText(const QString &AValue) { FailureTexts().FExeptionText = AValue; }
  const QString &RenameErrorText() const;
  void SetRenameErrorText(const QString &AValue) { FailureTexts().FRenameErrorText = AValue; }
  int GridRow() const { return FGridRow; }
  void SetGridRow(int AValue) { FGridRow = AValue; }
  // Where the item's rename came in the last batch that renamed it (from 0);
  // -1 when it has not been renamed by a batch. A Rollback goes backwards
  // through this order where the plan leaves the order open.
  int RenameOrder() const { return FRenameOrder; }
  void SetRenameOrder(int AValue) { FRenameOrder = AValue; }
  // The item's number in the journal's batch of the last Rename (-1: none).
  int JournalItem() const { return FJournalItem; }
  void SetJournalItem(int AValue) { FJournalItem = AValue; }
  // The planner's number for the folder the item stands in (-1: not known).
  int &PlanFolderSlot() { return FPlanFolder; }
  // The identity of the item's entry on disk (0: not known): what a
  // Rollback checks before it moves the entry back.
  uint64_t Device() const { return FDevice; }
  uint64_t Inode() const { return FInode; }
  void SetInode(uint64_t AValue) { FInode = AValue; }

protected:
  // Keeps the text made by AMake as ExeptionText; a failure to make or keep
  // it is swallowed, so that nothing leaves a rename or rollback.
  template <typename F> void KeepExeptionText(F AMake) noexcept {
    try {
      FailureTexts().FExeptionText = AMake();
    } catch (...) {
    }
  }
  void KeepException(const std::exception &AException) noexcept;
  void KeepUnknownException() noexcept;

  uint64_t FDevice = 0;
  uint64_t FInode = 0;

private:
  // The texts of failures, made for the few items that fail.
  struct TFailureTexts {
    QString FExeptionText;
    QString FRenameErrorText;
  };
  TFailureTexts &FailureTexts();
  std::unique_ptr<TFailureTexts> FFailureTexts;
  int32_t FCounterStart = 1;
  int32_t FCounterStep = 1;
  int32_t FCntDigitNumber = 1;
  int32_t FIndex = 0;
  int32_t FGridRow = 0;
  int32_t FRenameOrder = -1;
  int32_t FPlanFolder = -1;
  int32_t FJournalItem = -1;
  bool FisRenamed = false;
  bool FNotTried = false;
};
