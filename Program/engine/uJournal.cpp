#include "uJournal.h"

#include "platform/uLosslessUtf8.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "platform/uPlatformLogFile.h"
#include "uClock.h"
#include "uResourceString.h"

#include <QList>

#include <algorithm>
#include <atomic>
#include <map>

namespace {

constexpr int KSyncEvery = 256;
const QByteArray CHeader = QByteArrayLiteral("Varnwell rename journal 1");
const QString CSuffix = QStringLiteral(".journal");

const char *StepKindWord(TStepKind AKind) {
  switch (AKind) {
  case TStepKind::Move:
    return "move";
  case TStepKind::ToTemporary:
    return "temp";
  case TStepKind::FromTemporary:
    return "fromtemp";
  case TStepKind::Attempt:
    return "attempt";
  }
  return "move";
}

bool StepKindFromWord(const QByteArray &AWord, TStepKind &AKind) {
  if (AWord == "move")
    AKind = TStepKind::Move;
  else if (AWord == "temp")
    AKind = TStepKind::ToTemporary;
  else if (AWord == "fromtemp")
    AKind = TStepKind::FromTemporary;
  else if (AWord == "attempt")
    AKind = TStepKind::Attempt;
  else
    return false;
  return true;
}

int HexValue(char AChar) {
  if (AChar >= '0' && AChar <= '9')
    return AChar - '0';
  if (AChar >= 'A' && AChar <= 'F')
    return AChar - 'A' + 10;
  if (AChar >= 'a' && AChar <= 'f')
    return AChar - 'a' + 10;
  return -1;
}

} // namespace

QByteArray JournalEscape(const QString &AText) {
  QByteArray LBytes;
  if (!platform::EncodeUtf8Lossless(AText, LBytes))
    LBytes = AText.toUtf8();
  QByteArray LOut;
  LOut.reserve(LBytes.size());
  static const char LHex[] = "0123456789ABCDEF";
  for (const char LChar : LBytes) {
    const auto LByte = static_cast<unsigned char>(LChar);
    if (LByte > 0x20 && LByte < 0x7F && LByte != '%') {
      LOut.append(LChar);
    } else {
      LOut.append('%');
      LOut.append(LHex[LByte >> 4]);
      LOut.append(LHex[LByte & 15]);
    }
  }
  return LOut;
}

QString JournalUnescape(const QByteArray &AText) {
  QByteArray LBytes;
  LBytes.reserve(AText.size());
  for (qsizetype i = 0; i < AText.size(); ++i) {
    if (AText[i] == '%' && i + 2 < AText.size() && HexValue(AText[i + 1]) >= 0 &&
        HexValue(AText[i + 2]) >= 0) {
      LBytes.append(static_cast<char>(HexValue(AText[i + 1]) * 16 + HexValue(AText[i + 2])));
      i += 2;
    } else {
      LBytes.append(AText[i]);
    }
  }
  return platform::DecodeUtf8Lossless(LBytes);
}

// ---------------------------------------------------------------------------
// A batch as read.

std::vector<int> TJournalBatch::RenamedItems() const {
  // Each item's name now: its first step's "from" until a step made moves it.
  std::map<int, QString> LOriginal;
  std::map<int, QString> LCurrent;
  for (const TJournalSection &LSection : FSections) {
    for (size_t s = 0; s < LSection.FSteps.size(); ++s) {
      const TJournalStep &LStep = LSection.FSteps[s];
      if (LSection.FKind == TSectionKind::Rename && !LOriginal.count(LStep.FItem))
        LOriginal[LStep.FItem] = LStep.FFrom;
      if (s < LSection.FDone.size() && LSection.FDone[s] == 1)
        LCurrent[LStep.FItem] = LStep.FTo;
    }
  }
  std::vector<int> LRenamed;
  for (const auto &[LItem, LName] : LCurrent)
    if (LOriginal.count(LItem) && LOriginal[LItem] != LName)
      LRenamed.push_back(LItem);
  return LRenamed;
}

