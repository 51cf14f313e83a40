#include "platform/storage/NameOrder.h"

namespace tavrin::storage {

char16_t SimpleUpper(char16_t unit) {
  const auto shifted = [unit](int by) { return static_cast<char16_t>(unit + by); };
  if (unit >= u'a' && unit <= u'z') return shifted(-32);
  if (unit < 0x00E0) return unit == 0x00B5 ? char16_t{0x039C} : unit;
  // Latin-1: every lower-case letter sits 32 above its capital, but for the
  // division sign, and y with diaeresis, whose capital lives in Latin Extended-A.
  if (unit <= 0x00FE) return unit == 0x00F7 ? unit : shifted(-32);
  if (unit == 0x00FF) return 0x0178;
  // Latin Extended-A: capital and small letters alternate, in two runs with
  // opposite parity, and a dotless i and a long s of their own.
  if (unit == 0x0131) return u'I';
  if (unit == 0x017F) return u'S';
  if ((unit >= 0x0100 && unit <= 0x012F) || (unit >= 0x0132 && unit <= 0x0137) ||
      (unit >= 0x014A && unit <= 0x0177)) {
    return (unit & 1) != 0 ? shifted(-1) : unit;
  }
  if ((unit >= 0x0139 && unit <= 0x0148) || (unit >= 0x0179 && unit <= 0x017E)) {
    return (unit & 1) == 0 ? shifted(-1) : unit;
  }
  // Greek and Cyrillic.
  if (unit >= 0x03B1 && unit <= 0x03C9) return unit == 0x03C2 ? char16_t{0x03A3} : shifted(-32);
  if (unit >= 0x0430 && unit <= 0x044F) return shifted(-32);
  if (unit >= 0x0450 && unit <= 0x045F) return shifted(-80);
  // Full-width Latin letters.
  if (unit >= 0xFF41 && unit <= 0xFF5A) return shifted(-32);
  return unit;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (SimpleUpper(a[i]) != SimpleUpper(b[i])) return false;
  }
  return true;
}

}  // namespace tavrin::storage
