#pragma once
// Builds property-set streams byte by byte for the tests, from the format's
// layout alone (not from the codec under test), including the odd layouts
// real writers produce: packed values, shared offsets, oversized sections.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin::test {

inline std::string Le(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}
inline std::string PadTo4(std::string bytes) {
  return bytes.append((4 - bytes.size() % 4) % 4, '\0');
}
inline std::string Counted(std::string_view bytes) {
  return Le(bytes.size(), 4) + std::string(bytes);
}
inline std::string Tag(std::uint16_t type) {
  return Le(type, 4);
}

// Typed values: type tag, then the value, padded unless asked not to be.
inline std::string Typed(std::uint16_t type, std::string_view body, bool padded = true) {
  std::string out = Tag(type) + std::string(body);
  return padded ? PadTo4(out) : out;
}
inline std::string I2(std::int16_t v, bool padded = true) {
  return Typed(2, Le(static_cast<std::uint16_t>(v), 2), padded);
}
inline std::string Bool(bool v, bool padded = true) {
  return Typed(11, Le(v ? 0xFFFF : 0, 2), padded);
}
inline std::string I4(std::int32_t v) {
  return Typed(3, Le(static_cast<std::uint32_t>(v), 4));
}
inline std::string FileTime(std::uint64_t ticks) {
  return Typed(64, Le(ticks, 8));
}
// An 8-bit string already in the set's code page; the terminator is one zero
// byte, or two in a 1200 set (`wideTerminator`).
inline std::string Lpstr(std::string_view stored, bool padded = true, bool wideTerminator = false) {
  return Typed(30, Counted(std::string(stored).append(wideTerminator ? 2 : 1, '\0')), padded);
}
inline std::string Lpwstr(std::u16string_view text) {
  std::string body = Le(text.size() + 1, 4);
  for (char16_t c : text) body += Le(c, 2);
  return Typed(31, body + Le(0, 2));
}
inline std::string ClipboardData(std::int32_t format, std::string_view data) {
  return Typed(71, Counted(Le(static_cast<std::uint32_t>(format), 4) + std::string(data)));
}
// VT_VECTOR | VT_LPSTR; `packed` leaves the strings unpadded, as Office does.
inline std::string VectorLpstr(const std::vector<std::string>& items, bool packed) {
  std::string out = Tag(0x101E) + Le(items.size(), 4);
  for (const std::string& item : items) {
    std::string one = Counted(item + '\0');
    out += packed ? one : PadTo4(one);
  }
  return out;
}
// VT_VECTOR | VT_VARIANT of heading pairs: (name, count) pairs.
inline std::string HeadingPairs(const std::vector<std::pair<std::string, int>>& pairs,
                                bool packed) {
  std::string out = Tag(0x100C) + Le(pairs.size() * 2, 4);
  for (const auto& [name, count] : pairs) out += Lpstr(name, !packed) + I4(count);
  return out;
}
// A dictionary (PROPID 0) of an ANSI set: count, then (PROPID, length, name).
inline std::string Dictionary(const std::vector<std::pair<std::uint32_t, std::string>>& entries) {
  std::string out = Le(entries.size(), 4);
  for (const auto& [id, name] : entries) out += Le(id, 4) + Counted(name + '\0');
  return PadTo4(out);
}

// Format identifiers as stored: the first three fields little-endian.
inline const std::string kSummaryFmtid(
    "\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9", 16);
inline const std::string kDocSummaryFmtid(
    "\x02\xD5\xCD\xD5\x9C\x2E\x1B\x10\x93\x97\x08\x00\x2B\x2C\xF9\xAE", 16);
inline const std::string kUserDefinedFmtid(
    "\x05\xD5\xCD\xD5\x9C\x2E\x1B\x10\x93\x97\x08\x00\x2B\x2C\xF9\xAE", 16);

// One section: properties in the given order, each value placed right after
// the previous one (so unpadded values give unaligned offsets).
struct SectionFixture {
  explicit SectionFixture(std::string id) : fmtid(std::move(id)) {}

  std::string fmtid;
  struct Entry {
    std::uint32_t id;
    std::string value;
    int sharesWith = -1;  // index of an earlier entry whose bytes this one reuses
  };
  std::vector<Entry> entries;
  std::int64_t sizeAdjust = 0;  // added to the declared size
  std::string tail;             // bytes after the last value, inside the section

  SectionFixture& Add(std::uint32_t id, std::string value) {
    entries.push_back({id, std::move(value)});
    return *this;
  }
  SectionFixture& Share(std::uint32_t id, int earlier) {
    entries.push_back({id, {}, earlier});
    return *this;
  }

  std::string Build() const {
    std::string values;
    std::vector<std::size_t> offsets;
    const std::size_t tableEnd = 8 + 8 * entries.size();
    for (const Entry& entry : entries) {
      if (entry.sharesWith >= 0) {
        offsets.push_back(offsets[static_cast<std::size_t>(entry.sharesWith)]);
      } else {
        offsets.push_back(tableEnd + values.size());
        values += entry.value;
      }
    }
    values += tail;
    auto size = static_cast<std::int64_t>(tableEnd + values.size()) + sizeAdjust;
    std::string out = Le(static_cast<std::uint64_t>(size), 4) + Le(entries.size(), 4);
    for (std::size_t i = 0; i < entries.size(); ++i)
      out += Le(entries[i].id, 4) + Le(offsets[i], 4);
    return out + values;
  }
};

// A whole stream: header, section table, the sections one after the other,
// then `trailing` bytes.
inline std::string BuildStream(const std::vector<SectionFixture>& sections,
                               std::string_view trailing = {}) {
  std::string out = Le(0xFFFE, 2) + Le(0, 2) + Le(0x00020006, 4) + std::string(16, '\0');
  out += Le(sections.size(), 4);
  std::string bodies;
  for (const SectionFixture& section : sections) {
    out += section.fmtid + Le(28 + 20 * sections.size() + bodies.size(), 4);
    bodies += section.Build();
  }
  return out + bodies + std::string(trailing);
}

}  // namespace tavrin::test
