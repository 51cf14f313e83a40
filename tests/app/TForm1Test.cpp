#include "app/TForm1.h"

#include <gtest/gtest.h>

#include "grids/RowCatalogue.h"
#include "grids/RowSelection.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "support/ScriptedHost.h"

namespace tavrin {
namespace {

using codepage::Cp932;

class TForm1Test : public ::testing::Test {
 protected:
  void SetUp() override { form.FormCreate(); }

  static void ExpectGridsAgree(const CheckListBox& list, GridPair grids) {
    for (int i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(grids.target.ItemProps(i).readOnly, grids.defaults.ItemProps(i).readOnly) << i;
    }
  }

  ScriptedDialogs dialogs{"tavrin"};
  testing::ScriptedHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
};

TEST_F(TForm1Test, GridsOfASetShareKeysOrderAndRules) {
  for (GridPair grids : {form.SummaryGrids(), form.DocSummaryGrids(), form.FileTimeGrids()}) {
    ASSERT_EQ(grids.target.RowCount(), grids.defaults.RowCount());
    for (int i = 0; i < grids.target.RowCount(); ++i) {
      EXPECT_EQ(grids.target.Key(i), grids.defaults.Key(i));
      EXPECT_EQ(grids.target.ItemProps(i), grids.defaults.ItemProps(i));
      EXPECT_EQ(grids.target.Value(i), "");
    }
  }
  for (int i = 0; i < form.CheckListBox1.Count(); ++i) {
    EXPECT_EQ(form.CheckListBox1.Item(i), form.ValueListEditor1.Key(i));
  }
  for (int i = 0; i < form.CheckListBox3.Count(); ++i) {
    EXPECT_EQ(form.CheckListBox3.Item(i), form.ValueListEditor5.Key(i));
  }
}

TEST_F(TForm1Test, EditingRulesGiveMasksAndPickLists) {
  const std::string date = Cp932("0000/00/00 00:00:00");
  const ValueListEditor& summary = form.ValueListEditor1;
  EXPECT_EQ(summary.ItemProps(summary_row::kEditTime).editMask, Cp932("00:00:00 & 0000日"));
  for (int row : {9, 10, 11}) EXPECT_EQ(summary.ItemProps(row).editMask, date);
  EXPECT_EQ(summary.ItemProps(summary_row::kSecurity).editMask, "9");
  EXPECT_EQ(summary.ItemProps(summary_row::kSecurity).pickList,
            (std::vector<std::string>{"0", "2", "4", "8"}));
  for (int row : {0, 1, 2}) EXPECT_EQ(form.ValueListEditor4.ItemProps(row).editMask, date);
  for (int row : {9, 14}) {
    EXPECT_EQ(form.ValueListEditor6.ItemProps(row).pickList,
              (std::vector<std::string>{Cp932("はい"), Cp932("いいえ")}));
    EXPECT_EQ(form.ValueListEditor6.ItemProps(row).editMask, "");
  }
  EXPECT_EQ(summary.ItemProps(0), (ItemProp{"", {}, true}));  // free text, unselected
}

TEST_F(TForm1Test, DefaultSelectionMakesOnlyAuthorsEditable) {
  for (int i = 0; i < 18; ++i) {
    bool expected = i == summary_row::kAuthor || i == summary_row::kLastAuthor;
    EXPECT_EQ(form.CheckListBox1.Checked(i), expected);
    EXPECT_EQ(form.ValueListEditor1.ItemProps(i).readOnly, !expected) << i;
  }
  for (int i = 0; i < 15; ++i) EXPECT_TRUE(form.ValueListEditor5.ItemProps(i).readOnly);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(form.ValueListEditor4.ItemProps(i).readOnly);
  EXPECT_FALSE(form.CheckListBox1.ItemEnabled(summary_row::kThumbnail));
  EXPECT_FALSE(form.CheckListBox3.ItemEnabled(docsummary_row::kHeadingPairs));
  EXPECT_FALSE(form.CheckListBox3.ItemEnabled(docsummary_row::kTitlesOfParts));
  EXPECT_TRUE(form.CheckListBox3.ItemEnabled(docsummary_row::kScale));
  for (const ValueListEditor* grid : {&form.ValueListEditor1, &form.ValueListEditor6}) {
    EXPECT_EQ(grid->RepaintCount(), 1);
  }
}

TEST_F(TForm1Test, EveryToggleKeepsBothGridsOfTheSetInAgreement) {
  struct Case {
    CheckListBox& list;
    GridPair grids;
  };
  for (Case c : {Case{form.CheckListBox1, form.SummaryGrids()},
                 Case{form.CheckListBox2, form.FileTimeGrids()},
                 Case{form.CheckListBox3, form.DocSummaryGrids()}}) {
    for (int i = 0; i < c.list.Count(); ++i) {
      int repaints = c.grids.defaults.RepaintCount();
      bool toggled = c.list.UserToggle(i);
      EXPECT_EQ(toggled, c.list.ItemEnabled(i));
      if (toggled) {
        EXPECT_EQ(c.grids.target.ItemProps(i).readOnly, !c.list.Checked(i));
        EXPECT_EQ(c.grids.defaults.RepaintCount(), repaints + 1);
      }
      ExpectGridsAgree(c.list, c.grids);
    }
  }
  EXPECT_TRUE(form.ValueListEditor1.ItemProps(summary_row::kThumbnail).readOnly);
  EXPECT_TRUE(form.ValueListEditor6.ItemProps(docsummary_row::kHeadingPairs).readOnly);
}

TEST_F(TForm1Test, StoredSelectionAloneMakesAFixedRowEditable) {
  // Only a stored selection can check a disabled item; once it is editable,
  // toggling its neighbours must not take that back.
  RestoreSelection(form.CheckListBox3, form.DocSummaryGrids(), docsummary_row::kTitlesOfParts,
                   true);
  EXPECT_FALSE(form.ValueListEditor5.ItemProps(docsummary_row::kTitlesOfParts).readOnly);
  ASSERT_TRUE(form.CheckListBox3.UserToggle(0));
  ASSERT_TRUE(form.CheckListBox3.UserToggle(0));
  EXPECT_FALSE(form.ValueListEditor5.ItemProps(docsummary_row::kTitlesOfParts).readOnly);
  EXPECT_FALSE(form.ValueListEditor6.ItemProps(docsummary_row::kTitlesOfParts).readOnly);
  EXPECT_TRUE(form.ValueListEditor5.ItemProps(docsummary_row::kHeadingPairs).readOnly);
}

struct DrawCase {
  int column;
  int gridRow;
  CellState state;
  bool readOnlyRow;
  CellBackground background;
};

TEST_F(TForm1Test, CellPaintingFollowsRowStateAndCellState) {
  const Rgb black{0, 0, 0}, grey{128, 128, 128}, navy{0, 0, 128}, blue{0, 0, 255};
  // Row index 0 ("タイトル") is read-only by default, row 2 ("作成者") editable.
  const DrawCase cases[] = {
      {0, 0, {false, false, true}, false, CellBackground::kFixed},  // title row
      {1, 0, {false, false, true}, false, CellBackground::kFixed},
      {0, 1, {false, false, true}, true, CellBackground::kFixed},  // key of a read-only row
      {0, 3, {false, false, true}, false, CellBackground::kFixed},
      {1, 1, {}, true, CellBackground::kWindow},                          // plain value cell
      {1, 3, {true, true, false}, false, CellBackground::kWindow},        // current cell, focused
      {1, 3, {true, false, false}, false, CellBackground::kAsGridChose},  // unfocused highlight
      {1, 1, {true, false, false}, true, CellBackground::kAsGridChose},
  };
  for (const DrawCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "column " << c.column << " row " << c.gridRow);
    CellPaint target = form.ValueListEditor1DrawCell(c.column, c.gridRow, c.state);
    CellPaint defaults = form.ValueListEditor2DrawCell(c.column, c.gridRow, c.state);
    EXPECT_EQ(target.textColour, c.readOnlyRow ? grey : black);
    EXPECT_EQ(defaults.textColour, c.readOnlyRow ? blue : navy);
    EXPECT_EQ(target.background, c.background);
    EXPECT_EQ(defaults.background, c.background);
    EXPECT_EQ(target.text, form.ValueListEditor1.CellText(c.column, c.gridRow));
    EXPECT_EQ(target.font.name, Cp932("ＭＳ Ｐゴシック"));
    EXPECT_EQ(target.textOffsetX, 2);
    EXPECT_EQ(target.textOffsetY, 2);
  }
  EXPECT_EQ(form.ValueListEditor1DrawCell(0, 0, {}).text, Cp932("プロパティ"));
  EXPECT_EQ(form.ValueListEditor1DrawCell(1, 0, {}).text, Cp932("値"));

