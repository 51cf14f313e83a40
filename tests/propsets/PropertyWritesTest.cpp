// The two property-set writes on documents built byte by byte: what each
// selected row stores, by the type its property has in the file, and that
// nothing else of the file changes, as our engine, python3-olefile and gsf
// read it.

#include <gtest/gtest.h>

#include <map>

#include "commands/UpdateFixture.h"
#include "platform/Exception.h"
#include "platform/storage/Com.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using testing::kDocSummaryStream;
using testing::kSummaryStream;
using testing::StreamOf;

using Entries = std::vector<std::pair<std::uint32_t, std::string>>;

test::SectionFixture Section(const std::string& fmtid, const Entries& entries,
                             const std::map<std::uint32_t, std::string>& replaced = {}) {
  test::SectionFixture section(fmtid);
  for (const auto& [id, value] : entries) {
    auto found = replaced.find(id);
    section.Add(id, found != replaced.end() ? found->second : value);
  }
  return section;
}

constexpr std::uint64_t kCreated = 133486058450000000;  // 2024/01/02 03:04:05 in Tokyo
constexpr std::uint64_t kHour = 36000000000;

const Entries kSummary{
    {1, test::I2(932)},
    {2, test::Lpstr(Cp932("題名"))},
    {3, test::Lpstr("subject")},
    {4, test::Lpstr("author")},
    {8, test::Lpstr("last author")},
    {10, test::FileTime(2 * kHour)},
    {11, test::FileTime(kCreated - kHour)},
    {12, test::FileTime(kCreated - 2 * kHour)},
    {13, test::FileTime(kCreated - 3 * kHour)},
    {14, test::I4(3)},
    {15, test::I4(100)},
    {16, test::I4(500)},
    {17, test::ClipboardData(-1, "picture")},
    {18, test::Lpstr("app")},
    {19, test::I4(0)},
};

const Entries kDocSummary{
    {1, test::I2(932)},
    {2, test::Lpstr("category")},
    {4, test::I4(100)},
    {5, test::I4(10)},
    {11, test::Bool(true)},
    {12, test::HeadingPairs({{"Title", 1}}, true)},
    {13, test::VectorLpstr({"part"}, true)},
    {14, test::Lpstr("boss")},
    {15, test::Lpstr("ACME")},
    {16, test::Bool(false)},
};

test::SectionFixture UserDefined() {
  test::SectionFixture section(test::kUserDefinedFmtid);
  section.Add(0, test::Dictionary({{2, "Client"}})).Add(1, test::I2(932));
  return section.Add(2, test::Lpstr("custom"));
}

class PropertyWritesTest : public ::testing::Test {
 protected:
  std::string Document(const std::string& name, test::SectionFixture summary,
                       test::SectionFixture docSummary) {
    return testing::TestDocument(std::move(summary), std::move(docSummary), UserDefined())
        .WriteTo(dir, name);
  }
  // The file holds `expected` as the stream `name`, and every other stream
  // as it was, for every reader there is.
  void ExpectOnlyStreamChanged(const std::string& original, const std::string& changed,
                               const std::string& name, const std::u16string& wide,
                               const std::string& expected) {
    EXPECT_EQ(StreamOf(changed, wide), expected);
    if (!external) return;
    EXPECT_EQ(fixture::CompareWithOlefile(original, name, {{changed, expected}}), "OK");
    EXPECT_EQ(fixture::CompareWithGsf(original, name, {{changed, expected}}), "OK");
  }

  fixture::ScratchDir dir;
  testing::UpdateForm user;
  const bool external = fixture::ExternalReadersPresent();
};