int TJournalBatch::ItemCount() const {
  if (FSections.empty())
    return 0;
  int LCount = 0;
  for (const TJournalStep &LStep : FSections.front().FSteps)
    LCount = std::max(LCount, LStep.FItem + 1);
  return LCount;
}

TBatchState TJournalBatch::State() const {
  if (FLocked)
    return TBatchState::Running;
  for (const TJournalSection &LSection : FSections)
    if (!LSection.FEnded)
      return TBatchState::Interrupted;
  const bool LRenamed = !RenamedItems().empty();
  bool LRolledBackOnce = false;
  for (const TJournalSection &LSection : FSections)
    LRolledBackOnce = LRolledBackOnce || LSection.FKind == TSectionKind::Rollback;
  if (LRolledBackOnce)
    return LRenamed ? TBatchState::PartlyRolledBack : TBatchState::RolledBack;
  if (!FSections.empty() && FSections.front().FCancelled)
    return TBatchState::Cancelled;
  return TBatchState::Renamed;
}

QString TJournalBatch::CommonFolder() const {
  if (FFolders.empty())
    return QString();
  QString LCommon = FFolders.front();
  for (const QString &LFolder : FFolders) {
    while (!LCommon.isEmpty() && LFolder != LCommon &&
           !LFolder.startsWith(LCommon + platform::PathDelimiter()))
      LCommon = platform::ExtractLocation(LCommon) == LCommon ? QString()
                                                              : platform::ExtractLocation(LCommon);
  }
  return LCommon;
}

// ---------------------------------------------------------------------------
// Writing.

TBatchWriter::TBatchWriter(QString AId, QString APath,
                           std::unique_ptr<platform::TJournalFile> AFile)
    : FId(std::move(AId)), FPath(std::move(APath)), FFile(std::move(AFile)) {}

TBatchWriter::~TBatchWriter() {
  Flush(true);
}

void TBatchWriter::Flush(bool ASync) {
  if (!FFile)
    return;
  QString LError;
  if (!FPending.isEmpty()) {
    if (!FFile->Append(FPending, LError) && FError.isEmpty())
      FError = LError;
    FPending.clear();
  }
  if (ASync && FUnsynced > 0) {
    if (!FFile->Sync(LError) && FError.isEmpty())
      FError = LError;
    FUnsynced = 0;
  }
}

bool TBatchWriter::BeginSection(TSectionKind AKind, const std::vector<TJournalStep> &ASteps,
                                QString &AError) {
  QByteArray LText;
  LText.reserve(static_cast<qsizetype>(ASteps.size()) * 80 + 64);
  LText += AKind == TSectionKind::Rename ? "section rename " : "section rollback ";
  LText += QByteArray::number(static_cast<qsizetype>(ASteps.size()));
  LText += '\n';
  for (size_t s = 0; s < ASteps.size(); ++s) {
    const TJournalStep &LStep = ASteps[s];
    LText += "step ";
    LText += QByteArray::number(static_cast<qsizetype>(s));
    LText += ' ';
    LText += QByteArray::number(LStep.FItem);
    LText += ' ';
    LText += StepKindWord(LStep.FKind);
    LText += ' ';
    LText += QByteArray::number(LStep.FFolder);
    LText += ' ';
    LText += JournalEscape(LStep.FFrom);
    LText += ' ';
    LText += JournalEscape(LStep.FTo);
    LText += ' ';
    LText += QByteArray::number(static_cast<qulonglong>(LStep.FDevice));
    LText += ' ';
    LText += QByteArray::number(static_cast<qulonglong>(LStep.FInode));
    LText += ' ';
    LText += QByteArray::number(static_cast<qlonglong>(LStep.FSize));
    LText += ' ';
    LText += QByteArray::number(static_cast<qlonglong>(LStep.FModifiedNs));
    LText += '\n';
  }
  LText += "begin\n";
  QString LError;
  if (!FFile->Append(LText, LError) || !FFile->Sync(LError)) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    FError = AError;
    return false;
  }
  return true;
}

