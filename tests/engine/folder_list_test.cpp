// The folder list: duplicate-free collection, the bulk operations, and
// renaming and rollback on real temporary trees.
#include "TestSupport.h"
#include "uFolderInfo.h"
#include "uResourceString.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <map>

using namespace Qt::Literals::StringLiterals;

void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << '"' << AText.toStdString() << '"';
}

namespace {

TFolderEntry Entry(const QString &AName) {
  return TFolderEntry{AName, QDateTime()};
}

// Adds every subfolder below ARoot, as the folder page does; returns how many
// were added.
int AddTree(TFolderList &AList, const QString &ARoot) {
  int LAdded = 0;
  ScanSubFolders(ARoot, [&](const QString &APath, const TFolderEntry &AFileInfo) {
    LAdded += AList.AddFolderInfoIfNeed(APath, AFileInfo) ? 1 : 0;
  });
  return LAdded;
}

// The item whose old name is AOldName.
TFolderInfo *Find(const TFolderList &AList, const QString &AOldName) {
  for (int i = 0; i < AList.Count(); ++i)
    if (AList[i]->OldName() == AOldName)
      return AList[i];
  ADD_FAILURE() << "no item " << AOldName.toStdString();
  return nullptr;
}

bool IsDir(const QString &APath) {
  return QDir(APath).exists();
}

// ---------------------------------------------------------------------------
// The dictionary.

TEST(FolderList, TheSameTreeAddedTwiceAddsNothing) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"a/b/c"_s);
  LTree.MakeDir(u"d"_s);
  TFolderList LList;
  EXPECT_EQ(AddTree(LList, LTree.Root()), 4);
  EXPECT_EQ(AddTree(LList, LTree.Root()), 0);
  // The chosen folder given with a final delimiter names the same folders.
  EXPECT_EQ(AddTree(LList, LTree.Root() + u'/'), 0);
  EXPECT_EQ(LList.Count(), 4);
}

TEST(FolderList, KeysAreWholePathsComparedExactly) {
  TFolderList LList;
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/Foo"_s, Entry(u"Bar"_s)));
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/"_s, Entry(u"FooBar"_s)));
  // The same full name reached with a final delimiter on the location.
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(u"/Foo/"_s, Entry(u"Bar"_s)));
  // Parents that differ only in letter case are different keys.
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/foo"_s, Entry(u"Bar"_s)));
  ASSERT_EQ(LList.Count(), 3);
  EXPECT_EQ(LList[0]->Index(), 0);
  EXPECT_EQ(LList[1]->Index(), 1);
  EXPECT_EQ(LList[2]->Index(), 2);
  EXPECT_EQ(LList[1]->FullFolderName(), u"/FooBar"_s);
}

TEST(FolderList, ASubfolderChosenAgainAsAFolderIsListedOnce) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"Photos/2015"_s);
  TFolderList LList;
  EXPECT_EQ(AddTree(LList, LTree.Path(u"Photos"_s)), 1);
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"Photos/2015"_s)));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"Photos/2015/"_s)));
  EXPECT_EQ(LList.Count(), 1);

  // And the other way round: chosen first, met by the walk afterwards.
  TFolderList LOther;
  EXPECT_TRUE(LOther.AddFolderInfoIfNeed(LTree.Path(u"Photos/2015/"_s)));
  EXPECT_EQ(AddTree(LOther, LTree.Path(u"Photos"_s)), 0);
  ASSERT_EQ(LOther.Count(), 1);
  EXPECT_EQ(LOther[0]->Location(), LTree.Path(u"Photos"_s));
  EXPECT_EQ(LOther[0]->OldName(), u"2015"_s);
}

