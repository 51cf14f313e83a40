#pragma once
// Helpers shared by the property-set tests: parse a fixture, read a section,
// and write values back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/storage/PropertySet.h"

namespace tavrin::test {

inline storage::PropertySetStream MustParse(const std::string& bytes) {
  storage::PropertySetStream set;
  HRESULT hr = storage::PropertySetStream::Parse(bytes, set);
  EXPECT_EQ(hr, S_OK);
  return set;
}

inline std::vector<PROPSPEC> Ids(const std::vector<PROPID>& numbers) {
  std::vector<PROPSPEC> ids;
  for (PROPID id : numbers) ids.push_back({PRSPEC_PROPID, id});
  return ids;
}

// Every PROPID of a section except the dictionary, as the frame would name them.
inline std::vector<PROPSPEC> AllIds(const storage::PropertySetStream& set, std::size_t section) {
  std::vector<PROPID> numbers;
  if (section < set.Sections().size()) {
    for (const auto& property : set.Sections()[section].properties) {
      if (property.id != PID_DICTIONARY) numbers.push_back(property.id);
    }
  }
  return Ids(numbers);
}

inline PROPVARIANT ReadOne(const storage::PropertySetStream& set, PROPID id,
                           std::size_t section = 0) {
  std::vector<PROPSPEC> ids = Ids({id});
  std::vector<PROPVARIANT> values(1);
  set.ReadMultiple(section, ids, values);
  return values[0];
}

// Reads every property of `section` and writes them all back unchanged.
inline HRESULT WriteBackAsRead(const storage::PropertySetStream& set, std::size_t section,
                               std::string& out) {
  std::vector<PROPSPEC> ids = AllIds(set, section);
  std::vector<PROPVARIANT> values(ids.size());
  HRESULT hr = set.ReadMultiple(section, ids, values);
  if (FAILED(hr)) return hr;
  return set.WriteMultiple(section, ids, values, out);
}

// Writes one new 8-bit text for `id` (CP932 bytes) with the tag the read gave.
inline HRESULT WriteText(const storage::PropertySetStream& set, PROPID id, const std::string& text,
                         std::string& out, std::size_t section = 0) {
  std::vector<PROPSPEC> ids = Ids({id});
  std::vector<PROPVARIANT> values(1);
  set.ReadMultiple(section, ids, values);
  values[0].pszVal = text.c_str();
  return set.WriteMultiple(section, ids, values, out);
}

}  // namespace tavrin::test