void TBatchWriter::StepDone(int AStep, bool AOk, const QString &ATemporary) {
  FPending += AOk ? "done " : "fail ";
  FPending += QByteArray::number(AStep);
  if (AOk && !ATemporary.isEmpty()) {
    // The temporary path the entry went to, for a person reading the file.
    FPending += ' ';
    FPending += JournalEscape(ATemporary);
  }
  FPending += '\n';
  ++FUnsynced;
  // A failure is put on the disk at once: then the records left unwritten
  // by a crash are all of steps made, one after the other.
  if (!AOk || FUnsynced >= KSyncEvery)
    Flush(true);
}

void TBatchWriter::BeforeCycleCloses() {
  Flush(true);
}

bool TBatchWriter::StopBeforeGroup() {
  return FStopRequest && FStopRequest();
}

void TBatchWriter::EndSection(int AMade, int AFailed, bool ACancelled) {
  FPending += "end ";
  FPending += QByteArray::number(AMade);
  FPending += ' ';
  FPending += QByteArray::number(AFailed);
  if (ACancelled)
    FPending += " cancelled";
  FPending += '\n';
  ++FUnsynced;
  Flush(true);
}

// ---------------------------------------------------------------------------
// The journal folder.

QString TJournal::DefaultFolder() {
  return platform::JoinPath(platform::StateHome(), QStringLiteral("varnwell/journal"));
}

QString TJournal::Folder() const {
  return FFolder.isEmpty() ? DefaultFolder() : FFolder;
}

std::unique_ptr<TBatchWriter>
TJournal::BeginBatch(TBatchKind AKind, const std::vector<QString> &AFolders, QString &AError) {
  static std::atomic<unsigned> LCounter{0};
  const QString LFolder = Folder();
  QString LError;
  if (!platform::LogFolderExists(LFolder) && !platform::CreateLogFolder(LFolder, LError)) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    return nullptr;
  }
  const QDateTime LNow = clock_source::Now();
  std::unique_ptr<platform::TJournalFile> LFile;
  QString LId;
  QString LPath;
  for (int LAttempt = 0; LAttempt < 100 && !LFile; ++LAttempt) {
    LId = LNow.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('-') +
          QString::number(platform::ProcessId()) + QLatin1Char('-') +
          QString::number(LCounter.fetch_add(1));
    LPath = platform::JoinPath(LFolder, LId + CSuffix);
    LFile = platform::TJournalFile::Create(LPath, LError);
  }
  if (!LFile) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    return nullptr;
  }
  QByteArray LText = CHeader + '\n';
  LText += "batch " + LId.toUtf8() + '\n';
  LText += "created " + LNow.toString(Qt::ISODate).toUtf8() + '\n';
  LText += AKind == TBatchKind::Files ? "kind files\n" : "kind folders\n";
  for (size_t i = 0; i < AFolders.size(); ++i)
    LText += "folder " + QByteArray::number(static_cast<qsizetype>(i)) + ' ' +
             JournalEscape(AFolders[i]) + '\n';
  if (!LFile->Append(LText, LError) || !LFile->Sync(LError) || !platform::SyncFolder(LFolder)) {
    if (LError.isEmpty())
      LError = QStringLiteral("cannot sync the journal folder");
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    LFile.reset();
    platform::RemoveFile(LPath);
    return nullptr;
  }
  return std::unique_ptr<TBatchWriter>(new TBatchWriter(LId, LPath, std::move(LFile)));
}

