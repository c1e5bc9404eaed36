#include "uJournal.h"

#include "platform/uLosslessUtf8.h"
#include "platform/uPathRules.h"
#include "platform/uPlatformFileReader.h"
#include "platform/uPlatformFs.h"
#include "platform/uPlatformJournal.h"
#include "platform/uPlatformLogFile.h"
#include "uClock.h"
#include "uResourceString.h"

#include <QList>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <map>

namespace {

constexpr int KSyncEvery = 256;
// The least time from one background sync of the records of steps made to
// the next.
constexpr auto KSyncPause = std::chrono::milliseconds(100);
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

namespace {

// The folder ACommon and AFolder both lie in: ACommon or one above it.
QString CommonWith(QString ACommon, const QString &AFolder) {
  while (!ACommon.isEmpty() && AFolder != ACommon &&
         !AFolder.startsWith(ACommon + platform::PathDelimiter()))
    ACommon = platform::ExtractLocation(ACommon) == ACommon ? QString()
                                                            : platform::ExtractLocation(ACommon);
  return ACommon;
}

} // namespace

QString TJournalBatch::CommonFolder() const {
  if (FFolders.empty())
    return QString();
  QString LCommon = FFolders.front();
  for (const QString &LFolder : FFolders)
    LCommon = CommonWith(std::move(LCommon), LFolder);
  return LCommon;
}

// ---------------------------------------------------------------------------
// Summaries.

void TBatchTally::AddFolder(const QString &AFolder) {
  FFolder = FFolders++ == 0 ? AFolder : CommonWith(std::move(FFolder), AFolder);
}

void TBatchTally::AddSection(TSectionKind AKind, const std::vector<int> &AItems,
                             const std::vector<TStepKind> &AKinds,
                             const std::vector<uint8_t> &ARecords, bool ACancelled) {
  int LMaxItem = -1;
  for (const int LItem : AItems)
    LMaxItem = std::max(LMaxItem, LItem);
  if (FSections++ == 0) {
    FItems = LMaxItem + 1;
    FCancelled = AKind == TSectionKind::Rename && ACancelled;
  }
  // Each item's last step made in this section.
  std::vector<int> LLast(static_cast<size_t>(LMaxItem + 1), -1);
  for (size_t s = 0; s < AItems.size() && s < ARecords.size(); ++s)
    if (ARecords[s] == 1 && AItems[s] >= 0)
      LLast[static_cast<size_t>(AItems[s])] = static_cast<int>(s);
  for (const int LStep : LLast) {
    if (LStep < 0)
      continue;
    if (AKind == TSectionKind::Rename)
      ++FRenamed;
    else if (AKinds[static_cast<size_t>(LStep)] != TStepKind::ToTemporary)
      --FRenamed;
  }
  FRenamed = std::max(FRenamed, 0);
  FRolledBack = FRolledBack || AKind == TSectionKind::Rollback;
}

TBatchState TBatchTally::State() const {
  if (FRolledBack)
    return FRenamed > 0 ? TBatchState::PartlyRolledBack : TBatchState::RolledBack;
  return FCancelled ? TBatchState::Cancelled : TBatchState::Renamed;
}

namespace {

const char *StateWord(TBatchState AState) {
  switch (AState) {
  case TBatchState::Cancelled:
    return "cancelled";
  case TBatchState::RolledBack:
    return "rolledback";
  case TBatchState::PartlyRolledBack:
    return "partly";
  default:
    return "renamed";
  }
}

QByteArray SummaryLine(const TBatchTally &ATally) {
  QByteArray LLine = "summary " + QByteArray::number(ATally.FItems) + ' ' +
                     QByteArray::number(ATally.FRenamed) + ' ' + StateWord(ATally.State());
  if (!ATally.FFolder.isEmpty())
    LLine += ' ' + JournalEscape(ATally.FFolder);
  return LLine + '\n';
}

} // namespace

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
    const auto LStarted = std::chrono::steady_clock::now();
    LGuard.unlock();
    QString LError;
    const bool LOk = FFile->Sync(LError);
    LGuard.lock();
    if (!LOk && FError.isEmpty())
      FError = LError;
    // A sync forces the file system to commit its own journal, which holds
    // up the moves going on meanwhile: the groups that come in the pause
    // are put on the disk together by the next one. A crash loses at most
    // the records of the pause, and recovery tells those steps from the disk.
    FWake.wait_until(LGuard, LStarted + KSyncPause, [this] { return FStopping; });
  }
}

