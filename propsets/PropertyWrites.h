#pragma once
// Writing the selected rows of a grid into a document's two property sets.
//
// Every property is read and written back; only the value parts of the
// selected rows' entries change, never a type tag. A property the set lacks
// whose row's text differs from the empty text shown for it is offered under
// the row's standard type: a package's set adds it, a compound file's set
// ignores it, so there it stays absent. The thumbnail, heading pairs and titles of parts go
// back exactly as read. A selected row whose text is what this file's read
// shows for its property keeps the stored value byte for byte: that is how a
// row the user did not change, or a batch default equal to a file's own
// value, leaves the file alone.
//
// The value a row's text becomes, by the type the property has in the file:
//
//   row          standard type   also written into
//   string       VT_LPSTR        VT_LPWSTR (the text as UTF-16)
//   count        VT_I4           VT_INT; VT_I2, VT_UI2, VT_UI4, VT_UINT when
//                                the number fits the type
//   date, time   VT_FILETIME     -
//   yes/no       VT_BOOL         -
//
// Any other type (a vector, a blob, a number that does not fit, a text the
// wide conversion cannot take) keeps the value read: a tag must never be
// written with a value that means something else under it. Like a property
// the set lacks, this is not reported. Each selected row's text is still
// converted first (unless it is kept as read), so a text that is no number or
// date raises ConversionError and nothing of the set is written.

#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/ValueListEditor.h"
#include "propsets/AccessFrame.h"

namespace tavrin {

// The 18 Summary Information properties (PROPIDs 2 to 19) from `grid`, the
// rows checked in `selection` replaced.
SetWrite SetDocumentProperties(const std::string& path, const ValueListEditor& grid,
                               const CheckListBox& selection, Dialogs& dialogs);

// The 15 Document Summary Information properties (PROPIDs 2 to 16) likewise.
SetWrite SetDocumentProperties2(const std::string& path, const ValueListEditor& grid,
                                const CheckListBox& selection, Dialogs& dialogs);

}  // namespace tavrin