TEST_F(PropertyWritesTest, SelectedSummaryRowsTakeTheirConvertedTextAndNothingElseChanges) {
  const std::string original = Document("original.doc", Section(test::kSummaryFmtid, kSummary),
                                        Section(test::kDocSummaryFmtid, kDocSummary));
  const std::string path = dir.Put("changed.doc", fixture::ReadWholeFile(original));
  user.Put(RowSet::kSummary, summary_row::kTitle, "新しい題名");
  user.Put(RowSet::kSummary, summary_row::kEditTime, "13:00:00 & 0001日");
  user.Put(RowSet::kSummary, summary_row::kLastPrinted, "0000/00/00 00:00:00");
  user.Put(RowSet::kSummary, summary_row::kCreated, "2024/01/02 03:04:05");
  user.Put(RowSet::kSummary, summary_row::kPageCount, "-1");
  user.Put(RowSet::kSummary, summary_row::kWordCount, "$10");
  user.Put(RowSet::kSummary, summary_row::kAppName, "");
  user.Put(RowSet::kSummary, summary_row::kSecurity, " 4");
  // Never taken, whatever its item says.
  user.Put(RowSet::kSummary, summary_row::kThumbnail, "not a picture");
  // Typed into but not selected.
  user.form.ValueListEditor1.SetValueAt(summary_row::kAuthor, "someone else");

  user.form.SetDocumentProperties(path);

  EXPECT_EQ(user.Messages(), std::vector<std::string>{});
  EXPECT_EQ(CoInitializeDepth(), 0);
  const std::string expected = test::BuildStream({Section(test::kSummaryFmtid, kSummary,
                                                          {{2, test::Lpstr(Cp932("新しい題名"))},
                                                           {10, test::FileTime(37 * kHour)},
                                                           {11, test::FileTime(0)},
                                                           {12, test::FileTime(kCreated)},
                                                           {14, test::I4(-1)},
                                                           {15, test::I4(16)},
                                                           {18, test::Lpstr("")},
                                                           {19, test::I4(4)}})});
  ExpectOnlyStreamChanged(original, path, testing::kSummaryStreamName, kSummaryStream, expected);

  // The Japanese title comes back as the very bytes typed.
  user.Show(path);
  EXPECT_EQ(user.form.ValueListEditor1.Value(summary_row::kTitle), Cp932("新しい題名"));
  EXPECT_EQ(user.form.ValueListEditor1.Value(summary_row::kEditTime), Cp932("13:00:00 & 0001日"));
  EXPECT_EQ(user.form.ValueListEditor1.Value(summary_row::kCreated), "2024/01/02 03:04:05");
}

TEST_F(PropertyWritesTest, SelectedDocSummaryRowsChangeAndTheOtherSectionStays) {
  const std::string original = Document("original.doc", Section(test::kSummaryFmtid, kSummary),
                                        Section(test::kDocSummaryFmtid, kDocSummary));
  const std::string path = dir.Put("changed.doc", fixture::ReadWholeFile(original));
  user.Put(RowSet::kDocSummary, 0, "");      // category: emptied, not removed
  user.Put(RowSet::kDocSummary, 2, "-5");    // byte count
  user.Put(RowSet::kDocSummary, 3, "0x10");  // line count
  user.Put(RowSet::kDocSummary, 4, "7");     // paragraphs: the file has none
  user.Put(RowSet::kDocSummary, docsummary_row::kScale, "いいえ");
  user.Put(RowSet::kDocSummary, docsummary_row::kHeadingPairs, "x");
  user.Put(RowSet::kDocSummary, docsummary_row::kTitlesOfParts, "y");
  user.Put(RowSet::kDocSummary, 12, "新任");  // manager
  user.Put(RowSet::kDocSummary, docsummary_row::kLinksDirty, "はい");

  user.form.SetDocumentProperties2(path);

  EXPECT_EQ(user.Messages(), std::vector<std::string>{});
  const std::string expected = test::BuildStream({Section(test::kDocSummaryFmtid, kDocSummary,
                                                          {{2, test::Lpstr("")},
                                                           {4, test::I4(-5)},
                                                           {5, test::I4(16)},
                                                           {11, test::Bool(false)},
                                                           {14, test::Lpstr(Cp932("新任"))},
                                                           {16, test::Bool(true)}}),
                                                  UserDefined()});
  ExpectOnlyStreamChanged(original, path, testing::kDocSummaryStreamName, kDocSummaryStream,
                          expected);
}