bool TBatchWriter::BeginSection(TSectionKind AKind, const std::vector<TJournalStep> &ASteps,
                                QString &AError) {
  // Written in chunks of about a megabyte: a plan of a million steps is
  // never held whole as text.
  constexpr qsizetype KChunk = 1 << 20;
  QString LError;
  bool LWritten = true;
  QByteArray LText;
  LText.reserve(KChunk + 4096);
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
    if (LText.size() >= KChunk && LWritten) {
      LWritten = FFile->Append(LText, LError);
      LText.resize(0); // keeps its room for the next chunk
    }
  }
  LText += "begin\n";
  FSectionOpen = true;
  FSectionKind = AKind;
  FSectionItems.clear();
  FSectionKinds.clear();
  FSectionItems.reserve(ASteps.size());
  FSectionKinds.reserve(ASteps.size());
  for (const TJournalStep &LStep : ASteps) {
    FSectionItems.push_back(LStep.FItem);
    FSectionKinds.push_back(LStep.FKind);
  }
  FSectionRecords.assign(ASteps.size(), 0);
  if (!LWritten || !FFile->Append(LText, LError) || !FFile->Sync(LError)) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    NoteError(AError);
    return false;
  }
  return true;
}

bool TBatchWriter::AddFolders(int AFirst, const std::vector<QString> &AFolders, QString &AError) {
  QByteArray LText;
  for (size_t i = 0; i < AFolders.size(); ++i) {
    LText += "folder " + QByteArray::number(AFirst + static_cast<qsizetype>(i)) + ' ' +
             JournalEscape(AFolders[i]) + '\n';
    FTally.AddFolder(AFolders[i]);
  }
  QString LError;
  if (!FFile->Append(LText, LError)) {
    AError = rs::FormatMessage(rs::CannotWriteJournal, {LError});
    return false;
  }
  return true;
}

void TBatchWriter::StepDone(int AStep, bool AOk, const QString &ATemporary) {
  if (FSectionOpen && AStep >= 0 && static_cast<size_t>(AStep) < FSectionRecords.size())
    FSectionRecords[static_cast<size_t>(AStep)] = AOk ? 1 : 2;
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
  if (FSectionOpen && AStep >= 0 && static_cast<size_t>(AStep) < FSectionRecords.size())
    FSectionRecords[static_cast<size_t>(AStep)] = 3;
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
  // The summary, where every section of the batch was counted: a section
  // ended here without its steps (completed after a crash) leaves the
  // batch to be read whole.
  if (FSectionOpen && FTally.FKnown) {
    FTally.AddSection(FSectionKind, FSectionItems, FSectionKinds, FSectionRecords, ACancelled);
    FPending += SummaryLine(FTally);
  } else {
    FTally.FKnown = false;
  }
  FSectionOpen = false;
  FSectionItems = {};
  FSectionKinds = {};
  FSectionRecords = {};
  ++FUnsynced;
  Flush(true);
}

// ---------------------------------------------------------------------------
// The journal folder.

QString TJournal::DefaultFolder() {
  return platform::JoinPath(platform::StateHome(), QStringLiteral("varnwell/journal"));
}

