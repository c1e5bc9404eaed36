// What the file list and the folder list share, written once and run for
// both kinds: Rename and Rollback on disk, a journal that fails part way, a
// Rollback cancelled at seeded points, stable sorting, the recipe deciding
// as a whole, and the name shown being the name the move gives.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uFolderWalk.h"
#include "uJournal.h"
#include "uJournalRollback.h"
#include "uProgramFiles.h"
#include "uProgress.h"

#include "platform/uPlatformJournal.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>

#include <QFile>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

// The files of a folder as a file list.
struct TFilesKind {
  using TList = TFileList;
  static const char *Name() { return "files"; }
  static void Make(const QString &APath) { ASSERT_TRUE(testsupport::WriteFile(APath, "x")); }
  static void Add(TList &AList, const QString &APath) {
    AList.AddFileInfo(std::make_unique<TFileInfo>(APath));
  }
};

// The folders of a folder as a folder list.
struct TFoldersKind {
  using TList = TFolderList;
  static const char *Name() { return "folders"; }
  static void Make(const QString &APath) { ASSERT_TRUE(testsupport::MakePath(APath)); }
  static void Add(TList &AList, const QString &APath) {
    ASSERT_TRUE(AList.AddFolderInfoIfNeed(APath));
  }
};

template <class TKind> class RenameListTest : public ::testing::Test {
protected:
  using TList = typename TKind::TList;

  RenameListTest() { FJournal.SetFolder(FState.Path(u"journal"_s)); }

  // ACount entries "n000" ... in the work folder, listed in that order.
  std::unique_ptr<TList> ListOf(int ACount) {
    auto LList = std::make_unique<TList>();
    for (int i = 0; i < ACount; ++i) {
      const QString LPath = FTree.Path(u"n%1"_s.arg(i, 3, 10, QLatin1Char('0')));
      TKind::Make(LPath);
      TKind::Add(*LList, LPath);
    }
    return LList;
  }
  std::unique_ptr<TList> ListOf(const QStringList &ANames) {
    auto LList = std::make_unique<TList>();
    for (const QString &LName : ANames) {
      TKind::Make(FTree.Path(LName));
      TKind::Add(*LList, FTree.Path(LName));
    }
    return LList;
  }
  static TNameRecipe Recipe(const QString &AMask) {
    TNameRecipe LRecipe;
    LRecipe.FNameMask = AMask;
    return LRecipe;
  }
  static QStringList OldNames(const TRenameList &AList) {
    QStringList LNames;
    for (int i = 0; i < AList.Count(); ++i)
      LNames.append(AList.OldName(i));
    return LNames;
  }
  // How many items are renamed, and whether every renamed one is exactly
  // one a stopped step never tried.
  static int Renamed(const TRenameList &AList) {
    int LCount = 0;
    for (int i = 0; i < AList.Count(); ++i)
      LCount += AList.ItemAt(i).isRenamed() ? 1 : 0;
    return LCount;
  }

  TTempTree FTree;
  TTempTree FState;
  TJournal FJournal;
};

using TKinds = ::testing::Types<TFilesKind, TFoldersKind>;
class TKindNames {
public:
  template <class T> static std::string GetName(int) { return T::Name(); }
};
TYPED_TEST_SUITE(RenameListTest, TKinds, TKindNames);

// A seed for the random cases: VARNWELL_TEST_SEED fixes it, else the clock;
// it is printed, so that a failure can be run again.
unsigned TestSeed() {
  const char *LFixed = std::getenv("VARNWELL_TEST_SEED");
  const unsigned LSeed = LFixed != nullptr
                             ? static_cast<unsigned>(std::strtoul(LFixed, nullptr, 10))
                             : std::random_device{}();
  std::cout << "seed " << LSeed << " (VARNWELL_TEST_SEED)" << std::endl;
  return LSeed;
}

} // namespace

TYPED_TEST(RenameListTest, RenameAndRollbackWithTheJournalLeaveTheTreeAsItWas) {
  auto LList = this->ListOf(40);
  const auto LBefore = SnapshotTree(this->FTree.Root());
  LList->SetJournal(&this->FJournal);
  LList->ApplyRecipe(this->Recipe(u"[N]_r"_s), 0);
  EXPECT_EQ(LList->ExecuteRenaming(), 0);
  EXPECT_EQ(this->Renamed(*LList), 40);
  for (int i = 0; i < LList->Count(); ++i)
    EXPECT_TRUE(testsupport::Exists(LList->TargetPath(i))) << LList->TargetPath(i).toStdString();
  EXPECT_TRUE(LList->JournalError().isEmpty());
  EXPECT_EQ(LList->ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(this->FTree.Root()), LBefore);
  TJournalBatch LBatch;
  ASSERT_TRUE(this->FJournal.Load(LList->BatchId(), LBatch));
  EXPECT_EQ(LBatch.State(), TBatchState::RolledBack);
}

