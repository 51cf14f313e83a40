#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <type_traits>

#include "app/TForm1.h"
#include "commands/UpdateCommand.h"
#include "commands/UpdateFixture.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "platform/controls/EditMask.h"
#include "platform/qt/FormWindow.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtText.h"
#include "platform/qt/Translation.h"
#include "qt/QtTestEnvironment.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

// The main window over a fresh form, shown and active, with the dialogs
// given: scripted boxes for most tests, real modal ones where the box's own
// event loop is what is tested.
template <typename DialogsType>
class FormWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if constexpr (std::is_same_v<DialogsType, qt::QtDialogs>) dialogs.SetParent(&window);
    form.FormCreate();
    form.AttachAboutBox(about);
    host.SetWindow(&window);
    window.Attach(form, &form.MainMenu1, [this] { return form.FormCloseQuery(); });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  // The point inside the check box of item `row` of a check list.
  static QPoint BoxOf(QListWidget* list, int row) {
    QRect rect = list->visualItemRect(list->item(row));
    return {rect.left() + 5, rect.center().y()};
  }

  // Selects `row` of a grid's set in `list` and puts the cursor into its
  // value; the grid's page must be showing.
  QWidget* EditCell(const char* gridName, CheckListBox& list, int row) {
    if (!list.Checked(row)) list.UserToggle(row);
    QTableView* grid = Find<QTableView>(gridName);
    grid->setFocus();
    grid->setCurrentIndex({});
    grid->setCurrentIndex(grid->model()->index(row, 1));
    QTest::qWait(20);
    QWidget* editor = grid->findChild<QWidget*>(QStringLiteral("CellEditor"));
    EXPECT_NE(editor, nullptr);
    if (editor != nullptr) editor->setFocus();
    return editor;
  }
  // The same on the Summary set of the target page.
  QWidget* EditRow(int row) { return EditCell("ValueListEditor1", form.CheckListBox1, row); }
  // Key presses carrying `text`, as an input method delivers characters that
  // no key names.
  static void Type(QWidget* widget, const QString& text) {
    for (QChar ch : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(widget, &press);
    }
  }
  static QWidget* Typed(QWidget* editor) {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) return combo->lineEdit();
    return editor;
  }

  DialogsType dialogs{"tavrin"};
  qt::QtWindowHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
  TAboutBox about;
  qt::FormWindow window{dialogs};  // last: its views go before the controls
};

class MainWindowTest : public FormWindowTest<ScriptedDialogs> {};

struct Placed {
  const char* name;
  QRect geometry;  // an empty size: the control sizes itself
  const char* captionUtf8;
  bool bold;
};

