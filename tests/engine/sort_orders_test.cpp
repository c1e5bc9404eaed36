// The orders beyond the grid's columns on real files: the date taken (the
// date [EXIF:] gives, the file's time where the file holds none), the
// modification time and the size, ascending and descending; equal items
// keep the order they had, and a counter applied afterwards follows the
// order.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uMetadata.h"

#include "MetadataFixtures.h"
#include "SampleMedia.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using testsupport::TTempTree;

namespace {

void SetModified(const QString &APath, const QDateTime &ATime) {
  QFile LFile(APath);
  ASSERT_TRUE(LFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(LFile.setFileTime(ATime, QFileDevice::FileModificationTime));
}

void Append(const QString &APath, qsizetype ABytes) {
  QFile LFile(APath);
  ASSERT_TRUE(LFile.open(QIODevice::Append));
  ASSERT_EQ(LFile.write(QByteArray(ABytes, 'x')), ABytes);
}

QString Names(const TRenameList &AList, TNameOf AWhich = TNameOf::Old) {
  QStringList LNames;
  for (int i = 0; i < AList.Count(); ++i)
    LNames.append(AList.NameOf(i, AWhich));
  return LNames.join(u' ');
}

// The new names without their extensions: the counter's values by row.
QString Counters(const TRenameList &AList) {
  QStringList LValues;
  for (int i = 0; i < AList.Count(); ++i)
    LValues.append(AList.NameOf(i, TNameOf::Target).section(u'.', 0, 0));
  return LValues.join(u' ');
}

QDateTime Day(int AYear, int AMonth, int ADay) {
  return QDateTime(QDate(AYear, AMonth, ADay), QTime(12, 0));
}

// Sorts by AKey and numbers the items anew, as the window and the command
// line do after a sort.
void SortAndNumber(TRenameList &AList, TSortKey AKey, bool ADown, const TNameRecipe &ARecipe) {
  AList.Sort(AKey, ADown);
  AList.ApplyRecipe(ARecipe, 0);
}

} // namespace

// Four files whose name order, date-taken order, modification order and
// size order all differ; "d.txt" is no photo, so its date taken is its
// modification time.
TEST(SortOrders, FilesByEveryKeyInBothDirections) {
  SKIP_WITHOUT_EXIV2();
  TTempTree LTree;
  const QByteArray LJpeg = testsupport::GreyJpeg(16, 16);
  const struct {
    const char *FName;
    const char *FTaken;
  } LPhotos[] = {{"a.jpg", "2020:01:03 10:00:00"},
                 {"b.jpg", "2020:01:01 10:00:00"},
                 {"c.jpg", "2020:01:02 10:00:00"}};
  for (const auto &LPhoto : LPhotos) {
    const QString LPath = LTree.WriteFile(QString::fromUtf8(LPhoto.FName), LJpeg);
    ASSERT_TRUE(testsupport::WriteImageFields(QFile::encodeName(LPath),
                                              {{"Exif.Photo.DateTimeOriginal", LPhoto.FTaken}}));
  }
  // Sizes: b < d < a < c (bytes after the image's end do not disturb it).
  const qint64 LPhotoSize = QFileInfo(LTree.Path(QStringLiteral("b.jpg"))).size();
  Append(LTree.Path(QStringLiteral("a.jpg")), 2000);
  Append(LTree.Path(QStringLiteral("c.jpg")), 3000);
  LTree.WriteFile(QStringLiteral("d.txt"), QByteArray(LPhotoSize + 1000, 'd'));
  // Modified: c < a < d < b.
  SetModified(LTree.Path(QStringLiteral("a.jpg")), Day(2021, 5, 2));
  SetModified(LTree.Path(QStringLiteral("b.jpg")), Day(2021, 5, 4));
  SetModified(LTree.Path(QStringLiteral("c.jpg")), Day(2021, 5, 1));
  SetModified(LTree.Path(QStringLiteral("d.txt")), Day(2021, 5, 3));

  const struct {
    TSortKey FKey;
    bool FDown;
    const char *FOrder;
  } LCases[] = {
      {TSortKey::OldName, false, "a.jpg b.jpg c.jpg d.txt"},
      {TSortKey::OldName, true, "d.txt c.jpg b.jpg a.jpg"},
      {TSortKey::Taken, false, "b.jpg c.jpg a.jpg d.txt"},
      {TSortKey::Taken, true, "d.txt a.jpg c.jpg b.jpg"},
      {TSortKey::Modified, false, "c.jpg a.jpg d.txt b.jpg"},
      {TSortKey::Modified, true, "b.jpg d.txt a.jpg c.jpg"},
      {TSortKey::Size, false, "b.jpg d.txt a.jpg c.jpg"},
      {TSortKey::Size, true, "c.jpg a.jpg d.txt b.jpg"},
  };
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QStringLiteral("[C]");
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FOrder);
    // Found in an order that is none of the sorted ones.
    TFileList LList;
    for (const char *LName : {"d.txt", "a.jpg", "c.jpg", "b.jpg"})
      LList.AddFileInfo(std::make_unique<TFileInfo>(LTree.Path(QString::fromUtf8(LName))));
    LList.ApplyRecipe(LRecipe, 0);
    // The dates taken are read first, as the window's worker reads them.
    EXPECT_EQ(LList.NeedsSortRead(LCase.FKey), LCase.FKey == TSortKey::Taken);
    ASSERT_TRUE(LList.ReadSortKeys(LCase.FKey, nullptr));
    EXPECT_FALSE(LList.NeedsSortRead(LCase.FKey));
    SortAndNumber(LList, LCase.FKey, LCase.FDown, LRecipe);
    EXPECT_EQ(Names(LList), QString::fromUtf8(LCase.FOrder));
    // The counter follows the order.
    EXPECT_EQ(Counters(LList), QStringLiteral("1 2 3 4"));
  }
}

