#pragma once
// The property value type that reads hand out and writes take, shaped like the
// platform's so that the code above reads it the same way: `pv.vt`, then the
// member for that type (`pszVal`, `iVal`, `lVal`, `boolVal`, `filetime` ...).
//
// Ownership. A value that a read hands out keeps whatever its pointers refer to
// (text, clipboard data, vector elements) in `storage`, an immutable block
// shared by every copy of the value. The pointers stay valid while any copy
// lives, independently of the set it was read from. PropVariantClear and
// FreePropVariantArray drop the block and reset the entry to VT_EMPTY with a
// zero value part. A caller may point `pszVal` (or another pointer) at memory
// it owns instead; clearing never frees or reads that memory, it only drops the
// block, so a write can pass back the array it read with some strings replaced.
// Because the block is reference-counted, a value that is never cleared is
// still released when it goes out of scope: there is nothing to leak.
//
// Unlike the platform's, the value members are not a union: a read fills every
// integer member from the same stored bits, as the platform's overlapping
// members would show them (a VT_I2 of -1 reads as iVal -1 and lVal 65535), and
// leaves the members of other kinds zero. A write takes the value only from the
// member that belongs to the entry's type tag (see PropertySet.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/HResult.h"
#include "platform/WinTypes.h"

namespace tavrin {

using VARTYPE = std::uint16_t;
using PROPID = std::uint32_t;
using VARIANT_BOOL = std::int16_t;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_CY = 6;
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_DECIMAL = 14;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_LPSTR = 30;
inline constexpr VARTYPE VT_LPWSTR = 31;
inline constexpr VARTYPE VT_FILETIME = 64;
inline constexpr VARTYPE VT_BLOB = 65;
inline constexpr VARTYPE VT_STREAM = 66;
inline constexpr VARTYPE VT_STORAGE = 67;
inline constexpr VARTYPE VT_STREAMED_OBJECT = 68;
inline constexpr VARTYPE VT_STORED_OBJECT = 69;
inline constexpr VARTYPE VT_BLOB_OBJECT = 70;
inline constexpr VARTYPE VT_CF = 71;
inline constexpr VARTYPE VT_CLSID = 72;
inline constexpr VARTYPE VT_VECTOR = 0x1000;
inline constexpr VARTYPE VT_ARRAY = 0x2000;

// Property identifiers with a meaning of their own in every set.
inline constexpr PROPID PID_DICTIONARY = 0;
inline constexpr PROPID PID_CODEPAGE = 1;
inline constexpr PROPID PID_LOCALE = 0x80000000u;

inline constexpr std::uint32_t PRSPEC_LPWSTR = 0;
inline constexpr std::uint32_t PRSPEC_PROPID = 1;

// Names a property. Only PRSPEC_PROPID is offered: the program never names
// properties by string.
struct PROPSPEC {
  std::uint32_t ulKind = PRSPEC_PROPID;
  PROPID propid = 0;
};

// Clipboard data (the thumbnail): cbSize counts ulClipFmt and the data.
struct CLIPDATA {
  std::uint32_t cbSize = 0;
  std::int32_t ulClipFmt = 0;
  const std::uint8_t* pClipData = nullptr;
};

struct BLOB {
  std::uint32_t cbSize = 0;
  const std::uint8_t* pBlobData = nullptr;
};

struct CALPSTR {
  std::uint32_t cElems = 0;
  const char* const* pElems = nullptr;
};

struct PROPVARIANT;
struct CAPROPVARIANT {
  std::uint32_t cElems = 0;
  const PROPVARIANT* pElems = nullptr;
};

struct PropVariantStorage;

struct PROPVARIANT {
  VARTYPE vt = VT_EMPTY;
  std::int16_t iVal = 0;
  std::uint16_t uiVal = 0;
  std::int32_t lVal = 0;
  std::uint32_t ulVal = 0;
  VARIANT_BOOL boolVal = 0;
  FILETIME filetime{};
  const char* pszVal = nullptr;       // VT_LPSTR: CP932 text, zero-terminated
  const char16_t* pwszVal = nullptr;  // VT_LPWSTR: UTF-16 text, zero-terminated
  const CLIPDATA* pclipdata = nullptr;
  BLOB blob{};                                        // VT_BLOB, VT_BLOB_OBJECT
  CALPSTR calpstr{};                                  // VT_VECTOR | VT_LPSTR
  CAPROPVARIANT capropvar{};                          // VT_VECTOR | VT_VARIANT
  std::shared_ptr<const PropVariantStorage> storage;  // what the pointers above refer to
};

// The block a read value's pointers refer to. Built once by the reader and
// never changed afterwards.
struct PropVariantStorage {
  std::string text;
  std::u16string wideText;
  std::string bytes;
  CLIPDATA clip;
  std::vector<std::string> strings;
  std::vector<const char*> stringPointers;
  std::vector<PROPVARIANT> elements;
};

// Resets `value` to VT_EMPTY with a zero value part, releasing what a read gave it.
HRESULT PropVariantClear(PROPVARIANT* value);

// PropVariantClear for each of `count` entries.
HRESULT FreePropVariantArray(std::uint32_t count, PROPVARIANT* values);

}  // namespace tavrin
