#pragma once
// Counts, per thread, the opens refused because another open holds the
// file's lock. A caller that runs several opens of its own at once can tell
// from it whether a refusal may have come from itself, and try again alone.

#include <cstdint>

namespace tavrin {

void NoteLockConflict();
std::uint64_t LockConflictsOnThisThread();

}  // namespace tavrin
