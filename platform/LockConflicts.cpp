#include "platform/LockConflicts.h"

namespace tavrin {
namespace {

thread_local std::uint64_t conflicts = 0;

}  // namespace

void NoteLockConflict() {
  ++conflicts;
}

std::uint64_t LockConflictsOnThisThread() {
  return conflicts;
}

}  // namespace tavrin
