#include "uFileGridModel.h"

#include "uControlUtils.h"
#include "uUtil.h"

#include <algorithm>
#include <limits>

// ---------------------------------------------------------------------------
// TFileGridModel

TFileGridModel::TFileGridModel(TFileList &AList, QObject *AParent)
    : TListGridModel(AList, DataColumnCount, AParent) {}

void TFileGridModel::Synchro(int APosition, bool ARenamedDisplay) {
  const int LCount = FList.Count();
  if (ARenamedDisplay) {
    FGridRowsStaleFrom = 0;
    ResetToRenamedRows(FHintColumn);
    return;
  }

  // The files before APosition kept their positions since the last Synchro.
  const int LFrom = std::max(APosition, 0);
  NumberItems(LFrom, LCount);
  if (FGridRowsStaleFrom >= LFrom)
    FGridRowsStaleFrom = std::numeric_limits<int>::max();
  if (FRenamedDisplay) {
    // Leaving the renamed display: the rows are the list again.
    ResetToNormalRows(LCount, FHintColumn);
    return;
  }
  ResizeNormalRows(LCount, 0);
}

void TFileGridModel::SynchroNames() {
  if (!FRenamedDisplay) {
    NumberItems(FGridRowsStaleFrom, FRowCount);
    FGridRowsStaleFrom = std::numeric_limits<int>::max();
  }
  AnnounceRows(0, FRowCount - 1);
}

int TFileGridModel::DataColumnAt(int AColumn) const {
  const int LData = AColumn - HintColumns();
  return LData >= 0 && LData < DataColumnCount ? LData : -1;
}

const TFileInfo *TFileGridModel::FileAtRow(int ARow) const {
  const int LIndex = ItemAtRow(ARow);
  return LIndex < 0 ? nullptr : FList.Items(LIndex);
}

QVariant TFileGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (!checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  if (Held())
    return HeldData(AIndex, ARole);
  if (ARole == MarkRole) {
    // In the renamed display a file a cancelled step never tried carries a
    // quiet mark of its own instead of the failure mark.
    if (RenamedDisplay() && AIndex.column() < HintColumns()) {
      const TFileInfo *LFile = FileAtRow(AIndex.row());
      if (LFile != nullptr && LFile->NotTried())
        return static_cast<int>(THintMark::NotTried);
    }
    // A metadata token that found nothing gives a quiet mark; a mark of
    // the plan (a conflict above all) wins.
    QVariant LMark = MarkAt(AIndex);
    if (!RenamedDisplay() && AIndex.column() < HintColumns() &&
        LMark.toInt() == static_cast<int>(THintMark::None)) {
      const TFileInfo *LFile = FileAtRow(AIndex.row());
      if (LFile != nullptr && LFile->MetadataNotes() != 0)
        LMark = static_cast<int>(THintMark::Quiet);
    }
    return LMark;
  }
  if (ARole != Qt::DisplayRole)
    return {};
  const TFileInfo *LFile = FileAtRow(AIndex.row());
  if (LFile == nullptr)
    return {};
  switch (DataColumnAt(AIndex.column())) {
  // Names keep the bytes of the system's names; the grid shows the bytes
  // that are not UTF-8 as U+FFFD.
  case dcOldName:
    return DisplayText(LFile->OldName());
  case dcNewName:
    return DisplayText(LFile->NewFullName());
  case dcLocation:
    return DisplayText(LFile->Location());
  default:
    return {};
  }
}

QVariant TFileGridModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= columnCount())
    return {};
  const int LData = DataColumnAt(ASection);
  if (ARole == ColumnNameRole) {
    switch (LData) {
    case dcOldName:
      return QStringLiteral("StringColumn_OldName");
    case dcNewName:
      return QStringLiteral("StringColumn_NewName");
    case dcLocation:
      return QStringLiteral("StringColumn_Location");
    default:
      return HintColumnName;
    }
  }
  if (ARole == Qt::DisplayRole) {
    switch (LData) {
    case dcOldName:
      return QStringLiteral("Old Name");
    case dcNewName:
      return QStringLiteral("New Name");
    case dcLocation:
      return QStringLiteral("Location");
    default:
      return QString();
    }
  }
  return {};
}

Qt::ItemFlags TFileGridModel::flags(const QModelIndex &AIndex) const {
  if (!AIndex.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