TEST_F(MainWindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  const Placed controls[] = {
      {"Label1",
       {16, 0, 0, 0},
       "The Summary Information Property Set / The Document Summary Information Set / File Date "
       "Time",
       true},
      {"PageControl1", {8, 16, 641, 521}, nullptr, false},
      {"GroupBox7", {656, 0, 129, 233}, "選択項目", false},
      {"CheckListBox1", {8, 16, 113, 209}, nullptr, false},
      {"GroupBox11", {655, 240, 129, 193}, "選択項目", false},
      {"CheckListBox3", {8, 16, 113, 169}, nullptr, false},
      {"GroupBox8", {656, 440, 129, 65}, "選択項目(File Time)", false},
      {"CheckListBox2", {8, 16, 113, 41}, nullptr, false},
      {"Button8", {656, 512, 129, 25}, "終了", false},
      {"GroupBox2", {8, 8, 249, 449}, "The Summary Information Property Set", false},
      {"ValueListEditor1", {8, 16, 234, 369}, nullptr, false},
      {"GroupBox9", {264, 8, 249, 337}, "The Document Summary Information Set", false},
      {"ValueListEditor5", {8, 16, 234, 313}, nullptr, false},
      {"GroupBox3", {264, 352, 249, 105}, "File Date Time", false},
      {"ValueListEditor3", {8, 16, 234, 81}, nullptr, false},
      {"GroupBox1", {520, 8, 105, 201}, "日時セット", false},
      {"Button1", {520, 264, 105, 33}, "表示", false},
      {"Button2", {520, 304, 105, 33}, "変更", true},
      {"Button11", {520, 344, 105, 33}, "クリア", false},
      {"Button5", {520, 384, 105, 33}, "対象 <- 規定値", true},
      {"Button4", {520, 424, 105, 33}, "対象 -> 規定値", true},
      {"Label2", {16, 472, 0, 0}, "ファイル名", false},
      {"Edit1", {80, 466, 409, 20}, "", false},
      {"Button3", {488, 464, 25, 25}, "...", false},
      {"Button16", {520, 464, 105, 25}, "ファイル名クリア", false},
      {"GroupBox4", {8, 8, 249, 449}, "The Summary Information Property Set", false},
      {"ValueListEditor2", {8, 16, 234, 369}, nullptr, false},
      {"GroupBox10", {264, 8, 249, 337}, "The Document Summary Information Set", false},
      {"ValueListEditor6", {8, 16, 234, 313}, nullptr, false},
      {"GroupBox5", {264, 352, 249, 105}, "File Date Time", false},
      {"ValueListEditor4", {8, 16, 234, 81}, nullptr, false},
      {"GroupBox6", {520, 8, 105, 201}, "日時セット", false},
      {"Button7", {520, 344, 105, 33}, "読込", false},
      {"Button6", {520, 384, 105, 33}, "保存", false},
      {"Button12", {520, 424, 105, 33}, "クリア", false},
      {"ShellListView1", {8, 8, 585, 385}, nullptr, false},
      {"ShellComboBox1", {8, 416, 273, 22}, nullptr, false},
      {"Button13", {520, 408, 73, 33}, "一括更新", true},
      {"CheckBox13", {296, 418, 129, 17}, "更新日時を保持", false},
  };
  for (const Placed& c : controls) {
    SCOPED_TRACE(c.name);
    QWidget* widget = Find(c.name);
    if (widget == nullptr) continue;
    if (c.geometry.isEmpty()) {
      EXPECT_EQ(widget->pos(), c.geometry.topLeft());
    } else {
      EXPECT_EQ(widget->geometry(), c.geometry);
    }
    EXPECT_EQ(widget->font().bold(), c.bold);
    if (c.captionUtf8 == nullptr) continue;
    QString caption = QString::fromUtf8(c.captionUtf8);
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(widget)) shown = button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) shown = group->title();
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
    if (auto* box = qobject_cast<QCheckBox*>(widget)) shown = box->text();
    EXPECT_EQ(shown, caption);
  }
  for (const char* group : {"GroupBox7", "GroupBox11", "GroupBox8"}) {
    EXPECT_EQ(Find(group)->font().pixelSize(), 11) << group;
  }
  EXPECT_EQ(Find("Button1")->font().pixelSize(), 12);
  EXPECT_TRUE(Find("Button1")->font().families().contains(QStringLiteral("IPAPGothic")));
}

TEST_F(MainWindowTest, WindowPagesMenuAndGridsAreAsDesigned) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Tavrin"));
  auto* pages = Find<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), QStringLiteral("対象"));
  EXPECT_EQ(pages->tabText(1), QStringLiteral("規定値"));
  EXPECT_EQ(pages->tabText(2), QStringLiteral("一括"));
  EXPECT_EQ(pages->currentIndex(), 0);

  QList<QAction*> menus = window.menuBar()->actions();
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("&Help"));
  QList<QAction*> items = menus[0]->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), QStringLiteral("TavrinHelp"));
  EXPECT_EQ(items[1]->text(), QStringLiteral("About"));

  for (const char* name : {"ValueListEditor1", "ValueListEditor4"}) {
    auto* grid = Find<QTableView>(name);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal), QStringLiteral("プロパティ"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal), QStringLiteral("値"));
    EXPECT_EQ(grid->rowHeight(0), 18);
    EXPECT_TRUE(grid->showGrid());
  }
  EXPECT_EQ(Find<QTableView>("ValueListEditor1")->columnWidth(0), 101);
  EXPECT_EQ(Find<QTableView>("ValueListEditor1")->columnWidth(1), 127);
  EXPECT_EQ(Find<QTableView>("ValueListEditor4")->columnWidth(0), 102);
  EXPECT_EQ(Find<QTableView>("ValueListEditor4")->columnWidth(1), 126);
  auto* list = Find<QListWidget>("CheckListBox1");
  EXPECT_EQ(list->count(), 18);
  EXPECT_EQ(list->visualItemRect(list->item(0)).height(), 11);
}

