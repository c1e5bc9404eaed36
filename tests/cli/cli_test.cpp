// varnwell-cli run as a child process on real temporary trees: each command
// line with its standard output, standard error, exit status and the disk
// afterwards. The program runs from a copy in a folder of the test's own,
// beside a Settings.ini of its own (a portable copy), with the journal under
// a temporary XDG_STATE_HOME.
#include "TestSupport.h"
#include "uFileInfo.h"
#include "uJournal.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#ifndef VARNWELL_CLI
#error "VARNWELL_CLI names the program under test"
#endif

namespace {

struct TRun {
  int FStatus = -1;
  QByteArray FOut;
  QByteArray FErr;
};

class CliTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FHome.isValid() && FTree.isValid());
    // The program and its Settings.ini in a folder of their own.
    FProgram = FHome.filePath(QStringLiteral("bin/varnwell-cli"));
    ASSERT_TRUE(QDir().mkpath(FHome.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VARNWELL_CLI), FProgram));
    ASSERT_TRUE(testsupport::WriteFile(
        FHome.filePath(QStringLiteral("bin/Settings.ini")),
        QStringLiteral("[Logging]\nEnableLog=1\nLogFolder=%1\nDeleteOldLogFiles=0\n")
            .arg(LogFolder())
            .toUtf8()));
    FState = FHome.filePath(QStringLiteral("state"));
  }

  // QTemporaryDir decodes the names it removes and misses those that are not
  // UTF-8: the tree goes by the bytes of its names.
  void TearDown() override { testsupport::RemoveTree(FTree.path()); }

  QString LogFolder() const { return FHome.filePath(QStringLiteral("Logs")); }
  QString JournalFolder() const { return FState + QStringLiteral("/varnwell/journal"); }
  QString Path(const QString &ARelative) const { return FTree.filePath(ARelative); }
  QByteArray Bytes(const char *ARelative) const {
    return QFile::encodeName(FTree.path()) + '/' + ARelative;
  }
  void Make(const std::vector<QByteArray> &ANames) const {
    for (const QByteArray &LName : ANames) {
      const QByteArray LPath = QFile::encodeName(FTree.path()) + '/' + LName;
      const int LFd = ::open(LPath.constData(), O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(LFd, 0) << LName.constData();
      ASSERT_EQ(::write(LFd, LName.constData(), static_cast<size_t>(LName.size())), LName.size());
      ::close(LFd);
    }
  }
  std::set<std::string> Disk() const {
    std::set<std::string> LNames;
    for (const auto &[LPath, LContent] : testsupport::SnapshotTree(FTree.path()))
      LNames.insert(testsupport::NativeBytes(LPath).toStdString());
    return LNames;
  }

  // Runs the program in the tree's folder with the arguments' own bytes.
  TRun Run(const std::vector<QByteArray> &AArguments) const {
    TRun LRun;
    int LOut[2];
    int LErr[2];
    if (::pipe(LOut) != 0 || ::pipe(LErr) != 0)
      return LRun;
    const QByteArray LProgram = QFile::encodeName(FProgram);
    const QByteArray LFolder = QFile::encodeName(FTree.path());
    const QByteArray LState = "XDG_STATE_HOME=" + QFile::encodeName(FState);
    std::vector<char *> LArgv{const_cast<char *>(LProgram.constData())};
    for (const QByteArray &LArgument : AArguments)
      LArgv.push_back(const_cast<char *>(LArgument.constData()));
    LArgv.push_back(nullptr);
    std::vector<char *> LEnvironment{const_cast<char *>(LState.constData()),
                                     const_cast<char *>("LANG=C.UTF-8"), nullptr};
    const pid_t LChild = ::fork();
    if (LChild == 0) {
      ::dup2(LOut[1], 1);
      ::dup2(LErr[1], 2);
      ::close(LOut[0]);
      ::close(LErr[0]);
      if (::chdir(LFolder.constData()) != 0)
        ::_exit(127);
      ::execve(LArgv[0], LArgv.data(), LEnvironment.data());
      ::_exit(127);
    }
    ::close(LOut[1]);
    ::close(LErr[1]);
    pollfd LPolls[2] = {{LOut[0], POLLIN, 0}, {LErr[0], POLLIN, 0}};
    QByteArray *LTargets[2] = {&LRun.FOut, &LRun.FErr};
    int LOpen = 2;
    while (LOpen > 0 && ::poll(LPolls, 2, 30000) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (LPolls[i].fd < 0 || LPolls[i].revents == 0)
          continue;
        char LBuffer[4096];
        const ssize_t LRead = ::read(LPolls[i].fd, LBuffer, sizeof LBuffer);
        if (LRead <= 0) {
          ::close(LPolls[i].fd);
          LPolls[i].fd = -1;
          --LOpen;
        } else {
          LTargets[i]->append(LBuffer, LRead);
        }
      }
    }
    int LStatus = 0;
    ::waitpid(LChild, &LStatus, 0);
    LRun.FStatus = WIFEXITED(LStatus) ? WEXITSTATUS(LStatus) : -1;
    return LRun;
  }

  QTemporaryDir FHome;
  QTemporaryDir FTree;
  QString FProgram;
  QString FState;
};

