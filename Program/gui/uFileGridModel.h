// The file page's preview grid: the one list grid (TListGridModel) over the
// file list, its columns named as the file page's grid names them.
#pragma once

#include "uFileInfo.h"
#include "uListGridModel.h"

class TFileGridModel : public TListGridModel {
  Q_OBJECT
public:
  explicit TFileGridModel(TFileList &AList, QObject *AParent = nullptr)
      : TListGridModel(AList,
                       {QStringLiteral("StringColumn_OldName"),
                        QStringLiteral("StringColumn_NewName"),
                        QStringLiteral("StringColumn_Location")},
                       AParent) {}

  // The list index of the file shown in ARow; -1 for none.
  int FindFileByGridRow(int ARow) const { return ItemAtRow(ARow); }
};
