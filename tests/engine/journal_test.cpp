// The rename journal: written before anything moves, read back after a
// restart or a crash, and a batch rolled back from it with identity checks.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uJournalRollback.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <memory>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

class JournalTest : public ::testing::Test {
protected:
  JournalTest() { FJournal.SetFolder(FStateTree.Path(u"journal"_s)); }

  // Files "n00000" ... in the work folder, each holding its own name.
  QStringList MakeFiles(int ACount, const QString &AFolder = QString()) {
    QStringList LPaths;
    const QString LFolder = AFolder.isEmpty() ? FTree.Root() : AFolder;
    for (int i = 0; i < ACount; ++i) {
      const QString LName = u"n%1"_s.arg(i, 5, 10, QLatin1Char('0'));
      const QString LPath = LFolder + u'/' + LName;
      EXPECT_TRUE(testsupport::WriteFile(LPath, LName.toUtf8()));
      LPaths.append(LPath);
    }
    return LPaths;
  }

  // A file list over APaths, renamed by the mask "n[C]" with the counter
  // AStart, AStep, five digits.
  std::unique_ptr<TFileList> ListOf(const QStringList &APaths, int AStart, int AStep) {
    auto LList = std::make_unique<TFileList>();
    for (const QString &LPath : APaths)
      LList->AddFileInfo(std::make_unique<TFileInfo>(LPath));
    TNameRecipe LRecipe;
    LRecipe.FNameMask = u"n[C]"_s;
    LRecipe.FExtMask = u"[E]"_s;
    LRecipe.FCounterStart = AStart;
    LRecipe.FCounterStep = AStep;
    LRecipe.FCounterDigits = 5;
    LList->ApplyRecipe(LRecipe, 0);
    // No extension: the mask leaves "." alone as the extension, dropped on disk.
    LList->SetJournal(&FJournal);
    return LList;
  }

  TTempTree FTree;
  TTempTree FStateTree;
  TJournal FJournal;
};

} // namespace

TEST_F(JournalTest, EscapingKeepsEveryByte) {
  const QString LNames[] = {u"plain"_s,
                            u"with blank"_s,
                            u"100%"_s,
                            u"tab\there"_s,
                            u"line\nbreak"_s,
                            testsupport::FromNative("caf\xe9"),
                            u"Zo\u00eb \U0001F4F7"_s};
  for (const QString &LName : LNames) {
    const QByteArray LEscaped = JournalEscape(LName);
    EXPECT_FALSE(LEscaped.contains(' ') || LEscaped.contains('\n') || LEscaped.contains('\t'));
    EXPECT_EQ(JournalUnescape(LEscaped), LName) << LEscaped.toStdString();
  }
  EXPECT_EQ(JournalEscape(u"a b%c"_s), QByteArray("a%20b%25c"));
}

TEST_F(JournalTest, ARenameIsRecordedAndRolledBackAfterARestart) {
  const QStringList LPaths = MakeFiles(20);
  const auto LBefore = SnapshotTree(FTree.Root());
  QString LId;
  {
    auto LList = ListOf(LPaths, 1, 1); // a shift by one: a chain
    ASSERT_EQ(LList->ExecuteRenaming(), 0) << LList->BatchError().toStdString();
    LId = LList->BatchId();
    ASSERT_FALSE(LId.isEmpty());
  } // the window and its lists are gone
  EXPECT_EQ(ReadFile(FTree.Path(u"n00020"_s)), QByteArray("n00019"));
  const std::vector<TJournalBatch> LHistory = FJournal.History();
  ASSERT_EQ(LHistory.size(), 1u);
  EXPECT_EQ(LHistory[0].FId, LId);
  EXPECT_EQ(LHistory[0].State(), TBatchState::Renamed);
  EXPECT_EQ(LHistory[0].ItemCount(), 20);
  EXPECT_EQ(LHistory[0].RenamedItems().size(), 20u);
  EXPECT_EQ(LHistory[0].CommonFolder(), FTree.Root());

  const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
  EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
  EXPECT_EQ(LRollback.FRolledBack, 20);
  EXPECT_EQ(LRollback.FFailed, 0);
  EXPECT_EQ(SnapshotTree(FTree.Root()), LBefore);
  TJournalBatch LBatch;
  ASSERT_TRUE(FJournal.Load(LId, LBatch));
  EXPECT_EQ(LBatch.State(), TBatchState::RolledBack);
}

