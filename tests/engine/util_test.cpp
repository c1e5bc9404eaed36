#include "uUtil.h"

#include "platform/uPlatformFs.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <unistd.h>

using testsupport::NativeBytes;
using testsupport::TTempTree;

namespace {

// Sets the default locale for one test and restores the C locale after it.
class TScopedLocale {
public:
  explicit TScopedLocale(const QLocale &ALocale) { QLocale::setDefault(ALocale); }
  ~TScopedLocale() { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST(SizeToStr, EachUnitAndItsBoundaries) {
  TScopedLocale LLocale(QLocale::c());
  struct TCase {
    int64_t FSize;
    const char *FExpected;
  };
  const TCase LCases[] = {
      {-1, "-1 B"},
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1 KB"},
      {2047, "1 KB"},
      {1048575, "1023 KB"},
      {1048576, "1.00 MB"},
      {1572864, "1.50 MB"},
      {1073741823, "1024.00 MB"},
      {1073741824, "1.00 GB"},
      {5368709120, "5.00 GB"},
      {1099511627776, "1024.00 GB"},
  };
  for (const auto &LCase : LCases)
    EXPECT_EQ(SizeToStr(LCase.FSize), QString::fromLatin1(LCase.FExpected)) << LCase.FSize;
}

TEST(SizeToStr, UsesTheDecimalSeparatorOfTheLocale) {
  TScopedLocale LLocale(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(SizeToStr(1572864), QStringLiteral("1,50 MB"));
  EXPECT_EQ(SizeToStr(1288490188800), QStringLiteral("1200,00 GB"));
}

TEST(GetFileSizeByName, SizeOfAFileALinkAndAMissingPath) {
  TTempTree LTree;
  const QString LFile = LTree.WriteFile(QStringLiteral("a.bin"), QByteArray(1536, 'x'));
  EXPECT_EQ(GetFileSizeByName(LFile), 1536);
  EXPECT_EQ(GetFileSizeByName(LTree.WriteFile(QStringLiteral("empty"))), 0);
  ASSERT_TRUE(QFile::link(LFile, LTree.Path(QStringLiteral("link"))));
  EXPECT_EQ(GetFileSizeByName(LTree.Path(QStringLiteral("link"))), 1536);
  EXPECT_EQ(GetFileSizeByName(LTree.Path(QStringLiteral("missing"))), -1);
  EXPECT_EQ(GetFileSizeByName(LTree.MakeDir(QStringLiteral("dir"))), 0);
}

TEST(GetFolderSize, SumsEveryFileAtEveryDepth) {
  TTempTree LTree;
  LTree.WriteFile(QStringLiteral("data/a.txt"), QByteArray(100, 'a'));
  LTree.WriteFile(QStringLiteral("data/.hidden"), QByteArray(20, 'h'));
  LTree.WriteFile(QStringLiteral("data/sub/deeper/b.txt"), QByteArray(3, 'b'));
  LTree.MakeDir(QStringLiteral("data/empty"));
  const QString LData = LTree.Path(QStringLiteral("data"));
  EXPECT_EQ(GetFolderSize(LData), 123);
  EXPECT_EQ(GetFolderSize(LData + QLatin1Char('/')), 123);
  // A stop ends the walk: no partial sum passes for the size.
  const std::atomic<bool> LStop{true};
  EXPECT_EQ(GetFolderSize(LData, &LStop), -1);

  LTree.MakeDir(QStringLiteral("hollow/x/y"));
  LTree.MakeDir(QStringLiteral("hollow/z"));
  EXPECT_EQ(GetFolderSize(LTree.Path(QStringLiteral("hollow"))), 0);
  EXPECT_EQ(GetFolderSize(LTree.Path(QStringLiteral("missing"))), 0);
}

// As `du -P` counts: every entry below the folder that is not a folder, by
// its own size. A link counts the length of the path it holds, never what it
// leads to; hard links to one file count it once.
TEST(GetFolderSize, CountsLinksAsLinksAndEachFileOnce) {
  TTempTree LTree;
  LTree.WriteFile(QStringLiteral("big/huge.bin"), QByteArray(100000, 'h'));
  const auto LSymlink = [&](const char *ATarget, const char *AAt) {
    ASSERT_EQ(::symlink(ATarget, NativeBytes(LTree.Path(QString::fromLatin1(AAt))).constData()), 0)
        << AAt;
  };
  const auto LHardLink = [&](const char *AFile, const char *AAt) {
    ASSERT_EQ(::link(NativeBytes(LTree.Path(QString::fromLatin1(AFile))).constData(),
                     NativeBytes(LTree.Path(QString::fromLatin1(AAt))).constData()),
              0)
        << AAt;
  };
  // The folder of the report: an empty file and a link to a large folder.
  LTree.WriteFile(QStringLiteral("report/empty"));
  LSymlink("../big", "report/big");
  // Links of every kind: to a file, to nothing, to the folder itself and to
  // a folder above it.
  LTree.MakeDir(QStringLiteral("links/sub"));
  LSymlink("../big/huge.bin", "links/to-file");
  LSymlink("nowhere", "links/dangling");
  LSymlink(".", "links/self");
  LSymlink("../..", "links/sub/up");
  // Hard links: three names of one file in the tree, and a file whose other
  // name lies outside it.
  LTree.WriteFile(QStringLiteral("hard/a"), QByteArray(300, 'a'));
  LTree.MakeDir(QStringLiteral("hard/sub"));
  LHardLink("hard/a", "hard/b");
  LHardLink("hard/a", "hard/sub/c");
  LTree.WriteFile(QStringLiteral("hard/.d"), QByteArray(20, 'd'));
  LHardLink("hard/.d", "big/d-outside");
  // Everything at once, one level down: the sums add up.
  LTree.MakeDir(QStringLiteral("all"));
  ASSERT_TRUE(QDir().rename(LTree.Path(QStringLiteral("report")),
                            LTree.Path(QStringLiteral("all/report"))));
  ASSERT_TRUE(
      QDir().rename(LTree.Path(QStringLiteral("hard")), LTree.Path(QStringLiteral("all/hard"))));
  LTree.MakeDir(QStringLiteral("only-links"));
  LSymlink("../big", "only-links/big");
  LSymlink("../all", "only-links/all");
  struct TCase {
    const char *FFolder;
    int64_t FExpected;
  };
  const TCase LCases[] = {
      {"big", 100000 + 20},
      {"all/report", 0 + 6},
      {"links", 15 + 7 + 1 + 5},
      {"all/hard", 300 + 20},
      {"all", 6 + 300 + 20},
      {"only-links", 6 + 6},
      // The folder asked for may itself be a link: it is the folder shown.
      {"only-links/big", 100000 + 20},
  };
  for (const TCase &LCase : LCases) {
    const QString LFolder = LTree.Path(QString::fromLatin1(LCase.FFolder));
    EXPECT_EQ(GetFolderSize(LFolder), LCase.FExpected) << LCase.FFolder;
    const std::atomic<bool> LGoOn{false};
    EXPECT_EQ(GetFolderSize(LFolder + QLatin1Char('/'), &LGoOn), LCase.FExpected) << LCase.FFolder;
  }
  // A file is no folder, a link that leads to nothing neither.
  EXPECT_EQ(GetFolderSize(LTree.Path(QStringLiteral("big/huge.bin"))), 0);
  EXPECT_EQ(GetFolderSize(LTree.Path(QStringLiteral("links/dangling"))), 0);
}

// Dropped addresses: their percent-encoded bytes become the path, losslessly.
TEST(PathFromFileUriTest, LocalAddressesOnly) {
  struct TCase {
    QByteArray FUri;
    QByteArray FPath; // the system's bytes; empty: no local path
  };
  const TCase LCases[] = {
      {"file:///home/me/a%20b.txt", "/home/me/a b.txt"},
      {"file://localhost/tmp/x", "/tmp/x"},
      {"FILE:///tmp/x\r", "/tmp/x"},
      {"file:///tmp/bad%FF.txt", "/tmp/bad\xff.txt"},
      {"file:///tmp/%C3%A9t%C3%A9", "/tmp/\xc3\xa9t\xc3\xa9"},
      {"file:///tmp/q%3Fa?query#frag", "/tmp/q?a"},
      {"file://otherhost/tmp/x", ""},
      {"https://example.org/x", ""},
      {"file:relative", ""},
      {"file:///tmp/nul%00here", ""},
  };
  for (const TCase &LCase : LCases) {
    const QString LPath = PathFromFileUri(LCase.FUri);
    if (LCase.FPath.isEmpty()) {
      EXPECT_TRUE(LPath.isEmpty()) << LCase.FUri.constData();
      continue;
    }
    QByteArray LBytes;
    ASSERT_TRUE(platform::EncodeNativePath(LPath, LBytes)) << LCase.FUri.constData();
    EXPECT_EQ(LBytes, LCase.FPath) << LCase.FUri.constData();
  }
}

TEST(PathFromArgumentTest, BytesKeptAndRelativePathsMadeAbsolute) {
  QByteArray LBytes;
  ASSERT_TRUE(platform::EncodeNativePath(PathFromArgument("/a//b/./c/../bad\xfe"), LBytes));
  EXPECT_EQ(LBytes, QByteArray("/a/b/bad\xfe"));
  EXPECT_EQ(PathFromArgument("x.txt"), QDir::currentPath() + QStringLiteral("/x.txt"));
  EXPECT_EQ(PathFromArgument(QByteArray()), QString());
}
