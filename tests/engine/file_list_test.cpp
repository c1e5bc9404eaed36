#include "uFileInfo.h"

#include "TestSupport.h"
#include "uResourceString.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

// Readable failure messages for texts.
void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << AText.toStdString();
}

using namespace Qt::Literals::StringLiterals;
using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

QStringList Names(const TTempTree &ATree) {
  return QDir(ATree.Root())
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Appends one item per path and applies both masks to every item, as the
// main window does after adding files.
void Fill(TFileList &AList, const QStringList &APaths, const QString &ANameMask,
          const QString &AExtMask) {
  for (const QString &LPath : APaths)
    AList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  AList.SetFileNameMask(ANameMask, 0);
  AList.SetFileExtMask(AExtMask, 0);
}

QStringList NewNames(const TFileList &AList) {
  QStringList LNames;
  for (int i = 0; i < AList.Count(); ++i)
    LNames << AList[i].NewFullName();
  return LNames;
}

} // namespace

TEST(FileList, CheckInListFollowsAddDeleteAndClear) {
  TFileList LList;
  const QString LA = QStringLiteral("/nowhere/a.txt");
  const QString LB = QStringLiteral("/nowhere/b.txt");
  EXPECT_TRUE(LList.CheckInList(LA));
  LList.Add(std::make_unique<TFileInfo>(LA));
  LList.Add(std::make_unique<TFileInfo>(LB));
  EXPECT_FALSE(LList.CheckInList(LA));
  EXPECT_TRUE(LList.CheckInList(QStringLiteral("/nowhere/A.TXT")));
  EXPECT_TRUE(LList.CheckInList(QStringLiteral("/nowhere/./a.txt")));

  // The same path twice (only a caller that skips the check can do it): it
  // stays listed until both items are gone.
  LList.Add(std::make_unique<TFileInfo>(LA));
  LList.Delete(0);
  EXPECT_FALSE(LList.CheckInList(LA));
  LList.Delete(1);
  EXPECT_TRUE(LList.CheckInList(LA));
  EXPECT_FALSE(LList.CheckInList(LB));
  LList.Clear();
  EXPECT_EQ(LList.Count(), 0);
  EXPECT_TRUE(LList.CheckInList(LB));
}

TEST(FileList, CheckInListStaysRightThroughManyAddsAndDeletes) {
  TFileList LList;
  const auto LPath = [](int ANumber) {
    return QStringLiteral("/n/file_") + QString::number(ANumber) + QStringLiteral(".txt");
  };
  for (int i = 0; i < 3000; ++i)
    LList.Add(std::make_unique<TFileInfo>(LPath(i)));
  // Delete every third item, from the back so that positions stay valid.
  for (int i = 2999; i >= 0; --i)
    if (i % 3 == 0)
      LList.Delete(i);
  for (int i = 3000; i < 4000; ++i)
    LList.Add(std::make_unique<TFileInfo>(LPath(i)));
  EXPECT_EQ(LList.Count(), 3000);
  for (int i = 0; i < 4000; ++i)
    EXPECT_EQ(LList.CheckInList(LPath(i)), i < 3000 && i % 3 == 0) << i;
}

TEST(FileList, PositionsIndexesAndSort) {
  TFileList LList;
  for (const char16_t *LName : {u"/n/c.txt", u"/n/a.txt", u"/n/b.txt"})
    LList.AddFileInfo(std::make_unique<TFileInfo>(QString::fromUtf16(LName)));
  EXPECT_EQ(LList.Count(), 3);
  EXPECT_EQ(LList[2].Index(), 2);
  EXPECT_EQ(LList.Items(1)->OldName(), QStringLiteral("a.txt"));

  LList.Sort([](const TFileInfo &ALeft, const TFileInfo &ARight) {
    return ALeft.OldNameView() < ARight.OldNameView();
  });
  EXPECT_EQ(LList[0].OldName(), QStringLiteral("a.txt"));
  EXPECT_EQ(LList[2].OldName(), QStringLiteral("c.txt"));
  EXPECT_EQ(LList[0].Index(), 1); // the caller renumbers
  LList.ReindexFileInfo(5);
  EXPECT_EQ(LList[0].Index(), 1);
  LList.ReindexFileInfo(1);
  EXPECT_EQ(LList[0].Index(), 1);
  EXPECT_EQ(LList[1].Index(), 1);
  EXPECT_EQ(LList[2].Index(), 2);
  LList.ReindexFileInfo(0);
  EXPECT_EQ(LList[0].Index(), 0);

  const int LPosition = LList.Add(std::make_unique<TFileInfo>(QStringLiteral("/n/d.txt")));
  EXPECT_EQ(LPosition, 3);
  EXPECT_EQ(LList[3].Index(), 0); // Add leaves Index alone, AddFileInfo sets it
}

