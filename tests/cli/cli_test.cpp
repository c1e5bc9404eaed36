// varnwell-cli run as a child process on real temporary trees: each command
// line with its standard output, standard error, exit status and the disk
// afterwards. The program runs from a copy in a folder of the test's own,
// beside a Settings.ini of its own (a portable copy), with the journal under
// a temporary XDG_STATE_HOME.
#include "MountFixtures.h"
#include "TestSupport.h"
#include "uFileInfo.h"
#include "uJournal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
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
  // Files whose name, size and modification orders all differ: sizes
  // a 3, b 1, c 3, d 2; modified c < b < d < a.
  void MakeFilesOfEveryOrder() const {
    const struct {
      const char *FName;
      const char *FContent;
      int FDay;
    } LFiles[] = {{"a.txt", "aaa", 4}, {"b.txt", "b", 2}, {"c.txt", "ccc", 1}, {"d.txt", "dd", 3}};
    for (const auto &LFile : LFiles) {
      const QString LPath = Path(QString::fromUtf8(LFile.FName));
      ASSERT_TRUE(testsupport::WriteFile(LPath, LFile.FContent));
      QFile LOpen(LPath);
      ASSERT_TRUE(LOpen.open(QIODevice::ReadWrite));
      ASSERT_TRUE(LOpen.setFileTime(QDateTime(QDate(2020, 2, LFile.FDay), QTime(9, 0)),
                                    QFileDevice::FileModificationTime));
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
    const QByteArray LFolder =
        QFile::encodeName(FWorkingFolder.isEmpty() ? FTree.path() : FWorkingFolder);
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
      // Root keeps its power over permissions across execve unless it leaves
      // the bounding set: the program then meets them as any user does.
      if (FPermissionsEnforced && ::geteuid() == 0 &&
          (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
           ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0))
        ::_exit(KCannotEnforce);
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

  // Random trees and recipes in the folder "round" of AWhere (the tree's
  // folder when empty): preview, apply, and the disk against the preview.
  void PreviewAndApplyAtRandom(bool AFolders, int ARounds, const QString &AWhere = QString());

  QTemporaryDir FHome;
  QTemporaryDir FTree;
  QString FProgram;
  QString FState;
  // Where the program runs (the tree's folder when empty).
  QString FWorkingFolder;
  // The program meets the files' permissions, run by root too; a run that
  // cannot arrange it exits with KCannotEnforce.
  bool FPermissionsEnforced = false;
  static constexpr int KCannotEnforce = 126;
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
      {{"--sort", "date", "a.txt"},
       "--sort: one of name, new-name, location, taken, modified, size, not date"},
      {{"--reverse", "a.txt"}, "--reverse goes with --sort"},
      {{"-d", "--sort", "size", "folder"}, "--sort taken and --sort size are for files"},
      {{"-d", "--sort", "taken", "folder"}, "--sort taken and --sort size are for files"},
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

// A folder that cannot be read is told with its reason on standard error (and
// as an object with --json) and fails the run; what could be read is still
// previewed and renamed. The program's own files are left out and told.
TEST_F(CliTest, WhatCannotBeReadIsToldAndFailsTheRun) {
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("t/shut"))));
  Make({"t/a.txt", "t/shut/b.txt"});
  ASSERT_EQ(::chmod(Bytes("t/shut").constData(), 0), 0);
  struct TReopen {
    QByteArray FPath;
    ~TReopen() { ::chmod(FPath.constData(), 0755); }
  } LReopen{Bytes("t/shut")};
  FPermissionsEnforced = true;
  const TRun LPreview = Run({"-R", "-n", "[N]_x", "t"});
  if (LPreview.FStatus == KCannotEnforce)
    GTEST_SKIP() << "root cannot give up its power over permissions here";
  EXPECT_EQ(LPreview.FStatus, 1);
  EXPECT_EQ(LPreview.FOut, QByteArray("a.txt -> a_x.txt\n"
                                      "1 to rename, 0 unchanged, 0 conflicts\n"));
  EXPECT_EQ(LPreview.FErr,
            "varnwell-cli: cannot read " + Bytes("t/shut") + ": Permission denied\n");
  const TRun LJson = Run({"--json", "-d", "-n", "[N]_x", "t/shut"});
  EXPECT_EQ(LJson.FStatus, 1);
  const QJsonObject LObject = QJsonDocument::fromJson(LJson.FOut.split('\n').front()).object();
  EXPECT_EQ(LObject.value(QStringLiteral("unreadable")).toString(), Path(QStringLiteral("t/shut")));
  EXPECT_EQ(LObject.value(QStringLiteral("reason")).toString(),
            QStringLiteral("Permission denied"));
  // A file below the closed folder is named but cannot be reached.
  EXPECT_EQ(Run({"-n", "[N]_x", "t/shut/b.txt"}).FErr,
            "varnwell-cli: cannot read " + Bytes("t/shut/b.txt") + ": Permission denied\n");
  const TRun LApply = Run({"-R", "-n", "[N]_x", "--apply", "t"});
  EXPECT_EQ(LApply.FStatus, 1);
  EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("t/a_x.txt"))));

  FPermissionsEnforced = false;
  const QString LSettings = FHome.filePath(QStringLiteral("bin/Settings.ini"));
  const TRun LOwn = Run({"-n", "[N]_x", QFile::encodeName(LSettings)});
  EXPECT_EQ(LOwn.FErr,
            "varnwell-cli: left out " + QFile::encodeName(LSettings) + ": Used by Varnwell\n");
  EXPECT_TRUE(QFileInfo::exists(LSettings));
}

