// varnwell-cli: the renaming engine from a terminal and in scripts. The same
// recipe, planner, journal, settings and change log as the window; no
// widget library.
#include "uCliOptions.h"
#include "uCliOutput.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uJournalRollback.h"
#include "uLog.h"
#include "uNameEdits.h"
#include "uProgramFiles.h"
#include "uRenamePlan.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtil.h"
#include "uWarningSink.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <vector>

#ifndef VARNWELL_VERSION
#define VARNWELL_VERSION "0.0.0.0"
#endif

namespace {

constexpr int KExitDone = 0;
constexpr int KExitFailed = 1;
constexpr int KExitUsage = 2;

void Out(const QByteArray &AText) {
  std::fwrite(AText.constData(), 1, static_cast<size_t>(AText.size()), stdout);
}

void ErrBytes(const QByteArray &AText) {
  const QByteArray LLine = "varnwell-cli: " + AText + '\n';
  std::fwrite(LLine.constData(), 1, static_cast<size_t>(LLine.size()), stderr);
}

void Err(const QString &AText) {
  ErrBytes(AText.toUtf8());
}

// The path below AFolder, or the path itself where it is not below it.
QString Relative(const QString &APath, const QString &AFolder) {
  if (AFolder.isEmpty())
    return APath;
  if (AFolder == QStringLiteral("/"))
    return APath.mid(1);
  if (APath.startsWith(AFolder + QLatin1Char('/')))
    return APath.mid(AFolder.size() + 1);
  return APath;
}

// The deepest folder that holds every one of AFolders.
QString CommonFolder(const std::vector<QString> &AFolders) {
  if (AFolders.empty())
    return {};
  QStringList LCommon = AFolders.front().split(QLatin1Char('/'));
  for (const QString &LFolder : AFolders) {
    const QStringList LParts = LFolder.split(QLatin1Char('/'));
    qsizetype LSame = 0;
    while (LSame < LCommon.size() && LSame < LParts.size() && LCommon[LSame] == LParts[LSame])
      ++LSame;
    LCommon = LCommon.mid(0, LSame);
  }
  const QString LJoined = LCommon.join(QLatin1Char('/'));
  return LJoined.isEmpty() ? QStringLiteral("/") : LJoined;
}

// One item of a batch as the output shows it.
struct TRow {
  QString FOld; // full paths
  QString FNew;
  TPlanEntry FEntry;
};

QByteArray StatusWord(TPlanStatus AStatus) {
  switch (AStatus) {
  case TPlanStatus::Unchanged:
    return "unchanged";
  case TPlanStatus::Rename:
    return "rename";
  case TPlanStatus::Waits:
    return "waits";
  case TPlanStatus::Swap:
    return "swap";
  default:
    return "conflict";
  }
}

class TCli {
public:
  explicit TCli(const TCliOptions &AOptions) : FOptions(AOptions) {}
  int Run();

private:
  int History();
  int Undo();
  int Rename();
  // Collects the items; false (and a message) for a usage error. A folder
  // that cannot be listed or a path that cannot be reached is told on
  // standard error (and as an object with --json) and makes the exit status
  // 1; the program's own files are left out and told likewise.
  bool CollectFiles(TFileList &AList);
  bool CollectFolders(TFolderList &AList);
  void Unreadable(const QString &APath, const QString &AReason);
  void LeftOut(const QString &APath);
  void StartLog();
  void PrintPlan(const std::vector<TRow> &ARows);
  void PrintOutcome(const std::vector<TRow> &ARows, const std::vector<QString> &AFailures,
                    int AFailed);
  QByteArray Line(const TRow &ARow, const QByteArray &ATail) const;

