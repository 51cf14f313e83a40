#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/TForm1.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "platform/storage/CompoundFile.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptedHost.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using codepage::Cp932;

class ShowCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { form.FormCreate(); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.ShownBoxes()) texts.push_back(shown.text);
    return texts;
  }
  void Show(const std::string& path) {
    dialogs.Clear();
    form.Edit1.SetText(path);
    form.Button1Click();
  }
  std::string Summary(int row) const { return form.ValueListEditor1.Value(row); }
  std::string DocSummary(int row) const { return form.ValueListEditor5.Value(row); }
  std::string FileTime(int row) const { return form.ValueListEditor3.Value(row); }
  void MarkGrids() {
    for (ValueListEditor* grid : {&form.ValueListEditor1, &form.ValueListEditor5}) {
      for (int i = 0; i < grid->RowCount(); ++i) grid->SetValueAt(i, "earlier");
    }
  }
  bool GridsStillMarked() const {
    for (const ValueListEditor* grid : {&form.ValueListEditor1, &form.ValueListEditor5}) {
      for (int i = 0; i < grid->RowCount(); ++i) {
        if (grid->Value(i) != "earlier") return false;
      }
    }
    return true;
  }

  fixture::ScratchDir dir;
  ScriptedDialogs dialogs{"tavrin"};
  testing::ScriptedHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
};

TEST_F(ShowCommandTest, ATitleAloneFillsEveryRowByItsDisplayRule) {
  test::SectionFixture summary(test::kSummaryFmtid);
  summary.Add(1, test::I2(932)).Add(2, test::Lpstr(Cp932("題名")));
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(14, test::Lpstr("boss")).Add(15, test::Lpstr("ACME"));
  Show(testing::TestDocument(summary, docSummary).WriteTo(dir, "t.doc"));
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  EXPECT_EQ(Summary(0), Cp932("題名"));
  for (int row : {1, 2, 3, 4, 5, 6, 7, 15, 16}) EXPECT_EQ(Summary(row), "") << row;
  EXPECT_EQ(Summary(8), Cp932("00:00:00 & 0000日"));
  for (int row : {9, 10, 11}) EXPECT_EQ(Summary(row), "0000/00/00 00:00:00");
  for (int row : {12, 13, 14, 17}) EXPECT_EQ(Summary(row), "0");
  for (int row : {0, 1, 10, 11}) EXPECT_EQ(DocSummary(row), "") << row;
  for (int row = 2; row <= 8; ++row) EXPECT_EQ(DocSummary(row), "0");
  for (int row : {9, 14}) EXPECT_EQ(DocSummary(row), Cp932("いいえ"));
  EXPECT_EQ(DocSummary(12), "boss");
  EXPECT_EQ(DocSummary(13), "ACME");
  EXPECT_EQ(FileTime(0).size(), 19u);
  EXPECT_NE(FileTime(1), "0000/00/00 00:00:00");
}