TEST_F(JournalTest, ThePagesRollbackAndTheJournalAgree) {
  const QStringList LPaths = MakeFiles(6);
  const auto LBefore = SnapshotTree(FTree.Root());
  auto LList = ListOf(LPaths, 5, -1); // a reversal: swaps
  ASSERT_EQ(LList->ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(FTree.Path(u"n00000"_s)), QByteArray("n00005"));
  ASSERT_EQ(LList->ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(FTree.Root()), LBefore);
  TJournalBatch LBatch;
  ASSERT_TRUE(FJournal.Load(LList->BatchId(), LBatch));
  EXPECT_EQ(LBatch.State(), TBatchState::RolledBack);
  ASSERT_EQ(LBatch.FSections.size(), 2u);
  EXPECT_EQ(LBatch.FSections[1].FKind, TSectionKind::Rollback);
  // Nothing is left to roll back from History.
  EXPECT_EQ(RollbackBatch(FJournal, LList->BatchId()).FRolledBack, 0);
  EXPECT_EQ(SnapshotTree(FTree.Root()), LBefore);
}

TEST_F(JournalTest, AReplacedOrMissingFileIsLeftAloneAndTheRestRollBack) {
  const QStringList LPaths = MakeFiles(4);
  auto LList = ListOf(LPaths, 10, 1);
  ASSERT_EQ(LList->ExecuteRenaming(), 0);
  const QString LId = LList->BatchId();
  LList.reset();
  // n00010 (was n00000) is replaced by another file; n00011 is moved away.
  ASSERT_EQ(::unlink(testsupport::NativeBytes(FTree.Path(u"n00010"_s)).constData()), 0);
  ASSERT_TRUE(testsupport::WriteFile(FTree.Path(u"n00010"_s), "another file"));
  ASSERT_EQ(::rename(testsupport::NativeBytes(FTree.Path(u"n00011"_s)).constData(),
                     testsupport::NativeBytes(FTree.Path(u"elsewhere"_s)).constData()),
            0);
  const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
  EXPECT_EQ(LRollback.FRolledBack, 2);
  ASSERT_EQ(LRollback.FFailed, 2);
  std::map<QString, QString> LReasons;
  for (const auto &LFailure : LRollback.FFailures)
    LReasons[LFailure.FPath] = LFailure.FReason;
  EXPECT_EQ(LReasons[FTree.Path(u"n00010"_s)], u"File was replaced after renaming"_s);
  EXPECT_EQ(LReasons[FTree.Path(u"n00011"_s)], u"File not exist"_s);
  EXPECT_EQ(ReadFile(FTree.Path(u"n00010"_s)), QByteArray("another file"));
  EXPECT_EQ(ReadFile(FTree.Path(u"n00002"_s)), QByteArray("n00002"));
  EXPECT_EQ(ReadFile(FTree.Path(u"n00003"_s)), QByteArray("n00003"));
  TJournalBatch LBatch;
  ASSERT_TRUE(FJournal.Load(LId, LBatch));
  EXPECT_EQ(LBatch.State(), TBatchState::PartlyRolledBack);
}

