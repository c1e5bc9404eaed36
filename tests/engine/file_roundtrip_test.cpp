// Randomized round trip: many files with awkward names, random masks, search
// and replace and case rules; Rename never replaces a file, and Rollback
// brings back exactly the names and bytes the folder held.
#include "uFileInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

class TRandom {
public:
  explicit TRandom(unsigned ASeed) : FEngine(ASeed) {}
  int Between(int ALow, int AHigh) {
    return std::uniform_int_distribution<int>(ALow, AHigh)(FEngine);
  }
  template <typename T, size_t N> const T &Pick(const T (&AItems)[N]) {
    return AItems[static_cast<size_t>(Between(0, static_cast<int>(N) - 1))];
  }

private:
  std::mt19937 FEngine;
};

const char16_t *const GNameParts[] = {u"a", u"B",   u"z",   u"é", u"Ä",   u"ß",   u"Ω",  u"ж",
                                      u"1", u"9",   u"_",   u"-", u" ",   u".",   u"..", u"[",
                                      u"]", u"[C]", u"[N]", u"x", u"IMG", u"tar", u"gz"};
const char16_t *const GNameMaskParts[] = {u"[N]", u"[N]", u"[C]", u"[YMD]", u"[hms]",
                                          u"[",   u"]",   u"x",   u"é",     u".",
                                          u"_",   u"[n]", u"[E]", u"[C"};
const char16_t *const GNameMaskCores[] = {u"[N]", u"[C]", u"[N]_[C]", u"[C][N]", u""};
const char16_t *const GExtMaskParts[] = {u"[E]", u"[E]", u"[C]", u"bak", u".", u"[N]", u"Ö"};
const char16_t *const GSearches[] = {u"a", u".", u"[", u"e", u"É", u"x", u"_", u"1", u"IMG"};
const char16_t *const GReplaces[] = {u"", u"b", u"/", u"..", u"Ä", u".", u"[C]", u"XX"};

QString RandomName(TRandom &ARandom) {
  QString LName;
  if (ARandom.Between(0, 4) == 0)
    LName += QLatin1Char('.');
  const int LParts = ARandom.Between(1, 6);
  for (int i = 0; i < LParts; ++i)
    LName += QString::fromUtf16(ARandom.Pick(GNameParts));
  return LName;
}

template <size_t N>
QString RandomMask(TRandom &ARandom, const char16_t *const (&AParts)[N], int AMaxParts) {
  QString LMask;
  const int LParts = ARandom.Between(0, AMaxParts);
  for (int i = 0; i < LParts; ++i)
    LMask += QString::fromUtf16(ARandom.Pick(AParts));
  return LMask;
}

std::multiset<QByteArray> Contents(const std::map<QString, QByteArray> &ASnapshot) {
  std::multiset<QByteArray> LContents;
  for (const auto &LEntry : ASnapshot)
    LContents.insert(LEntry.second);
  return LContents;
}

void RoundTrip(unsigned ASeed) {
  SCOPED_TRACE(testing::Message() << "seed " << ASeed);
  TRandom LRandom(ASeed);
  TTempTree LTree;
  TFileList LList;

  std::set<QString> LUsed;
  for (int i = 0; i < 300; ++i) {
    const QString LName = RandomName(LRandom);
    if (LName == u"." || LName == u".." || !LUsed.insert(LName).second)
      continue;
    const QString LPath = LTree.WriteFile(LName, "content " + QByteArray::number(i));
    if (LList.CheckInList(LPath))
      LList.AddFileInfo(std::make_unique<TFileInfo>(LPath));
  }
  ASSERT_GT(LList.Count(), 100);

  LList.SetCounter(LRandom.Between(-5, 5), LRandom.Between(-3, 3), LRandom.Between(1, 3));
  // Most masks keep the names apart ([N], [C]); a few give many items one name.
  const QString LCore = QString::fromUtf16(LRandom.Pick(GNameMaskCores));
  LList.SetFileNameMask(
      RandomMask(LRandom, GNameMaskParts, 2) + LCore + RandomMask(LRandom, GNameMaskParts, 2), 0);
  LList.SetFileExtMask(RandomMask(LRandom, GExtMaskParts, 2), 0);
  if (LRandom.Between(0, 1) == 1)
    LList.SearchReplace_NewName(QString::fromUtf16(LRandom.Pick(GSearches)),
                                QString::fromUtf16(LRandom.Pick(GReplaces)));
  const int LCaseRule = LRandom.Between(0, 4);
  for (int i = 0; i < LList.Count(); ++i) {
    ApplyCaseRule(LList[i], CaseRuleFromIndex(LCaseRule));
  }
  SCOPED_TRACE(testing::Message() << "masks " << LList.FileNameMask().toStdString() << " | "
                                  << LList.FileExtMask().toStdString() << ", case " << LCaseRule);

  const auto LBefore = SnapshotTree(LTree.Root());
  const int LFailed = LList.ExecuteRenaming();
  const auto LRenamed = SnapshotTree(LTree.Root());
  // No file was replaced: every content is still there, once.
  EXPECT_EQ(Contents(LRenamed), Contents(LBefore));
  int LRenamedItems = 0;
  for (int i = 0; i < LList.Count(); ++i)
    LRenamedItems += LList[i].isRenamed() ? 1 : 0;
  EXPECT_EQ(LRenamedItems + LFailed, LList.Count());

  EXPECT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_FALSE(LList.HasRenamedFiles());
  EXPECT_EQ(SnapshotTree(LTree.Root()), LBefore);
}

} // namespace

TEST(FileRoundTrip, RenameThenRollbackRestoresTheFolder) {
  for (unsigned LSeed = 1; LSeed <= 16; ++LSeed)
    RoundTrip(LSeed);
}