TEST_F(CliTest, APreviewChangesNothingAndApplyRenamesAsPreviewed) {
  Make({"b.txt", "A.txt", "c.jpg"});
  const std::set<std::string> LBefore = Disk();
  const std::vector<QByteArray> LArguments = {"-n",    "Trip_[C]", "--digits", "2",
                                              "A.txt", "b.txt",    "c.jpg"};
  const TRun LPreview = Run(LArguments);
  EXPECT_EQ(LPreview.FStatus, 0) << LPreview.FErr.constData();
  EXPECT_EQ(LPreview.FOut, QByteArray("A.txt -> Trip_01.txt\n"
                                      "b.txt -> Trip_02.txt\n"
                                      "c.jpg -> Trip_03.jpg\n"
                                      "3 to rename, 0 unchanged, 0 conflicts\n"));
  EXPECT_EQ(Disk(), LBefore);

  std::vector<QByteArray> LApply = LArguments;
  LApply.push_back("--apply");
  const TRun LDone = Run(LApply);
  EXPECT_EQ(LDone.FStatus, 0) << LDone.FErr.constData();
  EXPECT_EQ(LDone.FOut, QByteArray("A.txt -> Trip_01.txt  ok\n"
                                   "b.txt -> Trip_02.txt  ok\n"
                                   "c.jpg -> Trip_03.jpg  ok\n"
                                   "3 renamed, 0 failed\n"));
  EXPECT_EQ(Disk(), (std::set<std::string>{"Trip_01.txt", "Trip_02.txt", "Trip_03.jpg"}));
  EXPECT_EQ(testsupport::ReadFile(Path(QStringLiteral("Trip_01.txt"))), QByteArray("A.txt"));
  // The batch is in the journal and the change log says what the window says.
  TJournal LJournal;
  LJournal.SetFolder(JournalFolder());
  ASSERT_EQ(LJournal.History().size(), 1u);
  EXPECT_EQ(LJournal.History().front().State(), TBatchState::Renamed);
  const QStringList LLogs = QDir(LogFolder()).entryList(QDir::Files);
  ASSERT_EQ(LLogs.size(), 1);
  const QByteArray LLog = testsupport::ReadFile(LogFolder() + QLatin1Char('/') + LLogs.front());
  EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t *>(LLog.constData() + 2),
                                 (LLog.size() - 2) / 2)
                  .contains(QStringLiteral("Rename done.")));

  // Undo brings every name back; then there is nothing left to undo.
  const TRun LUndo = Run({"--undo"});
  EXPECT_EQ(LUndo.FStatus, 0) << LUndo.FErr.constData();
  EXPECT_EQ(LUndo.FOut, QByteArray("3 rolled back, 0 failed\n"));
  EXPECT_EQ(Disk(), LBefore);
  const TRun LAgain = Run({"--undo"});
  EXPECT_EQ(LAgain.FStatus, 2);
  EXPECT_EQ(LAgain.FErr, QByteArray("varnwell-cli: Nothing to undo.\n"));
}

