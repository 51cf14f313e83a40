#pragma once
// Showing and changing a file's three times in a file-time grid, whose rows
// run creation, last write, last access.

#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

// Shows the times of `path` in `grid`. When they cannot be read the three
// rows are emptied, so that no value shows that was not read from this file,
// and one message says why.
void GetFileDate(const std::string& path, ValueListEditor& grid, Dialogs& dialogs);

// Messages a command shows at most once, however many files it changes. A
// command starts with a fresh one.
struct OnceEachCommand {
  bool creationTimeNotSettableShown = false;
};

// The message for a creation time that this file system cannot change.
const std::string& CreationTimeNotSettableMessage();

// Sets the times of `path` whose items of `selection` are checked to the
// texts of their rows in `grid`; the others stay exactly as they are, and so
// does a checked time holding the zero text or the text this file's time
// shows now (to the nanosecond, where the grid shows whole seconds).
//
// A checked row whose text is no date and time raises ConversionError before
// anything is changed. When the file cannot be opened for writing or its
// times cannot be read or set, nothing changes and one message says so:
// "Error CreateFile", "Error GetFileTime" or "Error SetFileTime", a line
// break and the HRESULT text; a time the file system cannot hold (it would
// keep another one) is "Error SetFileTime" with E_INVALIDARG. A creation
// time that differs from the file's on a file system that cannot take one
// leaves the creation time alone, the other two are still set, and the user
// is told once per command.
void SetFileDate(const std::string& path, const ValueListEditor& grid,
                 const CheckListBox& selection, Dialogs& dialogs, OnceEachCommand& once);

}  // namespace tavrin
