#include "uControlUtils.h"

#include "uUtilGui.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cmath>

TFormPlacement PlaceFormOver(const QRect &AParent, const QSize &AForm, const QSize &APrimary,
                             const QSize &AVirtual) {
  TFormPlacement LResult;
  // Integer division truncates toward zero, as the rule wants.
  int LLeft = AParent.left() + (AParent.width() - AForm.width()) / 2;
  int LTop = AParent.top() + (AParent.height() - AForm.height()) / 2;

  QSize LBounds = APrimary;
  bool LOnPrimary = true;
  if (AParent.left() + AParent.width() > APrimary.width()) {
    // The main window reaches into another monitor.
    LBounds = AVirtual;
    LOnPrimary = false;
  }
  if (LLeft < 0)
    LLeft = 0;
  if (LTop < 0)
    LTop = 0;
  if (LLeft + AForm.width() > LBounds.width() || LTop + AForm.height() > LBounds.height()) {
    if (LOnPrimary) {
      LResult.CenterOnPrimary = true;
      LLeft = (APrimary.width() - AForm.width()) / 2;
      LTop = (APrimary.height() - AForm.height()) / 2;
    } else {
      LLeft = static_cast<int>(std::lround(
          APrimary.width() + (LBounds.width() - APrimary.width() - AForm.width()) / 2.0));
      LTop = (APrimary.height() - AForm.height()) / 2;
    }
  }
  LResult.Pos = QPoint(LLeft, LTop);
  return LResult;
}

void CenterFormOver(const QWidget &AParent, QWidget &AForm) {
  const QScreen *LPrimary = QGuiApplication::primaryScreen();
  if (LPrimary == nullptr)
    return;
  const QRect LPrimaryRect = LPrimary->geometry();
  QRect LVirtual;
  for (const QScreen *LScreen : QGuiApplication::screens())
    LVirtual = LVirtual.united(LScreen->geometry());
  // Positions are taken relative to the primary screen's top-left corner.
  const QRect LParent = AParent.frameGeometry().translated(-LPrimaryRect.topLeft());
  const TFormPlacement LPlace =
      PlaceFormOver(LParent, AForm.frameGeometry().size(), LPrimaryRect.size(), LVirtual.size());
  AForm.move(LPlace.Pos + LPrimaryRect.topLeft());
}

void CenterOverMainForm(QWidget &AForm) {
  if (const QWidget *LMain = FindMainWindow())
    CenterFormOver(*LMain, AForm);
}

bool LoadBitmapFromResource(QPixmap &ABitmap, const QString &AName) {
  // Lower-case name -> resource path, built once from the compiled-in folder.
  static const QHash<QString, QString> LIndex = [] {
    QHash<QString, QString> LMap;
    const QDir LDir(QStringLiteral(":/images"));
    for (const QString &LFile : LDir.entryList(QDir::Files)) {
      const QString LBase = LFile.section(QLatin1Char('.'), 0, 0);
      LMap.insert(LBase.toLower(), LDir.filePath(LFile));
    }
    return LMap;
  }();
  const auto LFound = LIndex.constFind(AName.toLower());
  if (LFound == LIndex.constEnd())
    return false;
  QPixmap LPixmap;
  if (!LPixmap.load(LFound.value()))
    return false;
  LPixmap.setDevicePixelRatio(2.0);
  ABitmap = LPixmap;
  return true;
}

THintColumn::THintColumn(QObject *AParent) : QStyledItemDelegate(AParent) {
  LoadBitmapFromResource(FFailure, QStringLiteral("HintColumnIcon"));
  LoadBitmapFromResource(FConflict, QStringLiteral("ConflictColumnIcon"));
  LoadBitmapFromResource(FQuiet, QStringLiteral("ChainColumnIcon"));
  LoadBitmapFromResource(FNotTried, QStringLiteral("NotTriedColumnIcon"));
}

THintMark THintColumn::MarkOf(const QModelIndex &AIndex) {
  const QVariant LMark = AIndex.data(MarkRole);
  return LMark.isValid() ? static_cast<THintMark>(LMark.toInt()) : THintMark::Failure;
}

void THintColumn::paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
                        const QModelIndex &AIndex) const {
  // Background and selection as any cell.
  const QWidget *LWidget = AOption.widget;
  QStyle *LStyle = LWidget != nullptr ? LWidget->style() : QApplication::style();
  LStyle->drawPrimitive(QStyle::PE_PanelItemViewItem, &AOption, APainter, LWidget);
  const QPixmap *LBitmap = nullptr;
  switch (MarkOf(AIndex)) {
  case THintMark::Failure:
    LBitmap = &FFailure;
    break;
  case THintMark::Conflict:
    LBitmap = &FConflict;
    break;
  case THintMark::Quiet:
    LBitmap = &FQuiet;
    break;
  case THintMark::NotTried:
    LBitmap = &FNotTried;
    break;
  case THintMark::None:
    break;
  }
  if (LBitmap == nullptr || LBitmap->isNull())
    return;
  APainter->save();
  APainter->setRenderHint(QPainter::SmoothPixmapTransform, true);
  APainter->drawPixmap(MarkRect(AOption.rect), *LBitmap);
  APainter->restore();
}

QSize THintColumn::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
  return {HintColumnWidth, 21};
}

TMinWidthHeaderView::TMinWidthHeaderView(QWidget *AParent) : QHeaderView(Qt::Horizontal, AParent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setMinimumSectionSize(1);
  connect(this, &QHeaderView::sectionResized, this, &TMinWidthHeaderView::SectionResized);
}

int TMinWidthHeaderView::ColumnMinWidth(int AColumn) const {
  int LMin = 10;
  if (FHook)
    FHook(AColumn, LMin);
  return LMin;
}

void TMinWidthHeaderView::SectionResized(int ALogicalIndex, int, int ANewSize) {
  // A hidden column has the size 0 and keeps it.
  if (isSectionHidden(ALogicalIndex))
    return;
  const int LMin = ColumnMinWidth(ALogicalIndex);
  if (ANewSize < LMin)
    resizeSection(ALogicalIndex, LMin);
}
