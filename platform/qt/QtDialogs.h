#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "platform/Dialogs.h"

namespace tavrin::qt {

// The message, question and error boxes as real modal boxes.
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(std::string programTitle) : title_(std::move(programTitle)) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Message(std::string_view text) override;
  bool Confirm(std::string_view text) override;
  bool Warn(std::string_view text) override;
  void ReportError(std::string_view text) override;

 private:
  std::string title_;
  QPointer<QWidget> parent_;
};

}  // namespace tavrin::qt