// A date taken that a file does not hold is its modification time, also
// where no file is a photo: the order is the modification order.
TEST(SortOrders, DateTakenFallsBackToTheFileTime) {
  TTempTree LTree;
  TFileList LList;
  const struct {
    const char *FName;
    int FDay;
  } LFiles[] = {{"x.txt", 3}, {"y.txt", 1}, {"z.jpg", 2}};
  for (const auto &LFile : LFiles) {
    const QString LPath = LTree.WriteFile(QString::fromUtf8(LFile.FName), "no photo");
    SetModified(LPath, Day(2019, 7, LFile.FDay));
    LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  }
  ASSERT_TRUE(LList.ReadSortKeys(TSortKey::Taken, nullptr));
  LList.Sort(TSortKey::Taken, false);
  EXPECT_EQ(Names(LList), QStringLiteral("y.txt z.jpg x.txt"));
}

// Items with equal keys keep the order they were found in, ascending and
// descending, among items that move around them.
TEST(SortOrders, EqualItemsKeepTheirOrderInBothDirections) {
  TTempTree LTree;
  const struct {
    const char *FName;
    int FSize;
    int FDay;
  } LFiles[] = {{"p", 5, 2}, {"b", 0, 1}, {"q", 5, 2}, {"a", 0, 1}, {"r", 5, 2}, {"c", 9, 3}};
  const struct {
    TSortKey FKey;
    bool FDown;
    const char *FOrder;
  } LCases[] = {
      {TSortKey::Size, false, "b a p q r c"},
      {TSortKey::Size, true, "c p q r b a"},
      {TSortKey::Modified, false, "b a p q r c"},
      {TSortKey::Modified, true, "c p q r b a"},
  };
  for (const auto &LFile : LFiles) {
    const QString LPath =
        LTree.WriteFile(QString::fromUtf8(LFile.FName), QByteArray(LFile.FSize, 'x'));
    SetModified(LPath, Day(2018, 1, LFile.FDay));
  }
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FOrder);
    TFileList LList;
    for (const auto &LFile : LFiles)
      LList.AddFileInfo(std::make_unique<TFileInfo>(LTree.Path(QString::fromUtf8(LFile.FName))));
    LList.Sort(LCase.FKey, LCase.FDown);
    EXPECT_EQ(Names(LList), QString::fromUtf8(LCase.FOrder));
  }
}

// Folders sort by their modification time, equal times in the order found;
// a folder has no date taken and no size, so those keys leave the order.
TEST(SortOrders, FoldersByModifiedOnly) {
  TTempTree LTree;
  const struct {
    const char *FName;
    int FDay;
  } LFolders[] = {{"m", 2}, {"k", 3}, {"n", 1}, {"l", 2}};
  const struct {
    TSortKey FKey;
    bool FDown;
    const char *FOrder;
  } LCases[] = {
      {TSortKey::Modified, false, "n m l k"}, {TSortKey::Modified, true, "k m l n"},
      {TSortKey::Taken, false, "m k n l"},    {TSortKey::Size, true, "m k n l"},
      {TSortKey::OldName, false, "k l m n"},
  };
  for (const auto &LCase : LCases) {
    SCOPED_TRACE(LCase.FOrder);
    TFolderList LList;
    for (const auto &LFolder : LFolders) {
      LTree.MakeDir(QString::fromUtf8(LFolder.FName));
      ASSERT_TRUE(
          LList.AddFolderInfoIfNeed(LTree.Root(), TFolderEntry{QString::fromUtf8(LFolder.FName),
                                                               Day(2017, 3, LFolder.FDay)}));
    }
    EXPECT_EQ(LList.SortsBy(LCase.FKey),
              LCase.FKey != TSortKey::Taken && LCase.FKey != TSortKey::Size);
    EXPECT_FALSE(LList.NeedsSortRead(LCase.FKey));
    LList.Sort(LCase.FKey, LCase.FDown);
    EXPECT_EQ(Names(LList), QString::fromUtf8(LCase.FOrder));
  }
}
