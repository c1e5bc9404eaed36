#include "uPropertyGridModel.h"

#include "uControlUtils.h"

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
