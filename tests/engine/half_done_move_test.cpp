// A process that ends between the two halves of a move made without the
// no-replace flag (a hard link and an unlink, or a placeholder and a rename
// over it) leaves a state no rename leaves. Recovery from the journal takes
// that half back before anything else, so that the rollback puts the tree
// back exactly, and never calls an item rolled back while it has two names.
#include "platform/uPlatformFs.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uJournalRollback.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using platform::detail::TForcedFallback;
using platform::detail::TMoveStep;
using testsupport::NativeBytes;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

// Forces the fallback for a scope.
class TScopedFallback {
public:
  explicit TScopedFallback(TForcedFallback AFallback) {
    platform::detail::SetForcedFallback(AFallback);
  }
  ~TScopedFallback() { platform::detail::SetForcedFallback(TForcedFallback::None); }
  TScopedFallback(const TScopedFallback &) = delete;
  TScopedFallback &operator=(const TScopedFallback &) = delete;
};

// Installs a move-step hook for a scope.
class TScopedHook {
public:
  explicit TScopedHook(platform::detail::TMoveStepHook AHook)
      : FPrevious(platform::detail::SetMoveStepHook(std::move(AHook))) {}
  ~TScopedHook() { platform::detail::SetMoveStepHook(std::move(FPrevious)); }
  TScopedHook(const TScopedHook &) = delete;
  TScopedHook &operator=(const TScopedHook &) = delete;

private:
  platform::detail::TMoveStepHook FPrevious;
};

bool Link(const QString &AFrom, const QString &ATo) {
  return ::link(NativeBytes(AFrom).constData(), NativeBytes(ATo).constData()) == 0;
}

// A placeholder as the fallback move makes it, kept under APath: the move of
// a scratch file is made through one, and a second link taken to it while
// it stands keeps it after the rename has replaced it.
bool MakeOwnPlaceholder(const QString &AFolder, const QString &APath) {
  testsupport::WriteFile(AFolder + u"/scratch"_s, "s");
  bool LLinked = false;
  {
    TScopedHook LHook([&](TMoveStep AStep, const QByteArray &ATarget) {
      if (AStep == TMoveStep::AfterPlaceholder)
        LLinked = ::link(ATarget.constData(), NativeBytes(APath).constData()) == 0;
    });
    if (!platform::detail::MoveWithoutNoReplaceFlag(AFolder + u"/scratch"_s,
                                                    AFolder + u"/scratch2"_s, false))
      return false;
  }
  return LLinked && ::unlink(NativeBytes(AFolder + u"/scratch2"_s).constData()) == 0;
}

} // namespace

TEST(UndoHalfDoneMove, TakesBackOnlyWhatTheFallbackLeft) {
  struct TCase {
    const char *FName;
    // Builds the state between "old" and "new" in the folder.
    std::function<bool(const QString &AFolder)> FSetUp;
    platform::THalfDoneMove FResult;
    std::map<QString, QByteArray> FAfter;
  };
  const auto LWrite = [](const QString &AFolder, const char *AName, const QByteArray &AContent) {
    return testsupport::WriteFile(AFolder + u'/' + QLatin1StringView(AName), AContent);
  };
  const TCase LCases[] = {
      {"a second link at the target goes",
       [&](const QString &F) {
         return LWrite(F, "old", "data") && Link(F + u"/old"_s, F + u"/new"_s);
       },
       platform::THalfDoneMove::Undone,
       {{u"old"_s, "data"}}},
      {"the placeholder goes",
       [&](const QString &F) {
         return LWrite(F, "old", "data") && MakeOwnPlaceholder(F, F + u"/new"_s);
       },
       platform::THalfDoneMove::Undone,
       {{u"old"_s, "data"}}},
      {"an empty file of anyone else's stays",
       [&](const QString &F) { return LWrite(F, "old", "data") && LWrite(F, "new", ""); },
       platform::THalfDoneMove::None,
       {{u"new"_s, ""}, {u"old"_s, "data"}}},
      {"another file stays",
       [&](const QString &F) { return LWrite(F, "old", "data") && LWrite(F, "new", "other"); },
       platform::THalfDoneMove::None,
       {{u"new"_s, "other"}, {u"old"_s, "data"}}},
      {"a placeholder that was written to stays",
       [&](const QString &F) {
         return LWrite(F, "old", "data") && MakeOwnPlaceholder(F, F + u"/new"_s) &&
                ::truncate(NativeBytes(F + u"/new"_s).constData(), 3) == 0;
       },
       platform::THalfDoneMove::None,
       {{u"new"_s, QByteArray(3, '\0')}, {u"old"_s, "data"}}},
      {"without the source nothing is half done",
       [&](const QString &F) { return MakeOwnPlaceholder(F, F + u"/new"_s); },
       platform::THalfDoneMove::None,
       {{u"new"_s, ""}}},
      {"a move not begun is no half",
       [&](const QString &F) { return LWrite(F, "old", "data"); },
       platform::THalfDoneMove::NotBegun,
       {{u"old"_s, "data"}}},
      {"a move made is no half",
       [&](const QString &F) { return LWrite(F, "new", "data"); },
       platform::THalfDoneMove::None,
       {{u"new"_s, "data"}}},
  };
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FName);
    TTempTree LTree;
    ASSERT_TRUE(LCase.FSetUp(LTree.Root()));
    EXPECT_EQ(platform::UndoHalfDoneMove(LTree.Path(u"old"_s), LTree.Path(u"new"_s), 0, true),
              LCase.FResult);
    EXPECT_EQ(SnapshotTree(LTree.Root()), LCase.FAfter);
  }
  // Where inode numbers are not stable, two links prove nothing.
  TTempTree LTree;
  ASSERT_TRUE(LWrite(LTree.Root(), "old", "data"));
  ASSERT_TRUE(Link(LTree.Path(u"old"_s), LTree.Path(u"new"_s)));
  EXPECT_EQ(platform::UndoHalfDoneMove(LTree.Path(u"old"_s), LTree.Path(u"new"_s), 0, false),
            platform::THalfDoneMove::None);
  // Nor do two links to another entry than the one the step moved.
  EXPECT_EQ(platform::UndoHalfDoneMove(LTree.Path(u"old"_s), LTree.Path(u"new"_s), 1, true),
            platform::THalfDoneMove::None);
}

