#include "uLog.h"

#include "platform/uPlatformLogFile.h"

#include "MountFixtures.h"
#include "TestSupport.h"
#include "uClock.h"
#include "uWarningSink.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <set>

namespace {

const QString CUnableToWriteLog = QStringLiteral(
    "Unable to write log. Please check program settings and then re-enable logging.");
const QString CUnableToDeleteOldLogs = QStringLiteral(
    "Unable to delete old log files. Please check program settings and then re-enable this "
    "feature.");

// The bytes of a text as UTF-16 little-endian.
QByteArray U16(const QString &AText) {
  QByteArray LResult;
  for (const QChar LChar : AText)
    LResult.append(static_cast<char>(LChar.unicode() & 0xFF))
        .append(static_cast<char>(LChar.unicode() >> 8));
  return LResult;
}

const QByteArray CMark("\xFF\xFE", 2);

// A fixed clock, a warning recorder and a temporary log folder; the locale
// is the C locale (time separator ':') unless a test sets another.
class LogTest : public ::testing::Test {
protected:
  LogTest()
      : FClock([this] { return FNow; }),
        FPreviousSink(
            SetWarningSink([this](const QString &AText) { FWarnings.push_back(AText); })) {
    QLocale::setDefault(QLocale::c());
  }
  ~LogTest() override {
    SetWarningSink(FPreviousSink);
    TLogger::SetCreationTimeReaderForTesting({});
    QLocale::setDefault(QLocale::system());
  }

  void SetNow(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond = 0) {
    FNow = QDateTime(QDate(AYear, AMonth, ADay), QTime(AHour, AMinute, ASecond));
  }
  QString Logs() const { return FTree.Path(QStringLiteral("Logs")); }
  QString LogFile(const char *AName) const {
    return Logs() + QLatin1Char('/') + QString::fromLatin1(AName);
  }
  std::set<QString> LogsFolder() const {
    std::set<QString> LNames;
    for (const auto &[LName, LContent] : testsupport::SnapshotTree(Logs()))
      LNames.insert(LName);
    return LNames;
  }

  testsupport::TTempTree FTree;
  QDateTime FNow = QDateTime(QDate(2015, 3, 4), QTime(10, 15, 2));
  clock_source::TScopedClock FClock;
  std::vector<QString> FWarnings;
  TWarningSink FPreviousSink;
};

} // namespace

TEST_F(LogTest, NewFileBeginsWithTheMarkAndAnEmptyLine) {
  TLogger LLogger;
  EXPECT_FALSE(LLogger.EnableLogging());
  LLogger.StartLogging(Logs(), 0);
  ASSERT_TRUE(LLogger.EnableLogging());
  EXPECT_EQ(LLogger.LogFileName(), LogFile("2015-03-04.log"));
  EXPECT_EQ(testsupport::ReadFile(LLogger.LogFileName()), CMark);
  LLogger.WriteLog(QStringLiteral("Application was started"));
  SetNow(2015, 3, 4, 10, 15, 9);
  LLogger.WriteLog(QStringLiteral("Trying to add folder"));
  // Written straight through: the bytes are on disk before the logger stops.
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
            CMark + U16(QStringLiteral("\r\n10:15:02\tApplication was started"
                                       "\r\n10:15:09\tTrying to add folder")));
  EXPECT_TRUE(FWarnings.empty());
}

TEST_F(LogTest, SecondStartTheSameDayAppendsWithoutASecondMark) {
  {
    TLogger LLogger;
    LLogger.StartLogging(Logs() + QLatin1Char('/'), 0);
    EXPECT_EQ(LLogger.LogFileName(), LogFile("2015-03-04.log"));
    LLogger.WriteLog(QStringLiteral("Application was finished\r\n\r\n"));
  }
  SetNow(2015, 3, 4, 18, 0, 0);
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 0);
  LLogger.WriteLog(QStringLiteral("Application was started"));
  LLogger.StopLogging();
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
            CMark + U16(QStringLiteral("\r\n10:15:02\tApplication was finished\r\n\r\n"
                                       "\r\n18:00:00\tApplication was started")));
}