// Space acts on the current item of a focused list, which is marked so.
TEST_F(MainWindowTest, TheFocusedCheckListItemIsMarked) {
  auto* list = Find<QListWidget>("CheckListBox1");
  list->setFocus();
  list->setCurrentRow(summary_row::kTitle);
  const QRect item = list->visualItemRect(list->item(summary_row::kTitle));
  const QImage focused = list->viewport()->grab(item).toImage();
  Find("Edit1")->setFocus();
  EXPECT_NE(list->viewport()->grab(item).toImage(), focused);
}

TEST_F(MainWindowTest, ClickAndSpaceToggleAnItemAndBothGridsFollow) {
  auto* list = Find<QListWidget>("CheckListBox1");
  const int title = summary_row::kTitle;
  int repaints = form.ValueListEditor2.RepaintCount();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, BoxOf(list, title));
  EXPECT_TRUE(form.CheckListBox1.Checked(title));
  EXPECT_FALSE(form.ValueListEditor1.ItemProps(title).readOnly);
  EXPECT_FALSE(form.ValueListEditor2.ItemProps(title).readOnly);
  EXPECT_EQ(form.ValueListEditor2.RepaintCount(), repaints + 1);
  EXPECT_EQ(list->item(title)->checkState(), Qt::Checked);

  list->setFocus();
  list->setCurrentRow(title);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_FALSE(form.CheckListBox1.Checked(title));
  EXPECT_TRUE(form.ValueListEditor1.ItemProps(title).readOnly);
  EXPECT_TRUE(form.ValueListEditor2.ItemProps(title).readOnly);

  // A click on the text only chooses the item.
  QRect text = list->visualItemRect(list->item(title));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, {text.left() + 60, text.center().y()});
  EXPECT_FALSE(form.CheckListBox1.Checked(title));
}

TEST_F(MainWindowTest, DisabledItemsToggleNeitherByMouseNorByKeyboard) {
  auto* list = Find<QListWidget>("CheckListBox3");
  for (int row : {docsummary_row::kHeadingPairs, docsummary_row::kTitlesOfParts}) {
    EXPECT_FALSE(list->item(row)->flags() & Qt::ItemIsEnabled);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, BoxOf(list, row));
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(form.CheckListBox3.Checked(row));
    EXPECT_TRUE(form.ValueListEditor5.ItemProps(row).readOnly);
  }
}

// The widest text of the form `pattern`, each "0" or "9" standing for a
// digit: digits are tried in every place, as a face need not give them all
// one width.
QString Widest(const QString& pattern, const QFontMetrics& metrics) {
  QString widest;
  for (char digit = '0'; digit <= '9'; ++digit) {
    QString value = pattern;
    value.replace(u'0', QChar::fromLatin1(digit)).replace(u'9', QChar::fromLatin1(digit));
    if (metrics.horizontalAdvance(value) > metrics.horizontalAdvance(widest)) widest = value;
  }
  return widest;
}

// The widest value a cell of each kind of row shows; nothing for free text.
QString WidestValue(ShownAs kind, const QFontMetrics& metrics) {
  switch (kind) {
    case ShownAs::kDateTime:
      return Widest(QStringLiteral("0000/00/00 00:00:00"), metrics);
    case ShownAs::kDuration:
      return Widest(QStringLiteral("00:00:00 & 0000日"), metrics);
    case ShownAs::kInteger:
      return Widest(QStringLiteral("-0000000000"), metrics);
    case ShownAs::kYesNo: {
      const QString yes = QStringLiteral("はい"), no = QStringLiteral("いいえ");
      return metrics.horizontalAdvance(yes) > metrics.horizontalAdvance(no) ? yes : no;
    }
    case ShownAs::kText:
    case ShownAs::kAlwaysEmpty:
      break;
  }
  return {};
}

