#include "uFileInfo.h"

#include "TestSupport.h"
#include "uResourceString.h"
#include "uZeroDate.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

// Readable failure messages for texts.
void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << AText.toStdString();
}

using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

void SetModified(const QString &APath, const QDateTime &ATime) {
  QFile LFile(APath);
  ASSERT_TRUE(LFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(LFile.setFileTime(ATime, QFileDevice::FileModificationTime));
}

QStringList Names(const TTempTree &ATree) {
  return QDir(ATree.Root())
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(FileInfoCreate, PartsOfTheName) {
  TTempTree LTree;
  struct TCase {
    const char16_t *FName;
    const char16_t *FFileType;
    const char16_t *FNewName;
  };
  const TCase LCases[] = {
      {u"IMG_01.JPG", u"JPG", u"IMG_01"},
      {u"README", u"", u"README"},
      {u"archive.tar.gz", u"gz", u"archive.tar"},
      {u".profile", u"", u".profile"},
      {u".config.json", u"json", u".config"},
      {u"a\\b:c.txt", u"txt", u"a\\b:c"},
      {u"x[C].txt", u"txt", u"x[C]"},
      {u"trailing.", u"", u"trailing"},
  };
  for (const auto &LCase : LCases) {
    const QString LName = QString::fromUtf16(LCase.FName);
    const TFileInfo LItem(LTree.WriteFile(LName, "x"));
    EXPECT_EQ(LItem.OldName(), LName);
    EXPECT_EQ(LItem.FileType(), QString::fromUtf16(LCase.FFileType)) << LName.toStdString();
    EXPECT_EQ(LItem.NewName(), QString::fromUtf16(LCase.FNewName)) << LName.toStdString();
    EXPECT_EQ(LItem.DelFileExt(), QString::fromUtf16(LCase.FNewName)) << LName.toStdString();
    EXPECT_EQ(LItem.NewFileType(), QString::fromUtf16(LCase.FFileType)) << LName.toStdString();
    EXPECT_EQ(LItem.Location(), LTree.Root());
    EXPECT_EQ(LItem.FullFileName(), LTree.Path(LName));
    EXPECT_EQ(LItem.CounterStart(), 1);
    EXPECT_EQ(LItem.CounterStep(), 1);
    EXPECT_EQ(LItem.CntDigitNumber(), 1);
    EXPECT_EQ(LItem.Index(), 0);
    EXPECT_FALSE(LItem.isRenamed());
  }
  const TFileInfo LInRoot(QStringLiteral("/varnwell-surely-missing.txt"));
  EXPECT_EQ(LInRoot.Location(), QStringLiteral("/"));
  EXPECT_EQ(LInRoot.OldName(), QStringLiteral("varnwell-surely-missing.txt"));
}

TEST(FileInfoCreate, SizeDateAndAttributesFromOneLook) {
  TTempTree LTree;
  const QDateTime LTime(QDate(2015, 3, 5), QTime(14, 7, 9));
  const QString LPlain = LTree.WriteFile(QStringLiteral("plain.bin"), QByteArray(1536, 'p'));
  SetModified(LPlain, LTime);
  const QString LHidden = LTree.WriteFile(QStringLiteral(".hidden"), "h");
  const QString LReadOnly = LTree.WriteFile(QStringLiteral("ro.txt"), "r");
  QFile::setPermissions(LReadOnly, QFile::ReadOwner | QFile::ReadGroup);
  const QString LFolder = LTree.MakeDir(QStringLiteral("folder"));
  const QString LMissing = LTree.Path(QStringLiteral("missing.txt"));

  const TFileInfo LItem(LPlain);
  EXPECT_EQ(LItem.Size(), 1536);
  EXPECT_EQ(LItem.SizeStr(), QStringLiteral("1536 bytes"));
  EXPECT_EQ(LItem.Date(), LTime);
  EXPECT_EQ(LItem.Attributes(), QStringLiteral("-a--"));
  EXPECT_EQ(TFileInfo(LHidden).Attributes(), QStringLiteral("-ah-"));
  EXPECT_EQ(TFileInfo(LReadOnly).Attributes(), QStringLiteral("ra--"));
  EXPECT_EQ(TFileInfo::GetAttributes(LReadOnly), QStringLiteral("ra--"));

  const TFileInfo LDir(LFolder);
  EXPECT_EQ(LDir.Attributes(), QStringLiteral("----"));
  EXPECT_EQ(LDir.Date(), ZeroDateTime());

  const TFileInfo LGone(LMissing);
  EXPECT_EQ(LGone.Size(), -1);
  EXPECT_EQ(LGone.SizeStr(), QStringLiteral("-1 bytes"));
  EXPECT_EQ(LGone.Date(), ZeroDateTime());
  EXPECT_EQ(LGone.Attributes(), QStringLiteral("raha"));
  EXPECT_EQ(TFileInfo::GetAttributes(LMissing), QStringLiteral("raha"));
}

TEST(FileInfo, NameExtDistribution) {
  TFileInfo LItem(QStringLiteral("/nowhere/x.old"));
  EXPECT_EQ(LItem.NameExtDistribution(QStringLiteral("a.b.c")), QStringLiteral("a.b"));
  EXPECT_EQ(LItem.NewFileType(), QStringLiteral(".c"));
  EXPECT_EQ(LItem.NameExtDistribution(QStringLiteral("abc")), QStringLiteral("abc"));
  EXPECT_EQ(LItem.NewFileType(), QStringLiteral(".c"));
  EXPECT_EQ(LItem.NameExtDistribution(QString()), QString());
  EXPECT_EQ(LItem.NewFileType(), QStringLiteral(".c"));
  EXPECT_EQ(LItem.NameExtDistribution(QStringLiteral("x.")), QStringLiteral("x"));
  EXPECT_EQ(LItem.NewFileType(), QStringLiteral("."));
  // A leading dot starts no extension: the text is the whole name, and the
  // extension it had is gone with it (an empty search on the name "" with
  // the extension "." gives "." again, not "..").
  EXPECT_EQ(LItem.NameExtDistribution(QStringLiteral(".")), QStringLiteral("."));
  EXPECT_EQ(LItem.NewFileType(), QString());
  LItem.SetNewName(QString());
  LItem.SetNewFileType(QStringLiteral(".txt"));
  LItem.SearchReplace_NewName(QString(), QStringLiteral("x"));
  EXPECT_EQ(LItem.NewName() + LItem.NewFileType(), QStringLiteral(".txt"));
}

TEST(FileInfoMasks, ScanTable) {
  TTempTree LTree;
  const QDateTime LTime(QDate(2015, 3, 5), QTime(14, 7, 9));
  struct TCase {
    const char16_t *FOldName; // nullptr: a file that does not exist
    int FIndex;
    int FStart;
    int FStep;
    int FDigits;
    const char16_t *FNameMask;
    const char16_t *FExtMask;
    const char16_t *FNewName;
    const char16_t *FNewFileType;
  };
  const TCase LCases[] = {
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[N]", u"[E]", u"IMG_01", u".JPG"},
      {u"IMG_01.JPG", 0, 1, 1, 3, u"Photo_[C]", u"[E]", u"Photo_001", u".JPG"},
      {u"IMG_01.JPG", 2, 1, 1, 3, u"Photo_[C]", u"[E]", u"Photo_003", u".JPG"},
      {u"IMG_01.JPG", 3, 5, 10, 1, u"[C]", u"[C]", u"35", u".35"},
      {u"IMG_01.JPG", 3, 5, 10, 4, u"[C]", u"[E]_[C]", u"0035", u".JPG_0035"},
      {u"IMG_01.JPG", 0, 1234, 1, 2, u"[C]", u"[E]", u"1234", u".JPG"},
      {u"IMG_01.JPG", 1, 0, -3, 2, u"[C]", u"[E]", u"-3", u".JPG"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[YMD]_[hms]", u"[E]", u"05032015_140709", u".JPG"},
      {nullptr, 0, 1, 1, 1, u"[YMD]_[hms]", u"[E]", u"30121899_000000", u".file"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[n][ymd][HMS][x][c]", u"[e][N][YMD][hms]",
       u"[n][ymd][HMS][x][c]", u".[e][N][YMD][hms]"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"a[N", u"[E", u"a[N", u".[E"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[C", u"x[", u"[C", u".x["},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[YMD", u"[C", u"[YMD", u".[C"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[[N]]", u"[[E]]", u"[IMG_01]", u".[JPG]"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[E]", u"bak", u"[E]", u".bak"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"", u".[E]", u"", u"..JPG"},
      {u"IMG_01.JPG", 0, 1, 1, 1, u"[N]", u"", u"IMG_01", u"."},
      {u"README", 0, 1, 1, 1, u"[N]", u"[E]", u"README", u"."},
      {u"x[C].txt", 4, 1, 1, 1, u"[N]", u"[E]", u"x[C]", u".txt"},
      {u"x[C].txt", 4, 1, 1, 1, u"[N][C]", u"[E]", u"x[C]5", u".txt"},
      {u"é.tar.gz", 0, 1, 1, 1, u"Ä [N] Ö", u"[E][E]", u"Ä é.tar Ö", u".gzgz"},
  };
  for (const auto &LCase : LCases) {
    QString LPath = LTree.Path(QStringLiteral("missing.file"));
    if (LCase.FOldName) {
      LPath = LTree.WriteFile(QString::fromUtf16(LCase.FOldName), "x");
      SetModified(LPath, LTime);
    }
    TFileInfo LItem(LPath);
    LItem.SetIndex(LCase.FIndex);
    LItem.SetCounterStart(LCase.FStart);
    LItem.SetCounterStep(LCase.FStep);
    LItem.SetCntDigitNumber(LCase.FDigits);
    const QString LNameMask = QString::fromUtf16(LCase.FNameMask);
    const QString LExtMask = QString::fromUtf16(LCase.FExtMask);
    LItem.FileNameMaskApply(LNameMask);
    LItem.FileExtMaskApply(LExtMask);
    EXPECT_EQ(LItem.NewName(), QString::fromUtf16(LCase.FNewName)) << LNameMask.toStdString();
    EXPECT_EQ(LItem.NewFileType(), QString::fromUtf16(LCase.FNewFileType))
        << LExtMask.toStdString();
    // Applying a mask again gives the same result.
    LItem.FileNameMaskApply(LNameMask);
    EXPECT_EQ(LItem.NewName(), QString::fromUtf16(LCase.FNewName)) << LNameMask.toStdString();
  }
}

TEST(FileInfoMasks, SingleStepsReportWhatTheyConsumed) {
  TFileInfo LItem(QStringLiteral("/nowhere/IMG_01.JPG"));
  LItem.SetNewName(QString());
  const QString LMask = QStringLiteral("[N][C][YMD][hms][x");
  EXPECT_EQ(LItem.CheckSpecialSumbol(LMask, 1), 3);
  EXPECT_EQ(LItem.CheckSpecialSumbol(LMask, 4), 3);
  EXPECT_EQ(LItem.CheckSpecialSumbol(LMask, 7), 5);
  EXPECT_EQ(LItem.CheckSpecialSumbol(LMask, 12), 5);
  EXPECT_EQ(LItem.CheckSpecialSumbol(LMask, 17), 1);
  EXPECT_EQ(LItem.NewName(), QStringLiteral("IMG_01130121899000000["));

  LItem.SetNewFileType(QStringLiteral("."));
  LItem.SetCntDigitNumber(2);
  const QString LExt = QStringLiteral("[E][C][N]");
  EXPECT_EQ(LItem.CheckSpecialSumbolExt(LExt, 1, 0), 3);
  EXPECT_EQ(LItem.CheckSpecialSumbolExt(LExt, 4, 7), 3);
  EXPECT_EQ(LItem.CheckSpecialSumbolExt(LExt, 7, 0), 1);
  EXPECT_EQ(LItem.NewFileType(), QStringLiteral(".JPG08["));
  EXPECT_EQ(LItem.GetDigitNumber(7), QStringLiteral("07"));
}

TEST(FileInfoEdits, CaseRulesAndSearchReplaceOnTheItem) {
  // A case rule, or search and replace where the rule is None.
  struct TCase {
    const char16_t *FName;
    const char16_t *FType;
    TCaseRule FEdit;
    const char16_t *FSearch;
    const char16_t *FReplace;
    const char16_t *FNewName;
    const char16_t *FNewType;
  };
  const TCase LCases[] = {
      {u"IMG_01", u".JPG", TCaseRule::Lower, u"", u"", u"img_01", u".jpg"},
      {u"Photo", u".jpg", TCaseRule::Upper, u"", u"", u"PHOTO", u".JPG"},
      {u"élan vital", u".txt", TCaseRule::FirstLetter, u"", u"", u"Élan vital", u".txt"},
      {u"my holiday photo", u".jpg", TCaseRule::Words, u"", u"", u"My Holiday Photo", u".jpg"},
      {u"", u".jpg", TCaseRule::Words, u"", u"", u"", u".jpg"},
      {u"", u".jpg", TCaseRule::FirstLetter, u"", u"", u"", u".jpg"},
      {u"photo", u".JPG", TCaseRule::None, u"jpg", u"png", u"photo", u".png"},
      {u"foo", u".txt", TCaseRule::None, u"o", u"oo", u"foooo", u".txt"},
      {u"a", u".txt", TCaseRule::None, u".", u"_", u"a_txt", u".txt"},
      {u"note", u".txt", TCaseRule::None, u"e.t", u"E-T", u"notE-Txt", u".txt"},
      {u"ABab", u".txt", TCaseRule::None, u"ab", u"x", u"xx", u".txt"},
      {u"a_b", u".txt", TCaseRule::None, u"_", u".", u"a.b", u".txt"},
  };
  for (const auto &LCase : LCases) {
    TFileInfo LItem(QStringLiteral("/nowhere/x.y"));
    LItem.SetNewName(QString::fromUtf16(LCase.FName));
    LItem.SetNewFileType(QString::fromUtf16(LCase.FType));
    if (LCase.FEdit == TCaseRule::None)
      EXPECT_EQ(LItem.SearchReplace_NewName(QString::fromUtf16(LCase.FSearch),
                                            QString::fromUtf16(LCase.FReplace)),
                QString());
    else
      ApplyCaseRule(LItem, LCase.FEdit);
    EXPECT_EQ(LItem.NewName(), QString::fromUtf16(LCase.FNewName));
    EXPECT_EQ(LItem.NewFileType(), QString::fromUtf16(LCase.FNewType));
  }
}

TEST(FileInfoRename, RenameThenRollbackRestoresNameAndBytes) {
  TTempTree LTree;
  const QString LPath = LTree.WriteFile(QStringLiteral("IMG_01.JPG"), "jpeg bytes");
  TFileInfo LItem(LPath);
  LItem.FileNameMaskApply(QStringLiteral("Photo_[C]"));
  LItem.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LItem.TFileInfoRenameFile(), 0);
  EXPECT_TRUE(LItem.isRenamed());
  EXPECT_EQ(Names(LTree), QStringList{QStringLiteral("Photo_1.JPG")});
  EXPECT_EQ(LItem.FullFileName(), LPath);
  EXPECT_EQ(LItem.OldName(), QStringLiteral("IMG_01.JPG"));

  EXPECT_EQ(LItem.RollbackFile(), 0);
  EXPECT_FALSE(LItem.isRenamed());
  EXPECT_EQ(Names(LTree), QStringList{QStringLiteral("IMG_01.JPG")});
  EXPECT_EQ(ReadFile(LPath), "jpeg bytes");
  EXPECT_TRUE(LItem.RenameErrorText().isEmpty());
  EXPECT_TRUE(LItem.ExeptionText().isEmpty());
}

TEST(FileInfoRename, AnExistingTargetIsNeverReplaced) {
  TTempTree LTree;
  TFileInfo LItem(LTree.WriteFile(QStringLiteral("a.txt"), "A"));
  LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const auto LBefore = SnapshotTree(LTree.Root());
  LItem.FileNameMaskApply(QStringLiteral("b"));
  LItem.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LItem.TFileInfoRenameFile(), 1);
  EXPECT_FALSE(LItem.isRenamed());
  EXPECT_EQ(LItem.RenameErrorText(), QStringLiteral("File already exists"));
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileInfoRename, AnUnchangedNameSucceedsWithoutTouchingTheDisk) {
  TTempTree LTree;
  TFileInfo LItem(LTree.WriteFile(QStringLiteral("a.txt"), "A"));
  LTree.WriteFile(QStringLiteral("b.txt"), "B");
  const auto LBefore = SnapshotTree(LTree.Root());
  LItem.FileNameMaskApply(QStringLiteral("[N]"));
  LItem.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LItem.TFileInfoRenameFile(), 0);
  EXPECT_TRUE(LItem.isRenamed());
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
  EXPECT_EQ(LItem.RollbackFile(), 0);
  EXPECT_FALSE(LItem.isRenamed());
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileInfoRename, VanishedFileFolderAndSecondRename) {
  TTempTree LTree;
  TFileInfo LVanished(LTree.WriteFile(QStringLiteral("v.txt"), "v"));
  QFile::remove(LTree.Path(QStringLiteral("v.txt")));
  LVanished.FileNameMaskApply(QStringLiteral("w"));
  LVanished.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LVanished.TFileInfoRenameFile(), 1);
  EXPECT_EQ(LVanished.RenameErrorText(), QStringLiteral("File not exist"));
  EXPECT_FALSE(LVanished.isRenamed());

  TFileInfo LFolder(LTree.MakeDir(QStringLiteral("folder.d")));
  LFolder.FileNameMaskApply(QStringLiteral("other"));
  LFolder.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LFolder.TFileInfoRenameFile(), 1);
  EXPECT_EQ(LFolder.RenameErrorText(), rs::FileNotExist);

  TFileInfo LTwice(LTree.WriteFile(QStringLiteral("t.txt"), "t"));
  LTwice.FileNameMaskApply(QStringLiteral("u"));
  LTwice.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LTwice.TFileInfoRenameFile(), 0);
  EXPECT_EQ(LTwice.TFileInfoRenameFile(), 1);
  EXPECT_EQ(LTwice.RenameErrorText(), rs::FileNotExist);
  EXPECT_FALSE(LTwice.isRenamed());
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("u.txt"))), "t");
}

