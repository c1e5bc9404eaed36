// Shared pieces of the window and its dialogs: placing a dialog over the main
// window, loading the compiled-in pictures, the grids' hint column and the
// header that keeps columns at their minimum width.
#pragma once

#include <QHeaderView>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStyledItemDelegate>

#include <functional>

class QWidget;

// ---- Placing dialogs --------------------------------------------------------

// Where CenterFormOver puts a form: either at Pos, or in the middle of the
// primary screen when CenterOnPrimary is set (it does not fit there otherwise).
struct TFormPlacement {
  QPoint Pos;
  bool CenterOnPrimary = false;
};

// The placement rule on plain numbers: AParent is the main window's frame,
// AForm the dialog's size, APrimary the primary screen's size and AVirtual the
// size of the union of all screens.
TFormPlacement PlaceFormOver(const QRect &AParent, const QSize &AForm, const QSize &APrimary,
                             const QSize &AVirtual);

// Moves AForm centred over AParent and keeps it on the screen.
void CenterFormOver(const QWidget &AParent, QWidget &AForm);
// CenterFormOver with the main window as AParent; nothing when there is none.
void CenterOverMainForm(QWidget &AForm);

// ---- Pictures ---------------------------------------------------------------

// Loads the picture AName (letter case ignored, e.g. "Button_Undo" or
// "hintcolumnicon") from the compiled-in images. The pictures are painted at
// twice their size, so the pixmap has a device pixel ratio of 2. Returns false
// and leaves ABitmap alone when there is no such picture.
bool LoadBitmapFromResource(QPixmap &ABitmap, const QString &AName);

// ---- Hint column ------------------------------------------------------------

// The hint column of a grid: a model column whose header reports
// HintColumnName under ColumnNameRole and whose view draws it with a
// THintColumn delegate. Each cell shows the mark its MarkRole data names (a
// THintMark as an int), drawn in the cell shrunk by 2 on every side:
//   Failure   "HintColumnIcon": the item's rename or rollback failed;
//   Conflict  "ConflictColumnIcon": Rename cannot rename the item;
//   Quiet     "ChainColumnIcon": the item waits for another or is swapped
//             with one;
//   NotTried  "NotTriedColumnIcon": a Rename or Rollback was cancelled
//             before it tried the item;
//   None      no mark.
// A cell without MarkRole data shows the failure mark. Pages make it 22 wide:
//   grid.setItemDelegateForColumn(0, new THintColumn(&grid));
//   grid.setColumnWidth(0, HintColumnWidth);
inline constexpr int HintColumnWidth = 22;

enum class THintMark { None, Failure, Conflict, Quiet, NotTried };
inline constexpr int MarkRole = Qt::UserRole + 1001;

class THintColumn : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit THintColumn(QObject *AParent = nullptr);
  void paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
             const QModelIndex &AIndex) const override;
  QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
  // The rectangle the mark is drawn into for a cell.
  static QRect MarkRect(const QRect &ACell) { return ACell.adjusted(2, 2, -2, -2); }
  // The mark a cell shows: its MarkRole data, the failure mark without it.
  static THintMark MarkOf(const QModelIndex &AIndex);

private:
  QPixmap FFailure;
  QPixmap FConflict;
  QPixmap FQuiet;
  QPixmap FNotTried;
};

// ---- Column minimum widths --------------------------------------------------

// Models of the grids name their columns: headerData(column, Qt::Horizontal,
// ColumnNameRole) returns the column's name ("StringColumn_OldName", "scNewName",
// HintColumnName, ...). The main window answers minimum widths by the grid's
// object name and these names (TfmMain::GetColumnMinWidth).
inline constexpr int ColumnNameRole = Qt::UserRole + 1000;
inline const QString HintColumnName = QStringLiteral("HintColumn");

// A horizontal header that keeps every column at least as wide as a hook says
// while the user drags its edge. Every column starts with a minimum of 10; the
// hook may raise or lower it. The pages' grids get it as their sort header
// (InstallSortHeader in uPageKit.h), hooked to TfmMain::GetColumnMinWidth.
class TMinWidthHeaderView : public QHeaderView {
  Q_OBJECT
public:
  using TMinWidthHook = std::function<void(int AColumn, int &AMinWidth)>;
  explicit TMinWidthHeaderView(QWidget *AParent = nullptr);
  void SetMinWidthHook(TMinWidthHook AHook) { FHook = std::move(AHook); }
  int ColumnMinWidth(int AColumn) const;

private:
  void SectionResized(int ALogicalIndex, int AOldSize, int ANewSize);
  TMinWidthHook FHook;
};
