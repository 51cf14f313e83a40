#pragma once
// Pins the time zone and the clock for the length of a test, and builds
// expected FILETIMEs with the standard library's calendar rather than ours.

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/WinTypes.h"

namespace tavrin::timetest {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* previous = getenv("TZ")) previous_ = previous;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    previous_ ? setenv("TZ", previous_->c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

struct ScopedNow {
  explicit ScopedNow(clock::time_point now) { clock::SetNowForTesting(now); }
  ~ScopedNow() { clock::SetNowForTesting(std::nullopt); }
  ScopedNow(const ScopedNow&) = delete;
  ScopedNow& operator=(const ScopedNow&) = delete;
};

inline std::chrono::sys_seconds UtcInstant(int y, unsigned m, unsigned d, int h = 0) {
  using namespace std::chrono;
  return sys_days{year{y} / month{m} / day{d}} + hours{h};
}

inline FILETIME UtcFileTime(int y, unsigned m, unsigned d, int h = 0) {
  constexpr long long kSeconds1601To1970 = 11'644'473'600;
  const long long seconds = UtcInstant(y, m, d, h).time_since_epoch().count();
  return FILETIME::FromTicks(static_cast<unsigned long long>(seconds + kSeconds1601To1970) *
                             10'000'000ULL);
}

}  // namespace tavrin::timetest
