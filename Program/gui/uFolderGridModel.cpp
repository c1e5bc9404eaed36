#include "uFolderGridModel.h"

#include "uControlUtils.h"
#include "uFolderInfo.h"

TFolderGridModel::TFolderGridModel(TFolderList &AList, QObject *AParent)
    : QAbstractTableModel(AParent), FList(AList) {}

int TFolderGridModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : FRowCount;
}

int TFolderGridModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : NameColumn() + 3;
}

int TFolderGridModel::FolderAtRow(int ARow) const {
  if (ARow < 0 || ARow >= FRowCount)
    return -1;
  const int LPosition = FRenamedDisplay ? FRows[static_cast<size_t>(ARow)] : ARow;
  return LPosition < FList.Count() ? LPosition : -1;
}

QVariant TFolderGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (ARole != Qt::DisplayRole || !checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  const int LPosition = FolderAtRow(AIndex.row());
  if (LPosition < 0)
    return {};
  const TFolderInfo &LItem = *FList.Items(LPosition);
  switch (AIndex.column() - NameColumn()) {
  case 0:
    return LItem.OldName();
  case 1:
    return LItem.NewName();
  case 2:
    return LItem.Location();
  default:
    return {};
  }
}

QVariant TFolderGridModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= columnCount())
    return QAbstractTableModel::headerData(ASection, AOrientation, ARole);
  static const QString LNames[] = {QStringLiteral("scOldName"), QStringLiteral("scNewName"),
                                   QStringLiteral("scLocation")};
  static const QString LTitles[] = {QStringLiteral("Old Name"), QStringLiteral("New Name"),
                                    QStringLiteral("Location")};
  const int LColumn = ASection - NameColumn();
  if (ARole == ColumnNameRole)
    return LColumn < 0 ? HintColumnName : LNames[LColumn];
  if (ARole == Qt::DisplayRole)
    return LColumn < 0 ? QString() : LTitles[LColumn];
  return {};
}

void TFolderGridModel::Synchro(int APosition) {
  const int LCount = FList.Count();
  const bool LRenamed = FPendingHintColumn || FList.HasRenamedFolders();
  if (LRenamed) {
    beginResetModel();
    FHintColumn = FPendingHintColumn;
    FRenamedDisplay = true;
    FRows.clear();
    for (int LPosition = 0; LPosition < LCount; ++LPosition) {
      TFolderInfo &LItem = *FList.Items(LPosition);
      if (LItem.isRenamed()) {
        LItem.SetGridRow(-1);
      } else {
        LItem.SetGridRow(static_cast<int>(FRows.size()));
        FRows.push_back(LPosition);
      }
    }
    FRowCount = static_cast<int>(FRows.size());
    endResetModel();
    return;
  }

  const bool LModeChanges = FRenamedDisplay || FHintColumn != FPendingHintColumn;
  // Leaving the renamed display, every item gets its row back: the rows
  // before APosition held the renamed display's numbers.
  const int LFrom = LModeChanges ? 0 : std::max(APosition, 0);
  for (int LPosition = LFrom; LPosition < LCount; ++LPosition)
    FList.Items(LPosition)->SetGridRow(LPosition);

  if (LModeChanges) {
    beginResetModel();
    FHintColumn = FPendingHintColumn;
    FRenamedDisplay = false;
    FRows.clear();
    FRows.shrink_to_fit();
    FRowCount = LCount;
    endResetModel();
    return;
  }

  // Normal display to normal display: grow or shrink at the end, then
  // announce the rewritten rows that remain.
  const int LOld = FRowCount;
  if (LCount > LOld) {
    beginInsertRows(QModelIndex(), LOld, LCount - 1);
    FRowCount = LCount;
    endInsertRows();
  } else if (LCount < LOld) {
    beginRemoveRows(QModelIndex(), LCount, LOld - 1);
    FRowCount = LCount;
    endRemoveRows();
  }
  const int LLastChanged = std::min(LOld, LCount) - 1;
  if (LFrom <= LLastChanged)
    Q_EMIT dataChanged(index(LFrom, 0), index(LLastChanged, columnCount() - 1), {Qt::DisplayRole});
}
