#include "platform/storage/PropertyValue.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/CodePage.h"
#include "platform/storage/PropertyBytes.h"
#include "platform/storage/PropertyText.h"

namespace tavrin::storage {
namespace {

// Where a walk over one value (or vector element) ended.
struct Walk {
  ValueFit fit = ValueFit::kUnknown;
  std::uint64_t end = 0;   // just past the value's last byte
  std::uint64_t next = 0;  // where a following element would start
};

bool IsCountedBytes(VARTYPE type) {
  return type == VT_LPSTR || type == VT_BSTR || type == VT_BLOB || type == VT_BLOB_OBJECT ||
         type == VT_CF;
}

// The integer members of a fixed-size scalar, filled from the same stored
// bits the way the platform's overlapping members would show them.
void SetIntegerView(PROPVARIANT& out, std::string_view stored) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < stored.size() && i < 8; ++i) {
    bits |= std::uint64_t{static_cast<std::uint8_t>(stored[i])} << (8 * i);
  }
  out.uiVal = static_cast<std::uint16_t>(bits);
  out.iVal = static_cast<std::int16_t>(out.uiVal);
  out.boolVal = out.iVal;
  out.ulVal = static_cast<std::uint32_t>(bits);
  out.lVal = static_cast<std::int32_t>(out.ulVal);
  out.filetime = FILETIME::FromTicks(bits);
}

std::u16string WideUpToTerminator(std::string_view stored) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
    auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(stored[i]) |
                                      static_cast<std::uint8_t>(stored[i + 1]) << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// Walks one value body (the part after a type tag) and, when `out` is given,
// fills it. `aligned` says whether elements of a vector are padded to 4 bytes
// (the format's rule) or packed (what some writers do in non-Unicode sets).
// It remembers how far it looked, a walk that failed included.
class Walker {
 public:
  Walker(std::string_view section, unsigned codePage, bool aligned, std::uint64_t allocationLimit)
      : section_(section),
        codePage_(codePage),
        aligned_(aligned),
        allocationLimit_(allocationLimit) {}

  Walk Body(VARTYPE type, std::uint64_t pos, PROPVARIANT* out) {
    if (out != nullptr) out->vt = type;
    if ((type & VT_VECTOR) != 0) return Vector(static_cast<VARTYPE>(type & ~VT_VECTOR), pos, out);
    if (int fixed = FixedValueSize(type); fixed >= 0) {
      auto size = static_cast<std::uint64_t>(fixed);
      if (!Fits(section_, pos, size)) return Overrun();
      LookedAt(pos + size);
      if (out != nullptr) SetIntegerView(*out, section_.substr(pos, size));
      return {ValueFit::kOk, pos + size, aligned_ ? pos + RoundUp4(size) : pos + size};
    }
    std::uint64_t length = 0;
    if (IsCountedBytes(type)) {
      std::optional<std::uint32_t> count = CountAt(pos);
      if (!count) return Overrun();
      length = *count;
    } else if (type == VT_LPWSTR) {
      std::optional<std::uint32_t> count = CountAt(pos);
      if (!count) return Overrun();
      length = std::uint64_t{*count} * 2;
    } else {
      return {ValueFit::kUnknown};
    }
    if (!Fits(section_, pos + 4, length)) return Overrun();
    std::uint64_t end = pos + 4 + length;
    LookedAt(end);
    if (out != nullptr) Fill(type, section_.substr(pos + 4, length), *out);
    return {ValueFit::kOk, end, aligned_ ? pos + 4 + RoundUp4(length) : end};
  }

  // Just past the furthest byte the walks so far looked at.
  std::uint64_t Looked() const { return looked_; }

 private:
  void LookedAt(std::uint64_t end) { looked_ = std::max(looked_, end); }

  // A walk that runs past the section depends on where the section ends, so
  // it looked at everything up to there.
  Walk Overrun() {
    LookedAt(section_.size());
    return {ValueFit::kOverrun};
  }

  std::optional<std::uint32_t> CountAt(std::uint64_t pos) {
    std::optional<std::uint32_t> count = U32At(section_, pos);
    if (count) LookedAt(pos + 4);
    return count;
  }

  // A VT_LPSTR's stored characters as the program's text.
  std::string Text(std::string_view stored) const {
    return ToProgramText(UpToTerminator(stored, codePage_), codePage_);
  }

