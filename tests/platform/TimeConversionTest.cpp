#include "platform/TimeConversion.h"

#include <gtest/gtest.h>
#include <time.h>

#include <array>
#include <random>
#include <vector>

#include "platform/TimeTestSupport.h"

namespace tavrin {
namespace {

constexpr std::uint64_t kHour = 3600 * kTicksPerSecond;

SYSTEMTIME Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  const auto field = [](int v) { return static_cast<std::uint16_t>(v); };
  SYSTEMTIME st;
  st.wYear = field(y);
  st.wMonth = field(mo);
  st.wDay = field(d);
  st.wHour = field(h);
  st.wMinute = field(mi);
  st.wSecond = field(s);
  st.wMilliseconds = field(ms);
  return st;
}

// gmtime_r is an independent implementation of the same calendar; over the
// whole FILETIME range the two must agree field for field, weekday included.
TEST(TimeConversionTest, BreakDownAgreesWithTheCLibraryOverTheWholeRange) {
  using timetest::UtcFileTime;
  std::vector<std::uint64_t> samples = {0, kMaxFileTimeTicks, UtcFileTime(1900, 3, 1).Ticks() - 1,
                                        UtcFileTime(2000, 2, 29, 12).Ticks()};
  std::mt19937_64 random(1601);
  for (int i = 0; i < 20'000; ++i) samples.push_back(random() >> 1);

  for (const std::uint64_t ticks : samples) {
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(FILETIME::FromTicks(ticks), st)) << ticks;
    const time_t seconds = static_cast<time_t>(ticks / kTicksPerSecond) - 11'644'473'600;
    tm want{};
    ASSERT_NE(gmtime_r(&seconds, &want), nullptr);
    ASSERT_EQ((std::array<int, 8>{st.wYear, st.wMonth, st.wDay, st.wDayOfWeek, st.wHour, st.wMinute,
                                  st.wSecond, st.wMilliseconds}),
              (std::array<int, 8>{want.tm_year + 1900, want.tm_mon + 1, want.tm_mday, want.tm_wday,
                                  want.tm_hour, want.tm_min, want.tm_sec,
                                  static_cast<int>(ticks / kTicksPerMillisecond % 1000)}))
        << ticks;

    // The last months below 2^63 lie in 30828, a year the reverse refuses.
    FILETIME back;
    ASSERT_EQ(SystemTimeToFileTime(st, back), st.wYear <= 30827) << ticks;
    if (st.wYear <= 30827) {
      ASSERT_EQ(back.Ticks(), ticks - ticks % kTicksPerMillisecond) << ticks;
    }
  }

  SYSTEMTIME st = Make(2000, 1, 1);
  EXPECT_FALSE(FileTimeToSystemTime(FILETIME::FromTicks(kMaxFileTimeTicks + 1), st));
  EXPECT_EQ(st, Make(2000, 1, 1));
}

TEST(TimeConversionTest, SystemTimeToFileTimeRejectsFieldsThatNameNoTime) {
  for (const SYSTEMTIME& st :
       {Make(2024, 13, 1), Make(2024, 0, 1), Make(2024, 1, 0), Make(2024, 4, 31), Make(2023, 2, 29),
        Make(1900, 2, 29), Make(2024, 1, 1, 24), Make(2024, 1, 1, 0, 60),
        Make(2024, 1, 1, 0, 0, 60), Make(2024, 1, 1, 0, 0, 0, 1000),
        Make(1600, 12, 31, 23, 59, 59, 999), Make(30828, 1, 1)}) {
    FILETIME ft = FILETIME::FromTicks(42);
    EXPECT_FALSE(SystemTimeToFileTime(st, ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    EXPECT_EQ(ft.Ticks(), 42U);
  }
  FILETIME ft;
  EXPECT_TRUE(SystemTimeToFileTime(Make(30827, 12, 31, 23, 59, 59, 999), ft));
  EXPECT_TRUE(SystemTimeToFileTime(Make(1601, 1, 1), ft));
  EXPECT_EQ(ft.Ticks(), 0U);
}

// The zone offsets themselves are covered through the text forms.
TEST(TimeConversionTest, LocalConversionsFailRatherThanLeaveTheRange) {
  const timetest::ScopedNow now(timetest::UtcInstant(2024, 1, 10));
  const FILETIME untouched = FILETIME::FromTicks(42);
  FILETIME out = untouched;
  {
    const timetest::ScopedTimeZone zone("Asia/Tokyo");
    EXPECT_FALSE(
        FileTimeToLocalFileTime(FILETIME::FromTicks(kMaxFileTimeTicks - 9 * kHour + 1), out));
    EXPECT_FALSE(LocalFileTimeToFileTime(FILETIME::FromTicks(9 * kHour - 1), out));
    EXPECT_EQ(out, untouched);
    ASSERT_TRUE(FileTimeToLocalFileTime(FILETIME::FromTicks(kMaxFileTimeTicks - 9 * kHour), out));
    EXPECT_EQ(out.Ticks(), kMaxFileTimeTicks);
  }
  {
    const timetest::ScopedTimeZone zone("America/New_York");
    out = untouched;
    EXPECT_FALSE(FileTimeToLocalFileTime(FILETIME::FromTicks(5 * kHour - 1), out));
    EXPECT_FALSE(
        LocalFileTimeToFileTime(FILETIME::FromTicks(kMaxFileTimeTicks - 5 * kHour + 1), out));
    EXPECT_EQ(out, untouched);
    ASSERT_TRUE(LocalFileTimeToFileTime(FILETIME::FromTicks(kMaxFileTimeTicks - 5 * kHour), out));
    EXPECT_EQ(out.Ticks(), kMaxFileTimeTicks);
  }
}

}  // namespace
}  // namespace tavrin
