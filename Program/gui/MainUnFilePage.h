// The file page: collecting files into the window's file list, the preview
// grid with its normal and renamed displays, the count line and the detail
// view (lower half); the masks, counter, search and replace and case rule
// (upper half); Rename and Rollback with their reports, the hint column and
// its balloon; sorting by a press on a column header.
//
// The page works on TfmMain::FFileList. Recipe() turns the upper half into
// the naming rules; a step that makes names by them hands the recipe to the
// list (TFileList::ApplyRecipe) from the first position it touched. The grid
// shows the list through TFileGridModel; every operation ends with
// SynchroFileList, which tells the model what changed (rows added or removed
// at the end, or a new mapping) and repaints only the visible rows. In the
// normal display it first plans the Rename (TFileList::PlanRenaming) and
// hands the plan to the model: while an item has a conflict the hint column
// shows the conflict marks, and the count line counts the conflicts. After a
// Rename or Rollback with failures the hint column shows the failure marks
// in the renamed display instead. What the
// page shares with the folder page (field exits, token buttons, the sort
// header, the hint column's balloon, the reports, the detail view) comes from
// the page kit (uPageKit.h).
//
// Page flags: acRename's Tag is 1 from a Rename until the next Rollback or
// add; acRollback's Tag is 1 while Rollback is blocked (every step that
// recomputes new names sets it, since Rollback finds each renamed file by its
// current new name).
//
// Test seam: SetOpenFilesHook answers the open-file dialog.
#pragma once

#include "uFileInfo.h"
#include "uNameRecipe.h"
#include "uPageKit.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class TAction;
class TFileGridModel;
class TFieldExits;
class TFileList;
class TGridMouseWatch;
class TPropertyGridModel;
class TSortHeaderView;
class TTokenButton;
class TfmMain;

// Answers the open-file dialog without a person: receives the dialog's title,
// returns the chosen paths in the dialog's order, or nullopt for a cancel.
using TOpenFilesHook = std::function<std::optional<QStringList>(const QString &ATitle)>;
TOpenFilesHook SetOpenFilesHook(TOpenFilesHook AHook);

class TFilePage : public QWidget {
  Q_OBJECT
public:
  TFilePage(TfmMain &AMain, QWidget *AParent);
  ~TFilePage() override;

  // ---- Collecting, grid and detail view ----
  void acAddFileExecute();
  void acAddFoldersFilesExecute();
  void acClearFileExecute();
  // Removes the selected rows' files from the list (not from the disk), one
  // log entry for each, and renumbers once.
  void acDeleteFileExecute();
  // Files and folders from the command line or a drop, added as Add File and
  // Add Folders add them (a folder gives the files below it), under the same
  // rules: nothing while Add File is disabled, a new list after a Rename.
  // Paths that name nothing are reported in one message.
  void AddOutsidePaths(const QStringList &APaths);
  // Copies the list into the grid from APosition (see TFileGridModel::Synchro)
  // and updates the count line; in the normal display the marks and the
  // conflicts follow a new plan of the Rename, made with AListings.
  void SynchroFileList(int APosition, TListings AListings = TListings::Kept);
  // SynchroFileList(0) after a step that changed new names only: no file was
  // added, removed, moved, renamed or moved back.
  void SynchroFileNames(TListings AListings = TListings::Kept);
  void sgDetailInfoUpdate();
  // The list index of the file shown in grid row ARow; -1 for none.
  int FindFileByGridRow(int ARow) const;

  // ---- Masks, counter, search and replace, case ----
  void Edit_RenameMaskExit();
  void Edit_ExtMaskExit();
  void Edit_ReplaceExit();
  void SynchroFileCounter();
  void CBox_CaseChange();
  void acApplyAllExecute();
  // The naming rules the upper half shows: both masks, the counter, search
  // and replace and the case rule.
  TNameRecipe Recipe() const;
  // "Regular expression" and "Match case" under the search fields, and why a
  // pattern is not valid; Rename waits while it is not.
  TSearchOptions SearchOptions;
  bool FSearchValid = true;

  // ---- Rename, Rollback, hint column, sorting, balloon ----
  // Rename and Rollback run in the page's worker (StepWorker): the page
  // holds the grid's rows, disables what would change the list and shows
  // the progress; the report, the log and the marks follow when the step
  // ends.
  void DoRenameFiles();
  void DoRollbackFiles();
  // A step is running in the worker.
  bool StepRunning() const;
  // Cancels a running step, waits for it and ends it as a Cancel does
  // (closing the window).
  void CancelStepAndWait();
  TStepWorker *StepWorker = nullptr;
  TStepProgress *StepProgress = nullptr;
  // The batch ABatchId was rolled back from History: if it is this list's
  // last Rename, the items moved back show their old names again.
  void BatchRolledBack(const QString &ABatchId);
  // The hint column with the failure marks (the renamed display), after a
  // Rename or Rollback with failures.
  void RecreateFileHintColumn();
  // Removes the hint column, failure marks or conflict marks.
  void RemoveFileHintColumn();
  // The grid shows the hint column, with either kind of mark.
  bool HasHintColumn() const;
  // The hint column holds the failure marks: Rename stays disabled.
  bool HasFailureMarks() const { return FFailureMarks; }
  void CreateFileSortMarker();
  // Flips the direction of the column at ASection and moves the marker there;
  // returns the new direction, "Up" or "Down".
  QString PlaceFileSortMarker(int ASection);
  void OnStringGridRenameHeaderMouseDown(int ASection, Qt::MouseButton AButton);
  // APos in the coordinates of the grid's viewport.
  void StringGrid_RenameMouseMove(const QPoint &APos);

