#include "uLog.h"

#include "platform/uPathRules.h"
#include "platform/uPlatformLogFile.h"
#include "uClock.h"
#include "uResourceString.h"
#include "uUtil.h"
#include "uWarningSink.h"
#include "uZeroDate.h"

#include <QLocale>
#include <QRecursiveMutex>

#include <atomic>

namespace {

TLogger::TCreationTimeReader &CreationTimeReader() {
  static TLogger::TCreationTimeReader LReader;
  return LReader;
}

std::optional<QDateTime> ReadCreationTime(const QString &APath) {
  const TLogger::TCreationTimeReader &LReader = CreationTimeReader();
  if (LReader)
    return LReader(APath);
  QString LError;
  return platform::FileCreationTime(APath, LError);
}

// Text as UTF-16 little-endian code units, whatever the machine's byte order.
void AppendUtf16LE(QByteArray &ABytes, const QString &AText) {
  for (const QChar LChar : AText) {
    ABytes.append(static_cast<char>(LChar.unicode() & 0xFF));
    ABytes.append(static_cast<char>(LChar.unicode() >> 8));
  }
}

// The separator of the user's time format: the first character of the short
// time format that is neither a letter, a blank nor a quote; ':' when there
// is none. Taken from the default locale, which is the system's unless the
// program chose another.
QChar TimeSeparator() {
  const QString LFormat = QLocale().timeFormat(QLocale::ShortFormat);
  for (const QChar LChar : LFormat)
    if (!LChar.isLetter() && !LChar.isSpace() && LChar != QLatin1Char('\''))
      return LChar;
  return QLatin1Char(':');
}

QString TimeStamp(const QTime &ATime) {
  const QChar LSeparator = TimeSeparator();
  const auto LTwo = [](int AValue) {
    return QStringLiteral("%1").arg(AValue, 2, 10, QLatin1Char('0'));
  };
  return LTwo(ATime.hour()) + LSeparator + LTwo(ATime.minute()) + LSeparator + LTwo(ATime.second());
}

// A log file name: "????-??-??.log", any character for each '?', letters of
// the extension in any case.
bool IsLogFileName(const QString &AName) {
  return AName.size() == 14 && AName.at(4) == QLatin1Char('-') && AName.at(7) == QLatin1Char('-') &&
         AName.endsWith(QLatin1String(".log"), Qt::CaseInsensitive);
}

// A decimal number: an optional sign and ASCII digits, nothing else.
std::optional<int> ParseDecimal(QStringView AText) {
  qsizetype LPos = 0;
  bool LNegative = false;
  if (!AText.isEmpty() && (AText.at(0) == QLatin1Char('-') || AText.at(0) == QLatin1Char('+'))) {
    LNegative = AText.at(0) == QLatin1Char('-');
    ++LPos;
  }
  if (LPos == AText.size())
    return std::nullopt;
  int LValue = 0;
  for (; LPos < AText.size(); ++LPos) {
    const char16_t LUnit = AText.at(LPos).unicode();
    if (LUnit < u'0' || LUnit > u'9')
      return std::nullopt;
    LValue = LValue * 10 + (LUnit - u'0');
  }
  return LNegative ? -LValue : LValue;
}

// The date a log file's name stands for, at 00:00. A part that is no number
// takes 1899, 12 or 31; numbers that form no date give the zero date.
QDateTime NameDate(const QString &AName) {
  const QStringView LName(AName);
  const int LYear = ParseDecimal(LName.mid(0, 4)).value_or(1899);
  const int LMonth = ParseDecimal(LName.mid(5, 2)).value_or(12);
  const int LDay = ParseDecimal(LName.mid(8, 2)).value_or(31);
  const QDate LDate(LYear, LMonth, LDay);
  return LDate.isValid() ? QDateTime(LDate, QTime(0, 0)) : ZeroDateTime();
}

} // namespace

struct TLogger::TImpl {
  explicit TImpl(TLogger &AOwner) : FOwner(AOwner) {}

  TLogger &FOwner;
  std::unique_ptr<platform::TLogFile> FLogStream;
  QString FLogFileName;
  QRecursiveMutex FLogCS;
  std::atomic<bool> FEnableLogging{false};
  TNotifyEvent FOnDisableLogging;

  // Opens the day's file in AFolder, creating the folder and the file as
  // needed; a new file gets the byte-order mark first.
  bool OpenLogFile(const QString &AFolder) {
    QString LError;
    if (!platform::LogFolderExists(AFolder) && !platform::CreateLogFolder(AFolder, LError))
      return false;
    const QDate LToday = clock_source::Now().date();
    FLogFileName =
        platform::JoinPath(AFolder, QString::asprintf("%04d-%02d-%02d.log", LToday.year(),
                                                      LToday.month(), LToday.day()));
    bool LEmpty = false;
    std::unique_ptr<platform::TLogFile> LFile =
        platform::TLogFile::Open(FLogFileName, LEmpty, LError);
    if (!LFile)
      return false;
    if (LEmpty && !LFile->Append(QByteArray("\xFF\xFE", 2), LError))
      return false;
    FLogStream = std::move(LFile);
    FEnableLogging = true;
    return true;
  }