TEST_F(CliTest, UndoRollsBackABatchTheWindowMadeWithItsIdentityChecks) {
  Make({"a.txt", "b.txt"});
  // The window's path: a list with the journal, renamed in this process.
  TJournal LJournal;
  LJournal.SetFolder(JournalFolder());
  TFileList LList;
  LList.SetJournal(&LJournal);
  for (const char *LName : {"a.txt", "b.txt"})
    LList.AddFileInfo(std::make_unique<TFileInfo>(Path(QString::fromLatin1(LName))));
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[N]_w");
  LList.ApplyRecipe(LRecipe, 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  // Another file now stands where a.txt went.
  ASSERT_TRUE(QFile::remove(Path(QStringLiteral("a_w.txt"))));
  Make({"a_w.txt"});

  const TRun LUndo = Run({"--undo", LList.BatchId().toUtf8()});
  EXPECT_EQ(LUndo.FStatus, 1);
  EXPECT_EQ(LUndo.FOut, QByteArray(QFile::encodeName(Path(QStringLiteral("a_w.txt"))) +
                                   "  failed: File was replaced after renaming\n"
                                   "1 rolled back, 1 failed\n"));
  EXPECT_EQ(Disk(), (std::set<std::string>{"a_w.txt", "b.txt"}));
  const TRun LHistory = Run({"--history"});
  EXPECT_TRUE(LHistory.FOut.contains("files  2  partly rolled back")) << LHistory.FOut.constData();
}

TEST_F(CliTest, ConflictsAreShownWithTheirReasonAndFail) {
  Make({"a.txt", "b.txt", "X2.txt"});
  const std::set<std::string> LBefore = Disk();
  struct TCase {
    std::vector<QByteArray> FArguments;
    QByteArray FOut;
  };
  const TCase LCases[] = {
      {{"-n", "X", "a.txt", "b.txt"},
       "a.txt -> X.txt\nb.txt -> X.txt  [conflict: Same new name as row 1]\n"
       "1 to rename, 0 unchanged, 1 conflicts\n"},
      {{"-n", "X2", "a.txt"},
       "a.txt -> X2.txt  [conflict: A file with this name exists]\n"
       "0 to rename, 0 unchanged, 1 conflicts\n"},
      {{"-n", "", "a.txt"}, "a.txt -> .txt\n1 to rename, 0 unchanged, 0 conflicts\n"},
  };
  for (const TCase &LCase : LCases) {
    const TRun LRun = Run(LCase.FArguments);
    EXPECT_EQ(LRun.FOut, LCase.FOut);
    EXPECT_EQ(LRun.FStatus, LCase.FOut.contains("conflict:") ? 1 : 0);
  }
  // Applied, the conflicting item fails and the other is renamed.
  const TRun LApply = Run({"-n", "X", "--apply", "a.txt", "b.txt"});
  EXPECT_EQ(LApply.FStatus, 1);
  EXPECT_TRUE(LApply.FOut.contains("b.txt -> X.txt  failed: ")) << LApply.FOut.constData();
  EXPECT_TRUE(LApply.FOut.endsWith("1 renamed, 1 failed\n"));
  EXPECT_EQ(Disk(), (std::set<std::string>{"X.txt", "b.txt", "X2.txt"}));
  Q_UNUSED(LBefore);
}

TEST_F(CliTest, UsageErrorsSayWhatIsWrongAndMoveNothing) {
  Make({"a.txt"});
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("folder"))));
  const std::set<std::string> LBefore = Disk();
  struct TCase {
    std::vector<QByteArray> FArguments;
    const char *FMessage;
  };
  const TCase LCases[] = {
      {{"--bogus", "a.txt"}, "unknown option: --bogus"},
      {{"-x", "a.txt"}, "unknown option: -x"},
      {{"--digits", "11", "a.txt"}, "--digits: a number from 1 to 10, not 11"},
      {{"--start", "abc", "a.txt"}, "--start: not a number the counter takes: abc"},
      {{"--step", "99999999999", "a.txt"}, "--step: not a number the counter takes"},
      {{"--case", "title", "a.txt"}, "--case: one of none, lower, upper, first, words"},
      {{"-n"}, "--name needs a value"},
      {{"--apply", "missing.txt"}, "no such file or folder: "},
      {{"folder"}, "is a folder: use -R for its files or -d for its subfolders"},
      {{"-d", "a.txt"}, "a.txt is not a folder"},
      {{"--undo", "a.txt", "b"}, "--undo and --history take no PATH"},
      {{}, "no PATH given"},
      {{"--include-root", "folder"}, "--include-root and --no-subfolders go with -d"},
      {{"--regex", "-s", "(x", "a.txt"}, "--search: not a valid regular expression: "},
  };
  for (const TCase &LCase : LCases) {
    const TRun LRun = Run(LCase.FArguments);
    SCOPED_TRACE(LCase.FMessage);
    EXPECT_EQ(LRun.FStatus, 2);
    EXPECT_TRUE(LRun.FErr.startsWith("varnwell-cli: ")) << LRun.FErr.constData();
    EXPECT_TRUE(LRun.FErr.contains(LCase.FMessage)) << LRun.FErr.constData();
    EXPECT_EQ(LRun.FErr.count('\n'), 1);
    EXPECT_TRUE(LRun.FOut.isEmpty());
  }
  EXPECT_EQ(Disk(), LBefore);
  // Help and version need nothing else.
  EXPECT_EQ(Run({"--help"}).FStatus, 0);
  EXPECT_TRUE(Run({"-V"}).FOut.startsWith("varnwell-cli "));
}