TEST(FolderList, AChosenFolderIsAddedOnlyWhenItIsARealVisibleFolder) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"real"_s);
  LTree.MakeDir(u".hidden"_s);
  LTree.WriteFile(u"file"_s, "x");
  ASSERT_TRUE(QFile::link(LTree.Path(u"real"_s), LTree.Path(u"link"_s)));
  TFolderList LList;
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(u"/"_s));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(u""_s));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u".hidden"_s)));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"link"_s)));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"file"_s)));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"missing"_s)));
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(LTree.Path(u"real/.."_s)));
  EXPECT_EQ(LList.Count(), 0);
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"real"_s)));
  ASSERT_EQ(LList.Count(), 1);
  EXPECT_EQ(LList[0]->FullFolderName(), LTree.Path(u"real"_s));
  // Its time comes from the folder itself, not the zero date.
  EXPECT_FALSE(LList[0]->DateStr().contains(u"1899"_s));
}

TEST(FolderList, DeletingOrClearingLetsAFolderBeAddedAgain) {
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"a"_s)));
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"b"_s)));
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"c"_s)));
  LList.Delete(1);
  ASSERT_EQ(LList.Count(), 2);
  EXPECT_EQ(LList[1]->OldName(), u"c"_s);
  EXPECT_FALSE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"a"_s)));
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"b"_s)));
  LList.ClearList();
  EXPECT_EQ(LList.Count(), 0);
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"a"_s)));
  EXPECT_TRUE(LList.AddFolderInfoIfNeed(u"/p"_s, Entry(u"c"_s)));
}

// ---------------------------------------------------------------------------
// Bulk operations.

TEST(FolderList, MaskCounterAndIndexFromAPosition) {
  TFolderList LList;
  for (const QString &LName : {u"a"_s, u"b"_s, u"c"_s, u"d"_s})
    LList.AddFolderInfoIfNeed(u"/p"_s, Entry(LName));
  EXPECT_FALSE(LList.GetIsCounterInNameMask());

  LList.SetFolderNameMask(u"[N]-[C]"_s, 2);
  EXPECT_EQ(LList.FolderNameMask(), u"[N]-[C]"_s);
  EXPECT_TRUE(LList.GetIsCounterInNameMask());
  EXPECT_EQ(LList[1]->NewName(), u"b"_s);
  EXPECT_EQ(LList[2]->NewName(), u"c-3"_s);
  EXPECT_EQ(LList[3]->NewName(), u"d-4"_s);

  // A position at the end stores the mask and changes no name.
  LList.SetFolderNameMask(u"[c]"_s, 4);
  EXPECT_EQ(LList.FolderNameMask(), u"[c]"_s);
  EXPECT_FALSE(LList.GetIsCounterInNameMask());
  EXPECT_EQ(LList[3]->NewName(), u"d-4"_s);

  // The counter settings reach the items; names wait for the next mask.
  LList.SetCounter(10, 5, 3);
  EXPECT_EQ(LList[3]->NewName(), u"d-4"_s);
  LList.SetFolderNameMask(u"[C]"_s, 0);
  EXPECT_EQ(LList[0]->NewName(), u"010"_s);
  EXPECT_EQ(LList[3]->NewName(), u"025"_s);

  LList.Delete(0);
  LList.ReindexFolderInfo(0);
  LList.SetFolderNameMask(u"[C]"_s, 0);
  EXPECT_EQ(LList[0]->NewName(), u"010"_s);
  EXPECT_EQ(LList[2]->Index(), 2);
  EXPECT_EQ(LList[2]->NewName(), u"020"_s);

  LList.SearchReplace_NewName(u"0"_s, u"o"_s);
  EXPECT_EQ(LList[1]->NewName(), u"o15"_s);
}

