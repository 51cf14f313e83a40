#include "grids/DefaultsPage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "grids/EditingRules.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/ScriptedDialogs.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using codepage::Cp932;

// One page of grids with their rows, as a form gives them.
struct Page {
  Page() {
    AddRows(summary, RowSet::kSummary);
    AddRows(fileTime, RowSet::kFileTime);
    AddRows(docSummary, RowSet::kDocSummary);
  }
  PageGrids Grids() { return {summary, fileTime, docSummary}; }
  ValueListEditor summary{"s", nullptr, {}};
  ValueListEditor fileTime{"f", nullptr, {}};
  ValueListEditor docSummary{"d", nullptr, {}};
};

class DefaultsPageTest : public ::testing::Test {
 protected:
  static void Fill(Page& grids, const std::string& prefix) {
    for (ValueListEditor* grid : {&grids.summary, &grids.fileTime, &grids.docSummary}) {
      for (int i = 0; i < grid->RowCount(); ++i) grid->SetValueAt(i, prefix + std::to_string(i));
    }
  }
  std::string Put(const std::string& contents) { return dir.Put("tavrin.dat", contents); }

  fixture::ScratchDir dir;
  std::string path = (dir.path() / "tavrin.dat").string();
  ScriptedDialogs dialogs{"tavrin"};
  Page page;
};

TEST_F(DefaultsPageTest, CopyTakesOnlyCheckedRowsAndEmptySourcesToo) {
  Page target;
  CheckListBox list("l", nullptr, {});
  AddItems(list, RowSet::kSummary);
  Fill(page, "d");
  target.summary.SetValueAt(3, "kept");
  CopySelectedRows(list, target.summary, page.summary);
  EXPECT_EQ(page.summary.Value(0), "d0");  // nothing checked, nothing copied
  list.SetChecked(0, true);
  list.SetChecked(17, true);
  CopySelectedRows(list, target.summary, page.summary);
  EXPECT_EQ(page.summary.Value(0), "");  // an empty source empties the row
  EXPECT_EQ(page.summary.Value(17), "");
  EXPECT_EQ(page.summary.Value(1), "d1");
  CopySelectedRows(list, page.summary, target.summary);
  EXPECT_EQ(target.summary.Value(3), "kept");
}

TEST_F(DefaultsPageTest, DateSetButtonsFillOnlyTheChosenRowsOfTheirPage) {
  CheckBox boxes[6]{{"1", nullptr, {}}, {"2", nullptr, {}}, {"3", nullptr, {}},
                    {"4", nullptr, {}}, {"5", nullptr, {}}, {"6", nullptr, {}}};
  DateSetBoxes chosen{&boxes[0], &boxes[1], &boxes[2], &boxes[3], &boxes[4], &boxes[5]};
  SetChosenDatesToNow(chosen, page.Grids());
  for (int i = 0; i < 18; ++i) EXPECT_EQ(page.summary.Value(i), "");
  boxes[0].SetChecked(true);
  boxes[4].SetChecked(true);
  clock::SetNowForTesting(
      std::chrono::system_clock::from_time_t(1700000000));  // 2023-11-14 22:13:20 UTC
  SetChosenDatesToNow(chosen, page.Grids());
  clock::SetNowForTesting(std::nullopt);
  EXPECT_EQ(page.summary.Value(9), "2023/11/15 07:13:20");  // Tokyo
  EXPECT_EQ(page.fileTime.Value(1), "2023/11/15 07:13:20");
  EXPECT_EQ(page.summary.Value(10), "");
  boxes[5].SetChecked(true);
  SetChosenDatesToZero(chosen, page.Grids());
  EXPECT_EQ(page.summary.Value(9), "0000/00/00 00:00:00");
  EXPECT_EQ(page.fileTime.Value(2), "0000/00/00 00:00:00");
  EXPECT_EQ(page.fileTime.Value(0), "");
}

TEST_F(DefaultsPageTest, SaveClearLoadGivesBackAll36ValuesByteForByte) {
  Fill(page, Cp932("値"));
  page.docSummary.SetValueAt(4, "");
  dialogs.SetStandingAnswer(true);
  SaveDefaults(path, page.Grids(), dialogs);
  std::string saved = fixture::ReadWholeFile(path);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 36);
  EXPECT_EQ(saved.substr(0, 5), Cp932("値0") + "\r\n");
  EXPECT_NE(saved.find("\r\n" + Cp932("値0") + "\r\n" + Cp932("値1") + "\r\n"), std::string::npos);
  ClearPage(page.Grids());
  EXPECT_EQ(page.summary.Value(5), "");
  LoadDefaults(path, page.Grids(), dialogs);
  EXPECT_EQ(page.summary.Value(17), Cp932("値17"));
  EXPECT_EQ(page.docSummary.Value(0), Cp932("値0"));
  EXPECT_EQ(page.docSummary.Value(4), "");
  EXPECT_EQ(page.fileTime.Value(2), Cp932("値2"));

  ClearPage(page.Grids());
  SaveDefaults(path, page.Grids(), dialogs);
  std::string empty;
  for (int i = 0; i < 36; ++i) empty += "\r\n";
  EXPECT_EQ(fixture::ReadWholeFile(path), empty);  // 72 bytes
}

TEST_F(DefaultsPageTest, LoadSplitsLinesLikeTheFormatAndReportsShortFiles) {
  dialogs.SetStandingAnswer(true);
  std::string lf;
  for (int i = 0; i < 40; ++i)
    lf += "v" + std::to_string(i) + (i == 39 ? "" : (i % 2 ? "\n" : "\r"));
  Put(lf);
  LoadDefaults(path, page.Grids(), dialogs);
  EXPECT_EQ(page.summary.Value(0), "v0");
  EXPECT_EQ(page.docSummary.Value(14), "v32");
  EXPECT_EQ(page.fileTime.Value(2), "v35");  // lines 37 to 40 are ignored

  Fill(page, "old");
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "n" + std::to_string(i) + "\r\n";
  Put(twenty);
  try {
    LoadDefaults(path, page.Grids(), dialogs);
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), Cp932("リストのインデックスが範囲を超えています (20)"));
  }
  EXPECT_EQ(page.docSummary.Value(1), "n19");
  EXPECT_EQ(page.docSummary.Value(2), "old2");

  Put(std::string("a\r\nb\0c\r\n", 7));
  EXPECT_THROW(LoadDefaults(path, page.Grids(), dialogs), Exception);
  EXPECT_EQ(page.summary.Value(1), "b");  // a NUL ends the text
}

TEST_F(DefaultsPageTest, FailuresAndRefusalsWriteNothing) {
  dialogs.QueueAnswer(false);
  SaveDefaults(path, page.Grids(), dialogs);  // cancelled
  EXPECT_FALSE(std::filesystem::exists(path));
  dialogs.SetStandingAnswer(true);
  page.docSummary.SetValueAt(4, "two\r\nlines");
  SaveDefaults(path, page.Grids(), dialogs);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(dialogs.ShownBoxes().size(), 3u);
  EXPECT_NE(dialogs.ShownBoxes()[2].text.find(Cp932("段落数")), std::string::npos);

  try {
    LoadDefaults(path, page.Grids(), dialogs);
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), Cp932("ファイル ") + path + Cp932(" は開けません"));
  }
  page.docSummary.SetValueAt(4, "");
  std::string inMissing = (dir.path() / "missing" / "t.dat").string();
  try {
    SaveDefaults(inMissing, page.Grids(), dialogs);
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), Cp932("ファイル ") + inMissing + Cp932(" を作成できません"));
  }
}

}  // namespace
}  // namespace tavrin