TEST_F(ShowCommandTest, ValuesAreReadFromTheValuePartWhateverTheirType) {
  test::SectionFixture summary(test::kSummaryFmtid);
  summary.Add(1, test::I2(932))
      .Add(2, test::Lpwstr(u"wide \u00e9\u65e5"))        // shown in CP932, ? for what it lacks
      .Add(3, test::I4(7))                               // no string: empty
      .Add(10, test::FileTime(37ull * 3600 * 10000000))  // 37 hours
      .Add(12, test::FileTime(116444736000000000ull))    // 1970-01-01 00:00 UTC
      .Add(14, test::I4(-3))
      .Add(17, test::ClipboardData(-1, "picture"));
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(2, test::Lpstr(std::string("ab\0cd", 5)))
      .Add(4, test::I4(-1))
      .Add(11, test::Typed(11, test::Le(1, 2)))  // a flag stored as 1
      .Add(12, test::HeadingPairs({{"Title", 1}}, true))
      .Add(13, test::VectorLpstr({"part"}, true))
      .Add(16, test::Bool(false));
  Show(testing::TestDocument(summary, docSummary).WriteTo(dir, "v.doc"));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Summary(0), "wide ?\x93\xfa");
  EXPECT_EQ(Summary(1), "");
  EXPECT_EQ(Summary(8), Cp932("13:00:00 & 0001日"));
  EXPECT_EQ(Summary(10), "1970/01/01 09:00:00");  // shown in Tokyo time
  EXPECT_EQ(Summary(12), "-3");
  EXPECT_EQ(Summary(15), "");
  EXPECT_EQ(DocSummary(0), "ab");  // up to the embedded zero
  EXPECT_EQ(DocSummary(2), "-1");
  EXPECT_EQ(DocSummary(9), Cp932("はい"));
  EXPECT_EQ(DocSummary(10), "");
  EXPECT_EQ(DocSummary(11), "");
  EXPECT_EQ(DocSummary(14), Cp932("いいえ"));
}

TEST_F(ShowCommandTest, FailuresKeepWhatTheGridsShowedBefore) {
  std::string plain = dir.Put("plain.txt", "text");
  MarkGrids();
  Show(plain);
  std::string notCompound = Cp932("IStorage未対応ファイルです");
  EXPECT_EQ(Messages(), (std::vector<std::string>{notCompound, notCompound}));
  EXPECT_TRUE(GridsStillMarked());
  EXPECT_EQ(FileTime(1).size(), 19u);  // the file times were read first

  test::SectionFixture codePageOnly(test::kSummaryFmtid);
  codePageOnly.Add(1, test::I2(932));
  Show(testing::TestDocument(codePageOnly).WriteTo(dir, "nodoc.doc"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Error PropSetStg.Open\r\nHResult = $80030002"});
  EXPECT_TRUE(GridsStillMarked());
}

TEST_F(ShowCommandTest, TheExistsTestStopsBeforeAnyRead) {
  MarkGrids();
  form.ValueListEditor3.SetValueAt(0, "earlier");
  for (const std::string& path :
       {std::string(), dir.path().string(), (dir.path() / "gone.doc").string()}) {
    Show(path);
    EXPECT_EQ(Messages(), std::vector<std::string>{Cp932("ファイルが見つかりません")}) << path;
  }
  EXPECT_TRUE(GridsStillMarked());
  EXPECT_EQ(FileTime(0), "earlier");
}

TEST_F(ShowCommandTest, AReadOnlyDocumentShowsItsTimesButNotItsSets) {
  std::string path =
      testing::TestDocument(testing::SummaryWith("t", "a", 1)).WriteTo(dir, "ro.doc");
  chmod(path.c_str(), 0444);
  Show(path);
  std::string denied = Cp932("ACCESSが拒否されました");
  EXPECT_EQ(Messages(), (std::vector<std::string>{denied, denied}));
  EXPECT_EQ(FileTime(1).size(), 19u);
}

// A named pipe passes the exists test; with no writer at the other end it
// must not hold the show up. Its times are shown, and it is no document.
TEST_F(ShowCommandTest, ANamedPipeShowsItsTimesAndIsNoDocument) {
  const std::string path = (dir.path() / "pipe.doc").string();
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  Show(path);
  std::string denied = Cp932("ACCESSが拒否されました");
  EXPECT_EQ(Messages(), (std::vector<std::string>{denied, denied}));
  EXPECT_EQ(FileTime(1).size(), 19u);
}

TEST_F(ShowCommandTest, AFileHeldElsewhereShowsNoTimesThatWereNotRead) {
  std::string path = testing::TestDocument(testing::SummaryWith("t", "a", 1)).WriteTo(dir, "h.doc");
  for (int row = 0; row < 3; ++row) form.ValueListEditor3.SetValueAt(row, "2000/01/01 00:00:00");
  std::unique_ptr<storage::CompoundFile> holder;
  ASSERT_EQ(storage::CompoundFile::Open(path, holder), S_OK);
  Show(path);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Error CreateFile\r\nHResult = $80070020",
                                                  "Error StgOpenStorage\r\nHResult = $80030020",
                                                  "Error StgOpenStorage\r\nHResult = $80030020"}));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(FileTime(row), "");
}

