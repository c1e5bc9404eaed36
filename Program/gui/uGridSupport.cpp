#include "uGridSupport.h"

#include "uLog.h"
#include "uMessageForm.h"
#include "uResourceString.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <cmath>

namespace {

const QString TagUp = QStringLiteral("Up");
const QString TagDown = QStringLiteral("Down");

// Makes a grid's viewport opaque: it fills what it repaints with the grid's
// background before the grid draws its cells, so a repaint of some rows does
// not repaint the styled panels and group boxes behind the grid as well.
class TOpaqueViewport : public QObject {
public:
  explicit TOpaqueViewport(QAbstractItemView &AGrid) : QObject(AGrid.viewport()), FGrid(AGrid) {
    AGrid.viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
    AGrid.viewport()->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Paint) {
      auto *LViewport = static_cast<QWidget *>(AWatched);
      QPainter LPainter(LViewport);
      LPainter.fillRect(static_cast<QPaintEvent *>(AEvent)->rect(),
                        FGrid.palette().brush(QPalette::Base));
    }
    return false;
  }

private:
  QAbstractItemView &FGrid;
};

} // namespace

TSortHeaderView::TSortHeaderView(QWidget *AParent) : TMinWidthHeaderView(AParent) {
  setObjectName(QStringLiteral("SortHeader"));
  setSectionsMovable(false);
  // Presses are reported by SectionMouseDown; the header's own click handling
  // (which would select a column) stays off.
  setSectionsClickable(false);
  setSortIndicatorShown(false);
  setSectionResizeMode(QHeaderView::Interactive);
  setStretchLastSection(false);
}

QString TSortHeaderView::SectionName(int ASection) const {
  const QAbstractItemModel *LModel = model();
  if (LModel == nullptr || ASection < 0 || ASection >= LModel->columnCount())
    return {};
  return LModel->headerData(ASection, orientation(), ColumnNameRole).toString();
}

QString TSortHeaderView::SectionTag(int ASection) const {
  const QString LName = SectionName(ASection);
  return LName.isEmpty() ? QString() : FTags.value(LName);
}

void TSortHeaderView::SetSectionTag(int ASection, const QString &ATag) {
  const QString LName = SectionName(ASection);
  if (LName.isEmpty())
    return;
  FTags.insert(LName, ATag);
  if (LName == FMarkerColumn)
    viewport()->update();
}

QString TSortHeaderView::PlaceSortMarker(int ASection) {
  const QString LName = SectionName(ASection);
  if (LName.isEmpty())
    return {};
  const QString LTag = FTags.value(LName) == TagUp ? TagDown : TagUp;
  FTags.insert(LName, LTag);
  FMarkerColumn = LName;
  viewport()->update();
  return LTag;
}

int TSortHeaderView::MarkerSection() const {
  if (FMarkerColumn.isEmpty())
    return -1;
  for (int LSection = 0; LSection < count(); ++LSection) {
    if (SectionName(LSection) == FMarkerColumn)
      return LSection;
  }
  return -1;
}

bool TSortHeaderView::MarkerPointsDown() const {
  return !FMarkerColumn.isEmpty() && FTags.value(FMarkerColumn) == TagDown;
}

void TSortHeaderView::RemoveSortMarker() {
  FMarkerColumn.clear();
  viewport()->update();
}

void TSortHeaderView::ClearSortState() {
  FTags.clear();
  RemoveSortMarker();
}

QRect TSortHeaderView::MarkerRect(const QRect &ASection) {
  const int LRight = ASection.right() - MarkerMarginRight;
  return QRect(QPoint(LRight - MarkerWidth + 1, ASection.top() + MarkerMarginTop),
               QPoint(LRight, ASection.bottom() - MarkerMarginBottom));
}

