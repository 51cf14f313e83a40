#include "grids/RowCatalogue.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(RowCatalogue, ListsHaveTheirRowsInOrder) {
  EXPECT_EQ(SummaryItemNames().size(), 18u);
  EXPECT_EQ(DocSummaryItemNames().size(), 15u);
  EXPECT_EQ(FileTimeItemNames().size(), 3u);
  for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime}) {
    EXPECT_EQ(Rows(set).size(), ItemNames(set).size());
  }
}

TEST(RowCatalogue, KeysAreExactCp932Bytes) {
  // Keys are also the settings file's key names, so a wrong byte would lose a
  // user's stored selection.
  EXPECT_EQ(SummaryItemNames()[0], "\x83\x5E\x83\x43\x83\x67\x83\x8B");  // タイトル
  EXPECT_EQ(SummaryItemNames()[17],
            "\x83\x5A\x83\x4C\x83\x85\x83\x8A\x83\x65\x83\x42");  // セキュリティ
  EXPECT_EQ(
      DocSummaryItemNames()[8],
      "\x82\x6C\x82\x6C\x83\x4E\x83\x8A\x83\x62\x83\x76\x90\x94");  // full-width ＭＭクリップ数
  EXPECT_EQ(DocSummaryItemNames()[9], "\x8A\x67\x91\xE5\x81\x5E\x8F\x6B\x8F\xAC");  // 拡大／縮小
  EXPECT_EQ(DocSummaryItemNames()[10], "HeadingPairs");
  EXPECT_EQ(DocSummaryItemNames()[11], "TitlesofParts");
  EXPECT_EQ(DocSummaryItemNames()[14],
            "\x96\xA2\x8D\x58\x90\x56\x82\xCC\x83\x8A\x83\x93\x83\x4E\x4F\x42\x4A");
  EXPECT_EQ(FileTimeItemNames()[0], SummaryItemNames()[10]);  // 作成日時 in both sets
}

TEST(RowCatalogue, KeysAreUniqueWithinASet) {
  for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime}) {
    const auto& names = ItemNames(set);
    for (std::size_t i = 0; i < names.size(); ++i) {
      for (std::size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
    }
  }
}

TEST(RowCatalogue, OnlyAuthorAndLastAuthorAreSelectedByDefault) {
  for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime}) {
    auto rows = Rows(set);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      bool expected =
          set == RowSet::kSummary && (i == summary_row::kAuthor || i == summary_row::kLastAuthor);
      EXPECT_EQ(rows[i].checkedByDefault, expected) << i;
    }
  }
}

}  // namespace
}  // namespace tavrin
