#pragma once

#include <functional>
#include <string>

#include "platform/controls/Control.h"

namespace tavrin {

// A menu of the window's menu bar, or an item of one: its children are its
// items, in order.
class MenuItem : public Control {
 public:
  using Control::Control;

  void SetOnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
  void Click() const {
    if (Enabled() && onClick_) onClick_();
  }

 private:
  std::function<void()> onClick_;
};

class MainMenu : public Control {
 public:
  using Control::Control;
};

}  // namespace tavrin