TEST_F(CliTest, OddNamesArePrintedQuotedAndRenamedAsThemselves) {
  Make({"a b.txt", "-lead.txt", "new\nline.txt", "bad\xff.txt", "back\\slash.txt"});
  const TRun LPreview = Run({"-n", "[N]_x", "--", "a b.txt", "-lead.txt", "new\nline.txt",
                             "bad\xff.txt", "back\\slash.txt"});
  EXPECT_EQ(LPreview.FStatus, 0) << LPreview.FErr.constData();
  EXPECT_EQ(LPreview.FOut, QByteArray("a b.txt -> a b_x.txt\n"
                                      "-lead.txt -> -lead_x.txt\n"
                                      "$'new\\nline.txt' -> $'new\\nline_x.txt'\n"
                                      "$'bad\\377.txt' -> $'bad\\377_x.txt'\n"
                                      "$'back\\\\slash.txt' -> $'back\\\\slash_x.txt'\n"
                                      "5 to rename, 0 unchanged, 0 conflicts\n"));
  const TRun LApply = Run({"-n", "[N]_x", "--apply", "-R", "."});
  EXPECT_EQ(LApply.FStatus, 0) << LApply.FErr.constData();
  EXPECT_EQ(Disk(), (std::set<std::string>{"a b_x.txt", "-lead_x.txt", "new\nline_x.txt",
                                           "bad\xff_x.txt", "back\\slash_x.txt"}));
  EXPECT_EQ(testsupport::ReadFile(testsupport::FromNative(Bytes("bad\xff_x.txt"))),
            QByteArray("bad\xff.txt"));
}

TEST_F(CliTest, RegularExpressionsWithGroupsAndMatchCase) {
  Make({"IMG_001.JPG", "img_002.jpg"});
  EXPECT_EQ(
      Run({"--regex", "-s", "^img_(\\d+)", "-r", "Trip-$1", "IMG_001.JPG", "img_002.jpg"}).FOut,
      QByteArray("IMG_001.JPG -> Trip-001.JPG\nimg_002.jpg -> Trip-002.jpg\n"
                 "2 to rename, 0 unchanged, 0 conflicts\n"));
  EXPECT_EQ(Run({"--match-case", "-s", "IMG", "-r", "x", "IMG_001.JPG", "img_002.jpg"}).FOut,
            QByteArray("IMG_001.JPG -> x_001.JPG\nimg_002.jpg  (unchanged)\n"
                       "1 to rename, 1 unchanged, 0 conflicts\n"));
}

