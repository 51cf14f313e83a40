#include "propsets/DateTimeParse.h"

#include <gtest/gtest.h>

#include <array>

namespace tavrin {
namespace {

using Fields = std::array<int, 7>;  // year, month, day, hour, minute, second, millisecond

TEST(DateTimeParseTest, Accepts) {
  const std::pair<const char*, Fields> cases[] = {
      {"2024/01/02 10:20:30", {2024, 1, 2, 10, 20, 30, 0}},
      {"2024/1/2 3:4:5", {2024, 1, 2, 3, 4, 5, 0}},
      {"2024-12-31 23:59:59", {2024, 12, 31, 23, 59, 59, 0}},
      {"2024/02/29 10:20", {2024, 2, 29, 10, 20, 0, 0}},
      {"2000/02/29", {2000, 2, 29, 0, 0, 0, 0}},
      {"0100/01/01 00:00:00", {100, 1, 1, 0, 0, 0, 0}},
      // Automation dates: below zero the whole part still counts back while
      // the fraction remains the time of day.
      {"+1", {1899, 12, 31, 0, 0, 0, 0}},
      {"45000.5", {2023, 3, 15, 12, 0, 0, 0}},
      {".25", {1899, 12, 30, 6, 0, 0, 0}},
      {"-1.25", {1899, 12, 29, 6, 0, 0, 0}},
      {"0.0000000578", {1899, 12, 30, 0, 0, 0, 5}},
      {"1.9999999999", {1900, 1, 1, 0, 0, 0, 0}},
      {"-657434", {100, 1, 1, 0, 0, 0, 0}},
      {"2958465.5", {9999, 12, 31, 12, 0, 0, 0}}};
  for (const auto& [text, fields] : cases) {
    const auto st = ParseDateTime(text);
    ASSERT_TRUE(st.has_value()) << text;
    EXPECT_EQ((Fields{st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond,
                      st->wMilliseconds}),
              fields)
        << text;
  }
  EXPECT_EQ(ParseDateTime("2024/01/02")->wDayOfWeek, 2);  // a Tuesday
}

TEST(DateTimeParseTest, Rejects) {
  const auto expectRejected = [](const char* text) { EXPECT_FALSE(ParseDateTime(text)) << text; };
  for (const char* text : {"2023/02/29", "1900/02/29", "2024/13/01", "2024/00/10", "2024/01/00",
                           "2024/04/31", "0099/12/31", "-657435", "2958466"}) {
    expectRejected(text);
  }
  for (const char* text : {"2024/1/1 24:00", "2024/1/1 0:60", "2024/1/1 0:0:60", "2024/1/1 10",
                           "2024/1/1 10:00:", "2024/1/1T10:00", "10:00:00"}) {
    expectRejected(text);
  }
  for (const char* text : {"", " 2024/1/1", "2024/1/1 ", "2024/1/1  1:00", "2024/1/1 1:00x",
                           "2024/01-01", "24/01/01", "02024/1/1", "2024/001/1"}) {
    expectRejected(text);
  }
  for (const char* text : {"1e5", "1.2.3", ".", "-", "+-1", "45000 "}) expectRejected(text);
}

TEST(DateTimeParseTest, TimeOfDayAlone) {
  EXPECT_TRUE(ParseTimeOfDay("1:2"));
  EXPECT_FALSE(ParseTimeOfDay("2024/01/01 10:00:00"));
  EXPECT_FALSE(ParseTimeOfDay("10:00:00 "));
}

}  // namespace
}  // namespace tavrin
