#pragma once

#include <functional>
#include <string>

#include "platform/controls/Control.h"

namespace tavrin {

// A one-line text box. Its text is CP932 like every other text, except in a
// box that holds a file name: there it is the system's own bytes, so that no
// path is ever bent through a code page it may not fit.
class Edit : public Control {
 public:
  using Control::Control;

  bool HoldsFileName() const { return holdsFileName_; }
  void SetHoldsFileName(bool holdsFileName) { holdsFileName_ = holdsFileName; }

  const std::string& Text() const { return text_; }
  void SetText(std::string text) {
    text_ = std::move(text);
    NotifyChanged();
  }

  // What the Enter key in the box does; nothing unless a handler is set.
  void SetOnReturnPressed(std::function<void()> handler) { onReturnPressed_ = std::move(handler); }
  void PressReturn() {
    if (onReturnPressed_) onReturnPressed_();
  }

 private:
  std::string text_;
  bool holdsFileName_ = false;
  std::function<void()> onReturnPressed_;
};

}  // namespace tavrin