TEST(FileList, MasksFromAPositionCounterSettingsAndCounterTests) {
  TFileList LList;
  EXPECT_TRUE(LList.FileNameMask().isEmpty());
  EXPECT_TRUE(LList.FileExtMask().isEmpty());
  Fill(LList, {QStringLiteral("/n/a.txt"), QStringLiteral("/n/b.jpg"), QStringLiteral("/n/c")},
       QStringLiteral("[N]"), QStringLiteral("[E]"));
  EXPECT_EQ(NewNames(LList),
            (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.jpg"), QStringLiteral("c.")}));

  LList.SetCounter(10, 5, 3);
  EXPECT_EQ(LList[1].CounterStart(), 10);
  EXPECT_EQ(LList[1].CounterStep(), 5);
  EXPECT_EQ(LList[1].CntDigitNumber(), 3);
  EXPECT_EQ(NewNames(LList)[1], QStringLiteral("b.jpg")); // not rebuilt yet

  LList.SetFileNameMask(QStringLiteral("x[C]y"), 3);
  EXPECT_EQ(LList.FileNameMask(), QStringLiteral("x[C]y"));
  EXPECT_EQ(NewNames(LList)[0], QStringLiteral("a.txt"));
  LList.SetFileNameMask(QStringLiteral("x[C]y"), 1);
  LList.SetFileExtMask(QStringLiteral("[c]"), 2);
  EXPECT_EQ(NewNames(LList), (QStringList{QStringLiteral("a.txt"), QStringLiteral("x015y.jpg"),
                                          QStringLiteral("x020y.[c]")}));
  EXPECT_TRUE(LList.GetIsCounterInNameMask());
  EXPECT_FALSE(LList.GetisCounterInExtMask());
  LList.SetFileNameMask(QStringLiteral("[c]"), 3);
  LList.SetFileExtMask(QStringLiteral("[E][C]"), 3);
  EXPECT_FALSE(LList.GetIsCounterInNameMask());
  EXPECT_TRUE(LList.GetisCounterInExtMask());

  // An item added later starts with the counter settings 1, 1, 1.
  LList.AddFileInfo(std::make_unique<TFileInfo>(QStringLiteral("/n/d.txt")));
  LList.SetFileNameMask(QStringLiteral("[C]"), 3);
  LList.SetFileExtMask(QStringLiteral("[E]"), 3);
  EXPECT_EQ(LList[3].NewName(), QStringLiteral("4"));

  EXPECT_EQ(LList.SearchReplace_NewName(QStringLiteral("[C]"), QStringLiteral("-")), QString());
  EXPECT_EQ(NewNames(LList), (QStringList{QStringLiteral("a.txt"), QStringLiteral("x015y.jpg"),
                                          QStringLiteral("x020y.-"), QStringLiteral("4.txt")}));
}

TEST(FileList, EmptyListAndNothingRenamed) {
  TFileList LEmpty;
  EXPECT_EQ(LEmpty.ExecuteRenaming(), 0);
  EXPECT_EQ(LEmpty.ExecuteRollback(), 0);
  EXPECT_FALSE(LEmpty.HasRenamedFiles());

  TTempTree LTree;
  TFileList LList;
  Fill(LList, {LTree.WriteFile(QStringLiteral("a.txt"), "A")}, QStringLiteral("b"),
       QStringLiteral("[E]"));
  const auto LBefore = SnapshotTree(LTree.Root());
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileList, ACounterOntoTheNextItemsNameRenamesAsAChain) {
  // 1.txt -> 2.txt waits until 2.txt -> 3.txt has moved away.
  TTempTree LTree;
  TFileList LList;
  for (const QString &LPath : {LTree.WriteFile(QStringLiteral("1.txt"), "one"),
                               LTree.WriteFile(QStringLiteral("2.txt"), "two")})
    LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  LList.SetCounter(2, 1, 1);
  LList.SetFileNameMask(QStringLiteral("[C]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_TRUE(LList[0].isRenamed());
  EXPECT_TRUE(LList[1].isRenamed());
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("2.txt"), QStringLiteral("3.txt")}));
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("2.txt"))), "one");
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("3.txt"))), "two");

  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_FALSE(LList.HasRenamedFiles());
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("1.txt"))), "one");
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("2.txt"))), "two");
}

