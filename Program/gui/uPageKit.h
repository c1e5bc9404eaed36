// The page kit: what the file page and the folder page share of their one
// workflow, so that a page keeps only its widgets, turns them into a recipe
// in one place and calls the engine.
//
//   TFieldExits         a field's exit: Enter, or the focus moving on
//   TTokenButton        the buttons that insert mask tokens
//   TUpdatesSuspended   a grid's painting suspended for a scope
//   InstallSortHeader   the header with the sort marker, and SortPress, what
//                       a press on it asks for
//   HintColumnMouseMove the balloon over the hint column (TGridMouseWatch
//                       brings the mouse moves), RowHintText its texts: a
//                       failure's reason, or what the plan of a Rename
//                       says of the item (PlanReason)
//   TListings           how a page's plan of a Rename reads the folders
//   ReselectRow         a selected row kept as the hint column comes and goes
//   ReportRename        the reports after Rename and Rollback
//   TStepWorker         a page's long step on a thread of its own, one at a
//                       time, with its progress and Cancel
//   TStepProgress       the progress display: bar, count, current name,
//                       Cancel
//   SetupDetailGrid     the detail view over a TPropertyGridModel
//   TPathDropTarget     files and folders dropped onto a grid, DroppedPaths
//                       their lossless paths, SplitMissingPaths and
//                       ReportNotFound for paths that name nothing
//   EnableRowMultiSelection, SelectedGridRows  several rows selected at once
//   AddActionShortcut, ShowShortcutInToolTip   the pages' keys
//   ScrollToHintMarks   the rows of the hint column in view
#pragma once

#include <QFrame>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QToolButton>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAbstractButton;
class QBoxLayout;
class QCheckBox;
struct TNameRecipe;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QThread;
class TProgress;
class QTableView;
class TAction;
struct TPlanEntry;
class TPropertyGridModel;
class TSortHeaderView;
class TPageHost;

// ---- Fields -----------------------------------------------------------------

// Runs a field's exit handler when the user is done with the field: on Enter,
// or when the focus moves to another control of the window. A popup opening
// over the field (its context menu) or the window losing activation (a
// dialog, another program) is no exit: the caret stays in the field and
// nothing is applied. After every exit handler AAfterExit runs (the window's
// action update). The watched fields go on receiving their events.
//
// A page owns it as a member, not as a child: a field that dies with the
// focus sends a FocusOut, and the page's handlers must not run once the page
// is being destroyed. The member is gone before the page's widgets are.
class TFieldExits : public QObject {
  Q_OBJECT
public:
  enum class TExitOn { EnterOrLeave, EnterOnly };

  explicit TFieldExits(std::function<void()> AAfterExit);

  void Watch(QLineEdit &AField, std::function<void()> AOnExit,
             TExitOn AExitOn = TExitOn::EnterOrLeave);

  // Runs the exit handler of the watched field that has the keyboard focus,
  // as Enter in it would (a key that applies what is being edited before it
  // acts). False when no watched field has the focus.
  bool ExitFocused();

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  struct TField {
    const QObject *FField;
    std::function<void()> FOnExit;
    TExitOn FExitOn;
  };
  std::function<void()> FAfterExit;
  std::vector<TField> FFields;
};

// ---- Token buttons ----------------------------------------------------------

// How a page draws its token buttons: as the window's push buttons, as wide
// as their text needs or their column is (both pages), or as plain tool
// buttons fitted to their text.
enum class TTokenLook { PushButton, ToolButton };

// A button that inserts a mask token through its action. It never takes the
// keyboard focus, so the mask field keeps its caret and is not exited.
class TTokenButton : public QToolButton {
  Q_OBJECT
public:
  TTokenButton(TTokenLook ALook, QWidget *AParent);
};

// The token button AName in AParent, showing AAction's text and running it
// when clicked.
TTokenButton *MakeTokenButton(const QString &AName, TAction &AAction, TTokenLook ALook,
                              QWidget &AParent);

// The tokens of the "More…" menu of a name mask for files (AFiles) or
// folders: the token as inserted and its menu text with a one-line example.
struct TMoreToken {
  QString FToken;
  QString FText;
};
std::vector<TMoreToken> MoreTokens(bool AFiles);

// The "More…" button AName in AParent: a menu of MoreTokens(AFiles); the
// token chosen is inserted at the caret of AEdit, as a token button does.
TTokenButton *MakeMoreTokensButton(const QString &AName, bool AFiles, TTokenLook ALook,
                                   QLineEdit &AEdit, QWidget &AParent);

// ---- Repainting -------------------------------------------------------------