  void Fill(VARTYPE type, std::string_view stored, PROPVARIANT& out) const {
    auto storage = std::make_shared<PropVariantStorage>();
    switch (type) {
      case VT_LPSTR:
        storage->text = Text(stored);
        out.pszVal = storage->text.c_str();
        break;
      case VT_LPWSTR:
        storage->wideText = WideUpToTerminator(stored);
        out.pwszVal = storage->wideText.c_str();
        break;
      case VT_BLOB:
      case VT_BLOB_OBJECT:
        storage->bytes.assign(stored);
        out.blob = {static_cast<std::uint32_t>(stored.size()),
                    reinterpret_cast<const std::uint8_t*>(storage->bytes.data())};
        break;
      case VT_CF:
        // The size counts the format field and the data. A size under 4
        // leaves no room for a format: we read it as format 0 with no data.
        storage->clip.cbSize = static_cast<std::uint32_t>(stored.size());
        if (stored.size() >= 4) {
          storage->clip.ulClipFmt = static_cast<std::int32_t>(*U32At(stored, 0));
          storage->bytes.assign(stored.substr(4));
        }
        storage->clip.pClipData = reinterpret_cast<const std::uint8_t*>(storage->bytes.data());
        out.pclipdata = &storage->clip;
        break;
      default:
        return;
    }
    out.storage = std::move(storage);
  }

  Walk Vector(VARTYPE element, std::uint64_t pos, PROPVARIANT* out) {
    std::optional<std::uint32_t> count = CountAt(pos);
    if (!count) return Overrun();
    std::uint64_t first = pos + 4;
    if (int fixed = FixedValueSize(element); fixed >= 0) {
      // Scalars are packed at their natural size; only the whole is padded.
      std::uint64_t length = std::uint64_t{*count} * static_cast<std::uint64_t>(fixed);
      if (!Fits(section_, first, length)) return Overrun();
      std::uint64_t end = first + length;
      LookedAt(end);
      return {ValueFit::kOk, end, aligned_ ? pos + RoundUp4(4 + length) : end};
    }
    const bool variants = element == VT_VARIANT;
    if (!variants && !IsCountedBytes(element) && element != VT_LPWSTR) return {ValueFit::kUnknown};
    // Every element takes at least four bytes: a larger count cannot be
    // true, and checking it first keeps hostile counts from costing anything.
    if (*count > (section_.size() - std::min<std::uint64_t>(first, section_.size())) / 4) {
      return Overrun();
    }
    // Whether the count was believed hung on the room up to where its
    // elements must at least reach, so the reading depends on those bytes
    // even when it stops early.
    LookedAt(first + 4 * std::uint64_t{*count});
    const bool handOut = out != nullptr && (element == VT_LPSTR || variants) &&
                         std::uint64_t{*count} * sizeof(PROPVARIANT) <= allocationLimit_;
    auto storage = handOut ? std::make_shared<PropVariantStorage>() : nullptr;
    if (storage && variants) storage->elements.reserve(*count);
    if (storage && !variants) storage->strings.reserve(*count);

    Walk walk{ValueFit::kOk, first, first};
    for (std::uint32_t i = 0; i < *count; ++i) {
      if (variants) {
        std::optional<std::uint16_t> type = U16At(section_, walk.next);
        if (!type || !Fits(section_, walk.next, 4)) return Overrun();
        LookedAt(walk.next + 4);
        // A variant holds one plain value: never a vector or another variant.
        if ((*type & VT_VECTOR) != 0 || *type == VT_VARIANT) return {ValueFit::kUnknown};
        PROPVARIANT item;
        walk = Body(*type, walk.next + 4, storage ? &item : nullptr);
        if (walk.fit != ValueFit::kOk) return walk;
        if (storage) storage->elements.push_back(std::move(item));
      } else {
        const std::uint64_t at = walk.next;
        walk = Body(element, at, nullptr);
        if (walk.fit != ValueFit::kOk) return walk;
        // The text goes straight into the vector's block, as far as a
        // reader of the single string's pszVal would see it.
        if (storage) {
          std::string text = Text(section_.substr(at + 4, walk.end - at - 4));
          text.resize(std::min(text.find('\0'), text.size()));
          storage->strings.push_back(std::move(text));
        }
      }
    }
    if (storage) {
      if (variants) {
        out->capropvar = {*count, storage->elements.data()};
      } else {
        // Only now, with every string in place, are their addresses final.
        for (const std::string& text : storage->strings) {
          storage->stringPointers.push_back(text.c_str());
        }
        out->calpstr = {*count, storage->stringPointers.data()};
      }
      out->storage = std::move(storage);
    }
    return walk;
  }

