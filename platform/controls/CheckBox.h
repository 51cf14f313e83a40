#pragma once

#include "platform/controls/Control.h"

namespace tavrin {

class CheckBox : public Control {
 public:
  using Control::Control;

  bool Checked() const { return checked_; }
  void SetChecked(bool checked) {
    checked_ = checked;
    NotifyChanged();
  }
  // The user clicked the box.
  void Toggle() {
    if (Enabled()) SetChecked(!checked_);
  }

 private:
  bool checked_ = false;
};

}  // namespace tavrin