TEST(FolderList, ASortByAColumnOrdersAsItsComparisonDoes) {
  // Locations that are prefixes of others, letters in both cases, a name
  // shorter than another that starts the same, characters beyond ASCII, and
  // new names that differ from the old ones.
  const std::vector<std::pair<QString, QString>> LFolders = {
      {u"/w/ab"_s, u"Zed"_s},       {u"/w/AB"_s, u"apple"_s}, {u"/w/a"_s, u"b"_s},
      {u"/w/a_b"_s, u"a"_s},        {u"/w/ab"_s, u"zed"_s},   {u"/w/Ab c"_s, u"\u00e9"_s},
      {u"/w/ab"_s, u"_x"_s},        {u"/w/abc"_s, u"ZED"_s},  {u"/w/ab"_s, u"[1]"_s},
      {u"/w/ab"_s, u"\u00c4rger"_s}};
  for (const TFolderSortKey LKey :
       {TFolderSortKey::OldName, TFolderSortKey::NewName, TFolderSortKey::Location}) {
    for (const bool LDown : {false, true}) {
      TFolderList LList;
      for (const auto &[LLocation, LName] : LFolders)
        LList.Add(std::make_unique<TFolderInfo>(LLocation, Entry(LName)));
      LList.ReindexFolderInfo(0);
      LList.SetFolderNameMask(u"[C]-[N]"_s, 0);
      const TFolderSortLess LLess{LKey, LDown};
      LList.Sort(LLess);
      for (int i = 1; i < LList.Count(); ++i)
        EXPECT_FALSE(LLess(*LList[i], *LList[i - 1]))
            << static_cast<int>(LKey) << LDown << ' '
            << LList[i - 1]->FullFolderName().toStdString() << " before "
            << LList[i]->FullFolderName().toStdString();
    }
  }
}

TEST(FolderList, ALargeSortedListIsNamedAndPlannedByItsPositions) {
  // Enough folders that the passes visit them in the order they lie in
  // memory once a sort has turned that order around: the names, the indexes
  // and the plan still belong to the positions.
  testsupport::TTempTree LTree;
  constexpr int CCount = 5000;
  TFolderList LList;
  for (int i = 0; i < CCount; ++i)
    LList.Add(std::make_unique<TFolderInfo>(LTree.Root(),
                                            Entry(u"f%1"_s.arg(i, 4, 10, QLatin1Char('0')))));
  // The new name the last folder takes at the top of the list is taken.
  LTree.MakeDir(u"f4999-1"_s);
  TNameRecipe LRecipe;
  LRecipe.FNameMask = u"[N]-[C]"_s;
  LList.ApplyRecipe(LRecipe, 0);
  LList.Sort(TFolderSortLess{TFolderSortKey::OldName, true});
  LList.ApplyRecipe(LRecipe, 0);
  for (int i = 0; i < CCount; ++i) {
    ASSERT_EQ(LList[i]->NewName(),
              u"f%1-%2"_s.arg(CCount - 1 - i, 4, 10, QLatin1Char('0')).arg(i + 1))
        << i;
    ASSERT_EQ(LList[i]->Index(), i);
  }
  const TPlan &LPlan = LList.PlanRenaming();
  EXPECT_EQ(LPlan.FConflicts, 1);
  EXPECT_EQ(LPlan.FEntries[0].FStatus, TPlanStatus::TargetExists);
  EXPECT_EQ(LPlan.FEntries[1].FStatus, TPlanStatus::Rename);
  EXPECT_EQ(LPlan.FEntries[CCount - 1].FStatus, TPlanStatus::Rename);
}

// ---------------------------------------------------------------------------
// Renaming and rollback on disk.

TEST(FolderList, ParentAndChildRenameAndRollBackInEitherOrder) {
  for (const bool LParentFirst : {true, false}) {
    testsupport::TTempTree LTree;
    LTree.WriteFile(u"A/c/inner.txt"_s, "inner");
    LTree.WriteFile(u"A/top.txt"_s, "top");
    const auto LBefore = testsupport::SnapshotTree(LTree.Root());
    TFolderList LList;
    if (LParentFirst) {
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"A"_s)));
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"A/c"_s)));
    } else {
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"A/c"_s)));
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"A"_s)));
    }
    Find(LList, u"A"_s)->SetNewName(u"X"_s);
    Find(LList, u"c"_s)->SetNewName(u"d"_s);

    EXPECT_EQ(LList.ExecuteRenaming(), 0);
    EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"X/d/inner.txt"_s)), "inner");
    EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"X/top.txt"_s)), "top");
    EXPECT_FALSE(IsDir(LTree.Path(u"A"_s)));
    EXPECT_EQ(Find(LList, u"c"_s)->Location(), LTree.Path(u"X"_s));
    EXPECT_EQ(Find(LList, u"c"_s)->FullFolderName(), LTree.Path(u"X/d"_s));
    EXPECT_TRUE(LList.HasRenamedFolders());

    EXPECT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
    EXPECT_EQ(Find(LList, u"c"_s)->Location(), LTree.Path(u"A"_s));
    EXPECT_FALSE(LList.HasRenamedFolders());
  }
}