TEST_F(JournalTest, WithoutRoomForTheJournalNothingMoves) {
  testsupport::TTmpfsMount LDisk(64);
  if (!LDisk.Mounted())
    GTEST_SKIP() << LDisk.SkipReason().toStdString();
  FJournal.SetFolder(LDisk.Root() + u"/journal"_s);
  ASSERT_TRUE(testsupport::MakePath(FJournal.Folder()));
  ASSERT_TRUE(LDisk.FillUp());
  const QStringList LPaths = MakeFiles(300);
  const auto LBefore = SnapshotTree(FTree.Root());
  auto LList = ListOf(LPaths, 1000, 1);
  EXPECT_EQ(LList->ExecuteRenaming(), -1);
  EXPECT_TRUE(LList->BatchError().startsWith(u"Cannot write the rename journal: "_s))
      << LList->BatchError().toStdString();
  EXPECT_EQ(SnapshotTree(FTree.Root()), LBefore);
  for (int i = 0; i < LList->Count(); ++i)
    EXPECT_FALSE((*LList)[i].isRenamed());
}

TEST_F(JournalTest, OldBatchesArePrunedByCountAndAge) {
  for (int i = 0; i < 4; ++i) {
    TTempTree LWork;
    testsupport::WriteFile(LWork.Path(u"a"_s), "a");
    TFileList LList;
    LList.AddFileInfo(std::make_unique<TFileInfo>(LWork.Path(u"a"_s)));
    LList[0].SetNewName(u"b"_s);
    LList[0].SetNewFileType(QString());
    LList.SetJournal(&FJournal);
    ASSERT_EQ(LList.ExecuteRenaming(), 0);
  }
  ASSERT_EQ(FJournal.History().size(), 4u);
  FJournal.Prune(10, 0); // ten are kept whatever their age
  EXPECT_EQ(FJournal.History().size(), 4u);
  FJournal.Prune(2, 30); // younger than 30 days are kept
  EXPECT_EQ(FJournal.History().size(), 4u);
  FJournal.Prune(2, 0);
  EXPECT_EQ(FJournal.History().size(), 2u);
}

namespace {

// Renames in a child process that is killed with SIGKILL right after the
// move of step AKillAt, before that move is recorded; returns the batch.
QString RenameAndDie(TJournal &AJournal, const std::function<int()> &ARename, int AKillAt) {
  const pid_t LChild = ::fork();
  if (LChild == 0) {
    plandetail::SetAfterMoveHook([AKillAt](int AStep) {
      if (AStep == AKillAt)
        ::raise(SIGKILL);
    });
    ARename();
    ::_exit(0);
  }
  int LStatus = 0;
  ::waitpid(LChild, &LStatus, 0);
  EXPECT_TRUE(WIFSIGNALED(LStatus)) << "the child was to be killed at step " << AKillAt;
  const std::vector<TJournalBatch> LHistory = AJournal.History();
  EXPECT_FALSE(LHistory.empty());
  if (LHistory.empty())
    return QString();
  EXPECT_EQ(LHistory.front().State(), TBatchState::Interrupted);
  return LHistory.front().FId;
}

bool HoldsTemporaryName(const std::map<QString, QByteArray> &ATree) {
  for (const auto &[LName, LContent] : ATree)
    if (LName.contains(u".varnwell-"_s))
      return true;
  return false;
}

} // namespace

TEST_F(JournalTest, ACrashAtAnyPointIsRolledBackFromTheJournal) {
  // 10,000 files: swaps (a reversal) and a chain (a shift by one), each
  // killed at seeded points, swaps included.
  const QStringList LPaths = MakeFiles(10000);
  const auto LBefore = SnapshotTree(FTree.Root());
  std::mt19937 LRandom(1899);
  struct TRun {
    int FStart;
    int FStep;
  };
  for (const TRun LRun : {TRun{9999, -1}, TRun{1, 1}}) {
    for (int LKill = 0; LKill < 4; ++LKill) {
      const int LKillAt = static_cast<int>(LRandom() % 10000);
      SCOPED_TRACE(testing::Message() << "counter " << LRun.FStart << "/" << LRun.FStep
                                      << ", killed at step " << LKillAt);
      const QString LId = RenameAndDie(
          FJournal, [&] { return ListOf(LPaths, LRun.FStart, LRun.FStep)->ExecuteRenaming(); },
          LKillAt);
      const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
      EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
      EXPECT_EQ(LRollback.FFailed, 0);
      const auto LAfter = SnapshotTree(FTree.Root());
      EXPECT_FALSE(HoldsTemporaryName(LAfter));
      ASSERT_EQ(LAfter, LBefore);
    }
  }
}

