// Names that are not UTF-8: they are legal on Linux and common in old
// archives and in copies from other systems. The engine keeps their bytes,
// shows them as U+FFFD, and every item renames the very file it lists.
#include "platform/uLosslessUtf8.h"
#include "platform/uPlatformFs.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"
#include "uUtil.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using testsupport::FromNative;
using testsupport::ReadFile;
using testsupport::SnapshotTree;
using testsupport::TTempTree;

namespace {

QString Text(const char16_t *AText) {
  return QString::fromUtf16(AText);
}

} // namespace

TEST(LosslessUtf8, DecodesValidUtf8AndEscapesEveryOtherByte) {
  struct TCase {
    const char *FBytes;
    const char16_t *FText;
  };
  const TCase LCases[] = {
      {"plain.txt", u"plain.txt"},
      {"Zo\xc3\xab.txt", u"Zo\u00eb.txt"},
      {"\xf0\x9f\x93\xb7", u"\U0001F4F7"},               // a four-byte character
      {"bad\xff.txt", u"bad\xdcff.txt"},                 // a byte that starts nothing
      {"bad\xef\xbf\xbd.txt", u"bad\ufffd.txt"},         // a real U+FFFD
      {"\xc3", u"\xdcc3"},                               // cut short at the end
      {"\xc3(", u"\xdcc3("},                             // cut short by the next byte
      {"\xc0\xaf", u"\xdcc0\xdcaf"},                     // an overlong "/"
      {"\xed\xb2\x80", u"\xdced\xdcb2\xdc80"},           // a surrogate written as UTF-8
      {"\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"}, // above U+10FFFF
      {"\xe9t\xe9", u"\xdce9t\xdce9"},                   // Latin-1
      {"\xf0\x9f\x92\x80\x80", u"\U0001F480\xdc80"},     // a pair, then a lone byte
  };
  for (const TCase &LCase : LCases) {
    const QByteArray LBytes(LCase.FBytes);
    SCOPED_TRACE(LBytes.toHex().toStdString());
    const QString LText = platform::DecodeUtf8Lossless(LBytes);
    EXPECT_EQ(LText, Text(LCase.FText));
    QByteArray LBack;
    ASSERT_TRUE(platform::EncodeUtf8Lossless(LText, LBack));
    EXPECT_EQ(LBack, LBytes);
  }
}

TEST(LosslessUtf8, EveryByteStringComesBackAsItWas) {
  std::mt19937 LRandom(1899);
  const char LPieces[] = {'a',    '.',    '\x80', '\xbf', '\xc2', '\xc3', '\xe0', '\xed',
                          '\xef', '\xf0', '\xf4', '\xf5', '\xff', '\x9f', '\xa0', '\x90'};
  for (int LRound = 0; LRound < 20000; ++LRound) {
    QByteArray LBytes;
    const int LSize = static_cast<int>(LRandom() % 12);
    for (int i = 0; i < LSize; ++i)
      LBytes.append(LPieces[LRandom() % sizeof LPieces]);
    QByteArray LBack;
    ASSERT_TRUE(platform::EncodeUtf8Lossless(platform::DecodeUtf8Lossless(LBytes), LBack));
    ASSERT_EQ(LBack, LBytes) << LBytes.toHex().toStdString();
  }
}

TEST(LosslessUtf8, UnitsThatStandForNoByteCannotBeEncoded) {
  QByteArray LBytes;
  for (const QString &LText :
       {Text(u"a\xd800"), Text(u"\xd800x"), Text(u"a\xdc7f"), Text(u"\xdd00"), Text(u"\xdfff")}) {
    EXPECT_FALSE(platform::EncodeUtf8Lossless(LText, LBytes)) << LText.size();
    EXPECT_TRUE(platform::IsInvalidEntryName(LText, platform::TPathStyle::Posix));
  }
  EXPECT_FALSE(platform::IsInvalidEntryName(Text(u"bad\xdcff.txt"), platform::TPathStyle::Posix));
}

