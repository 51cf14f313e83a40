#include "grids/RowCatalogue.h"

#include <array>

#include "platform/CodePage.h"

namespace tavrin {
namespace {

constexpr std::array kSummaryRows{
    RowInfo{"タイトル", ShownAs::kText, false},
    RowInfo{"表題", ShownAs::kText, false},
    RowInfo{"作成者", ShownAs::kText, true},
    RowInfo{"キーワード", ShownAs::kText, false},
    RowInfo{"コメント", ShownAs::kText, false},
    RowInfo{"テンプレート", ShownAs::kText, false},
    RowInfo{"前回保存者", ShownAs::kText, true},
    RowInfo{"改訂番号", ShownAs::kText, false},
    RowInfo{"編集時間", ShownAs::kDuration, false},
    RowInfo{"前回印刷日時", ShownAs::kDateTime, false},
    RowInfo{"作成日時", ShownAs::kDateTime, false},
    RowInfo{"前回保存日時", ShownAs::kDateTime, false},
    RowInfo{"ページ数", ShownAs::kInteger, false},
    RowInfo{"単語数", ShownAs::kInteger, false},
    RowInfo{"文字数", ShownAs::kInteger, false},
    RowInfo{"サムネイル", ShownAs::kAlwaysEmpty, false},
    RowInfo{"アプリケーション名", ShownAs::kText, false},
    RowInfo{"セキュリティ", ShownAs::kInteger, false},
};

constexpr std::array kDocSummaryRows{
    RowInfo{"カテゴリ", ShownAs::kText, false},
    RowInfo{"プレゼンの形式", ShownAs::kText, false},
    RowInfo{"バイト数", ShownAs::kInteger, false},
    RowInfo{"行数", ShownAs::kInteger, false},
    RowInfo{"段落数", ShownAs::kInteger, false},
    RowInfo{"スライド数", ShownAs::kInteger, false},
    RowInfo{"メモ数", ShownAs::kInteger, false},
    RowInfo{"隠し文字列数", ShownAs::kInteger, false},
    RowInfo{"ＭＭクリップ数", ShownAs::kInteger, false},
    RowInfo{"拡大／縮小", ShownAs::kYesNo, false},
    RowInfo{"HeadingPairs", ShownAs::kAlwaysEmpty, false},
    RowInfo{"TitlesofParts", ShownAs::kAlwaysEmpty, false},
    RowInfo{"マネージャー", ShownAs::kText, false},
    RowInfo{"会社名", ShownAs::kText, false},
    RowInfo{"未更新のリンクOBJ", ShownAs::kYesNo, false},
};

constexpr std::array kFileTimeRows{
    RowInfo{"作成日時", ShownAs::kDateTime, false},
    RowInfo{"更新日時", ShownAs::kDateTime, false},
    RowInfo{"アクセス", ShownAs::kDateTime, false},
};

constexpr std::array kSummaryFixed{summary_row::kThumbnail};
constexpr std::array kDocSummaryFixed{docsummary_row::kHeadingPairs,
                                      docsummary_row::kTitlesOfParts};

std::vector<std::string> NamesOf(std::span<const RowInfo> rows) {
  std::vector<std::string> names;
  names.reserve(rows.size());
  for (const RowInfo& row : rows) names.push_back(codepage::Cp932(row.keyUtf8));
  return names;
}

}  // namespace

std::span<const RowInfo> Rows(RowSet set) {
  switch (set) {
    case RowSet::kSummary:
      return kSummaryRows;
    case RowSet::kDocSummary:
      return kDocSummaryRows;
    case RowSet::kFileTime:
      return kFileTimeRows;
  }
  return {};
}

const std::vector<std::string>& SummaryItemNames() {
  static const std::vector<std::string> names = NamesOf(kSummaryRows);
  return names;
}

const std::vector<std::string>& DocSummaryItemNames() {
  static const std::vector<std::string> names = NamesOf(kDocSummaryRows);
  return names;
}

const std::vector<std::string>& FileTimeItemNames() {
  static const std::vector<std::string> names = NamesOf(kFileTimeRows);
  return names;
}

const std::vector<std::string>& ItemNames(RowSet set) {
  switch (set) {
    case RowSet::kSummary:
      return SummaryItemNames();
    case RowSet::kDocSummary:
      return DocSummaryItemNames();
    case RowSet::kFileTime:
      break;
  }
  return FileTimeItemNames();
}

std::span<const int> FixedReadOnlyRows(RowSet set) {
  switch (set) {
    case RowSet::kSummary:
      return kSummaryFixed;
    case RowSet::kDocSummary:
      return kDocSummaryFixed;
    case RowSet::kFileTime:
      break;
  }
  return {};
}

}  // namespace tavrin
