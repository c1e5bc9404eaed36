// The model of a detail view: a two-column grid of fixed property names
// ("Name", "Location", ...) and their values for the selected item. Both
// pages show their detail grid through it (SetupDetailGrid in uPageKit.h).
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class TPropertyGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  TPropertyGridModel(const QStringList &ANames, const QString &ANameHeader,
                     const QString &AValueHeader, QObject *AParent = nullptr);

  // Values by row; missing ones are empty.
  void SetValues(const QStringList &AValues);
  void ClearValues() { SetValues({}); }
  QString Value(int ARow) const { return FValues.value(ARow); }
  QString Name(int ARow) const { return FNames.value(ARow); }

  int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
  int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

private:
  QStringList FNames;
  QStringList FValues;
  QString FNameHeader;
  QString FValueHeader;
};
