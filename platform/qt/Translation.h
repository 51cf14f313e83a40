#pragma once
// Qt's own texts in Japanese: the buttons and labels of the file dialog, the
// editors' context menus, the standard buttons.

class QCoreApplication;

namespace tavrin::qt {

// Loads Qt's Japanese translation, whatever the user's locale: the whole
// interface is Japanese. False when it is not installed (Qt's texts then
// stay in English).
bool InstallJapaneseTranslation(QCoreApplication& application);

}  // namespace tavrin::qt
