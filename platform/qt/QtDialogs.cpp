#include "platform/qt/QtDialogs.h"

#include <QMessageBox>
#include <QPushButton>

#include "platform/CodePage.h"
#include "platform/qt/QtText.h"

namespace tavrin::qt {
namespace {

QString Text(std::string_view cp932) {
  return FromCp932(std::string(cp932));
}

// Messages end their lines with CR LF; the box wants LF alone. A character
// the message could only name, the box shows.
QString BoxText(std::string_view cp932) {
  QString text = ShowNamedCharacters(Text(cp932));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// Two buttons, the first the default, the second also answering Escape and
// the close box. True when the first was pressed.
bool Ask(QWidget* parent, QMessageBox::Icon icon, const std::string& caption, std::string_view text,
         const char* acceptUtf8, const char* rejectUtf8) {
  QMessageBox box(icon, FromCp932(caption), BoxText(text), QMessageBox::NoButton, parent);
  QPushButton* accept = box.addButton(QString::fromUtf8(acceptUtf8), QMessageBox::AcceptRole);
  QPushButton* reject = box.addButton(QString::fromUtf8(rejectUtf8), QMessageBox::RejectRole);
  box.setDefaultButton(accept);
  box.setEscapeButton(reject);
  box.exec();
  return box.clickedButton() == accept;
}

}  // namespace

void QtDialogs::Message(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, FromCp932(title_), BoxText(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtDialogs::Confirm(std::string_view text) {
  return Ask(parent_, QMessageBox::Question, ConfirmCaption(), text, "OK", "キャンセル");
}

bool QtDialogs::Warn(std::string_view text) {
  return Ask(parent_, QMessageBox::Warning, WarningCaption(), text, "はい(&Y)", "いいえ(&N)");
}

void QtDialogs::ReportError(std::string_view text) {
  QMessageBox box(QMessageBox::Critical, FromCp932(title_), BoxText(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}

}  // namespace tavrin::qt
