// The model behind the file page's preview grid: TFileGridModel over the
// file list.
#pragma once

#include "uFileInfo.h"
#include "uListGridModel.h"

// A thin table model over a TFileList. Every row shows its file's current
// values; the rows map to files as TListGridModel describes (the renamed
// display shows the files whose isRenamed is false). The caller chooses the
// display at every Synchro; the hint column changes at once.
class TFileGridModel : public TListGridModel<TFileList> {
  Q_OBJECT
public:
  enum TDataColumn { dcOldName = 0, dcNewName = 1, dcLocation = 2, DataColumnCount = 3 };

  explicit TFileGridModel(TFileList &AList, QObject *AParent = nullptr);

  // Copies the list into the grid. ARenamedDisplay chooses the display. In
  // the renamed display every file's GridRow is set (-1 for a renamed file)
  // and the rows are rebuilt; in the normal display GridRow is set from
  // APosition on (a position beyond the list sets none) and rows are added
  // or removed at the end. Either way every visible row is repainted.
  void Synchro(int APosition, bool ARenamedDisplay);
  // Synchro(0) in the current display after a step that changed new names
  // only (no file moved, none was added, removed, renamed or moved back): the
  // rows stay, GridRow is set only where an earlier step left it unset, and
  // the visible rows are repainted.
  void SynchroNames();

  // The list index of the file shown in ARow; -1 for none.
  int FindFileByGridRow(int ARow) const { return ItemAtRow(ARow); }

  // The hint column in front of the data columns.
  bool HasHintColumn() const { return FHintColumn; }
  void SetHintColumn(bool AValue) { ShowHintColumn(AValue); }

  // The model column of a data column, and the data column of a model column
  // (-1 for the hint column or none).
  int ColumnOf(TDataColumn AColumn) const { return AColumn + HintColumns(); }
  int DataColumnAt(int AColumn) const;

  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

private:
  const TFileInfo *FileAtRow(int ARow) const;

  // Normal display: from this position on a file's GridRow may differ from
  // its position (INT_MAX: none does).
  int FGridRowsStaleFrom = 0;
};
