#include "uListGridModel.h"

#include "uControlUtils.h"
#include "uRenameList.h"
#include "uUtil.h"

#include <algorithm>
#include <limits>

namespace {

THintMark MarkOfStatus(TPlanStatus AStatus) {
  if (IsConflict(AStatus))
    return THintMark::Conflict;
  if (AStatus == TPlanStatus::Waits || AStatus == TPlanStatus::Swap)
    return THintMark::Quiet;
  return THintMark::None;
}

} // namespace

TListGridModel::TListGridModel(TRenameList &AList, const QStringList &AColumnNames,
                               QObject *AParent)
    : QAbstractTableModel(AParent), FList(AList), FColumnNames(AColumnNames) {}

int TListGridModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : FRowCount;
}

int TListGridModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : HintColumns() + DataColumnCount;
}

int TListGridModel::DataColumnAt(int AColumn) const {
  const int LData = AColumn - HintColumns();
  return LData >= 0 && LData < DataColumnCount ? LData : -1;
}

int TListGridModel::DataColumnNamed(const QString &AName) const {
  return static_cast<int>(FColumnNames.indexOf(AName));
}

int TListGridModel::ItemAtRow(int ARow) const {
  if (ARow < 0 || ARow >= FRowCount)
    return -1;
  const int LIndex = FRenamedDisplay ? FRows[static_cast<size_t>(ARow)] : ARow;
  return LIndex < FList.Count() ? LIndex : -1;
}

// ---------------------------------------------------------------------------
// Rows

void TListGridModel::NumberItems(int AFrom, int ATo) {
  for (int i = AFrom; i < ATo; ++i)
    FList.ItemAt(i).SetGridRow(i);
}

void TListGridModel::Synchro(int APosition, bool ARenamedDisplay, TListed AListed) {
  const int LCount = FList.Count();
  if (ARenamedDisplay) {
    beginResetModel();
    FRenamedDisplay = true;
    FListed = AListed;
    FGridRowsStaleFrom = 0;
    FRows.clear();
    const bool LShowRenamed = AListed == TListed::StillRenamed;
    for (int i = 0; i < LCount; ++i) {
      TRenameItem &LItem = FList.ItemAt(i);
      if (LItem.isRenamed() != LShowRenamed) {
        LItem.SetGridRow(-1);
        continue;
      }
      LItem.SetGridRow(static_cast<int>(FRows.size()));
      FRows.push_back(i);
    }
    FRowCount = static_cast<int>(FRows.size());
    endResetModel();
    return;
  }
  // Leaving the renamed display every item gets its row back; otherwise the
  // items before APosition kept their positions since the last Synchro.
  const int LFrom = FRenamedDisplay ? 0 : std::max(APosition, 0);
  NumberItems(LFrom, LCount);
  if (FGridRowsStaleFrom >= LFrom)
    FGridRowsStaleFrom = std::numeric_limits<int>::max();
  if (FRenamedDisplay) {
    beginResetModel();
    FRenamedDisplay = false;
    FRows.clear();
    FRows.shrink_to_fit();
    FRowCount = LCount;
    endResetModel();
    return;
  }
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
  // The rows that were there before show their items' current values.
  AnnounceRows(0, std::min(LOld, LCount) - 1);
}

void TListGridModel::SynchroNames() {
  if (!FRenamedDisplay) {
    NumberItems(std::min(FGridRowsStaleFrom, FRowCount), FRowCount);
    FGridRowsStaleFrom = std::numeric_limits<int>::max();
  }
  AnnounceRows(0, FRowCount - 1);
}

void TListGridModel::AnnounceRows(int AFirst, int ALast) {
  if (AFirst <= ALast)
    Q_EMIT dataChanged(index(AFirst, 0), index(ALast, columnCount() - 1), {Qt::DisplayRole});
}

void TListGridModel::SetHintColumn(bool AValue) {
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

// ---------------------------------------------------------------------------
// The plan's marks

void TListGridModel::SetPlan(const TPlan &APlan) {
  FPlan.assign(APlan.FEntries.begin(), APlan.FEntries.end());
  FPlanConflicts = APlan.FConflicts;
  AnnounceMarks();
}

void TListGridModel::ClearPlan() {
  FPlan.clear();
  FPlanConflicts = 0;
  AnnounceMarks();
}

void TListGridModel::AnnounceMarks() {
  if (FHintColumn && !FRenamedDisplay && FRowCount > 0)
    Q_EMIT dataChanged(index(0, 0), index(FRowCount - 1, 0), {MarkRole});
}

const TPlanEntry *TListGridModel::PlanEntryAtRow(int ARow) const {
  // In the normal display row i shows item i.
  if (FRenamedDisplay || ARow < 0 || ARow >= FRowCount || static_cast<size_t>(ARow) >= FPlan.size())
    return nullptr;
  return &FPlan[static_cast<size_t>(ARow)];
}

QVariant TListGridModel::MarkAt(const QModelIndex &AIndex) const {
  if (AIndex.column() >= HintColumns())
    return {};
  const int LItem = ItemAtRow(AIndex.row());
  if (FRenamedDisplay) {
    // An item a cancelled step never tried carries a quiet mark of its own
    // instead of the failure mark.
    if (LItem >= 0 && FList.ItemAt(LItem).NotTried())
      return static_cast<int>(THintMark::NotTried);
    return static_cast<int>(THintMark::Failure);
  }
  const TPlanEntry *LEntry = PlanEntryAtRow(AIndex.row());
  THintMark LMark = LEntry != nullptr ? MarkOfStatus(LEntry->FStatus) : THintMark::None;
  // A metadata token that found nothing gives a quiet mark; a mark of the
  // plan (a conflict above all) wins.
  if (LMark == THintMark::None && LItem >= 0 && FList.MetadataNotes(LItem) != 0)
    LMark = THintMark::Quiet;
  return static_cast<int>(LMark);
}

// ---------------------------------------------------------------------------
// Cells

QVariant TListGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (!checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  if (FHeld)
    return HeldData(AIndex, ARole);
  if (ARole == MarkRole)
    return MarkAt(AIndex);
  if (ARole != Qt::DisplayRole)
    return {};
  const int LItem = ItemAtRow(AIndex.row());
  if (LItem < 0)
    return {};
  // Names keep the bytes of the system's names; the grid shows the bytes
  // that are not UTF-8 as U+FFFD.
  switch (DataColumnAt(AIndex.column())) {
  case dcOldName:
    return DisplayText(FList.OldName(LItem));
  case dcNewName:
    return DisplayText(FList.TargetName(LItem));
  case dcLocation:
    return DisplayText(FList.FolderPath(LItem));
  default:
    return {};
  }
}

QVariant TListGridModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= columnCount())
    return {};
  const int LData = DataColumnAt(ASection);
  if (ARole == ColumnNameRole)
    return LData < 0 ? HintColumnName : FColumnNames.value(LData);
  if (ARole == Qt::DisplayRole) {
    static const QString LTitles[] = {QStringLiteral("Old Name"), QStringLiteral("New Name"),
                                      QStringLiteral("Location")};
    return LData < 0 ? QString() : LTitles[LData];
  }
  return {};
}

Qt::ItemFlags TListGridModel::flags(const QModelIndex &AIndex) const {
  if (!AIndex.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

// ---------------------------------------------------------------------------
// Held cells

void TListGridModel::Hold(int AFirst, int ALast) {
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

void TListGridModel::Release() {
  FHeld = false;
  FHeldCells.clear();
}

QVariant TListGridModel::HeldData(const QModelIndex &AIndex, int ARole) const {
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