  std::string_view section_;
  unsigned codePage_;
  bool aligned_;
  std::uint64_t allocationLimit_;
  std::uint64_t looked_ = 0;
};

bool SameText(const char* read, const char* given) {
  return std::strcmp(read != nullptr ? read : "", given != nullptr ? given : "") == 0;
}

bool SameWideText(const char16_t* read, const char16_t* given) {
  std::u16string_view a = read != nullptr ? read : u"";
  std::u16string_view b = given != nullptr ? given : u"";
  return a == b;
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
  if (size == 0) return true;
  if (a == nullptr || b == nullptr) return false;
  return std::memcmp(a, b, size) == 0;
}

void PutText(std::string& body, std::string_view stored, std::size_t terminator) {
  PutU32(body, static_cast<std::uint32_t>(stored.size() + terminator));
  body += stored;
  body.append(terminator, '\0');
  body.append(RoundUp4(body.size()) - body.size(), '\0');
}

}  // namespace

int FixedValueSize(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
    case VT_FILETIME:
      return 8;
    case VT_CLSID:
    case VT_DECIMAL:
      return 16;
    default:
      return -1;
  }
}

DecodedValue DecodeTypedValue(std::string_view section, std::uint64_t pos, std::uint64_t bound,
                              unsigned codePage, std::uint64_t allocationLimit) {
  DecodedValue result;
  std::optional<std::uint16_t> type = U16At(section, pos);
  if (!type || !Fits(section, pos, 4)) {
    result.fit = ValueFit::kOverrun;
    return result;
  }
  result.value.vt = *type;
  result.reach = 4;
  // Flags other than the vector bit (arrays, by-reference) do not occur in
  // stored sets; such a value is carried as its bytes.
  if ((*type & ~(VT_VECTOR | 0x0FFF)) != 0) return result;

  auto walker = [&](bool aligned) { return Walker(section, codePage, aligned, allocationLimit); };
  bool aligned = true;
  if ((*type & VT_VECTOR) != 0) {
    // Elements may be aligned (the format's rule) or packed (some writers,
    // in non-Unicode sets). The reading that fits before the next property
    // wins; if both do, the one that fills the room best, ties to aligned.
    // Both are only measured here; the value is built once, from the winner.
    Walker alignedWalker = walker(true);
    Walker packedWalker = walker(false);
    const Walk walk = alignedWalker.Body(*type, pos + 4, nullptr);
    const Walk packed = packedWalker.Body(*type, pos + 4, nullptr);
    auto fitsRoom = [&](const Walk& w) { return w.fit == ValueFit::kOk && w.end <= bound; };
    // A walk that looks past `bound` cannot fit before it, so while either
    // fits, the bytes past `bound` decide nothing. When neither does, the
    // aligned reading wins if it reads at all, and the packed one counts
    // only if it does not: the value then depends on all they looked at.
    if (!fitsRoom(walk) && !fitsRoom(packed)) {
      auto lookedFrom = [&](const Walker& w) { return w.Looked() > pos ? w.Looked() - pos : 0; };
      result.reach = std::max(result.reach, lookedFrom(alignedWalker));
      if (walk.fit != ValueFit::kOk)
        result.reach = std::max(result.reach, lookedFrom(packedWalker));
    }
    bool takePacked = false;
    if (fitsRoom(packed) && (!fitsRoom(walk) || packed.end > walk.end)) takePacked = true;
    if (!fitsRoom(walk) && !fitsRoom(packed) && walk.fit != ValueFit::kOk &&
        packed.fit == ValueFit::kOk) {
      takePacked = true;
    }
    if (walk.fit == ValueFit::kOverrun && packed.fit == ValueFit::kUnknown) takePacked = true;
    aligned = !takePacked;
    const Walk& taken = takePacked ? packed : walk;
    result.fit = taken.fit;
    if (taken.fit != ValueFit::kOk) return result;
  }
  // A walk that fails leaves the value as it was: its type tag alone.
  const Walk walk = walker(aligned).Body(*type, pos + 4, &result.value);
  result.fit = walk.fit;
  if (walk.fit == ValueFit::kOk) {
    result.size = walk.end - pos;
    result.reach = std::max(result.reach, result.size);
  }
  return result;
}

