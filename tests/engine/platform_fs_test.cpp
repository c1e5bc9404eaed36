#include "platform/uPlatformFs.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using platform::TMoveError;
using platform::TPathStyle;
using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

struct TPathCase {
  TPathStyle FStyle;
  const char16_t *FPath;
  const char16_t *FName;
  const char16_t *FLocation;
};

const TPathCase GPathCases[] = {
    {TPathStyle::Windows, u"C:\\Photos\\IMG_01.JPG", u"IMG_01.JPG", u"C:\\Photos"},
    {TPathStyle::Windows, u"\\\\server\\share\\a.jpg", u"a.jpg", u"\\\\server\\share"},
    {TPathStyle::Windows, u"C:\\a.jpg", u"a.jpg", u"C:\\"},
    {TPathStyle::Windows, u"C:a.txt", u"a.txt", u"C:"},
    {TPathStyle::Windows, u"C:\\dir\\\\a.txt", u"a.txt", u"C:\\dir\\\\"},
    {TPathStyle::Windows, u"README", u"README", u""},
    {TPathStyle::Posix, u"/home/u/IMG_01.JPG", u"IMG_01.JPG", u"/home/u"},
    {TPathStyle::Posix, u"/a.txt", u"a.txt", u"/"},
    {TPathStyle::Posix, u"/x/a\\b:c.txt", u"a\\b:c.txt", u"/x"},
    {TPathStyle::Posix, u"/x//a.txt", u"a.txt", u"/x//"},
    {TPathStyle::Posix, u"a.txt", u"a.txt", u""},
    {TPathStyle::Posix, u"/x/", u"", u"/x"},
};

} // namespace

TEST(PathRules, NameAndLocationInBothStyles) {
  for (const auto &LCase : GPathCases) {
    const QString LPath = QString::fromUtf16(LCase.FPath);
    EXPECT_EQ(platform::ExtractName(LPath, LCase.FStyle), QString::fromUtf16(LCase.FName))
        << LPath.toStdString();
    EXPECT_EQ(platform::ExtractLocation(LPath, LCase.FStyle), QString::fromUtf16(LCase.FLocation))
        << LPath.toStdString();
    EXPECT_EQ(LPath.mid(platform::ExtractNameStart(LPath, LCase.FStyle)),
              QString::fromUtf16(LCase.FName))
        << LPath.toStdString();
  }
}

TEST(PathRules, DelimitersOfEachStyle) {
  EXPECT_EQ(platform::PathDelimiter(TPathStyle::Windows), QLatin1Char('\\'));
  EXPECT_EQ(platform::PathDelimiter(TPathStyle::Posix), QLatin1Char('/'));
  EXPECT_TRUE(platform::IsPathDelimiter(QLatin1Char(':'), TPathStyle::Windows));
  EXPECT_FALSE(platform::IsPathDelimiter(QLatin1Char(':'), TPathStyle::Posix));
  EXPECT_FALSE(platform::IsPathDelimiter(QLatin1Char('\\'), TPathStyle::Posix));
}