namespace {

enum class TKind { Files, Folders };

// A batch: the entries "e0", "e1", ... of the work folder and their new names.
struct TBatchCase {
  const char *FName;
  TKind FKind;
  std::vector<QString> FNewNames;
};

const TBatchCase CBatches[] = {
    {"plain", TKind::Files, {u"n0"_s, u"n1"_s, u"n2"_s}},
    {"chain", TKind::Files, {u"e1"_s, u"e2"_s, u"e3"_s}},
    {"two-way swap", TKind::Files, {u"e1"_s, u"e0"_s}},
    {"three-way swap", TKind::Files, {u"e1"_s, u"e2"_s, u"e0"_s}},
    {"two swaps and a chain", TKind::Files, {u"e1"_s, u"e0"_s, u"e3"_s, u"e2"_s, u"e5"_s}},
    {"folders, plain", TKind::Folders, {u"n0"_s, u"n1"_s}},
    {"folders, two-way swap", TKind::Folders, {u"e1"_s, u"e0"_s}},
};

class HalfDoneMoveTest : public ::testing::Test {
protected:
  HalfDoneMoveTest() { FJournal.SetFolder(FStateTree.Path(u"journal"_s)); }

  // Makes the batch's entries in AFolder: files holding their names, or
  // folders holding a file that does.
  static void MakeEntries(const QString &AFolder, const TBatchCase &ABatch) {
    for (size_t i = 0; i < ABatch.FNewNames.size(); ++i) {
      const QString LName = u"e%1"_s.arg(i);
      const QString LPath = AFolder + u'/' + LName;
      if (ABatch.FKind == TKind::Files) {
        ASSERT_TRUE(testsupport::WriteFile(LPath, LName.toUtf8()));
      } else {
        ASSERT_TRUE(testsupport::MakePath(LPath));
        ASSERT_TRUE(testsupport::WriteFile(LPath + u"/in"_s, LName.toUtf8()));
      }
    }
  }

  // Renames the batch in AFolder; returns what ExecuteRenaming returns.
  int Rename(const QString &AFolder, const TBatchCase &ABatch) {
    if (ABatch.FKind == TKind::Files) {
      TFileList LList;
      for (size_t i = 0; i < ABatch.FNewNames.size(); ++i) {
        LList.AddFileInfo(std::make_unique<TFileInfo>(AFolder + u"/e%1"_s.arg(i)));
        LList[static_cast<int>(i)].SetNewName(ABatch.FNewNames[i]);
        LList[static_cast<int>(i)].SetNewFileType(QString());
      }
      LList.SetJournal(&FJournal);
      return LList.ExecuteRenaming();
    }
    TFolderList LList;
    for (size_t i = 0; i < ABatch.FNewNames.size(); ++i) {
      EXPECT_TRUE(LList.AddFolderInfoIfNeed(AFolder + u"/e%1"_s.arg(i)));
      LList[static_cast<int>(i)]->SetNewName(ABatch.FNewNames[i]);
    }
    LList.SetJournal(&FJournal);
    return LList.ExecuteRenaming();
  }

