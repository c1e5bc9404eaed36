#include "uCliOptions.h"

#include "uNameEdits.h"

#include <QStringList>

#include <climits>
#include <optional>
#include <utility>

namespace {

// An option that takes a value, by its long and short spelling.
struct TValueOption {
  const char *FLong;
  char FShort;
};

constexpr TValueOption CValueOptions[] = {
    {"name", 'n'}, {"ext", 'e'},       {"start", 0},         {"step", 0},
    {"digits", 0}, {"search", 's'},    {"replace", 'r'},     {"case", 'c'},
    {"preset", 0}, {"save-preset", 0}, {"delete-preset", 0}, {"sort", 0},
};

// The orders of --sort, by their names.
constexpr std::pair<const char *, TSortKey> CSortKeys[] = {
    {"name", TSortKey::OldName}, {"new-name", TSortKey::NewName},  {"location", TSortKey::Location},
    {"taken", TSortKey::Taken},  {"modified", TSortKey::Modified}, {"size", TSortKey::Size},
};

std::optional<long long> ReadNumber(const QByteArray &AText) {
  bool LOk = false;
  const long long LValue = AText.toLongLong(&LOk);
  if (!LOk)
    return std::nullopt;
  return LValue;
}

QString Text(const QByteArray &ABytes) {
  return QString::fromUtf8(ABytes);
}

// Stores the value of the option ALong of the recipe in ARecipe; an error
// text when it is refused. The flags of the recipe come with an empty value.
QString SetRecipeValue(TNameRecipe &ARecipe, const QByteArray &ALong, const QByteArray &AValue) {
  TNameRecipe &LRecipe = ARecipe;
  if (ALong == "name") {
    LRecipe.FNameMask = Text(AValue);
  } else if (ALong == "ext") {
    LRecipe.FExtMask = Text(AValue);
  } else if (ALong == "search") {
    LRecipe.FSearch = Text(AValue);
  } else if (ALong == "replace") {
    LRecipe.FReplace = Text(AValue);
  } else if (ALong == "start" || ALong == "step") {
    const std::optional<long long> LNumber = ReadNumber(AValue);
    if (!LNumber || *LNumber < INT_MIN || *LNumber > INT_MAX)
      return QStringLiteral("--%1: not a number the counter takes: %2")
          .arg(Text(ALong), Text(AValue));
    (ALong == "start" ? LRecipe.FCounterStart : LRecipe.FCounterStep) = static_cast<int>(*LNumber);
  } else if (ALong == "digits") {
    const std::optional<long long> LNumber = ReadNumber(AValue);
    if (!LNumber || *LNumber < 1 || *LNumber > 10)
      return QStringLiteral("--digits: a number from 1 to 10, not %1").arg(Text(AValue));
    LRecipe.FCounterDigits = static_cast<int>(*LNumber);
  } else if (ALong == "case") {
    const QStringList LRules = {QStringLiteral("none"), QStringLiteral("lower"),
                                QStringLiteral("upper"), QStringLiteral("first"),
                                QStringLiteral("words")};
    const qsizetype LIndex = LRules.indexOf(Text(AValue));
    if (LIndex < 0)
      return QStringLiteral("--case: one of none, lower, upper, first, words, not %1")
          .arg(Text(AValue));
    LRecipe.FCase = CaseRuleFromIndex(static_cast<int>(LIndex));
  } else if (ALong == "regex" || ALong == "no-regex") {
    LRecipe.FRegex = ALong == "regex";
  } else if (ALong == "match-case" || ALong == "no-match-case") {
    LRecipe.FMatchCase = ALong == "match-case";
  }
  return {};
}

bool IsRecipeFlag(const QByteArray &ALong) {
  return ALong == "regex" || ALong == "no-regex" || ALong == "match-case" ||
         ALong == "no-match-case";
}

// Stores the value of the option ALong; an error text when it is refused.
QString SetValue(TCliOptions &AOptions, const QByteArray &ALong, const QByteArray &AValue) {
  if (ALong == "sort") {
    AOptions.FSort.reset();
    for (const auto &[LName, LKey] : CSortKeys)
      if (AValue == LName)
        AOptions.FSort = LKey;
    if (!AOptions.FSort)
      return QStringLiteral(
                 "--sort: one of name, new-name, location, taken, modified, size, not %1")
          .arg(Text(AValue));
  } else if (ALong == "preset") {
    AOptions.FPreset = Text(AValue);
  } else if (ALong == "save-preset") {
    AOptions.FSavePreset = Text(AValue);
  } else if (ALong == "delete-preset") {
    AOptions.FDeletePreset = Text(AValue);
  } else {
    AOptions.FRecipeOptions.emplace_back(ALong, AValue);
    return SetRecipeValue(AOptions.FRecipe, ALong, AValue);
  }
  return {};
}

// What the recipe and the mode must be to rename: a usage error text, or
// nothing.
QString CheckRename(const TCliOptions &AOptions) {
  const nameedits::TSearchReplace LSearch(AOptions.FRecipe.FSearch, AOptions.FRecipe.FReplace,
                                          AOptions.FRecipe.FRegex, AOptions.FRecipe.FMatchCase);
  if (!LSearch.IsValid())
    return QStringLiteral("--search: not a valid regular expression: %1").arg(LSearch.ErrorText());
  if (AOptions.FRecursive && AOptions.FFolders)
    return QStringLiteral("-R and -d cannot be given together");
  if ((AOptions.FIncludeRoot || AOptions.FNoSubfolders) && !AOptions.FFolders)
    return QStringLiteral("--include-root and --no-subfolders go with -d");
  if (AOptions.FFolders && AOptions.FNoSubfolders && !AOptions.FIncludeRoot)
    return QStringLiteral("-d --no-subfolders without --include-root renames nothing");
  if (AOptions.FReverse && !AOptions.FSort)
    return QStringLiteral("--reverse goes with --sort");
  if (AOptions.FFolders && (AOptions.FSort == TSortKey::Taken || AOptions.FSort == TSortKey::Size))
    return QStringLiteral("--sort taken and --sort size are for files: a folder has "
                          "neither");
  return {};
}

// A flag by its long spelling; false when there is none of that name.
bool SetFlag(TCliOptions &AOptions, const QByteArray &ALong) {
  if (ALong == "recursive")
    AOptions.FRecursive = true;
  else if (ALong == "folders")
    AOptions.FFolders = true;
  else if (ALong == "include-root")
    AOptions.FIncludeRoot = true;
  else if (ALong == "no-subfolders")
    AOptions.FNoSubfolders = true;
  else if (IsRecipeFlag(ALong))
    SetValue(AOptions, ALong, {});
  else if (ALong == "presets")
    AOptions.FListPresets = true;
  else if (ALong == "reverse")
    AOptions.FReverse = true;
  else if (ALong == "apply")
    AOptions.FApply = true;
  else if (ALong == "history")
    AOptions.FHistory = true;
  else if (ALong == "json")
    AOptions.FJson = true;
  else if (ALong == "quiet")
    AOptions.FQuiet = true;
  else if (ALong == "help")
    AOptions.FHelp = true;
  else if (ALong == "version")
    AOptions.FVersion = true;
  else
    return false;
  return true;
}

QByteArray LongFlagOf(char AShort) {
  switch (AShort) {
  case 'R':
    return "recursive";
  case 'd':
    return "folders";
  case 'q':
    return "quiet";
  case 'h':
    return "help";
  case 'V':
    return "version";
  default:
    return {};
  }
}

} // namespace