namespace {
bool ReadLastSummary(const QString &APath, TBatchSummary &ASummary);
} // namespace

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
  std::unique_ptr<TBatchWriter> LWriter(new TBatchWriter(LId, LPath, std::move(LFile)));
  LWriter->FTally.FKnown = true;
  for (const QString &LBatchFolder : AFolders)
    LWriter->FTally.AddFolder(LBatchFolder);
  return LWriter;
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
  std::unique_ptr<TBatchWriter> LWriter(new TBatchWriter(AId, LPath, std::move(LFile)));
  // The counts go on from the batch's summary, when its last line is one.
  TBatchSummary LSummary;
  if (ReadLastSummary(LPath, LSummary)) {
    TBatchTally &LTally = LWriter->FTally;
    LTally.FKnown = true;
    LTally.FItems = LSummary.FItemCount;
    LTally.FRenamed = LSummary.FRenamedCount;
    LTally.FSections = 1;
    LTally.FRolledBack = LSummary.FState == TBatchState::RolledBack ||
                         LSummary.FState == TBatchState::PartlyRolledBack;
    LTally.FCancelled = LSummary.FState == TBatchState::Cancelled;
    // The folder stands for all the batch's folders so far.
    LTally.FFolders = 1;
    LTally.FFolder = LSummary.FFolder;
  }
  return LWriter;
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

bool StateFromWord(QByteArrayView AWord, TBatchState &AState) {
  if (AWord == "renamed")
    AState = TBatchState::Renamed;
  else if (AWord == "cancelled")
    AState = TBatchState::Cancelled;
  else if (AWord == "rolledback")
    AState = TBatchState::RolledBack;
  else if (AWord == "partly")
    AState = TBatchState::PartlyRolledBack;
  else
    return false;
  return true;
}

// A summary record's counts, state and folder.
bool ParseSummaryLine(QByteArrayView ALine, TBatchSummary &ASummary) {
  const TLineWords LWords(ALine);
  if (LWords.size() < 4 || LWords.front() != "summary")
    return false;
  bool LItemsOk = false;
  bool LRenamedOk = false;
  ASummary.FItemCount = LWords[1].toInt(&LItemsOk);
  ASummary.FRenamedCount = LWords[2].toInt(&LRenamedOk);
  if (!LItemsOk || !LRenamedOk || !StateFromWord(LWords[3], ASummary.FState))
    return false;
  ASummary.FFolder = LWords.size() >= 5 ? JournalUnescape(LWords[4]) : QString();
  return true;
}

std::unique_ptr<platform::TFileReader> OpenJournalFile(const QString &APath) {
  QByteArray LNative;
  if (!platform::EncodeNativePath(APath, LNative))
    return nullptr;
  return platform::TFileReader::Open(LNative);
}

// Calls AOnLine with each line of AFile (without its ending), read in
// chunks, until it returns false; a last line without its ending was cut
// short by a crash and is left out.
template <typename TOnLine>
void ForEachLine(const platform::TFileReader &AFile, qsizetype AChunk, TOnLine AOnLine) {
  QByteArray LBuffer;
  int64_t LOffset = 0;
  qsizetype LStart = 0; // the first byte of LBuffer not yet given as a line
  for (;;) {
    // Keeps the unfinished line and reads the next chunk after it.
    LBuffer.remove(0, LStart);
    LStart = 0;
    const qsizetype LKept = LBuffer.size();
    LBuffer.resize(LKept + AChunk);
    const qsizetype LRead = AFile.ReadAt(LOffset, LBuffer.data() + LKept, AChunk);
    LBuffer.resize(LKept + LRead);
    LOffset += LRead;
    if (LRead <= 0)
      return;
    const QByteArrayView LView(LBuffer);
    for (qsizetype LEnd; (LEnd = LView.indexOf('\n', LStart)) >= 0; LStart = LEnd + 1)
      if (!AOnLine(LView.sliced(LStart, LEnd - LStart)))
        return;
  }
}