  // Runs the batch in a child killed with SIGKILL at the AKillAt-th point
  // AStep of the fallback; false when the batch ended before it.
  bool RenameAndDie(const QString &AFolder, const TBatchCase &ABatch, TForcedFallback AFallback,
                    TMoveStep AStep, int AKillAt) {
    return RenameInChild(AFolder, ABatch, [&] {
      platform::detail::SetForcedFallback(AFallback);
      platform::detail::SetMoveStepHook([=, LSeen = 0](TMoveStep AAt, const QByteArray &) mutable {
        if (AAt == AStep && LSeen++ == AKillAt)
          ::raise(SIGKILL);
      });
    });
  }

  // Runs the batch in a child that AArm sets up to be killed; true when it was.
  bool RenameInChild(const QString &AFolder, const TBatchCase &ABatch,
                     const std::function<void()> &AArm) {
    const pid_t LChild = ::fork();
    if (LChild == 0) {
      AArm();
      ::_exit(Rename(AFolder, ABatch) == 0 ? 0 : 1);
    }
    int LStatus = 0;
    ::waitpid(LChild, &LStatus, 0);
    if (WIFSIGNALED(LStatus))
      return true;
    EXPECT_TRUE(WIFEXITED(LStatus) && WEXITSTATUS(LStatus) == 0) << "the batch failed";
    return false;
  }

  // The batch begun since the last call (ids do not sort by age within a
  // second).
  QString NewestBatch() {
    for (const QString &LId : FJournal.BatchIds())
      if (FSeen.insert(LId).second)
        FNewest = LId;
    return FNewest;
  }

  static bool HoldsTemporaryName(const std::map<QString, QByteArray> &ATree) {
    for (const auto &[LName, LContent] : ATree)
      if (LName.contains(u".varnwell-"_s))
        return true;
    return false;
  }

  // Every batch of the table killed at every point AStep of every move,
  // then rolled back from the journal: the tree is exactly as before.
  void KillEverywhereAndRollBack(const QString &ARoot, TForcedFallback AFallback, TMoveStep AStep) {
    for (const TBatchCase &LBatch : CBatches) {
      const QString LFolder =
          ARoot + u'/' + QLatin1StringView(LBatch.FName).toString().replace(u' ', u'_');
      ASSERT_TRUE(testsupport::MakePath(LFolder));
      MakeEntries(LFolder, LBatch);
      const auto LBefore = SnapshotTree(LFolder);
      bool LKilled = true;
      int LKillAt = 0;
      for (; LKilled; ++LKillAt) {
        SCOPED_TRACE(testing::Message() << LBatch.FName << ", killed at move " << LKillAt);
        // A folder is never linked: it goes through a placeholder.
        const TMoveStep LStep =
            LBatch.FKind == TKind::Folders ? TMoveStep::AfterPlaceholder : AStep;
        LKilled = RenameAndDie(LFolder, LBatch, AFallback, LStep, LKillAt);
        ASSERT_LT(LKillAt, 20) << "the child was never let finish";
        const QString LId = NewestBatch();
        ASSERT_FALSE(LId.isEmpty());
        const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
        EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
        for (const auto &LFailure : LRollback.FFailures)
          ADD_FAILURE() << LFailure.FPath.toStdString() << ": " << LFailure.FReason.toStdString();
        const auto LAfter = SnapshotTree(LFolder);
        EXPECT_FALSE(HoldsTemporaryName(LAfter));
        ASSERT_EQ(LAfter, LBefore);
        TJournalBatch LLoaded;
        ASSERT_TRUE(FJournal.Load(LId, LLoaded));
        EXPECT_EQ(LLoaded.State(), TBatchState::RolledBack);
      }
      // Every entry moved at least once through the fallback.
      EXPECT_GT(LKillAt, static_cast<int>(LBatch.FNewNames.size())) << LBatch.FName;
    }
  }

  TTempTree FTree;
  TTempTree FStateTree;
  TJournal FJournal;
  std::set<QString> FSeen;
  QString FNewest;
};

} // namespace

TEST_F(HalfDoneMoveTest, KilledAfterTheLinkIsRolledBackExactly) {
  KillEverywhereAndRollBack(FTree.Root(), TForcedFallback::HardLinks, TMoveStep::AfterLink);
}