  const TCliOptions &FOptions;
  QString FCommon;
  bool FFolders = false;
  // Some input could not be read.
  bool FUnreadable = false;
};

void TCli::StartLog() {
  const TSettings &LSettings = GetSettings();
  if (!LSettings.EnableLog())
    return;
  GetLogger().StartLogging(LSettings.LogFolder(),
                           LSettings.DeleteOldLogFiles() ? LSettings.DeleteOldLogFilesDays() : 0);
  if (!GetLogger().EnableLogging())
    Err(QStringLiteral("the change log cannot be written now (is the window holding it?); "
                       "the journal records the batch all the same"));
}

int TCli::Run() {
  GetSettings().LoadSettingsFromIniFile();
  // A warning of the engine goes to standard error, one line each.
  SetWarningSink([](const QString &AText) { Err(AText); });
  if (FOptions.FHistory)
    return History();
  if (FOptions.FUndo)
    return Undo();
  return Rename();
}

int TCli::History() {
  // Each batch from its summary, printed as it is read.
  for (const QString &LId : GetJournal().BatchIds()) {
    TBatchSummary LBatch;
    if (!GetJournal().ReadSummary(LId, LBatch))
      continue;
    if (FOptions.FJson) {
      QJsonObject LObject;
      LObject.insert(QStringLiteral("id"), LBatch.FId);
      LObject.insert(QStringLiteral("created"), LBatch.FCreated.toString(Qt::ISODate));
      LObject.insert(QStringLiteral("kind"), LBatch.FKind == TBatchKind::Files
                                                 ? QStringLiteral("files")
                                                 : QStringLiteral("folders"));
      LObject.insert(QStringLiteral("count"), LBatch.FItemCount);
      LObject.insert(QStringLiteral("state"), BatchStateText(LBatch));
      PutName(LObject, QStringLiteral("folder"), LBatch.FFolder);
      Out(JsonLine(LObject));
      continue;
    }
    Out(LBatch.FId.toUtf8() + "  " + LBatch.FCreated.toString(Qt::ISODate).toUtf8() + "  " +
        (LBatch.FKind == TBatchKind::Files ? "files" : "folders") + "  " +
        QByteArray::number(LBatch.FItemCount) + "  " + BatchStateText(LBatch).toUtf8() + "  " +
        QuoteForTerminal(LBatch.FFolder) + '\n');
  }
  return KExitDone;
}

int TCli::Undo() {
  QString LId = FOptions.FUndoId;
  if (LId.isEmpty()) {
    for (const TBatchSummary &LBatch : GetJournal().ListBatches()) {
      const TBatchState LState = LBatch.FState;
      if (LState == TBatchState::Renamed || LState == TBatchState::PartlyRolledBack ||
          LState == TBatchState::Interrupted || LState == TBatchState::Cancelled) {
        LId = LBatch.FId;
        break;
      }
    }
  } else {
    TBatchSummary LBatch;
    if (!GetJournal().ReadSummary(LId, LBatch)) {
      Err(QStringLiteral("no batch %1 in the journal").arg(LId));
      return KExitUsage;
    }
    const TBatchState LState = LBatch.FState;
    if (LState == TBatchState::RolledBack)
      LId.clear();
  }
  if (LId.isEmpty()) {
    Err(QStringLiteral("Nothing to undo."));
    return KExitUsage;
  }
  StartLog();
  const TJournalRollback LResult = RollbackBatch(GetJournal(), LId);
  if (!LResult.FError.isEmpty()) {
    Err(LResult.FError);
    GetLogger().WriteLog(LResult.FError);
    return KExitFailed;
  }
  for (const TJournalRollback::TFailure &LFailure : LResult.FFailures) {
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("path"), LFailure.FPath);
      LObject.insert(QStringLiteral("status"), QStringLiteral("failed"));
      LObject.insert(QStringLiteral("reason"), LFailure.FReason);
      Out(JsonLine(LObject));
    } else if (!FOptions.FQuiet) {
      Out(QuoteForTerminal(LFailure.FPath) + "  failed: " + LFailure.FReason.toUtf8() + '\n');
    }
  }
  if (!LResult.FJournalError.isEmpty()) {
    const QString LText = rs::FormatMessage(rs::JournalIncomplete, {LResult.FJournalError});
    Err(LText);
    GetLogger().WriteLog(LText);
  }
  // A rollback that stopped before its end (its journal could not be
  // written) left items renamed: it is not done.
  const int LTried = LResult.FRolledBack + LResult.FFailed + LResult.FNotTried;
  const QString LReport =
      LResult.FStopped ? rs::FormatMessage(rs::RollbackCancelled, {LResult.FRolledBack, LTried})
      : LResult.FFailed == 0
          ? rs::RollbackDone
          : rs::FormatMessage(
                rs::ForCount(LResult.FFailed, rs::FailedToRollbackOne, rs::FailedToRollbackMany),
                {LResult.FFailed});
  GetLogger().WriteLog(LReport);
  if (FOptions.FJson) {
    QJsonObject LSummary;
    LSummary.insert(QStringLiteral("batch"), LId);
    LSummary.insert(QStringLiteral("rolled_back"), LResult.FRolledBack);
    LSummary.insert(QStringLiteral("failed"), LResult.FFailed);
    if (LResult.FNotTried > 0)
      LSummary.insert(QStringLiteral("left_renamed"), LResult.FNotTried);
    Out(JsonLine(QJsonObject{{QStringLiteral("summary"), LSummary}}));
  } else {
    Out(QByteArray::number(LResult.FRolledBack) + " rolled back, " +
        QByteArray::number(LResult.FFailed) + " failed" +
        (LResult.FNotTried > 0 ? ", " + QByteArray::number(LResult.FNotTried) + " left renamed"
                               : QByteArray()) +
        '\n');
  }
  return LResult.FFailed == 0 && !LResult.FStopped ? KExitDone : KExitFailed;
}

