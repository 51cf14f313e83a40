#pragma once

#include <QLineEdit>
#include <optional>
#include <string>

#include "platform/controls/EditMask.h"

namespace tavrin::qt {

// A line edit that works on a fixed template: every key goes to the edit
// mask session, and the session's display text is what the box shows.
class MaskedLineEdit : public QLineEdit {
 public:
  MaskedLineEdit(std::string mask, QWidget* parent);

  // Starts editing a cell that holds `cp932` (also a value chosen from a
  // drop-down, which then counts as the cell's text).
  void Load(const std::string& cp932);
  // The text to store, or nothing while a required position is empty.
  std::optional<std::string> Commit();
  bool Modified() const { return session_.Modified(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void Render();
  void Paste();

  std::string mask_;
  EditMaskSession session_;
};

}  // namespace tavrin::qt
