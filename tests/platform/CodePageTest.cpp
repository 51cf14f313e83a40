#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace tavrin::codepage {
namespace {

TEST(CodePage, LiteralsBecomeTheirExactCp932Bytes) {
  EXPECT_EQ(Cp932("タイトル"), "\x83\x5E\x83\x43\x83\x67\x83\x8B");
  EXPECT_EQ(Cp932("拡大／縮小"), "\x8A\x67\x91\xE5\x81\x5E\x8F\x6B\x8F\xAC");
  EXPECT_EQ(Cp932("ＭＭ"), "\x82\x6C\x82\x6C");
  EXPECT_EQ(Cp932("abc 123"), "abc 123");
}

TEST(CodePage, DecodingNeverLosesSightOfABadByte) {
  // A stray trail byte, a lead byte at the end and a lead byte followed by
  // an invalid trail each show as one replacement character per byte.
  EXPECT_EQ(Cp932ToUtf8("A\xA0"
                        "B"),
            "A\xEF\xBF\xBD"
            "B");
  EXPECT_EQ(Cp932ToUtf8("x\x83"), "x\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8("\x83\x5E\x83\x43"), "タイ");
  EXPECT_EQ(Cp932ToUtf8(""), "");
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
  EXPECT_FALSE(Cp932ToUtf8(allBytes).empty());
}

TEST(CodePage, EncodingRefusesWhatCp932CannotHold) {
  EncodeResult umlaut = Utf8ToCp932("Grüße");
  EXPECT_FALSE(umlaut.bytes);
  EXPECT_EQ(umlaut.unrepresentable, "ü");

  EncodeResult emoji = Utf8ToCp932("作成者\xF0\x9F\x98\x80");
  EXPECT_FALSE(emoji.bytes);
  EXPECT_EQ(emoji.unrepresentable, "\xF0\x9F\x98\x80");

  EncodeResult broken = Utf8ToCp932("ab\xC3");
  EXPECT_FALSE(broken.bytes);

  EncodeResult fine = Utf8ToCp932("会社名 ～");
  ASSERT_TRUE(fine.bytes);
  EXPECT_EQ(*fine.bytes, "\x89\xEF\x8E\xD0\x96\xBC \x81\x60");
}

TEST(CodePage, ConvertsBetweenDocumentCodePages) {
  EXPECT_EQ(Convert("caf\xE9", 1252, kCp932), std::nullopt);  // é has no CP932 form
  EXPECT_EQ(Convert("caf\xE9", 1252, kUtf8), "café");
  EXPECT_EQ(Convert("\x83\x5E", kCp932, kUtf16Le), std::string("\xBF\x30", 2));
  EXPECT_EQ(Convert(std::string("\xBF\x30", 2), kUtf16Le, kCp932), "\x83\x5E");
  EXPECT_EQ(Convert("\xE3\x82\xBF", kUtf8, kCp932), "\x83\x5E");
  EXPECT_EQ(Convert("\x8A", 10000, kUtf8), "ä");
  EXPECT_EQ(Convert("\xC0", 1251, kUtf8), "А");
  EXPECT_EQ(Convert("x", 12345, kUtf8), std::nullopt);
  EXPECT_EQ(Convert("\xFF\xFE", kUtf8, kCp932), std::nullopt);
  EXPECT_TRUE(IsSupported(1252));
  EXPECT_FALSE(IsSupported(4242));
}

TEST(CodePage, LongInputsConvertWhole) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "\x83\x5E";
  auto utf16 = Convert(text, kCp932, kUtf16Le);
  ASSERT_TRUE(utf16);
  EXPECT_EQ(utf16->size(), 10000u);
  EXPECT_EQ(Convert(*utf16, kUtf16Le, kCp932), text);
}

TEST(CodePage, CharLengthRespectsDoubleByteCharacters) {
  std::string_view text =
      "a\x93\xFA"
      "b\x83";
  EXPECT_EQ(CharLength(text, 0), 1u);
  EXPECT_EQ(CharLength(text, 1), 2u);
  EXPECT_EQ(CharLength(text, 3), 1u);
  EXPECT_EQ(CharLength(text, 4), 1u);  // a lead byte with nothing after it
}

}  // namespace
}  // namespace tavrin::codepage
