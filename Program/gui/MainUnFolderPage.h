// The folder page: collecting folders through the select-folder dialog (the
// walk under the wait overlay), the preview grid with its two display modes,
// the count line, Delete, Clear and the details of the selected folder; the
// mask with its token buttons, search-and-replace, letter case and counter;
// Rename and Rollback, run directly, with their reports, the hint column and
// the failure balloon; sorting by a press on a column header.
//
// Recipe() turns the "Name" group into the naming rules; a step that makes
// names by them hands the recipe to the list (TFolderList::ApplyRecipe) from
// the first position it touched. Every step ends with SynchroFolderList,
// which in the normal display first plans the Rename
// (TFolderList::PlanRenaming): while a folder has a conflict the hint column
// shows the conflict marks, Rename stays enabled, and the count line counts
// the conflicts. After a Rename or Rollback with failures the hint column
// shows the failure marks in the renamed display instead. What the page shares with the file page
// (field exits, token buttons, the sort header, the hint column's balloon,
// the reports, the detail view) comes from the page kit (uPageKit.h).
//
// The page's rename state is the Tag of two of its actions:
//   acRenameFolder   1 from a Rename until the next Rollback or the next
//                    Add Folder (which then starts a new list); Delete is off.
//   acRollbackFolder 1 blocks Rollback.
#pragma once

#include "uFolderInfo.h"
#include "uNameRecipe.h"
#include "uPageKit.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class TAction;
class TFolderGridModel;
class TFieldExits;
class TFolderList;
class TGridMouseWatch;
class THintColumn;
class TPropertyGridModel;
class TSortHeaderView;
class TTokenButton;
class TfmMain;

class TFolderPage : public QWidget {
  Q_OBJECT
public:
  TFolderPage(TfmMain &AMain, QWidget *AParent);
  ~TFolderPage() override;

  // ---- Collecting (the "Folder List" group) ----
  void acAddFolderExecute();
  // Rebuilds the grid from the list; in the normal display the rows from
  // APosition on are rewritten, and the marks and the conflicts follow a new
  // plan of the Rename, made with AListings.
  void SynchroFolderList(int APosition, TListings AListings = TListings::Kept);
  void acClearFolderExecute();
  void acClearFolderUpdate();
  // Removes the selected rows' folders from the list (not from the disk), one
  // log entry for each, and renumbers once.
  void acDeleteFolderExecute();
  void acDeleteFolderUpdate();
  // Folders from the command line or a drop, added as Add Folder adds the
  // chosen one, with the "include" options the page remembers and under the
  // same rules: nothing while Add Folder is disabled, a new list after a
  // Rename. Paths that name nothing are reported in one message; a path that
  // is no folder is not added.
  void AddOutsideFolders(const QStringList &APaths);
  void sgDetailInfoFolderUpdate();
  // The list position of the folder the detail view shows; -1 for none.
  int ShownFolder() const;
  void sgFolderRenameSelChanged();
  // The list position of the folder shown in ARow; -1 when there is none.
  int FindFolderByGridRow(int ARow) const;

  // ---- Masks, Rename and Rollback (the "Name" group) ----
  void acFolder_NameExecute();
  void acFolder_CountExecute();
  void acFolder_DateExecute();
  void acFolder_TimeExecute();
  void edFolderMaskExit();
  void edFolderReplaceExit();
  void cbxFolderCaseChange();
  void SynchroFolderCounter();
  // The naming rules the "Name" group shows: the mask, the counter, search
  // and replace and the case rule.
  TNameRecipe Recipe() const;
  // "Regular expression" and "Match case" under the search fields, and why a
  // pattern is not valid; Rename waits while it is not.
  TSearchOptions SearchOptions;
  bool FSearchValid = true;
  void acApplyAllFolderExecute();
  // Rename and Rollback run in the page's worker (StepWorker), as on the
  // file page: the grid keeps its rows, the controls that change the list
  // are disabled and the progress shows; the report and the marks follow
  // when the step ends.
  void acRenameFolderExecute();
  void acRenameFolderUpdate();
  void acRollbackFolderExecute();
  void acRollbackFolderUpdate();
  // The batch ABatchId was rolled back from History: if it is this list's
  // last Rename, the folders moved back show their old names again.
  void BatchRolledBack(const QString &ABatchId);
  void OnsgFolderRenameHeaderMouseDown(int ASection, Qt::MouseButton AButton);
  void sgFolderRenameMouseMove(const QPoint &APos);

  // The grid's model and header (the rows and the sort marker).
  TFolderGridModel &GridModel() const { return *FModel; }
  TSortHeaderView &GridHeader() const { return *FHeader; }
  // The grid shows the hint column, with either kind of mark.
  bool HasHintColumn() const;
  // The hint column holds the failure marks: Rename stays disabled.
  bool HasFailureMarks() const { return FFailureMarks; }
  int LastFolderHintCell() const { return FLastFolderHintCell; }
  // A step is running in the worker.
  bool StepRunning() const;
  // Cancels a running step, waits for it and ends it as a Cancel does
  // (closing the window).
  void CancelStepAndWait();
  TStepWorker *StepWorker = nullptr;
  TStepProgress *StepProgress = nullptr;
  // Measures the size that the detail view shows, off the GUI thread.
  TFolderSizeProbe *SizeProbe = nullptr;

