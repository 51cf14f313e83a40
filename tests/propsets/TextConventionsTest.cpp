#include "propsets/TextConventions.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/TimeConversion.h"
#include "platform/TimeTestSupport.h"

namespace tavrin {
namespace {

using timetest::ScopedNow;
using timetest::ScopedTimeZone;
using timetest::UtcFileTime;
using timetest::UtcInstant;

constexpr std::uint64_t kSecond = kTicksPerSecond;
constexpr std::uint64_t kHour = 3600 * kSecond;
constexpr std::uint64_t kDay = 24 * kHour;

std::string Days(const char* digits) {
  return digits + codepage::Cp932("日");
}

// The run's usual zone, stated so that no result depends on the environment.
class InTokyo : public ::testing::Test {
  ScopedTimeZone zone_{"Asia/Tokyo"};
};

TEST(TextConventionsTest, ZeroTextsBothWays) {
  EXPECT_EQ(FileTimeToText(FILETIME{}), "0000/00/00 00:00:00");
  EXPECT_EQ(TextToFileTime("0000/00/00 00:00:00"), FILETIME{});
  EXPECT_EQ(EditTimeToText(FILETIME{}), "00:00:00 & " + Days("0000"));
  EXPECT_EQ(TextToEditTime("00:00:00 & " + Days("0000")), FILETIME{});
}

TEST(TextConventionsTest, Durations) {
  const struct {
    std::uint64_t ticks;
    std::string text;
    std::uint64_t readBack;
  } cases[] = {
      {37 * kHour, "13:00:00 & " + Days("0001"), 37 * kHour},
      {12 * kHour + 30 * 60 * kSecond, "12:30:00 & " + Days("0000"), 12 * kHour + 1800 * kSecond},
      {kDay + kSecond - 1, "00:00:00 & " + Days("0001"), kDay},  // dropped, not rounded
      // Only the first four day digits are read back.
      {10'000 * kDay + 5 * kSecond, "00:00:05 & " + Days("10000"), 1'000 * kDay + 5 * kSecond},
      {~std::uint64_t{0}, "05:36:10 & " + Days("21350398"),
       2135 * kDay + (5 * 3600 + 36 * 60 + 10) * kSecond}};
  for (const auto& c : cases) {
    EXPECT_EQ(EditTimeToText(FILETIME::FromTicks(c.ticks)), c.text);
    EXPECT_EQ(TextToEditTime(c.text).Ticks(), c.readBack) << c.text;
  }
}

TEST(TextConventionsTest, EditTimeFieldsAreIntegersButNotRangeChecked) {
  EXPECT_EQ(TextToEditTime("99:00:00 & " + Days("0000")).Ticks(), 99 * kHour);
  EXPECT_EQ(TextToEditTime("$A:00:00 & " + Days("  02")).Ticks(), 2 * kDay + 10 * kHour);
  // Negative fields wrap around the unsigned tick count.
  EXPECT_EQ(TextToEditTime("-1:00:00 & " + Days("0000")).Ticks(), std::uint64_t{0} - kHour);
  EXPECT_EQ(TextToEditTime("00:00:00 & " + Days("-001")).Ticks(), std::uint64_t{0} - kDay);

  for (const std::string& text : {"ab:00:00 & " + Days("0001"), std::string("01:02:03"),
                                  "01:02:03 & " + Days("00x1"), std::string()}) {
    EXPECT_THROW(TextToEditTime(text), ConversionError) << text;
  }
  try {
    TextToEditTime("01:0x:00 & " + Days("0001"));
    ADD_FAILURE() << "no exception";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.Message(), codepage::Cp932("'0x' は有効な整数値ではありません"));
  }
}

TEST_F(InTokyo, ValidDateTimeText) {
  const std::pair<const char*, bool> cases[] = {
      {"2024/01/02 10:00:00", true},
      {"2024-01-02 10:00", true},
      {"2024/1/2 10:00:00", false},  // its blank is at position 9
      {"2024/01/02", false},
      {"2024/01/02 10:00:00 ", false},
      {"2024/01/02  10:00:00", false},
      {"", false},
      {"2023/02/29 10:00:00", false},
      {"0000/00/00 00:00:00", true},
      {"0000/00/00 00:00:01", false},
      // Before 1601-01-01 00:00:00 UTC, and on it: 0 would mean "no time set".
      {"1601/01/01 00:00:00", false},
      {"1601/01/01 09:00:00", false},
      {"1601/01/01 09:00:01", true}};
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(IsValidDateTimeText(text), valid) << text;
  }
}

