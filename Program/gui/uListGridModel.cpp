#include "uListGridModel.h"

#include "uControlUtils.h"

#include <algorithm>

namespace {

THintMark MarkOfStatus(TPlanStatus AStatus) {
  if (IsConflict(AStatus))
    return THintMark::Conflict;
  if (AStatus == TPlanStatus::Waits || AStatus == TPlanStatus::Swap)
    return THintMark::Quiet;
  return THintMark::None;
}

} // namespace

int TListGridRows::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : FRowCount;
}

int TListGridRows::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : HintColumns() + FDataColumnCount;
}

void TListGridRows::ShowHintColumn(bool AValue) {
  if (AValue == FHintColumn)
    return;
  if (AValue) {
    beginInsertColumns(QModelIndex(), 0, 0);
    FHintColumn = true;
    endInsertColumns();
  } else {
    beginRemoveColumns(QModelIndex(), 0, 0);
    FHintColumn = false;
    endRemoveColumns();
  }
}

void TListGridRows::ResetToNormalRows(int ACount, bool AHintColumn) {
  beginResetModel();
  FHintColumn = AHintColumn;
  FRenamedDisplay = false;
  FRows.clear();
  FRows.shrink_to_fit();
  FRowCount = ACount;
  endResetModel();
}

void TListGridRows::ResizeNormalRows(int ACount, int AFirstChanged) {
  const int LOld = FRowCount;
  if (ACount > LOld) {
    beginInsertRows(QModelIndex(), LOld, ACount - 1);
    FRowCount = ACount;
    endInsertRows();
  } else if (ACount < LOld) {
    beginRemoveRows(QModelIndex(), ACount, LOld - 1);
    FRowCount = ACount;
    endRemoveRows();
  }
  // The rows that were there before show their items' current values.
  AnnounceRows(AFirstChanged, std::min(LOld, ACount) - 1);
}

void TListGridRows::AnnounceRows(int AFirst, int ALast) {
  if (AFirst <= ALast)
    Q_EMIT dataChanged(index(AFirst, 0), index(ALast, columnCount() - 1), {Qt::DisplayRole});
}

void TListGridRows::SetPlan(const TPlan &APlan) {
  FPlan.assign(APlan.FEntries.begin(), APlan.FEntries.end());
  FPlanConflicts = APlan.FConflicts;
  AnnounceMarks();
}

void TListGridRows::ClearPlan() {
  FPlan.clear();
  FPlanConflicts = 0;
  AnnounceMarks();
}

const TPlanEntry *TListGridRows::PlanEntryAtRow(int ARow) const {
  // In the normal display row i shows item i.
  if (FRenamedDisplay || ARow < 0 || ARow >= FRowCount || static_cast<size_t>(ARow) >= FPlan.size())
    return nullptr;
  return &FPlan[static_cast<size_t>(ARow)];
}

QVariant TListGridRows::MarkAt(const QModelIndex &AIndex) const {
  if (AIndex.column() >= HintColumns())
    return {};
  if (FRenamedDisplay)
    return static_cast<int>(THintMark::Failure);
  const TPlanEntry *LEntry = PlanEntryAtRow(AIndex.row());
  return static_cast<int>(LEntry != nullptr ? MarkOfStatus(LEntry->FStatus) : THintMark::None);
}

void TListGridRows::AnnounceMarks() {
  if (FHintColumn && !FRenamedDisplay && FRowCount > 0)
    Q_EMIT dataChanged(index(0, 0), index(FRowCount - 1, 0), {MarkRole});
}

void TListGridRows::Hold(int AFirst, int ALast) {
  Release();
  const int LColumns = columnCount();
  AFirst = std::max(AFirst, 0);
  ALast = std::min(ALast, FRowCount - 1);
  FHeldFirst = AFirst;
  for (int r = AFirst; r <= ALast; ++r)
    for (int c = 0; c < LColumns; ++c) {
      FHeldCells.push_back(data(index(r, c), Qt::DisplayRole));
      FHeldCells.push_back(data(index(r, c), MarkRole));
    }
  FHeld = true;
}

void TListGridRows::Release() {
  FHeld = false;
  FHeldCells.clear();
}

QVariant TListGridRows::HeldData(const QModelIndex &AIndex, int ARole) const {
  if (AIndex.row() < FHeldFirst)
    return {};
  const size_t LCell =
      (static_cast<size_t>(AIndex.row() - FHeldFirst) * static_cast<size_t>(columnCount()) +
       static_cast<size_t>(AIndex.column())) *
      2;
  if (LCell + 1 >= FHeldCells.size())
    return {};
  if (ARole == Qt::DisplayRole)
    return FHeldCells[LCell];
  if (ARole == MarkRole)
    return FHeldCells[LCell + 1];
  return {};
}