TEST_F(JournalTest, ACrashInAFolderTreeIsRolledBackFromTheJournal) {
  // A nested tree: parents and children renamed in one batch, children first.
  for (int a = 0; a < 6; ++a)
    for (int b = 0; b < 6; ++b)
      for (int c = 0; c < 4; ++c) {
        testsupport::MakePath(FTree.Path(u"d%1/e%2/f%3"_s.arg(a).arg(b).arg(c)));
        testsupport::WriteFile(FTree.Path(u"d%1/e%2/f%3/x"_s.arg(a).arg(b).arg(c)),
                               u"%1%2%3"_s.arg(a).arg(b).arg(c).toUtf8());
      }
  const auto LBefore = SnapshotTree(FTree.Root());
  const auto LRename = [&] {
    TFolderList LList;
    ScanSubFolders(FTree.Root(), [&](const QString &APath, const TFolderEntry &AEntry) {
      LList.AddFolderInfoIfNeed(APath, AEntry);
    });
    TNameRecipe LRecipe;
    LRecipe.FNameMask = u"[N]_r"_s;
    LList.ApplyRecipe(LRecipe, 0);
    LList.SetJournal(&FJournal);
    return LList.ExecuteRenaming();
  };
  std::mt19937 LRandom(20150305);
  for (int LKill = 0; LKill < 6; ++LKill) {
    const int LKillAt = static_cast<int>(LRandom() % 186);
    SCOPED_TRACE(testing::Message() << "killed at step " << LKillAt);
    const QString LId = RenameAndDie(FJournal, LRename, LKillAt);
    const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
    EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
    EXPECT_EQ(LRollback.FFailed, 0);
    ASSERT_EQ(SnapshotTree(FTree.Root()), LBefore);
  }
}

TEST_F(JournalTest, OnExfatPresenceDecidesWhereInodeNumbersChange) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  const QStringList LPaths = MakeFiles(30, LExfat.Root());
  const auto LBefore = SnapshotTree(LExfat.Root());
  QString LId;
  {
    auto LList = ListOf(LPaths, 29, -1); // swaps
    ASSERT_EQ(LList->ExecuteRenaming(), 0);
    LId = LList->BatchId();
  }
  const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
  EXPECT_EQ(LRollback.FFailed, 0);
  EXPECT_EQ(SnapshotTree(LExfat.Root()), LBefore);
  // Interrupted batches there too, swaps and a chain, killed at each kind of step.
  struct TRun {
    int FStart;
    int FStep;
    int FKillAt;
  };
  for (const TRun LRun : {TRun{29, -1, 0}, TRun{29, -1, 1}, TRun{29, -1, 2}, TRun{29, -1, 17},
                          TRun{29, -1, 40}, TRun{1, 1, 0}, TRun{1, 1, 13}, TRun{1, 1, 29}}) {
    SCOPED_TRACE(testing::Message()
                 << LRun.FStart << "/" << LRun.FStep << " killed at " << LRun.FKillAt);
    const QString LCrashed = RenameAndDie(
        FJournal, [&] { return ListOf(LPaths, LRun.FStart, LRun.FStep)->ExecuteRenaming(); },
        LRun.FKillAt);
    EXPECT_EQ(RollbackBatch(FJournal, LCrashed).FFailed, 0);
    const auto LAfter = SnapshotTree(LExfat.Root());
    EXPECT_FALSE(HoldsTemporaryName(LAfter));
    ASSERT_EQ(LAfter, LBefore);
  }
}