TEST_F(PropertyWritesTest, ATypeOtherThanTheRowsOwnTakesOnlyWhatItCanHoldExactly) {
  struct Case {
    const char* what;
    RowSet set;
    int row;
    std::string stored;
    const char* typed;
    std::string expected;  // empty: kept as read
  };
  const std::vector<Case> cases{
      {"wide title", RowSet::kSummary, 0, test::Lpwstr(u"old"), "新しい", test::Lpwstr(u"新しい")},
      {"16-bit pages", RowSet::kSummary, 12, test::I2(7), "300", test::I2(300)},
      {"16-bit pages too large", RowSet::kSummary, 12, test::I2(7), "40000", ""},
      {"16-bit pages negative", RowSet::kSummary, 12, test::I2(7), "-2", test::I2(-2)},
      {"unsigned words", RowSet::kSummary, 13, test::Typed(19, test::Le(5, 4)), "9",
       test::Typed(19, test::Le(9, 4))},
      {"unsigned words negative", RowSet::kSummary, 13, test::Typed(19, test::Le(5, 4)), "-1", ""},
      {"unsigned 16-bit characters", RowSet::kSummary, 14, test::Typed(18, test::Le(1, 2)), "65535",
       test::Typed(18, test::Le(65535, 2))},
      {"INT pages", RowSet::kSummary, 12, test::Typed(22, test::Le(3, 4)), "-7",
       test::Typed(22, test::Le(0xFFFFFFF9u, 4))},
      {"author vector", RowSet::kSummary, 2, test::VectorLpstr({"a", "b"}, false), "x", ""},
      {"created as text", RowSet::kSummary, 10, test::Lpstr("yesterday"), "2024/01/02 03:04:05",
       ""},
      {"edit time as a count", RowSet::kSummary, 8, test::I4(60), "01:00:00 & 0000日", ""},
      {"category as a count", RowSet::kDocSummary, 0, test::I4(42), "text", ""},
      {"scale as a 16-bit count", RowSet::kDocSummary, 9, test::I2(-1), "いいえ", ""},
      {"wide company", RowSet::kDocSummary, 13, test::Lpwstr(u"old"), "会社",
       test::Lpwstr(u"会社")},
      {"16-bit byte count", RowSet::kDocSummary, 2, test::I2(1), "-5", test::I2(-5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool summary = c.set == RowSet::kSummary;
    const std::string fmtid = summary ? test::kSummaryFmtid : test::kDocSummaryFmtid;
    const auto id = static_cast<std::uint32_t>(c.row + kFirstPropId);
    // A neighbour on each side, to be kept byte for byte.
    const Entries stored{{1, test::I2(932)}, {id, c.stored}, {40, test::Lpstr("after")}};
    const std::string path = Document(
        std::string(c.what) + ".doc", Section(test::kSummaryFmtid, summary ? stored : kSummary),
        Section(test::kDocSummaryFmtid, summary ? kDocSummary : stored));
    testing::UpdateForm fresh;
    fresh.Put(c.set, c.row, c.typed);
    if (summary) {
      fresh.form.SetDocumentProperties(path);
    } else {
      fresh.form.SetDocumentProperties2(path);
    }
    EXPECT_EQ(fresh.Messages(), std::vector<std::string>{});
    std::vector<test::SectionFixture> sections{
        Section(fmtid, stored, {{id, c.expected.empty() ? c.stored : c.expected}})};
    if (!summary) sections.push_back(UserDefined());
    EXPECT_EQ(StreamOf(path, summary ? kSummaryStream : kDocSummaryStream),
              test::BuildStream(sections));
  }
}

TEST_F(PropertyWritesTest, WhatIsNotWrittenLeavesTheFileByteForByte) {
  struct Case {
    const char* what;
    Entries summary;
    std::vector<std::pair<int, const char*>> typed;  // row, text
    std::vector<std::string> messages;
    SetWrite outcome;
  };
  const std::vector<Case> cases{
      {"a property the set lacks",
       {{1, test::I2(932)}, {2, test::Lpstr("t")}},
       {{2, "new author"}, {12, "7"}, {9, "2024/01/02 03:04:05"}},
       {},
       SetWrite::kUnchanged},
      {"a set with none of the properties",
       {{1, test::I2(932)}},
       {{0, "new title"}},
       {},
       SetWrite::kUnchanged},
      {"text the set's code page cannot hold",
       {{1, test::I2(1252)}, {2, test::Lpstr("t")}},
       {{0, "Title: 題名"}},
       {"Error PropStg.WriteMultiple\r\nHResult = $80070459\r\n" +
        Cp932("「タイトル」の「題」は、この文書の文字コード (コードページ 1252) "
              "では保存できません")},
       SetWrite::kFailed},
      // The lacking title, offered as text, is neither refused nor named.
      {"such text for a lacking property before a present one",
       {{1, test::I2(1252)}, {4, test::Lpstr("a")}},
       {{0, "題"}, {2, "作"}},
       {"Error PropStg.WriteMultiple\r\nHResult = $80070459\r\n" +
        Cp932("「作成者」の「作」は、この文書の文字コード (コードページ 1252) "
              "では保存できません")},
       SetWrite::kFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Document("doc.doc", Section(test::kSummaryFmtid, c.summary),
                                      Section(test::kDocSummaryFmtid, kDocSummary));
    const std::string before = fixture::ReadWholeFile(path);
    testing::UpdateForm fresh;
    for (const auto& [row, text] : c.typed) fresh.Put(RowSet::kSummary, row, text);
    EXPECT_EQ(fresh.form.SetDocumentProperties(path), c.outcome);
    EXPECT_EQ(fresh.Messages(), c.messages);
    EXPECT_EQ(fixture::ReadWholeFile(path), before);
  }
}

TEST_F(PropertyWritesTest, ATextThatDoesNotConvertRaisesAndWritesNothing) {
  // Also for a property the set lacks: every selected row is converted.
  for (int row : {summary_row::kPageCount, summary_row::kCharCount}) {
    const std::string path =
        Document("doc.doc", Section(test::kSummaryFmtid, {{1, test::I2(932)}, {14, test::I4(1)}}),
                 Section(test::kDocSummaryFmtid, kDocSummary));
    const std::string before = fixture::ReadWholeFile(path);
    testing::UpdateForm fresh;
    fresh.Put(RowSet::kSummary, summary_row::kTitle, "changed");
    fresh.Put(RowSet::kSummary, row, "abc");
    EXPECT_THROW(fresh.form.SetDocumentProperties(path), ConversionError) << row;
    EXPECT_EQ(fixture::ReadWholeFile(path), before);
    EXPECT_EQ(CoInitializeDepth(), 0);
  }
}

// Each file keeps its own unselected values, and a selected default whose
// text is what that file's own read shows keeps that file's value: the
// first file's creation time has fractions of a second the text drops.
TEST_F(PropertyWritesTest, TheDefaultsPageVariantsKeepEachFilesOwnUnselectedValues) {
  std::uint64_t created[] = {kCreated + 1234567, kCreated - kHour};
  const auto summaryOf = [&](const std::string& title, std::size_t i) {
    test::SectionFixture summary = testing::SummaryWith(title, i == 0 ? "first" : "second", 1);
    return summary.Add(12, test::FileTime(created[i]));
  };
  std::vector<std::string> paths;
  for (std::size_t i : {0u, 1u}) {
    const char* author = i == 0 ? "first" : "second";
    paths.push_back(testing::TestDocument(summaryOf("title", i),
                                          Section(test::kDocSummaryFmtid,
                                                  {{1, test::I2(932)}, {15, test::Lpstr(author)}}))
                        .WriteTo(dir, std::string(author) + ".doc"));
  }
  user.Select(RowSet::kSummary, summary_row::kTitle);
  user.form.ValueListEditor2.SetValueAt(summary_row::kTitle, "batch title");
  user.form.ValueListEditor1.SetValueAt(summary_row::kTitle, "target title");
  user.Select(RowSet::kSummary, summary_row::kCreated);
  user.form.ValueListEditor2.SetValueAt(summary_row::kCreated, "2024/01/02 03:04:05");
  user.Select(RowSet::kDocSummary, 12);  // manager: neither file has one
  user.form.ValueListEditor6.SetValueAt(12, "boss");
  for (const std::string& path : paths) {
    user.form.SetDocumentPropertiesAll(path);
    user.form.SetDocumentProperties2All(path);
  }
  EXPECT_EQ(user.Messages(), std::vector<std::string>{});
  created[1] = kCreated;
  for (std::size_t i : {0u, 1u}) {
    const char* author = i == 0 ? "first" : "second";
    EXPECT_EQ(StreamOf(paths[i], kSummaryStream), test::BuildStream({summaryOf("batch title", i)}));
    EXPECT_EQ(StreamOf(paths[i], kDocSummaryStream),
              test::BuildStream({Section(test::kDocSummaryFmtid,
                                         {{1, test::I2(932)}, {15, test::Lpstr(author)}})}));
  }
}

}  // namespace
}  // namespace tavrin