TEST(FileInfoRename, LinksAreRenamedThemselves) {
  TTempTree LTree;
  const QString LTarget = LTree.WriteFile(QStringLiteral("target.txt"), "T");
  ASSERT_TRUE(QFile::link(LTarget, LTree.Path(QStringLiteral("link.txt"))));
  ASSERT_TRUE(QFile::link(LTree.Path(QStringLiteral("nothing")),
                          LTree.Path(QStringLiteral("dangling.txt"))));
  TFileInfo LLink(LTree.Path(QStringLiteral("link.txt")));
  LLink.FileNameMaskApply(QStringLiteral("renamed-link"));
  LLink.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LLink.TFileInfoRenameFile(), 0);
  TFileInfo LDangling(LTree.Path(QStringLiteral("dangling.txt")));
  LDangling.FileNameMaskApply(QStringLiteral("d2"));
  LDangling.FileExtMaskApply(QStringLiteral("[E]"));
  // A link whose target is missing is an entry too: it moves as itself.
  EXPECT_EQ(LDangling.TFileInfoRenameFile(), 0);
  EXPECT_EQ(LDangling.RenameErrorText(), QString());
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("d2.txt"), QStringLiteral("renamed-link.txt"),
                                       QStringLiteral("target.txt")}));
  EXPECT_EQ(LDangling.RollbackFile(), 0);
  EXPECT_EQ(ReadFile(LTarget), "T");
}

