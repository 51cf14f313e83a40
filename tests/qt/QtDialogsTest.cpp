#include "platform/qt/QtDialogs.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/CodePage.h"
#include "qt/QtTestEnvironment.h"

namespace tavrin::qt {
namespace {

struct SeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString defaultButton;
};

// Looks at the box that `show` opens, then closes it with `key`.
SeenBox Inspect(const std::function<void()>& show, Qt::Key key) {
  SeenBox seen;
  QTimer::singleShot(30, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
    if (box->defaultButton() != nullptr) seen.defaultButton = box->defaultButton()->text();
    QTest::keyClick(box, key);
  });
  show();
  return seen;
}

TEST(QtDialogs, BoxesHaveTheirCaptionsIconsButtonsAndAnswers) {
  QtDialogs dialogs("tavrin");
  bool answer = true;
  SeenBox confirm =
      Inspect([&] { answer = dialogs.Confirm(codepage::Cp932("更新しますか？")); }, Qt::Key_Escape);
  EXPECT_FALSE(answer);
  EXPECT_EQ(confirm.caption, QStringLiteral("確認"));
  EXPECT_EQ(confirm.text, QStringLiteral("更新しますか？"));
  EXPECT_EQ(confirm.icon, QMessageBox::Question);
  EXPECT_TRUE(confirm.buttons.contains(QStringLiteral("OK")));
  EXPECT_TRUE(confirm.buttons.contains(QStringLiteral("キャンセル")));
  EXPECT_EQ(confirm.defaultButton, QStringLiteral("OK"));

  Inspect([&] { answer = dialogs.Confirm("x"); }, Qt::Key_Return);
  EXPECT_TRUE(answer);

  SeenBox warn = Inspect([&] { answer = dialogs.Warn("x"); }, Qt::Key_Escape);
  EXPECT_FALSE(answer);
  EXPECT_EQ(warn.caption, QStringLiteral("警告"));
  EXPECT_EQ(warn.icon, QMessageBox::Warning);
  EXPECT_EQ(warn.defaultButton, QStringLiteral("はい(&Y)"));
  EXPECT_TRUE(warn.buttons.contains(QStringLiteral("いいえ(&N)")));

  SeenBox message = Inspect(
      [&] { dialogs.Message(codepage::Cp932("Error PropSetStg.Open\r\nHResult = $80030002")); },
      Qt::Key_Return);
  EXPECT_EQ(message.caption, QStringLiteral("tavrin"));
  EXPECT_EQ(message.icon, QMessageBox::NoIcon);
  EXPECT_EQ(message.text, QStringLiteral("Error PropSetStg.Open\nHResult = $80030002"));
  EXPECT_EQ(message.buttons.size(), 1);

  SeenBox error = Inspect([&] { dialogs.ReportError("bad"); }, Qt::Key_Return);
  EXPECT_EQ(error.icon, QMessageBox::Critical);
  EXPECT_EQ(error.caption, QStringLiteral("tavrin"));
}

// A message can only name a character CP932 lacks; the box shows it too.
TEST(QtDialogs, ACharacterAMessageCanOnlyNameIsShownBesideItsName) {
  QtDialogs dialogs("tavrin");
  SeenBox seen = Inspect(
      [&] {
        dialogs.Message(
            codepage::Cp932("「U+00E9」 U+1F600\r\nU+0041 U+D800 U+200B U+110000 U+00e9"));
      },
      Qt::Key_Return);
  EXPECT_EQ(seen.text,
            QStringLiteral("「U+00E9 (é)」 U+1F600 (😀)\nU+0041 U+D800 U+200B U+110000 U+00e9"));
}

}  // namespace
}  // namespace tavrin::qt