  ASSERT_TRUE(form.CheckListBox1.UserToggle(0));
  EXPECT_EQ(form.ValueListEditor1DrawCell(1, 1, {}).textColour, black);
  EXPECT_EQ(form.ValueListEditor2DrawCell(0, 1, {}).textColour, navy);
  form.ValueListEditor3.SetValues(Cp932("更新日時"), "x");
  EXPECT_EQ(form.ValueListEditor3DrawCell(1, 2, {}).text, "x");
  EXPECT_EQ(form.ValueListEditor3DrawCell(1, 2, {}).textColour, grey);
  EXPECT_EQ(form.ValueListEditor4DrawCell(1, 2, {}).textColour, blue);
  EXPECT_EQ(form.ValueListEditor5DrawCell(1, 1, {}).textColour, grey);
  EXPECT_EQ(form.ValueListEditor6DrawCell(1, 1, {}).textColour, blue);
}

TEST_F(TForm1Test, MenuAndCloseGoThroughTheWindowSystem) {
  ASSERT_EQ(form.Help1.Children().size(), 2u);
  EXPECT_EQ(form.Help1.Children()[0], &form.TavrinHelp1);
  form.TavrinHelp1.Click();
  EXPECT_EQ(host.helpFiles, std::vector<std::string>{"/opt/tavrin/tavrin.hlp"});
  TAboutBox about;
  form.AttachAboutBox(about);
  form.About1.Click();
  form.About1.Click();
  EXPECT_EQ(host.modals, (std::vector<std::string>{"AboutBox", "AboutBox"}));
  // The version the build was made with, as tavrin-cli --version gives it.
  EXPECT_EQ(about.Version.Caption(), Cp932("バージョン       ") + TAVRIN_PROJECT_VERSION);
  form.Button8.Click();
  EXPECT_EQ(host.closeRequests, 1);
  EXPECT_TRUE(dialogs.ShownBoxes().empty());
}

TEST_F(TForm1Test, EachPagesButtonsWorkOnTheirOwnPage) {
  // Author (row 2) is selected by default.
  form.ValueListEditor1.SetValueAt(summary_row::kAuthor, "me");
  form.ValueListEditor1.SetValueAt(summary_row::kTitle, "not selected");
  form.Button4.Click();
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kAuthor), "me");
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kTitle), "");
  form.ValueListEditor2.SetValueAt(summary_row::kAuthor, "default");
  form.Button5.Click();
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kAuthor), "default");

  form.CheckBox7.Toggle();
  form.Button15.Click();  // zero, defaults page
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kLastPrinted), "0000/00/00 00:00:00");
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kLastPrinted), "");
  form.Button9.Click();  // now, target page: no target box is checked
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kLastPrinted), "");
  form.CheckBox4.Toggle();
  form.Button14.Click();
  EXPECT_EQ(form.ValueListEditor3.Value(filetime_row::kCreation), "0000/00/00 00:00:00");

  dialogs.SetStandingAnswer(true);
  form.Button6.Click();  // save the defaults page
  form.Button12.Click();
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kAuthor), "");
  form.Button7.Click();
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kAuthor), "default");
  form.Button11.Click();
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kAuthor), "");
  EXPECT_EQ(form.ValueListEditor2.Value(summary_row::kLastPrinted), "0000/00/00 00:00:00");
}

}  // namespace
}  // namespace tavrin