// The first lines: the batch's id, date and kind. False when the file is no
// batch.
bool ReadHeader(const platform::TFileReader &AFile, TBatchSummary &ASummary) {
  int LLine = 0;
  bool LIsBatch = false;
  ForEachLine(AFile, 4096, [&](QByteArrayView ALine) {
    if (LLine++ == 0) {
      LIsBatch = ALine == QByteArrayView(CHeader);
      return LIsBatch;
    }
    const TLineWords LWords(ALine);
    if (LWords.front() == "batch" && LWords.size() >= 2)
      ASummary.FId = QString::fromUtf8(LWords[1].toByteArray());
    else if (LWords.front() == "created" && LWords.size() >= 2)
      ASummary.FCreated =
          QDateTime::fromString(QString::fromUtf8(LWords[1].toByteArray()), Qt::ISODate);
    else if (LWords.front() == "kind" && LWords.size() >= 2)
      ASummary.FKind = LWords[1] == "folders" ? TBatchKind::Folders : TBatchKind::Files;
    else
      return false;
    return true;
  });
  return LIsBatch && !ASummary.FId.isEmpty();
}

// The summary that ends the file, if its last line is one.
bool ReadTailSummary(const platform::TFileReader &AFile, TBatchSummary &ASummary) {
  constexpr qsizetype KTail = 16384;
  const int64_t LSize = AFile.Size();
  if (LSize < 2)
    return false;
  const qsizetype LLength = static_cast<qsizetype>(std::min<int64_t>(LSize, KTail));
  QByteArray LTail(LLength, Qt::Uninitialized);
  if (AFile.ReadAt(LSize - LLength, LTail.data(), LLength) != LLength || !LTail.endsWith('\n'))
    return false;
  const qsizetype LStart = LTail.lastIndexOf('\n', LLength - 2);
  if (LStart < 0 && LLength < LSize)
    return false; // a line longer than the tail read: no summary
  return ParseSummaryLine(QByteArrayView(LTail).sliced(LStart + 1, LLength - LStart - 2), ASummary);
}

bool ReadLastSummary(const QString &APath, TBatchSummary &ASummary) {
  const std::unique_ptr<platform::TFileReader> LFile = OpenJournalFile(APath);
  return LFile && ReadTailSummary(*LFile, ASummary);
}

