#include "platform/qt/MaskedLineEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>

#include "platform/CodePage.h"
#include "platform/qt/QtText.h"

namespace tavrin::qt {
namespace {

// The display text is CP932 with one- and two-byte characters; each is one
// UTF-16 unit on screen.
int IndexOfOffset(const std::string& cp932, std::size_t offset) {
  int index = 0;
  for (std::size_t i = 0; i < offset && i < cp932.size(); i += codepage::CharLength(cp932, i)) {
    ++index;
  }
  return index;
}

std::size_t OffsetOfIndex(const std::string& cp932, int index) {
  std::size_t offset = 0;
  for (int i = 0; i < index && offset < cp932.size(); ++i) {
    offset += codepage::CharLength(cp932, offset);
  }
  return offset;
}

}  // namespace

MaskedLineEdit::MaskedLineEdit(std::string mask, QWidget* parent)
    : QLineEdit(parent), mask_(std::move(mask)), session_(mask_, {}) {
  Render();
}

void MaskedLineEdit::Load(const std::string& cp932) {
  session_ = EditMaskSession(mask_, cp932);
  Render();
}

std::optional<std::string> MaskedLineEdit::Commit() {
  std::optional<std::string> text = session_.Commit();
  Render();
  return text;
}

void MaskedLineEdit::Render() {
  std::string display = session_.DisplayText();
  setText(FromCp932(display));
  auto [begin, end] = session_.SelectionOffsets();
  if (begin != end) {
    int from = IndexOfOffset(display, begin);
    int to = IndexOfOffset(display, end);
    bool caretAtEnd = session_.CursorOffset() == end;
    setSelection(caretAtEnd ? from : to, caretAtEnd ? to - from : from - to);
  } else {
    setCursorPosition(IndexOfOffset(display, session_.CursorOffset()));
  }
}

void MaskedLineEdit::Paste() {
  std::optional<std::string> text = ToCp932(QApplication::clipboard()->text());
  if (!text || !session_.Paste(*text)) QApplication::beep();
}

void MaskedLineEdit::keyPressEvent(QKeyEvent* event) {
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  bool handled = true;
  bool accepted = true;
  if (event->matches(QKeySequence::SelectAll)) {
    session_.SelectAll();
  } else if (event->matches(QKeySequence::Paste)) {
    Paste();
  } else {
    switch (event->key()) {
      case Qt::Key_Left:
        session_.Left(shift);
        break;
      case Qt::Key_Right:
        session_.Right(shift);
        break;
      case Qt::Key_Home:
        session_.Home(shift);
        break;
      case Qt::Key_End:
        session_.End(shift);
        break;
      case Qt::Key_Backspace:
        accepted = session_.Backspace();
        break;
      case Qt::Key_Delete:
        accepted = session_.Delete();
        break;
      default: {
        QString text = event->text();
        bool printable = text.size() == 1 && text.at(0).isPrint();
        if (!printable || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
          handled = false;
        } else if (text.at(0).unicode() < 0x80) {
          accepted = session_.Type(static_cast<char>(text.at(0).unicode()));
        } else {
          accepted = false;
        }
      }
    }
  }
  if (!handled) {
    // Enter, Escape, Tab and the vertical arrows belong to the grid.
    event->ignore();
    return;
  }
  if (!accepted) QApplication::beep();
  Render();
  event->accept();
}

void MaskedLineEdit::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  std::string display = session_.DisplayText();
  session_.PlaceCursor(OffsetOfIndex(display, cursorPositionAt(event->position().toPoint())),
                       event->modifiers() & Qt::ShiftModifier);
  Render();
}

void MaskedLineEdit::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  std::string display = session_.DisplayText();
  session_.PlaceCursor(OffsetOfIndex(display, cursorPositionAt(event->position().toPoint())), true);
  Render();
}

void MaskedLineEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  Render();
}

}  // namespace tavrin::qt