  // Upper half.
  QLineEdit *Edit_RenameMask = nullptr;
  QLineEdit *Edit_ExtMask = nullptr;
  QSpinBox *SBox_CounterStart = nullptr;
  QSpinBox *SBox_CounterStep = nullptr;
  QComboBox *CBox_CounterNumber = nullptr;
  QLineEdit *Edit_Search = nullptr;
  QLineEdit *Edit_Replace = nullptr;
  QComboBox *CBox_Case = nullptr;
  QPushButton *btn_ApplyName = nullptr;
  TTokenButton *Btn_NName = nullptr;
  TTokenButton *Btn_CCounter = nullptr;
  TTokenButton *Btn_YMDDate = nullptr;
  TTokenButton *Btn_hmsTime = nullptr;
  TTokenButton *Btn_MoreTokens = nullptr;
  TTokenButton *btn_EExt = nullptr;
  TTokenButton *btn_CCounterExt = nullptr;

  // Lower half.
  QPushButton *btnAddFile = nullptr;
  QPushButton *btnAddFoldersFiles = nullptr;
  QPushButton *btnClear = nullptr;
  QPushButton *Button_Delete = nullptr;
  QTableView *StringGrid_Rename = nullptr;
  TSortHeaderView *StringGrid_RenameHeader = nullptr;
  TFileGridModel *GridModel = nullptr;
  QLabel *txtFileCount = nullptr;
  QGroupBox *gbDetailInfo = nullptr;
  QTableView *sgDetailInfo = nullptr;
  TPropertyGridModel *DetailModel = nullptr;
  QPushButton *Button_Rename = nullptr;
  QPushButton *Button_Undo = nullptr;

  TAction *acAddFile = nullptr;
  TAction *acAddFoldersFiles = nullptr;
  TAction *acClearFile = nullptr;
  TAction *acDeleteFile = nullptr;
  TAction *acApplyAll = nullptr;
  TAction *acNName = nullptr;
  TAction *acCCounter = nullptr;
  TAction *acYMDDate = nullptr;
  TAction *achmsTime = nullptr;
  TAction *acEExt = nullptr;
  TAction *acCCounterExt = nullptr;
  TAction *acRename = nullptr;
  TAction *acRollback = nullptr;

  // The grid row whose balloon hint is showing, -1 for none.
  int FLastHintCell = -1;

private:
  TFileList &FileList() const;
  void CreateNamePart(QWidget &AParent);
  void CreateListPart(QWidget &AParent);
  void CreateActions();
  // After a Rename the list holds its outcome: an add starts a new list,
  // which can no longer be rolled back.
  void StartNewListAfterRenaming();
  // Adds the files of ASources in the worker (the walks of folders, each
  // file's details, the new names by the recipe and the plan of the marks),
  // then shows them; ALogAdded writes how many were added.
  void StartAdd(std::vector<TAddSource> ASources, bool ALogAdded);
  void AddEnded(const TAddOutcome &AOutcome, int APosition, int AFirstChanged, bool ALogAdded);
  // Every file named anew by the recipe, then the grid.
  void RecomputeNewNames(TListings AListings = TListings::Kept);
  // Runs AApply now, or, when ARecipe's masks need metadata the list has not
  // read yet, once the step worker has read it (not after a Cancel).
  void ReadMetadataThen(const TNameRecipe &ARecipe, std::function<void()> AApply);
  // Shows or removes the hint column (the delegate and its width with it),
  // keeping the selected row.
  void ShowFileHintColumn(bool AValue);
  // Brings the marks up to date before the grid shows ARenamedDisplay: in the
  // normal display a new plan of the Rename and the hint column while it has
  // conflicts; in the renamed display no plan and the hint column with the
  // failure marks only.
  void UpdatePlanMarks(bool ARenamedDisplay, TListings AListings);
  // Shows the count line with the conflicts the grid shows.
  void UpdateCountText();
  // The files from APosition on have new positions (a delete, a sort): each
  // gets its position as Index and, with the counter in a mask, every file
  // its name anew by the recipe. Returns the first row to rewrite.
  int RenumberFrom(int APosition);
  // The selected grid row, -1 when none is selected.
  int SelectedRow() const;
  // The keys of the page's actions and their tooltips.
  void CreateShortcuts();
  // Ctrl+Return: applies what a mask or replace field still holds, then
  // renames.
  void RenameByKey();
  // The list's HasRenamedFiles, without a scan of the list before the first
  // Rename or after a scan found none: files become renamed only there.
  bool HasRenamedFiles();

  // Before a step: the focus leaves the fields (their exits run now, not
  // while the worker owns the list), the grid keeps the rows it shows and
  // the parts that change the list are disabled. EndStep undoes it.
  void BeginStep();
  void EndStep();
  void RenameEnded(int AFailed);
  void RollbackEnded(int AFailed, int ATotal);

  TfmMain &FMain;
  QWidget *FNamePart = nullptr;
  QWidget *FListPart = nullptr;
  QString FLastOpenFolder;
  bool FMayHaveRenamedFiles = false;
  // The hint column holds the failure marks (the renamed display).
  bool FFailureMarks = false;
  // Members, so that they are gone before the widgets they watch.
  std::unique_ptr<TFieldExits> FFieldExits;
  std::unique_ptr<TGridMouseWatch> FGridMouse;
  std::unique_ptr<TPathDropTarget> FDropTarget;
};
