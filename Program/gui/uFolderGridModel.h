// The folder page's preview grid as a model over the window's TFolderList: a
// thin adapter that reads the items' texts when the view asks for them, so
// the cost of a synchronisation is what the visible rows cost.
//
// Two display modes, chosen anew by every Synchro:
//   - normal: row i shows list item i;
//   - renamed (the hint column exists, or a folder of the list is renamed):
//     only the items that are not renamed, in list order; the model keeps the
//     row -> item mapping. Renamed items get the grid row -1.
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

  // Rebuilds the rows from the list and records every item's GridRow. In the
  // normal display the rows from APosition on are announced as changed (the
  // rows before show the same items as before); the renamed display, and any
  // change of mode or of the hint column, resets the model.
  void Synchro(int APosition);

  // The hint column in front of the name columns; takes effect at the next
  // Synchro.
  bool HintColumn() const { return FHintColumn; }
  void SetHintColumn(bool AValue) { FPendingHintColumn = AValue; }

  // The list position of the folder shown in ARow; -1 when the row shows none.
  int FolderAtRow(int ARow) const;
  // The first column of the names (1 with the hint column, 0 without).
  int NameColumn() const { return HintColumns(); }

private:
  bool FPendingHintColumn = false;
};
