#pragma once

#include "platform/WindowHost.h"

namespace tavrin {

// The window system of a form that has no window (the command-line front
// end, benchmarks): nothing to show, nothing to close.
class HeadlessWindowHost : public WindowHost {
 public:
  void ShowModal(Control&) override {}
  void RequestClose() override {}
  void ShowHelpContents(const std::string&) override {}
  void ShowProgress(int, int) override {}
};

}  // namespace tavrin
