// The file page: its widgets and what only files have. The upper half
// ("Name and extension") holds the name and extension masks with their token
// buttons, the counter, search and replace and the case rule; the lower half
// ("File List") the buttons that collect files, the preview grid, the count
// line, Rename and Rollback, and the details of the selected file.
//
// The workflow (the grid and its marks, an Add in the worker, the names as
// the fields are left, Rename, Rollback, Cancel, reports, sorting, the
// balloon) is TRenamePage's, run on the window's file list. What is the
// page's own: the fields of the upper half, which make the recipe; files
// are added from the open-file dialog, from a folder (every file below it),
// from the command line and from drops; the details show a file's type,
// size, date and attributes.
//
// Test seam: SetOpenFilesHook answers the open-file dialog.
#pragma once

#include "uFileInfo.h"
#include "uNameRecipe.h"
#include "uRenamePage.h"

#include <QStringList>

#include <functional>
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
class TPropertyGridModel;
class TSortHeaderView;
class TTokenButton;

// Answers the open-file dialog without a person: receives the dialog's title,
// returns the chosen paths in the dialog's order, or nullopt for a cancel.
using TOpenFilesHook = std::function<std::optional<QStringList>(const QString &ATitle)>;
TOpenFilesHook SetOpenFilesHook(TOpenFilesHook AHook);

class TFilePage : public TRenamePage {
  Q_OBJECT
public:
  TFilePage(TPageHost &AHost, TFileList &AList, QWidget *AParent);

  // ---- Collecting ----
  void acAddFileExecute();
  void acAddFoldersFilesExecute();
  // Files and folders from the command line or a drop, added as Add File and
  // Add Folders add them (a folder gives the files below it), under the same
  // rules: nothing while Add File is disabled, a new list after a Rename.
  // Paths that name nothing are reported in one message.
  void AddOutsidePaths(const QStringList &APaths);

  // ---- The fields' exits ----
  void Edit_RenameMaskExit();
  void Edit_ExtMaskExit();
  void Edit_ReplaceExit();

protected:
  void ShowDetailsOf(int APosition) override;

public:
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
  QPushButton *btnFilePresets = nullptr; // "Presets", beside Apply
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

private:
  void CreateNamePart(QWidget &AParent);
  void CreateListPart(QWidget &AParent);
  void CreateActions();
  // Adds the files of ASources in the worker; ALogAdded writes how many were
  // added.
  void AddSources(std::vector<TAddSource> ASources, bool ALogAdded);

  TFileList &FFileList;
  QString FLastOpenFolder;
};