// How much of a line edit's text shows: all of it when nothing is scrolled
// out of view. The scroll follows the cursor when the box paints.
int ShownWidth(QLineEdit* line) {
  auto caret = [line] {
    line->grab();
    return line->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
  };
  line->setCursorPosition(0);
  const int start = caret();
  line->end(false);
  return caret() - start;
}

// At 96 dpi, with the fonts the layout asks for, every caption fits its
// control and the widest value of each kind of row fits its cell, painted
// and in its editor.
TEST_F(MainWindowTest, EveryCaptionAndTheWidestValueOfEachRowFit) {
  ASSERT_EQ(window.logicalDpiX(), 96);
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room.width())
        << button->objectName().toStdString();
  }
  for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), room.width())
        << box->objectName().toStdString() << " " << room.width();
  }
  for (QGroupBox* group : window.findChildren<QGroupBox*>()) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = group->alignment();
    const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, group);
    EXPECT_GE(label.width(), group->fontMetrics().horizontalAdvance(group->title()));
    EXPECT_TRUE(group->rect().contains(label)) << group->objectName().toStdString();
  }
  // Labels size themselves; each must end before the control beside it.
  EXPECT_LT(Find("Label1")->geometry().right(), Find("GroupBox7")->x());
  EXPECT_LE(Find("Label1")->geometry().bottom(), Find("PageControl1")->y());
  EXPECT_LT(Find("Label2")->geometry().right(), Find("Edit1")->x());

  // A cell's text starts 2 pixels in; its last pixel column is a grid line.
  struct Grid {
    const char* name;
    int page;
    ValueListEditor& control;
    CheckListBox& list;
    RowSet set;
  };
  const Grid grids[] = {
      {"ValueListEditor1", 0, form.ValueListEditor1, form.CheckListBox1, RowSet::kSummary},
      {"ValueListEditor5", 0, form.ValueListEditor5, form.CheckListBox3, RowSet::kDocSummary},
      {"ValueListEditor3", 0, form.ValueListEditor3, form.CheckListBox2, RowSet::kFileTime},
      {"ValueListEditor2", 1, form.ValueListEditor2, form.CheckListBox1, RowSet::kSummary},
      {"ValueListEditor6", 1, form.ValueListEditor6, form.CheckListBox3, RowSet::kDocSummary},
      {"ValueListEditor4", 1, form.ValueListEditor4, form.CheckListBox2, RowSet::kFileTime},
  };
  for (const auto& [name, page, control, list, set] : grids) {
    SCOPED_TRACE(name);
    Find<QTabWidget>("PageControl1")->setCurrentIndex(page);
    auto* grid = Find<QTableView>(name);
    const QFontMetrics metrics(grid->font());
    EXPECT_LE(metrics.height(), grid->rowHeight(0) - 1 - 2);
    for (int column : {0, 1}) {
      const int room = grid->columnWidth(column) - 1 - 2;
      EXPECT_LE(
          metrics.horizontalAdvance(grid->model()->headerData(column, Qt::Horizontal).toString()),
          room);
    }
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
      const QString key = grid->model()->index(row, 0).data().toString();
      EXPECT_LE(metrics.horizontalAdvance(key), grid->columnWidth(0) - 1 - 2) << key.toStdString();
      const QString widest = WidestValue(Rows(set)[static_cast<std::size_t>(row)].shownAs, metrics);
      if (widest.isEmpty()) continue;
      EXPECT_LE(metrics.horizontalAdvance(widest), grid->columnWidth(1) - 1 - 2)
          << widest.toStdString();
      // An editor with a template holds only what the template takes.
      const std::string& mask = control.ItemProps(row).editMask;
      const QString typed = mask.empty() ? widest : Widest(qt::FromCp932(mask), metrics);
      control.SetValueAt(row, *qt::ToCp932(typed));
      QWidget* editor = EditCell(name, list, row);
      if (editor == nullptr) continue;
      auto* line = qobject_cast<QLineEdit*>(Typed(editor));
      EXPECT_EQ(line->text(), typed);
      EXPECT_EQ(ShownWidth(line), line->fontMetrics().horizontalAdvance(typed))
          << typed.toStdString();
      QTest::keyClick(line, Qt::Key_Escape);
    }
  }
  // A check list's text starts after its item's box, 15 pixels in.
  for (QListWidget* list : window.findChildren<QListWidget*>()) {
    for (int row = 0; row < list->count(); ++row) {
      const QString text = list->item(row)->text();
      EXPECT_LE(list->fontMetrics().horizontalAdvance(text),
                list->visualItemRect(list->item(row)).width() - 15)
          << text.toStdString();
    }
  }
}

