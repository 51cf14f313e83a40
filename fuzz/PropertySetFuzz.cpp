// The property-set codec on raw stream bytes. Whatever Parse accepts:
//  - reading every property and writing it all back unchanged gives the
//    stream byte for byte (or, for a stream with a property that cannot be
//    read, the refusal Writable() names, with nothing written);
//  - changing a few values gives a stream that parses again, reads the new
//    values where they were written and the old values, from the old bytes,
//    everywhere else; a refusal is one of the documented ones, never the
//    codec's own E_FAIL.
//
// Input: a count of changes, each a (property, type, value bytes) choice,
// then the stream.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/PropertyValue.h"

namespace tavrin {
namespace {

using storage::Property;
using storage::PropertySetStream;
using storage::Section;

struct Change {
  std::uint8_t section;
  std::uint8_t property;
  std::uint8_t kind;
  std::string value;
};

// Structural promises of a parse, whatever the bytes were.
void CheckParsed(const PropertySetStream& set) {
  for (const Section& section : set.Sections()) {
    FUZZ_CHECK(section.offset + section.size <= set.Bytes().size());
    for (const Property& property : section.properties) {
      if (FAILED(property.status)) {
        FUZZ_CHECK(set.BytesOf(property).empty());
        continue;
      }
      FUZZ_CHECK(property.position >= section.offset);
      FUZZ_CHECK(property.position + property.slotSize <= section.offset + section.size);
      FUZZ_CHECK(set.BytesOf(property).size() == property.slotSize);
    }
  }
}

std::vector<PROPSPEC> IdsOf(const Section& section) {
  std::vector<PROPSPEC> ids;
  for (const Property& property : section.properties) ids.push_back({PRSPEC_PROPID, property.id});
  return ids;
}

// Reading everything and writing it back changes nothing.
void CheckUnchangedWrite(const PropertySetStream& set) {
  const HRESULT writable = set.Writable();
  for (std::size_t s = 0; s < set.Sections().size(); ++s) {
    const std::vector<PROPSPEC> ids = IdsOf(set.Sections()[s]);
    std::vector<PROPVARIANT> values(ids.size());
    const HRESULT read = set.ReadMultiple(s, ids, values);
    if (SUCCEEDED(writable)) FUZZ_CHECK(SUCCEEDED(read));
    if (FAILED(read)) continue;
    std::string written = "untouched";
    const HRESULT hr = set.WriteMultiple(s, ids, values, written);
    if (FAILED(writable)) {
      FUZZ_CHECK(hr == writable);
      FUZZ_CHECK(written == "untouched");
      continue;
    }
    FUZZ_CHECK(hr == S_OK);
    FUZZ_CHECK(written == set.Bytes());
    PropertySetStream again;
    FUZZ_CHECK(PropertySetStream::Parse(written, again) == S_OK);
    std::vector<PROPVARIANT> reread(ids.size());
    FUZZ_CHECK(again.ReadMultiple(s, ids, reread) == read);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      FUZZ_CHECK(storage::SameValue(values[i], reread[i]));
    }
  }
}

// Where the values that a change points at live while the write runs.
struct ValueStore {
  std::deque<std::string> texts;
  std::deque<std::u16string> wideTexts;
};

// A new value of one of the types a write can store, built from `bytes`.
PROPVARIANT MakeValue(std::uint8_t kind, VARTYPE storedType, const std::string& bytes,
                      ValueStore& store) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
    bits |= std::uint64_t{static_cast<std::uint8_t>(bytes[i])} << (8 * i);
  }
  static constexpr VARTYPE kTypes[] = {VT_I2,   VT_UI2,      VT_I4,    VT_UI4,
                                       VT_BOOL, VT_FILETIME, VT_LPSTR, VT_LPWSTR};
  VARTYPE type = kTypes[kind % 8];
  // Half the time the stored type, as the program's writes keep it.
  if ((kind & 0x80) != 0 && storedType != VT_EMPTY) type = storedType;
  PROPVARIANT value;
  value.vt = type;
  switch (type) {
    case VT_I2:
      value.iVal = static_cast<std::int16_t>(bits);
      break;
    case VT_UI2:
      value.uiVal = static_cast<std::uint16_t>(bits);
      break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      value.lVal = static_cast<std::int32_t>(bits);
      break;
    case VT_UI4:
    case VT_UINT:
      value.ulVal = static_cast<std::uint32_t>(bits);
      break;
    case VT_BOOL:
      value.boolVal = static_cast<VARIANT_BOOL>(bits);
      break;
    case VT_FILETIME:
      value.filetime = FILETIME::FromTicks(bits);
      break;
    case VT_LPSTR: {
      // Printable ASCII: every code page holds it and gives it back as is.
      std::string text;
      for (char c : bytes) text += static_cast<char>(0x20 + static_cast<unsigned char>(c) % 0x5F);
      value.pszVal = store.texts.emplace_back(std::move(text)).c_str();
      break;
    }
    case VT_LPWSTR: {
      std::u16string text;
      for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          static_cast<std::uint8_t>(bytes[i + 1]) << 8);
        text.push_back(unit == 0 ? u'?' : unit);
      }
      value.pwszVal = store.wideTexts.emplace_back(std::move(text)).c_str();
      break;
    }
    default:
      // A type the write only carries: the write must refuse to change it.
      break;
  }
  return value;
}

