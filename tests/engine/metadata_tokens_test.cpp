// The metadata tokens of the name mask on real files: photos and music made
// in the test, their Exif and tags written with the libraries the engine
// reads them with.
#include "platform/uPlatformFs.h"
#include "uClock.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uMaskScanner.h"
#include "uMetadata.h"

#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << AText.toStdString();
}

using testsupport::TTempTree;

namespace {

using testsupport::WriteImageFields;
using testsupport::WriteSongTags;

// The system's bytes of a test file's path.
QByteArray Native(const QString &APath) {
  return QFile::encodeName(APath);
}

void SetModified(const QString &APath, const QDateTime &ATime) {
  QFile LFile(APath);
  ASSERT_TRUE(LFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(LFile.setFileTime(ATime, QFileDevice::FileModificationTime));
}

// A list of the files at APaths, in that order, named by ANameMask.
std::unique_ptr<TFileList> ListOf(const QStringList &APaths, const QString &ANameMask) {
  auto LList = std::make_unique<TFileList>();
  for (const QString &LPath : APaths)
    LList->AddFileInfo(std::make_unique<TFileInfo>(LPath));
  TNameRecipe LRecipe;
  LRecipe.FNameMask = ANameMask;
  LList->ApplyRecipe(LRecipe, 0);
  return LList;
}

} // namespace

TEST(MaskScanner, TokensWithAFormatEndAtTheFirstBracket) {
  using masks::TItemKind;
  using masks::TMaskPart;
  struct TCase {
    const char16_t *FMask;
    TItemKind FKind;
    TMaskPart FPart;
    const char16_t *FToken; // the entry found; nullptr: none
    const char16_t *FFormat;
    qsizetype FLength;
  };
  const TCase LCases[] = {
      {u"[EXIF:yyyy-MM-dd]x", TItemKind::File, TMaskPart::Name, u"[EXIF:", u"yyyy-MM-dd", 17},
      {u"[EXIF:a]b]", TItemKind::File, TMaskPart::Name, u"[EXIF:", u"a", 8},
      {u"[EXIF:]", TItemKind::File, TMaskPart::Name, u"[EXIF:", u"", 7},
      {u"[EXIF:yyyy", TItemKind::File, TMaskPart::Name, nullptr, u"", 0},
      {u"[EXIF:yyyy]", TItemKind::Folder, TMaskPart::Name, nullptr, u"", 0},
      {u"[EXIF:yyyy]", TItemKind::File, TMaskPart::Extension, nullptr, u"", 0},
      {u"[DATE:hh]", TItemKind::Folder, TMaskPart::Name, u"[DATE:", u"hh", 9},
      {u"[W]", TItemKind::Folder, TMaskPart::Name, nullptr, u"", 0},
      {u"[TRACK]", TItemKind::File, TMaskPart::Name, u"[TRACK]", u"", 7},
      {u"[TRACK:2]", TItemKind::File, TMaskPart::Name, u"[TRACK:", u"2", 9},
      {u"[TRACK:10]", TItemKind::File, TMaskPart::Name, nullptr, u"", 0},
      {u"[TRACK:x]", TItemKind::File, TMaskPart::Name, nullptr, u"", 0},
      {u"[YEAR", TItemKind::File, TMaskPart::Name, nullptr, u"", 0},
  };
  for (const TCase &LCase : LCases) {
    const QString LMask = QString::fromUtf16(LCase.FMask);
    SCOPED_TRACE(LMask.toStdString());
    const masks::TTokenMatch LMatch = masks::MatchAt(LMask, 0, LCase.FPart, LCase.FKind);
    if (LCase.FToken == nullptr) {
      EXPECT_EQ(LMatch.FToken, nullptr);
      continue;
    }
    ASSERT_NE(LMatch.FToken, nullptr);
    EXPECT_EQ(LMatch.FToken->FText, QString::fromUtf16(LCase.FToken));
    EXPECT_EQ(LMatch.FFormat.toString(), QString::fromUtf16(LCase.FFormat));
    EXPECT_EQ(LMatch.FLength, LCase.FLength);
  }
}

TEST(MaskScanner, DateWithAFormatForFoldersAndFiles) {
  const clock_source::TScopedClock LClock(
      [] { return QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9)); });
  TTempTree LTree;
  const QString LFile = LTree.WriteFile(QStringLiteral("a.txt"));
  SetModified(LFile, QDateTime(QDate(2011, 12, 13), QTime(14, 15, 16)));
  const struct {
    const char *FMask;
    const char *FFile;
    const char *FFolder;
  } LCases[] = {
      {"[DATE:yyyy-MM-dd_hh.mm.ss]", "2011-12-13_14.15.16", "2020-05-06_07.08.09"},
      {"[DATE:yyyy/MM]", "2011_12", "2020_05"},        // "/" cannot stand in a name
      {"[DATE:yyyy", "[DATE:yyyy", "[DATE:yyyy"},      // cut off: literal text
      {"[DATE:'['yy]]", "[11]", "[20]"},               // the format ends at the first "]"
      {"[YMD] [DATE:d]", "13122011 13", "06052020 6"}, // [YMD] unchanged
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FMask);
    TFileInfo LFileItem(LFile);
    LFileItem.FileNameMaskApply(QString::fromUtf8(LCase.FMask));
    EXPECT_EQ(LFileItem.NewName(), QString::fromUtf8(LCase.FFile));
    TFolderInfo LFolderItem(LTree.Root(), TFolderEntry{QStringLiteral("dir"), QDateTime()});
    LFolderItem.FolderNameMaskApply(QString::fromUtf8(LCase.FMask));
    EXPECT_EQ(LFolderItem.NewName(), QString::fromUtf8(LCase.FFolder));
  }
}