TEST(FileList, TwoItemsWithTheSameNewName) {
  TTempTree LTree;
  TFileList LList;
  Fill(LList,
       {LTree.WriteFile(QStringLiteral("a.txt"), "A"),
        LTree.WriteFile(QStringLiteral("b.txt"), "B")},
       QStringLiteral("same"), QStringLiteral("[E]"));
  EXPECT_EQ(LList.ExecuteRenaming(), 1);
  EXPECT_TRUE(LList[0].isRenamed());
  EXPECT_FALSE(LList[1].isRenamed());
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("b.txt"), QStringLiteral("same.txt")}));
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("same.txt"))), "A");
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
}

TEST(FileList, OneFileListedTwiceFailsTheSecondTime) {
  TTempTree LTree;
  TFileList LList;
  const QString LPath = LTree.WriteFile(QStringLiteral("a.txt"), "A");
  const QString LAlias = LTree.Root() + QStringLiteral("/./a.txt");
  ASSERT_TRUE(LList.CheckInList(LAlias));
  Fill(LList, {LPath, LAlias}, QStringLiteral("b"), QStringLiteral("[E]"));
  EXPECT_EQ(LList.ExecuteRenaming(), 1);
  EXPECT_EQ(LList[1].RenameErrorText(), rs::FileNotExist);
  EXPECT_EQ(Names(LTree), QStringList{QStringLiteral("b.txt")});
}