TEST(FolderList, AVanishedFolderFailsAndTheOthersAreRenamed) {
  testsupport::TTempTree LTree;
  TFolderList LList;
  for (const QString &LName : {u"one"_s, u"two"_s, u"three"_s}) {
    LTree.MakeDir(LName);
    ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Root(), Entry(LName)));
  }
  LList.SetFolderNameMask(u"[N]_new"_s, 0);
  ASSERT_TRUE(QDir(LTree.Path(u"two"_s)).removeRecursively());

  EXPECT_EQ(LList.ExecuteRenaming(), 1);
  EXPECT_TRUE(IsDir(LTree.Path(u"one_new"_s)));
  EXPECT_TRUE(IsDir(LTree.Path(u"three_new"_s)));
  TFolderInfo *LTwo = Find(LList, u"two"_s);
  EXPECT_FALSE(LTwo->isRenamed());
  EXPECT_EQ(LTwo->RenameErrorText(), u"Directory not exist"_s);
  EXPECT_FALSE(IsDir(LTree.Path(u"two_new"_s)));

  // Rollback skips the failed item and forgets its reason.
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_TRUE(LTwo->RenameErrorText().isEmpty());
  EXPECT_TRUE(IsDir(LTree.Path(u"one"_s)));
  EXPECT_TRUE(IsDir(LTree.Path(u"three"_s)));
}

TEST(FolderList, SomethingElseInTheFoldersPlaceIsNeverMoved) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"file"_s);
  LTree.MakeDir(u"link"_s);
  LTree.MakeDir(u"elsewhere"_s);
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"file"_s)));
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"link"_s)));
  // Between collecting and renaming, a file and a link take the folders' places.
  ASSERT_TRUE(QDir(LTree.Root()).rmdir(u"file"_s));
  ASSERT_TRUE(QDir(LTree.Root()).rmdir(u"link"_s));
  LTree.WriteFile(u"file"_s, "data");
  ASSERT_TRUE(QFile::link(LTree.Path(u"elsewhere"_s), LTree.Path(u"link"_s)));
  const auto LBefore = testsupport::SnapshotTree(LTree.Root());
  LList.SetFolderNameMask(u"[N]_new"_s, 0);

  EXPECT_EQ(LList.ExecuteRenaming(), 2);
  EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
  EXPECT_EQ(Find(LList, u"file"_s)->RenameErrorText(), u"Directory not exist"_s);
  EXPECT_FALSE(Find(LList, u"link"_s)->isRenamed());
}

TEST(FolderList, AChangeOfLetterCaseOnlySucceeds) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"photos/p.jpg"_s, "jpg");
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"photos"_s)));
  LList[0]->SetNewName(u"Photos"_s);
  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(QDir(LTree.Root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{u"Photos"_s});
  EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"Photos/p.jpg"_s)), "jpg");
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(QDir(LTree.Root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{u"photos"_s});
}

TEST(FolderList, ANameThatIsNoSingleNameFailsWithoutTouchingTheDisk) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"sub/keep/x.txt"_s, "x");
  const auto LBefore = testsupport::SnapshotTree(LTree.Root());
  const QString LNames[] = {u""_s,           u"."_s,       u".."_s,
                            u"../escaped"_s, u"keep/in"_s, u"a"_s + QChar(0) + u"b"_s};
  for (const QString &LName : LNames) {
    TFolderList LList;
    ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"sub/keep"_s)));
    LList[0]->SetNewName(LName);
    EXPECT_EQ(LList.ExecuteRenaming(), 1);
    EXPECT_FALSE(LList[0]->isRenamed());
    EXPECT_EQ(LList[0]->RenameErrorText(), u"Invalid file name"_s);
    EXPECT_EQ(LList[0]->FullFolderName(), LTree.Path(u"sub/keep"_s));
    EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
  }
}

