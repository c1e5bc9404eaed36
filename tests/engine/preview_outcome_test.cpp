// Preview equals outcome: random recipes on random trees, for files and for
// folders, in a temporary folder and on a real exFAT. Before a Rename each
// item's plan status and the path its Rename gives it (TargetPath, what the
// grid and the command line show) are taken; afterwards a byte-exact listing
// of the disk must hold every item planned to move under exactly that name
// and no longer under its old one, every item with a conflict and every
// unchanged item where it was, and nothing else changed or lost.
//
// Each run draws a seed and prints it; VARNWELL_TEST_SEED=<seed> runs with
// that seed again, and VARNWELL_TEST_ROUND=<round> runs only that round of it.
#include "platform/uPathRules.h"
#include "platform/uPlatformFs.h"
#include "uFileInfo.h"
#include "uFolderInfo.h"

#include "MountFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using testsupport::SnapshotTree;

namespace {

using TSnapshot = std::map<QString, QByteArray>;

// The seed of this run: VARNWELL_TEST_SEED when set, a fresh one otherwise.
unsigned RunSeed() {
  static const unsigned LSeed = [] {
    bool LOk = false;
    const unsigned LFixed = qEnvironmentVariable("VARNWELL_TEST_SEED").toUInt(&LOk);
    return LOk ? LFixed : std::random_device()();
  }();
  return LSeed;
}

// The one round to run (VARNWELL_TEST_ROUND), or -1 for all.
int OnlyRound() {
  bool LOk = false;
  const int LRound = qEnvironmentVariable("VARNWELL_TEST_ROUND").toInt(&LOk);
  return LOk ? LRound : -1;
}

// Each round draws from a generator of its own, seeded by the run's seed and
// the round's number, so that one round can be run again alone.
class TRandom {
public:
  TRandom(unsigned ASeed, int ARound) {
    std::seed_seq LSeq{ASeed, static_cast<unsigned>(ARound)};
    FEngine.seed(LSeq);
  }
  int Below(int ACount) { return static_cast<int>(FEngine() % static_cast<unsigned>(ACount)); }
  bool OneIn(int ACount) { return Below(ACount) == 0; }
  template <size_t N> QString Pick(const char16_t *const (&AItems)[N]) {
    return QString::fromUtf16(AItems[static_cast<size_t>(Below(static_cast<int>(N)))]);
  }
  template <typename T, size_t N> T Pick(const T (&AItems)[N]) {
    return AItems[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

private:
  std::mt19937 FEngine;
};

// ---- Names on disk ---------------------------------------------------------

// The cores of the names in a tree: letters in both cases (so that names
// differ in letter case only), pairs that swap, numbers that a counter
// makes again, a blank, a dot inside, letters beyond ASCII and one beyond
// the 16-bit range.
const char16_t *const GStems[] = {u"a", u"b", u"A", u"B", u"ab", u"ba",  u"aB",  u"1",         u"2",
                                  u"3", u"é", u"É", u"Ω", u"ω",  u"x y", u"a.b", u"\U0001F600"};
// Bytes that are not UTF-8, as the lossless text holds them: 0xFF, a lone
// lead byte 0xC3 and a lone continuation byte 0x80.
const char16_t *const GForeign[] = {u"\xDCFF", u"\xDCC3", u"\xDC80"};
const char16_t *const GExtensions[] = {u".txt",    u".txt", u".TXT", u".jpg",
                                       u".tar.gz", u".é",   u".A"};

// The names of the dense trees: numbered ones that a renumbering turns into
// each other, and letters that a swap of the first two characters or a
// change of letter case turns into each other.
// Kelvin sign and k, micro sign and Greek mu: names the planner folds
// together that a file system may tell apart.
const char16_t *const GLetterStems[] = {u"ab", u"ba", u"Ab",     u"bA",     u"a",     u"A",
                                        u"b",  u"k",  u"\u212A", u"\u00B5", u"\u03BC"};

// How a round draws its tree and its recipe: anything, or a dense tree
// whose new names are mostly names of other items (chains and cycles) or of
// entries that stay.
enum class TStyle { Any, Numbered, Letters };

// A name for an entry of a tree: with an extension or without one, ending in
// "." or a blank, hidden, and (where the file system takes them) with bytes
// that are not UTF-8.
QString TreeName(TRandom &ARandom, bool AForeignBytes, TStyle AStyle) {
  if (AStyle == TStyle::Numbered)
    return QString::number(1 + ARandom.Below(6)) + QStringLiteral(".txt");
  if (AStyle == TStyle::Letters)
    return ARandom.Pick(GLetterStems) + QString::fromUtf16(ARandom.OneIn(3) ? u"" : u".txt");
  QString LName = ARandom.Pick(GStems);
  if (AForeignBytes && ARandom.OneIn(5)) {
    // Anywhere but between the halves of a pair.
    int LAt = ARandom.Below(static_cast<int>(LName.size()) + 1);
    if (LAt > 0 && LName[LAt - 1].isHighSurrogate())
      ++LAt;
    LName.insert(LAt, ARandom.Pick(GForeign));
  }
  switch (ARandom.Below(9)) {
  case 0:
  case 1:
  case 2:
    LName += ARandom.Pick(GExtensions);
    break;
  case 3:
    LName += u'.';
    break;
  case 4:
    LName += u"..";
    break;
  case 5:
    LName += ARandom.OneIn(2) ? u" " : u". ";
    break;
  case 6:
    LName.prepend(u'.');
    if (ARandom.OneIn(2))
      LName += ARandom.Pick(GExtensions);
    break;
  default:
    break; // no extension
  }
  return LName;
}

// ---- Recipes ---------------------------------------------------------------

// Mask pieces: tokens, the extension's token where it is no token (it stays
// as text in a name mask), dots, delimiters and the characters exFAT
// refuses, blanks, control characters, letters beyond ASCII.
const char16_t *const GNamePieces[] = {u"[N]", u"[N]", u"[N]", u"[C]", u"[E]", u"x",  u"Ab",
                                       u".",   u"..",  u"/",   u":",   u"*",   u"?",  u" ",
                                       u"é",   u"\\",  u"<",   u"\"",  u"|",   u"\t", u"."};
// Masks that renumber: with the numbered names of a tree they make chains
// and cycles.
const char16_t *const GCounterMasks[] = {u"[C]", u"[C]", u"x[C]", u"[N][C]", u"[C]."};
const char16_t *const GExtPieces[] = {u"[E]", u"[E]", u"[E]", u"[C]", u"txt", u"TXT",
                                      u".",   u"",    u":",   u"*",   u" ",   u"[N]"};
const char16_t *const GPlainSearches[] = {u"a", u"A", u".", u"é", u" ", u"b.", u"x", u"1"};
const char16_t *const GPlainReplaces[] = {u"", u"b", u".", u"/", u":", u"..", u"x ", u"É", u"2"};
const char16_t *const GRegexSearches[] = {u"^.",     u"\\.", u"a+",  u"(.)(.)",  u"$",
                                          u"[^a-z]", u".$",  u"\\s", u"(?<s>b)", u"\\.[^.]*$"};
const char16_t *const GRegexReplaces[] = {u"",    u"$1",   u"$2$1", u"_",   u".",
                                          u"x/y", u"${s}", u"$$",   u"$0.", u""};

QString RandomMask(TRandom &ARandom, const char16_t *const *APieces, int ACount, int AMax) {
  QString LMask;
  const int LPieces = ARandom.Below(AMax + 1);
  for (int i = 0; i < LPieces; ++i)
    LMask += QString::fromUtf16(APieces[ARandom.Below(ACount)]);
  return LMask;
}

// A recipe for a dense tree: a renumbering of the numbered names; for the
// letters the first two characters swapped, one letter replaced by another
// or the letter case changed.
TNameRecipe DenseRecipe(TRandom &ARandom, TStyle AStyle) {
  TNameRecipe LRecipe;
  if (AStyle == TStyle::Numbered) {
    LRecipe.FNameMask = QStringLiteral("[C]");
    LRecipe.FCounterStart = 1 + ARandom.Below(6);
    LRecipe.FCounterStep = ARandom.Pick({1, 1, -1, -1, 2});
    return LRecipe;
  }
  switch (ARandom.Below(3)) {
  case 0:
    LRecipe.FRegex = true;
    LRecipe.FSearch = QStringLiteral("^(.)(.)");
    LRecipe.FReplace = QStringLiteral("$2$1");
    break;
  case 1:
    LRecipe.FSearch = QStringLiteral("a");
    LRecipe.FReplace = QStringLiteral("b");
    LRecipe.FMatchCase = ARandom.OneIn(2);
    break;
  default:
    break;
  }
  LRecipe.FExtMask = ARandom.OneIn(4) ? QString() : QStringLiteral("[E]");
  LRecipe.FCase = static_cast<TCaseRule>(ARandom.Below(5));
  return LRecipe;
}

TNameRecipe RandomRecipe(TRandom &ARandom) {
  TNameRecipe LRecipe;
  // The old name kept, a renumbering, or a mask of pieces (empty included).
  const int LNameStyle = ARandom.Below(10);
  LRecipe.FNameMask = LNameStyle < 2   ? QStringLiteral("[N]")
                      : LNameStyle < 5 ? ARandom.Pick(GCounterMasks)
                                       : RandomMask(ARandom, GNamePieces,
                                                    static_cast<int>(std::size(GNamePieces)), 3);
  // Now and then a long run of letters of one byte or of two in UTF-8, near
  // the name limits (255 bytes here, 255 UTF-16 units on exFAT).
  if (ARandom.OneIn(6))
    LRecipe.FNameMask.insert(ARandom.Below(static_cast<int>(LRecipe.FNameMask.size()) + 1),
                             QString(60 + ARandom.Below(200), ARandom.OneIn(2) ? u'L' : u'é'));
  const int LExtStyle = ARandom.Below(6);
  LRecipe.FExtMask = LExtStyle < 2    ? QStringLiteral("[E]")
                     : LExtStyle == 2 ? QStringLiteral("txt")
                                      : RandomMask(ARandom, GExtPieces,
                                                   static_cast<int>(std::size(GExtPieces)), 2);
  LRecipe.FCounterStart = ARandom.Pick({1, 1, 2, 0, -1, 3, 98});
  LRecipe.FCounterStep = ARandom.Pick({1, 1, -1, 2, 0});
  LRecipe.FCounterDigits = ARandom.Pick({1, 1, 2, 3});
  switch (ARandom.Below(6)) {
  case 0:
    LRecipe.FSearch = ARandom.Pick(GPlainSearches);
    LRecipe.FReplace = ARandom.Pick(GPlainReplaces);
    break;
  case 1:
    LRecipe.FRegex = true;
    LRecipe.FSearch = ARandom.Pick(GRegexSearches);
    LRecipe.FReplace = ARandom.Pick(GRegexReplaces);
    break;
  case 2:
    // The first two characters trade places: "ab" and "ba" swap.
    LRecipe.FRegex = true;
    LRecipe.FSearch = QStringLiteral("^(.)(.)");
    LRecipe.FReplace = QStringLiteral("$2$1");
    break;
  default:
    break;
  }
  LRecipe.FMatchCase = ARandom.OneIn(2);
  LRecipe.FCase = static_cast<TCaseRule>(ARandom.Below(5));
  return LRecipe;
}

// ---- Showing names in messages ---------------------------------------------

// A name as a message shows it: a byte that is not UTF-8 as \xNN, any other
// lone surrogate as \uXXXX, a control character as \xNN.
std::string Show(const QString &AText) {
  std::string LOut = "\"";
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const char16_t LUnit = AText[i].unicode();
    char LEscape[16];
    if (QChar::isHighSurrogate(LUnit) && i + 1 < AText.size() && AText[i + 1].isLowSurrogate()) {
      LOut += AText.mid(i, 2).toStdString();
      ++i;
    } else if (LUnit >= 0xDC80 && LUnit <= 0xDCFF) {
      std::snprintf(LEscape, sizeof LEscape, "\\x%02X", LUnit - 0xDC00);
      LOut += LEscape;
    } else if (QChar::isSurrogate(LUnit)) {
      std::snprintf(LEscape, sizeof LEscape, "\\u%04X", LUnit);
      LOut += LEscape;
    } else if (LUnit < 0x20 || LUnit == u'"' || LUnit == u'\\') {
      std::snprintf(LEscape, sizeof LEscape, "\\x%02X", LUnit);
      LOut += LEscape;
    } else {
      LOut += QString(AText[i]).toStdString();
    }
  }
  return LOut + "\"";
}

std::string ShowRecipe(const TNameRecipe &ARecipe) {
  std::ostringstream LOut;
  LOut << "name " << Show(ARecipe.FNameMask) << ", ext " << Show(ARecipe.FExtMask) << ", counter "
       << ARecipe.FCounterStart << "/" << ARecipe.FCounterStep << "/" << ARecipe.FCounterDigits
       << ", search " << Show(ARecipe.FSearch) << " -> " << Show(ARecipe.FReplace)
       << (ARecipe.FRegex ? " regex" : "") << (ARecipe.FMatchCase ? " match-case" : "") << ", case "
       << static_cast<int>(ARecipe.FCase);
  return LOut.str();
}

const char *StatusName(TPlanStatus AStatus) {
  switch (AStatus) {
  case TPlanStatus::Unchanged:
    return "Unchanged";
  case TPlanStatus::Rename:
    return "Rename";
  case TPlanStatus::Waits:
    return "Waits";
  case TPlanStatus::Swap:
    return "Swap";
  case TPlanStatus::SameNewName:
    return "SameNewName";
  case TPlanStatus::TargetExists:
    return "TargetExists";
  case TPlanStatus::InvalidName:
    return "InvalidName";
  case TPlanStatus::NameTooLong:
    return "NameTooLong";
  case TPlanStatus::WaitsForConflict:
    return "WaitsForConflict";
  }
  return "?";
}

bool Moves(TPlanStatus AStatus) {
  return AStatus == TPlanStatus::Rename || AStatus == TPlanStatus::Waits ||
         AStatus == TPlanStatus::Swap;
}

// ---- The disk after a batch -----------------------------------------------

// What the preview says of one item.
struct TPreviewRow {
  QString FOld;    // CurrentPath, below the round's folder
  QString FTarget; // TargetPath, below the round's folder
  TPlanStatus FStatus = TPlanStatus::Unchanged;
};

// ARelative below ARoot, or ARelative unchanged where it is not below it.
QString Below(const QString &APath, const QString &ARoot) {
  return APath.startsWith(ARoot + u'/') ? APath.mid(ARoot.size() + 1) : APath;
}

// The listing ABefore after the moves of ARows: an entry below a folder that
// moved follows it, and each moving entry takes its previewed name.
TSnapshot ExpectedAfter(const TSnapshot &ABefore, const std::vector<TPreviewRow> &ARows) {
  std::map<QString, QString> LNewNames; // old relative path -> name taken
  for (const TPreviewRow &LRow : ARows)
    if (Moves(LRow.FStatus))
      LNewNames[LRow.FOld] = platform::ExtractName(LRow.FTarget);
  TSnapshot LExpected;
  for (const auto &[LPath, LContent] : ABefore) {
    QString LOld;
    QString LNew;
    for (const QString &LPart : LPath.split(u'/')) {
      LOld += (LOld.isEmpty() ? QString() : QStringLiteral("/")) + LPart;
      const auto LFound = LNewNames.find(LOld);
      LNew += (LNew.isEmpty() ? QString() : QStringLiteral("/")) +
              (LFound == LNewNames.end() ? LPart : LFound->second);
    }
    LExpected[LNew] = LContent;
  }
  return LExpected;
}

// The differences of two listings, one line each.
std::string Difference(const TSnapshot &AExpected, const TSnapshot &AActual) {
  std::string LOut;
  for (const auto &[LPath, LContent] : AExpected) {
    const auto LFound = AActual.find(LPath);
    if (LFound == AActual.end())
      LOut += "  missing on disk: " + Show(LPath) + "\n";
    else if (LFound->second != LContent)
      LOut += "  other content: " + Show(LPath) + "\n";
  }
  for (const auto &[LPath, LContent] : AActual)
    if (!AExpected.count(LPath))
      LOut += "  not expected: " + Show(LPath) + "\n";
  return LOut;
}

// ---- The test --------------------------------------------------------------

enum class TKind { Files, Folders };
enum class TDisk { Temporary, Exfat };

struct TCaseParam {
  TKind FKind;
  TDisk FDisk;
  int FRounds;
  const char *FName;
};

class PreviewOutcome : public ::testing::TestWithParam<TCaseParam> {
protected:
  void SetUp() override {
    if (GetParam().FDisk == TDisk::Exfat) {
      FExfat = std::make_unique<testsupport::TExfatMount>();
      if (!FExfat->Mounted())
        GTEST_SKIP() << "no exFAT here: " << FExfat->SkipReason().toStdString();
      FRoot = FExfat->Root();
    } else {
      FTemp = std::make_unique<testsupport::TTempTree>();
      FRoot = FTemp->Root();
    }
  }