  // Controls, by their designer names.
  QLineEdit *edFolderMask = nullptr;
  TTokenButton *btnFolder_Name = nullptr;
  TTokenButton *btnFolder_Count = nullptr;
  TTokenButton *btnFolder_Date = nullptr;
  TTokenButton *btnFolder_Time = nullptr;
  TTokenButton *Btn_MoreTokens = nullptr;
  QLineEdit *edFolderSearch = nullptr;
  QLineEdit *edFolderReplace = nullptr;
  QComboBox *cbxFolderCase = nullptr;
  QSpinBox *sboxFolderCntStart = nullptr;
  QSpinBox *sboxFolderCntStep = nullptr;
  QComboBox *cboxFolderCntNumber = nullptr;
  QPushButton *btnApplyAllFolder = nullptr;
  QPushButton *btnAddFolders = nullptr;
  QPushButton *btnClearFolder = nullptr;
  QPushButton *btnDeleteFolder = nullptr;
  QPushButton *btnRenameFolder = nullptr;
  QPushButton *btnRollbackFolder = nullptr;
  QTableView *sgFolderRename = nullptr;
  QLabel *txtFolderCount = nullptr;
  QTableView *sgDetailInfoFolder = nullptr;

  // Actions; the Tag of the last two is the page's rename state.
  TAction *acAddFolder = nullptr;
  TAction *acClearFolder = nullptr;
  TAction *acDeleteFolder = nullptr;
  TAction *acApplyAllFolder = nullptr;
  TAction *acFolder_Name = nullptr;
  TAction *acFolder_Count = nullptr;
  TAction *acFolder_Date = nullptr;
  TAction *acFolder_Time = nullptr;
  TAction *acRenameFolder = nullptr;
  TAction *acRollbackFolder = nullptr;

private:
  void CreateNameGroup(QWidget &AParent);
  void CreateListGroup(QWidget &AParent);
  void CreateActions();
  // Every folder named anew by the recipe; Rollback is blocked.
  void RecomputeAllNames(TListings AListings = TListings::Kept);
  // The folders from APosition on have new positions (a delete, a sort):
  // each gets its position as Index and, with the counter in the mask, every
  // folder its name anew by the recipe. Returns the first row to rewrite.
  int RenumberFrom(int APosition);
  void CreateFolderSortMarker();
  void PlaceFolderSortMarker(int ASection);
  void RecreateFolderHintColumn();
  void DestroyFolderHintColumn();
  // The selected row of the grid, -1 when none.
  int SelectedRow() const;
  void SelectRow(int ARow);
  void SaveColumnWidths();
  void RestoreColumnWidths();
  // The keys of the page's actions and their tooltips.
  void CreateShortcuts();
  // Ctrl+Return: applies what a mask or replace field still holds, then
  // renames.
  void RenameByKey();

  // Before a step: the fields' exits run now, the grid keeps the rows it
  // shows, the groups that change the list are disabled. EndStep undoes it.
  void BeginStep();
  void EndStep();
  void RenameEnded(int AFailed);
  void RollbackEnded(int AFailed, int ATotal);
  // After a Rename the list holds its outcome: an Add starts a new list,
  // which can no longer be rolled back.
  void StartNewListAfterRenaming();
  // Adds AFolders (each itself with AIncludeRoot, the folders below it with
  // AIncludeSub) in the worker, with the new names and the plan of the
  // marks, then shows them.
  void StartAdd(const QStringList &AFolders, bool AIncludeRoot, bool AIncludeSub);
  void AddEnded(const TFolderAddOutcome &AOutcome, int APosition, int AFirstChanged);

  TfmMain &FMain;
  TFolderList &FFolderList;
  QWidget *FNameGroup = nullptr;
  QWidget *FListGroup = nullptr;
  TFolderGridModel *FModel = nullptr;
  TSortHeaderView *FHeader = nullptr;
  TPropertyGridModel *FDetailModel = nullptr;
  // The delegate of the hint column while the grid has one.
  QPointer<THintColumn> FFolderHintColumn;
  // The hint column holds the failure marks (the renamed display).
  bool FFailureMarks = false;
  int FLastFolderHintCell = -1;
  // Set while the page itself rebuilds the grid: selection signals of the
  // rebuild do not compute details.
  int FSynchronising = 0;
  QHash<QString, int> FColumnWidths;
  // Members, so that they are gone before the widgets they watch.
  std::unique_ptr<TFieldExits> FFieldExits;
  std::unique_ptr<TGridMouseWatch> FGridMouse;
  std::unique_ptr<TPathDropTarget> FDropTarget;
};
