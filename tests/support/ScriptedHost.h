#pragma once

#include <string>
#include <vector>

#include "platform/WindowHost.h"
#include "platform/controls/Control.h"

namespace tavrin::testing {

// Records what a form asked of the window system.
class ScriptedHost : public WindowHost {
 public:
  void ShowModal(Control& dialog) override { modals.push_back(dialog.Name()); }
  void RequestClose() override { ++closeRequests; }
  void ShowHelpContents(const std::string& helpFile) override { helpFiles.push_back(helpFile); }

  std::vector<std::string> modals;
  std::vector<std::string> helpFiles;
  int closeRequests = 0;
};

}  // namespace tavrin::testing