// Suspends a widget's painting for a scope and gives it back the state it had,
// on every way out (also when the widget is gone by then).
class TUpdatesSuspended {
public:
  explicit TUpdatesSuspended(QWidget &AWidget);
  ~TUpdatesSuspended();
  TUpdatesSuspended(const TUpdatesSuspended &) = delete;
  TUpdatesSuspended &operator=(const TUpdatesSuspended &) = delete;

private:
  QPointer<QWidget> FWidget;
  bool FWasEnabled;
};

// ---- Sorting by the header --------------------------------------------------

// Gives AGrid the header with the sort marker (TSortHeaderView); while the
// user drags a column's edge the column stops at the minimum width AHost gives
// it (TPageHost::GetColumnMinWidth, by the grid's object name and the column's
// name).
TSortHeaderView *InstallSortHeader(QTableView &AGrid, const TPageHost &AHost);

// What a press on a header section asks for: the list sorted by the column
// named FColumn (the model's ColumnNameRole), descending when FDown.
struct TSortPress {
  QString FColumn;
  bool FDown = false;
};

// A press on the header of ASection in a grid of ARowCount rows: nothing with
// fewer than two rows, nor on the hint column or a section without a name
// (the marker stays where it was); otherwise the marker moves there and flips
// that column's direction (TSortHeaderView::PlaceSortMarker), and the sort it
// asks for is returned.
std::optional<TSortPress> SortPress(TSortHeaderView &AHeader, int ASection, int ARowCount);

// ---- Hint column and balloon ------------------------------------------------

// What the balloon of a hint-column row shows: the item's name and the reason
// its rename failed, as the item keeps them (shown through DisplayText, so
// the bytes of names that are not UTF-8 appear as U+FFFD).
struct THintText {
  QString FName;
  QString FReason;
};
using THintTextOf = std::function<std::optional<THintText>(int ARow)>;

// The balloon's texts for a row of the hint column that shows the item
// named AName: with a plan entry (the normal display) its PlanReason, none
// when it has none; without one (the renamed display) the reason AFailure
// of the failed rename or rollback.
std::optional<THintText> RowHintText(const QString &AName, const QString &AFailure,
                                     const TPlanEntry *AEntry, bool AFolders);

// What the metadata tokens of a file's name did not find (its
// masks::TMetadataNote bits), one sentence a line; empty for none.
QString MetadataNotesText(uint16_t ANotes);

// Calls AOnMove for every mouse move over AGrid's cells with the position in
// the viewport's coordinates, and with (-1, -1) when the mouse leaves them.
// Turns the grid's mouse tracking on. Owned by the page as a member, as
// TFieldExits is, so that no move reaches a page that is being destroyed.
class TGridMouseWatch : public QObject {
  Q_OBJECT
public:
  TGridMouseWatch(QTableView &AGrid, std::function<void(const QPoint &APos)> AOnMove);

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  std::function<void(const QPoint &APos)> FOnMove;
};

// The balloon for the mouse at APos over AGrid's viewport. On a row of the
// hint column (the column whose ColumnNameRole is HintColumnName) the balloon
// is requested with that row's texts, once per row (ALastRow keeps the row);
// a row ATextOf gives none for hides it. Anywhere else the balloon is hidden
// and ALastRow becomes -1.
void HintColumnMouseMove(QTableView &AGrid, const QPoint &APos, int &ALastRow,
                         const THintTextOf &ATextOf);

// Hides the balloon and forgets its row, for a hint column that goes away.
void ForgetHintBalloon(int &ALastRow);

// ---- The plan of a Rename --------------------------------------------------

// How a page's new plan of a Rename reads the folders: from the listings the
// list's planner keeps (after a change of names, a sort, a delete), or anew
// (after an Add, on Apply), or not at all: the worker made the plan with the
// folders read anew at the end of its step (Planned; the list's LastPlan).
enum class TListings { Kept, ReadAnew, Planned };

// ---- Threads ----------------------------------------------------------------

// Qt orders a thread's work before what another thread does next when that
// one runs an event the first posted, or a task it started in a thread pool,
// through locks that ThreadSanitizer does not see in a Qt built without it.
// Code that relies on that order says so: the first thread hands over
// (HandOverTo, keyed by an object), the next takes over (TakeOverFrom, the
// same key). Nothing in other builds.
void HandOverTo(const QObject *AKey);
void TakeOverFrom(const QObject *AKey);
// Runs AFunction on AReceiver's thread, after all that this thread did
// before (a queued call that the thread checks know to order).
void PostToThreadOf(QObject *AReceiver, std::function<void()> AFunction);

// Selects the row ARow of AGrid again, as whole row: a selection of a row
// does not cover a column inserted in front of it. Nothing for ARow < 0.
void ReselectRow(QTableView &AGrid, int ARow);

// ---- Reports ----------------------------------------------------------------

