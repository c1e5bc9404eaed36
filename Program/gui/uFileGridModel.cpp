#include "uFileGridModel.h"

#include "platform/uPlatformFs.h"
#include "uControlUtils.h"

#include <algorithm>
#include <limits>

// ---------------------------------------------------------------------------
// Sorting

int CompareTextAZ(QStringView ALeft, QStringView ARight) {
  const qsizetype LCommon = std::min(ALeft.size(), ARight.size());
  const QChar *LLeft = ALeft.data();
  const QChar *LRight = ARight.data();
  for (qsizetype i = 0; i < LCommon; ++i) {
    char16_t LA = LLeft[i].unicode();
    char16_t LB = LRight[i].unicode();
    if (LA == LB)
      continue;
    if (LA >= u'a' && LA <= u'z')
      LA = static_cast<char16_t>(LA - (u'a' - u'A'));
    if (LB >= u'a' && LB <= u'z')
      LB = static_cast<char16_t>(LB - (u'a' - u'A'));
    if (LA != LB)
      return LA < LB ? -1 : 1;
  }
  if (ALeft.size() == ARight.size())
    return 0;
  return ALeft.size() < ARight.size() ? -1 : 1;
}

QStringView LocationView(const TFileInfo &AFile) {
  // The same rule as the file's Location: the path up to its last delimiter,
  // which is dropped unless it is the root's own or follows another one.
  const QStringView LFull(AFile.FullFileName());
  const qsizetype LNameStart = LFull.size() - AFile.OldNameView().size();
  if (LNameStart <= 0)
    return {};
  const qsizetype LLast = LNameStart - 1;
  if (LFull[LLast] == platform::PathDelimiter() && LLast > 0 &&
      !platform::IsPathDelimiter(LFull[LLast - 1]))
    return LFull.first(LLast);
  return LFull.first(LLast + 1);
}

bool TFileSortLess::operator()(const TFileInfo &ALeft, const TFileInfo &ARight) const {
  const TFileInfo &LA = FDown ? ARight : ALeft;
  const TFileInfo &LB = FDown ? ALeft : ARight;
  switch (FKey) {
  case TFileSortKey::OldName:
    return CompareTextAZ(LA.OldNameView(), LB.OldNameView()) < 0;
  case TFileSortKey::NewName:
    return CompareTextAZ(LA.NewName(), LB.NewName()) < 0;
  case TFileSortKey::Location: {
    const int LResult = CompareTextAZ(LocationView(LA), LocationView(LB));
    if (LResult != 0)
      return LResult < 0;
    return CompareTextAZ(LA.OldNameView(), LB.OldNameView()) < 0;
  }
  }
  return false;
}

// ---------------------------------------------------------------------------
// Collecting

QStringList CollectFolderFiles(const QString &AFolder) {
  QStringList LFiles;
  // One frame per open folder: its entries, read in full before any of them
  // is visited (so only one listing is open at a time, whatever the depth),
  // and the next entry to visit.
  struct TFrame {
    QString FPath;
    std::vector<platform::TDirEntry> FEntries;
    size_t FNext = 0;
  };
  std::vector<TFrame> LStack;
  const auto LOpen = [&LStack](const QString &APath) {
    TFrame LFrame;
    LFrame.FPath = APath;
    platform::ListDirectory(APath, [&LFrame](const platform::TDirEntry &AEntry) {
      LFrame.FEntries.push_back(AEntry);
      return true;
    });
    LStack.push_back(std::move(LFrame));
  };
  LOpen(AFolder);
  while (!LStack.empty()) {
    TFrame &LTop = LStack.back();
    if (LTop.FNext >= LTop.FEntries.size()) {
      LStack.pop_back();
      continue;
    }
    const platform::TDirEntry &LEntry = LTop.FEntries[LTop.FNext++];
    const QString LPath = platform::JoinPath(LTop.FPath, LEntry.FName);
    if (LEntry.FIsDirectory) {
      LOpen(LPath); // invalidates LTop
      continue;
    }
    // A link to a folder is skipped; a link to a file (or to nothing) is an
    // entry like any file.
    if (LEntry.FIsSymLink && platform::DirectoryExists(LPath))
      continue;
    LFiles.append(LPath);
  }
  return LFiles;
}

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
  if (ARole != Qt::DisplayRole || !checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  const TFileInfo *LFile = FileAtRow(AIndex.row());
  if (LFile == nullptr)
    return {};
  switch (DataColumnAt(AIndex.column())) {
  case dcOldName:
    return LFile->OldName();
  case dcNewName:
    return LFile->NewFullName();
  case dcLocation:
    return LFile->Location();
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

// ---------------------------------------------------------------------------
// TPropertyGridModel

TPropertyGridModel::TPropertyGridModel(const QStringList &ANames, const QString &ANameHeader,
                                       const QString &AValueHeader, QObject *AParent)
    : QAbstractTableModel(AParent), FNames(ANames), FNameHeader(ANameHeader),
      FValueHeader(AValueHeader) {}

void TPropertyGridModel::SetValues(const QStringList &AValues) {
  FValues = AValues;
  if (!FNames.isEmpty())
    Q_EMIT dataChanged(index(0, 1), index(static_cast<int>(FNames.size()) - 1, 1),
                       {Qt::DisplayRole});
}

int TPropertyGridModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : static_cast<int>(FNames.size());
}

int TPropertyGridModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : 2;
}

QVariant TPropertyGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (ARole != Qt::DisplayRole || !checkIndex(AIndex, CheckIndexOption::IndexIsValid))
    return {};
  return AIndex.column() == 0 ? FNames.value(AIndex.row()) : FValues.value(AIndex.row());
}

QVariant TPropertyGridModel::headerData(int ASection, Qt::Orientation AOrientation,
                                        int ARole) const {
  if (AOrientation != Qt::Horizontal || (ASection != 0 && ASection != 1))
    return {};
  if (ARole == Qt::DisplayRole)
    return ASection == 0 ? FNameHeader : FValueHeader;
  if (ARole == ColumnNameRole)
    return ASection == 0 ? QStringLiteral("scProperties") : QStringLiteral("scValue");
  return {};
}

Qt::ItemFlags TPropertyGridModel::flags(const QModelIndex &AIndex) const {
  if (!AIndex.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