TEST(LosslessUtf8, DisplayShowsReplacementCharactersForTheEscapes) {
  EXPECT_EQ(DisplayText(Text(u"bad\xdcff.txt")), Text(u"bad\ufffd.txt"));
  EXPECT_EQ(DisplayText(Text(u"\U0001F4F7\xdcc3")), Text(u"\U0001F4F7\ufffd"));
  EXPECT_EQ(DisplayText(Text(u"Zo\u00eb")), Text(u"Zo\u00eb"));
}

// ---------------------------------------------------------------------------
// On disk.

namespace {

// A tree holding the twins "bad\xff.txt" and "bad\xef\xbf\xbd.txt", a folder
// whose name is Latin-1 with a file inside, and a plain file.
struct TTwinTree {
  TTempTree FTree;
  QString FBad = FTree.Root() + QLatin1Char('/') + FromNative("bad\xff.txt");
  QString FReal = FTree.Root() + QLatin1Char('/') + FromNative("bad\xef\xbf\xbd.txt");
  QString FFolder = FTree.Root() + QLatin1Char('/') + FromNative("caf\xe9");
  QString FInside = FFolder + QStringLiteral("/inside.txt");

  TTwinTree() {
    EXPECT_TRUE(testsupport::WriteFile(FBad, "the file with byte FF"));
    EXPECT_TRUE(testsupport::WriteFile(FReal, "the file with U+FFFD"));
    EXPECT_TRUE(testsupport::MakePath(FFolder));
    EXPECT_TRUE(testsupport::WriteFile(FInside, "inside"));
  }
};

} // namespace

TEST(NamesNotUtf8, TheTwinsAreTwoFilesAndEachRenamesAsItself) {
  TTwinTree LTwins;
  const auto LBefore = SnapshotTree(LTwins.FTree.Root());
  TFileList LList;
  LList.AddFileInfo(std::make_unique<TFileInfo>(LTwins.FBad));
  LList.AddFileInfo(std::make_unique<TFileInfo>(LTwins.FReal));
  EXPECT_EQ(LList[0].Size(), 21);
  EXPECT_EQ(LList[1].Size(), 20);
  // The mask keeps the name and puts the counter in front.
  LList.SetCounter(1, 1, 1);
  LList.SetFileNameMask(QStringLiteral("[C]_[N]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  // The case rule leaves the escaped byte alone.
  LList[0].SetUppercase();
  EXPECT_EQ(LList[0].TargetName(), Text(u"1_BAD\xdcff.TXT"));
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(LTwins.FTree.Root() + QLatin1Char('/') + FromNative("1_BAD\xff.TXT")),
            QByteArray("the file with byte FF"));
  EXPECT_EQ(ReadFile(LTwins.FTree.Root() + QLatin1Char('/') + FromNative("2_bad\xef\xbf\xbd.txt")),
            QByteArray("the file with U+FFFD"));
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTwins.FTree.Root()), LBefore);
}