TEST(PathRules, JoinPathPutsOneDelimiterAndKeepsARelativeNameRelative) {
  struct TCase {
    TPathStyle FStyle;
    const char16_t *FLocation;
    const char16_t *FName;
    const char16_t *FExpected;
  };
  const TCase LCases[] = {
      {TPathStyle::Posix, u"/home", u"b.txt", u"/home/b.txt"},
      {TPathStyle::Posix, u"/", u"b.txt", u"/b.txt"},
      {TPathStyle::Posix, u"", u"b.txt", u"b.txt"},
      {TPathStyle::Windows, u"C:\\", u"b.txt", u"C:\\b.txt"},
      {TPathStyle::Windows, u"C:\\Photos", u"b.txt", u"C:\\Photos\\b.txt"},
      {TPathStyle::Windows, u"C:", u"b.txt", u"C:b.txt"},
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(platform::JoinPath(QString::fromUtf16(LCase.FLocation),
                                 QString::fromUtf16(LCase.FName), LCase.FStyle),
              QString::fromUtf16(LCase.FExpected));
}

TEST(PathRules, InvalidEntryNames) {
  struct TCase {
    QString FName;
    bool FPosix;
    bool FWindows;
  };
  const TCase LCases[] = {
      {QString(), true, true},
      {QStringLiteral("."), true, true},
      {QStringLiteral(".."), true, true},
      {QStringLiteral("a/b"), true, true},
      {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), true, true},
      {QStringLiteral("a\\b"), false, true},
      {QStringLiteral("a:b"), false, true},
      {QStringLiteral("..."), false, false},
      {QStringLiteral(".profile"), false, false},
      {QStringLiteral("README."), false, false},
  };
  for (const auto &LCase : LCases) {
    EXPECT_EQ(platform::IsInvalidEntryName(LCase.FName, TPathStyle::Posix), LCase.FPosix)
        << LCase.FName.toStdString();
    EXPECT_EQ(platform::IsInvalidEntryName(LCase.FName, TPathStyle::Windows), LCase.FWindows)
        << LCase.FName.toStdString();
  }
}

TEST(StatPath, RegularFileGivesSizeTimeAndFlags) {
  TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral(".hidden.txt"), "12345");
  const QDateTime LTime(QDate(2015, 3, 5), QTime(14, 7, 9));
  {
    QFile LFile(LPath);
    ASSERT_TRUE(LFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(LFile.setFileTime(LTime, QFileDevice::FileModificationTime));
  }
  const auto LInfo = platform::StatPath(LPath);
  EXPECT_TRUE(LInfo.FExists);
  EXPECT_TRUE(LInfo.FIsRegular);
  EXPECT_FALSE(LInfo.FIsDirectory);
  EXPECT_FALSE(LInfo.FReadOnly);
  EXPECT_TRUE(LInfo.FArchive);
  EXPECT_TRUE(LInfo.FHidden);
  EXPECT_FALSE(LInfo.FSystem);
  EXPECT_EQ(LInfo.FSize, 5);
  EXPECT_EQ(LInfo.FModified, LTime);
  EXPECT_EQ(LInfo.FModifiedMSecs, LTime.toMSecsSinceEpoch());

  const auto LQuick = platform::StatPathNoLocalTime(LPath);
  EXPECT_FALSE(LQuick.FModified.isValid());
  EXPECT_EQ(LQuick.FModifiedMSecs, LTime.toMSecsSinceEpoch());
  EXPECT_EQ(LQuick.FInode, LInfo.FInode);
}

TEST(StatPath, NamesBeyondAscii) {
  TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral("é Ω 日本.txt"), "abc");
  EXPECT_EQ(platform::StatPath(LPath).FSize, 3);
  EXPECT_TRUE(platform::FileExists(LPath));
  EXPECT_FALSE(platform::FileExists(LTree.Path(QStringLiteral("e Ω 日本.txt"))));
}