// --sort numbers the items in the order asked for, --reverse turns it
// round; items that compare equal keep the order they were given in.
TEST_F(CliTest, SortNumbersTheItemsInTheOrderAskedFor) {
  MakeFilesOfEveryOrder();
  struct TCase {
    std::vector<QByteArray> FArguments;
    const char *FOut;
  };
  const TCase LCases[] = {
      {{"--sort", "size"}, "b.txt -> 1.txt\nd.txt -> 2.txt\na.txt -> 3.txt\nc.txt -> 4.txt\n"},
      {{"--sort", "size", "--reverse"},
       "a.txt -> 1.txt\nc.txt -> 2.txt\nd.txt -> 3.txt\nb.txt -> 4.txt\n"},
      {{"--sort", "modified"}, "c.txt -> 1.txt\nb.txt -> 2.txt\nd.txt -> 3.txt\na.txt -> 4.txt\n"},
      {{"--sort=modified", "--reverse"},
       "a.txt -> 1.txt\nd.txt -> 2.txt\nb.txt -> 3.txt\nc.txt -> 4.txt\n"},
      // No file is a photo: the date taken is the modification time.
      {{"--sort", "taken"}, "c.txt -> 1.txt\nb.txt -> 2.txt\nd.txt -> 3.txt\na.txt -> 4.txt\n"},
      {{"--sort", "name", "--reverse"},
       "d.txt -> 1.txt\nc.txt -> 2.txt\nb.txt -> 3.txt\na.txt -> 4.txt\n"},
      {{"--sort", "location"}, "a.txt -> 1.txt\nb.txt -> 2.txt\nc.txt -> 3.txt\nd.txt -> 4.txt\n"},
  };
  for (const TCase &LCase : LCases) {
    std::vector<QByteArray> LArguments = LCase.FArguments;
    // Given in an order that is none of the sorted ones.
    for (const char *LArgument : {"-n", "[C]", "d.txt", "a.txt", "c.txt", "b.txt"})
      LArguments.push_back(LArgument);
    const TRun LRun = Run(LArguments);
    SCOPED_TRACE(LCase.FOut);
    EXPECT_EQ(LRun.FStatus, 0) << LRun.FErr.constData();
    EXPECT_EQ(LRun.FOut, QByteArray(LCase.FOut) + "4 to rename, 0 unchanged, 0 conflicts\n");
  }
  // By the new name: the names are made, sorted, then numbered anew.
  const TRun LNew =
      Run({"--sort", "new-name", "-n", "[N]_[C]", "-s", "a", "-r", "z", "a.txt", "b.txt", "c.txt"});
  EXPECT_EQ(LNew.FStatus, 0) << LNew.FErr.constData();
  EXPECT_EQ(LNew.FOut, QByteArray("b.txt -> b_1.txt\n"
                                  "c.txt -> c_2.txt\n"
                                  "a.txt -> z_3.txt\n"
                                  "3 to rename, 0 unchanged, 0 conflicts\n"));
  // The order holds for --apply too.
  const TRun LApply = Run({"--sort", "size", "-n", "[C]", "--apply", "a.txt", "b.txt", "c.txt"});
  EXPECT_EQ(LApply.FStatus, 0) << LApply.FErr.constData();
  EXPECT_EQ(testsupport::ReadFile(Path(QStringLiteral("1.txt"))), QByteArray("b"));
  EXPECT_EQ(testsupport::ReadFile(Path(QStringLiteral("2.txt"))), QByteArray("aaa"));
  EXPECT_EQ(testsupport::ReadFile(Path(QStringLiteral("3.txt"))), QByteArray("ccc"));
}

