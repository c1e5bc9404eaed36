#include "uListGridModel.h"

#include <algorithm>

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