// The show opens the document ahead for its times; the first read of a set
// takes that open, rolls back what a crash left, and says so once.
TEST_F(ShowCommandTest, AChangeACrashLeftUnfinishedIsRolledBackAndToldOnce) {
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(15, test::Lpstr("ACME"));
  const std::string path =
      testing::TestDocument(testing::SummaryWith(Cp932("題名"), "a", 1), docSummary)
          .WriteTo(dir, "c.doc");
  const std::string before = fixture::ReadWholeFile(path);
  fixture::LeaveAChangeCutShort(path);
  Show(path);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{
                Cp932("前回の変更が完了していなかったため、文書を変更前の状態に戻しました") +
                "\r\n" + path});
  EXPECT_EQ(Summary(0), Cp932("題名"));
  EXPECT_EQ(DocSummary(13), "ACME");
  EXPECT_EQ(FileTime(1).size(), 19u);
  EXPECT_EQ(fixture::ReadWholeFile(path), before);
}

TEST_F(ShowCommandTest, BrowsingPutsTheLastConfirmedNameIntoTheBox) {
  std::vector<std::optional<std::string>> answers{std::nullopt, "/a/first.doc", std::nullopt,
                                                  std::nullopt};
  std::size_t next = 0;
  std::vector<std::string> offered;
  std::vector<std::string> folders;
  form.OpenDialog1.SetPicker([&](const std::string& folder, const std::string& initial) {
    folders.push_back(folder);
    offered.push_back(initial);
    return answers[next++];
  });
  form.Edit1.SetText("typed");
  form.Button3Click();
  EXPECT_EQ(form.Edit1.Text(), "");  // cancelled before anything was confirmed
  form.Button3Click();
  EXPECT_EQ(form.Edit1.Text(), "/a/first.doc");
  form.Edit1.SetText("typed since");
  form.Button3Click();
  EXPECT_EQ(form.Edit1.Text(), "/a/first.doc");
  EXPECT_EQ(offered, (std::vector<std::string>{"", "", "/a/first.doc"}));
  // Once a file was shown, browsing starts in its folder.
  form.Edit1.SetText("/b/shown.doc");
  form.Button1Click();
  form.Button3Click();
  EXPECT_EQ(folders, (std::vector<std::string>{"", "", "", "/b"}));
  form.Button16Click();
  EXPECT_EQ(form.Edit1.Text(), "");
}

// Files named on the window's command line or dropped on it, and Enter in
// the file name box: each shows a file as the show button does.
TEST_F(ShowCommandTest, GivenFilesAndEnterShowAsTheButtonDoes) {
  const std::string first =
      testing::TestDocument(testing::SummaryWith("first", "a", 1), std::nullopt)
          .WriteTo(dir, "first.doc");
  form.PageControl1.SetActivePageIndex(2);
  form.OpenFiles({first, "/other.doc"});
  EXPECT_EQ(form.PageControl1.ActivePageIndex(), 0);
  EXPECT_EQ(form.Edit1.Text(), first);
  EXPECT_EQ(Summary(0), "first");
  EXPECT_EQ(
      Messages(),
      (std::vector<std::string>{
          "Error PropSetStg.Open\r\nHResult = $80030002",
          Cp932("ファイルが 2 個指定されました。最初のファイルだけを表示しています\r\n") + first}));
  dialogs.Clear();
  form.Edit1.SetText("/no/such.doc");
  form.Edit1.PressReturn();
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp932("ファイルが見つかりません")});
}

}  // namespace
}  // namespace tavrin
