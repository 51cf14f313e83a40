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
  void ShowProgress(int done, int total) override { progress.emplace_back(done, total); }

  std::vector<std::string> modals;
  std::vector<std::string> helpFiles;
  std::vector<std::pair<int, int>> progress;
  int closeRequests = 0;
};

}  // namespace tavrin::testing
