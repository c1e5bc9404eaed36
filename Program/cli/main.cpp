// varnwell-cli: the renaming engine from a terminal and in scripts. The same
// recipe, planner, journal, settings and change log as the window; no
// widget library.
#include "platform/uPlatformMemory.h"
#include "uCliFileBatch.h"
#include "uCliOptions.h"
#include "uCliOutput.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uJournalRollback.h"
#include "uLog.h"
#include "uNameEdits.h"
#include "uPresets.h"
#include "uProgramFiles.h"
#include "uRenamePlan.h"
#include "uResourceString.h"
#include "uSetting.h"
#include "uUtil.h"
#include "uWarningSink.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>
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

// AFolder without its final delimiters ("/" stays).
QString Trimmed(QString AFolder) {
  while (AFolder.size() > 1 && AFolder.endsWith(QLatin1Char('/')))
    AFolder.chop(1);
  return AFolder;
}

// The deepest folder that holds every one of AFolders.
QString CommonFolder(const std::vector<QString> &AFolders) {
  if (AFolders.empty())
    return {};
  QStringList LCommon = Trimmed(AFolders.front()).split(QLatin1Char('/'));
  for (const QString &LFolder : AFolders) {
    const QStringList LParts = Trimmed(LFolder).split(QLatin1Char('/'));
    qsizetype LSame = 0;
    while (LSame < LCommon.size() && LSame < LParts.size() && LCommon[LSame] == LParts[LSame])
      ++LSame;
    LCommon = LCommon.mid(0, LSame);
  }
  const QString LJoined = LCommon.join(QLatin1Char('/'));
  return LJoined.isEmpty() ? QStringLiteral("/") : LJoined;
}

// The rows of a batch as the output shows them, made one at a time while
// they are written: each item's path now and the path its Rename gives it
// (the name the move will use), what the plan says of it, and after a
// Rename how it went.
class TRows {
public:
  virtual ~TRows() = default;
  virtual int Count() const = 0;
  virtual QString OldPath(int ARow) const = 0;
  virtual QString NewPath(int ARow) const = 0;
  virtual const TPlanEntry &Entry(int ARow) const = 0;
  // After a Rename: false, with the reason, for a row that failed.
  virtual bool Renamed(int ARow, QString &AReason) const = 0;
};

// The files of a run.
class TFileRows : public TRows {
public:
  explicit TFileRows(TCliFileBatch &ABatch) : FBatch(ABatch) {}
  int Count() const override { return FBatch.Count(); }
  QString OldPath(int ARow) const override { return FBatch.OldPath(ARow); }
  QString NewPath(int ARow) const override { return FBatch.TargetPath(ARow); }
  const TPlanEntry &Entry(int ARow) const override {
    return FPlan->FEntries[static_cast<size_t>(ARow)];
  }
  bool Renamed(int ARow, QString &AReason) const override {
    if (FBatch.Renamed(ARow))
      return true;
    AReason = FBatch.Failure(ARow);
    return false;
  }
  void SetPlan(const TPlan &APlan) { FPlan = &APlan; }

private:
  TCliFileBatch &FBatch;
  const TPlan *FPlan = nullptr;
};