TEST_F(LogTest, EntriesAfterMidnightStayInTheFileOfTheStart) {
  TLogger LLogger;
  SetNow(2015, 3, 4, 23, 59, 0);
  LLogger.StartLogging(Logs(), 0);
  SetNow(2015, 3, 5, 0, 1, 0);
  LLogger.WriteLog(QStringLiteral("Clear list"));
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
            CMark + U16(QStringLiteral("\r\n00:01:00\tClear list")));
  EXPECT_FALSE(QFile::exists(LogFile("2015-03-05.log")));

  // The next start picks the file of its own day.
  LLogger.StopLogging();
  LLogger.StartLogging(Logs(), 0);
  EXPECT_EQ(LLogger.LogFileName(), LogFile("2015-03-05.log"));
}

TEST_F(LogTest, MessagesAreWrittenUnchanged) {
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 0);
  LLogger.WriteLog(QStringLiteral("Logging was stopped\r\n\r\n"));
  LLogger.WriteLog(QString());
  LLogger.WriteLog(QString::fromUtf8("Delete file \"été 😀.txt\" from list"));
  LLogger.WriteLogFmt(QStringLiteral("%d files were added"), {3});
  LLogger.WriteLogFmt(QStringLiteral("Delete folder \"%s\" from list"), {QStringLiteral("/a b")});
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
            CMark + U16(QString::fromUtf8("\r\n10:15:02\tLogging was stopped\r\n\r\n"
                                          "\r\n10:15:02\t"
                                          "\r\n10:15:02\tDelete file \"été 😀.txt\" from list"
                                          "\r\n10:15:02\t3 files were added"
                                          "\r\n10:15:02\tDelete folder \"/a b\" from list")));
}

TEST_F(LogTest, TheTimeSeparatorIsTheLocales) {
  const struct {
    QLocale FLocale;
    const char *FExpected;
  } LCases[] = {
      {QLocale::c(), "\r\n07:05:09\tx"},
      {QLocale(QLocale::Finnish, QLocale::Finland), "\r\n07.05.09\tx"},      // "H.mm"
      {QLocale(QLocale::English, QLocale::UnitedStates), "\r\n07:05:09\tx"}, // 24 hours still
      {QLocale(QLocale::French, QLocale::Canada), "\r\n07:05:09\tx"},        // "HH 'h' mm": none
  };
  SetNow(2015, 3, 4, 7, 5, 9);
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FLocale.name().toStdString());
    QLocale::setDefault(LCase.FLocale);
    QFile::remove(LogFile("2015-03-04.log"));
    TLogger LLogger;
    LLogger.StartLogging(Logs(), 0);
    LLogger.WriteLog(QStringLiteral("x"));
    EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
              CMark + U16(QString::fromLatin1(LCase.FExpected)));
  }
}

TEST_F(LogTest, NothingIsWrittenWhileLoggingIsOff) {
  TLogger LLogger;
  LLogger.WriteLog(QStringLiteral("before"));
  LLogger.WriteLogFmt(QStringLiteral("%d"), {1});
  EXPECT_FALSE(QDir(Logs()).exists());
  LLogger.StartLogging(Logs(), 0);
  LLogger.StopLogging();
  LLogger.StopLogging(); // safe when already off
  LLogger.WriteLog(QStringLiteral("after"));
  LLogger.WriteLogFmt(QStringLiteral("%s"), {QStringLiteral("after")});
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")), CMark);
  EXPECT_EQ(LLogger.LogFileName(), LogFile("2015-03-04.log")); // kept after the stop
}

TEST_F(LogTest, MissingParentFoldersAreCreated) {
  TLogger LLogger;
  LLogger.StartLogging(FTree.Path(QStringLiteral("a/b/c")), 0);
  EXPECT_TRUE(LLogger.EnableLogging());
  EXPECT_TRUE(QFile::exists(FTree.Path(QStringLiteral("a/b/c/2015-03-04.log"))));
}

TEST_F(LogTest, FailureToStartWarnsOnceAndRaisesTheEventOnce) {
  FTree.WriteFile(QStringLiteral("blocker"), "not a folder");
  const QString LOld = FTree.WriteFile(QStringLiteral("Logs/2015-02-01.log"));
  const struct {
    const char *FName;
    QString FFolder;
  } LCases[] = {
      {"a folder below a file", FTree.Path(QStringLiteral("blocker/Logs"))},
      {"a file in the place of the folder", FTree.Path(QStringLiteral("blocker"))},
      {"no folder", QString()},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FName);
    FWarnings.clear();
    TLogger LLogger;
    int LEvents = 0;
    LLogger.SetOnDisableLogging([&](TLogger &ASender) {
      ++LEvents;
      EXPECT_EQ(&ASender, &LLogger);
      EXPECT_FALSE(ASender.EnableLogging());
    });
    LLogger.StartLogging(LCase.FFolder, 7);
    EXPECT_FALSE(LLogger.EnableLogging());
    EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToWriteLog});
    EXPECT_EQ(LEvents, 1);
    LLogger.WriteLog(QStringLiteral("dropped"));
  }
  EXPECT_EQ(testsupport::ReadFile(FTree.Path(QStringLiteral("blocker"))), "not a folder");
  EXPECT_TRUE(QFile::exists(LOld)); // old files elsewhere untouched
}