// The report of a Rename in which AFailed items failed: "Rename done." for
// none, else "Failed to rename %d file. List is below." ("%d files" for
// more). Written to the log, then shown in the message dialog.
void ReportRename(int AFailed);
// The same for a Rollback: "Rollback done." or "Failed to rollback %d
// file(s). List is below.".
void ReportRollback(int AFailed);
// A Rename or Rollback that moved nothing because its journal could not be
// written returns -1: writes AError to the log, shows it and returns true.
// False (nothing shown) for any other outcome.
bool ReportBatchRefused(int AFailed, const QString &AError);
// A step stopped by Cancel: AFormat (such as "Renaming was cancelled: %d of
// %d renamed.") with ADone and ATotal, written to the log, then shown.
void ReportCancelled(const QString &AFormat, int ADone, int ATotal);
// A batch whose journal could not be written completely (AError): the
// message with the batch's counts, AFormat ("%d of %d renamed.") with ADone
// and ATotal, written to the log, then shown.
void ReportJournalIncomplete(const QString &AError, const QString &AFormat, int ADone, int ATotal);
// An Add stopped by Cancel, which added nothing of the AFound it had found:
// written to the log, then shown.
void ReportAddCancelled(int AFound);

// ---- Long steps -------------------------------------------------------------

// Runs a page's long step (Rename, Rollback) on a thread of its own, one at a
// time. While it runs, the step alone touches the page's list; the worker
// reports the engine's progress through queued signals, at most every few
// tens of milliseconds and always for the last item, and Cancel asks the
// engine to stop after its current item. The step's end handler runs on the
// GUI thread once the step has returned: it writes the log and shows the
// report there.
class TStepWorker : public QObject {
  Q_OBJECT
public:
  explicit TStepWorker(QObject *AParent = nullptr);
  // Cancels a running step and waits for it (its end handler does not run).
  ~TStepWorker() override;

  // Runs AWork(progress) on the worker's thread, then AOnEnd on the GUI
  // thread. False (nothing started) while another step runs.
  bool Start(std::function<void(TProgress &)> AWork, std::function<void()> AOnEnd);
  bool Running() const { return FThread != nullptr; }
  // Asks the running step to stop after its current item.
  void Cancel();
  // Cancels the running step, waits for it to return and runs its end
  // handler now (closing the window during a step).
  void CancelAndWait();
  // The step was asked to stop (Cancel, or the test hook below).
  bool CancelRequested() const;

  // A test's hook: every step stops once ADone items are done (the engine
  // asks for a stop after each item, so exactly ADone are made); -1: none.
  // Returns the previous value.
  static int SetStopAfter(int ADone);

Q_SIGNALS:
  void Started();
  void Progressed(int ADone, int ATotal, const QString &ACurrent);
  void Finished();

private:
  void End();

  std::unique_ptr<TProgress> FProgress;
  QThread *FThread = nullptr; // owned while it runs
  std::function<void()> FOnEnd;
};

// Measures the size of one folder tree at a time on a thread of its own, so
// that the detail view never waits for a large tree. A request for another
// folder while one is measured stops that one (its result is dropped) and
// measures the new one next. Destroying the probe stops and waits for it.
class TFolderSizeProbe : public QObject {
  Q_OBJECT
public:
  explicit TFolderSizeProbe(QObject *AParent = nullptr);
  ~TFolderSizeProbe() override;

  void Measure(const QString &AFolder);
  bool Busy() const { return FThread != nullptr; }

  // What measures a tree on the probe's thread; a test may hold it back to
  // see the window while a size is still unknown.
  using TMeasure = std::function<int64_t(const QString &, const std::atomic<bool> *)>;
  void SetMeasure(TMeasure AMeasure) { FMeasure = std::move(AMeasure); }

Q_SIGNALS:
  // The sum of the sizes below AFolder, measured whole.
  void Measured(const QString &AFolder, qint64 ASize);

private:
  void StartNext();
  void Ended();

  std::unique_ptr<QThread> FThread; // while one runs
  std::atomic<bool> FStop{false};
  TMeasure FMeasure;
  QString FRunning; // the folder being measured
  QString FWanted;  // the folder asked for last
  qint64 FResult = -1;
};

// The progress display of a page's long step: a bar, "12,345 of 100,000",
// the current name and a Cancel button that cancels the worker's step. It
// shows itself when the worker starts a step and hides when the step ends.
// The focus rests on Cancel while a step runs; only a click or Esc presses
// it: a Space or Enter typed for a field left a moment before does nothing.
class TStepProgress : public QFrame {
  Q_OBJECT
public:
  TStepProgress(TStepWorker &AWorker, QWidget *AParent);

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

public:
  QProgressBar *ProgressBar_Step = nullptr;
  QLabel *txtStepCount = nullptr;
  QLabel *txtStepCurrent = nullptr;
  QPushButton *btnStepCancel = nullptr;

private:
  void ShowProgress(int ADone, int ATotal, const QString &ACurrent);
};

