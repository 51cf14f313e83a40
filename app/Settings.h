#pragma once
// The settings file: which rows are selected in the three check lists, the
// target file name and the batch page's folder, kept from one run to the
// next. Read once while the window is created, written once when the user
// confirms closing it.

#include <string>

#include "grids/GridPair.h"
#include "platform/Dialogs.h"
#include "platform/PrivateProfile.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/Edit.h"
#include "platform/controls/ShellComboBox.h"

namespace tavrin {

// The controls whose state the settings file keeps.
struct SettingsControls {
  CheckListBox& summaryList;
  GridPair summaryGrids;
  CheckListBox& fileTimeList;
  GridPair fileTimeGrids;
  CheckListBox& docSummaryList;
  GridPair docSummaryGrids;
  Edit& fileName;
  ShellComboBox& folder;
};

// Where a file that lives beside the program is kept: beside the
// executable, named after it with `extension`, when the program has a
// folder of its own that can be written; otherwise, for a program installed
// in a bin folder (/usr/bin, /usr/local/bin, whoever runs it) or where its
// folder is not writable, in the user's configuration folder
// ($XDG_CONFIG_HOME/tavrin, else ~/.config/tavrin, made when missing) under
// the same name.
std::string ProgramFilePath(const std::string& executablePath, const std::string& extension);

// Start-up: the selections with their read-only consequences, the file
// name and the folder. Paths are stored as the system's own bytes, while the
// keys are CP932; a path written by hand in CP932 is read so when its bytes
// name nothing and its CP932 reading names a file or folder. A stored folder
// that no longer exists is reported in the general error report, and the
// rest of start-up goes on.
void ReadSettings(const ProfileReader& settings, SettingsControls controls, Dialogs& dialogs);

// Closing: asks "終了しますか？" and writes everything. False when the user
// cancels, or when a write fails (reported with the file's path); the window
// then stays open.
bool CloseQuery(const std::string& path, SettingsControls controls, Dialogs& dialogs);

}  // namespace tavrin