namespace {

// The summary of ABatch as History lists it, from the batch read whole.
void ExpectSummaryOf(const TJournalBatch &ABatch, const TBatchSummary &ASummary) {
  EXPECT_EQ(ASummary.FId, ABatch.FId);
  EXPECT_EQ(ASummary.FCreated, ABatch.FCreated);
  EXPECT_EQ(ASummary.FKind, ABatch.FKind);
  EXPECT_EQ(ASummary.FFolder, ABatch.CommonFolder());
  EXPECT_EQ(ASummary.FItemCount, ABatch.ItemCount());
  EXPECT_EQ(ASummary.FState, ABatch.State());
  if (ABatch.State() != TBatchState::Interrupted) {
    EXPECT_EQ(ASummary.FRenamedCount, static_cast<int>(ABatch.RenamedItems().size()));
  }
  EXPECT_EQ(BatchStateText(ASummary), BatchStateText(ABatch));
}

} // namespace

// History lists a batch from its summary, the last line its writer keeps,
// and a batch without one (written before summaries were, or interrupted) by
// reading it once; either way it lists what reading the batch whole gives:
// renamed, cancelled, with failures, rolled back on the page and from
// History, partly rolled back, interrupted and completed, files and folders.
TEST_F(JournalTest, HistoryListsEachBatchFromItsSummaryAsFromTheWholeBatch) {
  TJournal LWithout; // the same batches without their summaries
  LWithout.SetFolder(FStateTree.Path(u"without"_s));
  ASSERT_TRUE(testsupport::MakePath(LWithout.Folder()));
  const auto LExpectListingAgrees = [&](const QString &AStep) {
    SCOPED_TRACE(AStep.toStdString());
    const std::vector<TJournalBatch> LWhole = FJournal.History();
    const std::vector<TBatchSummary> LListed = FJournal.ListBatches();
    ASSERT_EQ(LListed.size(), LWhole.size());
    for (size_t i = 0; i < LWhole.size(); ++i) {
      SCOPED_TRACE(LWhole[i].FId.toStdString());
      ExpectSummaryOf(LWhole[i], LListed[i]);
      QByteArray LStripped;
      for (const QByteArray &LLine : ReadFile(LWhole[i].FPath).split('\n'))
        if (!LLine.startsWith("summary ") && !LLine.isEmpty())
          LStripped += LLine + '\n';
      const QString LCopy = LWithout.Folder() + u'/' + LWhole[i].FId + u".journal"_s;
      ASSERT_TRUE(testsupport::WriteFile(LCopy, LStripped));
      TBatchSummary LScanned;
      ASSERT_TRUE(LWithout.ReadSummary(LWhole[i].FId, LScanned));
      ExpectSummaryOf(LWhole[i], LScanned);
    }
  };
  const auto LStateOf = [&](const QString &AId) {
    TBatchSummary LSummary;
    EXPECT_TRUE(FJournal.ReadSummary(AId, LSummary));
    return LSummary.FState;
  };
  const auto LEndsWithSummary = [&](const QString &AId) {
    const QList<QByteArray> LLines =
        ReadFile(FJournal.Folder() + u'/' + AId + u".journal"_s).trimmed().split('\n');
    return LLines.back().startsWith("summary ");
  };
  const auto LFolder = [&](const QString &AName) {
    EXPECT_TRUE(testsupport::MakePath(FTree.Path(AName)));
    return FTree.Path(AName);
  };

  // A chain renamed, then rolled back on the page.
  auto LChain = ListOf(MakeFiles(30, LFolder(u"chain"_s)), 1, 1);
  ASSERT_EQ(LChain->ExecuteRenaming(), 0);
  EXPECT_TRUE(LEndsWithSummary(LChain->BatchId()));
  LExpectListingAgrees(u"renamed"_s);
  ASSERT_EQ(LChain->ExecuteRollback(), 0);
  EXPECT_TRUE(LEndsWithSummary(LChain->BatchId()));
  LExpectListingAgrees(u"rolled back on the page"_s);

  // Swaps, one file replaced afterwards: partly rolled back from History,
  // twice.
  auto LSwaps = ListOf(MakeFiles(6, LFolder(u"swaps"_s)), 5, -1);
  ASSERT_EQ(LSwaps->ExecuteRenaming(), 0);
  const QString LSwapsId = LSwaps->BatchId();
  LSwaps.reset();
  ASSERT_EQ(::unlink(testsupport::NativeBytes(FTree.Path(u"swaps/n00005"_s)).constData()), 0);
  ASSERT_TRUE(testsupport::WriteFile(FTree.Path(u"swaps/n00005"_s), "another file"));
  EXPECT_EQ(RollbackBatch(FJournal, LSwapsId).FFailed, 1);
  EXPECT_EQ(RollbackBatch(FJournal, LSwapsId).FFailed, 1);
  EXPECT_TRUE(LEndsWithSummary(LSwapsId));
  EXPECT_EQ(LStateOf(LSwapsId), TBatchState::PartlyRolledBack);
  LExpectListingAgrees(u"partly rolled back"_s);

  // A Rename cancelled part way, and one in which a file had gone.
  auto LCancelled = ListOf(MakeFiles(600, LFolder(u"cancelled"_s)), 1000, 1);
  TProgress LProgress;
  LProgress.SetOnReport([&LProgress](int ADone, int, const QString &) {
    if (ADone >= 300)
      LProgress.RequestStop();
  });
  LCancelled->SetProgress(&LProgress);
  LCancelled->ExecuteRenaming();
  LCancelled->SetProgress(nullptr);
  const QStringList LGone = MakeFiles(5, LFolder(u"gone"_s));
  auto LFailed = ListOf(LGone, 10, 1);
  ASSERT_EQ(::unlink(testsupport::NativeBytes(LGone[2]).constData()), 0);
  LFailed->ExecuteRenaming();
  EXPECT_EQ(LStateOf(LCancelled->BatchId()), TBatchState::Cancelled);
  EXPECT_EQ(LStateOf(LFailed->BatchId()), TBatchState::Renamed);
  LExpectListingAgrees(u"cancelled and failed"_s);

  // A crash part way: interrupted, then completed and rolled back.
  const QStringList LCrashFiles = MakeFiles(40, LFolder(u"crash"_s));
  const QString LCrashed = RenameAndDie(
      FJournal, [&] { return ListOf(LCrashFiles, 39, -1)->ExecuteRenaming(); }, 25);
  EXPECT_EQ(LStateOf(LCrashed), TBatchState::Interrupted);
  LExpectListingAgrees(u"interrupted"_s);
  EXPECT_EQ(RollbackBatch(FJournal, LCrashed).FFailed, 0);
  EXPECT_EQ(LStateOf(LCrashed), TBatchState::RolledBack);
  LExpectListingAgrees(u"interrupted and rolled back"_s);

  // Folders, parents and children, rolled back from History.
  for (const QString &LPath : {u"tree/a/b"_s, u"tree/a/c"_s, u"tree/d"_s})
    ASSERT_TRUE(testsupport::MakePath(FTree.Path(LPath)));
  TFolderList LFolders;
  ScanSubFolders(FTree.Path(u"tree"_s), [&](const QString &APath, const TFolderEntry &AEntry) {
    LFolders.AddFolderInfoIfNeed(APath, AEntry);
  });
  TNameRecipe LRecipe;
  LRecipe.FNameMask = u"[N]_r"_s;
  LFolders.ApplyRecipe(LRecipe, 0);
  LFolders.SetJournal(&FJournal);
  ASSERT_EQ(LFolders.ExecuteRenaming(), 0);
  LExpectListingAgrees(u"folders renamed"_s);
  EXPECT_EQ(RollbackBatch(FJournal, LFolders.BatchId()).FFailed, 0);
  EXPECT_TRUE(LEndsWithSummary(LFolders.BatchId()));
  LExpectListingAgrees(u"folders rolled back"_s);
}