// Folders sort by their modification time.
TEST_F(CliTest, SortModifiedNumbersFolders) {
  for (const auto &[LName, LDay] : {std::pair{"x", 3}, std::pair{"y", 1}, std::pair{"z", 2}}) {
    const QString LPath = Path(QStringLiteral("top/") + QString::fromUtf8(LName));
    ASSERT_TRUE(QDir().mkpath(LPath));
    const qint64 LSeconds = QDateTime(QDate(2020, 3, LDay), QTime(9, 0)).toSecsSinceEpoch();
    const struct timespec LTimes[2] = {{LSeconds, 0}, {LSeconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(LPath).constData(), LTimes, 0), 0);
  }
  const TRun LRun = Run({"-d", "--sort", "modified", "--reverse", "-n", "[N][C]", "top"});
  EXPECT_EQ(LRun.FStatus, 0) << LRun.FErr.constData();
  EXPECT_EQ(LRun.FOut, QByteArray("x -> x1\n"
                                  "z -> z2\n"
                                  "y -> y3\n"
                                  "3 to rename, 0 unchanged, 0 conflicts\n"));
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

TEST_F(CliTest, PresetsAreSavedListedUsedAndDeleted) {
  Make({"a.txt", "b.txt"});
  const QString LPresets = FHome.filePath(QStringLiteral("bin/Presets.ini"));
  const TRun LSaved = Run({"--save-preset", "Trip", "-n", "Trip_[C]", "--digits", "3", "--regex",
                           "-s", "(r)", "-r", "$1$1", "-c", "upper"});
  EXPECT_EQ(LSaved.FStatus, 0) << LSaved.FErr.constData();
  EXPECT_EQ(LSaved.FOut, QByteArray("Preset \"Trip\" saved.\n"));
  EXPECT_EQ(testsupport::ReadFile(LPresets),
            QByteArray("[Preset Trip]\nKind=files\nNameMask=Trip_[C%5D\nExtMask=[E%5D\n"
                       "CounterStart=1\nCounterStep=1\nDigits=3\nSearch=(r)\nReplace=$1$1\n"
                       "RegexSearch=1\nMatchCase=0\nCase=2\nOrder=\nReverse=0\n"));
  const TRun LFolders = Run({"-d", "--save-preset", " Dirs ]", "-n", "D_[N]"});
  EXPECT_EQ(LFolders.FStatus, 0) << LFolders.FErr.constData();
  EXPECT_EQ(Run({"--presets"}).FOut, QByteArray("Trip  files\n Dirs ]  folders\n"));
  EXPECT_EQ(Run({"--presets", "--json"}).FOut,
            QByteArray("{\"damaged\":false,\"kind\":\"files\",\"name\":\"Trip\"}\n"
                       "{\"damaged\":false,\"kind\":\"folders\",\"name\":\" Dirs ]\"}\n"));

  // The preset's rules, any letter case of its name; the options given
  // override them one by one.
  struct TCase {
    std::vector<QByteArray> FArguments;
    const char *FOut;
  };
  const TCase LCases[] = {
      {{"--preset", "trip", "a.txt", "b.txt"},
       "a.txt -> TRRIP_001.TXT\nb.txt -> TRRIP_002.TXT\n2 to rename, 0 unchanged, 0 conflicts\n"},
      {{"--preset", "Trip", "-c", "none", "--start", "9", "a.txt"},
       "a.txt -> Trrip_009.txt\n1 to rename, 0 unchanged, 0 conflicts\n"},
      {{"--preset", "Trip", "--no-regex", "-s", "(r)", "-c", "lower", "a.txt"},
       "a.txt -> trip_001.txt\n1 to rename, 0 unchanged, 0 conflicts\n"},
  };
  for (const TCase &LCase : LCases) {
    const TRun LRun = Run(LCase.FArguments);
    EXPECT_EQ(LRun.FStatus, 0) << LRun.FErr.constData();
    EXPECT_EQ(LRun.FOut, QByteArray(LCase.FOut));
  }
  // A folder preset takes -d by itself.
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("t/x"))));
  const TRun LDirs = Run({"--preset", " dirs ]", "--apply", "t"});
  EXPECT_EQ(LDirs.FStatus, 0) << LDirs.FErr.constData();
  EXPECT_TRUE(QFileInfo(Path(QStringLiteral("t/D_x"))).isDir());

  // Saving over a name replaces it and says so.
  EXPECT_EQ(Run({"--save-preset", "TRIP", "-n", "[N]_2"}).FOut,
            QByteArray("Preset \"TRIP\" replaced.\n"));
  EXPECT_EQ(Run({"--presets"}).FOut, QByteArray("TRIP  files\n Dirs ]  folders\n"));
  EXPECT_EQ(Run({"--delete-preset", "trip"}).FOut, QByteArray("Preset \"TRIP\" deleted.\n"));
  EXPECT_EQ(Run({"--presets"}).FOut, QByteArray(" Dirs ]  folders\n"));
  EXPECT_EQ(Disk(), (std::set<std::string>{"a.txt", "b.txt", "t", "t/D_x"}));
}

