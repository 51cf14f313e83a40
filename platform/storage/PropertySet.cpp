#include "platform/storage/PropertySet.h"

#include <algorithm>
#include <optional>

#include "platform/storage/PropertyBytes.h"
#include "platform/storage/PropertyText.h"
#include "platform/storage/PropertyValue.h"

namespace tavrin::storage {
namespace {

constexpr std::uint64_t kStreamHeaderSize = 28;  // byte order .. section count
constexpr std::uint64_t kSectionEntrySize = 20;  // FMTID and offset
constexpr std::uint64_t kSectionHeaderSize = 8;  // size and property count
constexpr std::uint64_t kPropertyEntrySize = 8;  // PROPID and offset

// A vector's element table may take this much even in a tiny stream: real
// heading pairs need a few kilobytes, hostile counts are refused long before.
constexpr std::uint64_t kMinimumAllocationLimit = 64 * 1024;

// The code page PROPID 1 declares, read from its stored bits. It is a VT_I2
// that writers often store negative (-535 for 65001): the bits are what count.
std::optional<unsigned> DeclaredCodePage(const Property& property) {
  if (property.status != S_OK) return std::nullopt;
  const PROPVARIANT& value = property.value;
  switch (value.vt) {
    case VT_I2:
    case VT_UI2:
      return value.uiVal;
    case VT_I4:
    case VT_UI4:
      if (value.ulVal <= 0xFFFF) return value.ulVal;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace

HRESULT PropertySetStream::Parse(std::string stream, PropertySetStream& out) {
  PropertySetStream set;
  set.bytes_ = std::move(stream);
  std::string_view bytes = set.bytes_;
  // A zero-byte stream is a set nothing was ever written to. Reads find
  // nothing in it and a write, which never adds properties, leaves it so.
  if (bytes.empty()) {
    out = std::move(set);
    return S_OK;
  }
  if (bytes.size() < kStreamHeaderSize) return STG_E_INVALIDHEADER;
  set.byteOrder_ = *U16At(bytes, 0);
  set.version_ = *U16At(bytes, 2);
  // Only little-endian sets of the two defined versions exist; anything
  // else is not a property set we could write back correctly.
  if (set.byteOrder_ != 0xFFFE || set.version_ > 1) return STG_E_INVALIDHEADER;
  set.systemId_ = *U32At(bytes, 4);
  set.clsid_ = GuidFromBytes(bytes.substr(8, 16));
  std::uint32_t count = *U32At(bytes, 24);
  std::uint64_t tableEnd = kStreamHeaderSize + kSectionEntrySize * count;
  if (tableEnd > bytes.size()) return STG_E_INVALIDHEADER;

  set.sections_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t entry = kStreamHeaderSize + kSectionEntrySize * i;
    set.sections_[i].fmtid = GuidFromBytes(bytes.substr(entry, 16));
    set.sections_[i].offset = *U32At(bytes, entry + 16);
    if (HRESULT hr = set.ParseSection(i, tableEnd); FAILED(hr)) return hr;
  }
  set.MeasureSlots();
  set.DecodeProperties();
  out = std::move(set);
  return S_OK;
}

HRESULT PropertySetStream::ParseSection(std::size_t index, std::uint64_t headerEnd) {
  std::string_view bytes = bytes_;
  Section& section = sections_[index];
  if (section.offset < headerEnd || !Fits(bytes, section.offset, kSectionHeaderSize)) {
    return STG_E_INVALIDHEADER;
  }
  section.declaredSize = *U32At(bytes, section.offset);
  std::uint32_t count = *U32At(bytes, section.offset + 4);
  // Real files declare a section a few bytes longer than their stream; what
  // is there is read, the declared size is kept for the write.
  section.size = std::min<std::uint64_t>(section.declaredSize, bytes.size() - section.offset);
  std::uint64_t tableEnd = kSectionHeaderSize + kPropertyEntrySize * count;
  if (section.declaredSize < kSectionHeaderSize || tableEnd > section.size)
    return STG_E_INVALIDHEADER;

  std::string_view sectionBytes = bytes.substr(section.offset, section.size);
  section.properties.resize(count);
  for (std::uint32_t j = 0; j < count; ++j) {
    Property& property = section.properties[j];
    std::uint64_t entry = section.offset + kSectionHeaderSize + kPropertyEntrySize * j;
    property.id = *U32At(bytes, entry);
    property.offset = *U32At(bytes, entry + 4);
    property.position = section.offset + std::uint64_t{property.offset};
    // Offsets need no alignment (real sections are often packed), but one
    // that points into the table or leaves no room for a type tag is wrong.
    if (property.offset < tableEnd || !Fits(sectionBytes, property.offset, 4)) {
      property.status = STG_E_INVALIDHEADER;
      continue;
    }
    property.type = *U16At(sectionBytes, property.offset);
  }
  return S_OK;
}

// A property's bytes end where the next thing that something points at
// begins: another property (of any section), a section, or its section's end.
void PropertySetStream::MeasureSlots() {
  std::vector<std::uint64_t> anchors;
  std::size_t count = sections_.size();
  for (const Section& section : sections_) count += section.properties.size();
  anchors.reserve(count);
  for (const Section& section : sections_) {
    anchors.push_back(section.offset);
    for (const Property& property : section.properties) {
      if (property.position < bytes_.size()) anchors.push_back(property.position);
    }
  }
  std::sort(anchors.begin(), anchors.end());
  for (Section& section : sections_) {
    std::uint64_t sectionEnd = section.offset + section.size;
    for (Property& property : section.properties) {
      if (property.status != S_OK) continue;
      auto next = std::upper_bound(anchors.begin(), anchors.end(), property.position);
      std::uint64_t end = next == anchors.end() ? sectionEnd : std::min(*next, sectionEnd);
      property.slotSize = end - property.position;
    }
  }
}

void PropertySetStream::DecodeProperties() {
  const std::uint64_t allocationLimit =
      std::max<std::uint64_t>(bytes_.size(), kMinimumAllocationLimit);
  for (Section& section : sections_) {
    std::string_view sectionBytes = std::string_view(bytes_).substr(section.offset, section.size);
    auto decode = [&](Property& property) {
      DecodedValue decoded =
          DecodeTypedValue(sectionBytes, property.offset, property.offset + property.slotSize,
                           section.codePage, allocationLimit);
      if (decoded.fit == ValueFit::kOverrun) {
        property.status = STG_E_INVALIDHEADER;
        return;
      }
      property.valueSize = decoded.size;
      property.reach = decoded.reach;
      property.value = std::move(decoded.value);
    };
    // The code page first: the strings of the set depend on it. A set that
    // declares none is in the system's ANSI code page.
    section.codePage = kAssumedCodePage;
    Property* codePage = nullptr;
    for (Property& property : section.properties) {
      if (property.id != PID_CODEPAGE || property.status != S_OK) continue;
      codePage = &property;
      decode(property);
      if (std::optional<unsigned> declared = DeclaredCodePage(property)) {
        section.codePage = *declared;
        section.declaresCodePage = true;
      }
      break;
    }
    for (Property& property : section.properties) {
      // PROPID 0 is a dictionary of names, not a value; in real files it is
      // sometimes neither. Either way it is only ever carried as its bytes.
      if (property.status != S_OK || property.id == PID_DICTIONARY || &property == codePage) {
        continue;
      }
      decode(property);
    }
  }
}

std::string_view PropertySetStream::BytesOf(const Property& property) const {
  if (property.status != S_OK) return {};
  return std::string_view(bytes_).substr(property.position, property.slotSize);
}

HRESULT PropertySetStream::Writable() const {
  for (const Section& section : sections_) {
    for (const Property& property : section.properties) {
      if (FAILED(property.status)) return property.status;
    }
  }
  return S_OK;
}

// The first entry with the PROPID: a duplicate later in the table is carried
// but never read.
const Property* PropertySetStream::Find(const Section& section, PROPID id) const {
  if (id == PID_DICTIONARY) return nullptr;
  for (const Property& property : section.properties) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

HRESULT PropertySetStream::ReadMultiple(std::size_t section, std::span<const PROPSPEC> ids,
                                        std::span<PROPVARIANT> values) const {
  auto clearAll = [&] {
    for (PROPVARIANT& value : values) value = PROPVARIANT{};
  };
  clearAll();
  if (ids.size() != values.size()) return STG_E_INVALIDPARAMETER;
  for (const PROPSPEC& id : ids) {
    if (id.ulKind != PRSPEC_PROPID) return STG_E_INVALIDPARAMETER;
  }
  if (section >= sections_.size()) return S_FALSE;
  bool any = false;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const Property* property = Find(sections_[section], ids[i].propid);
    if (property == nullptr) continue;
    if (FAILED(property->status)) {
      clearAll();
      return property->status;
    }
    values[i] = property->value;
    any = true;
  }
  return any ? S_OK : S_FALSE;
}

}  // namespace tavrin::storage
