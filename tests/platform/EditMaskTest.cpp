#include "platform/controls/EditMask.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace tavrin {
namespace {

using codepage::Cp932;

const std::string kDate = "0000/00/00 00:00:00";
const std::string kValue = "2004/01/31 09:05:00";

void TypeAll(EditMaskSession& session, std::string_view keys) {
  for (char key : keys) ASSERT_TRUE(session.Type(key)) << "key " << key;
}

TEST(EditMaskTest, TypingADateStepsOverTheLiterals) {
  EditMaskSession session(kDate, "");
  EXPECT_EQ(session.DisplayText(), "____/__/__ __:__:__");
  TypeAll(session, "2004");
  EXPECT_EQ(session.CursorOffset(), 5u);
  EXPECT_FALSE(session.Type('/'));
  TypeAll(session, "0131090500");
  EXPECT_EQ(session.DisplayText(), kValue);
  EXPECT_FALSE(session.Type('1'));
  EXPECT_EQ(session.Commit(), kValue);
}

TEST(EditMaskTest, IncompleteEditIsRefusedAndEscapeRestores) {
  const std::string before = "1999/12/31 23:59:59";
  EditMaskSession session(kDate, before);
  session.SelectAll();
  TypeAll(session, "2004");
  session.End();
  EXPECT_EQ(session.Commit(), std::nullopt);
  // "入力値が不正です。エスケープキーで変更を取り消せます" in CP932.
  EXPECT_EQ(EditMaskRefusalMessage(),
            "\x93\xfc\x97\xcd\x92\x6c\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7\x81\x42\x83\x47"
            "\x83\x58\x83\x50\x81\x5b\x83\x76\x83\x4c\x81\x5b\x82\xc5\x95\xcf\x8d\x58\x82\xf0"
            "\x8e\xe6\x82\xe8\x8f\xc1\x82\xb9\x82\xdc\x82\xb7");
  // The session stays open with the caret on the first gap.
  EXPECT_EQ(session.DisplayText(), "2004/__/__ __:__:__");
  EXPECT_EQ(session.CursorOffset(), 5u);
  EXPECT_EQ(session.Revert(), before);
  EXPECT_EQ(session.DisplayText(), before);
  EXPECT_EQ(session.Commit(), before);
}

TEST(EditMaskTest, CellsLeftUnchangedKeepTheirTextExactly) {
  const std::pair<std::string, std::string> cells[] = {
      {kDate, ""},          {kDate, "abc"},
      {kDate, "2004/1/31"}, {Cp932("00:00:00 & 0000日"), Cp932("13:00:00 & 10000日")},
      {"9", "16"},
  };
  for (const auto& [mask, text] : cells) {
    EditMaskSession session(mask, text);
    session.End();
    session.Home();
    EXPECT_FALSE(session.Modified()) << text;
    EXPECT_EQ(session.Commit(), text);
  }
  // Typing into an empty date and erasing it again is no change either.
  EditMaskSession session(kDate, "");
  ASSERT_TRUE(session.Type('2'));
  ASSERT_TRUE(session.Backspace());
  EXPECT_EQ(session.Commit(), "");
}

TEST(EditMaskTest, TextsThatDoNotFitAreMappedByDigitRuns) {
  EXPECT_EQ(EditMaskSession(kDate, "2004-01-31T09:05").DisplayText(), "2004/01/31 09:05:__");
  EXPECT_EQ(EditMaskSession(kDate, "2004/1/31").DisplayText(), "2004/1_/31 __:__:__");
  EXPECT_EQ(EditMaskSession(kDate, "____/01/__").DisplayText(), "____/01/__ __:__:__");
  // The second byte of "ダ" is "_"; it must not read as an empty slot.
  EXPECT_EQ(EditMaskSession("0/0", Cp932("1ダ2")).DisplayText(), "1/2");
  // Short of separators: the digits go on to the next slots.
  EXPECT_EQ(EditMaskSession(Cp932("00:00:00 & 0000日"), Cp932("13:00:00&1000日")).DisplayText(),
            Cp932("13:00:00 & 1000日"));
}

TEST(EditMaskTest, DurationKeepsTheTwoByteLiteral) {
  const std::string mask = Cp932("00:00:00 & 0000日");
  EditMaskSession session(mask, Cp932("00:00:00 & 0000日"));
  session.SelectAll();
  TypeAll(session, "1300001234");
  EXPECT_EQ(session.CursorOffset(), session.DisplayText().size());
  EXPECT_EQ(session.Commit(), Cp932("13:00:00 & 1234日"));

  // A day count too long for the template is shown empty rather than cut
  // short, so an edit of the hours cannot store a different day count.
  EditMaskSession tooLong(mask, Cp932("13:00:00 & 10000日"));
  EXPECT_EQ(tooLong.DisplayText(), Cp932("13:00:00 & ____日"));
  ASSERT_TRUE(tooLong.Type('2'));
  EXPECT_EQ(tooLong.Commit(), std::nullopt);
  EXPECT_EQ(tooLong.CursorOffset(), 11u);
}

TEST(EditMaskTest, OptionalSlotTakesOneDigitOrNothing) {
  EditMaskSession session("9", "");
  EXPECT_FALSE(session.Type('x'));
  EXPECT_TRUE(session.Type('4'));
  EXPECT_FALSE(session.Type('2'));
  EXPECT_EQ(session.Commit(), "4");

  EditMaskSession emptied("9", "8");
  emptied.SelectAll();
  ASSERT_TRUE(emptied.Delete());
  EXPECT_EQ(emptied.Commit(), "");

  // "16" does not fit and shows as a gap; erasing the gap still empties it.
  EditMaskSession tooLong("9", "16");
  EXPECT_EQ(tooLong.DisplayText(), "_");
  ASSERT_TRUE(tooLong.Delete());
  EXPECT_EQ(tooLong.Commit(), "");
}

TEST(EditMaskTest, BackspaceAndDeleteStepOverLiterals) {
  EditMaskSession session(kDate, kValue);
  session.PlaceCursor(4);  // on the slash: the caret goes to the month
  ASSERT_TRUE(session.Delete());
  EXPECT_EQ(session.DisplayText(), "2004/_1/31 09:05:00");
  ASSERT_TRUE(session.Backspace());
  EXPECT_EQ(session.DisplayText(), "200_/_1/31 09:05:00");
  EXPECT_EQ(session.CursorOffset(), 3u);

  session.Home();
  EXPECT_FALSE(session.Backspace());
  session.End();
  EXPECT_FALSE(session.Delete());
  ASSERT_TRUE(session.Backspace());
  EXPECT_EQ(session.DisplayText(), "200_/_1/31 09:05:0_");
}

TEST(EditMaskTest, ClickInsideATwoByteLiteralLandsOnTheNextSlot) {
  EditMaskSession session(Cp932("0日0"), "");
  session.PlaceCursor(2);  // between the two bytes of the literal
  EXPECT_EQ(session.Cursor(), 2u);
  EXPECT_EQ(session.CursorOffset(), 3u);
  ASSERT_TRUE(session.Type('7'));
  EXPECT_EQ(session.DisplayText(), Cp932("_日7"));

  EditMaskSession duration(Cp932("00:00:00 & 0000日"), "");
  duration.PlaceCursor(16);
  EXPECT_EQ(duration.CursorOffset(), 17u);
  EXPECT_FALSE(duration.Type('1'));
}

TEST(EditMaskTest, OvertypingACompleteValue) {
  EditMaskSession session(kDate, kValue);
  TypeAll(session, "1999");
  EXPECT_EQ(session.Commit(), "1999/01/31 09:05:00");

  session.PlaceCursor(3);
  session.Right(true);
  EXPECT_EQ(session.SelectionOffsets(), std::make_pair(std::size_t{3}, std::size_t{5}));
  ASSERT_TRUE(session.Backspace());
  EXPECT_EQ(session.DisplayText(), "199_/01/31 09:05:00");

  session.SelectAll();
  EXPECT_FALSE(session.Type('x'));
  EXPECT_TRUE(session.HasSelection());
  ASSERT_TRUE(session.Type('2'));
  EXPECT_EQ(session.DisplayText(), "2___/__/__ __:__:__");
  EXPECT_EQ(session.Commit(), std::nullopt);
}

TEST(EditMaskTest, PasteIsTypedWholeOrNotAtAll) {
  EditMaskSession session(kDate, kValue);
  EXPECT_FALSE(session.Paste("1999-12"));
  EXPECT_EQ(session.DisplayText(), kValue);
  EXPECT_FALSE(session.Modified());

  session.SelectAll();
  ASSERT_TRUE(session.Paste("1999/12/31 235959"));
  EXPECT_EQ(session.Commit(), "1999/12/31 23:59:59");

  EditMaskSession duration(Cp932("00:00:00 & 0000日"), "");
  ASSERT_TRUE(duration.Paste(Cp932("01:02:03 & 0004日")));
  EXPECT_EQ(duration.Commit(), Cp932("01:02:03 & 0004日"));
}

// What another way in may put into a masked cell: exactly what a user
// could leave the editor holding.
TEST(EditMaskTest, AnEditorCanBeLeftWithItsOwnTextOrAFullEntry) {
  const std::string duration = Cp932("00:00:00 & 0000日");
  const struct {
    std::string mask, cell, text;
    bool can;
  } cases[] = {
      {kDate, kValue, "1999/12/31 23:59:59", true},
      {kDate, "", "1999/12/31 23:59:59", true},
      {kDate, "odd text from a file", "odd text from a file", true},  // left alone
      {kDate, kValue, "1999/12/31 235959", false},                    // the editor adds ":"
      {kDate, kValue, "1999-12-31 23:59:59", false},
      {kDate, kValue, "1999/12/31 23:59:5", false},
      {kDate, kValue, "1999/12/31 23:59:590", false},
      {kDate, kValue, "", false},  // a date cannot be emptied
      {duration, "", Cp932("01:02:03 & 0004日"), true},
      {duration, "", Cp932("01:02:03 & -001日"), false},
      {duration, "", Cp932("01:02:03 & 10000日"), false},
      {duration, Cp932("01:02:03 & 10000日"), Cp932("01:02:03 & 10000日"), true},
      {"9", "4", "", true},
      {"9", "4", "8", true},
      {"9", "4", "12", false},
      {"9", "4", "-", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EditorCanLeaveWith(c.mask, c.cell, c.text), c.can) << c.cell << " -> " << c.text;
  }
}

}  // namespace
}  // namespace tavrin
