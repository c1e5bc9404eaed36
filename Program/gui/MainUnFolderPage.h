// The folder page: its widgets and what only folders have. The "Name" group
// holds the mask with its token buttons, search and replace, the letter
// case and the counter; the "Folder List" group the buttons that collect and
// remove folders, the preview grid, the count line, Rename and Rollback, and
// the details of the selected folder.
//
// The workflow (the grid and its marks, an Add in the worker, the names as
// the fields are left, Rename, Rollback, Cancel, reports, sorting, the
// balloon) is TRenamePage's, run on the window's folder list. What is the
// page's own: the fields of the "Name" group, which make the recipe (a
// folder's name has no extension mask); folders are added through the
// select-folder dialog with its "include" choices, from the command line and
// from drops; the details show a folder's size, measured on a thread of its
// own (SizeProbe), and its date.
#pragma once

#include "uFolderInfo.h"
#include "uNameRecipe.h"
#include "uRenamePage.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class TAction;
class TFolderGridModel;
class TPropertyGridModel;
class TTokenButton;

class TFolderPage : public TRenamePage {
  Q_OBJECT
public:
  TFolderPage(TPageHost &AHost, TFolderList &AList, QWidget *AParent);
  ~TFolderPage() override;

  // ---- Collecting ----
  void acAddFolderExecute();
  // Folders from the command line or a drop, added as Add Folder adds the
  // chosen one, with the "include" options the page remembers and under the
  // same rules: nothing while Add Folder is disabled, a new list after a
  // Rename. Paths that name nothing are reported in one message; a path that
  // is no folder is not added.
  void AddOutsideFolders(const QStringList &APaths);

  // ---- The fields' exits ----
  void edFolderMaskExit();
  void edFolderReplaceExit();

protected:
  void ShowDetailsOf(int APosition) override;

public:
  // The grid's model.
  TFolderGridModel &GridModel() const { return *FModel; }
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
  QPushButton *btnFolderPresets = nullptr; // "Presets", beside Apply
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
  // Tab follows the upper half left to right, then the list from top to
  // bottom; the page's own keys.
  void CreateShortcuts();
  // Adds AFolders (each itself with AIncludeRoot, the folders below it with
  // AIncludeSub) in the worker.
  void AddFolders(const QStringList &AFolders, bool AIncludeRoot, bool AIncludeSub);

  TFolderList &FFolderList;
  QWidget *FNameGroup = nullptr;
  QWidget *FListGroup = nullptr;
  TFolderGridModel *FModel = nullptr;
  TPropertyGridModel *FDetailModel = nullptr;
};