TEST(StatPath, ReadOnlyFolderMissingPathAndLinks) {
  TTempTree LTree;
  const QString LFile = LTree.WriteFile(QStringLiteral("ro.txt"), "x");
  QFile::setPermissions(LFile, QFile::ReadOwner);
  EXPECT_TRUE(platform::StatPath(LFile).FReadOnly);

  const QString LDir = LTree.MakeDir(QStringLiteral("dir"));
  const auto LDirInfo = platform::StatPath(LDir);
  EXPECT_TRUE(LDirInfo.FIsDirectory);
  EXPECT_FALSE(LDirInfo.FArchive);

  const auto LMissing = platform::StatPath(LTree.Path(QStringLiteral("gone")));
  EXPECT_FALSE(LMissing.FExists);
  EXPECT_EQ(LMissing.FSize, -1);
  EXPECT_FALSE(LMissing.FModified.isValid());

  // A link is followed to its target; a dangling link is no file.
  const QString LLink = LTree.Path(QStringLiteral("link"));
  ASSERT_TRUE(QFile::link(LFile, LLink));
  EXPECT_EQ(platform::StatPath(LLink).FSize, 1);
  EXPECT_TRUE(platform::FileExists(LLink));
  const QString LDangling = LTree.Path(QStringLiteral("dangling"));
  ASSERT_TRUE(QFile::link(LTree.Path(QStringLiteral("nothing")), LDangling));
  EXPECT_FALSE(platform::FileExists(LDangling));
  EXPECT_FALSE(platform::DirectoryExists(LDangling));

  const QString LDirLink = LTree.Path(QStringLiteral("dirlink"));
  ASSERT_TRUE(QFile::link(LDir, LDirLink));
  EXPECT_TRUE(platform::DirectoryExists(LDirLink));
  EXPECT_FALSE(platform::FileExists(LDirLink));
  EXPECT_FALSE(platform::FileExists(LDir));
  EXPECT_TRUE(platform::FileExists(LFile));
  // A NUL inside a path never reaches the system cut short.
  EXPECT_FALSE(platform::FileExists(LFile + QChar(0) + QStringLiteral("x")));
}

TEST(IsRegularFileNative, OnlyRegularFilesAndLinksToThem) {
  TTempTree LTree;
  const QByteArray LRoot = QFile::encodeName(LTree.Root());
  const QString LFile = LTree.WriteFile(QStringLiteral("a.txt"), "x");
  ASSERT_TRUE(QFile::link(LFile, LTree.Path(QStringLiteral("link"))));
  ASSERT_TRUE(
      QFile::link(LTree.Path(QStringLiteral("nothing")), LTree.Path(QStringLiteral("dangling"))));
  LTree.MakeDir(QStringLiteral("dir"));
  ASSERT_EQ(::mkfifo((LRoot + "/pipe").constData(), 0600), 0);
  const QByteArray LNotUtf8 = LRoot + QByteArray("/b\xff.txt");
  std::FILE *LOut = std::fopen(LNotUtf8.constData(), "wb");
  ASSERT_NE(LOut, nullptr);
  std::fclose(LOut);
  // The temporary folder cannot remove a name that is not UTF-8 itself.
  const std::unique_ptr<const char, void (*)(const char *)> LRemove(
      LNotUtf8.constData(), [](const char *APath) { std::remove(APath); });
  struct TCase {
    QByteArray FPath;
    bool FExpected;
  };
  const TCase LCases[] = {
      {LRoot + "/a.txt", true},
      {LRoot + "/link", true},
      {LNotUtf8, true},
      {LRoot + "/dangling", false},
      {LRoot + "/dir", false},
      {LRoot + "/pipe", false},
      {LRoot + "/missing", false},
      {QByteArray("/dev/null"), false},
      {QByteArray(), false},
      {LRoot + QByteArray("/a.txt\0x", 8), false}, // never cut short at the NUL
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(platform::IsRegularFileNative(LCase.FPath), LCase.FExpected) << LCase.FPath.data();
}

TEST(ListDirectory, ListsEveryEntryWithItsKind) {
  TTempTree LTree;
  LTree.WriteFile(QStringLiteral("a.txt"));
  LTree.WriteFile(QStringLiteral(".hidden"));
  LTree.WriteFile(QStringLiteral("sub/inner.txt"));
  ASSERT_TRUE(QFile::link(LTree.Path(QStringLiteral("sub")), LTree.Path(QStringLiteral("lnk"))));

  std::map<QString, std::pair<bool, bool>> LSeen;
  ASSERT_TRUE(platform::ListDirectory(LTree.Root(), [&](const platform::TDirEntry &AEntry) {
    LSeen[AEntry.FName] = {AEntry.FIsDirectory, AEntry.FIsSymLink};
    return true;
  }));
  const std::map<QString, std::pair<bool, bool>> LExpected = {
      {QStringLiteral("a.txt"), {false, false}},
      {QStringLiteral(".hidden"), {false, false}},
      {QStringLiteral("sub"), {true, false}},
      {QStringLiteral("lnk"), {false, true}},
  };
  EXPECT_EQ(LSeen, LExpected);

  int LVisits = 0;
  EXPECT_TRUE(platform::ListDirectory(LTree.Root(), [&](const platform::TDirEntry &) {
    ++LVisits;
    return false;
  }));
  EXPECT_EQ(LVisits, 1);
  EXPECT_FALSE(platform::ListDirectory(LTree.Path(QStringLiteral("none")),
                                       [](const platform::TDirEntry &) { return true; }));
}

TEST(MoveNoReplace, MovesAFileAndAFolder) {
  TTempTree LTree;
  const QString LFile = LTree.WriteFile(QStringLiteral("a.txt"), "data");
  const QString LTarget = LTree.Path(QStringLiteral("é [1] a\\b:c.txt"));
  EXPECT_TRUE(platform::MoveNoReplace(LFile, LTarget).FOk);
  EXPECT_EQ(ReadFile(LTarget), "data");
  EXPECT_FALSE(QFileInfo::exists(LFile));

  const QString LDir = LTree.MakeDir(QStringLiteral("dir"));
  LTree.WriteFile(QStringLiteral("dir/in.txt"), "in");
  EXPECT_TRUE(platform::MoveNoReplace(LDir, LTree.Path(QStringLiteral("dir2"))).FOk);
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("dir2/in.txt"))), "in");
}

