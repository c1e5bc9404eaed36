// The planner: what Rename will do for each item, told before anything
// moves, and Rename doing exactly that. Batches on real temporary folders (and
// on a real exFAT, where letter case does not tell names apart), each with the
// predicted status, the disk after Rename and after Rollback.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uRenamePlan.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using testsupport::SnapshotTree;

namespace {

const char *StatusName(TPlanStatus AStatus) {
  switch (AStatus) {
  case TPlanStatus::Unchanged:
    return "unchanged";
  case TPlanStatus::Rename:
    return "rename";
  case TPlanStatus::Waits:
    return "waits";
  case TPlanStatus::Swap:
    return "swap";
  case TPlanStatus::SameNewName:
    return "same-new-name";
  case TPlanStatus::TargetExists:
    return "target-exists";
  case TPlanStatus::InvalidName:
    return "invalid-name";
  case TPlanStatus::NameTooLong:
    return "name-too-long";
  case TPlanStatus::WaitsForConflict:
    return "waits-for-conflict";
  }
  return "?";
}

// One row: files on disk, the renames asked for (old name -> new name, by
// the list's order), the statuses predicted, and what the folder holds after
// the Rename. A file's content is its old name, so the outcome shows which
// file went where.
struct TBatch {
  const char *FTitle;
  std::vector<QString> FOnDisk; // every file in the folder, the listed ones included
  std::vector<std::pair<QString, QString>> FRenames;
  std::vector<TPlanStatus> FExpected;
  std::map<QString, QByteArray> FAfter; // name -> content
};

std::vector<TBatch> CommonBatches() {
  using S = TPlanStatus;
  const QString L256(256, QLatin1Char('n'));
  return {
      {"three blanks",
       {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s},
       {{u"a.txt"_s, u"   .txt"_s}, {u"b.txt"_s, u"   .txt"_s}, {u"c.txt"_s, u"   .txt"_s}},
       {S::Rename, S::SameNewName, S::SameNewName},
       {{u"   .txt"_s, "a.txt"}, {u"b.txt"_s, "b.txt"}, {u"c.txt"_s, "c.txt"}}},
      {"an existing target",
       {u"a.txt"_s, u"b.txt"_s},
       {{u"a.txt"_s, u"b.txt"_s}},
       {S::TargetExists},
       {{u"a.txt"_s, "a.txt"}, {u"b.txt"_s, "b.txt"}}},
      {"an invalid name",
       {u"a.txt"_s},
       {{u"a.txt"_s, u"x/y.txt"_s}},
       {S::InvalidName},
       {{u"a.txt"_s, "a.txt"}}},
      {"a name of 256 bytes",
       {u"a.txt"_s},
       {{u"a.txt"_s, L256}},
       {S::NameTooLong},
       {{u"a.txt"_s, "a.txt"}}},
      {"a chain a->b->c",
       {u"a"_s, u"b"_s},
       {{u"a"_s, u"b"_s}, {u"b"_s, u"c"_s}},
       {S::Waits, S::Rename},
       {{u"b"_s, "a"}, {u"c"_s, "b"}}},
      {"a swap a<->b",
       {u"a"_s, u"b"_s},
       {{u"a"_s, u"b"_s}, {u"b"_s, u"a"_s}},
       {S::Swap, S::Swap},
       {{u"a"_s, "b"}, {u"b"_s, "a"}}},
      {"a three-cycle",
       {u"a"_s, u"b"_s, u"c"_s},
       {{u"a"_s, u"b"_s}, {u"b"_s, u"c"_s}, {u"c"_s, u"a"_s}},
       {S::Swap, S::Swap, S::Swap},
       {{u"a"_s, "c"}, {u"b"_s, "a"}, {u"c"_s, "b"}}},
      {"a renumbering shifted by one",
       {u"1"_s, u"2"_s, u"3"_s},
       {{u"1"_s, u"2"_s}, {u"2"_s, u"3"_s}, {u"3"_s, u"4"_s}},
       {S::Waits, S::Waits, S::Rename},
       {{u"2"_s, "1"}, {u"3"_s, "2"}, {u"4"_s, "3"}}},
      {"a chain that ends at a conflict",
       {u"a"_s, u"b"_s, u"c"_s},
       {{u"a"_s, u"b"_s}, {u"b"_s, u"c"_s}},
       {S::WaitsForConflict, S::TargetExists},
       {{u"a"_s, "a"}, {u"b"_s, "b"}, {u"c"_s, "c"}}},
      {"an unchanged name and one taking it",
       {u"a"_s, u"b"_s},
       {{u"a"_s, u"a"_s}, {u"b"_s, u"a"_s}},
       {S::Unchanged, S::TargetExists},
       {{u"a"_s, "a"}, {u"b"_s, "b"}}},
  };
}

// The statuses of the rows that differ between the file systems: two names
// that differ in letter case only.
std::vector<TBatch> CaseBatches(bool ACaseInsensitive) {
  using S = TPlanStatus;
  if (!ACaseInsensitive)
    return {{"two new names differing in case",
             {u"a.txt"_s, u"b.txt"_s},
             {{u"a.txt"_s, u"X.txt"_s}, {u"b.txt"_s, u"x.txt"_s}},
             {S::Rename, S::Rename},
             {{u"X.txt"_s, "a.txt"}, {u"x.txt"_s, "b.txt"}}},
            {"a change of case onto another file's spelling",
             {u"a.txt"_s, u"A.TXT"_s},
             {{u"a.txt"_s, u"A.TXT"_s}},
             {S::TargetExists},
             {{u"a.txt"_s, "a.txt"}, {u"A.TXT"_s, "A.TXT"}}}};
  return {{"two new names differing in case",
           {u"a.txt"_s, u"b.txt"_s},
           {{u"a.txt"_s, u"X.txt"_s}, {u"b.txt"_s, u"x.txt"_s}},
           {S::Rename, S::SameNewName},
           {{u"X.txt"_s, "a.txt"}, {u"b.txt"_s, "b.txt"}}},
          {"a change of case only",
           {u"alpha.txt"_s},
           {{u"alpha.txt"_s, u"ALPHA.TXT"_s}},
           {S::Rename},
           {{u"ALPHA.TXT"_s, "alpha.txt"}}},
          {"a new name another file has in another case",
           {u"a.txt"_s, u"B.TXT"_s},
           {{u"a.txt"_s, u"b.txt"_s}},
           {S::TargetExists},
           {{u"a.txt"_s, "a.txt"}, {u"B.TXT"_s, "B.TXT"}}}};
}

// Runs ABatch in AFolder through the file list: prediction, Rename, the disk,
// Rollback and the disk again.
void RunFileBatch(const QString &AFolder, const TBatch &ABatch) {
  SCOPED_TRACE(ABatch.FTitle);
  testsupport::RemoveTree(AFolder);
  ASSERT_TRUE(testsupport::MakePath(AFolder));
  for (const QString &LName : ABatch.FOnDisk)
    ASSERT_TRUE(testsupport::WriteFile(AFolder + QLatin1Char('/') + LName, LName.toUtf8()));
  const auto LBefore = SnapshotTree(AFolder);
  TFileList LList;
  for (const auto &[LOld, LNew] : ABatch.FRenames) {
    LList.AddFileInfo(std::make_unique<TFileInfo>(AFolder + QLatin1Char('/') + LOld));
    TFileInfo &LItem = LList[LList.Count() - 1];
    // The whole new name as the name; an empty extension part.
    LItem.SetNewName(LNew);
    LItem.SetNewFileType(QString());
  }
  const TPlan &LPlan = LList.PlanRenaming();
  int LConflicts = 0;
  for (int i = 0; i < LList.Count(); ++i) {
    EXPECT_STREQ(StatusName(LPlan.FEntries[static_cast<size_t>(i)].FStatus),
                 StatusName(ABatch.FExpected[static_cast<size_t>(i)]))
        << "row " << i;
    LConflicts += IsConflict(ABatch.FExpected[static_cast<size_t>(i)]) ? 1 : 0;
  }
  EXPECT_EQ(LPlan.FConflicts, LConflicts);
  EXPECT_EQ(LList.ExecuteRenaming(), LConflicts);
  for (int i = 0; i < LList.Count(); ++i)
    EXPECT_EQ(LList[i].isRenamed(), !IsConflict(ABatch.FExpected[static_cast<size_t>(i)]))
        << "row " << i << ": " << LList[i].RenameErrorText().toStdString();
  std::map<QString, QByteArray> LAfter = SnapshotTree(AFolder);
  EXPECT_EQ(LAfter, ABatch.FAfter);
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(AFolder), LBefore);
}

} // namespace

