// A Rename or Rollback told to stop through its progress: it stops between
// groups of moves, never inside a swap, reports every step it made, and what
// it leaves is exactly what a Rollback moves back.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uJournal.h"
#include "uProgress.h"

#include "TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

// a, b and c get "_r"; x and y swap names through a temporary one.
std::unique_ptr<TFileList> MakeList(const TTempTree &ATree, TJournal &AJournal) {
  auto LList = std::make_unique<TFileList>();
  const QStringList LNames = {u"a"_s, u"x"_s, u"b"_s, u"y"_s, u"c"_s};
  for (const QString &LName : LNames) {
    const QString LPath = ATree.Path(LName + u".txt"_s);
    EXPECT_TRUE(testsupport::WriteFile(LPath, LName.toUtf8()));
    LList->AddFileInfo(std::make_unique<TFileInfo>(LPath));
  }
  for (int i = 0; i < LList->Count(); ++i) {
    TFileInfo &LItem = (*LList)[i];
    const QString LOld = LItem.OldName().chopped(4);
    LItem.SetNewName(LOld == u"x"_s ? u"y"_s : LOld == u"y"_s ? u"x"_s : LOld + u"_r"_s);
    LItem.SetNewFileType(u".txt"_s);
  }
  LList->SetJournal(&AJournal);
  return LList;
}

} // namespace

TEST(Progress, AStopAfterAnyStepLeavesWholeSwapsAndRollsBackToTheStart) {
  // The plan has six steps: three moves and the swap's three. A stop asked
  // for after each count of steps, none included.
  for (int LStopAfter = 0; LStopAfter <= 6; ++LStopAfter) {
    SCOPED_TRACE(LStopAfter);
    TTempTree LTree;
    TTempTree LState;
    TJournal LJournal;
    LJournal.SetFolder(LState.Path(u"journal"_s));
    auto LList = MakeList(LTree, LJournal);
    const auto LBefore = SnapshotTree(LTree.Root());

    TProgress LProgress;
    int LReported = 0;
    int LTotal = 0;
    LProgress.SetOnReport([&](int ADone, int ATotal, const QString &) {
      EXPECT_EQ(ADone, LReported + 1); // every step, in order
      LReported = ADone;
      LTotal = ATotal;
      if (ADone >= LStopAfter)
        LProgress.RequestStop();
    });
    if (LStopAfter == 0)
      LProgress.RequestStop();
    LList->SetProgress(&LProgress);
    EXPECT_EQ(LList->ExecuteRenaming(), 0);
    EXPECT_EQ(LList->LastBatchStopped(), LStopAfter < 6);
    if (LStopAfter > 0) {
      EXPECT_EQ(LTotal, 6);
    }

    // What the disk shows is what the items say, and the untried are marked.
    const auto LAfter = SnapshotTree(LTree.Root());
    int LRenamed = 0;
    for (int i = 0; i < LList->Count(); ++i) {
      const TFileInfo &LItem = (*LList)[i];
      const QString LShown = LItem.isRenamed() ? LItem.TargetName() : LItem.OldName();
      EXPECT_EQ(LAfter.count(LShown), 1u) << LShown.toStdString();
      EXPECT_EQ(LItem.NotTried(), !LItem.isRenamed()) << LItem.OldName().toStdString();
      LRenamed += LItem.isRenamed() ? 1 : 0;
    }
    // No temporary name, and a swap is made whole or not at all.
    EXPECT_EQ(LAfter.size(), 5u);
    EXPECT_EQ((*LList)[1].isRenamed(), (*LList)[3].isRenamed());
    EXPECT_EQ(LAfter.at(u"x.txt"_s), (*LList)[1].isRenamed() ? "y" : "x");
    // Steps made are the items renamed, the swap's extra step aside.
    EXPECT_EQ(LRenamed + ((*LList)[1].isRenamed() ? 1 : 0), LReported);

    // The journal says the batch was cancelled; Rollback moves back exactly
    // the renamed files.
    const auto LBatches = LJournal.History();
    ASSERT_EQ(LBatches.size(), 1u);
    EXPECT_EQ(LBatches[0].State(), LStopAfter < 6 ? TBatchState::Cancelled : TBatchState::Renamed);
    LProgress.ClearStop();
    LProgress.SetOnReport(nullptr);
    EXPECT_EQ(LList->ExecuteRollback(), 0);
    EXPECT_FALSE(LList->LastBatchStopped());
    EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
  }
}