TEST_F(InTokyo, TextToFileTime) {
  EXPECT_EQ(TextToFileTime("1601/01/01 09:00:01").Ticks(), kSecond);
  // Forms that the check turns away by their blank still convert.
  EXPECT_EQ(TextToFileTime("2024/1/2 10:00:00"), UtcFileTime(2024, 1, 2, 1));
  EXPECT_EQ(TextToFileTime("2024/01/02"), UtcFileTime(2024, 1, 1, 15));

  EXPECT_THROW(TextToFileTime("1601/01/01 09:00:00"), ConversionError);
  EXPECT_THROW(TextToFileTime(""), ConversionError);
  try {
    TextToFileTime("2023/02/29 00:00:00");
    ADD_FAILURE() << "no exception";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.Message(),
              codepage::Cp932("'2023/02/29 00:00:00' は有効な日付および時刻ではありません"));
  }
}

// A January time, converted under the offset of the pinned "now".
TEST(TextConventionsTest, LocalTimeUsesTheOffsetInForceNow) {
  const struct {
    const char* zone;
    std::chrono::sys_seconds now;
    FILETIME utc;  // of "2024/01/15 12:00:00"
  } cases[] = {{"Asia/Tokyo", UtcInstant(2024, 7, 1), UtcFileTime(2024, 1, 15, 3)},
               {"Europe/Berlin", UtcInstant(2024, 7, 1), UtcFileTime(2024, 1, 15, 10)},
               {"Europe/Berlin", UtcInstant(2024, 1, 10), UtcFileTime(2024, 1, 15, 11)},
               {"America/New_York", UtcInstant(2024, 7, 1), UtcFileTime(2024, 1, 15, 16)},
               {"America/New_York", UtcInstant(2024, 1, 10), UtcFileTime(2024, 1, 15, 17)}};
  for (const auto& c : cases) {
    const ScopedTimeZone zone(c.zone);
    const ScopedNow now(c.now);
    EXPECT_EQ(TextToFileTime("2024/01/15 12:00:00"), c.utc) << c.zone;
    EXPECT_EQ(FileTimeToText(c.utc), "2024/01/15 12:00:00") << c.zone;
    // Milliseconds are dropped, not rounded.
    const FILETIME justBefore = FILETIME::FromTicks(c.utc.Ticks() - 1);
    EXPECT_EQ(FileTimeToText(justBefore), "2024/01/15 11:59:59") << c.zone;
  }
}

// Times the calendar conversions refuse are still named by the same calendar,
// and the text is one the check turns away, so it is never written back.
TEST(TextConventionsTest, FileTimeToTextBeyondTheConvertibleRange) {
  const ScopedNow now(UtcInstant(2024, 1, 10));
  const struct {
    const char* zone;
    std::uint64_t ticks;
    const char* text;
  } cases[] = {{"Asia/Tokyo", kMaxFileTimeTicks, "30828/09/14 11:48:05"},
               {"UTC", kMaxFileTimeTicks + 1, "30828/09/14 02:48:05"},
               {"Asia/Tokyo", ~std::uint64_t{0}, "60056/05/28 14:36:10"},
               {"America/New_York", 1, "1600/12/31 19:00:00"}};
  for (const auto& c : cases) {
    const ScopedTimeZone zone(c.zone);
    const std::string text = FileTimeToText(FILETIME::FromTicks(c.ticks));
    EXPECT_EQ(text, c.text) << c.zone;
    EXPECT_FALSE(IsValidDateTimeText(text)) << text;
    EXPECT_THROW(TextToFileTime(text), ConversionError) << text;
  }
}

TEST(TextConventionsTest, ValidTimeText) {
  for (const char* text : {"00:00:00", "23:59:59", "09:05:00"}) {
    EXPECT_TRUE(IsValidTimeText(text)) << text;
  }
  for (const char* text :
       {"24:00:00", "12:60:00", "12:00:60", "", "        ", "1:02:03 ", "ab:cd:ef", "12-00-00"}) {
    EXPECT_FALSE(IsValidTimeText(text)) << text;
  }
}

TEST(TextConventionsTest, CountOccurrences) {
  const struct {
    const char* pattern;
    const char* text;
    int count;
  } cases[] = {{"aa", "aaaa", 2},
               {"aa", "aaaaa", 2},
               {" ", "0000/00/00 00:00:00", 1},
               {"", "abc", 0},
               {"a", "", 0},
               // 0x95 0x5C is one character whose second byte is a backslash; a
               // match may neither start nor end inside such a character.
               {"\x5C", "\x95\x5C", 0},
               {"\x5C", "\x5C\x95\x5C\x5C", 2},
               {"\x95", "\x95\x5C", 0},
               {"a\x93", "a\x93\xFA", 0},
               {"\x93\xFA", "0001\x93\xFA\x93\xFA", 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(CountOccurrences(c.pattern, c.text), c.count)
        << ::testing::PrintToString(std::string(c.pattern)) << " in "
        << ::testing::PrintToString(std::string(c.text));
  }
}

}  // namespace
}  // namespace tavrin
