#include "platform/controls/ValueListEditor.h"

#include <gtest/gtest.h>

#include "platform/controls/CheckListBox.h"

namespace tavrin {
namespace {

class ValueListEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.InsertRow("a", "1");
    grid.InsertRow("b", "2");
  }
  ValueListEditor grid{"grid", nullptr, {}};
};

TEST_F(ValueListEditorTest, ValuesAreAddressedByKey) {
  EXPECT_EQ(grid.Values("b"), "2");
  EXPECT_EQ(grid.Values("zz"), "");
  grid.SetValues("a", "");
  EXPECT_EQ(grid.RowCount(), 2);  // an emptied row stays in place
  EXPECT_EQ(grid.Key(0), "a");
  grid.SetValues("c", "3");  // an unknown key is appended
  ASSERT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Key(2), "c");
  EXPECT_EQ(grid.Value(2), "3");
}

TEST_F(ValueListEditorTest, ReadOnlyStopsTheUserButNotTheProgram) {
  grid.SetReadOnly(1, true);
  EXPECT_FALSE(grid.UserSetValue(1, "x"));
  EXPECT_EQ(grid.Value(1), "2");
  grid.SetValues("b", "y");
  EXPECT_EQ(grid.Value(1), "y");
  EXPECT_TRUE(grid.UserSetValue(0, "z"));
  EXPECT_EQ(grid.Value(0), "z");
}

TEST_F(ValueListEditorTest, WholePropertySetReplacesAllThreeSingleSetterOnlyItsOwn) {
  grid.AddPickListEntry(0, "p");
  grid.SetReadOnly(0, true);
  grid.SetEditMask(0, "9");
  EXPECT_EQ(grid.ItemProps(0), (ItemProp{"9", {"p"}, true}));
  grid.SetItemProps(0, {"00", {}, false});
  EXPECT_EQ(grid.ItemProps(0), (ItemProp{"00", {}, false}));
}

TEST_F(ValueListEditorTest, ViewsHearOfChangesAndRepaints) {
  int notified = 0;
  grid.SetChangeListener([&] { ++notified; });
  grid.SetValues("a", "q");
  grid.Repaint();
  EXPECT_EQ(notified, 2);
  EXPECT_EQ(grid.RepaintCount(), 1);
}

TEST(CheckListBox, OnlyEnabledItemsToggleAndOnlyTogglesRunTheHandler) {
  CheckListBox list("list", nullptr, {});
  list.AddItem("one");
  list.AddItem("two");
  int clicks = 0;
  list.SetOnClickCheck([&] { ++clicks; });
  list.SetChecked(0, true);  // the program, not the user
  EXPECT_EQ(clicks, 0);
  list.SetItemEnabled(1, false);
  EXPECT_FALSE(list.UserToggle(1));
  EXPECT_FALSE(list.Checked(1));
  EXPECT_TRUE(list.UserToggle(0));
  EXPECT_FALSE(list.Checked(0));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(list.UserToggle(7));
  list.SetEnabled(false);
  EXPECT_FALSE(list.UserToggle(0));
}

}  // namespace
}  // namespace tavrin
