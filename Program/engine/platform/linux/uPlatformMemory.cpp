// Linux implementation of the memory hints: transparent huge pages, asked
// for with madvise where the system leaves them to the program.
#include "uPlatformMemory.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void PreferLargePages(void *AAddress, size_t ASize) {
  constexpr uintptr_t KLargePage = 2 * 1024 * 1024;
  const auto LStart = reinterpret_cast<uintptr_t>(AAddress);
  const uintptr_t LFirst = (LStart + KLargePage - 1) & ~(KLargePage - 1);
  const uintptr_t LEnd = (LStart + ASize) & ~(KLargePage - 1);
  if (LEnd <= LFirst)
    return;
  // A refusal (no such pages here) leaves the block as it is.
  (void)::madvise(reinterpret_cast<void *>(LFirst), LEnd - LFirst, MADV_HUGEPAGE);
}

} // namespace platform
