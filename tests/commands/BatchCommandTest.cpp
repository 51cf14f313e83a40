#include <gtest/gtest.h>

#include "app/TForm1.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "support/ScriptedHost.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using fixture::ReadWholeFile;

class BatchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.FormCreate();
    form.SetBatchPause(std::chrono::milliseconds(0));
  }

  std::string Document(const std::string& name, const std::string& author) {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
    return testing::TestDocument(testing::SummaryWith("title", author, 1), docSummary)
        .WriteTo(dir, name);
  }
  // Selects Summary row `row` only, with `value` on the defaults page.
  void Default(int row, const std::string& value) {
    form.CheckListBox1.SetChecked(row, true);
    form.CheckListBox1ClickCheck();
    form.ValueListEditor2.SetValueAt(row, value);
  }
  void RunBatch(const std::vector<std::string>& paths, std::vector<bool> answers = {true, true}) {
    for (bool answer : answers) dialogs.QueueAnswer(answer);
    form.ShellListView1.ShowPaths(paths);
    form.Button13Click();
  }
  std::string AuthorOf(const std::string& path) {
    ScriptedDialogs quiet("tavrin");
    testing::ScriptedHost none;
    TForm1 reader(quiet, none, "/opt/tavrin/tavrin");
    reader.FormCreate();
    reader.Edit1.SetText(path);
    reader.Button1Click();
    return reader.ValueListEditor1.Value(summary_row::kAuthor);
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.ShownBoxes()) {
      if (shown.kind == ScriptedDialogs::Kind::kMessage) texts.push_back(shown.text);
    }
    return texts;
  }

  fixture::ScratchDir dir;
  ScriptedDialogs dialogs{"tavrin"};
  testing::ScriptedHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
};

TEST_F(BatchCommandTest, SelectedFilesAreWrittenInListOrderUntilAFolderEndsIt) {
  std::string a = Document("a.doc", "x"), b = Document("b.doc", "y"), c = Document("c.doc", "z");
  std::string plain = dir.Put("plain.txt", "text");
  Default(summary_row::kAuthor, "batch");
  form.ShellListView1.ShowPaths({a, plain, b, dir.path().string(), c});
  form.ShellListView1.SetSelected(2, false);  // b is listed but not selected
  dialogs.QueueAnswer(true);
  dialogs.QueueAnswer(true);
  form.Button13Click();
  EXPECT_EQ(AuthorOf(a), "batch");
  EXPECT_EQ(AuthorOf(b), "y");
  EXPECT_EQ(AuthorOf(c), "z");  // after the folder: untouched
  std::string notCompound = Cp932("IStorage未対応ファイルです");
  EXPECT_EQ(Messages(), (std::vector<std::string>{notCompound, notCompound,
                                                  Cp932("ファイルが見つかりません")}));
  ASSERT_GE(dialogs.ShownBoxes().size(), 2u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, Cp932("一括更新しますか？"));
  EXPECT_EQ(dialogs.ShownBoxes()[1].kind, ScriptedDialogs::Kind::kWarn);
  EXPECT_EQ(dialogs.ShownBoxes()[1].text, Cp932("本当に一括更新してもよろしいですか？"));
  // Progress counted the selected files, and was cleared at the end.
  EXPECT_EQ(host.progress.front(), std::make_pair(1, 4));
  EXPECT_EQ(host.progress.back(), std::make_pair(0, 0));
}

TEST_F(BatchCommandTest, EitherAnswerOfNoStopsBeforeAnything) {
  std::string a = Document("a.doc", "x");
  std::string before = ReadWholeFile(a);
  Default(summary_row::kAuthor, "batch");
  RunBatch({a}, {false});
  RunBatch({a}, {true, false});
  EXPECT_EQ(ReadWholeFile(a), before);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(BatchCommandTest, TheEditingTimeIsCheckedBeforeTheCounts) {
  std::string a = Document("a.doc", "x");
  std::string before = ReadWholeFile(a);
  Default(summary_row::kPageCount, "many");
  Default(summary_row::kEditTime, "25:00:00 & 0000");
  RunBatch({a});
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp932("編集時間の指定が違います")});
  dialogs.Clear();
  form.ValueListEditor2.SetValueAt(summary_row::kEditTime, Cp932("01:00:00 & 0000日"));
  RunBatch({a});
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp932("ページ数は数値でなければなりません")});
  dialogs.Clear();
  form.ValueListEditor2.SetValueAt(summary_row::kPageCount, "3");
  Default(summary_row::kLastSaved, "not a date");
  Default(summary_row::kCreated, "2020/01/01 00:00:00");
  RunBatch({a});
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp932("前回保存日時の指定が違います")});
  EXPECT_EQ(ReadWholeFile(a), before);
}

TEST_F(BatchCommandTest, WithNoRowSelectedEveryFileIsStillOpenedAndKeptByteForByte) {
  std::string a = Document("a.doc", "x"), b = Document("b.doc", "y");
  for (int i = 0; i < 18; ++i) form.CheckListBox1.SetChecked(i, false);
  std::string beforeA = ReadWholeFile(a), beforeB = ReadWholeFile(b);
  RunBatch({a, b});
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(ReadWholeFile(a), beforeA);
  EXPECT_EQ(ReadWholeFile(b), beforeB);
  EXPECT_EQ(host.progress.size(), 3u);  // two files, then the end
}

TEST_F(BatchCommandTest, NoItemSelectedDoesNothingAfterTheQuestions) {
  std::string a = Document("a.doc", "x");
  Default(summary_row::kAuthor, "batch");
  form.ShellListView1.ShowPaths({a});
  form.ShellListView1.SetSelected(0, false);
  dialogs.QueueAnswer(true);
  dialogs.QueueAnswer(true);
  form.Button13Click();
  EXPECT_EQ(AuthorOf(a), "x");
  EXPECT_EQ(dialogs.ShownBoxes().size(), 2u);
}

}  // namespace
}  // namespace tavrin