TCliParse ParseCliArguments(const std::vector<QByteArray> &AArguments) {
  TCliParse LParse;
  TCliOptions &LOptions = LParse.FOptions;
  const auto LFail = [&LParse](const QString &AText) {
    LParse.FError = AText;
    return LParse;
  };
  bool LOptionsEnd = false;
  for (size_t i = 0; i < AArguments.size(); ++i) {
    const QByteArray &LArgument = AArguments[i];
    if (LOptionsEnd || !LArgument.startsWith('-') || LArgument == "-") {
      LOptions.FPaths.push_back(LArgument);
      continue;
    }
    if (LArgument == "--") {
      LOptionsEnd = true;
      continue;
    }
    QByteArray LLong;
    std::optional<QByteArray> LInlineValue;
    if (LArgument.startsWith("--")) {
      LLong = LArgument.mid(2);
      const qsizetype LEquals = LLong.indexOf('=');
      if (LEquals >= 0) {
        LInlineValue = LLong.mid(LEquals + 1);
        LLong.truncate(LEquals);
      }
    } else {
      // Short flags may be joined ("-Rq"); a short option with a value takes
      // the rest of the argument or the next one.
      const char LShort = LArgument[1];
      bool LValueOption = false;
      for (const TValueOption &LOption : CValueOptions) {
        if (LOption.FShort != 0 && LOption.FShort == LShort) {
          LLong = LOption.FLong;
          LValueOption = true;
        }
      }
      if (LValueOption) {
        if (LArgument.size() > 2)
          LInlineValue = LArgument.mid(2);
      } else {
        for (qsizetype k = 1; k < LArgument.size(); ++k) {
          const QByteArray LFlag = LongFlagOf(LArgument[k]);
          if (LFlag.isEmpty())
            return LFail(
                QStringLiteral("unknown option: -%1").arg(QChar::fromLatin1(LArgument[k])));
          SetFlag(LOptions, LFlag);
        }
        continue;
      }
    }
    if (LLong == "undo") {
      LOptions.FUndo = true;
      if (LInlineValue)
        LOptions.FUndoId = Text(*LInlineValue);
      else if (i + 1 < AArguments.size() && !AArguments[i + 1].startsWith('-'))
        LOptions.FUndoId = Text(AArguments[++i]);
      continue;
    }
    bool LTakesValue = false;
    for (const TValueOption &LOption : CValueOptions)
      LTakesValue = LTakesValue || LLong == LOption.FLong;
    if (LTakesValue) {
      QByteArray LValue;
      if (LInlineValue)
        LValue = *LInlineValue;
      else if (i + 1 < AArguments.size())
        LValue = AArguments[++i];
      else
        return LFail(QStringLiteral("--%1 needs a value").arg(Text(LLong)));
      const QString LError = SetValue(LOptions, LLong, LValue);
      if (!LError.isEmpty())
        return LFail(LError);
      continue;
    }
    if (LInlineValue || !SetFlag(LOptions, LLong))
      return LFail(QStringLiteral("unknown option: %1").arg(Text(LArgument)));
  }
  if (LOptions.FHelp || LOptions.FVersion)
    return LParse;
  const bool LOtherMode = LOptions.FUndo || LOptions.FHistory;
  if (LOptions.FListPresets || LOptions.FDeletePreset) {
    if (!LOptions.FPaths.empty())
      return LFail(QStringLiteral("--presets and --delete-preset take no PATH"));
    if (LOtherMode || (LOptions.FListPresets && LOptions.FDeletePreset) || LOptions.FPreset ||
        LOptions.FSavePreset)
      return LFail(QStringLiteral("--presets and --delete-preset go alone"));
    return LParse;
  }
  if (LOtherMode) {
    if (!LOptions.FPaths.empty())
      return LFail(QStringLiteral("--undo and --history take no PATH"));
    if (LOptions.FUndo && LOptions.FHistory)
      return LFail(QStringLiteral("--undo and --history cannot be given together"));
    if (LOptions.FPreset || LOptions.FSavePreset)
      return LFail(QStringLiteral("--undo and --history take no preset"));
    return LParse;
  }
  if (LOptions.FSavePreset) {
    if (!LOptions.FPaths.empty())
      return LFail(QStringLiteral("--save-preset takes no PATH: a preset keeps rules only"));
    if (!IsValidPresetName(*LOptions.FSavePreset))
      return LFail(QStringLiteral("--save-preset: a name, not empty and without line breaks"));
  } else if (LOptions.FPaths.empty()) {
    return LFail(QStringLiteral("no PATH given (see --help)"));
  }
  // The rules and the order of a preset are checked once they are known.
  if (!LOptions.FPreset) {
    const QString LError = CheckRename(LOptions);
    if (!LError.isEmpty())
      return LFail(LError);
  }
  return LParse;
}