bool TSortHeaderView::OnResizeEdge(int APos) const {
  const int LVisual = visualIndexAt(APos);
  if (LVisual < 0)
    return false;
  const int LLogical = logicalIndex(LVisual);
  const int LStart = sectionViewportPosition(LLogical);
  const int LGrip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
  const auto LResizable = [this](int ALogical) {
    return ALogical >= 0 && sectionResizeMode(ALogical) == QHeaderView::Interactive;
  };
  if (APos < LStart + LGrip && LVisual > 0)
    return LResizable(logicalIndex(LVisual - 1));
  if (APos > LStart + sectionSize(LLogical) - LGrip)
    return LResizable(LLogical);
  return false;
}

void TSortHeaderView::mousePressEvent(QMouseEvent *AEvent) {
  const QPoint LPoint = AEvent->position().toPoint();
  const int LPos = orientation() == Qt::Horizontal ? LPoint.x() : LPoint.y();
  const bool LOnEdge = OnResizeEdge(LPos);
  const int LSection = logicalIndexAt(LPos);
  const Qt::MouseButton LButton = AEvent->button();
  // The header settles its own press (a resize starts here) before the
  // handler may reset the model.
  TMinWidthHeaderView::mousePressEvent(AEvent);
  if (!LOnEdge && LSection >= 0)
    Q_EMIT SectionMouseDown(LSection, LButton);
}

void TSortHeaderView::paintSection(QPainter *APainter, const QRect &ARect,
                                   int ALogicalIndex) const {
  TMinWidthHeaderView::paintSection(APainter, ARect, ALogicalIndex);
  if (FMarkerColumn.isEmpty() || SectionName(ALogicalIndex) != FMarkerColumn)
    return;
  const QRectF LBox = MarkerRect(ARect);
  if (LBox.width() <= 0 || LBox.height() <= 0)
    return;
  QPainterPath LPath;
  if (MarkerPointsDown()) {
    // "M 0,0 L 1,0 L 0.5,1 Z"
    LPath.moveTo(LBox.left(), LBox.top());
    LPath.lineTo(LBox.right(), LBox.top());
    LPath.lineTo(LBox.center().x(), LBox.bottom());
  } else {
    // "M 0,1 L 1,1 L 0.5,0 L 0,1 Z"
    LPath.moveTo(LBox.left(), LBox.bottom());
    LPath.lineTo(LBox.right(), LBox.bottom());
    LPath.lineTo(LBox.center().x(), LBox.top());
  }
  LPath.closeSubpath();
  APainter->save();
  // The section's own painting may leave a clip or a transformation behind.
  APainter->resetTransform();
  APainter->setClipRect(ARect);
  APainter->setOpacity(1.0);
  APainter->setRenderHint(QPainter::Antialiasing, true);
  APainter->setPen(Qt::NoPen);
  APainter->setBrush(palette().color(QPalette::ButtonText));
  APainter->drawPath(LPath);
  APainter->restore();
}

void TPlainTextDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
                               const QModelIndex &AIndex) const {
  const QPalette &LPalette = AOption.palette;
  const bool LSelected = AOption.state.testFlag(QStyle::State_Selected);
  const bool LAlternate = AOption.features.testFlag(QStyleOptionViewItem::Alternate);
  const QPalette::ColorGroup LGroup =
      AOption.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
  QBrush LBackground = LPalette.brush(LGroup, QPalette::Base);
  if (LSelected)
    LBackground = LPalette.brush(LGroup, QPalette::Highlight);
  else if (LAlternate)
    LBackground = LPalette.brush(LGroup, QPalette::AlternateBase);
  APainter->fillRect(AOption.rect, LBackground);
  const QString LText = AIndex.data(Qt::DisplayRole).toString();
  if (LText.isEmpty())
    return;
  const QRect LTextRect = AOption.rect.adjusted(TextMargin, 0, -TextMargin, 0);
  const QFontMetrics LMetrics(AOption.font);
  APainter->save();
  APainter->setFont(AOption.font);
  APainter->setPen(LPalette.color(LGroup, LSelected ? QPalette::HighlightedText : QPalette::Text));
  APainter->drawText(LTextRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     LMetrics.elidedText(LText, AOption.textElideMode, LTextRect.width()));
  APainter->restore();
}