TEST(RenamePlan, BatchesOnAFolderThatTellsCaseApart) {
  testsupport::TTempTree LTree;
  for (const TBatch &LBatch : CommonBatches())
    RunFileBatch(LTree.Path(QStringLiteral("batch")), LBatch);
  for (const TBatch &LBatch : CaseBatches(false))
    RunFileBatch(LTree.Path(QStringLiteral("batch")), LBatch);
}

TEST(RenamePlan, BatchesOnExfat) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  for (const TBatch &LBatch : CommonBatches())
    RunFileBatch(LExfat.Root() + QStringLiteral("/batch"), LBatch);
  for (const TBatch &LBatch : CaseBatches(true))
    RunFileBatch(LExfat.Root() + QStringLiteral("/batch"), LBatch);
}

TEST(RenamePlan, ExfatRefusesCharactersAndCountsUnitsNotBytes) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  using S = TPlanStatus;
  // 100 three-byte characters: 300 bytes, 100 units.
  const QString LLong(100, QChar(0x4E2D));
  const TBatch LBatch{"characters exFAT refuses, and a long name it takes",
                      {u"a"_s, u"b"_s, u"c"_s},
                      {{u"a"_s, u"what?"_s}, {u"b"_s, u"x:y"_s}, {u"c"_s, LLong}},
                      {S::InvalidName, S::InvalidName, S::Rename},
                      {{u"a"_s, "a"}, {u"b"_s, "b"}, {LLong, "c"}}};
  RunFileBatch(LExfat.Root() + QStringLiteral("/batch"), LBatch);
}

