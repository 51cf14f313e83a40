#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/Control.h"

namespace tavrin {

// A list of items, each with a check box that can be checked and an enabled
// flag. Only a toggle by the user runs the click-check handler; the program
// sets check states without it.
class CheckListBox : public Control {
 public:
  using Control::Control;

  void AddItem(std::string caption);
  int Count() const { return static_cast<int>(items_.size()); }
  // Room for `items` items, so that a list filled once is allocated once.
  void ReserveItems(int items) { items_.reserve(static_cast<std::size_t>(items)); }
  const std::string& Item(int index) const { return items_.at(Index(index)).caption; }

  bool Checked(int index) const { return items_.at(Index(index)).checked; }
  void SetChecked(int index, bool checked);

  bool ItemEnabled(int index) const { return items_.at(Index(index)).enabled; }
  void SetItemEnabled(int index, bool enabled);

  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int pixels) { itemHeight_ = pixels; }

  void SetOnClickCheck(std::function<void()> handler) { onClickCheck_ = std::move(handler); }

  // The user toggled item `index` (mouse or keyboard). A disabled item, or a
  // disabled list, ignores it. Returns whether the item changed.
  bool UserToggle(int index);

 private:
  struct ItemState {
    std::string caption;
    bool checked = false;
    bool enabled = true;
  };
  static std::size_t Index(int index) { return static_cast<std::size_t>(index); }

  std::vector<ItemState> items_;
  int itemHeight_ = 13;
  std::function<void()> onClickCheck_;
};

}  // namespace tavrin
