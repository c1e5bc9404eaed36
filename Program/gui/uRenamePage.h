// The workflow of a renaming page, written once for files and folders: the
// list in its grid (normal and renamed displays, the hint column with its
// marks and balloon, the sort header, the count line, the details of the
// selected item), an Add in the worker, the recipe applied as the fields are
// left, the plan of a Rename and its marks, Rename and Rollback in the
// worker with their progress, Cancel and reports, Delete and Clear, and a
// batch rolled back from History. A page (TFilePage, TFolderPage) builds its
// widgets, turns them into a recipe (Recipe) and hands its parts to the
// workflow (SetupWorkflow); it keeps only what is truly its own (the fields
// of its recipe, how it adds items, what its details show).
//
// The page reaches the window through TPageHost only.
//
// Page flags: the rename action's Tag is 1 from a Rename until the next
// Rollback or Add (which then starts a new list); the rollback action's Tag
// is 1 while Rollback is blocked (every step that makes new names sets it,
// since Rollback finds each renamed item by its current new name).
#pragma once

#include "uFolderWalk.h"
#include "uListGridModel.h"
#include "uMaskScanner.h"
#include "uNameRecipe.h"
#include "uPageKit.h"
#include "uRenameList.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;
class TAction;
class TFieldExits;
class TGridMouseWatch;
class TPageHost;
class TPathDropTarget;
class TRenameList;
class TSortHeaderView;

class TRenamePage : public QWidget {
  Q_OBJECT
public:
  ~TRenamePage() override;

  // The naming rules the page's fields show: the masks, the counter, search
  // and replace with their options, and the case rule.
  TNameRecipe Recipe() const;
  // Sets the fields to ARecipe's rules without applying them (the reverse of
  // Recipe); the search options are remembered as their boxes' toggles
  // remember them.
  void SetRecipe(const TNameRecipe &ARecipe);

  // ---- Presets ----
  // The menu of the "Presets" button, filled anew from Presets.ini each time
  // it opens: "Save as…", one entry per preset of the page's kind (a
  // damaged one disabled), "Manage…".
  QMenu *PresetsMenu = nullptr;
  void FillPresetsMenu();
  // Asks a name and saves the page's rules under it; a name that exists is
  // replaced once the user agrees.
  void SavePresetAs();
  // Sets every rule field to the preset AName's rules and applies them.
  void ApplyPreset(const QString &AName);
  void ManagePresets();

  // ---- The list in the grid ----
  // Copies the list into the grid from APosition (TListGridModel::Synchro)
  // and updates the count line; in the normal display the marks and the
  // conflicts follow a new plan of the Rename, made with AListings.
  void SynchroList(int APosition, TListings AListings = TListings::Kept);
  // SynchroList(0) after a step that changed new names only: no item was
  // added, removed, moved, renamed or moved back.
  void SynchroNames(TListings AListings = TListings::Kept);
  // Shows the details of the selected row's item, or of the first row's
  // without a selection.
  void UpdateDetails();
  // The list position of the item shown in ARow; -1 for none.
  int ItemOfRow(int ARow) const;
  TListGridModel &Model() const { return *FModel; }
  TSortHeaderView &Header() const { return *FHeader; }
  // The grid shows the hint column, with either kind of mark.
  bool HasHintColumn() const;
  // The hint column holds the failure marks: Rename stays disabled.
  bool HasFailureMarks() const { return FFailureMarks; }
  // The hint column with the failure marks (the renamed display), after a
  // Rename or Rollback with failures or a cancel; its removal.
  void RecreateHintColumn();
  void RemoveHintColumn();

  // ---- Steps ----
  void ClearList();
  // Removes the selected rows' items from the list (not from the disk), one
  // log entry for each, and renumbers once.
  void DeleteSelected();
  // Applies what the fields show; the folders are read anew, so the marks
  // tell what a Rename would do with the disk as it is now. AThen runs once
  // the new names are shown (not when a read is cancelled).
  void ApplyAll(std::function<void()> AThen = {});
  // Rename and Rollback run in the page's worker (StepWorker): the grid
  // holds its rows, what would change the list is disabled and the
  // progress shows; the report, the log and the marks follow when the step
  // ends.
  void Rename();
  void Rollback();
  // The batch ABatchId was rolled back from History: if it is this list's
  // last Rename, the items moved back show their old names again.
  void BatchRolledBack(const QString &ABatchId);
  // A press on the header section ASection: the list sorted by its column.
  // After a "Sort by" order beyond the columns, the marker comes back and
  // the columns sort as they did before it.
  void HeaderPressed(int ASection);
  // The list sorted by AKey (descending with ADown), as the "Sort by" menu
  // asks: a column's key puts the marker on that column pointing that way;
  // any other key takes the marker off the columns while it is in force.
  // The date taken is read in the worker first (Cancel leaves the order as
  // it was). Items added later take their places in the same order.
  void SortBy(TSortKey AKey, bool ADown);
  // The order the rows are in: the "Sort by" order beyond the columns in
  // force, else the marked column's; none while neither holds.
  std::optional<std::pair<TSortKey, bool>> ShownOrder() const;
  // The order chosen last through a header or "Sort by": the one a preset
  // saved now keeps; none before the first.
  std::optional<std::pair<TSortKey, bool>> ChosenOrder() const;
  // The "Sort by" menu button above the grid.
  QToolButton &SortByButton() const { return *FSortBy; }
  // The balloon over the hint column, for the mouse at APos in the grid's
  // viewport; nothing is read of the list while a step runs.
  void GridMouseMove(const QPoint &APos);
  bool StepRunning() const;
  // Cancels a running step, waits for it and ends it as a Cancel does
  // (closing the window).
  void CancelStepAndWait();

