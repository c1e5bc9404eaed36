// The command line's own store of files against the window's file list: for
// the same tree and recipe both must show the same names, plan the same
// statuses and record the same journal, since a script sees one and a person
// the other.
#include "uCliFileBatch.h"
#include "uFileInfo.h"
#include "uFolderWalk.h"
#include "uJournal.h"
#include "uProgramFiles.h"

#include "platform/uPlatformFs.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::TTempTree;

namespace {

// A tree with the names that bend the rules: hidden entries, no extension,
// several dots, letter case, a byte that is not UTF-8, a subfolder and a
// link to a folder that new names may run into, links to files and to
// nothing, and a file whose time a mask shows.
void MakeTree(TTempTree &ATree) {
  for (const QString &LName :
       {u"a.txt"_s, u"B.txt"_s, u"c.TXT"_s, u".dot"_s, u".dot.conf"_s, u"sp ace.txt"_s, u"noext"_s,
        u"x.y.z"_s, u"1"_s, u"2"_s, u"sub/a.txt"_s, u"sub/deep/q.jpg"_s, u".hid/h.txt"_s, u"Z/zz"_s,
        u"settings.ini"_s})
    ATree.WriteFile(LName, "x");
  ASSERT_TRUE(testsupport::WriteFile(ATree.Path(u"bad"_s) + QChar(0xDCFF) + u".txt"_s, "x"));
  // Links that lead where they lead in any copy of the tree.
  for (const auto &[LTarget, LLink] : {std::pair{"sub", "linkdir"}, std::pair{"a.txt", "linkfile"},
                                       std::pair{"nowhere", "dangling"}})
    ASSERT_EQ(
        ::symlink(LTarget,
                  testsupport::NativeBytes(ATree.Path(QString::fromLatin1(LLink))).constData()),
        0);
  // Every entry (a link as itself) has a time of its own making, so that two
  // trees made by this are alike to the millisecond; x.y.z an older one.
  for (const auto &[LPath, LContent] : testsupport::SnapshotTree(ATree.Root())) {
    const bool LOlder = LPath.endsWith(u"/x.y.z"_s);
    const timespec LTimes[2] = {{LOlder ? 1425564429 : 1577934245, 0},
                                {LOlder ? 1425564429 : 1577934245, 123000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, testsupport::NativeBytes(ATree.Path(LPath)).constData(), LTimes,
                          AT_SYMLINK_NOFOLLOW),
              0)
        << LPath.toStdString();
  }
}

struct TRecipeCase {
  const char *FWhat;
  std::function<void(TNameRecipe &)> FSet;
};

std::vector<TRecipeCase> RecipeCases() {
  return {
      {"the old name and a tail",
       [](TNameRecipe &R) {
         R.FNameMask = u"[N]_x"_s;
       }},
      {"an empty name",
       [](TNameRecipe &R) {
         R.FNameMask = QString();
       }},
      {"one name for all",
       [](TNameRecipe &R) {
         R.FNameMask = u"a"_s;
       }},
      {"the name of a subfolder",
       [](TNameRecipe &R) {
         R.FNameMask = u"sub"_s;
         R.FExtMask = QString();
       }},
      {"the name of a link to a folder",
       [](TNameRecipe &R) {
         R.FNameMask = u"linkdir"_s;
         R.FExtMask = QString();
       }},
      {"the name of a file left out as the program's",
       [](TNameRecipe &R) {
         R.FNameMask = u"settings"_s;
         R.FExtMask = u"ini"_s;
       }},
      {"a counter running backwards: 1 and 2 swap",
       [](TNameRecipe &R) {
         R.FNameMask = u"[C]"_s;
         R.FCounterStart = 5;
         R.FCounterStep = -1;
       }},
      {"a padded counter and a new extension",
       [](TNameRecipe &R) {
         R.FNameMask = u"f[C]"_s;
         R.FCounterDigits = 3;
         R.FExtMask = u"[E]x"_s;
       }},
      {"an extension of a dot alone",
       [](TNameRecipe &R) {
         R.FExtMask = u"."_s;
       }},
      {"search and replace over the dots",
       [](TNameRecipe &R) {
         R.FSearch = u"."_s;
         R.FReplace = u"_"_s;
       }},
      {"an empty name, and a search that finds nothing: the extension leads",
       [](TNameRecipe &R) {
         R.FNameMask = QString();
         R.FSearch = u"zz"_s;
         R.FReplace = u"y"_s;
       }},
      {"a regular expression that makes a dot",
       [](TNameRecipe &R) {
         R.FSearch = u"^(.)"_s;
         R.FReplace = u"$1."_s;
         R.FRegex = true;
       }},
      {"all in lower",
       [](TNameRecipe &R) {
         R.FCase = TCaseRule::Lower;
       }},
      {"all in upper",
       [](TNameRecipe &R) {
         R.FCase = TCaseRule::Upper;
       }},
      {"first letter up",
       [](TNameRecipe &R) {
         R.FNameMask = u"x [N]"_s;
         R.FCase = TCaseRule::FirstLetter;
       }},
      {"each word up",
       [](TNameRecipe &R) {
         R.FNameMask = u"x [N] y"_s;
         R.FCase = TCaseRule::Words;
       }},
      {"the file's date and time",
       [](TNameRecipe &R) {
         R.FNameMask = u"[YMD]_[hms]_[N]"_s;
       }},
      {"a name too long",
       [](TNameRecipe &R) {
         R.FNameMask = QString(300, u'n');
       }},
  };
}

// The program's own files of the fixture: one file of the tree.
TProgramPaths ProgramPathsOf(const TTempTree &ATree) {
  return TProgramPaths({}, {ATree.Path(u"settings.ini"_s)});
}

// The files of the tree as the window lists them, named by ARecipe.
void FillList(TFileList &AList, const TTempTree &ATree, const TNameRecipe &ARecipe) {
  const TProgramPaths LProgram = ProgramPathsOf(ATree);
  for (const QString &LPath : CollectFolderFiles(ATree.Root()))
    if (!LProgram.HoldsFile(LPath))
      AList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  AList.ApplyRecipe(ARecipe, 0);
}

// The same files in the command line's store.
void FillBatch(TCliFileBatch &ABatch, const TTempTree &ATree, const TNameRecipe &ARecipe,
               std::vector<QString> &ALeftOut) {
  std::vector<TUnreadable> LUnreadable;
  ABatch.AddTree(
      ATree.Root(), ProgramPathsOf(ATree),
      [&ALeftOut](const QString &APath) { ALeftOut.push_back(APath); }, LUnreadable);
  EXPECT_TRUE(LUnreadable.empty());
  ABatch.ApplyRecipe(ARecipe);
}

TEST(CliFileBatch, NamesAndPlansEveryFileAsTheWindowsFileListDoes) {
  TTempTree LTree;
  MakeTree(LTree);
  for (const TRecipeCase &LCase : RecipeCases()) {
    SCOPED_TRACE(LCase.FWhat);
    TNameRecipe LRecipe;
    LCase.FSet(LRecipe);
    TFileList LList;
    FillList(LList, LTree, LRecipe);
    TCliFileBatch LBatch;
    std::vector<QString> LLeftOut;
    FillBatch(LBatch, LTree, LRecipe, LLeftOut);
    EXPECT_EQ(LLeftOut, std::vector<QString>{LTree.Path(u"settings.ini"_s)});
    ASSERT_EQ(LBatch.Count(), LList.Count());
    const TPlan &LListPlan = LList.PlanRenaming();
    const TPlan &LBatchPlan = LBatch.Plan();
    for (int i = 0; i < LList.Count(); ++i) {
      SCOPED_TRACE(LList.CurrentPath(i).toStdString());
      EXPECT_EQ(LBatch.OldPath(i), LList.CurrentPath(i));
      EXPECT_EQ(LBatch.TargetPath(i), LList.TargetPath(i));
      EXPECT_EQ(LBatch.FolderPath(i), LList.FolderPath(i));
      const TPlanEntry &LWanted = LListPlan.FEntries[static_cast<size_t>(i)];
      const TPlanEntry &LGot = LBatchPlan.FEntries[static_cast<size_t>(i)];
      EXPECT_EQ(static_cast<int>(LGot.FStatus), static_cast<int>(LWanted.FStatus));
      EXPECT_EQ(LGot.FOther, LWanted.FOther);
    }
  }
}

TEST(CliFileBatch, AFileGivenAgainIsListedOnceWhereItCameFirst) {
  TTempTree LTree;
  MakeTree(LTree);
  TCliFileBatch LBatch;
  std::vector<TUnreadable> LUnreadable;
  const auto LIgnore = [](const QString &) {
  };
  LBatch.AddFile(LTree.Path(u"sub/a.txt"_s));
  LBatch.AddTree(LTree.Path(u"sub"_s), TProgramPaths(), LIgnore, LUnreadable);
  LBatch.AddTree(LTree.Root(), TProgramPaths(), LIgnore, LUnreadable);
  LBatch.AddFile(LTree.Path(u"a.txt"_s));
  LBatch.AddTree(LTree.Path(u"sub"_s), TProgramPaths(), LIgnore, LUnreadable);
  std::vector<QString> LPaths;
  for (int i = 0; i < LBatch.Count(); ++i)
    LPaths.push_back(LBatch.OldPath(i));
  // The window's list, fed the same way, is the reference.
  TFileList LList;
  const auto LAdd = [&LList](const QString &APath) {
    if (LList.CheckInList(APath))
      LList.AddFileInfo(std::make_unique<TFileInfo>(APath));
  };
  LAdd(LTree.Path(u"sub/a.txt"_s));
  for (const QString &LPath : CollectFolderFiles(LTree.Path(u"sub"_s)))
    LAdd(LPath);
  for (const QString &LPath : CollectFolderFiles(LTree.Root()))
    LAdd(LPath);
  std::vector<QString> LWanted;
  for (int i = 0; i < LList.Count(); ++i)
    LWanted.push_back(LList.CurrentPath(i));
  EXPECT_EQ(LPaths, LWanted);
  // The planner reads the folder itself where no walk of this batch listed
  // it first: a new name that is taken there is a conflict all the same.
  TNameRecipe LRecipe;
  LRecipe.FNameMask = u"q"_s;
  LRecipe.FExtMask = u"jpg"_s;
  LBatch.ApplyRecipe(LRecipe);
  LList.ApplyRecipe(LRecipe, 0);
  const TPlan &LListPlan = LList.PlanRenaming();
  const TPlan &LBatchPlan = LBatch.Plan();
  for (int i = 0; i < LList.Count(); ++i)
    EXPECT_EQ(static_cast<int>(LBatchPlan.FEntries[static_cast<size_t>(i)].FStatus),
              static_cast<int>(LListPlan.FEntries[static_cast<size_t>(i)].FStatus))
        << LPaths[static_cast<size_t>(i)].toStdString();
}

// A step of a journal, less what differs between two copies of one tree.
std::string StepText(const TJournalBatch &ABatch, const TJournalStep &AStep, const QString &ARoot) {
  const QString LFrom = AStep.FKind == TStepKind::FromTemporary ? u"(temp)"_s : AStep.FFrom;
  const QString LTo = AStep.FKind == TStepKind::ToTemporary ? u"(temp)"_s : AStep.FTo;
  return std::to_string(AStep.FItem) + " " + std::to_string(static_cast<int>(AStep.FKind)) + " " +
         ABatch.FFolders[static_cast<size_t>(AStep.FFolder)].mid(ARoot.size()).toStdString() + " " +
         LFrom.toStdString() + " -> " + LTo.toStdString() + " " + std::to_string(AStep.FDevice) +
         " " + std::to_string(AStep.FSize) + " " + std::to_string(AStep.FModifiedNs);
}

TEST(CliFileBatch, ARenameMovesAndRecordsWhatTheWindowsFileListWould) {
  for (const TRecipeCase &LCase : RecipeCases()) {
    SCOPED_TRACE(LCase.FWhat);
    TNameRecipe LRecipe;
    LCase.FSet(LRecipe);
    TTempTree LListTree;
    MakeTree(LListTree);
    TTempTree LBatchTree;
    MakeTree(LBatchTree);
    TTempTree LState;
    TJournal LListJournal;
    LListJournal.SetFolder(LState.Path(u"list"_s));
    TJournal LBatchJournal;
    LBatchJournal.SetFolder(LState.Path(u"batch"_s));

    TFileList LList;
    FillList(LList, LListTree, LRecipe);
    LList.SetJournal(&LListJournal);
    const int LListFailed = LList.ExecuteRenaming();
    TCliFileBatch LBatch;
    std::vector<QString> LLeftOut;
    FillBatch(LBatch, LBatchTree, LRecipe, LLeftOut);
    const int LBatchFailed = LBatch.Execute(&LBatchJournal);

    EXPECT_EQ(LBatchFailed, LListFailed);
    ASSERT_EQ(LBatch.Count(), LList.Count());
    for (int i = 0; i < LList.Count(); ++i) {
      EXPECT_EQ(LBatch.Renamed(i), LList.ItemAt(i).isRenamed()) << i;
      EXPECT_EQ(LBatch.Failure(i),
                LList.ItemAt(i).isRenamed() ? QString() : LList.ItemAt(i).RenameErrorText())
          << i;
    }
    // What lands on disk.
    EXPECT_EQ(testsupport::SnapshotTree(LBatchTree.Root()),
              testsupport::SnapshotTree(LListTree.Root()));
    // What the journal holds: the same steps, each file read once before the
    // first move and named by its inode.
    const std::vector<TJournalBatch> LListBatches = LListJournal.History();
    const std::vector<TJournalBatch> LBatchBatches = LBatchJournal.History();
    ASSERT_EQ(LListBatches.size(), 1u);
    ASSERT_EQ(LBatchBatches.size(), 1u);
    const TJournalBatch &LWanted = LListBatches.front();
    const TJournalBatch &LGot = LBatchBatches.front();
    ASSERT_EQ(LGot.FSections.size(), 1u);
    const std::vector<TJournalStep> &LSteps = LGot.FSections.front().FSteps;
    ASSERT_EQ(LSteps.size(), LWanted.FSections.front().FSteps.size());
    for (size_t s = 0; s < LSteps.size(); ++s) {
      EXPECT_EQ(StepText(LGot, LSteps[s], LBatchTree.Root()),
                StepText(LWanted, LWanted.FSections.front().FSteps[s], LListTree.Root()));
      const int LItem = LSteps[s].FItem;
      const QString LNow = LBatch.Renamed(LItem) ? LBatch.TargetPath(LItem) : LBatch.OldPath(LItem);
      const platform::TPathInfo LEntry = platform::StatEntryNoLocalTime(LNow);
      ASSERT_TRUE(LEntry.FExists) << LNow.toStdString();
      EXPECT_EQ(LSteps[s].FInode, LEntry.FInode) << LNow.toStdString();
    }
    EXPECT_EQ(LGot.FSections.front().FDone, LWanted.FSections.front().FDone);
  }
}

} // namespace
