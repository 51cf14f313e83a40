// The write side of PropertySetStream: a splice of the stream's bytes.
//
// Invariants of a write:
//  1. Only the bytes of changed properties are replaced; every other byte is
//     copied in its order, so what follows a changed property moves as a block.
//  2. Nothing points into the middle of a replaced range: a changed
//     property's range ends at the next position anything points at.
//  3. After the splice, every field that locates something (section offsets
//     in the header, section sizes, property offsets) is recomputed by
//     mapping the old position it named to the new one.
//  4. No property but a changed one reads bytes the write rewrites, and a
//     changed one reads only its own: where they overlap, the write is
//     refused before the splice.
//  5. The result is parsed again and must show the same sections and
//     properties, each unchanged property with the same bytes; otherwise the
//     write is refused and the caller's stream stays as it was.

#include <algorithm>
#include <limits>
#include <map>
#include <optional>

#include "platform/storage/PropertyBytes.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/PropertyValue.h"

namespace tavrin::storage {
namespace {

// Replace [start, end) of the old stream by `bytes`. start == end inserts.
struct Edit {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::string bytes;
  const Property* owner = nullptr;
  std::uint64_t newStart = 0;
};

bool SharesPosition(const std::vector<Section>& sections, const Property& property) {
  for (const Section& section : sections) {
    for (const Property& other : section.properties) {
      if (&other != &property && other.position == property.position) return true;
    }
  }
  return false;
}

// Old stream bytes [start, end).
struct Range {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool Meets(const Range& other) const { return start < other.end && other.start < end; }
};

// Bytes a property reads that are not its own to read: past its slot, into
// what something else points at, or inside a section's size, count and
// offset table. A writer's mistake or damage that still reads fine.
struct Intrusion {
  const Property* owner = nullptr;
  Range bytes;
};

Range TableOf(const Section& section) {
  return {section.offset, section.offset + 8 + 8 * std::uint64_t{section.properties.size()}};
}

std::vector<Intrusion> IntrusionsOf(const std::vector<Section>& sections) {
  std::vector<Intrusion> found;
  for (const Section& section : sections) {
    for (const Property& property : section.properties) {
      const Range read{property.position,
                       property.position + std::max(property.slotSize, property.reach)};
      if (property.reach > property.slotSize) {
        found.push_back({&property, {property.position + property.slotSize, read.end}});
      }
      if (std::any_of(sections.begin(), sections.end(),
                      [&](const Section& other) { return TableOf(other).Meets(read); })) {
        found.push_back({&property, read});
      }
    }
  }
  return found;
}

// True when changing `property` would change bytes that another property
// reads, or when it reads bytes that are not its own. Either way nobody can
// tell which bytes belong to whom, and a change would change what nobody
// changed. A change rewrites the property's slot and, as it moves what
// follows, the table of every section holding it.
bool OverlapsAt(const std::vector<Section>& sections, const std::vector<Intrusion>& intrusions,
                const Property& property) {
  if (intrusions.empty()) return false;
  std::vector<Range> rewritten{{property.position, property.position + property.slotSize}};
  for (const Section& section : sections) {
    if (property.position >= section.offset && property.position < section.offset + section.size) {
      rewritten.push_back(TableOf(section));
    }
  }
  return std::any_of(intrusions.begin(), intrusions.end(), [&](const Intrusion& intrusion) {
    return intrusion.owner == &property ||
           std::any_of(rewritten.begin(), rewritten.end(),
                       [&](const Range& range) { return range.Meets(intrusion.bytes); });
  });
}

// The edit that stores `body` (the encoded value of type `type`) for `property`.
Edit MakeEdit(const std::vector<Section>& sections, const Property& property,
              std::string_view oldBytes, VARTYPE type, const std::string& body) {
  Edit edit;
  edit.owner = &property;
  edit.start = property.position;
  const bool shared = SharesPosition(sections, property);
  const int fixed = FixedValueSize(type);
  const bool sameType = type == property.type && property.valueSize != 0;
  if (sameType && fixed > 0 && !shared) {
    // A same-size value is overwritten where it stands; the tag, the
    // padding (or its absence) and any gap after it stay as they were.
    edit.end = property.position + property.slotSize;
    edit.bytes.assign(oldBytes);
    edit.bytes.replace(4, static_cast<std::size_t>(fixed), body, 0,
                       static_cast<std::size_t>(fixed));
    return edit;
  }
  if (sameType) {
    edit.bytes.assign(oldBytes.substr(0, 4));
  } else {
    PutU16(edit.bytes, type);
    PutU16(edit.bytes, 0);
  }
  edit.bytes += body;
  if (shared) {
    // Another entry points at these bytes too (real files reuse a value for
    // two PROPIDs). They stay for it; the new value goes in just before.
    edit.end = edit.start;
  } else if (property.valueSize == 0) {
    // A type we only carried: its extent is unknown, so its whole slot goes.
    edit.end = property.position + property.slotSize;
  } else {
    edit.end = property.position + std::min(property.slotSize, RoundUp4(property.valueSize));
  }
  return edit;
}

// Where old positions land in the new stream.
class PositionMap {
 public:
  PositionMap(const std::vector<Edit>& edits, std::uint64_t oldSize, std::uint64_t newSize)
      : edits_(edits), oldSize_(oldSize), newSize_(newSize) {
    std::uint64_t cursor = 0;
    std::uint64_t out = 0;
    for (const Edit& edit : edits) {
      if (edit.start > cursor) copies_.push_back({cursor, edit.start, out});
      out = edit.newStart + edit.bytes.size();
      cursor = edit.end;
    }
    if (oldSize > cursor) copies_.push_back({cursor, oldSize, out});
  }