void TCli::Unreadable(const QString &APath, const QString &AReason) {
  FUnreadable = true;
  if (FOptions.FJson) {
    QJsonObject LObject;
    PutName(LObject, QStringLiteral("unreadable"), APath);
    LObject.insert(QStringLiteral("reason"), AReason);
    Out(JsonLine(LObject));
  }
  ErrBytes("cannot read " + QuoteForTerminal(APath) + ": " + AReason.toUtf8());
}

void TCli::LeftOut(const QString &APath) {
  ErrBytes("left out " + QuoteForTerminal(APath) + ": " + rs::UsedByVarnwell.toUtf8());
}

bool TCli::CollectFiles(TFileList &AList) {
  const TProgramPaths LProgram = TProgramPaths::OfTheRun();
  const auto LAdd = [this, &AList, &LProgram](const QString &APath) {
    if (LProgram.HoldsFile(APath))
      LeftOut(APath);
    else if (AList.CheckInList(APath))
      AList.AddFileInfo(std::make_unique<TFileInfo>(APath));
  };
  for (const QByteArray &LArgument : FOptions.FPaths) {
    const QString LPath = PathFromArgument(LArgument);
    switch (PathKindOf(LPath)) {
    case TPathKind::Missing:
      // There, but on a way that may not be searched: its real reason.
      if (const QString LReason = PathUnreachableReason(LPath); !LReason.isEmpty()) {
        Unreadable(LPath, LReason);
        break;
      }
      Err(QStringLiteral("no such file or folder: %1").arg(DisplayText(LPath)));
      return false;
    case TPathKind::File:
      LAdd(LPath);
      break;
    case TPathKind::Folder: {
      if (!FOptions.FRecursive) {
        Err(QStringLiteral("%1 is a folder: use -R for its files or -d for its subfolders")
                .arg(DisplayText(LPath)));
        return false;
      }
      // The walk takes each folder's entries A-Z.
      std::vector<TUnreadable> LUnreadable;
      for (const QString &LFile : CollectFolderFiles(LPath, nullptr, &LUnreadable))
        LAdd(LFile);
      for (const TUnreadable &LFolder : LUnreadable)
        Unreadable(LFolder.FPath, LFolder.FReason);
      break;
    }
    }
  }
  return true;
}

bool TCli::CollectFolders(TFolderList &AList) {
  const TProgramPaths LProgram = TProgramPaths::OfTheRun();
  const auto LAdd = [this, &AList, &LProgram](const QString &ALocation,
                                              const TFolderEntry &AEntry) {
    const QString LFull = ALocation.endsWith(QLatin1Char('/'))
                              ? ALocation + AEntry.FName
                              : ALocation + QLatin1Char('/') + AEntry.FName;
    if (LProgram.HoldsFolder(LFull))
      LeftOut(LFull);
    else
      AList.AddFolderInfoIfNeed(ALocation, AEntry);
  };
  for (const QByteArray &LArgument : FOptions.FPaths) {
    const QString LPath = PathFromArgument(LArgument);
    const TPathKind LKind = PathKindOf(LPath);
    if (LKind == TPathKind::Missing) {
      if (const QString LReason = PathUnreachableReason(LPath); !LReason.isEmpty()) {
        Unreadable(LPath, LReason);
        continue;
      }
    }
    if (LKind != TPathKind::Folder) {
      Err(LKind == TPathKind::Missing
              ? QStringLiteral("no such file or folder: %1").arg(DisplayText(LPath))
              : QStringLiteral("%1 is not a folder").arg(DisplayText(LPath)));
      return false;
    }
    if (FOptions.FIncludeRoot) {
      if (LProgram.HoldsFolder(LPath))
        LeftOut(LPath);
      else
        AList.AddFolderInfoIfNeed(LPath);
    }
    if (FOptions.FNoSubfolders)
      continue;
    // The walk takes each folder's subfolders A-Z.
    std::vector<TUnreadable> LUnreadable;
    ScanSubFolders(LPath, LAdd, nullptr, &LUnreadable);
    for (const TUnreadable &LFolder : LUnreadable)
      Unreadable(LFolder.FPath, LFolder.FReason);
  }
  return true;
}