QSize TPlainTextDelegate::sizeHint(const QStyleOptionViewItem &AOption,
                                   const QModelIndex &AIndex) const {
  // Rounded up: the painter elides a text that needs a fraction of a pixel
  // more than it has.
  const QString LText = AIndex.data(Qt::DisplayRole).toString();
  const QFontMetricsF LMetrics(AOption.font);
  return {static_cast<int>(std::ceil(LMetrics.horizontalAdvance(LText))) + 1 + 2 * TextMargin,
          static_cast<int>(std::ceil(LMetrics.height()))};
}

bool TPlainTextDelegate::helpEvent(QHelpEvent *AEvent, QAbstractItemView *AView,
                                   const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) {
  if (AEvent != nullptr && AView != nullptr && AEvent->type() == QEvent::ToolTip &&
      AIndex.isValid() && !AIndex.data(Qt::ToolTipRole).isValid()) {
    const QString LText = AIndex.data(Qt::DisplayRole).toString();
    const int LRoom = AOption.rect.width() - 2 * TextMargin;
    if (!LText.isEmpty() && QFontMetrics(AOption.font).horizontalAdvance(LText) > LRoom) {
      QToolTip::showText(AEvent->globalPos(), LText, AView->viewport(), AOption.rect);
      return true;
    }
  }
  return QStyledItemDelegate::helpEvent(AEvent, AView, AOption, AIndex);
}

void SetupPreviewGrid(QTableView &AGrid) {
  AGrid.setEditTriggers(QAbstractItemView::NoEditTriggers);
  AGrid.setSelectionBehavior(QAbstractItemView::SelectRows);
  AGrid.setSelectionMode(QAbstractItemView::SingleSelection);
  AGrid.setAlternatingRowColors(true);
  AGrid.setShowGrid(true);
  AGrid.setWordWrap(false);
  AGrid.setSortingEnabled(false);
  AGrid.setCornerButtonEnabled(false);
  AGrid.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView *LRows = AGrid.verticalHeader();
  LRows->hide();
  LRows->setMinimumSectionSize(1);
  LRows->setSectionResizeMode(QHeaderView::Fixed);
  LRows->setDefaultSectionSize(PreviewRowHeight);
  AGrid.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  AGrid.horizontalHeader()->setSectionsMovable(false);
  AGrid.setItemDelegate(new TPlainTextDelegate(&AGrid));
  new TOpaqueViewport(AGrid);
}

void ShowCountText(int ARowCount, QLabel &AText, bool AFolders, int AConflicts) {
  if (ARowCount <= 0) {
    AText.hide();
    return;
  }
  const QString &LFormat = AFolders
                               ? rs::ForCount(ARowCount, rs::FolderCountOne, rs::FolderCountMany)
                               : rs::ForCount(ARowCount, rs::FileCountOne, rs::FileCountMany);
  QString LText = rs::FormatMessage(LFormat, {ARowCount});
  if (AConflicts > 0)
    LText += QStringLiteral(", ") + rs::FormatMessage(rs::ForCount(AConflicts, rs::ConflictCountOne,
                                                                   rs::ConflictCountMany),
                                                      {AConflicts});
  AText.setText(LText);
  AText.show();
}

void ShowCountText(const QTableView &AGrid, QLabel &AText, bool AFolders, int AConflicts) {
  const QAbstractItemModel *LModel = AGrid.model();
  ShowCountText(LModel != nullptr ? LModel->rowCount() : 0, AText, AFolders, AConflicts);
}

void ReportNotAdded(int ACount) {
  if (ACount <= 0)
    return;
  const QString LText =
      rs::FormatMessage(rs::ForCount(ACount, rs::FileWasNotAdded, rs::FilesWereNotAdded), {ACount});
  ShowWarningMessage(LText);
  GetLogger().WriteLog(LText);
}

void InsertText2Edit(const QString &AText, QLineEdit &AEdit) {
  const int LAt = AEdit.hasSelectedText() ? AEdit.selectionStart() : AEdit.cursorPosition();
  QString LText = AEdit.text();
  LText.insert(LAt, AText);
  AEdit.setText(LText);
  AEdit.deselect();
  AEdit.setCursorPosition(LAt + static_cast<int>(AText.size()));
}