TEST(FolderList, AnExistingTargetIsNeverReplaced) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"a/mine.txt"_s, "mine");
  LTree.WriteFile(u"b/theirs.txt"_s, "theirs");
  LTree.MakeDir(u"c"_s);
  LTree.WriteFile(u"target-file"_s, "file");
  const auto LBefore = testsupport::SnapshotTree(LTree.Root());
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"a"_s)));
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"c"_s)));
  LList[0]->SetNewName(u"b"_s);           // an existing folder with content
  LList[1]->SetNewName(u"target-file"_s); // an existing file

  EXPECT_EQ(LList.ExecuteRenaming(), 2);
  EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
  for (int i = 0; i < LList.Count(); ++i) {
    EXPECT_FALSE(LList[i]->isRenamed());
    EXPECT_EQ(LList[i]->RenameErrorText(), u"Folder already exists"_s);
  }
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
}

TEST(FolderList, AFolderThatKeepsItsNameCountsAsRenamed) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"same"_s);
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"same"_s)));
  LList.SetFolderNameMask(u"[N]"_s, 0);
  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_TRUE(LList[0]->isRenamed());
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_FALSE(LList[0]->isRenamed());
  EXPECT_TRUE(IsDir(LTree.Path(u"same"_s)));
}

TEST(FolderList, RenamingOrdersDeepestFirstAndKeepsIndexes) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"a/b/c"_s);
  LTree.MakeDir(u"d/e"_s);
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"a"_s)));
  ASSERT_EQ(AddTree(LList, LTree.Root()), 4);
  std::map<QString, int> LIndexBefore;
  for (int i = 0; i < LList.Count(); ++i)
    LIndexBefore[LList[i]->OldName()] = LList[i]->Index();
  LList.SetFolderNameMask(u"[N][C]"_s, 0);

  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  for (int i = 1; i < LList.Count(); ++i)
    EXPECT_GE(LList[i - 1]->Level(), LList[i]->Level());
  EXPECT_EQ(LList[0]->OldName(), u"c"_s);
  for (int i = 0; i < LList.Count(); ++i) {
    EXPECT_EQ(LList[i]->Index(), LIndexBefore[LList[i]->OldName()]);
    EXPECT_TRUE(IsDir(LList[i]->FullFolderName())) << LList[i]->FullFolderName().toStdString();
  }
  // The walk's order decides the counters; "a" was added first.
  const auto LNew = [&LIndexBefore](const QString &AName) {
    return AName + QString::number(LIndexBefore[AName] + 1);
  };
  EXPECT_EQ(LNew(u"a"_s), u"a1"_s);
  EXPECT_TRUE(IsDir(LTree.Path(LNew(u"a"_s) + u'/' + LNew(u"b"_s) + u'/' + LNew(u"c"_s))));
  EXPECT_TRUE(IsDir(LTree.Path(LNew(u"d"_s) + u'/' + LNew(u"e"_s))));
}

