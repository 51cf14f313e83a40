#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/controls/Control.h"

namespace tavrin {

// The file-open dialog. It keeps the last file name the user confirmed for
// the rest of the run, and opens in its initial folder, or else in the
// folder of that name. What asks the user is set by the window (a real
// dialog) or by a test (a scripted answer); paths are native bytes.
class OpenDialog : public Control {
 public:
  using Picker = std::function<std::optional<std::string>(const std::string& folder,
                                                          const std::string& fileName)>;
  using Control::Control;

  const std::string& FileName() const { return fileName_; }
  void SetPicker(Picker picker) { picker_ = std::move(picker); }
  void SetInitialDir(std::string folder) { initialDir_ = std::move(folder); }

  // Asks for a file; true when the user confirmed one.
  bool Execute() {
    if (!picker_) return false;
    std::optional<std::string> chosen = picker_(initialDir_, fileName_);
    if (!chosen) return false;
    fileName_ = std::move(*chosen);
    return true;
  }

 private:
  std::string fileName_;
  std::string initialDir_;
  Picker picker_;
};

}  // namespace tavrin