  // ---- The fields' exits ----
  // A mask applied on its own rebuilds the names without search and replace
  // and without the case rule.
  void MaskExit(masks::TMaskPart APart, const QString &AMask);
  // The search, the replacement or their options changed.
  void SearchExit();
  void CounterChanged();
  void CaseChanged();

  TStepWorker *StepWorker = nullptr;
  TStepProgress *StepProgress = nullptr;
  // "Regular expression" and "Match case" under the search fields, and why a
  // pattern is not valid; Rename waits while it is not.
  TSearchOptions SearchOptions;
  bool FSearchValid = true;
  // The grid row whose balloon is showing, -1 for none.
  int FLastHintCell = -1;

protected:
  TRenamePage(TPageHost &AHost, TRenameList &AList, QWidget *AParent);

  // What a page hands to the workflow once its widgets exist.
  struct TParts {
    QWidget *FNamePart = nullptr; // the fields of the recipe: disabled during a step
    QWidget *FListPart = nullptr; // the list's controls: disabled during a step
    QTableView *FGrid = nullptr;
    TListGridModel *FModel = nullptr;
    QLabel *FCount = nullptr;
    TAction *FRename = nullptr;
    TAction *FRollback = nullptr;
    TAction *FClear = nullptr;
    TAction *FDelete = nullptr;
    TAction *FApply = nullptr;
    QAbstractButton *FRenameButton = nullptr;
    QAbstractButton *FRollbackButton = nullptr;
    QAbstractButton *FDeleteButton = nullptr;
    // The fields of the recipe; no extension mask for a kind without one.
    QLineEdit *FNameMask = nullptr;
    QLineEdit *FExtMask = nullptr;
    QSpinBox *FCounterStart = nullptr;
    QSpinBox *FCounterStep = nullptr;
    QComboBox *FCounterDigits = nullptr;
    QLineEdit *FSearch = nullptr;
    QLineEdit *FReplace = nullptr;
    QComboBox *FCase = nullptr;
    // The "Presets" menu button beside Apply.
    QPushButton *FPresetsButton = nullptr;
    QString FRenameShortcutName; // the object name of the Ctrl+Return shortcut
    // The paths dropped onto the grid or given on the command line.
    std::function<void(const QStringList &APaths)> FOnPaths;
  };
  // Wires the grid, its header, model and balloon, the actions, the keys
  // and the progress display; called at the end of the page's constructor.
  void SetupWorkflow(const TParts &AParts);

  // The item at APosition in the detail view; -1: nothing to show.
  virtual void ShowDetailsOf(int APosition) = 0;

  // What an Add did.
  struct TAdded {
    int FFound = 0;
    int FNotAdded = 0;
    bool FStopped = false;
    std::vector<TUnreadable> FUnreadable;
    std::vector<QString> FOwnFiles;
  };
  // Adds in the worker: AAdd adds to the list (on the worker's thread) and
  // says what it did; the new items' names by the recipe and the plan of the
  // marks follow there, then the grid. ALogAdded writes how many were added.
  void StartAdd(std::function<TAdded(TProgress &AProgress)> AAdd, bool ALogAdded);
  // The paths of a drop or of the command line that name an entry, once the
  // log has ALog and one message has named those that name nothing; empty
  // while AAdd is disabled or a step runs (nothing is added then).
  QStringList OutsidePaths(const QStringList &APaths, const TAction &AAdd, const QString &ALog);
  // The field exits of the page's fields.
  TFieldExits &FieldExits() { return *FFieldExits; }
  // The action update of an action that only waits for the running step.
  static void EnableWhileIdle(TAction &AAction, const TRenamePage &APage);