// ---- Detail view ------------------------------------------------------------

// Shows AModel in AGrid as a detail view: read-only, no selection, no keyboard
// focus, transparent to the mouse, no row header, rows 21 high, the names 100
// wide and the values 200. A page may give the grid its own painting first
// (SetupPreviewGrid).
void SetupDetailGrid(QTableView &AGrid, TPropertyGridModel &AModel);

// Shows AValues and enables AGrid; without values the values are emptied and
// AGrid stays disabled (shown greyed).
void ShowDetails(QTableView &AGrid, TPropertyGridModel &AModel,
                 const std::optional<QStringList> &AValues);

// ---- Paths from outside the window (drops, the command line) ---------------

// The local paths of the file:// addresses in AData, in their order, taken
// from the bytes of its "text/uri-list" (percent-encoded bytes decoded
// losslessly, so names that are not UTF-8 keep their bytes); addresses of
// other schemes and hosts are left out.
QStringList DroppedPaths(const QMimeData &AData);

// APaths split into those that name an entry (AFound, in their order) and
// those that name nothing (AMissing).
void SplitMissingPaths(const QStringList &APaths, QStringList &AFound, QStringList &AMissing);

// One message for every path that names nothing: "Not found: %s" with the
// paths one a line (as DisplayText shows them); nothing for none.
void ReportNotFound(const QStringList &AMissing);

// What an Add could not take, in one message, written to the log, then
// shown; nothing when all was taken: the paths that name nothing ("Not
// found:"), how many found ones were not added ("2 files were not added"),
// the program's own among them ("Used by Varnwell"), and the folders and
// paths that could not be read with the system's reasons ("Could not read 2
// folders:"). Long lists name ten and say how many more.
struct TAddProblems {
  QStringList FMissing;
  int FNotAdded = 0;
  QStringList FOwnFiles;
  QList<std::pair<QString, QString>> FUnreadable; // path, reason
};
void ReportAddProblems(const TAddProblems &AProblems);

// Accepts drops of local files and folders onto AGrid and hands their paths
// (DroppedPaths) to AOnDrop once the drop has returned to the event loop, so
// that the program that dragged them is not kept waiting by a message. Owned
// by the page as a member, as TFieldExits is.
class TPathDropTarget : public QObject {
  Q_OBJECT
public:
  TPathDropTarget(QTableView &AGrid, std::function<void(const QStringList &APaths)> AOnDrop);

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  std::function<void(const QStringList &APaths)> FOnDrop;
};

// ---- Selection and keys -------------------------------------------------------

// Lets the user select several whole rows of AGrid: a click, Shift+click and
// Ctrl+click, the arrow keys with Shift, and Ctrl+A (the grid's own select
// all while it has the focus).
void EnableRowMultiSelection(QTableView &AGrid);

// The selected rows of AGrid, ascending.
QList<int> SelectedGridRows(const QTableView &AGrid);

// Gives AAction the key AKey within AScope: with Qt::WidgetShortcut only
// while AScope itself has the focus (a grid's Delete, so that a text field
// keeps its own Delete), with Qt::WindowShortcut while AScope is shown in
// the active window (a page's Ctrl+O).
void AddActionShortcut(TAction &AAction, const QKeySequence &AKey, Qt::ShortcutContext AContext,
                       QWidget &AScope);

// AButton's tooltip: AText followed by the keys in brackets, "Add File
// (Ctrl+O)".
void ShowShortcutInToolTip(QAbstractButton &AButton, const QString &AText,
                           const QKeySequence &AKey);

// Scrolls AGrid to its first column and its first row, where the hint
// column's marks begin after a Rename or Rollback with failures.
void ScrollToHintMarks(QTableView &AGrid);

// ---- Search options ---------------------------------------------------------

// The search's options under its fields on both pages: "Regular expression"
// and "Match case", and a line that says why a pattern is not valid.
struct TSearchOptions {
  QCheckBox *FRegex = nullptr;
  QCheckBox *FMatchCase = nullptr;
  QLabel *FError = nullptr;
};
// Makes them in AParent (object names with APrefix: "cbFileRegexSearch",
// "cbFileMatchCase", "txtFileSearchError"), checked as given, adds them to
// ALayout, and calls AOnToggle after a box changes.
TSearchOptions MakeSearchOptions(QWidget &AParent, QBoxLayout &ALayout, const QString &APrefix,
                                 bool ARegex, bool AMatchCase, std::function<void()> AOnToggle);
// Shows under the fields why ARecipe's search is not valid, or nothing; true
// when it is valid.
bool ShowSearchError(const TSearchOptions &AOptions, const TNameRecipe &ARecipe);