TEST(RenamePlan, FoldersFollowTheirNesting) {
  // A parent and its child renamed in one batch: the child's new path lies
  // under the parent's new name; a sibling swap and a chain in a subfolder.
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"p/a/f.txt"_s, "pa");
  LTree.WriteFile(u"p/b/f.txt"_s, "pb");
  LTree.WriteFile(u"q/n1/f.txt"_s, "n1");
  LTree.WriteFile(u"q/n2/f.txt"_s, "n2");
  const auto LBefore = SnapshotTree(LTree.Root());
  TFolderList LList;
  const std::pair<const char16_t *, const char16_t *> LRenames[] = {
      {u"p", u"P"}, {u"p/a", u"b"}, {u"p/b", u"a"}, {u"q/n1", u"n2"}, {u"q/n2", u"n3"}};
  for (const auto &[LPath, LNew] : LRenames) {
    ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(QString::fromUtf16(LPath))));
    LList[LList.Count() - 1]->SetNewName(QString::fromUtf16(LNew));
  }
  const TPlan &LPlan = LList.PlanRenaming();
  const TPlanStatus LExpected[] = {TPlanStatus::Rename, TPlanStatus::Swap, TPlanStatus::Swap,
                                   TPlanStatus::Waits, TPlanStatus::Rename};
  for (int i = 0; i < LList.Count(); ++i)
    EXPECT_STREQ(StatusName(LPlan.FEntries[static_cast<size_t>(i)].FStatus),
                 StatusName(LExpected[i]))
        << LList[i]->OldName().toStdString();
  EXPECT_EQ(LPlan.FConflicts, 0);
  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  const std::map<QString, QByteArray> LAfter = {{u"P"_s, "<dir>"},      {u"P/a"_s, "<dir>"},
                                                {u"P/a/f.txt"_s, "pb"}, {u"P/b"_s, "<dir>"},
                                                {u"P/b/f.txt"_s, "pa"}, {u"q"_s, "<dir>"},
                                                {u"q/n2"_s, "<dir>"},   {u"q/n2/f.txt"_s, "n1"},
                                                {u"q/n3"_s, "<dir>"},   {u"q/n3/f.txt"_s, "n2"}};
  EXPECT_EQ(SnapshotTree(LTree.Root()), LAfter);
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(RenamePlan, ACycleThatFailsHalfWayIsMovedBackAsAWhole) {
  // a -> b -> c -> a, where b cannot be moved (it is immutable): the cycle
  // goes back as a whole, and no temporary name is left.
  testsupport::TTempTree LTree;
  for (const char16_t *LName : {u"a", u"b", u"c"})
    LTree.WriteFile(QString::fromUtf16(LName), QString::fromUtf16(LName).toUtf8());
  const auto LBefore = SnapshotTree(LTree.Root());
  TFileList LList;
  const std::pair<const char16_t *, const char16_t *> LRenames[] = {
      {u"a", u"b"}, {u"b", u"c"}, {u"c", u"a"}};
  for (const auto &[LOld, LNew] : LRenames) {
    LList.AddFileInfo(std::make_unique<TFileInfo>(LTree.Path(QString::fromUtf16(LOld))));
    LList[LList.Count() - 1].SetNewName(QString::fromUtf16(LNew));
    LList[LList.Count() - 1].SetNewFileType(QString());
  }
  const TPlan &LPlan = LList.PlanRenaming();
  ASSERT_EQ(LPlan.FConflicts, 0);
  testsupport::TImmutableFile LStuck(LTree.Path(u"b"_s));
  if (!LStuck.Ok())
    GTEST_SKIP() << "the immutable flag cannot be set here (it needs root)";
  EXPECT_EQ(LList.ExecuteRenaming(), 3);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
  for (int i = 0; i < LList.Count(); ++i)
    EXPECT_FALSE(LList[i].isRenamed());
  EXPECT_EQ(LList[1].RenameErrorText(), u"Permission denied"_s);
  EXPECT_EQ(LList[0].RenameErrorText(), u"Not renamed: the swap with row 2 failed"_s);
  EXPECT_EQ(LList[2].RenameErrorText(), u"Not renamed: the swap with row 2 failed"_s);
}