  // The new position of an old one that `owner` (if any) points at.
  std::optional<std::uint64_t> Map(std::uint64_t old, const Property* owner = nullptr) const {
    for (const Edit& edit : edits_) {
      if (owner != nullptr && edit.owner == owner) return edit.newStart;
    }
    for (const Copy& copy : copies_) {
      if (old >= copy.start && old < copy.end) return copy.out + (old - copy.start);
    }
    // Sizes may run past the end of the stream: those move with the end.
    if (old >= oldSize_) return old - oldSize_ + newSize_;
    return std::nullopt;
  }

 private:
  struct Copy {
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t out;
  };
  const std::vector<Edit>& edits_;
  std::uint64_t oldSize_;
  std::uint64_t newSize_;
  std::vector<Copy> copies_;
};

// Invariant 5: the new stream parses to the same layout, and every property
// that was not edited has kept its bytes.
bool SameLayoutExceptEdits(const PropertySetStream& before, const PropertySetStream& after,
                           const std::vector<Edit>& edits) {
  if (before.Sections().size() != after.Sections().size() || FAILED(after.Writable())) {
    return false;
  }
  if (before.Bytes().substr(0, 24) != after.Bytes().substr(0, 24)) return false;
  for (std::size_t i = 0; i < before.Sections().size(); ++i) {
    const Section& old = before.Sections()[i];
    const Section& now = after.Sections()[i];
    if (old.fmtid != now.fmtid || old.properties.size() != now.properties.size()) return false;
    for (std::size_t j = 0; j < old.properties.size(); ++j) {
      const Property& a = old.properties[j];
      const Property& b = now.properties[j];
      if (a.id != b.id) return false;
      bool edited = std::any_of(edits.begin(), edits.end(),
                                [&](const Edit& edit) { return edit.owner == &a; });
      if (edited) continue;
      // A value that reaches past its slot must read every byte as it was.
      // Invariant 4 refuses such writes already; this is the last guard.
      std::uint64_t reach = std::max(a.slotSize, a.reach);
      if (before.BytesOf(a) != after.BytesOf(b) ||
          std::string_view(before.Bytes()).substr(a.position, reach) !=
              std::string_view(after.Bytes()).substr(b.position, reach)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

HRESULT PropertySetStream::WriteMultiple(std::size_t section, std::span<const PROPSPEC> ids,
                                         std::span<const PROPVARIANT> values,
                                         std::string& newStream) const {
  if (ids.size() != values.size()) return STG_E_INVALIDPARAMETER;
  for (const PROPSPEC& id : ids) {
    if (id.ulKind != PRSPEC_PROPID) return STG_E_INVALIDPARAMETER;
  }
  if (HRESULT hr = Writable(); FAILED(hr)) return hr;

  // When a PROPID is named twice, the later value counts.
  std::map<PROPID, std::size_t> lastEntry;
  for (std::size_t i = 0; i < ids.size(); ++i) lastEntry[ids[i].propid] = i;

  const std::vector<Intrusion> intrusions = IntrusionsOf(sections_);
  std::vector<Edit> edits;
  for (const auto& [id, index] : lastEntry) {
    const PROPVARIANT& value = values[index];
    if (value.vt == VT_EMPTY) continue;
    if (id == PID_DICTIONARY) return STG_E_INVALIDPARAMETER;
    if (section >= sections_.size()) continue;
    const Section& target = sections_[section];
    const Property* property = Find(target, id);
    if (property == nullptr || SameValue(property->value, value)) continue;
    // Every string of the set is stored in its code page; a new one would
    // make them all read differently.
    if (id == PID_CODEPAGE) return STG_E_INVALIDPARAMETER;
    if (OverlapsAt(sections_, intrusions, *property)) return STG_E_INVALIDHEADER;
    std::string body;
    if (HRESULT hr = EncodeValue(value, target.codePage, body); FAILED(hr)) return hr;
    edits.push_back(MakeEdit(sections_, *property, BytesOf(*property), value.vt, body));
  }
  if (edits.empty()) {
    newStream = bytes_;
    return S_OK;
  }

  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.start != b.start ? a.start < b.start : a.owner < b.owner;
  });
  std::string out;
  std::uint64_t cursor = 0;
  for (Edit& edit : edits) {
    out.append(bytes_, cursor, edit.start - cursor);
    edit.newStart = out.size();
    out += edit.bytes;
    cursor = edit.end;
  }
  out.append(bytes_, cursor);
  if (out.size() > std::numeric_limits<std::uint32_t>::max()) return STG_E_MEDIUMFULL;

  PositionMap map(edits, bytes_.size(), out.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& old = sections_[i];
    std::optional<std::uint64_t> start = map.Map(old.offset);
    std::optional<std::uint64_t> end = map.Map(std::uint64_t{old.offset} + old.declaredSize);
    if (!start || !end) return STG_E_INVALIDHEADER;
    // A size claiming far past the end of the stream moves with the end; one
    // that no longer fits its field cannot be kept.
    if (*end - *start > std::numeric_limits<std::uint32_t>::max()) return STG_E_INVALIDHEADER;
    SetU32(out, 28 + 20 * i + 16, static_cast<std::uint32_t>(*start));
    SetU32(out, *start, static_cast<std::uint32_t>(*end - *start));
    for (std::size_t j = 0; j < old.properties.size(); ++j) {
      const Property& property = old.properties[j];
      std::optional<std::uint64_t> position = map.Map(property.position, &property);
      if (!position) return STG_E_INVALIDHEADER;
      SetU32(out, *start + 12 + 8 * j, static_cast<std::uint32_t>(*position - *start));
    }
  }

  PropertySetStream check;
  if (FAILED(Parse(out, check)) || !SameLayoutExceptEdits(*this, check, edits)) return E_FAIL;
  newStream = std::move(out);
  return S_OK;
}

}  // namespace tavrin::storage
