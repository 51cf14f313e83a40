#pragma once

#include "platform/controls/Control.h"

namespace tavrin {

// A plain container with a sunken bevel.
class Panel : public Control {
 public:
  using Control::Control;
};

// A picture, stretched to the control's size. The picture is named by a
// resource path that the view resolves.
class Image : public Control {
 public:
  using Control::Control;
  const std::string& Resource() const { return resource_; }
  void SetResource(std::string resource) { resource_ = std::move(resource); }

 private:
  std::string resource_;
};

}  // namespace tavrin