TEST(MetadataTokens, DateTakenFallsBackFromOriginalToDigitizedToTheFileTime) {
  SKIP_WITHOUT_EXIV2();
  TTempTree LTree;
  const QByteArray LJpeg = testsupport::GreyJpeg(24, 16);
  const QString LBoth = LTree.WriteFile(QStringLiteral("both.jpg"), LJpeg);
  EXPECT_TRUE(
      WriteImageFields(Native(LBoth), {{"Exif.Photo.DateTimeOriginal", "2015:03:05 14:07:09"},
                                       {"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"}}));
  const QString LDigitized = LTree.WriteFile(QStringLiteral("digitized.jpg"), LJpeg);
  EXPECT_TRUE(WriteImageFields(Native(LDigitized),
                               {{"Exif.Photo.DateTimeDigitized", "2016:01:02 03:04:05"}}));
  // A time inside the spring gap of many zones: written as it is, never moved.
  const QString LGap = LTree.WriteFile(QStringLiteral("gap.jpg"), LJpeg);
  EXPECT_TRUE(
      WriteImageFields(Native(LGap), {{"Exif.Photo.DateTimeOriginal", "2015:03:29 02:30:00"}}));
  const QString LNoExif = LTree.WriteFile(QStringLiteral("plain.jpg"), LJpeg);
  SetModified(LNoExif, QDateTime(QDate(2011, 12, 13), QTime(14, 15, 16)));
  const QString LText = LTree.WriteFile(QStringLiteral("note.txt"), "not a photo");
  SetModified(LText, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));

  const auto LList = ListOf({LBoth, LDigitized, LGap, LNoExif, LText},
                            QStringLiteral("[EXIF:yyyy-MM-dd_hh.mm.ss]_[W]x[H]"));
  const struct {
    const char *FName;
    uint16_t FNotes;
  } LExpected[] = {
      {"2015-03-05_14.07.09_24x16", masks::mnNone},
      {"2016-01-02_03.04.05_24x16", masks::mnTakenDigitized},
      {"2015-03-29_02.30.00_24x16", masks::mnNone},
      {"2011-12-13_14.15.16_24x16", masks::mnTakenFileTime},
      {"2001-02-03_04.05.06_x", masks::mnTakenFileTime | masks::mnNoSize},
  };
  for (int i = 0; i < LList->Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(LList->Items(i)->NewName(), QString::fromUtf8(LExpected[i].FName));
    EXPECT_EQ(LList->Items(i)->MetadataNotes(), LExpected[i].FNotes);
  }
}

TEST(MetadataTokens, MusicTagsEachTokenAMissingTagAndASlash) {
  SKIP_WITHOUT_TAGLIB();
  TTempTree LTree;
  const QByteArray LWav = testsupport::SilentWav(800);
  const QString LTagged = LTree.WriteFile(QStringLiteral("a.wav"), LWav);
  EXPECT_TRUE(WriteSongTags(Native(LTagged), {"Ana Ö", "Live", "AC/DC cover", 7, 1999}));
  const QString LPartial = LTree.WriteFile(QStringLiteral("b.wav"), LWav);
  EXPECT_TRUE(WriteSongTags(Native(LPartial), {"", "Solo", "", 0, 0}));
  const QString LUntagged = LTree.WriteFile(QStringLiteral("c.wav"), LWav);

  const auto LList = ListOf({LTagged, LPartial, LUntagged},
                            QStringLiteral("[ARTIST]-[ALBUM]-[TRACK:2]-[TRACK]-[TITLE]-[YEAR]"));
  using namespace masks;
  const struct {
    const char *FName;
    uint16_t FNotes;
  } LExpected[] = {
      {"Ana Ö-Live-07-7-AC_DC cover-1999", mnNone},
      {"-Solo----", mnNoArtist | mnNoTitle | mnNoTrack | mnNoYear},
      {"-----", mnNoArtist | mnNoAlbum | mnNoTitle | mnNoTrack | mnNoYear},
  };
  for (int i = 0; i < LList->Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(LList->Items(i)->NewName(), QString::fromUtf8(LExpected[i].FName));
    EXPECT_EQ(LList->Items(i)->MetadataNotes(), LExpected[i].FNotes);
  }
}