namespace {

// Random batches: names drawn from a few letters in both cases, so that
// chains, cycles, duplicates and taken names come up often; some files of
// the folder are not listed and stand in the way. The prediction must equal
// the outcome: an item is renamed exactly when no conflict was predicted,
// each file ends where the plan says, and Rollback brings everything back.
void CompareRandomFileBatches(const QString &ARoot, bool ACaseInsensitive, unsigned ASeed,
                              int ARounds) {
  std::mt19937 LRandom(ASeed);
  const QString LLetters = u"abcdeABCDE"_s;
  const auto LName = [&] {
    QString LResult;
    const int LSize = 1 + static_cast<int>(LRandom() % 2);
    for (int i = 0; i < LSize; ++i)
      LResult += LLetters[static_cast<qsizetype>(LRandom() % LLetters.size())];
    if (LRandom() % 40 == 0)
      LResult = u"bad/name"_s;
    return LResult;
  };
  const auto LKey = [&](const QString &AName) {
    return ACaseInsensitive ? AName.toCaseFolded() : AName;
  };
  for (int LRound = 0; LRound < ARounds; ++LRound) {
    SCOPED_TRACE(LRound);
    const QString LFolder = ARoot + u"/random"_s;
    testsupport::RemoveTree(LFolder);
    ASSERT_TRUE(testsupport::MakePath(LFolder));
    // The files on disk, one per name as the file system tells names apart.
    std::map<QString, QString> LOnDisk; // key -> name
    const int LFiles = 2 + static_cast<int>(LRandom() % 8);
    for (int i = 0; i < LFiles; ++i) {
      const QString LNew = LName();
      if (!LNew.contains(u'/') && !LOnDisk.count(LKey(LNew)))
        LOnDisk[LKey(LNew)] = LNew;
    }
    for (const auto &[LKeyText, LFile] : LOnDisk)
      ASSERT_TRUE(testsupport::WriteFile(LFolder + u'/' + LFile, LFile.toUtf8()));
    const auto LBefore = SnapshotTree(LFolder);
    TFileList LList;
    for (const auto &[LKeyText, LFile] : LOnDisk) {
      if (LRandom() % 4 == 0)
        continue; // stays in the way
      LList.AddFileInfo(std::make_unique<TFileInfo>(LFolder + u'/' + LFile));
      LList[LList.Count() - 1].SetNewName(LName());
      LList[LList.Count() - 1].SetNewFileType(QString());
    }
    const std::vector<TPlanEntry> LPlan = LList.PlanRenaming().FEntries;
    LList.ExecuteRenaming();
    std::map<QString, QByteArray> LExpected = LBefore;
    for (int i = 0; i < LList.Count(); ++i) {
      const TFileInfo &LItem = LList[i];
      const bool LConflict = IsConflict(LPlan[static_cast<size_t>(i)].FStatus);
      EXPECT_EQ(LItem.isRenamed(), !LConflict)
          << LItem.OldName().toStdString() << " -> " << LItem.NewName().toStdString() << ": "
          << StatusName(LPlan[static_cast<size_t>(i)].FStatus) << ", "
          << LItem.RenameErrorText().toStdString();
      if (!LConflict)
        LExpected.erase(LItem.OldName());
    }
    for (int i = 0; i < LList.Count(); ++i)
      if (!IsConflict(LPlan[static_cast<size_t>(i)].FStatus))
        LExpected[LList[i].NewName()] = LList[i].OldName().toUtf8();
    EXPECT_EQ(SnapshotTree(LFolder), LExpected);
    EXPECT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_EQ(SnapshotTree(LFolder), LBefore);
    if (::testing::Test::HasFailure())
      return;
  }
}

// The same for folders in a small tree: two parents, each with a few
// subfolders, parents and children renamed in one batch.
void CompareRandomFolderBatches(const QString &ARoot, bool ACaseInsensitive, unsigned ASeed,
                                int ARounds) {
  std::mt19937 LRandom(ASeed);
  const QString LLetters = u"abcABC"_s;
  const auto LName = [&] {
    return QString(LLetters[static_cast<qsizetype>(LRandom() % LLetters.size())]);
  };
  const auto LKey = [&](const QString &AName) {
    return ACaseInsensitive ? AName.toCaseFolded() : AName;
  };
  for (int LRound = 0; LRound < ARounds; ++LRound) {
    SCOPED_TRACE(LRound);
    const QString LTop = ARoot + u"/tree"_s;
    testsupport::RemoveTree(LTop);
    std::vector<QString> LFolders;
    std::map<QString, int> LTaken;
    for (const QString &LParent : {u"p"_s, u"q"_s}) {
      for (int i = 0; i < 4; ++i) {
        const QString LChild = LName();
        if (LTaken[LParent + u'/' + LKey(LChild)]++)
          continue;
        const QString LPath = LParent + u'/' + LChild;
        ASSERT_TRUE(testsupport::WriteFile(
            (testsupport::MakePath(LTop + u'/' + LPath), LTop + u'/' + LPath + u"/f"_s),
            LPath.toUtf8()));
        LFolders.push_back(LPath);
      }
      LFolders.push_back(LParent);
    }
    const auto LBefore = SnapshotTree(LTop);
    TFolderList LList;
    for (const QString &LPath : LFolders) {
      if (LRandom() % 4 == 0)
        continue;
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTop + u'/' + LPath));
      LList[LList.Count() - 1]->SetNewName(LPath.size() == 1 ? LPath + LName() : LName());
    }
    const std::vector<TPlanEntry> LPlan = LList.PlanRenaming().FEntries;
    std::vector<bool> LConflict;
    for (const TPlanEntry &LEntry : LPlan)
      LConflict.push_back(IsConflict(LEntry.FStatus));
    std::vector<QString> LOldNames;
    for (int i = 0; i < LList.Count(); ++i)
      LOldNames.push_back(LList[i]->OldName() + u'@' + LList[i]->Location());
    LList.ExecuteRenaming();
    // Renaming sorts the list deepest first: find each item again.
    for (int i = 0; i < LList.Count(); ++i) {
      const TFolderInfo &LItem = *LList[i];
      for (size_t k = 0; k < LOldNames.size(); ++k) {
        if (LItem.Index() == static_cast<int>(k)) {
          EXPECT_EQ(LItem.isRenamed(), !LConflict[k])
              << LOldNames[k].toStdString() << " -> " << LItem.NewName().toStdString() << ": "
              << StatusName(LPlan[k].FStatus) << ", " << LItem.RenameErrorText().toStdString();
        }
      }
    }
    EXPECT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_EQ(SnapshotTree(LTop), LBefore);
    if (::testing::Test::HasFailure())
      return;
  }
}

} // namespace

TEST(RenamePlan, PredictionEqualsOutcomeOnRandomBatches) {
  testsupport::TTempTree LTree;
  CompareRandomFileBatches(LTree.Root(), false, 20150305, 300);
  CompareRandomFolderBatches(LTree.Root(), false, 1899, 150);
}

TEST(RenamePlan, PredictionEqualsOutcomeOnRandomBatchesOnExfat) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  CompareRandomFileBatches(LExfat.Root(), true, 20150306, 120);
  CompareRandomFolderBatches(LExfat.Root(), true, 1900, 60);
}
