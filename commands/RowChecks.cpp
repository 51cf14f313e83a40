#include "commands/RowChecks.h"

#include <array>

#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "propsets/IntegerText.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

enum class Test { kInteger, kSecurityValue, kDuration, kDateTime, kYesNo };

struct RowCheck {
  RowSet set;
  int row;
  Test test;
  const char* messageUtf8;
};

// The order decides which message a user sees first when several rows are
// wrong; the security value's allowed values are only tested once it is a
// number at all.
constexpr std::array kChecks{
    RowCheck{RowSet::kSummary, summary_row::kPageCount, Test::kInteger,
             "ページ数は数値でなければなりません"},
    RowCheck{RowSet::kSummary, summary_row::kWordCount, Test::kInteger,
             "単語数は数値でなければなりません"},
    RowCheck{RowSet::kSummary, summary_row::kCharCount, Test::kInteger,
             "文字数は数値でなければなりません"},
    RowCheck{RowSet::kSummary, summary_row::kEditTime, Test::kDuration, "編集時間の指定が違います"},
    RowCheck{RowSet::kSummary, summary_row::kLastPrinted, Test::kDateTime,
             "前回印刷日の指定が違います"},
    RowCheck{RowSet::kSummary, summary_row::kCreated, Test::kDateTime, "作成日時の指定が違います"},
    RowCheck{RowSet::kSummary, summary_row::kLastSaved, Test::kDateTime,
             "前回保存日時の指定が違います"},
    RowCheck{RowSet::kSummary, summary_row::kSecurity, Test::kInteger,
             "セキュリティは数値でなければなりません"},
    RowCheck{RowSet::kSummary, summary_row::kSecurity, Test::kSecurityValue,
             "セキュリティは0,2,4,8のいずれかです"},
    RowCheck{RowSet::kDocSummary, docsummary_row::kByteCount, Test::kInteger,
             "バイト数は数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, 3, Test::kInteger, "行数は数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, 4, Test::kInteger, "段落数は数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, 5, Test::kInteger, "スライドは数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, 6, Test::kInteger, "メモは数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, 7, Test::kInteger, "隠し文字列は数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, docsummary_row::kMmClipCount, Test::kInteger,
             "ＭＭクリップは数値でなければなりません"},
    RowCheck{RowSet::kDocSummary, docsummary_row::kScale, Test::kYesNo,
             "拡大／縮小は「はい」「いいえ」のいずれかです"},
    RowCheck{RowSet::kDocSummary, docsummary_row::kLinksDirty, Test::kYesNo,
             "未更新のリンクは「はい」「いいえ」のいずれかです"},
};

bool Passes(Test test, const std::string& text) {
  switch (test) {
    case Test::kInteger:
      return IsIntegerText(text);
    case Test::kSecurityValue: {
      std::optional<std::int32_t> value = ParseIntegerText(text);
      return value && (*value == 0 || *value == 2 || *value == 4 || *value == 8);
    }
    case Test::kDuration:
      return IsValidDurationText(text);
    case Test::kDateTime:
      return IsValidDateTimeText(text);
    case Test::kYesNo: {
      // Byte for byte: no trimming.
      static const std::string yes = codepage::Cp932("はい");
      static const std::string no = codepage::Cp932("いいえ");
      return text == yes || text == no;
    }
  }
  return false;
}

}  // namespace

bool IsValidDurationText(const std::string& text) {
  if (!IsValidTimeText(std::string_view(text).substr(0, 8))) return false;
  // A text too short to reach position 12 has no day count.
  return text.size() >= 12 && IsIntegerText(std::string_view(text).substr(11, 4));
}

std::optional<std::string> FirstFailedRowCheck(SelectedRows summary, SelectedRows docSummary) {
  for (const RowCheck& check : kChecks) {
    const SelectedRows& rows = check.set == RowSet::kSummary ? summary : docSummary;
    if (!rows.selection.Checked(check.row)) continue;
    const std::string& key = ItemNames(check.set)[static_cast<std::size_t>(check.row)];
    // A value as the file's read showed it is written back as stored, so a
    // text the window could never have let the user type (a security value
    // of 1, a date the text form cannot give back) does not stop the change.
    const int found = rows.grid.FindRow(key);
    if (found >= 0 && rows.grid.HoldsReadValue(found)) continue;
    if (!Passes(check.test, rows.grid.Values(key))) return codepage::Cp932(check.messageUtf8);
  }
  return std::nullopt;
}

bool PassesRowChecks(SelectedRows summary, SelectedRows docSummary, Dialogs& dialogs) {
  std::optional<std::string> failure = FirstFailedRowCheck(summary, docSummary);
  if (failure) dialogs.Message(*failure);
  return !failure;
}

}  // namespace tavrin