QString UsePreset(TCliOptions &AOptions, const TPreset &APreset) {
  if (APreset.FDamaged)
    return QStringLiteral("preset \"%1\" is damaged (its %2 cannot be read)")
        .arg(APreset.FName, APreset.FDamage);
  if (APreset.FKind == TPresetKind::Files && AOptions.FFolders)
    return QStringLiteral("preset \"%1\" renames files: it does not go with -d").arg(APreset.FName);
  if (APreset.FKind == TPresetKind::Folders)
    AOptions.FFolders = true;
  AOptions.FRecipe = APreset.FRecipe;
  for (const auto &[LLong, LValue] : AOptions.FRecipeOptions)
    SetRecipeValue(AOptions.FRecipe, LLong, LValue);
  // --sort and --reverse replace the preset's order as a pair; --reverse
  // alone turns the preset's order descending.
  if (!AOptions.FSort) {
    AOptions.FSort = PresetSortKey(APreset.FOrder);
    if (AOptions.FReverse && !AOptions.FSort)
      return QStringLiteral("--reverse goes with --sort: preset \"%1\" keeps no order")
          .arg(APreset.FName);
    AOptions.FReverse = AOptions.FReverse || (AOptions.FSort && APreset.FReverse);
  }
  return CheckRename(AOptions);
}