// A preset keeps its order: --save-preset stores --sort and --reverse,
// --preset numbers by it; --sort given with it replaces the order and its
// direction, --reverse alone turns the preset's order descending.
TEST_F(CliTest, APresetNumbersInTheOrderItKeeps) {
  MakeFilesOfEveryOrder();
  const QString LPresets = FHome.filePath(QStringLiteral("bin/Presets.ini"));
  const TRun LSaved =
      Run({"--save-preset", "Largest", "-n", "[N]_[C]", "--sort", "size", "--reverse"});
  EXPECT_EQ(LSaved.FStatus, 0) << LSaved.FErr.constData();
  EXPECT_TRUE(testsupport::ReadFile(LPresets).endsWith("\nOrder=size\nReverse=1\n"))
      << testsupport::ReadFile(LPresets).constData();
  ASSERT_EQ(Run({"--save-preset", "Oldest", "-n", "[N]_[C]", "--sort", "modified"}).FStatus, 0);
  // A preset used and saved anew keeps the order in force.
  ASSERT_EQ(Run({"--preset", "Oldest", "--save-preset", "Newest", "--reverse"}).FStatus, 0);
  struct TCase {
    std::vector<QByteArray> FArguments;
    const char *FOut;
  };
  const TCase LCases[] = {
      // Equal sizes (a, c) keep the order given.
      {{"--preset", "Largest"},
       "a.txt -> a_1.txt\nc.txt -> c_2.txt\nd.txt -> d_3.txt\n"
       "b.txt -> b_4.txt\n"},
      {{"--preset", "Oldest"},
       "c.txt -> c_1.txt\nb.txt -> b_2.txt\nd.txt -> d_3.txt\n"
       "a.txt -> a_4.txt\n"},
      {{"--preset", "Oldest", "--reverse"},
       "a.txt -> a_1.txt\nd.txt -> d_2.txt\n"
       "b.txt -> b_3.txt\nc.txt -> c_4.txt\n"},
      {{"--preset", "Newest"},
       "a.txt -> a_1.txt\nd.txt -> d_2.txt\nb.txt -> b_3.txt\n"
       "c.txt -> c_4.txt\n"},
      // --sort replaces the preset's order with its own direction.
      {{"--preset", "Largest", "--sort", "name"},
       "a.txt -> a_1.txt\nb.txt -> b_2.txt\n"
       "c.txt -> c_3.txt\nd.txt -> d_4.txt\n"},
      {{"--preset", "Largest", "--sort", "modified", "--reverse"},
       "a.txt -> a_1.txt\nd.txt -> d_2.txt\nb.txt -> b_3.txt\nc.txt -> c_4.txt\n"},
  };
  for (const TCase &LCase : LCases) {
    std::vector<QByteArray> LArguments = LCase.FArguments;
    // Given in an order that is none of the sorted ones.
    for (const char *LArgument : {"d.txt", "a.txt", "c.txt", "b.txt"})
      LArguments.push_back(LArgument);
    const TRun LRun = Run(LArguments);
    SCOPED_TRACE(LCase.FOut);
    EXPECT_EQ(LRun.FStatus, 0) << LRun.FErr.constData();
    EXPECT_EQ(LRun.FOut, QByteArray(LCase.FOut) + "4 to rename, 0 unchanged, 0 conflicts\n");
  }
}