TEST_F(LogTest, ASecondLoggerFindsTheFileHeld) {
  TLogger LFirst;
  LFirst.StartLogging(Logs(), 0);
  ASSERT_TRUE(LFirst.EnableLogging());

  TLogger LSecond;
  int LEvents = 0;
  LSecond.SetOnDisableLogging([&](TLogger &) { ++LEvents; });
  LSecond.StartLogging(Logs(), 0);
  EXPECT_FALSE(LSecond.EnableLogging());
  EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToWriteLog});
  EXPECT_EQ(LEvents, 1);

  LFirst.WriteLog(QStringLiteral("first"));
  LFirst.StopLogging();
  LSecond.StartLogging(Logs(), 0); // free again once the first has closed it
  EXPECT_TRUE(LSecond.EnableLogging());
  LSecond.WriteLog(QStringLiteral("second"));
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")),
            CMark + U16(QStringLiteral("\r\n10:15:02\tfirst\r\n10:15:02\tsecond")));
}

TEST_F(LogTest, FailedWriteStopsLoggingAndTheHandlerMayCallBack) {
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 0);
  LLogger.WriteLog(QStringLiteral("fits"));
  const QByteArray LBefore = testsupport::ReadFile(LogFile("2015-03-04.log"));
  ASSERT_EQ(LBefore.size(), 2 + 30);

  // The warning dialog and the event handler run while the logger holds its
  // lock; both call back into the logger, which then does nothing.
  SetWarningSink([&](const QString &AText) {
    FWarnings.push_back(AText);
    LLogger.WriteLog(QStringLiteral("from the dialog"));
  });
  int LEvents = 0;
  LLogger.SetOnDisableLogging([&](TLogger &ASender) {
    ++LEvents;
    ASender.WriteLog(QStringLiteral("Logging was stopped"));
    ASender.StopLogging();
    ASender.SetOnDisableLogging({}); // replacing itself while it runs
  });

  // A file-size limit stands in for a full disk: the write stops at 64 bytes.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit LOld{};
  getrlimit(RLIMIT_FSIZE, &LOld);
  rlimit LSmall = LOld;
  LSmall.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &LSmall), 0);
  LLogger.WriteLog(QString(40, QLatin1Char('x')));
  setrlimit(RLIMIT_FSIZE, &LOld);
  std::signal(SIGXFSZ, SIG_DFL);

  EXPECT_FALSE(LLogger.EnableLogging());
  EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToWriteLog});
  EXPECT_EQ(LEvents, 1);
  EXPECT_FALSE(LLogger.OnDisableLogging());
  // What was written before the failure stays; nothing after it.
  const QByteArray LAfter = testsupport::ReadFile(LogFile("2015-03-04.log"));
  EXPECT_EQ(LAfter.size(), 64);
  EXPECT_TRUE(LAfter.startsWith(LBefore + U16(QStringLiteral("\r\n10:15:02\tx"))));
  LLogger.WriteLog(QStringLiteral("later"));
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-04.log")), LAfter);
}