TEST(FileList, RollbackGivesBackANameThatALaterItemTook) {
  // The first item moves away from a.txt, the second then takes that name.
  // Rolling back the second first frees a.txt for the first.
  TTempTree LTree;
  TFileList LList;
  for (const QString &LPath : {LTree.WriteFile(QStringLiteral("a.txt"), "A"),
                               LTree.WriteFile(QStringLiteral("z.txt"), "Z")})
    LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  LList[0].SetNewName(QStringLiteral("b"));
  LList[0].SetNewFileType(QStringLiteral(".txt"));
  LList[1].SetNewName(QStringLiteral("a"));
  LList[1].SetNewFileType(QStringLiteral(".txt"));
  const auto LBefore = SnapshotTree(LTree.Root());
  EXPECT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("a.txt"))), "Z");
  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileList, AChainRollsBackInTheReverseOrderOfTheRenamesAlsoAfterASort) {
  // Sorted downwards and renumbered: n3 -> n4, n2 -> n3, n1 -> n2. Sorted
  // upwards again before the Rollback, the list order is no guide any more.
  TTempTree LTree;
  QStringList LPaths;
  for (const char *LName : {"n3.txt", "n2.txt", "n1.txt"})
    LPaths.append(LTree.WriteFile(QString::fromLatin1(LName), LName));
  const auto LBefore = SnapshotTree(LTree.Root());
  TFileList LList;
  for (const QString &LPath : LPaths)
    LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  LList.SetCounter(4, -1, 1);
  LList.SetFileNameMask(QStringLiteral("n[C]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("n4.txt"))), QByteArray("n3.txt"));
  LList.Sort(TFileSortLess{TFileSortKey::OldName, false});
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileList, ASortByAColumnOrdersAsItsComparisonDoes) {
  // Folders that are prefixes of others, letters in both cases, a name
  // shorter than another that starts the same, and characters beyond ASCII.
  const QStringList LPaths = {QStringLiteral("/w/ab/Zed.txt"), QStringLiteral("/w/AB/apple.txt"),
                              QStringLiteral("/w/a/b.txt"),    QStringLiteral("/w/a_b/a.txt"),
                              QStringLiteral("/w/ab/zed"),     QStringLiteral("/w/Ab c/é.txt"),
                              QStringLiteral("/w/ab/_x.txt"),  QStringLiteral("/w/abc/ZED.TXT"),
                              QStringLiteral("/w/ab/[1].txt"), QStringLiteral("/w/ab/Ärger.txt")};
  for (const TFileSortKey LKey :
       {TFileSortKey::OldName, TFileSortKey::NewName, TFileSortKey::Location}) {
    for (const bool LDown : {false, true}) {
      TFileList LList;
      Fill(LList, LPaths, QStringLiteral("[N]"), QStringLiteral("[E]"));
      const TFileSortLess LLess{LKey, LDown};
      LList.Sort(LLess);
      for (int i = 1; i < LList.Count(); ++i)
        EXPECT_FALSE(LLess(LList[i], LList[i - 1]))
            << static_cast<int>(LKey) << LDown << ' ' << LList[i - 1].FullFileName().toStdString()
            << " before " << LList[i].FullFileName().toStdString();
    }
  }
}

TEST(FileList, ALargeSortedListIsNamedAndPlannedByItsPositions) {
  // Enough items that the passes visit them in the order they lie in memory
  // once a sort has turned that order around: the names and the plan still
  // belong to the positions.
  TTempTree LTree;
  constexpr int CCount = 5000;
  TFileList LList;
  for (int i = 0; i < CCount; ++i)
    LList.AddFileInfo(std::make_unique<TFileInfo>(
        LTree.Path(QStringLiteral("f%1.txt").arg(i, 4, 10, QLatin1Char('0'))),
        TFileInfo::TUnread{}));
  // The new name the last item takes at the top of the list is taken.
  LTree.WriteFile(QStringLiteral("f4999_1.txt"));
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[N]_[C]");
  LList.ApplyRecipe(LRecipe, 0);
  LList.Sort(TFileSortLess{TFileSortKey::OldName, true});
  LList.ApplyRecipe(LRecipe, 0);
  for (int i = 0; i < CCount; ++i) {
    const QString LName =
        QStringLiteral("f%1_%2.txt").arg(CCount - 1 - i, 4, 10, QLatin1Char('0')).arg(i + 1);
    ASSERT_EQ(LList[i].NewFullName(), LName) << i;
    ASSERT_EQ(LList[i].Index(), i);
  }
  const TPlan &LPlan = LList.PlanRenaming();
  EXPECT_EQ(LPlan.FConflicts, 1);
  EXPECT_EQ(LPlan.FEntries[0].FStatus, TPlanStatus::TargetExists);
  EXPECT_EQ(LPlan.FEntries[1].FStatus, TPlanStatus::Rename);
  EXPECT_EQ(LPlan.FEntries[CCount - 1].FStatus, TPlanStatus::Rename);
}

// A link is an entry like any other: renamed and moved back as itself,
// never followed, whether it leads to a file, to a folder or to nothing.
TEST(FileListLinks, LinksAreRenamedAndRolledBackAsThemselves) {
  TTempTree LTree;
  LTree.WriteFile(u"target.txt"_s, "t");
  LTree.MakeDir(u"folder"_s);
  struct TLink {
    const char16_t *FName;
    const char16_t *FTarget;
  };
  const TLink LLinks[] = {{u"dangling.txt", u"/nonexistent-varnwell-target"},
                          {u"to-file.txt", u"target.txt"},
                          {u"to-folder", u"folder"}};
  TFileList LList;
  for (const TLink &LLink : LLinks) {
    const QString LPath = LTree.Path(QString::fromUtf16(LLink.FName));
    ASSERT_EQ(::symlink(QFile::encodeName(QString::fromUtf16(LLink.FTarget)).constData(),
                        QFile::encodeName(LPath).constData()),
              0);
    LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  }
  const auto LBefore = testsupport::SnapshotTree(LTree.Root());
  TNameRecipe LRecipe;
  LRecipe.FNameMask = u"[N]_x"_s;
  LList.ApplyRecipe(LRecipe, 0);
  const TPlan &LPlan = LList.PlanRenaming();
  for (const TPlanEntry &LEntry : LPlan.FEntries)
    EXPECT_EQ(LEntry.FStatus, TPlanStatus::Rename);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  for (int i = 0; i < LList.Count(); ++i) {
    QFileInfo LMoved(LList.TargetPath(i));
    EXPECT_TRUE(LMoved.isSymLink()) << LList.TargetPath(i).toStdString();
  }
  // The targets did not move.
  EXPECT_TRUE(testsupport::Exists(LTree.Path(u"target.txt"_s)));
  EXPECT_TRUE(testsupport::Exists(LTree.Path(u"folder"_s)));
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
}