class GridEditingTest : public MainWindowTest {};

TEST_F(GridEditingTest, TypingADateThroughTheMaskedEditor) {
  QWidget* editor = EditRow(summary_row::kLastPrinted);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(qobject_cast<QLineEdit*>(editor)->text(), QStringLiteral("____/__/__ __:__:__"));
  QTest::keyClicks(editor, QStringLiteral("20040131x090500"));
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::qWait(20);  // the grid takes the value once the editor has seen the key
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kLastPrinted),
            codepage::Cp932("2004/01/31 09:05:00"));
  EXPECT_TRUE(dialogs.ShownBoxes().empty());
}

TEST_F(GridEditingTest, AnIncompleteDateIsRefusedAndEscapeRestoresIt) {
  form.ValueListEditor1.SetValueAt(summary_row::kCreated, codepage::Cp932("2001/02/03 04:05:06"));
  QWidget* editor = EditRow(summary_row::kCreated);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, QStringLiteral("2024"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, EditMaskRefusalMessage());
  EXPECT_TRUE(editor->isVisible());
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kCreated),
            codepage::Cp932("2001/02/03 04:05:06"));
}

TEST_F(GridEditingTest, APickListOffersExactlyItsEntriesAndStillTakesTyping) {
  QWidget* editor = EditRow(summary_row::kSecurity);
  auto* combo = qobject_cast<QComboBox*>(editor);
  ASSERT_NE(combo, nullptr);
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
  EXPECT_EQ(entries, (QStringList{"0", "2", "4", "8"}));
  QTest::keyClick(Typed(editor), Qt::Key_Backspace);
  QTest::keyClicks(Typed(editor), QStringLiteral("3"));
  QTest::keyClick(Typed(editor), Qt::Key_Return);
  QTest::qWait(20);
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kSecurity), "3");
}

TEST_F(GridEditingTest, TheRefusalNamesTheFirstCharacterCp932CannotHold) {
  const std::pair<const char*, const char*> pasted[] = {
      {"café", "U+00E9"},  {"Microsoft® Word", "U+00AE"}, {"© 2024", "U+00A9"},
      {"100 €", "U+20AC"}, {"• 項目", "U+2022"},          {"日本 😀 é", "U+1F600"},
  };
  for (const auto& [text, name] : pasted) {
    SCOPED_TRACE(text);
    dialogs.Clear();
    QWidget* editor = EditRow(summary_row::kTitle);
    ASSERT_NE(editor, nullptr);
    QApplication::clipboard()->setText(QString::fromUtf8(text));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
    EXPECT_EQ(dialogs.ShownBoxes()[0].text,
              codepage::Cp932("「") + name +
                  codepage::Cp932("」は使用できない文字です。エスケープキーで変更を取り消せます"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kTitle), "");
  }
}

// Alt+Down opens a pick list, as F4 does; Tab leaves an editor for the next
// control with one press, storing its text.
TEST_F(GridEditingTest, AltDownOpensTheListAndTabMovesOnAtOnce) {
  auto* grid = Find<QTableView>("ValueListEditor1");
  auto* combo = qobject_cast<QComboBox*>(EditRow(summary_row::kSecurity));
  ASSERT_NE(combo, nullptr);
  QTest::keyClick(window.windowHandle(), Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(combo->view()->isVisible());
  EXPECT_EQ(grid->currentIndex().row(), summary_row::kSecurity);
  QTest::keyClick(combo->view(), Qt::Key_Escape);
  EXPECT_FALSE(combo->view()->isVisible());

  QWidget* editor = EditRow(summary_row::kTitle);
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, QStringLiteral("moved on"));
  QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kTitle), "moved on");
  QWidget* next = Find("ValueListEditor5");
  QWidget* focus = QApplication::focusWidget();
  EXPECT_TRUE(focus == next || next->isAncestorOf(focus));
}