  // Logging off, the warning, then the event. Runs under the lock; the sink
  // and the handler may call back into the logger.
  void LogFailure() {
    FOwner.StopLogging();
    ShowEngineWarning(rs::UnableToWriteLog);
    // A copy, so that a handler that replaces itself while it runs stays alive.
    const TNotifyEvent LHandler = FOnDisableLogging;
    if (LHandler)
      LHandler(FOwner);
  }

  void DeleteOldLogFiles(const QString &AFolder, int ADays) {
    if (!platform::LogFolderExists(AFolder))
      return;
    std::vector<QString> LNames;
    QString LError;
    if (!platform::ListFolderFiles(AFolder, LNames, LError)) {
      ShowEngineWarning(rs::UnableToDeleteOldLogs);
      return;
    }
    const QDateTime LNow = clock_source::Now();
    // A limit before the first year of the calendar leaves nothing old; the
    // date-time arithmetic would overflow on the way there and let a day count
    // like 2147483647 from a hand-edited settings file delete every log file.
    if (ADays > LNow.date().toJulianDay() - QDate(1, 1, 1).toJulianDay())
      return;
    const QDateTime LLimit = LNow.addDays(-static_cast<qint64>(ADays));
    for (const QString &LName : LNames) {
      if (!IsLogFileName(LName))
        continue;
      const QString LPath = platform::JoinPath(AFolder, LName);
      // The file just opened is never deleted: the system would let it go
      // while open, and every later entry would be written into nothing.
      if (FLogStream && LPath == FLogFileName)
        continue;
      const std::optional<QDateTime> LCreated = ReadCreationTime(LPath);
      if (!LCreated) {
        ShowEngineWarning(rs::UnableToDeleteOldLogs);
        return;
      }
      if (*LCreated < LLimit || NameDate(LName) < LLimit)
        platform::RemoveFile(LPath); // a file that cannot be deleted stays, silently
    }
  }
};

TLogger::TLogger() : FImpl(std::make_unique<TImpl>(*this)) {}

TLogger::~TLogger() {
  StopLogging();
}

void TLogger::StartLogging(const QString &ALogDirectoty, int ADeleteOldFileDay) {
  QMutexLocker LLock(&FImpl->FLogCS);
  // The callers never start twice; should it happen, the open file is closed first.
  StopLogging();
  if (!FImpl->OpenLogFile(ALogDirectoty))
    FImpl->LogFailure();
  if (ADeleteOldFileDay > 0)
    FImpl->DeleteOldLogFiles(ALogDirectoty, ADeleteOldFileDay);
}

void TLogger::StopLogging() {
  // Taking the re-entrant lock costs nothing on the one thread and keeps a
  // close from cutting through an entry that is being written.
  QMutexLocker LLock(&FImpl->FLogCS);
  FImpl->FEnableLogging = false;
  FImpl->FLogStream.reset();
}

void TLogger::WriteLog(const QString &AMsg) {
  if (!FImpl->FEnableLogging)
    return;
  QMutexLocker LLock(&FImpl->FLogCS);
  // Logging may have stopped while this call waited for the lock.
  if (!FImpl->FEnableLogging || !FImpl->FLogStream)
    return;
  QByteArray LEntry;
  LEntry.reserve((AMsg.size() + 12) * 2);
  // The log is text for people: bytes of a name that were not UTF-8 show as
  // U+FFFD, so the file stays valid UTF-16.
  AppendUtf16LE(LEntry, QStringLiteral("\r\n") + TimeStamp(clock_source::Now().time()) +
                            QLatin1Char('\t') + DisplayText(AMsg));
  QString LError;
  if (!FImpl->FLogStream->Append(LEntry, LError))
    FImpl->LogFailure();
}

void TLogger::WriteLogFmt(const QString &AMsg, std::initializer_list<QVariant> AArgs) {
  if (!FImpl->FEnableLogging)
    return;
  WriteLog(rs::FormatMessage(AMsg, AArgs));
}

bool TLogger::EnableLogging() const {
  return FImpl->FEnableLogging;
}

const QString &TLogger::LogFileName() const {
  return FImpl->FLogFileName;
}

const TLogger::TNotifyEvent &TLogger::OnDisableLogging() const {
  return FImpl->FOnDisableLogging;
}

void TLogger::SetOnDisableLogging(TNotifyEvent AHandler) {
  FImpl->FOnDisableLogging = std::move(AHandler);
}

void TLogger::SetCreationTimeReaderForTesting(TCreationTimeReader AReader) {
  CreationTimeReader() = std::move(AReader);
}

TLogger &GetLogger() {
  static TLogger LLogger;
  return LLogger;
}
