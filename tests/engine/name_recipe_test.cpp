// The naming rules as a value: one table of recipes through the file list and
// through the folder list, the counter values taken from the recipe also for
// items added later, and the recipe applied from a position.
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uNameRecipe.h"

#include "TestSupport.h"
#include "uClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

using testsupport::TTempTree;

namespace {

struct TRecipeCase {
  const char16_t *FOldName; // the name on disk (for a folder, its whole name)
  int FPosition;            // the item's position in the list
  TNameRecipe FRecipe;
  const char16_t *FFileName;   // the new name a file gets
  const char16_t *FFolderName; // the new name a folder gets
};

TNameRecipe Recipe(const char16_t *AName, const char16_t *AExt, int AStart = 1, int AStep = 1,
                   int ADigits = 1, const char16_t *ASearch = u"", const char16_t *AReplace = u"",
                   TCaseRule ACase = TCaseRule::None) {
  TNameRecipe LRecipe;
  LRecipe.FNameMask = QString::fromUtf16(AName);
  LRecipe.FExtMask = QString::fromUtf16(AExt);
  LRecipe.FCounterStart = AStart;
  LRecipe.FCounterStep = AStep;
  LRecipe.FCounterDigits = ADigits;
  LRecipe.FSearch = QString::fromUtf16(ASearch);
  LRecipe.FReplace = QString::fromUtf16(AReplace);
  LRecipe.FCase = ACase;
  return LRecipe;
}

// The file's time and the clock: 5 March 2015; the file at 14:07:09, the
// clock at 09:08:07.
const QDateTime CFileTime(QDate(2015, 3, 5), QTime(14, 7, 9));
const QDateTime CClock(QDate(2015, 3, 6), QTime(9, 8, 7));

const TRecipeCase GCases[] = {
    {u"IMG_01.JPG", 0, Recipe(u"Trip [N]", u"[E]"), u"Trip IMG_01.JPG", u"Trip IMG_01.JPG"},
    {u"a.txt", 2, Recipe(u"[C]", u"[E]", 99, 5, 4), u"0109.txt", u"0109"},
    {u"a.txt", 2, Recipe(u"[N]", u"[E]_[C]"), u"a.txt_3", u"a.txt"},
    {u"a.txt", 0, Recipe(u"[N]", u"bak"), u"a.bak", u"a.txt"},
    {u"[C].txt", 1, Recipe(u"[N]-[C", u"[E]", 7), u"[C]-[C.txt", u"[C].txt-[C"},
    {u"IMG.JPG", 0, Recipe(u"[YMD]_[hms]", u"[E]"), u"05032015_140709.JPG", u"06032015_090807"},
    {u"Banana.tar.gz", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"A", u"o"), u"Bonono.tor.gz",
     u"Bonono.tor.gz"},
    {u"a.txt", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"a.t", u"b/"), u"b/xt.txt", u"b/xt"},
    {u"stra\u00dfe.txt", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"", u"", TCaseRule::Upper),
     u"STRA\u00dfE.TXT", u"STRA\u00dfE.TXT"},
    {u"MiXeD.TXT", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"", u"", TCaseRule::Lower), u"mixed.txt",
     u"mixed.txt"},
    {u"photo of me.jpg", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"", u"", TCaseRule::Words),
     u"Photo Of Me.jpg", u"Photo Of Me.jpg"},
    {u"\u00e9t\u00e9.jpg", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"", u"", TCaseRule::FirstLetter),
     u"\u00c9t\u00e9.jpg", u"\u00c9t\u00e9.jpg"},
    // The case rule comes after search and replace; a replaced text without a
    // dot keeps the file's extension.
    {u"x.txt", 0, Recipe(u"[N]", u"[E]", 1, 1, 1, u"x", u"abc", TCaseRule::Upper), u"ABC.TABCT",
     u"ABC.TABCT"},
};

} // namespace

