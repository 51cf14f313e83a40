#pragma once
// Class and format identifiers, in the layout the platform's interfaces use.
// On disk an identifier is 16 bytes whose first three fields are
// little-endian; GuidFromBytes and GuidToBytes convert between the two.

#include <array>
#include <cstdint>
#include <string_view>

namespace tavrin {

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using CLSID = GUID;
using FMTID = GUID;
using IID = GUID;

// `stored` must hold at least 16 bytes.
constexpr GUID GuidFromBytes(std::string_view stored) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(stored[i]); };
  GUID id;
  id.Data1 = static_cast<std::uint32_t>(byte(0) | byte(1) << 8 | byte(2) << 16) |
             static_cast<std::uint32_t>(byte(3)) << 24;
  id.Data2 = static_cast<std::uint16_t>(byte(4) | byte(5) << 8);
  id.Data3 = static_cast<std::uint16_t>(byte(6) | byte(7) << 8);
  for (std::size_t i = 0; i < 8; ++i) id.Data4[i] = byte(8 + i);
  return id;
}

constexpr std::array<char, 16> GuidToBytes(const GUID& id) {
  std::array<char, 16> out{};
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<char>(id.Data1 >> (8 * i));
  for (std::size_t i = 0; i < 2; ++i) out[4 + i] = static_cast<char>(id.Data2 >> (8 * i));
  for (std::size_t i = 0; i < 2; ++i) out[6 + i] = static_cast<char>(id.Data3 >> (8 * i));
  for (std::size_t i = 0; i < 8; ++i) out[8 + i] = static_cast<char>(id.Data4[i]);
  return out;
}

}  // namespace tavrin
