// The preview grid of both renaming pages: a thin table model over a
// TRenameList, whatever the kind of its items, with two displays:
//   - normal: row i shows item i of the list;
//   - renamed: only the items that are not renamed (after a Rename, or a
//     Rollback that ended), or only those still renamed (after a Rollback
//     that was cancelled), in list order; the model keeps the row -> item
//     mapping and every item's GridRow (-1 for an item not shown).
// The row count and the mapping change only when the model synchronises, so a
// list that changed a moment before is never read through a stale row. An
// optional hint column comes first; the data columns "Old Name", "New Name"
// and "Location" follow. The new name shown is the list's TargetName: the
// name the move gives the item, nothing else.
#pragma once

#include "uRenamePlan.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

class TRenameList;

class TListGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum TDataColumn { dcOldName = 0, dcNewName = 1, dcLocation = 2, DataColumnCount = 3 };
  // Which items the renamed display shows.
  enum class TListed { NotRenamed, StillRenamed };

  // AColumnNames: the names of the three data columns under ColumnNameRole.
  TListGridModel(TRenameList &AList, const QStringList &AColumnNames, QObject *AParent = nullptr);

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

  // Copies the list into the grid in the display ARenamedDisplay chooses (the
  // renamed display showing AListed). In the renamed display every item's
  // GridRow is set and the rows are rebuilt; in the normal display GridRow
  // is set from APosition on (a position beyond the list sets none), rows
  // are added or removed at the end and the rows that stay are announced as
  // changed. Leaving or entering the renamed display resets the model.
  void Synchro(int APosition, bool ARenamedDisplay, TListed AListed = TListed::NotRenamed);
  // Synchro(0) in the current display after a step that changed new names
  // only (no item moved, none was added, removed, renamed or moved back).
  void SynchroNames();
  bool RenamedDisplay() const { return FRenamedDisplay; }
  TListed Listed() const { return FListed; }

  // The list position of the item shown in ARow; -1 for none.
  int ItemAtRow(int ARow) const;
  TRenameList &List() const { return FList; }

  // The hint column in front of the data columns; it comes and goes at once.
  bool HasHintColumn() const { return FHintColumn; }
  void SetHintColumn(bool AValue);
  // The model column of a data column, and the data column of a model column
  // (-1 for the hint column or none).
  int ColumnOf(TDataColumn AColumn) const { return AColumn + HintColumns(); }
  int DataColumnAt(int AColumn) const;
  // The data column named AName under ColumnNameRole; -1 for none.
  int DataColumnNamed(const QString &AName) const;

  // The plan of a Rename, by list index, whose marks the hint column shows in
  // the normal display: a conflict mark for an item that Rename cannot
  // rename, a quiet mark for one that waits for another or is swapped with
  // one, none for the others. The entries are copied, so a later plan of the
  // list changes nothing here until it is handed over.
  void SetPlan(const TPlan &APlan);
  // No plan: no marks and no conflicts.
  void ClearPlan();
  int PlanConflicts() const { return FPlanConflicts; }
  // The plan's entry of the item shown in ARow of the normal display;
  // nullptr in the renamed display, for a row that is not there, and without
  // a plan.
  const TPlanEntry *PlanEntryAtRow(int ARow) const;

  // While a worker runs a step on the list, the grid reads no item: Hold
  // keeps the cells of the rows AFirst to ALast as they are now (the rows
  // the grid shows), and until Release the model answers from them (other
  // rows show empty cells).
  void Hold(int AFirst, int ALast);
  void Release();
  bool Held() const { return FHeld; }

private:
  int HintColumns() const { return FHintColumn ? 1 : 0; }
  // The mark of a hint-column cell (a THintMark as an int).
  QVariant MarkAt(const QModelIndex &AIndex) const;
  QVariant HeldData(const QModelIndex &AIndex, int ARole) const;
  // Announces the rows AFirst to ALast as changed in every column (nothing
  // when the range is empty), and the hint column's rows under MarkRole.
  void AnnounceRows(int AFirst, int ALast);
  void AnnounceMarks();
  // Normal display: every item from AFrom to ATo - 1 shows in the row of its
  // position.
  void NumberItems(int AFrom, int ATo);

  TRenameList &FList;
  const QStringList FColumnNames;
  std::vector<int> FRows; // renamed display: row -> list index
  int FRowCount = 0;
  bool FRenamedDisplay = false;
  TListed FListed = TListed::NotRenamed;
  bool FHintColumn = false;
  // Normal display: from this position on an item's GridRow may differ from
  // its position (INT_MAX: none does).
  int FGridRowsStaleFrom = 0;
  bool FHeld = false;
  int FHeldFirst = 0;
  // The held rows' cells, row after row: display text and mark per column.
  std::vector<QVariant> FHeldCells;
  std::vector<TPlanEntry> FPlan; // by list index
  int FPlanConflicts = 0;
};
