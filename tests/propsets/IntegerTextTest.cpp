#include "propsets/IntegerText.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace tavrin {
namespace {

constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

TEST(IntegerTextTest, AcceptsAndConverts) {
  const std::pair<const char*, std::int32_t> cases[] = {{"12", 12},
                                                        {" 12", 12},
                                                        {"   -5", -5},
                                                        {"+7", 7},
                                                        {"-0", 0},
                                                        {"007", 7},
                                                        {"$10", 16},
                                                        {"x1f", 31},
                                                        {"X1F", 31},
                                                        {"0x10", 16},
                                                        {"-0X10", -16},
                                                        {"0x7FFFFFFF", kMax},
                                                        {"-$80000000", kMin},
                                                        {"2147483647", kMax},
                                                        {"-2147483648", kMin}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseIntegerText(text), value) << text;
    EXPECT_TRUE(IsIntegerText(text)) << text;
    EXPECT_EQ(IntegerTextToInt(text), value) << text;
  }
  EXPECT_EQ(ParseIntegerText("000000000000000000000000000000001"), 1);
}

TEST(IntegerTextTest, RejectsAndRaises) {
  const auto expectRejected = [](const char* text) {
    EXPECT_FALSE(ParseIntegerText(text)) << text;
    EXPECT_FALSE(IsIntegerText(text)) << text;
    EXPECT_THROW(IntegerTextToInt(text), ConversionError) << text;
  };
  for (const char* text : {"", "   ", "12 ", "\t12", "-", "+", "- 5", "--5"}) expectRejected(text);
  for (const char* text : {"$", "0x", "1 2", "12a", "$G", "1.0", "four"}) expectRejected(text);
  for (const char* text : {"2147483648", "-2147483649", "0x80000000", "$FFFFFFFF"}) {
    expectRejected(text);
  }
  expectRejected("99999999999999999999999999");
  try {
    IntegerTextToInt("abc");
    ADD_FAILURE() << "no exception";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.Message(), codepage::Cp932("'abc' は有効な整数値ではありません"));
  }
}

TEST(IntegerTextTest, SixtyFourBitsHaveTheirOwnRange) {
  EXPECT_EQ(ParseInt64Text("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ParseInt64Text("0x7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ParseInt64Text("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ParseInt64Text("2147483648"), 2147483648);
}

TEST(IntegerTextTest, ShownAsPlainSignedDecimal) {
  EXPECT_EQ(IntToText(-5), "-5");
  EXPECT_EQ(IntToText(kMin), "-2147483648");
  EXPECT_EQ(IntToText(kMax), "2147483647");
}

}  // namespace
}  // namespace tavrin
