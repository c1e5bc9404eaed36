// The dialogs of the presets: the name asked by "Save as…" and "Rename…", the
// question before a preset is replaced or deleted, and "Manage…", which lists
// the presets of one kind with Rename and Delete.
//
// Test seams: SetAskNameHook answers the name, SetConfirmHook the question,
// and SetPresetsFormHook replaces the modal loop of the manage dialog (the
// hook drives the dialog it is given). While a hook is set, no modal loop
// runs.
#pragma once

#include "uPresets.h"

#include <QDialog>

#include <functional>
#include <optional>

class QListWidget;
class QPushButton;

using TAskNameHook =
    std::function<std::optional<QString>(const QString &ATitle, const QString &AText)>;
TAskNameHook SetAskNameHook(TAskNameHook AHook);
// A name typed in a small dialog titled ATitle, starting with AText; nullopt
// when the user cancels.
std::optional<QString> AskPresetName(QWidget &AOwner, const QString &ATitle, const QString &AText);

using TConfirmHook = std::function<bool(const QString &AText)>;
TConfirmHook SetConfirmHook(TConfirmHook AHook);
// AText with "Yes" and "No"; true for "Yes".
bool ConfirmMessage(QWidget &AOwner, const QString &AText);

class TfmPresetsForm : public QDialog {
  Q_OBJECT
public:
  // The presets of AKind in AFile.
  TfmPresetsForm(const QString &AFile, TPresetKind AKind, QWidget *AOwner);

  // Shows the dialog modally (or hands it to the hook).
  static void Execute(const QString &AFile, TPresetKind AKind, QWidget &AOwner);

  // Reads the file again and lists the presets; a damaged one is greyed and
  // marked "(damaged)". Selects the preset ASelect where it is listed.
  void Refresh(const QString &ASelect = QString());
  // The selected preset's name; empty for none.
  QString SelectedName() const;
  // Asks a new name for the selected preset and renames it.
  void RenameSelected();
  // Asks, then deletes the selected preset.
  void DeleteSelected();

  QListWidget *lbPresets = nullptr;
  QPushButton *btnRenamePreset = nullptr;
  QPushButton *btnDeletePreset = nullptr;
  QPushButton *btnClosePresets = nullptr;

private:
  void UpdateButtons();

  TPresetsFile FFile;
  TPresetKind FKind;
};

using TPresetsFormHook = std::function<void(TfmPresetsForm &AForm)>;
TPresetsFormHook SetPresetsFormHook(TPresetsFormHook AHook);
