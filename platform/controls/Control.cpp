#include "platform/controls/Control.h"

namespace tavrin {

Control::Control(std::string name, Control* parent, Rect bounds)
    : name_(std::move(name)), parent_(parent), bounds_(bounds) {
  if (parent_ == nullptr) return;
  // Room for a typical group's children at once, rather than growing by
  // doubling: a form of eighty controls is built for every file a batch shows.
  if (parent_->children_.empty()) parent_->children_.reserve(8);
  parent_->children_.push_back(this);
}

void Control::SetBounds(Rect bounds) {
  bounds_ = bounds;
  NotifyChanged();
}

void Control::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  NotifyChanged();
}

const Font& Control::EffectiveFont() const {
  static const Font kDefault;
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (c->font_) return *c->font_;
  }
  return kDefault;
}

void Control::SetFont(Font font) {
  font_ = std::move(font);
  NotifyChanged();
}

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  NotifyChanged();
}

void Control::NotifyChanged() const {
  if (listener_) listener_();
}

}  // namespace tavrin