TEST(Progress, AFolderRenameStoppedAfterAnyStepRollsBackToTheStart) {
  // Four folders, one inside another: four moves, the deepest first.
  for (int LStopAfter = 0; LStopAfter <= 4; ++LStopAfter) {
    SCOPED_TRACE(LStopAfter);
    TTempTree LTree;
    for (const QString &LFolder : {u"w/p/q"_s, u"w/p/s"_s, u"w/t"_s}) {
      ASSERT_TRUE(QDir().mkpath(LTree.Path(LFolder)));
      ASSERT_TRUE(testsupport::WriteFile(LTree.Path(LFolder + u"/f"_s), "f"));
    }
    const auto LBefore = SnapshotTree(LTree.Root());
    TFolderList LList;
    ScanSubFolders(LTree.Path(u"w"_s), [&LList](const QString &APath, const TFolderEntry &AEntry) {
      LList.AddFolderInfoIfNeed(APath, AEntry);
    });
    LList.ReindexFolderInfo(0);
    LList.SetFolderNameMask(u"[N]_r"_s, 0);
    ASSERT_EQ(LList.Count(), 4);

    TProgress LProgress;
    int LReported = 0;
    LProgress.SetOnReport([&](int ADone, int ATotal, const QString &) {
      EXPECT_EQ(ATotal, 4);
      LReported = ADone;
      if (ADone >= LStopAfter)
        LProgress.RequestStop();
    });
    if (LStopAfter == 0)
      LProgress.RequestStop();
    LList.SetProgress(&LProgress);
    EXPECT_EQ(LList.ExecuteRenaming(), 0);
    EXPECT_EQ(LList.LastBatchStopped(), LStopAfter < 4);
    int LRenamed = 0;
    for (int i = 0; i < LList.Count(); ++i) {
      EXPECT_EQ(LList[i]->NotTried(), !LList[i]->isRenamed());
      LRenamed += LList[i]->isRenamed() ? 1 : 0;
    }
    EXPECT_EQ(LRenamed, LStopAfter);
    EXPECT_EQ(LReported, LStopAfter);

    LProgress.ClearStop();
    LProgress.SetOnReport(nullptr);
    EXPECT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
  }
}

// ---- Adds: whole or nothing -------------------------------------------------

namespace {

// Asks for a stop once a report says ADone items are done.
void StopAfter(TProgress &AProgress, int ADone) {
  AProgress.SetOnReport([&AProgress, ADone](int ADoneNow, int, const QString &) {
    if (ADoneNow >= ADone)
      AProgress.RequestStop();
  });
}

} // namespace

TEST(Progress, AFileAddStoppedAnywhereAddsNothing) {
  TTempTree LTree;
  for (const QString &LName : {u"t/a"_s, u"t/b"_s, u"t/s/c"_s, u"t/s/d"_s, u"t/u/e"_s})
    LTree.WriteFile(LName);
  const QString LKept = LTree.WriteFile(u"kept"_s);
  // The walk reports the files found as it enters each folder; the adding
  // reports each file of the five.
  for (const int LStop : {0, 2, 4}) {
    SCOPED_TRACE(LStop);
    TFileList LList;
    ASSERT_EQ(LList.AddFiles({{LKept, false}}).FNotAdded, 0);
    TProgress LProgress;
    StopAfter(LProgress, LStop);
    const TAddOutcome LOutcome = LList.AddFiles({{LTree.Path(u"t"_s), true}}, &LProgress);
    EXPECT_TRUE(LOutcome.FStopped);
    EXPECT_EQ(LList.Count(), 1);
    // The list's index of paths forgot the files taken back.
    EXPECT_TRUE(LList.CheckInList(LTree.Path(u"t/a"_s)));
  }
  TFileList LList;
  const TAddOutcome LWhole = LList.AddFiles({{LTree.Path(u"t"_s), true}, {LKept, false}});
  EXPECT_FALSE(LWhole.FStopped);
  EXPECT_EQ(LWhole.FFound, 6);
  EXPECT_EQ(LList.Count(), 6);
  const TAddOutcome LAgain = LList.AddFiles({{LTree.Path(u"t"_s), true}});
  EXPECT_EQ(LAgain.FNotAdded, 5);
}

TEST(Progress, AFolderAddStoppedAnywhereAddsNothing) {
  TTempTree LTree;
  for (const QString &LName : {u"t/a/b"_s, u"t/c"_s, u"t/d/e/f"_s})
    LTree.MakeDir(LName);
  LTree.MakeDir(u"kept"_s);
  for (const int LStop : {1, 3, 5}) {
    SCOPED_TRACE(LStop);
    TFolderList LList;
    ASSERT_FALSE(LList.AddFolders({LTree.Path(u"kept"_s)}, true, false).FStopped);
    TProgress LProgress;
    StopAfter(LProgress, LStop);
    const TFolderAddOutcome LOutcome =
        LList.AddFolders({LTree.Path(u"t"_s)}, true, true, &LProgress);
    EXPECT_TRUE(LOutcome.FStopped);
    EXPECT_EQ(LList.Count(), 1);
    EXPECT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"t"_s)));
  }
  TFolderList LList;
  const TFolderAddOutcome LWhole =
      LList.AddFolders({LTree.Path(u"t"_s), LTree.WriteFile(u"file"_s)}, true, true);
  EXPECT_EQ(LWhole.FFound, 7);
  EXPECT_EQ(LWhole.FNoFolder, 1);
  EXPECT_EQ(LList.Count(), 7);
}