// A write or sync of the journal that fails while the moves go on: the
// batch stops at its next group (a failed append) and says why; the moves
// made stay recoverable from the plan on the disk.
TYPED_TEST(RenameListTest, AJournalThatFailsPartWayStopsTheBatchAndStaysRecoverable) {
  struct TCase {
    platform::detail::TJournalCall FCall;
    int FFailFrom; // the call (from 1) that fails first; every later one fails too
    const char *FName;
  };
  // The batch's header and its plan take two appends and two syncs; the
  // done records are appended and synced every 256 moves.
  const TCase LCases[] = {{platform::detail::TJournalCall::Append, 3, "append"},
                          {platform::detail::TJournalCall::Sync, 3, "sync"}};
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(LCase.FName);
    TTempTree LWork;
    auto LList = std::make_unique<typename TestFixture::TList>();
    for (int i = 0; i < 700; ++i) {
      const QString LPath = LWork.Path(u"n%1"_s.arg(i, 3, 10, QLatin1Char('0')));
      TypeParam::Make(LPath);
      TypeParam::Add(*LList, LPath);
    }
    const auto LBefore = SnapshotTree(LWork.Root());
    LList->SetJournal(&this->FJournal);
    LList->ApplyRecipe(this->Recipe(u"[N]_r"_s), 0);
    std::atomic<int> LCalls{0};
    const auto LPrevious = platform::detail::SetJournalCallHook(
        [&LCalls, LCase](platform::detail::TJournalCall ACall) {
          if (ACall != LCase.FCall)
            return 0;
          return ++LCalls >= LCase.FFailFrom ? ENOSPC : 0;
        });
    const int LFailed = LList->ExecuteRenaming();
    platform::detail::SetJournalCallHook(LPrevious);
    ASSERT_GE(LFailed, 0) << LList->BatchError().toStdString();
    EXPECT_EQ(LFailed, 0);
    EXPECT_TRUE(LList->JournalError().contains(u"space"_s, Qt::CaseInsensitive))
        << LList->JournalError().toStdString();
    const int LRenamed = this->Renamed(*LList);
    if (LCase.FCall == platform::detail::TJournalCall::Append) {
      // The done records of the first 256 moves could not be appended: the
      // batch stopped at the next group.
      EXPECT_TRUE(LList->LastBatchStopped());
      EXPECT_EQ(LRenamed, 256);
      TJournalBatch LBatch;
      ASSERT_TRUE(this->FJournal.Load(LList->BatchId(), LBatch));
      EXPECT_EQ(BatchStateText(LBatch), u"interrupted"_s);
    }
    // Every item is under its old name or its new one, and those not
    // renamed were never tried.
    for (int i = 0; i < LList->Count(); ++i) {
      const TRenameItem &LItem = LList->ItemAt(i);
      EXPECT_TRUE(testsupport::Exists(LList->CurrentPath(i)));
      if (!LItem.isRenamed()) {
        EXPECT_TRUE(LItem.NotTried());
      }
    }
    // The plan on the disk brings every moved entry back.
    const TJournalRollback LRollback = RollbackBatch(this->FJournal, LList->BatchId());
    EXPECT_TRUE(LRollback.FError.isEmpty()) << LRollback.FError.toStdString();
    EXPECT_EQ(LRollback.FFailed, 0);
    EXPECT_EQ(LRollback.FRolledBack, LRenamed);
    EXPECT_EQ(SnapshotTree(LWork.Root()), LBefore);
  }
}

// A Rollback cancelled at any point leaves renamed exactly the items it
// never tried; another Rollback brings them back.
TYPED_TEST(RenameListTest, ARollbackCancelledAtAnyPointLeavesRenamedWhatItNeverTried) {
  std::mt19937 LRandom(TestSeed());
  for (int LRound = 0; LRound < 6; ++LRound) {
    TTempTree LWork;
    auto LList = std::make_unique<typename TestFixture::TList>();
    for (int i = 0; i < 30; ++i) {
      const QString LPath = LWork.Path(u"n%1"_s.arg(i, 3, 10, QLatin1Char('0')));
      TypeParam::Make(LPath);
      TypeParam::Add(*LList, LPath);
    }
    const auto LBefore = SnapshotTree(LWork.Root());
    LList->ApplyRecipe(this->Recipe(u"[N]_r"_s), 0);
    ASSERT_EQ(LList->ExecuteRenaming(), 0);
    const int LStopAt = std::uniform_int_distribution<int>(0, 29)(LRandom);
    SCOPED_TRACE(LStopAt);
    TProgress LProgress;
    LProgress.SetOnReport([&LProgress, LStopAt](int ADone, int, const QString &) {
      if (ADone >= LStopAt)
        LProgress.RequestStop();
    });
    if (LStopAt == 0)
      LProgress.RequestStop();
    LList->SetProgress(&LProgress);
    EXPECT_EQ(LList->ExecuteRollback(), 0);
    LList->SetProgress(nullptr);
    EXPECT_TRUE(LList->LastBatchStopped());
    EXPECT_EQ(this->Renamed(*LList), 30 - LStopAt);
    for (int i = 0; i < LList->Count(); ++i) {
      const TRenameItem &LItem = LList->ItemAt(i);
      EXPECT_EQ(LItem.isRenamed(), LItem.NotTried()) << i;
      EXPECT_TRUE(testsupport::Exists(LList->CurrentPath(i)));
    }
    EXPECT_EQ(LList->ExecuteRollback(), 0);
    EXPECT_EQ(this->Renamed(*LList), 0);
    EXPECT_EQ(SnapshotTree(LWork.Root()), LBefore);
  }
}