// The summary of a batch without one: the whole file read once, each
// section's steps kept as their items, kinds and records only.
bool ScanSummary(const platform::TFileReader &AFile, TBatchSummary &ASummary) {
  TBatchTally LTally;
  bool LValid = true;
  bool LInterrupted = false;
  bool LInSection = false;
  bool LBegun = false;
  bool LEnded = false;
  TSectionKind LKind = TSectionKind::Rename;
  std::vector<int> LItems;
  std::vector<TStepKind> LKinds;
  std::vector<uint8_t> LRecords;
  const auto LCloseSection = [&] {
    if (LInSection && LBegun && !LEnded)
      LInterrupted = true;
  };
  int LLine = 0;
  ForEachLine(AFile, 1 << 20, [&](QByteArrayView ALine) {
    if (LLine++ == 0) {
      LValid = ALine == QByteArrayView(CHeader);
      return LValid;
    }
    const TLineWords LWords(ALine);
    const QByteArrayView LWord = LWords.front();
    if (LWord == "step" && LInSection && LWords.size() >= 11) {
      TStepKind LStepKind = TStepKind::Move;
      const int LFolder = LWords[4].toInt();
      if (!StepKindFromWord(LWords[3], LStepKind) || LFolder < 0 || LFolder >= LTally.FFolders) {
        LValid = false;
        return false;
      }
      LItems.push_back(LWords[2].toInt());
      LKinds.push_back(LStepKind);
    } else if ((LWord == "done" || LWord == "fail" || LWord == "undo") && LBegun &&
               LWords.size() >= 2) {
      const qsizetype LStep = LWords[1].toLongLong();
      if (LStep >= 0 && LStep < static_cast<qsizetype>(LRecords.size()))
        LRecords[static_cast<size_t>(LStep)] = LWord == "done" ? 1 : LWord == "fail" ? 2 : 3;
    } else if (LWord == "batch" && LWords.size() >= 2) {
      ASummary.FId = QString::fromUtf8(LWords[1].toByteArray());
    } else if (LWord == "created" && LWords.size() >= 2) {
      ASummary.FCreated =
          QDateTime::fromString(QString::fromUtf8(LWords[1].toByteArray()), Qt::ISODate);
    } else if (LWord == "kind" && LWords.size() >= 2) {
      ASummary.FKind = LWords[1] == "folders" ? TBatchKind::Folders : TBatchKind::Files;
    } else if (LWord == "folder" && LWords.size() >= 3) {
      if (LWords[1].toLongLong() != LTally.FFolders) {
        LValid = false;
        return false;
      }
      LTally.AddFolder(JournalUnescape(LWords[2]));
    } else if (LWord == "section" && LWords.size() >= 3) {
      LCloseSection();
      LInSection = true;
      LBegun = false;
      LEnded = false;
      LKind = LWords[1] == "rollback" ? TSectionKind::Rollback : TSectionKind::Rename;
      LItems.clear();
      LKinds.clear();
      LRecords.clear();
    } else if (LWord == "begin" && LInSection) {
      LBegun = true;
      LRecords.assign(LItems.size(), 0);
      // The batch's items are those of its first section, ended or not.
      if (LTally.FSections == 0) {
        int LMaxItem = -1;
        for (const int LItem : LItems)
          LMaxItem = std::max(LMaxItem, LItem);
        LTally.FItems = LMaxItem + 1;
      }
    } else if (LWord == "end" && LBegun && !LEnded) {
      LEnded = true;
      LTally.AddSection(LKind, LItems, LKinds, LRecords,
                        LWords.size() >= 4 && LWords[3] == "cancelled");
    }
    return true;
  });
  LCloseSection();
  if (!LValid || ASummary.FId.isEmpty())
    return false;
  ASummary.FItemCount = LTally.FItems;
  ASummary.FRenamedCount = LTally.FRenamed;
  ASummary.FFolder = LTally.FFolder;
  ASummary.FState = LInterrupted ? TBatchState::Interrupted : LTally.State();
  return true;
}

} // namespace

std::vector<QString> TJournal::BatchIds() const {
  std::vector<QString> LNames;
  QString LError;
  platform::ListFolderFiles(Folder(), LNames, LError);
  std::vector<QString> LIds;
  for (const QString &LName : LNames)
    if (LName.endsWith(CSuffix))
      LIds.push_back(LName.chopped(CSuffix.size()));
  // An id starts with its date and time, as History orders batches.
  std::sort(LIds.begin(), LIds.end(), std::greater<QString>());
  return LIds;
}

bool TJournal::ReadSummary(const QString &AId, TBatchSummary &ASummary, bool AHeaderOnly) const {
  ASummary = TBatchSummary();
  ASummary.FPath = platform::JoinPath(Folder(), AId + CSuffix);
  const std::unique_ptr<platform::TFileReader> LFile = OpenJournalFile(ASummary.FPath);
  if (!LFile)
    return false;
  if (AHeaderOnly || ReadTailSummary(*LFile, ASummary)) {
    if (!ReadHeader(*LFile, ASummary))
      return false;
  } else if (!ScanSummary(*LFile, ASummary)) {
    return false;
  }
  if (platform::IsJournalLocked(ASummary.FPath))
    ASummary.FState = TBatchState::Running;
  return true;
}

