#include "platform/storage/PropVariant.h"

namespace tavrin {

HRESULT PropVariantClear(PROPVARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  *value = PROPVARIANT{};
  return S_OK;
}

HRESULT FreePropVariantArray(std::uint32_t count, PROPVARIANT* values) {
  if (values == nullptr && count != 0) return E_INVALIDARG;
  for (std::uint32_t i = 0; i < count; ++i) values[i] = PROPVARIANT{};
  return S_OK;
}

}  // namespace tavrin
