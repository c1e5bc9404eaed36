// The subfolder walk on real temporary trees.
#include "TestSupport.h"
#include "uFolderInfo.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << '"' << AText.toStdString() << '"';
}

namespace {

// (APath relative to the root, name) of every call, in call order.
std::vector<std::pair<QString, QString>> Walk(const QString &ARoot, const QString &AStart) {
  std::vector<std::pair<QString, QString>> LCalls;
  ScanSubFolders(AStart, [&](const QString &APath, const TFolderEntry &AFileInfo) {
    EXPECT_TRUE(APath.startsWith(ARoot)) << APath.toStdString();
    LCalls.emplace_back(APath.mid(ARoot.size()), AFileInfo.FName);
  });
  return LCalls;
}

TEST(ScanSubFolders, ReportsEveryFolderBeforeItsChildrenWithThePathAsGiven) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"a/b/c"_s);
  LTree.MakeDir(u"a/d"_s);
  LTree.MakeDir(u"e"_s);
  LTree.WriteFile(u"a/file.txt"_s, "x");
  LTree.WriteFile(u"f.txt"_s, "x");

  for (const QString &LStart : {LTree.Root(), LTree.Root() + u'/'}) {
    const auto LCalls = Walk(LTree.Root(), LStart);
    ASSERT_EQ(LCalls.size(), 5u);
    // The first level gets the folder exactly as it was passed, deeper levels
    // a path without a final delimiter.
    const QString LFirst = LStart.mid(LTree.Root().size());
    std::vector<std::pair<QString, QString>> LExpected = {{LFirst, u"a"_s},
                                                          {u"/a"_s, u"b"_s},
                                                          {u"/a/b"_s, u"c"_s},
                                                          {u"/a"_s, u"d"_s},
                                                          {LFirst, u"e"_s}};
    // The listing order of the file system decides between siblings; check
    // that each folder comes before its children and after its parent.
    std::vector<std::pair<QString, QString>> LSorted = LCalls;
    std::sort(LSorted.begin(), LSorted.end());
    std::sort(LExpected.begin(), LExpected.end());
    EXPECT_EQ(LSorted, LExpected);
    const auto LPos = [&LCalls](const QString &AName) {
      return std::find_if(LCalls.begin(), LCalls.end(),
                          [&AName](const auto &ACall) { return ACall.second == AName; }) -
             LCalls.begin();
    };
    EXPECT_LT(LPos(u"a"_s), LPos(u"b"_s));
    EXPECT_LT(LPos(u"b"_s), LPos(u"c"_s));
    EXPECT_LT(LPos(u"a"_s), LPos(u"d"_s));
    // Depth first: the whole of a comes before e, or the whole of it after.
    const bool LABeforeE = LPos(u"a"_s) < LPos(u"e"_s);
    for (const QString &LChild : {u"b"_s, u"c"_s, u"d"_s})
      EXPECT_EQ(LPos(LChild) < LPos(u"e"_s), LABeforeE);
  }
}

TEST(ScanSubFolders, SkipsHiddenFoldersAndLinksWithEverythingBelowThem) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u".hidden/inner"_s);
  LTree.MakeDir(u"shown/.git/objects"_s);
  LTree.MakeDir(u"target/deep"_s);
  // A link to a folder, a link back up the tree (a loop) and a dangling link.
  ASSERT_TRUE(QFile::link(LTree.Path(u"target"_s), LTree.Path(u"link"_s)));
  ASSERT_TRUE(QFile::link(LTree.Root(), LTree.Path(u"target/loop"_s)));
  ASSERT_TRUE(QFile::link(LTree.Path(u"missing"_s), LTree.Path(u"dangling"_s)));

  auto LCalls = Walk(LTree.Root(), LTree.Root());
  std::sort(LCalls.begin(), LCalls.end());
  const std::vector<std::pair<QString, QString>> LExpected = {
      {u""_s, u"shown"_s}, {u""_s, u"target"_s}, {u"/target"_s, u"deep"_s}};
  EXPECT_EQ(LCalls, LExpected);
}

TEST(ScanSubFolders, AChosenFolderReachedThroughALinkIsWalked) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"real/inner"_s);
  ASSERT_TRUE(QFile::link(LTree.Path(u"real"_s), LTree.Path(u"chosen"_s)));
  const auto LCalls = Walk(LTree.Root(), LTree.Path(u"chosen"_s));
  const std::vector<std::pair<QString, QString>> LExpected = {{u"/chosen"_s, u"inner"_s}};
  EXPECT_EQ(LCalls, LExpected);
}

TEST(ScanSubFolders, AFolderThatCannotBeListedAddsNothing) {
  testsupport::TTempTree LTree;
  LTree.WriteFile(u"file"_s, "x");
  EXPECT_TRUE(Walk(LTree.Root(), LTree.Path(u"missing"_s)).empty());
  EXPECT_TRUE(Walk(LTree.Root(), LTree.Path(u"file"_s)).empty());
  EXPECT_TRUE(Walk(LTree.Root(), QString()).empty());
}

TEST(ScanSubFolders, GivesEachFolderItsOwnLastWriteTime) {
  testsupport::TTempTree LTree;
  LTree.MakeDir(u"old"_s);
  const QDateTime LWhen(QDate(2015, 3, 5), QTime(14, 7, 9));
  struct utimbuf LTimes {};
  LTimes.actime = static_cast<time_t>(LWhen.toSecsSinceEpoch());
  LTimes.modtime = LTimes.actime;
  ASSERT_EQ(utime(QFile::encodeName(LTree.Path(u"old"_s)).constData(), &LTimes), 0);

  std::vector<TFolderEntry> LEntries;
  ScanSubFolders(LTree.Root(), [&](const QString &, const TFolderEntry &AFileInfo) {
    LEntries.push_back(AFileInfo);
  });
  ASSERT_EQ(LEntries.size(), 1u);
  EXPECT_EQ(LEntries[0].FLastWrite.toLocalTime(), LWhen);
}

} // namespace