std::vector<TBatchSummary> TJournal::ListBatches() const {
  std::vector<TBatchSummary> LBatches;
  for (const QString &LId : BatchIds()) {
    TBatchSummary LSummary;
    if (ReadSummary(LId, LSummary))
      LBatches.push_back(std::move(LSummary));
  }
  std::stable_sort(LBatches.begin(), LBatches.end(),
                   [](const TBatchSummary &ALeft, const TBatchSummary &ARight) {
                     return ALeft.FCreated > ARight.FCreated;
                   });
  return LBatches;
}

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
  const std::vector<QString> LIds = BatchIds();
  const QDateTime LLimit = clock_source::Now().addDays(-std::max(AKeepDays, 0));
  for (size_t i = std::max(AKeepBatches, 0); i < LIds.size(); ++i) {
    TBatchSummary LBatch;
    if (!ReadSummary(LIds[i], LBatch, true) || LBatch.FCreated >= LLimit ||
        platform::IsJournalLocked(LBatch.FPath))
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

THalfDoneStep UndoHalfDoneStep(const TJournalBatch &ABatch, const TJournalSection &ASection) {
  THalfDoneStep LResult;
  if (ASection.FEnded)
    return LResult;
  // The running step came after every step recorded.
  size_t LFirst = 0;
  for (size_t s = std::min(ASection.FDone.size(), ASection.FSteps.size()); s-- > 0;) {
    if (ASection.FDone[s] != 0) {
      LFirst = s + 1;
      break;
    }
  }
  LResult.FFirstUnrecorded = static_cast<int>(LFirst);
  platform::TFileSystemCache LFileSystems;
  std::vector<signed char> LFolderStable(ABatch.FFolders.size(), -1);
  for (size_t s = LFirst; s < ASection.FSteps.size(); ++s) {
    const TJournalStep &LStep = ASection.FSteps[s];
    if (LStep.FFolder < 0 || static_cast<size_t>(LStep.FFolder) >= ABatch.FFolders.size())
      continue;
    const QString &LFolder = ABatch.FFolders[static_cast<size_t>(LStep.FFolder)];
    signed char &LStable = LFolderStable[static_cast<size_t>(LStep.FFolder)];
    if (LStable < 0)
      LStable = LFileSystems.Of(LFolder).FFatFamily ? 0 : 1;
    const QString LSource = platform::JoinPath(LFolder, LStep.FFrom);
    const QString LTarget = platform::JoinPath(LFolder, LStep.FTo);
    const platform::THalfDoneMove LFound =
        platform::UndoHalfDoneMove(LSource, LTarget, LStep.FInode, LStable == 1);
    // Among files a step not begun ends the search: the steps after it were
    // not begun either. Not so the move to a temporary name, which its
    // cycle's last step empties again, nor a folder's, whose path a later
    // move of a folder above it may lead to another folder.
    if (LFound == platform::THalfDoneMove::NotBegun && ABatch.FKind == TBatchKind::Files &&
        LStep.FKind != TStepKind::ToTemporary)
      break;
    if (LFound == platform::THalfDoneMove::None || LFound == platform::THalfDoneMove::NotBegun)
      continue;
    // Only one step runs at a time: there is no other.
    LResult.FStep = static_cast<int>(s);
    LResult.FTwoNames = LFound == platform::THalfDoneMove::TwoNames;
    LResult.FSource = LSource;
    LResult.FTarget = LTarget;
    break;
  }
  return LResult;
}

namespace {

QString StateText(TBatchState AState, int ARenamed, int AItems) {
  switch (AState) {
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
    return rs::FormatMessage(rs::BatchCancelled, {ARenamed, AItems});
  }
  return QString();
}

} // namespace

QString BatchStateText(const TJournalBatch &ABatch) {
  const TBatchState LState = ABatch.State();
  return StateText(
      LState, LState == TBatchState::Cancelled ? static_cast<int>(ABatch.RenamedItems().size()) : 0,
      ABatch.ItemCount());
}

QString BatchStateText(const TBatchSummary &ASummary) {
  return StateText(ASummary.FState, ASummary.FRenamedCount, ASummary.FItemCount);
}

TJournal &GetJournal() {
  static TJournal LJournal;
  return LJournal;
}
