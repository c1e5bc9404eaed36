// The platform layer for memory: how a program that keeps large arrays asks
// the system to back them with few, large pages.
#pragma once

#include <cstddef>

namespace platform {

// Asks the system to back the whole large pages inside the block at
// AAddress of ASize bytes with large pages when they are first touched, so
// that filling a large array takes one fault per large page instead of one
// per small one. Nothing happens where the system offers no such pages or
// the block holds no whole one.
void PreferLargePages(void *AAddress, size_t ASize);

} // namespace platform
