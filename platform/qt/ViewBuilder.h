#pragma once
// Builds the Qt views of a tree of controls: one widget per control, named
// after it, at the control's place, showing its state and reporting the
// user's actions to it.

#include <QWidget>

#include "platform/Dialogs.h"
#include "platform/controls/Control.h"

namespace tavrin::qt {

// The view of `control` and its children, inside `parent`; menus and
// dialogs-in-waiting (the file dialog) have no widget and give nullptr.
QWidget* BuildView(Control& control, QWidget* parent, Dialogs& dialogs);

// Views of the children of `control` inside `parent`.
void BuildChildViews(Control& control, QWidget* parent, Dialogs& dialogs);

}  // namespace tavrin::qt
