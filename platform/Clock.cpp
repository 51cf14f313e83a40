#include "platform/Clock.h"

namespace tavrin::clock {

namespace {

// Pinned only by tests, while no other thread runs, so a plain static is
// enough.
std::optional<time_point>& PinnedNow() {
  static std::optional<time_point> pinned;
  return pinned;
}

}  // namespace

time_point Now() {
  return PinnedNow().value_or(std::chrono::system_clock::now());
}

void SetNowForTesting(std::optional<time_point> now) {
  PinnedNow() = now;
}

}  // namespace tavrin::clock
