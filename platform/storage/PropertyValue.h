#pragma once
// Typed property values (a 4-byte type tag, then the value) as a set stores
// them: how far one reaches, what it holds as a PROPVARIANT, and the bytes of
// a new value.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/HResult.h"
#include "platform/storage/PropVariant.h"

namespace tavrin::storage {

enum class ValueFit {
  kOk,       // read whole, inside the section
  kUnknown,  // a type whose extent we cannot tell; carried as its bytes
  kOverrun,  // a length or count reaches past the end of the section
};

struct DecodedValue {
  ValueFit fit = ValueFit::kUnknown;
  // Bytes from the type tag to the end of the value, padding excluded
  // (ValueFit::kOk only).
  std::uint64_t size = 0;
  // Bytes from the type tag that what a read hands out depends on: the tag,
  // the value, and for a vector that fits neither way before `bound`, every
  // byte either way of reading it looked at.
  std::uint64_t reach = 0;
  // The value as a read hands it out; for a type we do not take apart, only
  // the type tag (and the integer members for fixed-size scalars).
  PROPVARIANT value;
};

// Reads the typed value whose tag starts at `pos` in `section` (the bytes the
// section may use). `bound` is where the next property or the section's end
// begins: vectors come aligned or packed, and `bound` helps tell which.
// `allocationLimit` caps the bytes spent on a vector's element table.
DecodedValue DecodeTypedValue(std::string_view section, std::uint64_t pos, std::uint64_t bound,
                              unsigned codePage, std::uint64_t allocationLimit);

// Bytes of a fixed-size scalar of type `type`, or -1 for other types.
int FixedValueSize(VARTYPE type);

// True when `given` says the same as `read` (a value a read handed out) for
// the member that belongs to their common type tag. Types without such a
// member compare equal when their tags do: their bytes can only be kept.
bool SameValue(const PROPVARIANT& read, const PROPVARIANT& given);

// The stored form of `value` without its type tag, zero-padded to 4 bytes.
// Fails with HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION) for text the
// set's code page cannot hold, and with STG_E_UNIMPLEMENTEDFUNCTION for a type
// whose values we only ever carry unchanged.
HRESULT EncodeValue(const PROPVARIANT& value, unsigned codePage, std::string& body);

}  // namespace tavrin::storage
