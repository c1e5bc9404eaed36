// What a page of the main window asks of the window: its list of actions and
// their updates, the minimum widths of grid columns, the drop-down boxes to close before the
// window moves, and the window itself as the owner of a page's dialogs. The
// window implements it; a page knows the window only through it, so the
// pages never include the window.
#pragma once

class QComboBox;
class QTableView;
class QWidget;
class TActionList;

class TPageHost {
public:
  virtual ~TPageHost() = default;

  // The window's actions: a page creates its own in this list. Every update
  // handler runs after every action's execute handler and after every
  // deferred handler; a page whose state changed in any other way calls
  // UpdateActions once afterwards.
  virtual TActionList &Actions() = 0;
  virtual void UpdateActions() = 0;
  // The minimum width of a column of a page's grid while the user drags its
  // edge, by the grid's object name and the column's name; AMinWidth comes
  // in as 10.
  virtual void GetColumnMinWidth(const QTableView &AGrid, int AColumn, int &AMinWidth) const = 0;
  // A drop-down box whose popup closes before the window moves.
  virtual void RegisterDropDown(QComboBox &ACombo) = 0;
  // A long step runs on some page (an Add, Rename or Rollback, History's
  // Rollback): what changes names on disk waits for it.
  virtual bool StepRunning() const = 0;
  // The window, as the owner of the dialogs a page opens.
  virtual QWidget &DialogOwner() = 0;
};