TEST(FileInfoRename, ChangeOfLetterCaseOnly) {
  TTempTree LTree;
  TFileInfo LItem(LTree.WriteFile(QStringLiteral("photo.jpg"), "P"));
  LItem.FileNameMaskApply(QStringLiteral("[N]"));
  LItem.FileExtMaskApply(QStringLiteral("[E]"));
  LItem.SetUppercase();
  EXPECT_EQ(LItem.TFileInfoRenameFile(), 0);
  EXPECT_EQ(Names(LTree), QStringList{QStringLiteral("PHOTO.JPG")});
  EXPECT_EQ(LItem.RollbackFile(), 0);
  EXPECT_EQ(Names(LTree), QStringList{QStringLiteral("photo.jpg")});
}

TEST(FileInfoRename, InvalidNamesFailWithoutTouchingTheDisk) {
  TTempTree LTree;
  LTree.MakeDir(QStringLiteral("sub"));
  LTree.WriteFile(QStringLiteral("sub/victim.txt"), "V");
  const QString LPath = LTree.WriteFile(QStringLiteral("sub/a.txt"), "A");
  struct TCase {
    QString FNewName;
    QString FNewFileType;
  };
  const TCase LCases[] = {
      {QString(), QStringLiteral(".")},
      {QString(), QString()},
      {QStringLiteral("."), QStringLiteral(".")},
      {QStringLiteral("."), QString()},
      {QString(), QStringLiteral("..")},
      {QStringLiteral(".."), QStringLiteral(".")},
      {QStringLiteral("../b"), QStringLiteral(".txt")},
      {QStringLiteral("x/y"), QStringLiteral(".txt")},
      {QStringLiteral("x"), QStringLiteral(".t/xt")},
      {QStringLiteral("x") + QChar(0), QStringLiteral(".txt")},
  };
  const auto LBefore = SnapshotTree(LTree.Root());
  for (const auto &LCase : LCases) {
    TFileInfo LItem(LPath);
    LItem.SetNewName(LCase.FNewName);
    LItem.SetNewFileType(LCase.FNewFileType);
    EXPECT_EQ(LItem.TFileInfoRenameFile(), 1) << LCase.FNewName.toStdString();
    EXPECT_EQ(LItem.RenameErrorText(), QStringLiteral("Invalid file name"));
    EXPECT_FALSE(LItem.isRenamed());
    // Rollback with such a name never fetches a file from elsewhere either.
    LItem.SetNewName(QStringLiteral("../victim"));
    LItem.SetNewFileType(QStringLiteral(".txt"));
    LItem.SetisRenamed(true);
    EXPECT_EQ(LItem.RollbackFile(), 1);
    EXPECT_TRUE(LItem.isRenamed());
  }
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

TEST(FileInfoRename, AnExtensionOfADotAloneLeavesNoTrailingDot) {
  TTempTree LTree;
  TFileInfo LReadme(LTree.WriteFile(QStringLiteral("README"), "R"));
  LReadme.FileNameMaskApply(QStringLiteral("[N]_1"));
  LReadme.FileExtMaskApply(QStringLiteral("[E]"));
  EXPECT_EQ(LReadme.NewFullName(), QStringLiteral("README_1."));
  EXPECT_EQ(LReadme.TargetName(), QStringLiteral("README_1"));
  TFileInfo LNotes(LTree.WriteFile(QStringLiteral("notes.txt"), "N"));
  LNotes.FileNameMaskApply(QStringLiteral("[N]"));
  LNotes.FileExtMaskApply(QString());
  EXPECT_EQ(LReadme.TFileInfoRenameFile(), 0);
  EXPECT_EQ(LNotes.TFileInfoRenameFile(), 0);
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("README_1"), QStringLiteral("notes")}));
  EXPECT_EQ(LReadme.RollbackFile(), 0);
  EXPECT_EQ(LNotes.RollbackFile(), 0);
  EXPECT_EQ(Names(LTree), (QStringList{QStringLiteral("README"), QStringLiteral("notes.txt")}));
}