std::unique_ptr<TBatchWriter> TJournal::ReopenBatch(const QString &AId, QString &AError) {
  const QString LPath = platform::JoinPath(Folder(), AId + CSuffix);
  QString LError;
  std::unique_ptr<platform::TJournalFile> LFile =
      platform::TJournalFile::OpenForAppend(LPath, LError);
  if (!LFile) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    return nullptr;
  }
  return std::unique_ptr<TBatchWriter>(new TBatchWriter(AId, LPath, std::move(LFile)));
}

namespace {

bool ParseBatch(const QByteArray &AContent, TJournalBatch &ABatch) {
  const QList<QByteArray> LLines = AContent.split('\n');
  if (LLines.isEmpty() || LLines.front() != CHeader)
    return false;
  // A last line without its ending was cut short by a crash: it is left out.
  const qsizetype LCount = LLines.size() - 1;
  TJournalSection *LSection = nullptr;
  for (qsizetype i = 1; i < LCount; ++i) {
    const QList<QByteArray> LWords = LLines[i].split(' ');
    const QByteArray &LWord = LWords.front();
    if (LWord == "batch" && LWords.size() >= 2) {
      ABatch.FId = QString::fromUtf8(LWords[1]);
    } else if (LWord == "created" && LWords.size() >= 2) {
      ABatch.FCreated = QDateTime::fromString(QString::fromUtf8(LWords[1]), Qt::ISODate);
    } else if (LWord == "kind" && LWords.size() >= 2) {
      ABatch.FKind = LWords[1] == "folders" ? TBatchKind::Folders : TBatchKind::Files;
    } else if (LWord == "folder" && LWords.size() >= 3) {
      const qsizetype LNumber = LWords[1].toLongLong();
      if (LNumber != static_cast<qsizetype>(ABatch.FFolders.size()))
        return false;
      ABatch.FFolders.push_back(JournalUnescape(LWords[2]));
    } else if (LWord == "section" && LWords.size() >= 3) {
      ABatch.FSections.emplace_back();
      LSection = &ABatch.FSections.back();
      LSection->FKind = LWords[1] == "rollback" ? TSectionKind::Rollback : TSectionKind::Rename;
      LSection->FSteps.reserve(static_cast<size_t>(LWords[2].toLongLong()));
    } else if (LWord == "step" && LSection && LWords.size() >= 11) {
      TJournalStep LStep;
      LStep.FItem = LWords[2].toInt();
      if (!StepKindFromWord(LWords[3], LStep.FKind))
        return false;
      LStep.FFolder = LWords[4].toInt();
      if (LStep.FFolder < 0 || LStep.FFolder >= static_cast<int>(ABatch.FFolders.size()))
        return false;
      LStep.FFrom = JournalUnescape(LWords[5]);
      LStep.FTo = JournalUnescape(LWords[6]);
      LStep.FDevice = LWords[7].toULongLong();
      LStep.FInode = LWords[8].toULongLong();
      LStep.FSize = LWords[9].toLongLong();
      LStep.FModifiedNs = LWords[10].toLongLong();
      LSection->FSteps.push_back(std::move(LStep));
    } else if (LWord == "begin" && LSection) {
      LSection->FBegun = true;
      LSection->FDone.assign(LSection->FSteps.size(), 0);
    } else if ((LWord == "done" || LWord == "fail") && LSection && LSection->FBegun &&
               LWords.size() >= 2) {
      const qsizetype LStep = LWords[1].toLongLong();
      if (LStep >= 0 && LStep < static_cast<qsizetype>(LSection->FDone.size()))
        LSection->FDone[static_cast<size_t>(LStep)] = LWord == "done" ? 1 : 2;
    } else if (LWord == "end" && LSection) {
      LSection->FEnded = true;
      LSection->FCancelled = LWords.size() >= 4 && LWords[3] == "cancelled";
    }
  }
  // A section whose plan did not reach the disk moved nothing.
  ABatch.FSections.erase(
      std::remove_if(ABatch.FSections.begin(), ABatch.FSections.end(),
                     [](const TJournalSection &ASection) { return !ASection.FBegun; }),
      ABatch.FSections.end());
  return !ABatch.FId.isEmpty();
}

} // namespace