// Items whose keys compare equal keep their order, in both directions.
TYPED_TEST(RenameListTest, EqualKeysKeepTheirOrder) {
  auto LList = this->ListOf(QStringList{u"b"_s, u"A"_s, u"a"_s, u"B"_s});
  LList->Sort(TSortKey::OldName, false);
  EXPECT_EQ(this->OldNames(*LList), (QStringList{u"A"_s, u"a"_s, u"b"_s, u"B"_s}));
  LList->Sort(TSortKey::OldName, true);
  EXPECT_EQ(this->OldNames(*LList), (QStringList{u"b"_s, u"B"_s, u"A"_s, u"a"_s}));
  // Every new name is the same: the order stays as it is.
  LList->ApplyRecipe(this->Recipe(u"same"_s), 0);
  LList->Sort(TSortKey::NewName, false);
  EXPECT_EQ(this->OldNames(*LList), (QStringList{u"b"_s, u"B"_s, u"A"_s, u"a"_s}));
}

// A recipe that differs in any choice (here only Match case) makes every
// name anew, whatever position it is applied from.
TYPED_TEST(RenameListTest, TheWholeRecipeDecidesWhetherNamesAreMadeAnew) {
  auto LList = this->ListOf(QStringList{u"Alpha"_s, u"beta"_s});
  TNameRecipe LRecipe = this->Recipe(u"[N]"_s);
  LRecipe.FSearch = u"a"_s;
  LRecipe.FReplace = u"o"_s;
  LList->ApplyRecipe(LRecipe, 0);
  EXPECT_EQ(LList->TargetName(0), u"olpho"_s);
  LRecipe.FMatchCase = true;
  EXPECT_EQ(LList->ApplyRecipe(LRecipe, LList->Count()), 0);
  EXPECT_EQ(LList->TargetName(0), u"Alpho"_s);
  LRecipe.FRegex = true;
  LRecipe.FSearch = u"^b"_s;
  LRecipe.FReplace = u"B"_s;
  EXPECT_EQ(LList->ApplyRecipe(LRecipe, LList->Count()), 0);
  EXPECT_EQ(LList->TargetName(1), u"Beta"_s);
}

// The name shown is the name the entry gets: a name without an extension
// stays without one (the extension mask's lone "." is dropped).
TYPED_TEST(RenameListTest, TheNameShownIsTheNameTheMoveGives) {
  auto LList = this->ListOf(QStringList{u"README"_s, u"notes.txt"_s});
  LList->ApplyRecipe(this->Recipe(u"[N]_x"_s), 0);
  const QStringList LShown{LList->TargetPath(0), LList->TargetPath(1)};
  EXPECT_EQ(LList->TargetName(0), u"README_x"_s);
  ASSERT_EQ(LList->ExecuteRenaming(), 0);
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(testsupport::Exists(LShown[i])) << LShown[i].toStdString();
}

// A walk takes each folder's entries A-Z regardless of case, whatever order
// the file system lists them in.
TEST(FolderWalk, EachFolderIsTakenAToZRegardlessOfCase) {
  TTempTree LTree;
  for (const QString &LName : {u"b.txt"_s, u"C/y.txt"_s, u"A.txt"_s, u"a.txt"_s, u"C/x.txt"_s})
    LTree.WriteFile(LName);
  LTree.MakeDir(u"B2/c"_s);
  LTree.MakeDir(u"a2"_s);
  QStringList LFiles = CollectFolderFiles(LTree.Root());
  for (QString &LFile : LFiles)
    LFile = LFile.mid(LTree.Root().size() + 1);
  EXPECT_EQ(LFiles, (QStringList{u"A.txt"_s, u"a.txt"_s, u"b.txt"_s, u"C/x.txt"_s, u"C/y.txt"_s}));
  QStringList LFolders;
  ScanSubFolders(LTree.Root(), [&](const QString &APath, const TFolderEntry &AEntry) {
    LFolders.append((APath + u'/' + AEntry.FName).mid(LTree.Root().size() + 1));
  });
  EXPECT_EQ(LFolders, (QStringList{u"a2"_s, u"B2"_s, u"B2/c"_s, u"C"_s}));
}