TEST_F(HalfDoneMoveTest, KilledAfterThePlaceholderIsRolledBackExactly) {
  KillEverywhereAndRollBack(FTree.Root(), TForcedFallback::Placeholder,
                            TMoveStep::AfterPlaceholder);
}

TEST_F(HalfDoneMoveTest, KilledAfterThePlaceholderOnExfatIsRolledBackExactly) {
  // exFAT has no hard links and refuses the no-replace flag itself: every
  // move there goes through a placeholder.
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  KillEverywhereAndRollBack(LExfat.Root(), TForcedFallback::None, TMoveStep::AfterPlaceholder);
}

TEST_F(HalfDoneMoveTest, KilledLateInALongBatchIsRolledBackExactly) {
  // Hundreds of moves, so that records reach the journal before the kill and
  // the step that was running lies far behind the first one: a shift by one
  // (a chain) and a reversal (swaps). As after a power cut, the journal may
  // also have lost every record after its plan: the disk alone tells.
  for (const bool LSwaps : {false, true}) {
    TBatchCase LBatch{LSwaps ? "swaps" : "chain", TKind::Files, {}};
    constexpr int KCount = 300;
    for (int i = 0; i < KCount; ++i)
      LBatch.FNewNames.push_back(u"e%1"_s.arg(LSwaps ? KCount - 1 - i : i + 1));
    TTempTree LTree;
    MakeEntries(LTree.Root(), LBatch);
    const auto LBefore = SnapshotTree(LTree.Root());
    for (const TForcedFallback LFallback :
         {TForcedFallback::HardLinks, TForcedFallback::Placeholder}) {
      const TMoveStep LStep = LFallback == TForcedFallback::HardLinks ? TMoveStep::AfterLink
                                                                      : TMoveStep::AfterPlaceholder;
      for (const int LKillAt : {0, 256, 299}) {
        for (const bool LRecordsLost : {false, true}) {
          SCOPED_TRACE(testing::Message() << LBatch.FName << ", killed at move " << LKillAt
                                          << (LRecordsLost ? ", records lost" : ""));
          ASSERT_TRUE(RenameAndDie(LTree.Root(), LBatch, LFallback, LStep, LKillAt));
          const QString LId = NewestBatch();
          if (LRecordsLost) {
            const QString LPath = FJournal.Folder() + u'/' + LId + u".journal"_s;
            QByteArray LText = testsupport::ReadFile(LPath);
            // What a sync put on the disk stays: the plan, and the records up
            // to the last move to a temporary name (its record is synced
            // before the swap goes on).
            const qsizetype LBegin = LText.indexOf("\nbegin\n");
            ASSERT_GT(LBegin, 0);
            qsizetype LKept = LBegin + 7;
            for (qsizetype LLine = LKept; LLine < LText.size();) {
              const qsizetype LEnd = LText.indexOf('\n', LLine);
              if (LEnd < 0)
                break;
              if (LText.mid(LLine, LEnd - LLine).count(' ') >= 2)
                LKept = LEnd + 1;
              LLine = LEnd + 1;
            }
            LText.truncate(LKept);
            ASSERT_TRUE(testsupport::WriteFile(LPath, LText));
          }
          const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
          EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
          EXPECT_EQ(LRollback.FFailed, 0);
          ASSERT_EQ(SnapshotTree(LTree.Root()), LBefore);
        }
      }
    }
  }
}