TEST(FolderList, LocationsBesideAMovedFolderStayAsTheyWere) {
  // Names that sort right before and after "A/" in code-unit order: "A!x"
  // and "A.b" before the delimiter, "A0" just after it, "AB" further on.
  testsupport::TTempTree LTree;
  for (const QString &LPath : {u"A/c/d"_s, u"A!x/c"_s, u"A.b/c"_s, u"A0/c"_s, u"AB/c"_s})
    LTree.WriteFile(LPath + u"/f.txt"_s, LPath.toUtf8());
  const auto LBefore = testsupport::SnapshotTree(LTree.Root());
  TFolderList LList;
  // A chosen with a final delimiter, as a dialog may return it: its children
  // get the location ".../A/".
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"A/"_s)));
  ASSERT_EQ(AddTree(LList, LTree.Path(u"A/"_s)), 2);
  EXPECT_EQ(Find(LList, u"d"_s)->Location(), LTree.Path(u"A/c"_s));
  ASSERT_EQ(AddTree(LList, LTree.Root()), 8);
  LList.SetFolderNameMask(u"[N]_r"_s, 0);

  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  for (int i = 0; i < LList.Count(); ++i) {
    const TFolderInfo &LItem = *LList[i];
    EXPECT_TRUE(IsDir(LItem.FullFolderName())) << LItem.FullFolderName().toStdString();
    EXPECT_FALSE(LItem.Location().contains(u"/A/"_s) || LItem.Location().endsWith(u"/A"_s));
  }
  EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"A_r/c_r/d_r/f.txt"_s)), "A/c/d");
  EXPECT_EQ(Find(LList, u"d"_s)->Location(), LTree.Path(u"A_r/c_r"_s));
  EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"A0_r/c_r/f.txt"_s)), "A0/c");

  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
}

TEST(FolderList, AFailedRollbackKeepsTheItemRenamedAndTheOthersComeBack) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"P/k/x.txt"_s, "x");
  TFolderList LList;
  ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(u"P"_s)));
  ASSERT_EQ(AddTree(LList, LTree.Path(u"P"_s)), 1);
  Find(LList, u"P"_s)->SetNewName(u"Q"_s);
  Find(LList, u"k"_s)->SetNewName(u"m"_s);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  // Someone takes the old name of the child meanwhile.
  LTree.MakeDir(u"Q/k"_s);

  EXPECT_EQ(LList.ExecuteRollback(), 1);
  TFolderInfo *LChild = Find(LList, u"k"_s);
  EXPECT_TRUE(LChild->isRenamed());
  // The parent came back; the child stays under its new name inside it.
  EXPECT_FALSE(Find(LList, u"P"_s)->isRenamed());
  EXPECT_EQ(LChild->FullFolderName(), LTree.Path(u"P/m"_s));
  EXPECT_EQ(testsupport::ReadFile(LTree.Path(u"P/m/x.txt"_s)), "x");
  EXPECT_TRUE(IsDir(LTree.Path(u"P/k"_s)));
}

} // namespace

TEST(FolderList, ChainsRollBackInOneGo) {
  // Each row renames a list of folders of one level in list order; the
  // rename of one takes the old name of the next, so only the reverse order
  // of the renames can undo it.
  struct TCase {
    const char *FTitle;
    std::vector<QString> FNames; // in list order
    int FStart;
    int FStep;
  };
  const TCase LCases[] = {
      {"a shifted renumbering, sorted downwards",
       {u"n12"_s, u"n11"_s, u"n10"_s, u"n9"_s, u"n8"_s, u"n7"_s, u"n6"_s, u"n5"_s, u"n4"_s, u"n3"_s,
        u"n2"_s, u"n1"_s},
       13,
       -1},
      {"a chain across parents and children", {u"p/n2"_s, u"p/n1"_s, u"p"_s}, 3, -1},
  };
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FTitle);
    testsupport::TTempTree LTree;
    for (const QString &LName : LCase.FNames)
      LTree.WriteFile(LName + u"/f.txt"_s, LName.toUtf8());
    const auto LBefore = testsupport::SnapshotTree(LTree.Root());
    TFolderList LList;
    for (const QString &LName : LCase.FNames)
      ASSERT_TRUE(LList.AddFolderInfoIfNeed(LTree.Path(LName)));
    LList.SetCounter(LCase.FStart, LCase.FStep, 1);
    LList.SetFolderNameMask(u"n[C]"_s, 0);
    ASSERT_EQ(LList.ExecuteRenaming(), 0);
    EXPECT_NE(testsupport::SnapshotTree(LTree.Root()), LBefore);
    ASSERT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
    EXPECT_FALSE(LList.HasRenamedFolders());
  }
}
