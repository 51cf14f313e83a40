#pragma once

#include "platform/controls/Control.h"

namespace tavrin {

class GroupBox : public Control {
 public:
  using Control::Control;
};

}  // namespace tavrin
