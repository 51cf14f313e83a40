#pragma once

#include <string>

#include "platform/HResult.h"

namespace tavrin {

// "HResult = $" and the code as eight upper-case hexadecimal digits: the
// second line of every failure message about a file.
std::string HResultText(HRESULT hr);

}  // namespace tavrin