bool SameValue(const PROPVARIANT& read, const PROPVARIANT& given) {
  if (read.vt != given.vt) return false;
  switch (read.vt) {
    case VT_I2:
      return read.iVal == given.iVal;
    case VT_UI2:
      return read.uiVal == given.uiVal;
    case VT_BOOL:
      return read.boolVal == given.boolVal;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      return read.lVal == given.lVal;
    case VT_UI4:
    case VT_UINT:
      return read.ulVal == given.ulVal;
    case VT_FILETIME:
      return read.filetime == given.filetime;
    case VT_LPSTR:
      return SameText(read.pszVal, given.pszVal);
    case VT_LPWSTR:
      return SameWideText(read.pwszVal, given.pwszVal);
    case VT_BLOB:
    case VT_BLOB_OBJECT:
      return read.blob.cbSize == given.blob.cbSize &&
             SameBytes(read.blob.pBlobData, given.blob.pBlobData, read.blob.cbSize);
    case VT_CF: {
      if (read.pclipdata == nullptr || given.pclipdata == nullptr) {
        return read.pclipdata == given.pclipdata;
      }
      const CLIPDATA& a = *read.pclipdata;
      const CLIPDATA& b = *given.pclipdata;
      return a.cbSize == b.cbSize && a.ulClipFmt == b.ulClipFmt &&
             SameBytes(a.pClipData, b.pClipData, a.cbSize >= 4 ? a.cbSize - 4 : 0);
    }
    case VT_VECTOR | VT_LPSTR: {
      if (read.calpstr.cElems != given.calpstr.cElems) return false;
      for (std::uint32_t i = 0; i < read.calpstr.cElems; ++i) {
        if (given.calpstr.pElems == nullptr ||
            !SameText(read.calpstr.pElems[i], given.calpstr.pElems[i])) {
          return false;
        }
      }
      return true;
    }
    case VT_VECTOR | VT_VARIANT: {
      if (read.capropvar.cElems != given.capropvar.cElems) return false;
      for (std::uint32_t i = 0; i < read.capropvar.cElems; ++i) {
        if (given.capropvar.pElems == nullptr ||
            !SameValue(read.capropvar.pElems[i], given.capropvar.pElems[i])) {
          return false;
        }
      }
      return true;
    }
    default:
      return true;
  }
}

HRESULT EncodeValue(const PROPVARIANT& value, unsigned codePage, std::string& body) {
  body.clear();
  switch (value.vt) {
    case VT_I2:
      PutU16(body, static_cast<std::uint16_t>(value.iVal));
      break;
    case VT_UI2:
      PutU16(body, value.uiVal);
      break;
    case VT_BOOL:
      PutU16(body, static_cast<std::uint16_t>(value.boolVal));
      break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      PutU32(body, static_cast<std::uint32_t>(value.lVal));
      break;
    case VT_UI4:
    case VT_UINT:
      PutU32(body, value.ulVal);
      break;
    case VT_FILETIME:
      PutU32(body, value.filetime.dwLowDateTime);
      PutU32(body, value.filetime.dwHighDateTime);
      break;
    case VT_LPSTR: {
      std::optional<std::string> stored =
          FromProgramText(value.pszVal != nullptr ? value.pszVal : "", codePage);
      if (!stored) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
      if (stored->size() > 0x7FFFFFF0u) return STG_E_INVALIDPARAMETER;
      PutText(body, *stored, TerminatorSize(codePage));
      return S_OK;
    }
    case VT_LPWSTR: {
      std::u16string_view text = value.pwszVal != nullptr ? value.pwszVal : u"";
      if (text.size() > 0x3FFFFFF0u) return STG_E_INVALIDPARAMETER;
      std::string stored;
      for (char16_t unit : text) PutU16(stored, static_cast<std::uint16_t>(unit));
      PutU32(body, static_cast<std::uint32_t>(text.size() + 1));
      body += stored;
      body.append(2, '\0');
      break;
    }
    default:
      return STG_E_UNIMPLEMENTEDFUNCTION;
  }
  body.append(RoundUp4(body.size()) - body.size(), '\0');
  return S_OK;
}

}  // namespace tavrin::storage
