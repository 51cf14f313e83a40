#pragma once
// Entry names compare without regard to case, the way the format orders
// siblings: each UTF-16 code unit upper-cased on its own (simple case mapping,
// no expansion to several characters).

#include <string_view>

namespace tavrin::storage {

char16_t SimpleUpper(char16_t unit);
bool SameName(std::u16string_view a, std::u16string_view b);

}  // namespace tavrin::storage
