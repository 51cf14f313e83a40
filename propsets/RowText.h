#pragma once
// The text a grid row shows for a property value as a read hands it out.
// The reads fill the grids with it, and the writes compare a row with it: a
// selected row still holding the text its property shows keeps the stored
// value, since the text form drops what it cannot show (fractions of a
// second, a fifth day digit, characters CP932 lacks).

#include <string>

#include "grids/RowCatalogue.h"
#include "platform/storage/PropVariant.h"

namespace tavrin {

// Only string rows look at the type tag: an 8-bit string shows as stored, a
// wide string converted to CP932 ("?" for what CP932 cannot show), anything
// else as the empty text. Dates, durations, counts and flags are read from
// the value part whatever the tag says, as the platform's overlapping value
// members would show them.
std::string RowTextOf(ShownAs shownAs, const PROPVARIANT& value);

}  // namespace tavrin