QByteArray TCli::Line(const TRow &ARow, const QByteArray &ATail) const {
  QByteArray LLine = QuoteForTerminal(Relative(ARow.FOld, FCommon));
  if (ARow.FEntry.FStatus != TPlanStatus::Unchanged || ARow.FOld != ARow.FNew)
    LLine += " -> " + QuoteForTerminal(Relative(ARow.FNew, FCommon));
  if (!ATail.isEmpty())
    LLine += "  " + ATail;
  return LLine + '\n';
}

void TCli::PrintPlan(const std::vector<TRow> &ARows) {
  int LToRename = 0;
  int LUnchanged = 0;
  int LConflicts = 0;
  for (const TRow &LRow : ARows) {
    const TPlanStatus LStatus = LRow.FEntry.FStatus;
    const QString LReason = PlanReason(LRow.FEntry, FFolders);
    if (IsConflict(LStatus))
      ++LConflicts;
    else if (LStatus == TPlanStatus::Unchanged)
      ++LUnchanged;
    else
      ++LToRename;
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("old"), LRow.FOld);
      PutName(LObject, QStringLiteral("new"), LRow.FNew);
      LObject.insert(QStringLiteral("status"), QString::fromLatin1(StatusWord(LStatus)));
      if (!LReason.isEmpty())
        LObject.insert(QStringLiteral("reason"), LReason);
      Out(JsonLine(LObject));
    } else if (!FOptions.FQuiet) {
      QByteArray LTail;
      if (IsConflict(LStatus))
        LTail = "[conflict: " + LReason.toUtf8() + "]";
      else if (LStatus == TPlanStatus::Unchanged)
        LTail = "(unchanged)";
      else if (!LReason.isEmpty())
        LTail = "(" + LReason.toUtf8() + ")";
      Out(Line(LRow, LTail));
    }
  }
  if (FOptions.FJson) {
    QJsonObject LSummary;
    LSummary.insert(QStringLiteral("to_rename"), LToRename);
    LSummary.insert(QStringLiteral("unchanged"), LUnchanged);
    LSummary.insert(QStringLiteral("conflicts"), LConflicts);
    Out(JsonLine(QJsonObject{{QStringLiteral("summary"), LSummary}}));
  } else {
    Out(QByteArray::number(LToRename) + " to rename, " + QByteArray::number(LUnchanged) +
        " unchanged, " + QByteArray::number(LConflicts) + " conflicts\n");
  }
}

void TCli::PrintOutcome(const std::vector<TRow> &ARows, const std::vector<QString> &AFailures,
                        int AFailed) {
  int LRenamed = 0;
  for (size_t i = 0; i < ARows.size(); ++i) {
    const TRow &LRow = ARows[i];
    const bool LFailed = AFailures[i] != QStringLiteral("\x01ok");
    const bool LUnchanged = LRow.FEntry.FStatus == TPlanStatus::Unchanged;
    if (!LFailed && !LUnchanged)
      ++LRenamed;
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("old"), LRow.FOld);
      PutName(LObject, QStringLiteral("new"), LRow.FNew);
      LObject.insert(QStringLiteral("status"), LFailed      ? QStringLiteral("failed")
                                               : LUnchanged ? QStringLiteral("unchanged")
                                                            : QStringLiteral("renamed"));
      if (LFailed)
        LObject.insert(QStringLiteral("reason"), AFailures[i]);
      Out(JsonLine(LObject));
    } else if (!FOptions.FQuiet) {
      Out(Line(LRow, LFailed      ? "failed: " + AFailures[i].toUtf8()
                     : LUnchanged ? QByteArray("(unchanged)")
                                  : QByteArray("ok")));
    }
  }
  if (FOptions.FJson) {
    QJsonObject LSummary;
    LSummary.insert(QStringLiteral("renamed"), LRenamed);
    LSummary.insert(QStringLiteral("failed"), AFailed);
    Out(JsonLine(QJsonObject{{QStringLiteral("summary"), LSummary}}));
  } else {
    Out(QByteArray::number(LRenamed) + " renamed, " + QByteArray::number(AFailed) + " failed\n");
  }
}

