#pragma once

#include <vector>

#include "platform/controls/Control.h"

namespace tavrin {

class TabSheet : public Control {
 public:
  using Control::Control;
};

class PageControl : public Control {
 public:
  using Control::Control;

  // Pages are the TabSheet children, in the order they were created.
  std::vector<TabSheet*> Pages() const {
    std::vector<TabSheet*> pages;
    for (Control* child : Children()) {
      if (auto* page = dynamic_cast<TabSheet*>(child)) pages.push_back(page);
    }
    return pages;
  }
  int ActivePageIndex() const { return active_; }
  void SetActivePageIndex(int index) {
    active_ = index;
    NotifyChanged();
  }

 private:
  int active_ = 0;
};

}  // namespace tavrin