TEST(NameRecipe, OneTableThroughTheFileListAndTheFolderList) {
  const clock_source::TScopedClock LClock([] { return CClock; });
  for (const TRecipeCase &LCase : GCases) {
    const QString LOld = QString::fromUtf16(LCase.FOldName);
    SCOPED_TRACE(LOld.toStdString() + " / " + LCase.FRecipe.FNameMask.toStdString());
    TTempTree LTree;
    TFileList LFiles;
    TFolderList LFolders;
    for (int i = 0; i <= LCase.FPosition; ++i) {
      const QString LName = i == LCase.FPosition ? LOld : QStringLiteral("other%1").arg(i);
      const QString LPath = LTree.WriteFile(LName, "x");
      const timespec LTimes[2] = {{CFileTime.toSecsSinceEpoch(), 0},
                                  {CFileTime.toSecsSinceEpoch(), 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, testsupport::NativeBytes(LPath).constData(), LTimes, 0), 0);
      LFiles.Add(std::make_unique<TFileInfo>(LPath));
      ASSERT_TRUE(LFolders.AddFolderInfoIfNeed(LTree.Root(), TFolderEntry{LName, QDateTime()}));
    }
    EXPECT_EQ(LFiles.ApplyRecipe(LCase.FRecipe, 0), 0);
    EXPECT_EQ(LFolders.ApplyRecipe(LCase.FRecipe, 0), 0);
    EXPECT_EQ(LFiles[LCase.FPosition].NewFullName(), QString::fromUtf16(LCase.FFileName));
    EXPECT_EQ(LFolders[LCase.FPosition]->NewName(), QString::fromUtf16(LCase.FFolderName));
  }
}

TEST(NameRecipe, ItemsAddedLaterGetTheCounterTheRecipeGives) {
  // Start at 99, step by 5, four digits, set while the list is empty; then
  // three items are added, and two more after them.
  TTempTree LTree;
  const TNameRecipe LRecipe = Recipe(u"[C]", u"[C]", 99, 5, 4);
  TFileList LFiles;
  TFolderList LFolders;
  LFiles.ApplyRecipe(LRecipe, 0);
  LFolders.ApplyRecipe(LRecipe, 0);
  const auto LAdd = [&](int AFrom, int ATo) {
    const int LPosition = LFiles.Count();
    for (int i = AFrom; i < ATo; ++i) {
      const QString LName = QStringLiteral("f%1.txt").arg(i);
      LFiles.Add(std::make_unique<TFileInfo>(LTree.WriteFile(LName)));
      LFolders.AddFolderInfoIfNeed(LTree.Root(), TFolderEntry{LName, QDateTime()});
    }
    LFiles.ApplyRecipe(LRecipe, LPosition);
    LFolders.ApplyRecipe(LRecipe, LPosition);
  };
  LAdd(0, 3);
  LAdd(3, 5);
  const char16_t *const LExpected[] = {u"0099", u"0104", u"0109", u"0114", u"0119"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(LFiles[i].NewFullName(),
              QString::fromUtf16(LExpected[i]) + u'.' + QString::fromUtf16(LExpected[i]));
    EXPECT_EQ(LFolders[i]->NewName(), QString::fromUtf16(LExpected[i]));
  }
}

TEST(NameRecipe, WithoutACounterOnlyTheItemsFromThePositionAreMadeAnew) {
  TTempTree LTree;
  TFileList LList;
  for (int i = 0; i < 4; ++i)
    LList.Add(std::make_unique<TFileInfo>(LTree.WriteFile(QStringLiteral("a%1.txt").arg(i))));
  const TNameRecipe LRecipe = Recipe(u"[N]", u"[E]", 1, 1, 1, u"a", u"ab");
  EXPECT_EQ(LList.ApplyRecipe(LRecipe, 0), 0);
  // Applied again from position 2, the earlier names are not replaced twice.
  EXPECT_EQ(LList.ApplyRecipe(LRecipe, 2), 2);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(LList[i].NewFullName(), QStringLiteral("ab%1.txt").arg(i));
  // Another recipe, or a mask applied on its own in between, makes every name anew.
  LList.SetFileNameMask(QStringLiteral("[N]"), 0);
  EXPECT_EQ(LList.ApplyRecipe(LRecipe, 3), 0);
  EXPECT_EQ(LList[0].NewFullName(), QStringLiteral("ab0.txt"));
  TNameRecipe LUpper = LRecipe;
  LUpper.FCase = TCaseRule::Upper;
  EXPECT_EQ(LList.ApplyRecipe(LUpper, 3), 0);
  EXPECT_EQ(LList[0].NewFullName(), QStringLiteral("AB0.TXT"));
}

TEST(NameRecipe, CaseRuleFromTheCaseBoxIndex) {
  EXPECT_EQ(CaseRuleFromIndex(0), TCaseRule::None);
  EXPECT_EQ(CaseRuleFromIndex(2), TCaseRule::Upper);
  EXPECT_EQ(CaseRuleFromIndex(4), TCaseRule::Words);
  EXPECT_EQ(CaseRuleFromIndex(5), TCaseRule::None);
  EXPECT_EQ(CaseRuleFromIndex(-1), TCaseRule::None);
}
