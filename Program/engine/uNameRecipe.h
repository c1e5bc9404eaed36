// The naming rules as one value: both masks, the counter, search and replace
// and the letter-case rule. A page builds it from its widgets in one place;
// the lists apply it (TFileList::ApplyRecipe, TFolderList::ApplyRecipe), and
// so can anything else that renames without a window.
#pragma once

#include <QString>

// The letter-case rules, numbered as the case box lists them.
enum class TCaseRule {
  None = 0,        // "No change"
  Lower = 1,       // "All in lower": name and extension
  Upper = 2,       // "All in UPPER": name and extension
  FirstLetter = 3, // "First letter in Upper": the name's first letter
  Words = 4        // "Begining of Word in Upper": the first letter and each after a blank
};

// The rule at AIndex of the case box; None for an index outside it.
TCaseRule CaseRuleFromIndex(int AIndex);

struct TNameRecipe {
  QString FNameMask = QStringLiteral("[N]");
  QString FExtMask = QStringLiteral("[E]"); // files only
  int FCounterStart = 1;
  int FCounterStep = 1;
  int FCounterDigits = 1;
  QString FSearch; // empty: no search and replace
  QString FReplace;
  bool FRegex = false;     // the search is a regular expression
  bool FMatchCase = false; // the search tells letter case apart
  TCaseRule FCase = TCaseRule::None;

  // A mask holds the counter: every item's name depends on its position.
  bool HasCounter() const;

  bool operator==(const TNameRecipe &) const = default;
};

// Applies ARule to an item through its four case operations; None does
// nothing. Both item kinds share this one switch.
template <class TItem> void ApplyCaseRule(TItem &AItem, TCaseRule ARule) {
  switch (ARule) {
  case TCaseRule::Lower:
    AItem.SetLowercase();
    break;
  case TCaseRule::Upper:
    AItem.SetUppercase();
    break;
  case TCaseRule::FirstLetter:
    AItem.SetFirstLetterUp();
    break;
  case TCaseRule::Words:
    AItem.SetAllFirstUp();
    break;
  case TCaseRule::None:
    break;
  }
}
