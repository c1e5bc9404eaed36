// Renaming on a real exFAT, as on memory cards, USB sticks and cameras: the
// file system ignores letter case, has no hard links and refuses the
// no-replace flag, and its driver through FUSE gives every spelling of one
// name an inode number of its own.
#include "platform/uPlatformFs.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TExfatMount;

namespace {

class ExfatTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!FExfat.Mounted())
      GTEST_SKIP() << "no exFAT here: " << FExfat.SkipReason().toStdString();
  }
  QString Path(const QString &ARelative) const {
    return FExfat.Root() + QLatin1Char('/') + ARelative;
  }
  QString Write(const QString &ARelative, const QByteArray &AContent) {
    const QString LPath = Path(ARelative);
    const qsizetype LSlash = ARelative.lastIndexOf(QLatin1Char('/'));
    if (LSlash > 0) {
      EXPECT_TRUE(testsupport::MakePath(Path(ARelative.left(LSlash))));
    }
    EXPECT_TRUE(testsupport::WriteFile(LPath, AContent));
    return LPath;
  }
  // The names of AFolder's entries exactly as the listing spells them.
  QStringList Listing(const QString &AFolder = QString()) const {
    QStringList LNames;
    platform::ListDirectory(AFolder.isEmpty() ? FExfat.Root() : Path(AFolder),
                            [&](const platform::TDirEntry &AEntry) {
                              LNames.append(AEntry.FName);
                              return true;
                            });
    LNames.sort();
    return LNames;
  }

  TExfatMount FExfat;
};

} // namespace

TEST_F(ExfatTest, TheFileSystemIsWhatTheseTestsNeed) {
  // Two spellings of one name lead to one file with two inode numbers, and
  // the no-replace flag is refused: the conditions the engine must handle.
  Write(QStringLiteral("alpha.txt"), "a");
  const platform::TPathInfo LLower = platform::StatPath(Path(QStringLiteral("alpha.txt")));
  const platform::TPathInfo LUpper = platform::StatPath(Path(QStringLiteral("ALPHA.TXT")));
  ASSERT_TRUE(LUpper.FExists);
  EXPECT_NE(LLower.FInode, LUpper.FInode);
  EXPECT_EQ(::link(QFile::encodeName(Path(QStringLiteral("alpha.txt"))).constData(),
                   QFile::encodeName(Path(QStringLiteral("beta.txt"))).constData()),
            -1);
}

