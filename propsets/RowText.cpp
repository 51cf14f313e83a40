#include "propsets/RowText.h"

#include "platform/CodePage.h"
#include "platform/storage/PropertyText.h"
#include "propsets/IntegerText.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

std::string WideText(const char16_t* wide) {
  std::string bytes;
  for (const char16_t* unit = wide; *unit != u'\0'; ++unit) {
    bytes.push_back(static_cast<char>(*unit & 0xFF));
    bytes.push_back(static_cast<char>(*unit >> 8));
  }
  return storage::ToProgramText(bytes, codepage::kUtf16Le);
}

std::string StringOf(const PROPVARIANT& value) {
  if (value.vt == VT_LPSTR && value.pszVal != nullptr) return value.pszVal;
  if (value.vt == VT_LPWSTR && value.pwszVal != nullptr) return WideText(value.pwszVal);
  return {};
}

std::string YesNoOf(const PROPVARIANT& value) {
  static const std::string yes = codepage::Cp932("はい");
  static const std::string no = codepage::Cp932("いいえ");
  return value.boolVal != 0 ? yes : no;
}

}  // namespace

std::string RowTextOf(ShownAs shownAs, const PROPVARIANT& value) {
  switch (shownAs) {
    case ShownAs::kText:
      return StringOf(value);
    case ShownAs::kInteger:
      return IntToText(value.lVal);
    case ShownAs::kDuration:
      return EditTimeToText(value.filetime);
    case ShownAs::kDateTime:
      return FileTimeToText(value.filetime);
    case ShownAs::kYesNo:
      return YesNoOf(value);
    case ShownAs::kAlwaysEmpty:
      break;
  }
  return {};
}

}  // namespace tavrin