TEST(FileInfoRename, RollbackNeverReplacesAFileThatTookTheOldName) {
  TTempTree LTree;
  TFileInfo LItem(LTree.WriteFile(QStringLiteral("a.txt"), "A"));
  LItem.FileNameMaskApply(QStringLiteral("b"));
  LItem.FileExtMaskApply(QStringLiteral("[E]"));
  ASSERT_EQ(LItem.TFileInfoRenameFile(), 0);
  LTree.WriteFile(QStringLiteral("a.txt"), "newcomer");
  EXPECT_EQ(LItem.RollbackFile(), 1);
  EXPECT_TRUE(LItem.isRenamed());
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("a.txt"))), "newcomer");
  EXPECT_EQ(ReadFile(LTree.Path(QStringLiteral("b.txt"))), "A");
}

TEST(FileInfo, ExceptionTextIsTypeNameThenMessage) {
  EXPECT_EQ(ExceptionTypeAndMessage(std::runtime_error("disk on fire")),
            QStringLiteral("std::runtime_errordisk on fire"));
  EXPECT_EQ(ExceptionTypeAndMessage(std::bad_alloc()),
            QStringLiteral("std::bad_allocstd::bad_alloc"));
}

TEST(FileInfo, EditsOfAFreshItemStartFromTheOldName) {
  TFileInfo LSteps(QStringLiteral("/nowhere/IMG_01.JPG"));
  EXPECT_EQ(LSteps.CheckSpecialSumbol(QStringLiteral("[N]"), 1), 3);
  EXPECT_EQ(LSteps.CheckSpecialSumbolExt(QStringLiteral("[E]"), 1, 0), 3);
  EXPECT_EQ(LSteps.NewName(), QStringLiteral("IMG_01IMG_01"));
  EXPECT_EQ(LSteps.NewFileType(), QStringLiteral("JPGJPG"));

  TFileInfo LCase(QStringLiteral("/nowhere/élan vital.txt"));
  LCase.SetAllFirstUp();
  EXPECT_EQ(LCase.NewFullName(), QStringLiteral("Élan Vitaltxt"));
  LCase.SetUppercase();
  EXPECT_EQ(LCase.NewFullName(), QStringLiteral("ÉLAN VITALTXT"));

  // Before any extension mask the extension has no dot: the whole new name
  // has none to split at, and the extension stays.
  TFileInfo LReplace(QStringLiteral("/nowhere/a.txt"));
  LReplace.SearchReplace_NewName(QStringLiteral("q"), QStringLiteral("y"));
  EXPECT_EQ(LReplace.NewName(), QStringLiteral("atxt"));
  EXPECT_EQ(LReplace.NewFileType(), QStringLiteral("txt"));
  EXPECT_EQ(LReplace.TargetName(), QStringLiteral("atxttxt"));
}
