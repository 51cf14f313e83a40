#include "platform/controls/CheckListBox.h"

namespace tavrin {

void CheckListBox::AddItem(std::string caption) {
  items_.emplace_back().caption = std::move(caption);
  NotifyChanged();
}

void CheckListBox::SetChecked(int index, bool checked) {
  items_.at(Index(index)).checked = checked;
  NotifyChanged();
}

void CheckListBox::SetItemEnabled(int index, bool enabled) {
  items_.at(Index(index)).enabled = enabled;
  NotifyChanged();
}

bool CheckListBox::UserToggle(int index) {
  if (index < 0 || index >= Count() || !Enabled() || !ItemEnabled(index)) return false;
  SetChecked(index, !Checked(index));
  if (onClickCheck_) onClickCheck_();
  return true;
}

}  // namespace tavrin