TEST(MoveNoReplace, NeverReplacesAndReportsWhy) {
  TTempTree LTree;
  const QString LA = LTree.WriteFile(QStringLiteral("a.txt"), "A");
  const QString LB = LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const QString LLinkToA = LTree.Path(QStringLiteral("hard.txt"));
  ASSERT_TRUE(QFile::link(LA, LTree.Path(QStringLiteral("soft.txt"))));
  LTree.MakeDir(QStringLiteral("full/x"));
  LTree.MakeDir(QStringLiteral("empty"));
  // A hard link to the source is its own entry: it must count as existing.
  ASSERT_EQ(::link(QFile::encodeName(LA).constData(), QFile::encodeName(LLinkToA).constData()), 0);
  const auto LBefore = SnapshotTree(LTree.Root());

  struct TCase {
    QString FSource;
    QString FTarget;
    TMoveError FError;
  };
  const TCase LCases[] = {
      {LA, LB, TMoveError::TargetExists},
      {LA, LLinkToA, TMoveError::TargetExists},
      {LA, LTree.Path(QStringLiteral("soft.txt")), TMoveError::TargetExists},
      {LTree.Path(QStringLiteral("empty")), LTree.Path(QStringLiteral("full")),
       TMoveError::TargetExists},
      {LTree.Path(QStringLiteral("gone.txt")), LTree.Path(QStringLiteral("c.txt")),
       TMoveError::SourceMissing},
      {LA, LTree.Path(QStringLiteral("nofolder/c.txt")), TMoveError::Other},
      {LA, LTree.Path(QStringLiteral("c") + QChar(0) + QStringLiteral(".txt")),
       TMoveError::InvalidName},
      {LA, LTree.Path(QString(300, QLatin1Char('n'))), TMoveError::InvalidName},
  };
  for (const auto &LCase : LCases) {
    const auto LResult = platform::MoveNoReplace(LCase.FSource, LCase.FTarget);
    EXPECT_FALSE(LResult.FOk) << LCase.FTarget.toStdString();
    EXPECT_EQ(LResult.FError, LCase.FError) << LCase.FTarget.toStdString();
  }
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(MoveNoReplace, OntoItsOwnUnchangedNameSucceedsAndTouchesNothing) {
  TTempTree LTree;
  const QString LFile = LTree.WriteFile(QStringLiteral("d/a.txt"), "A");
  const auto LBefore = SnapshotTree(LTree.Root());
  const QString LCases[][2] = {
      {LFile, LFile},
      {LFile, LTree.Root() + QStringLiteral("//d/a.txt")},
      {LTree.Path(QStringLiteral("d")), LTree.Path(QStringLiteral("d"))},
  };
  for (const auto &LCase : LCases)
    EXPECT_TRUE(platform::MoveNoReplace(LCase[0], LCase[1]).FOk) << LCase[1].toStdString();
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
  // A missing source stays a failure, also onto its own name.
  const QString LGone = LTree.Path(QStringLiteral("gone.txt"));
  EXPECT_FALSE(platform::MoveNoReplace(LGone, LGone).FOk);
}

TEST(MoveNoReplace, ChangeOfLetterCaseAloneSucceeds) {
  TTempTree LTree;
  const QString LSource = LTree.WriteFile(QStringLiteral("photo.jpg"), "P");
  EXPECT_TRUE(platform::MoveNoReplace(LSource, LTree.Path(QStringLiteral("Photo.JPG"))).FOk);
  EXPECT_EQ(QDir(LTree.Root()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("Photo.JPG")});
}

TEST(MoveNoReplaceSteps, SameEntryOtherSpellingOnlyWithoutAnExactEntry) {
  TTempTree LTree;
  const QString LA = LTree.WriteFile(QStringLiteral("a.txt"), "A");
  const QString LOther = LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const QString LHard = LTree.Path(QStringLiteral("A.txt"));
  ASSERT_EQ(::link(QFile::encodeName(LA).constData(), QFile::encodeName(LHard).constData()), 0);
  EXPECT_FALSE(platform::detail::IsSameEntryOtherSpelling(LA, LA));
  EXPECT_FALSE(platform::detail::IsSameEntryOtherSpelling(LA, LHard));
  EXPECT_FALSE(platform::detail::IsSameEntryOtherSpelling(LA, LOther));
  EXPECT_FALSE(
      platform::detail::IsSameEntryOtherSpelling(LA, LTree.Path(QStringLiteral("none.txt"))));
}

TEST(MoveNoReplaceSteps, ThroughATemporaryNameAndBackOnFailure) {
  TTempTree LTree;
  const QString LSource = LTree.WriteFile(QStringLiteral("note.txt"), "N");
  const QString LTarget = LTree.Path(QStringLiteral("NOTE.txt"));
  EXPECT_TRUE(platform::detail::MoveThroughTemporaryName(LSource, LTarget).FOk);
  EXPECT_EQ(QDir(LTree.Root()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("NOTE.txt")});

  // The second step fails when the target appeared meanwhile: the file goes
  // back to its old name and nothing named like a temporary file is left.
  LTree.WriteFile(QStringLiteral("taken.txt"), "T");
  const auto LBefore = SnapshotTree(LTree.Root());
  const auto LResult =
      platform::detail::MoveThroughTemporaryName(LTarget, LTree.Path(QStringLiteral("taken.txt")));
  EXPECT_FALSE(LResult.FOk);
  EXPECT_EQ(LResult.FError, TMoveError::TargetExists);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(MoveNoReplaceSteps, FallbackWithoutTheFlagNeverReplaces) {
  TTempTree LTree;
  const QString LA = LTree.WriteFile(QStringLiteral("a.txt"), "A");
  const QString LB = LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const QString LDir = LTree.MakeDir(QStringLiteral("d"));
  const QString LDir2 = LTree.MakeDir(QStringLiteral("d2"));
  const auto LBefore = SnapshotTree(LTree.Root());

  EXPECT_EQ(platform::detail::MoveWithoutNoReplaceFlag(LA, LB).FError, TMoveError::TargetExists);
  EXPECT_EQ(platform::detail::MoveWithoutNoReplaceFlag(LDir, LDir2).FError,
            TMoveError::TargetExists);
  EXPECT_EQ(platform::detail::MoveWithoutNoReplaceFlag(LDir, LB).FError, TMoveError::TargetExists);
  EXPECT_EQ(
      platform::detail::MoveWithoutNoReplaceFlag(LTree.Path(QStringLiteral("gone")), LB).FError,
      TMoveError::SourceMissing);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);

  EXPECT_TRUE(platform::detail::MoveWithoutNoReplaceFlag(LA, LTree.Path(QStringLiteral("c.txt"))));
  EXPECT_TRUE(platform::detail::MoveWithoutNoReplaceFlag(LDir, LTree.Path(QStringLiteral("e"))));
  const std::map<QString, QByteArray> LExpected = {{QStringLiteral("b.txt"), "B"},
                                                   {QStringLiteral("c.txt"), "A"},
                                                   {QStringLiteral("d2"), "<dir>"},
                                                   {QStringLiteral("e"), "<dir>"}};
  EXPECT_EQ(SnapshotTree(LTree.Root()), LExpected);
}

TEST(MoveNoReplaceSteps, FallbackWithoutHardLinksNeverReplacesEither) {
  TTempTree LTree;
  const QString LA = LTree.WriteFile(QStringLiteral("a.txt"), "A");
  const QString LB = LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const QString LDir = LTree.WriteFile(QStringLiteral("d/in.txt"), "in");
  const QString LDir2 = LTree.MakeDir(QStringLiteral("d2"));
  const auto LBefore = SnapshotTree(LTree.Root());
  const auto LMove = [](const QString &ASource, const QString &ATarget) {
    return platform::detail::MoveWithoutNoReplaceFlag(ASource, ATarget, false);
  };
  EXPECT_EQ(LMove(LA, LB).FError, TMoveError::TargetExists);
  EXPECT_EQ(LMove(LTree.Path(QStringLiteral("d")), LDir2).FError, TMoveError::TargetExists);
  EXPECT_EQ(LMove(LTree.Path(QStringLiteral("d")), LB).FError, TMoveError::TargetExists);
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);

  EXPECT_TRUE(LMove(LA, LTree.Path(QStringLiteral("c.txt"))));
  EXPECT_TRUE(LMove(LTree.Path(QStringLiteral("d")), LTree.Path(QStringLiteral("e"))));
  const std::map<QString, QByteArray> LExpected = {{QStringLiteral("b.txt"), "B"},
                                                   {QStringLiteral("c.txt"), "A"},
                                                   {QStringLiteral("d2"), "<dir>"},
                                                   {QStringLiteral("e"), "<dir>"},
                                                   {QStringLiteral("e/in.txt"), "in"}};
  EXPECT_EQ(SnapshotTree(LTree.Root()), LExpected);
}

