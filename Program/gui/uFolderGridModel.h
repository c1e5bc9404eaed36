// The folder page's preview grid: the one list grid (TListGridModel) over the
// folder list, its columns named as the folder page's grid names them.
#pragma once

#include "uFolderInfo.h"
#include "uListGridModel.h"

class TFolderGridModel : public TListGridModel {
  Q_OBJECT
public:
  TFolderGridModel(TFolderList &AList, QObject *AParent)
      : TListGridModel(AList,
                       {QStringLiteral("scOldName"), QStringLiteral("scNewName"),
                        QStringLiteral("scLocation")},
                       AParent) {}

  // The list position of the folder shown in ARow; -1 when the row shows none.
  int FolderAtRow(int ARow) const { return ItemAtRow(ARow); }
  // The hint column in front of the name columns.
  bool HintColumn() const { return HasHintColumn(); }
  // The first column of the names (1 with the hint column, 0 without).
  int NameColumn() const { return ColumnOf(dcOldName); }
};
