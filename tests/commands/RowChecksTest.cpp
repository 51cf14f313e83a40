// The eighteen row checks: which texts pass, which message each failure
// shows, and which check speaks first when several rows are wrong.

#include "commands/RowChecks.h"

#include <gtest/gtest.h>

#include "commands/UpdateFixture.h"

namespace tavrin {
namespace {

using codepage::Cp932;

struct Typed {
  RowSet set;
  int row;
  const char* text;
};

std::optional<std::string> FirstFailure(const std::vector<Typed>& rows) {
  testing::UpdateForm user;
  for (const Typed& typed : rows) user.Put(typed.set, typed.row, typed.text);
  return FirstFailedRowCheck({user.form.ValueListEditor1, user.form.CheckListBox1},
                             {user.form.ValueListEditor5, user.form.CheckListBox3});
}

constexpr RowSet S = RowSet::kSummary;
constexpr RowSet D = RowSet::kDocSummary;

TEST(RowChecksTest, TextsThatPassAndTextsThatFail) {
  struct Case {
    Typed row;
    bool passes;
  };
  const std::vector<Case> cases{
      {{S, 12, "12"}, true},
      {{S, 12, " 12"}, true},
      {{S, 12, "-5"}, true},
      {{S, 12, "$1F"}, true},
      {{S, 12, "12 "}, false},
      {{S, 12, ""}, false},
      {{S, 12, "abc"}, false},
      {{S, 12, "2147483648"}, false},
      {{S, 8, "01:02:03 & 0012日"}, true},
      {{S, 8, "00:00:00 & 0000日"}, true},
      {{S, 8, "23:59:59 & 9999"}, true},  // positions 16 on are not looked at
      {{S, 8, "01:02:03"}, false},
      {{S, 8, "01:02:03 & "}, false},
      {{S, 8, "25:00:00 & 0000日"}, false},
      {{S, 8, "01:02:03 & 00x1日"}, false},
      {{S, 9, "0000/00/00 00:00:00"}, true},
      {{S, 9, "2024/01/02 03:04:05"}, true},
      {{S, 9, ""}, false},
      {{S, 9, "2024/1/2 10:00:00"}, false},
      {{S, 10, "2024/02/30 00:00:00"}, false},
      {{S, 11, "2024/01/02  03:04:05"}, false},
      {{S, 17, "4"}, true},
      {{S, 17, "$8"}, true},
      {{S, 17, "0"}, true},
      {{D, 2, "-5"}, true},
      {{D, 8, "x"}, false},
      {{D, 9, "はい"}, true},
      {{D, 9, "いいえ"}, true},
      {{D, 9, "はい "}, false},
      {{D, 9, "Yes"}, false},
      {{D, 9, ""}, false},
      {{D, 14, "いいえ"}, true},
      // Rows no check looks at.
      {{S, 0, "anything"}, true},
      {{S, 15, "x"}, true},
      {{D, 10, "x"}, true},
      {{D, 13, ""}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!FirstFailure({c.row}).has_value(), c.passes)
        << static_cast<int>(c.row.set) << " row " << c.row.row << " '" << c.row.text << "'";
  }
}

TEST(RowChecksTest, SecurityIsANumberFirstAndThenOneOfFourValues) {
  EXPECT_EQ(FirstFailure({{S, 17, "3"}}), Cp932("セキュリティは0,2,4,8のいずれかです"));
  for (const char* text : {"", "four", "4 "}) {
    EXPECT_EQ(FirstFailure({{S, 17, text}}), Cp932("セキュリティは数値でなければなりません"))
        << text;
  }
}

TEST(RowChecksTest, TheFirstFailingCheckInTheFixedOrderSpeaks) {
  struct Case {
    std::vector<Typed> rows;
    const char* message;
  };
  const std::vector<Case> cases{
      {{{S, 13, "x"}, {S, 12, "x"}}, "ページ数は数値でなければなりません"},
      {{{S, 8, "bad"}, {S, 14, "x"}}, "文字数は数値でなければなりません"},
      {{{D, 2, "x"}, {S, 17, "3"}}, "セキュリティは0,2,4,8のいずれかです"},
      {{{D, 14, "x"}, {D, 9, "x"}}, "拡大／縮小は「はい」「いいえ」のいずれかです"},
      {{{S, 11, "x"}, {S, 9, "x"}, {S, 10, "x"}}, "前回印刷日の指定が違います"},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstFailure(c.rows), Cp932(c.message)) << c.message;
}

TEST(RowChecksTest, AnUnselectedRowIsNeverChecked) {
  testing::UpdateForm user;
  user.form.ValueListEditor1.SetValueAt(summary_row::kPageCount, "abc");
  user.form.ValueListEditor5.SetValueAt(docsummary_row::kScale, "maybe");
  EXPECT_EQ(FirstFailedRowCheck({user.form.ValueListEditor1, user.form.CheckListBox1},
                                {user.form.ValueListEditor5, user.form.CheckListBox3}),
            std::nullopt);
}

}  // namespace
}  // namespace tavrin