// 表示 fills the grids from a document; 変更 writes what was typed into the
// one selected row, and the rest of the file stays as it was.
TEST_F(GridEditingTest, ShowAndChangeADocument) {
  fixture::ScratchDir dir;
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
  const std::string path =
      testing::TestDocument(testing::SummaryWith("title", "author", 3), docSummary)
          .WriteTo(dir, "shown.doc");
  // 2001/02/03 04:05:06 in Tokyo.
  const struct timespec times[2] = {{981140706, 0}, {981140706, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  Type(Find("Edit1"), qt::FromNativePath(path));
  QTest::mouseClick(Find("Button1"), Qt::LeftButton);
  EXPECT_TRUE(dialogs.ShownBoxes().empty());
  auto shown = [this](const char* grid, int row) {
    return Find<QTableView>(grid)->model()->index(row, 1).data().toString();
  };
  EXPECT_EQ(shown("ValueListEditor1", summary_row::kTitle), QStringLiteral("title"));
  EXPECT_EQ(shown("ValueListEditor1", summary_row::kAuthor), QStringLiteral("author"));
  EXPECT_EQ(shown("ValueListEditor1", summary_row::kPageCount), QStringLiteral("3"));
  EXPECT_EQ(shown("ValueListEditor5", 13), QStringLiteral("ACME"));
  EXPECT_EQ(shown("ValueListEditor3", filetime_row::kLastWrite),
            QStringLiteral("2001/02/03 04:05:06"));

  for (CheckListBox* list : {&form.CheckListBox1, &form.CheckListBox2, &form.CheckListBox3}) {
    for (int i = 0; i < list->Count(); ++i) list->SetChecked(i, false);
  }
  const std::string docSummaryBefore = testing::StreamOf(path, testing::kDocSummaryStream);
  QWidget* editor = EditRow(summary_row::kAuthor);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  Type(editor, QStringLiteral("新しい作成者"));
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::qWait(20);
  dialogs.QueueAnswer(true);
  QTest::mouseClick(Find("Button2"), Qt::LeftButton);
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, UpdateQuestion());
  EXPECT_EQ(testing::StreamOf(path, testing::kSummaryStream),
            test::BuildStream({testing::SummaryWith("title", codepage::Cp932("新しい作成者"), 3)}));
  EXPECT_EQ(testing::StreamOf(path, testing::kDocSummaryStream), docSummaryBefore);
  EXPECT_EQ(shown("ValueListEditor1", summary_row::kAuthor), QStringLiteral("新しい作成者"));
}

TEST_F(GridEditingTest, ReadOnlyRowsRefuseTheUserButShowWhatTheProgramWrites) {
  auto* grid = Find<QTableView>("ValueListEditor1");
  form.ValueListEditor1.SetValueAt(summary_row::kTitle, "abc");
  QModelIndex title = grid->model()->index(summary_row::kTitle, 1);
  EXPECT_EQ(grid->model()->data(title).toString(), QStringLiteral("abc"));
  EXPECT_FALSE(grid->model()->flags(title) & Qt::ItemIsEditable);
  EXPECT_FALSE(grid->model()->setData(title, QStringLiteral("x")));
  EXPECT_EQ(form.ValueListEditor1.Value(summary_row::kTitle), "abc");
}

// Closes each message box that opens with its only button, or with its
// escape button when it asks a question, once the box is the active window:
// by then its opening has taken the focus from the window. Keeps each text.
class BoxCloser {
 public:
  BoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || QApplication::activeWindow() != box) return;
      texts_ << box->text();
      QList<QAbstractButton*> buttons = box->buttons();
      (buttons.size() == 1 ? buttons.front() : box->escapeButton())->click();
    });
    timer_.start(0);
  }
  const QStringList& Texts() const { return texts_; }

 private:
  QTimer timer_;
  QStringList texts_;
};

class RealBoxTest : public FormWindowTest<qt::QtDialogs> {
 protected:
  // Input as the window system delivers it, focus changes and all.
  void Click(QWidget* widget, QPoint at) {
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, widget->mapTo(&window, at));
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window.windowHandle(), key, modifiers);
  }
};