TEST_F(ExfatTest, ChangesOfLetterCaseOnlyRenameFilesAndRollBack) {
  struct TCase {
    const char16_t *FOld;
    TCaseRule FCase;
    const char16_t *FNew;
  };
  const TCase LCases[] = {
      {u"alpha.txt", TCaseRule::Upper, u"ALPHA.TXT"},
      {u"Zo\u00eb.txt", TCaseRule::Upper, u"ZO\u00cb.TXT"},
      {u"MiXeD.Txt", TCaseRule::Lower, u"mixed.txt"},
      {u"photo of me.jpg", TCaseRule::Words, u"Photo Of Me.jpg"},
  };
  TFileList LList;
  for (const TCase &LCase : LCases)
    LList.AddFileInfo(std::make_unique<TFileInfo>(
        Write(QString::fromUtf16(LCase.FOld), QString::fromUtf16(LCase.FOld).toUtf8())));
  LList.SetFileNameMask(QStringLiteral("[N]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  for (int i = 0; i < LList.Count(); ++i)
    ApplyCaseRule(LList[i], LCases[i].FCase);
  const auto LBefore = SnapshotTree(FExfat.Root());
  ASSERT_EQ(LList.ExecuteRenaming(), 0) << LList[0].RenameErrorText().toStdString();
  QStringList LExpected;
  for (const TCase &LCase : LCases)
    LExpected.append(QString::fromUtf16(LCase.FNew));
  LExpected.sort();
  EXPECT_EQ(Listing(), LExpected);
  for (const TCase &LCase : LCases)
    EXPECT_EQ(ReadFile(Path(QString::fromUtf16(LCase.FNew))),
              QString::fromUtf16(LCase.FOld).toUtf8());
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, ChangesOfLetterCaseOnlyRenameFoldersAndRollBack) {
  Write(QStringLiteral("zo\u00eb/inside.txt"), "inside");
  Write(QStringLiteral("photos/2015/a.jpg"), "jpeg");
  const auto LBefore = SnapshotTree(FExfat.Root());
  TFolderList LList;
  ScanSubFolders(FExfat.Root(), [&](const QString &APath, const TFolderEntry &AEntry) {
    LList.AddFolderInfoIfNeed(APath, AEntry);
  });
  ASSERT_EQ(LList.Count(), 3);
  for (int i = 0; i < LList.Count(); ++i)
    LList[i]->SetUppercase();
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(Listing(), (QStringList{QStringLiteral("PHOTOS"), QStringLiteral("ZO\u00cb")}));
  EXPECT_EQ(Listing(QStringLiteral("PHOTOS")), QStringList{QStringLiteral("2015")});
  EXPECT_EQ(ReadFile(Path(QStringLiteral("ZO\u00cb/inside.txt"))), QByteArray("inside"));
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, AMaskedRenameAndItsRollbackGoThroughTheFallback) {
  TFileList LList;
  for (int i = 0; i < 20; ++i)
    LList.AddFileInfo(std::make_unique<TFileInfo>(Write(
        QStringLiteral("IMG_%1.JPG").arg(i, 2, 10, QLatin1Char('0')), QByteArray::number(i))));
  const auto LBefore = SnapshotTree(FExfat.Root());
  LList.SetCounter(1, 1, 3);
  LList.SetFileNameMask(QStringLiteral("Trip_[C]"), 0);
  LList.SetFileExtMask(QStringLiteral("jpg"), 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(Path(QStringLiteral("Trip_001.jpg"))), QByteArray("0"));
  EXPECT_EQ(ReadFile(Path(QStringLiteral("Trip_020.jpg"))), QByteArray("19"));
  EXPECT_EQ(Listing().size(), 20);
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, ANameThatDiffersOnlyInCaseFromAnotherFileIsNeverReplaced) {
  const QString LSource = Write(QStringLiteral("a.txt"), "a");
  Write(QStringLiteral("B.TXT"), "b");
  const auto LBefore = SnapshotTree(FExfat.Root());
  const platform::TMoveResult LMove =
      platform::MoveNoReplace(LSource, Path(QStringLiteral("b.txt")));
  EXPECT_FALSE(LMove.FOk);
  EXPECT_EQ(LMove.FError, platform::TMoveError::TargetExists);
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, ANameTheFileSystemRefusesFailsAsAnInvalidName) {
  // The driver refuses these names with ENOENT although the file and its
  // folder are there: the reason says the name is invalid, for files and
  // folders alike, and nothing moves.
  const QString LFile = Write(QStringLiteral("a.txt"), "a");
  ASSERT_TRUE(testsupport::MakePath(Path(QStringLiteral("dir"))));
  const auto LBefore = SnapshotTree(FExfat.Root());
  for (const QString &LSource : {LFile, Path(QStringLiteral("dir"))}) {
    for (const char16_t *LName :
         {u"x*y", u"what?", u"a:b", u"<>", u"pipe|", u"quote\"", u"back\\slash", u"tab\t"}) {
      SCOPED_TRACE(QString::fromUtf16(LName).toStdString());
      const platform::TMoveResult LMove =
          platform::MoveNoReplace(LSource, Path(QString::fromUtf16(LName)));
      EXPECT_FALSE(LMove.FOk);
      EXPECT_EQ(LMove.FError, platform::TMoveError::InvalidName);
      EXPECT_EQ(MoveFailureReason(LMove, LSource != LFile), QStringLiteral("Invalid file name"));
    }
  }
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, AShiftedRenumberingOfFoldersRollsBackInOneGo) {
  // Sorted downwards and renumbered: n12 -> n13 first, then n11 -> n12, ...
  for (int i = 1; i <= 12; ++i)
    Write(QStringLiteral("n%1/f.txt").arg(i), QByteArray::number(i));
  const auto LBefore = SnapshotTree(FExfat.Root());
  TFolderList LList;
  for (int i = 12; i >= 1; --i)
    ASSERT_TRUE(LList.AddFolderInfoIfNeed(Path(QStringLiteral("n%1").arg(i))));
  LList.SetCounter(13, -1, 1);
  LList.SetFolderNameMask(QStringLiteral("n[C]"), 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(Path(QStringLiteral("n13/f.txt"))), QByteArray("12"));
  EXPECT_EQ(ReadFile(Path(QStringLiteral("n2/f.txt"))), QByteArray("1"));
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(FExfat.Root()), LBefore);
}

TEST_F(ExfatTest, ACreatorRacingTheFallbackKeepsItsFile) {
  // The move takes the target's name with a placeholder first: a program
  // that creates the name afterwards is refused instead of losing its file.
  const QString LSource = Write(QStringLiteral("mine.txt"), "mine");
  const QString LTarget = Path(QStringLiteral("target.txt"));
  int LCreatorErrno = 0;
  const auto LHook = platform::detail::SetMoveStepHook(
      [&](platform::detail::TMoveStep AStep, const QByteArray &APath) {
        if (AStep != platform::detail::TMoveStep::AfterPlaceholder)
          return;
        const int LFd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        LCreatorErrno = LFd < 0 ? errno : 0;
        if (LFd >= 0)
          ::close(LFd);
      });
  const platform::TMoveResult LMove = platform::MoveNoReplace(LSource, LTarget);
  platform::detail::SetMoveStepHook(LHook);
  EXPECT_TRUE(LMove.FOk);
  EXPECT_EQ(LCreatorErrno, EEXIST);
  EXPECT_EQ(ReadFile(LTarget), QByteArray("mine"));
}

TEST_F(ExfatTest, AFileStrandedUnderItsTemporaryNameSaysWhereItIs) {
  // A change of letter case goes through a temporary name here. While the
  // file stands there, another program takes its name in either spelling:
  // it can neither finish nor go back, and its reason names where it is.
  const QString LPath = Write(QStringLiteral("alpha.txt"), "alpha");
  TFileList LList;
  LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  LList.SetFileNameMask(QStringLiteral("[N]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  LList[0].SetUppercase();
  const auto LPrevious =
      platform::detail::SetMoveStepHook([&](platform::detail::TMoveStep AStep, const QByteArray &) {
        if (AStep == platform::detail::TMoveStep::AfterTemporary)
          testsupport::WriteFile(Path(QStringLiteral("Alpha.txt")), "another");
      });
  EXPECT_EQ(LList.ExecuteRenaming(), 1);
  platform::detail::SetMoveStepHook(LPrevious);
  const QString LReason = LList[0].RenameErrorText();
  EXPECT_TRUE(LReason.startsWith(QStringLiteral("Left under the temporary name ") + FExfat.Root() +
                                 QStringLiteral("/.varnwell-")))
      << LReason.toStdString();
  const QString LStranded = LReason.mid(LReason.indexOf(FExfat.Root()));
  EXPECT_EQ(ReadFile(LStranded), QByteArray("alpha"));
  EXPECT_EQ(ReadFile(Path(QStringLiteral("ALPHA.TXT"))), QByteArray("another"));
}