namespace {

// Installs a move-step hook for a scope.
class TScopedMoveHook {
public:
  explicit TScopedMoveHook(platform::detail::TMoveStepHook AHook)
      : FPrevious(platform::detail::SetMoveStepHook(std::move(AHook))) {}
  ~TScopedMoveHook() { platform::detail::SetMoveStepHook(std::move(FPrevious)); }

private:
  platform::detail::TMoveStepHook FPrevious;
};

} // namespace

TEST(MoveNoReplaceSteps, ACreatorRacingTheFallbackNeverLosesItsEntry) {
  using platform::detail::TMoveStep;
  struct TCase {
    TMoveStep FCreateAt; // when the other program creates the target's name
    bool FFolder;        // a folder is moved, and the other program makes a folder
  };
  const TCase LCases[] = {{TMoveStep::BeforePlaceholder, false},
                          {TMoveStep::AfterPlaceholder, false},
                          {TMoveStep::BeforePlaceholder, true},
                          {TMoveStep::AfterPlaceholder, true}};
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(static_cast<int>(LCase.FCreateAt) * 10 + LCase.FFolder);
    TTempTree LTree;
    const QString LSource = LCase.FFolder ? LTree.WriteFile(QStringLiteral("mine/in.txt"), "mine")
                                          : LTree.WriteFile(QStringLiteral("mine"), "mine");
    const QString LMine = LTree.Path(QStringLiteral("mine"));
    const QString LTarget = LTree.Path(QStringLiteral("target"));
    bool LCreatorMadeIt = false;
    TScopedMoveHook LHook([&](TMoveStep AStep, const QByteArray &APath) {
      if (AStep != LCase.FCreateAt)
        return;
      // The other program creates its entry exclusively, as careful programs do.
      if (LCase.FFolder) {
        LCreatorMadeIt = ::mkdir(APath.constData(), 0755) == 0;
        if (LCreatorMadeIt)
          testsupport::WriteFile(LTarget + QStringLiteral("/theirs.txt"), "theirs");
      } else {
        const int LFd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        LCreatorMadeIt = LFd >= 0;
        if (LFd >= 0) {
          EXPECT_EQ(::write(LFd, "theirs", 6), 6);
          ::close(LFd);
        }
      }
    });
    const auto LResult = platform::detail::MoveWithoutNoReplaceFlag(LMine, LTarget, false);
    if (LCreatorMadeIt) {
      // The other program was first: its entry stays, and so does ours.
      EXPECT_EQ(LResult.FError, TMoveError::TargetExists);
      EXPECT_EQ(ReadFile(LCase.FFolder ? LTarget + QStringLiteral("/theirs.txt") : LTarget),
                QByteArray("theirs"));
      EXPECT_EQ(ReadFile(LSource), QByteArray("mine"));
    } else {
      // The placeholder was first: the other program was refused and lost nothing.
      EXPECT_EQ(LCase.FCreateAt, TMoveStep::AfterPlaceholder);
      EXPECT_TRUE(LResult.FOk);
      EXPECT_EQ(ReadFile(LCase.FFolder ? LTarget + QStringLiteral("/in.txt") : LTarget),
                QByteArray("mine"));
    }
  }
}

