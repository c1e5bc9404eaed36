// The folder page's preview grid as a model over the window's TFolderList: a
// thin adapter that reads the items' texts when the view asks for them, so
// the cost of a synchronisation is what the visible rows cost.
//
// Two display modes, chosen by the page at every Synchro:
//   - normal (no failure marks and no renamed folder in the list): row i
//     shows list item i; the hint column is there while the plan handed over
//     (SetPlan) has conflicts, and shows its marks;
//   - renamed: only the items that are not renamed, in list order; the model
//     keeps the row -> item mapping. Renamed items get the grid row -1. The
//     hint column is there with the failure marks, or not at all.
// Columns: "Old Name", "New Name", "Location", with the hint column in front
// of them (column 0) while it exists.
#pragma once

#include "uListGridModel.h"

class TFolderList;

class TFolderGridModel : public TListGridModel<TFolderList> {
  Q_OBJECT
public:
  TFolderGridModel(TFolderList &AList, QObject *AParent);

  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;

  // Rebuilds the rows from the list in the display ARenamedDisplay chooses
  // and records every item's GridRow. In the normal display the rows from
  // APosition on are announced as changed (the rows before show the same
  // items as before) and the hint column comes or goes with the plan's
  // conflicts; the renamed display, with the hint column of the failure
  // marks when AFailureMarks, and any change of display reset the model.
  void Synchro(int APosition, bool ARenamedDisplay, bool AFailureMarks);

  // The hint column in front of the name columns.
  bool HintColumn() const { return FHintColumn; }

  // The list position of the folder shown in ARow; -1 when the row shows none.
  int FolderAtRow(int ARow) const;
  // The first column of the names (1 with the hint column, 0 without).
  int NameColumn() const { return HintColumns(); }
};