  // Makes a random tree in AFolder.
  void MakeTree(TRandom &ARandom, const QString &AFolder, bool AForeign, TStyle AStyle);
  // One round: a tree, a recipe, the preview, the Rename and the disk.
  void Round(int ARound);

  std::unique_ptr<testsupport::TExfatMount> FExfat;
  std::unique_ptr<testsupport::TTempTree> FTemp;
  QString FRoot;
  int FContent = 0; // numbers the files' contents, so that each is unique
};

void PreviewOutcome::MakeTree(TRandom &ARandom, const QString &AFolder, bool AForeign,
                              TStyle AStyle) {
  // A name drawn twice, or (on exFAT) one that differs from a name there in
  // letter case only, may find an entry of the other kind in its place: it
  // is then left out, since the listing taken afterwards is what counts.
  const auto LFile = [&](const QString &AIn) {
    testsupport::WriteFile(AIn + u'/' + TreeName(ARandom, AForeign, AStyle),
                           "file " + QByteArray::number(++FContent));
  };
  const auto LFolder = [&](const QString &AIn) {
    const QString LPath = AIn + u'/' + TreeName(ARandom, AForeign, AStyle);
    testsupport::MakePath(LPath);
    return LPath;
  };
  ASSERT_TRUE(testsupport::MakePath(AFolder));
  if (GetParam().FKind == TKind::Files) {
    // Files in the folder and in one below it.
    for (int i = (AStyle == TStyle::Any ? 2 : 4) + ARandom.Below(6); i > 0; --i)
      LFile(AFolder);
    if (ARandom.OneIn(2)) {
      const QString LSub = LFolder(AFolder);
      for (int i = 1 + ARandom.Below(4); i > 0; --i)
        LFile(LSub);
    }
    return;
  }
  // Folders two deep, each holding a file that must travel with it, and
  // files beside them that may stand in the way of a new name.
  for (int i = (AStyle == TStyle::Any ? 2 : 4) + ARandom.Below(3); i > 0; --i) {
    const QString LTop = LFolder(AFolder);
    LFile(LTop);
    for (int k = ARandom.Below(3); k > 0; --k)
      LFile(LFolder(LTop));
  }
  for (int i = ARandom.Below(3); i > 0; --i)
    LFile(AFolder);
}

void PreviewOutcome::Round(int ARound) {
  const unsigned LSeed = RunSeed();
  TRandom LRandom(LSeed, ARound);
  const bool LExfat = GetParam().FDisk == TDisk::Exfat;
  const QString LFolder = FRoot + QStringLiteral("/round");
  testsupport::RemoveTree(LFolder);
  // A third of the rounds renumber or swap names within a few names.
  const TStyle LStyle = LRandom.Pick(
      {TStyle::Any, TStyle::Any, TStyle::Any, TStyle::Any, TStyle::Numbered, TStyle::Letters});
  // exFAT cannot even hold a name that is not UTF-8.
  MakeTree(LRandom, LFolder, !LExfat, LStyle);
  if (::testing::Test::HasFatalFailure())
    return;
  // What the tree holds, as its listing spells it (on exFAT two names that
  // differ in letter case only made one entry).
  const TSnapshot LBefore = SnapshotTree(LFolder);

  TFileList LFiles;
  TFolderList LFolders;
  const bool LForFolders = GetParam().FKind == TKind::Folders;
  TRenameList &LList = LForFolders ? static_cast<TRenameList &>(LFolders) : LFiles;
  // Most entries of the kind become items; the others stay in the way.
  for (const auto &[LPath, LContent] : LBefore) {
    if ((LContent == "<dir>") != LForFolders || LRandom.OneIn(6))
      continue;
    if (LForFolders) {
      const qsizetype LSlash = LPath.lastIndexOf(u'/');
      const QString LIn = LSlash < 0 ? LFolder : LFolder + u'/' + LPath.left(LSlash);
      ASSERT_TRUE(LFolders.AddFolderInfoIfNeed(
          LIn, TFolderEntry{platform::ExtractName(LPath), QDateTime()}));
    } else {
      LFiles.AddFileInfo(std::make_unique<TFileInfo>(LFolder + u'/' + LPath));
    }
  }
  const TNameRecipe LRecipe =
      LStyle == TStyle::Any ? RandomRecipe(LRandom) : DenseRecipe(LRandom, LStyle);
  LList.ApplyRecipe(LRecipe, 0);

  const TPlan &LPlan = LList.PlanRenaming();
  std::vector<TPreviewRow> LRows;
  std::vector<TPlanEntry> LEntries = LPlan.FEntries;
  // A Rename may put the items in another order (folders deepest first):
  // they are found again by address.
  std::vector<const TRenameItem *> LItems;
  for (int i = 0; i < LList.Count(); ++i) {
    LRows.push_back(TPreviewRow{Below(LList.CurrentPath(i), LFolder),
                                Below(LList.TargetPath(i), LFolder),
                                LEntries[static_cast<size_t>(i)].FStatus});
    LItems.push_back(&LList.ItemAt(i));
  }
  const int LConflicts = LPlan.FConflicts;

  const int LFailed = LList.ExecuteRenaming();
  const TSnapshot LAfter = SnapshotTree(LFolder);
  const TSnapshot LExpected = ExpectedAfter(LBefore, LRows);
  // A name the preview calls invalid or too long fails for that reason
  // (the other conflicts fail as a move onto a taken name does).
  std::string LReasons;
  for (size_t i = 0; i < LRows.size(); ++i) {
    const TPlanStatus LStatus = LRows[i].FStatus;
    if (LStatus != TPlanStatus::InvalidName && LStatus != TPlanStatus::NameTooLong)
      continue;
    const QString LReason = PlanReason(LEntries[i], LForFolders);
    if (LItems[i]->RenameErrorText() != LReason)
      LReasons += "  " + Show(LRows[i].FOld) + " -> " + Show(LRows[i].FTarget) + ": preview \"" +
                  LReason.toStdString() + "\", outcome \"" +
                  LItems[i]->RenameErrorText().toStdString() + "\"\n";
  }
  if (LAfter == LExpected && LFailed == LConflicts && LReasons.empty())
    return;
  std::ostringstream LMessage;
  LMessage << "seed " << LSeed << " round " << ARound << " ("
           << (LExfat ? "exFAT" : "temporary folder") << ", " << (LForFolders ? "folders" : "files")
           << ")\n  recipe: " << ShowRecipe(LRecipe) << "\n  failed " << LFailed
           << ", conflicts planned " << LConflicts << "\n";
  for (size_t i = 0; i < LRows.size(); ++i) {
    LMessage << "  " << Show(LRows[i].FOld) << " -> " << Show(LRows[i].FTarget) << "  "
             << StatusName(LRows[i].FStatus);
    if (!LItems[i]->RenameErrorText().isEmpty())
      LMessage << " (" << LItems[i]->RenameErrorText().toStdString() << ")";
    LMessage << "\n";
  }
  LMessage << LReasons << Difference(LExpected, LAfter);
  ADD_FAILURE() << LMessage.str();
}

TEST_P(PreviewOutcome, WhatThePreviewShowsIsWhatLandsOnDisk) {
  const unsigned LSeed = RunSeed();
  RecordProperty("seed", std::to_string(LSeed));
  std::cout << "[ seed     ] " << LSeed << " (VARNWELL_TEST_SEED=" << LSeed << " runs it again)"
            << std::endl;
  const int LOnly = OnlyRound();
  for (int LRound = 0; LRound < GetParam().FRounds; ++LRound) {
    if (LOnly >= 0 && LRound != LOnly)
      continue;
    Round(LRound);
    // One failing round tells enough; the rounds after it would repeat it.
    if (HasFailure())
      break;
  }
}

// A change of letter case only, where the folder ignores case, beside an
// entry whose name the program folds to the same key or not. exFAT tells
// MICRO SIGN from GREEK SMALL LETTER MU, while the program folds both to
// one key: the move is refused, and the preview calls it a conflict. A
// letter beyond the BMP is folded neither by exFAT nor by the program: the
// entry beside it is no obstacle.
TEST(PreviewOutcomeOnExfat, AChangeOfCaseOnlyBesideAnotherEntry) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  struct TCase {
    bool FFolders;
    const char16_t *FName;   // the item, renamed to upper case
    const char16_t *FBeside; // an entry beside it (none: empty)
    const char16_t *FTarget;
    TPlanStatus FStatus;
  };
  const TCase LCases[] = {
      {false, u"\u03BC.txt", u"", u"\u039C.TXT", TPlanStatus::Rename},
      {false, u"\u03BC.txt", u"\u00B5.txt", u"\u039C.TXT", TPlanStatus::TargetExists},
      {true, u"\u03BC.txt", u"", u"\u039C.TXT", TPlanStatus::Rename},
      {true, u"\u03BC.txt", u"\u00B5.txt", u"\u039C.TXT", TPlanStatus::TargetExists},
      // DESERET SMALL LETTER LONG I beside DESERET CAPITAL LETTER LONG I.
      {false, u"\U00010428a.txt", u"\U00010400a.txt", u"\U00010428A.TXT", TPlanStatus::Rename},
      {true, u"\U00010428a.txt", u"\U00010400a.txt", u"\U00010428A.TXT", TPlanStatus::Rename},
  };
  const QString LFolder = LExfat.Root() + QStringLiteral("/case");
  for (const TCase &LCase : LCases) {
    const QString LName = QString::fromUtf16(LCase.FName);
    const QString LBeside = QString::fromUtf16(LCase.FBeside);
    SCOPED_TRACE(Show(LName) + (LCase.FFolders ? " (folder)" : " (file)") + " beside " +
                 Show(LBeside));
    testsupport::RemoveTree(LFolder);
    ASSERT_TRUE(testsupport::MakePath(LFolder));
    ASSERT_TRUE(LCase.FFolders ? testsupport::MakePath(LFolder + u'/' + LName)
                               : testsupport::WriteFile(LFolder + u'/' + LName, "item"));
    if (!LBeside.isEmpty()) {
      ASSERT_TRUE(testsupport::WriteFile(LFolder + u'/' + LBeside, "beside"));
    }
    const TSnapshot LBefore = SnapshotTree(LFolder);
    ASSERT_EQ(LBefore.size(), LBeside.isEmpty() ? 1u : 2u);
    TFileList LFiles;
    TFolderList LFolders;
    TRenameList &LList = LCase.FFolders ? static_cast<TRenameList &>(LFolders) : LFiles;
    if (LCase.FFolders) {
      ASSERT_TRUE(LFolders.AddFolderInfoIfNeed(LFolder, TFolderEntry{LName, QDateTime()}));
    } else {
      LFiles.AddFileInfo(std::make_unique<TFileInfo>(LFolder + u'/' + LName));
    }
    TNameRecipe LRecipe;
    LRecipe.FCase = TCaseRule::Upper;
    LList.ApplyRecipe(LRecipe, 0);
    const TPreviewRow LRow{Below(LList.CurrentPath(0), LFolder),
                           Below(LList.TargetPath(0), LFolder),
                           LList.PlanRenaming().FEntries[0].FStatus};
    ASSERT_EQ(LRow.FTarget, QString::fromUtf16(LCase.FTarget));
    EXPECT_STREQ(StatusName(LRow.FStatus), StatusName(LCase.FStatus));
    EXPECT_EQ(LList.ExecuteRenaming(), IsConflict(LRow.FStatus) ? 1 : 0)
        << LList.ItemAt(0).RenameErrorText().toStdString();
    EXPECT_EQ(SnapshotTree(LFolder), ExpectedAfter(LBefore, {LRow}));
  }
}

// exFAT ignores letter case, but its table keeps KELVIN SIGN and "k" apart:
// a folder whose first name holds it is still seen to ignore case, so that
// the new name of the item, taken by another entry in the other case, is a
// conflict and the item stays.
TEST(PreviewOutcomeOnExfat, AFolderIgnoresCaseWhateverNameComesFirst) {
  testsupport::TExfatMount LExfat;
  if (!LExfat.Mounted())
    GTEST_SKIP() << "no exFAT here: " << LExfat.SkipReason().toStdString();
  struct TCase {
    std::vector<const char16_t *> FEntries; // as the folder lists them, after the item
    const char16_t *FItem;
    const char16_t *FNameMask;
  };
  const TCase LCases[] = {
      // The first name has letters a to z besides the sign.
      {{u"\u212A.txt", u"b.txt"}, u"a.txt", u"B"},
      // No name has a letter a to z: the FAT family ignores case.
      {{u"\u212A", u"\u00E9"}, u"1", u"\u00C9"},
  };
  const QString LFolder = LExfat.Root() + QStringLiteral("/probe");
  for (const TCase &LCase : LCases) {
    SCOPED_TRACE(Show(QString::fromUtf16(LCase.FEntries.front())));
    testsupport::RemoveTree(LFolder);
    ASSERT_TRUE(testsupport::MakePath(LFolder));
    // The driver lists the entry made last first.
    const QString LItem = LFolder + u'/' + QString::fromUtf16(LCase.FItem);
    ASSERT_TRUE(testsupport::WriteFile(LItem, "item"));
    for (auto LEntry = LCase.FEntries.rbegin(); LEntry != LCase.FEntries.rend(); ++LEntry) {
      ASSERT_TRUE(testsupport::WriteFile(LFolder + u'/' + QString::fromUtf16(*LEntry), "entry"));
    }
    const TSnapshot LBefore = SnapshotTree(LFolder);
    TFileList LList;
    LList.AddFileInfo(std::make_unique<TFileInfo>(LItem));
    TNameRecipe LRecipe;
    LRecipe.FNameMask = QString::fromUtf16(LCase.FNameMask);
    LList.ApplyRecipe(LRecipe, 0);
    EXPECT_STREQ(StatusName(LList.PlanRenaming().FEntries[0].FStatus), "TargetExists");
    EXPECT_EQ(LList.ExecuteRenaming(), 1);
    EXPECT_EQ(SnapshotTree(LFolder), LBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PreviewOutcome,
    ::testing::Values(TCaseParam{TKind::Files, TDisk::Temporary, 300, "FilesInATemporaryFolder"},
                      TCaseParam{TKind::Folders, TDisk::Temporary, 300,
                                 "FoldersInATemporaryFolder"},
                      TCaseParam{TKind::Files, TDisk::Exfat, 150, "FilesOnExfat"},
                      TCaseParam{TKind::Folders, TDisk::Exfat, 150, "FoldersOnExfat"}),
    [](const ::testing::TestParamInfo<TCaseParam> &AInfo) { return AInfo.param.FName; });

} // namespace