// Every way out of a cell whose text cannot be stored shows the refusal
// once and leaves the user in the editor with the text as typed, until
// Escape gives the cell back its value.
TEST_F(RealBoxTest, EveryWayOutOfARefusedCellRefusesOnceAndKeepsTheEditor) {
  struct Refused {
    int row;
    const char* typed;
    QString shown;  // what the editor holds once typed
    QString message;
  };
  const QString unfinished = qt::FromCp932(EditMaskRefusalMessage());
  const Refused cells[] = {
      {summary_row::kCreated, "2024", QStringLiteral("2024/__/__ __:__:__"), unfinished},
      {summary_row::kEditTime, "1", QStringLiteral("1_:__:__ & ____日"), unfinished},
      {summary_row::kTitle, "café", QStringLiteral("café"),
       QStringLiteral("「U+00E9 (é)」は使用できない文字です。エスケープキーで変更を取り消せます")},
  };
  auto* grid = Find<QTableView>("ValueListEditor1");
  auto* pages = Find<QTabWidget>("PageControl1");
  auto* tabs = pages->findChild<QTabBar*>();
  const std::pair<const char*, std::function<void()>> waysOut[] = {
      {"Enter", [&] { Key(Qt::Key_Return); }},
      {"Tab", [&] { Key(Qt::Key_Tab); }},
      {"Shift+Tab", [&] { Key(Qt::Key_Backtab, Qt::ShiftModifier); }},
      {"Up", [&] { Key(Qt::Key_Up); }},
      {"Down", [&] { Key(Qt::Key_Down); }},
      {"click on another cell",
       [&] {
         QModelIndex other = grid->model()->index(summary_row::kAuthor, 1);
         Click(grid->viewport(), grid->visualRect(other).center());
       }},
      {"click on a button",
       [&] {
         Click(Find("Button1"), {10, 10});
       }},
      {"Page Down", [&] { Key(Qt::Key_PageDown); }},
      {"click on another page's tab", [&] { Click(tabs, tabs->tabRect(1).center()); }},
      {"Ctrl+Tab", [&] { Key(Qt::Key_Tab, Qt::ControlModifier); }},
      {"the wheel over the page tabs",
       [&] {
         const QPointF at = tabs->tabRect(0).center();
         QWheelEvent wheel(at, tabs->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                           Qt::NoScrollPhase, false);
         QApplication::sendEvent(tabs, &wheel);
       }},
      {"closing the window", [&] { window.close(); }},
  };
  for (const Refused& cell : cells) {
    const std::string before = form.ValueListEditor1.Value(cell.row);
    for (const auto& [way, leave] : waysOut) {
      SCOPED_TRACE(std::string(way) + " from row " + std::to_string(cell.row));
      QPointer<QWidget> editor = EditRow(cell.row);
      ASSERT_TRUE(editor);
      QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
      Type(editor, QString::fromUtf8(cell.typed));
      std::optional<BoxCloser> closer(std::in_place);
      leave();
      QStringList texts = closer->Texts();
      closer.reset();
      EXPECT_EQ(texts, QStringList{cell.message});
      // As a window manager does once the box has gone.
      window.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
      ASSERT_TRUE(editor);
      EXPECT_TRUE(editor->isVisible());
      EXPECT_EQ(QApplication::focusWidget(), editor.data());
      EXPECT_EQ(qobject_cast<QLineEdit*>(editor.data())->text(), cell.shown);
      EXPECT_EQ(grid->currentIndex().row(), cell.row);
      EXPECT_EQ(pages->currentIndex(), 0);
      EXPECT_TRUE(window.isVisible());
      Key(Qt::Key_Escape);
      EXPECT_EQ(form.ValueListEditor1.Value(cell.row), before);
    }
  }
}

