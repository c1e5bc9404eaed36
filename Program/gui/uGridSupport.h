// Pieces shared by the preview grids of the file page and the folder page: the
// header with the sort-direction marker, the grid's fixed look, the count
// line under a grid, the report of items that were not added, and inserting a
// mask token into an edit.
//
// Typical set-up of a preview grid (InstallSortHeader is in uPageKit.h):
//   TSortHeaderView *LHeader = InstallSortHeader(grid, main);
//   grid.setModel(model);
//   SetupPreviewGrid(grid);
//   connect(LHeader, &TSortHeaderView::SectionMouseDown, ...);
#pragma once

#include "uControlUtils.h"

#include <QHash>
#include <QString>

class QLabel;
class QLineEdit;
class QTableView;

// The header of a preview grid. It keeps every column at its minimum width
// (TMinWidthHeaderView), cannot reorder columns, reports a press of any mouse
// button on a section (not on a section's resize edge) with SectionMouseDown,
// and draws the sort marker: a small triangle at the right end of one
// section, pointing up for "Up" (ascending) and down for "Down" (descending).
//
// Each column keeps a sort direction, its tag: "Up", "Down" or empty (never
// sorted). Tags and the marker are kept by the column's name (the model's
// headerData under ColumnNameRole), so they stay with their column when a hint
// column is inserted in front of it or removed. A column without a name has
// no tag and cannot hold the marker.
class TSortHeaderView : public TMinWidthHeaderView {
  Q_OBJECT
public:
  static constexpr int MarkerWidth = 7;
  static constexpr int MarkerMarginTop = 6;
  static constexpr int MarkerMarginBottom = 6;
  static constexpr int MarkerMarginRight = 4;

  explicit TSortHeaderView(QWidget *AParent = nullptr);

  // The name of the column at ASection (empty when there is none).
  QString SectionName(int ASection) const;

  // The tag of the column at ASection: "Up", "Down" or empty.
  QString SectionTag(int ASection) const;
  void SetSectionTag(int ASection, const QString &ATag);

  // Flips the direction of the column at ASection ("Up" becomes "Down",
  // anything else becomes "Up"), moves the marker into its header and returns
  // the new tag. Every placement flips: placing the marker on a column at
  // set-up makes its first press sort descending.
  QString PlaceSortMarker(int ASection);

  // The section that holds the marker, -1 when no header holds it.
  int MarkerSection() const;
  // The name of the column that holds the marker; empty for none.
  const QString &MarkerColumn() const { return FMarkerColumn; }
  // True when the marker points down (its column's tag is "Down").
  bool MarkerPointsDown() const;
  // Takes the marker away; the columns keep their tags.
  void RemoveSortMarker();
  // Forgets every tag and the marker.
  void ClearSortState();

  // Where the marker is drawn inside a section's rectangle.
  static QRect MarkerRect(const QRect &ASection);

Q_SIGNALS:
  // A mouse button went down on the header of ASection.
  void SectionMouseDown(int ASection, Qt::MouseButton AButton);

protected:
  void mousePressEvent(QMouseEvent *AEvent) override;
  void paintSection(QPainter *APainter, const QRect &ARect, int ALogicalIndex) const override;

private:
  // True when APos lies on the edge by which a section is resized.
  bool OnResizeEdge(int APos) const;

  QHash<QString, QString> FTags;
  QString FMarkerColumn;
};

// Draws a text cell of a preview grid straight with the painter: the row's
// background (selection, alternating rows, the grid's base colour from its
// palette) and the display text on one line, elided as the grid's
// textElideMode says (at the right unless the grid says otherwise). Drawing a
// visible row costs a few fills and texts, whatever the window's style sheet.
// A cell whose text is cut shows the whole text as its tooltip.
class TPlainTextDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  static constexpr int TextMargin = 4;
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
             const QModelIndex &AIndex) const override;
  bool helpEvent(QHelpEvent *AEvent, QAbstractItemView *AView, const QStyleOptionViewItem &AOption,
                 const QModelIndex &AIndex) override;
  // The room the text takes as painted: a column fitted to its contents shows
  // it whole.
  QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
};

// The fixed look of a preview grid: read-only, whole-row single selection,
// alternating rows, lines between cells, no row header, rows 21 high that are
// never measured, columns resized only by the user, text cells drawn by a
// TPlainTextDelegate, and a viewport that paints its whole area (so a repaint
// of rows does not repaint the panels behind the grid).
inline constexpr int PreviewRowHeight = 21;
void SetupPreviewGrid(QTableView &AGrid);

// The count line of a grid: hidden when ARowCount is 0; otherwise "%d file" for
// exactly one row and "%d files" for more ("%d folder" / "%d folders" when
// AFolders), shown. AConflicts above 0 adds ", %d conflict" (one) or
// ", %d conflicts": "25 files, 2 conflicts".
void ShowCountText(int ARowCount, QLabel &AText, bool AFolders, int AConflicts = 0);
// The same with the number of rows of AGrid's model.
void ShowCountText(const QTableView &AGrid, QLabel &AText, bool AFolders, int AConflicts = 0);

// Reports entries that were not added: nothing for ACount <= 0; otherwise
// "%d file was not added" (1) or "%d files were not added" as a warning, then
// the same text in the log.
void ReportNotAdded(int ACount);

// Inserts AText into AEdit at the caret or, when text is selected, in front of
// the selection (which stays in the text and is deselected), and puts the
// caret right after the inserted text. The edit's text is not applied.
void InsertText2Edit(const QString &AText, QLineEdit &AEdit);