TEST(MetadataTokens, WithoutTheLibrariesTheTokensAreEmptyAndNoted) {
  if (metadata::MetadataAvailable())
    GTEST_SKIP() << "built with a metadata library: this case is for a build without both";
  TTempTree LTree;
  const QString LPhoto = LTree.WriteFile(QStringLiteral("a.jpg"), testsupport::GreyJpeg(8, 8));
  const auto LList = ListOf({LPhoto}, QStringLiteral("x[EXIF:yyyy][W][ARTIST]"));
  EXPECT_EQ(LList->Items(0)->NewName(), QStringLiteral("x"));
  EXPECT_EQ(LList->Items(0)->MetadataNotes(), masks::mnNoPhotoLibrary | masks::mnNoMusicLibrary);
}

TEST(MetadataTokens, ReadOnceAndReadAgainAfterASwapMovedTheFiles) {
  SKIP_WITHOUT_EXIV2();
  TTempTree LTree;
  const QByteArray LJpeg = testsupport::GreyJpeg(8, 8);
  const QString LA = LTree.WriteFile(QStringLiteral("a.jpg"), LJpeg);
  EXPECT_TRUE(
      WriteImageFields(Native(LA), {{"Exif.Photo.DateTimeOriginal", "2001:01:01 00:00:00"}}));
  const QString LB = LTree.WriteFile(QStringLiteral("b.jpg"), LJpeg);
  EXPECT_TRUE(
      WriteImageFields(Native(LB), {{"Exif.Photo.DateTimeOriginal", "2002:01:01 00:00:00"}}));
  const auto LList = ListOf({LA, LB}, QStringLiteral("[N]"));

  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[EXIF:yyyy]");
  EXPECT_TRUE(LList->NeedsMetadataRead(LRecipe));
  TProgress LProgress;
  int LReports = 0;
  LProgress.SetOnReport([&](int, int ATotal, const QString &) {
    ++LReports;
    EXPECT_EQ(ATotal, 2);
  });
  ASSERT_TRUE(LList->ReadMetadata(LRecipe, &LProgress));
  EXPECT_EQ(LReports, 2);
  EXPECT_FALSE(LList->NeedsMetadataRead(LRecipe));
  // A stop asked before the first item reads nothing more.
  LProgress.RequestStop();
  EXPECT_FALSE(LList->ReadMetadata(LRecipe, &LProgress));

  // The two files swap names; the same recipe afterwards still names each
  // file by its own date, not by what was read under its new path.
  LList->Items(0)->SetNewName(QStringLiteral("b"));
  LList->Items(1)->SetNewName(QStringLiteral("a"));
  ASSERT_EQ(LList->ExecuteRenaming(), 0);
  LList->ApplyRecipe(LRecipe, 0);
  EXPECT_EQ(LList->Items(0)->NewName(), QStringLiteral("2001"));
  EXPECT_EQ(LList->Items(1)->NewName(), QStringLiteral("2002"));
  // And Rollback brings them home (from the names they were given).
  LList->Items(0)->SetNewName(QStringLiteral("b"));
  LList->Items(1)->SetNewName(QStringLiteral("a"));
  ASSERT_EQ(LList->ExecuteRollback(), 0);
  EXPECT_TRUE(QFile::exists(LA));
  LList->ApplyRecipe(LRecipe, 0);
  EXPECT_EQ(LList->Items(0)->NewName(), QStringLiteral("2001"));
}

// A photo whose name is not UTF-8 is read under its own bytes.
TEST(MetadataTokens, APhotoWhoseNameIsNotUtf8IsRead) {
  SKIP_WITHOUT_EXIV2();
  TTempTree LTree;
  const QByteArray LBytes = QFile::encodeName(LTree.Root()) + "/IMG\xff.jpg";
  {
    const QByteArray LJpeg = testsupport::GreyJpeg(24, 16);
    FILE *LOut = std::fopen(LBytes.constData(), "wb");
    ASSERT_NE(LOut, nullptr);
    ASSERT_EQ(std::fwrite(LJpeg.constData(), 1, static_cast<size_t>(LJpeg.size()), LOut),
              static_cast<size_t>(LJpeg.size()));
    std::fclose(LOut);
  }
  const QString LPath = platform::DecodeNativePath(LBytes);
  const auto LList = ListOf({LPath}, QStringLiteral("[W]x[H]"));
  EXPECT_EQ(LList->Items(0)->NewName(), QStringLiteral("24x16"));
  EXPECT_EQ(metadata::NativePathBytes(LPath), LBytes);
  std::remove(LBytes.constData());
}