TEST_F(MainWindowTest, TheAboutBoxOpensModallyClosesWithEnterAndOpensAgain) {
  for (int round = 0; round < 2; ++round) {
    bool sawModal = false;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      sawModal = dialog->isModal() && dialog->isVisible();
      EXPECT_EQ(dialog->windowTitle(), QStringLiteral("バージョン情報"));
      EXPECT_EQ(dialog->size(), QSize(254, 161));
      auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OKButton"));
      ASSERT_NE(ok, nullptr);
      EXPECT_TRUE(ok->isDefault());
      EXPECT_EQ(ok->geometry(), QRect(87, 124, 75, 25));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    window.menuBar()->actions()[0]->menu()->actions()[1]->trigger();
    EXPECT_TRUE(sawModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST_F(MainWindowTest, TheCloseButtonClosesLikeTheCloseBoxOnceConfirmed) {
  dialogs.QueueAnswer(false);
  QTest::mouseClick(Find("Button8"), Qt::LeftButton);
  EXPECT_TRUE(window.isVisible());
  dialogs.QueueAnswer(false);
  window.close();  // the close box asks the same question
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(dialogs.ShownBoxes().size(), 2u);
  EXPECT_EQ(dialogs.ShownBoxes()[1].text, codepage::Cp932("終了しますか？"));
  dialogs.QueueAnswer(true);
  QTest::mouseClick(Find("Button8"), Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AMissingHelpFileIsNamedInAMessage) {
  window.menuBar()->actions()[0]->menu()->actions()[0]->trigger();
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_NE(dialogs.ShownBoxes()[0].text.find("/opt/tavrin/tavrin.hlp"), std::string::npos);
}

TEST_F(MainWindowTest, FolderViewsFollowEachOtherAndRenameInPlace) {
  fixture::ScratchDir dir;
  std::filesystem::create_directory(dir.path() / "sub");
  std::ofstream(dir.path() / "one.doc") << "1";
  std::ofstream(dir.path() / "two.doc") << "2";
  auto* combo = Find<QComboBox>("ShellComboBox1");
  auto* list = Find<QTreeWidget>("ShellListView1");
  EXPECT_EQ(combo->lineEdit()->text(), QStringLiteral("コンピュータ"));

  form.ShellComboBox1.SetPath(dir.path().string());
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(combo->lineEdit()->text(), qt::FromNativePath(dir.path().string()));
  list->topLevelItem(1)->setSelected(true);
  list->topLevelItem(2)->setSelected(true);
  EXPECT_FALSE(form.ShellListView1.Selected(0));
  EXPECT_TRUE(form.ShellListView1.Selected(1));
  EXPECT_TRUE(form.ShellListView1.Selected(2));

  list->topLevelItem(1)->setText(0, QStringLiteral("two.doc"));  // taken: refused
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "one.doc"));
  list->topLevelItem(1)->setText(0, QStringLiteral("uno.doc"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "uno.doc"));

  emit list->itemActivated(list->topLevelItem(0), 0);  // open "sub"
  EXPECT_EQ(form.ShellComboBox1.Path(), (dir.path() / "sub").string());
  EXPECT_EQ(combo->lineEdit()->text(), qt::FromNativePath((dir.path() / "sub").string()));
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(MainWindowTest, TheFileNameBoxKeepsThePathsOwnBytes) {
  auto* edit = Find<QLineEdit>("Edit1");
  edit->setFocus();
  for (QChar ch : QStringLiteral("/tmp/Grüße.doc")) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(edit, &press);
  }
  EXPECT_EQ(form.Edit1.Text(),
            "/tmp/Gr\xC3\xBC\xC3\x9F"
            "e.doc");
  // Enter shows the file named, as the show button does.
  dialogs.Clear();
  QTest::keyClick(edit, Qt::Key_Return);
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, codepage::Cp932("ファイルが見つかりません"));

  // So does a file dropped on the window, its name's bytes kept even where
  // they are no UTF-8.
  dialogs.Clear();
  window.SetOnFilesDropped(
      [this](const std::vector<std::string>& paths) { form.OpenFiles(paths); });
  QMimeData dropped;
  dropped.setUrls({QUrl(QStringLiteral("file:///tmp/caf%E9.doc"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  QCoreApplication::processEvents();
  EXPECT_EQ(form.Edit1.Text(), "/tmp/caf\xE9.doc");
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, codepage::Cp932("ファイルが見つかりません"));
}

TEST(QtTranslation, QtsOwnTextsSpeakJapanese) {
  ASSERT_TRUE(qt::InstallJapaneseTranslation(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
}

}  // namespace
}  // namespace tavrin