// A folder that cannot be listed is told with the system's reason, in a walk
// for files and in a walk for folders, and an Add takes the rest.
TEST(FolderWalk, FoldersThatCannotBeReadAreToldWithTheirReason) {
  TTempTree LTree;
  LTree.WriteFile(u"a.txt"_s);
  LTree.WriteFile(u"closed/inside.txt"_s);
  LTree.MakeDir(u"closed/sub"_s);
  LTree.WriteFile(u"open/b.txt"_s);
  const QString LClosed = LTree.Path(u"closed"_s);
  ASSERT_EQ(::chmod(QFile::encodeName(LClosed).constData(), 0), 0);
  struct TReopen {
    QByteArray FPath;
    ~TReopen() { ::chmod(FPath.constData(), 0700); }
  } LReopen{QFile::encodeName(LClosed)};
  const testsupport::TPermissionsEnforced LEnforced;
  if (!LEnforced.Enforced())
    GTEST_SKIP() << "the permission bits cannot be made to hold for this test";
  std::vector<TUnreadable> LUnreadable;
  QStringList LFiles = CollectFolderFiles(LTree.Root(), nullptr, &LUnreadable);
  EXPECT_EQ(LFiles, (QStringList{LTree.Path(u"a.txt"_s), LTree.Path(u"open/b.txt"_s)}));
  ASSERT_EQ(LUnreadable.size(), 1U);
  EXPECT_EQ(LUnreadable[0].FPath, LClosed);
  EXPECT_EQ(LUnreadable[0].FReason, u"Permission denied"_s);
  LUnreadable.clear();
  QStringList LFolders;
  ScanSubFolders(
      LTree.Root(),
      [&](const QString &APath, const TFolderEntry &AEntry) {
        LFolders.append(APath + u'/' + AEntry.FName);
      },
      nullptr, &LUnreadable);
  EXPECT_EQ(LFolders, (QStringList{LClosed, LTree.Path(u"open"_s)}));
  ASSERT_EQ(LUnreadable.size(), 1U);
  EXPECT_EQ(LUnreadable[0].FPath, LClosed);
  // An Add of the files reports it and takes the rest; a file given by path
  // inside it gets the real reason, not "no such file".
  TFileList LList;
  const TAddOutcome LOutcome =
      LList.AddFiles({{LTree.Root(), true}, {LTree.Path(u"closed/inside.txt"_s), false}});
  EXPECT_EQ(LList.Count(), 2);
  ASSERT_EQ(LOutcome.FUnreadable.size(), 2U);
  EXPECT_EQ(LOutcome.FUnreadable[1].FPath, LTree.Path(u"closed/inside.txt"_s));
  EXPECT_EQ(LOutcome.FUnreadable[1].FReason, u"Permission denied"_s);
}

// The program's own files are never part of a batch: an Add leaves the
// journal, the settings and the logs out and counts them as not added.
TEST(ProgramFiles, AnAddLeavesTheProgramsOwnFilesOut) {
  TTempTree LTree;
  LTree.WriteFile(u"photo.jpg"_s);
  LTree.WriteFile(u"state/journal/20261211-1.journal"_s);
  LTree.WriteFile(u"state/journalist.txt"_s);
  GetJournal().SetFolder(LTree.Path(u"state/journal"_s));
  TFileList LFiles;
  const TAddOutcome LOutcome = LFiles.AddFiles({{LTree.Root(), true}});
  GetJournal().SetFolder(QString());
  EXPECT_EQ(LFiles.Count(), 2); // photo.jpg and state/journalist.txt
  EXPECT_EQ(LOutcome.FNotAdded, 1);
  EXPECT_EQ(LOutcome.FOwnFiles,
            std::vector<QString>{LTree.Path(u"state/journal/20261211-1.journal"_s)});
  // A folder that is the program's, holds its files or lies below them.
  const TProgramPaths LProgram({u"/s/varnwell/journal"_s}, {u"/c/varnwell/Settings.ini"_s});
  EXPECT_TRUE(LProgram.HoldsFolder(u"/s/varnwell"_s));
  EXPECT_TRUE(LProgram.HoldsFolder(u"/s/varnwell/journal/x"_s));
  EXPECT_TRUE(LProgram.HoldsFolder(u"/c"_s));
  EXPECT_FALSE(LProgram.HoldsFolder(u"/s/varnwell-old"_s));
  EXPECT_TRUE(LProgram.HoldsFile(u"/c/varnwell/Settings.ini"_s));
  EXPECT_FALSE(LProgram.HoldsFile(u"/c/varnwell/Settings.ini.bak"_s));
}
