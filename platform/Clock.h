#pragma once
// The one place the program asks what time it is. Local-time conversion reads
// the UTC offset in force "now", and the "set to now" buttons stamp it, so a
// test that pins the clock here controls both.

#include <chrono>
#include <optional>

namespace tavrin::clock {

using time_point = std::chrono::system_clock::time_point;

// The pinned time when a test has set one, otherwise the system clock.
time_point Now();

// Pins Now() to `now`; std::nullopt goes back to the system clock.
void SetNowForTesting(std::optional<time_point> now);

}  // namespace tavrin::clock