TEST_F(LogTest, OldLogFilesAreDeletedByNameDateAndCreationTime) {
  SetNow(2015, 3, 10, 9, 0);
  for (const char *LName :
       {"2015-03-03.log", "2015-03-04.log", "2015-03-09.log", "abcd-ef-gh.log", "2015-13-40.log",
        "2015-02-30.log", "0000-01-01.log", "2015-03-02.LOG", ".015-03-03.log", "2015-3-4.log",
        "notes.log", "2015-03-03.txt", "2015-03-03.log.bak", "x2015-03-03.log"})
    FTree.WriteFile(QStringLiteral("Logs/") + QString::fromLatin1(LName), "old");
  FTree.WriteFile(QStringLiteral("Logs/sub/2015-01-01.log"), "old");
  FTree.MakeDir(QStringLiteral("Logs/2015-01-02.log"));
  const QString LStuck = FTree.WriteFile(QStringLiteral("Logs/2015-01-03.log"), "old");
  testsupport::TImmutableFile LGuard(LStuck);
  if (!LGuard.Ok())
    GTEST_SKIP() << "making a file immutable (chattr +i) needs root";

  TLogger LLogger;
  int LEvents = 0;
  LLogger.SetOnDisableLogging([&](TLogger &) { ++LEvents; });
  LLogger.StartLogging(Logs(), 7);
  EXPECT_TRUE(LLogger.EnableLogging());
  EXPECT_TRUE(FWarnings.empty());
  EXPECT_EQ(LEvents, 0);
  EXPECT_EQ(LogsFolder(),
            (std::set<QString>{
                QStringLiteral("2015-01-02.log"), // a folder
                QStringLiteral("2015-01-03.log"), // cannot be deleted: stays, silently
                QStringLiteral("2015-03-04.log"),
                QStringLiteral("2015-03-09.log"),
                QStringLiteral("2015-03-10.log"), // today's, just opened
                QStringLiteral("2015-3-4.log"),
                QStringLiteral("notes.log"),
                QStringLiteral("2015-03-03.txt"),
                QStringLiteral("2015-03-03.log.bak"),
                QStringLiteral("x2015-03-03.log"),
                QStringLiteral("sub"),
                QStringLiteral("sub/2015-01-01.log"),
            }));
}

TEST_F(LogTest, NothingIsDeletedForZeroNegativeOrHugeDayCounts) {
  SetNow(2015, 3, 10, 9, 0);
  FTree.WriteFile(QStringLiteral("Logs/2001-01-01.log"), "old");
  FTree.WriteFile(QStringLiteral("Logs/abcd-ef-gh.log"), "old");
  for (const int LDays : {0, -1, INT_MAX}) {
    SCOPED_TRACE(LDays);
    TLogger LLogger;
    LLogger.StartLogging(Logs(), LDays);
    EXPECT_TRUE(QFile::exists(LogFile("2001-01-01.log")));
    EXPECT_TRUE(QFile::exists(LogFile("abcd-ef-gh.log")));
  }
}

TEST_F(LogTest, AFileCreatedBeforeTheLimitIsDeletedWhateverItsName) {
  SetNow(2015, 3, 10, 9, 0);
  FTree.WriteFile(QStringLiteral("Logs/2015-03-09.log"), "old");
  FTree.WriteFile(QStringLiteral("Logs/2015-03-08.log"), "old");
  FTree.WriteFile(QStringLiteral("Logs/2015-03-07.log"), "old");
  const QDateTime LLimit(QDate(2015, 3, 3), QTime(9, 0));
  TLogger::SetCreationTimeReaderForTesting([&](const QString &APath) -> std::optional<QDateTime> {
    if (APath.endsWith(QLatin1String("/2015-03-09.log")))
      return LLimit.addSecs(-1);
    if (APath.endsWith(QLatin1String("/2015-03-08.log")))
      return LLimit; // not earlier than the limit
    if (APath.endsWith(QLatin1String("/2015-03-10.log")))
      ADD_FAILURE() << "the file just opened is examined";
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0));
  });
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 7);
  EXPECT_EQ(LogsFolder(), (std::set<QString>{QStringLiteral("2015-03-08.log"),
                                             QStringLiteral("2015-03-10.log")}));
  // Today's file, open and kept, still takes entries.
  LLogger.WriteLog(QStringLiteral("x"));
  EXPECT_EQ(testsupport::ReadFile(LogFile("2015-03-10.log")),
            CMark + U16(QStringLiteral("\r\n09:00:00\tx")));
  EXPECT_TRUE(FWarnings.empty());
}

TEST_F(LogTest, NameDatesAreComparedStrictly) {
  SetNow(2015, 3, 10, 0, 0);
  FTree.WriteFile(QStringLiteral("Logs/2015-03-03.log"), "old"); // 00:00 is the limit itself
  FTree.WriteFile(QStringLiteral("Logs/2015-03-02.log"), "old");
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 7);
  EXPECT_EQ(LogsFolder(), (std::set<QString>{QStringLiteral("2015-03-03.log"),
                                             QStringLiteral("2015-03-10.log")}));
}

