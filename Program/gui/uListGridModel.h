// The row mapping shared by the preview grids of the file page and the folder
// page: a table model over a list of items with two displays,
//   - normal: row i shows item i of the list;
//   - renamed: only the items that are not renamed, in list order; the model
//     keeps the row -> item mapping.
// The row count and the mapping change only when the model synchronises, so a
// list that changed a moment before is never read through a stale row. An
// optional hint column comes first; the data columns follow.
//
// TListGridRows holds the state and the steps that do not touch the items;
// TListGridModel<TList> adds the steps that walk the items of a list whose
// Items(i) have isRenamed() and SetGridRow(). A model derives from
// TListGridModel and keeps its columns, cell texts and when to take which
// display.
#pragma once

#include "uRenamePlan.h"

#include <QAbstractTableModel>

#include <vector>

class TListGridRows : public QAbstractTableModel {
public:
  explicit TListGridRows(int ADataColumnCount, QObject *AParent = nullptr)
      : QAbstractTableModel(AParent), FDataColumnCount(ADataColumnCount) {}

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;

  bool RenamedDisplay() const { return FRenamedDisplay; }

  // The plan of a Rename, by list index, whose marks the hint column shows in
  // the normal display: a conflict mark for an item that Rename cannot
  // rename, a quiet mark for one that waits for another or is swapped with
  // one, none for the others. The entries are copied, so a later plan of the
  // list changes nothing here until it is handed over. The hint column's
  // rows are announced as changed.
  void SetPlan(const TPlan &APlan);
  // No plan: no marks and no conflicts.
  void ClearPlan();
  // The conflicts of the plan.
  int PlanConflicts() const { return FPlanConflicts; }
  // While a worker runs a step on the list, the grid reads no item: Hold
  // keeps the cells of the rows AFirst to ALast as they are now (the rows
  // the grid shows), and until Release the model answers from them (other
  // rows show empty cells).
  void Hold(int AFirst, int ALast);
  void Release();
  bool Held() const { return FHeld; }

  // The plan's entry of the item shown in ARow of the normal display;
  // nullptr in the renamed display, for a row that is not there, and without
  // a plan.
  const TPlanEntry *PlanEntryAtRow(int ARow) const;

protected:
  // The MarkRole data of a cell (a THintMark as an int): the failure mark in
  // the renamed display, the plan's mark in the normal one; none outside the
  // hint column.
  QVariant MarkAt(const QModelIndex &AIndex) const;

  // A held cell's data (see Hold).
  QVariant HeldData(const QModelIndex &AIndex, int ARole) const;

  // The number of columns in front of the data columns (the hint column).
  int HintColumns() const { return FHintColumn ? 1 : 0; }

  // The list index of the item shown in ARow of a list of ACount items; -1
  // for none.
  int IndexAtRow(int ARow, int ACount) const {
    if (ARow < 0 || ARow >= FRowCount)
      return -1;
    const int LIndex = FRenamedDisplay ? FRows[static_cast<size_t>(ARow)] : ARow;
    return LIndex < ACount ? LIndex : -1;
  }

  // Inserts or removes the hint column at once.
  void ShowHintColumn(bool AValue);

  // Resets the model to the normal display of ACount rows, with the hint
  // column or without it.
  void ResetToNormalRows(int ACount, bool AHintColumn);

  // Normal display to normal display: grows or shrinks the rows at the end to
  // ACount, then announces the rows from AFirstChanged to the last one that
  // was there before as changed.
  void ResizeNormalRows(int ACount, int AFirstChanged);

  // Announces the rows AFirst to ALast as changed in every column (nothing
  // when the range is empty).
  void AnnounceRows(int AFirst, int ALast);

  std::vector<int> FRows; // renamed display: row -> list index
  int FRowCount = 0;
  bool FRenamedDisplay = false;
  bool FHintColumn = false;

private:
  // Announces the hint column's rows as changed under MarkRole.
  void AnnounceMarks();

  const int FDataColumnCount;
  bool FHeld = false;
  int FHeldFirst = 0;
  // The held rows' cells, row after row: display text and mark per column.
  std::vector<QVariant> FHeldCells;
  std::vector<TPlanEntry> FPlan; // by list index
  int FPlanConflicts = 0;
};

template <class TList> class TListGridModel : public TListGridRows {
public:
  TListGridModel(TList &AList, int ADataColumnCount, QObject *AParent = nullptr)
      : TListGridRows(ADataColumnCount, AParent), FList(AList) {}

protected:
  // The list index of the item shown in ARow; -1 for none.
  int ItemAtRow(int ARow) const { return IndexAtRow(ARow, FList.Count()); }

  // Resets the model to the renamed display: every item's GridRow is set (-1
  // for a renamed item) and the rows are rebuilt, with the hint column or
  // without it.
  void ResetToRenamedRows(bool AHintColumn) {
    const int LCount = FList.Count();
    beginResetModel();
    FHintColumn = AHintColumn;
    FRenamedDisplay = true;
    FRows.clear();
    for (int i = 0; i < LCount; ++i) {
      auto &LItem = *FList.Items(i);
      if (LItem.isRenamed()) {
        LItem.SetGridRow(-1);
        continue;
      }
      LItem.SetGridRow(static_cast<int>(FRows.size()));
      FRows.push_back(i);
    }
    FRowCount = static_cast<int>(FRows.size());
    endResetModel();
  }

  // Normal display: sets the GridRow of the items AFrom to ATo - 1 to their
  // positions.
  void NumberItems(int AFrom, int ATo) {
    for (int i = AFrom; i < ATo; ++i)
      FList.Items(i)->SetGridRow(i);
  }

  TList &FList;
};
