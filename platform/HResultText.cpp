#include "platform/HResultText.h"

#include <cstdio>

namespace tavrin {

std::string HResultText(HRESULT hr) {
  char text[32];
  std::snprintf(text, sizeof text, "HResult = $%.8X", static_cast<unsigned>(hr));
  return text;
}

}  // namespace tavrin