TEST_F(CliTest, PresetsThatCannotBeUsedAreUsageErrors) {
  Make({"a.txt"});
  const QString LPresets = FHome.filePath(QStringLiteral("bin/Presets.ini"));
  const QByteArray LDamaged = "[Preset Broken]\nNameMask=x\nDigits=zz\n\n";
  ASSERT_TRUE(testsupport::WriteFile(LPresets, LDamaged));
  ASSERT_EQ(Run({"--save-preset", "Files", "-n", "f"}).FStatus, 0);
  ASSERT_EQ(Run({"-d", "--save-preset", "Folders", "-n", "d"}).FStatus, 0);
  // The damaged preset is listed, and its lines stay as they were.
  EXPECT_EQ(Run({"--presets"}).FOut,
            QByteArray("Broken  files  (damaged)\nFiles  files\nFolders  folders\n"));
  EXPECT_TRUE(testsupport::ReadFile(LPresets).startsWith(LDamaged));
  struct TCase {
    std::vector<QByteArray> FArguments;
    const char *FMessage;
  };
  const TCase LCases[] = {
      {{"--preset", "Nope", "a.txt"}, "unknown preset: Nope"},
      {{"--delete-preset", "Nope"}, "unknown preset: Nope"},
      {{"--preset", "Broken", "a.txt"}, "preset \"Broken\" is damaged (its Digits cannot be read)"},
      {{"-d", "--preset", "Files", "."}, "preset \"Files\" renames files: it does not go with -d"},
      {{"-R", "--preset", "Folders", "."}, "-R and -d cannot be given together"},
      {{"--preset", "Files", "--regex", "-s", "(", "a.txt"},
       "--search: not a valid regular expression"},
      {{"--preset", "Files", "--reverse", "a.txt"},
       "--reverse goes with --sort: preset \"Files\" keeps no order"},
      {{"--preset", "Folders", "--sort", "size", "."},
       "--sort taken and --sort size are for files"},
      {{"--save-preset", "x", "-d", "--sort", "taken"},
       "--sort taken and --sort size are for files"},
      {{"--save-preset", "x", "--reverse"}, "--reverse goes with --sort"},
      {{"--save-preset", "x", "a.txt"}, "--save-preset takes no PATH"},
      {{"--save-preset", ""}, "--save-preset: a name, not empty and without line breaks"},
      {{"--save-preset", "a\nb"}, "--save-preset: a name, not empty and without line breaks"},
      {{"--presets", "a.txt"}, "--presets and --delete-preset take no PATH"},
      {{"--presets", "--undo"}, "--presets and --delete-preset go alone"},
      {{"--preset"}, "--preset needs a value"},
  };
  const std::set<std::string> LBefore = Disk();
  const QByteArray LFile = testsupport::ReadFile(LPresets);
  for (const TCase &LCase : LCases) {
    const TRun LRun = Run(LCase.FArguments);
    SCOPED_TRACE(LCase.FMessage);
    EXPECT_EQ(LRun.FStatus, 2);
    EXPECT_TRUE(LRun.FErr.contains(LCase.FMessage)) << LRun.FErr.constData();
    EXPECT_TRUE(LRun.FOut.isEmpty()) << LRun.FOut.constData();
  }
  EXPECT_EQ(Disk(), LBefore);
  EXPECT_EQ(testsupport::ReadFile(LPresets), LFile);
}

// ---- Preview equals outcome, at random -----------------------------------

// Each round draws from a generator of its own, seeded by the run's seed
// (VARNWELL_TEST_SEED, or a fresh one that the test prints) and the round.
unsigned RunSeed() {
  static const unsigned LSeed = [] {
    bool LOk = false;
    const unsigned LFixed = qEnvironmentVariable("VARNWELL_TEST_SEED").toUInt(&LOk);
    return LOk ? LFixed : std::random_device()();
  }();
  return LSeed;
}

