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
  if (!checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  if (Held())
    return HeldData(AIndex, ARole);
  if (ARole == MarkRole) {
    // In the renamed display a folder a cancelled step never tried carries
    // a quiet mark of its own instead of the failure mark.
    if (RenamedDisplay() && AIndex.column() < HintColumns()) {
      const int LItem = FolderAtRow(AIndex.row());
      if (LItem >= 0 && FList.Items(LItem)->NotTried())
        return static_cast<int>(THintMark::NotTried);
    }
    return MarkAt(AIndex);
  }
  if (ARole != Qt::DisplayRole)
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

void TFolderGridModel::Synchro(int APosition, bool ARenamedDisplay, bool AFailureMarks) {
  if (ARenamedDisplay) {
    ResetToRenamedRows(AFailureMarks);
    return;
  }

  const int LCount = FList.Count();
  const bool LHintColumn = PlanConflicts() > 0;
  // Leaving the renamed display, every item gets its row back: the rows
  // before APosition held the renamed display's numbers.
  const int LFrom = FRenamedDisplay ? 0 : std::max(APosition, 0);
  NumberItems(LFrom, LCount);

  if (FRenamedDisplay) {
    ResetToNormalRows(LCount, LHintColumn);
    return;
  }

  // Normal display to normal display: the hint column comes or goes at once,
  // then the rows grow or shrink at the end and the rewritten rows that
  // remain are announced.
  ShowHintColumn(LHintColumn);
  ResizeNormalRows(LCount, LFrom);
}
