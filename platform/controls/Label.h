#pragma once

#include "platform/controls/Control.h"

namespace tavrin {

class Label : public Control {
 public:
  using Control::Control;
};

}  // namespace tavrin