TEST(MoveNoReplaceSteps, APlaceholderIsRemovedWhenTheMoveFails) {
  using platform::detail::TMoveStep;
  for (const bool LFolder : {false, true}) {
    TTempTree LTree;
    const QString LSource = LFolder ? LTree.MakeDir(QStringLiteral("src"))
                                    : LTree.WriteFile(QStringLiteral("src"), "S");
    // The source vanishes between the placeholder and the rename.
    TScopedMoveHook LHook([&](TMoveStep AStep, const QByteArray &) {
      if (AStep == TMoveStep::AfterPlaceholder) {
        ASSERT_TRUE(QDir().rename(LSource, LTree.Path(QStringLiteral("elsewhere"))));
      }
    });
    const auto LResult = platform::detail::MoveWithoutNoReplaceFlag(
        LSource, LTree.Path(QStringLiteral("target")), false);
    EXPECT_EQ(LResult.FError, TMoveError::SourceMissing);
    EXPECT_FALSE(testsupport::Exists(LTree.Path(QStringLiteral("target"))));
  }
}

TEST(MoveNoReplaceSteps, AnEntryStrandedUnderTheTemporaryNameIsNamed) {
  using platform::detail::TMoveStep;
  TTempTree LTree;
  const QString LSource = LTree.WriteFile(QStringLiteral("note.txt"), "N");
  const QString LTarget = LTree.Path(QStringLiteral("NOTE.txt"));
  // While the file stands under its temporary name, both its names are taken.
  TScopedMoveHook LHook([&](TMoveStep AStep, const QByteArray &) {
    if (AStep != TMoveStep::AfterTemporary)
      return;
    testsupport::WriteFile(LSource, "someone else's");
    testsupport::WriteFile(LTarget, "another one's");
  });
  const auto LResult = platform::detail::MoveThroughTemporaryName(LSource, LTarget);
  EXPECT_FALSE(LResult.FOk);
  ASSERT_FALSE(LResult.FStrandedPath.isEmpty());
  EXPECT_TRUE(LResult.FStrandedPath.startsWith(LTree.Root() + QStringLiteral("/.varnwell-")))
      << LResult.FStrandedPath.toStdString();
  EXPECT_EQ(ReadFile(LResult.FStrandedPath), QByteArray("N"));
  EXPECT_EQ(ReadFile(LSource), QByteArray("someone else's"));
  EXPECT_EQ(ReadFile(LTarget), QByteArray("another one's"));
}