class TRandom {
public:
  TRandom(unsigned ASeed, int ARound) {
    std::seed_seq LSeq{ASeed, static_cast<unsigned>(ARound)};
    FEngine.seed(LSeq);
  }
  int Below(int ACount) { return static_cast<int>(FEngine() % static_cast<unsigned>(ACount)); }
  bool OneIn(int ACount) { return Below(ACount) == 0; }
  template <size_t N> QByteArray Pick(const char *const (&AItems)[N]) {
    return QByteArray(AItems[static_cast<size_t>(Below(static_cast<int>(N)))]);
  }
  template <typename T, size_t N> T Pick(const T (&AItems)[N]) {
    return AItems[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

private:
  std::mt19937 FEngine;
};

// Names of a tree as bytes: letters in both cases, numbers a counter makes
// again, pairs that swap, a blank, a line break and " -> " (which the
// output quotes), letters beyond ASCII and bytes that are not UTF-8.
const char *const GCliStems[] = {"a",      "A",         "ab",   "ba",    "1",
                                 "2",      "3",         "x y",  "a.b",   "\xc3\xa9",
                                 "x -> y", "new\nline", "\xff", "b\xc3", "\xf0\x9f\x98\x80"};
const char *const GCliExtensions[] = {".txt", ".txt", ".TXT", ".jpg", ".tar.gz"};

QByteArray CliTreeName(TRandom &ARandom) {
  QByteArray LName = ARandom.Pick(GCliStems);
  switch (ARandom.Below(8)) {
  case 0:
  case 1:
  case 2:
    return LName + ARandom.Pick(GCliExtensions);
  case 3:
    return LName + '.';
  case 4:
    return LName + (ARandom.OneIn(2) ? " " : "..");
  case 5:
    return '.' + LName + (ARandom.OneIn(2) ? ARandom.Pick(GCliExtensions) : QByteArray());
  default:
    return LName;
  }
}

// The recipe as arguments: masks of tokens, dots, delimiters and other odd
// characters, the counter, search and replace with and without a regular
// expression, and a letter-case rule.
const char *const GCliNamePieces[] = {"[N]", "[N]", "[N]", "[C]", "[E]",      "x",  ".", "..",
                                      "/",   ":",   "*",   " ",   "\xc3\xa9", "\\", "\t"};
const char *const GCliExtPieces[] = {"[E]", "[E]", "[C]", "txt", ".", ":", " "};
const char *const GCliCases[] = {"none", "lower", "upper", "first", "words"};

std::vector<QByteArray> CliRecipe(TRandom &ARandom) {
  const auto LMask = [&ARandom](const auto &APieces, int AMax) {
    QByteArray LText;
    for (int i = ARandom.Below(AMax + 1); i > 0; --i)
      LText += ARandom.Pick(APieces);
    return LText;
  };
  std::vector<QByteArray> LArguments;
  switch (ARandom.Below(4)) {
  case 0:
    break; // the old name
  case 1:
    LArguments.insert(LArguments.end(), {"-n", ARandom.OneIn(2) ? "[C]" : "x[C]"});
    break;
  default:
    LArguments.insert(LArguments.end(), {"-n", LMask(GCliNamePieces, 3)});
    break;
  }
  if (ARandom.OneIn(2))
    LArguments.insert(LArguments.end(), {"-e", LMask(GCliExtPieces, 2)});
  LArguments.insert(LArguments.end(), {"--start", QByteArray::number(ARandom.Below(5) - 1),
                                       "--step", QByteArray::number(ARandom.Below(4) - 1),
                                       "--digits", QByteArray::number(1 + ARandom.Below(2))});
  switch (ARandom.Below(4)) {
  case 0:
    LArguments.insert(LArguments.end(), {"-s", ARandom.Pick({"a", ".", " ", "1"}), "-r",
                                         ARandom.Pick({"", "b", "/", ":", ".."})});
    break;
  case 1:
    LArguments.insert(LArguments.end(), {"--regex", "-s", ARandom.Pick({"^(.)(.)", "\\.", "$"}),
                                         "-r", ARandom.Pick({"$2$1", "_", "x/y", "."})});
    break;
  default:
    break;
  }
  if (ARandom.OneIn(3))
    LArguments.push_back("--match-case");
  LArguments.insert(LArguments.end(), {"-c", ARandom.Pick(GCliCases)});
  return LArguments;
}

// One line of a preview: the paths (below the tree) and what the plan says.
enum class TLineKind { Moves, Unchanged, Conflict };
struct TPreviewLine {
  QString FOld;
  QString FNew;
  TLineKind FKind = TLineKind::Moves;
};

// A name as the output writes it at APos of ALine, quoted ($'...') or
// plain up to AEnd; its bytes go to AOut. False when the text is no name.
bool ReadName(const QByteArray &ALine, qsizetype &APos, qsizetype AEnd, QByteArray &AOut) {
  AOut.clear();
  if (!ALine.mid(APos).startsWith("$'")) {
    AOut = ALine.mid(APos, AEnd - APos);
    APos = AEnd;
    return true;
  }
  for (qsizetype i = APos + 2; i < ALine.size(); ++i) {
    const char LByte = ALine[i];
    if (LByte == '\'') {
      APos = i + 1;
      return true;
    }
    if (LByte != '\\') {
      AOut += LByte;
      continue;
    }
    if (++i >= ALine.size())
      return false;
    switch (ALine[i]) {
    case 'n':
      AOut += '\n';
      break;
    case 't':
      AOut += '\t';
      break;
    case 'r':
      AOut += '\r';
      break;
    case '\\':
    case '\'':
      AOut += ALine[i];
      break;
    default: // three octal digits
      if (i + 3 > ALine.size())
        return false;
      AOut += static_cast<char>(ALine.mid(i, 3).toInt(nullptr, 8));
      i += 2;
      break;
    }
  }
  return false;
}

// The item lines of a preview (the summary line left out); false when a
// line cannot be read.
bool ParsePreview(const QByteArray &AOutput, std::vector<TPreviewLine> &ALines) {
  QList<QByteArray> LLines = AOutput.split('\n');
  if (LLines.size() < 2 || !LLines.back().isEmpty())
    return false;
  LLines.removeLast(); // after the last line break
  LLines.removeLast(); // the summary
  for (QByteArray LLine : LLines) {
    TPreviewLine LEntry;
    // The tail: "  [conflict: ...]", "  (unchanged)" or "  (a quiet mark)";
    // the names hold neither "  [conflict: " nor "(".
    qsizetype LEnd = LLine.size();
    if (LLine.endsWith(']') && LLine.lastIndexOf("  [conflict: ") > 0) {
      LEnd = LLine.lastIndexOf("  [conflict: ");
      LEntry.FKind = TLineKind::Conflict;
    } else if (LLine.endsWith(')') && LLine.lastIndexOf("  (") > 0) {
      LEnd = LLine.lastIndexOf("  (");
      if (LLine.mid(LEnd) == "  (unchanged)")
        LEntry.FKind = TLineKind::Unchanged;
    }
    LLine.truncate(LEnd);
    // A plain name never holds " -> ": the first one parts the names.
    qsizetype LPos = 0;
    QByteArray LOld;
    QByteArray LNew;
    const qsizetype LArrow = LLine.indexOf(" -> ");
    if (!ReadName(LLine, LPos, LArrow < 0 ? LLine.size() : LArrow, LOld))
      return false;
    if (LPos < LLine.size()) {
      if (!LLine.mid(LPos).startsWith(" -> "))
        return false;
      LPos += 4;
      if (!ReadName(LLine, LPos, LLine.size(), LNew) || LPos != LLine.size())
        return false;
    } else {
      LNew = LOld;
    }
    LEntry.FOld = testsupport::FromNative(LOld);
    LEntry.FNew = testsupport::FromNative(LNew);
    ALines.push_back(LEntry);
  }
  return true;
}

// The listing ABefore after the moves of ALines: an entry below a folder
// that moved follows it, and each moving entry takes its previewed name.
std::map<QString, QByteArray> ExpectedAfter(const std::map<QString, QByteArray> &ABefore,
                                            const std::vector<TPreviewLine> &ALines) {
  std::map<QString, QString> LNewNames;
  for (const TPreviewLine &LLine : ALines)
    if (LLine.FKind == TLineKind::Moves)
      LNewNames[LLine.FOld] = LLine.FNew.mid(LLine.FNew.lastIndexOf(u'/') + 1);
  std::map<QString, QByteArray> LExpected;
  for (const auto &[LPath, LContent] : ABefore) {
    QString LOld;
    QString LNew;
    for (const QString &LPart : LPath.split(u'/')) {
      LOld += (LOld.isEmpty() ? QString() : QStringLiteral("/")) + LPart;
      const auto LFound = LNewNames.find(LOld);
      LNew += (LNew.isEmpty() ? QString() : QStringLiteral("/")) +
              (LFound == LNewNames.end() ? LPart : LFound->second);
    }
    LExpected[LNew] = LContent;
  }
  return LExpected;
}

std::string ShowTree(const std::map<QString, QByteArray> &ATree) {
  std::string LOut;
  for (const auto &[LPath, LContent] : ATree)
    LOut += "  " + testsupport::NativeBytes(LPath).toStdString() + "\n";
  return LOut;
}

// Random trees and recipes through the program: each round previews, then
// applies the same command line, and the disk afterwards must be what the
// preview lines said, entry for entry.
void CliTest::PreviewAndApplyAtRandom(bool AFolders, int ARounds, const QString &AWhere) {
  FWorkingFolder = AWhere;
  const unsigned LSeed = RunSeed();
  std::cout << "[ seed     ] " << LSeed << " (VARNWELL_TEST_SEED=" << LSeed << " runs it again)"
            << std::endl;
  RecordProperty("seed", std::to_string(LSeed));
  int LContent = 0;
  for (int LRound = 0; LRound < ARounds && !HasFailure(); ++LRound) {
    TRandom LRandom(LSeed, LRound);
    const QString LRoot =
        AWhere.isEmpty() ? Path(QStringLiteral("round")) : AWhere + QStringLiteral("/round");
    testsupport::RemoveTree(LRoot);
    const QByteArray LRootBytes = testsupport::NativeBytes(LRoot);
    const auto LFile = [&](const QByteArray &AIn) {
      testsupport::WriteFile(testsupport::FromNative(AIn + '/' + CliTreeName(LRandom)),
                             "file " + QByteArray::number(++LContent));
    };
    const auto LFolder = [&](const QByteArray &AIn) {
      const QByteArray LPath = AIn + '/' + CliTreeName(LRandom);
      testsupport::MakePath(testsupport::FromNative(LPath));
      return LPath;
    };
    ASSERT_TRUE(testsupport::MakePath(LRoot));
    // The folder of the round holds an item of its own, so that the lines
    // show the paths below it.
    if (AFolders) {
      for (int i = 1 + LRandom.Below(4); i > 0; --i) {
        const QByteArray LTop = i == 1 ? LRootBytes + "/keep" : LFolder(LRootBytes);
        testsupport::MakePath(testsupport::FromNative(LTop));
        LFile(LTop);
        if (LRandom.OneIn(2))
          LFile(LFolder(LTop));
      }
    } else {
      ASSERT_TRUE(testsupport::WriteFile(LRoot + QStringLiteral("/keep.txt"), "keep"));
      for (int i = 1 + LRandom.Below(6); i > 0; --i)
        LFile(LRootBytes);
      if (LRandom.OneIn(2)) {
        const QByteArray LSub = LFolder(LRootBytes);
        for (int i = 1 + LRandom.Below(3); i > 0; --i)
          LFile(LSub);
      }
    }
    const std::map<QString, QByteArray> LBefore = testsupport::SnapshotTree(LRoot);
    std::vector<QByteArray> LArguments = CliRecipe(LRandom);
    LArguments.insert(LArguments.end(), {AFolders ? "-d" : "-R", "--", "round"});
    std::string LCommand = "varnwell-cli";
    for (const QByteArray &LArgument : LArguments)
      LCommand += " '" + LArgument.toStdString() + "'";
    SCOPED_TRACE("seed " + std::to_string(LSeed) + " round " + std::to_string(LRound) + ": " +
                 LCommand + "\ntree:\n" + ShowTree(LBefore));

    const TRun LPreview = Run(LArguments);
    std::vector<TPreviewLine> LLines;
    ASSERT_TRUE(ParsePreview(LPreview.FOut, LLines)) << LPreview.FOut.constData();
    const bool LAnyConflict =
        std::any_of(LLines.begin(), LLines.end(),
                    [](const TPreviewLine &ALine) { return ALine.FKind == TLineKind::Conflict; });
    EXPECT_EQ(LPreview.FStatus, LAnyConflict ? 1 : 0) << LPreview.FErr.constData();
    ASSERT_EQ(testsupport::SnapshotTree(LRoot), LBefore) << "a preview moved something";

    std::vector<QByteArray> LApply = LArguments;
    LApply.insert(LApply.begin(), "--apply");
    const TRun LDone = Run(LApply);
    EXPECT_EQ(LDone.FStatus, LAnyConflict ? 1 : 0) << LDone.FErr.constData();
    // The applied run shows the same names, each with its outcome: the
    // items planned to move "ok", the conflicts failed.
    const QList<QByteArray> LDoneLines = LDone.FOut.split('\n');
    const QList<QByteArray> LPreviewLines = LPreview.FOut.split('\n');
    ASSERT_EQ(LDoneLines.size(), LPreviewLines.size()) << LDone.FOut.constData();
    for (size_t i = 0; i < LLines.size(); ++i) {
      const QByteArray &LLine = LDoneLines[static_cast<qsizetype>(i)];
      const QByteArray &LPlanned = LPreviewLines[static_cast<qsizetype>(i)];
      switch (LLines[i].FKind) {
      case TLineKind::Moves:
        EXPECT_TRUE(LLine.endsWith("  ok") && LPlanned.startsWith(LLine.left(LLine.size() - 4)))
            << LPlanned.constData() << "\n"
            << LLine.constData();
        break;
      case TLineKind::Unchanged:
        EXPECT_EQ(LLine, LPlanned);
        break;
      case TLineKind::Conflict: {
        // A name the preview calls invalid or too long fails for that very
        // reason; the other conflicts fail as a move onto a taken name.
        const qsizetype LTail = LPlanned.lastIndexOf("  [conflict: ");
        const QByteArray LReason = LPlanned.mid(LTail + 13).chopped(1);
        const bool LOwnReason = LReason == "Invalid file name" || LReason == "Name too long";
        EXPECT_TRUE(LOwnReason ? LLine == LPlanned.left(LTail) + "  failed: " + LReason
                               : LLine.startsWith(LPlanned.left(LTail) + "  failed: "))
            << LPlanned.constData() << "\n"
            << LLine.constData();
        break;
      }
      }
    }
    EXPECT_EQ(testsupport::SnapshotTree(LRoot), ExpectedAfter(LBefore, LLines))
        << "preview:\n"
        << LPreview.FOut.constData() << "applied:\n"
        << LDone.FOut.constData();
  }
}

TEST_F(CliTest, WhatThePreviewLinesShowIsWhatLandsOnDiskForFiles) {
  PreviewAndApplyAtRandom(false, 20);
}

TEST_F(CliTest, WhatThePreviewLinesShowIsWhatLandsOnDiskForFolders) {
  PreviewAndApplyAtRandom(true, 20);
}

// The same on exFAT, where the names the tree cannot hold (bytes that are not
// UTF-8, a line break) are left out of it.
TEST_F(CliTest, WhatThePreviewLinesShowIsWhatLandsOnExfat) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  PreviewAndApplyAtRandom(false, 10, LExfat.Root());
  PreviewAndApplyAtRandom(true, 10, LExfat.Root());
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