int TCli::Rename() {
  FFolders = FOptions.FFolders;
  TFileList LFiles;
  TFolderList LFolderList;
  TRenameList &LList = FFolders ? static_cast<TRenameList &>(LFolderList) : LFiles;
  if (!(FFolders ? CollectFolders(LFolderList) : CollectFiles(LFiles)))
    return KExitUsage;
  LList.ApplyRecipe(FOptions.FRecipe, 0);
  // In the order asked for, the counter following it: by the new names, the
  // names are made first and numbered anew once sorted.
  if (FOptions.FSort) {
    LList.Sort(*FOptions.FSort, FOptions.FReverse);
    if (LList.HasCounter())
      LList.ApplyRecipe(FOptions.FRecipe, 0);
    else
      LList.Reindex(0);
  }
  // Each row shows the item's path now and the path its Rename gives it:
  // the name the move will use.
  std::vector<TRow> LRows;
  std::vector<QString> LFolders;
  const TPlan &LPlan = LList.PlanRenaming();
  for (int i = 0; i < LList.Count(); ++i) {
    LRows.push_back(
        {LList.CurrentPath(i), LList.TargetPath(i), LPlan.FEntries[static_cast<size_t>(i)]});
    LFolders.push_back(LList.FolderPath(i));
  }
  for (QString &LFolder : LFolders)
    while (LFolder.size() > 1 && LFolder.endsWith(QLatin1Char('/')))
      LFolder.chop(1);
  FCommon = CommonFolder(LFolders);
  if (!FOptions.FApply) {
    PrintPlan(LRows);
    const bool LConflicts = std::any_of(LRows.begin(), LRows.end(), [](const TRow &ARow) {
      return IsConflict(ARow.FEntry.FStatus);
    });
    return LConflicts || FUnreadable ? KExitFailed : KExitDone;
  }

  const TSettings &LSettings = GetSettings();
  GetJournal().Prune(LSettings.JournalKeepBatches(), LSettings.JournalKeepDays());
  StartLog();
  // A Rename may put the items in another order (folders deepest first):
  // the rows are found again by item.
  std::unordered_map<const TRenameItem *, size_t> LRowOf;
  for (int i = 0; i < LList.Count(); ++i)
    LRowOf[&LList.ItemAt(i)] = static_cast<size_t>(i);
  LList.SetJournal(&GetJournal());
  const int LFailed = LList.ExecuteRenaming();
  if (LFailed < 0) {
    Err(LList.BatchError());
    GetLogger().WriteLog(LList.BatchError());
    return KExitFailed;
  }
  // The outcome of each row: "\x01ok" or the failure's reason.
  const QString LOk = QStringLiteral("\x01ok");
  std::vector<QString> LOutcomes(LRows.size(), LOk);
  for (int i = 0; i < LList.Count(); ++i) {
    const TRenameItem &LItem = LList.ItemAt(i);
    if (!LItem.isRenamed())
      LOutcomes[LRowOf[&LItem]] = LItem.RenameErrorText();
  }
  PrintOutcome(LRows, LOutcomes, LFailed);
  if (!LList.JournalError().isEmpty()) {
    const QString LText = rs::FormatMessage(rs::JournalIncomplete, {LList.JournalError()});
    Err(LText);
    GetLogger().WriteLog(LText);
  }
  GetLogger().WriteLog(LFailed == 0 ? rs::RenameDone
                                    : rs::FormatMessage(rs::ForCount(LFailed, rs::FailedToRenameOne,
                                                                     rs::FailedToRenameMany),
                                                        {LFailed}));
  return LFailed == 0 && LList.JournalError().isEmpty() && !FUnreadable ? KExitDone : KExitFailed;
}

} // namespace

int main(int argc, char **argv) {
  // The arguments' own bytes: Qt's decoded list would lose names that are
  // not UTF-8.
  std::vector<QByteArray> LArguments;
  for (int i = 1; i < argc; ++i)
    LArguments.emplace_back(argv[i]);
  const TCliParse LParse = ParseCliArguments(LArguments);
  if (!LParse.FError.isEmpty()) {
    Err(LParse.FError);
    return KExitUsage;
  }
  if (LParse.FOptions.FHelp) {
    Out(CliUsage().toUtf8());
    return KExitDone;
  }
  if (LParse.FOptions.FVersion) {
    Out(QByteArray("varnwell-cli ") + VARNWELL_VERSION + '\n');
    return KExitDone;
  }
  QCoreApplication LApplication(argc, argv);
  TCli LCli(LParse.FOptions);
  const int LStatus = LCli.Run();
  std::fflush(stdout);
  return LStatus;
}