// The folders of a run. A Rename moves the folders deepest first and
// changes the paths below the ones it moves: the rows keep the paths they
// showed before it, and find their items again.
class TFolderRows : public TRows {
public:
  explicit TFolderRows(TFolderList &AList) : FList(AList) {}
  int Count() const override { return static_cast<int>(FEntries.size()); }
  QString OldPath(int ARow) const override {
    return FPaths.empty() ? FList.CurrentPath(ARow) : FPaths[static_cast<size_t>(ARow)].first;
  }
  QString NewPath(int ARow) const override {
    return FPaths.empty() ? FList.TargetPath(ARow) : FPaths[static_cast<size_t>(ARow)].second;
  }
  const TPlanEntry &Entry(int ARow) const override { return FEntries[static_cast<size_t>(ARow)]; }
  bool Renamed(int ARow, QString &AReason) const override {
    const TRenameItem &LItem = *FItems[static_cast<size_t>(ARow)];
    if (LItem.isRenamed())
      return true;
    AReason = LItem.RenameErrorText();
    return false;
  }
  void SetPlan(const TPlan &APlan) { FEntries = APlan.FEntries; }
  // Before a Rename: the paths and items of the rows as they are now.
  void KeepRows() {
    for (int i = 0; i < FList.Count(); ++i) {
      FPaths.emplace_back(FList.CurrentPath(i), FList.TargetPath(i));
      FItems.push_back(&FList.ItemAt(i));
    }
  }

private:
  TFolderList &FList;
  std::vector<TPlanEntry> FEntries;
  std::vector<std::pair<QString, QString>> FPaths;
  std::vector<const TRenameItem *> FItems;
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
  int ListPresets();
  int DeletePreset();
  // Takes the rules of --preset; false (and a message) when it cannot be
  // used, with the exit status in AStatus.
  bool TakePreset(int &AStatus);
  int SavePreset();
  int History();
  int Undo();
  int Rename();
  // Collects the items; false (and a message) for a usage error. A folder
  // that cannot be listed or a path that cannot be reached is told on
  // standard error (and as an object with --json) and makes the exit status
  // 1; the program's own files are left out and told likewise.
  bool CollectFiles(TCliFileBatch &ABatch);
  bool CollectFolders(TFolderList &AList);
  void Unreadable(const QString &APath, const QString &AReason);
  void LeftOut(const QString &APath);
  void StartLog();
  int RenameFiles();
  int RenameFolders();
  // The preview: a line per row and the summary. True when a row has a
  // conflict.
  bool PrintPlan(const TRows &ARows);
  void PrintOutcome(const TRows &ARows, int AFailed);
  QByteArray Line(const TRows &ARows, int ARow, const QByteArray &ATail) const;
  void JournalIncomplete(const QString &AError);
  int Finished(int AFailed, const QString &AJournalError);

  // A copy: a preset changes the recipe and the mode.
  TCliOptions FOptions;
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
  if (FOptions.FListPresets)
    return ListPresets();
  if (FOptions.FDeletePreset)
    return DeletePreset();
  if (FOptions.FHistory)
    return History();
  if (FOptions.FUndo)
    return Undo();
  if (int LStatus = KExitDone; FOptions.FPreset && !TakePreset(LStatus))
    return LStatus;
  if (FOptions.FSavePreset)
    return SavePreset();
  return Rename();
}

int TCli::ListPresets() {
  const TPresetsRead LRead = TPresetsFile(TPresetsFile::DefaultFileName()).Read();
  if (!LRead.FOk) {
    Err(LRead.FError);
    return KExitFailed;
  }
  for (const TPreset &LPreset : LRead.FPresets) {
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("name"), LPreset.FName);
      LObject.insert(QStringLiteral("kind"), PresetKindText(LPreset.FKind));
      LObject.insert(QStringLiteral("damaged"), LPreset.FDamaged);
      Out(JsonLine(LObject));
      continue;
    }
    Out(QuoteForTerminal(LPreset.FName) + "  " + PresetKindText(LPreset.FKind).toUtf8() +
        (LPreset.FDamaged ? "  (damaged)" : "") + '\n');
  }
  return KExitDone;
}

int TCli::DeletePreset() {
  TPresetsFile LFile(TPresetsFile::DefaultFileName());
  QString LError;
  const std::optional<TPreset> LPreset = LFile.Find(*FOptions.FDeletePreset, LError);
  if (!LError.isEmpty()) {
    Err(LError);
    return KExitFailed;
  }
  if (!LPreset) {
    Err(QStringLiteral("unknown preset: %1").arg(*FOptions.FDeletePreset));
    return KExitUsage;
  }
  const TPresetWrite LWrite = LFile.Remove(LPreset->FName);
  if (!LWrite) {
    Err(LWrite.FError);
    return KExitFailed;
  }
  if (!FOptions.FQuiet)
    Out("Preset \"" + LPreset->FName.toUtf8() + "\" deleted.\n");
  return KExitDone;
}

bool TCli::TakePreset(int &AStatus) {
  QString LError;
  const std::optional<TPreset> LPreset =
      TPresetsFile(TPresetsFile::DefaultFileName()).Find(*FOptions.FPreset, LError);
  if (!LError.isEmpty()) {
    Err(LError);
    AStatus = KExitFailed;
    return false;
  }
  if (!LPreset) {
    Err(QStringLiteral("unknown preset: %1").arg(*FOptions.FPreset));
    AStatus = KExitUsage;
    return false;
  }
  LError = UsePreset(FOptions, *LPreset);
  if (!LError.isEmpty()) {
    Err(LError);
    AStatus = KExitUsage;
    return false;
  }
  return true;
}

