// A randomized round trip: random trees a few levels deep with random names,
// random masks and edits; Rename then Rollback must leave every folder, file
// name and byte where it was, and no rename may ever replace anything.
#include "TestSupport.h"
#include "uClock.h"
#include "uFolderInfo.h"

#include <QDir>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

using namespace Qt::Literals::StringLiterals;

void PrintTo(const QString &AText, std::ostream *AStream) {
  *AStream << '"' << AText.toStdString() << '"';
}

namespace {

class TRandom {
public:
  explicit TRandom(unsigned ASeed) : FEngine(ASeed) {}
  int Int(int AFrom, int ATo) { return std::uniform_int_distribution<int>(AFrom, ATo)(FEngine); }
  bool Chance(int APercent) { return Int(1, 100) <= APercent; }
  template <typename T> const T &Pick(const std::vector<T> &AValues) {
    return AValues[static_cast<size_t>(Int(0, static_cast<int>(AValues.size()) - 1))];
  }

private:
  std::mt19937 FEngine;
};

// Characters of old names: letters of several scripts, dots, blanks,
// brackets and the characters Windows forbids but Linux allows. Never "~",
// which every new name carries (see below), and never "/".
const QString NameChars = u"abcAB xyz.._-[]()éÄßж漢\\:'"_s;

QString RandomName(TRandom &ARandom) {
  for (;;) {
    QString LName;
    if (ARandom.Chance(8))
      LName += u'.'; // hidden: neither collected nor entered, must stay as it is
    const int LLength = ARandom.Int(1, 7);
    for (int i = 0; i < LLength; ++i)
      LName += NameChars[ARandom.Int(0, static_cast<int>(NameChars.size()) - 1)];
    if (LName != u"."_s && LName != u".."_s)
      return LName;
  }
}

// Builds a random tree below ARoot; returns the relative paths of its folders.
std::vector<QString> MakeRandomTree(TRandom &ARandom, testsupport::TTempTree &ATree,
                                    const QString &ARelative, int ADepth, int &AFileCounter) {
  std::vector<QString> LFolders;
  std::set<QString> LUsed;
  const int LFiles = ARandom.Int(0, 3);
  for (int i = 0; i < LFiles; ++i) {
    const QString LName = RandomName(ARandom);
    if (!LUsed.insert(LName).second)
      continue;
    // Every file holds a unique text, so that a replaced file would be missed.
    ATree.WriteFile(ARelative + LName, "file " + QByteArray::number(AFileCounter++));
  }
  if (ADepth == 0)
    return LFolders;
  const int LSubFolders = ARandom.Int(0, 4);
  for (int i = 0; i < LSubFolders; ++i) {
    const QString LName = RandomName(ARandom);
    if (!LUsed.insert(LName).second)
      continue;
    const QString LRelative = ARelative + LName;
    ATree.MakeDir(LRelative);
    LFolders.push_back(LRelative);
    const auto LBelow = MakeRandomTree(ARandom, ATree, LRelative + u'/', ADepth - 1, AFileCounter);
    LFolders.insert(LFolders.end(), LBelow.begin(), LBelow.end());
  }
  return LFolders;
}

// A random mask that always yields a "~": new names then never equal an old
// name, so no rename takes a name that a later rollback needs back.
QString RandomMask(TRandom &ARandom) {
  const std::vector<QString> LParts = {u"[N]"_s, u"[C]"_s, u"[YMD]"_s, u"[hms]"_s, u"["_s,
                                       u"]"_s,   u"[E]"_s, u"x"_s,     u" "_s,     u"."_s,
                                       u"É"_s,   u"[n]"_s, u"_"_s};
  QString LMask = u"~"_s;
  const int LCount = ARandom.Int(0, 4);
  for (int i = 0; i < LCount; ++i) {
    const QString &LPart = ARandom.Pick(LParts);
    LMask = ARandom.Chance(50) ? LMask + LPart : LPart + LMask;
  }
  return LMask;
}

int CountFolders(const std::map<QString, QByteArray> &ASnapshot) {
  int LCount = 0;
  for (const auto &LEntry : ASnapshot)
    LCount += LEntry.second == "<dir>" ? 1 : 0;
  return LCount;
}

std::multiset<QByteArray> FileContents(const std::map<QString, QByteArray> &ASnapshot) {
  std::multiset<QByteArray> LContents;
  for (const auto &LEntry : ASnapshot)
    if (LEntry.second != "<dir>")
      LContents.insert(LEntry.second);
  return LContents;
}

TEST(FolderRoundTrip, RenameThenRollbackRestoresEverything) {
  const clock_source::TScopedClock LClock(
      [] { return QDateTime(QDate(2015, 3, 4), QTime(9, 5, 7)); });
  int LRenamedInAll = 0;
  for (unsigned LSeed = 1; LSeed <= 40; ++LSeed) {
    SCOPED_TRACE(testing::Message() << "seed " << LSeed);
    TRandom LRandom(LSeed);
    testsupport::TTempTree LTree;
    int LFileCounter = 0;
    // Everything lies in "w", so that the chosen folder itself may be renamed
    // while the snapshot of the temporary root still sees it.
    LTree.MakeDir(u"w"_s);
    std::vector<QString> LFolders =
        MakeRandomTree(LRandom, LTree, u"w/"_s, LRandom.Int(2, 4), LFileCounter);
    LFolders.push_back(u"w"_s);
    const auto LBefore = testsupport::SnapshotTree(LTree.Root());

    // Collect as the folder page does: some chosen folders with and without
    // a final delimiter, each with its subfolders and sometimes itself.
    TFolderList LList;
    const int LChoices = LRandom.Int(1, 3);
    for (int i = 0; i < LChoices; ++i) {
      QString LChosen = LTree.Path(LRandom.Chance(30) ? u"w"_s : LRandom.Pick(LFolders));
      if (LRandom.Chance(50))
        LChosen += u'/';
      if (LRandom.Chance(50))
        LList.AddFolderInfoIfNeed(LChosen);
      ScanSubFolders(LChosen, [&LList](const QString &APath, const TFolderEntry &AFileInfo) {
        LList.AddFolderInfoIfNeed(APath, AFileInfo);
      });
    }
    LList.ReindexFolderInfo(0);
    LList.SetCounter(LRandom.Int(-5, 5), LRandom.Int(-3, 3), LRandom.Int(1, 4));
    LList.SetFolderNameMask(RandomMask(LRandom), 0);
    if (LRandom.Chance(50)) {
      const QString LSearch = NameChars.mid(LRandom.Int(0, 10), LRandom.Int(1, 2));
      const QString LReplace = NameChars.mid(LRandom.Int(0, 10), LRandom.Int(0, 3));
      LList.SearchReplace_NewName(LSearch, LReplace);
    }
    for (int i = 0; i < LList.Count(); ++i) {
      switch (LRandom.Int(0, 4)) {
      case 1:
        LList[i]->SetLowercase();
        break;
      case 2:
        LList[i]->SetUppercase();
        break;
      case 3:
        LList[i]->SetFirstLetterUp();
        break;
      case 4:
        LList[i]->SetAllFirstUp();
        break;
      default:
        break;
      }
    }

    const int LFailed = LList.ExecuteRenaming();
    const auto LRenamed = testsupport::SnapshotTree(LTree.Root());
    // Nothing was replaced or lost: the same folders and the same files.
    EXPECT_EQ(CountFolders(LRenamed), CountFolders(LBefore));
    EXPECT_EQ(FileContents(LRenamed), FileContents(LBefore));
    int LCountedFailures = 0;
    for (int i = 0; i < LList.Count(); ++i) {
      const TFolderInfo &LItem = *LList[i];
      LCountedFailures += LItem.isRenamed() ? 0 : 1;
      LRenamedInAll += LItem.isRenamed() ? 1 : 0;
      // Every item still knows where its folder is.
      EXPECT_TRUE(QDir(LItem.FullFolderName()).exists()) << LItem.FullFolderName().toStdString();
      if (LItem.isRenamed()) {
        EXPECT_TRUE(LItem.FullFolderName().endsWith(LItem.NewName()));
      }
    }
    EXPECT_EQ(LFailed, LCountedFailures);

    EXPECT_EQ(LList.ExecuteRollback(), 0);
    EXPECT_FALSE(LList.HasRenamedFolders());
    EXPECT_EQ(testsupport::SnapshotTree(LTree.Root()), LBefore);
  }
  // The trees are big enough that the trip renames something.
  EXPECT_GT(LRenamedInAll, 100);
}

} // namespace