const Property* FirstWithId(const Section& section, PROPID id) {
  for (const Property& property : section.properties) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

void CheckChangedWrite(const PropertySetStream& set, const std::vector<Change>& changes) {
  if (FAILED(set.Writable()) || changes.empty() || set.Sections().empty()) return;
  const std::size_t s = changes.front().section % set.Sections().size();
  const Section& section = set.Sections()[s];
  if (section.properties.empty()) return;

  ValueStore store;
  std::vector<PROPSPEC> ids;
  std::vector<PROPVARIANT> values;
  for (const Change& change : changes) {
    const Property& target = section.properties[change.property % section.properties.size()];
    ids.push_back({PRSPEC_PROPID, target.id});
    values.push_back(MakeValue(change.kind, target.type, change.value, store));
  }
  // Named twice, the later value counts.
  std::map<PROPID, const PROPVARIANT*> given;
  for (std::size_t i = 0; i < ids.size(); ++i) given[ids[i].propid] = &values[i];

  std::string written = "untouched";
  const HRESULT hr = set.WriteMultiple(s, ids, values, written);
  FUZZ_CHECK(hr != E_FAIL);  // the write's own check found a fault of the codec
  if (FAILED(hr)) {
    FUZZ_CHECK(hr == STG_E_INVALIDHEADER || hr == STG_E_INVALIDPARAMETER ||
               hr == STG_E_UNIMPLEMENTEDFUNCTION ||
               hr == HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
    FUZZ_CHECK(written == "untouched");
    return;
  }

  PropertySetStream after;
  FUZZ_CHECK(PropertySetStream::Parse(written, after) == S_OK);
  CheckParsed(after);
  FUZZ_CHECK(after.Writable() == S_OK);
  FUZZ_CHECK(after.ByteOrder() == set.ByteOrder() && after.Version() == set.Version());
  FUZZ_CHECK(after.SystemIdentifier() == set.SystemIdentifier() && after.Clsid() == set.Clsid());
  FUZZ_CHECK(after.Sections().size() == set.Sections().size());
  for (std::size_t i = 0; i < set.Sections().size(); ++i) {
    const Section& old = set.Sections()[i];
    const Section& now = after.Sections()[i];
    FUZZ_CHECK(old.fmtid == now.fmtid);
    FUZZ_CHECK(old.codePage == now.codePage);
    FUZZ_CHECK(old.properties.size() == now.properties.size());
    for (std::size_t j = 0; j < old.properties.size(); ++j) {
      const Property& a = old.properties[j];
      const Property& b = now.properties[j];
      FUZZ_CHECK(a.id == b.id);
      const auto change = given.find(a.id);
      const bool target = i == s && change != given.end() && FirstWithId(old, a.id) == &a &&
                          change->second->vt != VT_EMPTY;
      if (target && !storage::SameValue(a.value, *change->second)) {
        FUZZ_CHECK(storage::SameValue(b.value, *change->second));
      } else {
        FUZZ_CHECK(set.BytesOf(a) == after.BytesOf(b));
        FUZZ_CHECK(storage::SameValue(a.value, b.value));
      }
    }
  }
  // The changed stream is as stable as any other: written back, it stays.
  CheckUnchangedWrite(after);
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  fuzz::Input in(data, size);
  std::vector<Change> changes(in.Byte() % 4);
  for (Change& change : changes) {
    change.section = in.Byte();
    change.property = in.Byte();
    change.kind = in.Byte();
    change.value = in.ShortText(40);
  }
  PropertySetStream set;
  const HRESULT hr = PropertySetStream::Parse(in.Rest(), set);
  if (FAILED(hr)) {
    FUZZ_CHECK(hr == STG_E_INVALIDHEADER);
    return 0;
  }
  CheckParsed(set);
  CheckUnchangedWrite(set);
  CheckChangedWrite(set, changes);
  return 0;
}
