#pragma once

#include <functional>

#include "platform/controls/Control.h"

namespace tavrin {

class Button : public Control {
 public:
  using Control::Control;

  void SetOnClick(std::function<void()> handler) { onClick_ = std::move(handler); }

  // The default button of its dialog answers Enter.
  bool IsDefault() const { return default_; }
  void SetDefault(bool isDefault) { default_ = isDefault; }
  // Non-zero: pressing the button closes its modal dialog with this result.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // The user pressed the button; a disabled button does nothing.
  void Click() const {
    if (Enabled() && onClick_) onClick_();
  }

 private:
  std::function<void()> onClick_;
  bool default_ = false;
  int modalResult_ = 0;
};

}  // namespace tavrin