TEST_F(HalfDoneMoveTest, ARollbackKilledHalfWayIsFinishedExactly) {
  // The rename is whole; the rollback from the journal is the one killed,
  // at each link or placeholder of its moves, and the next one finishes it.
  struct TRun {
    TForcedFallback FFallback;
    TMoveStep FStep;
  };
  for (const TRun LRun : {TRun{TForcedFallback::HardLinks, TMoveStep::AfterLink},
                          TRun{TForcedFallback::Placeholder, TMoveStep::AfterPlaceholder}}) {
    for (const TBatchCase &LBatch : CBatches) {
      if (LBatch.FKind == TKind::Folders && LRun.FStep == TMoveStep::AfterLink)
        continue;
      TTempTree LTree;
      MakeEntries(LTree.Root(), LBatch);
      const auto LBefore = SnapshotTree(LTree.Root());
      bool LKilled = true;
      for (int LKillAt = 0; LKilled; ++LKillAt) {
        SCOPED_TRACE(testing::Message() << LBatch.FName << ", rollback killed at move " << LKillAt);
        ASSERT_LT(LKillAt, 20) << "the child was never let finish";
        ASSERT_EQ(Rename(LTree.Root(), LBatch), 0);
        const QString LId = NewestBatch();
        const pid_t LChild = ::fork();
        if (LChild == 0) {
          platform::detail::SetForcedFallback(LRun.FFallback);
          platform::detail::SetMoveStepHook(
              [&, LSeen = 0](TMoveStep AAt, const QByteArray &) mutable {
                if (AAt == LRun.FStep && LSeen++ == LKillAt)
                  ::raise(SIGKILL);
              });
          ::_exit(RollbackBatch(FJournal, LId).FFailed == 0 ? 0 : 1);
        }
        int LStatus = 0;
        ::waitpid(LChild, &LStatus, 0);
        LKilled = WIFSIGNALED(LStatus);
        const TJournalRollback LRollback = RollbackBatch(FJournal, LId);
        EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
        for (const auto &LFailure : LRollback.FFailures)
          ADD_FAILURE() << LFailure.FPath.toStdString() << ": " << LFailure.FReason.toStdString();
        const auto LAfter = SnapshotTree(LTree.Root());
        EXPECT_FALSE(HoldsTemporaryName(LAfter));
        ASSERT_EQ(LAfter, LBefore);
      }
    }
  }
}

TEST_F(HalfDoneMoveTest, ALinkThatCannotGoIsReportedAndNothingIsDeleted) {
  const TBatchCase &LBatch = CBatches[0]; // plain
  MakeEntries(FTree.Root(), LBatch);
  ASSERT_TRUE(
      RenameAndDie(FTree.Root(), LBatch, TForcedFallback::HardLinks, TMoveStep::AfterLink, 1));
  // e1 stands under its old and its new name; neither can be unlinked.
  testsupport::TImmutableFile LLocked(FTree.Path(u"e1"_s));
  if (!LLocked.Ok())
    GTEST_SKIP() << "the file system here cannot make a file immutable";
  const TJournalRollback LRollback = RollbackBatch(FJournal, NewestBatch());
  EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
  EXPECT_EQ(LRollback.FRolledBack, 1);
  ASSERT_EQ(LRollback.FFailed, 1);
  EXPECT_EQ(LRollback.FFailures[0].FPath, FTree.Path(u"e1"_s));
  EXPECT_EQ(LRollback.FFailures[0].FReason, u"Left under two names: "_s + FTree.Path(u"n1"_s));
  const std::map<QString, QByteArray> LExpected = {
      {u"e0"_s, "e0"}, {u"e1"_s, "e1"}, {u"e2"_s, "e2"}, {u"n1"_s, "e1"}};
  EXPECT_EQ(SnapshotTree(FTree.Root()), LExpected);
  TJournalBatch LLoaded;
  ASSERT_TRUE(FJournal.Load(NewestBatch(), LLoaded));
  EXPECT_NE(LLoaded.State(), TBatchState::RolledBack);
}

TEST_F(HalfDoneMoveTest, AnEntryLeftUnderATemporaryNameIsNoRollback) {
  // Killed inside a swap while the first entry stands under its temporary
  // name; meanwhile another file takes that entry's old name.
  const TBatchCase &LBatch = CBatches[2]; // two-way swap
  MakeEntries(FTree.Root(), LBatch);
  ASSERT_TRUE(RenameInChild(FTree.Root(), LBatch, [] {
    platform::detail::SetForcedFallback(TForcedFallback::HardLinks);
    plandetail::SetAfterMoveHook([](int AStep) {
      if (AStep == 0)
        ::raise(SIGKILL);
    });
  }));
  ASSERT_TRUE(testsupport::WriteFile(FTree.Path(u"e0"_s), "someone else's"));
  const TJournalRollback LRollback = RollbackBatch(FJournal, NewestBatch());
  EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
  EXPECT_EQ(LRollback.FRolledBack, 0);
  ASSERT_EQ(LRollback.FFailed, 1);
  EXPECT_TRUE(LRollback.FFailures[0].FPath.contains(u"/.varnwell-"_s))
      << LRollback.FFailures[0].FPath.toStdString();
  const auto LAfter = SnapshotTree(FTree.Root());
  EXPECT_TRUE(HoldsTemporaryName(LAfter));
  EXPECT_EQ(LAfter.at(u"e0"_s), QByteArray("someone else's"));
  EXPECT_EQ(LAfter.at(u"e1"_s), QByteArray("e1"));
  TJournalBatch LLoaded;
  ASSERT_TRUE(FJournal.Load(NewestBatch(), LLoaded));
  EXPECT_NE(LLoaded.State(), TBatchState::RolledBack);
}
