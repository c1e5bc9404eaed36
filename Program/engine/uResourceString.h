// The program's message texts: every text that a message dialog shows or the
// change log records, kept in one place. Formats use "%d" for an integer and
// "%s" for a text (see FormatMessage).
#pragma once

#include <QString>
#include <QVariant>

#include <initializer_list>

namespace rs {

// Rename and rollback results.
inline const QString RenameDone = QStringLiteral("Rename done.");
inline const QString RollbackDone = QStringLiteral("Rollback done.");
inline const QString FailedToRenameOne = QStringLiteral("Failed to rename %d file. List is below.");
inline const QString FailedToRenameMany =
    QStringLiteral("Failed to rename %d files. List is below.");
inline const QString FailedToRollbackOne =
    QStringLiteral("Failed to rollback %d file. List is below.");
inline const QString FailedToRollbackMany =
    QStringLiteral("Failed to rollback %d files. List is below.");
// A Rename or Rollback stopped by Cancel: how many of the items it was to
// move were moved.
inline const QString RenameCancelled = QStringLiteral("Renaming was cancelled: %d of %d renamed.");
// The balloon of an item a cancelled Rename or Rollback never tried.
inline const QString NotTriedRename = QStringLiteral("Renaming was cancelled before this item.");
inline const QString NotTriedRollback = QStringLiteral("Rollback was cancelled before this item.");
inline const QString RollbackCancelled =
    QStringLiteral("Rollback was cancelled: %d of %d moved back.");
// The detail view's size of a folder while it is being measured.
inline const QString MeasuringSize = QStringLiteral("Measuring\u2026");
// An Add stopped by Cancel adds nothing: how many it had found by then.
inline const QString AddCancelled =
    QStringLiteral("Adding was cancelled after %d found: nothing was added.");

// Reasons kept with an item whose rename failed.
inline const QString FileNotExist = QStringLiteral("File not exist");
inline const QString DirectoryNotExist = QStringLiteral("Directory not exist");
inline const QString InvalidFileName = QStringLiteral("Invalid file name");
// Why a move failed.
inline const QString FileAlreadyExists = QStringLiteral("File already exists");
inline const QString FolderAlreadyExists = QStringLiteral("Folder already exists");
inline const QString PermissionDenied = QStringLiteral("Permission denied");
inline const QString ReadOnlyFileSystem = QStringLiteral("Read-only file system");
inline const QString NameTooLong = QStringLiteral("Name too long");
inline const QString NoSpaceLeft = QStringLiteral("No space left on the device");
inline const QString EntryBusy = QStringLiteral("In use by another program");
inline const QString SwapFailed = QStringLiteral("Not renamed: the swap with row %d failed");

// What the preview predicts for an item before Rename.
inline const QString SameNewNameAsRow = QStringLiteral("Same new name as row %d");
inline const QString FileWithNameExists = QStringLiteral("A file with this name exists");
inline const QString FolderWithNameExists = QStringLiteral("A folder with this name exists");
inline const QString WaitsForRowThatCannotBeRenamed =
    QStringLiteral("Waits for row %d, which cannot be renamed");
inline const QString RenamedAfterRow = QStringLiteral("Renamed after row %d moves away");
inline const QString SwappedWithRow =
    QStringLiteral("Swapped with row %d through a temporary name");
inline const QString ConflictCountOne = QStringLiteral("%d conflict");
inline const QString ConflictCountMany = QStringLiteral("%d conflicts");

// The journal.
inline const QString CannotWriteJournal = QStringLiteral("Cannot write the rename journal: %s");
// A write or sync of the journal failed while a batch ran: the batch stopped
// at its next group of moves.
inline const QString JournalIncomplete =
    QStringLiteral("The rename journal could not be written completely: %s");
// The counts reported beside it.
inline const QString RenamedCount = QStringLiteral("%d of %d renamed.");
inline const QString MovedBackCount = QStringLiteral("%d of %d moved back.");
inline const QString FileWasReplaced = QStringLiteral("File was replaced after renaming");
inline const QString FolderWasReplaced = QStringLiteral("Folder was replaced after renaming");
inline const QString BatchIsRunning =
    QStringLiteral("The batch is still running in another window or program.");

// History.
inline const QString HistoryFiles = QStringLiteral("files");
inline const QString HistoryFolders = QStringLiteral("folders");
inline const QString BatchRunning = QStringLiteral("running");
inline const QString BatchRenamed = QStringLiteral("renamed");
inline const QString BatchRolledBack = QStringLiteral("rolled back");
inline const QString BatchPartlyRolledBack = QStringLiteral("partly rolled back");
inline const QString BatchInterrupted = QStringLiteral("interrupted");
inline const QString BatchCancelled = QStringLiteral("cancelled: %d of %d renamed");
inline const QString BatchCountOne = QStringLiteral("%d batch");
inline const QString BatchCountMany = QStringLiteral("%d batches");

// A move through a temporary name that could neither finish nor go back: the
// entry stands under the temporary path named here.
inline const QString LeftUnderTemporaryName = QStringLiteral("Left under the temporary name %s");
// A move stopped between its two halves left the entry under both names.
inline const QString LeftUnderTwoNames = QStringLiteral("Left under two names: %s");

// Collecting.
inline const QString TryingToAddFiles = QStringLiteral("Trying to add files");
inline const QString TryingToAddFolder = QStringLiteral("Trying to add folder");
inline const QString FileWasAdded = QStringLiteral("%d file was added");
inline const QString FilesWereAdded = QStringLiteral("%d files were added");
inline const QString FileWasNotAdded = QStringLiteral("%d file was not added");
inline const QString FilesWereNotAdded = QStringLiteral("%d files were not added");
inline const QString ClearList = QStringLiteral("Clear list");
inline const QString ClearFoldersList = QStringLiteral("Clear folders list");
inline const QString DeleteFileFromList = QStringLiteral("Delete file \"%s\" from list");
inline const QString DeleteFolderFromList = QStringLiteral("Delete folder \"%s\" from list");
inline const QString FirstAddSomeFile = QStringLiteral("First add some file.");
inline const QString FirstAddSomeFolder = QStringLiteral("First add some folder");

// Counts under the grids.
inline const QString FileCountOne = QStringLiteral("%d file");
inline const QString FileCountMany = QStringLiteral("%d files");
inline const QString FolderCountOne = QStringLiteral("%d folder");
inline const QString FolderCountMany = QStringLiteral("%d folders");

// The select-folder dialog.
inline const QString SpecifyCorrectDirectory =
    QStringLiteral("Please specify correct directory name");
inline const QString NotFound = QStringLiteral("Not found: %s");
// What an Add left out besides: the folders and paths it could not read
// (each with the system's reason), and the program's own files.
inline const QString CouldNotReadOne = QStringLiteral("Could not read %d folder:");
inline const QString CouldNotReadMany = QStringLiteral("Could not read %d folders:");
inline const QString AndMore = QStringLiteral("and %d more");
inline const QString UsedByVarnwell = QStringLiteral("Used by Varnwell");
inline const QString CheckOptions = QStringLiteral("Please check \"%s\" or \"%s\" options");

// Program and settings.
inline const QString ApplicationStarted = QStringLiteral("Application was started");
inline const QString ApplicationFinished = QStringLiteral("Application was finished\r\n\r\n");
inline const QString LoggingStarted = QStringLiteral("Logging was started");
inline const QString LoggingStopped = QStringLiteral("Logging was stopped\r\n\r\n");
inline const QString RestoreDefaultSettings = QStringLiteral("Restore default settings");
inline const QString UnableToWriteLog = QStringLiteral(
    "Unable to write log. Please check program settings and then re-enable logging.");
inline const QString UnableToDeleteOldLogs =
    QStringLiteral("Unable to delete old log files. Please check program settings and then "
                   "re-enable this feature.");
inline const QString PleaseWait = QStringLiteral("Please wait...");

// Picks the singular text for a count of exactly 1 and the plural otherwise.
inline const QString &ForCount(int ACount, const QString &AOne, const QString &AMany) {
  return ACount == 1 ? AOne : AMany;
}

// Formats AFormat with AArgs by the common rules: "%d" takes the next
// argument as an integer, "%s" as a text, "%%" gives "%". A missing argument
// leaves its directive as it stands.
QString FormatMessage(const QString &AFormat, std::initializer_list<QVariant> AArgs);

} // namespace rs