TEST(LogFilePlatform, CreationTimeOfANewFileIsNow) {
  testsupport::TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral("2015-03-03.log"), "x");
  QString LError;
  const std::optional<QDateTime> LCreated = platform::FileCreationTime(LPath, LError);
  ASSERT_TRUE(LCreated.has_value()) << LError.toStdString();
  EXPECT_LE(std::abs(LCreated->secsTo(QDateTime::currentDateTime())), 60);
  EXPECT_FALSE(platform::FileCreationTime(LTree.Path(QStringLiteral("missing")), LError));
  EXPECT_FALSE(LError.isEmpty());
}

TEST_F(LogTest, UnreadableCreationTimeStopsTheDeletionWithTheSecondWarning) {
  SetNow(2015, 3, 10, 9, 0);
  FTree.WriteFile(QStringLiteral("Logs/2015-03-01.log"), "old");
  FTree.WriteFile(QStringLiteral("Logs/2015-03-02.log"), "old");
  FTree.WriteFile(QStringLiteral("Logs/notes.log"), "not a log");
  std::vector<QString> LAsked;
  TLogger::SetCreationTimeReaderForTesting([&](const QString &APath) -> std::optional<QDateTime> {
    LAsked.push_back(APath);
    return std::nullopt;
  });
  TLogger LLogger;
  int LEvents = 0;
  LLogger.SetOnDisableLogging([&](TLogger &) { ++LEvents; });
  LLogger.StartLogging(Logs(), 7);
  EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToDeleteOldLogs});
  EXPECT_EQ(LAsked.size(), 1u); // the first log file stops the examination
  EXPECT_TRUE(QFile::exists(LogFile("2015-03-01.log")));
  EXPECT_TRUE(QFile::exists(LogFile("2015-03-02.log")));
  // Logging and the event are not affected.
  EXPECT_TRUE(LLogger.EnableLogging());
  EXPECT_EQ(LEvents, 0);
}

TEST_F(LogTest, TheDeletionRunsAlsoWhenTheFileCannotBeOpened) {
  SetNow(2015, 3, 10, 9, 0);
  FTree.WriteFile(QStringLiteral("Logs/2015-03-01.log"), "old");
  FTree.MakeDir(QStringLiteral("Logs/2015-03-10.log")); // today's name is taken by a folder
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 7);
  EXPECT_FALSE(LLogger.EnableLogging());
  EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToWriteLog});
  EXPECT_FALSE(QFile::exists(LogFile("2015-03-01.log")));
}

TEST(Logger, GetLoggerReturnsOneLoggerThatStartsOff) {
  EXPECT_EQ(&GetLogger(), &GetLogger());
  EXPECT_FALSE(GetLogger().EnableLogging());
}

TEST_F(LogTest, ANameThatIsNotUtf8IsLoggedWithReplacementCharacters) {
  TLogger LLogger;
  LLogger.StartLogging(Logs(), 0);
  LLogger.WriteLogFmt(QStringLiteral("Delete file \"%s\" from list"),
                      {testsupport::FromNative("caf\xe9.txt")});
  EXPECT_TRUE(testsupport::ReadFile(LogFile("2015-03-04.log"))
                  .endsWith(U16(QStringLiteral("\tDelete file \"caf\ufffd.txt\" from list"))));
}

TEST_F(LogTest, AFullDiskWarnsOnceAndStopsLogging) {
  testsupport::TTmpfsMount LDisk(64);
  if (!LDisk.Mounted())
    GTEST_SKIP() << LDisk.SkipReason().toStdString();
  TLogger LLogger;
  LLogger.StartLogging(LDisk.Root(), 0);
  LLogger.WriteLog(QStringLiteral("fits"));
  ASSERT_TRUE(LDisk.FillUp());
  const QString LFile = LDisk.Root() + QStringLiteral("/2015-03-04.log");
  // The file's last page still has room: an entry larger than a page does not fit.
  for (int i = 0; i < 3; ++i)
    LLogger.WriteLog(QString(3000, QLatin1Char('x')));
  EXPECT_FALSE(LLogger.EnableLogging());
  EXPECT_EQ(FWarnings, std::vector<QString>{CUnableToWriteLog});
  const QByteArray LStopped = testsupport::ReadFile(LFile);
  EXPECT_TRUE(LStopped.startsWith(CMark + U16(QStringLiteral("\r\n10:15:02\tfits"))));
  LLogger.WriteLog(QStringLiteral("later"));
  EXPECT_EQ(testsupport::ReadFile(LFile), LStopped);
}
