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
#include <array>
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

bool StepKindFromWord(QByteArrayView AWord, TStepKind &AKind) {
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

QString JournalUnescape(QByteArrayView AText) {
  // Most names hold no escape at all.
  if (!AText.contains('%'))
    return platform::DecodeUtf8Lossless(AText.data(), AText.size());
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
  Close();
}

void TBatchWriter::NoteError(const QString &AError) {
  std::lock_guard<std::mutex> LGuard(FLock);
  if (FError.isEmpty())
    FError = AError;
}

void TBatchWriter::Flush(bool ASync) {
  if (!FFile)
    return;
  QString LError;
  if (!FPending.isEmpty()) {
    if (!FFile->Append(FPending, LError))
      NoteError(LError);
    FPending.clear();
  }
  if (ASync && FUnsynced > 0) {
    if (!FFile->Sync(LError))
      NoteError(LError);
    FUnsynced = 0;
  }
}

void TBatchWriter::FlushInBackground() {
  Flush(false);
  FUnsynced = 0;
  if (!FSyncer.joinable())
    FSyncer = std::thread([this] { SyncLoop(); });
  {
    std::lock_guard<std::mutex> LGuard(FLock);
    FSyncWanted = true;
  }
  FWake.notify_one();
}

void TBatchWriter::SyncLoop() {
  std::unique_lock<std::mutex> LGuard(FLock);
  for (;;) {
    FWake.wait(LGuard, [this] { return FSyncWanted || FStopping; });
    if (!FSyncWanted)
      return;
    FSyncWanted = false;
    LGuard.unlock();
    QString LError;
    const bool LOk = FFile->Sync(LError);
    LGuard.lock();
    if (!LOk && FError.isEmpty())
      FError = LError;
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
    NoteError(AError);
    return false;
  }
  return true;
}

bool TBatchWriter::AddFolders(int AFirst, const std::vector<QString> &AFolders, QString &AError) {
  QByteArray LText;
  for (size_t i = 0; i < AFolders.size(); ++i)
    LText += "folder " + QByteArray::number(AFirst + static_cast<qsizetype>(i)) + ' ' +
             JournalEscape(AFolders[i]) + '\n';
  QString LError;
  if (!FFile->Append(LText, LError)) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
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
  // by a crash are all of steps made, one after the other. Groups of steps
  // made are put there while the next moves go on.
  if (!AOk)
    Flush(true);
  else if (FUnsynced >= KSyncEvery)
    FlushInBackground();
}

void TBatchWriter::AfterCycleOpens() {
  Flush(true);
}

void TBatchWriter::StepUndone(int AStep) {
  FPending += "undo ";
  FPending += QByteArray::number(AStep);
  FPending += '\n';
  ++FUnsynced;
  Flush(true);
}

bool TBatchWriter::StopBeforeGroup() {
  return Failed() || (FStopRequest && FStopRequest());
}

bool TBatchWriter::Failed() {
  std::lock_guard<std::mutex> LGuard(FLock);
  return !FError.isEmpty();
}

QString TBatchWriter::Close() {
  Flush(true);
  if (FSyncer.joinable()) {
    {
      std::lock_guard<std::mutex> LGuard(FLock);
      FStopping = true;
    }
    FWake.notify_one();
    FSyncer.join();
  }
  std::lock_guard<std::mutex> LGuard(FLock);
  return FError;
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

// The words of one line, as views into the file's text: a batch of 100,000
// items is read without a string per word.
class TLineWords {
public:
  explicit TLineWords(QByteArrayView ALine) {
    qsizetype LStart = 0;
    while (FCount < KMax) {
      const qsizetype LSpace = ALine.indexOf(' ', LStart);
      if (LSpace < 0) {
        FWords[FCount++] = ALine.sliced(LStart);
        break;
      }
      FWords[FCount++] = ALine.sliced(LStart, LSpace - LStart);
      LStart = LSpace + 1;
    }
  }
  qsizetype size() const { return FCount; }
  QByteArrayView operator[](qsizetype AIndex) const { return FWords[static_cast<size_t>(AIndex)]; }
  QByteArrayView front() const { return FWords[0]; }

private:
  static constexpr qsizetype KMax = 12;
  std::array<QByteArrayView, KMax> FWords{};
  qsizetype FCount = 0;
};

bool ParseBatch(const QByteArray &AContent, TJournalBatch &ABatch) {
  const QByteArrayView LContent(AContent);
  qsizetype LEnd = LContent.indexOf('\n');
  if (LEnd < 0 || LContent.first(LEnd) != QByteArrayView(CHeader))
    return false;
  TJournalSection *LSection = nullptr;
  // A last line without its ending was cut short by a crash: it is left out.
  for (qsizetype LStart = LEnd + 1; (LEnd = LContent.indexOf('\n', LStart)) >= 0;
       LStart = LEnd + 1) {
    const TLineWords LWords(LContent.sliced(LStart, LEnd - LStart));
    const QByteArrayView LWord = LWords.front();
    if (LWord == "batch" && LWords.size() >= 2) {
      ABatch.FId = QString::fromUtf8(LWords[1].toByteArray());
    } else if (LWord == "created" && LWords.size() >= 2) {
      ABatch.FCreated =
          QDateTime::fromString(QString::fromUtf8(LWords[1].toByteArray()), Qt::ISODate);
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
    } else if ((LWord == "done" || LWord == "fail" || LWord == "undo") && LSection &&
               LSection->FBegun && LWords.size() >= 2) {
      const qsizetype LStep = LWords[1].toLongLong();
      if (LStep >= 0 && LStep < static_cast<qsizetype>(LSection->FDone.size()))
        LSection->FDone[static_cast<size_t>(LStep)] = LWord == "done" ? 1 : LWord == "fail" ? 2 : 3;
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
  const size_t LCount = ASection.FSteps.size();
  ASection.FDone.resize(LCount, 0);
  // The records are certain up to the last one; after it comes a prefix of
  // steps made (a failure and the first step of a swap are put on the disk
  // at once).
  size_t LFirst = 0;
  for (size_t s = LCount; s-- > 0;) {
    if (ASection.FDone[s] != 0) {
      LFirst = s + 1;
      break;
    }
  }
  // The cycles: for each step inside one, where its first step is.
  std::vector<size_t> LCycleStart(LCount, LCount);
  for (size_t s = 0; s < LCount; ++s) {
    if (ASection.FSteps[s].FKind != TStepKind::ToTemporary)
      continue;
    for (size_t k = s; k < LCount; ++k) {
      LCycleStart[k] = s;
      if (ASection.FSteps[k].FKind == TStepKind::FromTemporary &&
          ASection.FSteps[k].FItem == ASection.FSteps[s].FItem)
        break;
    }
  }
  platform::TFileSystemCache LFileSystems;
  const auto LPath = [&](const TJournalStep &AStep, const QString &AName) {
    return platform::JoinPath(ABatch.FFolders[static_cast<size_t>(AStep.FFolder)], AName);
  };
  // Whether each folder's file system keeps inode numbers, asked once per folder.
  std::vector<signed char> LFolderStable(ABatch.FFolders.size(), -1);
  const auto LStable = [&](const TJournalStep &AStep) {
    signed char &LKnown = LFolderStable[static_cast<size_t>(AStep.FFolder)];
    if (LKnown < 0)
      LKnown =
          LFileSystems.Of(ABatch.FFolders[static_cast<size_t>(AStep.FFolder)]).FFatFamily ? 0 : 1;
    return AStep.FInode != 0 && LKnown == 1;
  };
  // A step is made when its source is gone and its destination holds the
  // entry: by identity where inode numbers are stable, by presence elsewhere.
  const auto LMade = [&](const TJournalStep &AStep) {
    const platform::TEntryIdentity LSource = platform::IdentityOf(LPath(AStep, AStep.FFrom));
    const platform::TEntryIdentity LTarget = platform::IdentityOf(LPath(AStep, AStep.FTo));
    if (LStable(AStep))
      return LTarget.FExists && LTarget.FInode == AStep.FInode &&
             !(LSource.FExists && LSource.FInode == AStep.FInode);
    return !LSource.FExists && LTarget.FExists;
  };
  const auto LMarkMadeUpTo = [&](size_t ALast) {
    for (size_t k = LFirst; k <= ALast; ++k)
      ASection.FDone[k] = 1;
  };
  // Where every file keeps its inode number, a step outside a cycle tells by
  // identity alone whether it was made, whatever the later steps did (files
  // do not move each other's folders, and only a cycle moves an entry
  // twice). The steps made form a prefix, so probes a group apart find a
  // step not made, and every step after it is not made either: the scan
  // below starts there instead of at the last step of the batch.
  size_t LScanEnd = LCount;
  if (ABatch.FKind == TBatchKind::Files &&
      std::all_of(ASection.FSteps.begin() + static_cast<std::ptrdiff_t>(LFirst),
                  ASection.FSteps.end(), LStable)) {
    for (size_t LProbe = LFirst + KSyncEvery; LProbe < LCount; LProbe += KSyncEvery) {
      if (LCycleStart[LProbe] != LCount)
        continue;
      if (!LMade(ASection.FSteps[LProbe])) {
        LScanEnd = LProbe + 1;
        break;
      }
    }
  }
  // Scanned from the last step back: a step's folder can only have been
  // moved by a later step, and the later ones are known not made while the
  // scan goes on.
  for (size_t s = LScanEnd; s-- > LFirst;) {
    const TJournalStep &LStep = ASection.FSteps[s];
    if (LCycleStart[s] == LCount) {
      if (LMade(LStep)) {
        LMarkMadeUpTo(s);
        return;
      }
      continue;
    }
    // A cycle, judged as a whole from its last step: its temporary name
    // holds the entry between its first and its last step, and only then.
    const size_t LStart = LCycleStart[s];
    const TJournalStep &LOpen = ASection.FSteps[LStart];
    const platform::TEntryIdentity LTemporary = platform::IdentityOf(LPath(LOpen, LOpen.FTo));
    const bool LOpened = (LStart < LFirst && ASection.FDone[LStart] == 1) || LTemporary.FExists;
    if (!LOpened) {
      s = LStart; // not begun: on to the steps before it
      continue;
    }
    if (!LTemporary.FExists) {
      LMarkMadeUpTo(s); // closed: made as a whole
      return;
    }
    // Open: the steps inside it up to the last one made.
    for (size_t k = s; k-- > std::max(LStart + 1, LFirst);) {
      if (LMade(ASection.FSteps[k])) {
        LMarkMadeUpTo(k);
        return;
      }
    }
    if (LStart >= LFirst)
      LMarkMadeUpTo(LStart);
    return;
  }
}

QString BatchStateText(const TJournalBatch &ABatch) {
  switch (ABatch.State()) {
  case TBatchState::Running:
    return rs::BatchRunning;
  case TBatchState::Renamed:
    return rs::BatchRenamed;
  case TBatchState::RolledBack:
    return rs::BatchRolledBack;
  case TBatchState::PartlyRolledBack:
    return rs::BatchPartlyRolledBack;
  case TBatchState::Interrupted:
    return rs::BatchInterrupted;
  case TBatchState::Cancelled:
    return rs::FormatMessage(rs::BatchCancelled,
                             {static_cast<int>(ABatch.RenamedItems().size()), ABatch.ItemCount()});
  }
  return QString();
}

TJournal &GetJournal() {
  static TJournal LJournal;
  return LJournal;
}
