#include "uNameRecipe.h"

#include "uMaskScanner.h"

TCaseRule CaseRuleFromIndex(int AIndex) {
  return AIndex >= 1 && AIndex <= 4 ? static_cast<TCaseRule>(AIndex) : TCaseRule::None;
}

bool TNameRecipe::HasCounter() const {
  return masks::HasCounterToken(FNameMask) || masks::HasCounterToken(FExtMask);
}