QString CliUsage() {
  return QStringLiteral(
      "Usage: varnwell-cli [OPTIONS] PATH...\n"
      "Renames many files, or many folders, in one go; without --apply it only shows\n"
      "what would be done.\n"
      "\n"
      "  -n, --name MASK       name mask (default \"[N]\"): [N] old name, [C] counter,\n"
      "                        [YMD] date, [hms] time (a file's; a folder's: now),\n"
      "                        [DATE:yyyy-MM-dd] that date in a Qt date-time format;\n"
      "                        files: [EXIF:format] date taken, [W] [H] image size,\n"
      "                        [ARTIST] [ALBUM] [TITLE] [TRACK] [TRACK:2] [YEAR] tags\n"
      "  -e, --ext MASK        extension mask (default \"[E]\"): [E] old extension,\n"
      "                        [C] counter; files only\n"
      "      --start N         the counter's first value (default 1)\n"
      "      --step N          what the counter adds per item (default 1)\n"
      "      --digits N        the counter's least number of digits, 1 to 10 (default 1)\n"
      "  -s, --search TEXT     text to replace (any letter case)\n"
      "  -r, --replace TEXT    what replaces it\n"
      "      --regex           the search is a regular expression; the replacement\n"
      "                        takes $0..$9 and ${name} for its groups, $$ for \"$\"\n"
      "      --match-case      the search tells letter case apart\n"
      "      --no-regex, --no-match-case  switch a preset's choice off\n"
      "  -c, --case RULE       none, lower, upper, first or words\n"
      "      --sort ORDER      number the items in this order: name, new-name (the\n"
      "                        names made, sorted, then numbered anew), location,\n"
      "                        taken (files: the date [EXIF:] gives), modified,\n"
      "                        size (files); equal items keep the order found\n"
      "      --reverse         with --sort, or a preset's order: descending\n"
      "  -R, --recursive       files: take the files below each folder PATH\n"
      "  -d, --folders         rename folders: the subfolders of each PATH\n"
      "      --include-root    with -d: each PATH folder itself too\n"
      "      --no-subfolders   with -d --include-root: only the PATH folders\n"
      "      --apply           rename on disk (a journal records the batch)\n"
      "      --undo [ID]       roll back the last batch of the journal, or batch ID\n"
      "      --history         list the journal's batches\n"
      "      --preset NAME     start from the rules and the order saved as NAME; the\n"
      "                        options given here override them (--sort its order);\n"
      "                        a folder preset takes -d\n"
      "      --save-preset NAME  save the rules and the order the options give as NAME\n"
      "                        (no PATH); one of that name is replaced\n"
      "      --presets         list the saved presets\n"
      "      --delete-preset NAME  remove the preset NAME\n"
      "      --json            one JSON object per line, per item and a summary\n"
      "  -q, --quiet           only the summary\n"
      "  -h, --help            this text\n"
      "  -V, --version         the version\n"
      "\n"
      "Exit status: 0 when everything planned was done (a preview: nothing\n"
      "conflicts), 1 when an item failed or conflicts, 2 for a usage error.\n");
}
