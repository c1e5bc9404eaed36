#include "uFolderGridModel.h"

#include "uControlUtils.h"
#include "uFolderInfo.h"
#include "uUtil.h"

TFolderGridModel::TFolderGridModel(TFolderList &AList, QObject *AParent)
    : TListGridModel(AList, 3, AParent) {}

int TFolderGridModel::FolderAtRow(int ARow) const {
  return ItemAtRow(ARow);
}

QVariant TFolderGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (ARole != Qt::DisplayRole || !checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  const int LPosition = FolderAtRow(AIndex.row());
  if (LPosition < 0)
    return {};
  const TFolderInfo &LItem = *FList.Items(LPosition);
  switch (AIndex.column() - NameColumn()) {
  // The bytes of names that are not UTF-8 show as U+FFFD.
  case 0:
    return DisplayText(LItem.OldName());
  case 1:
    return DisplayText(LItem.NewName());
  case 2:
    return DisplayText(LItem.Location());
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
  if (FPendingHintColumn || FList.HasRenamedFolders()) {
    ResetToRenamedRows(FPendingHintColumn);
    return;
  }

  const int LCount = FList.Count();
  const bool LModeChanges = FRenamedDisplay || FHintColumn != FPendingHintColumn;
  // Leaving the renamed display, every item gets its row back: the rows
  // before APosition held the renamed display's numbers.
  const int LFrom = LModeChanges ? 0 : std::max(APosition, 0);
  NumberItems(LFrom, LCount);

  if (LModeChanges) {
    ResetToNormalRows(LCount, FPendingHintColumn);
    return;
  }

  // Normal display to normal display: grow or shrink at the end, then
  // announce the rewritten rows that remain.
  ResizeNormalRows(LCount, LFrom);
}