TEST(NamesNotUtf8, SearchAndReplaceLeavesTheBytesAlone) {
  TTwinTree LTwins;
  TFileList LList;
  LList.AddFileInfo(std::make_unique<TFileInfo>(LTwins.FBad));
  LList.SetFileNameMask(QStringLiteral("[N]"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  LList.SearchReplace_NewName(QStringLiteral("bad"), QStringLiteral("good"));
  EXPECT_EQ(LList[0].TargetName(), Text(u"good\xdcff.txt"));
  // A U+FFFD typed by the user is a character of its own, not the byte.
  LList.SearchReplace_NewName(Text(u"\ufffd"), QStringLiteral("X"));
  EXPECT_EQ(LList[0].TargetName(), Text(u"good\xdcff.txt"));
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(LTwins.FTree.Root() + QLatin1Char('/') + FromNative("good\xff.txt")),
            QByteArray("the file with byte FF"));
  EXPECT_EQ(ReadFile(LTwins.FReal), QByteArray("the file with U+FFFD"));
}

TEST(NamesNotUtf8, CollectingEntersAFolderWhoseNameIsNotUtf8) {
  TTwinTree LTwins;
  QStringList LFiles = CollectFolderFiles(LTwins.FTree.Root());
  LFiles.sort();
  QStringList LExpected{LTwins.FBad, LTwins.FReal, LTwins.FInside};
  LExpected.sort();
  EXPECT_EQ(LFiles, LExpected);

  TFileList LList;
  LList.AddFileInfo(std::make_unique<TFileInfo>(LTwins.FInside));
  EXPECT_EQ(LList[0].Size(), 6);
  LList.SetFileNameMask(QStringLiteral("renamed"), 0);
  LList.SetFileExtMask(QStringLiteral("[E]"), 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  EXPECT_EQ(ReadFile(LTwins.FFolder + QStringLiteral("/renamed.txt")), QByteArray("inside"));
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(ReadFile(LTwins.FInside), QByteArray("inside"));
}

TEST(NamesNotUtf8, AFolderWhoseNameIsNotUtf8RenamesAndRollsBackAsItself) {
  TTwinTree LTwins;
  // Twins among folders too: "d\xff" and "d\xef\xbf\xbd".
  ASSERT_TRUE(testsupport::MakePath(LTwins.FTree.Root() + QLatin1Char('/') + FromNative("d\xff")));
  ASSERT_TRUE(
      testsupport::MakePath(LTwins.FTree.Root() + QLatin1Char('/') + FromNative("d\xef\xbf\xbd")));
  const auto LBefore = SnapshotTree(LTwins.FTree.Root());
  TFolderList LList;
  ScanSubFolders(LTwins.FTree.Root(), [&](const QString &APath, const TFolderEntry &AEntry) {
    LList.AddFolderInfoIfNeed(APath, AEntry);
  });
  ASSERT_EQ(LList.Count(), 3);
  LList.SetFolderNameMask(QStringLiteral("[N]_x"), 0);
  ASSERT_EQ(LList.ExecuteRenaming(), 0);
  const auto LRenamed = SnapshotTree(LTwins.FTree.Root());
  EXPECT_EQ(LRenamed.count(FromNative("caf\xe9_x/inside.txt")), 1u);
  EXPECT_EQ(LRenamed.count(FromNative("d\xff_x")), 1u);
  EXPECT_EQ(LRenamed.count(FromNative("d\xef\xbf\xbd_x")), 1u);
  ASSERT_EQ(LList.ExecuteRollback(), 0);
  EXPECT_EQ(SnapshotTree(LTwins.FTree.Root()), LBefore);
}

TEST(NamesNotUtf8, APathDecodedWithLossIsFoundAgainUnlessItHasATwin) {
  TTwinTree LTwins;
  // What Qt's own decoding makes of the names.
  const QString LLossyFolder = LTwins.FTree.Root() + QLatin1Char('/') + Text(u"caf\ufffd");
  QString LPath = LLossyFolder + QStringLiteral("/inside.txt");
  ASSERT_TRUE(ResolveChosenPath(LPath));
  EXPECT_EQ(LPath, LTwins.FInside);

  // Both twins decode to "bad\ufffd.txt": neither can be told apart.
  QString LTwin =
      LTwins.FTree.Root() + QStringLiteral("/bad") + Text(u"\ufffd") + QStringLiteral(".txt");
  EXPECT_FALSE(ResolveChosenPath(LTwin));

  // A path without U+FFFD is taken as it is, also when nothing is there.
  QString LPlain = LTwins.FTree.Root() + QStringLiteral("/none.txt");
  const QString LPlainBefore = LPlain;
  ASSERT_TRUE(ResolveChosenPath(LPlain));
  EXPECT_EQ(LPlain, LPlainBefore);
}