  TPageHost &FHost;
  TRenameList &FList;

private:
  bool Folders() const;
  // The list's HasRenamedItems, without a scan of the list before the first
  // Rename or after a scan found none: items become renamed only there.
  bool HasRenamedItems();
  // SynchroList, or with ANamesOnly SynchroNames.
  void Synchronise(int APosition, TListings AListings, bool ANamesOnly);
  // Every item named anew by the recipe, then the grid; with metadata the
  // list has not read yet, once the worker has read it.
  void RecomputeNewNames(TListings AListings = TListings::Kept, std::function<void()> AThen = {});
  // What a change of the list reads from the files first, on the worker:
  // FRead, when FNeeded, reporting to the progress (false: stopped).
  struct TListRead {
    bool FNeeded = false;
    std::function<bool(TProgress &AProgress)> FRead;
  };
  // The reading ARecipe's masks need: the metadata the list has not read.
  TListRead MetadataRead(const TNameRecipe *ARecipe);
  // Changes the list with AChange, then shows it with AShow, which gets the
  // listings its plan is to use. Where ARead is needed (the metadata of a
  // recipe's masks, the dates of a sort) the step worker reads first (a
  // Cancel leaves the list as it was). In a list of LargeList() items or more, AChange
  // runs on the worker too, with the plan of the names it makes (AShow then
  // gets TListings::Planned), so that the window never stops for it. AChange
  // touches the list only.
  void ChangeListThen(const TNameRecipe *ARecipe, TListings AListings,
                      std::function<void()> AChange, std::function<void(TListings)> AShow);
  void ChangeListThen(TListRead ARead, TListings AListings, std::function<void()> AChange,
                      std::function<void(TListings)> AShow);
  // The items from APosition on have new positions (a delete, a sort): each
  // gets its position as Index and, with the counter in a mask, every item
  // its name anew by ARecipe. Returns the first row to rewrite. Touches the
  // list only: it may run on the worker.
  int RenumberFrom(int APosition, const TNameRecipe &ARecipe);
  // After a Rename the list holds its outcome: an Add starts a new list,
  // which can no longer be rolled back.
  void StartNewListAfterRenaming();
  void AddEnded(const TAdded &AAdded, int APosition, int AFirstChanged, bool ALogAdded);
  // Before a step: the focus leaves the fields (their exits run now, not
  // while the worker owns the list), the grid keeps the rows it shows and
  // the parts that change the list are disabled. EndStep undoes it.
  void BeginStep();
  // The grid keeps the rows in view as they are now (once per step).
  void HoldShownRows();
  void EndStep();
  // After a step: the focus back where it was, or on the next control
  // that can take it.
  void RestoreFocus();
  void RenameEnded(int AFailed);
  void RollbackEnded(int AFailed, int ATotal);
  // Shows or removes the hint column (the delegate and its width with it),
  // keeping the selected row.
  void ShowHintColumn(bool AValue);
  // The order the header's marker shows: its column's key and whether it
  // points down; none while the marker is on no data column.
  std::optional<std::pair<TSortKey, bool>> MarkedOrder() const;
  static TSortKey SortKeyOf(int ADataColumn);
  // The header shows the order AKey, ADown: the marker on a column's key's
  // column pointing that way, or off the columns for any other key.
  void ShowOrder(TSortKey AKey, bool ADown);
  // The "Sort by" button at the end of the row of buttons above the grid
  // (the row of the Delete button), with its menu.
  void CreateSortByButton();

public:
  // Lists of this many items or more change on the worker (150,000; tests
  // lower it). Returns the number before.
  static int SetLargeList(int ACount);
  static int LargeList();

private:
  // The marker on the first column; a hint column starts without a direction.
  void CreateSortMarker();
  int SelectedRow() const;
  // Ctrl+Return: applies what a field still holds, then renames.
  void RenameByKey();
  void SaveColumnWidths();
  void RestoreColumnWidths();

  TParts FParts;
  TListGridModel *FModel = nullptr;
  TSortHeaderView *FHeader = nullptr;
  QToolButton *FSortBy = nullptr;
  // A "Sort by" order that is no column's, while it is in force.
  std::optional<std::pair<TSortKey, bool>> FOrderBeyond;
  // An order was chosen through a header or "Sort by" (the one at start,
  // the marker on the first column, is none).
  bool FOrderChosen = false;
  // The hint column holds the failure marks (the renamed display).
  bool FFailureMarks = false;
  // What the renamed display lists: the items not renamed, or after a
  // cancelled Rollback those still renamed.
  TListGridModel::TListed FListed = TListGridModel::TListed::NotRenamed;
  bool FMayHaveRenamed = false;
  // Set while the page itself rebuilds the grid: selection signals of the
  // rebuild do not compute details.
  int FSynchronising = 0;
  // The widths of the grid's columns by their names, kept across resets.
  QHash<QString, int> FColumnWidths;
  // What the paths from outside that the running Add took could not give:
  // reported with the Add's own problems when it ends.
  TAddProblems FOutsideProblems;
  // The widget that had the focus when a step began: it has it back when the
  // step ends.
  QPointer<QWidget> FFocusBeforeStep;
  // Members, so that they are gone before the widgets they watch.
  std::unique_ptr<TFieldExits> FFieldExits;
  std::unique_ptr<TGridMouseWatch> FGridMouse;
  std::unique_ptr<TPathDropTarget> FDropTarget;
};