bool TJournal::Load(const QString &AId, TJournalBatch &ABatch) const {
  ABatch = TJournalBatch();
  ABatch.FPath = platform::JoinPath(Folder(), AId + CSuffix);
  QByteArray LContent;
  QString LError;
  if (platform::ReadWholeFile(ABatch.FPath, LContent, LError) != platform::TReadOutcome::Read)
    return false;
  if (!ParseBatch(LContent, ABatch))
    return false;
  ABatch.FLocked = platform::IsJournalLocked(ABatch.FPath);
  return true;
}

std::vector<TJournalBatch> TJournal::History() const {
  std::vector<QString> LNames;
  QString LError;
  platform::ListFolderFiles(Folder(), LNames, LError);
  std::sort(LNames.begin(), LNames.end(), std::greater<QString>());
  std::vector<TJournalBatch> LBatches;
  for (const QString &LName : LNames) {
    if (!LName.endsWith(CSuffix))
      continue;
    TJournalBatch LBatch;
    if (Load(LName.chopped(CSuffix.size()), LBatch))
      LBatches.push_back(std::move(LBatch));
  }
  std::stable_sort(LBatches.begin(), LBatches.end(),
                   [](const TJournalBatch &ALeft, const TJournalBatch &ARight) {
                     return ALeft.FCreated > ARight.FCreated;
                   });
  return LBatches;
}

void TJournal::Prune(int AKeepBatches, int AKeepDays) {
  const std::vector<TJournalBatch> LBatches = History();
  const QDateTime LLimit = clock_source::Now().addDays(-std::max(AKeepDays, 0));
  for (size_t i = 0; i < LBatches.size(); ++i) {
    const TJournalBatch &LBatch = LBatches[i];
    if (static_cast<int>(i) < AKeepBatches || LBatch.FCreated >= LLimit || LBatch.FLocked)
      continue;
    platform::RemoveFile(LBatch.FPath);
  }
}

// ---------------------------------------------------------------------------
// Recovery.

void CompleteSectionFromDisk(const TJournalBatch &ABatch, TJournalSection &ASection) {
  if (ASection.FEnded)
    return;
  ASection.FDone.resize(ASection.FSteps.size(), 0);
  // The records are certain up to the last one; after it comes a prefix of
  // steps made (a failure is always recorded on the disk at once).
  size_t LFirst = 0;
  for (size_t s = ASection.FDone.size(); s-- > 0;) {
    if (ASection.FDone[s] != 0) {
      LFirst = s + 1;
      break;
    }
  }
  platform::TFileSystemCache LFileSystems;
  // Scanned from the last step back: a step's folder can only have been
  // moved by a later step, and the later ones are known not made while the
  // scan goes on. A step is made when its source is gone and its destination
  // holds the entry (by identity, where inode numbers are stable).
  for (size_t s = ASection.FSteps.size(); s-- > LFirst;) {
    const TJournalStep &LStep = ASection.FSteps[s];
    const QString &LFolder = ABatch.FFolders[static_cast<size_t>(LStep.FFolder)];
    const platform::TEntryIdentity LSource =
        platform::IdentityOf(platform::JoinPath(LFolder, LStep.FFrom));
    const platform::TEntryIdentity LTarget =
        platform::IdentityOf(platform::JoinPath(LFolder, LStep.FTo));
    bool LMade = !LSource.FExists && LTarget.FExists;
    if (LMade && !LFileSystems.Of(LFolder).FFatFamily && LStep.FInode != 0)
      LMade = LTarget.FInode == LStep.FInode;
    if (LMade) {
      for (size_t k = LFirst; k <= s; ++k)
        ASection.FDone[k] = 1;
      break;
    }
  }
}

TJournal &GetJournal() {
  static TJournal LJournal;
  return LJournal;
}