TEST_F(CliTest, JsonGivesOneObjectPerItemAndASummary) {
  Make({"a.txt", "bad\xff.txt"});
  const TRun LRun = Run({"--json", "-n", "[N]_j", "a.txt", "bad\xff.txt"});
  EXPECT_EQ(LRun.FStatus, 0);
  const QList<QByteArray> LLines = LRun.FOut.trimmed().split('\n');
  ASSERT_EQ(LLines.size(), 3);
  std::vector<QJsonObject> LObjects;
  for (const QByteArray &LLine : LLines) {
    QJsonParseError LError;
    const QJsonDocument LDocument = QJsonDocument::fromJson(LLine, &LError);
    ASSERT_EQ(LError.error, QJsonParseError::NoError) << LLine.constData();
    LObjects.push_back(LDocument.object());
  }
  EXPECT_EQ(LObjects[0].value(QStringLiteral("status")).toString(), QStringLiteral("rename"));
  EXPECT_EQ(LObjects[0].value(QStringLiteral("new")).toString(), Path(QStringLiteral("a_j.txt")));
  EXPECT_EQ(LObjects[1].value(QStringLiteral("old")).toString(),
            Path(QString::fromUtf8("bad\xef\xbf\xbd.txt")));
  EXPECT_EQ(
      QByteArray::fromBase64(LObjects[1].value(QStringLiteral("old_bytes")).toString().toLatin1()),
      Bytes("bad\xff.txt"));
  const QJsonObject LSummary = LObjects[2].value(QStringLiteral("summary")).toObject();
  EXPECT_EQ(LSummary.value(QStringLiteral("to_rename")).toInt(), 2);
  EXPECT_EQ(LSummary.value(QStringLiteral("conflicts")).toInt(), 0);
}

TEST_F(CliTest, FoldersAndRecursiveFilesFollowTheWalkInNameOrder) {
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("t/b"))));
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("t/A/c"))));
  Make({"t/z.txt", "t/b/y.txt", "t/A/x.txt", "t/a.txt"});
  // "A" comes before "a.txt" as "a" does: a folder's entries A-Z, each
  // folder walked where it stands.
  const TRun LFiles = Run({"-R", "-n", "[C]", "t"});
  EXPECT_EQ(LFiles.FOut, QByteArray("A/x.txt -> A/1.txt\n"
                                    "a.txt -> 2.txt\n"
                                    "b/y.txt -> b/3.txt\n"
                                    "z.txt -> 4.txt\n"
                                    "4 to rename, 0 unchanged, 0 conflicts\n"));
  const TRun LFolders = Run({"-d", "--include-root", "-n", "[N]_[C]", "t"});
  EXPECT_EQ(LFolders.FStatus, 0) << LFolders.FErr.constData();
  EXPECT_EQ(LFolders.FOut, QByteArray("t -> t_1\n"
                                      "t/A -> t/A_2\n"
                                      "t/A/c -> t/A/c_3\n"
                                      "t/b -> t/b_4\n"
                                      "4 to rename, 0 unchanged, 0 conflicts\n"));
  const TRun LApply = Run({"-d", "-n", "[N]_[C]", "--apply", "t"});
  EXPECT_EQ(LApply.FStatus, 0) << LApply.FOut.constData() << LApply.FErr.constData();
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("t/A_1/c_2/"))).isDir());
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("t/b_3/y.txt"))).isFile());
  EXPECT_EQ(Run({"--undo"}).FStatus, 0);
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("t/A/c/"))).isDir());
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("t/b/y.txt"))).isFile());
}

} // namespace

TEST_F(CliTest, TheMetadataTokensOfTheNameMask) {
  Make({"a.txt"});
  QFile LFile(QString::fromUtf8(QFile::encodeName(FTree.path()) + "/a.txt"));
  ASSERT_TRUE(LFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(LFile.setFileTime(QDateTime(QDate(2015, 3, 5), QTime(14, 7, 9)),
                                QFileDevice::FileModificationTime));
  LFile.close();
  // A text file has no tags and no size in pixels: those tokens give nothing.
  const TRun LRun = Run({"-n", "[DATE:yyyy/MM]_[ARTIST][W][TRACK:2]", "a.txt"});
  EXPECT_EQ(LRun.FStatus, 0) << LRun.FErr.constData();
  EXPECT_EQ(LRun.FOut, QByteArray("a.txt -> 2015_03_.txt\n"
                                  "1 to rename, 0 unchanged, 0 conflicts\n"));
}
