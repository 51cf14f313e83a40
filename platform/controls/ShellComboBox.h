#pragma once

#include <functional>
#include <string>

#include "platform/controls/Control.h"

namespace tavrin {

// The folder combo box: the folder it shows, as a native path; the empty
// path is the computer. Its drop-down lists the chain from the computer down
// to that folder (FolderChain) and the computer's volumes.
class ShellComboBox : public Control {
 public:
  using Control::Control;

  const std::string& Path() const { return path_; }
  // Shows `path` and tells the linked list view.
  void SetPath(std::string path) {
    path_ = std::move(path);
    NotifyChanged();
    if (onChange_) onChange_();
  }
  void SetOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

  int DropDownCount() const { return 8; }

 private:
  std::string path_;
  std::function<void()> onChange_;
};

}  // namespace tavrin