int TCli::SavePreset() {
  TPreset LPreset;
  LPreset.FName = *FOptions.FSavePreset;
  LPreset.FKind = FOptions.FFolders ? TPresetKind::Folders : TPresetKind::Files;
  LPreset.FRecipe = FOptions.FRecipe;
  if (FOptions.FSort) {
    LPreset.FOrder = PresetOrderText(*FOptions.FSort);
    LPreset.FReverse = FOptions.FReverse;
  }
  const TPresetWrite LWrite = TPresetsFile(TPresetsFile::DefaultFileName()).Save(LPreset);
  if (!LWrite) {
    Err(LWrite.FError);
    return KExitFailed;
  }
  if (!FOptions.FQuiet)
    Out("Preset \"" + LPreset.FName.toUtf8() + "\" " + (LWrite.FReplaced ? "replaced" : "saved") +
        ".\n");
  return KExitDone;
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

bool TCli::CollectFiles(TCliFileBatch &ABatch) {
  const TProgramPaths LProgram = TProgramPaths::OfTheRun();
  const auto LLeftOut = [this](const QString &APath) {
    LeftOut(APath);
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
      if (LProgram.HoldsFile(LPath))
        LeftOut(LPath);
      else
        ABatch.AddFile(LPath);
      break;
    case TPathKind::Folder: {
      if (!FOptions.FRecursive) {
        Err(QStringLiteral("%1 is a folder: use -R for its files or -d for its subfolders")
                .arg(DisplayText(LPath)));
        return false;
      }
      // The walk takes each folder's entries A-Z.
      std::vector<TUnreadable> LUnreadable;
      ABatch.AddTree(LPath, LProgram, LLeftOut, LUnreadable);
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

QByteArray TCli::Line(const TRows &ARows, int ARow, const QByteArray &ATail) const {
  const QString LOld = ARows.OldPath(ARow);
  QByteArray LLine = QuoteForTerminal(Relative(LOld, FCommon));
  const QString LNew = ARows.NewPath(ARow);
  if (ARows.Entry(ARow).FStatus != TPlanStatus::Unchanged || LOld != LNew)
    LLine += " -> " + QuoteForTerminal(Relative(LNew, FCommon));
  if (!ATail.isEmpty())
    LLine += "  " + ATail;
  return LLine + '\n';
}

bool TCli::PrintPlan(const TRows &ARows) {
  int LToRename = 0;
  int LUnchanged = 0;
  int LConflicts = 0;
  for (int i = 0; i < ARows.Count(); ++i) {
    const TPlanEntry &LEntry = ARows.Entry(i);
    const TPlanStatus LStatus = LEntry.FStatus;
    const QString LReason = PlanReason(LEntry, FFolders);
    if (IsConflict(LStatus))
      ++LConflicts;
    else if (LStatus == TPlanStatus::Unchanged)
      ++LUnchanged;
    else
      ++LToRename;
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("old"), ARows.OldPath(i));
      PutName(LObject, QStringLiteral("new"), ARows.NewPath(i));
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
      Out(Line(ARows, i, LTail));
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
  return LConflicts > 0;
}

void TCli::PrintOutcome(const TRows &ARows, int AFailed) {
  int LRenamed = 0;
  QString LReason;
  for (int i = 0; i < ARows.Count(); ++i) {
    const bool LFailed = !ARows.Renamed(i, LReason);
    const bool LUnchanged = ARows.Entry(i).FStatus == TPlanStatus::Unchanged;
    if (!LFailed && !LUnchanged)
      ++LRenamed;
    if (FOptions.FJson) {
      QJsonObject LObject;
      PutName(LObject, QStringLiteral("old"), ARows.OldPath(i));
      PutName(LObject, QStringLiteral("new"), ARows.NewPath(i));
      LObject.insert(QStringLiteral("status"), LFailed      ? QStringLiteral("failed")
                                               : LUnchanged ? QStringLiteral("unchanged")
                                                            : QStringLiteral("renamed"));
      if (LFailed)
        LObject.insert(QStringLiteral("reason"), LReason);
      Out(JsonLine(LObject));
    } else if (!FOptions.FQuiet) {
      Out(Line(ARows, i,
               LFailed      ? "failed: " + LReason.toUtf8()
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

void TCli::JournalIncomplete(const QString &AError) {
  if (AError.isEmpty())
    return;
  const QString LText = rs::FormatMessage(rs::JournalIncomplete, {AError});
  Err(LText);
  GetLogger().WriteLog(LText);
}

int TCli::Finished(int AFailed, const QString &AJournalError) {
  JournalIncomplete(AJournalError);
  GetLogger().WriteLog(AFailed == 0 ? rs::RenameDone
                                    : rs::FormatMessage(rs::ForCount(AFailed, rs::FailedToRenameOne,
                                                                     rs::FailedToRenameMany),
                                                        {AFailed}));
  return AFailed == 0 && AJournalError.isEmpty() && !FUnreadable ? KExitDone : KExitFailed;
}

int TCli::Rename() {
  FFolders = FOptions.FFolders;
  return FFolders ? RenameFolders() : RenameFiles();
}

int TCli::RenameFiles() {
  TCliFileBatch LBatch;
  if (!CollectFiles(LBatch))
    return KExitUsage;
  LBatch.ApplyRecipe(FOptions.FRecipe);
  // In the order asked for, the counter following it: by the new names, the
  // names are made first and numbered anew once sorted.
  if (FOptions.FSort) {
    LBatch.Sort(*FOptions.FSort, FOptions.FReverse);
    LBatch.ApplyRecipe(FOptions.FRecipe);
  }
  FCommon = CommonFolder(LBatch.Folders());
  TFileRows LRows(LBatch);
  LRows.SetPlan(LBatch.Plan());
  if (!FOptions.FApply)
    return PrintPlan(LRows) || FUnreadable ? KExitFailed : KExitDone;

  const TSettings &LSettings = GetSettings();
  GetJournal().Prune(LSettings.JournalKeepBatches(), LSettings.JournalKeepDays());
  StartLog();
  const int LFailed = LBatch.Execute(&GetJournal());
  if (LFailed < 0) {
    Err(LBatch.BatchError());
    GetLogger().WriteLog(LBatch.BatchError());
    return KExitFailed;
  }
  PrintOutcome(LRows, LFailed);
  return Finished(LFailed, LBatch.JournalError());
}

int TCli::RenameFolders() {
  TFolderList LList;
  if (!CollectFolders(LList))
    return KExitUsage;
  LList.ApplyRecipe(FOptions.FRecipe, 0);
  if (FOptions.FSort) {
    LList.Sort(*FOptions.FSort, FOptions.FReverse);
    if (LList.HasCounter())
      LList.ApplyRecipe(FOptions.FRecipe, 0);
    else
      LList.Reindex(0);
  }
  // The deepest folder that holds them all, each item's folder taken once
  // where it repeats.
  std::vector<QString> LFolders;
  for (int i = 0; i < LList.Count(); ++i) {
    const QString LFolder = LList.FolderPath(i);
    if (LFolders.empty() || LFolders.back() != LFolder)
      LFolders.push_back(LFolder);
  }
  FCommon = CommonFolder(LFolders);
  TFolderRows LRows(LList);
  LRows.SetPlan(LList.PlanRenaming());
  if (!FOptions.FApply)
    return PrintPlan(LRows) || FUnreadable ? KExitFailed : KExitDone;

  const TSettings &LSettings = GetSettings();
  GetJournal().Prune(LSettings.JournalKeepBatches(), LSettings.JournalKeepDays());
  StartLog();
  LRows.KeepRows();
  LList.SetJournal(&GetJournal());
  const int LFailed = LList.ExecuteRenaming();
  if (LFailed < 0) {
    Err(LList.BatchError());
    GetLogger().WriteLog(LList.BatchError());
    return KExitFailed;
  }
  PrintOutcome(LRows, LFailed);
  return Finished(LFailed, LList.JournalError());
}

} // namespace

// The sanitizers bring allocation functions of their own, which must pair
// with each other: a build under them keeps the standard ones.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Every allocation of the program comes here. A large one (the items of a
// run, their names, the planner's tables) is backed by large pages where the
// system offers them: a run over a million files fills some hundreds of
// megabytes, and one fault per small page would cost more than its moves.
void *operator new(std::size_t ASize) {
  constexpr std::size_t KLarge = 4 * 1024 * 1024;
  void *LBlock = std::malloc(ASize == 0 ? 1 : ASize);
  if (LBlock == nullptr)
    throw std::bad_alloc();
  if (ASize >= KLarge)
    platform::PreferLargePages(LBlock, ASize);
  return LBlock;
}

// What the operator new above takes from malloc goes back to free.
void operator delete(void *ABlock) noexcept {
  std::free(ABlock);
}

void operator delete(void *ABlock, std::size_t /*ASize*/) noexcept {
  std::free(ABlock);
}
#endif

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
