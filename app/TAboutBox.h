#pragma once

#include "platform/controls/Button.h"
#include "platform/controls/Label.h"
#include "platform/controls/Panel.h"

namespace tavrin {

// The About box: product name, version and attribution, closed by OK.
class TAboutBox : public Control {
 public:
  static constexpr int kModalOk = 1;

  TAboutBox();

  Panel Panel1;
  Image ProgramIcon;
  Label ProductName;
  Label Version;
  Label Copyright;
  Button OKButton;
};

}  // namespace tavrin
